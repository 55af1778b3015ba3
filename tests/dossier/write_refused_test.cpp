// Runs that meet a write the engine refuses (the engine's injected full disk), on small generated
// dossiers: each says that it failed and that the disk is full, and leaves every table as before
// the run, or leaves its run marker so that the next opening, done as the user does it, runs it
// again or finishes it; never a success with a table short. Tags and invariants hold afterwards.
#include <signal.h>

#include <climits>
#include <functional>
#include <set>

#include "data/dossier_files.h"
#include "data/dossier_invariants.h"
#include "data/entry_lines.h"
#include "data/error_report.h"
#include "data/session.h"
#include "data/table.h"
#include "data/table_results.h"
#include "demo/dossier_demo.h"
#include "dossier/core/dossier_create.h"
#include "dossier/core/dossier_run_marker.h"
#include "dossier/core/maintenance_rebuild.h"
#include "dossier/rebuild_dossier.h"
#include "entry/core/validation.h"
#include "dossier_test_util.h"
#include "kill_matrix.h"
#include "platform/dbase/fileio.h"
#include "platform/system/cp1252.h"
#include "platform/system/write_fault.h"
#include "processing/code_copy_dialogs.h"
#include "processing/core/ascii_import.h"
#include "processing/core/code_copy.h"
#include "processing/core/dossier_merge.h"
#include "processing/core/matching_lines.h"
#include "processing/core/opening_balances.h"
#include "processing/core/year_separation.h"
#include "processing/matching_windows.h"
#include "processing/year_end_forms.h"
#include "reports/balances/core/balance_sheet_compile.h"
#include "reports/balances/core/balance_sheet_init.h"
#include "reports/balances/core/balance_sheet_run.h"
#include "resources/string_table.h"
#include "runtime/inifiles.h"
#include "runtime/text.h"
#include "support/dossier_fixture.h"
#include "support/other_process.h"
#include "support/rebuild_maintenance.h"
#include "support/refused_write.h"

namespace {

using kill_matrix::DossierRecords;

constexpr const char* kDiskFull = "disque plein";
// "the dossier was put back" and "the run was not started": the runs' end texts after a refusal.
constexpr int kMsgDossierPutBack = 29256, kMsgRunNotStarted = 19898;
// The rebuild's end text when its marker stays for the next opening.
constexpr int kMsgRebuildMarkerKept = 19915;
// A write and a read the system refused, as a run's message names them: the file.
constexpr int kMsgWriteError = 34100, kMsgReadError = 34101;
// A copy aside that could not be made: the file and the folder.
constexpr int kMsgCopyRefused = 22009;
// A run stopped half-way that the opening ran again, stopped by the system in its turn: why.
constexpr int kMsgRedoStopped = 34015;
// The imports' text of lines not written, which says that nothing was imported.
constexpr int kMsgNothingWritten = 29695;

// The words of a message before its first value.
std::string TextBefore(int id) {
  const std::string text = LoadStr(id);
  return text.substr(0, text.find("%s"));
}

// A dossier of one calendar year kept in euros.
std::function<void(DemoOptions&)> Year(int y) {
  return [y](DemoOptions& o) {
    o.firstDay = Ymd{y, 1, 1};
    o.lastDay = Ymd{y, 12, 31};
    o.currency = DossierCurrency::EuroMain;
    o.seed = static_cast<std::uint64_t>(y);
  };
}

// Where in the rebuild the disk becomes full: at its totals (after the walks and the refill), at
// the refill of the sort file, or for the pack of the general file only (a disk with room for
// the index but not for a packed copy).
enum class FullAt { Totals, Refill, FirstPack };

class ArmingProgress : public MaintenanceProgress {
 public:
  explicit ArmingProgress(FullAt at) : at_(at) {}
  ~ArmingProgress() override { dbase::SetWriteFault(dbase::WriteFault::kNone, 0); }
  void Tick(const std::string&, bool) override {
    if (at_ == FullAt::Totals) Arm();
  }
  void SetLine2(const std::string& text) override {
    if (at_ == FullAt::Refill && text == "RAZ") Arm();
  }
  void SetLine(const std::string& text) override {
    if (at_ == FullAt::FirstPack && text == PathC10()) Arm();
  }
  void TableDone() override {
    if (at_ == FullAt::FirstPack && armed_) dbase::SetWriteFault(dbase::WriteFault::kNone, 0);
  }

 private:
  void Arm() {
    if (armed_) return;
    armed_ = true;
    dbase::SetWriteFault(dbase::WriteFault::kFull, 1);
  }
  FullAt at_;
  bool armed_ = false;
};

class WriteRefusedTest : public DossierOpenTest {
 protected:
  void SetUp() override {
    DossierOpenTest::SetUp();
    InstallYearEndCommands();
  }
  void TearDown() override {
    dbase::SetWriteFault(dbase::WriteFault::kNone, 0);
    Close();
    DossierOpenTest::TearDown();
  }
  static void Close() {
    CloseAllTables();
    if (DossierLockTable != nullptr) DossierLockTable->CloseTable(true);
    SetDossier("", "");
  }

  std::string Make(const std::string& folder, const char* code, long lines,
                   const std::function<void(DemoOptions&)>& more = {}) {
    return kill_matrix::MakeDossier(root_ + "/" + folder, code, lines, more);
  }
  static bool Load(const std::string& folder, const char* code) { return kill_matrix::LoadAsOpened(folder, code); }
  static void CopyFolder(const std::string& from, const std::string& to) {
    fs::remove_all(to);
    fs::copy(from, to, fs::copy_options::recursive);
  }
  static DossierRecords Records(const std::string& folder) { return kill_matrix::ReadRecords(folder, {}); }

  // The dossier `a` loaded, what its opening balances read first, and their request into `b`,
  // whose year begins on 1 January 2027.
  static processing::OpeningRequest OpeningInto(const std::string& a, const std::string& b,
                                                std::vector<processing::Collective>* collectives,
                                                processing::TrialBalance* balance) {
    EXPECT_TRUE(Load(a, "A"));
    EXPECT_TRUE(kill_matrix::OpeningSource(collectives, balance));
    processing::OpeningRequest request;
    request.target = processing::OtherDossier{b, "B"};
    request.date = Ymd{2027, 1, 1};
    return request;
  }

  // The two years of a separation in <folder>/a (the old year, running into the new one) and
  // <folder>/b (the new year), closed.
  void MakeSeparationYears(const std::string& folder) {
    Make(folder + "/a", "A", 120, [](DemoOptions& o) {
      o.lastDay = Ymd{2027, 2, 28};
      o.currency = DossierCurrency::EuroMain;
    });
    Make(folder + "/b", "B", 40, Year(2027));
    Close();
  }

  // Opens the dossier as the user does, every question answered Yes: true when it opened.
  bool OpenAsUser(const std::string& folder, const std::string& code, std::string* said) {
    Close();
    gui::ModalSeam::Reset();
    OpenThroughDialog(C10Path(folder, code), [] {
      for (int i = 0; i < 6; ++i) gui::ModalSeam::QueueMessageBoxAnswer(gui::IDYES);
    });
    *said = ShownTexts();
    const bool open = DossierFolder == folder && DossierLockTable->isOpen;
    Close();
    return open;
  }

  // Tags, leftovers and invariants of a dossier after the run: its faults, one a line.
  std::string Faults(const std::string& folder, const char* code) {
    std::string faults;
    for (const std::string& f : kill_matrix::TagFaults(folder, root_ + "/scratch")) faults += f + "\n";
    for (const std::string& f : kill_matrix::Leftovers(folder, code)) faults += f + "\n";
    SetDossier(folder, code);
    DossierInvariants check;
    if (!check.Check()) faults += check.Report();
    SetDossier("", "");
    return platform::Cp1252ToUtf8(faults);
  }

  // The live records of C10 but its journal-month headers (kind "C"), which the rebuild makes again.
  static kill_matrix::TableRecords NonHeaderRecords(const DossierRecords& records, const std::string& c10) {
    kill_matrix::TableRecords kept;
    for (const std::string& r : records.at(c10))
      if (r.empty() || r[0] != 'C') kept.insert(r);
    return kept;
  }
};

// The rebuild refused at its pack, its refill and its totals: it says so and that the disk is
// full; the general file keeps every journal and code (no refused insert lands on the record the
// cursor stood on); a rebuild that changed the tables leaves its marker, and the next opening
// runs it again to the state of an uncut rebuild.
TEST_F(WriteRefusedTest, ARebuildRefusedAWriteSaysSoAndIsRunAgainAtTheOpening) {
  struct Case {
    const char* name;
    FullAt at;
    int code;
    bool asBefore;  // every table as before the run (nothing changed but indexes)
  };
  const Case cases[] = {
      {"totals", FullAt::Totals, kRebuildTotalsRefused, false},
      {"refill", FullAt::Refill, kRebuildRefillC60, false},
      {"pack", FullAt::FirstPack, kRebuildPackRefused, true},
  };
  const std::string model = Make("model", "A", 60);
  const DossierRecords before = Records(model);
  const std::string uncut = root_ + "/uncut/";
  CopyFolder(model, uncut);
  ASSERT_TRUE(Load(uncut, "A"));
  ASSERT_EQ(RunDossierRebuild(true, true).code, 0);
  Close();
  const DossierRecords after = Records(uncut);

  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string a = root_ + "/" + c.name + "/";
    CopyFolder(model, a);
    ASSERT_TRUE(Load(a, "A"));
    RebuildReport report;
    {
      ArmingProgress full(c.at);
      report = RunDossierRebuild(true, true, &full);
    }
    EXPECT_EQ(report.code, c.code);
    EXPECT_FALSE(report.totalsRebuilt);
    const std::string told = RebuildEndMessage(report);
    EXPECT_NE(told.find(kDiskFull), std::string::npos) << told;
    const bool marked = DossierRunMarkerExists();
    EXPECT_EQ(report.markerKept, marked);
    EXPECT_EQ(marked, told.find(LoadStr(kMsgRebuildMarkerKept)) != std::string::npos) << told;
    Close();

    const DossierRecords now = Records(a);
    const std::string c10 = "c10a.dbf";
    EXPECT_EQ(NonHeaderRecords(now, c10), NonHeaderRecords(before, c10));
    if (c.asBefore) {
      EXPECT_EQ(kill_matrix::RecordDifference(now, before), "");
    } else {
      // Totals made nowhere and the marker gone would leave zero totals that nothing names.
      EXPECT_TRUE(marked);
    }

    std::string said;
    EXPECT_TRUE(OpenAsUser(a, "A", &said)) << said;
    EXPECT_EQ(kill_matrix::RecordDifference(Records(a), marked ? after : before), "");
    EXPECT_EQ(Faults(a, "A"), "");
  }
}

// Refuses one write of the first pack of the table whose line it is shown (the first change
// after the index file has been dropped, which is the pack's), the disk then having room again.
class PackRefusingProgress : public MaintenanceProgress {
 public:
  explicit PackRefusingProgress(std::string table) : table_(std::move(table)) {}
  ~PackRefusingProgress() override { dbase::SetWriteFault(dbase::WriteFault::kNone, 0); }
  void SetLine(const std::string& text) override {
    if (armed_ || text != table_) return;
    armed_ = true;
    dbase::SetWriteFault(dbase::WriteFault::kFullOnce, 3);
  }

 private:
  std::string table_;
  bool armed_ = false;
};

// The rebuild's first pack refused once at one table: the tables after it are not packed, so a
// refusal before the line tables leaves every table as it was and no marker; one after a line
// table lost records leaves the marker (the sort records point at the lines' old places until
// the refill), and the opening runs the rebuild again. Either way the sort records, tags and
// invariants hold once the dossier is opened.
TEST_F(WriteRefusedTest, ARebuildWhosePackIsRefusedLeavesNoSortRecordAstray) {
  struct Case {
    int table;
    int marked;  // 0 no marker, 1 a marker, -1 either
  };
  const Case cases[] = {{10, 0}, {30, 0}, {40, 0}, {50, -1}, {60, 1}, {70, 1}};
  const std::string model = Make("pack-model", "A", 60);
  const DossierRecords before = Records(model);
  const std::string uncut = root_ + "/pack-uncut/";
  CopyFolder(model, uncut);
  ASSERT_TRUE(Load(uncut, "A"));
  ASSERT_EQ(RunDossierRebuild(true, true).code, 0);
  Close();
  const DossierRecords after = Records(uncut);

  for (const Case& c : cases) {
    SCOPED_TRACE("pack refused at C" + std::to_string(c.table));
    const std::string a = root_ + "/pack-" + std::to_string(c.table) + "/";
    CopyFolder(model, a);
    ASSERT_TRUE(Load(a, "A"));
    RebuildReport report;
    std::string refused;
    {
      PackRefusingProgress full(DossierTableOf(c.table).path);
      report = RunDossierRebuild(true, true, &full);
      refused = platform::RefusedChange();
    }
    EXPECT_NE(refused.find(".pack"), std::string::npos) << refused;
    EXPECT_EQ(report.code, kRebuildPackRefused);
    const std::string told = RebuildEndMessage(report);
    EXPECT_NE(told.find(kDiskFull), std::string::npos) << told;
    const bool marked = DossierRunMarkerExists();
    EXPECT_EQ(report.markerKept, marked);
    if (c.marked >= 0) {
      EXPECT_EQ(marked, c.marked == 1);
    }
    Close();
    EXPECT_EQ(kill_matrix::RecordDifference(Records(a), before), "");

    std::string said;
    EXPECT_TRUE(OpenAsUser(a, "A", &said)) << said;
    EXPECT_EQ(kill_matrix::RecordDifference(Records(a), marked ? after : before), "");
    EXPECT_EQ(Faults(a, "A"), "");
  }
}

// The year-end runs end with the rebuild: its totals refused, each run says it failed and that
// the disk is full, and puts every dossier back from its copies (the journals "AN" and "BQ" kept).
TEST_F(WriteRefusedTest, AYearEndRunWhoseRebuildIsRefusedPutsItsDossiersBack) {
  processing::TargetMaintenance maintenance = test_support::RebuildMaintenance(true);
  std::string refused, said;
  maintenance.rebuild = [&refused] {
    ArmingProgress full(FullAt::Totals);
    const RebuildReport report = RunDossierRebuild(true, true, &full);
    refused = report.refusal;
    return report.code;
  };
  maintenance.rebuildRefusal = [&refused] { return refused; };
  struct Case {
    const char* name;
    std::function<void(const std::string& root)> prepare;
    std::function<bool(const std::string& root)> run;  // true when the run said it failed and put back
  };
  const Case cases[] = {
      {"opening balances",
       [&](const std::string& r) {
         Make(r + "a", "A", 120, Year(2026));
         Make(r + "b", "B", 40, Year(2027));
       },
       [&](const std::string& r) {
         std::vector<processing::Collective> collectives;
         processing::TrialBalance balance;
         if (!Load(root_ + "/" + r + "a/", "A") || !kill_matrix::OpeningSource(&collectives, &balance)) return false;
         processing::OpeningRequest request;
         request.target = processing::OtherDossier{root_ + "/" + r + "b/", "B"};
         request.date = Ymd{2027, 1, 1};
         const processing::OpeningResult o =
             processing::GenerateOpeningBalances(request, collectives, balance, maintenance);
         said = o.error;
         return o.code != 0 && o.putBack;
       }},
      {"merge",
       [&](const std::string& r) {
         Make(r + "a", "A", 120, [](DemoOptions& o) { o.currency = DossierCurrency::EuroMain; });
         Make(r + "b", "B", 80, [](DemoOptions& o) {
           o.firstDay = Ymd{2026, 4, 1};
           o.lastDay = Ymd{2026, 9, 30};
           o.currency = DossierCurrency::EuroMain;
           o.seed = 7;
         });
       },
       [&](const std::string& r) {
         if (!Load(root_ + "/" + r + "a/", "A")) return false;
         processing::MergeRequest request;
         request.other = processing::OtherDossier{root_ + "/" + r + "b/", "B"};
         request.from = "01/04/26";
         request.to = "30/09/26";
         const processing::MergeResult m = processing::MergeOtherDossier(request, maintenance);
         said = m.error;
         return m.code != 0 && m.putBack;
       }},
      {"separation",
       [&](const std::string& r) {
         Make(r + "a", "A", 160, [](DemoOptions& o) {
           o.lastDay = Ymd{2027, 2, 28};
           o.currency = DossierCurrency::EuroMain;
         });
         Make(r + "b", "B", 40, Year(2027));
       },
       [&](const std::string& r) {
         if (!Load(root_ + "/" + r + "a/", "A")) return false;
         processing::SeparationRequest request;
         request.other = processing::OtherDossier{root_ + "/" + r + "b/", "B"};
         request.date = Ymd{2027, 1, 1};
         const processing::SeparationResult s = processing::SeparateYears(request, maintenance);
         said = s.error;
         return s.code != 0 && s.putBack;
       }},
  };
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string r = "y" + std::to_string(++n) + "/";
    c.prepare(r);
    Close();
    const std::string a = root_ + "/" + r + "a/", b = root_ + "/" + r + "b/";
    const DossierRecords beforeA = Records(a), beforeB = Records(b);
    EXPECT_TRUE(c.run(r));
    EXPECT_NE(said.find(kDiskFull), std::string::npos) << said;
    Close();
    EXPECT_EQ(kill_matrix::RecordDifference(Records(a), beforeA), "");
    EXPECT_EQ(kill_matrix::RecordDifference(Records(b), beforeB), "");
    EXPECT_EQ(Faults(a, "A"), "");
    EXPECT_EQ(Faults(b, "B"), "");
  }
}

// The disk made full once the receiver's marker stands (g_markerPath): the copy's own writes refused.
std::string g_markerPath;
void FillTheDiskOnceMarked() {
  if (!g_markerPath.empty() && fs::exists(g_markerPath)) {
    g_markerPath.clear();
    dbase::SetWriteFault(dbase::WriteFault::kFull, 1);
  }
}

// A code copy whose insert is refused stops there, says that the disk is full, and keeps the
// receiver's marker: its next opening finishes the copy, every account then in place. With the
// disk full before the marker, it says so and copies nothing.
TEST_F(WriteRefusedTest, ACodeCopyRefusedStopsAndIsFinishedAtTheReceiversOpening) {
  const std::string a = Make("cc/a", "A", 120);
  const std::string b = Make("cc/b", "B", 40, [](DemoOptions& o) { o.seed = 5; });
  const std::string uncut = root_ + "/cc/uncut/";
  processing::CodeCopyKind k;
  ASSERT_TRUE(processing::CodeCopyKindOf("2", &k));
  const processing::CodeRange range{"2", 8, processing::CodeOfWidth("0", 8), processing::CodeOfWidth("zzzzzzzz", 8)};
  const auto copy = [&](const std::string& to, bool full, processing::CodeCopyCount* count, std::string* refusal) {
    EXPECT_TRUE(Load(a, "A"));
    Table source, receiver;
    EXPECT_TRUE(source.OpenShared(processing::OpenCodeTablePath(k), k.tag, true));
    EXPECT_TRUE(receiver.OpenExclusive(processing::OtherCodeTablePath(k, processing::OtherDossier{to, "B"}), k.tag));
    if (full) {
      g_markerPath = to + "cb.run";
      dbase::BeforeFileChange = FillTheDiskOnceMarked;
    }
    const bool ran = processing::CopyCodeRangeMarked(source, processing::OpenCodeTablePath(k), receiver,
                                                     processing::OtherDossier{to, "B"}, k, range, {}, count, refusal);
    dbase::BeforeFileChange = nullptr;
    dbase::SetWriteFault(dbase::WriteFault::kNone, 0);
    return ran;
  };
  const DossierRecords before = Records(b);
  CopyFolder(b, uncut);
  processing::CodeCopyCount count;
  std::string refusal;
  ASSERT_TRUE(copy(uncut, false, &count, &refusal)) << refusal;
  ASSERT_GT(count.added, 0);
  Close();
  const DossierRecords after = Records(uncut);

  {
    SCOPED_TRACE("full before the marker");
    const std::string early = root_ + "/cc/early/";
    CopyFolder(b, early);
    EXPECT_TRUE(Load(a, "A"));
    Table source, receiver;
    EXPECT_TRUE(source.OpenShared(processing::OpenCodeTablePath(k), k.tag, true));
    EXPECT_TRUE(receiver.OpenExclusive(processing::OtherCodeTablePath(k, processing::OtherDossier{early, "B"}), k.tag));
    dbase::SetWriteFault(dbase::WriteFault::kFull, 1);
    EXPECT_FALSE(processing::CopyCodeRangeMarked(source, processing::OpenCodeTablePath(k), receiver,
                                                 processing::OtherDossier{early, "B"}, k, range, {}, &count, &refusal));
    dbase::SetWriteFault(dbase::WriteFault::kNone, 0);
    EXPECT_NE(refusal.find(kDiskFull), std::string::npos) << refusal;
    EXPECT_EQ(count.added, 0);
    source.CloseTable(true);
    receiver.CloseTable(true);
    Close();
    EXPECT_EQ(kill_matrix::RecordDifference(Records(early), before), "");
  }

  EXPECT_FALSE(copy(b, true, &count, &refusal));
  EXPECT_NE(refusal.find(kDiskFull), std::string::npos) << refusal;
  EXPECT_EQ(count.added, 0);
  Close();
  // Accounts rewritten before the refusal, none written over with another account's fields.
  const DossierRecords stopped = Records(b);
  for (const std::string& r : stopped.at("c20b.dbf"))
    EXPECT_TRUE(before.at("c20b.dbf").count(r) + after.at("c20b.dbf").count(r) > 0) << r;
  SetDossier(b, "B");
  EXPECT_TRUE(DossierRunMarkerExists());
  SetDossier("", "");

  std::string said;
  {
    SCOPED_TRACE("opened on a disk still full");
    // The copy run again meets the full disk: one box says so, with the folder to free room in,
    // and that the next opening runs it again; no engine box, no advice to restore the dossier.
    const std::string full = root_ + "/cc/full/";
    CopyFolder(b, full);
    dbase::SetWriteFault(dbase::WriteFault::kFull, 1);
    const bool open = OpenAsUser(full, "B", &said);
    dbase::SetWriteFault(dbase::WriteFault::kNone, 0);
    EXPECT_FALSE(open);
    const std::size_t at = said.find(TextBefore(kMsgRedoStopped));
    ASSERT_NE(at, std::string::npos) << said;
    EXPECT_EQ(said.find(TextBefore(kMsgRedoStopped), at + 1), std::string::npos) << said;
    EXPECT_NE(said.find(kDiskFull, at), std::string::npos) << said;
    EXPECT_NE(said.find(full, at), std::string::npos) << said;
    EXPECT_EQ(said.find("restaurez"), std::string::npos) << said;
    EXPECT_EQ(said.find(DbErrorCaption(kResultDiskFull)), std::string::npos) << said;
    SetDossier(full, "B");
    EXPECT_TRUE(DossierRunMarkerExists());
    SetDossier("", "");
    // Room made, the next opening finishes it.
    EXPECT_TRUE(OpenAsUser(full, "B", &said)) << said;
    EXPECT_EQ(kill_matrix::RecordDifference(Records(full), after), "");
  }

  EXPECT_TRUE(OpenAsUser(b, "B", &said)) << said;
  EXPECT_EQ(kill_matrix::RecordDifference(Records(b), after), "");
  EXPECT_EQ(Faults(b, "B"), "");
}

// A code copy killed in the middle of an insert, the receiver's index left marked and torn: the
// copy run again at the opening makes that index again first, and a page of it refused (ENOSPC,
// EIO) keeps the dossier closed with the cause and the file in one box, no engine box and no
// advice to restore; the next opening finishes the copy.
TEST_F(WriteRefusedTest, ACodeCopyRunAgainWhoseIndexCannotBeMadeAgainSaysWhy) {
  const std::string a = Make("cm/a", "A", 120);
  const std::string model = Make("cm/b", "B", 40, [](DemoOptions& o) { o.seed = 5; });
  processing::CodeCopyKind k;
  ASSERT_TRUE(processing::CodeCopyKindOf("2", &k));
  const processing::CodeRange range{"2", 8, processing::CodeOfWidth("0", 8), processing::CodeOfWidth("zzzzzzzz", 8)};
  // The copy into `to`, killed before its change `kill` (LONG_MAX: never), in a child.
  const auto copy = [&](const std::string& to, long kill) {
    return test_support::RunInChild([&] {
      if (!Load(a, "A")) return 2;
      Table source, receiver;
      if (!source.OpenShared(processing::OpenCodeTablePath(k), k.tag, true) ||
          !receiver.OpenExclusive(processing::OtherCodeTablePath(k, processing::OtherDossier{to, "B"}), k.tag))
        return 2;
      if (kill != LONG_MAX) dbase::SetWriteFault(dbase::WriteFault::kKill, kill);
      return processing::CopyCodeRangeMarked(source, processing::OpenCodeTablePath(k), receiver,
                                             processing::OtherDossier{to, "B"}, k, range, {}, nullptr, nullptr)
                 ? 0
                 : 1;
    });
  };
  Close();
  const std::string uncut = root_ + "/cm/uncut/";
  CopyFolder(model, uncut);
  ASSERT_EQ(copy(uncut, LONG_MAX), 0);
  const DossierRecords after = Records(uncut);
  // The first change whose kill leaves the marker and the receiver's index marked and torn.
  const std::string stopped = root_ + "/cm/stopped/";
  for (long kill = 1;; ++kill) {
    ASSERT_LT(kill, 200) << "no kill left the index torn";
    CopyFolder(model, stopped);
    ASSERT_EQ(copy(stopped, kill), 128 + SIGKILL) << kill;
    if (fs::exists(stopped + "cb.run") && dossier_test::UpdateMark(stopped + "c20b.mdx") != 0 &&
        dossier_test::IndexCheck(stopped + "c20b") == dbase::DBIERR_INDEXCORRUPT)
      break;
  }

  for (const platform::WriteFault fault : {platform::WriteFault::kFullOnce, platform::WriteFault::kFailOnce}) {
    const bool full = fault == platform::WriteFault::kFullOnce;
    SCOPED_TRACE(full ? "ENOSPC" : "EIO");
    const std::string b = root_ + "/cm/" + (full ? "full" : "eio") + "/";
    CopyFolder(stopped, b);
    // The index's third write, a page of the tree its rebuild writes.
    test_support::RefusedWrite::Arm(b + "c20b.mdx", 3, fault);
    std::string said;
    const bool open = OpenAsUser(b, "B", &said);
    const std::string refused = platform::RefusedChange();
    test_support::RefusedWrite::Disarm();
    ASSERT_EQ(refused, "write " + b + "c20b.mdx");
    EXPECT_FALSE(open);
    const std::size_t at = said.find(TextBefore(kMsgRedoStopped));
    ASSERT_NE(at, std::string::npos) << said;
    EXPECT_EQ(said.find(TextBefore(kMsgRedoStopped), at + 1), std::string::npos) << said;
    const std::string cause = full ? std::string(kDiskFull) + ": plus de place dans le dossier " + b
                                   : "erreur d'\xE9" "criture sur le disque en \xE9" "crivant " + b + "c20b.mdx";
    EXPECT_NE(said.find(cause, at), std::string::npos) << said;
    EXPECT_EQ(said.find("restaurez"), std::string::npos) << said;
    EXPECT_EQ(said.find("Erreur BDE"), std::string::npos) << said;
    SetDossier(b, "B");
    EXPECT_TRUE(DossierRunMarkerExists());
    SetDossier("", "");

    EXPECT_TRUE(OpenAsUser(b, "B", &said)) << said;
    EXPECT_EQ(kill_matrix::RecordDifference(Records(b), after), "");
    EXPECT_EQ(Faults(b, "B"), "");
  }
}

// The general file's first write once the import's lines are in (a new journal-month header)
// refused once, with g_headerFault.
platform::WriteFault g_headerFault = platform::WriteFault::kNone;
bool g_linesIn = false;
void RefuseTheFirstHeaderAfterTheLines() {
  const std::string& change = platform::ChangeBeingMade();
  if (change.find("c50a.dbf") != std::string::npos) g_linesIn = true;
  if (!g_linesIn || g_headerFault == platform::WriteFault::kNone || change.rfind("write ", 0) != 0 ||
      change.find("c10a.dbf") == std::string::npos)
    return;
  dbase::SetWriteFault(g_headerFault, 1);
  g_headerFault = platform::WriteFault::kNone;
}

// The ASCII import whose new journal-month headers are refused (ENOSPC, EIO) once its lines are in:
// it stops, and says which file was refused and why, never that nothing was imported.
TEST_F(WriteRefusedTest, AnAsciiImportStoppedAtItsHeadersNamesTheRefusal) {
  const kill_matrix::MatrixRun* ascii = nullptr;
  for (const kill_matrix::MatrixRun& r : kill_matrix::Runs())
    if (std::string(r.name) == "ascii_import") ascii = &r;
  ASSERT_NE(ascii, nullptr);
  const std::string model = root_ + "/ascii/model/";
  fs::create_directories(model);
  ascii->prepare(model);
  Close();
  for (const platform::WriteFault fault : {platform::WriteFault::kFullOnce, platform::WriteFault::kFailOnce}) {
    const bool full = fault == platform::WriteFault::kFullOnce;
    SCOPED_TRACE(full ? "ENOSPC" : "EIO");
    const std::string root = root_ + "/ascii/point/";
    CopyFolder(model, root);
    ASSERT_TRUE(Load(root + "a/", "A"));
    Table c50, c60;
    ASSERT_TRUE(TableC10->OpenShared(PathC10(), "C10CODE") && TableC20->OpenShared(PathC20(), "C20CODE") &&
                c50.OpenShared(PathC50(), LigneEcriture::kCodeTag) && c60.OpenShared(PathC60(), processing::kC60CodeTag));
    const processing::AsciiRead read =
        processing::ReadAsciiFile(*TableC10, *TableC20, c50, root + "import/ecritures.txt");
    ASSERT_TRUE(read.Importable());
    g_headerFault = fault;
    g_linesIn = false;
    dbase::BeforeFileChange = RefuseTheFirstHeaderAfterTheLines;
    const processing::AsciiRun run = processing::ImportAsciiFile(*TableC10, c50, c60, read);
    dbase::BeforeFileChange = nullptr;
    const std::string refused = platform::RefusedChange();
    dbase::SetWriteFault(dbase::WriteFault::kNone, 0);
    c50.CloseTable(true);
    c60.CloseTable(true);
    Close();
    ASSERT_NE(refused.find("c10a.dbf"), std::string::npos) << "no header write refused: " << refused;
    EXPECT_FALSE(run.written);
    const std::string said = platform::Cp1252ToUtf8(run.message);
    EXPECT_NE(run.message.find(root + "a/"), std::string::npos) << said;
    EXPECT_NE(run.message.find("c10a.dbf"), std::string::npos) << said;
    EXPECT_NE(run.message.find(full ? std::string(kDiskFull) : TextBefore(kMsgWriteError)), std::string::npos)
        << said;
    EXPECT_EQ(run.message.find(LoadStr(kMsgNothingWritten)), std::string::npos) << said;
  }
}

// The validation and the opening balances, refused on a full disk at several points, say that
// the disk is full (not a bare incident number) and put their dossier back.
TEST_F(WriteRefusedTest, ValidationAndOpeningBalancesOnAFullDiskSaySo) {
  const std::string v = Make("v", "V", 160);
  const std::string model = root_ + "/vmodel/";
  CopyFolder(v, model);
  const DossierRecords before = Records(model);
  for (long nth : {1L, 5L, 40L}) {
    SCOPED_TRACE("validation, full from write " + std::to_string(nth));
    CopyFolder(model, v);
    ASSERT_TRUE(Load(v, "V"));
    ASSERT_TRUE(DossierLockTable->OpenExclusive(DossierTablePath()));
    std::vector<std::string> chosen;
    ASSERT_TRUE(kill_matrix::ValidationMonths(&chosen));
    ASSERT_FALSE(chosen.empty());
    dbase::SetWriteFault(dbase::WriteFault::kFull, nth);
    const entry::ValidationResult r = entry::RunValidation(entry::JournalValidationRequest{chosen, "C61231"});
    dbase::SetWriteFault(dbase::WriteFault::kNone, 0);
    EXPECT_NE(r.code, 0);
    EXPECT_NE(r.error.find(kDiskFull), std::string::npos) << r.error;
    EXPECT_TRUE(r.putBack) << r.putBackError;
    Close();
    EXPECT_EQ(kill_matrix::RecordDifference(Records(v), before), "");
  }

  const std::string a = Make("ob/a", "A", 120, Year(2026));
  const std::string b = Make("ob/b", "B", 40, Year(2027));
  const std::string bModel = root_ + "/obmodel/";
  CopyFolder(b, bModel);
  const DossierRecords beforeB = Records(bModel);
  for (long nth : {1L, 3L}) {
    SCOPED_TRACE("opening balances, full from write " + std::to_string(nth));
    CopyFolder(bModel, b);
    std::vector<processing::Collective> collectives;
    processing::TrialBalance balance;
    const processing::OpeningRequest request = OpeningInto(a, b, &collectives, &balance);
    dbase::SetWriteFault(dbase::WriteFault::kFull, nth);
    const processing::OpeningResult r =
        processing::GenerateOpeningBalances(request, collectives, balance, test_support::RebuildMaintenance(true));
    dbase::SetWriteFault(dbase::WriteFault::kNone, 0);
    EXPECT_NE(r.code, 0);
    EXPECT_NE(r.error.find(kDiskFull), std::string::npos) << r.error;
    EXPECT_TRUE(r.putBack);
    Close();
    EXPECT_EQ(kill_matrix::RecordDifference(Records(b), beforeB), "");
  }
}

// The opening balances with one read refused (EIO), while they walk the source's customers'
// lines or once they write into the target: what they read ends short of the table, so the run
// fails, names the file it could not read, and puts the target back (or never changed it);
// nothing of the opening piece stays, and the target opens as before the run.
TEST_F(WriteRefusedTest, AReadRefusedInTheOpeningBalancesFailsTheRunAndPutsItBack) {
  const std::string a = Make("rd/a", "A", 120, Year(2026));
  const std::string b = Make("rd/b", "B", 40, Year(2027));
  const std::string bModel = root_ + "/rdmodel/";
  CopyFolder(b, bModel);
  const DossierRecords beforeB = Records(bModel);
  constexpr int kPhaseAuxiliary = 29080;
  // The read refused, counted from the walk of the auxiliary accounts or from the first account
  // written into the target.
  static long refusedRead = 0;
  static bool armed = false;
  static const auto arm = [] {
    if (armed) return;
    armed = true;
    dbase::SetWriteFault(dbase::WriteFault::kReadFailOnce, refusedRead);
  };
  struct Case {
    bool writing;
    long nth;
  };
  for (const Case c : {Case{false, 1}, Case{false, 2}, Case{false, 7}, Case{false, 30}, Case{true, 1}, Case{true, 15},
                       Case{true, 200}}) {
    SCOPED_TRACE(std::string(c.writing ? "writing" : "reading") + ", read " + std::to_string(c.nth) + " refused");
    refusedRead = c.nth;
    armed = false;
    CopyFolder(bModel, b);
    std::vector<processing::Collective> collectives;
    processing::TrialBalance balance;
    const processing::OpeningRequest request = OpeningInto(a, b, &collectives, &balance);
    const auto step = [](const std::string&) { arm(); };
    const auto phase = [](const std::string& text) {
      if (text == LoadStr(kPhaseAuxiliary)) arm();
    };
    const processing::OpeningResult r =
        c.writing ? processing::GenerateOpeningBalances(request, collectives, balance,
                                                        test_support::RebuildMaintenance(true), step)
                  : processing::GenerateOpeningBalances(request, collectives, balance,
                                                        test_support::RebuildMaintenance(true), nullptr, phase);
    const std::string refused = platform::RefusedChange();
    dbase::SetWriteFault(dbase::WriteFault::kNone, 0);
    ASSERT_EQ(refused.rfind("read ", 0), 0u) << "no read refused";
    EXPECT_NE(r.code, 0) << "the run said it succeeded";
    const std::string said = processing::OpeningEndMessage(request, r);
    EXPECT_NE(said.find(FillPlaceholder(LoadStr(kMsgReadError), refused.substr(5))), std::string::npos) << said;
    EXPECT_EQ(said.find(LoadStr(kMsgDossierPutBack)) != std::string::npos, c.writing) << said;
    Close();
    EXPECT_EQ(kill_matrix::RecordDifference(Records(b), beforeB), "");
    EXPECT_EQ(Faults(b, "B"), "");
    std::string shown;
    EXPECT_TRUE(OpenAsUser(b, "B", &shown)) << shown;
  }
}

// The opening balances with each read of the two draft files refused in turn (EIO) before the run
// changes anything (its walk of the source's lines, the check of the room left for them, the
// target's check), and the first read of the copy aside of the target's draft: the run fails,
// changes nothing of the target, and says the read refused with its file, never an incident's
// number nor a copy refused without its cause.
TEST_F(WriteRefusedTest, AReadOfADraftRefusedBeforeTheOpeningBalancesChangeAnythingIsSaidAsSuch) {
  const std::string a = Make("rc/a", "A", 60, Year(2026));
  const std::string b = Make("rc/b", "B", 20, Year(2027));
  const std::string bModel = root_ + "/rcmodel/";
  CopyFolder(b, bModel);
  const DossierRecords beforeB = Records(bModel);
  const std::string drafts[] = {"read " + a + "c50a.dbf", "read " + b + "c50b.dbf"};
  // The reads of the run, in order, and how many came before its first change.
  static std::vector<std::string> reads;
  static long firstChange = -1;
  reads.clear();
  firstChange = -1;
  {
    std::vector<processing::Collective> collectives;
    processing::TrialBalance balance;
    const processing::OpeningRequest request = OpeningInto(a, b, &collectives, &balance);
    platform::BeforeFileRead = [] { reads.push_back(platform::ReadBeingMade()); };
    platform::BeforeFileChange = [] {
      if (firstChange < 0) firstChange = static_cast<long>(reads.size());
    };
    dbase::SetWriteFault(dbase::WriteFault::kReadFailOnce, LONG_MAX);
    const processing::OpeningResult r =
        processing::GenerateOpeningBalances(request, collectives, balance, test_support::RebuildMaintenance(true));
    dbase::SetWriteFault(dbase::WriteFault::kNone, 0);
    platform::BeforeFileRead = nullptr;
    platform::BeforeFileChange = nullptr;
    ASSERT_EQ(r.code, 0) << r.error;
    ASSERT_GT(firstChange, 0);
    Close();
    CopyFolder(bModel, b);
  }
  std::vector<std::size_t> points;
  for (std::size_t k = 0; k < reads.size(); ++k) {
    const bool draft = reads[k] == drafts[0] || reads[k] == drafts[1];
    if (draft && static_cast<long>(k) < firstChange) points.push_back(k);
    if (reads[k] == drafts[1] && static_cast<long>(k) >= firstChange) {
      points.push_back(k);  // the copy aside
      break;
    }
  }
  ASSERT_GT(points.size(), 3u);
  for (const std::size_t k : points) {
    SCOPED_TRACE("read " + std::to_string(k + 1) + " of the run, " + reads[k]);
    std::vector<processing::Collective> collectives;
    processing::TrialBalance balance;
    const processing::OpeningRequest request = OpeningInto(a, b, &collectives, &balance);
    dbase::SetWriteFault(dbase::WriteFault::kReadFailOnce, static_cast<long>(k + 1));
    const processing::OpeningResult r =
        processing::GenerateOpeningBalances(request, collectives, balance, test_support::RebuildMaintenance(true));
    const std::string refused = platform::RefusedChange();
    dbase::SetWriteFault(dbase::WriteFault::kNone, 0);
    ASSERT_EQ(refused, reads[k]);
    EXPECT_NE(r.code, 0) << "the run said it succeeded";
    const std::string said = processing::OpeningEndMessage(request, r);
    EXPECT_NE(said.find(FillPlaceholder(LoadStr(kMsgReadError), reads[k].substr(5))), std::string::npos) << said;
    EXPECT_EQ(said.find("incident"), std::string::npos) << said;
    Close();
    EXPECT_EQ(kill_matrix::RecordDifference(Records(b), beforeB), "");
  }
}

// The invariants checked with each of their reads refused in turn (EIO): a walk ended short or a
// record skipped could hide what it would have found, so the check fails and names the file it
// could not read, whether or not a second reading of the tables went through.
TEST_F(WriteRefusedTest, TheInvariantsFailAtEveryReadRefused) {
  const std::string a = Make("inv/a", "A", 60);
  SetDossier(a, "A");
  dbase::SetWriteFault(dbase::WriteFault::kReadFailOnce, LONG_MAX);
  DossierInvariants whole;
  ASSERT_TRUE(whole.Check()) << whole.Report();
  const long reads = platform::ReadsCounted();
  ASSERT_GT(reads, 10);
  long passed = 0;
  for (long nth = 1; nth <= reads; ++nth) {
    SCOPED_TRACE("read " + std::to_string(nth) + " of " + std::to_string(reads));
    dbase::SetWriteFault(dbase::WriteFault::kReadFailOnce, nth);
    DossierInvariants check;
    const bool held = check.Check();
    const std::string refused = platform::RefusedChange();
    dbase::SetWriteFault(dbase::WriteFault::kNone, 0);
    ASSERT_EQ(refused.rfind("read ", 0), 0u) << "no read refused";
    passed += held;
    EXPECT_NE(check.Report().find(FillPlaceholder(LoadStr(kMsgReadError), refused.substr(5))), std::string::npos)
        << check.Report();
  }
  EXPECT_EQ(passed, 0);
  SetDossier("", "");
}

// The rebuild with the disk full from points spread over all its writes: it succeeds whole, or
// it says it failed and the dossier, opened as the user does, ends as before or as after an
// uncut rebuild, its tags and invariants holding.
TEST_F(WriteRefusedTest, ARebuildFullFromAnyPointEndsWholeAfterTheOpening) {
  const std::string model = Make("sweep-model", "A", 60);
  const DossierRecords before = Records(model);
  const std::string uncut = root_ + "/sweep-uncut/";
  CopyFolder(model, uncut);
  ASSERT_TRUE(Load(uncut, "A"));
  dbase::SetWriteFault(dbase::WriteFault::kFull, LONG_MAX);
  ASSERT_EQ(RunDossierRebuild(true, true).code, 0);
  const long total = dbase::WritesCounted();
  dbase::SetWriteFault(dbase::WriteFault::kNone, 0);
  Close();
  const DossierRecords after = Records(uncut);
  ASSERT_GT(total, 20);
  const std::string a = root_ + "/sweep/";
  for (long i = 0; i < 24; ++i) {
    const long nth = 1 + total * i / 24;
    SCOPED_TRACE("full from write " + std::to_string(nth) + " of " + std::to_string(total));
    CopyFolder(model, a);
    ASSERT_TRUE(Load(a, "A"));
    dbase::SetWriteFault(dbase::WriteFault::kFull, nth);
    const RebuildReport report = RunDossierRebuild(true, true);
    dbase::SetWriteFault(dbase::WriteFault::kNone, 0);
    Close();
    if (report.code == 0) {
      EXPECT_EQ(kill_matrix::RecordDifference(Records(a), after), "");
    } else {
      EXPECT_NE(RebuildEndMessage(report).find(kDiskFull), std::string::npos) << report.code << RebuildEndMessage(report);
      std::string said;
      EXPECT_TRUE(OpenAsUser(a, "A", &said)) << said;
      const DossierRecords now = Records(a);
      EXPECT_TRUE(now == before || now == after) << kill_matrix::RecordDifference(now, after);
    }
    EXPECT_EQ(Faults(a, "A"), "");
  }
}

// The separation with the disk full from points spread over its writes (its rebuilds included):
// it succeeds whole, or says that the disk is full and leaves both dossiers as before.
TEST_F(WriteRefusedTest, ASeparationFullFromAnyPointLeavesBothDossiersOnOneSide) {
  const std::string model = root_ + "/sep-model/";
  MakeSeparationYears("sep-model");
  long counted = 0;
  const auto separate = [&](const std::string& root) {
    EXPECT_TRUE(Load(root + "a/", "A"));
    processing::SeparationRequest request;
    request.other = processing::OtherDossier{root + "b/", "B"};
    request.date = Ymd{2027, 1, 1};
    const processing::SeparationResult r = processing::SeparateYears(request, test_support::RebuildMaintenance(true));
    counted = dbase::WritesCounted();
    dbase::SetWriteFault(dbase::WriteFault::kNone, 0);
    Close();
    return r;
  };
  const DossierRecords beforeA = Records(model + "a/"), beforeB = Records(model + "b/");
  const std::string uncut = root_ + "/sep-uncut/";
  CopyFolder(model, uncut);
  dbase::SetWriteFault(dbase::WriteFault::kFull, LONG_MAX);
  ASSERT_EQ(separate(uncut).code, 0);
  const long total = counted;
  ASSERT_GT(total, 20);
  const DossierRecords afterA = Records(uncut + "a/"), afterB = Records(uncut + "b/");
  const std::string root = root_ + "/sep/";
  for (long i = 0; i < 10; ++i) {
    const long nth = 1 + total * i / 10;
    SCOPED_TRACE("full from write " + std::to_string(nth) + " of " + std::to_string(total));
    CopyFolder(model, root);
    dbase::SetWriteFault(dbase::WriteFault::kFull, nth);
    const processing::SeparationResult r = separate(root);
    std::string said;
    EXPECT_TRUE(OpenAsUser(root + "a/", "A", &said)) << said;
    EXPECT_TRUE(OpenAsUser(root + "b/", "B", &said)) << said;
    const DossierRecords a = Records(root + "a/"), b = Records(root + "b/");
    if (r.code == 0) {
      EXPECT_EQ(kill_matrix::RecordDifference(a, afterA) + kill_matrix::RecordDifference(b, afterB), "");
    } else {
      EXPECT_NE(r.error.find(kDiskFull), std::string::npos) << r.code << " " << r.error;
      EXPECT_TRUE(r.putBack);
      EXPECT_EQ(kill_matrix::RecordDifference(a, beforeA) + kill_matrix::RecordDifference(b, beforeB), "");
    }
    EXPECT_EQ(Faults(root + "a/", "A") + Faults(root + "b/", "B"), "");
  }
}

// The separation's first write into the old year's lines refused once (EIO), then the removal of
// the new year's marker when its put-back ends.
std::string g_newYearMarker;
bool g_runRefused = false;
void RefuseTheOldYearThenTheNewYearsMarker() {
  const std::string& change = platform::ChangeBeingMade();
  if (!g_runRefused && change.rfind("write ", 0) == 0 && change.find("/a/c50a.dbf") != std::string::npos) {
    g_runRefused = true;
    platform::SetWriteFault(platform::WriteFault::kFailOnce, 1);
  } else if (g_runRefused && change == "unlink " + g_newYearMarker) {
    platform::SetWriteFault(platform::WriteFault::kFailOnce, 1);
    dbase::BeforeFileChange = nullptr;
  }
}

// A separation that fails and whose put-back has the new year's marker's removal refused, the new
// year's tables back: the old year's marker, the run's decision, stays with its copies, and the
// run says that a dossier is left for its opening. Neither opening takes the run for one that went
// to its end; each puts its dossier back, both as before the run.
TEST_F(WriteRefusedTest, ASeparationWhoseNewYearsMarkerStaysOnItsPutBackIsNotTakenForFinished) {
  const std::string root = root_ + "/sep-marker/";
  MakeSeparationYears("sep-marker");
  const DossierRecords beforeA = Records(root + "a/"), beforeB = Records(root + "b/");
  ASSERT_TRUE(Load(root + "a/", "A"));
  processing::SeparationRequest request;
  request.other = processing::OtherDossier{root + "b/", "B"};
  request.date = Ymd{2027, 1, 1};
  g_newYearMarker = root + "b/cb.run";
  g_runRefused = false;
  dbase::BeforeFileChange = RefuseTheOldYearThenTheNewYearsMarker;
  const processing::SeparationResult r = processing::SeparateYears(request, test_support::RebuildMaintenance(true));
  dbase::BeforeFileChange = nullptr;
  const std::string refused = platform::RefusedChange();
  dbase::SetWriteFault(dbase::WriteFault::kNone, 0);
  Close();
  ASSERT_TRUE(g_runRefused);
  ASSERT_EQ(refused, "unlink " + g_newYearMarker);
  EXPECT_NE(r.code, 0);
  EXPECT_FALSE(r.putBack);
  EXPECT_TRUE(r.putBackFailed);
  EXPECT_TRUE(fs::exists(root + "a/ca.run")) << "the run's decision stays";
  EXPECT_EQ(kill_matrix::RecordDifference(Records(root + "b/"), beforeB), "");

  std::string said;
  EXPECT_TRUE(OpenAsUser(root + "b/", "B", &said)) << said;
  EXPECT_EQ(said.find("termin\xE9"), std::string::npos) << said;
  EXPECT_EQ(said.find("sauvegarde"), std::string::npos) << said;
  EXPECT_TRUE(OpenAsUser(root + "a/", "A", &said)) << said;
  EXPECT_EQ(said.find("termin\xE9"), std::string::npos) << said;
  EXPECT_EQ(kill_matrix::RecordDifference(Records(root + "a/"), beforeA) +
                kill_matrix::RecordDifference(Records(root + "b/"), beforeB),
            "");
  EXPECT_EQ(Faults(root + "a/", "A") + Faults(root + "b/", "B"), "");
}

// What a run told once it ended: whether it said it failed, its text, and whether it said that
// the dossier was put back.
struct RunSaid {
  bool failed = false;
  std::string text;
  bool putBack = false;
  int code = 0;  // the run's own failure code, which the log keeps
};

// The validation, the opening balances and the balance-sheet computation with one of their
// writes refused (ENOSPC and EIO in turn, at points spread over each run, its first ones
// included: the copies folder): a run that says it failed names the file refused in its
// dossier, says "disque plein" when the disk was full and that the dossier was put back, and
// that in its own message alone: the engine shows no box of its own before it.
TEST_F(WriteRefusedTest, ARunStoppedByARefusedWriteNamesItInItsOwnBoxAlone) {
  // Put back, or never changed: the run's copies or marker refused before its first change.
  const std::string putBackText = LoadStr(kMsgDossierPutBack), notStarted = LoadStr(kMsgRunNotStarted);
  // A run, once `arm` has set the fault after its reads, on the dossiers the matrices make for it.
  struct Case {
    const char* name;  // the matrices' run
    std::function<RunSaid(const std::string& root, const std::function<void()>& arm)> run;
  };
  const Case cases[] = {
      {"validation",
       [this](const std::string& root, const std::function<void()>& arm) {
         RunSaid said;
         std::vector<std::string> chosen;
         if (!Load(root + "v/", "V") || !DossierLockTable->OpenExclusive(DossierTablePath()) ||
             !kill_matrix::ValidationMonths(&chosen))
           return said;
         arm();
         const entry::ValidationResult r = entry::RunValidation(entry::JournalValidationRequest{chosen, "C61231"});
         return RunSaid{r.code != 0, r.error, r.putBack};
       }},
      {"opening_balances",
       [this, &putBackText](const std::string& root, const std::function<void()>& arm) {
         RunSaid said;
         std::vector<processing::Collective> collectives;
         processing::TrialBalance balance;
         if (!Load(root + "a/", "A") || !kill_matrix::OpeningSource(&collectives, &balance)) return said;
         processing::OpeningRequest request;
         request.target = processing::OtherDossier{root + "b/", "B"};
         request.date = Ymd{2027, 1, 1};
         arm();
         const processing::OpeningResult r =
             processing::GenerateOpeningBalances(request, collectives, balance, test_support::RebuildMaintenance(true));
         const std::string text = processing::OpeningEndMessage(request, r);
         return RunSaid{r.code != 0, text, text.find(putBackText) != std::string::npos, r.code};
       }},
      {"balance_sheet",
       [this, &putBackText, &notStarted](const std::string& root, const std::function<void()>& arm) {
         RunSaid said;
         if (!Load(root + "a/", "A")) return said;
         arm();
         const balances::SheetPeriod year{"C60101", "C61231", "C60101", "C61231"};
         const balances::SheetRun r = balances::RunBalanceSheet(balances::DossierSheetInput('S', year, true));
         return RunSaid{r.outcome != balances::RunOutcome::kDone, r.message,
                        r.message.find(putBackText) != std::string::npos ||
                            r.message.find(notStarted) != std::string::npos};
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string model = root_ + "/refused/" + c.name + "/", root = root_ + "/refused/point/";
    for (const kill_matrix::MatrixRun& r : kill_matrix::Runs())
      if (std::string(r.name) == c.name) {
        fs::create_directories(model);
        r.prepare(model);
      }
    Close();
    // The uncut run, its changes counted.
    CopyFolder(model, root);
    dbase::WriteFault fault = dbase::WriteFault::kFull;
    long nth = LONG_MAX;
    const auto arm = [&fault, &nth] { dbase::SetWriteFault(fault, nth); };
    ASSERT_FALSE(c.run(root, arm).failed);
    const long total = dbase::WritesCounted();
    dbase::SetWriteFault(dbase::WriteFault::kNone, 0);
    Close();
    ASSERT_GT(total, 40);
    std::set<long> points{1, 2, 3};
    for (long i = 1; i < 40; ++i) points.insert(total * i / 40);
    for (long k = total - 5; k <= total; ++k) points.insert(k);
    int i = 0;
    for (long k : points) {
      fault = i++ % 2 == 0 ? dbase::WriteFault::kFullOnce : dbase::WriteFault::kFailOnce;
      nth = k;
      const std::string point = std::string(fault == dbase::WriteFault::kFullOnce ? "ENOSPC" : "EIO") + " on change " +
                                std::to_string(k) + " of " + std::to_string(total);
      CopyFolder(model, root);
      gui::ModalSeam::Reset();
      const RunSaid said = c.run(root, arm);
      const std::string refused = platform::RefusedChange();
      dbase::SetWriteFault(dbase::WriteFault::kNone, 0);
      Close();
      const std::string where = point + " (" + refused + "): " + platform::Cp1252ToUtf8(said.text);
      EXPECT_EQ(ShownTexts(), "") << where;
      if (!said.failed) continue;
      EXPECT_NE(said.text.find(root), std::string::npos) << "no file named, " << where;
      // The cause in words, never the engine's number alone, nor the run's step number beside it.
      EXPECT_EQ(said.text.find("incident "), std::string::npos) << where;
      if (said.code != 0) EXPECT_EQ(said.text.find(std::to_string(said.code) + " - "), std::string::npos) << where;
      if (fault == dbase::WriteFault::kFullOnce) {
        EXPECT_NE(said.text.find(kDiskFull), std::string::npos) << where;
      } else {
        // An I/O error: said as one, or as the copy aside that could not be made.
        EXPECT_TRUE(said.text.find(TextBefore(kMsgWriteError)) != std::string::npos ||
                    said.text.find(TextBefore(kMsgCopyRefused)) != std::string::npos)
            << where;
      }
      EXPECT_TRUE(said.putBack) << "not said to be put back, " << where;
    }
  }
}

// The other runs of the matrices that hold the dossier's books (the merge, the separation, the
// code copy, the automatic matching, the rebuild, the renumbering and both imports), with one of their writes
// refused at points spread over each: whatever the run then says, it says it in its own box,
// and the engine shows none of its own.
TEST_F(WriteRefusedTest, NoOtherRunShowsTheEnginesBoxBeforeItsOwn) {
  InstallMatchingCommands();
  const std::set<std::string> names = {"merge", "separation", "code_copy", "automatic_matching", "rebuild",
                                       "renumbering", "ofx_import", "ascii_import"};
  for (const kill_matrix::MatrixRun& r : kill_matrix::Runs()) {
    if (names.count(r.name) == 0) continue;
    SCOPED_TRACE(r.title);
    const std::string model = root_ + "/others/" + r.name + "/", root = root_ + "/others/point/";
    fs::create_directories(model);
    r.prepare(model);
    Close();
    dbase::WriteFault fault = dbase::WriteFault::kFull;
    long nth = LONG_MAX;
    const auto arm = [&fault, &nth] { dbase::SetWriteFault(fault, nth); };
    CopyFolder(model, root);
    ASSERT_TRUE(r.run(root, arm));
    const long total = dbase::WritesCounted();
    dbase::SetWriteFault(dbase::WriteFault::kNone, 0);
    Close();
    for (long i = 0; i < 16; ++i) {
      fault = i % 2 == 0 ? dbase::WriteFault::kFullOnce : dbase::WriteFault::kFailOnce;
      nth = 1 + total * i / 16;
      CopyFolder(model, root);
      gui::ModalSeam::Reset();
      r.run(root, arm);
      const std::string refused = platform::RefusedChange();
      dbase::SetWriteFault(dbase::WriteFault::kNone, 0);
      Close();
      EXPECT_EQ(ShownTexts(), "") << "change " << nth << " of " << total << " refused (" << refused << ")";
    }
  }
}

// The first change of the general file refused (ENOSPC, EIO), the mark of its index at the rebuild's
// first reindex: the box naming the table says why, as does the end message.
platform::WriteFault g_firstTableFault = platform::WriteFault::kNone;
void RefuseTheFirstChangeOfC10() {
  if (g_firstTableFault == platform::WriteFault::kNone || platform::ChangeBeingMade().find("c10a.") == std::string::npos)
    return;
  dbase::SetWriteFault(g_firstTableFault, 1);
  g_firstTableFault = platform::WriteFault::kNone;
}

TEST_F(WriteRefusedTest, ARebuildWhoseFirstTableChangeIsRefusedSaysWhy) {
  const std::string model = Make("first", "A", 60);
  for (const platform::WriteFault fault : {platform::WriteFault::kFullOnce, platform::WriteFault::kFailOnce}) {
    const bool full = fault == platform::WriteFault::kFullOnce;
    SCOPED_TRACE(full ? "ENOSPC" : "EIO");
    const std::string a = root_ + "/first-" + (full ? "full" : "eio") + "/";
    CopyFolder(model, a);
    ASSERT_TRUE(Load(a, "A"));
    ASSERT_TRUE(DossierLockTable->OpenExclusive(DossierTablePath()));
    gui::ModalSeam::Reset();
    g_firstTableFault = fault;
    dbase::BeforeFileChange = RefuseTheFirstChangeOfC10;
    const int code = RebuildDossier(nullptr, true, true);
    dbase::BeforeFileChange = nullptr;
    const std::string refused = platform::RefusedChange();
    dbase::SetWriteFault(dbase::WriteFault::kNone, 0);
    ASSERT_NE(refused.find("c10a."), std::string::npos) << refused;
    EXPECT_EQ(code, kRebuildFirstReindex);
    const std::string cause = full ? std::string(kDiskFull) : TextBefore(kMsgWriteError);
    const std::string shown = ShownTexts();
    EXPECT_NE(shown.find(a + "c10a.dbf"), std::string::npos) << shown;
    EXPECT_NE(shown.find(cause), std::string::npos) << shown;
    EXPECT_NE(RebuildEndMessage(LastRebuildReport()).find(cause), std::string::npos)
        << RebuildEndMessage(LastRebuildReport());
    Close();
  }
}

}  // namespace
