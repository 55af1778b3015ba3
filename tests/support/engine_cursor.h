// An engine cursor that closes itself: a failing assertion never leaves a cursor, its
// record locks and its files open for the next test.
#pragma once

#include "dbase/idapi.h"

namespace test_support {

class EngineCursor {
 public:
  EngineCursor() = default;
  ~EngineCursor() { Close(); }
  EngineCursor(const EngineCursor&) = delete;
  EngineCursor& operator=(const EngineCursor&) = delete;

  // Where an opening writes the new cursor; any cursor held before is closed first.
  dbase::hDBICur* Out() {
    Close();
    return &cur_;
  }
  // The handle itself, for calls that change it in place (a switch of order).
  dbase::hDBICur* Handle() { return &cur_; }
  operator dbase::hDBICur() const { return cur_; }
  dbase::DBIResult Close() { return cur_ != nullptr ? dbase::DbiCloseCursor(&cur_) : dbase::DBIERR_NONE; }

 private:
  dbase::hDBICur cur_ = nullptr;
};

}  // namespace test_support
