// The trial balances' menu command "Etats > Balances" (EtaBalances).
#pragma once

void InstallBalanceCommands();
// The command's work (after the shell's prologue): the options form already open comes to the
// top; a report window that asked for its form gets it; otherwise the report window opens (and
// asks for its form once its tables are open).
void CmEtaBalances();
