// The changes of lines in the kill and fault matrices, driven through their core functions as the
// entry windows call them, each on a small generated dossier with analytic lines: what they read
// first (the line, the piece, the target), then `arm`, then their writes.
#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <map>
#include <utility>
#include <vector>

#include "data/dossier_files.h"
#include "data/draft_lines.h"
#include "data/entry_lines.h"
#include "data/line_change_note.h"
#include "data/session.h"
#include "data/table.h"
#include "demo/dossier_demo.h"
#include "entry/core/analytic_split.h"
#include "entry/core/move_copy.h"
#include "kill_matrix.h"
#include "posting/journal_month.h"
#include "posting/line_changes.h"
#include "posting/line_save.h"
#include "posting/new_lines.h"
#include "processing/core/letters_change.h"
#include "runtime/dates.h"
#include "runtime/numbers.h"
#include "runtime/text.h"
#include "runtime/xbase.h"
#include "support/books_writes.h"
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

// The dossier made, then `change` made in it before the run: what the run starts from.
void PrepareWith(const std::string& root, const std::function<bool(Table& c50, Table& c60)>& change) {
  PrepareLines(root);
  Table c50, c60;
  EXPECT_TRUE(OpenLines(root, c50, c60) && change(c50, c60));
  c50.CloseTable();
  c60.CloseTable();
  CloseAllTables();
  SetDossier("", "");
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

// The live analytic records (headers and lines) of the general line at `recno`, in key order.
std::vector<std::uint32_t> SplitOf(Table& c50, std::uint32_t recno) {
  std::vector<std::uint32_t> split;
  if (!c50.GoTo(recno)) return split;
  const std::string key = L::AnalyticKey(c50);
  for (bool more = c50.SeekNotBelow(L::kAnalyticTag, key.c_str()); more; more = c50.Skip(1)) {
    const char m = c50.MatchKey(key.c_str(), L::kAnalyticKeyLength, L::BMOIS, L::BJAL, L::BPIECE, L::BCG, L::BNUM);
    if (m == 'O' && c50.GetField(L::BCLE)[0] != L::kGeneral) split.push_back(c50.recordNumber);
    else if (m != 'O' && m != 'o') break;
  }
  c50.SetOrder(L::kCodeTag);
  return split;
}

// The first live general line of the draft on `account` (any account when empty) whose split has
// `records` live records (none when 0).
std::uint32_t LineWithSplit(Table& c50, const std::string& account, std::size_t records) {
  for (std::uint32_t r = 1; r <= c50.RecCount(); ++r) {
    if (!c50.GoTo(r) || c50.IsDeleted() || c50.GetField(L::BCLE)[0] != L::kGeneral) continue;
    if (!account.empty() && Trimmed(c50.GetField(L::BCODE)) != account) continue;
    if (SplitOf(c50, r).size() == records) return r;
  }
  return 0;
}

// The first analytic line ("W") of the draft, live or cancelled as asked: its record, 0 for none.
std::uint32_t AnalyticLine(Table& c50, bool cancelled) {
  for (std::uint32_t r = 1; r <= c50.RecCount(); ++r)
    if (c50.GoTo(r) && c50.IsDeleted() == cancelled && c50.GetField(L::BCLE)[0] == 'W') return r;
  return 0;
}

// An analytic line's 30-character C50ANAL key: BMOIS, BJAL, BPIECE, BCG, BNUM, BCLE, BNUMA.
std::string AnalyticLineKey(Table& c50, std::uint32_t recno) {
  std::string key;
  if (c50.GoTo(recno))
    for (int f : {L::BMOIS, L::BJAL, L::BPIECE, L::BCG, L::BNUM, L::BCLE, L::BNUMA}) key += c50.GetField(f);
  return key;
}

// The save of the line at `recno` as the form makes it: onto `account` with `euros` (and `francs`)
// on its sense, its split made for the account it stood on.
posting::SaveRequest SaveOf(Table& c50, std::uint32_t recno, const std::string& account, double francs, double euros) {
  posting::SaveRequest r;
  if (!c50.GoTo(recno)) return r;
  const posting::LineRecord line = posting::ReadLineRecord(c50);
  r.key = line.key;
  r.previousAccount = line.account;
  r.values.day = line.day;
  r.values.account = account;
  r.values.labelCode = line.labelCode;
  r.values.label1 = line.label1;
  r.values.euros = line.entry == 'O';
  r.values.sense = line.sense;
  (line.sense == 'D' ? r.values.amounts.debitF : r.values.amounts.creditF) = francs;
  (line.sense == 'D' ? r.values.amounts.debitE : r.values.amounts.creditE) = euros;
  r.values.vat = line.vat;
  return r;
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

// A line saved onto an account without analytic (62600000) at 42.21 euros: its split of two axes
// (headers, lines and their sort records) goes, and the sections' totals with it. `records`: the
// split's size, 4 (a line on each axis, on 62700000) or 8 (three lines on each).
template <std::size_t records>
bool RunSplitDropped(const std::string& root, const Arm& arm) {
  Table c50, c60;
  if (!OpenLines(root, c50, c60)) return false;
  const std::uint32_t recno = LineWithSplit(c50, records == 4 ? "62700000" : "", records);
  if (recno == 0) return false;
  const posting::SaveRequest r = SaveOf(c50, recno, "62600000", 276.88, 42.21);
  arm();
  const posting::SaveResult saved = posting::SaveLineRecord(c50, c60, r);
  return saved.outcome == posting::SaveOutcome::Saved && saved.analyticRemoved >= static_cast<long>(records);
}

// A line without split saved at zero: cancelled with its sort record, its amounts off its totals.
bool RunZeroSave(const std::string& root, const Arm& arm) {
  Table c50, c60;
  if (!OpenLines(root, c50, c60)) return false;
  const std::uint32_t recno = LineWithSplit(c50, "", 0);
  if (recno == 0 || !c50.GoTo(recno)) return false;
  const posting::SaveRequest r = SaveOf(c50, recno, posting::ReadLineRecord(c50).account, 0, 0);
  arm();
  return posting::SaveLineRecord(c50, c60, r).outcome == posting::SaveOutcome::ZeroLineCancelled;
}

// A split of eight records (three lines on each axis) removed on its own, as the line form removes
// it once the line's account no longer takes analytic.
bool RunSplitRemoved(const std::string& root, const Arm& arm) {
  Table c50, c60;
  if (!OpenLines(root, c50, c60)) return false;
  const std::uint32_t recno = LineWithSplit(c50, "", 8);
  if (recno == 0 || !c50.GoTo(recno)) return false;
  const posting::LineRecord line = posting::ReadLineRecord(c50);
  arm();
  return posting::DeleteLineAnalytic(c50, c60, line.key, line.account, 3) == 8;
}

// The key with which the line form asks for the split of line `recno` on the first axis.
entry::SplitKey SplitKeyOf(Table& c50, std::uint32_t recno) {
  if (recno == 0 || !c50.GoTo(recno)) return {};
  const posting::LineRecord line = posting::ReadLineRecord(c50);
  const long long sign = line.sense == 'D' ? 1 : -1;
  return entry::SplitKey::Of(line.key, line.account, 'V', line.day, line.labelCode, line.label1,
                             sign * ToCents(line.francs), sign * ToCents(line.euros));
}

// The key with which the line form asks for the split of the first axis of the bank line without
// split (51200000).
entry::SplitKey BankLineSplitKey(Table& c50) { return SplitKeyOf(c50, LineWithSplit(c50, "51200000", 0)); }

// The line with a split of eight records whose group holds the number after its own (defined below).
std::uint32_t SplitLineBeforeATakenNumber(Table& c50);

// The tables opened as the analytic lines window keeps them (the draft on C50ANAL), and in *key the
// split's key as `keyOf` finds it: false when a table or the line is missing.
bool OpenSplit(const std::string& root, Table& c50, Table& c60, entry::SplitKey (*keyOf)(Table&), entry::SplitKey* key) {
  if (!OpenLines(root, c50, c60)) return false;
  *key = keyOf(c50);
  c50.SetOrder(L::kAnalyticTag);
  return !Trimmed(key->Text()).empty();
}
// The key of the first axis of the line with a split of eight records before a taken number.
entry::SplitKey EightRecordSplitKey(Table& c50) { return SplitKeyOf(c50, SplitLineBeforeATakenNumber(c50)); }

// The bank line's split opened by the analytic lines window: its header made. The default split
// the window then makes is the run.
void PrepareDefaultSplit(const std::string& root) {
  PrepareWith(root, [](Table& c50, Table& c60) {
    bool created = false;
    return entry::KeepSplitHeader(c50, c60, BankLineSplitKey(c50), &created) == entry::SplitOpening::Opened && created;
  });
}
// The default split 60 % SAV, 40 % COMMERCE made for the bank line.
bool RunDefaultSplit(const std::string& root, const Arm& arm) {
  Table c50, c60;
  entry::SplitKey key;
  if (!OpenSplit(root, c50, c60, BankLineSplitKey, &key)) return false;
  arm();
  long made = 0;
  return entry::MakeDefaultSplit(c50, c60, key, "CA1=SAV %=60\r\nCA1=COMMERCE %=40\r\n", 6.55957, true, nullptr,
                                 &made) == entry::DefaultSplitOutcome::Made &&
         made == 2;
}

// An analytic line saved onto another section with other amounts.
bool RunAnalyticSave(const std::string& root, const Arm& arm) {
  Table c50, c60;
  if (!OpenLines(root, c50, c60)) return false;
  const std::uint32_t recno = AnalyticLine(c50, false);
  if (recno == 0) return false;
  const std::string key = AnalyticLineKey(c50, recno);
  const posting::LineRecord line = posting::ReadLineRecord(c50);
  entry::AnalyticLineValues v;
  v.day = line.day;
  v.section = Trimmed(line.account) == "SAV" ? "BUREAU" : "SAV";
  v.labelCode = line.labelCode;
  v.label = line.label1;
  v.sense = line.sense;
  v.francs = ToCents(line.francs) + 656;
  v.euros = ToCents(line.euros) + 100;
  arm();
  return entry::SaveAnalyticLineRecord(c50, c60, key, v) == entry::AnalyticSaveOutcome::Saved;
}

// An analytic line cancelled, its amounts off its section (`cancel`), or the one cancelled beforehand
// reactivated, its amounts back on it.
template <bool cancel>
bool RunAnalyticMark(const std::string& root, const Arm& arm) {
  Table c50, c60;
  if (!OpenLines(root, c50, c60)) return false;
  const std::uint32_t recno = AnalyticLine(c50, !cancel);
  if (recno == 0) return false;
  arm();
  const posting::LineChange done =
      cancel ? entry::CancelSplitLine(c50, c60, recno, "ligne") : entry::ReactivateSplitLine(c50, c60, recno, "ligne");
  return done == posting::LineChange::Done;
}

// The analytic line cancelled beforehand, for its reactivation.
void PrepareAnalyticRecall(const std::string& root) {
  PrepareWith(root, [](Table& c50, Table& c60) {
    return entry::CancelSplitLine(c50, c60, AnalyticLine(c50, false), "ligne") == posting::LineChange::Done;
  });
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
  PrepareWith(root, [](Table& c50, Table& c60) {
    return posting::CancelLine(c50, c60, FirstLine(c50, false, false), "ligne") == posting::LineChange::Done;
  });
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

// The first live general line with a split of eight records whose group holds the number after its
// own: "Créer Ligne" after it renumbers the group with the split.
std::uint32_t SplitLineBeforeATakenNumber(Table& c50) {
  for (std::uint32_t r = 1; r <= c50.RecCount(); ++r) {
    if (!c50.GoTo(r) || c50.IsDeleted() || c50.GetField(L::BCLE)[0] != L::kGeneral) continue;
    const std::string next = L::Key(c50).substr(0, L::kKeyLength - 4) + StrZero(std::atol(c50.GetField(L::BNUM)) + 1, 4);
    if (SplitOf(c50, r).size() == 8 && c50.Seek(L::kCodeTag, next.c_str()) && L::Key(c50) == next) return r;
  }
  return 0;
}

// "Créer Ligne" after the line with a split of eight records, the next number taken: the group
// renumbered with the split and the sort records, then the new line.
bool RunLineCreated(const std::string& root, const Arm& arm) {
  Table c50, c60;
  if (!OpenLines(root, c50, c60)) return false;
  const std::uint32_t recno = SplitLineBeforeATakenNumber(c50);
  if (recno == 0 || !c50.GoTo(recno)) return false;
  const posting::LineAfter after = posting::LineAfterOf(c50);
  arm();
  const posting::NewLineResult made = posting::CreateLineAfter(c50, c60, after);
  return made.outcome == posting::NewLineOutcome::Created && made.renumbered > 8;
}

// "Créer Pièce" in the journal-month of the first line, its number taken from the counter as the
// lines window takes it.
bool RunPieceCreated(const std::string& root, const Arm& arm) {
  Table c50, c60;
  if (!OpenLines(root, c50, c60) || !c50.GoTo(FirstLine(c50, false, false))) return false;
  const std::string prefix = L::Key(c50).substr(0, L::kJournalMonthKeyLength);
  const posting::PieceNumber number = posting::TakePieceNumber(*TableC10, prefix.substr(5, 3));
  if (number.outcome != posting::NewLineOutcome::Created) return false;
  arm();
  return posting::CreatePieceLine(c50, c60, prefix, StrZero(number.number, 0), '1', 'O').outcome ==
         posting::NewLineOutcome::Created;
}

// The bank line's split opened for the first time: its header made.
bool RunSplitHeader(const std::string& root, const Arm& arm) {
  Table c50, c60;
  entry::SplitKey key;
  if (!OpenSplit(root, c50, c60, BankLineSplitKey, &key)) return false;
  arm();
  // Made, or (tried again after a refusal took it back) the cancelled one reactivated.
  return entry::KeepSplitHeader(c50, c60, key, nullptr) == entry::SplitOpening::Opened;
}

// The line with a split of eight records saved with another day, as the line form saves it; with
// `header`, its split opened again as far as its header, which takes that day.
template <bool header>
void PrepareDayChanged(const std::string& root) {
  PrepareWith(root, [](Table& c50, Table& c60) {
    const std::uint32_t recno = SplitLineBeforeATakenNumber(c50);
    if (recno == 0) return false;
    if (!c50.GoTo(recno)) return false;
    const posting::LineRecord line = posting::ReadLineRecord(c50);
    posting::SaveRequest save = SaveOf(c50, recno, line.account, line.francs, line.euros);
    save.values.day = line.day == "17" ? "18" : "17";
    save.analyticAllowed = true;
    if (posting::SaveLineRecord(c50, c60, save).outcome != posting::SaveOutcome::Saved) return false;
    c50.SetOrder(L::kAnalyticTag);
    return !header || entry::KeepSplitHeader(c50, c60, SplitKeyOf(c50, recno), nullptr) == entry::SplitOpening::Opened;
  });
}
// The split of the line saved with another day opened: its header (`refresh` false) or its lines
// (true) given that day, with their sort records.
template <bool refresh>
bool RunSplitFollowsItsLine(const std::string& root, const Arm& arm) {
  Table c50, c60;
  entry::SplitKey key;
  if (!OpenSplit(root, c50, c60, EightRecordSplitKey, &key)) return false;
  arm();
  if (!refresh) return entry::KeepSplitHeader(c50, c60, key, nullptr) == entry::SplitOpening::Opened;
  std::string refusal;
  return entry::RefreshSplitLines(c50, c60, key, &refusal) >= 3 && refusal.empty();
}

// The first axis of the split of eight records renumbered for a line after its first one.
bool RunSplitRenumbered(const std::string& root, const Arm& arm) {
  Table c50, c60;
  entry::SplitKey key;
  if (!OpenSplit(root, c50, c60, EightRecordSplitKey, &key)) return false;
  arm();
  return entry::RenumberSplitLines(c50, c60, key, 2) == posting::kRenumberStep;
}

// A new blank analytic line after the others of the split's first axis, as its window makes it.
bool RunAnalyticLineCreated(const std::string& root, const Arm& arm) {
  Table c50, c60;
  entry::SplitKey key;
  if (!OpenSplit(root, c50, c60, EightRecordSplitKey, &key)) return false;
  entry::NewSplitLine line;
  line.number = "0009";
  line.day = key.Day();
  line.labelCode = key.LabelCode();
  line.label = key.Label();
  line.sense = key.Sense();
  arm();
  return entry::AppendSplitLine(c50, c60, key, line);
}

// A new blank analytic line after the first line of the split's first axis, whose next number is taken, as
// its window makes it ("Créer Ligne"): the axis renumbered and the line appended, as one change.
bool RunAnalyticLineInserted(const std::string& root, const Arm& arm) {
  Table c50, c60;
  entry::SplitKey key;
  if (!OpenSplit(root, c50, c60, EightRecordSplitKey, &key)) return false;
  entry::NewSplitLine line;
  line.day = key.Day();
  line.labelCode = key.LabelCode();
  line.label = key.Label();
  line.sense = key.Sense();
  arm();
  return entry::CreateSplitLineAfter(c50, c60, key, 1, line) == posting::kRenumberStep + 1;
}

// ---- the letters the user writes: the manual matching's marks and letters, the bank reconciliation's

// The manual matching's sentence of letters refused by a write (its string id).
constexpr int kLettersRefusedText = 37753;

// A dossier with lines in the closed file too: its first months validated.
void PrepareClosedLines(const std::string& root) {
  MakeDossier(root + "a", "A", 160, [](DemoOptions& o) {
    o.analyticMode = '2';
    o.closedMonths = 2;
  });
}

// The same, the first draft line's sort record pointing past the draft's end: the letters' change
// reaches no line from it.
void PrepareUnreachedLine(const std::string& root) {
  PrepareClosedLines(root);
  Table c50, c60;
  EXPECT_TRUE(OpenLines(root, c50, c60));
  {
    const test_support::SetUpPermit permit("enregistrement de tri sans ligne");
    bool made = false;
    for (std::uint32_t r = 1; r <= c60.RecCount() && !made; ++r)
      if (c60.GoTo(r) && !c60.IsDeleted() && c60.GetField(T::TFIC)[0] == T::kDraft)
        made = c60.PutField(T::TREC, StrZero(static_cast<long>(c50.RecCount()) + 100, 0)) && c60.Commit();
    EXPECT_TRUE(made) << "no sort record of a draft line";
  }
  c50.CloseTable();
  c60.CloseTable();
  CloseAllTables();
  SetDossier("", "");
}

// `letter` for the first four live sort records of draft lines and the first four of closed lines.
std::vector<processing::LetterWrite> LettersOfEight(Table& c60, const std::string& letter) {
  std::vector<processing::LetterWrite> writes;
  int draft = 0, closed = 0;
  for (std::uint32_t r = 1; r <= c60.RecCount() && draft + closed < 8; ++r) {
    if (!c60.GoTo(static_cast<long>(r)) || c60.IsDeleted()) continue;
    int& count = c60.GetField(T::TFIC)[0] == T::kDraft ? draft : closed;
    if (count == 4) continue;
    ++count;
    writes.push_back({r, letter});
  }
  return writes;
}

// Letters of currency `currency` (0 francs, 1 euros) saved on four draft and four closed lines, as
// the manual matching (LettersSaved) or the bank reconciliation (LinesReconciled, a line lettered
// meanwhile kept) saves them.
template <LineChangeKind kind, int currency>
bool RunLettersSaved(const std::string& root, const Arm& arm) {
  Table c40, c50, c60;
  if (!OpenLines(root, c50, c60) || !c40.OpenShared(PathC40(), "C40CODE")) return false;
  const std::vector<processing::LetterWrite> writes = LettersOfEight(c60, "AZ");
  if (writes.size() < 8) return false;
  arm();
  const processing::MatchTables t{c40, c50, c60};
  const processing::LettersOutcome out = processing::WriteLetters(t, currency, writes, kind, kLettersRefusedText,
                                                                   kind == LineChangeKind::LinesReconciled);
  return out.done && out.written == writes.size();
}

// The manual matching's working marks put on eight sort records.
bool RunMatchingMarked(const std::string& root, const Arm& arm) {
  Table c50, c60;
  if (!OpenLines(root, c50, c60)) return false;
  const std::vector<processing::LetterWrite> marks = LettersOfEight(c60, "*");
  if (marks.size() < 8) return false;
  arm();
  return processing::WriteMarks(c60, marks);
}

// ---- letters another station writes while a change of letters stands stopped half-way

// The first eight live sort records of lines on the bank account (51200000), draft or closed.
std::vector<std::uint32_t> BankSortRecords(Table& c60) {
  std::vector<std::uint32_t> records;
  for (std::uint32_t r = 1; r <= c60.RecCount() && records.size() < 8; ++r)
    if (c60.GoTo(static_cast<long>(r)) && !c60.IsDeleted() &&
        std::string(c60.GetField(T::TCODE)).compare(0, 8, "51200000") == 0)
      records.push_back(r);
  return records;
}

// `letter` of currency `currency` saved on the bank account's sort records numbered `which` among
// its first eight, as the manual matching (LettersSaved) or the bank reconciliation (LinesReconciled,
// a line lettered since it was read passed over) saves them; `arm` (when given) called before.
// *lines (when given) gets the lines lettered, each named as the opening names a line it leaves (as
// the lines window shows it), one a line.
processing::LettersOutcome LetterBankLines(const std::string& root, const std::vector<std::size_t>& which,
                                           const std::string& letter, int currency, LineChangeKind kind,
                                           const Arm& arm, std::string* lines = nullptr) {
  processing::LettersOutcome refused;
  refused.done = false;
  Table c40, c50, c60;
  if (!OpenLines(root, c50, c60) || !c40.OpenShared(PathC40(), "C40CODE")) return refused;
  const std::vector<std::uint32_t> bank = BankSortRecords(c60);
  if (bank.size() < 8) return refused;
  std::vector<processing::LetterWrite> writes;
  for (const std::size_t i : which) {
    writes.push_back({bank[i], letter});
    if (lines != nullptr && c60.GoTo(static_cast<long>(bank[i]))) {
      const bool closed = c60.GetField(T::TFIC)[0] == T::kClosed;
      Table& line = closed ? c40 : c50;
      if (!line.GoTo(std::atol(c60.GetField(T::TREC)))) return refused;
      auto field = [&](int f) { return Trimmed(line.GetField(closed ? L::ClosedFieldOf(f) : f)); };
      const std::string month = PadRight(line.GetField(closed ? L::ClosedFieldOf(L::BMOIS) : int{L::BMOIS}), 4);
      *lines += "la ligne " + field(L::BNUM) + " de la pi\xE8" "ce " + field(L::BPIECE) + " du journal " +
                field(L::BJAL) + " de " + month.substr(2, 2) + "/" + DecodeYear(month.substr(0, 2).c_str()) +
                " (compte " + field(L::BCODE) + ")" + (closed ? " des \xE9" "critures cl\xF4tur\xE9" "es" : " du brouillard") +
                "\n";
    }
  }
  if (arm) arm();
  const processing::MatchTables t{c40, c50, c60};
  return processing::WriteLetters(t, currency, writes, kind, kLettersRefusedText,
                                  kind == LineChangeKind::LinesReconciled);
}

// A manual lettering of the bank account's first two lines "AZ" in euros; then, the lettering
// stopped, the same two lines lettered "BY" on another station.
bool RunBankLettering(const std::string& root, const Arm& arm) {
  const processing::LettersOutcome out = LetterBankLines(root, {0, 1}, "AZ", 1, LineChangeKind::LettersSaved, arm);
  return out.done && out.written == 2;
}
bool LetterBankLinesElsewhere(const std::string& root, std::string* lines) {
  const bool done = LetterBankLines(root, {0, 1}, "BY", 1, LineChangeKind::LettersSaved, Arm(), lines).done;
  CloseLineChangeNote();
  return done;
}

// The bank account's third line lettered "AZ" in francs on another station after the bank
// reconciliation read its lines; the reconciliation's save of its first eight lines "R1" passes it
// over. Then, the save stopped, its sixth line lettered "BY" on another station.
void PrepareBankReconciliation(const std::string& root) {
  PrepareClosedLines(root);
  EXPECT_TRUE(LetterBankLines(root, {2}, "AZ", 0, LineChangeKind::LettersSaved, Arm()).done);
  CloseLineChangeNote();
  CloseAllTables();
  SetDossier("", "");
}
bool RunBankReconciliation(const std::string& root, const Arm& arm) {
  const processing::LettersOutcome out =
      LetterBankLines(root, {0, 1, 2, 3, 4, 5, 6, 7}, "R1", 0, LineChangeKind::LinesReconciled, arm);
  return out.done && out.written == 7;
}
bool ReconciledLineLetteredElsewhere(const std::string& root, std::string* lines) {
  const bool done = LetterBankLines(root, {5}, "BY", 0, LineChangeKind::LettersSaved, Arm(), lines).done;
  CloseLineChangeNote();
  return done;
}

// How the opening names a draft line it leaves as it stands (as the lines window shows it), or the
// sort record of one, from the current record of `c50` or `c60`.
std::string DraftLineName(Table& c50) {
  auto field = [&](int f) { return Trimmed(c50.GetField(f)); };
  const std::string month = PadRight(c50.GetField(L::BMOIS), 4);
  return "la ligne " + field(L::BNUM) + " de la pi\xE8" "ce " + field(L::BPIECE) + " du journal " + field(L::BJAL) +
         " de " + month.substr(2, 2) + "/" + DecodeYear(month.substr(0, 2).c_str()) + " (compte " + field(L::BCODE) +
         ") du brouillard\n";
}
std::string SortRecordName(Table& c60) {
  auto field = [&](int f) { return Trimmed(c60.GetField(f)); };
  const std::string month = PadRight(c60.GetField(T::TMOIS), 4);
  return "l'enregistrement de tri de la ligne " + field(T::TNUM) + " de la pi\xE8" "ce " + field(T::TPIECE) +
         " du journal " + field(T::TJAL) + " de " + month.substr(2, 2) + "/" + DecodeYear(month.substr(0, 2).c_str()) +
         " (compte " + field(T::TCODE) + ")\n";
}

// The manual matching's marks "+" put on the bank account's first four lines. Then, the marking
// stopped, another station opens the manual matching on the account: the marks standing there are
// blanked as its list opens, and its user marks "+" the third line and the sixth, which the stopped
// change does not name.
bool RunBankMarks(const std::string& root, const Arm& arm) {
  Table c50, c60;
  if (!OpenLines(root, c50, c60)) return false;
  const std::vector<std::uint32_t> bank = BankSortRecords(c60);
  if (bank.size() < 8) return false;
  arm();
  return processing::WriteMarks(c60, {{bank[0], "+"}, {bank[1], "+"}, {bank[2], "+"}, {bank[3], "+"}});
}
bool MarkBankLinesElsewhere(const std::string& root, std::string* lines) {
  Table c50, c60;
  if (!OpenLines(root, c50, c60)) return false;
  const std::vector<std::uint32_t> bank = BankSortRecords(c60);
  if (bank.size() < 8) return false;
  std::vector<processing::LetterWrite> stale;
  for (const std::uint32_t r : bank)
    if (c60.GoTo(static_cast<long>(r)) && !Trimmed(c60.GetField(T::TLETP)).empty()) stale.push_back({r, ""});
  bool done = processing::WriteMarks(c60, stale) && processing::WriteMarks(c60, {{bank[2], "+"}, {bank[5], "+"}});
  if (done && c60.GoTo(static_cast<long>(bank[2]))) *lines += SortRecordName(c60);
  CloseLineChangeNote();
  return done;
}

// ---- another station cancelling, rewriting or filling a line a stopped change named

// What another station does to a draft line: cancels it (its letter taken off first, as the
// program asks of a matched line) or saves it with 80,94 F and 12,34 EUR more.
enum class LineWork { Cancel, Amount };

// The first draft line among the bank account's sort records numbered `which` among its first eight,
// cancelled or rewritten on another station; `currency` the letters' (taken off a line lettered
// before it is cancelled). *lines gets the line named as the opening names it, or its sort record
// when `bySortRecord` (a change of marks writes the sort records only).
bool WorkOnNamedBankLine(const std::string& root, const std::vector<std::size_t>& which, int currency, LineWork work,
                         bool bySortRecord, std::string* lines) {
  Table c40, c50, c60;
  if (!OpenLines(root, c50, c60) || !c40.OpenShared(PathC40(), "C40CODE")) return false;
  const std::vector<std::uint32_t> bank = BankSortRecords(c60);
  if (bank.size() < 8) return false;
  std::uint32_t sort = 0, recno = 0;
  for (const std::size_t i : which)
    if (c60.GoTo(static_cast<long>(bank[i])) && c60.GetField(T::TFIC)[0] == T::kDraft) {
      sort = bank[i];
      recno = static_cast<std::uint32_t>(std::atol(c60.GetField(T::TREC)));
      break;
    }
  if (recno == 0 || !c50.GoTo(recno)) return false;
  bool done = false;
  if (work == LineWork::Cancel) {
    if (posting::IsLettered(c50)) {
      const processing::MatchTables t{c40, c50, c60};
      done = processing::WriteLetters(t, currency, {{sort, ""}}, LineChangeKind::LettersSaved, kLettersRefusedText,
                                      false)
                 .done;
      CloseLineChangeNote();
      if (!done) return false;
    }
    done = posting::CancelLine(c50, c60, recno, "ligne") == posting::LineChange::Done;
  } else {
    const posting::LineRecord line = posting::ReadLineRecord(c50);
    done = posting::SaveLineRecord(c50, c60, SaveOf(c50, recno, line.account, line.francs + 80.94, line.euros + 12.34))
               .outcome == posting::SaveOutcome::Saved;
  }
  CloseLineChangeNote();
  if (!done) return false;
  if (bySortRecord) {
    // A line's amount is not in its sort record: a change of marks has nothing of it to leave.
    if (work == LineWork::Cancel) {
      if (!c60.GoTo(static_cast<long>(sort))) return false;
      *lines += SortRecordName(c60);
    }
  } else {
    if (!c50.GoTo(recno)) return false;
    *lines += DraftLineName(c50);
  }
  return true;
}

// The bank account's first seven lines are closed ones, its eighth a draft line: a manual lettering
// "AZ" in euros of the seventh and the eighth, and the manual matching's marks "+" on the fifth to the
// eighth.
bool RunDraftBankLettering(const std::string& root, const Arm& arm) {
  const processing::LettersOutcome out = LetterBankLines(root, {6, 7}, "AZ", 1, LineChangeKind::LettersSaved, arm);
  return out.done && out.written == 2;
}
bool RunDraftBankMarks(const std::string& root, const Arm& arm) {
  Table c50, c60;
  if (!OpenLines(root, c50, c60)) return false;
  const std::vector<std::uint32_t> bank = BankSortRecords(c60);
  if (bank.size() < 8) return false;
  arm();
  return processing::WriteMarks(c60, {{bank[4], "+"}, {bank[5], "+"}, {bank[6], "+"}, {bank[7], "+"}});
}

// The draft line among the lines the lettering, the reconciliation (the third passed over) or the
// marks named, cancelled or rewritten on another station.
template <LineWork work>
bool LetteredLineWorkedElsewhere(const std::string& root, std::string* lines) {
  return WorkOnNamedBankLine(root, {6, 7}, 1, work, false, lines);
}
template <LineWork work>
bool ReconciledLineWorkedElsewhere(const std::string& root, std::string* lines) {
  return WorkOnNamedBankLine(root, {0, 1, 3, 4, 5, 6, 7}, 0, work, false, lines);
}
template <LineWork work>
bool MarkedLineWorkedElsewhere(const std::string& root, std::string* lines) {
  return WorkOnNamedBankLine(root, {4, 5, 6, 7}, 1, work, true, lines);
}

// The line form's blank new line: a line made in the first piece of two lines and more, left
// without account.
void PrepareBlankLine(const std::string& root) {
  PrepareWith(root, [](Table& c50, Table& c60) {
    std::pair<std::string, std::string> piece;
    std::string target;
    if (!PieceAndTarget(c50, &piece, &target)) return false;
    const posting::NewLineResult fresh =
        posting::CreatePieceLine(c50, c60, posting::LinePrefix(piece.first), piece.second, '1', 'O');
    CloseLineChangeNote();
    return fresh.outcome == posting::NewLineOutcome::Created;
  });
}
// The draft's general line without account, live or cancelled: its record, 0 for none.
std::uint32_t BlankLine(Table& c50) {
  for (std::uint32_t r = c50.RecCount(); r >= 1; --r)
    if (c50.GoTo(r) && c50.GetField(L::BCLE)[0] == L::kGeneral && Trimmed(c50.GetField(L::BCODE)).empty()) return r;
  return 0;
}
// The blank line given up, as the line form removes it when the user leaves it empty.
bool RunBlankLineRemoved(const std::string& root, const Arm& arm) {
  Table c50, c60;
  if (!OpenLines(root, c50, c60)) return false;
  const std::uint32_t recno = BlankLine(c50);
  if (recno == 0 || !c50.GoTo(recno) || c50.IsDeleted()) return false;
  const std::string key = L::Key(c50);
  arm();
  return posting::RemoveEmptyNewLine(c50, c60, key);
}
// The blank line filled and saved on another station while it stands: 60640000, 100,00 EUR debit.
// Once the stopped removal cancelled it, that station finds no line to fill, and writes nothing.
bool FillBlankLineElsewhere(const std::string& root, std::string* lines) {
  Table c50, c60;
  if (!OpenLines(root, c50, c60)) return false;
  const std::uint32_t recno = BlankLine(c50);
  if (recno == 0 || !c50.GoTo(recno)) return false;
  if (c50.IsDeleted()) return true;
  posting::SaveRequest r = SaveOf(c50, recno, "60640000", 0, 0);
  r.values.sense = 'D';
  r.values.euros = true;
  r.values.amounts = posting::LineAmounts{};
  r.values.amounts.debitE = 100;
  const bool done = posting::SaveLineRecord(c50, c60, r).outcome == posting::SaveOutcome::Saved;
  CloseLineChangeNote();
  if (done && c50.GoTo(static_cast<long>(recno))) *lines += DraftLineName(c50);
  return done;
}

// Where the piece copied goes: the target journal-month, and the number the copy takes (the
// counter's next), kept beside the dossier by the prepare for the other station.
const char* const kCopiedPieceFile = "piece-copiee";

// The dossier made, the target's counter moved on by one (a number taken and left unused, as a piece
// created and left empty leaves it), and the piece the copy then makes noted beside the dossier.
void PrepareCopyElsewhere(const std::string& root) {
  PrepareLines(root);
  Table c50, c60;
  std::pair<std::string, std::string> piece;
  std::string target;
  EXPECT_TRUE(OpenLines(root, c50, c60) && PieceAndTarget(c50, &piece, &target));
  const posting::PieceNumber taken = posting::TakePieceNumber(*TableC10, target.substr(4, 3));
  EXPECT_EQ(taken.outcome, posting::NewLineOutcome::Created);
  std::ofstream(root + kCopiedPieceFile) << target << "\n" << StrZero(taken.number + 1, 0) << "\n";
  c50.CloseTable();
  c60.CloseTable();
  CloseAllTables();
  SetDossier("", "");
}
// The piece copied, stopped; then a line added to the new piece on another station, saved on
// 60640000 with 100,00 EUR debit, and its balancing line on 51200000 with 100,00 EUR credit.
bool AddLinesToCopiedPiece(const std::string& root, std::string* lines) {
  std::ifstream noted(root + kCopiedPieceFile);
  std::string target, number;
  if (!std::getline(noted, target) || !std::getline(noted, number)) return false;
  Table c50, c60;
  if (!OpenLines(root, c50, c60)) return false;
  bool done = true;
  for (const auto& [account, debit] : {std::pair<const char*, bool>{"60640000", true}, {"51200000", false}}) {
    const posting::NewLineResult fresh =
        posting::CreatePieceLine(c50, c60, posting::LinePrefix(target), number, '1', 'O');
    CloseLineChangeNote();
    if (fresh.outcome != posting::NewLineOutcome::Created) return false;
    posting::SaveRequest r = SaveOf(c50, fresh.recno, account, 0, 0);
    r.values.sense = debit ? 'D' : 'C';
    r.values.euros = true;
    r.values.amounts = posting::LineAmounts{};
    (debit ? r.values.amounts.debitE : r.values.amounts.creditE) = 100;
    done = done && posting::SaveLineRecord(c50, c60, r).outcome == posting::SaveOutcome::Saved;
    CloseLineChangeNote();
    if (done && c50.GoTo(static_cast<long>(fresh.recno))) *lines += DraftLineName(c50);
  }
  return done;
}

// A run as the entry windows make it, its note let go once it is done, as the program does when it
// leaves the dossier.
template <bool (*run)(const std::string&, const Arm&)>
bool AndLeave(const std::string& root, const Arm& arm) {
  const bool done = run(root, arm);
  CloseLineChangeNote();
  return done;
}

// The runs, each marked a change of lines.
std::vector<MatrixRun> ChangesOfLines(std::vector<MatrixRun> runs) {
  for (MatrixRun& r : runs) r.lineChange = true;
  return runs;
}

}  // namespace

const std::vector<MatrixRun>& LineChangeRuns() {
  static const std::vector<MatrixRun> runs = ChangesOfLines({
    {"line_save", "line saved", false, {{"a", "A"}}, PrepareLines, AndLeave<RunLineSave>},
    {"line_cancel", "line cancelled", false, {{"a", "A"}}, PrepareLines, AndLeave<RunLineCancel>},
    {"line_recall", "line reactivated", false, {{"a", "A"}}, PrepareLineRecall, AndLeave<RunLineRecall>},
    {"piece_move", "piece moved", false, {{"a", "A"}}, PrepareLines, AndLeave<RunPieceMove>},
    // A copy stopped half-way and taken back leaves the piece number it took as a gap, as a piece
    // created and left empty does: the journal's and the dossier's counters are not compared.
    {"piece_copy", "piece copied", false, {{"a", "A"}}, PrepareLines, AndLeave<RunPieceCopy>, nullptr,
     {"GZONE1@19:6", "GZONE1@165:6"}},
    {"draft_append", "lines appended to the draft", false, {{"a", "A"}}, PrepareLines, AndLeave<RunDraftAppend>},
    {"zero_save", "line saved at zero", false, {{"a", "A"}}, PrepareLines, AndLeave<RunZeroSave>},
    {"split_dropped", "line saved onto an account without analytic, its split of 4 dropped", false, {{"a", "A"}},
     PrepareLines, AndLeave<RunSplitDropped<4>>},
    {"split_dropped_whole", "line saved onto an account without analytic, its split of 8 dropped", false, {{"a", "A"}},
     PrepareLines, AndLeave<RunSplitDropped<8>>},
    {"split_removed", "split removed from its line", false, {{"a", "A"}}, PrepareLines, AndLeave<RunSplitRemoved>},
    {"default_split", "default split made", false, {{"a", "A"}}, PrepareDefaultSplit, AndLeave<RunDefaultSplit>},
    {"analytic_save", "analytic line saved", false, {{"a", "A"}}, PrepareLines, AndLeave<RunAnalyticSave>},
    {"analytic_cancel", "analytic line cancelled", false, {{"a", "A"}}, PrepareLines, AndLeave<RunAnalyticMark<true>>},
    {"analytic_recall", "analytic line reactivated", false, {{"a", "A"}}, PrepareAnalyticRecall,
     AndLeave<RunAnalyticMark<false>>},
    {"line_created", "line created after a line with its split of 8, its group renumbered", false, {{"a", "A"}},
     PrepareLines, AndLeave<RunLineCreated>},
    // The piece number the new piece took from its counter before the change stays taken, as one left
    // empty does: the journal's and the dossier's counters are not compared.
    {"piece_created", "piece created", false, {{"a", "A"}}, PrepareLines, AndLeave<RunPieceCreated>, nullptr,
     {"GZONE1@19:6", "GZONE1@165:6"}},
    {"split_header", "split's header made", false, {{"a", "A"}}, PrepareLines, AndLeave<RunSplitHeader>},
    {"split_header_kept", "split's header given its line's new day", false, {{"a", "A"}}, PrepareDayChanged<false>,
     AndLeave<RunSplitFollowsItsLine<false>>},
    {"split_refreshed", "analytic lines given their line's new day", false, {{"a", "A"}}, PrepareDayChanged<true>,
     AndLeave<RunSplitFollowsItsLine<true>>},
    {"split_renumbered", "split's axis renumbered", false, {{"a", "A"}}, PrepareLines, AndLeave<RunSplitRenumbered>},
    {"analytic_line_created", "analytic line created", false, {{"a", "A"}}, PrepareLines,
     AndLeave<RunAnalyticLineCreated>},
    {"analytic_line_inserted", "analytic line created after the first, its axis renumbered", false, {{"a", "A"}},
     PrepareLines, AndLeave<RunAnalyticLineInserted>},
    {"letters_saved", "letters saved on four draft and four closed lines", false, {{"a", "A"}}, PrepareClosedLines,
     AndLeave<RunLettersSaved<LineChangeKind::LettersSaved, 1>>},
    {"lines_reconciled", "bank reconciliation's letters saved", false, {{"a", "A"}}, PrepareClosedLines,
     AndLeave<RunLettersSaved<LineChangeKind::LinesReconciled, 1>>},
    // In francs: a letter written into the sort record's field of the other currency shows.
    {"letters_saved_francs", "letters saved in francs on four draft and four closed lines", false, {{"a", "A"}},
     PrepareClosedLines, AndLeave<RunLettersSaved<LineChangeKind::LettersSaved, 0>>},
    {"lines_reconciled_francs", "bank reconciliation's letters saved in francs", false, {{"a", "A"}},
     PrepareClosedLines, AndLeave<RunLettersSaved<LineChangeKind::LinesReconciled, 0>>},
    // One of the sort records lettered reaches no line: it is taken back, or finished, with the lines.
    {"letters_saved_unreached", "letters saved on eight sort records, one of them reaching no line", false,
     {{"a", "A"}}, PrepareUnreachedLine, AndLeave<RunLettersSaved<LineChangeKind::LettersSaved, 1>>},
    {"matching_marked", "manual matching's marks put", false, {{"a", "A"}}, PrepareClosedLines,
     AndLeave<RunMatchingMarked>},
  });
  return runs;
}

const std::vector<MatrixRun>& OtherStationRuns() {
  static const std::vector<MatrixRun> runs = [] {
    std::vector<MatrixRun> r = ChangesOfLines({
      {"lettering_then_other_station", "manual lettering of two bank lines, the same lines lettered on another station",
       false, {{"a", "A"}}, PrepareClosedLines, AndLeave<RunBankLettering>},
      {"reconciliation_then_other_station",
       "bank reconciliation in francs passing over a line lettered meanwhile, another line lettered on another station",
       false, {{"a", "A"}}, PrepareBankReconciliation, AndLeave<RunBankReconciliation>},
      {"marks_then_other_station",
       "manual matching's marks on four bank lines, the account's matching opened on another station, two lines "
       "marked there",
       false, {{"a", "A"}}, PrepareClosedLines, AndLeave<RunBankMarks>},
      // The copy takes a piece number (stays taken when the copy is taken back): counters not compared.
      // The other station's lines take their group from the draft's count of records, and their sort
      // records point at their record numbers, which the copy's records appended before it stopped move
      // on: neither is compared (the invariants check each sort record against its line).
      {"piece_copy_then_other_station", "piece copied, two lines added to the new piece on another station", false,
       {{"a", "A"}}, PrepareCopyElsewhere, AndLeave<RunPieceCopy>, nullptr,
       {"GZONE1@19:6", "GZONE1@165:6", "BREC", "TREC"}},
    });
    r[0].meanwhile = LetterBankLinesElsewhere;
    r[1].meanwhile = ReconciledLineLetteredElsewhere;
    r[2].meanwhile = MarkBankLinesElsewhere;
    r[3].meanwhile = AddLinesToCopiedPiece;
    // A line the stopped change named cancelled, or given another amount, on the other station; the
    // blank line a removal named filled there. That station's line, its sort record and the totals
    // it moved are its own (MatrixRun::ownsItsWrites).
    using Work = bool (*)(const std::string&, std::string*);
    const std::vector<std::pair<MatrixRun, Work>> owned = {
        {{"lettering_then_line_cancelled", "manual lettering of two bank lines, one of them cancelled on another station",
          false, {{"a", "A"}}, PrepareClosedLines, AndLeave<RunDraftBankLettering>},
         LetteredLineWorkedElsewhere<LineWork::Cancel>},
        {{"lettering_then_amount_changed",
          "manual lettering of two bank lines, one of them given another amount on another station", false,
          {{"a", "A"}}, PrepareClosedLines, AndLeave<RunDraftBankLettering>},
         LetteredLineWorkedElsewhere<LineWork::Amount>},
        {{"reconciliation_then_line_cancelled",
          "bank reconciliation in francs of eight bank lines, one of them cancelled on another station", false,
          {{"a", "A"}}, PrepareBankReconciliation, AndLeave<RunBankReconciliation>},
         ReconciledLineWorkedElsewhere<LineWork::Cancel>},
        {{"reconciliation_then_amount_changed",
          "bank reconciliation in francs of eight bank lines, one of them given another amount on another station",
          false, {{"a", "A"}}, PrepareBankReconciliation, AndLeave<RunBankReconciliation>},
         ReconciledLineWorkedElsewhere<LineWork::Amount>},
        {{"marks_then_line_cancelled",
          "manual matching's marks on four bank lines, one of them cancelled on another station", false, {{"a", "A"}},
          PrepareClosedLines, AndLeave<RunDraftBankMarks>},
         MarkedLineWorkedElsewhere<LineWork::Cancel>},
        {{"marks_then_amount_changed",
          "manual matching's marks on four bank lines, one of them given another amount on another station", false,
          {{"a", "A"}}, PrepareClosedLines, AndLeave<RunDraftBankMarks>},
         MarkedLineWorkedElsewhere<LineWork::Amount>},
        {{"blank_line_then_filled", "blank new line removed, filled and saved on another station", false,
          {{"a", "A"}}, PrepareBlankLine, AndLeave<RunBlankLineRemoved>},
         FillBlankLineElsewhere},
    };
    for (const auto& [run, work] : owned) {
      MatrixRun row = run;
      row.lineChange = true;
      row.meanwhile = work;
      row.ownsItsWrites = true;
      r.push_back(row);
    }
    return r;
  }();
  return runs;
}

}  // namespace kill_matrix
