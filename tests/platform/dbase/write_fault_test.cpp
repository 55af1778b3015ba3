// The one count of file changes shared by the engine and the file helpers, and a change refused
// once: each helper's changes counted in order, each refusal failing the helper with its target
// as it was and nothing left beside it, the next change going through.
#include <errno.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "platform/dbase/fileio.h"
#include "platform/system/files.h"
#include "platform/system/write_fault.h"
#include "support/temp_folder.h"

namespace {

namespace fs = std::filesystem;
using platform::WriteFault;

std::string Read(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}
void Write(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

// The names in a folder, sorted.
std::vector<std::string> Names(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& e : fs::recursive_directory_iterator(folder)) names.push_back(e.path().lexically_relative(folder).string());
  std::sort(names.begin(), names.end());
  return names;
}

struct Case {
  const char* name;
  long changes;  // the changes it makes
  bool clean;    // refused, it leaves the folder as it was (it writes aside, then renames)
  std::function<void(const std::string&)> prepare;
  std::function<bool(const std::string&)> run;
};

class WriteFaultTest : public ::testing::Test {
 protected:
  void TearDown() override { platform::SetWriteFault(WriteFault::kNone, 0); }
  test_support::TempFolder folder_{"merlon-writefault"};
};

TEST_F(WriteFaultTest, EachChangeRefusedOnceFailsItsHelperAndLeavesTheFilesAsTheyWere) {
  const Case cases[] = {
      {"whole file written aside and renamed", 3, true, [](const std::string& d) { Write(d + "/f.txt", "old"); },
       [](const std::string& d) { return platform::WriteFileAtomic(d + "/f.txt", "new text"); }},
      {"copy", 3, true, [](const std::string& d) { Write(d + "/from.txt", "copied"); },
       [](const std::string& d) { return platform::CopyFile(d + "/from.txt", d + "/to.txt"); }},
      {"append to a new file", 2, false, [](const std::string&) {},
       [](const std::string& d) { return platform::AppendToFile(d + "/log.txt", "line\n"); }},
      {"folder made", 2, false, [](const std::string&) {},
       [](const std::string& d) { return platform::MakeDirectories(d + "/a/b"); }},
      {"rename", 1, true, [](const std::string& d) { Write(d + "/x", "x"); },
       [](const std::string& d) { return platform::AtomicRename(d + "/x", d + "/y"); }},
      {"folder removed with its files", 3, false,
       [](const std::string& d) {
         fs::create_directories(d + "/copies");
         Write(d + "/copies/c10a.dbf", "a");
         Write(d + "/copies/c20a.dbf", "b");
       },
       [](const std::string& d) { return platform::RemoveFolderTree(d + "/copies"); }},
      {"engine: file made, written, truncated, removed", 4, false, [](const std::string&) {},
       [](const std::string& d) {
         int fd = -1;
         if (dbase::CreateFile(d + "/t.dbf", &fd) != dbase::DBIERR_NONE) return false;
         const bool ok = dbase::WriteAt(fd, "abcdef", 6, 0) == dbase::DBIERR_NONE &&
                         dbase::TruncateFile(fd, 3) == dbase::DBIERR_NONE;
         platform::CloseHandle(fd);
         return ok && dbase::RemoveFile(d + "/t.dbf") == dbase::DBIERR_NONE;
       }},
  };
  for (const Case& c : cases) {
    for (const WriteFault fault : {WriteFault::kFullOnce, WriteFault::kFailOnce}) {
      // Uncut: its changes counted, and what it leaves.
      const std::string done = folder_.path() + "/done";
      fs::remove_all(done);
      fs::create_directories(done);
      c.prepare(done);
      platform::SetWriteFault(fault, LONG_MAX);
      EXPECT_TRUE(c.run(done)) << c.name;
      EXPECT_EQ(platform::WritesCounted(), c.changes) << c.name;
      for (long k = 1; k <= c.changes; ++k) {
        const std::string d = folder_.path() + "/" + std::to_string(k);
        fs::create_directories(d);
        c.prepare(d);
        const std::vector<std::string> before = Names(d);
        platform::SetWriteFault(fault, k);
        const bool ran = c.run(d);
        const long counted = platform::WritesCounted();
        platform::SetWriteFault(WriteFault::kNone, 0);
        EXPECT_FALSE(ran) << c.name << ", change " << k << " refused";
        EXPECT_LE(counted, c.changes + 1) << c.name << ", change " << k;  // a clean-up may follow
        // Nothing written aside is left; the others leave what their steps made before.
        if (c.clean) EXPECT_EQ(Names(d), before) << c.name << ", change " << k;
        // Refused once: the same helper goes through at once.
        EXPECT_TRUE(c.run(d)) << c.name << ", again after change " << k;
        fs::remove_all(d);
      }
    }
  }
}

TEST_F(WriteFaultTest, TheRefusalGivesItsErrorToEachLayer) {
  const std::string d = folder_.path();
  Write(d + "/f", "old");
  const struct {
    WriteFault fault;
    int err;
    dbase::DBIResult engine;
  } faults[] = {{WriteFault::kFullOnce, ENOSPC, dbase::DBIERR_DISKFULL}, {WriteFault::kFailOnce, EIO, dbase::DBIERR_OSERROR}};
  for (const auto& f : faults) {
    platform::SetWriteFault(f.fault, 1);
    errno = 0;
    EXPECT_FALSE(platform::RemoveFile(d + "/f"));
    EXPECT_EQ(errno, f.err);
    EXPECT_EQ(Read(d + "/f"), "old");
    platform::SetWriteFault(f.fault, 2);
    int fd = -1;
    ASSERT_EQ(dbase::CreateFile(d + "/g", &fd), dbase::DBIERR_NONE);  // the first change
    EXPECT_EQ(dbase::WriteAt(fd, "abc", 3, 0), f.engine);             // the second, refused
    EXPECT_EQ(dbase::WriteAt(fd, "abc", 3, 0), dbase::DBIERR_NONE);    // the third goes through
    platform::CloseHandle(fd);
    EXPECT_EQ(platform::WritesCounted(), 3);
  }
}

// From the n-th change on, every write that makes a file longer fails; a write inside the file,
// a rename or a removal goes through.
TEST_F(WriteFaultTest, AFullDiskRefusesOnlyWhatGrowsAFile) {
  const std::string d = folder_.path();
  Write(d + "/f", "0123456789");
  platform::SetWriteFault(WriteFault::kFull, 1);
  EXPECT_TRUE(platform::AtomicRename(d + "/f", d + "/g"));
  const int fd = platform::OpenForAppending(d + "/g");
  EXPECT_EQ(platform::WriteAllAt(fd, "ab", 2, 0), 0);
  EXPECT_EQ(platform::WriteAllAt(fd, "ab", 2, 9), ENOSPC);
  EXPECT_FALSE(platform::WriteAll(fd, "more", 4));
  platform::CloseHandle(fd);
  EXPECT_EQ(Read(d + "/g"), "ab23456789");
}

}  // namespace
