#include "runtime/dates.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/system/clock.h"
#include "runtime/xbase.h"

namespace {

char g_dateBuffers[2][9];
int g_dateToggle = 0;
char g_dateWork[9];
int g_windowYear = 0;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
int Two(const char* p) { return (p[0] - '0') * 10 + (p[1] - '0'); }

bool IsLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int DaysInMonth(int y, int m) {
  static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && IsLeap(y) ? 29 : kDays[m - 1];
}

// Stored year characters -> full year (false when not a stored year).
bool StoredYear(char c0, char c1, int& year) {
  if (!IsDigit(c1)) return false;
  if (c0 >= 'A' && c0 <= 'Z') {
    year = 2000 + 10 * (c0 - 'A') + (c1 - '0');
    return true;
  }
  if (IsDigit(c0)) {
    int yy = (c0 - '0') * 10 + (c1 - '0');
    // 30-99 are 1930-1999; 00-29 written with digits read as 2000-2029.
    year = yy >= 30 ? 1900 + yy : 2000 + yy;
    return true;
  }
  return false;
}

// Full year -> two stored year characters (false outside 1930-2259).
bool EncodeFullYear(int year, char out[2]) {
  if (year < kFirstStoredYear || year > kLastStoredYear) return false;
  if (year < 2000) {
    out[0] = static_cast<char>('0' + (year - 1900) / 10);
  } else {
    out[0] = static_cast<char>('A' + (year - 2000) / 10);
  }
  out[1] = static_cast<char>('0' + year % 10);
  return true;
}

char* NextDateBuffer() {
  g_dateToggle ^= 1;
  return g_dateBuffers[g_dateToggle];
}

// Day, month and full year of a stored or display text, without checking
// that the day exists (NextDay / PrevDay walk from there).
bool RawParts(const char* date, int& d, int& m, int& y) {
  std::size_t n = std::strlen(date);
  if (n == 6) {
    if (!IsDigit(date[2]) || !IsDigit(date[3]) || !IsDigit(date[4]) || !IsDigit(date[5])) return false;
    if (!StoredYear(date[0], date[1], y)) return false;
    m = Two(date + 2);
    d = Two(date + 4);
    return true;
  }
  if (n == 8) {
    if (date[2] != '/' || date[5] != '/') return false;
    for (int i : {0, 1, 3, 4, 6, 7})
      if (!IsDigit(date[i])) return false;
    d = Two(date);
    m = Two(date + 3);
    y = FullYearFromTwoDigits(Two(date + 6));
    return true;
  }
  return false;
}

char* StepDay(const char* date, int direction) {
  int d, m, y;
  if (!date || !RawParts(date, d, m, y)) {
    g_dateWork[0] = 0;
    return g_dateWork;
  }
  if (y < kFirstStoredYear) y = kFirstStoredYear, m = 1, d = 1;
  if (y > kLastStoredYear) y = kLastStoredYear, m = 12, d = 31;
  Ymd here{y, m, d};
  bool atEdge = direction > 0 ? (y == kLastStoredYear && m == 12 && d >= 31)
                              : (y == kFirstStoredYear && m == 1 && d <= 1);
  if (!atEdge) {
    d += direction;
    for (;;) {
      here = Ymd{y, m, d};
      if (IsValidYmd(here)) break;
      d += direction;
      if (direction > 0 && d > 31) {
        d = 1;
        if (++m > 12) m = 1, ++y;
      } else if (direction < 0 && d < 1) {
        d = 31;
        if (--m < 1) m = 12, --y;
      }
    }
  } else if (!IsValidYmd(here)) {
    here = direction > 0 ? Ymd{kLastStoredYear, 12, 31} : Ymd{kFirstStoredYear, 1, 1};
  }
  std::string s = StoredDateOf(here);
  std::memcpy(g_dateWork, s.c_str(), s.size() + 1);
  return g_dateWork;
}

}  // namespace

int FullYearFromTwoDigits(int yy) {
  int ref = g_windowYear ? g_windowYear : platform::GetLocalTime().year;
  int low = ref - 70;
  int y = (low / 100) * 100 + yy;
  if (y < low) y += 100;
  return y;
}

void SetDateWindowYear(int year) { g_windowYear = year; }

bool IsValidYmd(const Ymd& date) {
  if (date.year < 1 || date.month < 1 || date.month > 12 || date.day < 1) return false;
  return date.day <= DaysInMonth(date.year, date.month);
}

bool ParseStoredDate(std::string_view stored, Ymd& out) {
  if (stored.size() != 6) return false;
  char buf[7];
  std::memcpy(buf, stored.data(), 6);
  buf[6] = 0;
  Ymd r;
  if (!RawParts(buf, r.day, r.month, r.year) || !IsValidYmd(r)) return false;
  out = r;
  return true;
}

bool ParseDisplayDate(std::string_view display, Ymd& out) {
  if (display.size() != 8) return false;
  char buf[9];
  std::memcpy(buf, display.data(), 8);
  buf[8] = 0;
  Ymd r;
  if (!RawParts(buf, r.day, r.month, r.year) || !IsValidYmd(r)) return false;
  out = r;
  return true;
}

bool ParseYyyymmdd(std::string_view text, Ymd& out) {
  if (text.size() != 8) return false;
  for (char c : text)
    if (!IsDigit(c)) return false;
  Ymd r{Two(text.data()) * 100 + Two(text.data() + 2), Two(text.data() + 4), Two(text.data() + 6)};
  if (!IsValidYmd(r)) return false;
  out = r;
  return true;
}

std::string StoredDateOf(const Ymd& date) {
  char y[2];
  if (!EncodeFullYear(date.year, y) || date.month < 1 || date.month > 12 || date.day < 1 || date.day > 31)
    return "";
  char buf[16];
  std::snprintf(buf, sizeof buf, "%c%c%02d%02d", y[0], y[1], date.month, date.day);
  return buf;
}

std::string DisplayDateOf(const Ymd& date) {
  if (date.year < 0) return "";
  char buf[32];
  std::snprintf(buf, sizeof buf, "%02d/%02d/%02d", date.day % 100, date.month % 100, date.year % 100);
  return buf;
}

std::string YyyymmddOf(const Ymd& date) {
  if (date.year < 0 || date.year > 9999) return "";
  char buf[32];
  std::snprintf(buf, sizeof buf, "%04d%02d%02d", date.year, date.month % 100, date.day % 100);
  return buf;
}

std::string PrintDateOf(const Ymd& date) {
  if (date.year < 0 || date.year > 9999) return "";
  char buf[32];
  std::snprintf(buf, sizeof buf, "%02d/%02d/%04d", date.day % 100, date.month % 100, date.year);
  return buf;
}

long DaysFromCivil(const Ymd& date) {
  // Howard Hinnant's days_from_civil.
  int y = date.year - (date.month <= 2 ? 1 : 0);
  long era = (y >= 0 ? y : y - 399) / 400;
  long yoe = y - era * 400;
  long mp = (date.month + 9) % 12;
  long doy = (153 * mp + 2) / 5 + date.day - 1;
  long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

Ymd CivilFromDays(long z) {
  z += 719468;
  long era = (z >= 0 ? z : z - 146096) / 146097;
  long doe = z - era * 146097;
  long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  long y = yoe + era * 400;
  long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  long mp = (5 * doy + 2) / 153;
  int d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  int m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  return Ymd{static_cast<int>(y + (m <= 2 ? 1 : 0)), m, d};
}

Ymd Today() {
  platform::LocalTime t = platform::GetLocalTime();
  return Ymd{t.year, t.month, t.day};
}

std::string FittedDay(const std::string& month, const std::string& day) {
  const std::string d = PadRight(day, 2);
  if (d[0] < '0' || d[0] > '9' || d[1] < '0' || d[1] > '9') return d;
  Ymd first;
  if (!ParseStoredDate(PadRight(month, 4) + "01", first)) return d;
  const Ymd next = first.month == 12 ? Ymd{first.year + 1, 1, 1} : Ymd{first.year, first.month + 1, 1};
  const int last = CivilFromDays(DaysFromCivil(next) - 1).day;
  const int n = std::atoi(d.c_str());
  return n > last ? StrZero(last, 2) : d;
}

char* ConvertDate(const char* date) {
  std::size_t n = date ? std::strlen(date) : 0;
  if (n < 6) return RingCopy("*");
  char* out = NextDateBuffer();
  if (n == 6) {
    // YYMMDD -> DD/MM/YY; a decade letter shows as its last digit.
    char y0 = date[0];
    if (y0 >= 'A' && y0 <= 'Z') y0 = static_cast<char>('0' + (y0 - 'A') % 10);
    out[0] = date[4], out[1] = date[5], out[2] = '/';
    out[3] = date[2], out[4] = date[3], out[5] = '/';
    out[6] = y0, out[7] = date[1], out[8] = 0;
    return out;
  }
  // DD/MM/YY -> YYMMDD; characters missing from a short text read as blanks.
  auto at = [&](std::size_t i) { return i < n ? date[i] : ' '; };
  char y[2] = {at(6), at(7)};
  if (IsDigit(y[0]) && IsDigit(y[1])) {
    char enc[2];
    if (EncodeFullYear(FullYearFromTwoDigits(Two(y)), enc)) y[0] = enc[0], y[1] = enc[1];
  }
  out[0] = y[0], out[1] = y[1];
  out[2] = at(3), out[3] = at(4);
  out[4] = at(0), out[5] = at(1), out[6] = 0;
  return out;
}

char* EncodeYear(const char* year) {
  char y0 = year && year[0] ? year[0] : ' ';
  char y1 = year && year[0] && year[1] ? year[1] : ' ';
  if (IsDigit(y0) && IsDigit(y1)) {
    char enc[2];
    if (EncodeFullYear(FullYearFromTwoDigits((y0 - '0') * 10 + (y1 - '0')), enc)) y0 = enc[0], y1 = enc[1];
  }
  g_dateWork[0] = y0, g_dateWork[1] = y1, g_dateWork[2] = 0;
  return g_dateWork;
}

char* DecodeYear(const char* year) {
  char y0 = year && year[0] ? year[0] : ' ';
  char y1 = year && year[0] && year[1] ? year[1] : ' ';
  if (y0 >= 'A' && y0 <= 'Z') y0 = static_cast<char>('0' + (y0 - 'A') % 10);
  g_dateWork[0] = y0, g_dateWork[1] = y1, g_dateWork[2] = 0;
  return g_dateWork;
}

bool IsValidDate(const char* date) {
  if (!date) return false;
  std::size_t n = std::strlen(date);
  Ymd r;
  if (n == 6) return ParseStoredDate(std::string_view(date, 6), r);
  if (n == 8) return ParseDisplayDate(std::string_view(date, 8), r);
  return false;
}

bool IsValidDmy(int day, int month, int twoDigitYear) {
  int year;
  if (twoDigitYear >= 0 && twoDigitYear <= 99) year = FullYearFromTwoDigits(twoDigitYear);
  else if (twoDigitYear >= kFirstStoredYear) year = twoDigitYear;
  else return false;
  return IsValidYmd(Ymd{year, month, day});
}

char* NextDay(const char* date) { return StepDay(date, +1); }
char* PrevDay(const char* date) { return StepDay(date, -1); }
