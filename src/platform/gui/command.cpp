#include "platform/gui/command.h"

#include <QCoreApplication>
#include <QEvent>
#include <QObject>

#include "platform/gui/application.h"
#include "platform/gui/window.h"

namespace gui {

ResponseTable& ResponseTable::AddHandler(unsigned first, unsigned last, Handler handler) {
  handlers_.push_back({first, last, std::move(handler)});
  return *this;
}

ResponseTable& ResponseTable::AddEnabler(unsigned first, unsigned last, Enabler enabler) {
  enablers_.push_back({first, last, std::move(enabler)});
  return *this;
}

const ResponseTable::Handler* ResponseTable::FindHandler(unsigned id) const {
  for (const ResponseTable* t = this; t != nullptr; t = t->base_)
    for (const HandlerEntry& e : t->handlers_)
      if (id >= e.first && id <= e.last) return &e.fn;
  return nullptr;
}

const ResponseTable::Enabler* ResponseTable::FindEnabler(unsigned id) const {
  for (const ResponseTable* t = this; t != nullptr; t = t->base_)
    for (const EnablerEntry& e : t->enablers_)
      if (id >= e.first && id <= e.last) return &e.fn;
  return nullptr;
}

namespace {

const QEvent::Type kMessageEvent = static_cast<QEvent::Type>(QEvent::registerEventType());

struct MessageEvent : QEvent {
  MessageEvent(Handle h, unsigned m, std::uintptr_t w, std::intptr_t l)
      : QEvent(kMessageEvent), handle(h), msg(m), wParam(w), lParam(l) {}
  Handle handle;
  unsigned msg;
  std::uintptr_t wParam;
  std::intptr_t lParam;
};

int pendingMessages = 0;   // posted, not yet delivered
unsigned long postedCount = 0;  // every message posted so far

// Receives every posted message; Qt keeps posted events of one thread in
// posting order, so messages arrive in the order they were posted.
class Dispatcher : public QObject {
 public:
  bool event(QEvent* e) override {
    if (e->type() != kMessageEvent) return QObject::event(e);
    auto* m = static_cast<MessageEvent*>(e);
    --pendingMessages;
    if (Window* w = handles::Find(m->handle)) {
      w->WindowProc(m->msg, m->wParam, m->lParam);
      Application::NoteActivity();
    }
    return true;
  }
};

Dispatcher& TheDispatcher() {
  static Dispatcher* d = new Dispatcher;  // lives for the run
  return *d;
}

}  // namespace

bool PostMessage(Handle handle, unsigned msg, std::uintptr_t wParam, std::intptr_t lParam) {
  if (!IsWindow(handle) || QCoreApplication::instance() == nullptr) return false;
  ++pendingMessages;
  ++postedCount;
  QCoreApplication::postEvent(&TheDispatcher(), new MessageEvent(handle, msg, wParam, lParam));
  return true;
}

std::intptr_t SendMessage(Handle handle, unsigned msg, std::uintptr_t wParam, std::intptr_t lParam) {
  Window* w = handles::Find(handle);
  if (w == nullptr) return 0;
  return w->WindowProc(msg, wParam, lParam);
}

bool SendCommand(Handle handle, unsigned id) {
  Window* w = handles::Find(handle);
  if (w == nullptr) return false;
  w->WindowProc(WM_COMMAND, id, 0);
  return true;
}

namespace {
std::function<void(unsigned)>& HoverHook() {
  static std::function<void(unsigned)> hook;
  return hook;
}
}  // namespace

void SetCommandHoverHook(std::function<void(unsigned id)> hook) { HoverHook() = std::move(hook); }

void NoteCommandHover(unsigned id) {
  if (HoverHook()) HoverHook()(id);
}

void ProcessPendingMessages() {
  if (QCoreApplication::instance() == nullptr) return;
  // One round delivers the queued messages, then one pass of the event loop
  // (events those handlers caused, timers, window-system events) and the
  // deferred deletes. Another round runs only while messages are still
  // queued or were posted during the round; a repaint asked for during the
  // round is delivered at its end. Bounded: a window that keeps posting to
  // itself cannot hang the caller.
  for (int round = 0; round < 1000; ++round) {
    const unsigned long postedBefore = postedCount;
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    if (pendingMessages > 0 || postedCount != postedBefore) continue;
    QCoreApplication::sendPostedEvents(nullptr, QEvent::UpdateRequest);
    break;
  }
  if (Application* app = Application::Current()) app->RunIdle();
  else Application::RunWindowIdleHandlers();
}

}  // namespace gui
