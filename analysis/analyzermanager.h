#pragma once
// The analyzer host: finds the plug-ins in Resources/Analyzer, keeps the
// analyzers in use with their display formats (stored in the settings
// document), runs each one's decode on its own worker thread, exports
// results on an export thread and makes the copies with which the demo
// capture simulates protocol traffic.
//
// Lives in the user-interface thread. Before the list of analyzers in use or
// their results change, the host completes a handshake with the decoded-
// results list thread: it sets modifyBusy, emits modifyPrepared() and waits
// until that thread has dropped every results pointer and cleared the flag.
// The wait is bounded: when the list thread does not answer in time the
// operation changes nothing and returns false.

#include "device/simuanalyzers.h"
#include "device/smpdata.h"
#include "libanalyzer/analyzerdata.h"
#include "libanalyzer/analyzertypes.h"
#include "waveview/waveanalyzersource.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <QVector>

#include <atomic>
#include <condition_variable>
#include <mutex>

class Analyzer;
class AnalyzerResults;
class AnalyzerProgMng;
class ExportDataProMng;

typedef Analyzer* (*CreateAnalyzerFn)();
typedef void (*DestroyAnalyzerFn)(Analyzer*);
typedef const char* (*AnalyzerTextFn)();

// One plug-in found by discovery.
struct FileInterface {
    QString fileName;   // without folder
    CreateAnalyzerFn createAnalyzer = nullptr;
    DestroyAnalyzerFn destroyAnalyzer = nullptr;
    AnalyzerTextFn getAnalyzerName = nullptr;
    QVector<int> supportModels;   // empty: every model

    bool querySupport(int model) const;
    // "" when supported, else " (Not Supported)" translated.
    QString getSupportText(int model) const;
};

// One analyzer in use; its index in the host's list is its number.
struct AnalyzerUsing {
    FileInterface fileInterface;
    QString displayFormat = QStringLiteral("2");
    Analyzer* analyzer = nullptr;        // owned, freed with the plug-in's DestroyAnalyzer
    AnalyzerProgMng* progMng = nullptr;  // owned
    bool show = true;
};

class AnalyzerManager : public QObject, public SimuAnalyzerProvider, public WaveAnalyzerSource
{
    Q_OBJECT

public:
    explicit AnalyzerManager(QObject* parent = nullptr);
    ~AnalyzerManager() override;

    static AnalyzerManager* me;

    // The capture the analyzers decode; its edge lists point into anlyCapture.
    DataForAnly dataForAnly;

    // --- plug-ins
    QStringList getAllAnalyzerName() const;
    QString getSpecAnalyzerName(QString const& fileName) const;
    Analyzer* getNewAnalyzer(int index);
    const QVector<FileInterface>& files() const { return fileList; }
    QString analyzerFolder() const { return analyzerDir; }

    // --- analyzers in use
    // False: nothing changed (bad index, or the list thread did not let go);
    // for addUsing with startNow also: added but not started.
    bool addUsing(Analyzer* analyzer, bool startNow);
    bool removeUsing(int i);
    bool removeAllUsing();
    bool restoreUsing();
    bool saveEditMessage(int i, bool restart);
    void saveConfig();
    int usingCount() const { return usingList.size(); }
    Analyzer* getUsingAnalyzer(int i) const;
    AnalyzerProgMng* getProgMng(int i) const;
    QString getUsingAnalyzerName(int i) const;
    QString getUsingSpecFileName(int i) const;
    int getUsingDisplayFormat(int i) const;
    bool setUsingDisplayFormat(int i, int format);
    static int getAnalyzerDisplayFormat(Analyzer* analyzer);
    static QVector<Analyzer*> getEnaAnalyzers();
    static bool setProtocolShow(int i);
    static QStringList getTotalProtocol();
    static QVector<Analyzer*> getUsingChnAnalyzers(int chn);
    QStringList getUsingChnAlias(int i) const;
    QStringList getAllUsingChnAlias(int except) const;
    QStringList getEnableChnInterfaceName(int except) const;

    // --- decoding
    // Stops every worker, takes the displayed capture of the device object
    // into dataForAnly and starts every analyzer in use on it. False when the
    // list thread did not let go (nothing started).
    bool startDecode();
    void startDecode(int i);
    // Handshake, then a new run of analyzer i (its settings stayed as they were).
    // False when the list thread did not let go (nothing restarted).
    bool restartDecode(int i);
    void stopAnlyThread(int i);
    bool anlyThreadIsRuning(int i) const;
    static void stopAllAnalyzer();
    static bool clearAnalyzerResult();

    // --- list-thread handshake
    static void setInterruptAnly(bool on);
    static bool isInterruptAnly();
    static bool isModifyBusy();
    // Called by the list thread once it holds no results of any analyzer.
    static void clearModifyBusy();
    // Bound of the wait for the list thread (tests shorten it).
    static std::atomic<int> handshakeTimeoutMs;

    // --- result export
    enum ExportRefusal { ExportAllowed = 0, ExportNoAnalyzer, ExportDecoding, ExportBusy };
    // Why an export of these results would be refused now, or ExportAllowed.
    static ExportRefusal exportRefusal(AnalyzerResults* results);
    // False (nothing started) when exportRefusal gives a reason.
    static bool exportAnlyDataFile(AnalyzerResults* results, QString const& path, DisplayBase base,
                                   unsigned id);
    static int getExportFileProgress();
    static void cancelExport();

    // --- simulation copies (any thread)
    static QVector<SimuAnalyzer> getAllSimuAnalyzers(long long sampleRate);
    static void deleteSimuAnalyzers(QVector<SimuAnalyzer>& list);
    QVector<SimuAnalyzer> makeSimuAnalyzers(long long sampleRate) override;

    // --- what the waveform rows read
    QVector<Analyzer*> chnAnalyzers(int chn) const override;
    int analyzerDisplayFormat(Analyzer* analyzer) const override;
    QStringList chnAliasList() const override;
    void stopDecoding() override;
    void redecode() override;

signals:
    void analyzerItemChanged();
    void analyzerDecodedChanged();
    void modifyPrepared();
    // A result export ended; false when the file was not written (also when cancelled).
    void exportFinished(bool ok, QString path);

public slots:
    void slotStopWorkThread(AnalyzerProgMng* progMng, Analyzer* anly, quint64 generation);
    void slotDeleteExportDataProMng(ExportDataProMng* which);

private:
    void discover();
    bool handshake();
    AnalyzerUsing makeRecord(FileInterface const& fi, Analyzer* analyzer);
    void freeRecord(AnalyzerUsing& rec);
    void freeAllRecords();
    void stopAll();
    int indexOfResults(AnalyzerResults* results) const;
    // Cancels and joins the export when it reads these results (null: any).
    void endExport(AnalyzerResults* results);
    void resetResults(int i);
    // Fills dataForAnly from the displayed capture and holds that capture;
    // only while no worker that reads the record runs.
    void takeCapture();
    void writeSettings();
    void refreshSimuTemplates();
    int currentModel() const;
    int channelCount() const;

    // Process-wide, so the list thread may poll them whether or not a host
    // exists at that moment.
    static std::atomic<bool> modifyBusy;
    static std::atomic<bool> interruptAnly;
    static std::mutex modifyMutex;
    static std::condition_variable modifyCond;
    int newAnalyzerIndex = -1;
    QString analyzerDir;
    QVector<AnalyzerUsing> usingList;
    QVector<FileInterface> fileList;
    ExportDataProMng* exportDataProMng = nullptr;
    // Held while dataForAnly points into it: replaced only with every worker
    // that reads it joined, and let go after the workers at destruction.
    SmpDataPtr anlyCapture;

    // What the demo thread copies: plug-in functions and settings texts of
    // the analyzers in use, refreshed whenever the list or a setting changes.
    struct SimuTemplate {
        CreateAnalyzerFn create;
        DestroyAnalyzerFn destroy;
        QByteArray settings;
    };
    std::mutex simuMutex;
    QVector<SimuTemplate> simuTemplates;
};
