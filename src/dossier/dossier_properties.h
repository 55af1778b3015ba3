// The dialog of the working date and the dossier properties (dialog 1314).
// In the working-date mode only the working date can change; in the
// properties mode every field is editable and tested. OK writes the fields
// into TheDossierRecord; the commands write the record back to C10.
#pragma once

#include <string>

#include "framework/dialog_bases.h"

class TDFicAProposDossier : public TDNuv {
 public:
  static constexpr int kWorkingDateMode = 1;
  static constexpr int kPropertiesMode = 2;

  // Control ids of the template.
  enum : int {
    kShortCode = 1201, kCode = 1202, kWorkingDate = 1203, kEmpty = 1204, kName = 1205, kStreet = 1206,
    kNumber = 1207, kNumberSuffix = 1208, kStreet2 = 1209, kPostalCode = 1210, kTown = 1211, kSiren = 1212,
    kEstablishment = 1213, kApe = 1214, kPrivileged = 1215, kSecondary = 1216, kYearStart = 1217,
    kYearEnd = 1218, kNextPiece = 1219, kParity = 1220, kEuroMain = 1221, kAnalytic = 1222, kVariables = 1223,
  };

  TDFicAProposDossier(gui::Window* owner, int mode, int resourceId = 1314);

  int Mode() const { return mode_; }
  // The control a refused OK put the focus on (0 when none).
  int FocusedOnRefusal() const { return refusedAt_; }

  // The "VD_" button: the variables of the dossier INI edited in the
  // variables dialog.
  void CmVariables();

 protected:
  void SetupWindow() override;
  bool CanClose() override;
  bool EvCommand(unsigned id) override;

 private:
  bool Refuse(int messageId, int control);
  bool Ask(const std::string& text, int control);
  int mode_;
  int refusedAt_ = 0;
  std::string oldStart_, oldEnd_;  // stored YYYYMMDD at set-up
};

// The short code shown at the top of the dialog: the dossier code and the
// workstation number.
std::string DossierShortCode();

// Parity text as typed ("6,55957" or "6.55957"); false when it is no number.
bool ParseParity(const std::string& text, double& value);

// The "VD_" variables of the dossier INI: the lines of section
// "[Variables_VD]" that begin with "VD_" and hold "=", one per line.
std::string ReadVdVariables();
// Writes every "VD_" line of the text into section "Variables_VD"; the
// variables of the old section that are no longer in the text are deleted.
bool WriteVdVariables(const std::string& text);

// Writes positions 1-200 and 523-533 of TheDossierRecord into C10 record
// "0" (C10 open): false when the record cannot be found or locked.
bool WriteDossierPropertiesToC10();
// Writes the working date (169-176) into C10 record "0" (C10 open).
bool WriteWorkingDateToC10();

// Work of "A Propos du dossier ouvert" (FichierAProposDossier, after the prologue).
void CmFichierAProposDossier();
