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
#include "runtime/dates.h"
#include "runtime/dossier_record.h"
#include "runtime/xbase.h"
#include "shell/graphics.h"
#include "shell/registry.h"

using namespace ledgers;

namespace {

using DF = DossierRecord::DateField;
constexpr int kLabel = grid::Label;
constexpr int kText = grid::Text;
constexpr int kBoxAtRight = 5;

// The collective accounts' list, which the list's lookup opens.
constexpr unsigned kCollectivesListCommand = 20303;
constexpr int kCollectivesListSlot = 67;

const char* const kBreakEntries[] = {"S - Sans Rupture (Aucun sous-total)", "1 - Sur le 1er caract\xE8re du compte",
                                     "2 - Sur le 2\xE8me caract\xE8re du compte",
                                     "3 - Sur le 3\xE8me caract\xE8re du compte"};

std::string Unknown() { return LoadStr(kStrUnknown); }

std::string Trimmed(const std::string& s) { return balances::Trim(s); }

}  // namespace

TWEtaModBalances::TWEtaModBalances(gui::MDIClient* client) : TWEtaModLedger(client, kTrialBalanceWindow, 8, 10) {
  kindLabel_ = new MStatic(this, "&Balances", 1301);
  kind_ = new MComboBox(this, kKind, 1, 1);
  actLabel_ = new MStatic(this, "Act ", 1302);
  act_ = new MEdit(this, kAct, 2, 0, MEdit::kUnsigned, 0, false);
  euros_ = new MCheckBox(this, kEuros, "En Eur&os", 1);
  listLabel_ = new MStatic(this, "Autres Balances", 1303);
  list_ = new MEdit(this, kList, 26, 1206, MEdit::kText, 0, false);
  listLookup_ = new MButton(this, kListLookup, "?");
  listStatic_ = new MStatic(this, "", kListStatic);
  fromLabel_ = new MStatic(this, "Compte d\xE9" "but", 1304);
  from_ = new MEdit(this, kFrom, 8, 1210, MEdit::kText, 0, false);
  fromLookup_ = new MButton(this, kFromLookup, "?");
  fromStatic_ = new MStatic(this, "", kFromStatic);
  toLabel_ = new MStatic(this, "Compte fin", 1305);
  to_ = new MEdit(this, kTo, 8, 1218, MEdit::kText, 0, false);
  toLookup_ = new MButton(this, kToLookup, "?");
  toStatic_ = new MStatic(this, "", kToStatic);
  dateFromLabel_ = new MStatic(this, "Date d\xE9" "but", 1306);
  dateFrom_ = new MEdit(this, kDateFrom, 8, 1225, MEdit::kDate, 0, false);
  dateToLabel_ = new MStatic(this, "Date fin", 1307);
  dateTo_ = new MEdit(this, kDateTo, 8, 1227, MEdit::kDate, 0, false);
  prior_ = new MCheckBox(this, kPrior, "Avec Cumuls Ant\xE9rieurs", 1);
  breakLabel_ = new MStatic(this, "&Rupture", 1308);
  break_ = new MComboBox(this, kBreak, 1, 1);
  letteringLabel_ = new MStatic(this, "&Lettrages", 1309);
  lettering_ = new MComboBox(this, kLettering, 1, 1);
  for (MEdit* e : {act_, list_, from_, to_, dateFrom_, dateTo_}) e->SetNotifyWindow(this);
  list_->SetF8Command(kListLookup);
  from_->SetF8Command(kFromLookup);
  to_->SetF8Command(kToLookup);
  from_->SetKeyCommands(1214, 1213, 1212, 1215, 0, 0);
  to_->SetKeyCommands(1222, 1221, 1220, 1223, 0, 0);
  list_->SetLeaveCommand(1231, listLookup_);
  from_->SetLeaveCommand(1232, fromLookup_);
  to_->SetLeaveCommand(1233, toLookup_);
  dateFrom_->SetLeaveCommand(1234);
  dateTo_->SetLeaveCommand(1235);
}

const gui::ResponseTable& TWEtaModBalances::Table() {
  static const gui::ResponseTable table = gui::ResponseTable(&TWEtaModLedger::Table())
                                              .Command(kListLookup, &TWEtaModBalances::CmLookupList)
                                              .Command(kFromLookup, &TWEtaModBalances::CmLookupFrom)
                                              .Command(kToLookup, &TWEtaModBalances::CmLookupTo)
                                              .Command(kEuros, &TWEtaModBalances::CmEuros)
                                              .Command(1206, &TWEtaModBalances::CmListEntered)
                                              .Command(1210, &TWEtaModBalances::CmFromEntered)
                                              .Command(1218, &TWEtaModBalances::CmToEntered)
                                              .Command(1225, &TWEtaModBalances::CmDateFromEntered)
                                              .Command(1227, &TWEtaModBalances::CmDateToEntered)
                                              .Command(1231, &TWEtaModBalances::CmListQuiet)
                                              .Command(1232, &TWEtaModBalances::CmFromQuiet)
                                              .Command(1233, &TWEtaModBalances::CmToQuiet)
                                              .Command(1234, &TWEtaModBalances::CmDateFromQuiet)
                                              .Command(1235, &TWEtaModBalances::CmDateToQuiet)
                                              .Command(1212, &TWEtaModBalances::CmFirstFrom)
                                              .Command(1214, &TWEtaModBalances::CmPriorFrom)
                                              .Command(1213, &TWEtaModBalances::CmNextFrom)
                                              .Command(1215, &TWEtaModBalances::CmLastFrom)
                                              .Command(1220, &TWEtaModBalances::CmFirstTo)
                                              .Command(1222, &TWEtaModBalances::CmPriorTo)
                                              .Command(1221, &TWEtaModBalances::CmNextTo)
                                              .Command(1223, &TWEtaModBalances::CmLastTo);
  return table;
}

void TWEtaModBalances::SetupWindow() {
  TWEtaModLedger::SetupWindow();
  SetFonts({kindLabel_, kind_, actLabel_, act_, euros_, listLabel_, list_, listStatic_, fromLabel_, from_, fromStatic_,
            toLabel_, to_, toStatic_, dateFromLabel_, dateFrom_, dateToLabel_, dateTo_, prior_, breakLabel_, break_,
            letteringLabel_, lettering_});
  for (MButton* b : {listLookup_, fromLookup_, toLookup_}) b->SetFont(EntryFontFixed);
  std::string message;
  codes_.Load(PathC10(), &message);
  kinds_ = {"Toutes", "Clients", "Fournisseurs", "G\xE9n\xE9rale", "R\xE9sultat", "Autres Balances"};
  if (AnalyticDossier()) kinds_.push_back("(Analytique)");
  for (const std::string& k : kinds_) kind_->AddString(k);
  kind_->SetSelIndex(0);
  act_->SetValue("", true);
  SetUpEuroBox(euros_);
  dateFrom_->SetValue(TheDossierRecord.DateDisplay(DF::YearStart), true);
  dateTo_->SetValue(TheDossierRecord.DateDisplay(DF::YearEnd), true);
  dateTo_->SetValue(TheDossierRecord.DateDisplay(DF::Working), false);
  prior_->SetValue(false, true);
  for (const char* e : kBreakEntries) break_->AddString(e);
  break_->SetValue("S", true);
  for (const std::string& e : MatchingEntries()) lettering_->AddString(e);
  lettering_->SetValue("1", true);
  CmKindChanged();
  listLookup_->SetTip("Choisir le code dans le fichier des Collectifs");
  fromLookup_->SetTip("Choisir le code D\xE9" "but dans le fichier du Plan Comptable");
  toLookup_->SetTip("Choisir le code Fin dans le fichier du Plan Comptable");
}

void TWEtaModBalances::ArrangeControls() {
  MoveFormControls(kindLabel_, 1, 1, 2, 1, kLabel, 0, 0);
  MoveFormControls(kind_, 3, 1, 2, 1, kText, 0, 0);
  MoveFormControls(actLabel_, 5, 1, 1, 1, kLabel, 0, 0);
  MoveFormControls(act_, 6, 1, 1, 1, kText, 3, 0);
  MoveFormControls(euros_, 7, 1, 2, 1, kText, 0, 0);
  MoveFormControls(listLabel_, 1, 2, 2, 1, kLabel, 0, 0);
  MoveFormControls(listLookup_, 1, 2, 2, 1, grid::Box, kBoxAtRight, 0);
  MoveFormControls(list_, 3, 2, 2, 1, kText, 26, 0);
  MoveFormControls(listStatic_, 5, 2, 4, 1, kLabel, 0, 0);
  MoveFormControls(fromLabel_, 1, 3, 2, 1, kLabel, 0, 0);
  MoveFormControls(fromLookup_, 1, 3, 2, 1, grid::Box, kBoxAtRight, 0);
  MoveFormControls(from_, 3, 3, 1, 1, kText, 10, 0);
  MoveFormControls(fromStatic_, 4, 3, 5, 1, kLabel, 0, 0);
  MoveFormControls(toLabel_, 1, 4, 2, 1, kLabel, 0, 0);
  MoveFormControls(toLookup_, 1, 4, 2, 1, grid::Box, kBoxAtRight, 0);
  MoveFormControls(to_, 3, 4, 1, 1, kText, 10, 0);
  MoveFormControls(toStatic_, 4, 4, 5, 1, kLabel, 0, 0);
  MoveFormControls(dateFromLabel_, 1, 5, 2, 1, kLabel, 0, 0);
  MoveFormControls(dateFrom_, 3, 5, 1, 1, kText, 8, 0);
  MoveFormControls(dateToLabel_, 1, 6, 2, 1, kLabel, 0, 0);
  MoveFormControls(dateTo_, 3, 6, 1, 1, kText, 8, 0);
  MoveFormControls(prior_, 3, 7, 5, 1, kText, 0, 0);
  MoveFormControls(breakLabel_, 1, 8, 2, 1, kLabel, 0, 0);
  MoveFormControls(break_, 3, 8, 5, 1, kText, 0, 0);
  MoveFormControls(letteringLabel_, 1, 9, 2, 1, kLabel, 0, 0);
  MoveFormControls(lettering_, 3, 9, 5, 1, kText, 0, 0);
}

void TWEtaModBalances::EvSetFocus(gui::Handle lost) {
  CMDIModif::EvSetFocus(lost);
  if (!FocusCalculatorEdit() && kind_->IsWindowEnabled()) kind_->SetFocus();
}

void TWEtaModBalances::EvNotify(int id, unsigned code) {
  if (id == kKind && code == gui::CBN_SELCHANGE) CmKindChanged();
}

char TWEtaModBalances::Kind() {
  const int i = kind_->GetSelIndex();
  if (i < 0 || static_cast<std::size_t>(i) >= kinds_.size()) return 'T';
  const std::string& k = kinds_[static_cast<std::size_t>(i)];
  // "Générale" and "Résultat" by their first letter; "(Analytique)" by its parenthesis.
  return k[0] == 'G' ? 'G' : k[0] == 'R' ? 'R' : k[0];
}

void TWEtaModBalances::SelectKind(char kind) {
  for (std::size_t i = 0; i < kinds_.size(); ++i)
    if (kinds_[i][0] == kind) kind_->SetSelIndex(static_cast<int>(i));
  CmKindChanged();
}

std::string TWEtaModBalances::ListText() const { return Trimmed(list_->GetText()); }

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
  if (k == 'T') {
    for (MEdit* e : {list_, from_, to_}) e->SetValue("", false);
    for (MStatic* s : {listStatic_, fromStatic_, toStatic_}) s->SetText("");
  } else if (k != 'A') {
    list_->SetValue("", false);
    listStatic_->SetText("");
  }
  for (gui::Window* w : std::vector<gui::Window*>{list_, listLookup_}) w->EnableWindow(k == 'A');
  for (gui::Window* w : std::vector<gui::Window*>{from_, fromLookup_, to_, toLookup_}) w->EnableWindow(k != 'T');
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

bool TWEtaModBalances::CheckAccount(bool upper, bool focusNext) {
  MEdit* edit = upper ? to_ : from_;
  MStatic* display = upper ? toStatic_ : fromStatic_;
  const CodeCheck c = CheckLedgerAccount(Kind(), ListText(), edit->GetText(), upper, from_->GetText(),
                                         HelpCharacter(), *TableC20, *TableC30);
  if (c.emptied) {
    for (MEdit* e : {from_, to_}) e->SetValue("", false);
    fromStatic_->SetText("");
    toStatic_->SetText("");
    if (focusNext) Focus(upper ? dateTo_ : dateFrom_);
    return true;
  }
  if (c.openLookup) {
    edit->SetValue(c.shown, false);
    if (focusNext) gui::PostCommand(GetHandle(), upper ? kToLookup : kFromLookup);
    return false;
  }
  if (!c.ok) {
    display->SetText(c.staticText);
    return Refuse(edit, focusNext);
  }
  if (c.shown != edit->GetText()) edit->SetValue(c.shown, false);
  display->SetText(c.staticText);
  if (c.found) {
    if (Kind() == '(') ShowAccountBalanceC30(display, Checked(euros_));
    else ShowAccountBalanceC20(display, Checked(euros_));
  }
  if (focusNext) Focus(upper ? dateFrom_ : static_cast<gui::Window*>(to_));
  return true;
}

bool TWEtaModBalances::CheckDateFrom(bool focusNext) {
  const DateCheck c = ledgers::CheckDateFrom(dateFrom_->GetText(), false, TheDossierRecord);
  if (c.shown != dateFrom_->GetText()) dateFrom_->SetValue(c.shown, false);
  if (!c.ok) return Refuse(dateFrom_, focusNext);
  if (c.uncheckPrior) prior_->SetValue(false, false);
  if (focusNext) Focus(dateTo_);
  return true;
}

void TWEtaModBalances::CmDateFromEntered() {
  CheckDateFrom(true);
  // Any other start than the year's first day asks for the prior totals, whatever the check said.
  if (dateFrom_->GetText() != TheDossierRecord.DateDisplay(DF::YearStart)) prior_->SetValue(true, false);
}

bool TWEtaModBalances::CheckDateTo(bool focusNext) {
  const DateCheck c = ledgers::CheckDateTo(dateTo_->GetText(), dateFrom_->GetText(), TheDossierRecord);
  if (c.shown != dateTo_->GetText()) dateTo_->SetValue(c.shown, false);
  if (!c.ok) return Refuse(dateTo_, focusNext);
  if (focusNext) Focus(prior_);
  return true;
}

void TWEtaModBalances::CmLookupList() {
  // The chosen collective is added to the list, not put in its place.
  const std::string list = ListText();
  std::string chosen;
  const char r = LookupC10Code(nullptr, kListLookup, "B", 1, kCollectivesListCommand, kCollectivesListSlot, nullptr,
                               &chosen);
  if (r == kLookupFound && !chosen.empty()) {
    const char c = chosen[0];
    if (list.find(c) != std::string::npos) {
      listStatic_->SetText("");
    } else {
      list_->SetValue(list + c, false);
      const bool named =
          TableC10 != nullptr && TableC10->isOpen && TableC10->recordNumber != 0 && !TableC10->IsDeleted();
      if (!named) gui::MessageBeep(0);
      listStatic_->SetText(std::string(1, c) + ": " + (named ? std::string(AllTrim(TableC10->GetField(3))) : Unknown()));
    }
  }
  if (r != kLookupListOpened && r != kLookupListRepositioned) list_->FocusSelect(false);
}

void TWEtaModBalances::LookupAccount(bool upper) {
  MEdit* edit = upper ? to_ : from_;
  MStatic* display = upper ? toStatic_ : fromStatic_;
  display->SetText("");
  const unsigned asking = upper ? kToLookup : kFromLookup;
  const char r = Kind() == '(' ? LookupC30Code(edit, asking, display) : LookupC20Code(edit, asking, display);
  if (r == kLookupNone) display->SetText(Unknown());
  if (r != kLookupListOpened && r != kLookupListRepositioned) edit->FocusSelect(true);
}

bool TWEtaModBalances::CodesApply() {
  const char k = Kind();
  if (k == 'T') return false;
  return k != 'A' || ListText().size() == 1;
}

void TWEtaModBalances::Step(bool upper, int which) {
  MEdit* edit = upper ? to_ : from_;
  MStatic* display = upper ? toStatic_ : fromStatic_;
  display->SetText("");
  if (!CodesApply()) {
    gui::MessageBeep(0);
    edit->SetValue("", false);
    return;
  }
  if (upper && IsBlank(to_->GetText())) to_->SetValue(from_->GetText(), false);
  if (upper && which == 0 && !IsBlank(from_->GetText())) {
    to_->SetValue(from_->GetText(), false);
    toStatic_->SetText(fromStatic_->GetText());
    return;
  }
  const bool sections = Kind() == '(';
  bool ok = false;
  switch (which) {
    case 0: ok = sections ? FirstC30Code(edit, display) : FirstC20Code(edit, display); break;
    case 1: ok = sections ? PriorC30Code(edit, display) : PriorC20Code(edit, display); break;
    case 2: ok = sections ? NextC30Code(edit, display) : NextC20Code(edit, display); break;
    default: ok = sections ? LastC30Code(edit, display) : LastC20Code(edit, display); break;
  }
  if (ok) {
    if (sections) ShowAccountBalanceC30(display, Checked(euros_));
    else ShowAccountBalanceC20(display, Checked(euros_));
  }
}

void TWEtaModBalances::CmEuros() {
  fromStatic_->SetText("");
  toStatic_->SetText("");
}

int TWEtaModBalances::Check() {
  // One digit of Act code is refused, even when closing.
  if (Trimmed(act_->GetText()).size() == 1) {
    Refuse(act_, true);
    return kCheckInvalid;
  }
  if (NoCheckFlag) return kCheckClose;
  if (!CheckList(true) || !CheckAccount(false, true) || !CheckAccount(true, true) || !CheckDateFrom(true) ||
      !CheckDateTo(true))
    return kCheckInvalid;
  return kCheckClose;
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
