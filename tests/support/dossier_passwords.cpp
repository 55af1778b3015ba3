#include "support/dossier_passwords.h"

#include "support/books_files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "controls/medit.h"
#include "data/table.h"
#include "framework/fmt_saisie.h"
#include "platform/gui/modal_seam.h"
#include "runtime/dossier_record.h"
#include "runtime/text.h"
#include "support/access_rights.h"
#include "support/gui_test.h"

namespace test_support {

void StorePasswords(const std::string& c10Path, const std::string& privileged, const std::string& secondary) {
  Table c10;
  ASSERT_TRUE(c10.OpenShared(c10Path, "C10CODE"));
  ASSERT_TRUE(c10.Seek("C10CODE", "0"));
  std::string both = privileged;
  both.resize(9, ' ');
  both += secondary;
  both.resize(18, ' ');
  ASSERT_TRUE(c10.PutFieldPart(4, DossierRecord::kPrivilegedPasswordPos - 30, 18, both.c_str()));
  ASSERT_TRUE(c10.Commit());
}

void StoreRights(const std::string& c10Path, const std::vector<std::pair<int, int>>& refused) {
  DossierRecord record;
  record.SetRights(std::string(DossierRecord::kRightsWidth, '?'));
  for (const auto& [function, right] : refused) RefuseAccessRight(record, function, right);
  Table c10;
  ASSERT_TRUE(c10.OpenShared(c10Path, "C10CODE"));
  ASSERT_TRUE(c10.Seek("C10CODE", "0"));
  ASSERT_TRUE(c10.PutFieldPart(6, 1, DossierRecord::kRightsWidth, record.Rights().c_str()));
  ASSERT_TRUE(c10.Commit());
}

void QueuePasswords(const std::vector<std::string>& typed, bool lastRight, const char* shot, const char* label) {
  for (std::size_t i = 0; i < typed.size(); ++i) {
    gui::ModalSeam::QueueDialogAnswer(gui::IDOK, [text = typed[i], shot = i == 0 ? shot : nullptr,
                                                  label](gui::Window& w) {
      auto& d = static_cast<TDFmtSaisie&>(w);
      EXPECT_TRUE(d.Input()->IsPassword()) << "typed masked";
      if (label != nullptr) EXPECT_EQ(d.Label(), label) << "the prompt for " << text;
      d.Input()->SetText(text);
      if (shot != nullptr) Screenshot(w.Widget(), "processing", shot);
    });
    if (i + 1 < typed.size() || !lastRight) gui::ModalSeam::QueueMessageBoxAnswer(gui::IDOK);
  }
}

int PasswordPrompts() {
  int prompts = 0;
  for (const gui::ShownModal& shown : gui::ModalSeam::Shown())
    if (shown.kind == gui::ModalKind::Dialog && shown.resourceId == TDFmtSaisie::kOkCancel) ++prompts;
  return prompts;
}

std::map<std::string, std::string> FilesButLog(const std::string& folder) {
  std::map<std::string, std::string> files;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    const std::string name = entry.path().filename().string();
    if (!entry.is_regular_file() || LowerAscii(name).rfind("clg", 0) == 0 || IsIndexJournal(name)) continue;
    std::ifstream in(entry.path(), std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    files[name] = bytes.str();
  }
  return files;
}

}  // namespace test_support
