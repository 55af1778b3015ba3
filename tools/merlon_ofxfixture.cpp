// merlon-ofxfixture: writes the bank statement of a dossier's bank account as two OFX files, an
// OFX 1.0.2 SGML statement in CHARSET 1252 with comma decimals ("releve-102.ofx") and an OFX 2.2
// XML statement ("releve-220.ofx"), for trying the statement import.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "console_text.h"
#include "data/session.h"
#include "ofx_fixture/ofx_fixture.h"
#include "runtime/runtime_init.h"

int main(int argc, char** argv) {
  std::string folder, code, out;
  int first = 0, count = -1;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (std::strcmp(argv[i], "--folder") == 0) folder = argv[i + 1];
    else if (std::strcmp(argv[i], "--code") == 0) code = argv[i + 1];
    else if (std::strcmp(argv[i], "--out") == 0) out = argv[i + 1];
    else if (std::strcmp(argv[i], "--first") == 0) first = std::atoi(argv[i + 1]);
    else if (std::strcmp(argv[i], "--count") == 0) count = std::atoi(argv[i + 1]);
  }
  if (folder.empty() || code.empty() || out.empty()) {
    std::fputs(ConsoleText("usage: merlon-ofxfixture --folder DOSSIER --code CODE --out DOSSIER_SORTIE "
                           "[--first N] [--count N]\n").c_str(), stderr);
    return 2;
  }
  if (!InitRuntime() || StartDbSession() != 0) return 1;
  processing::BankStatement s;
  std::string error;
  const bool made = ofx_fixture::StatementFromDossier(folder, code, first, count, s, error);
  StopDbSession();
  if (!made) {
    std::fputs(ConsoleText(error + "\n").c_str(), stderr);
    return 1;
  }
  if (out.back() != '/') out += '/';
  if (!ofx_fixture::WriteText(out + "releve-102.ofx", ofx_fixture::OfxSgml102(s)) ||
      !ofx_fixture::WriteText(out + "releve-220.ofx", ofx_fixture::OfxXml220(s)))
    return 1;
  std::printf("%zu\n", s.transactions.size());
  return 0;
}
