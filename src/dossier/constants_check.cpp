#include "dossier/constants_check.h"

#include <cstdio>
#include <cstdlib>

#include "platform/gui/application.h"
#include "platform/gui/constants.h"
#include "platform/gui/messagebox.h"
#include "runtime/logfile.h"
#include "runtime/text.h"
#include "runtime/xbase.h"

namespace {

using K = ConstantKind;
constexpr const char* kYesNo = "OUI|NON";

// Every constant, as its readers use it: the titles and helps the system shows, and for the
// constants whose readers give none a short title saying what they do.
const std::vector<ConstantDefinition>& Catalog() {
  static const std::vector<ConstantDefinition> catalog{
      {0, "", "", K::Free, "", "", 0, 0, "", false},
      {1, "", "", K::Free, "", "", 0, 0, "", false},
      {2, "D\xE9termination automatique du sens D\xE9" "bit et Cr\xE9" "dit", "OUI ou NON", K::List, kYesNo, "ON", 0, 0, "NON", false},
      {3, "", "", K::Free, "", "", 0, 0, "", false},
      {4, "Type de Bilan auquel est rattach\xE9 ce dossier",
       "NON=Aucun,;R=R\xE9" "el 2050,;S=Simplifi\xE9 2033,;A,B,C,D,E,F,G = Autre", K::List, "NON|R|S|A|B|C|D|E|F|G",
       "NRSABCDEFG", 0, 0, "NON", true},
      {5, "Contrepartie comptes auxiliaires propos\xE9" "e en Mod\xE8le", "OUI ou NON", K::List, kYesNo, "ON", 0, 0, "NON",
       false},
      {6, "Saisie des Ecritures d'un Journal d'Achats", "OUI = les comptes clients y sont accept\xE9s - OUI ou NON",
       K::List, kYesNo, "ON", 0, 0, "NON", true},
      {7, "Saisie des Ecritures d'un Journal de Ventes", "OUI = les comptes fournisseurs y sont accept\xE9s - OUI ou NON",
       K::List, kYesNo, "ON", 0, 0, "NON", true},
      {8, "", "", K::Free, "", "", 0, 0, "", false},
      {9, "Saisie des Ecritures sur mois de travail", "OUI = le mois de la saisie est celui de la date de travail",
       K::List, kYesNo, "ON", 0, 0, "NON", false},
      {10, "Cr\xE9" "ation propos\xE9" "e d'un compte inconnu",
       "NON, ou O suivi de la r\xE8gle des comptes g\xE9n\xE9raux puis de celle des auxiliaires:;3 \xE0 8 = longueur mini du "
       "code, U ou I = toujours;Ex: O38 ou OUI",
       K::Pattern, "N*|O{345678UI}{345678UI}", "", 0, 0, "OUI", false},
      {11, "", "", K::Free, "", "", 0, 0, "", false},
      {12, "", "", K::Free, "", "", 0, 0, "", false},
      {13, "", "", K::Free, "", "", 0, 0, "", false},
      {14, "", "", K::Free, "", "", 0, 0, "", false},
      {15, "", "", K::Free, "", "", 0, 0, "", false},
      {16, "", "", K::Free, "", "", 0, 0, "", false},
      {17, "", "", K::Free, "", "", 0, 0, "", false},
      {18, "Exports: d\xE9limiteur des colonnes",
       "NON = aucun d\xE9limiteur, TAB = tabulation, sinon le d\xE9limiteur lui-m\xEAme;Une virgule en t\xEAte: pas de virgule "
       "d\xE9" "cimale",
       K::Free, "NON|TAB|;", "", 0, 0, "NON", false},
      {19, "Sur les Etats, les codes des Comptes G\xE9n\xE9raux",
       "OUI = sans les 0 de droite,;5, 6 ou 7 = longueur des comptes,;NON = codes entiers", K::List, "OUI|NON|5|6|7",
       "ON567", 0, 0, "NON", false},
      {20, "Cadres et colonnages jusqu'en bas des pages", "OUI, V ou NON", K::List, "OUI|V|NON", "OVN", 0, 0, "NON",
       false},
      {21, "R\xE9gime de TVA 'sur les ENCAISSEMENTS'", "OUI=TVA sur les ENCAISSEMENTS", K::List, kYesNo, "ON", 0, 0,
       "NON", false},
      {22, "", "", K::Free, "", "", 0, 0, "", false},
      {23, "Date de Travail demand\xE9" "e \xE0 chaque ouverture",
       "NON = seulement \xE0 la premi\xE8re ouverture du jour sur ce poste", K::List, kYesNo, "ON", 0, 0, "OUI", false},
      {24, "", "", K::Free, "", "", 0, 0, "", false},
      {25, "Rafra\xEE" "chissement des listes (secondes)", "Nombre de secondes entre deux rafra\xEE" "chissements, 65 au plus;0 = "
       "jamais", K::Number, "", "", 0, 999, "000", false},
      {26, "Lettrage Manuel encha\xEEn\xE9 apr\xE8s saisie sur", "OUI ou NON", K::List, kYesNo, "ON", 0, 0, "NON", false},
      {27, "ReConstruction de dossier", "R\xE9" "Equilibre syst\xE9matique des Journaux incorrects - OUI ou NON", K::List,
       kYesNo, "ON", 0, 0, "NON", false},
      {28, "Lettrage des Comptes en Francs", "Premi\xE8res lettres du lettrage des comptes en Francs", K::Free, "", "", 0,
       0, "F00", false},
      {29, "Lettrage des Comptes en Euros", "Premi\xE8res lettres du lettrage des comptes en Euros", K::Free, "", "", 0, 0,
       "E00", false},
      {30, "Recherches: liste ou fen\xEAtre de choix",
       "N = la liste du fichier,;O = la fen\xEAtre de choix sans limite,;un nombre = la fen\xEAtre de choix limit\xE9" "e \xE0 ce "
       "nombre de lignes (Ex: 050)",
       K::Pattern, "N*|O*|#|##|###", "", 0, 0, "OUI", false},
      {31, "seulement jusqu'au MOIS de la Date de Travail", "OUI ou NON", K::List, kYesNo, "ON", 0, 0, "NON", false},
      {32, "Analytique: GL et Balance tri\xE9s / Compte G\xE9n\xE9ral",
       "OUI ou NON;Un changement demande la ReConstruction du dossier", K::List, kYesNo, "ON", 0, 0, "NON", false},
      {33, "Balances: AVEC tous les comptes sans mouvement", "NON, MVT ou SLD", K::List, "NON|MVT|SLD", "NMS", 0, 0,
       "MVT", true},
      {34, "", "", K::Free, "", "", 0, 0, "", false},
      {35, "", "", K::Free, "", "", 0, 0, "", false},
      {36, "Balances: Toutes les Ruptures apparaissent", "OUI ou NON", K::List, kYesNo, "ON", 0, 0, "NON", false},
      {37, "Balances ETAFI: Code du Journal des 'S.A.N.'", "Code du journal - Ex: 'AN'", K::Free, "", "", 0, 0, "AN",
       false},
      {38, "Visualisations et Impressions: Textes align\xE9s", "OUI ou NON", K::List, kYesNo, "ON", 0, 0, "NON", false},
      {39, "Ce dossier est SEULEMENT en EUROS", "OUI ou NON", K::List, kYesNo, "ON", 0, 0, "OUI", false},
      {40, "G\xE9n\xE9rations des S.A.N.: V\xE9rification Lettrages", "OUI ou NON", K::List, kYesNo, "ON", 0, 0, "NON", false},
      {41, "", "", K::Free, "", "", 0, 0, "", false},
      {42, "Etats: saut de ligne des doubles interlignes", "OUI, V ou NON", K::List, "OUI|V|NON", "OVN", 0, 0, "NON",
       false},
      {43, "Etats, Lettres de Relance: Fichier Virements", "Code de la Banque des virements", K::Free, "", "", 0, 0,
       "", false},
      {44, "Etats: Comptes, Grands Livres, Balances",
       "Les Lettrages orphelins, faits avec des \xE9" "critures au del\xE0 de la p\xE9riode demand\xE9" "e, apparaissent: NON, "
       "MIN=En Minuscule ou VID=Lettrage Vide",
       K::List, "NON|MIN|VID", "NMV", 0, 0, "NON", true},
      {45, "BALANCES: Le fichier export\xE9 est en OEM (MS-DOS)",
       "OUI=Pour MS-DOS,;MAJ=Majuscules,;NON=Pour Windows (Caract\xE8res inchang\xE9s)", K::List, "OUI|MAJ|NON", "ONM", 0, 0,
       "NON", true},
      {46, "", "", K::Free, "", "", 0, 0, "", false},
      {47, "Etats - Comptes", "OUI = le lettrage propos\xE9 est celui des lignes non lettr\xE9" "es", K::List, kYesNo, "ON", 0,
       0, "NON", false},
      {48, "Etats - Balances (Export CEGID)", "N ou A, puis 6 ou 8 chiffres - Ex: N6 ou A8", K::Pattern,
       "{NA}{68}", "", 0, 0, "N6", false},
      {49, "", "", K::Free, "", "", 0, 0, "", false},
      {50, "Lancement automatique par d\xE9" "faut", "OUI = DP-SS-NV- quand le fichier merlon.ini n'en donne aucun", K::List,
       kYesNo, "ON", 0, 0, "NON", false},
      {51, "", "", K::Free, "", "", 0, 0, "", false},
      {52, "Lettrage Manuel - Solder et Enregistrer",
       "Possibilit\xE9 de 'Solder et Enregistrer' les lignes lettr\xE9" "es - NON ou indiquer la valeur MAXI de l'\xE9" "cart "
       "accept\xE9",
       K::Free, "NON|1\x80|2\x80|3\x80|4\x80|5\x80|10\x80", "", 0, 0, "NON", false},
      {53, "Lettrage Manuel - Solder et Enregistrer",
       "Code Journal dans lequel sera g\xE9n\xE9r\xE9" "e l'Ecriture soldant les lignes lettr\xE9" "es - Ex: 'OD'", K::Free, "", "", 0,
       0, "OD", false},
      {54, "Lettrage Manuel - Solder et Enregistrer",
       "Sp\xE9" "cifier le 'Code Libell\xE9' \xE0 utiliser pour imputer la diff\xE9rence - Ex: '0'", K::Free, "", "", 0, 0, "0",
       false},
      {55, "Lettrage Manuel - Solder et Enregistrer",
       "Sp\xE9" "cifier les caract\xE8res 'xxx' des comptes '6xxx0000' et '7xxx0000' utilis\xE9s pour imputer la diff\xE9rence - "
       "Ex: '718' = 67180000 et 77180000",
       K::Free, "", "", 0, 0, "718", false},
      {56, "Ce dossier est CLOTURE DEFINITIVEMENT", "Saisie IMPOSSIBLE - OUI ou NON", K::List, kYesNo, "ON", 0, 0,
       "NON", true},
      {57, "Analytique propos\xE9" "e pour les comptes 6 et 7", "OUI = les comptes de classes 6 et 7 sont propos\xE9s AVEC "
       "analytique", K::List, kYesNo, "ON", 0, 0, "NON", false},
      {58, "G\xE9n\xE9ration des 'SOLDES A NOUVEAU' - Cptes Aux.", "OUI ou NON", K::List, kYesNo, "ON", 0, 0, "NON", false},
      {59, "G\xE9n\xE9ration des 'SOLDES A NOUVEAU' - Cptes Fin.", "OUI ou NON", K::List, kYesNo, "ON", 0, 0, "NON", false},
      {60, "Saisie - Utilisation des CODES VENTILATIONS", "OUI, NON ou AID", K::List, "OUI|NON|AID", "ONA", 0, 0,
       "OUI", true},
      {61, "Saisie - Mode d'Affichage de la fen\xEAtre 'Modif'", "A, B, C ou NOR", K::List, "A|B|C|NOR", "ABCN", 0, 0,
       "NOR", true},
      {62, "Plan Comptable: niveaux des ruptures",
       "Trois chiffres de 1 \xE0 3: comptes g\xE9n\xE9raux, comptes 'C', autres comptes auxiliaires - Ex: 122", K::Pattern,
       "{123}{123}{123}", "", 0, 0, "122", false},
      {63, "Sections Analytiques: niveau des ruptures", "Un chiffre de 1 \xE0 3", K::Pattern, "{123}", "", 0, 0, "1",
       false},
      {64, "Recherche F2 et F3",
       "Conversion des lettres accentu\xE9" "es;OUI = conversion en lettres non accentu\xE9" "es;NON = pas de conversion "
       "(recherche exacte)",
       K::List, kYesNo, "ON", 0, 0, "NON", true},
      {65, "Les Libell\xE9s 2 et 3 appara\xEEssent", "OUI ou NON", K::List, kYesNo, "ON", 0, 0, "NON", false},
      {66, "", "", K::Free, "", "", 0, 0, "", false},
      {67, "Etats - Balance G\xE9n\xE9rale - 'Code Act'", "OUI ou NON", K::List, kYesNo, "ON", 0, 0, "NON", false},
      {68, "", "", K::Free, "", "", 0, 0, "", false},
      {69, "TVA 'sur les ENCAISSEMENTS': Collectifs 1", "Lettres des collectifs - Ex: C", K::Pattern, "@|@@|@@@", "", 0,
       0, "C", false},
      {70, "TVA 'sur les ENCAISSEMENTS': Collectifs 2", "Lettres des collectifs", K::Pattern, "|@|@@|@@@", "", 0, 0,
       "", false},
      {71, "TVA 'sur les ENCAISSEMENTS': Collectifs 3", "Lettres des collectifs", K::Pattern, "|@|@@|@@@", "", 0, 0,
       "", false},
      {72, "Saisie - 'Libell\xE9 3' pour Virement SEPA", "OUI ou NON", K::List, kYesNo, "ON", 0, 0, "NON", false},
      {73, "Visualisations et Impressions: Angles arrondis", "OUI ou NON", K::List, kYesNo, "ON", 0, 0, "NON", false},
      {74, "", "", K::Free, "", "", 0, 0, "", false},
  };
  return catalog;
}

// One shape against the whole trimmed value.
bool MatchesShape(const std::string& value, const std::string& shape) {
  std::size_t v = 0;
  for (std::size_t s = 0; s < shape.size(); ++s) {
    const char c = shape[s];
    if (c == '*') return true;
    if (v >= value.size()) return false;
    const char x = value[v++];
    if (c == '#') {
      if (x < '0' || x > '9') return false;
    } else if (c == '@') {
      if (x < 'A' || x > 'Z') return false;
    } else if (c == '{') {
      const std::size_t close = shape.find('}', s);
      if (close == std::string::npos) return false;
      if (shape.substr(s + 1, close - s - 1).find(x) == std::string::npos) return false;
      s = close;
    } else if (c != '?' && c != x) {
      return false;
    }
  }
  return v == value.size();
}

}  // namespace

const std::vector<ConstantDefinition>& ConstantCatalog() { return Catalog(); }

const ConstantDefinition* FindConstantDefinition(int n) {
  const auto& all = Catalog();
  if (n < 0 || n >= static_cast<int>(all.size())) return nullptr;
  return &all[static_cast<std::size_t>(n)];
}

bool ConstantMatchesPattern(const std::string& value, const char* shapes) {
  const std::string trimmed = TrimmedRight(value);
  const std::string all = shapes != nullptr ? shapes : "";
  std::size_t start = 0;
  for (;;) {
    const std::size_t bar = all.find('|', start);
    if (MatchesShape(trimmed, all.substr(start, bar == std::string::npos ? std::string::npos : bar - start))) return true;
    if (bar == std::string::npos) return false;
    start = bar + 1;
  }
}

bool ConstantValueAccepted(const ConstantDefinition& d, const std::string& value) {
  if (value.size() > 3) return false;
  const std::string trimmed = TrimmedRight(value);
  switch (d.kind) {
    case ConstantKind::List:
      return !trimmed.empty() && trimmed[0] != ' ' && std::string(d.firstChars).find(trimmed[0]) != std::string::npos;
    case ConstantKind::Number: {
      const std::size_t b = trimmed.find_first_not_of(' ');
      const std::string digits = b == std::string::npos ? std::string() : trimmed.substr(b);
      if (digits.empty() || digits.find_first_not_of("0123456789") != std::string::npos) return false;
      const int n = std::atoi(digits.c_str());
      return n >= d.low && n <= d.high;
    }
    case ConstantKind::Pattern:
      return ConstantMatchesPattern(trimmed, d.values);
    case ConstantKind::Free:
      return true;
  }
  return false;
}

std::vector<std::string> ConstantValueButtons(const ConstantDefinition& d) {
  std::vector<std::string> buttons;
  if (d.kind != ConstantKind::List && d.kind != ConstantKind::Free) return buttons;
  const std::string all = d.values;
  std::size_t start = 0;
  while (start < all.size()) {
    std::size_t bar = all.find('|', start);
    if (bar == std::string::npos) bar = all.size();
    if (bar > start) buttons.push_back(all.substr(start, bar - start));
    start = bar + 1;
  }
  return buttons;
}

const std::vector<ConstantRule>& ResettableConstants() {
  static const std::vector<ConstantRule> rules = [] {
    std::vector<ConstantRule> r;
    for (const ConstantDefinition& d : Catalog())
      if (d.resettable) r.push_back({d.number, d.firstChars, d.defaultValue});
    return r;
  }();
  return rules;
}

std::vector<ConstantReset> ResetInvalidConstants(DossierRecord& record) {
  std::vector<ConstantReset> resets;
  for (const ConstantRule& rule : ResettableConstants()) {
    const std::string value = record.Constant(rule.number);
    const char first = value.empty() ? ' ' : value[0];
    bool valid = false;
    for (const char* p = rule.firstChars; *p != '\0'; ++p)
      if (*p == first) valid = true;
    if (valid) continue;
    record.SetConstant(rule.number, rule.defaultValue);
    resets.push_back({rule.number, value, record.Constant(rule.number)});
  }
  return resets;
}

namespace {

std::string Number3(int n) {
  char buffer[8];
  std::snprintf(buffer, sizeof buffer, "%03d", n);
  return buffer;
}

}  // namespace

std::string ConstantsResetMessage(const std::vector<ConstantReset>& resets) {
  std::string text = LoadStr(19701);
  for (const ConstantReset& r : resets)
    text += "   " + Number3(r.number) + ":  '" + r.oldValue + "'  ->  '" + r.newValue + "'\n";
  text += LoadStr(55);
  return text;
}

bool CheckDossierConstants(gui::Window* client) {
  const std::vector<ConstantReset> resets = ResetInvalidConstants(TheDossierRecord);
  if (resets.empty()) return false;
  std::string line = "CONSTANTES - Ok - remises par d\xE9" "faut:";
  for (const ConstantReset& r : resets) line += " " + Number3(r.number) + "='" + r.oldValue + "'>" + r.newValue;
  WriteLog(line);
  gui::MessageBeep(0);
  gui::MessageBox(client, ConstantsResetMessage(resets), LoadStr(52), gui::MB_OK | gui::MB_ICONINFORMATION);
  return true;
}
