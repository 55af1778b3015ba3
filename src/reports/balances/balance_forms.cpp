#include "reports/balances/balance_forms.h"

#include "controls/control_env.h"
#include "controls/mcontrols.h"
#include "controls/medit.h"
#include "data/dossier_files.h"
#include "data/session.h"
#include "data/table.h"
#include "platform/gui/application.h"
#include "platform/gui/constants.h"
#include "reports/balances/balance_windows.h"
#include "reports/balances/core/trial_balance_run.h"
#include "reports/ledgers/core/ledger_strings.h"
#include "reports/ledgers/core/limits_checks.h"
#include "resources/string_table.h"
#include "runtime/dates.h"
#include "runtime/dossier_record.h"
#include "runtime/text.h"
#include "shell/graphics.h"
#include "shell/registry.h"

using namespace ledgers;

namespace {

using DF = DossierRecord::DateField;
using TB = TWEtaModBalances;
constexpr int kLabel = grid::Label;
constexpr int kText = grid::Text;

// The form's texts. The break entries are read by position from the first.
constexpr int kLabelKind = 23504;            // "&Balances"
constexpr int kLabelAct = 23505;             // "Act "
constexpr int kLabelInEuros = 19744;         // "En Eur&os"
constexpr int kLabelOtherBalances = 23507;   // "Autres Balances", also the last kind
constexpr int kLabelPriorCumulation = 19748;
constexpr int kLabelBreak = 23509;           // "&Rupture"
constexpr int kLabelLettering = 19749;       // "&Lettrages"
constexpr int kKindAll = 23511;              // "Toutes"
constexpr int kKindCustomers = 19727;
constexpr int kKindSuppliers = 19728;
constexpr int kKindGeneral = 23514;          // "Générale"
constexpr int kKindResult = 1704;            // "Résultat"
constexpr int kKindAnalytic = 19732;         // "(Analytique)"
constexpr int kBreakEntryFirst = 23500;      // "S - Sans Rupture ..." then the 1st to 3rd character
constexpr int kBreakEntryCount = 4;

const TWEtaModAccountRange::Ids kBalanceRangeIds = {
    .kind = TB::kKind, .euros = TB::kEuros,
    .list = TB::kList, .listEntered = 1206, .listLookup = TB::kListLookup, .listStatic = TB::kListStatic,
    .from = TB::kFrom, .fromEntered = 1210, .fromLookup = TB::kFromLookup, .fromStatic = TB::kFromStatic,
    .fromFirst = 1212, .fromPrior = 1214, .fromNext = 1213, .fromLast = 1215,
    .to = TB::kTo, .toEntered = 1218, .toLookup = TB::kToLookup, .toStatic = TB::kToStatic,
    .toFirst = 1220, .toPrior = 1222, .toNext = 1221, .toLast = 1223,
    .dateFrom = TB::kDateFrom, .dateFromEntered = 1225, .dateTo = TB::kDateTo, .dateToEntered = 1227,
    .leaveFirst = 1231, .labelFirst = 1303};

}  // namespace

TWEtaModBalances::TWEtaModBalances(gui::MDIClient* client)
    : TWEtaModAccountRange(client, kTrialBalanceWindow, 8, 10, kBalanceRangeIds) {
  kindLabel_ = new MStatic(this, LoadStr(kLabelKind), 1301);
  kind_ = new MComboBox(this, kKind, 1, 1);
  actLabel_ = new MStatic(this, LoadStr(kLabelAct), 1302);
  act_ = new MEdit(this, kAct, 2, 0, MEdit::kUnsigned, 0, false);
  euros_ = new MCheckBox(this, kEuros, LoadStr(kLabelInEuros), 1);
  MakeRangeControls(LoadStr(kLabelOtherBalances));
  prior_ = new MCheckBox(this, kPrior, LoadStr(kLabelPriorCumulation), 1);
  breakLabel_ = new MStatic(this, LoadStr(kLabelBreak), 1308);
  break_ = new MComboBox(this, kBreak, 1, 1);
  letteringLabel_ = new MStatic(this, LoadStr(kLabelLettering), 1309);
  lettering_ = new MComboBox(this, kLettering, 1, 1);
  act_->SetNotifyWindow(this);
}

const gui::ResponseTable& TWEtaModBalances::Table() {
  static const gui::ResponseTable table = [] {
    gui::ResponseTable t(&TWEtaModLedger::Table());
    return AddRangeCommands(t, kBalanceRangeIds);
  }();
  return table;
}

void TWEtaModBalances::SetupWindow() {
  TWEtaModLedger::SetupWindow();
  SetFonts({actLabel_, act_, breakLabel_, break_});
  std::string message;
  codes_.Load(PathC10(), &message);
  std::vector<std::string> kinds = {LoadStr(kKindAll),     LoadStr(kKindCustomers), LoadStr(kKindSuppliers),
                                    LoadStr(kKindGeneral), LoadStr(kKindResult),    LoadStr(kLabelOtherBalances)};
  if (AnalyticDossier()) kinds.push_back(LoadStr(kKindAnalytic));
  SetUpRange(kinds);
  act_->SetValue("", true);
  for (int k = 0; k < kBreakEntryCount; ++k) break_->AddString(LoadStr(kBreakEntryFirst + k));
  break_->SetValue("S", true);
  for (const std::string& e : MatchingEntries()) lettering_->AddString(e);
  lettering_->SetValue("1", true);
  CmKindChanged();
}

void TWEtaModBalances::PlaceControls() {
  MoveFormControls(kindLabel_, 1, 1, 2, 1, kLabel, 0, 0);
  MoveFormControls(kind_, 3, 1, 2, 1, kText, ComboWidth(*kind_), 0);
  MoveFormControls(actLabel_, 5, 1, 1, 1, kLabel, 0, 0);
  MoveFormControls(act_, 6, 1, 1, 1, kText, 3, 0);
  MoveFormControls(euros_, 7, 1, 2, 1, kText, 0, 0);
  PlaceRange(2);
  MoveFormControls(prior_, 3, 7, 5, 1, kText, 0, 0);
  MoveFormControls(breakLabel_, 1, 8, 2, 1, kLabel, 0, 0);
  MoveFormControls(break_, 3, 8, 5, 1, kText, ComboWidth(*break_), 0);
  MoveFormControls(letteringLabel_, 1, 9, 2, 1, kLabel, 0, 0);
  MoveFormControls(lettering_, 3, 9, 5, 1, kText, ComboWidth(*lettering_), 0);
}

void TWEtaModBalances::SelectKind(char kind) {
  for (std::size_t i = 0; i < kinds_.size(); ++i)
    if (kinds_[i][0] == kind) kind_->SetSelIndex(static_cast<int>(i));
  CmKindChanged();
}

std::string TWEtaModBalances::ListText() const { return Trimmed(list_->GetText()); }

gui::Window* TWEtaModBalances::AfterEmptiedAccounts(bool upper) { return upper ? dateTo_ : dateFrom_; }

void TWEtaModBalances::CmKindChanged() {
  const char k = Kind();
  // The Act code: the result balance, or the general one when constant 067 asks for it.
  const std::string c067 = TheDossierRecord.Constant(67);
  const bool act = k == 'R' || (k == 'G' && !c067.empty() && c067[0] == 'O');
  if (!act) act_->SetValue("", false);
  for (gui::Window* w : std::vector<gui::Window*>{act_, actLabel_}) {
    w->EnableWindow(act);
    w->Show(act ? gui::SW_SHOW : gui::SW_HIDE);
  }
  ApplyKindToCodes(k);
}

bool TWEtaModBalances::CheckList(bool focusNext) {
  if (Kind() != 'A') {
    list_->SetValue("", false);
    listStatic_->SetText("");
    if (focusNext) Focus(from_);
    return true;
  }
  std::string shown;
  const bool ok = balances::CheckBalanceList(ListText(), codes_, shown);
  listStatic_->SetText(ok ? "" : shown);
  if (!ok) return Refuse(list_, focusNext);
  if (focusNext) Focus(from_);
  return true;
}

void TWEtaModBalances::CmDateFromEntered() {
  CheckDateFrom(true);
  // Any other start than the year's first day asks for the prior totals, whatever the check said.
  if (dateFrom_->GetText() != TheDossierRecord.DateDisplay(DF::YearStart)) prior_->SetValue(true, false);
}

int TWEtaModBalances::Check() {
  // One digit of Act code is refused, even when closing.
  if (Trimmed(act_->GetText()).size() == 1) {
    Refuse(act_, true);
    return kCheckInvalid;
  }
  if (NoCheckFlag) return kCheckClose;
  return CheckRange() ? kCheckClose : kCheckInvalid;
}

std::string TWEtaModBalances::BuildLimits() {
  const char kind = Kind();
  // Codes typed with a digit reach the options completed with "0", the others with blanks, as
  // the check left them in the fields.
  auto account = [](const std::string& typed) {
    std::string code = Trimmed(typed);
    if (!code.empty() && code[0] >= '0' && code[0] <= '9') code.resize(8, '0');
    return code;
  };
  std::string act = Trimmed(act_->GetText());
  if (act.size() == 1) act = " " + act;
  const std::string breakLevel = break_->GetValue();
  const std::string lettering = lettering_->GetValue();
  const balances::TrialBalanceOptions o = balances::MakeOptions(
      kind, ConvertDate(dateFrom_->GetText().c_str()), ConvertDate(dateTo_->GetText().c_str()), Checked(prior_),
      breakLevel.empty() ? 'S' : breakLevel[0], lettering.empty() ? '1' : lettering[0], Checked(euros_),
      account(from_->GetText()), account(to_->GetText()), kind == 'A' ? ListText() : std::string(), act);
  return o.text;
}
