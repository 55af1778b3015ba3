// The edit-form base without a table: the close and save protocol with its
// question, "Enregistrer" and "Quitter", the registry slot, the partner
// list's refresh, the context menu and the small checks.
#include "resources/string_table.h"
#include "test_subject.h"

namespace {

using subject::SubjectTest;

// The question of a form closed with changes, by its id in the string table.
constexpr int kMsgSaveChanges = 153;

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
      if (s.kind == gui::ModalKind::MessageBox && s.text == LoadStr(kMsgSaveChanges)) ++n;
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
      {"unchanged, check asks to save", false, CMDIModif::kCheckSave, 0, true, 1, 0},
      {"modified, No", true, CMDIModif::kCheckSave, gui::IDNO, true, 0, 1},
      {"modified, Cancel", true, CMDIModif::kCheckSave, gui::IDCANCEL, false, 0, 1},
      {"modified, Yes, valid", true, CMDIModif::kCheckSave, gui::IDYES, true, 1, 1},
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

TEST_F(FormProtocolTest, NoCloseWhileBusyOrPrinting) {
  PlainForm* form = Open();
  EXPECT_FALSE(form->HasMaximizeBox());
  form->ClosingFlag = true;
  form->CmQuitter();
  form->CmEnregistrer();
  gui::ProcessPendingMessages();
  EXPECT_TRUE(Alive());
  EXPECT_EQ(form->checks, 0);
  form->ClosingFlag = false;

  PrintRunFlag = true;
  Close();
  EXPECT_TRUE(Alive());
  PrintRunFlag = false;
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

  form->CmQuitter();
  gui::ProcessPendingMessages();
  EXPECT_EQ(RegistryText(500, 15), std::string(15, ' '));
  list->CloseWindow();
}

TEST_F(FormProtocolTest, ContextMenuNeverShowsTwoSeparatorsAndSkipsEvenIds) {
  PlainForm* form = Open();
  form->ContextCommands = {5, 20023, 20000, 20056, 19999, 20055};
  EXPECT_EQ(form->ContextMenuIds(), (std::vector<unsigned>{20023, 0, 20055, 0, 20035, 20041}));

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
  const std::pair<const char*, bool> cases[] = {{"999.99", false}, {"1000", true}, {"-0.01", true}};
  for (const auto& [text, refused] : cases) {
    SCOPED_TRACE(text);
    gui::ModalSeam::Reset();
    edit->SetText(text);
    EXPECT_EQ(form->CheckAmountDigits(*edit), refused);
    EXPECT_EQ(gui::ModalSeam::Shown().size(), refused ? 1u : 0u) << "one box for a refused amount";
  }
  form->CmQuitter();
}

TEST(GridSizingTest, RowsAreOneLineHighAtMostAndScrollOnlyWhenTheGridDoesNotFit) {
  struct Case {
    int width, height, columns, rows;
    GridSizing expected;
  };
  // Minimum cells of 56 x 18 pixels.
  const Case cases[] = {
      {500, 230, 8, 10, {61, 23, 0, 0}},     // between one line and the cap: the window's share
      {500, 900, 8, 10, {61, 26, 0, 0}},     // a tall window: rows one line high, room at the bottom
      {500, 100, 8, 10, {61, 18, 0, 90}},    // a low window: the smallest rows and a vertical bar
      {300, 900, 8, 10, {56, 26, 168, 0}},   // a narrow window: the smallest columns and a horizontal bar
      {2000, 2000, 1, 1, {1990, 26, 0, 0}},  // one cell
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height));
    const GridSizing s = ComputeGridSizing(c.width, c.height, c.columns, c.rows, 56, 18);
    EXPECT_EQ(s.columnWidth, c.expected.columnWidth);
    EXPECT_EQ(s.rowHeight, c.expected.rowHeight);
    EXPECT_EQ(s.hRange, c.expected.hRange);
    EXPECT_EQ(s.vRange, c.expected.vRange);
  }
}

// Two labels on the grid's first two rows.
class TwoRowForm : public PlainForm {
 public:
  explicit TwoRowForm(gui::MDIClient* client) : PlainForm(client) {
    rows[0] = new MStatic(this, "Premier", 301);
    rows[1] = new MStatic(this, "Second", 302);
  }
  void ArrangeControls() override {
    for (int r = 0; r < 2; ++r) MoveFormControls(rows[r], 1, r + 1, 4, 1, grid::Label, 0, 0);
  }
  MStatic* rows[2] = {};
};

TEST_F(FormProtocolTest, RowsStayOneLineHighWhenTheWindowGrows) {
  auto* form = new TwoRowForm(client_);
  form->MoveWindow(gui::Rect{0, 0, 500, 300});
  ASSERT_TRUE(form->Create());
  form->Show(gui::SW_SHOWNORMAL);
  gui::ProcessPendingMessages();
  const gui::Rect sizes[] = {{0, 0, 500, 300}, {0, 0, 960, 560}, {0, 0, 960, 900}};
  for (const gui::Rect& size : sizes) {
    SCOPED_TRACE(std::to_string(size.w) + "x" + std::to_string(size.h));
    form->MoveWindow(size);
    gui::ProcessPendingMessages();
    const int step = form->rows[1]->GetWindowRect().y - form->rows[0]->GetWindowRect().y;
    EXPECT_EQ(step, form->RowHeight);
    EXPECT_GE(step, form->MinRowHeight);
    EXPECT_LE(step, form->MinRowHeight + 8) << "the rows spread over the window";
  }
  // The grid ends well above the bottom of a large window.
  EXPECT_LT(form->GridRows * form->RowHeight, form->ClientRect.h);
  test_support::Screenshot(form->Widget(), "framework", "form_rows_large_window");
  form->CmQuitter();
  gui::ProcessPendingMessages();
}

}  // namespace
