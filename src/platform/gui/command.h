// Commands between windows: command enablers, response tables, and the
// posted (queued) and sent (synchronous) messages addressed by handle.
#pragma once

#include "platform/gui/window_users.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/gui/constants.h"
#include "platform/gui/handles.h"

namespace gui {

class Window;

// What an enabler decides about one command: enabled, check state, text.
class CommandEnabler {
 public:
  explicit CommandEnabler(unsigned id) : id_(id) {}
  unsigned Id() const { return id_; }

  void Enable(bool enable = true) { enabled_ = enable; handled_ = true; }
  void SetCheck(int state) { check_ = state; checkSet_ = true; }
  void SetText(const std::string& cp1252) { text_ = cp1252; textSet_ = true; }

  bool Enabled() const { return enabled_; }
  int Check() const { return check_; }
  bool CheckSet() const { return checkSet_; }
  const std::string& Text() const { return text_; }
  bool TextSet() const { return textSet_; }
  // True once a window in the command chain answered for this command.
  bool Handled() const { return handled_; }
  void MarkHandled() { handled_ = true; }

 private:
  unsigned id_;
  bool enabled_ = false;
  bool handled_ = false;
  int check_ = CHECK_UNCHECKED;
  bool checkSet_ = false;
  std::string text_;
  bool textSet_ = false;
};

// Maps command ids to the handlers and enablers of one window class. A table
// chains to its base class's table; the nearest entry wins.
//
//   const gui::ResponseTable& MyList::Table() {
//     static const gui::ResponseTable table =
//         gui::ResponseTable(&gui::MDIChild::Table())
//             .Command(child_command::Imprimer, &MyList::CmPrint)
//             .Enable(child_command::Imprimer, &MyList::CePrint);
//     return table;
//   }
//   const gui::ResponseTable& MyList::Responses() const { return Table(); }
class ResponseTable {
 public:
  using Handler = std::function<void(Window&, unsigned id)>;
  using Enabler = std::function<void(Window&, CommandEnabler&)>;

  explicit ResponseTable(const ResponseTable* base = nullptr) : base_(base) {}

  template <class T>
  ResponseTable& Command(unsigned id, void (T::*fn)()) {
    return AddHandler(id, id, [fn](Window& w, unsigned) { (static_cast<T&>(w).*fn)(); });
  }
  // One handler for a range of ids; it receives the id.
  template <class T>
  ResponseTable& CommandRange(unsigned first, unsigned last, void (T::*fn)(unsigned)) {
    return AddHandler(first, last, [fn](Window& w, unsigned id) { (static_cast<T&>(w).*fn)(id); });
  }
  template <class T>
  ResponseTable& Enable(unsigned id, void (T::*fn)(CommandEnabler&)) {
    return AddEnabler(id, id, [fn](Window& w, CommandEnabler& ce) { (static_cast<T&>(w).*fn)(ce); });
  }
  template <class T>
  ResponseTable& EnableRange(unsigned first, unsigned last, void (T::*fn)(CommandEnabler&)) {
    return AddEnabler(first, last, [fn](Window& w, CommandEnabler& ce) { (static_cast<T&>(w).*fn)(ce); });
  }

  ResponseTable& AddHandler(unsigned first, unsigned last, Handler handler);
  ResponseTable& AddEnabler(unsigned first, unsigned last, Enabler enabler);

  // Searches this table, then the base tables.
  const Handler* FindHandler(unsigned id) const;
  const Enabler* FindEnabler(unsigned id) const;

 private:
  struct HandlerEntry { unsigned first, last; Handler fn; };
  struct EnablerEntry { unsigned first, last; Enabler fn; };
  const ResponseTable* base_;
  std::vector<HandlerEntry> handlers_;
  std::vector<EnablerEntry> enablers_;
};

// Queues a message for the window of `handle`; it is delivered after the
// current handler returns, in the order of posting. False (and nothing is
// queued) when the handle is stale; a window destroyed before delivery
// never receives it.
bool PostMessage(Handle handle, unsigned msg, std::uintptr_t wParam = 0, std::intptr_t lParam = 0);
// Delivers a message now and returns the window's answer; 0 for a stale
// handle (check IsWindow first when 0 is a meaningful answer).
std::intptr_t SendMessage(Handle handle, unsigned msg, std::uintptr_t wParam = 0, std::intptr_t lParam = 0);

inline bool PostCommand(Handle handle, unsigned id) { return PostMessage(handle, WM_COMMAND, id, 0); }
// True when the window existed; the command ran when a handler took it.
bool SendCommand(Handle handle, unsigned id);

// The command the pointer is on: a menu item highlighted or a toolbar button
// pointed; 0 when it leaves them (the menu closes, the pointer leaves the
// bar, a pop-up title is highlighted). The program shows the command's hint.
void SetCommandHoverHook(std::function<void(unsigned id)> hook);
void NoteCommandHover(unsigned id);

// Delivers every message posted so far (and those they post in turn), then
// runs the idle work once. For tests and for long runs that keep the window
// system alive; never blocks.
void ProcessPendingMessages();

}  // namespace gui
