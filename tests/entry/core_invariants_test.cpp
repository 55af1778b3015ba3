// The invariant check of a dossier and the oracle's: a generated dossier (cancelled pieces and
// lines, two analytic axes, a closed journal-month) keeps every rule, and so does what the
// program's commands make of it; each kind of damage is told by both, each reading the files its
// own way, and the check says whether the books are apart or only their totals wrong.
#include <functional>
#include <map>
#include <set>

#include "core_fixture.h"
#include "runtime/numbers.h"
#include "support/books_writes.h"

namespace entry_test {
namespace {

class InvariantsTest : public CoreTest {
 public:
  // A fresh generated dossier in its own folder, made the program's.
  void Fresh(const std::string& name) {
    c50.CloseTable();
    c60.CloseTable();
    CloseAllTables();
    DemoOptions options;
    options.folder = Dir() + "/" + name;
    options.code = "JE";
    options.lines = 200;
    options.analyticMode = '2';
    options.seed = 7;
    std::string message;
    ASSERT_TRUE(GenerateDemoDossier(options, &message)) << message;
    SetDossier(options.folder + "/", "JE");
    OpenTables();
  }
  // What the check and the oracle say, the oracle's faults one a line.
  std::pair<std::string, std::string> Verdicts() {
    DossierInvariants check;
    const std::string ours = check.Check() ? "" : check.Report();
    int status = -1;
    const std::string oracle = test_support::RunPythonScript(
        "import sys, runpy\nsys.argv = ['check_demo.py', '" + std::string(DossierFolder) + "', 'JE', '--invariants']\n"
        "runpy.run_path('" + test_support::DemoOracle() + "', run_name='__main__')\n",
        true, &status);
    return {ours, status == 0 ? "" : oracle};
  }
  // The first live general line with an amount, current on c50.
  std::uint32_t LiveLine(char kind = 'Z') {
    for (std::uint32_t r = 1; r <= c50.RecCount(); ++r)
      if (c50.GoTo(r) && !c50.IsDeleted() && c50.GetField(L::BCLE)[0] == kind && c50.GetFieldNum(L::BMONTANTE) != 0)
        return r;
    ADD_FAILURE() << "no live line of kind " << kind;
    return 0;
  }
  // The second live line of kind `kind` of a group (a general line) or of a split (an analytic line)
  // given the number (`field`, and its sort record's `sortField`) of the first.
  void SameNumber(char kind, int field, int sortField, std::uint32_t* firstRecord = nullptr) {
    std::map<std::string, std::uint32_t> first;
    for (std::uint32_t r = 1; r <= c50.RecCount(); ++r) {
      if (!c50.GoTo(r) || c50.IsDeleted() || c50.GetField(L::BCLE)[0] != kind) continue;
      std::string group = std::string(c50.GetField(L::BMOIS)) + c50.GetField(L::BJAL) + c50.GetField(L::BPIECE);
      group += kind == 'Z' ? std::string(c50.GetField(L::BREC))
                           : std::string(c50.GetField(L::BCG)) + c50.GetField(L::BNUM) + c50.GetField(L::BCLE);
      const auto [at, added] = first.emplace(group, r);
      if (added) continue;
      if (firstRecord != nullptr) *firstRecord = at->second;
      ASSERT_TRUE(c50.GoTo(at->second));
      const std::string number = c50.GetField(field);
      ASSERT_TRUE(c50.GoTo(r));
      ASSERT_TRUE(c50.PutField(field, number.c_str()));
      ASSERT_TRUE(T::Find(c60, T::kDraft, r));
      ASSERT_TRUE(c60.PutField(sortField, number.c_str()));
      return;
    }
    ADD_FAILURE() << "no two live lines of kind " << kind << " in one group or split";
  }
  // A live general line with a live analytic split, current on c50.
  std::uint32_t SplitLine() {
    const std::uint32_t w = LiveLine('W');
    const std::string piece = c50.GetField(L::BPIECE), number = c50.GetField(L::BNUM), account = c50.GetField(L::BCG);
    for (std::uint32_t r = w; r >= 1; --r)
      if (c50.GoTo(r) && !c50.IsDeleted() && c50.GetField(L::BCLE)[0] == 'Z' && piece == c50.GetField(L::BPIECE) &&
          number == c50.GetField(L::BNUM) && account == c50.GetField(L::BCODE))
        return r;
    ADD_FAILURE() << "no general line before the analytic line " << w;
    return 0;
  }
};

TEST_F(InvariantsTest, EveryDamageIsToldByTheCheckAndByTheOracle) {
  Fresh("clean");
  const auto clean = Verdicts();
  EXPECT_EQ(clean.first, "");
  EXPECT_EQ(clean.second, "");

  const struct Case {
    const char* name;
    const char* ours;    // a part of the check's report
    const char* oracle;  // a part of the oracle's
    bool apart;          // the books cannot be one state (else only totals are wrong)
    std::function<void(InvariantsTest&)> damage;
  } cases[] = {
      {"sort record cancelled alone", "son enregistrement de tri est annul", "sort record of line B", true,
       [](InvariantsTest& t) {
         const std::uint32_t r = t.LiveLine();
         ASSERT_TRUE(T::Find(t.c60, T::kDraft, r));
         ASSERT_TRUE(t.c60.DeleteRecord(nullptr, 0));
       }},
      {"sort record with another number", "diff\xE8re par TNUM", "sort record of line B", true,
       [](InvariantsTest& t) {
         ASSERT_TRUE(T::Find(t.c60, T::kDraft, t.LiveLine()));
         ASSERT_TRUE(t.c60.PutField(T::TNUM, "9999"));
       }},
      {"two sort records for a line", "2 enregistrements de tri", "points nowhere or twice", true,
       [](InvariantsTest& t) {
         ASSERT_TRUE(t.c50.GoTo(t.LiveLine()));
         ASSERT_TRUE(AppendLigneTri(t.c50, T::kDraft, t.c60));
       }},
      {"sort record pointing nowhere", "qui n'existe pas", "points nowhere or twice", true,
       [](InvariantsTest& t) {
         ASSERT_TRUE(T::Find(t.c60, T::kDraft, t.LiveLine()));
         ASSERT_TRUE(t.c60.PutField(T::TREC, "999999"));
       }},
      {"header total", "Centralisateur", "journal-month", false,
       [](InvariantsTest& t) {
         ASSERT_TRUE(t.c50.GoTo(t.LiveLine()));
         const std::string key = std::string(t.c50.GetField(L::BMOIS)) + t.c50.GetField(L::BJAL);
         ASSERT_TRUE(posting::FindHeader(*TableC10, key, posting::kDraftSource).IsFound());
         ASSERT_TRUE(TableC10->PutFieldPart(5, 1, 14, FormatNumber(14, 2, false, 1.0)));
       }},
      {"account total", "Compte", "account", false,
       [](InvariantsTest& t) {
         ASSERT_TRUE(TableC20->Seek("C20CODE", "51200000"));
         ASSERT_TRUE(TableC20->PutFieldNum(18, TableC20->GetFieldNum(18) + 0.01));
       }},
      {"section total", "Section", "section", false,
       [](InvariantsTest& t) {
         ASSERT_TRUE(TableC30->GoTo(2));
         ASSERT_TRUE(TableC30->PutFieldNum(12, TableC30->GetFieldNum(12) + 3));
       }},
      {"line amount changed alone", "Compte", "account", false,
       [](InvariantsTest& t) {
         ASSERT_TRUE(t.c50.GoTo(t.LiveLine()));
         ASSERT_TRUE(t.c50.PutFieldNum(L::BMONTANTE, t.c50.GetFieldNum(L::BMONTANTE) + 1));
       }},
      {"line cancelled alone", "est annul\xE9" "e, son enregistrement", "sort record of line B", true,
       [](InvariantsTest& t) {
         ASSERT_TRUE(t.c50.GoTo(t.LiveLine()));
         ASSERT_TRUE(t.c50.DeleteRecord(nullptr, 0));
       }},
      {"analytic line cancelled alone", "Section", "section", false,
       [](InvariantsTest& t) {
         const std::uint32_t r = t.LiveLine('W');
         ASSERT_TRUE(t.c50.GoTo(r));
         ASSERT_TRUE(t.c50.DeleteRecord(nullptr, 0));
         ASSERT_TRUE(T::Find(t.c60, T::kDraft, r));
         ASSERT_TRUE(t.c60.DeleteRecord(nullptr, 0));
       }},
      {"closed line without its header", "sans centralisateur", "journal-month", false,
       [](InvariantsTest& t) {
         Table c40;
         ASSERT_TRUE(c40.OpenShared(PathC40(), ""));
         ASSERT_TRUE(c40.AppendBlank());
         for (const auto& [f, v] : std::vector<std::pair<int, std::string>>{
                  {L::DCLE, "Z"}, {L::DCODE, "70700000"}, {L::DMOIS, "C512"}, {L::DJAL, "VE"}, {L::DSENS, "C"},
                  {L::DMONTANTF, "6.56"}, {L::DMONTANTE, "1.00"}})
           c40.PutField(f, v.c_str());
         ASSERT_TRUE(c40.InsertRecord());
         ASSERT_TRUE(AppendLigneTri(c40, T::kClosed, t.c60));
       }},
      // A change of lines that stopped half-way: the general line cancelled with its sort
      // record, its split left live.
      {"split left under a cancelled line", "ligne analytique active sous la ligne g\xE9n\xE9rale",
       "is live under the cancelled general line", true,
       [](InvariantsTest& t) {
         const std::uint32_t r = t.SplitLine();
         ASSERT_TRUE(t.c50.DeleteRecord(nullptr, 0));
         ASSERT_TRUE(T::Find(t.c60, T::kDraft, r));
         ASSERT_TRUE(t.c60.DeleteRecord(nullptr, 0));
       }},
      // The general line saved onto another account, with its sort record, its split left on
      // the old one.
      {"split left on the line's old account", "sa ligne g\xE9n\xE9rale", "its general line", true,
       [](InvariantsTest& t) {
         const std::uint32_t r = t.SplitLine();
         ASSERT_TRUE(t.c50.PutField(L::BCODE, "62600000"));
         ASSERT_TRUE(T::Find(t.c60, T::kDraft, r));
         ASSERT_TRUE(t.c60.PutField(T::TCODE, "62600000"));
       }},
      // A number taken twice, as a seek the disk refused once answered "free": the second line of a
      // group, or of a split, given the number of the first, with its sort record.
      {"two general lines of one number", "ligne active du num\xE9ro", "already held by line", true,
       [](InvariantsTest& t) { t.SameNumber('Z', L::BNUM, T::TNUM); }},
      {"two analytic lines of one number", "ligne analytique active du num\xE9ro", "already held by line", true,
       [](InvariantsTest& t) { t.SameNumber('W', L::BNUMA, T::TNUMA); }},
  };
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Fresh("case" + std::to_string(++n));
    {
      const test_support::SetUpPermit permit("livres abimes");
      c.damage(*this);
    }
    UnlockRecord(c50);
    UnlockRecord(c60);
    const auto [ours, oracle] = Verdicts();
    EXPECT_NE(ours.find(c.ours), std::string::npos) << ours;
    EXPECT_NE(oracle.find(c.oracle), std::string::npos) << oracle;
    DossierInvariants check;
    EXPECT_FALSE(check.Check());
    EXPECT_EQ(check.Apart(), c.apart) << ours;
    // A total alone never makes the books apart, and what is apart is never told as a total.
    for (const std::string& fault : check.ApartFaults())
      EXPECT_EQ(fault.find("Compte "), std::string::npos) << fault;
    EXPECT_EQ(check.TotalsAdvice().empty(), check.TotalsFaults().empty());
  }
}

// Two live lines of one number are named, the second against the first, by the whole check and by
// the check before a validation of their journal-month, which reads the lines' keys straight from
// the draft's blocks; once the first is cancelled (with its sort record), no line is named so.
TEST_F(InvariantsTest, TwoLiveLinesOfOneNumberAreNamedBeforeAValidationOfTheirMonth) {
  for (const char kind : {'Z', 'W'}) {
    SCOPED_TRACE(kind);
    Fresh(std::string("numero-") + kind);
    std::uint32_t first = 0;
    {
      const test_support::SetUpPermit permit("livres abimes");
      if (kind == 'Z') SameNumber('Z', L::BNUM, T::TNUM, &first);
      else SameNumber('W', L::BNUMA, T::TNUMA, &first);
    }
    ASSERT_NE(first, 0u);
    const std::uint32_t second = c50.RecNo();
    const std::string month = std::string(c50.GetField(L::BMOIS)) + c50.GetField(L::BJAL);
    UnlockRecord(c50);
    UnlockRecord(c60);
    const std::string named = "C50 ligne " + std::to_string(second) + ": ligne " +
                              (kind == 'Z' ? "active" : "analytique active") + " du num\xE9ro";
    const std::string against = "comme la ligne " + std::to_string(first) + " ";
    DossierInvariants whole, before;
    EXPECT_FALSE(whole.Check());
    EXPECT_FALSE(before.CheckKeeping({month}));
    for (const DossierInvariants* check : {&whole, &before}) {
      EXPECT_TRUE(check->Apart());
      const std::string report = check->Report();
      EXPECT_NE(report.find(named), std::string::npos) << report;
      EXPECT_NE(report.find(against), std::string::npos) << report;
    }
    // Before a validation of two other journal-months, whose lines mingle with theirs in the draft,
    // the two lines are not looked at: the run writes no line of theirs.
    std::set<std::string> others;
    for (std::uint32_t r = 1; r <= c50.RecCount() && others.size() < 2; ++r)
      if (c50.GoTo(r) && !c50.IsDeleted() && std::string(c50.GetField(L::BMOIS)) + c50.GetField(L::BJAL) != month)
        others.insert(std::string(c50.GetField(L::BMOIS)) + c50.GetField(L::BJAL));
    UnlockRecord(c50);
    ASSERT_EQ(others.size(), 2u);
    DossierInvariants elsewhere;
    EXPECT_TRUE(elsewhere.CheckKeeping({others.begin(), others.end()})) << elsewhere.Report();
    EXPECT_EQ(elsewhere.Report().find(" du num\xE9ro "), std::string::npos) << elsewhere.Report();
    {
      const test_support::SetUpPermit permit("livres abimes");
      ASSERT_TRUE(c50.GoTo(first));
      ASSERT_TRUE(c50.DeleteRecord(nullptr, 0));
      ASSERT_TRUE(T::Find(c60, T::kDraft, first));
      ASSERT_TRUE(c60.DeleteRecord(nullptr, 0));
    }
    UnlockRecord(c50);
    UnlockRecord(c60);
    DossierInvariants cancelled;
    cancelled.Check();
    EXPECT_EQ(cancelled.Report().find(" du num\xE9ro "), std::string::npos) << cancelled.Report();
  }
}

// What the program's own commands make keeps every rule: the collective of the suppliers
// cancelled in its list keeps collecting their lines, as the totals' writers find it.
TEST_F(InvariantsTest, ACancelledCollectiveKeepsEveryRule) {
  Fresh("collectif");
  ASSERT_TRUE(posting::FindC10(*TableC10, 'B', "F").IsFound());
  ASSERT_TRUE(TableC10->DeleteRecord(nullptr, 0));
  UnlockRecord(*TableC10);
  const auto [ours, oracle] = Verdicts();
  EXPECT_EQ(ours, "");
  EXPECT_EQ(oracle, "");
}

}  // namespace
}  // namespace entry_test
