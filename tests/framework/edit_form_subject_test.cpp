// The journal list and its form over a real general file, driven as a user
// would: a record opened from the list in its form, changed, and the form
// closed with each answer to the save question; a record another process
// holds locked.
#include "framework/lock_notice.h"
#include "support/other_process.h"
#include "test_subject.h"

namespace {

using namespace subject;

// The other station: a forked process that locks a journal through its own
// table object on 'l' and unlocks it on 'u'.
bool LockJournalElsewhere(std::string code, char cmd) {
  static Table* t = nullptr;
  if (t == nullptr) t = new Table();
  code.resize(kCodeWidth, ' ');
  if (cmd == 'l') return t->OpenShared(PathC10(), "C10CODE") && t->Seek("C10CODE", kKind, code.c_str()) &&
                         LockRecord(*t, nullptr, 0);
  if (cmd == 'u') return UnlockRecord(*t);
  return false;
}

class FormSubjectTest : public SubjectTest {
 protected:
  void SetUp() override {
    SubjectTest::SetUp();
    AddC10("J", "AC", "ACHATS");
    AddC10("J", "BQ", "BANQUE");
    AddC10("J", "VT", "VENTES");
    AddC10("B", "BQ", "UNE BANQUE");  // another kind: never listed
  }
  void CloseForm(int answer) {
    gui::ModalSeam::QueueMessageBoxAnswer(answer);
    gui::PostMessage(SlotHandle(kFormSlot), gui::WM_CLOSE);
    gui::ProcessPendingMessages();
  }
};

TEST_F(FormSubjectTest, ChangeARecordAndAnswerTheSaveQuestion) {
  JournalList* list = List();
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(list->Store().totalRows, 3);
  EXPECT_NE(list->RowOf("BQ").find("BANQUE"), std::string::npos);

  JournalForm* form = Edit(list, "BQ");
  ASSERT_NE(form, nullptr);
  EXPECT_EQ(form->nameEdit->GetText(), "BANQUE");
  EXPECT_TRUE(form->locked);
  EXPECT_NE(FormRecordLocks[kFormKind], 0u);

  // No: nothing written, the lock is given back.
  form->nameEdit->SetText("BANQUE POPULAIRE");
  CloseForm(gui::IDNO);
  EXPECT_EQ(OpenForm(), nullptr);
  EXPECT_EQ(StoredName("J", "BQ"), "BANQUE");
  EXPECT_EQ(FormRecordLocks[kFormKind], 0u);

  // Yes: written under the form's lock, and the list shows it.
  form = Edit(list, "BQ");
  ASSERT_NE(form, nullptr);
  form->nameEdit->SetText("BANQUE POPULAIRE");
  gui::ProcessPendingMessages();
  test_support::Screenshot(frame_->OuterWidget(), "edit_form", "form_and_list");
  CloseForm(gui::IDYES);
  EXPECT_EQ(OpenForm(), nullptr);
  EXPECT_EQ(StoredName("J", "BQ"), "BANQUE POPULAIRE");
  EXPECT_EQ(FormRecordLocks[kFormKind], 0u);
  EXPECT_NE(list->RowOf("BQ").find("BANQUE POPULAIRE"), std::string::npos);
  EXPECT_EQ(StoredName("B", "BQ"), "UNE BANQUE");
}

// The notice as the program shows it (TDMessageLockR through the seam),
// recorded as well.
std::vector<std::string> notices;
void NoticeThroughTheWindowLayer(const char* caption, const char* message) {
  notices.push_back(message);
  ShowLockNotice(caption, message);
}

TEST_F(FormSubjectTest, ARecordLockedElsewhereGivesTheNoticeAndIsNotWritten) {
  SetLockNoticeHook(&NoticeThroughTheWindowLayer);
  test_support::OtherProcess other([](char cmd) { return LockJournalElsewhere("BQ", cmd); });
  ASSERT_TRUE(other.Do('l'));
  JournalList* list = List();
  ASSERT_NE(list, nullptr);
  gui::ModalSeam::QueueDialogAnswer(gui::IDOK, [](gui::Window& w) {
    test_support::Screenshot(w.Widget(), "edit_form", "lock_notice");
  });
  JournalForm* form = Edit(list, "BQ");
  ASSERT_NE(form, nullptr);
  ASSERT_EQ(notices.size(), 1u);
  EXPECT_NE(notices[0].find("BANQUE"), std::string::npos) << notices[0];
  // The notice names the file and the record in their places.
  const std::string head = "La fiche suivante est utilis\xE9" "e de mani\xE8re EXCLUSIVE par un autre poste:\n"
                           "   - Fichier: C10 Fichier G\xE9n\xE9ral\n   - Enregistrement: ";
  EXPECT_EQ(notices[0].rfind(head, 0), 0u) << notices[0];
  EXPECT_EQ(notices[0].substr(notices[0].size() - 2), "\n\n") << notices[0];
  ASSERT_FALSE(gui::ModalSeam::Shown().empty());
  EXPECT_EQ(gui::ModalSeam::Shown()[0].kind, gui::ModalKind::Dialog) << "the lock notice window";
  EXPECT_FALSE(form->locked);
  EXPECT_FALSE(form->nameEdit->IsWindowEnabled());
  EXPECT_EQ(FormRecordLocks[kFormKind], 0u);
  form->forceModified = true;
  CloseForm(gui::IDYES);
  EXPECT_EQ(OpenForm(), nullptr);
  EXPECT_EQ(StoredName("J", "BQ"), "BANQUE");

  // Cancelling it from the list asks once too, and leaves it live.
  list->SelectCode("BQ");
  gui::SendCommand(list->GetHandle(), browse_cmd::Annuler);
  EXPECT_EQ(notices.size(), 2u);
  EXPECT_EQ(list->RowOf("BQ")[6], kMarkerOrdinary);

  // Once the other station lets go, the form locks it.
  ASSERT_TRUE(other.Do('u'));
  form = Edit(list, "BQ");
  ASSERT_NE(form, nullptr);
  EXPECT_TRUE(form->locked);
  EXPECT_FALSE(other.Do('l')) << "the form holds the record now";
  form->CmQuitter();
  gui::ProcessPendingMessages();
}

}  // namespace
