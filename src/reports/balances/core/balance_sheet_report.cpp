#include "reports/balances/core/balance_sheet_report.h"

#include <algorithm>
#include <cstdlib>

#include "data/account_totals.h"
#include "data/dossier_files.h"
#include "data/error_report.h"
#include "data/session.h"
#include "data/table.h"
#include "reports/balances/core/account_gathering.h"
#include "reports/balances/core/balance_sheet_run.h"
#include "reports/balances/core/balance_source.h"
#include "reports/balances/core/code_lists.h"
#include "resources/string_table.h"
#include "runtime/access_rights.h"
#include "runtime/code_helpers.h"
#include "runtime/inifiles.h"
#include "runtime/numbers.h"
#include "runtime/runtime_hooks.h"
#include "runtime/text.h"

namespace balances {

namespace {

constexpr int kEuroDefinition = 2276;     // EURO, then 2171-2207 for indices 1-37
constexpr int kFirstDefinition = 2171;
constexpr int kLastDefinition = 2791;     // A_TOTALNM1
constexpr int kEuros = 2277, kFrancs = 2278;
constexpr int kActif = 1702, kPassif = 1703, kResultat = 1704;
constexpr int kEditionCaption = 1701;     // "Edition du Bilan de "
// A total of the edition its field cannot hold (%s: the line's code, its label, the amount, its currency).
constexpr int kMsgTotalTooLarge = 36513;
constexpr int kCaptionAttention = 52;  // "ATTENTION"
// A box without its franc figure, edited in francs (%s: the poste, its line's code and label).
constexpr int kMsgBoxWithoutFrancs = 37714;
constexpr int kWordFrancs = 36503, kWordEuros = 36504;

int SectionName(char letter) {
  switch (letter) {
    case 'A': return kActif;
    case 'P': return kPassif;
    case 'R': return kResultat;
    default: return 0;
  }
}

char First(const std::string& s) { return s.empty() ? ' ' : s[0]; }

std::string Part(const std::string& s, std::size_t from, std::size_t width) {
  return s.size() > from ? s.substr(from, width) : std::string();
}

// The header's type character: label character 47 of the first line in code order.
char HeaderTypeOf(const std::vector<SheetLine>& lines) {
  if (lines.empty() || lines.front().label.size() < static_cast<std::size_t>(kTypePos)) return ' ';
  return lines.front().label[kTypePos - 1];
}

}  // namespace

int SheetTitleId(char type) {
  if (type == '0') return kLabelNormalModel;
  if (type == '3') return kLabelSimplifiedModel;
  if (type >= 'A' && type <= 'G') return kLabelOtherModel;
  return 0;
}

SheetEditionReport::SheetEditionReport(Table& c70, Table& c10) : c70_(c70), c10_(c10) {}

SheetEditionReport::~SheetEditionReport() = default;

void SheetEditionReport::DeclareVariables() {
  if (fields.Declared()) {
    fields.ClearFieldValues();
    return;
  }
  fields.SetFieldCount(sheet_var::kCount);
  fields.InitFieldTable();
  fields.DeclareField(0, LoadStr(kEuroDefinition));
  for (int i = 1; i < sheet_var::kCount - 1; ++i) fields.DeclareField(i, LoadStr(kFirstDefinition + i - 1));
  fields.DeclareField(sheet_var::kCount - 1, LoadStr(kLastDefinition));
}

bool SheetEditionReport::AtPrintable() const { return pos_ < order_.size() && PrintableLine(Current()); }

bool SheetEditionReport::PrepareReport() {
  refusedRead_.clear();
  DeclareVariables();
  lineCount = 0;
  fields.SetFieldText(sheet_var::kEuro, LoadStr(currency == 1 ? kEuros : kFrancs));
  index_.reset();
  lines_.clear();
  order_.clear();
  unreadLoaded_.Clear();
  unreadHanded_ = false;
  bool loaded = false;
  {
    const UnreadAmountWatch watch(unreadLoaded_);
    loaded = c70_.isOpen && LoadSheetLines(c70_, lines_);
    sheetUnread_ = unreadLoaded_.Any();
    if (loaded) NoteBooksUnread();
  }
  if (!loaded || lines_.empty()) {
    ShowEmpty(std::string(LoadStr(kEditionCaption)) + DossierCode);
    return false;
  }
  // The header: the model's title and the period of the last computation.
  const std::string& header = lines_.front().label;
  if (header.size() >= static_cast<std::size_t>(kTypePos)) {
    if (const int id = SheetTitleId(header[kTypePos - 1]); id != 0) titleId_ = id;
  }
  if (titleId_ != 0) fields.SetFieldText(sheet_var::kTitle, LoadStr(titleId_));
  fields.SetFieldText(sheet_var::kStart, Part(header, kPeriodStartPos - 1, 8).c_str());
  fields.SetFieldText(sheet_var::kEnd, Part(header, kPeriodEndPos - 1, 8).c_str());
  if (annex) {
    index_ = std::make_unique<PosteIndex>(lines_);
    return PrepareAnnex();
  }

  if (!TotalsIntoTable()) return false;
  index_ = std::make_unique<PosteIndex>(lines_);
  FindPostesOnlyInModel();

  // Section and line order; the first printable line from the first record.
  order_.resize(lines_.size());
  for (std::size_t i = 0; i < order_.size(); ++i) order_[i] = i;
  std::stable_sort(order_.begin(), order_.end(), [&](std::size_t a, std::size_t b) {
    const std::string ka = First(lines_[a].section) + lines_[a].line;
    const std::string kb = First(lines_[b].section) + lines_[b].line;
    return ka != kb ? ka < kb : lines_[a].recno < lines_[b].recno;
  });
  // The first printable line, itself left out when it has no amounts and they are not asked.
  pos_ = 0;
  while (pos_ < order_.size() && (!PrintableLine(Current()) || !KeepLine(Current(), ' ', withEmptyLines, currency)))
    ++pos_;
  if (pos_ < order_.size()) {
    currentCode_ = Current().code;
    firstLabel_ = First(Current().label);
  } else {
    currentCode_.clear();
    firstLabel_ = ' ';
  }
  lineType = "A" + currentCode_ + currentCode_;
  if (pos_ < order_.size()) ClassifyLine();
  return true;
}

void SheetEditionReport::NoteBooksUnread() {
  // The boxes and the annex were computed from the lines and the accounts' figures, as the
  // computation reads them: one that does not read was counted there as zero, and is named before
  // the edition prints (a table that cannot be read here is the computation's to refuse).
  BalanceSource source;
  if (source.Load(PathC60(), PathC50(), PathC40(), nullptr, false, true))
    for (const UnreadableAmountLine& line : source.UnreadableLines()) NoteUnreadAmount(line);
  ChartList chart;
  if (chart.LoadAccounts(PathC20()))
    for (const UnreadableAmountLine& line : chart.Unreadable()) NoteUnreadAmount(line);
}

void SheetEditionReport::FindPostesOnlyInModel() {
  onlyInModel_.clear();
  const char letter = ModelLetterOfType(HeaderTypeOf(lines_));
  if (letter == ' ') return;
  const std::string path = ModelPath(ProgramFolder, letter, false);
  if (!ModelFileExists(path)) return;
  Table model;
  std::vector<SheetLine> modelLines;
  if (!model.OpenShared(path, "", true) || !LoadSheetLines(model, modelLines)) return;
  model.CloseTable(true);
  std::set<std::string> inC70;
  for (const SheetLine& l : lines_)
    for (const std::string& p : l.postes)
      if (!p.empty()) inC70.insert(PosteCode(p));
  for (const SheetLine& l : modelLines)
    for (const std::string& p : l.postes)
      if (!p.empty() && inC70.count(PosteCode(p)) == 0) onlyInModel_.insert(PosteCode(p));
}

const Lookup& SheetEditionReport::Kept(const Table& table, const Lookup& found) {
  if (found.IsRefused() && refusedRead_.empty()) refusedRead_ = UnreadText(table.tablePath, found.result());
  return found;
}

bool SheetEditionReport::TotalsIntoTable() {
  refusedSaves_ = 0;
  tooLarge_.clear();
  // A box the computation left blank in francs (kept only in euros then, past its field) is no 0 to sum.
  if (currency == 0)
    for (const SheetLine& l : lines_)
      for (std::size_t c = 0; c < 4; ++c) {
        if (l.postes[c].empty() || l.cents[c][1] == 0) continue;
        const Lookup at = Kept(c70_, c70_.GoToRecord(static_cast<long>(l.recno)));
        // A box not read is not known to hold francs: the edition stops before any total is written.
        if (at.IsRefused()) return false;
        if (at.IsNotFound()) continue;
        c70_.GetFieldNum(sheet_field::Amount(static_cast<int>(c) + 1, 0));
        if (!c70_.blank) continue;
        tooLarge_ = FillPlaceholders(LoadStr(kMsgBoxWithoutFrancs), {l.postes[c], Trimmed(l.code), Trimmed(l.label)});
        return false;
      }
  TotalsPass(lines_, currency);
  // A total that its field cannot hold stops the edition before any total is written.
  for (const SheetLine& l : lines_) {
    const char op = First(l.calc);
    if (op != 'C' && op != 'T') continue;
    for (const auto& column : l.cents) {
      const long long cents = column[static_cast<std::size_t>(currency)];
      if (cents >= kSmallestTotalCents && cents <= kLargestTotalCents) continue;
      tooLarge_ = FillPlaceholders(LoadStr(kMsgTotalTooLarge), {Trimmed(l.code), Trimmed(l.label), GroupedAmountText(cents),
                                                               LoadStr(currency == 1 ? kWordEuros : kWordFrancs)});
      return false;
    }
  }
  // Totals summed over a box that does not read are printed under the warning, never written back.
  if (sheetUnread_) return true;
  // The commands stay greyed while C70 is rewritten.
  const bool before = PrintRunFlag;
  PrintRunFlag = true;
  for (const SheetLine& l : lines_) {
    const char op = First(l.calc);
    if (op != 'C' && op != 'T') continue;
    // A line not read is counted with the saves refused: nothing is written into another record.
    bool ok = Kept(c70_, c70_.GoToRecord(static_cast<long>(l.recno))).IsFound();
    for (int c = 1; ok && c <= 4; ++c)
      ok = c70_.PutFieldNum(sheet_field::Amount(c, currency),
                            FromCents(l.cents[static_cast<std::size_t>(c - 1)][static_cast<std::size_t>(currency)]));
    ok = ok && c70_.PutField(sheet_field::kPercent, l.percent.c_str());
    if (!ok) ++refusedSaves_;
  }
  if (!c70_.Commit()) ++refusedSaves_;
  PrintRunFlag = before;
  return true;
}

bool SheetEditionReport::PrepareAnnex() {
  annexLines_.clear();
  annexPos_ = 0;
  const Lookup first = c10_.isOpen ? Kept(c10_, c10_.FindNotBelow("C10CODE", "j")) : Lookup::NotFound();
  // An annex not read is said (RefusedRead), never shown as an empty one.
  if (first.IsRefused()) return false;
  if (first.IsFound()) {
    // An amount of the annex that does not read is named, by its record, to the run's watch: the
    // printout warns before it shows it as zero, and writes no export over it.
    const UnreadAmountWatch watch(unreadLoaded_);
    const int field = currency == 1 ? 5 : 4;
    for (bool on = c10_.SkipActive(false); on && First(c10_.GetField(1)) == 'j'; on = c10_.SkipActive(true)) {
      AnnexEntry e;
      e.code = c10_.GetField(2);
      e.name = c10_.GetField(3);
      e.text = c10_.GetField(field);
      if (!ParseAnnexRecord(e.code, e.name, e.text).readable)
        NoteUnreadAmount(UnreadRecordLine(c10_, field, c10_.recordBuffer.data(), c10_.recordNumber));
      annexLines_.push_back(std::move(e));
    }
  }
  if (annexLines_.empty()) {
    ShowEmpty(std::string(LoadStr(kEditionCaption)) + DossierCode);
    return false;
  }
  totalCarried_ = totalPrevious_ = 0;
  currentPoste_ = Part(annexLines_.front().code, 3, 3);
  previousPoste_ = currentPoste_;
  lineType = "A" + currentPoste_ + currentPoste_;
  return true;
}

void SheetEditionReport::HandUnread() {
  // What PrepareReport met, handed to the run's watch by the first hook the run calls: the lines'
  // ComputeLine, or the boxes' [BLL:] and [BLV:] of a layout that prints no line.
  if (!unreadHanded_ && WatchingUnreadAmounts()) {
    unreadHanded_ = true;
    NoteUnreadAmounts(unreadLoaded_);
  }
}

void SheetEditionReport::ComputeLine() {
  HandUnread();
  if (annex) ComputeAnnexLine();
  else ComputeSheetLine();
  ++lineCount;
}

void SheetEditionReport::ComputeSheetLine() {
  if (pos_ >= order_.size()) return;
  const SheetLine& l = Current();
  fields.SetFieldText(sheet_var::kCode, l.code.c_str());
  if (const int id = SectionName(First(l.section)); id != 0) fields.SetFieldText(sheet_var::kApr, LoadStr(id));
  fields.SetFieldText(sheet_var::kCalc, l.calc.c_str());
  fields.SetFieldNumber(sheet_var::kLine, std::atof(l.line.c_str()));
  fields.SetFieldText(sheet_var::kLabel, l.label.c_str());
  const std::string lineDigits = Part(l.line, 1, 2);
  // The run's first refusal, when met here, is said here (one met before, the window said).
  bool unreadBefore = !refusedRead_.empty();
  for (int c = 1; c <= 4; ++c) {
    const auto i = static_cast<std::size_t>(c - 1);
    fields.SetFieldText(sheet_var::Poste(c), l.postes[i].c_str());
    // A record not read prints its column blank, and the refusal is said once.
    const std::string column =
        c70_.isOpen && Kept(c70_, c70_.GoToRecord(static_cast<long>(l.recno))).IsFound()
            ? std::string(c70_.GetField(sheet_field::PrintColumn(c)))
            : std::string();
    if (!refusedRead_.empty() && !unreadBefore) {
      unreadBefore = true;
      RuntimeMessage(LoadStr(kCaptionAttention), refusedRead_.c_str(), kMbIconStop);
    }
    fields.SetFieldNumber(sheet_var::PrintColumn(c), std::atof(column.c_str()));
    fields.SetFieldText(sheet_var::LineColumn(c), (" " + lineDigits + column).c_str());
    SetCents(sheet_var::Amount(c), l.cents[i][static_cast<std::size_t>(currency)]);
  }
  fields.SetFieldText(sheet_var::kPercent, l.percent.c_str());
}

void SheetEditionReport::ComputeAnnexLine() {
  if (annexPos_ >= annexLines_.size()) return;
  const AnnexEntry& e = annexLines_[annexPos_];
  if (First(lineType) == 'R') totalCarried_ = totalPrevious_ = 0;
  const AnnexRecord r = ParseAnnexRecord(e.code, e.name, e.text);
  const bool groupStart = totalCarried_ == 0 && totalPrevious_ == 0;
  if (groupStart) {
    if (const int id = SectionName(r.section); id != 0) fields.SetFieldText(sheet_var::kAApr, LoadStr(id));
    fields.SetFieldText(sheet_var::kAPoste, r.poste.c_str());
    fields.SetFieldText(sheet_var::kACode, r.lineCode.c_str());
    fields.SetFieldText(sheet_var::kALabel, r.label.c_str());
  } else {
    for (int f : {sheet_var::kAPoste, sheet_var::kACode, sheet_var::kALabel, sheet_var::kAApr})
      fields.SetFieldText(f, "");
  }
  std::string account = r.account;
  NormalizeNumberText(account);
  fields.SetFieldText(sheet_var::kAAccount, account.c_str());
  fields.SetFieldText(sheet_var::kAName, r.name.c_str());
  const long long amount = ToCents(r.amount);
  SetCents(sheet_var::kAAmount, amount < 0 ? -amount : amount);
  fields.SetFieldText(sheet_var::kADc, amount >= 0 ? "D" : "C");
  const long long carried = ToCents(r.carried), previous = ToCents(r.previous);
  SetCents(sheet_var::kACarried, carried);
  if (previous == 0) fields.SetFieldText(sheet_var::kAPrevious, "");
  else fields.SetFieldBalance(sheet_var::kAPrevious, previous);
  fields.SetFieldText(sheet_var::kABreak, r.poste.c_str());
  totalCarried_ += carried;
  totalPrevious_ += previous;
  SetCents(sheet_var::kATotal, totalCarried_);
  SetCents(sheet_var::kATotalPrevious, totalPrevious_);
}

bool SheetEditionReport::NextRecord() {
  if (annex) {
    if (annexPos_ < annexLines_.size()) ++annexPos_;
    if (annexPos_ >= annexLines_.size()) {
      lineType = "Z";
      return false;
    }
    return true;
  }
  while (true) {
    if (pos_ < order_.size()) ++pos_;
    while (pos_ < order_.size() && !PrintableLine(Current())) ++pos_;
    if (pos_ >= order_.size()) {
      lineType = "Z";
      return false;
    }
    if (KeepLine(Current(), firstLabel_, withEmptyLines, currency)) break;
  }
  firstLabel_ = First(Current().label);
  return true;
}

void SheetEditionReport::ClassifyLine() {
  if (annex) {
    if (annexPos_ >= annexLines_.size()) return;
    previousPoste_ = currentPoste_;
    currentPoste_ = Part(annexLines_[annexPos_].code, 3, 3);
    lineType = (previousPoste_ == currentPoste_ ? "S" : "R") + previousPoste_ + currentPoste_;
    return;
  }
  if (pos_ >= order_.size()) return;
  previousCode_ = currentCode_;
  currentCode_ = Current().code;
  lineType = std::string(1, ClassifySheetLine(previousCode_, Current())) + previousCode_ + currentCode_;
}

std::string SheetEditionReport::GetCodeLabel(const std::string& code) {
  HandUnread();
  if (!index_) return "?BLL:" + PosteCode(code) + "?";
  if (!index_->Carries(code) && onlyInModel_.count(PosteCode(code)) != 0) return std::string();
  return index_->Label(code);
}

std::string SheetEditionReport::GetCodeValue(const std::string& code) {
  HandUnread();
  if (!index_) return "?BLV:" + PosteCode(code) + "?";
  if (!index_->Carries(code) && onlyInModel_.count(PosteCode(code)) != 0) return std::string(kValueWidth, ' ');
  return index_->Value(code, currency);
}

}  // namespace balances
