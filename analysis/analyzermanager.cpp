#include "analysis/analyzermanager.h"

#include "analysis/analyzerprogmng.h"
#include "analysis/exportdatapromng.h"
#include "core/apppaths.h"
#include "core/config.h"
#include "core/lang.h"
#include "device/devbase.h"
#include "libanalyzer/analyzer.h"

#include <QDir>
#include <QDomElement>
#include <QLibrary>
#include <QMetaMethod>
#include <QMetaType>

#include <chrono>
#include <cstring>

Q_DECLARE_METATYPE(Analyzer*)

AnalyzerManager* AnalyzerManager::me = nullptr;
std::atomic<bool> AnalyzerManager::modifyBusy{false};
std::atomic<bool> AnalyzerManager::interruptAnly{false};
std::mutex AnalyzerManager::modifyMutex;
std::condition_variable AnalyzerManager::modifyCond;
std::atomic<int> AnalyzerManager::handshakeTimeoutMs{5000};

namespace {

#ifdef Q_OS_MACOS
const char kPluginPattern[] = "*.dylib";
#else
const char kPluginPattern[] = "*.so";
#endif

// Display formats are Bin, Dec, Hex, ASCII, ASCII and Hex; anything else
// stored shows as Hex.
QString normalFormat(QString const& text)
{
    bool ok = false;
    const int v = text.trimmed().toInt(&ok, 10);
    return (ok && v >= DisplayBin && v <= DisplayAsciiHex) ? QString::number(v) : QStringLiteral("2");
}

const quint32 kNoChannel = 0xFFFFFFFFu;

unsigned simulateCopy(Analyzer* a, unsigned long long newest, unsigned rate,
                      SimulationChannelDescriptor** descriptors)
{
    return a->MakeSimulationData(newest, rate, descriptors);
}

}  // namespace

// ---------------------------------------------------------------- FileInterface

bool FileInterface::querySupport(int model) const
{
    return supportModels.isEmpty() || supportModels.contains(model);
}

QString FileInterface::getSupportText(int model) const
{
    if (querySupport(model))
        return QString();
    return QStringLiteral(" (") + Lang::tr(QStringLiteral("Not Supported")) + QStringLiteral(")");
}

// ---------------------------------------------------------------- life

AnalyzerManager::AnalyzerManager(QObject* parent) : QObject(parent)
{
    qRegisterMetaType<Analyzer*>("Analyzer*");
    qRegisterMetaType<AnalyzerProgMng*>("AnalyzerProgMng*");
    qRegisterMetaType<ExportDataProMng*>("ExportDataProMng*");
    me = this;
    std::memset(&dataForAnly, 0, sizeof dataForAnly);
    analyzerDir = AppPaths::resources() + QStringLiteral("Analyzer/");
    discover();
    setSimuAnalyzerProvider(this);
}

AnalyzerManager::~AnalyzerManager()
{
    // Waits for a demo thread that is making copies right now.
    dropSimuAnalyzerProvider(this);
    const bool listLetGo = handshake();
    endExport(nullptr);
    if (listLetGo) {
        freeAllRecords();
    } else {
        // The list thread may still read these results: end the workers but
        // leave the analyzers alive rather than free them under it.
        qWarning("VormelTAV: the decoded-results list did not let go of the analyzers");
        for (AnalyzerUsing& rec : usingList)
            if (rec.progMng)
                rec.progMng->stopAndJoin();
    }
    if (me == this)
        me = nullptr;
}

void AnalyzerManager::discover()
{
    QDir dir(analyzerDir);
    const QStringList names = dir.entryList(QStringList() << QLatin1String(kPluginPattern), QDir::Files,
                                            QDir::Name | QDir::IgnoreCase);
    for (QString const& name : names) {
        // Loaded libraries stay loaded for the life of the process: analyzer
        // instances and simulation copies call into them.
        QLibrary lib(analyzerDir + name);
        if (!lib.load())
            continue;
        FileInterface fi;
        fi.fileName = name;
        fi.createAnalyzer = reinterpret_cast<CreateAnalyzerFn>(lib.resolve("CreateAnalyzer"));
        fi.destroyAnalyzer = reinterpret_cast<DestroyAnalyzerFn>(lib.resolve("DestroyAnalyzer"));
        fi.getAnalyzerName = reinterpret_cast<AnalyzerTextFn>(lib.resolve("GetAnalyzerName"));
        if (!fi.createAnalyzer || !fi.destroyAnalyzer || !fi.getAnalyzerName) {
            lib.unload();
            continue;
        }
        if (auto para = reinterpret_cast<AnalyzerTextFn>(lib.resolve("GetParaInfoList"))) {
            const char* text = para();
            const QStringList parts = QString::fromUtf8(text ? text : "").split(QLatin1Char(','));
            for (QString const& p : parts)
                fi.supportModels.append(p.trimmed().toInt());
        }
        fileList.append(fi);
    }
}

int AnalyzerManager::currentModel() const
{
    return devUsing ? int(devUsing->devModel) : 0;
}

int AnalyzerManager::channelCount() const
{
    return devUsing ? devUsing->dChnEna.size() : 0;
}

// ---------------------------------------------------------------- plug-ins

QStringList AnalyzerManager::getAllAnalyzerName() const
{
    QStringList out;
    const int model = currentModel();
    for (FileInterface const& fi : fileList)
        out << QString::fromUtf8(fi.getAnalyzerName()) + fi.getSupportText(model);
    return out;
}

QString AnalyzerManager::getSpecAnalyzerName(QString const& fileName) const
{
    for (FileInterface const& fi : fileList)
        if (fi.fileName == fileName)
            return QString::fromUtf8(fi.getAnalyzerName()) + fi.getSupportText(currentModel());
    return QString();
}

Analyzer* AnalyzerManager::getNewAnalyzer(int index)
{
    if (index < 0 || index >= fileList.size())
        return nullptr;
    newAnalyzerIndex = index;
    return fileList[index].createAnalyzer();
}

// ---------------------------------------------------------------- list in use

AnalyzerUsing AnalyzerManager::makeRecord(FileInterface const& fi, Analyzer* analyzer)
{
    AnalyzerUsing rec;
    rec.fileInterface = fi;
    rec.displayFormat = QStringLiteral("2");
    rec.analyzer = analyzer;
    rec.progMng = new AnalyzerProgMng(analyzer);
    connect(rec.progMng, &AnalyzerProgMng::sigStopWorkThread, this, &AnalyzerManager::slotStopWorkThread);
    rec.show = true;
    return rec;
}

void AnalyzerManager::freeRecord(AnalyzerUsing& rec)
{
    if (rec.progMng) {
        rec.progMng->stopAndJoin();
        delete rec.progMng;
        rec.progMng = nullptr;
    }
    if (rec.analyzer) {
        if (rec.fileInterface.destroyAnalyzer)
            rec.fileInterface.destroyAnalyzer(rec.analyzer);
        rec.analyzer = nullptr;
    }
}

void AnalyzerManager::freeAllRecords()
{
    for (AnalyzerUsing& rec : usingList)
        if (rec.progMng)
            rec.progMng->stopAndJoin();
    for (AnalyzerUsing& rec : usingList)
        freeRecord(rec);
    usingList.clear();
}

bool AnalyzerManager::addUsing(Analyzer* analyzer, bool startNow)
{
    if (!analyzer || newAnalyzerIndex < 0 || newAnalyzerIndex >= fileList.size())
        return false;
    // The list thread reads the list; it must hold nothing while it grows.
    if (!handshake())
        return false;
    usingList.append(makeRecord(fileList[newAnalyzerIndex], analyzer));
    saveConfig();
    if (startNow) {
        if (!handshake())
            return false;
        startDecode(usingList.size() - 1);
    }
    return true;
}

bool AnalyzerManager::removeUsing(int i)
{
    if (i < 0 || i >= usingList.size())
        return false;
    if (!handshake())
        return false;
    AnalyzerResults* results = nullptr;
    usingList[i].analyzer->GetAnalyzerResults(&results);
    endExport(results);
    freeRecord(usingList[i]);
    usingList.remove(i);
    saveConfig();
    return true;
}

bool AnalyzerManager::removeAllUsing()
{
    if (!handshake())
        return false;
    endExport(nullptr);
    freeAllRecords();
    saveConfig();
    return true;
}

bool AnalyzerManager::restoreUsing()
{
    if (!handshake())
        return false;
    endExport(nullptr);
    freeAllRecords();

    const int limit = channelCount();
    const QDomElement an = Config::cfgDoc.documentElement().firstChildElement(QStringLiteral("analyzers"));
    for (QDomElement item = an.firstChildElement(); !item.isNull(); item = item.nextSiblingElement()) {
        // Each field by name: a ';' or any other character in one text
        // cannot shift the others.
        const QString fileName = item.firstChildElement(QStringLiteral("fileName")).text().trimmed();
        const QString params = item.firstChildElement(QStringLiteral("parameters")).text().trimmed();
        const QString format = item.firstChildElement(QStringLiteral("format")).text();
        int match = -1;
        for (int k = 0; k < fileList.size(); ++k)
            if (fileList[k].fileName == fileName) {
                match = k;
                break;
            }
        if (match < 0)
            continue;
        Analyzer* a = fileList[match].createAnalyzer();
        if (!a)
            continue;
        if (AnalyzerSettings* s = a->GetAnalyzerSettings()) {
            // Channels this device does not have are refused: the analyzer
            // keeps its own defaults then.
            if (limit > 0)
                s->SetChannelLimit(U32(limit));
            s->LoadFromText(params.toUtf8().constData());
        }
        AnalyzerUsing rec = makeRecord(fileList[match], a);
        rec.displayFormat = normalFormat(format);
        usingList.append(rec);
    }
    refreshSimuTemplates();
    emit analyzerItemChanged();
    return true;
}

bool AnalyzerManager::saveEditMessage(int i, bool restart)
{
    saveConfig();
    if (restart && i >= 0 && i < usingList.size()) {
        if (!handshake())
            return false;
        startDecode(i);
    }
    return true;
}

void AnalyzerManager::writeSettings()
{
    Config::clearAnalyzerParam();
    for (int i = 0; i < usingList.size(); ++i) {
        AnalyzerUsing const& rec = usingList[i];
        const AnalyzerSettings* s = rec.analyzer ? rec.analyzer->GetAnalyzerSettings() : nullptr;
        const char* text = s ? s->SaveToText() : nullptr;
        // Written as UTF-8 text and read back as UTF-8 by restoreUsing.
        Config::saveAnalyzerParam(i, QStringList() << rec.fileInterface.fileName
                                                   << QString::fromUtf8(text ? text : "")
                                                   << rec.displayFormat);
    }
}

void AnalyzerManager::saveConfig()
{
    writeSettings();
    refreshSimuTemplates();
    emit analyzerItemChanged();
}

Analyzer* AnalyzerManager::getUsingAnalyzer(int i) const
{
    return (i >= 0 && i < usingList.size()) ? usingList[i].analyzer : nullptr;
}

AnalyzerProgMng* AnalyzerManager::getProgMng(int i) const
{
    return (i >= 0 && i < usingList.size()) ? usingList[i].progMng : nullptr;
}

QString AnalyzerManager::getUsingAnalyzerName(int i) const
{
    if (i < 0 || i >= usingList.size())
        return QString();
    AnalyzerUsing const& rec = usingList[i];
    return QString::fromUtf8(rec.analyzer->GetProtocolName()) + rec.fileInterface.getSupportText(currentModel());
}

QString AnalyzerManager::getUsingSpecFileName(int i) const
{
    if (i < 0 || i >= usingList.size())
        return QString();
    return usingList[i].fileInterface.fileName;
}

int AnalyzerManager::getUsingDisplayFormat(int i) const
{
    if (i < 0 || i >= usingList.size())
        return -1;
    return usingList[i].displayFormat.toInt();
}

bool AnalyzerManager::setUsingDisplayFormat(int i, int format)
{
    if (i < 0 || i >= usingList.size())
        return false;
    // Only the five formats reach the library.
    if (format < DisplayBin || format > DisplayAsciiHex)
        return false;
    // The list thread reads the format of every shown analyzer.
    if (!handshake())
        return false;
    usingList[i].displayFormat = QString::number(format);
    saveConfig();
    return true;
}

int AnalyzerManager::getAnalyzerDisplayFormat(Analyzer* analyzer)
{
    if (!me || !analyzer)
        return -1;
    for (AnalyzerUsing const& rec : me->usingList)
        if (rec.analyzer == analyzer)
            return rec.displayFormat.toInt();
    return -1;
}

QVector<Analyzer*> AnalyzerManager::getEnaAnalyzers()
{
    QVector<Analyzer*> out;
    if (!me)
        return out;
    for (AnalyzerUsing const& rec : me->usingList)
        if (rec.show)
            out.append(rec.analyzer);
    return out;
}

bool AnalyzerManager::setProtocolShow(int i)
{
    if (!me || i < 0 || i >= me->usingList.size())
        return false;
    if (!me->handshake())
        return false;
    me->usingList[i].show = !me->usingList[i].show;
    return true;
}

QStringList AnalyzerManager::getTotalProtocol()
{
    QStringList out;
    if (!me)
        return out;
    for (AnalyzerUsing const& rec : me->usingList)
        out << QString::fromUtf8(rec.analyzer->GetProtocolName()) + QLatin1Char(',')
                + (rec.show ? QLatin1Char('1') : QLatin1Char('0'));
    return out;
}

namespace {

// Applied channel of every channel setting of an analyzer, with its title.
template <typename F>
void forEachChannelSetting(Analyzer* a, F f)
{
    AnalyzerSettings* s = a ? a->GetAnalyzerSettings() : nullptr;
    if (!s)
        return;
    const unsigned n = s->GetSettingsInterfacesCount();
    for (unsigned k = 0; k < n; ++k) {
        AnalyzerSettingInterface* si = s->GetSettingsInterface(k);
        if (!si || si->GetKind() != AnalyzerSettingInterface::KindChannel)
            continue;
        auto* ch = static_cast<AnalyzerSettingInterfaceChannel*>(si);
        f(ch->Value().index, si->GetTitle());
    }
}

}  // namespace

QVector<Analyzer*> AnalyzerManager::getUsingChnAnalyzers(int chn)
{
    QVector<Analyzer*> out;
    if (!me || chn < 0)
        return out;
    for (AnalyzerUsing const& rec : me->usingList) {
        bool bound = false;
        forEachChannelSetting(rec.analyzer, [&](quint32 index, const char*) {
            if (index == quint32(chn))
                bound = true;
        });
        if (bound)
            out.append(rec.analyzer);
    }
    return out;
}

QStringList AnalyzerManager::getUsingChnAlias(int i) const
{
    QStringList out;
    if (i < 0 || i >= usingList.size())
        return out;
    Analyzer* a = usingList[i].analyzer;
    const QString proto = QString::fromUtf8(a->GetProtocolName());
    forEachChannelSetting(a, [&](quint32 index, const char* title) {
        out << QString::number(index) << proto + QStringLiteral(" - ") + QString::fromLatin1(title);
    });
    return out;
}

QStringList AnalyzerManager::getAllUsingChnAlias(int except) const
{
    QStringList pairs;
    for (int i = 0; i < usingList.size(); ++i)
        if (i != except)
            pairs += getUsingChnAlias(i);
    // Merge the texts of pairs that name the same channel, in list order.
    QVector<quint32> chn;
    QStringList text;
    for (int p = 0; p + 1 < pairs.size(); p += 2) {
        const quint32 c = pairs[p].toUInt();
        const int at = chn.indexOf(c);
        if (at >= 0) {
            text[at] += QStringLiteral(", ") + pairs[p + 1];
        } else {
            chn.append(c);
            text.append(pairs[p + 1]);
        }
    }
    const int n = channelCount();
    QStringList out;
    for (int c = 0; c < n; ++c)
        out << QString::number(c) << QString();
    for (int k = 0; k < chn.size(); ++k) {
        if (chn[k] == kNoChannel || chn[k] >= quint32(n))
            continue;
        out[int(chn[k]) * 2 + 1] = text[k];
    }
    return out;
}

QStringList AnalyzerManager::getEnableChnInterfaceName(int except) const
{
    QStringList out = getAllUsingChnAlias(except);
    if (!devUsing)
        return out;
    for (int c = out.size() / 2 - 1; c >= 0; --c)
        if (!devUsing->dChnEna.value(c, false))
            out.erase(out.begin() + 2 * c, out.begin() + 2 * c + 2);
    return out;
}

// ---------------------------------------------------------------- handshake

bool AnalyzerManager::handshake()
{
    static const QMetaMethod prepared = QMetaMethod::fromSignal(&AnalyzerManager::modifyPrepared);
    modifyBusy = true;
    // Without a list thread there is nobody who could hold results.
    if (!isSignalConnected(prepared)) {
        modifyBusy = false;
        return true;
    }
    emit modifyPrepared();
    std::unique_lock<std::mutex> lock(modifyMutex);
    // Woken by clearModifyBusy. On time-out the request stays set: the list
    // thread drops its pointers when it gets to it.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(handshakeTimeoutMs.load());
    if (modifyCond.wait_until(lock, deadline, [] { return !modifyBusy.load(); }))
        return true;
    qWarning("VormelTAV: the decoded-results list did not answer; the analyzers are left unchanged");
    return false;
}

void AnalyzerManager::setInterruptAnly(bool on)
{
    interruptAnly = on;
}

bool AnalyzerManager::isInterruptAnly()
{
    return interruptAnly.load();
}

bool AnalyzerManager::isModifyBusy()
{
    return modifyBusy.load();
}

void AnalyzerManager::clearModifyBusy()
{
    std::lock_guard<std::mutex> lock(modifyMutex);
    modifyBusy = false;
    modifyCond.notify_all();
}

// ---------------------------------------------------------------- decoding

void AnalyzerManager::stopAll()
{
    for (int i = 0; i < usingList.size(); ++i)
        stopAnlyThread(i);
}

bool AnalyzerManager::startDecode()
{
    if (!handshake())
        return false;
    // Workers read the capture record: none may run while it is refilled.
    stopAll();
    takeCapture();
    for (int i = 0; i < usingList.size(); ++i)
        startDecode(i);
    return true;
}

void AnalyzerManager::startDecode(int i)
{
    if (i < 0 || i >= usingList.size())
        return;
    AnalyzerUsing& rec = usingList[i];
    stopAnlyThread(i);
    bool othersRun = false;
    for (AnalyzerUsing const& r : usingList)
        othersRun = othersRun || r.progMng->isRunning();
    // Alone and outside a capture run the record can follow the displayed
    // capture; otherwise it already does (every capture change stops all).
    if (!othersRun && devUsing && !devUsing->smpRunning)
        takeCapture();
    rec.analyzer->Init(&dataForAnly, nullptr, rec.progMng);
    resetResults(i);
    rec.analyzer->InitialWorkerThread();
    rec.analyzer->StartProcessing();
}

bool AnalyzerManager::restartDecode(int i)
{
    if (i < 0 || i >= usingList.size())
        return false;
    // The restart drops the analyzer's results: not while the list holds them.
    if (!handshake())
        return false;
    startDecode(i);
    return true;
}

void AnalyzerManager::takeCapture()
{
    // Every worker is joined here, so the capture the record pointed into may go.
    if (!devUsing)
        return;
    if (SmpDataPtr s = devUsing->genDataForAnly(&dataForAnly))
        anlyCapture = std::move(s);
}

void AnalyzerManager::resetResults(int i)
{
    AnalyzerResults* results = nullptr;
    usingList[i].analyzer->GetAnalyzerResults(&results);
    endExport(results);
    usingList[i].analyzer->ResetResults();
}

void AnalyzerManager::stopAnlyThread(int i)
{
    if (i < 0 || i >= usingList.size())
        return;
    AnalyzerProgMng* p = usingList[i].progMng;
    if (!p || !p->isRunning())
        return;
    interruptAnly = true;
    // A parked worker is released; a decoding one ends within milliseconds.
    p->stopAndJoin();
    interruptAnly = false;
}

bool AnalyzerManager::anlyThreadIsRuning(int i) const
{
    return i >= 0 && i < usingList.size() && usingList[i].progMng->isRunning();
}

void AnalyzerManager::stopAllAnalyzer()
{
    if (me)
        me->stopAll();
}

bool AnalyzerManager::clearAnalyzerResult()
{
    if (!me || me->usingList.isEmpty())
        return true;
    if (!me->handshake())
        return false;
    me->endExport(nullptr);
    // A worker must not write into results being dropped.
    me->stopAll();
    for (int i = 0; i < me->usingList.size(); ++i)
        me->usingList[i].analyzer->ResetResults();
    return true;
}

void AnalyzerManager::slotStopWorkThread(AnalyzerProgMng* progMng, Analyzer* anly, quint64 generation)
{
    int i = -1;
    for (int k = 0; k < usingList.size(); ++k)
        if (usingList[k].progMng == progMng) {
            i = k;
            break;
        }
    // A report of a worker removed since, or of a run that was stopped or
    // replaced by a newer one, is stale.
    if (i < 0 || progMng->generation() != generation || !progMng->isRunning())
        return;
    progMng->joinFinished();
    AnalyzerUsing& rec = usingList[i];
    // Without the list thread's leave the finished results stay as they are.
    if (anly && anly == rec.analyzer && anly->WantsRestart() && handshake()) {
        resetResults(i);
        anly->InitialWorkerThread();
        anly->StartProcessing();
    }
    emit analyzerDecodedChanged();
}

// ---------------------------------------------------------------- export

int AnalyzerManager::indexOfResults(AnalyzerResults* results) const
{
    for (int i = 0; i < usingList.size(); ++i) {
        AnalyzerResults* r = nullptr;
        usingList[i].analyzer->GetAnalyzerResults(&r);
        if (r && r == results)
            return i;
    }
    return -1;
}

void AnalyzerManager::endExport(AnalyzerResults* results)
{
    ExportDataProMng* e = exportDataProMng;
    if (!e || (results && e->results != results))
        return;
    e->cancelExport();
    e->join();
    exportDataProMng = nullptr;
    delete e;   // its queued end-of-export call goes with it
}

AnalyzerManager::ExportRefusal AnalyzerManager::exportRefusal(AnalyzerResults* results)
{
    AnalyzerManager* m = me;
    if (!m || !results)
        return ExportNoAnalyzer;
    const int i = m->indexOfResults(results);
    if (i < 0)
        return ExportNoAnalyzer;
    if (m->usingList[i].progMng->isRunning())
        return ExportDecoding;
    if (m->exportDataProMng && m->exportDataProMng->isRunning())
        return ExportBusy;
    return ExportAllowed;
}

bool AnalyzerManager::exportAnlyDataFile(AnalyzerResults* results, QString const& path, DisplayBase base,
                                         unsigned id)
{
    if (exportRefusal(results) != ExportAllowed)
        return false;
    AnalyzerManager* m = me;
    // Finished and about to delete itself through its own signal.
    m->exportDataProMng = nullptr;
    auto* e = new ExportDataProMng(results, m);
    connect(e, &ExportDataProMng::sigDeleteExportDataProMng, m, &AnalyzerManager::slotDeleteExportDataProMng);
    m->exportDataProMng = e;
    results->StartExportThread(nullptr, base, 0);
    e->startExportThread(path, base, id);
    return true;
}

int AnalyzerManager::getExportFileProgress()
{
    if (!me || !me->exportDataProMng)
        return 100;
    return int(me->exportDataProMng->getProgress() * 100.0);
}

void AnalyzerManager::cancelExport()
{
    if (me && me->exportDataProMng)
        me->exportDataProMng->cancelExport();
}

void AnalyzerManager::slotDeleteExportDataProMng(ExportDataProMng* which)
{
    if (!which)
        return;
    if (exportDataProMng == which)
        exportDataProMng = nullptr;
    emit exportFinished(which->succeeded(), which->filePath);
    // Control is still inside the object's own slot.
    which->deleteLater();
}

// ---------------------------------------------------------------- simulation

void AnalyzerManager::refreshSimuTemplates()
{
    QVector<SimuTemplate> t;
    for (AnalyzerUsing const& rec : usingList) {
        const AnalyzerSettings* s = rec.analyzer->GetAnalyzerSettings();
        const char* text = s ? s->SaveToText() : nullptr;
        t.append({rec.fileInterface.createAnalyzer, rec.fileInterface.destroyAnalyzer,
                  QByteArray(text ? text : "")});
    }
    std::lock_guard<std::mutex> lock(simuMutex);
    simuTemplates.swap(t);
}

QVector<SimuAnalyzer> AnalyzerManager::makeSimuAnalyzers(long long sampleRate)
{
    QVector<SimuTemplate> t;
    {
        std::lock_guard<std::mutex> lock(simuMutex);
        t = simuTemplates;
    }
    QVector<SimuAnalyzer> out;
    for (SimuTemplate const& s : t) {
        Analyzer* a = s.create ? s.create() : nullptr;
        if (!a)
            continue;
        if (AnalyzerSettings* set = a->GetAnalyzerSettings())
            set->LoadFromText(s.settings.constData());
        long long rate = sampleRate;
        a->Init(nullptr, &rate, nullptr);
        out.append({a, s.destroy, &simulateCopy});
    }
    return out;
}

QVector<SimuAnalyzer> AnalyzerManager::getAllSimuAnalyzers(long long sampleRate)
{
    return getSimuAnalyzers(sampleRate);
}

void AnalyzerManager::deleteSimuAnalyzers(QVector<SimuAnalyzer>& list)
{
    freeSimuAnalyzers(list);
}

// ---------------------------------------------------------------- waveform rows

QVector<Analyzer*> AnalyzerManager::chnAnalyzers(int chn) const
{
    return getUsingChnAnalyzers(chn);
}

int AnalyzerManager::analyzerDisplayFormat(Analyzer* analyzer) const
{
    return getAnalyzerDisplayFormat(analyzer);
}

QStringList AnalyzerManager::chnAliasList() const
{
    return getAllUsingChnAlias(-1);
}

void AnalyzerManager::stopDecoding()
{
    stopAllAnalyzer();
    clearAnalyzerResult();
}

void AnalyzerManager::redecode()
{
    stopDecoding();
    startDecode();
}
