#include "masterdata/chart_form.h"

#include <cmath>

#include "controls/mcontrols.h"
#include "controls/medit.h"
#include "data/record_fields.h"
#include "data/table.h"
#include "masterdata/core/chart_layouts.h"
#include "masterdata/core/chart_records.h"
#include "platform/gui/command.h"
#include "platform/gui/controls.h"
#include "runtime/code_helpers.h"
#include "runtime/dossier_record.h"
#include "runtime/numbers.h"
#include "runtime/session_registry.h"
#include "runtime/text.h"
#include "runtime/twin_amounts.h"
#include "runtime/xbase.h"
#include "shell/mdi_client.h"
#include "shell/registry.h"

using namespace masterdata;

namespace {

bool FrancMain() { return TheDossierRecord.At(DossierRecord::kEuroMainPos) == 'N'; }

double DossierRate() {
  return Val(TheDossierRecord.Get(DossierRecord::kParityPos, DossierRecord::kParityWidth).c_str());
}

std::string FormCode(char kind) {
  const CodeKind* k = FindChartKind(kind);
  return RegistryText(k->formSlot + 11, k->codeWidth);
}

constexpr ChartRecordForm::CurrencyIds kAccountIds{
    account_form::kEuros,
    account_form::kRowF,
    account_form::kRowE,
    {account_form::kDebitF, account_form::kCreditF, account_form::kBudgetF},
    {account_form::kDebitE, account_form::kCreditE, account_form::kBudgetE},
    account_form::kBalanceF,
    account_form::kBalanceE};

constexpr ChartRecordForm::CurrencyIds kSectionIds{
    section_form::kEuros,
    section_form::kRowF,
    section_form::kRowE,
    {section_form::kDebitF, section_form::kCreditF, section_form::kBudgetF},
    {section_form::kDebitE, section_form::kCreditE, section_form::kBudgetE},
    section_form::kBalanceF,
    section_form::kBalanceE};

}  // namespace

// ---- the currency rows ------------------------------------------------------------------------------------------

ChartRecordForm::ChartRecordForm(gui::MDIClient* client, const std::string& title, char kind, const CurrencyIds& ids,
                                 const std::function<bool(Presence)>& present)
    : CodeRecordForm(client, title, kind, present), ids_(ids) {}

bool ChartRecordForm::EurosChecked() const {
  MCheckBox* box = CheckOf(ids_.euros);
  return box != nullptr && box->IsChecked();
}

void ChartRecordForm::AfterLoad() {
  ::Table* t = RecordTable();
  const ChartFile* file = FindChartFile(Kind().kind);
  if (MCheckBox* box = CheckOf(ids_.euros)) {
    box->SetValue(false, true);
    if (!FrancMain()) box->SetValue(true, true);
  }
  if (t != nullptr && file != nullptr) {
    for (int c = 0; c < 2; ++c) {
      const int id = c == 0 ? ids_.balanceF : ids_.balanceE;
      if (gui::Static* s = StaticOf(id))
        s->SetText(Trimmed(BalanceAmount(StoredAmountOf(*t, file->debitField + c) -
                                         StoredAmountOf(*t, file->creditField + c))));
    }
  }
  // A dossier kept only in euros never shows the franc row.
  if (DossierIsEuroOnly()) {
    for (int id : {ids_.euros, ids_.rowF, ids_.rowE, ids_.francs[0], ids_.francs[1], ids_.francs[2], ids_.balanceF})
      if (gui::Window* w = Control(id)) w->Show(gui::SW_HIDE);
  }
  guard_ = false;
  EnableCurrencyRow();
}

void ChartRecordForm::EnableCurrencyRow() {
  const bool euros = EurosChecked();
  for (int i = 0; i < 3; ++i) {
    if (gui::Window* w = Control(ids_.euros3[i])) w->EnableWindow(euros);
    if (gui::Window* w = Control(ids_.francs[i])) w->EnableWindow(!euros);
  }
}

void ChartRecordForm::CmEnEuros() {
  MCheckBox* box = CheckOf(ids_.euros);
  if (box == nullptr) return;
  if (DossierIsEuroOnly()) box->SetValue(true, true);
  else EnableCurrencyRow();
  FocusOn(EurosChecked() ? ids_.euros3[0] : ids_.francs[0]);
}

int ChartRecordForm::Partner(int id, bool& franc, AmountColumn& column) const {
  constexpr AmountColumn kColumns[3] = {AmountColumn::kDebit, AmountColumn::kCredit, AmountColumn::kBudget};
  for (int i = 0; i < 3; ++i) {
    column = kColumns[i];
    if (id == ids_.francs[i]) {
      franc = true;
      return ids_.euros3[i];
    }
    if (id == ids_.euros3[i]) {
      franc = false;
      return ids_.francs[i];
    }
  }
  return 0;
}

void ChartRecordForm::EnChangeAmount(int id) {
  bool franc = false;
  AmountColumn column = AmountColumn::kDebit;
  const int other = Partner(id, franc, column);
  const bool budget = column == AmountColumn::kBudget;
  MEdit* source = EditOf(id);
  MEdit* target = EditOf(other);
  if (guard_ || source == nullptr || target == nullptr) return;
  guard_ = true;
  if (budget) {
    // A budget keeps its sign letter: "C50" in francs is a credit budget in euros too.
    const double rate = DossierRate();
    if (rate > 0.0) {
      // A twin past its field is left blank, never cut to the edit's width: the typed budget is refused.
      const double value = BudgetValue(source->GetText());
      const double twin = Round(2, franc ? value / rate : value * rate);
      const bool holds = std::fabs(twin) < 1e13 && StoredAmountHolds(ToCents(twin));
      target->SetValue(holds ? BudgetText(twin) : std::string(), false);
    }
  } else if (franc) {
    ConvertAmountByInverseRate(*source, *target);
  } else {
    ConvertAmountByRate(*source, *target);
  }
  guard_ = false;
}

bool ChartRecordForm::CheckAmount(int control) {
  bool franc = false;
  AmountColumn column = AmountColumn::kDebit;
  const int partner = Partner(control, franc, column);
  // The twin's edit shows the typed amount converted (blank past its field): the typed one decides.
  const int typed = partner != 0 && franc == EurosChecked() ? partner : control;
  if (!CodeRecordForm::CheckAmount(typed)) return false;
  MEdit* edit = EditOf(typed);
  if (partner == 0 || edit == nullptr) return true;
  const std::string refusal = AmountPastItsField(edit->GetText(), column, EurosChecked(), DossierRate());
  return refusal.empty() || Refuse(typed, refusal);
}

void ChartRecordForm::EvNotify(int id, unsigned code) {
  if (code == gui::EN_CHANGE) EnChangeAmount(id);
}

bool ChartRecordForm::EvCommand(unsigned id) {
  if (id == static_cast<unsigned>(ids_.euros)) {
    CmEnEuros();
    return true;
  }
  return CodeRecordForm::EvCommand(id);
}

void ChartRecordForm::RefreshList() {
  const ChartFile* file = FindChartFile(Kind().kind);
  if (file == nullptr || ProgramOption(file->orderOption) == 'C') {
    RefreshPartnerList(Code());
    return;
  }
  // A list in name order finds no row by code: it is refreshed whole.
  if (RegistryChar(PartnerSlot) == '1') gui::PostCommand(SlotHandle(PartnerSlot), form_cmd::ListRefreshAll);
}

// ---- accounts ---------------------------------------------------------------------------------------------------

bool TWDonModPlanComptable::Has(Presence presence, const std::string& code) {
  const bool auxiliary = IsAuxiliaryCode(code);
  const char mode = TheDossierRecord.AnalyticMode();
  switch (presence) {
    case Presence::Always: return true;
    case Presence::Domiciliation: return HasBankDomiciliation(code);
    case Presence::Auxiliary: return auxiliary;
    case Presence::General: return !auxiliary;
    case Presence::GeneralAnalytic: return !auxiliary && (mode == '1' || mode == '2');
  }
  return true;
}

TWDonModPlanComptable::TWDonModPlanComptable(gui::MDIClient* client, const std::string& title)
    : ChartRecordForm(client, title, '2', kAccountIds,
                      [code = FormCode('2')](Presence p) { return Has(p, code); }) {}

void TWDonModPlanComptable::AfterLoad() {
  // A blank analytic mark: nothing decided yet, the box shows the dossier's default for the account.
  if (MCheckBox* box = CheckOf(account_form::kAnalytic)) {
    ::Table* t = RecordTable();
    if (t != nullptr && IsBlank(std::string(t->GetField(c20::kAnalytic)).substr(0, 1)))
      box->SetValue(AnalyticByDefault(Code()), true);
  }
  ChartRecordForm::AfterLoad();
}

bool TWDonModPlanComptable::KeepsStoredValue(const FormItem& item, const std::string&) {
  return item.id == account_form::kAnalytic;
}

int TWDonModPlanComptable::ResolveFocus(int control) {
  if (control != kFocusAmountRow) return control;
  return FrancMain() ? account_form::kDebitF : account_form::kDebitE;
}

// ---- sections ---------------------------------------------------------------------------------------------------

TWDonModSectionsAnal::TWDonModSectionsAnal(gui::MDIClient* client, const std::string& title)
    : ChartRecordForm(client, title, '3', kSectionIds) {}

ChartRecordForm* MakeChartForm(gui::MDIClient* client, char kind, const std::string& code) {
  const std::string title = std::string(CodeLabelForType(std::string(1, kind).c_str())) + RTrim(code.c_str());
  if (kind == '2') return new TWDonModPlanComptable(client, title);
  if (kind == '3') return new TWDonModSectionsAnal(client, title);
  return nullptr;
}
