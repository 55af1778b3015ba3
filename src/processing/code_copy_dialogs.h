// The two dialogs that copy a code range of a list (a code kind kept in the general file, the
// chart of accounts or the analytic sections) between the open dossier and another dossier:
// TDAjouterVersAutreDossier ("Ajouter vers un autre dossier", template 1315) into the other
// dossier, TDAjouterDUnAutreDossier ("Ajouter à partir d'un autre dossier", template 1316) from
// it. The whole copy runs on "Ok": a refusal keeps the dialog open with its reason in the
// message line. The lists reach them through their copy commands (BrowseServices). The other
// dossier's password is asked before anything of it is read or written: the privileged one to
// write into it; to read it, the secondary one only where its rights give that user the list's
// access and its addition to another dossier. A password refused ends the dialog.
#pragma once

#include <string>

#include "framework/dialog_bases.h"
#include "processing/core/other_dossier.h"

class MButton;
class MEdit;
class MRStatic;
class MStatic;

// What the two dialogs share: the controls (the same ids in both templates), the dossier
// chooser, the lookups and the refusals.
class CodeCopyDialog : public TDNuv {
 public:
  enum : int {
    kTitle = 1201, kDossier = 1202, kChooser = 1203, kFirst = 1204, kFirstHelp = 1205, kLast = 1206,
    kLastHelp = 1207, kMessage = 1208, kFolder = 1209, kFirstLabel = 1210, kLastLabel = 1211,
    kDossierLabel = 1212, kOnLabel = 1213,
  };

  std::string Message() const;
  MEdit* FirstEdit() const { return first_; }
  MEdit* LastEdit() const { return last_; }
  MEdit* DossierEdit() const { return dossier_; }
  const processing::OtherDossier& Other() const { return other_; }

  void CmChooser();
  void CmFirstHelp() { Lookup(first_, true); }
  void CmLastHelp() { Lookup(last_, false); }

  static const gui::ResponseTable& Table();
  const gui::ResponseTable& Responses() const override { return Table(); }

 protected:
  // `rightsFunction`: the guarded function of the list (the rights of its codes).
  CodeCopyDialog(gui::Window* parent, int resourceId, const std::string& kind, int codeWidth, int rightsFunction,
                 int chooserTitle);
  void SetupWindow() override;

  // What the password of the other dossier gave: go on, a refusal in the message line (its
  // record cannot be read), or the dialog ended (the password refused or abandoned).
  enum class Access { Given, Unreadable, Ended };
  // The other dossier's password, asked once per dossier for the dialog's life.
  Access AskPassword(const processing::OtherDossier& other, bool writes);

  // The lookup list of the list's codes, positioned on the edit's text.
  virtual void Lookup(MEdit* field, bool first) = 0;
  void RunLookup(MEdit* field, bool first);
  // Beeps, shows the text in the message line and selects the edit (null: the chooser); false.
  bool Refuse(int textId, MEdit* focus);
  void SetMessage(const std::string& text);
  // The code of an edit, upper-cased and padded to the width of the list's codes.
  std::string CodeOf(MEdit* edit) const;
  // The dossier edit's code with the chosen folder.
  processing::OtherDossier OtherOfEdit() const;
  // The other dossier's refusal box of a dossier another station has open.
  void ShowBusy();

  std::string kind_;
  int width_;
  int rightsFunction_;
  int chooserTitle_;
  processing::OtherDossier other_;
  processing::OtherDossier granted_;  // the dossier whose password was given
  MRStatic* title_;
  MEdit* dossier_;
  MEdit* first_;
  MEdit* last_;
  MStatic* message_;
  MStatic* folder_;
  MButton* chooser_;
};

class TDAjouterVersAutreDossier : public CodeCopyDialog {
 public:
  // `selectedCode`: the code of the list's selected row, which both code edits show first.
  TDAjouterVersAutreDossier(gui::Window* parent, const std::string& kind, int codeWidth, int rightsFunction,
                            const std::string& selectedCode);
  bool CanClose() override;

 protected:
  void SetupWindow() override;
  void Lookup(MEdit* field, bool first) override { RunLookup(field, first); }

 private:
  std::string selected_;
};

class TDAjouterDUnAutreDossier : public CodeCopyDialog {
 public:
  TDAjouterDUnAutreDossier(gui::Window* parent, const std::string& kind, int codeWidth, int rightsFunction);
  bool CanClose() override;
  // After the dialog: the records the copy added to the open dossier and the last code it wrote
  // (as wide as the list's codes; blank when none).
  long Added() const { return added_; }
  const std::string& LastCode() const { return lastCode_; }

 protected:
  void SetupWindow() override;
  // The lookup reads the other dossier's table, once nobody else has that dossier open.
  void Lookup(MEdit* field, bool first) override;

 private:
  long added_ = 0;
  std::string lastCode_;
};

// Fills the copy-in and copy-out hooks of the lists with the two dialogs.
void InstallCodeCopyHooks();
