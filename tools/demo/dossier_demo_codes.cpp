// The code lists of the demo dossier beside those the entries use: establishments, entry
// models with their keyword lines, distribution codes, journals with their own piece counter,
// the standard labels of the remaining types, and banks with their RIB, IBAN and BIC. Every
// sub-field stands at its place in the packed fields 4 and 5 of its C10 record.
#include "data/table.h"
#include "demo/dossier_demo_internal.h"
#include "runtime/bank_ids.h"

namespace demo {
namespace {

struct EstablishmentDef {
  const char* number;  // the establishment number of the SIRET, also the code
  const char* name;
  const char* street;
  const char* houseNumber;  // 4 characters
  char addition;            // "B" for bis, " " none
  const char* way;
  const char* postalCode;
  const char* town;
};
constexpr std::array<EstablishmentDef, 2> kEstablishments{{
    {"0001", "Si\xE8ge social", "Zone artisanale des Pr\xE9s", "  12", ' ', "rue des Forges", "37000", "Tours"},
    {"0002", "Atelier de Blois", "Parc d'activit\xE9s du Lac", "   4", 'B', "all\xE9" "e des Tanneurs", "41000", "Blois"},
}};

// Entry models: their lines carry the keywords journal entry reads.
struct ModelDef {
  const char* code;
  const char* name;
  const char* text;
};
constexpr std::array<ModelDef, 3> kModels{{
    {"LOYER", "Loyer mensuel",
     "CC=61320000 LI=Loyer du mois DC=D MO=1500\r\n"
     "CC=44566000 LI=TVA sur loyer DC=D MO=300\r\n"
     "CP=40100000 CL=1 LI=Bailleur DC=C MO=SOLDE\r\n"},
    {"ASSUR", "Prime d'assurance",
     "CC=61600000 LI=Prime annuelle DC=D MO=840\r\n"
     "cc=51200000 cl=4 dc=C mo=SOLDE\r\n"},
    {"CAISSE", "Vente au comptant",
     "CC=53000000 CL=8 LI=Vente comptant DC=D MO=SOLDE\r\n"
     "CC=70700000 LI=Marchandises DC=C MO=100\r\n"
     "CC=44571000 LI=TVA collect\xE9" "e DC=C MO=20\r\n"},
}};

// Distribution codes; a blank account is stored as eight zeros.
struct DistributionDef {
  const char* code;
  const char* name;
  const char* account;
};
constexpr std::array<DistributionDef, 3> kDistributions{{
    {"A1", "Atelier - mati\xE8res", "60110000"},
    {"B", "Bureau - fournitures", "60640000"},
    {"9", "Divers sans compte", ""},
}};

// Journals without entries that number their own pieces.
struct CountedJournalDef {
  const char* code;
  const char* name;
  char type;
  const char* counterpart;
  char defaultLabel;
  const char* model;
  int lastPiece;
  char dashboard;
};
constexpr std::array<CountedJournalDef, 2> kCountedJournals{{
    {"CAI", "Caisse", 'T', "53000000", '8', "CAISSE", 41, 'O'},
    {"ODA", "OD automatiques", 'O', "", ' ', "LOYER", 7, 'N'},
}};

// The label types the entries do not use.
constexpr std::array<LabelDef, 3> kMoreLabels{{
    {"3", "Acompte re\xE7u", "Acompte", '3'},
    {"6", "Traite accept\xE9" "e", "Traite ", '6'},
    {"8", "R\xE8glement en esp\xE8" "ces", "Esp\xE8" "ces", '8'},
}};

struct BankDef {
  const char* code;
  const char* name;
  const char* street;
  const char* town;
  const char* contact;
  const char* issuer;
  const char* phone;
  const char* holder;
  const char* bank;     // 5 digits
  const char* branch;   // 5 digits
  const char* account;  // 11 characters, letters allowed
  char separator;
  const char* email;
  const char* bic;
  const char* journal;
};
constexpr std::array<BankDef, 2> kBanks{{
    {"BQ01", "Cr\xE9" "dit Agricole Touraine", "14 rue de la Gare", "37000 Tours", "M. Dupuis", "654321",
     "02 47 39 82 00", "SARL Ateliers Merlon", "18206", "00041", "00012345678", 'O', "agence.tours@ca.exemple.fr",
     "AGRIFRPP882", "BQ "},
    {"BQ02", "La Banque Postale", "4 quai Dunant", "37000 Tours", "Service pro", "", "36 39", "Ateliers Merlon",
     "20041", "01005", "0500013M026", 'N', "", "PSSTFRPPTOU", "BQ "},
}};

bool AppendCode(Table& c10, char kind, const std::string& code, const std::string& name, const std::string& zone1,
                const std::string& zone2 = "", const std::string& memo = "") {
  if (!c10.AppendBlank()) return false;
  bool ok = c10.PutField(1, std::string(1, kind).c_str()) && c10.PutField(2, code.c_str()) &&
            c10.PutField(3, name.c_str()) && c10.PutField(4, zone1.c_str());
  if (ok && !zone2.empty()) ok = c10.PutField(5, zone2.c_str());
  // The memo goes with the record the insert writes.
  if (ok && !memo.empty()) ok = c10.PutMemoText(7, memo);
  return c10.InsertRecord() && ok;
}

// A RIB with its right key; empty when the parts cannot make one.
std::string Rib(const BankDef& b) {
  std::string rib = std::string(b.bank) + b.branch + b.account + "00";
  const int key = CheckRibKey(rib);
  if (key <= 0) return {};
  rib.replace(21, 2, Digits(key, 2));
  return rib;
}

// "FR", the check digits, and the RIB.
std::string IbanOfRib(const std::string& rib) {
  std::string iban = "FR00" + rib;
  const int digits = CheckIban(iban);
  if (digits > 0) iban.replace(2, 2, Digits(digits, 2));
  return iban;
}

// A model's text as the line form reads it: each "LI=" label blank-filled to its 25 characters,
// so that the keyword after it is not read into the label.
std::string ModelText(const char* text) {
  constexpr std::size_t kLabelWidth = 25;
  std::string out = text;
  for (std::size_t at = out.find("LI="); at != std::string::npos; at = out.find("LI=", at + 3)) {
    const std::size_t start = at + 3;
    std::size_t end = out.find(" ", start);
    // The label runs to the next keyword ("XX=") or to the end of its line.
    while (end != std::string::npos && !(end + 3 < out.size() && out[end + 3] == '=')) end = out.find(" ", end + 1);
    if (end == std::string::npos || end > out.find("\r\n", start)) end = out.find("\r\n", start);
    if (end - start < kLabelWidth) out.insert(end, kLabelWidth - (end - start), ' ');
  }
  return out;
}

}  // namespace

bool WriteCodeLists(Table& c10, const std::string& siren) {
  bool ok = true;
  for (const LabelDef& l : kMoreLabels)
    ok = ok && AppendCode(c10, 'L', l.code, l.name, Fit(l.shortLabel, 7) + l.type);
  for (const ModelDef& m : kModels) ok = ok && AppendCode(c10, 'M', m.code, m.name, "", "", ModelText(m.text));
  for (const CountedJournalDef& j : kCountedJournals)
    ok = ok && AppendCode(c10, 'J', j.code, j.name,
                          std::string(1, j.type) + Fit(j.counterpart, 8) + j.defaultLabel + Fit(j.model, 8) +
                              Digits(j.lastPiece, 6) + j.dashboard);
  for (const DistributionDef& v : kDistributions)
    ok = ok && AppendCode(c10, 'V', v.code, v.name, *v.account != '\0' ? v.account : "00000000");
  for (const EstablishmentDef& e : kEstablishments) {
    const int key = LuhnKey(siren + e.number);
    if (key < 0) return false;
    ok = ok && AppendCode(c10, 'E', e.number, e.name,
                          Fit(e.street, 30) + e.houseNumber + e.addition + " " + Fit(e.way, 24) + e.postalCode + " " +
                              Fit(e.town, 24) + static_cast<char>('0' + key));
  }
  for (const BankDef& b : kBanks) {
    const std::string rib = Rib(b);
    if (rib.size() != 23) return false;
    const std::string zone1 = Fit(b.street, 30) + Fit("", 30) + Fit(b.town, 30) + Fit(b.contact, 30) +
                              Fit(b.issuer, 6) + Fit(b.phone, 15) + Fit("", 15) + Fit(b.holder, 30) + rib +
                              b.separator + Fit(b.email, 30);
    const std::string zone2 = Fit(IbanOfRib(rib), 34) + Fit(b.bic, 11) + "51200000" + b.journal;
    ok = ok && AppendCode(c10, 'Q', b.code, b.name, zone1, zone2);
  }
  return ok;
}

}  // namespace demo
