#include "reports/balances/core/balance_sheet_run.h"

#include <utility>
#include <cctype>
#include <cstdio>
#include <set>

#include "data/account_totals.h"
#include "data/dossier_files.h"
#include "data/error_report.h"
#include "data/record_fields.h"
#include "data/table.h"
#include "data/table_results.h"
#include "data/unread_amounts.h"
#include "dossier/core/dossier_run_marker_copies.h"
#include "reports/balances/core/balance_sheet_init.h"
#include "reports/balances/core/trial_balance_options.h"
#include "resources/string_table.h"
#include "runtime/dates.h"
#include "runtime/inifiles.h"
#include "runtime/logfile.h"
#include "runtime/text.h"
#include "runtime/twin_amounts.h"
#include "runtime/xbase.h"

namespace balances {

namespace {

GatherContext MakeContext(const std::string& start, const std::string& end, const SheetPeriod& p, bool euros) {
  GatherContext c;
  c.options = MakeOptions('G', start, end, false, 'S', '1', euros);
  c.frame = MakePeriodFrame(c.options, p.yearStart, p.yearEnd);
  c.listKind = '1';
  c.keepRule = 'N';
  c.orphanLetters = false;
  return c;
}

// The end of a run that failed: the dossier put back, or left for the next opening to put back;
// the marker that could not be removed nor the dossier put back (%s: the marker's path).
constexpr int kDossierPutBack = 29256;
constexpr int kDossierLeftForTheOpening = 29257;
constexpr int kMsgMarkerNotRemovedNorPutBack = 32804;
// The run's title (its copies aside), the tables that do not open.
constexpr int kRunTitle = 1691;
constexpr int kMsgTablesNotOpened = 23549;
// The log line of a run: done (%s: the accounts, the annex lines, the errors), unbalanced, a file that
// does not read or an amount too large (%s: why), a write refused (%s: the refusal).
constexpr int kLogDone = 23541;
constexpr int kLogUnbalanced = 32801;
constexpr int kLogReadFailed = 32802;
constexpr int kLogWriteRefused = 32803;

// A box of the sheet or an annex amount that its field cannot hold (%s: the poste, its line's code and
// label, or the account and its poste; then the amount and its currency).
constexpr int kMsgBoxTooLarge = 36511;
constexpr int kMsgAnnexTooLarge = 36512;
constexpr int kWordFrancs = 36503;
constexpr int kWordEuros = 36504;

struct PosteLine {
  std::string code, label;
  char section = ' ';
};

// What a box of C70 (an amount field) and an amount of an annex record (14 characters of its text)
// hold: 14 characters with two decimals.
bool Holds(long long cents) { return StoredAmountHolds(cents); }

// An amount of an annex record: 14 characters, blank for a franc figure past them (a dossier kept only
// in euros, whose run does not refuse for it).
std::string Number14(long long cents) {
  if (!Holds(cents)) return std::string(14, ' ');
  char buf[40];
  std::snprintf(buf, sizeof buf, "%14.2f", static_cast<double>(cents) / 100.0);
  return PadRight(buf, 14);
}

const char* CurrencyWord(int currency) { return LoadStr(currency == 0 ? kWordFrancs : kWordEuros); }

// The first box of the sheet's lines, then amount of the annex, that the computation would take
// past what its field holds, named; "" when every one fits. A dossier kept only in euros shows no
// franc figure in any edition: its francs refuse nothing (one past its field is written blank).
std::string AmountPastItsField(const SheetComputation& computation, const std::vector<SheetLine>& lines,
                               bool euroOnly) {
  const int first = euroOnly ? 1 : 0;
  for (const SheetLine& l : lines)
    for (const std::string& poste : l.postes) {
      const auto found = poste.empty() ? computation.postes.end() : computation.postes.find(poste);
      if (found == computation.postes.end()) continue;
      for (int c = first; c < 2; ++c) {
        const long long cents = found->second[static_cast<std::size_t>(c)];
        if (!Holds(cents))
          return FillPlaceholders(LoadStr(kMsgBoxTooLarge), {poste, Trimmed(l.code), Trimmed(l.label),
                                                             GroupedAmountText(cents), CurrencyWord(c)});
      }
    }
  for (const AnnexLine& a : computation.annex)
    for (int c = first; c < 2; ++c) {
      const auto i = static_cast<std::size_t>(c);
      for (const long long cents : {a.amount[i], a.carried[i], a.previous[i]})
        if (!Holds(cents))
          return FillPlaceholders(LoadStr(kMsgAnnexTooLarge),
                                  {Trimmed(a.account), a.poste, GroupedAmountText(cents), CurrencyWord(c)});
    }
  return "";
}

}  // namespace

SheetComputation ComputeBalanceSheet(const BalanceSource& source, const ChartList& chart, const CodeLists& codes,
                                     const std::vector<ModelParam>& params, const std::vector<SheetLine>& lines,
                                     const SheetPeriod& period) {
  SheetComputation out;
  std::map<std::string, PosteLine> posteLines;
  for (const SheetLine& l : lines)
    for (const std::string& poste : l.postes)
      if (!poste.empty() && posteLines.find(poste) == posteLines.end())
        posteLines[poste] = {l.code.substr(0, 3), l.label, l.section.empty() ? ' ' : l.section[0]};

  // Balance-sheet accounts from the year's first day, income accounts over the period too.
  Gatherer yearF(source, chart, MakeContext(period.yearStart, period.end, period, false));
  Gatherer yearE(source, chart, MakeContext(period.yearStart, period.end, period, true));
  Gatherer periodF(source, chart, MakeContext(period.start, period.end, period, false));
  Gatherer periodE(source, chart, MakeContext(period.start, period.end, period, true));
  const bool fromYearStart = period.start == period.yearStart;
  bool previousAssigned = false;
  for (const ModelParam& p : params) previousAssigned = previousAssigned || p.source == 'N';

  std::set<std::string> unassigned, modelErrors;
  for (const ChartEntry& e : chart.Entries()) {
    const bool auxiliary = !std::isdigit(static_cast<unsigned char>(e.code[0]));
    const std::string match = auxiliary ? codes.CollectiveAccountOf(e.code[0]) : e.code;
    const bool income = !match.empty() && (match[0] == '6' || match[0] == '7');
    Amounts year{}, inPeriod{};
    AccountFigures f;
    yearF.GatherAccount(e, f);
    year[0] = f.debit - f.credit;
    yearE.GatherAccount(e, f);
    year[1] = f.debit - f.credit;
    inPeriod = year;
    if (income && !fromYearStart) {
      periodF.GatherAccount(e, f);
      inPeriod[0] = f.debit - f.credit;
      periodE.GatherAccount(e, f);
      inPeriod[1] = f.debit - f.credit;
    }
    const Amounts previous{e.prevDebit[0] - e.prevCredit[0], e.prevDebit[1] - e.prevCredit[1]};
    for (int c = 0; c < 2; ++c) {
      out.generalBalance[c] += year[c];
      if (income) {
        out.result[c] -= year[c];
        out.periodResult[c] -= inPeriod[c];
        out.previousResult[c] -= previous[c];
      }
    }
    const Amounts balance = income ? inPeriod : year;

    // One parameter must take each balance: none is an assignment error, two a model error.
    std::size_t annexIndex = out.annex.size();
    auto assign = [&](char src, const Amounts& value) -> const ModelParam* {
      if (value[0] == 0 && value[1] == 0) return nullptr;
      const long long reference = value[1] != 0 ? value[1] : value[0];
      const ModelParam* taken = nullptr;
      int count = 0;
      for (const ModelParam& p : params)
        if (p.source == src && !match.empty() && p.Covers(match) && p.Takes(reference)) {
          if (taken == nullptr) taken = &p;
          ++count;
        }
      if (count == 0) {
        unassigned.insert(e.code);
        return nullptr;
      }
      if (count > 1) {
        modelErrors.insert(e.code);
        return nullptr;
      }
      Amounts& poste = out.postes[taken->poste];
      for (int c = 0; c < 2; ++c) poste[c] += taken->Carried(value[c]);
      return taken;
    };
    if (balance[0] != 0 || balance[1] != 0) {
      ++out.accounts;
      if (const ModelParam* p = assign('B', balance)) {
        AnnexLine a;
        const auto found = posteLines.find(p->poste);
        if (found != posteLines.end()) {
          a.lineCode = found->second.code;
          a.label = found->second.label;
          a.section = found->second.section;
        }
        a.poste = p->poste;
        a.account = e.code;
        a.name = e.name;
        a.amount = balance;
        for (int c = 0; c < 2; ++c) a.carried[c] = p->Carried(balance[c]);
        out.annex.push_back(std::move(a));
      }
    }
    if (previousAssigned)
      if (const ModelParam* p = assign('N', previous))
        if (annexIndex < out.annex.size())
          for (int c = 0; c < 2; ++c) out.annex[annexIndex].previous[c] = p->Carried(previous[c]);
  }

  // The result of the year and that of the previous year, carried by the "R" and "P" parameters.
  auto carryResult = [&](char src, const Amounts& result, const char* name) {
    const Amounts resultBalance{-result[0], -result[1]};
    if (resultBalance[0] == 0 && resultBalance[1] == 0) return;
    const long long reference = resultBalance[1] != 0 ? resultBalance[1] : resultBalance[0];
    std::vector<const ModelParam*> taking;
    for (const ModelParam& p : params)
      if (p.source == src && p.Takes(reference)) taking.push_back(&p);
    if (taking.size() == 1) {
      Amounts& poste = out.postes[taking[0]->poste];
      for (int c = 0; c < 2; ++c) poste[c] += taking[0]->Carried(resultBalance[c]);
    } else {
      (taking.empty() ? unassigned : modelErrors).insert(name);
    }
  };
  carryResult('R', out.result, "RESULTAT");
  if (previousAssigned) carryResult('P', out.previousResult, "RESULTAT N-1");
  out.unassigned.assign(unassigned.begin(), unassigned.end());
  out.modelErrors.assign(modelErrors.begin(), modelErrors.end());
  return out;
}

std::string AnnexText(const AnnexLine& line, int currency) {
  const auto c = static_cast<std::size_t>(currency);
  return PadRight(line.label, 50) + std::string(1, line.section) + Number14(line.amount[c]) + Number14(line.carried[c]) +
         Number14(line.previous[c]);
}

bool WriteBalanceSheet(Table& c70, Table& c10, const SheetComputation& computation, const SheetPeriod& period) {
  bool ok = true;
  std::string firstCode;
  std::uint32_t header = 0;
  // Each line's eight amounts set in its buffer, then the line written once.
  for (bool on = c70.GoTop("") && c70.SkipActive(false); on; on = c70.SkipActive(true)) {
    const std::string code = c70.GetField(sheet_field::kCode);
    if (header == 0 || code < firstCode) {
      header = c70.RecNo();
      firstCode = code;
    }
    c70.BeginRewrite();
    bool filled = true;
    for (int column = 1; column <= 4; ++column) {
      const std::string poste = Trimmed(c70.GetField(sheet_field::Poste(column)));
      const auto found = poste.empty() ? computation.postes.end() : computation.postes.find(poste);
      for (int c = 0; c < 2; ++c) {
        const long long cents = found == computation.postes.end() ? 0 : found->second[static_cast<std::size_t>(c)];
        // A franc figure past its field (a dossier kept only in euros) is left blank, never cut.
        filled = (Holds(cents) ? c70.PutFieldNum(sheet_field::Amount(column, c), static_cast<double>(cents) / 100.0)
                               : BlankNumberField(c70, sheet_field::Amount(column, c))) &&
                 filled;
      }
    }
    ok = c70.EndRewrite(filled) && ok;
  }
  const Lookup at = header != 0 ? c70.GoToRecord(static_cast<long>(header)) : Lookup::NotFound();
  // A header not read gets no period: the run fails, as after a refused write.
  if (at.IsRefused()) ok = false;
  if (at.IsFound()) {
    c70.BeginRewrite();
    const bool filled =
        c70.PutFieldPart(sheet_field::kLabel, kPeriodStartPos, 8, ConvertDate(period.start.c_str())) &&
        c70.PutFieldPart(sheet_field::kLabel, kPeriodEndPos, 8, ConvertDate(period.end.c_str()));
    ok = c70.EndRewrite(filled) && ok;
  }
  ok = c70.Commit() && ok;

  ok = DeleteAnnexRecords(c10) && ok;
  for (const AnnexLine& a : computation.annex) {
    if (!c10.AppendBlank()) return false;
    c10.PutField(1, "j");
    c10.PutField(2, (PadRight(a.lineCode, 3) + PadRight(a.poste, 3) + PadRight(a.account, 8)).c_str());
    c10.PutField(3, a.name.c_str());
    c10.PutField(4, AnnexText(a, 0).c_str());
    c10.PutField(5, AnnexText(a, 1).c_str());
    ok = c10.InsertRecord() && ok;
  }
  ok = c10.Commit() && ok;
  return ok;
}

SheetRunInput DossierSheetInput(char letter, const SheetPeriod& period, bool euroOnly) {
  SheetRunInput in;
  in.c10 = PathC10();
  in.c20 = PathC20();
  in.c40 = PathC40();
  in.c50 = PathC50();
  in.c60 = PathC60();
  in.c70 = PathC70();
  in.params = ModelPath(ProgramFolder, letter, true);
  in.period = period;
  in.euroOnly = euroOnly;
  return in;
}

SheetRun RunBalanceSheet(const SheetRunInput& input) {
  SheetRun run;
  // Every amount the run reads is watched from its first read: its marker refuses it, before the
  // first write, when one did not read.
  BooksReading amounts;
  // A read the system refused leaves the sums short of the books or the model: the run stops
  // before it writes, naming the file it could not read.
  const RefusalWatch reading;
  const auto readShort = [&] {
    if (!reading.ReadRefused()) return false;
    run.outcome = RunOutcome::kReadFailed;
    run.message = reading.Reason(0, "", 0);
    WriteLog(RunLogLine(run));
    return true;
  };
  BalanceSource source;
  ChartList chart;
  CodeLists codes;
  std::vector<ModelParam> params;
  std::vector<SheetLine> lines;
  if (!source.Load(input.c60, input.c50, input.c40, &run.message, false) || !chart.LoadAccounts(input.c20, &run.message) ||
      !codes.Load(input.c10, &run.message) || !LoadModelParams(input.params, params, &run.message)) {
    if (readShort()) return run;
    WriteLog(RunLogLine(run));
    return run;
  }
  run.unreadable = source.UnreadableLines();
  run.unreadable.insert(run.unreadable.end(), chart.Unreadable().begin(), chart.Unreadable().end());
  // The lines are read beside the run, out of its watch: named to it here.
  for (const UnreadableAmountLine& line : run.unreadable) NoteUnreadAmount(line);
  Table c70, c10;
  if (!c70.OpenExclusive(input.c70, "C70CODE") || !c10.OpenExclusive(input.c10, "C10CODE")) {
    if (readShort()) return run;
    run.message = LoadStr(kMsgTablesNotOpened);
    WriteLog(RunLogLine(run));
    return run;
  }
  LoadSheetLines(c70, lines);
  run.computation = ComputeBalanceSheet(source, chart, codes, params, lines, input.period);
  if (readShort()) return run;
  if (!run.computation.Balanced(input.euroOnly)) {
    run.outcome = RunOutcome::kUnbalanced;
    WriteLog(RunLogLine(run));
    return run;
  }
  // A box or an annex amount that its field cannot hold refuses the run before any change.
  run.message = AmountPastItsField(run.computation, lines, input.euroOnly);
  if (!run.message.empty()) {
    run.outcome = RunOutcome::kTooLarge;
    WriteLog(RunLogLine(run));
    return run;
  }
  // C70 and C10 copied aside under the run marker: a computation stopped half-way (C70 half old
  // and half new, the annex half rewritten) is put back at the next opening, and one whose
  // writes failed is put back at once. The run says its own failure, in one box: the engine's
  // boxes are held back meanwhile.
  RefusalWatch refusal(RefusalWatch::EngineBoxes::kHeld);
  DossierRunCopies copies(std::move(amounts), kBalanceSheetRun, LoadStr(kRunTitle), "bil-",
                          {TableKind::C10, TableKind::C70});
  if (!copies.ok()) {
    run.message = copies.error();
    run.amountsUnread = DossierRunMarkerRefusedForUnreadAmounts(DossierRunMarkerPath());
    WriteLog(RunLogLine(run));
    return run;
  }
  // What is written rests on every record read whole: a read refused meanwhile fails the run.
  const bool written = WriteBalanceSheet(c70, c10, run.computation, input.period) && !refusal.ReadRefused();
  // The table that refused, as its last result says, when the system named none.
  const Table& failed = c70.result != kResultOk || c10.result == kResultOk ? c70 : c10;
  const std::string failedPath = failed.tablePath;
  const int failedResult = failed.result != kResultOk ? failed.result : kResultSystemError;
  c70.CloseTable(true);
  c10.CloseTable(true);
  // Done once the marker is gone: a marker that stays would have the next opening put the
  // tables back, so the run is put back now and said to have failed.
  const bool done = written && copies.Finish();
  if (!done) {
    const bool back = copies.PutBack();
    if (written) {
      // The marker not removed: the run is undone.
      run.refusal = DossierRunMarkerPath();
      run.message = back ? DossierRunMarkerRemovalRefusal(run.refusal)
                         : FillPlaceholder(LoadStr(kMsgMarkerNotRemovedNorPutBack), run.refusal);
    } else {
      run.refusal = refusal.Reason(failedResult, failedPath, failedResult);
      run.message = run.refusal + "\n\n" + LoadStr(back ? kDossierPutBack : kDossierLeftForTheOpening);
    }
  }
  run.outcome = done ? RunOutcome::kDone : RunOutcome::kWriteFailed;
  WriteLog(RunLogLine(run));
  return run;
}

std::string RunLogLine(const SheetRun& run) {
  switch (run.outcome) {
    case RunOutcome::kUnbalanced: return LoadStr(kLogUnbalanced);
    case RunOutcome::kReadFailed:
    case RunOutcome::kTooLarge: return FillPlaceholder(LoadStr(kLogReadFailed), run.message);
    case RunOutcome::kWriteFailed: return FillPlaceholder(LoadStr(kLogWriteRefused), run.refusal);
    case RunOutcome::kDone: break;
  }
  return FillPlaceholders(LoadStr(kLogDone), {std::to_string(run.computation.accounts),
                                              std::to_string(run.computation.annex.size()),
                                              std::to_string(run.computation.ErrorCount())});
}

int AccumulatorIndex(char digit, int column) {
  if (digit < '1' || digit > '9' || column < 1 || column > 4) return -1;
  return 4 * (digit - '0') - 4 + column;
}

std::string PercentText(long long amount3, long long amount4) {
  if (amount3 == 0 || amount4 == 0) return std::string(7, ' ');
  char buf[48];
  std::snprintf(buf, sizeof buf, "%7.2f",
                static_cast<double>(amount3 - amount4) / static_cast<double>(amount4) * 100.0);
  std::string s = buf;
  return s.size() > 7 ? std::string(7, '*') : s;
}

void TotalsPass(std::vector<SheetLine>& lines, int currency) {
  std::array<long long, 37> acc{};
  const auto cur = static_cast<std::size_t>(currency);
  for (SheetLine& l : lines) {
    const char op = l.calc.empty() ? ' ' : l.calc[0];
    const char x = l.calc.size() > 1 ? l.calc[1] : ' ';
    const char y = l.calc.size() > 2 ? l.calc[2] : ' ';
    auto amount = [&](int column) -> long long& { return l.cents[static_cast<std::size_t>(column - 1)][cur]; };
    switch (op) {
      case 'C':
        // "-" in place of Y: column 2 (depreciation, positive) is taken from column 1.
        if (amount(1) != 0 || amount(2) != 0) amount(3) = y == '-' ? amount(1) - amount(2) : amount(1) + amount(2);
        l.percent = PercentText(amount(3), amount(4));
        for (int c = 1; c <= 4; ++c)
          if (const int i = AccumulatorIndex(x, c); i >= 0) acc[static_cast<std::size_t>(i)] += amount(c);
        break;
      case 'T':
        for (int c = 1; c <= 4; ++c) {
          const int i = AccumulatorIndex(x, c);
          amount(c) = i >= 0 ? acc[static_cast<std::size_t>(i)] : 0;
        }
        l.percent = PercentText(amount(3), amount(4));
        break;
      case 'A':
      case 'S':
        for (int c = 1; c <= 4; ++c) {
          const int from = AccumulatorIndex(x, c), to = AccumulatorIndex(y, c);
          if (from < 0 || to < 0) continue;
          const long long v = acc[static_cast<std::size_t>(from)];
          acc[static_cast<std::size_t>(to)] += op == 'A' ? v : -v;
        }
        break;
      case 'R':
        for (int c = 1; c <= 4; ++c)
          if (const int i = AccumulatorIndex(x, c); i >= 0) acc[static_cast<std::size_t>(i)] = 0;
        break;
      default: break;
    }
  }
}

}  // namespace balances
