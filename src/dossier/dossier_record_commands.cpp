#include "dossier/dossier_record_commands.h"

#include "dossier/dossier_properties.h"
#include "dossier/new_dossier.h"
#include "dossier/working_date.h"
#include "resources/command_ids.h"
#include "shell/handlers.h"

void InstallDossierRecordCommands() {
  SetCommandWork(command_id::FichierNouveauDossier, &CmFichierNouveauDossier);
  SetCommandWork(command_id::FichierDateTravail, &CmFichierDateTravail);
  SetCommandWork(command_id::FichierAProposDossier, &CmFichierAProposDossier);
}
