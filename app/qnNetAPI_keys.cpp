// The facade's video keys: the default key texts of a camera, made of an
// account key and a camera part, and the keys the controller sets.
#include <cstring>

#include "app/facade_rules.h"
#include "app/qnNetAPI.h"
#include "platform/text.h"

namespace {

constexpr std::size_t kKeyTextLimit = 31;
const char kDefaultName[] = "security_default";
const char kDefaultOldName[] = "security_default_old";

std::string FieldText(const char* field, std::size_t size)
{
    return std::string(field, strnlen(field, size));
}

} // namespace

bool qnNetAPI::KeyOf(const CameraFacts& facts, std::string* accountKey)
{
    if (facts.entry.shared == 0) {
        std::lock_guard<std::mutex> hold(camerasMutex_);
        *accountKey = accountKey_;
        return true;
    }
    // A shared camera's video is protected with its owner's key.
    const std::string name = FieldText(facts.entry.name, sizeof(facts.entry.name));
    const std::size_t at = name.find('@');
    if (at == std::string::npos || at + 1 >= name.size()) return false;
    *accountKey = facade::AccountKey(std::string_view(name).substr(at + 1));
    return true;
}

std::string qnNetAPI::KeyText(const std::string& accountKey, int32_t camera, const vqCameraEntry& entry, bool old)
{
    const std::string part =
        old ? FieldText(entry.deviceText, sizeof(entry.deviceText)) : std::to_string(camera);
    const std::string text = accountKey + part;
    return text.substr(0, platform::Utf8PrefixLength(text, kKeyTextLimit));
}

int qnNetAPI::SendKey(int mode, const char* name, const char* text)
{
    switch (mode) {
    case 0: return realplay_.SendCtrl(name, text, nullptr);
    case 1: return ipcRcd_.SendCtrl(name, text, nullptr);
    case 2: return filePlay_.SendCtrl(name, text, nullptr);
    default: return 0;
    }
}

bool qnNetAPI::InstallDefaultKey(int32_t camera, int mode, bool old)
{
    const CameraFacts facts = FindCamera(camera);
    std::string accountKey;
    if (!facts.known || !KeyOf(facts, &accountKey)) return true;
    const std::string text = KeyText(accountKey, camera, facts.entry, old);
    return SendKey(mode, old ? kDefaultOldName : kDefaultName, text.c_str()) == 1;
}

int qnNetAPI::GetDefaultKey(int32_t camera, char name[17], char key[32], bool old)
{
    if (name == nullptr || key == nullptr) return 0;
    const CameraFacts facts = FindCamera(camera);
    std::string accountKey;
    if (!facts.known || !KeyOf(facts, &accountKey)) return 0;
    platform::CopyBounded(name, 17, kDefaultName);
    platform::CopyBounded(key, 32, KeyText(accountKey, camera, facts.entry, old));
    return 1;
}

int qnNetAPI::SetSecurity(int32_t type, const char* key, bool old)
{
    if (type < 3 || type > 8 || key == nullptr) return 0;
    const bool custom = type % 2 == 0;
    const char* name = custom ? "security_custom" : old ? kDefaultOldName : kDefaultName;
    const int mode = type <= 4 ? 2 : type <= 6 ? 0 : 1;
    return SendKey(mode, name, key) == 1 ? 1 : 0;
}
