// Key and condition expressions of index tags, evaluated over a raw record buffer.
//
// The language: field names (case-insensitive), string literals in '...' or "...", number
// literals, parentheses, "+" (concatenation of texts, sum of numbers), the functions
// UPPER(c), TRIM(c), LEN(c), SUBS(c, start [, length]) (also spelled SUBSTR), the
// comparisons = # <> < > <= >= and the logical operators .AND. .OR. .NOT. (with .T. and
// .F.). As in dBASE, "=" and "#" compare two texts over the length of the right operand
// only ("ABC" = "AB" is true, anything = "" is true); the ordering comparisons pad the
// shorter text with blanks and compare through the collation weights.
//
// A character result has a fixed length known at parse time (field widths, literal
// lengths, SUBS lengths); a key is the result padded with blanks to that length, as dBASE
// keys are. TRIM keeps that length in keys (the trimmed text padded again).
//
// A parsed expression is immutable: one object may be evaluated by several cursors of one
// thread. It keeps a copy of the field offsets it uses, so it stays valid after the layout
// it was parsed against goes away.
#pragma once

#include "engine_users.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "field_layout.h"

namespace dbase {

enum class ExprType : char { kCharacter = 'C', kNumeric = 'N', kDate = 'D', kLogical = 'L' };

enum class ExprStatus : int {
  kOk = 0,
  kSyntax = 1,           // unexpected character or token, missing parenthesis
  kUnknownField = 2,     // a name that is neither a field nor a function
  kUnknownFunction = 3,  // a name followed by "(" that is not a known function
  kTypeMismatch = 4,     // operands or arguments of the wrong type
  kArgumentCount = 5,    // wrong number of function arguments
  kTooLong = 6,          // text too long, or a character result over 254 bytes
  kEmpty = 7,            // blank expression
};

struct ExprError {
  ExprStatus status = ExprStatus::kOk;
  std::size_t position = 0;  // 0-based offset in the text where the error was found
  std::string text;          // readable explanation (plain ASCII)
};

// Value of an evaluation. For kCharacter the text is in `text`; kNumeric in `number`;
// kDate in `number` as the Julian day number (0 for a blank date); kLogical in `logical`.
struct ExprValue {
  ExprType type = ExprType::kLogical;
  std::string text;
  double number = 0;
  bool logical = false;
};

class Expression {
 public:
  ~Expression();
  Expression(const Expression&) = delete;
  Expression& operator=(const Expression&) = delete;

  // Parses `text` against the layout. On failure returns nullptr and fills *error (when
  // given). Never throws, never reads past `text`.
  static std::unique_ptr<Expression> Parse(std::string_view text, const RecordLayout& layout,
                                           ExprError* error = nullptr);

  ExprType type() const;
  // Fixed length of a character result (0 for other types).
  std::uint32_t length() const;
  const std::string& source() const;

  // Evaluates over a record buffer of at least RecordLength(layout) bytes.
  void Evaluate(const std::uint8_t* record, ExprValue* out) const;
  // Logical result; a non-logical expression gives false.
  bool IsTrue(const std::uint8_t* record) const;
  // Character result padded with blanks (or cut) to length() bytes into out.
  void EvaluateText(const std::uint8_t* record, char* out) const;

  struct Node;  // internal

 private:
  Expression();
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// Julian day number of a YYYYMMDD text (the dBASE date field); 0 for blank or invalid text.
double JulianDay(std::string_view yyyymmdd);

}  // namespace dbase
