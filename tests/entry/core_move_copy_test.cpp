// Moving and copying pieces without windows: the day fitted to the target month, the copied
// labels, and any sequence of moves and copies keeping every rule of the dossier (sort records,
// headers, account and section totals) as the invariant check and the oracle read them.
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <set>

#include "core_fixture.h"
#include "data/record_fields.h"
#include "entry/core/move_copy.h"
#include "runtime/dates.h"
#include "runtime/text.h"
#include "runtime/xbase.h"
#include "support/line_files.h"

namespace entry_test {
namespace {

using namespace entry;
using namespace posting;

TEST(MoveCopyRules, TheDayIsFittedToTheTargetMonth) {
  struct Case {
    const char* month;
    const char* day;
    const char* fitted;
  } cases[] = {
      {"C604", "31", "30"},  // April 2026
      {"C602", "31", "28"},  // February 2026
      {"C602", "29", "28"},
      {"A402", "31", "29"},  // February 2004
      {"A402", "29", "29"},
      {"A502", "30", "28"},  // February 2005
      {"A002", "31", "29"},  // February 2000
      {"C603", "31", "31"},
      {"C612", "15", "15"},
      {"C604", "  ", "  "},  // no day yet: it stays
      {"C604", "3x", "3x"},
  };
  for (const Case& c : cases) EXPECT_EQ(FittedDay(c.month, c.day), c.fitted) << c.month << " " << c.day;
}

TEST(MoveCopyRules, TheLabelsOfACopy) {
  struct Case {
    const char* line;
    const char* dialog;
    const char* copied;
  } cases[] = {
      {"Loyer\\mars", "Nouveau", "Nouveau\\mars"},
      {"Sans barre", "Nouveau", "Nouveau"},
      {"Loyer\\mars", "  Nouveau  ", "Nouveau\\mars"},
      {"Loyer\\mars", "Avec\\barre", "Avec\\barre"},
      {"Sans barre", "Avec\\barre", "Avec\\barre"},
      {"Loyer\\mars", "", "Loyer\\mars"},
      {"A\\b\\c", "X", "X\\b\\c"},
      {"Loyer\\mars", "Un libelle de vingt-cinq!", "Un libelle de vingt-cinq!"},
      {"L\\une fin qui depasse", "Un long libelle", "Un long libelle\\une fin q"},
  };
  for (const Case& c : cases) {
    std::string expected = c.copied;
    expected.resize(25, ' ');
    EXPECT_EQ(CopiedLabel(c.line, c.dialog), expected) << c.line << " / " << c.dialog;
  }
}

class MoveCopyCoreTest : public CoreTest {
 protected:
  long Lines() const override { return 400; }
  // The live pieces of the draft: journal-month and piece.
  std::vector<std::pair<std::string, std::string>> Pieces() {
    std::set<std::pair<std::string, std::string>> pieces;
    for (bool more = c50.GoTop(L::kCodeTag); more; more = c50.Skip(1))
      if (!c50.IsDeleted())
        pieces.emplace(std::string(c50.GetField(L::BMOIS)) + c50.GetField(L::BJAL), c50.GetField(L::BPIECE));
    return {pieces.begin(), pieces.end()};
  }
};

TEST_F(MoveCopyCoreTest, AnySequenceOfMovesAndCopiesKeepsTheDossierSound) {
  std::mt19937 rng(20260315);
  const std::vector<YearMonth> months = FinancialYearMonths();
  ASSERT_EQ(months.size(), 12u);
  const char* journals[] = {"AC ", "VE ", "BQ ", "OD ", "CAI", "ODA"};
  long moved = 0, copied = 0;
  for (int i = 0; i < 40; ++i) {
    const auto pieces = Pieces();
    ASSERT_FALSE(pieces.empty());
    const auto& [source, piece] = pieces[rng() % pieces.size()];
    PieceTarget target;
    target.journalMonth = months[rng() % months.size()].stored + journals[rng() % 6];
    target.day = rng() % 3 == 0 ? StrZero(1 + static_cast<long>(rng() % 31), 2) : "  ";
    target.label = rng() % 3 == 0 ? "Copie \\" + std::to_string(i) : (rng() % 2 ? "Copie " + std::to_string(i) : "");
    target.label.resize(25, ' ');
    target.clearAmounts = rng() % 4 == 0;
    const bool copy = rng() % 2 == 0;
    const PieceResult r = copy ? CopyPiece(source, piece, target) : MovePiece(source, piece, target);
    if (target.journalMonth == source) {
      EXPECT_EQ(r.outcome, PieceOutcome::SameJournal);
      continue;
    }
    ASSERT_EQ(r.outcome, PieceOutcome::Done) << i << " " << source << " " << piece << " -> " << target.journalMonth;
    EXPECT_GT(r.generalLines, 0);
    (copy ? copied : moved) += r.generalLines;
    DossierInvariants check;
    ASSERT_TRUE(check.Check()) << "after step " << i << (copy ? " (copy) " : " (move) ") << source << " " << piece
                               << " -> " << target.journalMonth << "\n" << check.Report();
  }
  EXPECT_GT(moved, 0);
  EXPECT_GT(copied, 0);
  ExpectInvariants("after 40 moves and copies");
}

// A copied analytic line's sort record carries the general account it splits (TCG), as every
// analytic writer's does.
TEST_F(MoveCopyCoreTest, ACopysAnalyticSortRecordsCarryTheirGeneralAccount) {
  // A piece with analytic lines.
  ASSERT_TRUE(c50.GoTop(L::kAnalyticTag));
  while (!c50.eof && (c50.IsDeleted() || c50.GetField(L::BCLE)[0] != 'W')) c50.Skip(1);
  ASSERT_FALSE(c50.eof);
  const std::string source = std::string(c50.GetField(L::BMOIS)) + c50.GetField(L::BJAL);
  const std::string piece = c50.GetField(L::BPIECE);
  PieceTarget target;
  target.journalMonth = source.substr(0, 4) + "ODA";
  const long dossierCounter = std::atol(TheDossierRecord.NextPiece().c_str());
  const PieceResult r = CopyPiece(source, piece, target);
  ASSERT_EQ(r.outcome, PieceOutcome::Done);
  EXPECT_GT(r.analyticLines, 0);
  // ODA numbers its own pieces: the dossier's counter is not taken.
  EXPECT_EQ(r.piece, "000007");
  EXPECT_EQ(std::atol(TheDossierRecord.NextPiece().c_str()), dossierCounter);
  long checked = 0;
  const std::string key = target.journalMonth + r.piece;
  for (bool more = c50.SeekNotBelow(L::kAnalyticTag, key.c_str()); more; more = c50.Skip(1)) {
    if (std::string(c50.GetField(L::BMOIS)) + c50.GetField(L::BJAL) + c50.GetField(L::BPIECE) != key) break;
    ASSERT_TRUE(T::Find(c60, T::kDraft, c50.recordNumber));
    EXPECT_FALSE(IsBlank(c60.GetField(T::TCG)));
    EXPECT_EQ(std::string(c60.GetField(T::TCG)), std::string(c50.GetField(L::BCG)));
    ++checked;
  }
  EXPECT_EQ(checked, r.analyticLines);
  // A second copy takes the journal's next number.
  EXPECT_EQ(CopyPiece(source, piece, target).piece, "000008");
  ExpectInvariants("after the copies");
}

// A copied line keeps the amount every report reads: "54.125" stored by another program reads
// 54.13, and so does its copy (the engine's two-decimal text of it would be 54.12).
TEST_F(MoveCopyCoreTest, ACopiedLineReadsAsItsSource) {
  ASSERT_TRUE(c50.GoTop(L::kCodeTag));
  while (!c50.eof && (c50.IsDeleted() || c50.GetFieldNum(L::BMONTANTE) == 0)) c50.Skip(1);
  ASSERT_FALSE(c50.eof);
  const std::string source = std::string(c50.GetField(L::BMOIS)) + c50.GetField(L::BJAL);
  const std::string piece = c50.GetField(L::BPIECE), number = c50.GetField(L::BNUM);
  test_support::RawRecords(std::string(PathC50()) + ".dbf").Put(c50.recordNumber, "BMONTANTE", "54.125");
  PieceTarget target;
  target.journalMonth = source.substr(0, 4) + (source.substr(4, 3) == "ODA" ? "OD " : "ODA");
  const PieceResult r = CopyPiece(source, piece, target);
  ASSERT_EQ(r.outcome, PieceOutcome::Done);
  const std::string key = "Z" + target.journalMonth + r.piece;
  bool found = false;
  for (bool more = c50.Seek(L::kCodeTag, key.c_str()); more && L::Key(c50).compare(0, key.size(), key) == 0;
       more = c50.Skip(1)) {
    if (std::string(c50.GetField(L::BNUM)) != number) continue;
    found = true;
    EXPECT_EQ(StoredAmountOf(c50, L::BMONTANTE), 5413);
  }
  EXPECT_TRUE(found) << key;
}

// A piece with a line whose amount does not read is neither moved nor copied with its amounts: each
// is refused before its first write, naming the line, every file of the dossier as it was; a copy
// that clears the amounts reads none of them and goes through.
TEST_F(MoveCopyCoreTest, APieceWithAnAmountThatDoesNotReadIsRefusedNamed) {
  ASSERT_TRUE(c50.GoTop(L::kCodeTag));
  while (!c50.eof && (c50.IsDeleted() || c50.GetField(L::BCLE)[0] != 'Z' || c50.GetFieldNum(L::BMONTANTE) == 0))
    c50.Skip(1);
  ASSERT_FALSE(c50.eof);
  const std::string source = std::string(c50.GetField(L::BMOIS)) + c50.GetField(L::BJAL);
  const std::string piece = c50.GetField(L::BPIECE);
  const std::string named = "C50 enregistrement " + std::to_string(c50.recordNumber) + ", pi\xE8" "ce " +
                            Trimmed(piece) + ", compte " + Trimmed(c50.GetField(L::BCODE));
  test_support::RawRecords(std::string(PathC50()) + ".dbf").Put(c50.recordNumber, "BMONTANTE", "ABC");
  const auto files = [] {
    std::string all;
    for (const auto& e : std::filesystem::directory_iterator(std::string(DossierFolder))) {
      if (!e.is_regular_file() || e.path().extension() == ".txt") continue;
      std::ifstream in(e.path(), std::ios::binary);
      std::ostringstream bytes;
      bytes << in.rdbuf();
      all += e.path().string() + bytes.str();
    }
    return all;
  };
  PieceTarget target;
  target.journalMonth = source.substr(0, 4) + (source.substr(4, 3) == "ODA" ? "OD " : "ODA");
  for (const bool copy : {false, true}) {
    SCOPED_TRACE(copy ? "copy" : "move");
    const std::string before = files();
    const PieceResult r = copy ? CopyPiece(source, piece, target) : MovePiece(source, piece, target);
    EXPECT_EQ(r.outcome, PieceOutcome::Failed);
    EXPECT_NE(r.refusal.find(named), std::string::npos) << r.refusal;
    EXPECT_EQ(r.generalLines, 0);
    EXPECT_TRUE(files() == before) << "a file of the dossier changed";
  }
  target.clearAmounts = true;
  EXPECT_EQ(CopyPiece(source, piece, target).outcome, PieceOutcome::Done);
}

}  // namespace
}  // namespace entry_test
