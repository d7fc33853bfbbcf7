#pragma once
// One export of an analyzer's decoded results to a file, on a thread of its
// own. The host keeps at most one and ends it (cancel and join) before the
// results it reads are reset or freed.

#include "libanalyzer/analyzertypes.h"

#include <QString>
#include <QThread>

#include <atomic>

class AnalyzerResults;

class ExportDataProMng : public QThread
{
    Q_OBJECT

public:
    explicit ExportDataProMng(AnalyzerResults* results, QObject* parent = nullptr);
    // Joins the thread; the results may already be gone, so they are not touched.
    ~ExportDataProMng() override;

    AnalyzerResults* results;
    QString filePath;
    DisplayBase displayBase = DisplayHex;
    quint32 exportId = 0;

    // Stores the job and starts the thread.
    void startExportThread(QString const& path, DisplayBase base, unsigned id);
    void cancelExport();
    double getProgress() const;
    // After the thread ended: the file was written.
    bool succeeded() const { return ok.load(); }
    // Waits for the thread to end.
    void join();

signals:
    // Carries the object, so the host deletes this export and no other.
    void sigDeleteExportDataProMng(ExportDataProMng* which);
    void sigQuit();

public slots:
    void slotQuit();

protected:
    void run() override;

private:
    std::atomic<bool> ok{false};
};
