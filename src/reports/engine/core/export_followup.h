// What follows an exported run once its preview or printout closes the export file: the
// follow-up is offered only for a file that was written whole (the owner asks "Oui: l'ouvrir /
// Non: l'envoyer par e-mail / Annuler"); a creation or write failure is said once instead.
// The e-mail is a message file (.eml) from the program folder's template "CRefEML.txt", with
// the export attached and the run's document title as its subject.
#pragma once

#include <string>

#include "reports/engine/core/report_export.h"

namespace reports {

enum class ExportEnd {
  kNone,      // no export file in this run
  kFailed,    // creation or write failure: FailureMessage() to show (when not shown yet)
  kOffered,   // written whole: offer to open it or send it
};

// Closes the program's export file (HTML page closed) and tells what the owner does next. The
// file object stays as it is (its path and failure) until Reset().
ExportEnd CloseExportFile(ReportExportFile& file, const ExportSettings& settings);

// The message file's path: the export's path with its extension replaced by ".eml".
std::string EmlPathFor(const std::string& exportPath);
// The question of the follow-up (text of the Yes / No / Cancel box), naming the file.
std::string FollowUpQuestion(const std::string& exportPath);
// Writes the message file for a recipient; false (nothing to open) when it cannot be written.
bool WriteExportEmail(const std::string& exportPath, const std::string& recipient, const std::string& documentTitle,
                      std::string& emlPath);

}  // namespace reports
