// What the matching runs read of a line: the sort record of C60 (LigneTri) and the source line
// it points at, in the draft C50 ("B") or in the closed file C40; the matching letters and their
// order.
#pragma once

#include <cstdint>
#include <string>

class Table;

namespace processing {

// The three tables the matching works on: C60 in C60CODE order (account, month, day; general
// lines only), C50 and C40 reached by record number.
struct MatchTables {
  Table& c40;
  Table& c50;
  Table& c60;
};

inline constexpr const char* kC60CodeTag = "C60CODE";
inline constexpr int kAccountWidth = 8;
// Letters have at most four characters.
inline constexpr int kLetterWidth = 4;

// True when letter a sorts after letter b, both compared right-justified in 4 characters: a
// longer letter sorts after a shorter one, digits before capitals.
bool LetterAfter(std::string a, std::string b);
// The letter following `letter` in the letter sequence (blank gives "A"); false when none sorts
// after it (after "ZZZZ" the sequence starts again at "A", a letter the account holds).
bool AdvanceLetter(std::string& letter);
// `highest`, the highest letter of currency `currency` on `account`, raised to the letters that
// changes of letters still noted in the dossier folder give that account (a change at work, or one
// a stopped station left for the next opening): the next letter given is after those too, so that
// a letter a change chose is never given twice.
void RaiseToNotedLetters(const std::string& account, int currency, std::string& highest);

// The source line of a sort record: its table and its fields for one currency (0 francs, 1 euros).
struct SourceLine {
  Table* table = nullptr;  // null: the line cannot be reached
  bool refused = false;    // ... because its read was refused (noted for the run's watch): not known
  bool draft = false;
  long long cents = 0;     // signed: positive for a debit; 0 for an amount that does not read
  std::string letter;      // the letter of the currency, as stored
  std::string otherLetter; // the letter of the other currency
};

// Field numbers of the letter of a currency on the source line.
int SourceLetterField(bool draft, int currency);
int SourceAmountField(bool draft, int currency);
int SourceSenseField(bool draft);

// Positions the source table on the line of the current C60 record and reads it. A line that
// cannot be reached (record number 0, out of range, unreadable) gives table null.
SourceLine ReadSource(const MatchTables& t, int currency);

// The account of the current C60 record (8 characters).
std::string AccountOf(Table& c60);
// TMOIS + TJOUR of the current C60 record: a StoredDate.
std::string DateOf(Table& c60);

}  // namespace processing
