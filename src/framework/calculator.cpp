#include "framework/calculator.h"

#include "controls/control_env.h"
#include "controls/mcontrols.h"
#include "controls/medit.h"
#include "platform/gui/accelerators.h"
#include "platform/gui/application.h"
#include "platform/gui/constants.h"
#include "resources/string_table.h"
#include "runtime/numbers.h"
#include "runtime/text.h"

double CalculatorMemory = 0.0;

namespace {

// The texts shown here, by their ids in the string table.
constexpr int kZero = 1105;
constexpr int kMinus = 1015;

// A calculator key. Enter is the "=" key of the keyboard table, whichever
// button has the focus, so a button does not act on Enter itself.
class CalcButton : public MButton {
 public:
  CalcButton(gui::Window* parent, int id) : MButton(kOnTemplate, parent, id) {}

 protected:
  void EvKeyUp(int vk, unsigned repeat, unsigned flags) override {
    if (vk == gui::VK_RETURN) return;
    MButton::EvKeyUp(vk, repeat, flags);
  }
};

}  // namespace

// ---- CalcEngine --------------------------------------------------------------

void CalcEngine::Start(const std::string& value) {
  display_ = Trimmed(value.substr(0, kDisplayRoom));
  if (display_.empty()) display_ = LoadStr(kZero);
  afterClear_ = false;
}

void CalcEngine::Enter(char c) {
  if (!display_.empty() && (display_.back() == '-' || display_.back() == '.')) display_ += c;
  else if (display_.size() == 1 && Val(display_.c_str()) == 0.0) display_ = std::string(1, c);
  else display_ += c;
}

bool CalcEngine::Digit(int n) {
  if (n < 0 || n > 9) return false;
  // A full display takes no more digits.
  if (!newNumber_ && display_.size() >= kDisplayRoom) return false;
  if (newNumber_) display_.clear();
  newNumber_ = false;
  afterClear_ = false;
  Enter(static_cast<char>('0' + n));
  return true;
}

bool CalcEngine::Point() {
  // A result on show is replaced by the new number, point included.
  if (!newNumber_ && display_.find('.') != std::string::npos) return false;
  if (!newNumber_ && display_.size() >= kDisplayRoom) return false;
  if (newNumber_) display_.clear();
  newNumber_ = false;
  afterClear_ = false;
  Enter('.');
  return true;
}

void CalcEngine::Back() {
  if (!display_.empty()) display_.pop_back();
}

void CalcEngine::ChangeSign() {
  if (newNumber_ && pending_ != 0) return;
  const std::string minus = LoadStr(kMinus);
  if (!display_.empty() && display_[0] == '-') display_.erase(0, 1);
  else if (display_.size() < kDisplayRoom) display_.insert(0, minus.empty() ? "-" : minus);
}

void CalcEngine::ClearEntry() { display_ = LoadStr(kZero); }

void CalcEngine::Clear() {
  display_ = LoadStr(kZero);
  accumulator_ = 0.0;
  pending_ = 0;
  afterClear_ = true;
}

void CalcEngine::ShowNumber(double value) {
  std::string s = Trimmed(FormatNumber(20, 5, false, value));
  if (s.find('.') != std::string::npos) {
    while (!s.empty() && s.back() == '0') s.pop_back();
    if (!s.empty() && s.back() == '.') s.pop_back();
  }
  display_ = s;
}

void CalcEngine::Apply() {
  const double v = Val(display_.c_str());
  switch (pending_) {
    case '+': accumulator_ += v; break;
    case '-': accumulator_ -= v; break;
    case '*': accumulator_ *= v; break;
    case '/':
      if (v != 0.0) accumulator_ /= v;  // division by zero leaves it
      break;
    default: break;
  }
  ShowNumber(accumulator_);
}

void CalcEngine::Operator(char op) {
  if (afterClear_) return;
  if (pending_ == 0) accumulator_ = Val(display_.c_str());
  else Apply();
  newNumber_ = true;
  pending_ = op;
}

void CalcEngine::Equals() {
  if (afterClear_) return;
  if (pending_ != 0) Apply();
  pending_ = 0;
  newNumber_ = true;
}

void CalcEngine::MemoryClear() {
  CalculatorMemory = 0.0;
  newNumber_ = true;
}

void CalcEngine::MemoryAdd() { CalculatorMemory += Val(display_.c_str()); }
void CalcEngine::MemorySubtract() { CalculatorMemory -= Val(display_.c_str()); }

void CalcEngine::MemoryRecall() {
  ShowNumber(CalculatorMemory);
  newNumber_ = true;
}

// ---- TDCalc ------------------------------------------------------------------

TDCalc::TDCalc(gui::Window* parent, MEdit* edit)
    : TDNuv(parent, 1333, true), edit_(edit), display_(new MStatic(kOnTemplate, this, kDisplay)) {
  CalculatorEdit = edit;
  new CalcButton(this, gui::IDOK);
  for (unsigned id = kSign; id <= kMemSubtract; ++id) new CalcButton(this, static_cast<int>(id));
}

TDCalc::~TDCalc() = default;

const gui::ResponseTable& TDCalc::Table() {
  static const gui::ResponseTable table =
      gui::ResponseTable(&gui::Dialog::Table()).CommandRange(kSign, kMemSubtract, &TDCalc::CmKey);
  return table;
}

void TDCalc::SetupWindow() {
  TDNuv::SetupWindow();
  if (const gui::Font* f = SharedAssistFont())
    for (gui::Window* w : Children())
      if (auto* c = dynamic_cast<gui::Control*>(w)) c->SetFont(*f);
  if (edit_ != nullptr) {
    const int kind = edit_->InputKind();
    if (kind == MEdit::kSigned || kind == MEdit::kUnsigned || kind == MEdit::kAmount)
      engine_.Start(edit_->GetValue().substr(0, CalcEngine::kDisplayRoom));
  }
  Show();
  if (gui::Control* equals = GetDlgItem(kEquals))
    if (equals->IsWindowEnabled()) equals->SetFocus();
  keys_ = gui::AcceleratorTable::Load(1103);
  if (keys_) keys_->Install(*this);
}

void TDCalc::Show() {
  if (display_ != nullptr) display_->SetText(engine_.Display());
}

void TDCalc::CmKey(unsigned id) {
  bool ok = true;
  switch (id) {
    case kZero: ok = engine_.Digit(0); break;
    case kOne: ok = engine_.Digit(1); break;
    case kTwo: ok = engine_.Digit(2); break;
    case kThree: ok = engine_.Digit(3); break;
    case kFour: ok = engine_.Digit(4); break;
    case kFive: ok = engine_.Digit(5); break;
    case kSix: ok = engine_.Digit(6); break;
    case kSeven: ok = engine_.Digit(7); break;
    case kEight: ok = engine_.Digit(8); break;
    case kNine: ok = engine_.Digit(9); break;
    case kPoint: ok = engine_.Point(); break;
    case kBack: engine_.Back(); break;
    case kSign: engine_.ChangeSign(); break;
    case kClearEntry: engine_.ClearEntry(); break;
    case kClear: engine_.Clear(); break;
    case kPlus: engine_.Operator('+'); break;
    case kMinus: engine_.Operator('-'); break;
    case kTimes: engine_.Operator('*'); break;
    case kDivide: engine_.Operator('/'); break;
    case kEquals: engine_.Equals(); break;
    case kMemClear: engine_.MemoryClear(); break;
    case kMemAdd: engine_.MemoryAdd(); break;
    case kMemSubtract: engine_.MemorySubtract(); break;
    case kMemRecall: engine_.MemoryRecall(); break;
    default: return;
  }
  if (!ok) gui::MessageBeep(0);
  Show();
}

bool TDCalc::CanClose() {
  engine_.Equals();
  Show();
  return true;
}

bool RunCalculatorOn(MEdit& edit, std::string& result) {
  TDCalc calc(edit.Parent(), &edit);
  if (calc.Execute(kTaskModal) != gui::IDOK) return false;
  result = calc.DisplayText();
  return true;
}
