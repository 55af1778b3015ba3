#include "platform/gui/keyboard.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <bitset>

#include "platform/gui/constants.h"

namespace gui {
namespace {

struct KeyState {
  std::bitset<256> down;
  bool scroll = false;
  bool caps = false;
  bool num = true;
  bool overtype = false;
  // Test overrides of Shift, Ctrl, Alt: -1 read the window system, else 0/1.
  int shift = -1, control = -1, alt = -1;
  // Keystrokes: the keys pressed and not yet released, wherever they went, and each key's last keystroke.
  std::bitset<256> struck;
  unsigned strokes[256] = {};
};

int* ModifierOverride(KeyState& s, int vk) {
  switch (vk) {
    case VK_SHIFT: return &s.shift;
    case VK_CONTROL: return &s.control;
    case VK_MENU: return &s.alt;
    default: return nullptr;
  }
}

KeyState& State() {
  static KeyState s;
  return s;
}

struct KeyPair {
  int qt;
  int vk;
};

constexpr KeyPair kKeys[] = {
    {Qt::Key_Backspace, VK_BACK},   {Qt::Key_Tab, VK_TAB},         {Qt::Key_Backtab, VK_TAB},
    {Qt::Key_Return, VK_RETURN},    {Qt::Key_Enter, VK_RETURN},    {Qt::Key_Shift, VK_SHIFT},
    {Qt::Key_Control, VK_CONTROL},  {Qt::Key_Alt, VK_MENU},        {Qt::Key_Pause, VK_PAUSE},
    {Qt::Key_CapsLock, VK_CAPITAL}, {Qt::Key_Escape, VK_ESCAPE},   {Qt::Key_Space, VK_SPACE},
    {Qt::Key_PageUp, VK_PRIOR},     {Qt::Key_PageDown, VK_NEXT},   {Qt::Key_End, VK_END},
    {Qt::Key_Home, VK_HOME},        {Qt::Key_Left, VK_LEFT},       {Qt::Key_Up, VK_UP},
    {Qt::Key_Right, VK_RIGHT},      {Qt::Key_Down, VK_DOWN},       {Qt::Key_Insert, VK_INSERT},
    {Qt::Key_Delete, VK_DELETE},    {Qt::Key_NumLock, VK_NUMLOCK}, {Qt::Key_ScrollLock, VK_SCROLL},
    {Qt::Key_twosuperior, VK_OEM_7}};

}  // namespace

int VirtualKeyFromQtKey(int qtKey, bool keypad) {
  if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F12) return VK_F1 + (qtKey - Qt::Key_F1);
  if (keypad) {
    if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9) return VK_NUMPAD0 + (qtKey - Qt::Key_0);
    switch (qtKey) {
      case Qt::Key_Asterisk: return VK_MULTIPLY;
      case Qt::Key_Plus: return VK_ADD;
      case Qt::Key_Minus: return VK_SUBTRACT;
      case Qt::Key_Period:
      case Qt::Key_Comma: return VK_DECIMAL;
      case Qt::Key_Slash: return VK_DIVIDE;
      default: break;
    }
  }
  if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9) return qtKey;  // same codes
  if (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z) return qtKey;  // same codes
  for (const KeyPair& k : kKeys)
    if (k.qt == qtKey) return k.vk;
  return 0;
}

short GetKeyState(int vk) {
  KeyState& s = State();
  bool down = false;
  const int* held = ModifierOverride(s, vk);
  if (held != nullptr && *held >= 0) {
    down = *held == 1;
  } else if (held != nullptr) {
    const Qt::KeyboardModifiers mods = QGuiApplication::queryKeyboardModifiers();
    down = mods.testFlag(vk == VK_SHIFT     ? Qt::ShiftModifier
                         : vk == VK_CONTROL ? Qt::ControlModifier
                                            : Qt::AltModifier);
  } else {
    down = vk >= 0 && vk < 256 && s.down.test(static_cast<size_t>(vk));
  }
  bool toggled = false;
  switch (vk) {
    case VK_CAPITAL: toggled = IsCapsLockOn(); break;
    case VK_NUMLOCK: toggled = IsNumLockOn(); break;
    case VK_SCROLL: toggled = IsScrollLockOn(); break;
    case VK_INSERT: toggled = s.overtype; break;
    default: break;
  }
  return static_cast<short>((down ? 0x8000 : 0) | (toggled ? 1 : 0));
}

void SetModifierKeyDown(int vk, bool down) {
  if (int* held = ModifierOverride(State(), vk)) *held = down ? 1 : 0;
}

void ClearModifierKeyOverrides() {
  KeyState& s = State();
  s.shift = s.control = s.alt = -1;
}

bool IsScrollLockOn() { return State().scroll; }
void SetScrollLockOn(bool on) { State().scroll = on; }
bool IsCapsLockOn() { return State().caps; }
void SetCapsLockOn(bool on) { State().caps = on; }
bool IsNumLockOn() { return State().num; }
void SetNumLockOn(bool on) { State().num = on; }
bool IsOvertypeOn() { return State().overtype; }
void SetOvertypeOn(bool on) { State().overtype = on; }

void NoteKeyDown(int vk) {
  KeyState& s = State();
  if (vk <= 0 || vk >= 256) return;
  bool wasDown = s.down.test(static_cast<size_t>(vk));
  s.down.set(static_cast<size_t>(vk));
  if (wasDown) return;  // auto-repeat does not toggle
  switch (vk) {
    case VK_SCROLL: s.scroll = !s.scroll; break;
    case VK_CAPITAL: s.caps = !s.caps; break;
    case VK_NUMLOCK: s.num = !s.num; break;
    case VK_INSERT: s.overtype = !s.overtype; break;
    default: break;
  }
}

void NoteKeyUp(int vk) {
  if (vk > 0 && vk < 256) State().down.reset(static_cast<size_t>(vk));
}

unsigned NoteKeyPress(int vk) {
  KeyState& s = State();
  if (vk <= 0 || vk >= 256) return 0;
  const auto at = static_cast<size_t>(vk);
  if (!s.struck.test(at)) {
    s.struck.set(at);
    ++s.strokes[at];
  }
  return s.strokes[at];
}

void NoteKeyRelease(int vk) {
  if (vk > 0 && vk < 256) State().struck.reset(static_cast<size_t>(vk));
}

unsigned KeyStroke(int vk) { return vk > 0 && vk < 256 ? State().strokes[static_cast<size_t>(vk)] : 0; }

namespace {

// Sees each key event at every step of its way, the first being the window system's window, which no filter
// of the program takes a key from: the presses that a menu, a box or an accelerator takes are counted too.
// An auto-repeated press or release belongs to the keystroke held.
class KeystrokeWatch : public QObject {
 public:
  bool eventFilter(QObject*, QEvent* e) override {
    if (e->type() != QEvent::KeyPress && e->type() != QEvent::KeyRelease) return false;
    const auto* k = static_cast<QKeyEvent*>(e);
    if (k->isAutoRepeat()) return false;
    const int vk = VirtualKeyFromQtKey(k->key(), k->modifiers().testFlag(Qt::KeypadModifier));
    if (e->type() == QEvent::KeyPress) NoteKeyPress(vk);
    else NoteKeyRelease(vk);
    return false;
  }
};

}  // namespace

void WatchKeystrokes() {
  static KeystrokeWatch* watch = nullptr;
  if (watch != nullptr || QCoreApplication::instance() == nullptr) return;
  watch = new KeystrokeWatch;
  QCoreApplication::instance()->installEventFilter(watch);
}

}  // namespace gui
