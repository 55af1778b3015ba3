// Text helpers returning a std::string (see text.h).
#include "runtime/text.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>

#include "platform/system/cp1252.h"
#include "resources/string_table.h"
#include "runtime/numbers.h"

namespace {

// The cp1252 case of every byte, made once from the system layer's (the report interpreter
// changes the case of every statement it reads: a table look-up a byte).
using CaseTable = std::array<unsigned char, 256>;
template <unsigned char (*Change)(unsigned char)>
const CaseTable& TableOf() {
  static const CaseTable table = [] {
    CaseTable t{};
    for (int c = 0; c < 256; ++c) t[c] = Change(static_cast<unsigned char>(c));
    return t;
  }();
  return table;
}

template <typename Change>
std::string Changed(std::string_view text, Change change) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(change(static_cast<unsigned char>(c)));
  return out;
}

}  // namespace

std::string Trimmed(std::string_view text) {
  const std::size_t first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  return std::string(text.substr(first, text.find_last_not_of(' ') - first + 1));
}

std::string TrimmedRight(std::string_view text) {
  const std::size_t last = text.find_last_not_of(' ');
  return last == std::string_view::npos ? std::string() : std::string(text.substr(0, last + 1));
}

std::string LowerAscii(std::string_view text) {
  return Changed(text, [](unsigned char c) { return c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c; });
}

std::string UpperAscii(std::string_view text) {
  return Changed(text, [](unsigned char c) { return c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c; });
}

std::string LowerCp1252(std::string_view text) {
  const CaseTable& lower = TableOf<platform::Cp1252Lower>();
  return Changed(text, [&lower](unsigned char c) { return lower[c]; });
}

std::string UpperCp1252(std::string_view text) {
  const CaseTable& upper = TableOf<platform::Cp1252Upper>();
  return Changed(text, [&upper](unsigned char c) { return upper[c]; });
}

std::string FitRight(std::string_view text, int width) {
  const std::size_t w = width > 0 ? static_cast<std::size_t>(width) : 0;
  if (text.size() >= w) return std::string(text.substr(0, w));
  return std::string(w - text.size(), ' ') + std::string(text);
}

std::string PaddedRight(std::string text, int width, char fill) {
  const std::size_t w = width > 0 ? static_cast<std::size_t>(width) : 0;
  if (text.size() < w) text.append(w - text.size(), fill);
  return text;
}

std::string FillPlaceholder(const char* message, std::string_view value) { return FillPlaceholders(message, {value}); }

std::string FillPlaceholders(std::string_view message, std::initializer_list<std::string_view> values) {
  return resources::FillValues(message, values);
}

std::string GroupedNumber(std::string_view plain) {
  const std::size_t digits = plain.find_first_of("0123456789");
  if (digits == std::string_view::npos) return std::string(plain);
  std::size_t end = plain.find_first_not_of("0123456789", digits);
  if (end == std::string_view::npos) end = plain.size();
  std::string out(plain.substr(0, digits));
  out.reserve(plain.size() + (end - digits) / 3);
  for (std::size_t i = digits; i < end; ++i) {
    if (i > digits && (end - i) % 3 == 0) out += ' ';
    out += plain[i];
  }
  out += plain.substr(end);
  return out;
}

namespace {

// The amount grouped: `sign` ("-" or ""), the cents' units by threes, the decimal `mark`, two
// decimals, then `side`, right-aligned in `width` characters; written once from its last digit.
std::string GroupedCents(long long cents, const char* sign, char mark, const char* side, std::size_t width) {
  unsigned long long rest =
      cents < 0 ? 0ULL - static_cast<unsigned long long>(cents) : static_cast<unsigned long long>(cents);
  char text[48];
  char* const end = text + sizeof text;
  char* p = end;
  *--p = static_cast<char>('0' + rest % 10);
  rest /= 10;
  *--p = static_cast<char>('0' + rest % 10);
  rest /= 10;
  *--p = mark;
  for (int digit = 0; digit == 0 || rest > 0; ++digit, rest /= 10) {
    if (digit > 0 && digit % 3 == 0) *--p = ' ';
    *--p = static_cast<char>('0' + rest % 10);
  }
  for (const char* s = sign + std::char_traits<char>::length(sign); s != sign;) *--p = *--s;
  const std::size_t length = static_cast<std::size_t>(end - p);
  std::string out;
  out.reserve(std::max(width, length) + 3);
  if (length < width) out.append(width - length, ' ');
  out.append(p, length);
  out += side;
  return out;
}

}  // namespace

std::string GroupedAmount(long long cents, int width) {
  return GroupedCents(cents, cents < 0 ? "-" : "", '.', "", width > 0 ? static_cast<std::size_t>(width) : 0);
}

std::string BalanceAmount(long long cents, int width) {
  return GroupedCents(cents, "", '.', cents > 0 ? " Db" : cents < 0 ? " Cr" : "   ", width > 0 ? static_cast<std::size_t>(width) : 0);
}

std::string GroupedAmountText(long long cents) { return GroupedCents(cents, cents < 0 ? "-" : "", ',', "", 0); }

std::string AmountText14(double amount) { return FormatNumber(14, 2, false, amount); }

std::string AmountDigits(double amount) {
  char digits[400];
  const auto res = std::isfinite(amount) ? std::to_chars(digits, digits + sizeof digits, amount, std::chars_format::fixed, 2)
                                         : std::to_chars_result{digits, std::errc::invalid_argument};
  if (res.ec != std::errc()) return "0.00";
  std::string text(digits, res.ptr);
  // A zero rounded from a small negative amount has no sign.
  return text == "-0.00" ? "0.00" : text;
}

std::string AmountDigitsOrBlank(double amount) {
  std::string text = AmountDigits(amount);
  return text == "0.00" ? std::string() : text;
}
