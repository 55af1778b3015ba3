// A bank statement file read through the reader program merlon-ofx (libofx runs there, never in
// the program): the program is started from an argument vector under a time limit, and its line
// format is read back into a BankStatement.
#pragma once

#include <string>

#include "processing/core/bank_statement.h"

namespace processing {

// The time the reader has to read a statement.
constexpr int kOfxReaderTimeLimitMs = 60000;

// The reader program: the one set by SetOfxReaderPath, else "merlon-ofx" beside the running
// program, else "merlon-ofx" looked up in PATH.
std::string OfxReaderPath();
void SetOfxReaderPath(const std::string& path);  // "" = back to the default

struct OfxReading {
  bool ok = false;
  std::string message;  // when not ok: "Relevé illisible" and the reason, in French
  BankStatement statement;
};

// Reads the statement file `file` (cp1252 path) through the reader program.
OfxReading ReadOfxStatement(const std::string& file, int timeLimitMs = kOfxReaderTimeLimitMs);

// Reads the reader's line format; false with the reason in `error` when a line is not as written.
bool ParseStatementLines(const std::string& text, BankStatement& out, std::string& error);

}  // namespace processing
