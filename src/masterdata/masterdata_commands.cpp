#include "masterdata/masterdata_commands.h"

#include "masterdata/record_text_editor.h"
#include "shell/handlers.h"

void InstallMasterDataCommands() {
  // 20311: the record text editor, asked for by "Texte" of the lists and forms (no menu text).
  SetCommandWork(text_cmd::Open, CmDonneesTexte);
}
