// The other custom controls: function keys, the combo box's loaded value
// and '²', the list box's clipboard copies, the form page and bitmap panel.
#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QPixmap>
#include <QWidget>

#include "controls/drawing.h"
#include "controls/mcontrols.h"
#include "controls_test_support.h"
#include "platform/gui/clipboard.h"
#include "platform/gui/bitmap.h"
#include "platform/gui/dc.h"

namespace {

using ctest::Press;
using ctest::Release;
using ctest::Type;

class MControlsTest : public ctest::ControlTest {
 protected:
  void SetUp() override {
    ControlTest::SetUp();
    ASSERT_TRUE(page->Create());
  }
};

TEST_F(MControlsTest, FunctionKeysOfTheOtherControls) {
  auto* box = new MCheckBox(page, 21, "x", 1);
  auto* list = new MListBox(page, 24);
  auto* tmpl = new MCheckBox(kOnTemplate, page, 25);
  for (gui::Window* w : std::vector<gui::Window*>{box, list, tmpl}) ASSERT_TRUE(w->Create());
  struct {
    gui::Control* control;
    int key;
    unsigned expected;
  } rows[] = {{box, gui::VK_F12, 20055}, {list, gui::VK_F9, 20023}, {tmpl, gui::VK_F12, gui::IDOK}};
  for (const auto& r : rows) {
    page->commands.clear();
    Press(r.control->Widget(), r.key);
    gui::ProcessPendingMessages();
    ASSERT_EQ(page->commands.size(), 1u) << r.control->GetId() << " " << r.key;
    EXPECT_EQ(page->commands[0], r.expected);
  }
}

TEST_F(MControlsTest, ComboBoxLoadedValueAndSuperscriptTwo) {
  auto* combo = new MComboBox(page, 30, 6, 1);
  ASSERT_TRUE(combo->Create());
  combo->AddString("EUR - Euro");
  combo->AddString("FRF - Franc");
  combo->SetValue("FRF", true);
  EXPECT_EQ(combo->GetValue(), "FRF - Franc");
  EXPECT_EQ(combo->LoadedValue(), "FRF");
  combo->SetSelIndex(0);
  EXPECT_TRUE(combo->IsModified());
  Type(combo->Widget(), "\xB2");
  EXPECT_EQ(combo->GetValue(), "FRF - Franc");
}

TEST_F(MControlsTest, ListBoxCopiesLinesToTheClipboard) {
  auto* list = new MListBox(page, 40);
  ASSERT_TRUE(list->Create());
  list->AddString("  401000  Client A ");
  list->AddString("411000 Client B");
  list->SetSelIndex(0);
  Press(list->Widget(), gui::VK_INSERT, test_support::kControlModifier);
  EXPECT_EQ(gui::GetClipboardText(), "401000  Client A\r\n");
  Press(list->Widget(), gui::VK_INSERT, test_support::kControlModifier | test_support::kShiftModifier);
  EXPECT_EQ(gui::GetClipboardText(), "401000  Client A\r\n411000 Client B\r\n");
}

// A click on a form page reaches the form at the same place; a bitmap
// panel paints its picture inside a sunken frame.
TEST_F(MControlsTest, FormPagePassesClicksAndBitmapPanelPaints) {
  auto* sheet = new MWindow(page);
  sheet->MoveWindow(gui::Rect{10, 10, 120, 80});
  ASSERT_TRUE(sheet->Create());
  QMouseEvent click(QEvent::MouseButtonPress, QPointF(5, 7), QPointF(5, 7), Qt::LeftButton, Qt::LeftButton,
                    Qt::NoModifier);
  QApplication::sendEvent(sheet->Widget(), &click);
  gui::ProcessPendingMessages();
  ASSERT_FALSE(page->messages.empty());
  EXPECT_EQ(page->messages.back().first, gui::WM_LBUTTONDOWN);

  struct Panel : gui::Window {
    using gui::Window::Window;
    void EvPaint() override { PaintBitmapPanel(*this, 20003, true, painted); }
    bool painted = false;
  };
  auto* panel = new Panel(page);
  panel->MoveWindow(gui::Rect{150, 10, 60, 60});
  ASSERT_TRUE(panel->Create());
  const QImage shot = panel->Widget()->grab().toImage();
  EXPECT_TRUE(panel->painted);
  const gui::Bitmap bitmap = gui::Bitmap::Load("20003");
  ASSERT_FALSE(bitmap.IsNull());
  EXPECT_EQ(shot.pixel(6, 6), bitmap.PixelArgb(6, 6));
}

}  // namespace
