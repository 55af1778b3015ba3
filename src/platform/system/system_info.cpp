#include "platform/system/system_info.h"

#include <sys/utsname.h>

namespace platform {

std::string OperatingSystemText() {
  utsname u{};
  if (uname(&u) != 0 || u.sysname[0] == '\0') return "Linux";
  return std::string(u.sysname) + " " + u.release;
}

}  // namespace platform
