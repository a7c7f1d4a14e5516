// Shared set-up of the desktop application's tests: a private settings
// folder and work folder per test, the main frame on a fresh job, recorded
// message boxes with scripted answers, test PDFs (from tests/support), and
// screenshots under the build folder.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <functional>
#include <memory>
#include <vector>

#include "support/test_util.h"
#include "ui/my_convert_para.h"
#include "ui/quillmark_dlg.h"
#include "ui/ui_hooks.h"

// Readable QStrings in assertion messages.
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace uitest {

// Runs the event loop until `done` holds; a guard against a hang, not a
// timing check.
inline bool WaitUntil(const std::function<bool()>& done, int timeoutMs = 120000) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > timeoutMs) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(2);
    }
    return true;
}

inline void Screenshot(QWidget* widget, const QString& name) {
    QDir().mkpath(QStringLiteral(QUILLMARK_SCREENSHOT_DIR));
    QCoreApplication::processEvents();
    EXPECT_TRUE(widget->grab().save(QStringLiteral(QUILLMARK_SCREENSHOT_DIR "/") + name + ".png")) << name.toStdString();
}

// Settings folder and work folder of one test, the hooks recording what
// the application asks.
class SettingsFolder : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_config.isValid() && m_work.isValid());
        m_oldConfig = qgetenv("XDG_CONFIG_HOME");
        m_oldState = qgetenv("XDG_STATE_HOME");
        qputenv("XDG_CONFIG_HOME", m_config.path().toUtf8());
        // Runs write their log files under the state folder by default.
        qputenv("XDG_STATE_HOME", m_config.filePath("state").toUtf8());
    }
    void TearDown() override {
        qputenv("XDG_CONFIG_HOME", m_oldConfig);
        qputenv("XDG_STATE_HOME", m_oldState);
    }

    QString Work(const QString& name) const { return m_work.filePath(name); }

    // A PDF of `pages` pages, each with a line of text, locked with
    // `password` when one is given.
    QString MakePdf(const QString& name, int pages, const std::string& password = std::string()) {
        const QString pdf = Work(name + ".pdf");
        std::vector<std::string> lock;
        if (!password.empty())
            lock = {"-sOwnerPassword=owner", "-sUserPassword=" + password, "-dEncryptionR=3", "-dKeyLength=128"};
        EXPECT_TRUE(qmtest::MakePdf(qmtest::NumberedPagesPs(pages), pdf.toStdString(), lock)) << name.toStdString();
        return pdf;
    }

    QTemporaryDir m_config;
    QTemporaryDir m_work;
    QByteArray m_oldConfig;
    QByteArray m_oldState;
};

class FrameTest : public SettingsFolder {
protected:
    void SetUp() override {
        SettingsFolder::SetUp();
        qm::ui::SetMessageBoxHook([this](const qm::ui::MessageBoxRequest& r) {
            m_boxes.push_back(r);
            return m_answer ? m_answer(r) : static_cast<int>(r.buttons.size()) - 1;
        });
        qm::ui::SetOpenUrlHook([this](const QUrl& url) {
            m_opened.push_back(url);
            return true;
        });
        m_job = std::make_unique<MyConvertPara>();
        m_frame = std::make_unique<CQuillmarkDlg>(m_job.get());
        m_frame->show();
    }
    void TearDown() override {
        m_frame.reset();
        m_job.reset();
        qm::ui::SetMessageBoxHook({});
        qm::ui::SetOpenUrlHook({});
        SettingsFolder::TearDown();
    }

    QStringList BoxTexts() const {
        QStringList texts;
        for (const auto& b : m_boxes) texts << b.text;
        return texts;
    }

    std::unique_ptr<MyConvertPara> m_job;
    std::unique_ptr<CQuillmarkDlg> m_frame;
    std::vector<qm::ui::MessageBoxRequest> m_boxes;
    std::function<int(const qm::ui::MessageBoxRequest&)> m_answer;
    std::vector<QUrl> m_opened;
};

}  // namespace uitest
