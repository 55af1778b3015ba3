// Per-dossier log file and small text-file helpers.
//
// Log: DossierFolder + "clg" + code + ".txt" (an existing file of that name
// in any case is used), appended to and never truncated. Each line:
// "DD/MM/YY-HHhMMmSS> <workstation> - <text>" CR LF.
#pragma once

#include <cstddef>
#include <string>

#include "platform/system/clock.h"

constexpr std::size_t kChunkSize = 9216;

// Dossier whose log LogPath names (set when a dossier opens; empty folder = no log).
void SetLogDossier(const std::string& folder, const std::string& code);

// Path of the dossier's "CLG" file with that suffix (".txt" for the log).
std::string LogPath(const char* suffix = ".txt");

// The stamp "DD/MM/YY-HHhMMmSS" of a time.
std::string LogStamp(const platform::LocalTime& time);
// Appends one log line; never shows anything. False when the write was refused (a full disk):
// the line is not in the log. True when no log is open.
bool WriteLog(const char* text);
inline bool WriteLog(const std::string& text) { return WriteLog(text.c_str()); }

// File handles: POSIX descriptors, -1 on failure.
int OpenFileRead(const char* path);
int OpenFileWrite(const char* path);  // existing file, positioned at its end
int CreateFileTrunc(const char* path);  // created or emptied
bool CloseFile(int handle);

// Writes the text, then CR LF when crlf is set; false when a write fails.
bool WriteLine(int handle, const char* text, bool crlf);

// Clears the 9,216-byte chunk, reads min(total - offset, 9216) bytes at
// offset; false on a short read (offset unchanged), else advances offset.
bool ReadFileChunk(char* chunk, int handle, long long total, long long& offset);

// Takes the first line off text into line. CR LF, a lone CR or a lone LF
// ends the line and is removed, so a loop until the text is empty always
// ends. Returns false when the text was already empty.
bool TakeLine(std::string& text, std::string& line);

bool CanReadFile(const char* path);  // a regular file that can be opened for reading
// Deletes name + suffix when present; true when it does not exist afterwards.
bool DeleteFileIfExists(const char* name, const char* suffix = "");
// False when the old file is missing; otherwise replaces the new name.
bool RenameFile(const char* oldName, const char* newName);
