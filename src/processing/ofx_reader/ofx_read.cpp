#include "processing/ofx_reader/ofx_read.h"

#include <libofx/libofx.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <initializer_list>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "resources/string_table.h"

namespace ofxread {

namespace {

// The texts of the reader, by their ids in the string table.
constexpr int kOperation = 28000;              // "opération %s": the number of a transaction libofx read
constexpr int kOperationWithId = 32600;        // the same with its FITID
constexpr int kMsgAmountMissing = 28001;       // "montant absent, %s" with the operation
constexpr int kMsgAmountUnreadable = 28002;    // the amount libofx read, then the operation
constexpr int kMsgDateMissing = 28004;
constexpr int kMsgBalanceUnreadable = 28005;
constexpr int kWhyEmpty = 28006;               // why a value is refused: "vide"
constexpr int kWhyUnreadable = 28007;
constexpr int kWhyTooManyDecimals = 28008;
constexpr int kWhyTooLarge = 28009;
constexpr int kWhyNotYyyymmdd = 28010;
constexpr int kWhyNoSuchTime = 28011;
constexpr int kWhyBadZone = 28012;
constexpr int kWhyNoSuchDay = 28013;
constexpr int kMsgNotUtf8 = 28014;             // the byte, then its line
constexpr int kOperationWithoutFitid = 32601;  // "opération %s (sans FITID)": a transaction checked before libofx
constexpr int kOperationWithFitid = 32602;
constexpr int kFaultAmountMissing = 28019;     // a transaction's fault: the operation first
constexpr int kFaultAmount = 28020;            // ... the value between quotes, then why
constexpr int kFaultAmountBlank = 32603;       // ... a blank value, then why
constexpr int kFaultDateMissing = 28021;
constexpr int kFaultDate = 28022;
constexpr int kFaultDateBlank = 32604;
constexpr int kFaultStatementDate = 28023;     // the statement's own values: the tag first
constexpr int kFaultStatementDateBlank = 32605;
constexpr int kFaultBalance = 28024;
constexpr int kFaultBalanceBlank = 32606;
constexpr int kFaultBalanceDate = 28025;
constexpr int kFaultBalanceDateBlank = 32607;
constexpr int kMsgFaultsMany = 28026;          // the count of faults, their list follows
constexpr int kMsgFaultsOne = 28027;
constexpr int kMsgFaultsMore = 28029;          // the faults past those listed, counted
constexpr int kMsgEmptyFile = 28031;
constexpr int kMsgBinaryData = 28032;
constexpr int kMsgNoOfxTag = 28033;
constexpr int kMsgNoOfxEnd = 28034;
constexpr int kMsgUnclosedTag = 28035;         // the tag's name twice
constexpr int kMsgNoFile = 28037;
constexpr int kMsgFileTooLarge = 28038;        // the size in bytes
constexpr int kMsgUnreadableFile = 28040;
constexpr int kMsgNoStatement = 28041;
constexpr int kMsgSeveralStatements = 28042;
constexpr int kMsgOperationsLost = 28043;      // the transactions in the file, then those libofx read

// A text of the string table (cp1252, as the statement lines are written).
std::string Text(int id) { return resources::LastingText(id); }

// Windows-1252 of the code points U+0080-U+009F's positions 0x80-0x9F (0 = none).
const char16_t kHigh[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
                            0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
                            0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

char Cp1252Of(std::uint32_t cp) {
  if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<char>(cp);
  for (int i = 0; i < 32; ++i)
    if (kHigh[i] != 0 && kHigh[i] == cp) return static_cast<char>(0x80 + i);
  return '?';
}

// Decodes `s` as UTF-8 into code points; false when it is not valid UTF-8.
bool DecodeUtf8(const std::string& s, std::vector<std::uint32_t>& out) {
  for (std::size_t i = 0; i < s.size();) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    int n = 0;
    std::uint32_t cp = 0;
    if (c < 0x80) {
      cp = c;
    } else if (c >= 0xC2 && c < 0xE0) {
      n = 1;
      cp = c & 0x1F;
    } else if (c >= 0xE0 && c < 0xF0) {
      n = 2;
      cp = c & 0x0F;
    } else if (c >= 0xF0 && c < 0xF5) {
      n = 3;
      cp = c & 0x07;
    } else {
      return false;
    }
    for (int k = 1; k <= n; ++k) {
      if (i + k >= s.size()) return false;
      const unsigned char d = static_cast<unsigned char>(s[i + k]);
      if ((d & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (d & 0x3F);
    }
    if ((n == 2 && cp < 0x800) || (n == 3 && (cp < 0x10000 || cp > 0x10FFFF))) return false;
    out.push_back(cp);
    i += n + 1;
  }
  return true;
}

std::string Day(time_t t) {
  std::tm local{};
  if (localtime_r(&t, &local) == nullptr) return "";
  char buf[40];
  std::snprintf(buf, sizeof buf, "%04d%02d%02d", local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
  return buf;
}

const char* TypeName(TransactionType t) {
  static const char* const names[] = {"CREDIT", "DEBIT", "INT",     "DIV",  "FEE",       "SRVCHG",
                                      "DEP",    "ATM",   "POS",     "XFER", "CHECK",     "PAYMENT",
                                      "CASH",   "DIRECTDEP", "DIRECTDEBIT", "REPEATPMT", "OTHER"};
  const int i = static_cast<int>(t);
  return i >= 0 && i < static_cast<int>(sizeof names / sizeof names[0]) ? names[i] : "OTHER";
}

struct Reading {
  std::string error;
  bool account = false, statement = false;
  std::string accountId;  // libofx's identity of the first account
  bool otherAccount = false;
  std::string bank, branch, number, currency, start, end, balance, balanceDate;
  std::vector<std::string> transactions;
  std::vector<long long> amounts;  // each transaction's amount as the file writes it, in cents
  std::vector<std::string> dates;  // each transaction's day as the file writes it, YYYYMMDD
};

int OnAccount(const OfxAccountData data, void* p) {
  auto& r = *static_cast<Reading*>(p);
  const std::string id = data.account_id_valid ? data.account_id : "";
  if (r.account) {
    if (id != r.accountId) r.otherAccount = true;
    return 0;
  }
  r.account = true;
  r.accountId = id;
  if (data.bank_id_valid) r.bank = TextToCp1252(data.bank_id);
  if (data.branch_id_valid) r.branch = TextToCp1252(data.branch_id);
  if (data.account_number_valid) r.number = TextToCp1252(data.account_number);
  if (data.currency_valid) r.currency = TextToCp1252(data.currency);
  return 0;
}

int OnTransaction(const OfxTransactionData data, void* p) {
  auto& r = *static_cast<Reading*>(p);
  if (!r.error.empty()) return 0;
  if (data.account_id_valid && r.account && r.accountId != data.account_id) r.otherAccount = true;
  const std::string fitid = data.fi_id_valid ? TextToCp1252(data.fi_id) : "";
  const std::string number = std::to_string(r.transactions.size() + 1);
  const std::string which = fitid.empty() ? Message(kOperation, {number}) : Message(kOperationWithId, {number, fitid});
  long long cents = 0;
  if (!data.amount_valid) {
    r.error = Message(kMsgAmountMissing, {which});
    return 0;
  }
  const std::size_t index = r.transactions.size();
  if (index < r.amounts.size()) {
    // The amount as the file writes it, already checked: no binary fraction comes between.
    cents = r.amounts[index];
  } else if (!AmountToCents(data.amount, cents)) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.6f", data.amount);
    r.error = Message(kMsgAmountUnreadable, {buf, which});
    return 0;
  }
  if (!data.date_posted_valid) {
    r.error = Message(kMsgDateMissing, {which});
    return 0;
  }
  // The day the bank wrote, whatever its time and zone: the same statement gives the same
  // dates on every station.
  const std::string day = index < r.dates.size() ? r.dates[index] : Day(data.date_posted);
  std::string line = "TRN\t" + fitid + "\t" + day + "\t" + std::to_string(cents) + "\t" +
                     (data.transactiontype_valid ? TypeName(data.transactiontype) : "OTHER") + "\t" +
                     (data.check_number_valid ? TextToCp1252(data.check_number) : "") + "\t" +
                     (data.name_valid ? TextToCp1252(data.name) : "") + "\t" +
                     (data.memo_valid ? TextToCp1252(data.memo) : "");
  r.transactions.push_back(std::move(line));
  return 0;
}

int OnStatement(const OfxStatementData data, void* p) {
  auto& r = *static_cast<Reading*>(p);
  if (r.statement) {
    r.otherAccount = true;
    return 0;
  }
  r.statement = true;
  if (data.currency_valid) r.currency = TextToCp1252(data.currency);
  if (data.date_start_valid) r.start = Day(data.date_start);
  if (data.date_end_valid) r.end = Day(data.date_end);
  if (data.ledger_balance_valid) {
    long long cents = 0;
    if (!AmountToCents(data.ledger_balance, cents)) {
      if (r.error.empty()) r.error = Text(kMsgBalanceUnreadable);
    } else {
      r.balance = std::to_string(cents);
    }
  }
  if (data.ledger_balance_date_valid) r.balanceDate = Day(data.ledger_balance_date);
  return 0;
}

// The aggregates of a bank or card statement, each of which must be closed.
const char* const kAggregates[] = {"OFX",        "SIGNONMSGSRSV1", "SONRS",      "STATUS",   "BANKMSGSRSV1",
                                   "STMTTRNRS",  "STMTRS",         "BANKACCTFROM", "BANKTRANLIST", "STMTTRN",
                                   "LEDGERBAL",  "AVAILBAL",       "CREDITCARDMSGSRSV1", "CCSTMTTRNRS",
                                   "CCSTMTRS",   "CCACCTFROM",     "PAYEE",      "BANKACCTTO", "CCACCTTO"};

std::string Upper(std::string s) {
  for (char& c : s)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return s;
}

std::size_t Count(const std::string& text, const std::string& what) {
  std::size_t n = 0;
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + what.size())) ++n;
  return n;
}

// The offset of the first byte that is not UTF-8 in `s`; npos when all of it is.
std::size_t FirstNonUtf8(const std::string& s) {
  for (std::size_t i = 0; i < s.size();) {
    std::vector<std::uint32_t> one;
    std::size_t n = 1;
    const unsigned char c = static_cast<unsigned char>(s[i]);
    if (c >= 0xC2 && c < 0xE0) n = 2;
    else if (c >= 0xE0 && c < 0xF0) n = 3;
    else if (c >= 0xF0 && c < 0xF5) n = 4;
    else if (c >= 0x80) return i;
    if (i + n > s.size() || !DecodeUtf8(s.substr(i, n), one)) return i;
    i += n;
  }
  return std::string::npos;
}

// Whether the statement says it is in UTF-8: an XML statement unless its declaration names
// another encoding, an SGML one whose header says "ENCODING:UTF-8".
bool DeclaredUtf8(const std::string& upper) {
  const std::size_t ofx = upper.find("<OFX>");
  const std::string head = upper.substr(0, ofx);
  const std::size_t xml = head.find("<?XML");
  if (xml != std::string::npos) {
    const std::size_t end = head.find("?>", xml);
    const std::string declaration = head.substr(xml, end == std::string::npos ? std::string::npos : end - xml);
    const std::size_t at = declaration.find("ENCODING");
    if (at == std::string::npos) return true;  // XML's own default
    return declaration.find("UTF-8", at) != std::string::npos || declaration.find("UTF8", at) != std::string::npos;
  }
  const std::size_t at = head.find("ENCODING:");
  return at != std::string::npos && head.compare(at + 9, 4, "UTF-") == 0;
}

std::string Trimmed(const std::string& s) {
  const std::size_t a = s.find_first_not_of(" \t\r\n");
  if (a == std::string::npos) return "";
  return s.substr(a, s.find_last_not_of(" \t\r\n") - a + 1);
}

// The value of the element `tag` between `from` and `to`: the text after its start tag up to
// the next tag (SGML leaves the end tag out), outer blanks dropped. False when it is absent.
bool ElementValue(const std::string& raw, const std::string& upper, std::size_t from, std::size_t to,
                  const char* tag, std::string& value) {
  const std::string open = std::string("<") + tag + ">";
  const std::size_t at = upper.find(open, from);
  if (at == std::string::npos || at >= to) return false;
  const std::size_t start = at + open.size();
  std::size_t end = raw.find('<', start);
  if (end == std::string::npos || end > to) end = to;
  value = Trimmed(raw.substr(start, end - start));
  return true;
}

bool Digits(const std::string& s, std::size_t from, std::size_t count) {
  if (from + count > s.size()) return false;
  for (std::size_t i = from; i < from + count; ++i)
    if (s[i] < '0' || s[i] > '9') return false;
  return true;
}

int Number(const std::string& s, std::size_t from, std::size_t count) { return std::atoi(s.substr(from, count).c_str()); }

}  // namespace

std::string Message(int id, std::initializer_list<std::string> values) {
  const std::vector<std::string_view> views(values.begin(), values.end());
  return resources::FillValues(resources::LastingText(id), views.data(), views.size());
}

std::string AmountCents(const std::string& text, long long& cents) {
  if (text.empty()) return Text(kWhyEmpty);
  std::size_t i = 0;
  bool negative = false;
  if (text[0] == '-' || text[0] == '+') {
    negative = text[0] == '-';
    i = 1;
  }
  std::string whole, fraction;
  bool mark = false;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    if (c >= '0' && c <= '9') {
      (mark ? fraction : whole) += c;
    } else if ((c == '.' || c == ',') && !mark) {
      mark = true;
    } else {
      return Text(kWhyUnreadable);
    }
  }
  if (whole.empty() && fraction.empty()) return Text(kWhyUnreadable);
  // More than two decimals only when they are zeros: a cent is the smallest amount.
  if (fraction.size() > 2 && fraction.find_first_not_of('0', 2) != std::string::npos) return Text(kWhyTooManyDecimals);
  fraction = (fraction + "00").substr(0, 2);
  const std::size_t first = whole.find_first_not_of('0');
  whole = first == std::string::npos ? "" : whole.substr(first);
  if (whole.size() > 13) return Text(kWhyTooLarge);
  cents = std::atoll(whole.c_str()) * 100 + std::atoll(fraction.c_str());
  if (negative) cents = -cents;
  return "";
}

std::string DateCheck(const std::string& text) {
  if (text.empty()) return Text(kWhyEmpty);
  if (!Digits(text, 0, 8)) return Text(kWhyNotYyyymmdd);
  std::size_t at = 8;
  // The time, its fraction of a second and its zone: HHMMSS[.XXX][[-5:EST]].
  if (Digits(text, at, 6)) {
    if (Number(text, 8, 2) > 23 || Number(text, 10, 2) > 59 || Number(text, 12, 2) > 59)
      return Text(kWhyNoSuchTime);
    at += 6;
    if (at < text.size() && text[at] == '.') {
      ++at;
      while (at < text.size() && text[at] >= '0' && text[at] <= '9') ++at;
    }
  } else if (Digits(text, at, 4)) {
    if (Number(text, 8, 2) > 23 || Number(text, 10, 2) > 59) return Text(kWhyNoSuchTime);
    at += 4;
  }
  if (at < text.size() && text[at] == '[' && text.back() == ']') {
    // The zone: hours from UTC (a fraction allowed), then its name after ":".
    const std::size_t colon = text.find(':', at);
    const std::string zone = text.substr(at + 1, (colon == std::string::npos ? text.size() - 1 : colon) - at - 1);
    char* end = nullptr;
    const double hours = std::strtod(zone.c_str(), &end);
    if (zone.empty() || zone.find_first_not_of("+-0123456789.") != std::string::npos ||
        end != zone.c_str() + zone.size() || !(hours >= -12 && hours <= 14))
      return Text(kWhyBadZone);
    at = text.size();
  }
  if (at != text.size()) return Text(kWhyNotYyyymmdd);
  const int year = Number(text, 0, 4), month = Number(text, 4, 2), day = Number(text, 6, 2);
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  if (year < 1900 || month < 1 || month > 12 || day < 1 || day > kDays[month - 1] + (month == 2 && leap ? 1 : 0))
    return Text(kWhyNoSuchDay);
  return "";
}

std::string CheckTransactionValues(const std::string& raw, std::vector<long long>* amounts,
                                   std::vector<std::string>* dates) {
  const std::string upper = Upper(raw);
  if (DeclaredUtf8(upper)) {
    const std::size_t bad = FirstNonUtf8(raw);
    if (bad != std::string::npos) {
      char byte[8];
      std::snprintf(byte, sizeof byte, "0x%02X", static_cast<unsigned char>(raw[bad]));
      const long line = std::count(raw.begin(), raw.begin() + static_cast<long>(bad), '\n') + 1;
      return Message(kMsgNotUtf8, {byte, std::to_string(line)});
    }
  }
  std::vector<std::string> faults;
  // A value's fault: the message `quoted` gives the value between quotes, `blank` is the one for an empty value;
  // `lead` (the operation, the tag), when given, comes first.
  auto fault = [](int quoted, int blank, const std::string* lead, const std::string& value, const std::string& why) {
    if (value.empty()) return lead != nullptr ? Message(blank, {*lead, why}) : Message(blank, {why});
    const std::string shown = TextToCp1252(value.substr(0, 40).c_str());
    return lead != nullptr ? Message(quoted, {*lead, shown, why}) : Message(quoted, {shown, why});
  };
  long number = 0;
  const std::string open = "<STMTTRN>", close = "</STMTTRN>";
  for (std::size_t at = upper.find(open); at != std::string::npos; at = upper.find(open, at + open.size())) {
    ++number;
    std::size_t end = upper.find(close, at);
    if (end == std::string::npos) end = upper.size();
    std::string fitid, amount, date;
    ElementValue(raw, upper, at, end, "FITID", fitid);
    const std::string which = fitid.empty()
                                  ? Message(kOperationWithoutFitid, {std::to_string(number)})
                                  : Message(kOperationWithFitid, {std::to_string(number), TextToCp1252(fitid.c_str())});
    long long cents = 0;
    if (!ElementValue(raw, upper, at, end, "TRNAMT", amount)) {
      faults.push_back(Message(kFaultAmountMissing, {which}));
    } else if (const std::string why = AmountCents(amount, cents); !why.empty()) {
      faults.push_back(fault(kFaultAmount, kFaultAmountBlank, &which, amount, why));
    }
    if (amounts != nullptr) amounts->push_back(cents);
    if (!ElementValue(raw, upper, at, end, "DTPOSTED", date)) {
      faults.push_back(Message(kFaultDateMissing, {which}));
    } else if (const std::string why = DateCheck(date); !why.empty()) {
      faults.push_back(fault(kFaultDate, kFaultDateBlank, &which, date, why));
    }
    if (dates != nullptr) dates->push_back(date.substr(0, 8));
  }
  // The statement's own dates and closing balance are read the same way.
  const std::size_t list = upper.find("<BANKTRANLIST>"), balance = upper.find("<LEDGERBAL>");
  const std::size_t firstTransaction = upper.find(open);
  std::string value;
  for (const char* tag : {"DTSTART", "DTEND"})
    if (list != std::string::npos && ElementValue(raw, upper, list, std::min(firstTransaction, upper.size()), tag, value))
      if (const std::string why = DateCheck(value); !why.empty()) {
        const std::string name = tag;
        faults.push_back(fault(kFaultStatementDate, kFaultStatementDateBlank, &name, value, why));
      }
  if (balance != std::string::npos) {
    const std::size_t end = std::min(upper.find("</LEDGERBAL>", balance), upper.size());
    long long cents = 0;
    if (ElementValue(raw, upper, balance, end, "BALAMT", value))
      if (const std::string why = AmountCents(value, cents); !why.empty())
        faults.push_back(fault(kFaultBalance, kFaultBalanceBlank, nullptr, value, why));
    if (ElementValue(raw, upper, balance, end, "DTASOF", value))
      if (const std::string why = DateCheck(value); !why.empty())
        faults.push_back(fault(kFaultBalanceDate, kFaultBalanceDateBlank, nullptr, value, why));
  }
  if (faults.empty()) return "";
  std::string text = Message(faults.size() > 1 ? kMsgFaultsMany : kMsgFaultsOne, {std::to_string(faults.size())});
  constexpr std::size_t kShown = 20;
  for (std::size_t i = 0; i < faults.size() && i < kShown; ++i) text += "\n" + faults[i];
  if (faults.size() > kShown) text += Message(kMsgFaultsMore, {std::to_string(faults.size() - kShown)});
  return text;
}


std::string TextToCp1252(const char* text) {
  const std::string s = text == nullptr ? "" : text;
  std::vector<std::uint32_t> cps;
  std::string out;
  if (DecodeUtf8(s, cps)) {
    for (std::uint32_t cp : cps) out += Cp1252Of(cp);
  } else {
    out = s;
  }
  for (char& c : out)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
  const std::size_t first = out.find_first_not_of(' ');
  if (first == std::string::npos) return "";
  return out.substr(first, out.find_last_not_of(' ') - first + 1);
}

bool AmountToCents(double amount, long long& cents) {
  if (!std::isfinite(amount) || std::fabs(amount) >= 1e13) return false;
  const double scaled = amount * 100.0;
  const double whole = std::nearbyint(scaled);
  if (std::fabs(scaled - whole) > 1e-4) return false;
  cents = static_cast<long long>(whole);
  return true;
}

std::string CheckStatementText(const std::string& raw, std::size_t* transactions) {
  if (raw.find_first_not_of(" \t\r\n") == std::string::npos) return Text(kMsgEmptyFile);
  if (raw.find('\0') != std::string::npos) return Text(kMsgBinaryData);
  const std::string upper = Upper(raw);
  const std::size_t open = upper.find("<OFX>");
  if (open == std::string::npos) return Text(kMsgNoOfxTag);
  const std::size_t last = upper.find_last_not_of(" \t\r\n\x1A");
  if (last == std::string::npos || last + 1 < 6 || upper.compare(last + 1 - 6, 6, "</OFX>") != 0)
    return Text(kMsgNoOfxEnd);
  // The statement's aggregates close in SGML as in XML; a parser that implies a missing end tag
  // silently drops what followed it.
  for (const char* tag : kAggregates) {
    const std::string name = tag;
    if (Count(upper, "<" + name + ">") != Count(upper, "</" + name + ">"))
      return Message(kMsgUnclosedTag, {name, name});
  }
  if (transactions != nullptr) *transactions = Count(upper, "<STMTTRN>");
  return "";
}

std::string ReadStatement(const std::string& path, std::string& lines) {
  lines.clear();
  std::ifstream in(path, std::ios::binary);
  if (!in) return Text(kMsgNoFile);
  in.seekg(0, std::ios::end);
  const long long size = static_cast<long long>(in.tellg());
  if (size > kMaxStatementBytes) return Message(kMsgFileTooLarge, {std::to_string(size)});
  in.seekg(0);
  std::string raw(static_cast<std::size_t>(size < 0 ? 0 : size), '\0');
  in.read(raw.data(), static_cast<std::streamsize>(raw.size()));
  if (!in) return Text(kMsgUnreadableFile);
  std::size_t opened = 0;
  const std::string refused = CheckStatementText(raw, &opened);
  if (!refused.empty()) return refused;

  Reading r;
  const std::string bad = CheckTransactionValues(raw, &r.amounts, &r.dates);
  if (!bad.empty()) return bad;
  // libofx speaks on the console only when asked; its messages are not the reader's.
  ofx_PARSER_msg = ofx_DEBUG_msg = ofx_DEBUG1_msg = ofx_DEBUG2_msg = ofx_DEBUG3_msg = ofx_DEBUG4_msg =
      ofx_DEBUG5_msg = ofx_STATUS_msg = ofx_INFO_msg = ofx_WARNING_msg = ofx_ERROR_msg = 0;
  LibofxContextPtr context = libofx_get_new_context();
  ofx_set_account_cb(context, OnAccount, &r);
  ofx_set_transaction_cb(context, OnTransaction, &r);
  ofx_set_statement_cb(context, OnStatement, &r);
  libofx_proc_file(context, path.c_str(), AUTODETECT);
  libofx_free_context(context);

  if (!r.error.empty()) return r.error;
  if (!r.statement || !r.account) return Text(kMsgNoStatement);
  if (r.otherAccount) return Text(kMsgSeveralStatements);
  if (r.transactions.size() != opened)
    return Message(kMsgOperationsLost, {std::to_string(opened), std::to_string(r.transactions.size())});
  std::ostringstream out;
  out << "OFX\t1\n"
      << "ACCOUNT\t" << r.bank << '\t' << r.branch << '\t' << r.number << '\n'
      << "CURRENCY\t" << r.currency << '\n'
      << "PERIOD\t" << r.start << '\t' << r.end << '\n'
      << "BALANCE\t" << r.balance << '\t' << r.balanceDate << '\n';
  for (const std::string& t : r.transactions) out << t << '\n';
  out << "END\t" << r.transactions.size() << '\n';
  lines = out.str();
  return "";
}

}  // namespace ofxread
