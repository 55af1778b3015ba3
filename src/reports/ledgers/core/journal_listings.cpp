#include "reports/ledgers/core/journal_listings.h"

#include <algorithm>

#include "data/collation.h"
#include "data/table.h"
#include "reports/ledgers/core/ledger_strings.h"
#include "resources/string_table.h"
#include "runtime/code_helpers.h"
#include "runtime/dates.h"
#include "runtime/numbers.h"
#include "runtime/text.h"

namespace ledgers {

namespace {

// A sort record without its line (%s: the record); the blank in front is the cell's own.
constexpr int kLineMissing = 23416;  // " Erreur C60: ???%s"

// SOLDEDEBIT and SOLDECREDI, a summary line's balance on its side, are money of 17 characters:
// they print with their cents and their thousands' blanks, where the journal's total balances
// print under them.
const std::vector<std::string>& Definitions() {
  static const std::vector<std::string> d{
      "EURO      C060", "TYPELISTE C300", "MOIS      C020", "ANNEE     C020", "JOURNAL   C030", "NOMJOURNALC300",
      "VENTILATIOC020", "COMPTE    C080", "NOMCOMPTE C300", "DATE      C080", "PIECE     C080", "CLIB      C010",
      "CODELIBELLC070", "LIBELLE   C250", "LIB23     C740", "ECHEANCE  C080", "CODEREGLEMC010", "LETTRE    C040",
      "SENSDC    C010", "MONTANT   M142", "MONTANTF  M142", "MONTANTE  M142", "DEBIT     M142", "CREDIT    M142",
      "SEURO     C010", "CG_DBCR   C030", "CG_MONTANTM142", "CA_DBCR   C030", "CA_MONTANTM142", "          N142",
      "          N142", "TP_CG_DBCRC030", "TP_CG_MONTM142", "TP_CA_DBCRC030", "TP_CA_MONTM142", "TP_DEBIT  M142",
      "TP_CREDIT M142", "TP_SOLDE  C170", "TG_DEBIT  M142", "TG_CREDIT M142", "TG_SOLDE  C170", "SOLDEDEBITM172",
      "SOLDECREDIM172", "TG_SOLDEDEM142", "TG_SOLDECRM142", "          N142", "          N142", "TG_CG_DBCRC030",
      "TG_CG_MONTM142", "TG_CA_DBCRC030", "TG_CA_MONTM142", "TP_SOLDEMTM142", "TP_SOLDEDCC020", "TG_SOLDEMTM142",
      "TG_SOLDEDCC020"};
  return d;
}

// The sort file holds this many lines or more: a listing of more than a month reads it whole.
constexpr std::uint32_t kSnapshotLines = 100000;

bool GeneralKind(char tcle) { return tcle == 'V' || tcle == 'X'; }

// What makes a general line one in the analytic order: its file, month, journal, day, piece, number
// and account, which each of its headers repeats.
std::string GeneralLineKey(const SortLine& line) {
  return std::string(1, line.tfic) + std::string(line.DateView()) + std::string(line.Journal()) +
         std::string(line.Piece()) + std::string(line.tnum, sizeof line.tnum) + std::string(line.GeneralAccount());
}

}  // namespace

void JournalListings::TakeLimits(const std::string& record) {
  options = JournalListingOptions::FromRecord(record);
  euroFlag = options.inEuros ? 1 : 0;
  snapshot_.reset();
}

// ------------------------------------------------------------------ the walk

bool JournalListings::Matches(const SortLine& line) const {
  bool match = true;
  if (options.WholeYear()) {
    match = line.Month().substr(0, 2) == std::string_view(options.monthSelector).substr(0, 2);
  } else if (options.FullMonth()) {
    match = line.Month() == options.monthSelector;
  }
  if (!options.AllJournals()) match = match && line.Journal() == options.journal;
  return match;
}

bool JournalListings::PastSelection(const SortLine& line) const {
  // Both listing orders begin with the month: once past the chosen year or month, no line
  // further on can match.
  if (options.WholeYear()) return line.Month().substr(0, 2) > std::string_view(options.monthSelector).substr(0, 2);
  if (options.FullMonth()) return line.Month() > options.monthSelector;
  return false;
}

bool JournalListings::SourceLineQualifies(const SortLine& line) {
  const SourceLine* s = source_.Read(line);
  if (s == nullptr) return false;
  return AnyLayout() || s->Amount(euroFlag) != 0;
}

bool JournalListings::FurtherHeader(const SortLine& line) {
  if (!options.analytic || !GeneralKind(line.tcle)) return false;
  std::string key = GeneralLineKey(line);
  if (key == header_ && line.tcle > headerKind_) {
    if (const SourceLine* s = source_.Read(line)) skippedHeaders_ += s->Debit() ? s->Amount(euroFlag) : -s->Amount(euroFlag);
    return true;
  }
  header_ = std::move(key);
  headerKind_ = line.tcle;
  return false;
}

bool JournalListings::FindNextLine(bool scanAll) {
  KeepResponsive();
  const bool contiguous = options.FullMonth() && !options.AllJournals();
  while (!walk_->AtEnd()) {
    const SortLine& line = walk_->Line();
    const bool match = Matches(line);
    if (match && SourceLineQualifies(line)) {
      if (!FurtherHeader(line)) return true;
    } else if (!match && ((contiguous && !scanAll) || PastSelection(line))) {
      return false;
    }
    walk_->Next();
  }
  return false;
}

void JournalListings::SetJournalHeaderFields(const SortLine& line) {
  const std::string month(line.Month());
  SetText(MOIS, month.substr(2, 2));
  SetText(ANNEE, DecodeYear(month.substr(0, 2).c_str()));
  if (line.Journal() != "xxx") {
    const std::string journal(line.Journal());
    SetText(JOURNAL, journal);
    SetText(NOMJOURNAL, names_.Journal(journal));
  }
}

// ------------------------------------------------------------------ preparation

bool JournalListings::PrepareReport() {
  names_.Clear();
  source_.Forget();
  ForgetUnreadable();
  DeclareFields(Definitions());
  TakeLayoutCurrency();
  SetText(EURO, LoadStr(euroFlag != 0 ? kStrEuros : kStrFrancs));
  header_.clear();
  headerKind_ = ' ';
  skippedHeaders_ = 0;
  journalGap_ = 0;
  if (options.analytic) {
    walk_ = MakeIndexWalk(*tables_.c60, SortOrder::kJxAnal, &refused_);
  } else {
    const bool snapshot = walk == Walk::kSnapshot ||
                          (walk == Walk::kAutomatic && !options.FullMonth() && tables_.c60->RecCount() >= kSnapshotLines);
    if (snapshot || snapshot_) {
      if (!snapshot_) {
        snapshot_ = std::make_shared<SortSnapshot>();
        snapshot_->Build(*tables_.c60, SortOrder::kJx);
      }
      walk_ = MakeSnapshotWalk(snapshot_);
    } else {
      walk_ = MakeIndexWalk(*tables_.c60, SortOrder::kJx, &refused_);
    }
  }
  const std::string& m = options.monthSelector;
  if (m.substr(0, 2) != "  ") {
    std::string key = options.WholeYear() ? m.substr(0, 2) : options.AllJournals() ? m : m + options.journal;
    walk_->Seek(key);
  } else {
    walk_->GoTop();
  }
  if (!FindNextLine(true)) {
    ShowNothing("");
    return false;
  }
  if (options.summary) {
    collectives_.Build(*tables_.c10);
    if (!BuildNextNonEmptyBlock()) {
      ShowNothing("");
      return false;
    }
  } else {
    listed_ = walk_->Line();
    advanced_ = false;
    SetJournalHeaderFields(listed_);
  }
  const std::string key = walk_->AtEnd() ? std::string(14, ' ') : walk_->Line().ListingKey();
  lineType = "A" + key + key;
  lineCount = 0;
  return true;
}

bool JournalListings::NextRecord() {
  if (options.summary) {
    if (blockPos_ + 1 < block_.size()) {
      ++blockPos_;
      return true;
    }
    if (FindNextLine(true) && BuildNextNonEmptyBlock()) {
      SetLetter('I');
      return true;
    }
    SetLetter('Z');
    SayUnreadable();
    return false;
  }
  bool found = nextFound_;
  if (!advanced_) {
    // The further headers passed over belong to the line listed last, in the journal-month whose
    // totals print before the next line's.
    const Cents gap = journalGap_;
    found = StepToNextLine();
    if (journalGap_ != gap) SetJournalGap();
  }
  advanced_ = false;
  if (!found) {
    SetLetter('Z');
    SayUnreadable();
    return false;
  }
  listed_ = walk_->Line();
  SetJournalHeaderFields(listed_);
  return true;
}

void JournalListings::ClassifyLine() {
  if (options.summary) {
    SetLetter(Letter() == 'I' ? 'J' : 'N');
    return;
  }
  ClassifyDetailLine();
}

void JournalListings::ComputeLine() {
  if (options.summary) {
    ComputeSummaryLine();
  } else {
    ComputeDetailLine();
  }
}

// ------------------------------------------------------------------ detail lines

void JournalListings::ClassifyDetailLine() {
  if (lineType.size() < 29) lineType.resize(29, ' ');
  lineType.replace(15, 14, lineType.substr(1, 14));
  lineType.replace(1, 14, listed_.ListingKey());
  const std::string current = lineType.substr(1, 14), previous = lineType.substr(15, 14);
  // A piece is totalled once, over all its lines, whatever their sections: within one month,
  // journal and piece nothing breaks, a general line left without sections included.
  char letter = 'N';
  if (current.compare(0, 13, previous, 0, 13) != 0) letter = current.compare(0, 7, previous, 0, 7) != 0 ? 'J' : 'P';
  SetLetter(letter);
}

void JournalListings::SignedPair(int dbcr, int amountField, Cents value) {
  SetText(dbcr, "");
  SetText(amountField, "");
  if (value == 0) return;
  SetText(dbcr, value > 0 ? "Db" : "Cr");
  SetCents(amountField, value > 0 ? value : -value);
}

void JournalListings::SetJournalGap() {
  if (journalGap_ == 0) {
    fields.SetFieldText(TG_SOLDE, FormatNumber(14, 2, false, 0.0));
  } else {
    fields.SetFieldBalance(TG_SOLDE, journalGap_);
  }
  fields.SetBalancePair(TG_SOLDEMT, TG_SOLDEDC, journalGap_);
}

bool JournalListings::StepToNextLine() {
  walk_->Next();
  const bool found = FindNextLine(false);
  journalGap_ += skippedHeaders_;
  skippedHeaders_ = 0;
  return found;
}

void JournalListings::ComputeDetailLine() {
  const SortLine& line = listed_;
  const char letter = Letter();
  if (letter == 'J') {
    SetJournalHeaderFields(line);
    lineCount = 0;
    for (int field : {TG_DEBIT, TG_CREDIT, JOURNAL_CG, JOURNAL_CA}) SetCents(field, 0);
    journalGap_ = 0;
    SetLetter('N');
  }
  // A new journal-month is a new piece too: the piece totals restart with it.
  if (letter == 'J' || letter == 'P')
    for (int field : {TP_DEBIT, TP_CREDIT, PIECE_CG, PIECE_CA}) SetCents(field, 0);
  for (int field : {DEBIT, CREDIT, SEURO, SENSDC, MONTANT, MONTANTF, MONTANTE, CG_DBCR, CG_MONTANT, CA_DBCR, CA_MONTANT,
                    CODEREGLEM, LETTRE})
    SetText(field, "");
  // A summary line's balance on its side: no cell of a journal line.
  fields.SetFieldBlank(SOLDEDEBIT);
  fields.SetFieldBlank(SOLDECREDI);

  const SourceLine* s = source_.Read(line);
  if (s == nullptr) {
    FillMissingSourceLine(line);
  } else {
    const char kind = s->kind.empty() ? ' ' : s->kind[0];
    std::string account, name;
    if (options.analytic && GeneralKind(kind)) {
      account = s->generalAccount;
      name = names_.Account(account, "???" + std::string(27, ' '));
    } else if (options.analytic) {
      account = s->account;
      name = names_.Section(account, "???" + std::string(27, ' '));
    } else {
      account = s->account;
      name = names_.Account(account, "???" + std::string(27, ' '));
    }
    SetText(COMPTE, kind == 'Y' || kind == 'W' ? account : Normalized(account));
    SetText(NOMCOMPTE, name);
    SetText(CLIB, s->labelCode);
    SetText(CODELIBELL, names_.Label(s->labelCode));
    SetText(VENTILATIO, s->distribution);
    SetText(DATE, ShownDate(s->Date()));
    SetText(JOURNAL, s->journal);
    SetText(PIECE, s->closed ? " " + s->piece + " " : "(" + s->piece + ")");
    SetText(LIBELLE, s->label1);
    SetText(LIB23, Lib23(s->label2, s->label3));
    SetText(ECHEANCE, ShownDate(s->due));
    SetText(SENSDC, s->sense);
    const Cents amount = s->Amount(euroFlag);
    SetCents(MONTANT, amount);
    SetCents(MONTANTF, s->francs);
    SetCents(MONTANTE, s->euros);
    SetText(SEURO, !s->entered.empty() && s->entered[0] == 'O' ? "E" : "F");
    // The piece totals follow the journal totals, so that a layout's piece totals print.
    if (s->Debit()) {
      SetCents(DEBIT, amount);
      AddCents(TG_DEBIT, amount);
      AddCents(TP_DEBIT, amount);
    } else {
      SetCents(CREDIT, amount);
      AddCents(TG_CREDIT, amount);
      AddCents(TP_CREDIT, amount);
    }
    if (options.analytic) {
      const Cents signedAmount = s->Debit() ? amount : -amount;
      if (GeneralKind(kind)) {
        SetText(CG_DBCR, s->Debit() ? "Db" : "Cr");
        SetCents(CG_MONTANT, amount);
        AddCents(PIECE_CG, signedAmount);
        AddCents(JOURNAL_CG, signedAmount);
        journalGap_ += signedAmount;
      } else {
        SetText(CA_DBCR, s->Debit() ? "Db" : "Cr");
        SetCents(CA_MONTANT, amount);
        AddCents(PIECE_CA, signedAmount);
        AddCents(JOURNAL_CA, signedAmount);
        journalGap_ -= signedAmount;
      }
    }
    SetText(LETTRE, s->Letter(euroFlag));
  }
  // The payment mode of an invoice, from the marks of its label.
  if (fields.Value(CODELIBELL).find("Facture") != std::string::npos) {
    SetText(CODEREGLEM, "");
    const std::string& label = fields.Value(LIBELLE);
    for (const char* mark : {"/T\\", "/B\\", "/V\\", "/P\\", "/C\\"})
      if (label.find(mark) != std::string::npos) SetText(CODEREGLEM, std::string(1, mark[1]));
  }
  Balance(TP_DEBIT, TP_CREDIT, TP_SOLDE, TP_SOLDEMT, TP_SOLDEDC);
  if (options.analytic) {
    SignedPair(TP_CG_DBCR, TP_CG_MONT, GetCents(PIECE_CG));
    SignedPair(TP_CA_DBCR, TP_CA_MONT, GetCents(PIECE_CA));
    SignedPair(TG_CG_DBCR, TG_CG_MONT, GetCents(JOURNAL_CG));
    SignedPair(TG_CA_DBCR, TG_CA_MONT, GetCents(JOURNAL_CA));
    // The further headers that follow the line count in its row's gap: the walk steps to the next
    // line now, and NextRecord takes it from there.
    if (!advanced_) {
      nextFound_ = StepToNextLine();
      advanced_ = true;
    }
    SetJournalGap();
  } else {
    Balance(TG_DEBIT, TG_CREDIT, TG_SOLDE, TG_SOLDEMT, TG_SOLDEDC);
  }
  ++lineCount;
}

void JournalListings::FillMissingSourceLine(const SortLine& line) {
  SetText(COMPTE, Normalized(std::string(line.Code())));
  for (int field : {NOMCOMPTE, VENTILATIO, CLIB, CODELIBELL}) SetText(field, "???");
  SetText(DATE, ShownDate(line.Date()));
  const std::string piece(line.Piece());
  SetText(PIECE, line.InDraft() ? "(" + piece + ")" : " " + piece + " ");
  SetText(LIBELLE, FillPlaceholder(LoadStr(kLineMissing), line.TrecText()));
  SetText(LIB23, "");
}

// ------------------------------------------------------------------ summary blocks

bool JournalListings::BuildSummaryBlock() {
  KeepResponsive();
  block_.clear();
  blockPos_ = 0;
  if (walk_->AtEnd()) return false;
  SetJournalHeaderFields(walk_->Line());
  const std::string month(walk_->Line().Month()), journal(walk_->Line().Journal());
  skippedHeaders_ = 0;
  std::size_t general = block_.size();  // the entry of the general line counted last
  while (!walk_->AtEnd() && walk_->Line().Month() == month && walk_->Line().Journal() == journal) {
    const SortLine& line = walk_->Line();
    Cents debit = 0, credit = 0;
    if (const SourceLine* s = source_.Read(line)) (s->Debit() ? debit : credit) = s->Amount(euroFlag);
    std::string code(GeneralKind(line.tcle) ? line.GeneralAccount() : line.Code());
    if (!options.analytic && IsLetter(code.c_str())) {
      const std::string collective = collectives_.AccountOf(code[0]);
      if (!collective.empty()) code = collective;
    }
    if (debit != 0 || credit != 0) {
      const char letter = GeneralKind(line.tcle) || line.tcle == 'Z' ? 'A' : 'B';
      auto it = std::find_if(block_.begin(), block_.end(),
                             [&](const SummaryEntry& e) { return e.letter == letter && e.code == code; });
      if (it == block_.end()) {
        block_.push_back({code, letter, letter == 'A' ? names_.Account(code) : names_.Section(code), 0, 0});
        it = block_.end() - 1;
      }
      it->debit += debit;
      it->credit += credit;
      if (letter == 'A') {
        it->axes += debit - credit;
        general = static_cast<std::size_t>(it - block_.begin());
      }
    }
    walk_->Next();
    const bool found = FindNextLine(true);
    // A further header of that line: its axis is compared with the line, which counts once.
    if (skippedHeaders_ != 0 && general < block_.size()) block_[general].axes += skippedHeaders_;
    skippedHeaders_ = 0;
    if (!found) break;
  }
  block_.erase(std::remove_if(block_.begin(), block_.end(),
                              [](const SummaryEntry& e) { return e.debit == 0 && e.credit == 0; }),
               block_.end());
  // The order of the general file's code index: the code, then "A" before "B".
  std::sort(block_.begin(), block_.end(), [](const SummaryEntry& a, const SummaryEntry& b) {
    const std::string ka = a.code + a.letter, kb = b.code + b.letter;
    return CompareWeighted(ka, kb) < 0;
  });
  return !block_.empty();
}

bool JournalListings::BuildNextNonEmptyBlock() {
  // A journal-month whose totals are all zero shows nothing: the listing goes on with the next.
  do {
    if (BuildSummaryBlock()) return true;
  } while (FindNextLine(true));
  return false;
}

void JournalListings::ComputeSummaryLine() {
  if (blockPos_ >= block_.size()) return;
  const SummaryEntry& e = block_[blockPos_];
  if (Letter() == 'J') {
    lineCount = 0;
    for (int field : {TG_DEBIT, TG_CREDIT, TG_SOLDEDE, TG_SOLDECR, JOURNAL_CG, JOURNAL_CA}) SetCents(field, 0);
    journalGap_ = 0;
  }
  for (int field : {CG_DBCR, CG_MONTANT, CA_DBCR, CA_MONTANT, SEURO}) SetText(field, "");
  SetText(COMPTE, e.code);
  SetText(NOMCOMPTE, e.name);
  SetCents(DEBIT, e.debit);
  SetCents(CREDIT, e.credit);
  if (options.analytic) {
    const Cents value = e.debit - e.credit;
    if (e.letter == 'A') {
      AddCents(JOURNAL_CG, value);
      journalGap_ += e.axes;
      SignedPair(CG_DBCR, CG_MONTANT, value);
    } else {
      AddCents(JOURNAL_CA, value);
      journalGap_ -= value;
      SignedPair(CA_DBCR, CA_MONTANT, value);
    }
    SignedPair(TG_CG_DBCR, TG_CG_MONT, GetCents(JOURNAL_CG));
    SignedPair(TG_CA_DBCR, TG_CA_MONT, GetCents(JOURNAL_CA));
  }
  SetText(COMPTE, Normalized(e.code));
  AddCents(TG_DEBIT, e.debit);
  AddCents(TG_CREDIT, e.credit);
  if (options.analytic) {
    fields.SetFieldBalance(TG_SOLDE, journalGap_);
    fields.SetBalancePair(TG_SOLDEMT, TG_SOLDEDC, journalGap_);
  } else {
    Balance(TG_DEBIT, TG_CREDIT, TG_SOLDE, TG_SOLDEMT, TG_SOLDEDC);
  }
  fields.SetFieldBlank(SOLDEDEBIT);
  fields.SetFieldBlank(SOLDECREDI);
  if (e.debit > e.credit) {
    SetCents(SOLDEDEBIT, e.debit - e.credit);
    AddCents(TG_SOLDEDE, e.debit - e.credit);
  } else {
    SetCents(SOLDECREDI, e.credit - e.debit);
    AddCents(TG_SOLDECR, e.credit - e.debit);
  }
  ++lineCount;
}

}  // namespace ledgers
