// The File-menu commands that make or change the dossier record: "Nouveau
// dossier", "Date de travail" and "A Propos du dossier ouvert".
#pragma once

// Gives their work to FichierNouveauDossier (new dossier), FichierDateTravail (working date) and
// FichierAProposDossier (dossier properties).
void InstallDossierRecordCommands();
