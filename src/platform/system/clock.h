// Local time, a millisecond tick count and the beep.
#pragma once

#include <cstdint>

namespace platform {

struct LocalTime {
  int year = 0;         // full year, e.g. 2026
  int month = 0;        // 1-12
  int day = 0;          // 1-31
  int hour = 0;         // 0-23
  int minute = 0;
  int second = 0;
  int millisecond = 0;
  int dayOfWeek = 0;    // 0 = Sunday
};

LocalTime GetLocalTime();

// Milliseconds since an arbitrary start, wrapping like a 32-bit counter.
std::uint32_t GetTickCount();

// The beep goes through a hook that the window layer fills. Without one
// nothing happens. The type is the old platform's beep type (0 = default).
using BeepHook = void (*)(unsigned type);
void SetBeepHook(BeepHook hook);
BeepHook GetBeepHook();
void MessageBeep(unsigned type = 0);

}  // namespace platform
