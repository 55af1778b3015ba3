// A change of lines stopped half-way is finished by the next opening. A line save, a piece moved and
// lines appended to the draft, killed before each of their writes in turn, leave the note of a dead
// process and the writes made so far: the finish makes the books pass every invariant, as before or
// as after the change, and says so in one sentence naming the change. A note that a living station
// holds is left alone; one that cannot be read keeps the dossier closed and says why. A change that
// meets a read refused by the disk fails, and leaves the books whole, as before or as after it, once
// the next opening has finished what it left.
#include <signal.h>

#include <climits>
#include <filesystem>
#include <functional>
#include <fstream>
#include <map>
#include <set>

#include "data/draft_lines.h"
#include "data/engine_files.h"
#include "entry/core/analytic_split.h"
#include "data/line_change_note.h"
#include "data/stopped_line_changes.h"
#include "entry/core/move_copy.h"
#include "entry/core_fixture.h"
#include "platform/system/files.h"
#include "platform/system/write_fault.h"
#include "posting/line_save.h"
#include "posting/new_lines.h"
#include "resources/string_table.h"
#include "runtime/dates.h"
#include "runtime/numbers.h"
#include "runtime/text.h"
#include "runtime/xbase.h"
#include "support/books_writes.h"
#include "support/draft_piece.h"
#include "support/other_process.h"
#include "support/refused_read.h"
#include "support/refused_write.h"

namespace entry_test {
namespace {

namespace fs = std::filesystem;
using namespace posting;

constexpr int kKilled = 128 + SIGKILL;

class StoppedLineChangeTest : public CoreTest {
 protected:
  // How the opening names draft line `recno` it left as it stands: as the lines window shows it.
  std::string DraftLineNamed(std::uint32_t recno) {
    if (!c50.GoTo(recno)) return "?";
    const std::string month = c50.GetField(L::BMOIS);
    return "la ligne " + Trimmed(c50.GetField(L::BNUM)) + " de la pi\xE8" "ce " + Trimmed(c50.GetField(L::BPIECE)) +
           " du journal " + Trimmed(c50.GetField(L::BJAL)) + " de " + month.substr(2, 2) + "/" +
           DecodeYear(month.substr(0, 2).c_str()) + " (compte " + Trimmed(c50.GetField(L::BCODE)) + ") du brouillard";
  }
  std::string Folder() const { return Dir() + "/je"; }
  void CloseTables() {
    c50.CloseTable();
    c60.CloseTable();
    CloseAllTables();
  }
  // The dossier as it stands, kept aside; put back before each point.
  void Keep() {
    CloseTables();
    fs::copy(Folder(), Dir() + "/kept", fs::copy_options::recursive);
    OpenTables();
  }
  void PutBack() {
    CloseTables();
    fs::remove_all(Folder());
    fs::copy(Dir() + "/kept", Folder(), fs::copy_options::recursive);
    OpenTables();
  }
  // The live records of the draft, the sort file, the headers, the chart and the sections.
  std::multiset<std::string> Books() { return LiveRecords(); }
  std::vector<std::string> Notes() { return LineChangeNoteFiles(DossierFolder, DossierCode); }

  // `change` killed before each of its writes in turn, from the dossier as it stands: each time the
  // finish leaves the books passing every invariant, as before or as after the change, and names
  // the change (`kind`) in one sentence whenever its note was found at work.
  void EachWriteKilled(const char* what, int kind, const std::function<bool(Table&, Table&)>& change) {
    SCOPED_TRACE(what);
    Keep();
    const std::multiset<std::string> before = Books();
    // The change uncut, in a child: its writes, and the books it leaves.
    long writes = 0;
    CloseTables();
    ASSERT_EQ(test_support::RunKilledAtWrite(LONG_MAX, [&] { return Run(change); }, &writes), 0);
    OpenTables();
    ASSERT_TRUE(Notes().empty()) << "the uncut change left its note";
    const std::multiset<std::string> after = Books();
    ASSERT_NE(after, before) << "the uncut change changed nothing";
    ASSERT_GT(writes, 2);
    long said = 0;
    for (long k = 1; k <= writes; ++k) {
      PutBack();
      CloseTables();
      ASSERT_EQ(test_support::RunKilledAtWrite(k, [&] { return Run(change); }), kKilled) << "write " << k;
      OpenTables();
      const StoppedLineChanges finished = FinishStoppedLineChanges();
      EXPECT_TRUE(finished.done) << "killed before write " << k << ": " << finished.said;
      EXPECT_TRUE(Notes().empty()) << "killed before write " << k << ": its note stays";
      const std::multiset<std::string> now = Books();
      EXPECT_TRUE(now == before || now == after) << "killed before write " << k << ": neither as before nor as after";
      if (finished.finished > 0) {
        ++said;
        EXPECT_EQ(finished.finished, 1);
        // One sentence, naming the change.
        EXPECT_NE(finished.said.find(LoadStr(kind)), std::string::npos) << finished.said;
        EXPECT_EQ(finished.said.find('\n'), std::string::npos) << finished.said;
        EXPECT_EQ(finished.said.find(". "), std::string::npos) << finished.said;
      } else {
        EXPECT_TRUE(finished.said.empty()) << finished.said;
      }
      ExpectInvariants(std::string(what) + ", killed before write " + std::to_string(k));
      ASSERT_FALSE(HasFailure()) << "killed before write " << k;
    }
    EXPECT_GT(said, writes / 2) << "the change stopped half-way was seldom named";
    PutBack();
    fs::remove_all(Dir() + "/kept");
  }

  // `change` run with the k-th read of `file` refused (EIO), k = 1, 2, ... until it reads the file
  // whole: each refused run fails, and the books are as before or as after the change once the next
  // opening has finished what it left (a line never with two sort records, nor a sort record pointing nowhere, nor another
  // line cancelled in place of its own).
  void EachReadRefused(const char* what, const std::string& file, const std::function<bool(Table&, Table&)>& change) {
    SCOPED_TRACE(what);
    Keep();
    // The books, the dossier's record aside: a piece number taken by a copy that failed is not
    // given back, as one taken by a piece left empty is not.
    auto books = [this] {
      std::multiset<std::string> b = Books();
      std::erase_if(b, [](const std::string& r) { return r.rfind(TableC10->tablePath + "|0|", 0) == 0; });
      return b;
    };
    const std::multiset<std::string> before = books();
    std::multiset<std::string> after;
    long refused = 0;
    // Read 0: the change uncut, and the books it leaves.
    for (int k = 0;; ++k) {
      PutBack();
      // The tables opened first: the change's own reads are counted.
      Table d, s;
      ASSERT_TRUE(d.OpenShared(PathC50(), L::kCodeTag) && s.OpenShared(PathC60(), T::kRecordTag));
      test_support::RefusedRead::Arm(file, k);
      const bool done = change(d, s);
      const int seen = test_support::RefusedRead::Seen();
      test_support::RefusedRead::Disarm();
      CloseLineChangeNote();
      if (k == 0) {
        ASSERT_TRUE(done) << "uncut";
        after = books();
        ASSERT_NE(after, before) << "the uncut change changed nothing";
        continue;
      }
      if (k > seen) {
        EXPECT_TRUE(done) << "read whole";
        break;
      }
      ++refused;
      EXPECT_FALSE(done) << "done though read " << k << " was refused";
      const StoppedLineChanges finished = FinishStoppedLineChanges();
      EXPECT_TRUE(finished.done) << "read " << k << " refused: " << finished.said;
      EXPECT_TRUE(Notes().empty()) << "read " << k << " refused: its note stays";
      const std::multiset<std::string> now = books();
      EXPECT_TRUE(now == before || now == after) << "read " << k << " refused: neither as before nor as after";
      DossierInvariants check;
      EXPECT_TRUE(check.Check()) << "read " << k << " refused\n" << check.Report();
      ASSERT_FALSE(HasFailure()) << "read " << k << " refused";
    }
    EXPECT_GT(refused, 2);
    ExpectInvariants(std::string(what) + ", read whole");
    PutBack();
    fs::remove_all(Dir() + "/kept");
  }

  // `change` run with its k-th write of a table refused once by `fault`, k = 1, 2, ... each from the
  // dossier as it stands now, until it goes through uncut: each refused run fails, says so in its one
  // sentence (beginning with `said`), no box of the engine's beside it, and leaves the books as they
  // were, passing every invariant.
  void EachWriteRefused(const char* what, const char* said, platform::WriteFault fault,
                        const std::function<bool(Table&, Table&, std::string*)>& change) {
    SCOPED_TRACE(what);
    Keep();
    const std::multiset<std::string> before = Books();
    long refused = 0;
    for (int k = 1;; ++k) {
      PutBack();
      test_support::RefusedWrite::Arm(".dbf", k, fault);
      Messages().clear();
      std::string refusal;
      const bool done = change(c50, c60, &refusal);
      const int seen = test_support::RefusedWrite::Seen();
      const std::string which = platform::RefusedChange();
      test_support::RefusedWrite::Disarm();
      CloseLineChangeNote();
      if (k > seen) {
        EXPECT_TRUE(done) << "uncut: " << refusal;
        break;
      }
      ++refused;
      EXPECT_FALSE(done) << "done though write " << k << " was refused: " << which;
      EXPECT_TRUE(Books() == before) << "write " << k << " refused: " << which;
      EXPECT_EQ(refusal.rfind(said, 0), 0u) << k << ": " << refusal;
      EXPECT_NE(refusal.find("rien n'a chang\xE9"), std::string::npos) << k << ": " << refusal;
      EXPECT_TRUE(Messages().empty()) << "an engine box beside the change's own: " << Messages()[0];
      EXPECT_TRUE(Notes().empty()) << "write " << k << " refused: its note stays";
      DossierInvariants check;
      EXPECT_TRUE(check.Check()) << "write " << k << " refused\n" << check.Report();
      ASSERT_FALSE(HasFailure()) << "write " << k << " refused: " << which;
    }
    EXPECT_GT(refused, 10);
    PutBack();
    fs::remove_all(Dir() + "/kept");
  }

  // The change in the child, on tables of its own; its note let go as the program leaves a dossier.
  bool Run(const std::function<bool(Table&, Table&)>& change) {
    Table d, s;
    const bool done = TableC10->OpenShared(PathC10(), "C10CODE") && TableC20->OpenShared(PathC20(), "C20CODE") &&
                      TableC30->OpenShared(PathC30(), "C30CODE") && d.OpenShared(PathC50(), L::kCodeTag) &&
                      s.OpenShared(PathC60(), T::kRecordTag) && change(d, s);
    CloseLineChangeNote();
    return done;
  }

  // `piece` moved to journal-month `target` as the draft's window moves it, on cursors of its own.
  static std::function<bool(Table&, Table&)> PieceMove(const std::pair<std::string, std::string>& piece,
                                                       const std::string& target) {
    return [piece, target](Table& d, Table& s) {
      d.CloseTable();
      s.CloseTable();
      return entry::MovePiece(piece.first, piece.second, entry::PieceTarget::From(target)).outcome ==
             entry::PieceOutcome::Done;
    };
  }

  // The first piece of the draft with two live general lines or more, and another journal-month (the
  // test fails when the draft has none).
  void PieceAndTarget(std::pair<std::string, std::string>* piece, std::string* target) {
    std::map<std::pair<std::string, std::string>, int> lines;
    for (bool more = c50.GoTop(L::kCodeTag); more; more = c50.Skip(1))
      if (!c50.IsDeleted() && c50.GetField(L::BCLE)[0] == 'Z')
        ++lines[{std::string(c50.GetField(L::BMOIS)) + c50.GetField(L::BJAL), c50.GetField(L::BPIECE)}];
    for (const auto& [p, n] : lines)
      if (n >= 2 && piece->first.empty()) *piece = p;
    for (const auto& [p, n] : lines)
      if (p.first != piece->first) *target = p.first;
    ASSERT_FALSE(piece->first.empty());
    ASSERT_FALSE(target->empty());
  }

  // A bank line of the draft saved onto 60640000, its euros 12.34 more (its francs 80.94 more too when
  // `francs`).
  SaveRequest BankLineToAnotherAccount(bool francs) {
    std::uint32_t bank = 0;
    for (std::uint32_t r = 1; r <= c50.RecCount() && bank == 0; ++r)
      if (c50.GoTo(r) && !c50.IsDeleted() && c50.GetField(L::BCLE)[0] == 'Z' &&
          std::string(c50.GetField(L::BCODE)) == "51200000")
        bank = r;
    EXPECT_NE(bank, 0u);
    return Onto(bank, "60640000", [francs](double& f, double& e) {
      f = francs ? f + 80.94 : 0;
      e += 12.34;
    });
  }

  // Line `recno` saved onto `account` as it stands, its amounts on its sense as `amounts` makes them
  // from its own (francs, euros).
  // A blank new line filled and saved as another station would: 60640000, 100,00 euros debit.
  void FillOnAnotherStation(std::uint32_t recno) {
    SaveRequest save = Onto(recno, "60640000", [](double&, double&) {});
    save.values.sense = 'D';
    save.values.euros = true;
    save.values.amounts = LineAmounts{};
    save.values.amounts.debitE = 100;
    ASSERT_EQ(SaveLineRecord(c50, c60, save).outcome, SaveOutcome::Saved);
  }
  SaveRequest Onto(std::uint32_t recno, const char* account, const std::function<void(double&, double&)>& amounts) {
    SaveRequest save;
    if (recno == 0 || !c50.GoTo(recno)) return save;
    const LineRecord line = ReadLineRecord(c50);
    save.key = line.key;
    save.previousAccount = line.account;
    save.values.day = line.day;
    save.values.account = account;
    save.values.label1 = line.label1;
    save.values.euros = line.entry == 'O';
    save.values.sense = line.sense;
    LineAmounts& a = save.values.amounts;
    double &francs = line.sense == 'D' ? a.debitF : a.creditF, &euros = line.sense == 'D' ? a.debitE : a.creditE;
    francs = line.francs;
    euros = line.euros;
    amounts(francs, euros);
    return save;
  }

  // The live general line with the largest analytic split on both axes (its "V", "W", "X" and "Y"
  // records), saved onto 62600000, which takes no analytic, at another amount: its split goes with
  // the save. *records gets the size of the split.
  SaveRequest SplitLineToAnotherAccount(std::size_t* records) {
    std::uint32_t best = 0;
    *records = 0;
    for (std::uint32_t r = 1; r <= c50.RecCount(); ++r) {
      if (!c50.GoTo(r) || c50.IsDeleted() || c50.GetField(L::BCLE)[0] != 'Z') continue;
      const std::string key = L::AnalyticKey(c50);
      std::set<char> kinds;
      std::size_t live = 0;
      for (bool more = c50.SeekNotBelow(L::kAnalyticTag, key.c_str()); more; more = c50.Skip(1)) {
        const char m = c50.MatchKey(key.c_str(), L::kAnalyticKeyLength, L::BMOIS, L::BJAL, L::BPIECE, L::BCG, L::BNUM);
        if (m != 'O' && m != 'o') break;
        if (m == 'o') continue;
        kinds.insert(c50.GetField(L::BCLE)[0]);
        ++live;
      }
      c50.SetOrder(L::kCodeTag);
      if (kinds.size() == 4 && live > *records) {
        *records = live;
        best = r;
      }
    }
    return Onto(best, "62600000", [](double&, double& euros) { euros = euros > 5 ? euros - 5 : 5; });
  }

  // A live bank line without any analytic record, its split's key on the first axis, the split's
  // header made (as the analytic lines window makes it on opening).
  entry::SplitKey BankLineSplitHeader() {
    for (std::uint32_t r = 1; r <= c50.RecCount(); ++r) {
      if (!c50.GoTo(r) || c50.IsDeleted() || c50.GetField(L::BCLE)[0] != 'Z' ||
          std::string(c50.GetField(L::BCODE)) != "51200000")
        continue;
      const LineRecord line = ReadLineRecord(c50);
      const std::string analytic = L::AnalyticKey(c50);
      const char m = c50.SeekNotBelow(L::kAnalyticTag, analytic.c_str())
                         ? c50.MatchKey(analytic.c_str(), L::kAnalyticKeyLength, L::BMOIS, L::BJAL, L::BPIECE, L::BCG,
                                        L::BNUM)
                         : '#';
      c50.SetOrder(L::kCodeTag);
      if (m == 'O' || m == 'o') continue;
      const long long sign = line.sense == 'D' ? 1 : -1;
      const entry::SplitKey key = entry::SplitKey::Of(line.key, line.account, 'V', line.day, line.labelCode, line.label1,
                                                      sign * ToCents(line.francs), sign * ToCents(line.euros));
      bool created = false;
      EXPECT_EQ(entry::KeepSplitHeader(c50, c60, key, &created), entry::SplitOpening::Opened);
      EXPECT_TRUE(created);
      // The header made as a change of lines: its note let go, as the program does when it leaves the
      // dossier, so that the notes found next are the change's own.
      CloseLineChangeNote();
      return key;
    }
    ADD_FAILURE() << "no bank line without a split";
    return entry::SplitKey();
  }

  // A live analytic line ("W" or "Y") of the draft: its record and its C50ANAL key.
  std::pair<std::uint32_t, std::string> AnalyticLine(std::size_t nth) {
    for (std::uint32_t r = 1; r <= c50.RecCount(); ++r) {
      if (!c50.GoTo(r) || c50.IsDeleted()) continue;
      const char kind = c50.GetField(L::BCLE)[0];
      if ((kind != 'W' && kind != 'Y') || nth-- > 0) continue;
      std::string key;
      for (int f : {L::BMOIS, L::BJAL, L::BPIECE, L::BCG, L::BNUM, L::BCLE, L::BNUMA}) key += c50.GetField(f);
      return {r, key};
    }
    return {0, ""};
  }
};

// The changes' names, as the opening gives them.
constexpr int kLineSavedName = 35010;
constexpr int kPieceMovedName = 35013;
constexpr int kLinesAppendedName = 35015;
constexpr int kDefaultSplitName = 35019;
constexpr int kLineCreatedName = 35050;
constexpr int kPieceCreatedName = 35051;
constexpr int kSplitHeaderKeptName = 35052;
constexpr int kAnalyticLineCreatedName = 35053;
constexpr int kSplitRenumberedName = 35054;
constexpr int kSplitRefreshedName = 35055;

TEST_F(StoppedLineChangeTest, AChangeKilledAtAnyWriteIsFinishedOrTakenBackAndSaid) {
  // A bank line saved onto another account with another amount.
  const SaveRequest save = BankLineToAnotherAccount(true);
  ASSERT_FALSE(save.key.empty());
  ASSERT_NO_FATAL_FAILURE(EachWriteKilled("a line saved", kLineSavedName, [&](Table& d, Table& s) {
    return SaveLineRecord(d, s, save).outcome == SaveOutcome::Saved;
  }));

  std::pair<std::string, std::string> piece;
  std::string target;
  ASSERT_NO_FATAL_FAILURE(PieceAndTarget(&piece, &target));
  ASSERT_NO_FATAL_FAILURE(EachWriteKilled("a piece moved", kPieceMovedName, PieceMove(piece, target)));

  ASSERT_NO_FATAL_FAILURE(EachWriteKilled("two lines appended", kLinesAppendedName, [&](Table& d, Table& s) {
    return WriteDraftLines(d, s, test_support::TwoLinePiece(target)) == DraftWrite::Written;
  }));
}

TEST_F(StoppedLineChangeTest, ASplitDroppedOrMadeByAChangeKilledAtAnyWriteGoesWholeOrStaysWhole) {
  // A line with a split on both axes saved onto an account without analytic: killed anywhere, its split
  // stays whole under the line still on its account, or goes whole with the line on the new one.
  std::size_t records = 0;
  const SaveRequest save = SplitLineToAnotherAccount(&records);
  ASSERT_GE(records, 4u) << "no line with a split on both axes";
  ASSERT_NO_FATAL_FAILURE(
      EachWriteKilled("a line saved onto another account, its split dropped", kLineSavedName, [&](Table& d, Table& s) {
        const SaveResult saved = SaveLineRecord(d, s, save);
        return saved.outcome == SaveOutcome::Saved && saved.analyticRemoved == static_cast<long>(records);
      }));

  // The default split of a bank line onto two sections: killed after any of its lines, no part of it
  // stays.
  const entry::SplitKey key = BankLineSplitHeader();
  ASSERT_FALSE(HasFailure());
  const std::string text = "CA1=SAV %=60\r\nCA1=COMMERCE %=40\r\n";
  ASSERT_NO_FATAL_FAILURE(EachWriteKilled("a default split", kDefaultSplitName, [&](Table& d, Table& s) {
    long made = 0;
    return entry::MakeDefaultSplit(d, s, key, text, 6.55957, true, nullptr, &made) == entry::DefaultSplitOutcome::Made &&
           made == 2;
  }));
}

// "Créer Ligne" after a line with a split of eight records on two axes whose next number is taken:
// the group renumbered with its analytic lines and sort records, then the new line. Killed anywhere,
// the next opening leaves every line with its split, its sort record and its number from before, or
// every one from after with the new line.
TEST_F(StoppedLineChangeTest, ANewLineKilledAtAnyWriteLeavesTheGroupNumberedWhole) {
  const std::uint32_t line = SplitLineBeforeATakenNumber(8);
  ASSERT_NE(line, 0u) << "no line with a split of eight records before a taken number";
  const LineAfter after = After(line);
  ASSERT_NO_FATAL_FAILURE(EachWriteKilled("a new line after a line with its split", kLineCreatedName,
                                          [&](Table& d, Table& s) {
                                            const NewLineResult made = CreateLineAfter(d, s, after);
                                            return made.outcome == NewLineOutcome::Created && made.renumbered > 8;
                                          }));
}

// A new piece, and the split's own writes as its window makes them: its header made, a new analytic
// line, the axis renumbered for it, and, once its line was saved with another day, the header and the
// lines given that day (their sort records with them). Killed anywhere, each stands whole or not at all.
// The same "Créer Ligne" with a write refused, each in turn from the books as they were: nothing of it
// stays (the new line, once appended, stays cancelled), and the one sentence says that the line was not
// created.
TEST_F(StoppedLineChangeTest, ANewLineRefusedAtAnyWriteChangesNothingAndSaysSo) {
  const std::uint32_t line = SplitLineBeforeATakenNumber(8);
  ASSERT_NE(line, 0u);
  const LineAfter after = After(line);
  ASSERT_NO_FATAL_FAILURE(EachWriteRefused("a new line after a line with its split",
                                           "La ligne n'a pas \xE9t\xE9 cr\xE9\xE9" "e", platform::WriteFault::kFailOnce,
                                           [&](Table& d, Table& s, std::string* refusal) {
                                             const NewLineResult made = CreateLineAfter(d, s, after);
                                             *refusal = made.refusal;
                                             return made.outcome == NewLineOutcome::Created;
                                           }));
}

// The same "Créer Ligne" killed half-way through its renumbering, then a line it named numbered
// otherwise by another station: the next opening puts the group in order around that line, leaves
// the number the other station wrote, and names the line in its sentence.
TEST_F(StoppedLineChangeTest, ALineNumberedSinceOnAnotherStationIsLeftAsItStandsAndNamed) {
  const std::uint32_t line = SplitLineBeforeATakenNumber(8);
  ASSERT_NE(line, 0u);
  const LineAfter after = After(line);
  const auto create = [&](Table& d, Table& s) { return CreateLineAfter(d, s, after).outcome == NewLineOutcome::Created; };
  Keep();
  long writes = 0;
  CloseTables();
  ASSERT_EQ(test_support::RunKilledAtWrite(LONG_MAX, [&] { return Run(create); }, &writes), 0);
  PutBack();
  CloseTables();
  ASSERT_EQ(test_support::RunKilledAtWrite(writes / 2, [&] { return Run(create); }), kKilled);
  OpenTables();
  // The first line the stopped change renumbers, given a number of the other station's.
  const std::vector<std::string> notes = Notes();
  ASSERT_EQ(notes.size(), 1u);
  std::string text;
  ASSERT_TRUE(platform::ReadWholeFile(DossierFolder + notes[0], text));
  std::uint32_t renumbered = 0;
  for (const LineChangeNoteText::Item& item : ReadLineChangeNote(text).items)
    if (item.what == 'R' && renumbered == 0) renumbered = static_cast<std::uint32_t>(std::atol(item.fields[0].c_str()));
  ASSERT_NE(renumbered, 0u) << text;
  {
    const test_support::SetUpPermit permit("numero d un autre poste");
    ASSERT_TRUE(c50.GoTo(renumbered) && c50.PutField(L::BNUM, "0777") && c50.Commit());
  }
  const StoppedLineChanges finished = FinishStoppedLineChanges();
  EXPECT_TRUE(finished.done) << finished.said;
  ASSERT_TRUE(c50.GoTo(renumbered));
  EXPECT_EQ(std::string(c50.GetField(L::BNUM)), "0777") << "the other station's number stays";
  EXPECT_NE(finished.said.find(DraftLineNamed(renumbered)), std::string::npos)
      << finished.said;
  EXPECT_TRUE(Notes().empty());
  PutBack();
  fs::remove_all(Dir() + "/kept");
}

// A piece move killed once some of its lines are moved and others not, then the day of a line still
// where the move found it written otherwise by another station: the next opening moves that line on
// with the others and the other station's day, and names it in its sentence. The same from a note
// of an older program, which names no day before.
TEST_F(StoppedLineChangeTest, ADayWrittenSinceOnAnotherStationIsKeptWhenAPieceMoveIsFinished) {
  std::pair<std::string, std::string> piece;
  std::string target;
  ASSERT_NO_FATAL_FAILURE(PieceAndTarget(&piece, &target));
  const std::string from = PadRight(piece.first, 7), to = PadRight(target, 7);
  const auto move = PieceMove(piece, target);
  Keep();
  long writes = 0;
  CloseTables();
  ASSERT_EQ(test_support::RunKilledAtWrite(LONG_MAX, [&] { return Run(move); }, &writes), 0);
  for (const bool older : {false, true}) {
    SCOPED_TRACE(older ? "a note of an older program" : "the day before noted");
    // The first kill that leaves a line moved and one still to move, that one taken.
    std::uint32_t line = 0;
    std::string text;
    for (long k = 1; k <= writes && line == 0; ++k) {
      PutBack();
      CloseTables();
      ASSERT_EQ(test_support::RunKilledAtWrite(k, [&] { return Run(move); }), kKilled) << "write " << k;
      OpenTables();
      const std::vector<std::string> notes = Notes();
      if (notes.size() != 1 || !platform::ReadWholeFile(DossierFolder + notes[0], text)) continue;
      std::uint32_t left = 0;
      bool moved = false;
      for (const LineChangeNoteText::Item& item : ReadLineChangeNote(text).items) {
        if (item.what != 'M') continue;
        const auto recno = static_cast<std::uint32_t>(std::atol(item.fields[0].c_str()));
        ASSERT_TRUE(c50.GoTo(recno));
        const std::string at = std::string(c50.GetField(L::BMOIS)) + c50.GetField(L::BJAL);
        moved = moved || at == to;
        if (at == from && left == 0) left = recno;
      }
      if (moved) line = left;
    }
    ASSERT_NE(line, 0u) << "no kill left the piece part moved";
    if (older) {
      // The day before dropped from the note, as an older program wrote it.
      std::string kept;
      for (const std::string& row : SplitText(text.c_str(), false, '\n'))
        if (row.rfind("J\t", 0) != 0) kept += row + "\n";
      ASSERT_NE(kept, text) << "no day before in the note";
      std::ofstream(DossierFolder + Notes()[0], std::ios::binary | std::ios::trunc) << kept;
    }
    ASSERT_TRUE(c50.GoTo(line));
    const std::string day = std::string(c50.GetField(L::BJOUR)) == "03" ? "04" : "03";
    {
      const test_support::SetUpPermit permit("jour d un autre poste");
      ASSERT_TRUE(c50.GoTo(line) && c50.PutField(L::BJOUR, day.c_str()) && c50.Commit());
    }
    const StoppedLineChanges finished = FinishStoppedLineChanges();
    EXPECT_TRUE(finished.done) << finished.said;
    ASSERT_TRUE(c50.GoTo(line));
    EXPECT_EQ(std::string(c50.GetField(L::BMOIS)) + c50.GetField(L::BJAL), to) << "the piece moved whole";
    EXPECT_EQ(std::string(c50.GetField(L::BJOUR)), day) << "the other station's day stays";
    EXPECT_NE(finished.said.find(DraftLineNamed(line)), std::string::npos)
        << finished.said;
    EXPECT_TRUE(Notes().empty());
    ExpectInvariants("a piece move finished over another station's day");
  }
  PutBack();
  fs::remove_all(Dir() + "/kept");
}


// An empty new line given up, stopped once its note is written, then filled and saved on another
// station (60640000, 100,00 EUR debit): the next opening leaves that station's line as it wrote it,
// names it, and the books agree.
TEST_F(StoppedLineChangeTest, ABlankLineFilledSinceOnAnotherStationIsLeftAsItStandsAndNamed) {
  std::pair<std::string, std::string> piece;
  std::string target;
  ASSERT_NO_FATAL_FAILURE(PieceAndTarget(&piece, &target));
  const NewLineResult fresh = CreatePieceLine(c50, c60, LinePrefix(piece.first), piece.second, '1', 'O');
  ASSERT_EQ(fresh.outcome, NewLineOutcome::Created);
  CloseLineChangeNote();
  Keep();
  // Killed at its first write after its note: the first kill that leaves a note at work.
  bool noted = false;
  for (long k = 1; k <= 8 && !noted; ++k) {
    CloseTables();
    ASSERT_EQ(test_support::RunKilledAtWrite(
                  k, [&] { return Run([&](Table& d, Table& s) { return RemoveEmptyNewLine(d, s, fresh.key); }); }),
              kKilled);
    OpenTables();
    std::string text;
    noted = Notes().size() == 1 && platform::ReadWholeFile(DossierFolder + Notes()[0], text) &&
            ReadLineChangeNote(text).atWork;
    if (!noted) PutBack();
  }
  ASSERT_TRUE(noted) << "the change left no note";
  ASSERT_TRUE(c50.GoTo(fresh.recno) && !c50.IsDeleted()) << "the change wrote past its note";
  ASSERT_NO_FATAL_FAILURE(FillOnAnotherStation(fresh.recno));
  CloseLineChangeNote();
  const StoppedLineChanges finished = FinishStoppedLineChanges();
  EXPECT_TRUE(finished.done) << finished.said;
  ASSERT_TRUE(c50.GoTo(fresh.recno));
  EXPECT_FALSE(c50.IsDeleted()) << "the other station's line was cancelled";
  EXPECT_EQ(std::string(c50.GetField(L::BCODE)), "60640000");
  EXPECT_NE(finished.said.find(DraftLineNamed(fresh.recno)), std::string::npos) << finished.said;
  // The stopped change's station told apart: this very one here, never a bare number.
  EXPECT_NE(finished.said.find(" (ce poste-ci) le "), std::string::npos) << finished.said;
  EXPECT_EQ(finished.said.find("n\xB0 "), std::string::npos) << finished.said;
  EXPECT_TRUE(Notes().empty());
  ExpectInvariants("a blank line filled since on another station");
  PutBack();
  fs::remove_all(Dir() + "/kept");
}

// A piece copied, stopped with all its new records appended but the last, then a line added to the
// new piece and saved on another station (60640000, 100,00 EUR debit): the next opening counts the
// copy's own records, not the piece's. The copy cut short is taken back; the other station's line
// stays as it wrote it, named, and the books agree.
TEST_F(StoppedLineChangeTest, ALineAddedSinceToAPieceCutShortIsNotTakenForTheChangesOwn) {
  std::pair<std::string, std::string> piece;
  std::string target;
  ASSERT_NO_FATAL_FAILURE(PieceAndTarget(&piece, &target));
  const std::function<bool(Table&, Table&)> copy = [piece, target](Table& d, Table& s) {
    d.CloseTable();
    s.CloseTable();
    return entry::CopyPiece(piece.first, piece.second, entry::PieceTarget::From(target)).outcome ==
           entry::PieceOutcome::Done;
  };
  Keep();
  long writes = 0;
  CloseTables();
  ASSERT_EQ(test_support::RunKilledAtWrite(LONG_MAX, [&] { return Run(copy); }, &writes), 0);
  // The piece the copy appends, as its note names it (month, journal, number, records, after), and its
  // live records past `after`.
  std::vector<std::string> item;
  auto appended = [&] {
    std::vector<std::uint32_t> live;
    for (std::uint32_t r = static_cast<std::uint32_t>(std::atol(item[4].c_str())) + 1; r <= c50.RecCount(); ++r)
      if (c50.GoTo(r) && !c50.IsDeleted() && std::string(c50.GetField(L::BMOIS)) == item[0] &&
          Trimmed(c50.GetField(L::BJAL)) == Trimmed(item[1]) && std::string(c50.GetField(L::BPIECE)) == item[2])
        live.push_back(r);
    return live;
  };
  bool found = false;
  for (long k = writes; k >= 1 && !found; --k) {
    PutBack();
    CloseTables();
    ASSERT_EQ(test_support::RunKilledAtWrite(k, [&] { return Run(copy); }), kKilled) << "write " << k;
    OpenTables();
    std::string text;
    if (Notes().size() != 1 || !platform::ReadWholeFile(DossierFolder + Notes()[0], text)) continue;
    for (const LineChangeNoteText::Item& i : ReadLineChangeNote(text).items)
      if (i.what == 'P' && i.fields.size() == 5) item = i.fields;
    found = !item.empty() && static_cast<long>(appended().size()) + 1 == std::atol(item[3].c_str());
  }
  ASSERT_TRUE(found) << "no kill left the copy one record short";
  const std::vector<std::uint32_t> own = appended();
  // The other station's line: made blank in the new piece, then saved.
  const NewLineResult fresh =
      CreatePieceLine(c50, c60, posting::LinePrefix(item[0] + PadRight(item[1], 3)), item[2], '1', 'O');
  ASSERT_EQ(fresh.outcome, NewLineOutcome::Created);
  ASSERT_NO_FATAL_FAILURE(FillOnAnotherStation(fresh.recno));
  CloseLineChangeNote();
  const StoppedLineChanges finished = FinishStoppedLineChanges();
  EXPECT_TRUE(finished.done) << finished.said;
  for (const std::uint32_t r : own) EXPECT_TRUE(c50.GoTo(r) && c50.IsDeleted()) << "the copy cut short kept record " << r;
  ASSERT_TRUE(c50.GoTo(fresh.recno));
  EXPECT_FALSE(c50.IsDeleted()) << "the other station's line was cancelled";
  EXPECT_EQ(std::string(c50.GetField(L::BCODE)), "60640000");
  EXPECT_NE(finished.said.find(DraftLineNamed(fresh.recno)), std::string::npos) << finished.said;
  EXPECT_TRUE(Notes().empty());
  ExpectInvariants("a line added since to a piece copied cut short");
  PutBack();
  fs::remove_all(Dir() + "/kept");
}

TEST_F(StoppedLineChangeTest, ANewPieceAndASplitsOwnWritesKilledAtAnyWriteStandWholeOrNotAtAll) {
  const std::string prefix = L::Key(c50).substr(0, L::kJournalMonthKeyLength);
  ASSERT_NO_FATAL_FAILURE(EachWriteKilled("a new piece", kPieceCreatedName, [&](Table& d, Table& s) {
    return CreatePieceLine(d, s, prefix, "999001", '1', 'O').outcome == NewLineOutcome::Created;
  }));

  // A bank line's split opened for the first time: its header made.
  std::uint32_t bank = 0;
  for (std::uint32_t r = 1; r <= c50.RecCount() && bank == 0; ++r)
    if (c50.GoTo(r) && !c50.IsDeleted() && std::string(c50.GetField(L::BCODE)) == "51200000") bank = r;
  ASSERT_NE(bank, 0u);
  const entry::SplitKey bankKey = SplitKeyOf(bank);
  ASSERT_NO_FATAL_FAILURE(EachWriteKilled("a split's header made", kSplitHeaderKeptName, [&](Table& d, Table& s) {
    bool created = false;
    d.SetOrder(L::kAnalyticTag);
    return entry::KeepSplitHeader(d, s, bankKey, &created) == entry::SplitOpening::Opened && created;
  }));

  // The line with a split of eight records: its first axis renumbered, then a new line on it.
  const std::uint32_t line = SplitLineBeforeATakenNumber(8);
  ASSERT_NE(line, 0u);
  const entry::SplitKey key = SplitKeyOf(line);
  ASSERT_NO_FATAL_FAILURE(EachWriteKilled("an axis renumbered", kSplitRenumberedName, [&](Table& d, Table& s) {
    return entry::RenumberSplitLines(d, s, key, 2) == posting::kRenumberStep;
  }));
  entry::NewSplitLine blank;
  blank.number = "0009";
  blank.day = key.Day();
  blank.labelCode = key.LabelCode();
  blank.label = key.Label();
  blank.sense = key.Sense();
  ASSERT_NO_FATAL_FAILURE(EachWriteKilled("a new analytic line", kAnalyticLineCreatedName, [&](Table& d, Table& s) {
    return entry::AppendSplitLine(d, s, key, blank);
  }));

  // The line saved with another day, as the line form saves it: the split opened again gives its
  // header, then its lines, the new day.
  const SaveRequest save = OnAnotherDay(line);
  ASSERT_EQ(SaveLineRecord(c50, c60, save).outcome, SaveOutcome::Saved);
  CloseLineChangeNote();
  const entry::SplitKey moved = SplitKeyOf(line);
  ASSERT_EQ(moved.Day(), save.values.day);
  ASSERT_NO_FATAL_FAILURE(EachWriteKilled("a split's header given its line's day", kSplitHeaderKeptName,
                                          [&](Table& d, Table& s) {
                                            d.SetOrder(L::kAnalyticTag);
                                            return entry::KeepSplitHeader(d, s, moved, nullptr) ==
                                                   entry::SplitOpening::Opened;
                                          }));
  ASSERT_EQ(entry::KeepSplitHeader(c50, c60, moved, nullptr), entry::SplitOpening::Opened);
  CloseLineChangeNote();
  ASSERT_NO_FATAL_FAILURE(EachWriteKilled("the lines given their line's day", kSplitRefreshedName,
                                          [&](Table& d, Table& s) {
                                            std::string refusal;
                                            return entry::RefreshSplitLines(d, s, moved, &refusal) >= 3 &&
                                                   refusal.empty();
                                          }));
}

TEST_F(StoppedLineChangeTest, AnAnalyticChangeOrADroppedSplitMeetingARefusedReadFailsAndLeavesTheBooksWhole) {
  // An analytic line cancelled, and another saved onto another amount, each read of the sort file
  // refused in turn (a sort record that could not be read is not one that is missing), then each
  // read of the draft (a line whose cancel mark could not be read is not a cancelled one: its
  // section's total moves with it or not at all).
  const auto [cancelled, unused] = AnalyticLine(0);
  const auto [saved, savedKey] = AnalyticLine(1);
  ASSERT_NE(cancelled, 0u);
  ASSERT_NE(saved, 0u);
  ASSERT_TRUE(c50.GoTo(saved));
  const LineRecord analytic = ReadLineRecord(c50);
  const auto cancel = [&](Table& d, Table& s) {
    return entry::CancelSplitLine(d, s, cancelled, "ligne") == LineChange::Done;
  };
  const auto saveAnalytic = [&](Table& d, Table& s) {
    entry::AnalyticLineValues v;
    v.day = analytic.day;
    v.section = analytic.account;
    v.label = analytic.label1;
    v.sense = analytic.sense;
    v.francs = ToCents(analytic.francs) + 656;
    v.euros = ToCents(analytic.euros) + 100;
    return entry::SaveAnalyticLineRecord(d, s, savedKey, v) == entry::AnalyticSaveOutcome::Saved;
  };
  const struct {
    const char* what;
    const char* file;
    std::function<bool(Table&, Table&)> change;
  } cases[] = {
      {"an analytic line cancelled, the sort file's reads refused", "/c60je.dbf", cancel},
      {"an analytic line saved, the sort file's reads refused", "/c60je.dbf", saveAnalytic},
      {"an analytic line cancelled, the draft's reads refused", "/c50je.dbf", cancel},
      {"an analytic line saved, the draft's reads refused", "/c50je.dbf", saveAnalytic},
  };
  for (const auto& c : cases) ASSERT_NO_FATAL_FAILURE(EachReadRefused(c.what, c.file, c.change));
  // A line saved onto another account, each read of the draft's index refused in turn: its split is
  // dropped whole or kept whole.
  std::size_t records = 0;
  const SaveRequest save = SplitLineToAnotherAccount(&records);
  ASSERT_GE(records, 4u);
  ASSERT_NO_FATAL_FAILURE(
      EachReadRefused("a line saved onto another account, its split dropped", "/c50je.mdx", [&](Table& d, Table& s) {
        return SaveLineRecord(d, s, save).outcome == SaveOutcome::Saved;
      }));
}

TEST_F(StoppedLineChangeTest, ASaveMeetingARefusedReadOfTheSortFileFailsAndLeavesTheBooksWhole) {
  // A line saved onto another account, each read of the sort file refused in turn: a sort record it
  // could not read is not one that is missing.
  const SaveRequest save = BankLineToAnotherAccount(false);
  ASSERT_FALSE(save.key.empty());
  ASSERT_NO_FATAL_FAILURE(EachReadRefused("a line saved", "/c60je.dbf", [&](Table& d, Table& s) {
    return SaveLineRecord(d, s, save).outcome == SaveOutcome::Saved;
  }));
}

TEST_F(StoppedLineChangeTest, ACopyMeetingARefusedReadOfTheDraftFailsAndLeavesTheBooksWhole) {
  // A piece copied, each read of the draft refused in turn: a new line whose number could not be read
  // back is not taken for the line before it.
  std::pair<std::string, std::string> piece;
  std::string target;
  ASSERT_NO_FATAL_FAILURE(PieceAndTarget(&piece, &target));
  ASSERT_NO_FATAL_FAILURE(EachReadRefused("a piece copied", "/c50je.dbf", [&](Table& d, Table& s) {
    d.CloseTable();
    s.CloseTable();
    return entry::CopyPiece(piece.first, piece.second, entry::PieceTarget::From(target)).outcome ==
           entry::PieceOutcome::Done;
  }));
}

TEST_F(StoppedLineChangeTest, ASaveRefusedForGoodAndTheNextOpeningSayTheSame) {
  // A line saved onto another account, the disk refusing every change from its k-th on (a disk gone
  // read-only after an error), the save's take-back and the marking of its note included; then the
  // disk in order again and the dossier opened. What the save says and what the opening says agree,
  // and both are true: a save that says nothing changed leaves the books as they were, and an opening
  // that finds its note says it had nothing to redo; a save that could not take back all it wrote is
  // finished or taken back by the opening.
  const SaveRequest save = BankLineToAnotherAccount(true);
  ASSERT_FALSE(save.key.empty());
  Keep();
  const std::multiset<std::string> before = Books();
  ASSERT_EQ(SaveLineRecord(c50, c60, save).outcome, SaveOutcome::Saved);
  const std::multiset<std::string> after = Books();
  long nothingLeft = 0, finishedAfter = 0;
  for (long k = 1;; ++k) {
    SCOPED_TRACE("every change refused from the " + std::to_string(k) + "th");
    PutBack();
    platform::SetWriteFault(platform::WriteFault::kFailForGood, k);
    const SaveResult saved = SaveLineRecord(c50, c60, save);
    const long writes = platform::WritesCounted();
    platform::SetWriteFault(platform::WriteFault::kNone, 0);
    CloseLineChangeNote();
    if (saved.outcome == SaveOutcome::Saved) {
      EXPECT_GT(k, 3);
      break;
    }
    ASSERT_EQ(saved.outcome, SaveOutcome::Failed) << saved.refusal;
    // The indexes whose update the refusal cut short made again, as the opening does first.
    CloseTables();
    for (const std::string& table : {PathC10(), PathC20(), PathC30(), PathC50(), PathC60()}) {
      bool repaired = false;
      RepairInterruptedIndex(table + ".dbf", &repaired);
    }
    OpenTables();
    const std::multiset<std::string> now = Books();
    const StoppedLineChanges finished = FinishStoppedLineChanges();
    EXPECT_TRUE(finished.done) << finished.said << "\nthe save said: " << saved.refusal;
    if (saved.putBack) {
      // Said whole: the books as before; an opening that finds the note has nothing to redo.
      EXPECT_TRUE(now == before) << "said put back, yet not as before: " << saved.refusal;
      EXPECT_NE(saved.refusal.find("rien n'a chang\xE9"), std::string::npos) << saved.refusal;
      if (finished.finished > 0) {
        ++nothingLeft;
        EXPECT_NE(saved.refusal.find("prochaine ouverture"), std::string::npos) << saved.refusal;
        EXPECT_NE(finished.said.find("rien n'\xE9tait \xE0 refaire"), std::string::npos) << finished.said;
      }
      EXPECT_TRUE(Books() == before) << finished.said;
    } else {
      // Said not taken back: the opening finishes the change, or takes it back, or finds it whole.
      ++finishedAfter;
      EXPECT_EQ(saved.refusal.find("rien n'a chang\xE9"), std::string::npos) << saved.refusal;
      EXPECT_EQ(finished.finished, 1) << finished.said;
      const std::multiset<std::string> opened = Books();
      EXPECT_TRUE(opened == before || opened == after) << finished.said;
    }
    EXPECT_TRUE(Notes().empty());
    ExpectInvariants("refused for good from change " + std::to_string(k) + " of " + std::to_string(writes));
    ASSERT_FALSE(HasFailure());
  }
  EXPECT_GT(nothingLeft, 0);
  EXPECT_GT(finishedAfter, 0);
  PutBack();
  fs::remove_all(Dir() + "/kept");
}

// A piece move killed half-way, then its finish meeting a read refused by the disk, each read of the
// draft, of the sort file and of its index in turn: a line or a sort record the finish could not read
// is neither missing nor free. The finish stops and says why, its note kept, or goes to its end; it
// never makes a sort record twice nor leaves the piece part moved, and the next opening, the disk
// read again, finishes the change whole.
TEST_F(StoppedLineChangeTest, AFinishMeetingARefusedReadStopsAndMakesNothingTwice) {
  std::pair<std::string, std::string> piece;
  std::string target;
  ASSERT_NO_FATAL_FAILURE(PieceAndTarget(&piece, &target));
  const auto move = PieceMove(piece, target);
  Keep();
  const std::multiset<std::string> before = Books();
  long writes = 0;
  CloseTables();
  ASSERT_EQ(test_support::RunKilledAtWrite(LONG_MAX, [&] { return Run(move); }, &writes), 0);
  OpenTables();
  const std::multiset<std::string> after = Books();
  ASSERT_GT(writes, 4);
  // Each file's first reads, where the finish reads the lines and sort records it decides from, then as
  // many spread over the rest.
  for (const auto& [file, first] : {std::pair<const char*, int>{"/c50je.dbf", 36}, {"/c60je.dbf", 12}, {"/c60je.mdx", 12}}) {
    long stopped = 0;
    for (int n = 1, step = 1;; n += step) {
      SCOPED_TRACE(std::string(file) + ", read " + std::to_string(n) + " refused");
      PutBack();
      CloseTables();
      ASSERT_EQ(test_support::RunKilledAtWrite(writes / 2, [&] { return Run(move); }), kKilled);
      OpenTables();
      test_support::RefusedRead::Arm(file, n);
      const StoppedLineChanges refused = FinishStoppedLineChanges();
      const int seen = test_support::RefusedRead::Seen();
      test_support::RefusedRead::Disarm();
      if (n > seen) {
        EXPECT_TRUE(refused.done) << refused.said;
        break;
      }
      if (n == first) step = std::max(1, (seen - first) / first);
      const std::multiset<std::string> now = Books();
      if (!refused.done) {
        ++stopped;
        EXPECT_NE(refused.said.find("erreur de lecture"), std::string::npos) << refused.said;
        EXPECT_FALSE(Notes().empty()) << "the note went though the finish stopped";
      } else {
        EXPECT_TRUE(now == before || now == after) << "finished over a refused read: " << refused.said;
        DossierInvariants check;
        EXPECT_TRUE(check.Check()) << check.Report();
      }
      const StoppedLineChanges finished = FinishStoppedLineChanges();
      EXPECT_TRUE(finished.done) << finished.said;
      EXPECT_TRUE(Notes().empty());
      const std::multiset<std::string> opened = Books();
      EXPECT_TRUE(opened == before || opened == after) << "opened again: neither as before nor as after";
      ExpectInvariants("the finish's read refused, then read whole");
      ASSERT_FALSE(HasFailure());
    }
    EXPECT_GT(stopped, 0) << file << ": no refused read stopped the finish";
  }
  PutBack();
  fs::remove_all(Dir() + "/kept");
}

// A note written whole and not marked done, as a change at work leaves it: the line's total named.
std::string NoteAtWork() {
  return "en_cours\nmodification\tligne\nposte\t02\ndebut\t09/12/2026 10:00\nA\t51200000\nfin\n";
}

TEST_F(StoppedLineChangeTest, ANoteALivingStationHoldsIsLeftAlone) {
  const std::string path = DossierFolder + "lignes-je-1-1.note";
  test_support::OtherProcess station([path](char cmd) {
    static platform::LockedFile note;
    if (cmd == 'n') return note.Create(path) && note.WriteAt(0, NoteAtWork());
    return false;
  });
  ASSERT_TRUE(station.Do('n'));
  const std::multiset<std::string> before = Books();
  const StoppedLineChanges finished = FinishStoppedLineChanges();
  EXPECT_TRUE(finished.done) << finished.said;
  EXPECT_EQ(finished.finished, 0);
  EXPECT_TRUE(finished.said.empty()) << finished.said;
  EXPECT_TRUE(platform::FileExists(path)) << "the living station's note was removed";
  EXPECT_TRUE(Books() == before);
}

TEST_F(StoppedLineChangeTest, ANoteThatCannotBeReadKeepsTheDossierClosedWithWhy) {
  // A dead process's note, its read refused by the disk (EIO).
  const std::string path = DossierFolder + "lignes-je-1-1.note";
  {
    std::ofstream out(path, std::ios::binary);
    out << NoteAtWork();
  }
  platform::SetWriteFault(platform::WriteFault::kReadFailOnce, 1);
  const StoppedLineChanges refused = FinishStoppedLineChanges();
  platform::SetWriteFault(platform::WriteFault::kNone, 0);
  EXPECT_FALSE(refused.done);
  EXPECT_NE(refused.said.find("lignes-je-1-1.note"), std::string::npos) << refused.said;
  EXPECT_TRUE(platform::FileExists(path)) << "the note went though it was not read";
  // Read, it is finished: the account's total was already its lines'.
  const StoppedLineChanges finished = FinishStoppedLineChanges();
  EXPECT_TRUE(finished.done) << finished.said;
  EXPECT_FALSE(platform::FileExists(path));
  ExpectInvariants("the note read at last");
}

}  // namespace
}  // namespace entry_test
