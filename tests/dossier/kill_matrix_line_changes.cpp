// The changes of lines in the kill and fault matrices, driven through their core functions as the
// entry windows call them, each on a small generated dossier with analytic lines: what they read
// first (the line, the piece, the target), then `arm`, then their writes.
#include <gtest/gtest.h>

#include <map>
#include <utility>

#include "data/dossier_files.h"
#include "data/draft_lines.h"
#include "data/entry_lines.h"
#include "data/line_change_note.h"
#include "data/session.h"
#include "data/table.h"
#include "demo/dossier_demo.h"
#include "entry/core/move_copy.h"
#include "kill_matrix.h"
#include "posting/line_changes.h"
#include "posting/line_save.h"
#include "runtime/text.h"
#include "support/draft_piece.h"

namespace kill_matrix {
namespace {

using L = LigneEcriture;
using T = LigneTri;

void PrepareLines(const std::string& root) {
  MakeDossier(root + "a", "A", 160, [](DemoOptions& o) { o.analyticMode = '2'; });
}

// The program's general file, chart and sections, the draft and the sort file, open shared as the
// entry windows keep them.
bool OpenLines(const std::string& root, Table& c50, Table& c60) {
  return LoadAsOpened(root + "a/", "A") && TableC10->OpenShared(PathC10(), "C10CODE") && ReadC10Texts() &&
         TableC20->OpenShared(PathC20(), "C20CODE") && TableC30->OpenShared(PathC30(), "C30CODE") &&
         c50.OpenShared(PathC50(), L::kCodeTag) && c60.OpenShared(PathC60(), T::kRecordTag);
}

// The first general line of the draft (live, or cancelled) that has analytic lines when `split`.
std::uint32_t FirstLine(Table& c50, bool cancelled, bool split) {
  for (std::uint32_t r = 1; r <= c50.RecCount(); ++r) {
    if (!c50.GoTo(r) || c50.IsDeleted() != cancelled || c50.GetField(L::BCLE)[0] != 'Z') continue;
    if (!split) return r;
    const std::string key = L::AnalyticKey(c50);
    const bool has = c50.SeekNotBelow(L::kAnalyticTag, key.c_str()) &&
                     c50.MatchKey(key.c_str(), L::kAnalyticKeyLength, L::BMOIS, L::BJAL, L::BPIECE, L::BCG, L::BNUM) == 'O';
    c50.SetOrder(L::kCodeTag);
    if (has) return r;
  }
  return 0;
}

// The first piece of the draft with at least two live general lines (journal-month, piece), and
// another journal-month of the draft to move or copy it into.
bool PieceAndTarget(Table& c50, std::pair<std::string, std::string>* piece, std::string* target) {
  std::map<std::pair<std::string, std::string>, int> lines;
  for (bool more = c50.GoTop(L::kCodeTag); more; more = c50.Skip(1))
    if (!c50.IsDeleted() && c50.GetField(L::BCLE)[0] == 'Z')
      ++lines[{std::string(c50.GetField(L::BMOIS)) + c50.GetField(L::BJAL), c50.GetField(L::BPIECE)}];
  for (const auto& [p, n] : lines)
    if (n >= 2) {
      *piece = p;
      break;
    }
  for (const auto& [p, n] : lines)
    if (p.first != piece->first) *target = p.first;
  return !piece->first.empty() && !target->empty();
}

// A bank line saved onto another account with another amount.
bool RunLineSave(const std::string& root, const Arm& arm) {
  Table c50, c60;
  if (!OpenLines(root, c50, c60)) return false;
  const std::uint32_t recno = FirstLine(c50, false, false);
  if (recno == 0 || !c50.GoTo(recno)) return false;
  const posting::LineRecord line = posting::ReadLineRecord(c50);
  posting::SaveRequest r;
  r.key = line.key;
  r.previousAccount = line.account;
  r.values.day = line.day;
  r.values.account = Trimmed(line.account) == "60640000" ? "60610000" : "60640000";
  r.values.labelCode = line.labelCode;
  r.values.label1 = line.label1;
  r.values.euros = line.entry == 'O';
  r.values.sense = line.sense;
  (line.sense == 'D' ? r.values.amounts.debitF : r.values.amounts.creditF) = line.francs + 80.94;
  (line.sense == 'D' ? r.values.amounts.debitE : r.values.amounts.creditE) = line.euros + 12.34;
  r.values.vat = line.vat;
  arm();
  return posting::SaveLineRecord(c50, c60, r).outcome == posting::SaveOutcome::Saved;
}

// A line cancelled with its analytic lines.
bool RunLineCancel(const std::string& root, const Arm& arm) {
  Table c50, c60;
  if (!OpenLines(root, c50, c60)) return false;
  const std::uint32_t recno = FirstLine(c50, false, true);
  if (recno == 0) return false;
  arm();
  return posting::CancelLine(c50, c60, recno, "ligne") == posting::LineChange::Done;
}

// A line cancelled beforehand, reactivated.
void PrepareLineRecall(const std::string& root) {
  PrepareLines(root);
  Table c50, c60;
  const bool cancelled = OpenLines(root, c50, c60) &&
                         posting::CancelLine(c50, c60, FirstLine(c50, false, false), "ligne") == posting::LineChange::Done;
  EXPECT_TRUE(cancelled);
  c50.CloseTable();
  c60.CloseTable();
  CloseAllTables();
  SetDossier("", "");
}
bool RunLineRecall(const std::string& root, const Arm& arm) {
  Table c50, c60;
  if (!OpenLines(root, c50, c60)) return false;
  const std::uint32_t recno = FirstLine(c50, true, false);
  if (recno == 0) return false;
  arm();
  return posting::ReactivateLine(c50, c60, recno, "ligne") == posting::LineChange::Done;
}

// A piece moved, or copied, into another journal-month.
bool RunPiece(const std::string& root, const Arm& arm, bool copy) {
  Table c50, c60;
  if (!OpenLines(root, c50, c60)) return false;
  std::pair<std::string, std::string> piece;
  std::string target;
  if (!PieceAndTarget(c50, &piece, &target)) return false;
  c50.CloseTable();
  c60.CloseTable();
  arm();
  const entry::PieceTarget to = entry::PieceTarget::From(target);
  const entry::PieceResult r =
      copy ? entry::CopyPiece(piece.first, piece.second, to) : entry::MovePiece(piece.first, piece.second, to);
  return r.outcome == entry::PieceOutcome::Done;
}
bool RunPieceMove(const std::string& root, const Arm& arm) { return RunPiece(root, arm, false); }
bool RunPieceCopy(const std::string& root, const Arm& arm) { return RunPiece(root, arm, true); }

// Two lines of a new piece appended to a journal-month of the draft.
bool RunDraftAppend(const std::string& root, const Arm& arm) {
  Table c50, c60;
  if (!OpenLines(root, c50, c60)) return false;
  std::pair<std::string, std::string> piece;
  std::string target;
  if (!PieceAndTarget(c50, &piece, &target)) return false;
  arm();
  return WriteDraftLines(c50, c60, test_support::TwoLinePiece(target)) == DraftWrite::Written;
}

// A run as the entry windows make it, its note let go once it is done, as the program does when it
// leaves the dossier.
template <bool (*run)(const std::string&, const Arm&)>
bool AndLeave(const std::string& root, const Arm& arm) {
  const bool done = run(root, arm);
  CloseLineChangeNote();
  return done;
}

}  // namespace

const std::vector<MatrixRun>& LineChangeRuns() {
  static const std::vector<MatrixRun> runs = {
    {"line_save", "line saved", false, {{"a", "A"}}, PrepareLines, AndLeave<RunLineSave>},
    {"line_cancel", "line cancelled", false, {{"a", "A"}}, PrepareLines, AndLeave<RunLineCancel>},
    {"line_recall", "line reactivated", false, {{"a", "A"}}, PrepareLineRecall, AndLeave<RunLineRecall>},
    {"piece_move", "piece moved", false, {{"a", "A"}}, PrepareLines, AndLeave<RunPieceMove>},
    // A copy stopped half-way and taken back leaves the piece number it took as a gap, as a piece
    // created and left empty does: the journal's and the dossier's counters are not compared.
    {"piece_copy", "piece copied", false, {{"a", "A"}}, PrepareLines, AndLeave<RunPieceCopy>, nullptr,
     {"GZONE1@19:6", "GZONE1@165:6"}},
    {"draft_append", "lines appended to the draft", false, {{"a", "A"}}, PrepareLines, AndLeave<RunDraftAppend>},
  };
  return runs;
}

}  // namespace kill_matrix
