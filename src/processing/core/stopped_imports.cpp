#include "processing/core/stopped_imports.h"

#include <optional>

#include "data/dossier_files.h"
#include "data/engine_files.h"
#include "data/entry_lines.h"
#include "data/error_report.h"
#include "data/session.h"
#include "data/table.h"
#include "data/table_results.h"
#include "platform/system/files.h"
#include "processing/core/matching_lines.h"
#include "resources/string_table.h"
#include "runtime/text.h"

namespace processing {

namespace {

constexpr int kMsgImportElsewhere = 29760;   // another station's import at work
constexpr int kMsgWriteRefused = 29774;      // a write refused before anything was imported
constexpr int kMsgStatementKept = 30102;     // a stopped statement run: its whole pieces kept
constexpr int kMsgStatementNothing = 30113;  // a stopped statement run that wrote no whole piece
constexpr int kMsgStatementMissing = 30103;  // its transactions taken back, to import again
constexpr int kMsgCutPieces = 30104;         // pieces cut short, their lines cancelled
constexpr int kMsgFileKept = 30105;          // a stopped ASCII run: its whole pieces kept
constexpr int kMsgFileNothing = 30114;       // a stopped ASCII run that wrote no whole piece
constexpr int kMsgFileMissing = 30106;       // its pieces not written, for the file added again
constexpr int kMsgOtherRunStopped = 30109;   // another kind of run stopped: the dossier to open again
constexpr int kMsgIndexToRebuild = 30116;    // a stopped import's index update not to be made again now
// The opening's finish refused: a write, the hold of another station's import, the tables.
constexpr int kMsgFinishRefused = 30110;
constexpr int kMsgImportAtWork = 30111;
constexpr int kMsgFinishNoTables = 30115;

// The index of the tables an import reads and writes that an update cut short left out of date:
// made again now through the import's own cursors, as their next write would; its index file
// when that cannot be (another cursor has its table open), "" when every one holds.
std::string InterruptedIndex(const std::vector<const Table*>& tables) {
  for (const Table* table : tables) {
    bool repaired = false;
    if (table != nullptr && table->isOpen && RepairInterruptedIndex(*table, &repaired) == kResultIndexOutOfDate) {
      const std::string data = table->tablePath;
      return data.size() > 4 ? data.substr(0, data.size() - 4) + ".mdx" : data;
    }
  }
  return "";
}

bool IsImportRun(const std::string& run) { return run == kOfxImportRun || run == kAsciiImportRun; }

std::string Count(long n) { return std::to_string(n); }

std::string CutText(long pieces, long lines) {
  return pieces > 0 ? FillPlaceholders(LoadStr(kMsgCutPieces), {Count(pieces), Count(lines)}) : std::string();
}

}  // namespace

bool FinishStoppedImports(Table& c10, Table& c50, Table& c60, StoppedImports* done, std::string* refusal,
                          MaintenanceProgress* progress) {
  if (!PutStoppedStatementRunsInOrder(c10, c50, c60, &done->statements, refusal, progress)) return false;
  // Every statement run is closed in the log: its totals journal is read no more.
  RemoveRunTotals(OfxRunTotalsPath());
  return PutStoppedAsciiRunInOrder(c10, c50, c60, &done->files, refusal, progress);
}

std::string StoppedImportsText(const StoppedImports& done) {
  std::string text;
  for (const StoppedStatementRun& run : done.statements) {
    if (run.kept > 0) {
      text += FillPlaceholders(LoadStr(kMsgStatementKept), {run.file, Count(run.kept), run.journal});
      if (run.dropped > 0) text += FillPlaceholder(LoadStr(kMsgStatementMissing), Count(run.dropped));
    } else {
      text += FillPlaceholders(LoadStr(kMsgStatementNothing), {run.file, run.journal});
    }
    text += CutText(run.cutPieces, run.cutLines);
  }
  for (const StoppedAsciiRun& run : done.files) {
    if (run.kept > 0) {
      text += FillPlaceholders(LoadStr(kMsgFileKept), {run.file, Count(run.kept)});
      if (run.notWritten > 0) text += FillPlaceholder(LoadStr(kMsgFileMissing), Count(run.notWritten));
    } else {
      text += FillPlaceholder(LoadStr(kMsgFileNothing), run.file);
    }
    text += CutText(run.cutPieces, run.cutLines);
  }
  return text;
}

ImportRunGuard::ImportRunGuard(Table& c10, Table& c50, Table& c60, const std::string& run, const std::string& title) {
  // Always in this order, so that two imports wait for each other rather than each hold one.
  ofx_ = std::make_unique<ImportHold>(OfxImportLockPath());
  if (!ofx_->held()) {
    message_ = ofx_->message();
    return;
  }
  ascii_ = std::make_unique<ImportHold>(AsciiImportLockPath());
  if (!ascii_->held()) {
    message_ = ascii_->message();
    return;
  }
  permit_ = std::make_unique<BooksWritePermit>(run, BooksScope::OpenDossier());
  DossierRunInfo stopped;
  const bool marked = ReadDossierRunMarker(&stopped);
  if (marked) {
    if (DossierRunMarkerLive()) {
      message_ = LoadStr(kMsgImportElsewhere);
      return;
    }
    // A run of another kind is settled by the opening, which can have the dossier alone.
    if (!IsImportRun(stopped.run)) {
      message_ = FillPlaceholder(LoadStr(kMsgOtherRunStopped), stopped.title);
      return;
    }
    // The stopped import may have been killed inside an index update: the pieces are looked for
    // through indexes that hold every record, or not at all.
    const std::string index = InterruptedIndex({&c10, TableC20, &c50, &c60});
    if (!index.empty()) {
      message_ = FillPlaceholder(LoadStr(kMsgIndexToRebuild), index);
      return;
    }
    StoppedImports done;
    std::string refusal;
    if (!FinishStoppedImports(c10, c50, c60, &done, &refusal)) {
      message_ = StoppedRunMessage(refusal);
      return;
    }
    said_ = StoppedImportsText(done);
  }
  // Written over the stopped import's marker: its books are in order.
  RefusalWatch refusal;
  {
    std::optional<DossierRunMarkerTakeOver> settled;
    if (marked) settled.emplace();  // only a stopped import's marker is left standing here
    marker_ = std::make_unique<DossierRunMarker>(BooksReading{}, run, title);
  }
  if (!marker_->written()) {
    // Another run's marker put there since it was read is that run's.
    if (DossierRunMarkerRefusedForAnotherRun(marker_->path())) {
      message_ = said_ + DossierRunMarkerRefusal(marker_->path());
      marker_.reset();
      return;
    }
    RefusalWatch::NoteFileRefused(marker_->path());
    message_ = said_ + FillPlaceholder(LoadStr(kMsgWriteRefused), refusal.Text());
    marker_.reset();
    return;
  }
  ok_ = true;
}

ImportRunGuard::~ImportRunGuard() {
  // The marker goes while both holds are still taken: no other station's import finds it.
  marker_.reset();
  permit_.reset();
  ascii_.reset();
  ofx_.reset();
}

void ImportRunGuard::Keep() {
  if (marker_ != nullptr) marker_->Keep();
}

DossierRunFinish FinishInterruptedImport(const DossierRunInfo& run) { return TakeUpInterruptedImport(run, nullptr); }

DossierRunFinish TakeUpInterruptedImport(const DossierRunInfo& run, MaintenanceProgress* progress) {
  // The opening says what the finish did or why it was refused in one box of its own.
  RefusalWatch engineBoxes(RefusalWatch::EngineBoxes::kHeld);
  DossierRunFinish out;
  Table c50, c60;
  if (TableC10 == nullptr || TableC20 == nullptr || !TableC10->UseShared(PathC10(), "C10CODE") ||
      !TableC20->UseShared(PathC20(), "C20CODE") || !c50.OpenShared(PathC50(), LigneEcriture::kCodeTag) ||
      !c60.OpenShared(PathC60(), kC60CodeTag)) {
    out.said = LoadStr(kMsgFinishNoTables);
    return out;
  }
  const ImportHold ofx(OfxImportLockPath());
  if (!ofx.held()) {
    out.said = FillPlaceholder(LoadStr(kMsgImportAtWork), OfxImportLockPath());
    return out;
  }
  const ImportHold ascii(AsciiImportLockPath());
  if (!ascii.held()) {
    out.said = FillPlaceholder(LoadStr(kMsgImportAtWork), AsciiImportLockPath());
    return out;
  }
  // The stopped import's run, under the imports' holds.
  const BooksWritePermit permit(run.run, BooksScope::OpenDossier());
  // Put in order meanwhile by another station's opening or import.
  if (!DossierRunMarkerExists()) {
    out.done = true;
    return out;
  }
  if (DossierRunMarkerLive()) {
    out.said = FillPlaceholder(LoadStr(kMsgImportAtWork), DossierRunMarkerPath());
    return out;
  }
  StoppedImports done;
  std::string refusal;
  if (!FinishStoppedImports(*TableC10, c50, c60, &done, &refusal, progress)) {
    out.said = FillPlaceholder(LoadStr(kMsgFinishRefused), refusal);
    return out;
  }
  // The books are in order whether or not the marker goes: one left is put in order again,
  // which finds nothing more to do.
  RemoveDossierRunMarker();
  out.done = true;
  out.said = StoppedImportsText(done);
  return out;
}

}  // namespace processing
