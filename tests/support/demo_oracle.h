// The independent oracle of a generated dossier (check_demo.py beside this file): it reads the
// files with python3-dbfread and prints "OK ..." or the faults it finds.
#pragma once

#include <string>

namespace test_support {

inline std::string DemoOracle() { return std::string(MERLON_SOURCE_DIR) + "/tests/support/check_demo.py"; }

}  // namespace test_support
