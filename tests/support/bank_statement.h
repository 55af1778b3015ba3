// A bank statement of the dossiers the demo generator makes, ready for the statement import: the
// account of bank B1 (51200000, journal BQ) against 62700000, as the kill matrix and the restore
// tests import it.
#pragma once

#include <cstdio>
#include <string>

#include "processing/core/ofx_import.h"

namespace test_support {

// `count` transactions over the year 2026, their FITIDs `fitidPrefix` + 1000, 1001 ...; every
// third one paid out.
inline processing::StatementImport BankStatementImport(const std::string& fitidPrefix, int count) {
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
    t.fitid = fitidPrefix + std::to_string(1000 + i);
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
