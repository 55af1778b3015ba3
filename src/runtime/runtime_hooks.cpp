#include "runtime/runtime_hooks.h"

#include "platform/system/clock.h"

namespace {

ShownMessage g_last;

int DefaultMessage(const char* caption, const char* text, unsigned style) {
  g_last.caption = caption ? caption : "";
  g_last.text = text ? text : "";
  g_last.style = style;
  ++g_last.count;
  return 1;
}

void DefaultBeep(unsigned type) { platform::MessageBeep(type); }

RuntimeMessageHook g_message = DefaultMessage;
RuntimeBeepHook g_beep = DefaultBeep;

}  // namespace

void SetRuntimeMessageHook(RuntimeMessageHook hook) { g_message = hook ? hook : DefaultMessage; }
void SetRuntimeBeepHook(RuntimeBeepHook hook) { g_beep = hook ? hook : DefaultBeep; }
int RuntimeMessage(const char* caption, const char* text, unsigned style) {
  return g_message(caption, text, style);
}
void RuntimeBeep(unsigned type) { g_beep(type); }
const ShownMessage& LastRuntimeMessage() { return g_last; }
void ClearRuntimeMessages() { g_last = ShownMessage{}; }
