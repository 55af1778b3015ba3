// The opening balances form driven as a user drives it: refused on a dossier whose draft holds
// lines; otherwise the next year's dossier chosen with "?", checked, and generated on "Accepter"
// after the questions, with the log line and the end message.
#include <QWidget>

#include <string>

#include "controls/mcontrols.h"
#include "controls/medit.h"
#include "data/dossier_files.h"
#include "data/entry_lines.h"
#include "data/session.h"
#include "data/table.h"
#include "platform/gui/command.h"
#include "platform/gui/modal_seam.h"
#include "processing/opening_balances_window.h"
#include "runtime/logfile.h"
#include "runtime/session_registry.h"
#include "runtime/text.h"
#include "runtime/xbase.h"
#include "shell/application.h"
#include "shell/handlers.h"
#include "shell/mdi_client.h"
#include "shell/registry.h"
#include "opening_fixture.h"
#include "support/dossier_fixture.h"
#include "support/dossier_passwords.h"
#include "support/line_files.h"

namespace {

class YearEndWindowTest : public test_support::DossierFixture {
 protected:
  void SetUp() override {
    DossierFixture::SetUp();
    InstallYearEndCommands();
    gui::ModalSeam::Reset();
  }
  void TearDown() override {
    CloseWindows();
    SetCommandWork(command_id::GenerationSoldesANouveau, {});
    DossierFixture::TearDown();
  }
  void Open(const std::string& folder, const std::string& code) {
    OpenThroughDialog(C10Path(folder, code));
    ASSERT_EQ(std::string(RTrim(DossierCode.c_str())), code) << test_support::ShownTexts();
    gui::ModalSeam::Reset();
    MainFrame->MoveWindow(gui::Rect{0, 0, 1280, 800});
    MainFrame->Show(gui::SW_SHOW);
    gui::ProcessPendingMessages();
  }
  static TWTraGenerationSAN* Form() {
    return dynamic_cast<TWTraGenerationSAN*>(gui::Window::FromHandle(SlotHandle(kOpeningFormSlot)));
  }
};

TEST_F(YearEndWindowTest, ADraftWithLinesKeepsTheFormClosed) {
  const std::string a = MakeDossier("a", "SA", 40);
  Open(a, "SA");
  Menu(command_id::GenerationSoldesANouveau);
  EXPECT_TRUE(ShownContains("Le BROUILLARD doit \xEAtre vide")) << test_support::ShownTexts();
  test_support::ScreenshotMessage(gui::ModalSeam::Shown().back(), "processing", "opening_draft_not_empty");
  EXPECT_EQ(Form(), nullptr);
}

TEST_F(YearEndWindowTest, TheNextYearIsChosenCheckedAndGenerated) {
  const std::string a = MakeDossier("a", "SA", 40);
  ASSERT_NO_FATAL_FAILURE(opening_test::EmptyDraft(a + "c50sa"));
  ASSERT_NO_FATAL_FAILURE(opening_test::MakeNextYear(root_ + "/b"));
  Open(a, "SA");
  Menu(command_id::GenerationSoldesANouveau);
  TWTraGenerationSAN* form = Form();
  ASSERT_NE(form, nullptr) << test_support::ShownTexts();
  EXPECT_EQ(form->DateEdit()->GetValue(), "01/01/27");
  // A code of the open folder that names no dossier, then the next year's general file.
  form->CodeEdit()->SetValue("ZZ", false);
  EXPECT_FALSE(form->CheckTarget());
  EXPECT_EQ(form->TargetFirst(), "Dossier inexistant: ZZ");
  // F8 in either edit checks the target as Enter does (never the calculator), the code edit then focused.
  for (MEdit* edit : {form->DateEdit(), form->CodeEdit()}) {
    form->CodeEdit()->SetValue(edit == form->DateEdit() ? "Z1" : "Z2", false);
    edit->SetFocus();
    test_support::SendKey(edit->Widget(), test_support::kKeyPress, gui::VK_F8);
    test_support::SendKey(edit->Widget(), test_support::kKeyRelease, gui::VK_F8);
    gui::ProcessPendingMessages();
    EXPECT_EQ(form->TargetFirst(), edit == form->DateEdit() ? "Dossier inexistant: Z1" : "Dossier inexistant: Z2");
    EXPECT_TRUE(form->CodeEdit()->HasFocus());
  }
  EXPECT_EQ(CalculatorEdit, nullptr) << "F8 opened the calculator";
  gui::ModalSeam::QueueFileAnswer(root_ + "/b/c10sb.dbf");
  gui::SendCommand(form->GetHandle(), 1204);
  gui::ProcessPendingMessages();
  EXPECT_EQ(form->CodeEdit()->GetValue(), "SB");
  EXPECT_EQ(form->TargetFolder(), root_ + "/b/");
  EXPECT_EQ(form->TargetFirst().substr(0, 4), "SB: ");
  test_support::Screenshot(form->Widget(), "processing", "opening_form");
  // Launch, the result in euros confirmed; the rebuild's and the end's boxes answered OK.
  for (int answer : {gui::IDYES, gui::IDYES}) gui::ModalSeam::QueueMessageBoxAnswer(answer);
  gui::SendCommand(form->GetHandle(), yearend_cmd::Accepter);
  gui::ProcessPendingMessages();
  EXPECT_TRUE(ShownContains("La G\xE9n\xE9ration des SAN est termin\xE9")) << test_support::ShownTexts();
  EXPECT_EQ(Form(), nullptr);
  Table c50;
  ASSERT_TRUE(c50.OpenShared(root_ + "/b/c50sb", "", true));
  long an = 0;
  for (bool more = c50.GoTop(); more; more = c50.Skip(1))
    if (!c50.IsDeleted() && std::string(c50.GetField(LigneEcriture::BJAL)) == "AN ") ++an;
  EXPECT_GT(an, 3);
}


// An account's total that does not read ("0,00" over a credit of nothing): the trial balance still
// balances, and the run, which never counts it as zero, is refused before its first write, its box
// naming the account, every file of the next year as it was.
TEST_F(YearEndWindowTest, AnAmountThatDoesNotReadRefusesTheRunNamed) {
  const std::string a = MakeDossier("a", "SA", 40);
  ASSERT_NO_FATAL_FAILURE(opening_test::EmptyDraft(a + "c50sa"));
  ASSERT_NO_FATAL_FAILURE(opening_test::MakeNextYear(root_ + "/b"));
  std::string account;
  {
    test_support::RawRecords raw(a + "c20sa.dbf");
    for (std::uint32_t n = 1; n <= raw.Count() && account.empty(); ++n) {
      const std::string r = raw.Record(n);
      if (r[0] == '*' || r[1] < '1' || r[1] > '9' || !IsBlank(raw.Field(r, "CCREDITE").substr(0, 8))) continue;
      raw.Put(n, "CCREDITE", "0,00");
      account = "C20 enregistrement " + std::to_string(n) + ", compte " + Trimmed(raw.Field(r, "CCODE"));
    }
  }
  ASSERT_FALSE(account.empty());
  const auto before = test_support::FilesButLog(root_ + "/b/");
  Open(a, "SA");
  Menu(command_id::GenerationSoldesANouveau);
  TWTraGenerationSAN* form = Form();
  ASSERT_NE(form, nullptr) << test_support::ShownTexts();
  gui::ModalSeam::QueueFileAnswer(root_ + "/b/c10sb.dbf");
  gui::SendCommand(form->GetHandle(), 1204);
  gui::ProcessPendingMessages();
  for (int answer : {gui::IDYES, gui::IDYES}) gui::ModalSeam::QueueMessageBoxAnswer(answer);
  gui::SendCommand(form->GetHandle(), yearend_cmd::Accepter);
  gui::ProcessPendingMessages();
  const gui::ShownModal* end = nullptr;
  for (const gui::ShownModal& shown : gui::ModalSeam::Shown())
    if (shown.text.find("pendant la G\xE9n\xE9ration des SAN") != std::string::npos) end = &shown;
  ASSERT_NE(end, nullptr) << test_support::ShownTexts();
  EXPECT_FALSE(ShownContains("La G\xE9n\xE9ration des SAN est termin\xE9")) << test_support::ShownTexts();
  EXPECT_NE(end->text.find(account), std::string::npos) << end->text;
  EXPECT_NE(end->text.find("Rien n'a \xE9t\xE9 modifi\xE9"), std::string::npos) << end->text;
  EXPECT_TRUE(test_support::FilesButLog(root_ + "/b/") == before) << "a file of the next year changed";
  test_support::ScreenshotMessage(*end, "processing", "opening_unreadable_amounts");
}

// A next year with passwords is written into only with its privileged one: the secondary one and
// wrong ones, three tries, end the run before its question with every file of that dossier as it
// was; a next year whose dossier record is cancelled cannot show its passwords and is refused.
TEST_F(YearEndWindowTest, AProtectedNextYearIsWrittenOnlyWithItsPrivilegedPassword) {
  const std::string a = MakeDossier("a", "SA", 40);
  ASSERT_NO_FATAL_FAILURE(opening_test::EmptyDraft(a + "c50sa"));
  ASSERT_NO_FATAL_FAILURE(opening_test::MakeNextYear(root_ + "/b"));
  const std::string b = root_ + "/b/";
  test_support::StorePasswords(C10Path(b, "SB"), "CHEF", "AIDE");
  Open(a, "SA");
  Menu(command_id::GenerationSoldesANouveau);
  TWTraGenerationSAN* form = Form();
  ASSERT_NE(form, nullptr) << test_support::ShownTexts();
  gui::ModalSeam::QueueFileAnswer(C10Path(b, "SB"));
  gui::SendCommand(form->GetHandle(), 1204);
  ASSERT_EQ(form->TargetFirst().substr(0, 4), "SB: ");
  const auto before = test_support::FilesButLog(b);
  gui::ModalSeam::Reset();
  test_support::QueuePasswords({"AIDE", "FAUX", "aide"}, false, nullptr, "Mot de passe privil\xE9gi\xE9");
  gui::SendCommand(form->GetHandle(), yearend_cmd::Accepter);
  EXPECT_EQ(test_support::PasswordPrompts(), 3);
  EXPECT_TRUE(ShownContains("SB n'est ni lu ni modifi\xE9")) << test_support::ShownTexts();
  EXPECT_EQ(gui::ModalSeam::Shown().size(), 6u) << "no question after the refusal\n" << test_support::ShownTexts();
  EXPECT_TRUE(test_support::FilesButLog(b) == before) << "the next year was written into";
  {
    Table c10;
    ASSERT_TRUE(c10.OpenShared(C10Path(b, "SB"), "C10CODE"));
    ASSERT_TRUE(c10.Seek("C10CODE", "0"));
    ASSERT_TRUE(c10.DeleteRecord(nullptr, 0));
    UnlockRecord(c10);
    ASSERT_TRUE(c10.Commit());
  }
  const auto cancelled = test_support::FilesButLog(b);
  gui::ModalSeam::Reset();
  gui::SendCommand(form->GetHandle(), yearend_cmd::Accepter);
  EXPECT_TRUE(ShownContains("Dossier incorrect: SB")) << test_support::ShownTexts();
  EXPECT_EQ(gui::ModalSeam::Shown().size(), 1u) << test_support::ShownTexts();
  EXPECT_TRUE(test_support::FilesButLog(b) == cancelled) << "the next year was written into";
}

}  // namespace
