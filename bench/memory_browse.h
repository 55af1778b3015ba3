// A list over records held in memory, ordered by code: the data source of
// the list benchmark.
#pragma once

#include <string>
#include <vector>

#include "framework/browse.h"
#include "runtime/xbase.h"

struct MemoryRecord {
  long recno = 0;
  std::string code;
  std::string name;
  bool cancelled = false;
};

// Records "C0000001" ... in code order with a cursor (-1: no current
// record); physical numbers run backwards so that they never equal the ranks.
struct MemorySource {
  std::vector<MemoryRecord> records;
  long cur = -1;

  static MemorySource Make(long count) {
    MemorySource s;
    s.records.reserve(static_cast<std::size_t>(count));
    for (long i = 0; i < count; ++i) {
      const std::string digits = std::to_string(i + 1);
      s.records.push_back({count - i, "C" + std::string(7 - digits.size(), '0') + digits, "Compte " + digits, false});
    }
    return s;
  }
  long Size() const { return static_cast<long>(records.size()); }
  bool Valid() const { return cur >= 0 && cur < Size(); }
  // The position of a record number, -1 when there is none.
  long PositionOf(long recno) const { return recno > 0 && recno <= Size() ? Size() - recno : -1; }
  void GoTo(long recno) { cur = PositionOf(recno); }
};

// Columns: marker, code (8), name (20).
inline BrowseColumnTable MemoryColumns() {
  BrowseColumnTable t = MakeColumnTable(3, 1);
  DefineColumn(t, 1, 2, "", 'C', 'C', 0, 0, 0);
  DefineColumn(t, 2, 10, "Code", 'C', 'G', 1, 0, 8);
  DefineColumn(t, 3, 22, "Nom du compte", 'C', 'G', 2, 0, 20);
  return t;
}

class MemoryBrowse : public CMDIBrowse {
 public:
  MemoryBrowse(gui::MDIClient* client, MemorySource& source, const BrowseColumnTable& columns, int ownSlot = 0,
               int partnerSlot = 0)
      : CMDIBrowse(client, "Liste", &columns, ownSlot, 40, partnerSlot), src_(source) {
    keyWidth = 8;
    listName = "T";
    Store().totalRows = source.Size();
  }

  // Codes of the rows shown, trimmed ("" for an empty row).
  std::vector<std::string> VisibleCodes() const {
    std::vector<std::string> out;
    for (const std::string& r : Store().rows) out.push_back(r.size() > 7 ? std::string(AllTrim(r.substr(7, 8).c_str())) : std::string());
    return out;
  }

  bool SeekTypedKey(char c) override {
    const std::string text = TypeAheadChar(c);
    LocateRowByKey(nullptr, text, 1, 1, 1);
    return true;
  }
  bool HasCurrentRecord(::Table*) override { return src_.Valid(); }
  std::string GetRecordKey(::Table*, int start, int length, int) override {
    std::string code = src_.records[static_cast<std::size_t>(src_.cur)].code;
    code.resize(8, ' ');
    return Ordering().MapThroughOrderingTable(code.substr(static_cast<std::size_t>(start - 1), static_cast<std::size_t>(length)));
  }
  void ReloadRow(BrowseRows& rows, int i, long recno) override {
    src_.GoTo(recno);
    Build(rows, i);
  }
  void FillRowsForward(BrowseRows& rows, int first, int count, long recno) override {
    if (recno != 0) {
      src_.GoTo(recno);
      if (src_.Valid()) ++src_.cur;
    }
    for (int i = first; i < first + count; ++i) {
      Build(rows, i);
      if (src_.Valid()) ++src_.cur;
    }
  }
  void FillRowsFromFirst(BrowseRows& rows, int first, int count) override {
    src_.cur = src_.Size() > 0 ? 0 : -1;
    FillRowsForward(rows, first, count, 0);
  }
  void FillRowsFromLast(BrowseRows& rows, int last, int count) override {
    if (src_.Size() < count) return FillRowsFromFirst(rows, last - count + 1, count);
    src_.cur = src_.Size() - 1;
    for (int i = last; i > last - count; --i) {
      Build(rows, i);
      if (src_.Valid()) --src_.cur;
    }
  }
  std::string GetCellText(int field, std::uint32_t, std::uint32_t v2, int) override {
    const MemoryRecord& r = src_.records[static_cast<std::size_t>(src_.cur)];
    std::string t = field == 1 ? r.code : r.name;
    t.resize(v2, ' ');
    return t;
  }
  void PositionOnRecord(long recno, int) override { src_.GoTo(recno); }
  void SkipRecords(long n) override {
    if (!src_.Valid()) return;
    src_.cur += n;
    if (src_.cur < 0 || src_.cur >= src_.Size()) src_.cur = -1;
  }

  // The concrete list's cancel and reactivate.
  void CmAnnuler() { SetCancelled(true); }
  void CmReactiver() { SetCancelled(false); }
  static const gui::ResponseTable& Table() {
    static const gui::ResponseTable table = gui::ResponseTable(&CMDIBrowse::Table())
                                                .Command(browse_cmd::Annuler, &MemoryBrowse::CmAnnuler)
                                                .Command(browse_cmd::Reactiver, &MemoryBrowse::CmReactiver);
    return table;
  }
  const gui::ResponseTable& Responses() const override { return Table(); }

 private:
  void Build(BrowseRows& rows, int i) {
    if (i < 0) return;
    if (static_cast<std::size_t>(i) >= rows.size()) rows.resize(static_cast<std::size_t>(i) + 1);
    if (!src_.Valid()) {
      rows[static_cast<std::size_t>(i)].clear();
      return;
    }
    const MemoryRecord& r = src_.records[static_cast<std::size_t>(src_.cur)];
    BuildRowText(rows, i, r.recno, r.cancelled);
  }
  void SetCancelled(bool on) {
    const long recno = PositionOnSelectedRow(0);
    if (recno == 0) return;
    src_.records[static_cast<std::size_t>(src_.PositionOf(recno))].cancelled = on;
    CmRafraichir();
  }

  MemorySource& src_;
};
