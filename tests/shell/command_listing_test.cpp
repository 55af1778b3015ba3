// docs/commands.md against the command table, the ids, the menu and the subjects' SetCommandWork
// calls: the committed listing is the one the tree gives, every command is wired once, and a
// tree out of step is caught.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "command_listing/command_listing.h"
#include "support/temp_folder.h"

namespace {

namespace fs = std::filesystem;

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void WriteFile(const fs::path& path, const std::string& text) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << text;
}

// The first line where two texts differ, for the failure message.
std::string FirstDifference(const std::string& a, const std::string& b) {
  std::istringstream ia(a), ib(b);
  std::string la, lb;
  for (int line = 1;; ++line) {
    const bool moreA = static_cast<bool>(std::getline(ia, la));
    const bool moreB = static_cast<bool>(std::getline(ib, lb));
    if (!moreA && !moreB) return "none";
    if (la != lb || moreA != moreB) {
      return "line " + std::to_string(line) + ":\n  committed: " + lb + "\n  tree gives: " + la;
    }
  }
}

bool Mentions(const std::vector<std::string>& problems, const std::string& fragment) {
  return std::any_of(problems.begin(), problems.end(),
                     [&fragment](const std::string& p) { return p.find(fragment) != std::string::npos; });
}

std::string Joined(const std::vector<std::string>& problems) {
  std::string text;
  for (const std::string& p : problems) text += "  " + p + "\n";
  return text;
}

TEST(CommandListingTest, CommittedListingIsTheOneTheTreeGives) {
  const fs::path source = MERLON_SOURCE_DIR;
  const command_listing::Listing listing = command_listing::MakeListing(source);
  const std::string committed = ReadFile(source / "docs/commands.md");
  if (listing.markdown != committed) {
    const fs::path fresh = fs::path(MERLON_BINARY_DIR) / "test-artefacts/shell/commands.md";
    WriteFile(fresh, listing.markdown);
    ADD_FAILURE() << "docs/commands.md is out of date (first difference at "
                  << FirstDifference(listing.markdown, committed)
                  << ").\nWrite it again from the source folder with:\n  " << command_listing::RegenerateCommand()
                  << "\nor copy " << fresh.string();
  }
}

TEST(CommandListingTest, EveryCommandHasItsConstantAndOneWorkNamedAfterIt) {
  const command_listing::Listing listing = command_listing::MakeListing(MERLON_SOURCE_DIR);
  EXPECT_TRUE(listing.problems.empty()) << Joined(listing.problems);
  // Rows of each kind: a menu command with its key, a subject's work with its core entry, a
  // shell handler, a tool-bar command named by its tooltip. Every row names its core entry or
  // says "none" and why.
  for (const char* row :
       {"| Saisie | Saisie d'Ecritures | Ctrl+S | 20401 | `SaisieEcritures` | `CmSaisieEcritures` |",
        "| Utilitaires | ReConstruction du dossier... | - | 20712 | `ReconstructionDossier` | "
        "`CmReconstructionDossier` | `",
        "| Fichier | Quitter | Alt+F4 | 20209 | `Quitter` | `CmQuitter` (shell) | none (",
        "| - | (Edition du Bilan 'Réel Normal') | - | 20017 | `EtaBilanReelNormal` | `CmEtaBilanEdition` |",
        "| Utilitaires > Accès aux Fichiers | C30 Comptes Analytiques | - | 20715 | `AccesFichierC30` | "
        "`OpenRawTable(command_id::AccesFichierC30)` |",
        // The commands of the Fichier and Edition menus that the active child handles.
        "| Edition | Couper | Maj+Suppr | 24322 | `EditionCouper` | the active child: `gui::Edit` | none (",
        "| Edition | Tout Sélectionner | Ctrl+A | 20173 | `ToutSelectionner` | the active child: `TWDonTexte` | none (",
        "| Fichier | Imprimer | Ctrl+P | 20041 | `Imprimer` | the active child: `CMDIBrowse`, "}) {
    EXPECT_NE(listing.markdown.find(row), std::string::npos) << row;
  }
  EXPECT_EQ(listing.markdown.find(" | - |\n"), std::string::npos) << "a row without its core entry";
  for (const char* row : {"| Etats | Grands Livres | Ctrl+G | 20502 | `EtaGrandsLivres` | "
                          "`OpenLedgerReport(command_id::EtaGrandsLivres)` | `AccountStatement`, `GeneralLedgers`",
                          "| Etats | Balances | Ctrl+B | 20504 | `EtaBalances` | `CmEtaBalances` | `TrialBalanceReport` |",
                          "| Saisie | Importation Relevé de Banque (ofx) | - | 20407 | `ImportationReleveBanque` | "
                          "`CmImportationReleveBanque` | `ReadOfxStatement`, `ImportStatement` |"}) {
    EXPECT_NE(listing.markdown.find(row), std::string::npos) << row;
  }
}

// The "Core:" line of each work: required, its names defined in a core folder and called by the
// work or by the windows beside it, or "none" with the reason.
TEST(CommandListingTest, CoreLineIsRequiredAndChecked) {
  const fs::path source = MERLON_SOURCE_DIR;
  test_support::TempFolder folder("merlon-listing-core");
  const fs::path tree = folder.path();
  for (const char* file : {"src/resources/command_ids.h", "src/resources/menus/1101.menu",
                           "src/resources/accelerators/1102.acc"}) {
    WriteFile(tree / file, ReadFile(source / file));
  }
  WriteFile(tree / "src/processing/core/statements.cpp",
            "bool ReadStatement(const char* path) { return path != nullptr; }\n");
  WriteFile(tree / "src/processing/helpers.cpp", "bool ReadOther(const char* path) { return path != nullptr; }\n");
  WriteFile(tree / "src/processing/statement_window.cpp",
            "void TStatementWindow::Load() {\n"
            "  ReadStatement(\"x\");\n"
            "}\n");
  WriteFile(tree / "src/processing/wiring.cpp",
            "// The statement window; it reads the file. Core: ReadStatement.\n"
            "void CmImportationReleveBanque() {\n"
            "  OpenStatementWindow();\n"
            "}\n"
            "\n"
            "// The dialog of the matching.\n"
            "void CmLettrageManuel() {\n"
            "}\n"
            "\n"
            "// Core: ReadOther.\n"
            "void CmLettrageAutomatique() {\n"
            "  ReadOther(\"y\");\n"
            "}\n"
            "\n"
            "// Core: none.\n"
            "void CmRapprochementBanque() {\n"
            "}\n"
            "\n"
            "// Core: none, a dialog of settings only.\n"
            "void CmConfiguration() {\n"
            "}\n"
            "\n"
            "void InstallWiring() {\n"
            "  SetCommandWork(command_id::ImportationReleveBanque, CmImportationReleveBanque);\n"
            "  SetCommandWork(command_id::LettrageManuel, CmLettrageManuel);\n"
            "  SetCommandWork(command_id::LettrageAutomatique, CmLettrageAutomatique);\n"
            "  SetCommandWork(command_id::RapprochementBanque, CmRapprochementBanque);\n"
            "  SetCommandWork(command_id::Configuration, CmConfiguration);\n"
            "}\n");
  const command_listing::Listing listing = command_listing::MakeListing(tree);
  const auto& problems = listing.problems;
  EXPECT_TRUE(Mentions(problems, "CmLettrageManuel has no \"Core:\" line")) << Joined(problems);
  EXPECT_TRUE(Mentions(problems, "CmLettrageAutomatique names ReadOther as its core entry but no core folder"))
      << Joined(problems);
  EXPECT_TRUE(Mentions(problems, "CmRapprochementBanque says \"Core: none\" without saying why")) << Joined(problems);
  // A core entry that a window beside the work calls, and a reasoned "none", pass.
  EXPECT_FALSE(Mentions(problems, "CmImportationReleveBanque")) << Joined(problems);
  EXPECT_FALSE(Mentions(problems, "CmConfiguration")) << Joined(problems);
  EXPECT_NE(listing.markdown.find("`CmImportationReleveBanque` | `ReadStatement` |"), std::string::npos);
  EXPECT_NE(listing.markdown.find("`CmConfiguration` | none (a dialog of settings only) |"), std::string::npos);
  // A core function that neither the work nor a window beside it calls.
  WriteFile(tree / "src/processing/statement_window.cpp", "void TStatementWindow::Load() {\n}\n");
  EXPECT_TRUE(Mentions(command_listing::MakeListing(tree).problems,
                       "CmImportationReleveBanque names ReadStatement as its core entry but does not call it"));
}

// A copy of the tree's ids, menu and keys with one subject file whose wiring is wrong in each way
// the listing must catch.
TEST(CommandListingTest, WiringOutOfStepIsCaught) {
  const fs::path source = MERLON_SOURCE_DIR;
  test_support::TempFolder folder("merlon-listing");
  const fs::path tree = folder.path();
  for (const char* file : {"src/resources/command_ids.h", "src/resources/menus/1101.menu",
                           "src/resources/accelerators/1102.acc"}) {
    WriteFile(tree / file, ReadFile(source / file));
  }
  WriteFile(tree / "src/entry/wiring.cpp",
            "// Opens the entry windows. Core: OpenJournalMonths.\n"
            "void CmSaisieEcritures() {\n"
            "  ShowHeaders();\n"
            "}\n"
            "\n"
            "void OpenOther() {}\n"
            "\n"
            "void InstallWiring() {\n"
            "  SetCommandWork(command_id::SaisieEcritures, CmSaisieEcritures);\n"
            "  SetCommandWork(command_id::SaisieEcritures, CmSaisieEcritures);\n"
            "  SetCommandWork(20406, CmValidationJournaux);\n"
            "  SetCommandWork(command_id::EtaCompte, OpenOther);\n"
            "  SetCommandWork(command_id::EtaBalances, [] { OpenOther(); });\n"
            "  SetCommandWork(command_id::Quitter, CmQuitter);\n"
            "}\n");
  const command_listing::Listing listing = command_listing::MakeListing(tree);
  const auto& problems = listing.problems;
  EXPECT_TRUE(Mentions(problems, "command_id::SaisieEcritures has 2 SetCommandWork calls")) << Joined(problems);
  EXPECT_TRUE(Mentions(problems, "SetCommandWork(20406, ...) names no command_id constant")) << Joined(problems);
  EXPECT_TRUE(Mentions(problems, "command_id::EtaCompte installs OpenOther, not CmEtaCompte")) << Joined(problems);
  EXPECT_TRUE(Mentions(problems, "command_id::EtaBalances installs OpenOther(), not CmEtaBalances"))
      << Joined(problems);
  EXPECT_TRUE(Mentions(problems, "CmSaisieEcritures names OpenJournalMonths as its core entry but does not call it"))
      << Joined(problems);
  EXPECT_TRUE(Mentions(problems, "command_id::Quitter is installed but its row runs a shell handler"))
      << Joined(problems);
  EXPECT_TRUE(Mentions(problems, "command_id::LettrageManuel has 0 SetCommandWork calls")) << Joined(problems);
  // A class named as the handler of a child's command must have a response table.
  EXPECT_TRUE(Mentions(problems, "command 24322: gui::Edit has no response table in src/")) << Joined(problems);
  // A menu item that neither the client nor a child window handles.
  std::string menu = ReadFile(tree / "src/resources/menus/1101.menu");
  menu.insert(menu.find("  20173\n"), "  24398\n");
  WriteFile(tree / "src/resources/menus/1101.menu", menu);
  EXPECT_TRUE(Mentions(command_listing::MakeListing(tree).problems,
                       "menu 1101 item 24398 is in no row of the command table nor of the child windows' commands"));
  // An id that loses its constant.
  std::string ids = ReadFile(tree / "src/resources/command_ids.h");
  const std::string line = "inline constexpr unsigned AjoutDossier = 20606;\n";
  ids.erase(ids.find(line), line.size());
  WriteFile(tree / "src/resources/command_ids.h", ids);
  EXPECT_TRUE(Mentions(command_listing::MakeListing(tree).problems, "id 20606 has no constant"));
}

}  // namespace
