// Accounts and draft lines that the dunning tests add to the open dossier (DossierFolder,
// DossierCode), each line with its sort record, and the dates of the dossier's year.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "data/dossier_files.h"
#include "data/entry_lines.h"
#include "data/table.h"
#include "runtime/bank_ids.h"
#include "runtime/dates.h"
#include "runtime/dossier_record.h"
#include "runtime/text.h"
#include "support/books_writes.h"
#include "support/line_files.h"

namespace dunning_test {

// An IBAN with right check digits from a country and a BBAN.
inline std::string IbanOf(const std::string& country, const std::string& bban) {
  for (int k = 2; k < 99; ++k) {
    std::string iban = country + (k < 10 ? "0" : "") + std::to_string(k) + bban;
    if (CheckIban(iban) == 0) return iban;
  }
  return {};
}

// A stored date of the dossier's year.
inline std::string YearDate(int month, int day) {
  Ymd y;
  EXPECT_TRUE(TheDossierRecord.DateYmd(DossierRecord::DateField::YearStart, y));
  return StoredDateOf(Ymd{y.year, month, day});
}

inline void AddAccount(const std::string& code, const std::string& name, const std::string& iban,
                       const std::string& bic, const std::string& town = "37000 Tours") {
  Table c20;
  ASSERT_TRUE(c20.OpenShared(PathC20(), "C20CODE"));
  ASSERT_TRUE(c20.AppendBlank());
  c20.PutField(1, code.c_str());
  c20.PutField(2, name.c_str());
  c20.PutField(3, "12 rue des Tanneurs");
  c20.PutField(5, town.c_str());
  c20.PutField(9, "BANQUE DU NORD LILLE");
  c20.PutField(11, "30004");
  c20.PutField(12, "00825");
  c20.PutField(13, "00000006497");
  c20.PutField(14, "12");
  c20.PutField(15, iban.c_str());
  c20.PutField(16, bic.c_str());
  ASSERT_TRUE(c20.InsertRecord());
  ASSERT_TRUE(c20.Commit());
}

// A draft line on `account`, dated (stored) `date`, due `due` (stored or blank), piece 900000 + n,
// matched under `letterE` in euros and `letterF` in francs (blank: unmatched).
inline void AddLine(const std::string& account, const std::string& date, const std::string& due, char sense,
                    long long cents, const std::string& label, char labelCode, int piece,
                    const std::string& letterE = "", const std::string& letterF = "") {
  const test_support::SetUpPermit permit("ligne mise en place");
  using L = LigneEcriture;
  Table c50, c60;
  ASSERT_TRUE(c50.OpenShared(PathC50(), L::kCodeTag));
  ASSERT_TRUE(c60.OpenShared(PathC60(), LigneTri::kRecordTag));
  char amount[32];
  std::snprintf(amount, sizeof amount, "%lld.%02lld", cents / 100, cents % 100);
  ASSERT_TRUE(c50.AppendBlank());
  c50.PutField(L::BCLE, "Z");
  c50.PutField(L::BMOIS, date.substr(0, 4).c_str());
  c50.PutField(L::BJAL, "OD");
  c50.PutField(L::BPIECE, std::to_string(900000 + piece).c_str());
  c50.PutField(L::BREC, "000001");
  c50.PutField(L::BNUM, "0001");
  c50.PutField(L::BNUMA, "0001");
  c50.PutField(L::BJOUR, date.substr(4, 2).c_str());
  c50.PutField(L::BCODE, account.c_str());
  c50.PutField(L::BCLIB, std::string(1, labelCode).c_str());
  c50.PutField(L::BLIB, label.c_str());
  c50.PutField(L::BECHEANCE, due.c_str());
  c50.PutField(L::BEURO, "O");
  c50.PutField(L::BSENS, std::string(1, sense).c_str());
  c50.PutField(L::BMONTANTE, amount);
  c50.PutField(L::BLETE, letterE.c_str());
  c50.PutField(L::BLET, letterF.c_str());
  ASSERT_TRUE(c50.InsertRecord());
  ASSERT_TRUE(AppendLigneTri(c50, 'B', c60));
  ASSERT_TRUE(c50.Commit());
}

// The amounts in euros that no program writes, as a damaged draft file holds them: an exponent
// out of range both ways, letters, NUL bytes.
inline const std::vector<std::string>& UnreadableAmounts() {
  static const std::vector<std::string> texts = {"-1e300", "ABC", "1e300", std::string(6, '\0')};
  return texts;
}

// The last draft line of `account` given the amount in euros `text` as stored bytes (a damaged
// file); its record number (0 when the account has no line).
inline std::uint32_t DamageLastLine(const std::string& account, const std::string& text) {
  test_support::RawRecords raw(std::string(PathC50()) + ".dbf");
  for (std::uint32_t n = raw.Count(); n >= 1; --n)
    if (Trimmed(raw.Field(raw.Record(n), "BCODE")) == account) {
      raw.Put(n, "BMONTANTE", text);
      return n;
    }
  return 0;
}

}  // namespace dunning_test
