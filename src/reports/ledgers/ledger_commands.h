// The ledger reports' menu commands "Etats > Compte" (EtaCompte), "Grands Livres" (EtaGrandsLivres), "Journaux"
// (EtaJournaux) and "Récapitulatif Centralisateur" (EtaRecapCentralisateur).
#pragma once

void InstallLedgerCommands();
// The work of one of the four commands (after the shell's prologue): a limits form already open
// comes to the top; a report window that asked for its form gets it; otherwise the report
// window opens (and asks for its form once its tables are open).
void OpenLedgerReport(unsigned command);
