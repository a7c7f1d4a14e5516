// The settings store: the registry wrapper over the INI file, the two sets
// of defaults, and the store the core reads through.
#include <QFile>
#include <QSettings>

#include "platform/registry.h"
#include "ui/app_settings.h"
#include "ui/registry.h"
#include "ui_fixture.h"

namespace {

using uitest::SettingsFolder;

class Registry : public SettingsFolder {};

std::string Read(const std::string& name) {
    CRegistry reg(CRegistry::kOpenForAccess);
    if (!reg.Open(kSettingsKey, kRegLocalMachine, kKeyQueryValue, false)) return "<no key>";
    CRegEntry& e = reg[name];
    return e.IsLoaded() ? e.GetString() : "<no value>";
}

bool Write(const std::string& name, const std::string& value, uint32_t flags = CRegistry::kCreateWriteThrough) {
    CRegistry reg(flags);
    if (!reg.Open(kSettingsKey, kRegLocalMachine, kKeyQueryValue | kKeySetValue, true)) return false;
    return reg[name].SetString(value);
}

TEST_F(Registry, NamesDifferingInCaseAddressOneValue) {
    ASSERT_TRUE(Write("DestDir", "/first"));
    EXPECT_EQ(Read("destdir"), "/first");
    EXPECT_EQ(Read("DESTDIR"), "/first");
    ASSERT_TRUE(Write("DESTDIR", "/second"));
    EXPECT_EQ(Read("DestDir"), "/second");

    // The file holds one spelling only.
    QSettings ini(m_config.filePath("Quillmark/Quillmark.conf"), QSettings::IniFormat);
    ini.beginGroup("SOFTWARE/Quillmark");
    EXPECT_EQ(ini.childKeys(), QStringList{"DESTDIR"});
}

TEST_F(Registry, ValuesAreCutAt2048Bytes) {
    const struct { std::string value; size_t kept; } cases[] = {
        {std::string(2048, 'a'), 2048},
        {std::string(2049, 'b'), 2048},
        {std::string(2047, 'c') + "\xC3\xA9", 2047},  // no half "é" at the end
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(Write("LogDir", c.value));
        std::string back = Read("LogDir");
        EXPECT_EQ(back.size(), c.kept);
        EXPECT_EQ(back, c.value.substr(0, c.kept));
    }
}

TEST_F(Registry, DefaultsAndRoundTrip) {
    const CStoredSettings start = CStoredSettings::StartupDefaults();
    const CStoredSettings page = CStoredSettings::PageDefaults();
    EXPECT_EQ(start.m_strDocFormat, "doc");
    EXPECT_EQ(page.m_strDocFormat, "rtf");
    CStoredSettings startWithPageFormat = start;
    startWithPageFormat.m_strDocFormat = "rtf";
    EXPECT_EQ(startWithPageFormat, page) << "the two sets differ in the output format only";

    CStoredSettings loaded = start;
    EXPECT_FALSE(loaded.Load());
    EXPECT_EQ(loaded, start) << "a failed load changes nothing";
    CRegistry reg(CRegistry::kOpenForAccess);
    EXPECT_FALSE(reg.Open(kSettingsKey, kRegLocalMachine, kKeyQueryValue, false)) << "no file yet";

    CStoredSettings saved = page;
    saved.m_strDestDir = "/tmp/out dir";
    saved.m_strLayout = "PlAIN TEXT";
    saved.m_strAllPages = "1, 3, 7, 10-15";  // commas must not turn it into a list
    ASSERT_TRUE(saved.Save());
    ASSERT_TRUE(loaded.Load());
    EXPECT_EQ(loaded, saved);
    EXPECT_TRUE(reg.Open(kSettingsKey, kRegLocalMachine, kKeyQueryValue, false));
    EXPECT_FALSE(reg.Open("SOFTWARE\\Other", kRegLocalMachine, kKeyQueryValue, false)) << "a missing key";

    // The values are stored under their names, in the key's group.
    QSettings ini(m_config.filePath("Quillmark/Quillmark.conf"), QSettings::IniFormat);
    ini.beginGroup("SOFTWARE/Quillmark");
    EXPECT_EQ(ini.value("Layout").toString(), "PlAIN TEXT");
}

TEST_F(Registry, CoreReadsThroughTheInstalledStore) {
    qm::SettingsStore* before = qm::GetSettingsStore();
    InstallSettingsStore();
    ASSERT_NE(qm::GetSettingsStore(), nullptr);
    EXPECT_EQ(qm::ReadRegistryString("", "DLL_FONT"), "");
    ASSERT_TRUE(qm::GetSettingsStore()->WriteString("", "DLL_FONT", "/usr/share/quillmark"));
    EXPECT_EQ(qm::ReadRegistryString("", "dll_font"), "/usr/share/quillmark");
    ASSERT_TRUE(qm::GetSettingsStore()->WriteString("SOFTWARE\\Fonts", "DLL_FONT", "/opt/fonts"));
    EXPECT_EQ(qm::ReadRegistryString("SOFTWARE\\Fonts", "DLL_FONT"), "/opt/fonts");
    EXPECT_EQ(qm::ReadRegistryString("", "DLL_FONT"), "/usr/share/quillmark");
    qm::SetSettingsStore(before);
}

}  // namespace
