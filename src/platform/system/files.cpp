#include "platform/system/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/system/cp1252.h"

namespace platform {

bool FileExists(const std::string& path) {
  struct stat st{};
  return !path.empty() && stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool DirectoryExists(const std::string& path) {
  struct stat st{};
  return !path.empty() && stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::int64_t FileSize(const std::string& path) {
  struct stat st{};
  if (path.empty() || stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return -1;
  return static_cast<std::int64_t>(st.st_size);
}

static std::string JoinPath(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  if (folder.back() == '/') return folder + name;
  return folder + "/" + name;
}

std::string ResolveName(const std::string& folder, const std::string& name) {
  std::string exact = JoinPath(folder, name);
  if (name.empty() || name.find('/') != std::string::npos) return exact;
  struct stat st{};
  if (lstat(exact.c_str(), &st) == 0) return exact;
  DIR* dir = opendir(folder.empty() ? "." : folder.c_str());
  if (!dir) return exact;
  std::string found;
  while (dirent* e = readdir(dir)) {
    if (Cp1252EqualNoCase(e->d_name, name.c_str())) {
      found = e->d_name;
      break;
    }
  }
  closedir(dir);
  return found.empty() ? exact : JoinPath(folder, found);
}

std::string ResolvePath(const std::string& path) {
  auto slash = path.rfind('/');
  if (slash == std::string::npos) return ResolveName("", path);
  if (slash == path.size() - 1) return path;
  std::string folder = slash == 0 ? "/" : path.substr(0, slash);
  return ResolveName(folder, path.substr(slash + 1));
}

static std::string TempNameFor(const std::string& path) {
  static unsigned counter = 0;
  return path + ".tmp" + std::to_string(getpid()) + "-" + std::to_string(++counter);
}

bool WriteAll(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    ssize_t n = write(fd, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

bool WriteFileAtomic(const std::string& path, const std::string& content) {
  if (path.empty()) return false;
  std::string tmp = TempNameFor(path);
  int fd = open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  // Keep the permissions of the file being replaced.
  struct stat st{};
  if (stat(path.c_str(), &st) == 0) fchmod(fd, st.st_mode & 07777);
  bool ok = WriteAll(fd, content.data(), content.size()) && fsync(fd) == 0;
  ok = (close(fd) == 0) && ok;
  if (ok) ok = rename(tmp.c_str(), path.c_str()) == 0;
  if (!ok) unlink(tmp.c_str());
  return ok;
}

bool ReadWholeFile(const std::string& path, std::string& content) {
  content.clear();
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  char buf[65536];
  for (;;) {
    ssize_t n = read(fd, buf, sizeof buf);
    if (n < 0) {
      if (errno == EINTR) continue;
      close(fd);
      return false;
    }
    if (n == 0) break;
    content.append(buf, static_cast<std::size_t>(n));
  }
  close(fd);
  return true;
}

bool CopyFile(const std::string& from, const std::string& to, bool overwrite) {
  if (!FileExists(from)) return false;
  if (!overwrite && access(to.c_str(), F_OK) == 0) return false;
  int in = open(from.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return false;
  std::string tmp = TempNameFor(to);
  int out = open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (out < 0) {
    close(in);
    return false;
  }
  struct stat st{};
  if (fstat(in, &st) == 0) fchmod(out, st.st_mode & 07777);
  bool ok = true;
  char buf[65536];
  for (;;) {
    ssize_t n = read(in, buf, sizeof buf);
    if (n < 0) {
      if (errno == EINTR) continue;
      ok = false;
      break;
    }
    if (n == 0) break;
    if (!WriteAll(out, buf, static_cast<std::size_t>(n))) {
      ok = false;
      break;
    }
  }
  close(in);
  ok = fsync(out) == 0 && ok;
  ok = close(out) == 0 && ok;
  if (ok) ok = rename(tmp.c_str(), to.c_str()) == 0;
  if (!ok) unlink(tmp.c_str());
  return ok;
}

bool AtomicRename(const std::string& from, const std::string& to) {
  return !from.empty() && !to.empty() && rename(from.c_str(), to.c_str()) == 0;
}

bool RemoveFile(const std::string& path) {
  if (path.empty()) return false;
  if (unlink(path.c_str()) == 0) return true;
  return errno == ENOENT;
}

bool MakeDirectories(const std::string& path) {
  if (path.empty()) return false;
  std::string part;
  std::size_t pos = 0;
  while (pos != std::string::npos) {
    pos = path.find('/', pos + 1);
    part = path.substr(0, pos);
    if (part.empty()) continue;
    if (mkdir(part.c_str(), 0755) != 0 && errno != EEXIST) return false;
  }
  return DirectoryExists(path);
}

}  // namespace platform
