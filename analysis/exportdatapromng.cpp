#include "analysis/exportdatapromng.h"

#include "libanalyzer/analyzerresults.h"

#include <QFile>

ExportDataProMng::ExportDataProMng(AnalyzerResults* r, QObject* parent) : QThread(parent), results(r)
{
    // Emitted on the export thread, so it arrives queued in the owner's thread.
    connect(this, &ExportDataProMng::sigQuit, this, &ExportDataProMng::slotQuit);
}

ExportDataProMng::~ExportDataProMng()
{
    join();
}

void ExportDataProMng::join()
{
    wait();
    // The worker's last use of the results comes before its store of ok;
    // loading it makes that visible to thread checkers that cannot see the
    // join itself.
    (void)ok.load(std::memory_order_acquire);
}

void ExportDataProMng::startExportThread(QString const& path, DisplayBase base, unsigned id)
{
    filePath = path;
    displayBase = base;
    exportId = id;
    start(QThread::InheritPriority);
}

void ExportDataProMng::cancelExport()
{
    if (results)
        results->CancelExport();
}

double ExportDataProMng::getProgress() const
{
    return results ? results->GetProgress() : 1.0;
}

void ExportDataProMng::run()
{
    // The file system's own encoding of the name, not the locale's 8-bit one.
    const QByteArray path = QFile::encodeName(filePath);
    ok = results && results->WriteExportFile(path.constData(), displayBase, exportId);
    emit sigQuit();
}

void ExportDataProMng::slotQuit()
{
    join();
    emit sigDeleteExportDataProMng(this);
}
