#include "reports/balances/core/trial_balance_report.h"

#include <algorithm>
#include <cctype>

#include "data/dossier_files.h"
#include "data/unread_amounts.h"
#include "reports/balances/core/cegid_export.h"
#include "reports/balances/core/trial_balance_variables.h"
#include "resources/string_table.h"
#include "runtime/dossier_record.h"
#include "runtime/text.h"

namespace balances {

namespace {

// The texts this report shows, by their ids in the string table.
constexpr int kMsgSortRecordsWithoutLine = 23525;  // their count
constexpr int kMsgEmptyBalance = 23526;            // the list's title
constexpr int kAskFecDespiteRemarks = 23527;       // the remarks
constexpr int kMsgFecWritten = 23528;              // its rows, its path


using DF = DossierRecord::DateField;

char FirstOf(const std::string& s, char otherwise) { return s.empty() ? otherwise : s[0]; }

// A layout's list type as the checks read it: capitals, no trailing blank.
std::string ListTypeOf(std::string text) {
  for (char& c : text)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return TrimmedRight(text);
}

}  // namespace

TrialBalancePaths TrialBalancePaths::OfOpenDossier() {
  // The path functions share one buffer: each is copied at once.
  TrialBalancePaths p;
  p.c10 = PathC10();
  p.c20 = PathC20();
  p.c30 = PathC30();
  p.c40 = PathC40();
  p.c50 = PathC50();
  p.c60 = PathC60();
  return p;
}

TrialBalanceReport::TrialBalanceReport() = default;
TrialBalanceReport::~TrialBalanceReport() = default;

void TrialBalanceReport::Begin(const std::string& optionsText, const TrialBalancePaths& paths) {
  paths_ = paths;
  options_ = TrialBalanceOptions(optionsText);
  prefix_ = ReportPrefix(options_);
  loaded_ = loadedTexts_ = loadedAnalytic_ = false;
  codes_ = CodeLists();
  std::string message;
  // The collectives of "T" come from the general file; one that does not open leaves the
  // sequence without them (the first list then says why it cannot be read).
  codes_.Load(paths_.c10, &message);
  const ListSequence seq = BuildListSequence(options_, codes_, TheDossierRecord.AnalyticMode());
  lists_ = seq.lists;
  limitsMode_ = seq.limitsMode;
  severalLists_ = lists_.size() > 1;
  fecPath_.clear();
}

void TrialBalanceReport::DropList() {
  if (!lists_.empty()) lists_.erase(0, 1);
  options_.SetPart(28, 8, "");
  options_.SetPart(36, 8, "");
}

void TrialBalanceReport::ChooseReportCode(const std::string& code) {
  chosenCode_ = code;
  chosenCode_.resize(18, ' ');
  analyticCode_ = AnalyticReportCode(chosenCode_);
}

std::string TrialBalanceReport::ExportNameSuffix() {
  if (!severalLists_ || lists_.empty()) return {};
  switch (ListKind()) {
    case '1': return "-generale";
    case '2': return "-resultat";
    case '9': return "-analytique";
    default: return std::string("-collectif-") + static_cast<char>(std::tolower(static_cast<unsigned char>(ListKind())));
  }
}

void TrialBalanceReport::ExportBegins() {
  exporting_ = true;
  if (mode_ != Mode::kBalance) return;
  HandUnreadable();
  if (!WatchingUnreadAmounts()) return;
  // The lists of a run export from one reading: over an amount that does not read, the run's files
  // are refused at its first, in one refusal naming the amounts of every list left (the lines read,
  // the accounts' and the sections' figures), and the lists after it are not run.
  std::vector<UnreadableAmountLine> run = source_.UnreadableLines();
  for (const char kind : lists_) {
    const std::vector<UnreadableAmountLine>& figures = ChartOf(kind).Unreadable();
    run.insert(run.end(), figures.begin(), figures.end());
  }
  if (run.empty()) return;
  for (const UnreadableAmountLine& line : run) NoteUnreadAmount(line);
  lists_.erase(std::min<std::size_t>(lists_.size(), 1));
}

void TrialBalanceReport::HandUnreadable() {
  if (unreadableHanded_ || !WatchingUnreadAmounts()) return;
  unreadableHanded_ = true;
  for (const UnreadableAmountLine& line : unreadable_) NoteUnreadAmount(line);
}

void TrialBalanceReport::SayUnreadable() {
  HandUnreadable();
  if (unreadableSaid_ || unreadable_.empty() || exporting_) return;
  unreadableSaid_ = true;
  // Said once: not again when the report engine warned first over the same run.
  if (UnreadAmountsSaid()) return;
  ShowWarning(UnreadableAmountsMessage(unreadable_), UnreadableAmountsCaption());
  NoteUnreadAmountsSaid();
}

std::string TrialBalanceReport::ListTitleText() const { return TrimmedRight(ListTitle(ListKind(), codes_)); }

std::size_t TrialBalanceReport::LineCount() const {
  switch (mode_) {
    case Mode::kFec: return fecRows_.size();
    case Mode::kCegid: return cegidRecords_.size();
    default: return lines_.size();
  }
}

bool TrialBalanceReport::Load(bool texts, bool analytic) {
  if (loaded_ && (loadedTexts_ || !texts) && (loadedAnalytic_ || !analytic)) return true;
  std::string message;
  source_ = BalanceSource();
  unreadableSaid_ = false;
  chart_ = ChartList();
  sections_ = ChartList();
  codes_ = CodeLists();
  if (!codes_.Load(paths_.c10, &message) || !chart_.LoadAccounts(paths_.c20, &message) ||
      !sections_.LoadSections(paths_.c30, &message) ||
      !source_.Load(paths_.c60, paths_.c50, paths_.c40, &message, texts, analytic)) {
    ShowError(message);
    loaded_ = false;
    return false;
  }
  loaded_ = true;
  loadedTexts_ = texts;
  loadedAnalytic_ = analytic || texts;
  return true;
}

GatherContext TrialBalanceReport::Context(char listKind, const std::string& typeListe) const {
  GatherContext c;
  c.options = options_;
  c.frame = frame_;
  c.listKind = listKind;
  c.typeListe = typeListe;
  c.excludedJournals = codes_.ExcludedJournals();
  c.collectiveList = codes_.CollectiveList();
  c.keepRule = FirstOf(TheDossierRecord.Constant(33), 'N');
  std::string opening = TheDossierRecord.Constant(37).substr(0, 3);
  opening.resize(3, ' ');
  c.openingJournal = opening;
  c.orphanLetters = FirstOf(TheDossierRecord.Constant(44), ' ') != 'N';
  c.analyticByAccount = analyticByAccount_;
  return c;
}

void TrialBalanceReport::FillListVariablesOfRun(char listKind) {
  DeclareTrialBalanceFields(fields, listKind == '9');
  FillListVariables(fields, options_, frame_, listKind, ListTitleText(), codes_.ExcludedJournals());
}

bool TrialBalanceReport::PrepareReport() {
  if (lists_.empty()) return false;
  // The layout's list type, as the choice dialog left it.
  const std::string typeListe = ListTypeOf(listType);
  const std::string refusal = TypeListeRefusal(typeListe, options_.Kind());
  if (!refusal.empty()) {
    ShowEmpty(refusal);
    return false;
  }
  allBreaks_ = FirstOf(TheDossierRecord.Constant(36), ' ') == 'O';
  exportForm_ = FirstOf(TheDossierRecord.Constant(45), 'N');
  analyticByAccount_ = FirstOf(TheDossierRecord.Constant(32), ' ') == 'O';
  frame_ = MakePeriodFrame(options_, TheDossierRecord.DateStored(DF::YearStart), TheDossierRecord.DateStored(DF::YearEnd));
  typeListe_ = typeListe;
  unreadable_.clear();
  exporting_ = false;
  unreadableHanded_ = false;
  lines_.clear();
  fecRows_ = FecRows{};
  cegidRecords_.clear();
  current_ = 0;
  lineCount = 0;
  brokenRecords_ = 0;
  if (typeListe.rfind("XF", 0) == 0) return PrepareFec();
  if (typeListe.rfind("XC", 0) == 0) return PrepareCegid();
  return PrepareBalance(typeListe);
}

bool TrialBalanceReport::PrepareBalance(const std::string& typeListe) {
  mode_ = Mode::kBalance;
  const char kind = ListKind();
  // The analytic lines only when a list of the sequence is the analytic balance.
  if (!Load(false, lists_.find('9') != std::string::npos)) return false;
  Gatherer gatherer(source_, ChartOf(kind), Context(kind, typeListe));
  lines_ = gatherer.GatherList();
  brokenRecords_ = gatherer.BrokenRecords();
  FillListVariablesOfRun(kind);
  if (brokenRecords_ > 0)
    ShowError(FillPlaceholder(LoadStr(kMsgSortRecordsWithoutLine), std::to_string(brokenRecords_)));
  // Amounts that do not read are counted as zero: their lines, and the accounts or sections whose
  // previous-year or budget figures do not read, are named once per reading, as the list begins.
  unreadable_ = source_.UnreadableLines();
  const std::vector<UnreadableAmountLine>& figures = ChartOf(kind).Unreadable();
  unreadable_.insert(unreadable_.end(), figures.begin(), figures.end());
  if (lines_.empty()) {
    SayUnreadable();
    if (!severalLists_) ShowEmpty(FillPlaceholder(LoadStr(kMsgEmptyBalance), ListTitleText()));
    return false;
  }
  const std::string code = CodeOfLine(0);
  lineType = "A" + code + code;
  return true;
}

bool TrialBalanceReport::PrepareFec() {
  mode_ = Mode::kFec;
  const std::string siren = TheDossierRecord.Get(DossierRecord::kSirenPos, DossierRecord::kSirenWidth);
  const std::string refusal = FecExport::CheckSirenForFec(siren);
  if (!refusal.empty()) {
    ShowError(refusal);
    return false;
  }
  // The file reads the closed lines itself: only the codes and the chart are loaded here.
  std::string message;
  if (!loaded_) {
    codes_ = CodeLists();
    chart_ = ChartList();
    if (!codes_.Load(paths_.c10, &message) || !chart_.LoadAccounts(paths_.c20, &message)) {
      ShowError(message);
      return false;
    }
  }
  FecContext context;
  context.siren = siren;
  context.yearEnd = TheDossierRecord.DateStored(DF::YearEnd);
  std::string opening = TheDossierRecord.Constant(37).substr(0, 3);
  opening.resize(3, ' ');
  context.openingJournal = opening;
  FecExport fec;
  if (!fec.Build({paths_.c60, paths_.c50, paths_.c40}, codes_, chart_, context, &message)) {
    ShowError(message);
    return false;
  }
  // The check of the year comes before anything is written.
  const FecCheck& check = fec.Check();
  if (check.Blocking()) {
    ShowError(check.Text());
    return false;
  }
  if (check.HasRemarks() && !AskGoOn(FillPlaceholder(LoadStr(kAskFecDespiteRemarks), check.Text()))) return false;
  const std::string path = DossierFolder + FecExport::FileName(siren, context.yearEnd);
  if (!fec.Write(path, &message)) {
    ShowError(message);
    return false;
  }
  fecPath_ = path;
  fecRows_ = fec.TakeRows();
  FillListVariablesOfRun('1');
  ShowInformation(FillPlaceholders(LoadStr(kMsgFecWritten), {std::to_string(fecRows_.size()), path}));
  if (fecRows_.empty()) {
    ShowEmpty(FillPlaceholder(LoadStr(kMsgEmptyBalance), ListTitleText()));
    return false;
  }
  lineType = "A";
  return true;
}

bool TrialBalanceReport::PrepareCegid() {
  mode_ = Mode::kCegid;
  std::string typed;
  // A cancelled dialog gives no code: the run goes on with 00000.
  if (!AskDossierCode(typed)) typed.clear();
  std::string message;
  const std::string code = CegidDossierCode(typed, &message);
  if (code.empty()) {
    ShowError(message);
    return false;
  }
  if (!Load(true)) return false;
  const DossierRecord& d = TheDossierRecord;
  CegidContext x;
  x.dossierCode = code;
  x.name = d.Get(1, 30);
  x.street = d.Get(31, 30);
  x.street2 = d.Get(61, 30);
  x.townLine = d.Get(91, 30);
  x.siren = d.Get(DossierRecord::kSirenPos, DossierRecord::kSirenWidth);
  x.establishment = d.Get(136, 5);
  x.activity = d.Get(146, 4);
  x.yearStart = d.DateStored(DF::YearStart);
  x.yearEnd = d.DateStored(DF::YearEnd);
  x.periodStart = options_.PeriodStart();
  x.periodEnd = options_.PeriodEnd();
  std::string c048 = d.Constant(48).substr(0, 2);
  if (c048.size() == 2) x.constant048 = c048;
  x.constant045 = exportForm_;
  x.currency = options_.Currency();
  CegidExport xc;
  if (!xc.Build(source_, codes_, chart_, x, &message)) {
    ShowError(message);
    return false;
  }
  cegidRecords_ = xc.Records();
  FillListVariablesOfRun('1');
  fields.SetFieldText(tbv::kXcDossier, code.c_str());
  if (cegidRecords_.empty()) return false;
  lineType = "A";
  return true;
}

std::string TrialBalanceReport::CodeOfLine(std::size_t i) const {
  if (i >= lines_.size()) return std::string(8, ' ');
  const ChartList& chart = ChartOf(ListKind());
  std::string code = chart.Entries()[lines_[i].entry].code;
  code.resize(8, ' ');
  return code;
}

void TrialBalanceReport::ComputeLine() {
  if (mode_ == Mode::kFec) {
    if (current_ < fecRows_.size()) {
      fecLine_.clear();
      fecRows_.AppendRow(fecLine_, current_);
      const std::string_view line = std::string_view(fecLine_).substr(0, fecLine_.size() - 2);  // no CR LF
      for (std::size_t z = 0; z < fecZones_.size(); ++z) fecZones_[z] = FecRow::Zone(line, z);
      FillFecRow(fields, fecZones_, static_cast<long>(current_ + 1));
    }
    return;
  }
  if (mode_ == Mode::kCegid) {
    if (current_ < cegidRecords_.size()) FillCegidRecord(fields, cegidRecords_[current_]);
    return;
  }
  SayUnreadable();
  if (current_ >= lines_.size()) return;
  const BalanceLine& line = lines_[current_];
  const char kind = ListKind();
  const ChartList& chart = ChartOf(kind);
  FillGathered(fields, line.figures);
  AddPrintedPrevYear(fields, line.countsPrevYear ? line.figures.prevYear : 0);
  LineInput in;
  in.letter = FirstOf(lineType, 'B');
  in.listKind = kind;
  in.entry = &chart.Entries()[line.entry];
  in.code = line.code;
  in.analyticByAccount = kind == '9' && analyticByAccount_;
  if (in.analyticByAccount) {
    in.generalAccount = line.generalAccount;
    if (const ChartEntry* g = chart_.Find(line.generalAccount)) in.generalName = TrimmedRight(g->name);
  }
  in.breakChoice = options_.BreakLevel();
  in.currency = options_.Currency();
  in.daysInYear = frame_.daysInYear;
  in.daysInPeriod = frame_.daysInPeriod;
  in.exportForm = exportForm_;
  balances::ComputeLine(fields, in);
  ++lineCount;
}

bool TrialBalanceReport::NextRecord() {
  if (mode_ != Mode::kBalance) {
    if (current_ + 1 < LineCount()) {
      ++current_;
      return true;
    }
    lineType = "Z";
    return false;
  }
  if (current_ + 1 < lines_.size()) {
    ++current_;
    return true;
  }
  // The end of the list: the result line, then the letter of the closing breaks.
  current_ = lines_.size();
  if (ListKind() == '1') FillResultLine(fields);
  const std::array<bool, 3> printable = {LevelPrintable(fields, 1, allBreaks_), LevelPrintable(fields, 2, allBreaks_),
                                          LevelPrintable(fields, 3, allBreaks_)};
  lineType = std::string(1, EndLetter(options_.BreakLevel(), printable)) + lineType.substr(std::min<std::size_t>(1, lineType.size()));
  return false;
}

void TrialBalanceReport::ClassifyLine() {
  if (mode_ != Mode::kBalance) return;
  const char letter = FirstOf(lineType, ' ');
  if (letter >= 'Q' && letter <= 'X') return;
  lineType.resize(17, ' ');
  const std::string previous = lineType.substr(1, 8);
  const std::string code = CodeOfLine(current_);
  const std::array<bool, 3> printable = {LevelPrintable(fields, 1, allBreaks_), LevelPrintable(fields, 2, allBreaks_),
                                          LevelPrintable(fields, 3, allBreaks_)};
  const char next = LineLetter(previous, code, options_.BreakLevel(), ListKind() != '9', printable);
  lineType = std::string(1, next) + code + previous;
}

}  // namespace balances
