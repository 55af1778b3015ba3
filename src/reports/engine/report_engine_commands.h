// What the report engine installs in the program: the main window's preview Visu and
// VisuMode1 (they run their own prologue: the report windows send them while they hold the
// dossier), the shell's questions about the preview, and the list windows' report hooks (the
// choice dialogs, the preview and the printout of a list).
#pragma once

void InstallReportEngineCommands();
