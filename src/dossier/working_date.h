// Command "&Date de travail..." (FichierDateTravail): the working date of this
// workstation, stored in the dossier, then the automatic import or the
// automatic start of commands.
#pragma once

// Work of the command after the handler prologue.
void CmFichierDateTravail();

// Set when the command ends by posting the automatic import (AjoutAsciiBrouillard), whose work clears it before its
// checks, refused or not: the import posted so runs at once when its file has no error, where the
// menu command opens its window.
extern bool AutomaticImportPosted;
