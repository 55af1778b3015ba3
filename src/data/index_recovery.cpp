#include "index_recovery.h"

#include <fcntl.h>
#include <unistd.h>

#include <cctype>
#include <string>

#include "data/dossier_files.h"
#include "data/index_defs.h"
#include "data/session.h"
#include "platform/dbase/fileio.h"
#include "platform/dbase/mdx.h"
#include "platform/system/cp1252.h"
#include "platform/system/files.h"
#include "runtime/runtime_hooks.h"
#include "runtime/xbase.h"

namespace {

constexpr int kHeaderBytes = 29;        // dBASE header bytes read and written back
constexpr int kIndexFlagByte = 28;      // production-index flag
constexpr char kReferenceSetLetter = 'S';  // "CESETATS", the set missing sets are copied from

std::string LowerAscii(std::string text) {
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return text;
}

std::string FileNameOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool CanOpenForReading(const std::string& path) {
  const int fd = ::open(platform::DiskPath(path).c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  ::close(fd);
  return true;
}

}  // namespace

bool MdxHeaderMatchesName(const char* mdxPath) {
  if (mdxPath == nullptr || *mdxPath == 0) return false;
  const std::string path = platform::ResolvePath(mdxPath);
  std::string name;
  if (!dbase::ReadMdxTableName(path, &name) || name.empty()) return false;
  // Files copied from other systems keep upper-case names while the header may hold either
  // case: the comparison ignores case so a sound file is not rebuilt at every opening.
  return LowerAscii(FileNameOf(mdxPath)) == LowerAscii(name) + ".mdx";
}

bool ClearMdxFlag(int fileHandle) {
  if (fileHandle < 0) return false;
  unsigned char header[kHeaderBytes];
  bool ok = ::pread(fileHandle, header, kHeaderBytes, 0) == kHeaderBytes;
  if (ok) {
    header[kIndexFlagByte] = 0;
    ok = ::pwrite(fileHandle, header, kHeaderBytes, 0) == kHeaderBytes;
  }
  ::close(fileHandle);
  return ok;
}

bool EnsureReportTable(Table& table, char letter, bool dropIndex) {
  table.CloseTable(true);
  const std::string base = PathReportDefs(letter);
  const std::string dbf = base + ".dbf";

  // A missing set is copied from the reference set.
  if (!CanOpenForReading(platform::ResolvePath(dbf))) {
    SetTableCursor(LoadStr(538));
    bool copied = table.OpenExclusive(PathReportDefs(kReferenceSetLetter), "", true);
    if (copied) copied = table.CopyTable(base.c_str());
    table.CloseTable(true);
    SetTableCursor("");
    if (!copied) return false;
    if (!CanOpenForReading(platform::ResolvePath(dbf))) return false;
  }

  // The index file: kept when it is this table's own.
  const std::string mdx = platform::ResolvePath(base + ".mdx");
  if (platform::FileExists(mdx) && (dropIndex || !MdxHeaderMatchesName(mdx.c_str()))) platform::RemoveFile(mdx);
  if (platform::FileExists(mdx)) return true;

  // Without its index file the data file must not claim one.
  const int fd = ::open(platform::DiskPath(platform::ResolvePath(dbf)).c_str(), O_RDWR | O_CLOEXEC);
  if (fd < 0 || !ClearMdxFlag(fd)) return false;

  // Pack, then the tag anew.
  RuntimeBeep();
  SetTableCursor(LoadStr(538));
  bool ok = table.OpenExclusive(base);
  if (ok) ok = table.Pack();
  table.CloseTable(false);
  if (ok) ok = table.OpenTable(base);
  if (ok) ok = BuildIndexesCE(table);
  table.CloseTable(true);
  SetTableCursor("");
  return ok;
}

bool EnsureReportTableCE0(char letter, bool dropIndex) {
  return TableCE0 != nullptr && EnsureReportTable(*TableCE0, letter, dropIndex);
}

bool EnsureReportTableCE1(char letter, bool dropIndex) {
  return TableCE1 != nullptr && EnsureReportTable(*TableCE1, letter, dropIndex);
}

std::uint32_t CountIndexEntries(Table& table, const char* tag, int mode, const char* key) {
  if (mode != 1 && mode != 2) return 0;
  const std::string tagName = tag == nullptr ? "" : tag;
  table.Seek(tagName, key == nullptr ? "" : key);
  if (!table.isOpen) return 0;
  const std::string keyText = PathBuffer;
  const std::string mdxPath =
      table.indexPath.empty() ? dbase::WithExtension(table.tablePath, ".mdx") : table.indexPath;

  std::uint16_t seqNo = 0;
  table.result = dbase::DbiGetIndexSeqNo(table.cursor, "", tagName.c_str(), 0, &seqNo);
  if (table.result != dbase::DBIERR_NONE) return 0;
  dbase::IDXDesc desc;
  table.result = dbase::DbiGetIndexDesc(table.cursor, seqNo, &desc);
  if (table.result != dbase::DBIERR_NONE || desc.iKeyLen == 0) return 0;

  table.recordNumber = 0;
  std::uint32_t recno = 0;
  const std::uint32_t n =
      dbase::CountTagEntries(platform::ResolvePath(mdxPath), seqNo, mode, keyText, &recno);
  if (recno != 0) table.GoTo(static_cast<long>(recno));
  return n;
}
