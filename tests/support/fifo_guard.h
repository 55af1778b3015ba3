// A named pipe put where a writer is told to write, for the tests of the writers that must refuse
// it. A writer that opens the pipe and waits for a reader (the fault) would hold the test for
// ever: when the test has not called Done() within the wait, the guard opens the pipe for reading
// and drains it, so the writer goes on and the test fails (Released()) rather than blocking ctest.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

namespace test_support {

class FifoGuard {
 public:
  explicit FifoGuard(std::string path, std::chrono::milliseconds wait = std::chrono::seconds(10))
      : path_(std::move(path)), made_(::mkfifo(path_.c_str(), 0644) == 0) {
    if (made_) thread_ = std::thread([this, wait] { Guard(wait); });
  }
  ~FifoGuard() {
    Done();
    if (thread_.joinable()) thread_.join();
  }
  FifoGuard(const FifoGuard&) = delete;
  FifoGuard& operator=(const FifoGuard&) = delete;

  const std::string& Path() const { return path_; }
  bool Made() const { return made_; }
  // The writer has come back: the guard stands down.
  void Done() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      done_ = true;
    }
    wake_.notify_all();
  }
  // The wait ran out before Done(): a writer was held by the pipe and let through.
  bool Released() const { return released_; }

 private:
  void Guard(std::chrono::milliseconds wait) {
    {
      std::unique_lock<std::mutex> lock(mutex_);
      if (wake_.wait_for(lock, wait, [this] { return done_; })) return;
    }
    released_ = true;
    const int fd = ::open(path_.c_str(), O_RDONLY | O_NONBLOCK);
    if (fd < 0) return;
    // Read what the writer sends until the test is over (a reader that went away would kill
    // the writer with SIGPIPE).
    char buffer[4096];
    for (;;) {
      {
        std::lock_guard<std::mutex> lock(mutex_);
        if (done_) break;
      }
      pollfd p{fd, POLLIN, 0};
      if (::poll(&p, 1, 20) > 0 && ::read(fd, buffer, sizeof buffer) <= 0) ::usleep(20000);
    }
    ::close(fd);
  }

  std::string path_;
  bool made_;
  std::mutex mutex_;
  std::condition_variable wake_;
  bool done_ = false;
  std::atomic<bool> released_{false};
  std::thread thread_;
};

}  // namespace test_support
