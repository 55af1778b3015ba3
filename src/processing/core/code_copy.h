// The copy of a code range of one list between the open dossier and another dossier: the codes
// of a kind kept in the general file C10, the accounts of the chart C20 or the analytic sections
// C30. The source's active records of the range are written into the receiving table, one by
// one: a code the receiver lacks is appended (its figures at zero), an existing one takes the
// source's texts and keeps its own figures, a cancelled one stays as it is. No window: the
// dialogs check the range and the dossiers, then run the walk.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "processing/core/other_dossier.h"

class Table;

namespace processing {

// Where the records of a list's kind live and how they are copied.
struct CodeCopyKind {
  char table = ' ';        // '1' C10, '2' C20, '3' C30
  const char* tag = "";    // the code order
  int keyFields = 1;       // fields of the key (C10: kind and code)
  int firstCopied = 2;     // first field copied onto a receiver
  std::vector<int> figures;  // fields a new receiver gets at zero and an existing one keeps
};

// The copy of the list's kind ("2" accounts, "3" sections, a kind kept in C10); false for the
// kinds that are not copied.
bool CodeCopyKindOf(const std::string& kind, CodeCopyKind* out);

// The table of the kind in the open dossier, or in `other`, without extension.
std::string OpenCodeTablePath(const CodeCopyKind& k);
std::string OtherCodeTablePath(const CodeCopyKind& k, const OtherDossier& other);

// A code range of a list: its kind letter, the width of its codes and the two codes, each
// padded (or cut) to that width.
struct CodeRange {
  std::string kind;
  int width = 0;
  std::string first;
  std::string last;
};

// The code padded with blanks (or cut) to `width`.
std::string CodeOfWidth(const std::string& code, int width);
// -1, 0 or 1 as the two codes compare byte by byte (cp1252 bytes unsigned).
int CompareCodes(const std::string& a, const std::string& b);

// True when the table (open on the kind's tag) holds the code of the kind, in any state.
bool CodeExists(Table& table, const CodeCopyKind& k, const std::string& kind, const std::string& code, int width);

// What a copy did: the records appended, the existing ones rewritten, the cancelled receivers
// left alone, the records that could not be written (their lock refused or their save failed:
// the table layer said so), and the last code written.
struct CodeCopyCount {
  long added = 0;
  long rewritten = 0;
  long cancelledKept = 0;
  long failed = 0;
  std::string lastCode;
  // A write the engine refused (a full disk ...), in French with its file: the walk stopped there.
  std::string refused;
};

// Called with each code before it is written (trimmed).
using CodeCopyStep = std::function<void(const std::string& code)>;

// Walks the source's active records of the range in code order, from the first code to the
// last one (for C10: only the records of the range's kind), and writes each into `target`,
// open on the kind's tag: exclusively (the other dossier) or shared (the open dossier, while
// other stations work in it: each record written under its record lock, each append as one
// look-up and insert under the table's creation lock).
CodeCopyCount CopyCodeRange(Table& source, Table& target, const CodeCopyKind& k, const CodeRange& range,
                            const CodeCopyStep& step = {});

// The copy's name in the run marker of the receiving dossier.
inline constexpr const char* kCodeCopyRun = "copie-codes";

// CopyCodeRange under the run marker of the receiving dossier (`receiver`, the open dossier or
// the other one): the marker names the source's table and the range, so that a copy stopped
// half-way is named at that dossier's next opening and finished there. `sourcePath` is the
// source's table without extension. False, with the French refusal in *refusal, when the marker
// could not be written (nothing is copied), or when a write was refused: the marker then stays,
// and the receiving dossier's next opening finishes the copy.
bool CopyCodeRangeMarked(Table& source, const std::string& sourcePath, Table& target, const OtherDossier& receiver,
                         const CodeCopyKind& k, const CodeRange& range, const CodeCopyStep& step, CodeCopyCount* count,
                         std::string* refusal);

// The redo of a copy stopped half-way, run by the opening of the receiving dossier (current, and
// held alone) with its marker's detail: the copy runs again from the source to its end (each
// record is written whole, so the records already copied are written again as they are). A
// source that no longer opens leaves the records copied so far, said in the log. False when the
// receiving table does not open.
bool FinishInterruptedCodeCopy(const std::string& detail);

}  // namespace processing
