// "Imprimer" of the ledger reports into a PDF through the program's printer (set up by 20207): the
// account statement and the journal listings print what their preview shows; the general ledgers
// print every ledger of the selection in one job, each from a new page.
#include "ledger_window_fixture.h"

#include <map>
#include <regex>

#include "platform/gui/printer.h"
#include "platform/system/cp1252.h"
#include "reports/engine/choice_dialogs.h"
#include "reports/engine/core/page_store.h"
#include "reports/engine/visu_window.h"
#include "runtime/access_rights.h"
#include "support/csv_cells.h"
#include "support/draft_piece.h"
#include "support/pdf_tools.h"
#include "support/wide_amounts.h"
#include "runtime/xbase.h"
#include <fstream>
#include <set>
#include <sstream>

namespace ledgers_window_test {
namespace {

using test_support::PdfPages;
using test_support::PdfText;
using test_support::Tool;

// The words of a text, but the hour of the run ("08h38"), which the printout and the preview
// read at their own minute.
std::set<std::string> Words(const std::string& text) {
  static const std::regex hour("[0-9][0-9]h[0-9][0-9]");
  std::set<std::string> words;
  std::istringstream in(text);
  for (std::string w; in >> w;)
    if (!std::regex_match(w, hour)) words.insert(w);
  return words;
}

class LedgerPrintingTest : public LedgerWindowTest {
 protected:
  std::string SetUpPrinter(const std::string& name) { return SetUpPdfPrinter("ledgers", name); }
  // "Imprimer" of the form into the printer's `pdf`, then "Visualiser": its preview.
  TWVisuWindow* PrintThenPreview(TWEtaModLedger* form, const std::string& pdf) {
    QueueChoice(gui::IDOK);
    Send(form, 20041);
    EXPECT_TRUE(std::filesystem::exists(pdf)) << test_support::ShownTexts();
    QueueChoice(gui::IDOK);
    Send(form, 20035);
    return CurrentPreviewWindow;
  }
  // The words of the preview's page (its text records, "^" shown as blanks) are the PDF page's.
  static void ExpectSameWords(const TWVisuWindow* w, int previewPage, const std::string& pdf, int pdfPage) {
    std::string shown = PageText(w, previewPage);
    for (char& c : shown)
      if (c == '^') c = ' ';
    const std::set<std::string> printed = Words(PdfText(pdf, pdfPage)),
                                previewed = Words(platform::Cp1252ToUtf8(shown));
    EXPECT_GT(previewed.size(), 10u);
    EXPECT_GT(printed.size(), 10u) << PdfText(pdf, pdfPage);
    for (const std::string& word : previewed)
      EXPECT_TRUE(printed.count(word) == 1) << "\"" << word << "\" of page " << previewPage << " not printed";
    for (const std::string& word : printed)
      EXPECT_TRUE(previewed.count(word) == 1) << "\"" << word << "\" printed, not on page " << previewPage;
  }
};

struct PrintCase {
  unsigned command;
  int formSlot;
  const char* name;
};

TEST_F(LedgerPrintingTest, TheStatementTheGeneralLedgerAndTheJournalsPrintWhatTheirPreviewShows) {
  const PrintCase cases[] = {{20501, kStatementFormSlot, "releve-411"},
                             {20502, kGeneralLedgersFormSlot, "grand-livre-general"},
                             {20503, kJournalsFormSlot, "journaux"}};
  for (const PrintCase& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string pdf = SetUpPrinter(c.name);
    Run(c.command);
    auto* form = Slot<TWEtaModLedger>(c.formSlot);
    ASSERT_NE(form, nullptr);
    if (auto* statement = dynamic_cast<TWEtaModCompte*>(form)) {
      statement->Account()->SetText("411");
      statement->DateTo()->SetText("31/08/25");
    }
    if (auto* ledger = dynamic_cast<TWEtaModGrandsLivres*>(form)) {
      ledger->KindCombo()->SetSelIndex(3);  // "Général": one ledger
      ledger->CmKindChanged();
      ledger->DateTo()->SetText("31/07/25");
    }
    QueueChoice(gui::IDOK);
    Send(form, 20041);
    ASSERT_TRUE(std::filesystem::exists(pdf)) << test_support::ShownTexts();
    EXPECT_EQ(Tool({"qpdf", "--check", pdf}).exitStatus, 0);
    EXPECT_FALSE(PrintRunFlag);
    // The form is back on top, then its preview shows what was printed.
    EXPECT_EQ(Active(), form);
    QueueChoice(gui::IDOK);
    Send(form, 20035);
    TWVisuWindow* w = CurrentPreviewWindow;
    ASSERT_NE(w, nullptr);
    ExpectSameWords(w, 1, pdf, 1);
    w->CmQuitVisu();
    gui::ProcessPendingMessages();
    form->CmQuitterForm();
    gui::ProcessPendingMessages();
  }
}

// The amounts of a summary's account line, left to right: its debit and its credit (a zero one
// not printed), then its balance on its side. Each with its cents and its thousands' blanks; the
// balance is the debit less the credit, or the reverse, to the cent.
void ExpectBalancedLine(const std::vector<std::string>& cells, const std::string& where, int& grouped) {
  static const std::regex amount("[0-9]{1,3}( [0-9]{3})*\\.[0-9]{2}");
  ASSERT_TRUE(cells.size() == 2 || cells.size() == 3) << where << ": " << ::testing::PrintToString(cells);
  for (const std::string& c : cells) {
    EXPECT_TRUE(std::regex_match(c, amount)) << where << ": '" << c << "'";
    if (c.find(' ') != std::string::npos) ++grouped;
  }
  const long long first = test_support::AmountCents(cells[0]), balance = test_support::AmountCents(cells.back());
  const long long second = cells.size() == 3 ? test_support::AmountCents(cells[1]) : 0;
  EXPECT_EQ(balance, first > second ? first - second : second - first) << where << ": " << ::testing::PrintToString(cells);
}

// "Journaux r\xE9capitulatifs" prints each account's balance on its debit or credit side as it prints
// the debits and credits beside it: with its cents and its thousands' blanks ("17 557.92", never
// "17558"), in the preview and in the PDF.
TEST_F(LedgerPrintingTest, TheJournalSummaryPrintsEachBalanceToTheCent) {
  const std::string pdf = SetUpPrinter("journaux-recapitulatifs");
  Run(20503);
  auto* form = Slot<TWEtaModJournaux>(kJournalsFormSlot);
  ASSERT_NE(form, nullptr);
  form->Summary()->SetValue(true, false);
  TWVisuWindow* w = PrintThenPreview(form, pdf);
  ASSERT_NE(w, nullptr) << test_support::ShownTexts();
  test_support::Screenshot(w->Widget(), "ledgers", "journaux-recapitulatifs");

  // The preview's first page: its amount cells by line, the journal's total lines apart.
  std::map<int, std::vector<std::string>> lines;
  std::set<int> totals;
  for (const reports::PageRecord& r : *w->Context().store.Page(1)) {
    std::string text(r.text);
    std::replace(text.begin(), text.end(), '^', ' ');
    if (r.kind == 'Z') lines[r.n2].push_back(text);
    if (text.find("Total") != std::string::npos) totals.insert(r.n2);
  }
  int accounts = 0, grouped = 0;
  for (const auto& [y, cells] : lines) {
    if (totals.count(y) != 0) continue;
    ExpectBalancedLine(cells, "preview at " + std::to_string(y), grouped);
    ++accounts;
  }
  EXPECT_GT(accounts, 5);

  // The PDF's first page: the cells of a line stand apart by two blanks or more.
  const std::string text = Tool({"pdftotext", "-layout", "-f", "1", "-l", "1", pdf, "-"}).output;
  static const std::regex number("-?[0-9][0-9 ]*\\.[0-9]{2}"), gap("  +");
  std::istringstream in(text);
  int printed = 0;
  for (std::string line; std::getline(in, line);) {
    if (line.find("Total") != std::string::npos) continue;
    std::vector<std::string> cells;
    for (auto it = std::sregex_token_iterator(line.begin(), line.end(), gap, -1); it != std::sregex_token_iterator(); ++it)
      if (std::regex_match(it->str(), number)) cells.push_back(it->str());
    if (cells.empty()) continue;
    ExpectBalancedLine(cells, "PDF '" + line + "'", grouped);
    ++printed;
  }
  EXPECT_EQ(printed, accounts) << text;
  EXPECT_GT(grouped, 0) << "no amount past a thousand";
  w->CmQuitVisu();
  gui::ProcessPendingMessages();
}

// A piece of 99 999 000 000.00 on each side (as an amount field, the journal-month's and the accounts' totals take
// it), eight lines of 12 499 875 000.00 each way, none past what a line takes, in the sales journal
// of July: the journal listing prints its lines, "Total de la pi\xE8ce" and "Total du journal" with
// every thousands' blank, each amount ending where its column's heading ends, on screen and in the
// PDF, every word inside the page.
TEST_F(LedgerPrintingTest, ThePiecesAndTheJournalsTotalsOfTenBillionsPrintGroupedInTheirColumnsInsideThePage) {
  TotalsOverflow overflow;
  ASSERT_EQ(test_support::WriteIntoOpenDossier(test_support::WidePiece("C507VE ", 99999000000.00, 0.0, 8), &overflow),
            DraftWrite::Written)
      << overflow.kind << " " << overflow.code << " room " << overflow.room << " moved " << overflow.moved;
  const std::string pdf = SetUpPrinter("journaux-dix-milliards");
  Run(20503);
  auto* form = Slot<TWEtaModJournaux>(kJournalsFormSlot);
  ASSERT_NE(form, nullptr);
  form->Months()->SetSelIndex(0);  // 07/25
  for (int i = 0; i < form->Journals()->GetCount(); ++i)
    if (form->Journals()->GetString(i).rfind("VE", 0) == 0) form->Journals()->SetSelIndex(i);
  ASSERT_EQ(form->BuildLimits().substr(0, 7), "C507VE ");
  TWVisuWindow* w = PrintThenPreview(form, pdf);
  ASSERT_NE(w, nullptr) << test_support::ShownTexts();
  Send(w, visu_cmd::ToutesLesPages);
  test_support::Screenshot(w->Widget(), "ledgers", "journaux-dix-milliards");

  const test_support::WideAmounts wide = test_support::WideAmountsOf(w->Context().store, {"D\xE9" "bit", "Cr\xE9" "dit"});
  for (const std::string& fault : wide.faults) ADD_FAILURE() << fault;
  // The piece's sixteen lines, its two totals, the journal's two totals (the month's other sales with them).
  EXPECT_GE(std::count(wide.texts.begin(), wide.texts.end(), "12 499 875 000.00"), 16) << ::testing::PrintToString(wide.texts);
  EXPECT_GE(std::count(wide.texts.begin(), wide.texts.end(), "99 999 000 000.00"), 2) << ::testing::PrintToString(wide.texts);
  EXPECT_GE(wide.texts.size(), 20u) << ::testing::PrintToString(wide.texts);
  for (const std::string& fault : test_support::PdfWideAmountFaults(pdf, wide)) ADD_FAILURE() << fault;
  w->CmQuitVisu();
  gui::ProcessPendingMessages();
}

TEST_F(LedgerPrintingTest, ThePreviewsImprimerHasTheReportWindowPrint) {
  const std::string pdf = SetUpPrinter("releve-depuis-apercu");
  Run(20501);
  auto* form = Slot<TWEtaModCompte>(kStatementFormSlot);
  ASSERT_NE(form, nullptr);
  form->Account()->SetText("411");
  QueueChoice(gui::IDOK);
  Send(form, 20035);
  ASSERT_NE(CurrentPreviewWindow, nullptr);
  // The preview's "Imprimer": the preview goes, the window runs its print dialog and prints.
  QueueChoice(gui::IDOK);
  CurrentPreviewWindow->CmPrint();
  gui::ProcessPendingMessages();
  EXPECT_EQ(CurrentPreviewWindow, nullptr);
  ASSERT_TRUE(std::filesystem::exists(pdf)) << test_support::ShownTexts();
  EXPECT_NE(PdfText(pdf, 1).find("Relev\xC3\xA9 de compte"), std::string::npos) << PdfText(pdf, 1);
  EXPECT_FALSE(PrintRunFlag);
  EXPECT_EQ(Active(), form);
}

TEST_F(LedgerPrintingTest, TheSummaryPrintsByItselfAndCloses) {
  const std::string pdf = SetUpPrinter("recapitulatif");
  // Its preview dialog switched to the printout, then the print dialog's OK.
  QueueChoice(choice_ids::kToPrint);
  QueueChoice(gui::IDOK);
  Run(20505);
  ASSERT_TRUE(std::filesystem::exists(pdf)) << test_support::ShownTexts();
  EXPECT_NE(PdfText(pdf, 1).find("R\xC3\xA9" "capitulatif centralisateur"), std::string::npos) << PdfText(pdf, 1);
  EXPECT_EQ(CurrentPreviewWindow, nullptr);
  EXPECT_EQ(RegistryChar(kSummaryWindowSlot), ' ');
  EXPECT_FALSE(PrintRunFlag);
  // Its preview shows what was printed.
  QueueChoice(gui::IDOK);
  Run(20505);
  ASSERT_NE(CurrentPreviewWindow, nullptr);
  ExpectSameWords(CurrentPreviewWindow, 1, pdf, 1);
}

TEST_F(LedgerPrintingTest, TheGeneralLedgersPrintEveryLedgerInOneJobEachFromANewPage) {
  const std::string pdf = SetUpPrinter("grands-livres");
  Run(20502);
  auto* form = Slot<TWEtaModGrandsLivres>(kGeneralLedgersFormSlot);
  auto* window = Slot<TWEtaBroGrandsLivres>(kGeneralLedgersWindowSlot);
  ASSERT_NE(form, nullptr);
  form->DateTo()->SetText("31/07/25");
  QueueChoice(gui::IDOK);
  Send(form, 20041);
  ASSERT_TRUE(std::filesystem::exists(pdf)) << test_support::ShownTexts();
  EXPECT_TRUE(window->Ledgers().ledgerSelection.size() <= 1);
  const int pages = PdfPages(pdf);
  ASSERT_GE(pages, 3);
  // Each ledger begins on a page of its own: the page where one first appears names no other.
  const char* titles[] = {"GENERAL", "RESULTAT"};
  std::vector<int> firstPage;
  for (const char* title : titles) {
    int found = 0;
    for (int p = 1; p <= pages && found == 0; ++p)
      if (PdfText(pdf, p).find(std::string("Grand livre ") + title) != std::string::npos) {
        found = p;
      }
    ASSERT_GT(found, 0) << title;
    firstPage.push_back(found);
  }
  EXPECT_LT(firstPage[0], firstPage[1]);
  EXPECT_EQ(PdfText(pdf, firstPage[1]).find("Grand livre GENERAL"), std::string::npos);
  // The last page is a collective's ledger (the last of the selection).
  EXPECT_EQ(PdfText(pdf, pages).find("Grand livre GENERAL"), std::string::npos);
  EXPECT_EQ(PdfText(pdf, pages).find("Grand livre RESULTAT"), std::string::npos);
  EXPECT_EQ(Active(), form);
}

// The ledgers with their CSV layout beside the standard one.
class LedgerPdfFileTest : public LedgerPrintingTest {
 protected:
  std::vector<StoredLayout> ReportLayouts() const override {
    std::vector<StoredLayout> layouts = Layouts();
    layouts.push_back({"EG-CSV", "Grand livre (CSV)", "C-Etat-EG-CSV.txt"});
    return layouts;
  }
};

// Where no printer is installed the program prints to the PDF-file printer: the general ledger's
// "Imprimer" asks the file through the file dialog, and the PDF holds the account, the piece and
// the figures of every line of the ledger's CSV export.
TEST_F(LedgerPdfFileTest, WithoutAPrinterTheGeneralLedgerPrintsToAPdfFileHoldingItsCsvFigures) {
  UsePdfFilePrinter();
  const std::string pdf = test_support::ArtefactPath("ledgers", "grand-livre-fichier.pdf");
  std::filesystem::remove(pdf);
  Run(20502);
  auto* form = Slot<TWEtaModGrandsLivres>(kGeneralLedgersFormSlot);
  ASSERT_NE(form, nullptr);
  form->KindCombo()->SetSelIndex(3);  // "Général": one ledger
  form->CmKindChanged();
  form->DateTo()->SetText("31/08/25");
  QueueChoice(gui::IDOK, 0);  // EG-1STD
  gui::ModalSeam::QueueFileAnswer(pdf);
  Send(form, 20041);
  ASSERT_TRUE(std::filesystem::exists(pdf)) << test_support::ShownTexts();
  EXPECT_EQ(Tool({"qpdf", "--check", pdf}).exitStatus, 0);
  EXPECT_FALSE(PrintRunFlag);
  const std::string printed = test_support::PdfAllText(pdf);
  const std::vector<long long> listed = test_support::AmountsIn(printed);
  const std::multiset<long long> amounts(listed.begin(), listed.end());

  // The CSV export of the same ledger.
  const std::string csvPath = ExportThroughPreview(form, 1, ".csv");  // EG-CSV
  ASSERT_FALSE(csvPath.empty()) << test_support::ShownTexts();
  std::ifstream in(csvPath, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  const auto rows = CsvRows(text.str());
  ASSERT_GT(rows.size(), 10u);
  const std::vector<std::string>& names = rows[0];
  auto column = [&](const char* name) {
    return static_cast<std::size_t>(std::find(names.begin(), names.end(), name) - names.begin());
  };
  const std::size_t account = column("COMPTE"), piece = column("PIECE"), debit = column("DEBIT"),
                    credit = column("CREDIT");
  ASSERT_LT(std::max({account, piece, debit, credit}), names.size());
  std::size_t compared = 0;
  for (std::size_t i = 1; i < rows.size(); ++i) {
    const std::vector<std::string>& c = rows[i];
    if (c.size() != names.size()) continue;
    const std::string code = AllTrim(c[account].c_str()), number = AllTrim(c[piece].c_str());
    SCOPED_TRACE(code + " " + number);
    EXPECT_NE(printed.find(code), std::string::npos) << "the account is printed";
    if (!number.empty()) {
      EXPECT_NE(printed.find(number), std::string::npos) << "the piece is printed";
    }
    for (std::size_t k : {debit, credit}) {
      const long long cents = test_support::AmountCents(c[k]);
      if (cents != 0) {
        EXPECT_GT(amounts.count(cents), 0u) << names[k] << " " << c[k];
      }
    }
    ++compared;
  }
  EXPECT_GT(compared, 10u);
  Tool({"pdftoppm", "-png", "-r", "60", "-f", "1", "-l", "1", pdf,
        test_support::ArtefactPath("ledgers", "grand-livre-fichier")});
}

}  // namespace
}  // namespace ledgers_window_test
