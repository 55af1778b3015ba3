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
