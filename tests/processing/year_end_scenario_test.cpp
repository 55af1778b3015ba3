// Two years as a bookkeeper lives them: dossier A made by merlon-demo at its year's end, dossier B of
// the next year made with "Nouveau dossier"; A opened, "Génération des Soldes à Nouveau" carries A
// into B through its form, the unmatched and unreconciled lines one by one. Both dossiers are then
// read with dbfread and every figure of B computed again from A's files.
#include <QWidget>

#include <string>

#include "controls/mcontrols.h"
#include "controls/medit.h"
#include "data/dossier_invariants.h"
#include "dossier/dossier_record_commands.h"
#include "dossier/new_dossier.h"
#include "platform/gui/command.h"
#include "platform/gui/dialog.h"
#include "platform/gui/modal_seam.h"
#include "platform/system/process.h"
#include "processing/opening_balances_window.h"
#include "runtime/session_registry.h"
#include "runtime/xbase.h"
#include "shell/application.h"
#include "shell/handlers.h"
#include "shell/mdi_client.h"
#include "shell/registry.h"
#include "support/demo_oracle.h"
#include "support/dossier_fixture.h"
#include "support/python.h"

namespace {

// B's opening piece computed again from A: every account of classes 1 to 5 opens with its closing
// balance; the auxiliary accounts by their unmatched lines and the bank accounts by their
// unreconciled lines, one by one with their labels and due dates, a residual line taking the rest;
// the result on 12000000 or 12900000; B's previous-year columns are A's year; B's collective accounts
// are A's; the piece is B's first and B's counter went one further.
const char* kScenarioScript = R"PY(
import sys
from collections import Counter, defaultdict
from dbfread import DBF
a, b, prefixes = sys.argv[1], sys.argv[2], sys.argv[3]
def cents(x): return int(round((x or 0) * 100))
def rows(path): return DBF(path, encoding='cp1252')
def text(x): return (x or '').rstrip()
coll = {}
for r in rows(a + '/c10a.dbf'):
    if r['GCLE'] == 'B' and (r['GZONE1'] or '')[:8].strip():
        coll[r['GCODE'][0]] = r['GZONE1'][:8]
balance, prev, result = {}, {}, [0, 0]
for r in rows(a + '/c20a.dbf'):
    code = r['CCODE'].ljust(8)
    prev[code] = [cents(r[k]) for k in ('CDEBITF', 'CDEBITE', 'CCREDITF', 'CCREDITE')]
    if code in coll.values():
        continue
    f, e = cents(r['CDEBITF']) - cents(r['CCREDITF']), cents(r['CDEBITE']) - cents(r['CCREDITE'])
    kind = code[0] if code[0].isdigit() else coll.get(code[0], '?')[0]
    if kind in '6789':
        result[0] += f; result[1] += e
    elif kind in '12345' and (f or e):
        balance[code] = (f, e)
def detailed(code):
    return not code[0].isdigit() or '-' + code[:3] + '-' in prefixes
def line(p, r):
    s = 1 if r[p + 'SENS'] == 'D' else -1
    return (r[p + 'CODE'].ljust(8), text(r[p + 'LIB']), text(r[p + 'LIB2']) if p == 'D' else '',
            text(r[p + 'LIB3']) if p == 'D' else '', text(r[p + 'ECHEANCE']), s * cents(r[p + 'MONTANTF']),
            s * cents(r[p + 'MONTANTE']))
expected = Counter()
for p, name in (('D', '/c40a.dbf'), ('B', '/c50a.dbf')):
    for r in rows(a + name):
        code = r[p + 'CODE'].ljust(8)
        if r[p + 'CLE'] == 'Z' and code in balance and detailed(code) and not text(r[p + 'LETE']):
            expected[line(p, r)] += 1
got, sums, debit, credit, residuals, pieces = Counter(), defaultdict(lambda: [0, 0]), [0, 0], [0, 0], 0, set()
result_ok = False
for r in rows(b + '/c50b.dbf'):
    if r['BJAL'].strip() != 'AN':
        continue
    pieces.add(int(r['BPIECE']))
    l = line('B', r)
    code = l[0]
    side = debit if r['BSENS'] == 'D' else credit
    side[0] += abs(l[5]); side[1] += abs(l[6])
    if code.strip() in ('12000000', '12900000') and l[1] == "R\xe9sultat de l'exercice":
        result_ok = [l[5], l[6]] == result and (code.strip() == '12000000') == (result[0] < 0 or result[1] < 0)
        continue
    sums[code][0] += l[5]; sums[code][1] += l[6]
    if detailed(code):
        if l[1] == 'SAN Ecritures Point\xe9es':
            residuals += 1
        else:
            got[l] += 1
print('balanced', debit == credit, debit[0] > 0, debit[1] > 0)
opened = {k: tuple(v) for k, v in sums.items()}
print('opens', opened == balance, len(balance), [k for k in set(opened) | set(balance) if opened.get(k) != balance.get(k)][:4])
print('detail', got == expected, sum(expected.values()), len([k for k in expected if k[4]]))
print('residuals', residuals)
print('result', result_ok)
bad = [k for k, r in ((r['CCODE'].ljust(8), r) for r in rows(b + '/c20b.dbf')) if k in prev and
       [cents(r[x]) for x in ('CDEBNM1F', 'CDEBNM1E', 'CCRENM1F', 'CCRENM1E')] != prev[k] and any(prev[k])]
print('previous', not bad, bad[:3])
print('collectives', {r['GCODE'][0]: r['GZONE1'][:8] for r in rows(b + '/c10b.dbf') if r['GCLE'] == 'B'} == coll)
zone = [r['GZONE1'] for r in rows(b + '/c10b.dbf') if r['GCLE'] == '0'][0]
print('piece', pieces == {1}, zone[164:170])
)PY";

class YearEndScenarioTest : public test_support::DossierFixture {
 protected:
  void SetUp() override {
    DossierFixture::SetUp();
    InstallDossierRecordCommands();
    InstallYearEndCommands();
    gui::ModalSeam::Reset();
  }
  void TearDown() override {
    CloseWindows();
    for (unsigned id : {command_id::GenerationSoldesANouveau, command_id::SeparationExercices,
                        command_id::AjoutDossier, 20201u, 20204u, 20205u})
      SetCommandWork(id, {});
    DossierFixture::TearDown();
  }
  static TWTraGenerationSAN* Form() {
    return dynamic_cast<TWTraGenerationSAN*>(gui::Window::FromHandle(SlotHandle(kOpeningFormSlot)));
  }
  // Runs a program of the build and answers its exit status, its output in *out.
  static int Tool(const std::vector<std::string>& argv, std::string* out) {
    platform::LaunchOptions o;
    o.wait = true;
    o.captureOutput = true;
    const platform::LaunchResult r = platform::LaunchProcess(argv, o);
    *out = r.output;
    return r.exitStatus;
  }
  static int Python(const std::vector<std::string>& args, std::string* out) {
    std::vector<std::string> argv{"/usr/bin/python3"};
    argv.insert(argv.end(), args.begin(), args.end());
    return Tool(argv, out);
  }
};

TEST_F(YearEndScenarioTest, TheOpeningBalancesCarryYearAIntoTheNewDossierB) {
  const std::string a = root_ + "/a", b = root_ + "/b";
  std::string out;
  ASSERT_EQ(Tool({MERLON_DEMO, "--folder", a, "--code", "A", "--lines", "3000", "--year", "2026", "--year-end", "OUI"},
                 &out),
            0)
      << out;
  ASSERT_EQ(Python({test_support::DemoOracle(), a, "A"}, &out), 0) << out;

  // B made with "Fichier > Nouveau dossier..." (which opens it).
  gui::ModalSeam::QueueDialogAnswer(gui::IDOK, [&](gui::Window& w) {
    auto& d = static_cast<gui::Dialog&>(w);
    d.SetItemText(TDNouveauDossier::kCode, "B");
    d.SetItemText(TDNouveauDossier::kFolder, b);
    d.SetItemText(TDNouveauDossier::kName, "SARL Ateliers Merlon");
    d.SetItemText(TDNouveauDossier::kYearStart, "01/01/27");
    d.SetItemText(TDNouveauDossier::kYearEnd, "31/12/27");
  });
  RunSubjectCommand(20201);
  gui::ProcessPendingMessages();
  ASSERT_EQ(std::string(RTrim(DossierCode.c_str())), "B") << test_support::ShownTexts();

  // A opened, the form of 20605 filled as the user fills it.
  OpenThroughDialog(C10Path(a + "/", "A"));
  ASSERT_EQ(std::string(RTrim(DossierCode.c_str())), "A") << test_support::ShownTexts();
  gui::ModalSeam::Reset();
  MainFrame->MoveWindow(gui::Rect{0, 0, 1280, 800});
  MainFrame->Show(gui::SW_SHOW);
  gui::ProcessPendingMessages();
  Menu(command_id::GenerationSoldesANouveau);
  TWTraGenerationSAN* form = Form();
  ASSERT_NE(form, nullptr) << test_support::ShownTexts();
  EXPECT_EQ(form->DateEdit()->GetValue(), "01/01/27");
  EXPECT_TRUE(form->UnmatchedBox()->IsChecked());
  EXPECT_TRUE(form->UnreconciledBox()->IsChecked());
  gui::ModalSeam::QueueFileAnswer(b + "/c10b.dbf");
  gui::SendCommand(form->GetHandle(), 1204);
  gui::ProcessPendingMessages();
  EXPECT_EQ(form->CodeEdit()->GetValue(), "B");
  test_support::Screenshot(form->Widget(), "processing", "opening_scenario_form");
  // "Accepter": the launch and the result in euros confirmed; the end message acknowledged.
  for (int answer : {gui::IDYES, gui::IDYES}) gui::ModalSeam::QueueMessageBoxAnswer(answer);
  gui::SendCommand(form->GetHandle(), yearend_cmd::Accepter);
  gui::ProcessPendingMessages();
  ASSERT_TRUE(ShownContains("La G\xE9n\xE9ration des SAN est termin\xE9")) << test_support::ShownTexts();
  EXPECT_EQ(Form(), nullptr);
  EXPECT_NE(ReadAll(a + "/clga.txt").find("GENERATION des SOLDES A NOUVEAU - Ok - Sur dossier 'B' sur " + b +
                                          "/ - Date:01/01/27"),
            std::string::npos)
      << ReadAll(a + "/clga.txt");

  int status = 0;
  const std::string printed = test_support::RunPythonScript(
      "import sys\nsys.argv=['', '" + a + "', '" + b + "', '" + processing::kDefaultBankPrefixes + "']\n" +
          kScenarioScript,
      true, &status);
  EXPECT_EQ(status, 0) << printed;
  for (const char* line : {"balanced True True True", "opens True", "detail True", "result True", "previous True",
                           "collectives True", "piece True 000002"})
    EXPECT_NE(printed.find(line), std::string::npos) << line << "\n" << printed;
  EXPECT_EQ(printed.find("residuals 0\n"), std::string::npos) << printed;
  EXPECT_EQ(printed.find("detail True 0 "), std::string::npos) << printed;

  // B accepted by the independent checker and by the program's own, opened as the user opens it.
  EXPECT_EQ(Python({test_support::DemoOracle(), b, "B", "--invariants"}, &out), 0) << out;
  OpenThroughDialog(C10Path(b + "/", "B"));
  ASSERT_EQ(std::string(RTrim(DossierCode.c_str())), "B") << test_support::ShownTexts();
  DossierInvariants check;
  EXPECT_TRUE(check.Check()) << check.Report();
}

}  // namespace
