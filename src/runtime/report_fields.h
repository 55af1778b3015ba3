// Report variables of a list or report window. Each variable is described by
// a 14-character FieldDefinition ("DEBIT     M142": name blank-padded to 10,
// type C text / N number / M money, width in two characters, decimals in
// one) and holds its value as text at its width (a number wider than it
// keeps all its digits); templates read the values
// by name.
//
// Number (N) and money (M) fields also keep their value exactly, as a whole
// number of units of 10^-scale (cents for money and for numbers of at most
// two decimals; the field's own decimals beyond two). GetFieldNumber, the
// differences and the sums read that exact value, so a total far beyond the
// width of its text stays exact; the text is formatted from it, wider than
// the field when the number needs it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

constexpr int kFieldDefinitionLength = 14;
constexpr int kFieldNameLength = 10;

// Width of a definition: characters 12-13 as two digits; when character 12
// is above '9', its code + 35 + the digit at 13 ("A0" = 100 ... "A9" = 109).
// Never negative.
int FieldWidthOf(const char* definition);
inline int FieldWidthOf(const std::string& definition) { return FieldWidthOf(definition.c_str()); }
char FieldTypeOf(const std::string& definition);     // character 11 (' ' when missing)
int FieldDecimalsOf(const std::string& definition);  // character 14, 0-9
std::string FieldNameOf(const std::string& definition);  // characters 1-10, right-trimmed

// Shows "Il n'y a rien dans cet Etat" followed by the text (beep, stop icon).
void ShowEmptyReport(const char* text);

// An owner that computes some of its variables only when something reads them: it marks them
// pending (MarkFieldPending) instead of setting them, and the table asks it for the value of a
// pending field at its first read, whichever way it is read (its text, its number, its exact
// value, a sum or a difference that takes it). The owner keeps what such a value is made from
// until it sets or marks the field again.
class ReportFieldSource {
 public:
  // Sets field n through the table's setters.
  virtual void FillField(int n) = 0;

 protected:
  ~ReportFieldSource() = default;
};

class ReportFieldTable {
 public:
  // Number of field indices (0 to count - 1); set before InitFieldTable.
  void SetFieldCount(int count) { count_ = count < 0 ? 0 : count; }
  int FieldCount() const { return count_; }
  bool Declared() const { return declared_; }

  // Makes count blank definitions and empty values; sets the declared flag.
  void InitFieldTable();
  // Stores definition n when n is below the count and n is still blank (a
  // definition already present stays) and clears its value. An index outside
  // the count beeps and shows "Erreur: Initialisation Variable (mdibrow)"
  // with the index; nothing is stored. False when nothing was stored.
  bool DeclareField(int n, const char* definition);
  // Blanks definition n and its value, so that DeclareField takes a new definition there (a
  // variable whose width changes from one list to the next). Nothing outside the table.
  void ReleaseField(int n);
  // For copy g = 1..k and j = 0..m-1, declares index g*m + j named by the
  // letter of the copy ('A', 'B' ...) and the first 9 characters of the name
  // of definition j, with its type, width and decimals.
  void DeclareFieldCopies(int k, int m);

  // Every declared 'C' field becomes blanks of its width, every other zero.
  void ClearFieldValues();
  // The same for indices g*m to g*m + m - 1.
  void ClearFieldGroup(int g, int m);

  // Setters ignore an index that is not declared. Text written into an N or
  // M field sets its exact value from the text read as a number.
  void SetFieldText(int n, const char* text);
  void SetFieldText(int n, std::string_view text);
  void AppendFieldText(int n, const char* text);
  // 'M': a blank between each group of three integer digits; other types:
  // plain. A number that does not fit its width is written whole, with all its
  // decimals (money with all its groups): its text is then wider than the
  // field (asterisks only past 20 characters of plain digits).
  // The exact value is the number rounded half away from zero to the
  // field's scale; a value too large for it (beyond about 9 x 10^16 cents)
  // is kept only as text.
  void SetFieldNumber(int n, double value);
  // Field n := blanks of its width. An N or M field then holds no value: it prints and exports
  // blank, and reads as zero.
  void SetFieldBlank(int n);
  // The text an N or M field prints in place of its number, right-aligned in its width, while its
  // exact value stays for the exports and the sums (a number shown as the bound it passes). Other
  // fields: the text as SetFieldText takes it.
  void SetFieldShownText(int n, std::string_view text);
  // 'N' and 'M': the exact value; 'C': the text with its blanks removed,
  // read as a number.
  double GetFieldNumber(int n) const;

  // Exact values of N and M fields (scale 0 and false for other fields).
  // Units are 10^-FieldScale(n): max(2, decimals).
  int FieldScale(int n) const;
  bool GetFieldUnits(int n, std::int64_t& units) const;
  // Field n := units, its text formatted as SetFieldNumber does.
  void SetFieldUnits(int n, std::int64_t units);
  // Field n += value (rounded to the field's scale), exactly.
  void AddFieldNumber(int n, double value);
  // Field t += field a, exactly (both N or M fields).
  void AddField(int t, int a);
  // The exact value as a plain number: sign, digits, the decimal mark and
  // the field's decimals (money: two), no grouping and no blank; "" for a
  // field without an exact value.
  std::string PlainNumber(int n, char decimalMark) const;
  // Field t := a - b: 0.00 in 14 characters when zero, else the amount with
  // " Db" / " Cr" as SetFieldBalance writes it.
  void SetFieldDifference(int t, int a, int b);
  // A text field := a balance of `cents` as BalanceAmount writes it ("      1 234.50 Db"). A
  // balance wider than the field keeps its every digit and its side: its text is then wider than
  // the field, as a number's is, and a printed cell grows to hold it. Other fields: the text as
  // SetFieldText takes it.
  void SetFieldBalance(int n, std::int64_t cents);
  // A balance of `cents` as the exports write it, a number and its side in two fields: `amount`
  // (money) := the cents without their sign, `side` := "Db", "Cr", or blank when zero.
  void SetBalancePair(int amount, int side, std::int64_t cents);

  // The owner that fills pending fields (none: MarkFieldPending does nothing).
  void SetFieldSource(ReportFieldSource* source) { source_ = source; }
  // Field n is asked of the source at its next read; any setter, and clearing the values, make
  // it an ordinary field again. Nothing for an index that is not declared.
  void MarkFieldPending(int n) {
    if (source_ != nullptr && IsDeclared(n)) stale_[static_cast<std::size_t>(n)] |= kPending;
  }
  bool FieldPending(int n) const {
    return n >= 0 && n < static_cast<int>(stale_.size()) && (stale_[static_cast<std::size_t>(n)] & kPending) != 0;
  }

  // Definition and value of index n ("" when outside the table).
  const std::string& Definition(int n) const;
  const std::string& Value(int n) const;
  // Index of the declared field of that name (case ignored), -1 when none.
  int FindField(const char* name) const;
  // Takes a new value, never taken before by any table, whenever a definition is made, blanked
  // or released: what was found from the definitions under one value holds while it stays.
  std::uint64_t DeclarationGeneration() const { return generation_; }

 private:
  bool IsDeclared(int n) const;
  bool IsNumeric(int n) const;
  void ClearValue(int n);
  // Writes the text of an N or M field from a value (formatting rules above).
  void FormatNumberText(int n, double value) const;
  // Exact value read back from the field's text (after SetFieldText).
  void ExactFromText(int n);

  // A pending field filled by the source before it is read.
  void Settle(int n) const {
    if (FieldPending(n)) Fill(n);
  }
  void Fill(int n) const;

  // stale_ flags: the text is to be formatted from the exact value; the field is to be asked of
  // the source (the setters write kCurrent or kFormat over both).
  static constexpr char kCurrent = 0, kFormat = 1, kPending = 2;

  int count_ = 0;
  bool declared_ = false;
  ReportFieldSource* source_ = nullptr;
  std::uint64_t generation_ = 0;
  void NewGeneration();
  std::vector<std::string> definitions_;
  // The text of a number set from its exact value is formatted when it is first read
  // (Value), so that totals added to on every line cost no formatting until they print.
  mutable std::vector<std::string> values_;
  mutable std::vector<char> stale_;
  // Exact values of N and M fields, in units of 10^-scale; exact_[n] is
  // meaningful when hasExact_[n] is set.
  std::vector<std::int64_t> exact_;
  std::vector<char> hasExact_;
};
