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

// An amount in 14 characters with two decimals and no grouping, blanks in
// front ("      -1234.50"); asterisks when it does not fit.
std::string AmountText14(double amount);
// The same without the blanks ("-1234.50").
std::string AmountDigits(double amount);
// An amount in cents as a message writes it: grouped by thousands, with the decimal comma and no
// blank at either end ("99 999 999 999,99", "-1 234,50").
std::string GroupedAmountText(long long cents);
