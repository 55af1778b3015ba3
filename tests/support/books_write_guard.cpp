// The test kit's hook on the table layer's refusal of a write of the books outside a change of
// lines or a run (support/books_writes.h): linked into every test program, it stops the test at
// once, naming the file, the field, what was written and the caller, unless a BooksWriteRefusals
// keeps the refusals.
#include <dlfcn.h>
#include <execinfo.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "support/books_writes.h"

namespace test_support {
namespace {

BooksWriteRefusals*& Keeper() {
  static BooksWriteRefusals* keeper = nullptr;
  return keeper;
}

const char* WriteName(BooksWrite write) {
  switch (write) {
    case BooksWrite::Field: return "field";
    case BooksWrite::Record: return "record rewritten";
    case BooksWrite::Append: return "append";
    case BooksWrite::Delete: return "delete mark";
    case BooksWrite::Recall: return "delete mark removed";
    case BooksWrite::Empty: return "table emptied";
    case BooksWrite::Pack: return "table packed";
    case BooksWrite::Replace: return "table written over";
  }
  return "?";
}

// The frames of the caller as "function at file:line", read from the program's debug information by
// addr2line (binutils); a frame it cannot name stays as backtrace_symbols gives it.
std::vector<std::string> Frames(void* const* frames, int count) {
  std::vector<std::string> named;
  char** symbols = backtrace_symbols(frames, count);
  for (int i = 0; i < count; ++i) named.push_back(symbols != nullptr ? symbols[i] : "?");
  std::free(symbols);
  for (int i = 0; i < count; ++i) {
    Dl_info info{};
    if (dladdr(frames[i], &info) == 0 || info.dli_fname == nullptr) continue;
    // A return address: the call is the byte before it.
    const auto offset = reinterpret_cast<std::uintptr_t>(frames[i]) - reinterpret_cast<std::uintptr_t>(info.dli_fbase) - 1;
    char command[1024];
    std::snprintf(command, sizeof command, "addr2line -f -C -p -e '%s' 0x%jx 2>/dev/null", info.dli_fname,
                  static_cast<std::uintmax_t>(offset));
    FILE* pipe = popen(command, "r");
    if (pipe == nullptr) continue;
    char line[2048] = {};
    if (std::fgets(line, sizeof line, pipe) != nullptr && line[0] != '?') {
      std::string text = line;
      while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
      named[static_cast<std::size_t>(i)] = text;
    }
    pclose(pipe);
  }
  return named;
}

void StopTheTest(const BooksWriteRefusal& refusal) {
  if (BooksWriteRefusals* keeper = Keeper()) {
    keeper->Keep(refusal);
    return;
  }
  std::fprintf(stderr,
               "\n*** A write of the books outside a change of lines or a run: file %s, field %s, %s.\n"
               "*** Give the writer its change (LineChangeSteps) or its run (DossierRunMarker), or a\n"
               "*** test set-up its test_support::SetUpPermit. The caller, innermost first:\n",
               refusal.file.c_str(), refusal.field.empty() ? "-" : refusal.field.c_str(), WriteName(refusal.write));
  void* frames[48];
  const int count = backtrace(frames, 48);
  const std::vector<std::string> named = Frames(frames, count);
  for (std::size_t i = 1; i < named.size(); ++i) std::fprintf(stderr, "***   %s\n", named[i].c_str());
  std::fflush(stderr);
  std::abort();
}

// Installed before any test runs.
const bool kInstalled = (SetBooksWriteRefusedHook(&StopTheTest), true);

}  // namespace

BooksWriteRefusals::BooksWriteRefusals() : before_(Keeper()) { Keeper() = this; }
BooksWriteRefusals::~BooksWriteRefusals() { Keeper() = before_; }

}  // namespace test_support
