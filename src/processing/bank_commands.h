// The bank runs: the OFX statement import (ImportationReleveBanque), the bank reconciliation (RapprochementBanque) and
// the ASCII import into the draft (AjoutAsciiBrouillard).
#pragma once

#include "resources/command_ids.h"

// Installs the work of the three bank commands.
void InstallBankCommands();
