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
    {20201, 20201, "CmFichierNouveauDossier", "CeSansDossier", K::SansDossier, 0, false, false},
    {20202, 20202, "CmFichierOuvrirDossier", "CeOuvrirDossier", K::DossierSlotFree, 0, false, false},
    {20203, 20203, "CmFichierFermerDossier", "CeDossierOuvert", K::DossierOpen, 0, false, false},
    {20204, 20204, "CmFichierDateTravail", "CeDateTravail", K::Rights, 1, false, false},
    {20205, 20205, "CmFichierAProposDossier", "CeAProposDossier", K::Rights, 2, true, false},
    {20206, 20206, "CmFichierChangerDossier", "CeChangerDossier", K::TwoDossiers, 0, false, false},
    {20207, 20207, "CmConfigurerImprimante", "CeSansDossier", K::SansDossier, 0, false, false, &ConfigurerImprimante},
    {20208, 20208, "SetMainCaption", "", K::None, 0, false, false, &SetMainCaption},
    {20209, 20209, "CmQuitter", "CeSansDossier", K::SansDossier, 0, false, false, &Quitter},
    {24310, 24310, "CmFermerApplication", "", K::None, 0, false, false, &FermerApplication},
    {20210, 20210, "CmSupprimerChoix", "CeSupprimerChoix", K::SupprimerChoix, 0, false, false, &SupprimerChoix},
    {20221, 20221, "CmDossierRecent1", "CeDossierRecent1", K::DossierRecent1, 0, false, false, &DossierRecent},
    {20222, 20229, "CmDossierRecent2-9", "CeSansDossier", K::SansDossier, 0, false, false, &DossierRecent},
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
    {20702, 20702, "CmCompleterIni", "CeSansDossier", K::SansDossier, 0, false, false, &CompleterIni},
    {20703, 20703, "CmConfigurerBde", "CeSansDossier", K::SansDossier, 0, false, false, &ConfigurerBde},
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
    {20801, 20801, "CmFenetresPleinEcran", "CeSansDossier", K::SansDossier, 0, false, false, &FenetresPleinEcran},
    {20802, 20802, "CmAgrandirFenetre", "CeFenetres", K::ChildActive, 0, false, false, &AgrandirFenetre},
    {20803, 20803, "CmCommandesMsDos", "CeSansDossier", K::SansDossier, 0, false, false, &CommandesMsDos},
    {24361, 24365, "MDI client window commands", "CeFenetres", K::ChildActive, 0, false, false, &MdiWindowCommand},
    {20951, 20951, "CmAide", "CeSansDossier", K::SansDossier, 0, false, false, &Aide},
    {20952, 20952, "CmAProposVersion", "CeSansDossier", K::SansDossier, 0, false, false, &AProposVersion},
    {20033, 20033, "CmChoixEtat", "", K::None, 0, false, false, &ChoixEtat},
    {20991, 20991, "CmVisu", "", K::None, 0, false, false},
    {20992, 20992, "CmVisuMode1", "", K::None, 0, false, false},
};

gui::ResponseTable BuildClientTable() {
  gui::ResponseTable t(&gui::MDIClient::Table());
  for (const CommandEntry& e : kTable) {
    if (ShellHandler shell = e.shell) {
      t.AddHandler(e.first, e.last, [shell](gui::Window& w, unsigned id) { shell(static_cast<CMDIClient&>(w), id); });
    } else {
      t.AddHandler(e.first, e.last, [](gui::Window&, unsigned id) { RunSubjectCommand(id); });
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
