// Printouts through the program's printer set up by 20207 to print into a PDF file: a report's
// page range prints as the preview shows those pages (pdfinfo, pdftotext, qpdf), [Si-Impr] kept
// and [Si-Visu] dropped; the page the preview shows prints as one page; the second printer
// prints from its own set in its own fonts and is put back afterwards; the date and hour at
// each page's foot; a PDF file that is a pipe or a folder refused.
#include "report_window_fixture.h"

#include <regex>
#include <set>
#include <sstream>

#include "platform/gui/combobox.h"
#include "data/write_targets.h"
#include "platform/gui/dialog.h"
#include "platform/gui/filedialog.h"
#include "platform/system/files.h"
#include "platform/system/write_fault.h"
#include "support/fifo_guard.h"

using namespace report_test;

namespace {

platform::LaunchResult Tool(const std::vector<std::string>& argv) {
  platform::LaunchOptions o;
  o.wait = true;
  o.captureOutput = true;
  return platform::LaunchProcess(argv, o);
}

int PdfPages(const std::string& pdf) {
  const std::string out = Tool({"pdfinfo", pdf}).output;
  std::smatch m;
  return std::regex_search(out, m, std::regex("Pages:\\s+(\\d+)")) ? std::stoi(m[1]) : -1;
}

// The text of the PDF (or of one page) as pdftotext lays it out, runs of blanks made one.
std::string PdfText(const std::string& pdf, int page = 0) {
  std::vector<std::string> argv = {"pdftotext", "-layout"};
  if (page > 0) argv.insert(argv.end(), {"-f", std::to_string(page), "-l", std::to_string(page)});
  argv.insert(argv.end(), {pdf, "-"});
  return std::regex_replace(Tool(argv).output, std::regex(" +"), " ");
}

std::set<std::string> Words(const std::string& text) {
  std::set<std::string> words;
  std::istringstream in(text);
  for (std::string w; in >> w;) words.insert(w);
  return words;
}

class PrintingTest : public ReportWindowTest {
 protected:
  // "Configurer l'imprimante" (20207) answered with a PDF file: the program's printer prints there.
  std::string SetUpPrinter(const std::string& name) {
    const std::string pdf = test_support::ArtefactPath("reports", name + ".pdf");
    std::filesystem::remove(pdf);
    gui::ModalSeam::QueuePrintSetupAnswer(gui::IDOK, pdf);
    gui::SendCommand(CommandWindow->GetHandle(), 20207);
    gui::ProcessPendingMessages();
    return pdf;
  }
  // Every word the preview shows on its page, in the PDF page's text.
  static void ExpectSameWords(const TWVisuWindow* w, int previewPage, const std::string& pdf, int pdfPage) {
    const std::set<std::string> printed = Words(PdfText(pdf, pdfPage));
    for (const std::string& word : Words(PageText(w, previewPage)))
      EXPECT_TRUE(printed.count(word) == 1) << "\"" << word << "\" of page " << previewPage << " not printed";
  }
};

TEST_F(PrintingTest, ThePageRangePrintsAsThePreviewShowsIt) {
  const std::string pdf = SetUpPrinter("printout-2-4");
  ASSERT_NE(gui::ModalSeam::LastShown(), nullptr);
  EXPECT_EQ(gui::ModalSeam::LastShown()->kind, gui::ModalKind::PrintSetup);
  EXPECT_EQ(ProgramPrinter()->OutputFile(), pdf);
  AccountsReport* report = OpenReport();
  QueueChoice(gui::IDOK, 1, "2", "4");
  Send(report, 20041);
  ASSERT_TRUE(std::filesystem::exists(pdf)) << test_support::ShownTexts();
  EXPECT_EQ(PdfPages(pdf), 3);
  EXPECT_EQ(Tool({"qpdf", "--check", pdf}).exitStatus, 0);
  EXPECT_FALSE(PrintRunFlag);
  EXPECT_EQ(ProgramOption(17), 'N');
  const std::string text = PdfText(pdf);
  EXPECT_NE(text.find("De page 2 \xE0 4"), std::string::npos) << text;
  EXPECT_EQ(text.find(report->accounts[0].first), std::string::npos);
  EXPECT_EQ(text.find(report->accounts[4].first), std::string::npos);

  // The preview of the same pages shows what was printed.
  QueueChoice(gui::IDOK, 1, "2", "4");
  Send(report, 20035);
  TWVisuWindow* w = CurrentPreviewWindow;
  ASSERT_NE(w, nullptr);
  Send(w, visu_cmd::PageSuivante);
  Send(w, visu_cmd::PageSuivante);
  Send(w, visu_cmd::PageSuivante);
  for (int page = 2; page <= 4; ++page) {
    SCOPED_TRACE(page);
    ExpectSameWords(w, page, pdf, page - 1);
  }
}

TEST_F(PrintingTest, PrintBlocksAndThePrintersName) {
  MakeReportSet('0', {{"TS-SI", "Blocs", "Sur [Si-Impr]\xABpapier [DDev]\xBB[Si-Visu]\xAB\xE9" "cran\xBB\r\n"}});
  const std::string pdf = SetUpPrinter("printout-blocks");
  AccountsReport* report = OpenReport();
  QueueChoice(gui::IDOK, 0);
  Send(report, 20041);
  const std::string text = PdfText(pdf);
  EXPECT_NE(text.find("Sur papier PDF"), std::string::npos) << text;
  EXPECT_EQ(text.find("cran"), std::string::npos) << text;
  EXPECT_EQ(PdfPages(pdf), 1);
  QueueChoice(gui::IDOK, 0);
  Send(report, 20035);
  ASSERT_NE(CurrentPreviewWindow, nullptr);
  EXPECT_EQ(PageText(CurrentPreviewWindow, 1), "Sur \xE9" "cran");
}

TEST_F(PrintingTest, ThePageShownPrintsAsOnePage) {
  const std::string pdf = SetUpPrinter("printout-page-shown");
  AccountsReport* report = OpenReport();
  TWVisuWindow* w = Preview(report);
  ASSERT_NE(w, nullptr);
  Send(w, visu_cmd::PageSuivante);
  Send(w, visu_cmd::PageSuivante);
  ASSERT_EQ(w->Context().currentPage, 3);
  Send(w, visu_cmd::ImprimerEcran);
  EXPECT_FALSE(w->PrintPageBusy);
  EXPECT_EQ(CurrentPreviewWindow, w);
  ASSERT_TRUE(std::filesystem::exists(pdf));
  EXPECT_EQ(PdfPages(pdf), 1);
  EXPECT_EQ(Tool({"qpdf", "--check", pdf}).exitStatus, 0);
  ExpectSameWords(w, 3, pdf, 1);
  EXPECT_EQ(PdfText(pdf).find(report->accounts[1].first), std::string::npos);
  // Refused by the owner: the command is greyed and does nothing.
  const std::string refused = test_support::ArtefactPath("reports", "printout-refused.pdf");
  std::filesystem::remove(refused);
  ProgramPrinter()->SetOutputFile(refused);
  w->PrintPageDisabled = true;
  gui::CommandEnabler ce(visu_cmd::ImprimerEcran);
  w->EvCommandEnable(ce);
  EXPECT_FALSE(ce.Enabled());
  Send(w, visu_cmd::ImprimerEcran);
  EXPECT_FALSE(std::filesystem::exists(refused));
}

TEST_F(PrintingTest, SecondPrinterPrintsFromItsSetInItsFontsAndIsPutBack) {
  SetProgramOption(7, '1');
  MakeReportSet('1', {{"TS-LISTE", "Jeu B", OneAccountAPage("Jeu second")}});
  IniSetString("Police-1-ImpB", "Georgia,012/4A0");
  SetProgramOption(9, 'O');
  const std::string pdf = SetUpPrinter("printout-second");
  AccountsReport* report = OpenReport();
  // The second printer chosen: its set lists its own layouts.
  gui::ModalSeam::QueueDialogAnswer(gui::IDOK, [](gui::Window& w) {
    auto& d = static_cast<gui::Dialog&>(w);
    auto* combo = d.Item<gui::ComboBox>(choice_ids::kPrinters);
    ASSERT_NE(combo, nullptr);
    EXPECT_EQ(combo->GetCount(), 2);
    EXPECT_EQ(combo->GetString(0), "A: (imprimante en service)");
    combo->SetSelIndex(1);
    d.WindowProc(gui::WM_COMMAND, static_cast<std::uintptr_t>(choice_ids::kPrinters) | (gui::CBN_SELCHANGE << 16),
                 static_cast<std::intptr_t>(combo->GetHandle()));
    d.SetItemSel(choice_ids::kLayouts, 0);
    d.SetItemText(choice_ids::kLastPage, "2");
  });
  Send(report, 20041);
  ASSERT_TRUE(std::filesystem::exists(pdf)) << test_support::ShownTexts();
  EXPECT_EQ(PdfPages(pdf), 2);
  const std::string text = PdfText(pdf);
  EXPECT_NE(text.find("Jeu second"), std::string::npos) << text;
  EXPECT_NE(Tool({"pdffonts", pdf}).output.find("DejaVuSerif"), std::string::npos);
  // The date and hour at each page's foot.
  EXPECT_TRUE(std::regex_search(PdfText(pdf, 2), std::regex("\\d\\d/\\d\\d/\\d\\d \\d\\dh\\d\\d"))) << PdfText(pdf, 2);
  // Both are back: the first printer, its set.
  EXPECT_EQ(ProgramOption(8), 'N');
  EXPECT_EQ(ProgramPrinter()->OutputFile(), pdf);
  // The first printer prints from the set of option 6 in its own fonts.
  std::filesystem::remove(pdf);
  SetProgramOption(9, 'N');
  QueueChoice(gui::IDOK, 1, "", "1");
  Send(report, 20041);
  EXPECT_EQ(PdfText(pdf).find("Jeu second"), std::string::npos);
  EXPECT_EQ(Tool({"pdffonts", pdf}).output.find("DejaVuSerif"), std::string::npos);
  EXPECT_FALSE(std::regex_search(PdfText(pdf), std::regex("\\d\\d/\\d\\d/\\d\\d \\d\\dh\\d\\d")));
}

// A PDF file that its folder cannot take (a data file where the folder should be, a disk turned
// read-only) is said in one box: the file, its folder and what the system said; nothing printed.
TEST_F(PrintingTest, APrinterThatCannotPrintIsSaid) {
  using F = platform::WriteFault;
  const struct Case {
    const char* name;
    std::string file, folder;
    F fault;
    const char* why;
  } cases[] = {
      {"not-a-folder", folder_ + "c10rp.dbf/impossible.pdf", folder_ + "c10rp.dbf/", F::kNone,
       "un \xE9l\xE9ment du chemin n'est pas un dossier"},
      {"read-only", folder_ + "lecture-seule.pdf", folder_, F::kFailForGood, "disque en lecture seule"},
  };
  AccountsReport* report = OpenReport();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    gui::ModalSeam::Reset();
    ProgramPrinter()->SetOutputFile(c.file);
    QueueChoice(gui::IDOK, 1, "", "1");
    if (c.fault != F::kNone) platform::SetWriteFault(c.fault, 1);
    Send(report, 20041);
    platform::SetWriteFault(F::kNone, 0);
    std::vector<gui::ShownModal> boxes;
    for (const gui::ShownModal& s : gui::ModalSeam::Shown())
      if (s.kind == gui::ModalKind::MessageBox) boxes.push_back(s);
    ASSERT_EQ(boxes.size(), 1u) << test_support::ShownTexts();
    const std::string& said = boxes[0].text;
    EXPECT_NE(said.find("Impossible d'imprimer dans le fichier:\n\n" + c.file + "\n\nLe dossier " + c.folder +
                        " n'a pas pu le recevoir: " + c.why + "."),
              std::string::npos)
        << said;
    test_support::ScreenshotMessage(boxes[0], "reports", std::string("pdf-refused-") + c.name);
    EXPECT_FALSE(std::filesystem::exists(c.file));
    EXPECT_FALSE(PrintRunFlag);
  }
}

// "Imprimer dans un fichier PDF" writes a file: a name fixed by the set-up or chosen in the file
// dialog that stands for a pipe or a folder is refused in French and nothing is printed there (the
// dialog asks again); a pipe never holds the program.
TEST_F(PrintingTest, APdfFileThatIsAPipeOrAFolderIsRefused) {
  // The check of the files of prints and exports, as the start-up installs it.
  struct TargetCheck {
    TargetCheck() { gui::SetWriteTargetCheck(&WriteTargetRefusal); }
    ~TargetCheck() { gui::SetWriteTargetCheck({}); }
  } check;
  test_support::FifoGuard pipe(folder_ + "tube.pdf");
  ASSERT_TRUE(pipe.Made());
  const std::string folder = folder_ + "rapport.pdf";
  ASSERT_TRUE(platform::MakeDirectories(folder));
  auto refusals = [](const std::string& target) {
    std::vector<gui::ShownModal> found;
    for (const gui::ShownModal& s : gui::ModalSeam::Shown())
      if (s.caption == "Imprimer dans un fichier PDF" &&
          s.text.find("   " + target + "\n\nest celui d'un r\xE9pertoire") != std::string::npos)
        found.push_back(s);
    return found;
  };
  AccountsReport* report = OpenReport();
  for (const std::string& target : {pipe.Path(), folder}) {
    ProgramPrinter()->SetOutputFile(target);
    QueueChoice(gui::IDOK, 1, "", "1");
    Send(report, 20041);
    EXPECT_EQ(refusals(target).size(), 1u) << target << "\n" << test_support::ShownTexts();
    EXPECT_FALSE(PrintRunFlag);
  }
  const std::vector<gui::ShownModal> shown = refusals(pipe.Path());
  if (!shown.empty()) test_support::ScreenshotMessage(shown[0], "reports", "pdf-file-not-a-file");

  // Chosen in the file dialog of the PDF-file printer: refused, asked again, printed into the file.
  ProgramPrinter()->SelectPdfPrinter();
  const std::string pdf = test_support::ArtefactPath("reports", "pdf-after-refusal.pdf");
  std::filesystem::remove(pdf);
  QueueChoice(gui::IDOK, 1, "", "1");
  gui::ModalSeam::QueueFileAnswer(folder);
  gui::ModalSeam::QueueFileAnswer(pdf);
  Send(report, 20041);
  EXPECT_EQ(refusals(folder).size(), 2u) << test_support::ShownTexts();
  EXPECT_TRUE(std::filesystem::exists(pdf)) << test_support::ShownTexts();
  pipe.Done();
  EXPECT_FALSE(pipe.Released()) << "the printout waited on the pipe";
  EXPECT_TRUE(platform::DirectoryExists(folder));
  EXPECT_TRUE(std::filesystem::is_empty(folder));
}

}  // namespace
