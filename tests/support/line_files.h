// Damage of the kind a dossier's line files meet: records deleted and not yet packed.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <fstream>
#include <map>
#include <string>
#include <vector>

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

// The records of a .dbf read and written as bytes, fields found by name in its header: what a
// test damages as a stray program or a faulty disk would, past the engine.
class RawRecords {
 public:
  explicit RawRecords(std::string dbf) : path_(std::move(dbf)) {
    std::ifstream f(path_, std::ios::binary);
    std::string h(32, '\0');
    f.read(h.data(), 32);
    const auto byte = [&h](std::size_t i) { return static_cast<std::uint32_t>(static_cast<unsigned char>(h[i])); };
    count_ = byte(4) | byte(5) << 8 | byte(6) << 16 | byte(7) << 24;
    header_ = byte(8) | byte(9) << 8;
    length_ = byte(10) | byte(11) << 8;
    std::uint32_t offset = 1;
    for (char d[32]; f.read(d, 32) && d[0] != '\r';) {
      const std::uint32_t width = static_cast<unsigned char>(d[16]);
      fields_[std::string(d, strnlen(d, 11))] = {offset, width};
      offset += width;
    }
  }
  std::uint32_t Count() const { return count_; }
  // The whole record n (1-based), delete mark first.
  std::string Record(std::uint32_t n) const {
    std::ifstream f(path_, std::ios::binary);
    std::string r(length_, '\0');
    f.seekg(static_cast<std::streamoff>(header_) + static_cast<std::streamoff>(n - 1) * length_);
    f.read(r.data(), length_);
    return r;
  }
  std::string Field(const std::string& record, const std::string& name) const {
    const auto& [offset, width] = fields_.at(name);
    return record.substr(offset, width);
  }
  // Writes `bytes` over field `name` of record n, cut or blank-padded on the left to its width.
  void Put(std::uint32_t n, const std::string& name, std::string bytes) const {
    const auto& [offset, width] = fields_.at(name);
    if (bytes.size() < width) bytes.insert(0, width - bytes.size(), ' ');
    bytes.resize(width);
    std::fstream f(path_, std::ios::in | std::ios::out | std::ios::binary);
    f.seekp(static_cast<std::streamoff>(header_) + static_cast<std::streamoff>(n - 1) * length_ + offset);
    f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  }
  // Gives field `name` the name `to` in the header, as a format that named it so holds the table.
  void Rename(const std::string& name, std::string to) const {
    std::ifstream in(path_, std::ios::binary);
    for (std::uint32_t at = 32; at + 32 <= header_; at += 32) {
      char d[32];
      in.seekg(at);
      if (!in.read(d, 32) || d[0] == '\r') break;
      if (std::string(d, strnlen(d, 11)) != name) continue;
      to.resize(11, '\0');
      std::fstream f(path_, std::ios::in | std::ios::out | std::ios::binary);
      f.seekp(at);
      f.write(to.data(), 11);
      return;
    }
    ADD_FAILURE() << "no field " << name << " in " << path_;
  }

 private:
  std::string path_;
  std::uint32_t count_ = 0, header_ = 0, length_ = 0;
  std::map<std::string, std::pair<std::uint32_t, std::uint32_t>> fields_;
};

}  // namespace test_support
