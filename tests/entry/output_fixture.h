// What the tests of the journal printout, the transfer files, the move and copy of pieces and the
// validation share: the entry fixture's dossier with lines seeded where a case needs them (each
// with its sort record and its totals, so that the invariant check stays green), accounts with
// bank details, the files of the dossier read whole, and python3-dbfread over its tables.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "data/account_totals.h"
#include "data/dossier_files.h"
#include "data/entry_lines.h"
#include "data/session.h"
#include "data/table.h"
#include "posting/journal_month.h"
#include "entry_fixture.h"
#include "runtime/bank_ids.h"
#include "runtime/numbers.h"
#include "runtime/xbase.h"
#include "support/books_writes.h"
#include "support/report_hook_driver.h"
#include "support/totals_post.h"

namespace entry_test {

// A line to seed: its piece, day, account, label code, label, sense and euro amount (the francs
// converted at the dossier's rate).
struct Seed {
  std::string piece;
  std::string day;
  std::string account;
  char labelCode = 'V';
  std::string label;
  char sense = 'D';
  double euros = 0;
  bool cancelled = false;
  std::string label2 = {}, label3 = {};
  std::string due = {};  // stored YYMMDD
};

// An IBAN of the country and bank account number with its right check digits.
inline std::string IbanOf(const std::string& country, const std::string& bban) {
  std::string iban = country + "00" + bban;
  const int digits = CheckIban(iban);
  if (digits > 0) iban.replace(2, 2, StrZero(digits, 2));
  return iban;
}

class OutputTest : public EntryTest {
 protected:
  // The dossier's file of that table ("c50" ...) with every byte, and the data, index and memo files
  // of C10 to C60 together.
  std::string Bytes(const std::string& name) { return test_support::DossierFixture::ReadAll(folder_ + name); }
  std::map<std::string, std::string> TableFiles() {
    std::map<std::string, std::string> files;
    for (const char* t : {"c10je", "c20je", "c30je", "c40je", "c50je", "c60je"})
      for (const char* ext : {".dbf", ".mdx", ".dbt"})
        if (fs::exists(folder_ + t + ext)) files[std::string(t) + ext] = Bytes(std::string(t) + ext);
    return files;
  }
  static void ExpectSameFiles(const std::map<std::string, std::string>& before,
                              const std::map<std::string, std::string>& after, const std::string& when) {
    ASSERT_EQ(before.size(), after.size()) << when;
    for (const auto& [name, bytes] : before) {
      const auto it = after.find(name);
      ASSERT_NE(it, after.end()) << when << ": " << name << " is gone";
      EXPECT_TRUE(it->second == bytes) << when << ": " << name << " changed";
    }
  }

  // An account of the chart with its name, bank details and memo (made, or rewritten).
  void Account(const std::string& code, const std::string& name, const std::string& iban, const std::string& bic,
               const std::string& memo = "") {
    Table c20;
    ASSERT_TRUE(c20.OpenShared(PathC20(), "C20CODE"));
    std::string padded = code;
    padded.resize(8, ' ');
    const bool found = c20.Seek("C20CODE", padded.c_str()) && c20.MatchKey(padded.c_str(), 8, 1) != '#';
    if (!found) {
      ASSERT_TRUE(c20.AppendBlank());
      c20.PutField(1, padded.c_str());
    }
    c20.PutField(2, name.c_str());
    c20.PutField(11, iban.size() >= 14 ? iban.substr(4, 5).c_str() : "");
    c20.PutField(12, iban.size() >= 14 ? iban.substr(9, 5).c_str() : "");
    c20.PutField(13, iban.size() >= 25 ? iban.substr(14, 11).c_str() : "");
    c20.PutField(14, iban.size() >= 27 ? iban.substr(25, 2).c_str() : "");
    c20.PutField(15, iban.c_str());
    c20.PutField(16, bic.c_str());
    c20.PutField(9, "BANQUE DU CREANCIER");
    if (!memo.empty()) c20.PutMemoText(30, memo);
    if (!found) { ASSERT_TRUE(c20.InsertRecord()); }
    c20.Commit();
  }

  // Lines of a journal-month of the draft, its header made when missing. The lines of a piece get
  // the numbers 0001, 0002 ... in the order given.
  void SeedMonth(const std::string& journalMonth, const std::vector<Seed>& lines) {
    const test_support::SetUpPermit permit("lignes mises en place");
    ASSERT_TRUE(posting::EnsureGeneralFile());
    const posting::HeaderCreation made = posting::EnsureDraftHeader(*TableC10, journalMonth);
    ASSERT_NE(made, posting::HeaderCreation::Failed);
    ASSERT_NE(made, posting::HeaderCreation::NoJournal);
    if (!TableC20->isOpen) { ASSERT_TRUE(TableC20->UseShared(PathC20(), "C20CODE")); }
    Table c50, c60;
    ASSERT_TRUE(c50.OpenShared(PathC50(), L::kCodeTag));
    ASSERT_TRUE(c60.OpenShared(PathC60(), T::kRecordTag));
    std::map<std::string, int> numbers;
    const double rate = 6.55957;
    for (const Seed& s : lines) {
      ASSERT_TRUE(c50.AppendBlank());
      const std::string number = StrZero(++numbers[s.piece], 4);
      const double francs = Round(2, s.euros * rate);
      c50.PutField(L::BCLE, "Z");
      c50.PutField(L::BMOIS, journalMonth.substr(0, 4).c_str());
      c50.PutField(L::BJAL, journalMonth.substr(4, 3).c_str());
      c50.PutField(L::BPIECE, s.piece.c_str());
      c50.PutField(L::BREC, s.piece.c_str());
      c50.PutField(L::BNUM, number.c_str());
      c50.PutField(L::BNUMA, "0001");
      c50.PutField(L::BJOUR, s.day.c_str());
      c50.PutField(L::BCODE, s.account.c_str());
      c50.PutField(L::BCLIB, std::string(1, s.labelCode).c_str());
      c50.PutField(L::BLIB, s.label.c_str());
      c50.PutField(L::BLIB2, s.label2.c_str());
      c50.PutField(L::BLIB3, s.label3.c_str());
      c50.PutField(L::BECHEANCE, s.due.c_str());
      c50.PutField(L::BEURO, "O");
      c50.PutField(L::BSENS, std::string(1, s.sense).c_str());
      c50.PutFieldNum(L::BMONTANTF, francs);
      c50.PutFieldNum(L::BMONTANTE, s.euros);
      ASSERT_TRUE(c50.InsertRecord());
      ASSERT_TRUE(c50.Commit());
      const std::uint32_t recno = c50.recordNumber;
      ASSERT_TRUE(AppendLigneTri(c50, T::kDraft, c60));
      if (s.cancelled) {
        ASSERT_TRUE(c50.GoTo(static_cast<long>(recno)));
        ASSERT_TRUE(c50.DeleteRecord(nullptr, 0));
        UnlockRecord(c50);
        ASSERT_TRUE(T::Find(c60, T::kDraft, recno));
        ASSERT_TRUE(c60.DeleteRecord(nullptr, 0));
        UnlockRecord(c60);
        continue;
      }
      const std::string op = std::string("+") + s.sense;
      std::string account = s.account;
      account.resize(8, ' ');
      test_support::PostTotals('A', account, op.c_str(), francs, s.euros);
      test_support::PostTotals('H', journalMonth + "B", op.c_str(), francs, s.euros);
    }
  }

  // The printout of a lines window through the hook driver, with the layout's TypeListe.
  test_support::ReportHookRun Print(TWSaiBroDetJournaux* w, const std::string& typeListe, const std::string& from = "",
                                    const std::string& to = "") {
    w->ChosenLayoutText = typeListe;
    return test_support::RunReportHooks(*w, from, to);
  }

  // python3-dbfread over a table of the dossier: the script's output (it gets `rows`, the records
  // of that file as dictionaries, and `deleted`, its cancelled ones).
  std::string DbfRead(const std::string& table, const std::string& body) {
    int status = -1;
    const std::string out = test_support::RunPythonScript(
        "from dbfread import DBF\nt = DBF('" + folder_ + table + ".dbf', encoding='cp1252')\nt.load()\n"
        "rows = list(t.records)\ndeleted = list(t.deleted)\n" + body,
        true, &status);
    EXPECT_EQ(status, 0) << out;
    return out;
  }

  // The working date of the dossier record.
  static void WorkingDate(const std::string& display) {
    ASSERT_TRUE(TheDossierRecord.SetDateDisplay(DossierRecord::DateField::Working, display));
  }
};

}  // namespace entry_test
