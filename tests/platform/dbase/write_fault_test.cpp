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
#include "platform/system/file_pieces.h"
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

// A disk that fills while a change is written takes its first part: the bytes before the file's
// end, then those past it up to the first block boundary, else half of them. A write inside the
// file, or another change, is refused whole.
TEST_F(WriteFaultTest, APartWrittenChangePutsItsFirstPartOnTheDisk) {
  const struct {
    const char* name;
    std::size_t size;     // of the file before
    std::size_t at;       // where the write begins
    std::size_t length;   // of the write
    std::size_t written;  // what stands on the disk after: the file's new length
  } cases[] = {
      {"new file, across a block", 0, 0, 5000, 4096},
      {"new file, inside a block", 0, 0, 100, 50},
      {"end of a file, to the block's end", 4000, 4000, 200, 4096},
      {"end of a file, inside a block", 100, 100, 100, 150},
      {"over the end of a file", 100, 60, 100, 130},
      {"inside the file: nothing", 100, 10, 50, 100},
  };
  for (const auto& c : cases) {
    const std::string path = folder_.path() + "/part";
    Write(path, std::string(c.size, 'o'));
    const int fd = platform::OpenForAppending(path);
    platform::SetWriteFault(WriteFault::kPartOnce, 1);
    EXPECT_EQ(platform::WriteAllAt(fd, std::string(c.length, 'n').data(), c.length, static_cast<std::int64_t>(c.at)),
              ENOSPC)
        << c.name;
    platform::SetWriteFault(WriteFault::kNone, 0);
    platform::CloseHandle(fd);
    const std::string now = Read(path);
    EXPECT_EQ(now.size(), c.written) << c.name;
    if (c.written > c.size) EXPECT_EQ(now.substr(c.at), std::string(c.written - c.at, 'n')) << c.name;
  }
  // A rename meets the same fault as a refusal of the whole change.
  Write(folder_.path() + "/x", "x");
  platform::SetWriteFault(WriteFault::kPartOnce, 1);
  errno = 0;
  EXPECT_FALSE(platform::AtomicRename(folder_.path() + "/x", folder_.path() + "/y"));
  EXPECT_EQ(errno, ENOSPC);
  EXPECT_EQ(platform::RefusedChange(), "rename " + folder_.path() + "/x");
}

// Each helper that writes a file, its write cut part-way by a disk that fills: it fails and the
// file is as it was, byte for byte (taken back, or written aside and never put in place), and
// the next write goes where it would have gone.
TEST_F(WriteFaultTest, AHelperWriteCutPartWayLeavesItsFileAsItWas) {
  const std::string old = "01/02/26-10h00m00s> 1 - ligne\r\n";
  const std::string text(6000, 'n');
  const struct {
    const char* name;
    std::function<bool(const std::string&)> write;
    const char* next = "";  // what the helper writes after a failure, where the failed write began
  } cases[] = {
      {"append", [&](const std::string& f) { return platform::AppendToFile(f, text); }},
      {"write on a handle at the file's end",
       [&](const std::string& f) {
         const int fd = platform::OpenForAppending(f);
         const bool written = platform::WriteAll(fd, text.data(), text.size());
         if (!written) platform::WriteAll(fd, "fin", 3);
         platform::CloseHandle(fd);
         return written;
       },
       "fin"},
      {"whole file written aside", [&](const std::string& f) { return platform::WriteFileAtomic(f, old + text); }},
      {"file written aside past the cache",
       [&](const std::string& f) {
         bool given = false;
         const platform::PieceSource whole = [&](std::string& buffer, const char*&, std::size_t&) {
           if (given) return false;
           given = true;
           buffer = old + text;
           return true;
         };
         return platform::WriteFileAtomic(f, whole, true);
       }},
      {"copy over the file",
       [&](const std::string& f) {
         Write(folder_.path() + "/source", old + text);
         return platform::CopyFile(folder_.path() + "/source", f);
       }},
  };
  for (const auto& c : cases) {
    const std::string dir = folder_.path() + "/cut";
    fs::remove_all(dir);
    fs::create_directories(dir);
    const std::string file = dir + "/cofa.txt";
    Write(file, old);
    for (long k = 1;; ++k) {
      platform::SetWriteFault(WriteFault::kPartOnce, k);
      const bool ok = c.write(file);
      const long counted = platform::WritesCounted();
      platform::SetWriteFault(WriteFault::kNone, 0);
      if (k > counted) {
        EXPECT_TRUE(ok) << c.name << ": uncut";
        break;
      }
      EXPECT_FALSE(ok) << c.name << ", change " << k << " cut";
      const std::string now = Read(file);
      EXPECT_TRUE(now == old + c.next) << c.name << ", change " << k << " cut: " << now.size() << " bytes";
      EXPECT_EQ(Names(dir), std::vector<std::string>{"cofa.txt"}) << c.name << ", change " << k;
      Write(file, old);
    }
  }
}

// From the n-th change on, every change is refused as on a disk remounted read-only, the run's
// own clean-up included: the earlier changes stand, the first refused is the one named.
TEST_F(WriteFaultTest, ALastingRefusalRefusesEveryLaterChange) {
  const std::string d = folder_.path();
  Write(d + "/a", "a");
  Write(d + "/b", "b");
  platform::SetWriteFault(WriteFault::kFailForGood, 2);
  EXPECT_TRUE(platform::AppendToFile(d + "/a", "1"));  // the first change goes through
  errno = 0;
  EXPECT_FALSE(platform::RemoveFile(d + "/b"));
  EXPECT_EQ(errno, EROFS);
  EXPECT_FALSE(platform::RemoveFile(d + "/b"));
  EXPECT_FALSE(platform::AppendToFile(d + "/a", "2"));
  EXPECT_FALSE(platform::WriteFileAtomic(d + "/a", "new"));
  EXPECT_FALSE(platform::AtomicRename(d + "/a", d + "/c"));
  const int fd = platform::OpenForAppending(d + "/a");
  EXPECT_EQ(dbase::WriteAt(fd, "x", 1, 0), dbase::DBIERR_OSACCESS);
  platform::CloseHandle(fd);
  EXPECT_EQ(platform::RefusedChange(), "unlink " + d + "/b");
  platform::SetWriteFault(WriteFault::kNone, 0);
  EXPECT_EQ(Read(d + "/a"), "a1");
  EXPECT_EQ(Names(d), (std::vector<std::string>{"a", "b"}));
  EXPECT_TRUE(platform::RemoveFile(d + "/b"));
}

}  // namespace
