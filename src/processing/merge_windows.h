// The form of the merge of another dossier ("Ajout d'un autre dossier", AjoutDossier): the other
// dossier's code and folder (chosen with "?"), its check, the "Ajout seulement" option and the
// period's dates; "Accepter" asks for the launch and runs the merge with the rebuild.
#pragma once

#include <string>

#include "framework/edit_form.h"
#include "processing/core/dossier_merge.h"

class MButton;
class MCheckBox;
class MEdit;
class MStatic;

// AjoutDossier: the dossier taken alone, then the form.
void CmAjoutDossier();

class TWTraAjoutDossier : public CMDIModif {
 public:
  explicit TWTraAjoutDossier(gui::MDIClient* client);
  ~TWTraAjoutDossier() override;

  // The dossier check (command 1205): true when the other dossier may be merged.
  bool CheckOtherDossier();
  bool CheckFrom();
  bool CheckTo();
  void CmAccepter();
  void CmChooseOther();
  void CmOption();
  void CmCheckOther();
  void CmCheckFrom() { CheckFrom(); }
  void CmCheckTo() { CheckTo(); }

  MEdit* CodeEdit() const { return code_; }
  MEdit* FromEdit() const { return from_; }
  MEdit* ToEdit() const { return to_; }
  MCheckBox* OptionBox() const { return option_; }
  const std::string& First() const { return first_; }
  const std::string& Second() const { return second_; }
  const std::string& OtherFolder() const { return other_.folder; }

  static const gui::ResponseTable& Table();
  const gui::ResponseTable& Responses() const override { return Table(); }

 protected:
  // Notifications of the controls other than a click (focus, changes) are not commands.
  void SetupWindow() override;
  void ArrangeControls() override;

 private:
  void ShowTexts(const std::string& first, const std::string& second);

  bool running_ = false;
  processing::OtherDossier other_;
  processing::MergeSourceCheck check_;
  std::string first_, second_;
  MStatic* labels_[5] = {};
  MStatic* texts_[2] = {};
  MStatic* folder_ = nullptr;
  MEdit* code_ = nullptr;
  MEdit* from_ = nullptr;
  MEdit* to_ = nullptr;
  MButton* choose_ = nullptr;
  MCheckBox* option_ = nullptr;
};
