#include "masterdata/core/code_kinds.h"

#include <cstring>

namespace masterdata {

bool IsCodeListKind(char kind) { return kind != '\0' && std::strchr("QBTEJLMV", kind) != nullptr; }

}  // namespace masterdata
