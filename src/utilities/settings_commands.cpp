#include "utilities/settings_commands.h"

#include "resources/command_ids.h"
#include "shell/handlers.h"
#include "utilities/configuration.h"
#include "utilities/constants_window.h"
#include "utilities/raw_browser.h"
#include "utilities/reports_window.h"
#include "utilities/rights_dialog.h"

void InstallSettingsCommands() {
  SetCommandWork(command_id::Configuration, CmConfiguration);
  SetCommandWork(command_id::ConstantesDossier, CmConstantesDossier);
  SetCommandWork(command_id::DroitsAcces, CmDroitsAcces);
  SetCommandWork(command_id::EtatsParametrablesVisualisation, [] { OpenReportsWindow('Y'); });
  SetCommandWork(command_id::EtatsParametrablesImpression, [] { OpenReportsWindow('Z'); });
  SetCommandWork(command_id::AccesFichierC10, [] { OpenRawTable(command_id::AccesFichierC10); });
  SetCommandWork(command_id::AccesFichierC20, [] { OpenRawTable(command_id::AccesFichierC20); });
  SetCommandWork(command_id::AccesFichierC30, [] { OpenRawTable(command_id::AccesFichierC30); });
  SetCommandWork(command_id::AccesFichierC40, [] { OpenRawTable(command_id::AccesFichierC40); });
  SetCommandWork(command_id::AccesFichierC50, [] { OpenRawTable(command_id::AccesFichierC50); });
  SetCommandWork(command_id::AccesFichierC60, [] { OpenRawTable(command_id::AccesFichierC60); });
  SetCommandWork(command_id::AccesFichierC70, [] { OpenRawTable(command_id::AccesFichierC70); });
  SetCommandWork(command_id::AccesFichierParametresBilan,
                 [] { OpenRawTable(command_id::AccesFichierParametresBilan); });
  SetCommandWork(command_id::AccesFichierLignesBilan, [] { OpenRawTable(command_id::AccesFichierLignesBilan); });
}
