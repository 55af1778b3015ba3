#include "shell/command_table.h"

#include "platform/gui/mdi.h"
#include "platform/gui/menu.h"
#include "resources/string_table.h"
#include "runtime/xbase.h"
#include "shell/about_box.h"
#include "shell/enablers.h"
#include "shell/handlers.h"
#include "shell/mdi_client.h"
#include "shell/utility_commands.h"

namespace {

using K = EnablerKind;

// The shell's own handlers.
void SetMainCaption(CMDIClient& c, unsigned) { c.SetMainCaption(); }
void Quitter(CMDIClient& c, unsigned) { c.CmQuitter(); }
void FermerApplication(CMDIClient& c, unsigned) { c.CmFermerApplication(); }
void ConfigurerImprimante(CMDIClient&, unsigned) { CmConfigurerImprimante(); }
void SupprimerChoix(CMDIClient&, unsigned) { CmSupprimerChoix(); }
void DossierRecent(CMDIClient&, unsigned id) { CmDossierRecent(static_cast<int>(id) - 20220); }
void CompleterIni(CMDIClient&, unsigned) { CmCompleterIni(); }
void ConfigurerBde(CMDIClient&, unsigned) { CmConfigurerBde(); }
void FenetresPleinEcran(CMDIClient&, unsigned) { CmFenetresPleinEcran(); }
void AgrandirFenetre(CMDIClient&, unsigned) { CmAgrandirFenetre(); }
void CommandesMsDos(CMDIClient&, unsigned) { CmCommandesMsDos(); }
void Aide(CMDIClient&, unsigned) { CmAide(); }
void AProposVersion(CMDIClient&, unsigned) { CmAProposVersion(); }
void ChoixEtat(CMDIClient&, unsigned) { CmChoixEtat(); }
// Cascade, tile, arrange and close all: the MDI client's own handlers.
void MdiWindowCommand(CMDIClient& c, unsigned id) {
  if (const auto* handler = gui::MDIClient::Table().FindHandler(id)) (*handler)(c, id);
}

// A row without a shell handler runs a subject's work (RunSubjectCommand).
const std::vector<CommandEntry> kTable = {
    {.first = 20201, .handler = "CmFichierNouveauDossier", .enabler = "CeSansDossier", .kind = K::SansDossier},
    {.first = 20202, .handler = "CmFichierOuvrirDossier", .enabler = "CeOuvrirDossier", .kind = K::DossierSlotFree},
    {.first = 20203, .handler = "CmFichierFermerDossier", .enabler = "CeDossierOuvert", .kind = K::DossierOpen},
    {.first = 20204, .handler = "CmFichierDateTravail", .enabler = "CeDateTravail", .kind = K::Rights, .rights = 1},
    {.first = 20205, .handler = "CmFichierAProposDossier", .enabler = "CeAProposDossier", .kind = K::Rights,
     .rights = 2, .constant056 = true},
    {.first = 20206, .handler = "CmFichierChangerDossier", .enabler = "CeChangerDossier", .kind = K::TwoDossiers},
    {.first = 20207, .handler = "CmConfigurerImprimante", .enabler = "CeSansDossier", .kind = K::SansDossier,
     .shell = &ConfigurerImprimante},
    {.first = 20208, .handler = "SetMainCaption", .shell = &SetMainCaption},
    {.first = 20209, .handler = "CmQuitter", .enabler = "CeSansDossier", .kind = K::SansDossier, .shell = &Quitter},
    {.first = 24310, .handler = "CmFermerApplication", .shell = &FermerApplication},
    {.first = 20210, .handler = "CmSupprimerChoix", .enabler = "CeSupprimerChoix", .kind = K::SupprimerChoix,
     .shell = &SupprimerChoix},
    {.first = 20221, .handler = "CmDossierRecent1", .enabler = "CeDossierRecent1", .kind = K::DossierRecent1,
     .shell = &DossierRecent},
    {.first = 20222, .last = 20229, .handler = "CmDossierRecent2-9", .enabler = "CeSansDossier", .kind = K::SansDossier,
     .shell = &DossierRecent},
    {.first = 20301, .handler = "CmDonneesEtablissements", .enabler = "CeEtablissements", .kind = K::Rights,
     .rights = 4},
    {.first = 20302, .handler = "CmDonneesJournaux", .enabler = "CeJournaux", .kind = K::Rights, .rights = 5},
    {.first = 20303, .handler = "CmDonneesCollectifs", .enabler = "CeCollectifs", .kind = K::Rights, .rights = 6},
    {.first = 20304, .handler = "CmDonneesBanques", .enabler = "CeBanques", .kind = K::Rights, .rights = 7},
    {.first = 20305, .handler = "CmDonneesLibelles", .enabler = "CeLibelles", .kind = K::Rights, .rights = 8},
    {.first = 20306, .handler = "CmDonneesVentilations", .enabler = "CeVentilations", .kind = K::Rights, .rights = 9},
    {.first = 20307, .handler = "CmDonneesModeles", .enabler = "CeModeles", .kind = K::Rights, .rights = 10},
    {.first = 20308, .handler = "CmDonneesCodesTva", .enabler = "CeCodesTva", .kind = K::Rights, .rights = 37},
    {.first = 20309, .handler = "CmDonneesPlanComptable", .enabler = "CePlanComptable", .kind = K::Rights,
     .rights = 11},
    {.first = 20310, .handler = "CmDonneesSectionsAnal", .enabler = "CeSectionsAnal", .kind = K::Rights, .rights = 12},
    {.first = 20311, .handler = "CmDonneesTexte", .enabler = "CeDossierOuvert", .kind = K::DossierOpen},
    {.first = 20401, .handler = "CmSaisieEcritures", .enabler = "CeSaisie", .kind = K::Rights, .rights = 13,
     .constant056 = true},
    {.first = 20402, .handler = "CmActiverSaisie", .enabler = "CeDossierOuvert", .kind = K::DossierOpen},
    {.first = 20403, .handler = "CmModDetJournaux", .enabler = "CeDossierOuvert", .kind = K::DossierOpen},
    {.first = 20404, .handler = "CmBroDetJournauxAnal"},
    {.first = 20405, .handler = "CmModDetJournauxAnal"},
    {.first = 20406, .handler = "CmValidationJournaux", .enabler = "CeValidation", .kind = K::Rights, .rights = 15,
     .constant056 = true},
    {.first = 20407, .handler = "CmImportationReleveBanque", .enabler = "CeValidation", .kind = K::Rights, .rights = 15,
     .constant056 = true},
    {.first = 20501, .handler = "CmEtaCompte", .enabler = "CeEtaCompte", .kind = K::Rights, .rights = 16},
    {.first = 20502, .handler = "CmEtaGrandsLivres", .enabler = "CeEtaGrandsLivres", .kind = K::Rights, .rights = 17},
    {.first = 20503, .handler = "CmEtaJournaux", .enabler = "CeEtaJournaux", .kind = K::Rights, .rights = 18},
    {.first = 20504, .handler = "CmEtaBalances", .enabler = "CeEtaBalances", .kind = K::Rights, .rights = 19},
    {.first = 20505, .handler = "CmEtaRecapCentralisateur", .enabler = "CeEtaRecapCentralisateur", .kind = K::Rights,
     .rights = 20},
    {.first = 20506, .handler = "CmEtatsRelances", .enabler = "CeEtaRelances", .kind = K::Rights, .rights = 21},
    {.first = 20507, .handler = "CmEtatsDeclarationTva", .enabler = "CeEtaDeclarationTva", .kind = K::Rights,
     .rights = 22},
    {.first = 20508, .handler = "CmEtaBilanInitialisation", .enabler = "CeEtaBilanInitialisation", .kind = K::Rights,
     .rights = 23, .balanceSheet = true},
    {.first = 20509, .handler = "CmEtaBilanCalcul", .enabler = "CeEtaBilanCalcul", .kind = K::Rights, .rights = 24,
     .balanceSheet = true},
    {.first = 20510, .handler = "CmEtaBilanEdition", .enabler = "CeEtaBilanEdition", .kind = K::Rights, .rights = 25,
     .balanceSheet = true},
    {.first = 20017, .handler = "CmEtaBilanEdition", .enabler = "CeEtaBilanEdition", .kind = K::Rights, .rights = 25,
     .balanceSheet = true},
    {.first = 20019, .handler = "CmEtaBilanEdition", .enabler = "CeEtaBilanEdition", .kind = K::Rights, .rights = 25,
     .balanceSheet = true},
    {.first = 20021, .handler = "CmEtaBilanEdition", .enabler = "CeEtaBilanEdition", .kind = K::Rights, .rights = 25,
     .balanceSheet = true},
    {.first = 20601, .handler = "CmLettrageManuel", .enabler = "CeLettrageManuel", .kind = K::Rights, .rights = 26,
     .constant056 = true},
    {.first = 20602, .handler = "CmLettrageAutomatique", .enabler = "CeLettrageAutomatique", .kind = K::Rights,
     .rights = 27, .constant056 = true},
    {.first = 20603, .handler = "CmRapprochementBanque", .enabler = "CeValidation", .kind = K::Rights, .rights = 15,
     .constant056 = true},
    {.first = 20604, .handler = "CmSeparationExercices", .enabler = "CeSeparationExercices", .kind = K::Rights,
     .rights = 28, .constant056 = true},
    {.first = 20605, .handler = "CmGenerationSoldesANouveau", .enabler = "CeSoldesANouveau", .kind = K::Rights,
     .rights = 29, .constant056 = true},
    {.first = 20606, .handler = "CmAjoutDossier", .enabler = "CeAjoutDossier", .kind = K::Rights, .rights = 30,
     .constant056 = true},
    {.first = 20701, .handler = "CmConfiguration", .enabler = "CeSansDossier", .kind = K::SansDossier},
    {.first = 20702, .handler = "CmCompleterIni", .enabler = "CeSansDossier", .kind = K::SansDossier,
     .shell = &CompleterIni},
    {.first = 20703, .handler = "CmConfigurerBde", .enabler = "CeSansDossier", .kind = K::SansDossier,
     .shell = &ConfigurerBde},
    {.first = 20704, .handler = "CmConstantesDossier", .enabler = "CeConstantesDossier", .kind = K::Rights,
     .rights = 31},
    {.first = 20705, .handler = "CmDroitsAcces", .enabler = "CeDroitsAcces", .kind = K::DroitsAcces},
    {.first = 20706, .handler = "CmAjoutAsciiBrouillard", .enabler = "CeAjoutAscii", .kind = K::Rights, .rights = 32,
     .constant056 = true},
    {.first = 20707, .handler = "CmEtatsParametrablesVisualisation", .enabler = "CeEtatsParamVisu",
     .kind = K::PreviewReportsDiffer},
    {.first = 20708, .handler = "CmEtatsParametrablesImpression", .enabler = "CeSansDossier", .kind = K::SansDossier},
    {.first = 20712, .handler = "CmReconstructionDossier", .enabler = "CeReconstruction", .kind = K::Rights,
     .rights = 33},
    {.first = 20713, .last = 20719, .handler = "CmAccesFichierC10-C70", .enabler = "CeAccesFichiers", .kind = K::Rights,
     .rights = 34},
    {.first = 20720, .handler = "CmAccesFichierParametresBilan", .enabler = "CeEtaBilanEdition", .kind = K::Rights,
     .rights = 25, .balanceSheet = true},
    {.first = 20721, .handler = "CmAccesFichierLignesBilan", .enabler = "CeEtaBilanEdition", .kind = K::Rights,
     .rights = 25, .balanceSheet = true},
    {.first = 20722, .handler = "CmRenumeroterPieces", .enabler = "CeAccesFichiers", .kind = K::Rights, .rights = 34},
    {.first = 20723, .handler = "BackupDossier", .enabler = "CeSauvegarde", .kind = K::Rights, .rights = 35},
    {.first = 20724, .handler = "RestoreDossier", .enabler = "CeRestauration", .kind = K::Rights, .rights = 36},
    {.first = 20725, .handler = "CmGestionDossiers", .enabler = "CeGestionDossiers", .kind = K::GestionDossiers},
    {.first = 20801, .handler = "CmFenetresPleinEcran", .enabler = "CeSansDossier", .kind = K::SansDossier,
     .shell = &FenetresPleinEcran},
    {.first = 20802, .handler = "CmAgrandirFenetre", .enabler = "CeFenetres", .kind = K::ChildActive,
     .shell = &AgrandirFenetre},
    {.first = 20803, .handler = "CmCommandesMsDos", .enabler = "CeSansDossier", .kind = K::SansDossier,
     .shell = &CommandesMsDos},
    {.first = 24361, .last = 24365, .handler = "MDI client window commands", .enabler = "CeFenetres",
     .kind = K::ChildActive, .shell = &MdiWindowCommand},
    {.first = 20951, .handler = "CmAide", .enabler = "CeSansDossier", .kind = K::SansDossier, .shell = &Aide},
    {.first = 20952, .handler = "CmAProposVersion", .enabler = "CeSansDossier", .kind = K::SansDossier,
     .shell = &AProposVersion},
    {.first = 20033, .handler = "CmChoixEtat", .shell = &ChoixEtat},
    {.first = 20991, .handler = "CmVisu"},
    {.first = 20992, .handler = "CmVisuMode1"},
};

gui::ResponseTable BuildClientTable() {
  gui::ResponseTable t(&gui::MDIClient::Table());
  for (const CommandEntry& e : kTable) {
    if (ShellHandler shell = e.shell) {
      t.AddHandler(e.first, e.Last(), [shell](gui::Window& w, unsigned id) { shell(static_cast<CMDIClient&>(w), id); });
    } else {
      t.AddHandler(e.first, e.Last(), [](gui::Window&, unsigned id) { RunSubjectCommand(id); });
    }
    if (e.kind == EnablerKind::None) continue;
    t.AddEnabler(e.first, e.Last(), [](gui::Window&, gui::CommandEnabler& ce) {
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
    if (id >= e.first && id <= e.Last()) return &e;
  }
  return nullptr;
}

bool IsShellOwned(unsigned id) {
  const CommandEntry* e = FindCommand(id);
  return e != nullptr && e->shell != nullptr;
}

void FillMenuTexts(gui::Menu& menu) {
  for (unsigned id : menu.CommandIds())
    if (const std::string* text = resources::FindString(static_cast<int>(id) + 1000)) menu.SetItemText(id, *text);
}

const gui::ResponseTable& CMDIClient::Table() {
  static const gui::ResponseTable table = BuildClientTable();
  return table;
}
