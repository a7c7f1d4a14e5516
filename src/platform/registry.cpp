#include "platform/registry.h"

namespace qm {

namespace {
SettingsStore* g_store = nullptr;
}

SettingsStore* GetSettingsStore() { return g_store; }
void SetSettingsStore(SettingsStore* store) { g_store = store; }

std::string ReadRegistryString(const std::string& key, const std::string& name) {
    std::string value;
    if (g_store == nullptr || !g_store->ReadString(key, name, value)) return {};
    return value;
}

}  // namespace qm
