// The fault matrix: each run that changes a dossier's books runs in a child process with one of
// its file changes refused once (ENOSPC: a full disk; EIO: a USB key or a share that lost a
// write; part-written: a disk that fills while the change is written, which takes its first part
// and refuses the rest), or refused from there on (read-only: a disk remounted read-only, every
// later change refused, the run's own clean-up included), the run going on, on the kill matrix's
// dossiers. The changes are counted over both the
// engine and the file helpers (run markers, copies, renames, removals, journals). Every dossier
// of the run is then opened as the user opens it, each question answered Yes (the imports are
// checked, then run again, as the user would), and:
// - a run that said it succeeded left every dossier as after an uncut run;
// - a run that said it failed left every dossier as before it, or as after it once the opening
//   named the stopped run and finished it (an import run again: as after, each transaction once;
//   an import that left no stopped run to name: as before it right after the opening);
// - every tag of every index walks exactly its table's records, the invariants hold, no
//   copies folder, pack file or run marker is left, and what the dossier keeps beside its books
//   about them (the imports' log) agrees with them.
// Each run also meets one read of its files refused (EIO), counted apart from the changes: a run
// that read less than a table holds must not write from it as if it were whole.
// A change of lines that said it failed over a refusal the disk gets over (all but the lasting
// one) and took itself back whole is tried again in the same program, the disk back, the tables
// it writes held open meanwhile as the entry windows hold them: it goes through, and the books
// then hold it as after an uncut change.
// Each run prints the points tried and held, and each point that failed with what differed.
// The suite tries a sample of points (with every write of a file beside the tables: a log, an
// import's identities), ENOSPC and EIO in turn, the part-written change at each, and
// the lasting refusal at those among the run's last sixty changes (where the runs remove their
// marker and copies: a removal refused for good must not leave a run said done to be put back),
// and a sample of its reads (every one, for a change of lines); MERLON_FAULT_MATRIX=full tries all
// four at every change and every read, "full:i/n" every n-th of each from the i-th, "points:5,17"
// the changes given (all four), "reads:40,41" the reads given, "reads" the sample of the reads
// alone.
#include <errno.h>

#include <map>
#include <memory>
#include <utility>

#include "data/table.h"
#include "kill_matrix.h"
#include "kill_matrix_fixture.h"

namespace {

using namespace kill_matrix;
using platform::WriteFault;

// The runs whose refused writes are still being mended: their points are tried and reported, but
// do not fail the test. Each goes once it holds at every point of a full sweep.
const std::set<std::string> kKnownFaulty = {};
// The reads tried, of a run that makes `reads`: those named ("reads:40,41"), every one in a full
// sweep ("full", "full:i/n" every n-th from the i-th), none when changes are named ("points:"),
// else every one for a run that asks it (`every`), or the first two, the last four and twenty
// spread over the run.
std::vector<long> ReadPoints(long reads, bool every) {
  const char* mode = std::getenv("MERLON_FAULT_MATRIX");
  const std::string m = mode == nullptr ? "" : mode;
  std::set<long> points;
  if (m.rfind("reads:", 0) == 0) {
    for (std::size_t at = 6; at < m.size();) {
      std::size_t end = m.find(',', at);
      if (end == std::string::npos) end = m.size();
      points.insert(std::atol(m.substr(at, end - at).c_str()));
      at = end + 1;
    }
  } else if (m.rfind("full", 0) == 0) {
    RunWrites all;
    all.total = reads;
    const std::vector<long> each = Points(all, "MERLON_FAULT_MATRIX");
    points.insert(each.begin(), each.end());
  } else if (m.rfind("points:", 0) != 0 && every) {
    for (long k = 1; k <= reads; ++k) points.insert(k);
  } else if (m.rfind("points:", 0) != 0) {  // the sample, with the changes' or alone ("reads")
    points = {1, 2};
    for (long k = std::max(1L, reads - 3); k <= reads; ++k) points.insert(k);
    for (long i = 1; i < 20; ++i) points.insert(reads * i / 20);
  }
  std::vector<long> out;
  for (long k : points)
    if (k >= 1 && k <= reads) out.push_back(k);
  return out;
}

// The faults tried at the i-th point of the sample (`all`: every fault), of a run of `total`
// changes.
std::vector<WriteFault> FaultsAt(std::size_t i, long point, long total, bool all) {
  if (all) return {WriteFault::kFullOnce, WriteFault::kFailOnce, WriteFault::kPartOnce, WriteFault::kFailForGood};
  std::vector<WriteFault> faults = {i % 2 == 0 ? WriteFault::kFullOnce : WriteFault::kFailOnce, WriteFault::kPartOnce};
  if (point > total - 60) faults.push_back(WriteFault::kFailForGood);
  return faults;
}

// A refusal the disk gets over: the same change tried again in the same program goes through.
bool Passing(WriteFault fault) { return fault != WriteFault::kFailForGood; }

// How the run tried again in the same program went, after it said it failed.
enum class Retry { kNotTried, kWent, kRefused };

class FaultMatrixTest : public MatrixTest {
 protected:
  // The run with its `nth` change refused (once, or from there on): 0 when it said it succeeded,
  // 1 when it said it failed, another status when it ended otherwise. *refused names the change
  // refused. A change of lines that said it failed over a passing refusal, taking itself back
  // whole (no note left), is tried again in the same program, the disk back, while the tables it
  // writes stay open as the entry windows keep them: *retry says how it went.
  int RunFaulted(const MatrixRun& r, const std::string& root, long nth, WriteFault fault, std::string* refused,
                 Retry* retry) {
    std::string said;
    const int status = InChild(
        [&](std::string* out) {
          std::vector<std::unique_ptr<Table>> windows;
          if (r.lineChange)
            for (const MatrixDossier& d : r.dossiers)
              for (const TableKind kind : {TableKind::C10, TableKind::C20, TableKind::C30, TableKind::C50, TableKind::C60}) {
                windows.push_back(std::make_unique<Table>());
                windows.back()->OpenShared(root + d.folder + "/" + TableBaseName(kind, d.code) + ".dbf", "", true);
              }
          const bool ok = r.run(root, [nth, fault] { platform::SetWriteFault(fault, nth); });
          *out = platform::RefusedChange();
          platform::SetWriteFault(WriteFault::kNone, 0);
          bool noted = false;
          for (const MatrixDossier& d : r.dossiers) noted = noted || !Leftovers(root + d.folder + "/", d.code).empty();
          if (r.lineChange && !ok && Passing(fault) && !noted) {
            // The books as the refused change left them, for the same change made uncut in a
            // program of its own (Expected).
            Copy(root, ExpectedRoot());
            *out += r.run(root, [] {}) ? "\n+" : "\n-";
          }
          return ok;
        },
        &said);
    *retry = Retry::kNotTried;
    if (const std::size_t end = said.rfind('\n'); end != std::string::npos && end + 2 == said.size()) {
      *retry = said[end + 1] == '+' ? Retry::kWent : Retry::kRefused;
      said.resize(end);
    }
    *refused = said;
    return status;
  }

  // One point: the faults found (empty when it held).
  std::vector<std::string> TryPoint(const MatrixRun& r, const std::string& model, long k, WriteFault fault,
                                    const std::vector<DossierRecords>& before,
                                    const std::vector<DossierRecords>& after) {
    std::vector<std::string> faults;
    const std::string root = root_ + "/point/";
    Copy(model, root);
    std::string refused;
    Retry retry = Retry::kNotTried;
    const int status = RunFaulted(r, root, k, fault, &refused, &retry);
    if (status != 0 && status != 1) faults.push_back("the run ended with exit status " + std::to_string(status));
    const Opened o = OpenAndCompare(r, root, before, after);
    faults.insert(faults.end(), o.faults.begin(), o.faults.end());
    const std::string sides = JoinFaults(o.sides);
    if (retry != Retry::kNotTried) ++retried_;
    if (retry == Retry::kRefused) {
      faults.push_back("tried again in the same program, the disk back, the change was refused again");
    } else if (retry == Retry::kWent) {
      // The books hold the change as it leaves them made uncut in a program of its own from the
      // same books: the refused try may have taken a piece number, or left a cancelled record that
      // moves the next one's number.
      std::string said;
      if (InChild([&](std::string*) { return r.run(ExpectedRoot(), [] {}); }, &said) != 0) {
        faults.push_back("the change made uncut on the books the refused one left failed");
      } else {
        const std::vector<DossierRecords> now = Records(r, root), expected = Records(r, ExpectedRoot());
        for (std::size_t i = 0; i < now.size() && i < expected.size(); ++i)
          if (const std::string d = RecordDifference(now[i], expected[i]); !d.empty())
            faults.push_back(std::string("tried again in the same program, ") + r.dossiers[i].code +
                             " is not as the change made uncut leaves it: " + d);
      }
    } else if (r.retry != nullptr) {
      // An import that said it succeeded wrote everything before the opening; imported again after
      // it, every transaction is there once, whatever the first run said.
      if (status == 0 && !o.afterAtOpening) faults.push_back("the import said it succeeded, yet is not whole when opened");
      // One that said it failed, and left no stopped run for the opening to name, wrote nothing.
      if (status == 1 && !o.namedAtOpening && !o.beforeAtOpening)
        faults.push_back("the import said it failed and left no stopped run, yet the books changed: " +
                         JoinFaults(o.sidesAtOpening));
      if (!o.allAfter) faults.push_back("imported again, not as after the run: " + sides);
    } else if (status == 0) {
      if (!o.allAfter) faults.push_back("the run said it succeeded: " + sides);
    } else if (status == 1) {
      if (o.allAfter && !o.allBefore && !o.named)
        faults.push_back("the run said it failed, yet its changes stand and nothing named it: " + sides);
      else if (!o.allBefore && !o.allAfter)
        faults.push_back("the run said it failed: " + sides);
    }
    fs::remove_all(ExpectedRoot());
    for (const std::string& f : TagsAndLeftovers(r, root)) faults.push_back(f);
    for (const std::string& f : RecordsDisagree(r, root)) faults.push_back(f);
    if (!faults.empty()) {
      const std::size_t folder = refused.find(root);
      if (folder != std::string::npos) refused.replace(folder, root.size(), "");
      faults.insert(faults.begin(), "(" + (refused.empty() ? std::string("no change refused") : refused) + ", run said " +
                                        (status == 0 ? "success" : "failure") + ")");
    }
    // MERLON_FAULT_MATRIX_KEEP=<folder>: the dossiers of each point that failed kept there, as the
    // opening left them.
    if (const char* keep = std::getenv("MERLON_FAULT_MATRIX_KEEP"); keep != nullptr && !faults.empty())
      Copy(root, std::string(keep) + "/" + r.name + "-" + std::to_string(k) + "-" + FaultName(fault) + "/");
    fs::remove_all(root);
    return faults;
  }

  long retried_ = 0;  // the points whose change was tried again in the same program
  std::string ExpectedRoot() const { return root_ + "/expected/"; }
};

TEST_P(FaultMatrixTest, EveryRefusedWriteHolds) {
  const MatrixRun& r = GetParam();
  const bool knownFaulty = kKnownFaulty.count(r.name) != 0;
  const std::string model = root_ + "/model/";
  const std::vector<DossierRecords> before = PrepareModel(r, model);
  ASSERT_FALSE(HasFatalFailure());

  // The uncut run: its writes and what it leaves.
  const std::string done = root_ + "/after/";
  Copy(model, done);
  RunWrites writes;
  ASSERT_EQ(RunUncut(r, done, &writes), 0) << r.title << ": the uncut run failed";
  ASSERT_GT(writes.total, 0);
  const std::vector<DossierRecords> after = Records(r, done);
  ASSERT_NE(after, before) << r.title << ": the run changed nothing";
  fs::remove_all(done);

  // Every fault at each point of a full sweep or of those named; over a sample, as FaultsAt says.
  const char* mode = std::getenv("MERLON_FAULT_MATRIX");
  const bool every = mode != nullptr && (std::string(mode).rfind("full", 0) == 0 || std::string(mode).rfind("points:", 0) == 0);
  const bool readsOnly = mode != nullptr && std::string(mode).rfind("reads", 0) == 0;
  std::vector<long> points = readsOnly ? std::vector<long>{} : Points(writes, "MERLON_FAULT_MATRIX", r.lastWrites);
  if (!every && !readsOnly && r.lastWrites == 0) {
    // The writes of the files beside the tables too: an append cut short must not stay; and the
    // first write of each file, where a run refused has written nothing of it yet.
    std::set<long> sample(points.begin(), points.end());
    sample.insert(writes.besideTables.begin(), writes.besideTables.end());
    sample.insert(writes.firstOfFile.begin(), writes.firstOfFile.end());
    points.assign(sample.begin(), sample.end());
  }
  long tried = 0, held = 0;
  std::map<WriteFault, std::pair<long, long>> byFault;  // tried, held
  std::string report;
  const auto tryAt = [&](long point, WriteFault fault) {
    ++tried;
    ++byFault[fault].first;
    const std::vector<std::string> faults = TryPoint(r, model, point, fault, before, after);
    if (faults.empty()) {
      ++held;
      ++byFault[fault].second;
      return;
    }
    const bool read = fault == WriteFault::kReadFailOnce;
    report += "  " + std::string(r.title) + ", " + FaultName(fault) + (read ? " " : " on change ") +
              std::to_string(point) + " of " + std::to_string(read ? writes.reads : writes.total) + ": " +
              JoinFaults(faults) + "\n";
  };
  for (std::size_t i = 0; i < points.size(); ++i)
    for (const WriteFault fault : FaultsAt(i, points[i], writes.total, every)) tryAt(points[i], fault);
  for (const long read : ReadPoints(writes.reads, r.lineChange)) tryAt(read, WriteFault::kReadFailOnce);
  std::string each;
  for (const auto& [fault, count] : byFault)
    each += std::string(each.empty() ? "" : ", ") + FaultName(fault) + " held " + std::to_string(count.second) + " of " +
            std::to_string(count.first);
  if (r.lineChange) each += ", " + std::to_string(retried_) + " tried again in the same program";
  std::printf("%s: %ld points tried, %ld held (of %ld changes and %ld reads; %s)%s\n%s", r.title, tried, held,
              writes.total, writes.reads, each.c_str(), knownFaulty ? " [known faulty]" : "",
              platform::Cp1252ToUtf8(report).c_str());
  std::fflush(stdout);
  if (!knownFaulty)
    EXPECT_EQ(held, tried) << platform::Cp1252ToUtf8(report);
  else if (held == tried)
    std::printf("%s holds at every point tried: its known-faulty mark can go\n", r.title);
}

INSTANTIATE_TEST_SUITE_P(Runs, FaultMatrixTest, ::testing::ValuesIn(Runs()),
                         [](const ::testing::TestParamInfo<MatrixRun>& info) { return std::string(info.param.name); });
INSTANTIATE_TEST_SUITE_P(LineChanges, FaultMatrixTest, ::testing::ValuesIn(LineChangeRuns()),
                         [](const ::testing::TestParamInfo<MatrixRun>& info) { return std::string(info.param.name); });

}  // namespace
