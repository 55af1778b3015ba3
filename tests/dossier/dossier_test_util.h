// Set-up of the dossier-core tests: a started runtime and engine session with a program
// folder of its own, every message box and beep recorded, and helpers that run a program
// through an argument vector and read its output.
#pragma once

#include <gtest/gtest.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "data/dossier_files.h"
#include "data/session.h"
#include "data/table.h"
#include "runtime/dossier_record.h"
#include "runtime/inifiles.h"
#include "runtime/logfile.h"
#include "runtime/runtime_hooks.h"
#include "runtime/runtime_init.h"
#include "runtime/session_registry.h"
#include "support/other_process.h"
#include "support/temp_folder.h"

extern char** environ;

namespace dossier_test {

inline std::vector<std::string>& Boxes() {
  static std::vector<std::string> boxes;
  return boxes;
}

// Runs argv[0] with the arguments (no shell), stdout and stderr joined into *output;
// answers the exit code (-1 when it could not start or did not exit).
inline int Run(const std::vector<std::string>& args, std::string* output,
               const std::vector<std::string>& extraEnv = {}) {
  int fds[2];
  if (::pipe(fds) != 0) return -1;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
  posix_spawn_file_actions_adddup2(&actions, fds[1], 2);
  posix_spawn_file_actions_addclose(&actions, fds[0]);
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  std::vector<std::string> envText(extraEnv);
  for (char** e = environ; *e != nullptr; ++e) envText.emplace_back(*e);
  std::vector<char*> envp;
  for (std::string& e : envText) envp.push_back(e.data());
  envp.push_back(nullptr);
  pid_t pid = 0;
  const int rc = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  ::close(fds[1]);
  if (rc != 0) {
    ::close(fds[0]);
    return -1;
  }
  char buf[4096];
  ssize_t n;
  while ((n = ::read(fds[0], buf, sizeof buf)) > 0) output->append(buf, static_cast<std::size_t>(n));
  ::close(fds[0]);
  int status = 0;
  if (::waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

// Runs a Python script of this folder with /usr/bin/python3.
inline int RunPython(const std::string& script, const std::vector<std::string>& args, std::string* output) {
  std::vector<std::string> all{"/usr/bin/python3", std::string(MERLON_SOURCE_DIR) + "/tests/dossier/" + script};
  all.insert(all.end(), args.begin(), args.end());
  return Run(all, output);
}

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// The lines of a text file, without their line ends.
inline std::vector<std::string> FileLines(const std::string& path) {
  std::vector<std::string> lines;
  std::istringstream in(ReadFile(path));
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// Every file of a folder but its text files (logs), names and contents joined.
inline std::string FolderBytes(const std::string& folder) {
  std::string all;
  for (const auto& e : std::filesystem::directory_iterator(folder))
    if (e.path().extension() != ".txt") all += e.path().string() + ReadFile(e.path().string());
  return all;
}

// Runtime and engine up, in a temporary folder that is also the program folder.
class SessionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetProgramFolder(dir_ + "/program/");
    ASSERT_TRUE(InitRuntime());
    EnsureOpenWindowRegistry();
    TheDossierRecord.Clear();
    Boxes().clear();
    SetRuntimeMessageHook([](const char* caption, const char* text, unsigned) {
      Boxes().push_back(std::string(caption) + ": " + text);
      return 1;
    });
    SetRuntimeBeepHook([](unsigned) {});
    ASSERT_EQ(StartDbSession(), 0);
  }
  void TearDown() override {
    StopDbSession();
    SetRuntimeMessageHook(nullptr);
    SetRuntimeBeepHook(nullptr);
    SetLogDossier("", "");
    SetDossier("", "");
    FreeRuntime();
  }

  const std::string& Dir() const { return temp_.path(); }

 private:
  test_support::TempFolder temp_{"merlon-gen"};
  const std::string dir_ = temp_.path();
};

// Another station: a forked process that opens the dossier's lock table
// shared when told 'o' and closes it on 'c'. Fork it before this process
// opens the tables (the child must hold no copy of this process's locks).
class OtherStation : public test_support::OtherProcess {
 public:
  explicit OtherStation(std::string lockTablePath)
      : OtherProcess([path = std::move(lockTablePath)](char cmd) {
          static Table* lock = nullptr;
          if (lock == nullptr) lock = new Table();
          if (cmd == 'o') return lock->OpenTable(path);
          if (cmd == 'c') return lock->CloseTable(true);
          return false;
        }) {}
};

}  // namespace dossier_test
