#include "shell/command_table.h"

#include "data/error_report.h"
#include "platform/gui/application.h"
#include "platform/gui/constants.h"
#include "platform/gui/mdi.h"
#include "platform/gui/menu.h"
#include "resources/command_ids.h"
#include "resources/string_table.h"
#include "runtime/xbase.h"
#include "shell/about_box.h"
#include "shell/enablers.h"
#include "shell/handlers.h"
#include "shell/mdi_client.h"
#include "shell/utility_commands.h"

namespace {

using K = EnablerKind;

// The numbers the window layer gives its MDI client's commands agree with the ids.
static_assert(command_id::FenetresCascade == gui::CM_CASCADECHILDREN);
static_assert(command_id::FenetresMosaique == gui::CM_TILECHILDREN);
static_assert(command_id::FenetresMosaiqueHorizontale == gui::CM_TILECHILDRENHORIZ);
static_assert(command_id::ReorganiserIcones == gui::CM_ARRANGEICONS);
static_assert(command_id::FermerFenetres == gui::CM_CLOSECHILDREN);
static_assert(command_id::EditionAnnuler == gui::CM_EDITUNDO);
static_assert(command_id::EditionCouper == gui::CM_EDITCUT);
static_assert(command_id::EditionCopier == gui::CM_EDITCOPY);
static_assert(command_id::EditionColler == gui::CM_EDITPASTE);
static_assert(command_id::EditionEffacer == gui::CM_EDITDELETE);

// The report windows and forms that answer "Visualiser" and "Imprimer" besides every list.
constexpr const char* kReportWindows =
    "CMDIBrowse, TWEtaBroLedger, TWEtaModLedger, TWEtaBroBalances, TWEtaBroBilanEdition, TWEtaBroRelances, "
    "TWEtaModRelances, VatReturnWindow";

// The lists that copy their codes from or to another dossier: the code lists, the chart of accounts and the analytic
// sections (the journal-month headers' list, a code list too, greys both).
constexpr const char* kCodeLists = "TWFichiersC10, ChartList";

const std::vector<ChildCommand> kChildTable = {
    // Core: ReportInterpreter (the preview of the list or report of the active window).
    {.first = command_id::Visualiser, .handledBy = kReportWindows},
    // Core: ReportInterpreter (the printing of the list or report of the active window).
    {.first = command_id::Imprimer, .handledBy = kReportWindows},
    // Core: none, the editing of the focused field.
    {.first = command_id::EditionAnnuler, .last = command_id::EditionEffacer, .handledBy = "gui::Edit"},
    // Core: none, it selects the whole text of the record text editor.
    {.first = command_id::ToutSelectionner, .handledBy = "TWDonTexte"},
    // Core: none, the code of the list's row goes to the clipboard.
    {.first = command_id::CopierCode, .handledBy = "CMDIBrowse"},
    // Core: none, the rows of the list go to the clipboard.
    {.first = command_id::CopierTableau, .handledBy = "CMDIBrowse"},
    // Core: CopyCodeRangeMarked (codes copied from another dossier).
    {.first = command_id::AjouterDepuisDossier, .handledBy = kCodeLists},
    // Core: CopyCodeRangeMarked (codes copied to another dossier).
    {.first = command_id::AjouterVersDossier, .handledBy = kCodeLists},
};

// The shell's own handlers.
void SetMainCaption(CMDIClient& c, unsigned) { c.SetMainCaption(); }
void Quitter(CMDIClient& c, unsigned) { c.CmQuitter(); }
// Core: none, "Quitter" posted by another window.
void FermerApplication(CMDIClient& c, unsigned) { c.CmFermerApplication(); }
void ConfigurerImprimante(CMDIClient&, unsigned) { CmConfigurerImprimante(); }
void SupprimerChoix(CMDIClient&, unsigned) { CmSupprimerChoix(); }
void DossierRecent(CMDIClient&, unsigned id) { CmDossierRecent(static_cast<int>(id - command_id::DossierRecent1) + 1); }
void CompleterIni(CMDIClient&, unsigned) { CmCompleterIni(); }
void ConfigurerBde(CMDIClient&, unsigned) { CmConfigurerBde(); }
void FenetresPleinEcran(CMDIClient&, unsigned) { CmFenetresPleinEcran(); }
void AgrandirFenetre(CMDIClient&, unsigned) { CmAgrandirFenetre(); }
void CommandesMsDos(CMDIClient&, unsigned) { CmCommandesMsDos(); }
void Aide(CMDIClient&, unsigned) { CmAide(); }
void AProposVersion(CMDIClient&, unsigned) { CmAProposVersion(); }
void ChoixEtat(CMDIClient&, unsigned) { CmChoixEtat(); }
// Cascade, tile, arrange and close all: the MDI client's own handlers.
// Core: none, the MDI client arranges or closes its windows.
void MdiWindowCommand(CMDIClient& c, unsigned id) {
  if (const auto* handler = gui::MDIClient::Table().FindHandler(id)) (*handler)(c, id);
}

// A row without a shell handler runs a subject's work (RunSubjectCommand).
const std::vector<CommandEntry> kTable = {
    {.first = command_id::FichierNouveauDossier, .handler = "CmFichierNouveauDossier", .enabler = "CeSansDossier",
     .kind = K::SansDossier},
    {.first = command_id::FichierOuvrirDossier, .handler = "CmFichierOuvrirDossier", .enabler = "CeOuvrirDossier",
     .kind = K::DossierSlotFree},
    {.first = command_id::FichierFermerDossier, .handler = "CmFichierFermerDossier", .enabler = "CeDossierOuvert",
     .kind = K::DossierOpen},
    {.first = command_id::FichierDateTravail, .handler = "CmFichierDateTravail", .enabler = "CeDateTravail",
     .kind = K::Rights, .rights = 1},
    {.first = command_id::FichierAProposDossier, .handler = "CmFichierAProposDossier", .enabler = "CeAProposDossier",
     .kind = K::Rights, .rights = 2, .constant056 = true},
    {.first = command_id::FichierChangerDossier, .handler = "CmFichierChangerDossier", .enabler = "CeChangerDossier",
     .kind = K::TwoDossiers},
    {.first = command_id::ConfigurerImprimante, .handler = "CmConfigurerImprimante", .enabler = "CeSansDossier",
     .kind = K::SansDossier, .shell = &ConfigurerImprimante},
    {.first = command_id::SetMainCaption, .handler = "SetMainCaption", .shell = &SetMainCaption},
    {.first = command_id::Quitter, .handler = "CmQuitter", .enabler = "CeSansDossier", .kind = K::SansDossier,
     .shell = &Quitter},
    {.first = command_id::FermerApplication, .handler = "CmFermerApplication", .shell = &FermerApplication},
    {.first = command_id::SupprimerChoix, .handler = "CmSupprimerChoix", .enabler = "CeSupprimerChoix",
     .kind = K::SupprimerChoix, .shell = &SupprimerChoix},
    {.first = command_id::DossierRecent1, .handler = "CmDossierRecent1", .enabler = "CeDossierRecent1",
     .kind = K::DossierRecent1, .shell = &DossierRecent},
    {.first = command_id::DossierRecent2, .last = command_id::DossierRecent9, .handler = "CmDossierRecent2-9",
     .enabler = "CeSansDossier", .kind = K::SansDossier, .shell = &DossierRecent},
    {.first = command_id::DonneesEtablissements, .handler = "CmDonneesEtablissements", .enabler = "CeEtablissements",
     .kind = K::Rights, .rights = 4},
    {.first = command_id::DonneesJournaux, .handler = "CmDonneesJournaux", .enabler = "CeJournaux", .kind = K::Rights,
     .rights = 5},
    {.first = command_id::DonneesCollectifs, .handler = "CmDonneesCollectifs", .enabler = "CeCollectifs",
     .kind = K::Rights, .rights = 6},
    {.first = command_id::DonneesBanques, .handler = "CmDonneesBanques", .enabler = "CeBanques", .kind = K::Rights,
     .rights = 7},
    {.first = command_id::DonneesLibelles, .handler = "CmDonneesLibelles", .enabler = "CeLibelles", .kind = K::Rights,
     .rights = 8},
    {.first = command_id::DonneesVentilations, .handler = "CmDonneesVentilations", .enabler = "CeVentilations",
     .kind = K::Rights, .rights = 9},
    {.first = command_id::DonneesModeles, .handler = "CmDonneesModeles", .enabler = "CeModeles", .kind = K::Rights,
     .rights = 10},
    {.first = command_id::DonneesCodesTva, .handler = "CmDonneesCodesTva", .enabler = "CeCodesTva", .kind = K::Rights,
     .rights = 37},
    {.first = command_id::DonneesPlanComptable, .handler = "CmDonneesPlanComptable", .enabler = "CePlanComptable",
     .kind = K::Rights, .rights = 11},
    {.first = command_id::DonneesSectionsAnal, .handler = "CmDonneesSectionsAnal", .enabler = "CeSectionsAnal",
     .kind = K::Rights, .rights = 12},
    {.first = command_id::DonneesTexte, .handler = "CmDonneesTexte", .enabler = "CeDossierOuvert",
     .kind = K::DossierOpen},
    {.first = command_id::SaisieEcritures, .handler = "CmSaisieEcritures", .enabler = "CeSaisie", .kind = K::Rights,
     .rights = 13, .constant056 = true},
    // The toolbar's "Saisie" opens what "Saisie d'Ecritures" opens: the same rights grey it.
    {.first = command_id::ActiverSaisie, .handler = "CmActiverSaisie", .enabler = "CeSaisie", .kind = K::Rights,
     .rights = 13, .constant056 = true},
    {.first = command_id::ModDetJournaux, .handler = "CmModDetJournaux", .enabler = "CeDossierOuvert",
     .kind = K::DossierOpen},
    {.first = command_id::BroDetJournauxAnal, .handler = "CmBroDetJournauxAnal"},
    {.first = command_id::ModDetJournauxAnal, .handler = "CmModDetJournauxAnal"},
    {.first = command_id::ValidationJournaux, .handler = "CmValidationJournaux", .enabler = "CeValidation",
     .kind = K::Rights, .rights = 15, .constant056 = true},
    {.first = command_id::ImportationReleveBanque, .handler = "CmImportationReleveBanque", .enabler = "CeValidation",
     .kind = K::Rights, .rights = 15, .constant056 = true},
    {.first = command_id::EtaCompte, .handler = "CmEtaCompte", .enabler = "CeEtaCompte", .kind = K::Rights,
     .rights = 16},
    {.first = command_id::EtaGrandsLivres, .handler = "CmEtaGrandsLivres", .enabler = "CeEtaGrandsLivres",
     .kind = K::Rights, .rights = 17},
    {.first = command_id::EtaJournaux, .handler = "CmEtaJournaux", .enabler = "CeEtaJournaux", .kind = K::Rights,
     .rights = 18},
    {.first = command_id::EtaBalances, .handler = "CmEtaBalances", .enabler = "CeEtaBalances", .kind = K::Rights,
     .rights = 19},
    {.first = command_id::EtaRecapCentralisateur, .handler = "CmEtaRecapCentralisateur",
     .enabler = "CeEtaRecapCentralisateur", .kind = K::Rights, .rights = 20},
    {.first = command_id::EtatsRelances, .handler = "CmEtatsRelances", .enabler = "CeEtaRelances", .kind = K::Rights,
     .rights = 21},
    {.first = command_id::EtatsDeclarationTva, .handler = "CmEtatsDeclarationTva", .enabler = "CeEtaDeclarationTva",
     .kind = K::Rights, .rights = 22},
    {.first = command_id::EtaBilanInitialisation, .handler = "CmEtaBilanInitialisation",
     .enabler = "CeEtaBilanInitialisation", .kind = K::Rights, .rights = 23, .balanceSheet = true},
    {.first = command_id::EtaBilanCalcul, .handler = "CmEtaBilanCalcul", .enabler = "CeEtaBilanCalcul",
     .kind = K::Rights, .rights = 24, .balanceSheet = true},
    {.first = command_id::EtaBilanEdition, .handler = "CmEtaBilanEdition", .enabler = "CeEtaBilanEdition",
     .kind = K::Rights, .rights = 25, .balanceSheet = true},
    {.first = command_id::EtaBilanReelNormal, .handler = "CmEtaBilanEdition", .enabler = "CeEtaBilanEdition",
     .kind = K::Rights, .rights = 25, .balanceSheet = true},
    {.first = command_id::EtaBilanReelSimplifie, .handler = "CmEtaBilanEdition", .enabler = "CeEtaBilanEdition",
     .kind = K::Rights, .rights = 25, .balanceSheet = true},
    {.first = command_id::EtaBilanAutre, .handler = "CmEtaBilanEdition", .enabler = "CeEtaBilanEdition",
     .kind = K::Rights, .rights = 25, .balanceSheet = true},
    {.first = command_id::LettrageManuel, .handler = "CmLettrageManuel", .enabler = "CeLettrageManuel",
     .kind = K::Rights, .rights = 26, .constant056 = true},
    {.first = command_id::LettrageAutomatique, .handler = "CmLettrageAutomatique", .enabler = "CeLettrageAutomatique",
     .kind = K::Rights, .rights = 27, .constant056 = true},
    {.first = command_id::RapprochementBanque, .handler = "CmRapprochementBanque", .enabler = "CeValidation",
     .kind = K::Rights, .rights = 15, .constant056 = true},
    {.first = command_id::SeparationExercices, .handler = "CmSeparationExercices", .enabler = "CeSeparationExercices",
     .kind = K::Rights, .rights = 28, .constant056 = true},
    {.first = command_id::GenerationSoldesANouveau, .handler = "CmGenerationSoldesANouveau",
     .enabler = "CeSoldesANouveau", .kind = K::Rights, .rights = 29, .constant056 = true},
    {.first = command_id::AjoutDossier, .handler = "CmAjoutDossier", .enabler = "CeAjoutDossier", .kind = K::Rights,
     .rights = 30, .constant056 = true},
    {.first = command_id::Configuration, .handler = "CmConfiguration", .enabler = "CeSansDossier",
     .kind = K::SansDossier},
    {.first = command_id::CompleterIni, .handler = "CmCompleterIni", .enabler = "CeSansDossier", .kind = K::SansDossier,
     .shell = &CompleterIni},
    {.first = command_id::ConfigurerBde, .handler = "CmConfigurerBde", .enabler = "CeSansDossier",
     .kind = K::SansDossier, .shell = &ConfigurerBde},
    {.first = command_id::ConstantesDossier, .handler = "CmConstantesDossier", .enabler = "CeConstantesDossier",
     .kind = K::Rights, .rights = 31},
    {.first = command_id::DroitsAcces, .handler = "CmDroitsAcces", .enabler = "CeDroitsAcces", .kind = K::DroitsAcces},
    {.first = command_id::AjoutAsciiBrouillard, .handler = "CmAjoutAsciiBrouillard", .enabler = "CeAjoutAscii",
     .kind = K::Rights, .rights = 32, .constant056 = true},
    {.first = command_id::EtatsParametrablesVisualisation, .handler = "CmEtatsParametrablesVisualisation",
     .enabler = "CeEtatsParamVisu", .kind = K::PreviewReportsDiffer},
    {.first = command_id::EtatsParametrablesImpression, .handler = "CmEtatsParametrablesImpression",
     .enabler = "CeSansDossier", .kind = K::SansDossier},
    {.first = command_id::ReconstructionDossier, .handler = "CmReconstructionDossier", .enabler = "CeReconstruction",
     .kind = K::Rights, .rights = 33},
    {.first = command_id::AccesFichierC10, .last = command_id::AccesFichierC70, .handler = "CmAccesFichierC10-C70",
     .enabler = "CeAccesFichiers", .kind = K::Rights, .rights = 34},
    {.first = command_id::AccesFichierParametresBilan, .handler = "CmAccesFichierParametresBilan",
     .enabler = "CeEtaBilanEdition", .kind = K::Rights, .rights = 25, .balanceSheet = true},
    {.first = command_id::AccesFichierLignesBilan, .handler = "CmAccesFichierLignesBilan",
     .enabler = "CeEtaBilanEdition", .kind = K::Rights, .rights = 25, .balanceSheet = true},
    {.first = command_id::RenumeroterPieces, .handler = "CmRenumeroterPieces", .enabler = "CeAccesFichiers",
     .kind = K::Rights, .rights = 34},
    {.first = command_id::SauvegardeDossier, .handler = "CmSauvegardeDossier", .enabler = "CeSauvegarde",
     .kind = K::Rights, .rights = 35},
    {.first = command_id::RestaurationDossier, .handler = "CmRestaurationDossier", .enabler = "CeRestauration",
     .kind = K::Rights, .rights = 36},
    {.first = command_id::GestionDossiers, .handler = "CmGestionDossiers", .enabler = "CeGestionDossiers",
     .kind = K::GestionDossiers},
    {.first = command_id::FenetresPleinEcran, .handler = "CmFenetresPleinEcran", .enabler = "CeSansDossier",
     .kind = K::SansDossier, .shell = &FenetresPleinEcran},
    {.first = command_id::AgrandirFenetre, .handler = "CmAgrandirFenetre", .enabler = "CeFenetres",
     .kind = K::ChildActive, .shell = &AgrandirFenetre},
    {.first = command_id::CommandesMsDos, .handler = "CmCommandesMsDos", .enabler = "CeSansDossier",
     .kind = K::SansDossier, .shell = &CommandesMsDos},
    {.first = command_id::FenetresCascade, .last = command_id::FermerFenetres, .handler = "MDI client window commands",
     .enabler = "CeFenetres", .kind = K::ChildActive, .shell = &MdiWindowCommand},
    {.first = command_id::Aide, .handler = "CmAide", .enabler = "CeSansDossier", .kind = K::SansDossier,
     .shell = &Aide},
    {.first = command_id::AProposVersion, .handler = "CmAProposVersion", .enabler = "CeSansDossier",
     .kind = K::SansDossier, .shell = &AProposVersion},
    {.first = command_id::ChoixEtat, .handler = "CmChoixEtat", .shell = &ChoixEtat},
    {.first = command_id::Visu, .handler = "CmVisu"},
    {.first = command_id::VisuMode1, .handler = "CmVisuMode1"},
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
      if (ce.Id() == command_id::FenetresPleinEcran)
        ce.SetCheck(ProgramOption(3) == 'O' ? gui::CHECK_CHECKED : gui::CHECK_UNCHECKED);
    });
  }
  return t;
}

}  // namespace

const std::vector<CommandEntry>& CommandTable() { return kTable; }

const std::vector<ChildCommand>& ChildCommands() { return kChildTable; }

const ChildCommand* FindChildCommand(unsigned id) {
  for (const ChildCommand& c : kChildTable)
    if (id >= c.first && id <= c.Last()) return &c;
  return nullptr;
}

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
    if (const std::string* text = resources::FindString(static_cast<int>(id) + kMenuTextOffset))
      menu.SetItemText(id, *text);
}

bool CMDIClient::EvCommand(unsigned id) {
  if (const CommandEntry* e = FindCommand(id); e != nullptr && e->kind != EnablerKind::None) {
    gui::CommandEnabler ce(id);
    RunTableEnabler(ce);
    if (!ce.Enabled()) {
      gui::MessageBeep(0);
      return true;
    }
  }
  return gui::MDIClient::EvCommand(id);
}

const gui::ResponseTable& CMDIClient::Table() {
  static const gui::ResponseTable table = BuildClientTable();
  return table;
}
