// The bank reconciliation fed by an OFX statement: the form reads the statement through "?" and the
// reader program, the list imports the statement's transactions that have no book line (bank fees)
// through the statement import's run, proposes them again with their identities and saves them with
// the statement's letter; a damaged file gives the reader's message and changes nothing.
#include <string>

#include <QApplication>
#include <QWidget>

#include "controls/mcontrols.h"
#include "controls/medit.h"
#include "data/dossier_files.h"
#include "data/session.h"
#include "ofx_fixture/ofx_fixture.h"
#include "platform/gui/application.h"
#include "platform/gui/command.h"
#include "platform/gui/constants.h"
#include "platform/gui/modal_seam.h"
#include "processing/bank_commands.h"
#include "processing/core/ofx_import.h"
#include "processing/core/ofx_statement.h"
#include "processing/reconciliation_windows.h"
#include "runtime/dates.h"
#include "runtime/dossier_record.h"
#include "runtime/inifiles.h"
#include "runtime/numbers.h"
#include "runtime/session_registry.h"
#include "runtime/xbase.h"
#include "shell/application.h"
#include "shell/handlers.h"
#include "shell/mdi_client.h"
#include "shell/registry.h"
#include "support/dossier_fixture.h"
#include "support/gui_test.h"
#include "support/python.h"

namespace {

std::string Trimmed(const std::string& s) {
  const std::size_t first = s.find_first_not_of(' ');
  return first == std::string::npos ? std::string() : s.substr(first, s.find_last_not_of(' ') - first + 1);
}

class ReconciliationOfxTest : public test_support::DossierFixture {
 protected:
  void SetUp() override {
    DossierFixture::SetUp();
    processing::SetOfxReaderPath(MERLON_OFX_READER);
    InstallBankCommands();
    folder_ = MakeDossier("a", "SA", 80);
    OpenThroughDialog(C10Path(folder_, "SA"));
    ASSERT_EQ(std::string(RTrim(DossierCode.c_str())), "SA") << test_support::ShownTexts();
    MainFrame->MoveWindow(gui::Rect{0, 0, 1280, 800});
    MainFrame->Show(gui::SW_SHOW);
    gui::ProcessPendingMessages();
    gui::ModalSeam::Reset();
    // The generated chart has no waiting account: the cash account stands in for it.
    DossierIniSet(processing::kOfxIniSection, "CompteAttente", "53");
  }
  void TearDown() override {
    CloseWindows();
    SetCommandWork(command_id::RapprochementBanque, {});
    SetCommandWork(command_id::ImportationReleveBanque, {});
    processing::SetOfxReaderPath("");
    DossierFixture::TearDown();
  }

  static void Send(gui::Window* w, unsigned command) {
    gui::SendCommand(w->GetHandle(), command);
    gui::ProcessPendingMessages();
  }
  template <class W>
  static W* WindowAt(int slot) {
    if (RegistryChar(slot) != '1') return nullptr;
    return dynamic_cast<W*>(gui::Window::FromHandle(SlotHandle(slot)));
  }
  TWTraModRapprochement* Form() {
    gui::PostCommand(CommandWindow->GetHandle(), command_id::RapprochementBanque);
    gui::ProcessPendingMessages();
    return WindowAt<TWTraModRapprochement>(kReconciliationFormSlot);
  }
  // Reads `path` in the form through the "?" beside the statement fields.
  static void ReadThroughDialog(TWTraModRapprochement* form, const std::string& path) {
    gui::ModalSeam::QueueFileAnswer(path);
    Send(form, reconciliation_cmd::LireReleve);
  }
  static std::string YearEnd() {
    Ymd d;
    EXPECT_TRUE(ParseDisplayDate(TheDossierRecord.DateDisplay(DossierRecord::DateField::YearEnd), d));
    return YyyymmddOf(d);
  }
  // A statement other OFX readers refuse goes to the test's own folder: the artefacts keep only
  // statements that they read.
  std::string WriteDamaged(const std::string& name, const std::string& text) {
    const std::string path = root_ + "/" + name;
    EXPECT_TRUE(ofx_fixture::WriteText(path, text));
    return path;
  }
  std::string Write(const std::string& name, const std::string& text) {
    const std::string path = test_support::ArtefactPath("processing", name);
    EXPECT_TRUE(ofx_fixture::WriteText(path, text));
    return path;
  }

  std::string folder_;
};

TEST_F(ReconciliationOfxTest, AnOfxStatementWithFeesReconcilesToNothingAfterTheImport) {
  // The book balance of the bank account at the year's end, read through a typed statement.
  TWTraModRapprochement* form = Form();
  ASSERT_NE(form, nullptr) << test_support::ShownTexts();
  const std::string bank = Trimmed(form->AccountEdit()->GetValue());
  ASSERT_FALSE(bank.empty());
  form->DateEdit()->SetValue(TheDossierRecord.DateDisplay(DossierRecord::DateField::YearEnd), false);
  Send(form, reconciliation_cmd::Accepter);
  auto* list = WindowAt<TWTraBroRapprochement>(kReconciliationListSlot);
  ASSERT_NE(list, nullptr) << test_support::ShownTexts();
  const long long book = list->Work().BookBalance();
  gui::PostMessage(list->GetHandle(), gui::WM_CLOSE);
  gui::ProcessPendingMessages();

  // The bank's statement: two lines left out (they stay unreconciled), bank fees the books lack.
  processing::BankStatement s;
  std::string error;
  ASSERT_TRUE(ofx_fixture::StatementFromDossier(folder_, "SA", 0, -1, s, error)) << error;
  ASSERT_GT(s.transactions.size(), 6u);
  const long long leftOut = s.transactions[2].cents + s.transactions[5].cents;
  s.transactions.erase(s.transactions.begin() + 5);
  s.transactions.erase(s.transactions.begin() + 2);
  processing::BankTransaction fees;
  fees.fitid = "FRAIS-0001";
  fees.date = s.transactions.back().date;
  fees.cents = -1234;
  fees.type = "FEE";
  fees.name = "Frais bancaires";
  s.transactions.push_back(fees);
  s.closingDate = YearEnd();
  s.closingCents = book - leftOut + fees.cents;
  const std::string path = Write("reconciliation-fees.ofx", ofx_fixture::OfxSgml102(s));

  form = WindowAt<TWTraModRapprochement>(kReconciliationFormSlot);
  if (form == nullptr) form = Form();
  ASSERT_NE(form, nullptr);
  ReadThroughDialog(form, path);
  EXPECT_EQ(form->Statement().transactions.size(), s.transactions.size()) << test_support::ShownTexts();
  EXPECT_EQ(ToCents(Val(form->BalanceEdit()->GetValue().c_str())), s.closingCents) << form->BalanceEdit()->GetValue();
  test_support::Screenshot(form->Widget(), "processing", "reconciliation_form_ofx");
  Send(form, reconciliation_cmd::Accepter);
  list = WindowAt<TWTraBroRapprochement>(kReconciliationListSlot);
  ASSERT_NE(list, nullptr) << test_support::ShownTexts() << form->DateEdit()->GetValue() << "|"
                           << form->BalanceEdit()->GetValue() << "|" << form->AccountEdit()->GetValue() << "|"
                           << RegistryChar(kReconciliationListSlot);
  processing::Reconciliation& work = list->Work();
  const std::size_t lines = work.Lines().size();
  EXPECT_EQ(work.TickedCount(), lines - 2) << "every line but the two left out";
  EXPECT_EQ(work.Difference(), fees.cents) << "the fees are not in the books yet";
  EXPECT_EQ(list->Store().totalRows, static_cast<long>(lines + 1)) << "the fees shown after the lines";
  test_support::Screenshot(list->Widget(), "processing", "reconciliation_list_ofx");

  // "Importer" writes the fees' piece and proposes its line, paired by its identity.
  gui::ModalSeam::QueueMessageBoxAnswer(gui::IDOK);
  Send(list, reconciliation_cmd::Importer);
  EXPECT_NE(test_support::ShownTexts().find("1 op\xE9ration import\xE9" "e"), std::string::npos)
      << test_support::ShownTexts();
  ASSERT_EQ(work.Lines().size(), lines + 1);
  EXPECT_EQ(list->Store().totalRows, static_cast<long>(lines + 1)) << "the fees now beside their line";
  const std::string identity = processing::TransactionIdentity(processing::StatementAccountKey(s), fees);
  int imported = 0;
  for (const processing::ReconciliationLine& l : work.Lines())
    if (l.identity == identity) {
      ++imported;
      EXPECT_TRUE(l.ticked);
      EXPECT_EQ(l.cents, fees.cents);
      ASSERT_GE(l.transaction, 0);
      EXPECT_EQ(work.Statement().transactions[static_cast<std::size_t>(l.transaction)].name, "Frais bancaires");
    }
  std::string dump;
  for (const processing::ImportedIdentity& i : processing::ReadImportedIdentities())
    dump += i.identity + "|" + i.month + "|" + i.journal + "|" + i.piece + "|" + i.account + "\n";
  for (const processing::ReconciliationLine& l : work.Lines())
    if (l.cents == fees.cents) dump += l.date + "|" + l.journal + "|" + l.piece + "|" + l.identity + "\n";
  EXPECT_EQ(imported, 1) << "the imported line carries the transaction's identity\n" << identity << "\n" << dump;
  EXPECT_EQ(work.Difference(), 0);
  EXPECT_EQ(work.TickedCount(), lines - 1);
  // Nothing left to import: the command is refused.
  gui::CommandEnabler ce(reconciliation_cmd::Importer);
  list->RouteCommandEnable(ce);
  EXPECT_FALSE(ce.Enabled());

  // "Enregistrer" with no difference asks nothing and letters the imported line too.
  const std::string letter = work.Letter();
  gui::ModalSeam::QueueMessageBoxAnswer(gui::IDOK);
  Send(list, form_cmd::Enregistrer);
  EXPECT_EQ(WindowAt<TWTraBroRapprochement>(kReconciliationListSlot), nullptr) << test_support::ShownTexts();
  const std::string counted = test_support::RunPythonScript(
      "import sys\nfrom dbfread import DBF\n"
      "rows = [r for r in DBF('" + std::string(PathC50()) + ".dbf', encoding='cp1252') if r['BCODE'].strip() == '" +
          bank + "']\n"
      "n = sum(1 for r in rows if r['BLETE'].strip() == '" + letter + "')\n"
      "f = [r['BLETE'].strip() for r in rows if r['BLIB'].startswith('Frais bancaires')]\n"
      "sys.stdout.write('%d %s' % (n, ','.join(f)))\n",
      true);
  EXPECT_EQ(counted, std::to_string(lines - 1) + " " + letter);
}

// A key as the user types it: pressed where the focus is, released where the focus went.
void Press(int key, test_support::KeyModifiers mods = test_support::kNoModifier) {
  QWidget* focus = QApplication::focusWidget();
  ASSERT_NE(focus, nullptr);
  test_support::SendKey(focus, test_support::kKeyPress, key, mods);
  if (QApplication::focusWidget() != nullptr) focus = QApplication::focusWidget();
  test_support::SendKey(focus, test_support::kKeyRelease, key, mods);
  gui::ProcessPendingMessages();
}

bool Focused(gui::Window* w) { return w != nullptr && QApplication::focusWidget() == w->Widget(); }

// The reconciliation from an OFX statement with the keys alone: Tab to the "?" beside the balance, Space reads
// the file (the file dialog answered through the seam), Shift+Tab back to the balance and Enter accepts; in the
// list Enter points or unpoints the selected line, F12 saves.
TEST_F(ReconciliationOfxTest, TheKeysAloneReconcileAnOfxStatement) {
  processing::BankStatement s;
  std::string error;
  ASSERT_TRUE(ofx_fixture::StatementFromDossier(folder_, "SA", 0, -1, s, error)) << error;
  s.closingDate = YearEnd();
  const std::string path = Write("reconciliation-keys.ofx", ofx_fixture::OfxSgml102(s));

  TWTraModRapprochement* form = Form();
  ASSERT_NE(form, nullptr) << test_support::ShownTexts();
  const std::string bank = Trimmed(form->AccountEdit()->GetValue());
  QApplication::setActiveWindow(MainFrame->Widget()->window());
  gui::ProcessPendingMessages();
  ASSERT_TRUE(Focused(form->AccountEdit()));
  for (int i = 0; i < 4; ++i) Press(gui::VK_TAB);
  ASSERT_TRUE(Focused(form->ReadStatementButton())) << "account, its \"?\", date, balance, the statement's \"?\"";
  EXPECT_TRUE(gui::ModalSeam::Shown().empty()) << test_support::ShownTexts();
  gui::ModalSeam::QueueFileAnswer(path);
  Press(gui::VK_SPACE);
  ASSERT_EQ(gui::ModalSeam::Shown().size(), 1u) << "one file dialog";
  ASSERT_EQ(form->Statement().transactions.size(), s.transactions.size()) << test_support::ShownTexts();
  EXPECT_EQ(ToCents(Val(form->BalanceEdit()->GetValue().c_str())), s.closingCents);
  Press(test_support::kKeyBacktab, test_support::kShiftModifier);
  ASSERT_TRUE(Focused(form->BalanceEdit()));
  test_support::Screenshot(MainFrame->Widget(), "processing", "reconciliation_keys_form");
  Press(gui::VK_RETURN);
  auto* list = WindowAt<TWTraBroRapprochement>(kReconciliationListSlot);
  ASSERT_NE(list, nullptr) << "Enter in the balance accepts\n" << test_support::ShownTexts();
  processing::Reconciliation& work = list->Work();
  const std::size_t lines = work.Lines().size();
  ASSERT_EQ(work.TickedCount(), lines) << "every line proposed";
  ASSERT_EQ(work.Difference(), 0);

  // Enter unpoints the first line and goes down; Up and Enter point it again.
  ASSERT_EQ(list->Store().selected, 1);
  Press(gui::VK_RETURN);
  EXPECT_FALSE(work.Lines()[0].ticked);
  EXPECT_EQ(list->Store().selected, 2);
  EXPECT_NE(work.Difference(), 0);
  test_support::Screenshot(MainFrame->Widget(), "processing", "reconciliation_keys_list");
  Press(gui::VK_UP);
  Press(gui::VK_RETURN);
  EXPECT_TRUE(work.Lines()[0].ticked);
  EXPECT_EQ(work.Difference(), 0);

  // F12 saves, as the list's menu shows.
  const std::string letter = work.Letter();
  gui::ModalSeam::QueueMessageBoxAnswer(gui::IDOK);
  Press(gui::VK_F12);
  EXPECT_EQ(WindowAt<TWTraBroRapprochement>(kReconciliationListSlot), nullptr) << test_support::ShownTexts();
  EXPECT_NE(test_support::ShownTexts().find(letter), std::string::npos) << test_support::ShownTexts();
  const std::string counted = test_support::RunPythonScript(
      "import sys\nfrom dbfread import DBF\n"
      "rows = [r for r in DBF('" + std::string(PathC50()) + ".dbf', encoding='cp1252') if r['BCODE'].strip() == '" +
          bank + "']\n"
      "sys.stdout.write(str(sum(1 for r in rows if r['BLETE'].strip() == '" + letter + "')))\n",
      true);
  EXPECT_EQ(counted, std::to_string(lines));
}

// Text typed where the focus is, a key press and release per character.
void TypeKeys(const std::string& cp1252) {
  for (unsigned char c : cp1252) {
    QWidget* focus = QApplication::focusWidget();
    ASSERT_NE(focus, nullptr);
    test_support::SendKey(focus, test_support::kKeyPress, 0, test_support::kNoModifier, test_support::Latin1Text(c));
    test_support::SendKey(focus, test_support::kKeyRelease, 0, test_support::kNoModifier, test_support::Latin1Text(c));
  }
  gui::ProcessPendingMessages();
}

// A statement's balance below zero typed the usual way: back in the balance with Shift+Tab, its whole text
// selected, "-1500" is kept whole with its sign and the list reconciles to -1 500,00.
TEST_F(ReconciliationOfxTest, AMinusTypedOverTheSelectedBalanceIsKept) {
  TWTraModRapprochement* form = Form();
  ASSERT_NE(form, nullptr) << test_support::ShownTexts();
  QApplication::setActiveWindow(MainFrame->Widget()->window());
  gui::ProcessPendingMessages();
  ASSERT_TRUE(Focused(form->AccountEdit()));
  for (int i = 0; i < 3; ++i) Press(gui::VK_TAB);
  ASSERT_TRUE(Focused(form->BalanceEdit())) << "account, its \"?\", date, balance";
  TypeKeys("1500");
  Press(gui::VK_TAB);
  Press(test_support::kKeyBacktab, test_support::kShiftModifier);
  ASSERT_TRUE(Focused(form->BalanceEdit()));
  int from = -1, to = -1;
  form->BalanceEdit()->GetSelection(from, to);
  ASSERT_EQ(from, 0);
  ASSERT_EQ(to, form->BalanceEdit()->GetTextLength()) << "the whole balance selected";
  gui::ResetBeepCount();
  TypeKeys("-1500");
  EXPECT_EQ(gui::BeepCount(), 0);
  EXPECT_EQ(Trimmed(form->BalanceEdit()->GetValue()), "-1500");
  test_support::Screenshot(MainFrame->Widget(), "processing", "reconciliation_balance_below_zero");
  Press(gui::VK_RETURN);
  auto* list = WindowAt<TWTraBroRapprochement>(kReconciliationListSlot);
  ASSERT_NE(list, nullptr) << test_support::ShownTexts();
  EXPECT_EQ(list->Work().StatementBalance(), -150000);
}

TEST_F(ReconciliationOfxTest, ADamagedFileGivesTheReadersMessageAndChangesNothing) {
  TWTraModRapprochement* form = Form();
  ASSERT_NE(form, nullptr) << test_support::ShownTexts();
  processing::BankStatement s;
  std::string error;
  ASSERT_TRUE(ofx_fixture::StatementFromDossier(folder_, "SA", 0, 4, s, error)) << error;
  const std::string text = ofx_fixture::OfxSgml102(s);
  const std::string good = Write("reconciliation-good.ofx", text);
  const std::string damaged = WriteDamaged("reconciliation-damaged.ofx", text.substr(0, text.size() / 3));
  const std::string missing = test_support::ArtefactPath("processing", "reconciliation-missing.ofx");
  ReadThroughDialog(form, good);
  ASSERT_EQ(form->Statement().transactions.size(), 4u) << test_support::ShownTexts();
  const std::string date = form->DateEdit()->GetValue(), balance = form->BalanceEdit()->GetValue();
  for (const std::string& bad : {damaged, missing}) {
    const std::size_t shown = gui::ModalSeam::Shown().size();
    ReadThroughDialog(form, bad);
    ASSERT_EQ(gui::ModalSeam::Shown().size(), shown + 2) << "the file dialog, then the message";
    EXPECT_EQ(gui::ModalSeam::Shown().back().text, processing::ReadOfxStatement(bad).message);
    EXPECT_NE(gui::ModalSeam::Shown().back().text.find("illisible"), std::string::npos)
        << gui::ModalSeam::Shown().back().text;
    EXPECT_EQ(form->Statement().transactions.size(), 4u) << bad;
    EXPECT_EQ(form->DateEdit()->GetValue(), date);
    EXPECT_EQ(form->BalanceEdit()->GetValue(), balance);
  }
  // The file dialog cancelled: nothing read, nothing shown.
  const std::size_t shown = gui::ModalSeam::Shown().size();
  ReadThroughDialog(form, "");
  EXPECT_EQ(gui::ModalSeam::Shown().size(), shown + 1);
  EXPECT_EQ(form->Statement().transactions.size(), 4u);
}

}  // namespace
