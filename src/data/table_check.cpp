#include "table_check.h"

#include "platform/dbase/idapi.h"
#include "platform/system/files.h"
#include "session.h"
#include "table_internal.h"

std::string DamagedTableFile(const std::string& base) {
  const std::string dbf = platform::ResolvePath(base + ".dbf");
  dbase::hDBICur cursor = nullptr;
  // The data file is checked, then the memo file, then the index: a failure on the index
  // means the two others opened.
  const dbase::DBIResult rc =
      dbase::DbiOpenTable(DbHandle, dbf.c_str(), "DBASE", "", "", 0, dbase::dbiREADONLY, dbase::dbiOPENSHARED,
                          dbase::xltFIELD, false, nullptr, &cursor);
  if (cursor != nullptr) dbase::DbiCloseCursor(&cursor);
  switch (rc) {
    case dbase::DBIERR_HEADERCORRUPT:
    case dbase::DBIERR_FILECORRUPT:
      return dbf;
    case dbase::DBIERR_MEMOCORRUPT:
      return platform::ResolvePath(base + ".dbt");
    default:
      break;
  }
  // Records past the count that no killed append left there, one without its delete mark.
  std::uint32_t whole = 0;
  if (dbase::DbiGetUncountedRecords(dbf.c_str(), &whole) == dbase::DBIERR_FILECORRUPT)
    return dbf;
  return "";
}

std::uint32_t UncountedRecords(const std::string& base) {
  std::uint32_t whole = 0;
  const std::string dbf = platform::ResolvePath(base + ".dbf");
  return dbase::DbiGetUncountedRecords(dbf.c_str(), &whole) == dbase::DBIERR_NONE ? whole : 0;
}
