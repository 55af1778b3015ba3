#include "reports/engine/window_environment.h"

#include "data/session.h"
#include "data/table.h"
#include "framework/fmt_saisie.h"
#include "platform/gui/application.h"
#include "platform/gui/constants.h"
#include "platform/gui/messagebox.h"
#include "platform/gui/printer.h"
#include "resources/string_table.h"
#include "runtime/logfile.h"
#include "runtime/text.h"
#include "shell/cursors.h"
#include "shell/mdi_client.h"
#include "shell/program_printer.h"

namespace {

// A report whose definition cannot be read: the log line (%s: the report, the file) and the box
// (%s: the file, the report) with its caption.
constexpr int kLogDamagedDefinition = 23700;
constexpr int kMsgDamagedDefinition = 29950;
constexpr int kCaptionDamagedDefinition = 29953;

}  // namespace

char PrintSetLetter() { return ProgramOption(8) == 'O' ? ProgramOption(7) : ProgramOption(6); }

char ProgramTemplateSource::SetLetter() const { return printSet_ ? PrintSetLetter() : ProgramOption(5); }

bool ProgramTemplateSource::FindTemplate(const std::string& code, std::string& text) {
  ::Table* table = printSet_ ? TableCE1 : TableCE0;
  if (table == nullptr) return false;
  reports::ReportDefinitionTemplates templates(*table, SetLetter());
  if (templates.FindTemplate(code, text)) return true;
  // A definition that cannot be read is named, never passed over in silence.
  const std::string& damaged = templates.DamagedFile();
  if (!damaged.empty()) {
    const std::string name = reports::ReportCodeKey(code);
    WriteLog(FillPlaceholders(LoadStr(kLogDamagedDefinition), {name, damaged}));
    gui::MessageBeep(0);
    gui::MessageBox(CommandWindow, FillPlaceholders(LoadStr(kMsgDamagedDefinition), {damaged, name}),
                    LoadStr(kCaptionDamagedDefinition), gui::MB_OK | gui::MB_ICONSTOP);
  }
  return false;
}

WindowReportEnvironment::WindowReportEnvironment(bool printSet, gui::Window* owner)
    : DossierReportEnvironment(templates_), templates_(printSet), printSet_(printSet), owner_(owner) {}

bool WindowReportEnvironment::AskValue(const std::string& format, std::string& value) {
  std::string typed = value;
  TDFmtSaisie dialog(owner_, TDFmtSaisie::kOkOnly, format, &typed, false);
  if (dialog.Execute(kTaskModal) != gui::IDOK) return false;
  value = typed;
  return true;
}

void WindowReportEnvironment::Beep() { gui::MessageBeep(0); }

void WindowReportEnvironment::Warn(const std::string& caption, const std::string& text) {
  gui::MessageBeep(0);
  gui::MessageBox(owner_, text, caption, gui::MB_OK | gui::MB_ICONEXCLAMATION);
}

::Table* WindowReportEnvironment::DossierTable(reports::DossierTableId id) {
  // [CE0] / [CE1] read the set the run's templates come from.
  if (id == reports::DossierTableId::kCE && printSet_) return TableCE1;
  return DossierReportEnvironment::DossierTable(id);
}

std::string WindowReportEnvironment::PrinterName(int which) {
  gui::MPrinter* printer = ProgramPrinter();
  if (printer == nullptr) return {};
  switch (which) {
    case 0: return printer->DeviceName();
    case 1: return printer->OutputName();
    default: return printer->DriverName();
  }
}

void WindowReportEnvironment::StepCursor() { AnimateCursor(); }
