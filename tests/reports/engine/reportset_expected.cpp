#include <map>

#include "reportset_support.h"

namespace reportset {

// The layouts of each family in catalog order: words of the title and the totals the printed
// ones show in their PDF (cp1252, as the report variables print them).
const std::vector<Expected>& ExpectedLayouts(const std::string& familyFile) {
  static const std::vector<std::string> kBalanceTotals{"58 094.00", "22 013.00", "37 481.00 Db"};
  static const std::map<std::string, std::vector<Expected>> kLayouts{
      {"statement.txt", {
           {"EC-1STD", "Relev\xE9 de compte", {"18 490.60", "4 060.25", "14 430.35 Db"}},
           {"EC-CSV", "", {}},
           {"ECA-1STD", "Relev\xE9 de compte analytique", {"18 490.60", "4 060.25", "14 430.35 Db"}},
           {"ECA-CSV", "", {}},
       }},
      {"ledgers.txt", {
           {"EG-1STD", "Grand livre GENERAL", {"26 342.70", "15 504.90", "10 837.80 Db"}},
           {"EG-SOLDES", "Soldes du grand livre", {"26 342.70", "15 504.90", "10 837.80 Db"}},
           {"EG-CSV", "", {}},
       }},
      {"ledgers_analytic.txt", {
           {"EGA-1STD", "Grand livre ANALYTIQUE", {"26 342.70", "15 504.90", "10 837.80 Db"}},
           {"EGA-SOLDES", "Soldes du grand livre", {"26 342.70", "15 504.90", "10 837.80 Db"}},
           {"EGA-CSV", "", {}},
       }},
      {"journals.txt", {
           {"EJ-1STD", "Journaux", {"3 840.00", "5 040.00", "1 200.00 Cr", "1 440.00", "Journal BQ Banque Populaire - 02/24"}},
           {"EJ-CSV", "", {}},
           {"EJA-1STD", "Journaux analytiques", {"Db 3 840.00", "Cr 5 040.00", "1 200.00 Cr"}},
           {"EJA-CSV", "", {}},
           {"EJR-STD", "Journaux r\xE9" "capitulatifs", {"3 840.00", "5 040.00", "1 440.00"}},
           {"EJRA-STD", "Journaux r\xE9" "capitulatifs anal.", {"Db 3 840.00", "Cr 5 040.00"}},
       }},
      {"summary.txt", {
           {"ER-1STD", "R\xE9" "capitulatif centralisateur", {"55 581.30", "25 475.10", "83 556.40"}},
           {"ER-CSV", "", {}},
       }},
      {"balances.txt", {
           {"EBS-1STD", "Balance des comptes", {"58 094.00", "22 013.00", "37 481.00 Db", "23 905.25 Db"}},
           {"EBS-MOIS", "Balance par mois", {"37 481.00 Db"}},
           {"EBS-AGEE", "Balance \xE2g\xE9" "e", {"14 992.40", "37 481.00 Db"}},
           {"EBS-NM1", "Balance compar\xE9" "e N-1", {"58 094.00", "37 481.00 Db", "14 000.00 Db"}},
           {"EBS-BUDGET", "Balance budg\xE9taire", {"37 481.00 Db", "92 000.00 Db"}},
           {"EBS-REGR3", "Balance regroup\xE9" "e", kBalanceTotals},
           {"EBS-LIASSE", "", {}},
           {"EBS-CSV", "", {}},
           {"EBS-FEC", "", {}},
           {"EBS-XC", "", {}},
           {"EBA-FEC", "", {}},
           {"EBA-XC", "", {}},
           {"EBC-FEC", "", {}},
           {"EBC-XC", "", {}},
           {"EBB-FEC", "", {}},
           {"EBB-XC", "", {}},
           {"EBA-1STD", "Balance et autres lignes", kBalanceTotals},
           {"EBA-CSV", "", {}},
           {"EBC-1STD", "Balance avec cumul ant\xE9rieur", kBalanceTotals},
           {"EBC-CSV", "", {}},
           {"EBB-1STD", "Balance cumul et autres lignes", {"1 100.00 Db", "300.00 Db", "37 481.00 Db"}},
           {"EBB-CSV", "", {}},
       }},
      {"balances_analytic.txt", {
           {"EBAS-1STD", "Balance des comptes", kBalanceTotals},
           {"EBAS-MOIS", "Balance par mois", {"37 481.00 Db"}},
           {"EBAS-AGEE", "Balance \xE2g\xE9" "e", {"14 992.40", "37 481.00 Db"}},
           {"EBAS-NM1", "Balance compar\xE9" "e N-1", {"37 481.00 Db", "14 000.00 Db"}},
           {"EBAS-BUDGE", "Balance budg\xE9taire", {"37 481.00 Db", "92 000.00 Db"}},
           {"EBAS-LIASS", "", {}},
           {"EBAS-CSV", "", {}},
           {"EBAA-1STD", "Balance et autres lignes", kBalanceTotals},
           {"EBAA-CSV", "", {}},
           {"EBAC-1STD", "Balance avec cumul ant\xE9rieur", kBalanceTotals},
           {"EBAC-CSV", "", {}},
           {"EBAB-1STD", "Balance cumul et autres lignes", {"1 100.00 Db", "300.00 Db", "37 481.00 Db"}},
           {"EBAB-CSV", "", {}},
       }},
      {"balance_sheet.txt", {
           {"EE-LIGNES", "Bilan 'REEL SIMPLIFIE 2033'", {"186 420.75", "171 300.00", "8.83"}},
           {"EE-2033", "Bilan simplifi\xE9 2033", {"2237.50", "7325.00", "11037.50"}},
           {"EE-2050", "Bilan et compte de r\xE9sultat", {"AB", "HN", "28225.00"}},
       }},
      {"annex.txt", {
           {"EEA-LIGNES", "Annexe du bilan", {"17 500.00", "34 000.00", "50 000.00"}},
           {"EEA-2033", "Annexe: d\xE9tail des cases 2033", {"17 500.00", "34 000.00", "50 000.00"}},
           {"EEA-2050", "Annexe: d\xE9tail des postes 2050", {"17 500.00", "34 000.00", "50 000.00"}},
       }},
      {"dunning.txt", {
           {"EL-1LISTE", "Liste des comptes \xE0 relancer", {"4 980.60", "2 350.00"}},
           {"EL-2RELANC", "relance de paiement", {"2 350.00", "Le service comptable"}},
           {"EL-2RELEVE", "Relev\xE9 de compte", {"2 350.00", "Solde du compte"}},
           {"EL-1ECHEAN", "Ech\xE9" "ancier", {"1 300.00", "2 350.00"}},
           {"EL-1PAIEM", "Paiement des fournisseurs", {"4 980.60"}},
           {"EL-1VIRT", "", {}},
           {"EL-1SEPA", "Virements SEPA des fournisseurs", {"FR7610907000011234567890142"}},
       }},
      {"vat_debits.txt", {
           {"EDD-CA3", "D\xE9" "claration de TVA (d\xE9" "bits)", {"37 284.15", "23 213.78", "1 850.00"}},
       }},
      {"vat_receipts.txt", {
           {"EDE-CA3", "D\xE9" "claration de TVA (encaissements)", {"13 950.00", "8 349.60"}},
           {"EDE-DETAIL", "TVA sur les encaissements", {"3 287.15", "13 950.00", "2 325.00"}},
       }},
      {"journal_lines.txt", {
           {"SS-1JOURN", "Journal BQ Banque Populaire", {"4 230.50", "5 160.90"}},
           {"SS-PIECE", "Pi\xE8" "ce comptable", {"Pi\xE8" "ce 000045", "318.00"}},
           {"SS-CSV", "", {}},
           {"SS-VIRT", "", {}},
           {"SS-SEPA", "Virements SEPA", {"FR7610907000011234567890142"}},
       }},
      {"md_banks.txt", {{"DB-1LISTE", "Fichier des banques", {"FR7617806001009876543210007", "CA01"}}, {"DB-CSV", "", {}}}},
      {"md_collectives.txt", {{"DC-1LISTE", "Fichier des collectifs", {"40100000", "Fournisseurs"}}, {"DC-CSV", "", {}}}},
      {"md_vatcodes.txt", {{"DT-1LISTE", "Fichier des codes TVA", {"20.00", "44566200"}}, {"DT-CSV", "", {}}}},
      {"md_establishments.txt", {{"DE-1LISTE", "Fichier des \xE9tablissements", {"MACO", "71000 MACON"}}, {"DE-CSV", "", {}}}},
      {"md_journals.txt", {{"DJ-1LISTE", "Fichier des journaux", {"000311", "VENTE"}}, {"DJ-CSV", "", {}}}},
      {"md_labels.txt", {{"DL-1LISTE", "Fichier des libell\xE9s", {"R\xE9gl.", "2 - R\xE8glem"}}, {"DL-CSV", "", {}}}},
      {"md_models.txt", {{"DM-1LISTE", "Fichier des mod\xE8les", {"VENTE", "Facture de vente avec TVA"}}, {"DM-CSV", "", {}}}},
      {"md_distribution.txt", {{"DV-1LISTE", "Fichier des ventilations", {"60400000", "Chantiers"}}, {"DV-CSV", "", {}}}},
      {"md_chart.txt", {{"DP-1LISTE", "Plan comptable", {"11 075.10 Db", "65 000.00 Db"}}, {"DP-CSV", "", {}}}},
      {"md_sections.txt", {{"DS-1LISTE", "Sections analytiques", {"96 610.00 Db", "90 000.00 Db"}}, {"DS-CSV", "", {}}}},
  };
  static const std::vector<Expected> none;
  auto it = kLayouts.find(familyFile);
  return it == kLayouts.end() ? none : it->second;
}

}  // namespace reportset
