#include "reports/ledgers/core/limits_checks.h"

#include "data/error_report.h"
#include "data/table.h"
#include "reports/ledgers/core/ledger_strings.h"
#include "reports/ledgers/core/ledger_tables.h"
#include "resources/string_table.h"
#include "runtime/dates.h"
#include "runtime/dossier_record.h"
#include "runtime/runtime_hooks.h"
#include "runtime/text.h"
#include "runtime/xbase.h"

namespace ledgers {

namespace {

using DF = DossierRecord::DateField;

constexpr int kCaptionAttention = 52;  // "ATTENTION"

// The help character typed in a code: the lookup opens on what stands before it.
bool HelpTyped(const std::string& text, char help, CodeCheck& out) {
  if (help == 0 || help == ' ') return false;
  const std::size_t at = text.find(help);
  if (at == std::string::npos) return false;
  out.shown = text.substr(0, at);
  out.openLookup = true;
  return true;
}

// A code completed to 8: with "0" after a digit or any character below "A" (bytes above 127
// included), with blanks after a letter.
std::string Completed(const std::string& text, bool blanksOnly) {
  const bool zeros = !blanksOnly && !text.empty() && static_cast<signed char>(text[0]) < 'A';
  std::string code = text;
  code.resize(8, zeros ? '0' : ' ');
  return code.substr(0, 8);
}

Lookup LiveCode(Table& t, const char* tag, const std::string& code) {
  if (!t.isOpen) return Lookup::NotFound();
  const Lookup found = t.Find(tag, code.c_str());
  return found.IsFound() ? t.LiveHere() : found;
}

// A live code beginning with the text.
Lookup LivePrefix(Table& t, const char* tag, const std::string& prefix) {
  if (!t.isOpen || prefix.empty()) return Lookup::NotFound();
  const Lookup found = t.Find(tag, prefix.c_str());
  if (!found.IsFound()) return found;
  for (bool more = t.SkipActive(false); more; more = t.SkipActive(true)) {
    const std::string code = t.GetField(1);
    return found.And(code.compare(0, prefix.size(), prefix) == 0);
  }
  return Lookup::NotFound();
}

// A look-up the system could not read: said in a box with the file, and the field's static shows
// "Erreur", never "???" as for a code missing.
CodeCheck& Unread(const Table& t, const Lookup& found, CodeCheck& out) {
  RuntimeBeep(0);
  RuntimeMessage(LoadStr(kCaptionAttention), UnreadText(t.tablePath, found.result()).c_str(), kMbIconStop);
  out.staticText = LoadStr(kStrError);
  return out;
}

// A typed date as a StoredDate, "" when it is no valid date.
std::string StoredOf(const std::string& typed) {
  if (IsBlank(typed) || !IsValidDate(typed.c_str())) return {};
  return ConvertDate(typed.c_str());
}

char AnalyticFlag(bool checked, const DossierRecord& dossier) {
  const char mode = dossier.AnalyticMode();
  return checked && (mode == '1' || mode == '2') ? 'O' : 'N';
}

}  // namespace

// ------------------------------------------------------------------ account statement

CodeCheck CheckStatementAccount(const std::string& typed, bool analytic, char helpCharacter, Table& c20, Table& c30) {
  CodeCheck out;
  const std::string text = RTrim(typed.c_str());
  out.shown = typed;
  if (IsBlank(text)) {
    out.staticText = LoadStr(kStrUnknown);
    return out;
  }
  if (HelpTyped(text, helpCharacter, out)) return out;
  const std::string code = Completed(text, analytic);
  out.shown = Trimmed(code);
  Table& t = analytic ? c30 : c20;
  const Lookup found = LiveCode(t, analytic ? "C30CODE" : "C20CODE", code);
  if (found.IsRefused()) return Unread(t, found, out);
  if (found.IsNotFound()) {
    out.staticText = LoadStr(kStrUnknown);
    return out;
  }
  out.ok = out.found = true;
  return out;
}

DateCheck CheckDateFrom(const std::string& typed, bool monthlySubtotals, const DossierRecord& dossier) {
  DateCheck out;
  out.shown = typed;
  const std::string start = dossier.DateStored(DF::YearStart), end = dossier.DateStored(DF::YearEnd);
  const std::string date = StoredOf(typed);
  if (date.empty() || date < start || date > end) {
    if (IsBlank(typed)) out.shown = dossier.DateDisplay(DF::YearStart);
    else out.outsideYear = true;
    return out;
  }
  if (monthlySubtotals && typed.substr(0, 2) != "01" && date != start) {
    out.monthStartRule = true;
    return out;
  }
  out.uncheckPrior = date == start;
  out.ok = true;
  return out;
}

DateCheck CheckDateTo(const std::string& typed, const std::string& dateFromTyped, const DossierRecord& dossier) {
  DateCheck out;
  out.shown = typed;
  const std::string start = dossier.DateStored(DF::YearStart), end = dossier.DateStored(DF::YearEnd);
  const std::string date = StoredOf(typed), from = StoredOf(dateFromTyped);
  if (date.empty() || date < start || date > end || date < from) {
    if (IsBlank(typed)) out.shown = dossier.DateDisplay(DF::YearEnd);
    else if (date.empty() || date < start || date > end) out.outsideYear = true;
    else out.beforeFrom = true;
    return out;
  }
  out.ok = true;
  return out;
}

bool PriorCumulationAfterDateFrom(const std::string& typed, const DossierRecord& dossier, bool analyticDossier,
                                  bool analyticChecked, bool generalLedgers) {
  if (StoredOf(typed) == dossier.DateStored(DF::YearStart)) return false;
  if (generalLedgers || !analyticDossier) return true;
  return analyticChecked && dossier.Constant(32).substr(0, 1) != "O";
}

LimitsField CheckStatementForm(const StatementForm& form, char helpCharacter, Table& c20, Table& c30,
                               const DossierRecord& dossier) {
  const char mode = dossier.AnalyticMode();
  const bool analytic = form.analytic && (mode == '1' || mode == '2');
  if (!CheckStatementAccount(form.account, analytic, helpCharacter, c20, c30).ok) return LimitsField::kAccount;
  if (!CheckDateFrom(form.dateFrom, form.monthlySubtotals, dossier).ok) return LimitsField::kDateFrom;
  if (!CheckDateTo(form.dateTo, form.dateFrom, dossier).ok) return LimitsField::kDateTo;
  return LimitsField::kNone;
}

std::string BuildStatementLimits(const StatementForm& form, const DossierRecord& dossier) {
  AccountStatementOptions o;
  o.account = PadRight(form.account, 8);
  o.dateFrom = StoredOf(form.dateFrom);
  o.dateTo = StoredOf(form.dateTo);
  o.monthlySubtotals = form.monthlySubtotals;
  o.priorCumulation = form.priorCumulation;
  o.letteringFilter = form.letteringFilter;
  o.analytic = AnalyticFlag(form.analytic, dossier) == 'O';
  o.inEuros = form.inEuros;
  o.matchingLetter = PadRight(form.matchingLetter, 4);
  return o.ToRecord();
}

// ------------------------------------------------------------------ general ledgers

std::vector<std::string> LedgerKindEntries(const DossierRecord& dossier) {
  std::vector<std::string> entries;
  for (int i = 0; i < 6; ++i) entries.emplace_back(LoadStr(kStrLedgerKindFirst + i));
  const char mode = dossier.AnalyticMode();
  if (mode == '1' || mode == '2') entries.emplace_back(LoadStr(kStrLedgerKindFirst + 6));
  return entries;
}

CodeCheck CheckCollectives(char kind, const std::string& typed, Table& c10) {
  CodeCheck out;
  if (kind != 'A') {
    out.ok = out.emptied = true;
    return out;
  }
  const std::string list = Trimmed(typed);
  out.shown = list;
  if (list.empty()) {
    out.staticText = LoadStr(kStrUnknown);
    return out;
  }
  // A cancelled collective's ledger too: its accounts keep their lines.
  const std::string letters = CollectiveLetters(c10);
  for (char c : list) {
    if (letters.find(c) == std::string::npos) {
      out.staticText = std::string(1, c) + ": " + LoadStr(kStrUnknown);
      return out;
    }
  }
  out.ok = true;
  return out;
}

CodeCheck CheckLedgerAccount(char kind, const std::string& collectives, const std::string& typed, bool upper,
                             const std::string& fromText, char helpCharacter, Table& c20, Table& c30) {
  CodeCheck out;
  const std::string list = Trimmed(collectives);
  if (kind == 'T' || (kind == 'A' && list.size() != 1)) {
    out.ok = out.emptied = true;
    return out;
  }
  const std::string text = RTrim(typed.c_str());
  out.shown = typed;
  if (HelpTyped(text, helpCharacter, out)) return out;
  if (IsBlank(text)) {
    out.ok = true;
    out.shown.clear();
    return out;
  }
  const char first = text[0];
  bool fits = true;
  switch (kind) {
    case 'C':
    case 'F': fits = first == kind; break;
    case 'G':
    case 'R': fits = first >= '1' && first <= '9'; break;
    case 'A': fits = first == list[0]; break;
    default: break;
  }
  if (!fits) {
    out.staticText = LoadStr(kStrUnknown);
    return out;
  }
  const bool analytic = kind == '(';
  const std::string code = Completed(text, analytic);
  if (!analytic && !(first >= 'A' && first <= 'Z')) out.shown = code;
  if (upper && code < PadRight(fromText, 8)) {
    out.staticText = LoadStr(kStrError);
    return out;
  }
  Table& t = analytic ? c30 : c20;
  const char* tag = analytic ? "C30CODE" : "C20CODE";
  const Lookup found = LiveCode(t, tag, code);
  if (found.IsRefused()) return Unread(t, found, out);
  if (found.IsFound()) {
    out.ok = out.found = true;
    return out;
  }
  // The beginning of some codes: the limit is that prefix, kept as typed.
  const std::string prefix = Trimmed(text);
  const Lookup begun = LivePrefix(t, tag, prefix);
  if (begun.IsRefused()) return Unread(t, begun, out);
  if (begun.IsFound()) {
    out.ok = true;
    out.shown = prefix;
    out.staticText = FillPlaceholder(LoadStr(upper ? kStrUpToPrefix : kStrFromPrefix), prefix);
    return out;
  }
  out.staticText = LoadStr(kStrUnknown);
  return out;
}

LimitsField CheckGeneralLedgerForm(const GeneralLedgerForm& form, char helpCharacter, Table& c10, Table& c20,
                                   Table& c30, const DossierRecord& dossier) {
  if (!CheckCollectives(form.kind, form.collectives, c10).ok) return LimitsField::kCollectives;
  const CodeCheck from =
      CheckLedgerAccount(form.kind, form.collectives, form.accountFrom, false, "", helpCharacter, c20, c30);
  if (!from.ok) return LimitsField::kAccountFrom;
  if (!CheckLedgerAccount(form.kind, form.collectives, form.accountTo, true, from.shown, helpCharacter, c20, c30).ok)
    return LimitsField::kAccountTo;
  if (!CheckDateFrom(form.dateFrom, false, dossier).ok) return LimitsField::kDateFrom;
  if (!CheckDateTo(form.dateTo, form.dateFrom, dossier).ok) return LimitsField::kDateTo;
  return LimitsField::kNone;
}

std::string BuildGeneralLedgerLimits(const GeneralLedgerForm& form, const DossierRecord& dossier) {
  GeneralLedgerOptions o;
  o.kind = form.kind;
  o.collectives = form.kind == 'A' ? PadRight(Trimmed(form.collectives), 26) : std::string(26, ' ');
  o.accountFrom = PadRight(form.accountFrom, 8);
  o.accountTo = PadRight(form.accountTo, 8);
  o.dateFrom = StoredOf(form.dateFrom);
  o.dateTo = StoredOf(form.dateTo);
  o.monthlySubtotals = false;
  o.priorCumulation = form.priorCumulation;
  o.letteringFilter = form.letteringFilter;
  o.inEuros = form.inEuros;
  (void)dossier;
  return o.ToRecord();
}

// ------------------------------------------------------------------ journal listings

std::vector<std::string> JournalMonthLines(const DossierRecord& dossier) {
  std::vector<std::string> lines;
  Ymd day, last;
  if (dossier.DateYmd(DF::YearStart, day) && dossier.DateYmd(DF::YearEnd, last)) {
    const std::string end = StoredDateOf(last).substr(0, 4);
    int listed = 0;
    for (std::string stored = StoredDateOf(day); !stored.empty() && stored.substr(0, 4) <= end;) {
      ++listed;
      lines.push_back(DisplayDateOf(day).substr(3, 5));
      const Ymd next = day.month == 12 ? Ymd{day.year + 1, 1, 1} : Ymd{day.year, day.month + 1, 1};
      const std::string nextStored = StoredDateOf(next);
      if (nextStored.substr(0, 2) != stored.substr(0, 2) && listed > 1) {
        lines.push_back(LoadStr(kStrWholeYear) + DisplayDateOf(day).substr(6, 2));
        listed = 0;
      }
      day = next;
      stored = nextStored;
    }
  }
  lines.emplace_back(LoadStr(kStrAllMonths));
  return lines;
}

std::string MonthSelectorOf(const std::string& line) {
  const std::string all = LoadStr(kStrAllMonths), whole = LoadStr(kStrWholeYear);
  if (line.empty() || line == all) return "    ";
  if (line.compare(0, whole.size(), whole) == 0) {
    const std::string date = "01/01/" + PadRight(line.substr(whole.size()), 2);
    return StoredOf(date).substr(0, 2) + "  ";
  }
  return PadRight(StoredOf("01/" + line.substr(0, 2) + "/" + (line.size() >= 5 ? line.substr(3, 2) : "")), 4).substr(0, 4);
}

std::vector<std::string> JournalLines(Table& c10) {
  std::vector<std::string> lines;
  const Lookup first = c10.isOpen ? c10.Find("C10CODE", "J") : Lookup::NotFound();
  // Journals not read are said: the list then offers all of them only, never as a dossier without journals.
  if (first.IsRefused()) {
    RuntimeBeep(0);
    RuntimeMessage(LoadStr(kCaptionAttention), UnreadText(c10.tablePath, first.result()).c_str(), kMbIconStop);
  }
  if (first.IsFound())
    for (bool more = c10.SkipActive(false); more && c10.GetField(1)[0] == 'J'; more = c10.SkipActive(true)) {
      const std::string code = std::string(c10.GetField(2)).substr(0, 3);
      lines.push_back(code + "\t" + RTrim(c10.GetField(3)));
    }
  lines.emplace_back(LoadStr(kStrAllJournals));
  return lines;
}

std::string JournalOf(const std::string& line) {
  const std::string code = PadRight(line.substr(0, line.find('\t')), 3);
  return code == std::string(LoadStr(kStrAllJournals)).substr(0, 3) ? "   " : code;
}

std::string BuildJournalListingLimits(const JournalForm& form, const DossierRecord& dossier) {
  JournalListingOptions o;
  o.monthSelector = MonthSelectorOf(form.monthLine);
  o.journal = JournalOf(form.journalLine);
  o.summary = form.summary;
  o.analytic = AnalyticFlag(form.analytic, dossier) == 'O';
  o.inEuros = form.inEuros;
  return o.ToRecord();
}

std::vector<std::string> MatchingEntries() {
  std::vector<std::string> entries;
  for (int i = 0; i < 5; ++i) entries.emplace_back(LoadStr(kStrFilterFirst + i));
  return entries;
}

}  // namespace ledgers
