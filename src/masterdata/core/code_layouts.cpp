#include "masterdata/core/code_layouts.h"

#include "masterdata/core/chart_layouts.h"
#include "masterdata/core/layout_items.h"

#include "masterdata/core/masterdata_strings.h"
#include "resources/command_ids.h"
#include "resources/string_table.h"

namespace masterdata {

namespace {

using namespace layout;

ReportVariable Stored(int field, int position, int width) { return {ReportValue::Stored, {field, position, width}}; }
ReportVariable Value(ReportValue v, int field, int position, int width) { return {v, {field, position, width}}; }
ReportVariable Cut(int other, int start, int length) { return {ReportValue::Cut, {}, other, start, length}; }

constexpr Slice kName{3, 1, 30};

// The texts of the forms and the lists, by their ids in the string table.
constexpr int kColumnSiretKey = 22317, kLabelSiretKey = 22318;
constexpr int kColumnDefaultLabel = 22319, kColumnModel = 21129, kColumnDashboard = 22321;
constexpr int kTextPieceNumber = 22322;
constexpr int kLabelDefaultLabel = 22323, kLabelModel = 22324, kLabelDashboard = 22325;
constexpr int kFrameRib = 22328, kLabelHolder = 22329, kLabelBankCode = 22330, kLabelBranch = 22331;
constexpr int kLabelAccountNumber = 22332;
constexpr int kFrameTransfer = 22334, kLabelWithSeparator = 22335;
constexpr int kTextShortLabel = 22336;
constexpr int kLabelTitle = 22337, kLabelSalesAccount = 22338, kLabelPurchasesAccount = 22339;

// ---- establishments ("E") -------------------------------------------------------------------------------------
KindLayout Establishments() {
  return {'E',
          {{2, "", 'D', 0, 1, 1},
           {6, "Code", 'C', 2, 1, 4},
           {25, "Nom", 'G', 3, 1, 30},
           {25, "Rue1", 'G', 4, 1, 30},
           {25, "Rue2", 'G', 4, 31, 30},
           {25, "Ville", 'G', 4, 61, 30},
           {8, resources::LastingText(kColumnSiretKey), 'C', 4, 91, 1}},
          kReportDefinitionsBase,
          {Stored(2, 1, 4), Stored(3, 1, 30), Stored(4, 1, 30), Stored(4, 31, 30), Stored(4, 61, 30), Cut(4, 1, 5),
           Cut(4, 7, 24), Stored(4, 91, 1)},
          {Label(1301, "N&om", 1, 1), Edit(1201, kName, Fill::Name, 30, 2, 1, 5, 2),
           Label(1302, "Rue", 1, 2), Edit(1202, {4, 1, 30}, Fill::Text, 30, 2, 2, 5),
           Label(1303, " '' ", 1, 3), Edit(1203, {4, 31, 4}, Fill::Text, 4, 2, 3, 1),
           Edit(1204, {4, 35, 1}, Fill::Text, 1, 3, 3, 1, 1, true), Edit(1205, {4, 37, 24}, Fill::Text, 24, 4, 3, 5),
           Label(1304, "&Ville", 1, 4), Edit(1206, {4, 61, 5}, Fill::Text, 5, 2, 4, 1),
           Edit(1207, {4, 67, 24}, Fill::Text, 24, 3, 4, 5),
           Label(1305, resources::LastingText(kLabelSiretKey), 1, 5),
           Edit(1208, {4, 91, 1}, Fill::Text, 1, 2, 5, 1, 0)},
          {},
          {{Rule::NameRequired, 1201}},
          90,
          6};
}

// ---- journals ("J") -------------------------------------------------------------------------------------------
KindLayout Journals() {
  return {'J',
          {{2, "", 'D', 0, 1, 1},
           {6, "Code", 'C', 2, 1, 3},
           {25, "Nom", 'G', 3, 1, 30},
           {4, "Type", 'C', 4, 1, 1},
           {10, "Contrepartie", 'C', 4, 2, 8},
           {11, resources::LastingText(kColumnDefaultLabel), 'C', 4, 10, 1},
           {8, resources::LastingText(kColumnModel), 'C', 4, 11, 8},
           {14, resources::LastingText(kColumnDashboard), 'C', 4, 25, 1},
           {10, resources::LastingText(kTextPieceNumber), 'C', 4, 19, 6}},
          kReportDefinitionsBase + 1,
          {Stored(2, 1, 3), Stored(3, 1, 30), Stored(4, 1, 1), Stored(4, 2, 8), Stored(4, 10, 1), Stored(4, 11, 8),
           Value(ReportValue::YesNo, 4, 25, 1), Stored(4, 19, 6)},
          {Label(1301, "Nom", 1, 1), Edit(1201, kName, Fill::Text, 30, 2, 1, 4, 2),
           Label(1302, "Type", 1, 2), Combo(1202, {4, 1, 1}, 2, 2, 2),
           Label(1303, "Contrepartie", 1, 3), Edit(1203, {4, 2, 8}, Fill::Counterpart, 8, 2, 3, 1, 1211, true),
           Display(1304, 3, 3, 3),
           Label(1305, resources::LastingText(kLabelDefaultLabel), 1, 4),
           Edit(1204, {4, 10, 1}, Fill::Text, 1, 2, 4, 1, 1212, true),
           Display(1306, 3, 4, 3),
           Label(1307, resources::LastingText(kLabelModel), 1, 5),
           Edit(1205, {4, 11, 8}, Fill::Text, 8, 2, 5, 1, 1213, true),
           Display(1308, 3, 5, 3),
           Check(1206, resources::LastingText(kLabelDashboard), {4, 25, 1}, 2, 6, 3),
           Label(1309, resources::LastingText(kTextPieceNumber), 1, 7),
           Number(1207, {4, 19, 6}, Fill::Counter, 6, 3, 0, 2, 7, 0),
           Ask(1208, 3), Ask(1209, 4), Ask(1210, 5)},
          {{1203, 1304, 1208, 1208, 1211, 1214, 1216, 1215, 1217, '2', 8, 0, 0, Rule::KnownAccount,
            kMsgUnknownAccount, 1204, 1204, kTipChart},
           {1204, 1306, 1209, 1209, 1212, 1218, 1219, 1220, 1221, 'L', 1, command_id::DonneesLibelles, 157,
            Rule::KnownCode, kMsgUnknownLabel, 1205, 1205, kTipLabels},
           {1205, 1308, 1210, 1210, 1213, 1222, 1223, 1224, 1225, 'M', 8, command_id::DonneesModeles, 247,
            Rule::KnownCode, kMsgUnknownModel, 1206, 1207, kTipModels}},
          {{Rule::NameRequired, 1201},
           {Rule::KnownAccount, 1203},
           {Rule::KnownCode, 1204},
           {Rule::KnownCode, 1205},
           {Rule::Digits, 1207}},
          84,
          8};
}

// ---- collective accounts ("B") and distribution codes ("V"): a name and an account ------------------------------
KindLayout NameAndAccount(char kind, int codeWidth, int definitions, Rule rule) {
  return {kind,
          {{2, "", 'D', 0, 1, 1},
           {6, "Code", 'C', 2, 1, codeWidth},
           {25, "Nom", 'G', 3, 1, 30},
           {10, "Compte", 'C', 4, 1, 8}},
          definitions,
          {Stored(2, 1, codeWidth), Stored(3, 1, 30), Value(ReportValue::Normalized, 4, 1, 8),
           Value(ReportValue::AccountName, 4, 1, 8)},
          {Label(1301, "Nom", 1, 1), Edit(1201, kName, Fill::Name, 30, 2, 1, 4, 2),
           Label(1302, "Compte", 1, 3), Edit(1202, {4, 1, 8}, Fill::Account, 8, 2, 3, 1, 1204, true),
           Display(1303, 3, 3, 3), Ask(1203, 3)},
          {{1202, 1303, 1203, 1203, 1204, 1205, 1207, 1206, 1208, '2', 8, 0, 0, rule, kMsgUnknownAccount, 1201, 1201,
            kTipChart, true}},
          {{Rule::NameRequired, 1201}, {rule, 1202}},
          84,
          5};
}

// ---- banks ("Q") ----------------------------------------------------------------------------------------------
KindLayout Banks() {
  using namespace bank;
  return {'Q',
          {{2, "", 'D', 0, 1, 1},
           {6, "Code", 'C', 2, 1, 4},
           {25, "Nom", 'G', 3, 1, 30},
           {25, "Ville", 'G', 4, 61, 30},
           {25, "Contact", 'G', 4, 91, 30},
           {10, "Num.Emetteur", 'G', 4, 121, 6},
           {15, resources::LastingText(kTextTelephone), 'G', 4, 127, 15}},
          kReportDefinitionsBase + 3,
          {Stored(2, 1, 4), Stored(3, 1, 30), Stored(4, 1, 30), Stored(4, 31, 30), Stored(4, 61, 30), Cut(4, 1, 5),
           Cut(4, 7, 24), Stored(4, 91, 30), Stored(4, 121, 6), Stored(4, 127, 15), Stored(4, 142, 15),
           Stored(4, 211, 30), Stored(5, 46, 8), Stored(4, 157, 30), Stored(4, 187, 5), Stored(4, 192, 5),
           Stored(4, 197, 11), Stored(4, 208, 2), Value(ReportValue::YesNo, 4, 210, 1), Stored(5, 1, 34),
           Stored(5, 35, 11)},
          {Label(1301, "N&om", 1, 1), Edit(1201, kName, Fill::Text, 30, 2, 1, 3, 2),
           Label(1302, "Rue", 1, 2), Edit(1202, {4, 1, 30}, Fill::Text, 30, 2, 2, 3),
           Label(1303, " '' ", 1, 3), Edit(1203, {4, 31, 30}, Fill::Text, 30, 2, 3, 3),
           Label(1304, "Ville", 1, 4), Edit(1204, {4, 61, 30}, Fill::Text, 30, 2, 4, 3),
           Label(1305, "Contact", 1, 5), Edit(1205, {4, 91, 30}, Fill::Text, 30, 2, 5, 3),
           Label(1306, resources::LastingText(kTextTelephone), 1, 6), Edit(1208, {4, 127, 15}, Fill::Text, 15, 2, 6, 1),
           Label(1307, resources::LastingText(kTextFax), 3, 6), Edit(1209, {4, 142, 15}, Fill::Text, 15, 4, 6, 1),
           Label(1308, "EMail", 1, 7), Edit(1210, {4, 211, 30}, Fill::Text, 30, 2, 7, 3),
           Label(1309, "Compte", 1, 8), Edit(1211, {5, 46, 8}, Fill::Account, 8, 2, 8, 1, 1213, true),
           Display(1310, 3, 8, 3),
           Label(1311, "Journal", 1, 9), Edit(1218, {5, 54, 3}, Fill::Text, 3, 2, 9, 1, 1220, true),
           Display(1312, 3, 9, 3),
           Frame(1313, resources::LastingText(kFrameRib), 1, 11, 5),
           Label(1314, resources::LastingText(kLabelHolder), 1, 12),
           Edit(kHolder, {4, 157, 30}, Fill::Text, 30, 2, 12, 3),
           Label(1315, resources::LastingText(kLabelBankCode), 1, 13),
           Edit(kBankCode, {4, 187, 5}, Fill::Text, 5, 2, 13, 1),
           Label(1316, resources::LastingText(kLabelBranch), 3, 13),
           Edit(kBranch, {4, 192, 5}, Fill::Text, 5, 4, 13, 1),
           Label(1317, resources::LastingText(kLabelAccountNumber), 1, 14),
           Edit(kAccount, {4, 197, 11}, Fill::Text, 11, 2, 14, 1, 1, true),
           Label(1318, resources::LastingText(kTextRibKey), 3, 14), Edit(kKey, {4, 208, 2}, Fill::Text, 2, 4, 14, 1),
           Label(1319, "IBAN", 1, 15), Edit(kIban, {5, 1, 34}, Fill::Iban, 34, 2, 15, 3, 1, true),
           Label(1320, "BIC", 1, 16), Edit(kBic, {5, 35, 11}, Fill::Text, 11, 2, 16, 1, 1, true),
           Frame(1321, resources::LastingText(kFrameTransfer), 1, 17, 5),
           Label(1322, "Num.Emetteur", 1, 18), Edit(1206, {4, 121, 6}, Fill::Text, 6, 2, 18, 1),
           Check(1207, resources::LastingText(kLabelWithSeparator), {4, 210, 1}, 3, 18, 2),
           Ask(1212, 8), Ask(1219, 9), Push(kRibToIban, "RIB>IBAN", 3, 16, 2)},
          {{1211, 1310, 1212, 1212, 1213, 1214, 1216, 1215, 1217, '2', 8, 0, 0, Rule::GeneralAccount,
            kMsgUnknownAccount, kHolder, kHolder, kTipChart, true},
           {1218, 1312, 1219, 1219, 1220, 1221, 1223, 1222, 1224, 'J', 3, command_id::DonneesJournaux, 359,
            Rule::RequiredCode, 0, kHolder, kHolder, 0}},
          {{Rule::NameRequired, 1201},
           {Rule::GeneralAccount, 1211},
           {Rule::RibKey, kKey},
           {Rule::Iban, kIban},
           {Rule::RequiredCode, 1218}},
          96,
          18,
          {kBankCode, kBranch, kAccount, kKey, kIban, kBic, kRibToIban, 0, 0, kTipRibToIban}};
}

// ---- standard labels ("L") ------------------------------------------------------------------------------------
KindLayout Labels() {
  return {'L',
          {{2, "", 'D', 0, 1, 1},
           {6, "Code", 'C', 2, 1, 1},
           {25, "Nom", 'G', 3, 1, 30},
           {11, resources::LastingText(kTextShortLabel), 'G', 4, 1, 7},
           {12, "Type", 'G', 4, 8, 11}},
          kReportDefinitionsBase + 4,
          {Stored(2, 1, 1), Stored(3, 1, 30), Stored(4, 1, 7), Value(ReportValue::LabelType, 4, 8, 1)},
          {Label(1301, "Nom", 1, 1), Edit(1201, kName, Fill::Text, 30, 2, 1, 4, 2),
           Label(1302, resources::LastingText(kTextShortLabel), 1, 2), Edit(1202, {4, 1, 7}, Fill::Text, 7, 2, 2, 1),
           Label(1303, "Type", 1, 3), Combo(1203, {4, 8, 1}, 2, 3, 3)},
          {},
          {{Rule::NameRequired, 1201}},
          96,
          5};
}

// ---- entry models ("M") ---------------------------------------------------------------------------------------
KindLayout Models() {
  return {'M',
          {{2, "", 'D', 0, 1, 1}, {10, "Code", 'G', 2, 1, 8}, {60, "Nom", 'G', 3, 1, 30}},
          kReportDefinitionsBase + 6,
          {Stored(2, 1, 8), Stored(3, 1, 30)},
          {Label(1301, "Nom", 1, 1), Edit(1201, kName, Fill::Text, 30, 2, 1, 5, 2)},
          {},
          {{Rule::NameRequired, 1201}},
          80,
          3};
}

// ---- VAT codes ("T") ------------------------------------------------------------------------------------------
KindLayout VatCodes() {
  return {'T',
          {{2, "", 'D', 0, 1, 1}, {9, "Code", 'C', 2, 1, 8}, {25, "Nom", 'G', 3, 1, 30}, {10, "Taux %", 'C', 4, 1, 5}},
          kReportDefinitionsBase + 7,
          // The whole code, 8 wide: older codes longer than one character print whole.
          {Stored(2, 1, 8), Stored(3, 1, 30), Stored(4, 1, 5), Stored(4, 6, 8), Stored(4, 14, 8)},
          {Label(1301, resources::LastingText(kLabelTitle), 1, 1), Edit(1201, kName, Fill::Name, 30, 2, 1, 3, 2),
           Label(1302, "Taux %", 1, 2), Number(1202, {4, 1, 5}, Fill::Number, 5, 2, 2, 2, 2, 1),
           Label(1303, resources::LastingText(kLabelSalesAccount), 1, 3),
           Edit(1203, {4, 6, 8}, Fill::Account, 8, 2, 3, 1, 1, true),
           Label(1304, resources::LastingText(kLabelPurchasesAccount), 1, 4),
           Edit(1204, {4, 14, 8}, Fill::Account, 8, 2, 4, 1, 1, true)},
          {},
          {{Rule::NameRequired, 1201}},
          80,
          5};
}

}  // namespace

const KindLayout* FindLayout(char kind) {
  static const std::vector<KindLayout> layouts{
      Establishments(),
      Journals(),
      NameAndAccount('B', 1, kReportDefinitionsBase + 2, Rule::GeneralAccount),
      Banks(),
      Labels(),
      NameAndAccount('V', 2, kReportDefinitionsBase + 5, Rule::KnownAccountZeroBlank),
      Models(),
      VatCodes(),
  };
  for (const KindLayout& l : layouts)
    if (l.kind == kind) return &l;
  if (kind == '2') return &AccountLayout();
  if (kind == '3') return &SectionLayout();
  return nullptr;
}

std::vector<std::string> ReportDefinitions(const KindLayout& layout) {
  const std::string packed = LoadStr(layout.reportDefinitions);
  std::vector<std::string> out;
  for (std::size_t at = 0; at + 14 <= packed.size(); at += 14) out.push_back(packed.substr(at, 14));
  return out;
}

const FormItem* FindItem(const KindLayout& layout, int id) {
  for (const FormItem& i : layout.form)
    if (i.id == id) return &i;
  return nullptr;
}

const CodeField* FindCodeField(const KindLayout& layout, int edit) {
  for (const CodeField& f : layout.codeFields)
    if (f.edit == edit) return &f;
  return nullptr;
}

}  // namespace masterdata
