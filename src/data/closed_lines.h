// Lines moving between the entry files: a draft line of C50 becoming a closed line of C40 (the
// validation of journals, the closed months of the generator), the sort file C60 written again
// from both, and the rewrite of several fields of one record with a single write.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

class FieldMap;
class Table;

// Fields copied from the bytes of one table's record into another table's record bytes, each as
// the source's GetField gives its text and the target's PutField writes it (a text field byte for
// byte up to a first zero byte, then blank-padded; a number formatted, then read again), with no
// table call per field. An amount goes over as CopyNumberField (record_fields.h) copies it: its
// cents as StoredAmountCents reads them, or its bytes when they do not read as a number. Made
// once per pair of open tables; usable() is false when a pair is not of text or number fields
// (the caller then copies through the tables).
class FieldTextCopy {
 public:
  FieldTextCopy(Table& source, Table& target) : source_(source), target_(target) {}
  // Source field `s` into target field `t` (both 1-based); a t of 0 is left out.
  void Add(int s, int t);
  bool usable() const { return usable_; }
  // False when a number did not fit its target field (the other fields are written still).
  bool Apply(const std::uint8_t* source, std::uint8_t* target) const;
  // A text written into a field of a target record as the target's PutField writes it.
  bool Put(int t, const char* text, std::uint8_t* target) const;

 private:
  struct Step {
    int s, t;
    std::uint16_t sOffset, sWidth, tOffset, tWidth;
    int sDecimals;
    bool raw;         // text into text: bytes copied
    bool sameNumber;  // number into a number of the same width and decimals
    bool amount;      // number of at most two decimals into a number
    // At the first step of a run of text fields of one width, contiguous in both records: the
    // steps of the run and their bytes (0 elsewhere).
    std::size_t runSteps = 0;
    std::size_t runWidth = 0;
  };
  static constexpr std::size_t kNoRun = static_cast<std::size_t>(-1);
  Table& source_;
  Table& target_;
  std::vector<Step> steps_;
  bool usable_ = true;
  std::size_t runHead_ = kNoRun;  // the step whose run the next text field may join
};

// Appends the current record of the draft `c50` to the closed file `c40` by field names (the
// C40 layout is the draft's under names beginning with "D"; BREC and BVENT have no place there),
// then sets its validation date DVALID (field 23) to `validationDate` (a stored YYMMDD date).
// With `queued` the record joins c40's queue (Table::QueueRecord, a table opened exclusively)
// instead of being inserted at once. False when a field, the date or the insert failed.
bool AppendClosedLine(Table& c50, Table& c40, const std::string& validationDate, bool queued = false);
// The same with the map of C50 onto C40 made beforehand (FieldMap(c50, c40, 1, Numbers::AsText)),
// for a run appending many lines.
bool AppendClosedLine(const FieldMap& map, Table& c50, Table& c40, const std::string& validationDate,
                      bool queued = false);
// The same for a run queueing many lines on c40 (opened exclusively), from the draft record's
// bytes as stored (`record`, a record of c50): `copy` is FieldTextCopy(c50, c40) with the pairs
// of FieldMap(c50, c40, 1), usable. Writes the same record as the calls above.
bool QueueClosedLine(const FieldTextCopy& copy, const std::uint8_t* record, Table& c40,
                     const std::string& validationDate);
// The FieldTextCopy of C50 onto C40 by field names, as AppendClosedLine maps them.
void AddClosedLinePairs(FieldTextCopy& copy, const FieldMap& map, int sourceFields);

// The sort file written again from the lines: `c60` (opened exclusively, without a tag) is
// emptied, then gets one record per physical line of `c40` ("C"), then of `c50` ("B"), derived
// by DeriveLigneTri, a deleted line giving a deleted sort record; the records are written in
// batches and the tags built at the end, as the rebuild refills it. `c40` and `c50` are open
// (without a tag is fastest). `step` (may be empty) is called with the lines done so far. False
// when a write or the tags failed; c60 is left closed.
bool RefillSortRecords(Table& c40, Table& c50, Table& c60, const std::function<void(long)>& step = {});

// One field of a record to write: a text, or a number when `number` is set.
struct FieldWrite {
  int field;
  std::string text;
  bool number = false;
  double value = 0;
};
// Writes the fields into the current record's buffer, then the record with one write, so that no reader
// sees it half rewritten. The record is held locked by the caller, or the table is exclusive. An engine
// error is reported (naming the field that was refused); false then.
bool WriteRecordFields(Table& table, const std::vector<FieldWrite>& fields);
