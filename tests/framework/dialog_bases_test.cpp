// Dialog bases driven headless: modal runs answered through the seam, Enter
// never pressing a default button, the progress ticker and its abort, the
// variables dialog, the one-value input, the lock notice and the boxes of
// the lower layers.

#include <QApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include "controls/mcontrols.h"
#include "controls/medit.h"
#include "data/error_report.h"
#include "data/locks.h"
#include "framework/dialog_bases.h"
#include "framework/error_box.h"
#include "framework/fmt_saisie.h"
#include "framework/framework_hooks.h"
#include "framework/lock_notice.h"
#include "resources/string_table.h"
#include "runtime/runtime_hooks.h"
#include "support/gui_test.h"

#include <gtest/gtest.h>

namespace {

// Texts of the string table the dialogs here show: a one-value prompt (the franc value of a euro),
// and the captions and texts of three boxes of the program.
constexpr int kPromptEuroRate = 2284;
constexpr int kCaptionMatching = 29001;
constexpr int kCaptionOpeningBalances = 29060;
constexpr int kMsgConfirmStart = 29073;
constexpr int kCaptionBalanceSheetStart = 1674;
constexpr int kMsgNoBalanceSheet = 1675;

class DialogBasesTest : public test_support::GuiTest {
 protected:
  void SetUp() override {
    GuiTest::SetUp();
    ControlEnv().helpContext = &help_;
    ControlEnv().setMessageBarText = [this](const std::string& t) { bar_ = t; };
    InstallLowerLayerHooks();
  }
  void TearDown() override {
    GuiTest::TearDown();
    SetRuntimeMessageHook(nullptr);
    SetRuntimeBeepHook(nullptr);
    SetLockNoticeHook(nullptr);
    SetDbCommandPoster(nullptr);
  }
  static void Key(QWidget* w, test_support::KeyAction type, int key) { test_support::SendKey(w, type, key); }
  long help_ = 12;
  std::string bar_ = "busy";
};

TEST_F(DialogBasesTest, ADialogWithoutTemplateIsNotRun) {
  TDNuv missing(nullptr, 987654, false);
  EXPECT_EQ(missing.Execute(kTaskModal), -1);
}

TEST_F(DialogBasesTest, EnterNeverPressesTheDefaultButtonAndMovesOnWhenReleased) {
  TDNuv d(nullptr, 1306, false);
  auto* edit = new MEdit(kOnTemplate, &d, 1202, 10, 1, true, MEdit::kText, 0);
  auto* ok = new MButton(kOnTemplate, &d, 1);
  ASSERT_TRUE(d.Create());
  d.Show(gui::SW_SHOW);
  QApplication::setActiveWindow(d.Widget());
  edit->SetFocus();
  QApplication::processEvents();

  Key(edit->Widget(), test_support::kKeyPress, gui::VK_RETURN);
  Key(d.Widget(), test_support::kKeyPress, gui::VK_RETURN);
  gui::ProcessPendingMessages();
  EXPECT_TRUE(d.IsCreated());
  EXPECT_FALSE(d.IsEnded());
  // The release is the edit's: EnterAction 1 goes on to the next control.
  Key(edit->Widget(), test_support::kKeyRelease, gui::VK_RETURN);
  gui::ProcessPendingMessages();
  EXPECT_TRUE(ok->HasFocus());
  EXPECT_FALSE(d.IsEnded());
  // Enter released on the focused button presses it.
  Key(ok->Widget(), test_support::kKeyPress, gui::VK_RETURN);
  Key(ok->Widget(), test_support::kKeyRelease, gui::VK_RETURN);
  gui::ProcessPendingMessages();
  EXPECT_TRUE(d.IsEnded());
  EXPECT_EQ(d.Result(), gui::IDOK);
}

TEST_F(DialogBasesTest, ProgressTickerShowsEveryTwentiethMarkAndEscapeAsksToStop) {
  TDNuvModeless p(nullptr, false);
  ASSERT_TRUE(p.Create());
  for (int i = 1; i <= 19; ++i) p.Tick("401000", false);
  EXPECT_EQ(p.TickLine(), "");
  p.Tick("401001", false);
  EXPECT_EQ(p.TickLine(), " 401001");
  p.Tick("END", true);  // forced: always shown, not counted
  EXPECT_EQ(p.TickLine(), " 401001 END");
  EXPECT_EQ(p.TickCount(), 20);

  // Escape asks the run to stop; the window stays for the run to write to.
  EXPECT_FALSE(p.Aborted());
  Key(p.Widget(), test_support::kKeyPress, gui::VK_ESCAPE);
  gui::ProcessPendingMessages();
  EXPECT_TRUE(p.Aborted());
  gui::SendMessage(p.GetHandle(), gui::WM_CLOSE);
  EXPECT_TRUE(p.IsCreated());
  p.Destroy();
}

TEST_F(DialogBasesTest, VariablesDialogAppendsPickedLinesOnOk) {
  std::string buffer = "[NOM]";
  gui::ModalSeam::QueueDialogAnswer(gui::IDOK, [](gui::Window& w) {
    auto& d = static_cast<TDSaisieVariables&>(w);
    d.List()->AddString("[ADRESSE]");
    d.List()->AddString("[VILLE]");
    d.List()->SetSelIndex(1);
    gui::SendCommand(d.GetHandle(), TDSaisieVariables::CM_INSERER);
  });
  TDSaisieVariables d(nullptr, &buffer);
  EXPECT_EQ(d.Execute(0u), gui::IDOK);
  EXPECT_EQ(buffer, "[NOM]\r\n[VILLE]");
}

TEST_F(DialogBasesTest, OneValueInputReturnsTheTypedTextOnlyOnOk) {
  for (const int answer : {gui::IDOK, gui::IDCANCEL}) {
    std::string rate = "6.55957";
    gui::ModalSeam::QueueDialogAnswer(answer, [](gui::Window& w) {
      auto& d = static_cast<TDFmtSaisie&>(w);
      EXPECT_EQ(d.Input()->GetValue(), "6.55957");
      d.Input()->SetText("6.56");
    });
    TDFmtSaisie input(nullptr, TDFmtSaisie::kOkCancel, kPromptEuroRate, &rate, true);
    EXPECT_EQ(input.Execute(kTaskModal), answer);
    EXPECT_EQ(rate, answer == gui::IDOK ? "6.56" : "6.55957");
  }
}

// A box with a short text and a long caption is widened for its title bar to show the caption whole; a
// one-value dialog asking a password under a long caption too.
TEST_F(DialogBasesTest, BoxesAreWideEnoughForTheirCaption) {
  struct BoxCase {
    const char* name;
    std::string caption;
    std::string text;
  };
  const BoxCase boxes[] = {
      {"password", "Ouverture du dossier DEMO", "\n\n\nMot de passe incorrect.\n\nDernier essai.\n\n\n"},
      {"matching", LoadStr(kCaptionMatching), "\n\nOk\n\n"},
      {"opening-balances", LoadStr(kCaptionOpeningBalances), LoadStr(kMsgConfirmStart)},
      {"balance-sheet", std::string(LoadStr(kCaptionBalanceSheetStart)) + "DEMO", LoadStr(kMsgNoBalanceSheet)},
  };
  for (const BoxCase& c : boxes) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(gui::MessageBox(nullptr, c.text, c.caption, gui::MB_OK | gui::MB_ICONINFORMATION), gui::IDOK);
    ASSERT_FALSE(gui::ModalSeam::Shown().empty());
    std::unique_ptr<QWidget> box(gui::NewMessageBoxWidget(c.text, c.caption, gui::MB_OK | gui::MB_ICONINFORMATION));
    box->adjustSize();
    EXPECT_TRUE(test_support::CaptionFits(box.get()));
    test_support::ScreenshotMessage(gui::ModalSeam::Shown().back(), "caption-width", c.name);
  }
  std::string typed;
  TDFmtSaisie prompt(nullptr, TDFmtSaisie::kOkCancel, std::string("09,Mot de passe du dossier"), &typed, true);
  prompt.SetCaption("Ouverture du dossier D\xC9MONSTRATION TR\xC8S LONGUE");
  prompt.Show(gui::SW_HIDE);
  ASSERT_TRUE(prompt.Create());
  EXPECT_TRUE(test_support::CaptionFits(prompt.Widget()));
  test_support::Screenshot(prompt.Widget(), "caption-width", "password-prompt");
}

// A refusal naming a long path is one sentence wider than the screen: its box wraps it and stays inside
// the screen, every word of it shown.
TEST_F(DialogBasesTest, ABoxOfALongSentenceStaysInsideTheScreen) {
  const std::string sentence =
      "La ligne n'a pas \xE9t\xE9 enregistr\xE9" "e, une \xE9" "criture ayant \xE9t\xE9 refus\xE9" "e (erreur d'\xE9" "criture sur le "
      "disque: le fichier /tmp/un-dossier-au-nom-tres-long/encore-un-niveau/demo/c50demo.dbf n'a pas pu \xEA" "tre "
      "\xE9" "crit. V\xE9rifiez le disque qui le porte (ou la liaison avec le serveur), puis relancez le traitement.) : "
      "rien n'a chang\xE9.";
  std::unique_ptr<QWidget> box(gui::NewMessageBoxWidget(sentence, "Saisie", gui::MB_OK | gui::MB_ICONHAND));
  box->adjustSize();
  const int screen = QGuiApplication::primaryScreen()->availableGeometry().width();
  EXPECT_LE(box->width(), screen);
  EXPECT_TRUE(test_support::CaptionFits(box.get()));
  test_support::Screenshot(box.get(), "caption-width", "long-sentence");
}

}  // namespace
