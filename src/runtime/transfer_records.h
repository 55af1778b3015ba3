// The domestic credit-transfer file in records of 160 characters, as the banks read it: the
// issuer's record 03, one record 06 per transfer, the total record 08. Every record is built
// whole here, for each run that writes them (the treasury journal's printout, the supplier
// payments); the callers hand it the texts as stored and the amounts in cents.
//
// Amounts are sixteen digits of cents at 103-118, zero-filled. Texts are taken as stored,
// blank-padded or cut to their widths.
#pragma once

#include <string>

namespace transfer_records {

constexpr std::size_t kRecordLength = 160;
// The largest amount sixteen digits of cents hold.
constexpr long long kMaxCents = 9999999999999999LL;

// Sixteen digits of cents; "" when the amount is negative or does not fit.
std::string Amount16(long long cents);

// Record 03. `bankZone4` is the long text of the issuing bank's record (C10 "Q", field 4):
// issuer number at 121-126, company name at 157-180, bank code at 187-191, branch at 192-196,
// account at 197-207. `executionDate` is DD/MM/YY; the record keeps its DDMMY. `euros` gives
// the currency letter at 81 ("E", else "F").
std::string Header03(const std::string& bankZone4, const std::string& executionDate, bool euros);
// The issuer number of a record 03 (its characters 13-18).
std::string IssuerOf(const std::string& header03);

// Record 06 of one transfer.
struct Detail {
  std::string issuer;         // 6
  std::string account;        // 8, the creditor's code
  std::string name;           // 24
  std::string domiciliation;  // 24
  std::string branch;         // 5
  std::string number;         // 11
  long long cents = 0;
  std::string label;          // 31, the payment's text
  std::string bank;           // 5
};
// "" when the amount does not fit.
std::string Detail06(const Detail& d);
// Record 08 with the run's total; "" when it does not fit.
std::string Total08(const std::string& issuer, long long cents);

// True when the record holds exactly 160 characters, its amount digits only.
bool AmountDigitsOnly(const std::string& record);

}  // namespace transfer_records
