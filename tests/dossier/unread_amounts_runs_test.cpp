// The runs that write the books over an amount that does not read (a line's, an account's year total,
// budget or previous-year figure), on the matrices' small generated dossiers: each reads first, and
// its marker refuses it before its first write, naming the line or the account; a run that meets
// it after its marker (the automatic matching) is undone at its end by its guard, the line named;
// the imports, which read the totals they add to under their guard, are refused by it then.
// Every file of each of its dossiers stays byte for byte as it was, and no copy or marker is left
// beside them.
#include <functional>
#include <string>
#include <vector>

#include "data/dossier_files.h"
#include "data/session.h"
#include "dossier/core/dossier_run_marker.h"
#include "dossier_test_util.h"
#include "kill_matrix.h"
#include "kill_matrix_fixture.h"
#include "runtime/text.h"
#include "support/books_files.h"
#include "support/line_files.h"

namespace {

using namespace kill_matrix;

// A live record of table `kind` of dossier `code` in `folder` that `wanted` takes, its field
// `field` overwritten with `bytes`: how a refusal names it ("C50 enregistrement 12, pièce 000034,
// compte 41100000"); empty when no record was taken.
using Wanted = std::function<bool(const test_support::RawRecords& raw, const std::string& record)>;
std::string Damage(const std::string& folder, const char* code, TableKind kind, const Wanted& wanted,
                   const std::string& field, const std::string& bytes) {
  const test_support::RawRecords raw(folder + TableBaseName(kind, code) + ".dbf");
  for (std::uint32_t n = 1; n <= raw.Count(); ++n) {
    const std::string r = raw.Record(n);
    if (r[0] == '*' || !wanted(raw, r)) continue;
    raw.Put(n, field, bytes);
    const std::string recno = " enregistrement " + std::to_string(n);
    if (kind == TableKind::C20) return "C20" + recno + ", compte " + Trimmed(raw.Field(r, "CCODE"));
    const std::string p = kind == TableKind::C40 ? "D" : "B";
    return (kind == TableKind::C40 ? "C40" : "C50") + recno + ", pi\xE8" "ce " + Trimmed(raw.Field(r, p + "PIECE")) +
           ", compte " + Trimmed(raw.Field(r, p + "CODE"));
  }
  return "";
}

// A general line ("Z") of the draft; one on an auxiliary account (its code begins with a letter).
bool GeneralLine(const test_support::RawRecords& raw, const std::string& r) { return raw.Field(r, "BCLE") == "Z"; }
bool AuxiliaryLine(const test_support::RawRecords& raw, const std::string& r) {
  const char first = raw.Field(r, "BCODE")[0];
  return GeneralLine(raw, r) && first >= 'A' && first <= 'Z';
}
// A general account; one whose year credit in euros is nothing.
bool GeneralAccount(const test_support::RawRecords& raw, const std::string& r) {
  const char first = raw.Field(r, "CCODE")[0];
  return first >= '1' && first <= '9';
}
// The bank account of the demo's statements, which the imports post to.
bool BankAccount(const test_support::RawRecords& raw, const std::string& r) {
  return Trimmed(raw.Field(r, "CCODE")) == "51200000";
}
bool AccountWithoutCredit(const test_support::RawRecords& raw, const std::string& r) {
  return GeneralAccount(raw, r) && Trimmed(raw.Field(r, "CCREDITE")).find_first_not_of("0.") == std::string::npos;
}

// Every file of the dossier's folder, whole, but the imports' holds: empty files that an import
// leaves in place once it has taken them, whether it writes or not.
std::string BooksBytes(const std::string& folder) {
  std::string all;
  for (const auto& e : fs::directory_iterator(folder))
    if (e.path().extension() != ".txt" && e.path().extension() != ".lck" &&
        !test_support::IsIndexJournal(e.path().string()))
      all += e.path().string() + dossier_test::ReadFile(e.path().string());
  return all;
}

class UnreadAmountsRunTest : public MatrixTest {};

TEST_F(UnreadAmountsRunTest, EachRunRefusesBeforeItsFirstWriteNamingTheLine) {
  struct Case {
    const char* run;     // the matrix's run
    const char* folder;  // the dossier damaged, one of the run's
    const char* code;
    TableKind kind;
    Wanted wanted;
    const char* field;
    const char* bytes;
    // Met after its marker was written: the run is undone at its end by its guard, its dossier
    // put back.
    bool atEnd = false;
  } cases[] = {
      // The opening balances: a customer's line carried line by line, an account's year total
      // ("0,00" over a credit of nothing: the trial balance still balances).
      {"opening_balances", "a", "A", TableKind::C50, AuxiliaryLine, "BMONTANTE", "ABC"},
      {"opening_balances", "a", "A", TableKind::C20, AccountWithoutCredit, "CCREDITE", "0,00"},
      // The merge: a line of the period brought in, an account's budget added to the open dossier's.
      {"merge", "o", "O", TableKind::C50, GeneralLine, "BMONTANTE", "ABC"},
      {"merge", "o", "O", TableKind::C20, GeneralAccount, "CBUDGETE", "ABC"},
      {"merge", "a", "A", TableKind::C20, GeneralAccount, "CDEBNM1E", "12x4.50"},
      // The separation: a line of the old year, moved or kept.
      {"separation", "a", "A", TableKind::C50, GeneralLine, "BMONTANTE", "ABC"},
      // The balance sheet's computation: a line of the year (its francs, which a dossier kept in
      // euros does not balance: the general balance in euros still balances), an account's
      // previous-year figure.
      {"balance_sheet", "a", "A", TableKind::C50, GeneralLine, "BMONTANTF", "ABC"},
      {"balance_sheet", "a", "A", TableKind::C20, GeneralAccount, "CDEBNM1E", "ABC"},
      // The automatic matching over every account: a customer's line, read as it matches.
      {"automatic_matching", "a", "A", TableKind::C50, AuxiliaryLine, "BMONTANTE", "ABC", true},
      // The imports, refused by their guard once they read the totals their lines add to.
      {"ofx_import", "a", "A", TableKind::C20, BankAccount, "CDEBITE", "ABC"},
      {"ascii_import", "a", "A", TableKind::C20, BankAccount, "CCREDITE", "12x4.50"},
  };
  int n = 0;
  for (const Case& c : cases) {
    const MatrixRun* run = nullptr;
    for (const MatrixRun& r : Runs())
      if (std::string(r.name) == c.run) run = &r;
    ASSERT_NE(run, nullptr) << c.run;
    SCOPED_TRACE(std::string(c.run) + ", " + c.folder + " " + c.field + " \"" + c.bytes + "\"");
    const std::string root = root_ + "/" + std::to_string(++n) + "/";
    fs::create_directories(root);
    run->prepare(root);
    CloseOpenDossier();
    const std::string named = Damage(root + c.folder + "/", c.code, c.kind, c.wanted, c.field, c.bytes);
    ASSERT_FALSE(named.empty());
    std::vector<std::string> before;
    for (const std::string& folder : Folders(*run, root)) before.push_back(BooksBytes(folder));

    // The run in a child; it says what its marker refused, in whichever of its dossiers.
    std::string refusal;
    const int status = InChild(
        [&](std::string* out) {
          const bool done = run->run(root, [] {});
          for (const MatrixDossier& d : run->dossiers) {
            SetDossier(root + d.folder + "/", d.code);
            if (DossierRunMarkerRefusedForUnreadAmounts(DossierRunMarkerPath()))
              *out = DossierRunMarkerRefusal(DossierRunMarkerPath());
          }
          return done;
        },
        &refusal);
    EXPECT_EQ(status, 1) << "the run went to its end";
    EXPECT_NE(refusal.find(named), std::string::npos) << named << "\n" << refusal;
    EXPECT_NE(refusal.find(c.atEnd ? "Le traitement est annul\xE9 et le dossier remis tel qu'il \xE9tait"
                                   : "Rien n'a \xE9t\xE9 modifi\xE9"),
              std::string::npos)
        << refusal;
    const std::vector<std::string> folders = Folders(*run, root);
    for (std::size_t i = 0; i < folders.size(); ++i)
      EXPECT_TRUE(BooksBytes(folders[i]) == before[i]) << folders[i] << " changed";
    fs::remove_all(root);
  }
}

}  // namespace
