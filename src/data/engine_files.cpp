#include "data/engine_files.h"

#include "data/table_internal.h"
#include "platform/dbase/idapi.h"

bool ClearProductionIndexFlag(const std::string& dataPath) {
  return dbase::DbiSetProductionIndexFlag(dataPath.c_str(), false) == dbase::DBIERR_NONE;
}

bool DropProductionIndex(const std::string& dataPath) {
  return dbase::DbiDropProductionIndex(dataPath.c_str()) == dbase::DBIERR_NONE;
}

bool TableFieldNames(const std::string& dataPath, std::vector<std::string>* names) {
  return dbase::DbiGetTableFieldNames(dataPath.c_str(), names) == dbase::DBIERR_NONE;
}

bool PackLeftoversUnknown(const std::string& dataPath) {
  return dbase::DbiCheckPackLeftovers(dataPath.c_str()) == dbase::DBIERR_PACKUNKNOWN;
}

std::vector<std::string> PackLeftoverFiles(const std::string& dataPath) {
  std::vector<std::string> files;
  dbase::DbiGetPackLeftoverFiles(dataPath.c_str(), &files);
  return files;
}

std::uint16_t RepairInterruptedIndex(const std::string& dataPath, bool* repaired) {
  return dbase::DbiRepairInterruptedIndex(dataPath.c_str(), repaired);
}

std::uint16_t RepairInterruptedIndex(const Table& table, bool* repaired) {
  return dbase::DbiRepairCursorIndex(table.Engine().cursor, repaired);
}

std::uint16_t TryOpenTable(const std::string& dataPath) {
  dbase::hDBICur cur = nullptr;
  const dbase::DBIResult rc = dbase::DbiOpenTable(nullptr, dataPath.c_str(), "DBASE", nullptr, nullptr, 0,
                                                  dbase::dbiREADONLY, dbase::dbiOPENSHARED, dbase::xltFIELD, false,
                                                  nullptr, &cur);
  if (cur != nullptr) dbase::DbiCloseCursor(&cur);
  return rc;
}

std::uint16_t DeleteRecords(Table& table, const std::vector<std::uint32_t>& recnos) {
  if (tablelayer::BooksWriteRefused(table, BooksWrite::Delete)) return table.result;
  return dbase::DbiDeleteRecords(table.Engine().cursor, static_cast<std::uint32_t>(recnos.size()), recnos.data());
}
