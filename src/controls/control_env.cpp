#include "controls/control_env.h"

#include "platform/gui/command.h"
#include "platform/gui/constants.h"
#include "platform/gui/controls.h"
#include "platform/gui/dialog.h"
#include "platform/gui/keyboard.h"

#include <algorithm>

namespace {

long gOwnHelpContext = 0;
std::string gOwnOptions;

const gui::Pen& OwnPen(gui::ColorRef c) {
  // One pen per colour, made once.
  static gui::Pen red = gui::Pen::Solid(gui::colors::LtRed);
  static gui::Pen blue = gui::Pen::Solid(gui::colors::LtBlue);
  static gui::Pen white = gui::Pen::Solid(gui::colors::White);
  static gui::Pen gray = gui::Pen::Solid(gui::colors::Gray);
  if (c == gui::colors::LtRed) return red;
  if (c == gui::colors::LtBlue) return blue;
  if (c == gui::colors::White) return white;
  return gray;
}

bool CanTakeFocus(gui::Window* w) {
  auto* c = dynamic_cast<gui::Control*>(w);
  if (c == nullptr || !c->IsCreated()) return false;
  if (dynamic_cast<gui::Static*>(c) != nullptr || dynamic_cast<gui::GroupBox*>(c) != nullptr) return false;
  return c->IsWindowEnabled() && c->IsWindowVisible();
}

}  // namespace

ControlEnvironment& ControlEnv() {
  static ControlEnvironment env;
  return env;
}

long& HelpContext() {
  ControlEnvironment& env = ControlEnv();
  return env.helpContext != nullptr ? *env.helpContext : gOwnHelpContext;
}

char ProgramOptionAt(int position) {
  const ControlEnvironment& env = ControlEnv();
  const std::string& o = env.programOptions != nullptr ? *env.programOptions : gOwnOptions;
  if (position < 1 || position > static_cast<int>(o.size())) return ' ';
  return o[static_cast<std::size_t>(position - 1)];
}

bool FrameFocusedControls() { return ProgramOptionAt(16) == 'O'; }
bool SelectWholeTextOnFocus() { return ProgramOptionAt(14) == 'O'; }

const gui::Pen& LightRedPen() {
  const auto* p = ControlEnv().penLightRed;
  return p != nullptr ? *p : OwnPen(gui::colors::LtRed);
}
const gui::Pen& LightBluePen() {
  const auto* p = ControlEnv().penLightBlue;
  return p != nullptr ? *p : OwnPen(gui::colors::LtBlue);
}
const gui::Pen& WhitePen() {
  const auto* p = ControlEnv().penWhite;
  return p != nullptr ? *p : OwnPen(gui::colors::White);
}
const gui::Pen& GrayPen() {
  const auto* p = ControlEnv().penGray;
  return p != nullptr ? *p : OwnPen(gui::colors::Gray);
}
const gui::Font* SharedAssistFont() { return ControlEnv().assistFont; }
const gui::Font* SharedEntryFontFixed() { return ControlEnv().entryFontFixed; }

void PostCommandTo(gui::Window* window, unsigned id) {
  if (window != nullptr && window->IsCreated()) gui::PostMessage(window->GetHandle(), gui::WM_COMMAND, id, 0);
}

void PostCommandTo(gui::Handle handle, unsigned id) {
  if (handle != 0) gui::PostMessage(handle, gui::WM_COMMAND, id, 0);
}

void PostNextControl(gui::Window* control, bool previous) {
  if (control != nullptr && control->Parent() != nullptr && control->Parent()->IsCreated())
    gui::PostMessage(control->Parent()->GetHandle(), gui::WM_NEXTDLGCTL, previous ? 1 : 0, 0);
}

bool MoveFocusToNeighbour(gui::Window* from, bool previous) {
  if (from == nullptr || from->Parent() == nullptr) return false;
  gui::Window* parent = from->Parent();
  std::vector<gui::Window*> order;
  auto* dlg = dynamic_cast<gui::Dialog*>(parent);
  if (dlg != nullptr && dlg->Template() != nullptr) {
    for (const gui::ControlTemplate& item : dlg->Template()->controls)
      if (gui::Control* c = dlg->GetDlgItem(item.id)) order.push_back(c);
    // Controls made by code (not on the template) follow in creation order.
    for (gui::Window* w : parent->Children())
      if (std::find(order.begin(), order.end(), w) == order.end()) order.push_back(w);
  } else {
    order = parent->Children();
  }
  auto at = std::find(order.begin(), order.end(), from);
  if (at == order.end()) return false;
  const std::size_t n = order.size();
  std::size_t i = static_cast<std::size_t>(at - order.begin());
  for (std::size_t step = 1; step < n; ++step) {
    const std::size_t k = previous ? (i + n - step) % n : (i + step) % n;
    if (CanTakeFocus(order[k])) {
      order[k]->SetFocus();
      return true;
    }
  }
  return false;
}

void MoveFocusFromFocusedChild(gui::Window* parent, bool previous) {
  for (gui::Window* w : parent->Children())
    if (w->HasFocus()) {
      MoveFocusToNeighbour(w, previous);
      break;
    }
}

bool CtrlDown() { return gui::GetKeyState(gui::VK_CONTROL) < 0; }
bool ShiftDown() { return gui::GetKeyState(gui::VK_SHIFT) < 0; }

bool MTooltipEx::SetTip(const std::string& text) {
  if (tipSet_ || text.empty()) return false;
  auto* c = dynamic_cast<gui::Control*>(self_);
  if (c == nullptr) return false;
  c->SetToolTip(text);
  tipSet_ = true;
  return true;
}
