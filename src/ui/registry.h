// The registry wrapper of the desktop application. The Windows program kept
// its settings under a registry key; here a key is a group of the per-user
// INI file $XDG_CONFIG_HOME/Quillmark/Quillmark.conf, read and written with
// QSettings, and every value is a string. The settings page and the core's
// DLL_FONT lookup in the desktop application go through it; the command
// line reads the same file without Qt (platform/settings_file.h).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/registry.h"

class QSettings;
class CRegistry;

// Root keys. On Linux every root addresses the same per-user file.
enum RegRoot : uint32_t {
    kRegCurrentUser = 0x80000001u,
    kRegLocalMachine = 0x80000002u,
};

// Access rights of an open key, as the registry names them.
enum RegAccess : uint32_t {
    kKeyQueryValue = 1,
    kKeySetValue = 2,
    kKeyCreateSubKey = 4,
};

using qm::kRegValueMax;
using qm::CutRegValue;

// One named value of an open key.
class CRegEntry {
public:
    enum Kind { kString, kNumber, kBinary, kMultiString };

    CRegEntry(CRegistry* owner, const std::string& name);
    virtual ~CRegEntry();
    CRegEntry(const CRegEntry&) = delete;
    CRegEntry& operator=(const CRegEntry&) = delete;

    // The value as text: a number in decimal, binary bytes as they are, a
    // list joined with ",". With the registry's re-read flag the stored
    // value is read again first.
    std::string GetString();
    // Stores at most kRegValueMax bytes of `text` as a string and, unless
    // the registry suppresses writes, writes it at once; true when written.
    bool SetString(const std::string& text);
    CRegEntry& operator=(const std::string& text) {
        SetString(text);
        return *this;
    }

    const std::string& Name() const { return m_strName; }
    Kind GetKind() const { return m_nKind; }
    bool IsLoaded() const { return m_bLoaded; }
    bool IsChanged() const { return m_bChanged; }

private:
    friend class CRegistry;

    CRegistry* m_pOwner;
    std::string m_strName;
    Kind m_nKind = kString;
    std::string m_strValue;
    unsigned long m_nNumber = 0;
    std::string m_binary;
    bool m_bChanged = false;
    bool m_bLoaded = false;
};

class CRegistry {
public:
    // Option flags.
    enum : uint32_t {
        kCreateWriteThrough = 1,  // create a missing key; values are written at once
        kOpenForAccess = 2,       // open an existing key for the access at hand
        kRereadValues = 4,        // read a value from the file on every read
        kNoWrites = 8,            // never write
    };

    explicit CRegistry(uint32_t flags);
    virtual ~CRegistry();
    CRegistry(const CRegistry&) = delete;
    CRegistry& operator=(const CRegistry&) = delete;

    // Opens the key `path` ("SOFTWARE\\Quillmark"; empty for the root of the
    // file). With kCreateWriteThrough the key is created when missing and
    // the access widened by kKeyCreateSubKey; otherwise a missing key fails.
    // Unless `create` is set, every value of the key is read into entries.
    // Opening another path first drops the entries of the last one.
    bool Open(const std::string& path, uint32_t root, uint32_t access, bool create);
    void Close();
    bool IsOpen() const { return m_pKey != nullptr; }

    // The entry named `name`, matched ignoring case, last match first; a new
    // entry when none matches.
    CRegEntry& operator[](const std::string& name);
    size_t Count() const { return m_entries.size(); }
    uint32_t Flags() const { return m_nFlags; }
    uint32_t Access() const { return m_nAccess; }

    // Where the file lives for the current $XDG_CONFIG_HOME.
    static std::string FilePath();

private:
    friend class CRegEntry;
    bool ReadValue(CRegEntry& entry);
    bool WriteValue(CRegEntry& entry);

    std::unique_ptr<QSettings> m_pKey;
    uint32_t m_nRoot = kRegLocalMachine;
    std::string m_strPath;
    uint32_t m_nFlags;
    uint32_t m_nAccess = 0;
    std::vector<std::unique_ptr<CRegEntry>> m_entries;
};
