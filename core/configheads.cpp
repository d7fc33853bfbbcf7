// Settings heads of data and settings files, the command-line file and the
// file dialogs (part of Config).
#include "core/config.h"

#include "core/lang.h"
#include "core/modeltable.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QStandardPaths>

int Config::parseLoadFile(QString const& path)
{
    const QFileInfo fi(path);
    if (!fi.exists() || !fi.isFile())
        return -1;
    const QString suffix = fi.suffix();
    if (suffix == QLatin1String("vtdat")) {
        dataFile = path;
        return 0;
    }
    if (suffix == QLatin1String("vtset"))
        return 1;
    return -1;
}

bool Config::extractConfig(QString const& path, QByteArray& head)
{
    head.clear();
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    const QByteArray bytes = f.read(headWindow);
    f.close();
    const int p = bytes.indexOf("</settings>");
    if (p < 1)
        return false;
    int end = p + 11;
    while (end < bytes.size() && (bytes.at(end) == 13 || bytes.at(end) == 10))
        ++end;
    head = bytes.left(end);
    return true;
}

static QString headGlobal(QDomDocument const& d, QString const& key)
{
    return d.documentElement().firstChildElement(QStringLiteral("global")).firstChildElement(key).text();
}

bool Config::replaceConfig(QByteArray const& head)
{
    QDomDocument h;
    if (!h.setContent(head, false))
        return false;
    if (!ModelTable::isSupported(headGlobal(h, QStringLiteral("devModel")).toInt(nullptr, 10)))
        return false;

    QDomNode root = cfgDoc.documentElement();
    QDomNode global = getChildNode(&root, QStringLiteral("global"));
    for (QDomNode n = global.firstChild(); !n.isNull(); n = n.nextSibling()) {
        if (n.isElement() && n.toElement().tagName().startsWith(QLatin1String("chnShowName"))
            && n.hasChildNodes())
            n.removeChild(n.firstChild());
    }

    // The command server's "enaSocket" and "listenPort" are never taken from a
    // file: opening one must not open the machine to the network.
    QStringList keys{QStringLiteral("disAnimateZoom"), QStringLiteral("colorWaveform"),
                     QStringLiteral("smpProgPosition"), QStringLiteral("viewState"),
                     QStringLiteral("autoWaitTrig"), QStringLiteral("disAutoUpdate"),
                     QStringLiteral("devModel"), QStringLiteral("chnShowIndex"),
                     QStringLiteral("chnShowMultip"), QStringLiteral("lgcMeasure"),
                     QStringLiteral("oscMeasureEna"), QStringLiteral("oscMeasureChn0"),
                     QStringLiteral("oscMeasureChn1"), QStringLiteral("oscMeasureChn2"),
                     QStringLiteral("oscMeasureChn3"), QStringLiteral("oscCursorEna"),
                     QStringLiteral("oscCursorChn")};
    for (int i = 0; i < 32; ++i)
        keys << QStringLiteral("chnShowName") + QString::number(i);
    for (const QString& key : keys) {
        const QString v = headGlobal(h, key);
        if (!v.isEmpty())
            saveGlobalParam(key, v);
    }

    QDomNode devices = getChildNode(&root, QStringLiteral("devices"));
    const QDomElement headDevices = h.documentElement().firstChildElement(QStringLiteral("devices"));
    for (QDomElement e = headDevices.firstChildElement(); !e.isNull(); e = e.nextSiblingElement()) {
        const QDomElement old = devices.firstChildElement(e.tagName());
        if (!old.isNull())
            devices.removeChild(old);
        devices.appendChild(cfgDoc.importNode(e, true));
    }

    QDomNode analyzers = getChildNode(&root, QStringLiteral("analyzers"));
    const QDomElement headAnalyzers = h.documentElement().firstChildElement(QStringLiteral("analyzers"));
    const QDomNode fresh = headAnalyzers.isNull() ? QDomNode(cfgDoc.createElement(QStringLiteral("analyzers")))
                                                  : cfgDoc.importNode(headAnalyzers, true);
    root.replaceChild(fresh, analyzers);

    initShadowConfig();
    return true;
}

static QDomDocument minConfigDocument(QString const& device);

bool Config::saveMinConfig(QString const& path, QString const& device)
{
    return writeDocument(minConfigDocument(device), path);
}

QByteArray Config::minConfigText(QString const& device)
{
    return documentText(minConfigDocument(device));
}

static QDomDocument minConfigDocument(QString const& device)
{
    QDomDocument copy;
    copy.setContent(Config::cfgDoc.toByteArray());
    static const char* const keep[] = {"version",       "devModel",      "chnShowIndex", "chnShowMultip",
                                       "chnShowName",   "lgcMeasure",    "oscMeasureEna", "oscMeasureChn",
                                       "oscCursorEna",  "oscCursorChn"};
    const QDomElement root = copy.documentElement();
    QDomElement global = root.firstChildElement(QStringLiteral("global"));
    for (QDomNode n = global.firstChild(); !n.isNull();) {
        const QDomNode next = n.nextSibling();
        bool kept = false;
        if (n.isElement()) {
            const QString tag = n.toElement().tagName();
            for (const char* k : keep)
                kept = kept || tag.startsWith(QLatin1String(k));
        }
        if (!kept)
            global.removeChild(n);
        n = next;
    }
    QDomElement devices = root.firstChildElement(QStringLiteral("devices"));
    for (QDomNode n = devices.firstChild(); !n.isNull();) {
        const QDomNode next = n.nextSibling();
        if (!n.isElement() || n.toElement().tagName() != device)
            devices.removeChild(n);
        n = next;
    }
    return copy;
}

QString Config::saveFilter(int type, QString* suffix)
{
    static const char* const labels[5] = {"TAV data file", "TAV settings file", "Text file", "CSV file",
                                          "Binary file"};
    static const char* const patterns[5] = {" (*.vtdat)", " (*.vtset)", " (*.txt)", " (*.csv)", " (*.bin)"};
    static const char* const suffixes[5] = {"vtdat", "vtset", "txt", "csv", "bin"};
    if (type < 0 || type > 4)
        return QString();
    if (suffix)
        *suffix = QLatin1String(suffixes[type]);
    return Lang::tr(QLatin1String(labels[type])) + QLatin1String(patterns[type]);
}

QString Config::lastFolder()
{
    const QString last = readGlobalParam(QStringLiteral("lastPath"));
    if (!last.isEmpty())
        return last;
    return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
}

void Config::rememberFolder(QString const& chosenFile, QString const& shownFolder)
{
    const QString folder = QFileInfo(chosenFile).absolutePath();
    if (QDir::cleanPath(folder) != QDir::cleanPath(shownFolder))
        saveGlobalParam(QStringLiteral("lastPath"), folder);
}

QString Config::getSaveFileName(int type)
{
    QString suffix;
    const QString filter = saveFilter(type, &suffix);
    if (filter.isEmpty())
        return QString();
    const QString folder = lastFolder();
    QFileDialog dlg(nullptr, QString(), QString(), QString());
    dlg.setAcceptMode(QFileDialog::AcceptSave);
    dlg.setViewMode(QFileDialog::Detail);
    dlg.setNameFilter(filter);
    dlg.setDefaultSuffix(suffix);
    dlg.setDirectory(folder);
    dlg.selectFile(QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd_hh-mm-ss")));
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty())
        return QString();
    const QString p = dlg.selectedFiles().first();
    rememberFolder(p, folder);
    return p;
}

QString Config::getOpenFileName()
{
    const QString folder = lastFolder();
    QFileDialog dlg(nullptr, QString(), QString(), QString());
    dlg.setAcceptMode(QFileDialog::AcceptOpen);
    dlg.setViewMode(QFileDialog::Detail);
    dlg.setFileMode(QFileDialog::ExistingFile);
    dlg.setNameFilter(Lang::tr(QStringLiteral("TAV file")) + QStringLiteral(" (*.vtset *vtdat)"));
    dlg.setDirectory(folder);
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty())
        return QString();
    const QString p = dlg.selectedFiles().first();
    rememberFolder(p, folder);
    return p;
}
