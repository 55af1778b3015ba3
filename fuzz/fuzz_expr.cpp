// Parses the first line of the input as a key or condition expression and evaluates it over
// the rest taken as a record. Nothing may crash, hang or read out of bounds.
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "expr.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const dbase::RecordLayout layout = {
      {"CODE", 'C', 1, 8, 0},     {"NAME", 'C', 9, 20, 0}, {"KIND", 'C', 29, 1, 0},
      {"AMOUNT", 'N', 30, 10, 2}, {"DAY", 'D', 40, 8, 0},  {"OK", 'L', 48, 1, 0},
  };
  const std::string_view in(reinterpret_cast<const char*>(data), size);
  const std::size_t nl = in.find('\n');
  const std::string_view text = in.substr(0, nl);
  std::vector<std::uint8_t> record(dbase::RecordLength(layout), ' ');
  if (nl != std::string_view::npos) {
    const std::string_view rest = in.substr(nl + 1);
    std::memcpy(record.data(), rest.data(), std::min(rest.size(), record.size()));
  }
  dbase::ExprError err;
  auto e = dbase::Expression::Parse(text, layout, &err);
  if (!e) return 0;
  dbase::ExprValue v;
  e->Evaluate(record.data(), &v);
  e->IsTrue(record.data());
  std::string key(e->length(), '\0');
  e->EvaluateText(record.data(), key.data());
  return 0;
}
