// dBASE memo file (.dbt). dBASE IV blocks start with FF FF 08 00 and the stored length (which
// counts those 8 bytes); dBASE III memos have no block header and end at a 0x1A byte. New files
// use the dBASE IV layout with 512-byte blocks. Block numbers and lengths are checked against
// the file size, so a damaged reference gives DBIERR_MEMOCORRUPT and never a wild read.
#pragma once

#include "engine_users.h"

#include <cstdint>
#include <string>
#include <vector>

#include "dbierr.h"

namespace dbase {

constexpr std::uint16_t kDefaultMemoBlock = 512;

class DbtFile {
 public:
  DbtFile() = default;
  DbtFile(const DbtFile&) = delete;
  DbtFile& operator=(const DbtFile&) = delete;
  ~DbtFile();

  // Creates an empty memo file; `tableName` (the data file's name without folder or extension)
  // goes into the header as dBASE does.
  static DBIResult Create(const std::string& path, const std::string& tableName,
                          std::uint16_t blockSize = kDefaultMemoBlock);

  // `dbase3` says the table is dBASE III, whose memo writes keep the dBASE III layout.
  DBIResult Open(const std::string& path, bool write, bool dbase3);
  void Close();
  bool IsOpen() const { return fd_ >= 0; }
  std::uint16_t blockSize() const { return blockSize_; }

  // Text of the memo at `block` (block 0 = no memo: empty text).
  DBIResult Read(std::uint32_t block, std::string* text) const;
  // Writes a memo; reuses the blocks of `oldBlock` when the text fits there, else appends.
  // An empty text gives block 0 (no memo). Serialised between processes on the file's lock byte.
  // With `overwritten`, a rewrite in place first keeps there the bytes it writes over (none kept:
  // nothing was written over), for PutBack.
  DBIResult Write(std::uint32_t oldBlock, const std::string& text, std::uint32_t* newBlock,
                  std::vector<std::uint8_t>* overwritten = nullptr);
  // Writes back at `block` the bytes a rewrite in place wrote over.
  DBIResult PutBack(std::uint32_t block, const std::vector<std::uint8_t>& overwritten);

  // Memo block number of a record's 10-character memo field: blanks = 0; anything but digits
  // and blanks is a damaged reference.
  static DBIResult ParseReference(const std::uint8_t* field, std::size_t width, std::uint32_t* block);
  static void FormatReference(std::uint32_t block, std::uint8_t* field, std::size_t width);

 private:
  DBIResult Append(const std::string& text, std::uint32_t* block);
  std::size_t BlocksFor(std::size_t length) const;

  int fd_ = -1;
  std::string path_;
  bool network_ = false;  // reads take kReadRefreshByte first (fileio.h)
  bool writable_ = false;
  bool dbase3_ = false;
  std::uint16_t blockSize_ = kDefaultMemoBlock;
};

}  // namespace dbase
