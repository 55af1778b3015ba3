#include "reports/balances/core/export_text.h"

#include "platform/system/code_pages.h"
#include "platform/system/cp1252.h"

namespace balances {

namespace {

// Capitals with an accent and their plain letter (codes 215, 216, 222 and 223 stay).
char Fold(unsigned char c) {
  if (c >= 192 && c <= 198) return 'A';
  if (c == 199) return 'C';
  if (c >= 200 && c <= 203) return 'E';
  if (c >= 204 && c <= 207) return 'I';
  if (c == 208) return 'D';
  if (c == 209) return 'N';
  if (c >= 210 && c <= 214) return 'O';
  if (c >= 217 && c <= 220) return 'U';
  if (c == 221) return 'Y';
  return static_cast<char>(c);
}

}  // namespace

std::string ConvertExportText(const std::string& text, char mode) {
  std::string out = text;
  if (mode == 'N') return out;
  for (char& c : out) {
    const auto b = static_cast<unsigned char>(c);
    if (mode == 'O')
      c = static_cast<char>(platform::Cp1252ToCp850(b));
    else
      c = Fold(platform::Cp1252Upper(b));
  }
  return out;
}

}  // namespace balances
