#include <QApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QTest>
#include <QWidget>
#include <string>
#include <vector>

#include "gui_test_support.h"
#include "platform/gui/menu.h"
#include "platform/gui/keyboard.h"
#include "platform/gui/window.h"

using namespace gui;

namespace {

// Records the commands it receives; command 1 posts 2 and 3 to itself and
// sends 4, so the order shows what is queued and what is immediate.
class Recorder : public Window {
 public:
  explicit Recorder(Window* parent = nullptr) : Window(parent) {}
  std::vector<unsigned> got;
  bool allowClose = true;
  bool setupRan = false;

  void CmFirst() {
    got.push_back(1);
    PostCommand(GetHandle(), 2);
    PostCommand(GetHandle(), 3);
    SendCommand(GetHandle(), 4);
    got.push_back(100);  // end of the first handler
  }
  void CmOther(unsigned id) { got.push_back(id); }
  void CeOther(CommandEnabler& ce) { ce.Enable(ce.Id() != 3); }
  void CmSelfDestroy() { Destroy(); }

  static const ResponseTable& Table() {
    static const ResponseTable table = ResponseTable(&Window::Table())
                                           .Command(1, &Recorder::CmFirst)
                                           .CommandRange(2, 9, &Recorder::CmOther)
                                           .EnableRange(2, 9, &Recorder::CeOther)
                                           .Command(50, &Recorder::CmSelfDestroy);
    return table;
  }
  const ResponseTable& Responses() const override { return Table(); }
  bool CanClose() override { return allowClose && Window::CanClose(); }

 protected:
  void SetupWindow() override { setupRan = true; }
};

// A derived class overrides one entry of its base's table.
class Derived : public Recorder {
 public:
  void CmOverride() { got.push_back(77); }
  static const ResponseTable& Table() {
    static const ResponseTable table = ResponseTable(&Recorder::Table()).Command(5, &Derived::CmOverride);
    return table;
  }
  const ResponseTable& Responses() const override { return Table(); }
};

class WindowTest : public GuiTest {};

TEST_F(WindowTest, PostedCommandsRunLaterInOrderSentOnesAtOnce) {
  Recorder w;
  ASSERT_TRUE(w.Create());
  ASSERT_TRUE(PostCommand(w.GetHandle(), 1));
  EXPECT_TRUE(w.got.empty()) << "a posted command waits for the loop";
  ProcessPendingMessages();
  EXPECT_EQ(w.got, (std::vector<unsigned>{1, 4, 100, 2, 3}));
}

TEST_F(WindowTest, MessagesToStaleHandlesAreDroppedAndReported) {
  auto* w = new Recorder;
  ASSERT_TRUE(w->Create());
  Handle h = w->GetHandle();
  ASSERT_TRUE(PostCommand(h, 2));
  w->Destroy();  // destroyed while the command is still queued
  delete w;
  ProcessPendingMessages();  // must not reach the deleted object
  EXPECT_FALSE(PostCommand(h, 2) || SendCommand(h, 2));
}

// A destroyed window waits for its delayed delete; when its parent is deleted
// first (the frame closing), the delayed delete must not reach it again.
TEST_F(WindowTest, DelayedDeleteAfterTheParentWentFirst) {
  static int deleted = 0;
  struct Counted : Recorder {
    using Recorder::Recorder;
    ~Counted() override { ++deleted; }
  };
  deleted = 0;
  auto* parent = new Recorder;
  ASSERT_TRUE(parent->Create());
  auto* child = new Counted(parent);
  child->SetDeleteOnDestroy(true);
  ASSERT_TRUE(child->Create());
  child->Destroy();
  delete parent;  // deletes the child it still owns
  EXPECT_EQ(deleted, 1);
  ProcessPendingMessages();
  EXPECT_EQ(deleted, 1);
}

TEST_F(WindowTest, ResponseTablesChainAndEnablersDecide) {
  Derived w;
  ASSERT_TRUE(w.Create());
  struct Case { unsigned id; bool handled; bool enabled; };
  for (Case c : {Case{1, true, true}, Case{2, true, true}, Case{3, true, false}, Case{5, true, true},
                 Case{10, false, false}}) {
    CommandEnabler ce(c.id);
    w.EvCommandEnable(ce);
    EXPECT_EQ(std::pair(ce.Handled(), ce.Enabled()), std::pair(c.handled, c.enabled)) << c.id;
  }
  EXPECT_EQ((std::vector<bool>{w.EvCommand(5), w.EvCommand(6), w.EvCommand(10)}),
            (std::vector<bool>{true, true, false}));
  EXPECT_EQ(w.got, (std::vector<unsigned>{77, 6}));
}

class KeyWindow : public Window {
 public:
  std::vector<std::string> log;
  bool passDown = true;
  void EvKeyDown(int vk, unsigned, unsigned) override {
    log.push_back("down " + std::to_string(vk));
    if (passDown) DefaultProcessing();
  }
  void EvKeyUp(int vk, unsigned, unsigned) override { log.push_back("up " + std::to_string(vk)); }
  void EvChar(unsigned ch, unsigned, unsigned) override { log.push_back("char " + std::to_string(ch)); }
};

TEST_F(WindowTest, KeyEventsReachTheWindowAsVirtualKeys) {
  KeyWindow w;
  ASSERT_TRUE(w.Create());
  w.Show(SW_SHOW);
  QTest::keyClick(w.Widget(), Qt::Key_F9);
  QTest::keyClick(w.Widget(), Qt::Key_E, Qt::NoModifier);
  QTest::keyClick(w.Widget(), Qt::Key_Return);
  EXPECT_EQ(w.log, (std::vector<std::string>{"down 120", "up 120", "down 69", "char 101", "up 69", "down 13",
                                             "char 13", "up 13"}));
  // A typed accented letter arrives as its cp1252 byte.
  w.log.clear();
  QKeyEvent press(QEvent::KeyPress, Qt::Key_Eacute, Qt::NoModifier, QString::fromUtf8("\xC3\xA9"));
  QApplication::sendEvent(w.Widget(), &press);
  EXPECT_NE(std::find(w.log.begin(), w.log.end(), "char 233"), w.log.end());
}

// A key acts on its release only in the window that saw it pressed, in the same keystroke: not in the window the
// focus went to meanwhile, not after a menu took the press (an earlier press it saw is another keystroke), once
// when the key was held down.
TEST_F(WindowTest, AKeyReleaseReachesOnlyTheWindowThatSawItPressed) {
  enum Where { kFirst, kSecond, kMenu };
  struct Step {
    Where where;
    QEvent::Type type;
    bool repeat;
  };
  const Step press{kFirst, QEvent::KeyPress, false}, release{kFirst, QEvent::KeyRelease, false};
  const Step held{kFirst, QEvent::KeyPress, true}, releasedInSecond{kSecond, QEvent::KeyRelease, false};
  const Step pressedInMenu{kMenu, QEvent::KeyPress, false};
  const struct Case {
    const char* what;
    std::vector<Step> steps;
    std::vector<std::string> first;
  } cases[] = {
      {"pressed and released in one window", {press, release}, {"down 120", "up 120"}},
      {"released where the focus went", {press, releasedInSecond}, {"down 120"}},
      {"pressed in a menu", {pressedInMenu, release}, {}},
      {"seen pressed in an earlier keystroke", {press, releasedInSecond, pressedInMenu, release}, {"down 120"}},
      {"held down", {press, held, held, release}, {"down 120", "down 120", "down 120", "up 120"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    KeyWindow first, second;
    ASSERT_TRUE(first.Create());
    ASSERT_TRUE(second.Create());
    QMenu menu;
    QWidget* targets[] = {first.Widget(), second.Widget(), &menu};
    for (const Step& s : c.steps) {
      QKeyEvent e(s.type, Qt::Key_F9, Qt::NoModifier, QString(), s.repeat);
      QApplication::sendEvent(targets[s.where], &e);
    }
    EXPECT_EQ(first.log, c.first);
    EXPECT_TRUE(second.log.empty()) << second.log.front();
  }
}

TEST_F(WindowTest, MenuResourceTextErrorsAreReported) {
  struct Case { const char* text; bool ok; const char* says; };
  for (Case c : {Case{"  1\tx\n", false, "line 1"}, Case{"A\r\n  12\tx\r\n  -\r\n", true, ""},
                 Case{"A\n  123456789012345678901234\n", false, "line 2"},
                 // Texts that cp1252 cannot hold ("Łódź", a C1 point) are refused, not shown as "?".
                 Case{"A\n  12\t\xC5\x81\xC3\xB3" "d\xC5\xBA\n", false,
                      "line 2: text of command 12 holds a character outside cp1252"},
                 Case{"\xC2\x81\n  12\tx\n", false, "line 1: pop-up text holds a character outside cp1252"},
                 Case{"A\n  12\tSoci\xC3\xA9t\xC3\xA9 \xE2\x80\x93 \xC5\x93uvre\n", true, ""}}) {
    std::string error;
    auto m = Menu::FromText(c.text, &error);
    EXPECT_EQ(m != nullptr, c.ok) << c.text << " " << error;
    EXPECT_NE(error.find(c.says), std::string::npos) << error;
  }
  auto m = Menu::FromText("A\n  B\n    7\tdeep\n  8\tflat\nC\n");
  ASSERT_TRUE(m);
  EXPECT_EQ(m->CommandIds(), (std::vector<unsigned>{7, 8}));
}

}  // namespace
