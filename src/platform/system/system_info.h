// What the about box says of the operating system.
#pragma once

#include <string>

namespace platform {

// The system's name and release ("Linux 6.1.0-18-amd64"); "Linux" alone
// when the kernel does not say.
std::string OperatingSystemText();

}  // namespace platform
