#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <string>

#include "platform/system/cp1252.h"
#include "resources/string_table.h"
#include "support/temp_folder.h"

namespace fs = std::filesystem;

TEST(StringTable, EveryIdLoadsAsCp1252) {
  auto ids = resources::StringIds();
  ASSERT_GT(ids.size(), 200u);
  for (int id : ids) {
    const std::string* s = resources::FindString(id);
    ASSERT_NE(s, nullptr) << id;
    // Back to UTF-8 and again to cp1252 gives the same bytes: no byte of the
    // text is one that cp1252 leaves unassigned.
    std::string utf8, again;
    ASSERT_TRUE(platform::Cp1252ToUtf8(*s, utf8, platform::Unassigned::kRefuse)) << id;
    ASSERT_TRUE(platform::Utf8ToCp1252(utf8, again, platform::Unassigned::kRefuse)) << id;
    EXPECT_EQ(again, *s) << id;
  }
}

// The build step refuses duplicate ids and characters outside cp1252.
TEST(StringTable, BuildStepRefusesBadFiles) {
  test_support::TempFolder folder("merlon-strings");
  const fs::path dir = folder.path();
  auto run = [&](const std::string& content) {
    std::ofstream(dir / "in.txt", std::ios::binary) << content;
    std::string cmd = std::string("'") + MERLON_EMBED_TOOL + "' '" + (dir / "out.cpp").string() + "' '" +
                      (dir / "in.txt").string() + "' 2>" + (dir / "err.txt").string();
    return std::system(cmd.c_str());
  };
  EXPECT_EQ(run("# c\n1\tun\n2\tdeux\\n\\ttab\\\\\n3\n"), 0);
  std::ifstream gen(dir / "out.cpp");
  std::string text((std::istreambuf_iterator<char>(gen)), std::istreambuf_iterator<char>());
  EXPECT_NE(text.find("{2, \"deux\\012\\011tab\\134\", 10}"), std::string::npos) << text;
  EXPECT_NE(run("1\tun\n1\tencore\n"), 0);
  EXPECT_NE(run("1\t\xE4\xB8\xAD\n"), 0);
  EXPECT_NE(run("1\t\xC2\x81\n"), 0);  // the C1 point of a byte cp1252 leaves unassigned
  EXPECT_NE(run("1\tcaf\xC3\n"), 0);    // truncated UTF-8
}

// Every id that the program's sources pass as a literal to LoadStr (or to the table
// layer's Str) is in the table: a missing id would show an empty text at run time.
TEST(StringTable, EveryLiteralIdUsedInTheSourcesExists) {
  const std::regex use(R"(\b(?:LoadStr|Str)\(\s*(\d+)\s*[,)])");
  std::string missing;
  std::size_t uses = 0;
  for (const auto& entry : fs::recursive_directory_iterator(fs::path(MERLON_SOURCE_DIR) / "src")) {
    const std::string ext = entry.path().extension().string();
    if (!entry.is_regular_file() || (ext != ".cpp" && ext != ".h")) continue;
    std::ifstream in(entry.path(), std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    for (std::sregex_iterator it(text.begin(), text.end(), use), end; it != end; ++it) {
      ++uses;
      const int id = std::stoi((*it)[1].str());
      if (resources::FindString(id) == nullptr)
        missing += std::to_string(id) + " in " + fs::relative(entry.path(), MERLON_SOURCE_DIR).string() + "\n";
    }
  }
  EXPECT_GT(uses, 50u);
  EXPECT_TRUE(missing.empty()) << missing;
}
