// Where each field of a record lies in the raw record buffer. Key and condition expressions
// and the index files read records through this description only, so they never depend on
// how the data file is opened. The buffer's byte 0 is the delete mark ('*' or blank); the
// first field starts at offset 1.
#pragma once

#include "engine_users.h"

#include <cstdint>
#include <string>
#include <vector>

namespace dbase {

struct FieldLayout {
  std::string name;          // upper-case, at most 10 characters
  char type = 'C';           // C, N, F, D, L, M
  std::uint32_t offset = 0;  // from the delete mark
  std::uint32_t length = 0;  // width in the record
  std::uint32_t decimals = 0;
};

using RecordLayout = std::vector<FieldLayout>;

// Length of a record buffer described by the layout (delete mark included).
inline std::uint32_t RecordLength(const RecordLayout& layout) {
  std::uint32_t end = 1;
  for (const FieldLayout& f : layout) {
    if (f.offset + f.length > end) end = f.offset + f.length;
  }
  return end;
}

}  // namespace dbase
