#include "dossier/rebuild_dossier.h"

#include <memory>
#include <string>

#include "data/dossier_files.h"
#include "data/dossier_lock.h"
#include "data/session.h"
#include "dossier/core/dossier_run_marker.h"
#include "dossier/rebuild_indexes.h"
#include "dossier/core/renumber_pieces.h"
#include "framework/dialog_bases.h"
#include "platform/gui/constants.h"
#include "platform/gui/messagebox.h"
#include "runtime/code_helpers.h"
#include "runtime/dossier_record.h"
#include "runtime/logfile.h"
#include "runtime/runtime_hooks.h"
#include "runtime/session_registry.h"
#include "runtime/text.h"
#include "runtime/xbase.h"
#include "resources/command_ids.h"
#include "resources/string_table.h"
#include "shell/handlers.h"
#include "shell/mdi_client.h"

namespace {

// The texts of the rebuild, by their ids in the string table.
constexpr int kCaptionAttention = 52;
constexpr int kCaptionRebuild = 19860;          // the dossier's code
constexpr int kMsgReindexRefused = 34104;       // the table's data file, the cause
constexpr int kNoteBackupFirst = 19861;
constexpr int kNoteRebalanceOn = 19862;
constexpr int kNoteRebalanceOff = 19863;
constexpr int kNoteRemovedToLog = 19864;
constexpr int kNoteOpenDossier = 19865;         // the code, the folder, the first and last day of the year
constexpr int kAskRecalculateFirst = 19869;     // without analytic, then with one and two imputations
constexpr int kAskConfirmFirst = 19872;         // the same for a dossier in euros only
constexpr int kMsgRebuildDone = 19875;
constexpr int kMsgRebuildIncident = 19876;      // the code of the incident
constexpr int kMsgTotalsNotRebuilt = 19877;
constexpr int kMsgTotalsRebuilt = 19878;
constexpr int kMsgOldGeneration = 19879;
constexpr int kLabelRemovedRecords = 19883;     // the records
constexpr int kMsgMarkerKept = 19915;
constexpr int kLogRebuildOk = 22133;            // the records removed
constexpr int kLogRebuildError = 22134;         // the code, the records removed
constexpr int kLogRebuildErrorNoTotals = 32017; // the code, the records removed
constexpr int kMsgUnreadableLeft = 37742;       // the lines, before the run changes anything
constexpr int kMsgNothingChanged = 36505;       // after the total its field cannot hold

RebuildReport& LastReport() {
  static RebuildReport report;
  return report;
}

std::function<void()>& Reopener() {
  static std::function<void()> reopen;
  return reopen;
}

std::string Code() { return RTrim(DossierCode.c_str()); }

std::string Caption() { return FillPlaceholder(LoadStr(kCaptionRebuild), Code()); }

}  // namespace

void ShowReindexFailure(gui::Window* parent, const PackResult& result) {
  RuntimeBeep();
  if (result.outcome == PackOutcome::OldGeneration) {
    gui::MessageBox(parent, LoadStr(kMsgOldGeneration), Caption(), gui::MB_OK | gui::MB_ICONHAND);
    return;
  }
  if (result.outcome == PackOutcome::MarkerFailed) {
    gui::MessageBox(parent, DossierRunMarkerRefusal(result.dataPath), Caption(), gui::MB_OK | gui::MB_ICONHAND);
    return;
  }
  if (result.outcome == PackOutcome::RenumberPending) {
    gui::MessageBox(parent, RenumberPendingMessage(), Caption(), gui::MB_OK | gui::MB_ICONHAND);
    return;
  }
  if (result.outcome == PackOutcome::TableDamaged) {
    gui::MessageBox(parent, DamagedFileMessage(result.dataPath), ReindexErrorCaption(result.table),
                    gui::MB_OK | gui::MB_ICONHAND);
    return;
  }
  // The table named, with the cause when the system refused its change.
  gui::MessageBox(parent,
                  result.refusal.empty() ? result.dataPath
                                         : FillPlaceholders(LoadStr(kMsgReindexRefused), {result.dataPath, result.refusal}),
                  ReindexErrorCaption(result.table), gui::MB_OK | gui::MB_ICONHAND);
}

int RebuildDossier(gui::Window* parent, bool rebalance, bool pack, bool sayUnreadable) {
  RebuildReport& report = LastReport();
  {
    DossierRunProgress progress(parent, Caption(), true);
    // The lines whose amount does not read, named before the run changes anything, with what it
    // leaves as it is.
    report = RunDossierRebuild(rebalance, pack, &progress, [parent, sayUnreadable](const RebuildReport& read) {
      if (read.unreadable.empty() || !sayUnreadable) return;
      RuntimeBeep();
      gui::MessageBox(parent, FillPlaceholder(LoadStr(kMsgUnreadableLeft), UnreadableAmountLinesText(read.unreadable)),
                      UnreadableAmountsCaption(), gui::MB_OK | gui::MB_ICONEXCLAMATION);
    });
  }
  if (report.code == kRebuildTooManyLines) {
    RuntimeBeep();
    gui::MessageBox(parent, TooManyLinesMessage(report.reindex.dataPath), Caption(), gui::MB_OK | gui::MB_ICONHAND);
  }
  if (report.code == kRebuildFirstReindex || report.code == kRebuildSecondReindex ||
      report.code == kRebuildOldGeneration || report.code == kRebuildDamagedTable ||
      report.code == kRebuildRenumberPending || report.code == kRebuildMarkerFailed)
    ShowReindexFailure(parent, report.reindex);
  if (!report.balance.list.empty()) {
    RuntimeBeep();
    gui::MessageBox(parent, report.balance.Message(), Caption(), gui::MB_OK | gui::MB_ICONSTOP);
  }
  const std::string removed = FillPlaceholder(LoadStr(kLabelRemovedRecords), std::to_string(report.removed));
  if (report.code == 0)
    WriteLog(FillPlaceholder(LoadStr(kLogRebuildOk), removed));
  else
    WriteLog(FillPlaceholders(LoadStr(report.totalsRebuilt ? kLogRebuildError : kLogRebuildErrorNoTotals),
                              {std::to_string(report.code), removed}));
  return report.code;
}

const RebuildReport& LastRebuildReport() { return LastReport(); }

std::string RebuildQuestionText(bool euroOnly) {
  const DossierRecord& r = TheDossierRecord;
  std::string text = LoadStr(kNoteBackupFirst);
  text += LoadStr(ConstantIs(27, 'O') ? kNoteRebalanceOn : kNoteRebalanceOff);
  text += LoadStr(kNoteRemovedToLog);
  text += FillPlaceholders(LoadStr(kNoteOpenDossier),
                           {Code(), DossierFolder, r.DateDisplay(DossierRecord::DateField::YearStart),
                            r.DateDisplay(DossierRecord::DateField::YearEnd)});
  const char mode = r.AnalyticMode();
  const int closing = mode == 'N' ? 0 : (mode == '1' ? 1 : 2);
  text += LoadStr((euroOnly ? kAskConfirmFirst : kAskRecalculateFirst) + closing);
  return text;
}

std::string RebuildEndMessage(const RebuildReport& report) {
  if (report.code == 0) return LoadStr(kMsgRebuildDone);
  std::string text = FillPlaceholder(LoadStr(kMsgRebuildIncident), StrInt(report.code, 5));
  // A refused old or damaged dossier was not touched: its box already said why.
  if (report.code != kRebuildOldGeneration && report.code != kRebuildDamagedTable &&
      report.code != kRebuildTooManyLines && report.code != kRebuildRenumberPending &&
      report.code != kRebuildMarkerFailed && report.code != kRebuildTotalsTooLarge)
    text += LoadStr(report.totalsRebuilt ? kMsgTotalsRebuilt : kMsgTotalsNotRebuilt);
  if (!report.refusal.empty()) text += "\n\n" + report.refusal + "\n\n";
  if (report.code == kRebuildTotalsTooLarge) text += LoadStr(kMsgNothingChanged);
  if (report.markerKept) text += LoadStr(kMsgMarkerKept);
  return text;
}

// Core: RunDossierRebuild (through RebuildDossier).
void CmReconstructionDossier() {
  gui::Window* parent = CommandWindow;
  if (CommandWindow != nullptr && !CommandWindow->CloseChildren()) return;
  CloseAllTables();
  if (!OpenDossierExclusive(true)) return;
  RuntimeBeep();

  const bool euroOnly = DossierIsEuroOnly();
  const unsigned style = euroOnly ? (gui::MB_YESNO | gui::MB_ICONQUESTION | gui::MB_DEFBUTTON2)
                                  : (gui::MB_YESNOCANCEL | gui::MB_ICONQUESTION | gui::MB_DEFBUTTON3);
  const int answer = gui::MessageBox(parent, RebuildQuestionText(euroOnly), LoadStr(kCaptionAttention), style);
  const bool stop = euroOnly ? answer != gui::IDYES : (answer != gui::IDYES && answer != gui::IDNO);
  if (stop) {
    ReleaseDossierExclusive();
    return;
  }
  const bool rebalance = !euroOnly && answer == gui::IDYES;

  SetDossierState('1');
  const int code = RebuildDossier(parent, rebalance, true);
  ReleaseDossierExclusive();
  RuntimeBeep();
  gui::MessageBox(parent, RebuildEndMessage(LastReport()), Caption(),
                  gui::MB_OK | (code == 0 ? gui::MB_ICONINFORMATION : gui::MB_ICONSTOP));

  // The dossier is read again from the rebuilt files.
  UseStoredWorkingDate = true;
  SetDossierState('2');
  if (Reopener()) {
    Reopener()();
  } else if (Services().ensureDossierOpen) {
    Services().ensureDossierOpen();
  }
}

void SetRebuildReopener(std::function<void()> reopen) { Reopener() = std::move(reopen); }

void InstallMaintenanceCommands() {
  SetCommandWork(command_id::ReconstructionDossier, &CmReconstructionDossier);
}
