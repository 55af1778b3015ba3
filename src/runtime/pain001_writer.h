// Pain001Writer: the ISO 20022 credit-transfer file, message pain.001.001.02, service level
// "SEPA", as every part of the program writes it (the treasury journal's transfers, the supplier
// payments): one header, one transaction block per transfer, the closing elements.
//
// The file: every line holds one start tag, its value and its end tag, or one lone tag, without
// indentation, and ends with CR LF. Text goes out as ASCII: names, references and remittance
// texts through SepaText at the element's limit, every value escaped for XML besides; the IBAN
// and BIC are checked before (CheckIban, CheckBic) and written trimmed. Amounts are written with
// two decimals and a full stop ("1234.50"). MsgId is "Virement-" + YYYYMMDDhhmmss of the moment
// the file is written, CreDtTm that moment; a second file in the same second waits for the next
// second, so that two files never share one MsgId.
//
// The file is written to a temporary file made with mkstemp in the temporary folder (prefix
// "ZEL"), every write checked, then renamed into place (copied next to the target first when
// the two lie on two file systems): no partial file ever stands under the final name, and the
// temporary file is removed on every path.
#pragma once

#include <string>
#include <vector>

#include "platform/system/temp_files.h"

// The debtor: the issuing bank's account and the run's identity.
struct Pain001Debtor {
  std::string name;           // the account holder (InitgPty and Dbtr), cp1252
  std::string iban;
  std::string bic;
  std::string paymentInfoId;  // PmtInfId, cp1252 ("Vrts-" + dossier code + "-" + dossier name)
  std::string executionDate;  // ReqdExctnDt, YYYY-MM-DD
};

// One transfer. Texts are cp1252, filtered by the writer.
struct Pain001Transfer {
  std::string instructionId;  // InstrId (35)
  std::string endToEndId;     // EndToEndId (35)
  long long cents = 0;        // InstdAmt in euros
  std::string bic;            // CdtrAgt
  std::string name;           // Cdtr Nm (70)
  std::string iban;           // CdtrAcct
  std::string remittance;     // Ustrd (140)
};

class Pain001Writer {
 public:
  // Limits of the filtered elements (SepaText keeps n - 1 characters).
  static constexpr int kIdLimit = 35, kNameLimit = 70, kRemittanceLimit = 140;
  static constexpr const char* kTemporaryPrefix = "ZEL";

  // True when the IBAN can stand in the file: check digits right (CheckIban), 5 to 34 capitals
  // and digits once trimmed.
  static bool IbanFits(const std::string& iban);
  static bool BicFits(const std::string& bic);
  // The amount form: "1234.50", "15.00", "0.05".
  static std::string AmountText(long long cents);
  // The number of a block, from 0, in three digits at least and never wrapped: "000", "999",
  // "1000".
  static std::string BlockNumber(long n);

  // Makes the temporary file; false (the French reason in *error) when it cannot be made.
  bool Begin(std::string* error);
  bool Begun() const { return file_.IsOpen(); }
  // One transfer more (kept until Finish). False, nothing kept, before Begin or for an amount at
  // or below zero.
  bool Add(const Pain001Transfer& transfer);
  long Count() const { return count_; }
  long long TotalCents() const { return totalCents_; }

  // Writes the whole file and places it as `target`. False, with no file under `target` changed
  // and no temporary file left, when a write, the flush or the placing failed (*error says why,
  // in French). The MsgId of the file written is kept.
  bool Finish(const Pain001Debtor& debtor, const std::string& target, std::string* error);
  // Gives up: the temporary file goes, the transfers are forgotten.
  void Abort();
  const std::string& MessageId() const { return messageId_; }
  const std::string& TemporaryPath() const { return file_.Path(); }

  // MsgId and CreDtTm of a file written now: the next second when the last file of this program
  // took this one.
  struct Stamp {
    std::string messageId;  // "Virement-20260315143005"
    std::string created;    // "2026-03-15T14:30:05"
  };
  static Stamp NextStamp();

 private:
  std::string Header(const Pain001Debtor& debtor, const Stamp& stamp) const;

  platform::TemporaryFile file_;
  std::string blocks_;
  long count_ = 0;
  long long totalCents_ = 0;
  std::string messageId_;
};
