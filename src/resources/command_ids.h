// The ids of the main frame's commands, one name each: the rows of the command table
// (command_table.cpp), the work the subjects install for them (SetCommandWork, handlers.h)
// and every window that posts or sends one to the main window use these names. The numbers
// are those of the program's resources: menu 1101, accelerator table 1102, the tool bar and
// the string table (hint N, menu text N + 1000). docs/commands.md lists them all.
#pragma once

namespace command_id {

// Fichier
inline constexpr unsigned FichierNouveauDossier = 20201;
inline constexpr unsigned FichierOuvrirDossier = 20202;
inline constexpr unsigned FichierFermerDossier = 20203;
inline constexpr unsigned FichierDateTravail = 20204;
inline constexpr unsigned FichierAProposDossier = 20205;
inline constexpr unsigned FichierChangerDossier = 20206;
inline constexpr unsigned ConfigurerImprimante = 20207;
inline constexpr unsigned SetMainCaption = 20208;  // posted by windows: the caption made again
inline constexpr unsigned Quitter = 20209;
inline constexpr unsigned FermerApplication = 24310;  // "Quitter" posted by other windows
inline constexpr unsigned SupprimerChoix = 20210;
inline constexpr unsigned DossierRecent1 = 20221;  // the recent dossier 1 of the File menu
inline constexpr unsigned DossierRecent2 = 20222;  // the recent dossier 2 of the File menu
inline constexpr unsigned DossierRecent3 = 20223;  // the recent dossier 3 of the File menu
inline constexpr unsigned DossierRecent4 = 20224;  // the recent dossier 4 of the File menu
inline constexpr unsigned DossierRecent5 = 20225;  // the recent dossier 5 of the File menu
inline constexpr unsigned DossierRecent6 = 20226;  // the recent dossier 6 of the File menu
inline constexpr unsigned DossierRecent7 = 20227;  // the recent dossier 7 of the File menu
inline constexpr unsigned DossierRecent8 = 20228;  // the recent dossier 8 of the File menu
inline constexpr unsigned DossierRecent9 = 20229;  // the recent dossier 9 of the File menu
// The id of the File menu's recent dossier k, 1 to 9.
constexpr unsigned DossierRecentId(int k) { return DossierRecent1 + static_cast<unsigned>(k - 1); }

// Données
inline constexpr unsigned DonneesEtablissements = 20301;
inline constexpr unsigned DonneesJournaux = 20302;
inline constexpr unsigned DonneesCollectifs = 20303;
inline constexpr unsigned DonneesBanques = 20304;
inline constexpr unsigned DonneesLibelles = 20305;
inline constexpr unsigned DonneesVentilations = 20306;
inline constexpr unsigned DonneesModeles = 20307;
inline constexpr unsigned DonneesCodesTva = 20308;
inline constexpr unsigned DonneesPlanComptable = 20309;
inline constexpr unsigned DonneesSectionsAnal = 20310;
inline constexpr unsigned DonneesTexte = 20311;  // the record text editor, asked for by "Texte" of the lists and forms

// Saisie
inline constexpr unsigned SaisieEcritures = 20401;
inline constexpr unsigned ActiverSaisie = 20402;       // the entry windows brought forward
inline constexpr unsigned ModDetJournaux = 20403;      // the line form of a journal-entry slot
inline constexpr unsigned BroDetJournauxAnal = 20404;  // the analytic lines of a general line
inline constexpr unsigned ModDetJournauxAnal = 20405;  // the analytic line form
inline constexpr unsigned ValidationJournaux = 20406;
inline constexpr unsigned ImportationReleveBanque = 20407;

// Etats
inline constexpr unsigned EtaCompte = 20501;
inline constexpr unsigned EtaGrandsLivres = 20502;
inline constexpr unsigned EtaJournaux = 20503;
inline constexpr unsigned EtaBalances = 20504;
inline constexpr unsigned EtaRecapCentralisateur = 20505;
inline constexpr unsigned EtatsRelances = 20506;
inline constexpr unsigned EtatsDeclarationTva = 20507;
inline constexpr unsigned EtaBilanInitialisation = 20508;
inline constexpr unsigned EtaBilanCalcul = 20509;
inline constexpr unsigned EtaBilanEdition = 20510;
// The tool bar's three balance-sheet editions, which run the work of EtaBilanEdition.
inline constexpr unsigned EtaBilanReelNormal = 20017;
inline constexpr unsigned EtaBilanReelSimplifie = 20019;
inline constexpr unsigned EtaBilanAutre = 20021;
inline constexpr unsigned ChoixEtat = 20033;  // the tool bar's report choice, manual or automatic

// Traitements
inline constexpr unsigned LettrageManuel = 20601;
inline constexpr unsigned LettrageAutomatique = 20602;
inline constexpr unsigned RapprochementBanque = 20603;
inline constexpr unsigned SeparationExercices = 20604;
inline constexpr unsigned GenerationSoldesANouveau = 20605;
inline constexpr unsigned AjoutDossier = 20606;

// Utilitaires
inline constexpr unsigned Configuration = 20701;
inline constexpr unsigned CompleterIni = 20702;
inline constexpr unsigned ConfigurerBde = 20703;
inline constexpr unsigned ConstantesDossier = 20704;
inline constexpr unsigned DroitsAcces = 20705;
inline constexpr unsigned AjoutAsciiBrouillard = 20706;
inline constexpr unsigned EtatsParametrablesVisualisation = 20707;
inline constexpr unsigned EtatsParametrablesImpression = 20708;
inline constexpr unsigned ReconstructionDossier = 20712;
inline constexpr unsigned AccesFichierC10 = 20713;
inline constexpr unsigned AccesFichierC20 = 20714;
inline constexpr unsigned AccesFichierC30 = 20715;
inline constexpr unsigned AccesFichierC40 = 20716;
inline constexpr unsigned AccesFichierC50 = 20717;
inline constexpr unsigned AccesFichierC60 = 20718;
inline constexpr unsigned AccesFichierC70 = 20719;
inline constexpr unsigned AccesFichierParametresBilan = 20720;
inline constexpr unsigned AccesFichierLignesBilan = 20721;
inline constexpr unsigned RenumeroterPieces = 20722;
inline constexpr unsigned SauvegardeDossier = 20723;
inline constexpr unsigned RestaurationDossier = 20724;
inline constexpr unsigned GestionDossiers = 20725;

// Fenêtres: the shell's own, then the MDI client's (the window layer's CM_CASCADECHILDREN to
// CM_CLOSECHILDREN; the command table checks that they agree).
inline constexpr unsigned FenetresPleinEcran = 20801;
inline constexpr unsigned AgrandirFenetre = 20802;
inline constexpr unsigned CommandesMsDos = 20803;
inline constexpr unsigned FenetresCascade = 24361;
inline constexpr unsigned FenetresMosaique = 24362;
inline constexpr unsigned FenetresMosaiqueHorizontale = 24363;
inline constexpr unsigned ReorganiserIcones = 24364;
inline constexpr unsigned FermerFenetres = 24365;

// Commands of the Fichier and Edition menus that the active child window handles, not the
// client (ChildCommands of command_table.h names the classes): the edit commands are the window
// layer's CM_EDITUNDO to CM_EDITDELETE, taken by the focused edit control.
inline constexpr unsigned Visualiser = 20035;
inline constexpr unsigned Imprimer = 20041;
inline constexpr unsigned EditionAnnuler = 24321;
inline constexpr unsigned EditionCouper = 24322;
inline constexpr unsigned EditionCopier = 24323;
inline constexpr unsigned EditionColler = 24324;
inline constexpr unsigned EditionEffacer = 24325;
inline constexpr unsigned ToutSelectionner = 20173;
inline constexpr unsigned CopierCode = 20063;
inline constexpr unsigned CopierTableau = 20065;
inline constexpr unsigned AjouterDepuisDossier = 20067;
inline constexpr unsigned AjouterVersDossier = 20069;

// Aide
inline constexpr unsigned Aide = 20951;
inline constexpr unsigned AProposVersion = 20952;

// The report preview, sent by the report windows.
inline constexpr unsigned Visu = 20991;       // the preview of one list
inline constexpr unsigned VisuMode1 = 20992;  // the preview of several lists ("Liste suivante")

}  // namespace command_id

// The commands of the child windows: the buttons and tool-bar entries of the lists, the forms,
// the entry windows and the report preview, odd ids from 20003 to 20199. An id the main window
// also takes is written once, in command_id above. The tool bar draws each id's glyph (toolbar.cpp).
namespace child_command {

// The tool bar's lists: an entry below FirstToolbarButton is a separator; the glyphs are made for
// every odd id from FirstToolbarGlyph to LastToolbarGlyph.
inline constexpr unsigned FirstToolbarButton = 20001;
inline constexpr unsigned FirstToolbarGlyph = 20003;
inline constexpr unsigned LastToolbarGlyph = 20199;

// The glyphs of the permanent buttons whose command is the main window's (kPermanentButtons).
inline constexpr unsigned GlyphOuvrirDossier = 20003;
inline constexpr unsigned GlyphPlanComptable = 20005;
inline constexpr unsigned GlyphActiverSaisie = 20007;
inline constexpr unsigned GlyphCompte = 20009;
inline constexpr unsigned GlyphJournaux = 20011;
inline constexpr unsigned GlyphGrandsLivres = 20013;
inline constexpr unsigned GlyphBalances = 20015;

inline constexpr unsigned Quitter = 20023;      // F9 in a form: the window closes, asking to save
inline constexpr unsigned QuitterGrid = 20025;  // the list's own "Quitter" of its grid bar
inline constexpr unsigned Nouveau = 20027;
inline constexpr unsigned Annuler = 20029;      // the record marked cancelled (not Edition > Annuler)
inline constexpr unsigned Reactiver = 20031;    // the cancelled record active again
inline constexpr unsigned Visualiser = command_id::Visualiser;
inline constexpr unsigned FinVisualisation = 20037;  // told by the preview when it closes
inline constexpr unsigned ListeSuivante = 20039;     // told by the preview after "Liste suivante"
inline constexpr unsigned Imprimer = command_id::Imprimer;
inline constexpr unsigned ImprimerEcran = 20043;  // the preview's page printed as shown
inline constexpr unsigned PageHtml = 20045;
inline constexpr unsigned Modifier = 20047;
inline constexpr unsigned Chercher = 20049;        // F2
inline constexpr unsigned ChercherEncore = 20051;  // F3
inline constexpr unsigned Accepter = 20053;        // the choice of a list or the OK of a window
inline constexpr unsigned Enregistrer = 20055;     // F12 in a form
inline constexpr unsigned Rafraichir = 20057;      // a list re-reads the code it is given
inline constexpr unsigned RafraichirTotal = 20059;  // a list re-reads all its rows
inline constexpr unsigned RenvoyerCode = 20061;     // the list's code handed to the field that asked
inline constexpr unsigned CopierCode = command_id::CopierCode;
inline constexpr unsigned CopierTableau = command_id::CopierTableau;
inline constexpr unsigned AjouterDepuis = command_id::AjouterDepuisDossier;
inline constexpr unsigned AjouterVers = command_id::AjouterVersDossier;
inline constexpr unsigned ReCaler = 20071;  // the list comes forward on a given code
inline constexpr unsigned SolderPiece = 20077;
inline constexpr unsigned SolderJournal = 20079;
inline constexpr unsigned SolderCompte = 20081;
inline constexpr unsigned CreerLigne = 20083;
inline constexpr unsigned CreerPiece = 20085;
inline constexpr unsigned LignePrecedente = 20087;
inline constexpr unsigned LigneRestore = 20089;  // the line's fields as they were read
inline constexpr unsigned LigneSuivante = 20091;
inline constexpr unsigned Lettrer = 20093;
inline constexpr unsigned LettrerOuDelettrer = 20095;  // ticks or unticks the row
inline constexpr unsigned ProchaineLettre = 20097;
inline constexpr unsigned DeLettrer = 20099;
inline constexpr unsigned CopierLettrages = 20101;  // the letters copied between francs and euros
inline constexpr unsigned PageDebut = 20107;
inline constexpr unsigned PagePrecedente = 20109;
inline constexpr unsigned PageSuivante = 20111;
inline constexpr unsigned PageFin = 20113;
inline constexpr unsigned ToutesLesPages = 20115;
inline constexpr unsigned PartieEnHaut = 20117;
inline constexpr unsigned PartieEnBas = 20119;
inline constexpr unsigned PartieAGauche = 20121;
inline constexpr unsigned PartieADroite = 20123;
inline constexpr unsigned PageMoins10 = 20125;
inline constexpr unsigned PagePlus10 = 20127;
inline constexpr unsigned Modele = 20129;  // the next account of the entry model
inline constexpr unsigned AutreModele = 20131;
inline constexpr unsigned Inserer = 20133;  // the selected line appended to the text
inline constexpr unsigned TriParCode = 20145;
inline constexpr unsigned TriParNom = 20147;
inline constexpr unsigned Police = 20153;
inline constexpr unsigned AllerAuCode = 20155;  // F8
inline constexpr unsigned Zoom = 20157;
inline constexpr unsigned PageNormale = 20159;
inline constexpr unsigned Entree = 20161;
inline constexpr unsigned Deplacer = 20167;  // the piece moved to another journal
inline constexpr unsigned Copier = 20169;    // the piece copied to another journal
inline constexpr unsigned ToutSelectionner = command_id::ToutSelectionner;
inline constexpr unsigned SolderEtEnregistrer = 20175;
inline constexpr unsigned Exporter = 20177;
inline constexpr unsigned ComptesClients = 20179;       // dunning letters to the customers
inline constexpr unsigned ComptesFournisseurs = 20181;  // payments to the suppliers
inline constexpr unsigned ChercherMontant = 20185;
inline constexpr unsigned Texte = 20187;  // the record's free text
// Beyond the common range: the reconciliation list imports the statement's transactions that have no book line.
inline constexpr unsigned Importer = 24433;

}  // namespace child_command
