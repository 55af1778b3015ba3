// Memo fields: whole texts of any size and content, the borrowed 32 KiB read, and memos
// written while a record is being appended.
#include "data_test_util.h"

using namespace data_test;

namespace {

const TableStructure& WithMemo() {
  static const TableStructure s{TableKind::Unknown,
                                "M*",
                                {{"CODE", 'C', 4, 0}, {"NOTE", 'M', 10, 0}, {"MORE", 'M', 10, 0}},
                                {{"MCODE", "CODE", "", {1}, 0}}};
  return s;
}

std::string Big(std::size_t size, std::size_t eofAt) {
  std::string s;
  for (std::size_t i = 0; i < size; ++i) s += static_cast<char>('a' + i % 26);
  if (eofAt < size) s[eofAt] = '\x1A';
  return s;
}

class MemoTest : public DataTest {
 protected:
  void SetUp() override {
    DataTest::SetUp();
    Create(WithMemo(), File("memo"));
    t = TableCXX;
    ASSERT_TRUE(t->OpenShared(File("memo"), "MCODE"));
    Add(*t, {"R1"});
    ASSERT_TRUE(t->PutMemo(2, "first"));
  }
  Table* t = nullptr;
};

}  // namespace

TEST_F(MemoTest, TextsRoundTripWhole) {
  struct Case {
    const char* what;
    std::string text;
    std::string borrowed;  // what GetMemo gives
  };
  const Case cases[] = {
      {"empty", "", ""},
      {"end-of-file mark", std::string("ab\x1A" "cd", 5), "ab"},
      {"40 KiB with a mark", Big(40000, 35000), Big(32768, 40000)},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(t->GoTo(1));
    ASSERT_TRUE(t->PutMemoText(2, c.text)) << c.what;
    ASSERT_TRUE(TableC10->OpenShared(File("memo"), ""));  // another cursor reads the file
    ASSERT_TRUE(TableC10->GoTo(1));
    std::string back;
    ASSERT_TRUE(TableC10->GetMemoText(2, back)) << c.what;
    EXPECT_EQ(back.size(), c.text.size()) << c.what;
    EXPECT_TRUE(back == c.text) << c.what;
    EXPECT_EQ(std::string(TableC10->GetMemo(2)), c.borrowed) << c.what;
    EXPECT_EQ(std::string(TableC10->GetMemo(2, 3)), c.borrowed.substr(0, 3)) << c.what;
  }
  EXPECT_TRUE(Boxes().empty());
}

TEST_F(MemoTest, MemoWrittenWhileAppendingGoesWithTheNewRecord) {
  ASSERT_TRUE(t->GoTo(1));
  const std::string big = Big(50000, 100);
  ASSERT_TRUE(t->AppendBlank());
  ASSERT_TRUE(t->PutField(1, "R2"));
  ASSERT_TRUE(t->PutMemoText(2, big));
  ASSERT_TRUE(t->PutMemo(3, "more, again"));
  std::string pending;
  ASSERT_TRUE(t->GetMemoText(2, pending));
  EXPECT_TRUE(pending == big) << "the text waiting for the insert reads back";
  // Nothing is written before the insert, and never to record 1.
  ASSERT_TRUE(TableC10->OpenShared(File("memo"), ""));
  ASSERT_TRUE(TableC10->GoTo(1));
  EXPECT_STREQ(TableC10->GetMemo(2), "first");
  EXPECT_STREQ(TableC10->GetMemo(3), "");
  ASSERT_TRUE(t->InsertRecord());
  EXPECT_EQ(t->recordNumber, 2u);

  ASSERT_TRUE(TableC10->GoTo(2));
  std::string back;
  ASSERT_TRUE(TableC10->GetMemoText(2, back));
  EXPECT_TRUE(back == big);
  EXPECT_STREQ(TableC10->GetMemo(3), "more, again");
  EXPECT_TRUE(Boxes().empty()) << "no report for a memo written while appending";

  // The next append starts without the previous record's memo texts.
  ASSERT_TRUE(t->AppendBlank());
  ASSERT_TRUE(t->PutField(1, "R3"));
  ASSERT_TRUE(t->InsertRecord());
  ASSERT_TRUE(TableC10->GoTo(3));
  EXPECT_STREQ(TableC10->GetMemo(2), "");
}

