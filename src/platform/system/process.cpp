#include "platform/system/process.h"

#include <cerrno>
#include <cstring>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "platform/system/cp1252.h"

extern char** environ;

namespace platform {

LaunchResult LaunchProcess(const std::vector<std::string>& argv, const LaunchOptions& options) {
  LaunchResult result;
  if (argv.empty() || argv[0].empty()) {
    result.error = EINVAL;
    return result;
  }
  // Arguments are cp1252 text (paths, codes); the system reads UTF-8.
  std::vector<std::string> diskArgs;
  diskArgs.reserve(argv.size());
  for (const auto& a : argv) diskArgs.push_back(Cp1252ToUtf8(a));
  std::vector<char*> args;
  args.reserve(diskArgs.size() + 1);
  for (auto& a : diskArgs) args.push_back(a.data());
  args.push_back(nullptr);

  // Environment: ours, with the extra entries added or replacing the same name.
  std::vector<std::string> env;
  for (char** e = environ; e && *e; ++e) env.emplace_back(*e);
  for (const auto& given : options.extraEnvironment) {
    const std::string extra = Cp1252ToUtf8(given);
    auto eq = extra.find('=');
    if (eq == std::string::npos) continue;
    std::string prefix = extra.substr(0, eq + 1);
    bool replaced = false;
    for (auto& e : env) {
      if (e.compare(0, prefix.size(), prefix) == 0) {
        e = extra;
        replaced = true;
        break;
      }
    }
    if (!replaced) env.push_back(extra);
  }
  std::vector<char*> envp;
  envp.reserve(env.size() + 1);
  for (auto& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  const std::string workingDirectory = Cp1252ToUtf8(options.workingDirectory);
  if (!workingDirectory.empty()) posix_spawn_file_actions_addchdir_np(&actions, workingDirectory.c_str());

  pid_t pid = 0;
  int rc = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) {
    result.error = rc;
    return result;
  }
  result.launched = true;
  result.pid = pid;
  if (!options.wait && options.watchMs > 0) {
    // A program that fails at once (a viewer that finds nothing to show the
    // file with) is told from one that runs on.
    for (int waited = 0; waited < options.watchMs; waited += 20) {
      int st = 0;
      const pid_t w = waitpid(pid, &st, WNOHANG);
      if (w == pid) {
        if (WIFEXITED(st)) result.exitStatus = WEXITSTATUS(st);
        else if (WIFSIGNALED(st)) result.exitStatus = 128 + WTERMSIG(st);
        return result;
      }
      if (w < 0 && errno != EINTR) return result;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  }
  if (!options.wait) {
    // Nobody waits for it: reap it in the background so no zombie stays.
    std::thread([pid] {
      int st = 0;
      while (waitpid(pid, &st, 0) < 0 && errno == EINTR) {
      }
    }).detach();
    return result;
  }

  int status = 0;
  pid_t w;
  do {
    w = waitpid(pid, &status, 0);
  } while (w < 0 && errno == EINTR);
  if (w < 0) {
    result.error = errno;
    return result;
  }
  if (WIFEXITED(status)) {
    result.exitStatus = WEXITSTATUS(status);
    // The child reports a failed exec (e.g. a missing working directory) as 127.
  } else if (WIFSIGNALED(status)) {
    result.exitStatus = 128 + WTERMSIG(status);
  }
  return result;
}

}  // namespace platform
