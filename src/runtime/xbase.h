// xBase-style text functions over single-byte cp1252 texts.
//
// Ring results: functions marked "ring" return a char* into one of the 50
// slots of the StringRing. A result stays valid while the ring is used 49
// more times; callers never free it and never write past its length.
// Positions are 1-based; a blank is the space character only.
//
// In-place functions (Stuff, PadTo, StrTran) work on a std::string, which
// grows as needed, so a short caller buffer can never be overrun.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The ring's geometry.
constexpr int kRingSlots = 50;
constexpr std::size_t kRingSlotRoom = 2048;     // characters, terminator not counted
constexpr std::size_t kStuffBufferRoom = 131072;  // largest text Stuff / StrTran compose
constexpr std::size_t kScratchTextSize = 256;

// Shared empty text returned for empty results without using the ring.
// Never written into.
extern char EmptyText[1];

// 256-byte scratch text (SplitText's separator, WorkstationNumber, folder choice).
extern char ScratchText[kScratchTextSize];

// Program-wide open-window registry text (laid out and sized by the shell);
// SessionInt reads window handles from it.
extern std::string OpenWindowRegistry;

// Next ring slot with room for at least `length` characters (the slot grows
// when needed, never shrinks). Its content is undefined: write then return it.
char* NextRingSlot(std::size_t length);
// Copy of a text into the next ring slot.
char* RingCopy(std::string_view text);
// Room of a slot (0-49) and the index of the slot used last (tests, diagnostics).
std::size_t RingSlotRoom(int slot);
int RingIndex();

char* SubStr(const char* text, int position, int length);  // ring; length 0 = to the end
char* Left(const char* text, int n);                       // ring; n = 0 = whole text
char* Space(int n);                                        // ring; n < 1 = EmptyText
char* Replicate(const char* text, int n);                  // ring; n copies of text[0]
char* RTrim(const char* text);                             // ring
char* LTrim(const char* text);                             // ring
char* AllTrim(const char* text);                           // ring (two slots)
char* Upper(const char* text);                             // ring, cp1252 letters too
char* Lower(const char* text);                             // ring, cp1252 letters too
char* Chr(char c);                                         // ring
char* StrInt(int value, int n);                            // ring, "%5i" then last n (1-5)
char* StrZero(long value, int n);                          // ring, 6 digits zero-filled; n 0 = all 6
char* StrNum10(std::uint32_t value);                       // ring, width 10, no decimals

// Integer (atoi) of the 10 characters of OpenWindowRegistry from position;
// 0 when the position is outside the registry.
int SessionInt(int position);

char CharAt(int position, const char* text);       // NUL past the end or for position < 1
void SetCharAt(int position, char* text, char c);  // nothing past the end
void SetCharAt(int position, std::string& text, char c);
void SetCharAtFrom(int position, char* text, const char* other);
void SetCharAtFrom(int position, std::string& text, const char* other);

bool IsBlank(const char* text);  // empty or only blanks (null counts as empty)
inline bool IsBlank(const std::string& text) { return IsBlank(text.c_str()); }

// The texts joined in order, in one of two alternating buffers: a result
// survives the next Concat and is overwritten by the one after it.
char* Concat(const char* t1, const char* t2 = "", const char* t3 = "", const char* t4 = "",
             const char* t5 = "", const char* t6 = "", const char* t7 = "", const char* t8 = "",
             const char* t9 = "", const char* t10 = "");

// Replaces `length` characters from `position` by the replacement (length 0
// inserts before the position; the length is clipped at the end). Position 0
// or past the end (length + 1 included) changes nothing and returns false;
// a result beyond kStuffBufferRoom characters is refused (false, unchanged).
bool Stuff(std::string& text, int position, int length, const char* replacement);

// n = 0 empties the text; otherwise the fill text is appended (n - length)
// times when the text is shorter than n, then the text is cut to n.
void PadTo(std::string& text, int n, const char* fill);

// The text cut or padded with blanks on the right to `width` characters (a fixed-width field's text).
inline std::string PadRight(std::string text, std::size_t width) {
  text.resize(width, ' ');
  return text;
}

// Replaces every occurrence of search by replacement. When the replacement
// contains the search text the work would never end: beep, message
// "Cherche: <search>" / "Remplace: <replacement>" and the text unchanged
// (false). True otherwise.
bool StrTran(std::string& text, const char* search, const char* replacement);

// First occurrence of search at or after start, counted from start (1 =
// found at start); 0 when absent, when either text is empty, when start is
// outside the text, or when limit is not 0 and the occurrence begins more
// than limit characters after start.
int At(const char* text, const char* search, int start = 1, int limit = 0);
int RAt(const char* text, const char* search);  // last occurrence, 0 when absent

// 0 for "", 1 for a one-character text, else the CR LF pairs plus one.
int CountLines(const char* text);

// Splits at `separator` (extra1 / extra2, when not 0, count as separators
// too). With skipBlank, blank pieces are dropped; a blank last piece is
// always dropped.
std::vector<std::string> SplitText(const char* text, bool skipBlank, char separator,
                                   char extra1 = 0, char extra2 = 0);

// Folder-path case: from the 4th character on, upper after a backslash,
// slash, blank, "-", "_" or digit and lower otherwise; characters 2-3 kept;
// the first character upper-cased. Returns the same text.
char* ProperCase(char* text);
std::string& ProperCase(std::string& text);
