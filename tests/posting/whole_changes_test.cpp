// A change of lines and its totals goes through whole or not at all. Each change (a line cancelled and
// reactivated, a piece moved and copied, lines appended to the draft, an analytic line cancelled and saved,
// a default split) refused at each of its writes in turn fails, says so in one box and leaves the books as
// they were, then goes through uncut. A total that cannot hold a change (an account's, a journal-month's, a section's)
// refuses it before anything is written, in one sentence naming that total and the largest amount it takes.
#include <set>

#include "data/account_totals.h"
#include "data/draft_lines.h"
#include "data/error_report.h"
#include "data/line_change_note.h"
#include "data/line_change_steps.h"
#include "data/stopped_line_changes.h"
#include "data/record_fields.h"
#include "data/table_results.h"
#include "entry/core/analytic_split.h"
#include "entry/core/move_copy.h"
#include "entry/core_fixture.h"
#include "platform/system/write_fault.h"
#include "posting/line_changes.h"
#include "posting/line_save.h"
#include "posting/new_lines.h"
#include "resources/string_table.h"
#include "runtime/numbers.h"
#include "runtime/text.h"
#include "runtime/xbase.h"
#include "support/books_writes.h"
#include "support/draft_piece.h"
#include "support/refused_read.h"
#include "support/refused_write.h"

namespace entry_test {
namespace {

using namespace posting;
using platform::WriteFault;

constexpr const char* kNothingChanged = "rien n'a chang\xE9";
// The texts of a refused change: a line's save refused by a write, any change refused by a read (the
// change named), a change that could not take back what it wrote, and the change named; the reasons: an
// error writing to the disk, a change refused by the system.
constexpr int kSaveRefused = 36000;
constexpr int kReadRefused = 36001;
constexpr int kNoteStays = 36004;  // the change, why: taken back whole, its note left to the next opening
constexpr int kNotPutBack = 34307;
constexpr int kLineSavedName = 35010;
constexpr int kWriteError = 34100;
constexpr int kChangeRefused = 34102;

class WholeChangeTest : public CoreTest {
 protected:
  // The live records of the draft, the sort file, the chart, the sections and the journal-month headers
  // with all their fields: what a change that did not go through leaves as it found them.
  std::multiset<std::string> Books() {
    std::multiset<std::string> books;
    auto read = [&books](Table& t, const std::string& name, bool headersOnly) {
      for (std::uint32_t r = 1; r <= t.RecCount(); ++r) {
        if (!t.GoTo(r) || t.IsDeleted() || (headersOnly && t.GetField(1)[0] != 'C')) continue;
        std::string text = name;
        for (int f = 1; f <= t.FieldCount(); ++f)
          if (t.FieldType(f) != 'M') text += std::string("|") + t.GetField(f);
        books.insert(text);
      }
    };
    read(c50, "c50", false);
    read(c60, "c60", false);
    read(*TableC10, "c10", true);
    read(*TableC20, "c20", false);
    read(*TableC30, "c30", false);
    return books;
  }

  // Live general lines with their live analytic lines ("W" and "Y"), in record order.
  struct Split {
    std::uint32_t line = 0;
    std::vector<std::uint32_t> analytic;
  };
  std::vector<Split> SplitLines() {
    std::vector<Split> found;
    for (std::uint32_t r = 1; r <= c50.RecCount(); ++r) {
      if (!c50.GoTo(r) || c50.IsDeleted() || c50.GetField(L::BCLE)[0] != 'Z') continue;
      Split s{r, {}};
      const std::string key = L::AnalyticKey(c50);
      for (bool more = c50.SeekNotBelow(L::kAnalyticTag, key.c_str()); more; more = c50.Skip(1)) {
        if (c50.MatchKey(key.c_str(), L::kAnalyticKeyLength, L::BMOIS, L::BJAL, L::BPIECE, L::BCG, L::BNUM) != 'O')
          break;
        const char kind = c50.GetField(L::BCLE)[0];
        if (kind == 'W' || kind == 'Y') s.analytic.push_back(c50.recordNumber);
      }
      c50.SetOrder(L::kCodeTag);
      if (!s.analytic.empty()) found.push_back(s);
    }
    return found;
  }

  // The pieces of the draft with at least two live general lines: journal-month and piece.
  std::vector<std::pair<std::string, std::string>> Pieces() {
    std::map<std::pair<std::string, std::string>, int> lines;
    for (bool more = c50.GoTop(L::kCodeTag); more; more = c50.Skip(1))
      if (!c50.IsDeleted())
        ++lines[{std::string(c50.GetField(L::BMOIS)) + c50.GetField(L::BJAL), c50.GetField(L::BPIECE)}];
    std::vector<std::pair<std::string, std::string>> pieces;
    for (const auto& [piece, n] : lines)
      if (n >= 2) pieces.push_back(piece);
    return pieces;
  }

  // Line `recno` saved onto `account`, its amount on its sense one euro more.
  SaveRequest OntoAccount(std::uint32_t recno, const char* account) {
    EXPECT_TRUE(c50.GoTo(recno));
    const LineRecord line = ReadLineRecord(c50);
    SaveRequest r;
    r.key = line.key;
    r.previousAccount = line.account;
    r.values.day = line.day;
    r.values.account = account;
    r.values.label1 = line.label1;
    r.values.euros = true;
    r.values.sense = line.sense;
    (line.sense == 'D' ? r.values.amounts.debitF : r.values.amounts.creditF) = line.francs;
    (line.sense == 'D' ? r.values.amounts.debitE : r.values.amounts.creditE) = line.euros + 1;
    return r;
  }

  // The C50ANAL key of an analytic line: BMOIS, BJAL, BPIECE, BCG, BNUM, BCLE, BNUMA.
  std::string AnalyticLineKey(std::uint32_t recno) {
    if (!c50.GoTo(recno)) return {};
    std::string key;
    for (int f : {L::BMOIS, L::BJAL, L::BPIECE, L::BCG, L::BNUM, L::BCLE, L::BNUMA}) key += c50.GetField(f);
    return key;
  }

  // `change` run with the k-th write of a table's records refused by `fault`, k = 1, 2, ... until it goes
  // through uncut: each refused run fails, tells it in its box (when `says`) and leaves the books as they
  // were; at least `writes` writes are refused so. (A refused write of an index's pages leaves the index
  // to be made again at the next opening, which no change of lines can put back.)
  void EachWriteRefused(const char* what, WriteFault fault, bool says,
                        const std::function<bool(std::string* refusal)>& change, long writes = 3) {
    SCOPED_TRACE(what);
    const std::multiset<std::string> before = Books();
    long refused = 0;
    for (int k = 1;; ++k) {
      test_support::RefusedWrite::Arm(".dbf", k, fault);
      std::string refusal;
      Messages().clear();
      const bool done = change(&refusal);
      const int seen = test_support::RefusedWrite::Seen();
      const std::string which = platform::RefusedChange();
      test_support::RefusedWrite::Disarm();
      if (k > seen) {
        EXPECT_TRUE(done) << "uncut: " << refusal;
        EXPECT_TRUE(Books() != before) << "the uncut change changed nothing";
        break;
      }
      ++refused;
      EXPECT_FALSE(done) << "done though write " << k << " was refused: " << which;
      EXPECT_TRUE(Books() == before) << "write " << k << " refused: " << which;
      if (says) {
        EXPECT_NE(refusal.find(kNothingChanged), std::string::npos) << k << ": " << refusal;
        EXPECT_TRUE(Messages().empty()) << "an engine box beside the change's own: " << Messages()[0];
      }
      ASSERT_FALSE(HasFailure()) << "write " << k << " refused: " << which;
    }
    EXPECT_GE(refused, writes);
  }
};

TEST_F(WholeChangeTest, EachChangeRefusedAtAnyWriteLeavesTheBooksAsTheyWere) {
  const std::vector<Split> splits = SplitLines();
  ASSERT_GE(splits.size(), 4u);
  const std::vector<std::pair<std::string, std::string>> pieces = Pieces();
  ASSERT_GE(pieces.size(), 3u);
  const std::map<std::string, long> months = JournalMonths();
  // Another journal-month with a header, for the move and the copy.
  std::string target;
  for (const auto& [month, n] : months)
    if (month != pieces[0].first && month != pieces[1].first && n > 0) target = month;
  ASSERT_FALSE(target.empty());

  ASSERT_NO_FATAL_FAILURE(EachWriteRefused(
      "a line cancelled with its analytic lines", WriteFault::kFailOnce, true, [&](std::string* refusal) {
        long analytic = 0;
        const LineChange got = CancelLine(c50, c60, splits[0].line, "ligne", &analytic, refusal);
        // Its analytic lines, and the headers of its split.
        return got == LineChange::Done && analytic >= static_cast<long>(splits[0].analytic.size());
      }));
  ASSERT_EQ(CancelLine(c50, c60, splits[1].line, "ligne"), LineChange::Done);
  ASSERT_NO_FATAL_FAILURE(
      EachWriteRefused("a line reactivated", WriteFault::kFullOnce, true, [&](std::string* refusal) {
        return ReactivateLine(c50, c60, splits[1].line, "ligne", refusal) == LineChange::Done;
      }));
  ASSERT_NO_FATAL_FAILURE(EachWriteRefused("a piece moved", WriteFault::kFailOnce, true, [&](std::string* refusal) {
    const entry::PieceResult r = entry::MovePiece(pieces[0].first, pieces[0].second, entry::PieceTarget::From(target));
    *refusal = r.refusal;
    return r.outcome == entry::PieceOutcome::Done;
  }));
  ASSERT_NO_FATAL_FAILURE(EachWriteRefused("a piece copied", WriteFault::kPartOnce, true, [&](std::string* refusal) {
    const entry::PieceResult r = entry::CopyPiece(pieces[1].first, pieces[1].second, entry::PieceTarget::From(target));
    *refusal = r.refusal;
    return r.outcome == entry::PieceOutcome::Done;
  }));
  ASSERT_NO_FATAL_FAILURE(
      EachWriteRefused("two lines appended to the draft", WriteFault::kPartOnce, false, [&](std::string*) {
        return WriteDraftLines(c50, c60, test_support::TwoLinePiece(target)) == DraftWrite::Written;
      }));
  ASSERT_NO_FATAL_FAILURE(
      EachWriteRefused("an analytic line cancelled", WriteFault::kFailOnce, true, [&](std::string* refusal) {
        return entry::CancelSplitLine(c50, c60, splits[2].analytic[0], "ligne", refusal) == LineChange::Done;
      }));
  const std::string key = AnalyticLineKey(splits[3].analytic[0]);
  const LineRecord analytic = ReadLineRecord(c50);
  // Another section of the chart than the line's.
  std::string section;
  for (std::uint32_t r = 1; r <= TableC30->RecCount() && section.empty(); ++r)
    if (TableC30->GoTo(r) && !TableC30->IsDeleted() && std::string(TableC30->GetField(1)) != analytic.account)
      section = Trimmed(TableC30->GetField(1));
  ASSERT_FALSE(section.empty());
  ASSERT_NO_FATAL_FAILURE(EachWriteRefused(
      "an analytic line saved on another section", WriteFault::kFullOnce, true, [&](std::string* refusal) {
        entry::AnalyticLineValues v;
        v.day = analytic.day;
        v.section = section;
        v.labelCode = analytic.labelCode;
        v.label = analytic.label1;
        v.sense = analytic.sense;
        v.francs = ToCents(analytic.francs) + 656;
        v.euros = ToCents(analytic.euros) + 100;
        return entry::SaveAnalyticLineRecord(c50, c60, key, v, refusal) == entry::AnalyticSaveOutcome::Saved;
      }));
  // A default split of a line without one onto two sections of the chart, as the account's text asks.
  std::uint32_t free = 0;
  for (std::uint32_t r = 1; r <= c50.RecCount() && free == 0; ++r) {
    if (!c50.GoTo(r) || c50.IsDeleted() || c50.GetField(L::BCLE)[0] != 'Z') continue;
    const std::string analyticKey = L::AnalyticKey(c50);
    const char m =
        c50.SeekNotBelow(L::kAnalyticTag, analyticKey.c_str())
            ? c50.MatchKey(analyticKey.c_str(), L::kAnalyticKeyLength, L::BMOIS, L::BJAL, L::BPIECE, L::BCG, L::BNUM)
            : ' ';
    const bool split = m == 'O' || m == 'o';
    c50.SetOrder(L::kCodeTag);
    if (!split) free = r;
  }
  ASSERT_NE(free, 0u);
  ASSERT_TRUE(c50.GoTo(free));
  const entry::SplitKey splitKey = entry::SplitKey::Of(L::Key(c50), c50.GetField(L::BCODE), 'V', c50.GetField(L::BJOUR),
                                                       c50.GetField(L::BCLIB), c50.GetField(L::BLIB), 100000, 15245);
  const std::string text = "CA1=" + section + " %=60\r\nCA1=" + Trimmed(analytic.account) + " %=40\r\n";
  ASSERT_NO_FATAL_FAILURE(EachWriteRefused("a default split", WriteFault::kPartOnce, true, [&](std::string* refusal) {
    return entry::MakeDefaultSplit(c50, c60, splitKey, text, 6.55957, false, nullptr, nullptr, refusal) ==
           entry::DefaultSplitOutcome::Made;
  }));
  ExpectInvariants("after every change refused, then made");
}

// "Créer Pièce" and the split's own writes as its window makes them (its header made, the axis
// renumbered, a new analytic line, and after its line was saved with another day its header and lines
// given that day): each refused at any write of a table leaves the books as they were and says so in its
// one sentence, no box of the engine's beside it.
TEST_F(WholeChangeTest, ANewPieceOrASplitsOwnWriteRefusedAtAnyWriteLeavesTheBooksAsTheyWere) {
  const std::uint32_t line = SplitLineBeforeATakenNumber(8);
  ASSERT_NE(line, 0u);
  const LineAfter after = After(line);
  ASSERT_NO_FATAL_FAILURE(EachWriteRefused("a new piece", WriteFault::kPartOnce, true, [&](std::string* refusal) {
    const NewLineResult made = CreatePieceLine(c50, c60, after.prefix, "999002", '1', 'O');
    *refusal = made.refusal;
    return made.outcome == NewLineOutcome::Created;
  }));

  std::uint32_t bank = 0;
  for (std::uint32_t r = 1; r <= c50.RecCount() && bank == 0; ++r)
    if (c50.GoTo(r) && !c50.IsDeleted() && std::string(c50.GetField(L::BCODE)) == "51200000") bank = r;
  ASSERT_NE(bank, 0u);
  const entry::SplitKey bankKey = SplitKeyOf(bank);
  ASSERT_NO_FATAL_FAILURE(EachWriteRefused("a split's header made", WriteFault::kFullOnce, true,
                                           [&](std::string* refusal) {
                                             c50.SetOrder(L::kAnalyticTag);
                                             return entry::KeepSplitHeader(c50, c60, bankKey, nullptr, refusal) ==
                                                    entry::SplitOpening::Opened;
                                           }));

  const entry::SplitKey key = SplitKeyOf(line);
  ASSERT_NO_FATAL_FAILURE(EachWriteRefused("an axis renumbered", WriteFault::kFailOnce, true,
                                           [&](std::string* refusal) {
                                             return entry::RenumberSplitLines(c50, c60, key, 2, refusal) ==
                                                    kRenumberStep;
                                           }));
  entry::NewSplitLine blank;
  blank.number = "0011";
  blank.day = key.Day();
  blank.sense = key.Sense();
  ASSERT_NO_FATAL_FAILURE(EachWriteRefused("a new analytic line", WriteFault::kFullOnce, true,
                                           [&](std::string* refusal) {
                                             return entry::AppendSplitLine(c50, c60, key, blank, refusal);
                                           }));

  ASSERT_EQ(SaveLineRecord(c50, c60, OnAnotherDay(line)).outcome, SaveOutcome::Saved);
  const entry::SplitKey moved = SplitKeyOf(line);
  ASSERT_NO_FATAL_FAILURE(EachWriteRefused("a split's header given its line's day", WriteFault::kPartOnce, true,
                                           [&](std::string* refusal) {
                                             c50.SetOrder(L::kAnalyticTag);
                                             return entry::KeepSplitHeader(c50, c60, moved, nullptr, refusal) ==
                                                    entry::SplitOpening::Opened;
                                           },
                                           2));
  ASSERT_NO_FATAL_FAILURE(EachWriteRefused("the lines given their line's day", WriteFault::kFailOnce, true,
                                           [&](std::string* refusal) {
                                             return entry::RefreshSplitLines(c50, c60, moved, refusal) >= 4 &&
                                                    refusal->empty();
                                           }));
  ExpectInvariants("after every new line and split's write refused, then made");
}

// The changes that carry more than one line's worth: a line saved onto another account drops the split of
// its old one, a line saved without amount is cancelled with its sort record, a split removed alone, an
// empty new line given up. Each refused at any write of a table leaves the books as they were, says so in
// its one sentence and shows no box of the engine's.
TEST_F(WholeChangeTest, ASaveThatDropsASplitOrCancelsALineIsRefusedWholeAtAnyWrite) {
  const std::vector<Split> splits = SplitLines();
  ASSERT_GE(splits.size(), 4u);
  const struct {
    WriteFault fault;
    const char* what;
  } faults[] = {{WriteFault::kFailOnce, "refused once"},
                {WriteFault::kFullOnce, "on a disk full for a moment"},
                {WriteFault::kPartOnce, "cut part-way"}};
  for (std::size_t i = 0; i < 3; ++i) {
    // Onto 62600000, which takes no analytic.
    const SaveRequest r = OntoAccount(splits[i].line, "62600000");
    ASSERT_NO_FATAL_FAILURE(EachWriteRefused(
        (std::string("a line saved onto another account, its split dropped, ") + faults[i].what).c_str(),
        faults[i].fault, true, [&](std::string* refusal) {
          const SaveResult saved = SaveLineRecord(c50, c60, r);
          *refusal = saved.refusal;
          return saved.outcome == SaveOutcome::Saved &&
                 saved.analyticRemoved >= static_cast<long>(splits[i].analytic.size());
        }));
  }

  // A bank line saved without amount: cancelled with its sort record, or nothing changes.
  std::uint32_t bank = 0;
  for (std::uint32_t r = 1; r <= c50.RecCount() && bank == 0; ++r)
    if (c50.GoTo(r) && !c50.IsDeleted() && c50.GetField(L::BCLE)[0] == 'Z' &&
        std::string(c50.GetField(L::BCODE)) == "51200000")
      bank = r;
  ASSERT_NE(bank, 0u);
  SaveRequest zero = OntoAccount(bank, "51200000");
  zero.values.amounts = LineAmounts{};
  ASSERT_NO_FATAL_FAILURE(EachWriteRefused("a line saved without amount", WriteFault::kFailOnce, true,
                                           [&](std::string* refusal) {
                                             const SaveResult saved = SaveLineRecord(c50, c60, zero);
                                             *refusal = saved.refusal;
                                             return saved.outcome == SaveOutcome::ZeroLineCancelled;
                                           }));
  ASSERT_TRUE(c50.GoTo(bank));
  EXPECT_TRUE(c50.IsDeleted());
  EXPECT_FALSE(LigneTri::Find(c60, LigneTri::kDraft, bank) && !c60.IsDeleted()) << "a live sort record";

  // A split removed alone, as the line form removes the split of an account that takes none.
  ASSERT_TRUE(c50.GoTo(splits[3].line));
  const LineRecord split = ReadLineRecord(c50);
  ASSERT_NO_FATAL_FAILURE(
      EachWriteRefused("a split removed", WriteFault::kFullOnce, true, [&](std::string* refusal) {
        return DeleteLineAnalytic(c50, c60, split.key, split.account, 3, refusal) >=
               static_cast<long>(splits[3].analytic.size());
      }));

  // An empty new line given up.
  const std::vector<std::pair<std::string, std::string>> pieces = Pieces();
  ASSERT_FALSE(pieces.empty());
  const NewLineResult fresh = CreatePieceLine(c50, c60, LinePrefix(pieces[0].first), pieces[0].second, '1', 'O');
  ASSERT_EQ(fresh.outcome, NewLineOutcome::Created);
  ASSERT_NO_FATAL_FAILURE(
      EachWriteRefused("an empty new line given up", WriteFault::kFailOnce, true, [&](std::string* refusal) {
        return RemoveEmptyNewLine(c50, c60, fresh.key, refusal);
      }, 2));
  ExpectInvariants("after every change refused, then made");
}

// The line save refused by the disk says why in one sentence, as every change of lines does, and never
// shows the engine's boxes: a write refused once, a full disk, a read of the sort file refused, and a
// disk that refuses every write from one on, so that the save cannot take back what it wrote.
TEST_F(WholeChangeTest, TheLineSaveSaysWhyItWasRefusedInOneSentence) {
  const std::vector<Split> splits = SplitLines();
  ASSERT_FALSE(splits.empty());
  const SaveRequest r = OntoAccount(splits[0].line, "62600000");
  const std::string folder = DossierFolder;
  auto saveRefused = [](const std::string& reason) { return FillPlaceholder(LoadStr(kSaveRefused), reason); };
  const struct Case {
    const char* what;
    std::function<void()> arm;
    std::string said;
    bool putBack;
  } cases[] = {
      {"an account's total refused once",
       [] { test_support::RefusedWrite::Arm("/c20je.dbf", 1, WriteFault::kFailOnce); },
       saveRefused(FillPlaceholder(LoadStr(kWriteError), folder + "c20je.dbf")), true},
      {"the line's record on a full disk",
       [] { test_support::RefusedWrite::Arm("/c50je.dbf", 1, WriteFault::kFullOnce); },
       saveRefused(DiskFullText(folder + "c50je.dbf")), true},
      {"a read of the sort file refused",
       [] { test_support::RefusedRead::Arm("/c60je.dbf", 1); },
       FillPlaceholders(LoadStr(kReadRefused), {LoadStr(kLineSavedName), ReadErrorText(folder + "c60je.dbf")}), true},
      // Met once the save has written: taken back whole, its note left for the next opening to take up.
      {"a read of the sort file's index refused", [] { test_support::RefusedRead::Arm("/c60je.mdx", 1); },
       FillPlaceholders(LoadStr(kNoteStays), {LoadStr(kLineSavedName), ReadErrorText(folder + "c60je.mdx")}), true},
      {"every write refused from the line's record on",
       [] { test_support::RefusedWrite::Arm("/c50je.dbf", 1, WriteFault::kFailForGood); },
       FillPlaceholder(LoadStr(kNotPutBack), FillPlaceholder(LoadStr(kChangeRefused), folder + "c50je.dbf")), false},
  };
  const std::multiset<std::string> before = Books();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Messages().clear();
    c.arm();
    const SaveResult saved = SaveLineRecord(c50, c60, r);
    test_support::RefusedWrite::Disarm();
    test_support::RefusedRead::Disarm();
    EXPECT_EQ(saved.outcome, SaveOutcome::Failed);
    EXPECT_EQ(saved.putBack, c.putBack);
    EXPECT_EQ(saved.refusal, c.said);
    EXPECT_TRUE(Messages().empty()) << "an engine box beside the save's own: " << Messages()[0];
    // What could not be taken back, the next opening finishes.
    CloseLineChangeNote();
    const StoppedLineChanges finished = FinishStoppedLineChanges();
    EXPECT_TRUE(finished.done) << finished.said;
    if (c.putBack) {
      EXPECT_TRUE(Books() == before);
    }
    ASSERT_FALSE(HasFailure());
  }
  ExpectInvariants("after the refused saves");
}

// A change begun while another lives joins it: the split removed inside a change that then returns
// without saying it is done goes back with it, under one note.
TEST_F(WholeChangeTest, AChangeBegunInsideAnotherJoinsItAndIsTakenBackWithIt) {
  const std::vector<Split> splits = SplitLines();
  ASSERT_FALSE(splits.empty());
  ASSERT_TRUE(c50.GoTo(splits[0].line));
  const LineRecord line = ReadLineRecord(c50);
  const std::multiset<std::string> before = Books();
  {
    LineChangeSteps outer(LineChangeKind::LineSaved);
    outer.Note().Line(splits[0].line);
    ASSERT_TRUE(outer.Begin());
    EXPECT_GE(DeleteLineAnalytic(c50, c60, line.key, line.account, 3), static_cast<long>(splits[0].analytic.size()));
    EXPECT_TRUE(Books() != before) << "the split was not removed";
    EXPECT_EQ(LineChangeNoteFiles(DossierFolder, DossierCode).size(), 1u) << "one note";
  }
  EXPECT_TRUE(Books() == before) << "the split removed inside a change not done stays";
  CloseLineChangeNote();
  EXPECT_TRUE(LineChangeNoteFiles(DossierFolder, DossierCode).empty()) << "a change taken back whole leaves no note";
  ExpectInvariants("after the change taken back");
}

// A total set near what it holds: amount 2 (euros) on the debit side of an account or a section, or of a
// journal-month header, `room` cents below the largest total. Put back as it was at the end of the test.
class NearFullTest : public WholeChangeTest {
 protected:
  void TearDown() override {
    for (auto it = restore_.rbegin(); it != restore_.rend(); ++it) (*it)();
    if (!restore_.empty()) ExpectInvariants("with the totals put back");
    restore_.clear();
    WholeChangeTest::TearDown();
  }
  void FillAccount(Table& t, const char* tag, const std::string& code, int field, long long room) {
    ASSERT_TRUE(t.Seek(tag, PadRight(code, 8).c_str())) << code;
    const std::uint32_t recno = t.recordNumber;
    const double was = t.GetFieldNum(field);
    const test_support::SetUpPermit permit("total presque plein");
    ASSERT_TRUE(t.PutFieldNum(field, FromCents(kLargestTotalCents - room)));
    restore_.push_back([&t, recno, field, was] {
      const test_support::SetUpPermit back("total remis");
      t.GoTo(recno) && t.PutFieldNum(field, was);
    });
  }
  void FillHeader(const std::string& journalMonth, long long room) {
    Table& c10 = *TableC10;
    ASSERT_TRUE(FindHeader(c10, journalMonth, kDraftSource).IsFound()) << journalMonth;
    const std::uint32_t recno = c10.recordNumber;
    const std::string was = c10.GetField(5);
    const std::string credit = PadRight(was, 28).substr(14, 14);
    const test_support::SetUpPermit permit("total presque plein");
    ASSERT_TRUE(c10.PutField(5, (FormatNumber(14, 2, false, FromCents(kLargestTotalCents - room)) + credit).c_str()));
    restore_.push_back([&c10, recno, was] {
      const test_support::SetUpPermit back("total remis");
      c10.GoTo(recno) && c10.PutField(5, was.c_str());
    });
  }
  std::vector<std::function<void()>> restore_;
};

TEST_F(NearFullTest, ATotalThatCannotHoldTheChangeRefusesItBeforeAnythingIsWritten) {
  const std::vector<Split> splits = SplitLines();
  ASSERT_GE(splits.size(), 4u);
  const std::vector<std::pair<std::string, std::string>> pieces = Pieces();
  ASSERT_GE(pieces.size(), 2u);
  // A journal-month other than the first piece's, to move and copy it into.
  std::string other;
  for (const auto& [m, p] : pieces)
    if (m != pieces[0].first) other = m;
  ASSERT_FALSE(other.empty());
  // The lines of each case: one on the bank's debit, one cancelled, one analytic line.
  std::uint32_t bank = 0;
  for (std::uint32_t r = 1; r <= c50.RecCount() && bank == 0; ++r)
    if (c50.GoTo(r) && !c50.IsDeleted() && c50.GetField(L::BCLE)[0] == 'Z' &&
        std::string(c50.GetField(L::BCODE)) == "51200000" && c50.GetField(L::BSENS)[0] == 'D' &&
        StoredAmountOf(c50, L::BMONTANTE) > 10000)
      bank = r;
  ASSERT_NE(bank, 0u);
  ASSERT_TRUE(c50.GoTo(bank));
  const LineRecord bankLine = ReadLineRecord(c50);
  ASSERT_EQ(CancelLine(c50, c60, splits[0].line, "ligne"), LineChange::Done);
  ASSERT_TRUE(c50.GoTo(splits[0].line));
  const LineRecord cancelled = ReadLineRecord(c50);
  const std::string analyticKey = AnalyticLineKey(splits[1].analytic[0]);
  const LineRecord analytic = ReadLineRecord(c50);
  const std::string month = bankLine.key.substr(1, 7);
  auto amount = [](long long cents) { return GroupedAmountText(cents); };

  const struct Case {
    const char* what;
    std::function<void()> fill;
    // "refused" when the change is refused as expected
    std::function<std::string(std::string* refusal)> change;
    std::string named;  // the sentence expected
  } cases[] = {
      {"a line saved onto an account near full", [&] { FillAccount(*TableC20, "C20CODE", "60640000", 18, 999); },
       [&](std::string* refusal) {
         SaveRequest r;
         r.key = bankLine.key;
         r.values.day = bankLine.day;
         r.values.account = "60640000";
         r.values.label1 = bankLine.label1;
         r.values.euros = true;
         r.values.sense = 'D';
         r.values.amounts.debitE = bankLine.euros;
         r.values.amounts.debitF = bankLine.francs;
         const SaveResult saved = SaveLineRecord(c50, c60, r);
         *refusal = TotalsTooLargeText(saved.overflow, true);
         return std::string(saved.outcome == SaveOutcome::TotalsTooLarge ? "refused" : "not refused");
       },
       FillPlaceholders(LoadStr(posting::kMsgAccountTotalTooLarge), {"60640000", "9,99"})},
      {"the line's own amount raised over its journal-month's total", [&] { FillHeader(month, 999); },
       [&](std::string* refusal) {
         SaveRequest r;
         r.key = bankLine.key;
         r.values.day = bankLine.day;
         r.values.account = bankLine.account;
         r.values.label1 = bankLine.label1;
         r.values.euros = true;
         r.values.sense = 'D';
         r.values.amounts.debitE = bankLine.euros + 20;
         r.values.amounts.debitF = bankLine.francs;
         const SaveResult saved = SaveLineRecord(c50, c60, r);
         *refusal = TotalsTooLargeText(saved.overflow, true);
         return std::string(saved.outcome == SaveOutcome::TotalsTooLarge ? "refused" : "not refused");
       },
       // The old amount comes off first: the header takes it and 9.99 more.
       FillPlaceholders(LoadStr(posting::kMsgHeaderTotalTooLarge),
                        {JournalOf(month), MonthDisplay(month), amount(ToCents(bankLine.euros) + 999)})},
      {"a cancelled line reactivated onto its account near full",
       [&] { FillAccount(*TableC20, "C20CODE", cancelled.account, cancelled.sense == 'D' ? 18 : 20, 0); },
       [&](std::string* refusal) {
         return std::string(ReactivateLine(c50, c60, splits[0].line, "ligne", refusal) == LineChange::TotalsTooLarge
                                ? "refused"
                                : "not refused");
       },
       FillPlaceholders(LoadStr(posting::kMsgAccountTotalTooLarge), {Trimmed(cancelled.account), "0,00"})},
      {"a piece moved into a journal-month near full", [&] { FillHeader(other, 1); },
       [&](std::string* refusal) {
         const entry::PieceResult r =
             entry::MovePiece(pieces[0].first, pieces[0].second, entry::PieceTarget::From(other));
         *refusal = r.refusal;
         return std::string(r.outcome == entry::PieceOutcome::TotalsTooLarge ? "refused" : "not refused");
       },
       FillPlaceholders(LoadStr(posting::kMsgHeaderTotalTooLarge), {JournalOf(other), MonthDisplay(other), "0,01"})},
      {"a piece copied into a journal-month near full", [&] { FillHeader(other, 1); },
       [&](std::string* refusal) {
         const entry::PieceResult r =
             entry::CopyPiece(pieces[0].first, pieces[0].second, entry::PieceTarget::From(other));
         *refusal = r.refusal;
         return std::string(r.outcome == entry::PieceOutcome::TotalsTooLarge ? "refused" : "not refused");
       },
       FillPlaceholders(LoadStr(posting::kMsgHeaderTotalTooLarge), {JournalOf(other), MonthDisplay(other), "0,01"})},
      {"lines appended to the draft onto an account near full",
       [&] { FillAccount(*TableC20, "C20CODE", "70600000", 20, 500); },
       [&](std::string* refusal) {
         NewDraftLine one;
         one.month = month.substr(0, 4);
         one.journal = month.substr(4, 3);
         one.piece = "999999";
         one.day = "01";
         one.account = "51200000";
         one.sense = 'D';
         one.euros = 12.34;
         NewDraftLine two = one;
         two.account = "70600000";
         two.sense = 'C';
         TotalsOverflow overflow;
         const DraftWrite w = WriteDraftLines(c50, c60, {one, two}, nullptr, &overflow);
         *refusal = TotalsTooLargeText(overflow, true);
         return std::string(w == DraftWrite::TotalsTooLarge ? "refused" : "not refused");
       },
       FillPlaceholders(LoadStr(posting::kMsgAccountTotalTooLarge), {"70600000", "5,00"})},
      {"an analytic line saved onto a section near full", [&] { FillAccount(*TableC30, "C30CODE", "SECTNEW", 10, 0); },
       [&](std::string* refusal) {
         entry::AnalyticLineValues v;
         v.day = analytic.day;
         v.section = "SECTNEW";
         v.label = analytic.label1;
         v.sense = 'D';
         v.euros = 100;
         return std::string(entry::SaveAnalyticLineRecord(c50, c60, analyticKey, v, refusal) ==
                                    entry::AnalyticSaveOutcome::TotalsTooLarge
                                ? "refused"
                                : "not refused");
       },
       FillPlaceholders(LoadStr(posting::kMsgSectionTotalTooLarge), {"SECTNEW", "0,00"})},
  };
  // A section to fill: made as the first save onto it makes it.
  TotalsCents none;
  const test_support::SetUpPermit made("section mise en place");
  ASSERT_TRUE(MoveSectionRecord("SECTNEW", none));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    c.fill();
    ASSERT_FALSE(HasFailure());
    const std::multiset<std::string> before = Books();
    Messages().clear();
    platform::SetWriteFault(WriteFault::kFailOnce, LONG_MAX);  // counts the changes, refuses none
    std::string refusal;
    EXPECT_EQ(c.change(&refusal), "refused");
    EXPECT_EQ(platform::WritesCounted(), 0) << "written before the refusal";
    platform::SetWriteFault(WriteFault::kNone, 0);
    EXPECT_EQ(refusal, c.named);
    EXPECT_TRUE(Messages().empty()) << Messages()[0];
    EXPECT_TRUE(Books() == before);
    // Put back for the next case.
    for (auto it = restore_.rbegin(); it != restore_.rend(); ++it) (*it)();
    restore_.clear();
  }
  // The same line saved again as it stands on an account near full: its old amount comes off first, so
  // that it fits.
  FillAccount(*TableC20, "C20CODE", "51200000", 18, 0);
  SaveRequest again;
  again.key = bankLine.key;
  again.values.day = bankLine.day;
  again.values.account = bankLine.account;
  again.values.label1 = "Revu";
  again.values.euros = true;
  again.values.sense = 'D';
  again.values.amounts.debitE = bankLine.euros;
  again.values.amounts.debitF = bankLine.francs;
  EXPECT_EQ(SaveLineRecord(c50, c60, again).outcome, SaveOutcome::Saved);
}

}  // namespace
}  // namespace entry_test
