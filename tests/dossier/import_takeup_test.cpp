// A statement or ASCII import stopped by a refused write, whose totals are then made again from
// the lines before the same file is imported again: by the rebuild of a dossier that no longer
// holds the import's marker (an older dossier, or one whose marker went), or by the opening of a
// program that has no finish for the import (it offers the rebuild). The import taken up then
// posts only what the totals lack: the books end as after an import that went through, every
// invariant holding. A run that finds such an import's marker standing leaves it to the opening;
// the pieces the opening kept, validated before the file is imported again, are not written twice.
// The opening's take-up goes to each piece through its key, not through its journal-month, and
// shows its progress window while it works.
#include <QApplication>
#include <QLabel>
#include <QTimer>
#include <QWidget>

#include <fstream>
#include <functional>

#include "dossier/core/dossier_run_marker.h"
#include "dossier/core/maintenance_rebuild.h"
#include "dossier/rebuild_indexes.h"
#include "entry/core/validation.h"
#include "kill_matrix.h"
#include "kill_matrix_fixture.h"
#include "processing/core/bank_pieces.h"
#include "processing/core/stopped_imports.h"
#include "support/refused_read.h"

namespace {

using namespace kill_matrix;
using platform::WriteFault;

// The first change of an import's totals journal ("cofa.tot", "casa.tot") refused once, as by a
// disk full for a moment: the import stops there with every line in the draft, its marker kept.
void RefuseTheTotalsJournal() {
  const std::string& change = platform::ChangeBeingMade();
  if (change.find("/cofa.tot") == std::string::npos && change.find("/casa.tot") == std::string::npos) return;
  platform::BeforeFileChange = nullptr;
  platform::SetWriteFault(WriteFault::kFullOnce, 1);
}

// The read calls this process has made, as the kernel counts them.
long ReadCalls() {
  std::ifstream io("/proc/self/io");
  for (std::string line; std::getline(io, line);)
    if (line.rfind("syscr:", 0) == 0) return std::atol(line.c_str() + 6);
  return -1;
}

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

  // The import in `root` stopped once every line is in the draft (RefuseTheTotalsJournal): true
  // when it left its marker for the opening.
  bool StopBeforeItsTotals(const MatrixRun& r, const std::string& root) {
    std::string text;
    InChild([&](std::string*) { return r.run(root, [] { platform::BeforeFileChange = RefuseTheTotalsJournal; }); },
            &text);
    return fs::exists(root + "a/ca.run");
  }

  // The read calls of the opening's take-up of the import stopped in `root`, every record read
  // from the file as on a network share (no mapping): -1 when it did not go to its end.
  long TakeUpReads(const std::string& root) {
    std::string text;
    const int status = InChild(
        [&](std::string* out) {
          dbase::SetForceNetworkFs(true);
          DossierRunInfo run;
          if (!LoadAsOpened(root + "a/", "A") || !ReadDossierRunMarker(&run)) return false;
          const long before = ReadCalls();
          const DossierRunFinish done = processing::FinishInterruptedImport(run);
          *out = std::to_string(ReadCalls() - before);
          return done.done;
        },
        &text);
    return status == 0 ? std::atol(text.c_str()) : -1;
  }

  // The invariants of A's books (lines, sort records, headers and totals): "" when they hold.
  static std::string InvariantFaults(const std::string& folder) {
    SetDossier(folder, "A");
    DossierInvariants check;
    const std::string faults = check.Check() ? "" : OneLine(check.Report());
    SetDossier("", "");
    return faults;
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

// The take-up goes to each piece it takes up through the piece's key: over a dossier whose
// journal-months hold fifty times as many lines, the same stopped import is taken up with about
// as many reads (every record read from the file, counted as read calls: less than half as many
// again), where a walk of the piece's journal-month for each piece reads all of them again for
// every piece. The books are whole after it.
TEST_P(ImportTakeUpTest, TheTakeUpReadsItsPiecesNotTheirJournalMonths) {
  const MatrixRun& r = GetParam();
  struct Size {
    long lines;
    long reads = 0;
  } sizes[] = {{60}, {3000}};
  for (Size& size : sizes) {
    SCOPED_TRACE(std::to_string(size.lines) + " lines");
    // The run's own files (the ASCII file), beside a dossier of this size.
    const std::string model = root_ + "/model-" + std::to_string(size.lines) + "/";
    const std::string root = root_ + "/reads-" + std::to_string(size.lines) + "/";
    r.prepare(model);
    kill_matrix::MakeDossier(root + "a", "A", size.lines);
    for (const auto& e : fs::directory_iterator(model))
      if (e.path().filename() != "a")
        fs::copy(e.path(), root + e.path().filename().string(), fs::copy_options::recursive);
    ASSERT_TRUE(StopBeforeItsTotals(r, root));
    size.reads = TakeUpReads(root);
    ASSERT_GT(size.reads, 0) << "the take-up did not go to its end";
    EXPECT_FALSE(fs::exists(root + "a/ca.run"));
    EXPECT_EQ(InvariantFaults(root + "a/"), "");
  }
  EXPECT_LT(2 * sizes[1].reads, 3 * sizes[0].reads)
      << sizes[0].reads << " read calls over " << sizes[0].lines << " lines, " << sizes[1].reads << " over "
      << sizes[1].lines;
}

// The opening takes a stopped import up under the progress window of its long runs: the window
// names the dossier, then the import's file with the pieces looked at, then the totals written.
TEST_P(ImportTakeUpTest, TheOpeningShowsTheTakeUpInItsProgressWindow) {
  const MatrixRun& r = GetParam();
  const std::string root = root_ + "/shown/";
  r.prepare(root);
  ASSERT_TRUE(StopBeforeItsTotals(r, root));

  // Looked at each time the window lets the window system through: grabbed once it counts the
  // pieces looked at.
  const std::string caption = "Reprise de l'importation: A";
  std::string counted;
  ::testing::AssertionResult captionFits = ::testing::AssertionFailure() << "not grabbed";
  QTimer look;
  look.setInterval(0);
  QObject::connect(&look, &QTimer::timeout, [&] {
    for (QWidget* w : QApplication::topLevelWidgets()) {
      if (!w->isVisible() || w->windowTitle() != QString::fromStdString(caption)) continue;
      for (QLabel* label : w->findChildren<QLabel*>())
        if (counted.empty() && label->text().startsWith(QString::fromUtf8("Pièce "))) {
          counted = label->text().toStdString();
          captionFits = test_support::CaptionFits(w);
          test_support::Screenshot(w, "dossier", std::string("takeup-progress-") + r.name);
        }
    }
  });
  DossierProgressWindow::ForgetFramedLines();
  look.start();
  std::string said;
  const bool open = OpenAsUser(root + "a/", "A", &said);
  look.stop();
  ASSERT_TRUE(open) << OneLine(said);

  EXPECT_EQ(DossierProgressWindow::LastCaption(), caption);
  EXPECT_TRUE(captionFits);
  EXPECT_EQ(counted, r.name[0] == 'o' ? "Pi\xC3\xA8" "ce 12 sur 12" : "Pi\xC3\xA8" "ce 24 sur 24");
  const std::vector<std::string>& lines = DossierProgressWindow::RecentFramedLines();
  const std::string file = r.name[0] == 'o' ? "releve.ofx" : "ecritures.txt";
  const auto named = std::find(lines.begin(), lines.end(), "Pi\xE8" "ces import\xE9" "es de " + file);
  ASSERT_NE(named, lines.end()) << "the import's file is not named";
  EXPECT_NE(std::find(named, lines.end(), "Totaux des comptes et des journaux"), lines.end());
  EXPECT_FALSE(fs::exists(root + "a/ca.run"));
  EXPECT_EQ(InvariantFaults(root + "a/"), "");
}

// The opening's take-up of a stopped import meeting a read the disk refuses, each read of the
// draft and of its index in turn: it works nothing out from what it read short (a piece whose lines
// it found fewer than it wrote would be taken for one cut short and cancelled), and the next
// take-up leaves the books as one that read everything: no piece of the import is lost.
TEST_P(ImportTakeUpTest, ATakeUpMeetingARefusedReadLosesNoPiece) {
  const MatrixRun& r = GetParam();
  const std::string stopped = root_ + "/stopped/";
  r.prepare(stopped);
  ASSERT_TRUE(StopBeforeItsTotals(r, stopped));
  // The take-up in `root`, the `k`-th read of `file` refused (0: none): its status, *seen the reads
  // of the file it made.
  auto takeUp = [this](const std::string& root, const std::string& file, int k, int* seen) {
    std::string text;
    const int status = InChild(
        [&](std::string* out) {
          DossierRunInfo run;
          if (!LoadAsOpened(root + "a/", "A") || !ReadDossierRunMarker(&run)) return false;
          if (k > 0) test_support::RefusedRead::Arm(file, k);
          const DossierRunFinish done = processing::FinishInterruptedImport(run);
          *out = std::to_string(test_support::RefusedRead::Seen());
          test_support::RefusedRead::Disarm();
          return done.done;
        },
        &text);
    *seen = std::atoi(text.c_str());
    return status;
  };
  const std::string whole = root_ + "/whole/";
  Copy(stopped, whole);
  int seen = 0;
  ASSERT_EQ(takeUp(whole, "", 0, &seen), 0);
  const DossierRecords takenUp = Records(r, whole)[0];
  fs::remove_all(whole);

  for (const char* file : {"/a/c50a.dbf", "/a/c50a.mdx"}) {
    long refused = 0;
    for (int k = 1;; ++k) {
      const std::string point = std::string(file) + ", read " + std::to_string(k) + " refused";
      const std::string root = root_ + "/point/";
      Copy(stopped, root);
      const int status = takeUp(root, file, k, &seen);
      if (k > seen) {
        EXPECT_EQ(status, 0) << point << ": the take-up read whole failed";
        fs::remove_all(root);
        break;
      }
      ++refused;
      int again = 0;
      if (status != 0) EXPECT_EQ(takeUp(root, "", 0, &again), 0) << point << ": the next take-up failed";
      EXPECT_EQ(RecordDifference(Records(r, root)[0], takenUp), "") << point;
      fs::remove_all(root);
    }
    EXPECT_GT(refused, 0) << file;
  }
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
