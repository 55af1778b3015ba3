#include "processing/ofx_reader/ofx_read.h"

#include <libofx/libofx.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace ofxread {

namespace {

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
  const std::string which = "op\xE9ration " + std::to_string(r.transactions.size() + 1) +
                            (fitid.empty() ? "" : " (" + fitid + ")");
  long long cents = 0;
  if (!data.amount_valid) {
    r.error = "montant absent, " + which;
    return 0;
  }
  if (!AmountToCents(data.amount, cents)) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.6f", data.amount);
    r.error = std::string("montant illisible (lu ") + buf + "), " + which;
    return 0;
  }
  if (!data.date_posted_valid) {
    r.error = "date absente, " + which;
    return 0;
  }
  std::string line = "TRN\t" + fitid + "\t" + Day(data.date_posted) + "\t" + std::to_string(cents) + "\t" +
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
      if (r.error.empty()) r.error = "solde du relev\xE9 illisible";
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

}  // namespace

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
  if (raw.find_first_not_of(" \t\r\n") == std::string::npos) return "fichier vide";
  if (raw.find('\0') != std::string::npos) return "donn\xE9" "es binaires, ce n'est pas un fichier OFX";
  const std::string upper = Upper(raw);
  const std::size_t open = upper.find("<OFX>");
  if (open == std::string::npos) return "ce n'est pas un fichier OFX (balise <OFX> absente)";
  const std::size_t last = upper.find_last_not_of(" \t\r\n\x1A");
  if (last == std::string::npos || last + 1 < 6 || upper.compare(last + 1 - 6, 6, "</OFX>") != 0)
    return "fichier incomplet (balise de fin </OFX> absente)";
  // The statement's aggregates close in SGML as in XML; a parser that implies a missing end tag
  // silently drops what followed it.
  for (const char* tag : kAggregates) {
    const std::string name = tag;
    if (Count(upper, "<" + name + ">") != Count(upper, "</" + name + ">"))
      return "balise <" + name + "> sans sa balise de fin </" + name + ">";
  }
  if (transactions != nullptr) *transactions = Count(upper, "<STMTTRN>");
  return "";
}

std::string ReadStatement(const std::string& path, std::string& lines) {
  lines.clear();
  std::ifstream in(path, std::ios::binary);
  if (!in) return "fichier introuvable ou illisible";
  in.seekg(0, std::ios::end);
  const long long size = static_cast<long long>(in.tellg());
  if (size > kMaxStatementBytes) return "fichier trop grand pour un relev\xE9 (" + std::to_string(size) + " octets)";
  in.seekg(0);
  std::string raw(static_cast<std::size_t>(size < 0 ? 0 : size), '\0');
  in.read(raw.data(), static_cast<std::streamsize>(raw.size()));
  if (!in) return "fichier illisible";
  std::size_t opened = 0;
  const std::string refused = CheckStatementText(raw, &opened);
  if (!refused.empty()) return refused;

  Reading r;
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
  if (!r.statement || !r.account) return "aucun relev\xE9 de compte bancaire dans le fichier";
  if (r.otherAccount) return "le fichier contient plusieurs relev\xE9s: un seul compte par importation";
  if (r.transactions.size() != opened)
    return "op\xE9rations illisibles (" + std::to_string(opened) + " dans le fichier, " +
           std::to_string(r.transactions.size()) + " lues)";
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
