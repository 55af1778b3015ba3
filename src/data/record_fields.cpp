#include "data/record_fields.h"

#include <algorithm>
#include <bit>
#include <cstdio>
#include <cstring>

#include "data/session.h"
#include "data/table.h"
#include "data/table_internal.h"
#include "data/table_structures.h"
#include "data/unread_amounts.h"
#include "resources/string_table.h"
#include "runtime/dossier_record.h"
#include "runtime/numbers.h"
#include "runtime/text.h"
#include "runtime/twin_amounts.h"

namespace {

// The largest amount of a line in euros, then in francs: "%s € (%s F)".
constexpr int kLargestLineInBothCurrencies = 39000;

// The cents of a stored text, as StoredAmountCents reads it, without noting anything.
long long CentsOfText(std::string_view text, bool* readable);

// The stored bytes of field `field` of a record (the engine's descriptor: its offset and width).
std::string_view StoredBytes(Table& table, int field, const std::uint8_t* record) {
  const dbase::FLDDesc& d = table.Engine().nativeFields[static_cast<std::size_t>(field - 1)];
  return {reinterpret_cast<const char*>(record + d.iOffset), static_cast<std::size_t>(std::max<int>(0, d.iUnits1))};
}

// 0 when field `field` of the table holds no line's amount; else 1 for its francs, 2 its euros.
int LineAmountKind(const Table& table, int field) {
  const TableEngine& e = table.Engine();
  if (field == 0) return 0;
  return field == e.lineFrancs ? 1 : field == e.lineEuros ? 2 : 0;
}

// The cents of a line's other amount in `record` (0 when it does not read).
long long TwinCents(Table& table, int kind, const std::uint8_t* record) {
  const TableEngine& e = table.Engine();
  const int twin = kind == 1 ? e.lineEuros : e.lineFrancs;
  if (twin == 0 || record == nullptr) return 0;
  bool read = true;
  const long long cents = CentsOfText(StoredBytes(table, twin, record), &read);
  return read ? cents : 0;
}

// Whether a line's other amount, stored as `text`, reads as above zero.
bool TwinAbove(std::string_view text) {
  bool read = true;
  const long long cents = CentsOfText(text, &read);
  return read && cents > 0;
}

// Whether a line's amount of kind `kind` (LineAmountKind) in `record` holds (LineAmountHolds): its
// twin read only for an amount below zero, the only one it decides.
bool LineCentsHold(Table& table, int kind, long long cents, const std::uint8_t* record) {
  const long long largest = LargestLineCents(kind == 2);
  return cents >= 0 ? cents <= largest : -cents <= largest && TwinCents(table, kind, record) > 0;
}

// The cents of a field's stored text in `record` as its reader reads them: a line's amount that
// the program does not make does not read.
long long FieldCents(Table& table, int field, std::string_view text, const std::uint8_t* record, bool* readable) {
  bool read = true;
  long long cents = CentsOfText(text, &read);
  if (const int kind = LineAmountKind(table, field);
      read && kind != 0 && !LineCentsHold(table, kind, cents, record)) {
    read = false;
    cents = 0;
  }
  if (!read) *readable = false;
  return cents;
}

}  // namespace

void tablelayer::FindLineAmounts(Table& table) {
  TableEngine& e = table.Engine();
  e.lineFrancs = e.lineEuros = 0;
  switch (TableKindOfFileName(table.tablePath)) {
    case TableKind::C40:
      e.lineFrancs = table.FieldPos("DMONTANTF");
      e.lineEuros = table.FieldPos("DMONTANTE");
      break;
    case TableKind::C50:
      e.lineFrancs = table.FieldPos("BMONTANTF");
      e.lineEuros = table.FieldPos("BMONTANTE");
      break;
    default: break;
  }
}

bool LineAmountHolds(long long cents, long long twin, bool euros) {
  return cents >= 0 ? cents <= LargestLineCents(euros) : twin > 0 && -cents <= LargestLineCents(euros);
}

long long LargestLineCents(bool euros) {
  if (!euros) return kLargestStoredCents;
  return LineBoundsOf(TheDossierRecord).euros;
}

LineBounds LineBoundsOf(const DossierRecord& record) {
  // The euros whose francs the franc field still holds, at the record's parity: worked out again
  // only when the parity's stored text changes. Each thread keeps its own (the balances read their
  // lines on several), so that none writes what another reads.
  struct Decided {
    bool made = false;
    char parity[DossierRecord::kParityWidth] = {};
    long long euros = kLargestStoredCents;
  };
  thread_local Decided decided;
  const char* now = record.Text().data() + (DossierRecord::kParityPos - 1);
  if (!decided.made || std::memcmp(now, decided.parity, sizeof decided.parity) != 0) {
    std::memcpy(decided.parity, now, sizeof decided.parity);
    decided.euros = LargestAmountTaken(true, record.Parity());
    decided.made = true;
  }
  return {kLargestStoredCents, decided.euros};
}

std::string LargestLineText() {
  const long long euros = LargestLineCents(true), francs = LargestLineCents(false);
  if (euros == francs) return GroupedAmountText(francs);
  return FillPlaceholders(LoadStr(kLargestLineInBothCurrencies), {GroupedAmountText(euros), GroupedAmountText(francs)});
}

long long LineAmountCents(std::string_view text, std::string_view twinText, bool euros, bool* readable) {
  bool read = true;
  long long cents = CentsOfText(text, &read);
  // The twin decides only an amount below zero: read only then.
  if (read && (cents >= 0 ? cents > LargestLineCents(euros) : -cents > LargestLineCents(euros) || !TwinAbove(twinText))) {
    read = false;
    cents = 0;
  }
  if (!read) {
    if (readable != nullptr) *readable = false;
    NoteUnnamedUnreadAmount();
  }
  return cents;
}

long long LineAmountCents(std::string_view text, std::string_view twinText, long long largest, bool* readable) {
  bool read = true;
  long long cents = CentsOfText(text, &read);
  // The twin decides only an amount below zero: read only then.
  if (read && (cents >= 0 ? cents > largest : -cents > largest || !TwinAbove(twinText))) {
    read = false;
    cents = 0;
  }
  if (!read) *readable = false;
  return cents;
}

int LineAmountsCents(std::string_view francs, std::string_view euros, const LineBounds& bounds, long long cents[2]) {
  bool francsRead = true, eurosRead = true;
  const long long f = CentsOfText(francs, &francsRead), e = CentsOfText(euros, &eurosRead);
  // Each amount below zero holds only beside its twin above zero (TwinAbove: its text as read).
  const bool francsHold = francsRead && (f >= 0 ? f <= bounds.francs : -f <= bounds.francs && eurosRead && e > 0);
  const bool eurosHold = eurosRead && (e >= 0 ? e <= bounds.euros : -e <= bounds.euros && francsRead && f > 0);
  cents[0] = francsHold ? f : 0;
  cents[1] = eurosHold ? e : 0;
  return (francsHold ? 0 : 1) + (eurosHold ? 0 : 1);
}

bool StoredAmountReads(Table& table, int field, const std::uint8_t* record) {
  // CentsOfText reads a text as ReadableNumberText judges it (the usual form at once).
  bool read = true;
  const long long cents = CentsOfText(StoredBytes(table, field, record), &read);
  if (!read) return false;
  const int kind = LineAmountKind(table, field);
  return kind == 0 || LineCentsHold(table, kind, cents, record);
}

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
  // Read while a report's export watches: a number that does not read is noted, unnamed (the
  // record's number is not known here).
  if (WatchingUnreadAmounts() && field >= 1 && field <= table.FieldCount() &&
      !StoredAmountReads(table, field, record))
    NoteUnnamedUnreadAmount();
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

long long FieldCentsOf(Table& table, int field, const std::uint8_t* record, bool* readable) {
  if (field < 1 || field > table.FieldCount()) return 0;
  bool read = true;
  const long long cents = FieldCents(table, field, StoredBytes(table, field, record), record, &read);
  if (!read) {
    if (readable != nullptr) *readable = false;
    NoteUnnamedUnreadAmount();
  }
  return cents;
}

long long StoredAmountCents(std::string_view text, bool* readable) {
  bool read = true;
  const long long cents = CentsOfText(text, &read);
  if (!read) {
    if (readable != nullptr) *readable = false;
    NoteUnnamedUnreadAmount();
  }
  return cents;
}

namespace {

long long CentsOfText(std::string_view text, bool* readable) {
  const char* p = text.data();
  const char* const end = p + text.size();
  // Stored right-aligned: mostly blanks first, passed over eight at a time.
  constexpr std::uint64_t kBlanks = 0x2020202020202020ull;
  for (std::uint64_t word; end - p >= 8;) {
    std::memcpy(&word, p, 8);
    const std::uint64_t other = word ^ kBlanks;  // non-zero bytes: not blanks
    if (other != 0) {
      if constexpr (std::endian::native == std::endian::little) p += std::countr_zero(other) / 8;
      break;
    }
    p += 8;
  }
  while (p != end && *p == ' ') ++p;
  {
    // The usual form: an optional "-", at most 15 digits, then "." and two digits or nothing.
    const char* q = p;
    const bool minus = q != end && *q == '-';
    if (minus) ++q;
    const char* const digits = q;
    // At most 15 digits are summed: a longer run would overflow before it is refused.
    const char* const most = digits + std::min<std::ptrdiff_t>(end - digits, 16);
    long long whole = 0;
    for (; q != most && static_cast<unsigned char>(*q - '0') < 10; ++q) whole = whole * 10 + (*q - '0');
    if (q - digits <= 15) {
      if (q == end && q != digits) return minus ? -whole * 100 : whole * 100;
      if (end - q == 3 && q[0] == '.' && static_cast<unsigned char>(q[1] - '0') < 10 &&
          static_cast<unsigned char>(q[2] - '0') < 10) {
        whole = whole * 100 + (q[1] - '0') * 10 + (q[2] - '0');
        return minus ? -whole : whole;
      }
    }
  }
  if (!ReadableNumberText(text)) {
    if (readable != nullptr) *readable = false;
    return 0;
  }
  // Any other number: a sign, digits, a point and decimals, blanks after.
  const bool negative = p != end && *p == '-';
  if (p != end && (*p == '-' || *p == '+')) ++p;
  long long units = 0;
  for (; p != end && static_cast<unsigned char>(*p - '0') < 10; ++p) units = units * 10 + (*p - '0');
  long long cents = 0;
  int decimals = 0;
  bool up = false;  // the third decimal rounds the cents up
  if (p != end && *p == '.') {
    for (++p; p != end && static_cast<unsigned char>(*p - '0') < 10; ++p, ++decimals) {
      if (decimals < 2) cents = cents * 10 + (*p - '0');
      else if (decimals == 2) up = *p >= '5';
    }
  }
  for (; decimals < 2; ++decimals) cents *= 10;
  const long long value = units * 100 + cents + (up ? 1 : 0);
  return negative ? -value : value;
}

}  // namespace

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

long long StoredAmountOf(Table& table, int field, bool* readable) {
  if (field < 1 || field > table.FieldCount() || table.FieldType(field) != 'N') return 0;
  const FieldLayout& d = table.Layout(field);
  const std::size_t width = static_cast<std::size_t>(std::max<int>(0, d.width));
  if (d.offset + width > table.recordBuffer.size()) return 0;
  bool read = true;
  const long long cents =
      FieldCents(table, field, std::string_view(reinterpret_cast<const char*>(table.recordBuffer.data()) + d.offset, width),
                 table.recordBuffer.data(), &read);
  if (!read) {
    if (readable != nullptr) *readable = false;
    NoteUnreadAmount(table, field, table.recordBuffer.data(), table.recordNumber);
  }
  return cents;
}

std::string FieldTextAsRead(Table& table, int field) {
  if (field < 1 || field > table.FieldCount() || table.FieldType(field) != 'N' || table.Layout(field).decimals > 2)
    return table.GetField(field);
  const FieldLayout& d = table.Layout(field);
  const int width = std::max<int>(1, d.width);
  char text[FieldRingBuffers::kRoom + 1];
  const int n = std::snprintf(text, FieldRingBuffers::kRoom, "%*.*f", width, std::max<int>(0, d.decimals),
                              FromCents(StoredAmountOf(table, field)));
  if (n < 0 || n > width) return std::string(static_cast<std::size_t>(width), '*');
  return std::string(text, static_cast<std::size_t>(n));
}

bool CopyNumberField(Table& source, int s, Table& target, int t) {
  const int decimals = s >= 1 && s <= source.FieldCount() ? source.Layout(s).decimals : 0;
  if (source.FieldType(s) != 'N' || target.FieldType(t) != 'N' || decimals > 2)
    return target.PutFieldNum(t, source.GetFieldNum(s));
  bool readable = true;
  const long long cents = StoredAmountOf(source, s, &readable);
  if (readable) return target.PutFieldNum(t, FromCents(cents));
  const FieldLayout& from = source.Layout(s);
  const FieldLayout& to = target.Layout(t);
  if (from.width != to.width || to.offset + static_cast<std::size_t>(std::max<int>(0, to.width)) > target.recordBuffer.size())
    return target.PutFieldNum(t, source.GetFieldNum(s));
  std::memcpy(target.recordBuffer.data() + to.offset, source.recordBuffer.data() + from.offset,
              static_cast<std::size_t>(to.width));
  if (target.appending) return true;
  return tablelayer::ModifyCurrentRecord(target, t) == dbase::DBIERR_NONE;
}

bool BlankNumberField(Table& table, int field) {
  if (field < 1 || field > table.FieldCount() || table.FieldType(field) != 'N') return false;
  const FieldLayout& d = table.Layout(field);
  const std::size_t width = static_cast<std::size_t>(std::max<int>(0, d.width));
  if (d.offset + width > table.recordBuffer.size()) return false;
  std::memset(table.recordBuffer.data() + d.offset, ' ', width);
  if (table.appending) return true;
  return tablelayer::ModifyCurrentRecord(table, field) == dbase::DBIERR_NONE;
}
