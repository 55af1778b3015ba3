#include "dossier/core/maintenance_totals.h"

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "data/account_totals.h"
#include "data/collective_account.h"
#include "data/collation.h"
#include "data/dossier_files.h"
#include "data/error_report.h"
#include "data/record_fields.h"
#include "data/session.h"
#include "data/table.h"
#include "data/table_results.h"
#include "dossier/core/conversion.h"
#include "dossier/core/maintenance_pack.h"
#include "platform/system/clock.h"
#include "resources/string_table.h"
#include "runtime/code_helpers.h"
#include "runtime/dates.h"
#include "runtime/dossier_record.h"
#include "runtime/inifiles.h"
#include "runtime/numbers.h"
#include "runtime/text.h"
#include "runtime/xbase.h"

namespace {

// The texts shown here, by their ids in the string table.
constexpr int kLabelCreatedCollective = 182;
constexpr int kLabelCreatedAccount = 181;
constexpr int kFormatStamp = 22190;
constexpr int kMsgDraftFullNotRebalanced = 22191;
constexpr int kMsgJournalsRebalanced = 22192;
constexpr int kMsgJournalsUnbalanced = 22193;
constexpr int kLineBalanceCheck = 22194;
constexpr int kLineMoreJournals = 22195;
// A total its field cannot hold (%s: the account, the section, or the journal and its month; then
// the amount the lines give it and its currency).
constexpr int kMsgAccountTooLarge = 36500;
constexpr int kMsgSectionTooLarge = 36501;
constexpr int kMsgHeaderTooLarge = 36502;
constexpr int kWordFrancs = 36503;
constexpr int kWordEuros = 36504;

constexpr int kC10CodeWidth = 14;
constexpr int kAccountWidth = 8;

// Debit and credit of both currencies, in whole cents.
struct Sums {
  long long debitF = 0, debitE = 0, creditF = 0, creditE = 0;
  void Add(char sense, long long francs, long long euros) {
    if (sense == 'D') {
      debitF += francs;
      debitE += euros;
    } else {
      creditF += francs;
      creditE += euros;
    }
  }
  bool Empty() const { return debitF == 0 && debitE == 0 && creditF == 0 && creditE == 0; }
};

// Exact key of a C10 record: kind + code blank-padded to the code's width.
std::string C10Key(char kind, const std::string& code) {
  return std::string(1, kind) + PadRight(code, kC10CodeWidth);
}

std::string Field(Table& t, int field) { return t.GetField(field); }

// The first write of the run that the engine refused; the run stops there.
TotalsWriteFault& Fault() {
  static TotalsWriteFault fault;
  return fault;
}

// Notes a refused write on `t` (the first one only) and gives false.
bool Refused(Table& t) {
  if (!Fault().failed()) Fault() = {t.tablePath, t.result != 0 ? t.result : -1};
  return false;
}

// `written`, or the write of `t` noted as refused.
bool Checked(Table& t, bool written) { return written || Refused(t); }

// A total that its field cannot hold, noted (the first one only) in place of a write: false.
bool TooLarge(const std::string& named) {
  if (!Fault().failed()) Fault().tooLarge = named;
  return false;
}

TotalsCents TotalsOf(const Sums& s) { return {s.debitF, s.creditF, s.debitE, s.creditE}; }

// What every total holds: 14 characters with two decimals, in C20 and C30 as in the headers of C10.
bool Holds(long long cents) { return cents >= kSmallestTotalCents && cents <= kLargestTotalCents; }

// The total of `kind` ('A' an account, 'S' a section, 'H' a journal-month header, its code month +
// journal) that would hold `t`, named with its first amount past what its field holds; "" when
// every amount fits.
std::string TooLargeText(char kind, const std::string& code, const TotalsCents& t) {
  const long long amounts[] = {t.debit1, t.credit1, t.debit2, t.credit2};
  for (int i = 0; i < 4; ++i) {
    if (Holds(amounts[i])) continue;
    const std::string amount = GroupedAmountText(amounts[i]);
    const std::string currency = LoadStr(i < 2 ? kWordFrancs : kWordEuros);
    if (kind == 'H') {
      const std::string key = PadRight(code, 7);
      return FillPlaceholders(LoadStr(kMsgHeaderTooLarge),
                              {Trimmed(key.substr(4, 3)), key.substr(2, 2) + "/" + DecodeYear(key.substr(0, 2).c_str()),
                               amount, currency});
    }
    return FillPlaceholders(LoadStr(kind == 'S' ? kMsgSectionTooLarge : kMsgAccountTooLarge),
                            {Trimmed(code), amount, currency});
  }
  return "";
}

// True when the look-up just made on `t` found no such record; one that could not read (a read
// refused) is noted as the run's fault and gives false, so that no record it may have missed is
// made twice.
bool Missing(Table& t, const Lookup& found) { return found.IsNotFound() || Refused(t); }

// A total of a header field (characters 1-14 the debit, 15-28 the credit) in cents, as the
// reports read it: one that does not read counts as zero.
long long HeaderTotal(const std::string& text, std::size_t at) {
  return StoredAmountCents(std::string_view(text).substr(at, 14));
}

// Adds the sums of one currency to characters 1-14 (debit) and 15-28
// (credit) of a header field.
bool AddToHeaderField(Table& c10, int field, long long debit, long long credit) {
  if (debit == 0 && credit == 0) return true;
  const std::string text = PadRight(Field(c10, field), 28);
  const double d = FromCents(HeaderTotal(text, 0) + debit);
  const double c = FromCents(HeaderTotal(text, 14) + credit);
  return Checked(c10, c10.PutFieldPart(field, 1, 14, AmountText14(d).c_str())) &&
         Checked(c10, c10.PutFieldPart(field, 15, 14, AmountText14(c).c_str()));
}

// A record appended with its fields: false when the engine refused it. The cursor then stays
// on the record it was on, whose buffer holds the fields meant for the new one: nothing may be
// written through it before it is read again.
bool AppendWith(Table& t, const std::vector<std::pair<int, std::string>>& fields) {
  if (!t.AppendBlank()) return Refused(t);
  for (const auto& [field, text] : fields) t.PutField(field, text.c_str());
  if (t.InsertRecord()) return true;
  Refused(t);
  if (t.recordNumber != 0) t.GoToRecord(static_cast<long>(t.recordNumber));
  return false;
}

// Posts a journal-month group to its header "C" + month + journal + source.
bool PostHeader(const std::string& group, char source, const Sums& sums, MaintenanceProgress& show) {
  Table& c10 = *TableC10;
  show.Tick(group.substr(4, 3) + " - " + group.substr(2, 2) + "/" + group.substr(0, 2), false);
  const std::string code = group + source;
  const Lookup header = c10.Find("C10CODE", C10Key('C', code).c_str());
  if (!header.IsFound() && !Missing(c10, header)) return false;
  const bool found = header.IsFound();
  // A header made or brought back starts empty; what it would hold is checked before it is touched.
  TotalsCents after = TotalsOf(sums);
  const Lookup live = found ? c10.LiveHere() : Lookup::NotFound();
  if (live.IsRefused()) return Refused(c10);
  if (live.IsFound()) {
    const std::string f = PadRight(Field(c10, 4), 28), e = PadRight(Field(c10, 5), 28);
    after += {HeaderTotal(f, 0), HeaderTotal(f, 14), HeaderTotal(e, 0), HeaderTotal(e, 14)};
  }
  const std::string tooLarge = TooLargeText('H', group, after);
  if (!tooLarge.empty()) return TooLarge(tooLarge);
  if (!found) {
    // The journal's name, "???" for a journal not there; one not read makes no header.
    std::string label = "???";
    Lookup journal = c10.Find("C10CODE", C10Key('J', group.substr(4, 3)).c_str());
    if (journal.IsFound()) journal = c10.LiveHere();
    if (journal.IsRefused()) return Refused(c10);
    if (journal.IsFound()) label = Field(c10, 3);
    if (!AppendWith(c10, {{1, "C"}, {2, code}, {3, label}})) return false;
  }
  const Lookup again = c10.LiveHere();
  if (again.IsRefused()) return Refused(c10);
  if (again.IsNotFound()) {
    if (!Checked(c10, c10.PutField(4, "")) || !Checked(c10, c10.PutField(5, "")) ||
        !Checked(c10, c10.RecallRecord(nullptr, 0)))
      return false;
  }
  return AddToHeaderField(c10, 4, sums.debitF, sums.creditF) && AddToHeaderField(c10, 5, sums.debitE, sums.creditE);
}

// The C20 record of an account, created (with `label`) when missing.
bool FindOrCreateAccount(const std::string& code, const char* label = kRebuildLabel) {
  Table& c20 = *TableC20;
  const Lookup found = c20.Find("C20CODE", PadRight(code, kAccountWidth).c_str());
  if (found.IsFound()) return true;
  return Missing(c20, found) && AppendWith(c20, {{1, code}, {2, label}});
}

// The four totals of the current record (an account 'A' or a section 'S') moved in one write;
// a total its field cannot hold leaves the record as it is.
bool AddTotals(Table& t, char kind, int firstField, const Sums& s) {
  if (s.Empty()) return true;
  const TotalsCents after{StoredAmountOf(t, firstField) + s.debitF, StoredAmountOf(t, firstField + 2) + s.creditF,
                          StoredAmountOf(t, firstField + 1) + s.debitE, StoredAmountOf(t, firstField + 3) + s.creditE};
  const std::string tooLarge = TooLargeText(kind, Field(t, 1), after);
  if (!tooLarge.empty()) return TooLarge(tooLarge);
  t.BeginRewrite();
  const bool filled = t.PutFieldNum(firstField, FromCents(after.debit1)) &&
                      t.PutFieldNum(firstField + 1, FromCents(after.debit2)) &&
                      t.PutFieldNum(firstField + 2, FromCents(after.credit1)) &&
                      t.PutFieldNum(firstField + 3, FromCents(after.credit2));
  return Checked(t, t.EndRewrite(filled));
}

Sums SumsOf(const TotalsCents& t) {
  Sums s;
  s.debitF = t.debit1;
  s.creditF = t.credit1;
  s.debitE = t.debit2;
  s.creditE = t.credit2;
  return s;
}

// An account's totals and those of the account that collects its letter; a held one left as it stands.
bool PostAccount(const std::string& code, const Sums& sums, const TotalsPlan& plan, MaintenanceProgress& show) {
  show.Tick(RTrim(code.c_str()), false);
  if (!plan.HeldAccount(code) && (!FindOrCreateAccount(code) || !AddTotals(*TableC20, 'A', 17, sums))) return false;
  if (code.empty() || code[0] < 'A' || code[0] > 'Z') return true;
  // An auxiliary account also moves the general account that collects its letter.
  // Its collective record, a cancelled one too, as the moves of the lines find it.
  Table& c10 = *TableC10;
  const Lookup collective = c10.Find("C10CODE", C10Key('B', code.substr(0, 1)).c_str());
  if (!collective.IsFound() &&
      (!Missing(c10, collective) || !AppendWith(c10, {{1, "B"}, {2, code.substr(0, 1)}, {3, LoadStr(kLabelCreatedCollective)}, {4, MadeCollectiveAccount()}})))
    return false;
  const std::string collecting = CollectiveAccountOf(Field(c10, 4));
  return collecting.empty() || plan.HeldAccount(collecting) ||
         (FindOrCreateAccount(collecting) && AddTotals(*TableC20, 'A', 17, sums));
}

bool PostSection(const std::string& code, const Sums& sums, MaintenanceProgress& show) {
  show.Tick(RTrim(code.c_str()), false);
  Table& c30 = *TableC30;
  const Lookup section = c30.Find("C30CODE", PadRight(code, kAccountWidth).c_str());
  if (!section.IsFound() &&
      (!Missing(c30, section) || !AppendWith(c30, {{1, code}, {2, kRebuildLabel}})))
    return false;
  return AddTotals(c30, 'S', 9, sums);
}

// ---- balance check

struct HeaderGroup {
  std::string key;  // month + journal, 7 characters
  Sums sums;
};

std::vector<HeaderGroup> ReadHeaderGroups(MaintenanceProgress& show) {
  std::vector<HeaderGroup> groups;
  Table& c10 = *TableC10;
  // Headers not read are the run's fault, never "no header".
  const Lookup first = c10.Find("C10CODE", "C");
  if (first.IsRefused()) Refused(c10);
  if (!first.IsFound()) return groups;
  bool more = c10.SkipActive(false);
  while (more && c10.GetField(1)[0] == 'C') {
    show.Step();
    const std::string key = Field(c10, 2).substr(0, 7);
    if (groups.empty() || groups.back().key != key) groups.push_back({key, Sums()});
    Sums& s = groups.back().sums;
    const std::string f = PadRight(Field(c10, 4), 28), e = PadRight(Field(c10, 5), 28);
    s.debitF += HeaderTotal(f, 0);
    s.creditF += HeaderTotal(f, 14);
    s.debitE += HeaderTotal(e, 0);
    s.creditE += HeaderTotal(e, 14);
    more = c10.SkipActive(true);
  }
  return groups;
}

// Writes one balancing draft line, its sort record, and posts it to its account and header.
enum class Balancing { Written, DraftFull, Refused };
Balancing WriteBalancingLine(const std::string& group, const std::string& account, char sense, double francs,
                             bool withFrancs, double euros, bool withEuros, char marker) {
  Table& c50 = *TableC50;
  Table& c60 = *TableC60;
  const std::string month = group.substr(0, 4), journal = group.substr(4, 3);
  const std::string day = std::string(PrevDay(NextDay((month + "31").c_str()))).substr(4, 2);
  // The draft file cannot take another line that a sort record can point at.
  if (static_cast<long>(c50.RecCount()) >= kMaxLineRecords) return Balancing::DraftFull;
  const std::string piece = TheDossierRecord.NextPiece();
  const std::string recno = StrZero(static_cast<long>(c50.RecCount()) + 1, 0);
  const std::string senseText(1, sense);

  c50.SetOrder("C50CODE");
  std::vector<std::pair<int, std::string>> line = {
      {1, "Z"},        {2, month},   {3, journal},       {4, piece},         {5, recno},
      {6, "0001"},     {7, "0001"},  {8, day},           {10, account},      {11, "0"},
      {12, kRebuildLabel}, {16, std::string(1, marker)}, {17, senseText}};
  if (withFrancs) line.push_back({18, AmountText14(francs)});
  if (withEuros) line.push_back({19, AmountText14(euros)});
  if (!AppendWith(c50, line)) return Balancing::Refused;

  c60.SetOrder("C60REC");
  const bool sorted = AppendWith(c60, {{1, "Z"}, {2, account}, {3, month}, {4, day}, {5, journal}, {9, "B"},
                                       {10, recno}, {11, piece}, {13, "0001"}, {14, "0001"}});
  c60.SetOrder("C60CODE");
  if (!sorted) return Balancing::Refused;

  // The accounts of these lines are general ones: no collective to move.
  Sums sums;
  sums.Add(sense, withFrancs ? ToCents(francs) : 0, withEuros ? ToCents(euros) : 0);
  MaintenanceProgress quiet;
  if (!FindOrCreateAccount(account, LoadStr(kLabelCreatedAccount)) || !AddTotals(*TableC20, 'A', 17, sums) ||
      !PostHeader(group, 'B', sums, quiet))
    return Balancing::Refused;
  return Balancing::Written;
}

std::string StampText() {
  const platform::LocalTime now = platform::GetLocalTime();
  char text[40];
  std::snprintf(text, sizeof text, LoadStr(kFormatStamp), now.day, now.month, now.year % 100, now.hour, now.minute);
  return text;
}

}  // namespace

bool TagOrder::operator()(const std::string& a, const std::string& b) const { return CompareWeighted(a, b) < 0; }

TotalsWriteFault RecomputeDossierTotals(const TotalsPlan& plan, MaintenanceProgress* progress) {
  MaintenanceProgress none;
  MaintenanceProgress& show = progress != nullptr ? *progress : none;
  Fault() = {};
  auto post = [&] {
    for (const char source : {'C', 'B'}) {
      show.SetLine(source == 'C' ? PathC40() : PathC50());
      show.RestartTicker();
      for (const auto& [group, totals] : plan.Headers(source))
        if (!plan.HeldMonth(group) && !PostHeader(group, source, SumsOf(totals), show)) return false;
      show.Tick("", true);
    }
    show.SetLine(PathC60());
    show.RestartTicker();
    for (const auto& [code, totals] : plan.Accounts())
      if (!PostAccount(code, SumsOf(totals), plan, show)) return false;
    for (const auto& [code, totals] : plan.Sections())
      if (!plan.HeldSection(code) && !PostSection(code, SumsOf(totals), show)) return false;
    show.Tick("", true);
    return true;
  };
  if (post()) {
    TableC60->SetOrder("C60CODE");
    TableC50->SetOrder("C50CODE");
  }
  return Fault();
}

void TotalsPlan::AddLine(char kind, char source, const std::string& month, const std::string& journal,
                         const std::string& code, char sense, long long francs, long long euros) {
  const bool debit = sense == 'D';
  if (kind == 'Z') {
    (source == 'C' ? closedHeaders_ : draftHeaders_)[month + journal].Add(debit, francs, euros);
    accounts_[PadRight(code, kAccountWidth)].Add(debit, francs, euros);
  } else if (kind == 'W' || kind == 'Y') {
    sections_[PadRight(code, kAccountWidth)].Add(debit, francs, euros);
  }
}

void TotalsPlan::HoldLine(char kind, const std::string& storedMonth, const std::string& month,
                          const std::string& journal, const std::string& code) {
  if (kind == 'Z') {
    heldMonths_.insert(month + journal);
    heldMonths_.insert(storedMonth + journal);
    heldAccounts_.insert(PadRight(code, kAccountWidth));
  } else if (kind == 'W' || kind == 'Y') {
    heldSections_.insert(PadRight(code, kAccountWidth));
  }
}

void TotalsPlan::FindCollectives(const std::map<char, std::string>& found) {
  // An auxiliary account's lines count again on the account that collects its letter (one the
  // totals make when the general file has no such collective), as PostAccount posts them.
  auto find = [&](const std::string& code) {
    if (code[0] < 'A' || code[0] > 'Z' || collectives_.count(code[0]) != 0) return;
    const auto f = found.find(code[0]);
    collectives_[code[0]] = f != found.end() ? f->second : MadeCollectiveAccount();
  };
  for (const auto& [code, totals] : accounts_) find(code);
  for (const std::string& code : heldAccounts_) find(code);
  for (const std::string& code : std::set<std::string>(heldAccounts_)) {
    const auto c = collectives_.find(code[0]);
    if (code[0] >= 'A' && code[0] <= 'Z' && c != collectives_.end() && !c->second.empty())
      heldAccounts_.insert(PadRight(c->second, kAccountWidth));
  }
}

bool TotalsPlan::HeldAccount(const std::string& code) const {
  return !heldAccounts_.empty() && heldAccounts_.count(PadRight(code, kAccountWidth)) != 0;
}
bool TotalsPlan::HeldSection(const std::string& code) const {
  return !heldSections_.empty() && heldSections_.count(PadRight(code, kAccountWidth)) != 0;
}
bool TotalsPlan::HeldMonth(const std::string& key) const {
  return !heldMonths_.empty() && heldMonths_.count(key.substr(0, 7)) != 0;
}

std::string TotalsPlan::TooLarge() const {
  std::map<std::string, TotalsCents> accounts(accounts_.begin(), accounts_.end());
  for (const auto& [code, totals] : accounts_) {
    const auto c = code[0] >= 'A' && code[0] <= 'Z' ? collectives_.find(code[0]) : collectives_.end();
    if (c != collectives_.end() && !c->second.empty()) accounts[PadRight(c->second, kAccountWidth)] += totals;
  }
  for (const auto& [code, totals] : accounts)
    if (std::string text = HeldAccount(code) ? "" : TooLargeText('A', code, totals); !text.empty()) return text;
  for (const auto& [code, totals] : sections_)
    if (std::string text = HeldSection(code) ? "" : TooLargeText('S', code, totals); !text.empty()) return text;
  for (const Sums* headers : {&closedHeaders_, &draftHeaders_})
    for (const auto& [code, totals] : *headers)
      if (std::string text = HeldMonth(code) ? "" : TooLargeText('H', code, totals); !text.empty()) return text;
  return "";
}

bool RebalancingAllowed(bool rebalance) { return rebalance || ConstantIs(27, 'O'); }

std::string BalanceCheck::Message() const {
  if (list.empty()) return "";
  if (draftFull) return LoadStr(kMsgDraftFullNotRebalanced) + list;
  if (rebalancing) return LoadStr(kMsgJournalsRebalanced) + list;
  return LoadStr(kMsgJournalsUnbalanced) + list;
}

BalanceCheck VerifyJournalBalances(bool rebalance, MaintenanceProgress* progress, const TotalsPlan* plan) {
  MaintenanceProgress none;
  MaintenanceProgress& show = progress != nullptr ? *progress : none;
  BalanceCheck result;
  Fault() = {};
  result.rebalancing = RebalancingAllowed(rebalance);
  show.SetLine(LoadStr(kLineBalanceCheck));
  show.SetLine2("");

  const bool francsMain = TheDossierRecord.At(DossierRecord::kEuroMainPos) == 'N';
  const bool euroOnly = DossierIsEuroOnly();
  const double parity = TheDossierRecord.Parity();
  const std::string roundingDebit = RoundingAccount(true);
  const std::string roundingCredit = RoundingAccount(false);

  const RefusalWatch reading;
  std::vector<HeaderGroup> groups = ReadHeaderGroups(show);
  // Sums read short of the lines would be balanced with lines that nothing needs: none is written.
  if (reading.ReadRefused()) {
    result.fault = {reading.RefusedFile(), reading.RefusedResult()};
    return result;
  }
  for (HeaderGroup& g : groups) {
    // A journal-month held for a line whose amount does not read keeps its totals, balanced or not.
    if (plan != nullptr && plan->HeldMonth(g.key)) continue;
    // The first check is the main currency's.
    for (int check = 0; check < 2; ++check) {
      const bool francs = (check == 0) == francsMain;
      if (francs && euroOnly) continue;
      long long& debit = francs ? g.sums.debitF : g.sums.debitE;
      long long& credit = francs ? g.sums.creditF : g.sums.creditE;
      const long long diff = debit - credit;
      if (diff == 0) continue;
      ++result.unbalanced;
      if (result.unbalanced <= 12) {
        result.list += "   - " + g.key.substr(4, 3) + g.key.substr(2, 2) + "/" + DecodeYear(g.key.substr(0, 2).c_str()) +
                       " " + BalanceAmount(diff) + (francs ? " Franc(s)\n" : " Euro(s)\n");
      } else if (result.unbalanced == 13) {
        result.list += LoadStr(kLineMoreJournals);
      }
      if (!result.rebalancing || result.draftFull || result.fault.failed()) continue;

      const char sense = diff > 0 ? 'C' : 'D';
      const long long amount = diff > 0 ? diff : -diff;
      if (check == 0) {
        // The main currency on the suspense account, with the other currency converted.
        // A rate outside its range converts nothing: the second check then
        // balances the other currency on its own.
        double converted = 0;
        const bool rated = francs ? FrancsToEuros(FromCents(amount), parity, converted)
                                  : EurosToFrancs(FromCents(amount), parity, converted);
        const long long other = rated ? ToCents(converted) : 0;
        const long long f = francs ? amount : other, e = francs ? other : amount;
        const Balancing written = WriteBalancingLine(g.key, kSuspenseAccount, sense, FromCents(f), true,
                                                     FromCents(e), true, francsMain ? 'N' : 'O');
        if (written != Balancing::Written) {
          if (written == Balancing::DraftFull) result.draftFull = true;
          else result.fault = Fault();
          continue;
        }
        if (sense == 'C') {
          g.sums.creditF += f;
          g.sums.creditE += e;
        } else {
          g.sums.debitF += f;
          g.sums.debitE += e;
        }
      } else {
        const long long firstDiff = francs ? g.sums.debitE - g.sums.creditE : g.sums.debitF - g.sums.creditF;
        const std::string account =
            firstDiff != 0 ? std::string(kSuspenseAccount) : (diff > 0 ? roundingCredit : roundingDebit);
        const Balancing written = WriteBalancingLine(g.key, account, sense, FromCents(amount), francs,
                                                     FromCents(amount), !francs, francsMain ? 'o' : 'n');
        if (written != Balancing::Written) {
          if (written == Balancing::DraftFull) result.draftFull = true;
          else result.fault = Fault();
          continue;
        }
        (sense == 'C' ? credit : debit) += amount;
      }
      ++result.linesWritten;
    }
  }

  if (!result.list.empty() && !result.fault.failed()) {
    Table& c20 = *TableC20;
    const Lookup suspense = c20.Find("C20CODE", kSuspenseAccount);
    if (suspense.IsRefused()) {
      Refused(c20);
      result.fault = Fault();
    }
    if (suspense.IsFound()) {
      c20.BeginRewrite();
      c20.PutField(2, kRebuildLabel);
      c20.PutField(3, StampText().c_str());
      c20.PutField(26, "O");
      if (!Checked(c20, c20.EndRewrite(true))) result.fault = Fault();
    }
    if (result.rebalancing) StoreSessionCode(kSuspenseAccount);
  }
  return result;
}
