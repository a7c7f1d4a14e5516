// The settings file read without Qt. The desktop application keeps its
// settings (the stand-in for the Windows program's registry key) in an INI
// file that it writes with QSettings; the command line and the core read
// the same file here, value for value as the desktop application's
// registry wrapper reads it, so neither needs Qt.
//
// QSettings writes a key path "SOFTWARE\Quillmark" as the group
// "SOFTWARE/Quillmark": section [SOFTWARE] with names "Quillmark\Layout";
// values at the top of the file go to section [General].
#pragma once

#include <map>
#include <string>
#include <string_view>

#include "platform/registry.h"

namespace qm {

// The key of the desktop application's settings, which the command line
// also reads its defaults from.
inline constexpr const char* kSettingsKey = "SOFTWARE\\Quillmark";

// $XDG_CONFIG_HOME/Quillmark/Quillmark.conf, with ~/.config when the
// variable is unset or empty: the file QSettings opens for the desktop
// application.
std::string SettingsFilePath();

// The values of INI text as QSettings reads them, as text.
class CSettingsIni {
public:
    // Takes in `text`; false, and no value readable, when QSettings would
    // refuse the file as malformed (a section header without its ']').
    bool Parse(std::string_view text);

    // Value `name` of the key `keyPath` ("SOFTWARE\\Quillmark"; empty for
    // the top of the file). Names are matched ignoring (ASCII) case, the
    // first stored spelling in QSettings' order winning, as the registry
    // wrapper matches them. A list reads as its items joined with ",", a
    // byte array as its bytes, a value of another type as empty; the text
    // is cut to kRegValueMax bytes.
    bool Read(const std::string& keyPath, const std::string& name, std::string& value) const;

private:
    // By full path ("SOFTWARE/Quillmark/Layout"), sorted as QSettings sorts
    // its keys.
    std::map<std::string, std::string> m_values;
};

// The store over the settings file. It only reads: the desktop
// application writes the file through QSettings.
class CSettingsFileStore : public SettingsStore {
public:
    // The file of SettingsFilePath(), looked up again at every read.
    CSettingsFileStore() = default;
    explicit CSettingsFileStore(std::string path) : m_strPath(std::move(path)) {}

    bool ReadString(const std::string& key, const std::string& name, std::string& value) override;
    bool WriteString(const std::string&, const std::string&, const std::string&) override { return false; }

private:
    std::string m_strPath;
};

}  // namespace qm
