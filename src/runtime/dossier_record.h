// The open dossier's parameter text: 1,296 blank-filled characters read and
// written at fixed 1-based positions. Dates are kept YYYYMMDD; use the date
// accessors rather than the raw positions.
#pragma once

#include <string>
#include <string_view>

#include "runtime/dates.h"

class DossierRecord {
 public:
  static constexpr int kLength = 1296;

  // Fixed positions (1-based) and widths.
  static constexpr int kNamePos = 1, kNameWidth = 30;
  static constexpr int kAddress1Pos = 31, kAddress2Pos = 61, kTownLinePos = 91, kLineWidth = 30;
  static constexpr int kPostalCodePos = 91, kPostalCodeWidth = 5;
  static constexpr int kTownPos = 97, kTownWidth = 24;
  static constexpr int kSiretLabelPos = 121, kSiretLabelWidth = 6;
  static constexpr int kSirenPos = 127, kSirenWidth = 9;
  static constexpr int kEstablishmentPos = 136, kEstablishmentWidth = 5;
  static constexpr int kApeLabelPos = 142, kApeLabelWidth = 4;
  static constexpr int kApePos = 146, kApeWidth = 5;
  static constexpr int kPrivilegedPasswordPos = 151, kSecondaryPasswordPos = 160, kPasswordWidth = 9;
  static constexpr int kWorkingDatePos = 169, kYearStartPos = 177, kYearEndPos = 185, kDateWidth = 8;
  static constexpr int kAnalyticModePos = 193;
  static constexpr int kUserLevelPos = 194;
  static constexpr int kNextPiecePos = 195, kNextPieceWidth = 6;
  static constexpr int kParityPos = 523, kParityWidth = 10;
  static constexpr int kEuroMainPos = 533;
  static constexpr int kConstantsPos = 536, kConstantWidth = 3, kConstantCount = 75;
  static constexpr int kRightsPos = 1043, kRightsWidth = 50;

  enum class DateField { Working = kWorkingDatePos, YearStart = kYearStartPos, YearEnd = kYearEndPos };

  DossierRecord();

  void Clear();  // all blanks
  const std::string& Text() const { return text_; }
  std::string& Text() { return text_; }  // always kLength characters
  const char* c_str() const { return text_.c_str(); }

  // Raw access; out-of-range positions read as blanks / NUL and are ignored on write.
  std::string Get(int position, int width) const;
  void Set(int position, int width, std::string_view value);  // blank-padded or cut to width
  char At(int position) const;
  void SetAt(int position, char c);

  // Named texts (trailing blanks kept as stored; use AllTrim where needed).
  std::string Name() const { return Get(kNamePos, kNameWidth); }
  void SetName(std::string_view v) { Set(kNamePos, kNameWidth, v); }
  char AnalyticMode() const { return At(kAnalyticModePos); }
  char UserLevel() const { return At(kUserLevelPos); }
  void SetUserLevel(char c) { SetAt(kUserLevelPos, c); }
  std::string SecondaryPassword() const { return Get(kSecondaryPasswordPos, kPasswordWidth); }
  std::string NextPiece() const { return Get(kNextPiecePos, kNextPieceWidth); }
  void SetNextPiece(long number);  // 6 digits with leading zeros
  double Parity() const;           // francs for one euro
  void SetParity(double francsPerEuro);  // 5 decimals in width 10
  bool EuroIsMain() const { return At(kEuroMainPos) == 'O'; }
  void SetEuroIsMain(bool euro) { SetAt(kEuroMainPos, euro ? 'O' : 'N'); }

  // Dossier constant n (0-74): three characters at 536 + 3n; "" for other n.
  std::string Constant(int n) const;
  void SetConstant(int n, std::string_view value);

  // Access-rights string of the secondary password (50 characters at 1043).
  std::string Rights() const { return Get(kRightsPos, kRightsWidth); }
  void SetRights(std::string_view v) { Set(kRightsPos, kRightsWidth, v); }
  // When 1043-1296 are blank, puts string 9000 (fifty "?") at 1043-1092.
  void EnsureRights();

  // Dates in every form; each getter gives "" for a blank or invalid date.
  std::string DateYyyymmdd(DateField field) const;
  std::string DateStored(DateField field) const;   // YYMMDD with the decade letter
  std::string DateDisplay(DateField field) const;  // DD/MM/YY
  bool DateYmd(DateField field, Ymd& out) const;
  // Setters: false (nothing written) for an invalid date; "" blanks the field.
  bool SetDateYyyymmdd(DateField field, std::string_view yyyymmdd);
  bool SetDateStored(DateField field, std::string_view stored);
  bool SetDateDisplay(DateField field, std::string_view display);
  bool SetDateYmd(DateField field, const Ymd& date);

  // Mapping onto the C10 records "0" and "P0" (their text fields).
  struct C10Texts {
    std::string record0Field3;  // 1-30
    std::string record0Field4;  // 31-284 (254)
    std::string record0Field5;  // 285-538 (254)
    std::string p0Field4;       // 539-790 (252)
    std::string p0Field5;       // 791-1042 (252)
    std::string record0Field6;  // 1043-1296 (254)
  };
  void LoadFromC10(const C10Texts& texts);  // longer fields are cut, shorter padded
  C10Texts ToC10() const;

 private:
  std::string text_;
};

// The record of the dossier open now (program-wide).
extern DossierRecord TheDossierRecord;

// Dossier constant 039, "Ce dossier est SEULEMENT en EUROS".
inline constexpr int kEuroOnlyConstant = 39;

// A dossier kept in euros only: the euro is the main currency (character 533 "O") and
// constant 039 begins with "O". Its franc amounts are neither shown nor balanced.
bool DossierIsEuroOnly(const DossierRecord& record = TheDossierRecord);
