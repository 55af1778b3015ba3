#include "platform/system/cp1252.h"

#include <cstdio>

namespace platform {

unsigned char Cp1252Upper(unsigned char c) {
  if (c >= 'a' && c <= 'z') return static_cast<unsigned char>(c - 32);
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return static_cast<unsigned char>(c - 32);
  switch (c) {
    case 0x9A: return 0x8A;  // s caron
    case 0x9C: return 0x8C;  // oe
    case 0x9E: return 0x8E;  // z caron
    case 0xFF: return 0x9F;  // y diaeresis
    default: return c;
  }
}

unsigned char Cp1252Lower(unsigned char c) {
  if (c >= 'A' && c <= 'Z') return static_cast<unsigned char>(c + 32);
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return static_cast<unsigned char>(c + 32);
  switch (c) {
    case 0x8A: return 0x9A;
    case 0x8C: return 0x9C;
    case 0x8E: return 0x9E;
    case 0x9F: return 0xFF;
    default: return c;
  }
}

int Cp1252CompareNoCase(const char* a, const char* b) {
  const auto* p = reinterpret_cast<const unsigned char*>(a ? a : "");
  const auto* q = reinterpret_cast<const unsigned char*>(b ? b : "");
  for (;; ++p, ++q) {
    int x = Cp1252Lower(*p), y = Cp1252Lower(*q);
    if (x != y) return x - y;
    if (x == 0) return 0;
  }
}

bool Cp1252EqualNoCase(const char* a, const char* b) { return Cp1252CompareNoCase(a, b) == 0; }

namespace {

// Unicode of cp1252 0x80-0x9F; 0 for the five unassigned bytes.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

// Length of the well-formed UTF-8 sequence at text[i] (its point in cp), or
// 0 when it is malformed.
std::size_t DecodeUtf8(std::string_view text, std::size_t i, char32_t& cp) {
  const auto lead = static_cast<unsigned char>(text[i]);
  if (lead < 0x80) {
    cp = lead;
    return 1;
  }
  // Leads 0xC0, 0xC1 and 0xF5-0xFF start only overlong or out-of-range forms.
  const std::size_t length = lead >= 0xC2 && lead <= 0xDF ? 2 : lead >= 0xE0 && lead <= 0xEF ? 3
                             : lead >= 0xF0 && lead <= 0xF4 ? 4 : 0;
  if (length == 0 || text.size() - i < length) return 0;
  cp = lead & (0x7F >> length);
  for (std::size_t k = 1; k < length; ++k) {
    const auto c = static_cast<unsigned char>(text[i + k]);
    if ((c & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (c & 0x3F);
  }
  static constexpr char32_t kSmallest[5] = {0, 0, 0x80, 0x800, 0x10000};
  if (cp < kSmallest[length] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
  return length;
}

}  // namespace

int Cp1252ToUnicode(unsigned char byte, Unassigned policy) {
  if (byte < 0x80 || byte > 0x9F) return byte;
  const char16_t cp = kCp1252High[byte - 0x80];
  if (cp != 0) return cp;
  return policy == Unassigned::kKeepC1 ? byte : -1;
}

int UnicodeToCp1252(char32_t cp, Unassigned policy) {
  if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<int>(cp);
  if (cp < 0xA0)  // a C1 point: only an unassigned byte kept as itself
    return policy == Unassigned::kKeepC1 && kCp1252High[cp - 0x80] == 0 ? static_cast<int>(cp) : -1;
  for (int k = 0; k < 32; ++k)
    if (kCp1252High[k] == cp) return 0x80 + k;
  return -1;
}

bool Cp1252ToUtf8(std::string_view cp1252, std::string& out, Unassigned policy) {
  out.clear();
  out.reserve(cp1252.size() + 8);
  for (unsigned char c : cp1252) {
    const int cp = Cp1252ToUnicode(c, policy);
    if (cp < 0) return false;
    AppendUtf8(out, static_cast<char32_t>(cp));
  }
  return true;
}

bool Utf8ToCp1252(std::string_view utf8, std::string& out, Unassigned policy) {
  out.clear();
  out.reserve(utf8.size());
  char32_t cp;
  for (std::size_t i = 0; i < utf8.size();) {
    const std::size_t n = DecodeUtf8(utf8, i, cp);
    if (n == 0) return false;
    i += n;
    const int byte = UnicodeToCp1252(cp, policy);
    if (byte < 0) return false;
    out += static_cast<char>(byte);
  }
  return true;
}

bool IsWellFormedUtf8(std::string_view text) {
  char32_t cp;
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t n = DecodeUtf8(text, i, cp);
    if (n == 0) return false;
    i += n;
  }
  return true;
}

std::string Cp1252ToUtf8(std::string_view cp1252) {
  std::string out;
  Cp1252ToUtf8(cp1252, out, Unassigned::kKeepC1);  // keeping C1 points, every byte has a form
  return out;
}

bool ProgramName(std::string_view diskName, std::string& out) {
  // A name that is not UTF-8 was written by an older program in a
  // single-byte set: kept as found.
  if (!IsWellFormedUtf8(diskName)) {
    out.assign(diskName);
    return true;
  }
  return Utf8ToCp1252(diskName, out, Unassigned::kKeepC1);
}

std::string ShownName(std::string_view diskName) {
  std::string out;
  if (ProgramName(diskName, out)) return out;
  out.clear();
  char32_t cp;
  for (std::size_t i = 0; i < diskName.size();) {
    i += DecodeUtf8(diskName, i, cp);  // well-formed: ProgramName took the other names
    const int byte = UnicodeToCp1252(cp, Unassigned::kKeepC1);
    if (byte >= 0) {
      out += static_cast<char>(byte);
      continue;
    }
    char code[16];
    std::snprintf(code, sizeof code, "<U+%04X>", static_cast<unsigned>(cp));
    out += code;
  }
  return out;
}

}  // namespace platform
