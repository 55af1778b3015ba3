// The program environment of a report run that has windows: prompts in the input dialog, beeps
// and warnings as message boxes owned by the run's window, the printer's names, and the
// templates of the report set the run reads (the preview's set of option 5, or the print
// set of the printer in use).
#pragma once

#include <string>

#include "reports/engine/core/report_environment.h"
#include "reports/engine/core/template_loader.h"

namespace gui {
class Window;
}

// Templates of the program's report sets, looked up when asked (the set in use may change
// between runs): the preview's set (TableCE0, option 5) or the print set (TableCE1, option 6,
// or 7 on the second printer).
class ProgramTemplateSource : public reports::TemplateSource {
 public:
  explicit ProgramTemplateSource(bool printSet) : printSet_(printSet) {}
  bool FindTemplate(const std::string& code, std::string& text) override;
  // The set letter in use.
  char SetLetter() const;

 private:
  bool printSet_;
};

// Letter of the print set: option 7 when option 8 sends the printouts to the second printer,
// else option 6.
char PrintSetLetter();

class WindowReportEnvironment : public reports::DossierReportEnvironment {
 public:
  WindowReportEnvironment(bool printSet, gui::Window* owner);

  // The input dialog (1305) with the prompt "nn,text"; it has OK only.
  bool AskValue(const std::string& format, std::string& value) override;
  void Beep() override;
  void Warn(const std::string& caption, const std::string& text) override;
  ::Table* DossierTable(reports::DossierTableId id) override;
  // [DDev] [DOut] [DDrv]: the program's printer.
  std::string PrinterName(int which) override;
  void StepCursor() override;

  void SetOwner(gui::Window* owner) { owner_ = owner; }

 private:
  ProgramTemplateSource templates_;
  bool printSet_;
  gui::Window* owner_;
};
