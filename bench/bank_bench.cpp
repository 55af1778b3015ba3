// The bank runs' figures, printed in seconds:
//   - the ASCII import into the draft of a file of 100,000 lines into a generated dossier of 899,999
//     lines (999,999 after), read, checked and written (MERLON_BENCH_LINES lowers the dossier).
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>

#include "ascii_fixture.h"
#include "data/dossier_files.h"
#include "data/entry_lines.h"
#include "data/session.h"
#include "demo/dossier_demo.h"
#include "processing/core/ascii_import.h"
#include "processing/core/matching_lines.h"
#include "runtime/dossier_record.h"
#include "runtime/logfile.h"
#include "runtime/xbase.h"
// After the runtime headers it uses.
#include "bench_world.h"

namespace {

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

bool OpenDossier() {
  if (!TableC10->OpenShared(PathC10(), "C10CODE") || !ReadC10Texts() || !TableC20->OpenShared(PathC20(), "C20CODE"))
    return false;
  if (TableC10->Seek("C10CODE", "P", "0")) {
    TheDossierRecord.Set(539, 252, TableC10->GetField(4));
    TheDossierRecord.Set(791, 252, TableC10->GetField(5));
  }
  return true;
}

void BM_AsciiImport100000Lines(benchmark::State& state) {
  constexpr long kImported = 100000;
  bench_world::BenchRuntime runtime("ascii-import", false);
  DemoOptions options;
  options.lines = bench_world::BenchLines(1000, kMaxDemoLines - kImported);
  if (!runtime.Generate(options) || !OpenDossier()) {
    state.SkipWithError("no demo dossier");
    return;
  }
  SetLogDossier(options.folder, options.code);
  AsciiFixtureOptions fixture;
  fixture.lines = kImported;
  const std::string path = runtime.dir() + "/import.txt";
  std::ofstream(path, std::ios::binary) << MakeAsciiFixture(fixture);
  for (auto _ : state) {
    Table c50, c60;
    if (!c50.OpenShared(PathC50(), LigneEcriture::kCodeTag) || !c60.OpenShared(PathC60(), processing::kC60CodeTag)) {
      state.SkipWithError("draft not open");
      return;
    }
    const long before = static_cast<long>(c50.RecCount());
    const auto start = std::chrono::steady_clock::now();
    const processing::AsciiRead read = processing::ReadAsciiFile(*TableC10, *TableC20, c50, path);
    const double readSeconds = Seconds(start);
    if (!read.Importable()) {
      state.SkipWithError(read.errors.empty() ? "nothing to import" : read.errors.front().text.c_str());
      return;
    }
    const processing::AsciiRun run = processing::ImportAsciiFile(*TableC10, c50, c60, read);
    std::printf("ASCII import of %ld lines (%zu pieces) into a draft of %ld records: read and checked in %.3f s, "
                "%s in %.3f s, %ld records after\n",
                read.lines, read.pieces.size(), before, readSeconds, run.written ? "written" : "refused",
                Seconds(start), static_cast<long>(c50.RecCount()));
  }
}
BENCHMARK(BM_AsciiImport100000Lines)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
