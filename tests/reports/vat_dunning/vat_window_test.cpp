// The VAT return windows driven as a user drives them, over a generated dossier whose entry lines
// are the test's own: 20507 on debits (the period dialog, the print choice switched to the
// preview, "Fin Visualisation", "&Abandor"), a printout to PDF, and the return on receipts with
// its detailed listing and a dossier without treasury journal.
#include <QWidget>

#include <climits>
#include <filesystem>
#include <regex>

#include "platform/gui/dialog.h"
#include "platform/system/cp1252.h"
#include "reports/engine/report_window_fixture.h"
#include "reports/vat_dunning/vat_commands.h"
#include "reports/vat_dunning/vat_windows.h"
#include "data/record_fields.h"
#include "runtime/session_registry.h"
#include "shell/enablers.h"
#include "shell/registry.h"
#include "printed_amounts.h"
#include "support/pdf_tools.h"
#include "support/refused_read.h"
#include "support/line_files.h"
#include "support/report_dossier_fixture.h"
#include "support/window_amounts.h"
#include "vat_data.h"

namespace vat_test {
namespace {

namespace fs = std::filesystem;

std::string Utf8File(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  std::string out;
  EXPECT_TRUE(platform::Utf8ToCp1252(s.str(), out, platform::Unassigned::kRefuse)) << path;
  return out;
}

platform::LaunchResult Tool(const std::vector<std::string>& argv) {
  platform::LaunchOptions o;
  o.wait = true;
  o.captureOutput = true;
  return platform::LaunchProcess(argv, o);
}

// What a period dialog showed when its fill ran.
struct PeriodSeen {
  std::string caption, period, values[10];
  bool toPayShown = false;
  bool shown[6] = {};  // controls 1210 to 1215 not hidden
};

class VatWindowTest : public report_test::ReportWindowTest {
 protected:
  void SetUp() override {
    ReportWindowTest::SetUp();
    InstallVatReturnCommands();
    std::vector<report_test::Layout> layouts;
    for (const char* code : {"EDD-CA3", "EDE-CA3", "EDE-DETAIL"})
      layouts.push_back({code, code, Utf8File(std::string(MERLON_SOURCE_DIR) + "/src/resources/reports/C-Etat-" +
                                              code + ".txt")});
    MakeReportSet('0', layouts);
    CloseAllTables();
    EmptyEntryLines();
    ASSERT_TRUE(TheDossierRecord.DateYmd(DossierRecord::DateField::YearStart, year_));
    Ymd working{year_.year, year_.month, 20};
    Month(2, working.year, working.month);
    TheDossierRecord.SetDateYmd(DossierRecord::DateField::Working, working);
    TheDossierRecord.SetConstant(21, "NON");
    TheDossierRecord.SetConstant(69, "C  ");
    gui::ProcessPendingMessages();
  }

  // Year and month of the year's month n (0 the first).
  void Month(int n, int& year, int& month) const {
    const int m = year_.month - 1 + n;
    year = year_.year + m / 12;
    month = m % 12 + 1;
  }
  std::string Date(int n, int day) const {
    int y = 0, m = 0;
    Month(n, y, m);
    return D(y, m, day);
  }
  std::string MonthText(int n) const {
    int y = 0, m = 0;
    Month(n, y, m);
    char b[8];
    std::snprintf(b, sizeof b, "%02d/%02d", m, y % 100);
    return b;
  }

  // The worked example: a credit of 300.00 carried, 2,000.00 collected and 800.00 deductible in
  // the working date's month.
  void WorkedExample() {
    for (const char* a : {"44567000", "44571000", "44566000"}) AddAccount(a, "TVA");
    AddLine("44567000", "OD ", Date(0, 5), 'D', 30000);
    AddLine("44571000", "VE ", Date(2, 5), 'C', 200000);
    AddLine("44566000", "AC ", Date(2, 6), 'D', 80000);
  }

  // The period dialog's answer: "&Calculer" pressed, what it shows kept, then `answer`.
  static void QueuePeriod(int answer, PeriodSeen* seen, const char* shot = nullptr) {
    gui::ModalSeam::QueueDialogAnswer(answer, [=](gui::Window& w) {
      auto& d = static_cast<gui::Dialog&>(w);
      d.PressButton(vat_ids::kCalculer);
      if (seen != nullptr) {
        seen->caption = w.GetCaption();
        seen->period = d.GetItemText(vat_ids::kPeriod);
        for (int i = 0; i < 10; ++i) seen->values[i] = d.GetItemText(1206 + i);
        seen->toPayShown = !d.GetDlgItem(1212)->Widget()->isHidden();
        for (int i = 0; i < 6; ++i) {
          gui::Control* c = d.GetDlgItem(1210 + i);
          seen->shown[i] = c != nullptr && !c->Widget()->isHidden();
        }
      }
      if (shot != nullptr) test_support::Screenshot(w.Widget(), "vat_dunning", shot);
    });
  }
  static int PeriodDialogsShown() {
    int n = 0;
    for (const auto& s : gui::ModalSeam::Shown())
      if (s.kind == gui::ModalKind::Dialog && (s.resourceId == 1324 || s.resourceId == 1325)) ++n;
    return n;
  }
  static VatReturnWindow* Window() {
    return dynamic_cast<VatReturnWindow*>(gui::Window::FromHandle(SlotHandle(kVatWindowSlot)));
  }
  static void Settle() {
    for (int i = 0; i < 10; ++i) gui::ProcessPendingMessages();
  }

  Ymd year_;
};

TEST_F(VatWindowTest, TheDebitsReturnAsksThePeriodOnceForThePrintChoiceAndThePreview) {
  WorkedExample();
  PeriodSeen seen;
  QueuePeriod(gui::IDOK, &seen, "tva-debits-period");
  QueueChoice(choice_ids::kToPreview);  // print choice: "&Visualiser"
  QueueChoice(gui::IDOK, 0);            // preview choice: EDD-CA3
  RunSubjectCommand(command_id::EtatsDeclarationTva);
  Settle();
  EXPECT_EQ(seen.caption, "D\xE9" "claration de TVA sur les D\xE9" "bits: Impression");
  EXPECT_EQ(seen.period, "de " + MonthText(2));
  EXPECT_EQ(seen.values[1207 - 1206], "2 000.00 ");
  EXPECT_EQ(seen.values[1209 - 1206], "800.00 ");
  EXPECT_EQ(seen.values[1210 - 1206], "300.00 ");
  EXPECT_EQ(seen.values[1211 - 1206], "0.00 ");
  EXPECT_TRUE(seen.toPayShown);
  EXPECT_EQ(seen.values[1213 - 1206], "900.00 ");
  // The preview, with the period asked once; the dossier held meanwhile.
  ASSERT_NE(Window(), nullptr) << test_support::ShownTexts();
  EXPECT_EQ(GetDossierState(), '1');
  EXPECT_FALSE(ShellIdle());  // every dossier command grey
  ASSERT_NE(CurrentPreviewWindow, nullptr) << test_support::ShownTexts();
  EXPECT_EQ(PeriodDialogsShown(), 1);
  const std::string page = PageText(CurrentPreviewWindow, 1);
  EXPECT_NE(page.find("900.00"), std::string::npos) << page;
  EXPECT_NE(page.find("2 000.00"), std::string::npos) << page;
  test_support::Screenshot(CurrentPreviewWindow->Widget(), "vat_dunning", "tva-debits-preview");
  // "Fin Visualisation" brings the period back, for a preview; "&Abandor" there closes the window.
  PeriodSeen again;
  QueuePeriod(gui::IDCANCEL, &again);
  Send(CurrentPreviewWindow, visu_cmd::Quitter);
  Settle();
  EXPECT_EQ(PeriodDialogsShown(), 2);
  EXPECT_EQ(again.caption, "D\xE9" "claration de TVA sur les D\xE9" "bits: Visualisation");
  EXPECT_EQ(Window(), nullptr);
  EXPECT_EQ(GetDossierState(), '2');
}

TEST_F(VatWindowTest, ANilNetKeepsTheDebitsDialogOpen) {
  AddAccount("44571000", "TVA");
  AddAccount("44566000", "TVA");
  AddLine("44571000", "VE ", Date(2, 5), 'C', 10);
  AddLine("44571000", "VE ", Date(2, 5), 'C', 20);
  AddLine("44566000", "AC ", Date(2, 6), 'D', 30);
  bool closes = true;
  gui::ModalSeam::QueueDialogAnswer(gui::IDCANCEL, [&](gui::Window& w) {
    closes = static_cast<gui::Dialog&>(w).CanClose();
  });
  RunSubjectCommand(command_id::EtatsDeclarationTva);
  Settle();
  EXPECT_FALSE(closes);
  EXPECT_EQ(Window(), nullptr);
}

// "En Euros" is ticked unless the franc is the main currency ("N" at position 533): a blank
// flag, as an older dossier has it, counts as the euro.
TEST_F(VatWindowTest, EnEurosIsTickedUnlessTheFrancIsTheMainCurrency) {
  const char saved = TheDossierRecord.At(DossierRecord::kEuroMainPos);
  const struct {
    char flag;
    bool ticked;
  } cases[] = {{'O', true}, {' ', true}, {'N', false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(1, c.flag));
    // In the dossier's record "0" too: a command may load the record again.
    {
      ::Table c10;
      ASSERT_TRUE(c10.OpenShared(PathC10(), "C10CODE"));
      ASSERT_TRUE(c10.Seek("C10CODE", "0"));
      ASSERT_TRUE(c10.PutFieldPart(5, DossierRecord::kEuroMainPos - 284, 1, std::string(1, c.flag).c_str()));
      ASSERT_TRUE(c10.Commit());
    }
    TheDossierRecord.SetAt(DossierRecord::kEuroMainPos, c.flag);
    int checked = -1;
    gui::ModalSeam::QueueDialogAnswer(gui::IDCANCEL, [&](gui::Window& w) {
      checked = static_cast<gui::Dialog&>(w).GetCheck(vat_ids::kEuros);
      if (c.flag == ' ') test_support::Screenshot(w.Widget(), "vat_dunning", "tva-debits-euros-blank-flag");
    });
    RunSubjectCommand(command_id::EtatsDeclarationTva);
    Settle();
    EXPECT_EQ(checked, c.ticked ? gui::BST_CHECKED : gui::BST_UNCHECKED);
    EXPECT_EQ(TheDossierRecord.At(DossierRecord::kEuroMainPos), c.flag);
  }
  TheDossierRecord.SetAt(DossierRecord::kEuroMainPos, saved);
}

// A line whose amount holds "-1e300" (read by the lenient reading as -1,300.00): "&Calculer"
// counts it as zero, as every report does, and names it in a box over the period dialog.
TEST_F(VatWindowTest, ALineWhoseAmountDoesNotReadIsNamedByTheComputation) {
  WorkedExample();
  AddLine("44571000", "VE ", Date(2, 7), 'C', 999);
  std::uint32_t damaged = 0;
  {
    test_support::RawRecords raw(std::string(PathC50()) + ".dbf");
    for (std::uint32_t n = 1; n <= raw.Count() && damaged == 0; ++n)
      if (StoredAmountCents(raw.Field(raw.Record(n), "BMONTANTE")) == 999) damaged = n;
    ASSERT_NE(damaged, 0u);
    raw.Put(damaged, "BMONTANTE", "-1e300");
  }
  gui::ModalSeam::Reset();
  PeriodSeen seen;
  QueuePeriod(gui::IDCANCEL, &seen);
  gui::ModalSeam::QueueMessageBoxAnswer(gui::IDOK);
  RunSubjectCommand(command_id::EtatsDeclarationTva);
  Settle();
  EXPECT_EQ(seen.values[1207 - 1206], "2 000.00 ");
  const gui::ShownModal* box = nullptr;
  for (const auto& shown : gui::ModalSeam::Shown())
    if (shown.caption == "ATTENTION - Montants illisibles") box = &shown;
  ASSERT_NE(box, nullptr) << test_support::ShownTexts();
  EXPECT_NE(box->text.find("C50 enregistrement " + std::to_string(damaged) + ","), std::string::npos) << box->text;
  test_support::ScreenshotMessage(*box, "vat_dunning", "tva-unreadable-amount");
}

// A layout of the user's own exporting the return in CSV: the return counts a line whose amount
// does not read as zero, computed before the preview runs; the report engine writes no file over
// it, offers none and names the line, where the sound return writes its file.
TEST_F(VatWindowTest, AnExportOfTheReturnIsRefusedOverALineThatDoesNotRead) {
  std::vector<report_test::Layout> layouts;
  layouts.push_back({"EDD-CA3", "EDD-CA3",
                     Utf8File(std::string(MERLON_SOURCE_DIR) + "/src/resources/reports/C-Etat-EDD-CA3.txt")});
  layouts.push_back({"EDD-CSV", "TVA (CSV)", "[Export:csv][Export][ITD][TT-Avant][@TOT_4457] [@TOT_APAYER][TT-Suivant]\r\n[ITF]"});
  MakeReportSet('0', layouts);
  WorkedExample();
  AddLine("44571000", "VE ", Date(2, 7), 'C', 999);
  const auto exportRun = [this] {
    gui::ModalSeam::Reset();
    QueuePeriod(gui::IDOK, nullptr);
    QueueChoice(choice_ids::kToPreview);
    QueueChoice(gui::IDOK, 1);  // EDD-CSV
    QueuePeriod(gui::IDCANCEL, nullptr);
    RunSubjectCommand(command_id::EtatsDeclarationTva);
    Settle();
    if (CurrentPreviewWindow != nullptr) Send(CurrentPreviewWindow, visu_cmd::Quitter);
    Settle();
    std::string offered;
    for (const auto& shown : gui::ModalSeam::Shown())
      if (shown.caption == "Fichier d'exportation") offered = shown.text;
    return offered;
  };
  EXPECT_NE(exportRun().find(".csv"), std::string::npos) << test_support::ShownTexts();
  std::uint32_t damaged = 0;
  {
    test_support::RawRecords raw(std::string(PathC50()) + ".dbf");
    for (std::uint32_t n = 1; n <= raw.Count() && damaged == 0; ++n)
      if (StoredAmountCents(raw.Field(raw.Record(n), "BMONTANTE")) == 999) damaged = n;
    ASSERT_NE(damaged, 0u);
    raw.Put(damaged, "BMONTANTE", "abc");
  }
  EXPECT_EQ(exportRun(), "") << test_support::ShownTexts();
  const gui::ShownModal* refusal = nullptr;
  for (const auto& shown : gui::ModalSeam::Shown())
    if (shown.text.find("Le fichier n'a pas \xE9t\xE9 \xE9" "crit") != std::string::npos) refusal = &shown;
  ASSERT_NE(refusal, nullptr) << test_support::ShownTexts();
  EXPECT_EQ(refusal->caption, "ATTENTION - Montants illisibles");
  EXPECT_NE(refusal->text.find("C50 enregistrement " + std::to_string(damaged) + ","), std::string::npos)
      << refusal->text;
}

TEST_F(VatWindowTest, AnEightDigitFigureShowsToTheCent) {
  AddAccount("44571000", "TVA");
  AddLine("44571000", "VE ", Date(2, 5), 'C', 1234567891);
  PeriodSeen seen;
  QueuePeriod(gui::IDCANCEL, &seen, "tva-debits-wide");
  RunSubjectCommand(command_id::EtatsDeclarationTva);
  Settle();
  EXPECT_EQ(seen.values[1207 - 1206], "12 345 678.91 ");
  EXPECT_EQ(seen.values[1213 - 1206], "12 345 678.91 ");
}

// Boxes past one and ten million, of each sign, wider than the 10 characters of their variables:
// every amount cell of the preview and of the printed PDF is the box to the cent with its
// thousands' blanks ("4 092 758.99", never "4092758.99"), the same cells in both.
TEST_F(VatWindowTest, BoxesPastTenMillionPrintToTheCentOnScreenAndOnPaper) {
  AddAccount("44571000", "TVA collect\xE9" "e");
  AddLine("44571000", "VE ", Date(2, 5), 'C', 1234567891);
  AddAccount("44562000", "TVA sur immobilisations");
  AddLine("44562000", "AC ", Date(2, 6), 'D', 157382718);
  AddAccount("44566000", "TVA sur ABS");
  AddLine("44566000", "AC ", Date(2, 7), 'D', 139197664);
  AddAccount("44580000", "TVA \xE0 r\xE9gulariser");
  AddLine("44580000", "OD ", Date(2, 8), 'C', 1000018132);
  // Collected (twice: its line and the gross total), fixed assets, other goods and services,
  // other VAT, the deductible total and the net to pay.
  const std::vector<std::string> boxes = {"-10 000 181.32", "-7 034 377.50", "1 391 976.64", "1 573 827.18",
                                          "12 345 678.91",  "12 345 678.91", "19 380 056.41"};

  const std::string pdf = test_support::ReportDossierTest::SetUpPdfPrinter("vat_dunning", "tva-debits-wide");
  QueuePeriod(gui::IDOK, nullptr);
  QueueChoice(gui::IDOK, 0);
  RunSubjectCommand(command_id::EtatsDeclarationTva);
  Settle();
  ASSERT_TRUE(fs::exists(pdf)) << test_support::ShownTexts();
  const std::vector<std::string> printed =
      printed_amounts::TextAmounts(Tool({"pdftotext", "-layout", pdf, "-"}).output);
  EXPECT_EQ(printed, boxes) << Tool({"pdftotext", "-layout", pdf, "-"}).output;

  QueuePeriod(gui::IDOK, nullptr);
  QueueChoice(choice_ids::kToPreview);
  QueueChoice(gui::IDOK, 0);
  RunSubjectCommand(command_id::EtatsDeclarationTva);
  Settle();
  ASSERT_NE(CurrentPreviewWindow, nullptr) << test_support::ShownTexts();
  EXPECT_EQ(printed_amounts::PreviewAmounts(*CurrentPreviewWindow), boxes) << PageText(CurrentPreviewWindow, 1);
  test_support::Screenshot(CurrentPreviewWindow->Widget(), "vat_dunning", "tva-debits-wide-preview");
  QueuePeriod(gui::IDCANCEL, nullptr);
  Send(CurrentPreviewWindow, visu_cmd::Quitter);
  Settle();
}

// A receipt of 1 153 786 762.60 under VAT code 1 and a deductible line, both labelled with 24
// characters: the detail printed into a PDF shows every word inside the page, the receipt's
// amounts whole with their blanks, and the first 20 characters of each label.
TEST_F(VatWindowTest, TheDetailOfAReceiptOfABillionPrintsInsideThePageWithLabelsOfTwentyCharacters) {
  TheDossierRecord.SetConstant(21, "OUI");
  AddAccount("44566000", "TVA sur ABS");
  const std::string label = "Cr\xE9" "dit de TVA \xE0 reporter";
  AddLine("C0000001", "BQ ", Date(2, 5), 'C', 115378676260, "1", "", false, label);
  AddLine("44566000", "AC ", Date(2, 8), 'D', 8000, " ", "", false, label);
  const std::string pdf = test_support::ReportDossierTest::SetUpPdfPrinter("vat_dunning", "tva-detail-milliard");
  QueuePeriod(gui::IDOK, nullptr);
  QueueChoice(gui::IDOK, 1);  // EDE-DETAIL
  RunSubjectCommand(command_id::EtatsDeclarationTva);
  Settle();
  ASSERT_TRUE(fs::exists(pdf)) << test_support::ShownTexts();
  const std::vector<test_support::PdfPage> pages = test_support::PdfWords(pdf);
  ASSERT_FALSE(pages.empty());
  int shown = 0;
  for (const test_support::PdfPage& page : pages) {
    for (const std::string& past : test_support::WordsPastThePage(page)) ADD_FAILURE() << past << " past the page";
    shown += static_cast<int>(test_support::Showings(page, "1 153 786 762.60").size());
  }
  const std::string text = test_support::PdfAllText(pdf);
  // The receipt's line, the total of its code and the grand total.
  EXPECT_EQ(shown, 3) << text;
  const std::string cut = platform::Cp1252ToUtf8(label.substr(0, 20));
  std::size_t labels = 0;
  for (std::size_t at = text.find(cut); at != std::string::npos; at = text.find(cut, at + 1)) {
    ++labels;
    EXPECT_NE(text.compare(at + cut.size(), 1, "r"), 0) << "the label is cut at 20 characters\n" << text;
  }
  EXPECT_EQ(labels, 2u) << cut << "\n" << text;
  test_support::PdfPicture(pdf, 1, test_support::ArtefactPath("vat_dunning", "tva-detail-milliard-pdf"));
}

TEST_F(VatWindowTest, ThePrintoutToPdfShowsTheReturn) {
  const std::string pdf = test_support::ReportDossierTest::SetUpPdfPrinter("vat_dunning", "tva-debits");
  WorkedExample();
  QueuePeriod(gui::IDOK, nullptr);
  QueueChoice(gui::IDOK, 0);
  RunSubjectCommand(command_id::EtatsDeclarationTva);
  Settle();
  ASSERT_TRUE(fs::exists(pdf)) << test_support::ShownTexts();
  EXPECT_EQ(Tool({"qpdf", "--check", pdf}).exitStatus, 0);
  const std::string printed = std::regex_replace(Tool({"pdftotext", "-layout", pdf, "-"}).output, std::regex(" +"), " ");
  EXPECT_NE(printed.find("900.00"), std::string::npos) << printed;
  EXPECT_NE(printed.find("2 000.00"), std::string::npos) << printed;
  // After the printout the period is asked again (here left: the window closes).
  EXPECT_EQ(PeriodDialogsShown(), 2);
  EXPECT_EQ(Window(), nullptr);
}

TEST_F(VatWindowTest, TheReceiptsReturnWithItsDetailedListing) {
  TheDossierRecord.SetConstant(21, "OUI");
  AddAccount("44566000", "TVA sur ABS");
  AddLine("C0000001", "BQ ", Date(2, 5), 'C', 120000, "1");
  AddLine("C0000002", "BQ ", Date(2, 7), 'C', 10000, "3");
  AddLine("44566000", "AC ", Date(2, 8), 'D', 8000);
  PeriodSeen seen;
  QueuePeriod(gui::IDOK, &seen, "tva-receipts-period");
  QueueChoice(choice_ids::kToPreview);
  QueueChoice(gui::IDOK, 1);  // EDE-DETAIL
  RunSubjectCommand(command_id::EtatsDeclarationTva);
  Settle();
  EXPECT_EQ(seen.caption, "D\xE9" "claration de TVA sur les Encaissements: Impression");
  EXPECT_EQ(seen.values[0], "205.21 ");  // 200.00 + 5.21
  EXPECT_EQ(seen.values[1208 - 1206], "80.00 ");
  EXPECT_EQ(seen.values[1211 - 1206], "125.21 ");
  EXPECT_TRUE(seen.shown[0]);   // "Tva à Payer"
  EXPECT_FALSE(seen.shown[2]);  // "Crédit de Tva"
  ASSERT_NE(dynamic_cast<TWEtaBroTvaSurLesEncaissements*>(Window()), nullptr) << test_support::ShownTexts();
  ASSERT_NE(CurrentPreviewWindow, nullptr) << test_support::ShownTexts();
  std::string text;
  for (int p = 1; p <= CurrentPreviewWindow->Context().store.PageCount(); ++p)
    text += PageText(CurrentPreviewWindow, p) + "\n";
  for (const char* want : {"C0000001", "200.00", "5.21", "80.00", "1 200.00"})
    EXPECT_NE(text.find(want), std::string::npos) << want << "\n" << text;
  test_support::Screenshot(CurrentPreviewWindow->Widget(), "vat_dunning", "tva-receipts-detail");
  Send(CurrentPreviewWindow, visu_cmd::Quitter);
  Settle();
  EXPECT_EQ(Window(), nullptr);
}

TEST_F(VatWindowTest, ADossierWithoutTreasuryJournalRefusesTheReceiptsPeriod) {
  TheDossierRecord.SetConstant(21, "OUI");
  CancelAllCodes('J');
  PeriodSeen seen;
  QueuePeriod(gui::IDOK, &seen, "tva-receipts-no-journal");
  RunSubjectCommand(command_id::EtatsDeclarationTva);
  Settle();
  EXPECT_EQ(seen.period, "Aucun journal de Tr\xE9sorerie");
  EXPECT_FALSE(seen.shown[0]);  // neither "Tva à Payer" nor "Crédit de Tva"
  EXPECT_FALSE(seen.shown[2]);
  // The dialog's "&Ok" was refused: no choice dialog came, the window closed with the period.
  EXPECT_EQ(Window(), nullptr);
  EXPECT_EQ(GetDossierState(), '2');
}

TEST_F(VatWindowTest, ADraftFileCutInARecordStopsTheReturnWithAMessageAndIsLeftAsItWas) {
  WorkedExample();
  const std::string path = PathC50() + std::string(".dbf");
  const auto size = fs::file_size(path);
  ASSERT_GT(size, 700u);
  fs::resize_file(path, size - 37);
  gui::ModalSeam::QueueMessageBoxAnswer(gui::IDOK);
  RunSubjectCommand(command_id::EtatsDeclarationTva);
  Settle();
  EXPECT_EQ(PeriodDialogsShown(), 0);
  EXPECT_EQ(Window(), nullptr);
  const std::string shown = test_support::ShownTexts();
  EXPECT_NE(shown.find("ne peut pas \xEAtre lu"), std::string::npos) << shown;
  EXPECT_NE(shown.find(path.substr(0, path.size() - 4)), std::string::npos) << shown;
  EXPECT_EQ(fs::file_size(path), size - 37);
  EXPECT_EQ(GetDossierState(), '2');
}

// The collected VAT of the period at 1, 10 million, a billion and 99 999 999 999,99 either way, and
// past them as the lines add up (the widest made of several lines, as a line takes at most
// 15 244 901 723,74 €): the dialog shows each box whole, grouped, with its sign, inside its
// control.
TEST_F(VatWindowTest, AmountsSweepTheBoxesShowEveryAmountWholeAndInside) {
  AddAccount("44571000", "TVA");
  test_support::SweepFaults faults;
  long long collected = 0;
  for (std::size_t k = 0; k < test_support::SweepCents().size(); ++k) {
    const long long cents = test_support::SweepCents()[k];
    for (long long part : test_support::LineParts(cents)) AddLine("44571000", "VE ", Date(2, 5), cents > 0 ? 'C' : 'D', part);
    collected += cents;
    bool seen = false;
    gui::ModalSeam::Reset();
    gui::ModalSeam::QueueDialogAnswer(gui::IDCANCEL, [&](gui::Window& w) {
      auto& d = static_cast<gui::Dialog&>(w);
      d.PressButton(vat_ids::kCalculer);
      const std::string where = "VAT dialog, collected " + test_support::GroupedDigits(collected);
      faults.Add(test_support::AmountFault(where, d.GetItemText(1207), collected, test_support::Shown::kSigned));
      for (int id = 1206; id <= 1216; ++id)
        if (gui::Control* c = d.GetDlgItem(id); c != nullptr && !c->Widget()->isHidden()) {
          faults.Add(test_support::GroupedFault(where + ", " + std::to_string(id), c->GetText()));
          faults.Add(test_support::CutFault(where + ", " + std::to_string(id), *c));
        }
      if (k == 3 || k == 7) test_support::Screenshot(w.Widget(), "vat_dunning", "amounts_sweep_vat" + std::string(k == 3 ? "" : "_back"));
      seen = true;
    });
    RunSubjectCommand(command_id::EtatsDeclarationTva);
    Settle();
    EXPECT_TRUE(seen) << test_support::ShownTexts();
  }
  faults.Report();
}

// The draft file refused by the disk once the window has opened it: the return is not computed
// short of its lines, the dialog shows "???" for the period and a box names the file.
TEST_F(VatWindowTest, ADraftFileTheDiskRefusesToReadStopsTheReturnWithItsFile) {
  WorkedExample();
  const std::string file = "/" + std::filesystem::path(std::string(PathC50()) + ".dbf").filename().string();
  gui::ModalSeam::Reset();
  std::string period;
  gui::ModalSeam::QueueDialogAnswer(gui::IDCANCEL, [&](gui::Window& w) {
    auto& d = static_cast<gui::Dialog&>(w);
    // From here on, every read of the draft file is refused, as by a disk that can no longer read it.
    test_support::RefusedRead::Arm(file, 1, true);
    d.PressButton(vat_ids::kCalculer);
    test_support::RefusedRead::Disarm();
    period = d.GetItemText(vat_ids::kPeriod);
    test_support::Screenshot(w.Widget(), "vat_dunning", "tva-draft-unread-dialog");
  });
  gui::ModalSeam::QueueMessageBoxAnswer(gui::IDOK);
  // The window opens its tables while reads are counted, so that the engine reads the file rather than maps it.
  test_support::RefusedRead::Arm(file, INT_MAX);
  RunSubjectCommand(command_id::EtatsDeclarationTva);
  Settle();
  test_support::RefusedRead::Disarm();
  EXPECT_EQ(period, "???");
  const gui::ShownModal* box = nullptr;
  for (const auto& shown : gui::ModalSeam::Shown())
    if (shown.kind == gui::ModalKind::MessageBox && shown.text.find(file.substr(1, file.size() - 5)) != std::string::npos)
      box = &shown;
  ASSERT_NE(box, nullptr) << test_support::ShownTexts();
  EXPECT_NE(box->caption.find("claration de TVA"), std::string::npos) << box->caption;
  test_support::ScreenshotMessage(*box, "vat_dunning", "tva-draft-unread");
}

}  // namespace
}  // namespace vat_test
