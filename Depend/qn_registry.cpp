#include "Depend/qn_registry.h"

#include "platform/paths.h"
#include "platform/registry.h"
#include "platform/text.h"

#include <optional>

namespace {

std::optional<platform::RegistryStore> Store()
{
    std::string home = platform::UserDataHome();
    if (home.empty()) return std::nullopt;
    return platform::RegistryStore(home + "/OstrelS/registry.ini");
}

std::string KeyPath(const wchar_t* subKey) { return "Software\\OstrelS\\" + platform::WideToUtf8(subKey); }

} // namespace

int QNGetRegString(const wchar_t* subKey, const wchar_t* valueName, wchar_t* destination, int capacity)
{
    if (subKey == nullptr || valueName == nullptr || destination == nullptr || capacity <= 0) return 0;
    auto store = Store();
    if (!store) return 0;
    auto value = store->Get(KeyPath(subKey), platform::WideToUtf8(valueName));
    if (!value) return 0;
    std::wstring wide = platform::Utf8ToWide(*value);
    if (wide.size() > static_cast<std::size_t>(kQNRegValueLimit)) return 0;
    platform::CopyBounded(destination, static_cast<std::size_t>(capacity), wide);
    return 1;
}

int QNSetRegString(const wchar_t* subKey, const wchar_t* valueName, const wchar_t* text)
{
    if (subKey == nullptr || valueName == nullptr || text == nullptr) return 0;
    auto store = Store();
    if (!store) return 0;
    return store->Set(KeyPath(subKey), platform::WideToUtf8(valueName), platform::WideToUtf8(text)) ? 1 : 0;
}
