// Table object: memo fields. A memo is read and written whole; while a record is being
// appended its memo texts wait in the engine's memo buffers and are written by the insert.
#include <algorithm>

#include "data/error_report.h"
#include "data/session.h"
#include "data/table.h"
#include "data/table_internal.h"
#include "runtime/xbase.h"

using namespace dbase;

namespace {

// Reads up to `limit` bytes of memo `field` of the record in `buf`; `open` says whether the
// memo buffer must be opened (and freed) for the read.
DBIResult ReadBlob(hDBICur cursor, std::uint8_t* buf, int field, std::uint32_t mode, bool open,
                   std::size_t limit, std::string& out) {
  out.clear();
  const auto f = static_cast<std::uint16_t>(field);
  DBIResult rc = DBIERR_NONE;
  if (open) rc = DbiOpenBlob(cursor, buf, f, static_cast<DBIOpenMode>(mode));
  if (rc != DBIERR_NONE) return rc;
  std::uint32_t size = 0;
  rc = DbiGetBlobSize(cursor, buf, f, &size);
  if (rc == DBIERR_NONE) {
    const std::size_t want = std::min<std::size_t>(size, limit);
    out.resize(want);
    std::uint32_t read = 0;
    rc = DbiGetBlob(cursor, buf, f, 0, static_cast<std::uint32_t>(want), out.data(), &read);
    out.resize(rc == DBIERR_NONE ? read : 0);
  }
  if (open) DbiFreeBlob(cursor, buf, f);
  return rc;
}

}  // namespace

const char* Table::GetMemo(int field, int maximum) {
  if (TypeOf(field) != 'M') {
    ShowLayerError(11900, ValidField(field) ? engine_->logicalFields[static_cast<std::size_t>(field - 1)].szName : "");
    return EmptyText;
  }
  // The memo buffer holds 32,768 bytes: a larger maximum is cut to it.
  const std::size_t limit = std::min<std::size_t>(static_cast<std::size_t>(std::max(0, maximum)), kMemoBufferRoom);
  const bool pending = std::find(appendBlobs_.begin(), appendBlobs_.end(), field) != appendBlobs_.end();
  result = ReadBlob(engine_->cursor, Buffer(), field, openMode, !pending, limit, MemoBuffer);
  if (result != DBIERR_NONE) {
    MemoBuffer.clear();
    return EmptyText;
  }
  // The text ends at its first end-of-file mark.
  const std::size_t eofMark = MemoBuffer.find('\x1A');
  if (eofMark != std::string::npos) MemoBuffer.resize(eofMark);
  return MemoBuffer.c_str();
}

bool Table::GetMemoText(int field, std::string& text) {
  text.clear();
  if (TypeOf(field) != 'M') {
    ShowLayerError(11900, ValidField(field) ? engine_->logicalFields[static_cast<std::size_t>(field - 1)].szName : "");
    return false;
  }
  const bool pending = std::find(appendBlobs_.begin(), appendBlobs_.end(), field) != appendBlobs_.end();
  result = ReadBlob(engine_->cursor, Buffer(), field, openMode, !pending, static_cast<std::size_t>(-1), text);
  return result == DBIERR_NONE;
}

bool Table::PutMemo(int field, const char* text) {
  if (text == nullptr) {
    ShowLayerError(2001, "");
    return false;
  }
  return PutMemoText(field, text);
}

bool Table::PutMemoText(int field, std::string_view text) {
  if (TypeOf(field) != 'M') {
    ShowLayerError(2002, ValidField(field) ? engine_->logicalFields[static_cast<std::size_t>(field - 1)].szName : "");
    return false;
  }
  return WriteMemo(field, text);
}

bool Table::WriteMemo(int field, std::string_view text) {
  // Written at once (not with an append or a rewrite): the record is written with it.
  if (!appending && tablelayer::BooksWriteRefused(*this, BooksWrite::Field, field)) return false;
  const auto f = static_cast<std::uint16_t>(field);
  std::uint8_t* buf = Buffer();
  const auto pendingAt = std::find(appendBlobs_.begin(), appendBlobs_.end(), f);
  const bool pending = pendingAt != appendBlobs_.end();
  result = pending ? DBIERR_NONE : DbiOpenBlob(engine_->cursor, buf, f, static_cast<DBIOpenMode>(openMode));
  if (result != DBIERR_NONE) return false;
  std::uint32_t oldSize = 0;
  result = DbiGetBlobSize(engine_->cursor, buf, f, &oldSize);
  if (result == DBIERR_NONE && !text.empty())
    result = DbiPutBlob(engine_->cursor, buf, f, 0, static_cast<std::uint32_t>(text.size()), text.data());
  if (result == DBIERR_NONE && text.size() != oldSize)
    result = DbiTruncateBlob(engine_->cursor, buf, f, static_cast<std::uint32_t>(text.size()));
  if (appending) {
    // The insert writes the memo with the new record; nothing else is touched.
    if (result == DBIERR_NONE) {
      if (!pending) appendBlobs_.push_back(f);
      return true;
    }
    DbiFreeBlob(engine_->cursor, buf, f);
    if (pending) appendBlobs_.erase(pendingAt);
    return false;
  }
  if (result == DBIERR_NONE) result = DbiModifyRecord(engine_->cursor, buf, false);
  const DBIResult rc = result;
  DbiFreeBlob(engine_->cursor, buf, f);  // also drops an unwritten text after a failure
  result = rc;
  return rc == DBIERR_NONE;
}

void Table::FreeAppendBlobs() {
  if (engine_->cursor != nullptr && !recordBuffer.empty())
    for (std::uint16_t f : appendBlobs_) DbiFreeBlob(engine_->cursor, Buffer(), f);
  appendBlobs_.clear();
}
