// Fields read from a record held as bytes (a block of the file, a record of another table) with the
// text and value the table's GetField and GetFieldNum give of the current record, for walks that
// read many records without making each one current.
#pragma once

#include <cstdint>
#include <string>

class Table;

// The text GetField gives of a character or number field: a character field up to a first zero
// byte, blank-padded to its width; a number printed to its width and decimals. Empty for a field
// of another type (which GetField refuses).
void FieldTextOf(Table& table, int field, const std::uint8_t* record, std::string& out);
std::string FieldTextOf(Table& table, int field, const std::uint8_t* record);
// The value GetFieldNum gives of a number field: 0 when blank or unreadable.
double FieldNumberOf(Table& table, int field, const std::uint8_t* record);
// ToCents of that value; a number stored in cents-exact form is read as its digits.
long long FieldCentsOf(Table& table, int field, const std::uint8_t* record);
// True when the stored text of a number field (`width` bytes) is the one writing its own value
// back gives: blanks, a sign, digits without a leading zero, the field's decimals; at most 15
// digits, so that reading and printing it again cannot change a digit. Negative zero is not.
bool CanonicalNumberText(const std::uint8_t* text, int width, int decimals);
