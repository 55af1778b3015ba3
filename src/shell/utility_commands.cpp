#include "shell/utility_commands.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "platform/gui/application.h"
#include "platform/gui/constants.h"
#include "platform/gui/filedialog.h"
#include "platform/gui/keyboard.h"
#include "platform/gui/mdi.h"
#include "platform/gui/menu.h"
#include "platform/gui/messagebox.h"
#include "platform/gui/printer.h"
#include "platform/system/error_text.h"
#include "platform/system/files.h"
#include "resources/command_ids.h"
#include "resources/string_table.h"
#include "runtime/inifiles.h"
#include "runtime/logfile.h"
#include "runtime/session_registry.h"
#include "runtime/text.h"
#include "runtime/xbase.h"
#include "shell/command_table.h"
#include "shell/handlers.h"
#include "shell/mdi_client.h"
#include "shell/program_printer.h"
#include "shell/registry.h"
#include "shell/toolbar.h"

namespace {

// The texts shown here, by their ids in the string table; each "%s" is filled in order.
constexpr int kMsgTerminalClosed = 19991;
constexpr int kMsgEngineNeedsNoSettings = 19992;
constexpr int kMsgProgramNotLaunched = 33001;  // the program, then the system's reason
constexpr int kMsgRemoveRecentDossiers = 19994;
constexpr int kMsgNoDesktopProgram = 22299;    // the file, then xdg-open's exit code
constexpr int kMsgHelpMissing = 22302;         // the program folder
constexpr int kMenuPrinterSetup = 21207;       // "Confi&gurer l'Imprimante...", the dialog's title
constexpr int kMenuRecentDossier = 33003;      // the number, the dossier's code and its folder
constexpr int kCaptionAttention = 52;
constexpr int kProgramTitle = 127;

ProcessLauncher& Launcher() {
  static ProcessLauncher launcher;
  return launcher;
}

gui::Window* Owner() { return gui::Window::FromHandle(MainWindowHandle); }

std::string ProgramTitle() { return LoadStr(kProgramTitle); }

void ReportNotLaunched(const std::string& program, int error) {
  gui::MessageBeep(0);
  const std::string text =
      FillPlaceholders(LoadStr(kMsgProgramNotLaunched), {program, platform::ErrorText(error ? error : ENOENT)});
  gui::MessageBox(Owner(), text, LoadStr(kCaptionAttention), gui::MB_OK | gui::MB_ICONEXCLAMATION);
}

}  // namespace

bool OpenWithDesktop(const std::string& path) {
  platform::LaunchOptions options;
  options.watchMs = 2000;
  platform::LaunchResult r = LaunchProgram({"xdg-open", path}, options);
  if (!r.launched) {
    ReportNotLaunched("xdg-open", r.error);
    return false;
  }
  if (r.exitStatus <= 0) return true;
  gui::MessageBeep(0);
  gui::MessageBox(Owner(), FillPlaceholders(LoadStr(kMsgNoDesktopProgram), {path, std::to_string(r.exitStatus)}),
                  LoadStr(kCaptionAttention), gui::MB_OK | gui::MB_ICONEXCLAMATION);
  return false;
}

namespace {

std::string RecentCode(const std::string& entry) {
  std::string code = entry.substr(0, std::min<std::size_t>(5, entry.size()));
  while (!code.empty() && code.back() == ' ') code.pop_back();
  return code;
}

}  // namespace

UtilityServices& Utilities() {
  static UtilityServices services;
  return services;
}

void SetProcessLauncher(ProcessLauncher launcher) { Launcher() = std::move(launcher); }

platform::LaunchResult LaunchProgram(const std::vector<std::string>& argv, const platform::LaunchOptions& options) {
  return Launcher() ? Launcher()(argv, options) : platform::LaunchProcess(argv, options);
}

std::vector<std::string> BatchFileCommand(const std::string& path) { return {"/bin/sh", path}; }

bool LaunchReported(const std::vector<std::string>& argv, const platform::LaunchOptions& options) {
  if (argv.empty()) return false;
  platform::LaunchResult r = LaunchProgram(argv, options);
  if (r.launched) return true;
  ReportNotLaunched(argv[0], r.error);
  return false;
}

void InstallShellCommands() {
  Services().rebuildRecentDossiersMenu = [] { RebuildRecentDossiersMenu(); };
  InstallRegistryWindowHooks();
  InstallToolbarHints();
}

std::vector<std::string> TerminalCommand() {
  const std::string terminal = platform::EnvironmentPath("TERMINAL");
  if (!terminal.empty()) return {terminal};
  return {"x-terminal-emulator"};
}

// Core: none, it opens the help.
void CmAide() {
  // The program's HTML page first, then the older help files, each with the
  // desktop's viewer; a missing help or a viewer that cannot start is said.
  for (const char* name : {"CAideNuv.html", "CAideNuv.chm", "CAideNuv.hlp"}) {
    std::string path = ProgramFilePath(name);
    if (platform::FileExists(path)) {
      OpenWithDesktop(path);
      return;
    }
  }
  gui::MessageBeep(0);
  gui::MessageBox(Owner(), FillPlaceholder(LoadStr(kMsgHelpMissing), ProgramFolder), LoadStr(kCaptionAttention),
                  gui::MB_OK | gui::MB_ICONEXCLAMATION);
}

// Core: none, it turns the program option of the report choice on or off.
void CmChoixEtat() { SetProgramOption(12, ProgramOption(12) == 'O' ? 'N' : 'O'); }

// Core: none, the full-screen option of the windows.
void CmFenetresPleinEcran() {
  if (ProgramOption(3) == 'O') {
    if (MainMenuHandle != nullptr) MainMenuHandle->CheckItem(command_id::FenetresPleinEcran, false);
    SetProgramOption(3, 'N');
  } else {
    if (MainMenuHandle != nullptr) MainMenuHandle->CheckItem(command_id::FenetresPleinEcran, true);
    SetProgramOption(3, 'O');
    gui::SendCommand(MainWindowHandle, command_id::AgrandirFenetre);
  }
}

// Core: none, it maximises the active window.
void CmAgrandirFenetre() {
  if (CommandWindow == nullptr) return;
  gui::MDIChild* child = CommandWindow->GetActiveMDIChild();
  if (child == nullptr) return;
  gui::Rect client = CommandWindow->GetClientRect();
  child->MoveWindow(gui::Rect{0, 0, client.w, client.h});
  child->Invalidate(true);
}

// Core: none, it opens a command window.
void CmCommandesMsDos() {
  if (!HandlerPrologue()) return;
  if (CommandWindow == nullptr || !CommandWindow->CloseChildren()) return;
  if (Services().closeAllTables) Services().closeAllTables();
  bool exclusive = false;
  if (DossierIsCurrent()) {
    const auto& take = Utilities().openDossierExclusive;
    if (take && !take()) return;  // its own message was shown
    exclusive = true;
    SetDossierState('1');
  }
  platform::LaunchOptions options;
  options.workingDirectory = DossierIsCurrent() && !DossierFolder.empty() ? DossierFolder : ProgramFolder;
  bool started = LaunchReported(TerminalCommand(), options);
  if (!exclusive) return;
  // The dossier stays held until the user says the terminal is closed; a
  // terminal that did not start has nothing to wait for.
  while (started && gui::MessageBox(Owner(), LoadStr(kMsgTerminalClosed), LoadStr(kCaptionAttention),
                                    gui::MB_YESNO | gui::MB_ICONQUESTION | gui::MB_DEFBUTTON2) != gui::IDYES) {
    gui::MessageBeep(0);
  }
  if (Utilities().releaseDossierExclusive) Utilities().releaseDossierExclusive();
  SetDossierState('2');
}

// Core: none, the printer dialog.
void CmConfigurerImprimante() {
  gui::MPrinter* printer = ProgramPrinter();
  if (printer == nullptr || printer->Printer() == nullptr) {
    gui::MessageBeep(0);
    return;
  }
  printer->Flags |= gui::PD_NOSELECTION | gui::PD_NOPAGENUMS | gui::PD_HIDEPRINTTOFILE;
  printer->Flags &= ~(gui::PD_RETURNDC | gui::PD_RETURNDEFAULT);
  std::string caption;
  for (char c : std::string(LoadStr(kMenuPrinterSetup))) {
    if (c != '&') caption += c;
  }
  printer->ExecPrintDialog(Owner(), caption);
}

// The nine ids of the recent dossiers follow each other up to the last.
static_assert(command_id::DossierRecentId(kRecentDossierCount) == command_id::DossierRecent9);

// Core: none, the dossier subject opens the dossier (openRecentDossier) as "Ouvrir dossier" does.
void CmDossierRecent(int k) {
  if (k < 1 || k > kRecentDossierCount) return;
  if (k == 1 && DossierIsCurrent()) return;
  if (!HandlerPrologue()) return;
  if (IsBlank(RecentDossiers[k - 1])) return;
  const auto& open = Utilities().openRecentDossier;
  if (!open) {
    NotAvailableYet(command_id::DossierRecentId(k));
    return;
  }
  open(k);
}

// Core: none, it empties the recent dossiers of the File menu.
void CmSupprimerChoix() {
  gui::MessageBeep(0);
  int answer = gui::MessageBox(Owner(), LoadStr(kMsgRemoveRecentDossiers), ProgramTitle(),
                               gui::MB_YESNOCANCEL | gui::MB_ICONINFORMATION | gui::MB_DEFBUTTON3);
  if (answer == gui::IDYES) {
    for (int i = 1; i < kRecentDossierCount; ++i) RecentDossiers[i].clear();
  } else if (answer == gui::IDNO) {
    for (int i = kRecentDossierCount - 1; i >= 1; --i) {
      if (!IsBlank(RecentDossiers[i])) {
        RecentDossiers[i].clear();
        break;
      }
    }
  } else {
    return;
  }
  RebuildRecentDossiersMenu();
}

void RebuildRecentDossiersMenu() {
  if (MainMenuHandle == nullptr) return;
  gui::Menu* file = MainMenuHandle->GetSubMenu(0);
  if (file == nullptr) return;
  while (file->GetItemCount() > kFileMenuFixedItems) {
    if (!file->DeleteItem(kRecentInsertPosition)) break;
  }
  for (int k = 1; k <= kRecentDossierCount; ++k) {
    const std::string& entry = RecentDossiers[k - 1];
    if (IsBlank(entry)) break;
    if (k == 1) file->InsertSeparator(kRecentInsertPosition);
    const std::string folder = entry.size() > 5 ? entry.substr(5) : std::string();
    const std::string text =
        FillPlaceholders(LoadStr(kMenuRecentDossier), {std::to_string(k), RecentCode(entry), folder});
    file->InsertItem(kRecentInsertPosition + k, command_id::DossierRecentId(k), text);
  }
}

// Core: none, it completes the INI files and the log of the program and the dossier.
void CmCompleterIni() {
  CompleterIni(gui::GetKeyState(gui::VK_CONTROL) < 0, gui::GetKeyState(gui::VK_SHIFT) < 0);
}

void CompleterIni(bool ctrl, bool shift) {
  if (!HandlerPrologue()) return;
  const bool dossier = DossierIsCurrent();
  const std::string dossierIni = dossier ? DossierIniPath() : std::string();
  bool dossierFiles = shift || !ctrl;
  bool programIni = ctrl || !shift;
  const bool quits = !ctrl && !shift;
  if (quits) {
    if (CommandWindow == nullptr || !CommandWindow->CloseChildren()) return;
    if (Services().closeAllTables) Services().closeAllTables();
  }
  std::vector<std::string> files;
  if (dossierFiles && dossier) {
    const std::string log = LogPath(".txt");
    if (!log.empty()) files.push_back(log);
    if (!dossierIni.empty()) files.push_back(dossierIni);
  }
  if (programIni) files.push_back(IniPath());
  // The program ends once the files are in the editor, so that they are edited while it is
  // not running. A file that no editor could open is said, and the program stays: the
  // others would fare no better, and the user keeps the session.
  for (const std::string& file : files) {
    if (OpenWithDesktop(file)) continue;
    if (quits) return;
  }
  if (quits && CommandWindow != nullptr) CommandWindow->CmQuitter();
}

// Core: none, it runs the engine settings program.
void CmConfigurerBde() {
  if (!HandlerPrologue()) return;
  // The program's own dBASE engine has no administrator and no settings.
  gui::MessageBox(Owner(), LoadStr(kMsgEngineNeedsNoSettings), ProgramTitle(),
                  gui::MB_OK | gui::MB_ICONINFORMATION);
}
