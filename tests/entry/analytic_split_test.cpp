// The analytic split driven as a bookkeeper drives it, on a generated analytic dossier: a line's account
// changed to one whose text names its split, its amount typed and Enter, and the analytic lines window and
// its line form follow (20404, 20405); lines are added and renumbered, typed in their form, balanced against
// the split in euros with the rounding line, balanced against a section, cancelled and reactivated in the
// list; the list asks before it closes unbalanced. Another station is refused a line its form holds. In mode
// "2" both axes open, one below the other. Bad account texts, a dossier rate of 0 and a general line
// cancelled since the request get their message and write nothing, and so does a new line on a full draft.
#include "line_form_fixture.h"

#include <algorithm>
#include <climits>

#include "draft_limit.h"

#include "data/session.h"
#include "dossier/core/dossier_create.h"
#include "entry/analytic_line_form.h"
#include "entry/analytic_lines_window.h"
#include "framework/lookup_dialog.h"
#include "runtime/numbers.h"
#include "runtime/text.h"
#include "runtime/xbase.h"
#include "shell/mdi_client.h"
#include "support/books_writes.h"
#include "support/cut_texts.h"
#include "support/other_process.h"
#include "support/refused_read.h"
#include "support/refused_write.h"
#include "support/window_amounts.h"

namespace entry_test {
namespace {

using namespace analytic_form;

constexpr int kLines1 = 88, kLines2 = 250;

class AnalyticSplitTest : public LineFormTest {
 protected:
  DossierCurrency Currency() const override { return DossierCurrency::FrancMain; }
  char AnalyticMode() const override { return '1'; }
  void SetUp() override {
    LineFormTest::SetUp();
    LastAnalyticEntryInEuros = false;
    PendingRoundingLine = 0;
  }
  // The split windows go first, an unbalanced split given up.
  void TearDown() override {
    for (int offset : {kLines1, kLines2}) {
      if (auto* f = SplitForm(0, offset)) {
        f->NoCheckFlag = true;
        gui::SendMessage(f->GetHandle(), gui::WM_CLOSE);
        gui::ProcessPendingMessages();
      }
      if (auto* list = List(0, offset)) {
        gui::ModalSeam::QueueMessageBoxAnswer(gui::IDYES);
        gui::ModalSeam::QueueMessageBoxAnswer(gui::IDYES);
        gui::SendMessage(list->GetHandle(), gui::WM_CLOSE);
        gui::ProcessPendingMessages();
      }
    }
    LineFormTest::TearDown();
  }

  // Before the dossier opens: a live debit line typed in francs on an analytic charge account, and another
  // analytic charge account for it.
  void ChooseLine() {
    Table c20, c50;
    ASSERT_TRUE(c20.OpenShared(folder_ + "c20je", "C20CODE", true));
    ASSERT_TRUE(c50.OpenShared(folder_ + "c50je", L::kCodeTag, true));
    std::vector<std::string> analytic;
    for (bool more = c20.GoTop("C20CODE"); more; more = c20.Skip(1))
      if (!c20.IsDeleted() && c20.GetField(1)[0] == '6' && std::string(c20.GetField(27)) == "O")
        analytic.emplace_back(c20.GetField(1));
    ASSERT_GE(analytic.size(), 2u);
    for (bool more = c50.GoTop(L::kCodeTag); more && key_.empty(); more = c50.Skip(1)) {
      const posting::LineRecord r = posting::ReadLineRecord(c50);
      if (!r.live || r.key[0] != 'Z' || r.sense != 'D' || r.entry != 'N' || r.account[0] != '6') continue;
      key_ = r.key;
      month_ = r.key.substr(1, 7);
      oldAccount_ = r.account;
      for (const std::string& a : analytic)
        if (a != r.account) target_ = a;
    }
    ASSERT_FALSE(key_.empty());
    std::string t = target_;
    t.resize(8, ' ');
    linesKey_ = key_.substr(1, 13) + t + key_.substr(20, 4) + "W";
  }
  void GiveText(const std::string& account, const std::string& text) {
    Table c20;
    ASSERT_TRUE(c20.OpenShared(folder_ + "c20je", "C20CODE"));
    ASSERT_TRUE(c20.Seek("C20CODE", account.c_str()));
    ASSERT_TRUE(c20.PutMemoText(30, text));
    ASSERT_TRUE(c20.Commit());
  }
  void AddSection(const std::string& code) {
    Table c30;
    ASSERT_TRUE(c30.OpenShared(folder_ + "c30je", "C30CODE"));
    ASSERT_TRUE(c30.AppendBlank());
    c30.PutField(1, code.c_str());
    c30.PutField(2, "Ecarts d'arrondis");
    ASSERT_TRUE(c30.InsertRecord());
    ASSERT_TRUE(c30.Commit());
  }

  // The chosen line's form, opened from its journal-month's lines window (null when either did not open).
  TWSaiModDetJournaux* LineForm() {
    TWSaiBroDetJournaux* w = Saisir(month_);
    return w == nullptr ? nullptr : Modify(w, key_);
  }
  // The line's account changed to the target and 1,000.00 francs typed: Enter asks for its split.
  TWSaiBroDetJournauxAnal* AskSplit() {
    TWSaiModDetJournaux* f = LineForm();
    if (f == nullptr) return nullptr;
    FocusOnControl(f, line_form::kAccount);
    Field(target_);
    FocusOnControl(f, line_form::kDebitF);
    Field("1000");
    return List(0, kLines1);
  }
  // The target account given its split's `text`, the dossier opened, the line's split asked: the form of its
  // first analytic line, "0001" (null when the list or the form did not open).
  TWSaiModDetJournauxAnal* FirstSplitLine(const std::string& text) {
    ChooseLine();
    GiveText(target_, text);
    Open();
    if (HasFatalFailure() || AskSplit() == nullptr) return nullptr;
    TWSaiModDetJournauxAnal* f = SplitForm();
    return f != nullptr && f->LineKey() == linesKey_ + "0001" ? f : nullptr;
  }
  static TWSaiBroDetJournauxAnal* List(int k, int offset) {
    const int p = posting::SlotPosition(k) + offset;
    if (RegistryChar(p) != '1') return nullptr;
    return dynamic_cast<TWSaiBroDetJournauxAnal*>(gui::Window::FromHandle(SlotHandle(p)));
  }
  static TWSaiModDetJournauxAnal* SplitForm(int k = 0, int offset = kLines1) {
    const int p = posting::SlotPosition(k) + offset + TWSaiBroDetJournauxAnal::kFormOffset;
    if (RegistryChar(p) != '1') return nullptr;
    return dynamic_cast<TWSaiModDetJournauxAnal*>(gui::Window::FromHandle(SlotHandle(p)));
  }
  // The analytic line form of the first axis closed, when open, without its checks.
  static void CloseSplitForm() {
    if (TWSaiModDetJournauxAnal* f = SplitForm()) {
      f->NoCheckFlag = true;
      gui::SendMessage(f->GetHandle(), gui::WM_CLOSE);
      gui::ProcessPendingMessages();
    }
  }
  // A field of the analytic form typed over and Enter.
  static void Into(TWSaiModDetJournauxAnal* f, int id, const std::string& text) {
    if (gui::Window* w = f->ControlOf(id)) w->SetFocus();
    gui::ProcessPendingMessages();
    Field(text);
  }
  // A section's totals (cents: debit F, debit E, credit F, credit E).
  std::array<long long, 4> SectionTotals(const std::string& code) {
    Table c30;
    EXPECT_TRUE(c30.OpenShared(PathC30(), "C30CODE", true));
    std::string key = code;
    key.resize(8, ' ');
    if (!c30.Seek("C30CODE", key.c_str())) return {0, 0, 0, 0};
    return {ToCents(c30.GetFieldNum(9)), ToCents(c30.GetFieldNum(10)), ToCents(c30.GetFieldNum(11)),
            ToCents(c30.GetFieldNum(12))};
  }
  // The analytic line of a number: section, sense, amounts, entry letter, live.
  struct Split {
    std::string section;
    char sense = ' ';
    long long francs = 0, euros = 0;
    char entry = ' ';
    bool live = false;
  };
  Split SplitLine(const std::string& number) {
    Table c50;
    EXPECT_TRUE(c50.OpenShared(PathC50(), L::kAnalyticTag, true));
    Split s;
    if (!entry::SeekAnalyticRecord(c50, linesKey_ + number).IsFound()) return s;
    s.section = RTrim(c50.GetField(L::BCODE));
    s.sense = c50.GetField(L::BSENS)[0];
    s.francs = ToCents(c50.GetFieldNum(L::BMONTANTF));
    s.euros = ToCents(c50.GetFieldNum(L::BMONTANTE));
    s.entry = c50.GetField(L::BEURO)[0];
    s.live = !c50.IsDeleted();
    return s;
  }
  static void Select(TWSaiBroDetJournauxAnal* list, const std::string& key) {
    ASSERT_TRUE(list->LocateRowByKey(list->Lines(), key, 1, 1, 1)) << key;
  }

  // The live analytic records of the general line on an account.
  long LiveSplitRecords(const std::string& account) {
    Table c50;
    EXPECT_TRUE(c50.OpenShared(PathC50(), L::kAnalyticTag, true));
    std::string a = account;
    a.resize(8, ' ');
    const std::string key = key_.substr(1, 13) + a + key_.substr(20, 4);
    long live = 0;
    for (bool more = c50.SeekNotBelow(L::kAnalyticTag, key.c_str()); more; more = c50.Skip(1)) {
      const char m = c50.MatchKey(key.c_str(), 25, L::BMOIS, L::BJAL, L::BPIECE, L::BCG, L::BNUM);
      if (m == 'O') ++live;
      else if (m != 'o') break;
    }
    return live;
  }

  std::string key_, month_, target_, linesKey_, oldAccount_;
};

// From the line to its split and through it: the default split, a second opening, new lines, the euro
// balancing and its rounding line, a section balanced, cancel and reactivate, the unbalanced close, and the
// lock of a line open in its form.
TEST_F(AnalyticSplitTest, TheSplitOfALineFromEndToEnd) {
  ChooseLine();
  GiveText(target_, "Ventilation du compte\r\nCA1=CH-ARTAS %=60\r\nCA1=VENTES  %=40\r\n");
  AddSection("ZARRONDI");
  const std::string split = linesKey_;
  const std::string path = folder_ + "c50je";
  test_support::OtherProcess station([path, split](char cmd) {
    static Table t;
    if (!t.isOpen && !t.OpenShared(path, L::kAnalyticTag)) return false;
    if (!entry::SeekAnalyticRecord(t, split + "0020").IsFound()) return false;
    return cmd == 'l' ? LockRecord(t, nullptr, 0) : UnlockRecord(t);
  });
  Open();
  ASSERT_GT(LiveSplitRecords(oldAccount_), 0);
  TWSaiBroDetJournauxAnal* list = AskSplit();
  ASSERT_NE(list, nullptr) << test_support::ShownTexts();
  EXPECT_EQ(LiveSplitRecords(oldAccount_), 0) << "the old account's split went with the change of account";
  EXPECT_TRUE(list->HeaderCreated());
  EXPECT_EQ(list->DefaultLinesMade(), 2);
  EXPECT_EQ(list->Store().totalRows, 2);
  EXPECT_EQ(list->GetCaption().substr(0, 23), "Lignes Analytiques (1) ");
  EXPECT_NE(list->GetCaption().find(" Db 1 000.00"), std::string::npos) << list->GetCaption();
  const Split artas = SplitLine("0001"), ventes = SplitLine("0002");
  EXPECT_EQ(artas.section, "CH-ARTAS");
  EXPECT_EQ(artas.francs, 60000);
  EXPECT_EQ(artas.euros, ToCents(Round(2, 600.0 / 6.55957)));
  EXPECT_EQ(ventes.section, "VENTES");
  EXPECT_EQ(ventes.francs, 40000);
  EXPECT_EQ(SectionTotals("CH-ARTAS")[0], 60000);
  EXPECT_EQ(SectionTotals("VENTES")[0], 40000);
  for (unsigned char c : list->SelectedRow()) EXPECT_TRUE(c >= 0x20 || c == 0) << "a control character in the row";
  // The form opened on the first line.
  TWSaiModDetJournauxAnal* f = SplitForm();
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(f->LineKey(), split + "0001");
  EXPECT_EQ(f->TextOf(kSection), "CH-ARTAS");
  EXPECT_EQ(f->GetCaption().substr(0, 21), "Ligne Analytique (1) ");
  test_support::Screenshot(MainFrame->Widget(), "entry", "analytic_split");
  ExpectInvariants("after the default split");

  // The line form's split check reads what the window wrote: the split adds up.
  EXPECT_TRUE(posting::AnalyticSplitBalances(*TableC50, key_, target_, false, 100000,
                                           ToCents(Round(2, 1000.0 / 6.55957)), true));

  // The first line typed in euros: 50.00, its francs converted; the rest asked as a new line after it, the
  // axis renumbered.
  static_cast<MCheckBox*>(f->ControlOf(kEuros))->SetValue(true, false);
  Send(f, kEuros);
  Into(f, kDebitE, "50");
  EXPECT_EQ(SplitLine("0010").euros, 5000);
  EXPECT_EQ(SplitLine("0010").francs, 32798);
  EXPECT_EQ(SplitLine("0020").section, "VENTES");
  f = SplitForm();
  ASSERT_NE(f, nullptr) << test_support::ShownTexts();
  EXPECT_EQ(CommandWindow->GetActiveMDIChild(), f) << "the next line's form takes the keys, no list in front of it";
  EXPECT_EQ(f->LineKey(), split + "0011");
  EXPECT_EQ(f->TextOf(kSection), "");
  // Its section, then "Solder la Pièce" in euros: 41.47 and its 272.03 francs leave a franc cent, which a
  // rounding line on "ZARRONDI" takes.
  Into(f, kSection, "atelier");
  EXPECT_EQ(f->TextOf(kSection), "ATELIER");
  static_cast<MCheckBox*>(f->ControlOf(kEuros))->SetValue(true, false);
  Send(f, kEuros);
  Send(f, 20077);
  const Split rest = SplitLine("0011");
  EXPECT_EQ(rest.section, "ATELIER");
  EXPECT_EQ(rest.euros, 15245 - 5000 - 6098);
  EXPECT_EQ(rest.francs, ToCents(Round(2, FromCents(rest.euros) * 6.55957)));
  const Split rounding = SplitLine("0012");
  EXPECT_EQ(rounding.section, "ZARRONDI");
  EXPECT_EQ(rounding.entry, 'n');
  EXPECT_EQ(rounding.euros, 0);
  const long long cent = 100000 - 32798 - 40000 - rest.francs;
  EXPECT_EQ(rounding.sense == 'D' ? rounding.francs : -rounding.francs, cent);
  EXPECT_EQ(std::abs(cent), 1);
  ExpectInvariants("after the rounding line");

  // "Solder le Compte" on another section than the loaded one: its whole balance, reversed.
  Select(list, split + "0020");
  Send(list, browse_cmd::Modifier);
  f = SplitForm();
  ASSERT_NE(f, nullptr);
  ASSERT_EQ(f->LineKey(), split + "0020");
  Into(f, kSection, "BUREAU");
  const auto bureau = SectionTotals("BUREAU");
  Send(f, 20081);
  const bool inEuros = f->TextOf(kEuros) == "O";
  const long long balance = inEuros ? bureau[1] - bureau[3] : bureau[0] - bureau[2];
  const int side = inEuros ? (balance > 0 ? kCreditE : kDebitE) : (balance > 0 ? kCreditF : kDebitF);
  EXPECT_EQ(f->TextOf(side), AllTrim(FormatNumber(14, 2, false, FromCents(std::abs(balance)))));
  test_support::Screenshot(MainFrame->Widget(), "entry", "analytic_line_form");
  // While the form holds the line, another station is refused it.
  EXPECT_FALSE(station.Do('l'));
  Send(f, 20023);
  EXPECT_EQ(SplitForm(), nullptr);
  EXPECT_EQ(CommandWindow->GetActiveMDIChild(), list) << "the list the form was opened from takes the keys";
  EXPECT_EQ(SplitLine("0020").section, "VENTES") << "Quitter keeps the stored line";
  EXPECT_TRUE(station.Do('l')) << "free once the form closed";
  EXPECT_TRUE(station.Do('u'));

  // Cancelled and reactivated in the list, the line opens in its form at once, with no lock notice.
  const auto ventesBefore = SectionTotals("VENTES");
  Send(list, 20029);
  EXPECT_FALSE(SplitLine("0020").live);
  EXPECT_EQ(SectionTotals("VENTES")[0], ventesBefore[0] - 40000);
  // Closing it unbalanced asks; "Non" keeps it open.
  gui::ModalSeam::Reset();
  gui::ModalSeam::QueueMessageBoxAnswer(gui::IDNO);
  gui::SendMessage(list->GetHandle(), gui::WM_CLOSE);
  gui::ProcessPendingMessages();
  ASSERT_FALSE(gui::ModalSeam::Shown().empty());
  EXPECT_NE(gui::ModalSeam::Shown()[0].text.find("n'est pas \xE9quilibr\xE9" "e en Francs"), std::string::npos)
      << gui::ModalSeam::Shown()[0].text;
  test_support::ScreenshotMessage(gui::ModalSeam::Shown()[0], "entry", "analytic_unbalanced");
  ASSERT_EQ(List(0, kLines1), list) << "the window stays on Non";
  Send(list, 20031);
  EXPECT_TRUE(SplitLine("0020").live);
  EXPECT_EQ(SectionTotals("VENTES"), ventesBefore);
  Notices().clear();
  Send(list, browse_cmd::Modifier);
  f = SplitForm();
  ASSERT_NE(f, nullptr);
  EXPECT_TRUE(f->HoldsLine());
  EXPECT_TRUE(Notices().empty()) << Notices().front();
  Send(f, 20023);

  // Balanced again: the list closes without a question; a second opening makes nothing more.
  gui::ModalSeam::Reset();
  gui::SendMessage(list->GetHandle(), gui::WM_CLOSE);
  gui::ProcessPendingMessages();
  EXPECT_EQ(List(0, kLines1), nullptr) << test_support::ShownTexts();
  TWSaiModDetJournaux* line = Form();
  ASSERT_NE(line, nullptr);
  Send(line, line_form::kAnalytic);
  list = List(0, kLines1);
  ASSERT_NE(list, nullptr) << test_support::ShownTexts();
  EXPECT_FALSE(list->HeaderCreated());
  EXPECT_EQ(list->Store().totalRows, 4);
  ExpectInvariants("at the end");
}

// Bad account texts and a dossier rate of 0: a message that says why, no analytic line made, and the window
// asks for a first empty line instead, which "Quitter" drops.
struct BadCase {
  const char* text;
  double rate;
  const char* message;
};
class SplitTextInputTest : public AnalyticSplitTest, public ::testing::WithParamInterface<BadCase> {};

TEST_P(SplitTextInputTest, AMessageAndNothingWritten) {
  ChooseLine();
  GiveText(target_, GetParam().text);
  Open();
  if (GetParam().rate == 0) TheDossierRecord.SetParity(0);
  gui::ModalSeam::Reset();
  TWSaiBroDetJournauxAnal* list = AskSplit();
  ASSERT_NE(list, nullptr) << test_support::ShownTexts();
  EXPECT_EQ(list->DefaultLinesMade(), 0);
  EXPECT_NE(test_support::ShownTexts().find(GetParam().message), std::string::npos) << test_support::ShownTexts();
  EXPECT_EQ(SectionTotals("VENTES"), (std::array<long long, 4>{0, 0, 0, 0}));
  TWSaiModDetJournauxAnal* f = SplitForm();
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(f->LineKey(), linesKey_ + "0001");
  Send(f, 20023);
  EXPECT_FALSE(SplitLine("0001").live);
}

// "Quitter" on the first empty analytic line while the disk refuses its cancel: one box saying so, the
// line left live; "Quitter" again, the disk in order, drops it.
TEST_F(AnalyticSplitTest, ABlankAnalyticLineWhoseCancelIsRefusedSaysSo) {
  TWSaiModDetJournauxAnal* f = FirstSplitLine("CA1=\r\nCA1=VENTES");
  ASSERT_NE(f, nullptr) << test_support::ShownTexts();
  gui::ModalSeam::Reset();
  test_support::RefusedWrite::Arm("c50je.dbf", 1, platform::WriteFault::kFailOnce);
  Send(f, 20023);
  test_support::RefusedWrite::Disarm();
  ASSERT_EQ(gui::ModalSeam::Shown().size(), 1u) << test_support::ShownTexts();
  const std::string& said = gui::ModalSeam::Shown()[0].text;
  EXPECT_EQ(said.rfind("La ligne n'a pas \xE9t\xE9 annul\xE9" "e", 0), 0u) << said;
  test_support::ScreenshotMessage(gui::ModalSeam::Shown()[0], "entry", "blank_analytic_line_cancel_refused");
  EXPECT_TRUE(SplitLine("0001").live);
  EXPECT_EQ(SplitForm(), nullptr);
  ExpectInvariants("after the refused cancel of a blank analytic line");
}

INSTANTIATE_TEST_SUITE_P(Texts, SplitTextInputTest,
                         ::testing::Values(BadCase{"CA1=\r\nCA1=VENTES", 6.55957, "la section manque"},
                                           BadCase{"CA1=VENTES %=abc", 6.55957, "n'est pas un nombre"},
                                           BadCase{"CA1=VENTES %=40", 0, "La parit\xE9 Francs / Euros du dossier est nulle"}));

// The line is saved by the Enter that asks for its split, and its form stays open beside the split: beside
// its account the form shows the account's balance as that save left it, the line's 1,000.00 francs in it.
TEST_F(AnalyticSplitTest, BesideItsAccountTheFormShowsTheBalanceItsSaveWrote) {
  ChooseLine();
  Open();
  const auto before = AccountTotals(target_);
  ASSERT_NE(AskSplit(), nullptr) << test_support::ShownTexts();
  TWSaiModDetJournaux* f = Form();
  ASSERT_NE(f, nullptr);
  const auto after = AccountTotals(target_);
  EXPECT_EQ(after[0] - before[0], 100000) << "the line is on the account's totals";
  const std::string shown = f->TextOf(line_form::kAccountInfo);
  EXPECT_NE(shown.find(std::string(" -\n") + Trimmed(BalanceAmount(after[0] - after[2])) + " Francs"),
            std::string::npos)
      << shown;
  test_support::Screenshot(f->OuterWidget(), "entry", "line_form_balance_after_split_asked");
}

// An analytic line left by Enter on its amount, by the Down arrow or by "Ligne Suivante" while its section's
// total cannot hold the amount: one box, the form stays on that line, in front, and no other analytic line
// is made in the split; the section's total as it was.
TEST_F(AnalyticSplitTest, AnAnalyticLineWhoseSaveIsRefusedKeepsItsForm) {
  TWSaiModDetJournauxAnal* f = FirstSplitLine("Ventilation du compte\r\nCA1=CH-ARTAS %=60\r\nCA1=VENTES  %=40\r\n");
  ASSERT_NE(f, nullptr) << test_support::ShownTexts();
  {
    Table c30;
    ASSERT_TRUE(c30.OpenShared(PathC30(), "C30CODE"));
    ASSERT_TRUE(c30.Seek("C30CODE", "CH-ARTAS"));
    const test_support::SetUpPermit permit("total plein");
    ASSERT_TRUE(c30.PutFieldNum(9, 99999999999.00));
  }
  const auto artas = SectionTotals("CH-ARTAS");
  const long split = LiveSplitRecords(target_);
  const struct {
    const char* what;
    int key;
    const char* text;
  } keys[] = {{"Enter", gui::VK_RETURN, "\r"}, {"Down", gui::VK_DOWN, ""}};
  for (const auto& k : keys) {
    SCOPED_TRACE(k.what);
    f->ControlOf(kDebitF)->SetFocus();
    gui::ProcessPendingMessages();
    f->EditOf(kDebitF)->SetText("700");
    gui::ModalSeam::Reset();
    Key(k.key, test_support::kNoModifier, k.text);
    ASSERT_EQ(SplitForm(), f) << test_support::ShownTexts();
    EXPECT_EQ(f->LineKey(), linesKey_ + "0001");
    EXPECT_EQ(gui::ModalSeam::Shown().size(), 1u) << test_support::ShownTexts();
    EXPECT_EQ(CommandWindow->GetActiveMDIChild(), f);
    EXPECT_EQ(LiveSplitRecords(target_), split) << "no other analytic line made";
    EXPECT_EQ(SectionTotals("CH-ARTAS"), artas);
    EXPECT_EQ(SplitLine("0001").francs, 60000);
  }
}

// A request naming a general line cancelled since: the message, the window gone, nothing written.
TEST_F(AnalyticSplitTest, ARequestForACancelledLineWritesNothing) {
  ChooseLine();
  Open();
  TWSaiBroDetJournaux* w = Saisir(month_);
  ASSERT_NE(w, nullptr);
  ASSERT_TRUE(w->LocateRowByKey(w->Lines(), key_, 1, 1, 1));
  Send(w, 20029);
  const std::uint32_t records = [&] {
    Table c50;
    EXPECT_TRUE(c50.OpenShared(PathC50(), L::kCodeTag, true));
    return c50.RecCount();
  }();
  const entry::SplitKey request = entry::SplitKey::Of(key_, target_, 'V', "01", " ", "Libell\xE9", 100000, 15245);
  const int position = posting::SlotPosition(0) + kLines1;
  SetRegistryText(position + 11, 92, request.Text());
  SetRegistryText(position, 1, "2");
  gui::ModalSeam::Reset();
  Menu(command_id::BroDetJournauxAnal);
  EXPECT_NE(test_support::ShownTexts().find("annul\xE9" "e ou n'existe plus"), std::string::npos) << test_support::ShownTexts();
  EXPECT_EQ(List(0, kLines1), nullptr);
  Table c50;
  ASSERT_TRUE(c50.OpenShared(PathC50(), L::kCodeTag, true));
  EXPECT_EQ(c50.RecCount(), records);
}

// The split's opening and a new analytic line whose writes the disk refuses (the first to the draft, EIO
// once): each says so in its own one sentence naming the file, never the engine's box; the opening
// refused closes the window with nothing written, the new line refused leaves the list as it was.
TEST_F(AnalyticSplitTest, AnOpeningOrANewLineRefusedByTheDiskSaysSoInOneSentence) {
  ChooseLine();
  GiveText(target_, "CA1=VENTES");
  Open();
  TWSaiBroDetJournaux* w = Saisir(month_);
  ASSERT_NE(w, nullptr);
  const entry::SplitKey request = entry::SplitKey::Of(key_, oldAccount_, 'V', "01", " ", "Libell\xE9", 100000, 15245);
  const int position = posting::SlotPosition(0) + kLines1;
  SetRegistryText(position + 11, 92, request.Text());
  SetRegistryText(position, 1, "2");
  gui::ModalSeam::Reset();
  test_support::RefusedWrite::Arm("c50je.dbf", 1, platform::WriteFault::kFailOnce);
  Menu(command_id::BroDetJournauxAnal);
  test_support::RefusedWrite::Disarm();
  EXPECT_EQ(test_support::ShownTexts().find("Erreur BDE"), std::string::npos) << test_support::ShownTexts();
  ASSERT_EQ(gui::ModalSeam::Shown().size(), 1u) << test_support::ShownTexts();
  EXPECT_EQ(gui::ModalSeam::Shown()[0].text.rfind("La ventilation analytique de la ligne n'a pas \xE9t\xE9 ouverte", 0),
            0u)
      << gui::ModalSeam::Shown()[0].text;
  EXPECT_NE(gui::ModalSeam::Shown()[0].text.find("c50je.dbf"), std::string::npos) << gui::ModalSeam::Shown()[0].text;
  test_support::ScreenshotMessage(gui::ModalSeam::Shown()[0], "entry", "split_opening_refused");
  EXPECT_EQ(List(0, kLines1), nullptr);
  ExpectInvariants("after the opening refused");

  // The split asked from the line form, made by default on one line; a line after it refused.
  TWSaiBroDetJournauxAnal* list = AskSplit();
  ASSERT_NE(list, nullptr) << test_support::ShownTexts();
  CloseSplitForm();
  ASSERT_EQ(list->Store().totalRows, 1);
  Select(list, linesKey_ + "0001");
  gui::ModalSeam::Reset();
  test_support::RefusedWrite::Arm("c50je.dbf", 1, platform::WriteFault::kFailOnce);
  Send(list, 20083);
  test_support::RefusedWrite::Disarm();
  EXPECT_EQ(test_support::ShownTexts().find("Erreur BDE"), std::string::npos) << test_support::ShownTexts();
  ASSERT_EQ(gui::ModalSeam::Shown().size(), 1u) << test_support::ShownTexts();
  EXPECT_EQ(gui::ModalSeam::Shown()[0].text.rfind("La ligne analytique n'a pas \xE9t\xE9 cr\xE9\xE9" "e", 0), 0u)
      << gui::ModalSeam::Shown()[0].text;
  test_support::ScreenshotMessage(gui::ModalSeam::Shown()[0], "entry", "analytic_line_refused");
  test_support::Screenshot(MainFrame->Widget(), "entry", "analytic_line_refused_list");
  EXPECT_EQ(list->Store().totalRows, 1);
  EXPECT_EQ(SplitForm(), nullptr);
  EXPECT_FALSE(SplitLine("0002").live);
  ExpectInvariants("after the new analytic line refused");
}

// The split's window opened while the disk refuses one read of the draft's index (each of its first reads in
// turn, EIO once): the window opens whole, or one box says in a French sentence naming the file that it was
// not opened; never the engine's box, never a window left without a word.
TEST_F(AnalyticSplitTest, AnOpeningWhoseIndexReadIsRefusedSaysSoInOneSentence) {
  ChooseLine();
  GiveText(target_, "CA1=VENTES");
  Open();
  TWSaiBroDetJournaux* w = Saisir(month_);
  ASSERT_NE(w, nullptr);
  const entry::SplitKey request = entry::SplitKey::Of(key_, oldAccount_, 'V', "01", " ", "Libell\xE9", 100000, 15245);
  const int position = posting::SlotPosition(0) + kLines1;
  long opened = 0, said = 0;
  for (int nth = 1; nth <= 12; ++nth) {
    SCOPED_TRACE("read " + std::to_string(nth) + " of c50je.mdx refused");
    SetRegistryText(position + 11, 92, request.Text());
    SetRegistryText(position, 1, "2");
    gui::ModalSeam::Reset();
    test_support::RefusedRead::Arm("/c50je.mdx", nth);
    Menu(command_id::BroDetJournauxAnal);
    const int seen = test_support::RefusedRead::Seen();
    test_support::RefusedRead::Disarm();
    const std::string shown = test_support::ShownTexts();
    EXPECT_EQ(shown.find("Erreur BDE"), std::string::npos) << shown;
    TWSaiBroDetJournauxAnal* list = List(0, kLines1);
    if (list != nullptr) {
      ++opened;
      gui::ModalSeam::QueueMessageBoxAnswer(gui::IDYES);
      gui::ModalSeam::QueueMessageBoxAnswer(gui::IDYES);
      CloseSplitForm();
      gui::SendMessage(list->GetHandle(), gui::WM_CLOSE);
      gui::ProcessPendingMessages();
    } else {
      ++said;
      ASSERT_EQ(gui::ModalSeam::Shown().size(), 1u) << "a window gone without a word, or more than one box: " << shown;
      EXPECT_NE(shown.find("c50je.mdx"), std::string::npos) << shown;
      if (said == 1) test_support::ScreenshotMessage(gui::ModalSeam::Shown()[0], "entry", "split_opening_index_unread");
    }
    ASSERT_FALSE(HasFailure());
    if (seen < nth) break;
  }
  EXPECT_GE(said, 1);
  EXPECT_GE(opened, 1);
  ExpectInvariants("after the openings with an index read refused");
}

// "Créer Ligne" after the first line of the split, whose next number is taken, with one read of the draft or
// of its index refused in turn (EIO once): either the line is made with a number no other line of the split
// holds (the axis renumbered first), or one box says in the change's own sentence that nothing changed, and
// nothing did, the renumbering included; never a number used twice, never a beep alone.
TEST_F(AnalyticSplitTest, ANewAnalyticLineWhoseReadIsRefusedIsMadeWholeOrSaidAndNothingChanged) {
  ChooseLine();
  GiveText(target_, "CA1=CH-ARTAS %=60\r\nCA1=VENTES  %=40\r\n");
  Open();
  TWSaiBroDetJournauxAnal* list = AskSplit();
  ASSERT_NE(list, nullptr) << test_support::ShownTexts();
  // The split's live lines in key order: record and number (a line taken back stays, cancelled).
  auto numbers = [this] {
    Table c50;
    EXPECT_TRUE(c50.OpenShared(PathC50(), L::kAnalyticTag, true));
    std::vector<std::pair<std::uint32_t, std::string>> found;
    for (bool more = c50.SeekNotBelow(L::kAnalyticTag, linesKey_.c_str()); more; more = c50.Skip(1)) {
      const KeyMatch m = entry::MatchSplitLines(c50, linesKey_);
      if (m.IsLive()) found.emplace_back(c50.recordNumber, c50.GetField(L::BNUMA));
      else if (!m.IsCancelled()) break;
    }
    return found;
  };
  for (const char* file : {"/c50je.mdx", "/c50je.dbf"}) {
    long made = 0, refused = 0;
    // The reads of the change and of what follows it at once (the list, the new line's form).
    for (int nth = 1; nth <= 700; nth += nth < 40 ? 1 : 9) {
      SCOPED_TRACE(std::string("read ") + std::to_string(nth) + " of " + file + " refused");
      // The list opened again from the line form: a read refused after the change (as the new line's
      // form loads) is no part of what is tried here.
      CloseSplitForm();
      gui::ModalSeam::QueueMessageBoxAnswer(gui::IDYES);
      gui::ModalSeam::QueueMessageBoxAnswer(gui::IDYES);
      gui::SendMessage(list->GetHandle(), gui::WM_CLOSE);
      gui::ProcessPendingMessages();
      ASSERT_EQ(List(0, kLines1), nullptr);
      ASSERT_NE(Form(), nullptr);
      Send(Form(), line_form::kAnalytic);
      list = List(0, kLines1);
      ASSERT_NE(list, nullptr) << test_support::ShownTexts();
      CloseSplitForm();
      const long rows = list->Store().totalRows;
      const auto before = numbers();
      ASSERT_GE(before.size(), 2u);
      Select(list, linesKey_ + before.front().second);
      gui::ModalSeam::Reset();
      test_support::RefusedRead::Arm(file, nth);
      Send(list, 20083);
      const int seen = test_support::RefusedRead::Seen();
      test_support::RefusedRead::Disarm();
      const std::string shown = test_support::ShownTexts();
      EXPECT_EQ(shown.find("Erreur BDE"), std::string::npos) << shown;
      DossierInvariants check;
      EXPECT_TRUE(check.Check()) << check.Report();
      // Made or not, as the books say: a line taken back stays in the list, cancelled.
      if (numbers().size() == before.size() + 1) {
        ++made;
        EXPECT_EQ(list->Store().totalRows, rows + 1);
        EXPECT_TRUE(gui::ModalSeam::Shown().empty()) << shown;
      } else {
        ++refused;
        ASSERT_EQ(gui::ModalSeam::Shown().size(), 1u) << "a beep alone, or more than one box: " << shown;
        const std::string& text = gui::ModalSeam::Shown()[0].text;
        EXPECT_NE(text.find("rien n'a chang\xE9"), std::string::npos) << text;
        EXPECT_EQ(numbers(), before) << "the renumbering stood: " << text;
        if (refused == 1 && std::string(file) == "/c50je.mdx")
          test_support::ScreenshotMessage(gui::ModalSeam::Shown()[0], "entry", "analytic_line_read_refused");
      }
      ASSERT_FALSE(HasFailure());
      if (seen < nth) break;
    }
    EXPECT_GE(refused, 1) << file;
    EXPECT_GE(made, 1) << file;
  }
  CloseSplitForm();
  test_support::Screenshot(MainFrame->Widget(), "entry", "analytic_lines_after_refused_reads");
  ExpectInvariants("after the new analytic lines made and refused");
}

// The draft at its record limit: a new analytic line is refused with the message before the axis is
// renumbered, and nothing is written.
TEST_F(AnalyticSplitTest, AFullDraftRefusesANewSplitLineWithNothingWritten) {
  ChooseLine();
  GiveText(target_, "CA1=VENTES");
  Open();
  TWSaiBroDetJournauxAnal* list = AskSplit();
  ASSERT_NE(list, nullptr) << test_support::ShownTexts();
  ASSERT_EQ(list->Store().totalRows, 1);
  Select(list, linesKey_ + "0001");
  DraftLimitGuard limit;
  const auto before = TableBytes(folder_);
  gui::ModalSeam::Reset();
  Send(list, 20083);
  ASSERT_EQ(gui::ModalSeam::Shown().size(), 1u) << test_support::ShownTexts();
  EXPECT_NE(gui::ModalSeam::Shown()[0].text.find("999 999 lignes"), std::string::npos);
  EXPECT_EQ(list->Store().totalRows, 1);
  EXPECT_TRUE(TableBytes(folder_) == before) << "a refused split line wrote to a table";
  EXPECT_EQ(SplitLine("0002").section, "");
}

// The sense carries the sign: an amount typed negative is refused with the message on the form's line, the
// focus on the amount, and the stored line kept. So is one larger than the line's field holds (twenty digits
// typed, fourteen kept), once, before anything is written: no box of the table's refusal.
TEST_F(AnalyticSplitTest, ANegativeOrTooLargeAmountIsRefused) {
  ChooseLine();
  GiveText(target_, "CA1=VENTES");
  Open();
  ASSERT_NE(AskSplit(), nullptr) << test_support::ShownTexts();
  TWSaiModDetJournauxAnal* f = SplitForm();
  ASSERT_NE(f, nullptr);
  const int amount = f->TextOf(kEuros) == "O" ? kDebitE : kDebitF;
  // The largest amount named is the line's in the currency typed: in euros the one whose francs still fit.
  const std::string largest = std::string("Le Montant est trop grand: ") +
                              (amount == kDebitE ? "15 244 901 723,74" : "99 999 999 999,99") + " au plus";
  const struct {
    const char* typed;
    std::string message;
  } cases[] = {
      {"-250", "Un Montant ne peut \xEAtre n\xE9gatif: le sens D\xE9" "bit ou Cr\xE9" "dit le donne"},
      {"12345678901234567890", largest},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.typed);
    gui::ModalSeam::Reset();
    Into(f, amount, c.typed);
    ASSERT_EQ(SplitForm(), f) << "the form stays";
    EXPECT_EQ(f->TextOf(kMessage), c.message);
    EXPECT_TRUE(f->ControlOf(amount)->HasFocus());
    EXPECT_TRUE(gui::ModalSeam::Shown().empty()) << test_support::ShownTexts();
    EXPECT_EQ(SplitLine("0001").francs, 100000);
    EXPECT_EQ(SectionTotals("VENTES")[0], 100000);
  }
  test_support::Screenshot(MainFrame->Widget(), "entry", "analytic_amount_too_large");
}

// Amounts whose twin in the other currency a field cannot hold, on an account whose text splits it 100 % on
// two sections. A credit of 13 119 140 000,00 F (2 000 000 000,00 €) is taken: its francs are too wide for the
// key the form hands over (a minus and fifteen characters), yet each section gets the whole amount in both
// currencies, sense "C", and the title shows it. 16 000 000 000,00 € on the debit and 99 000 000 000,00 € on
// the credit are refused in the line form by name, before any save or split; the analytic line form refuses
// 16 000 000 000,00 € the same way.
TEST_F(AnalyticSplitTest, AmountsPastTheFrancsAreSplitWholeOrRefused) {
  ChooseLine();
  GiveText(target_, "CA1=ADMIN\r\nCA1=EST");
  AddSection("ADMIN");
  AddSection("EST");
  Open();
  TWSaiModDetJournaux* f = LineForm();
  ASSERT_NE(f, nullptr);
  FocusOnControl(f, line_form::kAccount);
  Field(target_);
  const posting::LineRecord before = LineOf(key_);
  const struct Case {
    int field;
    const char* typed;
  } refused[] = {{line_form::kDebitE, "16000000000"}, {line_form::kCreditE, "99000000000"}};
  for (const Case& c : refused) {
    SCOPED_TRACE(c.typed);
    f->EurosBox()->SetValue(true, false);
    Send(f, 1248);
    FocusOnControl(f, c.field);
    gui::ModalSeam::Reset();
    Field(c.typed);
    ASSERT_EQ(Form(), f);
    EXPECT_EQ(f->TextOf(line_form::kMessage), "Le Montant est trop grand: 15 244 901 723,74 au plus");
    EXPECT_EQ(List(0, kLines1), nullptr) << "no split asked";
    EXPECT_TRUE(gui::ModalSeam::Shown().empty()) << test_support::ShownTexts();
    const posting::LineRecord after = LineOf(key_);
    EXPECT_EQ(ToCents(after.francs), ToCents(before.francs));
    EXPECT_EQ(ToCents(after.euros), ToCents(before.euros));
    EXPECT_EQ(after.account, before.account);
  }

  const auto admin = SectionTotals("ADMIN"), est = SectionTotals("EST");
  TypeInFrancs(f, line_form::kCreditF, "13119140000");
  Key(gui::VK_RETURN, test_support::kNoModifier, "\r");
  TWSaiBroDetJournauxAnal* list = List(0, kLines1);
  ASSERT_NE(list, nullptr) << test_support::ShownTexts();
  EXPECT_NE(list->GetCaption().find(" Cr -13 119 140 000.00"), std::string::npos) << list->GetCaption();
  // Each line's amounts whole in their columns, the widest a line stores as well.
  EXPECT_EQ(test_support::CutTexts(*list, 2), std::vector<std::string>{});
  for (const char* number : {"0001", "0002"}) {
    const Split part = SplitLine(number);
    EXPECT_EQ(part.sense, 'C') << number;
    EXPECT_EQ(part.francs, 1'311'914'000'000) << number;
    EXPECT_EQ(part.euros, 200'000'000'000) << number;
  }
  EXPECT_EQ(SplitLine("0001").section, "ADMIN");
  EXPECT_EQ(SplitLine("0002").section, "EST");
  for (const auto& [code, was] : {std::make_pair("ADMIN", admin), std::make_pair("EST", est)}) {
    const auto now = SectionTotals(code);
    EXPECT_EQ(now[2] - was[2], 1'311'914'000'000) << code;
    EXPECT_EQ(now[3] - was[3], 200'000'000'000) << code;
  }
  test_support::Screenshot(MainFrame->Widget(), "entry", "analytic_split_past_the_key");

  // The analytic line form takes no more than the line form.
  TWSaiModDetJournauxAnal* form = SplitForm();
  ASSERT_NE(form, nullptr);
  static_cast<MCheckBox*>(form->ControlOf(kEuros))->SetValue(true, false);
  Send(form, kEuros);
  Into(form, kCreditE, "16000000000");
  ASSERT_EQ(SplitForm(), form) << "the form stays";
  EXPECT_EQ(form->TextOf(kMessage), "Le Montant est trop grand: 15 244 901 723,74 au plus");
  EXPECT_EQ(SplitLine("0001").euros, 200'000'000'000);
  test_support::Screenshot(MainFrame->Widget(), "entry", "analytic_form_francs_past_their_field");
}

// The section typed with the help character: the sections' lookup opens on what stands before it, and the
// section chosen there comes back with its balance.
TEST_F(AnalyticSplitTest, TheSectionIsLookedUp) {
  ChooseLine();
  GiveText(target_, "CA1=VENTES");
  Open();
  ASSERT_NE(AskSplit(), nullptr) << test_support::ShownTexts();
  TWSaiModDetJournauxAnal* f = SplitForm();
  ASSERT_NE(f, nullptr);
  std::string offered;
  gui::ModalSeam::QueueDialogAnswer(gui::IDOK, [&offered](gui::Window& d) {
    auto& lookup = static_cast<TDAideFichier&>(d);
    offered = lookup.Rows().search;
    lookup.List()->SetSelIndex(0);
  });
  Into(f, kSection, "ATEL*");
  EXPECT_EQ(offered, "ATEL");
  EXPECT_EQ(f->TextOf(kSection), "ATELIER");
  EXPECT_NE(f->TextOf(kSectionInfo).find("Atelier de production"), std::string::npos) << f->TextOf(kSectionInfo);
  EXPECT_TRUE(f->ControlOf(kSection)->HasFocus());
  // Saved on it: VENTES gives its amounts to ATELIER.
  const auto atelier = SectionTotals("ATELIER");
  Send(f, 20055);
  EXPECT_EQ(SplitForm(), nullptr) << test_support::ShownTexts();
  EXPECT_EQ(SplitLine("0001").section, "ATELIER");
  EXPECT_EQ(SectionTotals("ATELIER")[0], atelier[0] + 100000);
  EXPECT_EQ(SectionTotals("VENTES")[0], 0);
}

// "Solder la Ligne" and a section typed while the disk refuses one read of the draft, of its index or of the
// sections' file (each read in turn, EIO once): the line balanced as the split stands (its 600.00 francs), or
// the read said naming the file and the line left as it was; never a remainder computed short of what was not
// read and saved, never a section not read called unknown.
TEST_F(AnalyticSplitTest, ABalancingOrASectionNotReadIsSaidNeverTakenForNone) {
  TWSaiModDetJournauxAnal* f = FirstSplitLine("CA1=CH-ARTAS %=60\r\nCA1=VENTES  %=40\r\n");
  ASSERT_NE(f, nullptr) << test_support::ShownTexts();
  TWSaiBroDetJournauxAnal* list = List(0, kLines1);
  ASSERT_NE(list, nullptr);
  auto openFirst = [&] {
    CloseSplitForm();
    Select(list, linesKey_ + "0001");
    Send(list, browse_cmd::Modifier);
    return SplitForm();
  };
  long said = 0;
  for (const char* file : {"/c50je.mdx", "/c50je.dbf"}) {
    for (int nth = 1; nth <= 120; nth += nth < 30 ? 1 : 7) {
      SCOPED_TRACE(std::string("read ") + std::to_string(nth) + " of " + file + " refused");
      f = openFirst();
      ASSERT_NE(f, nullptr) << test_support::ShownTexts();
      gui::ModalSeam::Reset();
      test_support::RefusedRead::Arm(file, nth);
      Send(f, 20077);
      const int seen = test_support::RefusedRead::Seen();
      test_support::RefusedRead::Disarm();
      const std::string shown = test_support::ShownTexts();
      const Split first = SplitLine("0001");
      EXPECT_TRUE(first.live && first.sense == 'D' && first.francs == 60000)
          << "balanced on a short remainder: " << first.sense << " " << first.francs << " " << shown;
      if (!gui::ModalSeam::Shown().empty() && shown.find(file + 1) != std::string::npos) ++said;
      ASSERT_FALSE(HasFailure());
      if (seen < nth) break;
    }
  }
  EXPECT_GE(said, 1) << "no refusal met the balancing";
  ExpectInvariants("after the balancings with a read refused");

  // The section typed with one read of the sections' file refused: found, or the read said in a box naming
  // the file, never "inconnu".
  // The sections' file opened again while reads are counted, so that the engine reads it rather than maps it.
  TableC30->CloseTable();
  test_support::RefusedRead::Arm("/c30je.dbf", INT_MAX);
  ASSERT_TRUE(TableC30->UseShared(PathC30(), "C30CODE"));
  test_support::RefusedRead::Disarm();
  long unread = 0;
  for (int nth = 1; nth <= 40; ++nth) {
    SCOPED_TRACE("read " + std::to_string(nth) + " of c30je.dbf refused");
    f = openFirst();
    ASSERT_NE(f, nullptr) << test_support::ShownTexts();
    gui::ModalSeam::Reset();
    test_support::RefusedRead::Arm("/c30je.dbf", nth);
    Into(f, kSection, "VENTES");
    const int seen = test_support::RefusedRead::Seen();
    test_support::RefusedRead::Disarm();
    const std::string message = f->TextOf(kMessage);
    EXPECT_EQ(message.find("inconnu"), std::string::npos) << message;
    if (test_support::ShownTexts().find("c30je") != std::string::npos) {
      if (++unread == 1) test_support::ScreenshotMessage(gui::ModalSeam::Shown().back(), "entry", "analytic_section_unread");
      EXPECT_TRUE(f->ControlOf(kSection)->HasFocus());
    }
    ASSERT_FALSE(HasFailure());
    if (seen < nth) break;
  }
  EXPECT_GE(unread, 1) << "no refusal met the section's look-up";
  CloseSplitForm();
}

// A line whose split stands, opened in its form while the disk refuses one read of the chart (each read in
// turn, EIO once): the account found, or said not read beside it; never its split taken away for an account
// not read.
TEST_F(AnalyticSplitTest, ALineWhoseAccountIsNotReadKeepsItsSplit) {
  ChooseLine();
  Open();
  const long split = LiveSplitRecords(oldAccount_);
  ASSERT_GT(split, 0);
  // The chart opened again while reads are counted, so that the engine reads it rather than maps it.
  TableC20->CloseTable();
  test_support::RefusedRead::Arm("/c20je.dbf", INT_MAX);
  ASSERT_TRUE(TableC20->UseShared(PathC20(), "C20CODE"));
  test_support::RefusedRead::Disarm();
  long said = 0;
  for (int nth = 1; nth <= 60; ++nth) {
    SCOPED_TRACE("read " + std::to_string(nth) + " of c20je.dbf refused");
    gui::ModalSeam::Reset();
    test_support::RefusedRead::Arm("/c20je.dbf", nth);
    TWSaiModDetJournaux* f = LineForm();
    const int seen = test_support::RefusedRead::Seen();
    test_support::RefusedRead::Disarm();
    EXPECT_EQ(LiveSplitRecords(oldAccount_), split) << test_support::ShownTexts();
    // The read said whole in a box naming the file, never "???" beside the account.
    const auto& shown = gui::ModalSeam::Shown();
    const auto box = std::find_if(shown.begin(), shown.end(),
                                  [](const gui::ShownModal& m) { return m.text.find("c20je") != std::string::npos; });
    if (f != nullptr && box != shown.end()) {
      if (++said == 1) {
        test_support::ScreenshotMessage(*box, "entry", "line_account_unread");
        test_support::Screenshot(MainFrame->Widget(), "entry", "line_account_unread_form");
      }
      EXPECT_FALSE(f->AnalyticAllowedNow());
      EXPECT_EQ(f->TextOf(line_form::kAccountInfo).find("???"), std::string::npos);
    }
    CloseAll();
    ASSERT_FALSE(HasFailure());
    if (seen < nth) break;
  }
  EXPECT_GE(said, 1) << "no refusal met the account's look-up";
}

// Mode "2": the two axes of one line open together, the second 20 pixels below the first.
class TwoAxesTest : public AnalyticSplitTest {
 protected:
  char AnalyticMode() const override { return '2'; }
};

TEST_F(TwoAxesTest, BothAxesOpenOneBelowTheOther) {
  ChooseLine();
  Open();
  TWSaiModDetJournaux* f = LineForm();
  ASSERT_NE(f, nullptr);
  Send(f, line_form::kAnalytic);
  TWSaiBroDetJournauxAnal* first = List(0, kLines1);
  TWSaiBroDetJournauxAnal* second = List(0, kLines2);
  ASSERT_NE(first, nullptr) << test_support::ShownTexts();
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(first->Key().Axis(), 1);
  EXPECT_EQ(second->Key().Axis(), 2);
  EXPECT_FALSE(first->HeaderCreated()) << "the generated split is found";
  EXPECT_GT(first->Store().totalRows, 0);
  EXPECT_GT(second->Store().totalRows, 0);
  EXPECT_EQ(second->GetWindowRect().y - first->GetWindowRect().y, 20);
  EXPECT_EQ(second->GetCaption().substr(0, 23), "Lignes Analytiques (2) ");
  test_support::Screenshot(MainFrame->Widget(), "entry", "analytic_two_axes");
}


// A dossier gone back to one axis, the removal of the second axis refused by the disk as the line's form
// opens: one box saying so, every second-axis record still live; opened again, the disk in order, the
// form removes them without a word.
TEST_F(TwoAxesTest, ARefusedRemovalOfTheSecondAxisIsSaidAndTriedAgain) {
  ChooseLine();
  Open();
  TheDossierRecord.SetAt(DossierRecord::kAnalyticModePos, '1');
  TWSaiBroDetJournaux* w = Saisir(month_);
  ASSERT_NE(w, nullptr);
  const auto secondAxis = [this] {
    Table c50;
    EXPECT_TRUE(c50.OpenShared(PathC50(), L::kAnalyticTag, true));
    const std::string general = key_.substr(1, 13);
    long live = 0;
    for (bool more = c50.SeekNotBelow(L::kAnalyticTag, general.c_str()); more; more = c50.Skip(1)) {
      if (std::string(c50.GetField(L::BMOIS)) + c50.GetField(L::BJAL) + c50.GetField(L::BPIECE) != general) break;
      const char kind = c50.GetField(L::BCLE)[0];
      if ((kind == 'X' || kind == 'Y') && !c50.IsDeleted()) ++live;
    }
    return live;
  };
  const long before = secondAxis();
  ASSERT_GT(before, 0);
  gui::ModalSeam::Reset();
  test_support::RefusedWrite::Arm("c50je.dbf", 1, platform::WriteFault::kFailOnce);
  TWSaiModDetJournaux* f = Modify(w, key_);
  test_support::RefusedWrite::Disarm();
  ASSERT_NE(f, nullptr);
  ASSERT_EQ(gui::ModalSeam::Shown().size(), 1u) << test_support::ShownTexts();
  const std::string& said = gui::ModalSeam::Shown()[0].text;
  EXPECT_EQ(said.rfind("La ventilation analytique de la ligne n'a pas \xE9t\xE9 supprim\xE9" "e", 0), 0u) << said;
  test_support::ScreenshotMessage(gui::ModalSeam::Shown()[0], "entry", "split_removal_refused");
  EXPECT_EQ(secondAxis(), before);
  f->NoCheckFlag = true;
  gui::SendMessage(f->GetHandle(), gui::WM_CLOSE);
  gui::ProcessPendingMessages();
  gui::ModalSeam::Reset();
  ASSERT_NE(Modify(w, key_), nullptr);
  EXPECT_TRUE(gui::ModalSeam::Shown().empty()) << test_support::ShownTexts();
  EXPECT_EQ(secondAxis(), 0);
  ExpectInvariants("after the second axis went at last");
}

// A dossier gone back to one axis: opening a line in its form removes its second-axis records and takes their
// amounts off their sections.
TEST_F(TwoAxesTest, OneAxisLeftRemovesTheSecond) {
  ChooseLine();
  Open();
  TheDossierRecord.SetAt(DossierRecord::kAnalyticModePos, '1');
  TWSaiBroDetJournaux* w = Saisir(month_);
  ASSERT_NE(w, nullptr);
  ASSERT_NE(Modify(w, key_), nullptr);
  Table c50;
  ASSERT_TRUE(c50.OpenShared(PathC50(), L::kAnalyticTag, true));
  const std::string general = key_.substr(1, 13);
  long live = 0, second = 0;
  for (bool more = c50.SeekNotBelow(L::kAnalyticTag, general.c_str()); more; more = c50.Skip(1)) {
    if (std::string(c50.GetField(L::BMOIS)) + c50.GetField(L::BJAL) + c50.GetField(L::BPIECE) != general) break;
    const char kind = c50.GetField(L::BCLE)[0];
    if (kind != 'X' && kind != 'Y') continue;
    ++second;
    if (!c50.IsDeleted()) ++live;
  }
  EXPECT_GT(second, 0);
  EXPECT_EQ(live, 0) << "no second-axis record stays live";
  ExpectInvariants("after the second axis went");
}

// A line of 1, 10 million, a billion and 99 999 999 999,99 francs split: the form's panel shows the
// line's total and the split's whole and grouped; typed over, a split of 1.00, then of 99 999 999 999,99,
// leaves the line off by an amount shown whole with its side; each inside its frame, at the form's
// opening width and at its narrowest.
TEST_F(AnalyticSplitTest, AmountsSweepThePanelShowsEveryTotalWholeGroupedAndInside) {
  ChooseLine();
  GiveText(target_, "CA1=VENTES");
  {
    Table c20;
    ASSERT_TRUE(c20.OpenShared(folder_ + "c20je", "C20CODE"));
    ASSERT_TRUE(c20.Seek("C20CODE", target_.c_str()));
    for (int f = 17; f <= 20; ++f) ASSERT_TRUE(c20.PutFieldNum(f, 0));
    ASSERT_TRUE(c20.Commit());
  }
  {
    Table c30;
    ASSERT_TRUE(c30.OpenShared(folder_ + "c30je", "C30CODE"));
    std::string ventes = "VENTES";
    ventes.resize(8, ' ');
    // The split's section, its totals at zero (made by the split when the dossier has none).
    if (c30.Seek("C30CODE", ventes.c_str()) && c30.MatchKey(ventes.c_str(), 8, 1) != '#') {
      for (int f = 9; f <= 12; ++f) ASSERT_TRUE(c30.PutFieldNum(f, 0));
      ASSERT_TRUE(c30.Commit());
    }
  }
  Open();
  test_support::SweepFaults faults;
  // The panel's texts; `split` < 0: the split's total as the earlier amounts left it.
  auto panel = [&](TWSaiModDetJournauxAnal* f, const std::string& where, long long general, long long split) {
    faults.Add(test_support::AmountFault(where + ", the line's total", f->TextOf(kGeneralF), general, test_support::Shown::kBare));
    if (split >= 0)
      faults.Add(test_support::AmountFault(where + ", the split's total", f->TextOf(kSplitF), split, test_support::Shown::kBare));
    if (split >= 0 && general != split)
      faults.Add(test_support::AmountFault(where + ", the difference", f->TextOf(kPanelDifference), general - split,
                                           test_support::Shown::kSided));
    for (int id : {kGeneralF, kSplitF, kGeneralE, kSplitE, kPanelDifference}) {
      auto* c = dynamic_cast<gui::Control*>(f->ControlOf(id));
      ASSERT_NE(c, nullptr) << id;
      faults.Add(test_support::GroupedFault(where + ", " + std::to_string(id), c->GetText()));
      faults.Add(test_support::CutFault(where + ", " + std::to_string(id), *c));
    }
  };
  constexpr long long kWidest = 9'999'999'999'999;
  for (long long cents : test_support::SweepCents()) {
    if (cents < 0) continue;  // a split line takes no negative amount: the difference gives the other side
    const std::string where = "analytic form, a line of " + test_support::GroupedDigits(cents);
    TWSaiBroDetJournaux* w = Saisir(month_);
    ASSERT_NE(w, nullptr);
    TWSaiModDetJournaux* lineForm = Modify(w, key_);
    ASSERT_NE(lineForm, nullptr);
    FocusOnControl(lineForm, line_form::kAccount);
    Field(target_);
    FocusOnControl(lineForm, line_form::kDebitF);
    Key('A', test_support::kControlModifier, std::string(1, '\x01'));
    Key(gui::VK_DELETE);
    Field(AmountDigits(FromCents(cents)));
    TWSaiModDetJournauxAnal* f = SplitForm();
    ASSERT_NE(f, nullptr) << where << test_support::ShownTexts();
    f->MoveWindow(gui::Rect{0, f->GetWindowRect().y, 1400, f->GetWindowRect().h});
    gui::ProcessPendingMessages();
    panel(f, where, cents, -1);
    const int amount = f->TextOf(kEuros) == "O" ? kDebitE : kDebitF;
    ASSERT_EQ(amount, kDebitF);
    for (const long long typed : {100LL, kWidest}) {
      if (typed == cents) continue;
      if (gui::Window* e = f->ControlOf(amount)) e->SetFocus();
      gui::ProcessPendingMessages();
      Key('A', test_support::kControlModifier, std::string(1, '\x01'));
      Key(gui::VK_DELETE);
      Type(AmountDigits(FromCents(typed)));
      gui::ProcessPendingMessages();
      const std::string typedWhere = where + ", " + test_support::GroupedDigits(typed) + " typed";
      panel(f, typedWhere, cents, typed);
      if (cents == kWidest || (cents == 100 && typed == kWidest))
        test_support::Screenshot(MainFrame->Widget(), "entry", cents == kWidest ? "amounts_sweep_analytic_form" : "amounts_sweep_analytic_form_credit");
      // At its narrowest: the columns at their least width.
      const gui::Rect opening = f->GetWindowRect();
      f->MoveWindow(gui::Rect{opening.x, opening.y, 300, opening.h});
      gui::ProcessPendingMessages();
      panel(f, typedWhere + ", narrowest", cents, typed);
      f->MoveWindow(opening);
      gui::ProcessPendingMessages();
    }
    // The split given up, the line form left without its save: the next amount on the same line.
    f->NoCheckFlag = true;
    gui::SendMessage(f->GetHandle(), gui::WM_CLOSE);
    gui::ProcessPendingMessages();
    if (auto* list = List(0, kLines1)) {
      gui::ModalSeam::QueueMessageBoxAnswer(gui::IDYES);
      gui::ModalSeam::QueueMessageBoxAnswer(gui::IDYES);
      gui::SendMessage(list->GetHandle(), gui::WM_CLOSE);
      gui::ProcessPendingMessages();
    }
    CloseAll();
    gui::ModalSeam::Reset();
  }
  faults.Report();
}

}  // namespace
}  // namespace entry_test
