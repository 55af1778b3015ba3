// End-to-end speed of the dBASE engine on a table shaped like the draft entry lines: 25
// fields, three maintained tags with conditions. Run in order: the append benchmarks leave
// the tables that the read, seek, tag-build and pack benchmarks use.
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "dbase/idapi.h"

using namespace dbase;

namespace {

struct FieldDef {
  const char* name;
  char type;
  int width, decimals;
};

const FieldDef kFields[] = {
    {"BCLE", 'C', 1, 0},    {"BMOIS", 'C', 2, 0},   {"BJAL", 'C', 3, 0},   {"BPIECE", 'C', 6, 0},
    {"BREC", 'C', 4, 0},    {"BNUM", 'C', 4, 0},    {"BNUMA", 'C', 4, 0},  {"BDATE", 'C', 6, 0},
    {"BVENT", 'C', 2, 0},   {"BCODE", 'C', 10, 0},  {"BLIB", 'C', 30, 0},  {"BDEBF", 'N', 12, 2},
    {"BCREF", 'N', 12, 2},  {"BDEBE", 'N', 12, 2},  {"BCREE", 'N', 12, 2}, {"BLET", 'C', 4, 0},
    {"BECH", 'C', 6, 0},    {"BTVA", 'C', 1, 0},    {"BQTE", 'N', 10, 2},  {"BREF", 'C', 10, 0},
    {"BANAL", 'C', 10, 0},  {"BCG", 'C', 10, 0},    {"BUSER", 'C', 3, 0},  {"BSTAT", 'C', 1, 0},
    {"BDIV", 'C', 20, 0},
};

struct TagDef {
  const char* name;
  const char* key;
  const char* cond;
};

const TagDef kTags[] = {
    {"C50CODE", "BCLE+BMOIS+BJAL+BPIECE+BREC+BNUM", "BCLE='Z'"},
    {"C50ANAL", "BMOIS+BJAL+BPIECE+BCG+BNUM+BCLE+BNUMA", "BCLE<'Z'"},
    {"C50VENT", "BCLE+BMOIS+BJAL+BVENT+BCODE", "BCLE='Z' .AND. BVENT#'  '"},
};

// The scratch folder, made on first use. Defined before `cleanup` so that it is destroyed
// after it: the folder and the tables in it (about a gigabyte) go at exit.
std::string folder;

const std::string& Folder() {
  if (folder.empty()) {
    char tmpl[] = "/tmp/merlon-bench-XXXXXX";
    if (char* p = ::mkdtemp(tmpl)) folder = p;
  }
  // Without a folder every create fails and the benchmarks report it.
  static const std::string none = "/nonexistent/merlon-bench";
  return folder.empty() ? none : folder;
}

struct Cleanup {
  ~Cleanup() {
    if (folder.empty()) return;
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
  }
} cleanup;

hDBIDb Db() {
  static hDBIDb db = [] {
    DbiInit(nullptr, 300);
    hDBIDb d = nullptr;
    DbiOpenDatabase(nullptr, nullptr, dbiREADWRITE, dbiOPENSHARED, nullptr, 0, nullptr, nullptr, &d);
    return d;
  }();
  return db;
}

std::string TablePath(long records) { return Folder() + "/lines" + std::to_string(records) + ".dbf"; }

hDBICur OpenTable(const std::string& path, DBIShareMode share, const char* tag = nullptr) {
  hDBICur cur = nullptr;
  std::string mdx = path.substr(0, path.size() - 4) + ".mdx";
  if (DbiOpenTable(Db(), path.c_str(), "DBASE", tag ? mdx.c_str() : nullptr, tag, 0, dbiREADWRITE, share, xltFIELD,
                   false, nullptr, &cur) != DBIERR_NONE)
    return nullptr;
  return cur;
}

bool CreateLines(const std::string& path, bool tags) {
  std::vector<FLDCreate> f;
  for (const FieldDef& d : kFields) {
    FLDCreate c;
    std::snprintf(c.szName, sizeof c.szName, "%s", d.name);
    c.cType = d.type;
    c.iWidth = static_cast<std::uint16_t>(d.width);
    c.iDecimals = static_cast<std::uint16_t>(d.decimals);
    f.push_back(c);
  }
  if (DbiCreateTable(Db(), path.c_str(), static_cast<std::uint16_t>(f.size()), f.data(), true) != DBIERR_NONE)
    return false;
  if (!tags) return true;
  hDBICur cur = OpenTable(path, dbiOPENEXCL);
  if (cur == nullptr) return false;
  for (const TagDef& t : kTags) {
    IDXDesc idx;
    std::snprintf(idx.szTagName, sizeof idx.szTagName, "%s", t.name);
    std::snprintf(idx.szKeyExp, sizeof idx.szKeyExp, "%s", t.key);
    std::snprintf(idx.szKeyCond, sizeof idx.szKeyCond, "%s", t.cond);
    idx.bSubset = true;
    if (DbiAddIndex(Db(), cur, nullptr, "DBASE", &idx, nullptr) != DBIERR_NONE) return false;
  }
  DbiCloseCursor(&cur);
  return true;
}

// One draft line, varied the way entries vary: mostly lines ("Z"), some analytic splits.
void FillLine(hDBICur cur, std::uint8_t* buf, std::mt19937& rng, long i) {
  static const char* journals[] = {"AC", "VT", "BQ", "OD", "CA"};
  static const char* vents[] = {"  ", "  ", "01", "02", "10"};
  char text[32];
  DbiInitRecord(cur, buf);
  DbiPutField(cur, 1, buf, rng() % 5 == 0 ? "A" : "Z");
  std::snprintf(text, sizeof text, "%02u", static_cast<unsigned>(1 + rng() % 12));
  DbiPutField(cur, 2, buf, text);
  DbiPutField(cur, 3, buf, journals[rng() % 5]);
  std::snprintf(text, sizeof text, "%06ld", i / 4);
  DbiPutField(cur, 4, buf, text);
  std::snprintf(text, sizeof text, "%04ld", i % 10000);
  DbiPutField(cur, 5, buf, text);
  DbiPutField(cur, 6, buf, text);
  DbiPutField(cur, 9, buf, vents[rng() % 5]);
  std::snprintf(text, sizeof text, "%08u", static_cast<unsigned>(rng() % 100000000));
  DbiPutField(cur, 10, buf, text);
  DbiPutField(cur, 11, buf, "Facture fournisseur");
  double amount = static_cast<double>(rng() % 1000000) / 100;
  DbiPutField(cur, 12, buf, &amount);
  DbiPutField(cur, 14, buf, &amount);
  std::snprintf(text, sizeof text, "411%07u", static_cast<unsigned>(rng() % 5000));
  DbiPutField(cur, 22, buf, text);
}

long MaxRssKb() {
  struct rusage ru {};
  getrusage(RUSAGE_SELF, &ru);
  return ru.ru_maxrss;
}

// Appends n records with the three tags maintained. Arg 0: records; arg 1: 1 = exclusive.
void BM_Append(benchmark::State& state) {
  const long n = state.range(0);
  const bool excl = state.range(1) != 0;
  std::string path = excl ? Folder() + "/append_excl.dbf" : TablePath(n);
  for (auto _ : state) {
    state.PauseTiming();
    if (!CreateLines(path, true)) {
      state.SkipWithError("create failed");
      return;
    }
    hDBICur cur = OpenTable(path, excl ? dbiOPENEXCL : dbiOPENSHARED);
    CURProps props;
    DbiGetCursorProps(cur, &props);
    std::vector<std::uint8_t> buf(props.iRecBufSize);
    std::mt19937 rng(42);
    state.ResumeTiming();
    for (long i = 0; i < n; ++i) {
      FillLine(cur, buf.data(), rng, i);
      if (DbiInsertRecord(cur, dbiNOLOCK, buf.data()) != DBIERR_NONE) {
        state.SkipWithError("insert failed");
        break;
      }
    }
    DbiCloseCursor(&cur);
  }
  state.SetItemsProcessed(state.iterations() * n);
  state.counters["maxrss_kb"] = static_cast<double>(MaxRssKb());
  if (excl) std::filesystem::remove(path);
}

// Reads every record in physical order and three fields of each.
void BM_SequentialRead(benchmark::State& state) {
  const long n = state.range(0);
  const bool excl = state.range(1) != 0;
  hDBICur cur = OpenTable(TablePath(n), excl ? dbiOPENEXCL : dbiOPENSHARED);
  if (cur == nullptr) {
    state.SkipWithError("no table: run the append benchmark first");
    return;
  }
  CURProps props;
  DbiGetCursorProps(cur, &props);
  std::vector<std::uint8_t> buf(props.iRecBufSize);
  double sum = 0;
  long rows = 0;
  for (auto _ : state) {
    DbiSetToBegin(cur);
    rows = 0;
    char code[16], journal[8];
    while (DbiGetNextRecord(cur, dbiNOLOCK, buf.data(), nullptr) == DBIERR_NONE) {
      bool blank;
      double amount = 0;
      DbiGetField(cur, 10, buf.data(), code, &blank);
      DbiGetField(cur, 3, buf.data(), journal, &blank);
      DbiGetField(cur, 12, buf.data(), &amount, &blank);
      sum += amount;
      ++rows;
    }
  }
  benchmark::DoNotOptimize(sum);
  if (rows != n) state.SkipWithError("wrong record count");
  state.SetItemsProcessed(state.iterations() * rows);
  state.counters["maxrss_kb"] = static_cast<double>(MaxRssKb());
  DbiCloseCursor(&cur);
}

// Seeks random existing keys of C50CODE (partial key: the first 9 characters) and reads the
// record found; the median of single seeks is reported in microseconds.
void BM_SeekRandom(benchmark::State& state) {
  const long n = state.range(0);
  hDBICur cur = OpenTable(TablePath(n), dbiOPENSHARED, "C50CODE");
  if (cur == nullptr) {
    state.SkipWithError("no table: run the append benchmark first");
    return;
  }
  CURProps props;
  DbiGetCursorProps(cur, &props);
  std::vector<std::uint8_t> buf(props.iRecBufSize);
  // Keys taken from the records themselves.
  std::vector<std::string> keys;
  std::mt19937 rng(7);
  DbiSwitchToIndex(&cur, nullptr, nullptr, 0, false);
  for (int i = 0; i < 20000; ++i) {
    DbiSetToRecordNo(cur, 1 + rng() % n);
    DbiGetRecord(cur, dbiNOLOCK, buf.data(), nullptr);
    if (buf[1] != 'Z') continue;
    keys.emplace_back(reinterpret_cast<char*>(buf.data()) + 1, 12);
  }
  DbiSwitchToIndex(&cur, nullptr, "C50CODE", 0, false);
  std::vector<double> times;
  std::size_t k = 0;
  long missed = 0;
  for (auto _ : state) {
    const std::string& key = keys[k++ % keys.size()];
    auto t0 = std::chrono::steady_clock::now();
    if (DbiSetToKey(cur, keySEARCHEQ, true, 0, 12, key.c_str()) != DBIERR_NONE ||
        DbiGetNextRecord(cur, dbiNOLOCK, buf.data(), nullptr) != DBIERR_NONE)
      ++missed;
    times.push_back(std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - t0).count());
  }
  std::sort(times.begin(), times.end());
  if (!times.empty()) state.counters["median_us"] = times[times.size() / 2];
  state.counters["missed"] = static_cast<double>(missed);
  DbiCloseCursor(&cur);
}

// Adds one tag (key of three fields, with a condition) over every record.
void BM_BuildTag(benchmark::State& state) {
  const long n = state.range(0);
  hDBICur cur = OpenTable(TablePath(n), dbiOPENEXCL);
  if (cur == nullptr) {
    state.SkipWithError("no table: run the append benchmark first");
    return;
  }
  for (auto _ : state) {
    IDXDesc idx;
    std::snprintf(idx.szTagName, sizeof idx.szTagName, "TAG_TMP");
    std::snprintf(idx.szKeyExp, sizeof idx.szKeyExp, "BCG+BMOIS+BJAL");
    std::snprintf(idx.szKeyCond, sizeof idx.szKeyCond, "BCLE='Z'");
    idx.bSubset = true;
    if (DbiAddIndex(Db(), cur, nullptr, nullptr, &idx, nullptr) != DBIERR_NONE) state.SkipWithError("add failed");
    state.PauseTiming();
    DbiDeleteIndex(Db(), cur, nullptr, nullptr, nullptr, "TAG_TMP", 0);
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * n);
  state.counters["maxrss_kb"] = static_cast<double>(MaxRssKb());
  DbiCloseCursor(&cur);
}

// Packs a copy of the table with every tenth record deleted; the tags are rebuilt.
void BM_Pack(benchmark::State& state) {
  const long n = state.range(0);
  std::string copy = Folder() + "/pack.dbf";
  for (auto _ : state) {
    state.PauseTiming();
    if (DbiCopyTable(Db(), true, TablePath(n).c_str(), "DBASE", copy.c_str()) != DBIERR_NONE) {
      state.SkipWithError("no table: run the append benchmark first");
      return;
    }
    hDBICur cur = OpenTable(copy, dbiOPENEXCL);
    for (long r = 1; r <= n; r += 10) {
      DbiSetToRecordNo(cur, static_cast<std::uint32_t>(r));
      DbiDeleteRecord(cur, nullptr);
    }
    state.ResumeTiming();
    if (DbiPackTable(Db(), cur, nullptr, nullptr, true) != DBIERR_NONE) state.SkipWithError("pack failed");
    state.PauseTiming();
    std::uint32_t left = 0;
    DbiGetRecordCount(cur, &left);
    if (left != static_cast<std::uint32_t>(n - (n + 9) / 10)) state.SkipWithError("wrong count after pack");
    DbiCloseCursor(&cur);
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * n);
  state.counters["maxrss_kb"] = static_cast<double>(MaxRssKb());
}

}  // namespace

BENCHMARK(BM_Append)->Args({100000, 0})->Args({1000000, 0})->Args({1000000, 1})
    ->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SequentialRead)->Args({100000, 0})->Args({1000000, 0})->Args({1000000, 1})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SeekRandom)->Arg(1000000)->Iterations(50000)->Unit(benchmark::kMicrosecond);
// Peak memory is per process: the small tables go first so their figures stand alone.
BENCHMARK(BM_BuildTag)->Arg(100000)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Pack)->Arg(100000)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BuildTag)->Arg(1000000)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Pack)->Arg(1000000)->Iterations(1)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
