// Text helpers returning a std::string (see text.h).
#include "runtime/text.h"

#include <array>

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

std::string AmountText14(double amount) { return FormatNumber(14, 2, false, amount); }

std::string AmountDigits(double amount) { return Trimmed(AmountText14(amount)); }

std::string GroupedAmountText(long long cents) {
  // The reports' grouping, whole, with the decimal comma of a sentence.
  std::string text = GroupedAmount(cents, 0);
  text[text.size() - 3] = ',';
  return text;
}
