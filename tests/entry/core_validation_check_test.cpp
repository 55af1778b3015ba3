// The check of the books around a validation: before the run it reads the whole books and keeps
// what the lines add up to; after it, it reads what the run wrote (the lines moved to the closed
// file, every sort record, every total) and takes the lines the run left from the check before.
// A fault in what the run wrote is named as the whole check names it; one in what it left is the
// check before's, which refuses the run before anything changes.
#include <filesystem>
#include <functional>

#include "core_fixture.h"
#include "data/dossier_lock.h"
#include "entry/core/validation.h"
#include "platform/system/files.h"
#include "platform/system/write_fault.h"
#include "resources/string_table.h"
#include "runtime/numbers.h"
#include "runtime/text.h"
#include "runtime/xbase.h"
#include "support/books_writes.h"
#include "support/journal_months.h"
#include "support/line_files.h"

namespace entry_test {
namespace {

namespace fs = std::filesystem;

constexpr int kFaultSortDiffers = 32204;  // the file, the line, the sort record, the field

class ValidationCheckTest : public CoreTest {
 protected:
  long Lines() const override { return 600; }
  // A closed file with lines of its own before the run: the lines moved go after them.
  int ClosedMonths() const override { return 2; }

  std::string Folder() const { return DossierFolder; }
  void CloseEverything() {
    c50.CloseTable();
    c60.CloseTable();
    CloseAllTables();
  }
  // The journal-months validated, as the validation's command runs it: the dossier held alone.
  entry::ValidationResult Validate(const std::vector<std::string>& months) {
    CloseEverything();
    EXPECT_TRUE(DossierLockTable->OpenExclusive(DossierTablePath()));
    const entry::ValidationResult r = entry::RunValidation(entry::JournalValidationRequest{months, "C61231"});
    DossierLockTable->CloseTable(true);
    return r;
  }
  static void CopyFolder(const std::string& from, const std::string& to) {
    fs::remove_all(to);
    fs::copy(from, to, fs::copy_options::recursive);
  }
  // The bytes of the tables the run writes.
  std::string TableBytes() {
    std::string all, bytes;
    for (const char* file : {"c10je.dbf", "c10je.mdx", "c40je.dbf", "c40je.mdx", "c50je.dbf", "c50je.mdx", "c60je.dbf",
                             "c60je.mdx"})
      if (platform::ReadWholeFile(Folder() + file, bytes)) all += bytes;
    return all;
  }
};

// A record of `t` whose fields satisfy `want`, current; 0 when none does.
std::uint32_t FindRecord(Table& t, const std::function<bool(Table&)>& want, std::uint32_t from = 1) {
  for (std::uint32_t r = from; r <= t.RecCount(); ++r)
    if (t.GoTo(static_cast<long>(r)) && want(t)) return r;
  return 0;
}

// Whether the current general line of the draft `c50` has analytic records (the cursor moves).
bool Split(Table& c50) {
  const auto place = [](Table& t) {
    return std::string(t.GetField(L::BMOIS)) + t.GetField(L::BJAL) + t.GetField(L::BPIECE) + t.GetField(L::BNUM);
  };
  const std::string line = place(c50);
  return FindRecord(c50, [&](Table& t) { return t.GetField(L::BCLE)[0] != 'Z' && place(t) == line; }) != 0;
}

// The sort record of line `recno` of the file `file`, current on c60.
std::uint32_t SortRecordOf(Table& c60, char file, std::uint32_t recno) {
  return FindRecord(c60, [&](Table& t) {
    return t.GetField(T::TFIC)[0] == file && static_cast<std::uint32_t>(Val(t.GetField(T::TREC))) == recno;
  });
}

// What the run wrote, damaged after it: the check after the run finds each fault and names it as
// the whole check does; on the books as the run left them it reads the lines moved alone and
// counts what the whole check counts. A fault in the lines the run left is the check before's.
TEST_F(ValidationCheckTest, TheCheckAfterTheRunNamesWhatTheRunWroteAsTheWholeCheckDoes) {
  const std::vector<std::string> months = test_support::LargestJournalMonths(c50, 2);
  ASSERT_EQ(months.size(), 2u);
  CloseEverything();
  DossierInvariants before;
  ASSERT_TRUE(before.CheckKeeping(months)) << before.Report();
  std::uint32_t closedBefore = 0;
  {
    Table c40;
    ASSERT_TRUE(c40.OpenShared(PathC40(), "", true));
    closedBefore = c40.RecCount();
  }
  ASSERT_GT(closedBefore, 0u);
  const entry::ValidationResult r = Validate(months);
  ASSERT_EQ(r.code, 0) << r.error << "\n" << r.invariantReport;
  ASSERT_GT(r.analyticLines, 0);
  const std::string model = Dir() + "/validated/";
  CopyFolder(Folder(), model);

  {
    DossierInvariants after, whole;
    EXPECT_TRUE(after.CheckMoved(before)) << after.Report();
    EXPECT_FALSE(after.ReadWhole());
    EXPECT_TRUE(whole.Check()) << whole.Report();
    EXPECT_TRUE(whole.ReadWhole());
    EXPECT_EQ(std::vector<long>({after.draftLines, after.closedLines, after.sortRecords, after.headers}),
              std::vector<long>({whole.draftLines, whole.closedLines, whole.sortRecords, whole.headers}));
  }

  // Each damage on the tables as the run left them.
  Table c40;
  const auto moved = [&](char kind) {
    return FindRecord(c40, [kind](Table& t) { return !t.IsDeleted() && t.GetField(L::DCLE)[0] == kind; },
                      closedBefore + 1);
  };
  const auto openLines = [&] {
    ASSERT_TRUE(c40.OpenShared(PathC40(), ""));
    ASSERT_TRUE(c50.OpenShared(PathC50(), L::kCodeTag));
    ASSERT_TRUE(c60.OpenShared(PathC60(), T::kRecordTag));
  };
  const struct Case {
    const char* name;
    const char* named;  // a part of the fault's line
    bool apart;
    std::function<void()> damage;
  } wrote[] = {
      {"a moved line's sort record with another day", "diff\xE8re par TJOUR", true,
       [&] {
         openLines();
         ASSERT_NE(SortRecordOf(c60, T::kClosed, moved('Z')), 0u);
         ASSERT_TRUE(c60.PutField(T::TJOUR, "31"));
       }},
      {"a moved line cancelled alone", "est annul\xE9" "e, son enregistrement", true,
       [&] {
         openLines();
         ASSERT_NE(moved('Z'), 0u);
         ASSERT_TRUE(c40.DeleteRecord(nullptr, 0));
       }},
      {"a moved analytic record on another account than its line", "sa ligne g\xE9n\xE9rale", true,
       [&] {
         openLines();
         const std::uint32_t w = moved('W');
         ASSERT_NE(w, 0u);
         ASSERT_TRUE(c40.PutField(L::DCG, "62600000"));
         ASSERT_NE(SortRecordOf(c60, T::kClosed, w), 0u);
         ASSERT_TRUE(c60.PutField(T::TCG, "62600000"));
       }},
      {"the sort record of a line closed before the run cancelled alone", "son enregistrement de tri est annul", true,
       [&] {
         openLines();
         ASSERT_NE(SortRecordOf(c60, T::kClosed, 1), 0u);
         ASSERT_TRUE(c60.DeleteRecord(nullptr, 0));
       }},
      {"a draft line with two sort records", "2 enregistrements de tri", true,
       [&] {
         openLines();
         ASSERT_TRUE(c50.GoTo(c50.RecCount()));
         ASSERT_TRUE(AppendLigneTri(c50, T::kDraft, c60));
       }},
      // The count of the draft's lines stays: only the walk of the draft finds it.
      {"a draft line moved into a journal-month the run emptied", "Centralisateur", false,
       [&] {
         openLines();
         const std::uint32_t line = FindRecord(c50, [&](Table& t) { return t.GetField(L::BCLE)[0] == 'Z' && !Split(t); });
         ASSERT_NE(line, 0u);
         ASSERT_TRUE(c50.GoTo(line));
         ASSERT_TRUE(c50.PutField(L::BMOIS, months[0].substr(0, 4).c_str()));
         ASSERT_TRUE(c50.PutField(L::BJAL, months[0].substr(4).c_str()));
         ASSERT_NE(SortRecordOf(c60, T::kDraft, line), 0u);
         ASSERT_TRUE(c60.PutField(T::TMOIS, months[0].substr(0, 4).c_str()));
         ASSERT_TRUE(c60.PutField(T::TJAL, months[0].substr(4).c_str()));
       }},
      {"the closed header of a moved journal-month off by a cent", "Centralisateur", false,
       [&] {
         ASSERT_TRUE(TableC10->OpenShared(PathC10(), "C10CODE"));
         ASSERT_TRUE(posting::FindHeader(*TableC10, months[1], posting::kClosedSource).IsFound());
         const double debit = Val(std::string(TableC10->GetField(5)).substr(0, 14).c_str());
         ASSERT_TRUE(TableC10->PutFieldPart(5, 1, 14, FormatNumber(14, 2, false, debit + 0.01)));
       }},
  };
  for (const Case& c : wrote) {
    SCOPED_TRACE(c.name);
    CopyFolder(model, Folder());
    {
      const test_support::SetUpPermit permit("dommage");
      c.damage();
    }
    UnlockRecord(c40);
    UnlockRecord(c50);
    UnlockRecord(c60);
    CloseEverything();
    c40.CloseTable();
    DossierInvariants after, whole;
    EXPECT_FALSE(after.CheckMoved(before));
    EXPECT_TRUE(after.ReadWhole());
    EXPECT_FALSE(whole.Check());
    EXPECT_EQ(after.Report(), whole.Report());
    EXPECT_NE(after.Report().find(c.named), std::string::npos) << after.Report();
    EXPECT_EQ(after.Apart(), c.apart) << after.Report();
    EXPECT_EQ(after.TotalsAdvice(), whole.TotalsAdvice());
  }

  // A line the run left, damaged after it: the check after the run takes it as the check before
  // read it, and leaves it to that check (the test below).
  CopyFolder(model, Folder());
  openLines();
  ASSERT_NE(FindRecord(c50, [](Table& t) { return !t.IsDeleted() && t.GetField(L::BCLE)[0] == 'Z'; }), 0u);
  {
    const test_support::SetUpPermit permit("montant decale");
    ASSERT_TRUE(c50.PutFieldNum(L::BMONTANTE, c50.GetFieldNum(L::BMONTANTE) + 1));
    UnlockRecord(c50);
  }
  CloseEverything();
  c40.CloseTable();
  DossierInvariants after, whole;
  EXPECT_TRUE(after.CheckMoved(before)) << after.Report();
  EXPECT_FALSE(after.ReadWhole());
  EXPECT_FALSE(whole.Check());
}

// The sort record of the first line moved, given another day once the run has written the sort
// file again, as it builds its tags (before its check): where the test found it.
struct SortDamage {
  std::string c60;  // the sort file's path, without its extension, as the changes name it
  std::uint32_t firstMoved = 0;
  std::uint32_t sortRecord = 0;
};
SortDamage& TheSortDamage() {
  static SortDamage d;
  return d;
}
void DamageTheSortRecordOfTheFirstLineMoved() {
  SortDamage& d = TheSortDamage();
  if (platform::ChangeBeingMade() != "write " + d.c60 + ".mdx") return;
  // The sort file before the run has no record for that line: the damage waits for the new one.
  const test_support::RawRecords raw(d.c60 + ".dbf");
  for (std::uint32_t r = 1; r <= raw.Count(); ++r) {
    const std::string record = raw.Record(r);
    if (raw.Field(record, "TFIC") != "C" || static_cast<std::uint32_t>(Val(raw.Field(record, "TREC").c_str())) != d.firstMoved)
      continue;
    raw.Put(r, "TJOUR", raw.Field(record, "TJOUR") == "31" ? "30" : "31");
    d.sortRecord = r;
    platform::BeforeFileChange = nullptr;
    return;
  }
}

// A state the books never hold, where the run does not write (an analytic record of a journal-month
// it leaves, under a cancelled line): the check before refuses the run, naming it as the whole check
// does, and nothing changes. Where the run writes (the sort record of a line it moved, changed
// while the run builds the sort file's tags): the check after names it, and the run is put back.
TEST_F(ValidationCheckTest, AStateTheBooksNeverHoldIsNamedWhereverItLies) {
  const std::vector<std::string> months = test_support::LargestJournalMonths(c50, 1);
  ASSERT_EQ(months.size(), 1u);
  // A live analytic record of another journal-month, its general line cancelled with its sort record.
  std::uint32_t w = 0;
  for (std::uint32_t r = 1; r <= c50.RecCount() && w == 0; ++r)
    if (c50.GoTo(r) && !c50.IsDeleted() && c50.GetField(L::BCLE)[0] == 'W' &&
        std::string(c50.GetField(L::BMOIS)) + c50.GetField(L::BJAL) != months[0])
      w = r;
  ASSERT_NE(w, 0u);
  const std::string piece = c50.GetField(L::BPIECE), number = c50.GetField(L::BNUM), account = c50.GetField(L::BCG);
  const std::uint32_t general = FindRecord(c50, [&](Table& t) {
    return !t.IsDeleted() && t.GetField(L::BCLE)[0] == 'Z' && piece == t.GetField(L::BPIECE) &&
           number == t.GetField(L::BNUM) && account == t.GetField(L::BCODE);
  });
  ASSERT_NE(general, 0u);
  const std::string clean = Dir() + "/clean/";
  CloseEverything();
  CopyFolder(Folder(), clean);
  ASSERT_TRUE(c50.OpenShared(PathC50(), L::kCodeTag));
  ASSERT_TRUE(c60.OpenShared(PathC60(), T::kRecordTag));
  {
    const test_support::SetUpPermit permit("ligne generale effacee seule");
    ASSERT_TRUE(c50.GoTo(general));
    ASSERT_TRUE(c50.DeleteRecord(nullptr, 0));
    ASSERT_NE(SortRecordOf(c60, T::kDraft, general), 0u);
    ASSERT_TRUE(c60.DeleteRecord(nullptr, 0));
    UnlockRecord(c50);
    UnlockRecord(c60);
  }
  CloseEverything();
  DossierInvariants whole;
  ASSERT_FALSE(whole.Check());
  ASSERT_TRUE(whole.Apart());
  std::string files = TableBytes();
  entry::ValidationResult r = Validate(months);
  EXPECT_EQ(r.code, entry::kValidationInvariants) << r.error;
  EXPECT_EQ(r.invariantReport, whole.Report());
  EXPECT_NE(r.invariantReport.find("sous la ligne g\xE9n\xE9rale"), std::string::npos) << r.invariantReport;
  EXPECT_TRUE(r.putBack);
  EXPECT_TRUE(TableBytes() == files) << "the books changed";

  // The books whole again; the sort record of the first line moved changed during the run.
  CopyFolder(clean, Folder());
  files = TableBytes();
  {
    Table c40;
    ASSERT_TRUE(c40.OpenShared(PathC40(), "", true));
    const std::string c60 = fs::weakly_canonical(std::string(PathC60()) + ".dbf").string();
    TheSortDamage() = SortDamage{c60.substr(0, c60.size() - 4), c40.RecCount() + 1};
  }
  platform::BeforeFileChange = DamageTheSortRecordOfTheFirstLineMoved;
  r = Validate(months);
  platform::BeforeFileChange = nullptr;
  const SortDamage& d = TheSortDamage();
  ASSERT_NE(d.sortRecord, 0u) << "the sort file's tags were not built";
  EXPECT_EQ(r.code, entry::kValidationInvariants) << r.error;
  EXPECT_NE(r.invariantReport.find(FillPlaceholders(LoadStr(kFaultSortDiffers),
                                                    {"C40", std::to_string(d.firstMoved), std::to_string(d.sortRecord),
                                                     "TJOUR"})),
            std::string::npos)
      << r.invariantReport;
  EXPECT_TRUE(r.putBack) << r.putBackError;
  EXPECT_TRUE(TableBytes() == files) << "the run was not put back";
}

}  // namespace
}  // namespace entry_test
