#include "reports/balances/core/balance_source.h"

#include <algorithm>
#include <cstdlib>

#include "data/entry_lines.h"
#include "data/stored_fields.h"
#include "data/table.h"

namespace balances {

namespace {

bool OpenRead(Table& t, const std::string& path, const char* title, std::string* message) {
  if (t.OpenShared(path, "", true)) return true;
  if (message != nullptr)
    *message = std::string("Le fichier ") + title + " ne s'ouvre pas (erreur " + std::to_string(t.result) +
               ").\n\n" + path;
  return false;
}

// A stored amount ("   1234.50", "-12.30", blanks) in cents.
long long Cents(std::string_view text) {
  long long units = 0;
  int decimals = -1;
  bool negative = false;
  for (char c : text) {
    if (c == '-') {
      negative = true;
    } else if (c == '.') {
      decimals = 0;
    } else if (c >= '0' && c <= '9') {
      if (decimals >= 2) continue;
      units = units * 10 + (c - '0');
      if (decimals >= 0) ++decimals;
    }
  }
  if (decimals < 0) decimals = 0;
  for (; decimals < 2; ++decimals) units *= 10;
  return negative ? -units : units;
}

// Every record of an entry-line table in physical order; `f` lists the field numbers of
// class, account, month, day, journal, piece, label code, label, due date, sense, francs,
// euros, euro letter, line number and validation date (0: absent).
bool LoadLines(Table& t, const std::array<int, 15>& f, bool texts, std::vector<EntryLine>& out) {
  out.clear();
  out.reserve(t.RecCount());
  const StoredFields v(t, std::vector<int>(f.begin(), f.end()));
  for (bool more = t.GoTop(""); more && !t.eof; more = t.Skip(1)) {
    // Records come in physical order: the vector's index is the record number - 1.
    if (t.recordNumber != out.size() + 1) out.resize(t.recordNumber - 1);
    EntryLine& l = out.emplace_back();
    l.deleted = v.Deleted();
    l.cls = v[0].empty() ? ' ' : v[0][0];
    l.month.Set(v[2]);
    l.day.Set(v[3]);
    l.journal.Set(v[4]);
    l.due.Set(v[8]);
    l.sense = v[9].empty() ? ' ' : v[9][0];
    l.cents[0] = Cents(v[10]);
    l.cents[1] = Cents(v[11]);
    if (!texts) continue;
    l.account.Set(v[1]);
    l.piece.Set(v[5]);
    l.labelCode.Set(v[6]);
    l.label.Set(v[7]);
    l.letterE.Set(v[12]);
    l.lineNumber.Set(v[13]);
    l.validation.Set(v[14]);
  }
  return t.result == 0 || t.eof;
}

}  // namespace

std::uint64_t PackText(const char* text, std::size_t n) {
  std::uint64_t v = 0;
  for (std::size_t i = 0; i < 8; ++i) v = (v << 8) | (i < n ? static_cast<unsigned char>(text[i]) : 0u);
  return v;
}

bool BalanceSource::Load(const std::string& c60Path, const std::string& c50Path, const std::string& c40Path,
                         std::string* message, bool texts) {
  records_.clear();
  general_.clear();
  Table c60, c50, c40;
  if (!OpenRead(c60, c60Path, "C60 \"Tri des Ecritures\"", message) ||
      !OpenRead(c50, c50Path, "C50 \"Ecritures Brouillard\"", message) ||
      !OpenRead(c40, c40Path, "C40 \"Ecritures Cl\xF4" "tur\xE9" "es\"", message))
    return false;
  using LE = LigneEcriture;
  LoadLines(c50, {LE::BCLE, LE::BCODE, LE::BMOIS, LE::BJOUR, LE::BJAL, LE::BPIECE, LE::BCLIB, LE::BLIB,
                  LE::BECHEANCE, LE::BSENS, LE::BMONTANTF, LE::BMONTANTE, LE::BLETE, LE::BNUM, 0},
            texts, draft_);
  LoadLines(c40, {LE::DCLE, LE::DCODE, LE::DMOIS, LE::DJOUR, LE::DJAL, LE::DPIECE, LE::DCLIB, LE::DLIB,
                  LE::DECHEANCE, LE::DSENS, LE::DMONTANTF, LE::DMONTANTE, LE::DLETE, LE::DNUM, LE::DVALID},
            texts, closed_);

  using LT = LigneTri;
  const StoredFields v(c60, {LT::TCLE, LT::TCODE, LT::TMOIS, LT::TJOUR, LT::TJAL, LT::TLET, LT::TLETE, LT::TFIC,
                             LT::TREC, LT::TPIECE, LT::TCG, LT::TNUM});
  records_.reserve(c60.RecCount());
  for (bool more = c60.GoTop(""); more && !c60.eof; more = c60.Skip(1)) {
    if (v.Deleted()) continue;  // the walks skip them
    SortRecord& r = records_.emplace_back();
    r.cls = v[0].empty() ? ' ' : v[0][0];
    r.code.Set(v[1]);
    for (std::size_t i = 0; i < 4; ++i) r.date.c[i] = i < v[2].size() ? v[2][i] : ' ';
    for (std::size_t i = 0; i < 2; ++i) r.date.c[4 + i] = i < v[3].size() ? v[3][i] : ' ';
    r.journal.Set(v[4]);
    r.letterF.Set(v[5]);
    r.letterE.Set(v[6]);
    r.file = v[7].empty() ? ' ' : v[7][0];
    std::int32_t rec = 0;
    bool digits = false;
    for (char c : v[8]) {
      if (c >= '0' && c <= '9') {
        rec = rec * 10 + (c - '0');
        digits = true;
      } else if (c != ' ' || digits) {
        break;  // as atol reads it: leading blanks, then digits
      }
    }
    r.rec = rec;
    r.piece.Set(v[9]);
    r.generalAccount.Set(v[10]);
    r.lineNumber.Set(v[11]);
    r.physical = c60.recordNumber;
    r.codeKey = PackText(r.code.c.data(), 8);
    r.dateKey = PackText(r.date.c.data(), 6);
  }
  // The tag's order: code, then date; equal keys in record order (the index keeps them so).
  // The texts are compared as big-endian integers, byte for byte as the texts compare.
  struct Key {
    std::uint64_t code, date;
    std::uint32_t index;
  };
  std::vector<Key> keys;
  keys.reserve(records_.size());
  for (std::uint32_t i = 0; i < records_.size(); ++i)
    if (records_[i].cls == 'Z')
      keys.push_back({records_[i].codeKey, records_[i].dateKey, i});
  std::sort(keys.begin(), keys.end(), [](const Key& a, const Key& b) {
    if (a.code != b.code) return a.code < b.code;
    if (a.date != b.date) return a.date < b.date;
    return a.index < b.index;
  });
  general_.reserve(keys.size());
  for (const Key& k : keys) general_.push_back(k.index);
  return true;
}

std::vector<std::uint32_t> BalanceSource::AnalyticOrder(bool byAccount) const {
  std::vector<std::uint32_t> order;
  for (std::uint32_t i = 0; i < records_.size(); ++i)
    if (records_[i].cls < 'Z') order.push_back(i);
  std::stable_sort(order.begin(), order.end(), [this, byAccount](std::uint32_t a, std::uint32_t b) {
    const SortRecord& x = records_[a];
    const SortRecord& y = records_[b];
    if (int c = x.code.View().compare(y.code.View())) return c < 0;
    if (byAccount)
      if (int c = x.generalAccount.View().compare(y.generalAccount.View())) return c < 0;
    return x.date.View() < y.date.View();
  });
  return order;
}

const EntryLine* BalanceSource::LineOf(const SortRecord& r) const {
  const std::vector<EntryLine>& lines = r.file == 'B' ? draft_ : closed_;
  if (r.rec < 1 || static_cast<std::size_t>(r.rec) > lines.size()) return nullptr;
  return &lines[static_cast<std::size_t>(r.rec - 1)];
}

}  // namespace balances
