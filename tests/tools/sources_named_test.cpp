// The check that every file the build takes one by one is named in a CMakeLists.txt
// (cmake/sources_named.cmake, the test sources_named_in_build), run over a small tree: a test, a fuzz
// target, an embedded bitmap or a report layout that no CMakeLists.txt names would be left out of the
// build without a word, and the check names each one.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "support/command_run.h"
#include "support/temp_folder.h"

namespace {

namespace fs = std::filesystem;

void Write(const fs::path& path, const std::string& text) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << text;
}

test_support::CommandRun RunScript(const fs::path& source) {
  return test_support::RunCommand(std::string(MERLON_CMAKE_COMMAND) + " -DSOURCE=" + source.string() + " -P " +
                                  MERLON_SOURCE_DIR + "/cmake/sources_named.cmake");
}

TEST(SourcesNamed, EachFileOfTheListedFoldersThatNoCMakeListsNamesIsNamedByTheCheck) {
  test_support::TempFolder tree("sources-named");
  const fs::path root = tree.path();
  enum Named { kNamed, kNowhere, kInACommentOnly };
  struct Case {
    const char* file;     // present in the tree
    const char* listing;  // the folder whose CMakeLists.txt should name it
    const char* name;     // as that CMakeLists.txt names it
    Named named;
  } cases[] = {
      {"tests/data/table_test.cpp", "tests/data", "table_test.cpp", kNamed},
      {"tests/data/lock_test.cpp", "tests/data", "lock_test", kNowhere},
      {"fuzz/fuzz_dbf.cpp", "fuzz", "fuzz_dbf.cpp", kNamed},
      {"fuzz/fuzz_mdx.cpp", "fuzz", "fuzz_mdx.cpp", kNowhere},
      {"src/platform/gui/window.h", "src/platform/gui", "window.h", kNamed},
      {"src/platform/gui/menu.cpp", "src/platform/gui", "menu.cpp", kNowhere},
      {"src/resources/bitmaps/20003.png", "src/platform/gui", "bitmaps/20003.png", kNamed},
      {"src/resources/cursors/C01.hot", "src/platform/gui", "cursors/C01.hot", kInACommentOnly},
      {"src/resources/reports/C-Etat-EG-1STD.txt", "tools", "${DIR}/C-Etat-EG-1STD.txt", kNamed},
      {"src/resources/reports/C-Etat-EG-CSV.txt", "tools", "${DIR}/C-Etat-EG-CSV.txt", kNowhere},
      {"src/resources/models/clbilanr.csv", "tools", "${DIR}/clbilanr.csv", kNamed},
      {"src/resources/models/cpbilanr.csv", "tools", "${DIR}/cpbilanr.csv", kInACommentOnly},
  };
  std::map<std::string, std::string> listings;
  for (const Case& c : cases) {
    Write(root / c.file, "");
    if (c.named == kNamed) listings[c.listing] += std::string("  ") + c.name + "\n";
    if (c.named == kInACommentOnly) listings[c.listing] += std::string("# ") + c.name + "\n";
  }
  // Hidden files and READMEs are not the build's.
  Write(root / "src/resources/bitmaps/README.md", "");
  Write(root / "src/resources/bitmaps/.keep", "");
  for (const auto& [folder, text] : listings) Write(root / folder / "CMakeLists.txt", "set(FILES\n" + text + ")\n");

  const test_support::CommandRun partly = RunScript(root);
  EXPECT_NE(partly.status, 0) << partly.output;
  for (const Case& c : cases) {
    const bool reported = partly.output.find("  " + std::string(c.file) + " ") != std::string::npos ||
                          partly.output.find("  " + std::string(c.file) + "\n") != std::string::npos;
    EXPECT_EQ(reported, c.named != kNamed) << c.file << " in\n" << partly.output;
  }
  EXPECT_EQ(partly.output.find("README"), std::string::npos) << partly.output;
  EXPECT_EQ(partly.output.find(".keep"), std::string::npos) << partly.output;

  // Each named: the check holds.
  listings.clear();
  for (const Case& c : cases) listings[c.listing] += std::string("  ") + c.name + "\n";
  for (const auto& [folder, text] : listings) Write(root / folder / "CMakeLists.txt", "set(FILES\n" + text + ")\n");
  const test_support::CommandRun whole = RunScript(root);
  EXPECT_EQ(whole.status, 0) << whole.output;
}

}  // namespace
