// The export for the CEGID product: the records of a small dossier byte for byte against the
// golden files (constant 048 "N6" and "A8"), the blocks of 99 lines, the dossier code, the
// refusals (a letter without collective, two auxiliary accounts with one number, amounts that do
// not read), and the three forms of the exported texts.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "balance_fixture.h"
#include "platform/system/files.h"
#include "reports/balances/core/cegid_export.h"
#include "reports/balances/core/export_text.h"

using namespace balances;

namespace {

class CegidTest : public test_support::BalanceDossierTest {
 public:
  void SetUp() override {
    BalanceDossierTest::SetUp();
    FillStandardDossier();
  }

  bool Build(CegidExport& xc, const std::string& constant048, std::string* message = nullptr,
             const std::string& end = "C61231") {
    std::string m;
    EXPECT_TRUE(source_.Load(Path("c60"), Path("c50"), Path("c40"), &m)) << m;
    EXPECT_TRUE(chart_.LoadAccounts(Path("c20"), &m)) << m;
    EXPECT_TRUE(codes_.Load(Path("c10"), &m)) << m;
    CegidContext x;
    x.dossierCode = "00123";
    x.name = "Soci\xE9t\xE9 d'essai";
    x.street = "12 rue des \xC9" "coles";
    x.street2 = "";
    x.townLine = "37000 Tours";
    x.siren = "732829320";
    x.establishment = "00012";
    x.activity = "4690";
    x.yearStart = "C60101";
    x.yearEnd = "C61231";
    x.periodStart = "C60101";
    x.periodEnd = end;
    x.constant048 = constant048;
    x.constant045 = 'M';
    return xc.Build(source_, codes_, chart_, x, message);
  }

  static std::string Golden(const std::string& name) {
    std::ifstream in(std::string(MERLON_SOURCE_DIR) + "/tests/data/balances/" + name, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }

  BalanceSource source_;
  ChartList chart_;
  CodeLists codes_;
};

TEST_F(CegidTest, RecordsEqualTheGoldenFiles) {
  for (const char* constant : {"N6", "A8"}) {
    CegidExport xc;
    std::string message;
    ASSERT_TRUE(Build(xc, constant, &message)) << message;
    const std::string name = std::string("cegid_") + constant + ".txt";
    const std::string folder = std::string(MERLON_BINARY_DIR) + "/test-artefacts/cegid";
    platform::MakeDirectories(folder);
    platform::WriteFileAtomic(folder + "/" + name, xc.Content());
    EXPECT_EQ(xc.Content(), Golden(name)) << name << " (made: " << folder << "/" << name << ")";
  }
}

TEST_F(CegidTest, AFullBlockOfLinesOpensTheNext) {
  std::vector<test_support::FixtureLine> lines;
  for (int i = 1; i <= 100; ++i)
    lines.push_back(test_support::L('C', i % 2 ? "60100000" : "51200000", "C60915", "OD", "000050", i % 2 ? 'D' : 'C',
                                    1.00, "", "", "", "", "", "", 'Z', "", i));
  AddLines(lines);
  CegidExport xc;
  ASSERT_TRUE(Build(xc, "N8"));
  std::vector<std::string> blocks;
  for (const std::string& r : xc.Records())
    if (r.substr(0, 4) == "  5F") blocks.push_back(r);
  // September's OD: two blocks, the second holding the 100th line.
  int september = 0;
  for (std::size_t i = 0; i < xc.Records().size(); ++i)
    if (xc.Records()[i] == "  3M09") september = static_cast<int>(i);
  ASSERT_GT(september, 0);
  EXPECT_EQ(xc.Records()[static_cast<std::size_t>(september) + 2], "  5F001");
  EXPECT_EQ(xc.Records()[static_cast<std::size_t>(september) + 3 + 99], "  5F002");
  EXPECT_EQ(xc.Records()[static_cast<std::size_t>(september) + 3 + 99 + 1].substr(0, 6), "164E15");
}

TEST_F(CegidTest, WhatStopsTheRun) {
  AddLines({test_support::L('C', "XSOC    ", "C60910", "OD", "000030", 'D', 5.00),
            test_support::L('C', "51200000", "C60910", "OD", "000030", 'C', 5.00, "", "", "", "", "", "", 'Z', "", 2)});
  CegidExport xc;
  std::string message;
  EXPECT_FALSE(Build(xc, "N8", &message));
  EXPECT_NE(message.find("lettre X"), std::string::npos) << message;
  EXPECT_TRUE(xc.Records().empty());
}

TEST_F(CegidTest, TwoAuxiliaryAccountsWithOneNumberAreRefused) {
  // Record 100,009 would be numbered as record 9: the same last five digits.
  ChartEntry a, b;
  a.code = "CDUPONT ";
  a.recno = 9;
  b.code = "CDURAND ";
  b.recno = 100009;
  EXPECT_EQ(CegidExport::AccountNumber(a, "N8"), CegidExport::AccountNumber(b, "N8"));
  EXPECT_EQ(CegidExport::AccountNumber(a, "N8"), "90000900  ");
  EXPECT_EQ(CegidExport::AccountNumber(a, "A8"), "CDUPONT0  ");
  ChartEntry g;
  g.code = "411     ";
  EXPECT_EQ(CegidExport::AccountNumber(g, "N8"), "41100000  ");
  // Through a chart whose accounts take one number: refused, the two accounts named.
  CegidExport xc;
  std::string message;
  ASSERT_TRUE(Build(xc, "N8", &message)) << message;
  ChartList chart = chart_;
  chart.Add(a);
  chart.Add(b);
  CegidContext x;
  x.constant048 = "N8";
  x.periodStart = "C60101";
  x.periodEnd = "C61231";
  EXPECT_FALSE(xc.Build(source_, codes_, chart, x, &message));
  EXPECT_NE(message.find("CDUPONT et CDURAND (90000900)"), std::string::npos) << message;
  EXPECT_TRUE(xc.Records().empty());
  // Accounts numbered by their code ("A8") do not clash.
  x.constant048 = "A8";
  EXPECT_TRUE(xc.Build(source_, codes_, chart, x, &message));
}

// An amount the file would carry that does not read as a number (a line of the period, closed or
// draft, an account's previous-year figure) stops the export before any record: the message
// names each as the balances name them and says no file was written. What the file does not
// carry (a line past the period, a budget) lets it be made.
TEST_F(CegidTest, AnAmountThatDoesNotReadStopsTheExportAndIsNamed) {
  const std::uint32_t sale = DamageLine('C', "70100000", "000002", "-1e300");
  const std::uint32_t draft = DamageLine('B', "FACME", "000009", std::string(6, '\0'));
  const std::uint32_t postage = DamageAccount("62600000", "CDEBNM1E", "ABC");
  const std::uint32_t budget = DamageAccount("60100000", "CBUDGETE", "1e300");
  ASSERT_TRUE(sale != 0 && draft != 0 && postage != 0 && budget != 0);
  CegidExport xc;
  std::string message;
  EXPECT_FALSE(Build(xc, "N8", &message));
  EXPECT_TRUE(xc.Records().empty());
  for (const std::string& named :
       {"C40 enregistrement " + std::to_string(sale) + ", pi\xE8" "ce 000002, compte 70100000",
        "C50 enregistrement " + std::to_string(draft) + ", pi\xE8" "ce 000009, compte FACME",
        "C20 enregistrement " + std::to_string(postage) + ", compte 62600000",
        std::string("Le fichier n'a pas \xE9t\xE9 \xE9" "crit")})
    EXPECT_NE(message.find(named), std::string::npos) << named << "\n" << message;
  EXPECT_EQ(message.find("60100000"), std::string::npos) << message;

  // January only: the damaged lines lie past the period; the account's figure is still written.
  EXPECT_FALSE(Build(xc, "N8", &message, "C60131"));
  EXPECT_EQ(message.find("70100000"), std::string::npos) << message;
  EXPECT_NE(message.find("62600000"), std::string::npos) << message;
  DamageAccount("62600000", "CDEBNM1E", "150.00");
  EXPECT_TRUE(Build(xc, "N8", &message, "C60131")) << message;
  EXPECT_FALSE(xc.Records().empty());
}

TEST(CegidDossierCode, DigitsPaddedOnTheLeft) {
  struct Case { const char* typed; const char* code; };
  const Case cases[] = {{"123", "00123"}, {" 7 ", "00007"}, {"12345", "12345"}, {"123456", ""},
                        {"12a", ""},      {"", "00000"}, {"   ", "00000"}};
  for (const Case& c : cases) {
    std::string message;
    EXPECT_EQ(CegidDossierCode(c.typed, &message), c.code) << c.typed;
    EXPECT_EQ(message.empty(), *c.code != '\0') << c.typed;
  }
}

TEST(ExportText, TheThreeForms) {
  struct Case { const char* in; char mode; const char* out; };
  const Case cases[] = {
      {"\xE9t\xE9 \xE0 \xE7" "a \xF4t\xE9", 'M', "ETE A CA OTE"}, {"\x8C\xDF", 'M', "\x8C\xDF"},
      {"\xE9t\xE9", 'N', "\xE9t\xE9"},          {"\xE9t\xE9", 'O', "\x82t\x82"},
      {"", 'M', ""},                            {"", 'O', ""},
      {"\x9C", 'M', "\x8C"},
  };
  for (const Case& c : cases) EXPECT_EQ(ConvertExportText(c.in, c.mode), c.out) << c.in << " " << c.mode;
}

}  // namespace
