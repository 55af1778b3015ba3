// Ids of the texts of the code lists in the string table (strings/masterdata.txt).
#pragma once

namespace masterdata {

constexpr int kMsgUnknownKind = 14100;       // "Type de code inconnu: '%s'": the kind
constexpr int kMsgEmptyName = 14101;         // "La désignation ne peut être vide"
constexpr int kMsgUnknownAccount = 14102;    // "Le Compte est inconnu"
constexpr int kMsgUnknownLabel = 14103;      // "Le Code Libellé est inconnu"
constexpr int kMsgUnknownModel = 14104;      // "Le Modèle d'Ecriture est inconnu"
constexpr int kMsgWrongRibKey = 14105;       // "\n\nClé RIB incorrecte:\n\n%s": the right key
constexpr int kMsgWrongIbanKey = 14106;      // "\n\nClé IBAN incorrecte:\n\n%s": the right key
constexpr int kTextCopyOf = 14107;           // "Copie de %s": the name of the code copied
constexpr int kTextCopyOfWith = 22398;       // "Copie de %s %s": the code copied, then its field
constexpr int kMsgCreateTypedCode = 14108;   // the kind's label, the code, then "inexistant ... le créer?"
constexpr int kTextPreviewOf = 14109;        // "Visualisation: %s": the list's title
constexpr int kMsgCodeExists = 14110;        // "Code déjà existant"
constexpr int kMsgEnterCode = 14111;         // "Entrez un Code"
constexpr int kMsgCodeStart = 14112;         // the code's first character
constexpr int kMsgCollectiveStart = 14113;   // a collective's first character
constexpr int kMsgVatStart = 14114;          // a VAT code's first character
constexpr int kMsgNoBlankInCode = 14115;     // "Svp, pas d'espace parmi le code"
constexpr int kMsgCollectiveFirst1 = 14116;  // "\nATTENTION, auparavant..."
constexpr int kMsgCollectiveFirst2 = 14117;  // "le compte collectif '%s' doit exister": the collective's letter
constexpr int kMsgUnknownSource = 14119;     // "Code à dupliquer inconnu"
constexpr int kMsgVatOneCharacter = 14120;   // a VAT code longer than one character
constexpr int kTextFromFile = 14121;         // "A partir du fichier:\n%s": the file
constexpr int kTextAsciiFilter = 14122;      // filter of the report-file choice
constexpr int kTextAsciiTitle = 14123;       // title of the report-file choice
constexpr int kIniSectionAide = 14124;       // "Aide"
constexpr int kIniTriParNom = 14125;         // "TriParNom"
constexpr int kIniParmi = 14126;             // "Parmi"
constexpr int kTextReferenceSet = 43;        // "CESETATS"
constexpr int kMsgCreateFailed = 14128;      // the insert of a new code failed
constexpr int kMsgCodeUnread = 38155;        // a new code's look-up refused by the disk: the code, why
constexpr int kMsgCodeNotCreated = 39351;    // a new code's write refused: the code, why
constexpr int kMsgModelUnread = 39350;       // a new code's model refused by the disk: the code, the model, why
constexpr int kMsgRibDigits = 14129;         // bank and branch codes are digits
constexpr int kMsgCounterNotNumber = 14130;  // the journal's piece counter is no number
constexpr int kMsgRecordLocked = 14131;      // the creation lock could not be had
constexpr int kTipChart = 14133;             // "Choisir le code dans le fichier du Plan Comptable"
constexpr int kTipLabels = 14134;            // "Choisir le code dans le fichier des Code Libellés"
constexpr int kTipModels = 14135;            // "Choisir le code dans le fichier des Modèles"
constexpr int kTipRibToIban = 14136;         // "Générer automatiquement le code IBAN selon le RIB"
constexpr int kTextNo = 14137;               // "Non"
constexpr int kTextYes = 14138;              // "Oui"
constexpr int kTextUnknown = 38;             // "???": a code or a name the files do not hold

// The chart of accounts and the analytic sections.
constexpr int kChartReportDefinitions = 14180;    // the 29 report variables of the chart
constexpr int kSectionReportDefinitions = 14181;  // the 17 of the sections
constexpr int kTextSearchChart = 14182;           // "Recherche dans le Plan Comptable"
constexpr int kTextSearchSections = 14183;        // "Recherche dans les Sections Analytiques"
constexpr int kTextByCode = 14184;                // "%s (Tri par Code)": the list's title
constexpr int kTextByName = 14185;                // "%s (Tri par Nom)"
constexpr int kMsgNoCollective = 14186;           // "\n\n\nLe compte collectif n'existe pas:\n\n   %s\n\n": its letter
constexpr int kMsgSearchInterrupted = 14187;      // "\n\n\nRecherche Interrompue\n\n\n"
constexpr int kMsgWordsNotFound = 14188;          // "\n\n\n   Mot(s):\n\n      '%s'\n\n   introuvable(s)\n\n\n"
constexpr int kMsgWrongAmount = 14190;            // an amount that is not a number: the amount typed
constexpr int kMsgAmountPastField = 37711;        // an amount or its twin past its field: column, amount, range
constexpr int kMsgStoredAmountUnread = 39252;     // stored amounts that do not read as numbers: their texts
constexpr int kMsgAmountBelowField = 39100;       // the same below zero
constexpr int kMsgAmountPastOwnField = 39101;     // an amount past its own field (its twin fits): column, amount, range
constexpr int kMsgAmountBelowOwnField = 39102;    // the same below zero
constexpr int kIniSectionChart = 14191;           // "PlanComptable"
constexpr int kIniBankAccounts = 14192;           // "CGAvecDomBanc"
constexpr int kDefaultBankAccounts = 14193;       // "-43-512-514-515-58-"
constexpr int kMsgNoSmallLetter = 14194;          // an account or section code with a small letter
constexpr int kMsgWordsPrompt = 796;              // "20,Entrez un mot à rechercher"

// Titles the forms and lists of both files share.
constexpr int kTextTelephone = 22315;  // "Téléphone"
constexpr int kTextFax = 22310;        // "Télécopie"
constexpr int kTextRibKey = 22312;     // "Clé RIB"
constexpr int kTextEurosBox = 19744;   // "En Eur&os"

// The report variables of each list: 14-character definitions packed one after the other.
constexpr int kReportDefinitionsBase = 14140;  // + the kind's index in CodeKinds() order of the letters below
// The label types: 39 characters each (digit, long name on 30, short name on 7, digit), "0" to "8" then the
// types the label form never offers.
constexpr int kLabelTypeFirst = 14150;
constexpr int kLabelTypeCount = 14;
// The journal types as the journal form offers them.
constexpr int kJournalTypeFirst = 14170;
constexpr int kJournalTypeCount = 4;

}  // namespace masterdata
