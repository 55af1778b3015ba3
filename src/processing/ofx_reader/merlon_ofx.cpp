// merlon-ofx: reads a bank statement file (OFX) and writes it in the plain line format of
// ofx_read.h, to the file named second or else to the standard output. A file that cannot be read
// gives its reason on the standard error and the exit status 2. The program runs alone because
// libofx keeps global state, writes a temporary file and has been known to crash on damaged input.
#include <clocale>
#include <cstdio>
#include <string>

#include "processing/ofx_reader/ofx_read.h"
#include "resources/string_table.h"

namespace {

// The texts of the reader program, by their ids in the string table.
constexpr int kMsgUsage = 28047;
constexpr int kMsgNoOutput = 28046;  // the output file named

}  // namespace

int main(int argc, char** argv) {
  std::setlocale(LC_ALL, "C");
  if (argc < 2 || argc > 3) {
    std::fprintf(stderr, "%s\n", resources::LastingText(kMsgUsage));
    return 1;
  }
  std::string lines;
  const std::string error = ofxread::ReadStatement(argv[1], lines);
  if (!error.empty()) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 2;
  }
  std::FILE* out = argc == 3 ? std::fopen(argv[2], "wb") : stdout;
  if (out == nullptr) {
    std::fprintf(stderr, "%s\n", ofxread::Message(kMsgNoOutput, {argv[2]}).c_str());
    return 3;
  }
  const bool ok = std::fwrite(lines.data(), 1, lines.size(), out) == lines.size();
  if (argc == 3 && std::fclose(out) != 0) return 3;
  return ok ? 0 : 3;
}
