#include "shell/seeding.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "platform/system/cp1252.h"
#include "platform/system/files.h"

namespace fs = std::filesystem;

namespace {

// Paths here are the program's (cp1252); the system layer names them on disk.
bool IsFolder(const fs::path& p) { return platform::DirectoryExists(p.string()); }

std::string ExecutablePath() {
  const std::string self = platform::FollowLinks("/proc/self/exe");
  return self == "/proc/self/exe" ? std::string() : self;
}

void Report(const std::string& what, const std::string& path) {
  std::fprintf(stderr, "merlon: %s: %s\n", what.c_str(), path.c_str());
}

// The files of the share folder, relative to it, in a stable order.
std::vector<fs::path> ShippedFiles(const fs::path& share) {
  std::vector<fs::path> files;
  std::error_code ec;
  const fs::path disk = platform::DiskPath(share.string());
  fs::recursive_directory_iterator it(disk, fs::directory_options::skip_permission_denied, ec), end;
  for (; !ec && it != end; it.increment(ec)) {
    std::error_code kindError;
    std::string relative;
    if (it->is_regular_file(kindError) && platform::ProgramName(it->path().lexically_relative(disk).string(), relative))
      files.push_back(relative);
  }
  if (ec) Report("share folder not fully read", share.string());
  std::sort(files.begin(), files.end());
  return files;
}

}  // namespace

std::string FindShareFolderFrom(const std::string& executablePath) {
  if (executablePath.empty()) return "";
  const fs::path bin = fs::path(executablePath).parent_path();
  for (const char* relative : {"../../share/merlon", "../share/merlon"}) {
    fs::path candidate = (bin / relative).lexically_normal();
    if (IsFolder(candidate)) return candidate.string();
  }
  return "";
}

std::string FindShareFolder() {
  const std::string env = platform::EnvironmentPath("MERLON_SHARE");
  if (!env.empty()) return env;
  return FindShareFolderFrom(ExecutablePath());
}

SeedResult SeedProgramFolder(const std::string& share, const std::string& programFolder) {
  SeedResult result;
  if (share.empty() || programFolder.empty() || !IsFolder(share)) return result;
  if (!platform::MakeDirectories(programFolder)) {
    Report("program folder cannot be made", programFolder);
    return result;
  }
  for (const fs::path& relative : ShippedFiles(share)) {
    // Each name is looked up without case, as the program opens its files,
    // so a user's "crefeml.txt" stands for the shipped "CRefEML.txt".
    std::string target = programFolder;
    bool ok = true;
    for (auto part = relative.begin(); part != relative.end(); ++part) {
      target = platform::ResolveName(target, part->string());
      if (std::next(part) != relative.end() && !IsFolder(target)) ok = ok && platform::MakeDirectories(target);
    }
    std::error_code ec;
    if (ok && fs::exists(fs::symlink_status(platform::DiskPath(target), ec))) continue;  // present: the user's copy is kept
    if (ok) ok = platform::CopyFile((fs::path(share) / relative).string(), target, false);
    if (ok) {
      result.copied.push_back(relative.string());
    } else {
      result.failed.push_back(relative.string());
      Report("cannot copy " + relative.string() + " to the program folder", target);
    }
  }
  return result;
}
