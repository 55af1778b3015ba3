#include "reports/engine/report_engine_commands.h"

#include <memory>

#include "framework/browse.h"
#include "framework/browse_services.h"
#include "framework/dialog_bases.h"
#include "platform/gui/application.h"
#include "platform/gui/command.h"
#include "platform/gui/constants.h"
#include "reports/engine/choice_dialogs.h"
#include "reports/engine/core/report_export.h"
#include "reports/engine/printing.h"
#include "reports/engine/visu_window.h"
#include "runtime/access_rights.h"
#include "shell/handlers.h"
#include "shell/mdi_client.h"

namespace {

// The printer a printout's choice installed, put back once that printout is over (or at the
// next idle moment when the list did not print after all).
std::unique_ptr<PrinterChoice>& PendingPrinter() {
  static std::unique_ptr<PrinterChoice> choice;
  return choice;
}

void RestorePendingPrinter() { PendingPrinter().reset(); }

// At an idle moment, but never while a printout runs: a message box shown during the printout
// (a warning over an amount it counts as zero) lets idle moments pass, and putting the printer
// back then would send the rest of the document to the file the printer was set to, not to the
// one being made aside.
void RestorePendingPrinterWhenIdle() {
  if (!PrintRunFlag) RestorePendingPrinter();
}

int ChooseLayout(CMDIBrowse& list, const std::string& prefix, bool print) {
  RestorePendingPrinter();
  TDVisuChoixEtat dialog(&list, prefix, print);
  const int answer = dialog.Execute(kTaskModal);
  if (answer == gui::IDOK && print) {
    PendingPrinter() = dialog.TakePrinterChoice();
    static gui::Handle watched = 0;
    if (PendingPrinter() && MainWindowHandle != 0 && watched != MainWindowHandle) {
      watched = MainWindowHandle;
      gui::Application::AddWindowIdleHandler(static_cast<unsigned>(MainWindowHandle), &RestorePendingPrinterWhenIdle);
    }
  }
  return answer;
}

void PreviewList(CMDIBrowse& list, const std::string& title) {
  if (MainWindowHandle == 0) return;
  gui::SendCommand(MainWindowHandle, command_id::Visu);
  if (CurrentPreviewWindow == nullptr) return;
  if (!VisuShowList(list, title)) gui::PostMessage(CurrentPreviewWindow->GetHandle(), gui::WM_CLOSE);
}

void PrintList(CMDIBrowse& list, const std::string& title) {
  PrintListReport(list, title);
  RestorePendingPrinter();
}

}  // namespace

void InstallReportEngineCommands() {
  // No menu text: sent by the report windows to open the preview (one list, several lists).
  SetCommandWork(command_id::Visu, &CmVisu, true);
  SetCommandWork(command_id::VisuMode1, &CmVisuMode1, true);
  ShellServices& s = Services();
  s.previewOpen = [] { return CurrentPreviewWindow != nullptr; };
  s.closePreview = [] {
    if (CurrentPreviewWindow != nullptr) gui::PostCommand(CurrentPreviewWindow->GetHandle(), visu_cmd::Quitter);
  };
  BrowseServices& hooks = BrowseHooks();
  hooks.chooseLayout = &ChooseLayout;
  hooks.preview = &PreviewList;
  hooks.print = &PrintList;
  hooks.abandonExport = [] { reports::ExportFile().Abandon(); };
}
