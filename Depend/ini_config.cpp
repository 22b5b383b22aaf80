#include "Depend/ini_config.h"

#include "Depend/qn_folders.h"
#include "platform/ini.h"
#include "platform/paths.h"
#include "platform/text.h"

#include <cerrno>
#include <climits>
#include <cwchar>

namespace {

std::string Narrow(const wchar_t* text) { return text ? platform::WideToUtf8(text) : std::string(); }

std::wstring Join(const std::wstring& folder, const std::wstring& name)
{
    return platform::Utf8ToWide(platform::NormalizePath(platform::WideToUtf8(folder + L"/" + name)));
}

// The standard text-to-integer conversion: leading blanks, a sign, digits;
// anything else ends the number, and no digits give 0.
int ToInt(const std::wstring& text)
{
    errno = 0;
    long long value = std::wcstoll(text.c_str(), nullptr, 10);
    if (value > INT_MAX) return INT_MAX;
    if (value < INT_MIN) return INT_MIN;
    return static_cast<int>(value);
}

} // namespace

IniConfig::IniConfig()
{
    wchar_t data[4096] = {};
    if (QNGetAppDataPathEx(data, 4096)) folder_ = data;
    fullPath_ = folder_ + fileName_;
}

void IniConfig::SetFileName(const wchar_t* name)
{
    fileName_ = name ? name : L"";
    fullPath_ = Join(folder_, fileName_);
}

void IniConfig::SetFilePath(const wchar_t* path) { fullPath_ = path ? path : L""; }

void IniConfig::SetFolder(const wchar_t* folder)
{
    folder_ = folder ? folder : L"";
    fullPath_ = Join(folder_, fileName_);
}

bool IniConfig::Usable() const
{
    // Without a folder the path would name a file at the root.
    std::string path = platform::NormalizePath(platform::WideToUtf8(fullPath_));
    return !path.empty() && !platform::ParentFolder(path).empty();
}

std::wstring IniConfig::Read(const wchar_t* section, const wchar_t* key)
{
    if (!Usable() || section == nullptr || key == nullptr) return {};
    auto value = platform::ReadIniValue(platform::NormalizePath(platform::WideToUtf8(fullPath_)), Narrow(section),
                                        Narrow(key));
    if (!value) return {};
    std::wstring wide = platform::Utf8ToWide(*value);
    if (wide.size() > kValueCapacity - 1) wide.resize(kValueCapacity - 1);
    return wide;
}

int IniConfig::ReadString(const wchar_t* section, const wchar_t* key, wchar_t* destination, int capacity)
{
    std::wstring value = Read(section, key);
    if (destination != nullptr && capacity > 0)
        platform::CopyBounded(destination, static_cast<std::size_t>(capacity), value);
    return value.empty() ? 0 : 1;
}

int IniConfig::ReadStringA(const wchar_t* section, const wchar_t* key, char* destination, int capacity)
{
    std::wstring value = Read(section, key);
    if (destination != nullptr && capacity > 0)
        platform::CopyBounded(destination, static_cast<std::size_t>(capacity), platform::WideToUtf8(value));
    return static_cast<int>(value.size());
}

int IniConfig::ReadInt(const wchar_t* section, const wchar_t* key, int* out)
{
    std::wstring value = Read(section, key);
    int number = value.empty() ? -1 : ToInt(value);
    if (out != nullptr) *out = number;
    return value.empty() ? 0 : 1;
}

int IniConfig::ReadIntValue(const wchar_t* section, const wchar_t* key)
{
    int value = -1;
    ReadInt(section, key, &value);
    return value;
}

int IniConfig::WriteString(const wchar_t* section, const wchar_t* key, const wchar_t* text)
{
    if (!Usable() || section == nullptr || key == nullptr || text == nullptr) return 0;
    return platform::WriteIniValue(platform::NormalizePath(platform::WideToUtf8(fullPath_)), Narrow(section),
                                   Narrow(key), Narrow(text))
               ? 1
               : 0;
}

int IniConfig::WriteInt(const wchar_t* section, const wchar_t* key, int value)
{
    return WriteString(section, key, std::to_wstring(value).c_str());
}

int IniConfig::WriteStringA(const wchar_t* section, const wchar_t* key, const char* text)
{
    if (text == nullptr) return 0;
    return WriteString(section, key, platform::Utf8ToWide(text).c_str());
}
