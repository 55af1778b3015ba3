// Runs that change several records killed half-way, as a crash stops them: a child process runs
// the code-range copy or the automatic matching and kills itself before its n-th file write, for
// every n the run reaches. The dossier is then opened as the user opens it: the interrupted run
// is named, answered Yes it is finished or put back, and each table's live records equal as a
// whole those before the run or those after an uninterrupted one, each tag walking its records.
// An import killed half-way is named by the opening, which puts the books in order from what the
// import kept; the same file imported again then writes what is missing.
#include <signal.h>

#include <climits>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "data/dossier_files.h"
#include "data/dossier_invariants.h"
#include "data/entry_lines.h"
#include "data/session.h"
#include "data/table.h"
#include "demo/dossier_demo.h"
#include "dossier/core/maintenance_rebuild.h"
#include "platform/dbase/fileio.h"
#include "platform/gui/modal_seam.h"
#include "platform/system/files.h"
#include "processing/bank_commands.h"
#include "processing/core/ascii_import.h"
#include "processing/core/automatic_matching.h"
#include "processing/core/code_copy.h"
#include "processing/core/matching_lines.h"
#include "processing/core/ofx_import.h"
#include "processing/matching_windows.h"
#include "processing/opening_balances_window.h"
#include "runtime/logfile.h"
#include "support/bank_statements.h"
#include "support/dossier_fixture.h"
#include "support/killed_runs.h"

namespace {

class RunsKilledTest : public test_support::KilledRunFixture {
 protected:
  void SetUp() override {
    KilledRunFixture::SetUp();
    InstallYearEndCommands();
    InstallMatchingCommands();
    InstallBankCommands();
  }
};

// Twelve transactions of the bank account into journal BQ, one a month.
processing::StatementImport TwelveTransactions() { return test_support::DemoStatementImport(12, "K", "Tuee "); }

// Twelve pieces of two lines into journal OD, in a file of `folder`.
std::string TwelvePieces(const std::string& folder) {
  const std::string path = folder + "ecritures.txt";
  std::ofstream out(path, std::ios::binary);
  out << "Journal;Date;Piece;Compte;CodeLibelle;Libelle;Debit;Credit\r\n";
  for (int i = 0; i < 12; ++i) {
    const std::string date = std::to_string(10 + i) + "/0" + std::to_string(3 + i % 6) + "/2026";
    const std::string piece = "K" + std::to_string(i), amount = std::to_string(150 + 7 * i) + ",00";
    out << "OD;" << date << ";" << piece << ";51200000;1;Tuee " << i << ";" << amount << ";\r\n"
        << "OD;" << date << ";" << piece << ";70600000;1;Tuee " << i << ";;" << amount << "\r\n";
  }
  return path;
}

// The live draft lines of the imports above, by label.
std::map<std::string, int> KilledImportLines() {
  std::map<std::string, int> lines;
  Table c50;
  if (!c50.OpenShared(PathC50(), "", true)) return lines;
  for (bool more = c50.GoTop() && c50.SkipActive(false); more; more = c50.SkipActive(true)) {
    const std::string label = RTrim(c50.GetField(LigneEcriture::BLIB));
    if (label.rfind("Tuee ", 0) == 0) ++lines[label];
  }
  return lines;
}

// Accounts of two dossiers: A's suppliers with their bank details, B with the same codes under
// other texts (each rewritten by the copy) and one missing (appended).
void PutSuppliers(const std::string& path, const std::vector<std::vector<std::string>>& rows) {
  Table t;
  ASSERT_TRUE(t.OpenShared(path, "C20CODE"));
  for (const auto& row : rows) {
    ASSERT_TRUE(t.AppendBlank());
    const char* names[] = {"CCODE", "CLIB", "CDOM1", "CETS", "CGUICHET", "CCOMPTE", "CCLERIB", "CIBAN", "CBIC"};
    for (std::size_t i = 0; i < row.size(); ++i) t.PutField(t.FieldPos(names[i]), row[i].c_str());
    ASSERT_TRUE(t.InsertRecord());
    ASSERT_TRUE(t.Commit());
  }
}

// The copy of a range of suppliers into another dossier, killed before each of its writes: the
// receiving dossier names the copy at its next opening and finishes it; no supplier is left with
// one bank's name and RIB and another's key, IBAN and BIC.
TEST_F(RunsKilledTest, ACodeCopyKilledAtAnyWriteIsNamedAndFinished) {
  const std::string a = MakeDossier("a", "KA", 20), b = MakeDossier("b", "KB", 20);
  PutSuppliers(a + "c20ka", {{"F9000001", "Banque du Nord", "Lille", "30001", "00001", "11111111111", "11",
                              "FR7630001000011111111111111", "NORDFRPP"},
                             {"F9000002", "Banque du Sud", "Nice", "30002", "00002", "22222222222", "22",
                              "FR7630002000022222222222222", "SUDFRPP"},
                             {"F9000003", "Banque de l'Est", "Metz", "30003", "00003", "33333333333", "33",
                              "FR7630003000033333333333333", "ESTFRPP"}});
  PutSuppliers(b + "c20kb", {{"F9000001", "Ancien Nord", "Roubaix", "40001", "00009", "99999999999", "99",
                              "FR7640001000099999999999999", "ANCNFRPP"},
                             {"F9000003", "Ancien Est", "Nancy", "40003", "00008", "88888888888", "88",
                              "FR7640003000088888888888888", "ANCEFRPP"}});
  KillAtEveryWrite(
      b, "KB", {TableKind::C20},
      [&] {
        SetDossier(a, "KA");
        processing::CodeCopyKind k;
        Table source, receiver;
        if (!processing::CodeCopyKindOf("2", &k) || !source.OpenShared(a + "c20ka", k.tag, true) ||
            !receiver.OpenExclusive(b + "c20kb", k.tag))
          return false;
        std::string refusal;
        processing::CodeCopyCount count;
        return processing::CopyCodeRangeMarked(source, a + "c20ka", receiver, processing::OtherDossier{b, "KB"}, k,
                                               {"2", 8, "F9000001", "F9000003"}, {}, &count, &refusal) &&
               count.added == 1 && count.rewritten == 2;
      },
      Opening::kFinishes);
}

// A supplier rewritten by a copy is written whole: killed at any write, without the opening's
// help, it has all the source's texts or all its own.
TEST_F(RunsKilledTest, ACodeCopyRewritesEachRecordInOneWrite) {
  const std::string a = MakeDossier("a", "KA", 20), b = MakeDossier("b", "KB", 20);
  PutSuppliers(a + "c20ka", {{"F9000001", "Banque du Nord", "Lille", "30001", "00001", "11111111111", "11",
                              "FR7630001000011111111111111", "NORDFRPP"}});
  PutSuppliers(b + "c20kb", {{"F9000001", "Ancien Nord", "Roubaix", "40001", "00009", "99999999999", "99",
                              "FR7640001000099999999999999", "ANCNFRPP"}});
  KillAtEveryWrite(
      b, "KB", {TableKind::C20},
      [&] {
        processing::CodeCopyKind k;
        Table source, receiver;
        if (!processing::CodeCopyKindOf("2", &k) || !source.OpenShared(a + "c20ka", k.tag, true) ||
            !receiver.OpenShared(b + "c20kb", k.tag))
          return false;
        return processing::CopyCodeRange(source, receiver, k, {"2", 8, "F9000001", "F9000001"}).rewritten == 1;
      },
      Opening::kNone);
}

// The automatic matching of every account, killed before each of its writes (a sample): the next
// opening names it and puts the three line tables back, so that no letter group is left on some
// of its lines and not on their partners.
TEST_F(RunsKilledTest, AnAutomaticMatchingKilledAtAnyWriteIsNamedAndPutBack) {
  const std::string d = MakeDossier("m", "KM", 80);
  auto run = [&](bool remove) {
    SetDossier(d, "KM");
    Table c40, c50, c60;
    if (!c40.OpenExclusive(PathC40(), "C40CODE") || !c50.OpenExclusive(PathC50(), LigneEcriture::kCodeTag) ||
        !c60.OpenExclusive(PathC60(), processing::kC60CodeTag))
      return false;
    const processing::MatchTables t{c40, c50, c60};
    processing::AutomaticParameters p;
    p.currency = 1;
    p.startAccount = "0";
    p.endAccount = "ZZZZZZZZ";
    p.power = 3;
    p.dateLimit = "ZZZZZZ";
    p.clock = [] { return std::uint64_t{0}; };
    p.deadline = 1;
    long matches = 0;
    std::string refusal;
    const bool ran = processing::RunMatchingGuarded(
        t,
        [&] {
          if (remove) matches = processing::RemoveLetters(t, 1, "0", "ZZZZZZZZ", true, "");
          else matches = processing::RunAutomaticMatching(t, p).matches;
        },
        &refusal);
    return ran && matches > 0;
  };
  // The demo's own letters taken off first, so that the run has groups to letter.
  ASSERT_EQ(RunKilled(LONG_MAX, [&] { return run(true); }), 0);
  KillAtEveryWrite(d, "KM", {TableKind::C40, TableKind::C50, TableKind::C60}, [&] { return run(false); },
                   Opening::kPutsBack);
}

// An import killed half-way, its lines in the draft without their sort records and totals, or its
// run recorded before its first line: the next opening names it with its file and, without a
// question, puts the books in order before anything reads them (the pieces written whole kept,
// nothing else), after its own repairs (a reindex of the dossier keeps the import's marker); the
// same file imported again then writes what is missing, each piece once.
TEST_F(RunsKilledTest, AnImportKilledHalfWayIsNamedAndPutInOrderByTheOpening) {
  struct Case {
    const char* what;
    bool ascii;
    bool linesCounted;  // killed once its lines are counted in the draft, else once its start is logged
    bool indexLost;     // the general file's index lost too: the opening reindexes the dossier first
  } cases[] = {
      {"statement, lines written", false, true, false},
      {"statement, run recorded", false, false, false},
      {"file, lines written", true, true, false},
      {"file, run recorded", true, false, false},
      {"statement, lines written, the general file's index lost", false, true, true},
  };
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string code = "KI";
    const std::string d = MakeDossier("i" + std::to_string(++n), code, 60);
    const std::string file = c.ascii ? TwelvePieces(d) : std::string("releve.ofx");
    OpenThroughDialog(C10Path(d, code));
    ASSERT_EQ(DossierFolder, d);
    if (c.indexLost) {
      // The cancelled lines packed away first, with their sort records: the reindex packs the sort
      // file, and would take those of lines the draft keeps cancelled.
      Close();
      ASSERT_EQ(RunDossierRebuild(false, true).code, 0);
      OpenThroughDialog(C10Path(d, code));
    }
    const std::string draft = platform::ResolvePath(std::string(PathC50()) + ".dbf");
    const std::uint32_t draftBefore = test_support::CountedRecords(draft);
    const std::int64_t logBefore = platform::FileSize(platform::ResolvePath(LogPath()));
    const int status = RunKilled(LONG_MAX, [&] {
      Table lines, sorts;
      if (!TableC10->OpenShared(PathC10(), "C10CODE") || !TableC20->OpenShared(PathC20(), "C20CODE") ||
          !lines.OpenShared(PathC50(), LigneEcriture::kCodeTag) || !sorts.OpenShared(PathC60(), processing::kC60CodeTag))
        return false;
      processing::AsciiRead read;
      if (c.ascii) read = processing::ReadAsciiFile(*TableC10, *TableC20, lines, file);
      if (c.linesCounted)
        test_support::KillWhen() = [&] { return test_support::CountedRecords(draft) >= draftBefore + 24; };
      else
        test_support::KillWhen() = [&] { return platform::FileSize(platform::ResolvePath(LogPath())) > logBefore; };
      dbase::BeforeFileChange = &test_support::KillWhenDue;
      return c.ascii ? processing::ImportAsciiFile(*TableC10, lines, sorts, read).written
                     : processing::ImportStatement(*TableC10, lines, sorts, TwelveTransactions()).written;
    });
    ASSERT_EQ(status, test_support::killed_runs::kKilled);
    ASSERT_TRUE(fs::exists(DossierRunMarkerFile(d, code)));
    if (c.indexLost) ASSERT_TRUE(fs::remove(platform::ResolvePath(std::string(PathC10()) + ".mdx")));
    if (c.linesCounted) {
      DossierInvariants broken;
      EXPECT_FALSE(broken.Check()) << "the lines stand without their sort records and totals";
    }

    gui::ModalSeam::Reset();
    OpenThroughDialog(C10Path(d, code), [] { gui::ModalSeam::QueueMessageBoxAnswer(gui::IDYES); });
    ASSERT_TRUE(DossierLockTable->isOpen) << ShownTexts();
    const std::string named = c.ascii ? "L'importation du fichier " + file + " a \xE9t\xE9 interrompue"
                                      : "L'importation du relev\xE9 releve.ofx a \xE9t\xE9 interrompue";
    EXPECT_TRUE(ShownContains(named + (c.linesCounted ? " : ses 12 pi\xE8" "ce(s) \xE9" "crite(s) en entier"
                                                      : " avant d'avoir \xE9" "crit une pi\xE8" "ce enti\xE8" "re")))
        << ShownTexts();
    EXPECT_FALSE(ShownContains("Voulez-vous")) << "finished without a question: " << ShownTexts();
    EXPECT_FALSE(fs::exists(DossierRunMarkerFile(d, code)));
    DossierInvariants opened;
    EXPECT_TRUE(opened.Check()) << opened.Report();
    const std::map<std::string, int> kept = KilledImportLines();
    EXPECT_EQ(kept.size(), c.linesCounted ? 12u : 0u);
    for (const auto& [label, lines] : kept) EXPECT_EQ(lines, 2) << label;

    // The same file again, the dossier open: what is missing, once.
    std::string again;
    {
      Table lines, sorts;
      ASSERT_TRUE(TableC20->UseShared(PathC20(), "C20CODE"));
      ASSERT_TRUE(lines.OpenShared(PathC50(), LigneEcriture::kCodeTag));
      ASSERT_TRUE(sorts.OpenShared(PathC60(), processing::kC60CodeTag));
      if (c.ascii) {
        const processing::AsciiRead read = processing::ReadAsciiFile(*TableC10, *TableC20, lines, file);
        EXPECT_FALSE(read.stoppedRun.empty()) << "the file stays to be added again";
        const processing::AsciiRun run = processing::ImportAsciiFile(*TableC10, lines, sorts, read);
        EXPECT_TRUE(run.written) << run.message;
        again = run.message;
      } else {
        const processing::StatementImportResult r =
            processing::ImportStatement(*TableC10, lines, sorts, TwelveTransactions());
        EXPECT_EQ(r.imported, c.linesCounted ? 0 : 12) << r.message;
        EXPECT_EQ(r.skipped, c.linesCounted ? 12 : 0) << r.message;
        again = r.message;
      }
    }
    EXPECT_EQ(again.find("interrompu"), std::string::npos) << "said once, at the opening: " << again;
    const std::map<std::string, int> all = KilledImportLines();
    EXPECT_EQ(all.size(), 12u) << again;
    for (const auto& [label, lines] : all) EXPECT_EQ(lines, 2) << label;
    DossierInvariants whole;
    EXPECT_TRUE(whole.Check()) << whole.Report();
    Close();
  }
}

// A stopped import that the opening cannot put in order (its totals journal cannot be written):
// the dossier stays closed, saying which write was refused, and keeps its marker; opened once the
// obstacle is gone, it is put in order then.
TEST_F(RunsKilledTest, AStoppedImportTheOpeningCannotFinishKeepsTheDossierClosed) {
  const std::string code = "KJ";
  const std::string d = MakeDossier("j", code, 60);
  OpenThroughDialog(C10Path(d, code));
  ASSERT_EQ(DossierFolder, d);
  const std::string draft = platform::ResolvePath(std::string(PathC50()) + ".dbf");
  const std::uint32_t before = test_support::CountedRecords(draft);
  ASSERT_EQ(RunKilled(LONG_MAX,
                      [&] {
                        Table lines, sorts;
                        if (!TableC10->OpenShared(PathC10(), "C10CODE") || !TableC20->OpenShared(PathC20(), "C20CODE") ||
                            !lines.OpenShared(PathC50(), LigneEcriture::kCodeTag) ||
                            !sorts.OpenShared(PathC60(), processing::kC60CodeTag))
                          return false;
                        test_support::KillWhen() = [&] { return test_support::CountedRecords(draft) >= before + 24; };
                        dbase::BeforeFileChange = &test_support::KillWhenDue;
                        return processing::ImportStatement(*TableC10, lines, sorts, TwelveTransactions()).written;
                      }),
            test_support::killed_runs::kKilled);
  // The totals journal cannot be made: a folder stands under its name.
  const std::string journal = platform::ResolvePath(processing::OfxRunTotalsPath());
  ASSERT_TRUE(fs::create_directory(journal));

  gui::ModalSeam::Reset();
  OpenThroughDialog(C10Path(d, code), [] { gui::ModalSeam::QueueMessageBoxAnswer(gui::IDYES); });
  EXPECT_FALSE(DossierLockTable->isOpen);
  EXPECT_TRUE(ShownContains("L'importation interrompue n'a pas pu \xEAtre termin\xE9" "e : une \xE9" "criture a \xE9t\xE9 "
                            "refus\xE9" "e (") &&
              ShownContains(journal) && ShownContains("Le dossier reste ferm\xE9"))
      << ShownTexts();
  EXPECT_TRUE(fs::exists(DossierRunMarkerFile(d, code)));
  Close();

  fs::remove(journal);
  gui::ModalSeam::Reset();
  OpenThroughDialog(C10Path(d, code), [] { gui::ModalSeam::QueueMessageBoxAnswer(gui::IDYES); });
  EXPECT_TRUE(DossierLockTable->isOpen) << ShownTexts();
  EXPECT_TRUE(ShownContains("L'importation du relev\xE9 releve.ofx a \xE9t\xE9 interrompue : ses 12 pi\xE8" "ce(s)"))
      << ShownTexts();
  EXPECT_FALSE(fs::exists(DossierRunMarkerFile(d, code)));
  DossierInvariants check;
  EXPECT_TRUE(check.Check()) << check.Report();
  Close();
}

}  // namespace
