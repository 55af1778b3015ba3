// Collating weights of cp1252: accented letters next to their base letter.
#include "weights.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

namespace dbase {

namespace {

struct Accent {
  unsigned char from;
  char base;
};

// Every accented or ligature letter of cp1252 with the letter it sorts as.
constexpr Accent kAccents[] = {
    {0x8A, 'S'}, {0x8C, 'O'}, {0x8E, 'Z'}, {0x9A, 's'}, {0x9C, 'o'}, {0x9E, 'z'}, {0x9F, 'Y'},
    {0xC0, 'A'}, {0xC1, 'A'}, {0xC2, 'A'}, {0xC3, 'A'}, {0xC4, 'A'}, {0xC5, 'A'}, {0xC6, 'A'},
    {0xC7, 'C'}, {0xC8, 'E'}, {0xC9, 'E'}, {0xCA, 'E'}, {0xCB, 'E'}, {0xCC, 'I'}, {0xCD, 'I'},
    {0xCE, 'I'}, {0xCF, 'I'}, {0xD0, 'D'}, {0xD1, 'N'}, {0xD2, 'O'}, {0xD3, 'O'}, {0xD4, 'O'},
    {0xD5, 'O'}, {0xD6, 'O'}, {0xD8, 'O'}, {0xD9, 'U'}, {0xDA, 'U'}, {0xDB, 'U'}, {0xDC, 'U'},
    {0xDD, 'Y'}, {0xDF, 's'}, {0xE0, 'a'}, {0xE1, 'a'}, {0xE2, 'a'}, {0xE3, 'a'}, {0xE4, 'a'},
    {0xE5, 'a'}, {0xE6, 'a'}, {0xE7, 'c'}, {0xE8, 'e'}, {0xE9, 'e'}, {0xEA, 'e'}, {0xEB, 'e'},
    {0xEC, 'i'}, {0xED, 'i'}, {0xEE, 'i'}, {0xEF, 'i'}, {0xF0, 'd'}, {0xF1, 'n'}, {0xF2, 'o'},
    {0xF3, 'o'}, {0xF4, 'o'}, {0xF5, 'o'}, {0xF6, 'o'}, {0xF8, 'o'}, {0xF9, 'u'}, {0xFA, 'u'},
    {0xFB, 'u'}, {0xFC, 'u'}, {0xFD, 'y'}, {0xFF, 'y'},
};

struct Tables {
  std::array<unsigned char, 256> base{};
  std::array<std::uint8_t, 256> weight{};
  Tables() {
    for (int i = 0; i < 256; ++i) base[i] = static_cast<unsigned char>(i);
    for (const Accent& a : kAccents) base[a.from] = static_cast<unsigned char>(a.base);
    std::array<int, 256> order{};
    for (int i = 0; i < 256; ++i) order[i] = i;
    std::sort(order.begin(), order.end(), [this](int x, int y) {
      if (base[x] != base[y]) return base[x] < base[y];
      return x < y;
    });
    for (int rank = 0; rank < 256; ++rank) weight[order[rank]] = static_cast<std::uint8_t>(rank);
  }
};

const Tables& GetTables() {
  static const Tables tables;
  return tables;
}

}  // namespace

const std::uint8_t* CollationWeights() { return GetTables().weight.data(); }

char BaseLetter(unsigned char c) { return static_cast<char>(GetTables().base[c]); }

int CompareWeighted(const char* a, const char* b, std::size_t n) {
  const std::uint8_t* w = GetTables().weight.data();
  // Keys of one index share long beginnings: equal bytes weigh the same, so they are passed
  // over eight at a time, and the weights (one rank per byte value) are looked up only at
  // the first byte that differs.
  auto at = [&](std::size_t k) {
    return w[static_cast<unsigned char>(a[k])] < w[static_cast<unsigned char>(b[k])] ? -1 : 1;
  };
  auto firstDiff = [](std::uint64_t x, std::uint64_t y) {
    return static_cast<std::size_t>(std::countr_zero(x ^ y) / 8);
  };
  std::size_t i = 0;
  if constexpr (std::endian::native == std::endian::little) {
    std::uint64_t x, y;
    for (; i + 8 <= n; i += 8) {
      std::memcpy(&x, a + i, 8);
      std::memcpy(&y, b + i, 8);
      if (x != y) return at(i + firstDiff(x, y));
    }
    if (i == n) return 0;
    if (n >= 8) {
      // The last eight bytes, overlapping bytes already known equal.
      std::memcpy(&x, a + n - 8, 8);
      std::memcpy(&y, b + n - 8, 8);
      return x == y ? 0 : at(n - 8 + firstDiff(x, y));
    }
  }
  for (; i < n; ++i)
    if (a[i] != b[i]) return at(i);
  return 0;
}

int CompareWeighted(std::string_view a, std::string_view b) {
  const std::size_t n = std::min(a.size(), b.size());
  const int c = CompareWeighted(a.data(), b.data(), n);
  if (c != 0) return c;
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

}  // namespace dbase
