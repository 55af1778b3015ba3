// UTF-8 <-> Windows-1252. Bytes 0x80-0x9F of cp1252 carry typographic
// characters; the rest of the upper half is Latin-1.
#include <cstdint>
#include <string>

#include "resources/string_table.h"

namespace resources {
namespace {

// Unicode of cp1252 0x80-0x9F (0 = unassigned).
const std::uint16_t kHigh[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

bool ToCp1252(std::uint32_t cp, unsigned char& out) {
  if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) {
    out = static_cast<unsigned char>(cp);
    return true;
  }
  for (int i = 0; i < 32; ++i) {
    if (kHigh[i] != 0 && kHigh[i] == cp) {
      out = static_cast<unsigned char>(0x80 + i);
      return true;
    }
  }
  return false;
}

void AppendUtf8(std::string& out, std::uint32_t cp) {
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

}  // namespace

bool Utf8ToCp1252(const std::string& utf8, std::string& out) {
  out.clear();
  const auto* p = reinterpret_cast<const unsigned char*>(utf8.data());
  const auto* end = p + utf8.size();
  while (p < end) {
    std::uint32_t cp;
    int extra;
    if (*p < 0x80) {
      cp = *p;
      extra = 0;
    } else if ((*p & 0xE0) == 0xC0) {
      cp = *p & 0x1F;
      extra = 1;
    } else if ((*p & 0xF0) == 0xE0) {
      cp = *p & 0x0F;
      extra = 2;
    } else if ((*p & 0xF8) == 0xF0) {
      cp = *p & 0x07;
      extra = 3;
    } else {
      return false;
    }
    if (end - p <= extra) return false;
    for (int i = 1; i <= extra; ++i) {
      if ((p[i] & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (p[i] & 0x3F);
    }
    // Overlong forms are malformed.
    if ((extra == 1 && cp < 0x80) || (extra == 2 && cp < 0x800) || (extra == 3 && cp < 0x10000))
      return false;
    p += extra + 1;
    unsigned char b;
    if (!ToCp1252(cp, b)) return false;
    out += static_cast<char>(b);
  }
  return true;
}

std::string Cp1252ToUtf8(const std::string& cp1252) {
  std::string out;
  out.reserve(cp1252.size());
  for (unsigned char c : cp1252) {
    if (c >= 0x80 && c <= 0x9F) {
      std::uint32_t cp = kHigh[c - 0x80];
      AppendUtf8(out, cp ? cp : 0xFFFD);
    } else {
      AppendUtf8(out, c);
    }
  }
  return out;
}

}  // namespace resources
