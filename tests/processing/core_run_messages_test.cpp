// The log lines and end messages of the year-end runs (merge, separation, opening balances) and the
// refusals of the opening's checks, each one sentence of the string table with its values in their
// places: every case is the whole text, byte for byte, that the log and the boxes show. A run that
// knows why it failed says it in words, its code kept for the log.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "processing/core/dossier_merge.h"
#include "processing/core/ofx_import.h"
#include "processing/core/opening_balances.h"
#include "processing/core/stopped_imports.h"
#include "processing/core/year_separation.h"
#include "runtime/dates.h"

namespace {

constexpr const char* kFolder = "/dossiers/o/";

processing::MergeRequest Merge(bool codesOnly) {
  processing::MergeRequest r;
  r.other = {kFolder, "O"};
  r.codesOnly = codesOnly;
  r.from = "01/04/26";
  r.to = "30/09/26";
  return r;
}

processing::MergeResult Failed(int code, const std::string& error, bool putBack) {
  processing::MergeResult r;
  r.code = code;
  r.error = error;
  r.putBack = putBack;
  r.putBackFailed = !putBack;
  return r;
}

TEST(RunMessages, EachRunSaysItsWholeSentence) {
  const std::string mergeFailed = "\n\nL'erreur suivante s'est produite pendant l'AJOUT de Dossier:\n\n\n";
  const std::string separationFailed = "\n\nL'erreur suivante s'est produite pendant la SEPARATION des Exercices:\n\n\n";
  const std::string openingFailed = "\n\nL'erreur suivante s'est produite pendant la G\xE9n\xE9ration des SAN:\n\n\n";
  const std::string putBack = "Le dossier a \xE9t\xE9 remis dans son \xE9tat d'avant le traitement: rien n'a \xE9t\xE9 chang\xE9.\n\n";
  const std::string bothPutBack =
      "Les deux dossiers ont \xE9t\xE9 remis dans leur \xE9tat d'avant la s\xE9paration: rien n'a \xE9t\xE9 chang\xE9.\n\n";
  const std::string leftForTheOpening =
      "ATTENTION: un dossier n'a pas pu \xEAtre remis dans son \xE9tat d'avant le traitement.\nIl le sera \xE0 sa "
      "prochaine ouverture; sinon restaurez la sauvegarde.\n\n";

  processing::SeparationRequest separation;
  separation.other = {kFolder, "B"};
  separation.date = Ymd{2027, 1, 1};
  processing::SeparationResult separated;
  separated.pieces = 12;
  separated.lines = 40;
  processing::SeparationResult separationStopped = separated;
  separationStopped.code = 6310;
  separationStopped.putBack = true;
  processing::SeparationResult separationRefused = separationStopped;
  separationRefused.error = "table C40";
  separationRefused.putBack = false;
  separationRefused.putBackFailed = true;

  processing::OpeningRequest opening;
  opening.target = {kFolder, "SB"};
  opening.date = Ymd{2027, 1, 1};
  processing::OpeningResult opened;
  processing::OpeningResult openingStopped;
  openingStopped.code = 6110;
  openingStopped.putBack = true;
  processing::OpeningResult openingRefused = openingStopped;
  openingRefused.error = "c50sb";
  openingRefused.putBack = false;
  openingRefused.putBackFailed = true;

  processing::TargetMaintenance silent;
  processing::TargetMaintenance refusing;
  refusing.rebuildRefusal = [] { return std::string("index refus\xE9"); };

  const struct Case {
    const char* what;
    std::string made, want;
  } cases[] = {
      {"merge done", processing::MergeLogLine(Merge(false), {}),
       std::string("AJOUT d'un AUTRE DOSSIER - Ok - Ajout du dossier 'O' sur ") + kFolder + " - Du 01/04/26 au 30/09/26"},
      {"merge of the codes done", processing::MergeLogLine(Merge(true), {}),
       std::string("AJOUT d'un AUTRE DOSSIER - Ok - Ajout du dossier 'O' sur ") + kFolder + " - El\xE9ments seuls"},
      {"merge failed", processing::MergeLogLine(Merge(false), Failed(5040, "", true)),
       std::string("AJOUT d'un AUTRE DOSSIER - Erreur: 5040 - Ajout du dossier 'O' sur ") + kFolder +
           " - Du 01/04/26 au 30/09/26"},
      {"merge of the codes failed", processing::MergeLogLine(Merge(true), Failed(6213, "", true)),
       std::string("AJOUT d'un AUTRE DOSSIER - Erreur: 6213 - Ajout du dossier 'O' sur ") + kFolder +
           " - El\xE9ments seuls"},
      {"merge end, put back", processing::MergeEndMessage(Merge(false), Failed(5040, "", true)),
       mergeFailed + " 5040\n\n" + putBack},
      {"merge end, its error, left", processing::MergeEndMessage(Merge(false), Failed(6213, "c40o", false)),
       mergeFailed + "c40o\n\n" + leftForTheOpening},
      {"separation done", processing::SeparationLogLine(separation, separated),
       std::string("SEPARATION DES EXERCICES - Ok - Dossier 'B' sur ") + kFolder +
           " - Date: 01/01/27 - Pi\xE8" "ces: 12 - Lignes: 40"},
      {"separation failed", processing::SeparationLogLine(separation, separationStopped),
       std::string("SEPARATION DES EXERCICES - Erreur: 6310 - Dossier 'B' sur ") + kFolder +
           " - Date: 01/01/27 - Pi\xE8" "ces: 12 - Lignes: 40"},
      {"separation end, put back", processing::SeparationEndMessage(separation, separationStopped),
       separationFailed + " 6310\n\n" + bothPutBack},
      {"separation end, its error, left", processing::SeparationEndMessage(separation, separationRefused),
       separationFailed + "table C40\n\n" + leftForTheOpening},
      {"opening done", processing::OpeningLogLine(opening, opened),
       std::string("GENERATION des SOLDES A NOUVEAU - Ok - Sur dossier 'SB' sur ") + kFolder + " - Date:01/01/27"},
      {"opening failed", processing::OpeningLogLine(opening, openingStopped),
       std::string("GENERATION des SOLDES A NOUVEAU - Erreur: 6110 - Sur dossier 'SB' sur ") + kFolder +
           " - Date:01/01/27"},
      {"opening end", processing::OpeningEndMessage(opening, opened),
       "\n\nLa G\xE9n\xE9ration des SAN est termin\xE9\n\n\nImprimer et v\xE9rifier le journal 'AN' des SOLDES A "
       "NOUVEAU\n\ndu dossier: SB\n\n"},
      {"opening end, put back", processing::OpeningEndMessage(opening, openingStopped),
       openingFailed + "6110\n\n" + putBack},
      {"opening end, its error, left", processing::OpeningEndMessage(opening, openingRefused),
       openingFailed + "c50sb\n\n" + leftForTheOpening},
      {"rebuild failed", processing::RebuildFailureText(silent, 7), "reconstruction: 7"},
      {"rebuild failed, its reason", processing::RebuildFailureText(refusing, 7),
       "la reconstruction du dossier s'est arr\xEAt\xE9" "e: index refus\xE9"},
  };
  for (const Case& c : cases) EXPECT_EQ(c.made, c.want) << c.what;
}

// The opening's checks of its target, on dossiers that are not there: the code refused as typed.
TEST(RunMessages, TheOpeningsChecksNameWhatTheyRefuse) {
  const struct Case {
    const char* code;
    const char* first;
  } cases[] = {
      {"", "Code dossier vide"},
      {"A B", "Caract\xE8re incorrect:  "},
      {"A*", "Caract\xE8re incorrect: *"},
      {"ZZ9", "Dossier inexistant: ZZ9"},
  };
  for (const Case& c : cases) {
    const processing::TargetCheck check = processing::CheckOpeningTarget({"/nowhere/", c.code}, Ymd{2027, 1, 1});
    EXPECT_FALSE(check.ok) << c.code;
    EXPECT_FALSE(check.clearCode) << c.code;
    EXPECT_EQ(check.first, c.first) << "\"" << c.code << "\"";
  }
}

}  // namespace

namespace {

// A value goes in its place once: a statement or a file named with "%s" or "%1" (as a user may name one) is said as
// it is named, and the counts and journals after it stay in their own places.
TEST(RunMessages, AValueHoldingAPlaceholderIsSaidAsWritten) {
  processing::StoppedImports done;
  done.statements.push_back({"releve_%s_mars.ofx", "BQ", "", 3, 2, 1, 4});
  done.statements.push_back({"releve_%1_%2.ofx", "CA", "", 0, 5, 0, 0});
  done.files.push_back({"ecr%s.txt", 7, 0, 0, 0});
  EXPECT_EQ(processing::StoppedImportsText(done),
            "\n\nL'importation du relev\xE9 releve_%s_mars.ofx a \xE9t\xE9 interrompue : ses 3 pi\xE8" "ce(s) \xE9"
            "crite(s) en entier dans le journal BQ sont gard\xE9" "es.\n"
            "2 op\xE9ration(s) de ce relev\xE9 n'ont pas \xE9t\xE9 import\xE9" "es : importez \xE0 nouveau ce relev\xE9 "
            "pour les ajouter (les op\xE9rations d\xE9j\xE0 import\xE9" "es ne le seront pas deux fois).\n"
            "1 pi\xE8" "ce(s) n'avaient \xE9t\xE9 \xE9" "crites qu'en partie : leurs 4 ligne(s) \xE9" "crite(s) ont "
            "\xE9t\xE9 annul\xE9" "es dans le brouillard.\n"
            "\n\nL'importation du relev\xE9 releve_%1_%2.ofx a \xE9t\xE9 interrompue avant d'avoir \xE9" "crit une pi\xE8"
            "ce enti\xE8re dans le journal CA : importez \xE0 nouveau ce relev\xE9 pour ajouter ses op\xE9rations.\n"
            "\n\nL'importation du fichier ecr%s.txt a \xE9t\xE9 interrompue : ses 7 pi\xE8" "ce(s) \xE9" "crite(s) en "
            "entier sont gard\xE9" "es dans le brouillard.\n");

  const std::vector<processing::StoppedStatementRun> resumed = {
      {"releve.ofx", "BQ", "journal %s pi\xE8" "ces 4 \xE0 6", 0, 2, 1, 4}};
  EXPECT_EQ(processing::StoppedStatementRunsResumed(resumed),
            "1 pi\xE8" "ce(s) n'avaient \xE9t\xE9 \xE9" "crites qu'en partie par une importation arr\xEAt\xE9" "e : "
            "leurs 4 ligne(s) \xE9" "crite(s) ont \xE9t\xE9 annul\xE9" "es dans le brouillard et leurs op\xE9rations "
            "sont import\xE9" "es \xE0 nouveau.\n\n"
            "Une importation de relev\xE9 arr\xEAt\xE9" "e en cours (journal %s pi\xE8" "ces 4 \xE0 6) a \xE9t\xE9 "
            "reprise : 2 op\xE9ration(s) sans pi\xE8" "ce dans le brouillard sont import\xE9" "es \xE0 nouveau.\n\n");
}

}  // namespace
