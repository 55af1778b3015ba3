#include "reports/engine/core/export_followup.h"

#include "data/write_targets.h"
#include "resources/string_table.h"
#include "runtime/email_file.h"
#include "runtime/text.h"

namespace reports {

namespace {

// The export made (%s: its path) and what to do with it; the words of the e-mail that carries it (%s: the
// file's name).
constexpr int kMsgExportReady = 19523;
constexpr int kMailText = 19527;

}  // namespace

ExportEnd CloseExportFile(ReportExportFile& file, const ExportSettings& settings) {
  switch (file.GetState()) {
    case ReportExportFile::State::kNone: return ExportEnd::kNone;
    case ReportExportFile::State::kCreateFailed: return ExportEnd::kFailed;
    default: break;
  }
  const bool whole = file.Close(settings);
  if (whole && file.ClosedEmpty()) return ExportEnd::kNone;
  return whole && file.Written() ? ExportEnd::kOffered : ExportEnd::kFailed;
}

std::string EmlPathFor(const std::string& exportPath) {
  const std::size_t slash = exportPath.rfind('/');
  const std::size_t dot = exportPath.rfind('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return exportPath + ".eml";
  return exportPath.substr(0, dot) + ".eml";
}

std::string FollowUpQuestion(const std::string& exportPath) {
  return FillPlaceholder(LoadStr(kMsgExportReady), exportPath);
}

bool WriteExportEmail(const std::string& exportPath, const std::string& recipient, const std::string& documentTitle,
                      std::string& emlPath) {
  emlPath = EmlPathFor(exportPath);
  const std::size_t slash = exportPath.rfind('/');
  const std::string fileName = slash == std::string::npos ? exportPath : exportPath.substr(slash + 1);
  const std::string message = FillPlaceholder(LoadStr(kMailText), fileName);
  // The message file is a file of the user's as the export is: never a file of a dossier or of
  // the program, never anything but a regular file.
  if (!WriteTargetRefusal(emlPath).empty()) return false;
  return WriteEmlFile(exportPath.c_str(), emlPath.c_str(), fileName.c_str(), recipient.c_str(),
                      documentTitle.c_str(), message.c_str());
}

}  // namespace reports
