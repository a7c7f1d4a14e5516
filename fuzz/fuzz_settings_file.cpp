// The settings file reader over arbitrary bytes: the saved settings are a
// file the user may edit, so any bytes must parse without a fault, and a
// value read never outgrows the registry's limit.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/registry.h"
#include "platform/settings_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    qm::CSettingsIni ini;
    const bool parsed = ini.Parse(text);
    for (const char* key : {"SOFTWARE\\Quillmark", "", "General", "SOFTWARE"}) {
        for (const char* name : {"Layout", "DocFormat", "DLL_FONT", "AllPages", "G", "K"}) {
            std::string value;
            if (!ini.Read(key, name, value)) continue;
            if (!parsed || value.size() > qm::kRegValueMax) __builtin_trap();
        }
    }
    return 0;
}
