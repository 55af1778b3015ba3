#include "platform/system/cp1252.h"

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

}  // namespace platform
