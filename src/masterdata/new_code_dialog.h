// TDDonNouv: the dialog "Créer un nouveau code" (templates 1311 and 1312) through which every list asks for a new
// code: a code of a C10 code list, an account ("2"), an analytic section ("3") or a user-defined report ("Y",
// "Z"), and optionally the code to copy it from ("A partir de"). It checks the code against its kind's rules and
// its table, offers the lookups and the page-key browsing of the existing codes in both fields, and shows its
// refusals in its two message lines. The caller's creation runs on OK, under the table's creation lock, so that
// a code another station created meanwhile is refused here too.
#pragma once

#include <functional>
#include <string>

#include "framework/dialog_bases.h"
#include "masterdata/core/code_records.h"

class MButton;
class MCheckBox;
class MEdit;
class MRStatic;
class MStatic;

class TDDonNouv : public TDNuv {
 public:
  enum : int {
    kTitle = 1201, kCodeLabel = 1202, kCode = 1203, kFromLabel = 1204, kFrom = 1205, kLine1 = 1206, kLine2 = 1207,
    kAide1 = 1208, kAide2 = 1209, kShow = 1210,
    kCodeFirst = 1211, kCodePrevious = 1212, kCodeNext = 1213, kCodeLast = 1214,
    kFromFirst = 1215, kFromPrevious = 1216, kFromNext = 1217, kFromLast = 1218,
    kByName = 1219, kAmong = 1220,
  };
  static constexpr int kCodesDialog = 1311;    // the code to copy from is upper-cased
  static constexpr int kReportsDialog = 1312;  // it keeps its case (a file path)

  // `code`: on entry blanks as wide as the kind's code, on OK the new code (trimmed, then padded to that width);
  // `from`: on entry blanks, on OK the trimmed "A partir de" text (padded to its width but for "Y" and "Z").
  TDDonNouv(gui::Window* parent, std::string* code, const std::string& kind, int resourceId, std::string* from);
  ~TDDonNouv() override;

  // The caller's creation of the checked code, run by OK: OK ends the dialog only once it answers Created.
  using Creator = std::function<masterdata::CreateResult(const std::string& code, const std::string& from)>;
  void SetCreator(Creator creator) { creator_ = std::move(creator); }

  // The lookup mode letter: "N" by name or "C" by code, in lower case "among"; empty for the kinds without the
  // two boxes.
  std::string LookupMode() const;
  bool SortBoxesActive() const { return sortActive_; }

  std::string Line1() const;
  std::string Line2() const;
  MEdit* CodeEdit() const { return code_; }
  MEdit* FromEdit() const { return fromEdit_; }
  MCheckBox* ByNameBox() const { return byNameBox_; }
  MCheckBox* AmongBox() const { return amongBox_; }

  bool CanClose() override;
  void CmAide1();
  void CmAide2();
  void CmTri();
  void CmShow();
  void CmCodeFirst() { Step(code_, masterdata::CodeStep::First); }
  void CmCodePrevious() { Step(code_, masterdata::CodeStep::Previous); }
  void CmCodeNext() { Step(code_, masterdata::CodeStep::Next); }
  void CmCodeLast() { Step(code_, masterdata::CodeStep::Last); }
  void CmFromFirst() { Step(fromEdit_, masterdata::CodeStep::First); }
  void CmFromPrevious() { Step(fromEdit_, masterdata::CodeStep::Previous); }
  void CmFromNext() { Step(fromEdit_, masterdata::CodeStep::Next); }
  void CmFromLast() { Step(fromEdit_, masterdata::CodeStep::Last); }

  static const gui::ResponseTable& Table();
  const gui::ResponseTable& Responses() const override { return Table(); }

 protected:
  void SetupWindow() override;

 private:
  void SetLines(const std::string& line1, const std::string& line2);
  void Lookup(MEdit* field, int width);
  void Step(MEdit* field, masterdata::CodeStep step);
  masterdata::CodeSource Source(int width) const;
  void FocusField(MEdit* field);
  std::string IniKey(int keyId) const;

  std::string* codeBuffer_;
  std::string* fromBuffer_;
  std::string kind_;
  int codeWidth_;
  int fromWidth_;
  bool sortActive_ = false;
  bool byName_ = false;
  bool among_ = false;
  Creator creator_;
  MRStatic* title_;
  MEdit* code_;
  MEdit* fromEdit_;
  MStatic* line1_;
  MStatic* line2_;
  MButton* aide1_;
  MButton* aide2_;
  MCheckBox* byNameBox_;
  MCheckBox* amongBox_;
};
