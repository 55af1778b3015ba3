// Files written whole before they take their name: placed in the same folder and across two file
// systems, and on every failure no file under the final name and no temporary file left.
#include "platform/system/temp_files.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <filesystem>
#include <memory>
#include <new>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "platform/system/file_pieces.h"
#include "platform/system/files.h"
#include "platform/system/process.h"
#include "support/other_process.h"
#include "support/temp_folder.h"

namespace {

using platform::TemporaryFile;

class TempFilesTest : public ::testing::Test {
 protected:
  std::string Dir() const { return folder_.path() + "/"; }
  std::vector<std::string> Temporary(const std::string& folder) const { return platform::ListFiles(folder, "ZEL*"); }
  test_support::TempFolder folder_{"merlon-tmpfile"};
};

TEST_F(TempFilesTest, AFileTakesItsNameWholeAndItsTemporaryGoes) {
  TemporaryFile f;
  ASSERT_TRUE(f.Create("ZEL", folder_.path()));
  EXPECT_EQ(f.Path().rfind(Dir() + "ZEL", 0), 0u) << f.Path();
  EXPECT_TRUE(f.Write("<a>1</a>\r\n"));
  EXPECT_TRUE(f.Write(std::string(100000, 'x')));
  // An older file of that name is replaced.
  std::string content;
  ASSERT_TRUE(platform::WriteFileAtomic(Dir() + "out.xml", "old"));
  ASSERT_TRUE(f.Place(Dir() + "out.xml"));
  ASSERT_TRUE(platform::ReadWholeFile(Dir() + "out.xml", content));
  EXPECT_EQ(content.size(), 10u + 100000u);
  EXPECT_EQ(content.substr(0, 10), "<a>1</a>\r\n");
  EXPECT_TRUE(Temporary(folder_.path()).empty());
  struct stat st {};
  ASSERT_EQ(::stat((Dir() + "out.xml").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0644u);
}

TEST_F(TempFilesTest, AcrossTwoFileSystemsTheFileIsCopiedNextToItsTargetFirst) {
  // /dev/shm is a memory file system on Linux: the rename from there fails with EXDEV.
  struct stat shm {}, here {};
  if (::stat("/dev/shm", &shm) != 0 || ::stat(folder_.path().c_str(), &here) != 0 || shm.st_dev == here.st_dev)
    GTEST_SKIP() << "no second file system";
  struct ShmFolder {
    std::string path;
    ShmFolder() {
      std::string pattern = "/dev/shm/merlon-tmpfile-XXXXXX";
      if (const char* made = ::mkdtemp(pattern.data())) path = made;
    }
    ~ShmFolder() {
      std::error_code ec;
      if (!path.empty()) std::filesystem::remove_all(path, ec);
    }
  } other;
  if (other.path.empty()) GTEST_SKIP() << "no second file system";
  TemporaryFile f;
  ASSERT_TRUE(f.Create("ZEL", other.path));
  ASSERT_TRUE(f.Write(std::string(300000, 'y')));
  ASSERT_TRUE(f.Place(Dir() + "far.xml"));
  EXPECT_EQ(platform::FileSize(Dir() + "far.xml"), 300000);
  EXPECT_TRUE(Temporary(other.path).empty());
  EXPECT_TRUE(Temporary(folder_.path()).empty());
  EXPECT_EQ(platform::ListFiles(folder_.path()), std::vector<std::string>{"far.xml"});
}

TEST_F(TempFilesTest, NoFileAndNoTemporaryAfterAFailure) {
  // A target folder that does not exist.
  {
    TemporaryFile f;
    ASSERT_TRUE(f.Create("ZEL", folder_.path()));
    ASSERT_TRUE(f.Write("data"));
    EXPECT_FALSE(f.Place(Dir() + "missing/out.xml"));
    EXPECT_NE(f.Error(), 0);
    EXPECT_FALSE(f.ErrorText().empty());
  }
  // Given up: the destructor removes it.
  {
    TemporaryFile f;
    ASSERT_TRUE(f.Create("ZEL", folder_.path()));
    ASSERT_TRUE(f.Write("data"));
  }
  EXPECT_TRUE(platform::ListFiles(folder_.path()).empty());
  // No folder to make it in.
  TemporaryFile none;
  EXPECT_FALSE(none.Create("ZEL", Dir() + "no-such-folder"));
  EXPECT_NE(none.Error(), 0);
  EXPECT_FALSE(none.Write("x"));
  EXPECT_FALSE(none.Place(Dir() + "out.xml"));
  EXPECT_FALSE(platform::FileExists(Dir() + "out.xml"));
}

TEST_F(TempFilesTest, AWriteRefusedByTheDiskIsSeenAndNothingIsPlaced) {
  // A file-size limit makes the disk refuse the write (EFBIG), as a full disk would.
  const std::string dir = Dir();
  const int code = test_support::RunInChild([dir] {
    platform::IgnoreFileSizeLimitSignal();
    rlimit limit{4096, 4096};
    if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) return 10;
    TemporaryFile f;
    if (!f.Create("ZEL", dir)) return 11;
    const bool written = f.Write(std::string(2000, 'a')) && f.Write(std::string(8000, 'b'));
    if (written) return 12;
    if (f.Write("more")) return 13;  // the failure is kept
    return f.Place(dir + "out.xml") ? 14 : 0;
  });
  EXPECT_EQ(code, 0);
  EXPECT_TRUE(platform::ListFiles(folder_.path()).empty());
}

// A content made piece by piece (pieces filled in the buffer given, or pointed at) takes the
// name whole; a write the disk refuses midway leaves the older file as it was and no temporary.
TEST_F(TempFilesTest, AContentGivenPieceByPieceTakesItsNameWhole) {
  const std::string path = Dir() + "rows.txt";
  ASSERT_TRUE(platform::WriteFileAtomic(path, "old"));
  const std::string pointed(5000, 'p');
  int calls = 0;
  auto pieces = [&](std::string& buffer, const char*& data, std::size_t& size) {
    ++calls;
    if (calls > 4) return false;
    if (calls % 2 == 0) {
      data = pointed.data();
      size = pointed.size();
    } else {
      EXPECT_TRUE(buffer.empty());
      buffer.assign(3000, static_cast<char>('0' + calls));
    }
    return true;
  };
  ASSERT_TRUE(platform::WriteFileAtomic(path, pieces));
  std::string content;
  ASSERT_TRUE(platform::ReadWholeFile(path, content));
  EXPECT_EQ(content, std::string(3000, '1') + pointed + std::string(3000, '3') + pointed);
  EXPECT_EQ(platform::ListFiles(folder_.path()), std::vector<std::string>{"rows.txt"});

  const int code = test_support::RunInChild([path] {
    platform::IgnoreFileSizeLimitSignal();
    rlimit limit{4096, 4096};
    if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) return 10;
    int given = 0;
    return platform::WriteFileAtomic(path, [&](std::string& buffer, const char*&, std::size_t&) {
             buffer.assign(3000, 'x');
             return ++given <= 3;
           })
               ? 11
               : 0;
  });
  EXPECT_EQ(code, 0);
  ASSERT_TRUE(platform::ReadWholeFile(path, content));
  EXPECT_EQ(content.size(), 16000u);
  EXPECT_EQ(platform::ListFiles(folder_.path()), std::vector<std::string>{"rows.txt"});
}

// Past the file cache: pieces in whole pages of a page-aligned buffer go straight to the disk, a
// piece that is not (a shorter tail, an unaligned pointer) and every one after it through the
// cache; the file is the same byte for byte, and a write the disk refuses midway still leaves the
// older file and no temporary.
TEST_F(TempFilesTest, PiecesWrittenPastTheCacheMakeTheSameFile) {
  constexpr std::size_t kPage = platform::kPageAlignment;
  struct Free {
    void operator()(char* p) const { ::operator delete[](p, std::align_val_t{kPage}); }
  };
  const std::unique_ptr<char[], Free> pages(new (std::align_val_t{kPage}) char[3 * kPage]);
  for (std::size_t i = 0; i < 3 * kPage; ++i) pages[i] = static_cast<char>('a' + i % 23);
  const std::string path = Dir() + "direct.txt";
  // Aligned, aligned, the same pages from an unaligned pointer, aligned again, a short tail.
  const std::vector<std::pair<std::size_t, std::size_t>> given = {
      {0, 2 * kPage}, {kPage, kPage}, {1, kPage}, {0, 3 * kPage}, {0, 100}};
  std::string expected;
  for (const auto& [from, size] : given) expected.append(pages.get() + from, size);
  for (const bool pastCache : {true, false}) {
    std::size_t next = 0;
    ASSERT_TRUE(platform::WriteFileAtomic(
        path,
        [&](std::string&, const char*& data, std::size_t& size) {
          if (next == given.size()) return false;
          data = pages.get() + given[next].first;
          size = given[next++].second;
          return true;
        },
        pastCache));
    std::string content;
    ASSERT_TRUE(platform::ReadWholeFile(path, content));
    EXPECT_EQ(content, expected) << pastCache;
  }
  // A file of aligned pieces only.
  ASSERT_TRUE(platform::WriteFileAtomic(
      path,
      [&, done = false](std::string&, const char*& data, std::size_t& size) mutable {
        if (std::exchange(done, true)) return false;
        data = pages.get();
        size = 3 * kPage;
        return true;
      },
      true));
  std::string content;
  ASSERT_TRUE(platform::ReadWholeFile(path, content));
  EXPECT_EQ(content, std::string(pages.get(), 3 * kPage));

  const int code = test_support::RunInChild([path, &pages] {
    platform::IgnoreFileSizeLimitSignal();
    rlimit limit{2 * kPage, 2 * kPage};
    if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) return 10;
    int calls = 0;
    return platform::WriteFileAtomic(
               path,
               [&](std::string&, const char*& data, std::size_t& size) {
                 data = pages.get();
                 size = kPage;
                 return ++calls <= 3;
               },
               true)
               ? 11
               : 0;
  });
  EXPECT_EQ(code, 0);
  ASSERT_TRUE(platform::ReadWholeFile(path, content));
  EXPECT_EQ(content, std::string(pages.get(), 3 * kPage));
  EXPECT_EQ(platform::ListFiles(folder_.path(), "direct*"), std::vector<std::string>{"direct.txt"});
}

TEST_F(TempFilesTest, TheTemporaryFolderIsTmpdirWhenItNamesAFolder) {
  const char* before = ::getenv("TMPDIR");
  const std::string kept = before != nullptr ? before : "";
  ::setenv("TMPDIR", (folder_.path() + "/").c_str(), 1);
  EXPECT_EQ(platform::TemporaryFolder(), folder_.path());
  ::setenv("TMPDIR", (Dir() + "absent").c_str(), 1);
  EXPECT_EQ(platform::TemporaryFolder(), "/tmp");
  ::unsetenv("TMPDIR");
  EXPECT_EQ(platform::TemporaryFolder(), "/tmp");
  if (before != nullptr) ::setenv("TMPDIR", kept.c_str(), 1);
}

}  // namespace
