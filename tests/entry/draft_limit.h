// A draft brought to its record limit without writing 999,999 records: the limit the entry core applies is
// lowered to the draft's present record count (plus some room) for the life of a guard, and the bytes of the
// dossier's tables are kept to show that a refusal wrote nothing.
#pragma once

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>

#include "data/dossier_files.h"
#include "data/entry_lines.h"
#include "data/table.h"
#include "posting/new_lines.h"

namespace entry_test {

class DraftLimitGuard {
 public:
  explicit DraftLimitGuard(std::uint32_t room = 0) {
    Table c50;
    if (c50.OpenShared(PathC50(), LigneEcriture::kCodeTag, true)) posting::DraftRecordLimit = c50.RecCount() + room;
  }
  ~DraftLimitGuard() { posting::DraftRecordLimit = posting::kMostDraftRecords; }
  DraftLimitGuard(const DraftLimitGuard&) = delete;
  DraftLimitGuard& operator=(const DraftLimitGuard&) = delete;
};

// Every data, index and memo file of the dossier's folder, by name.
inline std::map<std::string, std::string> TableBytes(const std::string& folder) {
  std::map<std::string, std::string> files;
  for (const auto& e : std::filesystem::directory_iterator(folder)) {
    const std::string ext = e.path().extension().string();
    if (ext == ".dbf" || ext == ".mdx" || ext == ".dbt")
    {
      std::ifstream in(e.path(), std::ios::binary);
      files[e.path().filename().string()].assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
  }
  return files;
}

}  // namespace entry_test
