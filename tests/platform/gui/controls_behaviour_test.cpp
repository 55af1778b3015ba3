// Standard controls driven as a user would: typed keys, clicks, selections.
#include <QApplication>
#include <QComboBox>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QScrollBar>
#include <QWidget>

#include "gui_test_support.h"
#include "platform/gui/combobox.h"
#include "platform/gui/custom_control.h"
#include "platform/gui/edit.h"
#include "platform/gui/listbox.h"

namespace {

using namespace gui;

// A plain window holding the controls, as a form page does.
class Page : public Window {
 public:
  Page() { MoveWindow(Rect{0, 0, 400, 300}); }
  std::vector<std::pair<int, unsigned>> notes;

 protected:
  std::intptr_t WindowProc(unsigned msg, std::uintptr_t wp, std::intptr_t lp) override {
    if (msg == WM_COMMAND && lp != 0) notes.emplace_back(static_cast<int>(wp & 0xFFFF), static_cast<unsigned>(wp >> 16));
    return Window::WindowProc(msg, wp, lp);
  }
};

// Digits only; function keys act when released.
class DigitEdit : public Edit {
 public:
  using Edit::Edit;
  std::vector<int> released;
  std::vector<int> pressed;

 protected:
  bool FilterChar(unsigned ch) override { return ch == 8 || (ch >= '0' && ch <= '9'); }
  void EvKeyUp(int vk, unsigned, unsigned) override {
    released.push_back(vk);
    if (vk != VK_F9) DefaultProcessing();
  }
  void EvKeyDown(int vk, unsigned, unsigned) override {
    pressed.push_back(vk);
    DefaultProcessing();
  }
};

void Type(QWidget* w, const QString& text) {
  for (QChar c : text) {
    QKeyEvent down(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
    QApplication::sendEvent(w, &down);
    QKeyEvent up(QEvent::KeyRelease, 0, Qt::NoModifier, QString(c));
    QApplication::sendEvent(w, &up);
  }
}

void Key(QWidget* w, QEvent::Type type, int key, const QString& text = {}) {
  QKeyEvent e(type, key, Qt::NoModifier, text);
  QApplication::sendEvent(w, &e);
}

class ControlsTest : public GuiTest {
 protected:
  void SetUp() override {
    GuiTest::SetUp();
    page = new Page;
  }
  void TearDown() override {
    delete page;
    GuiTest::TearDown();
  }
  Page* page = nullptr;
};

TEST_F(ControlsTest, EditFiltersTypedCharactersAndSeesKeysOnRelease) {
  auto* e = new DigitEdit(page, 10, "", 6, false);
  ASSERT_TRUE(page->Create());
  e->SetFocus();
  Type(e->Widget(), QStringLiteral("1a2\u00e9-34567"));
  EXPECT_EQ(e->GetText(), "123456");  // limit of 6
  EXPECT_TRUE(e->IsModified());
  Key(e->Widget(), QEvent::KeyPress, Qt::Key_F9);
  Key(e->Widget(), QEvent::KeyRelease, Qt::Key_F9);
  Key(e->Widget(), QEvent::KeyPress, Qt::Key_Return);
  Key(e->Widget(), QEvent::KeyRelease, Qt::Key_Return);
  ASSERT_GE(e->released.size(), 2u);
  EXPECT_EQ(std::vector<int>(e->released.end() - 2, e->released.end()), (std::vector<int>{VK_F9, VK_RETURN}));
  EXPECT_NE(std::find(e->pressed.begin(), e->pressed.end(), VK_F9), e->pressed.end());
  // Changes were notified to the page.
  EXPECT_NE(std::find(page->notes.begin(), page->notes.end(), std::pair<int, unsigned>{10, EN_CHANGE}), page->notes.end());
}

TEST_F(ControlsTest, ComboSelectionNotifiesOnlyWhenTheUserChooses) {
  auto* list = new ComboBox(page, 20, 10, true);
  list->AddString("Banque");
  list->AddString("Achats");
  list->AddString("Ventes");
  ASSERT_TRUE(page->Create());
  EXPECT_EQ(list->SetSelIndex(2), 2);
  EXPECT_EQ(list->GetText(), "Ventes");
  EXPECT_TRUE(page->notes.empty());  // chosen by code
  static_cast<QComboBox*>(list->Widget())->setCurrentIndex(1);  // as the user would
  ASSERT_EQ(page->notes.size(), 1u);
  EXPECT_EQ(page->notes[0], (std::pair<int, unsigned>{20, CBN_SELCHANGE}));
  EXPECT_EQ(list->GetSelIndex(), 1);
  list->SetText("Divers");  // no such line: shown with no line chosen
  EXPECT_EQ(list->GetSelIndex(), CB_ERR);
  EXPECT_EQ(list->GetText(), "Divers");
}

class PaintedList : public ListBox {
 public:
  using ListBox::ListBox;
  std::vector<int> drawn;
  std::vector<int> doubleClicked;
  void DrawItem(DC& dc, int index, const Box& rect, bool selected, bool focused) override {
    drawn.push_back(index);
    dc.FillSolidRect(rect, selected ? colors::LtBlue : colors::LtYellow);
  }

 protected:
  void EvItemDoubleClick(int index) override {
    doubleClicked.push_back(index);
    ListBox::EvItemDoubleClick(index);
  }
};

TEST_F(ControlsTest, ListSelectionAndOwnerDrawnRows) {
  auto* lb = new PaintedList(page, 30, ctl::OwnerDraw | ctl::Sort | ctl::VScroll);
  lb->MoveWindow(Rect{0, 0, 120, 100});
  lb->SetItemHeight(18);
  ASSERT_TRUE(page->Create());
  for (const char* s : {"512000", "401000", "606100"}) lb->AddString(s);
  EXPECT_EQ(lb->GetString(0), "401000");  // sorted
  EXPECT_EQ(lb->SetSelIndex(1), 1);
  EXPECT_TRUE(page->notes.empty());
  auto* qlist = static_cast<QListWidget*>(lb->Widget());
  qlist->setCurrentRow(2);  // the user moves
  ASSERT_FALSE(page->notes.empty());
  EXPECT_EQ(page->notes.back(), (std::pair<int, unsigned>{30, LBN_SELCHANGE}));
  emit qlist->itemDoubleClicked(qlist->item(2));
  EXPECT_EQ(lb->doubleClicked, std::vector<int>{2});
  EXPECT_EQ(page->notes.back(), (std::pair<int, unsigned>{30, LBN_DBLCLK}));

  page->Widget()->show();
  const QImage shot = qlist->viewport()->grab().toImage();
  EXPECT_FALSE(lb->drawn.empty());
  const int rowOf2 = 2 * 18 + 9;
  EXPECT_EQ(QColor(shot.pixel(10, 5)).rgb(), QColor(255, 255, 0).rgb());       // line 0: yellow
  EXPECT_EQ(QColor(shot.pixel(10, rowOf2)).rgb(), QColor(0, 0, 255).rgb());    // selected line 2: blue
  // The page is deleted with its lines still there: its widgets go with it,
  // and nothing paints through the deleted list afterwards.
}

// A line whose second column runs past the list's right edge, below a short one, can be scrolled to its end.
TEST_F(ControlsTest, TabStopListScrollsToTheEndOfItsSecondColumn) {
  auto* lb = new ListBox(page, 31, ctl::UseTabStops | ctl::HScroll | ctl::VScroll);
  lb->MoveWindow(Rect{0, 0, 200, 80});
  ASSERT_TRUE(page->Create());
  lb->SetTabStop(150);
  lb->AddString("Cl\xE9\tcourt");
  lb->AddString("Cl\xE9\t" + std::string(40, 'x'));
  page->Widget()->show();
  QApplication::processEvents();
  auto* qlist = static_cast<QListWidget*>(lb->Widget());
  const QFontMetrics metrics(qlist->font());
  // The whole line is 150 pixels then the value: the scroll range covers what lies past the visible width.
  EXPECT_GE(qlist->horizontalScrollBar()->maximum() + qlist->viewport()->width(),
            150 + metrics.horizontalAdvance(QString(40, 'x')));
}

class Gadget : public CustomControl {
 public:
  Gadget(Window* parent) : CustomControl(parent, 40, ctl::VScroll) {}
  int paints = 0;
  std::vector<std::pair<int, int>> scrolls;

 protected:
  void EvPaint() override {
    ++paints;
    WindowDC dc(*this);
    dc.FillSolidRect(Box::From(GetClientRect()), colors::LtGreen);
  }
  void EvVScroll(int code, int pos) override { scrolls.emplace_back(code, pos); }
};

TEST_F(ControlsTest, CustomControlPaintsScrollsAndShowsTips) {
  auto* g = new Gadget(page);
  g->MoveWindow(Rect{10, 10, 100, 60});
  ASSERT_TRUE(page->Create());
  page->Widget()->show();
  const QImage shot = g->Widget()->grab().toImage();
  EXPECT_GT(g->paints, 0);
  EXPECT_EQ(QColor(shot.pixel(5, 5)).rgb(), QColor(0, 255, 0).rgb());
  PostMessage(g->GetHandle(), WM_VSCROLL, SB_PAGEDOWN, 0);
  ProcessPendingMessages();
  ASSERT_EQ(g->scrolls.size(), 1u);
  EXPECT_EQ(g->scrolls[0].first, SB_PAGEDOWN);
}

}  // namespace
