// Bank statements of the demo dossier's bank account, as the statement import takes them: bank
// 30004, branch 00123, account 00012345678, in euros, over 2026, into journal BQ against
// 62700000 with label code "0".
#pragma once

#include <cstdio>
#include <string>

#include "processing/core/ofx_import.h"

namespace test_support {

// The account's statement over 2026, without a transaction.
inline processing::BankStatement DemoBankStatement() {
  processing::BankStatement s;
  s.bankId = "30004";
  s.branchId = "00123";
  s.accountId = "00012345678";
  s.currency = "EUR";
  s.startDate = "20260101";
  s.endDate = "20261231";
  return s;
}

// The import of `s` as the statement window asks it: file "releve.ofx", the demo's bank B1.
inline processing::StatementImport DemoStatementRequest(const processing::BankStatement& s) {
  processing::StatementImport r;
  r.statement = s;
  r.file = "releve.ofx";
  r.bank = "B1";
  r.bankAccount = "51200000";
  r.journal = "BQ";
  r.counterpart = "62700000";
  r.labelCode = "0";
  return r;
}

// The import of `count` transactions, one a month in turn: FITID `fitidPrefix` + (1000 + i), name
// `namePrefix` + i, one in three a debit, of 10.00 + 0.07 i.
inline processing::StatementImport DemoStatementImport(int count = 12, const std::string& fitidPrefix = "T",
                                                       const std::string& namePrefix = "Op\xE9ration ") {
  processing::BankStatement s = DemoBankStatement();
  for (int i = 0; i < count; ++i) {
    processing::BankTransaction t;
    t.fitid = fitidPrefix + std::to_string(1000 + i);
    char date[9];
    std::snprintf(date, sizeof date, "2026%02d%02d", 1 + i % 12, 1 + (i * 5) % 28);
    t.date = date;
    t.cents = (i % 3 == 0 ? -1 : 1) * (1000 + 7 * i);
    t.name = namePrefix + std::to_string(i);
    s.transactions.push_back(t);
  }
  return DemoStatementRequest(s);
}

}  // namespace test_support
