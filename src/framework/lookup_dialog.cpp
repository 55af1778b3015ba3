#include "framework/lookup_dialog.h"

#include <algorithm>
#include <cstdlib>

#include "controls/mcontrols.h"
#include "data/session.h"
#include "data/table.h"
#include "platform/gui/application.h"
#include "platform/gui/cursor.h"
#include "resources/string_table.h"
#include "runtime/code_helpers.h"
#include "runtime/dossier_record.h"
#include "runtime/xbase.h"

namespace {
// The texts shown here, by their ids in the string table.
constexpr int kRowCountSuffix = 102;

constexpr int kRowLimitConstant = 30;
constexpr int kOverflowText = 22296;

struct ListedTable {
  Table* table = nullptr;
  const char* tag = "";
  int codeField = 1;
  int nameField = 2;
  bool byKind = false;  // C10: records of one kind (field 1)
};

ListedTable TableOfSelector(char selector) {
  switch (selector) {
    case '1': return {TableC10, "C10CODE", 2, 3, true};
    case '2': return {TableC20, "C20CODE", 1, 2, false};
    case '3': return {TableC30, "C30CODE", 1, 2, false};
    case 'Y': return {TableCE0, "CE0CODE", 1, 2, false};
    case 'Z': return {TableCE1, "CE0CODE", 1, 2, false};
    default: return {};
  }
}

bool BeginsWith(const std::string& text, const std::string& prefix) {
  return text.size() >= prefix.size() && text.compare(0, prefix.size(), prefix) == 0;
}
}  // namespace

char LookupSelectorOf(const std::string& kind) {
  const char k = kind.empty() ? ' ' : kind[0];
  switch (k) {
    case '2': return '2';
    case '3': return '3';
    case 'Y': return 'Y';
    case 'Z': return 'Z';
    case 'C': return '4';
    case '5': return '5';
    default: return '1';
  }
}

int LookupRowLimit(const std::string& typed) {
  if (!IsBlank(typed)) return 0;
  const std::string c = TheDossierRecord.Constant(kRowLimitConstant);
  if (c.empty() || c[0] == 'O' || c[0] == 'N') return 0;
  return std::max(0, std::atoi(c.c_str()));
}

LookupRows CollectLookupRows(char selector, const std::string& kind, const std::string& typed, int maxRows) {
  LookupRows out;
  const ListedTable lt = TableOfSelector(selector);
  if (lt.table == nullptr || !lt.table->isOpen) return out;
  Table& t = *lt.table;
  const std::string letter = lt.byKind ? kind.substr(0, 1) : std::string();
  auto ofKind = [&]() { return !lt.byKind || std::string(t.GetField(1)).compare(0, 1, letter) == 0; };
  auto code = [&]() { return std::string(RTrim(t.GetField(lt.codeField))); };

  // Position on the first record of the kind, or on the first code that
  // begins with the search text, shortening the text until one does.
  std::string s = RTrim(typed.c_str());
  bool positioned = false;
  if (IsBlank(s)) {
    s.clear();
    positioned = lt.byKind ? t.Find(lt.tag, letter.c_str()).IsFound() : t.GoTop(lt.tag);
  } else {
    while (!s.empty()) {
      if ((lt.byKind ? t.Find(lt.tag, letter.c_str(), s.c_str()) : t.Find(lt.tag, s.c_str())).IsFound()) {
        // Is there a live record of the kind whose code begins with s?
        const std::uint32_t first = t.recordNumber;
        bool found = false;
        while (!t.eof && ofKind() && BeginsWith(code(), s)) {
          // A list to choose from: a record whose mark is not read is left out; the one chosen is read again.
          if (t.LiveHere().FoundOrNone()) {
            found = true;
            break;
          }
          t.Skip(1);
        }
        if (found) {
          positioned = t.GoToRecord(static_cast<long>(first)).IsFound();
          break;
        }
      }
      s.pop_back();
    }
  }
  out.search = s;
  if (!positioned) return out;

  while (!t.eof && t.recordNumber != 0) {
    if (!ofKind()) break;
    const std::string c = code();
    if (!s.empty() && !BeginsWith(c, s)) break;
    if (t.LiveHere().FoundOrNone()) {
      if (maxRows > 0
 && static_cast<int>(out.rows.size()) >= maxRows) {
        out.rows.push_back(std::string("\t") + LoadStr(kOverflowText) + StrInt(maxRows, 5));
        break;
      }
      out.rows.push_back(c + "\t" + RTrim(t.GetField(lt.nameField)));
      out.longestCode = std::max(out.longestCode, static_cast<int>(c.size()));
    }
    if (!t.Skip(1)) break;
  }
  return out;
}

// ---- the dialog -----------------------------------------------------------------

TDAideFichier::TDAideFichier(gui::Window* parent, const char*, const std::string& kind, int codeWidth,
                             std::string* result, const char* selectText)
    : TDNuv(parent, kLookupDialogId, true),
      result_(result),
      select_(selectText != nullptr ? selectText : ""),
      startText_(result != nullptr ? *result : std::string()),
      kind_(kind),
      codeWidth_(std::max(codeWidth, 0)),
      title_(new MRStatic(kOnTemplate, this, kLookupTitleId)),
      list_(new MListBox(kOnTemplate, this, kLookupListId)),
      search_(new MStatic(kOnTemplate, this, kLookupSearchId)),
      count_(new MStatic(kOnTemplate, this, kLookupCountId)) {
  searchMode_ = 'C';
  selector_ = LookupSelectorOf(kind_);
  maxRows_ = LookupRowLimit(startText_);
}

int TDAideFichier::Execute(unsigned flags) {
  rows_ = CollectLookupRows(selector_, kind_, startText_, maxRows_);
  if (rows_.rows.empty()) {
    // Nothing to choose from: the dialog ends cancelled at once.
    gui::SetArrowCursor();
    gui::MessageBeep(0);
    return gui::IDCANCEL;
  }
  return TDNuv::Execute(flags);
}

void TDAideFichier::SetupWindow() {
  TDNuv::SetupWindow();
  list_->SetNotify(this, gui::IDOK, 0, 0);
  title_->SetText(FileTitleForType(kind_.c_str()));
  title_->DrawFrame();
  for (const std::string& row : rows_.rows) list_->AddString(row);
  if (!rows_.rows.empty()) {
    // One tab stop behind the longest code (and a blank), in the list's characters.
    list_->SetTabStop((rows_.longestCode + 1) * Units().baseX);
    const std::string prefix = !IsBlank(select_) ? select_ : std::string(RTrim(startText_.c_str()));
    const int at = list_->FindString(prefix, -1);
    if (at != gui::LB_ERR) list_->SetSelIndex(at);
    if (!rows_.search.empty()) search_->SetText("'" + rows_.search + "'");
    count_->SetText(std::string(StrInt(static_cast<int>(rows_.rows.size()), 5)) + Left(LoadStr(kRowCountSuffix), 9));
  }
  gui::SetArrowCursor();
}

void TDAideFichier::CmOk() {
  okPressed_ = true;
  TDNuv::CmOk();
  okPressed_ = false;
}

bool TDAideFichier::CanClose() {
  // Only OK hands a code back; the close box and Abandon end as cancelled.
  if (!okPressed_) return true;
  const int i = list_->GetSelIndex();
  if (i == gui::LB_ERR) {
    gui::MessageBeep(0);
    return false;
  }
  std::string row = list_->GetString(i);
  row = row.substr(0, row.find('\t'));
  if (static_cast<int>(row.size()) > codeWidth_) row.resize(static_cast<std::size_t>(codeWidth_));
  if (result_ != nullptr) *result_ = row;
  return true;
}
