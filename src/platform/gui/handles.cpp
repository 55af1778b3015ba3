#include "platform/gui/handles.h"

#include <unordered_map>

namespace gui {
namespace {

// Handles start well above small numbers so that a stray count or id is never
// mistaken for one, and stay below 10 digits, so that a handle written in a
// 10-character field of the open-window registry always leaves its first
// character blank (the lookup answer mark goes there).
constexpr Handle kFirstHandle = 0x00100000;
constexpr Handle kLastHandle = 999999999;

struct Table {
  Handle next = kFirstHandle;
  std::unordered_map<Handle, Window*> live;
};

Table& TheTable() {
  static Table table;
  return table;
}

}  // namespace

namespace handles {

Handle Register(Window* window) {
  Table& t = TheTable();
  if (window == nullptr || t.next == 0) return 0;
  Handle h = t.next;
  t.next = (t.next >= kLastHandle) ? 0 : t.next + 1;
  t.live.emplace(h, window);
  return h;
}

void Unregister(Handle handle) { TheTable().live.erase(handle); }

Window* Find(Handle handle) {
  if (handle == 0) return nullptr;
  auto& live = TheTable().live;
  auto it = live.find(handle);
  return it == live.end() ? nullptr : it->second;
}

std::size_t LiveCount() { return TheTable().live.size(); }

}  // namespace handles

bool IsWindow(Handle handle) { return handles::Find(handle) != nullptr; }

}  // namespace gui
