// The free text of a record, as the record text editor works on it without its window: the
// record reference that lists and forms leave in the open-window registry, the record type
// it names (table, key, memo field, limit, form entry), the record held under the editor's
// lock while the text is open, and the search and insertion rules of the text.
//
// The memo is read and written whole: a text longer than its limit, or holding a byte 26,
// keeps every byte when it is saved; the limit bounds only what is added to it.
#pragma once

#include <cstdint>
#include <string>

class Table;

namespace masterdata {

// Most characters of a record's text, and of a report definition's template.
inline constexpr int kRecordTextLimit = 4000;
inline constexpr int kReportTextLimit = 32768;

// The record reference in the open-window registry: the flag of the text window at 3819, the
// reference (designation, kind letter, code of 90) from 3830.
inline constexpr int kRecordTextSlot = 3819;
inline constexpr int kRecordReferencePos = 3830;
inline constexpr int kRecordReferenceLength = 92;
inline constexpr int kRecordCodeLength = 90;
// The slot from its flag to the end of the reference, freed when the window ends.
inline constexpr int kRecordTextSlotLength = kRecordReferencePos + kRecordReferenceLength - kRecordTextSlot;

// What a reference's designation (and for the general file its kind letter) chooses.
struct RecordTextType {
  char designation = ' ';  // "1" C10, "2" C20, "3" C30, "Y" / "Z" the report-definition sets
  char kind = ' ';         // C10: the kind letter of the code list
  Table* table = nullptr;
  const char* tag = "";
  int codeWidth = 0;
  int memoField = 0;
  int maxLength = 0;
  int formEntry = -1;      // entry of FormRecordLocks of the form of this type
  bool IsReport() const { return designation == 'Y' || designation == 'Z'; }
};

// The reference a list or form leaves: designation, kind letter, code blank-padded to 90.
std::string MakeRecordReference(char designation, char kind, const std::string& code);

// The type of a reference. False for an unknown designation or general-file kind, or when the
// program has no table object for it.
bool RecordTextTypeOf(const std::string& reference, RecordTextType& type);

// The code of a reference (positions 3-92), right-trimmed.
std::string ReferenceCode(const std::string& reference);

// The record's key in its tag: the kind letter and the code width's characters of the code
// for the general file, the code width's characters otherwise.
std::string RecordTextKey(const RecordTextType& type, const std::string& reference);

// The record a text editor holds: found by its key, write-locked (a lock this program holds
// already counts as granted) and recorded in EditorLock until Release.
class RecordTextHold {
 public:
  RecordTextHold() = default;
  ~RecordTextHold() { Release(); }
  RecordTextHold(const RecordTextHold&) = delete;
  RecordTextHold& operator=(const RecordTextHold&) = delete;

  // Opens the text of the record a reference names: false, holding nothing, when the record is
  // missing or cancelled, its table is not open, or another station holds it. No message is
  // shown: the editor just closes.
  bool Open(const std::string& reference);
  bool Held() const { return record_ != 0; }
  const RecordTextType& Type() const { return type_; }
  std::uint32_t Record() const { return record_; }
  // The whole memo as it was read.
  const std::string& Text() const { return text_; }
  // Writes the whole text into the memo of the held record; a record no longer found under its
  // key is not written (true: nothing to do). An engine failure is reported (context 2010) and
  // answers false.
  bool Save(const std::string& text);
  // Gives the lock back, except to a form of the same type that holds the record, to journal
  // entry for a journal-month it enters, and to the matching window for its account; then
  // EditorLock names nothing.
  void Release();

 private:
  RecordTextType type_;
  std::string reference_;
  std::string key_;
  std::uint32_t record_ = 0;
  std::string text_;
};

// Position of the first occurrence of `word` in `text` at or after `from`, compared in capitals
// (accented letters with their capitals); -1 when there is none or the word is empty.
int FindWordInText(const std::string& text, const std::string& word, int from);

// True when replacing `selected` characters of a text of `length` by `inserted` characters
// keeps it within `limit` (reaching it exactly is allowed). A text already over its limit
// takes nothing that leaves it there.
bool InsertionFits(int length, int selected, int inserted, int limit);

}  // namespace masterdata
