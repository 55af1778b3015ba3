// The kinds of code records kept in the general file C10, one letter each, and the one table that says, per code
// list, its windows, menu command, report prefix, rights, code width, registry slots, help topic and report size.
#pragma once

#include <string>
#include <vector>

namespace masterdata {

// The C10 record: field numbers and widths every code list relies on.
constexpr int kKindField = 1;   // GCLE, the kind letter
constexpr int kCodeField = 2;   // GCODE, the code, left-aligned
constexpr int kNameField = 3;   // the name, 30 characters
constexpr int kText1Field = 4;  // packed sub-fields
constexpr int kText2Field = 5;  // packed sub-fields
constexpr int kMemoField = 7;   // the record's free text
constexpr int kNameWidth = 30;
constexpr int kPackedWidth = 254;
constexpr const char* kC10Tag = "C10CODE";

// Icon of every master-data window and the placements of the lists and forms.
constexpr int kMasterDataIcon = 1004;
constexpr int kListPlacement = 0;
constexpr int kFormPlacement = 5;

// One code list of the general file.
struct CodeKind {
  char kind;                 // GCLE of its records
  const char* listClass;     // the list window's class
  const char* formClass;     // the edit form's class
  unsigned command;          // the "Données" menu command that opens the list and its form
  const char* reportPrefix;  // the list's user-defined reports begin with it
  int accessFunction;        // rights group passed to HasAccessRight
  int codeWidth;             // characters of GCODE that make the code
  int listSlot;              // OpenWindowRegistry slot of the list
  int formSlot;              // OpenWindowRegistry slot of the form; its code stands at formSlot + 11
  int helpTopic;             // help context of the list and the form
  int reportFieldCount;      // report variables the list declares
  int formLockEntry;         // entry of the form kind in EditedRecordNumbers (FormRecordLocks)
  int gridColumns;           // the form's grid
  int gridRows;
  bool usesChart;            // the list, its report or its form read the chart of accounts (C20)

  int SlotDistance() const { return formSlot - listSlot; }
  int FormSlotLength() const { return codeWidth + 11; }
};

// The eight code lists, in the order of the "Données" menu.
const std::vector<CodeKind>& CodeKinds();
// The row of a kind letter; null for a letter that is no code list.
const CodeKind* FindCodeKind(char kind);
// The row of a menu command; null for any other command.
const CodeKind* FindCodeKindByCommand(unsigned command);

// True for the letters of the eight code lists of the general file: Q banks, B collective accounts, T VAT codes,
// E establishments, J journals, L standard labels, M entry models, V distribution codes.
bool IsCodeListKind(char kind);
// True for every kind kept in C10: the eight lists, "0" the dossier record, "P" the constants record and "C" the
// journal-month headers.
bool IsC10RecordKind(char kind);

// "Type de code inconnu: 'X'": the message of a kind letter that no table knows.
std::string UnknownKindMessage(const std::string& kind);

}  // namespace masterdata
