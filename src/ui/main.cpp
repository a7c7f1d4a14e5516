// quillmark-gui: the desktop application. One job object for the process,
// the main frame, and the settings store that the core reads DLL_FONT from.
#include <QApplication>

#include "ui/app_settings.h"
#include "ui/my_convert_para.h"
#include "ui/quillmark_dlg.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillmark"));
    QApplication::setApplicationVersion(QStringLiteral(QUILLMARK_VERSION));
    InstallSettingsStore();

    MyConvertPara job;
    CQuillmarkDlg frame(&job);
    frame.show();
    return app.exec();
}
