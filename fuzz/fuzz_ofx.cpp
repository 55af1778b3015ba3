// Fuzzes the statement reader of merlon-ofx. The checks made before libofx, the text conversion
// and the cent rounding run in the fuzzer's process (their coverage guides it); a file that passes
// the checks is read whole, libofx included, in a child process, as the program runs the reader
// program: libofx keeps global state from one file to the next. A damaged file must come back as
// a reason, never as a crash or a statement with a broken line.
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "processing/ofx_reader/ofx_read.h"

namespace {

// The child's reading: 0 when the file gave a statement of whole lines or a reason.
int ReadInChild(const std::string& path) {
  std::string lines;
  const std::string error = ofxread::ReadStatement(path, lines);
  if (error.empty() == lines.empty()) return 1;
  std::size_t at = 0;
  while (at < lines.size()) {
    const std::size_t eol = lines.find('\n', at);
    if (eol == std::string::npos) return 2;
    std::size_t tabs = 0;
    for (std::size_t i = at; i < eol; ++i) tabs += lines[i] == '\t' ? 1 : 0;
    if (lines.compare(at, 4, "TRN\t") == 0 && tabs != 7) return 3;
    at = eol + 1;
  }
  return 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string raw(reinterpret_cast<const char*>(data), size);
  // Texts and amounts as libofx hands them over.
  const std::string text = ofxread::TextToCp1252(raw.c_str());
  if (text.find_first_of("\t\n\r") != std::string::npos) __builtin_trap();
  if (size >= sizeof(double)) {
    double amount = 0;
    std::memcpy(&amount, data, sizeof amount);
    long long cents = 0;
    if (ofxread::AmountToCents(amount, cents) && (cents > 10000000000000000LL || cents < -10000000000000000LL))
      __builtin_trap();
  }
  std::size_t transactions = 0;
  if (!ofxread::CheckStatementText(raw, &transactions).empty()) return 0;

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
  const pid_t pid = ::fork();
  if (pid < 0) return 0;
  if (pid == 0) ::_exit(ReadInChild(path));
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0) {
  }
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) __builtin_trap();
  return 0;
}
