// The settings record, its defaults and its storage.
#include "ui/app_settings.h"

#include <QDir>
#include <QFile>

#include "ui/registry.h"

const CStoredSettings::Field CStoredSettings::kFields[9] = {
    {"DestDir", &CStoredSettings::m_strDestDir},
    {"DocFormat", &CStoredSettings::m_strDocFormat},
    {"AutoOpen", &CStoredSettings::m_strAutoOpen},
    {"Language", &CStoredSettings::m_strLanguage},
    {"LogDir", &CStoredSettings::m_strLogDir},
    {"Layout", &CStoredSettings::m_strLayout},
    {"ImageFilter", &CStoredSettings::m_strImageFilter},
    {"Preserve", &CStoredSettings::m_strPreserve},
    {"AllPages", &CStoredSettings::m_strAllPages},
};

std::string DefaultFolder() {
    // "C:\" names the system drive's root; the Linux root is not writable,
    // so the home folder takes its place.
    return QDir::homePath().toUtf8().toStdString();
}

std::string DefaultLogFolder() {
    const QByteArray state = qgetenv("XDG_STATE_HOME");
    const QString base = state.startsWith('/') ? QFile::decodeName(state) : QDir::homePath() + "/.local/state";
    return QFile::encodeName(base + "/Quillmark").toStdString();
}

CStoredSettings CStoredSettings::StartupDefaults() {
    CStoredSettings s = PageDefaults();
    s.m_strDocFormat = "doc";
    return s;
}

CStoredSettings CStoredSettings::PageDefaults() {
    CStoredSettings s;
    s.m_strDestDir = DefaultFolder();
    s.m_strDocFormat = "rtf";
    s.m_strAutoOpen = "Yes";
    s.m_strLanguage = "English";
    s.m_strLogDir = DefaultLogFolder();
    s.m_strLayout = "FLOWING";
    s.m_strImageFilter = "No";
    s.m_strPreserve = "Yes";
    s.m_strAllPages = "No";
    return s;
}

bool CStoredSettings::Load() {
    CRegistry reg(CRegistry::kOpenForAccess);
    if (!reg.Open(kSettingsKey, kRegLocalMachine, kKeyQueryValue, false)) return false;
    for (const Field& f : kFields) this->*f.member = reg[f.name].GetString();
    return true;
}

bool CStoredSettings::Save() const {
    CRegistry reg(CRegistry::kCreateWriteThrough);
    if (!reg.Open(kSettingsKey, kRegLocalMachine, kKeyQueryValue | kKeySetValue, true)) return false;
    for (const Field& f : kFields) reg[f.name] = this->*f.member;
    return true;
}

AppSettings::AppSettings() : CStoredSettings(StartupDefaults()) {
    m_strDestDir2 = DefaultFolder();
    m_strSourceDir = DefaultFolder();
}

bool CIniSettingsStore::ReadString(const std::string& key, const std::string& name, std::string& value) {
    CRegistry reg(CRegistry::kOpenForAccess);
    if (!reg.Open(key, kRegLocalMachine, kKeyQueryValue, false)) return false;
    CRegEntry& entry = reg[name];
    if (!entry.IsLoaded()) return false;
    value = entry.GetString();
    return true;
}

bool CIniSettingsStore::WriteString(const std::string& key, const std::string& name, const std::string& value) {
    CRegistry reg(CRegistry::kCreateWriteThrough);
    if (!reg.Open(key, kRegLocalMachine, kKeyQueryValue | kKeySetValue, true)) return false;
    return reg[name].SetString(value);
}

void InstallSettingsStore() {
    static CIniSettingsStore store;
    qm::SetSettingsStore(&store);
}
