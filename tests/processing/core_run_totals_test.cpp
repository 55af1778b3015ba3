// The totals of the imports, summed and written once per record through the run's totals journal:
// the same totals as line by line (auxiliary accounts and their collectives, several
// journal-months), a run stopped at each record of its totals finished exactly by the next, a
// stopped run's pieces put in order with the totals their lines lack, and a header the rebuild
// deleted brought back by the writers that find it.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

#include "core_fixture.h"
#include "data/account_totals.h"
#include "data/dossier_invariants.h"
#include "data/draft_lines.h"
#include "posting/journal_month.h"
#include "processing/core/bank_pieces.h"
#include "support/books_writes.h"

namespace processing_test {
namespace {

using processing::ImportedLine;
using processing::ImportedPiece;
using processing::PiecesOutcome;
using processing::RecordedPiece;

ImportedLine Line(const std::string& account, char sense, long long cents) {
  ImportedLine l;
  l.account = account;
  l.sense = sense;
  l.cents = cents;
  l.labelCode = "0";
  l.label = "Totaux";
  return l;
}

// The runs' totals and their finish, driven as the imports and the rebuild drive them: the fixture holds
// a run's permit.
class RunTotalsTest : public CoreTest {
 protected:
  test_support::SetUpPermit run_{"importation"};

  std::string Journal() const { return Dir() + "/run.tot"; }
  // The first live account of the chart beginning with `letter` (an auxiliary account).
  std::string AccountStarting(char letter) {
    for (bool more = TableC20->GoTop(""); more; more = TableC20->Skip(1))
      if (!TableC20->IsDeleted() && TableC20->GetField(1)[0] == letter) return AllTrim(TableC20->GetField(1));
    return "";
  }
  // Pieces over two months and two journals, on general and auxiliary accounts.
  std::vector<ImportedPiece> Pieces() {
    const std::string customer = AccountStarting('C'), supplier = AccountStarting('F');
    EXPECT_FALSE(customer.empty() || supplier.empty());
    std::vector<ImportedPiece> pieces;
    for (int i = 0; i < 12; ++i) {
      ImportedPiece p;
      p.journal = i % 3 == 0 ? "BQ" : "OD";
      p.date = {2026, 3 + i % 2, 1 + i};
      const long long cents = 1000 + 37 * i;
      if (i % 2 == 0)
        p.lines = {Line(customer, 'D', cents), Line("70600000", 'C', cents - 7), Line("44571000", 'C', 7)};
      else
        p.lines = {Line("60100000", 'D', cents), Line(supplier, 'C', cents)};
      pieces.push_back(p);
    }
    return pieces;
  }
  bool InvariantsHold() {
    DossierInvariants check;
    const bool held = check.Check();
    EXPECT_TRUE(held) << check.Report();
    return held;
  }
  static std::string Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  static void Write(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
  }
  // The pieces as a run records them, with the numbers the writer gave them.
  static std::vector<RecordedPiece> Recorded(const std::vector<ImportedPiece>& pieces, const std::vector<long>& numbers) {
    std::vector<RecordedPiece> recorded;
    for (std::size_t i = 0; i < pieces.size() && i < numbers.size(); ++i)
      recorded.push_back({pieces[i].journal, "C60" + std::to_string(pieces[i].date.month), numbers[i],
                          static_cast<long>(pieces[i].lines.size())});
    return recorded;
  }
  // The run taken up: every piece whole, nothing refused.
  void TakeUp(const std::vector<RecordedPiece>& recorded) {
    const processing::StoppedPieces stopped = processing::PutStoppedPiecesInOrder(*TableC10, c50, c60, recorded, Journal());
    EXPECT_FALSE(stopped.refused);
    EXPECT_EQ(stopped.whole, std::vector<bool>(recorded.size(), true));
  }
};

TEST_F(RunTotalsTest, TheTotalsWrittenOnceAreThoseOfEveryLine) {
  ASSERT_TRUE(InvariantsHold());
  const processing::PiecesReport r =
      processing::WriteImportedPieces(*TableC10, c50, c60, Pieces(), kMaxLineRecords, nullptr, Journal());
  ASSERT_EQ(r.outcome, PiecesOutcome::Written) << r.message;
  EXPECT_TRUE(InvariantsHold()) << "accounts, collectives and journal-month headers moved by every line";
  const std::string journal = Read(Journal());
  EXPECT_NE(journal.find("entrees\n"), std::string::npos);
  EXPECT_EQ(journal.substr(journal.size() - 5), "fait\n");
  EXPECT_NE(journal.find("P\t" + processing::RunTotalsKey("BQ", "C603", r.numbers[0]) + "\n"), std::string::npos);
  // The journal names the pieces it carries, so that a run taken up does not write them again,
  // even on an account whose totals were wrong before (which its lines alone cannot tell).
  const std::string wrong = AccountStarting('C');
  ASSERT_TRUE(MoveAccountRecord(wrong, {0, 0, 1234, 0}));
  TotalsCents held;
  ASSERT_TRUE(ReadAccountRecord(wrong, &held));
  TakeUp(Recorded(Pieces(), r.numbers));
  TotalsCents now;
  ASSERT_TRUE(ReadAccountRecord(wrong, &now));
  EXPECT_EQ(now, held) << "a finished journal moves nothing again";
  ASSERT_TRUE(MoveAccountRecord(wrong, {0, 0, -1234, 0}));
  EXPECT_TRUE(InvariantsHold());
}

// The lines of the pieces are in the draft; the run stopped in its totals at record k, before or
// after writing it: the next run's take-up leaves every total as a whole run leaves it.
TEST_F(RunTotalsTest, ARunStoppedAtAnyRecordOfItsTotalsIsFinishedExactly) {
  const std::vector<ImportedPiece> pieces = Pieces();
  const processing::PiecesReport written =
      processing::WriteImportedPieces(*TableC10, c50, c60, pieces, kMaxLineRecords, nullptr, Journal());
  ASSERT_EQ(written.outcome, PiecesOutcome::Written);
  const std::vector<RecordedPiece> recorded = Recorded(pieces, written.numbers);
  const std::string whole = Read(Journal());
  // The section's list, then one line per record as read before its write.
  const std::size_t listed = whole.find("entrees\n") + 8;
  std::vector<std::string> reads;
  for (std::size_t at = listed; at < whole.size();) {
    const std::size_t eol = whole.find('\n', at);
    reads.push_back(whole.substr(at, eol - at));
    at = eol + 1;
  }
  ASSERT_EQ(reads.back(), "fait");
  reads.pop_back();
  const std::size_t records = reads.size();
  ASSERT_GE(records, 6u) << "accounts, collectives and four headers";
  // The records' moves, from the list: kind, code and the four amounts.
  struct Entry {
    char kind;
    std::string code;
    TotalsCents move;
  };
  std::vector<Entry> entries;
  std::istringstream list(whole.substr(0, listed));
  for (std::string line; std::getline(list, line);) {
    if (line.size() < 2 || (line[0] != 'A' && line[0] != 'H') || line[1] != '\t') continue;
    std::vector<std::string> f;
    std::istringstream fields(line);
    for (std::string x; std::getline(fields, x, '\t');) f.push_back(x);
    ASSERT_EQ(f.size(), 6u);
    entries.push_back({f[0][0], f[1],
                       {std::atoll(f[2].c_str()), std::atoll(f[3].c_str()), std::atoll(f[4].c_str()),
                        std::atoll(f[5].c_str())}});
  }
  ASSERT_EQ(entries.size(), records);
  auto takeBack = [&](std::size_t k) {
    TotalsCents back = entries[k].move;
    back.debit1 = -back.debit1, back.credit1 = -back.credit1, back.debit2 = -back.debit2, back.credit2 = -back.credit2;
    ASSERT_TRUE(entries[k].kind == 'H' ? MoveHeaderRecord(entries[k].code, back)
                                       : MoveAccountRecord(entries[k].code, back));
  };
  struct Case {
    const char* what;
    long stoppedAt;       // the record whose read was the last line written (-1: none read)
    bool stoppedWritten;  // that record was written
  };
  const long last = static_cast<long>(records) - 1;
  const Case cases[] = {
      {"stopped before the first record", -1, false},
      {"stopped after reading the first record", 0, false},
      {"stopped after writing the first record", 0, true},
      {"stopped after reading a header", last, false},
      {"stopped after writing the last record", last, true},
      {"stopped in the middle", last / 2, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    // The journal as the stop left it, and the records it had not written taken back.
    std::string cut = whole.substr(0, listed);
    for (long k = 0; k <= c.stoppedAt; ++k) cut += reads[static_cast<std::size_t>(k)] + "\n";
    Write(Journal(), cut);
    for (long k = static_cast<long>(records) - 1; k >= 0; --k)
      if (k > c.stoppedAt || (k == c.stoppedAt && !c.stoppedWritten)) takeBack(static_cast<std::size_t>(k));
    if (!(c.stoppedAt == last && c.stoppedWritten)) {
      DossierInvariants partial;
      EXPECT_FALSE(partial.Check()) << "the stop leaves totals to write";
    }
    TakeUp(recorded);
    EXPECT_TRUE(InvariantsHold());
    EXPECT_EQ(Read(Journal()).substr(Read(Journal()).size() - 5), "fait\n");
  }
  // A section stopped while it was being listed moved nothing and carries no piece.
  Write(Journal(), whole.substr(0, listed - 8) + "A\t411");
  TakeUp(recorded);
  EXPECT_TRUE(InvariantsHold());
}

// A run stopped after its lines and before its totals: the pieces whole are kept and their totals
// written, once; a piece cut between its lines is cancelled with no totals taken out.
TEST_F(RunTotalsTest, AStoppedRunsWholePiecesGetTheirTotalsOnceAndACutOneIsCancelled) {
  const std::vector<ImportedPiece> pieces = Pieces();
  std::vector<NewDraftLine> lines;
  std::vector<RecordedPiece> recorded;
  for (std::size_t i = 0; i < pieces.size(); ++i) {
    const long number = 900 + static_cast<long>(i);
    const std::string month = std::string("C60") + std::to_string(pieces[i].date.month);
    recorded.push_back({pieces[i].journal, month, number, static_cast<long>(pieces[i].lines.size())});
    ASSERT_NE(posting::EnsureDraftHeader(*TableC10, posting::CleJournalMois(month, pieces[i].journal)),
              posting::HeaderCreation::Failed);
    // The last piece lost its last line.
    const std::size_t kept = i + 1 == pieces.size() ? pieces[i].lines.size() - 1 : pieces[i].lines.size();
    for (std::size_t k = 0; k < kept; ++k) {
      NewDraftLine n;
      n.month = month;
      n.journal = pieces[i].journal;
      n.piece = StrZero(number, 0);  // as the writer stores it
      n.day = "05";
      n.account = pieces[i].lines[k].account;
      n.labelCode = "0";
      n.label = "Totaux";
      n.sense = pieces[i].lines[k].sense;
      n.euros = FromCents(pieces[i].lines[k].cents);
      lines.push_back(n);
    }
  }
  DraftTotals unposted;
  ASSERT_EQ(AppendDraftLines(c50, c60, lines, &unposted), DraftWrite::Written);
  DossierInvariants before;
  EXPECT_FALSE(before.Check()) << "lines without their totals";
  const processing::StoppedPieces stopped =
      processing::PutStoppedPiecesInOrder(*TableC10, c50, c60, recorded, Journal());
  ASSERT_EQ(stopped.whole.size(), pieces.size());
  EXPECT_FALSE(stopped.whole.back());
  EXPECT_EQ(stopped.cancelled.back(), static_cast<long>(pieces.back().lines.size()) - 1);
  for (std::size_t i = 0; i + 1 < pieces.size(); ++i) EXPECT_TRUE(stopped.whole[i]) << i;
  EXPECT_TRUE(InvariantsHold()) << "the kept pieces' totals written, the cut piece's lines cancelled";
  // Taken up again (the run stopped once more before its end): nothing is written twice.
  processing::PutStoppedPiecesInOrder(*TableC10, c50, c60, recorded, Journal());
  EXPECT_TRUE(InvariantsHold());
}

// A journal-month header the rebuild deleted (no line in its journal-month then) stays deleted
// until a pack: each writer that finds it brings it back empty, so that what it then moves is
// counted, and it reads as not there meanwhile.
TEST_F(RunTotalsTest, AHeaderTheRebuildDeletedComesBackEmpty) {
  // A journal-month of the year before, which holds no line.
  const std::string journalMonth = posting::CleJournalMois("C512", "BQ"), code = journalMonth + "B";
  const TotalsCents move{1000, 0, 152, 0};
  struct Writer {
    const char* name;
    std::function<bool()> write;
    TotalsCents after;
  };
  const Writer writers[] = {
      {"TotalsMoves",
       [&] {
         TotalsMoves moves;
         moves.Header(code, move);
         return moves.Make();
       },
       move},
      {"MoveHeaderRecord", [&] { return MoveHeaderRecord(code, move); }, move},
      {"EnsureDraftHeader",
       [&] { return posting::EnsureDraftHeader(*TableC10, journalMonth) == posting::HeaderCreation::Created; }, {}},
  };
  for (const Writer& w : writers) {
    SCOPED_TRACE(w.name);
    ASSERT_NE(posting::EnsureDraftHeader(*TableC10, journalMonth), posting::HeaderCreation::Failed);
    ASSERT_TRUE(MoveHeaderRecord(code, {5000, 5000, 762, 762}));
    ASSERT_TRUE(posting::FindHeader(*TableC10, journalMonth, posting::kDraftSource).IsFound());
    ASSERT_TRUE(TableC10->DeleteRecord(TableC10->RecordToText(2), 0));
    UnlockRecord(*TableC10);
    TotalsCents now;
    EXPECT_FALSE(ReadHeaderRecord(code, &now));
    EXPECT_TRUE(w.write());
    ASSERT_TRUE(ReadHeaderRecord(code, &now));
    EXPECT_EQ(now, w.after);
    // Taken back, for the next writer.
    if (!now.Empty()) ASSERT_TRUE(MoveHeaderRecord(code, {-now.debit1, -now.credit1, -now.debit2, -now.credit2}));
  }
  EXPECT_TRUE(InvariantsHold());
}

}  // namespace
}  // namespace processing_test
