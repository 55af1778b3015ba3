// Runs killed half-way, as the engine's crash tests kill a writer: a child process runs the
// rebuild or the renumbering and kills itself before its k-th file write. The next opening
// names the run, and answered Yes runs it again under the exclusive hold; the dossier then
// holds what an uninterrupted run gives, byte for byte (the header dates aside) and as
// python3-dbfread reads it. Answered No, it stays closed and nothing is written.
#include <signal.h>

#include <algorithm>
#include <climits>
#include <functional>
#include <random>

#include "data/dossier_lock.h"
#include "dossier/backup.h"
#include "dossier/core/conversion.h"
#include "dossier/core/dossier_run_marker.h"
#include "dossier/core/maintenance_pack.h"
#include "dossier/core/maintenance_rebuild.h"
#include "dossier/core/renumber_pieces.h"
#include "dossier/core/restore_files.h"
#include "dossier_test_util.h"
#include "platform/dbase/fileio.h"
#include "platform/system/cp1252.h"
#include "platform/system/files.h"
#include "runtime/code_helpers.h"
#include "shell/seeding.h"
#include "shell/utility_commands.h"
#include "support/books_writes.h"
#include "support/dossier_fixture.h"
#include "support/other_process.h"

namespace {

constexpr int kKilled = 128 + SIGKILL;

class InterruptedRunTest : public DossierOpenTest {
 protected:
  void TearDown() override {
    CloseOpenDossier();
    DossierOpenTest::TearDown();
  }

  // A copy of a dossier folder as root/<name>/; its path with the final "/".
  std::string Copy(const std::string& from, const std::string& name) {
    const std::string to = root_ + "/" + name + "/";
    fs::create_directories(to);
    for (const auto& e : fs::directory_iterator(from))
      if (e.is_regular_file()) fs::copy_file(e.path(), to + e.path().filename().string());
    return to;
  }

  // `run` on the dossier of `folder`, in a child killed before its nth file write (LONG_MAX:
  // never): the child's exit code (0 when the run succeeded), kKilled when it was killed.
  // *writes receives the file writes of a run that went through.
  int RunKilled(const std::string& folder, const std::string& code, long nth, const std::function<bool()>& run,
                long* writes = nullptr) {
    CloseOpenDossier();
    return test_support::RunKilledAtWrite(
        nth,
        [&] {
          SetDossier(folder, code);
          SetLogDossier(folder, code);
          if (!TableC10->OpenExclusive(PathC10(), "C10CODE") || !ReadC10Texts()) return false;
          if (TableC10->Seek("C10CODE", "P")) {
            TheDossierRecord.Set(539, 252, TableC10->GetField(4));
            TheDossierRecord.Set(791, 252, TableC10->GetField(5));
          }
          CloseAllTables();
          return run();
        },
        writes);
  }

  // Opens the dossier through the dialog with `answer` queued for its first question.
  void Open(const std::string& folder, const std::string& code, int answer) {
    gui::ModalSeam::Reset();
    OpenThroughDialog(C10Path(folder, code), [answer] { gui::ModalSeam::QueueMessageBoxAnswer(answer); });
  }

  bool IsOpen(const std::string& folder) const { return DossierFolder == folder && DossierLockTable->isOpen; }

  void CloseOpenDossier() {
    CloseAllTables();
    if (DossierLockTable != nullptr) DossierLockTable->CloseTable(true);
  }

  // The first question of the opening names the run.
  static void ExpectRunNamed(const std::string& title) {
    const auto& shown = gui::ModalSeam::Shown();
    const auto box = std::find_if(shown.begin(), shown.end(),
                                  [](const gui::ShownModal& s) { return s.kind == gui::ModalKind::MessageBox; });
    ASSERT_NE(box, shown.end());
    const gui::ShownModal& asked = *box;
    EXPECT_NE(asked.caption.find("Traitement interrompu"), std::string::npos) << asked.caption;
    EXPECT_NE(asked.text.find(title), std::string::npos) << asked.text;
    EXPECT_NE(asked.text.find("commenc\xE9 le "), std::string::npos) << asked.text;
    EXPECT_NE(asked.text.find(" sur le poste "), std::string::npos) << asked.text;
  }

  // Every table, index and memo file of `folder` equals that of `expected`, the header dates
  // aside, and python3-dbfread reads the same tables from both.
  static void ExpectSameTables(const std::string& folder, const std::string& expected, const std::string& code) {
    ASSERT_EQ(dossier_test::TableFileNames(folder), dossier_test::TableFileNames(expected));
    for (const std::string& name : dossier_test::TableFileNames(expected))
      EXPECT_TRUE(dossier_test::MaskedTableBytes(fs::path(folder) / name) ==
                  dossier_test::MaskedTableBytes(fs::path(expected) / name))
          << name;
    std::string got, want;
    EXPECT_EQ(dossier_test::RunPython("read_dossier.py", {folder, code}, &got), 0) << got;
    EXPECT_EQ(dossier_test::RunPython("read_dossier.py", {expected, code}, &want), 0) << want;
    EXPECT_EQ(got, want);
  }
};

// The record numbers of a table in the order of one of its tags.
std::vector<std::uint32_t> TagOrder(const std::string& table, const char* tag) {
  std::vector<std::uint32_t> order;
  Table t;
  EXPECT_TRUE(t.OpenShared(table, tag)) << table;
  for (bool more = t.GoTop(tag); more; more = t.Skip(1)) order.push_back(t.recordNumber);
  t.CloseTable(true);
  return order;
}

bool Rebuild() { return RunDossierRebuild(true, true).code == 0; }
bool Renumber() { return RenumberPieces().outcome == RenumberOutcome::Done; }

// The rebuild killed at a sample of its writes (the first ones, evenly spread, the last ones
// and a few drawn at random): each time the opening offers it again, and after it the
// dossier equals an uninterrupted rebuild's, opened the same way.
TEST_F(InterruptedRunTest, RebuildKilledAtItsWritesIsOfferedAgainAndEndsAsAnUninterruptedRebuild) {
  const std::string model = MakeDossier("modele", "KIL", 60);
  {
    // An account code the rebuild deletes, so that its walks write too.
    Table c20;
    ASSERT_TRUE(c20.OpenShared(model + "c20kil", "C20CODE"));
    ASSERT_TRUE(c20.AppendBlank());
    c20.PutField(1, "abc");
    ASSERT_TRUE(c20.InsertRecord());
  }
  const std::string expected = Copy(model, "attendu");
  long total = 0;
  ASSERT_EQ(RunKilled(expected, "KIL", LONG_MAX, Rebuild, &total), 0);
  ASSERT_GT(total, 100);
  EXPECT_FALSE(fs::exists(expected + "ckil.run"));
  Open(expected, "KIL", gui::IDYES);
  ASSERT_TRUE(IsOpen(expected)) << ShownTexts();
  CloseOpenDossier();

  std::vector<long> points{1, 2, total - 1, total};
  for (long i = 1; i < 8; ++i) points.push_back(total * i / 8);
  std::mt19937 draw(33);
  for (int i = 0; i < 5; ++i) points.push_back(1 + static_cast<long>(draw() % static_cast<unsigned>(total)));
  for (const long k : points) {
    SCOPED_TRACE("killed before write " + std::to_string(k) + " of " + std::to_string(total));
    const std::string folder = Copy(model, "tue" + std::to_string(k));
    ASSERT_EQ(RunKilled(folder, "KIL", k, Rebuild), kKilled);
    // Killed while its marker was being written: the rebuild had changed nothing.
    if (!fs::exists(folder + "ckil.run")) {
      Open(folder, "KIL", gui::IDYES);
      EXPECT_TRUE(IsOpen(folder)) << ShownTexts();
      CloseOpenDossier();
      continue;
    }

    Open(folder, "KIL", gui::IDYES);
    ExpectRunNamed("ReConstruction du dossier");
    ASSERT_TRUE(IsOpen(folder)) << ShownTexts();
    EXPECT_FALSE(fs::exists(folder + "ckil.run"));
    CloseOpenDossier();
    ExpectSameTables(folder, expected, "KIL");
    fs::remove_all(folder);
  }
}

// The pack and reindex killed half-way (tables before it reindexed, the one it was at without
// its index, the ones after untouched): the opening names it and runs it again, and every
// table then opens on its tags as an uninterrupted pack leaves it.
TEST_F(InterruptedRunTest, PackAndReindexKilledHalfWayIsRunAgainAtTheOpening) {
  const std::string model = MakeDossier("modele", "PAK", 60);
  const auto pack = [] { return PackAndReindexTables(true).ok(); };
  const std::string expected = Copy(model, "attendu");
  long total = 0;
  ASSERT_EQ(RunKilled(expected, "PAK", LONG_MAX, pack, &total), 0);
  for (const long k : {total / 3, total * 2 / 3}) {
    SCOPED_TRACE("killed before write " + std::to_string(k) + " of " + std::to_string(total));
    const std::string folder = Copy(model, "tue" + std::to_string(k));
    ASSERT_EQ(RunKilled(folder, "PAK", k, pack), kKilled);
    Open(folder, "PAK", gui::IDYES);
    ExpectRunNamed("Compactage et ReIndex du dossier");
    ASSERT_TRUE(IsOpen(folder)) << ShownTexts();
    CloseOpenDossier();
    for (const std::string& name : dossier_test::TableFileNames(expected)) {
      if (name.find(".mdx") == std::string::npos) continue;
      EXPECT_TRUE(dossier_test::MaskedTableBytes(folder + name) == dossier_test::MaskedTableBytes(expected + name))
          << name;
    }
  }
}

// The renumbering killed half-way (while it writes its plan, its lines or the sort file): the
// opening names it; No leaves the dossier closed and its files as they are; Yes finishes it,
// with the lines, the sort file and the next piece number of an uninterrupted run.
TEST_F(InterruptedRunTest, RenumberingKilledHalfWayIsNamedAtTheOpeningAndFinishedThere) {
  const std::string model = MakeDossier("modele", "REN", 200);
  {
    // Draft pieces in reverse order with gaps, so that every line takes another number.
    const test_support::SetUpPermit permit("pieces espacees");
    Table c50;
    ASSERT_TRUE(c50.OpenShared(model + "c50ren"));
    long max = 0;
    for (long r = 1; c50.GoTo(r); ++r) max = std::max(max, static_cast<long>(Val(c50.GetField(4))));
    for (long r = 1; c50.GoTo(r); ++r)
      c50.PutField(4, StrZero(2 * (max + 1 - static_cast<long>(Val(c50.GetField(4)))) + 1, 0));
  }
  const std::string expected = Copy(model, "attendu");
  long total = 0;
  ASSERT_EQ(RunKilled(expected, "REN", LONG_MAX, Renumber, &total), 0);
  ASSERT_GT(total, 100);

  for (const long k : {total / 2, total / 5, total * 4 / 5}) {
    SCOPED_TRACE("killed before write " + std::to_string(k) + " of " + std::to_string(total));
    const std::string folder = Copy(model, "tue" + std::to_string(k));
    ASSERT_EQ(RunKilled(folder, "REN", k, Renumber), kKilled);
    if (k == total / 2) {
      const std::string before = dossier_test::FolderBytes(folder);
      Open(folder, "REN", gui::IDNO);
      ExpectRunNamed("ReNum\xE9rotation des Pi\xE8" "ces");
      EXPECT_FALSE(IsOpen(folder));
      EXPECT_TRUE(dossier_test::FolderBytes(folder) == before) << "the refused opening wrote";
    }
    Open(folder, "REN", gui::IDYES);
    ExpectRunNamed("ReNum\xE9rotation des Pi\xE8" "ces");
    ASSERT_TRUE(IsOpen(folder)) << ShownTexts();
    EXPECT_NE(ShownTexts().find("La prochaine pi\xE8" "ce aura le num\xE9ro"), std::string::npos) << ShownTexts();
    CloseOpenDossier();
    // The sort file is built whole; the line indexes, changed entry by entry, hold the same
    // keys in the same order (their pages may be laid out otherwise).
    for (const char* name : {"c40ren.dbf", "c50ren.dbf", "c60ren.dbf", "c60ren.mdx"})
      EXPECT_TRUE(dossier_test::MaskedTableBytes(folder + name) == dossier_test::MaskedTableBytes(expected + name))
          << name;
    for (const char* tag : {"C50CODE", "C50ANAL", "C50VENT"})
      EXPECT_EQ(TagOrder(folder + "c50ren", tag), TagOrder(expected + "c50ren", tag)) << tag;
    EXPECT_EQ(TagOrder(folder + "c40ren", "C40CODE"), TagOrder(expected + "c40ren", "C40CODE"));
    auto nextPiece = [](const std::string& f) {
      Table c10;
      EXPECT_TRUE(c10.OpenShared(f + "c10ren", "C10CODE"));
      EXPECT_TRUE(c10.Seek("C10CODE", "0"));
      const std::string next = SubStr(c10.GetField(4), 165, 6);
      c10.CloseTable(true);
      return next;
    };
    EXPECT_EQ(nextPiece(folder), nextPiece(expected));
  }
}

// A conversion killed half-way, its originals moved aside and half of its new tables
// written: the opening names it, Yes puts every original back in place (the new tables go,
// the aside folder too), and the opening then offers the conversion again, as before it ran.
TEST_F(InterruptedRunTest, ConversionKilledHalfWayGetsItsOriginalsBackAndIsOfferedAgain) {
  const std::string model = MakeDossier("modele", "CNV", 60);
  dossier_test::RenameField(model + "c10cnv.dbf", 0, "GD19970101");
  const auto convert = [] { return ConvertDossier(ConversionRequest{}).ok; };
  long total = 0;
  ASSERT_EQ(RunKilled(Copy(model, "complet"), "CNV", LONG_MAX, convert, &total), 0);
  ASSERT_GT(total, 20);

  const std::string folder = Copy(model, "tue");
  ASSERT_EQ(RunKilled(folder, "CNV", total / 2, convert), kKilled);
  ASSERT_TRUE(fs::exists(folder + "ccnv.run"));
  auto asideFolders = [&folder] {
    return std::count_if(fs::directory_iterator(folder), fs::directory_iterator(), [](const fs::directory_entry& e) {
      return e.is_directory() && e.path().filename().string().rfind("conversion-", 0) == 0;
    });
  };
  ASSERT_EQ(asideFolders(), 1);
  Open(folder, "CNV", gui::IDYES);  // and No to the conversion offered again
  ExpectRunNamed("Conversion du dossier");
  EXPECT_FALSE(IsOpen(folder));
  const auto& shown = gui::ModalSeam::Shown();
  EXPECT_TRUE(std::any_of(shown.begin(), shown.end(), [](const gui::ShownModal& s) {
    return s.text.find("La CONVERSION de ce dossier ZEL est indispensable") != std::string::npos;
  })) << ShownTexts();
  EXPECT_FALSE(fs::exists(folder + "ccnv.run"));
  EXPECT_EQ(asideFolders(), 0);
  std::set<std::string> left;
  for (const auto& e : fs::directory_iterator(folder)) left.insert(e.path().filename().string());
  for (const auto& e : fs::directory_iterator(model)) {
    const std::string name = e.path().filename().string();
    if (e.path().extension() == ".txt") continue;
    EXPECT_TRUE(dossier_test::ReadFile(folder + name) == dossier_test::ReadFile(model + name)) << name;
    left.erase(name);
  }
  std::erase_if(left, [](const std::string& n) { return n.size() > 4 && n.substr(n.size() - 4) == ".txt"; });
  EXPECT_TRUE(left.empty()) << *left.begin();
}

// A restore killed while it puts the backup's files in place (another state of the dossier over
// it): the opening names it; answered No the dossier stays closed as the kill left it, answered Yes
// it is put back as it was before the restore, byte for byte, the files the restore kept gone.
TEST_F(InterruptedRunTest, RestoreKilledWhilePuttingFilesInPlaceIsPutBackAtTheOpening) {
  const std::string model = MakeDossier("restaure", "RST", 60);
  const std::string other = MakeDossier("autre-etat", "RST", 30);
  const std::string before = Copy(model, "avant");
  // The backup unpacked and checked as the restore does, once: each try works on a copy.
  SetDossier(model, "RST");
  RestoreFolders folders;
  ASSERT_TRUE(MakeRestoreFolders(model, "RST", &folders));
  for (const std::string& name : platform::ListFiles(other, "c??rst.*"))
    ASSERT_TRUE(platform::CopyFile(other + name, folders.work + name));
  const RestoreSelection selection = SelectRestoredFiles(folders.work, model, "RST");
  ASSERT_EQ(selection.refusal, "");
  ASSERT_GE(selection.taken.size(), 15u);
  const std::string relative = folders.folder.substr(model.size());
  const auto install = [&] {
    const RestoreFolders here{DossierFolder + relative, DossierFolder + relative + "sauvegarde/"};
    return InstallRestoredFiles(here, DossierFolder, "RST", selection).done;
  };
  const auto copyAll = [&](const std::string& name) {
    const std::string to = root_ + "/" + name + "/";
    fs::copy(model, to, fs::copy_options::recursive);
    return to;
  };
  long total = 0;
  const std::string uncut = copyAll("entier");
  ASSERT_EQ(RunKilled(uncut, "RST", LONG_MAX, install, &total), 0);
  ASSERT_FALSE(fs::exists(uncut + relative));
  ExpectSameTables(uncut, other, "RST");

  const std::string folder = copyAll("tue");
  ASSERT_EQ(RunKilled(folder, "RST", total / 2, install), kKilled);
  SetDossier(folder, "RST");
  ASSERT_TRUE(DossierRunMarkerExists()) << "killed before its last change";
  SetDossier("", "");
  const std::string killed = dossier_test::FolderBytes(folder);
  Open(folder, "RST", gui::IDNO);
  ExpectRunNamed("Restauration du dossier");
  EXPECT_FALSE(IsOpen(folder));
  EXPECT_TRUE(dossier_test::FolderBytes(folder) == killed);

  Open(folder, "RST", gui::IDYES);
  ExpectRunNamed("tel qu'il \xE9tait avant ce traitement");
  ASSERT_TRUE(IsOpen(folder)) << ShownTexts();
  CloseOpenDossier();
  EXPECT_FALSE(fs::exists(folder + relative));
  EXPECT_FALSE(fs::exists(folder + "crst.run"));
  ExpectSameTables(folder, before, "RST");
}

// A restore through the user's own procedure (which writes into the dossier itself) stopped
// half-way: the opening names it and, answered Yes, runs the restore again from its chooser; the archive's files are back and the dossier opens.
// Without the restore's batch file the restore cannot run: the dossier stays closed and its
// marker stays for the next opening.
TEST_F(InterruptedRunTest, RestoreStoppedHalfWayIsRunAgainFromTheOpening) {
  const std::string folder = MakeDossier("restaure", "RST", 60);
  const DossierRunInfo stopped{kRestoreProcedureRun, "Restauration du dossier", "3", "05/03/2026 \xE0 09h07", ""};
  SetDossier(folder, "RST");
  ASSERT_TRUE(WriteDossierRunMarker(stopped));
  Open(folder, "RST", gui::IDYES);
  ExpectRunNamed("Restauration du dossier");
  EXPECT_FALSE(IsOpen(folder));
  EXPECT_NE(ShownTexts().find("n'a pas pu aller \xE0 son terme"), std::string::npos) << ShownTexts();
  SetDossier(folder, "RST");
  DossierRunInfo kept;
  ASSERT_TRUE(ReadDossierRunMarker(&kept));
  EXPECT_EQ(kept.started, stopped.started);
  ASSERT_TRUE(RemoveDossierRunMarker());

  // Backed up with the settings of a fresh program folder.
  SeedProgramFolder(MERLON_BINARY_DIR "/share/merlon", root_ + "/program/");
  Open(folder, "RST", gui::IDOK);
  ASSERT_TRUE(IsOpen(folder)) << ShownTexts();
  gui::ModalSeam::QueueMessageBoxAnswer(gui::IDYES);
  CmSauvegardeDossier();
  gui::ProcessPendingMessages();
  std::string archive;
  for (const auto& e : fs::recursive_directory_iterator(folder))
    if (e.path().filename() == "ZELRST.lzh") archive = e.path().string();
  ASSERT_FALSE(archive.empty()) << ShownTexts();
  CloseOpenDossier();
  const std::string saved = dossier_test::ReadFile(folder + "c20rst.dbf");

  std::ofstream(folder + "c20rst.dbf", std::ios::binary | std::ios::trunc) << "spoilt";
  SetDossier(folder, "RST");
  ASSERT_TRUE(WriteDossierRunMarker(stopped));
  // The outside program unpacks into the restore's own folder: the dossier is not written
  // while it runs.
  std::string target, dossierWhileRunning;
  SetProcessLauncher([&](const std::vector<std::string>& argv, const platform::LaunchOptions& o) {
    if (argv.size() > 2) target = argv[2];
    dossierWhileRunning = dossier_test::ReadFile(folder + "c20rst.dbf");
    return platform::LaunchProcess(argv, o);
  });
  gui::ModalSeam::Reset();
  OpenThroughDialog(C10Path(folder, "RST"), [&archive] {
    gui::ModalSeam::QueueMessageBoxAnswer(gui::IDYES);  // run the restore again
    gui::ModalSeam::QueueFileAnswer(archive);           // its archive
    gui::ModalSeam::QueueMessageBoxAnswer(gui::IDYES);  // the outside program has ended
  });
  SetProcessLauncher({});
  ExpectRunNamed("Restauration du dossier");
  ASSERT_TRUE(IsOpen(folder)) << ShownTexts();
  EXPECT_EQ(target.rfind(platform::DiskPath(folder) + "restauration-rst-", 0), 0u) << target;
  EXPECT_EQ(dossierWhileRunning, "spoilt");
  EXPECT_FALSE(fs::exists(folder + "crst.run"));
  EXPECT_TRUE(dossier_test::ReadFile(folder + "c20rst.dbf") == saved);
}

}  // namespace
