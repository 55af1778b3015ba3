#include "reports/ledgers/core/account_statement.h"

#include "data/entry_lines.h"
#include "data/record_fields.h"
#include "data/table.h"
#include "reports/ledgers/core/ledger_strings.h"
#include "resources/string_table.h"
#include "runtime/code_helpers.h"
#include "runtime/dossier_record.h"
#include "runtime/text.h"
#include "runtime/xbase.h"

namespace ledgers {

namespace {

// The preview's title, the empty report, the matching letter asked, a month's total (%s: the account, the
// account, the letter, the month).
constexpr int kPreviewTitle = 23400;     // "Visualisation: Compte: %s"
constexpr int kEmptyAccount = 23401;     // "Compte: %s"
constexpr int kOnlyLetter = 23402;       // "Seulement le Lettrage: %s"
constexpr int kMonthTotal = 23407;       // "Total pour le mois %s"

// The string ids of the 44 report variables, in index order.
constexpr int kDefinitionIds[AccountStatement::kFieldCount] = {
    2276,  842,  843, 1504, 1505, 1506, 1580, 1507, 1508, 1509, 3067, 3068, 1510, 1511, 1512,
    1513, 1514, 3110, 1515, 1516, 1517, 1473, 1474, 1518, 1519, 2699, 1520, 1521, 1522, 1523,
    1524, 3071, 3072, 1525, 1526, 1527, 1528, 3075, 3076, 1529, 1530, 1531, 3069, 3070};

bool Pair(Cents a, Cents b) { return a != 0 || b != 0; }

char YesNo(bool flag) { return flag ? 'O' : 'N'; }

// The letter of a collective start from what it shows: the prior cumulation, the collective
// line, the other lines.
char CollectiveLetter(bool prior, bool collective, bool other) {
  static const char kLetters[8] = {'X', 'D', 'E', 'F', 'G', 'H', 'I', 'J'};
  return kLetters[(prior ? 4 : 0) + (collective ? 2 : 0) + (other ? 1 : 0)];
}

}  // namespace

void AccountStatement::TakeLimits(const std::string& record) {
  options = AccountStatementOptions::FromRecord(record);
  euroFlag = options.inEuros ? 1 : 0;
}

std::string AccountStatement::PreviewTitle() const {
  return FillPlaceholder(LoadStr(kPreviewTitle), RTrim(fields.Value(COMPTE).c_str()));
}

bool AccountStatement::PrepareReport() {
  names_.Clear();
  source_.Forget();
  ForgetUnreadable();
  CollectiveMap collectives;
  collectives.Build(*tables_.c10);
  std::vector<std::string> definitions;
  for (int id : kDefinitionIds) definitions.emplace_back(LoadStr(id));
  DeclareFields(definitions);
  TakeLayoutCurrency();
  SetText(EURO, LoadStr(euroFlag != 0 ? kStrEuros : kStrFrancs));
  SetText(DATEDEBUT, ShownDate(options.dateFrom));
  SetText(DATEFIN, ShownDate(options.dateTo));
  SetText(TYPELISTE, std::string("S-T/Mois:") + YesNo(options.monthlySubtotals));
  AppendText(TYPELISTE, std::string(" Cum.Ant.:") + YesNo(options.priorCumulation));
  AppendText(TYPELISTE, std::string(" Lettr.:") + options.letteringFilter);
  SetText(UNLETTRAGE, options.letteringFilter == '3' && !BlankText(options.matchingLetter)
                          ? FillPlaceholder(LoadStr(kOnlyLetter), options.matchingLetter)
                          : std::string());
  const char f = options.letteringFilter;
  SetText(AE_LIBELLE, LoadStr(f == '2' || f == '4' ? kStrOtherLettered
                              : f == '3' || f == '5' ? kStrOtherUnlettered
                                                     : kStrProgramError));

  // The order and the key: a section, a collective's letter, or the account.
  const std::string account = options.account;
  SortOrder order = SortOrder::kAnal;
  if (options.analytic) {
    key_ = account;
  } else {
    const char letter = collectives.LetterOf(account);
    key_ = letter != 0 ? std::string(1, letter) : account;
    order = options.monthlySubtotals ? SortOrder::kStm : SortOrder::kCode;
  }
  analyticByAccount_ = options.analytic && ConstantIs(32, 'O');
  walk_ = MakeIndexWalk(*tables_.c60, order, &refused_);
  walk_->Seek(key_);

  // The letters of this account that matchings made with lines after the period also use.
  orphans_.present = !ConstantIs(44, 'N');
  orphans_.Reset(account);
  if (orphans_.present && !Collective() && !MatchingsLeftWhole(LettragesSauf(), account)) {
    for (bool on = !walk_->AtEnd(); on && OnKey(walk_->Line()); on = walk_->Next())
      if (walk_->Line().Date() > options.dateTo) orphans_.Add(walk_->Line().Letter(euroFlag));
    walk_->Seek(key_);
  }

  // Up to the first line to print: what lies before the period, the other lines, and for a
  // collective the whole period (its lines make one line).
  Cents priorD = 0, priorC = 0, lineD = 0, lineC = 0, otherD = 0, otherC = 0;
  int kind = Collective() ? 4 : 0;
  const bool others = f == '4' || f == '5';
  for (bool on = NextEntryLine(false); on; on = NextEntryLine(true)) {
    const SortLine& line = walk_->Line();
    if (!OnKey(line)) break;
    const std::string date = line.Date();
    if (date > options.dateTo) {
      // A collective's auxiliary account goes on with the next one.
      if (Collective()) continue;
      break;
    }
    const SourceLine* s = source_.Read(line);
    if (s == nullptr) continue;
    const Cents amount = s->Amount(euroFlag);
    if (date < options.dateFrom) {
      if (!options.priorCumulation) continue;
      if (!Collective()) kind = 1;
      (s->Debit() ? priorD : priorC) += amount;
    } else if (LineQualifies(line)) {
      if (!Collective()) {
        kind = 2;
        break;
      }
      (s->Debit() ? lineD : lineC) += amount;
    } else if (others) {
      if (!Collective()) kind = 3;
      (s->Debit() ? otherD : otherC) += amount;
    }
  }
  SetCents(CA_DEBIT, priorD);
  SetCents(CA_CREDIT, priorC);
  SetCents(AE_DEBIT, otherD);
  SetCents(AE_CREDIT, otherC);
  SetCents(DEBIT, lineD);
  SetCents(CREDIT, lineC);
  if (kind == 0) {
    SetText(COMPTE, account);
    ShowNothing(FillPlaceholder(LoadStr(kEmptyAccount), RTrim(account.c_str())));
    return false;
  }

  if (options.priorCumulation)
    SetText(CA_LIBELLE, FillPlaceholders(LoadStr(kStrPriorCumulation),
                                         {TheDossierRecord.DateDisplay(DossierRecord::DateField::YearStart),
                                          ShownDate(PrevDay(options.dateFrom.c_str()))}));
  Balance(CA_DEBIT, CA_CREDIT, CA_SOLDE, CA_SOLDEMT, CA_SOLDEDC);
  AddCents(TG_DEBIT, priorD);
  AddCents(TG_CREDIT, priorC);
  Balance(TG_DEBIT, TG_CREDIT, TG_SOLDE, TG_SOLDEMT, TG_SOLDEDC);
  SetText(COMPTE, options.analytic ? account : Normalized(account));

  // The account's name and its totals as its record holds them.
  Table* t = options.analytic ? tables_.c30 : tables_.c20;
  const int debitField = (options.analytic ? 9 : 17) + euroFlag, creditField = (options.analytic ? 11 : 19) + euroFlag;
  // A record not read shows no totals: the refusal is said at the report's end, never taken for an
  // account without totals.
  Lookup record = Lookup::NotFound();
  if (t != nullptr && t->isOpen) record = t->Find(options.analytic ? "C30CODE" : "C20CODE", account.c_str());
  if (record.IsFound()) record = t->LiveHere();
  if (t != nullptr && Kept(*t, record).IsFound()) {
    std::vector<std::string> values;
    ReadStoredFields(*t, {2}, values);
    SetText(NOMCOMPTE, values[0]);
    bool readable = true;
    SetCents(TC_DEBIT, StoredAmountOf(*t, debitField, &readable));
    SetCents(TC_CREDIT, StoredAmountOf(*t, creditField, &readable));
    if (!readable)
      NoteUnreadable({options.analytic ? UnreadableAmountLine::kSectionRecord : UnreadableAmountLine::kAccountRecord,
                      t->recordNumber, "", account});
  } else {
    SetText(NOMCOMPTE, "???");
  }
  Balance(TC_DEBIT, TC_CREDIT, TC_SOLDE, TC_SOLDEMT, TC_SOLDEDC);

  const bool prior = Pair(priorD, priorC);
  switch (kind) {
    case 1: lineType = "A"; break;
    case 2: lineType = prior ? "K" : "L"; break;
    case 3: lineType = prior ? "C" : "B"; break;
    default: lineType = std::string(1, CollectiveLetter(prior, Pair(lineD, lineC), Pair(otherD, otherC))); break;
  }
  groupConsumed_ = false;
  return true;
}

bool AccountStatement::NextEntryLine(bool step) {
  bool on = step ? walk_->Next() : !walk_->AtEnd();
  while (on) {
    const SortLine& line = walk_->Line();
    if (analyticByAccount_) {
      const std::string date = line.Date();
      if (date < options.dateFrom || date > options.dateTo) {
        on = walk_->Next();
        continue;
      }
    }
    const SourceLine* s = source_.Read(line);
    if (s != nullptr && (AnyLayout() || s->Amount(euroFlag) != 0)) return true;
    on = walk_->Next();
  }
  return false;
}

bool AccountStatement::LineQualifies(const SortLine& line) const {
  const std::string_view letter = line.Letter(euroFlag);
  const bool blank = BlankText(letter);
  switch (options.letteringFilter) {
    case '1': return true;
    case '2':
    case '4': return blank || orphans_.IsOrphan(line.Code(), letter);
    case '3': return !blank && (BlankText(options.matchingLetter) || letter == options.matchingLetter);
    case '5': return !blank;
    default: return false;
  }
}

bool AccountStatement::FindNextLine() {
  while (!walk_->AtEnd()) {
    const SortLine& line = walk_->Line();
    if (!OnKey(line) || line.Date() > options.dateTo) return false;
    if (LineQualifies(line)) return true;
    if (const SourceLine* s = source_.Read(line)) AddCents(s->Debit() ? AE_DEBIT : AE_CREDIT, s->Amount(euroFlag));
    if (!NextEntryLine(true)) return false;
  }
  return false;
}

bool AccountStatement::NextRecord() {
  if (!options.monthlySubtotals) {
    NextEntryLine(true);
  } else if (!groupConsumed_ && !lineType.empty() && (lineType[0] == 'K' || lineType[0] == 'L')) {
    // A layout that never computed the group still moves on.
    NextEntryLine(true);
  }
  groupConsumed_ = false;
  if (FindNextLine()) return true;
  const char f = options.letteringFilter;
  if ((f == '4' || f == '5') && Pair(GetCents(AE_DEBIT), GetCents(AE_CREDIT))) {
    Balance(AE_DEBIT, AE_CREDIT, AE_SOLDE, AE_SOLDEMT, AE_SOLDEDC);
    AddCents(TG_DEBIT, GetCents(AE_DEBIT));
    AddCents(TG_CREDIT, GetCents(AE_CREDIT));
    Balance(TG_DEBIT, TG_CREDIT, TG_SOLDE, TG_SOLDEMT, TG_SOLDEDC);
    lineType = "Z";
  } else {
    lineType = "Y";
  }
  SayUnreadable();
  return false;
}

void AccountStatement::ComputeLine() {
  const char letter = lineType.empty() ? ' ' : lineType[0];
  if (letter == 'K' || letter == 'L') {
    if (options.monthlySubtotals) {
      ComputeMonthGroup();
      return;
    }
    SetCents(DEBIT, 0);
    SetCents(CREDIT, 0);
    const SourceLine* s = walk_->AtEnd() ? nullptr : source_.Read(walk_->Line());
    if (s != nullptr) {
      FillLine(*s);
    } else {
      FillMissingSourceLine(walk_->Line());
    }
  } else if (letter == 'E' || letter == 'F' || letter == 'I' || letter == 'J') {
    // The collective line: the period's qualifying lines of every auxiliary account, summed by
    // PrepareReport.
    for (int field : {DATE, JOURNAL, PIECE, CODELIBELL, LIB23, ECHEANCE, SENSDC}) SetText(field, "");
    SetText(MONTANTF, "");
    SetText(MONTANTE, "");
    SetText(LIBELLE, LoadStr(kStrCollectiveLines));
    SetText(LETTRE, options.letteringFilter == '3' || options.letteringFilter == '5' ? "LETT" : "");
  }
  AddToTotals();
}

void AccountStatement::FillLine(const SourceLine& s) {
  SetText(DATE, ShownDate(s.Date()));
  SetText(JOURNAL, s.journal);
  SetText(PIECE, s.closed ? " " + s.piece + " " : "(" + s.piece + ")");
  SetText(CODELIBELL, names_.Label(s.labelCode));
  SetText(LIBELLE, s.label1);
  SetText(LIB23, Lib23(s.label2, s.label3));
  SetText(ECHEANCE, ShownDate(s.due));
  SetText(SENSDC, s.sense);
  SetCents(MONTANTF, s.francs);
  SetCents(MONTANTE, s.euros);
  SetCents(s.Debit() ? DEBIT : CREDIT, s.Amount(euroFlag));
  SetText(SEURO, !s.entered.empty() && s.entered[0] == 'O' ? "E" : "F");
  std::string letter = s.Letter(euroFlag);
  if (orphans_.IsOrphan(walk_->Line().Code(), letter)) letter = ConstantIs(44, 'M') ? std::string(Lower(letter.c_str())) : "";
  SetText(LETTRE, letter);
  SetText(COMPTEGENE, Normalized(s.generalAccount));
}

void AccountStatement::FillMissingSourceLine(const SortLine& line) {
  SetText(DATE, ShownDate(line.Date()));
  SetText(JOURNAL, std::string(line.Journal()));
  const std::string piece(line.Piece());
  SetText(PIECE, line.InDraft() ? "(" + piece + ")" : " " + piece + " ");
  SetText(CODELIBELL, "???");
  const std::string missing = FillPlaceholder(LoadStr(kStrLineMissing), line.TrecText());
  SetText(LIBELLE, missing);
  SetText(LIB23, missing);
  for (int field : {ECHEANCE, SENSDC, MONTANTF, MONTANTE, DEBIT, CREDIT}) SetText(field, "???");
  SetText(LETTRE, std::string(line.Letter(euroFlag)));
  SetText(COMPTEGENE, std::string(line.GeneralAccount()));
}

void AccountStatement::ComputeMonthGroup() {
  groupConsumed_ = true;
  SetCents(DEBIT, 0);
  SetCents(CREDIT, 0);
  if (walk_->AtEnd()) return;
  const std::string journal(walk_->Line().Journal()), month(walk_->Line().Month());
  Cents debit = 0, credit = 0;
  while (!walk_->AtEnd()) {
    const SortLine& line = walk_->Line();
    if (!OnKey(line) || line.Journal() != journal || line.Month() != month) break;
    if (const SourceLine* s = source_.Read(line)) {
      SetText(SENSDC, s->sense);
      SetCents(MONTANTF, s->francs);
      SetCents(MONTANTE, s->euros);
      (s->Debit() ? debit : credit) += s->Amount(euroFlag);
    }
    const std::string shown = ShownDate(month + "01");
    SetText(CODELIBELL, "");
    SetText(PIECE, "");
    SetText(DATE, "--" + shown.substr(2));
    SetText(JOURNAL, journal);
    SetText(LIBELLE, FillPlaceholder(LoadStr(kMonthTotal), shown.substr(2)));
    SetText(LIB23, "");
    SetText(ECHEANCE, "");
    SetText(LETTRE, "");
    // A line past the period ends the group as it ends the statement.
    if (!NextEntryLine(true) || !FindNextLine()) break;
  }
  SetCents(DEBIT, debit);
  SetCents(CREDIT, credit);
  AddToTotals();
}

}  // namespace ledgers
