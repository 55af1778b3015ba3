#include "runtime/logfile.h"

#include <cstring>

#include "platform/system/files.h"
#include "runtime/inifiles.h"
#include "runtime/xbase.h"

namespace {
std::string g_logFolder;
std::string g_logCode;
}  // namespace

void SetLogDossier(const std::string& folder, const std::string& code) {
  g_logFolder = folder;
  g_logCode = code;
}

std::string LogPath(const char* suffix) {
  if (g_logFolder.empty()) return "";
  std::string name = "clg" + std::string(Lower(AllTrim(g_logCode.c_str()))) + (suffix ? suffix : "");
  return platform::ResolveName(g_logFolder, name);
}

std::string LogStamp(const platform::LocalTime& t) {
  auto two = [](int v) { return std::string(StrZero(v % 100, 2)); };
  return two(t.day) + "/" + two(t.month) + "/" + two(t.year) + "-" + two(t.hour) + "h" + two(t.minute) +
         "m" + two(t.second);
}

bool WriteLog(const char* text) {
  std::string path = LogPath(".txt");
  if (path.empty()) return true;
  std::string line = LogStamp(platform::GetLocalTime()) + "> " + WorkstationNumber() + " - " +
                     (text ? text : "") + "\r\n";
  // One write of the whole line in append mode: lines of several stations
  // never mix inside a line.
  return platform::AppendToFile(path, line);
}

int OpenFileRead(const char* path) {
  if (!path || !*path) return -1;
  return platform::OpenForReading(platform::ResolvePath(path));
}

int OpenFileWrite(const char* path) {
  if (!path || !*path) return -1;
  return platform::OpenForAppending(platform::ResolvePath(path));
}

int CreateFileTrunc(const char* path) {
  if (!path || !*path) return -1;
  return platform::CreateTruncated(platform::ResolvePath(path));
}

bool CloseFile(int handle) { return platform::CloseHandle(handle); }

bool WriteLine(int handle, const char* text, bool crlf) {
  if (handle < 0) return false;
  const char* t = text ? text : "";
  if (!platform::WriteAll(handle, t, std::strlen(t))) return false;
  return !crlf || platform::WriteAll(handle, "\r\n", 2);
}

bool ReadFileChunk(char* chunk, int handle, long long total, long long& offset) {
  if (!chunk) return false;
  std::memset(chunk, 0, kChunkSize);
  if (handle < 0 || offset < 0 || offset > total) return false;
  long long want = total - offset;
  if (want > static_cast<long long>(kChunkSize)) want = kChunkSize;
  if (want == 0) return true;
  std::size_t got = 0;
  if (platform::ReadUpTo(handle, chunk, static_cast<std::size_t>(want), offset, &got) != 0 ||
      got != static_cast<std::size_t>(want))
    return false;
  offset += want;
  return true;
}

bool TakeLine(std::string& text, std::string& line) {
  line.clear();
  if (text.empty()) return false;
  std::size_t end = text.find_first_of("\r\n");
  if (end == std::string::npos) {
    line.swap(text);
    text.clear();
    return true;
  }
  line.assign(text, 0, end);
  std::size_t skip = (text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') ? 2 : 1;
  text.erase(0, end + skip);
  return true;
}

bool CanReadFile(const char* path) {
  int fd = OpenFileRead(path);
  if (fd < 0) return false;
  const bool regular = !platform::IsFolderHandle(fd);
  platform::CloseHandle(fd);
  return regular;
}

bool DeleteFileIfExists(const char* name, const char* suffix) {
  std::string path = std::string(name ? name : "") + (suffix ? suffix : "");
  if (path.empty()) return false;
  std::string resolved = platform::ResolvePath(path);
  if (platform::DirectoryExists(resolved)) return false;
  return platform::RemoveFile(resolved);
}

bool RenameFile(const char* oldName, const char* newName) {
  if (!oldName || !newName || !*newName) return false;
  std::string from = platform::ResolvePath(oldName);
  if (!platform::FileExists(from)) return false;
  std::string to = platform::ResolvePath(newName);
  // rename() replaces an existing target in one step.
  return platform::AtomicRename(from, to);
}
