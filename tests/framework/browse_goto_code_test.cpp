// "Aller au code" and "ReCaler" of a code list over a real general file
// (C10): 400 journals between records of other kinds, so that the codes
// sought lie far off the visible page and the list's first record is not
// the table's.
#include "framework/fmt_saisie.h"
#include "test_subject.h"

namespace {

using namespace subject;

class BrowseGoToCodeTest : public SubjectTest {
 protected:
  static constexpr int kJournals = 400;
  void SetUp() override {
    SubjectTest::SetUp();
    AddC10("A", "ZZZ", "autre sorte avant");
    AddC10("F", "001", "autre sorte avant, meme code");
    // Written in reverse code order: physical order differs from the index.
    for (int i = kJournals; i >= 1; --i) AddC10("J", Code(i), "Journal " + std::to_string(i), i == 250);
    AddC10("K", "AAA", "autre sorte apres");
  }
  // The journal list with its code index: kind "J" before the code, on C10CODE.
  JournalList* List() {
    auto* list = new JournalList(client_);
    list->codeIndex = BrowseCodeIndex{list->GetTable(0), "C10CODE", kKind, 2};
    return Show(list, 500, 360);
  }
  static void Answer(const char* code) {
    gui::ModalSeam::QueueDialogAnswer(gui::IDOK, [code](gui::Window& d) {
      static_cast<TDFmtSaisie&>(d).Input()->SetText(code);
    });
  }
};

TEST_F(BrowseGoToCodeTest, ReCalerFindsACodeAnywhereInTheTable) {
  JournalList* list = List();
  const BrowseRowStore& s = list->Store();
  ASSERT_EQ(s.totalRows, kJournals);
  struct Case {
    const char* key;  // left in the list's slot
    const char* shown;
    long selected;
    long top;
  } cases[] = {
      {"350", "350", 350, 349},                    // far below the page: first row
      {"250", "250", 250, 249},                    // a cancelled record is shown too
      {"1", "100", 100, 99},                       // the first code beginning with it
  };
  for (const Case& c : cases) {
    SetRegistryText(kListSlot + 11, kCodeWidth, c.key);
    gui::SendCommand(list->GetHandle(), browse_cmd::ReCaler);
    gui::ProcessPendingMessages();
    EXPECT_EQ(list->GetSelectedRowText(), c.shown) << c.key;
    EXPECT_EQ(s.selected, c.selected) << c.key;
    EXPECT_EQ(s.top, c.top) << c.key;
    // The page shows the records in index order from the top.
    EXPECT_EQ(s.rows[0].substr(7, 3), Code(static_cast<int>(s.top) + 1)) << c.key;
  }
  list->SaveSnapshot(test_support::ArtefactPath("browse", "goto_code.png"));
}

TEST_F(BrowseGoToCodeTest, F8AsksForTheCode) {
  JournalList* list = List();
  Answer("zz");
  Answer("321");
  list->EvKeyUp(gui::VK_F8, 1, 0);
  gui::ProcessPendingMessages();
  ASSERT_EQ(gui::ModalSeam::Shown().size(), 2u);
  EXPECT_EQ(gui::ModalSeam::Shown()[1].caption, "Code inconnu: ZZ");
  EXPECT_EQ(list->GetSelectedRowText(), "321");
  EXPECT_EQ(list->Store().top, 320);

}

}  // namespace
