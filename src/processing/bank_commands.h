// The bank runs: the OFX statement import (20407), the bank reconciliation (20603) and the ASCII
// import into the draft (20706).
#pragma once

namespace bank_cmd {
constexpr unsigned ImportationReleveBanque = 20407;
constexpr unsigned RapprochementBanque = 20603;
constexpr unsigned AjoutAsciiBrouillard = 20706;
}  // namespace bank_cmd

// Installs the work of the three bank commands.
void InstallBankCommands();
