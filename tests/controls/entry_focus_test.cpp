// What the entry controls share: a posted Tab walks the controls of a page in
// creation order and wraps, the focused flag follows the focus, and with
// "SaisieEnRouge" on only the focused control draws its frame.
#include <QApplication>

#include "controls/mcontrols.h"
#include "controls/medit.h"
#include "controls_test_support.h"

namespace {

class EntryFocusTest : public ctest::ControlTest {};

TEST_F(EntryFocusTest, TabFocusAndFrameAcrossTheEntryControls) {
  options_[15] = 'O';  // SaisieEnRouge
  auto* edit = new MEdit(page, 10, 10, 1, MEdit::kText, 0, false);
  auto* check = new MCheckBox(page, 11, "Actif", 1);
  auto* button = new MButton(page, 12, "Valider");
  auto* combo = new MComboBox(page, 13, 8, 1);
  auto* list = new MListBox(page, 14);
  ShowActive();
  edit->MoveWindow(gui::Rect{10, 10, 120, 24});
  check->MoveWindow(gui::Rect{10, 44, 120, 24});
  button->MoveWindow(gui::Rect{10, 78, 120, 28});
  combo->MoveWindow(gui::Rect{10, 116, 120, 26});
  list->MoveWindow(gui::Rect{150, 10, 200, 130});
  list->AddString("Ligne 1");

  struct Entry {
    gui::Window* window;
    const EntryKeyState* keys;
  } const entries[] = {{edit, &edit->Keys()},   {check, &check->Keys()}, {button, &button->Keys()},
                       {combo, &combo->Keys()}, {list, &list->Keys()}};
  edit->SetFocus();
  QApplication::processEvents();
  for (int step = 0; step <= 5; ++step) {
    const Entry& now = entries[step % 5];
    QApplication::processEvents();
    EXPECT_TRUE(now.window->HasFocus()) << step;
    for (const Entry& e : entries) EXPECT_EQ(e.keys->focused, &e == &now) << step;
    now.window->Widget()->repaint();
    // Only a control that had the focus has drawn its frame.
    for (int i = 0; i < 5; ++i) EXPECT_EQ(entries[i].keys->frameDrawn, i <= step) << step;
    // The Tab that Enter posts to the control.
    gui::PostMessage(now.window->GetHandle(), gui::WM_KEYDOWN, gui::VK_TAB, 0);
    gui::ProcessPendingMessages();
  }
  combo->SetFocus();
  test_support::Screenshot(page->Widget(), "controls", "entry_focus");
}

}  // namespace
