// The line form driven as a bookkeeper drives it: a generated demo dossier opened through "Ouvrir dossier",
// a journal-month entered with "Saisir", and then keys only: Ctrl+P in the lines window, the fields typed
// with Enter between them, F12, every box and dialog answered through the modal seam. The dossier's currency
// and analytic mode are the test's; the constants are set on the open dossier's record.
#pragma once

#include <QApplication>
#include <QWidget>

#include "controls/mcontrols.h"
#include "controls/medit.h"
#include "data/dossier_files.h"
#include "demo/dossier_demo.h"
#include "dossier/core/dossier_create.h"
#include "posting/balancing.h"
#include "posting/line_save.h"
#include "entry/line_form.h"
#include "entry_fixture.h"
#include "runtime/numbers.h"
#include "runtime/xbase.h"
#include "shell/application.h"
#include "resources/command_ids.h"
#include "shell/handlers.h"
#include "shell/mdi_client.h"
#include "support/books_writes.h"

namespace entry_test {

class LineFormTest : public test_support::DossierFixture {
 protected:
  virtual DossierCurrency Currency() const { return DossierCurrency::EuroMain; }
  virtual char AnalyticMode() const { return '0'; }
  virtual long Lines() const { return 400; }
  void SetUp() override {
    DossierFixture::SetUp();
    InstallProgramCommands();
    DemoOptions options;
    options.folder = root_ + "/demo";
    options.code = "JE";
    options.lines = Lines();
    options.analyticMode = AnalyticMode();
    options.currency = Currency();
    std::string message;
    ASSERT_TRUE(GenerateDemoDossier(options, &message)) << message;
    folder_ = options.folder + "/";
    SearchTargetKey.assign(kSearchTargetKeyLength, ' ');
    LastEntryDay = 0;
    RoundingLineFlag = 0;
    for (std::string& m : SlotModelText) m.clear();
    Notices().clear();
    SetLockNoticeHook([](const char*, const char* text) { Notices().push_back(text); });
  }
  void TearDown() override {
    if (CommandWindow != nullptr) CloseAll();
    gui::ProcessPendingMessages();
    gui::ClearModifierKeyOverrides();
    SetLockNoticeHook(nullptr);
    for (unsigned id : {command_id::SaisieEcritures, command_id::ActiverSaisie, command_id::ModDetJournaux,
                        command_id::LettrageManuel})
      SetCommandWork(id, {});
    DossierFixture::TearDown();
  }

  // An entry model written as the master data writes it, named by a journal (before the dossier opens).
  void GiveJournalModel(const std::string& journal, const std::string& model, const std::string& text) {
    Table c10;
    ASSERT_TRUE(c10.OpenShared(folder_ + "c10je", "C10CODE"));
    ASSERT_TRUE(c10.AppendBlank());
    c10.PutField(1, "M");
    c10.PutField(2, model.c_str());
    c10.PutField(3, "Mod\xE8le du test");
    ASSERT_TRUE(c10.PutMemoText(7, text));
    ASSERT_TRUE(c10.InsertRecord());
    ASSERT_TRUE(posting::FindJournal(c10, journal).IsFound());
    std::string padded = model;
    padded.resize(8, ' ');
    ASSERT_TRUE(c10.PutFieldPart(4, 11, 8, padded.c_str()));
    ASSERT_TRUE(c10.Commit());
    c10.CloseTable(true);
  }

  void Open() {
    OpenThroughDialog(C10Path(folder_, "JE"));
    ASSERT_EQ(std::string(RTrim(DossierCode.c_str())), "JE") << test_support::ShownTexts();
    gui::ModalSeam::Reset();
    SetProgramOption(3, 'N');
    MainFrame->MoveWindow(gui::Rect{0, 0, 1400, 900});
    MainFrame->Show(gui::SW_SHOW);
    MainFrame->Widget()->activateWindow();
    QApplication::setActiveWindow(MainFrame->Widget());
    gui::ProcessPendingMessages();
  }

  void CloseAll() {
    if (auto* f = Form()) {
      f->NoCheckFlag = true;
      gui::SendMessage(f->GetHandle(), gui::WM_CLOSE);
      gui::ProcessPendingMessages();
    }
    for (int k = 0; k < posting::kSlotCount; ++k) {
      if (auto* w = Window(k)) {
        gui::ModalSeam::QueueMessageBoxAnswer(gui::IDYES);
        gui::ModalSeam::QueueMessageBoxAnswer(gui::IDYES);
        gui::SendMessage(w->GetHandle(), gui::WM_CLOSE);
        gui::ProcessPendingMessages();
      }
    }
    CommandWindow->CloseChildren();
    gui::ProcessPendingMessages();
    gui::ModalSeam::Reset();
  }

  static void Send(gui::Window* w, unsigned command) {
    gui::SendCommand(w->GetHandle(), command);
    gui::ProcessPendingMessages();
  }
  static TWSaiBroEntJournaux* Headers() {
    return dynamic_cast<TWSaiBroEntJournaux*>(gui::Window::FromHandle(SlotHandle(posting::kHeadersListFlag)));
  }
  static TWSaiBroDetJournaux* Window(int k) {
    if (!posting::SlotInUse(k)) return nullptr;
    return dynamic_cast<TWSaiBroDetJournaux*>(gui::Window::FromHandle(SlotHandle(posting::SlotPosition(k))));
  }
  // The line form of slot k (0 when none is open).
  static TWSaiModDetJournaux* Form(int k = 0) {
    const int p = posting::SlotPosition(k) + posting::kPartnerOffset;
    if (RegistryChar(p) != '1') return nullptr;
    return dynamic_cast<TWSaiModDetJournaux*>(gui::Window::FromHandle(SlotHandle(p)));
  }
  TWSaiBroDetJournaux* Saisir(const std::string& journalMonth) {
    if (Headers() == nullptr) Menu(command_id::SaisieEcritures);
    TWSaiBroEntJournaux* list = Headers();
    if (list == nullptr || !list->LocateCode(journalMonth + "B")) {
      ADD_FAILURE() << journalMonth << " is not listed";
      return nullptr;
    }
    Send(list, browse_cmd::Modifier);
    const int k = posting::SlotHolding(journalMonth);
    return k < 0 ? nullptr : Window(k);
  }
  // The draft journal-month of a journal with the most lines.
  std::string MonthOf(const std::string& journal) {
    std::map<std::string, long> months;
    Table c50;
    EXPECT_TRUE(c50.OpenShared(folder_ + "c50je", L::kCodeTag, true));
    for (bool more = c50.GoTop(L::kCodeTag); more; more = c50.Skip(1))
      if (std::string(c50.GetField(L::BJAL)) == journal) ++months[std::string(c50.GetField(L::BMOIS)) + c50.GetField(L::BJAL)];
    std::string best;
    long most = -1;
    for (const auto& [m, n] : months)
      if (n > most) best = m, most = n;
    return best;
  }

  // The first live general line of a journal-month whose record passes `which`: its key ("" none).
  std::string LineWhere(const std::string& journalMonth, const std::function<bool(const posting::LineRecord&)>& which) {
    Table c50;
    EXPECT_TRUE(c50.OpenShared(PathC50(), L::kCodeTag, true));
    const std::string prefix = posting::LinePrefix(journalMonth);
    for (bool more = c50.Seek(L::kCodeTag, prefix.c_str()); more; more = c50.Skip(1)) {
      const posting::LineRecord r = posting::ReadLineRecord(c50);
      if (r.key.compare(0, prefix.size(), prefix) != 0) break;
      if (r.live && which(r)) return r.key;
    }
    return {};
  }
  // The bank journal's busiest month entered and its first line of 51200000 typed in euros opened in the
  // form (the window or the form null when either did not open).
  struct BankLine {
    std::string month, key;
    TWSaiBroDetJournaux* window = nullptr;
    TWSaiModDetJournaux* form = nullptr;
  };
  BankLine OpenBankLine() {
    BankLine b;
    b.month = MonthOf("BQ ");
    b.key = LineWhere(b.month, [](const posting::LineRecord& r) { return r.account == "51200000" && r.entry == 'O'; });
    b.window = Saisir(b.month);
    if (b.window != nullptr) b.form = Modify(b.window, b.key);
    return b;
  }
  // The first bank line of a journal-month on the debit side with francs (its key, "" for none), its
  // account's franc debit total set to `debitF` first.
  std::string BankDebitLineAt(const std::string& month, double debitF) {
    const test_support::SetUpPermit permit("ligne de banque mise en place");
    const std::string key = LineWhere(month, [](const posting::LineRecord& r) {
      return r.account == "51200000" && r.sense == 'D' && ToCents(r.francs) > 0;
    });
    Table c20;
    EXPECT_TRUE(c20.OpenShared(PathC20(), "C20CODE") && c20.Seek("C20CODE", "51200000") && c20.PutFieldNum(17, debitF));
    return key;
  }
  // The form put in francs, then `text` typed over its field `id`.
  void TypeInFrancs(TWSaiModDetJournaux* f, int id, const std::string& text) {
    f->EurosBox()->SetValue(false, false);
    Send(f, 1248);
    FocusOnControl(f, id);
    Key('A', test_support::kControlModifier, std::string(1, '\x01'));
    Key(gui::VK_DELETE);
    Type(text);
  }
  // A new piece of the purchases journal's busiest month (Ctrl+P in its lines window), its first line's
  // day 12 and account 607 typed: its form (null when it did not open).
  TWSaiModDetJournaux* NewPurchaseLine() {
    if (Saisir(MonthOf("AC ")) == nullptr) return nullptr;
    Key('P', test_support::kControlModifier);
    if (Form() == nullptr) return nullptr;
    Field("12");
    Field("");
    Field("607");
    return Form();
  }
  // "Modifier" on the line of a key in its lines window: its form.
  TWSaiModDetJournaux* Modify(TWSaiBroDetJournaux* w, const std::string& key) {
    if (w == nullptr || !w->LocateRowByKey(w->Lines(), key, 1, 1, 1)) {
      ADD_FAILURE() << key << " is not shown";
      return nullptr;
    }
    Send(w, browse_cmd::Modifier);
    return Form(w->SlotIndex());
  }

  // ---- keys, as the user presses them: to the control that has the focus
  static QWidget* Focused() { return QApplication::focusWidget(); }
  static void Key(int key, test_support::KeyModifiers mods = test_support::kNoModifier, const std::string& text = {}) {
    QWidget* w = Focused();
    ASSERT_NE(w, nullptr) << "no control has the focus";
    test_support::SendKey(w, test_support::kKeyPress, key, mods, text);
    if (QApplication::focusWidget() != nullptr) w = QApplication::focusWidget();
    test_support::SendKey(w, test_support::kKeyRelease, key, mods, text);
    gui::ProcessPendingMessages();
  }
  static void Type(const std::string& cp1252) {
    for (unsigned char c : cp1252) {
      QWidget* w = Focused();
      ASSERT_NE(w, nullptr) << "no control has the focus";
      const std::string text = test_support::Latin1Text(c);
      test_support::SendKey(w, test_support::kKeyPress, 0, test_support::kNoModifier, text);
      test_support::SendKey(w, test_support::kKeyRelease, 0, test_support::kNoModifier, text);
    }
    gui::ProcessPendingMessages();
  }
  // A field typed over (its text selected first) and Enter.
  static void Field(const std::string& text) {
    Key('A', test_support::kControlModifier, std::string(1, '\x01'));
    Key(gui::VK_DELETE);
    Type(text);
    Key(gui::VK_RETURN, test_support::kNoModifier, "\r");
  }
  // The user's click into a field of the form.
  static void FocusOnControl(TWSaiModDetJournaux* f, int id) {
    if (gui::Window* w = f->ControlOf(id)) w->SetFocus();
    gui::ProcessPendingMessages();
  }
  // The id of the control that has the focus, 0 for none of the form's.
  static int FocusedId(TWSaiModDetJournaux* f) {
    for (int id = 1201; id <= 1292; ++id) {
      gui::Window* w = f->ControlOf(id);
      if (w != nullptr && w->HasFocus()) return id;
    }
    return 0;
  }

  // The C50 record of a key read back, and an account's totals (cents: debit F, debit E, credit F, credit E).
  posting::LineRecord LineOf(const std::string& key) {
    Table c50;
    EXPECT_TRUE(c50.OpenShared(PathC50(), L::kCodeTag, true));
    if (!posting::FindLine(c50, key).IsFound()) return {};
    return posting::ReadLineRecord(c50);
  }
  std::array<long long, 4> AccountTotals(const std::string& account) {
    Table c20;
    EXPECT_TRUE(c20.OpenShared(PathC20(), "C20CODE", true));
    if (!c20.Seek("C20CODE", account.c_str())) return {0, 0, 0, 0};
    return {ToCents(c20.GetFieldNum(17)), ToCents(c20.GetFieldNum(18)), ToCents(c20.GetFieldNum(19)),
            ToCents(c20.GetFieldNum(20))};
  }
  posting::HeaderTotals HeaderOf(const std::string& journalMonth) {
    Table c10;
    EXPECT_TRUE(c10.OpenShared(PathC10(), "C10CODE", true));
    if (!posting::FindHeader(c10, journalMonth, posting::kDraftSource).IsFound()) return {};
    return posting::ReadHeaderTotals(c10);
  }

  void ExpectInvariants(const std::string& when) {
    DossierInvariants check;
    EXPECT_TRUE(check.Check()) << when << "\n" << check.Report();
    int status = -1;
    const std::string out = test_support::RunPythonScript(
        "import sys, runpy\nsys.argv = ['check_demo.py', '" + std::string(DossierFolder) + "', 'JE', '--invariants']\n"
        "runpy.run_path('" + test_support::DemoOracle() + "', run_name='__main__')\n",
        true, &status);
    EXPECT_EQ(status, 0) << when << "\n" << out;
  }

  // A cp1252 text as Python prints it.
  static std::string Utf8(const std::string& cp1252) {
    std::string out;
    for (unsigned char c : cp1252) {
      if (c < 0x80) {
        out += static_cast<char>(c);
      } else {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
      }
    }
    return out;
  }

  static std::vector<std::string>& Notices() {
    static std::vector<std::string> n;
    return n;
  }

  std::string folder_;
};

}  // namespace entry_test
