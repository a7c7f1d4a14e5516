// The worker of a run: converts the listed files one after the other with
// the job, turns RTF files into Word documents, and hands the end of the
// run back to the main window. One worker runs at a time (the job's busy
// flag); it reaches the windows only through blocking queued signals.
#pragma once

#include <QStringList>
#include <QThread>

class MyConvertPara;

class CConvertThread : public QThread {
    Q_OBJECT
public:
    explicit CConvertThread(MyConvertPara* job, QObject* parent = nullptr);

signals:
    // The user cancelled: the main window resets the run's state.
    void runCancelled();
    // Every file is done. `lastOutput` is the last document written (empty
    // when none), `failed` the files that did not convert.
    void runFinished(const QString& lastOutput, const QStringList& failed, bool documentRun);

protected:
    void run() override;

private:
    MyConvertPara* m_pJob;
};
