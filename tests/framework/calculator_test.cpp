// The calculator: its operations as tables of keys and displays, the memory
// kept between calculators, and the run from F8 on an amount field.
#include <QApplication>
#include <QKeyEvent>
#include <QWidget>

#include "controls/control_env.h"
#include "controls/medit.h"
#include "framework/calculator.h"
#include "framework/framework_hooks.h"
#include "platform/gui/application.h"
#include "platform/gui/command.h"
#include "platform/gui/modal_seam.h"

#include <gtest/gtest.h>

namespace {

// Keys: digits and ".", "+-*/=", C clear, E clear entry, B back, S sign,
// m MC, p M+, n M-, r MR. Returns the beeps (refused keys).
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
    else if (k == 'm') e.MemoryClear();
    else if (k == 'p') e.MemoryAdd();
    else if (k == 'n') e.MemorySubtract();
    else if (k == 'r') e.MemoryRecall();
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
    {nullptr, "7+5=", "12", 0},
    {nullptr, "7+5==", "12", 0},
    {nullptr, "1/3=", "0.33333", 0},
    {nullptr, "2/8=", "0.25", 0},
    {nullptr, "6/3=", "2", 0},
    {nullptr, "5/0=", "5", 0},
    {nullptr, "C+", "0", 0},
    {nullptr, "C+7", "7", 0},
    {nullptr, "+5=", "5", 0},  // operators wait for a first number
    {nullptr, "2*3+4=", "10", 0},
    {nullptr, "10-4-1=", "5", 0},
    {nullptr, "1.2.3", "1.23", 1},
    {nullptr, "2/8=.5", ".5", 0},
    {nullptr, "12B", "1", 0},
    {nullptr, "BBB", "", 0},
    {nullptr, "5S", "-5", 0},
    {nullptr, "5SS", "5", 0},
    {nullptr, "2+S", "2", 0},
    {nullptr, "2+3S=", "-1", 0},
    {nullptr, "99E", "0", 0},
    {nullptr, "0.5", ".5", 0},
    {nullptr, "0.5*4=", "2", 0},
    {"1234.50", "", "1234.50", 0},
    {"1234.50", "=", "1234.50", 0},
    {" 1234.50 ", "+1=", "1235.5", 0},
    {"", "", "0", 0},
    {"-3", "*3=", "-9", 0},
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

TEST(CalcEngineTest, DisplayHoldsAtMostFiftyCharacters) {
  CalcEngine e;
  EXPECT_EQ(Keys(e, std::string(60, '7')), 10);
  EXPECT_EQ(e.Display(), std::string(50, '7'));
}

TEST(CalcEngineTest, MemoryOutlivesTheCalculator) {
  CalculatorMemory = 0.0;
  {
    CalcEngine first;
    Keys(first, "12pE3p");
    EXPECT_EQ(first.Display(), "3");
  }
  CalcEngine later;
  Keys(later, "r");
  EXPECT_EQ(later.Display(), "15");
  Keys(later, "1n");
  Keys(later, "r");
  EXPECT_EQ(later.Display(), "14");
  Keys(later, "m");
  Keys(later, "r");
  EXPECT_EQ(later.Display(), "0");
}

class CalculatorDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    gui::Application::EnsureQt();
    gui::ModalSeam::SetTestMode(true);
    gui::ModalSeam::Reset();
    gui::SetBeepHook([](unsigned) {});
    ControlEnv() = ControlEnvironment{};
    InstallLowerLayerHooks();
    page.MoveWindow(gui::Rect{0, 0, 300, 200});
    ASSERT_TRUE(page.Create());
  }
  void TearDown() override {
    gui::ProcessPendingMessages();
    gui::ModalSeam::Reset();
    ControlEnv() = ControlEnvironment{};
  }
  gui::Window page;
};

TEST_F(CalculatorDialogTest, OkWithoutKeysGivesTheFieldItsOwnValueBack) {
  auto* amount = new MEdit(&page, 10, 12, 1, MEdit::kAmount, 2, false);
  ASSERT_TRUE(amount->Create());
  amount->SetValue(" 1234.50", true);
  std::string shown;
  gui::ModalSeam::QueueDialogAnswer(gui::IDOK, [&shown](gui::Window& w) {
    shown = static_cast<TDCalc&>(w).DisplayText();
  });
  QKeyEvent f8(QEvent::KeyRelease, Qt::Key_F8, Qt::NoModifier);
  QApplication::sendEvent(amount->Widget(), &f8);
  EXPECT_EQ(shown, "1234.50");
  EXPECT_EQ(amount->GetValue(), "1234.50");
  EXPECT_EQ(CalculatorEdit, amount);
  EXPECT_EQ(gui::ModalSeam::LastShown()->resourceId, 1333);
  delete amount;
  EXPECT_EQ(CalculatorEdit, nullptr);
}

TEST_F(CalculatorDialogTest, ButtonsComputeAndOkPerformsTheLastOperation) {
  auto* amount = new MEdit(&page, 11, 12, 1, MEdit::kUnsigned, 2, false);
  ASSERT_TRUE(amount->Create());
  amount->SetValue("100", true);
  gui::ModalSeam::QueueDialogAnswer(gui::IDOK, [](gui::Window& w) {
    auto& calc = static_cast<TDCalc&>(w);
    for (int id : {TDCalc::kPlus, TDCalc::kTwo, TDCalc::kFive, TDCalc::kPoint, TDCalc::kFive})
      EXPECT_TRUE(calc.PressButton(id));
    EXPECT_EQ(calc.GetItemText(TDCalc::kDisplay), "25.5");
  });
  std::string result;
  ASSERT_TRUE(RunCalculatorOn(*amount, result));
  EXPECT_EQ(result, "125.5");

  // Cancel leaves the field alone.
  gui::ModalSeam::QueueDialogAnswer(gui::IDCANCEL, [](gui::Window& w) {
    static_cast<TDCalc&>(w).PressButton(TDCalc::kNine);
  });
  QKeyEvent f8(QEvent::KeyRelease, Qt::Key_F8, Qt::NoModifier);
  QApplication::sendEvent(amount->Widget(), &f8);
  EXPECT_EQ(amount->GetValue(), "100");
}

TEST_F(CalculatorDialogTest, TextFieldsOpenOnZeroAndKeepTheirText) {
  auto* text = new MEdit(&page, 12, 12, 1, MEdit::kText, 0, false);
  ASSERT_TRUE(text->Create());
  text->SetValue("libell\xe9", true);
  std::string shown;
  gui::ModalSeam::QueueDialogAnswer(gui::IDOK, [&shown](gui::Window& w) {
    auto& calc = static_cast<TDCalc&>(w);
    shown = calc.DisplayText();
    calc.PressButton(TDCalc::kPlus);  // after-clear: nothing
    calc.PressButton(TDCalc::kSeven);
  });
  QKeyEvent f8(QEvent::KeyRelease, Qt::Key_F8, Qt::NoModifier);
  QApplication::sendEvent(text->Widget(), &f8);
  EXPECT_EQ(shown, "0");
  EXPECT_EQ(text->GetValue(), "libell\xe9");
}

}  // namespace
