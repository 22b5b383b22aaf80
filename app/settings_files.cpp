#include "settings_files.h"

#include <filesystem>
#include <vector>

#include "Depend/ini_config.h"
#include "Depend/qn_folders.h"
#include "Depend/qn_log.h"
#include "Depend/qn_registry.h"
#include "platform/paths.h"
#include "platform/text.h"

namespace settings {

namespace {

constexpr const wchar_t* kSetting = L"Setting";
constexpr const wchar_t* kConfig = L"Config";
constexpr const wchar_t* kLocation = L"Location";
constexpr const wchar_t* kSavedSignInKey = L"Client_Ostrel";

IniConfig File(const wchar_t* name)
{
    IniConfig file;
    file.SetFileName(name);
    return file;
}

IniConfig Config()
{
    return File(L"Config.ini");
}

IniConfig User()
{
    return File(L"User/user");
}

std::wstring ReadFolder(const wchar_t* section, const wchar_t* key)
{
    wchar_t folder[kFolderCapacity] = {};
    Config().ReadString(section, key, folder, kFolderCapacity);
    return folder;
}

int WriteText(IniConfig file, const wchar_t* section, const wchar_t* key, const std::wstring& text)
{
    return file.WriteString(section, key, text.c_str());
}

std::wstring CameraKey(int cameraId)
{
    return std::to_wstring(cameraId);
}

std::wstring UsableFolder(const wchar_t* key, int (*defaultFolder)(wchar_t*, int))
{
    std::wstring folder = ReadFolder(kSetting, key);
    if (folder.size() >= 3 && platform::MakeDirectories(platform::WideToUtf8(folder))) return folder;
    wchar_t fallback[kFolderCapacity] = {};
    if (!defaultFolder(fallback, kFolderCapacity) || fallback[0] == L'\0') return {};
    if (!platform::MakeDirectories(platform::WideToUtf8(fallback))) return {};
    const std::string shown = platform::WideToUtf8(folder);
    QNLogPrint("%s(%d) %ls \"%s\" unusable, default taken\n", __FUNCTION__, __LINE__, key, shown.c_str());
    WriteText(Config(), kSetting, key, fallback);
    return fallback;
}

} // namespace

int FirstStart()
{
    return Config().ReadIntValue(kSetting, L"FIRST");
}

void MarkStarted()
{
    if (FirstStart() != 0) Config().WriteInt(kSetting, L"FIRST", 0);
}

int LanguageValue()
{
    return Config().ReadIntValue(kSetting, L"Lan");
}

void SetLanguage(int language)
{
    Config().WriteInt(kSetting, L"Lan", language);
}

int TakeInstallerLanguage()
{
    IniConfig setup = File(L"setup.dat");
    const std::string path = platform::WideToUtf8(setup.FullPath());
    if (!platform::PathExists(path)) return 0;
    int identifier = -1;
    const bool present = setup.ReadInt(kSetting, L"Lan", &identifier) != 0;
    // Emptied first: should the file outlive the delete, the next start takes nothing.
    setup.WriteString(kSetting, L"Lan", L"");
    std::error_code ignored;
    std::filesystem::remove(path, ignored);
    if (!present) return 0;
    switch (identifier) {
    case 2052: identifier = kChinese; break;
    case 1033: identifier = kEnglish; break;
    case 1042: identifier = kKorean; break;
    default: break;
    }
    SetLanguage(identifier);
    return 1;
}

std::wstring CaptureFolder()
{
    return ReadFolder(kSetting, L"Capture");
}

std::wstring RecordFolder()
{
    return ReadFolder(kSetting, L"Record");
}

std::wstring LastRecordFolder()
{
    return ReadFolder(kConfig, L"LASTRCD");
}

int SetCaptureFolder(const std::wstring& folder)
{
    return WriteText(Config(), kSetting, L"Capture", folder);
}

int SetRecordFolder(const std::wstring& folder)
{
    return WriteText(Config(), kSetting, L"Record", folder);
}

int SetLastRecordFolder(const std::wstring& folder)
{
    return WriteText(Config(), kConfig, L"LASTRCD", folder);
}

std::wstring UsableCaptureFolder()
{
    return UsableFolder(L"Capture", QNGetCapturePath);
}

std::wstring UsableRecordFolder()
{
    return UsableFolder(L"Record", QNGetRecordPath);
}

int SplitModel()
{
    const int model = Config().ReadIntValue(kSetting, L"Split");
    return model >= 0 && model < kSplitModelCount ? model : 0;
}

int RegionCode(char* buffer, int capacity)
{
    return Config().ReadStringA(kConfig, L"LOCA", buffer, capacity);
}

int CountryCode(char* buffer, int capacity)
{
    return Config().ReadStringA(kConfig, L"COUNTRY", buffer, capacity);
}

int SetRegionCode(const char* code)
{
    return Config().WriteStringA(kConfig, L"LOCA", code);
}

int SetCountryCode(const char* code)
{
    return Config().WriteStringA(kConfig, L"COUNTRY", code);
}

int SetPtzSpeed(int speed)
{
    return Config().WriteInt(kConfig, L"PTZSPEED", speed);
}

int RecordLocation(int cameraId)
{
    return Config().ReadIntValue(kLocation, CameraKey(cameraId).c_str());
}

int SetRecordLocation(int cameraId, int location)
{
    IniConfig config = Config();
    if (location == 0 || location == 1) return config.WriteInt(kLocation, CameraKey(cameraId).c_str(), location);
    return config.WriteString(kLocation, CameraKey(cameraId).c_str(), L"");
}

std::string UserName()
{
    char name[IniConfig::kValueCapacity] = {};
    User().ReadStringA(L"USER", L"NAME", name);
    return name;
}

int RememberFlag()
{
    return User().ReadIntValue(L"USER", L"REM");
}

int SetUser(const std::string& scrambledName, int remember)
{
    IniConfig user = User();
    return user.WriteStringA(L"USER", L"NAME", scrambledName.c_str()) && user.WriteInt(L"USER", L"REM", remember);
}

int SdkCode()
{
    const int code = User().ReadIntValue(L"CODE", L"CODE");
    return code == -1 ? 7 : code;
}

int SdkKey(char* buffer, int capacity)
{
    return User().ReadStringA(L"CODE", L"KEY", buffer, capacity);
}

int CountryRegion(const char* country, char* buffer, int capacity)
{
    if (buffer && capacity > 0) buffer[0] = '\0';
    if (!country || !country[0]) return 0;
    const std::wstring key = platform::Utf8ToWide(country);
    return File(L"Res/country").ReadStringA(L"dict", key.c_str(), buffer, capacity) > 0;
}

int SavedPassword(const std::wstring& scrambledName, wchar_t* buffer, int capacity)
{
    return QNGetRegString(kSavedSignInKey, scrambledName.c_str(), buffer, capacity);
}

int SetSavedPassword(const std::wstring& scrambledName, const std::wstring& scrambledPassword)
{
    return QNSetRegString(kSavedSignInKey, scrambledName.c_str(), scrambledPassword.c_str());
}

} // namespace settings
