// The operating system's error numbers in French, for the messages that
// quote them (the C library's own texts follow the locale, English here).
#pragma once

#include <string>

namespace platform {

// The French text of `err` (an errno value), in cp1252, without a final
// full stop; an unknown number gives "erreur du système n° <err>".
std::string ErrorText(int err);

}  // namespace platform
