// The File-menu commands that make or change the dossier record: "Nouveau
// dossier", "Date de travail" and "A Propos du dossier ouvert".
#pragma once

// Gives their work to commands 20201 (new dossier), 20204 (working date) and
// 20205 (dossier properties).
void InstallDossierRecordCommands();
