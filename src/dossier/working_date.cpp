#include "dossier/working_date.h"

#include "dossier/dossier_commands.h"

#include <string>

#include "data/dossier_files.h"
#include "data/session.h"
#include "data/table.h"
#include "dossier/auto_start.h"
#include "dossier/dossier_commands.h"
#include "dossier/dossier_properties.h"
#include "platform/gui/command.h"
#include "platform/gui/constants.h"
#include "platform/system/files.h"
#include "resources/command_ids.h"
#include "resources/string_table.h"
#include "runtime/inifiles.h"
#include "runtime/text.h"
#include "runtime/xbase.h"
#include "shell/enablers.h"
#include "shell/mdi_client.h"

namespace {

// The texts of the working date, by their ids in the string table.
constexpr int kPackedDossierKeys = 13;   // the dossier INI's keys packed side by side
constexpr int kC10CodeTag = 21;          // the general file's code tag, its first 7 characters
constexpr int kGeneralRecordKey = 1105;  // the key of the general file's record "0"
constexpr int kTitleWorkingDate = 2494;  // the dossier's code

}  // namespace

bool AutomaticImportPosted = false;

// Core: none, the working date is one field of the dossier record that WriteWorkingDateToC10 writes back.
void CmFichierDateTravail() {
  if (CommandWindow != nullptr && !CommandWindow->CloseChildren()) return;
  CloseAllTables();
  const std::string tag = std::string(LoadStr(kC10CodeTag)).substr(0, 7);
  if (TableC10 != nullptr && TableC10->OpenShared(PathC10(), tag) && TableC10->Find(tag, LoadStr(kGeneralRecordKey)).IsFound()) {
    ReadC10Texts();
    TDFicAProposDossier dialog(gui::Window::FromHandle(MainWindowHandle), TDFicAProposDossier::kWorkingDateMode);
    dialog.SetCaption(FillPlaceholder(LoadStr(kTitleWorkingDate), AllTrim(DossierCode.c_str())));
    // A refused lock leaves the stored date as it was; the one in memory changed.
    if (dialog.Execute(gui::MB_TASKMODAL) == gui::IDOK) WriteWorkingDateToC10();
  }
  // The bar stays as the dialog left it (emptied): the stored date is no text for a user.
  CloseAllTables();

  // Automatic import of ASCII entries, else the automatic start.
  // Section "ImportAuto" and key "FichierImport", cut from the packed keys.
  const std::string section = SubStr(LoadStr(kPackedDossierKeys), 49, 10);
  const std::string key = SubStr(LoadStr(kPackedDossierKeys), 59, 13);
  std::string import = DossierIniGet(section.c_str(), key.c_str(), "");
  if (IsBlank(import)) import = IniGetString(key.c_str(), "");
  if (!IsBlank(import) && platform::FileExists(import) && CommandWindow != nullptr) {
    // A refused import (rights, constant 056) is not posted: the main window would refuse it before its
    // handler takes the flag, which would be left for the user's next "Ajout ASCII au Brouillard".
    gui::CommandEnabler allowed(command_id::AjoutAsciiBrouillard);
    if (RunTableEnabler(allowed) && !allowed.Enabled()) return;
    // The flag goes with the posted command: none left when the post fails.
    AutomaticImportPosted = gui::PostCommand(CommandWindow->GetHandle(), command_id::AjoutAsciiBrouillard);
    return;
  }
  RunAutoLaunch();
}
