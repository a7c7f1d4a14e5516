// The progress page of a run: one row per file with its destination and
// status, the status text of the conversion, a progress bar and "Cancel".
// The job's callbacks and the worker reach it on the interface thread.
#pragma once

#include <QWidget>

class QLabel;
class QProgressBar;
class QPushButton;
class QTableWidget;
class MyConvertPara;

class CConversionProgressDlg : public QWidget {
    Q_OBJECT
public:
    explicit CConversionProgressDlg(MyConvertPara* job, QWidget* parent = nullptr);

    QString StatusText() const;
    int Progress() const;
    // Status and reason of the first row for `file`; empty when there is
    // none.
    QString StatusOf(const QString& file) const;
    QString ReasonOf(const QString& file) const;

    QTableWidget* m_pList = nullptr;
    QProgressBar* m_pBar = nullptr;
    QLabel* m_pStatus = nullptr;
    QPushButton* m_pCancel = nullptr;

public slots:
    // A row for a file under way: status "Converting...".
    void AddRow(const QString& file, const QString& destination);
    // Every row for `file` gets `status` and `reason` (and `destination`
    // when given); a file that failed before its row was made gets a row of
    // its own.
    void MarkDone(const QString& file, const QString& destination, const QString& status,
                  const QString& reason = {});
    // Clamped to the bar's range 0 to 100.
    void SetProgress(int percent);
    void SetStatusText(const QString& text);
    void ClearList();
    void Reset();
    // Pauses the worker and asks whether to cancel the run.
    void OnCancel();

signals:
    // The user confirmed the cancel question.
    void endRunRequested();

private:
    // The first row for the file at path `file`; -1 when there is none.
    int RowOf(const QString& file) const;

    MyConvertPara* m_pJob;
};
