// The form of the texts a trial-balance export writes for other software, chosen by dossier
// constant 045 "BALANCES: Le fichier exporté est en OEM (MS-DOS)": "NON" unchanged (Windows),
// "OUI" in code page 850 (MS-DOS), "MAJ" (and any other value) in capitals without accents.
// The length of the text never changes.
#pragma once

#include <string>

namespace balances {

// `mode` is the first character of constant 045.
std::string ConvertExportText(const std::string& text, char mode);

}  // namespace balances
