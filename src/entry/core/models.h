// Entry models as the line form reads them: the model text of a journal-entry slot is a run of lines ended
// by CR LF, its first line the current one. A line holds keywords, each followed by its value at a fixed
// width: "CC=" (account, 8), "CP=" (account when "CC=" is absent, 8; also the counterpart proposal), "CL="
// (label code, 1), "LI=" (label, 25), "DC=" (sense, 1), "MO=" (amount) or "MO=SOLDE" (the piece's balance),
// and "?" (open the chart of accounts when the model's account is unknown).
//
// Keywords are found without regard to case on a copy of the current line: the text itself keeps its case,
// so labels are proposed as written. A value stops at the end of its line: a short line never reads the
// line break and the next line into a value.
#pragma once

#include <string>

namespace entry {

// Keywords (string ids).
inline constexpr int kKeywordAccount = 1798;       // "CC="
inline constexpr int kKeywordLabelCode = 1799;     // "CL="
inline constexpr int kKeywordLabel = 1800;         // "LI="
inline constexpr int kKeywordSense = 1801;         // "DC="
inline constexpr int kKeywordAmount = 1802;        // "MO="
inline constexpr int kKeywordBalance = 1803;       // "MO=SOLDE"
inline constexpr int kKeywordCounterpart = 1804;   // "CP="
inline constexpr int kKeywordLookup = 53;          // "?"

// The 1-based position of a keyword in the current line (the text up to its first CR LF), 0 when absent.
int FindModelKeyword(const std::string& text, const std::string& keyword);
// Same, by the keyword's string id.
int FindModelKeyword(const std::string& text, int keywordId);

// The value after a keyword found at `position` (1-based): at most `width` characters from position + 3,
// stopping at the end of the line; 0 = the rest of the line.
std::string ModelValue(const std::string& text, int position, std::size_t width);

// The current line read.
struct ModelLine {
  bool hasAccount = false;
  std::string account;    // "CC=" or "CP=", trimmed
  std::string labelCode;  // "CL=", blank when none
  bool hasLabel = false;
  std::string label;      // "LI=", right-trimmed, as written
  char sense = ' ';       // "DC=": 'D' debit, 'C' any other non-blank character, ' ' none
  enum class Amount { None, Balance, Value } amount = Amount::None;
  double value = 0;       // "MO=": read by Val from the rest of the line
  bool lookup = false;    // "?"
};
ModelLine ReadModelLine(const std::string& text);

// "Compte suivant de ce Modèle": the current line goes to the end, the next one becomes current. False
// (the text unchanged) when the text holds no line break.
bool NextModelLine(std::string& text);

// After a save: when the current line's account ("CC=", else "CP=") is the beginning of the account saved,
// the line is done and leaves the text (everything up to its CR LF; all of a text without one). True when
// the line left.
bool DropSavedModelLine(std::string& text, const std::string& savedAccount);

// The counterpart of an auxiliary account proposed as a model line: an earlier proposal ("CP=" with its
// value and line break) is removed, and "CP=" + the counterpart (normalised) + CR LF put in its place, or
// at the end; nothing is added when the counterpart is blank or the text already holds "CC=" + it.
void ProposeCounterpart(std::string& text, const std::string& counterpart);

}  // namespace entry
