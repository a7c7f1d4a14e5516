// The few places where the desktop application hands control to the user or
// to the desktop: message boxes, file and folder pickers, and opening a file
// in its default program. Each goes through a replaceable hook so that tests
// can drive the real windows without a dialog blocking them.
#pragma once

#include <QMessageBox>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <functional>
#include <optional>

class QWidget;

namespace qm::ui {

struct MessageBoxRequest {
    QWidget* parent = nullptr;
    QString text;
    QString caption;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QStringList buttons;  // button texts, "&" marking the mnemonic
};

// Returns the index of the button pressed (the last one when the box is
// closed otherwise).
using MessageBoxHook = std::function<int(const MessageBoxRequest&)>;
// An empty hook restores the real message boxes.
void SetMessageBoxHook(MessageBoxHook hook);
int ShowMessageBox(QWidget* parent, const QString& text, const QString& caption, QMessageBox::Icon icon,
                   const QStringList& buttons = {QStringLiteral("&OK")});

// Folder picker: returns the chosen folder, empty when cancelled.
using FolderPickerHook = std::function<QString(QWidget* parent, const QString& title, const QString& start)>;
void SetFolderPickerHook(FolderPickerHook hook);
QString PickFolder(QWidget* parent, const QString& title, const QString& start);

// Multi-selection picker for existing PDF files.
using PdfPickerHook = std::function<QStringList(QWidget* parent)>;
void SetPdfPickerHook(PdfPickerHook hook);
QStringList PickPdfFiles(QWidget* parent);

// The password of a locked PDF: returns what the user typed, nothing when
// the prompt was cancelled. `wrongBefore`: the last password typed for the
// file did not open it.
struct PasswordRequest {
    QWidget* parent = nullptr;
    QString file;
    bool wrongBefore = false;
};
using PasswordHook = std::function<std::optional<QString>(const PasswordRequest&)>;
void SetPasswordHook(PasswordHook hook);
std::optional<QString> AskPassword(QWidget* parent, const QString& file, bool wrongBefore);

// The desktop's "open" for a file or page.
using OpenUrlHook = std::function<bool(const QUrl&)>;
void SetOpenUrlHook(OpenUrlHook hook);
bool OpenUrl(const QUrl& url);

}  // namespace qm::ui
