// The limits forms of the ledger reports: TWEtaModCompte (the account statement), TWEtaModGrandsLivres
// (the general ledgers) and TWEtaModJournaux (the journal listings). The user types the limits
// and options; "Visualiser" and "Imprimer" check every field, write the limits
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
class ComboBox;
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
  // A size that shows every control of the form in its compact cells.
  gui::Rect FittingRect() const;
  // The grid's cells never grow beyond these.
  int CompactColumnWidth() const;
  int CompactRowHeight() const;
  // The field the last refusal put the focus on (null when none).
  gui::Window* RefusedField() const { return refused_; }

  void CmVisualiser() { HandOver(form_cmd::Visualiser); }
  void CmImprimer() { HandOver(form_cmd::Imprimer); }
  void CmQuitterForm();

  static const gui::ResponseTable& Table();
  const gui::ResponseTable& Responses() const override { return Table(); }

 protected:
  void SetupWindow() override;
  // The grid's cells kept one line high and about a code's edit wide however large the window
  // grows, so that the form stays compact at its top left; then the form's own placement.
  void ArrangeControls() final;
  virtual void PlaceControls() = 0;
  // A field refused: a beep and, when `focus`, the field focused. False.
  bool Refuse(gui::Window* field, bool focus);
  // A date refused: with `focus`, a message that says why (not a date of the year, or before "Date début").
  bool RefuseDate(MEdit* field, const ledgers::DateCheck& check, bool focus);
  void Focus(gui::Window* field);
  // The edit the calculator (F8) was last opened on takes the focus back when it is this form's.
  bool FocusCalculatorEdit();
  void HandOver(unsigned command);
  // The form's controls get the program's form font.
  void SetFonts(const std::vector<gui::Window*>& controls);
  static bool Checked(MCheckBox* box);
  // A combo's width in characters for the grid: its longest entry and its arrow.
  static int ComboWidth(const gui::ComboBox& combo);
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
  MButton* Lookup() const { return lookup_; }
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
  void PlaceControls() override;
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

// The forms of a kind of ledger or balance over an account range and a date range: the kind's
// combo, a list of collectives (for "Autres ..."), the first and last accounts with their lookups
// and steps, the first and last dates, the prior totals, the lettering filter and the currency.
// The checks, the lookups and the steps are the same in every such form; each form names its
// controls' ids and adds its own fields.
class TWEtaModAccountRange : public TWEtaModLedger {
 public:
  // The ids of the range's controls and of their commands.
  struct Ids {
    int kind, euros;
    int list, listEntered, listLookup, listStatic;
    int from, fromEntered, fromLookup, fromStatic, fromFirst, fromPrior, fromNext, fromLast;
    int to, toEntered, toLookup, toStatic, toFirst, toPrior, toNext, toLast;
    int dateFrom, dateFromEntered, dateTo, dateToEntered;
    // The commands sent when the list, the first account, the last account, the first date
    // and the last date are left, in that order from this one.
    int leaveFirst;
    // The labels of the list, the two accounts and the two dates, in that order from this one.
    int labelFirst;
  };

  TWEtaModAccountRange(gui::MDIClient* client, const LedgerWindowKind& window, int gridColumns, int gridRows,
                       const Ids& ids);

  MComboBox* KindCombo() const { return kind_; }
  MEdit* From() const { return from_; }
  MEdit* To() const { return to_; }
  MEdit* DateFrom() const { return dateFrom_; }
  MEdit* DateTo() const { return dateTo_; }
  MCheckBox* Prior() const { return prior_; }
  MCheckBox* Euros() const { return euros_; }
  MStatic* FromStatic() const { return fromStatic_; }
  MStatic* ToStatic() const { return toStatic_; }
  // The kind chosen, by the first character of its entry.
  char Kind();

  // A kind chosen: the fields that apply to it enabled, the others emptied.
  virtual void CmKindChanged() = 0;
  virtual bool CheckList(bool focusNext) = 0;
  bool CheckAccount(bool upper, bool focusNext);
  bool CheckDateFrom(bool focusNext);
  bool CheckDateTo(bool focusNext);

  void CmListEntered() { CheckList(true); }
  void CmFromEntered() { CheckAccount(false, true); }
  void CmToEntered() { CheckAccount(true, true); }
  virtual void CmDateFromEntered() = 0;
  void CmDateToEntered() { CheckDateTo(true); }
  void CmListQuiet() { CheckList(false); }
  void CmFromQuiet() { CheckAccount(false, false); }
  void CmToQuiet() { CheckAccount(true, false); }
  void CmDateFromQuiet() { CheckDateFrom(false); }
  void CmDateToQuiet() { CheckDateTo(false); }
  void CmLookupList();
  void CmLookupFrom() { LookupAccount(false); }
  void CmLookupTo() { LookupAccount(true); }
  void CmEuros();
  void CmFirstFrom() { Step(false, 0); }
  void CmPriorFrom() { Step(false, 1); }
  void CmNextFrom() { Step(false, 2); }
  void CmLastFrom() { Step(false, 3); }
  void CmFirstTo() { Step(true, 0); }
  void CmPriorTo() { Step(true, 1); }
  void CmNextTo() { Step(true, 2); }
  void CmLastTo() { Step(true, 3); }

 protected:
  // The kind's combo takes the focus; a new kind chosen there is applied.
  void EvSetFocus(gui::Handle lost) override;
  void EvNotify(int id, unsigned code) override;
  // The commands of the range's controls added to a form's table.
  static gui::ResponseTable& AddRangeCommands(gui::ResponseTable& table, const Ids& ids);
  // The list's label (its text is the form's), the list, the accounts and the dates with their
  // labels, lookups and name lines, made in that order (the order the focus follows).
  void MakeRangeControls(const std::string& listLabel);
  // The kinds filled in (the first chosen), the currency box, the dates of the financial year,
  // the lookups' tips and fonts.
  void SetUpRange(const std::vector<std::string>& kinds);
  // A kind change: every code emptied for "all accounts", the list only used by "Autres ...".
  void ApplyKindToCodes(char kind);
  // The range's rows placed from row `row` (list, first account, last account, two dates).
  void PlaceRange(int row);
  // The range's controls and labels, for the form's fonts.
  std::vector<gui::Window*> RangeControls() const;
  // Both checks in order: the list, the accounts, the dates.
  bool CheckRange();
  // The list as the checks read it.
  virtual std::string ListText() const = 0;
  // The field focused after the account fields were emptied (their codes not applying).
  virtual gui::Window* AfterEmptiedAccounts(bool upper);

  const Ids ids_;
  std::vector<std::string> kinds_;
  MStatic* kindLabel_ = nullptr;
  MComboBox* kind_ = nullptr;
  MCheckBox* euros_ = nullptr;
  MStatic* listLabel_ = nullptr;
  MEdit* list_ = nullptr;
  MButton* listLookup_ = nullptr;
  MStatic* listStatic_ = nullptr;
  MStatic* fromLabel_ = nullptr;
  MEdit* from_ = nullptr;
  MButton* fromLookup_ = nullptr;
  MStatic* fromStatic_ = nullptr;
  MStatic* toLabel_ = nullptr;
  MEdit* to_ = nullptr;
  MButton* toLookup_ = nullptr;
  MStatic* toStatic_ = nullptr;
  MStatic* dateFromLabel_ = nullptr;
  MEdit* dateFrom_ = nullptr;
  MStatic* dateToLabel_ = nullptr;
  MEdit* dateTo_ = nullptr;
  MCheckBox* prior_ = nullptr;
  MStatic* letteringLabel_ = nullptr;
  MComboBox* lettering_ = nullptr;

 private:
  void LookupAccount(bool upper);
  void Step(bool upper, int which);
  bool CodesApply();
};

class TWEtaModGrandsLivres : public TWEtaModAccountRange {
 public:
  static constexpr int kKind = 1201, kEuros = 1202, kCollectives = 1203, kCollectivesLookup = 1204;
  static constexpr int kCollectivesStatic = 1206, kFrom = 1207, kFromLookup = 1208, kFromStatic = 1214;
  static constexpr int kTo = 1215, kToLookup = 1216, kToStatic = 1222, kDateFrom = 1223, kDateTo = 1225;
  static constexpr int kSubtotals = 1227, kPrior = 1228, kLettering = 1229;

  explicit TWEtaModGrandsLivres(gui::MDIClient* client);

  int Check() override;
  std::string BuildLimits() override;

  MEdit* Collectives() const { return list_; }
  MCheckBox* Subtotals() const { return subtotals_; }
  MStatic* CollectivesStatic() const { return listStatic_; }

  bool CheckList(bool focusNext) override;
  bool CheckCollectives(bool focusNext) { return CheckList(focusNext); }

  void CmKindChanged() override;
  void CmDateFromEntered() override;

  static const gui::ResponseTable& Table();
  const gui::ResponseTable& Responses() const override { return Table(); }

 protected:
  void SetupWindow() override;
  void PlaceControls() override;
  std::string ListText() const override;

 private:
  ledgers::GeneralLedgerForm Form();

  MCheckBox* subtotals_;
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
  void PlaceControls() override;

 private:
  MListBox* journals_;
  MListBox* months_;
  MCheckBox* summary_;
  MCheckBox* analytic_;
  MCheckBox* euros_;
};
