// "Imprimer" of the trial balances into a PDF through the program's printer (set up by 20207):
// every list of the sequence in one job, each from a new page, the sections under the analytic
// layout; what the printout shows of the general balance is what its preview shows.
#include "balance_window_fixture.h"

#include <regex>

#include "support/pdf_tools.h"

namespace balances_window_test {
namespace {

using test_support::PdfPages;
using test_support::PdfText;
using test_support::Tool;

class BalancePrintingTest : public BalanceWindowTest {
 protected:
  std::string SetUpPrinter(const std::string& name) { return SetUpPdfPrinter("balances", name); }
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
