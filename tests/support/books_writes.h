// The table layer refuses a write of the books (the lines, the sort file, the running totals)
// made while no change of lines or run lives (data/books_write_permit.h). In every test program
// the kit installs a hook that stops the test at once on such a refusal, naming the file, the
// field and the caller (books_write_guard.cpp): no test passes over a writer left outside.
//
// A test set-up that writes books itself (a line put in place, a total damaged on purpose) takes
// a permit named after what it does, for that set-up only:
//
//   { const test_support::SetUpPermit permit("ligne mise en place"); ... the set-up's writes ... }
//
// It covers the dossiers of the tests' temporary folders (under /tmp), or the scope it is given.
//
// or, in the middle of a test body, test_support::SetUpWrites damage("..."); ... damage.End();
//
// A test of the refusal itself keeps the refusals while a BooksWriteRefusals lives instead.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "data/books_write_permit.h"

namespace test_support {

// The permit of a test's own set-up, named "essai : <what>": it covers the dossiers of the tests'
// temporary folders (every TempFolder is made under /tmp), never a file elsewhere, or those `scope`
// names.
inline BooksScope TestFolders() { return {"/tmp/", "", true}; }
class SetUpPermit : public BooksWritePermit {
 public:
  explicit SetUpPermit(const std::string& what) : SetUpPermit(what, TestFolders()) {}
  SetUpPermit(const std::string& what, const BooksScope& scope) : BooksWritePermit("essai : " + what, scope) {}
};

// The same for a set-up written in the middle of a test body, which ends (End) before the test goes
// on: what the set-up declares stays in the test's scope.
class SetUpWrites {
 public:
  explicit SetUpWrites(const std::string& what) { permit_.emplace(what); }
  void End() { permit_.reset(); }

 private:
  std::optional<SetUpPermit> permit_;
};

// While it lives, the refusals are kept here rather than stopping the test.
class BooksWriteRefusals {
 public:
  BooksWriteRefusals();
  ~BooksWriteRefusals();
  BooksWriteRefusals(const BooksWriteRefusals&) = delete;
  BooksWriteRefusals& operator=(const BooksWriteRefusals&) = delete;
  const std::vector<BooksWriteRefusal>& seen() const { return seen_; }
  void clear() { seen_.clear(); }
  void Keep(const BooksWriteRefusal& refusal) { seen_.push_back(refusal); }

 private:
  std::vector<BooksWriteRefusal> seen_;
  BooksWriteRefusals* before_;
};

}  // namespace test_support
