// The ASCII import at the edges of the financial year: a piece on its first and on its last day
// is written with that date, one the day before or the day after is refused, dates that do not
// exist are refused by their line; and a later file imported after a first adds its pieces under
// the next numbers, the first's lines and the journal-month's totals kept.
#include <filesystem>
#include <fstream>
#include <set>

#include "core_fixture.h"
#include "data/dossier_invariants.h"
#include "platform/system/files.h"
#include "processing/core/ascii_import.h"
#include "runtime/logfile.h"

namespace processing_test {
namespace {

using processing::AsciiRead;

const char* const kColumns = "Journal;Date;Piece;Compte;CodeLibelle;Libelle;Echeance;Debit;Credit\r\n";

std::string ErrorsOf(const AsciiRead& r) {
  std::string all;
  for (const processing::AsciiError& e : r.errors) all += std::to_string(e.line) + ": " + e.text + "\n";
  return all;
}

// A balanced piece of journal OD dated `date`, its debit line due `due`.
std::string Piece(const std::string& date, const std::string& reference, const std::string& due = "",
                  const std::string& amount = "10,00") {
  return "OD;" + date + ";" + reference + ";60700000;0;" + reference + ";" + due + ";" + amount + ";\r\n" + "OD;" + date +
         ";" + reference + ";51200000;0;" + reference + ";;;" + amount + "\r\n";
}

class AsciiBoundaryTest : public CoreTest {
 protected:
  void SetUp() override {
    CoreTest::SetUp();
    SetLogDossier(Dir() + "/lt/", "LT");
  }
  std::string File(const std::string& name, const std::string& body) {
    const std::string path = Dir() + "/" + name;
    std::ofstream(path, std::ios::binary) << kColumns << body;
    return path;
  }
  AsciiRead Read(const std::string& path) { return processing::ReadAsciiFile(*TableC10, *TableC20, c50, path); }
  long Records() { return static_cast<long>(c50.RecCount()); }
  // Month, day, due date, piece and label of draft record `r`.
  std::string LineOf(long r) {
    EXPECT_TRUE(c50.GoTo(r));
    return std::string(c50.GetField(L::BMOIS)) + " " + c50.GetField(L::BJOUR) + " " +
           RTrim(c50.GetField(L::BECHEANCE)) + " " + RTrim(c50.GetField(L::BPIECE)) + " " +
           RTrim(c50.GetField(L::BLIB));
  }
};

TEST_F(AsciiBoundaryTest, TheYearsFirstAndLastDaysAreImportedAndTheDaysOutsideRefused) {
  Ymd first, last;
  ASSERT_TRUE(TheDossierRecord.DateYmd(DossierRecord::DateField::YearStart, first));
  ASSERT_TRUE(TheDossierRecord.DateYmd(DossierRecord::DateField::YearEnd, last));
  ASSERT_EQ(StoredDateOf(first) + StoredDateOf(last), "C60101C61231");
  struct Case {
    const char* what;
    const char* date;
    const char* due;
    const char* stored;  // month and day written, "" when refused
    const char* error;   // the refusal of line 2
  };
  const Case cases[] = {
      {"the first day", "01/01/2026", "", "C601 01", ""},
      {"the last day", "31/12/2026", "", "C612 31", ""},
      {"the first day, short year", "01/01/26", "", "C601 01", ""},
      {"the last day, AAAAMMJJ", "20261231", "", "C612 31", ""},
      {"the day before the year", "31/12/2025", "", "", "Date hors de l'exercice : 31/12/2025"},
      {"the day after the year", "01/01/2027", "", "", "Date hors de l'exercice : 01/01/2027"},
      {"the day before, AAAAMMJJ", "20251231", "", "", "Date hors de l'exercice"},
      {"29 February of a common year", "29/02/2026", "", "", "Date incorrecte : 29/02/2026"},
      {"31 April", "31/04/2026", "", "", "Date incorrecte : 31/04/2026"},
      {"day 0", "00/01/2026", "", "", "Date incorrecte"},
      {"month 13", "20261301", "", "", "Date incorrecte"},
      {"day 32, short year", "32/12/26", "", "", "Date incorrecte"},
      {"a leap day outside the year", "29/02/2024", "", "", "Date hors de l'exercice : 29/02/2024"},
      // The due date may fall after the year; it must exist.
      {"due after the year", "31/12/2026", "31/01/2027", "C612 31 C70131", ""},
      {"due on a day that does not exist", "31/12/2026", "31/11/2026", "", "Date d'\xE9" "ch\xE9" "ance incorrecte"},
  };
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string path = File("bornes" + std::to_string(++n) + ".txt", Piece(c.date, "B" + std::to_string(n), c.due));
    const long before = Records();
    const AsciiRead read = Read(path);
    if (*c.stored == 0) {
      EXPECT_FALSE(read.Importable());
      bool found = false;
      for (const processing::AsciiError& e : read.errors)
        found = found || (e.line == 2 && e.text.find(c.error) != std::string::npos);
      EXPECT_TRUE(found) << ErrorsOf(read);
      EXPECT_FALSE(processing::ImportAsciiFile(*TableC10, c50, c60, read).written);
      EXPECT_EQ(Records(), before);
      continue;
    }
    ASSERT_TRUE(read.Importable()) << ErrorsOf(read);
    const processing::AsciiRun run = processing::ImportAsciiFile(*TableC10, c50, c60, read);
    ASSERT_TRUE(run.written) << run.message;
    ASSERT_EQ(Records(), before + 2);
    for (long r = before + 1; r <= before + 2; ++r) {
      const std::string line = LineOf(r);
      EXPECT_EQ(line.substr(0, 7), std::string(c.stored).substr(0, 7)) << line;
      if (r == before + 1 && *c.due) EXPECT_EQ(line.substr(8, 6), std::string(c.stored).substr(8)) << line;
    }
  }
  DossierInvariants check;
  EXPECT_TRUE(check.Check()) << check.Report();
}

// A first file, then a later one whose pieces fall in the same journal-months and on the year's
// last day: the second adds its lines after the first's, under numbers after the first's, the
// first's lines unchanged and the journal-months' totals those of both.
TEST_F(AsciiBoundaryTest, ALaterFileAddsItsPiecesAfterTheFirstFilesAndKeepsThem) {
  const long before = Records();
  const std::string one = File("janvier.txt", Piece("01/01/2026", "J1") + Piece("15/06/2026", "J2", "", "1 200,50"));
  const AsciiRead first = Read(one);
  ASSERT_TRUE(first.Importable()) << ErrorsOf(first);
  const processing::AsciiRun run1 = processing::ImportAsciiFile(*TableC10, c50, c60, first);
  ASSERT_TRUE(run1.written) << run1.message;
  ASSERT_EQ(Records(), before + 4);
  std::vector<std::string> firstLines;
  for (long r = before + 1; r <= before + 4; ++r) firstLines.push_back(LineOf(r));

  const std::string two = File("decembre.txt", Piece("15/06/2026", "K1", "", "7,05") + Piece("31/12/2026", "K2") +
                                                   Piece("01/01/2026", "K3", "", "0,01"));
  const AsciiRead second = Read(two);
  ASSERT_TRUE(second.Importable()) << ErrorsOf(second);
  EXPECT_TRUE(second.importedBefore.empty());
  EXPECT_TRUE(second.stoppedRun.empty()) << second.stoppedRun;
  const processing::AsciiRun run2 = processing::ImportAsciiFile(*TableC10, c50, c60, second);
  ASSERT_TRUE(run2.written) << run2.message;
  ASSERT_EQ(Records(), before + 10);
  for (long r = before + 1; r <= before + 4; ++r) EXPECT_EQ(LineOf(r), firstLines[r - before - 1]);
  ASSERT_EQ(run1.pieces.numbers.size(), 2u);
  ASSERT_EQ(run2.pieces.numbers.size(), 3u);
  const long highest = std::max(run1.pieces.numbers[0], run1.pieces.numbers[1]);
  std::set<long> numbers(run1.pieces.numbers.begin(), run1.pieces.numbers.end());
  for (long number : run2.pieces.numbers) {
    EXPECT_GT(number, highest);
    EXPECT_TRUE(numbers.insert(number).second) << number;
  }
  // Each of the second file's lines carries its own date.
  EXPECT_EQ(LineOf(before + 5).substr(0, 7), "C606 15");
  EXPECT_EQ(LineOf(before + 7).substr(0, 7), "C612 31");
  EXPECT_EQ(LineOf(before + 9).substr(0, 7), "C601 01");
  // The account and journal-month totals add both files.
  DossierInvariants check;
  EXPECT_TRUE(check.Check()) << check.Report();
  // Both files are in the log; the first file's content again is refused, the second's too.
  for (const std::string& renamed : {run1.renamedTo, run2.renamedTo}) {
    ASSERT_FALSE(renamed.empty());
    const std::string copy = Dir() + "/encore.txt";
    std::filesystem::copy_file(renamed, copy, std::filesystem::copy_options::overwrite_existing);
    const AsciiRead again = Read(copy);
    EXPECT_FALSE(again.Importable()) << renamed;
    EXPECT_FALSE(again.importedBefore.empty()) << renamed;
  }
  EXPECT_EQ(Records(), before + 10);
}

}  // namespace
}  // namespace processing_test
