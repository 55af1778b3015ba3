// The "Nouveau dossier" window (FichierNouveauDossier): asks for the code, the
// folder, the company's name and the financial year, creates the dossier
// and opens it.
#pragma once

#include <functional>
#include <string>

#include "framework/dialog_bases.h"

class TDNouveauDossier : public TDNuv {
 public:
  enum : int { kCode = 1201, kFolder = 1202, kBrowse = 1203, kName = 1204, kYearStart = 1205, kYearEnd = 1206 };

  explicit TDNouveauDossier(gui::Window* owner);

  // After OK: the dossier made (folder ending with "/", upper-cased code).
  const std::string& Folder() const { return folder_; }
  const std::string& Code() const { return code_; }

 protected:
  void SetupWindow() override;
  // Tests the fields and creates the dossier; false keeps the dialog open.
  bool CanClose() override;
  bool EvCommand(unsigned id) override;

 private:
  bool Refuse(const std::string& text, int control);
  std::string folder_, code_;
};

// Opens a dossier just created. The default puts it first in the recent
// dossiers and opens that entry.
void SetNewDossierOpener(std::function<bool(const std::string& folder, const std::string& code)> open);

// Work of FichierNouveauDossier (after the prologue).
void CmFichierNouveauDossier();
