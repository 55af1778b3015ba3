// The command lines of merlon-demo (as the run script calls it) and merlon-reftables.
#include <filesystem>

#include "dossier_test_util.h"
#include "support/demo_oracle.h"

namespace dossier_test {
namespace {

class ToolTest : public ::testing::Test {
 protected:
  int Tool(const char* name, std::vector<std::string> args, std::string* out) {
    args.insert(args.begin(), std::string(MERLON_BINARY_DIR) + "/tools/" + name);
    return dossier_test::Run(args, out, {"MERLON_HOME=" + dir_ + "/home"});
  }
  test_support::TempFolder folder_{"merlon-tools"};
  const std::string dir_ = folder_.path();
};

// Every option reaches the dossier (read back by the independent reader); a second run on
// the same dossier, its code in another case, is refused in UTF-8 on the console.
TEST_F(ToolTest, EveryOptionReachesTheDossierOnce) {
  const std::string demo = dir_ + "/ete";
  std::string out;
  ASSERT_EQ(Tool("merlon-demo", {"--folder", demo, "--code", "ETE", "--lines", "3000", "--from", "20250701", "--to",
                                 "20260630", "--currency", "franc", "--analytic", "2", "--accounts", "400", "--siren",
                                 "732829320", "--seed", "5", "--vat-detail", "OUI"},
                 &out),
            0)
      << out;
  EXPECT_EQ(out.rfind("Dossier ETE in " + demo + ": 3000 lines ", 0), 0u) << out;
  EXPECT_NE(out.find(" 400 accounts "), std::string::npos) << out;
  std::string check;
  EXPECT_EQ(dossier_test::Run({"/usr/bin/python3", test_support::DemoOracle(), demo, "ETE"}, &check), 0) << check;
  EXPECT_EQ(check.rfind("OK 3000 ", 0), 0u) << check;
  EXPECT_NE(check.find(" franc 2\n"), std::string::npos) << check;
  EXPECT_NE(check.find(",T4,"), std::string::npos) << check;  // the VAT detail's code at 2.10 %
  EXPECT_NE(ReadFile(demo + "/c10ete.dbf").find("732829320"), std::string::npos);
  out.clear();
  EXPECT_EQ(Tool("merlon-demo", {"--folder", demo, "--code", "ete", "--lines", "2000"}, &out), 1);
  EXPECT_NE(out.find("Le dossier ETE existe d\xC3\xA9j\xC3\xA0"), std::string::npos) << out;
}

TEST_F(ToolTest, BadArgumentsShowTheUsage) {
  // Each after --folder <dir>/a: a missing option, a bad value, an unknown option, a lone date.
  for (const std::vector<std::string>& rest : std::vector<std::vector<std::string>>{
           {"--code", "DEMO"},
           {"--code", "DEMO", "--lines", "100", "--colour", "red"},
           {"--code", "DEMO", "--lines", "100", "--from", "20250701"},
           {"--code", "DEMO", "--lines", "100", "--year-end", "oui"},
           {"--code", "DEMO", "--lines", "100", "--vat-detail", "oui"},
           {"--code", "DEMO", "--lines"}}) {
    std::vector<std::string> args{"--folder", dir_ + "/a"};
    args.insert(args.end(), rest.begin(), rest.end());
    std::string out;
    EXPECT_EQ(Tool("merlon-demo", args, &out), 2) << rest.back();
    EXPECT_NE(out.find("usage: merlon-demo"), std::string::npos) << out;
  }
  std::string out;
  EXPECT_EQ(Tool("merlon-demo", {"--folder", dir_ + "/a", "--code", "TOO-LONG", "--lines", "100"}, &out), 1);
  EXPECT_NE(out.find("au plus 5 caract\xC3\xA8res"), std::string::npos) << out;
  EXPECT_FALSE(fs::exists(dir_ + "/a"));
  // What the generator refuses comes back as its message.
  EXPECT_EQ(Tool("merlon-demo", {"--folder", dir_ + "/a", "--code", "DEMO", "--lines", "100", "--siren", "732829321"},
                 &out),
            1);
  EXPECT_NE(out.find("SIREN 732829321 est invalide"), std::string::npos) << out;
}

TEST_F(ToolTest, ReferenceTablesMaker) {
  std::string out;
  ASSERT_EQ(Tool("merlon-reftables", {"--folder", dir_ + "/ref"}, &out), 0) << out;
  // Made by the table creation the new dossiers use (its structures are the creation tests').
  EXPECT_TRUE(fs::exists(dir_ + "/ref/cr50ref.mdx"));
}

}  // namespace
}  // namespace dossier_test
