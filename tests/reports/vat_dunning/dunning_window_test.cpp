// The dunning report window and its options form driven as a user drives them, over a generated
// dossier with accounts and lines of the test's own: 20506 opens the pair with the form's
// defaults and checks; previews of a global listing and of the dunning letters walked with
// "Liste suivante"; a supplier payment through the SEPA layout; a printout to PDF that shows
// what the preview shows.
#include <sys/resource.h>

#include <QImage>

#include <fstream>
#include <regex>
#include <set>
#include <sstream>

#include "controls/mcontrols.h"
#include "demo/dossier_demo.h"
#include "controls/medit.h"
#include "dunning_data.h"
#include "platform/gui/dialog.h"
#include "platform/system/cp1252.h"
#include "platform/system/files.h"
#include "reports/engine/report_window_fixture.h"
#include "reports/vat_dunning/dunning_commands.h"
#include "reports/vat_dunning/dunning_form.h"
#include "reports/vat_dunning/core/dunning_run.h"
#include "reports/vat_dunning/dunning_window.h"
#include "framework/edit_form.h"
#include "masterdata/chart_list.h"
#include "runtime/session_registry.h"
#include "runtime/text.h"
#include "platform/system/process.h"
#include "printed_amounts.h"
#include "support/books_writes.h"
#include "support/report_dossier_fixture.h"
#include "shell/graphics.h"
#include "shell/registry.h"

namespace dunning_test {
namespace {

// The rows of the family's layouts in the choice dialog (code order).
enum Row { kEcheancier, kListe, kPaiement, kSepa, kVirements, kRelance, kReleve };
constexpr const char* kLayouts[] = {"EL-1ECHEAN", "EL-1LISTE", "EL-1PAIEM", "EL-1SEPA",
                                    "EL-1VIRT",   "EL-2RELANC", "EL-2RELEVE"};

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

class DunningWindowTest : public report_test::ReportWindowTest {
 protected:
  void SetUp() override {
    ReportWindowTest::SetUp();
    InstallDunningCommands();
    tmp_ = root_ + "/tmp";
    fs::create_directories(tmp_);
    ::setenv("TMPDIR", tmp_.c_str(), 1);
    // The family's layouts as the program ships them.
    std::vector<report_test::Layout> layouts;
    for (const char* code : kLayouts)
      layouts.push_back({code, code, Utf8File(std::string(MERLON_SOURCE_DIR) + "/src/resources/reports/C-Etat-" +
                                              code + ".txt")});
    MakeReportSet('0', layouts);
    TheDossierRecord.SetConstant(43, "BQ0");
    // Customers of the test's own with balances to dun.
    AddAccount("CZREL001", "Menuiserie Dupuis", "", "", "37100 Tours Nord");
    AddLine("CZREL001", YearDate(1, 10), YearDate(2, 10), 'D', 123450, "Facture 1", ' ', 1);
    AddLine("CZREL001", YearDate(1, 20), "", 'C', 3450, "Avoir 1", ' ', 2);
    AddAccount("CZREL002", "Ebenisterie Martin", "", "");
    AddLine("CZREL002", YearDate(1, 12), YearDate(1, 30), 'D', 98765, "Facture 2", ' ', 3);
    AddAccount("CZREL003", "Scierie Petit", "", "");
    AddLine("CZREL003", YearDate(1, 14), "", 'D', 4200, "Facture 3", ' ', 4);
    gui::ProcessPendingMessages();
  }
  void TearDown() override {
    ::unsetenv("TMPDIR");
    ReportWindowTest::TearDown();
  }

  // 20506 from the menu: the window, then its form.
  TWEtaModRelances* OpenPair() {
    RunSubjectCommand(command_id::EtatsRelances);
    gui::ProcessPendingMessages();
    gui::ProcessPendingMessages();
    auto* form = dynamic_cast<TWEtaModRelances*>(gui::Window::FromHandle(SlotHandle(kDunningFormSlot)));
    EXPECT_NE(form, nullptr) << test_support::ShownTexts() << "[" << RegistryText(kDunningWindowSlot, 11) << "]["
                             << RegistryText(kDunningFormSlot, 11) << "]";
    if (form != nullptr) {
      form->MoveWindow(gui::Rect{0, 0, 760, 330});
      gui::ProcessPendingMessages();
    }
    return form;
  }
  TWEtaBroRelances* Window() {
    return dynamic_cast<TWEtaBroRelances*>(gui::Window::FromHandle(SlotHandle(kDunningWindowSlot)));
  }
  // The form set to the test's customers, everything listed.
  void Customers(TWEtaModRelances* form) {
    form->FirstAccount()->SetValue("CZREL001", false);
    form->LastAccount()->SetValue("CZREL003", false);
    form->LastDate()->SetValue(TheDossierRecord.DateDisplay(DossierRecord::DateField::YearEnd), false);
    form->Letters()->SetValue("1", false);
  }
  // The form set to pay the suppliers from `first` (to `last` when given), whatever their balance.
  TWEtaModRelances* SupplierPayment(const std::string& first, const std::string& last) {
    TWEtaModRelances* form = OpenPair();
    if (form == nullptr) return nullptr;
    form->CmFournisseurs();
    form->FirstAccount()->SetValue(first, false);
    if (!last.empty()) form->LastAccount()->SetValue(last, false);
    form->Minimum()->SetValue("0", false);
    form->Sense()->SetValue("Tous", false);
    form->Letters()->SetValue("1", false);
    form->LastDate()->SetValue(TheDossierRecord.DateDisplay(DossierRecord::DateField::YearEnd), false);
    return form;
  }
  void Preview(TWEtaModRelances* form, Row row) {
    QueueChoice(gui::IDOK, row);
    form->CmVisualiser();
    gui::ProcessPendingMessages();
  }
  // The boxes shown that say that an IBAN or a BIC of the transfers is incomplete.
  static int IncompleteBankDetailBoxes() {
    int boxes = 0;
    for (const auto& s : gui::ModalSeam::Shown())
      boxes += s.text.find("au moins un IBAN ou BIC est incomplet") != std::string::npos;
    return boxes;
  }

  std::string tmp_;
};

TEST_F(DunningWindowTest, TheMenuOpensThePairWithItsDefaultsAndChecks) {
  TWEtaModRelances* form = OpenPair();
  ASSERT_NE(form, nullptr);
  ASSERT_NE(Window(), nullptr);
  EXPECT_EQ(RegistryChar(kDunningWindowSlot), '1');
  EXPECT_EQ(RegistryChar(kDunningFormSlot), '1');
  EXPECT_EQ(form->GetCaption(), "Lettres de Relances et Relev\xE9s");
  EXPECT_EQ(form->FirstAccount()->GetValue().substr(0, 1), "C");
  EXPECT_EQ(form->LastAccount()->GetValue(), "CZZZZZZZ");
  EXPECT_EQ(form->Minimum()->GetValue(), "10");
  EXPECT_EQ(form->Letters()->GetValue().substr(0, 1), "2");
  EXPECT_EQ(form->Sense()->GetValue(), "D\xE9" "bit");
  EXPECT_EQ(form->FirstDate()->GetValue(), TheDossierRecord.DateDisplay(DossierRecord::DateField::YearStart));
  EXPECT_EQ(form->LastDate()->GetValue(), TheDossierRecord.DateDisplay(DossierRecord::DateField::Working));
  test_support::Screenshot(form->Widget(), "vat_dunning", "options-form");
  // The defaults pass the form's own checks.
  EXPECT_EQ(form->Check(), CMDIModif::kCheckClose);
  EXPECT_EQ(form->LastBalance()->GetText(), "Jusqu'\xE0 'CZZZZZZZ'");

  // 41 is a general account: zeros after it; a last account below the first: "Erreur".
  form->FirstAccount()->SetValue("41", false);
  form->CheckFirstAccount(false);
  EXPECT_EQ(form->FirstAccount()->GetValue(), "41000000");
  form->FirstAccount()->SetValue("C", false);
  form->LastAccount()->SetValue("A", false);
  EXPECT_FALSE(form->CheckLastAccount(false));
  EXPECT_EQ(form->LastBalance()->GetText(), "Erreur");
  // An emptied first date is refilled with the year's first day and refused once.
  form->FirstDate()->SetValue("", false);
  EXPECT_FALSE(form->CheckFirstDate(false));
  EXPECT_EQ(form->FirstDate()->GetValue(), TheDossierRecord.DateDisplay(DossierRecord::DateField::YearStart));
  EXPECT_TRUE(form->CheckFirstDate(false));
  test_support::Screenshot(form->Widget(), "vat_dunning", "options-form-checked");

  // The steps of the last account: "first" copies the first account and its balance, "next" steps on.
  form->FirstAccount()->SetValue("CZREL001", false);
  ASSERT_TRUE(form->CheckFirstAccount(false));
  form->FormCommand(dunning_form::kLastFirst);
  EXPECT_EQ(form->LastAccount()->GetValue(), "CZREL001");
  EXPECT_EQ(form->LastBalance()->GetText(), form->FirstBalance()->GetText());
  form->FormCommand(dunning_form::kLastNext);
  EXPECT_EQ(RTrim(form->LastAccount()->GetValue().c_str()), std::string("CZREL002"));
  // "En Euros" empties both balances.
  form->FormCommand(dunning_form::kEuros);
  EXPECT_EQ(form->FirstBalance()->GetText(), "");
  EXPECT_EQ(form->LastBalance()->GetText(), "");

  // The supplier mode.
  form->CmFournisseurs();
  EXPECT_EQ(form->GetCaption(), "Paiements Fournisseurs et Relev\xE9s");
  EXPECT_EQ(form->LastAccount()->GetValue(), "FZZZZZZZ");
  EXPECT_EQ(form->Sense()->GetValue(), "Cr\xE9" "dit");

  // A second 20506 while the window is open brings it forward, never a second window on its slot.
  const gui::Handle window = SlotHandle(kDunningWindowSlot);
  SetRegistryText(kDunningFormSlot, 1, " ");
  RunSubjectCommand(command_id::EtatsRelances);
  gui::ProcessPendingMessages();
  EXPECT_EQ(SlotHandle(kDunningWindowSlot), window);
  SetRegistryText(kDunningFormSlot, 1, "1");
}

// An account chosen in the chart's list for the "?" of either account field comes back into that
// field, and the static beside it shows that account's balance (grouped whole, ten billions
// included), not the old account's text (its balance, or "Jusqu'à" and the bound the form
// proposed).
TEST_F(DunningWindowTest, AnAccountChosenInTheChartListShowsItsOwnBalance) {
  const test_support::SetUpPermit permit("totaux mis en place");
  // The chosen accounts' figures of the year (debit in euros).
  {
    ::Table c20;
    ASSERT_TRUE(c20.OpenShared(PathC20(), "C20CODE"));
    for (const auto& [code, debit] :
         {std::pair<const char*, double>{"CZREL002", 987.65}, {"CZREL003", 42.00}, {"CZREL001", 99999000000.00}}) {
      ASSERT_TRUE(c20.Seek("C20CODE", code));
      ASSERT_TRUE(c20.PutFieldNum(18, debit));
      ASSERT_TRUE(c20.Commit());
    }
  }
  TWEtaModRelances* form = OpenPair();
  ASSERT_NE(form, nullptr);
  ASSERT_TRUE(form->Euros()->IsChecked());
  TheDossierRecord.SetConstant(30, "N  ");  // lookups through the list window
  form->FirstAccount()->SetValue("CZREL001", false);
  ASSERT_TRUE(form->CheckFirstAccount(false));
  ASSERT_TRUE(form->CheckLastAccount(false));
  ASSERT_EQ(form->LastBalance()->GetText(), "Jusqu'\xE0 'CZZZZZZZ'");
  const std::string firstBefore = form->FirstBalance()->GetText();
  const struct {
    unsigned lookup;
    const char* code;
    const char* balance;
    const char* shot;
  } cases[] = {{dunning_form::kFirstLookup, "CZREL001", "99 999 000 000.00 Db", "options-form-ten-billions"},
               {dunning_form::kFirstLookup, "CZREL002", "987.65", nullptr},
               {dunning_form::kLastLookup, "CZREL003", "42.00", nullptr}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.code);
    Send(form, c.lookup);
    gui::ProcessPendingMessages();
    auto* list = dynamic_cast<ChartList*>(gui::Window::FromHandle(SlotHandle(kAccountListSlot)));
    ASSERT_NE(list, nullptr) << test_support::ShownTexts();
    ASSERT_TRUE(list->LocateCode(c.code));
    gui::PostCommand(list->GetHandle(), browse_cmd::Entree);
    gui::ProcessPendingMessages();
    MEdit* field = c.lookup == dunning_form::kFirstLookup ? form->FirstAccount() : form->LastAccount();
    const std::string shown = (c.lookup == dunning_form::kFirstLookup ? form->FirstBalance() : form->LastBalance())->GetText();
    EXPECT_EQ(std::string(RTrim(field->GetValue().c_str())), c.code);
    EXPECT_NE(shown.find(c.balance), std::string::npos) << shown;
    if (c.shot != nullptr) test_support::Screenshot(form->Widget(), "vat_dunning", c.shot);
  }
  EXPECT_NE(form->FirstBalance()->GetText(), firstBefore);
  test_support::Screenshot(form->Widget(), "vat_dunning", "options-form-accounts-from-the-list");
}

// The form's controls at a small and at a maximised size: every control inside the client area,
// the edits of a code, a date or an amount only as wide as their text (not the whole column).
TEST_F(DunningWindowTest, TheFormsControlsFitItsClientAreaAtEverySize) {
  TWEtaModRelances* form = OpenPair();
  ASSERT_NE(form, nullptr);
  const struct {
    int width, height;
    const char* shot;
  } sizes[] = {{760, 330, nullptr}, {1024, 660, "options-form-maximised"}, {1280, 860, nullptr}};
  for (const auto& size : sizes) {
    form->MoveWindow(gui::Rect{0, 0, size.width, size.height});
    gui::ProcessPendingMessages();
    const gui::Rect client = form->GetClientRect();
    for (gui::Window* child : form->Children()) {
      if (!child->IsWindowVisible()) continue;
      const gui::Rect r = child->GetWindowRect();
      EXPECT_LE(r.Bottom(), client.h) << size.width << "x" << size.height << " control " << child->GetId();
      EXPECT_LE(r.Right(), client.w) << size.width << "x" << size.height << " control " << child->GetId();
    }
    for (MEdit* edit : {form->FirstAccount(), form->LastAccount(), form->FirstDate(), form->LastDate(),
                        form->Minimum(), form->Labels()})
      EXPECT_LT(edit->GetWindowRect().w, 16 * EntryCharWidth) << size.width << " edit " << edit->GetId();
    if (size.shot != nullptr) test_support::Screenshot(form->Widget(), "vat_dunning", size.shot);
  }
}

// Maximised, the form stays at its top left: its rows one line high, its columns no wider than
// a code's edit needs.
TEST_F(DunningWindowTest, TheFormsRowsStayOneLineHighWhenItsWindowIsMaximised) {
  TWEtaModRelances* form = OpenPair();
  ASSERT_NE(form, nullptr);
  form->Show(gui::SW_SHOWMAXIMIZED);
  gui::ProcessPendingMessages();
  const int bottom = form->TopOffset + form->GridRows * (form->MinRowHeight + 8);
  const int right = 5 + form->GridColumns * std::max(form->MinColumnWidth, 18 * EntryCharWidth) + 2;
  EXPECT_GT(form->GetClientRect().h, 2 * bottom);
  for (gui::Window* child : form->Children()) {
    if (!child->IsWindowVisible() || child->GetId() == 0) continue;
    EXPECT_LE(child->GetWindowRect().Bottom(), bottom) << "control " << child->GetId();
    EXPECT_LE(child->GetWindowRect().Right(), right) << "control " << child->GetId();
  }
  // The balance beside the first account begins after its lookup button.
  gui::Window* lookup = nullptr;
  for (gui::Window* child : form->Children())
    if (child->GetId() == dunning_form::kFirstLookup) lookup = child;
  ASSERT_NE(lookup, nullptr);
  EXPECT_GE(form->FirstBalance()->GetWindowRect().x, lookup->GetWindowRect().Right());
  test_support::Screenshot(form->OuterWidget(), "vat_dunning", "options-form-maximised-compact");
  form->Show(gui::SW_RESTORE);
  gui::ProcessPendingMessages();
}

// On a real display the window's activation comes between its request for the form (slot "2",
// 20506 posted again) and that command, and marks its slot "1" again: a live window whose slot
// reads "1" and which has no form gets its form from 20506, and no second window.
TEST_F(DunningWindowTest, ALiveWindowWithoutItsFormGetsItsFormFromTheMenu) {
  TWEtaModRelances* first = OpenPair();
  ASSERT_NE(first, nullptr);
  const gui::Handle window = SlotHandle(kDunningWindowSlot);
  const gui::Handle firstForm = SlotHandle(kDunningFormSlot);
  SetRegistryText(kDunningFormSlot, 1, " ");  // the form's slot as no form holds it
  ASSERT_EQ(RegistryChar(kDunningWindowSlot), '1');
  RunSubjectCommand(command_id::EtatsRelances);
  gui::ProcessPendingMessages();
  EXPECT_EQ(SlotHandle(kDunningWindowSlot), window);
  EXPECT_NE(SlotHandle(kDunningFormSlot), firstForm);
  EXPECT_NE(dynamic_cast<TWEtaModRelances*>(gui::Window::FromHandle(SlotHandle(kDunningFormSlot))), nullptr);
}

TEST_F(DunningWindowTest, AGlobalListingWithTheStatementsOfItsAccounts) {
  TWEtaModRelances* form = OpenPair();
  ASSERT_NE(form, nullptr);
  Customers(form);
  Preview(form, kListe);
  TWVisuWindow* preview = CurrentPreviewWindow;
  ASSERT_NE(preview, nullptr) << test_support::ShownTexts();
  // Each account's statement follows it; the list goes on after each (to the last page).
  Send(preview, visu_cmd::ToutesLesPages);
  for (int i = 0; i < 20; ++i) gui::ProcessPendingMessages();
  std::string page;
  for (int p = 1; p <= preview->Context().store.PageCount(); ++p) page += PageText(preview, p) + "\n";
  for (const char* code : {"CZREL001", "CZREL002", "CZREL003"}) EXPECT_NE(page.find(code), std::string::npos) << page;
  EXPECT_NE(page.find("1 200.00"), std::string::npos) << page;
  EXPECT_NE(page.find("Facture 2"), std::string::npos) << page;
  test_support::Screenshot(preview->Widget(), "vat_dunning", "preview-listing");
  Send(preview, visu_cmd::Quitter);
  for (int i = 0; i < 5; ++i) gui::ProcessPendingMessages();
  ASSERT_FALSE(PrintRunFlag);
}

TEST_F(DunningWindowTest, QuitterWaitsForThePreviewToEnd) {
  TWEtaModRelances* form = OpenPair();
  ASSERT_NE(form, nullptr);
  Customers(form);
  Preview(form, kListe);
  TWVisuWindow* preview = CurrentPreviewWindow;
  ASSERT_NE(preview, nullptr) << test_support::ShownTexts();
  ASSERT_TRUE(PrintRunFlag);
  // "Visualiser" and "Imprimer" are greyed while the preview runs.
  for (unsigned id : {dunning_cmd::Visualiser, dunning_cmd::Imprimer}) {
    gui::CommandEnabler ce(id);
    form->EvCommandEnable(ce);
    EXPECT_TRUE(ce.Handled()) << id;
    EXPECT_FALSE(ce.Enabled()) << id;
  }
  // "Quitter" of the form, or closing it, while the preview reads its report window: both stay.
  const gui::Handle window = SlotHandle(kDunningWindowSlot);
  Send(form, 20023);
  gui::PostMessage(form->GetHandle(), gui::WM_CLOSE);
  gui::ProcessPendingMessages();
  EXPECT_EQ(gui::Window::FromHandle(SlotHandle(kDunningFormSlot)), form);
  EXPECT_EQ(SlotHandle(kDunningWindowSlot), window);
  EXPECT_EQ(CurrentPreviewWindow, preview);
  Send(preview, visu_cmd::Quitter);
  for (int i = 0; i < 5; ++i) gui::ProcessPendingMessages();
  ASSERT_FALSE(PrintRunFlag);
  for (unsigned id : {dunning_cmd::Visualiser, dunning_cmd::Imprimer}) {
    gui::CommandEnabler ce(id);
    form->EvCommandEnable(ce);
    EXPECT_TRUE(ce.Enabled()) << id;
  }
  // The refused closes left the fields' checks on: an emptied date is refused.
  form->FirstDate()->SetValue("", false);
  EXPECT_EQ(form->Check(), CMDIModif::kCheckInvalid);
  // Idle: "Quitter" closes the form without a check, and its report window with it.
  form->FirstDate()->SetValue("", false);
  Send(form, 20023);
  for (int i = 0; i < 5; ++i) gui::ProcessPendingMessages();
  EXPECT_EQ(gui::Window::FromHandle(SlotHandle(kDunningFormSlot)), nullptr);
  EXPECT_EQ(Window(), nullptr);
  EXPECT_EQ(RegistryChar(kDunningWindowSlot), ' ');
  EXPECT_EQ(RegistryChar(kDunningFormSlot), ' ');
}

TEST_F(DunningWindowTest, TheLettersWalkedWithListeSuivanteToTheLastAccount) {
  TWEtaModRelances* form = OpenPair();
  ASSERT_NE(form, nullptr);
  Customers(form);
  // The letters: one list per account, "Liste suivante" to the last.
  QueueChoice(gui::IDOK, kRelance);
  form->CmVisualiser();
  gui::ProcessPendingMessages();
  ASSERT_NE(CurrentPreviewWindow, nullptr) << test_support::ShownTexts();
  std::vector<std::string> firstPages, captions;
  for (int guard = 0; guard < 10 && CurrentPreviewWindow != nullptr; ++guard) {
    firstPages.push_back(PageText(CurrentPreviewWindow, 1));
    captions.push_back(CurrentPreviewWindow->GetCaption());
    if (guard == 0) test_support::Screenshot(CurrentPreviewWindow->Widget(), "vat_dunning", "preview-letter");
    Send(CurrentPreviewWindow, visu_cmd::ListeSuivante);
    gui::ProcessPendingMessages();
    if (Window()->Run().EndOfList) break;
  }
  ASSERT_EQ(firstPages.size(), 3u) << test_support::ShownTexts();
  EXPECT_NE(firstPages[0].find("Menuiserie Dupuis"), std::string::npos) << firstPages[0];
  EXPECT_NE(firstPages[2].find("Scierie Petit"), std::string::npos) << firstPages[2];
  EXPECT_NE(firstPages[0].find("1 200.00"), std::string::npos) << firstPages[0];
  EXPECT_NE(firstPages[0].find("R\xE9partition par \xE9" "ch\xE9" "ance"), std::string::npos) << firstPages[0];
  EXPECT_NE(captions[2].find("Relance: CZREL003"), std::string::npos) << captions[2];
  // "Liste suivante" on the last letter ends the run: no further list.
  EXPECT_EQ(CurrentPreviewWindow, nullptr);
  EXPECT_FALSE(PrintRunFlag);
}

TEST_F(DunningWindowTest, ASupplierPaymentThroughTheSepaLayout) {
  AddAccount("FZSCIE01", "Scierie de l'\xC9tang & Cie <Nord>", IbanOf("FR", "30004008250000000006497"),
             "BNPAFRPPXXX");
  AddLine("FZSCIE01", YearDate(2, 3), "", 'C', 1234567891, "Bois de charpente", ' ', 10);
  AddAccount("FZDEBIT1", "Fournisseur debiteur", IbanOf("FR", "30004008250000000006497"), "BNPAFRPPXXX");
  AddLine("FZDEBIT1", YearDate(2, 6), "", 'D', 50000, "Avoir du", ' ', 11);
  TWEtaModRelances* form = SupplierPayment("FZ", "");
  ASSERT_NE(form, nullptr);
  Preview(form, kSepa);
  for (int i = 0; i < 5; ++i) gui::ProcessPendingMessages();
  // The file is the export file of the layout, which the preview offers when it ends.
  const std::string file = Window()->Run().TransferFile();
  ASSERT_FALSE(file.empty()) << test_support::ShownTexts();
  EXPECT_EQ(Tool({"xmllint", "--noout", "--schema",
                  std::string(MERLON_SOURCE_DIR) + "/tests/entry/data/pain.001.001.02.xsd", file})
                .exitStatus,
            0);
  const std::string text = ReadAll(file);
  EXPECT_NE(text.find(">12345678.91</InstdAmt>"), std::string::npos);
  EXPECT_EQ(text.find("FZDEBIT1"), std::string::npos);
  EXPECT_TRUE(fs::is_empty(tmp_));
  if (CurrentPreviewWindow != nullptr) Send(CurrentPreviewWindow, visu_cmd::Quitter);
  for (int i = 0; i < 5; ++i) gui::ProcessPendingMessages();
  // The end of the run names the file and the account left out; a file written whole stays.
  EXPECT_TRUE(fs::exists(file));
  const std::string shown = test_support::ShownTexts();
  EXPECT_NE(shown.find(file), std::string::npos) << shown;
  EXPECT_NE(shown.find("FZDEBIT1"), std::string::npos) << shown;
  for (const auto& s : gui::ModalSeam::Shown())
    if (s.text.find("FZDEBIT1") != std::string::npos)
      test_support::ScreenshotMessage(s, "vat_dunning", "end-of-payment");
}

// A SEPA run whose supplier's IBAN cannot stand in the file writes no transfer file and says so;
// then it neither offers the layout's export file as ready nor leaves one on the disk.
TEST_F(DunningWindowTest, ASepaRunWithIncompleteBankDetailsOffersAndLeavesNothing) {
  AddAccount("FZINCO01", "Fournisseur incomplet", "FR76 3000 4008", "BNPAFRPPXXX");
  AddLine("FZINCO01", YearDate(2, 3), "", 'C', 120000, "Outils", ' ', 10);
  ASSERT_TRUE(platform::ListFiles(DossierFolder, "cxp*").empty());
  TWEtaModRelances* form = SupplierPayment("FZINCO01", "FZINCO01");
  ASSERT_NE(form, nullptr);
  Preview(form, kSepa);
  for (int i = 0; i < 5; ++i) gui::ProcessPendingMessages();
  // The file given up, no preview is left whose page says the program writes it.
  EXPECT_EQ(CurrentPreviewWindow, nullptr) << (CurrentPreviewWindow != nullptr ? PageText(CurrentPreviewWindow, 1) : "");
  if (CurrentPreviewWindow != nullptr) Send(CurrentPreviewWindow, visu_cmd::Quitter);
  for (int i = 0; i < 5; ++i) gui::ProcessPendingMessages();
  const std::string shown = test_support::ShownTexts();
  EXPECT_NE(shown.find("Le fichier des virements n'a pas \xE9t\xE9 \xE9" "crit"), std::string::npos) << shown;
  EXPECT_EQ(shown.find("Le fichier d'exportation est pr\xEAt"), std::string::npos) << shown;
  // One box says it, never a second one saying that the file will be wrong.
  EXPECT_EQ(IncompleteBankDetailBoxes(), 1) << shown;
  EXPECT_TRUE(Window()->Run().TransferFile().empty());
  EXPECT_TRUE(platform::ListFiles(DossierFolder, "cxp*").empty());
  EXPECT_TRUE(fs::is_empty(tmp_));
  EXPECT_TRUE(launched.empty());
}

// The SEPA payment of suppliers of which four have a line whose amount does not read ("-1e300",
// "ABC", "1e300", NUL bytes), and one an IBAN cut short: one box names the four lines and says the
// file was not written; nothing says they count as zero, nor what a file never written would lack;
// no transfer file, no export offered, nothing left on the disk.
TEST_F(DunningWindowTest, ASepaRunWithAmountsThatDoNotReadWritesNoFile) {
  AddAccount("FZSAIN01", "Fournisseur sain", IbanOf("FR", "30004008250000000006497"), "BNPAFRPPXXX");
  AddLine("FZSAIN01", YearDate(2, 3), "", 'C', 120000, "Outils", ' ', 10);
  AddAccount("FZINCO01", "Fournisseur incomplet", "FR76 3000 4008", "BNPAFRPPXXX");
  AddLine("FZINCO01", YearDate(2, 3), "", 'C', 70000, "Outils", ' ', 20);
  std::vector<std::string> named;
  for (std::size_t i = 0; i < UnreadableAmounts().size(); ++i) {
    const std::string code = "FZILLI0" + std::to_string(i + 1);
    AddAccount(code, "Fournisseur illisible", IbanOf("FR", "30004008250000000006497"), "BNPAFRPPXXX");
    AddLine(code, YearDate(2, 4), "", 'C', 5000 + static_cast<long long>(i), "Facture", ' ', 11 + static_cast<int>(i));
    const std::uint32_t n = DamageLastLine(code, UnreadableAmounts()[i]);
    ASSERT_NE(n, 0u);
    named.push_back("C50 enregistrement " + std::to_string(n) + ",");
  }
  ASSERT_TRUE(platform::ListFiles(DossierFolder, "cx*").empty());
  TWEtaModRelances* form = SupplierPayment("FZILLI01", "FZSAIN01");
  ASSERT_NE(form, nullptr);
  Preview(form, kSepa);
  for (int i = 0; i < 5; ++i) gui::ProcessPendingMessages();
  if (CurrentPreviewWindow != nullptr) Send(CurrentPreviewWindow, visu_cmd::Quitter);
  for (int i = 0; i < 5; ++i) gui::ProcessPendingMessages();
  std::vector<gui::ShownModal> refusals;
  for (const auto& s : gui::ModalSeam::Shown())
    if (s.text.find("Le fichier n'a pas \xE9t\xE9 \xE9" "crit") != std::string::npos) refusals.push_back(s);
  ASSERT_EQ(refusals.size(), 1u) << test_support::ShownTexts();
  for (const std::string& n : named) EXPECT_NE(refusals[0].text.find(n), std::string::npos) << n;
  test_support::ScreenshotMessage(refusals[0], "vat_dunning", "sepa-unreadable-amounts");
  const std::string shown = test_support::ShownTexts();
  EXPECT_EQ(shown.find("compt\xE9" "e pour z\xE9ro"), std::string::npos) << shown;
  EXPECT_EQ(shown.find("Nombre de virements"), std::string::npos) << shown;
  EXPECT_EQ(IncompleteBankDetailBoxes(), 0) << shown;
  EXPECT_EQ(shown.find("Le fichier d'exportation est pr\xEAt"), std::string::npos) << shown;
  EXPECT_TRUE(Window()->Run().TransferFile().empty());
  EXPECT_TRUE(platform::ListFiles(DossierFolder, "cx*").empty());
  EXPECT_TRUE(fs::is_empty(tmp_));
  EXPECT_TRUE(launched.empty());
}

// A supplier's line whose amount no entry makes, as a restored backup installs it (-675,02 with its
// francs, or the 14 digits 99999999999999): the records of "EL-1VIRT" and the SEPA file of "EL-1SEPA" are not
// written. One box names the line and says the file was not written; nothing is said to be ready,
// nothing is offered or left on the disk.
TEST_F(DunningWindowTest, TransferFilesOverALineAmountNoEntryMakesAreNotWritten) {
  int k = 0;
  for (const char* amount : {"      -675.02", "99999999999999"})
    for (const Row row : {kVirements, kSepa}) {
      SCOPED_TRACE(std::string(amount) + (row == kSepa ? " EL-1SEPA" : " EL-1VIRT"));
      const std::string sound = "FZBON" + std::to_string(10 + k), damaged = "FZMAL" + std::to_string(10 + k);
      ++k;
      AddAccount(sound, "Fournisseur sain", IbanOf("FR", "30004008250000000006497"), "BNPAFRPPXXX");
      AddLine(sound, YearDate(2, 3), "", 'C', 120000, "Outils", ' ', 10);
      AddAccount(damaged, "Fournisseur abime", IbanOf("FR", "30004008250000000006497"), "BNPAFRPPXXX");
      AddLine(damaged, YearDate(2, 4), "", 'C', 67502, "Facture", ' ', 11);
      const std::uint32_t n = DamageLastLine(damaged, amount);
      ASSERT_NE(n, 0u);
      if (amount[6] == '-') test_support::RawRecords(std::string(PathC50()) + ".dbf").Put(n, "BMONTANTF", "-4427.84");
      for (const std::string& f : platform::ListFiles(DossierFolder, "cx*")) fs::remove(DossierFolder + f);
      TWEtaModRelances* form = SupplierPayment(sound, damaged);
      ASSERT_NE(form, nullptr);
      gui::ModalSeam::Reset();
      Preview(form, row);
      for (int i = 0; i < 5; ++i) gui::ProcessPendingMessages();
      if (CurrentPreviewWindow != nullptr) Send(CurrentPreviewWindow, visu_cmd::Quitter);
      for (int i = 0; i < 5; ++i) gui::ProcessPendingMessages();
      const std::string shown = test_support::ShownTexts();
      std::vector<gui::ShownModal> refusals;
      for (const auto& s : gui::ModalSeam::Shown())
        if (s.text.find("n'a pas \xE9t\xE9 \xE9" "crit") != std::string::npos) refusals.push_back(s);
      ASSERT_EQ(refusals.size(), 1u) << shown;
      EXPECT_NE(refusals[0].text.find("C50 enregistrement " + std::to_string(n) + ","), std::string::npos)
          << refusals[0].text;
      EXPECT_NE(refusals[0].text.find("n'est pas un montant qu'une saisie fait"), std::string::npos) << refusals[0].text;
      if (k == 1) test_support::ScreenshotMessage(refusals[0], "vat_dunning", "transfer-line-amount-no-entry-makes");
      EXPECT_EQ(shown.find("Le fichier d'exportation est pr\xEAt"), std::string::npos) << shown;
      EXPECT_EQ(shown.find("trop grand"), std::string::npos) << shown;
      EXPECT_TRUE(Window()->Run().TransferFile().empty());
      EXPECT_TRUE(platform::ListFiles(DossierFolder, "cx*").empty());
      EXPECT_TRUE(fs::is_empty(tmp_));
      EXPECT_TRUE(launched.empty());
      if (CommandWindow != nullptr) CommandWindow->CloseChildren();
      gui::ProcessPendingMessages();
    }
}

TEST_F(DunningWindowTest, APrintoutToPdfShowsWhatThePreviewShows) {
  const std::string pdf = test_support::ReportDossierTest::SetUpPdfPrinter("vat_dunning", "printout-listing");
  TWEtaModRelances* form = OpenPair();
  ASSERT_NE(form, nullptr);
  Customers(form);
  QueueChoice(gui::IDOK, kListe);
  form->CmImprimer();
  gui::ProcessPendingMessages();
  ASSERT_TRUE(fs::exists(pdf)) << test_support::ShownTexts();
  const std::string printed = std::regex_replace(Tool({"pdftotext", "-layout", pdf, "-"}).output, std::regex(" +"), " ");
  Preview(form, kListe);
  ASSERT_NE(CurrentPreviewWindow, nullptr);
  std::istringstream words(PageText(CurrentPreviewWindow, 1));
  for (std::string w; words >> w;)
    if (w.find('.') != std::string::npos && w.size() > 3) {
      EXPECT_NE(printed.find(w), std::string::npos) << w << "\n" << printed;
    }
  EXPECT_NE(printed.find("CZREL002"), std::string::npos) << printed;
}

// Balances past one and ten million, in debit and in credit, wider than the 10 characters of
// their variables, in the listing with its statements and in its "Cumul des comptes list\xE9s": every
// amount cell of the preview and of the printed PDF is the amount to the cent with its thousands'
// blanks, the same cells in both.
TEST_F(DunningWindowTest, BalancesPastTenMillionListToTheCentOnScreenAndOnPaper) {
  AddAccount("CZREL004", "Charpentes du Centre", "", "");
  AddLine("CZREL004", YearDate(1, 16), "", 'D', 1000018132, "Facture 4", ' ', 5);
  AddAccount("CZREL005", "Bois et Panneaux", "", "");
  AddLine("CZREL005", YearDate(1, 18), "", 'C', 2000000000, "Acompte 5", ' ', 6);
  AddAccount("CZREL006", "Parquets Lambert", "", "");
  AddLine("CZREL006", YearDate(1, 19), "", 'C', 100018132, "Acompte 6", ' ', 7);
  // Each account with its statement makes a page: its balance and its ageing bucket (signed), each
  // line of its statement, then the total of the accounts listed so far and its bucket.
  std::vector<std::string> cells = {
      "1 200.00",    "1 200.00",     "1 234.50",    "34.50",        "1 200.00",     "1 200.00",      // CZREL001
      "987.65",      "987.65",       "987.65",      "2 187.65",     "2 187.65",                      // CZREL002
      "42.00",       "42.00",        "42.00",       "2 229.65",     "2 229.65",                      // CZREL003
      "10 000 181.32", "10 000 181.32",  "10 000 181.32", "10 002 410.97",  "10 002 410.97",         // CZREL004
      "20 000 000.00", "-20 000 000.00", "20 000 000.00", "9 997 589.03",   "-9 997 589.03",         // CZREL005
      "1 000 181.32",  "-1 000 181.32",  "1 000 181.32",  "10 997 770.35",  "-10 997 770.35"};       // CZREL006
  std::sort(cells.begin(), cells.end());

  const std::string pdf = test_support::ReportDossierTest::SetUpPdfPrinter("vat_dunning", "printout-listing-wide");
  TWEtaModRelances* form = OpenPair();
  ASSERT_NE(form, nullptr);
  Customers(form);
  form->LastAccount()->SetValue("CZREL006", false);
  form->Minimum()->SetValue("0", false);
  QueueChoice(gui::IDOK, kListe);
  form->CmImprimer();
  gui::ProcessPendingMessages();
  ASSERT_TRUE(fs::exists(pdf)) << test_support::ShownTexts();
  const std::string printed = Tool({"pdftotext", "-layout", pdf, "-"}).output;
  EXPECT_EQ(printed_amounts::TextAmounts(printed), cells) << printed;

  Preview(form, kListe);
  TWVisuWindow* preview = CurrentPreviewWindow;
  ASSERT_NE(preview, nullptr) << test_support::ShownTexts();
  Send(preview, visu_cmd::ToutesLesPages);
  for (int i = 0; i < 20; ++i) gui::ProcessPendingMessages();
  EXPECT_EQ(printed_amounts::PreviewAmounts(*preview), cells) << PageText(preview, 1);
  test_support::Screenshot(preview->Widget(), "vat_dunning", "preview-listing-wide");
  Send(preview, visu_cmd::Quitter);
  for (int i = 0; i < 5; ++i) gui::ProcessPendingMessages();
}

// A balance of a hundred million, all of it under thirty days, on the listing: its balance and its
// ageing amount keep their thousands' blanks and end under their titles ("Solde", "- de 30 j"),
// and its side "Db" stands where a small account's stands; nothing of the line moves right.
TEST_F(DunningWindowTest, AHundredMillionBalanceKeepsItsLineUnderItsTitles) {
  Ymd recent;
  ASSERT_TRUE(TheDossierRecord.DateYmd(DossierRecord::DateField::YearEnd, recent));
  recent.day -= 5;
  AddAccount("CZREL007", "Menuiserie Industrielle", "", "");
  AddLine("CZREL007", StoredDateOf(recent), "", 'D', 12345678901, "Facture 7", ' ', 8);
  TWEtaModRelances* form = OpenPair();
  ASSERT_NE(form, nullptr);
  Customers(form);
  form->LastAccount()->SetValue("CZREL007", false);
  form->Minimum()->SetValue("0", false);
  Preview(form, kListe);
  TWVisuWindow* preview = CurrentPreviewWindow;
  ASSERT_NE(preview, nullptr) << test_support::ShownTexts();
  Send(preview, visu_cmd::ToutesLesPages);
  for (int i = 0; i < 20; ++i) gui::ProcessPendingMessages();
  test_support::Screenshot(preview->Widget(), "vat_dunning", "preview-listing-hundred-million");

  // The records of every page, "^" shown as blanks; the lines by their top.
  struct Cell {
    char kind;
    int left, right, top;
    std::string text;
  };
  std::vector<Cell> cells;
  const reports::PreviewPageStore& store = preview->Context().store;
  for (int p = 1; p <= store.PageCount(); ++p)
    for (const reports::PageRecord& r : *store.Page(p)) {
      std::string text(r.text);
      std::replace(text.begin(), text.end(), '^', ' ');
      if (r.kind == 'X' || r.kind == 'Z') cells.push_back({r.kind, r.n1, r.n1 + r.n3, r.n2 + 100000 * p, text});
    }
  auto top = [&](const std::string& text) {
    for (const Cell& c : cells)
      if (c.text == text) return c.top;
    ADD_FAILURE() << "no '" << text << "'";
    return -1;
  };
  auto on = [&](int line, const std::string& text) -> const Cell* {
    for (const Cell& c : cells)
      if (c.top == line && c.text == text) return &c;
    return nullptr;
  };
  const int titles = top("Solde"), wide = top("CZREL007"), small = top("CZREL001");
  const Cell *solde = on(titles, "Solde"), *under30 = on(titles, "- de 30 j");
  ASSERT_TRUE(solde != nullptr && under30 != nullptr) << PageText(preview, 1);
  std::vector<int> rights;
  for (const Cell& c : cells)
    if (c.top == wide && c.kind == 'Z') {
      EXPECT_EQ(c.text, "123 456 789.01");
      rights.push_back(c.right);
    }
  EXPECT_EQ(rights, (std::vector<int>{solde->right, under30->right})) << PageText(preview, 1);
  const Cell *side = on(wide, "Db"), *smallSide = on(small, "Db");
  ASSERT_TRUE(side != nullptr && smallSide != nullptr) << PageText(preview, 1);
  EXPECT_EQ(side->left, smallSide->left);
  Send(preview, visu_cmd::Quitter);
  for (int i = 0; i < 5; ++i) gui::ProcessPendingMessages();
}

TEST_F(DunningWindowTest, TransferRecordsIntoAnExportFileThatCannotBeMade) {
  AddAccount("FZDUPO01", "Dupont", IbanOf("FR", "30004008250000000006497"), "BNPAFRPPXXX");
  AddLine("FZDUPO01", YearDate(2, 4), "", 'C', 120000, "Outils", ' ', 12);
  // The export file's folder is a file: the file cannot be created there.
  const std::string blocker = root_ + "/not-a-folder";
  std::ofstream(blocker) << "x";
  const std::string target = blocker + "/virements.txt";
  IniSetString("NomFichierExport", target.c_str());
  TWEtaModRelances* form = OpenPair();
  ASSERT_NE(form, nullptr);
  form->CmFournisseurs();
  form->FirstAccount()->SetValue("FZDUPO01", false);
  form->LastDate()->SetValue(TheDossierRecord.DateDisplay(DossierRecord::DateField::YearEnd), false);
  form->Letters()->SetValue("1", false);
  Preview(form, kVirements);
  if (CurrentPreviewWindow != nullptr) Send(CurrentPreviewWindow, visu_cmd::Quitter);
  for (int i = 0; i < 5; ++i) gui::ProcessPendingMessages();
  IniSetString("NomFichierExport", "");
  // One French message with the path; nothing offered, nothing left.
  const std::string shown = test_support::ShownTexts();
  EXPECT_NE(shown.find(target), std::string::npos) << shown;
  EXPECT_FALSE(fs::exists(target));
  EXPECT_TRUE(launched.empty());
}

// A disk that refuses the export file half-way (a file-size limit, as a full disk): one French
// message names the file, nothing is offered, and the partly written file is removed. The limit
// holds only while the preview runs (a soft limit, put back after).
TEST_F(DunningWindowTest, AnExportFileCutShortByTheDiskIsNamedAndRemoved) {
  for (int i = 0; i < 12; ++i) {
    const std::string code = "FZPAY" + std::to_string(100 + i);
    AddAccount(code, "Fournisseur " + std::to_string(i), IbanOf("FR", "30004008250000000006497"), "BNPAFRPPXXX");
    AddLine(code, YearDate(2, 4), "", 'C', 120000 + i, "Outils", ' ', 20 + i);
  }
  const std::string target = root_ + "/virements-coupes.txt";
  IniSetString("NomFichierExport", target.c_str());
  TWEtaModRelances* form = OpenPair();
  ASSERT_NE(form, nullptr);
  form->CmFournisseurs();
  form->FirstAccount()->SetValue("FZPAY100", false);
  form->LastAccount()->SetValue("FZPAY111", false);
  form->LastDate()->SetValue(TheDossierRecord.DateDisplay(DossierRecord::DateField::YearEnd), false);
  form->Letters()->SetValue("1", false);
  platform::IgnoreFileSizeLimitSignal();
  rlimit before{};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &before), 0);
  const rlimit cut{700, before.rlim_max};  // room for the header and a few records, never for all
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &cut), 0);
  Preview(form, kVirements);
  if (CurrentPreviewWindow != nullptr) Send(CurrentPreviewWindow, visu_cmd::Quitter);
  for (int i = 0; i < 5; ++i) gui::ProcessPendingMessages();
  ::setrlimit(RLIMIT_FSIZE, &before);
  IniSetString("NomFichierExport", "");
  const std::string shown = test_support::ShownTexts();
  EXPECT_NE(shown.find(target), std::string::npos) << shown;
  EXPECT_NE(shown.find("Erreur d'\xE9" "criture"), std::string::npos) << shown;
  EXPECT_FALSE(fs::exists(target));
  EXPECT_TRUE(launched.empty());
}

TEST_F(DunningWindowTest, TheLettersPrintInOneJobEachFromItsOwnPage) {
  const std::string pdf = test_support::ReportDossierTest::SetUpPdfPrinter("vat_dunning", "printout-letters");
  TWEtaModRelances* form = OpenPair();
  ASSERT_NE(form, nullptr);
  Customers(form);
  QueueChoice(gui::IDOK, kRelance);
  form->CmImprimer();
  gui::ProcessPendingMessages();
  ASSERT_TRUE(fs::exists(pdf)) << test_support::ShownTexts();
  EXPECT_FALSE(PrintRunFlag);
  const std::string info = Tool({"pdfinfo", pdf}).output;
  EXPECT_NE(info.find("Pages:           3"), std::string::npos) << info;
  for (int page = 1; page <= 3; ++page) {
    const std::string text =
        Tool({"pdftotext", "-f", std::to_string(page), "-l", std::to_string(page), pdf, "-"}).output;
    const char* names[] = {"Menuiserie Dupuis", "Ebenisterie Martin", "Scierie Petit"};
    EXPECT_NE(text.find(names[page - 1]), std::string::npos) << page << "\n" << text;
  }
}

// A dossier with more customers than the preview used to show pages (10,000): the global listing
// with the statements, a page an account, previewed to its end and printed whole. Every customer
// with a balance is listed, as the run's own walk of the accounts finds them, and the last page's
// total is the sum of their balances.
class DunningManyCustomersTest : public DunningWindowTest {
 protected:
  void SetUp() override {
    DunningWindowTest::SetUp();
    DemoOptions options;
    options.folder = root_ + "/many";
    options.code = "MC";
    options.lines = 220000;
    options.accounts = 40000;
    options.currency = DossierCurrency::EuroMain;
    std::string message;
    ASSERT_TRUE(GenerateDemoDossier(options, &message)) << message;
    OpenThroughDialog(C10Path(options.folder + "/", "MC"));
    ASSERT_EQ(std::string(RTrim(DossierCode.c_str())), "MC") << test_support::ShownTexts();
    gui::ModalSeam::Reset();
  }
  // The form set to every customer, with their statements.
  static void EveryCustomer(TWEtaModRelances* form) {
    form->FirstAccount()->SetValue("C", false);
    form->LastAccount()->SetValue("CZZZZZZZ", false);
    form->Minimum()->SetValue("0", false);
    form->Letters()->SetValue("1", false);
    form->LastDate()->SetValue(TheDossierRecord.DateDisplay(DossierRecord::DateField::YearEnd), false);
  }
  // The page's cell at column 1 that is an account code ("C" and 7 more).
  static long AccountsOn(const reports::PreviewPage& page, int lineStartX) {
    long n = 0;
    for (const reports::PageRecord& r : page)
      if (r.kind == 'X' && r.n1 == lineStartX && r.text.size() == 8 && r.text[0] == 'C') ++n;
    return n;
  }
};

TEST_F(DunningManyCustomersTest, TheListingGoesToItsLastCustomerPastTenThousandPages) {
  TWEtaModRelances* form = OpenPair();
  ASSERT_NE(form, nullptr);
  EveryCustomer(form);
  // What the run's own walk of the accounts accepts, without the report engine.
  long customers = 0;
  long long total = 0;
  {
    ReportFieldTable fields;
    std::string section;
    dunning::DunningRun run(fields, section);
    dunning::FormOptions f;
    f.firstAccount = "C";
    f.lastAccount = "CZZZZZZZ";
    f.firstDate = TheDossierRecord.DateDisplay(DossierRecord::DateField::YearStart);
    f.lastDate = TheDossierRecord.DateDisplay(DossierRecord::DateField::YearEnd);
    f.letterFilter = '1';
    f.minimum = "0";
    f.sense = 'D';
    run.OptionsString = dunning::OptionsText(f);
    run.AmountsInEuros = 1;
    ASSERT_TRUE(run.PrepareReport());
    do {
      ++customers;
      total += run.AccountCents();
      run.ComputeLine();
    } while (run.NextRecord());
  }
  ASSERT_GT(customers, 10000);
  ReportFieldTable shown;
  shown.SetFieldCount(1);
  shown.InitFieldTable();
  shown.DeclareField(0, "TG_MONTANTM102");
  shown.SetFieldUnits(0, total < 0 ? -total : total);
  const std::string cumul = std::string("Cumul des comptes list\xE9s ") + Trimmed(shown.Value(0)) + (total < 0 ? " Cr" : " Db");

  Preview(form, kListe);
  TWVisuWindow* preview = CurrentPreviewWindow;
  ASSERT_NE(preview, nullptr) << test_support::ShownTexts();
  Send(preview, visu_cmd::ToutesLesPages);
  const reports::RenderContext& context = preview->Context();
  for (int guard = 0; guard < 1000000 && !context.endOfData && context.firstPage == 9999; ++guard)
    gui::ProcessPendingMessages();
  EXPECT_TRUE(context.endOfData);
  const int pages = context.store.PageCount();
  EXPECT_GT(pages, 10000);
  long listed = 0;
  for (int p = 1; p <= pages; ++p) listed += AccountsOn(*context.store.Page(p), context.lineStartX);
  EXPECT_EQ(listed, customers);
  const std::string last = PageText(preview, pages);
  EXPECT_NE(last.find("* Fin *"), std::string::npos) << last;
  EXPECT_NE(last.find(cumul), std::string::npos) << cumul << "\n" << last;
  Send(preview, visu_cmd::Quitter);
  for (int i = 0; i < 5; ++i) gui::ProcessPendingMessages();

  // The printout has the same pages, the last with the same total.
  const std::string pdf = test_support::ReportDossierTest::SetUpPdfPrinter("vat_dunning", "printout-many-customers");
  QueueChoice(gui::IDOK, kListe);
  form->CmImprimer();
  gui::ProcessPendingMessages();
  ASSERT_TRUE(fs::exists(pdf)) << test_support::ShownTexts();
  const std::string info = Tool({"pdfinfo", pdf}).output;
  EXPECT_NE(info.find("Pages:           " + std::to_string(pages)), std::string::npos) << info;
  const std::string printed =
      Tool({"pdftotext", "-layout", "-f", std::to_string(pages), "-l", std::to_string(pages), "-enc", "Latin1", pdf, "-"}).output;
  EXPECT_NE(std::regex_replace(printed, std::regex(" +"), " ").find(cumul), std::string::npos) << printed;
  fs::remove(pdf);
}

}  // namespace
}  // namespace dunning_test
