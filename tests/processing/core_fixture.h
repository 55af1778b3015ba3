// The matching core's tests: a started runtime and engine session, a small generated dossier
// "LT" kept in euros only made the program's dossier, its general file and chart open in the
// program-wide tables (the totals and the account lock go through them), the test's own cursors
// on C40, C50 and C60, and accounts of the test's own lines written through the draft writer.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "data/account_totals.h"
#include "data/dossier_files.h"
#include "data/draft_lines.h"
#include "data/entry_lines.h"
#include "data/locks.h"
#include "data/session.h"
#include "data/table.h"
#include "demo/dossier_demo.h"
#include "processing/core/matching_lines.h"
#include "runtime/dossier_record.h"
#include "runtime/numbers.h"
#include "runtime/runtime_hooks.h"
#include "runtime/session_registry.h"
#include "runtime/text.h"
#include "runtime/xbase.h"
#include "support/books_writes.h"
#include "support/runtime_fixture.h"

namespace processing_test {

using L = LigneEcriture;
using T = LigneTri;

// One line of a test account: sense, euros, francs, day of March 2026, letters and working mark.
struct TestLine {
  char sense;
  double euros;
  int day = 1;
  const char* letterE = "";
  const char* letterF = "";
  const char* mark = "";
  double francs = -1;  // -1: the euros at 6.55957
};

class CoreTest : public test_support::RuntimeTest {
 protected:
  virtual DossierCurrency Currency() const { return DossierCurrency::EuroOnly; }
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
    options.folder = Dir() + "/lt";
    options.code = "LT";
    options.lines = 40;
    options.currency = Currency();
    std::string message;
    ASSERT_TRUE(GenerateDemoDossier(options, &message)) << message;
    SetDossier(options.folder + "/", "LT");
    ASSERT_TRUE(TableC10->OpenShared(PathC10(), "C10CODE"));
    ASSERT_TRUE(ReadC10Texts());
    // The constants and the parameters of record "P0", as the opening loads them.
    ASSERT_TRUE(TableC10->Seek("C10CODE", "P", "0"));
    TheDossierRecord.Set(539, 252, TableC10->GetField(4));
    TheDossierRecord.Set(791, 252, TableC10->GetField(5));
    ASSERT_TRUE(TableC20->OpenShared(PathC20(), "C20CODE"));
    ASSERT_TRUE(c40.OpenShared(PathC40(), "C40CODE"));
    ASSERT_TRUE(c50.OpenShared(PathC50(), L::kCodeTag));
    ASSERT_TRUE(c60.OpenShared(PathC60(), processing::kC60CodeTag));
  }
  void TearDown() override {
    c40.CloseTable();
    c50.CloseTable();
    c60.CloseTable();
    CloseAllTables();
    StopDbSession();
    SetDossier("", "");
    SetLockNoticeHook(nullptr);
    RuntimeTest::TearDown();
  }

  static std::vector<std::string>& Messages() {
    static std::vector<std::string> m;
    return m;
  }
  static std::vector<std::string>& Notices() {
    static std::vector<std::string> n;
    return n;
  }

  processing::MatchTables Tables() { return processing::MatchTables{c40, c50, c60}; }

  // Writes the lines on the account (journal OD, March 2026, one piece each), with their letters
  // and marks set on the line and its sort record. Their C60 record numbers, in order.
  std::vector<std::uint32_t> AddLines(const std::string& account, const std::vector<TestLine>& lines) {
    const test_support::SetUpPermit permit("lignes mises en place");
    std::vector<std::uint32_t> sorts;
    long piece = 900;
    for (const TestLine& t : lines) {
      NewDraftLine line;
      line.month = "C603";
      line.journal = "OD";
      line.piece = StrZero(++piece, 0);
      char day[3];
      std::snprintf(day, sizeof day, "%02d", t.day);
      line.day = day;
      line.account = account;
      line.labelCode = "0";
      line.label = "Ligne de test";
      line.sense = t.sense;
      line.euros = t.euros;
      line.francs = t.francs < 0 ? Round(2, t.euros * 6.55957) : t.francs;
      std::vector<std::uint32_t> recnos;
      EXPECT_EQ(WriteDraftLines(c50, c60, {line}, &recnos), DraftWrite::Written);
      if (recnos.empty()) return sorts;
      EXPECT_TRUE(c50.GoTo(recnos[0]));
      c50.PutField(L::BLETE, t.letterE);
      c50.PutField(L::BLET, t.letterF);
      EXPECT_TRUE(T::Find(c60, T::kDraft, recnos[0]));
      c60.PutField(T::TLETE, t.letterE);
      c60.PutField(T::TLET, t.letterF);
      c60.PutField(T::TLETP, t.mark);
      sorts.push_back(c60.recordNumber);
      c60.SetOrder(processing::kC60CodeTag);
    }
    return sorts;
  }

  // The letter of the currency on each sort record and on its draft line ("C60/C50").
  std::vector<std::string> Letters(const std::vector<std::uint32_t>& sorts, int currency = 1) {
    std::vector<std::string> out;
    for (std::uint32_t r : sorts) {
      EXPECT_TRUE(c60.GoTo(r));
      const std::string sortLetter = Trimmed(c60.GetField(T::TLET + currency));
      const processing::SourceLine s = processing::ReadSource(Tables(), currency);
      const std::string lineLetter = Trimmed(s.letter);
      out.push_back(sortLetter == lineLetter ? sortLetter : sortLetter + "/" + lineLetter);
    }
    return out;
  }
  std::string Mark(std::uint32_t sort) {
    EXPECT_TRUE(c60.GoTo(sort));
    return Trimmed(c60.GetField(T::TLETP));
  }

 public:
  Table c40, c50, c60;
};

}  // namespace processing_test
