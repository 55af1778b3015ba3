#include "runtime/access_rights.h"

#include <cstring>

#include "platform/system/cp1252.h"
#include "resources/string_table.h"
#include "runtime/dossier_record.h"
#include "runtime/session_registry.h"
#include "runtime/text.h"
#include "runtime/xbase.h"

bool PrintRunFlag = false;

namespace {

// The row of guarded function n is string kFunctionRowBase + n: where its rights lie, then its name.
constexpr int kFunctionRowBase = 9000;

// The levels that hold every right, and the names of the rights, by their ids in the string table.
constexpr int kLevelsWithEveryRight = 2678;
constexpr int kRightAccess = 22377;
constexpr int kRightCreate = 21027;
constexpr int kRightModify = 22510;
constexpr int kRightCancel = 22379;
constexpr int kRightView = 22511;
constexpr int kRightPrint = 22512;
constexpr int kRightAddElsewhere = 22380;
constexpr int kRightCreatePiece = 22381;
constexpr int kRightCreateLine = 22382;
constexpr int kRightTen = 22513;
constexpr int kRightEleven = 22514;
constexpr int kRightTwelve = 22515;

bool LevelHasEveryRight(char level) {
  if (level == '\0' || level == ' ') return false;
  const char* levels = LoadStr(kLevelsWithEveryRight);
  if (*levels == '\0') levels = "01A";
  return std::strchr(levels, level) != nullptr;
}

// Where right k of function n lies: the 1-based position of its character in the dossier
// record and its bit. `guarded` false: nothing restricts it (function 0, no row).
struct RightPlace {
  bool guarded = false;
  int position = 0;
  int mask = 0;
};

RightPlace PlaceOf(int function, int right) {
  RightPlace place;
  if (function <= 0) return place;
  const char* row = LoadStr(kFunctionRowBase + function);
  if (*row == '\0') return place;
  int start = 0;
  for (int i = 0; i < 3 && row[i] >= '0' && row[i] <= '9'; ++i) start = start * 10 + (row[i] - '0');
  place.guarded = true;
  place.position = DossierRecord::kRightsPos - 1 + start + (right - 1) / 4;
  place.mask = 1 << ((right - 1) % 4);
  return place;
}

// A rights character read as a mask: upper case, "A"-"F" standing for 10-15.
unsigned char MaskCharacter(char stored) {
  unsigned char c = platform::Cp1252Upper(static_cast<unsigned char>(stored));
  if (c >= 'A' && c <= 'F') c = static_cast<unsigned char>(c - 7);
  return c;
}

bool Grants(unsigned char c, int mask) { return c == ' ' || c == '\0' || (c & mask) != 0; }

}  // namespace

bool HasAccessRight(int function, int right) {
  if (PrintRunFlag) return true;
  std::string& record = TheDossierRecord.Text();
  if (DossierIsCurrent()) {
    char level = record.size() >= static_cast<std::size_t>(DossierRecord::kUserLevelPos)
                     ? record[DossierRecord::kUserLevelPos - 1]
                     : ' ';
    if (LevelHasEveryRight(level)) return true;
  }
  if (function == 0) return true;
  if (right < 1 || right > 12) return false;
  const RightPlace place = PlaceOf(function, right);
  if (!place.guarded) return true;
  if (place.position < 1 || static_cast<std::size_t>(place.position) > record.size()) return true;
  // The character is stored back as the mask it stands for.
  char& slot = record[static_cast<std::size_t>(place.position - 1)];
  const unsigned char c = MaskCharacter(slot);
  if (c != '\0') slot = static_cast<char>(c);
  return Grants(c, place.mask);
}

bool SecondaryUserHasRight(const DossierRecord& record, int function, int right) {
  if (function == 0) return true;
  if (right < 1 || right > 12) return false;
  const RightPlace place = PlaceOf(function, right);
  if (!place.guarded) return true;
  if (place.position < 1 || place.position > DossierRecord::kLength) return true;
  return Grants(MaskCharacter(record.At(place.position)), place.mask);
}

std::string AccessFunctionName(int function) {
  if (function <= 0) return {};
  const std::string row = LoadStr(kFunctionRowBase + function);
  return row.size() > 25 ? TrimmedRight(row.substr(25)) : std::string();
}

std::string AccessRightName(int right) {
  // The texts of rights 1 to 12, in order.
  static const int kRightNameIds[] = {kRightAccess,     kRightCreate, kRightModify,       kRightCancel,
                                      kRightView,       kRightPrint,  kRightAddElsewhere, kRightCreatePiece,
                                      kRightCreateLine, kRightTen,    kRightEleven,       kRightTwelve};
  return right >= 1 && right <= 12 ? std::string(LoadStr(kRightNameIds[right - 1])) : std::string();
}
