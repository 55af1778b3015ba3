// The bank runs' figures on generated data:
//   - Reconciliation proposals: a statement of 1,000 transactions paired against the 100,000
//     unreconciled lines of a bank account (the rule of the reconciliation window: bank identity
//     first, then the same amount and sense at the nearest date within 5 days). The lines are a
//     year of amounts drawn from a few hundred common values, so that many lines share an amount
//     and the window has choices to make; a tenth of the transactions carry an identity that a line
//     written by the statement import holds.
//   - OFX reading: a statement of 10,000 transactions read through the reader program merlon-ofx and
//     back into a statement record, as the import window reads it (goal: under 3 s), in both formats;
//   - the ASCII import into the draft of a file of 100,000 lines into a generated dossier of 899,999
//     lines (999,999 after), read, checked and written (MERLON_BENCH_LINES lowers the dossier), and the
//     OFX import of a statement of 20,000 transactions into the same dossier: each three times from the
//     same files, its CPU per line written against the generator's (target 2).
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "ascii_fixture.h"
#include "ofx_fixture/ofx_fixture.h"
#include "platform/system/temp_files.h"
#include "data/dossier_files.h"
#include "data/entry_lines.h"
#include "data/session.h"
#include "demo/dossier_demo.h"
#include "processing/core/ascii_import.h"
#include "processing/core/ofx_import.h"
#include "processing/core/matching_lines.h"
#include "processing/core/ofx_statement.h"
#include "processing/core/reconciliation.h"
#include "runtime/dates.h"
#include "runtime/dossier_record.h"
#include "runtime/logfile.h"
// After the runtime headers it uses.
#include "bench_world.h"
#include "import_world.h"
#include "support/bank_statements.h"

namespace {

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// The lines the ASCII import writes, and the OFX statement's transactions (two lines each).
constexpr long kImported = 100000;
constexpr int kStatementTransactions = 20000;

// The generated dossier the imports write into, made once: the generator's CPU per line is the
// imports' baseline. Each run starts from the files as generated (the folder put back).
struct ImportWorld {
  bench_world::BenchRuntime runtime{"bank-import", false};
  DemoOptions options;
  bool ready = false;
};
std::unique_ptr<ImportWorld> importWorld;
ImportWorld& TheImportWorld() {
  if (!importWorld) {
    importWorld = std::make_unique<ImportWorld>();
    importWorld->options.lines = bench_world::BenchLines(1000, kMaxDemoLines - kImported);
    importWorld->ready = importWorld->runtime.Generate(importWorld->options);
  }
  return *importWorld;
}
// The dossier put back as generated, its general file and chart open, the draft and sort file
// open in `c50`, `c60`.
bool FreshDossier(ImportWorld& w, Table& c50, Table& c60) {
  static bench_world::FolderSnapshot snapshot(w.options.folder);
  return w.ready && bench_world::FreshImportDossier(snapshot, w.options, c50, c60);
}

// The CPU time per line written, beside the generator's: counters us_per_line, generator_us_per_line,
// ratio and target.
void ReportPerLine(benchmark::State& state, double cpu, long lines, double generator) {
  const double perLine = lines > 0 ? cpu * 1e6 / static_cast<double>(lines) : 0;
  state.counters["lines"] = static_cast<double>(lines);
  state.counters["us_per_line"] = perLine;
  state.counters["generator_us_per_line"] = generator;
  bench_world::ReportRatio(state, perLine, generator, 2);
}

// The ASCII import of 100,000 lines, read, checked and written, three times from the same files.
void BM_AsciiImport100000Lines(benchmark::State& state) {
  ImportWorld& w = TheImportWorld();
  Table c50, c60;
  if (!FreshDossier(w, c50, c60)) return state.SkipWithError("no demo dossier");
  AsciiFixtureOptions fixture;
  fixture.lines = kImported;
  const std::string path = w.runtime.dir() + "/import.txt";
  std::ofstream(path, std::ios::binary) << MakeAsciiFixture(fixture);
  double cpu = 0;
  long lines = 0;
  for (auto _ : state) {
    const long before = static_cast<long>(c50.RecCount());
    const auto start = std::chrono::steady_clock::now();
    const double cpuStart = bench_world::BenchRuntime::CpuSeconds();
    const processing::AsciiRead read = processing::ReadAsciiFile(*TableC10, *TableC20, c50, path);
    const double readSeconds = Seconds(start);
    if (!read.Importable()) {
      state.SkipWithError(read.errors.empty() ? "nothing to import" : read.errors.front().text.c_str());
      return;
    }
    const processing::AsciiRun run = processing::ImportAsciiFile(*TableC10, c50, c60, read);
    cpu = bench_world::BenchRuntime::CpuSeconds() - cpuStart;
    if (!run.written) return state.SkipWithError(run.message.c_str());
    lines = run.pieces.lines;
    std::printf("ASCII import of %ld lines (%zu pieces) into a draft of %ld records: read and checked in %.3f s, "
                "written in %.3f s (%.3f s CPU), %ld records after\n",
                read.lines, read.pieces.size(), before, readSeconds, Seconds(start), cpu,
                static_cast<long>(c50.RecCount()));
  }
  ReportPerLine(state, cpu, lines, w.runtime.GeneratorMicrosPerLine());
}
BENCHMARK(BM_AsciiImport100000Lines)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(3)
    ->ReportAggregatesOnly(true);

// The OFX import of a statement of 20,000 transactions (40,000 lines) into the bank journal, three
// times from the same files; the statement is read beforehand, as the import window has it.
void BM_OfxImport20000Transactions(benchmark::State& state) {
  ImportWorld& w = TheImportWorld();
  Table c50, c60;
  if (!FreshDossier(w, c50, c60)) return state.SkipWithError("no demo dossier");
  const processing::StatementImport request =
      test_support::DemoStatementRequest(ofx_fixture::MadeUpStatement(kStatementTransactions));
  double cpu = 0;
  long lines = 0;
  for (auto _ : state) {
    const long before = static_cast<long>(c50.RecCount());
    const auto start = std::chrono::steady_clock::now();
    const double cpuStart = bench_world::BenchRuntime::CpuSeconds();
    const processing::StatementImportResult r = processing::ImportStatement(*TableC10, c50, c60, request);
    cpu = bench_world::BenchRuntime::CpuSeconds() - cpuStart;
    if (!r.written) return state.SkipWithError(r.message.c_str());
    lines = static_cast<long>(c50.RecCount()) - before;
    std::printf("OFX import of %ld transactions into a draft of %ld records: written in %.3f s (%.3f s CPU), "
                "%ld lines\n",
                r.imported, before, Seconds(start), cpu, lines);
  }
  ReportPerLine(state, cpu, lines, w.runtime.GeneratorMicrosPerLine());
}
BENCHMARK(BM_OfxImport20000Transactions)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(3)
    ->ReportAggregatesOnly(true);

void ReadOfx(benchmark::State& state, bool xml) {
  processing::SetOfxReaderPath(MERLON_OFX_READER);
  const processing::BankStatement s = ofx_fixture::MadeUpStatement(static_cast<int>(state.range(0)));
  const std::string path = platform::TemporaryFolder() + (xml ? "/merlon-bench-220.ofx" : "/merlon-bench-102.ofx");
  if (!ofx_fixture::WriteText(path, xml ? ofx_fixture::OfxXml220(s) : ofx_fixture::OfxSgml102(s))) {
    state.SkipWithError("statement file not written");
    return;
  }
  for (auto _ : state) {
    const processing::OfxReading r = processing::ReadOfxStatement(path);
    if (!r.ok || r.statement.transactions.size() != s.transactions.size()) {
      state.SkipWithError(r.message.c_str());
      break;
    }
    benchmark::DoNotOptimize(r.statement.transactions.data());
  }
  state.counters["transactions"] = static_cast<double>(s.transactions.size());
  std::remove(path.c_str());
}

void BM_OfxReadSgml(benchmark::State& state) { ReadOfx(state, false); }
void BM_OfxReadXml(benchmark::State& state) { ReadOfx(state, true); }

constexpr std::size_t kLines = 100000;
constexpr std::size_t kTransactions = 1000;

struct World {
  std::vector<processing::ReconciliationLine> lines;
  std::vector<processing::BankTransaction> transactions;
};

const World& MakeWorld() {
  static const World world = [] {
    World w;
    std::mt19937_64 rng(20603);
    const long first = DaysFromCivil(Ymd{2026, 1, 1});
    std::uniform_int_distribution<long> day(0, 364);
    std::uniform_int_distribution<long long> amount(1, 400);
    w.lines.reserve(kLines);
    for (std::size_t i = 0; i < kLines; ++i) {
      processing::ReconciliationLine l;
      l.c60 = static_cast<std::uint32_t>(i + 1);
      l.date = StoredDateOf(CivilFromDays(first + day(rng)));
      l.cents = (rng() % 3 == 0 ? 1 : -1) * amount(rng) * 250;
      if (i % 100 == 0) l.identity = "FIT" + std::to_string(i);
      w.lines.push_back(std::move(l));
    }
    // The statement: lines of the last weeks, dated up to 3 days later, and a few fees.
    for (std::size_t k = 0; k < kTransactions; ++k) {
      const processing::ReconciliationLine& l = w.lines[kLines - 1 - k * 37];
      Ymd d;
      ParseStoredDate(l.date, d);
      processing::BankTransaction t;
      t.date = YyyymmddOf(CivilFromDays(DaysFromCivil(d) + static_cast<long>(k % 4)));
      t.cents = k % 50 == 49 ? -(static_cast<long long>(k) + 7) : l.cents;
      t.fitid = l.identity;
      w.transactions.push_back(std::move(t));
    }
    return w;
  }();
  return world;
}

void BM_ReconciliationProposals(benchmark::State& state) {
  const World& world = MakeWorld();
  std::vector<processing::ReconciliationLine> lines = world.lines;
  std::size_t paired = 0;
  for (auto _ : state) {
    processing::PairLines(lines, world.transactions, 5);
    paired = 0;
    for (const auto& l : lines) paired += l.transaction >= 0;
    benchmark::DoNotOptimize(paired);
  }
  state.counters["paired"] = static_cast<double>(paired);
}
BENCHMARK(BM_ReconciliationProposals)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK(BM_OfxReadSgml)->Arg(10000)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_OfxReadXml)->Arg(10000)->Unit(benchmark::kMillisecond)->Iterations(3);


// The import world (its runtime and folder) goes before the program's statics.
int main(int argc, char** argv) {
  return bench_world::RunBenchmarksThen(argc, argv, [] { importWorld.reset(); });
}
