// merlon-demo --folder DIR --code CODE --lines N [--year YYYY] [--seed S]: creates a demo
// dossier (a French company with a year of entries) in DIR. Prints what it made and the time.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cerrno>
#include <cstring>
#include <string>

#include "console_text.h"
#include "data/session.h"
#include "dossier/dossier_demo.h"
#include "runtime/runtime_init.h"

namespace {

int Usage() {
  std::fprintf(stderr,
               "usage: merlon-demo --folder DIR --code CODE --lines N [--year YYYY] [--seed S]\n"
               "  N from %ld to %ld entry lines; the year runs from 1 January to 31 December.\n",
               kMinDemoLines, kMaxDemoLines);
  return 2;
}

bool Number(const char* text, long long lo, long long hi, long long* out) {
  char* end = nullptr;
  errno = 0;
  const long long v = std::strtoll(text, &end, 10);
  if (errno != 0 || end == text || *end != '\0' || v < lo || v > hi) return false;
  *out = v;
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  DemoOptions options;
  options.folder.clear();
  options.code.clear();
  long long lines = -1, year = options.year, seed = static_cast<long long>(options.seed);
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (i + 1 >= argc) return Usage();
    const char* value = argv[++i];
    if (arg == "--folder") {
      options.folder = value;
    } else if (arg == "--code") {
      options.code = value;
    } else if (arg == "--lines") {
      if (!Number(value, kMinDemoLines, kMaxDemoLines, &lines)) return Usage();
    } else if (arg == "--year") {
      if (!Number(value, 1931, 2258, &year)) return Usage();
    } else if (arg == "--seed") {
      if (!Number(value, 0, 0x7FFFFFFFFFFFFFFFLL, &seed)) return Usage();
    } else {
      return Usage();
    }
  }
  if (options.folder.empty() || options.code.empty() || lines < 0) return Usage();
  options.lines = static_cast<long>(lines);
  options.year = static_cast<int>(year);
  options.seed = static_cast<std::uint64_t>(seed);

  if (!InitRuntime() || StartDbSession() != 0) {
    std::fprintf(stderr, "merlon-demo: the runtime or the engine does not start\n");
    return 1;
  }
  const auto start = std::chrono::steady_clock::now();
  std::string message;
  DemoStats stats;
  const bool ok = GenerateDemoDossier(options, &message, &stats);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  StopDbSession();
  FreeRuntime();
  if (!ok) {
    std::fprintf(stderr, "merlon-demo: %s\n", ConsoleText(message).c_str());
    return 1;
  }
  std::printf("Dossier %s in %s: %ld lines, %ld pieces, %ld accounts (%ld customers, %ld suppliers), "
              "%ld journal-months, %.2f s\n",
              options.code.c_str(), options.folder.c_str(), stats.lines, stats.pieces, stats.accounts,
              stats.customers, stats.suppliers, stats.journalMonths, seconds);
  return 0;
}
