#include "shell/single_instance.h"

#include <cstdio>

#include "platform/gui/application.h"
#include "platform/gui/constants.h"

std::string RuntimeFolder() { return platform::UserRuntimeFolder(); }

SingleInstanceGuard::Result SingleInstanceGuard::Acquire(const std::string& folder) {
  switch (lock_.Acquire(folder + "/ZEL")) {
    case platform::FileLock::Result::Acquired: return Result::Acquired;
    case platform::FileLock::Result::Busy: return Result::AlreadyRunning;
    default: return Result::Unavailable;
  }
}

namespace {
// Before any window exists the beep is the terminal's bell.
void StartBeep(unsigned type) {
  gui::MessageBeep(type);
  if (gui::Application::Current() == nullptr) {
    std::fputc('\a', stderr);
    std::fflush(stderr);
  }
}
}  // namespace

bool EnsureSingleInstance(SingleInstanceGuard& guard) {
  if (guard.Acquire() == SingleInstanceGuard::Result::Acquired) return true;
  StartBeep(0);
  StartBeep(gui::MB_ICONHAND);
  return false;
}
