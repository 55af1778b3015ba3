// The restore of a checked backup over a large generated dossier: the backup's files (a copy of the
// dossier as it was generated, unpacked into the restore's work folder outside the measure) judged
// whole (each table checked, the books checked together) then put in place under the run's marker,
// three times from the same files. "cpu_s" is the CPU time of the restore, "peak_mb" the growth of
// the process's peak resident size while it ran (VmHWM reset before it), both compared run to run
// and build to build. The dossier's line count comes from MERLON_BENCH_LINES (default 999,999):
//   MERLON_BENCH_LINES=100000 ./restore_bench
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "data/dossier_files.h"
#include "data/dossier_lock.h"
#include "data/session.h"
#include "data/table.h"
#include "demo/dossier_demo.h"
#include "dossier/core/restore_files.h"
#include "platform/system/files.h"
#include "runtime/backup_paths.h"
#include "runtime/dossier_record.h"
#include "runtime/inifiles.h"
#include "runtime/logfile.h"
#include "runtime/runtime_hooks.h"
#include "runtime/runtime_init.h"
#include "runtime/session_registry.h"
// After the runtime headers it uses.
#include "bench_world.h"

namespace {

// The runtime and the generated dossier, with a copy of it kept aside: the backup restored, and the
// dossier each run starts from.
class BenchDossier {
 public:
  BenchDossier() {
    DemoOptions options;
    options.lines = bench_world::BenchLines(kMinDemoLines);
    if (!runtime_.Generate(options)) return;
    lines_ = runtime_.GeneratedLines();
    code_ = options.code;
    folder_ = options.folder;
    SetLogDossier(options.folder, options.code);
    SetDossierIniPath(PathC10(".ini"));
    if (!TableC10->OpenShared(PathC10(), "C10CODE") || !ReadC10Texts()) return;
    if (TableC10->Seek("C10CODE", "P")) {
      TheDossierRecord.Set(539, 252, TableC10->GetField(4));
      TheDossierRecord.Set(791, 252, TableC10->GetField(5));
    }
    CloseAllTables();
    copy_ = std::make_unique<bench_world::FolderSnapshot>(options.folder);
    ready_ = copy_->Restore();
  }
  long lines() const { return lines_; }
  const std::string& code() const { return code_; }

  // The dossier put back as it was generated, its tables closed, and the backup unpacked into a
  // restore's work folder made for it: false, the benchmark skipped, when that failed.
  bool PutBack(benchmark::State& state, RestoreFolders& folders) {
    if (!ready_) {
      state.SkipWithError("the dossier could not be generated");
      return false;
    }
    CloseAllTables();
    if (!copy_->Restore()) {
      state.SkipWithError("the dossier could not be put back");
      return false;
    }
    if (!MakeRestoreFolders(DossierFolder, code_, &folders)) {
      state.SkipWithError("the restore's folder could not be made");
      return false;
    }
    std::string saved = folder_;
    while (!saved.empty() && saved.back() == '/') saved.pop_back();
    saved += ".saved/";
    int copied = 0;
    for (const std::string& name : platform::ListFiles(saved, DossierFilePattern(code_))) {
      if (!platform::CopyFile(saved + name, folders.work + name)) {
        state.SkipWithError("the backup could not be unpacked");
        return false;
      }
      ++copied;
    }
    if (copied == 0) {
      state.SkipWithError("the backup holds no file");
      return false;
    }
    if (!DossierLockTable->OpenExclusive(DossierTablePath())) {
      state.SkipWithError("the dossier could not be held");
      return false;
    }
    return true;
  }

 private:
  bench_world::BenchRuntime runtime_{"restore", false};
  std::unique_ptr<bench_world::FolderSnapshot> copy_;
  std::string code_, folder_;
  long lines_ = 0;
  bool ready_ = false;
};

std::unique_ptr<BenchDossier> dossier;
BenchDossier& Dossier() {
  if (!dossier) dossier = std::make_unique<BenchDossier>();
  return *dossier;
}

// The backup's files judged then installed: the restore a checked backup method makes once the backup
// is unpacked.
void BM_RestoreDossier(benchmark::State& state) {
  RestoreFolders folders;
  if (!Dossier().PutBack(state, folders)) return;
  double cpu = 0, peak = 0;
  for (auto _ : state) {
    const bench_world::PeakRssGrowth growth;
    const double start = bench_world::BenchRuntime::CpuSeconds();
    const RestoreSelection selection = SelectRestoredFiles(folders.work, DossierFolder, Dossier().code());
    if (!selection.refusal.empty()) {
      std::fprintf(stderr, "restore refused: %s\n", selection.refusal.c_str());
      state.SkipWithError("the backup was refused");
      break;
    }
    const RestoreResult result = InstallRestoredFiles(folders, DossierFolder, Dossier().code(), selection);
    cpu = bench_world::BenchRuntime::CpuSeconds() - start;
    peak = growth.Megabytes();
    if (!result.done) {
      std::fprintf(stderr, "restore not done: %s\n", result.message.c_str());
      state.SkipWithError("the restore was not done");
      break;
    }
  }
  if (DossierLockTable != nullptr) DossierLockTable->CloseTable(true);
  RemoveRestoreFolders(folders);
  state.counters["lines"] = static_cast<double>(Dossier().lines());
  state.counters["cpu_s"] = cpu;
  state.counters["peak_mb"] = peak;
}
BENCHMARK(BM_RestoreDossier)->Unit(benchmark::kSecond)->Iterations(1)->Repetitions(3)->ReportAggregatesOnly(true);

}  // namespace

int main(int argc, char** argv) {
  return bench_world::RunBenchmarksThen(argc, argv, [] { dossier.reset(); });
}
