// What the interpreter asks of the rest of the program while it runs a template: templates by
// code ([IE:], [ES:]), the input dialog ([Saisie], [NbITn], [Coefficient%:]), messages, the
// dossier's tables, record and INI files, text files ([TXT:]), the clock ([Heure]) and the
// printer's names ([DDev], [DOut], [DDrv]).
//
// DossierReportEnvironment answers from the program-wide state (the open dossier, the session's
// tables, the program INI, the runtime's message and beep hooks). The window layer derives
// from it to ask through its dialogs; tests derive from it to answer prompts.
#pragma once

#include <string>

#include "reports/engine/core/template_loader.h"

class Table;
class DossierRecord;

namespace reports {

// Tables that template statements select ([C10] ... [C70], [CXX], [CE0] / [CE1]).
enum class DossierTableId { kNone = 0, kC10 = 10, kC20 = 20, kC30 = 30, kC40 = 40, kC50 = 50, kC60 = 60, kC70 = 70, kCXX = 1, kCE = 2 };

class ReportEnvironment {
 public:
  virtual ~ReportEnvironment() = default;

  // Templates by report code (the preview's set, or the printer's).
  virtual bool FindTemplate(const std::string& code, std::string& text) = 0;
  // The input dialog: `format` is "nn,prompt" (nn the width; a letter after nn asks for a
  // number), `value` holds the proposed text and receives the typed one. False = cancelled
  // (the value is then unchanged).
  virtual bool AskValue(const std::string& format, std::string& value) = 0;
  virtual void Beep() = 0;
  // A warning box (caption, text, exclamation icon).
  virtual void Warn(const std::string& caption, const std::string& text) = 0;

  virtual Table* DossierTable(DossierTableId id) = 0;
  virtual const DossierRecord& Dossier() = 0;
  virtual std::string DossierCode() = 0;
  // Folder of the dossier's files (ending "/"), and the program folder (ending "/").
  virtual std::string DataFolder() = 0;
  virtual std::string ProgramFolder() = 0;
  virtual std::string ProgramIni(const std::string& key) = 0;
  virtual std::string DossierIni(const std::string& section, const std::string& key, const std::string& def) = 0;
  // The whole file (cp1252 path, found without case); false when it cannot be read.
  virtual bool ReadTextFile(const std::string& path, std::string& content) = 0;
  virtual bool FileExists(const std::string& path) = 0;
  // "HHhMM" of the local time.
  virtual std::string LocalTime() = 0;
  // Name of the default export file (the program INI's "NomFichierExport", or the data folder
  // + "C" + root + dossier code + extension).
  virtual std::string ExportFileName(const std::string& extension, const std::string& root) = 0;
  // Device, output (port) and driver names of the printer the run prints on.
  virtual std::string PrinterName(int which) { return {}; }
  // One step of the animated wait cursor ([Curseur]).
  virtual void StepCursor() {}
};

// The environment of the running program. Templates come from the given source.
class DossierReportEnvironment : public ReportEnvironment {
 public:
  explicit DossierReportEnvironment(TemplateSource& templates) : templates_(templates) {}

  bool FindTemplate(const std::string& code, std::string& text) override;
  // Without a window the proposed value is taken (a window derives and asks).
  bool AskValue(const std::string& format, std::string& value) override { return true; }
  void Beep() override;
  void Warn(const std::string& caption, const std::string& text) override;
  Table* DossierTable(DossierTableId id) override;
  const DossierRecord& Dossier() override;
  std::string DossierCode() override;
  std::string DataFolder() override;
  std::string ProgramFolder() override;
  std::string ProgramIni(const std::string& key) override;
  std::string DossierIni(const std::string& section, const std::string& key, const std::string& def) override;
  bool ReadTextFile(const std::string& path, std::string& content) override;
  bool FileExists(const std::string& path) override;
  std::string LocalTime() override;
  std::string ExportFileName(const std::string& extension, const std::string& root) override;

 private:
  TemplateSource& templates_;
};

}  // namespace reports
