// The analytic split's work on a large generated analytic dossier (one axis): the opening of a line's split
// window (its header created and kept in step with the general line, the default split of the account's text
// made with its sections' totals, the lines given the line's day and label), and the save of an analytic line
// with its sections' totals (the old amounts off the old section, the new ones on the new). The dossier is
// generated once; its line count comes from MERLON_BENCH_LINES (default 999,999):
//   MERLON_BENCH_LINES=50000 ./analytic_split_bench
#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "runtime/inifiles.h"
// After the runtime headers it relies on.
#include "bench_world.h"
#include "data/account_totals.h"
#include "entry/core/analytic_split.h"
#include "runtime/dossier_record.h"
#include "runtime/numbers.h"

namespace {

using L = LigneEcriture;

constexpr const char* kAccountText = "Ventilation\r\nCA1=ATELIER %=60\r\nCA1=BUREAU  %=40\r\n";

struct World {
  World() {
    if (!runtime.started()) return;
    DemoOptions options;
    options.lines = bench_world::BenchLines();
    options.analyticMode = '1';
    options.currency = DossierCurrency::EuroMain;
    if (!runtime.Generate(options)) return;
    if (!TableC10->OpenShared(PathC10(), "C10CODE") || !ReadC10Texts() || !TableC20->OpenShared(PathC20(), "C20CODE") ||
        !TableC30->OpenShared(PathC30(), "C30CODE") || !c50.OpenShared(PathC50(), L::kCodeTag) ||
        !c60.OpenShared(PathC60(), LigneTri::kRecordTag))
      return;
    // General lines without a split (accounts outside classes 6 and 7), spread over the draft: each opening
    // takes the next one, so that every one creates its header and its default split.
    const std::uint32_t count = c50.RecCount();
    const std::uint32_t step = count / 30000 > 1 ? count / 30000 : 1;
    for (std::uint32_t r = 1; r <= count && lines.size() < 20000; r += step) {
      if (!c50.GoTo(r) || c50.IsDeleted() || c50.GetField(L::BCLE)[0] != 'Z') continue;
      const std::string account = c50.GetField(L::BCODE);
      if (account[0] == '6' || account[0] == '7' || IsAuxiliaryAccount(account)) continue;
      lines.push_back(entry::SplitKey::Of(L::Key(c50), account, 'V', c50.GetField(L::BJOUR), c50.GetField(L::BCLIB),
                                          c50.GetField(L::BLIB), 100000, 15245));
    }
    std::fprintf(stderr, "dossier: %ld records, %zu lines to split\n", static_cast<long>(count), lines.size());
    ready = !lines.empty();
  }
  ~World() {
    c50.CloseTable();
    c60.CloseTable();
  }
  bench_world::BenchRuntime runtime{"analytic-split", false};
  std::vector<entry::SplitKey> lines;
  std::size_t next = 0;
  bool ready = false;
  Table c50, c60;
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

// What the split window does when it opens on a line for the first time: the header created and written in
// step with the general line, the default split of two lines made with the sections' totals, and the lines
// given the general line's day and label.
void BM_OpenSplit(benchmark::State& state) {
  if (!Ready(state)) return;
  World& w = TheWorld();
  long made = 0;
  for (auto _ : state) {
    if (w.next >= w.lines.size()) {
      state.SkipWithError("no line left to split");
      break;
    }
    const entry::SplitKey& key = w.lines[w.next++];
    bool created = false;
    if (entry::KeepSplitHeader(w.c50, w.c60, key, &created) != entry::SplitOpening::Opened || !created) {
      state.SkipWithError("the header was not made");
      break;
    }
    long n = 0;
    entry::MakeDefaultSplit(w.c50, w.c60, key, kAccountText, 6.55957, true, nullptr, &n);
    made += n;
    if (entry::RefreshSplitLines(w.c50, w.c60, key) != 2) {
      state.SkipWithError("the default split was not made");
      break;
    }
  }
  state.counters["lines_made"] = static_cast<double>(made);
}
BENCHMARK(BM_OpenSplit)->Unit(benchmark::kMillisecond)->Iterations(200)->Repetitions(5)->ReportAggregatesOnly(true);

// An analytic line saved from its form, moving between two sections: its old amounts off the old section, the
// new ones on the new, the line and its sort record written under the line's lock.
void BM_SaveAnalyticLine(benchmark::State& state) {
  if (!Ready(state)) return;
  World& w = TheWorld();
  static std::string lineKey;
  if (lineKey.empty()) {
    const entry::SplitKey& key = w.lines.back();
    entry::KeepSplitHeader(w.c50, w.c60, key, nullptr);
    entry::MakeDefaultSplit(w.c50, w.c60, key, kAccountText, 6.55957, true);
    lineKey = key.LinesKey() + "0001";
  }
  const char* sections[] = {"ATELIER", "COMMERCE"};
  entry::AnalyticLineValues v;
  v.sense = 'D';
  long n = 0;
  for (auto _ : state) {
    v.section = sections[n % 2];
    v.euros = 9000 + n % 7;
    v.francs = ToCents(Round(2, FromCents(v.euros) * 6.55957));
    if (entry::SaveAnalyticLineRecord(w.c50, w.c60, lineKey, v) != entry::AnalyticSaveOutcome::Saved) {
      state.SkipWithError("the line was not saved");
      break;
    }
    ++n;
  }
}
BENCHMARK(BM_SaveAnalyticLine)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

}  // namespace

// The dossier goes before the engine's own statics do.
int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  world.reset();
  benchmark::Shutdown();
  return 0;
}
