// Small helpers of the index and expression tests: a record layout, records held in memory,
// and a temporary folder per test.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "field_layout.h"
#include "mdx.h"

namespace dbase::testing {

// CODE C6, NAME C12, KIND C1, AMOUNT N10.2, DAY D8, OK L1.
inline RecordLayout TestLayout() {
  return {
      {"CODE", 'C', 1, 6, 0},   {"NAME", 'C', 7, 12, 0}, {"KIND", 'C', 19, 1, 0},
      {"AMOUNT", 'N', 20, 10, 2}, {"DAY", 'D', 30, 8, 0}, {"OK", 'L', 38, 1, 0},
  };
}
constexpr std::uint32_t kTestRecordLength = 39;

inline void SetField(std::vector<std::uint8_t>& rec, const FieldLayout& f, const std::string& text, bool right = false) {
  std::string v = text.substr(0, f.length);
  if (right) v = std::string(f.length - v.size(), ' ') + v;
  else v.resize(f.length, ' ');
  std::memcpy(rec.data() + f.offset, v.data(), f.length);
}

inline std::vector<std::uint8_t> MakeRecord(const std::string& code, const std::string& name = "",
                                            const std::string& kind = "Z", const std::string& amount = "",
                                            const std::string& day = "", const std::string& ok = "F") {
  const RecordLayout l = TestLayout();
  std::vector<std::uint8_t> rec(kTestRecordLength, ' ');
  SetField(rec, l[0], code);
  SetField(rec, l[1], name);
  SetField(rec, l[2], kind);
  SetField(rec, l[3], amount, true);
  SetField(rec, l[4], day);
  SetField(rec, l[5], ok);
  return rec;
}

// Records 1..n held in memory.
class MemoryTable : public RecordSource {
 public:
  std::vector<std::vector<std::uint8_t>> records;  // record n at index n - 1
  std::size_t next = 0;
  bool Next(std::uint32_t* recno, const std::uint8_t** record) override {
    if (next >= records.size()) return false;
    *recno = static_cast<std::uint32_t>(next + 1);
    *record = records[next].data();
    ++next;
    return true;
  }
  MemoryTable& Rewind() {
    next = 0;
    return *this;
  }
};

class TempDir {
 public:
  TempDir() {
    char tmpl[] = "/tmp/merlon-index-XXXXXX";
    path_ = ::mkdtemp(tmpl);
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  std::string File(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

}  // namespace dbase::testing
