#include "dbf.h"

#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <limits>
#include <vector>

#include "file_layout.h"
#include "fileio.h"
#include "platform/system/cp1252.h"
#include "platform/system/files.h"

namespace dbase {

namespace {

constexpr std::uint8_t kHeaderEnd = 0x0D;
constexpr std::uint8_t kFileEnd = 0x1A;
constexpr int kMaxFields = 255;

// Today as dBASE keeps it: years since 1900, month, day.
// Every append stamps it: the conversion is done again only when the second changes.
void Today(std::uint8_t* p) {
  thread_local std::time_t last = -1;
  thread_local std::uint8_t date[3] = {};
  const std::time_t t = std::time(nullptr);
  if (t != last) {
    std::tm tm {};
    localtime_r(&t, &tm);
    date[0] = static_cast<std::uint8_t>(tm.tm_year);
    date[1] = static_cast<std::uint8_t>(tm.tm_mon + 1);
    date[2] = static_cast<std::uint8_t>(tm.tm_mday);
    last = t;
  }
  std::memcpy(p, date, 3);
}

bool ValidName(const std::string& name) {
  if (name.empty() || name.size() > 10) return false;
  if (!std::isalpha(static_cast<unsigned char>(name[0]))) return false;
  for (char c : name) {
    unsigned char u = static_cast<unsigned char>(c);
    if (!std::isalnum(u) && c != '_') return false;
  }
  return true;
}

std::string Upper10(const std::string& s) {
  std::string r = s.substr(0, 10);
  for (char& c : r) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  while (!r.empty() && r.back() == ' ') r.pop_back();
  return r;
}

}  // namespace

DbfFile::~DbfFile() { Close(); }

void DbfFile::Unmap() const {
  if (map_ != nullptr) ::munmap(const_cast<std::uint8_t*>(map_), mapLength_);
  map_ = nullptr;
  mapLength_ = 0;
  mapValid_ = 0;
}

const std::uint8_t* DbfFile::Window(off_t at, std::size_t length) const {
  // While a test counts the reads, each one goes through the system's read.
  if (platform::FileReadsWatched()) return nullptr;
  const off_t end = at + static_cast<off_t>(length);
  if (end > mapValid_) {
    off_t size = 0;
    if (FileSize(fd_, &size) != DBIERR_NONE || size < end) return nullptr;
    mapValid_ = size;
  }
  if (map_ == nullptr || end > static_cast<off_t>(mapLength_)) {
    // The whole file and room to grow: records appended later by any process are read
    // through the same mapping until the file outgrows it.
    constexpr off_t kRoom = 64 << 20;
    const off_t page = ::sysconf(_SC_PAGESIZE);
    off_t mapLength = mapValid_ + kRoom;
    mapLength += page - mapLength % page;
    off_t valid = mapValid_;
    Unmap();
    mapValid_ = valid;
    void* p = ::mmap(nullptr, static_cast<std::size_t>(mapLength), PROT_READ, MAP_SHARED, fd_, 0);
    if (p == MAP_FAILED) return nullptr;
    map_ = static_cast<const std::uint8_t*>(p);
    mapLength_ = static_cast<std::size_t>(mapLength);
  }
  return map_ + at;
}

bool DbfFile::SameFileAs(const DbfFile& other) const {
  if (fd_ < 0 || other.fd_ < 0) return false;
  if (identityKnown_ && other.identityKnown_) return dev_ == other.dev_ && ino_ == other.ino_;
  struct stat a {}, b {};
  return ::fstat(fd_, &a) == 0 && ::fstat(other.fd_, &b) == 0 && a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

void DbfFile::Close() {
  Unmap();
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  identityKnown_ = false;
  writable_ = false;
  fields_.clear();
}

DBIResult DbfFile::CreateLike(const DbfFile& model, const std::string& path) {
  std::vector<std::uint8_t> head(model.headerLength_ + 1u);
  DBIResult rc = ReadAt(model.fd_, head.data(), model.headerLength_, 0);
  if (rc != DBIERR_NONE) return rc;
  Put32(&head[dbf_header::kRecordCount], 0);
  head[model.headerLength_] = kFileEnd;
  int fd = -1;
  rc = CreateFile(path, &fd);
  if (rc != DBIERR_NONE) return rc;
  rc = WriteAt(fd, head.data(), head.size(), 0);
  if (::close(fd) != 0 && rc == DBIERR_NONE) rc = ErrnoToResult(errno);
  return rc;
}

void DbfFile::TakeOver(DbfFile& other) {
  Close();
  other.Unmap();
  fd_ = other.fd_;
  identityKnown_ = other.identityKnown_;
  dev_ = other.dev_;
  ino_ = other.ino_;
  writable_ = other.writable_;
  path_ = other.path_;
  fields_ = std::move(other.fields_);
  recordLength_ = other.recordLength_;
  headerLength_ = other.headerLength_;
  version_ = other.version_;
  languageDriver_ = other.languageDriver_;
  mdxFlag_ = other.mdxFlag_;
  network_ = other.network_;
  other.fd_ = -1;
  other.Close();
}

bool DbfFile::hasMemo() const {
  for (const auto& f : fields_)
    if (f.type == 'M') return true;
  return false;
}

int DbfFile::FieldNumber(const std::string& name) const {
  std::string want = Upper10(name);
  for (std::size_t i = 0; i < fields_.size(); ++i)
    if (Upper10(fields_[i].name) == want) return static_cast<int>(i + 1);
  return 0;
}

DBIResult DbfFile::Create(const std::string& path, const std::vector<DbfFieldSpec>& specs,
                          bool productionIndex, std::uint8_t languageDriver) {
  if (specs.empty() || specs.size() > kMaxFields) return DBIERR_INVALIDPARAM;
  std::vector<std::uint8_t> head(dbf_header::kSize + dbf_field::kSize * specs.size() + 2, 0);
  std::size_t recordLength = 1;
  bool memo = false;
  for (std::size_t i = 0; i < specs.size(); ++i) {
    const DbfFieldSpec& s = specs[i];
    std::string name = Upper10(s.name);
    if (!ValidName(name) || name.size() != s.name.size()) return DBIERR_INVALIDPARAM;
    for (std::size_t j = 0; j < i; ++j)
      if (Upper10(specs[j].name) == name) return DBIERR_INVALIDPARAM;
    char type = static_cast<char>(std::toupper(static_cast<unsigned char>(s.type)));
    int width = s.width, decimals = 0;
    switch (type) {
      case 'C':
        if (width < 1 || width > 254) return DBIERR_INVALIDPARAM;
        break;
      case 'N':
      case 'F':
        if (width < 1 || width > 20 || s.decimals < 0 || s.decimals > 18) return DBIERR_INVALIDPARAM;
        if (s.decimals > 0 && s.decimals > width - 2) return DBIERR_INVALIDPARAM;
        decimals = s.decimals;
        break;
      case 'D':
        width = 8;
        break;
      case 'L':
        width = 1;
        break;
      case 'M':
        width = 10;
        memo = true;
        break;
      default:
        return DBIERR_INVALIDPARAM;
    }
    std::uint8_t* d = &head[dbf_header::kSize + dbf_field::kSize * i];
    std::memcpy(d + dbf_field::kName, name.data(), name.size());
    d[dbf_field::kType] = static_cast<std::uint8_t>(type);
    d[dbf_field::kWidth] = static_cast<std::uint8_t>(width);
    d[dbf_field::kDecimals] = static_cast<std::uint8_t>(decimals);
    recordLength += static_cast<std::size_t>(width);
  }
  if (recordLength > 0xFFFF) return DBIERR_INVALIDPARAM;
  std::size_t headerLength = dbf_header::kSize + dbf_field::kSize * specs.size() + 1;
  head[dbf_header::kVersion] = memo ? kDbfVersionMemo4 : kDbfVersionPlain;
  Today(&head[dbf_header::kLastUpdate]);
  Put16(&head[dbf_header::kHeaderLength], static_cast<std::uint16_t>(headerLength));
  Put16(&head[dbf_header::kRecordLength], static_cast<std::uint16_t>(recordLength));
  head[dbf_header::kProductionIndex] = productionIndex ? 1 : 0;
  head[dbf_header::kLanguageDriver] = languageDriver;
  head[headerLength - 1] = kHeaderEnd;
  head[headerLength] = kFileEnd;

  int fd = -1;
  DBIResult rc = CreateFile(path, &fd);
  if (rc != DBIERR_NONE) return rc;
  rc = WriteAt(fd, head.data(), headerLength + 1, 0);
  if (::close(fd) != 0 && rc == DBIERR_NONE) rc = ErrnoToResult(errno);
  return rc;
}

DBIResult DbfFile::Open(const std::string& path, bool write) {
  Close();
  int fd = -1;
  bool writable = false;
  DBIResult rc = OpenFile(path, write, &fd, &writable, DBIERR_NOSUCHTABLE);
  if (rc == DBIERR_NOSUCHTABLE) {
    // A missing folder is a path not found, a missing file in a folder a table not found.
    std::size_t slash = path.rfind('/');
    if (slash != std::string::npos && slash > 0 && !platform::DirectoryExists(path.substr(0, slash)))
      rc = DBIERR_NOSUCHPATH;
  }
  if (rc != DBIERR_NONE) return rc;
  network_ = OnNetworkFs(path);
  off_t size = 0;
  rc = FileSize(fd, &size);
  std::vector<std::uint8_t> head;
  if (rc == DBIERR_NONE) {
    if (size < static_cast<off_t>(dbf_header::kSize)) {
      rc = DBIERR_HEADERCORRUPT;
    } else {
      std::uint8_t first[dbf_header::kSize];
      rc = ReadAt(fd, first, sizeof first, 0);
      std::size_t headerLength = Get16(&first[dbf_header::kHeaderLength]);
      if (rc == DBIERR_NONE) {
        if (headerLength < dbf_header::kSize + dbf_field::kSize + 1 || static_cast<off_t>(headerLength) > size) {
          rc = DBIERR_HEADERCORRUPT;
        } else {
          head.resize(headerLength);
          rc = ReadAt(fd, head.data(), headerLength, 0);
          if (rc == DBIERR_FILECORRUPT) rc = DBIERR_HEADERCORRUPT;
        }
      }
    }
  }
  // The size is taken again after the header: another station's append writes its record
  // before its count, so a count read first never runs past a size read after it.
  if (rc == DBIERR_NONE) rc = FileSize(fd, &size);
  if (rc == DBIERR_NONE) rc = ParseHeader(head.data(), head.size(), size);
  if (rc == DBIERR_NONE) rc = CheckRecordMarks(fd, Get32(&head[dbf_header::kRecordCount]));
  if (rc != DBIERR_NONE) {
    ::close(fd);
    fields_.clear();
    return rc;
  }
  fd_ = fd;
  writable_ = writable;
  path_ = path;
  struct stat st {};
  identityKnown_ = ::fstat(fd, &st) == 0;
  dev_ = identityKnown_ ? static_cast<std::uint64_t>(st.st_dev) : 0;
  ino_ = identityKnown_ ? static_cast<std::uint64_t>(st.st_ino) : 0;
  return DBIERR_NONE;
}

DBIResult DbfFile::ParseHeader(const std::uint8_t* head, std::size_t size, off_t fileSize) {
  version_ = head[dbf_header::kVersion];
  headerLength_ = Get16(&head[dbf_header::kHeaderLength]);
  recordLength_ = Get16(&head[dbf_header::kRecordLength]);
  mdxFlag_ = head[dbf_header::kProductionIndex] != 0;
  languageDriver_ = head[dbf_header::kLanguageDriver];
  if (recordLength_ < 2) return DBIERR_HEADERCORRUPT;
  fields_.clear();
  std::size_t offset = 1;
  std::size_t pos = dbf_header::kSize;
  for (; pos + dbf_field::kSize <= size && head[pos] != kHeaderEnd; pos += dbf_field::kSize) {
    const std::uint8_t* d = head + pos;
    if (fields_.size() >= static_cast<std::size_t>(kMaxFields)) return DBIERR_HEADERCORRUPT;
    DbfField f;
    std::size_t n = 0;
    while (n < dbf_field::kNameLength && d[dbf_field::kName + n] != 0) ++n;
    f.name.assign(reinterpret_cast<const char*>(d + dbf_field::kName), n);
    while (!f.name.empty() && f.name.back() == ' ') f.name.pop_back();
    char type = static_cast<char>(std::toupper(d[dbf_field::kType]));
    // A type the engine does not know means the descriptors are not what they seem:
    // reading records through them would misplace every field.
    // dBASE's binary and general memo fields are known and read raw ('U').
    if (type == 0 || std::strchr("CNDLMFBG", type) == nullptr) return DBIERR_HEADERCORRUPT;
    f.type = type == 'B' || type == 'G' ? 'U' : type;
    f.width = d[dbf_field::kWidth];
    f.decimals = d[dbf_field::kDecimals];
    if (f.width == 0 || f.name.empty()) return DBIERR_HEADERCORRUPT;
    f.offset = static_cast<std::uint16_t>(offset);
    offset += f.width;
    if (offset > recordLength_) return DBIERR_HEADERCORRUPT;
    fields_.push_back(std::move(f));
  }
  if (fields_.empty()) return DBIERR_HEADERCORRUPT;
  // The terminator closes the descriptors, only padding follows it up to the header
  // length, and the record is the delete mark and the fields: a header length or a
  // record length that is off would read every record misaligned.
  if (pos >= size || head[pos] != kHeaderEnd || offset != recordLength_) return DBIERR_HEADERCORRUPT;
  for (std::size_t i = pos + 1; i < size; ++i)
    if (head[i] != 0) return DBIERR_HEADERCORRUPT;
  // An append writes its record before the count: a count beyond the file is damage.
  const std::uint32_t count = Get32(&head[dbf_header::kRecordCount]);
  const off_t end = static_cast<off_t>(headerLength_) + static_cast<off_t>(count) * recordLength_;
  if (end > fileSize) return DBIERR_FILECORRUPT;
  return DBIERR_NONE;
}

// The first and the last counted record begin with a delete mark.
DBIResult DbfFile::CheckRecordMarks(int fd, std::uint32_t count) const {
  for (std::uint32_t n : {1u, count}) {
    if (n == 0 || n > count) continue;
    std::uint8_t mark = 0;
    DBIResult rc = ReadAt(fd, &mark, 1, RecordOffset(n));
    if (rc != DBIERR_NONE) return rc;
    if (mark != ' ' && mark != '*') return DBIERR_FILECORRUPT;
  }
  return DBIERR_NONE;
}

DBIResult DbfFile::ReadCount(std::uint32_t* count) {
  *count = 0;
  std::uint32_t stored = 0;
  DBIResult rc = ReadStoredCount(&stored);
  if (rc != DBIERR_NONE) return rc;
  off_t size = 0;
  rc = FileSize(fd_, &size);
  if (rc != DBIERR_NONE) return rc;
  off_t room = size > headerLength_ ? (size - headerLength_) / recordLength_ : 0;
  // Records are written before the count is raised, so a count past the records on
  // disk was not left by an append: the file was cut or its header damaged.
  if (static_cast<off_t>(stored) > room) return DBIERR_FILECORRUPT;
  *count = stored;
  return DBIERR_NONE;
}

DBIResult DbfFile::ReadStoredCount(std::uint32_t* count) {
  ReadRefresh fresh(fd_, network_);
  std::uint8_t head[4];
  DBIResult rc = ReadAt(fd_, head, sizeof head, dbf_header::kRecordCount);
  *count = rc == DBIERR_NONE ? Get32(head) : 0;
  return rc;
}

DBIResult DbfFile::ReadRecord(std::uint32_t n, std::uint8_t* buf) const {
  if (n == 0) return DBIERR_INVALIDPARAM;
  off_t at = RecordOffset(n);
  if (network_) {
    ReadRefresh fresh(fd_, true);
    return ReadAt(fd_, buf, recordLength_, at);
  }
  if (const std::uint8_t* p = Window(at, recordLength_)) {
    std::memcpy(buf, p, recordLength_);
    return DBIERR_NONE;
  }
  return ReadAt(fd_, buf, recordLength_, at);
}

DBIResult DbfFile::ReadRecords(std::uint32_t n, std::uint32_t count, std::uint8_t* buf) const {
  if (n == 0) return DBIERR_INVALIDPARAM;
  ReadRefresh fresh(fd_, network_);
  return ReadAt(fd_, buf, static_cast<std::size_t>(count) * recordLength_, RecordOffset(n));
}

DBIResult DbfFile::RecordsAt(std::uint32_t n, std::uint32_t count, std::vector<std::uint8_t>& scratch,
                             const std::uint8_t** records) const {
  if (n == 0) return DBIERR_INVALIDPARAM;
  const std::size_t length = static_cast<std::size_t>(count) * recordLength_;
  if (!network_)
    if (const std::uint8_t* p = Window(RecordOffset(n), length)) {
      *records = p;
      return DBIERR_NONE;
    }
  scratch.resize(length);
  *records = scratch.data();
  return ReadRecords(n, count, scratch.data());
}

void DbfFile::ReleaseRecords(std::uint32_t n, std::uint32_t count) const {
  if (map_ == nullptr || n == 0 || count == 0) return;
  const auto page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
  std::size_t from = static_cast<std::size_t>(RecordOffset(n));
  std::size_t to = std::min(static_cast<std::size_t>(RecordOffset(n + count)), mapLength_);
  from = (from + page - 1) / page * page;
  to = to / page * page;
  if (to > from) ::madvise(const_cast<std::uint8_t*>(map_) + from, to - from, MADV_DONTNEED);
}

DBIResult DbfFile::WriteRecord(std::uint32_t n, const std::uint8_t* buf) {
  if (n == 0) return DBIERR_INVALIDPARAM;
  if (!writable_) return DBIERR_OSACCESS;
  return WriteAt(fd_, buf, recordLength_, RecordOffset(n));
}

DBIResult DbfFile::WriteRecords(std::uint32_t n, std::uint32_t count, const std::uint8_t* buf) {
  if (n == 0) return DBIERR_INVALIDPARAM;
  if (!writable_) return DBIERR_OSACCESS;
  return WriteAt(fd_, buf, static_cast<std::size_t>(count) * recordLength_, RecordOffset(n));
}

DBIResult DbfFile::WriteDeleteMark(std::uint32_t n, std::uint8_t mark) {
  if (n == 0) return DBIERR_INVALIDPARAM;
  if (!writable_) return DBIERR_OSACCESS;
  return WriteAt(fd_, &mark, 1, RecordOffset(n));
}

DBIResult DbfFile::WriteAppended(std::uint32_t n, const std::uint8_t* buf) {
  if (n == 0) return DBIERR_INVALIDPARAM;
  if (!writable_) return DBIERR_OSACCESS;
  // Record and end-of-file mark in one write; small records go through a stack buffer.
  std::uint8_t local[1024];
  std::vector<std::uint8_t> big;
  std::uint8_t* out = local;
  if (recordLength_ + 1u > sizeof local) {
    big.resize(recordLength_ + 1u);
    out = big.data();
  }
  std::memcpy(out, buf, recordLength_);
  out[recordLength_] = kFileEnd;
  return WriteAt(fd_, out, recordLength_ + 1u, RecordOffset(n));
}

DBIResult DbfFile::WriteAppendedRecords(std::uint32_t n, std::uint32_t count, const std::uint8_t* buf) {
  if (n == 0) return DBIERR_INVALIDPARAM;
  if (!writable_) return DBIERR_OSACCESS;
  const std::size_t size = static_cast<std::size_t>(count) * recordLength_;
  std::vector<std::uint8_t> out(size + 1);
  std::memcpy(out.data(), buf, size);
  out[size] = kFileEnd;
  return WriteAt(fd_, out.data(), out.size(), RecordOffset(n));
}

DBIResult DbfFile::WriteCount(std::uint32_t count) {
  if (!writable_) return DBIERR_OSACCESS;
  // Date and count lie side by side: one write.
  static_assert(dbf_header::kRecordCount == dbf_header::kLastUpdate + 3);
  std::uint8_t head[7];
  Today(head);
  Put32(&head[3], count);
  return WriteAt(fd_, head, sizeof head, dbf_header::kLastUpdate);
}

DBIResult DbfFile::StampLastUpdate() {
  if (!writable_) return DBIERR_OSACCESS;
  std::uint8_t today[3];
  Today(today);
  if (std::memcmp(today, stamped_, 3) == 0) return DBIERR_NONE;
  DBIResult rc = WriteAt(fd_, today, 3, dbf_header::kLastUpdate);
  if (rc == DBIERR_NONE) std::memcpy(stamped_, today, 3);
  return rc;
}

DBIResult DbfFile::WriteProductionIndexFlag(bool on) {
  if (!writable_) return DBIERR_OSACCESS;
  std::uint8_t flag = on ? 1 : 0;
  DBIResult rc = WriteAt(fd_, &flag, 1, dbf_header::kProductionIndex);
  if (rc == DBIERR_NONE) mdxFlag_ = on;
  return rc;
}

DBIResult DbfFile::TruncateTo(std::uint32_t count) {
  if (!writable_) return DBIERR_OSACCESS;
  off_t end = static_cast<off_t>(headerLength_) + static_cast<off_t>(count) * recordLength_;
  Unmap();
  DBIResult rc = WriteCount(count);
  if (rc != DBIERR_NONE) return rc;
  rc = TruncateFile(fd_, end + 1);
  if (rc != DBIERR_NONE) return rc;
  std::uint8_t mark = kFileEnd;
  return WriteAt(fd_, &mark, 1, end);
}

DBIResult DbfFile::UncountedRecords(std::uint32_t* whole, std::uint32_t least) {
  *whole = 0;
  std::uint32_t count = 0;
  DBIResult rc = ReadStoredCount(&count);
  off_t size = 0;
  if (rc == DBIERR_NONE) rc = FileSize(fd_, &size);
  if (rc != DBIERR_NONE) return rc;
  const off_t end = static_cast<off_t>(headerLength_) + static_cast<off_t>(count) * recordLength_;
  // A count past the end of the file is other damage, left to the header checks.
  if (size <= end) return DBIERR_NONE;
  const off_t records = (size - end) / recordLength_;
  if (records < static_cast<off_t>(std::max<std::uint32_t>(least, 1))) return DBIERR_NONE;
  // Every one of them begins with a delete mark, read block by block.
  constexpr std::uint32_t kBlock = 256;
  std::vector<std::uint8_t> buf;
  for (off_t done = 0; done < records;) {
    const std::uint32_t n = static_cast<std::uint32_t>(std::min<off_t>(kBlock, records - done));
    buf.resize(static_cast<std::size_t>(n) * recordLength_);
    rc = ReadAt(fd_, buf.data(), buf.size(), end + done * recordLength_);
    if (rc != DBIERR_NONE) return rc;
    for (std::uint32_t i = 0; i < n; ++i) {
      const std::uint8_t mark = buf[static_cast<std::size_t>(i) * recordLength_];
      if (mark != ' ' && mark != '*') return DBIERR_FILECORRUPT;
    }
    done += n;
  }
  if (static_cast<off_t>(count) + records > static_cast<off_t>(std::numeric_limits<std::uint32_t>::max()))
    return DBIERR_FILECORRUPT;
  *whole = static_cast<std::uint32_t>(records);
  return DBIERR_NONE;
}

DBIResult DbfFile::CutPastCount(bool appendKilled, std::uint32_t least) {
  std::uint32_t count = 0;
  DBIResult rc = ReadStoredCount(&count);
  off_t size = 0;
  if (rc == DBIERR_NONE) rc = FileSize(fd_, &size);
  if (rc != DBIERR_NONE) return rc;
  std::uint32_t whole = 0;
  if (!appendKilled) rc = UncountedRecords(&whole, least);
  if (rc != DBIERR_NONE) return rc;
  // Whole records counted once are never cut: they are counted in again.
  if (whole > 0) return TruncateTo(count + whole);
  const off_t end = static_cast<off_t>(headerLength_) + static_cast<off_t>(count) * recordLength_;
  // A count past the end of the file is other damage, left to the header checks.
  return size > end + 1 ? TruncateTo(count) : DBIERR_NONE;
}

void DbfFile::BlankRecord(std::uint8_t* buf) const { std::memset(buf, ' ', recordLength_); }

}  // namespace dbase
