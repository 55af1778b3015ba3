// The generated entries in each currency: pieces of every journal type, VAT lines, auxiliary accounts with
// their counterparts, and in a dossier of two currencies pieces typed in the other currency with their
// exchange-rounding lines; the oracle, which reads them with dbfread, finds them right.
#include <map>

#include "data/dossier_files.h"
#include "data/entry_lines.h"
#include "data/session.h"
#include "data/table.h"
#include "demo/dossier_demo.h"
#include "support/demo_oracle.h"
#include "support/python.h"
#include "support/runtime_fixture.h"

namespace entry_test {
namespace {

using L = LigneEcriture;

class DemoEntriesTest : public test_support::RuntimeTest {
 protected:
  void SetUp() override {
    RuntimeTest::SetUp();
    ASSERT_EQ(StartDbSession(), 0);
  }
  void TearDown() override {
    StopDbSession();
    RuntimeTest::TearDown();
  }
};

TEST_F(DemoEntriesTest, EachCurrencyHasItsEntryLettersAndTheOracleFindsThemRight) {
  const struct Case {
    DossierCurrency currency;
    const char* mode;
    const char* letters;  // the entry letters its live general lines carry
    char analytic;
  } cases[] = {
      {DossierCurrency::EuroMain, "euro", "NOo", '1'},
      {DossierCurrency::FrancMain, "franc", "NOn", '0'},
      {DossierCurrency::EuroOnly, "euro-only", "O", '2'},
  };
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mode);
    DemoOptions o;
    o.folder = Dir() + "/d" + std::to_string(++n);
    o.code = "DM";
    o.lines = 3000;
    o.currency = c.currency;
    o.analyticMode = c.analytic;
    o.seed = static_cast<std::uint64_t>(n);
    std::string message;
    ASSERT_TRUE(GenerateDemoDossier(o, &message)) << message;

    std::map<char, long> letters;
    std::map<std::string, long> vatByJournal;
    std::map<char, std::string> rounding;  // rounding account of each sense
    Table c50;
    ASSERT_TRUE(c50.OpenShared(o.folder + "/c50dm", L::kCodeTag, true));
    for (bool more = c50.GoTop(L::kCodeTag); more; more = c50.Skip(1)) {
      if (c50.IsDeleted()) continue;
      const char entry = c50.GetField(L::BEURO)[0];
      ++letters[entry];
      if (c50.GetField(L::BTVA)[0] != ' ') ++vatByJournal[c50.GetField(L::BJAL)];
      if (entry == 'o' || entry == 'n') rounding[c50.GetField(L::BSENS)[0]] = c50.GetField(L::BCODE);
    }
    std::string seen;
    for (const auto& [letter, count] : letters) seen += letter;
    std::string wanted = c.letters;
    std::sort(wanted.begin(), wanted.end());
    EXPECT_EQ(seen, wanted);
    EXPECT_GT(vatByJournal["AC "], 0);
    EXPECT_GT(vatByJournal["VE "], 0);
    if (c.currency != DossierCurrency::EuroOnly) {
      EXPECT_EQ(rounding['D'], "66600000");
      EXPECT_EQ(rounding['C'], "76600000");
    }
    // Auxiliary accounts name their collective as counterpart.
    Table c20;
    ASSERT_TRUE(c20.OpenShared(o.folder + "/c20dm", "C20CODE", true));
    long auxiliaries = 0;
    for (bool more = c20.GoTop("C20CODE"); more; more = c20.Skip(1)) {
      if (!IsAuxiliaryAccount(c20.GetField(1))) continue;
      ++auxiliaries;
      EXPECT_EQ(std::string(c20.GetField(25)), c20.GetField(1)[0] == 'C' ? "41100000" : "40100000");
    }
    EXPECT_GT(auxiliaries, 10);

    int status = -1;
    const std::string out = test_support::RunPythonScript(
        "import sys, runpy\nsys.argv = ['check_demo.py', '" + o.folder + "', 'DM']\n"
        "runpy.run_path('" + test_support::DemoOracle() + "', run_name='__main__')\n",
        true, &status);
    EXPECT_EQ(status, 0) << out;
    EXPECT_NE(out.find(std::string(" ") + c.mode + " "), std::string::npos) << out;
  }
}

}  // namespace
}  // namespace entry_test
