// The command lines of merlon-demo (as the run script calls it) and merlon-reftables.
#include <filesystem>

#include "dossier_test_util.h"
#include "support/demo_oracle.h"
#include "support/temp_folder.h"

namespace dossier_test {
namespace {

namespace fs = std::filesystem;

class ToolTest : public ::testing::Test {
 protected:
  int Tool(const char* name, std::vector<std::string> args, std::string* out) {
    args.insert(args.begin(), std::string(MERLON_BINARY_DIR) + "/tools/" + name);
    return dossier_test::Run(args, out, {"MERLON_HOME=" + dir_ + "/home"});
  }
  test_support::TempFolder folder_{"merlon-tools"};
  const std::string dir_ = folder_.path();
};

TEST_F(ToolTest, TheRunScriptsCommandLineMakesTheDemoDossierOnce) {
  const std::string demo = dir_ + "/home/demo";
  std::string out;
  ASSERT_EQ(Tool("merlon-demo", {"--folder", demo, "--code", "DEMO", "--lines", "5000"}, &out), 0) << out;
  EXPECT_EQ(out.rfind("Dossier DEMO in " + demo + ": 5000 lines ", 0), 0u) << out;
  EXPECT_TRUE(fs::exists(demo + "/c10demo.dbf"));
  std::string check;
  EXPECT_EQ(dossier_test::Run({"/usr/bin/python3", test_support::DemoOracle(), demo, "DEMO"}, &check), 0);
  EXPECT_EQ(check.rfind("OK 5000 ", 0), 0u) << check;

  out.clear();
  EXPECT_EQ(Tool("merlon-demo", {"--folder", demo, "--code", "demo", "--lines", "2000"}, &out), 1);
  EXPECT_NE(out.find("Le dossier DEMO existe d\xC3\xA9j\xC3\xA0"), std::string::npos) << out;  // UTF-8 on the console
}

TEST_F(ToolTest, EveryOptionReachesTheDossier) {
  const std::string demo = dir_ + "/ete";
  std::string out;
  ASSERT_EQ(Tool("merlon-demo", {"--folder", demo, "--code", "ETE", "--lines", "3000", "--from", "20250701", "--to",
                                 "20260630", "--currency", "franc", "--analytic", "2", "--accounts", "400", "--siren",
                                 "732829320", "--seed", "5"},
                 &out),
            0)
      << out;
  EXPECT_NE(out.find(" 400 accounts "), std::string::npos) << out;
  std::string check;
  EXPECT_EQ(dossier_test::Run({"/usr/bin/python3", test_support::DemoOracle(), demo, "ETE"}, &check), 0) << check;
  EXPECT_EQ(check.rfind("OK 3000 ", 0), 0u) << check;
  EXPECT_NE(check.find(" franc 2\n"), std::string::npos) << check;
  EXPECT_NE(ReadFile(demo + "/c10ete.dbf").find("732829320"), std::string::npos);
}

TEST_F(ToolTest, BadArgumentsShowTheUsage) {
  const std::vector<std::vector<std::string>> bad{
      {"--folder", dir_ + "/a", "--code", "DEMO"},
      {"--folder", dir_ + "/a", "--lines", "100"},
      {"--folder", dir_ + "/a", "--code", "DEMO", "--lines", "1"},
      {"--folder", dir_ + "/a", "--code", "DEMO", "--lines", "1000000"},
      {"--folder", dir_ + "/a", "--code", "DEMO", "--lines", "12x"},
      {"--folder", dir_ + "/a", "--code", "DEMO", "--lines", "100", "--year", "1900"},
      {"--folder", dir_ + "/a", "--code", "DEMO", "--lines", "100", "--colour", "red"},
      {"--folder", dir_ + "/a", "--code", "DEMO", "--lines", "100", "--currency", "dollar"},
      {"--folder", dir_ + "/a", "--code", "DEMO", "--lines", "100", "--analytic", "3"},
      {"--folder", dir_ + "/a", "--code", "DEMO", "--lines", "100", "--from", "20250701"},
      {"--folder", dir_ + "/a", "--code", "DEMO", "--lines", "100", "--from", "2025-07-01", "--to", "20260630"},
      {"--folder", dir_ + "/a", "--code", "DEMO", "--lines", "100", "--accounts", "100001"},
      {"--folder", dir_ + "/a", "--code", "DEMO", "--lines"},
  };
  for (const auto& args : bad) {
    std::string out;
    EXPECT_EQ(Tool("merlon-demo", args, &out), 2) << args.size();
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
  for (const char* f : {"cr00ref.dbf", "cr10ref.dbf", "cr10ref.mdx", "cr10ref.dbt", "cr50ref.dbf", "cr50ref.mdx"})
    EXPECT_TRUE(fs::exists(dir_ + "/ref/" + f)) << f;
  EXPECT_EQ(Tool("merlon-reftables", {}, &out), 2);
  // The build made them too, for the program folder.
  EXPECT_TRUE(fs::exists(std::string(MERLON_BINARY_DIR) + "/reference/cr50ref.dbf"));
}

}  // namespace
}  // namespace dossier_test
