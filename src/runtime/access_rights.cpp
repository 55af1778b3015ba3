#include "runtime/access_rights.h"

#include <cstring>

#include "platform/system/cp1252.h"
#include "runtime/dossier_record.h"
#include "runtime/session_registry.h"
#include "runtime/xbase.h"

bool PrintRunFlag = false;

namespace {

bool LevelHasEveryRight(char level) {
  if (level == '\0' || level == ' ') return false;
  const char* levels = LoadStr(2678);
  if (*levels == '\0') levels = "01A";
  return std::strchr(levels, level) != nullptr;
}

}  // namespace

bool HasAccessRight(int function, int right) {
  if (PrintRunFlag) return true;
  std::string& record = TheDossierRecord.Text();
  if (DossierIsCurrent()) {
    char level = record.size() >= static_cast<std::size_t>(DossierRecord::kUserLevelPos)
                     ? record[DossierRecord::kUserLevelPos - 1]
                     : ' ';
    if (LevelHasEveryRight(level)) return true;
  }
  if (function == 0) return true;
  if (right < 1 || right > 12) return false;

  const char* row = LoadStr(9000 + function);
  if (function < 0 || *row == '\0') return true;  // no row: nothing restricts the function
  int start = 0;
  for (int i = 0; i < 3 && row[i] >= '0' && row[i] <= '9'; ++i) start = start * 10 + (row[i] - '0');
  start += (right - 1) / 4;
  int mask = 1 << ((right - 1) % 4);

  int position = DossierRecord::kRightsPos - 1 + start;  // 1-based
  if (position < 1 || static_cast<std::size_t>(position) > record.size()) return true;
  char& slot = record[position - 1];
  unsigned char c = platform::Cp1252Upper(static_cast<unsigned char>(slot));
  if (c >= 'A' && c <= 'F') c = static_cast<unsigned char>(c - 7);
  if (c != '\0') slot = static_cast<char>(c);
  if (c == ' ' || c == '\0') return true;
  return (c & mask) != 0;
}
