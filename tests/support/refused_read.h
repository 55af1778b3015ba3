// A read of the code under test refused by the disk, as a sector that cannot be read once: the
// n-th read (counted from 1) of the file whose path ends with the name given ("/sauvegarde/
// c50a.dbf": of the restore's copy only) fails with EIO, as the read counter
// (platform/system/write_fault.h) refuses it; every other read and every change goes through.
#pragma once

#include <climits>
#include <string>

#include "platform/system/write_fault.h"

namespace test_support {

struct RefusedRead {
  static void Arm(const std::string& file, int nth) {
    File() = file;
    nth_ = nth;
    seen_ = 0;
    // Set, a fault sends every read through the counter (the engine maps nothing); this one
    // refuses none until the hook sets it on the read chosen.
    platform::SetWriteFault(platform::WriteFault::kReadFailOnce, LONG_MAX);
    platform::BeforeFileRead = [] {
      const std::string& read = platform::ReadBeingMade();
      if (read.size() >= File().size() && read.compare(read.size() - File().size(), File().size(), File()) == 0 &&
          ++seen_ == nth_)
        platform::SetWriteFault(platform::WriteFault::kReadFailOnce, 1);  // this very read
    };
  }
  // The reads of the file seen since Arm (a run that saw fewer than `nth` read it whole).
  static int Seen() { return seen_; }
  static void Disarm() {
    platform::BeforeFileRead = nullptr;
    platform::SetWriteFault(platform::WriteFault::kNone, 0);
  }

 private:
  static std::string& File() {
    static std::string file;
    return file;
  }
  static inline int nth_ = 0, seen_ = 0;
};

}  // namespace test_support
