// The camera-type and lens tables of the service's web server, kept in memory
// and cached as text files in the data folder ("User/type.json.txt",
// "User/lens.txt") so that the client starts when the server cannot be
// reached; and the rule that turns a model text into a camera type.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

struct CameraTypeEntry {
    char cameraType[128];
    int32_t series; // 1-9
};

struct LensEntry {
    uint64_t panoType;
    char sensor[32];
    char lens[32];
    char correction[256]; // hexadecimal digits
};

// What a video window gets for one panorama type.
struct LensBinary {
    uint32_t length;
    uint8_t data[260];
    uint64_t panoType;
    uint8_t zero[8];
};
static_assert(sizeof(LensBinary) == 280);

// 0, 1 or 2 for a model text.
int GetCameraType(std::string_view model);

class CameraTables {
public:
    // The cached camera-type table: entries loaded (0 for an empty path, a
    // missing, empty or unreadable file). The data folder is kept when given.
    int LoadCameraTypeFile(const std::string& path, const std::string& dataFolder);
    // Replaces the table when `text` is a JSON array; the entries kept, or 0
    // (table unchanged) when it is not.
    int ParseCameraTypes(std::string_view text);

    // The cached lens table: lens binaries built.
    int LoadLensFile(const std::string& path, const std::string& dataFolder);
    // Merges a JSON array of lens objects by type code: objects read, 0 when
    // the text is not a JSON array.
    int MergeLens(std::string_view text);
    // Rebuilds the binaries from the entries in order; entries whose
    // correction text holds a non-hexadecimal pair are left out. The count.
    int BuildLensBinaries();
    // Merges a server reply and writes all entries to the cache file.
    void SaveLensCorrect(std::string_view reply);

    // The start-up fetches from the web server at `webBase` ("http://host:port"):
    // true when the step counts as done (see the facade's initialisation).
    bool FetchCameraTypes(const std::string& webBase, const std::atomic<bool>* stop);
    bool FetchLens(const std::string& webBase, const std::atomic<bool>* stop);
    // The client-version check: the first number, or -1.
    int GetVersion(const std::string& webBase, int serial, int version, int* first, int* second,
                   const std::atomic<bool>* stop = nullptr);

    std::vector<CameraTypeEntry> CameraTypes() const;
    std::vector<LensEntry> LensEntries() const;
    std::vector<LensBinary> LensBinaries() const;
    bool TypeTableLoaded() const { return typeLoaded_.load(); }
    bool TypeTableFromCache() const { return typeFromCache_.load(); }
    bool LensTableLoaded() const { return lensLoaded_.load(); }
    std::string DataFolder() const;

private:
    std::string CachePath(const char* name) const;
    int MergeLensLocked(std::string_view text);
    int BuildLensBinariesLocked();

    mutable std::mutex mutex_;
    std::string dataFolder_;
    std::vector<CameraTypeEntry> types_;
    std::vector<LensEntry> lensEntries_;
    std::vector<LensBinary> lensBinaries_;
    std::atomic<bool> typeLoaded_{false};
    std::atomic<bool> typeFromCache_{false};
    std::atomic<bool> lensLoaded_{false};
};
