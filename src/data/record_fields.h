// Fields read from a record held as bytes (a block of the file, a record of another table) with the
// text and value the table's GetField and GetFieldNum give of the current record, for walks that
// read many records without making each one current.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

class DossierRecord;
class Table;

// The text GetField gives of a character or number field: a character field up to a first zero
// byte, blank-padded to its width; a number printed to its width and decimals. Empty for a field
// of another type (which GetField refuses).
void FieldTextOf(Table& table, int field, const std::uint8_t* record, std::string& out);
std::string FieldTextOf(Table& table, int field, const std::uint8_t* record);
// The value GetFieldNum gives of a number field: 0 when blank or unreadable.
double FieldNumberOf(Table& table, int field, const std::uint8_t* record);
// The field's amount in cents: its stored text as StoredAmountCents reads it, a line's amount as
// LineAmountCents does (0, *readable cleared, for a text that does not read as the amount).
long long FieldCentsOf(Table& table, int field, const std::uint8_t* record, bool* readable = nullptr);
// True when the stored text of a number field (`width` bytes) is the one writing its own value
// back gives: blanks, a sign, digits without a leading zero, the field's decimals; at most 15
// digits, so that reading and printing it again cannot change a digit. Negative zero is not.
bool CanonicalNumberText(const std::uint8_t* text, int width, int decimals);
// True when the stored text of a number field reads as a number: blanks, at most one sign just
// before the digits, digits (at least one; at most 15 before the point, so that its cents are
// exact), at most one point, blanks after. Blanks only read as zero. Letters, NUL bytes, an
// exponent ("-1e300") or a second sign or point do not: the readers of amounts count such a
// field as zero and name its line. Only the amounts not in their usual form need asking.
bool ReadableNumberText(std::string_view text);
// A line's amount (its francs or its euros, in C40 or C50, a general or an analytic line) reads
// only as an amount the program makes: up to the largest a line takes (LargestLineCents: a text of
// 14 digits without its point, 99 999 999 999 999, does not read), and not below zero,
// but for the one line the program writes so: an opening
// balance whose francs and euros lie on opposite sides, written in credit with both amounts
// negated (the amount below zero, its twin above). A line amount that is otherwise, however it
// came in (a restored backup, a damaged disk), is read as one that does not read, counted as zero
// and named, by every reader below. `twin` is the line's amount in the other currency.
bool LineAmountHolds(long long cents, long long twin, bool euros);
// The largest amount a line takes, in euros (`euros`) or in francs: the francs up to what their
// field holds (99 999 999 999,99), the euros up to those whose francs it still holds at the open
// dossier's parity (15 244 901 723,74 at 6,55957), as the entry takes them (LargestAmountTaken).
long long LargestLineCents(bool euros);
// The largest amounts a line takes at the parity of `record` (LargestLineCents is those of the open
// dossier's), for a walk that reads many lines to decide once, before it starts.
struct LineBounds {
  long long francs, euros;
  long long Of(bool inEuros) const { return inEuros ? euros : francs; }
};
LineBounds LineBoundsOf(const DossierRecord& record);
// The sentence's part that names it: "15 244 901 723,74 € (99 999 999 999,99 F)", or the one
// figure when no parity is known.
std::string LargestLineText();
// The amount of a line's francs (`euros` false) or euros stored as `text`, its twin's stored as
// `twinText`: StoredAmountCents, and 0, *readable cleared and the amount noted, for one
// LineAmountHolds refuses. For the walks that read a line's fields as texts (ReadStoredFields, a
// record's bytes).
long long LineAmountCents(std::string_view text, std::string_view twinText, bool euros, bool* readable = nullptr);
// The same up to `largest` (LineBounds::Of) rather than the open dossier's largest, noting nothing:
// for a walk that notes or names what it could not read itself.
long long LineAmountCents(std::string_view text, std::string_view twinText, long long largest, bool* readable);
// A line's two amounts, its francs and its euros stored as `francs` and `euros`, each read as
// LineAmountCents reads it but up to `bounds` (LineBoundsOf, decided once before a walk over many
// lines), into cents[0] (francs) and cents[1] (euros): how many of the two do not read (each
// counted as 0): LineAmountCents of each against the other, in one pass. Nothing is noted.
int LineAmountsCents(std::string_view francs, std::string_view euros, const LineBounds& bounds, long long cents[2]);
// True when the stored text of number field `field` of `record` (a record of `table`) reads as the
// field's amount: ReadableNumberText, and, for a line's amount, LineAmountHolds. What the watch of
// unread amounts notes.
bool StoredAmountReads(Table& table, int field, const std::uint8_t* record);
// A stored amount in cents, the one reading of every reader of amounts: "   1234.50" gives 123450,
// "-12.3" gives -1230, blanks give 0; a third decimal rounds half away from zero ("1.005" gives
// 101, as ToCents does), the decimals past it count for nothing. The usual form (blanks, a "-",
// digits, "." and two digits) is read at once; a text that does not read as a number
// (ReadableNumberText) gives 0 and clears *readable.
long long StoredAmountCents(std::string_view text, bool* readable = nullptr);
// The amount of number field `field` of the table's current record, read from its stored bytes
// (NUL bytes and all) by StoredAmountCents, a line's amount as LineAmountCents reads it; 0 for a
// field of another type.
long long StoredAmountOf(Table& table, int field, bool* readable = nullptr);
// The text GetField gives of field `field` of the table's current record, except that an amount (a
// number field of at most two decimals) is printed from the cents StoredAmountOf reads: one that
// does not read as a number gives zero, as every report counts it.
std::string FieldTextAsRead(Table& table, int field);
// Copies number field `s` of the source's current record into number field `t` of the target's
// record (being appended, or current and then written, as PutFieldNum writes). An amount (at
// most two decimals) goes over as the cents StoredAmountCents reads, so that the copy reads as
// its source does whatever its text ("54.125" is 54.13 on both sides); a text that does not read
// as a number goes over as stored into a field of its width, so that the copy's readers name it
// as they name the source. Other numbers go over as their value. False when the target refused.
bool CopyNumberField(Table& source, int s, Table& target, int t);
// Leaves number field `field` of the table's record blank (being appended or rewritten, or current and
// then written, as PutFieldNum writes): a figure with no place in the field is left out, never cut;
// readers see no figure there. False for another type or when the table refused.
bool BlankNumberField(Table& table, int field);
