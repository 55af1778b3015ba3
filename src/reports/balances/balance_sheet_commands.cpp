#include "reports/balances/balance_sheet_commands.h"

#include "reports/balances/balance_sheet_edition_window.h"

#include <array>

#include "controls/mcontrols.h"
#include "controls/medit.h"
#include "data/collective_account.h"
#include "data/dossier_files.h"
#include "data/dossier_lock.h"
#include "data/entry_lines.h"
#include "data/error_report.h"
#include "data/session.h"
#include "data/table.h"
#include "dossier/core/dossier_run_marker_copies.h"
#include "platform/gui/application.h"
#include "platform/gui/constants.h"
#include "platform/gui/messagebox.h"
#include "reports/balances/core/balance_sheet_init.h"
#include "reports/balances/core/balance_sheet_model.h"
#include "resources/command_ids.h"
#include "resources/string_table.h"
#include "runtime/dates.h"
#include "runtime/dossier_record.h"
#include "runtime/inifiles.h"
#include "runtime/numbers.h"
#include "runtime/runtime_hooks.h"
#include "runtime/session_registry.h"
#include "runtime/text.h"
#include "runtime/xbase.h"
#include "shell/handlers.h"
#include "shell/mdi_client.h"

using namespace balances;

namespace {

constexpr int kOpenContext = 85;
// The head of the box of a computation refused: the general balance unbalanced, or an incident.
constexpr int kMsgUnbalanced = 1690;
constexpr int kMsgIncident = 36510;
// The initialisation: its caption (the dossier's code after it), its question when no balance sheet was
// initialised yet (%s: the model) and when one was (%s: the model in place, the new model).
constexpr int kCaptionInitialisation = 1674;
constexpr int kMsgInitialiseFirst = 32800;
constexpr int kMsgInitialiseAgain = 1676;
// The computation: its caption (the dossier's code after it), the model not initialised, the title
// (%s: the model, the currency), the period refused (%s: the year's start and end), its steps.
constexpr int kCaptionComputation = 1699;
constexpr int kMsgNotInitialised = 1706;
constexpr int kTitleModelInCurrency = 2281;
constexpr int kEuros = 2277;
constexpr int kFrancs = 2278;
constexpr int kMsgOnlyBetween = 23522;
constexpr int kMsgDatesOutOfOrder = 23524;
constexpr int kMsgConfirmComputation = 1694;
constexpr int kStatusCancelPrevious = 1686;
constexpr int kStatusComputation = 1691;
constexpr int kStatusTotals = 1700;
// The count of errors (%s: the count, the accounts), or none; the end of the run, with the errors noted.
constexpr int kLabelNoError = 1692;
constexpr int kLabelErrors = 1693;
constexpr int kMsgDone = 1695;
constexpr int kMsgDoneWithErrors = 1696;
constexpr int kMsgDoneWithError = 1697;
// The marks of a collective in the list of collectives: "/" before its letter, "\" before its account.
constexpr int kCollectiveMark = 1005;
constexpr int kCollectiveAccountMark = 58;

// Every exit after the dossier was taken: the tables closed, the dossier shared again, and
// examined again before the next command.
void GiveDossierBack() {
  SetDossierState('2');
  CloseAllTables();
  ReleaseDossierExclusive();
}

// The dossier taken alone with its child windows closed; false (nothing held) otherwise.
bool TakeDossier() {
  if (CommandWindow != nullptr && !CommandWindow->CloseChildren()) return false;
  CloseAllTables();
  return OpenDossierExclusive(true);
}

bool OpenOrReport(Table& table, const char* path, const char* tag) {
  if (table.OpenExclusive(path, tag)) return true;
  ReportDbError(table, kOpenContext, path);
  return false;
}

bool EuroShown() { return TheDossierRecord.At(DossierRecord::kEuroMainPos) != 'N'; }

}  // namespace

// ---- EtaBilanInitialisation -------------------------------------------------------------------------------

// Core: InitialiseBalanceSheet.
void CmEtaBilanInitialisation() {
  gui::Window* parent = CommandWindow;
  if (!TakeDossier()) return;
  SetDossierState('1');
  const std::string caption = std::string(LoadStr(kCaptionInitialisation)) + DossierCode;
  if (!OpenOrReport(*TableC10, PathC10(), "C10CODE") || !OpenOrReport(*TableC70, PathC70(), "C70CODE")) {
    GiveDossierBack();
    return;
  }
  const char current = ModelLetterOfType(HeaderType(*TableC70));
  const char letter = ModelLetter(TheDossierRecord.Constant(4));
  if (letter == ' ') {
    GiveDossierBack();
    return;
  }
  const std::string question =
      current == ' '
          ? FillPlaceholder(LoadStr(kMsgInitialiseFirst), ModelLabel(letter, false))
          : FillPlaceholders(LoadStr(kMsgInitialiseAgain), {ModelLabel(current, true), ModelLabel(letter, true)});
  RuntimeBeep();
  if (gui::MessageBox(parent, question, caption, gui::MB_YESNO | gui::MB_ICONQUESTION) != gui::IDYES) {
    GiveDossierBack();
    return;
  }
  const InitOutcome outcome = InitialiseBalanceSheet(*TableC10, *TableC70, ProgramFolder, letter);
  gui::MessageBox(parent, InitOutcomeMessage(outcome, letter), caption,
                  gui::MB_OK | (outcome == InitOutcome::kDone ? gui::MB_ICONINFORMATION : gui::MB_ICONSTOP));
  GiveDossierBack();
}

// ---- EtaBilanCalcul -------------------------------------------------------------------------------

TDEtaBilanCalcul::TDEtaBilanCalcul(gui::Window* parent) : TDNuv(parent, kResource, true) {
  CurrentHelpContext = 57;
  yearStart_ = TheDossierRecord.DateStored(DossierRecord::DateField::YearStart);
  yearEnd_ = TheDossierRecord.DateStored(DossierRecord::DateField::YearEnd);
  title_ = new MRStatic(kOnTemplate, this, kTitle);
  start_ = new MEdit(kOnTemplate, this, kStart, 9, 1, true, MEdit::kDate, 0);
  end_ = new MEdit(kOnTemplate, this, kEnd, 9, 1, true, MEdit::kDate, 0);
  general_ = new MStatic(kOnTemplate, this, kGeneral);
  result_ = new MStatic(kOnTemplate, this, kResult);
  errors_ = new MStatic(kOnTemplate, this, kErrors);
  status_ = new MEStatic(kOnTemplate, this, kStatus);
  new MButton(kOnTemplate, this, gui::IDOK);
  new MButton(kOnTemplate, this, gui::IDCANCEL);
}

bool TDEtaBilanCalcul::CheckModel(std::string& label) {
  if (!TableC70->isOpen || TableC70->RecCount() == 0) return false;
  const char type = HeaderType(*TableC70);
  const char letter = ModelLetterOfType(type);
  if (letter == ' ' || letter != ModelLetter(TheDossierRecord.Constant(4))) return false;
  label = ModelLabel(letter, true);
  return true;
}

void TDEtaBilanCalcul::SetupWindow() {
  TDNuv::SetupWindow();
  start_->SetValue(TheDossierRecord.DateDisplay(DossierRecord::DateField::YearStart), true);
  end_->SetValue(TheDossierRecord.DateDisplay(DossierRecord::DateField::YearEnd), true);
  end_->SetValue(TheDossierRecord.DateDisplay(DossierRecord::DateField::Working), false);
  std::string label;
  if (!CheckModel(label)) {
    refused_ = true;
    RuntimeBeep();
    gui::MessageBox(this, LoadStr(kMsgNotInitialised), std::string(LoadStr(kCaptionComputation)) + DossierCode,
                    gui::MB_OK | gui::MB_ICONINFORMATION);
    gui::PostMessage(GetHandle(), gui::WM_CLOSE);
    return;
  }
  LoadCollectives();
  title_->SetText(FillPlaceholders(LoadStr(kTitleModelInCurrency), {label, LoadStr(EuroShown() ? kEuros : kFrancs)}));
  title_->DrawFrame();
  start_->FocusSelect(true);
}

bool TDEtaBilanCalcul::LoadCollectives() {
  collectives_.clear();
  // The collectives as the totals count them, a cancelled one too.
  for (const auto& [letter, account] : CollectiveAccounts(*TableC10))
    if (!account.empty())
      collectives_ += std::string(LoadStr(kCollectiveMark)) + letter + LoadStr(kCollectiveAccountMark) + account;
  return true;
}

void TDEtaBilanCalcul::Fail(const std::string& message, MEdit* focus) {
  RuntimeBeep();
  status_->SetText(message);
  status_->DrawFrame();
  focus->FocusSelect(true);
}

void TDEtaBilanCalcul::CmOk() {
  okPressed_ = true;
  TDNuv::CmOk();
  okPressed_ = false;
}

bool TDEtaBilanCalcul::CanClose() {
  if (!okPressed_) return true;
  status_->SetText("");
  status_->DrawFrame();
  const std::string messageA =
      FillPlaceholders(LoadStr(kMsgOnlyBetween), {TheDossierRecord.DateDisplay(DossierRecord::DateField::YearStart),
                                                  TheDossierRecord.DateDisplay(DossierRecord::DateField::YearEnd)});
  std::array<MEdit*, 2> edits{start_, end_};
  std::array<std::string*, 2> dates{&periodStart_, &periodEnd_};
  for (std::size_t i = 0; i < 2; ++i) {
    const std::string text = AllTrim(edits[i]->GetValueFormatted(false).c_str());
    const bool valid = text.size() == 8 && IsValidDate(text.c_str());
    *dates[i] = valid ? std::string(ConvertDate(text.c_str())) : std::string();
    if (!valid || *dates[i] < yearStart_ || *dates[i] > yearEnd_) {
      Fail(messageA, edits[i]);
      return false;
    }
  }
  if (periodEnd_ < periodStart_) {
    Fail(LoadStr(kMsgDatesOutOfOrder), start_);
    return false;
  }
  if (gui::MessageBox(this, LoadStr(kMsgConfirmComputation), std::string(LoadStr(kCaptionComputation)) + DossierCode,
                      gui::MB_YESNO | gui::MB_ICONQUESTION) != gui::IDYES)
    return false;
  RunComputation();
  return false;
}

void TDEtaBilanCalcul::RunComputation() {
  const std::string caption = std::string(LoadStr(kCaptionComputation)) + DossierCode;
  const SheetRunInput in = DossierSheetInput(ModelLetter(TheDossierRecord.Constant(4)),
                                             {yearStart_, yearEnd_, periodStart_, periodEnd_}, DossierIsEuroOnly());
  status_->SetText(LoadStr(kStatusCancelPrevious));
  status_->DrawFrame();
  // The run reads and writes the tables itself; the dossier stays held alone meanwhile.
  CloseAllTables();
  run_ = RunBalanceSheet(in);
  hasRun_ = true;
  OpenOrReport(*TableC10, PathC10(), "C10CODE");
  OpenOrReport(*TableC70, PathC70(), "C70CODE");
  const std::size_t cur = EuroShown() ? 1 : 0;
  const SheetComputation& c = run_.computation;
  // The lines and accounts counted as zero for an amount that does not read end the box of a run
  // refused before its marker (unbalanced, a box too large); its marker refuses a run that read one,
  // naming them itself, so that no run that wrote has any.
  const std::string unreadable = UnreadableAmountsMessage(run_.unreadable);
  switch (run_.outcome) {
    case RunOutcome::kUnbalanced:
      general_->SetText(GroupedAmount(c.generalBalance[cur]));
      RuntimeBeep();
      gui::MessageBox(this, LoadStr(kMsgUnbalanced) + unreadable, caption, gui::MB_OK | gui::MB_ICONSTOP);
      status_->SetText(LoadStr(kStatusComputation));
      return;
    case RunOutcome::kReadFailed:
      // Amounts that do not read are no incident: the refusal names them alone.
      if (run_.amountsUnread) {
        RuntimeBeep();
        gui::MessageBox(this, "\n\n" + run_.message + "\n\n", caption, gui::MB_OK | gui::MB_ICONSTOP);
        return;
      }
      [[fallthrough]];
    case RunOutcome::kTooLarge:
    case RunOutcome::kWriteFailed:
      RuntimeBeep();
      // The sentence naming a box past what it holds ends without the blank lines of the others.
      gui::MessageBox(this,
                      std::string(LoadStr(kMsgIncident)) + run_.message +
                          (run_.outcome == RunOutcome::kTooLarge ? "\n\n" + unreadable : std::string()),
                      caption, gui::MB_OK | gui::MB_ICONSTOP);
      return;
    case RunOutcome::kDone: break;
  }
  general_->SetText(GroupedAmount(c.generalBalance[cur]));
  result_->SetText(GroupedAmount(c.result[cur]));
  std::string errors;
  if (c.ErrorCount() == 0) {
    errors = LoadStr(kLabelNoError);
  } else {
    std::string accounts;
    for (const std::string& a : c.unassigned) accounts += " " + a;
    for (const std::string& a : c.modelErrors) accounts += " " + a + "(2)";
    errors = FillPlaceholders(LoadStr(kLabelErrors), {std::to_string(c.ErrorCount()), accounts});
  }
  errors_->SetText(errors);
  status_->SetText(LoadStr(kStatusTotals));
  status_->DrawFrame();
  const std::string end =
      LoadStr(c.ErrorCount() == 0 ? kMsgDone : c.ErrorCount() > 1 ? kMsgDoneWithErrors : kMsgDoneWithError);
  gui::MessageBox(this, end, caption, gui::MB_OK | gui::MB_ICONINFORMATION);
}

// Core: RunBalanceSheet.
void CmEtaBilanCalcul() {
  if (!TakeDossier()) return;
  struct Open {
    Table* table;
    std::string path;  // the paths share the layer's buffers: copied
    const char* tag;
  };
  const Open tables[] = {{TableC10, PathC10(), "C10CODE"}, {TableC20, PathC20(), "C20CODE"},
                         {TableC30, PathC30(), "C30CODE"}, {TableC40, PathC40(), "C40CODE"},
                         {TableC50, PathC50(), "C50CODE"}, {TableC60, PathC60(), "C60CODE"},
                         {TableC70, PathC70(), "C70CODE"}};
  for (const Open& t : tables)
    if (!OpenOrReport(*t.table, t.path.c_str(), t.tag)) {
      GiveDossierBack();
      return;
    }
  SetDossierState('1');
  {
    TDEtaBilanCalcul dialog(CommandWindow);
    dialog.Execute(kTaskModal);
  }
  GiveDossierBack();
}

void InstallBalanceSheetCommands() {
  SetCommandWork(command_id::EtaBilanInitialisation, &CmEtaBilanInitialisation);
  SetCommandWork(command_id::EtaBilanCalcul, &CmEtaBilanCalcul);
  SetCommandWork(command_id::EtaBilanEdition, &CmEtaBilanEdition);
  // A computation stopped half-way is put back from its copies at the next opening,
  // asked about as a put-back (not as a run done again).
  SetDossierRunRedo(kBalanceSheetRun, PutBackDossierRunCopies, true);
  // The tool bar's buttons "Edition du Bilan 'Réel Normal'", "'Réel Simplifié'" and "'Autre'".
  SetCommandWork(command_id::EtaBilanReelNormal, &CmEtaBilanEdition);
  SetCommandWork(command_id::EtaBilanReelSimplifie, &CmEtaBilanEdition);
  SetCommandWork(command_id::EtaBilanAutre, &CmEtaBilanEdition);
}
