// The process left with a few free file handles, as a system whose table of open files is full
// leaves it: while the object lives, every open past those fails with EMFILE ("trop de fichiers
// ouverts"), and the handles freed on the way are there again. Walking `left` from 0 up refuses
// each open that a piece of work keeps while it works, the first it makes first.
#pragma once

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <vector>

namespace test_support {

class FileHandlesLeft {
 public:
  explicit FileHandlesLeft(int left) {
    ::getrlimit(RLIMIT_NOFILE, &saved_);
    // A limit of a few thousand handles, so that filling the table is quick.
    rlimit lower = saved_;
    if (lower.rlim_cur == RLIM_INFINITY || lower.rlim_cur > kLimit) lower.rlim_cur = kLimit;
    ::setrlimit(RLIMIT_NOFILE, &lower);
    const int first = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (first < 0) return;
    taken_.push_back(first);
    for (int fd; (fd = ::fcntl(first, F_DUPFD_CLOEXEC, 0)) >= 0;) taken_.push_back(fd);
    for (int k = 0; k < left && !taken_.empty(); ++k) {
      ::close(taken_.back());
      taken_.pop_back();
    }
  }
  ~FileHandlesLeft() {
    for (const int fd : taken_) ::close(fd);
    ::setrlimit(RLIMIT_NOFILE, &saved_);
  }
  FileHandlesLeft(const FileHandlesLeft&) = delete;
  FileHandlesLeft& operator=(const FileHandlesLeft&) = delete;

 private:
  static constexpr rlim_t kLimit = 4096;
  rlimit saved_{};
  std::vector<int> taken_;
};

}  // namespace test_support
