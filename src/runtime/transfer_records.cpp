#include "runtime/transfer_records.h"

#include "runtime/xbase.h"

namespace transfer_records {
namespace {

std::string Part(const std::string& zone, std::size_t position, std::size_t width) {
  return PadRight(zone.size() >= position ? zone.substr(position - 1) : std::string(), width);
}

std::string Blanks(std::size_t n) { return std::string(n, ' '); }

}  // namespace

std::string Amount16(long long cents) {
  if (cents < 0 || cents > kMaxCents) return {};
  std::string digits = std::to_string(cents);
  return std::string(16 - digits.size(), '0') + digits;
}

std::string Header03(const std::string& bankZone4, const std::string& executionDate, bool euros) {
  const std::string date = PadRight(executionDate, 8);
  const std::string ddmmy = date.substr(0, 2) + date.substr(3, 2) + date.substr(7, 1);
  return "0302" + Blanks(8) + Part(bankZone4, 121, 6) + Blanks(7) + ddmmy + Part(bankZone4, 157, 24) + Blanks(26) +
         (euros ? "E" : "F") + Blanks(5) + Part(bankZone4, 192, 5) + Part(bankZone4, 197, 11) + Blanks(47) +
         Part(bankZone4, 187, 5) + Blanks(6);
}

std::string IssuerOf(const std::string& header03) { return Part(header03, 13, 6); }

std::string Detail06(const Detail& d) {
  const std::string amount = Amount16(d.cents);
  if (amount.empty()) return {};
  return "0602" + Blanks(8) + PadRight(d.issuer, 6) + PadRight(d.account, 8) + Blanks(4) + PadRight(d.name, 24) +
         PadRight(d.domiciliation, 24) + Blanks(8) + PadRight(d.branch, 5) + PadRight(d.number, 11) + amount + PadRight(d.label, 31) +
         PadRight(d.bank, 5) + Blanks(6);
}

std::string Total08(const std::string& issuer, long long cents) {
  const std::string amount = Amount16(cents);
  if (amount.empty()) return {};
  return "0802" + Blanks(8) + PadRight(issuer, 6) + Blanks(84) + amount + Blanks(42);
}

bool AmountDigitsOnly(const std::string& record) {
  if (record.size() != kRecordLength) return false;
  for (std::size_t i = 102; i < 118; ++i)
    if (record[i] < '0' || record[i] > '9') return false;
  return true;
}

}  // namespace transfer_records
