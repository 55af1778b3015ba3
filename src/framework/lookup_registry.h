// The lookup fields of a list window's slot in the open-window registry,
// shared by the list ("Renvoyer ce code", RenvoyerCode) and the edit forms'
// code-field lookups. For a list slot s with key width w:
//   s + 11      w   the key: the asking form's text (request) or the code
//                   the list returns (answer)
//   s + w + 11  4   registry position of the asking window's handle
//   s + w + 15  10  the asking window's handle; its first character carries
//                   the answer mark (handles never reach 10 digits, so it is
//                   blank in a request)
//   s + w + 25  4   command id the list posts back to the asking window
// Only a key written together with the mark is an answer: a pending request,
// or a code a form left there to refresh the list, never reads as one.
#pragma once

#include <string>

constexpr char kLookupAnswerMark = '*';

// The asking form's request: its text (padded or cut to `width`), the
// position of its handle in the registry, its handle (10 characters as the
// registry holds it) and the command to post back.
void WriteLookupRequest(int listSlot, int width, const std::string& text, int askerPosition,
                        const std::string& askerHandle10, unsigned returnCommand);

// The list's answer: the code at s + 11 and the mark.
void WriteLookupAnswer(int listSlot, int width, const std::string& code);

// True when the slot holds an answer for the asker whose handle is
// `askerHandle10` (10 characters); the answer is then taken: `code` gets
// it, the key is blanked and the mark cleared.
bool TakeLookupAnswer(int listSlot, int width, const std::string& askerHandle10, std::string& code);

// The asking window's handle recorded in the slot (0 none), its position in
// the registry (0 none) and the command to post back (0 none).
unsigned long long LookupAskerHandle(int listSlot, int width);
int LookupAskerPosition(int listSlot, int width);
int LookupReturnCommand(int listSlot, int width);

// The asking window still stands at its recorded position.
bool LookupAskerAlive(int listSlot, int width);

// A handle field of the registry read as a number (blanks and the answer
// mark skipped); 0 when it holds anything else.
unsigned long long ParseRegistryHandle(const std::string& text);
