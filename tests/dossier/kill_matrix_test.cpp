// The kill matrix: each run that changes a dossier's books runs in a child process killed before
// one of its file writes (its own, and those of the rebuild and pack it ends with), on small
// generated dossiers. Every dossier of the run is then opened as the user opens it, each question
// answered Yes, and:
// - every table's live records equal, as a whole, those before the run or those after an uncut
//   run, every dossier of the run on the same side (an import, which keeps the pieces it wrote
//   whole, once it is run again as the user would, after the checks below);
// - every tag of every index walks exactly its table's records, and the invariants hold;
// - a killed run that had changed the tables was named by the opening;
// - no copies folder, pack file or run marker is left;
// - what the dossier keeps beside its books about them (the imports' log) agrees with them.
// Each run prints the points tried and held, and each point that failed with what differed.
// The suite tries a sample spread over each run's writes, denser over the last ones (the pack
// and the put in place); MERLON_KILL_MATRIX=full tries every write, "points:5,17" those given.
#include <signal.h>

#include "data/table.h"
#include "kill_matrix.h"
#include "kill_matrix_fixture.h"
#include "support/books_writes.h"

namespace {

using namespace kill_matrix;

constexpr int kKilled = 128 + SIGKILL;

class KillMatrixTest : public MatrixTest {
 protected:
  // The run killed before write `nth`.
  int RunKilled(const MatrixRun& r, const std::string& root, long nth) {
    std::string text;
    return InChild(
        [&](std::string*) { return r.run(root, [nth] { dbase::SetWriteFault(dbase::WriteFault::kKill, nth); }); },
        &text);
  }

  // One point: the faults found (empty when it held).
  std::vector<std::string> TryPoint(const MatrixRun& r, const std::string& model, long k,
                                    const std::vector<DossierRecords>& before,
                                    const std::vector<DossierRecords>& after) {
    std::vector<std::string> faults;
    const std::string root = root_ + "/point/";
    Copy(model, root);
    const int status = RunKilled(r, root, k);
    if (status != kKilled) faults.push_back("the run was not killed (exit status " + std::to_string(status) + ")");
    // Left half-done by the kill: neither as before nor as after the run. Read from a copy: an
    // open may put a cut-short pack in order, which is the opening's work, not this check's.
    Copy(root, root_ + "/killed/");
    const std::vector<DossierRecords> killed = Records(r, root_ + "/killed/");
    const bool halfDone = !AllAs(killed, before) && !AllAs(killed, after);

    const Opened o = OpenAndCompare(r, root, before, after);
    faults.insert(faults.end(), o.faults.begin(), o.faults.end());
    if (halfDone && !o.namedAtOpening) faults.push_back("the run left its tables half-done and the opening did not name it");
    // Every dossier as before the run, or every one as after it.
    if (!o.allBefore && !o.allAfter) {
      bool neither = false;
      for (const std::string& side : o.sides)
        if (side.find(" is neither") != std::string::npos) {
          neither = true;
          faults.push_back(side);
        }
      if (!neither) faults.push_back("the dossiers are on both sides of the run: " + JoinFaults(o.sides));
    }
    for (const std::string& f : TagsAndLeftovers(r, root)) faults.push_back(f);
    for (const std::string& f : RecordsDisagree(r, root)) faults.push_back(f);
    // MERLON_KILL_MATRIX_KEEP=<folder>: the dossiers of each point kept there, as the killed run
    // left them (killed/) and as the opening left them (opened/), for a look at a fault.
    if (const char* keep = std::getenv("MERLON_KILL_MATRIX_KEEP")) {
      const std::string to = std::string(keep) + "/" + r.name + "-" + std::to_string(k) + "/";
      fs::create_directories(to);
      Copy(root, to + "opened");
      Copy(root_ + "/killed/", to + "killed");
    }
    fs::remove_all(root);
    fs::remove_all(root_ + "/killed/");
    return faults;
  }
};

TEST_P(KillMatrixTest, EveryWritePointHolds) {
  const MatrixRun& r = GetParam();
  const std::string model = root_ + "/model/";
  const std::vector<DossierRecords> before = PrepareModel(r, model);
  ASSERT_FALSE(HasFatalFailure());

  // The uncut run: its writes and what it leaves.
  const std::string done = root_ + "/after/";
  Copy(model, done);
  RunWrites writes;
  ASSERT_EQ(RunUncut(r, done, &writes), 0) << r.title << ": the uncut run failed";
  const long total = writes.total;
  ASSERT_GT(total, 0);
  std::vector<std::string> uncut = TagsAndLeftovers(r, done);
  for (const std::string& f : RecordsDisagree(r, done)) uncut.push_back(f);
  EXPECT_TRUE(uncut.empty()) << r.title << ", uncut run: " << JoinFaults(uncut);
  const std::vector<DossierRecords> after = Records(r, done);
  ASSERT_NE(after, before) << r.title << ": the run changed nothing";
  if (r.retry != nullptr) {
    // Run again over a finished run, it adds nothing.
    std::string said;
    EXPECT_EQ(InChild([&](std::string* out) { return r.retry(done, out); }, &said), 0) << said;
    EXPECT_EQ(RecordDifference(Records(r, done)[0], after[0]), "") << r.title << " run again";
  }
  fs::remove_all(done);

  const std::vector<long> points = Points(writes, "MERLON_KILL_MATRIX", r.lastWrites);
  const std::set<long> pack(writes.pack.begin(), writes.pack.end());
  long held = 0, packTried = 0, packHeld = 0;
  std::string report;
  for (const long k : points) {
    const std::vector<std::string> faults = TryPoint(r, model, k, before, after);
    packTried += pack.count(k);
    if (faults.empty()) {
      ++held;
      packHeld += pack.count(k);
    } else {
      report += "  " + std::string(r.title) + ", killed before write " + std::to_string(k) + " of " +
                std::to_string(total) + (pack.count(k) ? " (pack)" : "") + ": " + JoinFaults(faults) + "\n";
    }
  }
  std::printf("%s: %zu points tried, %ld held (of %ld writes; pack: %ld tried, %ld held, writes %s)%s\n%s", r.title,
              points.size(), held, total, packTried, packHeld, writes.pack.empty() ? "none" : Ranges(writes.pack).c_str(),
              r.knownFaulty ? " [known faulty]" : "", platform::Cp1252ToUtf8(report).c_str());
  std::fflush(stdout);
  if (!r.knownFaulty)
    EXPECT_EQ(held, static_cast<long>(points.size())) << platform::Cp1252ToUtf8(report);
  else if (held == static_cast<long>(points.size()))
    std::printf("%s holds at every point tried: its knownFaulty mark can go\n", r.title);
}

// The matrices' check itself, on a line cancelled with its analytic lines: a dossier whose tables
// mix records from before the change with records from after it is taken for neither, whether
// the mix shows in the live records or in the cancelled ones; a record that a change appended and
// cancelled again when it took itself back is no difference.
class MatrixCheckTest : public MatrixTest {};

TEST_F(MatrixCheckTest, AMixOfBeforeAndAfterIsTakenForNeither) {
  const MatrixRun* cancel = nullptr;
  for (const MatrixRun& r : LineChangeRuns())
    if (std::string(r.name) == "line_cancel") cancel = &r;
  ASSERT_NE(cancel, nullptr);
  const std::string model = root_ + "/model/", done = root_ + "/after/", mixed = root_ + "/mixed/";
  const std::vector<DossierRecords> before = PrepareModel(*cancel, model);
  Copy(model, done);
  RunWrites writes;
  ASSERT_EQ(RunUncut(*cancel, done, &writes), 0);
  const std::vector<DossierRecords> after = Records(*cancel, done);
  using L = LigneEcriture;
  // The first record of the draft of kind `kind`, cancelled or live as asked.
  const auto first = [](Table& c50, char kind, bool cancelled) {
    for (std::uint32_t r = 1; r <= c50.RecCount(); ++r)
      if (c50.GoTo(r) && c50.IsDeleted() == cancelled && c50.GetField(L::BCLE)[0] == kind) return true;
    return false;
  };
  struct Mix {
    const char* what;
    std::function<bool(Table& c50)> make;  // on the draft after the change
    bool asAfter;
  };
  const Mix mixes[] = {
      {"an analytic line live under its cancelled line",
       [&](Table& c50) { return first(c50, 'W', true) && c50.RecallRecord("mix", 0); }, false},
      {"the cancelled line with the amount of another change",
       [&](Table& c50) { return first(c50, 'Z', true) && c50.PutFieldNum(L::BMONTANTE, 1.23); }, false},
      {"the cancelled analytic line with another section",
       [&](Table& c50) { return first(c50, 'W', true) && c50.PutField(L::BCODE, "MIX"); }, false},
      {"a line appended, then cancelled as a change taken back cancels it",
       [&](Table& c50) {
         return first(c50, 'Z', false) && c50.AppendBlank() && c50.PutField(L::BCLE, "Z") &&
                c50.PutField(L::BMOIS, "C699") && c50.InsertRecord() && c50.DeleteRecord("mix", 0);
       },
       true},
  };
  for (const Mix& m : mixes) {
    SCOPED_TRACE(m.what);
    Copy(done, mixed);
    Table c50;
    ASSERT_TRUE(c50.OpenShared(mixed + "a/" + TableBaseName(TableKind::C50, "A") + ".dbf", L::kCodeTag));
    {
      const test_support::SetUpPermit permit("melange d avant et d apres");
      ASSERT_TRUE(m.make(c50) && c50.Commit());
    }
    c50.CloseTable();
    const std::vector<DossierRecords> now = Records(*cancel, mixed);
    EXPECT_EQ(AllAs(now, after), m.asAfter) << RecordDifference(now[0], after[0]);
    EXPECT_FALSE(AllAs(now, before)) << RecordDifference(now[0], before[0]);
  }
}

INSTANTIATE_TEST_SUITE_P(Runs, KillMatrixTest, ::testing::ValuesIn(Runs()),
                         [](const ::testing::TestParamInfo<MatrixRun>& info) { return std::string(info.param.name); });
INSTANTIATE_TEST_SUITE_P(LineChanges, KillMatrixTest, ::testing::ValuesIn(LineChangeRuns()),
                         [](const ::testing::TestParamInfo<MatrixRun>& info) { return std::string(info.param.name); });

}  // namespace
