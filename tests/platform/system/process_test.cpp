// A program run to its end with its output kept: both streams in one, the end of a long
// output, text as the program holds it, a child left running that does not hold up the
// end, and the caller's work between two looks while the program runs.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <string>
#include <vector>

#include "platform/system/files.h"
#include "platform/system/process.h"
#include "support/temp_folder.h"

using namespace platform;

namespace {

LaunchResult RunShell(const std::string& script, LaunchOptions options = {}) {
  options.wait = true;
  options.captureOutput = true;
  return LaunchProcess({"/bin/sh", "-c", script}, options);
}

TEST(ProcessOutput, IsKeptWithTheExitStatus) {
  const struct Case {
    const char* script;
    int status;
    std::string output;
  } cases[] = {
      {"echo un; echo deux >&2; echo trois; exit 4", 4, "un\ndeux\ntrois\n"},
      {"printf 'sans fin de ligne'", 0, "sans fin de ligne"},
      {"read x; echo \"[$x]\"", 0, "[]\n"},  // reads nothing, never waits for a keyboard
      {"printf 'r\\303\\251sum\\303\\251\\n'", 0, "r\xE9sum\xE9\n"},                  // UTF-8
      {"printf 'caf\\351\\n'", 0, "caf\xE9\n"},                                        // another set: kept
      {"printf '\\305\\201\\303\\263d\\305\\272 \\342\\202\\254\\n'", 0, "?\xF3" "d? \x80\n"},  // Łódź €
      {"kill -9 $$", 128 + 9, ""},
  };
  for (const Case& c : cases) {
    const LaunchResult r = RunShell(c.script);
    EXPECT_TRUE(r.launched) << c.script;
    EXPECT_EQ(r.exitStatus, c.status) << c.script;
    EXPECT_EQ(r.output, c.output) << c.script;
  }
}

TEST(ProcessOutput, KeepsTheEndOfALongOutput) {
  const LaunchResult r = RunShell("i=0; while [ $i -lt 20000 ]; do echo \"ligne $i\"; i=$((i+1)); done");
  ASSERT_EQ(r.exitStatus, 0);
  EXPECT_LE(r.output.size(), kKeptOutput);
  EXPECT_GT(r.output.size(), kKeptOutput / 2);
  EXPECT_EQ(r.output.rfind("ligne 19999\n"), r.output.size() - 12);
  EXPECT_EQ(r.output.rfind("ligne ", 0), 0u);  // the cut line went whole
}

TEST(ProcessOutput, AChildLeftRunningDoesNotHoldUpTheEnd) {
  // The child keeps the pipe open for seconds; the end is the program's own.
  test_support::TempFolder dir;
  int looks = 0;
  LaunchOptions options;
  options.whileWaiting = [&] { ++looks; };
  const LaunchResult r = RunShell("(sleep 5; echo tard) & echo fini", options);
  EXPECT_EQ(r.exitStatus, 0);
  EXPECT_EQ(r.output, "fini\n");
  EXPECT_LT(looks, 40);  // well under the child's 5 s at 40 ms a look
}

TEST(ProcessOutput, TheCallerWorksWhileTheProgramRuns) {
  // The program waits for a file that only the caller's work makes, and gives up after
  // 20 s: it ends well only when that work ran during the wait.
  test_support::TempFolder dir;
  const std::string answer = dir.path() + "/reponse";
  const std::vector<std::string> argv = {
      "/bin/sh", "-c",
      "i=0; while [ ! -f \"$1\" ]; do i=$((i+1)); [ $i -gt 400 ] && exit 7; sleep 0.05; done; echo vu", "sh", answer};
  int looks = 0;
  LaunchOptions options;
  options.wait = true;
  options.pollMs = 10;
  options.whileWaiting = [&] {
    if (++looks == 5) WriteFileAtomic(answer, "x");
  };
  for (bool capture : {true, false}) {
    SCOPED_TRACE(capture);
    looks = 0;
    RemoveFile(answer);
    options.captureOutput = capture;
    const LaunchResult r = LaunchProcess(argv, options);
    EXPECT_EQ(r.exitStatus, 0);
    EXPECT_EQ(r.output, capture ? "vu\n" : "");
    EXPECT_GE(looks, 5);
  }
}

TEST(ProcessOutput, LastLinesLeaveBlankLinesOut) {
  const struct Case {
    const char* output;
    int count;
    const char* lines;
  } cases[] = {
      {"", 3, ""},
      {"a\nb\nc\nd\n", 2, "c\nd"},
      {"a\r\n\r\n  \nb\t1\n\n", 5, "a\nb 1"},
      {"seule", 3, "seule"},
      {"x\ny   \n", 1, "y"},
  };
  for (const Case& c : cases) EXPECT_EQ(LastOutputLines(c.output, c.count), c.lines) << c.output;
  const std::string z120(120, 'z');
  EXPECT_EQ(LastOutputLines(std::string(300, 'z'), 1, 120), z120 + "\n" + z120 + "\n" + std::string(60, 'z'));
}

// A line longer than the width comes whole, in rows broken at its blanks (the blanks there dropped, the line's own
// indent kept), a word longer than a row cut at the width; only a line of more than eight rows loses its beginning.
TEST(ProcessOutput, LongLinesComeWholeInRows) {
  const std::string x10(10, 'x');
  const struct Case {
    std::string output;
    std::size_t width;
    std::string lines;
  } cases[] = {
      {"a b c", 3, "a b\nc"},
      {"aaaa    bbbb\nfin", 6, "aaaa\nbbbb\nfin"},
      {"  ab cd", 4, "  ab\ncd"},
      {"abcdefgh ij", 4, "abcd\nefgh\nij"},
      {std::string(200, 'x'), 10, "..." + x10 + "\n" + x10 + "\n" + x10 + "\n" + x10 + "\n" + x10 + "\n" + x10 +
                                      "\n" + x10 + "\n" + x10},
  };
  for (const Case& c : cases) EXPECT_EQ(LastOutputLines(c.output, 3, c.width), c.lines) << c.output;
}

// A batch file's French message longer than a row, written in UTF-8 by the shell, comes whole in the program's cp1252:
// each accented letter one character, the rows within the width, the end of the sentence there.
TEST(ProcessOutput, ALongAccentedLineOfABatchFileComesWhole) {
  const std::string folder =
      "/media/sauvegardes/comptabilit\xE9 g\xE9n\xE9rale/exercice 2024/soci\xE9t\xE9s du groupe \xE0 Orl\xE9" "ans";
  const std::string said = "Le fichier " + folder + "/ZELDEMO.lzh n'a pas pu \xEAtre \xE9" "crite";
  ASSERT_GT(said.size(), 120u);
  LaunchOptions options;
  options.wait = true;
  options.captureOutput = true;
  const LaunchResult run = LaunchProcess({"/bin/sh", "-c", "echo 'lha: 1 fichier'; printf '%s\\n' \"$1\"; exit 3",
                                          "sh", said},
                                         options);
  ASSERT_EQ(run.exitStatus, 3);
  const std::string lines = LastOutputLines(run.output, 2);
  ASSERT_EQ(lines.rfind("lha: 1 fichier\n", 0), 0u) << lines;
  std::string rows = lines.substr(15), joined;
  for (std::size_t at = 0; at <= rows.size();) {
    std::size_t eol = rows.find('\n', at);
    if (eol == std::string::npos) eol = rows.size();
    EXPECT_LE(eol - at, 120u) << rows.substr(at, eol - at);
    joined += (joined.empty() ? "" : " ") + rows.substr(at, eol - at);
    at = eol + 1;
  }
  EXPECT_EQ(joined, said);
  EXPECT_NE(rows.find('\n'), std::string::npos) << "wrapped";
}

}  // namespace

// The program ignores SIGXFSZ for its own writes; a launched program must not inherit that, or a
// file-size limit would no longer stop it.
TEST(ProcessOutput, ALaunchedProgramGetsTheFileSizeSignalBack) {
  IgnoreFileSizeLimitSignal();
  test_support::TempFolder folder;
  LaunchOptions options;
  options.wait = true;
  const LaunchResult r = LaunchProcess(
      {"/bin/sh", "-c", "ulimit -f 1; exec dd if=/dev/zero of=\"$1\" bs=4096 count=1 2>/dev/null", "sh",
       folder / "big"},
      options);
  EXPECT_EQ(r.exitStatus, 128 + SIGXFSZ);
}

// A program that outlives its time limit is ended and said to be; one that ends in time is not,
// with or without its output kept.
TEST(ProcessOutput, ATimeLimitEndsTheProgram) {
  const struct Case {
    const char* script;
    bool capture;
    int limitMs;
    bool timedOut;
    int status;
  } cases[] = {
      {"exec sleep 30", true, 200, true, 128 + SIGKILL},
      {"exec sleep 30", false, 200, true, 128 + SIGKILL},
      {"trap '' TERM; while :; do :; done", true, 200, true, 128 + SIGKILL},
      {"exit 3", true, 5000, false, 3},
      {"exit 0", false, 5000, false, 0},
  };
  for (const Case& c : cases) {
    LaunchOptions options;
    options.wait = true;
    options.captureOutput = c.capture;
    options.timeLimitMs = c.limitMs;
    const auto start = std::chrono::steady_clock::now();
    const LaunchResult r = LaunchProcess({"/bin/sh", "-c", c.script}, options);
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
    EXPECT_EQ(r.timedOut, c.timedOut) << c.script;
    EXPECT_EQ(r.exitStatus, c.status) << c.script;
    EXPECT_LT(ms, 4000) << c.script;
  }
}
