#include "reports/balances/balance_sheet_commands.h"

#include "reports/balances/balance_sheet_edition_window.h"

#include <array>

#include "controls/mcontrols.h"
#include "controls/medit.h"
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
#include "runtime/xbase.h"
#include "shell/handlers.h"
#include "shell/mdi_client.h"

using namespace balances;

namespace {

constexpr int kOpenContext = 85;
// The head of the box of a computation refused: the general balance unbalanced, or an incident.
constexpr int kMsgUnbalanced = 1690;
constexpr int kMsgIncident = 1682;

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

std::string Amount(long long cents) { return AllTrim(GroupThousands(17, 2, FromCents(cents))); }

bool EuroShown() { return TheDossierRecord.At(DossierRecord::kEuroMainPos) != 'N'; }

}  // namespace

// ---- EtaBilanInitialisation -------------------------------------------------------------------------------

// Core: InitialiseBalanceSheet.
void CmEtaBilanInitialisation() {
  gui::Window* parent = CommandWindow;
  if (!TakeDossier()) return;
  SetDossierState('1');
  const std::string caption = std::string(LoadStr(1674)) + DossierCode;
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
  std::string question;
  if (current == ' ')
    question = std::string(LoadStr(1675)) + LoadStr(1677) + ModelLabel(letter, false);
  else
    question = std::string(LoadStr(1676)) + ModelLabel(current, true) + LoadStr(1677) + ModelLabel(letter, true);
  question += LoadStr(1678);
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
    gui::MessageBox(this, LoadStr(1706), std::string(LoadStr(1699)) + DossierCode,
                    gui::MB_OK | gui::MB_ICONINFORMATION);
    gui::PostMessage(GetHandle(), gui::WM_CLOSE);
    return;
  }
  LoadCollectives();
  title_->SetText(label + LoadStr(2281) + LoadStr(EuroShown() ? 2277 : 2278));
  title_->DrawFrame();
  start_->FocusSelect(true);
}

bool TDEtaBilanCalcul::LoadCollectives() {
  collectives_.clear();
  ::Table& c10 = *TableC10;
  if (!c10.isOpen || !c10.SeekNotBelow("C10CODE", "B")) return true;
  for (bool on = c10.SkipActive(false); on && c10.GetField(1)[0] == 'B'; on = c10.SkipActive(true)) {
    const std::string account = std::string(c10.GetField(4)).substr(0, 8);
    if (IsBlank(account)) continue;
    collectives_ += std::string(LoadStr(1282)) + c10.GetField(2)[0] + LoadStr(58) + account;
  }
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
  const std::string messageA = std::string(LoadStr(23522)) +
                               TheDossierRecord.DateDisplay(DossierRecord::DateField::YearStart) + LoadStr(23523) +
                               TheDossierRecord.DateDisplay(DossierRecord::DateField::YearEnd);
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
    Fail(LoadStr(23524), start_);
    return false;
  }
  if (gui::MessageBox(this, LoadStr(1694), std::string(LoadStr(1699)) + DossierCode,
                      gui::MB_YESNO | gui::MB_ICONQUESTION) != gui::IDYES)
    return false;
  RunComputation();
  return false;
}

void TDEtaBilanCalcul::RunComputation() {
  const std::string caption = std::string(LoadStr(1699)) + DossierCode;
  const SheetRunInput in = DossierSheetInput(ModelLetter(TheDossierRecord.Constant(4)),
                                             {yearStart_, yearEnd_, periodStart_, periodEnd_}, DossierIsEuroOnly());
  status_->SetText(LoadStr(1686));
  status_->DrawFrame();
  // The run reads and writes the tables itself; the dossier stays held alone meanwhile.
  CloseAllTables();
  run_ = RunBalanceSheet(in);
  hasRun_ = true;
  OpenOrReport(*TableC10, PathC10(), "C10CODE");
  OpenOrReport(*TableC70, PathC70(), "C70CODE");
  const std::size_t cur = EuroShown() ? 1 : 0;
  const SheetComputation& c = run_.computation;
  // The lines and accounts counted as zero for an amount that does not read end the run's box.
  const std::string unreadable = UnreadableAmountsMessage(run_.unreadable);
  switch (run_.outcome) {
    case RunOutcome::kUnbalanced:
      general_->SetText(Amount(c.generalBalance[cur]));
      RuntimeBeep();
      gui::MessageBox(this, LoadStr(kMsgUnbalanced) + unreadable, caption, gui::MB_OK | gui::MB_ICONSTOP);
      status_->SetText(LoadStr(1691));
      return;
    case RunOutcome::kReadFailed:
    case RunOutcome::kWriteFailed:
      RuntimeBeep();
      gui::MessageBox(this, std::string(LoadStr(kMsgIncident)) + run_.message + unreadable, caption,
                      gui::MB_OK | gui::MB_ICONSTOP);
      return;
    case RunOutcome::kDone: break;
  }
  general_->SetText(Amount(c.generalBalance[cur]));
  result_->SetText(Amount(c.result[cur]));
  std::string errors;
  if (c.ErrorCount() == 0) {
    errors = LoadStr(1692);
  } else {
    errors = std::to_string(c.ErrorCount()) + LoadStr(1693) + ":";
    for (const std::string& a : c.unassigned) errors += " " + a;
    for (const std::string& a : c.modelErrors) errors += " " + a + "(2)";
  }
  errors_->SetText(errors);
  status_->SetText(LoadStr(1700));
  status_->DrawFrame();
  std::string end = LoadStr(1695);
  if (c.ErrorCount() > 0) end = std::string("\n\n\n") + LoadStr(c.ErrorCount() > 1 ? 1696 : 1697) + end.substr(3);
  gui::MessageBox(this, end + unreadable, caption,
                  gui::MB_OK | (unreadable.empty() ? gui::MB_ICONINFORMATION : gui::MB_ICONEXCLAMATION));
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
  // A computation stopped half-way is put back from its copies at the next opening.
  SetDossierRunRedo(kBalanceSheetRun, PutBackDossierRunCopies);
  // The tool bar's buttons "Edition du Bilan 'Réel Normal'", "'Réel Simplifié'" and "'Autre'".
  SetCommandWork(command_id::EtaBilanReelNormal, &CmEtaBilanEdition);
  SetCommandWork(command_id::EtaBilanReelSimplifie, &CmEtaBilanEdition);
  SetCommandWork(command_id::EtaBilanAutre, &CmEtaBilanEdition);
}
