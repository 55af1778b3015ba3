// Text helpers over single-byte cp1252 texts that return a std::string:
// trimming, case, alignment, placeholders and amounts as text. A blank is
// the space character only, unless a function says otherwise. Unlike the
// ring functions of xbase.h, a text may hold any byte, NUL included.
// (PadRight, the text cut or blank-padded to a width, is in xbase.h.)
#pragma once

#include <cstddef>
#include <initializer_list>
#include <string>
#include <string_view>

// Blanks removed at both ends; "" for an all-blank text.
std::string Trimmed(std::string_view text);
// Blanks removed at the end only.
std::string TrimmedRight(std::string_view text);

// "A"-"Z" and "a"-"z" changed; every other byte, accented cp1252 letters
// included, stays as it is.
std::string LowerAscii(std::string_view text);
std::string UpperAscii(std::string_view text);
// ASCII and cp1252 letters changed ("É" <-> "é", "Œ" <-> "œ"), as the
// runtime's Upper and Lower.
std::string LowerCp1252(std::string_view text);
std::string UpperCp1252(std::string_view text);

// The text blank-padded on the left to `width` characters; a longer text
// keeps its first `width` characters. A negative width gives "".
std::string FitRight(std::string_view text, int width);
// The text padded on the right with `fill` up to `width` characters; a
// longer text, or a width below 1, leaves the text as it is.
std::string PaddedRight(std::string text, int width, char fill = ' ');

// The "%s" of a one-value text of the string table (LoadStr) replaced by the
// value; a text without one stays as it is. It takes the table's own text,
// never a text already filled: a message of several values is filled once,
// with all of them, by FillPlaceholders, so that no value is filled again.
std::string FillPlaceholder(const char* message, std::string_view value);
// Each "%s" of a message replaced, in order, by the next value: a whole sentence with its
// values in their places. A value's own "%s" stays as written; a "%s" past the last value stays.
std::string FillPlaceholders(std::string_view message, std::initializer_list<std::string_view> values);

// ---- Amounts as text: one function per meaning ------------------------------------------------
// Every amount a window, a message or a printed page shows is written by one of these. Each writes
// it whole, grouped by threes, whatever its size (the 99 999 999 999,99 a total holds, its
// negative, and far past them): none cuts it to a width, none writes asterisks for it. A list, a
// label, a status bar and a balance anywhere write the decimal point ("1 234.50 Db"), as the
// printed pages do; an amount a sentence names, the decimal comma ("1 234,50").

// An amount with its sign ("-1 234.50"), right-aligned in `width` characters and wider when it
// needs more.
std::string GroupedAmount(long long cents, int width = 0);
// A balance with its side: the amount without its sign right-aligned in `width` characters (wider
// when it needs more), then " Db", " Cr", or three blanks when zero ("      1 234.50 Db").
std::string BalanceAmount(long long cents, int width = 14);
// An amount in a sentence: no blank around, the decimal comma ("99 999 999 999,99", "-1 234,50").
std::string GroupedAmountText(long long cents);
// A plain number's integer digits grouped by three ("-1234567.8" gives "-1 234 567.8"): the
// grouping of the functions above, for a number of any decimals.
std::string GroupedNumber(std::string_view plain);

// A field's text, never grouped: what a table stores, what an edit holds and Val reads back.
// The stored text: 14 characters, blanks in front ("      -1234.50"); asterisks when it does not
// fit, as the field cannot hold it.
std::string AmountText14(double amount);
// As an edit holds it: the amount whole, its sign and two decimals ("-1234.50", "0.00").
std::string AmountDigits(double amount);
// The same, and "" for an amount of zero: an edit left empty.
std::string AmountDigitsOrBlank(double amount);
