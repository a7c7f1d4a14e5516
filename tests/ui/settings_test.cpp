// The settings store: the registry wrapper over the INI file, the two sets
// of defaults, the settings page, and the store the core reads through.
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>

#include "platform/registry.h"
#include "ui/app_settings.h"
#include "ui/converter_dlg.h"
#include "ui/registry.h"
#include "ui/set_dlg.h"
#include "ui_fixture.h"

namespace {

using uitest::FrameTest;
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

TEST_F(Registry, FileLivesInTheConfigFolder) {
    CRegistry reg(CRegistry::kOpenForAccess);
    EXPECT_FALSE(reg.Open(kSettingsKey, kRegLocalMachine, kKeyQueryValue, false)) << "no file yet";
    ASSERT_TRUE(Write("DestDir", "/home/someone/out"));
    EXPECT_TRUE(QFile::exists(m_config.filePath("Quillmark/Quillmark.conf")));
    EXPECT_TRUE(reg.Open(kSettingsKey, kRegLocalMachine, kKeyQueryValue, false));
    EXPECT_FALSE(reg.Open("SOFTWARE\\Other", kRegLocalMachine, kKeyQueryValue, false)) << "a missing key";
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

    // One open registry hands out the same entry for every spelling.
    CRegistry reg(CRegistry::kOpenForAccess);
    ASSERT_TRUE(reg.Open(kSettingsKey, kRegLocalMachine, kKeyQueryValue, false));
    EXPECT_EQ(&reg["destDir"], &reg["DestDir"]);
    EXPECT_EQ(reg.Count(), 1u);
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

TEST_F(Registry, OptionFlagsAndAccess) {
    ASSERT_TRUE(Write("Layout", "EXACT"));

    // 8: nothing is written.
    EXPECT_FALSE(Write("Layout", "FLOWING", CRegistry::kCreateWriteThrough | CRegistry::kNoWrites));
    EXPECT_EQ(Read("Layout"), "EXACT");

    // A key opened for loading is read-only.
    {
        CRegistry reg(CRegistry::kOpenForAccess);
        ASSERT_TRUE(reg.Open(kSettingsKey, kRegLocalMachine, kKeyQueryValue, false));
        EXPECT_FALSE(reg["Layout"].SetString("PlAIN TEXT"));
    }
    EXPECT_EQ(Read("Layout"), "EXACT");

    // 4: every read goes back to the file; without it the entry keeps what
    // was read when the key was opened.
    CRegistry cached(CRegistry::kOpenForAccess);
    CRegistry reread(CRegistry::kOpenForAccess | CRegistry::kRereadValues);
    ASSERT_TRUE(cached.Open(kSettingsKey, kRegLocalMachine, kKeyQueryValue, false));
    ASSERT_TRUE(reread.Open(kSettingsKey, kRegLocalMachine, kKeyQueryValue, false));
    ASSERT_TRUE(Write("Layout", "NO IMAGES"));
    EXPECT_EQ(cached["Layout"].GetString(), "EXACT");
    EXPECT_EQ(reread["Layout"].GetString(), "NO IMAGES");
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

    CStoredSettings saved = page;
    saved.m_strDestDir = "/tmp/out dir";
    saved.m_strLayout = "PlAIN TEXT";
    saved.m_strAllPages = "1, 3, 7, 10-15";  // commas must not turn it into a list
    ASSERT_TRUE(saved.Save());
    ASSERT_TRUE(loaded.Load());
    EXPECT_EQ(loaded, saved);

    // The values are stored under their names, in the key's group.
    QSettings ini(m_config.filePath("Quillmark/Quillmark.conf"), QSettings::IniFormat);
    ini.beginGroup("SOFTWARE/Quillmark");
    EXPECT_EQ(ini.childKeys().size(), 9);
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

class SettingsPage : public FrameTest {};

TEST_F(SettingsPage, ShowsPageDefaultsWhileTheRecordKeepsStartUpDefaults) {
    CSetDlg* page = m_frame->m_pSetPage;
    EXPECT_EQ(page->m_pDocFormat->currentText(), "rtf");
    EXPECT_EQ(m_job->m_settings.m_strDocFormat, "doc");
    EXPECT_EQ(page->Fields(), CStoredSettings::PageDefaults());
}

TEST_F(SettingsPage, SaveStoresAppliesAndReturnsToTheConversionPage) {
    m_frame->m_pTabSettings->click();
    ASSERT_EQ(m_frame->CurrentPage(), m_frame->m_pSetPage);
    CSetDlg* page = m_frame->m_pSetPage;
    page->m_pDestDir->setText(Work("out"));
    page->m_pDocFormat->setCurrentText("rtf");
    page->m_pAutoOpen->setCurrentText("No");
    page->m_pLayout->setCurrentText("EXACT");
    page->m_pAllPages->setCurrentText("No");
    page->m_pSave->click();

    EXPECT_EQ(m_frame->CurrentPage(), m_frame->m_pConvertPage);
    EXPECT_TRUE(m_frame->m_pTabConvert->isChecked());
    EXPECT_EQ(m_job->m_settings.m_strLayout, "EXACT");
    EXPECT_EQ(m_job->m_settings.m_strDocFormat, "rtf");
    EXPECT_EQ(m_job->m_settings.m_nAutoOpen, 0);
    EXPECT_TRUE(m_frame->m_pConvertPage->m_pRtf->isChecked());
    EXPECT_TRUE(m_frame->m_pConvertPage->m_pPageNumber->isChecked());

    CStoredSettings stored;
    ASSERT_TRUE(stored.Load());
    EXPECT_EQ(stored.m_strLayout, "EXACT");
    EXPECT_EQ(stored.m_strAutoOpen, "No");
    EXPECT_EQ(stored.m_strDestDir, Work("out").toStdString());

    // A new settings page shows what is stored; Default shows the page
    // defaults and, cancelled, stores nothing.
    CSetDlg again(m_job.get());
    EXPECT_EQ(again.m_pLayout->currentText(), "EXACT");
    again.m_pDefault->click();
    EXPECT_EQ(again.m_pLayout->currentText(), "FLOWING");
    again.m_pCancel->click();
    ASSERT_TRUE(stored.Load());
    EXPECT_EQ(stored.m_strLayout, "EXACT");
}

TEST_F(SettingsPage, UnwritableFolderStillUpdatesTheRecord) {
    // The config folder is a file: nothing can be stored.
    QFile blocker(m_config.filePath("Quillmark"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    m_frame->m_pSetPage->m_pLayout->setCurrentText("NO IMAGES");
    m_frame->m_pSetPage->m_pSave->click();
    EXPECT_EQ(m_job->m_settings.m_strLayout, "NO IMAGES");
    CStoredSettings stored;
    EXPECT_FALSE(stored.Load());
    EXPECT_EQ(m_frame->CurrentPage(), m_frame->m_pConvertPage);
}

}  // namespace
