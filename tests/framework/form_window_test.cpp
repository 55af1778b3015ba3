// An edit form as a window: its accelerator table 1100 and the scroll bars
// of its grid.
#include "platform/gui/accelerators.h"
#include "test_subject.h"

namespace {

using namespace subject;

class FormWindowTest : public SubjectTest {};

TEST_F(FormWindowTest, FormKeysAndGridScrollBars) {
  // A grid of 12 columns and 20 rows.
  auto* form = new CMDIModif(client_, "Grille", 12, 20);
  form->MoveWindow(gui::Rect{0, 0, 900, 700});
  ASSERT_TRUE(form->Create());
  form->Show(gui::SW_SHOWNORMAL);
  gui::ProcessPendingMessages();

  ASSERT_NE(form->GetAccelerators(), nullptr);
  struct Key {
    const char* keys;
    unsigned id;
  };
  for (const Key& k : {Key{"Ctrl+Q", 20023}, Key{"Ctrl+E", 20055}, Key{"Ctrl+T", 20187}, Key{"Shift+Ins", 24324}})
    EXPECT_EQ(form->GetAccelerators()->TranslateText(k.keys), k.id) << k.keys;

  // Large enough: no bars. Smaller than the grid's minimum: both bars, with
  // the ranges the grid computed, and a move of the bar scrolls the form.
  EXPECT_FALSE(form->ScrollBarShown(true));
  EXPECT_FALSE(form->ScrollBarShown(false));
  form->MoveWindow(gui::Rect{0, 0, 320, 200});
  gui::ProcessPendingMessages();
  EXPECT_TRUE(form->ScrollBarShown(true));
  EXPECT_TRUE(form->ScrollBarShown(false));
  EXPECT_EQ(form->GetScrollRange(false).max, form->HorizontalRange());
  EXPECT_EQ(form->GetScrollRange(true).max, form->VerticalRange());
  EXPECT_EQ(form->HorizontalRange() % form->MinColumnWidth, 0);
  gui::SendMessage(form->GetHandle(), gui::WM_VSCROLL, gui::SB_LINEDOWN);
  EXPECT_EQ(form->ScrollY(), form->MinRowHeight);
  EXPECT_EQ(form->GetScrollPos(true), form->MinRowHeight) << "the bar follows";
  gui::SendMessage(form->GetHandle(), gui::WM_HSCROLL, gui::SB_BOTTOM);
  EXPECT_EQ(form->GetScrollPos(false), form->HorizontalRange());
  form->CmQuitter();
  gui::ProcessPendingMessages();
}

}  // namespace
