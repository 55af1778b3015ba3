// Fuzzes the statement reader of merlon-ofx: the input is written to a file and read as a bank
// statement (the checks before libofx, libofx, the amounts, dates and texts); a damaged file must
// come back as a reason, never as a statement with a broken line.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "processing/ofx_reader/ofx_read.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::string path = [] {
    char tmpl[] = "/tmp/merlon-fuzz-ofx-XXXXXX";
    const int fd = ::mkstemp(tmpl);
    if (fd >= 0) ::close(fd);
    return std::string(tmpl);
  }();
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return 0;
  std::fwrite(data, 1, size, f);
  std::fclose(f);
  std::string lines;
  const std::string error = ofxread::ReadStatement(path, lines);
  if (error.empty() == lines.empty()) __builtin_trap();
  // Every line of a statement read has its fields: no tab or line break slipped in from a text.
  std::size_t at = 0;
  while (at < lines.size()) {
    const std::size_t eol = lines.find('\n', at);
    if (eol == std::string::npos) __builtin_trap();
    std::size_t tabs = 0;
    for (std::size_t i = at; i < eol; ++i) tabs += lines[i] == '\t' ? 1 : 0;
    if (lines.compare(at, 4, "TRN\t") == 0 && tabs != 7) __builtin_trap();
    at = eol + 1;
  }
  return 0;
}
