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
      {"code+kind", 1, "4456  Z", 7, "4456  Z"},
      {"UPPER(NAME)", 1, "D\xC9" "BIT       ", 12, "D\xC9" "BIT       "},
      {"TRIM(CODE)+KIND", 1, "4456Z", 7, "4456Z  "},
      {"TRIM(CODE)+KIND", 2, "V", 7, "V      "},
      {"SUBS(CODE,2,2)", 1, "45", 2, "45"},
      {"SUBSTR(CODE,3)", 1, "56  ", 4, "56  "},
      {"SUBS(CODE,9,2)", 1, "", 0, ""},
      {"'ab'+\"cd\"", 1, "abcd", 4, "abcd"},
      {"UPPER('\xE9t\xE9 \x9C')", 1, "\xC9T\xC9 \x8C", 5, "\xC9T\xC9 \x8C"},
      {"(KIND)+(CODE)", 1, "Z4456  ", 7, "Z4456  "},
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

struct LogicalCase {
  const char* expr;
  bool onRecord1;
  bool onRecord2;
};

TEST(ExpressionLogic, EvaluatesConditions) {
  const LogicalCase cases[] = {
      {"KIND='Z'", true, false},
      {"KIND<'Z'", false, true},
      {"LEN(TRIM(CODE))>0", true, false},
      {"SUBS(CODE,1,4)='4456'", true, false},
      // "=" compares over the right operand's length.
      {"CODE='445'", true, false},
      {"CODE=''", true, true},
      {"CODE='4456  X'", false, false},
      {"CODE#'4457'", true, true},
      {"CODE<>'4456'", false, true},
      {"KIND='Z' .AND. NAME#'  '", true, false},
      {".NOT. KIND='Z'", false, true},
      {"KIND='V' .OR. KIND='Z' .AND. CODE='9'", false, true},  // .AND. binds tighter
      {"(KIND='V' .OR. KIND='Z') .AND. CODE='4'", true, false},
      {"AMOUNT>12", true, false},
      {"AMOUNT+1=13.5", true, false},
      {"AMOUNT<0", false, true},
      {"OK", true, false},
      {"OK=.T.", true, false},
      {"kind='z' .or. kind='Z'", true, false},
      // Ordering through the collation weights: an accented e sorts before f.
      {"NAME<'f'", true, true},
      {"NAME>='d'", true, false},
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
  struct Case {
    const char* expr;
    ExprType type;
    double value;
  } cases[] = {
      {"AMOUNT", ExprType::kNumeric, 12.5},
      {"AMOUNT+AMOUNT+0.25", ExprType::kNumeric, 25.25},
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
  EXPECT_EQ(JulianDay("20000101"), 2451545);
  EXPECT_EQ(JulianDay("        "), 0);
  EXPECT_EQ(JulianDay("20241301"), 0);
}

TEST(ExpressionErrors, RefusesBadTextWithACode) {
  struct Case {
    std::string expr;
    ExprStatus status;
  } cases[] = {
      {"", ExprStatus::kEmpty},
      {"   ", ExprStatus::kEmpty},
      {"CODE+", ExprStatus::kSyntax},
      {"CODE)", ExprStatus::kSyntax},
      {"(CODE", ExprStatus::kSyntax},
      {"'open", ExprStatus::kSyntax},
      {"CODE .XOR. KIND", ExprStatus::kSyntax},
      {"CODE $ KIND", ExprStatus::kSyntax},
      {"NOSUCH", ExprStatus::kUnknownField},
      {"DTOC(DAY)", ExprStatus::kUnknownFunction},
      {"CODE+AMOUNT", ExprStatus::kTypeMismatch},
      {"KIND='Z' .AND. CODE", ExprStatus::kTypeMismatch},
      {".NOT. CODE", ExprStatus::kTypeMismatch},
      {"CODE=1", ExprStatus::kTypeMismatch},
      {"DAY>0", ExprStatus::kTypeMismatch},
      {"UPPER(AMOUNT)", ExprStatus::kTypeMismatch},
      {"UPPER(CODE,1)", ExprStatus::kArgumentCount},
      {"SUBS(CODE)", ExprStatus::kArgumentCount},
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

TEST(ExpressionErrors, MemoFieldsAreRefused) {
  RecordLayout layout = TestLayout();
  layout.push_back({"NOTE", 'M', 39, 10, 0});
  ExprError err;
  EXPECT_EQ(Expression::Parse("NOTE", layout, &err), nullptr);
  EXPECT_EQ(err.status, ExprStatus::kTypeMismatch);
}

TEST(CollationWeights, AccentedLettersSortWithTheirBaseLetter) {
  const std::uint8_t* w = CollationWeights();
  std::vector<bool> seen(256, false);
  for (int i = 0; i < 256; ++i) {
    EXPECT_FALSE(seen[w[i]]) << "weight used twice: " << i;
    seen[w[i]] = true;
  }
  // Each list is in ascending order.
  const std::vector<std::vector<std::string>> orders = {
      {"e", "\xE8", "\xE9", "\xEA", "\xEB", "f"},
      {"E", "\xC8", "\xC9", "F"},
      {"C", "\xC7", "D"},
      {"A", "\xC0", "\xC6", "B"},
      {"Z", "a"},  // upper case before lower case
      {"cote", "cotes", "c\xF4te", "d"},
      {"o", "\x9C", "\xF4", "p"},
      {"y", "\xFD", "\xFF", "z"},
      {"s", "\x9A", "\xDF", "t"},
      {"0", "9", "A"},
      {"ab", "ab ", "abc"},
  };
  for (const auto& order : orders) {
    for (std::size_t i = 0; i + 1 < order.size(); ++i) {
      SCOPED_TRACE(order[i] + " < " + order[i + 1]);
      EXPECT_LT(CompareWeighted(order[i], order[i + 1]), 0);
      EXPECT_GT(CompareWeighted(order[i + 1], order[i]), 0);
    }
  }
  EXPECT_EQ(CompareWeighted("\xE9t\xE9", "\xE9t\xE9"), 0);
  // Long keys: a single differing byte at every position, both ways round, decides as the
  // weights of that byte say, whatever the length and the bytes around it.
  const std::uint8_t* weight = CollationWeights();
  const unsigned char pairs[][2] = {{'a', 'b'}, {'e', 0xE9}, {0xC9, 'F'}, {'Z', 'a'}, {0xFF, 'z'}, {' ', 0x80}};
  for (std::size_t n = 1; n <= 40; ++n) {
    for (std::size_t pos = 0; pos < n; ++pos) {
      for (const auto& p : pairs) {
        std::string x(n, 'Q'), y(n, 'Q');
        for (std::size_t k = 0; k < n; ++k) x[k] = y[k] = static_cast<char>('A' + (k * 7) % 26);
        x[pos] = static_cast<char>(p[0]);
        y[pos] = static_cast<char>(p[1]);
        const int want = weight[p[0]] < weight[p[1]] ? -1 : 1;
        SCOPED_TRACE("length " + std::to_string(n) + ", byte " + std::to_string(pos));
        EXPECT_EQ(CompareWeighted(x.data(), y.data(), n), want);
        EXPECT_EQ(CompareWeighted(y.data(), x.data(), n), -want);
        EXPECT_EQ(CompareWeighted(x.data(), x.data(), n), 0);
        // A later difference never outweighs an earlier one.
        if (pos + 1 < n) {
          y[n - 1] = static_cast<char>(x[n - 1] == 'A' ? 'B' : 'A');
          EXPECT_EQ(CompareWeighted(x.data(), y.data(), n), want);
        }
      }
    }
  }
  EXPECT_EQ(BaseLetter(0xE9), 'e');
  EXPECT_EQ(BaseLetter(0xC7), 'C');
  EXPECT_EQ(BaseLetter('#'), '#');
}

}  // namespace
}  // namespace dbase
