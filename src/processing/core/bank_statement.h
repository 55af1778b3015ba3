// A bank statement as read from a statement file (OFX) or typed: the account it covers and its
// transactions. Amounts are whole cents, dates "YYYYMMDD", texts Windows-1252.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace processing {

struct BankTransaction {
  std::string fitid;         // the bank's identity of the transaction ("" when the file gives none)
  std::string date;          // posting date
  std::int64_t cents = 0;    // positive: money received; negative: money paid
  std::string type;          // the file's transaction type (CREDIT, DEBIT, CHECK ...)
  std::string name, memo, checkNumber;
};

struct BankStatement {
  std::string bankId, branchId, accountId, iban;
  std::string currency;      // "EUR", "FRF" ...
  std::string startDate, endDate;
  std::int64_t closingCents = 0;
  std::string closingDate;
  std::vector<BankTransaction> transactions;
};

}  // namespace processing
