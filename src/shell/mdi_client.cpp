#include "shell/mdi_client.h"

#include "platform/gui/command.h"
#include "platform/gui/constants.h"
#include "platform/gui/messagebox.h"
#include "resources/command_ids.h"
#include "resources/string_table.h"
#include "runtime/access_rights.h"
#include "runtime/dossier_record.h"
#include "runtime/inifiles.h"
#include "runtime/runtime_init.h"
#include "runtime/session_registry.h"
#include "runtime/text.h"
#include "runtime/xbase.h"
#include "shell/application.h"
#include "shell/cursors.h"
#include "shell/program_printer.h"
#include "shell/seeding.h"
#include "shell/startup.h"

namespace {

// The texts shown here, by their ids in the string table.
constexpr int kEngineCodeTextFirst = 1171;  // the texts of engine start codes 1-7, one after the other
constexpr int kMsgEngineNotStarted = 126;   // the code's text at %s
constexpr int kMsgRuntimeNotStarted = 22297;
constexpr int kMsgTooFewFileHandles = 22298;
constexpr int kProgramTitle = 127;
constexpr int kCaptionDossier = 33002;      // the program, the dossier's code and its folder

}  // namespace

std::string RecentDossiers[kRecentDossierCount];
std::string ProgramOptions(kProgramOptionsLength, ' ');
long CurrentHelpContext = 0;
gui::Handle MainWindowHandle = 0;
gui::Menu* MainMenuHandle = nullptr;
CMDIClient* CommandWindow = nullptr;
int ChildLayoutMode = 0;

char ProgramOption(int position) {
  if (position < 1 || position > kProgramOptionsLength) return ' ';
  if (ProgramOptions.size() < static_cast<std::size_t>(kProgramOptionsLength))
    ProgramOptions.resize(kProgramOptionsLength, ' ');
  return ProgramOptions[static_cast<std::size_t>(position) - 1];
}

void SetProgramOption(int position, char value) {
  if (position < 1 || position > kProgramOptionsLength) return;
  if (ProgramOptions.size() < static_cast<std::size_t>(kProgramOptionsLength))
    ProgramOptions.resize(kProgramOptionsLength, ' ');
  ProgramOptions[static_cast<std::size_t>(position) - 1] = value;
}

ShellServices& Services() {
  static ShellServices services;
  return services;
}

std::string EngineStartCodeText(int code) {
  if (code < 1 || code > 7) return "";
  return LoadStr(kEngineCodeTextFirst + code - 1);
}

namespace {

const char* ProgramTitle() { return LoadStr(kProgramTitle); }

void ClearRecords() {
  OpenWindowRegistry.assign(kOpenWindowRegistryLength, ' ');
  DossierFolder.clear();
  DossierCode.clear();
  TheDossierRecord.Clear();
  for (auto& slot : DossierSlots) slot.clear();
  for (auto& recent : RecentDossiers) recent.clear();
  ProgramOptions.assign(kProgramOptionsLength, ' ');
}

}  // namespace

CMDIClient::CMDIClient(int argc, char** argv) : argc_(argc), argv_(argv) {
  ClearRecords();
  PrintRunFlag = false;
  ChildLayoutMode = 0;
  SetDossierState(' ');
  CommandWindow = this;
}

CMDIClient::~CMDIClient() {
  // The recent dossiers are written back only after a start that reached the
  // engine (a failed start must not overwrite the list with a partial one).
  if (runtimeStarted_ && engineStartCode_ == 0) SaveRecentDossiers();
  ClearRecords();
  DeleteProgramPrinter();
  if (CommandWindow == this) CommandWindow = nullptr;
  // The frame's menu, set with the main window's handle, goes with the frame: nothing may reach it afterwards.
  if (MainWindowHandle == GetHandle()) {
    MainWindowHandle = 0;
    MainMenuHandle = nullptr;
  }
}

void CMDIClient::FailStartup() {
  SetAppCursor(0, false);
  gui::PostMessage(GetHandle(), gui::WM_CLOSE);
}

void CMDIClient::SetupWindow() {
  gui::MDIClient::SetupWindow();
  MainWindowHandle = GetHandle();
  if (auto* frame = dynamic_cast<gui::MDIFrame*>(Parent())) MainMenuHandle = frame->GetMenu();

  // The program folder gets the shipped files it lacks before anything
  // reads it (a file that cannot be copied is reported and start goes on).
  if (ProgramFolder.empty()) SetProgramFolder(DefaultProgramFolder());
  SeedProgramFolder(FindShareFolder(), ProgramFolder);

  if (!StartRuntime() || !StartEngine() || !CheckFileHandles()) {
    FailStartup();
    return;
  }
  RegisterClientHandle();
  ReadProgramSettings();
  // The report-definition sets are there before the first command.
  EnsureReportSets();
  if (unsigned first = FirstStartupCommand(argc_)) gui::PostCommand(GetHandle(), first);
  SetAppCursor(0, false);
  startupOk_ = true;
}

// Buffers, program folder, shared fonts, pens and brushes; then the
// window framework's hooks and the caption with the program folder.
bool CMDIClient::StartRuntime() {
  runtimeStarted_ = InitRuntime();
  if (!runtimeStarted_) {
    gui::MessageBeep(0);
    gui::MessageBox(this, LoadStr(kMsgRuntimeNotStarted), "Nuv-Merlon", gui::MB_OK | gui::MB_ICONHAND);
    return false;
  }
  if (Services().installWindowHooks) Services().installWindowHooks();
  if (Parent() != nullptr) Parent()->SetCaption(std::string(ProgramTitle()) + " - " + ProgramFolder);
  // (New program packages are not looked for: nothing is started or deleted.)
  return true;
}

// The database engine; code 5 is reported and the start goes on.
bool CMDIClient::StartEngine() {
  engineStartCode_ = Services().startDbSession ? Services().startDbSession() : 0;
  if (engineStartCode_ == 0) return true;
  gui::MessageBeep(0);
  // Code 5 is a warning of its own; the others say that the program cannot start.
  const std::string code = EngineStartCodeText(engineStartCode_);
  const std::string text =
      engineStartCode_ != 5 ? FillPlaceholder(LoadStr(kMsgEngineNotStarted), code) : code + "\n\n";
  gui::MessageBox(this, text, ProgramTitle(), gui::MB_OK | gui::MB_ICONINFORMATION);
  return engineStartCode_ == 5;
}

bool CMDIClient::CheckFileHandles() {
  if (EnsureFileHandles(80)) return true;
  gui::MessageBeep(0);
  gui::MessageBox(this, LoadStr(kMsgTooFewFileHandles), ProgramTitle(), gui::MB_OK | gui::MB_ICONHAND);
  return false;
}

// The client's handle heads the open-window registry.
void CMDIClient::RegisterClientHandle() {
  EnsureOpenWindowRegistry();
  std::string handle = std::to_string(GetHandle());
  if (handle.size() < 10) handle.insert(0, 10 - handle.size(), ' ');
  SetRegistryText(1, 10, handle);
}

// Old INI keys renamed, program options, one-time settings, report options
// and the recent dossiers.
void CMDIClient::ReadProgramSettings() {
  RenameOldIniKeys();
  bool reportChoice = true;
  if (auto* frame = dynamic_cast<CDecoratedMDIFrame*>(Parent())) reportChoice = frame->ReportChoiceFlag();
  FillProgramOptions(reportChoice);
  ApplyFirstRunSettings();
  if (FillReportOptions()) gui::PostCommand(GetHandle(), command_id::ChoixEtat);
  LoadRecentDossiers();
}

std::intptr_t CMDIClient::WindowProc(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam) {
  if (msg == gui::WM_CLOSE) {
    if (Parent() != nullptr) Parent()->CloseWindow();
    else CloseWindow();
    return 0;
  }
  return gui::MDIClient::WindowProc(msg, wParam, lParam);
}

bool CMDIClient::CanClose() {
  ShellServices& s = Services();
  if (PrintRunFlag) {
    if (s.previewOpen && s.previewOpen() && s.closePreview) s.closePreview();
    return false;
  }
  // The children are asked first: a window that holds the dossier's commands
  // ("Changer de dossier") gives them back when it closes. A run still
  // holding the dossier afterwards keeps the program open.
  if (IsIconic() || !CloseChildren()) return false;
  if (GetDossierState() == '1') {
    gui::MessageBeep(0);
    return false;
  }
  if (s.closeAllTables) s.closeAllTables();
  if (auto* frame = dynamic_cast<gui::MDIFrame*>(Parent()); frame != nullptr && frame->IsCreated()) {
    gui::FramePlacement p = frame->GetPlacement();
    WriteFramePlacement(p, p.maximized, ProgramOption(12), BitmapSizeOffset);
  }
  return true;
}

// Core: none, it closes the windows and the tables and ends the program.
void CMDIClient::CmQuitter() {
  if (PrintRunFlag || IsIconic()) return;
  if (GetDossierState() == '1' && !CloseChildren()) return;
  if (GetDossierState() == '1') return;
  CurrentHelpContext = 85;
  ShellServices& s = Services();
  if (GetDossierState() == '2' && !IsBlank(DossierCode)) {
    if (!s.ensureDossierOpen || !s.ensureDossierOpen()) return;
  }
  if (GetDossierState() != ' ') return;
  if (!CloseChildren()) return;
  if (s.closeAllTables) s.closeAllTables();
  gui::PostMessage(GetHandle(), gui::WM_CLOSE);
}

// Core: none, the main window's caption.
void CMDIClient::SetMainCaption() {
  if (Parent() == nullptr) return;
  ShellServices& s = Services();
  if (s.ensureDossierOpen && s.ensureDossierOpen())
    Parent()->SetCaption(FillPlaceholders(LoadStr(kCaptionDossier), {ProgramTitle(), DossierCode, DossierFolder}));
  else
    Parent()->SetCaption(std::string(ProgramTitle()) + " - " + ProgramFolder);
}
