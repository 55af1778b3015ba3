#include "ofx_fixture/ofx_fixture.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "data/entry_lines.h"
#include "data/table.h"
#include "platform/system/cp1252.h"
#include "platform/system/temp_files.h"
#include "runtime/dates.h"

namespace ofx_fixture {

namespace {

std::string Trim(const std::string& s) {
  const std::size_t a = s.find_first_not_of(' ');
  if (a == std::string::npos) return "";
  return s.substr(a, s.find_last_not_of(' ') - a + 1);
}

std::string Amount(long long cents, char decimal) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "%s%lld%c%02lld", cents < 0 ? "-" : "", std::llabs(cents) / 100, decimal,
                std::llabs(cents) % 100);
  return buf;
}

std::string Escaped(const std::string& s) {
  std::string out;
  for (char c : s) {
    if (c == '&') out += "&amp;";
    else if (c == '<') out += "&lt;";
    else if (c == '>') out += "&gt;";
    else out += c;
  }
  return out;
}

// The statement's elements; `close` gives the end tags of elements as XML wants them, `decimal`
// the separator of amounts.
std::string Body(const processing::BankStatement& s, bool close, char decimal, const std::string& eol) {
  auto el = [&](const char* tag, const std::string& value) {
    return std::string("<") + tag + ">" + Escaped(value) + (close ? std::string("</") + tag + ">" : "") + eol;
  };
  std::string out = "<OFX>" + eol + "<SIGNONMSGSRSV1>" + eol + "<SONRS>" + eol + "<STATUS>" + eol + el("CODE", "0") +
                    el("SEVERITY", "INFO") + "</STATUS>" + eol + el("DTSERVER", s.endDate + "120000") +
                    el("LANGUAGE", "FRA") + "</SONRS>" + eol + "</SIGNONMSGSRSV1>" + eol + "<BANKMSGSRSV1>" + eol +
                    "<STMTTRNRS>" + eol + el("TRNUID", "1") + "<STATUS>" + eol + el("CODE", "0") +
                    el("SEVERITY", "INFO") + "</STATUS>" + eol + "<STMTRS>" + eol + el("CURDEF", s.currency) +
                    "<BANKACCTFROM>" + eol + el("BANKID", s.bankId) + el("BRANCHID", s.branchId) +
                    el("ACCTID", s.accountId) + el("ACCTTYPE", "CHECKING") + "</BANKACCTFROM>" + eol +
                    "<BANKTRANLIST>" + eol + el("DTSTART", s.startDate) + el("DTEND", s.endDate);
  for (const processing::BankTransaction& t : s.transactions) {
    out += "<STMTTRN>" + eol + el("TRNTYPE", t.type) + el("DTPOSTED", t.date) + el("TRNAMT", Amount(t.cents, decimal));
    if (!t.fitid.empty()) out += el("FITID", t.fitid);
    if (!t.checkNumber.empty()) out += el("CHECKNUM", t.checkNumber);
    if (!t.name.empty()) out += el("NAME", t.name);
    if (!t.memo.empty()) out += el("MEMO", t.memo);
    out += "</STMTTRN>" + eol;
  }
  out += "</BANKTRANLIST>" + eol + "<LEDGERBAL>" + eol + el("BALAMT", Amount(s.closingCents, decimal)) +
         el("DTASOF", s.closingDate) + "</LEDGERBAL>" + eol + "</STMTRS>" + eol + "</STMTTRNRS>" + eol +
         "</BANKMSGSRSV1>" + eol + "</OFX>" + eol;
  return out;
}

}  // namespace

bool StatementFromDossier(const std::string& folder, const std::string& code, int first, int count,
                          processing::BankStatement& out, std::string& error) {
  out = processing::BankStatement{};
  std::string dir = folder;
  if (!dir.empty() && dir.back() != '/') dir += '/';
  std::string lower = code;
  for (char& c : lower) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  Table c10, c50;
  if (!c10.OpenShared(dir + "c10" + lower, "C10CODE", true) || !c10.SeekNotBelow("C10CODE", "Q") ||
      c10.GetField(1)[0] != 'Q') {
    error = "pas de banque dans le dossier";
    return false;
  }
  const std::string f4 = c10.GetField(4), f5 = c10.GetField(5);
  out.bankId = Trim(f4.substr(186, 5));
  out.branchId = Trim(f4.substr(191, 5));
  out.accountId = Trim(f4.substr(196, 11)) + Trim(f4.substr(207, 2));
  out.currency = "EUR";
  const std::string account = Trim(f5.substr(45, 8));
  if (!c50.OpenShared(dir + "c50" + lower, "", true)) {
    error = "brouillard illisible";
    return false;
  }
  using L = LigneEcriture;
  int seen = 0;
  long long balance = 0;
  for (bool more = c50.GoTop(); more; more = c50.Skip(1)) {
    if (c50.IsDeleted() || c50.GetField(L::BCLE)[0] != 'Z' || Trim(c50.GetField(L::BCODE)) != account) continue;
    if (seen++ < first) continue;
    if (count >= 0 && static_cast<int>(out.transactions.size()) >= count) break;
    Ymd day;
    if (!ParseStoredDate(std::string(c50.GetField(L::BMOIS)) + c50.GetField(L::BJOUR), day)) continue;
    processing::BankTransaction t;
    const long long cents = std::llround(c50.GetFieldNum(L::BMONTANTE) * 100.0);
    t.cents = c50.GetField(L::BSENS)[0] == 'D' ? cents : -cents;
    t.date = YyyymmddOf(day);
    t.fitid = "MRL" + std::string(c50.GetField(L::BMOIS)) + Trim(c50.GetField(L::BJAL)) + c50.GetField(L::BPIECE) +
              c50.GetField(L::BNUM);
    const std::string label = Trim(c50.GetField(L::BLIB));
    const std::size_t n = out.transactions.size();
    if (t.cents > 0) {
      t.type = "CREDIT";
      t.name = "Virement re\xE7u " + label;
    } else if (n % 2 == 0) {
      t.type = "DEBIT";
      t.name = "Pr\xE9l\xE8vement " + label;
    } else {
      t.type = "CHECK";
      t.checkNumber = std::to_string(1000 + n);
      t.name = "Ch\xE8que n\xB0 " + t.checkNumber;
    }
    t.memo = "Op\xE9ration du " + DisplayDateOf(day);
    balance += t.cents;
    if (out.startDate.empty() || t.date < out.startDate) out.startDate = t.date;
    if (t.date > out.endDate) out.endDate = t.date;
    out.transactions.push_back(std::move(t));
  }
  if (out.transactions.empty()) {
    error = "pas de ligne du compte " + account;
    return false;
  }
  out.closingCents = balance;
  out.closingDate = out.endDate;
  return true;
}

processing::BankStatement MadeUpStatement(int count, const std::string& bankId, const std::string& branchId,
                                          const std::string& accountId) {
  processing::BankStatement s;
  s.bankId = bankId;
  s.branchId = branchId;
  s.accountId = accountId;
  s.currency = "EUR";
  s.startDate = "20260101";
  s.endDate = "20261231";
  unsigned seed = 12345;
  for (int i = 0; i < count; ++i) {
    seed = seed * 1103515245u + 12345u;
    processing::BankTransaction t;
    const Ymd day{2026, 1 + i * 12 / (count > 0 ? count : 1), 1 + static_cast<int>(seed % 28)};
    t.date = YyyymmddOf(day);
    t.cents = static_cast<long long>(seed % 500000) - 250000;
    if (t.cents == 0) t.cents = 1;
    t.type = t.cents > 0 ? "CREDIT" : "DEBIT";
    t.fitid = "B" + std::to_string(100000 + i);
    t.name = (t.cents > 0 ? "Virement re\xE7u client " : "Pr\xE9l\xE8vement fournisseur ") + std::to_string(i % 97);
    t.memo = "R\xE9" "f\xE9rence " + std::to_string(seed % 100000);
    s.closingCents += t.cents;
    s.transactions.push_back(std::move(t));
  }
  s.closingDate = s.endDate;
  return s;
}

std::string OfxSgml102(const processing::BankStatement& s) {
  const std::string eol = "\r\n";
  return "OFXHEADER:100" + eol + "DATA:OFXSGML" + eol + "VERSION:102" + eol + "SECURITY:NONE" + eol +
         "ENCODING:USASCII" + eol + "CHARSET:1252" + eol + "COMPRESSION:NONE" + eol + "OLDFILEUID:NONE" + eol +
         "NEWFILEUID:NONE" + eol + eol + Body(s, false, ',', eol);
}

std::string OfxXml220(const processing::BankStatement& s) {
  const std::string text =
      "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\"?>\n"
      "<?OFX OFXHEADER=\"200\" VERSION=\"220\" SECURITY=\"NONE\" OLDFILEUID=\"NONE\" NEWFILEUID=\"NONE\"?>\n" +
      Body(s, true, '.', "\n");
  return platform::Cp1252ToUtf8(text);
}

bool WriteText(const std::string& path, const std::string& text) {
  platform::TemporaryFile file;
  return file.Create("ofx-fixture-") && file.Write(text) && file.Place(path);
}

}  // namespace ofx_fixture
