#include "runtime/email_file.h"

#include <algorithm>
#include <vector>

#include "platform/system/files.h"
#include "resources/string_table.h"
#include "runtime/inifiles.h"
#include "runtime/logfile.h"
#include "runtime/xbase.h"

namespace {

// The name of the e-mail template file, by its id in the string table.
constexpr int kEmailTemplateFile = 41;

const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
const char kCharset[] = "windows-1252";

bool NeedsEncoding(const std::string& text) {
  for (unsigned char c : text) {
    if (c < 0x20 || c >= 0x7F) return true;
  }
  return false;
}

std::string WithoutLineBreaks(const char* text) {
  std::string out;
  for (const char* p = text ? text : ""; *p; ++p) {
    if (*p != '\r' && *p != '\n') out += *p;
  }
  return out;
}

// Line breaks of any kind (CR LF, lone CR, lone LF) become CR LF.
std::string WithCrLf(const char* text) {
  std::string out;
  for (const char* p = text ? text : ""; *p; ++p) {
    if (*p == '\r') {
      out += "\r\n";
      if (p[1] == '\n') ++p;
    } else if (*p == '\n') {
      out += "\r\n";
    } else {
      out += *p;
    }
  }
  return out;
}

// Recipient for a header: a display name before "<address>" is encoded on
// its own so that the address stays readable.
std::string RecipientHeader(const std::string& recipient) {
  if (!NeedsEncoding(recipient)) return recipient;
  std::size_t angle = recipient.find('<');
  if (angle == std::string::npos) return EncodeHeaderWords(recipient);
  std::string name = recipient.substr(0, angle);
  while (!name.empty() && name.back() == ' ') name.pop_back();
  std::string rest = recipient.substr(angle);
  if (name.empty()) return rest;
  return EncodeHeaderWords(name) + " " + rest;
}

std::string PercentEncoded(const std::string& text) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : text) {
    bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                 c == '-' || c == '.' || c == '_' || c == '~';
    if (plain) {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  return out;
}

std::string Quoted(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  return out;
}

struct Match {
  std::size_t at;
  std::size_t length;
  std::string value;
};

// A "[NOMFICHIER]" that stands as a parameter value (name="[NOMFICHIER]" or
// name=[NOMFICHIER]) is written as name*=charset''%XX when the file name is
// not plain ASCII, and quoted properly otherwise.
void FileNameMatch(const std::string& line, std::size_t at, const std::string& fileName,
                   Match& match) {
  const std::size_t tagLength = 12;  // "[NOMFICHIER]"
  bool quoted = at >= 1 && line[at - 1] == '"' && line.compare(at + tagLength, 1, "\"") == 0;
  std::size_t equals = quoted ? at - 1 : at;
  bool parameter = equals >= 1 && line[equals - 1] == '=';
  if (!parameter) {
    match = {at, tagLength, fileName};
    return;
  }
  if (!NeedsEncoding(fileName)) {
    match = quoted ? Match{at, tagLength, Quoted(fileName)}
                   : Match{at, tagLength, "\"" + Quoted(fileName) + "\""};
    return;
  }
  // Rewrite from the "=" to the end of the value: name*=windows-1252''...
  std::size_t start = equals - 1;
  std::size_t end = at + tagLength + (quoted ? 1 : 0);
  match = {start, end - start, std::string("*=") + kCharset + "''" + PercentEncoded(fileName)};
}

// The line with its tags replaced; positions are found in the template line
// only, so a value that happens to hold a tag is never expanded.
std::string FillLine(const std::string& line, bool inHeaders, const std::string& recipient,
                     const std::string& subject, const char* message,
                     const std::string& fileName) {
  static const char* const kTags[] = {"[EMETTEUR]",        "[DESTINATAIRE:A]", "[DESTINATAIRE:CC]",
                                      "[DESTINATAIRE:CCI]", "[OBJET]",          "[MESSAGE]",
                                      "[NOMFICHIER]"};
  std::vector<Match> matches;
  for (int t = 0; t < 7; ++t) {
    std::string tag = kTags[t];
    std::size_t at = line.find(tag);
    if (at == std::string::npos) continue;
    Match m{at, tag.size(), std::string()};
    switch (t) {
      case 1: m.value = inHeaders ? RecipientHeader(recipient) : recipient; break;
      case 4: m.value = inHeaders ? EncodeHeaderWords(subject) : subject; break;
      case 5: m.value = inHeaders ? WithoutLineBreaks(message) : WithCrLf(message); break;
      case 6: FileNameMatch(line, at, fileName, m); break;
      default: break;  // removed
    }
    matches.push_back(m);
  }
  std::sort(matches.begin(), matches.end(),
            [](const Match& a, const Match& b) { return a.at < b.at; });
  std::string out;
  std::size_t from = 0;
  for (const Match& m : matches) {
    if (m.at < from) continue;  // overlapping rewrite: keep the first
    out.append(line, from, m.at - from);
    out += m.value;
    from = m.at + m.length;
  }
  out.append(line, from, std::string::npos);
  return out;
}

class Output {
 public:
  explicit Output(int handle) : handle_(handle) {}
  void Line(const std::string& text) {
    if (!WriteLine(handle_, text.c_str(), true)) ok_ = false;
  }
  bool ok() const { return ok_; }

 private:
  int handle_;
  bool ok_ = true;
};

void AppendGroup(std::string& line, const unsigned char* g, int count) {
  unsigned v = (g[0] << 16) | ((count > 1 ? g[1] : 0) << 8) | (count > 2 ? g[2] : 0);
  line += kAlphabet[(v >> 18) & 63];
  line += kAlphabet[(v >> 12) & 63];
  line += count > 1 ? kAlphabet[(v >> 6) & 63] : '=';
  line += count > 2 ? kAlphabet[v & 63] : '=';
}

// The attachment in base64 lines of 76 characters, read chunk by chunk.
void WriteAttachment(const char* path, Output& out) {
  int handle = OpenFileRead(path ? path : "");
  if (handle < 0) return;
  long long total = platform::FileSize(path);
  long long offset = 0;
  std::vector<char> chunk(kChunkSize);
  std::string line;
  while (total > 0 && offset < total) {
    long long before = offset;
    if (!ReadFileChunk(chunk.data(), handle, total, offset)) break;
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(chunk.data());
    long long count = offset - before;
    for (long long i = 0; i < count; i += 3) {
      AppendGroup(line, bytes + i, static_cast<int>(std::min<long long>(3, count - i)));
      if (line.size() >= 76) {
        out.Line(line);
        line.clear();
      }
    }
  }
  if (!line.empty()) out.Line(line);
  CloseFile(handle);
}

}  // namespace

std::string Base64Encode(const std::string& bytes) {
  std::string out;
  const unsigned char* p = reinterpret_cast<const unsigned char*>(bytes.data());
  for (std::size_t i = 0; i < bytes.size(); i += 3) {
    AppendGroup(out, p + i, static_cast<int>(std::min<std::size_t>(3, bytes.size() - i)));
  }
  return out;
}

std::string EncodeHeaderWords(const std::string& text) {
  if (!NeedsEncoding(text)) return text;
  // 42 bytes give 56 base64 characters: 75 with "=?windows-1252?B?" and "?=".
  std::string out;
  for (std::size_t i = 0; i < text.size(); i += 42) {
    if (i > 0) out += "\r\n ";
    out += std::string("=?") + kCharset + "?B?" + Base64Encode(text.substr(i, 42)) + "?=";
  }
  return out;
}

bool WriteEmlFile(const char* attachmentPath, const char* outputPath, const char* fileName,
                  const char* recipient, const char* subject, const char* message) {
  std::string templatePath = ProgramFilePath(LoadStr(kEmailTemplateFile));
  if (!CanReadFile(templatePath.c_str())) return false;
  std::string text;
  if (!platform::ReadWholeFile(templatePath, text)) text.clear();
  int handle = CreateFileTrunc(outputPath ? outputPath : "");
  if (handle < 0) return false;
  Output out(handle);

  const std::string cleanRecipient = WithoutLineBreaks(recipient);
  const std::string cleanSubject = WithoutLineBreaks(subject);
  const std::string cleanName = WithoutLineBreaks(fileName);
  bool inHeaders = true;  // the message's own header block, up to its first empty line
  std::string line;
  while (!text.empty()) {
    TakeLine(text, line);
    if (IsBlank(line)) {
      out.Line("");
      inHeaders = false;
      continue;
    }
    if (line.find("[FICHIERBASE64]") != std::string::npos) {
      WriteAttachment(attachmentPath, out);
      continue;
    }
    out.Line(FillLine(line, inHeaders, cleanRecipient, cleanSubject, message, cleanName));
  }
  bool closed = CloseFile(handle);
  return out.ok() && closed;
}
