// dBASE data file (.dbf): header, field descriptors and records addressed by physical number.
// Every read and write goes straight to the file (pread/pwrite), so a record written by one
// process is seen by the next read of another. The header record count is written after the
// record of an append, so a count beyond the records on disk is reported as damage.
#pragma once

#include "engine_users.h"

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

#include "dbierr.h"

namespace dbase {

// One field as declared in the file. Offsets count from the delete mark (byte 0).
struct DbfField {
  std::string name;     // upper-case as stored, at most 10 characters
  char type = 'C';      // C, N, D, L, M, F ('U' for dBASE's B and G, read raw)
  std::uint16_t offset = 0;
  std::uint8_t width = 0;
  std::uint8_t decimals = 0;
};

// What a new table is made of.
struct DbfFieldSpec {
  std::string name;
  char type = 'C';
  int width = 0;        // ignored for D (8), L (1) and M (10)
  int decimals = 0;
};

constexpr std::uint8_t kLanguageDriverAnsi = 0x57;  // Windows ANSI (cp1252)
constexpr std::uint8_t kDbfVersionPlain = 0x03;
constexpr std::uint8_t kDbfVersionMemo4 = 0x8B;     // dBASE IV with memo
constexpr std::uint8_t kDbfVersionMemo3 = 0x83;     // dBASE III with memo

class DbfFile {
 public:
  DbfFile() = default;
  DbfFile(const DbfFile&) = delete;
  DbfFile& operator=(const DbfFile&) = delete;
  ~DbfFile();

  // Creates a new table file (replacing one of that name). Checks names, types and widths.
  static DBIResult Create(const std::string& path, const std::vector<DbfFieldSpec>& fields,
                          bool productionIndex, std::uint8_t languageDriver = kLanguageDriverAnsi);

  // Creates an empty table file with the header of an open one, byte for byte (count 0).
  static DBIResult CreateLike(const DbfFile& model, const std::string& path);
  // Takes over another object's open file (and its locks); the other is left closed.
  void TakeOver(DbfFile& other);

  // Opens and checks the header; `write` asks for write access (given when the file allows).
  DBIResult Open(const std::string& path, bool write);
  void Close();
  bool IsOpen() const { return fd_ >= 0; }
  int fd() const { return fd_; }
  // True when `other` has the same file open (device and inode, which an open descriptor keeps
  // for its life: taken once when the file is opened).
  bool SameFileAs(const DbfFile& other) const;
  bool writable() const { return writable_; }
  const std::string& path() const { return path_; }

  const std::vector<DbfField>& fields() const { return fields_; }
  std::uint16_t recordLength() const { return recordLength_; }
  std::uint16_t headerLength() const { return headerLength_; }
  std::uint8_t version() const { return version_; }
  std::uint8_t languageDriver() const { return languageDriver_; }
  bool productionIndexFlag() const { return mdxFlag_; }
  bool hasMemo() const;
  // dBASE III memo layout (version 0x83): memo text ended by 0x1A, no block header.
  bool dbase3Memo() const { return version_ == kDbfVersionMemo3; }
  // Field number (1-based) of a name compared case-insensitively over 10 characters; 0 = none.
  int FieldNumber(const std::string& name) const;

  // Record count from the header; DBIERR_FILECORRUPT when the file does not hold them all.
  DBIResult ReadCount(std::uint32_t* count);
  // Record count as the header stores it, unchecked (one read).
  DBIResult ReadStoredCount(std::uint32_t* count);
  // Reads record n (1-based) into buf (recordLength bytes); n must be within the count.
  DBIResult ReadRecord(std::uint32_t n, std::uint8_t* buf) const;
  // Reads `count` consecutive records from n into buf.
  DBIResult ReadRecords(std::uint32_t n, std::uint32_t count, std::uint8_t* buf) const;
  // The `count` consecutive records from n where they lie: inside the file's mapping when
  // there is one (no copy), else read into `scratch`.
  DBIResult RecordsAt(std::uint32_t n, std::uint32_t count, std::vector<std::uint8_t>& scratch,
                      const std::uint8_t** records) const;
  // The pages of the mapping wholly inside those records given back (read again from the
  // file cache when next read): a whole-table walk holds only what it reads now.
  void ReleaseRecords(std::uint32_t n, std::uint32_t count) const;
  DBIResult WriteRecord(std::uint32_t n, const std::uint8_t* buf);
  DBIResult WriteRecords(std::uint32_t n, std::uint32_t count, const std::uint8_t* buf);
  DBIResult WriteDeleteMark(std::uint32_t n, std::uint8_t mark);
  // Writes record n followed by the end-of-file mark (an append before the count is raised).
  DBIResult WriteAppended(std::uint32_t n, const std::uint8_t* buf);
  // `count` records appended from record n, with the end-of-file mark after them, in one write.
  DBIResult WriteAppendedRecords(std::uint32_t n, std::uint32_t count, const std::uint8_t* buf);
  // Writes the record count and the date of last update in the header.
  DBIResult WriteCount(std::uint32_t count);
  // Writes today's date as the date of last update (a change that leaves the count);
  // written once a day per object.
  DBIResult StampLastUpdate();
  // Sets or clears the production index flag (header byte 28).
  DBIResult WriteProductionIndexFlag(bool on);
  // Cuts the file after `count` records (end-of-file mark included) and writes the count.
  DBIResult TruncateTo(std::uint32_t count);
  // Puts in order what lies past the counted records and their end-of-file mark, table opened
  // exclusively. After an append of ours that was killed before its count (`appendKilled`: its
  // index still marked), that is the append's, and is cut off. Otherwise whole records past
  // the count, at least `least` of them, were counted once (a header count written back too
  // low): they are counted in again, a part of a record after them cut off; one of them
  // without a delete mark is damage (DBIERR_FILECORRUPT, nothing changed). Fewer than `least`
  // are cut off: one record is what a killed append leaves once its index was made again.
  DBIResult CutPastCount(bool appendKilled, std::uint32_t least);
  // The whole records past the count that CutPastCount would count in again (0 when it would
  // cut, or there is nothing past the count).
  DBIResult UncountedRecords(std::uint32_t* whole, std::uint32_t least);

  // A blank record: delete mark blank, every field blank.
  void BlankRecord(std::uint8_t* buf) const;

 private:
  DBIResult ParseHeader(const std::uint8_t* head, std::size_t size, off_t fileSize);
  DBIResult CheckRecordMarks(int fd, std::uint32_t count) const;
  off_t RecordOffset(std::uint32_t n) const {
    return static_cast<off_t>(headerLength_) + static_cast<off_t>(n - 1) * recordLength_;
  }

  // Records are read through a shared read-only mapping of the whole file: the page cache is
  // the file, so a record written by another process is seen by the next read, and a walk in
  // any order costs no system call per record. Only bytes below the file size last seen are
  // touched; files shrink only through pack and empty, which need the table to themselves
  // and unmap first. On a network file system nothing is mapped: every read uses pread.
  const std::uint8_t* Window(off_t at, std::size_t length) const;
  void Unmap() const;

  int fd_ = -1;
  // The open file's identity, taken when it was opened (known: fstat answered).
  bool identityKnown_ = false;
  std::uint64_t dev_ = 0, ino_ = 0;
  bool writable_ = false;
  bool network_ = false;  // never mapped; reads take kReadRefreshByte (fileio.h) first
  std::string path_;
  mutable const std::uint8_t* map_ = nullptr;
  mutable std::size_t mapLength_ = 0;
  mutable off_t mapValid_ = 0;         // file size when last checked: reads stay below it
  std::vector<DbfField> fields_;
  std::uint16_t recordLength_ = 0;
  std::uint16_t headerLength_ = 0;
  std::uint8_t version_ = 0;
  std::uint8_t languageDriver_ = 0;
  bool mdxFlag_ = false;
  std::uint8_t stamped_[3] = {};       // date this object last wrote as the last update
};

}  // namespace dbase
