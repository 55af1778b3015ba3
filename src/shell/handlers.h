// Main-menu command handlers: the prologue every handler runs first, and
// the handlers of the subjects. A subject fills its handler in with
// SetCommandWork; until then the handler says that the function is not
// available yet.
#pragma once

#include <functional>

// The handler prologue: help context 85; during a print or preview run a
// beep and false; when the dossier must be checked again (DossierState '2'
// with a dossier code) the check, false when it fails. True when the work
// may go on (DossierState ' ').
bool HandlerPrologue();

// The message of a function that is not available yet (string 19990).
void NotAvailableYet(unsigned id);

// The work of command `id`, run after the prologue agreed (or in place of
// it when `ownPrologue`: the work runs its own). An empty function removes it.
void SetCommandWork(unsigned id, std::function<void()> work, bool ownPrologue = false);
bool HasCommandWork(unsigned id);

// A subject command as the menu runs it: prologue, then the work, or the
// not-available message.
void RunSubjectCommand(unsigned id);

// The subjects' handlers by their names.
#define MERLON_SUBJECT_HANDLER(name, id) \
  inline void name() { RunSubjectCommand(id); }
MERLON_SUBJECT_HANDLER(CmFichierNouveauDossier, 20201)
MERLON_SUBJECT_HANDLER(CmFichierOuvrirDossier, 20202)
MERLON_SUBJECT_HANDLER(CmFichierFermerDossier, 20203)
MERLON_SUBJECT_HANDLER(CmFichierDateTravail, 20204)
MERLON_SUBJECT_HANDLER(CmFichierAProposDossier, 20205)
MERLON_SUBJECT_HANDLER(CmFichierChangerDossier, 20206)
MERLON_SUBJECT_HANDLER(CmDonneesEtablissements, 20301)
MERLON_SUBJECT_HANDLER(CmDonneesJournaux, 20302)
MERLON_SUBJECT_HANDLER(CmDonneesCollectifs, 20303)
MERLON_SUBJECT_HANDLER(CmDonneesBanques, 20304)
MERLON_SUBJECT_HANDLER(CmDonneesLibelles, 20305)
MERLON_SUBJECT_HANDLER(CmDonneesVentilations, 20306)
MERLON_SUBJECT_HANDLER(CmDonneesModeles, 20307)
MERLON_SUBJECT_HANDLER(CmDonneesCodesTva, 20308)
MERLON_SUBJECT_HANDLER(CmDonneesPlanComptable, 20309)
MERLON_SUBJECT_HANDLER(CmDonneesSectionsAnal, 20310)
MERLON_SUBJECT_HANDLER(CmDonneesTexte, 20311)
MERLON_SUBJECT_HANDLER(CmSaisieEcritures, 20401)
MERLON_SUBJECT_HANDLER(CmActiverSaisie, 20402)
MERLON_SUBJECT_HANDLER(CmModDetJournaux, 20403)
MERLON_SUBJECT_HANDLER(CmBroDetJournauxAnal, 20404)
MERLON_SUBJECT_HANDLER(CmModDetJournauxAnal, 20405)
MERLON_SUBJECT_HANDLER(CmValidationJournaux, 20406)
MERLON_SUBJECT_HANDLER(CmImportationReleveBanque, 20407)
MERLON_SUBJECT_HANDLER(CmEtaCompte, 20501)
MERLON_SUBJECT_HANDLER(CmEtaGrandsLivres, 20502)
MERLON_SUBJECT_HANDLER(CmEtaJournaux, 20503)
MERLON_SUBJECT_HANDLER(CmEtaBalances, 20504)
MERLON_SUBJECT_HANDLER(CmEtaRecapCentralisateur, 20505)
MERLON_SUBJECT_HANDLER(CmEtatsRelances, 20506)
MERLON_SUBJECT_HANDLER(CmEtatsDeclarationTva, 20507)
MERLON_SUBJECT_HANDLER(CmEtaBilanInitialisation, 20508)
MERLON_SUBJECT_HANDLER(CmEtaBilanCalcul, 20509)
MERLON_SUBJECT_HANDLER(CmEtaBilanEdition, 20510)
MERLON_SUBJECT_HANDLER(CmLettrageManuel, 20601)
MERLON_SUBJECT_HANDLER(CmLettrageAutomatique, 20602)
MERLON_SUBJECT_HANDLER(CmRapprochementBanque, 20603)
MERLON_SUBJECT_HANDLER(CmSeparationExercices, 20604)
MERLON_SUBJECT_HANDLER(CmGenerationSoldesANouveau, 20605)
MERLON_SUBJECT_HANDLER(CmAjoutDossier, 20606)
MERLON_SUBJECT_HANDLER(CmConfiguration, 20701)
MERLON_SUBJECT_HANDLER(CmConstantesDossier, 20704)
MERLON_SUBJECT_HANDLER(CmDroitsAcces, 20705)
MERLON_SUBJECT_HANDLER(CmAjoutAsciiBrouillard, 20706)
MERLON_SUBJECT_HANDLER(CmEtatsParametrablesVisualisation, 20707)
MERLON_SUBJECT_HANDLER(CmEtatsParametrablesImpression, 20708)
MERLON_SUBJECT_HANDLER(CmReconstructionDossier, 20712)
MERLON_SUBJECT_HANDLER(CmAccesFichierC10, 20713)
MERLON_SUBJECT_HANDLER(CmAccesFichierC20, 20714)
MERLON_SUBJECT_HANDLER(CmAccesFichierC30, 20715)
MERLON_SUBJECT_HANDLER(CmAccesFichierC40, 20716)
MERLON_SUBJECT_HANDLER(CmAccesFichierC50, 20717)
MERLON_SUBJECT_HANDLER(CmAccesFichierC60, 20718)
MERLON_SUBJECT_HANDLER(CmAccesFichierC70, 20719)
MERLON_SUBJECT_HANDLER(CmAccesFichierParametresBilan, 20720)
MERLON_SUBJECT_HANDLER(CmAccesFichierLignesBilan, 20721)
MERLON_SUBJECT_HANDLER(CmRenumeroterPieces, 20722)
MERLON_SUBJECT_HANDLER(BackupDossier, 20723)
MERLON_SUBJECT_HANDLER(RestoreDossier, 20724)
MERLON_SUBJECT_HANDLER(CmGestionDossiers, 20725)
MERLON_SUBJECT_HANDLER(CmVisu, 20991)
MERLON_SUBJECT_HANDLER(CmVisuMode1, 20992)
#undef MERLON_SUBJECT_HANDLER
