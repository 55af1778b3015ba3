#include "shell/child_status.h"

#include <algorithm>
#include <cstdint>
#include <map>
#include <vector>

#include "platform/gui/mdi.h"
#include "platform/gui/statusbar.h"
#include "shell/application.h"
#include "shell/mdi_client.h"
#include "shell/toolbar.h"

namespace {

using CommandList = std::vector<std::uint32_t>;

struct ChildShown {
  std::string line;  // the last status line the child showed
  CommandList bar;   // the last command list installed while it was active
};

struct ChildState {
  std::map<gui::Handle, ChildShown> shown;
  gui::Handle active = 0;  // the active child when last followed
};

ChildState& State() {
  static ChildState state;
  return state;
}

CommandList InstalledList() {
  const std::uint32_t n = std::min<std::uint32_t>(ToolbarCommandList[0], kToolbarListWords - 1);
  return CommandList(ToolbarCommandList + 1, ToolbarCommandList + 1 + n);
}

void Note(gui::Handle child) {
  if (child == 0) return;
  ChildShown& s = State().shown[child];
  if (MessageBar != nullptr) s.line = MessageBar->GetText();
  s.bar = InstalledList();
}

}  // namespace

void ShowChildStatus(const gui::Window& child, const std::string& text) {
  State().shown[child.GetHandle()].line = text;
  if (MessageBar != nullptr) MessageBar->SetText(text);
}

void FollowActiveChildStatus() {
  ChildState& s = State();
  gui::Window* child = CommandWindow != nullptr ? CommandWindow->GetActiveMDIChild() : nullptr;
  const gui::Handle active = child != nullptr ? child->GetHandle() : 0;
  if (active == s.active) {
    Note(active);
    return;
  }
  // What the child left behind and the new child did not replace as it became active.
  bool lineLeft = MessageBar != nullptr && MessageBar->GetText().empty();
  bool barLeft = InstalledList().empty();
  if (const auto left = s.shown.find(s.active); left != s.shown.end()) {
    if (MessageBar != nullptr && MessageBar->GetText() == left->second.line) {
      MessageBar->SetText("");
      lineLeft = true;
    }
    barLeft = barLeft || InstalledList() == left->second.bar;
  }
  s.active = active;
  for (auto it = s.shown.begin(); it != s.shown.end();)
    it = gui::IsWindow(it->first) ? std::next(it) : s.shown.erase(it);
  if (const auto back = s.shown.find(active); back != s.shown.end()) {
    if (lineLeft && MessageBar != nullptr) MessageBar->SetText(back->second.line);
    if (barLeft && !back->second.bar.empty()) BuildToolbar(back->second.bar, true);
  }
  Note(active);
}
