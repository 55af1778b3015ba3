// Account-total updates: records created where missing, collective accounts, blank codes,
// journal-month headers and their 14-character totals, and totals equal to the sum of the lines after random postings and reversals.
#include <cmath>
#include <fstream>
#include <filesystem>
#include <map>
#include <random>

#include "data/account_totals.h"
#include "runtime/numbers.h"
#include "data_test_util.h"
#include "runtime/session_registry.h"
#include "support/line_files.h"

namespace data_test {
namespace {

// The totals' own moves, tested one by one: each stands for a change of lines, whose permit the
// fixture holds.
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
    MajCompteC20(p.code, p.op, p.francs, p.euros);

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
  MajCompteC20("411", "+D", 1, 0.15);
  const std::uint32_t accounts = TableC20->RecCount();
  for (const char* code : {"", "        ", "         9"}) MajCompteC20(code, "+D", 10, 1.52);
  MajCompteC20(nullptr, "+D", 10, 1.52);
  EXPECT_EQ(TableC20->RecCount(), accounts);
  EXPECT_EQ(Account("00000000"), std::vector<double>{});
  EXPECT_EQ(LogLines("MAJCOMPTEC20 - Erreur: compte vide"), 4);
  MajCentC10("", "+D", 10, 1.52);
  EXPECT_EQ(TableC10->RecCount(), 0u);
  for (const char* code : {"", "        "}) MajAnalC30(code, "+D", 10, 1.52);
  EXPECT_EQ(TableC30->RecCount(), 0u);
  EXPECT_TRUE(Boxes().empty());
}

// A missing header is labelled with its journal's name, unless that journal is cancelled.
TEST_F(TotalsTest, JournalMonthHeaders) {
  Add(*TableC10, {"J", "VTE", "Journal des ventes"});
  Add(*TableC10, {"J", "ACH", "Achats (supprim\xE9)"});
  ASSERT_TRUE(TableC10->DeleteRecord("", 1));
  MajCentC10("2403VTE1", "+D", 100, 15.24);
  MajCentC10("2403ACH1", "+C", 20, 3.05);
  EXPECT_EQ(Label(*TableC10, "C10CODE", "C2403VTE1", 3), "Journal des ventes");
  EXPECT_EQ(Label(*TableC10, "C10CODE", "C2403ACH1", 3), "MajCentC10 (Centralisateur)");
  EXPECT_EQ(Header("2403VTE1"), std::make_pair(Total14(100) + Total14(0), Total14(15.24) + Total14(0)));

  // A zero amount leaves its field as it was, whatever it holds.
  ASSERT_TRUE(TableC10->Seek("C10CODE", "C2403VTE1"));
  ASSERT_TRUE(TableC10->PutField(5, "texte libre"));
  MajCentC10("2403VTE1", "+C", 30, 0);
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
  MajCompteC20("411", "+D", 1, 0.15);
  MajCompteC20("512", "+D", 1, 0.15);

  // The account form holds 411, the matching window 512.
  ASSERT_TRUE(TableC20->Seek("C20CODE", "41100000"));
  ASSERT_TRUE(LockRecord(*TableC20, "", 0));
  FormRecordLocks[kAccountFormLockEntry] = TableC20->recordNumber;
  SetRegistryText(kRegistryHeldAccountPos, kRegistryHeldAccountWidth, "51200000");
  MajCompteC20("411", "+D", 1, 0.15);
  MajCompteC20("512", "+D", 1, 0.15);
  EXPECT_TRUE(lockedElsewhere(other, "41100000"));
  EXPECT_TRUE(lockedElsewhere(other, "51200000"));
  FormRecordLocks[kAccountFormLockEntry] = 0;
  SetRegistryText(kRegistryHeldAccountPos, kRegistryHeldAccountWidth, "");
  MajCompteC20("411", "+D", 1, 0.15);
  MajCompteC20("512", "+D", 1, 0.15);
  EXPECT_FALSE(lockedElsewhere(other, "41100000"));
  EXPECT_FALSE(lockedElsewhere(other, "51200000"));

  // A header stays locked while its journal is being entered.
  MajCentC10("2403VTE1", "+D", 1, 0.15);
  EXPECT_FALSE(lockedElsewhere(otherC10, "C2403VTE1"));
  SetRegistryText(554, 1, "1");
  SetRegistryText(565, 7, "2403VTE");
  MajCentC10("2403VTE1", "+D", 1, 0.15);
  EXPECT_TRUE(lockedElsewhere(otherC10, "C2403VTE1"));
}

TEST_F(TotalsTest, HeaderTotalThatNoLongerFitsKeepsItsValue) {
  Add(*TableC10, {"C", "2403VTE1", "Ventes", Total14(99999999999.0) + Total14(5), Total14(0) + Total14(0)});
  MajCentC10("2403VTE1", "+D", 1, 0.15);
  // Field 4's debit keeps its last value; field 5 moved as usual.
  EXPECT_EQ(Header("2403VTE1"), std::make_pair(Total14(99999999999.0) + Total14(5), Total14(0.15) + Total14(0)));
  ASSERT_EQ(Boxes().size(), 1u);
  EXPECT_EQ(Boxes()[0].caption, "ATTENTION");
  EXPECT_NE(Boxes()[0].text.find("2403VTE1"), std::string::npos);
  EXPECT_EQ(LogLines("MAJCENTC10 - Erreur: total du centralisateur 2403VTE1"), 1);


  // A total already unreadable is never taken for 0.
  ASSERT_TRUE(TableC10->Seek("C10CODE", "C2403VTE1"));
  ASSERT_TRUE(TableC10->PutField(5, (std::string(14, '*') + Total14(1)).c_str()));
  MajCentC10("2403VTE1", "+D", 0, 2);
  MajCentC10("2403VTE1", "+C", 0, 2);
  EXPECT_EQ(Header("2403VTE1").second, std::string(14, '*') + Total14(3));
  EXPECT_EQ(Boxes().size(), 2u);
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
    MajCentC10(header.c_str(), "+D", 1, 0.15);
    EXPECT_EQ(Header(header), std::make_pair(Total14(1) + Total14(5), Total14(0.15) + Total14(0)));

    const std::string account = "6070000" + std::to_string(n);
    MajCompteC20(account.c_str(), "+D", 3, 0.46);
    TableC20->CloseTable(true);
    test_support::RawRecords raw(c20);
    for (std::uint32_t r = 1; r <= raw.Count(); ++r)
      if (raw.Field(raw.Record(r), "CCODE") == account) raw.Put(r, "CDEBITF", stored);
    ASSERT_TRUE(TableC20->OpenShared(DossierPath(TableKind::C20), "C20CODE"));
    MajCompteC20(account.c_str(), "+D", 1, 0.15);
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
      {[] { MajCompteC20("411", "+D", 1, 0.15); }, TableKind::C20, "C20CODE", "41100000"},
      {[] { MajAnalC30("S1", "+D", 1, 0.15); }, TableKind::C30, "C30CODE", "S1      "},
      {[] { MajCentC10("2403VTE1", "+D", 1, 0.15); }, TableKind::C10, "C10CODE", "C2403VTE1"},
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
    MajCompteC20(l.account.c_str(), op.c_str(), FromCents(l.francs), FromCents(l.euros));
    MajAnalC30(l.section.c_str(), op.c_str(), FromCents(l.francs), FromCents(l.euros));
    MajCentC10(l.header.c_str(), op.c_str(), FromCents(l.francs), FromCents(l.euros));
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
