// The list window's side of the open-window registry: the code in its slot
// shown when the list opens, the slot freed when the list ends, and the
// answer mark that tells a list's answer from a form's pending request.
#include "data/session.h"
#include "framework/lookup_registry.h"
#include "test_subject.h"

namespace {

using namespace subject;

class ListRegistryTest : public SubjectTest {
 protected:
  void SetUp() override {
    SubjectTest::SetUp();
    for (const char* code : {"AC", "BQ", "BR", "VT"}) AddC10("J", code, std::string("JOURNAL ") + code);
  }
};

TEST_F(ListRegistryTest, ListOpensOnTheCodeOfItsSlotAndFreesTheSlotWhenItEnds) {
  SetRegistryText(kListSlot + 11, kCodeWidth, "BR");
  JournalList* list = List();
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(list->GetSelectedRowText(), "BR ");
  EXPECT_EQ(RegistryChar(kListSlot), '1');
  list->CmQuitter();
  gui::ProcessPendingMessages();
  EXPECT_EQ(RegistryText(kListSlot, kListSlotLength), std::string(kListSlotLength, ' '));
  EXPECT_FALSE(ActivateExistingChild(kListSlot)) << "the menu opens a new list";
}

TEST_F(ListRegistryTest, OnlyTheListsAnswerIsTakenAsOne) {
  // Registry handles of two askers.
  const std::string asker = StrNum10(0x00123456);
  const std::string other = StrNum10(0x00123457);
  struct Case {
    const char* what;
    bool answered;      // the list answered after the request
    const char* text;   // the form's text in the request
    std::string reader;  // handle of the window that reads
    bool taken;
  };
  const Case cases[] = {
      {"request pending, text typed", false, "BQ", asker, false},
      {"answered", true, "B", asker, true},
      {"answered to another window", true, "B", other, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    OpenWindowRegistry.assign(kOpenWindowRegistryLength, ' ');
    WriteLookupRequest(kListSlot, kCodeWidth, c.text, kFormSlot + 1, asker, 1301);
    if (c.answered) WriteLookupAnswer(kListSlot, kCodeWidth, "VT ");
    EXPECT_EQ(LookupAskerHandle(kListSlot, kCodeWidth), 0x00123456u) << "the mark hides no digit";
    EXPECT_EQ(LookupReturnCommand(kListSlot, kCodeWidth), 1301);
    std::string code;
    EXPECT_EQ(TakeLookupAnswer(kListSlot, kCodeWidth, c.reader, code), c.taken);
    EXPECT_EQ(code, c.taken ? "VT " : "");
    if (c.taken) {
      EXPECT_EQ(RegistryText(kListSlot + 11, kCodeWidth), "   ");
      EXPECT_FALSE(TakeLookupAnswer(kListSlot, kCodeWidth, c.reader, code)) << "taken once";
    }
  }
}

}  // namespace
