// A small dossier written line by line for the trial-balance tests: its code lists, accounts,
// sections, closed and draft lines, and the sort file derived from them, as the entry and
// validation runs write them. Amounts are given in euros; the francs follow at 6.55957.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "data/closed_lines.h"
#include "data/dossier_files.h"
#include "data/entry_lines.h"
#include "data/session.h"
#include "data/table.h"
#include "dossier/core/dossier_create.h"
#include "support/books_writes.h"
#include "support/line_files.h"
#include "support/runtime_fixture.h"
#include "runtime/text.h"

namespace test_support {

struct FixtureLine {
  char file = 'C';            // "C" closed (C40), "B" draft (C50)
  std::string account;        // 8 characters as stored ("41100000", "CDUPONT")
  std::string date;           // stored YYMMDD
  std::string journal;
  std::string piece;
  char sense = 'D';
  double euros = 0;
  std::string label;
  std::string labelCode;
  std::string letterE, letterF;
  std::string due;            // stored YYMMDD
  std::string validation;     // stored YYMMDD (closed lines)
  char cls = 'Z';             // "W"/"Y" analytic line: account = section, generalAccount = its account
  std::string generalAccount;
  int number = 1;
};

// A line from its fields in declaration order; the ones left out keep their defaults.
inline FixtureLine L(char file, const std::string& account, const std::string& date, const std::string& journal,
                     const std::string& piece, char sense, double euros, const std::string& label = "",
                     const std::string& labelCode = "", const std::string& letterE = "",
                     const std::string& letterF = "", const std::string& due = "",
                     const std::string& validation = "", char cls = 'Z', const std::string& generalAccount = "",
                     int number = 1) {
  FixtureLine l;
  l.file = file;
  l.account = account;
  l.date = date;
  l.journal = journal;
  l.piece = piece;
  l.sense = sense;
  l.euros = euros;
  l.label = label;
  l.labelCode = labelCode;
  l.letterE = letterE;
  l.letterF = letterF;
  l.due = due;
  l.validation = validation;
  l.cls = cls;
  l.generalAccount = generalAccount;
  l.number = number;
  return l;
}

struct FixtureAccount {
  std::string code, name;
  double prevDebit = 0, prevCredit = 0, budget = 0;  // euros
};

class BalanceDossierTest : public RuntimeTest {
 public:
  void SetUp() override {
    RuntimeTest::SetUp();
    ASSERT_EQ(StartDbSession(), 0);
    folder_ = Dir() + "/dos/";
    std::string message;
    ASSERT_TRUE(CreateDossier(folder_, "BAL", "Soci\xE9t\xE9 d'essai", Ymd{2026, 1, 1}, Ymd{2026, 12, 31}, &message))
        << message;
    SetDossier(folder_, "BAL");
  }
  void TearDown() override {
    CloseAllTables();
    StopDbSession();
    RuntimeTest::TearDown();
  }

  static double Francs(double euros) { return std::round(euros * 6.55957 * 100.0) / 100.0; }
  std::string Path(const char* table) const { return folder_ + table + std::string("bal.dbf"); }

  void AddCode(char kind, const std::string& code, const std::string& name, const std::string& zone) {
    Table c10;
    ASSERT_TRUE(c10.OpenShared(Path("c10"), "C10CODE"));
    ASSERT_TRUE(c10.AppendBlank());
    c10.PutField(1, std::string(1, kind).c_str());
    c10.PutField(2, code.c_str());
    c10.PutField(3, name.c_str());
    c10.PutField(4, zone.c_str());
    ASSERT_TRUE(c10.InsertRecord());
  }
  void AddJournal(const std::string& code, const std::string& name, bool dashboard = true) {
    std::string zone(24, ' ');
    zone += dashboard ? "O" : "N";
    AddCode('J', code, name, zone);
  }
  void AddCollective(char letter, const std::string& account, const std::string& name) {
    AddCode('B', std::string(1, letter), name, account);
  }
  void AddAccounts(const std::vector<FixtureAccount>& accounts, bool sections = false) {
    Table t;
    ASSERT_TRUE(t.OpenShared(Path(sections ? "c30" : "c20")));
    for (const FixtureAccount& a : accounts) {
      ASSERT_TRUE(t.AppendBlank());
      t.PutField(1, a.code.c_str());
      t.PutField(2, a.name.c_str());
      const int debit = sections ? 13 : 21, credit = sections ? 15 : 23, budget = sections ? 17 : 28;
      t.PutFieldNum(debit, Francs(a.prevDebit));
      t.PutFieldNum(debit + 1, a.prevDebit);
      t.PutFieldNum(credit, Francs(a.prevCredit));
      t.PutFieldNum(credit + 1, a.prevCredit);
      t.PutFieldNum(budget, Francs(a.budget));
      t.PutFieldNum(budget + 1, a.budget);
      ASSERT_TRUE(t.InsertRecord());
    }
  }
  // Writes the lines into C40 and C50, then the sort file from both.
  void AddLines(const std::vector<FixtureLine>& lines) {
    const test_support::SetUpPermit permit("lignes mises en place");
    Table c40, c50, c60;
    ASSERT_TRUE(c40.OpenShared(Path("c40")));
    ASSERT_TRUE(c50.OpenShared(Path("c50")));
    using LE = LigneEcriture;
    for (const FixtureLine& l : lines) {
      const bool closed = l.file == 'C';
      Table& t = closed ? c40 : c50;
      auto put = [&](int draftField, const std::string& value) {
        const int f = closed ? LE::ClosedFieldOf(draftField) : draftField;
        if (f != 0) t.PutField(f, value.c_str());
      };
      ASSERT_TRUE(t.AppendBlank());
      put(LE::BCLE, std::string(1, l.cls));
      put(LE::BMOIS, l.date.substr(0, 4));
      put(LE::BJAL, l.journal);
      put(LE::BPIECE, l.piece);
      put(LE::BREC, "000001");
      char num[8];
      std::snprintf(num, sizeof num, "%04d", l.number);
      put(LE::BNUM, num);
      put(LE::BNUMA, "0001");
      put(LE::BJOUR, l.date.substr(4, 2));
      put(LE::BCODE, l.account);
      put(LE::BCLIB, l.labelCode);
      put(LE::BLIB, l.label);
      put(LE::BECHEANCE, l.due);
      put(LE::BEURO, "O");
      put(LE::BSENS, std::string(1, l.sense));
      t.PutFieldNum(closed ? int{LE::DMONTANTF} : int{LE::BMONTANTF}, Francs(l.euros));
      t.PutFieldNum(closed ? int{LE::DMONTANTE} : int{LE::BMONTANTE}, l.euros);
      put(LE::BLET, l.letterF);
      put(LE::BLETE, l.letterE);
      put(LE::BCG, l.generalAccount);
      if (closed) t.PutField(LE::DVALID, l.validation.c_str());
      ASSERT_TRUE(t.InsertRecord());
    }
    c40.CloseTable(true);
    c50.CloseTable(true);
    ASSERT_TRUE(c40.OpenShared(Path("c40")));
    ASSERT_TRUE(c50.OpenShared(Path("c50")));
    ASSERT_TRUE(c60.OpenExclusive(Path("c60")));
    ASSERT_TRUE(RefillSortRecords(c40, c50, c60));
  }

  // Writes `text` as stored bytes (a damaged file) over the amount in euros of the line of `file`
  // ("C" closed, "B" draft) on `account` in `piece`; its record number, 0 when there is none.
  std::uint32_t DamageLine(char file, const std::string& account, const std::string& piece, const std::string& text) {
    const std::string p = file == 'C' ? "D" : "B";
    RawRecords raw(Path(file == 'C' ? "c40" : "c50"));
    for (std::uint32_t n = 1; n <= raw.Count(); ++n) {
      const std::string r = raw.Record(n);
      if (Trimmed(raw.Field(r, p + "CODE")) == Trimmed(account) && Trimmed(raw.Field(r, p + "PIECE")) == piece) {
        raw.Put(n, p + "MONTANTE", text);
        return n;
      }
    }
    return 0;
  }
  // The same over field `field` of the account `code` of C20; its record number.
  std::uint32_t DamageAccount(const std::string& code, const std::string& field, const std::string& text) {
    RawRecords raw(Path("c20"));
    for (std::uint32_t n = 1; n <= raw.Count(); ++n)
      if (Trimmed(raw.Field(raw.Record(n), "CCODE")) == code) {
        raw.Put(n, field, text);
        return n;
      }
    return 0;
  }

  // The dossier most tests read: a year 2026 with an opening entry, sales and purchases on
  // auxiliary accounts, matched lines (one letter reaching past June), bank payments, a journal
  // kept out of the dashboard, a draft month, due dates for the ageing, a negative line, a zero
  // line, labels with accents, "\x80", "\x9C", a tab and a "|", and previous-year figures.
  void FillStandardDossier() {
    AddJournal("AN", "A nouveaux");
    AddJournal("VE", "Ventes");
    AddJournal("AC", "Achats");
    AddJournal("BQ", "Banque");
    AddJournal("OD", "Op\xE9rations diverses", false);
    AddCode('L', "F", "Facture", "Facture");
    AddCode('L', "R", "R\xE8glement", "R\xE8gl.  ");
    AddCollective('C', "41100000", "Clients");
    AddCollective('F', "40100000", "Fournisseurs");
    AddAccounts({
        {"10100000", "Capital", 0, 50000},
        {"40100000", "Fournisseurs", 0, 1200},
        {"41100000", "Clients", 2500, 0},
        {"44571000", "TVA collect\xE9" "e", 0, 0},
        {"51200000", "Banque \x80 \x9Cuvre", 30000, 0},
        {"60100000", "Achats", 0, 0, 12000},
        {"62600000", "Frais postaux", 150, 150},
        {"70100000", "Ventes", 0, 0},
        {"CDUPONT ", "Dupont et fils", 2500, 0},
        {"CMARTIN ", "Martin\tSA|", 0, 0},
        {"FACME   ", "Acme fournitures", 0, 1200},
    });
    std::vector<FixtureLine> lines = {
        // Opening entry, validated at the year's start.
        L('C', "51200000", "C60101", "AN", "000001", 'D', 30000.00, "Report", "", "", "", "", "C60101"),
        L('C', "10100000", "C60101", "AN", "000001", 'C', 50000.00, "Report", "", "", "", "", "C60101", 'Z', "", 2),
        L('C', "CDUPONT ", "C60101", "AN", "000001", 'D', 2500.00, "Report", "", "AA", "AA", "", "C60101", 'Z', "", 3),
        L('C', "FACME   ", "C60101", "AN", "000001", 'C', 1200.00, "Report", "", "", "", "", "C60101", 'Z', "", 4),
        L('C', "62600000", "C60101", "AN", "000001", 'D', 18700.00, "Report", "", "", "", "", "C60101", 'Z', "", 5),
        // Sales of February and March, a payment in April lettering the first.
        L('C', "CDUPONT ", "C60214", "VE", "000002", 'D', 1200.00, "Caf\xE9 \x80 \x9Cuf", "F", "AB", "AB", "C60316", "C60301"),
        L('C', "70100000", "C60214", "VE", "000002", 'C', 1000.00, "Caf\xE9\tcr\xE8me|", "F", "", "", "", "C60301", 'Z', "", 2),
        L('C', "44571000", "C60214", "VE", "000002", 'C', 200.00, "", "F", "", "", "", "C60301", 'Z', "", 3),
        L('C', "CMARTIN ", "C60320", "VE", "000003", 'D', 600.00, "Vente", "", "AC", "AC", "C60420", "C60401"),
        L('C', "70100000", "C60320", "VE", "000003", 'C', 600.00, "Vente", "", "", "", "", "C60401", 'Z', "", 2),
        L('C', "51200000", "C60410", "BQ", "000004", 'D', 1200.00, "", "R", "", "", "", "C60501"),
        L('C', "CDUPONT ", "C60410", "BQ", "000004", 'C', 1200.00, "", "R", "AB", "AB", "", "C60501", 'Z', "", 2),
        // The payment of the March sale comes in July: its letter reaches past June.
        L('C', "51200000", "C60705", "BQ", "000005", 'D', 600.00, "Martin", "", "", "", "", "C60801"),
        L('C', "CMARTIN ", "C60705", "BQ", "000005", 'C', 600.00, "Martin", "", "AC", "AC", "", "C60801", 'Z', "", 2),
        // A purchase with its credit note on the debit side (an entry makes no amount below zero),
        // an OD kept out of the month columns.
        L('C', "60100000", "C60505", "AC", "000006", 'D', 800.00, "Achat", "", "", "", "C60605", ""),
        L('C', "FACME   ", "C60505", "AC", "000006", 'C', 900.00, "Achat", "", "", "", "C60605", "", 'Z', "", 2),
        L('C', "60100000", "C60505", "AC", "000006", 'D', 100.00, "Avoir", "", "", "", "", "", 'Z', "", 3),
        L('C', "62600000", "C60615", "OD", "000007", 'D', 45.50, "Timbres", "", "", "", "", "C60701"),
        L('C', "51200000", "C60615", "OD", "000007", 'C', 45.50, "Timbres", "", "", "", "", "C60701", 'Z', "", 2),
        // A zero line in a balanced piece.
        L('C', "62600000", "C60620", "OD", "000008", 'D', 0.00, "Rien", "", "", "", "", "C60701"),
        L('C', "51200000", "C60620", "OD", "000008", 'C', 0.00, "Rien", "", "", "", "", "C60701", 'Z', "", 2),
        // A draft month.
        L('B', "60100000", "C61105", "AC", "000009", 'D', 300.00, "Brouillon"),
        L('B', "FACME   ", "C61105", "AC", "000009", 'C', 300.00, "Brouillon", "", "", "", "", "", 'Z', "", 2),
    };
    AddLines(lines);
  }

  std::string folder_;
};

}  // namespace test_support
