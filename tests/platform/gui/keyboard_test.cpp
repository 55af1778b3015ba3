#include <QApplication>
#include <QKeyEvent>
#include <QTest>
#include <QWidget>

#include "gui_test_support.h"
#include "platform/gui/accelerators.h"
#include "platform/gui/keyboard.h"
#include "platform/gui/mdi.h"
#include "platform/gui/window.h"

using namespace gui;

namespace {

TEST(Keyboard, QtKeysToVirtualKeys) {
  struct Case { int qt; bool keypad; int vk; };
  // The keys whose code is not the obvious one, and keys with no code.
  for (Case c : {Case{Qt::Key_Enter, true, VK_RETURN}, Case{Qt::Key_Backtab, false, VK_TAB},
                 Case{Qt::Key_PageUp, false, VK_PRIOR}, Case{Qt::Key_twosuperior, false, VK_OEM_7},
                 Case{Qt::Key_5, false, '5'}, Case{Qt::Key_5, true, VK_NUMPAD0 + 5}, Case{Qt::Key_F13, false, 0}}) {
    EXPECT_EQ(VirtualKeyFromQtKey(c.qt, c.keypad), c.vk) << std::hex << c.qt;
  }
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

class KeyTest : public GuiTest {};

TEST_F(KeyTest, KeyEventsReachTheWindowAsVirtualKeys) {
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

// Frame and child tables acting on keys are checked by the child window tests.
TEST(Accelerators, TablesReadFromTheirText) {
  std::string error;
  auto table = AcceleratorTable::FromText("# 1102\nCtrl+C\t20501\nCtrl+P\t20041\nF9\t20023\n", &error);
  ASSERT_TRUE(table) << error;
  EXPECT_EQ(table->TranslateText("Ctrl+C"), 20501u);
  EXPECT_EQ(table->TranslateText("Ctrl+X"), 0u);
  EXPECT_EQ(table->Entries().size(), 3u);
  EXPECT_FALSE(AcceleratorTable::FromText("Ctrl+C 20501\n"));
  EXPECT_FALSE(AcceleratorTable::FromText("Ctrl+C\tabc\n"));
}

}  // namespace
