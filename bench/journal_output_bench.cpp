// Journal output on a large generated dossier: the credit-transfer file of 10,000 transfers, the
// printout hooks over a journal-month of about 100,000 lines, moving and copying a piece of 1,000
// lines, the validation of the largest journal-month and that of six journal-months holding about 500,000
// lines (copies, packs and the checks of the books included; they run last, from a copy of the dossier put
// back before each repetition).
//
// The dossier is generated once over a financial year of two months and a half, so that a
// journal-month holds about 100,000 lines; with the piece of 1,000 lines the benchmark seeds and the
// copies it makes, it holds 999,999 lines, the most the sort file can point at. MERLON_BENCH_LINES
// sets a smaller dossier; MERLON_BENCH_CACHE names a folder where the generated dossier is kept, and
// found again by the next run of the same size:
//   MERLON_BENCH_LINES=100000 ./journal_output_bench
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cstdio>
#include <algorithm>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "data/account_totals.h"
#include "data/books_write_permit.h"
#include "data/dossier_files.h"
#include "data/dossier_lock.h"
#include "data/entry_lines.h"
#include "data/locks.h"
#include "data/session.h"
#include "data/table.h"
#include "demo/dossier_demo.h"
#include "posting/journal_month.h"
#include "entry/core/journal_printout.h"
#include "entry/core/move_copy.h"
#include "entry/core/validation.h"
#include "platform/system/temp_files.h"
#include "runtime/dossier_record.h"
#include "runtime/inifiles.h"
#include "runtime/numbers.h"
#include "runtime/runtime_hooks.h"
#include "runtime/runtime_init.h"
#include "runtime/session_registry.h"
#include "runtime/xbase.h"

#include "bench_world.h"

namespace {

using L = LigneEcriture;
using namespace entry;
using namespace posting;

constexpr long kPieceLines = 1000;
constexpr int kCopies = 3;
constexpr long kTransfers = 10000;

long BenchLines() { return bench_world::BenchLines(20000, kMaxDemoLines - kPieceLines * (1 + kCopies)); }

struct World {
  World() {
    if (!runtime.started()) return;
    setenv("TMPDIR", runtime.dir().c_str(), 1);
    DemoOptions options;
    options.lines = BenchLines();
    options.firstDay = Ymd{2026, 1, 1};
    options.lastDay = Ymd{2026, 3, 15};
    options.currency = DossierCurrency::EuroMain;
    if (!runtime.GenerateOrKept(options, "journal-output")) return;
    if (!OpenTables() || !ReadC10Texts()) return;
    if (TableC10->Seek("C10CODE", "P")) {
      TheDossierRecord.Set(539, 252, TableC10->GetField(4));
      TheDossierRecord.Set(791, 252, TableC10->GetField(5));
    }
    // The journal-months by size, and the transfers of the bank journal's largest month.
    Table c50;
    c50.OpenShared(PathC50(), L::kCodeTag, true);
    std::vector<std::string> v;
    c50.SetOrder("");
    for (bool more = c50.GoTop(""); more; more = c50.Skip(1)) {
      ReadStoredFields(c50, {L::BCLE, L::BMOIS, L::BJAL, L::BCLIB, L::BSENS}, v);
      if (v[0] != "Z" || c50.RecordDeleted()) continue;
      ++months[v[1] + v[2]];
      if (v[2] == "BQ " && v[3] == "V" && v[4] == "D") ++transfers[v[1] + v[2]];
    }
    for (const auto& [m, n] : months)
      if (n > months[largest] || largest.empty()) largest = m;
    for (const auto& [m, n] : transfers)
      if (bank.empty() || n > transfers[bank]) bank = m;
    // The piece that holds the 10,000th transfer of that month: the run's last piece.
    long seen = 0;
    const std::string prefix = LinePrefix(bank);
    for (bool more = c50.Seek(L::kCodeTag, prefix.c_str()); more && seen < kTransfers; more = c50.Skip(1)) {
      if (L::Key(c50).compare(0, prefix.size(), prefix) != 0) break;
      if (!c50.IsDeleted() && c50.GetField(L::BCLIB)[0] == 'V' && c50.GetField(L::BSENS)[0] == 'D') {
        ++seen;
        lastTransferPiece = c50.GetField(L::BPIECE);
      }
    }
    c50.CloseTable();
    if (!SeedPiece()) return;
    std::fprintf(stderr, "dossier: %ld lines; %s has %ld lines; %s has %ld transfers (up to piece %s)\n", Lines(),
                 largest.c_str(), months[largest], bank.c_str(), transfers[bank], lastTransferPiece.c_str());
    ready = true;
  }
  static bool OpenTables() {
    return TableC10->UseShared(PathC10(), "C10CODE") && TableC20->UseShared(PathC20(), "C20CODE") &&
           TableC30->UseShared(PathC30(), "C30CODE");
  }
  static long Lines() {
    Table c50;
    return c50.OpenShared(PathC50(), "", true) ? static_cast<long>(c50.RecCount()) : 0;
  }
  // A piece of 1,000 balanced lines in journal ODA, with its sort records and totals.
  bool SeedPiece() {
    // The benchmark's own set-up writes the books under a permit of its own.
    const BooksWritePermit permit("banc : piece de mille lignes", BooksScope::OpenFolder());
    pieceMonth = "C602ODA";
    if (EnsureDraftHeader(*TableC10, pieceMonth) == HeaderCreation::Failed) return false;
    Table c50, c60;
    if (!c50.OpenShared(PathC50(), L::kCodeTag) || !c60.OpenShared(PathC60(), LigneTri::kRecordTag)) return false;
    for (long i = 0; i < kPieceLines; ++i) {
      const bool debit = i % 2 == 0;
      if (!c50.AppendBlank()) return false;
      c50.PutField(L::BCLE, "Z");
      c50.PutField(L::BMOIS, "C602");
      c50.PutField(L::BJAL, "ODA");
      c50.PutField(L::BPIECE, "900000");
      c50.PutField(L::BREC, "900000");
      c50.PutField(L::BNUM, StrZero(i + 1, 4));
      c50.PutField(L::BNUMA, "0001");
      c50.PutField(L::BJOUR, "28");
      c50.PutField(L::BCODE, debit ? "60640000" : "53000000");
      c50.PutField(L::BCLIB, "1");
      c50.PutField(L::BLIB, "Piece de mille lignes");
      c50.PutField(L::BEURO, "O");
      c50.PutField(L::BSENS, debit ? "D" : "C");
      c50.PutFieldNum(L::BMONTANTF, 65.6);
      c50.PutFieldNum(L::BMONTANTE, 10.0);
      if (!c50.InsertRecord() || !AppendLigneTri(c50, LigneTri::kDraft, c60)) return false;
      TotalsMoves moves;
      const TotalsCents move = TotalsCents::OnSense(debit ? 'D' : 'C', 6560, 1000);
      moves.Account(debit ? "60640000" : "53000000", move);
      moves.Header("C602ODAB", move);
      if (!moves.Make()) return false;
    }
    return c50.Commit();
  }

  bench_world::BenchRuntime runtime{"output", false};
  std::string largest, bank, lastTransferPiece, pieceMonth;
  std::map<std::string, long> months, transfers;
  bool ready = false;
};

std::unique_ptr<World> world;
World& TheWorld() {
  if (!world) world = std::make_unique<World>();
  return *world;
}

bool Ready(benchmark::State& state) {
  if (TheWorld().ready) return true;
  state.SkipWithError("no dossier");
  return false;
}

// The credit-transfer file of the bank journal's month, up to its 10,000th transfer.
void BM_TransferFile10000(benchmark::State& state) {
  if (!Ready(state)) return;
  World& w = TheWorld();
  ReportFieldTable fields;
  JournalPrintout printout(fields);
  long blocks = 0;
  for (auto _ : state) {
    // Two files never share a second (their MsgId): the wait for the next one is not counted.
    state.PauseTiming();
    platform::SleepMilliseconds(1010);
    state.ResumeTiming();
    PrintoutRun run;
    run.journalMonth = w.bank;
    run.journalType = 'T';
    run.typeListe = "SBQ01V";
    run.pieceTo = w.lastTransferPiece;
    if (!printout.Prepare(run)) {
      state.SkipWithError("refused");
      return;
    }
    do {
      printout.Compute();
    } while (printout.Next() && (printout.Classify(), true));
    blocks = printout.Writer().Count();
    if (printout.TransferFile().empty()) {
      state.SkipWithError("no file");
      return;
    }
  }
  state.counters["transfers"] = static_cast<double>(blocks);
}
BENCHMARK(BM_TransferFile10000)->Unit(benchmark::kMillisecond)->Iterations(3);

// The printout hooks over the largest journal-month.
void BM_PrintoutHooks(benchmark::State& state) {
  if (!Ready(state)) return;
  World& w = TheWorld();
  ReportFieldTable fields;
  JournalPrintout printout(fields);
  long lines = 0;
  for (auto _ : state) {
    PrintoutRun run;
    run.journalMonth = w.largest;
    run.journalType = 'A';
    if (!printout.Prepare(run)) {
      state.SkipWithError("refused");
      return;
    }
    do {
      printout.Compute();
    } while (printout.Next() && (printout.Classify(), true));
    lines = printout.LinesComputed();
  }
  state.counters["lines"] = static_cast<double>(lines);
}
BENCHMARK(BM_PrintoutHooks)->Unit(benchmark::kMillisecond);

// Moving the piece of 1,000 lines to another journal-month and back (one move per iteration).
void BM_MovePiece1000(benchmark::State& state) {
  if (!Ready(state)) return;
  World& w = TheWorld();
  std::string from = w.pieceMonth, to = "C603ODA";
  long lines = 0;
  for (auto _ : state) {
    PieceTarget target;
    target.journalMonth = to;
    const PieceResult r = MovePiece(from, "900000", target);
    if (r.outcome != PieceOutcome::Done) {
      state.SkipWithError("move refused");
      return;
    }
    lines = r.generalLines;
    std::swap(from, to);
  }
  w.pieceMonth = from;
  state.counters["lines"] = static_cast<double>(lines);
}
BENCHMARK(BM_MovePiece1000)->Unit(benchmark::kMillisecond)->Iterations(4);

// Copying it, each copy a new piece of 1,000 lines.
void BM_CopyPiece1000(benchmark::State& state) {
  if (!Ready(state)) return;
  World& w = TheWorld();
  long lines = 0;
  for (auto _ : state) {
    PieceTarget target;
    target.journalMonth = "C604ODA";
    target.label = std::string(25, ' ');
    const PieceResult r = CopyPiece(w.pieceMonth, "900000", target);
    if (r.outcome != PieceOutcome::Done) {
      state.SkipWithError("copy refused");
      return;
    }
    lines = r.generalLines;
  }
  state.counters["lines"] = static_cast<double>(lines);
}
BENCHMARK(BM_CopyPiece1000)->Unit(benchmark::kMillisecond)->Iterations(kCopies);

// A validation from the dossier as the benchmarks before it left it, put back before each repetition: its
// CPU time, or a negative figure once the benchmark is skipped.
double TimedValidation(benchmark::State& state, const JournalValidationRequest& request, ValidationResult& result) {
  // Every repetition, of either validation, starts from the same files.
  static bench_world::FolderSnapshot snapshot(DossierFolder);
  CloseAllTables();
  if (!snapshot.Restore()) {
    state.SkipWithError("dossier not copied");
    return -1;
  }
  double cpu = 0;
  for (auto _ : state) {
    CloseAllTables();
    if (!DossierLockTable->OpenExclusive(DossierTablePath())) {
      state.SkipWithError("dossier not held");
      return -1;
    }
    const double start = bench_world::BenchRuntime::CpuSeconds();
    result = RunValidation(request);
    cpu = bench_world::BenchRuntime::CpuSeconds() - start;
    DossierLockTable->CloseTable(true);
    if (result.code != 0) {
      std::fprintf(stderr, "validation: %d %s\n%s\n", result.code, result.error.c_str(), result.invariantReport.c_str());
      state.SkipWithError("validation failed");
      return -1;
    }
  }
  return cpu;
}

// The validation of the largest journal-month (about 136,000 of the dossier's lines), three times from the
// same files: most of its cost is the work over the whole dossier (the draft packed, the closed file's
// tags, the sort file written again, the books checked). "cpu_s" is its CPU time, compared run to run
// and build to build.
void BM_ValidateOneJournalMonth(benchmark::State& state) {
  if (!Ready(state)) return;
  World& w = TheWorld();
  JournalValidationRequest request;
  request.date = "C60420";
  request.journalMonths.push_back(w.largest);
  ValidationResult result;
  const double cpu = TimedValidation(state, request, result);
  if (cpu < 0) return;
  std::printf("validation of %s (%ld records) in a dossier of %ld lines: %.3f s CPU\n", w.largest.c_str(),
              result.generalLines + result.analyticLines, w.runtime.GeneratedLines(), cpu);
  state.counters["records"] = static_cast<double>(result.generalLines + result.analyticLines);
  state.counters["cpu_s"] = cpu;
}
BENCHMARK(BM_ValidateOneJournalMonth)->Unit(benchmark::kSecond)->Iterations(1)->Repetitions(3)->ReportAggregatesOnly(true);

// The validation of six journal-months holding about 500,000 lines, three times from the same files (the
// dossier folder put back before each run), against the generator's CPU time per line written: "ratio"
// is the validation's CPU time per record written to C40 over it, "target" the most it may be.
void BM_ValidateSixJournalMonths(benchmark::State& state) {
  if (!Ready(state)) return;
  World& w = TheWorld();
  // The six journal-months whose lines come nearest to 500,000.
  std::vector<std::pair<long, std::string>> all;
  for (const auto& [m, n] : w.months) all.emplace_back(n, m);
  const std::size_t count = all.size();
  unsigned best = 0;
  long bestLines = -1;
  for (unsigned mask = 0; mask < (1u << count) && count <= 20; ++mask) {
    if (__builtin_popcount(mask) != 6) continue;
    long n = 0;
    for (std::size_t i = 0; i < count; ++i)
      if (mask & (1u << i)) n += all[i].first;
    if (bestLines < 0 || std::labs(n - 500000) < std::labs(bestLines - 500000)) {
      best = mask;
      bestLines = n;
    }
  }
  JournalValidationRequest request;
  request.date = "C60420";
  long lines = 0;
  for (std::size_t i = 0; i < count; ++i)
    if (best & (1u << i)) {
      request.journalMonths.push_back(all[i].second);
      lines += all[i].first;
    }
  ValidationResult result;
  const double cpu = TimedValidation(state, request, result);
  if (cpu < 0) return;
  const long records = result.generalLines + result.analyticLines;
  const double perLine = records > 0 ? cpu * 1e6 / static_cast<double>(records) : 0;
  state.counters["general_lines"] = static_cast<double>(result.generalLines);
  state.counters["records"] = static_cast<double>(records);
  state.counters["lines_listed"] = static_cast<double>(lines);
  state.counters["us_per_line"] = perLine;
  state.counters["generator_us_per_line"] = w.runtime.GeneratorMicrosPerLine();
  bench_world::ReportRatio(state, perLine, w.runtime.GeneratorMicrosPerLine(), 1.5);
}
BENCHMARK(BM_ValidateSixJournalMonths)->Unit(benchmark::kSecond)->Iterations(1)->Repetitions(3)->ReportAggregatesOnly(true);

}  // namespace

// The dossier goes before the program's statics do.
int main(int argc, char** argv) {
  return bench_world::RunBenchmarksThen(argc, argv, [] { world.reset(); });
}
