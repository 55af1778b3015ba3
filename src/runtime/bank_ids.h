// Bank identifier checks: the French RIB key, the IBAN check digits, and the
// reduction of a free text to the character set of credit-transfer files.
#pragma once

#include <string>

// -1 for an empty or all-blank RIB; 0 when the key is right; otherwise the
// key (1-97) the RIB should carry. The RIB is 23 characters (bank 1-5,
// branch 6-10, account 11-21 with letters allowed, key 22-23): a shorter
// text is completed with "0", blanks count as "0".
int CheckRibKey(const char* rib);
inline int CheckRibKey(const std::string& rib) { return CheckRibKey(rib.c_str()); }

// -1 for an empty or all-blank IBAN; 0 when the check digits are right;
// otherwise the right check digits (2-98). Blanks anywhere are ignored,
// letters are taken without case, and the whole number is checked.
int CheckIban(const char* iban);
inline int CheckIban(const std::string& iban) { return CheckIban(iban.c_str()); }

// Cuts the text to n - 1 characters, replaces accented letters by their
// plain letters (strings 3211 / 3212) and every character outside the
// transfer-file set (string 3213, typographic quotes excluded) by "-".
// Callers pass 140 for remittance text, 70 for names, 35 for references.
std::string& SepaText(int n, std::string& text);
// Same on a caller's NUL-terminated text (it never grows).
char* SepaText(int n, char* text);
