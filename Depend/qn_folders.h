// Start-up of the program's folders, the getters through which every other
// part finds them, and small file helpers.
//
// The data folder is "%APPDATA%" (see platform::UserDataHome) plus "OstrelS",
// with "Capture", "Record", "Log/", "User/", "images/" and "Temp/" inside it and
// "Res/" beside the program. Paths use "/"; the log, images and temp folders
// end with one.
#pragma once

#include <string>

// Makes the program folder the current directory and creates the data folder
// tree. 0 when another copy of the program runs (nothing is created then) or
// when no data folder can be formed; 1 otherwise.
int QNDefineInit();
// Appends the exit mark to the daily log.
void QNDefineExit();

// Getters copy into a caller buffer of `capacity` characters (terminator
// included). 0 for a null buffer or a capacity too small for the path (nothing
// is written then), else 1. Before QNDefineInit they copy empty texts, except
// those marked "after start-up", which give 0.
int QNGetAppDataPath(wchar_t* buffer, int capacity);
int QNGetAppDataPathEx(wchar_t* buffer, int capacity); // after start-up
int QNGetModuleDir(wchar_t* buffer, int capacity);     // read afresh from the executable
int QNGetCapturePath(wchar_t* buffer, int capacity);
int QNGetRecordPath(wchar_t* buffer, int capacity);
int QNGetImagesPath(wchar_t* buffer, int capacity);
int QNGetImagesPathA(char* buffer, int capacity);
int QNGetExePath(wchar_t* buffer, int capacity);
int QNGetTempPathA(char* buffer, int capacity);        // after start-up

// One folder level; paths shorter than 3 characters give 0, an existing path 1.
int QNMakeDir(const wchar_t* path);
// 1 when the path exists, or when a "*" / "?" pattern in its last component
// matches some entry.
int QNFileExists(const wchar_t* path);
// Expands %NAME% from the environment. A result longer than 200 characters or
// than capacity - 1 leaves the destination untouched and gives 0.
int QNExpandEnv(const wchar_t* source, wchar_t* destination, int capacity);
// Prints "\n\t<function> failed with error <n> (<text>)" for the thread's last
// system error to the standard output.
void QNPrintLastError(const char* function);

namespace depend {

// The log folder with its trailing "/", or "" before start-up.
std::string LogFolder();

} // namespace depend
