#include "platform/system/clock.h"

#include <ctime>

namespace platform {

LocalTime GetLocalTime() {
  timespec ts{};
  clock_gettime(CLOCK_REALTIME, &ts);
  std::tm tm{};
  time_t secs = ts.tv_sec;
  localtime_r(&secs, &tm);
  LocalTime t;
  t.year = tm.tm_year + 1900;
  t.month = tm.tm_mon + 1;
  t.day = tm.tm_mday;
  t.hour = tm.tm_hour;
  t.minute = tm.tm_min;
  t.second = tm.tm_sec;
  t.millisecond = static_cast<int>(ts.tv_nsec / 1000000);
  t.dayOfWeek = tm.tm_wday;
  return t;
}

std::uint32_t GetTickCount() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  auto ms = static_cast<unsigned long long>(ts.tv_sec) * 1000ULL +
            static_cast<unsigned long long>(ts.tv_nsec / 1000000);
  return static_cast<std::uint32_t>(ms);
}

namespace {
BeepHook g_beep = nullptr;
}

void SetBeepHook(BeepHook hook) { g_beep = hook; }
BeepHook GetBeepHook() { return g_beep; }

void MessageBeep(unsigned type) {
  if (g_beep) g_beep(type);
}

}  // namespace platform
