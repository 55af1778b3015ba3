// "Imprimer" of the trial balances into a PDF through the program's printer (set up by 20207):
// every list of the sequence in one job, each from a new page, the sections under the analytic
// layout; what the printout shows of the general balance is what its preview shows.
#include "balance_window_fixture.h"

#include <regex>

namespace balances_window_test {
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

// One page of the PDF as pdftotext lays it out (UTF-8), runs of blanks made one.
std::string PdfText(const std::string& pdf, int page) {
  const std::string out = pdf + ".txt";
  Tool({"pdftotext", "-layout", "-enc", "UTF-8", "-f", std::to_string(page), "-l", std::to_string(page), pdf, out});
  std::string utf8;
  platform::ReadWholeFile(out, utf8);
  std::filesystem::remove(out);
  return std::regex_replace(utf8, std::regex(" +"), " ");
}

class BalancePrintingTest : public BalanceWindowTest {
 protected:
  std::string SetUpPrinter(const std::string& name) {
    const std::string pdf = test_support::ArtefactPath("balances", name + ".pdf");
    std::filesystem::remove(pdf);
    gui::ModalSeam::QueuePrintSetupAnswer(gui::IDOK, pdf);
    gui::SendCommand(CommandWindow->GetHandle(), 20207);
    gui::ProcessPendingMessages();
    return pdf;
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

}  // namespace
}  // namespace balances_window_test
