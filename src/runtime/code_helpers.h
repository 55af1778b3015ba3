// Small operations on codes, record kinds, dossier constants and the
// registry texts that many subjects share.
#pragma once

#include <string>
#include <vector>

// Code prompt and file title of a record kind (first character of kind),
// "???" for an unknown kind; ring texts.
const char* CodeLabelForType(const char* kind);
const char* FileTitleForType(const char* kind);
// False for the kinds whose records do not live in C10: "2", "3", "Y", "Z"
// and the digits "4" to "9".
bool IsC10CodeKind(const char* kind);
bool IsLetter(const char* text);        // first character "A" to "Z"
bool IsAlphaNumeric(const char* text);  // only digits and ASCII letters (true for "")

// Dossier constant n (0-74) of the dossier record: ring text of 3
// characters ("" for another n).
char* ConstantEntry(int n);
bool ConstantIs(int n, char letter);  // constant n begins with the letter
bool ConstantIsNo(int n);             // constant n begins with "N"

// Next matching code: "" -> "A", "A9" -> "AA", "AZ" -> "B1", "Z" -> "A0",
// "ZZ" -> "A00", "ZZZZ" -> "A"; codes longer than 4 stay. Trailing blanks
// of a padded code are kept at its length.
std::string& NextLetterCode(std::string& code);
// Exactly 4 characters, blanks moved to the front ("AB" -> "  AB").
std::string& RightJustifyCode4(std::string& code);
// Removes leading blanks; an empty or all-blank text is left unchanged and
// the shared empty text returned.
const char* LTrimInPlace(std::string& text);
// Typed account number cut by the dossier's account length (constant 019:
// "O" removes trailing zeros; 5, 6 or 7 cuts after that many characters
// when the rest reads as zero), then padded back to its length. Blank texts
// and texts beginning with a capital letter stay.
std::string& NormalizeNumberText(std::string& text);

// Journal-entry slots of the open-window registry: slot k (0-4) at
// 554 + 412k; in use when its flag is "1"; its 7-character journal-month key
// at 565 + 412k.
bool IsJournalInEntry(const char* journal);
// Writes the 8-character code over 3944-3951, and over 3952-3959 too when
// it begins with a letter "A"-"Z".
void StoreSessionCode(const char* code);

// What the helpers ask of the window layer. The window layer fills the hook;
// until then the actions are only recorded (tests read them).
enum class WindowAction {
  BringForward,  // restore when iconic, bring to the top, enable, focus
  SendClose,     // close message sent at once; the window may refuse
  PostClose,     // close message posted
};
// Answers false when the window refused the action (a close it did not
// accept); true otherwise.
using WindowActionHook = bool (*)(WindowAction action, unsigned long handle);
void SetWindowActionHook(WindowActionHook hook);  // null = record only
struct RecordedWindowAction {
  WindowAction action;
  unsigned long handle;
};
const std::vector<RecordedWindowAction>& RecordedWindowActions();
void ClearRecordedWindowActions();

// Record-text window registered at 3819 (state), 3820 (handle), 3830 (key).
// 0: the window showing this key was brought forward, or the registered
// window refused to close (it stays in front with its text and the caller
// does not repeat its request); 2: none registered; 1: another one was
// brought forward and closed.
int SwitchRegisteredWindow(const char* key, int keyLength);
// Closes the registered window (posted close) when the key is empty or is
// the registered window's key (compared right-trimmed).
void CloseRegisteredWindow(const char* key);

// Print form of raw table fields. fileNumber is 10, 20 ... 70.
// Month fields (C40 field 3, C50 field 2, C60 field 3) give YYMM and date
// fields (C40 field 11, C50 field 15) YYMMDD with the year's decade letter
// decoded to digits; true then. Other fields or a blank value: false, out
// unchanged.
bool PrintFieldText(std::string& out, int fileNumber, int field, const std::string& stored);
// Amount fields of type "N" print with "," as the decimal mark (unless
// constant 018 begins with ","): true after the change for C20 fields 17-24,
// 28, 29; C30 9-18; C40 14, 15; C50 18, 19; C70 8, 9, 12, 13, 16, 17, 20, 21.
bool IsPrintableAmountField(std::string& text, int fileNumber, int field, char fieldType);

// Support password: an 8-character code valid for one day.
std::string SupportCodeForDate(int year, int month, int day);
// Prompt through which AskSupportPassword asks (the window layer fills it,
// the typed text hidden); true with the typed text when confirmed. Without a
// hook: cancelled.
using TextPromptHook = bool (*)(const char* caption, const char* prompt, std::string& answer);
void SetTextPromptHook(TextPromptHook hook);
// Beep, prompt, and true when today's code was typed.
bool AskSupportPassword();
