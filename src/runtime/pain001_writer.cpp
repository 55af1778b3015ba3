#include "runtime/pain001_writer.h"

#include <cstdio>

#include "platform/system/clock.h"
#include "resources/string_table.h"
#include "runtime/bank_ids.h"
#include "runtime/text.h"
#include "runtime/xbase.h"

namespace {

// The texts shown here, by their ids in the string table.
constexpr int kMsgTemporaryFileMissing = 22000;

constexpr const char* kEnd = "\r\n";

// The value as XML text: the five characters XML gives a meaning escaped.
std::string Escaped(const std::string& value) {
  std::string out;
  out.reserve(value.size());
  for (char c : value) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&apos;"; break;
      default: out += c;
    }
  }
  return out;
}

// A free text at the element's limit: trimmed, then through the transfer-file filter.
std::string Filtered(const std::string& text, int limit) {
  std::string value = AllTrim(text.c_str());
  return SepaText(limit, value);
}

void Element(std::string& out, const char* tag, const std::string& value) {
  out += "<";
  out += tag;
  out += ">";
  out += Escaped(value);
  out += "</";
  out += tag;
  out += ">";
  out += kEnd;
}

void Tag(std::string& out, const char* tag) {
  out += tag;
  out += kEnd;
}

// The last stamp a file of this program took: the next one waits for another second.
std::string& LastStamp() {
  static std::string last;
  return last;
}

}  // namespace

bool Pain001Writer::IbanFits(const std::string& iban) {
  const std::string text = Trimmed(iban);
  return text.size() >= 5 && text.size() <= 34 && CheckIban(text) == 0;
}

bool Pain001Writer::BicFits(const std::string& bic) { return CheckBic(bic); }

std::string Pain001Writer::AmountText(long long cents) {
  const bool negative = cents < 0;
  const unsigned long long value = negative ? static_cast<unsigned long long>(-cents) : static_cast<unsigned long long>(cents);
  char text[40];
  std::snprintf(text, sizeof text, "%s%llu.%02llu", negative ? "-" : "", value / 100, value % 100);
  return text;
}

std::string Pain001Writer::BlockNumber(long n) {
  char text[24];
  std::snprintf(text, sizeof text, "%03ld", n < 0 ? 0 : n);
  return text;
}

bool Pain001Writer::Begin(std::string* error) {
  Abort();
  if (file_.Create(kTemporaryPrefix)) return true;
  if (error != nullptr) *error = file_.ErrorText();
  return false;
}

bool Pain001Writer::Add(const Pain001Transfer& t) {
  // A transfer pays a sum above zero: the bank's schema takes no other, and the control sum would
  // be netted by it.
  if (!file_.IsOpen() || t.cents <= 0) return false;
  std::string& b = blocks_;
  Tag(b, "<CdtTrfTxInf>");
  Tag(b, "<PmtId>");
  Element(b, "InstrId", Filtered(t.instructionId, kIdLimit));
  Element(b, "EndToEndId", Filtered(t.endToEndId, kIdLimit));
  Tag(b, "</PmtId>");
  Tag(b, "<Amt>");
  b += "<InstdAmt Ccy=\"EUR\">" + AmountText(t.cents) + "</InstdAmt>" + kEnd;
  Tag(b, "</Amt>");
  Tag(b, "<CdtrAgt>");
  Tag(b, "<FinInstnId>");
  Element(b, "BIC", Trimmed(t.bic));
  Tag(b, "</FinInstnId>");
  Tag(b, "</CdtrAgt>");
  Tag(b, "<Cdtr>");
  Element(b, "Nm", Filtered(t.name, kNameLimit));
  Tag(b, "</Cdtr>");
  Tag(b, "<CdtrAcct>");
  Tag(b, "<Id>");
  Element(b, "IBAN", Trimmed(t.iban));
  Tag(b, "</Id>");
  Tag(b, "</CdtrAcct>");
  Tag(b, "<RmtInf>");
  Element(b, "Ustrd", Filtered(t.remittance, kRemittanceLimit));
  Tag(b, "</RmtInf>");
  Tag(b, "</CdtTrfTxInf>");
  ++count_;
  totalCents_ += t.cents;
  return true;
}

std::string Pain001Writer::Header(const Pain001Debtor& d, const Stamp& stamp) const {
  std::string h;
  Tag(h, "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\" ?>");
  Tag(h, "<Document xmlns=\"urn:iso:std:iso:20022:tech:xsd:pain.001.001.02\">");
  Tag(h, "<pain.001.001.02>");
  Tag(h, "<GrpHdr>");
  Element(h, "MsgId", stamp.messageId);
  Element(h, "CreDtTm", stamp.created);
  Element(h, "BtchBookg", "false");
  Element(h, "NbOfTxs", std::to_string(count_));
  Element(h, "CtrlSum", AmountText(totalCents_));
  Element(h, "Grpg", "MIXD");
  Tag(h, "<InitgPty>");
  Element(h, "Nm", Filtered(d.name, kNameLimit));
  Tag(h, "</InitgPty>");
  Tag(h, "</GrpHdr>");
  Tag(h, "<PmtInf>");
  Element(h, "PmtInfId", Filtered(d.paymentInfoId, kIdLimit));
  Element(h, "PmtMtd", "TRF");
  Tag(h, "<PmtTpInf>");
  Tag(h, "<SvcLvl>");
  Element(h, "Cd", "SEPA");
  Tag(h, "</SvcLvl>");
  Tag(h, "</PmtTpInf>");
  Element(h, "ReqdExctnDt", d.executionDate);
  Tag(h, "<Dbtr>");
  Element(h, "Nm", Filtered(d.name, kNameLimit));
  Tag(h, "</Dbtr>");
  Tag(h, "<DbtrAcct>");
  Tag(h, "<Id>");
  Element(h, "IBAN", Trimmed(d.iban));
  Tag(h, "</Id>");
  Tag(h, "</DbtrAcct>");
  Tag(h, "<DbtrAgt>");
  Tag(h, "<FinInstnId>");
  Element(h, "BIC", Trimmed(d.bic));
  Tag(h, "</FinInstnId>");
  Tag(h, "</DbtrAgt>");
  Element(h, "ChrgBr", "SLEV");
  return h;
}

bool Pain001Writer::Finish(const Pain001Debtor& debtor, const std::string& target, std::string* error) {
  if (!file_.IsOpen()) {
    if (error != nullptr) *error = LoadStr(kMsgTemporaryFileMissing);
    Abort();
    return false;
  }
  const Stamp stamp = NextStamp();
  std::string closing;
  Tag(closing, "</PmtInf>");
  Tag(closing, "</pain.001.001.02>");
  Tag(closing, "</Document>");
  const bool written = file_.Write(Header(debtor, stamp)) && file_.Write(blocks_) && file_.Write(closing);
  if (!written || !file_.Place(target)) {
    if (error != nullptr) *error = file_.ErrorText();
    Abort();
    return false;
  }
  messageId_ = stamp.messageId;
  blocks_.clear();
  return true;
}

void Pain001Writer::Abort() {
  file_.Discard();
  blocks_.clear();
  count_ = 0;
  totalCents_ = 0;
}

Pain001Writer::Stamp Pain001Writer::NextStamp() {
  for (;;) {
    const platform::LocalTime t = platform::GetLocalTime();
    char digits[32];
    std::snprintf(digits, sizeof digits, "%04d%02d%02d%02d%02d%02d", t.year, t.month, t.day, t.hour, t.minute,
                  t.second);
    if (LastStamp() != digits) {
      LastStamp() = digits;
      char created[32];
      std::snprintf(created, sizeof created, "%04d-%02d-%02dT%02d:%02d:%02d", t.year, t.month, t.day, t.hour,
                    t.minute, t.second);
      return {std::string("Virement-") + digits, created};
    }
    // The same second as the last file: wait for the next one.
    platform::SleepMilliseconds(1000 - t.millisecond + 5);
  }
}
