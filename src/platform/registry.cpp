// The installed settings store and the default one over the settings file.
#include "platform/registry.h"

#include <mutex>

#include "platform/settings_file.h"

namespace qm {

namespace {

// The one piece of process-wide state: which store the applications
// installed. The conversion's worker thread reads through it while the
// desktop application's interface thread may install another.
std::mutex g_storeLock;
SettingsStore* g_store = nullptr;

SettingsStore& FileStore() {
    // Holds nothing but reads the file of the current environment, so one
    // instance serves every thread.
    static CSettingsFileStore store;
    return store;
}

}  // namespace

SettingsStore* GetSettingsStore() {
    std::lock_guard<std::mutex> lock(g_storeLock);
    return g_store != nullptr ? g_store : &FileStore();
}

void SetSettingsStore(SettingsStore* store) {
    std::lock_guard<std::mutex> lock(g_storeLock);
    g_store = store;
}

std::string ReadRegistryString(const std::string& key, const std::string& name) {
    std::lock_guard<std::mutex> lock(g_storeLock);
    SettingsStore& store = g_store != nullptr ? *g_store : FileStore();
    std::string value;
    if (!store.ReadString(key, name, value)) return {};
    return value;
}

std::string CutRegValue(const std::string& text) {
    if (text.size() <= kRegValueMax) return text;
    std::string cut = text.substr(0, kRegValueMax);
    // Step back over the continuation bytes of the last character; drop it
    // when its lead byte announces more bytes than the cut kept.
    size_t lead = cut.size();
    for (int k = 0; k < 4 && lead > 0; ++k) {
        --lead;
        auto c = static_cast<unsigned char>(cut[lead]);
        if ((c & 0xC0) != 0x80) {
            size_t need = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
            if (lead + need > cut.size()) cut.resize(lead);
            break;
        }
    }
    return cut;
}

}  // namespace qm
