#include "processing/core/ofx_statement.h"

#include <cerrno>
#include <cstdlib>
#include <vector>

#include "platform/system/files.h"
#include "platform/system/process.h"
#include "platform/system/temp_files.h"
#include "resources/string_table.h"
#include "runtime/text.h"

namespace processing {

namespace {

std::string& ReaderOverride() {
  static std::string path;
  return path;
}

std::vector<std::string> Fields(const std::string& line) {
  std::vector<std::string> out;
  std::size_t at = 0;
  for (;;) {
    const std::size_t tab = line.find('\t', at);
    out.push_back(line.substr(at, tab == std::string::npos ? std::string::npos : tab - at));
    if (tab == std::string::npos) return out;
    at = tab + 1;
  }
}

bool IsDate(const std::string& s) {
  if (s.size() != 8) return false;
  for (char c : s)
    if (c < '0' || c > '9') return false;
  return true;
}

bool Cents(const std::string& s, std::int64_t& out) {
  if (s.empty() || s.size() > 18) return false;
  char* end = nullptr;
  errno = 0;
  const long long v = std::strtoll(s.c_str(), &end, 10);
  if (errno != 0 || end == nullptr || *end != '\0') return false;
  out = v;
  return true;
}

// The texts of the statement's reading, by their ids in the string table.
constexpr int kMsgUnreadable = 23245;       // "Relevé illisible: %s", the reason after
constexpr int kWhyBadLine = 23246;          // the reader's output: the line number
constexpr int kWhyCutShort = 23248;         // its output ends before its last line
constexpr int kWhyNoFile = 23249;           // the file's path
constexpr int kWhyNoTemporaryFile = 23250;  // the system's reason
constexpr int kWhyNoReader = 23251;         // the reader program's path
constexpr int kWhyTooLong = 23253;          // the time limit in seconds
constexpr int kWhyReaderKilled = 23254;     // the signal
constexpr int kWhyReaderFailed = 23255;     // its exit status
constexpr int kWhyNoOutput = 23256;

}  // namespace

std::string OfxReaderPath() {
  if (!ReaderOverride().empty()) return ReaderOverride();
  const std::string self = platform::FollowLinks("/proc/self/exe");
  const std::size_t slash = self.find_last_of('/');
  if (self != "/proc/self/exe" && slash != std::string::npos) {
    const std::string beside = self.substr(0, slash + 1) + "merlon-ofx";
    if (platform::IsExecutable(beside)) return beside;
  }
  return "merlon-ofx";
}

void SetOfxReaderPath(const std::string& path) { ReaderOverride() = path; }

bool ParseStatementLines(const std::string& text, BankStatement& out, std::string& error) {
  out = BankStatement{};
  std::size_t at = 0;
  int lineNumber = 0;
  bool header = false, ended = false;
  while (at < text.size()) {
    std::size_t eol = text.find('\n', at);
    if (eol == std::string::npos) eol = text.size();
    const std::vector<std::string> f = Fields(text.substr(at, eol - at));
    at = eol + 1;
    ++lineNumber;
    const std::string& kind = f[0];
    auto bad = [&] {
      error = FillPlaceholder(LoadStr(kWhyBadLine), std::to_string(lineNumber));
      return false;
    };
    if (ended) return bad();
    if (!header) {
      if (kind != "OFX" || f.size() != 2 || f[1] != "1") return bad();
      header = true;
    } else if (kind == "ACCOUNT" && f.size() == 4) {
      out.bankId = f[1];
      out.branchId = f[2];
      out.accountId = f[3];
      // Some banks give the IBAN as the account number.
      if (f[3].size() >= 15 && f[3][0] >= 'A' && f[3][0] <= 'Z' && f[3][1] >= 'A' && f[3][1] <= 'Z') out.iban = f[3];
    } else if (kind == "CURRENCY" && f.size() == 2) {
      out.currency = f[1];
    } else if (kind == "PERIOD" && f.size() == 3) {
      if ((!f[1].empty() && !IsDate(f[1])) || (!f[2].empty() && !IsDate(f[2]))) return bad();
      out.startDate = f[1];
      out.endDate = f[2];
    } else if (kind == "BALANCE" && f.size() == 3) {
      if ((!f[1].empty() && !Cents(f[1], out.closingCents)) || (!f[2].empty() && !IsDate(f[2]))) return bad();
      out.closingDate = f[2];
    } else if (kind == "TRN" && f.size() == 8) {
      BankTransaction t;
      t.fitid = f[1];
      t.date = f[2];
      if (!IsDate(t.date) || !Cents(f[3], t.cents)) return bad();
      t.type = f[4];
      t.checkNumber = f[5];
      t.name = f[6];
      t.memo = f[7];
      out.transactions.push_back(std::move(t));
    } else if (kind == "END" && f.size() == 2) {
      if (f[1] != std::to_string(out.transactions.size())) return bad();
      ended = true;
    } else {
      return bad();
    }
  }
  if (!ended) {
    error = LoadStr(kWhyCutShort);
    return false;
  }
  return true;
}

OfxReading ReadOfxStatement(const std::string& file, int timeLimitMs) {
  OfxReading r;
  auto refuse = [&](const std::string& reason) {
    r.message = FillPlaceholder(LoadStr(kMsgUnreadable), reason);
    return r;
  };
  if (!platform::FileExists(file)) return refuse(FillPlaceholder(LoadStr(kWhyNoFile), file));
  platform::TemporaryFile out;
  if (!out.Create("merlon-ofx-")) return refuse(FillPlaceholder(LoadStr(kWhyNoTemporaryFile), out.ErrorText()));
  const std::string outPath = out.Path();
  platform::LaunchOptions options;
  options.wait = true;
  options.captureOutput = true;
  options.timeLimitMs = timeLimitMs;
  const std::string reader = OfxReaderPath();
  const platform::LaunchResult run = platform::LaunchProcess({reader, file, outPath}, options);
  std::string text;
  const bool read = platform::ReadWholeFile(outPath, text);
  out.Discard();
  if (!run.launched) return refuse(FillPlaceholder(LoadStr(kWhyNoReader), reader));
  if (run.timedOut) return refuse(FillPlaceholder(LoadStr(kWhyTooLong), std::to_string(timeLimitMs / 1000)));
  const std::string said = platform::LastOutputLines(run.output, 24, 200);
  if (run.exitStatus >= 128)
    return refuse(FillPlaceholder(LoadStr(kWhyReaderKilled), std::to_string(run.exitStatus - 128)));
  if (run.exitStatus != 0)
    return refuse(said.empty() ? FillPlaceholder(LoadStr(kWhyReaderFailed), std::to_string(run.exitStatus)) : said);
  std::string error;
  if (!read || !ParseStatementLines(text, r.statement, error)) return refuse(read ? error : LoadStr(kWhyNoOutput));
  r.ok = true;
  return r;
}

}  // namespace processing
