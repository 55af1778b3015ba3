// The limits forms of the ledger reports: TWEtaModCompte (the account statement), TWEtaModGrandsLivres
// (the general ledgers) and TWEtaModJournaux (the journal listings). The user types the limits
// and options; "Visualiser" (20035) and "Imprimer" (20041) check every field, write the limits
// record into the report window's slot of the open-window registry and send the command to the
// report window. A refused field beeps and keeps the focus ("???" beside an unknown code). The
// forms never ask when they close; closing one closes its report window.
#pragma once

#include <string>
#include <vector>

#include "framework/edit_form.h"
#include "reports/ledgers/core/limits_checks.h"

class MButton;
class MCheckBox;
class MComboBox;
class MEdit;
class MListBox;
class MStatic;
struct LedgerWindowKind;

namespace gui {
class CommandEnabler;
}

class TWEtaModLedger : public CMDIModif {
 public:
  TWEtaModLedger(gui::MDIClient* client, const LedgerWindowKind& window, int gridColumns, int gridRows);
  ~TWEtaModLedger() override;

  // Never asks and never checks (refused only while a run is in progress: the report window
  // still serves the preview then).
  bool CanClose() override;
  // The record the form hands over.
  virtual std::string BuildLimits() = 0;
  // A size that shows every control of the form at the grid's smallest cells.
  gui::Rect FittingRect() const;
  // The field the last refusal put the focus on (null when none).
  gui::Window* RefusedField() const { return refused_; }

  void CmVisualiser() { HandOver(form_cmd::Visualiser); }
  void CmImprimer() { HandOver(form_cmd::Imprimer); }
  void CmQuitterForm();

  static const gui::ResponseTable& Table();
  const gui::ResponseTable& Responses() const override { return Table(); }
  std::intptr_t WindowProc(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam) override;

 protected:
  void SetupWindow() override;
  // A control's notification (a combo's or a list's selection ...).
  virtual void EvNotify(int id, unsigned code) {}
  // A field refused: a beep and, when `focus`, the field focused. False.
  bool Refuse(gui::Window* field, bool focus);
  void Focus(gui::Window* field);
  // The edit the calculator (F8) was last opened on takes the focus back when it is this form's.
  bool FocusCalculatorEdit();
  void HandOver(unsigned command);
  // The form's controls get the program's form font.
  void SetFonts(const std::vector<gui::Window*>& controls);
  static bool Checked(MCheckBox* box);
  // "En Eur&os": checked unless the dossier keeps francs as its main currency; hidden in a
  // dossier in euros only.
  void SetUpEuroBox(MCheckBox* box);
  static bool AnalyticDossier();
  static char HelpCharacter();

  const LedgerWindowKind& window_;
  gui::Window* refused_ = nullptr;

 private:
  void CeIdle(gui::CommandEnabler& ce);
};

class TWEtaModCompte : public TWEtaModLedger {
 public:
  static constexpr int kAccount = 1201, kLookup = 1202, kAnalytic = 1208, kEuros = 1209, kNameStatic = 1210;
  static constexpr int kDateFrom = 1211, kDateTo = 1213, kSubtotals = 1215, kPrior = 1216, kLettering = 1217;
  static constexpr int kLetter = 1221;

  explicit TWEtaModCompte(gui::MDIClient* client);

  int Check() override;
  std::string BuildLimits() override;

  MEdit* Account() const { return account_; }
  MEdit* DateFrom() const { return dateFrom_; }
  MEdit* DateTo() const { return dateTo_; }
  MCheckBox* Subtotals() const { return subtotals_; }
  MCheckBox* Prior() const { return prior_; }
  MCheckBox* AnalyticBox() const { return analytic_; }
  MCheckBox* Euros() const { return euros_; }
  MComboBox* Lettering() const { return lettering_; }
  MEdit* Letter() const { return letter_; }
  MStatic* NameStatic() const { return name_; }
  MStatic* LetterLabel() const { return letterLabel_; }

  bool CheckAccount(bool focusNext);
  bool CheckDateFrom(bool focusNext);
  bool CheckDateTo(bool focusNext);

  void CmAccountEntered() { CheckAccount(true); }
  void CmDateFromEntered();
  void CmDateToEntered() { CheckDateTo(true); }
  void CmCheckAccountQuiet() { CheckAccount(false); }
  void CmCheckDateFromQuiet() { CheckDateFrom(false); }
  void CmCheckDateToQuiet() { CheckDateTo(false); }
  void CmMatchingLetterEntered();
  void CmLookupAccount();
  void CmFirstCode() { Step(0); }
  void CmPriorCode() { Step(1); }
  void CmNextCode() { Step(2); }
  void CmLastCode() { Step(3); }
  void CmAnalytique();
  void CmEuros();
  void CmLettrageChanged();

  static const gui::ResponseTable& Table();
  const gui::ResponseTable& Responses() const override { return Table(); }

 protected:
  void SetupWindow() override;
  void EvSetFocus(gui::Handle lost) override;
  void ArrangeControls() override;
  void EvNotify(int id, unsigned code) override;

 private:
  bool AnalyticOn() const;
  void ShowAccountBalance();
  void Step(int which);
  ledgers::StatementForm Form();

  MStatic* accountLabel_;
  MEdit* account_;
  MButton* lookup_;
  MCheckBox* analytic_;
  MCheckBox* euros_;
  MStatic* name_;
  MStatic* dateFromLabel_;
  MEdit* dateFrom_;
  MStatic* dateToLabel_;
  MEdit* dateTo_;
  MCheckBox* subtotals_;
  MCheckBox* prior_;
  MStatic* letteringLabel_;
  MComboBox* lettering_;
  MStatic* letterLabel_;
  MEdit* letter_;
};

class TWEtaModGrandsLivres : public TWEtaModLedger {
 public:
  static constexpr int kKind = 1201, kEuros = 1202, kCollectives = 1203, kCollectivesLookup = 1204;
  static constexpr int kCollectivesStatic = 1206, kFrom = 1207, kFromLookup = 1208, kFromStatic = 1214;
  static constexpr int kTo = 1215, kToLookup = 1216, kToStatic = 1222, kDateFrom = 1223, kDateTo = 1225;
  static constexpr int kSubtotals = 1227, kPrior = 1228, kLettering = 1229;

  explicit TWEtaModGrandsLivres(gui::MDIClient* client);

  int Check() override;
  std::string BuildLimits() override;

  MComboBox* KindCombo() const { return kind_; }
  MEdit* Collectives() const { return collectives_; }
  MEdit* From() const { return from_; }
  MEdit* To() const { return to_; }
  MEdit* DateFrom() const { return dateFrom_; }
  MEdit* DateTo() const { return dateTo_; }
  MCheckBox* Subtotals() const { return subtotals_; }
  MCheckBox* Prior() const { return prior_; }
  MStatic* CollectivesStatic() const { return collectivesStatic_; }
  MStatic* FromStatic() const { return fromStatic_; }
  MStatic* ToStatic() const { return toStatic_; }
  char Kind();

  bool CheckCollectives(bool focusNext);
  bool CheckAccount(bool upper, bool focusNext);
  bool CheckDateFrom(bool focusNext);
  bool CheckDateTo(bool focusNext);

  void CmKindChanged();
  void CmCollectivesEntered() { CheckCollectives(true); }
  void CmAccountFromEntered() { CheckAccount(false, true); }
  void CmAccountToEntered() { CheckAccount(true, true); }
  void CmDateFromEntered();
  void CmDateToEntered() { CheckDateTo(true); }
  void CmCheckCollectivesQuiet() { CheckCollectives(false); }
  void CmCheckFromQuiet() { CheckAccount(false, false); }
  void CmCheckToQuiet() { CheckAccount(true, false); }
  void CmCheckDateFromQuiet() { CheckDateFrom(false); }
  void CmCheckDateToQuiet() { CheckDateTo(false); }
  void CmLookupCollective();
  void CmLookupAccountFrom() { LookupAccount(false); }
  void CmLookupAccountTo() { LookupAccount(true); }
  void CmEuros();
  void CmFirstCodeFrom() { Step(false, 0); }
  void CmPriorCodeFrom() { Step(false, 1); }
  void CmNextCodeFrom() { Step(false, 2); }
  void CmLastCodeFrom() { Step(false, 3); }
  void CmFirstCodeTo() { Step(true, 0); }
  void CmPriorCodeTo() { Step(true, 1); }
  void CmNextCodeTo() { Step(true, 2); }
  void CmLastCodeTo() { Step(true, 3); }

  static const gui::ResponseTable& Table();
  const gui::ResponseTable& Responses() const override { return Table(); }

 protected:
  void SetupWindow() override;
  void EvSetFocus(gui::Handle lost) override;
  void ArrangeControls() override;
  void EvNotify(int id, unsigned code) override;

 private:
  void LookupAccount(bool upper);
  void Step(bool upper, int which);
  bool CodesApply();
  ledgers::GeneralLedgerForm Form();

  std::vector<std::string> kinds_;
  MStatic* kindLabel_;
  MComboBox* kind_;
  MCheckBox* euros_;
  MStatic* collectivesLabel_;
  MEdit* collectives_;
  MButton* collectivesLookup_;
  MStatic* collectivesStatic_;
  MStatic* fromLabel_;
  MEdit* from_;
  MButton* fromLookup_;
  MStatic* fromStatic_;
  MStatic* toLabel_;
  MEdit* to_;
  MButton* toLookup_;
  MStatic* toStatic_;
  MStatic* dateFromLabel_;
  MEdit* dateFrom_;
  MStatic* dateToLabel_;
  MEdit* dateTo_;
  MCheckBox* subtotals_;
  MCheckBox* prior_;
  MStatic* letteringLabel_;
  MComboBox* lettering_;
};

class TWEtaModJournaux : public TWEtaModLedger {
 public:
  static constexpr int kJournals = 1201, kMonths = 1202, kSummary = 1203, kAnalytic = 1204, kEuros = 1205;

  explicit TWEtaModJournaux(gui::MDIClient* client);

  std::string BuildLimits() override;

  MListBox* Journals() const { return journals_; }
  MListBox* Months() const { return months_; }
  MCheckBox* Summary() const { return summary_; }
  MCheckBox* AnalyticBox() const { return analytic_; }
  MCheckBox* Euros() const { return euros_; }

 protected:
  void SetupWindow() override;
  void EvSetFocus(gui::Handle lost) override;
  void ArrangeControls() override;

 private:
  MListBox* journals_;
  MListBox* months_;
  MCheckBox* summary_;
  MCheckBox* analytic_;
  MCheckBox* euros_;
};
