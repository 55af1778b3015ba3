// Access-rights test of the users who opened the dossier with the secondary
// password.
#pragma once

#include <string>

// Set while a print or preview run reads data: every right is granted then.
extern bool PrintRunFlag;

// Right k (1-12: 1 menu access, 2 create, 3 modify and record text, 4 cancel
// or reactivate, 5 view, 6 print, 7 add to another dossier, 8 create a piece,
// 9 create a line) of guarded function n. Function n's characters start at
// the position held by string 9000 + n; right k is bit (k - 1) mod 4 of the
// character (k - 1) div 4 after it. Granted while a print run is in
// progress, to the levels "0", "1", "A" while a dossier is open, to
// function 0 and to any function without a row (37, "Codes Tva"). A blank
// character or one past the end of the dossier record grants; hexadecimal
// letters "A"-"F" ("a"-"f") are stored back as the masks 10-15.
// A right number outside 1-12 is refused.
bool HasAccessRight(int function, int right);

class DossierRecord;

// Right k of guarded function n as the rights string of `record` gives it to the users of that
// dossier's secondary password, whatever the level of this station and the print run: the
// rights of another dossier, read from its own record. Function 0, a function without a row, a
// blank character or one past the record grant; a right outside 1-12 is refused.
bool SecondaryUserHasRight(const DossierRecord& record, int function, int right);
// The name of guarded function n as its row gives it ("Grands Livres"); "" without a row.
std::string AccessFunctionName(int function);
// The name of right k (1-12) as the rights editor shows it ("Accès", "Créer", "Modifier" ...);
// "" outside 1-12.
std::string AccessRightName(int right);
