// Reading of a bank statement file (OFX 1.x SGML or OFX 2.x XML) through libofx, into the plain
// line format that the import reads back. Needs neither Qt nor the program's libraries: the reader
// program and the fuzz target compile it alone.
//
// The line format, one record a line, fields separated by tabs, texts in Windows-1252 without
// control characters, amounts in whole cents, dates YYYYMMDD (the day the bank wrote, its time and zone left):
//   OFX      1
//   ACCOUNT  bank id, branch id, account number
//   CURRENCY code
//   PERIOD   start date, end date
//   BALANCE  closing balance in cents, its date
//   TRN      FITID, posting date, cents (positive: received), type, check number, name, memo
//   END      number of TRN lines
#pragma once

#include <initializer_list>
#include <string>
#include <vector>

namespace ofxread {

// The largest statement file read: a larger one is refused before libofx sees it.
constexpr long long kMaxStatementBytes = 64LL * 1024 * 1024;

// Reads the statement file at `path` (a path as the system spells it). On success fills `lines` with
// the line format and returns ""; otherwise returns why the file cannot be read, in French
// (Windows-1252), and `lines` is left empty.
std::string ReadStatement(const std::string& path, std::string& lines);

// The checks of a statement file's bytes made before libofx reads it: not empty, no binary data, an
// <OFX> element closed at the end, every statement aggregate closed. "" when they pass (with the
// number of transactions the file holds), else the reason in French.
std::string CheckStatementText(const std::string& raw, std::size_t* transactions);

// The checks of each transaction's values as the file writes them, made before libofx reads it
// (libofx reads "1.440,57" as 1.44, "2026-05-01" as today and "20260230" as 2 March): an amount
// of digits with at most one decimal mark ("." or ","), no thousands separator, no exponent; a
// posting date YYYYMMDD[HHMMSS[.XXX]][[zone]] that exists; a statement that declares itself in
// UTF-8 (an XML one by default) holding only UTF-8; the statement's dates (DTSTART, DTEND,
// DTASOF) and closing balance (BALAMT) alike. "" when they pass, with the transactions' amounts
// in cents (file order) in `amounts`; else the reason in French naming each faulty transaction
// by its number and FITID, the field and its value.
// `dates`, when given, gets each transaction's day as the file writes it (the first eight digits
// of DTPOSTED, never moved into this station's time zone).
std::string CheckTransactionValues(const std::string& raw, std::vector<long long>* amounts,
                                   std::vector<std::string>* dates = nullptr);
// The cents of an amount as the file writes it: "" when read, else why not ("vide", "illisible" ...).
std::string AmountCents(const std::string& text, long long& cents);
// Why a date as the file writes it is refused ("" when it is a date that exists).
std::string DateCheck(const std::string& text);

// A text as the statement gives it (UTF-8 when it is valid UTF-8, else already single-byte) in
// Windows-1252: characters it lacks become "?", control characters blanks, outer blanks dropped.
std::string TextToCp1252(const char* text);

// The text of a string id (cp1252) with each "%s" replaced, in order, by the next value, as the runtime's
// FillPlaceholders does: the reader links the string table alone.
std::string Message(int id, std::initializer_list<std::string> values);

// Whole cents of an amount read by libofx; false when it lies more than a millionth away from a
// whole number of cents (the sign of a thousands separator read as the decimal point).
bool AmountToCents(double amount, long long& cents);

}  // namespace ofxread
