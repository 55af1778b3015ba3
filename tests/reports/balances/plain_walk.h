// The account gathering worded as the walk over the tables does it: a seek on C60CODE per
// account, the sort-record walk with its period and amount tests, a go-to into C50 or C40 for
// every record. The tests compare the in-memory gathering with it, option by option.
#pragma once

#include <cstdlib>
#include <string>

#include "data/table.h"
#include "reports/balances/core/account_gathering.h"
#include "runtime/numbers.h"

namespace test_support {

class PlainWalk {
 public:
  PlainWalk(const std::string& folder, const balances::GatherContext& context) : context_(context) {
    c60_.OpenShared(folder + "c60bal.dbf", "C60CODE", true);
    c50_.OpenShared(folder + "c50bal.dbf", "", true);
    c40_.OpenShared(folder + "c40bal.dbf", "", true);
  }

  // The gathering of one account; false when the walk skips it.
  bool GatherAccount(const balances::ChartEntry& a, balances::AccountFigures& f) {
    f = {};
    std::string key = a.code;
    bool whole = true;
    if (const int n = context_.RegroupementLength()) {
      key.resize(static_cast<std::size_t>(n));
      whole = false;
    }
    const std::size_t p = context_.collectiveList.find("/" + a.code + "\\");
    if (p != std::string::npos) {
      key = context_.collectiveList.substr(p + 10, 1);
      whole = false;
    }
    const std::size_t cur = static_cast<std::size_t>(context_.Currency());
    bool keep = context_.keepRule == 'M' ? (a.prevDebit[cur] != 0 || a.prevCredit[cur] != 0)
                : context_.keepRule == 'S' ? a.prevDebit[cur] != a.prevCredit[cur]
                                           : false;
    c60_.Seek("C60CODE", key.c_str());
    NextSortRecord(false);
    if ((c60_.eof || !Begins(key)) && !keep) return false;
    f.prevYear = a.prevDebit[cur] - a.prevCredit[cur];
    const std::string start = context_.options.PeriodStart(), end = context_.options.PeriodEnd();
    while (!c60_.eof && Begins(key)) {
      const std::string d = std::string(c60_.GetField(3)) + c60_.GetField(4);
      if (whole && d > end) break;
      if (d < start) {
        if (context_.options.PriorTotals() && ReadLine()) {
          keep = true;
          (sense_ == 'D' ? f.caDebit : f.caCredit) += amount_[cur];
        }
      } else if (d <= end && ReadLine()) {
        if (Accepts()) {
          keep = true;
          int column = 0;
          if (context_.excludedJournals.find(journal_) == std::string::npos) {
            int m = std::atoi(month_.substr(2, 2).c_str());
            if (m < 1 || m > 12) m = 1;
            column = context_.frame.monthColumn[static_cast<std::size_t>(m)];
          }
          const std::string ref = due_ != "      " && !due_.empty() ? due_ : d;
          const int age = ref < context_.frame.limit90 ? 0 : ref < context_.frame.limit60 ? 1
                          : ref < context_.frame.limit30 ? 2 : 3;
          const long long s = sense_ == 'D' ? amount_[cur] : -amount_[cur];
          (sense_ == 'D' ? f.debit : f.credit) += amount_[cur];
          (sense_ == 'D' ? f.debitF : f.creditF) += amount_[0];
          (sense_ == 'D' ? f.debitE : f.creditE) += amount_[1];
          if (journal_ == context_.openingJournal.substr(0, 3))
            f.etafiSan += s;
          else
            (sense_ == 'D' ? f.etafiCdb : f.etafiCcr) += amount_[cur];
          (sense_ == 'D' ? f.etafiCdbt : f.etafiCcrt) += amount_[cur];
          if (column != 0) f.months[static_cast<std::size_t>(column - 1)] += s;
          f.ages[static_cast<std::size_t>(age)] += s;
        } else if (context_.options.Lettering() == '4' || context_.options.Lettering() == '5') {
          keep = true;
          (sense_ == 'D' ? f.aeDebit : f.aeCredit) += amount_[cur];
        }
      }
      NextSortRecord(true);
    }
    if (!context_.typeListe.empty() && context_.typeListe[0] == 'A' &&
        f.ages[0] + f.ages[1] + f.ages[2] + f.ages[3] == 0)
      return false;
    return keep;
  }

  balances::GatherContext context_;

 private:
  bool Begins(const std::string& key) { return std::string(c60_.GetField(2)).compare(0, key.size(), key) == 0; }

  // To the next record the report counts: period (without prior totals), then amount.
  bool NextSortRecord(bool step) {
    c60_.SkipActive(step);
    for (;;) {
      if (!context_.options.PriorTotals())
        while (!c60_.eof) {
          const std::string d = std::string(c60_.GetField(3)) + c60_.GetField(4);
          if (d >= context_.options.PeriodStart() && d <= context_.options.PeriodEnd()) break;
          c60_.SkipActive(true);
        }
      if (c60_.eof) return false;
      if (ReadLine() && !AmountsEqual(FromCents(amount_[static_cast<std::size_t>(context_.Currency())]), 0.0))
        return true;
      c60_.SkipActive(true);
    }
  }

  bool ReadLine() {
    const bool draft = c60_.GetField(9)[0] == 'B';
    Table& t = draft ? c50_ : c40_;
    const long rec = std::atol(c60_.GetField(10));
    if (rec <= 0 || static_cast<std::uint32_t>(rec) > t.RecCount() || !t.GoTo(rec)) return false;
    month_ = t.GetField(draft ? 2 : 3);
    journal_ = t.GetField(draft ? 3 : 5);
    due_ = t.GetField(draft ? 15 : 11);
    sense_ = t.GetField(draft ? 17 : 13)[0];
    amount_[0] = ToCents(t.GetFieldNum(draft ? 18 : 14));
    amount_[1] = ToCents(t.GetFieldNum(draft ? 19 : 15));
    return true;
  }

  bool Accepts() {
    const char choice = context_.options.Lettering();
    if (choice == '1') return true;
    std::string letter = c60_.GetField(6 + context_.Currency());
    bool unlettered = letter.find_first_not_of(' ') == std::string::npos;
    if (!unlettered && context_.orphanLetters) unlettered = Orphan(letter);
    if (choice == '2' || choice == '4') return unlettered;
    if (choice == '3' || choice == '5') return !unlettered;
    return false;
  }

  // The letter reaches outside the period on this record's account (a second walk of C60).
  bool Orphan(const std::string& letter) {
    const std::string code = c60_.GetField(2);
    if (context_.letteringExemptions.find("-" + code.substr(0, 3) + "-") != std::string::npos) return false;
    Table other;
    other.OpenShared(c60_.tablePath, "C60CODE", true);
    bool found = false;
    for (other.Seek("C60CODE", code.c_str()); !other.eof && code == other.GetField(2); other.SkipActive(true)) {
      if (letter != other.GetField(6 + context_.Currency())) continue;
      const std::string d = std::string(other.GetField(3)) + other.GetField(4);
      if ((d < context_.options.PeriodStart() && !context_.options.PriorTotals()) || d > context_.options.PeriodEnd())
        found = true;
    }
    return found;
  }

  Table c60_, c50_, c40_;
  std::string month_, journal_, due_;
  char sense_ = ' ';
  long long amount_[2] = {0, 0};
};

}  // namespace test_support
