// A file written past the file cache, through each of its ways: straight to the disk, the tail
// that is not whole pages through the cache, the file system refusing the direct flag, a direct
// write refused as misaligned. Each way is seen to run (the writer's seam counts its bytes) and
// gives the same bytes as a file written through the cache; a write refused on any of them
// leaves the older file and no temporary.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "platform/system/file_pieces.h"
#include "platform/system/files.h"
#include "platform/system/past_cache_seam.h"
#include "platform/system/write_fault.h"
#include "support/temp_folder.h"

namespace {

constexpr std::size_t kPage = platform::kPageAlignment;
constexpr std::size_t kPiece = 16 * kPage;

struct Free {
  void operator()(char* p) const { ::operator delete[](p, std::align_val_t{kPage}); }
};
using Pages = std::unique_ptr<char[], Free>;

// The ways a file is written, and what the seam makes the writer meet.
enum class Way { kCache, kDirect, kFlagRefused, kWriteRefused };
const char* NameOf(Way way) {
  switch (way) {
    case Way::kCache: return "through the cache";
    case Way::kDirect: return "past the cache";
    case Way::kFlagRefused: return "direct flag refused";
    case Way::kWriteRefused: return "direct write refused";
  }
  return "";
}

class PastCacheTest : public ::testing::Test {
 protected:
  void TearDown() override {
    platform::pastCacheSeam = nullptr;
    platform::SetWriteFault(platform::WriteFault::kNone, 0);
  }

  // `size` bytes of a page-aligned buffer, given as the export gives them: pieces of whole
  // pages, then what is left past the last whole page as a piece of its own (or, with
  // `onePiece`, the whole in a single piece).
  bool Write(const std::string& path, const char* pages, std::size_t size, Way way, bool onePiece = false) {
    seam_ = platform::PastCacheSeam{};
    seam_.refuseDirect = way == Way::kFlagRefused;
    seam_.refuseAlignment = way == Way::kWriteRefused;
    platform::pastCacheSeam = &seam_;
    std::size_t at = 0;
    const bool ok = platform::WriteFileAtomic(
        path,
        [&](std::string&, const char*& data, std::size_t& n) {
          if (at == size) return false;
          const std::size_t left = size - at;
          n = onePiece ? left : left >= kPiece ? kPiece : left >= kPage ? left / kPage * kPage : left;
          data = pages + at;
          at += n;
          return true;
        },
        way != Way::kCache);
    platform::pastCacheSeam = nullptr;
    return ok;
  }

  // True when the test folder's file system takes the direct flag (then the direct way runs
  // without the seam's help).
  bool DiskTakesDirect() const {
    const std::string probe = folder_.path() + "/probe";
    const int fd = ::open(probe.c_str(), O_WRONLY | O_CREAT | O_DIRECT, 0600);
    if (fd >= 0) ::close(fd);
    ::unlink(probe.c_str());
    return fd >= 0;
  }

  std::string Content(const std::string& path) const {
    std::string content;
    EXPECT_TRUE(platform::ReadWholeFile(path, content)) << path;
    return content;
  }

  static Pages Made(std::size_t size) {
    Pages pages(new (std::align_val_t{kPage}) char[std::max<std::size_t>(size, 1)]);
    for (std::size_t i = 0; i < size; ++i) pages[i] = static_cast<char>('a' + (i * 7 + i / 4093) % 26);
    return pages;
  }

  platform::PastCacheSeam seam_;
  test_support::TempFolder folder_{"merlon-pastcache"};
};

// Each size around the page, each way: the bytes on disk are the content, and the seam says
// which way each byte went.
TEST_F(PastCacheTest, EveryWayWritesTheSameBytesAndSaysWhichWayItWent) {
  const bool disk = DiskTakesDirect();
  const std::string path = folder_.path() + "/out.txt";
  for (const std::size_t size : {std::size_t{0}, std::size_t{1}, std::size_t{511}, std::size_t{512}, kPage - 1, kPage,
                                 kPage + 1, 3 * kPiece + 5 * kPage + 17, std::size_t{3} << 20}) {
    const Pages pages = Made(size);
    const std::string expected(pages.get(), size);
    const std::size_t whole = size / kPage * kPage;
    for (const Way way : {Way::kCache, Way::kDirect, Way::kFlagRefused, Way::kWriteRefused}) {
      for (const bool onePiece : {false, true}) {
        SCOPED_TRACE(std::to_string(size) + " bytes " + NameOf(way) + (onePiece ? ", one piece" : ", in pieces"));
        ASSERT_TRUE(Write(path, pages.get(), size, way, onePiece));
        EXPECT_EQ(Content(path), expected);
        EXPECT_EQ(platform::ListFiles(folder_.path()), std::vector<std::string>{"out.txt"});
        EXPECT_EQ(seam_.directBytes + seam_.cachedBytes, size);
        const bool opened = (way == Way::kDirect && disk) || way == Way::kWriteRefused;
        EXPECT_EQ(seam_.openedDirect, opened ? 1 : 0);
        if (way == Way::kDirect && disk) {
          // Straight to the disk up to the last whole page; a piece that is not whole pages
          // (the tail, or the whole when given in one piece) and every piece after it through
          // the cache.
          const std::size_t direct = onePiece ? (size == whole ? size : 0) : whole;
          EXPECT_EQ(seam_.directBytes, direct);
          EXPECT_EQ(seam_.leftDirect, direct < size ? 1 : 0);
        } else {
          EXPECT_EQ(seam_.directBytes, 0u);
          // A direct write refused goes over to the cache at the first piece.
          EXPECT_EQ(seam_.leftDirect, way == Way::kWriteRefused && size > 0 ? 1 : 0);
        }
      }
    }
  }
}

// A write refused (a full disk, a lost write) at each change of each way: reported as a failure
// with its cause, the older file kept whole, no temporary left.
TEST_F(PastCacheTest, AWriteRefusedOnAnyWayStaysAFailure) {
  const std::string path = folder_.path() + "/out.txt";
  const std::size_t size = 2 * kPiece + 3 * kPage + 100;
  const Pages pages = Made(size);
  const std::string older = "older content\r\n";
  for (const Way way : {Way::kCache, Way::kDirect, Way::kFlagRefused, Way::kWriteRefused}) {
    // The changes of a whole write: the creation, each piece, the rename.
    ASSERT_TRUE(platform::WriteFileAtomic(path, older));
    platform::SetWriteFault(platform::WriteFault::kFullOnce, 1000000);
    ASSERT_TRUE(Write(path, pages.get(), size, way));
    const long changes = platform::WritesCounted();
    EXPECT_EQ(changes, 1 + 4 + 1) << NameOf(way);
    for (long nth = 1; nth <= changes; ++nth) {
      for (const auto fault : {platform::WriteFault::kFullOnce, platform::WriteFault::kFailOnce}) {
        SCOPED_TRACE(std::string(NameOf(way)) + ", change " + std::to_string(nth) +
                     (fault == platform::WriteFault::kFullOnce ? " refused for want of room" : " lost"));
        platform::SetWriteFault(platform::WriteFault::kNone, 0);
        ASSERT_TRUE(platform::WriteFileAtomic(path, older));
        platform::SetWriteFault(fault, nth);
        EXPECT_FALSE(Write(path, pages.get(), size, way));
        EXPECT_EQ(platform::FailedForWantOfRoom(), fault == platform::WriteFault::kFullOnce);
        EXPECT_FALSE(platform::RefusedChange().empty());
        platform::SetWriteFault(platform::WriteFault::kNone, 0);
        EXPECT_EQ(Content(path), older);
        EXPECT_EQ(platform::ListFiles(folder_.path()), std::vector<std::string>{"out.txt"});
      }
    }
  }
}

// The direct flag that cannot be taken off again when the writer must go over to the cache (a
// tail that is not whole pages, a direct write refused as misaligned): the file is not written
// with a piece lost, the write fails and the older file stays. A file of whole pages the disk
// takes never needs it.
TEST_F(PastCacheTest, AWriterThatCannotLeaveTheDirectWayFails) {
  if (!DiskTakesDirect()) GTEST_SKIP() << "the test folder's file system refuses the direct flag";
  const std::string path = folder_.path() + "/out.txt";
  const Pages pages = Made(kPiece + kPage + 1);
  const struct {
    std::size_t size;
    bool misaligned;
  } cases[] = {{kPage + 1, false}, {kPiece + kPage, false}, {kPiece + kPage, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.size) + (c.misaligned ? " refused as misaligned" : ""));
    ASSERT_TRUE(platform::WriteFileAtomic(path, "older"));
    seam_ = platform::PastCacheSeam{};
    seam_.refuseLeaving = true;
    seam_.refuseAlignment = c.misaligned;
    platform::pastCacheSeam = &seam_;
    std::size_t at = 0;
    const bool ok = platform::WriteFileAtomic(
        path,
        [&](std::string&, const char*& data, std::size_t& n) {
          if (at == c.size) return false;
          n = c.size - at >= kPage ? (c.size - at) / kPage * kPage : c.size - at;
          data = pages.get() + at;
          at += n;
          return true;
        },
        true);
    platform::pastCacheSeam = nullptr;
    const bool stays = c.size % kPage == 0 && !c.misaligned;
    EXPECT_EQ(ok, stays);
    EXPECT_EQ(seam_.leftDirect, stays ? 0 : 1);
    EXPECT_EQ(Content(path), stays ? std::string(pages.get(), c.size) : "older");
    EXPECT_EQ(platform::ListFiles(folder_.path()), std::vector<std::string>{"out.txt"});
  }
}

}  // namespace
