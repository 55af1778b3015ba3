// The calculator: its operations as tables of keys and displays, and the
// run from F8 on an amount field.

#include "controls/medit.h"
#include "framework/calculator.h"
#include "framework/framework_hooks.h"
#include "support/gui_test.h"

#include <gtest/gtest.h>

namespace {

// Keys: digits and ".", "+-*/=", C clear, E clear entry, B back, S sign,
// Returns the beeps (refused keys).
int Keys(CalcEngine& e, const std::string& keys) {
  int refused = 0;
  for (char k : keys) {
    bool ok = true;
    if (k >= '0' && k <= '9') ok = e.Digit(k - '0');
    else if (k == '.') ok = e.Point();
    else if (k == '=') e.Equals();
    else if (k == '+' || k == '-' || k == '*' || k == '/') e.Operator(k);
    else if (k == 'C') e.Clear();
    else if (k == 'E') e.ClearEntry();
    else if (k == 'B') e.Back();
    else if (k == 'S') e.ChangeSign();
    if (!ok) ++refused;
  }
  return refused;
}

struct CalcCase {
  const char* start;  // field value; null = a calculator opened on no number
  const char* keys;
  const char* display;
  int refused;
};

const CalcCase kCases[] = {
    {nullptr, "1/3=", "0.33333", 0},
    {nullptr, "5/0=", "5", 0},
    {nullptr, "1.2.3", "1.23", 1},
    {nullptr, "2+3S=", "-1", 0},
    {" 1234.50 ", "+1=", "1235.5", 0},
    {nullptr, "777777777777777777777777777777777777777777777777777777777777",  // 60 keys: 50 shown
     "77777777777777777777777777777777777777777777777777", 10},
};

TEST(CalcEngineTest, KeysGiveTheExpectedDisplay) {
  for (const CalcCase& c : kCases) {
    SCOPED_TRACE(std::string(c.start ? c.start : "-") + " / " + c.keys);
    CalcEngine e;
    if (c.start != nullptr) e.Start(c.start);
    EXPECT_EQ(Keys(e, c.keys), c.refused);
    EXPECT_EQ(e.Display(), c.display);
  }
}

class CalculatorDialogTest : public test_support::GuiTest {
 protected:
  void SetUp() override {
    GuiTest::SetUp();
    InstallLowerLayerHooks();
    page.MoveWindow(gui::Rect{0, 0, 300, 200});
    ASSERT_TRUE(page.Create());
  }
  gui::Window page;
};

// F8 released on a field runs the calculator on it (dialog 1333); OK
// performs the last operation and writes the result back.
TEST_F(CalculatorDialogTest, F8RunsTheCalculatorOnTheField) {
  auto* field = new MEdit(&page, 10, 12, 1, MEdit::kUnsigned, 2, false);
  ASSERT_TRUE(field->Create());
  field->SetValue("100", true);
  std::string shown, typed;
  gui::ModalSeam::QueueDialogAnswer(gui::IDOK, [&](gui::Window& w) {
    auto& calc = static_cast<TDCalc&>(w);
    shown = calc.DisplayText();
    for (int b : {TDCalc::kPlus, TDCalc::kTwo, TDCalc::kFive, TDCalc::kPoint, TDCalc::kFive})
      EXPECT_TRUE(calc.PressButton(b));
    typed = calc.GetItemText(TDCalc::kDisplay);
    test_support::Screenshot(calc.Widget(), "calculator", "calculator");
  });
  test_support::SendKey(field->Widget(), test_support::kKeyPress, gui::VK_F8);
  test_support::SendKey(field->Widget(), test_support::kKeyRelease, gui::VK_F8);
  EXPECT_EQ(shown, "100");
  EXPECT_EQ(typed, "25.5");
  EXPECT_EQ(field->GetValue(), "125.5");
  EXPECT_EQ(CalculatorEdit, field);
  delete field;
  EXPECT_EQ(CalculatorEdit, nullptr);
}

}  // namespace
