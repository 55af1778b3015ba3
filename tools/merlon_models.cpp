// merlon-models --sources DIR --folder OUT: makes the balance-sheet models "R" and "S"
// (clbilanr, cpbilanr, clbilans, cpbilans) in OUT from their CSV sources in DIR.
#include <cstdio>
#include <cstring>
#include <string>

#include "data/session.h"
#include "reports/balances/core/balance_sheet_compile.h"
#include "runtime/runtime_init.h"
#include "console_text.h"

namespace {
int Usage() {
  std::fputs("usage: merlon-models --sources DIR --folder OUT\n", stderr);
  return 2;
}
}  // namespace

int main(int argc, char** argv) {
  std::string sources, folder;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--sources") == 0 && i + 1 < argc) {
      sources = ProgramPath(argv[++i]);
    } else if (std::strcmp(argv[i], "--folder") == 0 && i + 1 < argc) {
      folder = ProgramPath(argv[++i]);
    } else {
      return Usage();
    }
  }
  if (sources.empty() || folder.empty()) return Usage();
  if (sources.back() != '/') sources += '/';
  if (folder.back() != '/') folder += '/';
  if (!InitRuntime() || StartDbSession() != 0) {
    std::fprintf(stderr, "merlon-models: the runtime or the engine does not start\n");
    return 1;
  }
  std::string message;
  bool ok = true;
  for (const char letter : {'r', 's'}) {
    const std::string l(1, letter);
    if (!balances::CompileModel(sources + "clbilan" + l + ".csv", sources + "cpbilan" + l + ".csv", folder,
                                letter, &message)) {
      ok = false;
      break;
    }
  }
  StopDbSession();
  FreeRuntime();
  if (!ok) {
    std::fprintf(stderr, "merlon-models: %s\n", ConsoleText(message).c_str());
    return 1;
  }
  return 0;
}
