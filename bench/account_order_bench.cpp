// The account-order walk of ledgers, balances, matching and the rebuild's totals: the sort
// file C60 in C60CODE order, each line of C50 fetched by the record number its sort record
// holds, on a generated dossier of 999,999 lines, with both tables opened exclusively and
// shared. Prints the seconds of each walk.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "data/session.h"
#include "data/table_internal.h"
#include "data/table_structures.h"
#include "demo/dossier_demo.h"
#include "runtime/inifiles.h"
#include "runtime/runtime_init.h"

using namespace dbase;

namespace {

struct Dossier {
  std::string dir;
  std::string c50, c60;
  bool ok = false;
  ~Dossier() {
    std::error_code ignored;
    if (!dir.empty()) std::filesystem::remove_all(dir, ignored);
  }
};

const Dossier& Generated() {
  static Dossier d = [] {
    Dossier out;
    char pattern[] = "/tmp/merlon-walk-bench-XXXXXX";
    if (mkdtemp(pattern) == nullptr) return out;
    out.dir = pattern;
    SetProgramFolder(out.dir + "/program/");
    if (!InitRuntime() || StartDbSession() != 0) return out;
    DemoOptions options;
    options.folder = out.dir + "/demo/";
    options.code = "WALK";
    options.lines = kMaxDemoLines;
    if (!GenerateDemoDossier(options)) return out;
    out.c50 = options.folder + TableBaseName(TableKind::C50, "WALK") + ".dbf";
    out.c60 = options.folder + TableBaseName(TableKind::C60, "WALK") + ".dbf";
    out.ok = true;
    return out;
  }();
  return d;
}

hDBICur OpenTable(const std::string& path, const char* tag, DBIShareMode share) {
  std::string index = path.substr(0, path.size() - 4) + ".mdx";
  hDBICur cur = nullptr;
  DbiOpenTable(DbHandle, path.c_str(), "DBASE", tag != nullptr ? index.c_str() : nullptr, tag, 0, dbiREADWRITE,
               share, xltNONE, false, nullptr, &cur);
  return cur;
}

// state.range(0): 1 exclusive, 0 shared.
void BM_AccountOrderWalk(benchmark::State& state) {
  const Dossier& d = Generated();
  if (!d.ok) {
    state.SkipWithError("the demo dossier was not generated");
    return;
  }
  const DBIShareMode share = state.range(0) != 0 ? dbiOPENEXCL : dbiOPENSHARED;
  hDBICur c60 = OpenTable(d.c60, "C60CODE", share);
  hDBICur c50 = OpenTable(d.c50, nullptr, share);
  if (c60 == nullptr || c50 == nullptr) {
    state.SkipWithError("the tables do not open");
    return;
  }
  CURProps p60, p50;
  DbiGetCursorProps(c60, &p60);
  DbiGetCursorProps(c50, &p50);
  std::vector<std::uint8_t> sort(p60.iRecBufSize), line(p50.iRecBufSize);
  FLDDesc fields[64];
  DbiGetFieldDescs(c60, fields);
  std::uint16_t trec = 0;
  for (std::uint16_t i = 0; i < p60.iFields; ++i)
    if (std::string(fields[i].szName) == "TREC") trec = fields[i].iOffset;
  long fetched = 0;
  double seconds = 0;
  for (auto _ : state) {
    fetched = 0;
    const auto start = std::chrono::steady_clock::now();
    DbiSetToBegin(c60);
    while (DbiGetNextRecord(c60, dbiNOLOCK, sort.data(), nullptr) == DBIERR_NONE) {
      const std::uint32_t recno = static_cast<std::uint32_t>(std::atol(std::string(
          reinterpret_cast<const char*>(sort.data()) + trec, 6).c_str()));
      if (DbiSetToRecordNo(c50, recno) != DBIERR_NONE ||
          DbiGetRecord(c50, dbiNOLOCK, line.data(), nullptr) != DBIERR_NONE) {
        state.SkipWithError("a line could not be read");
        break;
      }
      ++fetched;
    }
    seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  }
  std::printf("account-order walk (%s): %ld lines in %.2f s\n", share == dbiOPENEXCL ? "exclusive" : "shared",
              fetched, seconds);
  state.counters["lines"] = static_cast<double>(fetched);
  state.counters["seconds"] = seconds;
  DbiCloseCursor(&c60);
  DbiCloseCursor(&c50);
}

}  // namespace

BENCHMARK(BM_AccountOrderWalk)->Arg(1)->Arg(0)->Iterations(1)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
