// The main-menu commands the shell handles itself: help, the report-choice
// toggle, the window commands, printer set-up, the recent dossiers of the
// File menu, the INI files in the text editor and the engine notice.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/system/process.h"

// Services of the dossier handling and the table layer that these commands
// use; an empty function means "not available" (default written beside).
struct UtilityServices {
  std::function<bool()> openDossierExclusive;     // takes the open dossier alone (empty: true)
  std::function<void()> releaseDossierExclusive;  // shares it again (empty: nothing)
  // Sets UseStoredWorkingDate and opens recent dossier k (1-9) (empty: the
  // not-available message).
  std::function<void(int k)> openRecentDossier;
  std::function<std::string()> dbVersionText;     // engine version (empty: "")
};
UtilityServices& Utilities();

// Starts an external program from an argument vector. Tests replace it;
// an empty function restores the real launcher.
using ProcessLauncher =
    std::function<platform::LaunchResult(const std::vector<std::string>& argv, const platform::LaunchOptions&)>;
void SetProcessLauncher(ProcessLauncher launcher);
// Starts the program through that launcher; the caller reports a failure.
platform::LaunchResult LaunchProgram(const std::vector<std::string>& argv, const platform::LaunchOptions& options = {});
// The argument vector that runs a batch file of ours: /bin/sh and its path.
std::vector<std::string> BatchFileCommand(const std::string& path);
// Starts the program; a failed start is reported in a message box naming
// the program and the reason. True when it started.
bool LaunchReported(const std::vector<std::string>& argv, const platform::LaunchOptions& options = {});

// Opens a file with the desktop's handler (help viewer, text editor, a report's export)
// through the process launcher; a handler that cannot start, or gives up at once (none for
// this kind of file), is said. True when it opened.
bool OpenWithDesktop(const std::string& path);

// Fills the hooks of the shell that the client and the runtime call (recent
// menu rebuild, registry window actions, toolbar tooltips). Safe to repeat.
void InstallShellCommands();

void CmAide();                  // Aide
void CmChoixEtat();             // ChoixEtat
void CmFenetresPleinEcran();    // FenetresPleinEcran
void CmAgrandirFenetre();       // AgrandirFenetre
void CmCommandesMsDos();        // CommandesMsDos
void CmConfigurerImprimante();  // ConfigurerImprimante
void CmDossierRecent(int k);    // DossierRecentId(k), k 1-9
void CmSupprimerChoix();        // SupprimerChoix
void CmCompleterIni();          // CompleterIni: reads the Ctrl and Shift keys, then CompleterIni
// Ctrl alone: the program INI; Shift alone: the dossier's log and INI; both:
// the three; neither: the program ends and the three files open.
void CompleterIni(bool ctrl, bool shift);
void CmConfigurerBde();         // ConfigurerBde

// Recent dossiers of the File menu (positions 14 and on) from RecentDossiers.
void RebuildRecentDossiersMenu();

// Terminal program: $TERMINAL when set, else x-terminal-emulator.
std::vector<std::string> TerminalCommand();
