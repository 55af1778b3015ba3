// The engine session and the program-wide objects of the table layer: the eleven table
// objects, the field ring, the path and memo buffers and the records the edit forms hold.
#pragma once

#include <array>
#include <cstdint>
#include <string>

class Table;

// Starts the engine and creates the table objects: 0 success, 1 DbiInit, 3
// DbiGetCurrSession, 4 DbiGetSysConfig, 6 DbiOpenDatabase, 7 work buffers. The caller shows
// string 126 + string 1170 + code and ends the start.
std::uint8_t StartDbSession();
// Closes and destroys the table objects, then ends the engine.
void StopDbSession();
// Closes every dossier table (modes reset); DossierLockTable stays open.
void CloseAllTables();
// Engine version as text in the StringRing ("???" on failure).
const char* DbVersionText();

// The table objects (null outside a session).
extern Table* DossierLockTable;
extern Table* TableC10;
extern Table* TableC20;
extern Table* TableC30;
extern Table* TableC40;
extern Table* TableC50;
extern Table* TableC60;
extern Table* TableC70;
extern Table* TableCE0;
extern Table* TableCE1;
extern Table* TableCXX;

// File title of a table object for messages: strings 2246-2255 for TableC10 ... TableCXX,
// 2256 "C??" for any other.
const char* TableFileTitle(const Table* table);

extern bool DbSessionUp;

// 16 field buffers and the running index: results of GetField and GetFieldNum.
struct FieldRingBuffers {
  static constexpr int kSlots = 16;
  static constexpr std::size_t kRoom = 256;
  std::array<std::string, kSlots> buffers;
  int index = 0;
  // The next buffer, made at least `room` bytes long (it never shrinks).
  char* Next(std::size_t room);
};
extern FieldRingBuffers FieldRing;

// Path functions' results, the key joined by Seek, the text of RecordToText.
extern std::string PathBuffer;
// The key joined by MatchKey.
extern std::string PathBuffer2;
// Result of GetMemo: at most kMemoBufferRoom bytes and a terminator.
constexpr std::size_t kMemoBufferRoom = 32768;
extern std::string MemoBuffer;

// One physical record number per edit-form kind, the record that form holds locked.
constexpr int kFormRecordLockCount = 13;
extern std::array<std::uint32_t, kFormRecordLockCount> FormRecordLocks;
