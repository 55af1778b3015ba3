#include "reports/vat_dunning/vat_commands.h"

#include "reports/vat_dunning/vat_windows.h"
#include "shell/handlers.h"

void InstallVatReturnCommands() {
  // "Etats > Déclaration de Tva"
  SetCommandWork(command_id::EtatsDeclarationTva, &CmEtatsDeclarationTva);
}
