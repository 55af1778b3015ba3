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
#include <string_view>
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

// The general ledger's baseline: the general lines of the tables sorted by account, date and journal,
// written as CSV (account;date;journal;piece;label;debit;credit) to `out`; the bytes written.
inline long PlainSortAndWrite(const std::vector<std::pair<std::string, char>>& tables, const std::string& out) {
  struct Line {
    std::string key;   // account, year-month, day, journal, piece
    std::string text;  // the CSV line
  };
  std::vector<Line> lines;
  for (const auto& [path, prefix] : tables) {
    std::vector<int> at, width;
    ScanDbf(path, LineFields(prefix), at, width, [&](const char* r) {
      if (at[0] < 0 || r[at[0]] != 'Z') return;
      auto field = [&](int i) { return std::string_view(r + at[static_cast<std::size_t>(i)], width[static_cast<std::size_t>(i)]); };
      Line l;
      l.key.append(field(5)).append(field(1)).append(field(4)).append(field(2)).append(field(3));
      const long long cents = Cents(r + at[8], width[8]);
      char amount[32];
      std::snprintf(amount, sizeof amount, "%lld,%02lld", cents / 100, (cents < 0 ? -cents : cents) % 100);
      const bool debit = r[at[7]] == 'D';
      l.text.append(field(5)).append(";").append(field(4)).append("/").append(field(1).substr(2, 2)).append(";");
      l.text.append(field(2)).append(";").append(field(3)).append(";").append(field(6)).append(";");
      l.text.append(debit ? amount : "0,00").append(";").append(debit ? "0,00" : amount).append("\r\n");
      lines.push_back(std::move(l));
    });
  }
  std::stable_sort(lines.begin(), lines.end(), [](const Line& a, const Line& b) { return a.key < b.key; });
  std::FILE* f = std::fopen(out.c_str(), "wb");
  if (f == nullptr) return 0;
  long bytes = 0;
  for (const Line& l : lines) bytes += static_cast<long>(std::fwrite(l.text.data(), 1, l.text.size(), f));
  std::fclose(f);
  return bytes;
}

}  // namespace bench_world
