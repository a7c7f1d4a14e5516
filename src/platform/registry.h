// The settings store as the core sees it. The applications install a store
// (an INI file through QSettings); the core never links Qt. Tests install a
// fake.
#pragma once

#include <string>

namespace qm {

class SettingsStore {
public:
    virtual ~SettingsStore() = default;
    // Reads value `name` of `key` (a key path such as "SOFTWARE\\Quillmark");
    // false when it is missing.
    virtual bool ReadString(const std::string& key, const std::string& name, std::string& value) = 0;
    virtual bool WriteString(const std::string& key, const std::string& name, const std::string& value) = 0;
};

// The installed store, or null. The store is not owned.
SettingsStore* GetSettingsStore();
void SetSettingsStore(SettingsStore* store);

// Reads a string value through the installed store; empty when there is no
// store or no value.
std::string ReadRegistryString(const std::string& key, const std::string& name);

}  // namespace qm
