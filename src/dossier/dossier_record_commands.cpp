#include "dossier/dossier_record_commands.h"

#include "dossier/dossier_properties.h"
#include "dossier/new_dossier.h"
#include "dossier/working_date.h"
#include "shell/handlers.h"

void InstallDossierRecordCommands() {
  SetCommandWork(20201, &CmFichierNouveauDossier_Work);  // "Fichier > Nouveau dossier..."
  SetCommandWork(20204, &CmFichierDateTravail_Work);  // "Fichier > Date de travail..."
  SetCommandWork(20205, &CmFichierAProposDossier_Work);  // "Fichier > A Propos du dossier ouvert..."
}
