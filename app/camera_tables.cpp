#include "app/camera_tables.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include <json/json.h>

#include "Depend/qn_log.h"
#include "app/http_get.h"
#include "platform/files.h"
#include "platform/text.h"

namespace {

bool ParseJsonArray(std::string_view text, Json::Value* root)
{
    Json::CharReaderBuilder builder;
    std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    std::string errors;
    if (!reader->parse(text.data(), text.data() + text.size(), root, &errors)) return false;
    // Only an array is a table; anything else would empty the table.
    return root->isArray();
}

std::string MemberText(const Json::Value& object, const char* name)
{
    const Json::Value& value = object[name];
    if (value.isString()) return value.asString();
    if (value.isIntegral() || value.isDouble()) return value.asString();
    return {};
}

// A type code from decimal digits (text or a JSON number): codes up to
// 2^64 - 1 survive.
bool ReadTypeCode(const Json::Value& value, uint64_t* code)
{
    if (value.isUInt64()) {
        *code = value.asUInt64();
        return true;
    }
    if (!value.isString()) return false;
    const std::string text = value.asString();
    if (text.empty() || text.size() > 20) return false;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
    }
    errno = 0;
    char* end = nullptr;
    const unsigned long long parsed = std::strtoull(text.c_str(), &end, 10);
    if (errno == ERANGE || end == nullptr || *end != '\0') return false;
    *code = parsed;
    return true;
}

int HexDigit(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool DecodeCorrection(const char* text, LensBinary* binary)
{
    const std::size_t length = ::strnlen(text, sizeof(LensEntry::correction));
    const std::size_t bytes = length / 2;
    for (std::size_t i = 0; i < bytes; ++i) {
        const int high = HexDigit(text[2 * i]);
        const int low = HexDigit(text[2 * i + 1]);
        if (high < 0 || low < 0) return false;
        binary->data[i] = static_cast<uint8_t>(high * 16 + low);
    }
    binary->length = static_cast<uint32_t>(bytes);
    return true;
}

// The two characters at `position`, as a decimal number; a text too short
// for them gives type 0.
int TypeFromDigits(std::string_view model, std::size_t position)
{
    if (model.size() < position + 2) return 0;
    const char digits[3] = {model[position], model[position + 1], '\0'};
    return std::atoi(digits) <= 13 ? 1 : 0;
}

bool Contains(std::string_view text, std::string_view part)
{
    return text.find(part) != std::string_view::npos;
}

std::string JoinFolder(const std::string& folder, const char* name)
{
    if (folder.empty()) return {};
    return folder.back() == '/' ? folder + name : folder + "/" + name;
}

} // namespace

int GetCameraType(std::string_view model)
{
    // A model held in a fixed field ends at its first zero.
    model = model.substr(0, model.find('\0'));
    if (Contains(model, "YT") || Contains(model, "YE") || Contains(model, "YJ")) return 2;
    const std::size_t dash = model.find('-');
    if (dash != std::string_view::npos) {
        if (dash == 0) return 0; // no first part: nothing is read
        const std::string_view first = model.substr(0, dash);
        std::string_view second = model.substr(dash + 1);
        second = second.substr(0, second.find('-'));
        if (Contains(second, "Y")) return 2;
        if (first.size() < 8) return 0;
        return TypeFromDigits(model, 6);
    }
    if (Contains(model, "01111") || Contains(model, "00000")) return TypeFromDigits(model, 11);
    bool known = false;
    for (const char* mark : {"CP", "XD", "QN", "CL", "ML", "QQ"}) known = known || Contains(model, mark);
    if (!known || model.size() < 9) {
        QNLogPrint("%s(%d)_%s\n", __FUNCTION__, __LINE__, std::string(model).c_str());
        return 0;
    }
    return TypeFromDigits(model, 6);
}

std::string CameraTables::CachePath(const char* name) const
{
    return JoinFolder(dataFolder_, name);
}

std::string CameraTables::DataFolder() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return dataFolder_;
}

int CameraTables::ParseCameraTypes(std::string_view text)
{
    Json::Value root;
    if (!ParseJsonArray(text, &root)) return 0;
    std::vector<CameraTypeEntry> types;
    for (const Json::Value& item : root) {
        if (!item.isObject()) continue;
        const std::string series = MemberText(item, "series");
        if (series.empty()) continue;
        const int number = std::atoi(series.c_str());
        if (number < 1 || number > 9) continue;
        CameraTypeEntry entry{};
        platform::CopyBounded(entry.cameraType, sizeof(entry.cameraType), MemberText(item, "camera_type"));
        entry.series = number;
        types.push_back(entry);
    }
    std::lock_guard<std::mutex> lock(mutex_);
    types_ = std::move(types);
    return static_cast<int>(types_.size());
}

int CameraTables::LoadCameraTypeFile(const std::string& path, const std::string& dataFolder)
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        types_.clear();
        if (!dataFolder.empty()) dataFolder_ = dataFolder;
    }
    typeFromCache_ = false;
    if (path.empty()) return 0;
    const auto text = platform::ReadWholeFile(path);
    if (!text || text->empty()) return 0;
    const int kept = ParseCameraTypes(*text);
    if (kept > 0) typeFromCache_ = true;
    return kept;
}

int CameraTables::MergeLensLocked(std::string_view text)
{
    Json::Value root;
    if (!ParseJsonArray(text, &root)) return 0;
    int read = 0;
    for (const Json::Value& item : root) {
        if (!item.isObject()) continue;
        LensEntry entry{};
        if (!ReadTypeCode(item["PanoTypeEx"], &entry.panoType)) continue;
        platform::CopyBounded(entry.correction, sizeof(entry.correction), MemberText(item, "byte"));
        platform::CopyBounded(entry.lens, sizeof(entry.lens), MemberText(item, "lens"));
        platform::CopyBounded(entry.sensor, sizeof(entry.sensor), MemberText(item, "sensor"));
        ++read;
        bool replaced = false;
        for (LensEntry& kept : lensEntries_) {
            if (kept.panoType == entry.panoType) {
                kept = entry;
                replaced = true;
                break;
            }
        }
        if (!replaced) lensEntries_.push_back(entry);
    }
    return read;
}

int CameraTables::MergeLens(std::string_view text)
{
    std::lock_guard<std::mutex> lock(mutex_);
    return MergeLensLocked(text);
}

int CameraTables::BuildLensBinariesLocked()
{
    lensBinaries_.clear();
    for (const LensEntry& entry : lensEntries_) {
        LensBinary binary{};
        if (!DecodeCorrection(entry.correction, &binary)) {
            QNLogPrint("%s(%d) bad correction text of %llu\n", __FUNCTION__, __LINE__,
                       static_cast<unsigned long long>(entry.panoType));
            continue;
        }
        binary.panoType = entry.panoType;
        lensBinaries_.push_back(binary);
    }
    return static_cast<int>(lensBinaries_.size());
}

int CameraTables::BuildLensBinaries()
{
    std::lock_guard<std::mutex> lock(mutex_);
    return BuildLensBinariesLocked();
}

int CameraTables::LoadLensFile(const std::string& path, const std::string& dataFolder)
{
    std::lock_guard<std::mutex> lock(mutex_);
    lensBinaries_.clear();
    lensEntries_.clear();
    if (!dataFolder.empty()) dataFolder_ = dataFolder;
    if (path.empty()) return 0;
    const auto text = platform::ReadWholeFile(path);
    if (!text || text->empty()) return 0;
    if (MergeLensLocked(*text) == 0) return 0;
    return BuildLensBinariesLocked();
}

void CameraTables::SaveLensCorrect(std::string_view reply)
{
    Json::Value root;
    if (!ParseJsonArray(reply, &root)) return;
    std::lock_guard<std::mutex> lock(mutex_);
    const int read = MergeLensLocked(reply);
    QNLogPrint("%s(%d) New Add %d\n", __FUNCTION__, __LINE__, read);
    if (read > 0) {
        const int built = BuildLensBinariesLocked();
        QNLogPrint("%s(%d) iResult:%d\n", __FUNCTION__, __LINE__, built);
    }
    Json::Value all(Json::arrayValue);
    for (const LensEntry& entry : lensEntries_) {
        char code[24];
        std::snprintf(code, sizeof(code), "%llu", static_cast<unsigned long long>(entry.panoType));
        Json::Value item(Json::objectValue);
        item["PanoTypeEx"] = code;
        item["sensor"] = entry.sensor;
        item["lens"] = entry.lens;
        item["byte"] = entry.correction;
        all.append(item);
    }
    const std::string path = CachePath("User/lens.txt");
    // A cache that cannot be written is only a missed cache.
    if (!path.empty()) platform::ReplaceFileAtomically(path, all.toStyledString());
}

bool CameraTables::FetchCameraTypes(const std::string& webBase, const std::atomic<bool>* stop)
{
    std::string reply;
    Json::Value root;
    if (HttpGet(webBase + "/Index/showCameraType", &reply, stop) == 1 && ParseJsonArray(reply, &root)) {
        const std::string path = [&] {
            std::lock_guard<std::mutex> lock(mutex_);
            return CachePath("User/type.json.txt");
        }();
        if (!path.empty()) platform::ReplaceFileAtomically(path, reply);
        ParseCameraTypes(reply);
        typeFromCache_ = false;
        typeLoaded_ = true;
        return true;
    }
    QNLogPrint("%s(%d) GetCameraType failed\n", __FUNCTION__, __LINE__);
    if (typeFromCache_) typeLoaded_ = true;
    std::lock_guard<std::mutex> lock(mutex_);
    return !types_.empty();
}

bool CameraTables::FetchLens(const std::string& webBase, const std::atomic<bool>* stop)
{
    std::string reply;
    if (HttpGet(webBase + "/Index/getLensConfig", &reply, stop) == 1) {
        SaveLensCorrect(reply);
        lensLoaded_ = true;
        return true;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    if (lensBinaries_.empty()) {
        QNLogPrint("%s(%d) GetLensConfig failed\n", __FUNCTION__, __LINE__);
        return false;
    }
    return true;
}

int CameraTables::GetVersion(const std::string& webBase, int serial, int version, int* first, int* second,
                             const std::atomic<bool>* stop)
{
    char path[96];
    std::snprintf(path, sizeof(path), "/Index/CheckClientVesion?version=%d&serial=%d", version, serial);
    std::string reply;
    if (HttpGet(webBase + path, &reply, stop) != 1) {
        QNLogPrint("%s(%d)\n", __FUNCTION__, __LINE__);
        return -1;
    }
    if (reply == "-1" || reply.find('|') == std::string::npos) return -1;
    int a = 0, b = 0;
    if (std::sscanf(reply.c_str(), "%d|%d", &a, &b) != 2) return -1;
    if (first != nullptr) *first = a;
    if (second != nullptr) *second = b;
    return a;
}

std::vector<CameraTypeEntry> CameraTables::CameraTypes() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return types_;
}

std::vector<LensEntry> CameraTables::LensEntries() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return lensEntries_;
}

std::vector<LensBinary> CameraTables::LensBinaries() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return lensBinaries_;
}
