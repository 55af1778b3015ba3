#include "data/record_fields.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "data/session.h"
#include "data/table.h"
#include "data/table_internal.h"
#include "runtime/numbers.h"

void FieldTextOf(Table& table, int field, const std::uint8_t* record, std::string& out) {
  out.clear();
  if (field < 1 || field > table.FieldCount()) return;
  const dbase::FLDDesc& d = table.Engine().nativeFields[static_cast<std::size_t>(field - 1)];
  const char type = FieldTypeLetter(table.Engine().logicalFields[static_cast<std::size_t>(field - 1)].iFldType);
  const int width = std::max<int>(0, d.iUnits1);
  if (type == 'C') {
    const std::uint8_t* raw = record + d.iOffset;
    const void* zero = std::memchr(raw, 0, static_cast<std::size_t>(width));
    const std::size_t n =
        zero != nullptr ? static_cast<std::size_t>(static_cast<const std::uint8_t*>(zero) - raw) : static_cast<std::size_t>(width);
    out.assign(reinterpret_cast<const char*>(raw), n);
    out.resize(static_cast<std::size_t>(width), ' ');
  } else if (type == 'N') {
    const int shown = std::max(1, width);
    char text[FieldRingBuffers::kRoom + 1];
    const int n = std::snprintf(text, FieldRingBuffers::kRoom, "%*.*f", shown, std::max<int>(0, d.iUnits2),
                                FieldNumberOf(table, field, record));
    if (n < 0 || n > shown) out.assign(static_cast<std::size_t>(shown), '*');
    else out.assign(text, static_cast<std::size_t>(n));
  }
}

std::string FieldTextOf(Table& table, int field, const std::uint8_t* record) {
  std::string out;
  FieldTextOf(table, field, record, out);
  return out;
}

double FieldNumberOf(Table& table, int field, const std::uint8_t* record) {
  double value = 0;
  bool blank = false;
  if (dbase::DbiGetField(table.Engine().cursor, static_cast<std::uint16_t>(field), record, &value, &blank) != dbase::DBIERR_NONE ||
      blank)
    return 0;
  return value;
}

bool CanonicalNumberText(const std::uint8_t* text, int width, int decimals) {
  if (width < 1 || width > 15 || decimals < 0 || (decimals > 0 && decimals + 2 > width)) return false;
  int i = 0;
  while (i < width && text[i] == ' ') ++i;
  bool negative = false;
  if (i < width && text[i] == '-') {
    negative = true;
    ++i;
  }
  const int point = decimals > 0 ? width - decimals - 1 : width;
  if (point - i < 1 || (point < width && text[point] != '.')) return false;
  bool nonZero = false;
  for (int k = i; k < width; ++k) {
    if (k == point) continue;
    if (text[k] < '0' || text[k] > '9') return false;
    if (text[k] != '0') nonZero = true;
  }
  if (text[i] == '0' && point - i > 1) return false;  // a leading zero
  return !(negative && !nonZero);
}

long long FieldCentsOf(Table& table, int field, const std::uint8_t* record) {
  if (field >= 1 && field <= table.FieldCount()) {
    const dbase::FLDDesc& d = table.Engine().nativeFields[static_cast<std::size_t>(field - 1)];
    const std::uint8_t* raw = record + d.iOffset;
    // Two decimals and at most 15 positions: the value read, rounded to the cent, is the digits.
    if (d.iUnits2 == 2 && CanonicalNumberText(raw, d.iUnits1, 2)) {
      long long cents = 0;
      bool negative = false;
      for (int i = 0; i < d.iUnits1; ++i) {
        if (raw[i] == '-') negative = true;
        else if (raw[i] >= '0' && raw[i] <= '9') cents = cents * 10 + (raw[i] - '0');
      }
      return negative ? -cents : cents;
    }
  }
  return ToCents(FieldNumberOf(table, field, record));
}

bool ReadableNumberText(std::string_view text) {
  std::size_t i = 0;
  const std::size_t n = text.size();
  while (i < n && text[i] == ' ') ++i;
  if (i == n) return true;
  if (text[i] == '-' || text[i] == '+') ++i;
  std::size_t whole = 0, digits = 0;
  bool leading = true;
  for (; i < n && text[i] >= '0' && text[i] <= '9'; ++i, ++digits) {
    if (text[i] != '0') leading = false;
    if (!leading) ++whole;
  }
  if (i < n && text[i] == '.')
    for (++i; i < n && text[i] >= '0' && text[i] <= '9'; ++i) ++digits;
  while (i < n && text[i] == ' ') ++i;
  return i == n && digits > 0 && whole <= 15;
}
