// The settings store: the registry wrapper over the INI file, the two sets
// of defaults, the store the application installs for the core (read in
// CoreReaderReadsWhatQSettingsWrote), and the core's own reader of the
// file, which must read what QSettings wrote.
#include <QDir>
#include <QFile>
#include <QSettings>

#include <optional>

#include "platform/registry.h"
#include "platform/settings_file.h"
#include "support/settings_cases.h"
#include "support/test_util.h"
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

TEST_F(Registry, FailedLoadAndRoundTrip) {
    const CStoredSettings start = CStoredSettings::StartupDefaults();
    CStoredSettings startWithPageFormat = start;
    startWithPageFormat.m_strDocFormat = CStoredSettings::PageDefaults().m_strDocFormat;
    EXPECT_EQ(startWithPageFormat, CStoredSettings::PageDefaults()) << "the two sets differ in the output format only";
    CStoredSettings loaded = start;
    EXPECT_FALSE(loaded.Load());
    EXPECT_EQ(loaded, start) << "a failed load changes nothing";
    CRegistry reg(CRegistry::kOpenForAccess);
    EXPECT_FALSE(reg.Open(kSettingsKey, kRegLocalMachine, kKeyQueryValue, false)) << "no file yet";

    CStoredSettings saved = CStoredSettings::PageDefaults();
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

TEST_F(Registry, CoreReaderReadsWhatQSettingsWrote) {
    CStoredSettings saved = CStoredSettings::PageDefaults();
    saved.m_strDestDir = "/tmp/out \"dir\"; x=y, z";  // quoted and escaped in the file
    saved.m_strLayout = "PlAIN TEXT";
    saved.m_strAllPages = "1, 3, 7, 10-15";
    saved.m_strLogDir = " @log\\dir\t\x01" "1 caf\xC3\xA9 ";  // padding, '@', control bytes, UTF-8
    saved.m_strLanguage = "@@English";
    saved.m_strPreserve = std::string(2100, 'p');  // cut to the registry's limit
    ASSERT_TRUE(saved.Save());
    // The file holds escapes indeed, or this test would prove little.
    const std::string file = qmtest::ReadFile(m_config.filePath("Quillmark/Quillmark.conf").toStdString());
    EXPECT_NE(file.find("Quillmark\\DestDir=\"/tmp/out \\\"dir\\\"; x=y, z\""), std::string::npos) << file;
    EXPECT_NE(file.find("Quillmark\\Language=@@@English"), std::string::npos) << file;

    qm::CSettingsFileStore reader;
    for (const auto& f : CStoredSettings::kFields) {
        std::string value;
        ASSERT_TRUE(reader.ReadString(kSettingsKey, f.name, value)) << f.name;
        EXPECT_EQ(value, qm::CutRegValue(saved.*f.member)) << f.name;
    }

    // Values at the top of the file and in another group, and values of
    // other types, written with QSettings directly.
    {
        QSettings ini(m_config.filePath("Quillmark/Quillmark.conf"), QSettings::IniFormat);
        ini.setValue("DLL_FONT", "/usr/share/quill mark");
        ini.setValue("SOFTWARE/Fonts/DLL_FONT", "/opt/fonts");
        ini.setValue("SOFTWARE/Quillmark/Bytes", QByteArray("a\x01\xFF b"));
        ini.setValue("SOFTWARE/Quillmark/List", QStringList{"a", "b c"});
    }
    CIniSettingsStore qsettings;
    for (const auto& [key, name] : std::initializer_list<std::pair<std::string, std::string>>{
             {"", "dll_font"}, {"SOFTWARE\\Fonts", "DLL_FONT"}, {kSettingsKey, "Bytes"}, {kSettingsKey, "List"}}) {
        std::string mine, theirs;
        ASSERT_TRUE(qsettings.ReadString(key, name, theirs)) << name;
        ASSERT_TRUE(reader.ReadString(key, name, mine)) << name;
        EXPECT_EQ(mine, theirs) << name;
    }
}

// The core's reader and QSettings agree on files edited by hand.
TEST_F(Registry, QSettingsReadsHandEditedFilesAsTheCoreReaderDoes) {
    int n = 0;
    for (const auto& c : qmtest::kHandEditedSettings) {
        // A folder per file: QSettings keeps what it parsed of a path and
        // might not notice a rewrite within the same millisecond.
        const QString folder = m_config.filePath(QString::number(++n));
        QDir().mkpath(folder + "/Quillmark");
        qmtest::WriteFile((folder + "/Quillmark/Quillmark.conf").toStdString(), c.text);
        qputenv("XDG_CONFIG_HOME", folder.toUtf8());
        CIniSettingsStore qsettings;
        std::string value;
        std::optional<std::string> got;
        if (qsettings.ReadString(kSettingsKey, "Layout", value)) got = value;
        EXPECT_EQ(got, c.layout) << c.what;
    }
}

TEST_F(Registry, CoreReaderLooksWhereQSettingsDoes) {
    const QByteArray home = qgetenv("HOME");
    const struct {
        const char* xdg;
        const char* home;
    } cases[] = {{"/x/config", "/home/u"}, {"", "/home/u/"}, {"", "/home/u/./a/.."}, {"rel/config", "/home/u"}};
    for (const auto& c : cases) {
        qputenv("XDG_CONFIG_HOME", c.xdg);
        qputenv("HOME", c.home);
        EXPECT_EQ(qm::SettingsFilePath(), CRegistry::FilePath()) << c.xdg << " " << c.home;
    }
    qputenv("HOME", home);
}

}  // namespace
