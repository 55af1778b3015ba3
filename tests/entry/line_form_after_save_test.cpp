// What follows a save of the line form: the next line is started only once the line is written, and what
// the form and the lines window show afterwards is what was written. A new line whose save is refused (a
// total that cannot hold its amount, a full disk) says so once and leaves the form in front on its amount,
// with no other line made in the piece and no lock notice; the balance in the status bar and beside the
// account is read again from the account once the line is saved.
#include "line_form_fixture.h"

#include "data/session.h"
#include "runtime/text.h"
#include "platform/gui/mdi.h"
#include "shell/application.h"
#include "support/books_writes.h"
#include "support/refused_write.h"

namespace entry_test {
namespace {

using namespace line_form;

// The live lines of a piece (its 14-character key prefix) that have no account yet.
long LinesWithoutAccount(const std::string& piece) {
  Table c50;
  EXPECT_TRUE(c50.OpenShared(PathC50(), L::kCodeTag, true));
  long n = 0;
  for (bool more = c50.Seek(L::kCodeTag, piece.c_str()); more; more = c50.Skip(1)) {
    const posting::LineRecord r = posting::ReadLineRecord(c50);
    if (r.key.compare(0, piece.size(), piece) != 0) break;
    if (r.live && IsBlank(r.account)) ++n;
  }
  return n;
}

// A new piece's first line typed on 60700000 with a debit in euros, then Enter on the amount three times:
// twice with the account's debit total full, then with the disk full as the line is written. Each time one
// box, the form open and in front with the focus on the debit, the piece holding
// only the form's own line (no line started for the next step, no lock notice), and the account as it was;
// once the refusal is gone, the same Enter saves and the next line opens.
TEST_F(LineFormTest, ANewLineWhoseSaveIsRefusedLeavesNothingBehind) {
  Open();
  TWSaiModDetJournaux* f = NewPurchaseLine();
  ASSERT_NE(f, nullptr) << test_support::ShownTexts();
  const std::string key = f->Key(), piece = key.substr(0, 14);
  const auto account = AccountTotals("60700000");

  const struct Case {
    const char* what;
    bool totalFull;
    const char* file;  // the file whose first write is refused, disk full ("" none)
  } cases[] = {
      {"the account's total full", true, ""},
      {"the account's total full, tried again", true, ""},
      {"the disk full as the line is written", false, "c50je.dbf"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    {
      Table c20;
      ASSERT_TRUE(c20.OpenShared(PathC20(), "C20CODE"));
      ASSERT_TRUE(c20.Seek("C20CODE", "60700000"));
      const test_support::SetUpPermit permit("total mis en place");
      ASSERT_TRUE(c20.PutFieldNum(18, c.totalFull ? 99999999999.00 : FromCents(account[1])));
    }
    const auto before = AccountTotals("60700000");
    FocusOnControl(f, kDebitE);
    Key('A', test_support::kControlModifier, std::string(1, '\x01'));
    Key(gui::VK_DELETE);
    Type("250,00");
    gui::ModalSeam::Reset();
    Notices().clear();
    if (*c.file != '\0') test_support::RefusedWrite::Arm(c.file, 1, platform::WriteFault::kFullOnce);
    Key(gui::VK_RETURN, test_support::kNoModifier, "\r");
    test_support::RefusedWrite::Disarm();
    ASSERT_EQ(Form(), f) << "the form stays on its line\n" << test_support::ShownTexts();
    EXPECT_EQ(gui::ModalSeam::Shown().size(), 1u) << "the refusal, said once\n" << test_support::ShownTexts();
    EXPECT_TRUE(Notices().empty()) << Notices().front();
    EXPECT_EQ(CommandWindow->GetActiveMDIChild(), f) << "the form in front of its lines window";
    EXPECT_EQ(FocusedId(f), kDebitE);
    // A real box gives the focus back to the form itself once it has gone: the form puts it on the amount.
    MainFrame->SetFocus();
    f->SetFocus();
    gui::ProcessPendingMessages();
    EXPECT_EQ(FocusedId(f), kDebitE) << "the focus given back to the form";
    EXPECT_EQ(f->TextOf(kDebitE), "250.00") << "what was typed is kept";
    EXPECT_EQ(LinesWithoutAccount(piece), 1) << "only the form's own line, not saved";
    EXPECT_TRUE(IsBlank(LineOf(key).account));
    EXPECT_EQ(AccountTotals("60700000"), before);
  }
  test_support::Screenshot(MainFrame->Widget(), "entry", "line_form_save_refused");

  // The disk has room again: the same Enter saves the line, and the next line of the piece opens.
  FocusOnControl(f, kDebitE);
  gui::ModalSeam::Reset();
  Key(gui::VK_RETURN, test_support::kNoModifier, "\r");
  EXPECT_EQ(LineOf(key).account, "60700000") << test_support::ShownTexts();
  EXPECT_EQ(ToCents(LineOf(key).euros), 25000);
  TWSaiModDetJournaux* next = Form();
  ASSERT_NE(next, nullptr) << test_support::ShownTexts();
  EXPECT_NE(next->Key(), key);
  EXPECT_EQ(next->Key().substr(0, 14), piece);
  Key(gui::VK_F9);
  EXPECT_EQ(LinesWithoutAccount(piece), 0);
  ExpectInvariants("after the refused saves");
}

// A new line whose save, asked by Enter on its amount, is refused (a full disk): the next line that Enter
// was to start is dropped with the refused save. Saved once the disk has room by F12, which saves and closes
// only, the line leaves its form closed and no other line started in the piece.
TEST_F(LineFormTest, ANewLineWhoseSaveIsRefusedDropsTheNextLineItWasToStart) {
  Open();
  TWSaiModDetJournaux* f = NewPurchaseLine();
  ASSERT_NE(f, nullptr) << test_support::ShownTexts();
  const std::string key = f->Key(), piece = key.substr(0, 14);
  FocusOnControl(f, kDebitE);
  Type("250,00");
  gui::ModalSeam::Reset();
  test_support::RefusedWrite::Arm("c50je.dbf", 1, platform::WriteFault::kFullOnce);
  Key(gui::VK_RETURN, test_support::kNoModifier, "\r");
  test_support::RefusedWrite::Disarm();
  ASSERT_EQ(Form(), f) << test_support::ShownTexts();
  ASSERT_EQ(gui::ModalSeam::Shown().size(), 1u) << test_support::ShownTexts();
  gui::ModalSeam::Reset();
  FocusOnControl(f, kDebitE);
  Key(gui::VK_F12);
  EXPECT_EQ(LineOf(key).account, "60700000") << test_support::ShownTexts();
  EXPECT_EQ(Form(), nullptr) << "a line started after F12";
  EXPECT_EQ(LinesWithoutAccount(piece), 0);
  ExpectInvariants("after a refused save, then F12");
}

// A new line whose form is closed from its frame, its changes not saved ("Non"): the line is cancelled with
// its sort record, as "Quitter" takes it away; no line without account is left in the piece.
TEST_F(LineFormTest, ANewLineClosedWithoutSavingLeavesNoEmptyLine) {
  Open();
  TWSaiModDetJournaux* f = NewPurchaseLine();
  ASSERT_NE(f, nullptr);
  const std::string key = f->Key(), piece = key.substr(0, 14);
  EXPECT_EQ(LinesWithoutAccount(piece), 1);
  Table c50, c60;
  ASSERT_TRUE(c50.OpenShared(PathC50(), L::kCodeTag, true));
  ASSERT_TRUE(c60.OpenShared(PathC60(), LigneTri::kRecordTag, true));
  ASSERT_TRUE(posting::FindLine(c50, key).IsFound());
  const std::uint32_t recno = c50.recordNumber;
  gui::ModalSeam::Reset();
  gui::ModalSeam::QueueMessageBoxAnswer(gui::IDNO);
  gui::SendMessage(f->GetHandle(), gui::WM_CLOSE);
  gui::ProcessPendingMessages();
  EXPECT_EQ(Form(), nullptr) << test_support::ShownTexts();
  EXPECT_EQ(gui::ModalSeam::Shown().size(), 1u) << test_support::ShownTexts();
  EXPECT_EQ(LinesWithoutAccount(piece), 0);
  EXPECT_FALSE(LineOf(key).live);
  ASSERT_TRUE(LigneTri::Find(c60, LigneTri::kDraft, recno));
  EXPECT_TRUE(c60.IsDeleted()) << "its sort record goes with it";
  ExpectInvariants("after a new line given up");
}

// "Quitter" (F9) on a new line whose cancel the disk refuses: one box saying so, the line left as it
// was (without account, its sort record live); once the disk is in order, F9 on it again cancels it.
TEST_F(LineFormTest, AnEmptyLineWhoseCancelIsRefusedSaysSo) {
  Open();
  TWSaiModDetJournaux* f = NewPurchaseLine();
  ASSERT_NE(f, nullptr) << test_support::ShownTexts();
  const std::string key = f->Key(), piece = key.substr(0, 14);
  TWSaiBroDetJournaux* w = Window(0);
  ASSERT_NE(w, nullptr);
  gui::ModalSeam::Reset();
  test_support::RefusedWrite::Arm("c50je.dbf", 1, platform::WriteFault::kFailOnce);
  Key(gui::VK_F9);
  test_support::RefusedWrite::Disarm();
  EXPECT_EQ(Form(), nullptr);
  ASSERT_EQ(gui::ModalSeam::Shown().size(), 1u) << test_support::ShownTexts();
  const std::string& said = gui::ModalSeam::Shown()[0].text;
  EXPECT_EQ(said.rfind("La ligne n'a pas \xE9t\xE9 annul\xE9" "e", 0), 0u) << said;
  EXPECT_NE(said.find("c50je.dbf"), std::string::npos) << said;
  test_support::ScreenshotMessage(gui::ModalSeam::Shown()[0], "entry", "empty_line_cancel_refused");
  EXPECT_TRUE(LineOf(key).live);
  EXPECT_EQ(LinesWithoutAccount(piece), 1);
  f = Modify(w, key);
  ASSERT_NE(f, nullptr);
  gui::ModalSeam::Reset();
  Key(gui::VK_F9);
  EXPECT_TRUE(gui::ModalSeam::Shown().empty()) << test_support::ShownTexts();
  EXPECT_FALSE(LineOf(key).live);
  ExpectInvariants("after the empty line's cancel");
}

// A line whose save meets a disk that stops taking any write as its totals begin to move: the save writes
// nothing, and its note cannot be marked done. The form says nothing changed and that the next opening
// will take the line up; that opening says it found nothing to redo. Both true, the books as before.
TEST_F(LineFormTest, ASaveTheDiskStopsTakingIsSaidAsTheNextOpeningFindsIt) {
  Open();
  const BankLine bankLine = OpenBankLine();
  TWSaiModDetJournaux* f = bankLine.form;
  ASSERT_NE(f, nullptr);
  const posting::LineRecord before = LineOf(bankLine.key);
  const auto bank = AccountTotals("51200000");
  f->EditOf(before.sense == 'D' ? kDebitE : kCreditE)->SetText("123.45");
  gui::ModalSeam::Reset();
  FocusOnControl(f, kLabel1);
  test_support::RefusedWrite::Arm("c20je.dbf", 1, platform::WriteFault::kFailForGood);
  Key(gui::VK_F12);
  test_support::RefusedWrite::Disarm();
  ASSERT_EQ(Form(), f);
  ASSERT_EQ(gui::ModalSeam::Shown().size(), 1u) << test_support::ShownTexts();
  const std::string said = gui::ModalSeam::Shown()[0].text;
  EXPECT_NE(said.find("rien n'a chang\xE9"), std::string::npos) << said;
  EXPECT_NE(said.find("la prochaine ouverture du dossier la reprendra"), std::string::npos) << said;
  test_support::ScreenshotMessage(gui::ModalSeam::Shown()[0], "entry", "line_save_note_stays");
  EXPECT_EQ(ToCents(LineOf(bankLine.key).euros), ToCents(before.euros));
  EXPECT_EQ(AccountTotals("51200000"), bank);
  CloseAll();
  gui::ModalSeam::Reset();
  OpenThroughDialog(C10Path(folder_, "JE"));
  std::string opening;
  for (const gui::ShownModal& shown : gui::ModalSeam::Shown())
    if (shown.text.find("rien n'\xE9tait \xE0 refaire") != std::string::npos) {
      opening = shown.text;
      test_support::ScreenshotMessage(shown, "entry", "opening_nothing_to_redo");
    }
  EXPECT_FALSE(opening.empty()) << test_support::ShownTexts();
  EXPECT_EQ(ToCents(LineOf(bankLine.key).euros), ToCents(before.euros));
  EXPECT_EQ(AccountTotals("51200000"), bank);
  ExpectInvariants("after the opening found the note");
}

// A line of the bank journal changed and left by the Up or Down arrow or by Enter on its amount while the
// disk refuses its save: one box, and the form stays on that line, in front (no second save asked by the
// lines window opening the next line); the line and the bank's totals as they were. Once the disk lets
// it, the Down arrow saves the line and the form goes on to the next one.
TEST_F(LineFormTest, ALineWhoseSaveIsRefusedKeepsItsFormWhateverKeyLeftIt) {
  Open();
  const BankLine bankLine = OpenBankLine();
  const std::string& key = bankLine.key;
  TWSaiModDetJournaux* f = bankLine.form;
  ASSERT_NE(f, nullptr);
  const posting::LineRecord before = LineOf(key);
  const auto bank = AccountTotals("51200000");
  const int side = before.sense == 'D' ? kDebitE : kCreditE;
  const struct {
    const char* what;
    int key;
    const char* text;
  } keys[] = {{"Down", gui::VK_DOWN, ""}, {"Up", gui::VK_UP, ""}, {"Enter", gui::VK_RETURN, "\r"}};
  for (const auto& k : keys) {
    SCOPED_TRACE(k.what);
    FocusOnControl(f, side);
    f->EditOf(side)->SetText("123.45");
    gui::ModalSeam::Reset();
    test_support::RefusedWrite::Arm("c50je.dbf", 1, platform::WriteFault::kFailOnce);
    Key(k.key, test_support::kNoModifier, k.text);
    test_support::RefusedWrite::Disarm();
    ASSERT_EQ(Form(), f) << test_support::ShownTexts();
    EXPECT_EQ(f->Key(), key);
    EXPECT_EQ(gui::ModalSeam::Shown().size(), 1u) << test_support::ShownTexts();
    EXPECT_EQ(CommandWindow->GetActiveMDIChild(), f);
    EXPECT_EQ(ToCents(LineOf(key).euros), ToCents(before.euros));
    EXPECT_EQ(AccountTotals("51200000"), bank);
  }
  FocusOnControl(f, side);
  Key(gui::VK_DOWN);
  EXPECT_EQ(ToCents(LineOf(key).euros), 12345) << test_support::ShownTexts();
  ASSERT_NE(Form(), nullptr);
  EXPECT_NE(Form()->Key(), key) << "the next line";
  ExpectInvariants("after the refused saves of a bank line");
}

// A line of 44566000 clicked in the lines window (the status bar shows its account's balance), opened in
// the form, its sense switched and saved: once the form has gone, the lines window's status bar shows the
// account's balance as the save left it, not the one of the click; so does the form's status bar while it
// is in front, and a click on the row gives the same text again.
TEST_F(LineFormTest, TheStatusBarShowsTheBalanceTheSaveWrote) {
  Open();
  const std::string month = MonthOf("AC ");
  const std::string key =
      LineWhere(month, [](const posting::LineRecord& r) { return r.account == "44566000" && ToCents(r.euros) > 0; });
  ASSERT_FALSE(key.empty());
  TWSaiBroDetJournaux* w = Saisir(month);
  ASSERT_NE(w, nullptr);
  auto click = [&] {
    ASSERT_TRUE(w->LocateRowByKey(w->Lines(), key, 1, 1, 1));
    w->EvLButtonDown(0, gui::Point{60, w->GetSelectedRowIndex() * CMDIBrowse::RowHeightPixels() + 3});
    app_->RunIdle();
  };
  // The account's balance as its totals hold it, in the status bar's words.
  auto balance = [&] {
    const auto t = AccountTotals("44566000");
    return std::string("Solde ") + Trimmed(BalanceAmount(t[1] - t[3])) + " Euros";
  };
  click();
  const std::string clicked = MessageBar->GetText();
  ASSERT_NE(clicked.find(balance()), std::string::npos) << clicked;

  TWSaiModDetJournaux* f = Modify(w, key);
  ASSERT_NE(f, nullptr);
  app_->RunIdle();
  const char sense = LineOf(key).sense;
  Send(f, sense == 'D' ? kCreditButton : kDebitButton);
  FocusOnControl(f, kLabel1);
  Key(gui::VK_F12);
  EXPECT_NE(LineOf(key).sense, sense);
  EXPECT_EQ(Form(), nullptr) << test_support::ShownTexts();
  app_->RunIdle();
  EXPECT_EQ(CommandWindow->GetActiveMDIChild(), w);
  const std::string after = MessageBar->GetText();
  EXPECT_EQ(after.substr(0, 9), "44566000 ");
  EXPECT_NE(after.find(balance()), std::string::npos) << after << "\n" << clicked;
  EXPECT_EQ(w->BalanceText(), after);
  test_support::Screenshot(MainFrame->Widget(), "entry", "lines_window_balance_after_save");
  click();
  EXPECT_EQ(MessageBar->GetText(), after) << "a click gives the same balance";
}

// The form on the blank line that follows a saved one (a new piece, its first line typed, Enter), in a dossier
// kept in euros and in one kept in francs. The program's end (Alt+F4, the frame's close) asks once a currency
// whether to give the unbalanced journal up; "Oui", and the program leaves, the blank line cancelled as
// "Quitter" cancels it. The form's own close button gives such a line up too, without a word.
class BlankNewLineTest : public LineFormTest, public ::testing::WithParamInterface<DossierCurrency> {
 protected:
  DossierCurrency Currency() const override { return GetParam(); }
  std::string Name() const { return GetParam() == DossierCurrency::FrancMain ? "francs" : "euros"; }
  // A new purchase piece whose first line of 10,00 is saved by Enter: the form on the blank line after it.
  TWSaiModDetJournaux* BlankLineAfterASavedOne() {
    TWSaiModDetJournaux* f = NewPurchaseLine();
    if (f == nullptr) return nullptr;
    const std::string first = f->Key();
    FocusOnControl(f, f->EurosBox()->IsChecked() ? kDebitE : kDebitF);
    Type("10,00");
    Key(gui::VK_RETURN, test_support::kNoModifier, "\r");
    TWSaiModDetJournaux* next = Form();
    if (next == nullptr || next->Key() == first || IsBlank(LineOf(first).account)) return nullptr;
    return next;
  }
};

TEST_P(BlankNewLineTest, OuiToLeaveLeavesTheProgram) {
  Open();
  TWSaiModDetJournaux* f = BlankLineAfterASavedOne();
  ASSERT_NE(f, nullptr) << test_support::ShownTexts();
  ASSERT_TRUE(f->NewLine());
  ASSERT_EQ(f->TextOf(kAccount), "");
  const std::string key = f->Key(), piece = key.substr(0, 14);
  ASSERT_TRUE(LineOf(key).live);
  test_support::Screenshot(MainFrame->Widget(), "entry", "blank_new_line_before_leaving_" + Name());
  gui::ModalSeam::Reset();
  Notices().clear();
  for (int i = 0; i < 4; ++i) gui::ModalSeam::QueueMessageBoxAnswer(gui::IDYES);
  EXPECT_TRUE(MainFrame->CanClose()) << "the program leaves\n" << test_support::ShownTexts();
  // Only the journal's questions, once a currency, every one answered "Oui".
  const std::vector<gui::ShownModal>& shown = gui::ModalSeam::Shown();
  ASSERT_FALSE(shown.empty());
  EXPECT_LE(shown.size(), 2u) << test_support::ShownTexts();
  for (const gui::ShownModal& s : shown)
    EXPECT_NE(s.text.find("n'est pas \xE9quilibr\xE9 en"), std::string::npos) << s.text;
  test_support::ScreenshotMessage(shown.back(), "entry", "leave_unbalanced_journal_" + Name());
  EXPECT_TRUE(Notices().empty()) << Notices().front();
  EXPECT_TRUE(CommandWindow->GetChildren().empty()) << "every window closed";
  EXPECT_FALSE(LineOf(key).live) << "the blank line cancelled";
  EXPECT_EQ(LinesWithoutAccount(piece), 0);
}

// The same with the form and its lines window minimised: the program's end brings them back and
// leaves, never refusing without a word.
TEST_P(BlankNewLineTest, MinimisedWindowsDoNotKeepTheProgramFromLeaving) {
  Open();
  TWSaiModDetJournaux* f = BlankLineAfterASavedOne();
  ASSERT_NE(f, nullptr) << test_support::ShownTexts();
  const std::string key = f->Key();
  f->Show(gui::SW_MINIMIZE);
  Window(0)->Show(gui::SW_MINIMIZE);
  gui::ProcessPendingMessages();
  gui::ModalSeam::Reset();
  for (int i = 0; i < 4; ++i) gui::ModalSeam::QueueMessageBoxAnswer(gui::IDYES);
  EXPECT_TRUE(MainFrame->CanClose()) << "the program leaves\n" << test_support::ShownTexts();
  EXPECT_TRUE(CommandWindow->GetChildren().empty()) << "every window closed";
  EXPECT_FALSE(LineOf(key).live) << "the blank line cancelled";
}

TEST_P(BlankNewLineTest, TheFormsCloseButtonGivesTheBlankLineUp) {
  Open();
  TWSaiModDetJournaux* f = BlankLineAfterASavedOne();
  ASSERT_NE(f, nullptr) << test_support::ShownTexts();
  const std::string key = f->Key(), piece = key.substr(0, 14);
  gui::ModalSeam::Reset();
  // The close button of the form's frame, as the window system reports it.
  f->OuterWidget()->close();
  gui::ProcessPendingMessages();
  EXPECT_EQ(Form(), nullptr) << f->TextOf(kMessage);
  EXPECT_TRUE(gui::ModalSeam::Shown().empty()) << test_support::ShownTexts();
  EXPECT_FALSE(LineOf(key).live);
  EXPECT_EQ(LinesWithoutAccount(piece), 0);
  EXPECT_NE(Window(0), nullptr) << "its lines window stays";
  test_support::Screenshot(MainFrame->Widget(), "entry", "blank_new_line_closed_" + Name());
  ExpectInvariants("after a blank line closed by its button");
}

INSTANTIATE_TEST_SUITE_P(BothCurrencies, BlankNewLineTest,
                         ::testing::Values(DossierCurrency::EuroMain, DossierCurrency::FrancMain),
                         [](const ::testing::TestParamInfo<DossierCurrency>& i) {
                           return std::string(i.param == DossierCurrency::FrancMain ? "FrancMain" : "EuroMain");
                         });

}  // namespace
}  // namespace entry_test
