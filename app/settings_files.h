// Typed access to the settings files of the data folder:
//   "Config.ini"  Setting/FIRST, Lan, Capture, Record, Split;
//                 Config/LOCA, COUNTRY, PTZSPEED, LASTRCD; Location/<camera id>
//   "User/user"   USER/NAME, REM; CODE/CODE, KEY (texts kept scrambled)
//   "setup.dat"   Setting/Lan, the installer's Windows language id
//   "Res/country" dict/<country code> = region code
// and the saved password, a per-user registry value under "Client_Ostrel".
// Nothing is cached: every call opens its file, so a hand edit shows at once.
#pragma once

#include <string>

namespace settings {

// Text capacities of the callers' buffers, terminator included.
inline constexpr int kCodeCapacity = 20;       // LOCA, COUNTRY
inline constexpr int kSdkKeyCapacity = 64;     // CODE/KEY
inline constexpr int kRegionCapacity = 50;     // a "Res/country" value
inline constexpr int kFolderCapacity = 260;    // folder paths, in characters

// Languages of "Lan"; a missing value means English.
enum Language { kChinese = 0, kEnglish = 1, kKorean = 2 };
// The seven split-screen models.
inline constexpr int kSplitModelCount = 7;

// "FIRST": 0 after the first start; -1 before.
int FirstStart();
// Writes 0 unless it already reads 0.
void MarkStarted();

// The stored language, -1 when missing.
int LanguageValue();
void SetLanguage(int language);
// Moves the installer's choice from "setup.dat" into "Config.ini" once: the
// identifier is mapped (2052, 1033, 1042 to 0, 1, 2; others kept), "Lan" of
// "setup.dat" is emptied and the file deleted. 1 when a language was taken.
int TakeInstallerLanguage();

// Folder values ("Capture", "Record", "LASTRCD"), cut to the capacity; empty when missing.
std::wstring CaptureFolder();
std::wstring RecordFolder();
std::wstring LastRecordFolder();
int SetCaptureFolder(const std::wstring& folder);
int SetRecordFolder(const std::wstring& folder);
int SetLastRecordFolder(const std::wstring& folder);
// The capture or record folder to use: the stored one when it is at least 3
// characters long and can be created, else the data folder's default, which
// is then written back. Empty when neither can be made.
std::wstring UsableCaptureFolder();
std::wstring UsableRecordFolder();

// The split model 0-6; a missing or other value gives 0.
int SplitModel();

// Region ("LOCA") and country ("COUNTRY") codes, cut to `capacity` bytes.
int RegionCode(char* buffer, int capacity);
int CountryCode(char* buffer, int capacity);
int SetRegionCode(const char* code);
int SetCountryCode(const char* code);
int SetPtzSpeed(int speed);

// A camera's record location: 0 or 1, -1 when missing. Only 0 and 1 are
// stored; any other value stores an empty text, which reads back as -1.
int RecordLocation(int cameraId);
int SetRecordLocation(int cameraId, int location);

// "User/user": the scrambled user name and the remember flag.
std::string UserName();
int RememberFlag();
int SetUser(const std::string& scrambledName, int remember);
// The SDK code, 7 when missing, and the scrambled SDK key cut to `capacity` bytes.
int SdkCode();
int SdkKey(char* buffer, int capacity);

// The region code of a two-letter country in "Res/country"; 0 when none.
int CountryRegion(const char* country, char* buffer, int capacity);

// The saved (scrambled) password of a scrambled user name; 1 when found.
int SavedPassword(const std::wstring& scrambledName, wchar_t* buffer, int capacity);
int SetSavedPassword(const std::wstring& scrambledName, const std::wstring& scrambledPassword);

} // namespace settings
