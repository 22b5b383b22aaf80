// Accessor of one ini file, by default "Config.ini" in the data folder.
#pragma once

#include <cstddef>
#include <string>

class IniConfig {
public:
    // Reads keep at most this many characters of a value.
    static constexpr int kValueCapacity = 200;

    // Folder = the data folder ("" before start-up), file name "/Config.ini".
    IniConfig();

    // Full path = folder + "/" + name.
    void SetFileName(const wchar_t* name);
    // Full path = path; folder and file name stay.
    void SetFilePath(const wchar_t* path);
    // Full path = folder + "/" + file name.
    void SetFolder(const wchar_t* folder);
    const std::wstring& FullPath() const { return fullPath_; }

    // Copies the value (at most 199 characters, cut to fit the destination) and
    // gives 1 when it is not empty; a missing file or key reads as empty.
    int ReadString(const wchar_t* section, const wchar_t* key, wchar_t* destination, int capacity);
    // The value as UTF-8, cut on a character boundary to fit `capacity`; gives
    // the number of characters read.
    int ReadStringA(const wchar_t* section, const wchar_t* key, char* destination, int capacity);
    template <std::size_t N>
    int ReadStringA(const wchar_t* section, const wchar_t* key, char (&destination)[N])
    {
        return ReadStringA(section, key, destination, static_cast<int>(N));
    }
    // out = the value as an integer and 1; out = -1 and 0 when empty. Text that
    // does not start with a number reads as 0.
    int ReadInt(const wchar_t* section, const wchar_t* key, int* out);
    int ReadIntValue(const wchar_t* section, const wchar_t* key);

    // 1 when written. Writes fail while the full path has no folder.
    int WriteString(const wchar_t* section, const wchar_t* key, const wchar_t* text);
    int WriteInt(const wchar_t* section, const wchar_t* key, int value);
    int WriteStringA(const wchar_t* section, const wchar_t* key, const char* text);

private:
    std::wstring Read(const wchar_t* section, const wchar_t* key);
    bool Usable() const;

    std::wstring fileName_ = L"/Config.ini";
    std::wstring folder_;
    std::wstring fullPath_;
};
