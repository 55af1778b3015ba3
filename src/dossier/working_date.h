// Command "&Date de travail..." (20204): the working date of this
// workstation, stored in the dossier, then the automatic import or the
// automatic start of commands.
#pragma once

// Work of the command after the handler prologue.
void CmFichierDateTravail_Work();
