// The text forms of user-defined reports: the export of one report ("C-Etat-" + code + ".txt", the template exactly
// as it is stored, in Windows-1252), the texts a user imports (Windows-1252 or UTF-8), the reference text
// "CESETATS.txt" whose sections begin with a line "#ETAT=" + code, the list "CESETATS.LST" of the reports to store
// at start-up, and the per-report help the report editor shows for a report family.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace settings {

// "C-Etat-" + the trimmed code + ".txt"; "" for a code that cannot name a file (empty, or holding "/").
std::string ReportExportName(const std::string& code);

// An imported text as the template is kept: a UTF-8 byte-order mark is dropped and the rest read as UTF-8; a text
// without one is read as UTF-8 when it is well-formed UTF-8 holding a character beyond ASCII, as Windows-1252
// otherwise. False with a French message when UTF-8 names a character Windows-1252 has not.
bool DecodeReportText(const std::string& bytes, std::string& cp1252, std::string& error);

// One section of "CESETATS.txt": the header line "#ETAT=" + code (a tab and the report's name may follow), then the
// template: every byte up to the next header line.
struct ReportSection {
  std::string code;
  std::string name;
  std::string text;
};
std::vector<ReportSection> ParseReportSetText(const std::string& cp1252);
// The section of a code (compared trimmed, without regard to case); null when none.
const ReportSection* FindReportSection(const std::vector<ReportSection>& sections, const std::string& code);

// The codes of a "CESETATS.LST" text: one per line, trimmed and upper-cased, blank lines left out.
std::vector<std::string> ParseReportList(const std::string& cp1252);

// ---- the report editor's help -------------------------------------------------------------------------------------

// The text of a string id, null when the table has none.
using HelpLookup = std::function<const std::string*(int id)>;
const std::string* HelpStringText(int id);

// The heading a report family's help stands under: the family's prefix, but "ED-" for the family "EDD-" (the VAT
// return on debits, whose help is written under "\ED-").
std::string ReportHelpHeading(const std::string& prefix);

// The per-report help of a family (its report-code prefix, such as "EBB-"): the lines of the block whose heading
// line (a line of string ids 6301 to the id string 6300 holds, beginning with "\") names "\" + the heading, one
// prefix of several ("\EBA-\EBB-\EBC-\EBS-"); the lines up to an empty or blank one, a line holding only a number
// going on at that string id. Empty when no block names the family.
std::vector<std::string> ReportVariableHelp(const std::string& prefix, const HelpLookup& text = HelpStringText);

// The prefixes the help blocks name, in the order of their headings.
std::vector<std::string> ReportHelpPrefixes(const HelpLookup& text = HelpStringText);

}  // namespace settings
