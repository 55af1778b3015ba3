// The credit-transfer file writer: its amount and block-number forms, the file's lines (one element
// a line, CR LF, ASCII only), no transfer at or below zero, two files of one second with two
// MsgIds, and no file nor temporary file when the file cannot be placed.
#include "runtime/pain001_writer.h"

#include <stdlib.h>

#include <set>
#include <string>

#include "platform/system/files.h"
#include "support/runtime_fixture.h"

namespace {

class Pain001WriterTest : public test_support::RuntimeTest {
 protected:
  void SetUp() override {
    RuntimeTest::SetUp();
    const char* tmp = ::getenv("TMPDIR");
    oldTmp_ = tmp != nullptr ? tmp : "";
    hadTmp_ = tmp != nullptr;
    ::setenv("TMPDIR", Dir().c_str(), 1);
  }
  void TearDown() override {
    if (hadTmp_) ::setenv("TMPDIR", oldTmp_.c_str(), 1);
    else ::unsetenv("TMPDIR");
    RuntimeTest::TearDown();
  }
  static Pain001Debtor Debtor() {
    return {"SARL Ateliers Merlon", "FR7618206000410001234567889", "AGRIFRPP882", "Vrts-JE-SARL Ateliers Merlon",
            "2026-03-15"};
  }
  static Pain001Transfer Transfer(long long cents, const std::string& name) {
    return {"Virement:000-15/03/26", "Virement Fact. 12", cents, "BNPAFRPPXXX", name, "FR1420041010050500013M02606",
            "Vrt:Loyer-SARL Ateliers Merlon"};
  }
  std::string oldTmp_;
  bool hadTmp_ = false;
};

TEST_F(Pain001WriterTest, AmountsAndBlockNumbers) {
  struct Amount {
    long long cents;
    const char* text;
  } amounts[] = {{123450, "1234.50"}, {1500, "15.00"}, {5, "0.05"}, {0, "0.00"}, {10000000000LL, "100000000.00"}};
  for (const Amount& a : amounts) EXPECT_EQ(Pain001Writer::AmountText(a.cents), a.text) << a.cents;
  struct Block {
    long n;
    const char* text;
  } blocks[] = {{0, "000"}, {7, "007"}, {999, "999"}, {1000, "1000"}, {123456, "123456"}};
  for (const Block& b : blocks) EXPECT_EQ(Pain001Writer::BlockNumber(b.n), b.text) << b.n;
}

TEST_F(Pain001WriterTest, IbanAndBicAsTheSchemaTakesThem) {
  struct Case {
    const char* iban;
    bool fits;
  } ibans[] = {{"FR1420041010050500013M02606", true},
               {"  FR1420041010050500013M02606  ", true},
               {"FR1420041010050500013M02607", false},  // a wrong check digit
               {"FR14 2004 1010 0505 0001 3M02 606", false},  // inner blanks: written as stored, refused
               {"", false},
               {"FR961234567890123456789012345678901234567891", false}};  // longer than 34
  for (const Case& c : ibans) EXPECT_EQ(Pain001Writer::IbanFits(c.iban), c.fits) << c.iban;
  EXPECT_TRUE(Pain001Writer::BicFits("AGRIFRPP882"));
  EXPECT_FALSE(Pain001Writer::BicFits("AGRI FRPP"));
}

TEST_F(Pain001WriterTest, OneElementALineInAsciiWithCrLf) {
  Pain001Writer w;
  std::string error;
  ASSERT_TRUE(w.Begin(&error)) << error;
  EXPECT_EQ(w.TemporaryPath().rfind(Dir() + "/ZEL", 0), 0u) << w.TemporaryPath();
  ASSERT_TRUE(w.Add(Transfer(123450, "401SCIER-Scierie de l'\xC9tang & Cie <Nord>")));
  ASSERT_TRUE(w.Add(Transfer(1500, "FDUPO001-\x93" "Dupont\x94 \xE0 Orl\xE9" "ans")));
  // A payment is above zero: one at or below is not kept, the count and sum stay as they were.
  EXPECT_FALSE(w.Add(Transfer(-175717, "401SCIER-Avoir")));
  EXPECT_FALSE(w.Add(Transfer(0, "401SCIER-Rien")));
  EXPECT_EQ(w.Count(), 2);
  EXPECT_EQ(w.TotalCents(), 124950);
  ASSERT_TRUE(w.Finish(Debtor(), Dir() + "/out.xml", &error)) << error;
  std::string file;
  ASSERT_TRUE(platform::ReadWholeFile(Dir() + "/out.xml", file));
  // No temporary file left, one file written.
  EXPECT_EQ(platform::ListFiles(Dir()), std::vector<std::string>{"out.xml"});
  for (unsigned char c : file) EXPECT_LT(c, 0x80u) << "a byte outside ASCII";
  EXPECT_NE(file.find("<Nm>401SCIER-Scierie de l-Etang - Cie -Nord-</Nm>\r\n"), std::string::npos) << file;
  EXPECT_NE(file.find("<Nm>FDUPO001--Dupont- a Orleans</Nm>\r\n"), std::string::npos) << file;
  EXPECT_NE(file.find("<NbOfTxs>2</NbOfTxs>\r\n<CtrlSum>1249.50</CtrlSum>\r\n"), std::string::npos);
  EXPECT_NE(file.find("<InstdAmt Ccy=\"EUR\">1234.50</InstdAmt>\r\n"), std::string::npos);
  EXPECT_NE(file.find("<InstdAmt Ccy=\"EUR\">15.00</InstdAmt>\r\n"), std::string::npos);
  EXPECT_NE(file.find("<MsgId>" + w.MessageId() + "</MsgId>"), std::string::npos);
  // Every line ends with CR LF and holds one element or one tag.
  std::size_t from = 0, lines = 0;
  while (from < file.size()) {
    const std::size_t end = file.find("\r\n", from);
    ASSERT_NE(end, std::string::npos) << "a last line without CR LF";
    const std::string line = file.substr(from, end - from);
    EXPECT_EQ(line.find('\n'), std::string::npos);
    EXPECT_EQ(line.find('\r'), std::string::npos);
    EXPECT_EQ(line.front(), '<') << line;
    from = end + 2;
    ++lines;
  }
  EXPECT_EQ(lines, 37u + 2 * 25u + 3u);
  EXPECT_EQ(file.substr(file.size() - 13), "</Document>\r\n");
}

TEST_F(Pain001WriterTest, TwoFilesOfOneSecondCarryTwoMessageIds) {
  std::set<std::string> ids;
  for (int i = 0; i < 3; ++i) {
    Pain001Writer w;
    std::string error;
    ASSERT_TRUE(w.Begin(&error));
    ASSERT_TRUE(w.Add(Transfer(100, "A")));
    ASSERT_TRUE(w.Finish(Debtor(), Dir() + "/f" + std::to_string(i) + ".xml", &error)) << error;
    EXPECT_EQ(w.MessageId().rfind("Virement-20", 0), 0u) << w.MessageId();
    EXPECT_EQ(w.MessageId().size(), std::string("Virement-YYYYMMDDhhmmss").size());
    ids.insert(w.MessageId());
  }
  EXPECT_EQ(ids.size(), 3u);
}

TEST_F(Pain001WriterTest, AFileThatCannotBePlacedLeavesNothing) {
  Pain001Writer w;
  std::string error;
  ASSERT_TRUE(w.Begin(&error));
  ASSERT_TRUE(w.Add(Transfer(100, "A")));
  EXPECT_FALSE(w.Finish(Debtor(), Dir() + "/absent/out.xml", &error));
  EXPECT_FALSE(error.empty());
  EXPECT_TRUE(platform::ListFiles(Dir()).empty());
  // Given up after Begin: the temporary file goes too.
  {
    Pain001Writer given;
    ASSERT_TRUE(given.Begin(&error));
    ASSERT_TRUE(given.Add(Transfer(100, "A")));
    EXPECT_EQ(platform::ListFiles(Dir(), "ZEL*").size(), 1u);
  }
  EXPECT_TRUE(platform::ListFiles(Dir()).empty());
  // Nothing without Begin.
  Pain001Writer none;
  EXPECT_FALSE(none.Add(Transfer(100, "A")));
  EXPECT_FALSE(none.Finish(Debtor(), Dir() + "/out.xml", &error));
  EXPECT_FALSE(platform::FileExists(Dir() + "/out.xml"));
}

}  // namespace
