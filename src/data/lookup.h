// The answer of a look-up: the record is found, there is no such record, or the look-up was refused (a
// read the system refused, a damaged index, a closed table) and nothing is known of the record.
//
// It converts to no bool, neither implicitly nor explicitly: a caller tests the answer it means. One
// that takes a refusal for "none", because the refusal is said elsewhere (a watch of the refused reads
// around it, a check of `result` after it), writes FoundOrNone(), which says so where it stands.
#pragma once

#include <cstdint>

class Lookup {
 public:
  enum class Answer : std::uint8_t { kFound, kNotFound, kRefused };

  static Lookup Found() { return Lookup(Answer::kFound, 0); }
  static Lookup NotFound(std::uint16_t result = 0) { return Lookup(Answer::kNotFound, result); }
  // `result`: the engine's code of the refusal (table_results.h), never 0.
  static Lookup Refused(std::uint16_t result) { return Lookup(Answer::kRefused, result); }

  Answer answer() const { return answer_; }
  bool IsFound() const { return answer_ == Answer::kFound; }
  bool IsNotFound() const { return answer_ == Answer::kNotFound; }
  bool IsRefused() const { return answer_ == Answer::kRefused; }
  // True only when found: a refusal is taken for "none" here, knowingly (see above).
  bool FoundOrNone() const { return answer_ == Answer::kFound; }
  // The engine's code: 0 when found, that of the miss or of the refusal otherwise.
  std::uint16_t result() const { return result_; }

  // Found and `also` holds: the record found is the one wanted. Not found stays so, and so does a
  // refusal; found but not wanted is not found.
  Lookup And(bool also) const { return answer_ == Answer::kFound && !also ? NotFound() : *this; }

  friend bool operator==(const Lookup& a, const Lookup& b) { return a.answer_ == b.answer_; }
  friend bool operator!=(const Lookup& a, const Lookup& b) { return a.answer_ != b.answer_; }

 private:
  Lookup(Answer answer, std::uint16_t result) : answer_(answer), result_(result) {}
  Answer answer_;
  std::uint16_t result_;
};

// What Table::MatchRecordKey found on the current record: no record (before the first, past the last,
// or no length asked), a key that differs, or the key with the record live, cancelled, or its delete
// mark unread (the system refused the read: the key was read with the record, the mark is unknown).
// It converts to nothing, so a refused read cannot be taken for a cancelled record.
class KeyMatch {
 public:
  enum class Answer : std::uint8_t { kNoRecord, kDiffers, kLive, kCancelled, kRefused };

  static KeyMatch NoRecord() { return KeyMatch(Answer::kNoRecord, 0); }
  static KeyMatch OtherKey() { return KeyMatch(Answer::kDiffers, 0); }
  static KeyMatch Live() { return KeyMatch(Answer::kLive, 0); }
  static KeyMatch Cancelled() { return KeyMatch(Answer::kCancelled, 0); }
  static KeyMatch Refused(std::uint16_t result) { return KeyMatch(Answer::kRefused, result); }

  Answer answer() const { return answer_; }
  bool IsLive() const { return answer_ == Answer::kLive; }
  bool IsCancelled() const { return answer_ == Answer::kCancelled; }
  bool IsRefused() const { return answer_ == Answer::kRefused; }
  // The record carries the key, whatever its mark (live, cancelled or unread).
  bool HoldsKey() const { return answer_ >= Answer::kLive; }
  // No record here, or one with another key: a walk of the key ends.
  bool OffKey() const { return answer_ < Answer::kLive; }
  // As a look-up of a live record of the key: found when live, refused when its mark was not read,
  // not found otherwise.
  Lookup AsLive() const {
    return IsLive() ? Lookup::Found() : IsRefused() ? Lookup::Refused(result_) : Lookup::NotFound();
  }
  // The engine's code of the refused read, 0 otherwise.
  std::uint16_t result() const { return result_; }

 private:
  KeyMatch(Answer answer, std::uint16_t result) : answer_(answer), result_(result) {}
  Answer answer_;
  std::uint16_t result_;
};
