// The user-defined reports as their lists change them, on a report-definition table ("CE" + set letter + "ETATS",
// tag CE0CODE: the code in field 1, the name in field 2, the template in the memo field 11): a new report, empty or
// made from another report, a text file or a section of "CESETATS.txt"; the export of a template; and the storing
// of the reports "CESETATS.LST" names from the reference set into the printing sets at start-up.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class Table;

namespace settings {

constexpr int kReportCodeField = 1;
constexpr int kReportNameField = 2;
constexpr int kReportTemplateField = 11;
constexpr int kReportCodeWidth = 10;
constexpr const char* kReportTag = "CE0CODE";

// What a "A partir de" text names.
enum class ReportSource {
  None,       // blank: an empty report
  Report,     // a report code of the same set, copied
  File,       // a path (":", "\" or "/" in it): a text file imported
  Reference,  // "CESETATS" first: a section of "CESETATS.txt" of the program folder
};
ReportSource SourceOf(const std::string& from);
// The section a reference text names: what follows "CESETATS" (blanks and "," or ";" skipped), else the new code.
std::string ReferenceSectionCode(const std::string& from, const std::string& code);

enum class ReportOutcome { Created, Exists, LockRefused, SourceMissing, Unreadable, Failed };
struct ReportMade {
  ReportOutcome outcome = ReportOutcome::Failed;
  std::string existingName;  // Exists: the name of the report there
  std::string message;       // SourceMissing, Unreadable: why, for a message box
  std::uint32_t recno = 0;
};

// Creates report `code` in `set` (open shared on CE0CODE) under the table's creation lock, from `from` as SourceOf
// reads it; `programFolder` holds "CESETATS.txt". A copy takes fields 2-10 and the template, the name becoming
// "Copie de " + code + " " + name; an import takes the text (DecodeReportText) and as name the file's name; a
// reference section its text and its name. The new record is committed and current.
ReportMade CreateReport(Table& set, const std::string& code, const std::string& from, const std::string& programFolder);

// The template of the current record, every byte as stored.
bool ReportTemplate(Table& set, std::string& text);
// Writes the template of the current record into `path` exactly; false with a French message.
bool ExportReport(Table& set, const std::string& path, std::string& message);

// ---- CESETATS.LST -------------------------------------------------------------------------------------------------

struct StoredList {
  bool ok = false;
  int stored = 0;             // reports written (in every set)
  std::string message;        // what went wrong, for a message box
};
// Copies each report `listPath` names from the reference set `referencePath` into each set of `setPaths`, replacing
// a report of the same code, then renames the list `oldPath`. Every code is looked up before anything is written:
// a list that cannot be read, a code the reference set lacks, or a set that refuses a write leaves the list where
// it is (so that the next start tries again) with the reason.
StoredList StoreListedReports(const std::string& listPath, const std::string& referencePath,
                              const std::vector<std::string>& setPaths, const std::string& oldPath);

}  // namespace settings
