// The demo dossier made at its year's end: the whole year in the closed file, nothing live in the
// draft, matched customers and suppliers, a bank account with reconciled and unreconciled lines, the
// opening balances' settings; its books pass the checks that come before the opening balances.
#include <gtest/gtest.h>

#include <string>

#include "data/dossier_files.h"
#include "data/entry_lines.h"
#include "data/session.h"
#include "data/table.h"
#include "demo/dossier_demo.h"
#include "processing/core/matching_lines.h"
#include "processing/core/opening_balances.h"
#include "runtime/dossier_record.h"
#include "runtime/runtime_hooks.h"
#include "runtime/xbase.h"
#include "support/demo_oracle.h"
#include "support/python.h"
#include "support/runtime_fixture.h"

namespace {

class YearEndDemoTest : public test_support::RuntimeTest {
 protected:
  void SetUp() override {
    RuntimeTest::SetUp();
    SetRuntimeMessageHook([](const char*, const char*, unsigned) { return 1; });
    ASSERT_EQ(StartDbSession(), 0);
  }
  void TearDown() override {
    CloseAllTables();
    StopDbSession();
    SetDossier("", "");
    RuntimeTest::TearDown();
  }
};

TEST_F(YearEndDemoTest, TheWholeYearIsClosedAndReadyForItsOpeningBalances) {
  DemoOptions o;
  o.folder = Dir() + "/ye";
  o.code = "YE";
  o.lines = 2500;
  o.currency = DossierCurrency::EuroMain;
  o.analyticMode = '1';
  o.matchings = true;
  o.bankStatements = true;
  o.yearEnd = true;
  std::string message;
  DemoStats stats;
  ASSERT_TRUE(GenerateDemoDossier(o, &message, &stats)) << message;
  int status = 0;
  const std::string checked = test_support::RunPythonScript(
      "import sys, runpy\nsys.argv=['check_demo.py', '" + o.folder + "', 'YE']\nrunpy.run_path('" +
          test_support::DemoOracle() + "', run_name='__main__')\n",
      true, &status);
  EXPECT_EQ(checked.rfind("OK ", 0), 0u) << checked;

  SetDossier(o.folder + "/", "YE");
  Table c10, c20, c40, c50, c60;
  ASSERT_TRUE(c50.OpenShared(PathC50(), "", true));
  for (bool more = c50.GoTop(); more; more = c50.Skip(1)) EXPECT_TRUE(c50.IsDeleted()) << c50.RecNo();
  ASSERT_TRUE(c40.OpenShared(PathC40(), "C40CODE", true));
  long closed = 0;
  for (bool more = c40.GoTop(); more; more = c40.Skip(1)) closed += c40.IsDeleted() ? 0 : 1;
  EXPECT_EQ(closed, stats.lines);

  // The dossier record: the working date on the last day, constants 040, 058 and 059 set.
  ASSERT_TRUE(c10.OpenShared(PathC10(), "C10CODE", true));
  ASSERT_TRUE(c10.Seek("C10CODE", "0"));
  DossierRecord record;
  record.Set(31, 254, c10.GetField(4));
  EXPECT_EQ(record.DateYyyymmdd(DossierRecord::DateField::Working), YyyymmddOf(o.lastDay));
  EXPECT_EQ(record.DateYyyymmdd(DossierRecord::DateField::YearStart), YyyymmddOf(o.firstDay));
  ASSERT_TRUE(c10.Seek("C10CODE", "P", "0"));
  record.Set(539, 252, c10.GetField(4));
  for (int n : {40, 58, 59}) EXPECT_EQ(record.Constant(n), "OUI") << n;

  // The customers and suppliers carry letters that balance, the bank both reconciled and open lines.
  const std::vector<processing::Collective> collectives = processing::ReadCollectives(c10);
  ASSERT_TRUE(c20.OpenShared(PathC20(), "C20CODE", true));
  EXPECT_EQ(processing::TrialBalanceRefusal(processing::ComputeTrialBalance(c20, collectives), false), "");
  ASSERT_TRUE(c60.OpenShared(PathC60(), processing::kC60CodeTag, true));
  for (int currency : {0, 1})
    EXPECT_EQ(processing::CheckLetterBalances(c40, c50, c60, collectives, currency), "") << currency;
  long lettered = 0, bankLettered = 0, bankOpen = 0;
  for (bool more = c60.GoTop(processing::kC60CodeTag); more; more = c60.Skip(1)) {
    if (c60.IsDeleted()) continue;
    const std::string code = c60.GetField(LigneTri::TCODE);
    const bool letter = !IsBlank(c60.GetField(LigneTri::TLETE));
    if (code.rfind("51200000", 0) == 0) (letter ? bankLettered : bankOpen) += 1;
    else if (letter && (code[0] == 'C' || code[0] == 'F')) ++lettered;
  }
  EXPECT_GT(lettered, 50);
  EXPECT_GT(bankLettered, 20);
  EXPECT_GT(bankOpen, 10);
}

}  // namespace
