// The rules of a new code (the new-code dialog's validation) and the French bank identifiers of the bank form:
// the RIB and its key, the IBAN made from a RIB, and the IBAN's check digits.
#pragma once

#include <string>

namespace masterdata {

// ---- new codes ------------------------------------------------------------------------------------------------

// Control ids of the new-code dialog the answers name.
constexpr int kNewCodeEdit = 1203;
constexpr int kNewCodeFromEdit = 1205;

struct NewCodeRequest {
  std::string kind;     // first character: a C10 kind, "2" accounts, "3" sections, "Y" / "Z" report definitions
  std::string code;     // as typed
  std::string from;     // the "A partir de" text as typed
  int codeWidth = 0;
  int fromWidth = 0;
  char helpChar = '*';
  std::string programFolder;  // where "CESETATS.txt" is looked for
};

enum class NewCodeVerdict {
  Accepted,    // every rule passed
  Refused,     // the message lines say why
  LookupCode,  // the code holds the help character: the lookup of the code opens
  LookupFrom,  // the "A partir de" text holds it: its lookup opens
};

struct NewCodeAnswer {
  NewCodeVerdict verdict = NewCodeVerdict::Refused;
  std::string line1, line2;  // the dialog's two message lines
  int focus = kNewCodeEdit;
  std::string code;          // the caller's code buffer: trimmed, then padded to the code width
  std::string from;          // the caller's from buffer: trimmed (padded to the from width but for "Y" and "Z")
};

// The validation of the new-code dialog, in its order. The existence checks read the program-wide tables
// (TableC10, TableC20, TableC30, TableCE0, TableCE1), which the caller has open.
NewCodeAnswer CheckNewCode(const NewCodeRequest& request);

// ---- RIB and IBAN -----------------------------------------------------------------------------------------------

// The 23 characters of a RIB: bank code (5), branch (5), account number (11), key (2), each blank-padded.
std::string RibText(const std::string& bank, const std::string& branch, const std::string& account,
                    const std::string& key);

enum class RibVerdict {
  Blank,      // nothing typed: passes
  Right,      // the key is right
  WrongKey,   // `rightKey` is the key the RIB should carry (01 to 97)
  NotDigits,  // the bank or branch code holds a character that is not a digit
};
struct RibCheck {
  RibVerdict verdict = RibVerdict::Blank;
  int rightKey = 0;
  bool inBranch = false;  // NotDigits: the branch code (else the bank code)
};
// A key must be 01 to 97 (98 and 99 are refused although they equal a right key modulo 97), the bank and branch
// codes digits; letters of the account number count as the digits of the RIB's letter table.
RibCheck CheckRib(const std::string& rib23);

// "FR" + check digits + the RIB: false (nothing made) when the RIB holds a blank, a bank or branch code that is
// not digits, or a wrong key.
bool RibToIban(const std::string& rib23, std::string& iban);

// The right check digits of an IBAN as stored (CompactIban): 0 when they are right or the IBAN is blank.
int WrongIbanDigits(const std::string& compactIban);

}  // namespace masterdata
