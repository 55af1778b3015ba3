// An exported report previewed to its end: the preview renders every page by itself and closes,
// and the user chooses what follows: "Oui" opens the file with the desktop's viewer, "Non" asks a
// recipient and opens an e-mail message whose attachment is the file byte for byte (Python's
// email module), "Annuler" nothing. A file that cannot be created is said once, and nothing is
// offered; a name that is a pipe or a folder is refused so, and a pipe never holds the program.
#include "report_window_fixture.h"

#include "platform/gui/dialog.h"
#include "platform/system/files.h"
#include "reports/engine/core/export_followup.h"
#include "support/fifo_guard.h"

using namespace report_test;

namespace {

class ExportFollowUpTest : public ReportWindowTest {
 protected:
  void SetUp() override {
    ReportWindowTest::SetUp();
    MakeReportSet('0', {{"TS-EXPORT", "Export", "[Export:csv][Export][TT-Init]" + OneAccountAPage()}});
    std::string templ;
    ASSERT_TRUE(platform::ReadWholeFile(std::string(MERLON_SOURCE_DIR) + "/src/resources/files/CRefEML.txt", templ));
    ASSERT_TRUE(platform::WriteFileAtomic(ProgramFolder + "CRefEML.txt", templ));
  }
  // The exported report previewed: it closes itself at the end of the data.
  // `answers` queues what the follow-up asks, after the choice.
  void RunExport(AccountsReport* report, const std::function<void()>& answers = {}) {
    QueueChoice(gui::IDOK, 0);
    if (answers) answers();
    Send(report, 20035);
  }
  std::string ExportPath() const { return folder_ + "cxprp.csv"; }
  // The questions of the follow-up that were asked.
  static int FollowUps() {
    int n = 0;
    for (const gui::ShownModal& s : gui::ModalSeam::Shown())
      n += s.kind == gui::ModalKind::MessageBox && s.caption == "Fichier d'exportation" ? 1 : 0;
    return n;
  }
};

TEST_F(ExportFollowUpTest, YesOpensTheFileWithTheDesktopsViewer) {
  AccountsReport* report = OpenReport();
  report->exportHeading = "Comptes;de;test";
  RunExport(report, [] { gui::ModalSeam::QueueMessageBoxAnswer(gui::IDYES); });
  EXPECT_EQ(CurrentPreviewWindow, nullptr) << "the exported preview closes at the end of its data";
  EXPECT_EQ(report->endNotices, 1);
  ASSERT_EQ(FollowUps(), 1) << test_support::ShownTexts();
  const gui::ShownModal* box = gui::ModalSeam::LastShown();
  EXPECT_EQ(box->buttons, static_cast<unsigned>(gui::MB_YESNOCANCEL));
  EXPECT_NE(box->text.find(ExportPath()), std::string::npos) << box->text;
  test_support::ScreenshotMessage(*box, "reports", "export-followup");
  ASSERT_EQ(launched.size(), 1u);
  EXPECT_EQ(launched[0], (std::vector<std::string>{"xdg-open", ExportPath()}));
  // Every account's line, one row each, ";" between its cells.
  const std::string csv = ReadAll(ExportPath());
  EXPECT_EQ(csv.rfind("Comptes;de;test\r\n", 0), 0u) << csv.substr(0, 80);
  EXPECT_FALSE(WriteExportLineVisu("plus rien")) << "the export file is closed with its preview";
  // Texts are quoted; a code of digits without a leading zero is a plain number.
  auto cell = [](const std::string& text) {
    const bool number = !text.empty() && text[0] != '0' && text.find_first_not_of("0123456789") == std::string::npos;
    return number ? text : "\"" + text + "\"";
  };
  for (const auto& [code, name] : report->accounts)
    EXPECT_NE(csv.find("\"Compte\";" + cell(code) + ";" + cell(name)), std::string::npos) << code << "\n" << csv;
  EXPECT_EQ(reports::ExportFile().Handle(), 0);
}

TEST_F(ExportFollowUpTest, NoSendsItAsTheAttachmentOfAnEmail) {
  AccountsReport* report = OpenReport();
  RunExport(report, [] {
    gui::ModalSeam::QueueMessageBoxAnswer(gui::IDNO);
    gui::ModalSeam::QueueDialogAnswer(gui::IDOK, [](gui::Window& w) {
      static_cast<gui::Dialog&>(w).SetItemText(1202, "compta@exemple.fr");
    });
  });
  const std::string eml = folder_ + "cxprp.eml";
  ASSERT_EQ(launched.size(), 1u) << test_support::ShownTexts();
  EXPECT_EQ(launched[0], (std::vector<std::string>{"xdg-open", eml}));
  const std::string out = test_support::RunPythonScript(
      "import email, sys\n"
      "m = email.message_from_binary_file(open('" + eml + "', 'rb'))\n"
      "print(m['To'])\n"
      "print(m['Subject'])\n"
      "for part in m.walk():\n"
      "    if part.get_filename():\n"
      "        data = part.get_payload(decode=True)\n"
      "        print(part.get_filename())\n"
      "        print(data == open('" + ExportPath() + "', 'rb').read())\n",
      true);
  // The subject is the run's document title.
  EXPECT_EQ(out, "compta@exemple.fr\nRP-Visualisation-Comptes-de-test\ncxprp.csv\nTrue\n");
}

TEST_F(ExportFollowUpTest, CancelLeavesTheFile) {
  AccountsReport* report = OpenReport();
  RunExport(report, [] { gui::ModalSeam::QueueMessageBoxAnswer(gui::IDCANCEL); });
  EXPECT_EQ(FollowUps(), 1);
  EXPECT_TRUE(launched.empty());
  EXPECT_TRUE(platform::FileExists(ExportPath()));
}

TEST_F(ExportFollowUpTest, AFileThatCannotBeCreatedIsSaidOnceAndNothingIsOffered) {
  // The export's name (program INI) lies under a file, not a folder: nobody can create it.
  IniSetString("NomFichierExport", (folder_ + "c10rp.dbf/export.csv").c_str());
  AccountsReport* report = OpenReport();
  RunExport(report);
  IniSetString("NomFichierExport", "");
  auto said = [] {
    int n = 0;
    for (const gui::ShownModal& s : gui::ModalSeam::Shown()) {
      if (s.text.find("Impossible de cr\xE9" "er le fichier d'exportation") == std::string::npos) continue;
      ++n;
      test_support::ScreenshotMessage(s, "reports", "export-not-created");
    }
    return n;
  };
  EXPECT_EQ(said(), 1) << test_support::ShownTexts();
  EXPECT_EQ(FollowUps(), 0);
  EXPECT_TRUE(launched.empty());
  // The report was previewed all the same; the user closes it.
  ASSERT_NE(CurrentPreviewWindow, nullptr);
  Send(CurrentPreviewWindow, visu_cmd::Quitter);
  EXPECT_EQ(CurrentPreviewWindow, nullptr);
  EXPECT_EQ(FollowUps(), 0);
  EXPECT_EQ(said(), 1) << "said again when the preview closed";
  EXPECT_EQ(reports::ExportFile().Handle(), 0);
}

// The export's name (program INI) stands for a pipe or a folder: refused once, in French, with the
// name; nothing said to be ready, nothing offered or written; the run never waits on the pipe.
TEST_F(ExportFollowUpTest, APipeOrAFolderAsTheExportIsRefusedAndNothingIsOffered) {
  test_support::FifoGuard pipe(folder_ + "tube.csv");
  ASSERT_TRUE(pipe.Made());
  const std::string folder = folder_ + "export.csv";
  ASSERT_TRUE(platform::MakeDirectories(folder));
  for (const std::string& target : {pipe.Path(), folder}) {
    IniSetString("NomFichierExport", target.c_str());
    AccountsReport* report = OpenReport();
    RunExport(report);
    IniSetString("NomFichierExport", "");
    std::vector<gui::ShownModal> refusals;
    for (const gui::ShownModal& s : gui::ModalSeam::Shown())
      if (s.text.find("   " + target + "\n\nest celui d'un r\xE9pertoire, d'un tube ou d'un p\xE9riph\xE9rique") !=
          std::string::npos)
        refusals.push_back(s);
    EXPECT_EQ(refusals.size(), 1u) << target << "\n" << test_support::ShownTexts();
    if (target == folder && !refusals.empty())
      test_support::ScreenshotMessage(refusals[0], "reports", "export-not-a-file");
    EXPECT_EQ(FollowUps(), 0) << target;
    EXPECT_TRUE(launched.empty()) << target;
    if (CurrentPreviewWindow != nullptr) Send(CurrentPreviewWindow, visu_cmd::Quitter);
    EXPECT_EQ(reports::ExportFile().Handle(), 0);
  }
  pipe.Done();
  EXPECT_FALSE(pipe.Released()) << "the export waited on the pipe";
  EXPECT_TRUE(std::filesystem::is_empty(folder));
  // The message file of an export's e-mail is refused alike: never waited on, never written.
  test_support::FifoGuard message(folder_ + "cxprp.eml");
  ASSERT_TRUE(message.Made());
  std::string eml;
  EXPECT_FALSE(reports::WriteExportEmail(ExportPath(), "compta@exemple.fr", "Titre", eml));
  message.Done();
  EXPECT_FALSE(message.Released()) << "the message waited on the pipe";
}

}  // namespace
