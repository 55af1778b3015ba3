// Dossier management utility (GestionDossiers, dialog 1331): searches every
// dossier under a folder, or copies, moves, deletes or renames one dossier,
// by running the dossier-management batch files of the program folder with
// /bin/sh and an argument vector (folders and codes are single arguments,
// their case kept). Each action runs to its end and ends with a message
// saying what was done; a delete is asked first.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "framework/dialog_bases.h"
#include "platform/system/process.h"

class MButton;
class MEdit;
class MRStatic;
class MRadioButton;
class MStatic;

// The five actions, by the id of their radio button.
enum class DossierAction { None = 0, Rechercher = 1202, Deplacer = 1203, Copier = 1204, Renommer = 1205, Annuler = 1206 };

// What the dialog holds when OK is pressed: codes as typed or chosen,
// folders ending with "/".
struct DossierChoice {
  DossierAction action = DossierAction::None;
  std::string sourceCode;   // 1208
  std::string sourceFolder; // 1211
  std::string destCode;     // 1214
  std::string destFolder;   // 1216
};

// A refused action: the message shown in 1217 and the control to focus (0 = none).
// An action that ran: the batch file's exit status and what it wrote.
struct DossierCheck {
  bool ok = true;
  std::string message;
  int focus = 0;
  int exitStatus = -1;
  std::string output;
};

// Name of the batch file of an action: the first of its pair below Windows
// version code 501, the second otherwise ("cdos.bat" / "cwdos.bat" ...).
std::string DossierBatchName(DossierAction action, int versionCode);
// Version code kept in ProgramOptions 1-2 (100 x first + second - 101).
int ProgramVersionCode();

// The dossier file chosen as source: its folder (case kept, final "/") and
// its code (the five characters after "c10", upper-cased). `code` is
// emptied when the name does not begin with "c10"; false (and nothing set)
// when the code holds "_" and `refuseUnderscore` is set.
bool ParseChosenDossierFile(const std::string& path, std::string* folder, std::string* code,
                            bool refuseUnderscore = true);

// True when folder + "c10" + trimmed code + ".dbf" exists (the name found
// without case).
bool DossierFilesExist(const std::string& folder, const std::string& code);

// The checks of OK for the action, in order; the first that fails.
DossierCheck CheckDossierChoice(DossierChoice& choice);

// The argument vector of the action: "/bin/sh", the batch file's path in
// the program folder, then the folders and codes.
std::vector<std::string> DossierBatchCommand(const DossierChoice& choice, int versionCode);

// Checks, then runs the batch file to its end in the program folder, under a
// progress window owned by `owner` that lets the window system work. A
// launch that fails is refused like a check, naming the file and the
// system's reason.
DossierCheck RunDossierChoice(DossierChoice& choice, gui::Window* owner = nullptr);

// The message that ends an action that ran: what was done, or the batch
// file's failure with its last messages.
std::string DossierActionDoneText(const DossierChoice& choice, const DossierCheck& ran);
// The question before a delete, naming the dossier and its folder.
std::string DossierDeleteQuestion(const DossierChoice& choice);
// A message as the one-line-per-sentence warning 1217 shows it: the blank
// lines that frame the message boxes' texts left out.
std::string WarningText(const std::string& message);

class TDUtiGestionDossiers : public TDNuv {
 public:
  explicit TDUtiGestionDossiers(gui::Window* parent);

  void CmRechercher();
  void CmCopier();
  void CmDeplacer();
  void CmAnnuler();
  void CmRenommer();
  void CmChoisirSource();
  void CmChoisirDestination();
  void RunDossierAction();

  DossierAction Action() const { return action_; }
  bool Busy() const { return busy_; }
  // The dialog's values as OK would read them.
  DossierChoice Choice() const;

  static const gui::ResponseTable& Table();
  const gui::ResponseTable& Responses() const override { return Table(); }

 protected:
  void SetupWindow() override;
  // Nothing closes the dialog while an action runs.
  bool CanClose() override;
  void CmCancel() override;

 private:
  void SetAction(DossierAction action);
  void ChooseDossierFile(bool asSource);
  void Refuse(const DossierCheck& check);

  bool busy_ = true;
  bool running_ = false;
  DossierAction action_ = DossierAction::None;
};

// GestionDossiers.
void CmGestionDossiers();
