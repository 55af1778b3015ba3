// Posting speed of the account totals: each line moves an account (an auxiliary one with its
// collective every third line), an analytic section and a journal-month header, as a change of lines
// moves them (TotalsMoves, made one line at a time), in a dossier of real tables in a temporary
// folder. Reports lines per second.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <string>
#include <vector>

#include "data/account_totals.h"
#include "data/books_write_permit.h"
#include "data/dossier_files.h"
#include "data/session.h"
#include "data/table.h"
#include "data/table_create.h"
#include "runtime/inifiles.h"
#include "runtime/logfile.h"
#include "runtime/numbers.h"
#include "runtime/runtime_hooks.h"
#include "runtime/runtime_init.h"

namespace {

void BM_PostLines(benchmark::State& state) {
  char pattern[] = "/tmp/merlon-totals-bench-XXXXXX";
  const std::string dir = mkdtemp(pattern);
  SetProgramFolder(dir + "/");
  InitRuntime();
  SetRuntimeMessageHook([](const char*, const char*, unsigned) { return 1; });
  SetRuntimeBeepHook([](unsigned) {});
  if (StartDbSession() != 0) {
    state.SkipWithError("no engine session");
    return;
  }
  SetDossier(dir, "BEN");
  for (TableKind kind : {TableKind::C10, TableKind::C20, TableKind::C30})
    CreateTableOfKind(kind, DossierFolder + TableBaseName(kind, DossierCode));
  TableC10->OpenShared(PathC10(), "C10CODE");
  TableC20->OpenShared(PathC20(), "C20CODE");
  TableC30->OpenShared(PathC30(), "C30CODE");

  std::vector<std::string> accounts, sections, headers;
  for (int i = 0; i < 200; ++i) accounts.push_back((i % 3 == 0 ? "C" : "6") + std::to_string(100000 + i));
  for (int i = 0; i < 20; ++i) sections.push_back("S" + std::to_string(1000 + i));
  for (int m = 1; m <= 12; ++m)
    for (const char* j : {"VTE", "ACH", "BQE"}) headers.push_back("24" + std::string(m < 10 ? "0" : "") + std::to_string(m) + j + "1");

  const int lines = static_cast<int>(state.range(0));
  // Each move stands for a change of lines, which holds the permit to write the totals.
  const BooksWritePermit permit("banc : mouvements de totaux", BooksScope::OpenFolder());
  for (auto _ : state) {
    for (int i = 0; i < lines; ++i) {
      const double francs = 10.0 + (i % 997);
      const TotalsCents move = TotalsCents::OnSense(i % 2 == 0 ? 'D' : 'C', ToCents(francs), ToCents(francs / 6.55957));
      TotalsMoves moves;
      moves.Account(accounts[i % accounts.size()], move);
      moves.Section(sections[i % sections.size()], move);
      moves.Header(headers[i % headers.size()], move);
      if (!moves.Make()) state.SkipWithError("a move refused");
    }
  }
  state.counters["lines_per_second"] =
      benchmark::Counter(static_cast<double>(lines) * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);

  StopDbSession();
  SetRuntimeMessageHook(nullptr);
  SetRuntimeBeepHook(nullptr);
  FreeRuntime();
  std::error_code ignored;
  std::filesystem::remove_all(dir, ignored);
}

BENCHMARK(BM_PostLines)->Arg(100000)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
