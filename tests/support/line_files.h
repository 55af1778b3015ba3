// Damage of the kind a dossier's line files meet: records deleted and not yet packed.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <string>

namespace test_support {

// Pads a line file with deleted blank records up to `records` physical records, as lines
// deleted and not yet packed leave it.
inline void PadWithDeletedRecords(const std::string& dbf, std::uint32_t records) {
  std::fstream f(dbf, std::ios::in | std::ios::out | std::ios::binary);
  ASSERT_TRUE(f.is_open()) << dbf;
  unsigned char h[12];
  f.read(reinterpret_cast<char*>(h), sizeof h);
  const std::uint32_t count = h[4] | h[5] << 8 | h[6] << 16 | static_cast<std::uint32_t>(h[7]) << 24;
  const std::uint32_t header = h[8] | h[9] << 8, length = h[10] | h[11] << 8;
  ASSERT_LT(count, records);
  std::string record(length, ' ');
  record[0] = '*';
  std::string chunk;
  for (int i = 0; i < 4096; ++i) chunk += record;
  f.seekp(static_cast<std::streamoff>(header) + static_cast<std::streamoff>(count) * length);
  for (std::uint32_t left = records - count; left > 0;) {
    const std::uint32_t n = left < 4096 ? left : 4096;
    f.write(chunk.data(), static_cast<std::streamsize>(n) * length);
    left -= n;
  }
  f.put('\x1A');
  const char total[4] = {static_cast<char>(records & 0xFF), static_cast<char>(records >> 8 & 0xFF),
                         static_cast<char>(records >> 16 & 0xFF), static_cast<char>(records >> 24 & 0xFF)};
  f.seekp(4);
  f.write(total, 4);
  ASSERT_TRUE(f.good());
}

}  // namespace test_support
