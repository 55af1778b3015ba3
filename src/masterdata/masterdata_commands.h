// The "Données" menu: the code lists of the general file, the chart of accounts, the analytic sections and the
// record text editor.
#pragma once

// Installs the work of the master-data commands in the shell's command table. Safe to repeat.
void InstallMasterDataCommands();
