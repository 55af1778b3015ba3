// The work of the settings commands of the "Utilitaires" menu, installed in the shell's command table.
#pragma once

void InstallSettingsCommands();
