// A read of the code under test refused by the disk, as a sector that cannot be read once: the
// n-th read (counted from 1) of the file whose path ends with the name given ("/sauvegarde/
// c50a.dbf": of the restore's copy only) fails with EIO, as the read counter
// (platform/system/write_fault.h) refuses it; every other read and every change goes through.
// `forGood`: that read and every later one of the file, as a disk that can no longer read it.
#pragma once

#include <climits>
#include <string>

#include "platform/system/write_fault.h"
#include "support/refused_write.h"

namespace test_support {

struct RefusedRead : NthOfFile<RefusedRead> {
  static void Arm(const std::string& file, int nth, bool forGood = false) {
    Choose(file, nth);
    // Set, a fault sends every read through the counter (the engine maps nothing); this one
    // refuses none until the hook sets it on the read chosen.
    platform::SetWriteFault(platform::WriteFault::kReadFailOnce, LONG_MAX);
    if (forGood) {
      platform::BeforeFileRead = [] {
        const bool refused = ChosenOrLater(platform::ReadBeingMade(), "read ");
        platform::SetWriteFault(platform::WriteFault::kReadFailOnce, refused ? 1 : LONG_MAX);
      };
      return;
    }
    platform::BeforeFileRead = [] {
      if (Chosen(platform::ReadBeingMade(), "read "))
        platform::SetWriteFault(platform::WriteFault::kReadFailOnce, 1);  // this very read
    };
  }
  // Seen: the reads of the file (a run that saw fewer than `nth` read it whole).
  static void Disarm() {
    platform::BeforeFileRead = nullptr;
    platform::SetWriteFault(platform::WriteFault::kNone, 0);
  }
};

}  // namespace test_support
