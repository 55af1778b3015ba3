#include "dossier/core/renumber_pieces.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "data/collation.h"
#include "data/dossier_files.h"
#include "data/dossier_lock.h"
#include "data/engine_files.h"
#include "data/entry_lines.h"
#include "data/error_report.h"
#include "data/session.h"
#include "data/table.h"
#include "data/table_results.h"
#include "dossier/core/dossier_run_marker.h"
#include "dossier/core/maintenance_pack.h"
#include "dossier/core/maintenance_rebuild.h"
#include "platform/system/cp1252.h"
#include "platform/system/files.h"
#include "resources/string_table.h"
#include "runtime/code_helpers.h"
#include "runtime/dossier_record.h"
#include "runtime/numbers.h"
#include "runtime/session_registry.h"
#include "runtime/text.h"
#include "runtime/xbase.h"

namespace {

// The texts shown here, by their ids in the string table.
constexpr int kLineRecordCount = 3472;
constexpr int kLineAnalysis = 3473;
constexpr int kTitleRenumberRun = 19884;
constexpr int kPlanFileSuffix = 3471;
constexpr int kMsgRenumberPending = 22196;
constexpr int kMsgWriteRefusedUndone = 32215;
constexpr int kMsgWriteRefusedMarked = 3469;
// The same after a read the system refused: why (the file), then what became of the dossier.
constexpr int kMsgReadRefusedUndone = 34110;
constexpr int kMsgReadRefusedMarked = 34111;
constexpr int kMsgWriteError = 34001;  // an I/O error on a change of a file

// The plan lives in the sort file's fields: TCODE the old piece number, TCG the new one, TPIECE
// blank; TCLE, TFIC and TREC as in a sort record.
constexpr int kTcle = LigneTri::TCLE, kTcode = LigneTri::TCODE, kTfic = LigneTri::TFIC, kTrec = LigneTri::TREC,
              kTpiece = LigneTri::TPIECE, kTcg = LigneTri::TCG;
// Piece number of a closed line (C40) and of a draft line (C50).
constexpr int kC40Piece = LigneEcriture::DPIECE, kC50Piece = LigneEcriture::BPIECE;
// Where the dossier record "0" of C10 keeps the next piece number.
constexpr int kNextPieceField = 4, kNextPieceOffset = 165, kNextPieceWidth = 6;
// Plan records are written to C60 in batches of this many.
constexpr std::uint32_t kBatch = 8192;

const char kDistribution[] = "Ventil";

bool IsDistribution(const std::string& piece) { return piece.compare(0, 6, kDistribution) == 0; }

std::string Field(Table& t, int field) {
  const char* v = t.GetField(field);
  return v == nullptr ? std::string() : std::string(v);
}

std::string Count6(long n) { return std::string(FormatNumber(6, 0, false, static_cast<double>(n))); }

// One line of the dossier in the plan: where it is, its piece now and the number it gets.
struct PlanLine {
  bool closed = false;  // C40, else C50
  long rec = 0;         // physical record number in its file
  std::string piece;    // the piece field as read
  std::string planned;  // the new number ("Ventil" for a distribution piece)
  bool deleted = false;
};

// The MaintenanceProgress of the sort-file refill, shown through the run's observer.
class RefillProgress : public MaintenanceProgress {
 public:
  explicit RefillProgress(RenumberObserver* obs) : obs_(obs) {}
  void SetLine(const std::string& text) override { obs_->SetLine(text); }
  void SetLine2(const std::string& text) override { obs_->SetLine2(text); }
  void Step() override { obs_->Step(); }

 private:
  RenumberObserver* obs_;
};

class Run {
 public:
  explicit Run(RenumberObserver* observer) : obs_(observer ? observer : &quiet_) {}

  RenumberResult Go();

 private:
  // Opens the table alone; a failure is recorded in the result.
  bool OpenOrFail(Table* t, const char* path, const char* tag = "");
  bool ReadPlanFile(long* pieces);
  bool LoadPlan();
  bool WritePlanFile(long pieces);
  void ReadLines();
  bool Analyse(long* pieces);
  bool WritePlan();
  // False when StopNow asked to stop or a line could not be written.
  bool WriteBack();
  bool Refill();
  // The write of `file` refused (`result` the engine's code, or a full disk said by `full`).
  void Refused(const std::string& file, int result, bool full = false);
  // True when a read was refused since the run began: what it read is short of the tables, and
  // the run stops as after a refused write (`changed`: the lines or the sort file began to change).
  bool ReadShort(bool changed);
  // A write refused before any line changed: the sort file is filled again from the lines.
  // When that fails too, the marker stays for the opening.
  RenumberResult PutBack(DossierRunMarker& marker);
  bool WriteNextNumber(long next);
  void CloseAll() { CloseAllTables(); }
  // Shows the path and the record count of a table walked record by record; returns the count.
  long ShowCount(Table& t, const std::string& path);

  RenumberObserver quiet_;
  RenumberObserver* obs_;
  RenumberResult r_;
  // The write the system refused first, named by the run's message in its own box alone.
  RefusalWatch refusal_{RefusalWatch::EngineBoxes::kHeld};
  std::vector<PlanLine> plan_;
};

long Run::ShowCount(Table& t, const std::string& path) {
  const long count = static_cast<long>(t.RecCount());
  obs_->SetLine(path);
  obs_->SetLine2(Count6(count) + LoadStr(kLineRecordCount));
  return count;
}

bool Run::OpenOrFail(Table* t, const char* path, const char* tag) {
  std::string p = path;
  if (t->OpenExclusive(p, tag)) return true;
  // A table whose header the disk could not read is not one another station holds.
  if (!ReadShort(false)) {
    r_.outcome = RenumberOutcome::TableFailed;
    r_.failedTable = p;
  }
  t->CloseTable(true);
  return false;
}

bool Run::ReadPlanFile(long* pieces) {
  std::ifstream in(platform::DiskPath(RenumberPlanPath()));
  if (!in) return false;
  long n = -1;
  in >> n;
  if (!in || n < 0 || n > kMaxPieceNumber) n = -1;
  *pieces = n;
  return true;
}

// The plan file is written whole (and flushed to disk) under another name and then
// renamed, so it either exists complete or not at all.
bool Run::WritePlanFile(long pieces) {
  return platform::WriteFileAtomic(RenumberPlanPath(), std::to_string(pieces) + "\n");
}

// The plan of a stopped run, read back from C60. It is only finished when C60 still holds it
// and every line carries either its old or its new number: after another run has rebuilt C60
// (the dossier rebuild), the plan file is stale.
bool Run::LoadPlan() {
  Table& c60 = *TableC60;
  plan_.clear();
  const long count = static_cast<long>(c60.RecCount());
  for (long rec = 1; rec <= count; ++rec) {
    if (!c60.GoToRecord(rec).IsFound()) return false;
    obs_->Step();
    PlanLine line;
    line.piece = Field(c60, kTcode);
    line.planned = Field(c60, kTcg);
    const std::string file = Field(c60, kTfic);
    if (Field(c60, kTcle) != "Z" || !IsBlank(Field(c60, kTpiece)) || (file != "C" && file != "B")) return false;
    line.closed = file == "C";
    line.rec = static_cast<long>(Val(Field(c60, kTrec).c_str()));
    const Lookup live = LiveOrSaid(c60);
    if (live.IsRefused()) return false;
    line.deleted = live.IsNotFound();
    if (IsDistribution(line.piece)) {
      plan_.push_back(line);
      continue;
    }
    const std::string& planned = line.planned;
    if (planned.size() < 8 || planned.compare(6, 2, "  ") != 0) return false;
    for (int i = 0; i < 6; ++i)
      if (planned[i] < '0' || planned[i] > '9') return false;
    line.planned = planned.substr(0, 6);
    Table& lines = line.closed ? *TableC40 : *TableC50;
    // A line not read cannot confirm the plan: it is not taken up.
    const Lookup at = line.rec > 0 ? lines.GoToRecord(line.rec) : Lookup::NotFound();
    if (at.IsRefused()) return false;
    if (at.IsFound()) {
      const std::string piece = Field(lines, line.closed ? kC40Piece : kC50Piece);
      if (piece != line.piece.substr(0, 6) && piece != line.planned) return false;
    }
    plan_.push_back(line);
  }
  return true;
}

// Pass 1: every line of C40 and C50 with its current piece, in physical order.
void Run::ReadLines() {
  plan_.clear();
  for (bool closed : {true, false}) {
    Table& t = closed ? *TableC40 : *TableC50;
    const long count = ShowCount(t, t.tablePath);
    for (long rec = 1; rec <= count; ++rec) {
      // A record not read stops the walk; the run's watch of refused reads stops the run with it.
      if (!t.GoToRecord(rec).FoundOrNone()) break;
      obs_->Step();
      PlanLine line;
      line.closed = closed;
      line.rec = rec;
      line.piece = Field(t, closed ? kC40Piece : kC50Piece);
      // A mark not read stops the walk as a record not read does.
      const Lookup live = LiveOrSaid(t);
      if (live.IsRefused()) break;
      line.deleted = live.IsNotFound();
      plan_.push_back(std::move(line));
    }
  }
}

// In the order of the current numbers as the sort file's code tag orders them (the engine's
// weights, cancelled lines too), every distinct piece text takes the next number; lines of
// one text share it wherever they stand.
bool Run::Analyse(long* pieces) {
  obs_->SetLine(PathC60());
  obs_->SetLine2(LoadStr(kLineAnalysis));
  std::vector<const std::string*> texts;
  {
    std::set<std::string> distinct;
    for (const PlanLine& l : plan_) distinct.insert(l.piece);
    texts.reserve(distinct.size());
    std::vector<std::string> sorted(distinct.begin(), distinct.end());
    std::sort(sorted.begin(), sorted.end(), [](const std::string& a, const std::string& b) {
      return CompareWeighted(a, b) < 0;
    });
    std::map<std::string, long> numbers;  // trimmed text -> number
    long counter = 0;
    std::map<std::string, std::string> planned;  // piece text -> new number
    for (const std::string& text : sorted) {
      if (IsDistribution(text)) {
        planned[text] = kDistribution;
        continue;
      }
      auto found = numbers.emplace(Trimmed(text), counter + 1);
      if (found.second) ++counter;
      if (counter > kMaxPieceNumber) {
        *pieces = counter;
        return false;
      }
      planned[text] = StrZero(found.first->second, 0);
    }
    *pieces = counter;
    for (PlanLine& l : plan_) l.planned = planned[l.piece];
  }
  return true;
}

// The plan into C60 (its index dropped, records written in batches): one record per line with
// its file, record number, old number and new number; cancelled lines give cancelled records.
bool Run::WritePlan() {
  Table& c60 = *TableC60;
  const std::string path = PathC60();
  obs_->SetLine(path);
  obs_->SetLine2("RAZ");
  if (!OpenOrFail(&c60, path.c_str())) return false;
  const bool emptied = c60.Zap();
  const int zapResult = c60.result;
  c60.CloseTable(true);
  if (!emptied) {
    Refused(path + ".dbf", zapResult);
    return false;
  }
  if (!DropProductionIndex(path)) {
    Refused(path + ".mdx", 0, platform::FailedForWantOfRoom());
    return false;
  }
  if (!OpenOrFail(&c60, path.c_str())) return false;
  for (const PlanLine& l : plan_) {
    c60.AppendBlank();
    c60.PutField(kTcle, "Z");
    c60.PutField(kTcode, l.piece.c_str());
    c60.PutField(kTfic, l.closed ? "C" : "B");
    c60.PutField(kTrec, StrZero(l.rec, 0));
    c60.PutField(kTcg, l.planned.c_str());
    c60.QueueRecord(l.deleted);
    if (c60.QueuedCount() == kBatch && !c60.AppendQueued()) break;
  }
  if (!c60.AppendQueued() || static_cast<std::size_t>(c60.RecCount()) != plan_.size()) {
    Refused(path + ".dbf", c60.result);
    return false;
  }
  c60.CloseTable(true);
  return true;
}

// The plan onto the lines.
bool Run::WriteBack() {
  obs_->SetLine(PathC60());
  obs_->SetLine2(Count6(static_cast<long>(plan_.size())) + LoadStr(kLineRecordCount));
  for (const PlanLine& l : plan_) {
    obs_->Step();
    const std::string planned = l.planned.substr(0, 6);
    if (IsDistribution(l.piece) || IsBlank(planned)) continue;
    Table& line = l.closed ? *TableC40 : *TableC50;
    const Lookup at = l.rec > 0 ? line.GoToRecord(l.rec) : Lookup::NotFound();
    // A line not read is no line gone: the run stops as after a refused write.
    if (at.IsRefused()) {
      Refused(line.tablePath, at.result());
      return false;
    }
    if (at.IsNotFound()) {
      ++r_.unreachable;
      continue;
    }
    const int field = l.closed ? kC40Piece : kC50Piece;
    if (Field(line, field) == planned) continue;
    // A line left on its old number could share it with another piece: the run stops with
    // its plan kept, so that the next run finishes it.
    if (!line.PutField(field, planned.c_str())) {
      Refused(line.tablePath, line.result);
      return false;
    }
    ++r_.linesWritten;
    if (obs_->StopNow()) return false;
  }
  return true;
}

// C60 filled again from the lines as the rebuild fills it, so it is an ordinary sort file.
bool Run::Refill() {
  CloseAll();
  RefillProgress progress(obs_);
  TotalsWriteFault fault;
  const int code = RefillSortFile(&progress, &fault);
  if (code == 0) return true;
  if (fault.failed()) {
    Refused(fault.file, fault.result);
    return false;
  }
  r_.outcome = RenumberOutcome::TableFailed;
  r_.failedTable = code == kRebuildRefillC40 ? PathC40() : (code == kRebuildRefillC50 ? PathC50() : PathC60());
  return false;
}

void Run::Refused(const std::string& file, int result, bool full) {
  r_.outcome = RenumberOutcome::WriteRefused;
  const bool seen = refusal_.RefusedResult() != 0;
  r_.failedTable = platform::ResolvePath(seen ? refusal_.RefusedFile() : file);
  r_.diskFull = seen ? refusal_.RefusedResult() == kResultDiskFull : full || result == kResultDiskFull;
}

bool Run::ReadShort(bool changed) {
  if (!refusal_.ReadRefused()) return false;
  r_.outcome = changed ? RenumberOutcome::WriteRefused : RenumberOutcome::WriteRefusedUndone;
  r_.readRefused = true;
  r_.diskFull = false;
  r_.failedTable = platform::ResolvePath(refusal_.RefusedFile());
  return true;
}

RenumberResult Run::PutBack(DossierRunMarker& marker) {
  const RenumberResult refused = r_;
  if (Refill()) {
    r_ = refused;
    if (r_.outcome == RenumberOutcome::WriteRefused) r_.outcome = RenumberOutcome::WriteRefusedUndone;
  } else {
    marker.Keep();
  }
  CloseAll();
  return r_;
}

// False when the record's write was refused (the run is then run again at the next opening).
bool Run::WriteNextNumber(long next) {
  r_.nextNumber = next;
  Table& c10 = *TableC10;
  if (!OpenOrFail(&c10, PathC10(), "C10CODE")) {
    r_.outcome = RenumberOutcome::Done;  // the lines are done; only the record is missing
    return true;
  }
  const Lookup zero = c10.Find("C10CODE", "0");
  if (zero.IsRefused()) {
    Refused(c10.tablePath, zero.result());
    return false;
  }
  if (zero.IsNotFound() || c10.GetField(1)[0] != '0') return true;
  ReadC10Texts();
  const std::string text = StrZero(next, 0);
  if (!c10.PutFieldPart(kNextPieceField, kNextPieceOffset, kNextPieceWidth, text.c_str())) {
    Refused(c10.tablePath, c10.result);
    return false;
  }
  r_.nextWritten = true;
  TheDossierRecord.SetNextPiece(next);
  return true;
}

RenumberResult Run::Go() {
  CloseAll();
  if (!OpenOrFail(TableC40, PathC40()) || !OpenOrFail(TableC50, PathC50()) ||
      !OpenOrFail(TableC60, PathC60())) {
    CloseAll();
    return r_;
  }
  // Sort records point at their lines through six digits: a larger table is refused first.
  for (Table* t : {TableC40, TableC50}) {
    if (static_cast<long>(t->RecCount()) <= kMaxLineRecords) continue;
    r_.outcome = RenumberOutcome::TooManyLines;
    r_.failedTable = platform::ResolvePath(t->tablePath);
    CloseAll();
    return r_;
  }
  const long lines = static_cast<long>(TableC40->RecCount() + TableC50->RecCount());

  // A plan left by a stopped run is finished first: its C60 still holds
  // every line's new number.
  long planned = -1;
  const bool resuming = ReadPlanFile(&planned);
  obs_->SetTotal((resuming ? 5 : 3) * lines);
  const bool loaded = !resuming || (planned >= 0 && LoadPlan());
  // A plan read short is not stale: the stopped run stays for the next opening to finish.
  if (resuming && ReadShort(true)) {
    CloseAll();
    return r_;
  }
  if (!loaded) {
    // The lines carry old and new numbers mixed and the sort file no longer says which:
    // numbering them again would merge pieces. The plan stays; the backup made before the
    // run is the way back.
    r_.outcome = RenumberOutcome::PlanStale;
    r_.failedTable = RenumberPlanPath();
    CloseAll();
    return r_;
  }
  TableC60->CloseTable(true);

  // From here on the files change: a run stopped half-way is named at the next opening. The
  // renumbering writes piece numbers and fills the sort file again from the lines as they are: it
  // computes no figure from an amount, so one that does not read goes through it unchanged.
  DossierRunMarker marker(BooksReading{}, kRenumberRun, LoadStr(kTitleRenumberRun), "", UnreadAmountsMet::kWorkedOver);
  if (!marker.written()) {
    r_.outcome = RenumberOutcome::MarkerFailed;
    r_.failedTable = marker.path();
    CloseAll();
    return r_;
  }
  if (resuming) {
    r_.resumed = true;
    if (!WriteBack() || ReadShort(true)) {
      if (r_.outcome == RenumberOutcome::WriteRefused) marker.Keep();
      else if (r_.outcome != RenumberOutcome::TableFailed) r_.outcome = RenumberOutcome::Stopped;
      CloseAll();
      return r_;
    }
    platform::RemoveFile(RenumberPlanPath());
  }

  ReadLines();
  if (ReadShort(false)) {
    CloseAll();
    return r_;
  }
  long pieces = 0;
  const bool fits = Analyse(&pieces);
  r_.pieces = pieces;
  if (!fits) {
    // Nothing was written.
    r_.outcome = RenumberOutcome::TooManyPieces;
    CloseAll();
    return r_;
  }
  if (!WritePlan() || ReadShort(false)) return PutBack(marker);
  if (!WritePlanFile(pieces)) {
    // Without the plan file a stop could not be recovered: write nothing.
    Refused(RenumberPlanPath(), 0, platform::FailedForWantOfRoom());
    return PutBack(marker);
  }
  if (!WriteBack() || ReadShort(true)) {
    // A refused write (or a line not read) leaves the lines half renumbered: the marker and the
    // plan stay, and the next opening finishes the plan as after a run killed there.
    if (r_.outcome == RenumberOutcome::WriteRefused) marker.Keep();
    else if (r_.outcome != RenumberOutcome::TableFailed) r_.outcome = RenumberOutcome::Stopped;
    CloseAll();
    return r_;
  }
  // The lines are done: the plan is not needed any more, and C60 becomes a sort file again.
  // From here a failure keeps the marker: the opening runs the renumbering again, which gives
  // the lines the numbers they have and fills C60 and the next number anew.
  platform::RemoveFile(RenumberPlanPath());
  if (!Refill() || ReadShort(true)) {
    marker.Keep();
    CloseAll();
    return r_;
  }
  CloseAll();
  r_.outcome = RenumberOutcome::Done;
  if (!WriteNextNumber(pieces + 1) || ReadShort(true)) marker.Keep();
  CloseAll();
  return r_;
}

}  // namespace

std::string RenumberPlanPath() { return std::string(PathC60()) + LoadStr(kPlanFileSuffix); }

bool RenumberingPending() { return platform::FileExists(platform::ResolvePath(RenumberPlanPath())); }

std::string RenumberPendingMessage() { return LoadStr(kMsgRenumberPending); }

std::string RenumberRefusalMessage(const RenumberResult& result) {
  const bool undone = result.outcome == RenumberOutcome::WriteRefusedUndone;
  if (result.readRefused)
    return FillPlaceholder(LoadStr(undone ? kMsgReadRefusedUndone : kMsgReadRefusedMarked),
                           ReadErrorText(result.failedTable));
  // What the disk said: full, or an error writing to it (a disk lost or read-only).
  const std::string cause =
      "\n\n   " + (result.diskFull ? DiskFullText(result.failedTable) : std::string(LoadStr(kMsgWriteError)));
  return FillPlaceholders(LoadStr(undone ? kMsgWriteRefusedUndone : kMsgWriteRefusedMarked),
                          {result.failedTable, cause});
}

RenumberResult RenumberPieces(RenumberObserver* observer) {
  Run run(observer);
  return run.Go();
}
