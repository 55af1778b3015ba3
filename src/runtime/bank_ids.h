// Bank identifier checks: the French RIB key, the IBAN check digits, and the
// reduction of a free text to the character set of credit-transfer files.
#pragma once

#include <string>

// Answers of CheckRibKey besides the right key.
constexpr int kRibBlank = -1;
constexpr int kRibNotANumber = -2;

// -1 for an empty or all-blank RIB; -2 when the bank or branch code holds
// anything but digits, or the account number anything but digits and
// letters (no key can make such a RIB right); 0 when the key is right;
// otherwise the key (01-97) the RIB should carry. The RIB is 23 characters
// (bank 1-5, branch 6-10, account 11-21, key 22-23): a shorter text is
// completed with "0" and blanks count as "0"; the letters of the account
// stand for digits (A, J = 1; B, K, S = 2 ... I, R, Z = 9). A key is right
// only as the one two-digit number 01-97 (98 and 99 are refused, although
// each equals a right key modulo 97).
int CheckRibKey(const char* rib);
inline int CheckRibKey(const std::string& rib) { return CheckRibKey(rib.c_str()); }

// -1 for an empty or all-blank IBAN; 0 when the check digits are right;
// otherwise the check digits (2-98) its number gives. Blanks around it are
// ignored; inside it only digits and capital letters count as an IBAN: a
// small letter, an inner blank or any other character is never right, so
// the caller compacts what was typed (CompactIban) and stores that form.
// The whole number is checked, however long.
int CheckIban(const char* iban);
inline int CheckIban(const std::string& iban) { return CheckIban(iban.c_str()); }

// True when the BIC (blanks around it ignored) has the form the credit-transfer schema asks:
// four letters of the bank, two of the country, two characters of the place (the first a
// letter or a digit 2-9, the second a letter other than "O" or a digit), then three letters
// or digits of the branch, or none. A blank BIC is not valid.
bool CheckBic(const char* bic);
inline bool CheckBic(const std::string& bic) { return CheckBic(bic.c_str()); }

// The IBAN as it is stored and checked: capital letters, every blank
// removed ("fr76 3000 6000 ..." gives "FR7630006000...").
std::string CompactIban(const std::string& typed);

// Cuts the text to n - 1 characters, replaces accented letters by their
// plain letters (strings 3211 / 3212) and every character outside the
// transfer-file set (string 3213, typographic quotes excluded) by "-".
// Callers pass 140 for remittance text, 70 for names, 35 for references.
std::string& SepaText(int n, std::string& text);
// Same on a caller's NUL-terminated text (it never grows).
char* SepaText(int n, char* text);

// Answers of CheckSiren besides 0 (right).
constexpr int kSirenBlank = -1;
constexpr int kSirenNotNineDigits = -2;
constexpr int kSirenWrongKey = 1;
// The SIREN of a company: nine digits whose last is the Luhn key of the first eight (La
// Poste's 356000000, whose digits do not pass it, is accepted as the administration does).
// Blanks around it are ignored. 0 right, kSirenBlank, kSirenNotNineDigits or kSirenWrongKey.
int CheckSiren(const std::string& siren);
