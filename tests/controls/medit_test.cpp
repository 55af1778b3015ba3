// MEdit driven by typed keys: the filters of each input kind, the date
// places, date stepping inside the financial year, function keys acting
// on release and Enter.
#include <QApplication>

#include "controls/medit.h"
#include "controls_test_support.h"
#include "runtime/dossier_record.h"

namespace {

using ctest::Press;
using ctest::Release;
using ctest::Type;

class MEditTest : public ctest::ControlTest {
 protected:
  void SetUp() override {
    ControlTest::SetUp();
    ASSERT_TRUE(page->Create());
  }
  MEdit* Make(int kind, int width, int decimals = 0, bool multiLine = false, int enterAction = 1) {
    auto* e = new MEdit(page, nextId_++, width, enterAction, kind, decimals, multiLine);
    EXPECT_TRUE(e->Create());
    return e;
  }
  MEdit* MakeOnTemplate(int kind, int width) {
    auto* e = new MEdit(kOnTemplate, page, nextId_++, width, 1, true, kind, 0);
    EXPECT_TRUE(e->Create());
    return e;
  }
  int nextId_ = 100;
};

struct TypingCase {
  const char* name;
  int kind;
  int width;
  int decimals;
  const char* loaded;  // SetValue with remember
  int caret;           // -1 = at the end
  const char* keys;    // "\b" backspace, "\xB2" the superscript two
  const char* expected;
  int beeps;
};

const TypingCase kTyping[] = {
    {"full field, caret inside: last dropped", MEdit::kText, 6, 0, "abcdef", 3, "X", "abcXde", 0},
    {"blank at start empties number", MEdit::kUnsigned, 8, 2, "12.50", 0, " ", "", 0},
    {"unsigned, no decimals", MEdit::kUnsigned, 8, 0, "", -1, "1.2-3", "123", 2},
    {"signed minus only first", MEdit::kSigned, 8, 0, "", -1, "-1-2", "-12", 1},
    {"amount sense letter later", MEdit::kAmount, 12, 2, "", -1, "12c", "12", 1},
    {"superscript two restores", MEdit::kText, 10, 0, "777", -1, "12\xB2", "777", 0},
    {"date ninth digit refused", MEdit::kDate, 8, 0, "", 0, "3103051", "31/03/05", 1},
    // A comma is the decimal mark wherever a point may stand; letters stay refused.
    {"amount comma is the point", MEdit::kAmount, 14, 2, "", -1, "1000,00", "1000.00", 0},
    {"rate comma is the point", MEdit::kSigned, 5, 2, "", -1, "20,00", "20.00", 0},
    {"unsigned comma, letters refused", MEdit::kUnsigned, 8, 2, "", -1, "1a,5", "1.5", 1},
    {"no decimals: comma refused", MEdit::kUnsigned, 8, 0, "", -1, "1,5", "15", 1},
    {"text keeps its comma", MEdit::kText, 8, 0, "", -1, "a,b", "a,b", 0},
};

TEST_F(MEditTest, TypedKeysGiveTheExpectedText) {
  for (const TypingCase& c : kTyping) {
    SCOPED_TRACE(c.name);
    MEdit* e = Make(c.kind, c.width, c.decimals);
    e->SetValue(c.loaded, true);
    const int caret = c.caret < 0 ? e->GetTextLength() : c.caret;
    e->SetSelection(caret, caret);
    gui::ResetBeepCount();
    Type(e->Widget(), c.keys);
    EXPECT_EQ(e->GetValue(), c.expected);
    EXPECT_EQ(gui::BeepCount(), c.beeps);
  }
}

// A sign typed over a selection that starts where the text starts (the whole text, as Tab leaves it)
// replaces it; anywhere else it is refused.
struct OverSelectionCase {
  const char* name;
  int kind;
  const char* loaded;
  int from, to;  // the selection; -1: the end
  const char* keys;
  const char* expected;
  int beeps;
};

const OverSelectionCase kOverSelection[] = {
    {"signed: minus over the whole text", MEdit::kSigned, "3000.00", 0, -1, "-1500", "-1500", 0},
    {"amount: minus over the whole text", MEdit::kAmount, "3000.00", 0, -1, "-3000", "-3000", 0},
    {"amount: C over the whole text", MEdit::kAmount, "3000.00", 0, -1, "C50", "C50", 0},
    {"amount: D over the whole text", MEdit::kAmount, "C50.00", 0, -1, "D7", "D7", 0},
    {"amount: plus over the first digits", MEdit::kAmount, "3000.00", 0, 2, "+", "+00.00", 0},
    {"amount: minus over a selection inside refused", MEdit::kAmount, "3000.00", 1, 3, "-", "3000.00", 1},
    {"signed: minus over a selection inside refused", MEdit::kSigned, "3000.00", 2, -1, "-", "3000.00", 1},
};

TEST_F(MEditTest, ASignTypedOverASelectionFromTheStartReplacesIt) {
  for (const OverSelectionCase& c : kOverSelection) {
    SCOPED_TRACE(c.name);
    MEdit* e = Make(c.kind, 14, 2);
    e->SetValue(c.loaded, true);
    e->SetSelection(c.from, c.to < 0 ? e->GetTextLength() : c.to);
    gui::ResetBeepCount();
    Type(e->Widget(), c.keys);
    EXPECT_EQ(e->GetValue(), c.expected);
    EXPECT_EQ(gui::BeepCount(), c.beeps);
  }
}

struct StepCase {
  const char* name;
  Ymd first, last;
  const char* start;
  int key;
  test_support::KeyModifiers mods;
  const char* expected;
  int beeps;
};

const StepCase kSteps[] = {
    {"shift page up, short month", {2004, 10, 1}, {2005, 9, 30}, "31/03/05", gui::VK_PRIOR, test_support::kShiftModifier, "28/02/05", 0},
    {"shift page down 99 to 00", {1999, 1, 1}, {2000, 12, 31}, "15/12/99", gui::VK_NEXT, test_support::kShiftModifier, "15/01/00", 0},
    {"leaving the year down lands on last day", {2005, 1, 1}, {2005, 12, 31}, "15/12/05", gui::VK_NEXT, test_support::kShiftModifier, "31/12/05", 0},
    {"invalid date beeps", {2004, 10, 1}, {2005, 9, 30}, "31/02/05", gui::VK_PRIOR, test_support::kNoModifier, "31/02/05", 1},
    {"empty date steps to the bound", {2004, 10, 1}, {2005, 9, 30}, "", gui::VK_NEXT, test_support::kNoModifier, "30/09/05", 0},
};

TEST_F(MEditTest, DateSteppingStaysInsideTheFinancialYear) {
  for (const StepCase& c : kSteps) {
    SCOPED_TRACE(c.name);
    TheDossierRecord.SetDateYmd(DossierRecord::DateField::YearStart, c.first);
    TheDossierRecord.SetDateYmd(DossierRecord::DateField::YearEnd, c.last);
    MEdit* e = Make(MEdit::kDate, 8);
    e->SetValue(c.start, true);
    gui::ResetBeepCount();
    Press(e->Widget(), c.key, c.mods);
    EXPECT_EQ(e->GetValue(), c.expected);
    EXPECT_EQ(gui::BeepCount(), c.beeps);
  }
}

struct FunctionKeyCase {
  int key;
  bool onTemplate;
  unsigned f8Command;
  unsigned expected;
};

const FunctionKeyCase kFunctionKeys[] = {
    {gui::VK_F12, false, 0, 20055},
    {gui::VK_F9, true, 0, gui::IDCANCEL},
    {gui::VK_F8, false, 20777, 20777},
};

TEST_F(MEditTest, FunctionKeysActWhenReleased) {
  for (const FunctionKeyCase& c : kFunctionKeys) {
    SCOPED_TRACE(c.key);
    MEdit* e = c.onTemplate ? MakeOnTemplate(MEdit::kText, 10) : Make(MEdit::kText, 10);
    e->SetF8Command(c.f8Command);
    page->commands.clear();
    test_support::SendKey(e->Widget(), test_support::kKeyPress, c.key);
    gui::ProcessPendingMessages();
    EXPECT_TRUE(page->commands.empty()) << "acted on the key press";
    Release(e->Widget(), c.key);
    gui::ProcessPendingMessages();
    ASSERT_EQ(page->commands.size(), 1u);
    EXPECT_EQ(page->commands[0], c.expected);
  }
}

TEST_F(MEditTest, EnterActions) {
  ShowActive();
  auto* first = Make(MEdit::kText, 10, 0, false, 1);
  auto* second = Make(MEdit::kText, 10, 0, false, 2);
  auto* third = Make(MEdit::kText, 10, 0, false, 30123);
  third->SetNotifyWindow(page);

  // EnterAction 1 moves on.
  first->SetFocus();
  Press(first->Widget(), gui::VK_RETURN);
  gui::ProcessPendingMessages();
  EXPECT_TRUE(second->HasFocus());
  // EnterAction 2 moves on once there is a text.
  Type(second->Widget(), "x");
  Press(second->Widget(), gui::VK_RETURN);
  gui::ProcessPendingMessages();
  EXPECT_TRUE(third->HasFocus());
  // Above 3: the command goes to the notify window.
  page->commands.clear();
  Press(third->Widget(), gui::VK_RETURN);
  gui::ProcessPendingMessages();
  ASSERT_EQ(page->commands.size(), 1u);
  EXPECT_EQ(page->commands[0], 30123u);

  // An invalid date beeps and keeps the focus.
  auto* date = Make(MEdit::kDate, 8);
  date->SetValue("31/02/05", true);
  date->SetFocus();
  gui::ResetBeepCount();
  Press(date->Widget(), gui::VK_RETURN);
  gui::ProcessPendingMessages();
  EXPECT_EQ(gui::BeepCount(), 1);
  EXPECT_TRUE(date->HasFocus());
}

TEST_F(MEditTest, PageKeysArrowsAndF4GoToTheirWindows) {
  auto* e = Make(MEdit::kText, 10);
  e->SetNotifyWindow(page);
  e->SetKeyCommands(1, 2, 3, 0, 5, 6);
  struct {
    int key;
    test_support::KeyModifiers mods;
    unsigned expected;
  } rows[] = {{gui::VK_PRIOR, test_support::kControlModifier, 3}, {gui::VK_DOWN, test_support::kNoModifier, 6}};
  for (const auto& r : rows) {
    page->commands.clear();
    Press(e->Widget(), r.key, r.mods);
    gui::ProcessPendingMessages();
    ASSERT_EQ(page->commands.size(), 1u) << r.key;
    EXPECT_EQ(page->commands[0], r.expected);
  }
  // F4 asks the parent for the previous control.
  page->messages.clear();
  Press(e->Widget(), gui::VK_F4);
  gui::ProcessPendingMessages();
  ASSERT_EQ(page->messages.size(), 1u);
  EXPECT_EQ(page->messages[0].first, gui::WM_NEXTDLGCTL);
  EXPECT_EQ(page->messages[0].second, 1u);
}

}  // namespace
