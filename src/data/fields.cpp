// Table object: fields by number and name, and the field descriptors.
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "data/error_report.h"
#include "data/record_fields.h"
#include "data/session.h"
#include "data/table.h"
#include "data/table_internal.h"
#include "data/unread_amounts.h"
#include "runtime/numbers.h"
#include "runtime/xbase.h"

using namespace dbase;

namespace {

// Text of the descriptor boxes: the field number printed "%5i", from its third character.
std::string NumberText(int field) { return tablelayer::Int5(field).substr(2); }

}  // namespace

char Table::TypeOf(int field) const {
  if (!ValidField(field)) return 'U';
  return FieldTypeLetter(engine_->logicalFields[static_cast<std::size_t>(field - 1)].iFldType);
}

const char* Table::GetField(int field) {
  const char type = TypeOf(field);
  if (type == 'C' && !recordBuffer.empty()) {
    // Read here from the record, as the engine would give it padded back to the width: the bytes
    // up to the first NUL, blanks past it. Blank when every byte is a blank or a NUL.
    const FieldLayout& d = Layout(field);
    const std::size_t width = static_cast<std::size_t>(std::max<int>(0, d.width));
    if (static_cast<std::size_t>(d.offset) + width < recordBuffer.size()) {
      char* out = FieldRing.Next(std::max<std::size_t>(FieldRingBuffers::kRoom, width + 1));
      std::memcpy(out, recordBuffer.data() + d.offset, width);
      out[width] = 0;
      if (char* nul = static_cast<char*>(std::memchr(out, 0, width)); nul != nullptr) std::memset(nul, ' ', out + width - nul);
      blank = width == 0 || (out[0] == ' ' && std::memcmp(out, out + 1, width - 1) == 0);
      result = DBIERR_NONE;
      return out;
    }
  }
  if (type == 'C') {
    const int width = std::max<int>(0, Layout(field).width);
    char* out = FieldRing.Next(std::max<std::size_t>(FieldRingBuffers::kRoom, static_cast<std::size_t>(width) + 1));
    bool isBlank = false;
    result = DbiGetField(engine_->cursor, static_cast<std::uint16_t>(field), Buffer(), out, &isBlank);
    blank = isBlank;
    if (result != DBIERR_NONE) return EmptyText;
    std::size_t n = std::strlen(out);
    if (n < static_cast<std::size_t>(width)) {
      std::memset(out + n, ' ', static_cast<std::size_t>(width) - n);
      out[width] = 0;
    }
    return out;
  }
  if (type == 'N') {
    const FieldLayout& d = Layout(field);
    const int width = std::max<int>(1, d.width);
    const double value = GetFieldNum(field);
    char* out = FieldRing.Next(std::max<std::size_t>(FieldRingBuffers::kRoom, static_cast<std::size_t>(width) + 1));
    char format[32];
    std::snprintf(format, sizeof format, "%%%d.%df", width, std::max<int>(0, d.decimals));
    int n = std::snprintf(out, FieldRingBuffers::kRoom, format, value);
    if (n < 0 || n > width) return Replicate("*", width);
    return out;
  }
  ShowLayerError(11500, ValidField(field) ? engine_->logicalFields[static_cast<std::size_t>(field - 1)].szName : "");
  return EmptyText;
}

double Table::GetFieldNum(int field) {
  if (TypeOf(field) != 'N') {
    ShowLayerError(11700, ValidField(field) ? engine_->logicalFields[static_cast<std::size_t>(field - 1)].szName : "");
    return 0;
  }
  // Read while a report's export watches: a stored text that does not read as a number is noted
  // with its record, however the caller goes on to use the value.
  if (WatchingUnreadAmounts()) {
    const FieldLayout& d = Layout(field);
    const std::size_t width = static_cast<std::size_t>(std::max<int>(0, d.width));
    if (d.offset + width <= recordBuffer.size() &&
        !StoredAmountReads(*this, field, Buffer()))
      NoteUnreadAmount(*this, field, Buffer(), recordNumber);
  }
  double value = 0;
  bool isBlank = false;
  result = DbiGetField(engine_->cursor, static_cast<std::uint16_t>(field), Buffer(), &value, &isBlank);
  blank = isBlank;
  if (result != DBIERR_NONE || isBlank) return 0;
  return value;
}

bool Table::PutField(int field, const char* text) {
  const char type = TypeOf(field);
  if (type == 'N') return PutFieldNum(field, Val(text != nullptr ? text : ""));
  if (type != 'C') {
    ShowLayerError(11600, ValidField(field) ? engine_->logicalFields[static_cast<std::size_t>(field - 1)].szName : "");
    return false;
  }
  result = DbiPutField(engine_->cursor, static_cast<std::uint16_t>(field), Buffer(), text != nullptr ? text : "");
  if (result == DBIERR_NONE && !appending) tablelayer::ModifyCurrentRecord(*this, field);
  return result == DBIERR_NONE;
}

bool Table::PutFieldNum(int field, double value) {
  if (TypeOf(field) != 'N') {
    ShowLayerError(11800, ValidField(field) ? engine_->logicalFields[static_cast<std::size_t>(field - 1)].szName : "");
    return false;
  }
  result = DbiPutField(engine_->cursor, static_cast<std::uint16_t>(field), Buffer(), &value);
  if (result == DBIERR_NONE && !appending) tablelayer::ModifyCurrentRecord(*this, field);
  return result == DBIERR_NONE;
}

bool Table::PutFieldPart(int field, int position, int length, const char* text) {
  const char type = TypeOf(field);
  if (type != 'C' && type != 'N') {
    ShowLayerError(11600, ValidField(field) ? engine_->logicalFields[static_cast<std::size_t>(field - 1)].szName : "");
    return false;
  }
  std::string work = GetField(field);
  Stuff(work, position, length, text != nullptr ? text : "");
  return PutField(field, work.c_str());
}

const char* Table::RecordToText(int k) {
  PathBuffer.clear();
  for (int f = std::min(k, FieldCount()); f >= 1; --f) {
    const char type = TypeOf(f);
    if (type == 'C' || type == 'N') PathBuffer += GetField(f);
  }
  return PathBuffer.c_str();
}

// ---------------------------------------------------------------- descriptors

const char* Table::FieldName(int field) {
  if (field == 0) {
    ShowLayerError(12900, NumberText(field).c_str(), false);
    return EmptyText;
  }
  if (!ValidField(field)) {
    ShowLayerError(12901, NumberText(field).c_str(), false);
    return EmptyText;
  }
  return engine_->logicalFields[static_cast<std::size_t>(field - 1)].szName;
}

int Table::FieldPos(std::string_view name) const {
  const std::string key = tablelayer::FieldKey(name);
  for (int i = 1; i <= FieldCount(); ++i)
    if (tablelayer::FieldKey(engine_->logicalFields[static_cast<std::size_t>(i - 1)].szName) == key) return i;
  return 0;
}

char Table::FieldType(int field) {
  if (field == 0) {
    ShowLayerError(12902, NumberText(field).c_str(), false);
    return 'U';
  }
  return TypeOf(field);
}

int Table::FieldWidth(int field) {
  if (field == 0) {
    ShowLayerError(12903, NumberText(field).c_str(), false);
    return 0;
  }
  return ValidField(field) ? Layout(field).width : 0;
}

int Table::FieldDecimals(int field) {
  if (field == 0) {
    ShowLayerError(12904, NumberText(field).c_str(), false);
    return 0;
  }
  return ValidField(field) ? Layout(field).decimals : 0;
}
