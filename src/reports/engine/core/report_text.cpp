#include "reports/engine/core/report_text.h"

#include <array>
#include <cstdio>

#include "platform/system/cp1252.h"
#include "resources/string_table.h"
#include "runtime/text.h"

namespace reports {

namespace {

// The limits of a run in words: none, from a code, one code, up to a code (the code after the text),
// between two codes (%s: the first and the last).
constexpr int kLimitsAll = 19506;      // "Edition complète"
constexpr int kLimitsFrom = 19507;     // "A partir de "
constexpr int kLimitsOnly = 19508;     // "Seulement "
constexpr int kLimitsUpTo = 19509;     // "Jusqu'à "
constexpr int kLimitsBetween = 19510;  // "De %s à %s"

// Characters that the escaped form changes.
const std::array<bool, 256> kEscaped = [] {
  std::array<bool, 256> t{};
  for (unsigned char c : {' ', '[', '{', '}', ']', '\x18', '\x19'}) t[c] = true;
  return t;
}();
const std::array<bool, 256> kUnescaped = [] {
  std::array<bool, 256> t{};
  for (unsigned char c : {'^', '\x1c', '\x1d', '\x1e', '\x1f'}) t[c] = true;
  return t;
}();

}  // namespace

void EscapeBrackets(std::string& text, InValueStatements statements) {
  std::size_t first = 0;
  while (first < text.size() && !kEscaped[static_cast<unsigned char>(text[first])]) ++first;
  if (first == text.size()) return;
  std::size_t out = first;
  for (std::size_t i = first; i < text.size(); ++i) {
    char c = text[i];
    switch (c) {
      case ' ': c = kHardBlank; break;
      case '[': c = '\x1c'; break;
      case '{': c = '\x1d'; break;
      case '}': c = '\x1e'; break;
      case ']': c = '\x1f'; break;
      case '\x18':
        if (statements == InValueStatements::kDrop) continue;
        c = '[';
        break;
      case '\x19':
        if (statements == InValueStatements::kDrop) continue;
        c = ']';
        break;
      default: break;
    }
    text[out++] = c;
  }
  text.resize(out);
}

bool AppendEscapedPlain(std::string& out, std::string_view text, std::size_t limit) {
  static const std::array<char, 256> kPlain = [] {
    std::array<char, 256> map{};
    for (int i = 0; i < 256; ++i) map[static_cast<std::size_t>(i)] = static_cast<char>(i);
    map[static_cast<unsigned char>(' ')] = kHardBlank;
    map[static_cast<unsigned char>('[')] = '\x1c';
    map[static_cast<unsigned char>('{')] = '\x1d';
    map[static_cast<unsigned char>('}')] = '\x1e';
    map[static_cast<unsigned char>(']')] = '\x1f';
    return map;
  }();
  // The live brackets would become "[" and "]", a line feed stays: read again either way.
  static const std::array<bool, 256> kNotPlain = [] {
    std::array<bool, 256> map{};
    for (char c : {'\n', '\x18', '\x19'}) map[static_cast<unsigned char>(c)] = true;
    return map;
  }();
  // Made and checked in one pass: the text is taken back when it is not plain.
  const std::size_t n = text.size() < limit ? text.size() : limit;
  const std::size_t at = out.size();
  out.resize(at + n);
  char* to = out.data() + at;
  bool notPlain = false;
  for (std::size_t i = 0; i < n; ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    notPlain |= kNotPlain[c];
    to[i] = kPlain[c];
  }
  for (std::size_t i = n; i < text.size(); ++i) notPlain |= kNotPlain[static_cast<unsigned char>(text[i])];
  if (notPlain) {
    out.resize(at);
    return false;
  }
  return true;
}

std::string Escaped(std::string_view text, InValueStatements statements) {
  std::string s(text);
  EscapeBrackets(s, statements);
  return s;
}

void UnescapeBrackets(std::string& text) {
  std::size_t first = 0;
  while (first < text.size() && !kUnescaped[static_cast<unsigned char>(text[first])]) ++first;
  for (std::size_t i = first; i < text.size(); ++i) {
    char& c = text[i];
    switch (c) {
      case kHardBlank: c = ' '; break;
      case '\x1c': c = '['; break;
      case '\x1d': c = '{'; break;
      case '\x1e': c = '}'; break;
      case '\x1f': c = ']'; break;
      default: break;
    }
  }
}

void AssignUnescaped(std::string& out, std::string_view text) {
  static const std::array<char, 256> kPlain = [] {
    std::array<char, 256> map{};
    for (int i = 0; i < 256; ++i) map[static_cast<std::size_t>(i)] = static_cast<char>(i);
    map[static_cast<unsigned char>(kHardBlank)] = ' ';
    map[0x1c] = '[';
    map[0x1d] = '{';
    map[0x1e] = '}';
    map[0x1f] = ']';
    return map;
  }();
  out.resize(text.size());
  char* to = out.data();
  for (std::size_t i = 0; i < text.size(); ++i) to[i] = kPlain[static_cast<unsigned char>(text[i])];
}

std::string Unescaped(std::string_view text) {
  std::string s(text);
  UnescapeBrackets(s);
  return s;
}

Rgb ColourLetterToRgb(char letter) {
  switch (static_cast<char>(platform::Cp1252Upper(static_cast<unsigned char>(letter)))) {
    case 'B': return {0, 0, 128};
    case 'C': return {0, 0, 255};
    case 'D': return {0, 128, 0};
    case 'E': return {0, 128, 128};
    case 'F': return {0, 255, 0};
    case 'G': return {0, 255, 255};
    case 'H': return {128, 0, 0};
    case 'I': return {128, 0, 128};
    case 'J': return {128, 128, 0};
    case 'K': return {192, 192, 192};
    case 'L': return {128, 128, 128};
    case 'M': return {255, 0, 0};
    case 'N': return {255, 0, 255};
    case 'O': return {255, 255, 0};
    case 'P': return {255, 255, 255};
    case 'Z': return {255, 255, 150};
    default: return {0, 0, 0};
  }
}

const std::array<unsigned char, 256> kCp1252LowerTable = [] {
  std::array<unsigned char, 256> t{};
  for (int c = 0; c < 256; ++c) t[c] = platform::Cp1252Lower(static_cast<unsigned char>(c));
  return t;
}();

const std::array<unsigned char, 256> kCp1252UpperTable = [] {
  std::array<unsigned char, 256> t{};
  for (int c = 0; c < 256; ++c) t[c] = platform::Cp1252Upper(static_cast<unsigned char>(c));
  return t;
}();

int LeadingInt(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  long long value = 0;
  while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
    value = value * 10 + (text[i++] - '0');
    if (value > 1000000000) value = 1000000000;  // far beyond any count a statement takes
  }
  return static_cast<int>(negative ? -value : value);
}

namespace {

void ReplaceAll(std::string& text, std::string_view from, std::string_view to) {
  std::string out;
  out.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    if (text.compare(i, from.size(), from) == 0) {
      out += to;
      i += from.size();
    } else {
      out += text[i++];
    }
  }
  text = std::move(out);
}

}  // namespace

std::string MakeDocumentTitle(std::string_view dossierCode, std::string_view name) {
  std::string title = TrimmedRight(dossierCode) + "-" + TrimmedRight(name);
  for (char& c : title) {
    if (c == '/' || c == ':') c = ' ';
  }
  ReplaceAll(title, "  ", "-");
  ReplaceAll(title, " ", "-");
  ReplaceAll(title, "--", " ");
  ReplaceAll(title, " ", "-");
  return title;
}

std::string LimitsDescription(std::string_view fromText, std::string_view toText) {
  const std::string from = Trimmed(fromText), to = Trimmed(toText);
  if (from.empty() && to.empty()) return LoadStr(kLimitsAll);
  if (to.empty()) return LoadStr(kLimitsFrom) + from;
  if (from == to) return LoadStr(kLimitsOnly) + from;
  if (from.empty()) return LoadStr(kLimitsUpTo) + to;
  return FillPlaceholders(LoadStr(kLimitsBetween), {from, to});
}

std::string PageStatusText(int page, int count) {
  char buffer[48];
  std::snprintf(buffer, sizeof buffer, "Page:%5d/%5d", page, count);
  return buffer;
}

}  // namespace reports
