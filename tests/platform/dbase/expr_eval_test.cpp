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

struct TextCase {
  const char* expr;
  int record;  // 1 or 2
  const char* value;       // runtime text
  std::uint32_t length;    // fixed key length
  const char* key;         // key padded to the fixed length
};

TEST(ExpressionText, EvaluatesCharacterExpressions) {
  const TextCase cases[] = {
      {"CODE", 1, "4456  ", 6, "4456  "},
      {"UPPER(NAME)", 1, "D\xC9" "BIT       ", 12, "D\xC9" "BIT       "},
      {"TRIM(CODE)+KIND", 1, "4456Z", 7, "4456Z  "},
      {"SUBS(CODE,2,2)", 1, "45", 2, "45"},
      {"SUBS(CODE,9,2)", 1, "", 0, ""},
      {"UPPER('\xE9t\xE9 \x9C')", 1, "\xC9T\xC9 \x8C", 5, "\xC9T\xC9 \x8C"},
  };
  for (const TextCase& c : cases) {
    SCOPED_TRACE(c.expr);
    ExprError err;
    auto e = Expression::Parse(c.expr, TestLayout(), &err);
    ASSERT_TRUE(e) << err.text;
    EXPECT_EQ(e->type(), ExprType::kCharacter);
    EXPECT_EQ(e->length(), c.length);
    const auto rec = c.record == 1 ? Rec1() : Rec2();
    ExprValue v;
    e->Evaluate(rec.data(), &v);
    EXPECT_EQ(v.text, c.value);
    std::string key(e->length(), '?');
    e->EvaluateText(rec.data(), key.data());
    EXPECT_EQ(key, c.key);
  }
}

struct LogicalCase { const char* expr; bool onRecord1; bool onRecord2; };

TEST(ExpressionLogic, EvaluatesConditions) {
  const LogicalCase cases[] = {
      {"KIND='Z'", true, false},
      // "=" compares over the right operand's length.
      {"CODE='445'", true, false},
      {"CODE=''", true, true},
      {"CODE='4456  X'", false, false},
      {"CODE<>'4456'", false, true},
      {"KIND='V' .OR. KIND='Z' .AND. CODE='9'", false, true},  // .AND. binds tighter
      {"(KIND='V' .OR. KIND='Z') .AND. CODE='4'", true, false},
      {"AMOUNT>12", true, false},
      {"OK=.T.", true, false},
      // Ordering through the collation weights: an accented e sorts before f.
      {"NAME<'f'", true, true},
  };
  for (const LogicalCase& c : cases) {
    SCOPED_TRACE(c.expr);
    ExprError err;
    auto e = Expression::Parse(c.expr, TestLayout(), &err);
    ASSERT_TRUE(e) << err.text;
    ASSERT_EQ(e->type(), ExprType::kLogical);
    EXPECT_EQ(e->IsTrue(Rec1().data()), c.onRecord1);
    EXPECT_EQ(e->IsTrue(Rec2().data()), c.onRecord2);
  }
}

TEST(ExpressionNumbers, NumericAndDateValues) {
  struct Case { const char* expr; ExprType type; double value; } cases[] = {
      {"AMOUNT", ExprType::kNumeric, 12.5},
      {"LEN(NAME)", ExprType::kNumeric, 12},
      {"DAY", ExprType::kDate, 2460370},  // 29 February 2024
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.expr);
    auto e = Expression::Parse(c.expr, TestLayout());
    ASSERT_TRUE(e);
    EXPECT_EQ(e->type(), c.type);
    ExprValue v;
    e->Evaluate(Rec1().data(), &v);
    EXPECT_DOUBLE_EQ(v.number, c.value);
  }
}

TEST(ExpressionErrors, RefusesBadTextWithACode) {
  struct Case { std::string expr; ExprStatus status; } cases[] = {
      {"", ExprStatus::kEmpty},
      {"CODE+", ExprStatus::kSyntax},
      {"'open", ExprStatus::kSyntax},
      {"CODE .XOR. KIND", ExprStatus::kSyntax},
      {"NOSUCH", ExprStatus::kUnknownField},
      {"DTOC(DAY)", ExprStatus::kUnknownFunction},
      {"CODE+AMOUNT", ExprStatus::kTypeMismatch},
      {"CODE=1", ExprStatus::kTypeMismatch},
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
