// The edit-form base without a table: the close and save protocol with its
// question, "Enregistrer" and "Quitter", the registry slot, the partner
// list's refresh, the context menu and the small checks.
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

}  // namespace
