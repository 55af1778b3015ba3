// Backup targets and path templates: the placeholders of backup units
// ("%defaut%", "%date%", "%code%", "%jour%", "%heure%", "%dateheure%"),
// those of the user's procedure command lines ("%chemin%", "%dossier%",
// "%code%"), the date and time texts they give, and the choice of a backup
// file to restore.
#pragma once

#include <string>

#include "platform/system/clock.h"

// Clock of the date and time texts (tests set a fixed one; null = the
// system's local time).
using BackupClock = platform::LocalTime (*)();
void SetBackupClock(BackupClock clock);

// ring: today as YYYYMMDD.
char* TodayYmd();
// ring: today's weekday in capitals ("DIMANCHE" ... "SAMEDI").
char* WeekdayName();
// Weekday name of a date (Zeller's congruence), as WeekdayName gives it.
std::string WeekdayNameOf(int year, int month, int day);
// TodayYmd + "-" + HH + "h" + MM + SS, e.g. 20240131-17h4509.
std::string BackupStamp();

// Placeholders of a backup unit, expanded in this order.
enum BackupPlaceholder : unsigned {
  kPlaceholderDefaut = 1u << 0,
  kPlaceholderDate = 1u << 1,
  kPlaceholderCode = 1u << 2,
  kPlaceholderJour = 1u << 3,
  kPlaceholderHeure = 1u << 4,
  kPlaceholderDateHeure = 1u << 5,
  kAllBackupPlaceholders = 0x3Fu,
  // What backup method 2 and the NUVSAUVE value use.
  kMethod2Placeholders = kPlaceholderDate | kPlaceholderCode | kPlaceholderJour | kPlaceholderHeure,
  kNuvSauvePlaceholders = kPlaceholderCode | kPlaceholderDateHeure,
};

// The default backup target (string 2847) with "/" as separator.
std::string DefaultBackupTarget();

// Expands a backup unit in place: for each chosen placeholder, in the order
// above, its first occurrence (case ignored) is replaced by its value, read
// at that moment. "%defaut%" comes first, so the placeholders it brings in
// are expanded by the later steps. The code is used as held.
void ExpandBackupUnit(std::string& text, const std::string& dossierCode,
                      unsigned placeholders = kAllBackupPlaceholders);

// Brings a backup unit typed in the settings to the form the backups use,
// in place. Methods 7, W, R, 8, 0 and 9 take the unit as it is. For the
// others, a unit that begins with "/" is a folder: only its trailing "/"
// go ("/" itself stays). Any other unit is read as a drive and a folder:
// first letter upper-cased, blanks and any of . / * < > removed, a drive
// letter alone gets ":", "\" follows the ":", and the text is cut back to
// the drive and at most one folder ("c:\Save\2024\" gives "C:\Save",
// "d" gives "D:\"). A unit that is no drive becomes empty.
void NormaliseBackupUnitPath(std::string& unit, char method);

// Expands a procedure command line in place, in one left-to-right pass:
// every "%chemin%" (the dossier folder without its final "/"), "%dossier%"
// (the pattern of the dossier's files) and "%code%" (the code right-trimmed)
// is replaced, case ignored; an inserted value is never searched again.
void ExpandProcedureLine(std::string& text, const std::string& dossierFolder,
                         const std::string& dossierCode);

// Pattern of the dossier's files: "c", any two characters, the code and any
// extension; letters match either case, since dossiers copied from other
// systems keep the case of their names.
std::string DossierFilePattern(const std::string& dossierCode);

// Start folder of the restore's file dialog: the first "%defaut%" becomes the
// default target, the first "%code%" the code, the first "%dateheure%"
// nothing (case ignored); then trailing separators are removed.
void PrepareBackupStartFolder(std::string& path, const std::string& dossierCode);

// Name test of a chosen backup: the file name (after the last separator),
// compared without case, is the name the method writes for the dossier
// (code right-trimmed):
//   0, R, 2: "ZEL" + code + ".EXE"; 9: ".LZH"; 8: ".RAR";
//   7: "ZEL" + code + "-" + an 8-digit date + "-" + HH "h" MMSS, then any
//      "-comment", then ".RAR" (what the automatic backup's batch file writes);
//   W: "C10" + code + "-SAUVEW.DBF".
// Another dossier's backup never passes, whatever its code ("AB" refuses
// "ZELABC.rar" and "ZELAB-1.rar"); other methods have no backup file.
bool IsBackupFileFor(const std::string& path, const std::string& dossierCode, char method);

// File-open dialog through which ChooseBackupFile asks (the window layer
// fills it): owner, title, filter, start folder; true with the chosen path
// when the user confirmed. Without a hook the dialog counts as cancelled.
using BackupFileDialog = bool (*)(unsigned long owner, const std::string& title,
                                  const std::string& filter, const std::string& startFolder,
                                  std::string& chosen);
void SetBackupFileDialog(BackupFileDialog dialog);

// Lets the user pick the backup to restore. path: the start folder in (a
// template as above), the chosen backup out: its folder ending with "/",
// or for method '7' the file itself. Title and filter are string ids whose
// "%s" stands for the code. A file that is no backup of this dossier beeps and
// the dialog comes back. False when the user cancels.
bool ChooseBackupFile(unsigned long owner, std::string& path, int titleId, int filterId,
                      char method, const std::string& dossierCode);
