// The property of the line form's writes: any sequence of new pieces and lines, saves of typed lines
// (account, sense, amount, entry currency changed at random), saves of lines already there and new lines
// given up, over two journal-months, keeps the sort records, the headers, the account totals and the section
// totals equal to the lines, in francs and in euros, in each currency of a dossier.
#include <random>

#include "entry/core_fixture.h"
#include "posting/balancing.h"
#include "posting/line_save.h"
#include "posting/new_lines.h"
#include "runtime/numbers.h"
#include "runtime/xbase.h"

namespace entry_test {
namespace {

using namespace posting;

struct Mode {
  DossierCurrency currency;
  char analytic;
  const char* name;
};

class SequencesTest : public CoreTest, public ::testing::WithParamInterface<Mode> {
 protected:
  long Lines() const override { return 600; }
  char AnalyticMode() const override { return GetParam().analytic; }
  DossierCurrency Currency() const override { return GetParam().currency; }
};

TEST_P(SequencesTest, AnySequenceOfEntriesKeepsEveryTotalEqualToTheLines) {
  ASSERT_TRUE(TableC10->Seek("C10CODE", "P"));
  TheDossierRecord.Set(539, 252, TableC10->GetField(4));
  TheDossierRecord.Set(791, 252, TableC10->GetField(5));
  const bool euroOnly = DossierIsEuroOnly();
  EXPECT_EQ(euroOnly, GetParam().currency == DossierCurrency::EuroOnly);
  const double rate = TheDossierRecord.Parity();
  // Two journal-months of the draft, and their lines.
  std::vector<std::string> months;
  for (const auto& [month, count] : JournalMonths())
    if (months.size() < 2 && (months.empty() || month.substr(4) != months[0].substr(4))) months.push_back(month);
  ASSERT_EQ(months.size(), 2u);
  std::vector<std::string> keys;
  for (const std::string& m : months)
    for (const auto& [recno, key] : LinesOf(m)) keys.push_back(key);
  std::vector<std::string> accounts{"60700000", "51200000", "44566000", "70700000", "62700000"};
  for (bool more = TableC20->GoTop("C20CODE"); more && accounts.size() < 8; more = TableC20->Skip(1))
    if (IsAuxiliaryAccount(TableC20->GetField(1)) && !TableC20->IsDeleted()) accounts.push_back(TableC20->GetField(1));

  std::mt19937 random(static_cast<unsigned>(GetParam().currency) * 7 + 1);
  auto pick = [&random](std::size_t n) { return static_cast<std::size_t>(random() % n); };
  std::vector<std::string> fresh;  // new lines not saved yet
  int saves = 0, quits = 0, created = 0;
  for (int step = 0; step < 160; ++step) {
    const int op = static_cast<int>(random() % 6);
    if (op == 0) {
      const std::string month = months[pick(2)];
      const PieceNumber number = TakePieceNumber(*TableC10, JournalOf(month));
      ASSERT_EQ(number.outcome, NewLineOutcome::Created);
      const NewLineResult made =
          CreatePieceLine(c50, c60, LinePrefix(month), StrZero(number.number, 0), '1', euroOnly || pick(2) ? 'O' : 'N');
      ASSERT_EQ(made.outcome, NewLineOutcome::Created);
      fresh.push_back(made.key);
      ++created;
    } else if (op == 1) {
      const std::string& after = keys[pick(keys.size())];
      // A key renumbered by an earlier insertion is found no more.
      if (!FindLine(c50, after).IsFound() || c50.IsDeleted()) continue;
      const LineRecord r = ReadLineRecord(c50);
      LineAfter a{after.substr(0, 8), after.substr(8, 6), after.substr(14, 6), after.substr(20, 4), r.day, r.labelCode,
                  r.label1, r.sense, 'O'};
      const NewLineResult made = CreateLineAfter(c50, c60, a);
      if (made.outcome != NewLineOutcome::Created) continue;
      fresh.push_back(made.key);
      ++created;
    } else if (op == 2 && !fresh.empty()) {
      const std::size_t i = pick(fresh.size());
      if (RemoveEmptyNewLine(c50, c60, fresh[i])) ++quits;
      fresh.erase(fresh.begin() + static_cast<long>(i));
    } else {
      // A typed line saved: a new one, or one already there.
      std::string key;
      if (!fresh.empty() && pick(2) == 0) {
        const std::size_t i = pick(fresh.size());
        key = fresh[i];
        keys.push_back(key);
        fresh.erase(fresh.begin() + static_cast<long>(i));
      } else {
        key = keys[pick(keys.size())];
      }
      if (!FindLine(c50, key).IsFound() || c50.IsDeleted()) continue;
      const LineRecord r = ReadLineRecord(c50);
      SaveRequest s;
      s.key = key;
      s.previousAccount = r.account;
      LineValues& v = s.values;
      v.day = IsBlank(r.day) ? "10" : r.day;
      v.account = pick(4) == 0 || IsBlank(r.account) ? accounts[pick(accounts.size())] : r.account;
      v.labelCode = "1";
      v.label1 = "Saisie " + std::to_string(step);
      v.euros = euroOnly || pick(2) == 0;
      v.sense = pick(2) == 0 ? 'D' : 'C';
      const long long typed = pick(10) == 0 ? 0 : static_cast<long long>(1 + pick(2000000));
      const long long other = v.euros ? ToFrancs(typed, rate) : ToEuros(typed, rate);
      const double francs = FromCents(v.euros ? other : typed), euros = FromCents(v.euros ? typed : other);
      (v.sense == 'D' ? v.amounts.debitF : v.amounts.creditF) = francs;
      (v.sense == 'D' ? v.amounts.debitE : v.amounts.creditE) = euros;
      const SaveResult saved = SaveLineRecord(c50, c60, s);
      EXPECT_TRUE(saved.outcome == SaveOutcome::Saved || saved.outcome == SaveOutcome::ZeroLineCancelled) << key;
      ++saves;
    }
    if (step % 40 == 39) {
      DossierInvariants check;
      ASSERT_TRUE(check.Check()) << "step " << step << "\n" << check.Report();
    }
  }
  EXPECT_GT(saves, 40);
  EXPECT_GT(created, 10);
  EXPECT_GT(quits, 0);
  EXPECT_TRUE(Notices().empty());
  ExpectInvariants(GetParam().name);
}

INSTANTIATE_TEST_SUITE_P(Currencies, SequencesTest,
                         ::testing::Values(Mode{DossierCurrency::EuroMain, '1', "euro"},
                                           Mode{DossierCurrency::FrancMain, '0', "franc"},
                                           Mode{DossierCurrency::EuroOnly, '2', "euro-only"}),
                         [](const ::testing::TestParamInfo<Mode>& i) {
                           return std::string(i.param.currency == DossierCurrency::EuroMain    ? "EuroMain"
                                              : i.param.currency == DossierCurrency::FrancMain ? "FrancMain"
                                                                                               : "EuroOnly");
                         });

}  // namespace
}  // namespace entry_test
