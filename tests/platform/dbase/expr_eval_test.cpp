// Key and condition expressions: evaluation over records and refusal of bad texts.
#include <gtest/gtest.h>

#include "expr.h"
#include "dbase_test_util.h"
#include "weights.h"

namespace dbase {
namespace {

using dbase_test::MakeRecord;
using dbase_test::TestLayout;

std::vector<std::uint8_t> Rec1() { return MakeRecord("4456", "d\xE9" "bit", "Z", "12.50", "20240229", "T"); }
std::vector<std::uint8_t> Rec2() { return MakeRecord("", "", "V", "-3", "", "F"); }

TEST(ExpressionText, EvaluatesCharacterExpressions) {
  struct Case {
    const char* expr;
    const char* value;     // runtime text on the first record
    std::uint32_t length;  // fixed key length
    const char* key;       // key padded to the fixed length
  } cases[] = {
      {"CODE", "4456  ", 6, "4456  "},
      {"UPPER(NAME)", "D\xC9" "BIT       ", 12, "D\xC9" "BIT       "},
      {"TRIM(CODE)+KIND", "4456Z", 7, "4456Z  "},
      {"SUBS(CODE,9,2)", "", 0, ""},
      {"UPPER('\xE9t\xE9 \x9C')", "\xC9T\xC9 \x8C", 5, "\xC9T\xC9 \x8C"},
      {"KIND+'-'+CODE", "Z-4456  ", 8, "Z-4456  "},
      {"CODE+KIND+NAME", "4456  Zd\xE9" "bit       ", 19, "4456  Zd\xE9" "bit       "},
      {"'A'+'BC'", "ABC", 3, "ABC"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.expr);
    ExprError err;
    auto e = Expression::Parse(c.expr, TestLayout(), &err);
    ASSERT_TRUE(e) << err.text;
    EXPECT_EQ(e->type(), ExprType::kCharacter);
    EXPECT_EQ(e->length(), c.length);
    const auto rec = Rec1();
    ExprValue v;
    e->Evaluate(rec.data(), &v);
    EXPECT_EQ(v.text, c.value);
    std::string key(e->length(), '?');
    e->EvaluateText(rec.data(), key.data());
    EXPECT_EQ(key, c.key);
  }
}

// Conditions give 1 or 0 on each record; numbers and dates their value (dates as day numbers).
TEST(ExpressionValues, EvaluatesConditionsNumbersAndDates) {
  struct Case { const char* expr; ExprType type; double onRecord1; double onRecord2; } cases[] = {
      {"KIND='Z'", ExprType::kLogical, 1, 0},
      // "=" compares over the right operand's length.
      {"CODE='445'", ExprType::kLogical, 1, 0},
      {"CODE=''", ExprType::kLogical, 1, 1},
      {"CODE='4456  X'", ExprType::kLogical, 0, 0},
      {"KIND='V' .OR. KIND='Z' .AND. CODE='9'", ExprType::kLogical, 0, 1},  // .AND. binds tighter
      {"CODE<>'4456'", ExprType::kLogical, 0, 1},
      {"AMOUNT>12", ExprType::kLogical, 1, 0},
      {"OK=.T.", ExprType::kLogical, 1, 0},
      // Ordering through the collation weights: an accented e sorts before f.
      {"NAME<'f'", ExprType::kLogical, 1, 1},
      // Operands of every kind: joined fields, a literal on the left, two fields.
      {"CODE+KIND='4456  Z'", ExprType::kLogical, 1, 0},
      {"'Z'=KIND", ExprType::kLogical, 1, 0},
      {"NAME>CODE", ExprType::kLogical, 1, 0},
      {"KIND#'V' .AND. NAME#' '", ExprType::kLogical, 1, 0},
      {"AMOUNT", ExprType::kNumeric, 12.5, -3},
      {"DAY", ExprType::kDate, 2460370, 0},  // 29 February 2024, and blank
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.expr);
    ExprError err;
    auto e = Expression::Parse(c.expr, TestLayout(), &err);
    ASSERT_TRUE(e) << err.text;
    ASSERT_EQ(e->type(), c.type);
    const auto rec1 = Rec1(), rec2 = Rec2();
    if (c.type == ExprType::kLogical) {
      EXPECT_EQ(e->IsTrue(rec1.data()), c.onRecord1 != 0);
      EXPECT_EQ(e->IsTrue(rec2.data()), c.onRecord2 != 0);
      continue;
    }
    ExprValue v;
    e->Evaluate(rec1.data(), &v);
    EXPECT_DOUBLE_EQ(v.number, c.onRecord1);
    e->Evaluate(rec2.data(), &v);
    EXPECT_DOUBLE_EQ(v.number, c.onRecord2);
  }
}

TEST(ExpressionErrors, RefusesBadTextWithACode) {
  struct Case { std::string expr; ExprStatus status; } cases[] = {
      {"", ExprStatus::kEmpty},
      {"CODE+", ExprStatus::kSyntax},
      {"CODE .XOR. KIND", ExprStatus::kSyntax},
      {"NOSUCH", ExprStatus::kUnknownField},
      {"DTOC(DAY)", ExprStatus::kUnknownFunction},
      {"CODE+AMOUNT", ExprStatus::kTypeMismatch},
      {"UPPER(CODE,1)", ExprStatus::kArgumentCount},
      {std::string(300, '(') + "CODE" + std::string(300, ')'), ExprStatus::kTooLong},
      {"NAME+NAME+NAME+NAME+NAME+NAME+NAME+NAME+NAME+NAME+NAME+NAME+NAME+NAME+NAME+NAME+NAME+NAME+NAME+NAME+NAME+NAME",
       ExprStatus::kTooLong},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.expr.substr(0, 40));
    ExprError err;
    EXPECT_EQ(Expression::Parse(c.expr, TestLayout(), &err), nullptr);
    EXPECT_EQ(err.status, c.status) << err.text;
    EXPECT_FALSE(err.text.empty());
    EXPECT_LE(err.position, c.expr.size());
  }
}

}  // namespace
}  // namespace dbase
