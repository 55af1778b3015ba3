#include "table_create.h"

#include <cstring>
#include <vector>

#include "data/index_defs.h"
#include "data/session.h"
#include "data/table.h"
#include "data/table_internal.h"
#include "data/table_results.h"
#include "platform/dbase/idapi.h"

namespace {

// Folder as given, file name in lower case, ".dbf" at the end.
std::string CreatedPath(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  const std::size_t start = slash == std::string::npos ? 0 : slash + 1;
  std::string out = path;
  for (std::size_t i = start; i < out.size(); ++i)
    if (out[i] >= 'A' && out[i] <= 'Z') out[i] = static_cast<char>(out[i] - 'A' + 'a');
  if (out.size() < start + 4 || out.compare(out.size() - 4, 4, ".dbf") != 0) out += ".dbf";
  return out;
}

}  // namespace

std::uint16_t CreateTableOfKind(TableKind kind, const std::string& path, bool replace) {
  const TableStructure& structure = StructureOf(kind);
  if (structure.fields.empty() || path.empty()) return dbase::DBIERR_INVALIDPARAM;
  const std::string file = CreatedPath(path);
  // Made anew over a table of the books that stands, the table is emptied: a permit must cover it.
  if (replace && tablelayer::BooksFileReplaceRefused(file, false)) return kResultBooksWriteRefused;

  std::vector<dbase::FLDCreate> fields(structure.fields.size());
  for (std::size_t i = 0; i < fields.size(); ++i) {
    const FieldDef& def = structure.fields[i];
    const std::size_t n = def.name.size() < sizeof fields[i].szName - 1 ? def.name.size() : sizeof fields[i].szName - 1;
    std::memcpy(fields[i].szName, def.name.data(), n);
    fields[i].cType = def.type;
    fields[i].iWidth = static_cast<std::uint16_t>(def.width);
    fields[i].iDecimals = static_cast<std::uint16_t>(def.decimals);
  }
  dbase::DBIResult rc = dbase::DbiCreateTable(DbHandle, file.c_str(), static_cast<std::uint16_t>(fields.size()),
                                              fields.data(), replace);
  if (rc != dbase::DBIERR_NONE || structure.tags.empty()) return rc;

  // The production index is made by the first tag, on the table opened exclusively.
  Table table;
  if (!table.OpenExclusive(file)) return table.result;
  const bool built = BuildIndexesOf(table, kind);
  rc = built ? dbase::DBIERR_NONE : table.result;
  if (!built && rc == dbase::DBIERR_NONE) rc = dbase::DBIERR_INVALIDPARAM;
  if (!table.CloseTable(true) && rc == dbase::DBIERR_NONE) rc = table.result;
  return rc;
}
