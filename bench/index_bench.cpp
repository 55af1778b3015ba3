// Index maintenance, builds and seeks on a table shaped like the draft entry lines (25
// fields, three tags with conditions).
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "mdx.h"

namespace {

using namespace dbase;

RecordLayout EntryLineLayout() {
  const struct {
    const char* name;
    char type;
    std::uint32_t width;
    std::uint32_t decimals;
  } fields[] = {
      {"BCLE", 'C', 1, 0},    {"BMOIS", 'C', 4, 0},   {"BJAL", 'C', 2, 0},    {"BPIECE", 'C', 6, 0},
      {"BREC", 'C', 6, 0},    {"BNUM", 'C', 4, 0},    {"BNUMA", 'C', 4, 0},   {"BJOUR", 'C', 2, 0},
      {"BVENT", 'C', 2, 0},   {"BCODE", 'C', 8, 0},   {"BCLIB", 'C', 30, 0},  {"BLIB1", 'C', 30, 0},
      {"BLIB2", 'C', 30, 0},  {"BLIB3", 'C', 30, 0},  {"BECH", 'C', 6, 0},    {"BSENS", 'C', 1, 0},
      {"BMONT", 'N', 14, 2},  {"BMONTE", 'N', 14, 2}, {"BLETF", 'C', 4, 0},   {"BLETE", 'C', 4, 0},
      {"BCG", 'C', 8, 0},     {"BTVA", 'C', 2, 0},    {"BQTE", 'N', 12, 3},   {"BREF", 'C', 10, 0},
      {"BDIV", 'C', 20, 0},
  };
  RecordLayout layout;
  std::uint32_t at = 1;
  for (const auto& f : fields) {
    layout.push_back({f.name, f.type, at, f.width, f.decimals});
    at += f.width;
  }
  return layout;
}

struct Tag {
  const char* name;
  const char* key;
  const char* cond;
};
const Tag kTags[] = {
    {"C50CODE", "BCLE+BMOIS+BJAL+BPIECE+BREC+BNUM", "BCLE='Z'"},
    {"C50ANAL", "BMOIS+BJAL+BPIECE+BCG+BNUM+BCLE+BNUMA", "BCLE<'Z'"},
    {"C50VENT", "BCLE+BMOIS+BJAL+BVENT+BCODE", "BCLE='Z' .AND. BVENT#'  '"},
};

void Put(std::vector<std::uint8_t>& rec, const FieldLayout& f, const std::string& v) {
  std::string s = v.substr(0, f.length);
  s.resize(f.length, ' ');
  std::memcpy(rec.data() + f.offset, s.data(), f.length);
}

// Entry lines as a journal fills them: pieces of four lines in increasing numbers, spread
// over twelve months and five journals; one line in five an analytic line.
std::vector<std::uint8_t> EntryLine(const RecordLayout& l, std::uint32_t n, std::mt19937& rng) {
  std::vector<std::uint8_t> rec(RecordLength(l), ' ');
  char buf[32];
  Put(rec, l[0], rng() % 5 == 0 ? "V" : "Z");
  std::snprintf(buf, sizeof buf, "B%03u", static_cast<unsigned>(401 + rng() % 12));
  Put(rec, l[1], buf);
  std::snprintf(buf, sizeof buf, "J%u", static_cast<unsigned>(rng() % 5));
  Put(rec, l[2], buf);
  std::snprintf(buf, sizeof buf, "%06u", n / 4);
  Put(rec, l[3], buf);
  std::snprintf(buf, sizeof buf, "%06u", n);
  Put(rec, l[4], buf);
  std::snprintf(buf, sizeof buf, "%04u", n % 4);
  Put(rec, l[5], buf);
  Put(rec, l[6], "0001");
  Put(rec, l[8], rng() % 3 == 0 ? "V1" : "  ");
  std::snprintf(buf, sizeof buf, "%08u", static_cast<unsigned>(rng() % 5000));
  Put(rec, l[9], buf);
  Put(rec, l[10], "Facture fournisseur");
  Put(rec, l[20], buf);
  return rec;
}

class Generated : public RecordSource {
 public:
  Generated(const RecordLayout& l, std::uint32_t count) : layout_(l), count_(count), rng_(7) {}
  bool Next(std::uint32_t* recno, const std::uint8_t** record) override {
    if (next_ >= count_) return false;
    ++next_;
    rec_ = EntryLine(layout_, next_, rng_);
    *recno = next_;
    *record = rec_.data();
    return true;
  }

 private:
  const RecordLayout& layout_;
  std::uint32_t count_;
  std::uint32_t next_ = 0;
  std::mt19937 rng_;
  std::vector<std::uint8_t> rec_;
};

std::string TempFile(const char* name) {
  static const std::string dir = [] {
    char tmpl[] = "/tmp/merlon-bench-XXXXXX";
    return std::string(::mkdtemp(tmpl));
  }();
  return dir + "/" + name;
}

double MaxRssMb() {
  rusage ru{};
  ::getrusage(RUSAGE_SELF, &ru);
  return ru.ru_maxrss / 1024.0;
}

// Appends with the three tags maintained, one update per record (as a shared table does),
// or with the table open exclusively (pages written back at the end).
void BM_AppendThreeTags(benchmark::State& state) {
  const auto n = static_cast<std::uint32_t>(state.range(0));
  const bool exclusive = state.range(1) != 0;
  const RecordLayout layout = EntryLineLayout();
  for (auto _ : state) {
    state.PauseTiming();
    const std::string path = TempFile("append.mdx");
    std::unique_ptr<Mdx> m;
    Mdx::Create(path, "append", true, layout, exclusive, &m);
    for (const Tag& t : kTags) m->AddTag(t.name, t.key, t.cond, nullptr);
    std::mt19937 rng(11);
    std::vector<std::vector<std::uint8_t>> recs;
    recs.reserve(10000);
    state.ResumeTiming();
    for (std::uint32_t i = 1; i <= n; ++i) {
      const auto rec = EntryLine(layout, i, rng);
      if (m->RecordChanged(i, nullptr, rec.data()) != DBIERR_NONE) {
        state.SkipWithError("update failed");
        break;
      }
    }
    m->Close();
    state.PauseTiming();
    std::uint64_t count = 0;
    Mdx::Open(path, layout, true, false, &m);
    m->Count("C50CODE", &count);
    benchmark::DoNotOptimize(count);
    m.reset();
    std::filesystem::remove(path);
    state.ResumeTiming();
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * n);
  state.counters["max_rss_mb"] = MaxRssMb();
}
BENCHMARK(BM_AppendThreeTags)->Args({100000, 0})->Args({1000000, 0})->Args({1000000, 1})
    ->Unit(benchmark::kMillisecond)->Iterations(1);

// Build of one tag over the records (sort in memory, pages written in order).
void BM_BuildTag(benchmark::State& state) {
  const auto n = static_cast<std::uint32_t>(state.range(0));
  const RecordLayout layout = EntryLineLayout();
  for (auto _ : state) {
    state.PauseTiming();
    const std::string path = TempFile("build.mdx");
    std::unique_ptr<Mdx> m;
    Mdx::Create(path, "build", true, layout, true, &m);
    Generated records(layout, n);
    state.ResumeTiming();
    if (m->AddTag(kTags[0].name, kTags[0].key, "", &records) != DBIERR_NONE) state.SkipWithError("build failed");
    m->Close();
    state.PauseTiming();
    std::filesystem::remove(path);
    state.ResumeTiming();
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * n);
  state.counters["max_rss_mb"] = MaxRssMb();
}
BENCHMARK(BM_BuildTag)->Arg(1000000)->Unit(benchmark::kMillisecond)->Iterations(1);

// Random seeks on a 1,000,000-entry tag opened shared (each seek takes the read lock and
// checks the change counter). Reports the median of single seeks too.
void BM_SeekRandom(benchmark::State& state) {
  const std::uint32_t n = 1000000;
  const RecordLayout layout = EntryLineLayout();
  const std::string path = TempFile("seek.mdx");
  {
    std::unique_ptr<Mdx> m;
    Mdx::Create(path, "seek", true, layout, true, &m);
    Generated records(layout, n);
    m->AddTag("BYREC", "BREC", "", &records);
    m->Close();
  }
  std::unique_ptr<Mdx> m;
  Mdx::Open(path, layout, true, false, &m);
  std::mt19937 rng(3);
  std::vector<double> samples;
  samples.reserve(1 << 20);
  char key[16];
  for (auto _ : state) {
    std::snprintf(key, sizeof key, "%06u", 1 + static_cast<unsigned>(rng() % n));
    const auto t0 = std::chrono::steady_clock::now();
    MdxEntry e;
    bool found = false;
    m->Seek("BYREC", key, &e, &found);
    const auto t1 = std::chrono::steady_clock::now();
    if (!found) state.SkipWithError("key not found");
    if (samples.size() < samples.capacity()) samples.push_back(std::chrono::duration<double, std::micro>(t1 - t0).count());
  }
  std::nth_element(samples.begin(), samples.begin() + samples.size() / 2, samples.end());
  state.counters["median_us"] = samples.empty() ? 0 : samples[samples.size() / 2];
  state.counters["max_rss_mb"] = MaxRssMb();
  m.reset();
  std::filesystem::remove(path);
}
BENCHMARK(BM_SeekRandom)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
