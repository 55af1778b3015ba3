// merlon-demo: creates a demo dossier (a French company with a year of entries) in a folder.
// Prints what it made and the time. See Usage for the options.
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "console_text.h"
#include "data/session.h"
#include "demo/dossier_demo.h"
#include "runtime/runtime_init.h"

namespace {

int Usage() {
  const std::string text =
      "usage: merlon-demo --folder DOSSIER --code CODE --lines N [options]\n"
      "  --lines N          de " + std::to_string(kMinDemoLines) + " \xE0 " + std::to_string(kMaxDemoLines) +
      " lignes d'\xE9" "critures (lignes analytiques comprises)\n"
      "  --year AAAA        exercice du 1er janvier au 31 d\xE9" "cembre de l'ann\xE9" "e AAAA (2026 par d\xE9" "faut)\n"
      "  --from AAAAMMJJ    premier jour de l'exercice (n'importe quel jour)\n"
      "  --to AAAAMMJJ      dernier jour de l'exercice (24 mois au plus)\n"
      "  --currency MODE    euro (l'euro monnaie principale), franc (le franc monnaie principale)\n"
      "                     ou euro-only (seulement en euros, par d\xE9" "faut)\n"
      "  --analytic 0|1|2   sans analytique (0, par d\xE9" "faut), un axe ou deux axes de sections\n"
      "  --accounts N       nombre de comptes, de 39 \xE0 " + std::to_string(kMaxDemoAccounts) +
      " (selon le nombre de lignes par d\xE9" "faut)\n"
      "  --siren NNNNNNNNN  num\xE9ro SIREN, 9 chiffres dont la cl\xE9\n"
      "  --seed S           la m\xEAme graine donne le m\xEAme dossier\n"
      "  --year-end OUI     tout l'exercice valid\xE9, pr\xEAt pour ses soldes \xE0 nouveau (NON par d\xE9" "faut)\n"
      "  --vat-detail OUI   chaque mois, sous chaque code de TVA, des lignes sur 4452, 44562, 4456 et 4457,\n"
      "                     les r\xE8glements clients marqu\xE9s du code de leur facture, un cr\xE9" "dit sur 44567\n"
      "                     (NON par d\xE9" "faut)\n";
  std::fputs(ConsoleText(text).c_str(), stderr);
  return 2;
}

bool Number(const char* text, long long lo, long long hi, long long* out) {
  char* end = nullptr;
  errno = 0;
  const long long v = std::strtoll(text, &end, 10);
  if (errno != 0 || end == text || *end != '\0' || v < lo || v > hi) return false;
  *out = v;
  return true;
}

// A date written YYYYMMDD; the generator checks that it is a day of the calendar.
bool Date(const char* text, Ymd* out) {
  long long v = 0;
  if (std::strlen(text) != 8 || !Number(text, 10000101, 99991231, &v)) return false;
  *out = Ymd{static_cast<int>(v / 10000), static_cast<int>(v / 100 % 100), static_cast<int>(v % 100)};
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  DemoOptions options;
  // The dossier of the program's demonstration: its first months validated, its invoices matched.
  options.closedMonths = -1;
  options.matchings = true;
  options.bankStatements = true;
  options.folder.clear();
  options.code.clear();
  long long lines = -1, value = 0;
  bool from = false, to = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (i + 1 >= argc) return Usage();
    const char* text = argv[++i];
    const std::string v = text;
    if (arg == "--folder") {
      options.folder = ProgramPath(text);
    } else if (arg == "--code") {
      options.code = v;
    } else if (arg == "--lines") {
      if (!Number(text, kMinDemoLines, kMaxDemoLines, &lines)) return Usage();
    } else if (arg == "--year") {
      if (!Number(text, 1931, 2258, &value)) return Usage();
      options.firstDay = Ymd{static_cast<int>(value), 1, 1};
      options.lastDay = Ymd{static_cast<int>(value), 12, 31};
    } else if (arg == "--from") {
      if (!Date(text, &options.firstDay)) return Usage();
      from = true;
    } else if (arg == "--to") {
      if (!Date(text, &options.lastDay)) return Usage();
      to = true;
    } else if (arg == "--currency") {
      if (v == "euro") options.currency = DossierCurrency::EuroMain;
      else if (v == "franc") options.currency = DossierCurrency::FrancMain;
      else if (v == "euro-only") options.currency = DossierCurrency::EuroOnly;
      else return Usage();
    } else if (arg == "--analytic") {
      if (v != "0" && v != "1" && v != "2") return Usage();
      options.analyticMode = v[0];
    } else if (arg == "--accounts") {
      if (!Number(text, 1, kMaxDemoAccounts, &value)) return Usage();
      options.accounts = static_cast<long>(value);
    } else if (arg == "--siren") {
      options.siren = v;
    } else if (arg == "--year-end") {
      if (v != "OUI" && v != "NON") return Usage();
      options.yearEnd = v == "OUI";
    } else if (arg == "--vat-detail") {
      if (v != "OUI" && v != "NON") return Usage();
      options.vatDetail = v == "OUI";
    } else if (arg == "--seed") {
      if (!Number(text, 0, 0x7FFFFFFFFFFFFFFFLL, &value)) return Usage();
      options.seed = static_cast<std::uint64_t>(value);
    } else {
      return Usage();
    }
  }
  // A year given by one bound only is a mistake, not a year of the default.
  if (options.folder.empty() || options.code.empty() || lines < 0 || from != to) return Usage();
  options.lines = static_cast<long>(lines);

  if (!InitRuntime() || StartDbSession() != 0) {
    std::fprintf(stderr, "merlon-demo: %s\n", ConsoleText("le moteur de tables ne d\xE9marre pas").c_str());
    return 1;
  }
  const auto start = std::chrono::steady_clock::now();
  std::string message;
  DemoStats stats;
  const bool ok = GenerateDemoDossier(options, &message, &stats);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  StopDbSession();
  FreeRuntime();
  if (!ok) {
    std::fprintf(stderr, "merlon-demo: %s\n", ConsoleText(message).c_str());
    return 1;
  }
  std::printf("Dossier %s in %s: %ld lines (%ld analytic), %ld pieces, %ld accounts (%ld customers, "
              "%ld suppliers), %ld sections, %ld journal-months, %.2f s\n",
              options.code.c_str(), ConsoleText(options.folder).c_str(), stats.lines, stats.analyticLines,
              stats.pieces, stats.accounts, stats.customers, stats.suppliers, stats.sections, stats.journalMonths,
              seconds);
  return 0;
}
