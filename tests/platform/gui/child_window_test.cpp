// MDI children: their own accelerator table before the frame's, their
// scroll bars, and the close questions they are asked.
#include <QApplication>
#include <QImage>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QScrollBar>
#include <QTest>
#include <QWidget>
#include <filesystem>
#include <string>

#include "gui_test_support.h"
#include "platform/gui/accelerators.h"
#include "platform/gui/custom_control.h"
#include "platform/gui/menu.h"
#include "platform/gui/mdi.h"
#include "platform/gui/window.h"

using namespace gui;

namespace {

// The frame's picture, kept under <build>/test-artefacts/gui/ for a look.
void SavePicture(MDIFrame& frame, const std::string& name) {
  QApplication::processEvents();
  const std::filesystem::path folder = std::filesystem::path(MERLON_BINARY_DIR) / "test-artefacts" / "gui";
  std::filesystem::create_directories(folder);
  const QImage picture = frame.OuterWidget()->grab().toImage();
  EXPECT_FALSE(picture.isNull()) << name;
  EXPECT_TRUE(picture.save(QString::fromStdString((folder / (name + ".png")).string()))) << name;
}

class Client : public MDIClient {
 public:
  std::vector<unsigned> got;
  void CmFrameKey() { got.push_back(20501); }
  static const ResponseTable& Table() {
    static const ResponseTable t = ResponseTable(&MDIClient::Table()).Command(20501, &Client::CmFrameKey);
    return t;
  }
  const ResponseTable& Responses() const override { return Table(); }
};

class Child : public MDIChild {
 public:
  using MDIChild::MDIChild;
  std::vector<unsigned> got;
  std::vector<std::pair<unsigned, std::uintptr_t>> scrolls;
  int keys = 0;
  bool saveEnabled = true;
  bool refuse = false;
  int asked = 0;
  bool CanClose() override {
    ++asked;
    return !refuse;
  }
  void CmQuit() { got.push_back(20023); }
  void CmSave() { got.push_back(20055); }
  void CeSave(CommandEnabler& ce) { ce.Enable(saveEnabled); }
  static const ResponseTable& Table() {
    static const ResponseTable t = ResponseTable(&MDIChild::Table())
                                       .Command(20023, &Child::CmQuit)
                                       .Command(20055, &Child::CmSave)
                                       .Enable(20055, &Child::CeSave);
    return t;
  }
  const ResponseTable& Responses() const override { return Table(); }
  std::intptr_t WindowProc(unsigned msg, std::uintptr_t w, std::intptr_t l) override {
    if (msg == WM_VSCROLL || msg == WM_HSCROLL) {
      scrolls.emplace_back(msg, w);
      return 0;
    }
    return MDIChild::WindowProc(msg, w, l);
  }
  void EvKeyDown(int vk, unsigned, unsigned) override {
    if (vk != VK_CONTROL && vk != VK_SHIFT) ++keys;
  }
};

class ChildWindowTest : public GuiTest {
 protected:
  void SetUp() override {
    GuiTest::SetUp();
    client = new Client;
    frame = std::make_unique<MDIFrame>("Merlon", client);
    frame->MoveWindow(Rect{0, 0, 800, 600});
    ASSERT_TRUE(frame->Create());
    frame->Show(SW_SHOW);
  }
  void TearDown() override {
    frame.reset();
    GuiTest::TearDown();
  }
  Child* NewChild(const char* caption) {
    auto* c = new Child(client, caption);
    c->MoveWindow(Rect{0, 0, 300, 200});
    EXPECT_TRUE(c->Create());
    c->Show(SW_SHOW);
    return c;
  }
  Client* client = nullptr;
  std::unique_ptr<MDIFrame> frame;
};

TEST_F(ChildWindowTest, ChildAcceleratorsComeBeforeTheFrames) {
  auto frameTable = AcceleratorTable::FromText("Ctrl+Q\t20501\nCtrl+C\t20501\n");
  ASSERT_TRUE(frameTable);
  frameTable->Install(*frame);
  Child* form = NewChild("Fiche");
  form->SetAccelerators(AcceleratorTable::FromText("Ctrl+Q\t20023\nCtrl+E\t20055\nShift+Del\t24322\n"));
  Child* plain = NewChild("Liste");

  struct Case {
    Child* target;
    Qt::Key key;
    Qt::KeyboardModifiers mods;
    std::vector<unsigned> child, frame;
    int keys;  // keys that reached the child
  };
  const Case cases[] = {
      {form, Qt::Key_Q, Qt::ControlModifier, {20023}, {}, 0},         // the child's own table first
      {form, Qt::Key_C, Qt::ControlModifier, {20023}, {20501}, 0},    // not in it: the frame's
      {form, Qt::Key_Delete, Qt::ShiftModifier, {20023}, {20501}, 1},  // no window answers: the key goes on
      {plain, Qt::Key_Q, Qt::ControlModifier, {}, {20501, 20501}, 0},  // a child without a table
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.target == form ? "form" : "plain");
    c.target->Widget()->setFocus();
    QTest::keyClick(c.target->Widget(), c.key, c.mods);
    EXPECT_EQ(c.target->got, c.child);
    EXPECT_EQ(client->got, c.frame);
    EXPECT_EQ(c.target->keys, c.keys);
  }
  // A greyed command is not sent, and the key is taken all the same.
  form->saveEnabled = false;
  QTest::keyClick(form->Widget(), Qt::Key_E, Qt::ControlModifier);
  EXPECT_EQ(form->got, (std::vector<unsigned>{20023}));
  EXPECT_EQ(form->keys, 1);
  form->saveEnabled = true;
  QTest::keyClick(form->Widget(), Qt::Key_E, Qt::ControlModifier);
  EXPECT_EQ(form->got, (std::vector<unsigned>{20023, 20055}));
}

TEST_F(ChildWindowTest, ScrollBarsShowWithTheirRangeAndReportMoves) {
  Child* c = NewChild("Fiche");
  ProcessPendingMessages();
  const int fullWidth = c->GetClientRect().w;
  EXPECT_FALSE(c->ScrollBarShown(true) || c->ScrollBarShown(false));

  c->SetScrollRange(true, 0, 120, 50);
  c->SetScrollPos(true, 500);  // kept within the range
  ProcessPendingMessages();
  EXPECT_TRUE(c->ScrollBarShown(true));
  EXPECT_EQ(c->GetScrollPos(true), 120);
  EXPECT_LT(c->GetClientRect().w, fullWidth) << "the bar narrows the client area";

  auto* bar = c->OuterWidget()->findChild<QScrollBar*>();
  ASSERT_NE(bar, nullptr);
  for (QScrollBar* b : c->OuterWidget()->findChildren<QScrollBar*>())
    if (b->orientation() == Qt::Vertical) bar = b;
  EXPECT_EQ(bar->maximum(), 120);
  bar->triggerAction(QAbstractSlider::SliderToMinimum);
  ASSERT_EQ(c->scrolls.size(), 1u);
  EXPECT_EQ(std::pair(c->scrolls[0].first, c->scrolls[0].second & 0xFFFF), std::pair(WM_VSCROLL, std::uintptr_t{SB_TOP}));
  EXPECT_EQ(bar->value(), 120) << "only the window moves its bar";
}

// The frame's close box and a child's own ask the children through CanClose;
// "close all" closes them once they agree.
TEST_F(ChildWindowTest, CloseBoxesAndCloseAllAskCanClose) {
  Child* b = NewChild("B");
  b->refuse = true;
  EXPECT_FALSE(frame->CloseWindow());
  EXPECT_TRUE(frame->IsCreated());
  b->OuterWidget()->close();
  EXPECT_TRUE(b->IsCreated());
  EXPECT_GE(b->asked, 2);
  b->refuse = false;
  EXPECT_TRUE(frame->RouteCommand(CM_CLOSECHILDREN));
  EXPECT_TRUE(client->GetChildren().empty());
}

// The child that closes hands the keys back to the one the user had active before it (the list a form was
// opened from), brought to the front, whichever children were made before it: never to the next child in the
// tab order behind the others, nor to a hidden one. A child that closes behind the active one changes nothing.
TEST_F(ChildWindowTest, AClosingChildHandsTheKeysBackToTheOneActiveBeforeIt) {
  Child* chart = NewChild("Plan Comptable");
  Child* hidden = NewChild("Cachee");
  Child* journals = NewChild("Journaux");
  journals->Activate();
  hidden->Show(SW_HIDE);
  chart->Activate();
  journals->Activate();
  ProcessPendingMessages();
  // A form opened from the journals' list, then closed from its own key.
  Child* form = NewChild("Fiche");
  form->Activate();
  ProcessPendingMessages();
  ASSERT_EQ(client->GetActiveMDIChild(), form);
  SavePicture(*frame, "mdi_form_over_list");
  form->Destroy();
  ProcessPendingMessages();
  EXPECT_EQ(client->GetActiveMDIChild(), journals);
  auto* area = qobject_cast<QMdiArea*>(client->Widget());
  ASSERT_NE(area, nullptr);
  EXPECT_EQ(area->subWindowList(QMdiArea::StackingOrder).back(), journals->OuterWidget()) << "in front";
  // Its commands go to it.
  frame->RouteCommand(20023);
  EXPECT_EQ(journals->got, (std::vector<unsigned>{20023}));
  EXPECT_TRUE(chart->got.empty());
  SavePicture(*frame, "mdi_list_after_form");

  // The chart closing behind: the journals stay active.
  chart->Destroy();
  ProcessPendingMessages();
  EXPECT_EQ(client->GetActiveMDIChild(), journals);
  EXPECT_EQ(client->ActivationHistory().back(), journals);
  // The last shown one closing: nothing is activated in its place but what is shown.
  journals->Destroy();
  ProcessPendingMessages();
  EXPECT_NE(client->GetActiveMDIChild(), hidden);
}

// The window menu lists the shown children at its end, in the order they were made, numbered, the active one
// checked, and choosing one activates it; Ctrl+F6 and Ctrl+Tab go to the next child, with Shift to the previous,
// wherever the focus stands and when the active child is maximised over the whole client area.
TEST_F(ChildWindowTest, TheWindowMenuListsTheChildrenAndTheKeysGoRoundThem) {
  std::string error;
  std::unique_ptr<Menu> bar = Menu::FromText(
      "&Fichier\n  20209\t&Quitter\nFe&n\xC3\xAAtres\n  24361\t&Cascade\n  -\n  24365\tTout &Fermer\n", &error);
  ASSERT_NE(bar, nullptr) << error;
  frame->SetMenu(std::move(bar));
  Menu* windows = frame->WindowMenu();
  ASSERT_NE(windows, nullptr);
  ASSERT_EQ(windows->GetItemCount(), 3);
  auto open = [&] {
    emit windows->GetQMenu()->aboutToShow();
    std::vector<std::string> items;
    for (int i = 3; i < windows->GetItemCount(); ++i)
      items.push_back(windows->IsSeparator(i) ? "-"
                                              : std::string(windows->IsItemChecked(windows->GetItemId(i)) ? "v " : "  ") +
                                                    windows->GetItemText(i));
    return items;
  };
  EXPECT_TRUE(open().empty()) << "no window, no list";

  Child* headers = NewChild("Journaux saisis");
  Child* hidden = NewChild("Cachee");
  Child* chart = NewChild("Plan & Comptes");
  Child* lines = NewChild("Saisie journal AC 05/26");
  hidden->Show(SW_HIDE);
  lines->Activate();
  lines->Show(SW_SHOWMAXIMIZED);
  ProcessPendingMessages();
  ASSERT_EQ(client->GetActiveMDIChild(), lines);
  const std::vector<std::string> listed = {"-", "  &1 Journaux saisis", "  &2 Plan && Comptes",
                                           "v &3 Saisie journal AC 05/26"};
  EXPECT_EQ(open(), listed);
  EXPECT_EQ(open(), listed) << "opened again: the same list, once";
  SavePicture(*frame, "mdi_window_menu_maximised");

  // Chosen from the menu: the list comes over the maximised lines window.
  ASSERT_TRUE(windows->Choose(CM_FIRSTMDICHILD));
  ProcessPendingMessages();
  EXPECT_EQ(client->GetActiveMDIChild(), headers);
  EXPECT_EQ(open()[1], "v &1 Journaux saisis");

  // The keys, from the focused child: round the list both ways, past the hidden child.
  struct Case {
    Qt::Key key;
    Qt::KeyboardModifiers mods;
    Child* active;
  };
  const Case cases[] = {
      {Qt::Key_F6, Qt::ControlModifier, chart},
      {Qt::Key_F6, Qt::ControlModifier, lines},
      {Qt::Key_Tab, Qt::ControlModifier, headers},
      {Qt::Key_F6, Qt::ControlModifier | Qt::ShiftModifier, lines},
      {Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier, chart},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.active->GetCaption());
    Child* from = dynamic_cast<Child*>(client->GetActiveMDIChild());
    ASSERT_NE(from, nullptr);
    QTest::keyClick(from->Widget(), c.key, c.mods);
    ProcessPendingMessages();
    EXPECT_EQ(client->GetActiveMDIChild(), c.active);
    EXPECT_TRUE(c.active->IsZoomed()) << "the active child stays over the whole client area";
    EXPECT_EQ(from->keys, 0) << "the key went to the window list, not to the child";
  }
  EXPECT_FALSE(hidden->IsWindowVisible());
  SavePicture(*frame, "mdi_window_keys");
}

// The active child minimised, from its title bar or by the program, hands the keyboard to the child in front of the
// others, which becomes the active one and gets the next key, as when it is chosen from the window menu. The last
// child not minimised keeps them.
TEST_F(ChildWindowTest, AMinimisedChildHandsTheKeysToTheOneInFront) {
  QApplication::setActiveWindow(frame->OuterWidget());
  Child* chart = NewChild("Plan Comptable");
  Child* journals = NewChild("Journaux");
  Child* form = NewChild("Fiche");
  for (Child* c : {journals, chart, form}) c->Activate();
  ProcessPendingMessages();
  const struct Case {
    Child* minimised;
    bool byProgram;
    Child* active;
  } cases[] = {{form, false, chart}, {chart, true, journals}, {journals, false, journals}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.minimised->GetCaption());
    ASSERT_EQ(client->GetActiveMDIChild(), c.minimised);
    if (c.byProgram) c.minimised->Show(SW_MINIMIZE);
    else c.minimised->OuterWidget()->showMinimized();
    ProcessPendingMessages();
    EXPECT_TRUE(c.minimised->IsIconic());
    EXPECT_EQ(client->GetActiveMDIChild(), c.active);
    QWidget* focus = QApplication::focusWidget();
    ASSERT_NE(focus, nullptr);
    QWidget* active = c.active->OuterWidget();
    EXPECT_TRUE(focus == active || active->isAncestorOf(focus)) << "the keys stay on the icon";
    if (c.active != c.minimised) {
      const int before = c.active->keys;
      QTest::keyClick(focus, Qt::Key_A);
      EXPECT_EQ(c.active->keys, before + 1);
    }
    if (c.minimised == form) SavePicture(*frame, "mdi_minimised_form");
  }
}

}  // namespace
