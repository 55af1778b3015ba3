// The check of a layout against its report family, without data: what the interpreter would
// print as "?statement?" (an unknown statement, a variable the family does not declare), the
// line-type blocks that no letter of the family selects, and the header directives and
// statements that the family's window does not act on. The family is described by its
// fixture (report_fixture.h: its variables, letters, list types and the statements it reads).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "report_fixture.h"

namespace reports {

struct TemplateProblem {
  int line = 0;         // 1-based line of the template
  std::string message;  // French, cp1252
};

// The problems of a template (cp1252, lines ended by CR LF), in the order of the text.
std::vector<TemplateProblem> CheckTemplate(std::string_view templateText, const ReportFixture& family);

// True when the interpreter recognises the statement (trimmed, lower-cased, without its
// brackets) as one of its own; `htmlMode`: an [HTML] statement stands before it.
bool IsKnownStatement(std::string_view statement, bool htmlMode);

}  // namespace reports
