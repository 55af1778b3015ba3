// The conversion of a dossier of another format (the older generation,
// another format stamp, a dossier still in francs only) to the format this
// program writes. The original files are moved aside into a sub-folder of
// the dossier before anything is written, and removed only once the
// conversion succeeded; a failure puts them back.
#pragma once

#include <string>

// Francs for one euro that a conversion accepts: 1.0 <= rate < 10.0.
inline constexpr double kMinEuroRate = 1.0;
inline constexpr double kMaxEuroRate = 10.0;
bool EuroRateInRange(double rate);

// Euros of a franc amount, rounded to the cent. A rate outside the range is
// never divided by: false, `euros` untouched.
bool FrancsToEuros(double francs, double rate, double& euros);
// Francs of a euro amount, rounded to the cent; the same rule for the rate.
bool EurosToFrancs(double euros, double rate, double& francs);

// The message of a rate outside the range, the rate in its place.
std::string EuroRateOutOfRangeText(double rate);

struct ConversionRequest {
  // The dossier holds francs only: every euro amount is computed from its
  // franc partner at `rate`.
  bool toTwoCurrencies = false;
  double rate = 0;
};

struct ConversionResult {
  bool ok = false;
  std::string asideFolder;  // sub-folder of the originals ("" when none was made)
  bool originalsKept = false;  // the sub-folder still holds them
  std::string error;        // French text of the failure
  int tables = 0;           // tables written
  long records = 0;         // records copied
  // The converted books' totals that are not those of their lines, and the ReConstruction that
  // makes them again (French, DossierInvariants::TotalsAdvice); "" when every total holds.
  std::string totalsAdvice;
};

// Converts the dossier named by DossierFolder and DossierCode. Needs the
// engine session, the dossier held exclusively by this station and every
// dossier table closed. The dossier's run marker (kConversionRun) is set
// from the first change to the last. The converted tables are checked
// together (DossierInvariants): books that cannot be one state fail the
// conversion, the originals put back. Writes one log line ("CONVERSION - Ok - ..." or
// "CONVERSION - Erreur: ..."). Shows nothing.
ConversionResult ConvertDossier(const ConversionRequest& request);

// The tables of dossier `code` lying in folder `from` (ending with "/"; a restore's copy of a backup
// of an older format, not the open dossier) written into the empty folder `scratch` as the
// conversion the opening offers would write them: the same copy by field names, the euro amounts
// computed (at the default rate) where the opening would ask for a rate. Nothing else is touched:
// no marker, no log; `scratch` is the caller's to check and remove. "" when every table was
// written whole; otherwise why the conversion would fail (French). It writes only the scratch copy,
// which is thrown away whatever happens: it holds the permit to write the books of dossier `code` in
// `scratch` only, under its own name.
inline constexpr const char* kConversionTrialRun = "essai-conversion";
std::string WriteConversionTrial(const std::string& from, const std::string& scratch, const std::string& code);

// After a conversion stopped half-way (its run marker's detail: the sub-folder
// of the originals, then the original file names, separated by "|"): the
// tables it wrote go and the originals come back into the dossier folder, so
// the opening offers the conversion again. True when every original is back
// (the sub-folder is then removed).
bool PutBackInterruptedConversion(const std::string& detail);
