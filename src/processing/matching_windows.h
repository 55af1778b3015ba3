// The matching windows: the automatic matching pair (an empty report window holding the dossier
// and its six tables alone, and the parameter form with the letter operations) and the manual
// matching pair (an empty report window and the form that opens the list of one account), with
// the menu LettrageManuel "Lettrage Manuel" and LettrageAutomatique "Lettrage Automatique".
#pragma once

#include <functional>
#include <string>

#include "framework/edit_form.h"
#include "processing/core/automatic_matching.h"
#include "reports/engine/report_window.h"
#include "resources/command_ids.h"

class MButton;
class MCheckBox;
class MComboBox;
class MEdit;
class MStatic;

namespace matching_cmd {
using child_command::Lettrer;
using child_command::LettrerOuDelettrer;
using child_command::ProchaineLettre;
using child_command::DeLettrer;
using child_command::CopierLettrages;
using child_command::ComptesClients;
using child_command::ComptesFournisseurs;
using child_command::SolderEtEnregistrer;
using child_command::Chercher;
using child_command::ChercherEncore;
}  // namespace matching_cmd

// Installs the work of LettrageManuel and LettrageAutomatique.
void InstallMatchingCommands();

// The empty report window of the automatic matching: it opens C10 to C60 alone; its end gives
// the dossier back to the other stations.
class TWTraEtaLettrageAutomatique : public TWEtats {
 public:
  explicit TWTraEtaLettrageAutomatique(gui::MDIClient* client);
  ~TWTraEtaLettrageAutomatique() override;
  bool TablesOpen() const { return tablesOpen_; }

 protected:
  void SetupWindow() override;
  void CleanupWindow() override;

 private:
  bool tablesOpen_ = false;
};

class TWTraModLettrageAutomatique : public CMDIModif, public processing::MatchingView {
 public:
  explicit TWTraModLettrageAutomatique(gui::MDIClient* client);
  ~TWTraModLettrageAutomatique() override;

  int Check() override;
  bool CanClose() override;

  void CmLettrer();
  void CmProchaineLettre();
  void CmDeLettrer();
  void CmCopierLettrages();
  void CmComptesClients();
  void CmComptesFournisseurs();
  void CeLettrer(gui::CommandEnabler& ce);
  // The account edits' keys and buttons: 1202 and 1207 the lookups, 1203 and 1208 their checks,
  // 1212 the date's, 1214-1217 the start account's first, next, prior and last, 1218-1221 the end's.
  void CmAccountControl(unsigned id);

  // The run's texts, painted at once.
  void Status(const std::string& text) override;
  void Stage(int size) override;
  void MatchCount(long count) override;

  MEdit* StartEdit() const { return start_; }
  MEdit* EndEdit() const { return end_; }
  MEdit* DateEdit() const { return date_; }
  MEdit* MinutesEdit() const { return minutes_; }
  MComboBox* PowerCombo() const { return power_; }
  MCheckBox* EurosBox() const { return euros_; }
  const std::string& FrancsLetter() const { return letters_[0]; }
  const std::string& EurosLetter() const { return letters_[1]; }

  static const gui::ResponseTable& Table();
  const gui::ResponseTable& Responses() const override { return Table(); }

 protected:
  void SetupWindow() override;
  void ArrangeControls() override;

 private:
  int Currency() const;
  bool CheckAccount(MEdit* edit, gui::Static* balance, const std::string* start);
  void SetControlsEnabled(bool enabled);
  // A letter operation as one change of the dossier (RunMatchingGuarded); its refusal shown.
  bool Guarded(const processing::MatchTables& tables, const std::function<void()>& work);
  void SetRange(char letter);
  void Paint(gui::Static* s, const std::string& text);

  MStatic* labels_[5] = {};
  MEdit* start_ = nullptr;
  MEdit* end_ = nullptr;
  MButton* startLookup_ = nullptr;
  MButton* endLookup_ = nullptr;
  MStatic* startBalance_ = nullptr;
  MStatic* endBalance_ = nullptr;
  MComboBox* power_ = nullptr;
  MStatic* stage_ = nullptr;
  MEdit* date_ = nullptr;
  MEdit* minutes_ = nullptr;
  MCheckBox* euros_ = nullptr;
  MStatic* status_ = nullptr;
  MStatic* count_ = nullptr;
  std::string letters_[2];
  std::string currentLetter_;
};

// The empty report window of the manual matching (slot 3642, its parameters at 3653-3674).
class TWTraEtaLettrageManuel : public TWEtats {
 public:
  explicit TWTraEtaLettrageManuel(gui::MDIClient* client);
};

// The form of the manual matching: the account, the first and last dates, the letter filter and
// the currency; "Lettrer", "Lettrer ou DéLettrer" and "DéLettrer" open the list of the account.
class TWTraModLettrageManuel : public CMDIModif {
 public:
  explicit TWTraModLettrageManuel(gui::MDIClient* client);
  ~TWTraModLettrageManuel() override;

  int Check() override;
  bool CanClose() override;

  void CmLettrer();
  void CmLettrerOuDelettrer();
  void CmDeLettrer();
  void CeOpenList(gui::CommandEnabler& ce);
  // The account edit's lookup (1202) and its first, next, prior and last account (1214-1217).
  void CmAccountControl(unsigned id);
  // The account of a chained matching (the line form's auxiliary account).
  void TakeAccount(const std::string& account);

  MEdit* AccountEdit() const { return account_; }
  MEdit* FirstDateEdit() const { return first_; }
  MEdit* LastDateEdit() const { return last_; }
  MComboBox* FilterCombo() const { return filter_; }
  MCheckBox* EurosBox() const { return euros_; }

  static const gui::ResponseTable& Table();
  const gui::ResponseTable& Responses() const override { return Table(); }

 protected:
  void SetupWindow() override;
  void ArrangeControls() override;

 private:
  void OpenList(char filter);

  MStatic* labels_[4] = {};
  MEdit* account_ = nullptr;
  MButton* lookup_ = nullptr;
  MStatic* balance_ = nullptr;
  MEdit* first_ = nullptr;
  MEdit* last_ = nullptr;
  MComboBox* filter_ = nullptr;
  MCheckBox* euros_ = nullptr;
};
