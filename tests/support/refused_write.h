// A write of the code under test refused by the file it goes to: the n-th write (counted from 1)
// of the file whose path ends with the name given (".dbf": of any table's records), refused once
// or for good from there on, as the change counter (platform/system/write_fault.h) refuses it.
#pragma once

#include <string>

#include "platform/system/write_fault.h"

namespace test_support {

struct RefusedWrite {
  static void Arm(const std::string& file, int nth, platform::WriteFault fault) {
    File() = file;
    nth_ = nth;
    seen_ = 0;
    fault_ = fault;
    platform::BeforeFileChange = [] {
      const std::string& change = platform::ChangeBeingMade();
      if (change.rfind("write ", 0) == 0 && change.size() >= File().size() &&
          change.compare(change.size() - File().size(), File().size(), File()) == 0 && ++seen_ == nth_)
        platform::SetWriteFault(fault_, 1);  // this very change
    };
  }
  // The writes of the file seen since Arm (a run that saw fewer than `nth` went through uncut).
  static int Seen() { return seen_; }
  static void Disarm() {
    platform::BeforeFileChange = nullptr;
    platform::SetWriteFault(platform::WriteFault::kNone, 0);
  }

 private:
  static std::string& File() {
    static std::string file;
    return file;
  }
  static inline int nth_ = 0, seen_ = 0;
  static inline platform::WriteFault fault_ = platform::WriteFault::kNone;
};

}  // namespace test_support
