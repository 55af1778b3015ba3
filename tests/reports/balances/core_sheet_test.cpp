// The balance sheet without a window, on the small dossier of the trial-balance tests: the
// models made from their sources, the initialisation, the computation run against an
// independent computation over the tables read by python3-dbfread, the totals of the edition.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "balance_fixture.h"
#include "data/record_fields.h"
#include "data/table.h"
#include "dossier/core/dossier_run_marker.h"
#include "reports/balances/core/account_gathering.h"
#include "reports/balances/core/balance_sheet_compile.h"
#include "reports/balances/core/balance_sheet_edition.h"
#include "runtime/numbers.h"
#include "reports/balances/core/balance_sheet_init.h"
#include "reports/balances/core/balance_sheet_model.h"
#include "reports/balances/core/balance_sheet_report.h"
#include "reports/balances/core/balance_sheet_run.h"
#include "reports/balances/core/code_lists.h"
#include "runtime/inifiles.h"
#include "support/line_files.h"
#include "support/report_export_run.h"
#include "runtime/text.h"
#include "support/python.h"
#include "support/refused_read.h"

using namespace balances;
namespace fs = std::filesystem;

namespace {

std::string ModelSource(char letter, bool params) {
  return std::string(MERLON_SOURCE_DIR) + "/src/resources/models/" + (params ? "cpbilan" : "clbilan") + letter +
         ".csv";
}

class BalanceSheetTest : public test_support::BalanceDossierTest {
 protected:
  void SetUp() override {
    BalanceDossierTest::SetUp();
    FillStandardDossier();
    std::string message;
    for (char l : {'r', 's'})
      ASSERT_TRUE(CompileModel(ModelSource(l, false), ModelSource(l, true), ProgramFolder, l, &message)) << message;
  }

  InitOutcome Init(char letter, bool c70ReadOnly = false) {
    Table c10, c70;
    EXPECT_TRUE(c10.OpenShared(Path("c10"), "C10CODE"));
    EXPECT_TRUE(c70.OpenExclusive(Path("c70"), "C70CODE", c70ReadOnly));
    return InitialiseBalanceSheet(c10, c70, ProgramFolder, letter);
  }

  SheetRun Run(char letter, const std::string& start, const std::string& end, bool euroOnly = true) {
    SheetRunInput in;
    in.c10 = Path("c10");
    in.c20 = Path("c20");
    in.c40 = Path("c40");
    in.c50 = Path("c50");
    in.c60 = Path("c60");
    in.params = ModelPath(ProgramFolder, letter, true);
    in.c70 = Path("c70");
    // The fixture's francs are each line's euros converted: a piece may miss a cent in francs.
    in.euroOnly = euroOnly;
    in.period = {"C60101", "C61231", start, end};
    return RunBalanceSheet(in);
  }

  std::vector<SheetLine> Lines() {
    Table c70;
    EXPECT_TRUE(c70.OpenShared(Path("c70"), "C70CODE", true));
    std::vector<SheetLine> lines;
    LoadSheetLines(c70, lines);
    return lines;
  }

  // The annex records: GCODE -> the packed text of each currency.
  std::vector<std::array<std::string, 3>> Annex() {
    Table c10;
    EXPECT_TRUE(c10.OpenShared(Path("c10"), "C10CODE", true));
    std::vector<std::array<std::string, 3>> out;
    for (bool on = c10.GoTop() && c10.SkipActive(false); on; on = c10.SkipActive(true))
      if (c10.GetField(1)[0] == 'j') out.push_back({c10.GetField(2), c10.GetField(4), c10.GetField(5)});
    return out;
  }

  void AddAnnexRecord(const std::string& code) { AddCode('j', code, "ancien", "ancien"); }

  // Three balanced pieces of `big` euros on three fixed-asset accounts of one box (028).
  void ThreeBigFixedAssets(double big) {
    AddAccounts({{"21500000", "Mat\xE9riel"}, {"21810000", "Installations"}, {"23100000", "En cours"},
                 {"16400000", "Emprunts"}, {"10610000", "R\xE9serve l\xE9gale"}});
    AddLines({test_support::L('C', "21500000", "C60301", "OD", "000021", 'D', big, "Machine"),
              test_support::L('C', "10100000", "C60301", "OD", "000021", 'C', big, "Apport", "", "", "", "", "", 'Z', "", 2),
              test_support::L('C', "21810000", "C60302", "OD", "000022", 'D', big, "Atelier"),
              test_support::L('C', "16400000", "C60302", "OD", "000022", 'C', big, "Pr\xEAt", "", "", "", "", "", 'Z', "", 2),
              test_support::L('C', "23100000", "C60303", "OD", "000023", 'D', big, "Chantier"),
              test_support::L('C', "10610000", "C60303", "OD", "000023", 'C', big, "R\xE9serve", "", "", "", "", "", 'Z', "", 2)});
  }
  // The fixture's francs are each line's euros converted: its pieces may miss a few cents in francs. The
  // closed credit line on `account` takes what the francs miss, so that the books balance in both currencies.
  void BalanceTheFrancs(const std::string& account) {
    const long long miss = Run('S', "C60101", "C61231", false).computation.generalBalance[0];
    if (miss == 0) return;
    test_support::RawRecords raw(Path("c40"));
    for (std::uint32_t n = 1; n <= raw.Count(); ++n) {
      const std::string r = raw.Record(n);
      if (Trimmed(raw.Field(r, "DCODE")) != account || raw.Field(r, "DSENS") != "C") continue;
      raw.Put(n, "DMONTANTF", AmountText14(FromCents(StoredAmountCents(raw.Field(r, "DMONTANTF")) + miss)));
      return;
    }
    ADD_FAILURE() << "no credit line on " << account;
  }
  static std::string Bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream all;
    all << in.rdbuf();
    return all.str();
  }

  // Every C70 column poste with its amounts (cents).
  std::map<std::string, Amounts> Postes(const std::vector<SheetLine>& lines) {
    std::map<std::string, Amounts> postes;
    for (const SheetLine& l : lines)
      for (std::size_t c = 0; c < 4; ++c)
        if (!l.postes[c].empty()) postes[l.postes[c]] = l.cents[c];
    return postes;
  }
};

// The line of a model whose form and box are those given.
const SheetLine* LineOf(const std::vector<SheetLine>& lines, const std::string& note) {
  for (const SheetLine& l : lines)
    if (l.note == note) return &l;
  return nullptr;
}

TEST_F(BalanceSheetTest, TheInitialisationCopiesTheModelAndDropsTheAnnex) {
  for (char letter : {'S', 'R'}) {
    SCOPED_TRACE(letter);
    AddAnnexRecord("101010CDUPONT ");
    ASSERT_EQ(Init(letter), InitOutcome::kDone);
    EXPECT_TRUE(Annex().empty());
    {
      Table c70;
      ASSERT_TRUE(c70.OpenShared(Path("c70"), "C70CODE", true));
      EXPECT_EQ(HeaderType(c70), letter == 'S' ? '3' : '0');
    }
    const std::string model = ModelPath(ProgramFolder, letter, false) + ".dbf";
    const std::string script =
        "import dbfread\n"
        "def rows(p):\n"
        "    return [tuple(str(v) for v in r.values()) for r in dbfread.DBF(p, encoding='cp1252')]\n"
        "a, b = rows('" + model + "'), rows('" + Path("c70") + "')\n"
        "print(len(a), a == b, [(x, y) for x, y in zip(a, b) if x != y][:1])\n";
    const std::string out = test_support::RunPythonScript(script, true);
    EXPECT_NE(out.find(" True"), std::string::npos) << out;
    EXPECT_NE(out.substr(0, 2), "0 ") << out;
  }
}

TEST_F(BalanceSheetTest, AModelMissingOrOfAnotherTypeOrAC70ThatCannotBeEmptiedChangesNothing) {
  ASSERT_EQ(Init('S'), InitOutcome::kDone);
  AddAnnexRecord("101010CDUPONT ");
  const std::size_t lines = Lines().size();
  // "clbilana" holds the lines of model S: its type character is not "A".
  fs::copy_file(ModelPath(ProgramFolder, 'S', false) + ".dbf", ProgramFolder + "clbilana.dbf");
  struct Case {
    char letter;
    bool readOnly;
    InitOutcome outcome;
  } const cases[] = {
      {'B', false, InitOutcome::kMissing},
      {'A', false, InitOutcome::kWrongType},
      {'R', true, InitOutcome::kEmptyFailed},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.letter);
    EXPECT_EQ(Init(c.letter, c.readOnly), c.outcome);
    EXPECT_EQ(Lines().size(), lines);
    EXPECT_EQ(Annex().size(), 1u);
  }
  EXPECT_NE(InitOutcomeMessage(InitOutcome::kMissing, 'B').find("'CLBILAN?.DBF' est introuvable"), std::string::npos);
  EXPECT_NE(InitOutcomeMessage(InitOutcome::kDone, 'B').find("Bilan 'Autre' (B)"), std::string::npos);
}

// Parameters of a model that do not open: no parameter, and the message names the path whole after its text.
TEST_F(BalanceSheetTest, ModelParametersThatDoNotOpenNameTheirPath) {
  for (const std::string& path : {ProgramFolder + "clbilanx", std::string("absent/clbilanz")}) {
    SCOPED_TRACE(path);
    std::vector<ModelParam> params(1);
    std::string message;
    EXPECT_FALSE(LoadModelParams(path, params, &message));
    EXPECT_TRUE(params.empty());
    EXPECT_EQ(message, "Le fichier des param\xE8" "tres du Bilan ne s'ouvre pas: " + path);
  }
}

struct FigureCase {
  char model;
  const char* start;
  const char* end;
  const char* assets;       // form and box of total assets, of total liabilities, of the result
  const char* liabilities;
  const char* result;
};

const FigureCase kFigureCases[] = {
    {'S', "C60101", "C61231", "2033-A 110", "2033-A 180", "2033-B 310"},
    {'S', "C60101", "C60630", "2033-A 110", "2033-A 180", "2033-B 310"},
    {'R', "C60101", "C61231", "2050 CO", "2051 EE", "2053 HN"},
    {'R', "C60101", "C60630", "2050 CO", "2051 EE", "2053 HN"},
    {'R', "C60301", "C60630", "2050 CO", "2051 EE", "2053 HN"},
};

TEST_F(BalanceSheetTest, FiguresAgreeWithAnIndependentComputationAndTheSheetBalances) {
  for (const FigureCase& c : kFigureCases) {
    SCOPED_TRACE(std::string(1, c.model) + " " + c.start + "-" + c.end);
    ASSERT_EQ(Init(c.model), InitOutcome::kDone);
    const SheetRun run = Run(c.model, c.start, c.end);
    ASSERT_EQ(run.outcome, RunOutcome::kDone) << run.message;
    EXPECT_EQ(run.computation.ErrorCount(), 0u);
    std::vector<SheetLine> lines = Lines();
    const std::map<std::string, Amounts> postes = Postes(lines);

    // The oracle's postes, from the tables and the parameter CSV.
    const std::string script = "import sys\nsys.argv = ['x', '" + folder_ + "', '" +
                               ModelSource(static_cast<char>(c.model + 32), true) + "', 'C60101', '" + c.start +
                               "', '" + c.end + "', '" + ModelSource(static_cast<char>(c.model + 32), false) +
                               "']\nexec(open('" + MERLON_SOURCE_DIR +
                               "/tests/reports/balances/sheet_oracle.py').read())\n";
    std::istringstream oracle(test_support::RunPythonScript(script, true));
    std::string poste;
    Amounts result{};
    int count = 0;
    int prior = 0;
    while (oracle >> poste) {
      // A previous-year box made again from the current year's parameters.
      const bool isPrior = poste == "PRIOR";
      if (isPrior) oracle >> poste;
      Amounts want{};
      oracle >> want[0] >> want[1];
      if (poste == "RESULT") {
        result = want;
        continue;
      }
      ASSERT_NE(poste, "UNPLACED");
      if (isPrior) {
        ++prior;
        ASSERT_TRUE(postes.count(poste)) << poste;
        EXPECT_EQ(postes.at(poste), want) << "previous year " << poste;
        continue;
      }
      ++count;
      ASSERT_TRUE(postes.count(poste)) << poste;
      EXPECT_EQ(postes.at(poste), want) << poste;
      EXPECT_EQ(run.computation.postes.at(poste), want) << poste;
    }
    EXPECT_GT(count, 5);
    EXPECT_GT(prior, 3);
    EXPECT_EQ(run.computation.result, result);

    // The annex records sum per poste to the amounts carried (the result's poste aside).
    std::map<std::string, Amounts> annexSums;
    for (const auto& a : Annex())
      for (int cur = 0; cur < 2; ++cur)
        annexSums[a[0].substr(3, 3)][cur] += std::llround(std::stod(a[1 + cur].substr(65, 14)) * 100);
    std::string resultPoste = c.model == 'S' ? "136" : "DI ";
    for (const auto& [p, sum] : annexSums) {
      std::string trimmed = Trimmed(p);
      Amounts want = postes.at(trimmed);
      if (p == resultPoste)
        for (int cur = 0; cur < 2; ++cur) want[cur] -= result[cur];
      EXPECT_EQ(sum, want) << p;
    }

    // The header label carries the period; the totals of the edition balance.
    EXPECT_EQ(lines.front().label.substr(3, 8), ConvertDate(c.start));
    EXPECT_EQ(lines.front().label.substr(15, 8), ConvertDate(c.end));
    for (int cur = 0; cur < 2; ++cur) {
      std::vector<SheetLine> totals = lines;
      TotalsPass(totals, cur);
      const SheetLine* assets = LineOf(totals, c.assets);
      const SheetLine* liabilities = LineOf(totals, c.liabilities);
      const SheetLine* resultLine = LineOf(totals, c.result);
      ASSERT_TRUE(assets != nullptr && liabilities != nullptr && resultLine != nullptr);
      EXPECT_NE(assets->cents[2][cur], 0);
      // Assets less liabilities are what the general balance misses (in francs, a cent here).
      EXPECT_EQ(assets->cents[2][cur] - liabilities->cents[2][cur], run.computation.generalBalance[cur]) << cur;
      EXPECT_EQ(run.computation.generalBalance[1], 0);
      if (std::string(c.start) == "C60101") {
        EXPECT_EQ(resultLine->cents[2][cur], result[cur]) << cur;
      }
    }
  }
}

TEST_F(BalanceSheetTest, TheResultIsThatOfTheGeneralTrialBalance) {
  ASSERT_EQ(Init('S'), InitOutcome::kDone);
  const SheetRun run = Run('S', "C60101", "C60630");
  ASSERT_EQ(run.outcome, RunOutcome::kDone);
  BalanceSource source;
  ChartList chart;
  CodeLists codes;
  ASSERT_TRUE(source.Load(Path("c60"), Path("c50"), Path("c40")));
  ASSERT_TRUE(chart.LoadAccounts(Path("c20")));
  ASSERT_TRUE(codes.Load(Path("c10")));
  for (int cur = 0; cur < 2; ++cur) {
    GatherContext context;
    context.options = MakeOptions('G', "C60101", "C60630", false, 'S', '1', cur == 1);
    context.frame = MakePeriodFrame(context.options, "C60101", "C61231");
    context.collectiveList = codes.CollectiveList();
    Gatherer g(source, chart, context);
    const BalanceTotals t = Gatherer::Totals(g.GatherList(), '1');
    EXPECT_EQ(run.computation.result[static_cast<std::size_t>(cur)], -t.result) << cur;
  }
}

TEST_F(BalanceSheetTest, AnAccountNoParameterTakesIsAnAssignmentError) {
  AddAccounts({{"47199999", "Attente"}});
  AddLines({
      test_support::L('C', "47199999", "C60301", "OD", "000010", 'D', 75.00, "Attente"),
      test_support::L('C', "51200000", "C60301", "OD", "000010", 'C', 75.00, "Attente", "", "", "", "", "", 'Z', "", 2),
  });
  ASSERT_EQ(Init('S'), InitOutcome::kDone);
  const SheetRun run = Run('S', "C60101", "C61231");
  ASSERT_EQ(run.outcome, RunOutcome::kDone);
  EXPECT_EQ(run.computation.unassigned, std::vector<std::string>{"47199999"});
  EXPECT_TRUE(run.computation.modelErrors.empty());
  EXPECT_NE(RunLogLine(run).find("CALCUL DU BILAN - Ok - "), std::string::npos);
}

// The log line of each outcome, its figures and reasons in their places.
TEST(BalanceSheetLog, EachOutcomeHasItsWholeLine) {
  SheetRun run;
  run.computation.accounts = 12;
  run.computation.annex.resize(3);
  run.computation.unassigned = {"47199999"};
  run.computation.modelErrors = {"40100000"};
  run.message = "Le fichier C40 ne s'ouvre pas";
  run.refusal = "c70.dbf: disque plein";
  const struct {
    RunOutcome outcome;
    const char* line;
  } cases[] = {
      {RunOutcome::kDone, "CALCUL DU BILAN - Ok - 12 compte(s), 3 ligne(s) d'annexe, 2 erreur(s)"},
      {RunOutcome::kUnbalanced, "CALCUL DU BILAN - Erreur: balance g\xE9n\xE9rale d\xE9s\xE9quilibr\xE9" "e"},
      {RunOutcome::kReadFailed, "CALCUL DU BILAN - Erreur: Le fichier C40 ne s'ouvre pas"},
      {RunOutcome::kWriteFailed, "CALCUL DU BILAN - Erreur: \xE9" "criture refus\xE9" "e - c70.dbf: disque plein"},
  };
  for (const auto& c : cases) {
    run.outcome = c.outcome;
    EXPECT_EQ(RunLogLine(run), c.line);
  }
}

// A file a balance reads that does not open, or opened does not read: its title, the error, its path, a "%s"
// in the path kept as written.
TEST(BalanceFileMessages, NameTheFileTheErrorAndThePath) {
  EXPECT_EQ(FileNotOpenedMessage("C20 \"Plan Comptable\"", 3, "/d/c20"),
            "Le fichier C20 \"Plan Comptable\" ne s'ouvre pas (erreur 3).\n\n/d/c20");
  EXPECT_EQ(FileNotReadMessage("C60 \"Tri des Ecritures\"", 104, "/d/%s/c60"),
            "Le fichier C60 \"Tri des Ecritures\" ne se lit pas (erreur 104).\n\n/d/%s/c60");
}

TEST_F(BalanceSheetTest, AnUnbalancedGeneralBalanceIsRefusedBeforeAnyChange) {
  ASSERT_EQ(Init('S'), InitOutcome::kDone);
  AddAnnexRecord("101010CDUPONT ");
  AddLines({test_support::L('C', "51200000", "C60301", "OD", "000011", 'D', 10.00, "Seul")});
  const auto before = Lines();
  const SheetRun run = Run('S', "C60101", "C61231");
  EXPECT_EQ(run.outcome, RunOutcome::kUnbalanced);
  EXPECT_NE(RunLogLine(run).find(" - Erreur: "), std::string::npos);
  const auto after = Lines();
  ASSERT_EQ(after.size(), before.size());
  for (std::size_t i = 0; i < after.size(); ++i) {
    EXPECT_EQ(after[i].label, before[i].label);
    EXPECT_EQ(after[i].cents, before[i].cents);
  }
  EXPECT_EQ(Annex().size(), 1u);
  // Before the lone line, the period of March is balanced: a period ending earlier runs.
  EXPECT_EQ(Run('S', "C60101", "C60228").outcome, RunOutcome::kDone);
}

// Three balanced pieces of 10 000 000 000,00 euros (65 595 700 000,00 francs each, within a
// line's field) on three fixed-asset accounts of one box: the box would take 196 787 100 000,00
// francs, past what it holds. In a dossier that shows its francs the run refuses before any change
// in one sentence naming the box, its line and that amount, never as a refused write: C70 and C10
// keep their bytes, no marker stays.
TEST_F(BalanceSheetTest, ABoxItsFieldCannotHoldIsRefusedByNameBeforeAnyChange) {
  ASSERT_EQ(Init('S'), InitOutcome::kDone);
  AddAnnexRecord("101010CDUPONT ");
  ThreeBigFixedAssets(10'000'000'000.00);
  BalanceTheFrancs("10610000");
  const std::string c70 = Bytes(Path("c70")), c10 = Bytes(Path("c10"));
  const SheetRun run = Run('S', "C60101", "C61231", false);
  EXPECT_EQ(run.outcome, RunOutcome::kTooLarge);
  EXPECT_EQ(run.message.rfind("La case 028 du Bilan (ligne ", 0), 0u) << run.message;
  EXPECT_NE(run.message.find("mais le calcul lui donne 196 787 100 000,00 francs : le Bilan n'a pas \xE9t\xE9 modifi\xE9."),
            std::string::npos)
      << run.message;
  EXPECT_EQ(run.message.find("disque"), std::string::npos) << run.message;
  EXPECT_EQ(RunLogLine(run), "CALCUL DU BILAN - Erreur: " + run.message);
  EXPECT_TRUE(Bytes(Path("c70")) == c70) << "C70 changed";
  EXPECT_TRUE(Bytes(Path("c10")) == c10) << "C10 changed";
  EXPECT_FALSE(DossierRunMarkerExists());
}

// Pieces of 6 000 000 000,00 euros in a dossier kept only in euros, which no edition shows in francs: box 028
// takes 18 000 000 000,00 euros, 118 072 260 000,00 francs, past the francs' field. The run goes to its end,
// the box's euros written whole and its francs left blank, never cut nor refused for (so are the annex's francs
// of the credit accounts, -39 357 420 000,00 francs each). The edition in euros takes the box; one in francs
// (the dossier shown in francs again) names it and asks for a new computation rather than sum a blank as 0.
TEST_F(BalanceSheetTest, AEuroOnlySheetPastTheFrancsIsComputed) {
  ASSERT_EQ(Init('S'), InitOutcome::kDone);
  ThreeBigFixedAssets(6'000'000'000.00);
  const SheetRun run = Run('S', "C60101", "C61231", true);
  ASSERT_EQ(run.outcome, RunOutcome::kDone) << run.message;
  EXPECT_FALSE(DossierRunMarkerExists());
  const std::vector<SheetLine> lines = Lines();
  EXPECT_EQ(Postes(lines)["028"][1], 1'800'000'000'000);
  Table c70, c10;
  ASSERT_TRUE(c70.OpenExclusive(Path("c70"), "C70CODE"));
  ASSERT_TRUE(c10.OpenShared(Path("c10"), "C10CODE"));
  int boxes = 0;
  for (const SheetLine& l : lines)
    for (int c = 1; c <= 4; ++c)
      if (l.postes[static_cast<std::size_t>(c - 1)] == "028") {
        ++boxes;
        ASSERT_TRUE(c70.GoTo(static_cast<long>(l.recno)));
        c70.GetFieldNum(sheet_field::Amount(c, 0));
        EXPECT_TRUE(c70.blank) << "the francs left blank, not " << c70.GetField(sheet_field::Amount(c, 0));
        EXPECT_EQ(ToCents(c70.GetFieldNum(sheet_field::Amount(c, 1))), 1'800'000'000'000);
      }
  EXPECT_EQ(boxes, 1);
  // An account's francs that fit the annex are written whole; those past it blank, the text keeping its places.
  int annexed = 0;
  for (const auto& a : Annex()) {
    if (a[0].find("21500000") != std::string::npos) {
      ++annexed;
      EXPECT_EQ(a[1].substr(51, 14), "39357420000.00") << a[1];
      EXPECT_EQ(a[2].substr(51, 14), " 6000000000.00") << a[2];
    }
    if (a[0].find("16400000") != std::string::npos) {
      ++annexed;
      EXPECT_EQ(a[1].substr(51, 14), std::string(14, ' ')) << a[1];
      EXPECT_EQ(a[1].size(), a[2].size()) << a[1];
    }
  }
  EXPECT_EQ(annexed, 2);

  SheetEditionReport euros(c70, c10);
  euros.currency = 1;
  EXPECT_TRUE(euros.PrepareReport()) << euros.TotalPastItsField();
  SheetEditionReport francs(c70, c10);
  francs.currency = 0;
  EXPECT_FALSE(francs.PrepareReport());
  EXPECT_EQ(francs.TotalPastItsField().rfind("La case 028 du Bilan (ligne ", 0), 0u) << francs.TotalPastItsField();
  EXPECT_NE(francs.TotalPastItsField().find("n'a pas de montant en francs"), std::string::npos)
      << francs.TotalPastItsField();
}

// A loss of 11 000 000 000,00 euros (72 155 270 000,00 francs, within a line's field): the box of the year's
// result would take less than -9 999 999 999,99 euros, past what its field holds on its negative side. The run
// refuses before any change, naming the box and its negative amount; C70 and C10 keep their bytes.
TEST_F(BalanceSheetTest, ANegativeBoxPastItsFieldIsRefusedByName) {
  ASSERT_EQ(Init('S'), InitOutcome::kDone);
  AddAccounts({{"60110000", "Achats de marchandises"}, {"45510000", "Associ\xE9s"}});
  const double loss = 11'000'000'000.00;
  AddAccounts({{"45520000", "Associ\xE9s, second"}});
  AddLines({test_support::L('C', "60110000", "C60301", "OD", "000031", 'D', loss, "Perte"),
            test_support::L('C', "45510000", "C60301", "OD", "000031", 'C', loss / 2, "Apport", "", "", "", "", "", 'Z', "", 2),
            test_support::L('C', "45520000", "C60301", "OD", "000031", 'C', loss / 2, "Apport", "", "", "", "", "", 'Z', "", 3)});
  const std::string c70 = Bytes(Path("c70")), c10 = Bytes(Path("c10"));
  const SheetRun run = Run('S', "C60101", "C61231", true);
  EXPECT_EQ(run.outcome, RunOutcome::kTooLarge) << run.message;
  EXPECT_EQ(run.message.rfind("La case ", 0), 0u) << run.message;
  EXPECT_NE(run.message.find("mais le calcul lui donne -1"), std::string::npos) << run.message;
  EXPECT_NE(run.message.find(" euros : le Bilan n'a pas \xE9t\xE9 modifi\xE9."), std::string::npos) << run.message;
  EXPECT_TRUE(Bytes(Path("c70")) == c70) << "C70 changed";
  EXPECT_TRUE(Bytes(Path("c10")) == c10) << "C10 changed";
  EXPECT_FALSE(DossierRunMarkerExists());
}

// Every account of classes 1 to 7 (by its first four digits) goes to one poste whatever the
// sense of its balance, this year and the previous one; the suspense accounts 471-475 to none.
TEST_F(BalanceSheetTest, TheModelsAssignEveryAccountOfThePcgOnce) {
  for (char letter : {'R', 'S'}) {
    std::vector<ModelParam> params;
    ASSERT_TRUE(LoadModelParams(ModelPath(ProgramFolder, letter, true), params));
    for (int prefix = 1000; prefix <= 7999; ++prefix) {
      const std::string account = std::to_string(prefix) + "0000";
      const bool suspense = prefix >= 4710 && prefix <= 4759;
      for (char source : {'B', 'N'})
        for (long long balance : {100LL, -100LL}) {
          int taking = 0;
          for (const ModelParam& p : params) taking += p.source == source && p.Covers(account) && p.Takes(balance);
          EXPECT_EQ(taking, suspense ? 0 : 1) << letter << " " << account << " " << source << " " << balance;
        }
    }
    int results = 0, previousResults = 0;
    for (const ModelParam& p : params) {
      results += p.source == 'R';
      previousResults += p.source == 'P';
    }
    EXPECT_EQ(results, 1) << letter;
    EXPECT_EQ(previousResults, 1) << letter;

    // Each poste is the box of one line and one column: a previous-year box shared by two lines
    // would print their joined accounts on both.
    Table model;
    ASSERT_TRUE(model.OpenShared(ModelPath(ProgramFolder, letter, false), "", true));
    std::vector<SheetLine> lines;
    ASSERT_TRUE(LoadSheetLines(model, lines));
    std::map<std::string, std::string> owner;
    for (const SheetLine& l : lines)
      for (const std::string& poste : l.postes)
        if (!poste.empty()) {
          const auto [at, fresh] = owner.emplace(poste, l.note);
          EXPECT_TRUE(fresh) << letter << " " << poste << ": " << at->second << " and " << l.note;
        }
  }
}

// What the edition reads: the macros' answers from the postes, the annex records' fields.
TEST_F(BalanceSheetTest, TheEditionFindsThePostesAndReadsTheAnnex) {
  ASSERT_EQ(Init('S'), InitOutcome::kDone);
  ASSERT_EQ(Run('S', "C60101", "C61231").outcome, RunOutcome::kDone);
  std::vector<SheetLine> lines = Lines();
  TotalsPass(lines, 1);
  const PosteIndex index(lines);
  const SheetLine* total = LineOf(lines, "2033-A 110");
  ASSERT_NE(total, nullptr);
  // The amount grouped whole in 14 characters, as the reports print amounts.
  EXPECT_EQ(index.Value("110", 1), GroupedAmount(total->cents[0][1], 14));
  EXPECT_EQ(index.Label("068").substr(0, 28), "Clients et comptes rattach\xE9s");
  EXPECT_EQ(index.Value("ZZ", 1), "?BLV:ZZ ?");
  EXPECT_EQ(index.Label("AB"), "?BLL:AB ?");

  bool dupont = false;
  for (const auto& a : Annex()) {
    const AnnexRecord r = ParseAnnexRecord(a[0], "", a[2]);
    if (r.account != "CDUPONT ") continue;
    dupont = true;
    EXPECT_EQ(r.poste, "068");
    EXPECT_EQ(r.section, 'A');
    EXPECT_EQ(r.label, "Clients et comptes rattach\xE9s");
    EXPECT_EQ(r.amount, 2500.0);
    EXPECT_EQ(r.carried, 2500.0);
    EXPECT_EQ(r.previous, 2500.0);
  }
  EXPECT_TRUE(dupont);
}

// A line whose first two columns are added, each at 60 000 000 000,00 euros (within its field):
// the edition's total of its third column cannot be held. The edition stops before it writes any
// total, naming the line and that total, never as a refused save; C70 keeps its bytes.
TEST_F(BalanceSheetTest, AnEditionTotalPastItsFieldIsRefusedByName) {
  ASSERT_EQ(Init('S'), InitOutcome::kDone);
  ASSERT_EQ(Run('S', "C60101", "C61231").outcome, RunOutcome::kDone);
  const std::vector<SheetLine> lines = Lines();
  const auto added = std::find_if(lines.begin(), lines.end(), [](const SheetLine& l) {
    return l.calc.size() == 3 && l.calc[0] == 'C' && l.calc[2] != '-';
  });
  ASSERT_NE(added, lines.end());
  Table c70, c10;
  ASSERT_TRUE(c70.OpenExclusive(Path("c70"), "C70CODE"));
  ASSERT_TRUE(c10.OpenShared(Path("c10"), "C10CODE"));
  ASSERT_TRUE(c70.GoTo(static_cast<long>(added->recno)));
  for (int column : {1, 2}) ASSERT_TRUE(c70.PutFieldNum(sheet_field::Amount(column, 1), 60'000'000'000.00));
  const auto bytes = [&] {
    std::ifstream in(Path("c70"), std::ios::binary);
    std::stringstream all;
    all << in.rdbuf();
    return all.str();
  };
  const std::string before = bytes();
  SheetEditionReport edition(c70, c10);
  edition.currency = 1;
  EXPECT_FALSE(edition.PrepareReport());
  EXPECT_EQ(edition.TotalPastItsField().rfind("Le total de la ligne " + Trimmed(added->code) + " du Bilan (", 0), 0u)
      << edition.TotalPastItsField();
  EXPECT_NE(edition.TotalPastItsField().find("mais l'\xE9" "dition lui donne 120 000 000 000,00 euros"), std::string::npos)
      << edition.TotalPastItsField();
  EXPECT_EQ(edition.RefusedSaves(), 0);
  EXPECT_TRUE(bytes() == before) << "C70 changed";
}

// The edition reads the computed sheet before its run: a box whose euros do not read ("abc" where
// a foreign program wrote) counts as zero on the screen, and an export of the edition is refused by
// the report engine, the record and its field named; the sound sheet exports.
TEST_F(BalanceSheetTest, AnExportOfTheEditionIsRefusedOverABoxThatDoesNotRead) {
  ASSERT_EQ(Init('S'), InitOutcome::kDone);
  ASSERT_EQ(Run('S', "C60101", "C61231").outcome, RunOutcome::kDone);
  const std::vector<SheetLine> lines = Lines();
  const auto boxed =
      std::find_if(lines.begin(), lines.end(), [](const SheetLine& l) { return l.cents[0][1] != 0; });
  ASSERT_NE(boxed, lines.end());
  const std::string layout = "[Export:csv][Export][ITD][TT-Avant][@MONTANT1][TT-Suivant]\r\n[ITF]";
  const std::string path = folder_ + "edition.csv";
  const auto exported = [&](std::vector<std::string>& warnings) {
    Table c70, c10;
    EXPECT_TRUE(c70.OpenShared(Path("c70"), "C70CODE"));
    EXPECT_TRUE(c10.OpenShared(Path("c10"), "C10CODE"));
    SheetEditionReport edition(c70, c10);
    edition.currency = 1;
    if (!edition.PrepareReport()) return std::string("<not prepared>");
    return test_support::RunLayoutToExport(edition, layout, path, nullptr, &warnings);
  };
  std::vector<std::string> warnings;
  EXPECT_NE(exported(warnings), "");
  EXPECT_EQ(warnings, std::vector<std::string>{});
  test_support::RawRecords(Path("c70")).Put(boxed->recno, "BMTE1", "abc");
  EXPECT_EQ(exported(warnings), "");
  EXPECT_FALSE(std::filesystem::exists(path));
  ASSERT_EQ(warnings.size(), 1u);
  EXPECT_NE(warnings[0].find("C70BAL.DBF enregistrement " + std::to_string(boxed->recno) + ", champ BMTE1"),
            std::string::npos)
      << warnings[0];
}

TEST(BalanceSheetEdition, LineTypesAndLinesLeftOut) {
  struct Case {
    const char* previous;
    const char* code;
    const char* calc;
    const char* label;
    long long amount;
    char previousFirst;
    char letter;
    bool kept;  // without the lines "ne comportant rien"
  } const cases[] = {
      {"101", "102", "C1 ", "Fonds", 5, 'A', 'S', true},
      {"150", "201", "C3 ", "Capital", 5, 'A', 'R', true},
      {"101", "102", "C  ", "-", 0, 'A', 'T', true},
      {"101", "102", "C  ", "_", 0, '-', 'U', false},
      {"101", "102", "C1 ", "*Italique", 0, 'A', 'I', false},
      {"101", "102", "C1 ", "-", 5, 'A', 'S', true},
      {"101", "102", "T1 ", "Total", 0, 'A', 'S', true},
      {"101", "102", "C  ", "TITRE", 0, 'A', 'S', true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.calc) + c.label);
    SheetLine l;
    l.code = c.code;
    l.calc = c.calc;
    l.label = c.label;
    l.cents[2][1] = c.amount;
    EXPECT_TRUE(PrintableLine(l));
    EXPECT_EQ(ClassifySheetLine(c.previous, l), c.letter);
    EXPECT_EQ(KeepLine(l, c.previousFirst, false, 1), c.kept);
    EXPECT_TRUE(KeepLine(l, c.previousFirst, true, 1));
  }
  SheetLine op;
  op.calc = "A12";
  EXPECT_FALSE(PrintableLine(op));
}

TEST(BalanceSheetTotals, AccumulatorsAndPercentages) {
  struct L {
    const char* calc;
    long long a1, a2, a3, a4;
  };
  // A line with blank digits accumulates nothing: T9's fourth column stays that of C9.
  const L input[] = {
      {"R9 ", 0, 0, 0, 0},   {"C9 ", 100, -30, 0, 50}, {"C  ", 0, 0, 0, 999}, {"CX ", 0, 0, 0, 7},
      {"T9 ", 0, 0, 0, 0},   {"C1 ", 0, 0, 40, 0},     {"A91", 0, 0, 0, 0},    {"T1 ", 0, 0, 0, 0},
      {"S12", 0, 0, 0, 0},   {"T2 ", 0, 0, 0, 0},      {"R1 ", 0, 0, 0, 0},    {"T1 ", 0, 0, 0, 0},
      {"C1-", 100, 30, 0, 50}, {"C1-", 0, 12, 0, 0},   {"T1 ", 0, 0, 0, 0},
  };
  const long long want[][4] = {
      {0, 0, 0, 0}, {100, -30, 70, 50}, {0, 0, 0, 999}, {0, 0, 0, 7}, {100, -30, 70, 50}, {0, 0, 40, 0},
      {0, 0, 0, 0}, {100, -30, 110, 50}, {0, 0, 0, 0}, {-100, 30, -110, -50}, {0, 0, 0, 0}, {0, 0, 0, 0},
      // Depreciation written positive is taken from the gross.
      {100, 30, 70, 50}, {0, 12, -12, 0}, {100, 42, 58, 50},
  };
  std::vector<SheetLine> lines;
  for (const L& l : input) {
    SheetLine s;
    s.calc = l.calc;
    s.cents = {{{0, l.a1}, {0, l.a2}, {0, l.a3}, {0, l.a4}}};
    lines.push_back(s);
  }
  TotalsPass(lines, 1);
  for (std::size_t i = 0; i < lines.size(); ++i)
    for (std::size_t c = 0; c < 4; ++c) EXPECT_EQ(lines[i].cents[c][1], want[i][c]) << i << " " << c;
  EXPECT_EQ(lines[1].percent, "  40.00");
  EXPECT_EQ(lines[2].percent, "       ");

  EXPECT_EQ(AccumulatorIndex('9', 4), 36);
  EXPECT_EQ(AccumulatorIndex('1', 1), 1);
  EXPECT_EQ(AccumulatorIndex(' ', 4), -1);
  EXPECT_EQ(AccumulatorIndex('0', 1), -1);
}

// The models shipped in the share folder open in python3-dbfread and carry their type.
TEST(BalanceSheetModels, TheShippedModelsOpenAndCarryTheirType) {
  const std::string share = std::string(MERLON_BINARY_DIR) + "/share/merlon/";
  const std::string script =
      "import dbfread\n"
      "for m in 'sr':\n"
      "    lines = sorted(dbfread.DBF('" + share + "clbilan' + m + '.dbf', encoding='cp1252'), key=lambda r: r['BLN'])\n"
      "    params = list(dbfread.DBF('" + share + "cpbilan' + m + '.dbf', encoding='cp1252'))\n"
      "    print(m, lines[0]['BLIB'][46], len(lines) > 40, len(params) > 100)\n";
  EXPECT_EQ(test_support::RunPythonScript(script, true), "s 3 True True\nr 0 True True\n");
}

// The annex's general file refused by the disk from the edition's first read of it: the edition
// says the file, never an annex with nothing in it; the sound file edits its annex.
TEST_F(BalanceSheetTest, AnAnnexTheDiskRefusesToReadIsSaidNeverShownEmpty) {
  ASSERT_EQ(Init('S'), InitOutcome::kDone);
  ASSERT_EQ(Run('S', "C60101", "C61231").outcome, RunOutcome::kDone);
  const std::string file = "/" + std::filesystem::path(Path("c10")).filename().string();
  for (const bool refused : {false, true}) {
    SCOPED_TRACE(refused ? "c10 refused" : "sound");
    Table c70, c10;
    ASSERT_TRUE(c70.OpenShared(Path("c70"), "C70CODE"));
    // Opened while reads are counted, so that the engine reads the file rather than maps it.
    test_support::RefusedRead::Arm(file, INT_MAX);
    ASSERT_TRUE(c10.OpenShared(Path("c10"), "C10CODE"));
    if (refused) test_support::RefusedRead::Arm(file, 1, true);
    SheetEditionReport edition(c70, c10);
    edition.currency = 1;
    edition.annex = true;
    const bool prepared = edition.PrepareReport();
    test_support::RefusedRead::Disarm();
    EXPECT_EQ(prepared, !refused);
    EXPECT_EQ(edition.LastEmptyText(), "");
    if (refused) EXPECT_NE(edition.RefusedRead().find("c10bal"), std::string::npos) << edition.RefusedRead();
    else EXPECT_EQ(edition.RefusedRead(), "");
  }
}

}  // namespace
