#include "reports/ledgers/core/general_ledgers.h"

#include "data/table.h"
#include "reports/ledgers/core/ledger_strings.h"
#include "resources/string_table.h"
#include "runtime/code_helpers.h"
#include "runtime/dossier_record.h"
#include "runtime/text.h"
#include "runtime/xbase.h"

namespace ledgers {

namespace {

// The 50 report variables; COMPTE and NOMCOMPTE are wider in the analytic ledger.
std::vector<std::string> Definitions(bool analytic) {
  return {"EURO      C060", "TITRELISTEC300", "COMPTEDEBUC080", "COMPTEFIN C080", "DATEDEBUT C080", "DATEFIN   C080",
          "TYPELISTE C300", analytic ? "COMPTE    C170" : "COMPTE    C080",
          analytic ? "NOMCOMPTE C610" : "NOMCOMPTE C360", "DATE      C080", "JOURNAL   C030", "PIECE     C080",
          "CLIB      C010", "CODELIBELLC070", "LIBELLE   C250", "LIB23     C740", "ECHEANCE  C080", "LETTRE    C040",
          "SENSDC    C010", "MONTANTF  M142", "MONTANTE  M142", "VENTILATIOC020", "DEBIT     M142", "CREDIT    M142",
          "SEURO     C010", "COMPTEGENEC080", "NOMCOMPTEGC300", "CA_LIBELLEC330", "CA_DEBIT  M142", "CA_CREDIT M142",
          "CA_SOLDE  C170", "CA_SOLDEMTM142", "CA_SOLDEDCC020", "SC_LIBELLEC330", "SC_DEBIT  M142", "SC_CREDIT M142",
          "SC_SOLDE  C170", "SC_SOLDEMTM142", "SC_SOLDEDCC020", "AE_LIBELLEC330", "AE_DEBIT  M142", "AE_CREDIT M142",
          "AE_SOLDE  C170", "AE_SOLDEMTM142", "AE_SOLDEDCC020", "TG_DEBIT  M142", "TG_CREDIT M142", "TG_SOLDE  C170",
          "TG_SOLDEMTM142", "TG_SOLDEDCC020"};
}

bool Pair(Cents a, Cents b) { return a != 0 || b != 0; }

// The preview's title, the empty report (%s: the list's title), the name of an account carried on from a page
// to the next (%s: the name).
constexpr int kPreviewTitle = 32812;   // "Visualisation: Grand Livre: %s"
constexpr int kEmptyLedger = 23414;    // "Grand Livre: %s"
constexpr int kCarriedOn = 23415;      // "Suite %s"

// The sort file holds this many lines or more: a run over all its accounts reads it whole.
constexpr std::uint32_t kSnapshotLines = 100000;

}  // namespace

void GeneralLedgers::TakeLimits(const std::string& record) {
  options = GeneralLedgerOptions::FromRecord(record);
  euroFlag = options.inEuros ? 1 : 0;
  BuildLedgerSelection();
  snapshot_.reset();
}

void GeneralLedgers::BuildLedgerSelection() {
  switch (options.kind) {
    case 'T': {
      ledgerSelection = "12" + CollectiveLetters(*tables_.c10);
      const char mode = TheDossierRecord.AnalyticMode();
      if (mode == '1' || mode == '2') ledgerSelection += '9';
      break;
    }
    case 'C': ledgerSelection = "C"; break;
    case 'F': ledgerSelection = "F"; break;
    case 'G': ledgerSelection = "1"; break;
    case 'R': ledgerSelection = "2"; break;
    case 'A': ledgerSelection = RTrim(options.collectives.c_str()); break;
    case '(': ledgerSelection = "9"; break;
    default: ledgerSelection.clear(); break;
  }
  severalLedgers = ledgerSelection.size() > 1;
}

void GeneralLedgers::ChooseReportCode(const std::string& code) {
  generalReportCode = PadRight(code, 18);
  analyticReportCode = AnalyticReportCode(generalReportCode);
}

bool GeneralLedgers::PrepareNextLedger() {
  while (!ledgerSelection.empty()) {
    if (PrepareReport()) {
      reportCode = Analytic() ? analyticReportCode : generalReportCode;
      return true;
    }
    ledgerSelection.erase(0, 1);
    // The bounds typed in the form apply to the first ledger only.
    options.accountFrom = std::string(8, ' ');
    options.accountTo = std::string(8, ' ');
  }
  return false;
}

bool GeneralLedgers::NextLedger() {
  if (ledgerSelection.empty()) return false;
  ledgerSelection.erase(0, 1);
  options.accountFrom = std::string(8, ' ');
  options.accountTo = std::string(8, ' ');
  return PrepareNextLedger();
}

std::string GeneralLedgers::PreviewTitle() const {
  return FillPlaceholder(LoadStr(kPreviewTitle), RTrim(fields.Value(TITRELISTE).c_str()));
}

void GeneralLedgers::SetLetter(char letter) {
  if (lineType.size() < 17) lineType.resize(17, ' ');
  lineType[0] = letter;
}

// ------------------------------------------------------------------ preparation

bool GeneralLedgers::PrepareReport() {
  fields.SetFieldSource(this);
  names_.Clear();
  source_.Forget();
  ForgetUnreadable();
  const bool analytic = Analytic();
  // COMPTE and NOMCOMPTE change width with the ledger: the variables are declared again.
  if (fields.Declared() && analytic == analyticDeclared_) {
    fields.ClearFieldValues();
  } else {
    const std::vector<std::string> definitions = Definitions(analytic);
    fields.SetFieldCount(kFieldCount);
    fields.InitFieldTable();
    for (int i = 0; i < kFieldCount; ++i) fields.DeclareField(i, definitions[static_cast<std::size_t>(i)].c_str());
    analyticDeclared_ = analytic;
  }
  // The grand total's balance is shown from the start; every change of a total's debit or credit
  // computes its balance again, so a zero amount changes nothing.
  Balance(TG_DEBIT, TG_CREDIT, TG_SOLDE, TG_SOLDEMT, TG_SOLDEDC);
  otherLinesShownZero_ = false;
  TakeLayoutCurrency();
  SetText(EURO, LoadStr(euroFlag != 0 ? kStrEuros : kStrFrancs));
  const char ledger = CurrentLedger();
  if (ledger == '1') {
    SetText(TITRELISTE, "GENERAL");
  } else if (ledger == '2') {
    SetText(TITRELISTE, "RESULTAT");
  } else if (ledger == '9') {
    SetText(TITRELISTE, "ANALYTIQUE");
  } else {
    Table& c10 = *tables_.c10;
    const char key[3] = {'B', ledger, 0};
    // The collective's title; one not read is said at the report's end.
    const bool found = c10.isOpen && Kept(c10, c10.Find("C10CODE", key)).IsFound();
    SetText(TITRELISTE, found ? std::string(c10.GetField(3)) : "\"" + std::string(1, ledger) + "\"");
  }
  SetText(DATEDEBUT, ShownDate(options.dateFrom));
  SetText(DATEFIN, ShownDate(options.dateTo));
  SetText(TYPELISTE, std::string("Cum.Ant.:") + (options.priorCumulation ? 'O' : 'N') + " Lettr.:" +
                         options.letteringFilter);
  const char f = options.letteringFilter;
  SetText(AE_LIBELLE, LoadStr(f == '2' || f == '4' ? kStrOtherLettered
                              : f == '3' || f == '5' ? kStrOtherUnlettered
                                                     : kStrProgramError));
  collectives_.Build(*tables_.c10);
  orphans_.present = !ConstantIs(44, 'N');
  orphans_.Reset("");
  lettragesSauf_ = LettragesSauf();
  analyticByAccount_ = analytic && ConstantIs(32, 'O');

  if (analytic) {
    walk_ = MakeIndexWalk(*tables_.c60, SortOrder::kAnal, &refused_);
  } else {
    const bool wholeRange = BlankText(options.accountFrom) && BlankText(options.accountTo);
    const bool snapshot = walk == Walk::kSnapshot ||
                          (walk == Walk::kAutomatic && wholeRange && tables_.c60->RecCount() >= kSnapshotLines);
    if (snapshot || snapshot_) {
      if (!snapshot_) {
        snapshot_ = std::make_shared<SortSnapshot>();
        snapshot_->Build(*tables_.c60, SortOrder::kCode);
      }
      walk_ = MakeSnapshotWalk(snapshot_);
    } else {
      walk_ = MakeIndexWalk(*tables_.c60, SortOrder::kCode, &refused_);
    }
  }
  LoadCodes();

  if (!FindFirstAccount()) {
    if (!severalLedgers) ShowNothing(FillPlaceholder(LoadStr(kEmptyLedger), RTrim(fields.Value(TITRELISTE).c_str())));
    return false;
  }
  if (options.priorCumulation)
    SetText(CA_LIBELLE, FillPlaceholders(LoadStr(kStrPriorCumulation),
                                         {TheDossierRecord.DateDisplay(DossierRecord::DateField::YearStart),
                                          ShownDate(PrevDay(options.dateFrom.c_str()))}));
  char letter = 'L';
  const bool prior = Pair(priorD_, priorC_);
  switch (accountState_) {
    case 1: letter = 'A'; break;
    case 2: letter = prior ? 'K' : 'L'; break;
    case 3: letter = prior ? 'C' : 'B'; break;
    default: letter = BlockLetter(); break;
  }
  lineType = std::string(1, letter) + PadRight(codes_[codePos_], 8) + PadRight(codes_[codePos_], 8);
  blockOpened_ = false;
  OpenBlock();
  lineCount = 0;
  return true;
}

void GeneralLedgers::LoadCodes() {
  codes_.clear();
  codePos_ = 0;
  Table* t = Analytic() ? tables_.c30 : tables_.c20;
  if (t == nullptr || !t->isOpen) return;
  t->GoTop(Analytic() ? "C30CODE" : "C20CODE");
  for (bool more = t->SkipActive(false); more; more = t->SkipActive(true)) codes_.emplace_back(PadRight(t->GetField(1), 8));
}

bool GeneralLedgers::WithinUpper(const std::string& code) const {
  if (code <= options.accountTo) return true;
  // A prefix typed as the last account takes in the accounts it begins ("Jusqu'à '41'").
  const std::string prefix = RTrim(options.accountTo.c_str());
  return !prefix.empty() && code.compare(0, prefix.size(), prefix) == 0;
}

bool GeneralLedgers::FindFirstAccount() {
  const char ledger = CurrentLedger();
  std::string lower, upper;
  switch (ledger) {
    case '1': lower = "0"; upper = "9ZZZZZZZ"; break;
    case '2': lower = "6"; upper = "9ZZZZZZZ"; break;
    case '9': lower = std::string(8, ' '); upper = "ZZZZZZZZ"; break;
    default: lower = std::string(1, ledger); upper = std::string(1, ledger) + "ZZZZZZZ"; break;
  }
  if (!BlankText(options.accountFrom)) lower = options.accountFrom;
  if (!BlankText(options.accountTo)) upper = options.accountTo;
  options.accountFrom = PadRight(lower, 8);
  options.accountTo = PadRight(upper, 8);
  SetText(COMPTEDEBU, Normalized(options.accountFrom));
  SetText(COMPTEFIN, Normalized(options.accountTo));
  const std::string from = options.accountFrom;
  for (codePos_ = 0; codePos_ < codes_.size() && codes_[codePos_] < from; ++codePos_) {
  }
  for (; codePos_ < codes_.size(); ++codePos_) {
    if (!WithinUpper(codes_[codePos_])) return false;
    options.accountFrom = codes_[codePos_];
    // Each section is read from its first block.
    if (Analytic()) options.sectionGeneralAccount = std::string(8, ' ');
    if (Analytic() ? ReadSectionEntries() : ReadAccountEntries()) return true;
  }
  return false;
}

// ------------------------------------------------------------------ reading an account

void GeneralLedgers::ZeroSums() {
  priorD_ = priorC_ = collD_ = collC_ = collDF_ = collCF_ = collDE_ = collCE_ = otherD_ = otherC_ = 0;
}

bool GeneralLedgers::StepToLineInPeriod(bool step) {
  bool on = step ? walk_->Next() : !walk_->AtEnd();
  while (on) {
    const SortLine& line = walk_->Line();
    const std::string_view date = line.DateView();
    if (date > options.dateTo || (analyticByAccount_ && date < options.dateFrom)) {
      on = walk_->Next();
      continue;
    }
    // The line a few steps on is asked for now: the lines of an account stand anywhere in the file.
    if (const SortLine* ahead = walk_->Ahead(4)) source_.Prefetch(*ahead);
    const SourceLine* s = source_.Read(line);
    if (s != nullptr && (AnyLayout() || s->Amount(euroFlag) != 0)) return true;
    on = walk_->Next();
  }
  return false;
}

bool GeneralLedgers::PassesLetteringFilter(const SortLine& line) const {
  const std::string_view letter = line.Letter(euroFlag);
  const bool orphan = orphans_.IsOrphan(line.Code(), letter);
  switch (options.letteringFilter) {
    case '1': return true;
    case '2':
    case '4': return orphan || BlankText(letter);
    case '3':
    case '5': return !orphan && !BlankText(letter);
    default: return false;
  }
}

bool GeneralLedgers::ReadAccountEntries() {
  ZeroSums();
  const std::string account = options.accountFrom;
  const char letter = collectives_.LetterOf(account);
  const std::string key = letter != 0 ? std::string(1, letter) : account;
  accountState_ = 0;
  if (!walk_->Seek(key)) return false;
  orphans_.Reset(key);
  // A collective's letters are never compared with its auxiliary accounts' lines: none to gather.
  if (orphans_.present && letter == 0 && !MatchingsLeftWhole(lettragesSauf_, walk_->Line().Code())) {
    for (bool on = true; on && walk_->Line().Code() == account; on = walk_->Next()) {
      const SortLine& line = walk_->Line();
      const std::string_view date = line.DateView();
      if (date > options.dateTo || (date < options.dateFrom && !options.priorCumulation))
        orphans_.Add(line.Letter(euroFlag));
    }
    if (!walk_->Seek(key)) return false;
  }
  currentAccount_ = account;
  StepToLineInPeriod(false);
  const char f = options.letteringFilter;
  const bool others = f == '4' || f == '5';

  if (letter == 0) {
    while (!walk_->AtEnd()) {
      const SortLine& line = walk_->Line();
      if (line.Code() != account) break;
      const std::string_view date = line.DateView();
      if (date > options.dateTo) break;
      if (date < options.dateFrom) {
        if (!options.priorCumulation) {
          StepToLineInPeriod(true);
          continue;
        }
        while (!walk_->AtEnd() && walk_->Line().Code() == account && walk_->Line().DateView() < options.dateFrom) {
          if (const SourceLine* s = source_.Read(walk_->Line())) (s->Debit() ? priorD_ : priorC_) += s->Amount(euroFlag);
          StepToLineInPeriod(true);
        }
        accountState_ = 1;
        continue;
      }
      if (PassesLetteringFilter(line)) {
        accountState_ = 2;
        return true;
      }
      if (others) {
        if (const SourceLine* s = source_.Read(line)) (s->Debit() ? otherD_ : otherC_) += s->Amount(euroFlag);
        accountState_ = 3;
      }
      StepToLineInPeriod(true);
    }
    return accountState_ != 0;
  }

  // A collective's general account: one summary of every auxiliary account of its letter.
  bool summed = false;
  while (!walk_->AtEnd() && walk_->Line().Code().substr(0, 1) == key) {
    const SortLine& line = walk_->Line();
    const std::string_view date = line.DateView();
    const SourceLine* s = source_.Read(line);
    if (s != nullptr && date <= options.dateTo) {
      const Cents amount = s->Amount(euroFlag);
      if (date < options.dateFrom) {
        if (options.priorCumulation) {
          (s->Debit() ? priorD_ : priorC_) += amount;
          summed = true;
        }
      } else if (PassesLetteringFilter(line)) {
        (s->Debit() ? collD_ : collC_) += amount;
        (s->Debit() ? collDF_ : collCF_) += s->francs;
        (s->Debit() ? collDE_ : collCE_) += s->euros;
        summed = true;
      } else if (others) {
        (s->Debit() ? otherD_ : otherC_) += amount;
        summed = true;
      }
    }
    StepToLineInPeriod(true);
  }
  accountState_ = summed ? 4 : 0;
  return summed;
}

bool GeneralLedgers::ReadSectionEntries() {
  accountState_ = 0;
  ZeroSums();
  const std::string section = options.accountFrom;
  if (!walk_->Seek(section)) return false;
  currentAccount_ = section;
  StepToLineInPeriod(false);
  const bool byAccount = ConstantIs(32, 'O');
  if (!BlankGeneralAccount())
    while (!walk_->AtEnd() && walk_->Line().Code() == section &&
           walk_->Line().GeneralAccount() != options.sectionGeneralAccount)
      StepToLineInPeriod(true);
  while (!walk_->AtEnd()) {
    const SortLine& line = walk_->Line();
    if (line.Code() != section) break;
    if (!BlankGeneralAccount() && line.GeneralAccount() != options.sectionGeneralAccount) break;
    const std::string_view date = line.DateView();
    if (date > options.dateTo) break;
    if (byAccount && BlankGeneralAccount()) options.sectionGeneralAccount = std::string(line.GeneralAccount());
    if (date >= options.dateFrom) {
      accountState_ = 2;
      return true;
    }
    if (!options.priorCumulation) {
      StepToLineInPeriod(true);
      continue;
    }
    const std::string block = options.sectionGeneralAccount;
    while (!walk_->AtEnd() && walk_->Line().Code() == section && walk_->Line().DateView() < options.dateFrom &&
           (!byAccount || walk_->Line().GeneralAccount() == block)) {
      if (const SourceLine* s = source_.Read(walk_->Line())) (s->Debit() ? priorD_ : priorC_) += s->Amount(euroFlag);
      StepToLineInPeriod(true);
    }
    accountState_ = 1;
  }
  return accountState_ != 0;
}

// ------------------------------------------------------------------ the walk

char GeneralLedgers::BlockLetter() const {
  const bool prior = Pair(priorD_, priorC_);
  switch (accountState_) {
    case 1: return 'W';
    case 2: return prior ? 'K' : 'L';
    case 3: return prior ? 'X' : 'V';
    case 4: {
      static const char kLetters[8] = {'X', 'D', 'E', 'F', 'G', 'H', 'I', 'J'};
      return kLetters[(prior ? 4 : 0) + (Pair(collD_, collC_) ? 2 : 0) + (Pair(otherD_, otherC_) ? 1 : 0)];
    }
    default: return Letter();
  }
}

bool GeneralLedgers::NextRecord() {
  // The name takes the carried-on mark once: the mark is the text before the name ("Suite ").
  const std::string& name = fields.Value(NOMCOMPTE);
  static const std::string mark = FillPlaceholder(LoadStr(kCarriedOn), "");
  if (name.compare(0, mark.size(), mark) != 0) SetText(NOMCOMPTE, FillPlaceholder(LoadStr(kCarriedOn), name));
  blockOpened_ = false;
  const char f = options.letteringFilter;

  // The account's next line.
  if (accountState_ == 2) {
    bool others = false;
    StepToLineInPeriod(true);
    while (!walk_->AtEnd()) {
      const SortLine& line = walk_->Line();
      if (line.Code() != options.accountFrom) break;
      if (!BlankGeneralAccount() && line.GeneralAccount() != options.sectionGeneralAccount) break;
      if (line.DateView() > options.dateTo) break;
      if (Analytic() || PassesLetteringFilter(line)) {
        SetLetter('M');
        return true;
      }
      if (f == '4' || f == '5') {
        if (const SourceLine* s = source_.Read(line)) (s->Debit() ? otherD_ : otherC_) += s->Amount(euroFlag);
        others = true;
      }
      StepToLineInPeriod(true);
    }
    if (others) {
      SetLetter('V');
      accountState_ = 3;
      return true;
    }
  }

  // The next account, or the next block of the analytic ledger.
  if (Analytic()) {
    const SortLine& line = walk_->Line();
    if (analyticByAccount_ && !walk_->AtEnd() && line.Code() == options.accountFrom && !BlankGeneralAccount() &&
        line.GeneralAccount() != options.sectionGeneralAccount) {
      // Another general account of the same section: a new block.
      options.sectionGeneralAccount = std::string(line.GeneralAccount());
    } else {
      options.sectionGeneralAccount = std::string(8, ' ');
      ++codePos_;
    }
  } else {
    ++codePos_;
  }
  bool found = false;
  while (codePos_ < codes_.size() && WithinUpper(codes_[codePos_])) {
    options.accountFrom = codes_[codePos_];
    if (Analytic() ? ReadSectionEntries() : ReadAccountEntries()) {
      found = true;
      break;
    }
    ++codePos_;
    // Each further section is read from its first block.
    options.sectionGeneralAccount = std::string(8, ' ');
  }
  if (!found) {
    SetLetter(Pair(otherD_, otherC_) ? 'Z' : 'Y');
    // The ledger's end: the lines it counted as zero for an amount that does not read, named.
    SayUnreadable();
    return false;
  }
  SetLetter(BlockLetter());
  return true;
}

void GeneralLedgers::ClassifyLine() {
  if (lineType.size() < 17) lineType.resize(17, ' ');
  lineType.replace(9, 8, lineType.substr(1, 8));
  lineType.replace(1, 8, codePos_ < codes_.size() ? PadRight(codes_[codePos_], 8) : std::string(8, ' '));
}

// ------------------------------------------------------------------ line values

void GeneralLedgers::AddInto(int group, Cents debit, Cents credit) {
  // group: the first field of CA, SC, AE or TG (its DEBIT; CREDIT, SOLDE, SOLDEMT, SOLDEDC follow).
  if (debit == 0 && credit == 0) return;
  AddCents(group, debit);
  AddCents(group + 1, credit);
  Balance(group, group + 1, group + 2, group + 3, group + 4);
}

void GeneralLedgers::OpenBlock() {
  if (blockOpened_) return;
  blockOpened_ = true;
  SetText(COMPTE, currentAccount_);
  if (Analytic()) {
    const bool byAccount = ConstantIs(32, 'O');
    if (byAccount) AppendText(COMPTE, "\\" + options.sectionGeneralAccount);
    SetText(NOMCOMPTE, names_.Section(currentAccount_));
    if (byAccount) AppendText(NOMCOMPTE, "\\" + names_.Account(options.sectionGeneralAccount));
  } else {
    SetText(COMPTE, Normalized(currentAccount_));
    SetText(NOMCOMPTE, names_.Account(currentAccount_));
  }
  SetCents(SC_DEBIT, 0);
  SetCents(SC_CREDIT, 0);
  Balance(SC_DEBIT, SC_CREDIT, SC_SOLDE, SC_SOLDEMT, SC_SOLDEDC);
  const char letter = Letter();
  if (std::string("ACKWX").find(letter) != std::string::npos || (letter >= 'D' && letter <= 'J')) {
    SetCents(CA_DEBIT, priorD_);
    SetCents(CA_CREDIT, priorC_);
    Balance(CA_DEBIT, CA_CREDIT, CA_SOLDE, CA_SOLDEMT, CA_SOLDEDC);
    AddInto(SC_DEBIT, priorD_, priorC_);
    AddInto(TG_DEBIT, priorD_, priorC_);
    priorD_ = priorC_ = 0;
  } else {
    // A block without a prior cumulation: none shown, not the account's before it (a layout
    // writing every variable on every record, as an export does, would repeat that one).
    SetCents(CA_DEBIT, 0);
    SetCents(CA_CREDIT, 0);
    Balance(CA_DEBIT, CA_CREDIT, CA_SOLDE, CA_SOLDEMT, CA_SOLDEDC);
  }
  if (std::string("ABCDGHVWX").find(letter) != std::string::npos) {
    // A block that opens without a line of its own (a cumulation, other lines, a collective
    // without its summary line): the values of the line read last belong to another record.
    for (int field : {DATE, JOURNAL, PIECE, CLIB, CODELIBELL, LIBELLE, LIB23, ECHEANCE, LETTRE, SENSDC, MONTANTF,
                      MONTANTE, VENTILATIO, DEBIT, CREDIT, SEURO, COMPTEGENE, NOMCOMPTEG})
      SetText(field, "");
  }
  if (letter == 'E' || letter == 'F' || letter == 'I' || letter == 'J') {
    for (int field : {DATE, JOURNAL, PIECE, CLIB, CODELIBELL, LIB23, ECHEANCE, SENSDC, VENTILATIO, SEURO})
      SetText(field, "");
    SetText(LIBELLE, LoadStr(kStrCollectiveLines));
    Cents francs = collDF_ - collCF_, euros = collDE_ - collCE_;
    if (francs < 0 || euros < 0) {
      SetText(SENSDC, "C");
    } else if (francs != 0 || euros != 0) {
      SetText(SENSDC, "D");
    }
    SetCents(MONTANTF, francs < 0 ? -francs : francs);
    SetCents(MONTANTE, euros < 0 ? -euros : euros);
    SetText(LETTRE, options.letteringFilter == '3' || options.letteringFilter == '5' ? "LETT" : "");
    SetCents(DEBIT, collD_);
    SetCents(CREDIT, collC_);
    AddInto(SC_DEBIT, collD_, collC_);
    AddInto(TG_DEBIT, collD_, collC_);
  }
}

void GeneralLedgers::InitReport() { OpenBlock(); }

void GeneralLedgers::ComputeLine() {
  const char letter = Letter();
  switch (accountState_) {
    case 1:
    case 3: OtherLinesStep(); break;
    case 4:
      if (letter == 'D' || letter == 'F' || letter == 'H' || letter == 'J') OtherLinesStep();
      break;
    case 2:
      OtherLinesStep();
      NormalLine();
      break;
    default: break;
  }
  ++lineCount;
}

void GeneralLedgers::OtherLinesStep() {
  // Most lines have no other lines before them: the zero total already shown stays.
  const bool zero = otherD_ == 0 && otherC_ == 0;
  if (zero && otherLinesShownZero_) return;
  otherLinesShownZero_ = zero;
  SetCents(AE_DEBIT, otherD_);
  SetCents(AE_CREDIT, otherC_);
  Balance(AE_DEBIT, AE_CREDIT, AE_SOLDE, AE_SOLDEMT, AE_SOLDEDC);
  AddInto(SC_DEBIT, otherD_, otherC_);
  AddInto(TG_DEBIT, otherD_, otherC_);
  otherD_ = otherC_ = 0;
}

// The texts of a line that a template may not show are made when it reads them (FillField),
// from the line kept as it was read.
constexpr int kLineTexts[] = {GeneralLedgers::CLIB,    GeneralLedgers::CODELIBELL, GeneralLedgers::DATE,
                              GeneralLedgers::JOURNAL, GeneralLedgers::PIECE,      GeneralLedgers::LIBELLE,
                              GeneralLedgers::LIB23,   GeneralLedgers::ECHEANCE,   GeneralLedgers::SENSDC,
                              GeneralLedgers::VENTILATIO, GeneralLedgers::SEURO,   GeneralLedgers::LETTRE};

void GeneralLedgers::NormalLine() {
  const SortLine& line = walk_->Line();
  const SourceLine* s = walk_->AtEnd() ? nullptr : source_.Read(line);
  if (s == nullptr) {
    FillUnreadableLine(line);
  } else {
    SetCents(MONTANTF, s->francs);
    SetCents(MONTANTE, s->euros);
    const Cents amount = s->Amount(euroFlag);
    if (s->Debit()) {
      SetCents(DEBIT, amount);
      SetText(CREDIT, "");
      AddCents(SC_DEBIT, amount);
      AddCents(TG_DEBIT, amount);
    } else {
      SetCents(CREDIT, amount);
      SetText(DEBIT, "");
      AddCents(SC_CREDIT, amount);
      AddCents(TG_CREDIT, amount);
    }
    const bool orphan = orphans_.IsOrphan(line.Code(), s->Letter(euroFlag));
    if (valuesWhenRead) {
      // What the texts depend on besides the line, as it stands now.
      shownOrphan_ = orphan;
      shownMarge_ = margeLib23;
      source_.Keep();
      for (int field : kLineTexts) fields.MarkFieldPending(field);
    } else {
      for (int field : kLineTexts) LineText(field, *s, orphan, margeLib23);
    }
  }
  if (Analytic()) {
    const std::string general(line.GeneralAccount());
    SetText(COMPTEGENE, Normalized(general));
    SetText(NOMCOMPTEG, names_.Account(general, "???" + std::string(27, ' ')));
  }
  // The balances of the account and of the whole ledger are made when read as well: every
  // change of their debit or credit is followed by their balance or by this mark again.
  if (valuesWhenRead) {
    for (int field : {SC_SOLDE, SC_SOLDEMT, SC_SOLDEDC, TG_SOLDE, TG_SOLDEMT, TG_SOLDEDC}) fields.MarkFieldPending(field);
  } else {
    FillField(SC_SOLDE);
    FillField(TG_SOLDE);
  }
}

void GeneralLedgers::FillField(int field) {
  switch (field) {
    case SC_SOLDE:
    case SC_SOLDEMT:
    case SC_SOLDEDC: Balance(SC_DEBIT, SC_CREDIT, SC_SOLDE, SC_SOLDEMT, SC_SOLDEDC); return;
    case TG_SOLDE:
    case TG_SOLDEMT:
    case TG_SOLDEDC: Balance(TG_DEBIT, TG_CREDIT, TG_SOLDE, TG_SOLDEMT, TG_SOLDEDC); return;
    default: LineText(field, source_.Kept(), shownOrphan_, shownMarge_); return;
  }
}

void GeneralLedgers::LineText(int field, const SourceLine& s, bool orphan, int margin) {
  switch (field) {
    case CLIB: SetText(CLIB, s.labelCode); break;
    case CODELIBELL: SetText(CODELIBELL, names_.Label(s.labelCode)); break;
    case DATE: SetText(DATE, ShownDate(s.Date())); break;
    case JOURNAL: SetText(JOURNAL, s.journal); break;
    case PIECE: SetText(PIECE, s.closed ? " " + s.piece + " " : "(" + s.piece + ")"); break;
    case LIBELLE: SetText(LIBELLE, s.label1); break;
    case LIB23: SetText(LIB23, Lib23(s.label2, s.label3, margin)); break;
    case ECHEANCE: SetText(ECHEANCE, ShownDate(s.due)); break;
    case SENSDC: SetText(SENSDC, s.sense); break;
    case VENTILATIO: SetText(VENTILATIO, s.distribution); break;
    case SEURO: SetText(SEURO, !s.entered.empty() && s.entered[0] == 'O' ? "E" : "F"); break;
    case LETTRE: {
      std::string letter = s.Letter(euroFlag);
      if (orphan) letter = ConstantIs(44, 'M') ? std::string(Lower(letter.c_str())) : std::string();
      SetText(LETTRE, letter);
      break;
    }
    default: break;
  }
}

void GeneralLedgers::FillUnreadableLine(const SortLine& line) {
  for (int field : {CLIB, CODELIBELL, ECHEANCE, VENTILATIO, SENSDC, MONTANTF, MONTANTE, DEBIT, CREDIT, SEURO,
                    COMPTEGENE})
    SetText(field, "???");
  SetText(DATE, ShownDate(line.Date()));
  SetText(JOURNAL, std::string(line.Journal()));
  const std::string piece(line.Piece());
  SetText(PIECE, line.InDraft() ? "(" + piece + ")" : " " + piece + " ");
  SetText(LIBELLE, FillPlaceholder(LoadStr(kStrLineMissing), line.TrecText()));
  SetText(LIB23, "");
  SetText(LETTRE, std::string(line.Letter(euroFlag)));
}

}  // namespace ledgers
