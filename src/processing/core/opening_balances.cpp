#include "processing/core/opening_balances.h"

#include <utility>
#include <algorithm>
#include <array>
#include <cstdlib>
#include <map>
#include <memory>

#include "data/account_totals.h"
#include "data/aside_copies.h"
#include "data/collective_account.h"
#include "data/dossier_files.h"
#include "data/dossier_lock.h"
#include "data/draft_lines.h"
#include "data/entry_lines.h"
#include "data/error_report.h"
#include "data/record_fields.h"
#include "data/session.h"
#include "data/table.h"
#include "data/table_copy.h"
#include "data/table_structures.h"
#include "data/unread_amounts.h"
#include "dossier/core/dossier_run_marker.h"
#include "dossier/core/dossier_run_marker_copies.h"
#include "posting/journal_month.h"
#include "posting/new_lines.h"
#include "platform/system/clock.h"
#include "platform/system/files.h"
#include "processing/core/matching_lines.h"
#include "resources/string_table.h"
#include "runtime/numbers.h"
#include "runtime/text.h"
#include "runtime/xbase.h"

namespace processing {

namespace {

using L = LigneEcriture;
using T = LigneTri;

// C20: the year's totals (debit francs, debit euros, credit francs, credit euros), the previous
// year's in the same order, and the two budget figures.
constexpr int kYearDebitF = 17, kYearDebitE = 18, kYearCreditF = 19, kYearCreditE = 20;
constexpr int kPreviousFirst = 21;
constexpr int kBudget1 = 28, kBudget2 = 29;

const char* const kJournal = "AN ";
// The refusal of a trial balance that cannot be carried: auxiliary accounts without a collective,
// the balance off in francs, or in euros.
constexpr int kMsgWithoutCollective = 29042, kMsgUnbalancedFrancs = 29040, kMsgUnbalancedEuros = 29041;
// The end message: the run done (the target named), or the error that stopped it (its code).
constexpr int kMsgOpeningDone = 29062, kMsgOpeningError = 29063;
// The end of a run that failed: the target put back, or left for its next opening to put back.
constexpr int kDossierPutBack = 29256;
constexpr int kDossierLeftForTheOpening = 29257;
// The other texts of the check, the run and its end, by their ids in the string table.
constexpr int kMsgLettersUnbalancedFrancs = 29043;  // the account, its balance
constexpr int kMsgLettersUnbalancedEuros = 29044;
constexpr int kMsgNoCode = 29051;
constexpr int kMsgBadCharacter = 29052;             // the character
constexpr int kMsgDossierOpen = 29053;              // the dossier's code, and so on below
constexpr int kMsgNoDossier = 29054;
constexpr int kMsgBadDossier = 29055;
constexpr int kMsgNotConverted = 29056;
constexpr int kTextYear = 29057;                    // "Exercice du %s au %s"
constexpr int kMsgBadFirstDate = 29059;
constexpr int kTitleOpeningRun = 29060;             // the run as its marker names it
constexpr int kPhaseGeneral = 29079;
constexpr int kPhaseAuxiliary = 29080;
constexpr int kLabelOpening = 29046;                // the labels of the lines written
constexpr int kLabelReconciled = 29047;
constexpr int kLabelResult = 29048;
constexpr int kTextJournalName = 29049;
constexpr int kMsgRebuildFailed = 23302;            // the error code
constexpr int kMsgRebuildFailedWhy = 36602;         // the reason
constexpr int kLogDone = 29061;                     // the target's code and folder, the date
constexpr int kLogFailed = 32619;                   // the error code, then as kLogDone
constexpr int kMsgLineTooLarge = 36540;  // the account, the most a line takes, the amount, its currency
constexpr int kWordFrancs = 36503, kWordEuros = 36504;

bool IsLetter(char c) { return c >= 'A' && c <= 'Z'; }
bool IsResultClass(char c) { return c >= '6' && c <= '9'; }

const char* Text(int id) { return LoadStr(id); }

// An amount of the current record as the reports read it; one that does not read counts as zero
// and clears `readable`.
long long Cents(Table& t, int field, bool& readable) { return StoredAmountOf(t, field, &readable); }

// The four year totals of the current account of C20: debit francs, debit euros, credit francs,
// credit euros. One that does not read counts as zero, the account added to `unreadable` (and noted
// in the run's watch, which refuses the run).
std::array<long long, 4> YearTotals(Table& c20, std::vector<UnreadableAmountLine>* unreadable) {
  bool readable = true;
  const std::array<long long, 4> t{Cents(c20, kYearDebitF, readable), Cents(c20, kYearDebitE, readable),
                                   Cents(c20, kYearCreditF, readable), Cents(c20, kYearCreditE, readable)};
  if (!readable && unreadable != nullptr)
    unreadable->push_back({UnreadableAmountLine::kAccountRecord, c20.recordNumber, "", c20.GetField(1)});
  return t;
}

bool IsCollectiveAccount(const std::vector<Collective>& collectives, const std::string& account) {
  return std::any_of(collectives.begin(), collectives.end(),
                     [&](const Collective& c) { return c.account == account; });
}

// The run's identity swap: the target made the program's dossier for as long as the object lives.
class TargetIdentity {
 public:
  TargetIdentity(const OtherDossier& target, const DossierRecord& record)
      : folder_(DossierFolder), code_(DossierCode), record_(TheDossierRecord) {
    SetDossier(target.folder, target.code);
    TheDossierRecord = record;
  }
  ~TargetIdentity() {
    SetDossier(folder_, code_);
    TheDossierRecord = record_;
  }
  TargetIdentity(const TargetIdentity&) = delete;
  TargetIdentity& operator=(const TargetIdentity&) = delete;

 private:
  std::string folder_, code_;
  DossierRecord record_;
};

// One line of the opening piece.
struct OpeningLine {
  std::string account, labelCode = "0", label, label2, label3, due;
  char sense = 'D';
  long long francs = 0, euros = 0;
};

// The sense of a balance line: credit with both amounts negated when either is below 0.
OpeningLine BalanceLine(const std::string& account, const std::string& label, long long francs, long long euros) {
  OpeningLine line;
  line.account = account;
  line.label = label;
  if (francs < 0 || euros < 0) {
    line.sense = 'C';
    francs = -francs;
    euros = -euros;
  }
  line.francs = francs;
  line.euros = euros;
  return line;
}

// The source line of the current sort record as a detail line; false when it cannot be reached.
// A line whose amount does not read is noted in the run's watch, which refuses the run.
bool DetailLine(const MatchTables& t, OpeningLine* out) {
  const SourceLine s = ReadSource(t, 1);
  if (s.table == nullptr) return false;
  Table& src = *s.table;
  if (s.draft) {
    out->account = src.GetField(L::BCODE);
    out->labelCode = src.GetField(L::BCLIB);
    out->label = src.GetField(L::BLIB);
    out->label2.clear();
    out->label3.clear();
    out->due = src.GetField(L::BECHEANCE);
    out->sense = src.GetField(L::BSENS)[0];
    out->francs = StoredAmountOf(src, L::BMONTANTF);
    out->euros = StoredAmountOf(src, L::BMONTANTE);
  } else {
    out->account = src.GetField(L::DCODE);
    out->labelCode = src.GetField(L::DCLIB);
    out->label = src.GetField(L::DLIB);
    out->label2 = src.GetField(L::DLIB2);
    out->label3 = src.GetField(L::DLIB3);
    out->due = src.GetField(L::DECHEANCE);
    out->sense = src.GetField(L::DSENS)[0];
    out->francs = StoredAmountOf(src, L::DMONTANTF);
    out->euros = StoredAmountOf(src, L::DMONTANTE);
  }
  return true;
}

long long Signed(const OpeningLine& line, long long amount) { return line.sense == 'D' ? amount : -amount; }

// The letter of the main currency of the current sort record, trimmed.
std::string SortLetter(Table& c60, int currency) { return Trimmed(c60.GetField(T::TLET + currency)); }

// The work of the run on tables of its own; 0 or the error code.
class OpeningWork {
 public:
  OpeningWork(const OpeningRequest& request, const std::vector<Collective>& collectives,
              const TrialBalance& balance, OpeningResult& result, void (*step)(const std::string&),
              void (*phase)(const std::string&), const RefusalWatch& refusal)
      : request_(request),
        collectives_(collectives),
        balance_(balance),
        r_(result),
        step_(step),
        phase_(phase),
        refusal_(refusal) {}

  // Paths of the source taken before the identity swap.
  void SetSource(const std::string& c20, const std::string& c40, const std::string& c50, const std::string& c60,
                 int currency) {
    source20_ = c20;
    source40_ = c40;
    source50_ = c50;
    source60_ = c60;
    currency_ = currency;
  }

  // Reads the source and builds the lines and accounts to write (nothing written yet).
  int Prepare() {
    if (!c20_.OpenShared(source20_, "C20CODE", true)) return Fail(kOpeningOpen + 2, source20_);
    if (!c40_.OpenShared(source40_, "C40CODE", true)) return Fail(kOpeningOpen + 4, source40_);
    if (!c50_.OpenShared(source50_, L::kCodeTag, true)) return Fail(kOpeningOpen + 5, source50_);
    if (!c60_.OpenShared(source60_, kC60CodeTag, true)) return Fail(kOpeningOpen + 6, source60_);
    const MatchTables t{c40_, c50_, c60_};
    if (phase_) phase_(Text(kPhaseGeneral));
    for (bool more = c20_.GoTop("C20CODE"); more; more = c20_.Skip(1)) {
      const Lookup live = LiveOrSaid(c20_);
      if (live.IsRefused()) return Fail(kOpeningOpen + 2, source20_, live.result());
      if (live.IsNotFound()) continue;
      const std::string code = PadRight(c20_.GetField(1), kAccountWidth);
      const std::array<long long, 4> year = YearTotals(c20_, nullptr);
      if (IsLetter(code[0])) {
        if (year[0] != 0 || year[1] != 0 || year[2] != 0 || year[3] != 0) accounts_.push_back(c20_.recordNumber);
        continue;
      }
      accounts_.push_back(c20_.recordNumber);
      if (IsCollectiveAccount(collectives_, code) || IsResultClass(code[0])) continue;
      const long long francs = year[0] - year[2];
      const long long euros = year[1] - year[3];
      if (francs == 0 && euros == 0) continue;
      if (request_.detailUnreconciled &&
          request_.bankPrefixes.find("-" + code.substr(0, 3) + "-") != std::string::npos) {
        long long sumF = 0, sumE = 0;
        // Its lines not read are no lines: the run stops rather than carry the balance whole.
        const Lookup lines = c60_.FindNotBelow(kC60CodeTag, code.c_str());
        if (lines.IsRefused()) return Fail(kOpeningOpen + 6, source60_, lines.result());
        for (bool found = lines.IsFound(); found && AccountOf(c60_) == code;
             found = c60_.Skip(1)) {
          const Lookup live = LiveOrSaid(c60_);
          if (live.IsRefused()) return Fail(kOpeningOpen + 6, source60_, live.result());
          if (live.IsNotFound() || !SortLetter(c60_, currency_).empty()) continue;
          OpeningLine line;
          if (!DetailLine(t, &line)) continue;
          sumF += Signed(line, line.francs);
          sumE += Signed(line, line.euros);
          lines_.push_back(line);
        }
        if (francs - sumF != 0 || euros - sumE != 0)
          lines_.push_back(BalanceLine(code, Text(kLabelReconciled), francs - sumF, euros - sumE));
      } else {
        lines_.push_back(BalanceLine(code, Text(kLabelOpening), francs, euros));
      }
    }
    if (phase_) phase_(Text(kPhaseAuxiliary));
    for (const Collective& collective : collectives_) {
      if (IsResultClass(collective.account[0])) continue;
      const std::string letter(1, collective.letter);
      std::string account;
      // The account's balance from its lines, and the part of it carried line by line.
      long long sumF = 0, sumE = 0, carriedF = 0, carriedE = 0;
      auto finish = [&] {
        // Lines matched under letters that do not balance leave a rest: a residual line carries it.
        const long long restF = sumF - carriedF, restE = sumE - carriedE;
        if (!account.empty() && (restF != 0 || restE != 0))
          lines_.push_back(
              BalanceLine(account, Text(request_.detailUnmatched ? kLabelReconciled : kLabelOpening), restF, restE));
        sumF = sumE = carriedF = carriedE = 0;
      };
      const Lookup lines = c60_.FindNotBelow(kC60CodeTag, letter.c_str());
      if (lines.IsRefused()) return Fail(kOpeningOpen + 6, source60_, lines.result());
      for (bool found = lines.IsFound(); found && c60_.GetField(T::TCODE)[0] == collective.letter;
           found = c60_.Skip(1)) {
        const Lookup live = LiveOrSaid(c60_);
        if (live.IsRefused()) return Fail(kOpeningOpen + 6, source60_, live.result());
        if (live.IsNotFound()) continue;
        const std::string code = AccountOf(c60_);
        if (code != account) {
          finish();
          account = code;
        }
        OpeningLine line;
        if (!DetailLine(t, &line)) continue;
        sumF += Signed(line, line.francs);
        sumE += Signed(line, line.euros);
        if (request_.detailUnmatched && SortLetter(c60_, currency_).empty()) {
          carriedF += Signed(line, line.francs);
          carriedE += Signed(line, line.euros);
          lines_.push_back(line);
        }
      }
      finish();
    }
    // The year's result: a profit on 12000000, a loss on 12900000.
    if (balance_.resultFrancs != 0 || balance_.resultEuros != 0) {
      const bool profit = balance_.resultFrancs < 0 || balance_.resultEuros < 0;
      lines_.push_back(BalanceLine(profit ? "12000000" : "12900000", Text(kLabelResult), balance_.resultFrancs,
                                   balance_.resultEuros));
    }
    c40_.CloseTable(true);
    c50_.CloseTable(true);
    c60_.CloseTable(true);
    return 0;
  }

  long LineCount() const { return static_cast<long>(lines_.size()); }

  // The first line of the piece whose amount is past what a line takes (an account's balance, or
  // the year's result, a sum of many accounts, may pass it), named; "" when every one fits.
  std::string LinePastItsField() const {
    for (const OpeningLine& line : lines_)
      for (int c = 0; c < 2; ++c) {
        const long long cents = c == 0 ? line.francs : line.euros;
        if (cents >= kSmallestTotalCents && cents <= LargestLineCents(c == 1)) continue;
        return FillPlaceholders(Text(kMsgLineTooLarge), {Trimmed(line.account), GroupedAmountText(LargestLineCents(c == 1)),
                                                         GroupedAmountText(cents), Text(c == 0 ? kWordFrancs : kWordEuros)});
      }
    return "";
  }

  // Writes into the target (the program's dossier now); the target's tables exclusively.
  int Write(const std::string& storedDate) {
    Table c10, t20, c50;
    if (!c10.OpenExclusive(PathC10(), "C10CODE")) return Fail(kOpeningOpen + 1, PathC10());
    if (!t20.OpenExclusive(PathC20(), "C20CODE")) return Fail(kOpeningOpen + 12, PathC20());
    if (!c50.OpenExclusive(PathC50(), L::kCodeTag)) return Fail(kOpeningOpen + 15, PathC50());
    // Journal "AN" appended when missing.
    // A record not read is no record missing: never made twice.
    const Lookup journal = posting::FindC10(c10, 'J', kJournal);
    if (journal.IsRefused()) return Fail(kOpeningWrite, PathC10(), journal.result());
    if (journal.IsNotFound()) {
      if (!c10.AppendBlank()) return Fail(kOpeningWrite, PathC10(), c10.result);
      c10.PutField(1, "J");
      c10.PutField(2, kJournal);
      c10.PutField(3, Text(kTextJournalName));
      c10.PutField(4, "O        0");
      if (!c10.InsertRecord()) return Fail(kOpeningWrite, PathC10(), c10.result);
    }
    // The collective accounts of the auxiliary accounts carried: a letter the target lacks takes the open
    // dossier's, or the rebuild would total its accounts on a collective account of its own making.
    for (const Collective& collective : collectives_) {
      const std::string letter(1, collective.letter);
      const Lookup own = posting::FindC10(c10, 'B', letter);
      if (own.IsRefused()) return Fail(kOpeningWrite, PathC10(), own.result());
      if (own.IsFound()) continue;
      // Its name from the open dossier: one not read makes no collective without a name.
      const Lookup named = c20_.Find("C20CODE", collective.account.c_str());
      if (named.IsRefused()) return Fail(kOpeningOpen + 2, source20_, named.result());
      const std::string name = named.IsFound() ? c20_.GetField(2) : "";
      if (!c10.AppendBlank()) return Fail(kOpeningWrite, PathC10(), c10.result);
      c10.PutField(1, "B");
      c10.PutField(2, letter.c_str());
      c10.PutField(3, name.c_str());
      c10.PutField(4, collective.account.c_str());
      if (!c10.InsertRecord()) return Fail(kOpeningWrite, PathC10(), c10.result);
    }
    // The piece number as a new piece of journal "AN" takes it.
    const posting::PieceNumber piece = posting::TakePieceNumber(c10, kJournal);
    if (piece.outcome != posting::NewLineOutcome::Created) return Fail(kOpeningPiece, PathC10(), c10.result);
    r_.piece = piece.number;
    // The previous-year columns start from nothing in every account of the target.
    for (bool more = t20.GoTop("C20CODE"); more; more = t20.Skip(1)) {
      const Lookup live = LiveOrSaid(t20);
      if (live.IsRefused()) return Fail(kOpeningWrite + 2, PathC20(), live.result());
      if (live.IsNotFound()) continue;
      bool zeroed = true;
      for (int f = kPreviousFirst; f < kPreviousFirst + 4; ++f) zeroed = zeroed && t20.PutFieldNum(f, 0.0);
      if (!zeroed || !t20.Commit()) return Fail(kOpeningWrite + 2, PathC20(), t20.result);
    }
    const FieldMap accountFields(c20_, t20, 1, FieldMap::Numbers::AsText);
    for (std::uint32_t recno : accounts_) {
      const Lookup source = c20_.GoToRecord(static_cast<long>(recno));
      if (!source.IsFound()) return Fail(kOpeningOpen + 2, source20_, source.result());
      const std::string code = c20_.GetField(1);
      if (step_) step_(code);
      // An account not read is no account missing: never made twice.
      const Lookup there = t20.Find("C20CODE", code.c_str());
      if (there.IsRefused()) return Fail(kOpeningWrite + 2, PathC20(), there.result());
      if (there.IsFound()) {
        const Lookup live = LiveOrSaid(t20);
        if (live.IsRefused()) return Fail(kOpeningWrite + 2, PathC20(), live.result());
        if (live.IsNotFound() && !t20.RecallRecord(code.c_str(), 0)) return Fail(kOpeningWrite + 2, PathC20(), t20.result);
      } else {
        if (!t20.AppendBlank()) return Fail(kOpeningWrite + 2, PathC20(), t20.result);
        t20.PutField(1, code.c_str());
      }
      if (!CopyRecord(accountFields, c20_, t20)) return Fail(kOpeningWrite + 2, PathC20(), t20.result);
      bool copied = CopyNumberField(c20_, kBudget1, t20, kBudget1) && CopyNumberField(c20_, kBudget2, t20, kBudget2);
      for (int f = 0; f < 4; ++f) copied = copied && CopyNumberField(c20_, kYearDebitF + f, t20, kPreviousFirst + f);
      if (!copied) return Fail(kOpeningWrite + 2, PathC20(), t20.result);
      if (!(t20.appending ? t20.InsertRecord() : t20.Commit())) return Fail(kOpeningWrite + 2, PathC20(), t20.result);
      ++r_.accounts;
    }
    const std::string month = storedDate.substr(0, 4), day = storedDate.substr(4, 2);
    const std::string pieceText = StrZero(piece.number, 0);
    const char* flag = TheDossierRecord.EuroIsMain() ? "O" : "N";
    for (const OpeningLine& line : lines_) {
      const std::string group = StrZero(static_cast<long>(c50.RecCount()) + 1, 0);
      if (!c50.AppendBlank()) return Fail(kOpeningWrite + 5, PathC50(), c50.result);
      c50.PutField(L::BCLE, "Z");
      c50.PutField(L::BMOIS, month.c_str());
      c50.PutField(L::BJAL, kJournal);
      c50.PutField(L::BPIECE, pieceText.c_str());
      c50.PutField(L::BREC, group.c_str());
      c50.PutField(L::BNUM, "0001");
      c50.PutField(L::BNUMA, "0001");
      c50.PutField(L::BJOUR, day.c_str());
      c50.PutField(L::BCODE, line.account.c_str());
      c50.PutField(L::BCLIB, line.labelCode.c_str());
      c50.PutField(L::BLIB, line.label.c_str());
      c50.PutField(L::BLIB2, line.label2.c_str());
      c50.PutField(L::BLIB3, line.label3.c_str());
      c50.PutField(L::BECHEANCE, line.due.c_str());
      c50.PutField(L::BEURO, flag);
      c50.PutField(L::BSENS, std::string(1, line.sense).c_str());
      c50.PutFieldNum(L::BMONTANTF, FromCents(line.francs));
      c50.PutFieldNum(L::BMONTANTE, FromCents(line.euros));
      if (!c50.InsertRecord()) return Fail(kOpeningWrite + 5, PathC50(), c50.result);
      ++r_.lines;
    }
    c20_.CloseTable(true);
    if (!c50.Commit()) return Fail(kOpeningWrite + 5, PathC50(), c50.result);
    if (!t20.Commit()) return Fail(kOpeningWrite + 2, PathC20(), t20.result);
    if (!c10.Commit()) return Fail(kOpeningWrite, PathC10(), c10.result);
    return 0;
  }

 private:
  // The run stopped on `what`; `engineResult`, the engine's code, says when the disk is full. The
  // write the system refused first is named instead, whatever the tables' results say since.
  int Fail(int code, const std::string& what, int engineResult = 0) {
    r_.error = refusal_.Reason(code, what, engineResult);
    c20_.CloseTable(true);
    c40_.CloseTable(true);
    c50_.CloseTable(true);
    c60_.CloseTable(true);
    return code;
  }

  const OpeningRequest& request_;
  const std::vector<Collective>& collectives_;
  const TrialBalance& balance_;
  OpeningResult& r_;
  void (*step_)(const std::string&);
  void (*phase_)(const std::string&);
  const RefusalWatch& refusal_;
  std::string source20_, source40_, source50_, source60_;
  int currency_ = 1;
  Table c20_, c40_, c50_, c60_;
  std::vector<std::uint32_t> accounts_;
  std::vector<OpeningLine> lines_;
};

std::string TwoDigits(int n) { return StrZero(n, 2); }

}  // namespace

std::vector<Collective> ReadCollectives(Table& c10) {
  std::vector<Collective> out;
  for (const auto& [letter, account] : CollectiveAccounts(c10))
    if (!account.empty()) out.push_back(Collective{letter, account});
  return out;
}

std::string CollectiveOf(const std::vector<Collective>& collectives, char letter) {
  for (const Collective& c : collectives)
    if (c.letter == letter) return c.account;
  return {};
}

TrialBalance ComputeTrialBalance(Table& c20, const std::vector<Collective>& collectives) {
  TrialBalance b;
  // A read the disk refuses ends the walk short (a step, a mark): the balance is refused, naming the file,
  // never taken for one that balances. Its engine box is held back: the refusal says it.
  const RefusalWatch reading(RefusalWatch::EngineBoxes::kHeld);
  const auto unread = [&] {
    if (b.unreadFile.empty() && reading.ReadRefused()) {
      b.unreadFile = reading.RefusedFile();
      b.unreadResult = reading.RefusedResult();
    }
  };

  for (bool more = c20.GoTop("C20CODE"); more; more = c20.Skip(1)) {
    const Lookup live = c20.LiveHere();
    if (live.IsRefused()) {
      b.unreadFile = c20.tablePath;
      b.unreadResult = live.result();
      break;
    }
    if (live.IsNotFound()) continue;
    const std::string code = PadRight(c20.GetField(1), kAccountWidth);
    const std::array<long long, 4> year = YearTotals(c20, &b.unreadable);
    const long long francs = year[0] - year[2];
    const long long euros = year[1] - year[3];
    char accountClass = code[0];
    if (IsLetter(code[0])) {
      const std::string collective = CollectiveOf(collectives, code[0]);
      if (collective.empty()) {
        if (francs != 0 || euros != 0) b.orphans.push_back(RTrim(code.c_str()));
        continue;
      }
      accountClass = collective[0];
    } else if (IsCollectiveAccount(collectives, code)) {
      continue;
    }
    b.francs += francs;
    b.euros += euros;
    if (IsResultClass(accountClass)) {
      b.resultFrancs += francs;
      b.resultEuros += euros;
    }
  }
  unread();
  return b;
}

std::string TrialBalanceRefusal(const TrialBalance& b, bool euroOnly) {
  if (!b.unreadFile.empty()) return UnreadText(b.unreadFile, b.unreadResult);
  std::string refusal;
  if (!b.orphans.empty()) {
    std::string names;
    for (const std::string& o : b.orphans) names += (names.empty() ? "" : ", ") + o;
    refusal = FillPlaceholder(Text(kMsgWithoutCollective), names);
  } else if (!euroOnly && b.francs != 0) {
    refusal = FillPlaceholder(Text(kMsgUnbalancedFrancs), Trimmed(BalanceAmount(b.francs < 0 ? -b.francs : b.francs)));
  } else if (b.euros != 0) {
    refusal = FillPlaceholder(Text(kMsgUnbalancedEuros), Trimmed(BalanceAmount(b.euros < 0 ? -b.euros : b.euros)));
  }
  return refusal.empty() ? refusal : refusal + UnreadableAmountsMessage(b.unreadable);
}

std::string CheckLetterBalances(Table& c40, Table& c50, Table& c60, const std::vector<Collective>& collectives,
                                int currency) {
  const MatchTables t{c40, c50, c60};
  for (const Collective& collective : collectives) {
    const std::string letter(1, collective.letter);
    std::string account;
    long long sum = 0;
    // Lines not read are no balanced letters: said, the run not made.
    const Lookup first = c60.FindNotBelow(kC60CodeTag, letter.c_str());
    if (first.IsRefused()) return UnreadText(c60.tablePath, first.result());
    for (bool found = first.IsFound(); true; found = c60.Skip(1)) {
      const bool inside = found && c60.GetField(T::TCODE)[0] == collective.letter;
      const std::string code = inside ? AccountOf(c60) : std::string();
      if (code != account) {
        if (sum != 0)
          return FillPlaceholders(Text(currency == 0 ? kMsgLettersUnbalancedFrancs : kMsgLettersUnbalancedEuros),
                                  {RTrim(account.c_str()), Trimmed(BalanceAmount(sum < 0 ? -sum : sum))});
        account = code;
        sum = 0;
      }
      if (!inside) break;
      // A cancel mark not read is no line cancelled: said, as lines not read.
      const Lookup live = c60.LiveHere();
      if (live.IsRefused()) return UnreadText(c60.tablePath, live.result());
      if (live.IsNotFound() || SortLetter(c60, currency).empty()) continue;
      const SourceLine s = ReadSource(t, currency);
      if (s.refused) return UnreadText((s.draft ? c50 : c40).tablePath, 0);
      if (s.table != nullptr) sum += s.cents;
    }
  }
  return {};
}

TargetCheck CheckOpeningTarget(const OtherDossier& target, const Ymd& date) {
  TargetCheck c;
  const std::string code = AllTrim(target.code.c_str());
  c.beep = true;
  if (code.empty()) {
    c.first = Text(kMsgNoCode);
    return c;
  }
  for (char ch : code) {
    if (!(ch >= '0' && ch <= '9') && ch != '-' && !IsLetter(ch)) {
      c.first = FillPlaceholder(Text(kMsgBadCharacter), std::string(1, ch));
      return c;
    }
  }
  if (IsOpenDossier(target)) {
    c.first = FillPlaceholder(Text(kMsgDossierOpen), AllTrim(DossierCode.c_str()));
    return c;
  }
  const std::string c10Path = OtherPathC10(target);
  if (!platform::FileExists(platform::ResolvePath(c10Path + ".dbf"))) {
    c.first = FillPlaceholder(Text(kMsgNoDossier), code);
    return c;
  }
  Table c10;
  const Lookup dossier = c10.OpenShared(c10Path, "C10CODE", true) ? posting::FindC10(c10, '0', "") : Lookup::NotFound();
  // The target's record not read is said with its file, never as a dossier unknown.
  if (dossier.IsRefused()) {
    c.first = UnreadText(c10.tablePath, dossier.result());
    return c;
  }
  if (dossier.IsNotFound()) {
    c.beep = false;
    c.first = "???";
    return c;
  }
  if (PadRight(c10.FieldName(c10.FieldCount()), 10) != PadRight(std::string(kC10FormatStamp), 10)) {
    c.first = FillPlaceholder(Text(kMsgBadDossier), code);
    c.second = Text(kMsgNotConverted);
    return c;
  }
  DossierRecord::C10Texts texts;
  texts.record0Field3 = c10.GetField(3);
  texts.record0Field4 = c10.GetField(4);
  texts.record0Field5 = c10.GetField(5);
  c.record.LoadFromC10(texts);
  c10.CloseTable(true);
  using F = DossierRecord::DateField;
  c.first = code + ": " + RTrim(c.record.Name().c_str());
  c.second = FillPlaceholders(Text(kTextYear), {c.record.DateDisplay(F::YearStart), c.record.DateDisplay(F::YearEnd)});
  if (c.record.DateStored(F::YearStart) != StoredDateOf(date)) {
    c.first = FillPlaceholder(Text(kMsgBadFirstDate), code);
    c.clearCode = true;
    return c;
  }
  c.ok = true;
  c.beep = false;
  return c;
}

OpeningResult GenerateOpeningBalances(const OpeningRequest& request, const std::vector<Collective>& collectives,
                                      const TrialBalance& balance, const TargetMaintenance& maintenance,
                                      void (*step)(const std::string&), void (*phase)(const std::string&)) {
  OpeningResult r;
  // Every amount the run reads is watched from its first read: its marker refuses it, before the
  // first write, when one did not read.
  BooksReading reading;
  const int currency = TheDossierRecord.EuroIsMain() ? 1 : 0;
  // The run says its own failure, in one box: the engine's boxes are held back meanwhile.
  RefusalWatch refusal(RefusalWatch::EngineBoxes::kHeld);
  OpeningWork work(request, collectives, balance, r, step, phase, refusal);
  work.SetSource(PathC20(), PathC40(), PathC50(), PathC60(), currency);
  // The target held from its check to the end of its rebuild.
  const OtherDossier& target = request.target;
  DossierHold hold(target.folder, target.code);
  if (!hold.held()) {
    r.busy = true;
    r.code = kOpeningRefused;
    r.error = OtherDossierBusyText();
    return r;
  }
  // A read the system refused leaves what was read short of the tables: the run stops there.
  const auto readShort = [&] {
    if (!refusal.ReadRefused()) return false;
    r.code = kOpeningRead;
    r.error = refusal.Reason(kOpeningRead, "", 0);
    return true;
  };
  const TargetCheck check = CheckOpeningTarget(target, request.date);
  if (readShort()) return r;
  if (!check.ok) {
    r.code = kOpeningRefused;
    r.error = check.first;
    return r;
  }
  if (const int code = work.Prepare()) {
    r.code = code;
    return r;
  }
  if (readShort()) return r;
  // A line whose amount its field cannot hold is refused by name before anything is written.
  r.error = work.LinePastItsField();
  if (!r.error.empty()) {
    r.code = kOpeningRefused;
    return r;
  }
  TargetIdentity identity(target, check.record);
  // What the rebuild would refuse, refused before anything is written.
  {
    const std::string refused = maintenance.refusal ? maintenance.refusal() : std::string();
    if (!refused.empty()) {
      r.code = kOpeningRefused;
      r.error = refused;
      return r;
    }
    Table c50;
    if (!c50.OpenShared(PathC50(), "", true)) {
      r.code = kOpeningOpen + 15;
      // A read the disk refused is said in words, the file with it.
      r.error = refusal.Reason(r.code, PathC50(), c50.result);
      return r;
    }
    const long records = static_cast<long>(c50.RecCount());
    const std::string file = c50.tablePath;
    c50.CloseTable(true);
    if (readShort()) return r;
    if (records + work.LineCount() > kMaxLineRecords) {
      r.code = kOpeningRefused;
      r.error = TooManyLinesMessage(file);
      return r;
    }
  }
  // Copies aside of the target's tables, then its marker: until then nothing has changed.
  const platform::LocalTime now = platform::GetLocalTime();
  const std::string code = AllTrim(target.code.c_str());
  const std::string name = "san-" + LowerAscii(code) + "-" + std::to_string(now.year) + TwoDigits(now.month) +
                           TwoDigits(now.day) + "-" + TwoDigits(now.hour) + TwoDigits(now.minute) +
                           TwoDigits(now.second) + "/";
  std::vector<std::string> bases;
  for (TableKind kind : {TableKind::C10, TableKind::C20, TableKind::C30, TableKind::C40, TableKind::C50,
                         TableKind::C60, TableKind::C70})
    bases.push_back(TableBaseName(kind, code));
  AsideCopies copies;
  std::string why;
  if (!MakeAsideCopies(DossierFolder, name, bases, &copies, &why)) {
    r.code = kOpeningCopies;
    r.error = why;
    r.putBack = true;  // nothing of the dossier was changed: it is as it was
    return r;
  }
  auto marker =
      std::make_unique<DossierRunMarker>(std::move(reading), kOpeningRun, Text(kTitleOpeningRun), copies.Detail());
  if (!marker->written()) {
    RemoveAsideCopies(DossierFolder, copies);
    r.code = kOpeningMarker;
    r.error = DossierRunMarkerRefusal(marker->path());
    r.putBack = true;
    return r;
  }
  int failure = work.Write(StoredDateOf(request.date));
  if (failure == 0) {
    CloseAllTables();
    failure = maintenance.rebuild ? maintenance.rebuild() : 0;
    if (failure != 0) r.error = RebuildFailureText(maintenance, failure, &refusal);
  }
  // What was written rests on every table read whole: a read refused on the way fails the run.
  if (failure == 0 && readShort()) failure = r.code;
  if (failure != 0) {
    r.code = failure;
    CloseAllTables();
    std::string putBackError;
    r.putBack = PutBackAsideCopies(DossierFolder, copies, &putBackError);
    r.putBackFailed = !r.putBack;
    if (!r.putBack) marker->Keep();
    return r;
  }
  // The marker goes before the copies (copies left alone are offered for removal). A marker that
  // cannot go would have the next opening put back a run that went to its end: the run is put back
  // now instead, and says so (the marker's removal is tried again once the tables are back).
  if (!marker->Remove()) {
    r.code = kOpeningMarker;
    r.error = DossierRunMarkerRemovalRefusal(marker->path());
    CloseAllTables();
    std::string putBackError;
    r.putBack = PutBackAsideCopies(DossierFolder, copies, &putBackError);
    r.putBackFailed = !r.putBack;
    if (!r.putBack) marker->Keep();
    return r;
  }
  marker.reset();
  RemoveAsideCopies(DossierFolder, copies);
  return r;
}

std::string RebuildFailureText(const TargetMaintenance& maintenance, int code, const RefusalWatch* refusal) {
  std::string refused = maintenance.rebuildRefusal ? maintenance.rebuildRefusal() : std::string();
  // The rebuild named no write: the first one the system refused, when there was one.
  if (refused.empty() && refusal != nullptr && refusal->HasReason()) refused = refusal->Reason(code, "", 0);
  return refused.empty() ? FillPlaceholder(LoadStr(kMsgRebuildFailed), std::to_string(code))
                         : FillPlaceholder(LoadStr(kMsgRebuildFailedWhy), refused);
}

std::string OpeningLogLine(const OpeningRequest& request, const OpeningResult& result) {
  const std::string code = AllTrim(request.target.code.c_str()), date = DisplayDateOf(request.date);
  if (result.code == 0) return FillPlaceholders(Text(kLogDone), {code, request.target.folder, date});
  return FillPlaceholders(Text(kLogFailed), {std::to_string(result.code), code, request.target.folder, date});
}

std::string OpeningEndMessage(const OpeningRequest& request, const OpeningResult& result) {
  if (result.code == 0) return FillPlaceholder(Text(kMsgOpeningDone), AllTrim(request.target.code.c_str()));
  // The error in words when there are some; its code, which the log keeps, only otherwise.
  return FillPlaceholder(Text(kMsgOpeningError), result.error.empty() ? std::to_string(result.code) : result.error) +
         (result.putBack         ? Text(kDossierPutBack)
                   : result.putBackFailed ? Text(kDossierLeftForTheOpening)
                                          : std::string());
}

bool PutBackInterruptedOpening(const std::string& detail) { return PutBackRunCopies(detail); }

}  // namespace processing
