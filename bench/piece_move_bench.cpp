// "Déplacer sur un autre Journal" on a piece of 64,000 lines, and on one of 32,000: every line locked with
// its sort record, noted, rewritten onto the other journal-month with its sort record, the two headers'
// totals moved. Each iteration moves its piece one way, the next one back. A change of lines costs in
// proportion to its lines: the counter "ratio" is the CPU time per line of the 64,000-line move over the
// 32,000-line one's, measured first in the same program, "target" the most it may be.
//
// The same moves of pieces whose lines all share one account and one day, as an imported bank piece's
// may (8,000, 16,000, 32,000 and 64,000 lines): every sort record then rewritten has a key that tens of
// thousands of others share, and its entry is found among them. Their "ratio" is each one's CPU per line
// over the 8,000-line one's.
//
// The dossier is generated over the year 2026 (MERLON_BENCH_LINES lines, 999,999 less the pieces by
// default); the pieces are put in journal ODA of February, with their sort records and totals. A small
// dossier makes the pieces smaller: the largest at most as many lines as the dossier, the others in
// proportion.
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
#include "data/books_write_permit.h"
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
constexpr long kSmallestOneKeyPiece = 8000;
constexpr long kGroupLines = 9000;  // lines of a group (BREC): BNUM holds four digits
constexpr const char* kMonth = "C602ODA";
constexpr const char* kOtherMonth = "C603ODA";

// How a piece's lines are keyed in the sort file.
enum class Shape { Spread, OneKey };
constexpr std::pair<Shape, long> kPieces[] = {
    {Shape::Spread, kLargePiece},
    {Shape::Spread, kLargePiece / 2},
    {Shape::OneKey, kSmallestOneKeyPiece},
    {Shape::OneKey, kSmallestOneKeyPiece * 2},
    {Shape::OneKey, kSmallestOneKeyPiece * 4},
    {Shape::OneKey, kLargePiece},
};
constexpr long AllPiecesLines() {
  long all = 0;
  for (const auto& [shape, nominal] : kPieces) all += nominal;
  return all;
}

long DossierLines() { return bench_world::BenchLines(1000, kMaxDemoLines - AllPiecesLines()); }
// The lines of the piece of `nominal` lines (64,000 ... 8,000) in this dossier.
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
    for (const auto& [shape, nominal] : kPieces) {
      Piece& p = pieces[{shape, nominal}];
      p.number = StrZero(900000 + static_cast<long>(pieces.size()), 6);
      if (!SeedPiece(p.number, PieceLines(nominal), shape)) return;
      std::fprintf(stderr, "piece %s: %ld lines%s in %s\n", p.number.c_str(), PieceLines(nominal),
                   shape == Shape::OneKey ? " on one account and one day" : "", kMonth);
    }
    std::fprintf(stderr, "dossier: %ld lines\n", options.lines);
    ready = true;
  }

  // A balanced piece of `lines` general lines in journal ODA of February, each with its sort record; the
  // totals of its accounts and of the header moved once at the end. Spread, its lines go over the chart's
  // general accounts and the month's days, two lines a pair each on an account of its own; of one key,
  // they all stand on the chart's first general account on the 15th.
  static bool SeedPiece(const std::string& piece, long lines, Shape shape) {
    // The benchmark's own set-up writes the books under a permit of its own.
    const BooksWritePermit permit("banc : piece a deplacer", BooksScope::OpenFolder());
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
      const bool debit = i % 2 == 0;
      const bool spread = shape == Shape::Spread;
      const std::string& account = accounts[spread ? static_cast<std::size_t>(i) % accounts.size() : 0];
      if (!c50.AppendBlank()) return false;
      c50.PutField(L::BCLE, "Z");
      c50.PutField(L::BMOIS, "C602");
      c50.PutField(L::BJAL, "ODA");
      c50.PutField(L::BPIECE, piece.c_str());
      c50.PutField(L::BREC, StrZero(900000 + i / kGroupLines, 6));
      c50.PutField(L::BNUM, StrZero(i % kGroupLines + 1, 4));
      c50.PutField(L::BNUMA, "0001");
      c50.PutField(L::BJOUR, spread ? StrZero(i / 2 % 28 + 1, 2) : "15");
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
  std::map<std::pair<Shape, long>, Piece> pieces;  // by their shape and nominal lines
  std::map<Shape, double> usPerLineOfBaseline;     // the CPU per line of each shape's first move measured
  bool ready = false;
};

std::unique_ptr<World> world;
World& TheWorld() {
  if (!world) world = std::make_unique<World>();
  return *world;
}

// The piece of that shape and state.range(0) lines (nominal) moved to the other journal-month and back,
// one move an iteration; `baseline`: the move whose CPU per line the others of its shape are set against.
void MovePiece(benchmark::State& state, Shape shape, long baseline) {
  World& w = TheWorld();
  if (!w.ready) return state.SkipWithError("no dossier");
  Piece& piece = w.pieces[{shape, state.range(0)}];
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
  if (state.range(0) == baseline) w.usPerLineOfBaseline[shape] = perLine;
  else bench_world::ReportRatio(state, perLine, w.usPerLineOfBaseline[shape], 1.2);
}

void BM_MovePiece(benchmark::State& state) { MovePiece(state, Shape::Spread, kLargePiece / 2); }
void BM_MoveOneKeyPiece(benchmark::State& state) { MovePiece(state, Shape::OneKey, kSmallestOneKeyPiece); }
// The baselines first.
BENCHMARK(BM_MovePiece)->Arg(kLargePiece / 2)->Arg(kLargePiece)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_MoveOneKeyPiece)
    ->Arg(kSmallestOneKeyPiece)
    ->Arg(kSmallestOneKeyPiece * 2)
    ->Arg(kSmallestOneKeyPiece * 4)
    ->Arg(kLargePiece)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2);

}  // namespace

// The dossier goes before the program's statics do.
int main(int argc, char** argv) {
  return bench_world::RunBenchmarksThen(argc, argv, [] { world.reset(); });
}
