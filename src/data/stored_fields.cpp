#include "stored_fields.h"

#include "table.h"
#include "data/table_internal.h"

StoredFields::StoredFields(const Table& table, const std::vector<int>& fields) : table_(table) {
  for (int f : fields) {
    if (f >= 1 && static_cast<std::size_t>(f) <= table.Engine().nativeFields.size()) {
      const dbase::FLDDesc& d = table.Engine().nativeFields[static_cast<std::size_t>(f - 1)];
      spans_.emplace_back(d.iOffset, static_cast<std::size_t>(d.iUnits1));
    } else {
      spans_.emplace_back(0, 0);
    }
  }
}

std::string_view StoredFields::operator[](std::size_t i) const {
  const auto& [offset, width] = spans_[i];
  const auto& buffer = table_.recordBuffer;
  if (width == 0 || offset + width > buffer.size()) return {};
  return {reinterpret_cast<const char*>(buffer.data()) + offset, width};
}

bool StoredFields::Deleted() const { return !table_.recordBuffer.empty() && table_.recordBuffer[0] == '*'; }
