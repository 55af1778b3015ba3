// Journal entry's core tests: a started runtime and engine session, a generated demo dossier "JE"
// made the dossier of the program with its general file, chart and sections open in the
// program-wide table objects (the totals go through them), and the test's own cursors on C50 and
// C60, as a lines window keeps them.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "data/dossier_files.h"
#include "data/dossier_invariants.h"
#include "data/entry_lines.h"
#include "data/locks.h"
#include "data/session.h"
#include "data/table.h"
#include "demo/dossier_demo.h"
#include "entry/core/analytic_split.h"
#include "posting/journal_month.h"
#include "posting/line_save.h"
#include "posting/new_lines.h"
#include "runtime/dossier_record.h"
#include "runtime/numbers.h"
#include "runtime/runtime_hooks.h"
#include "runtime/session_registry.h"
#include "runtime/xbase.h"
#include "support/demo_oracle.h"
#include "support/python.h"
#include "support/runtime_fixture.h"

namespace entry_test {

using L = LigneEcriture;
using T = LigneTri;

class CoreTest : public test_support::RuntimeTest {
 protected:
  virtual long Lines() const { return 300; }
  virtual char AnalyticMode() const { return '2'; }
  virtual DossierCurrency Currency() const { return DossierCurrency::EuroMain; }
  // The months validated into the closed file (DemoOptions::closedMonths).
  virtual int ClosedMonths() const { return 0; }
  void SetUp() override {
    RuntimeTest::SetUp();
    SetRuntimeMessageHook([](const char*, const char* text, unsigned) {
      Messages().push_back(text);
      return 1;
    });
    SetRuntimeBeepHook([](unsigned) {});
    SetLockNoticeHook([](const char*, const char* text) { Notices().push_back(text); });
    Messages().clear();
    Notices().clear();
    ASSERT_EQ(StartDbSession(), 0);
    DemoOptions options;
    options.folder = Dir() + "/je";
    options.code = "JE";
    options.lines = Lines();
    options.analyticMode = AnalyticMode();
    options.currency = Currency();
    options.closedMonths = ClosedMonths();
    std::string message;
    ASSERT_TRUE(GenerateDemoDossier(options, &message)) << message;
    SetDossier(options.folder + "/", "JE");
    OpenTables();
  }
  void TearDown() override {
    c50.CloseTable();
    c60.CloseTable();
    CloseAllTables();
    StopDbSession();
    SetDossier("", "");
    SetLockNoticeHook(nullptr);
    RuntimeTest::TearDown();
  }
  void OpenTables() {
    ASSERT_TRUE(TableC10->OpenShared(PathC10(), "C10CODE"));
    ASSERT_TRUE(ReadC10Texts());
    ASSERT_TRUE(TableC20->OpenShared(PathC20(), "C20CODE"));
    ASSERT_TRUE(TableC30->OpenShared(PathC30(), "C30CODE"));
    ASSERT_TRUE(c50.OpenShared(PathC50(), L::kCodeTag));
    ASSERT_TRUE(c60.OpenShared(PathC60(), T::kRecordTag));
  }

  static std::vector<std::string>& Messages() {
    static std::vector<std::string> m;
    return m;
  }
  static std::vector<std::string>& Notices() {
    static std::vector<std::string> n;
    return n;
  }

  // The invariant check of the data layer, and the oracle's, which reads the files with
  // python3-dbfread and shares no code with it: both must agree.
  void ExpectInvariants(const std::string& when) {
    DossierInvariants check;
    EXPECT_TRUE(check.Check()) << when << "\n" << check.Report();
    int status = -1;
    const std::string out = test_support::RunPythonScript(
        "import sys, runpy\nsys.argv = ['check_demo.py', '" + std::string(DossierFolder) + "', 'JE', '--invariants']\n"
        "runpy.run_path('" + test_support::DemoOracle() + "', run_name='__main__')\n",
        true, &status);
    EXPECT_EQ(status, 0) << when << "\n" << out;
  }

  // The live records of the draft, the sort file, the general file, the chart and the sections with all
  // their fields: what a change that did not go through leaves as it found them.
  std::multiset<std::string> LiveRecords() {
    std::multiset<std::string> records;
    for (Table* t : {&c50, &c60, TableC10, TableC20, TableC30})
      for (std::uint32_t r = 1; r <= t->RecCount(); ++r) {
        if (!t->GoTo(r) || t->IsDeleted()) continue;
        std::string text = t->tablePath;
        for (int f = 1; f <= t->FieldCount(); ++f)
          if (t->FieldType(f) != 'M') text += std::string("|") + t->GetField(f);
        records.insert(text);
      }
    return records;
  }

  // The journal-months of the draft with their line count (cancelled lines included).
  std::map<std::string, long> JournalMonths() {
    std::map<std::string, long> months;
    for (bool more = c50.GoTop(L::kCodeTag); more; more = c50.Skip(1))
      ++months[std::string(c50.GetField(L::BMOIS)) + c50.GetField(L::BJAL)];
    return months;
  }
  // The general lines of a journal-month in key order: record number and key.
  std::vector<std::pair<std::uint32_t, std::string>> LinesOf(const std::string& journalMonth) {
    std::vector<std::pair<std::uint32_t, std::string>> lines;
    const std::string prefix = posting::LinePrefix(journalMonth);
    for (bool more = c50.Seek(L::kCodeTag, prefix.c_str()); more; more = c50.Skip(1)) {
      const std::string key = L::Key(c50);
      if (key.compare(0, prefix.size(), prefix) != 0) break;
      lines.emplace_back(c50.recordNumber, key);
    }
    return lines;
  }

  // The first live general line whose split holds `records` live records and whose group holds the
  // number after its own: "Créer Ligne" after it renumbers the group.
  std::uint32_t SplitLineBeforeATakenNumber(std::size_t records) {
    for (std::uint32_t r = 1; r <= c50.RecCount(); ++r) {
      if (!c50.GoTo(r) || c50.IsDeleted() || c50.GetField(L::BCLE)[0] != 'Z') continue;
      const std::string next = L::Key(c50).substr(0, L::kKeyLength - 4) + StrZero(std::atol(c50.GetField(L::BNUM)) + 1, 4);
      const std::string key = L::AnalyticKey(c50);
      std::size_t live = 0;
      for (bool more = c50.SeekNotBelow(L::kAnalyticTag, key.c_str()); more; more = c50.Skip(1)) {
        const char m = c50.MatchKey(key.c_str(), L::kAnalyticKeyLength, L::BMOIS, L::BJAL, L::BPIECE, L::BCG, L::BNUM);
        if (m != 'O' && m != 'o') break;
        live += m == 'O';
      }
      const bool taken = live == records && c50.Seek(L::kCodeTag, next.c_str()) && L::Key(c50) == next;
      c50.SetOrder(L::kCodeTag);
      if (taken) return r;
    }
    return 0;
  }

  // "Créer Ligne" after line `recno`, as the lines window asks it.
  posting::LineAfter After(std::uint32_t recno) {
    return c50.GoTo(recno) ? posting::LineAfterOf(c50) : posting::LineAfter{};
  }

  // The key with which the line form asks for the split of line `recno` on the first axis, as the line
  // stands.
  entry::SplitKey SplitKeyOf(std::uint32_t recno) {
    if (!c50.GoTo(recno)) return {};
    const posting::LineRecord line = posting::ReadLineRecord(c50);
    const long long sign = line.sense == 'D' ? 1 : -1;
    return entry::SplitKey::Of(line.key, line.account, 'V', line.day, line.labelCode, line.label1,
                               sign * ToCents(line.francs), sign * ToCents(line.euros));
  }
  // The save of line `recno` as it stands, on another day: what the line form saves when only the day
  // was typed over.
  posting::SaveRequest OnAnotherDay(std::uint32_t recno) {
    posting::SaveRequest save;
    if (!c50.GoTo(recno)) return save;
    const posting::LineRecord line = posting::ReadLineRecord(c50);
    save.key = line.key;
    save.previousAccount = line.account;
    save.values.day = line.day == "17" ? "18" : "17";
    save.values.account = line.account;
    save.values.labelCode = line.labelCode;
    save.values.label1 = line.label1;
    save.values.euros = line.entry == 'O';
    save.values.sense = line.sense;
    posting::LineAmounts& a = save.values.amounts;
    (line.sense == 'D' ? a.debitF : a.creditF) = line.francs;
    (line.sense == 'D' ? a.debitE : a.creditE) = line.euros;
    save.values.vat = line.vat;
    save.analyticAllowed = true;
    return save;
  }

 public:
  Table c50, c60;
};

}  // namespace entry_test
