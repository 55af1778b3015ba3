// What a test sees of a file written past the file cache (file_pieces.h), and the refusals it
// makes the writer meet that its own disk would not give: which way the bytes went, and each
// way the writer falls back to the cache. Null in the program, where the writer tests the
// pointer once per piece.
#pragma once

#include <cstddef>

namespace platform {

struct PastCacheSeam {
  // Set by the test.
  bool refuseDirect = false;     // the file system refuses the direct flag (as tmpfs did before 6.6)
  bool refuseAlignment = false;  // every direct write is refused as misaligned (EINVAL), as on a
                                 // disk whose blocks are larger than a page
  bool refuseLeaving = false;    // the direct flag cannot be taken off again
  // Recorded by the writer, added up over the files it writes.
  int openedDirect = 0;          // files that took the direct flag
  int leftDirect = 0;            // files that went over to the cache midway
  std::size_t directBytes = 0;   // bytes written past the cache
  std::size_t cachedBytes = 0;   // bytes written through the cache
};

// Set by a test for the writes it watches; null in the program.
extern PastCacheSeam* pastCacheSeam;

}  // namespace platform
