// The settings file read without Qt: values as QSettings writes them, files
// edited by hand, where the file lives, the store the core falls back to
// when the application installs none, and the stored layout names.
#include "platform/settings_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>

#include "platform/registry.h"
#include "support/settings_cases.h"
#include "support/test_util.h"

using qmtest::ScopedEnv;
using qmtest::TempDir;
using qmtest::WriteFile;

namespace {

// What QSettings 6 wrote for the desktop application's key plus a value at
// the top of the file and a group named General, byte for byte. How quoted,
// escaped, byte-array and list values read is held to QSettings itself in
// the desktop application's CoreReaderReadsWhatQSettingsWrote.
const char kWrittenByQSettings[] =
    "[General]\n"
    "DLL_FONT=/usr/share/quill mark\n"
    "\n"
    "[%General]\n"
    "G=g\n"
    "\n"
    "[SOFTWARE]\n"
    "Quillmark\\DocFormat=doc\n"
    "Quillmark\\Empty=\n"
    "Quillmark\\Layout=PlAIN TEXT\n"
    "Quillmark\\Name%20With%20Space%25=v\n"
    "Quillmark\\caf%E9=w\n";

std::optional<std::string> Read(const qm::CSettingsIni& ini, const std::string& key, const std::string& name) {
    std::string value;
    if (!ini.Read(key, name, value)) return std::nullopt;
    return value;
}

}  // namespace

TEST(SettingsFile, ReadsValuesAsQSettingsWroteThem) {
    qm::CSettingsIni ini;
    ASSERT_TRUE(ini.Parse(kWrittenByQSettings));
    const std::string key = "SOFTWARE\\Quillmark";
    const struct {
        std::string key;
        std::string name;
        std::optional<std::string> value;
    } cases[] = {
        {key, "Layout", "PlAIN TEXT"},
        {key, "LAYOUT", "PlAIN TEXT"},
        {key, "DocFormat", "doc"},
        {key, "Empty", ""},
        {key, "Name With Space%", "v"},
        {key, "caf\xC3\xA9", "w"},
        {key, "Missing", std::nullopt},
        {"/SOFTWARE/Quillmark/", "Layout", "PlAIN TEXT"},
        {"SOFTWARE", "Quillmark", std::nullopt},  // a group, not a value
        {"SOFTWARE\\quillmark", "Layout", std::nullopt},  // groups keep their case
        {"", "DLL_FONT", "/usr/share/quill mark"},
        {"", "dll_font", "/usr/share/quill mark"},
        {"", "G", std::nullopt},
        {"General", "G", "g"},
    };
    for (const auto& c : cases) EXPECT_EQ(Read(ini, c.key, c.name), c.value) << c.key << " " << c.name;
}

TEST(SettingsFile, ReadsHandEditedFilesAsQSettingsDoes) {
    for (const auto& c : qmtest::kHandEditedSettings) {
        qm::CSettingsIni ini;
        ini.Parse(c.text);
        EXPECT_EQ(Read(ini, "SOFTWARE\\Quillmark", "Layout"), c.layout) << c.what;
    }
}

TEST(SettingsFile, ValuesAreCutLikeTheRegistrys) {
    qm::CSettingsIni ini;
    ASSERT_TRUE(ini.Parse("[General]\nA=" + std::string(2047, 'a') + "\xC3\xA9\nB=" + std::string(3000, 'b') + "\n"));
    EXPECT_EQ(Read(ini, "", "A"), std::string(2047, 'a')) << "no half character at the end";
    EXPECT_EQ(Read(ini, "", "B"), std::string(2048, 'b'));
}

TEST(SettingsFile, LivesWhereQSettingsLooks) {
    const struct {
        std::optional<std::string> xdg;
        std::optional<std::string> home;
        std::string path;
    } cases[] = {
        {"/x/config", "/home/u", "/x/config/Quillmark/Quillmark.conf"},
        {"", "/home/u/", "/home/u/.config/Quillmark/Quillmark.conf"},
        {std::nullopt, "/home/u/./a/..", "/home/u/.config/Quillmark/Quillmark.conf"},
        {std::nullopt, std::nullopt, "//.config/Quillmark/Quillmark.conf"},
    };
    for (const auto& c : cases) {
        ScopedEnv xdg("XDG_CONFIG_HOME", "");
        ScopedEnv home("HOME", "");
        if (c.xdg) setenv("XDG_CONFIG_HOME", c.xdg->c_str(), 1);
        else unsetenv("XDG_CONFIG_HOME");
        if (c.home) setenv("HOME", c.home->c_str(), 1);
        else unsetenv("HOME");
        EXPECT_EQ(qm::SettingsFilePath(), c.path);
    }
}

namespace {
class OneValueStore : public qm::SettingsStore {
public:
    bool ReadString(const std::string&, const std::string&, std::string& value) override {
        value = "installed";
        return true;
    }
    bool WriteString(const std::string&, const std::string&, const std::string&) override { return false; }
};
}  // namespace

TEST(SettingsFile, IsTheStoreWhenNoneIsInstalled) {
    TempDir config;
    ScopedEnv xdg("XDG_CONFIG_HOME", config.path());
    EXPECT_EQ(qm::ReadRegistryString(qm::kSettingsKey, "Layout"), "") << "no file yet";
    std::filesystem::create_directories(config / "Quillmark");
    WriteFile(config / "Quillmark/Quillmark.conf", "[SOFTWARE]\nQuillmark\\Layout=EXACT\n");
    EXPECT_EQ(qm::ReadRegistryString(qm::kSettingsKey, "Layout"), "EXACT");
    EXPECT_FALSE(qm::GetSettingsStore()->WriteString(qm::kSettingsKey, "Layout", "FLOWING")) << "it only reads";

    OneValueStore installed;
    qm::SetSettingsStore(&installed);
    EXPECT_EQ(qm::ReadRegistryString(qm::kSettingsKey, "Layout"), "installed");
    qm::SetSettingsStore(nullptr);
    EXPECT_EQ(qm::ReadRegistryString(qm::kSettingsKey, "Layout"), "EXACT");
}


