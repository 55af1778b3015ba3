#include "masterdata/masterdata_commands.h"

#include "shell/handlers.h"

void InstallMasterDataCommands() {}
