// Hooks through which runtime functions beep and show messages. The window
// layer fills them when it starts; until then the beep goes to the system
// layer's hook and a message is only remembered (tests read it back).
#pragma once

#include <string>

// Message box styles used by the runtime (values of the old platform).
constexpr unsigned kMbOk = 0x0000;
constexpr unsigned kMbIconStop = 0x0010;
constexpr unsigned kMbIconExclamation = 0x0030;
constexpr unsigned kMbIconInformation = 0x0040;

using RuntimeMessageHook = int (*)(const char* caption, const char* text, unsigned style);
using RuntimeBeepHook = void (*)(unsigned type);

void SetRuntimeMessageHook(RuntimeMessageHook hook);  // null = back to the default
void SetRuntimeBeepHook(RuntimeBeepHook hook);        // null = back to the default

// Shows a message through the hook; returns the hook's answer (1 = OK by default).
int RuntimeMessage(const char* caption, const char* text, unsigned style);
void RuntimeBeep(unsigned type = 0);

// What the default message hook saw last (empty when nothing was shown).
struct ShownMessage {
  std::string caption;
  std::string text;
  unsigned style = 0;
  int count = 0;  // messages shown through the default hook so far
};
const ShownMessage& LastRuntimeMessage();
void ClearRuntimeMessages();
