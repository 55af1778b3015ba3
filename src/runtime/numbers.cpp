#include "runtime/numbers.h"

#include <charconv>
#include <cmath>
#include <cstring>

#include "runtime/runtime_internal.h"
#include "runtime/xbase.h"

namespace {

// Val's work text: one a thread, Val being read on several (a dossier's parity, on the balances'
// threads).
thread_local char g_valText[21];

// FormatNumber into a caller's buffer (at least 22 bytes). Formatting does
// not depend on the process locale: the decimal mark is always a point.
void FormatNumberInto(char* out, int width, int decimals, bool zeroFill, double value) {
  auto stars = [&] {
    int n = width < 0 ? 0 : width;
    std::memset(out, '*', static_cast<std::size_t>(n));
    out[n] = 0;
  };
  if (width > 20 || width < 0 || decimals > 9 || decimals < 0 ||
      (decimals != 0 && decimals > width - 2) || !std::isfinite(value)) {
    stars();
    return;
  }
  char digits[400];
  auto res = std::to_chars(digits, digits + sizeof digits, value, std::chars_format::fixed, decimals);
  if (res.ec != std::errc()) {
    stars();
    return;
  }
  std::size_t len = static_cast<std::size_t>(res.ptr - digits);
  if (len > static_cast<std::size_t>(width)) {
    stars();
    return;
  }
  std::size_t pad = static_cast<std::size_t>(width) - len;
  std::memset(out, zeroFill ? '0' : ' ', pad);
  std::memcpy(out + pad, digits, len);
  out[width] = 0;
}

double ParseNumber(const char* s) {
  while (*s == ' ' || *s == '\t') ++s;
  if (*s == '+') ++s;
  double v = 0;
  auto res = std::from_chars(s, s + std::strlen(s), v, std::chars_format::fixed);
  if (res.ec != std::errc() || !std::isfinite(v)) return 0;
  return v;
}

}  // namespace

void ResetNumberBuffers() {
  g_valText[0] = 0;
}

char* FormatNumber(int width, int decimals, bool zeroFill, double value) {
  char buf[32];
  FormatNumberInto(buf, width > 20 ? 0 : width, decimals, zeroFill, value);
  if (width > 20) return Replicate("*", width);
  return RingCopy(buf);
}

double Val(const char* text) {
  if (!text) text = "";
  std::size_t n = std::strlen(text);
  if (n > 20) n = 20;
  std::memcpy(g_valText, text, n);
  g_valText[n] = 0;
  // ". " reads as ".0"; then every blank goes (thousands separators).
  std::size_t w = 0;
  for (std::size_t r = 0; r < n; ++r) {
    char c = g_valText[r];
    if (c == ' ') {
      if (r > 0 && g_valText[r - 1] == '.') g_valText[w++] = '0';
      continue;
    }
    g_valText[w++] = c;
  }
  g_valText[w] = 0;
  return ParseNumber(g_valText);
}

double Round(int decimals, double value) {
  if (decimals < 0) decimals = 0;
  if (decimals > 5) decimals = 5;
  double offset = 5.0 / std::pow(10.0, decimals + 1);
  double sum = value + (value < 0 ? -offset : offset);
  // The half unit added, the digits after the kept decimals are cut. Printed with
  // three digits more than kept (five at least), so that the binary error of the
  // sum is absorbed and the print itself never rounds up into a kept decimal.
  char buf[400];
  const int printed = decimals + 3 > 5 ? decimals + 3 : 5;
  auto res = std::to_chars(buf, buf + sizeof buf - 1, sum, std::chars_format::fixed, printed);
  if (res.ec != std::errc() || !std::isfinite(sum)) return 0;
  *res.ptr = 0;
  char* point = std::strchr(buf, '.');
  if (point == nullptr || point - buf > 14) return 0;  // beyond 14 integer positions
  point[decimals == 0 ? 0 : decimals + 1] = 0;
  const double rounded = ParseNumber(buf);
  return rounded == 0 ? 0.0 : rounded;  // no negative zero
}

bool AmountsEqual(double a, double b) {
  char diff[32];
  FormatNumberInto(diff, 4, 2, false, std::fabs(a - b));
  return std::strcmp(diff, "0.00") == 0;
}

double Abs(double value) { return std::fabs(value); }

long long ToCents(double amount) {
  // An amount that is a whole number of cents already (as most are) is that number, without
  // the rounding through text.
  if (std::fabs(amount) < 1e12) {
    const long long cents = std::llround(amount * 100.0);
    if (FromCents(cents) == amount) return cents;
  }
  return std::llround(Round(2, amount) * 100.0);
}

double FromCents(long long cents) { return static_cast<double>(cents) / 100.0; }
