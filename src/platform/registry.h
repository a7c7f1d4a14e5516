// The settings store as the core sees it: the stand-in for the registry key
// of the Windows program. The desktop application installs a store over
// QSettings; without one, the settings file is read directly (see
// settings_file.h), so the core and the command line never link Qt. Tests
// install a fake.
#pragma once

#include <cstddef>
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

// The store in use: the installed one, else the reader of the settings
// file (which writes nothing).
SettingsStore* GetSettingsStore();
// Installs `store` (not owned) for the whole process; null goes back to the
// settings file. A read through ReadRegistryString that is under way ends
// before the store is replaced, so the old store may go once this returns.
void SetSettingsStore(SettingsStore* store);

// Reads a string value through the store in use; empty when there is no
// value.
std::string ReadRegistryString(const std::string& key, const std::string& name);

// Longest value (and value name) the registry holds, in bytes.
constexpr size_t kRegValueMax = 2048;

// Cuts a value to kRegValueMax bytes without leaving half of a UTF-8
// character at the end.
std::string CutRegValue(const std::string& text);

}  // namespace qm
