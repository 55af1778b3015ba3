// A file written whole from a content made piece by piece (a large export made as it is
// written, never held whole in memory).
#pragma once

#include <cstddef>
#include <functional>
#include <string>

namespace platform {

// `next` either fills `buffer` (given empty, its capacity kept from one piece to the next) or
// points `data` and `size` at its piece, and returns false once there is none left.
using PieceSource = std::function<bool(std::string& buffer, const char*& data, std::size_t& size)>;

// As WriteFileAtomic: the pieces go to a temporary file in the same folder, flushed, then
// renamed over `path`; on any failure the older file stays and no temporary is left.
// With `pastCache`, the pieces that begin on a page boundary of memory and hold whole pages
// (kPageAlignment) go straight to the disk without a copy into the file cache, as long as the
// file system allows it and the pieces before them did so; the rest is written through the cache
// as usual. For a large file written once and not read back soon: no cache pages are filled,
// the flush at the end has little left to write.
inline constexpr std::size_t kPageAlignment = 4096;
bool WriteFileAtomic(const std::string& path, const PieceSource& next, bool pastCache = false);

}  // namespace platform
