// The four-function calculator with one memory that F8 opens on a numeric
// or amount field. CalcEngine holds the arithmetic and the display; TDCalc
// is its dialog (template 1333, keys of accelerator table 1103).
#pragma once

#include <memory>
#include <string>

#include "framework/dialog_bases.h"

class MEdit;
class MStatic;
namespace gui {
class AcceleratorTable;
}

// The memory keeps its value from one calculator to the next for the run.
extern double CalculatorMemory;

class CalcEngine {
 public:
  static constexpr std::size_t kDisplayRoom = 50;

  const std::string& Display() const { return display_; }
  // Starts from a field's value (trimmed, at most 50 characters); the
  // operators act on it at once.
  void Start(const std::string& value);

  // Each answers false when the key was refused (the dialog beeps).
  bool Digit(int n);
  bool Point();
  void Back();
  void ChangeSign();
  void ClearEntry();
  void Clear();
  void Operator(char op);  // '+', '-', '*', '/'
  void Equals();
  void MemoryClear();
  void MemoryAdd();
  void MemorySubtract();
  void MemoryRecall();

  char Pending() const { return pending_; }
  double Accumulator() const { return accumulator_; }

 private:
  void Enter(char c);
  void Apply();
  void ShowNumber(double value);

  std::string display_ = "0";
  double accumulator_ = 0.0;
  char pending_ = 0;
  bool afterClear_ = true;
  bool newNumber_ = true;
};

class TDCalc : public TDNuv {
 public:
  // Button ids of template 1333.
  enum : unsigned {
    kSign = 1002, kClear = 1003, kClearEntry = 1004, kDivide = 1005, kBack = 1006, kSeven = 1007,
    kEight = 1008, kNine = 1009, kTimes = 1010, kMemClear = 1011, kFour = 1012, kFive = 1013, kSix = 1014,
    kMinus = 1015, kMemRecall = 1016, kOne = 1017, kTwo = 1018, kThree = 1019, kPlus = 1020,
    kMemAdd = 1021, kZero = 1022, kPoint = 1023, kEquals = 1024, kMemSubtract = 1025
  };
  static constexpr int kDisplay = 1001;

  TDCalc(gui::Window* parent, MEdit* edit);
  ~TDCalc() override;

  const CalcEngine& Engine() const { return engine_; }
  std::string DisplayText() const { return engine_.Display(); }
  // Performs "=" then agrees: OK leaves the result in the display.
  bool CanClose() override;

  static const gui::ResponseTable& Table();
  const gui::ResponseTable& Responses() const override { return Table(); }

 protected:
  void SetupWindow() override;

 private:
  void CmKey(unsigned id);
  void Show();

  MEdit* edit_;
  MStatic* display_;
  CalcEngine engine_;
  std::unique_ptr<gui::AcceleratorTable> keys_;
};

// Runs the calculator on an edit (F8): true with the display text when the
// user confirmed. Installed into the controls by InstallFrameworkHooks.
bool RunCalculatorOn(MEdit& edit, std::string& result);
