// The code records of the general file without windows: the kind table holds together, typed values become the
// stored slices, codes are created (or copied) once under the creation lock, also by two processes at once, and
// the RIB and IBAN of the banks agree with an independent reckoning and with python3-stdnum.
#include <unistd.h>

#include <set>
#include <thread>

#include "core_fixture.h"
#include "masterdata/core/code_checks.h"
#include "masterdata/core/code_layouts.h"
#include "masterdata/core/code_reports.h"
#include "platform/dbase/idapi.h"
#include "runtime/report_fields.h"
#include "runtime/xbase.h"
#include "support/other_process.h"

namespace md_test {
namespace {

using namespace masterdata;

// The registry positions a kind uses, its list's then its form's.
std::vector<std::pair<int, int>> SlotRanges(const CodeKind& k) {
  return {{k.listSlot, k.listSlot + k.SlotDistance() - 1}, {k.formSlot, k.formSlot + k.FormSlotLength() - 1}};
}

TEST(CodeKindsTest, EveryKindHasALayoutItsSlotsHoldItsCodeAndNoTwoKindsShareARegistryPosition) {
  std::vector<std::pair<int, int>> taken;
  std::set<unsigned> commands;
  for (const CodeKind& k : CodeKinds()) {
    SCOPED_TRACE(k.kind);
    const KindLayout* layout = FindLayout(k.kind);
    ASSERT_NE(layout, nullptr);
    // The list slot holds the flag, the handle, the code and a lookup request (4 + 10 + 4).
    EXPECT_EQ(k.SlotDistance(), 11 + k.codeWidth + 18);
    EXPECT_EQ(static_cast<int>(layout->report.size()), k.reportFieldCount);
    EXPECT_EQ(static_cast<int>(ReportDefinitions(*layout).size()), k.reportFieldCount);
    EXPECT_EQ(layout->columns.at(1).length, k.codeWidth);
    EXPECT_GE(FieldWidthOf(ReportDefinitions(*layout)[0]), k.codeWidth) << "CODE prints the whole code";
    for (const auto& range : SlotRanges(k)) {
      for (const auto& other : taken) EXPECT_TRUE(range.second < other.first || range.first > other.second);
      taken.push_back(range);
    }
    EXPECT_TRUE(commands.insert(k.command).second);
    EXPECT_EQ(FindCodeKindByCommand(k.command), &k);
    std::set<int> ids;
    for (const FormItem& i : layout->form) EXPECT_TRUE(ids.insert(i.id).second) << i.id;
    for (const CodeField& f : layout->codeFields)
      for (int id : {f.edit, f.display, f.button, f.focusKnown, f.focusBlank}) EXPECT_EQ(ids.count(id), 1u) << id;
    for (const auto& check : layout->checks) EXPECT_EQ(ids.count(check.second), 1u) << check.second;
  }
  EXPECT_EQ(FindCodeKind('X'), nullptr);
  EXPECT_EQ(FindLayout('C'), nullptr);
  EXPECT_TRUE(IsC10RecordKind('0') && IsC10RecordKind('P') && IsC10RecordKind('C') && !IsC10RecordKind('2'));
}

TEST(CodeValuesTest, TypedValuesBecomeTheStoredSlices) {
  struct Case {
    Fill fill;
    const char* typed;
    int width;
    const char* stored;
  } cases[] = {
      {Fill::Account, "401", 8, "40100000"},
      {Fill::Account, "", 8, "00000000"},
      {Fill::Account, "CLIENT", 8, "CLIENT  "},
      {Fill::Counterpart, "411", 8, "41100000"},
      {Fill::Counterpart, "CLI", 8, "CLI     "},
      {Fill::Counterpart, "  ", 8, "        "},
      {Fill::Number, "5.5", 5, "  5.5"},
      {Fill::Number, " 20 ", 5, "   20"},
      {Fill::Counter, "12", 6, "000012"},
      {Fill::Counter, "0", 6, "      "},
      {Fill::Counter, "", 6, "      "},
      {Fill::Name, "banque du nord", 30, "Banque du nord                "},
      {Fill::Text, "banque du nord", 30, "banque du nord                "},
      {Fill::YesNo, "N", 1, "N"},
      {Fill::YesNo, "O", 1, "O"},
      {Fill::Letter, "Ventes", 1, "V"},
      {Fill::Iban, "fr76 3000 4008 2500 0123 4567 897", 34, "FR7630004008250001234567897       "},
  };
  for (const Case& c : cases) EXPECT_EQ(StoredValue(c.fill, c.typed, c.width), c.stored) << c.typed;
  EXPECT_EQ(ShownValue(Fill::YesNo, " "), "O") << "a journal never saved by the form is on the dashboard";
  EXPECT_EQ(AccountKey("5120"), "51200000");
  EXPECT_TRUE(IsBlankAccount("00000000"));
  EXPECT_FALSE(IsBlankAccount("00000001"));
}

using CodeRecordsTest = CoreTest;

TEST_F(CodeRecordsTest, ACodeIsCreatedOnceAndAsACopyOfAnother) {
  const long banks = CountCodes(*TableC10, 'Q');
  Put('Q', "XS", "Source", "12 rue du Port", "FR7630004008250001234567897");
  const CreateResult fresh = CreateCodeRecord(*TableC10, 'Q', "XB01", 4, "");
  ASSERT_EQ(fresh.outcome, CreateOutcome::Created);
  EXPECT_FALSE(fresh.copied);

  const CreateResult copy = CreateCodeRecord(*TableC10, 'Q', "XB02", 4, "XS  ");
  ASSERT_EQ(copy.outcome, CreateOutcome::Created);
  EXPECT_TRUE(copy.copied);
  ASSERT_TRUE(SeekLiveCode(*TableC10, 'Q', "XB02", 4).IsFound());
  EXPECT_EQ(std::string(RTrim(TableC10->GetField(4))), "12 rue du Port");
  EXPECT_EQ(std::string(RTrim(TableC10->GetField(5))), "FR7630004008250001234567897");

  // A copy-from code that is not a live code of the kind: the new record holds its code only.
  Put('Q', "XOLD", "Ancienne banque", "12 rue", "", true);
  EXPECT_FALSE(CreateCodeRecord(*TableC10, 'Q', "XB03", 4, "XOLD").copied);
  ASSERT_TRUE(SeekLiveCode(*TableC10, 'Q', "XB03", 4).IsFound());
  EXPECT_TRUE(IsBlank(TableC10->GetField(3)) && IsBlank(TableC10->GetField(4)));

  // An existing code, live or cancelled, is never written twice.
  const CreateResult again = CreateCodeRecord(*TableC10, 'Q', "XS", 4, "");
  EXPECT_EQ(again.outcome, CreateOutcome::Exists);
  EXPECT_EQ(again.existingName, "Source");
  EXPECT_EQ(CreateCodeRecord(*TableC10, 'Q', "XOLD", 4, "").outcome, CreateOutcome::Exists);

  EXPECT_EQ(ReadBack('Q', "XB01"), "0|XB01|\n");
  EXPECT_EQ(ReadBack('Q', "XB02"), "0|XB02|Copie de XS Source\n");
  EXPECT_EQ(ReadBack('Q', "XOLD"), "1|XOLD|Ancienne banque\n");
  EXPECT_EQ(CountCodes(*TableC10, 'Q'), banks + 5);
}

TEST_F(CodeRecordsTest, TwoKindsShareACodeAndAModelsTextIsCopiedWhole) {
  const long models = CountCodes(*TableC10, 'M');
  Put('J', "ZZZ", "Journal ZZZ");
  Put('M', "ZZZ", "Mod\xE8le ZZZ");
  ASSERT_TRUE(SeekLiveCode(*TableC10, 'M', "ZZZ", 8).IsFound());
  // A model text longer than the editor's limit and holding the byte 26.
  std::string text(4100, 'x');
  text.replace(100, 1, "\x1A");
  ASSERT_TRUE(TableC10->PutMemoText(kMemoField, text));
  ASSERT_EQ(CreateCodeRecord(*TableC10, 'M', "COPIE", 8, "ZZZ").outcome, CreateOutcome::Created);
  ASSERT_TRUE(SeekLiveCode(*TableC10, 'M', "COPIE", 8).IsFound());
  std::string copied;
  ASSERT_TRUE(TableC10->GetMemoText(kMemoField, copied));
  EXPECT_EQ(copied, text);
  EXPECT_EQ(CountCodes(*TableC10, 'M'), models + 2);
  ASSERT_TRUE(SeekLiveCode(*TableC10, 'J', "ZZZ", 3).IsFound());
  EXPECT_EQ(std::string(RTrim(TableC10->GetField(3))), "Journal ZZZ");
}

// The other station: it checks a code as the new-code dialog does, stops after its look-up missed (the pipe
// tells the test), then creates the code once the test lets it go on.
int missed[2] = {-1, -1};
int resume[2] = {-1, -1};
void PauseAfterTheMiss() {
  dbase::DbiSeekMissHook = nullptr;
  char c = 'm';
  if (::write(missed[1], &c, 1) != 1 || ::read(resume[0], &c, 1) != 1) _exit(1);
}

TEST_F(CodeRecordsTest, TwoStationsCreatingOneCodeAtOnceLeaveOneRecord) {
  CloseAllTables();
  ASSERT_EQ(::pipe(missed), 0);
  ASSERT_EQ(::pipe(resume), 0);
  test_support::OtherProcess station([](char) {
    if (!TableC10->OpenShared(PathC10(), kC10Tag)) return false;
    NewCodeRequest request;
    request.kind = "J", request.code = "NV", request.codeWidth = request.fromWidth = 3;
    dbase::DbiSeekMissHook = PauseAfterTheMiss;
    if (CheckNewCode(request).verdict != NewCodeVerdict::Accepted) return false;
    // Looked up again under the lock, the code is there: nothing is written.
    const bool refused = CreateCodeRecord(*TableC10, 'J', "NV", 3, "").outcome == CreateOutcome::Exists;
    CloseAllTables();
    return refused;
  });
  ASSERT_TRUE(TableC10->OpenShared(PathC10(), kC10Tag));
  bool otherRefused = false;
  std::thread other([&] { otherRefused = station.Do('c'); });
  char c = 0;
  ASSERT_EQ(::read(missed[0], &c, 1), 1);
  EXPECT_EQ(CreateCodeRecord(*TableC10, 'J', "NV", 3, "").outcome, CreateOutcome::Created);
  ASSERT_EQ(::write(resume[1], &c, 1), 1);
  other.join();
  for (int fd : {missed[0], missed[1], resume[0], resume[1]}) ::close(fd);
  EXPECT_TRUE(otherRefused);
  EXPECT_EQ(ReadBack('J', "NV"), "0|NV|\n");
}

TEST_F(CodeRecordsTest, TheCodeListsReportGivesTheLiveCodesBetweenTheLimits) {
  ASSERT_TRUE(TableC20->GoTop("C20CODE"));
  const std::string account = TableC20->GetField(1), accountName = RTrim(TableC20->GetField(2));
  Put('B', "W", "Wagons", account);
  Put('B', "X", "Divers", account, "", true);
  Put('B', "Y", "Groupe", "00000000");
  Put('B', "Z", "Zinc", "99999999");
  ReportFieldTable fields;
  const KindLayout& layout = *FindLayout('B');
  auto run = [&](const std::string& from, const std::string& to) {
    std::vector<std::string> lines;
    if (!PrepareCodeReport(*TableC10, layout, fields, from, to)) return lines;
    do {
      ComputeCodeLine(*TableC10, TableC20, layout, fields);
      lines.push_back(RTrim(fields.Value(0).c_str()) + std::string("|") + RTrim(fields.Value(2).c_str()) + "|" +
                      RTrim(fields.Value(3).c_str()));
    } while (NextCodeRecord(*TableC10, 'B', to));
    return lines;
  };
  const std::vector<std::string> all{"W|" + account + "|" + accountName, "Y||", "Z|99999999|???"};
  EXPECT_EQ(run("V", ""), all);
  EXPECT_EQ(run("W", "Y"), std::vector<std::string>(all.begin(), all.begin() + 2));
  EXPECT_EQ(run("X", "Z"), std::vector<std::string>(all.begin() + 1, all.end())) << "the first live code on";
  EXPECT_TRUE(run("X", "X").empty()) << "the first live code is past the upper limit";
  EXPECT_TRUE(run("ZZ", "").empty());
}

// RIBs with their right keys by 97 - ((89 bank + 15 branch + 3 account) mod 97), letters of the account number
// mapped as the RIB does; the IBANs made of them are checked by python3-stdnum.
TEST(BankIdentifiersTest, RibKeysAndIbansAgreeWithAnIndependentReckoning) {
  struct Case {
    const char* bank;
    const char* branch;
    const char* account;
    const char* key;
    RibVerdict verdict;
  } cases[] = {
      {"30004", "00825", "00012345678", "", RibVerdict::Right},
      {"20041", "01005", "0500013M026", "", RibVerdict::Right},
      {"30002", "00550", "0000157845Z", "", RibVerdict::Right},
      {"30004", "00825", "00012345678", "00", RibVerdict::WrongKey},
      {"30004", "00825", "00012345678", "98", RibVerdict::WrongKey},
      {"3A004", "00825", "00012345678", "12", RibVerdict::NotDigits},
      {"30004", "0082X", "00012345678", "12", RibVerdict::NotDigits},
      {"", "", "", "", RibVerdict::Blank},
  };
  const std::string keyFunction =
      "import stdnum.iban\n"
      "table = {c: str(d + 1) for d, group in enumerate(['AJ', 'BKS', 'CLT', 'DMU', 'ENV', 'FOW', 'GPX', 'HQY', 'IRZ'])\n"
      "         for c in group}\n"
      "def key(bank, branch, account):\n"
      "    digits = ''.join(table.get(c, c) for c in account)\n"
      "    return 97 - ((89 * int(bank) + 15 * int(branch) + 3 * int(digits)) % 97)\n";
  std::string script = keyFunction;
  std::string expected;
  for (const Case& c : cases) {
    if (c.verdict == RibVerdict::Right || c.verdict == RibVerdict::WrongKey)
      script += "print('%02d' % key('" + std::string(c.bank) + "', '" + c.branch + "', '" + c.account + "'))\n";
  }
  const std::string keys = test_support::RunPythonScript(script, true);
  std::size_t at = 0;
  std::string ibans = "import stdnum.iban\n";
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.bank) + c.account + c.key);
    std::string key = c.key;
    if (c.verdict == RibVerdict::Right || c.verdict == RibVerdict::WrongKey) {
      ASSERT_LT(at + 2, keys.size() + 1) << keys;
      const std::string right = keys.substr(at, 2);
      at += 3;
      if (c.verdict == RibVerdict::Right) key = right;
      const RibCheck check = CheckRib(RibText(c.bank, c.branch, c.account, key));
      EXPECT_EQ(check.verdict, c.verdict);
      if (c.verdict == RibVerdict::WrongKey) {
        EXPECT_EQ(StrZero(check.rightKey, 2), right);
      }
    } else {
      EXPECT_EQ(CheckRib(RibText(c.bank, c.branch, c.account, key)).verdict, c.verdict);
    }
    std::string iban;
    EXPECT_EQ(RibToIban(RibText(c.bank, c.branch, c.account, key), iban), c.verdict == RibVerdict::Right);
    if (c.verdict != RibVerdict::Right) continue;
    EXPECT_EQ(iban.size(), 27u);
    EXPECT_EQ(WrongIbanDigits(iban), 0);
    ibans += "print(stdnum.iban.is_valid('" + iban + "'))\n";
    // One wrong check pair: the right one is given back.
    std::string wrong = iban;
    wrong[3] = wrong[3] == '0' ? '1' : '0';
    EXPECT_EQ(StrZero(WrongIbanDigits(wrong), 2), iban.substr(2, 2));
  }
  EXPECT_EQ(test_support::RunPythonScript(ibans, true), "True\nTrue\nTrue\n");
  std::string partial;
  EXPECT_FALSE(RibToIban(RibText("3000", "00825", "00012345678", "12"), partial)) << "a blank inside the RIB";

  // RIBs whose right keys are 01 and 02: 98 and 99 equal them modulo 97 and are refused all the same.
  const std::string accounts = test_support::RunPythonScript(
      keyFunction + "for right in (1, 2):\n"
               "    print(next('%011d' % i for i in range(100000) if key('30004', '00825', '%011d' % i) == right))\n",
      true);
  ASSERT_EQ(accounts.size(), 24u) << accounts;
  for (int right : {1, 2}) {
    const std::string account = accounts.substr(static_cast<std::size_t>(right - 1) * 12, 11);
    const RibCheck check = CheckRib(RibText("30004", "00825", account, right == 1 ? "98" : "99"));
    EXPECT_EQ(check.verdict, RibVerdict::WrongKey) << account;
    EXPECT_EQ(check.rightKey, right);
    EXPECT_EQ(CheckRib(RibText("30004", "00825", account, StrZero(right, 2))).verdict, RibVerdict::Right);
  }
}

}  // namespace
}  // namespace md_test
