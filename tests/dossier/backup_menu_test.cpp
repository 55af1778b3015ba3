// Backup and restore chosen from the menu of the whole main window, as a user meets them:
// after "Changer de dossier" the dossier backed up and reopened is the current one; a
// restore gives the dossier's files their rights back; the batch file runs while the window
// system works, the dossier closed and held; a failing batch file's own messages are shown
// and logged; the records of the bank imports, and what the log says of the ASCII imports, follow
// the books through a backup and a restore.
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <fstream>
#include <functional>

#include <QLabel>
#include <QTimer>

#include "data/dossier_files.h"
#include "data/entry_lines.h"
#include "data/session.h"
#include "data/table.h"
#include "dossier/backup.h"
#include "dossier/core/restore_files.h"
#include "dossier/dossier_commands.h"
#include "dossier/dossier_record_commands.h"
#include "dossier/dossier_slots.h"
#include "dossier_test_util.h"
#include "support/line_files.h"
#include "framework/dialog_bases.h"
#include "platform/dbase/fileio.h"
#include "platform/dbase/idapi.h"
#include "platform/gui/listbox.h"
#include "platform/gui/menu.h"
#include "platform/system/cp1252.h"
#include "platform/system/files.h"
#include "processing/core/ascii_import.h"
#include "processing/core/matching_lines.h"
#include "processing/core/ofx_import.h"
#include "processing/core/stopped_imports.h"
#include "resources/command_ids.h"
#include "resources/string_table.h"
#include "runtime/inifiles.h"
#include "runtime/logfile.h"
#include "runtime/session_registry.h"
#include "runtime/text.h"
#include "runtime/xbase.h"
#include "shell/handlers.h"
#include "shell/mdi_client.h"
#include "support/bank_statements.h"
#include "support/books_writes.h"
#include "support/dossier_fixture.h"
#include "support/other_process.h"
#include "support/refused_read.h"

namespace {

using gui::ModalSeam;

// The questions asked until the backup or the restore has ended, by their ids in the string table.
constexpr int kAskBackupEnded = 2268;
constexpr int kAskRestoreEnded = 2269;

class BackupMenuTest : public DossierOpenTest {
 protected:
  void SetUp() override {
    DossierOpenTest::SetUp();
    InstallDossierBackupCommands();
    InstallDossierRecordCommands();  // the working date asked after the reopening
    IniSetString("LanceM?BACKUP", "9");
  }
  void TearDown() override {
    for (unsigned id :
         {command_id::SauvegardeDossier, command_id::RestaurationDossier, command_id::FichierNouveauDossier,
          command_id::FichierDateTravail, command_id::FichierAProposDossier})
      SetCommandWork(id, {});
    DossierOpenTest::TearDown();
  }

  bool Choose(unsigned id) {
    const bool chosen = MainMenuHandle != nullptr && MainMenuHandle->Choose(id);
    gui::ProcessPendingMessages();
    return chosen;
  }

  // "Changer de dossier", then Enter on the line of `code`.
  void ChangeTo(const std::string& code) {
    ASSERT_TRUE(Choose(20206));
    gui::ListBox* list = ChangeDossierList();
    ASSERT_NE(list, nullptr);
    for (int i = 0; i < list->GetCount(); ++i)
      if (list->GetString(i).find(" " + code + " sur ") != std::string::npos) list->SetSelIndex(i);
    list->SetFocus();
    test_support::SendKey(list->Widget(), test_support::kKeyPress, gui::VK_RETURN);
    test_support::SendKey(list->Widget(), test_support::kKeyRelease, gui::VK_RETURN);
    gui::ProcessPendingMessages();
    ASSERT_EQ(DossierCode, code);
  }

  std::string Program() const { return root_ + "/program/"; }

  // Saves the progress window of the next batch file run as <name>.png and keeps its first line.
  void ScreenshotProgress(const std::string& name) {
    progressTimer_.setInterval(0);  // at each pass of the event loop: a short batch file is still seen
    QObject::connect(&progressTimer_, &QTimer::timeout, [this, name] {
      TDNuvModeless* w = RunningBatchWindow();
      if (w == nullptr) return;
      progressTimer_.stop();
      progressLine_ = w->Line1();
      test_support::Screenshot(w->Widget(), "dossier", name);
    });
    progressTimer_.start();
  }

  // A box's text as the message box lays it out (a plain label), for a look.
  static void ScreenshotBoxText(const std::string& text, const std::string& name) {
    QLabel label;
    label.setTextFormat(Qt::PlainText);
    label.setText(QString::fromStdString(platform::Cp1252ToUtf8(text)));
    label.setMargin(12);
    label.adjustSize();
    test_support::Screenshot(&label, "dossier", name);
  }

  QTimer progressTimer_;
  std::string progressLine_;

  void WriteBatch(const std::string& name, const std::string& script) {
    std::ofstream(Program() + name) << "#!/bin/sh\n" << script;
  }
  // A batch file that writes its dossier folder and code into `out`.
  void RecordingBatch(const std::string& name, const std::string& out) {
    WriteBatch(name, "printf '%s\\n%s\\n' \"$1\" \"$2\" > '" + out + "'\n");
  }
  void SeedSampleBatches() {
    for (const char* name : {"CSAUVE9.BAT", "CRESTA9.BAT"})
      ASSERT_TRUE(platform::CopyFile(std::string(MERLON_SOURCE_DIR) + "/src/resources/files/" + name, Program() + name));
  }
  static std::vector<std::string> Lines(const std::string& path) {
    std::vector<std::string> lines;
    std::istringstream in(ReadAll(path));
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }
  // The texts of the message boxes shown, the working date's dialog of each reopening left out.
  static std::vector<std::string> Boxes() {
    std::vector<std::string> texts;
    for (const gui::ShownModal& m : ModalSeam::Shown())
      if (m.kind == gui::ModalKind::MessageBox) texts.push_back(m.text);
    return texts;
  }
  static bool OpenOn(const std::string& code) {
    return DossierCode == code && TableC10 != nullptr &&
           TableC10->tablePath.find(std::string("c10") + Lower(code.c_str())) != std::string::npos;
  }
};

// Open DEMO, open SEC, change back to DEMO: the recent list still names SEC first. The
// backup is DEMO's and DEMO is open after it; the same for the restore after a change to SEC.
TEST_F(BackupMenuTest, BackupAndRestoreAfterAChangeKeepTheCurrentDossier) {
  const std::string demo = MakeDossier("Soci\xE9t\xE9 A", "DEMO", 10);
  const std::string sec = MakeDossier("Soci\xE9t\xE9 B", "SEC", 10);
  OpenThroughDialog(C10Path(demo, "DEMO"));
  OpenThroughDialog(C10Path(sec, "SEC"));
  ChangeTo("DEMO");
  ASSERT_EQ(RecentDossiers[0], DossierEntry("SEC", sec));

  const std::string saved = root_ + "/sauve.txt", restored = root_ + "/restaure.txt";
  RecordingBatch("CSAUVE9.BAT", saved);
  RecordingBatch("CRESTA9.BAT", restored);
  ModalSeam::QueueMessageBoxAnswer(gui::IDYES);
  ASSERT_TRUE(Choose(20723));
  EXPECT_EQ(Lines(saved), (std::vector<std::string>{platform::DiskPath(demo), "DEMO"}));
  EXPECT_TRUE(OpenOn("DEMO")) << DossierCode << " " << ShownTexts();
  EXPECT_EQ(DossierSlots[0], DossierEntry("DEMO", demo));
  EXPECT_EQ(GetDossierState(), ' ');

  ChangeTo("SEC");
  ASSERT_EQ(RecentDossiers[0], DossierEntry("DEMO", demo));
  const std::string archive = root_ + "/archives/ZELSEC.lzh";
  fs::create_directories(root_ + "/archives");
  std::ofstream(archive) << "x";
  ModalSeam::Reset();
  ModalSeam::QueueFileAnswer(archive);
  ModalSeam::QueueMessageBoxAnswer(gui::IDYES);
  ASSERT_TRUE(Choose(20724));
  // The batch file unpacks into the restore's own folder in the current dossier's folder.
  const std::vector<std::string> restoreArgs = Lines(restored);
  ASSERT_EQ(restoreArgs.size(), 2u);
  EXPECT_EQ(restoreArgs[0].rfind(platform::DiskPath(sec) + "restauration-sec-", 0), 0u) << restoreArgs[0];
  EXPECT_EQ(restoreArgs[1], "SEC");
  EXPECT_FALSE(fs::exists(restoreArgs[0]));
  EXPECT_TRUE(OpenOn("SEC")) << DossierCode << " " << ShownTexts();
  EXPECT_EQ(DossierSlots[0], DossierEntry("SEC", sec));
  // The dossiers of the run as "Changer de dossier" lists them: SEC first, the open one.
  ASSERT_TRUE(Choose(20206));
  ASSERT_NE(ChangeDossierWindow(), nullptr);
  EXPECT_EQ(ChangeDossierList()->GetString(0), "1 - SEC sur " + sec);
  test_support::Screenshot(ChangeDossierWindow()->Widget(), "dossier", "backup-restore-after-change");
  ChangeDossierWindow()->CloseWindow();
}

// A file that is no backup of the dossier, chosen in the restore's dialog: the box says why and
// which name a backup of the dossier has, then the dialog comes back (here closed); nothing is
// started and the dossier is as it was.
TEST_F(BackupMenuTest, AnotherDossiersBackupIsRefusedWithItsReason) {
  const std::string demo = MakeDossier("demo", "DEMO", 10);
  OpenThroughDialog(C10Path(demo, "DEMO"));
  ASSERT_TRUE(OpenOn("DEMO"));
  SeedSampleBatches();
  WriteBatch("CRESTA7.BAT", "exit 0\n");  // method 7 runs where its batch file is there
  const std::string other = root_ + "/ZELCD.lzh";
  std::ofstream(other) << "archive d'un autre dossier";
  const struct Case {
    const char* method;
    const char* name;  // of a backup of DEMO
  } cases[] = {{"9", "ZELDEMO.lzh"}, {"A", "ZELDEMO.zip"}, {"W", "c10DEMO-SauveW.dbf"}, {"7", "ZELDEMO-AAAAMMJJ-HHhMMSS.rar"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.method);
    IniSetString("LanceM?BACKUP", c.method);
    std::string before;
    for (const auto& e : fs::directory_iterator(demo))
      if (e.path().filename().string().rfind("clg", 0) != 0) before += e.path().string() + ReadAll(e.path().string());
    ModalSeam::Reset();
    if (std::string(c.method) == "9")
      ModalSeam::BuildMessageBoxes([](QWidget* box) { test_support::Screenshot(box, "dossier", "restore-not-this-dossier"); });
    ModalSeam::QueueFileAnswer(other);
    ModalSeam::QueueMessageBoxAnswer(gui::IDOK);
    ModalSeam::QueueFileAnswer("");
    ASSERT_TRUE(Choose(20724));
    ModalSeam::BuildMessageBoxes({});
    const std::vector<gui::ShownModal>& shown = ModalSeam::Shown();
    ASSERT_GE(shown.size(), 3u);
    EXPECT_EQ(shown[0].kind, gui::ModalKind::FileOpen);
    ASSERT_EQ(shown[1].kind, gui::ModalKind::MessageBox);
    EXPECT_NE(shown[1].text.find(other + "\n\nn'est pas une sauvegarde du dossier 'DEMO' par la m\xE9thode " + c.method),
              std::string::npos)
        << shown[1].text;
    EXPECT_NE(shown[1].text.find(std::string("\xAB ") + c.name + " \xBB"), std::string::npos) << shown[1].text;
    EXPECT_EQ(shown[2].kind, gui::ModalKind::FileOpen);
    std::string after;
    for (const auto& e : fs::directory_iterator(demo))
      if (e.path().filename().string().rfind("clg", 0) != 0) after += e.path().string() + ReadAll(e.path().string());
    EXPECT_TRUE(after == before);
    EXPECT_TRUE(OpenOn("DEMO")) << ShownTexts();
  }

  // A file whose name holds "%s" is named as it is, the dossier, the method and the backup's name in their places.
  const std::string named = root_ + "/ZEL%s_%1.lzh";
  std::ofstream(named) << "archive";
  IniSetString("LanceM?BACKUP", "9");
  ModalSeam::Reset();
  ModalSeam::QueueFileAnswer(named);
  ModalSeam::QueueMessageBoxAnswer(gui::IDOK);
  ModalSeam::QueueFileAnswer("");
  ASSERT_TRUE(Choose(20724));
  ASSERT_GE(ModalSeam::Shown().size(), 2u);
  EXPECT_EQ(ModalSeam::Shown()[1].text,
            "\n\n\nLe fichier\n\n   " + named + "\n\nn'est pas une sauvegarde du dossier 'DEMO' par la m\xE9thode 9:\n"
            "le nom de ses sauvegardes est \xAB ZELDEMO.lzh \xBB.\n\nChoisissez une sauvegarde de ce dossier.\n\n\n");
}

// The LHA archive keeps no rights: after a restore each file of the dossier has the rights
// it had before (a group-shared folder stays shared), and a file the restore brought back
// anew those of a file created now.
TEST_F(BackupMenuTest, RestoreGivesTheFilesTheirRightsBack) {
  SeedSampleBatches();
  const std::string demo = MakeDossier("demo", "DEMO", 10);
  OpenThroughDialog(C10Path(demo, "DEMO"));
  const mode_t oldMask = ::umask(027);
  std::map<std::string, fs::perms> before;
  for (const auto& e : fs::directory_iterator(demo)) {
    const std::string name = e.path().filename().string();
    // An index's journal goes with the index the restore replaces: it keeps no rights of its own.
    if (name.find("demo.") != 3 || name.find(".mdx.journal") != std::string::npos) continue;
    const fs::perms p = name == "c20demo.dbf" ? fs::perms(0660) : fs::perms(0664);
    fs::permissions(e.path(), p);
    before[name] = p;
  }
  ASSERT_GE(before.size(), 10u);
  ModalSeam::QueueMessageBoxAnswer(gui::IDYES);
  ASSERT_TRUE(Choose(20723));
  std::string archive;
  for (const auto& e : fs::recursive_directory_iterator(demo))
    if (e.path().filename() == "ZELDEMO.lzh") archive = e.path().string();
  ASSERT_FALSE(archive.empty()) << ShownTexts();

  fs::remove(demo + "c70demo.dbf");
  before["c70demo.dbf"] = fs::perms(0640);  // 0666 less the mask 027
  ModalSeam::Reset();
  ModalSeam::QueueFileAnswer(archive);
  ModalSeam::QueueMessageBoxAnswer(gui::IDYES);
  ScreenshotProgress("restore-progress");
  ASSERT_TRUE(Choose(20724));
  ::umask(oldMask);
  EXPECT_EQ(progressLine_, "Restauration du dossier 'DEMO' - CRESTA9.BAT en cours");
  // The batch file did not fail, and the end says what was restored.
  ASSERT_EQ(Boxes().size(), 2u) << ShownTexts();
  EXPECT_EQ(Boxes()[0], LoadStr(kAskRestoreEnded));
  EXPECT_EQ(Boxes()[1].rfind(std::string("\n\n\nDossier 'DEMO' restaur\xE9"), 0), 0u) << Boxes()[1];
  EXPECT_TRUE(OpenOn("DEMO"));
  for (const auto& [name, perms] : before) {
    EXPECT_EQ(fs::status(demo + name).permissions() & fs::perms::all, perms) << name;
  }
}

// A batch file that takes its time: the window system works while it runs (a timer of the
// window layer makes the file the batch file waits for; without it the batch file gives up
// after 20 s and fails), the dossier stays closed and held alone, the dossier commands are
// grey, and the progress window says what runs and for how long.
TEST_F(BackupMenuTest, SlowBatchFileLetsTheWindowSystemWork) {
  const std::string demo = MakeDossier("demo", "DEMO", 10);
  OpenThroughDialog(C10Path(demo, "DEMO"));
  const std::string started = root_ + "/commence", go = root_ + "/continue";
  WriteBatch("CSAUVE9.BAT", ": > '" + started + "'\ni=0\nwhile [ ! -f '" + go +
                                "' ]; do i=$((i+1)); [ $i -gt 400 ] && exit 7; sleep 0.05; done\necho fini\n");
  bool seen = false, greyed = false, held = false;
  std::string line;
  QTimer timer;
  timer.setInterval(20);
  QObject::connect(&timer, &QTimer::timeout, [&] {
    if (seen || !fs::exists(started)) return;
    seen = true;
    held = GetDossierState() == '1' && !TableC10->isOpen && DossierLockTable->isOpen &&
           DossierLockTable->shareMode == dbase::dbiOPENEXCL;
    greyed = !MainMenuHandle->Choose(20724) && !MainMenuHandle->Choose(20203);
    if (TDNuvModeless* w = RunningBatchWindow()) {
      line = w->Line1();
      test_support::Screenshot(w->Widget(), "dossier", "backup-progress");
    }
    std::ofstream(go) << "x";
  });
  timer.start();
  ModalSeam::QueueMessageBoxAnswer(gui::IDYES);
  ASSERT_TRUE(Choose(20723));
  timer.stop();
  EXPECT_TRUE(seen);
  EXPECT_TRUE(held);
  EXPECT_TRUE(greyed);
  EXPECT_EQ(line, "Sauvegarde du dossier: DEMO - CSAUVE9.BAT en cours");
  EXPECT_EQ(Boxes(), std::vector<std::string>{LoadStr(kAskBackupEnded)});  // ended well: no failure told
  EXPECT_EQ(RunningBatchWindow(), nullptr);
  EXPECT_TRUE(OpenOn("DEMO"));
}

// A batch file that fails says why on its error output: its last lines are in the box that says
// the run failed and in the log, for the backup and for the restore. The box asks nothing more: the
// batch file has ended, no end is left to confirm.
TEST_F(BackupMenuTest, FailingBatchFileShowsItsLastLines) {
  const std::string demo = MakeDossier("demo", "DEMO", 10);
  OpenThroughDialog(C10Path(demo, "DEMO"));
  const std::string archive = root_ + "/ZELDEMO.lzh";
  std::ofstream(archive) << "x";
  const struct Case {
    unsigned id;
    const char* batch;
    const char* run;
  } cases[] = {{20723, "CSAUVE9.BAT", "Sauvegarde"}, {20724, "CRESTA9.BAT", "Restauration"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.batch);
    WriteBatch(c.batch, "echo '\xC3\xA9tape 1 sur 3'\nfor i in 1 2 3 4 5 6 7 8; do echo \"bruit $i\"; done\n"
                        "echo 'lha: disque plein (/media/cl\xC3\xA9)' >&2\nexit 5\n");
    ModalSeam::Reset();
    if (c.id == 20724) ModalSeam::QueueFileAnswer(archive);
    ModalSeam::QueueMessageBoxAnswer(gui::IDOK);
    ASSERT_TRUE(Choose(c.id));
    ASSERT_EQ(Boxes().size(), 1u) << ShownTexts();
    const std::string text = Boxes()[0];
    const std::string lines = "bruit 4\nbruit 5\nbruit 6\nbruit 7\nbruit 8\nlha: disque plein (/media/cl\xE9)";
    EXPECT_NE(text.find("le code 5.\n\nSes derniers messages:\n" + lines + "\n\n"), std::string::npos) << text;
    EXPECT_EQ(text.find("Voyez le message du programme"), std::string::npos);
    EXPECT_EQ(text.find("Confirmer par 'Oui'"), std::string::npos) << text;
    for (const gui::ShownModal& m : ModalSeam::Shown()) {
      if (m.kind == gui::ModalKind::MessageBox) {
        EXPECT_EQ(m.buttons, static_cast<unsigned>(gui::MB_OK)) << "nothing asked";
        test_support::ScreenshotMessage(m, "dossier", std::string("failed-box-") + c.run);
      }
    }
    const std::string log = ReadAll(platform::DiskPath(LogPath(".txt")));
    const std::string head = std::string(c.run) + " '9' - ";
    EXPECT_NE(log.find(head + "Erreur 5"), std::string::npos) << log;
    EXPECT_NE(log.find(head + "> lha: disque plein (/media/cl\xE9)"), std::string::npos) << log;
    EXPECT_TRUE(OpenOn("DEMO"));
    ScreenshotBoxText(text, std::string("failure-") + c.run);
  }
}

// A batch file's last message longer than a row, with accents, is in the failure box and the log whole, in rows
// broken at its blanks: no word and no accented letter cut.
TEST_F(BackupMenuTest, AFailingBatchFilesLongMessageIsShownWhole) {
  const std::string demo = MakeDossier("demo", "DEMO", 10);
  OpenThroughDialog(C10Path(demo, "DEMO"));
  const std::string said = "Le fichier /media/sauvegardes/comptabilit\xE9 g\xE9n\xE9rale/exercice 2024/ZELDEMO.lzh "
                           "n'a pas pu \xEAtre \xE9" "crite: le support est prot\xE9g\xE9 en \xE9" "criture";
  ASSERT_GT(said.size(), 120u);
  WriteBatch("CSAUVE9.BAT", "echo \"" + platform::Cp1252ToUtf8(said) + "\" >&2\nexit 4\n");
  ModalSeam::Reset();
  ModalSeam::QueueMessageBoxAnswer(gui::IDOK);
  ASSERT_TRUE(Choose(20723));
  ASSERT_EQ(Boxes().size(), 1u) << ShownTexts();
  const std::string text = Boxes()[0];
  const std::string head = "Ses derniers messages:\n";
  const std::size_t at = text.find(head);
  ASSERT_NE(at, std::string::npos) << text;
  const std::string rows = text.substr(at + head.size(), text.find("\n\n", at) - at - head.size());
  std::string joined = rows;
  std::replace(joined.begin(), joined.end(), '\n', ' ');
  EXPECT_EQ(joined, said) << text;
  EXPECT_NE(rows.find('\n'), std::string::npos) << "in rows";
  const std::string log = ReadAll(platform::DiskPath(LogPath(".txt")));
  EXPECT_NE(log.find("> prot\xE9g\xE9 en \xE9" "criture"), std::string::npos) << log;
  for (const gui::ShownModal& m : ModalSeam::Shown())
    if (m.kind == gui::ModalKind::MessageBox) test_support::ScreenshotMessage(m, "dossier", "failure-long-line");
}

// Started on a dossier named by a path from the current folder, as "merlon dossiers/rel/c10rel.dbf" or as
// ./scripts/run.sh passes "../compta/c10cmp.dbf" from where it was called: the opening makes the dossier's
// folder absolute, so the backup's batch file, run in the program folder, finds it and writes its archive; the
// dossier reopens after it and every command goes on; closed, it opens again from the recent list, which names
// it by its absolute folder. An entry of the recent list kept with a relative folder gives way to the absolute
// one once opened.
struct RelativeStart {
  const char* name;
  const char* from;      // the current folder, from the test's
  const char* argument;  // the path given, from there
  const char* folder;    // the dossier's folder, from the test's
  const char* code;
};

class RelativeStartTest : public BackupMenuTest, public ::testing::WithParamInterface<RelativeStart> {
 protected:
  const char* StartArgument() const override { return GetParam().argument; }
  const char* StartFolder() const override { return GetParam().from; }
};

TEST_P(RelativeStartTest, TheDossierIsOpenedBackedUpAndReopenedWhole) {
  const RelativeStart& start = GetParam();
  const std::string code = start.code;
  const std::string folder = MakeDossier(start.folder, code, 10);
  SeedSampleBatches();
  const std::string target = root_ + "/sauvegardes/";
  IniSetString("Un-Sauvegarde", target.c_str());

  RunSubjectCommand(command_id::FichierOuvrirDossier);
  gui::ProcessPendingMessages();
  ASSERT_EQ(DossierCode, code) << ShownTexts();
  EXPECT_EQ(DossierFolder, folder) << "the folder made absolute";
  EXPECT_EQ(RecentDossiers[0], DossierEntry(code, folder));
  EXPECT_EQ(DossierSlots[0], DossierEntry(code, folder));

  ModalSeam::Reset();
  ModalSeam::QueueMessageBoxAnswer(gui::IDYES);
  ASSERT_TRUE(Choose(command_id::SauvegardeDossier));
  EXPECT_TRUE(fs::exists(target + "ZEL" + code + ".lzh")) << ShownTexts();
  ASSERT_EQ(Boxes().size(), 1u) << ShownTexts();
  EXPECT_NE(Boxes()[0].find(LoadStr(kAskBackupEnded)), std::string::npos) << Boxes()[0];
  EXPECT_TRUE(OpenOn(code)) << ShownTexts();
  EXPECT_EQ(ShownTexts().find("IMPOSSIBLE"), std::string::npos) << ShownTexts();

  // The next command finds the dossier where the backup left the current folder (the program's).
  ModalSeam::Reset();
  RunSubjectCommand(command_id::FichierFermerDossier);
  EXPECT_TRUE(IsBlank(DossierCode));
  Menu(command_id::DossierRecentId(1));
  EXPECT_TRUE(OpenOn(code)) << ShownTexts();
  EXPECT_EQ(DossierFolder, folder);
  EXPECT_EQ(ShownTexts().find("IMPOSSIBLE"), std::string::npos) << ShownTexts();

  // A recent entry kept relative by an older run, opened from the folder it was named from.
  RunSubjectCommand(command_id::FichierFermerDossier);
  fs::current_path(root_ + "/" + start.from);
  const std::string argument = start.argument;
  RecentDossiers[0] = DossierEntry(code, argument.substr(0, argument.rfind('/') + 1));
  Menu(command_id::DossierRecentId(1));
  EXPECT_TRUE(OpenOn(code)) << ShownTexts();
  EXPECT_EQ(DossierFolder, folder);
  EXPECT_EQ(RecentDossiers[0], DossierEntry(code, folder));
  EXPECT_NE(RecentDossiers[1], DossierEntry(code, folder)) << "no second entry of the dossier";
}

INSTANTIATE_TEST_SUITE_P(Paths, RelativeStartTest,
                         ::testing::Values(RelativeStart{"BelowTheStart", "", "dossiers/rel/c10rel.dbf", "dossiers/rel",
                                                         "REL"},
                                           RelativeStart{"ThroughTheRunScript", "merlon", "../compta/c10cmp.dbf",
                                                         "compta", "CMP"}),
                         [](const ::testing::TestParamInfo<RelativeStart>& i) { return std::string(i.param.name); });

}  // namespace

namespace {

// Archives made elsewhere, as a hostile or careless sender would, restored from the menu: a
// link, another dossier's tables, upper-case names, names that are no file of the dossier, a
// damaged archive, a table cut short (ZIP, LHA and copies). What the restore refuses leaves
// the dossier, the other dossier of its folder and the files outside as they were; what it
// takes comes back under the program's names.
class HostileRestoreTest : public BackupMenuTest {
 protected:
  // Every file of a folder (name -> digest of its content), links read as their target's name.
  static std::map<std::string, std::string> Snapshot(const std::string& folder) {
    std::map<std::string, std::string> files;
    for (const auto& e : fs::directory_iterator(folder)) {
      const std::string name = e.path().filename().string();
      if (name.rfind("clg", 0) == 0 || name.rfind("cdemo_", 0) == 0 || name.rfind("ccd_", 0) == 0) continue;
      files[name] = e.is_symlink() ? "-> " + fs::read_symlink(e.path()).string()
                    : e.is_directory() ? std::string("<dossier>")
                                       : Digest(ReadAll(e.path().string()));
    }
    return files;
  }
  // A file's content in a line a failure can show: its size and a hash.
  static std::string Digest(const std::string& content) {
    return std::to_string(content.size()) + ":" + std::to_string(std::hash<std::string>{}(content));
  }
  static int Run(const std::vector<std::string>& argv, const std::string& in) {
    platform::LaunchOptions o;
    o.wait = true;
    o.captureOutput = true;
    o.workingDirectory = in;
    return platform::LaunchProcess(argv, o).exitStatus;
  }
  // A staging folder holding the dossier's files as a backup would, then changed by `spoil`.
  std::string Stage(const std::string& name) {
    const std::string stage = root_ + "/" + name + "/";
    fs::create_directories(stage);
    for (const auto& e : fs::directory_iterator(demo_)) {
      const std::string n = e.path().filename().string();
      if (e.is_regular_file() && n.find("demo.") == 3 && n.rfind("clg", 0) != 0) fs::copy_file(e.path(), stage + n);
    }
    return stage;
  }
  static std::vector<std::string> Members(const std::string& stage) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(stage)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }
  // The sample batch files of the restore by methods 9, A and W.
  void SeedRestoreBatches() {
    SeedSampleBatches();
    for (const char* name : {"CRESTAA.BAT", "CRESTAW.BAT"})
      ASSERT_TRUE(platform::CopyFile(std::string(MERLON_SOURCE_DIR) + "/src/resources/files/" + name, Program() + name));
  }
  // The stage's files backed up into `target` as method 9 (an LHA archive written by jlha), A (a
  // ZIP archive) or W (the copies) does: the file the restore's dialog is given.
  std::string BackupOfStage(char method, const std::string& stage, const std::string& target) {
    fs::create_directories(target);
    if (method == 'W') {
      for (const std::string& n : Members(stage)) {
        const std::size_t dot = n.rfind('.');
        fs::copy_file(stage + n, target + n.substr(0, dot) + "-SauveW" + n.substr(dot));
      }
      return target + "c10demo-SauveW.dbf";
    }
    const std::string chosen = target + (method == '9' ? "ZELDEMO.lzh" : "ZELDEMO.ZIP");
    std::vector<std::string> argv = method == '9' ? std::vector<std::string>{"jlha", "aq", chosen}
                                                  : std::vector<std::string>{"zip", "-q", "-y", chosen};
    for (const std::string& n : Members(stage)) argv.push_back(n);
    EXPECT_EQ(Run(argv, stage), 0) << chosen;
    return chosen;
  }
  // `chosen` restored by `method` from the menu: the texts of its boxes, the last one kept as `picture`.
  std::string RestoreBy(char method, const std::string& chosen, const std::string& picture) {
    IniSetString("LanceM?BACKUP", std::string(1, method).c_str());
    RestoreFromMenu(chosen, picture);
    std::string texts;
    for (const std::string& box : Boxes()) texts += box + "\n";
    return texts;
  }
  // The restore chosen from the menu, `chosen` given to its dialog and its end confirmed; each box
  // saved as `picture` (the last one stays).
  void RestoreFromMenu(const std::string& chosen, const std::string& picture) {
    ModalSeam::Reset();
    ModalSeam::BuildMessageBoxes([&picture](QWidget* box) { test_support::Screenshot(box, "dossier", picture); });
    ModalSeam::QueueFileAnswer(chosen);
    ModalSeam::QueueMessageBoxAnswer(gui::IDYES);
    EXPECT_TRUE(Choose(20724));
    ModalSeam::BuildMessageBoxes({});
  }

  // The dossier DEMO backed up through the menu into a folder of its own: its archive.
  std::string BackUp(const std::string& stamp) {
    IniSetString("Un-Sauvegarde", (root_ + "/sauvegarde-" + stamp + "/").c_str());
    ModalSeam::Reset();
    ModalSeam::QueueMessageBoxAnswer(gui::IDYES);
    EXPECT_TRUE(Choose(20723));
    EXPECT_TRUE(OpenOn("DEMO")) << ShownTexts();
    return root_ + "/sauvegarde-" + stamp + "/ZELDEMO.lzh";
  }
  // The archive restored through the menu: the end message, its box saved as `picture`.
  std::string Restore(const std::string& archive, const std::string& picture) {
    RestoreFromMenu(archive, picture);
    EXPECT_TRUE(OpenOn("DEMO")) << ShownTexts();
    const std::vector<std::string> boxes = Boxes();
    return boxes.empty() ? std::string() : boxes.back();
  }

  std::string demo_;
};

TEST_F(HostileRestoreTest, OnlyTheDossiersOwnWholeFilesAreRestored) {
  SeedSampleBatches();
  for (const char* name : {"CRESTAA.BAT", "CRESTAW.BAT"})
    ASSERT_TRUE(platform::CopyFile(std::string(MERLON_SOURCE_DIR) + "/src/resources/files/" + name, Program() + name));
  demo_ = MakeDossier("demo", "DEMO", 10);
  MakeDossier("demo", "CD", 10);  // another dossier of the same folder
  const std::string outside = root_ + "/dehors.txt";
  std::ofstream(outside) << "hors du dossier";
  OpenThroughDialog(C10Path(demo_, "DEMO"));
  ASSERT_TRUE(OpenOn("DEMO"));

  // A member added to the ZIP archive as another program writes it (its name with Python's
  // escapes, "\\u2713" for a character that the program's arguments cannot carry).
  const auto zipMember = [this](const std::string& member) {
    return [this, member](const std::string&, const std::string& chosen) {
      ASSERT_EQ(Run({"/usr/bin/python3", "-c",
                     "import sys, zipfile\n"
                     "zipfile.ZipFile(sys.argv[1], 'a').writestr(sys.argv[2].encode().decode('unicode_escape'), 'x')\n",
                     chosen, member},
                    root_),
                0);
    };
  };
  enum Outcome { kRefused, kRestored, kFailed };
  const struct Case {
    const char* name;
    char method;
    std::function<void(const std::string& stage)> spoil;
    Outcome outcome;
    const char* shown;  // what the box names
    // Changes the archive made from the stage (or the copies of method W) in `target`.
    std::function<void(const std::string& target, const std::string& chosen)> after = nullptr;
    bool reopens = true;  // the dossier opens after the restore without a question
  } cases[] = {
      {"autre-dossier", 'A',
       [&](const std::string& s) {
         fs::copy_file(demo_ + "c10demo.dbf", s + "c10cd.dbf");
         fs::copy_file(demo_ + "c20demo.dbf", s + "c40cd.dbf");
       },
       kRefused, "\xAB c10cd.dbf \xBB de la sauvegarde est un fichier d'un autre dossier"},
      {"lien", 'A', [&](const std::string& s) { fs::remove(s + "c20demo.dbf"); fs::create_symlink(outside, s + "c20demo.dbf"); },
       kRefused, "\xAB c20demo.dbf \xBB de la sauvegarde est un lien symbolique"},
      {"autre-dossier-lha", '9', [&](const std::string& s) { fs::copy_file(demo_ + "c40cd.dbf", s + "c40cd.dbf"); },
       kRefused, "\xAB c40cd.dbf \xBB de la sauvegarde est un fichier d'un autre dossier"},
      {"table-coupee-lha", '9', [&](const std::string& s) { fs::resize_file(s + "c40demo.dbf", fs::file_size(s + "c40demo.dbf") / 2); },
       kRefused, "\xAB c40demo.dbf \xBB de la sauvegarde est endommag\xE9" "e"},
      {"copie-coupee", 'W', [&](const std::string& s) { fs::resize_file(s + "c40demo.dbf", fs::file_size(s + "c40demo.dbf") / 2); },
       kRefused, "\xAB c40demo.dbf \xBB de la sauvegarde est endommag\xE9" "e"},
      {"memo-sans-table", 'A', [&](const std::string& s) { fs::remove(s + "c20demo.dbf"); },
       kRefused, "\xAB c20demo.dbt \xBB de la sauvegarde est sans sa table \xAB c20demo.dbf \xBB"},
      {"archive-endommagee", 'A', nullptr, kFailed, "l'archive "},
      {"majuscules", 'A',
       [&](const std::string& s) {
         for (const std::string& n : Members(s)) fs::rename(s + n, s + Upper(n.c_str()));
       },
       kRestored, "   c20demo.dbf\n"},
      {"intrus", 'A',
       [&](const std::string& s) {
         for (const char* n : {"merlon.ini", ".bashrc", "-"}) std::ofstream(s + n) << "intrus";
       },
       kRestored, "Laiss\xE9s de c\xF4t\xE9 (ils n'appartiennent pas au dossier):\n\n   -\n   .bashrc\n   merlon.ini\n"},
      // A table of another kind under a table's name: the balance sheet as the chart of accounts.
      {"autre-genre", 'A', [&](const std::string& s) { fs::copy_file(s + "c70demo.dbf", s + "c20demo.dbf", fs::copy_options::overwrite_existing); },
       kRefused, "\xAB c20demo.dbf \xBB de la sauvegarde n'a pas la structure du fichier C20 Plan Comptable:\n"
                 "son champ n\xB0 1 est \xAB BLN C 4 \xBB l\xE0 o\xF9 ce fichier a \xAB CCODE C 8 \xBB"},
      // The memo file of the entry models cut to its header, as a full USB key leaves it.
      {"memo-coupe", 'A', [&](const std::string& s) { fs::resize_file(s + "c10demo.dbt", 512); },
       kRefused, "\xAB c10demo.dbf \xBB de la sauvegarde renvoie au-del\xE0 de la fin de son fichier m\xE9mo \xAB c10demo.dbt \xBB"},
      {"memo-coupe-copie", 'W', [&](const std::string& s) { fs::resize_file(s + "c10demo.dbt", 512); },
       kRefused, "\xAB c10demo.dbf \xBB de la sauvegarde renvoie au-del\xE0 de la fin de son fichier m\xE9mo \xAB c10demo.dbt \xBB"},
      // One table of the dossier alone: the others and the old index would stay beside it.
      {"une-table", 'A',
       [&](const std::string& s) {
         for (const std::string& n : Members(s))
           if (n != "c40demo.dbf") fs::remove(s + n);
       },
       kRefused, "Il y manque:\n\n   c10demo.dbf\n   c20demo.dbf\n   c30demo.dbf\n   c50demo.dbf\n   c60demo.dbf\n   c70demo.dbf\n"},
      // A copy of method W that is the other dossier's chart under a second name, or a link to it.
      {"copie-lien-physique", 'W', nullptr, kFailed, "la copie c20demo-SauveW.dbf est un lien",
       [&](const std::string& t, const std::string&) {
         fs::remove(t + "c20demo-SauveW.dbf");
         fs::create_hard_link(demo_ + "c20cd.dbf", t + "c20demo-SauveW.dbf");
       }},
      {"copie-lien-symbolique", 'W', nullptr, kFailed, "la copie c20demo-SauveW.dbf est un lien",
       [&](const std::string& t, const std::string&) {
         fs::remove(t + "c20demo-SauveW.dbf");
         fs::create_symlink(demo_ + "c20cd.dbf", t + "c20demo-SauveW.dbf");
       }},
      // Members named through ".." or from the root.
      {"membre-parent-zip", 'A', nullptr, kFailed, "le membre \xAB ../c20demo.dbf \xBB de l'archive",
       zipMember("../c20demo.dbf")},
      {"membre-absolu-zip", 'A', nullptr, kFailed, "le membre \xAB /tmp/c20demo.dbf \xBB de l'archive",
       zipMember("/tmp/c20demo.dbf")},
      {"membre-parent-lha", '9', nullptr, kFailed, "le membre \xAB ../c20demo.dbf \xBB de l'archive",
       [&](const std::string& t, const std::string& chosen) {
         fs::create_directories(t + "sous-dossier");
         fs::copy_file(demo_ + "c20demo.dbf", t + "c20demo.dbf");
         ASSERT_EQ(Run({"jlha", "aq", chosen, "../c20demo.dbf"}, t + "sous-dossier"), 0);
       }},
      // A member whose path runs through another member's file: the archive tests whole but
      // cannot be unpacked, and it is that which is said, never a disk at fault.
      {"membres-en-conflit-lha", '9', nullptr, kFailed,
       "son chemin \xAB c20demo.dbf/z \xBB passe par le nom d'un fichier de l'archive",
       [&](const std::string& t, const std::string& chosen) {
         fs::create_directories(t + "conflit/c20demo.dbf");
         std::ofstream(t + "conflit/c20demo.dbf/z") << "z";
         ASSERT_EQ(Run({"jlha", "aq", chosen, "c20demo.dbf/z"}, t + "conflit"), 0);
       }},
      // A name that cp1252 cannot hold is shown as it is (its character by its code) and left out.
      {"nom-hors-cp1252", 'A', nullptr, kRestored,
       "Laiss\xE9s de c\xF4t\xE9 (ils n'appartiennent pas au dossier):\n\n   c20demo<U+2713>.dbf\n",
       zipMember("c20demo\\u2713.dbf")},
      // The record of the imported statements goes with the books, under the name the import reads.
      {"enregistrement-import", 'A', [&](const std::string& s) { std::ofstream(s + "cofdemo.txt") << "T1\tC601\tBQ \t000001\t51200000\n"; },
       kRestored, "   cofDEMO.txt\n"},
      // A file of the backup that cannot take its place (a folder stands at its name): the files
      // put in place go, those replaced come back.
      {"mise-en-place-refusee", 'A', nullptr, kRefused,
       "n'a pas pu aller \xE0 son terme:\n\nLe fichier \xAB ",
       [&](const std::string&, const std::string&) {
         fs::remove(demo_ + "c10demo.ini");
         fs::create_directories(demo_ + "c10demo.ini/dossier");
       }},
      // A backup of an older format of the dossier is taken: the opening then offers its conversion
      // (answered No here, the dossier left closed).
      {"ancien-format", 'A', [&](const std::string& s) { dossier_test::RenameField(s + "c10demo.dbf", 0, "GD19970101"); },
       kRestored, "   c10demo.dbf\n", nullptr, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(OpenOn("DEMO")) << ShownTexts();
    const std::string stage = Stage(std::string("stage-") + c.name);
    if (c.spoil) c.spoil(stage);
    const std::string target = root_ + "/" + c.name + "/";
    fs::create_directories(target);
    std::string chosen;
    if (c.method == 'W') {
      for (const std::string& n : Members(stage)) {
        const std::size_t dot = n.rfind('.');
        fs::copy_file(stage + n, target + n.substr(0, dot) + "-SauveW" + n.substr(dot));
      }
      chosen = target + "c10demo-SauveW.dbf";
    } else {
      chosen = target + (c.method == '9' ? "ZELDEMO.lzh" : "ZELDEMO.ZIP");
      std::vector<std::string> argv = c.method == '9' ? std::vector<std::string>{"jlha", "aq", chosen}
                                                      : std::vector<std::string>{"zip", "-q", "-y", chosen};
      for (const std::string& n : Members(stage)) argv.push_back(n);
      ASSERT_EQ(Run(argv, stage), 0);
      if (c.outcome == kFailed && !c.after) fs::resize_file(chosen, fs::file_size(chosen) / 2);
    }
    if (c.after) c.after(target, chosen);
    // The dossier changed after the backup: a restore that takes it brings the backup back.
    std::ofstream(demo_ + "c20demo.dbt", std::ios::app) << "apres la sauvegarde";
    const auto before = Snapshot(demo_);
    const std::string outsideBefore = ReadAll(outside);

    IniSetString("LanceM?BACKUP", std::string(1, c.method).c_str());
    ModalSeam::Reset();
    // The boxes built as the user sees them: the last one of each case kept as a picture.
    ModalSeam::BuildMessageBoxes(
        [&c](QWidget* box) { test_support::Screenshot(box, "dossier", std::string("restore-box-") + c.name); });
    ModalSeam::QueueFileAnswer(chosen);
    ModalSeam::QueueMessageBoxAnswer(gui::IDYES);
    ASSERT_TRUE(Choose(20724));
    ModalSeam::BuildMessageBoxes({});
    const std::vector<std::string> boxes = Boxes();
    // The restore's last box (the opening's question of a conversion follows it).
    ASSERT_GE(boxes.size(), c.reopens ? 1u : 2u) << ShownTexts();
    const std::string& last = boxes[boxes.size() - (c.reopens ? 1 : 2)];
    EXPECT_NE(last.find(c.shown), std::string::npos) << last;
    EXPECT_EQ(ReadAll(outside), outsideBefore);
    const auto after = Snapshot(demo_);
    for (const auto& [name, content] : after) {
      EXPECT_NE(name.rfind("restauration-", 0), 0u) << name;
      if (name.find("cd.") == 3) EXPECT_EQ(content, before.at(name)) << name;  // the other dossier
    }
    if (c.outcome == kRestored) {
      EXPECT_EQ(last.find("refus\xE9" "e"), std::string::npos) << last;
      // Back as the backup holds it, under the program's names, nothing else let in.
      for (const std::string& n : Members(stage)) {
        const std::string lower = Lower(n.c_str());
        // The journals of index updates the backup holds are no part of the books: left out.
        if (lower.find("demo.") != 3 || lower == "c10demo.zel" || lower.find(".mdx.journal") != std::string::npos)
          continue;
        const auto in = std::find_if(after.begin(), after.end(),
                                     [&lower](const auto& f) { return std::string(Lower(f.first.c_str())) == lower; });
        ASSERT_NE(in, after.end()) << n;
        EXPECT_EQ(in->second, Digest(ReadAll(stage + n))) << n;
      }
      // Nothing else let in; the record of the imports under the name the import reads.
      for (const auto& [name, content] : after)
        EXPECT_TRUE(before.count(name) || name == "cofDEMO.txt" || name.rfind("cofDEMO-avant-restauration-", 0) == 0) << name;
    } else {
      EXPECT_EQ(after, before);
      // In French from start to end.
      for (const char* english : {"damaged", "missing", " the "}) EXPECT_EQ(last.find(english), std::string::npos) << last;
    }
    if (c.reopens) {
      EXPECT_TRUE(OpenOn("DEMO")) << ShownTexts();
    } else {
      EXPECT_TRUE(ShownContains("La CONVERSION de ce dossier ZEL est indispensable")) << ShownTexts();
    }
  }
}

// The record of the imported statements follows the books. A backup taken before an import,
// restored after it: the record, which the backup lacks, is set aside and said, and the same
// statement then imports every transaction once. A backup taken after an import, restored after a
// second one: the record comes back from the backup, the first statement is known and the second
// imports again.
TEST_F(HostileRestoreTest, TheImportRecordsGoWithTheBooks) {
  SeedSampleBatches();
  demo_ = MakeDossier("demo", "DEMO", 10);
  OpenThroughDialog(C10Path(demo_, "DEMO"));
  ASSERT_TRUE(OpenOn("DEMO"));
  // The statement imported into the open dossier, as the import form does.
  const auto import = [](const processing::StatementImport& request) {
    Table c50, c60;
    EXPECT_TRUE(TableC10->OpenShared(PathC10(), "C10CODE") && TableC20->OpenShared(PathC20(), "C20CODE") &&
                c50.OpenShared(PathC50(), LigneEcriture::kCodeTag) && c60.OpenShared(PathC60(), processing::kC60CodeTag));
    const processing::StatementImportResult r = processing::ImportStatement(*TableC10, c50, c60, request);
    CloseAllTables();
    return r;
  };
  const auto draftLines = [this] {
    Table c50;
    EXPECT_TRUE(c50.OpenShared(demo_ + "c50demo", "", true));
    return static_cast<long>(c50.RecCount());
  };
  const std::string record = demo_ + "cofDEMO.txt";
  const processing::StatementImport first = test_support::DemoStatementImport(5, "T"),
                                    second = test_support::DemoStatementImport(3, "U");

  const std::string older = BackUp("avant");
  ASSERT_TRUE(fs::exists(older)) << ShownTexts();
  const long lines = draftLines();
  ASSERT_TRUE(import(first).written);
  ASSERT_EQ(draftLines(), lines + 10);
  const std::string known = ReadAll(record);
  ASSERT_NE(known, "");

  std::string said = Restore(older, "restore-import-record-set-aside");
  EXPECT_NE(said.find("Mis de c\xF4t\xE9"), std::string::npos) << said;
  const std::string aside = "cofDEMO-avant-restauration-";
  EXPECT_NE(said.find("   cofDEMO.txt  ->  " + aside), std::string::npos) << said;
  EXPECT_EQ(said.find("n'appartient"), std::string::npos) << said;
  EXPECT_FALSE(fs::exists(record));
  std::string setAside;
  for (const auto& e : fs::directory_iterator(demo_))
    if (e.path().filename().string().rfind(aside, 0) == 0) setAside = e.path().string();
  ASSERT_NE(setAside, "") << said;
  EXPECT_EQ(ReadAll(setAside), known);
  ASSERT_EQ(draftLines(), lines);
  processing::StatementImportResult again = import(first);
  EXPECT_TRUE(again.written) << again.message;
  EXPECT_EQ(again.imported, 5) << again.message;
  EXPECT_EQ(draftLines(), lines + 10);

  // Backed up with its record, then a second statement: the restore brings the record back.
  const std::string newer = BackUp("apres");
  ASSERT_TRUE(fs::exists(newer)) << ShownTexts();
  const std::string withFirst = ReadAll(record);
  ASSERT_TRUE(import(second).written);
  said = Restore(newer, "restore-import-record-restored");
  EXPECT_NE(said.find("   cofDEMO.txt\n"), std::string::npos) << said;
  EXPECT_EQ(said.find("Mis de c\xF4t\xE9"), std::string::npos) << said;
  EXPECT_EQ(ReadAll(record), withFirst);
  EXPECT_EQ(draftLines(), lines + 10);
  again = import(first);
  EXPECT_TRUE(again.nothingNew) << again.message;
  again = import(second);
  EXPECT_EQ(again.imported, 3) << again.message;
  EXPECT_EQ(draftLines(), lines + 16);
}

// An index file that is not its table's in a backup (another table's, the same table's of another
// dossier of the folder): the table is restored without it, the end message names it, and the
// opening makes the table's tags again.
TEST_F(HostileRestoreTest, AnIndexOfAnotherTableIsLeftOutAndMadeAgain) {
  SeedRestoreBatches();
  demo_ = MakeDossier("demo", "DEMO", 10);
  MakeDossier("demo", "CD", 10);
  OpenThroughDialog(C10Path(demo_, "DEMO"));
  ASSERT_TRUE(OpenOn("DEMO"));
  const struct Case {
    const char* name;
    char method;
    const char* index;  // of the dossier's folder, put in the backup as "c20demo.mdx"
  } cases[] = {
      {"index-autre-table", 'A', "c30demo.mdx"},
      {"index-autre-dossier", 'A', "c20cd.mdx"},
      {"index-autre-dossier-lha", '9', "c20cd.mdx"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(OpenOn("DEMO")) << ShownTexts();
    const std::string stage = Stage(std::string("stage-") + c.name);
    fs::copy_file(demo_ + c.index, stage + "c20demo.mdx", fs::copy_options::overwrite_existing);
    const std::string chosen = BackupOfStage(c.method, stage, root_ + "/" + c.name + "/");
    const std::string said = RestoreBy(c.method, chosen, std::string("restore-box-") + c.name);
    EXPECT_NE(said.find("Dossier 'DEMO' restaur\xE9"), std::string::npos) << said;
    EXPECT_NE(said.find("Index laiss\xE9s de c\xF4t\xE9"), std::string::npos) << said;
    EXPECT_NE(said.find("refait):\n\n   c20demo.mdx\n"), std::string::npos) << said;
    ASSERT_TRUE(OpenOn("DEMO")) << ShownTexts();
    // The chart's own tags again, each leading through every account.
    Table c20;
    ASSERT_TRUE(c20.OpenShared(demo_ + "c20demo", "C20CODE", true));
    long accounts = 0;
    for (bool on = c20.GoTop(); on; on = c20.Skip(1)) ++accounts;
    EXPECT_EQ(accounts, static_cast<long>(c20.RecCount()));
    EXPECT_GT(accounts, 0);
  }
}

// What a backup's sort file and lines hold, judged whole. A sort file of another state of the
// matchings (its letters blanked on lettered sort records, or another letter on unlettered ones) is
// refused, naming the letter that differs, and the dossier is as it was; closed lines whose amount
// does not read (letters, NUL bytes, an exponent) or passes what a line takes are restored, and the end
// names each one and advises a ReConstruction only once they are corrected.
TEST_F(HostileRestoreTest, LettersOfAnotherStateAreRefusedAndUnreadableAmountsNamed) {
  SeedRestoreBatches();
  // Invoices matched with their settlements, bank lines reconciled, a third of the months closed.
  DemoOptions options;
  options.folder = root_ + "/demo";
  options.lines = 600;
  options.matchings = true;
  options.bankStatements = true;
  options.closedMonths = -1;
  std::string message;
  ASSERT_TRUE(GenerateDemoDossier(options, &message)) << message;
  demo_ = options.folder + "/";
  OpenThroughDialog(C10Path(demo_, "DEMO"));
  ASSERT_TRUE(OpenOn("DEMO"));
  // The live sort records of the lines, lettered or not, and live general closed lines.
  std::vector<std::uint32_t> lettered, unlettered, lines;
  {
    const test_support::RawRecords c60(demo_ + "c60demo.dbf"), c40(demo_ + "c40demo.dbf");
    for (std::uint32_t n = 1; n <= c60.Count(); ++n) {
      const std::string r = c60.Record(n);
      if (r[0] == '*') continue;
      (IsBlank(c60.Field(r, "TLET") + c60.Field(r, "TLETE")) ? unlettered : lettered).push_back(n);
    }
    for (std::uint32_t n = 1; n <= c40.Count() && lines.size() < 3; ++n)
      if (const std::string r = c40.Record(n); r[0] != '*' && c40.Field(r, "DCLE") == "Z") lines.push_back(n);
  }
  ASSERT_FALSE(lettered.empty());
  ASSERT_FALSE(unlettered.empty());
  ASSERT_EQ(lines.size(), 3u);
  const struct Case {
    const char* name;
    std::function<void(const std::string& stage)> spoil;
    const char* said;
    bool refused;
  } cases[] = {
      {"lettres-effacees",
       [&](const std::string& stage) {
         const test_support::RawRecords c60(stage + "c60demo.dbf");
         for (const std::uint32_t n : lettered) {
           c60.Put(n, "TLET", "");
           c60.Put(n, "TLETE", "");
         }
       },
       "diff\xE8re par TLET", true},
      {"lettres-zzz",
       [&](const std::string& stage) {
         const test_support::RawRecords c60(stage + "c60demo.dbf");
         for (const std::uint32_t n : unlettered) c60.Put(n, "TLETE", "ZZZ");
       },
       "diff\xE8re par TLETE", true},
      {"montants-illisibles",
       [&](const std::string& stage) {
         const test_support::RawRecords c40(stage + "c40demo.dbf");
         c40.Put(lines[0], "DMONTANTE", "ABC");
         c40.Put(lines[1], "DMONTANTF", std::string("1\0\0", 3));
         c40.Put(lines[2], "DMONTANTE", "-1e300");
       },
       "Le montant de ces lignes de la sauvegarde ne se lit pas comme un nombre", false},
      // A cent past the largest euros a line takes: no number misread, but no amount an entry makes.
      {"montants-au-dela",
       [&](const std::string& stage) {
         const test_support::RawRecords c40(stage + "c40demo.dbf");
         for (const std::uint32_t n : lines) c40.Put(n, "DMONTANTE", "15244901723.75");
       },
       "ou n'est pas un montant qu'une saisie fait (en dessous de z\xE9ro, ou au-del\xE0 de 15 244 901 723,74", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(OpenOn("DEMO")) << ShownTexts();
    const std::string stage = Stage(std::string("stage-") + c.name);
    c.spoil(stage);
    const std::string chosen = BackupOfStage('A', stage, root_ + "/" + c.name + "/");
    const auto snapshot = Snapshot(demo_);
    const std::string said = RestoreBy('A', chosen, std::string("restore-box-") + c.name);
    EXPECT_NE(said.find(c.said), std::string::npos) << said;
    if (c.refused) {
      EXPECT_NE(said.find("ne vont pas ensemble"), std::string::npos) << said;
      EXPECT_EQ(Snapshot(demo_), snapshot);
      continue;
    }
    EXPECT_NE(said.find("Dossier 'DEMO' restaur\xE9"), std::string::npos) << said;
    for (const std::uint32_t n : lines)
      EXPECT_NE(said.find("C40 enregistrement " + std::to_string(n) + ", pi\xE8" "ce "), std::string::npos) << said;
    // The totals of those lines' accounts are named, their lines never summed as if the amounts
    // that do not read were zero.
    const test_support::RawRecords c40(demo_ + "c40demo.dbf");
    for (const std::uint32_t n : lines) {
      const std::string account = "Compte " + TrimmedRight(c40.Field(c40.Record(n), "DCODE")) + ": ";
      const std::size_t at = said.find(account);
      ASSERT_NE(at, std::string::npos) << account << said;
      const std::string fault = said.substr(at, said.find('\n', at) - at);
      EXPECT_NE(fault.find("lignes: non additionn\xE9" "es"), std::string::npos) << fault;
    }
    // A ReConstruction leaves those totals as they are: it is advised only once the amounts are corrected.
    EXPECT_EQ(said.find("demander de suite une ReConstruction"), std::string::npos) << said;
    EXPECT_NE(said.find("Corrigez d'abord les montants des lignes nomm\xE9" "es ci-dessus, puis demandez une "
                        "ReConstruction"),
              std::string::npos)
        << said;
  }
}

// The backup unpacked on a disk without room for it: the restore says that the disk is full, with
// the folder, never that the sound backup is damaged, and the dossier is as it was; with more
// room the same backup is restored. The dossier lies on a small tmpfs, tried at sizes from less
// room than the backup takes unpacked to more. Mounting needs the superuser: where it is refused,
// the test is skipped and says why.
TEST_F(HostileRestoreTest, AFullDiskWhileTheBackupUnpacksIsSaidAsSuch) {
  if (::geteuid() != 0) GTEST_SKIP() << "a tmpfs can be mounted only by the superuser: not run on a real full disk";
  const std::string disk = root_ + "/disque";
  fs::create_directories(disk);
  constexpr std::uintmax_t kRoomy = 64 << 20;
  if (::mount("tmpfs", disk.c_str(), "tmpfs", 0, ("size=" + std::to_string(kRoomy) + ",mode=0755").c_str()) != 0)
    GTEST_SKIP() << "mounting a tmpfs was refused (" << std::strerror(errno) << "): not run on a real full disk";
  struct Unmount {
    std::string at;
    ~Unmount() { ::umount2(at.c_str(), MNT_DETACH); }
  } unmount{disk};
  const auto resize = [&disk](std::uintmax_t bytes) {
    return ::mount("tmpfs", disk.c_str(), "tmpfs", MS_REMOUNT, ("size=" + std::to_string(bytes)).c_str()) == 0;
  };
  SeedRestoreBatches();
  demo_ = MakeDossier("disque/demo", "DEMO", 10);
  OpenThroughDialog(C10Path(demo_, "DEMO"));
  ASSERT_TRUE(OpenOn("DEMO"));
  const std::string stage = Stage("etat");
  std::uintmax_t unpacked = 0;
  for (const std::string& n : Members(stage)) unpacked += (fs::file_size(stage + n) + 4095) / 4096 * 4096;

  for (const char method : {'9', 'A', 'W'}) {
    SCOPED_TRACE(std::string("method ") + method);
    const std::string chosen = BackupOfStage(method, stage, root_ + "/sauvegarde-" + method + "/");
    bool unpackFull = false, restored = false;
    for (const double share : {0.3, 0.8, 1.05, 1.3, 3.0}) {
      SCOPED_TRACE(std::to_string(share) + " of the backup's size free");
      ASSERT_TRUE(OpenOn("DEMO")) << ShownTexts();
      ASSERT_TRUE(resize(kRoomy));
      const fs::space_info space = fs::space(disk);
      const auto room = static_cast<std::uintmax_t>(share * static_cast<double>(unpacked));
      ASSERT_TRUE(resize((space.capacity - space.available + room + 4095) / 4096 * 4096));
      const auto before = Snapshot(demo_);
      const std::string said =
          RestoreBy(method, chosen, std::string("restore-disk-full-") + method + "-" + std::to_string(int(share * 100)));
      ASSERT_TRUE(resize(kRoomy));
      if (said.find("Dossier 'DEMO' restaur\xE9. Fichiers remis en place") != std::string::npos) {
        restored = true;
        break;
      }
      EXPECT_NE(said.find("disque plein"), std::string::npos) << said;
      EXPECT_EQ(said.find("endommag"), std::string::npos) << said;
      EXPECT_EQ(Snapshot(demo_), before);
      // Said by the batch file that unpacks, with the restore's work folder in the dossier's on a line
      // of its own, whole.
      const std::size_t full = said.find(": disque plein, ");
      const std::size_t folder = said.find(":\n" + demo_ + "restauration-demo-");
      unpackFull = unpackFull || (full != std::string::npos && folder > full && folder != std::string::npos &&
                                  said.find("/sauvegarde/\n", folder) != std::string::npos);
      if (!OpenOn("DEMO")) OpenThroughDialog(C10Path(demo_, "DEMO"));
    }
    EXPECT_TRUE(unpackFull);
    EXPECT_TRUE(restored);
  }
}

// The ASCII import knows the files it imported from the dossier's log, which a restore keeps: the
// log is made to say of each file what the backup's log says, so that a file is refused as
// imported before exactly when the restored books hold its lines.
class AsciiRestoreTest : public HostileRestoreTest {
 protected:
  void SetUp() override {
    HostileRestoreTest::SetUp();
    // As the program installs them with the bank commands: the restore's reading of the ASCII
    // import's log, and the finish of an import stopped half-way at the next opening.
    SetImportLogReconciler(processing::kAsciiImportRun, processing::AsciiLogAfterRestore);
    SetDossierRunFinisher(processing::kAsciiImportRun, processing::FinishInterruptedImport);
    SeedSampleBatches();
    demo_ = MakeDossier("demo", "DEMO", 10);
    OpenThroughDialog(C10Path(demo_, "DEMO"));
    ASSERT_TRUE(OpenOn("DEMO"));
    fs::create_directories(root_ + "/import");
    file_ = root_ + "/import/ventes.txt";
  }
  void TearDown() override {
    SetImportLogReconciler(processing::kAsciiImportRun, {});
    SetDossierRunFinisher(processing::kAsciiImportRun, {});
    HostileRestoreTest::TearDown();
  }

  // Two pieces of journal OD in May, each line labelled kLabel.
  static constexpr const char* kLabel = "Vente restaur\xE9" "e";
  static std::string Entries() {
    std::string text = "Journal;Date;Piece;Compte;CodeLibelle;Libelle;Debit;Credit\r\n";
    for (const char* piece : {"V1", "V2"})
      text += std::string("OD;12/05/2026;") + piece + ";51200000;1;" + kLabel + ";75,00;\r\n" + "OD;12/05/2026;" + piece +
              ";70600000;1;" + kLabel + ";;75,00\r\n";
    return text;
  }
  static bool OpenForImport(Table& c50, Table& c60) {
    return TableC10->OpenShared(PathC10(), "C10CODE") && TableC20->OpenShared(PathC20(), "C20CODE") &&
           c50.OpenShared(PathC50(), LigneEcriture::kCodeTag) && c60.OpenShared(PathC60(), processing::kC60CodeTag);
  }
  struct Tried {
    processing::AsciiRead read;
    processing::AsciiRun run;
  };
  // The file written again (an import renames it), read, and imported into the open dossier as
  // "Ajout ASCII au Brouillard" does (a file refused leaves its error line in the log).
  Tried Import() {
    std::ofstream(file_, std::ios::binary) << Entries();
    Tried t;
    Table c50, c60;
    EXPECT_TRUE(OpenForImport(c50, c60));
    t.read = processing::ReadAsciiFile(*TableC10, *TableC20, c50, file_);
    t.run = processing::ImportAsciiFile(*TableC10, c50, c60, t.read);
    CloseAllTables();
    return t;
  }
  // The draft's live lines of the file.
  long DraftLines() {
    Table c50;
    EXPECT_TRUE(c50.OpenShared(demo_ + "c50demo", "", true));
    long n = 0;
    for (bool on = c50.GoTop() && c50.SkipActive(false); on; on = c50.SkipActive(true))
      n += std::string(RTrim(c50.GetField(LigneEcriture::BLIB))) == kLabel;
    return n;
  }

  std::string file_;
};

TEST_F(AsciiRestoreTest, TheFileIsKnownAsImportedExactlyWhenTheRestoredBooksHoldIt) {
  const std::string older = BackUp("avant");
  Tried t = Import();
  ASSERT_TRUE(t.run.written) << t.run.message;
  ASSERT_EQ(DraftLines(), 4);
  // The import renamed the file with its date and time: the end messages name it so.
  const std::string renamed = t.run.renamedTo;
  ASSERT_NE(renamed, "");
  ASSERT_FALSE(fs::exists(file_));
  const std::string newer = BackUp("apres");

  // From before the import: the books lack the file's lines, and the end message names it.
  std::string said = Restore(older, "restore-ascii-not-held");
  EXPECT_NE(said.find("restaur\xE9s ne contiennent pas\n"), std::string::npos) << said;
  EXPECT_NE(said.find("   " + renamed + "\n"), std::string::npos) << said;
  EXPECT_EQ(said.find("   " + file_ + "\n"), std::string::npos) << said;
  EXPECT_EQ(DraftLines(), 0);

  // From after it: the books hold the file again, which is refused again.
  said = Restore(newer, "restore-ascii-held");
  EXPECT_NE(said.find("restaur\xE9s contiennent\n"), std::string::npos) << said;
  EXPECT_NE(said.find("   " + renamed + "\n"), std::string::npos) << said;
  EXPECT_EQ(said.find("   " + file_ + "\n"), std::string::npos) << said;
  EXPECT_EQ(DraftLines(), 4);
  t = Import();
  EXPECT_FALSE(t.read.importedBefore.empty());
  EXPECT_FALSE(t.run.written) << t.run.message;
  EXPECT_EQ(DraftLines(), 4);

  // From before it once more: the file imported again brings every line once.
  Restore(older, "restore-ascii-not-held-again");
  EXPECT_EQ(DraftLines(), 0);
  t = Import();
  EXPECT_TRUE(t.read.importedBefore.empty()) << t.read.importedBefore;
  EXPECT_TRUE(t.run.written) << t.run.message;
  EXPECT_EQ(DraftLines(), 4);

  // From after it, over the file imported again: nothing to say of it, and it is still refused.
  said = Restore(newer, "restore-ascii-unchanged");
  EXPECT_EQ(said.find("Importations ASCII"), std::string::npos) << said;
  EXPECT_EQ(DraftLines(), 4);
  t = Import();
  EXPECT_FALSE(t.run.written) << t.run.message;
  EXPECT_EQ(DraftLines(), 4);
}

// Two states of the books in one backup, as a copy stopped part-way or an archive made of two
// backups leaves them (the tables of before an import beside those of after it): the tables are
// checked together before anything is replaced, the restore is refused with what cannot be one
// state, and the dossier is as it was. A chart whose totals alone are not those of the lines is
// one state whose totals are to be made again: it is restored, and the end names them and the
// ReConstruction.
TEST_F(AsciiRestoreTest, BooksOfTwoStatesAreRefused) {
  SeedRestoreBatches();
  const std::string before = Stage("etat-avant");
  const Tried t = Import();
  ASSERT_TRUE(t.run.written) << t.run.message;
  const std::string after = Stage("etat-apres");
  const struct Case {
    const char* name;
    char method;
    const char* older;  // the table (data, memo and index files) taken from before the import
    const char* shown;  // what the refusal or the end names
    bool refused;
  } cases[] = {
      // The draft's copy older than the rest: sort records that lead to no line.
      {"copie-brouillard-ancien", 'W', "c50demo", ", qui n'existe pas", true},
      // The chart of before: account totals that are not those of the lines.
      {"zip-plan-ancien", 'A', "c20demo", "Compte 51200000: ", false},
      {"lha-plan-ancien", '9', "c20demo", "Compte 51200000: ", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(OpenOn("DEMO")) << ShownTexts();
    const std::string mixed = root_ + "/melange-" + c.name + "/";
    fs::copy(after, mixed);
    for (const char* extension : {".dbf", ".dbt", ".mdx"})
      if (fs::exists(before + c.older + extension))
        fs::copy_file(before + c.older + extension, mixed + c.older + extension, fs::copy_options::overwrite_existing);
    const std::string chosen = BackupOfStage(c.method, mixed, root_ + "/" + c.name + "/");
    const auto snapshot = Snapshot(demo_);
    const std::string said = RestoreBy(c.method, chosen, std::string("restore-box-") + c.name);
    EXPECT_NE(said.find(c.shown), std::string::npos) << said;
    EXPECT_TRUE(OpenOn("DEMO")) << ShownTexts();
    EXPECT_EQ(DraftLines(), 4);
    if (!c.refused) {
      EXPECT_NE(said.find("Dossier 'DEMO' restaur\xE9"), std::string::npos) << said;
      EXPECT_NE(said.find("demander de suite une ReConstruction de ce dossier"), std::string::npos) << said;
      EXPECT_EQ(said.find("ne vont pas ensemble"), std::string::npos) << said;
      continue;
    }
    EXPECT_NE(said.find("La restauration est refus\xE9" "e: le dossier n'a pas \xE9t\xE9 modifi\xE9"), std::string::npos)
        << said;
    EXPECT_NE(said.find("ne vont pas ensemble"), std::string::npos) << said;
    // What cannot be one state only: no total is called a mix.
    EXPECT_EQ(said.find("Compte "), std::string::npos) << said;
    EXPECT_EQ(Snapshot(demo_), snapshot);
  }
}

// A backup whose books are one state but whose account total is off by a cent, as the ReConstruction
// finds and mends it (its question advises a backup first): the restore takes it back, and its end
// names the total and advises the ReConstruction.
TEST_F(AsciiRestoreTest, ATotalOffByACentIsRestoredWithTheReConstructionsAdvice) {
  {
    const test_support::SetUpPermit permit("total faux d un centime");
    Table c20;
    ASSERT_TRUE(c20.OpenShared(demo_ + "c20demo", "C20CODE"));
    ASSERT_TRUE(c20.Seek("C20CODE", "51200000"));
    ASSERT_TRUE(c20.PutFieldNum(18, c20.GetFieldNum(18) + 0.01));
  }
  const std::string archive = BackUp("centime");
  const Tried t = Import();
  ASSERT_TRUE(t.run.written) << t.run.message;
  const std::string said = Restore(archive, "restore-total-off-by-a-cent");
  EXPECT_NE(said.find("Dossier 'DEMO' restaur\xE9"), std::string::npos) << said;
  EXPECT_NE(said.find("Compte 51200000: "), std::string::npos) << said;
  EXPECT_NE(said.find("demander de suite une ReConstruction de ce dossier"), std::string::npos) << said;
  EXPECT_EQ(DraftLines(), 0) << "the books of the backup";
}

// A read of the backup that the disk refuses once (a sector that does not read, a share that drops
// a packet), in each step that reads it: the opening of a table or of its index, their records
// read while the index and the books are checked (the last read of the file), and the check of a
// table put in place in the dossier. Whatever the step, the restore fails whole: the box names
// the file and the read error, the dossier is as it was (the draft keeps the lines imported
// after the backup) and opens. Each file's reads are counted first by a restore of the same
// backup that meets no fault, the lines then imported again.
TEST_F(AsciiRestoreTest, AReadOfTheBackupRefusedFailsTheRestoreWhole) {
  SeedRestoreBatches();
  const std::string older = Stage("etat-avant");
  // With its log, as a backup holds it: restored, the log no longer names the file imported after.
  fs::copy_file(demo_ + "clgdemo.txt", older + "clgdemo.txt");
  ASSERT_TRUE(Import().run.written);
  using test_support::RefusedRead;
  const struct Case {
    const char* name;
    char method;
    const char* file;    // the end of the path of the file whose read is refused
    const char* before;  // what the box says before the reason: refused, or put back
    bool last;           // its last read during the restore refused too
  } cases[] = {
      {"brouillard-copies", 'W', "/sauvegarde/c50demo.dbf", "La restauration est refus\xE9" "e", true},
      {"tri-zip", 'A', "/sauvegarde/c60demo.dbf", "La restauration est refus\xE9" "e", true},
      {"index-tri-zip", 'A', "/sauvegarde/c60demo.mdx", "La restauration est refus\xE9" "e", true},
      {"index-plan-lha", '9', "/sauvegarde/c20demo.mdx", "La restauration est refus\xE9" "e", true},
      // The dossier's own name: read first by the check of the table put in place.
      {"en-place", '9', "/demo/c50demo.dbf", "remis tel qu'il \xE9tait avant la restauration", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(OpenOn("DEMO")) << ShownTexts();
    const std::string chosen = BackupOfStage(c.method, older, root_ + "/" + c.name + "/");
    std::vector<int> refused = {1};
    if (c.last) {
      RefusedRead::Arm(c.file, INT_MAX);
      const std::string said = RestoreBy(c.method, chosen, std::string("restore-read-counted-") + c.name);
      const int reads = RefusedRead::Seen();
      RefusedRead::Disarm();
      ASSERT_NE(said.find("Dossier 'DEMO' restaur\xE9"), std::string::npos) << said;
      ASSERT_GT(reads, 1);
      refused.push_back(reads);
      ASSERT_EQ(DraftLines(), 0);
      ASSERT_TRUE(Import().run.written);
    }
    for (const int nth : refused) {
      SCOPED_TRACE("read " + std::to_string(nth));
      ASSERT_EQ(DraftLines(), 4);
      const auto snapshot = Snapshot(demo_);
      RefusedRead::Arm(c.file, nth);
      const std::string said = RestoreBy(c.method, chosen, std::string("restore-read-refused-") + c.name);
      const std::string refusal = platform::RefusedChange();
      RefusedRead::Disarm();
      EXPECT_EQ(refusal.rfind("read ", 0), 0u) << refusal;
      EXPECT_NE(said.find(c.before), std::string::npos) << said;
      EXPECT_NE(said.find("erreur de lecture sur le disque: le fichier " + refusal.substr(5) + " n'a pas pu"),
                std::string::npos)
          << said;
      EXPECT_EQ(said.find("Erreur BDE"), std::string::npos) << said;
      EXPECT_EQ(Snapshot(demo_), snapshot);
      ASSERT_TRUE(OpenOn("DEMO")) << ShownTexts();
      EXPECT_EQ(DraftLines(), 4);
    }
  }
}

// The records of an ASCII import's run ("cas" + code: its pieces and its totals journal) follow the
// books as the statements' record does: those of the dossier that the backup lacks are set aside
// under another name and said; those the backup holds come back.
TEST_F(AsciiRestoreTest, TheRecordsOfAnImportRunGoWithTheBooks) {
  const std::string without = BackUp("sans");
  const std::string pieces = demo_ + "casdemo.pcs", totals = demo_ + "casdemo.tot";
  std::ofstream(pieces, std::ios::binary) << "pieces de la sauvegarde";
  std::ofstream(totals, std::ios::binary) << "totaux de la sauvegarde";
  const std::string with = BackUp("avec");

  std::ofstream(pieces, std::ios::binary) << "pieces d'apres";
  std::string said = Restore(without, "restore-ascii-records-set-aside");
  EXPECT_NE(said.find("Mis de c\xF4t\xE9"), std::string::npos) << said;
  std::map<std::string, std::string> aside;
  for (const auto& e : fs::directory_iterator(demo_)) {
    const std::string name = e.path().filename().string();
    if (name.rfind("casdemo-avant-restauration-", 0) == 0) aside[fs::path(name).extension().string()] = name;
  }
  ASSERT_EQ(aside.size(), 2u) << said;
  EXPECT_NE(said.find("   casdemo.pcs  ->  " + aside[".pcs"] + "\n"), std::string::npos) << said;
  EXPECT_NE(said.find("   casdemo.tot  ->  " + aside[".tot"] + "\n"), std::string::npos) << said;
  EXPECT_EQ(ReadAll(demo_ + aside[".pcs"]), "pieces d'apres");
  EXPECT_FALSE(fs::exists(pieces));
  EXPECT_FALSE(fs::exists(totals));

  said = Restore(with, "restore-ascii-records-restored");
  EXPECT_NE(said.find("   casdemo.pcs\n"), std::string::npos) << said;
  EXPECT_NE(said.find("   casdemo.tot\n"), std::string::npos) << said;
  EXPECT_EQ(ReadAll(pieces), "pieces de la sauvegarde");
  EXPECT_EQ(ReadAll(totals), "totaux de la sauvegarde");
}

// A run stopped half-way in the books backed up, finished after the backup: restored, the run
// is stopped again, with its pieces record, and the file imported again is resumed, every line
// once.
TEST_F(AsciiRestoreTest, ARunStoppedHalfWayInTheBackupIsStoppedAgainOnceRestored) {
  // The import killed once its start line is in the log, before its first line is written.
  std::ofstream(file_, std::ios::binary) << Entries();
  const std::string log = LogPath(".txt");
  test_support::KillWhen() = [log] {
    std::string text;
    platform::ReadWholeFile(log, text);
    return text.find(" - D\xE9" "but - ") != std::string::npos;
  };
  const int status = test_support::RunInChild([this] {
    dbase::BeforeFileChange = test_support::KillWhenDue;
    Table c50, c60;
    if (!OpenForImport(c50, c60)) return 1;
    const processing::AsciiRead read = processing::ReadAsciiFile(*TableC10, *TableC20, c50, file_);
    return processing::ImportAsciiFile(*TableC10, c50, c60, read).written ? 0 : 1;
  });
  test_support::KillWhen() = nullptr;
  ASSERT_EQ(status, 128 + SIGKILL);
  // The opening finishes the import: nothing of it in the draft, the log names it stopped.
  ModalSeam::Reset();
  OpenThroughDialog(C10Path(demo_, "DEMO"), [] { ModalSeam::QueueMessageBoxAnswer(gui::IDOK); });
  ASSERT_TRUE(OpenOn("DEMO")) << ShownTexts();
  ASSERT_EQ(DraftLines(), 0);
  const std::string stopped = BackUp("arret");
  Tried t = Import();
  ASSERT_FALSE(t.read.stoppedRun.empty());
  ASSERT_TRUE(t.run.written) << t.run.message;
  ASSERT_EQ(DraftLines(), 4);

  const std::string said = Restore(stopped, "restore-ascii-stopped");
  EXPECT_NE(said.find("interrompues dans les livres restaur\xE9s\n"), std::string::npos) << said;
  EXPECT_NE(said.find("   " + file_ + "\n"), std::string::npos) << said;
  EXPECT_EQ(DraftLines(), 0);
  t = Import();
  EXPECT_TRUE(t.read.importedBefore.empty()) << t.read.importedBefore;
  EXPECT_NE(t.read.stoppedRun.find(file_), std::string::npos) << t.read.stoppedRun;
  EXPECT_TRUE(t.run.written) << t.run.message;
  EXPECT_EQ(DraftLines(), 4);
}

}  // namespace
