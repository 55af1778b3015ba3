#include "platform/gui/keyboard.h"

#include <QGuiApplication>
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
};

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
  Qt::KeyboardModifiers mods = QGuiApplication::queryKeyboardModifiers();
  switch (vk) {
    case VK_SHIFT: down = mods.testFlag(Qt::ShiftModifier); break;
    case VK_CONTROL: down = mods.testFlag(Qt::ControlModifier); break;
    case VK_MENU: down = mods.testFlag(Qt::AltModifier); break;
    default: down = vk >= 0 && vk < 256 && s.down.test(static_cast<size_t>(vk)); break;
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

}  // namespace gui
