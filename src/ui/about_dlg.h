// The about page: the program's name, version and what it does.
#pragma once

#include <QWidget>

class CAboutDlg : public QWidget {
    Q_OBJECT
public:
    explicit CAboutDlg(QWidget* parent = nullptr);
};
