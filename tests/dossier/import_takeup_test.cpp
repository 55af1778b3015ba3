// A statement or ASCII import stopped by a refused write, whose totals are then made again from
// the lines before the same file is imported again: by the rebuild of a dossier that no longer
// holds the import's marker (an older dossier, or one whose marker went), or by the opening of a
// program that has no finish for the import (it offers the rebuild). The import taken up then
// posts only what the totals lack: the books end as after an import that went through, every
// invariant holding. A run that finds such an import's marker standing leaves it to the opening;
// the pieces the opening kept, validated before the file is imported again, are not written twice.
#include <functional>

#include "dossier/core/dossier_run_marker.h"
#include "dossier/core/maintenance_rebuild.h"
#include "entry/core/validation.h"
#include "kill_matrix.h"
#include "kill_matrix_fixture.h"
#include "processing/core/stopped_imports.h"

namespace {

using namespace kill_matrix;
using platform::WriteFault;

// How the totals are made again between the stop and the next import.
enum class Rebuilt { ByTheRebuild, ByTheOpening };

class ImportTakeUpTest : public MatrixTest {
 protected:
  // The import with its `nth` change refused once (ENOSPC): its exit status (0 when it said it
  // went through).
  int RunRefused(const MatrixRun& r, const std::string& root, long nth) {
    std::string text;
    return InChild([&](std::string*) { return r.run(root, [nth] { platform::SetWriteFault(WriteFault::kFullOnce, nth); }); },
                   &text);
  }

  // The model dossier made in `model`, and A's records once the import went through there
  // (then `after`, given A's folder, when set); *writes gets the import's changes.
  DossierRecords Uncut(const MatrixRun& r, const std::string& model, RunWrites* writes,
                       const std::function<void(const std::string&)>& after = {}) {
    PrepareModel(r, model);
    const std::string done = root_ + "/after/";
    Copy(model, done);
    EXPECT_EQ(RunUncut(r, done, writes), 0);
    if (after) after(done + "a/");
    const DossierRecords records = Records(r, done)[0];
    fs::remove_all(done);
    return records;
  }

  // The import stopped by the last refusal that leaves it with its marker, in `root` (copied
  // from `model`): the change refused, 0 when none does.
  long StopWithMarker(const MatrixRun& r, const std::string& model, const std::string& root, long total) {
    for (long k = total; k > 0; --k) {
      Copy(model, root);
      if (RunRefused(r, root, k) != 0 && fs::exists(root + "a/ca.run")) return k;
    }
    return 0;
  }

  // The journal-months of `journal` in A's draft that can be validated ("" when `months` is
  // given: those), validated: *said gets the months, or why the validation failed.
  int Validate(const std::string& folder, const std::string& journal, std::string months, std::string* said) {
    return InChild(
        [&](std::string* out) {
          if (!LoadAsOpened(folder, "A") || !DossierLockTable->OpenExclusive(DossierTablePath())) return false;
          entry::JournalValidationRequest request{{}, "C61231"};
          if (months.empty()) {
            Table c10, c50;
            if (!c10.OpenShared(PathC10(), "C10CODE", true) || !c50.OpenShared(PathC50(), "", true)) return false;
            for (const entry::DraftMonth& m : entry::ListDraftMonths(c50, c10))
              if (m.journalMonth.substr(4, 3) == journal + " " && m.BalancedInEuros() && m.noAccount == 0 &&
                  m.outOfYear == 0)
                months += m.journalMonth + ";";
          }
          for (std::size_t at = 0; at < months.size();) {
            const std::size_t end = months.find(';', at);
            request.journalMonths.push_back(months.substr(at, end - at));
            at = end + 1;
          }
          CloseAllTables();
          const entry::ValidationResult result = entry::RunValidation(request);
          *out = result.code == 0 ? months : result.error;
          return result.code == 0 && !request.journalMonths.empty();
        },
        said);
  }

  // The totals made again from the lines: faults found on the way ("" none).
  std::string Rebuild(const std::string& folder, Rebuilt how) {
    if (how == Rebuilt::ByTheRebuild) {
      std::string said;
      const int status = InChild(
          [&](std::string* out) {
            if (!LoadAsOpened(folder, "A")) return false;
            RemoveDossierRunMarker();
            const RebuildReport report = RunDossierRebuild(false, false);
            *out = std::to_string(report.code);
            return report.code == 0;
          },
          &said);
      return status == 0 ? "" : "the rebuild failed: " + said;
    }
    // The opening of a program without the imports' finish: the stopped run is of a name it
    // does not know, and answered Yes, the rebuild is run.
    SetDossierRunFinisher(processing::kOfxImportRun, nullptr);
    SetDossierRunFinisher(processing::kAsciiImportRun, nullptr);
    std::string said;
    const bool open = OpenAsUser(folder, "A", &said);
    InstallBankCommands();
    return open ? "" : "the opening failed: " + OneLine(said);
  }
};

// At each change of a sample spread over the import, refused: the totals rebuilt, then the same
// file imported again.
TEST_P(ImportTakeUpTest, ATakeUpAfterTheTotalsWereRebuiltPostsThemOnce) {
  const MatrixRun& r = GetParam();
  const std::string model = root_ + "/model/";
  RunWrites writes;
  const DossierRecords after = Uncut(r, model, &writes);
  ASSERT_FALSE(HasFailure());
  ASSERT_EQ(invariantsHeld_.count("A"), 1u);

  long stopped = 0;
  for (const Rebuilt how : {Rebuilt::ByTheRebuild, Rebuilt::ByTheOpening})
    for (long k = 1; k <= writes.total; ++k) {
      const std::string point = std::string(how == Rebuilt::ByTheRebuild ? "rebuild" : "opening") +
                                ", change " + std::to_string(k) + " of " + std::to_string(writes.total) + " refused";
      const std::string root = root_ + "/point/";
      Copy(model, root);
      if (RunRefused(r, root, k) == 0) continue;
      ++stopped;
      const std::string rebuilt = Rebuild(root + "a/", how);
      EXPECT_EQ(rebuilt, "") << point;
      std::string said;
      EXPECT_EQ(InChild([&](std::string* out) { return r.retry(root, out); }, &said), 0) << point << ": " << said;
      EXPECT_EQ(RecordDifference(Records(r, root)[0], after), "") << point << ": " << OneLine(said);
      const std::vector<std::string> faults = TagsAndLeftovers(r, root);
      EXPECT_TRUE(faults.empty()) << point << ": " << JoinFaults(faults);
      fs::remove_all(root);
    }
  EXPECT_GT(stopped, 0);
}

// A stopped import's marker found by the rebuild or the validation: each is refused, naming the
// import, and changes nothing; the marker stays, so that the opening finishes the import, and the
// same file imported again then leaves the books as after an import that went through.
TEST_P(ImportTakeUpTest, ARunFindingAStoppedImportsMarkerLeavesItStanding) {
  const MatrixRun& r = GetParam();
  const std::string model = root_ + "/model/";
  RunWrites writes;
  const DossierRecords after = Uncut(r, model, &writes);
  ASSERT_FALSE(HasFailure());

  const std::string root = root_ + "/point/", folder = root + "a/", marker = folder + "ca.run";
  ASSERT_GT(StopWithMarker(r, model, root, writes.total), 0) << "no refusal left the import stopped with its marker";
  const std::string stopped = ReadAll(marker);
  const DossierRecords left = Records(r, root)[0];

  struct Other {
    const char* name;
    std::function<bool(std::string*)> run;  // false when refused; *said gets its message
  };
  const Other others[] = {
      {"rebuild",
       [&](std::string* said) {
         if (!LoadAsOpened(folder, "A")) return true;
         const RebuildReport report = RunDossierRebuild(false, false);
         *said = DossierRunMarkerRefusal(report.reindex.dataPath);
         return report.code != kRebuildMarkerFailed;
       }},
      {"validation",
       [&](std::string* said) {
         std::vector<std::string> months;
         if (!LoadAsOpened(folder, "A") || !DossierLockTable->OpenExclusive(DossierTablePath()) ||
             !ValidationMonths(&months))
           return true;
         const entry::ValidationResult result = entry::RunValidation({months, "C61231"});
         *said = result.error;
         return result.code != entry::kValidationMarker;
       }},
  };
  for (const Other& other : others) {
    SCOPED_TRACE(other.name);
    std::string said;
    EXPECT_EQ(InChild(other.run, &said), 1) << "the run was not refused: " << OneLine(said);
    EXPECT_NE(said.find("interrompu avant sa fin :\n\n   " + std::string(r.name[0] == 'o' ? "Importation Relev\xE9" : "Ajout")),
              std::string::npos)
        << OneLine(said);
    EXPECT_EQ(ReadAll(marker), stopped);
    EXPECT_EQ(RecordDifference(Records(r, root)[0], left), "");
  }
  std::string said;
  EXPECT_TRUE(OpenAsUser(folder, "A", &said)) << OneLine(said);
  EXPECT_EQ(InChild([&](std::string* out) { return r.retry(root, out); }, &said), 0) << OneLine(said);
  EXPECT_EQ(RecordDifference(Records(r, root)[0], after), "") << OneLine(said);
  const std::vector<std::string> faults = TagsAndLeftovers(r, root);
  EXPECT_TRUE(faults.empty()) << JoinFaults(faults);
}

// The pieces a stopped import wrote whole, kept by the opening, then validated (moved out of the
// draft) before the same file is imported again: they are not written a second time.
TEST_P(ImportTakeUpTest, PiecesKeptByTheOpeningAndValidatedAreNotWrittenAgain) {
  const MatrixRun& r = GetParam();
  const std::string journal = r.name[0] == 'o' ? "BQ" : "OD";
  const std::string model = root_ + "/model/";
  // As after an import that went through, then the validation of its journal's months.
  RunWrites writes;
  std::string months;
  const DossierRecords expected = Uncut(r, model, &writes, [&](const std::string& folder) {
    EXPECT_EQ(Validate(folder, journal, "", &months), 0) << OneLine(months);
  });
  ASSERT_FALSE(HasFailure());

  const std::string root = root_ + "/point/", folder = root + "a/";
  ASSERT_GT(StopWithMarker(r, model, root, writes.total), 0);
  std::string said;
  ASSERT_TRUE(OpenAsUser(folder, "A", &said)) << OneLine(said);
  ASSERT_EQ(Validate(folder, journal, months, &said), 0) << OneLine(said);
  EXPECT_EQ(InChild([&](std::string* out) { return r.retry(root, out); }, &said), 0) << OneLine(said);
  const DossierRecords now = Records(r, root)[0];
  EXPECT_EQ(RecordDifference(now, expected), "") << OneLine(said);
  const std::vector<std::string> faults = TagsAndLeftovers(r, root);
  EXPECT_TRUE(faults.empty()) << JoinFaults(faults);
}

std::vector<MatrixRun> Imports() {
  std::vector<MatrixRun> imports;
  for (const MatrixRun& r : Runs())
    if (r.retry != nullptr) imports.push_back(r);
  return imports;
}

INSTANTIATE_TEST_SUITE_P(Imports, ImportTakeUpTest, ::testing::ValuesIn(Imports()),
                         [](const ::testing::TestParamInfo<MatrixRun>& info) { return std::string(info.param.name); });

}  // namespace
