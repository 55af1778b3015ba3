#include "index_recovery.h"

#include <cctype>
#include <string>

#include "data/dossier_files.h"
#include "data/index_defs.h"
#include "data/session.h"
#include "data/table_internal.h"
#include "platform/dbase/fileio.h"
#include "platform/dbase/mdx.h"
#include "platform/system/cp1252.h"
#include "platform/system/files.h"
#include "resources/string_table.h"
#include "runtime/runtime_hooks.h"
#include "runtime/text.h"

namespace {

// The mouse cursor of index work, by its id in the string table.
constexpr int kCursorIndexWork = 538;

constexpr char kReferenceSetLetter = 'S';  // "CESETATS", the set missing sets are copied from

std::string FileNameOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
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

bool EnsureReportTable(Table& table, char letter, bool dropIndex) {
  table.CloseTable(true);
  const std::string base = PathReportDefs(letter);
  const std::string dbf = base + ".dbf";

  // A missing set is copied from the reference set.
  if (!platform::FileExists(platform::ResolvePath(dbf))) {
    SetTableCursor(LoadStr(kCursorIndexWork));
    bool copied = table.OpenExclusive(PathReportDefs(kReferenceSetLetter), "", true);
    if (copied) copied = table.CopyTable(base.c_str());
    table.CloseTable(true);
    SetTableCursor("");
    if (!copied) return false;
    if (!platform::FileExists(platform::ResolvePath(dbf))) return false;
  }

  // The index file is kept when it is this table's own; one that cannot be dropped (the
  // set is open elsewhere) leaves the set as it is, unusable here.
  const std::string mdx = platform::ResolvePath(base + ".mdx");
  if (platform::FileExists(mdx)) {
    if (!dropIndex && MdxHeaderMatchesName(mdx.c_str())) return true;
    if (dbase::DbiDropProductionIndex(base.c_str()) != dbase::DBIERR_NONE) return false;
  } else if (dbase::DbiSetProductionIndexFlag(base.c_str(), false) != dbase::DBIERR_NONE) {
    // Without its index file the data file must not claim one.
    return false;
  }

  // Pack, then the tag anew.
  RuntimeBeep();
  SetTableCursor(LoadStr(kCursorIndexWork));
  bool ok = table.OpenExclusive(base);
  if (ok) ok = table.Pack();
  table.CloseTable();
  if (ok) ok = table.OpenExclusive(base);
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
  // The look-up sets the order and the key; its answer is not wanted: the count is read from the
  // index's pages, which give 0 when they cannot be read.
  table.Find(tagName, key == nullptr ? "" : key);
  if (!table.isOpen) return 0;
  const std::string keyText = PathBuffer;
  const std::string mdxPath =
      table.indexPath.empty() ? dbase::WithExtension(table.tablePath, ".mdx") : table.indexPath;

  std::uint16_t seqNo = 0;
  table.result = dbase::DbiGetIndexSeqNo(table.Engine().cursor, "", tagName.c_str(), 0, &seqNo);
  if (table.result != dbase::DBIERR_NONE) return 0;
  dbase::IDXDesc desc;
  table.result = dbase::DbiGetIndexDesc(table.Engine().cursor, seqNo, &desc);
  if (table.result != dbase::DBIERR_NONE || desc.iKeyLen == 0) return 0;

  table.recordNumber = 0;
  std::uint32_t recno = 0;
  const std::uint32_t n =
      dbase::CountTagEntries(platform::ResolvePath(mdxPath), seqNo, mode, keyText, &recno);
  // One not read leaves the table on no record (recordNumber 0); the count stands.
  if (recno != 0) table.GoToRecord(static_cast<long>(recno));
  return n;
}
