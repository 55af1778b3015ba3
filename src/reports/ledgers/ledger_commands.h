// The ledger reports' menu commands "Etats > Compte" (20501), "Grands Livres" (20502), "Journaux"
// (20503) and "Récapitulatif Centralisateur" (20505).
#pragma once

void InstallLedgerCommands();
// The work of one of the four commands (after the shell's prologue): a limits form already open
// comes to the top; a report window that asked for its form gets it; otherwise the report
// window opens (and asks for its form once its tables are open).
void OpenLedgerReport(unsigned command);
