// What the benchmark programs share: the line count of the generated dossier, a temporary folder with the
// runtime and the engine started in it, the generated dossier made current, the frame of the window benchmarks,
// and the largest journal-month of the draft.
#pragma once

#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <time.h>

#include <malloc.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <initializer_list>
#include <optional>
#include <string>
#include <thread>
#include <utility>

#include "data/books_write_permit.h"
#include "data/dossier_files.h"
#include "data/entry_lines.h"
#include "data/locks.h"
#include "data/session.h"
#include "data/table.h"
#include "data/table_create.h"
#include "demo/dossier_demo.h"
#include "platform/system/cp1252.h"
#include "platform/system/files.h"
#include "platform/gui/application.h"
#include "platform/gui/mdi.h"
#include "platform/gui/modal_seam.h"
#include "runtime/inifiles.h"
#include "runtime/runtime_hooks.h"
#include "runtime/runtime_init.h"
#include "runtime/session_registry.h"
#include "runtime/xbase.h"
#include "shell/graphics.h"

namespace bench_world {

// MERLON_BENCH_LINES (default 999,999, the most the sort file can point at), kept between least and most.
inline long BenchLines(long least = 1000, long most = kMaxDemoLines) {
  const char* text = std::getenv("MERLON_BENCH_LINES");
  const long n = text != nullptr ? std::atol(text) : kMaxDemoLines;
  return n < least ? least : (n > most ? most : n);
}

// True when MERLON_BENCH_WITHOUT_PERMITS is set: a benchmark's set-up that writes the books takes no
// permit (SetUpPermit) and a run that the program makes under its guard runs without it, so that the
// table layer refuses their writes. The CTest runs bench_without_permits_<name> check that the
// benchmark then stops with an error rather than measure nothing.
inline bool PermitsWithheld() {
  const char* text = std::getenv("MERLON_BENCH_WITHOUT_PERMITS");
  return text != nullptr && *text != '\0';
}

// The permit of a benchmark's own set-up that writes the books (lines put in place, pieces moved,
// journal-month headers with their totals), named "banc : <what>"; none when PermitsWithheld().
class SetUpPermit {
 public:
  explicit SetUpPermit(const std::string& what) {
    if (!PermitsWithheld()) permit_.emplace("banc : " + what, BooksScope::OpenFolder());
  }

 private:
  std::optional<BooksWritePermit> permit_;
};

// A folder /tmp/merlon-<name>-bench-XXXXXX with the runtime started in it (program folder "program/", messages
// on stderr, no beep, no lock notice) and the engine's session; with windows, Qt off screen, the shared graphics
// and the modal seam answering. All of it is stopped and the folder removed at the end.
class BenchRuntime {
 public:
  BenchRuntime(const std::string& name, bool windows) : windows_(windows) {
    if (windows_) setenv("QT_QPA_PLATFORM", "offscreen", 0);
    std::string pattern = "/tmp/merlon-" + name + "-bench-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) return;
    dir_ = pattern;
    SetProgramFolder(dir_ + "/program/");
    InitRuntime();
    SetRuntimeMessageHook([](const char* caption, const char* text, unsigned) {
      std::fprintf(stderr, "%s: %s\n", caption, text);
      return 1;
    });
    SetRuntimeBeepHook([](unsigned) {});
    SetLockNoticeHook([](const char*, const char*) {});
    if (windows_) {
      gui::Application::EnsureQt();
      MakeSharedGraphics(96);
      gui::ModalSeam::SetTestMode(true);
    }
    OpenWindowRegistry.assign(kOpenWindowRegistryLength, ' ');
    started_ = StartDbSession() == 0;
  }
  ~BenchRuntime() {
    if (dir_.empty()) return;
    CloseAllTables();
    if (started_) StopDbSession();
    if (windows_) FreeSharedGraphics();
    FreeRuntime();
    std::filesystem::remove_all(dir_);
  }
  BenchRuntime(const BenchRuntime&) = delete;
  BenchRuntime& operator=(const BenchRuntime&) = delete;

  bool started() const { return started_; }
  const std::string& dir() const { return dir_; }

  // Generates the demo dossier (in <dir>/dossier/, code "BENCH" unless the options say otherwise) and makes it
  // the current dossier; a failure is told on stderr.
  bool Generate(DemoOptions& options) const {
    if (!started_) return false;
    if (options.folder.empty()) options.folder = dir_ + "/dossier/";
    if (options.code.empty()) options.code = "BENCH";
    std::string message;
    DemoStats stats;
    const double start = CpuSeconds();
    if (!GenerateDemoDossier(options, &message, &stats)) {
      std::fprintf(stderr, "generation: %s\n", message.c_str());
      return false;
    }
    if (stats.lines > 0) generatorMicrosPerLine_ = (CpuSeconds() - start) * 1e6 / static_cast<double>(stats.lines);
    generatedLines_ = stats.lines;
    SetDossier(options.folder, options.code);
    return true;
  }
  // Generate, or the copy of the dossier that a run of the same program (`name`) and size kept in the folder
  // MERLON_BENCH_CACHE names (<cache>/<name>-<lines>/), with the generator's cost per line measured when it was
  // made; a dossier generated is kept there for the next run. Without MERLON_BENCH_CACHE, Generate alone.
  bool GenerateOrKept(DemoOptions& options, const std::string& name) const {
    namespace fs = std::filesystem;
    const char* cache = std::getenv("MERLON_BENCH_CACHE");
    if (cache == nullptr || *cache == '\0') return Generate(options);
    if (options.folder.empty()) options.folder = dir_ + "/dossier/";
    if (options.code.empty()) options.code = "BENCH";
    const std::string kept = std::string(cache) + "/" + name + "-" + std::to_string(options.lines);
    std::error_code ec;
    if (started_ && fs::exists(kept + "/done", ec)) {
      fs::copy(kept + "/dossier", options.folder, fs::copy_options::recursive, ec);
      if (ec) return false;
      std::ifstream done(kept + "/done");
      done >> generatedLines_ >> generatorMicrosPerLine_;
      SetDossier(options.folder, options.code);
      return true;
    }
    if (!Generate(options)) return false;
    fs::remove_all(kept, ec);
    fs::create_directories(kept, ec);
    fs::copy(options.folder, kept + "/dossier", fs::copy_options::recursive, ec);
    if (!ec) std::ofstream(kept + "/done") << generatedLines_ << " " << generatorMicrosPerLine_ << "\n";
    return true;
  }
  // The CPU time the generator paid for each line it wrote with all its indexes (0 before Generate): the
  // baseline of the runs that write lines.
  double GeneratorMicrosPerLine() const { return generatorMicrosPerLine_; }
  // The lines the last Generate wrote.
  long GeneratedLines() const { return generatedLines_; }

  // The CPU time of the whole process so far, in seconds.
  static double CpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
  }

 private:
  bool windows_ = false;
  bool started_ = false;
  std::string dir_;
  mutable double generatorMicrosPerLine_ = 0;
  mutable long generatedLines_ = 0;
};

// The body of a benchmark program's main: the benchmarks run, then `drop` destroys what they made (the world
// with its windows and tables) before the program's statics go, Qt's among them.
template <class Drop>
int RunBenchmarksThen(int argc, char** argv, Drop drop) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  drop();
  benchmark::Shutdown();
  return 0;
}

// A figure beside its baseline measured in the same program: the ratio and the target it must not pass, as
// counters of the benchmark's line ("ratio", "target").
inline void ReportRatio(benchmark::State& state, double figure, double baseline, double target) {
  state.counters["ratio"] = baseline > 0 ? figure / baseline : 0;
  state.counters["target"] = target;
}

// A run that writes lines beside the generator's cost per line measured in the same program: the counters
// "lines_written", "us_per_line" (the run's CPU time per line written), "generator_us_per_line" and their
// "ratio" (no target: compared run to run).
inline void ReportPerLine(benchmark::State& state, double cpuSeconds, long lines, const BenchRuntime& runtime) {
  const double perLine = lines > 0 ? cpuSeconds * 1e6 / static_cast<double>(lines) : 0;
  const double generator = runtime.GeneratorMicrosPerLine();
  state.counters["lines_written"] = static_cast<double>(lines);
  state.counters["us_per_line"] = perLine;
  state.counters["generator_us_per_line"] = generator;
  state.counters["ratio"] = generator > 0 ? perLine / generator : 0;
}

// The benchmark's loop over `run` (one iteration a repetition in the heavy benchmarks): the CPU time of the
// whole process, every thread, spent in the last run.
template <class Run>
double ProcessCpuOfLoop(benchmark::State& state, Run run) {
  double cpu = 0;
  for (auto _ : state) {
    const double start = BenchRuntime::CpuSeconds();
    run();
    cpu = BenchRuntime::CpuSeconds() - start;
  }
  return cpu;
}

// A copy of a folder kept aside, put back whole before each run of a benchmark that changes it (the runs
// that empty the draft, write or move lines), so that every repetition starts from the same files. The
// caller closes the tables first.
class FolderSnapshot {
 public:
  explicit FolderSnapshot(std::string folder) : folder_(std::move(folder)) {
    while (!folder_.empty() && folder_.back() == '/') folder_.pop_back();
  }
  // Takes the copy the first time, puts it back the next times.
  bool Restore() {
    namespace fs = std::filesystem;
    std::error_code ec;
    const std::string saved = folder_ + ".saved";
    if (!taken_) {
      fs::remove_all(saved, ec);
      fs::copy(folder_, saved, fs::copy_options::recursive, ec);
      taken_ = !ec;
      return taken_;
    }
    fs::remove_all(folder_, ec);
    if (ec) return false;
    fs::copy(saved, folder_, fs::copy_options::recursive, ec);
    return !ec;
  }

 private:
  std::string folder_;
  bool taken_ = false;
};

// The frame of the window benchmarks, shown at the given size around its client.
inline std::unique_ptr<gui::MDIFrame> ShowFrame(gui::MDIClient* client, int width, int height) {
  auto frame = std::make_unique<gui::MDIFrame>("Merlon", client);
  frame->MoveWindow(gui::Rect{0, 0, width, height});
  frame->Create();
  frame->Show(gui::SW_SHOW);
  return frame;
}

// The journal-month (month and journal, as a line's key starts) with the most live general lines of the draft
// table c50, and their count.
inline std::pair<std::string, long> LargestJournalMonth(Table& c50) {
  using L = LigneEcriture;
  std::map<std::string, long> months;
  for (bool more = c50.GoTop(""); more; more = c50.Skip(1))
    if (c50.GetField(L::BCLE)[0] == 'Z') ++months[std::string(c50.GetField(L::BMOIS)) + c50.GetField(L::BJAL)];
  std::pair<std::string, long> largest{"", 0};
  for (const auto& [m, n] : months)
    if (n > largest.second) largest = {m, n};
  return largest;
}

// The report set "0" made afresh with the program's own layouts of these codes (file
// src/resources/reports/C-Etat-<code>.txt, kept under its code and name).
inline bool MakeStandardReportSet(std::initializer_list<const char*> codes) {
  const std::string set = PathReportDefs('0');
  if (CreateTableOfKind(TableKind::ReportDefs, set, true) != 0) return false;
  Table t;
  if (!t.OpenShared(set, "CE0CODE")) return false;
  for (const char* code : codes) {
    std::string raw, text;
    const std::string file = std::string(MERLON_SOURCE_DIR) + "/src/resources/reports/C-Etat-" + code + ".txt";
    if (!platform::ReadWholeFile(file, raw) || !platform::Utf8ToCp1252(raw, text, platform::Unassigned::kRefuse))
      return false;
    t.AppendBlank();
    t.PutField(1, code);
    t.PutField(2, code);
    t.InsertRecord();
    t.PutMemoText(11, text);
    t.Commit();
  }
  t.CloseTable(true);
  return true;
}

// The layout `code` ("EL-1LISTE") as the program ships it, read from the source tree (not
// from __FILE__, which the compiler cache may make relative to the build folder), in cp1252; empty
// when it cannot be read.
inline std::string ShippedLayout(const std::string& code) {
  std::string raw, text;
  if (!platform::ReadWholeFile(std::string(MERLON_SOURCE_DIR) + "/src/resources/reports/C-Etat-" + code + ".txt", raw))
    return {};
  platform::Utf8ToCp1252(raw, text, platform::Unassigned::kRefuse);
  return text;
}

// A count of kilobytes from /proc/self/status ("VmRSS:", "VmHWM:"), 0 when it cannot be read.
inline long StatusKb(const char* key) {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind(key, 0) == 0) return std::atol(line.c_str() + std::strlen(key));
  return 0;
}

// The memory a run makes resident: the kernel's peak resident size (VmHWM of /proc/self/status),
// reset to the current size through /proc/self/clear_refs before the run, less the resident size
// at its start; the heap freed by earlier runs is given back first so that a run cannot reuse it
// unseen (unless `trim` is false: inside a timed run). Megabytes; -1 where the kernel does not
// allow the reset.
class PeakRssGrowth {
 public:
  explicit PeakRssGrowth(bool trim = true) {
    if (trim) malloc_trim(0);
    std::FILE* f = std::fopen("/proc/self/clear_refs", "w");
    resetOk_ = f != nullptr && std::fputs("5", f) >= 0;
    if (f != nullptr) resetOk_ = std::fclose(f) == 0 && resetOk_;
    startKb_ = StatusKb("VmRSS:");
  }
  long StartKb() const { return startKb_; }
  double Megabytes() const { return resetOk_ ? static_cast<double>(StatusKb("VmHWM:") - startKb_) / 1024.0 : -1; }

 private:
  bool resetOk_ = false;
  long startKb_ = 0;
};

// The memory a run holds at its peak, from the kernel's count of the process's resident pages, the
// freed heap given back first. Peak(): the growth of the anonymous pages (resident less file-backed,
// from /proc/self/statm) sampled every 50 microseconds on a thread of its own while the run runs:
// what the run makes, without the pages of the tables it maps (the file cache, shared with every
// process). HighWater(): the growth of all resident pages at their peak (VmHWM), those included.
class PeakMemory {
 public:
  template <typename Run>
  void Measure(Run run) {
    malloc_trim(0);
    std::ofstream("/proc/self/clear_refs") << "5";  // VmHWM back to VmRSS
    const long rss = StatusKb("VmRSS:");
    const long before = Anonymous();
    std::atomic<bool> done{false};
    std::atomic<long> peak{before};
    std::thread sampler([&] {
      while (!done.load()) {
        const long now = Anonymous();
        if (now > peak.load()) peak.store(now);
        std::this_thread::sleep_for(std::chrono::microseconds(50));
      }
    });
    run();
    done.store(true);
    sampler.join();
    peak_ = static_cast<double>(std::max(peak.load(), Anonymous()) - before);
    highWater_ = static_cast<double>(StatusKb("VmHWM:") - rss) * 1024.0;
  }
  double Peak() const { return peak_; }
  double HighWater() const { return highWater_; }

 private:
  // Resident less shared pages, in bytes.
  static long Anonymous() {
    std::ifstream statm("/proc/self/statm");
    long size = 0, resident = 0, shared = 0;
    statm >> size >> resident >> shared;
    return (resident - shared) * sysconf(_SC_PAGESIZE);
  }
  double peak_ = 0, highWater_ = 0;
};

}  // namespace bench_world
