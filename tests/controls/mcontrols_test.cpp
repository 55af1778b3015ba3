// The other custom controls: remembered values and '²', the combo box's
// loaded value, the list box's clipboard copies, tips set once, and the
// drawing helpers.
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

TEST_F(MControlsTest, CheckBoxSuperscriptKeyRestoresTheLoadedState) {
  SetOption(16, 'O');
  auto* box = new MCheckBox(page, 20, "Actif", 1);
  ASSERT_TRUE(box->Create());
  EXPECT_FALSE(box->IsModified());  // nothing loaded yet
  box->SetValue(true, true);
  EXPECT_TRUE(box->IsChecked());
  EXPECT_EQ(box->FrameColor(), gui::colors::LtRed);
  box->SetCheck(gui::BST_UNCHECKED);  // the user unticks it
  EXPECT_TRUE(box->IsModified());
  EXPECT_EQ(box->FrameColor(), gui::colors::LtBlue);
  Release(box->Widget(), Qt::Key_twosuperior);
  EXPECT_TRUE(box->IsChecked());
  EXPECT_FALSE(box->IsModified());
  EXPECT_EQ(box->FrameColor(), gui::colors::LtRed);
}

TEST_F(MControlsTest, FunctionKeysOfTheOtherControls) {
  auto* box = new MCheckBox(page, 21, "x", 1);
  auto* button = new MButton(page, 22, "Ok");
  auto* combo = new MComboBox(page, 23, 10, 1);
  auto* list = new MListBox(page, 24);
  auto* tmpl = new MCheckBox(kOnTemplate, page, 25);
  for (gui::Window* w : std::vector<gui::Window*>{box, button, combo, list, tmpl}) ASSERT_TRUE(w->Create());
  struct {
    gui::Control* control;
    int key;
    unsigned expected;
  } rows[] = {{box, Qt::Key_F12, 20055}, {button, Qt::Key_F9, 20023}, {combo, Qt::Key_F12, 20055},
              {list, Qt::Key_F9, 20023}, {tmpl, Qt::Key_F12, gui::IDOK}};
  for (const auto& r : rows) {
    page->commands.clear();
    Release(r.control->Widget(), r.key);
    gui::ProcessPendingMessages();
    ASSERT_EQ(page->commands.size(), 1u) << r.control->GetId() << " " << r.key;
    EXPECT_EQ(page->commands[0], r.expected);
  }
  // Enter: a command above 3 goes to the notify window.
  box->Keys().enterAction = 20444;
  box->Keys().notify = page;
  page->commands.clear();
  Release(box->Widget(), Qt::Key_Return);
  gui::ProcessPendingMessages();
  ASSERT_EQ(page->commands.size(), 1u);
  EXPECT_EQ(page->commands[0], 20444u);
}

TEST_F(MControlsTest, ComboBoxLoadedValueAndSuperscriptTwo) {
  auto* combo = new MComboBox(page, 30, 6, 1);
  ASSERT_TRUE(combo->Create());
  combo->AddString("EUR - Euro");
  combo->AddString("FRF - Franc");
  combo->SetValue("FRF", true);
  EXPECT_EQ(combo->GetValue(), "FRF - Franc");
  EXPECT_EQ(combo->LoadedValue(), "FRF");
  combo->SetValue("EUR", true);
  EXPECT_EQ(combo->GetValue(), "EUR - Euro");
  combo->SetSelIndex(1);
  EXPECT_TRUE(combo->IsModified());
  Type(combo->Widget(), "\xB2");
  EXPECT_EQ(combo->GetValue(), "EUR - Euro");

  auto* free = new MComboBox(page, 31, 4, 1);
  ASSERT_TRUE(free->Create());
  free->SetValue("ABCDEF", true);
  EXPECT_EQ(free->LoadedValue(), "ABCD");
  EXPECT_EQ(free->GetValuePadded().size(), 4u);
}

TEST_F(MControlsTest, ListBoxCopiesLinesToTheClipboard) {
  auto* list = new MListBox(page, 40);
  ASSERT_TRUE(list->Create());
  gui::SetClipboardText("before");
  gui::ResetBeepCount();
  Press(list->Widget(), Qt::Key_Insert, Qt::ControlModifier);
  EXPECT_EQ(gui::BeepCount(), 1);
  EXPECT_EQ(gui::GetClipboardText(), "before");

  list->AddString("  401000  Client A ");
  list->AddString("411000 Client B");
  list->SetSelIndex(0);
  Press(list->Widget(), Qt::Key_Insert, Qt::ControlModifier);
  EXPECT_EQ(gui::GetClipboardText(), "401000  Client A\r\n");
  Press(list->Widget(), Qt::Key_Insert, Qt::ControlModifier | Qt::ShiftModifier);
  EXPECT_EQ(gui::GetClipboardText(), "401000  Client A\r\n411000 Client B\r\n");
  EXPECT_EQ(gui::BeepCount(), 1);
}

TEST_F(MControlsTest, ShadeColorClampsEachComponent) {
  struct {
    gui::ColorRef in;
    short r, g, b;
    gui::ColorRef out;
  } rows[] = {{gui::Rgb(250, 10, 128), 10, -20, 0, gui::Rgb(255, 0, 128)},
              {gui::Rgb(0, 0, 0), -5, 300, 7, gui::Rgb(0, 255, 7)},
              {gui::Rgb(100, 100, 100), 0, 0, 0, gui::Rgb(100, 100, 100)}};
  for (const auto& r : rows) EXPECT_EQ(ShadeColor(r.in, r.r, r.g, r.b), r.out);
}

TEST_F(MControlsTest, GradientRectRefusesComponentsOutOfRange) {
  gui::MemoryDC dc(20, 10, gui::colors::White);
  EXPECT_FALSE(GradientRect(dc, true, 0, 0, 256, 0, 0, 20, 10, 0, 0, 0, 255, 255));
  EXPECT_FALSE(GradientRect(dc, true, 0, 0, 0, 0, 0, 20, 10, 0, 0, 0, 255, -1));
  EXPECT_EQ(dc.GetPixel(5, 5), gui::colors::White);
  EXPECT_TRUE(GradientRect(dc, true, 0, 0, 255, 0, 0, 20, 10, 0, 0, 255, 255, 255));
  EXPECT_EQ(dc.GetPixel(0, 5) & 0xFF, 0xFFu);          // red at the left
  EXPECT_GT((dc.GetPixel(19, 5) >> 16) & 0xFF, 200u);  // blue at the right
  gui::MemoryDC blended(20, 10, gui::colors::White);
  EXPECT_TRUE(GradientRect(blended, false, 0, 0, gui::colors::Black, 20, 10, gui::colors::Black, 128, 128));
  const unsigned grey = blended.GetPixel(10, 5) & 0xFF;
  EXPECT_GT(grey, 90u);
  EXPECT_LT(grey, 170u);
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
