// The user's conversion settings: the nine stored values with their two sets
// of defaults, the settings record `AppSettings` that the job carries, and
// the settings store that the desktop application installs for the core
// (its font map folder, DLL_FONT, is read from the same file).
#pragma once

#include <cstdint>
#include <string>

#include "control/layout_names.h"
#include "platform/registry.h"
#include "platform/settings_file.h"

using qm::kSettingsKey;
using qm::LayoutCode;
using qm::LayoutName;

// The folder that stands in for the Windows program's "C:\" default: the
// user's home folder.
std::string DefaultFolder();
// Where the log file of each run goes unless the user chose a folder:
// $XDG_STATE_HOME/Quillmark (~/.local/state/Quillmark), not the home folder,
// which a log per run would clutter.
std::string DefaultLogFolder();

// The nine stored values, in the order in which they are stored.
struct CStoredSettings {
    std::string m_strDestDir;     // DestDir
    std::string m_strDocFormat;   // DocFormat: "doc" or "rtf"
    std::string m_strAutoOpen;    // AutoOpen: "Yes" or "No"
    std::string m_strLanguage;    // Language: "English"; kept in the file, not offered
    std::string m_strLogDir;      // LogDir: each run writes its log file here
    std::string m_strLayout;      // Layout: "FLOWING", "NO IMAGES", "PlAIN TEXT", "EXACT"
    std::string m_strImageFilter; // ImageFilter: "Yes" removes pictures
    std::string m_strPreserve;    // Preserve: "Yes" or "No"
    std::string m_strAllPages;    // AllPages: "Yes", "No" or a page-range text

    struct Field {
        const char* name;
        std::string CStoredSettings::*member;
    };
    static const Field kFields[9];

    // What the program starts with, and what the settings page shows when
    // nothing is stored (they differ in DocFormat: "doc" against "rtf").
    static CStoredSettings StartupDefaults();
    static CStoredSettings PageDefaults();

    // Reads the stored values; false (and nothing changed) when the key
    // cannot be opened. A value missing from the key reads as empty.
    bool Load();
    // Writes the nine values; false when the key cannot be opened or made.
    bool Save() const;

    bool operator==(const CStoredSettings&) const = default;
};

// The settings record of the job: the stored values plus what the main
// window and the wizards keep beside them for a run.
struct AppSettings : CStoredSettings {
    AppSettings();

    std::string m_strDestDir2;     // second output folder
    std::string m_strSourceDir;    // folder of the first listed file
    std::string m_strImageFormat = "BMP";  // format name of a picture extraction
    std::string m_strOutDirCopy;   // output folder shown by the picture wizard
    std::string m_strListStatus;
    int32_t m_nAutoOpen = 1;       // open the document after a conversion
    // The to-Word wizard's image filter for its run ("Yes" removes
    // pictures); it starts from the saved ImageFilter at each opening and
    // never changes the saved one.
    std::string m_strRunImageFilter;
    // The same for the to-Word wizard's spacing choice ("Yes" keeps the
    // PDF's spacing).
    std::string m_strRunPreserve;
};

// The settings store of the core over QSettings, which unlike the core's own
// reader of the file also writes.
class CIniSettingsStore : public qm::SettingsStore {
public:
    bool ReadString(const std::string& key, const std::string& name, std::string& value) override;
    bool WriteString(const std::string& key, const std::string& name, const std::string& value) override;
};

// Installs one process-wide CIniSettingsStore with qm::SetSettingsStore.
void InstallSettingsStore();
