/*
 * Files under the system root: FileManage resolves a name (a relative one
 * under LENTIX_ROOT) and creates the folders on its way; BinaryFile reads,
 * writes and appends whole files; IniFile reads single values of the
 * library's ini dialect.
 *
 * Paths use "/"; "\\" in a name is taken as a separator too. A name whose
 * parts do not fit the fixed fields (288 characters for the full name, 256
 * for the folder, 32 for the file name, 256 for the root) is refused: the full
 * name stays empty and nothing is created.
 */
#ifndef BASEKIT_FILE_MANAGE_H
#define BASEKIT_FILE_MANAGE_H

#include <stddef.h>
#include <stdint.h>

#include "basekit/export.h"
#include "basekit/sys_time.h"

class BASEKIT_API FileManage {
public:
    static constexpr size_t kFullNameSize = 288;
    static constexpr size_t kDirectorySize = 256;
    static constexpr size_t kFileNameSize = 32;
    static constexpr size_t kRootSize = 256;
    static constexpr size_t kFoundNameSize = 256;
    static constexpr int kMaxFoundNames = 1024;

    FileManage();
    explicit FileManage(const char *name);
    FileManage(const FileManage &) = default;
    FileManage &operator=(const FileManage &) = default;
    FileManage &operator=(const char *name);
    virtual ~FileManage();
    // 1 when the file was removed, else 0.
    virtual int del_file();

    // Resolves and stores the name; 1, or 0 when it was refused (no root for
    // a relative name, or too long).
    int set_filename(const char *name);
    const char *get_filename() const { return fullName_; }
    const char *get_directory() const { return directory_; }
    const char *get_shortname() const { return fileName_; }
    // Length in bytes, or -1 when the file cannot be opened for reading.
    int64_t get_file_len() const;
    static int64_t get_file_len(const char *path);

    static int DeleteFileA(const char *path);
    // The last-write time as local calendar fields with milliseconds, and as
    // seconds since 1970; 0 when the file cannot be read.
    static int64_t GetFileAlterTime(const char *path, SYS_TIME *time);
    static int IsDirExist(const char *path);
    // 1 when the last-write time changes within one second.
    static int IsFileUsing(const char *path);
    // 1 when another process has the file open (a failed open counts too).
    // Where the kernel grants no write lease, only processes that lock the
    // file themselves are seen.
    static int IsFileUsingEx(const char *path);
    // Names (not paths) of the regular files in the folder, and with
    // `recurse` in its subfolders (symbolic links to folders are not
    // followed); at most 1024 names of up to 255 bytes. Returns the count,
    // which is also stored in `count`.
    static int FindFileInDir(const char *folder, char (*names)[kFoundNameSize], int *count, int recurse);
    // Entries of the folder other than "." and "..", counting stops at `limit`.
    static int GetFileNumInDir(const char *folder, int limit);
    // A file of `length` bytes of 0xFF, then opened with the given open flags
    // (platform::kOpen* values); the descriptor, or -1.
    static int CreateFixedSizeFile(const char *path, unsigned length, int flags);

protected:
    void clearNames();

    char fullName_[kFullNameSize];
    char directory_[kDirectorySize];
    char fileName_[kFileNameSize];
    char root_[kRootSize];
};

class BASEKIT_API BinaryFile : public FileManage {
public:
    BinaryFile() = default;
    explicit BinaryFile(const char *name) : FileManage(name) {}
    BinaryFile &operator=(const char *name) {
        FileManage::operator=(name);
        return *this;
    }
    ~BinaryFile() override;

    // Bytes read from the start (at most size), or -1.
    virtual int read_file(void *buffer, int size);
    // Creates or truncates, writes, and leaves the file readable and writable
    // by its owner only. Bytes written, or -1.
    virtual int write_file(const void *data, int length);
    // Appends; a file that cannot be opened for appending is written anew.
    virtual int append_file(const void *data, int length);
};

// The dialect: a section starts at a line holding "[name]" (exact, at least
// two characters) and runs until a line holding "[END]" or the end of the
// file; later section lines do not end it. "key = value // comment".
class BASEKIT_API IniFile : public FileManage {
public:
    static constexpr size_t kValueCapacity = 128;  // 127 characters and the terminator

    IniFile() = default;
    explicit IniFile(const char *name) : FileManage(name) {}
    IniFile &operator=(const char *name) {
        FileManage::operator=(name);
        return *this;
    }
    ~IniFile() override;

    // 1 when found; the value (at most 127 characters) is copied to `value`,
    // which needs 128 characters of room.
    virtual int ReadKeyValue(const char *section, const char *key, char *value);
    virtual int ReadKeyStringValue(const char *section, const char *key, char *value);
    virtual int ReadKeyIntValue(const char *section, const char *key, int *value);
    virtual int ReadKeyFloatValue(const char *section, const char *key, float *value);
    // The same with the room of `value`; a value is cut to fit.
    int ReadKeyValue(const char *section, const char *key, char *value, size_t capacity);
};

#endif
