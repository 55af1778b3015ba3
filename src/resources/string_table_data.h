// Layout of the generated string data (UTF-8 texts sorted by id).
#pragma once

namespace resources::detail {
struct RawString {
  int id;
  const char* utf8;
  unsigned length;
};
extern const RawString kRawStrings[];
extern const unsigned kRawStringCount;
}  // namespace resources::detail
