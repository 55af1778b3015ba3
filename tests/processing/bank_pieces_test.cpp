// The writer of imported pieces: numbers from the dossier's or the journal's counter, every field
// of the lines written with their sort records and totals, the refusals that write nothing (dates,
// balance, journal, room, a total that cannot hold the lines, a journal-month entered on another
// station), and the exchange-rounding line of a dossier kept in two currencies.
#include <cstdlib>

#include "core_fixture.h"
#include "data/account_totals.h"
#include "data/dossier_invariants.h"
#include "posting/journal_month.h"
#include "posting/line_save.h"
#include "processing/core/bank_pieces.h"
#include "platform/system/write_fault.h"
#include "resources/string_table.h"
#include "runtime/text.h"
#include "support/books_writes.h"
#include "support/other_process.h"

namespace processing_test {
namespace {

using processing::ImportedLine;
using processing::ImportedPiece;
using processing::PiecesOutcome;
using processing::PiecesReport;

ImportedLine Line(const char* account, char sense, long long cents, const char* label = "Import test") {
  ImportedLine l;
  l.account = account;
  l.sense = sense;
  l.cents = cents;
  l.labelCode = "0";
  l.label = label;
  return l;
}

ImportedPiece Piece(const char* journal, Ymd date, std::vector<ImportedLine> lines) {
  ImportedPiece p;
  p.journal = journal;
  p.date = date;
  p.lines = std::move(lines);
  return p;
}

// The bank pieces' writer, driven as an import drives it under its guard: the fixture holds the import's
// permit.
class BankPiecesTest : public CoreTest {
 protected:
  test_support::SetUpPermit run_{"importation"};

  long Records() { return static_cast<long>(c50.RecCount()); }
  long DossierCounter() {
    EXPECT_TRUE(posting::FindC10(*TableC10, '0', "").IsFound());
    return std::atol(std::string(TableC10->GetField(4)).substr(164, 6).c_str());
  }
  PiecesReport Write(const std::vector<ImportedPiece>& pieces, long maxRecords = kMaxLineRecords) {
    return processing::WriteImportedPieces(*TableC10, c50, c60, pieces, maxRecords);
  }
};

TEST_F(BankPiecesTest, PiecesTakeConsecutiveNumbersAndEveryFieldIsWritten) {
  const long before = Records();
  const long counter = DossierCounter();
  ImportedLine first = Line("411", 'D', 12050, "Facture 12 et une suite trop longue");
  first.label2 = "second";
  first.label3 = "troisieme";
  first.dueDate = "20260415";
  first.vatCode = "1";
  const PiecesReport r = Write({Piece("OD", {2026, 3, 14}, {first, Line("70600000", 'C', 12050)}),
                                Piece("BQ", {2026, 4, 2}, {Line("512", 'D', 999), Line("411", 'C', 999)}),
                                Piece("OD", {2026, 3, 20}, {Line("60100000", 'D', 1), Line("401", 'C', 1)})});
  ASSERT_EQ(r.outcome, PiecesOutcome::Written) << r.message;
  EXPECT_EQ(r.numbers, (std::vector<long>{counter, counter + 1, counter + 2}));
  EXPECT_EQ(DossierCounter(), counter + 3);
  EXPECT_EQ(r.lines, 6);
  EXPECT_EQ(r.roundingLines, 0) << "no rounding line in a dossier kept in euros only";
  ASSERT_EQ(Records(), before + 6);
  ASSERT_TRUE(c50.GoTo(before + 1));
  EXPECT_EQ(std::string(c50.GetField(L::BMOIS)), "C603");
  EXPECT_EQ(std::string(c50.GetField(L::BJOUR)), "14");
  EXPECT_EQ(std::string(c50.GetField(L::BPIECE)), StrZero(counter, 0));
  EXPECT_EQ(std::string(c50.GetField(L::BCODE)), "41100000");
  EXPECT_EQ(std::string(c50.GetField(L::BLIB)), "Facture 12 et une suite t") << "cut to 25";
  EXPECT_EQ(std::string(AllTrim(c50.GetField(L::BLIB2))), "second");
  EXPECT_EQ(std::string(AllTrim(c50.GetField(L::BLIB3))), "troisieme");
  EXPECT_EQ(std::string(c50.GetField(L::BECHEANCE)), "C60415");
  EXPECT_EQ(std::string(AllTrim(c50.GetField(L::BTVA))), "1");
  EXPECT_DOUBLE_EQ(c50.GetFieldNum(L::BMONTANTE), 120.50);
  ASSERT_TRUE(T::Find(c60, T::kDraft, static_cast<std::uint32_t>(before + 1)));
  EXPECT_EQ(std::string(AllTrim(c60.GetField(T::TTVA))), "1") << "the VAT code reaches the sort record";
  DossierInvariants check;
  EXPECT_TRUE(check.Check()) << check.Report();
}

TEST_F(BankPiecesTest, ARefusedImportWritesNothingAndTakesNoNumber) {
  const ImportedPiece good = Piece("OD", {2026, 3, 14}, {Line("411", 'D', 100), Line("70600000", 'C', 100)});
  struct Case {
    const char* what;
    ImportedPiece bad;
    long room;  // records the draft may hold past its count now (-1: the real limit)
    PiecesOutcome outcome;
  };
  const Case cases[] = {
      {"a date after the year", Piece("OD", {2027, 1, 1}, {Line("411", 'D', 1), Line("401", 'C', 1)}), -1,
       PiecesOutcome::DateOutsideYear},
      {"a date before the year", Piece("OD", {2025, 12, 31}, {Line("411", 'D', 1), Line("401", 'C', 1)}), -1,
       PiecesOutcome::DateOutsideYear},
      {"an unbalanced piece", Piece("OD", {2026, 3, 1}, {Line("411", 'D', 101), Line("401", 'C', 100)}), -1,
       PiecesOutcome::Unbalanced},
      {"an unknown journal", Piece("ZZ", {2026, 3, 1}, {Line("411", 'D', 1), Line("401", 'C', 1)}), -1,
       PiecesOutcome::NoJournal},
      {"a piece without lines", Piece("OD", {2026, 3, 1}, {}), -1, PiecesOutcome::Empty},
      {"one line past the draft's room", Piece("OD", {2026, 3, 1}, {Line("411", 'D', 1), Line("401", 'C', 1)}), 3,
       PiecesOutcome::TooManyLines},
  };
  for (const Case& c : cases) {
    const long before = Records();
    const long counter = DossierCounter();
    const PiecesReport r = Write({good, c.bad}, c.room < 0 ? kMaxLineRecords : before + c.room);
    EXPECT_EQ(r.outcome, c.outcome) << c.what;
    EXPECT_FALSE(r.message.empty()) << c.what;
    EXPECT_EQ(Records(), before) << c.what;
    EXPECT_EQ(DossierCounter(), counter) << c.what;
  }
  // Exactly as many records as the room allows are written.
  const long before = Records();
  EXPECT_EQ(Write({good, good}, before + 4).outcome, PiecesOutcome::Written);
  // The first and the last day of the year are in it.
  const PiecesReport ends = Write({Piece("OD", {2026, 1, 1}, {Line("411", 'D', 1), Line("401", 'C', 1)}),
                                   Piece("OD", {2026, 12, 31}, {Line("411", 'D', 1), Line("401", 'C', 1)})});
  EXPECT_EQ(ends.outcome, PiecesOutcome::Written) << ends.message;
  EXPECT_EQ(Records(), before + 8);
}

// An account whose total cannot hold what the import brings it: the import is refused in one sentence
// naming the account and the largest amount it takes, before a number is taken or a line written.
TEST_F(BankPiecesTest, AnAccountsTotalThatCannotHoldTheImportRefusesItBeforeAnything) {
  ASSERT_TRUE(TableC20->Seek("C20CODE", "70600000"));
  const double was = TableC20->GetFieldNum(20);
  ASSERT_TRUE(TableC20->PutFieldNum(20, FromCents(kLargestTotalCents - 150)));
  const long before = Records();
  const long counter = DossierCounter();
  const PiecesReport r = Write({Piece("OD", {2026, 3, 14}, {Line("411", 'D', 100), Line("70600000", 'C', 100)}),
                                Piece("OD", {2026, 3, 15}, {Line("411", 'D', 200), Line("70600000", 'C', 200)})});
  EXPECT_EQ(r.outcome, PiecesOutcome::TotalsTooLarge);
  // The two pieces bring it 3.00, of which it takes 1.50.
  EXPECT_EQ(r.message, FillPlaceholders(LoadStr(posting::kMsgAccountTotalTooLarge), {"70600000", "1,50"}));
  EXPECT_EQ(Records(), before);
  EXPECT_EQ(DossierCounter(), counter);
  ASSERT_TRUE(TableC20->Seek("C20CODE", "70600000"));
  EXPECT_EQ(ToCents(TableC20->GetFieldNum(20)), kLargestTotalCents - 150);
  ASSERT_TRUE(TableC20->PutFieldNum(20, was));
  EXPECT_EQ(Write({Piece("OD", {2026, 3, 14}, {Line("411", 'D', 100), Line("70600000", 'C', 100)})}).outcome,
            PiecesOutcome::Written);
}

TEST_F(BankPiecesTest, AJournalMonthInEntryOnAnotherStationRefusesEveryPiece) {
  const std::string c10 = PathC10();
  // March's OD header is there, taken on the way; April's BQ one is held by another station.
  for (const auto& [month, journal] : {std::pair{"C603", "OD"}, std::pair{"C604", "BQ"}})
    ASSERT_NE(posting::EnsureDraftHeader(*TableC10, posting::CleJournalMois(month, journal)),
              posting::HeaderCreation::Failed);
  test_support::OtherProcess other([c10](char) {
    static Table t;
    if (!t.isOpen) t.OpenShared(c10, "C10CODE");
    return posting::FindHeader(t, posting::CleJournalMois("C604", "BQ"), posting::kDraftSource).IsFound() &&
           LockRecord(t, nullptr, 0);
  });
  ASSERT_TRUE(other.Do('l'));
  const long before = Records();
  const long counter = DossierCounter();
  const PiecesReport r = Write({Piece("OD", {2026, 3, 14}, {Line("411", 'D', 100), Line("70600000", 'C', 100)}),
                                Piece("BQ", {2026, 4, 2}, {Line("512", 'D', 100), Line("411", 'C', 100)}),
                                Piece("OD", {2026, 2, 6}, {Line("411", 'D', 100), Line("70600000", 'C', 100)})});
  EXPECT_EQ(r.outcome, PiecesOutcome::HeaderLocked);
  EXPECT_NE(r.message.find("Journal d\xE9j\xE0 en cours de Saisie sur un autre poste"), std::string::npos) << r.message;
  EXPECT_EQ(Records(), before);
  EXPECT_EQ(DossierCounter(), counter);
  // The header of the first journal-month, taken on the way, was let go again.
  Table probe;
  ASSERT_TRUE(probe.OpenShared(c10, "C10CODE"));
  ASSERT_TRUE(posting::FindHeader(probe, posting::CleJournalMois("C603", "OD"), posting::kDraftSource).IsFound());
  EXPECT_TRUE(LockRecord(probe, nullptr, 0));
  UnlockRecord(probe);
  // A missing header is made only once the run goes on to write: none was made.
  EXPECT_FALSE(posting::FindHeader(probe, posting::CleJournalMois("C602", "OD"), posting::kDraftSource).IsFound());
}

// The first change of the draft refused (the disk full at its first line).
bool g_draftRefused = false;
void RefuseFirstDraftWrite() {
  if (!g_draftRefused && platform::ChangeBeingMade().find("c50lt") != std::string::npos) {
    g_draftRefused = true;
    platform::SetWriteFault(platform::WriteFault::kFullOnce, 1);
  }
}

// The header of a journal-month the general file lacks is made once the lines are in: a run whose
// first line is refused leaves the general file as it was; one whose header another station made
// and holds meanwhile stops with its lines kept, said, and is taken up once that entry is left.
TEST_F(BankPiecesTest, AMissingHeaderIsMadeOnceTheLinesAreIn) {
  const std::string c10 = PathC10(), february = posting::CleJournalMois("C602", "OD");
  const std::vector<ImportedPiece> pieces = {
      Piece("OD", {2026, 2, 6}, {Line("411", 'D', 100), Line("70600000", 'C', 100)})};
  ASSERT_FALSE(posting::FindHeader(*TableC10, february, posting::kDraftSource).IsFound());
  const long generalRecords = static_cast<long>(TableC10->RecCount());

  // The draft refuses the first line: nothing written, not even the header.
  long before = Records();
  platform::BeforeFileChange = RefuseFirstDraftWrite;
  PiecesReport r = processing::WriteImportedPieces(*TableC10, c50, c60, pieces, kMaxLineRecords,
                                                   [](const std::vector<long>&, const std::vector<long>&) { return true; });
  platform::BeforeFileChange = nullptr;
  platform::SetWriteFault(platform::WriteFault::kNone, 0);
  ASSERT_TRUE(g_draftRefused);
  EXPECT_EQ(r.outcome, PiecesOutcome::Failed) << r.message;
  EXPECT_EQ(Records(), before);
  EXPECT_EQ(static_cast<long>(TableC10->RecCount()), generalRecords);
  EXPECT_FALSE(posting::FindHeader(*TableC10, february, posting::kDraftSource).IsFound()) << "the header was left behind";

  // Another station makes February's header and enters it while the lines go in.
  std::vector<processing::RecordedPiece> recorded;
  {
    test_support::OtherProcess other([c10, february](char) {
      static Table t;
      if (!t.isOpen) t.OpenShared(c10, "C10CODE");
      return posting::EnsureDraftHeader(t, february) != posting::HeaderCreation::Failed &&
             posting::FindHeader(t, february, posting::kDraftSource).IsFound() && LockRecord(t, nullptr, 0);
    });
    r = processing::WriteImportedPieces(*TableC10, c50, c60, pieces, kMaxLineRecords,
                                        [&](const std::vector<long>& numbers, const std::vector<long>& counts) {
                                          recorded.push_back({"OD", "C602", numbers[0], counts[0]});
                                          return other.Do('h');
                                        });
    EXPECT_EQ(r.outcome, PiecesOutcome::Stopped) << r.message;
    EXPECT_NE(r.message.find("journal OD du mois 02/26"), std::string::npos) << r.message;
    EXPECT_NE(r.message.find("Saisie sur un autre poste"), std::string::npos) << r.message;
    EXPECT_EQ(Records(), before + 2) << "the lines written are kept";
  }

  // That entry left, the stopped run taken up: the piece whole, its totals written once.
  ASSERT_EQ(recorded.size(), 1u);
  const processing::StoppedPieces up = processing::PutStoppedPiecesInOrder(*TableC10, c50, c60, recorded, "");
  EXPECT_FALSE(up.refused);
  EXPECT_EQ(up.whole, std::vector<bool>{true});
  DossierInvariants check;
  EXPECT_TRUE(check.Check()) << check.Report();
}

class FrancsPiecesTest : public BankPiecesTest {
 protected:
  DossierCurrency Currency() const override { return DossierCurrency::EuroMain; }
};

TEST_F(FrancsPiecesTest, ConversionDifferencesGetARoundingLineAndTheJournalCounterIsUsed) {
  // The journal's own counter, characters 19-24 of its field 4.
  ASSERT_TRUE(posting::FindJournal(*TableC10, "OD").IsFound());
  ASSERT_TRUE(LockRecord(*TableC10, nullptr, 0));
  ASSERT_TRUE(TableC10->PutFieldPart(4, 19, 6, "000500"));
  UnlockRecord(*TableC10);
  ASSERT_TRUE(TableC10->Commit());
  const long before = Records();
  // 10.00 = 65.60 F against 3.33 = 21.84 F + 6.67 = 43.75 F: one franc cent short on the credit.
  // A piece typed in francs (655.96 F = 100.00 on both sides) needs none.
  ImportedLine francs = Line("411", 'D', 65596);
  francs.francs = true;
  ImportedLine francs2 = Line("70600000", 'C', 65596);
  francs2.francs = true;
  // The run is told each piece's lines before the first is written, the rounding line counted.
  std::vector<long> told;
  const PiecesReport r = processing::WriteImportedPieces(
      *TableC10, c50, c60,
      {Piece("OD", {2026, 3, 14}, {Line("411", 'D', 1000), Line("70600000", 'C', 333), Line("70700000", 'C', 667)}),
       Piece("OD", {2026, 3, 15}, {francs, francs2})},
      kMaxLineRecords, [&](const std::vector<long>&, const std::vector<long>& lineCounts) {
        told = lineCounts;
        return true;
      });
  ASSERT_EQ(r.outcome, PiecesOutcome::Written) << r.message;
  EXPECT_EQ(r.numbers, (std::vector<long>{500, 501}));
  EXPECT_EQ(r.roundingLines, 1);
  EXPECT_EQ(told, (std::vector<long>{4, 2}));
  ASSERT_EQ(Records(), before + 6);
  // Each line carries its own amount in the other currency.
  const double francsOf[] = {65.60, 21.84, 43.75};
  for (int i = 0; i < 3; ++i) {
    ASSERT_TRUE(c50.GoTo(before + 1 + i));
    EXPECT_DOUBLE_EQ(c50.GetFieldNum(L::BMONTANTF), francsOf[i]) << "line " << i + 1;
  }
  ASSERT_TRUE(c50.GoTo(before + 4));
  EXPECT_EQ(std::string(c50.GetField(L::BEURO)), "o");
  EXPECT_EQ(std::string(c50.GetField(L::BSENS)), "C");
  EXPECT_EQ(std::string(c50.GetField(L::BCODE)), "76600000");
  EXPECT_DOUBLE_EQ(c50.GetFieldNum(L::BMONTANTF), 0.01);
  EXPECT_DOUBLE_EQ(c50.GetFieldNum(L::BMONTANTE), 0.0);
  ASSERT_TRUE(c50.GoTo(before + 5));
  EXPECT_EQ(std::string(c50.GetField(L::BEURO)), "N");
  EXPECT_DOUBLE_EQ(c50.GetFieldNum(L::BMONTANTE), 100.00);
  DossierInvariants check;
  EXPECT_TRUE(check.Check()) << check.Report();
}

}  // namespace
}  // namespace processing_test
