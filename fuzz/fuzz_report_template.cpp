// Loads a template the way a report run does: imports merged (the input also names the
// templates it imports), layout attributes read, the line count of a pass taken for each
// line-type letter. Nothing may crash, hang or read out of bounds.
#include <cstdint>
#include <string>

#include "reports/engine/core/report_interpreter.h"
#include "reports/engine/core/template_loader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  // The input is the report "A"; its first and second halves are the reports "B" and "C".
  reports::MapTemplateSource source;
  source.Add("A", text);
  source.Add("B", text.substr(0, text.size() / 2));
  source.Add("C", text.substr(text.size() / 2));
  reports::LoadedTemplate loaded;
  if (reports::LoadTemplate(source, "A", loaded)) {
    if (loaded.text.size() > reports::kTemplateLimit + 16) __builtin_trap();
    reports::ListTypeOfTemplate(loaded.text);
    for (char letter : {'\0', 'a', 'b', 'z', '@'}) {
      reports::ReportInterpreter::CountLinesForRupture(loaded.text, letter, '@');
    }
  }
  reports::MergeImports(source, text);
  return 0;
}
