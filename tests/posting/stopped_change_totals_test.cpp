// The totals of a change of lines that did not go through, as the next opening finds them. A change
// whose take-back of a total the disk refuses leaves its note, and the opening makes the books as
// they were. The opening makes each total a stopped change names equal to its lines, those of the
// closed file included (an account, an auxiliary account's collective, a section), and writes none
// of them from a read the disk refused: it then keeps the note for the next opening.
#include <signal.h>

#include <climits>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "data/account_totals.h"
#include "data/error_report.h"
#include "data/line_change_note.h"
#include "data/stopped_line_changes.h"
#include "entry/core/move_copy.h"
#include "entry/core_fixture.h"
#include "platform/system/files.h"
#include "platform/system/write_fault.h"
#include "posting/line_changes.h"
#include "runtime/text.h"
#include "support/books_writes.h"
#include "support/file_handles.h"
#include "support/other_process.h"
#include "support/refused_read.h"

namespace entry_test {
namespace {

using namespace posting;
using platform::WriteFault;

constexpr const char* kNothingChanged = "rien n'a chang\xE9";

// Every write of the records of the totals' tables refused from the second on (EIO), as by a disk
// that fails while a change moves its totals: the change is refused, and so is the take-back of the
// total it moved first.
int& TotalsWrites() {
  static int n = 0;
  return n;
}
void RefuseTheTotalsFromTheSecondWrite() {
  const std::string& change = platform::ChangeBeingMade();
  if (change.rfind("write ", 0) != 0) return;
  for (const char* file : {"/c10je.dbf", "/c20je.dbf", "/c30je.dbf"}) {
    const std::size_t n = std::strlen(file);
    if (change.size() >= n && change.compare(change.size() - n, n, file) == 0) {
      if (++TotalsWrites() >= 2) platform::SetWriteFault(WriteFault::kFailOnce, 1);
      return;
    }
  }
}

class StoppedChangeTotalsTest : public CoreTest {
 protected:
  // A third of the months validated: accounts and sections with lines in both files.
  int ClosedMonths() const override { return -1; }

  std::string NotePath() const { return DossierFolder + "lignes-je-1-1.note"; }

  // The totals of a change stopped once it moved them, as a dead process leaves it: each moved by
  // 12.34 off its lines, and its note naming them ('A' an account, 'S' a section) written whole and
  // not marked done.
  void StopAChangeOn(const std::vector<std::pair<char, std::string>>& totals) {
    const test_support::SetUpPermit permit("modification arretee");
    TotalsCents off;
    off.Add(true, 8094, 1234);
    std::string note = "en_cours\nmodification\tligne\nposte\t02\ndebut\t09/12/2026 10:00\n";
    for (const auto& [kind, code] : totals) {
      note += std::string(1, kind) + "\t" + code + "\n";
      if (kind == 'S') {
        ASSERT_TRUE(MoveSectionRecord(code, off)) << code;
        continue;
      }
      for (const std::string& record : AccountTotalsCodes(code.c_str(), false))
        ASSERT_TRUE(MoveAccountRecord(record, off)) << record;
    }
    std::ofstream(NotePath(), std::ios::binary) << note << "fin\n";
  }

  // An account of general lines and an auxiliary account, each with lines in both files, and a
  // section with analytic lines in both.
  std::vector<std::pair<char, std::string>> TotalsOfBothFiles() {
    auto codes = [](Table& t, bool closed, char kind) {
      std::set<std::string> found;
      const int fKind = closed ? L::ClosedFieldOf(L::BCLE) : L::BCLE;
      const int fCode = closed ? L::ClosedFieldOf(L::BCODE) : L::BCODE;
      for (std::uint32_t r = 1; r <= t.RecCount(); ++r)
        if (t.GoTo(r) && !t.IsDeleted() && t.GetField(fKind)[0] == kind) found.insert(Trimmed(t.GetField(fCode)));
      return found;
    };
    Table c40;
    EXPECT_TRUE(c40.OpenShared(PathC40(), "", true));
    const std::set<std::string> closed = codes(c40, true, 'Z'), draft = codes(c50, false, 'Z');
    std::set<std::string> sections = codes(c40, true, 'W');
    std::set<std::string> draftSections = codes(c50, false, 'W');
    std::string general, auxiliary, section;
    for (const std::string& code : closed) {
      if (draft.count(code) == 0) continue;
      if (code[0] >= '0' && code[0] <= '9' && general.empty()) general = code;
      if (code[0] >= 'A' && code[0] <= 'Z' && auxiliary.empty()) auxiliary = code;
    }
    for (const std::string& code : sections)
      if (draftSections.count(code) != 0 && section.empty()) section = code;
    EXPECT_FALSE(general.empty() || auxiliary.empty() || section.empty())
        << "general " << general << ", auxiliary " << auxiliary << ", section " << section;
    return {{'A', general}, {'A', auxiliary}, {'S', section}};
  }

  // The first piece of the draft with analytic lines and a line on an auxiliary account (its
  // journal-month, its number), and another journal-month of the draft to copy it into.
  void PieceWithSplitAndAuxiliary(std::pair<std::string, std::string>* piece, std::string* target) {
    std::map<std::pair<std::string, std::string>, std::set<char>> kinds;
    for (std::uint32_t r = 1; r <= c50.RecCount(); ++r) {
      if (!c50.GoTo(r) || c50.IsDeleted()) continue;
      const char kind = c50.GetField(L::BCLE)[0];
      const char first = c50.GetField(L::BCODE)[0];
      std::set<char>& of = kinds[{std::string(c50.GetField(L::BMOIS)) + c50.GetField(L::BJAL), c50.GetField(L::BPIECE)}];
      of.insert(kind == 'Z' && first >= 'A' && first <= 'Z' ? 'a' : kind);
    }
    for (const auto& [p, k] : kinds)
      if (k.count('a') != 0 && k.count('W') != 0 && piece->first.empty()) *piece = p;
    for (const auto& [p, k] : kinds)
      if (p.first != piece->first && posting::FindHeader(*TableC10, p.first, posting::kDraftSource).IsFound()) *target = p.first;
  }

  // The dossier's folder kept aside under `name`, or put back from there, its tables closed meanwhile.
  void Aside(const std::string& name, bool back) {
    c50.CloseTable();
    c60.CloseTable();
    CloseAllTables();
    const std::string aside = Dir() + "/" + name;
    if (back) {
      std::filesystem::remove_all(Dir() + "/je");
      std::filesystem::copy(aside, Dir() + "/je", std::filesystem::copy_options::recursive);
    } else {
      std::filesystem::remove_all(aside);
      std::filesystem::copy(Dir() + "/je", aside, std::filesystem::copy_options::recursive);
    }
    OpenTables();
  }

  // The books, the dossier's record aside: a piece number taken by a copy taken back is not given
  // back, as one taken by a piece left empty is not.
  std::multiset<std::string> Books() {
    std::multiset<std::string> b = LiveRecords();
    std::erase_if(b, [](const std::string& r) { return r.rfind(TableC10->tablePath + "|0|", 0) == 0; });
    return b;
  }
};

TEST_F(StoppedChangeTotalsTest, ATotalWhoseTakeBackIsRefusedIsLeftToTheOpeningWhichPutsItBack) {
  // A line cancelled, a line reactivated, a piece moved: the total each moved first stays moved.
  std::uint32_t line = 0, cancelled = 0;
  for (std::uint32_t r = 1; r <= c50.RecCount() && cancelled == 0; ++r) {
    if (!c50.GoTo(r) || c50.IsDeleted() || c50.GetField(L::BCLE)[0] != 'Z' || IsLettered(c50)) continue;
    if (line == 0) line = r;
    else if (CancelLine(c50, c60, r, "ligne") == LineChange::Done) cancelled = r;
  }
  ASSERT_NE(cancelled, 0u);
  ASSERT_TRUE(c50.GoTo(line));
  const std::string source = std::string(c50.GetField(L::BMOIS)) + c50.GetField(L::BJAL);
  const std::string piece = c50.GetField(L::BPIECE);
  std::string target;
  for (const auto& [month, n] : JournalMonths())
    if (month != source && posting::FindHeader(*TableC10, month, posting::kDraftSource).IsFound()) target = month;
  ASSERT_FALSE(target.empty());

  const struct Case {
    const char* what;
    std::function<bool(std::string* refusal)> change;
  } cases[] = {
      {"a line cancelled",
       [&](std::string* refusal) { return CancelLine(c50, c60, line, "ligne", nullptr, refusal) == LineChange::Done; }},
      {"a line reactivated",
       [&](std::string* refusal) { return ReactivateLine(c50, c60, cancelled, "ligne", refusal) == LineChange::Done; }},
      {"a piece moved",
       [&](std::string* refusal) {
         const entry::PieceResult r = entry::MovePiece(source, piece, entry::PieceTarget::From(target));
         *refusal = r.refusal;
         return r.outcome == entry::PieceOutcome::Done;
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::multiset<std::string> before = LiveRecords();
    TotalsWrites() = 0;
    platform::BeforeFileChange = RefuseTheTotalsFromTheSecondWrite;
    std::string refusal;
    const bool done = c.change(&refusal);
    platform::BeforeFileChange = nullptr;
    platform::SetWriteFault(WriteFault::kNone, 0);
    EXPECT_FALSE(done);
    EXPECT_GE(TotalsWrites(), 3) << "the take-back of a total was not tried";
    EXPECT_EQ(refusal.find(kNothingChanged), std::string::npos) << "said whole: " << refusal;
    CloseLineChangeNote();
    EXPECT_FALSE(LineChangeNoteFiles(DossierFolder, DossierCode).empty()) << "no note left for the opening";
    const StoppedLineChanges finished = FinishStoppedLineChanges();
    EXPECT_TRUE(finished.done) << finished.said;
    EXPECT_EQ(finished.finished, 1) << finished.said;
    EXPECT_TRUE(LiveRecords() == before) << "not as before the change once the opening finished it";
    ExpectInvariants(c.what);
    ASSERT_FALSE(HasFailure());
  }
}

TEST_F(StoppedChangeTotalsTest, TheOpeningMakesEachTotalEqualToItsLinesInBothFiles) {
  const std::vector<std::pair<char, std::string>> totals = TotalsOfBothFiles();
  ASSERT_FALSE(HasFailure());
  const std::multiset<std::string> before = LiveRecords();
  ASSERT_NO_FATAL_FAILURE(StopAChangeOn(totals));
  ASSERT_TRUE(LiveRecords() != before);
  const StoppedLineChanges finished = FinishStoppedLineChanges();
  EXPECT_TRUE(finished.done) << finished.said;
  EXPECT_EQ(finished.finished, 1);
  EXPECT_FALSE(platform::FileExists(NotePath()));
  EXPECT_TRUE(LiveRecords() == before) << "a total not equal to its lines of both files";
  ExpectInvariants("the totals of both files");
}

TEST_F(StoppedChangeTotalsTest, AFinishMeetingARefusedReadWritesNoTotalFromIt) {
  const std::vector<std::pair<char, std::string>> totals = TotalsOfBothFiles();
  ASSERT_FALSE(HasFailure());
  const std::multiset<std::string> before = LiveRecords();
  // Each read of each file the finish reads refused in turn: refused, it says so and keeps the note,
  // each record as it was or as its lines give it; the read whole, it finishes.
  for (const char* file : {"/c50je.dbf", "/c40je.dbf", "/c20je.dbf", "/c30je.dbf", "/c10je.dbf"}) {
    ASSERT_NO_FATAL_FAILURE(StopAChangeOn(totals));
    const std::multiset<std::string> stopped = LiveRecords();
    long refused = 0;
    for (int k = 1;; ++k) {
      SCOPED_TRACE(std::string(file) + ", read " + std::to_string(k) + " refused");
      test_support::RefusedRead::Arm(file, k);
      const StoppedLineChanges finished = FinishStoppedLineChanges();
      const int seen = test_support::RefusedRead::Seen();
      test_support::RefusedRead::Disarm();
      if (k > seen) {
        EXPECT_TRUE(finished.done) << finished.said;
        EXPECT_TRUE(LiveRecords() == before);
        break;
      }
      // A read the finish could do without (the count read again as a table opens) may leave it done,
      // the books then whole.
      if (finished.done) {
        EXPECT_TRUE(LiveRecords() == before) << "finished from a read the disk refused";
        ASSERT_NO_FATAL_FAILURE(StopAChangeOn(totals));
        continue;
      }
      ++refused;
      EXPECT_NE(finished.said.find("erreur de lecture sur le disque"), std::string::npos) << finished.said;
      // What it wrote before the refusal is what its lines give.
      for (const std::string& record : LiveRecords())
        EXPECT_TRUE(stopped.count(record) != 0 || before.count(record) != 0) << "written from a short read: " << record;
      EXPECT_TRUE(platform::FileExists(NotePath()));
      ASSERT_FALSE(HasFailure());
    }
    EXPECT_GE(refused, 1) << file;
  }
  ExpectInvariants("finished at last");
}

TEST_F(StoppedChangeTotalsTest, AFinishWhoseOwnOpenIsRefusedWritesNothingFromItAndSaysWhy) {
  // A piece with analytic lines and a line on an auxiliary account copied into another journal-month,
  // killed half-way: its note names an auxiliary account's collective, and accounts and sections with
  // lines in the closed file.
  std::pair<std::string, std::string> piece;
  std::string target;
  PieceWithSplitAndAuxiliary(&piece, &target);
  ASSERT_FALSE(piece.first.empty() || target.empty());
  const auto copy = [&] {
    const bool open = TableC10->OpenShared(PathC10(), "C10CODE") && TableC20->OpenShared(PathC20(), "C20CODE") &&
                      TableC30->OpenShared(PathC30(), "C30CODE");
    const bool done = open && entry::CopyPiece(piece.first, piece.second, entry::PieceTarget::From(target)).outcome ==
                                  entry::PieceOutcome::Done;
    CloseLineChangeNote();
    return done;
  };
  const auto notes = [] { return LineChangeNoteFiles(DossierFolder, DossierCode); };
  Aside("before", false);
  const std::multiset<std::string> before = Books();
  long writes = 0;
  c50.CloseTable();
  c60.CloseTable();
  CloseAllTables();
  ASSERT_EQ(test_support::RunKilledAtWrite(LONG_MAX, copy, &writes), 0);
  OpenTables();
  const std::multiset<std::string> after = Books();
  ASSERT_NE(after, before);
  ASSERT_GT(writes, 20);
  Aside("before", true);
  c50.CloseTable();
  c60.CloseTable();
  CloseAllTables();
  ASSERT_EQ(test_support::RunKilledAtWrite(writes / 2, copy), 128 + SIGKILL);
  OpenTables();
  ASSERT_EQ(notes().size(), 1u);
  const std::multiset<std::string> stopped = Books();
  Aside("stopped", false);

  // The finish left 0, 1, 2 ... free file handles: each open it makes refused in turn (EMFILE).
  long refused = 0;
  for (int left = 0;; ++left) {
    SCOPED_TRACE(std::to_string(left) + " file handles left");
    ASSERT_LT(left, 400) << "the finish never went through";
    Aside("stopped", true);
    StoppedLineChanges finished;
    {
      const test_support::FileHandlesLeft handles(left);
      finished = FinishStoppedLineChanges();
    }
    if (finished.done) {
      EXPECT_EQ(finished.finished, 1) << finished.said;
      EXPECT_TRUE(notes().empty());
      const std::multiset<std::string> now = Books();
      EXPECT_TRUE(now == before || now == after) << "finished, neither as before nor as after the copy";
      break;
    }
    ++refused;
    // Said in its box with the file and the cause; its note left for the next opening; nothing
    // written from what it could not open.
    EXPECT_NE(finished.said.find("trop de fichiers ouverts"), std::string::npos) << finished.said;
    EXPECT_NE(finished.said.find(DossierFolder), std::string::npos) << finished.said;
    EXPECT_EQ(notes().size(), 1u) << "its note went";
    for (const std::string& record : Books())
      EXPECT_TRUE(stopped.count(record) != 0 || before.count(record) != 0 || after.count(record) != 0)
          << "written from an open refused: " << record;
    ASSERT_FALSE(HasFailure());
  }
  EXPECT_GE(refused, 6);
  ExpectInvariants("finished at last");
}

// A stopped change of letters on a line of the closed file, finished while the system will not open one of
// the tables it opens (the draft, or the closed file) for another cause than too many files open (a folder,
// or a link to itself, in its place): the finish could not read it, says so naming it, decides nothing and
// keeps its note; the file back, the next finish takes the letter back.
TEST_F(StoppedChangeTotalsTest, ATableThatWillNotOpenForAnyCauseIsATableTheFinishCouldNotRead) {
  std::uint32_t line = 0;
  std::string letter;
  {
    Table c40;
    ASSERT_TRUE(c40.OpenShared(PathC40(), "", true));
    for (std::uint32_t r = 1; r <= c40.RecCount() && line == 0; ++r)
      if (c40.GoTo(r) && !c40.IsDeleted() && c40.GetField(L::ClosedFieldOf(L::BCLE))[0] == 'Z') {
        line = r;
        letter = TrimmedRight(c40.GetField(L::ClosedFieldOf(L::BLETE)));
      }
  }
  ASSERT_NE(line, 0u);
  const struct Case {
    const char* what;
    const char* file;
    bool folder;
  } cases[] = {
      {"the closed file a folder", "c40je.dbf", true},
      {"the closed file a link to itself", "c40je.dbf", false},
      {"the draft a folder", "c50je.dbf", true},
      {"the draft a link to itself", "c50je.dbf", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    // The letter as a change that stopped before its first write left it: "ZQ" after, the line's before.
    std::ofstream(NotePath(), std::ios::binary)
        << "en_cours\nmodification\tlettrage\nposte\t02\ndebut\t09/12/2026 10:00\nE\tC\t" << line << "\t1\t"
        << NoteLetter(letter) << "\t" << NoteLetter("ZQ") << "\nfin\n";
    c50.CloseTable();
    c60.CloseTable();
    CloseAllTables();
    const std::string file = DossierFolder + c.file, kept = file + ".kept";
    std::filesystem::rename(file, kept);
    if (c.folder) std::filesystem::create_directory(file);
    else std::filesystem::create_symlink(file, file);
    const StoppedLineChanges finished = FinishStoppedLineChanges();
    std::filesystem::remove(file);
    std::filesystem::rename(kept, file);
    EXPECT_FALSE(finished.done);
    EXPECT_NE(finished.said.find(ReadErrorText(file)), std::string::npos) << finished.said;
    EXPECT_TRUE(platform::FileExists(NotePath())) << "its note went";
    const StoppedLineChanges again = FinishStoppedLineChanges();
    EXPECT_TRUE(again.done) << again.said;
    EXPECT_FALSE(platform::FileExists(NotePath()));
    Table c40;
    ASSERT_TRUE(c40.OpenShared(PathC40(), "", true));
    ASSERT_TRUE(c40.GoTo(line));
    EXPECT_EQ(TrimmedRight(c40.GetField(L::ClosedFieldOf(L::BLETE))), letter);
  }
  OpenTables();
  ExpectInvariants("after the finishes");
}

}  // namespace
}  // namespace entry_test
