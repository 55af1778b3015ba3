// merlon-include-check: the include check of src/ (include_check.h), run by the build.
//   merlon-include-check --source <source folder> --compile-commands <build>/compile_commands.json
//                        [--stamp <file>] [--depfile <file>]
// Writes each broken rule as "file:line: reason" on the error output and exits 1; when every rule holds,
// writes the stamp and exits 0. The depfile names every file and folder read, so that the build runs the
// check again only when one of them changes.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

#include "include_check/include_check.h"

namespace {

namespace fs = std::filesystem;

int Usage() {
  std::fprintf(stderr,
               "usage: merlon-include-check --source DIR --compile-commands FILE [--stamp FILE] [--depfile FILE]\n");
  return 2;
}

bool WriteText(const fs::path& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
  return static_cast<bool>(out.flush());
}

}  // namespace

int main(int argc, char** argv) {
  fs::path source, compile_commands, stamp, depfile;
  for (int i = 1; i < argc; ++i) {
    const std::string flag = argv[i];
    if (i + 1 >= argc) return Usage();
    const fs::path value = argv[++i];
    if (flag == "--source") source = value;
    else if (flag == "--compile-commands") compile_commands = value;
    else if (flag == "--stamp") stamp = value;
    else if (flag == "--depfile") depfile = value;
    else return Usage();
  }
  if (source.empty() || compile_commands.empty()) return Usage();
  if (!fs::is_directory(source / "src") || !fs::is_regular_file(compile_commands)) {
    std::fprintf(stderr, "merlon-include-check: no src/ in %s or no %s\n", source.c_str(), compile_commands.c_str());
    return 2;
  }

  const include_check::Outcome outcome = include_check::CheckTree(source, compile_commands);
  std::error_code ignored;
  if (!stamp.empty()) fs::remove(stamp, ignored);
  if (!depfile.empty() && !WriteText(depfile, include_check::DepfileText(stamp.generic_string(), outcome.read))) {
    std::fprintf(stderr, "merlon-include-check: cannot write %s\n", depfile.c_str());
    return 2;
  }
  if (!outcome.findings.empty()) {
    for (const include_check::Finding& finding : outcome.findings) std::fprintf(stderr, "%s\n", finding.Text().c_str());
    std::fprintf(stderr, "merlon-include-check: %zu include rule(s) broken under %s/src (see docs/architecture.md)\n",
                 outcome.findings.size(), source.c_str());
    return 1;
  }
  if (!stamp.empty() && !WriteText(stamp, "every include of src/ holds the rules\n")) {
    std::fprintf(stderr, "merlon-include-check: cannot write %s\n", stamp.c_str());
    return 2;
  }
  return 0;
}
