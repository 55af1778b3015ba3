// The demo company's world: its chart of accounts, the names of its customers and suppliers,
// its VAT codes, journals and standard labels, and its analytic sections.
#pragma once

#include <array>
#include <string_view>

namespace demo {

struct GeneralAccount {
  const char* code;
  const char* name;
};

// A chart of accounts drawn from the plan comptable général, classes 1 to 7.
inline constexpr std::array<GeneralAccount, 37> kChart{{
    {"10100000", "Capital social"},
    {"10610000", "R\xE9serve l\xE9gale"},
    {"10680000", "Autres r\xE9serves"},
    {"12000000", "R\xE9sultat de l'exercice"},
    {"16400000", "Emprunts aupr\xE8s \xE9tab. cr\xE9" "dit"},
    {"21540000", "Mat\xE9riel industriel"},
    {"21830000", "Mat\xE9riel de bureau"},
    {"28154000", "Amort. mat\xE9riel industriel"},
    {"37000000", "Stocks de marchandises"},
    {"40100000", "Fournisseurs"},
    {"41100000", "Clients"},
    {"42100000", "Personnel - r\xE9mun\xE9rations dues"},
    {"43100000", "S\xE9" "curit\xE9 sociale"},
    {"44551000", "TVA \xE0 d\xE9" "caisser"},
    {"44566000", "TVA d\xE9" "ductible sur ABS"},
    {"44571000", "TVA collect\xE9" "e"},
    {"51200000", "Banque"},
    {"53000000", "Caisse"},
    {"60110000", "Achats de mati\xE8res premi\xE8res"},
    {"60610000", "Fournitures non stockables"},
    {"60640000", "Fournitures administratives"},
    {"60700000", "Achats de marchandises"},
    {"61320000", "Locations immobili\xE8res"},
    {"61550000", "Entretien et r\xE9parations"},
    {"61600000", "Primes d'assurances"},
    {"62260000", "Honoraires"},
    {"62600000", "Frais postaux et t\xE9l\xE9" "com."},
    {"62700000", "Services bancaires"},
    {"63500000", "Autres imp\xF4ts et taxes"},
    {"64110000", "Salaires et appointements"},
    {"64510000", "Cotisations URSSAF"},
    {"66110000", "Int\xE9r\xEAts des emprunts"},
    {"68112000", "Dotations aux amortissements"},
    {"70600000", "Prestations de services"},
    {"70700000", "Ventes de marchandises"},
    {"70800000", "Produits des activit\xE9s annexes"},
    {"76800000", "Autres produits financiers"},
}};

inline int ChartIndex(std::string_view code) {
  for (std::size_t i = 0; i < kChart.size(); ++i)
    if (code == kChart[i].code) return static_cast<int>(i);
  return -1;
}

struct Surname {
  const char* name;  // as written
  const char* key;   // four plain capitals for the account code
};
inline constexpr std::array<Surname, 30> kSurnames{{
    {"Martin", "MART"},   {"Bernard", "BERN"}, {"Dubois", "DUBO"},   {"Thomas", "THOM"},
    {"Robert", "ROBE"},   {"Richard", "RICH"}, {"Petit", "PETI"},    {"Durand", "DURA"},
    {"Leroy", "LERO"},    {"Moreau", "MORE"},  {"Simon", "SIMO"},    {"Laurent", "LAUR"},
    {"Lef\xE8vre", "LEFE"}, {"Michel", "MICH"}, {"Garcia", "GARC"},  {"David", "DAVI"},
    {"Bertrand", "BERT"}, {"Roux", "ROUX"},    {"Vincent", "VINC"},  {"Fournier", "FOUR"},
    {"Morel", "MORL"},    {"Girard", "GIRA"},  {"Andr\xE9", "ANDR"}, {"Mercier", "MERC"},
    {"Dupont", "DUPO"},   {"Lambert", "LAMB"}, {"Bonnet", "BONN"},   {"Fran\xE7ois", "FRAN"},
    {"Chevalier", "CHEV"}, {"Gauthier", "GAUT"},
}};
inline constexpr std::array<const char*, 15> kCustomerTrades{{
    "Boulangerie", "Garage", "Pharmacie", "Restaurant", "H\xF4tel", "Menuiserie", "Librairie", "Cabinet",
    "Boucherie", "Fleuriste", "Imprimerie", "Transports", "\xC9picerie", "Plomberie", "Agence"}};
struct SupplierTrade {
  const char* name;
  const char* account;  // the charge its invoices go to
};
inline constexpr std::array<SupplierTrade, 10> kSupplierTrades{{
    {"N\xE9goce", "60700000"},
    {"Mat\xE9riaux", "60110000"},
    {"Papeterie", "60640000"},
    {"\xC9nergie", "60610000"},
    {"Immobilier", "61320000"},
    {"Maintenance", "61550000"},
    {"Assurances", "61600000"},
    {"Conseil", "62260000"},
    {"T\xE9l\xE9" "com", "62600000"},
    {"Distribution", "60700000"},
}};
inline constexpr std::array<const char*, 4> kLegalForms{{"SARL", "SAS", "EURL", "SA"}};
inline constexpr std::array<const char*, 10> kStreets{{
    "rue de la R\xE9publique", "avenue Jean Jaur\xE8s", "boulevard Victor Hugo", "rue Pasteur",
    "place de la Mairie", "rue du Moulin", "chemin des Vignes", "all\xE9" "e des Tilleuls", "rue Nationale",
    "quai de la Loire"}};
inline constexpr std::array<const char*, 16> kTowns{{
    "75011 Paris", "69003 Lyon", "13001 Marseille", "31000 Toulouse", "44000 Nantes", "33000 Bordeaux",
    "59000 Lille", "67000 Strasbourg", "35000 Rennes", "34000 Montpellier", "21000 Dijon", "37000 Tours",
    "49000 Angers", "63000 Clermont-Ferrand", "76000 Rouen", "45000 Orl\xE9" "ans"}};
inline constexpr std::array<const char*, 12> kMonths{{"janvier", "f\xE9vrier", "mars", "avril", "mai", "juin",
                                               "juillet", "ao\xFBt", "septembre", "octobre", "novembre",
                                               "d\xE9" "cembre"}};

struct VatCode {
  char code;
  const char* name;
  const char* rateText;  // 5 characters, right-aligned
  long long basisPoints;
};
inline constexpr std::array<VatCode, 3> kVat{{
    {'1', "TVA taux normal 20 %", "20.00", 2000},
    {'2', "TVA taux interm\xE9" "diaire 10 %", "10.00", 1000},
    {'3', "TVA taux r\xE9" "duit 5,5 %", " 5.50", 550},
}};

enum Journal { kAC, kVE, kBQ, kOD, kAN, kJournalCount };
struct JournalDef {
  const char* code;  // 3 characters
  const char* name;
  char type;
  const char* counterpart;
};
inline constexpr std::array<JournalDef, kJournalCount> kJournals{{
    {"AC ", "Journal des Achats", 'A', "        "},
    {"VE ", "Journal des Ventes", 'V', "        "},
    {"BQ ", "Banque BNP Paribas", 'T', "51200000"},
    {"OD ", "Op\xE9rations Diverses", 'O', "        "},
    // The opening balances, the journal of dossier constant 037.
    {"AN ", "A-Nouveaux", 'O', "        "},
}};

// Standard labels: code, name, short label, type digit.
struct LabelDef {
  const char* code;
  const char* name;
  const char* shortLabel;
  char type;
};
inline constexpr std::array<LabelDef, 6> kLabels{{
    {"0", "Aucun libell\xE9", "-      ", '0'},
    {"1", "Facture", "Facture", '1'},
    {"2", "Avoir", "Avoir  ", '2'},
    {"4", "Ch\xE8que \xE9mis", "Ch\xE8que ", '4'},
    {"5", "Remise de ch\xE8ques", "Remise ", '5'},
    {"7", "R\xE9gularisation", "R\xE9gul. ", '7'},
}};

// Analytic sections: departments on the first axis, regions on the second.
struct SectionDef {
  const char* code;
  const char* name;
};
inline constexpr std::array<SectionDef, 5> kDepartments{{
    {"ATELIER", "Atelier de production"},
    {"BUREAU", "Bureau d'\xE9tudes"},
    {"COMMERCE", "Service commercial"},
    {"ADMIN", "Administration"},
    {"SAV", "Service apr\xE8s-vente"},
}};
inline constexpr std::array<SectionDef, 5> kRegions{{
    {"IDF", "\xCEle-de-France"},
    {"NORD", "R\xE9gion Nord"},
    {"SUD", "R\xE9gion Sud"},
    {"EST", "R\xE9gion Est"},
    {"OUEST", "R\xE9gion Ouest"},
}};

}  // namespace demo
