// A bank statement made for the import tests: `count` transactions of the account 30004 00123
// 00012345678 spread over 2026 (one a month in turn), debits and credits of growing amounts, each
// with its own identity "T" + (1000 + its number), imported into journal BQ between the bank
// account 51200000 and 62700000.
#pragma once

#include <cstdio>
#include <string>

#include "processing/core/ofx_import.h"

namespace test_support {

inline processing::StatementImport BankStatementOf(int count) {
  processing::StatementImport r;
  processing::BankStatement& s = r.statement;
  s.bankId = "30004";
  s.branchId = "00123";
  s.accountId = "00012345678";
  s.currency = "EUR";
  s.startDate = "20260101";
  s.endDate = "20261231";
  for (int i = 0; i < count; ++i) {
    processing::BankTransaction t;
    t.fitid = "T" + std::to_string(1000 + i);
    char date[9];
    std::snprintf(date, sizeof date, "2026%02d%02d", 1 + i % 12, 1 + (i * 5) % 28);
    t.date = date;
    t.cents = (i % 3 == 0 ? -1 : 1) * (1000 + 7 * i);
    t.name = "Op\xE9ration " + std::to_string(i);
    s.transactions.push_back(t);
  }
  r.file = "releve.ofx";
  r.bank = "B1";
  r.bankAccount = "51200000";
  r.journal = "BQ";
  r.counterpart = "62700000";
  r.labelCode = "0";
  return r;
}

}  // namespace test_support
