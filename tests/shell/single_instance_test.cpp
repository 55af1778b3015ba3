#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "shell/single_instance.h"
#include "shell_test_support.h"

namespace {

class SingleInstanceTest : public ::testing::Test {
 protected:
  test_support::TempFolder temp_{"merlon-lock"};
  const std::string folder_ = temp_.path();
};

// Runs the program with its runtime folder in `folder`; returns its exit
// status and what it wrote to its error output.
int RunProgram(const std::string& folder, std::string& errors) {
  std::string errFile = folder + "/stderr.txt";
  pid_t pid = fork();
  if (pid == 0) {
    int fd = open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    dup2(fd, 2);
    setenv("XDG_RUNTIME_DIR", folder.c_str(), 1);
    setenv("MERLON_HOME", (folder + "/home").c_str(), 1);
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    execl(MERLON_PROGRAM, MERLON_PROGRAM, static_cast<char*>(nullptr));
    _exit(127);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  std::ifstream in(errFile, std::ios::binary);
  errors.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

#ifdef MERLON_PROGRAM
// A first copy runs in another process: the program started now beeps twice
// and ends with code 0. Once the first copy is killed, the lock is free.
TEST_F(SingleInstanceTest, SecondStartBeepsTwiceAndAKilledFirstCopyDoesNotBlock) {
  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  pid_t first = fork();
  if (first == 0) {
    close(ready[0]);
    SingleInstanceGuard guard;
    char c = guard.Acquire(folder_) == SingleInstanceGuard::Result::Acquired ? 'y' : 'n';
    if (write(ready[1], &c, 1) != 1) _exit(2);
    for (;;) pause();
  }
  close(ready[1]);
  char c = 0;
  ASSERT_EQ(read(ready[0], &c, 1), 1);
  close(ready[0]);
  ASSERT_EQ(c, 'y');

  std::string errors;
  EXPECT_EQ(RunProgram(folder_, errors), 0);
  EXPECT_EQ(std::count(errors.begin(), errors.end(), '\a'), 2) << errors;
  EXPECT_FALSE(std::filesystem::exists(folder_ + "/home/merlon.ini")) << "the second copy touched nothing";

  SingleInstanceGuard probe;
  EXPECT_EQ(probe.Acquire(folder_), SingleInstanceGuard::Result::AlreadyRunning);
  kill(first, SIGKILL);
  int status = 0;
  waitpid(first, &status, 0);
  EXPECT_EQ(probe.Acquire(folder_), SingleInstanceGuard::Result::Acquired);
}
#endif

}  // namespace
