// Account-total updates: records created where missing, collective accounts, blank codes,
// journal-month headers and their 14-character totals, and totals equal to the sum of the lines after random postings and reversals.
#include <cmath>
#include <functional>
#include <fstream>
#include <filesystem>
#include <map>
#include <random>

#include "data/account_totals.h"
#include "data/collective_account.h"
#include "runtime/numbers.h"
#include "data_test_util.h"
#include "runtime/session_registry.h"
#include "support/line_files.h"
#include "support/refused_read.h"
#include "support/totals_post.h"

namespace data_test {
namespace {

// The totals' own moves, tested one by one: each stands for a change of lines, whose permit the
// fixture holds.
using test_support::PostTotals;

class TotalsTest : public DataTest {
 protected:
  test_support::SetUpPermit permit_{"mouvements de totaux"};
  void SetUp() override {
    DataTest::SetUp();
    CreateDossier();
    ASSERT_TRUE(TableC10->OpenShared(DossierPath(TableKind::C10), "C10CODE"));
    ASSERT_TRUE(TableC20->OpenShared(DossierPath(TableKind::C20), "C20CODE"));
    ASSERT_TRUE(TableC30->OpenShared(DossierPath(TableKind::C30), "C30CODE"));
  }
  // The four totals of an account (17, 18, 19, 20) or a section (9, 10, 11, 12): debit and
  // credit in francs, then in euros; empty when the record is missing.
  static std::vector<double> Totals(Table& t, const char* tag, const std::string& code, int first) {
    std::string key = code;
    key.resize(8, ' ');
    if (!t.Seek(tag, key.c_str())) return {};
    return {t.GetFieldNum(first), t.GetFieldNum(first + 2), t.GetFieldNum(first + 1), t.GetFieldNum(first + 3)};
  }
  static std::vector<double> Account(const std::string& code) { return Totals(*TableC20, "C20CODE", code, 17); }
  static std::vector<double> Section(const std::string& code) { return Totals(*TableC30, "C30CODE", code, 9); }
  static std::string Label(Table& t, const char* tag, const std::string& key, int field) {
    return t.Seek(tag, key.c_str()) ? RTrim(t.GetField(field)) : "<absent>";
  }
  // Header "C" + code: field 4 and field 5 as written.
  static std::pair<std::string, std::string> Header(const std::string& code) {
    std::string key = "C" + code;
    key.resize(15, ' ');
    if (!TableC10->Seek("C10CODE", key.c_str())) return {"<absent>", ""};
    return {RTrim(TableC10->GetField(4)), RTrim(TableC10->GetField(5))};
  }
  static std::string Total14(double v) { return FormatNumber(14, 2, false, v); }
  int LogLines(const std::string& what) const {
    const std::string log = ReadLog();
    int n = 0;
    for (std::size_t at = log.find(what); at != std::string::npos; at = log.find(what, at + 1)) ++n;
    return n;
  }
};

TEST_F(TotalsTest, AccountsAndCollectivesAreCreatedWhereMissing) {
  Add(*TableC10, {"B", "F", "Fournisseurs", "401"});
  Add(*TableC10, {"B", "G", "Sans collectif", ""});
  struct Post { const char* code; const char* op; double francs, euros; };
  for (const Post& p : {Post{"411", "+D", 100, 15.24}, Post{"41100000", "+C", 40, 6.10},
                        Post{"CDUPONT", "+D", 50, 7.62}, Post{"FMARTIN", "+C", 30, 4.57},
                        Post{"GDURAND", "+D", 9, 1.37}, Post{"512123456789", "+D", 1, 0.15}})
    PostTotals('A', p.code, p.op, p.francs, p.euros);

  struct Want { std::string code; std::vector<double> totals; std::string label; };  // debit/credit F, then E
  for (const Want& w : {Want{"41100000", {100, 40, 15.24, 6.10}, "MajCompteC20 (1-Compte)"},
                        Want{"44444444", {50, 0, 7.62, 0}, "MajCompteC20 (3-Collectif)"},
                        Want{"40100000", {0, 30, 0, 4.57}, "MajCompteC20 (3-Collectif)"},
                        Want{"GDURAND", {9, 0, 1.37, 0}, "MajCompteC20 (1-Compte)"},
                        Want{"51212345", {1, 0, 0.15, 0}, "MajCompteC20 (1-Compte)"}}) {
    EXPECT_EQ(Account(w.code), w.totals) << w.code;
    EXPECT_EQ(RTrim(TableC20->GetField(2)), w.label) << w.code;
  }
  EXPECT_EQ(TableC20->RecCount(), 7u);
  // The collective record of "C" was made with the default collective account.
  EXPECT_EQ(Label(*TableC10, "C10CODE", "BC", 3), "MajCompteC20 (2-Collectif)");
  EXPECT_EQ(std::string(RTrim(TableC10->GetField(4))), "44444444");
  // A blank collective posts to no "00000000" account; the log says so.
  EXPECT_EQ(Account("00000000"), std::vector<double>{});
  EXPECT_EQ(LogLines("MAJCOMPTEC20 - Erreur: collectif vide pour GDURAND"), 1);
}

TEST_F(TotalsTest, BlankCodesPostNothing) {
  PostTotals('A', "411", "+D", 1, 0.15);
  const std::uint32_t accounts = TableC20->RecCount();
  for (const char* code : {"", "        ", "         9"}) EXPECT_TRUE(PostTotals('A', code, "+D", 10, 1.52)) << code;
  EXPECT_EQ(TableC20->RecCount(), accounts);
  EXPECT_EQ(Account("00000000"), std::vector<double>{});
  // A code blank once cut to its 8 characters is found blank where its records are sought: logged.
  EXPECT_EQ(LogLines("MAJCOMPTEC20 - Erreur: compte vide"), 1);
  EXPECT_TRUE(PostTotals('H', "", "+D", 10, 1.52));
  EXPECT_EQ(TableC10->RecCount(), 0u);
  for (const char* code : {"", "        "}) EXPECT_TRUE(PostTotals('S', code, "+D", 10, 1.52));
  EXPECT_EQ(TableC30->RecCount(), 0u);
  EXPECT_TRUE(Boxes().empty());
}

// A missing header is labelled with its journal's name, unless that journal is cancelled.
TEST_F(TotalsTest, JournalMonthHeaders) {
  Add(*TableC10, {"J", "VTE", "Journal des ventes"});
  Add(*TableC10, {"J", "ACH", "Achats (supprim\xE9)"});
  ASSERT_TRUE(TableC10->DeleteRecord("", 1));
  PostTotals('H', "2403VTE1", "+D", 100, 15.24);
  PostTotals('H', "2403ACH1", "+C", 20, 3.05);
  EXPECT_EQ(Label(*TableC10, "C10CODE", "C2403VTE1", 3), "Journal des ventes");
  EXPECT_EQ(Label(*TableC10, "C10CODE", "C2403ACH1", 3), "MajCentC10 (Centralisateur)");
  EXPECT_EQ(Header("2403VTE1"), std::make_pair(Total14(100) + Total14(0), Total14(15.24) + Total14(0)));

  // A zero amount leaves its field as it was, whatever it holds.
  ASSERT_TRUE(TableC10->Seek("C10CODE", "C2403VTE1"));
  ASSERT_TRUE(TableC10->PutField(5, "texte libre"));
  PostTotals('H', "2403VTE1", "+C", 30, 0);
  EXPECT_EQ(Header("2403VTE1"), std::make_pair(Total14(100) + Total14(30), std::string("texte libre")));
  EXPECT_TRUE(Boxes().empty());
}

// A record a window holds (the account form, the matching window, the journal being
// entered) keeps its lock through an update; the others are let go.
TEST_F(TotalsTest, LocksHeldByWindowsAreKept) {
  // Other cursors, as another station would have: is the record of `key` locked?
  Table other, otherC10;
  ASSERT_TRUE(other.OpenShared(DossierPath(TableKind::C20), "C20CODE"));
  ASSERT_TRUE(otherC10.OpenShared(DossierPath(TableKind::C10), "C10CODE"));
  auto lockedElsewhere = [](Table& t, const char* key) {
    if (!t.Seek(key[0] == 'C' ? "C10CODE" : "C20CODE", key)) return false;
    const bool free = LockRecord(t, nullptr, 0);
    if (free) UnlockRecord(t);
    return !free;
  };
  PostTotals('A', "411", "+D", 1, 0.15);
  PostTotals('A', "512", "+D", 1, 0.15);

  // The account form holds 411, the matching window 512.
  ASSERT_TRUE(TableC20->Seek("C20CODE", "41100000"));
  ASSERT_TRUE(LockRecord(*TableC20, "", 0));
  FormRecordLocks[kAccountFormLockEntry] = TableC20->recordNumber;
  SetRegistryText(kRegistryHeldAccountPos, kRegistryHeldAccountWidth, "51200000");
  PostTotals('A', "411", "+D", 1, 0.15);
  PostTotals('A', "512", "+D", 1, 0.15);
  EXPECT_TRUE(lockedElsewhere(other, "41100000"));
  EXPECT_TRUE(lockedElsewhere(other, "51200000"));
  FormRecordLocks[kAccountFormLockEntry] = 0;
  SetRegistryText(kRegistryHeldAccountPos, kRegistryHeldAccountWidth, "");
  PostTotals('A', "411", "+D", 1, 0.15);
  PostTotals('A', "512", "+D", 1, 0.15);
  EXPECT_FALSE(lockedElsewhere(other, "41100000"));
  EXPECT_FALSE(lockedElsewhere(other, "51200000"));

  // A header stays locked while its journal is being entered.
  PostTotals('H', "2403VTE1", "+D", 1, 0.15);
  EXPECT_FALSE(lockedElsewhere(otherC10, "C2403VTE1"));
  SetRegistryText(554, 1, "1");
  SetRegistryText(565, 7, "2403VTE");
  PostTotals('H', "2403VTE1", "+D", 1, 0.15);
  EXPECT_TRUE(lockedElsewhere(otherC10, "C2403VTE1"));
}

// A move that would take one total of a record past its 14 characters is refused whole, nothing of
// the record written (its other totals neither), whatever the record: an account, a section, a
// journal-month header. Moved alone it says so once; planned in a change, the change names it and
// nothing is shown or written.
TEST_F(TotalsTest, AMoveATotalCannotHoldIsRefusedWholeWhateverTheRecord) {
  const double largest = 99999999999.0;
  const TotalsCents past{100, 0, 15, 0};  // a franc past the largest debit, 15 cents on the euros
  const struct Case {
    char kind;
    const char* code;
    std::function<std::vector<double>()> totals;
    std::function<bool(const TotalsCents&)> move;
  } cases[] = {
      {'A', "41100000", [] { return Account("41100000"); },
       [](const TotalsCents& m) { return MoveAccountRecord("41100000", m); }},
      {'S', "S1", [] { return Section("S1"); }, [](const TotalsCents& m) { return MoveSectionRecord("S1", m); }},
      {'H', "2403VTE1",
       [] {
         const auto [first, second] = Header("2403VTE1");
         return std::vector<double>{Val(first.substr(0, 14).c_str()), Val(first.substr(14).c_str()),
                                    Val(second.substr(0, 14).c_str()), Val(second.substr(14).c_str())};
       },
       [](const TotalsCents& m) { return MoveHeaderRecord("2403VTE1", m); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(1, c.kind) + " " + c.code);
    ASSERT_TRUE(PostTotals(c.kind, c.code, "+D", largest, 5));
    const std::vector<double> full = c.totals();
    ASSERT_EQ(full, (std::vector<double>{largest, 0, 5, 0}));
    // Moved alone: refused, told once.
    Boxes().clear();
    EXPECT_FALSE(c.move(past));
    EXPECT_EQ(c.totals(), full);
    EXPECT_EQ(Boxes().size(), 1u);
    // Planned in a change: named by the check, then refused by the move itself, silently.
    TotalsMoves moves;
    (c.kind == 'A' ? moves.Account(c.code, past) : c.kind == 'S' ? moves.Section(c.code, past) : moves.Header(c.code, past));
    const TotalsOverflow overflow = moves.Check();
    EXPECT_EQ(overflow.kind, c.kind);
    EXPECT_TRUE(overflow.debit && !overflow.second);
    EXPECT_FALSE(moves.Make());
    EXPECT_EQ(moves.Overflow().kind, c.kind);
    EXPECT_EQ(c.totals(), full);
    EXPECT_EQ(Boxes().size(), 1u);
    // What fits still moves.
    EXPECT_TRUE(c.move({-100, 0, 0, 0}));
    EXPECT_EQ(c.totals(), (std::vector<double>{largest - 1, 0, 5, 0}));
  }
  EXPECT_EQ(LogLines("MAJCENTC10 - Erreur: total du centralisateur 2403VTE1"), 1);
}

// A header total already unreadable is never taken for 0: a move of it is refused, one of its other
// side goes through.
TEST_F(TotalsTest, AnUnreadableHeaderTotalIsNeverMoved) {
  Add(*TableC10, {"C", "2403VTE1", "Ventes", Total14(0) + Total14(0), std::string(14, '*') + Total14(1)});
  EXPECT_FALSE(MoveHeaderRecord("2403VTE1", {0, 0, 200, 0}));
  EXPECT_EQ(Header("2403VTE1").second, std::string(14, '*') + Total14(1));
  EXPECT_TRUE(MoveHeaderRecord("2403VTE1", {0, 0, 0, 200}));
  EXPECT_EQ(Header("2403VTE1").second, std::string(14, '*') + Total14(3));
  ASSERT_EQ(Boxes().size(), 1u);
  EXPECT_EQ(Boxes()[0].caption, "ATTENTION");
  EXPECT_NE(Boxes()[0].text.find("2403VTE1"), std::string::npos);
}

// A total whose text does not read as a number (a comma, an exponent, two points) counts as zero
// when a line moves it, as every report counts it: the line's amount goes over it, never 12.00
// and the amount, nor a number too large to print.
TEST_F(TotalsTest, ATotalThatDoesNotReadIsMovedFromZero) {
  const std::string c20 = DossierPath(TableKind::C20) + ".dbf";
  int n = 0;
  for (const char* stored : {"12,34", "-1e300", "1.0.0"}) {
    SCOPED_TRACE(stored);
    const std::string header = "2403VT" + std::to_string(++n) + "1";
    std::string debit = stored;
    debit.insert(0, 14 - debit.size(), ' ');
    Add(*TableC10, {"C", header, "Ventes", debit + Total14(5), Total14(0) + Total14(0)});
    PostTotals('H', header, "+D", 1, 0.15);
    EXPECT_EQ(Header(header), std::make_pair(Total14(1) + Total14(5), Total14(0.15) + Total14(0)));

    const std::string account = "6070000" + std::to_string(n);
    PostTotals('A', account, "+D", 3, 0.46);
    TableC20->CloseTable(true);
    test_support::RawRecords raw(c20);
    for (std::uint32_t r = 1; r <= raw.Count(); ++r)
      if (raw.Field(raw.Record(r), "CCODE") == account) raw.Put(r, "CDEBITF", stored);
    ASSERT_TRUE(TableC20->OpenShared(DossierPath(TableKind::C20), "C20CODE"));
    PostTotals('A', account, "+D", 1, 0.15);
    EXPECT_EQ(Account(account), (std::vector<double>{1, 0, 0.61, 0}));
  }
  EXPECT_TRUE(Boxes().empty());
}

// The record is held by another cursor; while the update waits, that cursor lets go and the
// file is cut (another station's pack, a restore): the lock is refused and reported, and
// nothing is written, where a write would have put the record back past the file's end.
Table* gHolder = nullptr;
std::string gCutFile;
// The length of the header that the file's first bytes give: the file's size with no record.
std::uintmax_t HeaderLength(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  unsigned char head[10] = {};
  in.read(reinterpret_cast<char*>(head), sizeof head);
  return head[8] | head[9] << 8;
}
TEST_F(TotalsTest, RefusedLockIsReportedAndWritesNothing) {
  struct Case {
    void (*post)();
    TableKind kind;
    const char* tag;
    const char* key;
  } cases[] = {
      {[] { PostTotals('A', "411", "+D", 1, 0.15); }, TableKind::C20, "C20CODE", "41100000"},
      {[] { PostTotals('S', "S1", "+D", 1, 0.15); }, TableKind::C30, "C30CODE", "S1      "},
      {[] { PostTotals('H', "2403VTE1", "+D", 1, 0.15); }, TableKind::C10, "C10CODE", "C2403VTE1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.key);
    c.post();
    Table holder;
    gHolder = &holder;
    gCutFile = DossierPath(c.kind) + ".dbf";
    ASSERT_TRUE(holder.OpenShared(DossierPath(c.kind), c.tag));
    ASSERT_TRUE(holder.Seek(c.tag, c.key));
    ASSERT_TRUE(LockRecord(holder, nullptr, 0));
    SetLockNoticeHook([](const char*, const char*) {
      gHolder->CloseTable(true);
      std::filesystem::resize_file(gCutFile, HeaderLength(gCutFile));
    });
    Boxes().clear();
    c.post();
    SetLockNoticeHook(nullptr);
    EXPECT_EQ(std::filesystem::file_size(gCutFile), HeaderLength(gCutFile)) << "a record was written";
    EXPECT_FALSE(Boxes().empty()) << "the refusal is reported";
  }
}

// A record of the general file that the disk refuses to read is never taken for one missing: no
// header is made under the label of no journal, no collective is named that the books may not hold,
// and the refused read is said.
TEST_F(TotalsTest, ARecordNotReadIsNeverTakenForOneMissing) {
  Add(*TableC10, {"J", "VTE", "Journal des ventes"});
  Add(*TableC10, {"B", "F", "Fournisseurs", "401"});
  const std::string base = DossierPath(TableKind::C10);
  const std::string dbf = base.substr(base.rfind('/')) + ".dbf";
  auto unread = [&](const char* what, const std::function<void()>& run, int nth = 1, bool forGood = true) {
    SCOPED_TRACE(what);
    // Opened while reads are counted, so that the engine reads the file rather than maps it.
    test_support::RefusedRead::Arm(dbf, INT_MAX);
    ASSERT_TRUE(TableC10->OpenShared(base, "C10CODE"));
    test_support::RefusedRead::Arm(dbf, nth, forGood);
    Boxes().clear();
    run();
    test_support::RefusedRead::Disarm();
    EXPECT_FALSE(Boxes().empty()) << "the refused read is said";
  };
  // The journal's record alone, once: the header it would make stands under no journal's label.
  unread("the journal of a header made", [] { EXPECT_FALSE(PostTotals('H', "2403VTE1", "+D", 100, 15.24)); }, 1, false);
  EXPECT_EQ(Label(*TableC10, "C10CODE", "C2403VTE1", 3), "<absent>");
  EXPECT_TRUE(PostTotals('H', "2403VTE1", "+D", 100, 15.24));
  EXPECT_EQ(Label(*TableC10, "C10CODE", "C2403VTE1", 3), "Journal des ventes");
  unread("the collective of a supplier", [] {
    bool refused = false;
    EXPECT_EQ(AccountTotalsCodes("FMARTIN", false, &refused), std::vector<std::string>{"FMARTIN "});
    EXPECT_TRUE(refused);
  });
  unread("the collectives of the letters", [] { EXPECT_TRUE(CollectiveAccounts(*TableC10).empty()); });
  ASSERT_TRUE(TableC10->OpenShared(base, "C10CODE"));
  EXPECT_EQ(CollectiveAccounts(*TableC10), (std::map<char, std::string>{{'F', "40100000"}}));
  bool refused = false;
  EXPECT_EQ(AccountTotalsCodes("FMARTIN", false, &refused), (std::vector<std::string>{"FMARTIN ", "40100000"}));
  EXPECT_FALSE(refused);
}

// Totals equal the sum of the lines, in francs and in euros, after random postings and
// reversals of earlier postings.
TEST_F(TotalsTest, TotalsStayTheSumOfTheLines) {
  struct Line { std::string account, section, header; bool debit; long long francs, euros; };  // amounts in cents
  struct Sums {
    long long cents[4] = {};  // debit and credit in francs, then in euros
    void Move(const Line& l, int sign) {
      cents[l.debit ? 0 : 1] += sign * l.francs;
      cents[l.debit ? 2 : 3] += sign * l.euros;
    }
    std::vector<double> AsTotals() const {
      return {FromCents(cents[0]), FromCents(cents[1]), FromCents(cents[2]), FromCents(cents[3])};
    }
  };
  // Client accounts go to the collective 44444444 as well, the others to themselves only.
  const std::vector<std::string> accounts{"41100000", "CDUPONT", "51200000"};
  const std::vector<std::string> sections{"", "A1"};
  const std::vector<std::string> headers{"2403VTE1", "2404VTE1"};
  std::mt19937 rng(20240601);
  std::vector<Line> posted;
  std::vector<bool> reversed;
  std::map<std::string, Sums> byAccount, bySection, byHeader;
  for (int i = 0; i < 60; ++i) {
    const bool reverse = !posted.empty() && rng() % 4 == 0;
    Line l;
    int sign = 1;
    if (reverse) {
      const std::size_t k = rng() % posted.size();
      if (reversed[k]) continue;
      reversed[k] = true;
      l = posted[k];
      sign = -1;
    } else {
      l.account = accounts[rng() % accounts.size()];
      l.section = sections[rng() % sections.size()];
      l.header = headers[rng() % headers.size()];
      l.debit = rng() % 2 == 0;
      l.francs = static_cast<long long>(rng() % 100000000);  // up to a million francs
      l.euros = ToCents(FromCents(l.francs) / 6.55957);
      posted.push_back(l);
      reversed.push_back(false);
    }
    const std::string op = std::string(sign > 0 ? "+" : "-") + (l.debit ? "D" : "C");
    PostTotals('A', l.account, op.c_str(), FromCents(l.francs), FromCents(l.euros));
    PostTotals('S', l.section, op.c_str(), FromCents(l.francs), FromCents(l.euros));
    PostTotals('H', l.header, op.c_str(), FromCents(l.francs), FromCents(l.euros));
    byAccount[l.account].Move(l, sign);
    if (l.account[0] == 'C') byAccount["44444444"].Move(l, sign);
    if (!l.section.empty()) bySection[l.section].Move(l, sign);
    byHeader[l.header].Move(l, sign);
  }
  for (const auto& [code, sums] : byAccount) EXPECT_EQ(Account(code), sums.AsTotals()) << code;
  for (const auto& [code, sums] : bySection) EXPECT_EQ(Section(code), sums.AsTotals()) << code;
  for (const auto& [code, sums] : byHeader) {
    const std::vector<double> t = sums.AsTotals();
    EXPECT_EQ(Header(code), std::make_pair(Total14(t[0]) + Total14(t[1]), Total14(t[2]) + Total14(t[3])))
        << code;
  }
  EXPECT_EQ(TableC20->RecCount(), byAccount.size());
  EXPECT_EQ(TableC30->RecCount(), bySection.size());
  EXPECT_TRUE(Boxes().empty());
}

}  // namespace
}  // namespace data_test
