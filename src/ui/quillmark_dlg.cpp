// The main frame.
#include "ui/quillmark_dlg.h"

#include <QButtonGroup>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QStackedWidget>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

#include "platform/files.h"
#include "ui/about_dlg.h"
#include "ui/convert_thread.h"
#include "ui/converter_dlg.h"
#include "ui/my_convert_para.h"
#include "ui/progress_dlg.h"
#include "ui/set_dlg.h"
#include "ui/ui_hooks.h"
#include "ui/wizard_ex_image.h"
#include "ui/wizard_to_word.h"

CQuillmarkDlg::CQuillmarkDlg(MyConvertPara* job, QWidget* parent) : QWidget(parent), m_pJob(job) {
    setWindowTitle(QStringLiteral("Quillmark"));
    // The size and centring of the Windows frame, but the desktop's own
    // window frame: the skinned borderless frame could be neither moved nor
    // closed through the window manager.
    setFixedSize(kWidth, kHeight);
    setAcceptDrops(true);
    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - QPoint(kWidth / 2, kHeight / 2));

    auto* layout = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    m_pTabBar = new QWidget(this);
    auto* tabs = new QHBoxLayout(m_pTabBar);
    tabs->setContentsMargins(0, 0, 0, 0);
    m_pTabConvert = new QPushButton(QStringLiteral("Convert PDF"), m_pTabBar);
    m_pTabSettings = new QPushButton(QStringLiteral("Settings"), m_pTabBar);
    m_pTabHelp = new QPushButton(QStringLiteral("Help"), m_pTabBar);
    m_pTabAbout = new QPushButton(QStringLiteral("About"), m_pTabBar);
    auto* tabGroup = new QButtonGroup(this);
    for (QPushButton* b : {m_pTabConvert, m_pTabSettings, m_pTabAbout}) {
        b->setCheckable(true);
        tabGroup->addButton(b);
    }
    for (QPushButton* b : {m_pTabConvert, m_pTabSettings, m_pTabHelp, m_pTabAbout}) tabs->addWidget(b);
    top->addWidget(m_pTabBar);
    top->addStretch(1);
    m_pConvertToWord = new QPushButton(QStringLiteral("Convert to Word"), this);
    m_pExtractImages = new QPushButton(QStringLiteral("Extract Images"), this);
    QFont bold = m_pConvertToWord->font();
    bold.setBold(true);
    m_pConvertToWord->setFont(bold);
    m_pExtractImages->setFont(bold);
    top->addWidget(m_pConvertToWord);
    top->addWidget(m_pExtractImages);
    layout->addLayout(top);

    m_pPages = new QStackedWidget(this);
    m_pConvertPage = new CCONVERTERDlg(job, m_pPages);
    m_pSetPage = new CSetDlg(job, m_pPages);
    m_pAboutPage = new CAboutDlg(m_pPages);
    m_pWordWizard = new CWizardToWordDlg(job, m_pPages);
    m_pImageWizard = new CWizardExImageDlg(job, m_pPages);
    m_pProgressPage = new CConversionProgressDlg(job, m_pPages);
    for (QWidget* page : std::initializer_list<QWidget*>{m_pConvertPage, m_pSetPage, m_pAboutPage, m_pWordWizard,
                                                         m_pImageWizard, m_pProgressPage})
        m_pPages->addWidget(page);
    layout->addWidget(m_pPages, 1);

    connect(m_pTabConvert, &QPushButton::clicked, this, &CQuillmarkDlg::ShowConvertPage);
    connect(m_pTabSettings, &QPushButton::clicked, this, &CQuillmarkDlg::ShowSettingsPage);
    connect(m_pTabHelp, &QPushButton::clicked, this, &CQuillmarkDlg::OnHelp);
    connect(m_pTabAbout, &QPushButton::clicked, this, &CQuillmarkDlg::ShowAboutPage);
    connect(m_pConvertToWord, &QPushButton::clicked, this, &CQuillmarkDlg::OnConvertToWord);
    connect(m_pExtractImages, &QPushButton::clicked, this, &CQuillmarkDlg::OnExtractImages);
    connect(m_pSetPage, &CSetDlg::selectConvertTab, this, &CQuillmarkDlg::ApplySavedSettings);
    connect(m_pSetPage, &CSetDlg::showConvertPage, this, &CQuillmarkDlg::ShowConvertPage);
    for (CWizardDlg* wizard : std::initializer_list<CWizardDlg*>{m_pWordWizard, m_pImageWizard}) {
        connect(wizard, &CWizardDlg::closeRequested, this, &CQuillmarkDlg::ShowConvertPage);
        connect(wizard, &CWizardDlg::finishRequested, this, &CQuillmarkDlg::OnWizardFinished);
    }
    connect(m_pProgressPage, &CConversionProgressDlg::endRunRequested, this, &CQuillmarkDlg::OnEndRunRequested);

    LoadSettingsAtStart();
    ShowConvertPage();
}

CQuillmarkDlg::~CQuillmarkDlg() {
    if (!m_pThread) return;
    // Destroyed during a run: the worker must stop and must no longer wait
    // for this window. Calls it has already posted are dropped, which
    // releases it.
    m_pJob->m_nCancel = kCancelNow;
    m_pJob->AttachProgress(nullptr);
    m_pThread->disconnect(this);
    m_pJob->m_gate.Resume();
    while (!m_pThread->wait(20)) {
        QCoreApplication::removePostedEvents(this, QEvent::MetaCall);
        QCoreApplication::removePostedEvents(m_pProgressPage, QEvent::MetaCall);
    }
    m_pJob->m_bBusy = false;
    m_pJob->m_pThread = nullptr;
}

QWidget* CQuillmarkDlg::CurrentPage() const { return m_pPages->currentWidget(); }

bool CQuillmarkDlg::TabBarVisible() const { return !m_pTabBar->isHidden(); }

void CQuillmarkDlg::ShowPage(QWidget* page, bool tabBar) {
    m_pPages->setCurrentWidget(page);
    m_pTabBar->setVisible(tabBar);
}

void CQuillmarkDlg::ShowConvertPage() {
    m_pTabConvert->setChecked(true);
    ShowPage(m_pConvertPage, true);
}

void CQuillmarkDlg::ShowSettingsPage() {
    m_pTabSettings->setChecked(true);
    ShowPage(m_pSetPage, true);
}

void CQuillmarkDlg::ShowAboutPage() {
    m_pTabAbout->setChecked(true);
    ShowPage(m_pAboutPage, true);
}

void CQuillmarkDlg::LoadSettingsAtStart() {
    // The saved settings hold from the start, not only after the next
    // Save; a value missing from the file keeps the program's default.
    CStoredSettings stored;
    if (!stored.Load()) return;
    for (const CStoredSettings::Field& f : CStoredSettings::kFields)
        if (!(stored.*f.member).empty()) m_pJob->m_settings.*f.member = stored.*f.member;
    ApplySavedSettings();
}

void CQuillmarkDlg::ApplySavedSettings() {
    const AppSettings& s = m_pJob->m_settings;
    CCONVERTERDlg* page = m_pConvertPage;
    (s.m_strDocFormat == "doc" ? page->m_pDoc : page->m_pRtf)->setChecked(true);
    m_pJob->m_settings.m_nAutoOpen = s.m_strAutoOpen == "Yes" ? 1 : 0;
    // "Yes" selects every page and a range text that range; "No" leaves the
    // choice made on the conversion page. The Windows program switched to
    // "Page Number:" on "No", which quietly narrowed the next run to
    // whatever number stood there.
    if (s.m_strAllPages == "Yes") {
        page->m_pAllPages->setChecked(true);
    } else if (!s.m_strAllPages.empty() && s.m_strAllPages != "No") {
        page->m_pPageNumber->setChecked(true);
        page->m_pPageRange->setText(QString::fromStdString(s.m_strAllPages));
    }
    if (!s.m_strDestDir.empty()) page->m_pOutDir->setText(FromPath(s.m_strDestDir));
    m_pTabConvert->setChecked(true);
}

void CQuillmarkDlg::OnConvertToWord() {
    if (m_pJob->m_bBusy || !m_pConvertPage->PrepareRequest()) return;
    if (m_pJob->m_bUseWizard) {
        m_pWordWizard->Reset();
        ShowPage(m_pWordWizard, false);
        return;
    }
    if (CurrentPage() == m_pProgressPage) return;
    // The Windows fast path kept whatever kind of run the last run had (an
    // image extraction included); the saved Layout decides instead.
    const int code = LayoutCode(m_pJob->m_settings.m_strLayout);
    m_pJob->m_nKind = code >= 0 ? code : kRunFlowing;
    // So does the saved image filter, whatever the last wizard run chose.
    m_pJob->m_nRemoveImages = m_pJob->m_settings.m_strImageFilter == "Yes" ? 1 : 0;
    m_pJob->m_bPreserveSpacing = m_pJob->m_settings.m_strPreserve == "Yes";
    m_pJob->m_strDevice = "jpeg";
    StartRun();
}

void CQuillmarkDlg::OnExtractImages() {
    if (m_pJob->m_bBusy || !m_pConvertPage->PrepareRequest()) return;
    if (m_pJob->m_bUseWizard) {
        m_pImageWizard->Reset();
        ShowPage(m_pImageWizard, false);
        return;
    }
    if (CurrentPage() == m_pProgressPage) return;
    m_pJob->m_strDevice = "jpeg";
    m_pJob->m_nKind = kRunExtractImages;
    m_pJob->m_nRemoveImages = 0;
    StartRun();
}

void CQuillmarkDlg::OnHelp() {
    if (m_pJob->m_bBusy) return;
    const std::string help = qm::FindDataFile("Quillmark.html");
    if (help.empty()) {
        qm::ui::ShowMessageBox(this, QStringLiteral("The help file Quillmark.html is missing."),
                               QStringLiteral("Quillmark"), QMessageBox::Warning);
        return;
    }
    qm::ui::OpenUrl(QUrl::fromLocalFile(FromPath(help)));
}

void CQuillmarkDlg::OnWizardFinished() {
    // The range typed on the wizard's range page is read only now; the
    // wizard stays open for the user to correct it.
    if (const QString problem = PageRangeProblem(m_pJob); !problem.isEmpty()) {
        qm::ui::ShowMessageBox(this, problem, QStringLiteral("Quillmark"), QMessageBox::Warning);
        return;
    }
    StartRun();
}

void CQuillmarkDlg::StartRun() {
    if (m_pJob->m_bBusy) return;
    ShowPage(m_pProgressPage, false);
    m_pProgressPage->Reset();
    m_pProgressPage->SetProgress(0);
    m_pJob->m_bBusy = true;
    m_pJob->m_nCancel = 0;
    m_pJob->AttachProgress(m_pProgressPage);

    auto* thread = new CConvertThread(m_pJob, this);
    connect(thread, &CConvertThread::runCancelled, this, &CQuillmarkDlg::OnRunCancelled,
            Qt::BlockingQueuedConnection);
    connect(thread, &CConvertThread::runFinished, this, &CQuillmarkDlg::OnRunFinished,
            Qt::BlockingQueuedConnection);
    connect(thread, &QThread::finished, thread, &QObject::deleteLater);
    m_pThread = thread;
    m_pJob->m_pThread = thread;
    thread->start();
}

// A cancelled file is abandoned, not put in place cut short: its partial
// document goes and an earlier document of its name stays (the Windows
// program finished the page under way and left the pages done).
void CQuillmarkDlg::OnEndRunRequested() { m_pJob->m_nCancel = kCancelNow; }

void CQuillmarkDlg::OnRunCancelled() {
    m_pProgressPage->Reset();
    EndRun();
}

void CQuillmarkDlg::OnRunFinished(const QString& lastOutput, const QStringList& failed, bool documentRun) {
    const QString caption = QStringLiteral("Quillmark");
    m_pProgressPage->SetProgress(100);
    if (!failed.isEmpty()) {
        // Windows reported every file as converted. The rows marked
        // "Failed" stay in view while the notice names the files.
        m_pProgressPage->SetStatusText(QStringLiteral("Some files could not be converted."));
        if (!m_bCloseAfterRun)
            qm::ui::ShowMessageBox(this,
                                   QStringLiteral("These files could not be converted:\n%1").arg(failed.join('\n')),
                                   caption, QMessageBox::Warning);
        m_pProgressPage->ClearList();
        EndRun();
        return;
    }
    m_pProgressPage->SetStatusText(QStringLiteral("File converted successfully."));
    m_pProgressPage->ClearList();
    const bool offerView = m_pJob->m_settings.m_nAutoOpen != 0 && documentRun && !lastOutput.isEmpty();
    if (m_bCloseAfterRun) {
        // The user is leaving: no prompt.
    } else if (offerView) {
        int answer = qm::ui::ShowMessageBox(
            this, QStringLiteral("Document Generation complete. Do you want to view the document?"), caption,
            QMessageBox::Question, {QStringLiteral("&Yes"), QStringLiteral("&No")});
        if (answer == 0) qm::ui::OpenUrl(QUrl::fromLocalFile(lastOutput));
    } else {
        qm::ui::ShowMessageBox(this, QStringLiteral("Document Generation complete."), caption,
                               QMessageBox::Information);
    }
    EndRun();
}

void CQuillmarkDlg::EndRun() {
    m_pConvertPage->ResetList();
    m_pProgressPage->Reset();
    m_pJob->AttachProgress(nullptr);
    m_pJob->m_bBusy = false;
    m_pJob->m_pThread = nullptr;
    ShowConvertPage();
    if (m_bCloseAfterRun) QTimer::singleShot(0, this, &QWidget::close);
}

void CQuillmarkDlg::dragEnterEvent(QDragEnterEvent* event) {
    if (!m_pJob->m_bBusy && TabBarVisible() && m_pConvertPage->CanTakeDrop(event->mimeData()))
        event->acceptProposedAction();
}

void CQuillmarkDlg::dropEvent(QDropEvent* event) {
    if (m_pJob->m_bBusy || !TabBarVisible() || !m_pConvertPage->CanTakeDrop(event->mimeData())) return;
    event->acceptProposedAction();
    ShowConvertPage();
    m_pConvertPage->AddDropped(event->mimeData());
}

void CQuillmarkDlg::closeEvent(QCloseEvent* event) {
    if (!m_pJob->m_bBusy) {
        event->accept();
        return;
    }
    // Closing during a run cancels it (abandoning the file under way) and
    // closes once the worker has unwound; quitting under a running worker
    // would pull the job and the windows away from it.
    event->ignore();
    m_bCloseAfterRun = true;
    m_pJob->m_nCancel = kCancelNow;
    m_pJob->m_gate.Resume();
}
