#include "dbt.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstring>
#include <vector>

#include "file_layout.h"
#include "fileio.h"

namespace dbase {

namespace {

constexpr std::uint8_t kSignature[4] = {0xFF, 0xFF, 0x08, 0x00};
constexpr std::size_t kBlockHeader = 8;
constexpr std::uint8_t kEndMark = 0x1A;
// Lock byte of the memo file that serialises the allocation of new blocks.
constexpr off_t kMemoAllocLock = kOpenSentinelByte;

class AllocLock {
 public:
  explicit AllocLock(int fd) : fd_(fd) {
    got_ = OfdLock(fd_, kMemoAllocLock, 1, F_WRLCK, true);
    ok_ = got_ == LockOutcome::kGranted;
  }
  ~AllocLock() {
    if (ok_) OfdUnlock(fd_, kMemoAllocLock, 1);
  }
  bool ok() const { return ok_; }
  bool timedOut() const { return got_ == LockOutcome::kTimedOut; }

 private:
  int fd_;
  LockOutcome got_;
  bool ok_;
};


}  // namespace

DbtFile::~DbtFile() { Close(); }

void DbtFile::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

DBIResult DbtFile::Create(const std::string& path, const std::string& tableName,
                          std::uint16_t blockSize) {
  if (blockSize < 64) return DBIERR_INVALIDPARAM;
  std::vector<std::uint8_t> head(blockSize, 0);
  Put32(&head[dbt_header::kNextFreeBlock], 1);  // the next free block follows the header block
  for (std::size_t n = 0; n < tableName.size() && n < dbt_header::kTableNameLength; ++n)
    head[dbt_header::kTableName + n] = static_cast<std::uint8_t>(tableName[n]);
  head[16] = 0x00;
  head[17] = 0x00;
  head[18] = 0x02;
  head[19] = 0x01;
  head[dbt_header::kBlockLength] = blockSize & 0xFF;
  head[dbt_header::kBlockLength + 1] = blockSize >> 8;
  int fd = -1;
  DBIResult rc = CreateFile(path, &fd);
  if (rc != DBIERR_NONE) return rc;
  rc = WriteAt(fd, head.data(), head.size(), 0);
  if (::close(fd) != 0 && rc == DBIERR_NONE) rc = ErrnoToResult(errno);
  return rc;
}

DBIResult DbtFile::Open(const std::string& path, bool write, bool dbase3) {
  Close();
  int fd = -1;
  bool writable = false;
  DBIResult rc = OpenFile(path, write, &fd, &writable, DBIERR_MEMOCORRUPT);
  if (rc != DBIERR_NONE) return rc;
  std::uint8_t head[dbt_header::kBlockLength + 2];
  rc = ReadAt(fd, head, sizeof head, 0);
  if (rc != DBIERR_NONE) {
    ::close(fd);
    // A header cut short is damage; a read the system refused keeps its own code.
    return rc == DBIERR_FILECORRUPT ? DBIERR_MEMOCORRUPT : rc;
  }
  std::uint16_t size = static_cast<std::uint16_t>(head[dbt_header::kBlockLength] | (head[dbt_header::kBlockLength + 1] << 8));
  // dBASE III files leave the size at zero: 512-byte blocks.
  blockSize_ = dbase3 || size < 64 ? kDefaultMemoBlock : size;
  fd_ = fd;
  path_ = path;
  network_ = OnNetworkFs(path);
  writable_ = writable;
  dbase3_ = dbase3;
  return DBIERR_NONE;
}

std::size_t DbtFile::BlocksFor(std::size_t length) const {
  std::size_t total = dbase3_ ? length + 2 : length + kBlockHeader;
  return (total + blockSize_ - 1) / blockSize_;
}

DBIResult DbtFile::Read(std::uint32_t block, std::string* text) const {
  text->clear();
  if (block == 0) return DBIERR_NONE;
  if (fd_ < 0) return DBIERR_MEMOCORRUPT;
  ReadRefresh fresh(fd_, network_);
  off_t size = 0;
  DBIResult rc = FileSize(fd_, &size);
  if (rc != DBIERR_NONE) return rc;
  off_t start = static_cast<off_t>(block) * blockSize_;
  if (start >= size) return DBIERR_MEMOCORRUPT;
  std::uint8_t head[kBlockHeader];
  std::size_t got = 0;
  rc = ReadSome(fd_, head, sizeof head, start, &got);
  if (rc != DBIERR_NONE) return rc;
  if (got == sizeof head && std::memcmp(head, kSignature, 4) == 0) {
    std::uint32_t stored = Get32(&head[4]);
    if (stored < kBlockHeader) return DBIERR_MEMOCORRUPT;
    off_t length = stored - kBlockHeader;
    if (start + static_cast<off_t>(kBlockHeader) + length > size) return DBIERR_MEMOCORRUPT;
    text->resize(static_cast<std::size_t>(length));
    rc = ReadAt(fd_, text->data(), text->size(), start + kBlockHeader);
    if (rc != DBIERR_NONE) text->clear();
    return rc == DBIERR_FILECORRUPT ? DBIERR_MEMOCORRUPT : rc;
  }
  // dBASE III: the text runs to the first end mark (or the end of the file).
  std::vector<char> chunk(4096);
  for (off_t pos = start; pos < size;) {
    rc = ReadSome(fd_, chunk.data(), chunk.size(), pos, &got);
    if (rc != DBIERR_NONE) return rc;
    if (got == 0) break;
    const void* end = std::memchr(chunk.data(), kEndMark, got);
    if (end != nullptr) {
      text->append(chunk.data(), static_cast<const char*>(end) - chunk.data());
      return DBIERR_NONE;
    }
    text->append(chunk.data(), got);
    pos += static_cast<off_t>(got);
  }
  return DBIERR_NONE;
}

DBIResult DbtFile::Write(std::uint32_t oldBlock, const std::string& text, std::uint32_t* newBlock,
                         std::vector<std::uint8_t>* overwritten) {
  *newBlock = 0;
  if (overwritten != nullptr) overwritten->clear();
  if (fd_ < 0) return DBIERR_MEMOCORRUPT;
  if (!writable_) return DBIERR_OSACCESS;
  if (text.empty()) return DBIERR_NONE;
  if (text.size() > 0x7FFFFFF0u) return DBIERR_INVALIDPARAM;
  if (!dbase3_ && oldBlock != 0) {
    // Rewrite in place when the old memo's blocks can hold the new text.
    off_t size = 0;
    std::uint8_t head[kBlockHeader];
    off_t start = static_cast<off_t>(oldBlock) * blockSize_;
    if (FileSize(fd_, &size) == DBIERR_NONE && start + static_cast<off_t>(kBlockHeader) <= size &&
        ReadAt(fd_, head, sizeof head, start) == DBIERR_NONE && std::memcmp(head, kSignature, 4) == 0) {
      std::uint32_t stored = Get32(&head[4]);
      // The old memo must lie wholly inside the file (a damaged length is never trusted).
      if (stored >= kBlockHeader && start + static_cast<off_t>(stored) <= size &&
          BlocksFor(stored - kBlockHeader) >= BlocksFor(text.size())) {
        std::vector<std::uint8_t> out(kBlockHeader + text.size());
        std::memcpy(out.data(), kSignature, 4);
        Put32(&out[4], static_cast<std::uint32_t>(text.size() + kBlockHeader));
        std::memcpy(out.data() + kBlockHeader, text.data(), text.size());
        if (overwritten != nullptr) {
          overwritten->resize(out.size());
          const DBIResult kept = ReadAt(fd_, overwritten->data(), out.size(), start);
          if (kept != DBIERR_NONE) {
            overwritten->clear();
            return kept == DBIERR_FILECORRUPT ? DBIERR_MEMOCORRUPT : kept;
          }
        }
        DBIResult rc = WriteAt(fd_, out.data(), out.size(), start);
        if (rc == DBIERR_NONE) *newBlock = oldBlock;
        return rc;
      }
    }
  }
  return Append(text, newBlock);
}

DBIResult DbtFile::PutBack(std::uint32_t block, const std::vector<std::uint8_t>& overwritten) {
  if (overwritten.empty()) return DBIERR_NONE;
  return WriteAt(fd_, overwritten.data(), overwritten.size(), static_cast<off_t>(block) * blockSize_);
}

DBIResult DbtFile::Append(const std::string& text, std::uint32_t* block) {
  AllocLock lock(fd_);
  if (lock.timedOut()) NoteLockTimeout(path_);
  if (!lock.ok()) return lock.timedOut() ? DBIERR_LOCKTIMEOUT : DBIERR_OSERROR;
  std::uint8_t head[4];
  DBIResult rc = ReadAt(fd_, head, sizeof head, dbt_header::kNextFreeBlock);
  if (rc != DBIERR_NONE) return rc == DBIERR_FILECORRUPT ? DBIERR_MEMOCORRUPT : rc;
  std::uint32_t next = Get32(head);
  // A damaged next-free pointer is mended from the file size, never trusted past it.
  off_t size = 0;
  rc = FileSize(fd_, &size);
  if (rc != DBIERR_NONE) return rc;
  std::uint32_t fromSize = static_cast<std::uint32_t>((size + blockSize_ - 1) / blockSize_);
  if (fromSize == 0) fromSize = 1;
  // A pointer back into the used blocks would overwrite other records' memos: the new memo
  // goes past the end of the file and the damage is reported for the rebuild.
  if (next != 0 && next < fromSize) ReportDamage(path_, DBIERR_MEMOCORRUPT);
  if (next == 0 || next != fromSize) next = fromSize;
  std::size_t blocks = BlocksFor(text.size());
  if (static_cast<std::uint64_t>(next) + blocks > 0xFFFFFFFFull) return DBIERR_NOMEMORY;
  std::vector<std::uint8_t> out(blocks * blockSize_, 0);
  if (dbase3_) {
    std::memcpy(out.data(), text.data(), text.size());
    out[text.size()] = kEndMark;
    out[text.size() + 1] = kEndMark;
  } else {
    std::memcpy(out.data(), kSignature, 4);
    Put32(&out[4], static_cast<std::uint32_t>(text.size() + kBlockHeader));
    std::memcpy(out.data() + kBlockHeader, text.data(), text.size());
  }
  // The pointer moves first: a process killed before its blocks are written leaves a pointer
  // past the end of the file (mended above), never one inside the used blocks.
  std::uint8_t moved[4];
  Put32(moved, next + static_cast<std::uint32_t>(blocks));
  rc = WriteAt(fd_, moved, sizeof moved, dbt_header::kNextFreeBlock);
  if (rc != DBIERR_NONE) return rc;
  rc = WriteAt(fd_, out.data(), out.size(), static_cast<off_t>(next) * blockSize_);
  if (rc != DBIERR_NONE) {
    // A part written on a full disk is cut off and the pointer put back.
    (void)TruncateFile(fd_, size);
    Put32(head, next);
    (void)WriteAt(fd_, head, sizeof head, dbt_header::kNextFreeBlock);
    return rc;
  }
  *block = next;
  return rc;
}

DBIResult DbtFile::ParseReference(const std::uint8_t* field, std::size_t width, std::uint32_t* block) {
  *block = 0;
  std::uint64_t value = 0;
  bool digits = false, after = false;
  for (std::size_t i = 0; i < width; ++i) {
    std::uint8_t c = field[i];
    if (c == ' ' || c == 0) {
      if (digits) after = true;
      continue;
    }
    if (c < '0' || c > '9' || after) return DBIERR_MEMOCORRUPT;
    digits = true;
    value = value * 10 + (c - '0');
    if (value > 0xFFFFFFFFull) return DBIERR_MEMOCORRUPT;
  }
  *block = static_cast<std::uint32_t>(value);
  return DBIERR_NONE;
}

void DbtFile::FormatReference(std::uint32_t block, std::uint8_t* field, std::size_t width) {
  std::memset(field, ' ', width);
  if (block == 0) return;
  char digits[16];
  int n = 0;
  for (std::uint32_t v = block; v != 0 && n < 16; v /= 10) digits[n++] = static_cast<char>('0' + v % 10);
  for (int i = 0; i < n && static_cast<std::size_t>(i) < width; ++i)
    field[width - 1 - i] = static_cast<std::uint8_t>(digits[i]);
}

}  // namespace dbase
