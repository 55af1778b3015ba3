#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <string>
#include <vector>

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

// The build step run over one string file of this content, in the folder; its exit status.
int EmbedStrings(const fs::path& dir, const std::string& content) {
  std::ofstream(dir / "in.txt", std::ios::binary | std::ios::trunc) << content;
  const std::string cmd = std::string("'") + MERLON_EMBED_TOOL + "' '" + (dir / "out.cpp").string() + "' '" +
                          (dir / "in.txt").string() + "' 2>" + (dir / "err.txt").string();
  return std::system(cmd.c_str());
}

// The build step refuses duplicate ids and characters outside cp1252.
TEST(StringTable, BuildStepRefusesBadFiles) {
  test_support::TempFolder folder("merlon-strings");
  const fs::path dir = folder.path();
  auto run = [&](const std::string& content) { return EmbedStrings(dir, content); };
  EXPECT_EQ(run("# c\n1\tun\n2\tdeux\\n\\ttab\\\\\n3\n"), 0);
  std::ifstream gen(dir / "out.cpp");
  std::string text((std::istreambuf_iterator<char>(gen)), std::istreambuf_iterator<char>());
  EXPECT_NE(text.find("{2, \"deux\\012\\011tab\\134\", 10}"), std::string::npos) << text;
  EXPECT_NE(run("1\tun\n1\tencore\n"), 0);
  EXPECT_NE(run("1\t\xE4\xB8\xAD\n"), 0);
  EXPECT_NE(run("1\t\xC2\x81\n"), 0);  // the C1 point of a byte cp1252 leaves unassigned
  EXPECT_NE(run("1\tcaf\xC3\n"), 0);    // truncated UTF-8
}

// A blank at either end of a text is written \s: a blank that an editor would strip unseen stops the build.
TEST(StringTable, BuildStepRefusesEdgeBlanksNotWrittenAsEscapes) {
  test_support::TempFolder folder("merlon-strings-blanks");
  const fs::path dir = folder.path();
  auto run = [&](const std::string& content) { return EmbedStrings(dir, content); };
  struct Case { const char* line; bool accepted; } cases[] = {
      {"1\tUn nombre de\\s\n", true},  {"1\t\\s- Erreur:\\s\n", true}, {"1\t\\s\\s\n", true},
      {"1\tmilieu seul ok\n", true},     {"1\tUn nombre de \n", false},     {"1\t au\n", false},
      {"1\tfin\t\n", false},            {"1\t \n", false},                 {"1\tfin \r\n", false},
  };
  for (const Case& c : cases) EXPECT_EQ(run(c.line) == 0, c.accepted) << c.line;
  run("1\tUn nombre de\\s\n2\t\\s\\s\\s\n");
  std::ifstream gen(dir / "out.cpp");
  const std::string text((std::istreambuf_iterator<char>(gen)), std::istreambuf_iterator<char>());
  EXPECT_NE(text.find("{1, \"Un nombre de \", 13}"), std::string::npos) << text;
  EXPECT_NE(text.find("{2, \"   \", 3}"), std::string::npos) << text;
}

// Each id the program's sources load is named beside the code that shows it: no text loader (LoadStr,
// LastingText, the table layer's Str) takes a bare number, and every named id that a file loads is in the table
// (a missing id would show an empty text at run time).
TEST(StringTable, EveryLoadedIdIsNamedAndExists) {
  const std::regex bare(R"(\b(?:LoadStr|LastingText|Str)\(\s*\d)");
  const std::regex named(R"(\b(?:LoadStr|LastingText|Str)\(\s*(k[A-Z]\w*))");
  const std::regex constant(R"(\b(k[A-Z]\w*)\s*=\s*(\d+)\s*[;,])");
  std::string bad;
  std::size_t checked = 0;
  std::vector<fs::path> sources;
  for (const char* folder : {"src", "tests", "tools", "bench", "fuzz"})
    for (const auto& entry : fs::recursive_directory_iterator(fs::path(MERLON_SOURCE_DIR) / folder)) {
      const std::string ext = entry.path().extension().string();
      if (entry.is_regular_file() && (ext == ".cpp" || ext == ".h")) sources.push_back(entry.path());
    }
  for (const fs::path& path : sources) {
    const std::string file = fs::relative(path, MERLON_SOURCE_DIR).generic_string();
    if (file.rfind("src/resources/", 0) == 0) continue;
    std::ifstream in(path, std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    for (std::sregex_iterator it(text.begin(), text.end(), bare), end; it != end; ++it)
      bad += file + ": a bare id in \"" + (*it)[0].str() + "\"\n";
    std::map<std::string, int> ids;
    for (std::sregex_iterator it(text.begin(), text.end(), constant), end; it != end; ++it)
      if ((*it)[2].length() < 9) ids[(*it)[1].str()] = std::stoi((*it)[2].str());  // longer: an amount, not an id
    for (std::sregex_iterator it(text.begin(), text.end(), named), end; it != end; ++it) {
      const auto id = ids.find((*it)[1].str());
      if (id == ids.end()) continue;  // named in a header, or the base of a range
      ++checked;
      if (resources::FindString(id->second) == nullptr)
        bad += file + ": " + id->first + " = " + std::to_string(id->second) + " is not in the table\n";
    }
  }
  EXPECT_GT(checked, 50u);
  EXPECT_TRUE(bad.empty()) << bad;
}
