#include "shell/child_status.h"

#include <map>

#include "platform/gui/mdi.h"
#include "platform/gui/statusbar.h"
#include "shell/application.h"
#include "shell/mdi_client.h"

namespace {

struct ChildLines {
  std::map<gui::Handle, std::string> lines;  // the last line each child showed
  gui::Handle active = 0;                    // the active child when last followed
};

ChildLines& State() {
  static ChildLines state;
  return state;
}

}  // namespace

void ShowChildStatus(const gui::Window& child, const std::string& text) {
  State().lines[child.GetHandle()] = text;
  if (MessageBar != nullptr) MessageBar->SetText(text);
}

void FollowActiveChildStatus() {
  ChildLines& s = State();
  if (MessageBar == nullptr) return;
  gui::Window* child = CommandWindow != nullptr ? CommandWindow->GetActiveMDIChild() : nullptr;
  const gui::Handle active = child != nullptr ? child->GetHandle() : 0;
  if (active == s.active) {
    if (active != 0) s.lines[active] = MessageBar->GetText();
    return;
  }
  const auto left = s.lines.find(s.active);
  if (left != s.lines.end() && MessageBar->GetText() == left->second) MessageBar->SetText("");
  s.active = active;
  for (auto it = s.lines.begin(); it != s.lines.end();)
    it = gui::IsWindow(it->first) ? std::next(it) : s.lines.erase(it);
  const auto back = s.lines.find(active);
  if (back != s.lines.end() && MessageBar->GetText().empty()) MessageBar->SetText(back->second);
  if (active != 0) s.lines[active] = MessageBar->GetText();
}
