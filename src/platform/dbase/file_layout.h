// Where the fields of the engine's files lie: byte offsets of the .dbf header and field
// descriptors, the .mdx header, tag table entries, tag headers and nodes, and the .dbt
// header. The engine's readers and writers use these names; no other layer touches the bytes.
// Numbers are little-endian.
#pragma once

#include "engine_users.h"

#include <bit>
#include <cstddef>
#include <cstdint>

namespace dbase {

// Little-endian numbers at a place in a file's bytes.
inline std::uint16_t Get16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }
inline std::uint32_t Get32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}
inline void Put16(std::uint8_t* p, std::uint16_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
}
inline void Put32(std::uint8_t* p, std::uint32_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
  p[2] = static_cast<std::uint8_t>(v >> 16);
  p[3] = static_cast<std::uint8_t>(v >> 24);
}
// An 8-byte IEEE double (the date keys of an index).
inline double GetDouble(const std::uint8_t* p) {
  std::uint64_t bits = 0;
  for (int i = 7; i >= 0; --i) bits = bits << 8 | p[i];
  return std::bit_cast<double>(bits);
}
inline void PutDouble(std::uint8_t* p, double v) {
  std::uint64_t bits = std::bit_cast<std::uint64_t>(v);
  for (int i = 0; i < 8; ++i, bits >>= 8) p[i] = static_cast<std::uint8_t>(bits);
}

// .dbf: a 32-byte header, one 32-byte descriptor per field, then 0x0D.
namespace dbf_header {
inline constexpr std::size_t kVersion = 0;          // 0x03, or 0x8B / 0x83 with a memo file
inline constexpr std::size_t kLastUpdate = 1;       // 3 bytes: years since 1900, month, day
inline constexpr std::size_t kRecordCount = 4;      // 32 bits
inline constexpr std::size_t kHeaderLength = 8;     // 16 bits, descriptors and 0x0D included
inline constexpr std::size_t kRecordLength = 10;    // 16 bits, delete mark included
inline constexpr std::size_t kProductionIndex = 28; // 1 when a production .mdx goes with the file
inline constexpr std::size_t kLanguageDriver = 29;
inline constexpr std::size_t kSize = 32;            // where the first field descriptor starts
}  // namespace dbf_header

namespace dbf_field {
inline constexpr std::size_t kName = 0;        // NUL-padded, upper-case
inline constexpr std::size_t kNameLength = 11;
inline constexpr std::size_t kType = 11;       // C, N, D, L, M, F
inline constexpr std::size_t kWidth = 16;
inline constexpr std::size_t kDecimals = 17;
inline constexpr std::size_t kSize = 32;
}  // namespace dbf_field

// .mdx: the file header (first 512 bytes), then the tag table.
namespace mdx_header {
inline constexpr std::size_t kVersion = 0;          // 2
inline constexpr std::size_t kCreated = 1;          // 3 bytes YY MM DD
inline constexpr std::size_t kTableName = 4;        // NUL-padded
inline constexpr std::size_t kTableNameLength = 16;
inline constexpr std::size_t kBlocksPerPage = 20;   // 16 bits
inline constexpr std::size_t kPageLength = 22;      // 16 bits
inline constexpr std::size_t kProduction = 24;      // 1 for a production index
inline constexpr std::size_t kTagSlots = 25;
inline constexpr std::size_t kTagEntryLength = 26;
inline constexpr std::size_t kTagsInUse = 28;       // 16 bits
inline constexpr std::size_t kNextFreeBlock = 32;   // 32 bits: first block past the end
inline constexpr std::size_t kFreeListHead = 36;    // 32 bits
inline constexpr std::size_t kFreeListPages = 40;   // 32 bits
inline constexpr std::size_t kLastUpdate = 44;      // 3 bytes YY MM DD
// Reserved bytes that dBASE readers skip, used by this engine: an update mark, nonzero from
// before an update's first write until after its last, then the change counter.
inline constexpr std::size_t kUpdateMark = 504;     // 32 bits
inline constexpr std::size_t kChangeCounter = 508;  // 32 bits, raised by every update
inline constexpr std::size_t kTagTable = 512;       // tag n (from 1) at kTagTable + 32 n
}  // namespace mdx_header

namespace mdx_tag_entry {
inline constexpr std::size_t kHeaderBlock = 0;  // 32 bits: block of the tag header
inline constexpr std::size_t kName = 4;         // NUL-padded
inline constexpr std::size_t kNameLength = 11;
inline constexpr std::size_t kKeyFormat = 15;
inline constexpr std::size_t kLeftTag = 16;     // tag tree links: sequence numbers
inline constexpr std::size_t kRightTag = 17;
inline constexpr std::size_t kParentTag = 18;
inline constexpr std::size_t kTagFlag = 19;
inline constexpr std::size_t kKeyType = 20;     // 'C', 'N' or 'D'
inline constexpr std::size_t kSize = 32;
}  // namespace mdx_tag_entry

namespace mdx_tag_header {
inline constexpr std::size_t kRoot = 0;           // 32 bits: block of the root node
inline constexpr std::size_t kKeyFormat = 8;
inline constexpr std::size_t kKeyType = 9;
inline constexpr std::size_t kKeyLength = 12;     // 16 bits
inline constexpr std::size_t kKeysPerPage = 14;   // 16 bits
inline constexpr std::size_t kItemLength = 18;    // 16 bits
inline constexpr std::size_t kUnique = 23;
inline constexpr std::size_t kKeyExpr = 24;       // NUL-ended text
inline constexpr std::size_t kKeyExprMax = 220;
inline constexpr std::size_t kForFlag = 245;      // 1 when the tag has a condition
inline constexpr std::size_t kFirstLeaf = 248;    // 32 bits: block of the first leaf
inline constexpr std::size_t kForExpr = 762;      // NUL-ended text
// Bits of the key format byte (tag header and tag table entry).
inline constexpr std::uint8_t kDescendingBit = 0x08;
inline constexpr std::uint8_t kUniqueBit = 0x40;
}  // namespace mdx_tag_header

namespace mdx_node {
inline constexpr std::size_t kKeyCount = 0;  // 32 bits
inline constexpr std::size_t kItems = 8;     // items of (32-bit number, key)
}  // namespace mdx_node

// .dbt (dBASE IV): the first block holds the header.
namespace dbt_header {
inline constexpr std::size_t kNextFreeBlock = 0;  // 32 bits
inline constexpr std::size_t kTableName = 8;      // 8 bytes, NUL-padded
inline constexpr std::size_t kTableNameLength = 8;
inline constexpr std::size_t kBlockLength = 20;   // 16 bits
}  // namespace dbt_header

}  // namespace dbase
