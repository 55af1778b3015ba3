// Confirmation of the automatic backup (method 7), TDConfSauvegarde (dialog
// 1335), with its destinations: the
// unit-1 folder (the dossier folder + the relative backup folder), an
// optional unit-2 folder taken from the program INI key "Un2Sauvegarde" and
// changeable for this backup only, and a comment added to the name of the
// last folder of both. Nothing is written to any INI file.
#pragma once

#include <string>

#include "framework/dialog_bases.h"

// Longest destination text; a longer one is refused (the dialog's "&Oui"
// then beeps and stays).
inline constexpr std::size_t kBackupTargetRoom = 200;

// The four texts of the confirmation and the text shown in 1201.
struct BackupTargets {
  std::string relative;      // text 1: relative backup folder, ending with "/"
  std::string unit1;         // text 2
  std::string unit2;         // text 3 ("" when no unit 2)
  std::string unit2Folder;   // the unit-2 folder as typed, without outer blanks ("" when none)
  std::string comment;       // text 4: the comment without outer blanks
  std::string confirmation;  // the text of 1201
  bool fits = true;          // texts 2 and 3 within kBackupTargetRoom
};

// The unit-2 folder the dialog starts with: the INI value with its first
// "%defaut%" (in any case) removed, cut to 100 characters.
std::string InitialUnit2();

// Texts 2, 3, 4 and the confirmation from the dossier (DossierFolder,
// DossierCode), text 1 and the two edits as typed.
BackupTargets BuildBackupTargets(const std::string& relative, const std::string& unit2Edit,
                                 const std::string& commentEdit);

// Characters the two edits accept: the unit-2 set with "/" for our folders,
// the comment set.
std::string Unit2AllowedChars();
std::string CommentAllowedChars();

// The dialog (template 1335): 1201 text, 1205/1206 unit 2, 1202/1203
// comment, 1204 "Modifier Unité 2", 1207 "?" folder chooser, 1 "&Oui",
// 2 "&Non". Run task-modal, it answers IDOK (1) for "&Oui"; "&Oui" beeps and
// stays while a destination is longer than kBackupTargetRoom.
class TDConfSauvegarde : public TDNuv {
 public:
  static constexpr int kText = 1201, kUnit2 = 1206, kComment = 1203, kModifyUnit2 = 1204, kChooseUnit2 = 1207;

  TDConfSauvegarde(gui::Window* parent, int resourceId, const std::string& relativeFolder);

  // After "&Oui": texts 2, 3 and 4.
  const BackupTargets& Targets() const { return targets_; }

  void CmModifierUnite2();
  void CmChoisirUnite2();
  void BuildTexts();

  static const gui::ResponseTable& Table();
  const gui::ResponseTable& Responses() const override { return Table(); }

 protected:
  void SetupWindow() override;
  void EvChildNotify(int id, unsigned code, gui::Handle control) override;
  void CmOk() override;

 private:
  std::string relative_;
  BackupTargets targets_;
};
