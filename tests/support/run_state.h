// What a run that changes books leaves in a dossier table, as the tests of runs killed half-way
// compare it: the live records as a whole (every field as text, memos whole, in physical order),
// and whether each tag of the table's kind walks exactly the records it takes.
#pragma once

#include <algorithm>
#include <string>
#include <vector>

#include "data/table.h"
#include "data/table_structures.h"

namespace test_support {

// The live records of a table (path without extension), each as its fields' texts joined by "|".
inline std::vector<std::string> LiveRecords(const std::string& path) {
  std::vector<std::string> out;
  Table t;
  if (!t.OpenShared(path, "", true)) return {"<" + path + " ne s'ouvre pas>"};
  for (bool more = t.GoTop() && t.SkipActive(false); more; more = t.SkipActive(true)) {
    std::string record;
    for (int f = 1; f <= t.FieldCount(); ++f) {
      const char type = t.FieldType(f);
      std::string text;
      if (type == 'M') t.GetMemoText(f, text);
      else if (type == 'C' || type == 'N') text = t.GetField(f);
      record += text + "|";
    }
    out.push_back(record);
  }
  return out;
}

// "" when every tag of `kind` walks the table's records once each (every record for a tag
// without condition); otherwise the first tag that does not, with what it walked.
inline std::string TagFault(const std::string& path, TableKind kind) {
  for (const TagDef& tag : TagsToBuild(kind, false)) {
    const std::string name(tag.name);
    Table t;
    if (!t.OpenShared(path, name, true)) return name + " ne s'ouvre pas";
    const std::uint32_t count = t.RecCount();
    std::vector<std::uint32_t> walked;
    for (bool more = t.GoTop(name); more && walked.size() <= count; more = t.Skip(1)) walked.push_back(t.recordNumber);
    std::sort(walked.begin(), walked.end());
    const bool once = std::adjacent_find(walked.begin(), walked.end()) == walked.end() &&
                      (walked.empty() || (walked.front() >= 1 && walked.back() <= count));
    if (!once || (tag.condition.empty() && walked.size() != count))
      return name + ": " + std::to_string(walked.size()) + " entr\xE9" "es pour " + std::to_string(count) +
             " enregistrements";
  }
  return "";
}

}  // namespace test_support
