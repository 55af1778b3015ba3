// The ledger reports and their limits forms over a file the disk refuses to read: a code not read is
// an error said with its file, never an unknown code; a report that met the refusal says it, never
// printing an account without its totals or a summary with nothing in it as if that were so.
#include <climits>
#include <string>

#include "ledger_fixture.h"
#include "reports/ledgers/core/account_statement.h"
#include "reports/ledgers/core/centralising_summary.h"
#include "reports/ledgers/core/limits_checks.h"
#include "support/refused_read.h"

namespace ledgers_test {
namespace {

using namespace ledgers;
using test_support::RefusedRead;

class RefusedReadsTest : public LedgerCoreTest {
 protected:
  void SetUp() override {
    LedgerCoreTest::SetUp();
    DemoOptions o;
    o.code = "RRL";
    o.lines = 300;
    o.firstDay = {2025, 7, 1};
    o.lastDay = {2026, 6, 30};
    o.currency = DossierCurrency::EuroMain;
    OpenDemo(o);
  }
  void TearDown() override {
    RefusedRead::Disarm();
    LedgerCoreTest::TearDown();
  }
  // The program's table opened again on `path` (no extension), every read of its data file refused
  // from now on, as a disk that can no longer read it.
  static void RefuseFromNowOn(Table& t, const std::string& path, const std::string& file, const char* tag) {
    // Opened while reads are counted, so that the engine reads the file rather than maps it.
    RefusedRead::Arm(file, INT_MAX);
    t.CloseTable();
    ASSERT_TRUE(t.OpenShared(path, tag));
    RefusedRead::Arm(file, 1, true);
  }
  static bool Said(const std::string& what) {
    for (const std::string& m : Messages())
      if (m.find(what) != std::string::npos) return true;
    return false;
  }
  static std::string AllSaid() {
    std::string all;
    for (const std::string& m : Messages()) all += m + "\n";
    return all;
  }
};

TEST_F(RefusedReadsTest, AnAccountNotReadIsAnErrorSaidWithItsFileNeverAnUnknownCode) {
  ASSERT_TRUE(CheckStatementAccount("411", false, '?', *TableC20, *TableC30).ok);
  RefuseFromNowOn(*TableC20, PathC20(), "/c20rrl.dbf", "C20CODE");
  Messages().clear();
  const CodeCheck statement = CheckStatementAccount("411", false, '?', *TableC20, *TableC30);
  EXPECT_FALSE(statement.ok);
  EXPECT_EQ(statement.staticText, "Erreur");
  EXPECT_TRUE(Said("c20rrl")) << AllSaid();

  Messages().clear();
  const CodeCheck ledger = CheckLedgerAccount('G', "", "41", false, "", '?', *TableC20, *TableC30);
  EXPECT_FALSE(ledger.ok);
  EXPECT_EQ(ledger.staticText, "Erreur");
  EXPECT_TRUE(Said("c20rrl")) << AllSaid();
}

TEST_F(RefusedReadsTest, AReportThatMetARefusedReadSaysItWithItsFile) {
  // The statement of an account whose record (its name and totals) cannot be read.
  RefuseFromNowOn(*TableC20, PathC20(), "/c20rrl.dbf", "C20CODE");
  Messages().clear();
  AccountStatement statement;
  AccountStatementOptions o;
  o.account = "41100000";
  o.dateFrom = TheDossierRecord.DateStored(DossierRecord::DateField::YearStart);
  o.dateTo = TheDossierRecord.DateStored(DossierRecord::DateField::YearEnd);
  o.inEuros = true;
  statement.TakeLimits(o.ToRecord());
  if (statement.PrepareReport())
    RunToExport(statement, ReadText(DataPath("C-Etat-EC-CSV.txt")), ArtefactPath("statement.csv"));
  EXPECT_TRUE(Said("c20rrl")) << AllSaid();
  RefusedRead::Disarm();

  // The centralising summary over a general file that cannot be read: not a report with nothing in it.
  RefuseFromNowOn(*TableC10, PathC10(), "/c10rrl.dbf", "C10CODE");
  Messages().clear();
  CentralisingSummary summary;
  summary.optionsText = "E";
  EXPECT_TRUE(summary.HasRecords());
  EXPECT_FALSE(summary.PrepareReport());
  EXPECT_TRUE(Said("c10rrl")) << AllSaid();
  EXPECT_FALSE(Said("Il n'y a rien")) << AllSaid();
}

}  // namespace
}  // namespace ledgers_test
