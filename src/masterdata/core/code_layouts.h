// What each code list keeps in its C10 records and shows, as data: the packed sub-fields with their positions,
// widths and padding, the form's controls and checks, the list's columns and the report variables. One list and
// one form engine read these tables; a kind has code of its own only where its behaviour is its own (the banks'
// RIB and IBAN, the label types).
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace masterdata {

// Characters position .. position + width - 1 of a C10 field (1-based).
struct Slice {
  int field = 0;
  int position = 1;
  int width = 0;
};

// How a value typed in a form is stored in its slice.
enum class Fill : char {
  Text,         // left-aligned, blank-padded
  Name,         // the same, first character upper-cased
  Account,      // an account: blank gives "00000000"; a capital letter first is blank-padded, any other "0"-padded
  Counterpart,  // the same, but a blank account stays blank
  Number,       // right-aligned with leading blanks, as typed
  Counter,      // the integer part as six digits when it is not 0, six blanks otherwise
  YesNo,        // "O" checked, "N" unchecked; anything but "N" reads as checked
  Letter,       // the first character of the chosen entry
  Iban,         // upper-cased, blanks removed, left-aligned
  Flag,         // "O" checked, "N" unchecked; anything but "O" reads as unchecked
  Amount,       // a number with 2 decimals: "" shows and stores 0
  Budget,       // the same with the sign letter of a budget: "C" + number for a negative value
};

// Which accounts a control of a form belongs to (the forms of the code lists show every control).
enum class Presence : char {
  Always,
  Domiciliation,    // accounts with a bank domiciliation (HasBankDomiciliation)
  Auxiliary,        // auxiliary accounts
  General,          // general accounts
  GeneralAnalytic,  // general accounts of an analytic dossier
};

// One column of the list (DefineColumn); field 0 is the marker column.
struct ListColumn {
  int width;
  const char* title;
  char align;  // 'G' left, 'D' right, 'C' centred
  int field;
  int start;
  int length;
};

// Where a report variable's value comes from.
enum class ReportValue : char {
  Stored,       // the slice as stored
  Normalized,   // the slice rewritten by NormalizeNumberText
  AccountName,  // name of the C20 account of the slice: "???" when missing or cancelled, blanks when blank
  Cut,          // characters start .. start + length - 1 of the value of variable `other`
  YesNo,        // "Non" when the character is "N", "Oui" otherwise
  LabelType,    // the label type's text of the digit, blanks unless "1" to "8"
};

struct ReportVariable {
  ReportValue value;
  Slice slice;
  int other = 0;
  int start = 1;
  int length = 0;
};

// The controls of a form.
enum class Item : char { Label, Frame, Edit, Check, Combo, Display, Button };

// The checks of a form, run in the kind's order.
enum class Rule : char {
  NameRequired,    // the name may not be empty
  GeneralAccount,  // required, "1" to "8" first, a live account of the chart
  KnownAccount,    // blank or a live account of the chart
  KnownAccountZeroBlank,  // the same; eight zeros count as blank
  KnownCode,       // blank or a live code of the C10 kind
  RequiredCode,    // a live code of the C10 kind; refused with a beep only
  RibKey,          // the banks' RIB
  Iban,            // the banks' IBAN
  Digits,          // only digits (the journals' piece counter)
  Amount,          // blank or a number (a budget may begin with its sign letter)
};

struct FormItem {
  Item item;
  int id;
  const char* text = "";  // label, frame, check box and button texts (cp1252)
  Slice slice{};          // edits, check box and combo box: where the value is kept
  Fill fill = Fill::Text;
  int width = 0;          // text limit of an edit, value width of a combo box
  int input = 1;          // MEdit input kind: 1 text, 2 signed decimal, 3 unsigned decimal
  int decimals = 0;
  bool upper = false;
  int enter = 1;          // Enter: 1 next field, 2 next when not empty, 0 the form, above 3 a command
  // Place on the form grid (CMDIModif::MoveFormControls): column, row, columns spanned, grid kind, extra.
  int col = 1, row = 1, ncols = 1, grid = 7, extra = 0;
  Presence presence = Presence::Always;
  char align = 'G';  // statics: 'G' left, 'C' centred
};

// A field that names a record of another table: its lookup, stepping and display.
struct CodeField {
  int edit;
  int display;
  int button;
  unsigned lookup, validate, first, prior, next, last;
  char table;             // '2' the chart of accounts, else the C10 kind of the code
  int width;
  unsigned listCommand;   // the list a C10 lookup may open
  int listSlot;
  Rule rule;
  int message;            // string id of the refusal; 0 refuses with a beep only
  int focusKnown;         // the control that takes the focus after a known code
  int focusBlank;         // ... after a blank one
  int tip;                // tooltip of the "?" button (string id, 0 none)
  bool balance = false;   // an account shown with its balance (else its name)
};

// The controls of a RIB and an IBAN on a form, and the commands of their checks (0: none).
struct BankFields {
  int bankCode = 0, branch = 0, account = 0, key = 0, iban = 0, bic = 0;
  int ribToIban = 0;       // the "RIB>IBAN" button
  unsigned keyEnter = 0;   // posted by Enter in the key: the key is checked
  unsigned ibanEnter = 0;  // posted by Enter in the IBAN: the IBAN is checked
  int tip = 0;             // tooltip of the button
};

struct KindLayout {
  char kind;
  std::vector<ListColumn> columns;
  int reportDefinitions;  // string id: the 14-character definitions, one after the other
  std::vector<ReportVariable> report;
  std::vector<FormItem> form;
  std::vector<CodeField> codeFields;
  std::vector<std::pair<Rule, int>> checks;  // rule, control
  int formWidthChars;     // first width of the form, in entry-font characters
  int formHeightRows;     // first height, in grid rows of the entry font
  BankFields bank{};
};

// The layout of a code-list kind, of the accounts ("2") or of the sections ("3"); null for any other letter.
const KindLayout* FindLayout(char kind);

// The report definitions of a layout, 14 characters each.
std::vector<std::string> ReportDefinitions(const KindLayout& layout);

// The item of a control id, null when the form has none.
const FormItem* FindItem(const KindLayout& layout, int id);
const CodeField* FindCodeField(const KindLayout& layout, int edit);

// Ids of the bank form's RIB edits and of its "RIB>IBAN" button.
namespace bank {
constexpr int kHolder = 1225, kBankCode = 1226, kBranch = 1227, kAccount = 1228, kKey = 1229, kIban = 1230,
              kBic = 1231, kRibToIban = 1232;
}  // namespace bank

}  // namespace masterdata
