// merlon-ascii-fixture: writes the test file of the ASCII import (docs/ascii_import.md) on the
// bank journal and account of a generated dossier.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include "ascii_fixture.h"
#include "console_text.h"

namespace {

int Usage() {
  const std::string text =
      "usage: merlon-ascii-fixture --out FICHIER [options]\n"
      "  --lines N        nombre de lignes d'\xE9" "critures (9 par d\xE9" "faut)\n"
      "  --year AAAA      ann\xE9" "e des dates (2026 par d\xE9" "faut)\n"
      "  --journal CODE   journal de banque (BQ par d\xE9" "faut)\n"
      "  --account COMPTE compte de la banque (51200000 par d\xE9" "faut)\n"
      "  --utf8           fichier en UTF-8 (Windows-1252 par d\xE9" "faut)\n"
      "  --seed S         la m\xEAme graine donne le m\xEAme fichier\n";
  std::fputs(ConsoleText(text).c_str(), stderr);
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
  AsciiFixtureOptions options;
  std::string out;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    const bool hasValue = i + 1 < argc;
    long long v = 0;
    if (a == "--utf8") options.utf8 = true;
    else if (a == "--out" && hasValue) out = argv[++i];
    else if (a == "--journal" && hasValue) options.journal = argv[++i];
    else if (a == "--account" && hasValue) options.bankAccount = argv[++i];
    else if (a == "--lines" && hasValue && Number(argv[++i], 2, 999999, &v)) options.lines = static_cast<long>(v);
    else if (a == "--year" && hasValue && Number(argv[++i], 1930, 2259, &v)) options.year = static_cast<int>(v);
    else if (a == "--seed" && hasValue && Number(argv[++i], 0, 1LL << 62, &v)) options.seed = static_cast<std::uint64_t>(v);
    else return Usage();
  }
  if (out.empty()) return Usage();
  std::ofstream file(out, std::ios::binary);
  file << MakeAsciiFixture(options);
  if (!file.good()) {
    std::fputs(ConsoleText("Impossible d'\xE9" "crire " + out + "\n").c_str(), stderr);
    return 1;
  }
  std::printf("%s: %ld lignes\n", out.c_str(), options.lines);
  return 0;
}
