#include "runtime/dossier_record.h"

#include <cstdio>

#include "resources/string_table.h"
#include "runtime/numbers.h"
#include "runtime/xbase.h"

namespace {

// Every right of every guarded function, by its id in the string table.
constexpr int kAllRights = 9000;

}  // namespace

DossierRecord TheDossierRecord;

DossierRecord::DossierRecord() : text_(kLength, ' ') {}

void DossierRecord::Clear() { text_.assign(kLength, ' '); }

std::string DossierRecord::Get(int position, int width) const {
  if (position < 1 || width <= 0 || position > kLength) return std::string(width > 0 ? width : 0, ' ');
  std::string v = text_.substr(static_cast<std::size_t>(position) - 1, static_cast<std::size_t>(width));
  v.resize(static_cast<std::size_t>(width), ' ');
  return v;
}

void DossierRecord::Set(int position, int width, std::string_view value) {
  if (text_.size() != kLength) text_.resize(kLength, ' ');
  for (int i = 0; i < width; ++i) {
    int p = position + i;
    if (p < 1 || p > kLength) continue;
    text_[static_cast<std::size_t>(p) - 1] = static_cast<std::size_t>(i) < value.size() ? value[static_cast<std::size_t>(i)] : ' ';
  }
}

char DossierRecord::At(int position) const {
  if (position < 1 || position > kLength || static_cast<std::size_t>(position) > text_.size()) return 0;
  return text_[static_cast<std::size_t>(position) - 1];
}

void DossierRecord::SetAt(int position, char c) {
  if (position < 1 || position > kLength) return;
  if (text_.size() != kLength) text_.resize(kLength, ' ');
  text_[static_cast<std::size_t>(position) - 1] = c;
}

void DossierRecord::SetNextPiece(long number) {
  if (number < 0) number = 0;
  char buf[32];
  std::snprintf(buf, sizeof buf, "%06ld", number % 1000000);
  Set(kNextPiecePos, kNextPieceWidth, buf);
}

double DossierRecord::Parity() const { return Val(Get(kParityPos, kParityWidth).c_str()); }

void DossierRecord::SetParity(double francsPerEuro) {
  Set(kParityPos, kParityWidth, FormatNumber(kParityWidth, 5, false, francsPerEuro));
}

std::string DossierRecord::Constant(int n) const {
  if (n < 0 || n >= kConstantCount) return "";
  return Get(kConstantsPos + kConstantWidth * n, kConstantWidth);
}

void DossierRecord::SetConstant(int n, std::string_view value) {
  if (n < 0 || n >= kConstantCount) return;
  Set(kConstantsPos + kConstantWidth * n, kConstantWidth, value);
}

bool DossierIsEuroOnly(const DossierRecord& record) {
  return record.At(DossierRecord::kEuroMainPos) == 'O' && record.Constant(kEuroOnlyConstant)[0] == 'O';
}

void DossierRecord::EnsureRights() {
  if (!IsBlank(Get(kRightsPos, kLength - kRightsPos + 1))) return;
  std::string all = LoadStr(kAllRights);
  if (IsBlank(all)) all.assign(kRightsWidth, '?');
  SetRights(all);
}

bool DossierRecord::DateYmd(DateField field, Ymd& out) const {
  return ParseYyyymmdd(Get(static_cast<int>(field), kDateWidth), out);
}

std::string DossierRecord::DateYyyymmdd(DateField field) const {
  Ymd d;
  return DateYmd(field, d) ? YyyymmddOf(d) : "";
}

std::string DossierRecord::DateStored(DateField field) const {
  Ymd d;
  return DateYmd(field, d) ? StoredDateOf(d) : "";
}

std::string DossierRecord::DateDisplay(DateField field) const {
  Ymd d;
  return DateYmd(field, d) ? DisplayDateOf(d) : "";
}

bool DossierRecord::SetDateYmd(DateField field, const Ymd& date) {
  if (!IsValidYmd(date) || date.year < 1000 || date.year > 9999) return false;
  Set(static_cast<int>(field), kDateWidth, YyyymmddOf(date));
  return true;
}

bool DossierRecord::SetDateYyyymmdd(DateField field, std::string_view yyyymmdd) {
  if (IsBlank(std::string(yyyymmdd))) {
    Set(static_cast<int>(field), kDateWidth, "");
    return true;
  }
  Ymd d;
  return ParseYyyymmdd(yyyymmdd, d) && SetDateYmd(field, d);
}

bool DossierRecord::SetDateStored(DateField field, std::string_view stored) {
  if (IsBlank(std::string(stored))) return SetDateYyyymmdd(field, "");
  Ymd d;
  return ParseStoredDate(stored, d) && SetDateYmd(field, d);
}

bool DossierRecord::SetDateDisplay(DateField field, std::string_view display) {
  if (IsBlank(std::string(display))) return SetDateYyyymmdd(field, "");
  Ymd d;
  return ParseDisplayDate(display, d) && SetDateYmd(field, d);
}

void DossierRecord::LoadFromC10(const C10Texts& t) {
  Set(1, 30, t.record0Field3);
  Set(31, 254, t.record0Field4);
  Set(285, 254, t.record0Field5);
  Set(539, 252, t.p0Field4);
  Set(791, 252, t.p0Field5);
  Set(1043, 254, t.record0Field6);
}

DossierRecord::C10Texts DossierRecord::ToC10() const {
  C10Texts t;
  t.record0Field3 = Get(1, 30);
  t.record0Field4 = Get(31, 254);
  t.record0Field5 = Get(285, 254);
  t.p0Field4 = Get(539, 252);
  t.p0Field5 = Get(791, 252);
  t.record0Field6 = Get(1043, 254);
  return t;
}
