#include "support/access_rights.h"

#include <cstdlib>
#include <string>

#include "resources/string_table.h"
#include "runtime/dossier_record.h"

namespace test_support {

namespace {

constexpr int kFirstRightsRow = 9001;  // the access-rights row of function 1; function N's is the Nth

}  // namespace

void RefuseAccessRight(int function, int right) { RefuseAccessRight(TheDossierRecord, function, right); }

void RefuseAccessRight(DossierRecord& record, int function, int right) {
  const std::string row = LoadStr(kFirstRightsRow + function - 1);
  const int start = std::atoi(row.substr(0, 3).c_str()) + (right - 1) / 4;
  const int mask = 1 << ((right - 1) % 4);
  const std::string& rights = record.Text();
  const std::size_t at = static_cast<std::size_t>(DossierRecord::kRightsPos - 2 + start);
  if (at >= rights.size()) return;
  unsigned char c = static_cast<unsigned char>(rights[at]);
  if (c >= 'A' && c <= 'F') c = static_cast<unsigned char>(c - 7);
  if (c >= 'a' && c <= 'f') c = static_cast<unsigned char>(c - 39);
  const int bits = c == ' ' || c == '\0' ? 15 : (c & 15);
  record.Text()[at] = static_cast<char>('0' + (bits & ~mask));
}

}  // namespace test_support
