// The edit-form base without a table: the close and save protocol with its
// question, "Enregistrer" and "Quitter", the registry slot, the partner
// list's refresh, the context menu, the keys, the grid and the small checks.
#include <functional>
#include <tuple>

#include "controls/medit.h"
#include "framework/edit_form.h"
#include "test_subject.h"

namespace {

using subject::SubjectTest;

// A form whose three operations the test sets.
class PlainForm : public CMDIModif {
 public:
  explicit PlainForm(gui::MDIClient* client, int ownSlot = 500, int partnerSlot = 0)
      : CMDIModif(client, "Fiche", 8, 17, ownSlot, 15, partnerSlot) {}
  bool modified = false;
  int check = kCheckClose;
  bool saveWorks = true;
  int saves = 0;
  int checks = 0;
  bool Save() override {
    ++saves;
    return saveWorks;
  }
  bool IsModified() override { return modified; }
  int Check() override {
    ++checks;
    return check;
  }
};

class FormProtocolTest : public SubjectTest {
 protected:
  PlainForm* Open(int ownSlot = 500, int partnerSlot = 0) {
    auto* form = new PlainForm(client_, ownSlot, partnerSlot);
    form->MoveWindow(gui::Rect{0, 0, 500, 300});
    EXPECT_TRUE(form->Create());
    form->Show(gui::SW_SHOWNORMAL);
    gui::ProcessPendingMessages();
    handle_ = form->GetHandle();
    return form;
  }
  bool Alive() const { return gui::IsWindow(handle_); }
  // Closes as the window's close box does.
  void Close() {
    gui::PostMessage(handle_, gui::WM_CLOSE);
    gui::ProcessPendingMessages();
  }
  static int Questions() {
    int n = 0;
    for (const auto& s : gui::ModalSeam::Shown())
      if (s.kind == gui::ModalKind::MessageBox && s.text == LoadStr(153)) ++n;
    return n;
  }
  gui::Handle handle_ = 0;
};

TEST_F(FormProtocolTest, CloseAsksOnlyWhenModifiedAndFollowsTheAnswer) {
  struct Case {
    const char* what;
    bool modified;
    int check;
    int answer;  // 0: nothing queued
    bool closes;
    int saves;
    int questions;
  };
  const Case cases[] = {
      {"unchanged, default check", false, CMDIModif::kCheckClose, 0, true, 0, 0},
      {"unchanged, check asks to save", false, CMDIModif::kCheckSave, 0, true, 1, 0},
      {"modified, No", true, CMDIModif::kCheckSave, gui::IDNO, true, 0, 1},
      {"modified, Cancel", true, CMDIModif::kCheckSave, gui::IDCANCEL, false, 0, 1},
      {"modified, Yes, valid", true, CMDIModif::kCheckSave, gui::IDYES, true, 1, 1},
      {"modified, Yes, close without saving", true, CMDIModif::kCheckClose, gui::IDYES, true, 0, 1},
      {"modified, Yes, invalid", true, CMDIModif::kCheckInvalid, gui::IDYES, false, 0, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    gui::ModalSeam::Reset();
    PlainForm* form = Open();
    form->modified = c.modified;
    form->check = c.check;
    if (c.answer != 0) gui::ModalSeam::QueueMessageBoxAnswer(c.answer);
    Close();
    EXPECT_EQ(Alive(), !c.closes);
    EXPECT_EQ(Questions(), c.questions);
    if (c.questions > 0) {
      const gui::ShownModal* q = gui::ModalSeam::LastShown();
      EXPECT_EQ(q->buttons, gui::MB_YESNOCANCEL);
    }
    if (Alive()) {
      EXPECT_EQ(form->saves, c.saves);
      form->CmQuitter();
      gui::ProcessPendingMessages();
      EXPECT_FALSE(Alive());
    }
  }
}

TEST_F(FormProtocolTest, EnregistrerAndQuitterNeverAsk) {
  struct Case {
    const char* what;
    unsigned command;
    int check;
    bool saveWorks;
    bool closes;
    int saves;
  };
  const Case cases[] = {
      {"Enregistrer, invalid", form_cmd::Enregistrer, CMDIModif::kCheckInvalid, true, false, 0},
      {"Enregistrer, valid", form_cmd::Enregistrer, CMDIModif::kCheckSave, true, true, 1},
      {"Enregistrer, the save fails", form_cmd::Enregistrer, CMDIModif::kCheckSave, false, false, 1},
      {"Quitter (F9 in a field)", form_cmd::Quitter, CMDIModif::kCheckSave, true, true, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    gui::ModalSeam::Reset();
    PlainForm* form = Open();
    form->modified = true;
    form->check = c.check;
    form->saveWorks = c.saveWorks;
    gui::PostCommand(handle_, c.command);
    gui::ProcessPendingMessages();
    EXPECT_EQ(Alive(), !c.closes);
    EXPECT_EQ(Questions(), 0);
    if (Alive()) {
      EXPECT_EQ(form->saves, c.saves);
      if (c.check == CMDIModif::kCheckInvalid) {
        EXPECT_TRUE(form->AskOnClose) << "the close box still asks";
      }
      form->CmQuitter();
      gui::ProcessPendingMessages();
    }
  }
}

TEST_F(FormProtocolTest, NoCloseWhileBusyMinimisedOrPrinting) {
  PlainForm* form = Open();
  EXPECT_FALSE(form->HasMaximizeBox());
  form->ClosingFlag = true;
  form->CmQuitter();
  form->CmEnregistrer();
  gui::ProcessPendingMessages();
  EXPECT_TRUE(Alive());
  EXPECT_EQ(form->checks, 0);
  gui::CommandEnabler ce(form_cmd::Quitter);
  form->EvCommandEnable(ce);
  EXPECT_FALSE(ce.Enabled());
  form->ClosingFlag = false;

  PrintRunFlag = true;
  Close();
  EXPECT_TRUE(Alive());
  PrintRunFlag = false;

  form->Show(gui::SW_MINIMIZE);
  gui::ProcessPendingMessages();
  if (form->IsIconic()) {
    Close();
    EXPECT_TRUE(Alive());
    form->Show(gui::SW_RESTORE);
    gui::ProcessPendingMessages();
  }
  Close();
  EXPECT_FALSE(Alive());
}

TEST_F(FormProtocolTest, RegistrySlotLivesWithTheFormAndThePartnerListIsRefreshed) {
  auto* list = new subject::CommandRecorder(client_);  // the partner list
  ASSERT_TRUE(list->Create());
  RegisterWindowSlot(700, list->GetHandle());
  PlainForm* form = Open(500, 700);
  EXPECT_EQ(RegistryChar(500), '1');
  EXPECT_EQ(SlotHandle(500), form->GetHandle());

  form->KeyWidth = 6;
  form->RefreshPartnerList("AB");
  EXPECT_EQ(RegistryText(711, 6), "AB    ") << "the code over the key width";
  form->RefreshPartnerList("");
  ASSERT_EQ(list->got.size(), 2u);
  EXPECT_EQ(list->got[0], form_cmd::ListRefreshCode);
  EXPECT_EQ(list->got[1], form_cmd::ListRefreshAll);

  // A closed partner gets nothing.
  SetRegistryText(700, 1, " ");
  form->RefreshPartnerList("AB");
  EXPECT_EQ(list->got.size(), 2u);

  form->CmQuitter();
  gui::ProcessPendingMessages();
  EXPECT_EQ(RegistryText(500, 15), std::string(15, ' '));
  list->CloseWindow();
}

TEST_F(FormProtocolTest, ContextMenuNeverShowsTwoSeparatorsAndSkipsEvenIds) {
  PlainForm* form = Open();
  using V = std::vector<unsigned>;
  EXPECT_EQ(form->ContextMenuIds(), (V{20023, 0, 20055, 20187, 0, 20035, 20041}));
  form->ContextCommands = {5, 20023, 20000, 20056, 19999, 20055};
  EXPECT_EQ(form->ContextMenuIds(), (V{20023, 0, 20055, 0, 20035, 20041}));
  form->ContextCommands = {0};
  EXPECT_EQ(form->ContextMenuIds(), (V{20035, 20041}));

  // A right click offers them; the choice goes to the form.
  form->ContextCommands = {3, 20023, 20055, 20187};
  form->modified = true;
  gui::ModalSeam::QueuePopupMenuAnswer(form_cmd::Quitter);
  form->EvRButtonDown(gui::MK_RBUTTON, gui::Point{20, 20});
  gui::ProcessPendingMessages();
  EXPECT_FALSE(Alive());
}

TEST_F(FormProtocolTest, AmountDigitsAreCheckedBetweenZeroAnd999) {
  PlainForm* form = Open();
  auto* edit = new MEdit(form, 300, 10, 1, MEdit::kAmount, 2, false);
  ASSERT_TRUE(edit->Create());
  struct Case {
    const char* text;
    bool refused;
    const char* message;
  };
  const Case cases[] = {
      {"", false, ""},
      {"   ", false, ""},
      {"999.99", false, ""},
      {"0", false, ""},
      {"1000", true, "\n\nCette valeur ne doit pas d\xE9passer\n\n3 entiers au plus\n\n"},
      {"-0.01", true, "\n\nCette valeur ne peut \xEAtre n\xE9gative\n\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    gui::ModalSeam::Reset();
    edit->SetText(c.text);
    EXPECT_EQ(form->CheckAmountDigits(*edit), c.refused);
    if (c.refused) {
      ASSERT_NE(gui::ModalSeam::LastShown(), nullptr);
      EXPECT_EQ(gui::ModalSeam::LastShown()->text, c.message);
    } else {
      EXPECT_TRUE(gui::ModalSeam::Shown().empty());
    }
  }
  form->CmQuitter();
}

// The scroll bars of its grid.
TEST_F(FormProtocolTest, GridScrollBars) {
  // A grid of 12 columns and 20 rows.
  auto* form = new CMDIModif(client_, "Grille", 12, 20);
  form->MoveWindow(gui::Rect{0, 0, 900, 700});
  ASSERT_TRUE(form->Create());
  form->Show(gui::SW_SHOWNORMAL);
  gui::ProcessPendingMessages();

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

TEST(FormGrid, PlacesEachKindOfControl) {
  const GridMetrics m{80, 20, 0, 7, 16};
  struct Case {
    int c, r, nc, nr, kind, extra, last;
    GridBox want;
  };
  const Case cases[] = {
      {1, 1, 1, 1, grid::Fill, 0, 0, {1, 1, 79, 19}},
      {2, 3, 2, 2, grid::Fill, 0, 0, {81, 41, 239, 79}},
      {1, 1, 1, 2, grid::Button, 0, 1, {1, 9, 79, 31}},   // centred: (40 - 24) / 2
      {1, 1, 1, 1, grid::Button, 0, 0, {1, 1, 79, 23}},
      {1, 1, 1, 1, grid::Box, 1, 0, {33, 1, 47, 16}},     // centred in 80
      {2, 1, 1, 1, grid::Box, 5, 1, {145, 2, 159, 17}},   // right-aligned, middle of 20
      {1, 1, 2, 1, grid::Text, 3, 0, {1, 1, 43, 16}},     // (3 + 3) x 7
      {1, 1, 2, 1, grid::Text, 30, 0, {1, 1, 160, 16}},   // capped at the span
      {1, 1, 2, 1, grid::Text, 3, 1, {59, 1, 101, 16}},   // centred: (160 - 42 - 1) / 2
      {1, 2, 3, 1, grid::Lines, 0, 3, {1, 22, 239, 69}},
      {1, 2, 3, 1, grid::Lines, 4, 0, {1, 22, 36, 36}},
      {2, 2, 2, 1, grid::Label, 0, 0, {81, 22, 238, 37}},
      {2, 2, 2, 3, grid::Frame, 0, 0, {74, 14, 241, 81}},
      {1, 1, 1, 1, 4, 0, 9, {9, 9, 9, 9}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "kind " << c.kind << " at " << c.c << "," << c.r);
    const GridBox b = ComputeGridBox(m, c.c, c.r, c.nc, c.nr, c.kind, c.extra, c.last);
    EXPECT_EQ(std::tie(b.left, b.top, b.right, b.bottom), std::tie(c.want.left, c.want.top, c.want.right, c.want.bottom));
  }
}

TEST(FormGrid, SizingKeepsMinimumCellsAndScrollsByWholeCells) {
  struct Case {
    int w, h;
    GridSizing want;
  };
  // 8 columns of at least 56 pixels, 17 rows of at least 18.
  const Case cases[] = {
      {810, 400, {100, 23, 0, 0}},
      {400, 306, {56, 18, 56, 0}},  // 448 - 400 = 48 short: one whole column
      {300, 200, {56, 18, 168, 108}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.w);
    const GridSizing s = ComputeGridSizing(c.w, c.h, 8, 17, 56, 18);
    EXPECT_EQ(std::tie(s.columnWidth, s.rowHeight, s.hRange, s.vRange),
              std::tie(c.want.columnWidth, c.want.rowHeight, c.want.hRange, c.want.vRange));
  }
}

TEST(FormGrid, ConvertedAmountTexts) {
  struct Case {
    const char* source;
    double rate;
    bool inverse;
    const char* want;
  };
  const Case cases[] = {
      {"100", 6.55957, false, "655.96"}, {"655.96", 6.55957, true, "100.00"}, {"", 6.55957, false, ""},
      {"0.0001", 6.55957, false, ""},     {"12", 0.0, true, ""},               {"12", 0.0, false, ""},
      {"-10", 2.0, false, "-20.00"},
  };
  for (const Case& c : cases) EXPECT_EQ(ConvertAmountText(c.source, c.rate, c.inverse), c.want) << c.source;
}

}  // namespace
