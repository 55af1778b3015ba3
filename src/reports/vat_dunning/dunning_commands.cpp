#include "reports/vat_dunning/dunning_commands.h"

#include "reports/vat_dunning/dunning_window.h"
#include "shell/handlers.h"

void InstallDunningCommands() {
  // "Etats > Lettres de Relance et Relevés"
  SetCommandWork(command_id::EtatsRelances, &CmEtatsRelances);
}
