#include "dossier/constants_check.h"

#include <cstdio>
#include <cstdlib>

#include "platform/gui/application.h"
#include "platform/gui/constants.h"
#include "platform/gui/messagebox.h"
#include "resources/string_table.h"
#include "runtime/logfile.h"
#include "runtime/text.h"

namespace {

using K = ConstantKind;
constexpr const char* kYesNo = "OUI|NON";

// The titles and helps of the constants, by their ids in the string table.
constexpr int kTitleAutomaticSense = 22202;
constexpr int kHintYesNo = 22203;
constexpr int kTitleBalanceSheetType = 22204;
constexpr int kHintBalanceSheetType = 22205;
constexpr int kTitleModelCounterpart = 22206;
constexpr int kTitlePurchaseJournal = 22207;
constexpr int kHintPurchaseJournal = 22208;
constexpr int kTitleSalesJournal = 22209;
constexpr int kHintSalesJournal = 22210;
constexpr int kTitleWorkingMonthEntry = 22211;
constexpr int kHintWorkingMonthEntry = 22212;
constexpr int kTitleNewAccountOffer = 22213;
constexpr int kHintNewAccountOffer = 22214;
constexpr int kTitleExportDelimiter = 22215;
constexpr int kHintExportDelimiter = 22216;
constexpr int kTitleReportAccountCodes = 22217;
constexpr int kHintReportAccountCodes = 22218;
constexpr int kTitleFramesToPageEnd = 22219;
constexpr int kHintYesVNo = 22220;
constexpr int kTitleVatOnReceipts = 22221;
constexpr int kHintVatOnReceipts = 22222;
constexpr int kTitleAskWorkingDate = 22223;
constexpr int kHintAskWorkingDate = 22224;
constexpr int kTitleListRefresh = 22225;
constexpr int kHintListRefresh = 22226;
constexpr int kTitleMatchingAfterEntry = 22227;
constexpr int kTitleRebuild = 22228;
constexpr int kHintRebuild = 22229;
constexpr int kTitleFrancLetters = 22230;
constexpr int kHintFrancLetters = 22231;
constexpr int kTitleEuroLetters = 22232;
constexpr int kHintEuroLetters = 22233;
constexpr int kTitleSearchList = 22234;
constexpr int kHintSearchList = 22235;
constexpr int kTitleUpToWorkingMonth = 22236;
constexpr int kTitleAnalyticByAccount = 22237;
constexpr int kHintAnalyticByAccount = 22238;
constexpr int kTitleBalancesIdleAccounts = 22239;
constexpr int kHintBalancesIdleAccounts = 22240;
constexpr int kTitleBalancesAllBreaks = 22241;
constexpr int kTitleEtafiOpeningJournal = 22242;
constexpr int kHintEtafiOpeningJournal = 22243;
constexpr int kTitleAlignedTexts = 22244;
constexpr int kTitleEurosOnly = 22245;
constexpr int kTitleOpeningMatchCheck = 22246;
constexpr int kTitleDoubleSpacing = 22247;
constexpr int kTitleTransferFile = 22248;
constexpr int kHintTransferFile = 22249;
constexpr int kTitleOrphanLetters = 22250;
constexpr int kHintOrphanLetters = 22251;
constexpr int kTitleOemExport = 22252;
constexpr int kHintOemExport = 22253;
constexpr int kTitleAccountReportLetters = 22254;
constexpr int kHintAccountReportLetters = 22255;
constexpr int kTitleCegidExport = 22256;
constexpr int kHintCegidExport = 22257;
constexpr int kTitleDefaultAutoLaunch = 22258;
constexpr int kHintDefaultAutoLaunch = 22259;
constexpr int kTitleSettleAndSave = 22260;
constexpr int kHintSettleGap = 22261;
constexpr int kValuesSettleGap = 22262;
constexpr int kHintSettleJournal = 22263;
constexpr int kHintSettleLabelCode = 22264;
constexpr int kHintSettleAccounts = 22265;
constexpr int kTitleClosedForGood = 22266;
constexpr int kHintClosedForGood = 22267;
constexpr int kTitleAnalyticOffer = 22268;
constexpr int kHintAnalyticOffer = 22269;
constexpr int kTitleOpeningAuxiliary = 22270;
constexpr int kTitleOpeningFinancial = 22271;
constexpr int kTitleSplitCodes = 22272;
constexpr int kHintSplitCodes = 22273;
constexpr int kTitleModifyWindowMode = 22274;
constexpr int kHintModifyWindowMode = 22275;
constexpr int kTitleChartBreaks = 22276;
constexpr int kHintChartBreaks = 22277;
constexpr int kTitleSectionBreaks = 22278;
constexpr int kHintSectionBreaks = 22279;
constexpr int kHintSearchAccents = 22280;
constexpr int kTitleLabels2And3 = 22281;
constexpr int kTitleActivityCode = 22282;
constexpr int kTitleReceiptCollectives1 = 22283;
constexpr int kHintReceiptCollectives1 = 22284;
constexpr int kTitleReceiptCollectives2 = 22285;
constexpr int kHintReceiptCollectives = 22286;
constexpr int kTitleReceiptCollectives3 = 22287;
constexpr int kTitleSepaLabel3 = 22288;
constexpr int kTitleRoundedCorners = 22289;
constexpr int kTitleSearchAccents = 22518;

// The message and the log line of the constants put back to their default.
constexpr int kCaptionAttention = 52;
constexpr int kMsgConstantsReset = 19701;  // the constants' lines
constexpr int kLogConstantsReset = 22290;  // the constants

// Every constant, as its readers use it: the titles and helps the system shows, and for the
// constants whose readers give none a short title saying what they do.
const std::vector<ConstantDefinition>& Catalog() {
  static const std::vector<ConstantDefinition> catalog{
      {0, "", "", K::Free, "", "", 0, 0, "", false},
      {1, "", "", K::Free, "", "", 0, 0, "", false},
      {2, LoadStr(kTitleAutomaticSense), LoadStr(kHintYesNo), K::List, kYesNo, "ON", 0, 0, "NON", false},
      {3, "", "", K::Free, "", "", 0, 0, "", false},
      {4, LoadStr(kTitleBalanceSheetType), LoadStr(kHintBalanceSheetType), K::List, "NON|R|S|A|B|C|D|E|F|G",
       "NRSABCDEFG", 0, 0, "NON", true},
      {5, LoadStr(kTitleModelCounterpart), LoadStr(kHintYesNo), K::List, kYesNo, "ON", 0, 0, "NON", false},
      {6, LoadStr(kTitlePurchaseJournal), LoadStr(kHintPurchaseJournal), K::List, kYesNo, "ON", 0, 0, "NON", true},
      {7, LoadStr(kTitleSalesJournal), LoadStr(kHintSalesJournal), K::List, kYesNo, "ON", 0, 0, "NON", true},
      {8, "", "", K::Free, "", "", 0, 0, "", false},
      {9, LoadStr(kTitleWorkingMonthEntry), LoadStr(kHintWorkingMonthEntry), K::List, kYesNo, "ON", 0, 0, "NON", false},
      {10, LoadStr(kTitleNewAccountOffer), LoadStr(kHintNewAccountOffer), K::Pattern, "N*|O{345678UI}{345678UI}", "", 0,
       0, "OUI", false},
      {11, "", "", K::Free, "", "", 0, 0, "", false},
      {12, "", "", K::Free, "", "", 0, 0, "", false},
      {13, "", "", K::Free, "", "", 0, 0, "", false},
      {14, "", "", K::Free, "", "", 0, 0, "", false},
      {15, "", "", K::Free, "", "", 0, 0, "", false},
      {16, "", "", K::Free, "", "", 0, 0, "", false},
      {17, "", "", K::Free, "", "", 0, 0, "", false},
      {18, LoadStr(kTitleExportDelimiter), LoadStr(kHintExportDelimiter), K::Free, "NON|TAB|;", "", 0, 0, "NON", false},
      {19, LoadStr(kTitleReportAccountCodes), LoadStr(kHintReportAccountCodes), K::List, "OUI|NON|5|6|7", "ON567", 0, 0,
       "NON", false},
      {20, LoadStr(kTitleFramesToPageEnd), LoadStr(kHintYesVNo), K::List, "OUI|V|NON", "OVN", 0, 0, "NON", false},
      {21, LoadStr(kTitleVatOnReceipts), LoadStr(kHintVatOnReceipts), K::List, kYesNo, "ON", 0, 0, "NON", false},
      {22, "", "", K::Free, "", "", 0, 0, "", false},
      {23, LoadStr(kTitleAskWorkingDate), LoadStr(kHintAskWorkingDate), K::List, kYesNo, "ON", 0, 0, "OUI", false},
      {24, "", "", K::Free, "", "", 0, 0, "", false},
      {25, LoadStr(kTitleListRefresh), LoadStr(kHintListRefresh), K::Number, "", "", 0, 999, "000", false},
      {26, LoadStr(kTitleMatchingAfterEntry), LoadStr(kHintYesNo), K::List, kYesNo, "ON", 0, 0, "NON", false},
      {27, LoadStr(kTitleRebuild), LoadStr(kHintRebuild), K::List, kYesNo, "ON", 0, 0, "NON", false},
      {28, LoadStr(kTitleFrancLetters), LoadStr(kHintFrancLetters), K::Free, "", "", 0, 0, "F00", false},
      {29, LoadStr(kTitleEuroLetters), LoadStr(kHintEuroLetters), K::Free, "", "", 0, 0, "E00", false},
      {30, LoadStr(kTitleSearchList), LoadStr(kHintSearchList), K::Pattern, "N*|O*|#|##|###", "", 0, 0, "OUI", false},
      {31, LoadStr(kTitleUpToWorkingMonth), LoadStr(kHintYesNo), K::List, kYesNo, "ON", 0, 0, "NON", false},
      {32, LoadStr(kTitleAnalyticByAccount), LoadStr(kHintAnalyticByAccount), K::List, kYesNo, "ON", 0, 0, "NON",
       false},
      {33, LoadStr(kTitleBalancesIdleAccounts), LoadStr(kHintBalancesIdleAccounts), K::List, "NON|MVT|SLD", "NMS", 0, 0,
       "MVT", true},
      {34, "", "", K::Free, "", "", 0, 0, "", false},
      {35, "", "", K::Free, "", "", 0, 0, "", false},
      {36, LoadStr(kTitleBalancesAllBreaks), LoadStr(kHintYesNo), K::List, kYesNo, "ON", 0, 0, "NON", false},
      {37, LoadStr(kTitleEtafiOpeningJournal), LoadStr(kHintEtafiOpeningJournal), K::Free, "", "", 0, 0, "AN", false},
      {38, LoadStr(kTitleAlignedTexts), LoadStr(kHintYesNo), K::List, kYesNo, "ON", 0, 0, "NON", false},
      {39, LoadStr(kTitleEurosOnly), LoadStr(kHintYesNo), K::List, kYesNo, "ON", 0, 0, "OUI", false},
      {40, LoadStr(kTitleOpeningMatchCheck), LoadStr(kHintYesNo), K::List, kYesNo, "ON", 0, 0, "NON", false},
      {41, "", "", K::Free, "", "", 0, 0, "", false},
      {42, LoadStr(kTitleDoubleSpacing), LoadStr(kHintYesVNo), K::List, "OUI|V|NON", "OVN", 0, 0, "NON", false},
      {43, LoadStr(kTitleTransferFile), LoadStr(kHintTransferFile), K::Free, "", "", 0, 0, "", false},
      {44, LoadStr(kTitleOrphanLetters), LoadStr(kHintOrphanLetters), K::List, "NON|MIN|VID", "NMV", 0, 0, "NON", true},
      {45, LoadStr(kTitleOemExport), LoadStr(kHintOemExport), K::List, "OUI|MAJ|NON", "ONM", 0, 0, "NON", true},
      {46, "", "", K::Free, "", "", 0, 0, "", false},
      {47, LoadStr(kTitleAccountReportLetters), LoadStr(kHintAccountReportLetters), K::List, kYesNo, "ON", 0, 0, "NON",
       false},
      {48, LoadStr(kTitleCegidExport), LoadStr(kHintCegidExport), K::Pattern, "{NA}{68}", "", 0, 0, "N6", false},
      {49, "", "", K::Free, "", "", 0, 0, "", false},
      {50, LoadStr(kTitleDefaultAutoLaunch), LoadStr(kHintDefaultAutoLaunch), K::List, kYesNo, "ON", 0, 0, "NON",
       false},
      {51, "", "", K::Free, "", "", 0, 0, "", false},
      {52, LoadStr(kTitleSettleAndSave), LoadStr(kHintSettleGap), K::Free, LoadStr(kValuesSettleGap), "", 0, 0, "NON",
       false},
      {53, LoadStr(kTitleSettleAndSave), LoadStr(kHintSettleJournal), K::Free, "", "", 0, 0, "OD", false},
      {54, LoadStr(kTitleSettleAndSave), LoadStr(kHintSettleLabelCode), K::Free, "", "", 0, 0, "0", false},
      {55, LoadStr(kTitleSettleAndSave), LoadStr(kHintSettleAccounts), K::Free, "", "", 0, 0, "718", false},
      {56, LoadStr(kTitleClosedForGood), LoadStr(kHintClosedForGood), K::List, kYesNo, "ON", 0, 0, "NON", true},
      {57, LoadStr(kTitleAnalyticOffer), LoadStr(kHintAnalyticOffer), K::List, kYesNo, "ON", 0, 0, "NON", false},
      {58, LoadStr(kTitleOpeningAuxiliary), LoadStr(kHintYesNo), K::List, kYesNo, "ON", 0, 0, "NON", false},
      {59, LoadStr(kTitleOpeningFinancial), LoadStr(kHintYesNo), K::List, kYesNo, "ON", 0, 0, "NON", false},
      {60, LoadStr(kTitleSplitCodes), LoadStr(kHintSplitCodes), K::List, "OUI|NON|AID", "ONA", 0, 0, "OUI", true},
      {61, LoadStr(kTitleModifyWindowMode), LoadStr(kHintModifyWindowMode), K::List, "A|B|C|NOR", "ABCN", 0, 0, "NOR",
       true},
      {62, LoadStr(kTitleChartBreaks), LoadStr(kHintChartBreaks), K::Pattern, "{123}{123}{123}", "", 0, 0, "122",
       false},
      {63, LoadStr(kTitleSectionBreaks), LoadStr(kHintSectionBreaks), K::Pattern, "{123}", "", 0, 0, "1", false},
      {64, LoadStr(kTitleSearchAccents), LoadStr(kHintSearchAccents), K::List, kYesNo, "ON", 0, 0, "NON", true},
      {65, LoadStr(kTitleLabels2And3), LoadStr(kHintYesNo), K::List, kYesNo, "ON", 0, 0, "NON", false},
      {66, "", "", K::Free, "", "", 0, 0, "", false},
      {67, LoadStr(kTitleActivityCode), LoadStr(kHintYesNo), K::List, kYesNo, "ON", 0, 0, "NON", false},
      {68, "", "", K::Free, "", "", 0, 0, "", false},
      {69, LoadStr(kTitleReceiptCollectives1), LoadStr(kHintReceiptCollectives1), K::Pattern, "@|@@|@@@", "", 0, 0, "C",
       false},
      {70, LoadStr(kTitleReceiptCollectives2), LoadStr(kHintReceiptCollectives), K::Pattern, "|@|@@|@@@", "", 0, 0, "",
       false},
      {71, LoadStr(kTitleReceiptCollectives3), LoadStr(kHintReceiptCollectives), K::Pattern, "|@|@@|@@@", "", 0, 0, "",
       false},
      {72, LoadStr(kTitleSepaLabel3), LoadStr(kHintYesNo), K::List, kYesNo, "ON", 0, 0, "NON", false},
      {73, LoadStr(kTitleRoundedCorners), LoadStr(kHintYesNo), K::List, kYesNo, "ON", 0, 0, "NON", false},
      {74, "", "", K::Free, "", "", 0, 0, "", false},
  };
  return catalog;
}

// One shape against the whole trimmed value.
bool MatchesShape(const std::string& value, const std::string& shape) {
  std::size_t v = 0;
  for (std::size_t s = 0; s < shape.size(); ++s) {
    const char c = shape[s];
    if (c == '*') return true;
    if (v >= value.size()) return false;
    const char x = value[v++];
    if (c == '#') {
      if (x < '0' || x > '9') return false;
    } else if (c == '@') {
      if (x < 'A' || x > 'Z') return false;
    } else if (c == '{') {
      const std::size_t close = shape.find('}', s);
      if (close == std::string::npos) return false;
      if (shape.substr(s + 1, close - s - 1).find(x) == std::string::npos) return false;
      s = close;
    } else if (c != '?' && c != x) {
      return false;
    }
  }
  return v == value.size();
}

}  // namespace

const std::vector<ConstantDefinition>& ConstantCatalog() { return Catalog(); }

const ConstantDefinition* FindConstantDefinition(int n) {
  const auto& all = Catalog();
  if (n < 0 || n >= static_cast<int>(all.size())) return nullptr;
  return &all[static_cast<std::size_t>(n)];
}

bool ConstantMatchesPattern(const std::string& value, const char* shapes) {
  const std::string trimmed = TrimmedRight(value);
  const std::string all = shapes != nullptr ? shapes : "";
  std::size_t start = 0;
  for (;;) {
    const std::size_t bar = all.find('|', start);
    if (MatchesShape(trimmed, all.substr(start, bar == std::string::npos ? std::string::npos : bar - start))) return true;
    if (bar == std::string::npos) return false;
    start = bar + 1;
  }
}

bool ConstantValueAccepted(const ConstantDefinition& d, const std::string& value) {
  if (value.size() > 3) return false;
  const std::string trimmed = TrimmedRight(value);
  switch (d.kind) {
    case ConstantKind::List:
      return !trimmed.empty() && trimmed[0] != ' ' && std::string(d.firstChars).find(trimmed[0]) != std::string::npos;
    case ConstantKind::Number: {
      const std::size_t b = trimmed.find_first_not_of(' ');
      const std::string digits = b == std::string::npos ? std::string() : trimmed.substr(b);
      if (digits.empty() || digits.find_first_not_of("0123456789") != std::string::npos) return false;
      const int n = std::atoi(digits.c_str());
      return n >= d.low && n <= d.high;
    }
    case ConstantKind::Pattern:
      return ConstantMatchesPattern(trimmed, d.values);
    case ConstantKind::Free:
      return true;
  }
  return false;
}

std::vector<std::string> ConstantValueButtons(const ConstantDefinition& d) {
  std::vector<std::string> buttons;
  if (d.kind != ConstantKind::List && d.kind != ConstantKind::Free) return buttons;
  const std::string all = d.values;
  std::size_t start = 0;
  while (start < all.size()) {
    std::size_t bar = all.find('|', start);
    if (bar == std::string::npos) bar = all.size();
    if (bar > start) buttons.push_back(all.substr(start, bar - start));
    start = bar + 1;
  }
  return buttons;
}

const std::vector<ConstantRule>& ResettableConstants() {
  static const std::vector<ConstantRule> rules = [] {
    std::vector<ConstantRule> r;
    for (const ConstantDefinition& d : Catalog())
      if (d.resettable) r.push_back({d.number, d.firstChars, d.defaultValue});
    return r;
  }();
  return rules;
}

std::vector<ConstantReset> ResetInvalidConstants(DossierRecord& record) {
  std::vector<ConstantReset> resets;
  for (const ConstantRule& rule : ResettableConstants()) {
    const std::string value = record.Constant(rule.number);
    const char first = value.empty() ? ' ' : value[0];
    bool valid = false;
    for (const char* p = rule.firstChars; *p != '\0'; ++p)
      if (*p == first) valid = true;
    if (valid) continue;
    record.SetConstant(rule.number, rule.defaultValue);
    resets.push_back({rule.number, value, record.Constant(rule.number)});
  }
  return resets;
}

namespace {

std::string Number3(int n) {
  char buffer[8];
  std::snprintf(buffer, sizeof buffer, "%03d", n);
  return buffer;
}

}  // namespace

std::string ConstantsResetMessage(const std::vector<ConstantReset>& resets) {
  std::string lines;
  for (const ConstantReset& r : resets)
    lines += "   " + Number3(r.number) + ":  '" + r.oldValue + "'  ->  '" + r.newValue + "'\n";
  return FillPlaceholder(LoadStr(kMsgConstantsReset), lines);
}

bool CheckDossierConstants(gui::Window* client) {
  const std::vector<ConstantReset> resets = ResetInvalidConstants(TheDossierRecord);
  if (resets.empty()) return false;
  std::string list;
  for (const ConstantReset& r : resets) list += " " + Number3(r.number) + "='" + r.oldValue + "'>" + r.newValue;
  WriteLog(FillPlaceholder(LoadStr(kLogConstantsReset), list));
  gui::MessageBeep(0);
  gui::MessageBox(client, ConstantsResetMessage(resets), LoadStr(kCaptionAttention),
                  gui::MB_OK | gui::MB_ICONINFORMATION);
  return true;
}
