// The chart's core without windows: amounts and budgets as the forms show and read them, the accounts with a bank
// domiciliation and the INI keys it reads and writes, the creation offer of constant 010, and two stations
// creating one account at once.
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <thread>

#include "core_fixture.h"
#include "masterdata/core/chart_files.h"
#include "masterdata/core/chart_records.h"
#include "masterdata/core/code_checks.h"
#include "masterdata/core/code_values.h"
#include "platform/dbase/idapi.h"
#include "platform/system/files.h"
#include "runtime/dossier_record.h"
#include "runtime/text.h"
#include "runtime/xbase.h"
#include "support/demo_oracle.h"
#include "support/line_files.h"
#include "support/other_process.h"
#include "support/refused_read.h"

namespace md_test {
namespace {

using namespace masterdata;

using ChartCoreTest = CoreTest;

TEST_F(ChartCoreTest, AmountsAndBudgetsAsShownTypedAndChecked) {
  const struct {
    double value;
    const char* amount;
    const char* budget;
  } shown[] = {{0, "", ""}, {1200, "1200.00", "1200.00"}, {-1200, "-1200.00", "C1200.00"}, {0.004, "", ""},
               {-7.62, "-7.62", "C7.62"}, {123456789.5, "123456789.50", "123456789.50"}};
  for (const auto& c : shown) {
    SCOPED_TRACE(c.value);
    char stored[32];
    std::snprintf(stored, sizeof stored, "%14.3f", c.value);
    EXPECT_EQ(ShownValue(Fill::Amount, stored), c.amount);
    EXPECT_EQ(BudgetText(c.value), c.budget);
  }
  const struct {
    const char* typed;
    double budget;
    bool amountOk, budgetOk;
  } typed[] = {{"", 0, true, true},          {"D50", 50, false, true},     {"c50.5", -50.5, false, true},
               {"-50", -50, true, true},     {"+7.25", 7.25, true, true},  {"12,3,4", 12, false, false},
               {"1.2.3", 1.2, false, false}, {"1.234", 1.234, false, false}, {"C", 0, false, false},
               {" 42 ", 42, true, true},     {"D-5", -5, false, false}};
  for (const auto& c : typed) {
    SCOPED_TRACE(c.typed);
    EXPECT_DOUBLE_EQ(BudgetValue(c.typed), c.budget);
    EXPECT_EQ(IsAmountText(c.typed, false), c.amountOk);
    EXPECT_EQ(IsAmountText(c.typed, true), c.budgetOk);
  }
}

// An account's budget stored as no program writes it: the form shows it as every report reads it
// (a third decimal half up, text that does not read as zero), and only figures that read as zero
// let the account be cancelled.
TEST_F(ChartCoreTest, AFigureThatDoesNotReadShowsAsZeroAndKeepsTheAccount) {
  const struct {
    const char* stored;
    const char* shown;
    bool cancellable;
  } cases[] = {{"0.00", "0.00", true},      {"", "0.00", true},         {"54.125", "54.13", false},
               {"12,34", "0.00", false},    {"abc", "0.00", false},     {"-1e300", "0.00", false}};
  const std::uint32_t recno = TableC20->RecCount();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.stored);
    ASSERT_TRUE(TableC20->GoTo(static_cast<long>(recno)));
    for (int f : AccountsFile().AmountFields()) ASSERT_TRUE(TableC20->PutFieldNum(f, 0));
    TableC20->CloseTable(true);
    test_support::RawRecords(std::string(PathC20()) + ".dbf").Put(recno, "CBUDGETE", c.stored);
    ASSERT_TRUE(TableC20->OpenShared(PathC20(), "C20CODE"));
    ASSERT_TRUE(TableC20->GoTo(static_cast<long>(recno)));
    EXPECT_EQ(Trimmed(ReadSlice(*TableC20, {c20::kBudget + 1, 1, 14})), c.shown);
    EXPECT_EQ(AmountsAllowCancel(*TableC20, AccountsFile(), false), c.cancellable);
  }
}

TEST_F(ChartCoreTest, TheAccountsWithADomiciliationAndTheKeysTheyRead) {
  ForgetBankDomiciliation();
  SetDossierIniPath(std::string(PathC10()) + ".ini");
  const std::string section = "PlanComptable", key = "CGAvecDomBanc";
  DossierIniSet(section.c_str(), key.c_str(), "");
  IniSetString(key.c_str(), "");
  const struct {
    const char* code;
    bool answer;
  } byDefault[] = {{"CDUPONT", true}, {"51200000", true}, {"43100000", true}, {"58000000", true},
                   {"5", false},      {"41100000", false}, {"  512  ", true},  {"", false}, {"51", false}};
  for (const auto& c : byDefault) EXPECT_EQ(HasBankDomiciliation(c.code), c.answer) << c.code;
  // The default was written into the dossier INI at the first question.
  EXPECT_EQ(DossierIniGet(section.c_str(), key.c_str(), ""), "-43-512-514-515-58-");
  // The program INI's list when the dossier has none; the dossier's own list first.
  DossierIniSet(section.c_str(), key.c_str(), "");
  IniSetString(key.c_str(), "-41-");
  EXPECT_TRUE(HasBankDomiciliation("41100000"));
  EXPECT_FALSE(HasBankDomiciliation("51200000"));
  DossierIniSet(section.c_str(), key.c_str(), "-512-");
  EXPECT_TRUE(HasBankDomiciliation("51200001"));
  // The same code again is answered from memory.
  DossierIniSet(section.c_str(), key.c_str(), "-99-");
  EXPECT_TRUE(HasBankDomiciliation("51200001"));
  EXPECT_FALSE(HasBankDomiciliation("51200002"));
  IniSetString(key.c_str(), "");
  SetDossierIniPath("");
}

TEST_F(ChartCoreTest, TheCreationOfferOfConstant010) {
  const struct {
    const char* constant;
    const char* key;
    bool offered;
  } cases[] = {{"O38", "6", false},     {"O38", "601", true},     {"O38", "CDUPON", false}, {"O38", "CDUPONTX", true},
               {"OUI", "6", true},      {"OUI", "C", true},       {"NON", "60100000", false}, {"O  ", "601", false},
               {"O8U", "6010000", false}, {"O8U", "60100000", true}, {"OI3", "ABC", true},   {"OX3", "601", false}};
  for (const auto& c : cases) {
    TheDossierRecord.SetConstant(10, c.constant);
    EXPECT_EQ(ProposeAccountCreation(c.key), c.offered) << c.constant << " " << c.key;
  }
}

// The other station: it checks a new account as the new-code dialog does, stops after its look-up missed (the
// pipe tells the test), then creates it once the test lets it go on.
int missed[2] = {-1, -1};
int resume[2] = {-1, -1};
void PauseAfterTheMiss() {
  dbase::DbiSeekMissHook = nullptr;
  char c = 'm';
  if (::write(missed[1], &c, 1) != 1 || ::read(resume[0], &c, 1) != 1) _exit(1);
}

TEST_F(ChartCoreTest, TwoStationsCreatingOneAccountAtOnceLeaveOneRecord) {
  CloseAllTables();
  ASSERT_EQ(::pipe(missed), 0);
  ASSERT_EQ(::pipe(resume), 0);
  test_support::OtherProcess station([](char) {
    Table models;
    if (!TableC10->UseShared(PathC10(), kC10Tag) || !TableC20->UseShared(PathC20(), "C20CODE") ||
        !models.OpenShared(PathC20(), "C20CODE"))
      return false;
    NewCodeRequest request;
    request.kind = "2", request.code = "467", request.codeWidth = request.fromWidth = 8;
    dbase::DbiSeekMissHook = PauseAfterTheMiss;
    if (CheckNewCode(request).verdict != NewCodeVerdict::Accepted) return false;
    // Looked up again under the lock, the account is there: nothing is written.
    const bool refused =
        CreateChartRecord(*TableC20, models, AccountsFile(), "467", "").outcome == CreateOutcome::Exists;
    models.CloseTable();
    CloseAllTables();
    return refused;
  });
  Table models;
  ASSERT_TRUE(TableC20->UseShared(PathC20(), "C20CODE"));
  ASSERT_TRUE(models.OpenShared(PathC20(), "C20CODE"));
  bool otherRefused = false;
  std::thread other([&] { otherRefused = station.Do('c'); });
  char c = 0;
  ASSERT_EQ(::read(missed[0], &c, 1), 1);
  const CreateResult made = CreateChartRecord(*TableC20, models, AccountsFile(), "467", "");
  EXPECT_EQ(made.outcome, CreateOutcome::Created);
  ASSERT_EQ(::write(resume[1], &c, 1), 1);
  other.join();
  for (int fd : {missed[0], missed[1], resume[0], resume[1]}) ::close(fd);
  EXPECT_TRUE(otherRefused);
  const std::string out = test_support::RunPythonScript(
      "from dbfread import DBF\n"
      "print([r['CCODE'] + '|' + r['CLIB'] for r in DBF('" + std::string(PathC20()) + ".dbf') "
      "if r['CCODE'].startswith('467')])\n",
      true);
  EXPECT_EQ(out, "['46700000|46700000']\n");
  models.CloseTable();
}

// The oracle of the generated dossier tells a chart that does not hold together: a customer under the suppliers'
// collective, an analytic mark in a dossier without sections, a budget whose euros are not its francs converted,
// a domiciliation whose RIB key is wrong.
// A new code or account another station made meanwhile, looked up under the creation lock while the disk
// refuses one read of its file or its index (each read in turn, EIO once, on a cursor opened for it): found,
// or refused with one sentence naming the file; never a second record for a look-up that went short.
TEST_F(ChartCoreTest, ACodeWhoseLookUpTheDiskRefusesIsNeverWrittenTwice) {
  Put('Q', "XS", "Source");
  {
    Table c20, models;
    ASSERT_TRUE(c20.OpenShared(PathC20(), "C20CODE"));
    ASSERT_EQ(CreateChartRecord(c20, models, AccountsFile(), "467", "").outcome, CreateOutcome::Created);
  }
  struct Case {
    std::string base, tag, code;
    std::function<CreateResult(Table&)> create;
  };
  const Case cases[] = {
      {PathC10(), kC10Tag, "XS", [](Table& t) { return CreateCodeRecord(t, 'Q', "XS", 4, ""); }},
      {PathC20(), "C20CODE", "467",
       [](Table& t) {
         Table models;
         return CreateChartRecord(t, models, AccountsFile(), "467", "");
       }},
  };
  for (const Case& c : cases) {
    long refused = 0;
    for (const char* extension : {".dbf", ".mdx"}) {
      const std::string file =
          "/" + std::filesystem::path(platform::ResolvePath(c.base + extension)).filename().string();
      for (int nth = 1; nth <= 40; ++nth) {
        SCOPED_TRACE(c.code + ", read " + std::to_string(nth) + " of " + file + " refused");
        Table t;
        ASSERT_TRUE(t.OpenShared(c.base, c.tag));
        test_support::RefusedRead::Arm(file, nth);
        const CreateResult made = c.create(t);
        const int seen = test_support::RefusedRead::Seen();
        test_support::RefusedRead::Disarm();
        t.CloseTable();
        EXPECT_NE(made.outcome, CreateOutcome::Created);
        if (made.outcome == CreateOutcome::Failed) {
          ++refused;
          EXPECT_EQ(made.refusal.rfind("Le code " + c.code + " n'a pas \xE9t\xE9 cr\xE9\xE9, une lecture", 0), 0u)
              << made.refusal;
          EXPECT_NE(made.refusal.find(file.substr(1)), std::string::npos) << made.refusal;
        }
        ASSERT_FALSE(HasFailure());
        if (seen < nth) break;
      }
    }
    EXPECT_GE(refused, 1) << c.code;
  }
}

// A new code copied from another, a new account or section made from a model, while the disk refuses one read
// of the file or its index (each read in turn, EIO once): the record is made as the model's copy, or nothing is
// made and one sentence names the model and the file; never a record made blank (or named by default) for a
// model that could not be read.
TEST_F(ChartCoreTest, AModelWhoseReadTheDiskRefusesMakesNoRecordInItsPlace) {
  Put('Q', "XS", "Source", "12 rue du Port");
  {
    Table c20, c30, models;
    ASSERT_TRUE(c20.OpenShared(PathC20(), "C20CODE"));
    ASSERT_TRUE(c30.OpenShared(PathC30(), SectionsFile().codeTag));
    ASSERT_EQ(CreateChartRecord(c20, models, AccountsFile(), "468", "").outcome, CreateOutcome::Created);
    ASSERT_EQ(CreateChartRecord(c30, models, SectionsFile(), "MODELE", "").outcome, CreateOutcome::Created);
  }
  struct Case {
    std::string base, tag, model;
    std::function<CreateResult(Table&, Table&, const std::string&)> create;
    std::function<Lookup(Table&, const std::string&)> find;
  };
  const Case cases[] = {
      {PathC10(), kC10Tag, "XS",
       [](Table& t, Table&, const std::string& code) { return CreateCodeRecord(t, 'Q', code, 4, "XS"); },
       [](Table& t, const std::string& code) { return SeekCodeRecord(t, 'Q', code, 4); }},
      {PathC20(), "C20CODE", "46800000",
       [](Table& t, Table& models, const std::string& code) {
         return CreateChartRecord(t, models, AccountsFile(), code, "468");
       },
       [](Table& t, const std::string& code) { return SeekChartCode(t, AccountsFile(), AccountKey(code)); }},
      {PathC30(), SectionsFile().codeTag, "MODELE",
       [](Table& t, Table& models, const std::string& code) {
         return CreateChartRecord(t, models, SectionsFile(), code, "MODELE");
       },
       [](Table& t, const std::string& code) { return SeekChartCode(t, SectionsFile(), code); }},
  };
  for (const Case& c : cases) {
    long refused = 0, copied = 0, modelNamed = 0;
    for (const char* extension : {".dbf", ".mdx"}) {
      const std::string file =
          "/" + std::filesystem::path(platform::ResolvePath(c.base + extension)).filename().string();
      for (int nth = 1; nth <= 40; ++nth) {
        const std::string code = std::string(extension[1] == 'd' ? "8" : "9") + std::to_string(100 + nth).substr(1);
        SCOPED_TRACE(c.model + " copied to " + code + ", read " + std::to_string(nth) + " of " + file + " refused");
        Table t, models;
        ASSERT_TRUE(t.OpenShared(c.base, c.tag));
        ASSERT_TRUE(models.OpenShared(c.base, c.tag));
        test_support::RefusedRead::Arm(file, nth);
        const CreateResult made = c.create(t, models, code);
        const int seen = test_support::RefusedRead::Seen();
        test_support::RefusedRead::Disarm();
        const Lookup there = c.find(t, code);
        ASSERT_FALSE(there.IsRefused());
        if (made.outcome == CreateOutcome::Created) {
          ++copied;
          EXPECT_TRUE(made.copied) << "made without its model";
          EXPECT_TRUE(there.IsFound());
        } else {
          ++refused;
          EXPECT_EQ(made.outcome, CreateOutcome::Failed);
          EXPECT_TRUE(there.IsNotFound()) << "a record made for a refusal";
          EXPECT_EQ(made.refusal.rfind("Le code " + code + " n'a pas \xE9t\xE9 cr\xE9\xE9, ", 0), 0u) << made.refusal;
          EXPECT_NE(made.refusal.find(file.substr(1)), std::string::npos) << made.refusal;
          if (made.refusal.find("la lecture de son mod\xE8le " + c.model + " ayant") != std::string::npos) ++modelNamed;
        }
        ASSERT_FALSE(HasFailure());
        if (seen < nth) break;
      }
    }
    EXPECT_GE(refused, 1) << c.model;
    EXPECT_GE(modelNamed, 1) << c.model;
    EXPECT_GE(copied, 1) << c.model;
  }
}

TEST_F(ChartCoreTest, TheOracleTellsAWrongChart) {
  const std::string folder = Dir() + "/md";
  auto oracle = [folder] {
    int status = 0;
    const std::string out = test_support::RunPythonScript(
        "import sys, runpy\n"
        "sys.argv = ['check_demo.py', '" + folder + "', 'MD']\n"
        "runpy.run_path('" + test_support::DemoOracle() + "', run_name='__main__')\n",
        true, &status);
    return std::make_pair(status, out);
  };
  ASSERT_EQ(oracle().first, 0) << oracle().second;
  std::string customer, withRib;
  for (TableC20->GoTop("C20CODE"); !TableC20->eof; TableC20->Skip(1)) {
    if (TableC20->GetField(1)[0] == 'C' && customer.empty()) customer = RTrim(TableC20->GetField(1));
    if (!IsBlank(TableC20->GetField(11)) && withRib.empty()) withRib = RTrim(TableC20->GetField(1));
  }
  ASSERT_FALSE(customer.empty() || withRib.empty());
  ASSERT_TRUE(TableC20->Seek("C20CODE", customer.c_str()));
  TableC20->PutField(25, "40100000");
  ASSERT_TRUE(TableC20->Seek("C20CODE", "60110000"));
  TableC20->PutField(27, "O");
  TableC20->PutFieldNum(29, 10);
  TableC20->PutFieldNum(28, 10);
  ASSERT_TRUE(TableC20->Seek("C20CODE", withRib.c_str()));
  TableC20->PutField(14, std::string(TableC20->GetField(14)) == "98" ? "97" : "98");
  ASSERT_TRUE(TableC20->Commit());
  const auto [status, out] = oracle();
  EXPECT_EQ(status, 1);
  for (const std::string& told :
       {"account " + customer + ": counterpart '40100000', the collective of C is '41100000'",
        std::string("account 60110000: analytic mark 'O', '' expected"),
        std::string("account 60110000: CBUDGETF 1000 and CBUDGETE 1000 do not convert"),
        "account " + withRib + ": RIB key"})
    EXPECT_NE(out.find(told), std::string::npos) << told << "\n" << out;
}

}  // namespace
}  // namespace md_test
