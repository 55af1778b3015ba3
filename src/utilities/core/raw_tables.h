// The tables the raw table browser opens (AccesFichierC10 to AccesFichierLignesBilan: the dossier's files C10 to C70
// and the program folder's balance-sheet models), their titles and report prefixes, and the check of a value typed into
// a field: a value that does not fit its field is refused before anything is written, since the table layer would read
// a number text as far as it can ("12,3,4" as 12.3) and cut a text that is too long.
#pragma once

#include <string>

class Table;

namespace settings {

struct RawTable {
  unsigned command;
  int fileNumber;          // 10 ... 70; 0 for the models
  char model;              // ' ' for a dossier file, 'P' the model parameters, 'L' the model lines
  int listTitle;           // string id of the list's title
  int formTitle;           // string id of the form's title, followed by the record number
  const char* layoutPrefix;  // the report layouts of the table: "F" + number + "-", "FPB-", "FLB-"
  char kindLetter;           // the record kind of the table ("z" C10 ... "t" C70, "s" and "r" the models)
};
// The table of a command, null for another command.
const RawTable* FindRawTable(unsigned command);

// The path of the table (the open dossier's file, or the program folder's model of the balance-sheet letter, the
// first character of dossier constant 004) and its table object (TableC10 ... TableC70, TableCXX for the models).
std::string RawTablePath(const RawTable& t, char modelLetter);
Table* RawTableObject(const RawTable& t);

// How the form shows a field of a type: edited (C, N), shown only (D and any other type), left out (memo).
enum class RawFieldUse { Edit, Show, Leave };
RawFieldUse UseOfFieldType(char type);

// Checks a value typed into a field of type C or N of width `width` (and `decimals`): true with the text to write;
// false with a French message. A number is an optional sign, digits and at most one decimal mark ("." or ","),
// with no more decimals than the field keeps and a whole that fits the width; a blank number writes zero.
bool CheckRawFieldValue(char type, int width, int decimals, const std::string& typed, std::string& stored,
                        std::string& message);

}  // namespace settings
