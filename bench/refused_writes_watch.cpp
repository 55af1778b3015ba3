// Linked into every benchmark program: each write of the books that the table layer refuses (made
// while no change of lines, run or set-up permit lives, data/books_write_permit.h) is said on stderr
// with the line "Write of the books refused: ...", the first few in full and their count at exit.
// A benchmark that meets one measures a run that did not do its work: its CTest run fails on that
// line (bench/CMakeLists.txt).
#include <atomic>
#include <cstdio>
#include <cstdlib>

#include "data/books_write_permit.h"

namespace {

constexpr long kSaidInFull = 5;

std::atomic<long> g_refused{0};

void SayRefused(const BooksWriteRefusal& refusal) {
  const long n = ++g_refused;
  if (n <= kSaidInFull)
    std::fprintf(stderr, "Write of the books refused: %s\n", BooksWriteRefusalText(refusal).c_str());
}

void SayCount() {
  if (const long n = g_refused.load(); n > 0) std::fprintf(stderr, "Write of the books refused: %ld in all\n", n);
}

// Installed before any benchmark runs.
const bool kInstalled = (SetBooksWriteRefusedHook(&SayRefused), std::atexit(&SayCount), true);

}  // namespace
