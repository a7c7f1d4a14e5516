// The about page.
#include "ui/about_dlg.h"

#include <QLabel>
#include <QVBoxLayout>

CAboutDlg::CAboutDlg(QWidget* parent) : QWidget(parent) {
    auto* layout = new QVBoxLayout(this);
    layout->addStretch(1);
    auto* name = new QLabel(QStringLiteral("Quillmark %1").arg(QStringLiteral(QUILLMARK_VERSION)), this);
    QFont big = name->font();
    big.setBold(true);
    big.setPointSize(big.pointSize() + 8);
    name->setFont(big);
    name->setAlignment(Qt::AlignCenter);
    layout->addWidget(name);
    auto* text = new QLabel(
        QStringLiteral("Turns PDF files into RTF and Word documents in four layouts,\n"
                       "and extracts the pictures of a PDF into image files."),
        this);
    text->setAlignment(Qt::AlignCenter);
    layout->addWidget(text);
    layout->addStretch(2);
}
