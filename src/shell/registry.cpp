#include "shell/registry.h"

#include <cstdlib>
#include <string>

#include "platform/gui/command.h"
#include "platform/gui/constants.h"
#include "platform/gui/mdi.h"
#include "platform/gui/statusbar.h"
#include "runtime/code_helpers.h"
#include "runtime/session_registry.h"
#include "runtime/xbase.h"
#include "shell/application.h"
#include "shell/mdi_client.h"

namespace {

void BringForward(gui::Window& w) {
  if (w.IsIconic()) w.Show(gui::SW_SHOWNORMAL);
  if (auto* child = dynamic_cast<gui::MDIChild*>(&w)) child->Activate();
  else w.BringToTop();
  w.EnableWindow(true);
  w.SetFocus();
}

bool ShellWindowAction(WindowAction action, unsigned long handle) {
  const auto h = static_cast<gui::Handle>(handle);
  switch (action) {
    case WindowAction::BringForward:
      if (gui::Window* w = gui::Window::FromHandle(h)) BringForward(*w);
      return true;
    case WindowAction::SendClose:
      // The close message alone: the window asks its own questions and may
      // refuse; it is never destroyed behind its back.
      if (!gui::IsWindow(h)) return true;
      gui::SendMessage(h, gui::WM_CLOSE);
      return !gui::IsWindow(h);
    case WindowAction::PostClose:
      gui::PostMessage(h, gui::WM_CLOSE);
      return true;
  }
  return true;
}

}  // namespace

void ClearOpenWindowRegistry() {
  EnsureOpenWindowRegistry();
  std::string handle = RegistryText(kRegistryMainHandle, kRegistryHandleWidth);
  SetRegistryText(1, kRegistryKeptFrom - 1, "");
  SetRegistryText(kRegistryMainHandle, kRegistryHandleWidth, handle);
  SetDossierState(' ');
  if (MessageBar != nullptr) MessageBar->SetText("");
}

gui::Handle SlotHandle(int p) {
  std::string text = RegistryText(p + 1, kRegistryHandleWidth);
  long value = std::atol(text.c_str());
  return value > 0 ? static_cast<gui::Handle>(value) : 0;
}

void RegisterWindowSlot(int p, gui::Handle handle) {
  SetRegistryText(p, 1, "1");
  SetRegistryText(p + 1, kRegistryHandleWidth, StrNum10(handle));
}

bool ActivateExistingChild(int p) {
  char flag = RegistryChar(p);
  if (flag != '1' && flag != 'R') return false;
  gui::Handle handle = SlotHandle(p);
  gui::Window* w = gui::Window::FromHandle(handle);
  if (handle != 0 && w == nullptr) {
    // The window ended without blanking its slot: open a new one rather
    // than leave the command dead for the rest of the run.
    SetRegistryText(p, 1, " ");
    return false;
  }
  SetRegistryText(p, 1, "1");
  if (w == nullptr) return true;  // built, its handle not written yet
  gui::MDIChild* active = CommandWindow != nullptr ? CommandWindow->GetActiveMDIChild() : nullptr;
  if (w->IsIconic()) w->Show(gui::SW_SHOWNORMAL);
  if (active == nullptr || active->GetHandle() != handle) {
    if (auto* child = dynamic_cast<gui::MDIChild*>(w)) child->Activate();
    else w->BringToTop();
  }
  w->EnableWindow(true);
  w->SetFocus();
  return true;
}

void InstallRegistryWindowHooks() { SetWindowActionHook(&ShellWindowAction); }
