#include "shell/command_table.h"

#include "platform/gui/mdi.h"
#include "resources/string_table.h"
#include "runtime/xbase.h"
#include "shell/about_box.h"
#include "shell/enablers.h"
#include "shell/handlers.h"
#include "shell/mdi_client.h"
#include "shell/utility_commands.h"

namespace {

using K = EnablerKind;

// Owners: the shell's own handlers are bound below; the others are the
// subjects' (RunSubjectCommand).
const std::vector<CommandEntry> kTable = {
    {20201, 20201, "CmFichierNouveauDossier", "CeSansDossier", K::SansDossier, 0, false, false},
    {20202, 20202, "CmFichierOuvrirDossier", "CeOuvrirDossier", K::DossierSlotFree, 0, false, false},
    {20203, 20203, "CmFichierFermerDossier", "CeDossierOuvert", K::DossierOpen, 0, false, false},
    {20204, 20204, "CmFichierDateTravail", "CeDateTravail", K::Rights, 1, false, false},
    {20205, 20205, "CmFichierAProposDossier", "CeAProposDossier", K::Rights, 2, true, false},
    {20206, 20206, "CmFichierChangerDossier", "CeChangerDossier", K::TwoDossiers, 0, false, false},
    {20207, 20207, "CmConfigurerImprimante", "CeSansDossier", K::SansDossier, 0, false, false},
    {20208, 20208, "SetMainCaption", "", K::None, 0, false, false},
    {20209, 20209, "CmQuitter", "CeSansDossier", K::SansDossier, 0, false, false},
    {24310, 24310, "CmFermerApplication", "", K::None, 0, false, false},
    {20210, 20210, "CmSupprimerChoix", "CeSupprimerChoix", K::SupprimerChoix, 0, false, false},
    {20221, 20221, "CmDossierRecent1", "CeDossierRecent1", K::DossierRecent1, 0, false, false},
    {20222, 20229, "CmDossierRecent2-9", "CeSansDossier", K::SansDossier, 0, false, false},
    {20301, 20301, "CmDonneesEtablissements", "CeEtablissements", K::Rights, 4, false, false},
    {20302, 20302, "CmDonneesJournaux", "CeJournaux", K::Rights, 5, false, false},
    {20303, 20303, "CmDonneesCollectifs", "CeCollectifs", K::Rights, 6, false, false},
    {20304, 20304, "CmDonneesBanques", "CeBanques", K::Rights, 7, false, false},
    {20305, 20305, "CmDonneesLibelles", "CeLibelles", K::Rights, 8, false, false},
    {20306, 20306, "CmDonneesVentilations", "CeVentilations", K::Rights, 9, false, false},
    {20307, 20307, "CmDonneesModeles", "CeModeles", K::Rights, 10, false, false},
    {20308, 20308, "CmDonneesCodesTva", "CeCodesTva", K::Rights, 37, false, false},
    {20309, 20309, "CmDonneesPlanComptable", "CePlanComptable", K::Rights, 11, false, false},
    {20310, 20310, "CmDonneesSectionsAnal", "CeSectionsAnal", K::Rights, 12, false, false},
    {20311, 20311, "CmDonneesTexte", "CeDossierOuvert", K::DossierOpen, 0, false, false},
    {20401, 20401, "CmSaisieEcritures", "CeSaisie", K::Rights, 13, true, false},
    {20402, 20402, "CmActiverSaisie", "CeDossierOuvert", K::DossierOpen, 0, false, false},
    {20403, 20403, "CmModDetJournaux", "CeDossierOuvert", K::DossierOpen, 0, false, false},
    {20404, 20404, "CmBroDetJournauxAnal", "", K::None, 0, false, false},
    {20405, 20405, "CmModDetJournauxAnal", "", K::None, 0, false, false},
    {20406, 20406, "CmValidationJournaux", "CeValidation", K::Rights, 15, true, false},
    {20407, 20407, "CmImportationReleveBanque", "CeValidation", K::Rights, 15, true, false},
    {20501, 20501, "CmEtaCompte", "CeEtaCompte", K::Rights, 16, false, false},
    {20502, 20502, "CmEtaGrandsLivres", "CeEtaGrandsLivres", K::Rights, 17, false, false},
    {20503, 20503, "CmEtaJournaux", "CeEtaJournaux", K::Rights, 18, false, false},
    {20504, 20504, "CmEtaBalances", "CeEtaBalances", K::Rights, 19, false, false},
    {20505, 20505, "CmEtaRecapCentralisateur", "CeEtaRecapCentralisateur", K::Rights, 20, false, false},
    {20506, 20506, "CmEtatsRelances", "CeEtaRelances", K::Rights, 21, false, false},
    {20507, 20507, "CmEtatsDeclarationTva", "CeEtaDeclarationTva", K::Rights, 22, false, false},
    {20508, 20508, "CmEtaBilanInitialisation", "CeEtaBilanInitialisation", K::Rights, 23, false, true},
    {20509, 20509, "CmEtaBilanCalcul", "CeEtaBilanCalcul", K::Rights, 24, false, true},
    {20510, 20510, "CmEtaBilanEdition", "CeEtaBilanEdition", K::Rights, 25, false, true},
    {20017, 20017, "CmEtaBilanEdition", "CeEtaBilanEdition", K::Rights, 25, false, true},
    {20019, 20019, "CmEtaBilanEdition", "CeEtaBilanEdition", K::Rights, 25, false, true},
    {20021, 20021, "CmEtaBilanEdition", "CeEtaBilanEdition", K::Rights, 25, false, true},
    {20601, 20601, "CmLettrageManuel", "CeLettrageManuel", K::Rights, 26, true, false},
    {20602, 20602, "CmLettrageAutomatique", "CeLettrageAutomatique", K::Rights, 27, true, false},
    {20603, 20603, "CmRapprochementBanque", "CeValidation", K::Rights, 15, true, false},
    {20604, 20604, "CmSeparationExercices", "CeSeparationExercices", K::Rights, 28, true, false},
    {20605, 20605, "CmGenerationSoldesANouveau", "CeSoldesANouveau", K::Rights, 29, true, false},
    {20606, 20606, "CmAjoutDossier", "CeAjoutDossier", K::Rights, 30, true, false},
    {20701, 20701, "CmConfiguration", "CeSansDossier", K::SansDossier, 0, false, false},
    {20702, 20702, "CmCompleterIni", "CeSansDossier", K::SansDossier, 0, false, false},
    {20703, 20703, "CmConfigurerBde", "CeSansDossier", K::SansDossier, 0, false, false},
    {20704, 20704, "CmConstantesDossier", "CeConstantesDossier", K::Rights, 31, false, false},
    {20705, 20705, "CmDroitsAcces", "CeDroitsAcces", K::DroitsAcces, 0, false, false},
    {20706, 20706, "CmAjoutAsciiBrouillard", "CeAjoutAscii", K::Rights, 32, true, false},
    {20707, 20707, "CmEtatsParametrablesVisualisation", "CeEtatsParamVisu", K::PreviewReportsDiffer, 0, false,
     false},
    {20708, 20708, "CmEtatsParametrablesImpression", "CeSansDossier", K::SansDossier, 0, false, false},
    {20712, 20712, "CmReconstructionDossier", "CeReconstruction", K::Rights, 33, false, false},
    {20713, 20719, "CmAccesFichierC10-C70", "CeAccesFichiers", K::Rights, 34, false, false},
    {20720, 20720, "CmAccesFichierParametresBilan", "CeEtaBilanEdition", K::Rights, 25, false, true},
    {20721, 20721, "CmAccesFichierLignesBilan", "CeEtaBilanEdition", K::Rights, 25, false, true},
    {20722, 20722, "CmRenumeroterPieces", "CeAccesFichiers", K::Rights, 34, false, false},
    {20723, 20723, "BackupDossier", "CeSauvegarde", K::Rights, 35, false, false},
    {20724, 20724, "RestoreDossier", "CeRestauration", K::Rights, 36, false, false},
    {20725, 20725, "CmGestionDossiers", "CeGestionDossiers", K::GestionDossiers, 0, false, false},
    {20801, 20801, "CmFenetresPleinEcran", "CeSansDossier", K::SansDossier, 0, false, false},
    {20802, 20802, "CmAgrandirFenetre", "CeFenetres", K::ChildActive, 0, false, false},
    {20803, 20803, "CmCommandesMsDos", "CeSansDossier", K::SansDossier, 0, false, false},
    {24361, 24365, "MDI client window commands", "CeFenetres", K::ChildActive, 0, false, false},
    {20951, 20951, "CmAide", "CeSansDossier", K::SansDossier, 0, false, false},
    {20952, 20952, "CmAProposVersion", "CeSansDossier", K::SansDossier, 0, false, false},
    {20033, 20033, "CmChoixEtat", "", K::None, 0, false, false},
    {20991, 20991, "CmVisu", "", K::None, 0, false, false},
    {20992, 20992, "CmVisuMode1", "", K::None, 0, false, false},
};

// Menu 1101: pop-ups with their items (0 = separator, 1 = the sub-menu of
// the file accesses).
struct Popup {
  const char* title;  // UTF-8
  std::vector<unsigned> items;
};
constexpr unsigned kSeparator = 0;
constexpr unsigned kFileAccessMenu = 1;

const std::vector<Popup> kMenu = {
    // The recent dossiers go before the separator at position 14.
    {"&Fichier",
     {20201, kSeparator, 20202, 20206, 20203, kSeparator, 20204, 20205, kSeparator, 20035, 20041, 20207,
      kSeparator, 20210, kSeparator, 20209}},
    {"Ed&ition",
     {24321, kSeparator, 24322, 24323, 24324, 24325, kSeparator, 20173, kSeparator, 20063, 20065, kSeparator,
      20067, 20069}},
    {"&Données", {20301, 20302, 20303, 20304, 20305, 20306, 20307, 20308, kSeparator, 20309}},
    {"&Saisie", {20401, kSeparator, 20406, kSeparator, 20407}},
    {"&Etats",
     {20501, 20502, 20503, 20504, 20505, kSeparator, 20506, 20507, kSeparator, 20508, 20509, 20510}},
    {"&Traitements", {20601, 20602, 20603, kSeparator, 20604, 20605, kSeparator, 20606}},
    {"&Utilitaires",
     {20701, 20702, 20703, kSeparator, 20704, 20705, kSeparator, 20706, kSeparator, 20707, 20708, kSeparator,
      20712, kFileAccessMenu, kSeparator, 20723, 20724, kSeparator, 20725}},
    {"Fe&nêtres",
     {20801, 20802, 20803, kSeparator, 24361, 24362, 24363, 24364, 24365}},
    {"&Aide", {20951, kSeparator, 20952}},
};
const char* kFileAccessTitle = "Accès aux &Fichiers";
const std::vector<unsigned> kFileAccessItems = {20713, 20714, 20715, 20716, 20717, 20718, 20719, kSeparator,
                                                20720, 20721, kSeparator, 20722};

std::string MenuLine(unsigned id, const std::string& indent) {
  if (id == kSeparator) return indent + "-\n";
  std::string text = resources::Cp1252ToUtf8(LoadStr(static_cast<int>(id) + 1000));
  std::string escaped;
  for (char c : text) {
    if (c == '\t') escaped += "\\t";
    else escaped += c;
  }
  return indent + std::to_string(id) + "\t" + escaped + "\n";
}

// The shell's own handlers and the window commands, bound by id.
void BindShellHandlers(gui::ResponseTable& t) {
  auto bind = [&t](unsigned first, unsigned last, void (*fn)(unsigned)) {
    t.AddHandler(first, last, [fn](gui::Window&, unsigned id) { fn(id); });
  };
  t.AddHandler(20208, 20208, [](gui::Window& w, unsigned) { static_cast<CMDIClient&>(w).SetMainCaption(); });
  t.AddHandler(20209, 20209, [](gui::Window& w, unsigned) { static_cast<CMDIClient&>(w).CmQuitter(); });
  t.AddHandler(24310, 24310, [](gui::Window& w, unsigned) { static_cast<CMDIClient&>(w).CmFermerApplication(); });
  bind(20207, 20207, [](unsigned) { CmConfigurerImprimante(); });
  bind(20210, 20210, [](unsigned) { CmSupprimerChoix(); });
  bind(20221, 20229, [](unsigned id) { CmDossierRecent(static_cast<int>(id) - 20220); });
  bind(20702, 20702, [](unsigned) { CmCompleterIni(); });
  bind(20703, 20703, [](unsigned) { CmConfigurerBde(); });
  bind(20801, 20801, [](unsigned) { CmFenetresPleinEcran(); });
  bind(20802, 20802, [](unsigned) { CmAgrandirFenetre(); });
  bind(20803, 20803, [](unsigned) { CmCommandesMsDos(); });
  bind(20951, 20951, [](unsigned) { CmAide(); });
  bind(20952, 20952, [](unsigned) { CmAProposVersion(); });
  bind(20033, 20033, [](unsigned) { CmChoixEtat(); });
}

bool IsShellOwned(unsigned id) {
  switch (id) {
    case 20207: case 20208: case 20209: case 24310: case 20210: case 20702: case 20703: case 20801:
    case 20802: case 20803: case 20951: case 20952: case 20033:
      return true;
    default:
      return (id >= 20221 && id <= 20229) || (id >= 24361 && id <= 24365);
  }
}

gui::ResponseTable BuildClientTable() {
  gui::ResponseTable t(&gui::MDIClient::Table());
  BindShellHandlers(t);
  for (const CommandEntry& e : kTable) {
    for (unsigned id = e.first; id <= e.last; ++id) {
      if (!IsShellOwned(id)) t.AddHandler(id, id, [](gui::Window&, unsigned cmd) { RunSubjectCommand(cmd); });
    }
    if (e.kind == EnablerKind::None) continue;
    t.AddEnabler(e.first, e.last, [](gui::Window&, gui::CommandEnabler& ce) {
      RunTableEnabler(ce);
      // The full-screen entry carries the option's check mark.
      if (ce.Id() == 20801) ce.SetCheck(ProgramOption(3) == 'O' ? gui::CHECK_CHECKED : gui::CHECK_UNCHECKED);
    });
  }
  return t;
}

}  // namespace

const std::vector<CommandEntry>& CommandTable() { return kTable; }

const CommandEntry* FindCommand(unsigned id) {
  for (const CommandEntry& e : kTable) {
    if (id >= e.first && id <= e.last) return &e;
  }
  return nullptr;
}

std::string MainMenuResourceText() {
  std::string out = "# Menu 1101, the main menu: made from the command table's menu texts\n"
                    "# (string N + 1000 of command N).\n";
  for (const Popup& p : kMenu) {
    out += std::string(p.title) + "\n";
    for (unsigned id : p.items) {
      if (id == kFileAccessMenu) {
        out += std::string("  ") + kFileAccessTitle + "\n";
        for (unsigned sub : kFileAccessItems) out += MenuLine(sub, "    ");
      } else {
        out += MenuLine(id, "  ");
      }
    }
  }
  return out;
}

const gui::ResponseTable& CMDIClient::Table() {
  static const gui::ResponseTable table = BuildClientTable();
  return table;
}
