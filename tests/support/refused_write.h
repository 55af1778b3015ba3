// A write of the code under test refused by the file it goes to: the n-th write (counted from 1)
// of the file whose path ends with the name given (".dbf": of any table's records), refused once
// or for good from there on, as the change counter (platform/system/write_fault.h) refuses it.
#pragma once

#include <string>

#include "platform/system/write_fault.h"

namespace test_support {

// The n-th change or read of the file whose path ends with a name, counted as the counter names
// them ("write /path/c50a.dbf"); each kind of refusal (`Kind`) keeps a count of its own.
template <typename Kind>
class NthOfFile {
 public:
  // The changes or reads of the file seen since Arm.
  static int Seen() { return seen_; }

 protected:
  static void Choose(const std::string& file, int nth) {
    File() = file;
    nth_ = nth;
    seen_ = 0;
  }
  // Whether `named` ("write /path/x", "read /path/x") is the chosen one: the n-th of the file
  // beginning with `what`.
  static bool Chosen(const std::string& named, const std::string& what) {
    return named.rfind(what, 0) == 0 && named.size() >= File().size() &&
           named.compare(named.size() - File().size(), File().size(), File()) == 0 && ++seen_ == nth_;
  }
  // The same for the n-th and every later one.
  static bool ChosenOrLater(const std::string& named, const std::string& what) {
    return named.rfind(what, 0) == 0 && named.size() >= File().size() &&
           named.compare(named.size() - File().size(), File().size(), File()) == 0 && ++seen_ >= nth_;
  }

 private:
  static std::string& File() {
    static std::string file;
    return file;
  }
  static inline int nth_ = 0, seen_ = 0;
};

struct RefusedWrite : NthOfFile<RefusedWrite> {
  static void Arm(const std::string& file, int nth, platform::WriteFault fault) {
    Choose(file, nth);
    fault_ = fault;
    platform::BeforeFileChange = [] {
      if (Chosen(platform::ChangeBeingMade(), "write ")) platform::SetWriteFault(fault_, 1);  // this very change
    };
  }
  // Seen: the writes of the file (a run that saw fewer than `nth` went through uncut).
  static void Disarm() {
    platform::BeforeFileChange = nullptr;
    platform::SetWriteFault(platform::WriteFault::kNone, 0);
  }

 private:
  static inline platform::WriteFault fault_ = platform::WriteFault::kNone;
};

}  // namespace test_support
