// Real dialogs behind the hooks of ui_hooks.h.
#include "ui/ui_hooks.h"

#include <QAbstractButton>
#include <QDesktopServices>
#include <QFileDialog>
#include <QInputDialog>
#include <QLineEdit>
#include <QPushButton>

namespace qm::ui {

namespace {
MessageBoxHook g_messageBox;
FolderPickerHook g_folderPicker;
PdfPickerHook g_pdfPicker;
OpenUrlHook g_openUrl;
PasswordHook g_password;
}  // namespace

void SetMessageBoxHook(MessageBoxHook hook) { g_messageBox = std::move(hook); }
void SetFolderPickerHook(FolderPickerHook hook) { g_folderPicker = std::move(hook); }
void SetPdfPickerHook(PdfPickerHook hook) { g_pdfPicker = std::move(hook); }
void SetOpenUrlHook(OpenUrlHook hook) { g_openUrl = std::move(hook); }
void SetPasswordHook(PasswordHook hook) { g_password = std::move(hook); }

int ShowMessageBox(QWidget* parent, const QString& text, const QString& caption, QMessageBox::Icon icon,
                   const QStringList& buttons) {
    MessageBoxRequest request{parent, text, caption, icon, buttons};
    if (g_messageBox) return g_messageBox(request);

    QMessageBox box(icon, caption, text, QMessageBox::NoButton, parent);
    QList<QAbstractButton*> added;
    for (int i = 0; i < buttons.size(); ++i) {
        // The first button is the affirmative one, the last the escape.
        auto role = i == 0 ? QMessageBox::AcceptRole : QMessageBox::RejectRole;
        added.append(box.addButton(buttons[i], role));
    }
    if (!added.isEmpty()) {
        box.setDefaultButton(qobject_cast<QPushButton*>(added.first()));
        box.setEscapeButton(added.last());
    }
    box.exec();
    int index = static_cast<int>(added.indexOf(box.clickedButton()));
    return index < 0 ? static_cast<int>(buttons.size()) - 1 : index;
}

QString PickFolder(QWidget* parent, const QString& title, const QString& start) {
    if (g_folderPicker) return g_folderPicker(parent, title, start);
    return QFileDialog::getExistingDirectory(parent, title, start);
}

QStringList PickPdfFiles(QWidget* parent) {
    if (g_pdfPicker) return g_pdfPicker(parent);
    QFileDialog dialog(parent);
    dialog.setFileMode(QFileDialog::ExistingFiles);
    dialog.setNameFilters({QStringLiteral("pdf Files (*.pdf)"), QStringLiteral("All Files (*.*)")});
    dialog.setDefaultSuffix(QStringLiteral("pdf"));
    if (dialog.exec() != QDialog::Accepted) return {};
    return dialog.selectedFiles();
}

std::optional<QString> AskPassword(QWidget* parent, const QString& file, bool wrongBefore) {
    PasswordRequest request{parent, file, wrongBefore};
    if (g_password) return g_password(request);
    const QString text = wrongBefore ? QStringLiteral("The password is wrong. Password of %1:").arg(file)
                                     : QStringLiteral("%1 is locked. Password:").arg(file);
    bool ok = false;
    QString password = QInputDialog::getText(parent, QStringLiteral("Quillmark"), text, QLineEdit::Password,
                                             QString(), &ok);
    if (!ok) return std::nullopt;
    return password;
}

bool OpenUrl(const QUrl& url) {
    if (g_openUrl) return g_openUrl(url);
    return QDesktopServices::openUrl(url);
}

}  // namespace qm::ui
