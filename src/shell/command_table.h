// The main menu's command table: for every command of the main frame (menu
// 1101, toolbar, accelerator table 1102) its handler, its enabler, the
// access-rights function that guards it and whether dossier constant 056
// ("Saisie IMPOSSIBLE") greys it. CMDIClient's response table is built from
// it in one walk: a row with a shell handler runs it, any other row runs the
// work a subject installed with SetCommandWork (handlers.h). The ids are the
// constants of command_ids.h; the menu texts are the string table's (command
// N + 1000); menu resource 1101 gives only the layout. docs/commands.md lists
// every command with its work, written by tools/command_listing.
#pragma once

#include <string>
#include <vector>

class CMDIClient;
namespace gui {
class Menu;
}

// Which enabler a command uses.
enum class EnablerKind {
  None,                  // always enabled
  SansDossier,           // CeSansDossier: idle
  DossierSlotFree,       // CeOuvrirDossier
  DossierOpen,           // CeDossierOuvert
  TwoDossiers,           // CeChangerDossier
  ChildActive,           // CeFenetres
  PreviewReportsDiffer,  // CeEtatsParamVisu
  DroitsAcces,           // CeDroitsAcces
  DossierRecent1,        // CeDossierRecent1
  SupprimerChoix,        // CeSupprimerChoix
  GestionDossiers,       // CeGestionDossiers
  Rights,                // rights enabler of the command's function (+ 056, + balance sheet)
};

// A handler of the shell itself: the client and the command id.
using ShellHandler = void (*)(CMDIClient& client, unsigned id);

// A row names its fields; those it leaves out keep these defaults.
struct CommandEntry {
  unsigned first;                        // command id (first of a range)
  unsigned last = 0;                     // last id of a range; 0 for one command
  const char* handler;                   // Cm<Command>, the work installed (or the shell's handler)
  const char* enabler = "";              // enabler name ("" when none)
  EnablerKind kind = EnablerKind::None;  // the enabler's kind (None: always enabled)
  int rights = 0;                        // access-rights function number, 0 when none
  bool constant056 = false;              // also greyed when dossier constant 056 begins with 'O'
  bool balanceSheet = false;             // rights enabler goes on as CeBilan (functions 23-25)
  ShellHandler shell = nullptr;          // the shell's own handler; none: a subject's work

  unsigned Last() const { return last != 0 ? last : first; }
};

// A command of menu 1101 that the client's table does not hold: the active
// child window, or its focused control, handles it (its enabler greys it
// elsewhere). `handledBy` names the classes whose response tables take it.
struct ChildCommand {
  unsigned first;
  unsigned last = 0;
  const char* handledBy;  // class names, ", " between them

  unsigned Last() const { return last != 0 ? last : first; }
};
const std::vector<ChildCommand>& ChildCommands();
// Row holding `id`, nullptr when none.
const ChildCommand* FindChildCommand(unsigned id);

// Every entry, in menu order.
const std::vector<CommandEntry>& CommandTable();
// Entry holding `id`, nullptr when the client's table has none.
const CommandEntry* FindCommand(unsigned id);

// True when the shell itself handles `id` (the row carries a shell handler).
bool IsShellOwned(unsigned id);

// The menu text of command N is string N + kMenuTextOffset.
constexpr int kMenuTextOffset = 1000;

// Gives every command of the menu its text from the string table; the items
// of menu resource 1101 carry ids only.
void FillMenuTexts(gui::Menu& menu);

// Number of fixed items of the File menu and the position (0-based) before
// which the recent-dossier entries go.
constexpr int kFileMenuFixedItems = 16;
constexpr int kRecentInsertPosition = 14;
