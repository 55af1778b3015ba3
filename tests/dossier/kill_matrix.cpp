#include "kill_matrix.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>

#include "data/dossier_files.h"
#include "data/entry_lines.h"
#include "data/session.h"
#include "data/table.h"
#include "data/table_internal.h"
#include "data/table_structures.h"
#include "demo/dossier_demo.h"
#include "entry/core/validation.h"
#include "platform/dbase/idapi.h"
#include "processing/core/opening_balances.h"
#include "runtime/dossier_record.h"
#include "runtime/inifiles.h"
#include "runtime/xbase.h"
#include "runtime/logfile.h"
#include "support/other_process.h"

namespace fs = std::filesystem;

namespace kill_matrix {
namespace {

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// The dossier tables of a folder: C10 to C70 and their like, by file name.
std::vector<fs::path> DossierTables(const std::string& folder) {
  std::vector<fs::path> tables;
  for (const auto& e : fs::directory_iterator(folder)) {
    if (!e.is_regular_file() || Lower(e.path().extension().string()) != ".dbf") continue;
    const TableKind kind = TableKindOfFileName(e.path().filename().string());
    if (kind == TableKind::DossierLock || kind == TableKind::Unknown) continue;
    tables.push_back(e.path());
  }
  std::sort(tables.begin(), tables.end());
  return tables;
}

// The record numbers a tag walks, from its first key to its last.
std::vector<std::uint32_t> Walk(dbase::hDBICur& cursor, const char* tag, dbase::DBIResult* rc) {
  std::vector<std::uint32_t> order;
  *rc = dbase::DbiSwitchToIndex(&cursor, nullptr, tag, 0, false);
  if (*rc != dbase::DBIERR_NONE) return order;
  dbase::CURProps props;
  dbase::DbiGetCursorProps(cursor, &props);
  std::vector<std::uint8_t> buffer(props.iRecBufSize + 1u);
  dbase::DbiSetToBegin(cursor);
  for (;;) {
    dbase::RECProps rec;
    const dbase::DBIResult step = dbase::DbiGetNextRecord(cursor, dbase::dbiNOLOCK, buffer.data(), &rec);
    if (step == dbase::DBIERR_EOF) break;
    if (step != dbase::DBIERR_NONE) {
      *rc = step;
      break;
    }
    order.push_back(rec.iPhyRecNum);
    if (order.size() > 10'000'000) break;  // a tag whose pages loop
  }
  return order;
}

std::string Numbers(const std::vector<std::uint32_t>& v, std::size_t most = 6) {
  std::string s;
  for (std::size_t i = 0; i < v.size() && i < most; ++i) s += (i ? " " : "") + std::to_string(v[i]);
  if (v.size() > most) s += " ...";
  return s;
}

// What differs between a tag's walk and the walk of the same tag built afresh.
std::string WalkDifference(const std::vector<std::uint32_t>& got, const std::vector<std::uint32_t>& want) {
  if (got == want) return "";
  std::vector<std::uint32_t> a = got, b = want, missing, extra;
  std::sort(a.begin(), a.end());
  std::sort(b.begin(), b.end());
  std::set_difference(b.begin(), b.end(), a.begin(), a.end(), std::back_inserter(missing));
  std::set_difference(a.begin(), a.end(), b.begin(), b.end(), std::back_inserter(extra));
  std::string text = std::to_string(got.size()) + " entries walked, " + std::to_string(want.size()) + " expected";
  if (!missing.empty()) text += "; records missing: " + Numbers(missing);
  if (!extra.empty()) text += "; records not expected: " + Numbers(extra);
  if (missing.empty() && extra.empty()) {
    // A record under a key its data no longer gives: the walk leaves the order of its keys.
    std::size_t at = 0;
    while (got[at] == want[at]) ++at;
    text += "; same records out of key order, from entry " + std::to_string(at + 1) + ": record " +
            std::to_string(got[at]) + " walked where record " + std::to_string(want[at]) + " belongs";
  }
  return text;
}

std::string EngineCode(dbase::DBIResult rc) { return "engine code " + std::to_string(rc); }

}  // namespace

DossierRecords ReadRecords(const std::string& folder, const std::set<std::string>& ignored, bool cancelled) {
  return RecordsLeavingOut(ReadNumberedRecords(folder, ignored, cancelled), {});
}

DossierRecords RecordsLeavingOut(const NumberedRecords& all, const NumberedRecords& leftOut) {
  DossierRecords out;
  static const NumberedTable none;
  for (const auto& [name, records] : all) {
    const auto left = leftOut.find(name);
    const NumberedTable& skip = left == leftOut.end() ? none : left->second;
    TableRecords& table = out[name];
    for (const auto& [recno, text] : records)
      if (skip.count(recno) == 0) table.insert(text);
  }
  return out;
}

NumberedRecords ChangedRecords(const NumberedRecords& was, const NumberedRecords& now) {
  NumberedRecords changed;
  static const NumberedTable none;
  for (const auto& [name, records] : now) {
    const auto w = was.find(name);
    const NumberedTable& before = w == was.end() ? none : w->second;
    for (const auto& [recno, text] : records) {
      const auto b = before.find(recno);
      if (b == before.end() || b->second != text) changed[name][recno] = text;
    }
  }
  return changed;
}

namespace {
// Field `f` (from 1) of a record's text as ReadNumberedRecords reads it, its cancel mark aside.
std::string FieldOfText(const std::string& text, int f) {
  std::size_t from = !text.empty() && text[0] == kCancelledMark ? 1 : 0;
  for (int i = 1; i < f && from != std::string::npos; ++i) {
    from = text.find('\x1F', from);
    if (from != std::string::npos) ++from;
  }
  if (from == std::string::npos) return "";
  return text.substr(from, text.find('\x1F', from) - from);
}
}  // namespace

NumberedRecords SortRecordsOf(const NumberedRecords& all, const NumberedRecords& lines) {
  using T = LigneTri;
  std::set<std::uint32_t> draft;
  for (const auto& [name, records] : lines)
    if (TableKindOfFileName(name) == TableKind::C50)
      for (const auto& [recno, text] : records) draft.insert(recno);
  NumberedRecords sort;
  for (const auto& [name, records] : all) {
    if (TableKindOfFileName(name) != TableKind::C60) continue;
    for (const auto& [recno, text] : records)
      if (FieldOfText(text, T::TFIC) == std::string(1, T::kDraft) &&
          draft.count(static_cast<std::uint32_t>(std::atol(FieldOfText(text, T::TREC).c_str()))) != 0)
        sort[name][recno] = text;
  }
  return sort;
}

NumberedRecords LettersBlanked(NumberedRecords all, const NumberedRecords& which) {
  using T = LigneTri;
  for (const auto& [name, records] : which) {
    if (TableKindOfFileName(name) != TableKind::C60 || all.count(name) == 0) continue;
    for (const auto& [recno, unused] : records) {
      const auto at = all[name].find(recno);
      if (at == all[name].end()) continue;
      std::string& text = at->second;
      // Fields TLET and TLETE follow one another: the text between the separators after TJAL and
      // after TLETE.
      std::size_t from = !text.empty() && text[0] == kCancelledMark ? 1 : 0;
      for (int f = 1; f < T::TLET && from != std::string::npos; ++f)
        if ((from = text.find('\x1F', from)) != std::string::npos) ++from;
      std::size_t to = from;
      for (int f = T::TLET; f <= T::TLETE && to != std::string::npos; ++f)
        if ((to = text.find('\x1F', to)) != std::string::npos && f < T::TLETE) ++to;
      if (from != std::string::npos && to != std::string::npos) text.replace(from, to - from, "\x1F");
    }
  }
  return all;
}

NumberedRecords ReadNumberedRecords(const std::string& folder, const std::set<std::string>& ignored, bool cancelled) {
  NumberedRecords out;
  for (const fs::path& dbf : DossierTables(folder)) {
    const std::string name = Lower(dbf.filename().string());
    NumberedTable& records = out[name];
    Table t;
    if (!t.OpenShared(dbf.string(), "", true)) {
      records[0] = "<" + name + " does not open: " + EngineCode(t.result) + ">";
      continue;
    }
    // Per field: left out whole, or the parts of it blanked (position from 1, length).
    std::vector<bool> skip(static_cast<std::size_t>(t.FieldCount()) + 1, false);
    std::vector<std::vector<std::pair<std::size_t, std::size_t>>> parts(skip.size());
    for (const std::string& rule : ignored) {
      const std::size_t at = rule.find('@');
      const int f = t.FieldPos(rule.substr(0, at));
      if (f == 0) continue;
      std::size_t from = 0, length = 0;
      if (at == std::string::npos)
        skip[f] = true;
      else if (std::sscanf(rule.c_str() + at + 1, "%zu:%zu", &from, &length) == 2 && from > 0)
        parts[f].emplace_back(from - 1, length);
    }
    const TableKind kind = TableKindOfFileName(name);
    const bool withCancelled = cancelled && (kind == TableKind::C50 || kind == TableKind::C60);
    for (bool more = t.GoTop(); more; more = t.Skip(1)) {
      if (t.IsDeleted() && !withCancelled) continue;
      std::string text = t.IsDeleted() ? std::string(1, kCancelledMark) : std::string();
      for (int f = 1; f <= t.FieldCount(); ++f) {
        if (!skip[f]) {
          const char type = t.FieldType(f);
          if (type == 'M') {
            std::string memo;
            t.GetMemoText(f, memo);
            text += memo;
          } else if (type == 'C' || type == 'N') {
            std::string value = t.GetField(f);
            for (const auto& [from, length] : parts[f])
              if (from < value.size()) value.replace(from, std::min(length, value.size() - from), std::min(length, value.size() - from), ' ');
            text += value;
          }
        }
        text += '\x1F';
      }
      records[t.recordNumber] = text;
    }
    t.CloseTable(true);
  }
  return out;
}

std::string RecordDifference(const DossierRecords& got, const DossierRecords& expected) {
  std::string text;
  std::set<std::string> names;
  for (const auto& [name, r] : got) names.insert(name);
  for (const auto& [name, r] : expected) names.insert(name);
  static const TableRecords none;
  for (const std::string& name : names) {
    const auto g = got.find(name), e = expected.find(name);
    const TableRecords& a = g == got.end() ? none : g->second;
    const TableRecords& b = e == expected.end() ? none : e->second;
    if (a == b) continue;
    std::vector<std::string> extra, missing;
    std::set_difference(a.begin(), a.end(), b.begin(), b.end(), std::back_inserter(extra));
    std::set_difference(b.begin(), b.end(), a.begin(), a.end(), std::back_inserter(missing));
    // The cancelled records of a change taken back, beyond those expected.
    std::erase_if(extra, [](const std::string& r) { return !r.empty() && r[0] == kCancelledMark; });
    if (extra.empty() && missing.empty()) continue;
    const long cancelledMissing = std::count_if(missing.begin(), missing.end(), [](const std::string& r) {
      return !r.empty() && r[0] == kCancelledMark;
    });
    if (!text.empty()) text += "; ";
    text += name + ": " + std::to_string(a.size()) + " records, expected " + std::to_string(b.size()) + " (" +
            std::to_string(extra.size()) + " not expected, " + std::to_string(missing.size()) + " missing";
    if (cancelledMissing > 0) text += ", " + std::to_string(cancelledMissing) + " of them cancelled";
    text += ")";
  }
  return text;
}

std::vector<std::string> TagFaults(const std::string& folder, const std::string& scratch) {
  std::vector<std::string> faults;
  fs::remove_all(scratch);
  fs::create_directories(scratch);
  for (const fs::path& dbf : DossierTables(folder)) {
    const std::string name = Lower(dbf.filename().string());
    fs::path mdx = dbf;
    mdx.replace_extension(".mdx");
    if (!fs::exists(mdx)) {
      faults.push_back(name + ": no index file");
      continue;
    }
    dbase::hDBICur cursor = nullptr;
    dbase::DBIResult rc = dbase::DbiOpenTable(DbHandle, dbf.c_str(), "DBASE", nullptr, nullptr, 0, dbase::dbiREADONLY,
                                              dbase::dbiOPENSHARED, dbase::xltFIELD, false, nullptr, &cursor);
    if (rc != dbase::DBIERR_NONE) {
      if (cursor != nullptr) dbase::DbiCloseCursor(&cursor);
      faults.push_back(name + " does not open with its index: " + EngineCode(rc));
      continue;
    }
    dbase::CURProps props;
    dbase::DbiGetCursorProps(cursor, &props);
    std::vector<dbase::IDXDesc> tags;
    for (std::uint16_t seq = 1; seq <= props.iIndexes; ++seq) {
      dbase::IDXDesc desc;
      if (dbase::DbiGetIndexDesc(cursor, seq, &desc) == dbase::DBIERR_NONE) tags.push_back(desc);
    }
    std::map<std::string, std::vector<std::uint32_t>> walked;
    for (const dbase::IDXDesc& d : tags) {
      walked[d.szTagName] = Walk(cursor, d.szTagName, &rc);
      if (rc != dbase::DBIERR_NONE) faults.push_back(name + " tag " + d.szTagName + ": walk stopped, " + EngineCode(rc));
    }
    dbase::DbiCloseCursor(&cursor);

    // Every tag its kind is given (the analytic order of C60 in either form).
    const TableKind kind = TableKindOfFileName(name);
    for (const TagDef& def : TagsToBuild(kind, false))
      if (walked.count(std::string(def.name)) == 0) faults.push_back(name + ": tag " + std::string(def.name) + " missing");

    // The same tags built afresh on a copy of the data.
    const fs::path copy = fs::path(scratch) / dbf.filename();
    fs::copy_file(dbf, copy, fs::copy_options::overwrite_existing);
    for (const char* memoExt : {".dbt", ".DBT"}) {
      fs::path memo = dbf;
      memo.replace_extension(memoExt);
      if (fs::exists(memo)) fs::copy_file(memo, fs::path(copy).replace_extension(memoExt), fs::copy_options::overwrite_existing);
    }
    dbase::DbiSetProductionIndexFlag(copy.c_str(), false);
    rc = dbase::DbiOpenTable(DbHandle, copy.c_str(), "DBASE", nullptr, nullptr, 0, dbase::dbiREADWRITE,
                             dbase::dbiOPENEXCL, dbase::xltFIELD, false, nullptr, &cursor);
    if (rc != dbase::DBIERR_NONE) {
      if (cursor != nullptr) dbase::DbiCloseCursor(&cursor);
      faults.push_back(name + ": its copy does not open to build its tags: " + EngineCode(rc));
      continue;
    }
    const std::string copyIndex = fs::path(copy).replace_extension(".mdx").string();
    for (dbase::IDXDesc d : tags) {
      std::memset(d.szName, 0, sizeof d.szName);
      std::strncpy(d.szName, copyIndex.c_str(), sizeof d.szName - 1);
      rc = dbase::DbiAddIndex(DbHandle, cursor, copy.c_str(), "DBASE", &d, nullptr);
      if (rc != dbase::DBIERR_NONE) {
        faults.push_back(name + " tag " + d.szTagName + " cannot be built afresh: " + EngineCode(rc));
        continue;
      }
      const std::vector<std::uint32_t> fresh = Walk(cursor, d.szTagName, &rc);
      const std::string diff = WalkDifference(walked[d.szTagName], fresh);
      if (!diff.empty()) faults.push_back(name + " tag " + d.szTagName + ": " + diff);
    }
    dbase::DbiCloseCursor(&cursor);
  }
  fs::remove_all(scratch);
  return faults;
}

long UnbalancedPieces(const std::string& folder, const std::string& code) {
  Table c50;
  if (!c50.OpenShared(folder + TableBaseName(TableKind::C50, code), "", true)) return -1;
  std::map<std::string, long long> balance;
  for (bool more = c50.GoTop(); more; more = c50.Skip(1)) {
    if (c50.IsDeleted() || c50.GetField(LigneEcriture::BCLE)[0] != LigneEcriture::kGeneral) continue;
    const std::string piece = std::string(c50.GetField(LigneEcriture::BMOIS)) + c50.GetField(LigneEcriture::BJAL) +
                              c50.GetField(LigneEcriture::BPIECE);
    const long long cents = std::llround(c50.GetFieldNum(LigneEcriture::BMONTANTE) * 100);
    balance[piece] += c50.GetField(LigneEcriture::BSENS)[0] == 'D' ? cents : -cents;
  }
  long unbalanced = 0;
  for (const auto& [piece, rest] : balance) unbalanced += rest != 0;
  return unbalanced;
}

std::optional<bool> OlderFormat(const std::string& folder, const std::string& code) {
  Table c10;
  if (!c10.OpenShared(folder + TableBaseName(TableKind::C10, code), "", true)) return std::nullopt;
  const bool older = RTrim(c10.FieldName(c10.FieldCount())) != std::string(kC10FormatStamp);
  c10.CloseTable(true);
  return older;
}

std::vector<std::string> Leftovers(const std::string& folder, const std::string& code) {
  std::vector<std::string> left;
  for (const auto& e : fs::directory_iterator(folder)) {
    const std::string name = e.path().filename().string();
    if (e.is_directory() && !(Lower(name).rfind("conversion-" + Lower(code) + "-", 0) == 0 && OlderFormat(folder, code) == false))
      left.push_back("folder " + name + " left");
    else if (e.is_directory())
      continue;  // the originals a conversion gone to its end keeps aside, on purpose
    else if (Lower(name).size() > 13 && Lower(name).rfind(".pack.journal") == Lower(name).size() - 13)
      left.push_back("pack journal " + name + " left");
    else if (Lower(name).find(".pack") != std::string::npos)
      left.push_back("pack file " + name + " left");
    else if (Lower(name) == "c" + Lower(code) + ".run")
      left.push_back("run marker " + name + " left");
    else if (Lower(name).size() > 7 && Lower(name).rfind(".remise") == Lower(name).size() - 7)
      left.push_back("put-back note " + name + " left");
    else if (Lower(name).size() > 6 && Lower(name).rfind(".avant") == Lower(name).size() - 6)
      left.push_back("second name of a put-back " + name + " left");
    else if (Lower(name).rfind("lignes-" + Lower(code) + "-", 0) == 0 && Lower(name).size() > 5 &&
             Lower(name).rfind(".note") == Lower(name).size() - 5)
      left.push_back("note of a change of lines " + name + " left");
  }
  std::sort(left.begin(), left.end());
  return left;
}

std::string MakeDossier(const std::string& folder, const char* code, long lines,
                        const std::function<void(DemoOptions&)>& more) {
  DemoOptions o;
  o.folder = folder;
  o.code = code;
  o.lines = lines;
  if (more) more(o);
  std::string message;
  EXPECT_TRUE(GenerateDemoDossier(o, &message)) << message;
  return o.folder + "/";
}

bool LoadAsOpened(const std::string& folder, const char* code) {
  SetDossier(folder, code);
  SetLogDossier(folder, code);
  SetDossierIniPath(PathC10(".ini"));
  if (!TableC10->OpenShared(PathC10(), "C10CODE") || !ReadC10Texts()) return false;
  if (TableC10->Seek("C10CODE", "P", "0")) {
    TheDossierRecord.Set(539, 252, TableC10->GetField(4));
    TheDossierRecord.Set(791, 252, TableC10->GetField(5));
  }
  CloseAllTables();
  return true;
}

int InChildSaying(const std::function<bool(std::string*)>& work, std::string* text) {
  int fds[2];
  if (::pipe(fds) != 0) return -1;
  const int status = test_support::RunInChild([&] {
    ::close(fds[0]);
    std::string out;
    const bool ok = work(&out);
    for (std::size_t at = 0; at < out.size();) {
      const ssize_t n = ::write(fds[1], out.data() + at, out.size() - at);
      if (n <= 0) break;
      at += static_cast<std::size_t>(n);
    }
    return ok ? 0 : 1;
  });
  ::close(fds[1]);
  text->clear();
  char buffer[4096];
  for (ssize_t n; (n = ::read(fds[0], buffer, sizeof buffer)) > 0;) text->append(buffer, static_cast<std::size_t>(n));
  ::close(fds[0]);
  return status;
}

bool ValidationMonths(std::vector<std::string>* months) {
  Table c10, c50;
  if (!c10.OpenShared(PathC10(), "C10CODE", true) || !c50.OpenShared(PathC50(), "", true)) return false;
  months->clear();
  for (const entry::DraftMonth& m : entry::ListDraftMonths(c50, c10))
    if (months->size() < 3 && m.BalancedInEuros() && m.noAccount == 0 && m.outOfYear == 0)
      months->push_back(m.journalMonth);
  return true;
}

bool OpeningSource(std::vector<processing::Collective>* collectives, processing::TrialBalance* balance) {
  Table c10, c20;
  if (!c10.OpenShared(PathC10(), "C10CODE", true) || !c20.OpenShared(PathC20(), "C20CODE", true)) return false;
  *collectives = processing::ReadCollectives(c10);
  *balance = processing::ComputeTrialBalance(c20, *collectives);
  return true;
}

const char* FaultName(platform::WriteFault f) {
  switch (f) {
    case platform::WriteFault::kKill:
      return "killed";
    case platform::WriteFault::kFullOnce:
      return "ENOSPC";
    case platform::WriteFault::kFailOnce:
      return "EIO";
    case platform::WriteFault::kPartOnce:
      return "part-written";
    case platform::WriteFault::kReadFailOnce:
      return "EIO on a read";
    default:
      return "read-only";
  }
}

}  // namespace kill_matrix
