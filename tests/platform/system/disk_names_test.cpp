// Names on disk are UTF-8 while the program holds them in cp1252: every file
// call of the system layer converts, listings convert back, and a name cp1252
// cannot hold is refused.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/system/cp1252.h"
#include "platform/system/files.h"
#include "platform/system/process.h"
#include "support/temp_folder.h"

namespace platform {
namespace {

namespace fs = std::filesystem;

TEST(DiskNames, ConvertBothWays) {
  const struct { const char* program; const char* disk; } rows[] = {
      {"Soci\xE9t\xE9", "Soci\xC3\xA9t\xC3\xA9"},
      {"\x80uros \x9C" "uvre", "\xE2\x82\xACuros \xC5\x93uvre"},  // the cp1252-only range
      {"\x81", "\xC2\x81"},                                        // unassigned bytes come back unchanged
  };
  std::string back;
  for (const auto& r : rows) {
    EXPECT_EQ(DiskPath(r.program), r.disk) << r.program;
    EXPECT_TRUE(ProgramName(r.disk, back)) << r.disk;
    EXPECT_EQ(back, r.program);
  }
  EXPECT_FALSE(ProgramName("\xCE\x94" "elta", back));  // Greek: no cp1252 form
  ASSERT_TRUE(ProgramName("Caf\xE9", back));  // not UTF-8: an older program's name, kept as found
  EXPECT_EQ(back, "Caf\xE9");
}

TEST(DiskNames, FileCallsWriteAndFindUtf8Names) {
  test_support::TempFolder tmp("merlon-names");
  const std::string folder = tmp.path() + "/Comptabilit\xE9/Ann\xE9" "e 2024";
  ASSERT_TRUE(MakeDirectories(folder));
  const std::string onDisk = tmp.path() + "/Comptabilit\xC3\xA9/Ann\xC3\xA9" "e 2024";
  ASSERT_TRUE(fs::is_directory(onDisk));

  ASSERT_TRUE(WriteFileAtomic(folder + "/\xE9t\xE9.txt", "\xE9t\xE9"));
  EXPECT_TRUE(fs::exists(onDisk + "/\xC3\xA9t\xC3\xA9.txt"));
  // The look-up folds accented letters too, and answers with the name as the disk has it.
  EXPECT_EQ(ResolvePath(folder + "/\xC9T\xC9.TXT"), folder + "/\xE9t\xE9.txt");
  ASSERT_TRUE(CopyFile(folder + "/\xE9t\xE9.txt", folder + "/hiver.txt"));
  EXPECT_FALSE(CopyFile(folder + "/\xE9t\xE9.txt", folder + "/hiver.txt", false));  // never overwrites unasked

  std::ofstream(onDisk + "/\xCE\x94.txt") << "x";  // a name the program cannot hold
  EXPECT_EQ(ListFiles(folder), (std::vector<std::string>{"hiver.txt", "\xE9t\xE9.txt"}));

  // Arguments reach another program in UTF-8.
  const std::string out = tmp.path() + "/out.txt";
  LaunchOptions wait;
  wait.wait = true;
  const LaunchResult r = LaunchProcess({"/bin/sh", "-c", "printf %s \"$1\" > \"$2\"", "sh", folder, out}, wait);
  ASSERT_EQ(r.exitStatus, 0);
  std::string written;
  ASSERT_TRUE(ReadWholeFile(out, written));
  EXPECT_EQ(written, onDisk);
}

}  // namespace
}  // namespace platform
