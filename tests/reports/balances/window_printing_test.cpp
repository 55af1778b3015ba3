// "Imprimer" of the trial balances into a PDF through the program's printer (set up by 20207):
// every list of the sequence in one job, each from a new page, the sections under the analytic
// layout; what the printout shows of the general balance is what its preview shows.
#include "balance_window_fixture.h"

#include <algorithm>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>

#include "data/dossier_files.h"
#include "data/write_targets.h"
#include "platform/gui/filedialog.h"
#include "platform/gui/printer.h"
#include "runtime/access_rights.h"
#include "runtime/inifiles.h"
#include "runtime/xbase.h"
#include "reports/engine/visu_window.h"
#include "shell/program_printer.h"
#include "support/csv_cells.h"
#include "support/draft_piece.h"
#include "support/pdf_tools.h"
#include "support/wide_amounts.h"

namespace balances_window_test {
namespace {

using test_support::PdfPages;
using test_support::PdfText;
using test_support::Tool;

class BalancePrintingTest : public BalanceWindowTest {
 protected:
  std::string SetUpPrinter(const std::string& name) { return SetUpPdfPrinter("balances", name); }

  // The check of the files of prints and exports, installed as the start-up installs it, for the
  // life of the object.
  struct TargetCheck {
    TargetCheck() { gui::SetWriteTargetCheck(&WriteTargetRefusal); }
    ~TargetCheck() { gui::SetWriteTargetCheck({}); }
  };

  // The form of the general balance open, the program's printer the PDF-file printer.
  void OpenGeneralOnPdfFilePrinter() {
    UsePdfFilePrinter();
    OpenPair();
    form_->SelectKind('G');
  }

  // How many message boxes shown since the seam's last reset said `said`.
  static int Refusals(const std::string& said) {
    int refused = 0;
    for (const gui::ShownModal& shown : gui::ModalSeam::Shown())
      if (shown.kind == gui::ModalKind::MessageBox && shown.text.find(said) != std::string::npos) ++refused;
    return refused;
  }

  // "Imprimer" of the open form on the PDF-file printer, its file dialog answered with `target`,
  // then, when that is refused, with `pdf`.
  void PrintAsking(const std::string& target, const std::string& pdf) {
    std::filesystem::remove(pdf);
    QueueChoice(gui::IDOK, kStd);
    gui::ModalSeam::QueueFileAnswer(target);
    gui::ModalSeam::QueueFileAnswer(pdf);
    Send(form_, 20041);
  }
};

TEST_F(BalancePrintingTest, ToutesPrintsEveryListInOneJobEachFromANewPage) {
  const std::string pdf = SetUpPrinter("balances-toutes");
  OpenPair();
  form_->DateTo()->SetText(TheDossierRecord.DateDisplay(DossierRecord::DateField::YearEnd));
  QueueChoice(gui::IDOK, kStd);
  Send(form_, 20041);
  ASSERT_TRUE(std::filesystem::exists(pdf)) << test_support::ShownTexts();
  EXPECT_EQ(Tool({"qpdf", "--check", pdf}).exitStatus, 0);
  EXPECT_FALSE(PrintRunFlag);
  EXPECT_EQ(Active(), form_);
  const int pages = PdfPages(pdf);
  ASSERT_GE(pages, 5);
  // Each list begins on a page of its own, in the order of the sequence; the sections are
  // printed through the analytic layout, which names them.
  const char* titles[] = {"Balance GENERALE", "Balance RESULTAT", "Balance ANALYTIQUE"};
  std::vector<int> first;
  for (const char* title : titles) {
    int found = 0;
    for (int p = 1; p <= pages && found == 0; ++p)
      if (PdfText(pdf, p).find(title) != std::string::npos) found = p;
    ASSERT_GT(found, 0) << title;
    first.push_back(found);
  }
  EXPECT_LT(first[0], first[1]);
  EXPECT_LT(first[1], first[2]);
  EXPECT_EQ(PdfText(pdf, first[1]).find("Balance GENERALE"), std::string::npos);
  EXPECT_EQ(first[2], pages) << PdfText(pdf, pages);
  // The general balance ends with its grand total and the result.
  std::string general;
  for (int p = first[0]; p < first[1]; ++p) general += PdfText(pdf, p);
  EXPECT_NE(general.find("Total g\xC3\xA9n\xC3\xA9ral"), std::string::npos) << general;
  EXPECT_NE(general.find("R\xC3\xA9sultat:"), std::string::npos);
}

// A piece of 99 999 000 000.00 on each side (as an amount field and the totals take it; eight lines
// each way, none past what a line takes) in November's sales:
// the general balance prints the bank's and the sales' debits, credits and balances, its totals
// and the line of its result with every thousands' blank and their side, each ending where its
// column's heading ends, on screen and in the PDF, every word inside the page.
TEST_F(BalancePrintingTest, TenBillionsPrintGroupedInTheirColumnsAndTheResultUnderTheBalance) {
  TotalsOverflow overflow;
  ASSERT_EQ(test_support::WriteIntoOpenDossier(test_support::WidePiece("C511VE ", 99999000000.00, 0.0, 8), &overflow),
            DraftWrite::Written)
      << overflow.kind << " " << overflow.code << " room " << overflow.room;
  const std::string pdf = SetUpPrinter("balance-dix-milliards");
  OpenPair();
  form_->SelectKind('G');
  form_->DateTo()->SetText(TheDossierRecord.DateDisplay(DossierRecord::DateField::YearEnd));
  QueueChoice(gui::IDOK, kStd);
  Send(form_, 20041);
  ASSERT_TRUE(std::filesystem::exists(pdf)) << test_support::ShownTexts();
  QueueChoice(gui::IDOK, kStd);
  Send(form_, 20035);
  TWVisuWindow* w = CurrentPreviewWindow;
  ASSERT_NE(w, nullptr) << test_support::ShownTexts();
  Send(w, visu_cmd::ToutesLesPages);
  test_support::Screenshot(w->Widget(), "balances", "balance-dix-milliards");

  const test_support::WideAmounts wide =
      test_support::WideAmountsOf(w->Context().store, {"D\xE9" "bit", "Cr\xE9" "dit", "Solde"});
  for (const std::string& fault : wide.faults) ADD_FAILURE() << fault;
  // The bank's and the sales' amounts and balances, the grand totals, the result.
  EXPECT_GE(wide.texts.size(), 7u) << ::testing::PrintToString(wide.texts);
  std::string page;
  for (int p = 1; p <= w->Context().store.PageCount(); ++p) page += PageText(w, p);
  EXPECT_TRUE(std::regex_search(page, std::regex("R\xE9sultat: [A-Za-z\xE9]+ +[0-9]{2}( [0-9]{3}){3}\\.[0-9]{2} (Db|Cr)")))
      << page;
  for (const std::string& fault : test_support::PdfWideAmountFaults(pdf, wide)) ADD_FAILURE() << fault;
  w->CmQuitVisu();
  gui::ProcessPendingMessages();
}

// Where no printer is installed the program prints to the PDF-file printer: the general balance's
// "Imprimer" asks the file through the file dialog, and the PDF holds the account code and the
// figures of every row of the balance's CSV export.
TEST_F(BalancePrintingTest, WithoutAPrinterTheGeneralBalancePrintsToAPdfFileHoldingItsCsvFigures) {
  UsePdfFilePrinter();
  EXPECT_EQ(ProgramPrinter()->DeviceName(), "PDF");
  const std::string pdf = test_support::ArtefactPath("balances", "balance-generale-fichier.pdf");
  std::filesystem::remove(pdf);
  OpenPair();
  form_->SelectKind('G');
  QueueChoice(gui::IDOK, kStd);
  gui::ModalSeam::QueueFileAnswer(pdf);
  Send(form_, 20041);
  ASSERT_TRUE(std::filesystem::exists(pdf)) << test_support::ShownTexts();
  const gui::ShownModal* asked = nullptr;
  for (const gui::ShownModal& shown : gui::ModalSeam::Shown())
    if (shown.kind == gui::ModalKind::FileSave) asked = &shown;
  ASSERT_NE(asked, nullptr);
  EXPECT_EQ(asked->caption, "Imprimer dans un fichier PDF");
  EXPECT_NE(asked->text.find(folder_), std::string::npos) << "proposed in the dossier's folder: " << asked->text;
  EXPECT_EQ(Tool({"qpdf", "--check", pdf}).exitStatus, 0);
  EXPECT_FALSE(PrintRunFlag);
  const std::string printed = test_support::PdfAllText(pdf);
  const std::vector<long long> amounts = test_support::AmountsIn(printed);

  // The CSV export of the same balance.
  const std::string csvPath = ExportThroughPreview(form_, kCsv, ".csv");
  ASSERT_FALSE(csvPath.empty()) << test_support::ShownTexts();
  std::ifstream in(csvPath, std::ios::binary);
  std::stringstream csv;
  csv << in.rdbuf();
  const std::vector<std::vector<std::string>> rows = CsvRows(csv.str());
  ASSERT_GT(rows.size(), 5u);
  const std::vector<std::string>& names = rows[0];
  auto column = [&](const char* name) {
    return static_cast<std::size_t>(std::find(names.begin(), names.end(), name) - names.begin());
  };
  const std::size_t code = column("COMPTE"), debit = column("DEBIT"), credit = column("CREDIT");
  ASSERT_LT(std::max({code, debit, credit}), names.size());
  std::size_t compared = 0;
  for (std::size_t i = 1; i < rows.size(); ++i) {
    const std::vector<std::string>& c = rows[i];
    if (c.size() != names.size()) continue;
    std::string account = c[code];
    account.erase(account.find_last_not_of(' ') + 1);
    SCOPED_TRACE(account);
    EXPECT_NE(printed.find(account), std::string::npos) << "the account is printed";
    for (std::size_t k : {debit, credit}) {
      const long long cents = test_support::AmountCents(c[k]);
      if (cents == 0) continue;
      EXPECT_NE(std::find(amounts.begin(), amounts.end(), cents), amounts.end()) << names[k] << " " << c[k];
    }
    ++compared;
  }
  EXPECT_GT(compared, 5u);
  test_support::Tool({"pdftoppm", "-png", "-r", "60", "-f", "1", "-l", "1", pdf,
                      test_support::ArtefactPath("balances", "balance-generale-fichier")});
}

// A print or an export named as a file of the open dossier or of the program (as typed, in
// upper case, through a link to the dossier's folder) is refused in French: the PDF-file
// printer asks again and prints into the next file chosen, the export is not written; the
// dossier's tables and the program's files stay as they were.
TEST_F(BalancePrintingTest, NothingIsPrintedOrExportedOverAFileOfTheDossierOrOfTheProgram) {
  const TargetCheck check;
  namespace fs = std::filesystem;
  const std::string codeUpper = RTrim(DossierCode.c_str()), code = Lower(codeUpper.c_str());
  const std::string link = root_ + "/vers-le-dossier";
  fs::create_directory_symlink(fs::path(folder_).parent_path(), link);
  const std::string batch = ProgramFolder + "CRESTA9.BAT";
  std::ofstream(batch) << "#!/bin/sh\n";
  const std::string dossierText = "fichier du dossier ouvert", programText = "fichier du programme";
  const struct Case {
    std::string target, protectedFile;
    const std::string& said;
  } cases[] = {
      {folder_ + "c70" + code + ".dbf", folder_ + "c70" + code + ".dbf", dossierText},
      {folder_ + "C20" + codeUpper + ".DBF", folder_ + "c20" + code + ".dbf", dossierText},
      {link + "/c40" + code + ".mdx", folder_ + "c40" + code + ".mdx", dossierText},
      {folder_ + "c" + code + ".run", folder_ + "c" + code + ".run", dossierText},
      // The chart's memo file, in upper case: its notes would be lost under the print.
      {folder_ + "C20" + codeUpper + ".DBT", folder_ + "c20" + code + ".dbt", dossierText},
      {ProgramFolder + "cresta9.bat", batch, programText},
  };
  OpenGeneralOnPdfFilePrinter();
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.target);
    const std::string before = ReadAll(c.protectedFile);
    const std::string pdf = test_support::ArtefactPath("balances", "refus-" + std::to_string(++n) + ".pdf");
    gui::ModalSeam::Reset();
    PrintAsking(c.target, pdf);
    EXPECT_TRUE(fs::exists(pdf)) << test_support::ShownTexts();
    EXPECT_EQ(ReadAll(c.protectedFile), before);
    EXPECT_EQ(Refusals(c.said), 1) << test_support::ShownTexts();
  }

  // The export file named in the settings: refused, the table as it was.
  const std::string table = folder_ + "c70" + code + ".dbf";
  const std::string before = ReadAll(table);
  IniSetString("NomFichierExport", (folder_ + "C70" + codeUpper + ".dbf").c_str());
  ExportThroughPreview(form_, kCsv, ".csv");
  IniSetString("NomFichierExport", "");
  EXPECT_EQ(ReadAll(table), before);
  bool said = false;
  for (const gui::ShownModal& shown : gui::ModalSeam::Shown()) said = said || shown.text.find(dossierText) != std::string::npos;
  EXPECT_TRUE(said) << test_support::ShownTexts();
  fs::remove(link);
}

// Every other name of a dossier's file is refused too: a file of another dossier of the folder,
// the open dossier's record of imported transactions, a hard link outside the folder to a table,
// a link to a table (the file linked, not its folder). Nothing of the dossiers' folder changes,
// byte for byte, whether the PDF-file printer or the export names the file. A file that has
// another name the check cannot know is replaced by the PDF, never written through.
TEST_F(BalancePrintingTest, NoPrintOrExportIsWrittenOverAnyNameOfADossiersFile) {
  const TargetCheck check;
  namespace fs = std::filesystem;
  const std::string codeUpper = RTrim(DossierCode.c_str()), code = Lower(codeUpper.c_str());
  // Dossier CD beside the open one, and the open dossier's record of imported transactions.
  fs::copy_file(folder_ + "c10" + code + ".dbf", folder_ + "c10cd.dbf");
  fs::copy_file(folder_ + "c40" + code + ".dbf", folder_ + "c40cd.dbf");
  std::ofstream(folder_ + "c10cd.ini") << "[DateTravail]\r\n";
  std::ofstream(folder_ + "cof" + codeUpper + ".txt") << "FITID-0001\nFITID-0002\n";
  const std::string out = root_ + "/dehors/";
  fs::create_directories(out);
  fs::create_hard_link(folder_ + "c40" + code + ".dbf", out + "balance-dur.pdf");
  fs::create_symlink(folder_ + "c50" + code + ".dbf", out + "balance-lien.pdf");
  // The dossier's files as they are, but its log, which the runs write.
  auto folderBytes = [&] {
    std::map<std::string, std::string> files;
    for (const auto& e : fs::directory_iterator(folder_))
      if (e.is_regular_file() && e.path().filename().string().rfind("clg", 0) != 0)
        files[e.path().filename().string()] = ReadAll(e.path().string());
    return files;
  };
  const auto before = folderBytes();
  const std::string otherText = "fichier du dossier CD", openText = "fichier du dossier ouvert",
                    sameText = "autre nom du fichier";
  const struct Case {
    std::string target;
    const std::string& said;
    std::string shot;  // the box the user sees, as it shows
  } cases[] = {
      {folder_ + "c40cd.dbf", otherText, "refus-fichier-autre-dossier"},
      {folder_ + "c10cd.ini", otherText, ""},
      {folder_ + "cof" + codeUpper + ".txt", openText, ""},
      {out + "balance-dur.pdf", sameText, "refus-autre-nom-du-fichier"},
      {out + "balance-lien.pdf", openText, ""},
  };
  OpenGeneralOnPdfFilePrinter();
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.target);
    const std::string pdf = test_support::ArtefactPath("balances", "refus-dossier-" + std::to_string(++n) + ".pdf");
    gui::ModalSeam::Reset();
    if (!c.shot.empty())
      gui::ModalSeam::BuildMessageBoxes([&c](QWidget* box) { test_support::Screenshot(box, "balances", c.shot); });
    PrintAsking(c.target, pdf);
    gui::ModalSeam::BuildMessageBoxes({});
    EXPECT_TRUE(fs::exists(pdf)) << test_support::ShownTexts();
    EXPECT_EQ(Refusals(c.said), 1) << test_support::ShownTexts();
    EXPECT_TRUE(folderBytes() == before);
  }

  // The same names given to the export.
  for (const Case& c : cases) {
    SCOPED_TRACE("export " + c.target);
    IniSetString("NomFichierExport", c.target.c_str());
    ExportThroughPreview(form_, kCsv, ".csv");
    IniSetString("NomFichierExport", "");
    EXPECT_GE(Refusals(c.said), 1) << test_support::ShownTexts();
    EXPECT_TRUE(folderBytes() == before);
  }

  // A file with another name elsewhere: the PDF takes the name chosen, the other name keeps its bytes.
  fs::create_directories(root_ + "/ailleurs");
  std::ofstream(root_ + "/ailleurs/donnees.bin") << "donnees d'ailleurs";
  fs::create_hard_link(root_ + "/ailleurs/donnees.bin", out + "balance-ailleurs.pdf");
  gui::ModalSeam::Reset();
  QueueChoice(gui::IDOK, kStd);
  gui::ModalSeam::QueueFileAnswer(out + "balance-ailleurs.pdf");
  Send(form_, 20041);
  EXPECT_TRUE(ReadAll(root_ + "/ailleurs/donnees.bin") == "donnees d'ailleurs") << "written through the other name";
  EXPECT_EQ(Tool({"qpdf", "--check", out + "balance-ailleurs.pdf"}).exitStatus, 0) << test_support::ShownTexts();
  EXPECT_TRUE(folderBytes() == before);
}

}  // namespace
}  // namespace balances_window_test
