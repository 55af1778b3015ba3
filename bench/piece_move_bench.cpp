// "Déplacer sur un autre Journal" on a piece of 64,000 lines, and on one of 32,000: every line locked with
// its sort record, noted, rewritten onto the other journal-month with its sort record, the two headers'
// totals moved. Each iteration moves its piece one way, the next one back. A change of lines costs in
// proportion to its lines: the counter "ratio" is the CPU time per line of the 64,000-line move over the
// 32,000-line one's, measured first in the same program, "target" the most it may be.
//
// The dossier is generated over the year 2026 (MERLON_BENCH_LINES lines, 999,999 less the two pieces by
// default); the pieces are put in journal ODA of February, their lines spread over the chart's accounts and
// the month's days, with their sort records and totals. A small dossier makes the pieces smaller: at most
// as many lines as the dossier, the second half the first.
//   MERLON_BENCH_LINES=100000 ./piece_move_bench
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "data/account_totals.h"
#include "data/dossier_files.h"
#include "data/entry_lines.h"
#include "data/session.h"
#include "data/table.h"
#include "demo/dossier_demo.h"
#include "entry/core/move_copy.h"
#include "posting/journal_month.h"
#include "runtime/numbers.h"
#include "runtime/text.h"
#include "runtime/xbase.h"

#include "bench_world.h"

namespace {

using L = LigneEcriture;

constexpr long kLargePiece = 64000;
constexpr long kGroupLines = 9000;  // lines of a group (BREC): BNUM holds four digits
constexpr const char* kMonth = "C602ODA";
constexpr const char* kOtherMonth = "C603ODA";

long DossierLines() { return bench_world::BenchLines(1000, kMaxDemoLines - kLargePiece * 3 / 2); }
// The lines of the piece of `nominal` lines (64,000 or 32,000) in this dossier.
long PieceLines(long nominal) { return nominal * std::min(kLargePiece, DossierLines()) / kLargePiece; }

// A piece seeded for the benchmark: its number and the journal-month it stands in.
struct Piece {
  std::string number;
  std::string at = kMonth;
};

struct World {
  World() {
    if (!runtime.started()) return;
    DemoOptions options;
    options.lines = DossierLines();
    options.firstDay = Ymd{2026, 1, 1};
    options.lastDay = Ymd{2026, 12, 31};
    options.currency = DossierCurrency::EuroMain;
    if (!runtime.Generate(options)) return;
    if (!TableC10->UseShared(PathC10(), "C10CODE") || !ReadC10Texts() || !TableC20->UseShared(PathC20(), "C20CODE") ||
        !TableC30->UseShared(PathC30(), "C30CODE"))
      return;
    for (const long nominal : {kLargePiece, kLargePiece / 2}) {
      Piece& p = pieces[nominal];
      p.number = StrZero(900000 + static_cast<long>(pieces.size()), 6);
      if (!SeedPiece(p.number, PieceLines(nominal))) return;
    }
    std::fprintf(stderr, "dossier: %ld lines; pieces of %ld and %ld lines in %s\n", options.lines,
                 PieceLines(kLargePiece), PieceLines(kLargePiece / 2), kMonth);
    ready = true;
  }

  // A balanced piece of `lines` general lines in journal ODA of February, each with its sort record, spread
  // over the chart's general accounts and the month's days as an imported piece is (lines sharing one
  // account and one day would measure the sort index's walk of equal keys instead); the totals of its
  // accounts and of the header moved once at the end.
  static bool SeedPiece(const std::string& piece, long lines) {
    if (posting::EnsureDraftHeader(*TableC10, kMonth) == posting::HeaderCreation::Failed) return false;
    std::vector<std::string> accounts;
    for (bool more = TableC20->GoTop("C20CODE"); more; more = TableC20->Skip(1))
      if (!TableC20->IsDeleted() && TableC20->GetField(1)[0] >= '1' && TableC20->GetField(1)[0] <= '7')
        accounts.push_back(Trimmed(TableC20->GetField(1)));
    if (accounts.empty()) return false;
    Table c50, c60;
    if (!c50.OpenShared(PathC50(), L::kCodeTag) || !c60.OpenShared(PathC60(), LigneTri::kRecordTag)) return false;
    std::map<std::string, TotalsCents> moved;
    TotalsCents header;
    for (long i = 0; i < lines; ++i) {
      // Two lines a pair, one on the debit, one on the credit, each on an account of its own.
      const bool debit = i % 2 == 0;
      const std::string& account = accounts[static_cast<std::size_t>(i) % accounts.size()];
      if (!c50.AppendBlank()) return false;
      c50.PutField(L::BCLE, "Z");
      c50.PutField(L::BMOIS, "C602");
      c50.PutField(L::BJAL, "ODA");
      c50.PutField(L::BPIECE, piece.c_str());
      c50.PutField(L::BREC, StrZero(900000 + i / kGroupLines, 6));
      c50.PutField(L::BNUM, StrZero(i % kGroupLines + 1, 4));
      c50.PutField(L::BNUMA, "0001");
      c50.PutField(L::BJOUR, StrZero(i / 2 % 28 + 1, 2));
      c50.PutField(L::BCODE, account.c_str());
      c50.PutField(L::BCLIB, "1");
      c50.PutField(L::BLIB, "Piece deplacee");
      c50.PutField(L::BEURO, "O");
      c50.PutField(L::BSENS, debit ? "D" : "C");
      c50.PutFieldNum(L::BMONTANTF, 65.6);
      c50.PutFieldNum(L::BMONTANTE, 10.0);
      if (!c50.InsertRecord() || !AppendLigneTri(c50, LigneTri::kDraft, c60)) return false;
      moved[account].Add(debit, 6560, 1000);
      header.Add(debit, 6560, 1000);
    }
    if (!c50.Commit() || !c60.Commit()) return false;
    for (const auto& [account, move] : moved)
      if (!MoveAccountRecord(account, move)) return false;
    return MoveHeaderRecord(std::string(kMonth) + "B", header);
  }

  bench_world::BenchRuntime runtime{"piece-move", false};
  std::map<long, Piece> pieces;  // by their nominal lines
  double usPerLineOfHalf = 0;    // the 32,000-line move's CPU per line
  bool ready = false;
};

std::unique_ptr<World> world;
World& TheWorld() {
  if (!world) world = std::make_unique<World>();
  return *world;
}

// The piece of state.range(0) lines (nominal) moved to the other journal-month and back, one move an
// iteration.
void BM_MovePiece(benchmark::State& state) {
  World& w = TheWorld();
  if (!w.ready) return state.SkipWithError("no dossier");
  Piece& piece = w.pieces[state.range(0)];
  long lines = 0;
  const double cpu = bench_world::ProcessCpuOfLoop(state, [&] {
    entry::PieceTarget target;
    target.journalMonth = piece.at == kMonth ? kOtherMonth : kMonth;
    const entry::PieceResult r = entry::MovePiece(piece.at, piece.number, target);
    if (r.outcome != entry::PieceOutcome::Done) return state.SkipWithError("move refused");
    lines = r.generalLines + r.analyticLines;
    piece.at = target.journalMonth;
  });
  const double perLine = lines > 0 ? cpu * 1e6 / static_cast<double>(lines) : 0;
  state.counters["lines"] = static_cast<double>(lines);
  state.counters["us_per_line"] = perLine;
  if (state.range(0) != kLargePiece) w.usPerLineOfHalf = perLine;
  else bench_world::ReportRatio(state, perLine, w.usPerLineOfHalf, 1.2);
}
// The half first: the large move's baseline.
BENCHMARK(BM_MovePiece)->Arg(kLargePiece / 2)->Arg(kLargePiece)->Unit(benchmark::kMillisecond)->Iterations(2);

}  // namespace

// The dossier goes before the program's statics do.
int main(int argc, char** argv) {
  return bench_world::RunBenchmarksThen(argc, argv, [] { world.reset(); });
}
