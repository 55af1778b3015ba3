#include "reports/balances/core/cegid_export.h"

#include <cstdio>
#include <map>
#include <set>

#include <algorithm>

#include "data/entry_lines.h"
#include "runtime/dates.h"
#include "runtime/text.h"
#include "runtime/xbase.h"
#include "reports/balances/core/export_text.h"
#include "resources/string_table.h"

namespace balances {

namespace {

// The export's refusals: the dossier's code (%s: the code typed), auxiliary accounts taking one number
// (%s: the accounts, one a line), auxiliary accounts without a collective (%s: their letters).
constexpr int kMsgDossierCode = 23550;
constexpr int kMsgSameNumber = 23551;
constexpr int kMsgNoCollective = 23553;

std::string Code3(int code) {
  char buffer[8];
  std::snprintf(buffer, sizeof buffer, "%3d", code);
  return buffer;
}

// DDMMYY of a stored YYMMDD date (its two-digit year as the dossier record shows it).
std::string Ddmmyy(const std::string& stored) {
  if (stored.size() != 6) return "000000";
  std::string year = stored.substr(0, 2);
  if (year[0] >= 'A' && year[0] <= 'Z') year[0] = static_cast<char>('0' + (year[0] - 'A') % 10);
  return stored.substr(4, 2) + stored.substr(2, 2) + year;
}

// Cents printed with 2 decimals in `width` + 1 positions, zero-filled, the point left out.
std::string Digits(long long cents, int width) {
  const bool negative = cents < 0;
  const unsigned long long a = negative ? static_cast<unsigned long long>(-cents) : static_cast<unsigned long long>(cents);
  std::string s = std::to_string(a);
  if (negative) s = "-" + s;
  if (static_cast<int>(s.size()) < width) s = std::string(static_cast<std::size_t>(width) - s.size(), '0') + s;
  return s;
}

std::string Lower2(const std::string& code) {
  std::string s = PadRight(code, 2);
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return s;
}

// The rank of a month (YYMM) in the financial year, counted from the year's first month and
// no further than its last.
int MonthRank(const std::string& yearStart, const std::string& yearEnd, const std::string& month) {
  Ymd first, last, at;
  if (!ParseStoredDate(yearStart, first) || !ParseStoredDate(yearEnd, last) || !ParseStoredDate(month + "01", at))
    return 1;
  const int index = (at.year - first.year) * 12 + (at.month - first.month) + 1;
  const int lastIndex = (last.year - first.year) * 12 + (last.month - first.month) + 1;
  return std::max(1, std::min(index, lastIndex));
}

bool Qualifies(const std::string& code) {
  const char c = code.empty() ? ' ' : code[0];
  return (c >= '1' && c <= '8') || c == 'C' || c == 'F';
}

}  // namespace

std::string CegidDossierCode(const std::string& typed, std::string* message) {
  std::string t = Trimmed(typed);
  bool digits = t.size() <= 5;
  for (char c : t)
    if (c < '0' || c > '9') digits = false;
  if (!digits) {
    if (message != nullptr)
      *message = FillPlaceholder(LoadStr(kMsgDossierCode), t);
    return "";
  }
  return std::string(5 - t.size(), '0') + t;
}

std::string CegidExport::AccountNumber(const ChartEntry& account, const std::string& constant048) {
  const std::string code = TrimmedRight(account.code);
  std::string number = code;
  if (IsAuxiliaryAccount(account.code) && !constant048.empty() && constant048[0] == 'N') {
    const std::string recno = std::to_string(account.recno % 100000);
    number = std::string(code[0] == 'C' ? "9" : "0") + std::string(5 - recno.size(), '0') + recno;
  }
  if (number.size() < 8) number.resize(8, '0');
  return PadRight(number, 10);
}

bool CegidExport::Build(const BalanceSource& source, const CodeLists& codes, const ChartList& chart,
                        const CegidContext& x, std::string* message) {
  records_.clear();
  const char fold = x.constant045;
  // Control characters (a tab, a line break typed in a name) would break the fixed widths and
  // the lines of the file: they become blanks.
  auto text = [fold](const std::string& s) {
    std::string out = ConvertExportText(s, fold);
    for (char& c : out)
      if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
    return out;
  };
  const bool numeric = !x.constant048.empty() && x.constant048[0] == 'N';
  const std::size_t cur = static_cast<std::size_t>(x.currency);

  // Two auxiliary accounts must not take one number in the other product.
  if (numeric) {
    std::map<std::string, std::string> taken;
    std::set<std::string> clashes;
    for (const ChartEntry& a : chart.Entries()) {
      if (!IsAuxiliaryAccount(a.code) || !Qualifies(a.code)) continue;
      const std::string n = AccountNumber(a, x.constant048);
      auto [it, added] = taken.emplace(n, TrimmedRight(a.code));
      if (!added) clashes.insert(it->second + " et " + TrimmedRight(a.code) + " (" + TrimmedRight(n) + ")");
    }
    if (!clashes.empty()) {
      if (message != nullptr) {
        std::string accounts;
        for (const std::string& c : clashes) accounts += (accounts.empty() ? "" : "\n") + c;
        *message = FillPlaceholder(LoadStr(kMsgSameNumber), accounts);
      }
      return false;
    }
  }

  // The entry lines of the period in C60JX order, and their accounts.
  struct Row {
    const SortRecord* r;
    const EntryLine* l;
  };
  std::vector<Row> rows;
  std::set<char> orphanLetters;
  for (const SortRecord& r : source.Records()) {
    if (r.cls != 'Z') continue;
    const std::string d = r.date.Str();
    if (d < x.periodStart || d > x.periodEnd) continue;
    const EntryLine* l = source.LineOf(r);
    if (l == nullptr) continue;
    const char first = r.code.c[0];
    if (IsAuxiliaryAccount(r.code.Str()) && first != 'C' && first != 'F' &&
        codes.CollectiveAccountOf(first).empty())
      orphanLetters.insert(first);
    rows.push_back({&r, l});
  }
  if (!orphanLetters.empty()) {
    if (message != nullptr) {
      std::string letters;
      for (char c : orphanLetters) letters += std::string(letters.empty() ? "" : ", ") + c;
      *message = FillPlaceholder(LoadStr(kMsgNoCollective), letters);
    }
    return false;
  }
  // The file carries only amounts that were read: a line of the period or an account's previous-year
  // figures that do not read stop the export, named as the balances name them.
  std::map<std::pair<char, std::uint32_t>, const UnreadableAmountLine*> unreadableLines;
  for (const UnreadableAmountLine& u : source.UnreadableLines()) unreadableLines[{u.file, u.recno}] = &u;
  std::vector<UnreadableAmountLine> unreadable;
  if (!unreadableLines.empty())
    for (const Row& row : rows) {
      const char file = row.r->file == LigneTri::kDraft ? LigneTri::kDraft : LigneTri::kClosed;
      const auto u = unreadableLines.find({file, static_cast<std::uint32_t>(row.r->rec)});
      if (u != unreadableLines.end()) unreadable.push_back(*u->second);
    }
  for (const ChartEntry& a : chart.Entries())
    if (Qualifies(a.code) && !a.prevYearReadable)
      unreadable.push_back({UnreadableAmountLine::kAccountRecord, a.recno, "", a.code});
  if (!unreadable.empty()) {
    if (message != nullptr) *message = UnreadableAmountsFileMessage(unreadable);
    return false;
  }
  std::stable_sort(rows.begin(), rows.end(), [](const Row& a, const Row& b) {
    const SortRecord& x1 = *a.r;
    const SortRecord& y1 = *b.r;
    auto key = [](const SortRecord& s) {
      return std::string(s.date.c.data(), 4) + s.journal.Str() + std::string(s.date.c.data() + 4, 2) + s.piece.Str() +
             s.lineNumber.Str();
    };
    return key(x1) < key(y1);
  });

  records_.push_back(Code3(11) + "***DEBUT***");
  records_.push_back(Code3(38) + "00" + PadRight(x.dossierCode, 5) + Ddmmyy(x.yearStart) + Ddmmyy(x.yearEnd) + "E0" +
                     (x.constant048.size() >= 2 && x.constant048[1] == '6' ? "6" : "8") + "21133      PPEUR");
  records_.push_back(Code3(64) + "01" + text(PadRight(x.name, 30)));
  records_.push_back(Code3(98) + "02" + text(PadRight(x.street, 30)) + "  " + text(PadRight(x.street2, 30)) + "  " +
                     text(PadRight(x.townLine, 30)) + "   ");
  records_.push_back(Code3(89) + "03" + PadRight(x.siren, 9) + PadRight(x.establishment, 5) + PadRight(x.activity, 4) +
                     std::string(20, ' ') + "09N1200000000NN09P06                    ON A");
  records_.push_back(Code3(43) + "04" + Ddmmyy(x.yearEnd) + std::string(6, ' ') + "12" + std::string(8, ' ') +
                     std::string(19, '0'));
  for (const auto& [code, j] : codes.Journals())
    records_.push_back(Code3(62) + "05" + Lower2(code) + text(PadRight(j.name, 20)) + std::string(11, ' ') + "ONN" +
                       std::string(22, ' ') + "OA");
  records_.push_back(Code3(59) + (numeric ? "08411000000090000000009999990000CCOLLECTIF CLIENTS"
                                          : "084110000000C000000000CZZZZZZZ  CCOLLECTIF CLIENTS"));
  records_.push_back(Code3(59) + (numeric ? "08401000000000000000000999990000FCOLLECTIF FOURNISSEURS"
                                          : "084010000000F000000000FZZZZZZZ  FCOLLECTIF FOURNISSEURS"));
  for (const ChartEntry& a : chart.Entries()) {
    if (!Qualifies(a.code)) continue;
    const char kind = IsAuxiliaryAccount(a.code) ? 'A' : a.code == "41100000" ? 'C' : a.code == "40100000" ? 'F' : 'G';
    records_.push_back(Code3(72) + "C" + text(AccountNumber(a, x.constant048)) + text(PadRight(a.name, 25)) + "MN" + kind +
                       Digits(a.prevDebit[cur], 14) + Digits(a.prevCredit[cur], 14) + std::string(5, ' '));
  }

  // Month, journal, blocks of 99 lines.
  std::string month, journal;
  int block = 0, inBlock = 0;
  for (const Row& row : rows) {
    const SortRecord& r = *row.r;
    const EntryLine& l = *row.l;
    const std::string m(r.date.c.data(), 4);
    if (m != month) {
      month = m;
      journal.clear();
      const int rank = MonthRank(x.yearStart, x.yearEnd, m);
      records_.push_back(Code3(3) + "M" + Digits(rank, 2));
    }
    if (r.journal.Str() != journal) {
      journal = r.journal.Str();
      auto j = codes.Journals().find(TrimmedRight(journal));
      records_.push_back(Code3(37) + "J" + Lower2(journal) +
                         text(PadRight(j != codes.Journals().end() ? j->second.name : "", 20)) + std::string(11, ' ') +
                         "ONN");
      block = 0;
      inBlock = 99;
    }
    if (inBlock >= 99) {
      ++block;
      inBlock = 0;
      records_.push_back(Code3(5) + "F" + Digits(block, 3));
    }
    ++inBlock;
    std::string account;
    const std::string code = r.code.Str();
    if (IsAuxiliaryAccount(code) && code[0] != 'C' && code[0] != 'F') {
      ChartEntry collective;
      collective.code = codes.CollectiveAccountOf(code[0]);
      account = AccountNumber(collective, x.constant048);
    } else if (const ChartEntry* a = chart.Find(code)) {
      account = AccountNumber(*a, x.constant048);
    } else {
      ChartEntry missing;
      missing.code = code;
      account = AccountNumber(missing, "A");
    }
    const long long amount = l.cents[cur];
    const bool debitSide = (l.sense == 'D') == (amount >= 0);
    const std::string value = Digits(amount < 0 ? -amount : amount, 13);
    const std::string zero(13, '0');
    records_.push_back(Code3(164) + "E" + r.date.Str().substr(4, 2) + text(account) + text(PadRight(l.label.Str(), 20)) +
                       l.piece.Str() + std::string(5, ' ') + "N" + (amount != 0 && debitSide ? value : zero) +
                       (amount != 0 && !debitSide ? value : zero));
  }
  records_.push_back(Code3(9) + "***FIN***");
  return true;
}

std::string CegidExport::Content() const {
  std::string out;
  for (const std::string& r : records_) out += r + "\r\n";
  return out;
}

}  // namespace balances
