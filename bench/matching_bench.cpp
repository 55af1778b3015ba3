// The matching's three figures, printed in seconds:
//   - the search of 100 candidates at power 6 where no group balances (about 1.3e9 combinations
//     for a plain enumeration of every group);
//   - the automatic run at power 4 over every customer account of a generated dossier of
//     999,999 lines (MERLON_BENCH_LINES), its three tables held exclusively: three runs from the
//     same files (the dossier folder put back before each), the median the figure;
//   - the opening of the manual matching list on an account of 10,000 lines.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "data/draft_lines.h"
#include "data/dossier_files.h"
#include "data/entry_lines.h"
#include "data/session.h"
#include "demo/dossier_demo.h"
#include "processing/core/automatic_matching.h"
#include "processing/core/manual_matching.h"
#include "processing/core/match_search.h"
#include "runtime/dossier_record.h"
#include "runtime/inifiles.h"
#include "runtime/numbers.h"
#include "runtime/runtime_init.h"
#include "runtime/xbase.h"
// After the runtime headers it uses.
#include "bench_world.h"

namespace {

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// The dossier's tables open as the program opens them (the dossier current).
bool OpenDossier(bool exclusive) {
  auto open = [exclusive](Table* t, const char* path, const char* tag) {
    return exclusive ? t->OpenExclusive(path, tag) : t->OpenShared(path, tag);
  };
  if (!open(TableC10, PathC10(), "C10CODE") || !ReadC10Texts() || !open(TableC20, PathC20(), "C20CODE")) return false;
  if (TableC10->Seek("C10CODE", "P", "0")) {
    TheDossierRecord.Set(539, 252, TableC10->GetField(4));
    TheDossierRecord.Set(791, 252, TableC10->GetField(5));
  }
  return true;
}

void BM_SearchWithoutGroup(benchmark::State& state) {
  // Each amount is 1 modulo 7: a group of 2 to 6 of them sums to 2 to 6 modulo 7, never 0.
  std::mt19937_64 random(6);
  std::vector<long long> amounts;
  for (int i = 0; i < 100; ++i) {
    const long long v = 7 * static_cast<long long>(10 + random() % 50000);
    amounts.push_back(i % 2 ? v + 1 : 1 - v);
  }
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    processing::MatchSearch search(amounts, 6, processing::SteadyMatchClock(), ~std::uint64_t{0});
    const auto result = search.Run();
    std::printf("search of 100 candidates at power 6, no group: %zu groups, %llu steps in %.3f s\n",
                result.groups.size(), static_cast<unsigned long long>(result.steps), Seconds(start));
  }
}
BENCHMARK(BM_SearchWithoutGroup)->Iterations(1)->Unit(benchmark::kMillisecond);

// The generated dossier of the automatic run, made at its first run and copied aside: the run writes its
// letters, so the dossier is put back before each of the three runs.
struct AutomaticWorld {
  AutomaticWorld() {
    options.lines = bench_world::BenchLines();
    if (!runtime.Generate(options)) return;
    customers = CustomerAccounts();
    CloseAllTables();
    copy = std::make_unique<bench_world::FolderSnapshot>(options.folder);
    ready = copy->Restore() && customers > 0;
  }
  // The customer accounts with lines in the sort file: the accounts the run goes through.
  static long CustomerAccounts() {
    Table c60;
    if (!c60.OpenShared(PathC60(), processing::kC60CodeTag)) return 0;
    long count = 0;
    std::string last;
    for (bool more = c60.Seek(processing::kC60CodeTag, "C"); more; more = c60.Skip(1)) {
      const std::string account = c60.GetField(LigneTri::TCODE);
      if (account.empty() || account[0] != 'C') break;
      if (account != last) ++count;
      last = account;
    }
    c60.CloseTable();
    return count;
  }
  bench_world::BenchRuntime runtime{"matching-auto", false};
  DemoOptions options;
  std::unique_ptr<bench_world::FolderSnapshot> copy;
  long customers = 0;
  bool ready = false;
};
std::unique_ptr<AutomaticWorld> automaticWorld;

void BM_AutomaticRunOverCustomers(benchmark::State& state) {
  if (!automaticWorld) {
    automaticWorld = std::make_unique<AutomaticWorld>();
  } else {
    CloseAllTables();
    if (automaticWorld->ready && !automaticWorld->copy->Restore()) return state.SkipWithError("dossier not put back");
  }
  if (!automaticWorld->ready) return state.SkipWithError("no demo dossier");
  Table c40, c50, c60;
  if (!c40.OpenExclusive(PathC40(), "C40CODE") || !c50.OpenExclusive(PathC50(), LigneEcriture::kCodeTag) ||
      !c60.OpenExclusive(PathC60(), processing::kC60CodeTag)) {
    state.SkipWithError("tables not opened");
    return;
  }
  long accounts = 0, groups = 0;
  bool stopped = false;
  for (auto _ : state) {
    processing::AutomaticParameters p;
    p.currency = 1;
    p.startAccount = "C";
    p.endAccount = "CZZZZZZZ";
    p.power = 4;
    p.dateLimit = "Z91231";
    p.clock = processing::SteadyMatchClock();
    p.deadline = p.clock() + 60 * 60 * 1000;
    const auto start = std::chrono::steady_clock::now();
    // The run as the window makes it: its tables copied aside and the dossier marked, under the run's
    // permit to write the books (withheld, the run is refused at its first letter).
    const processing::MatchTables tables{c40, c50, c60};
    processing::AutomaticOutcome out;
    std::string refusal;
    auto run = [&] { out = processing::RunAutomaticMatching(tables, p); };
    if (bench_world::PermitsWithheld()) {
      run();
    } else if (!processing::RunMatchingGuarded(tables, run, &refusal)) {
      out.refused = true;
    }
    accounts = out.accounts;
    groups = out.matches;
    std::fprintf(stderr, "automatic run at power 4 over %ld customer accounts of %ld lines: %ld groups in %.2f s\n",
                 out.accounts, automaticWorld->options.lines, out.matches, Seconds(start));
    if (out.refused || out.interrupted) {
      stopped = true;
      state.SkipWithError(("the run stopped: " + refusal).c_str());
      break;
    }
  }
  c40.CloseTable();
  c50.CloseTable();
  c60.CloseTable();
  state.counters["accounts"] = static_cast<double>(accounts);
  state.counters["groups"] = static_cast<double>(groups);
  // A run that went through fewer accounts, or lettered nothing, measured another work than the one named.
  if (!stopped && (accounts != automaticWorld->customers || groups == 0))
    state.SkipWithError("the run did not go through every customer account");
}
BENCHMARK(BM_AutomaticRunOverCustomers)
    ->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3)->ReportAggregatesOnly(true);

void BM_OpenManualList(benchmark::State& state) {
  automaticWorld.reset();  // one runtime at a time
  bench_world::BenchRuntime runtime("matching-manual", false);
  DemoOptions options;
  options.lines = 100;
  if (!runtime.Generate(options) || !OpenDossier(false)) {
    state.SkipWithError("no demo dossier");
    return;
  }
  {
    Table c50, c60;
    c50.OpenShared(PathC50(), LigneEcriture::kCodeTag);
    c60.OpenShared(PathC60(), processing::kC60CodeTag);
    std::vector<NewDraftLine> lines;
    for (int i = 0; i < 10000; ++i) {
      NewDraftLine l;
      l.month = "C6" + std::string(i % 12 < 9 ? "0" : "") + std::to_string(i % 12 + 1);
      l.journal = "OD";
      l.piece = StrZero(100000 + i, 0);
      l.day = "1" + std::to_string(i % 9);
      l.account = "CBIG";
      l.labelCode = "0";
      l.label = "Facture " + std::to_string(i);
      l.sense = i % 2 ? 'C' : 'D';
      l.euros = 10 + i % 97;
      l.francs = Round(2, l.euros * 6.55957);
      lines.push_back(l);
    }
    if (WriteDraftLines(c50, c60, lines) != DraftWrite::Written) {
      state.SkipWithError("lines not written");
      return;
    }
  }
  for (auto _ : state) {
    processing::ManualMatchingParameters p;
    p.account = "CBIG";
    p.firstDate = "C60101";
    p.lastDate = "C61231";
    p.filter = '1';
    p.euros = true;
    const auto start = std::chrono::steady_clock::now();
    processing::ManualMatching list(p);
    const auto opened = list.Open();
    std::printf("manual list opened on an account of %zu lines (%s) in %.3f s\n", list.Rows().size(),
                opened == processing::ManualOpen::Opened ? "opened" : "refused", Seconds(start));
  }
}
BENCHMARK(BM_OpenManualList)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

// The automatic run's dossier goes before the program's statics do.
int main(int argc, char** argv) {
  return bench_world::RunBenchmarksThen(argc, argv, [] { automaticWorld.reset(); });
}
