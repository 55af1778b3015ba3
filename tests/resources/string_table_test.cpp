#include <gtest/gtest.h>

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <vector>

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
    std::string again;
    ASSERT_TRUE(resources::Utf8ToCp1252(resources::Cp1252ToUtf8(*s), again)) << id;
    EXPECT_EQ(again, *s) << id;
    EXPECT_EQ(s->find('\0'), std::string::npos) << id;
  }
  EXPECT_EQ(resources::FindString(-5), nullptr);
  EXPECT_EQ(resources::FindString(999999), nullptr);
}

TEST(TextEncoding, Utf8ToCp1252) {
  struct Row { std::string utf8; bool ok; std::string cp; } rows[] = {
      {"abc", true, "abc"},
      {"\xC3\xA9t\xC3\xA9", true, "\xE9t\xE9"},        // été
      {"\xE2\x82\xAC", true, "\x80"},                    // euro sign
      {"\xC5\x93", true, "\x9C"},                        // oe
      {"\xE2\x80\x99", true, "\x92"},                    // right quote
      {"\xE4\xB8\xAD", false, ""},                       // CJK: not in cp1252
      {"\xC2\x81", false, ""},                           // U+0081: unassigned in cp1252
      {"\xC3", false, ""},                               // cut sequence
      {"\xC0\xAF", false, ""},                           // overlong
  };
  for (const auto& r : rows) {
    std::string out;
    EXPECT_EQ(resources::Utf8ToCp1252(r.utf8, out), r.ok) << r.utf8;
    if (r.ok) {
      EXPECT_EQ(out, r.cp);
      EXPECT_EQ(resources::Cp1252ToUtf8(out), r.utf8);
    }
  }
}

// The build step refuses duplicate ids, characters outside cp1252 and
// malformed lines, naming the file and line.
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
  EXPECT_NE(run("x1\tpas de nombre\n"), 0);
}

// Every id that the program's sources pass as a literal to LoadStr (or to the table
// layer's Str) is in the table: a missing id would show an empty text at run time.
TEST(StringTable, EveryLiteralIdUsedInTheSourcesExists) {
  const std::regex use(R"(\b(?:LoadStr|Str)\(\s*(\d+)\s*[,)])");
  std::vector<std::string> missing;
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
        missing.push_back(std::to_string(id) + " in " +
                          fs::relative(entry.path(), MERLON_SOURCE_DIR).string());
    }
  }
  EXPECT_GT(uses, 50u);
  std::string list;
  for (const auto& m : missing) list += m + "\n";
  EXPECT_TRUE(missing.empty()) << list;
}
