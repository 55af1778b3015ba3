// The baselines of the report benchmarks: what a plain C++ program does with the same tables, read as
// bytes without the table layer. A trial balance's baseline sums the general lines of C40 and C50 per
// account in cents; a general ledger's sorts the same lines by account and date and writes them as CSV.
// Each benchmark prints its figure over its baseline measured in the same program.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

namespace bench_world {

// A dBASE table read in chunks of records; `each` gets every live record's bytes. The offsets of the
// fields named are given in `offsets` (-1 for a name the table lacks), their widths in `widths`.
inline bool ScanDbf(const std::string& path, const std::vector<std::string>& names, std::vector<int>& offsets,
                    std::vector<int>& widths, const std::function<void(const char*)>& each) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) return false;
  unsigned char head[32];
  if (std::fread(head, 1, 32, f) != 32) {
    std::fclose(f);
    return false;
  }
  const std::uint32_t count = head[4] | head[5] << 8 | head[6] << 16 | static_cast<std::uint32_t>(head[7]) << 24;
  const int headerLength = head[8] | head[9] << 8, recordLength = head[10] | head[11] << 8;
  std::vector<unsigned char> descriptors(static_cast<std::size_t>(headerLength) - 32);
  if (std::fread(descriptors.data(), 1, descriptors.size(), f) != descriptors.size()) {
    std::fclose(f);
    return false;
  }
  offsets.assign(names.size(), -1);
  widths.assign(names.size(), 0);
  int offset = 1;
  for (std::size_t d = 0; d + 32 <= descriptors.size() && descriptors[d] != 0x0D; d += 32) {
    const std::string name(reinterpret_cast<const char*>(&descriptors[d]),
                           strnlen(reinterpret_cast<const char*>(&descriptors[d]), 11));
    for (std::size_t i = 0; i < names.size(); ++i)
      if (names[i] == name) {
        offsets[i] = offset;
        widths[i] = descriptors[d + 16];
      }
    offset += descriptors[d + 16];
  }
  constexpr std::uint32_t kChunk = 4096;
  std::vector<char> chunk(static_cast<std::size_t>(recordLength) * kChunk);
  for (std::uint32_t done = 0; done < count;) {
    const std::uint32_t n = std::min(kChunk, count - done);
    if (std::fread(chunk.data(), static_cast<std::size_t>(recordLength), n, f) != n) break;
    for (std::uint32_t r = 0; r < n; ++r) {
      const char* record = chunk.data() + static_cast<std::size_t>(r) * recordLength;
      if (record[0] != '*') each(record);
    }
    done += n;
  }
  std::fclose(f);
  return true;
}

// A stored amount ("   -1234.56") in cents.
inline long long Cents(const char* text, int width) {
  long long v = 0;
  bool negative = false;
  for (int i = 0; i < width; ++i) {
    const char c = text[i];
    if (c == '-') negative = true;
    else if (c >= '0' && c <= '9') v = v * 10 + (c - '0');
  }
  return negative ? -v : v;
}

// The general lines of a closed (C40, "D" names) or draft (C50, "B" names) table: the fields the
// baselines read, in this order.
inline std::vector<std::string> LineFields(char prefix) {
  std::vector<std::string> names;
  for (const char* n : {"CLE", "MOIS", "JAL", "PIECE", "JOUR", "CODE", "LIB", "SENS", "MONTANTE"})
    names.push_back(std::string(1, prefix) + n);
  return names;
}

// The trial balance's baseline: debit and credit in cents per account over the general lines of the
// tables; the number of lines read.
inline long PlainBalance(const std::vector<std::pair<std::string, char>>& tables) {
  std::unordered_map<std::uint64_t, std::pair<long long, long long>> totals;
  long lines = 0;
  for (const auto& [path, prefix] : tables) {
    std::vector<int> at, width;
    ScanDbf(path, LineFields(prefix), at, width, [&](const char* r) {
      if (at[0] < 0 || r[at[0]] != 'Z') return;
      std::uint64_t key = 0;
      std::memcpy(&key, r + at[5], 8);
      auto& t = totals[key];
      (r[at[7]] == 'D' ? t.first : t.second) += Cents(r + at[8], width[8]);
      ++lines;
    });
  }
  return totals.empty() ? 0 : lines;
}

// The general ledger's baseline: the general lines of the tables kept as fixed records, sorted by account,
// date, journal and piece (file order among equals), written as CSV (account;date;journal;piece;label;
// debit;credit) to `out` through a buffer; the bytes written.
inline long PlainSortAndWrite(const std::vector<std::pair<std::string, char>>& tables, const std::string& out) {
  struct Line {
    char key[23];  // account 8, month 4, day 2, journal 3, piece 6
    char label[25];
    char sense;
    long long cents;
    std::uint32_t sequence;
  };
  std::vector<Line> lines;
  for (const auto& [path, prefix] : tables) {
    std::vector<int> at, width;
    ScanDbf(path, LineFields(prefix), at, width, [&](const char* r) {
      if (at[0] < 0 || r[at[0]] != 'Z') return;
      Line l;
      std::memcpy(l.key, r + at[5], 8);
      std::memcpy(l.key + 8, r + at[1], 4);
      std::memcpy(l.key + 12, r + at[4], 2);
      std::memcpy(l.key + 14, r + at[2], 3);
      std::memcpy(l.key + 17, r + at[3], 6);
      std::memcpy(l.label, r + at[6], 25);
      l.sense = r[at[7]];
      l.cents = Cents(r + at[8], width[8]);
      l.sequence = static_cast<std::uint32_t>(lines.size());
      lines.push_back(l);
    });
  }
  std::sort(lines.begin(), lines.end(), [](const Line& a, const Line& b) {
    const int c = std::memcmp(a.key, b.key, sizeof a.key);
    return c != 0 ? c < 0 : a.sequence < b.sequence;
  });
  std::FILE* f = std::fopen(out.c_str(), "wb");
  if (f == nullptr) return 0;
  std::string buffer;
  buffer.reserve(1 << 20);
  long bytes = 0;
  auto amount = [&buffer](long long cents) {
    char text[32];
    const int n = std::snprintf(text, sizeof text, "%lld,%02lld", cents / 100, (cents < 0 ? -cents : cents) % 100);
    buffer.append(text, static_cast<std::size_t>(n));
  };
  for (const Line& l : lines) {
    buffer.append(l.key, 8).append(";").append(l.key + 12, 2).append("/").append(l.key + 10, 2).append(";");
    buffer.append(l.key + 14, 3).append(";").append(l.key + 17, 6).append(";").append(l.label, 25).append(";");
    if (l.sense == 'D') {
      amount(l.cents);
      buffer.append(";0,00\r\n");
    } else {
      buffer.append("0,00;");
      amount(l.cents);
      buffer.append("\r\n");
    }
    if (buffer.size() > (1 << 20) - 256) {
      bytes += static_cast<long>(std::fwrite(buffer.data(), 1, buffer.size(), f));
      buffer.clear();
    }
  }
  bytes += static_cast<long>(std::fwrite(buffer.data(), 1, buffer.size(), f));
  std::fclose(f);
  return bytes;
}

}  // namespace bench_world
