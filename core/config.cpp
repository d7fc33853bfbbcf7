#include "core/config.h"

#include "core/lang.h"
#include "core/modeltable.h"
#include "core/savefilecommit.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QScreen>
#include <QStandardPaths>
#include <QTextStream>

QDomDocument Config::cfgDoc;
QString Config::cfgFile;
bool Config::cfgFileIsOnlyCopy = false;
const Version Config::curVersion(QStringLiteral("3.5.0"));

int Config::viewState = 0;
bool Config::disAnimate = false;
bool Config::autoWaitTrig = false;
bool Config::colorWaveLine = false;
bool Config::enaLogicProbe = false;
bool Config::smpProgPosition = false;

QString Config::dataFile;

QVector<QColor> Config::chnColor;
QVector<QColor> Config::chnColorOsc;
QVector<QColor> Config::grayColor;
QStringList Config::measTabACH;
QFont Config::fontNormal;
QFont Config::fontSmall;
QFont Config::fontLarge;
QRect Config::windowPosition;

QString Config::defaultDocument()
{
    return QStringLiteral(
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?><settings><global/><devices/><analyzers/></settings>");
}

// ---------------------------------------------------------------- start-up

void Config::init()
{
    fillLists();
    loadDefaultConfig();

    loadCommandLineFile(QCoreApplication::arguments());
    initWindowConfig();
    initShadowConfig();
}

void Config::loadCommandLineFile(QStringList const& args)
{
    QByteArray head;
    for (int i = 1; i < args.size(); ++i) {
        const int k = parseLoadFile(args[i]);
        if (k == 0 || k == 1) {
            extractConfig(args[i], head);
            break;
        }
    }
    if (!head.isEmpty() && !replaceConfig(head))
        dataFile.clear();
}

void Config::loadDefaultConfig()
{
    const QString folder =
        QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/vormel");
    QDir::root().mkpath(folder);
    cfgFile = folder + QStringLiteral("/tav.config");
    cfgFileIsOnlyCopy = false;

    QFile f(cfgFile);
    if (f.open(QIODevice::ReadOnly | QIODevice::Text)) {
        QDomDocument d;
        const bool ok = d.setContent(&f, false);
        f.close();
        if (ok) {
            cfgDoc = d;
            versionCheck();
            return;
        }
    }
    // The default document replaces an unreadable file at the next close, so
    // keep the user's old file where it can still be recovered.
    if (QFileInfo::exists(cfgFile) && !keepUnreadableFile()) {
        cfgFileIsOnlyCopy = true;
        qWarning("VormelTAV: the unreadable settings file %s could not be copied aside; it is kept, and "
                 "the settings of this run will not be saved",
                 qPrintable(cfgFile));
    }
    cfgDoc = QDomDocument();
    cfgDoc.setContent(defaultDocument());
    saveGlobalParam(QStringLiteral("version"), curVersion.ToString());
}

bool Config::keepUnreadableFile()
{
    // An earlier copy stays when this one fails.
    QFile in(cfgFile);
    if (!in.open(QIODevice::ReadOnly))
        return false;
    const QByteArray bytes = in.readAll();
    if (in.error() != QFileDevice::NoError)
        return false;
    return writeWholeFile(cfgFile + QStringLiteral(".bad"), bytes);
}

void Config::versionCheck()
{
    const Version stored(readGlobalParam(QStringLiteral("version")));
    if (stored != curVersion)
        saveGlobalParam(QStringLiteral("version"), curVersion.ToString());
}

QByteArray Config::documentText(QDomDocument const& doc)
{
    QByteArray bytes;
    QTextStream ts(&bytes, QIODevice::WriteOnly);
    ts.setCodec("UTF-8");
    doc.save(ts, 4, QDomNode::EncodingFromTextStream);
    ts.flush();
    return bytes;
}

QByteArray Config::configText()
{
    return documentText(cfgDoc);
}

bool Config::writeDocument(QDomDocument const& doc, QString const& path)
{
    return writeWholeFile(path, documentText(doc));
}

bool Config::saveConfig(QString const& path)
{
    return writeDocument(cfgDoc, path);
}

bool Config::close()
{
    if (cfgFileIsOnlyCopy)
        return false;
    return saveConfig(cfgFile);
}

// ---------------------------------------------------------------- elements

QDomNode Config::getChildNode(QDomNode* parent, QString const& tag)
{
    for (QDomNode n = parent->firstChild(); !n.isNull(); n = n.nextSibling()) {
        if (n.isElement() && n.toElement().tagName() == tag)
            return n;
    }
    return parent->appendChild(cfgDoc.createElement(tag));
}

void Config::modifyNodeValue(QDomNode* node, QString const& value)
{
    QDomNode first = node->firstChild();
    if (first.isText()) {
        first.setNodeValue(value);
        return;
    }
    while (node->hasChildNodes())
        node->removeChild(node->firstChild());
    node->appendChild(cfgDoc.createTextNode(value));
}

static QDomNode globalNode(QString const& key)
{
    QDomNode root = Config::cfgDoc.documentElement();
    QDomNode global = Config::getChildNode(&root, QStringLiteral("global"));
    return Config::getChildNode(&global, key);
}

static QDomNode deviceNode(QString const& device, QString const& key)
{
    QDomNode root = Config::cfgDoc.documentElement();
    QDomNode devices = Config::getChildNode(&root, QStringLiteral("devices"));
    QDomNode dev = Config::getChildNode(&devices, device);
    return Config::getChildNode(&dev, key);
}

QString Config::readGlobalParam(QString const& key)
{
    return globalNode(key).toElement().text();
}

void Config::saveGlobalParam(QString const& key, QString const& value)
{
    QDomNode n = globalNode(key);
    modifyNodeValue(&n, value);
}

QString Config::readDeviceParam(QString const& device, QString const& key)
{
    return deviceNode(device, key).toElement().text();
}

void Config::saveDeviceParam(QString const& device, QString const& key, QString const& value)
{
    QDomNode n = deviceNode(device, key);
    modifyNodeValue(&n, value);
}

// ---------------------------------------------------------------- codecs

template <typename T, typename Conv>
static int parseList(QString const& text, T* out, int n, Conv conv)
{
    if (text.isEmpty() || n <= 0)
        return 0;
    const QStringList parts = text.split(QLatin1Char(','), Qt::KeepEmptyParts);
    const int count = qMin(parts.size(), n);
    for (int i = 0; i < count; ++i)
        out[i] = conv(parts[i]);
    return count;
}

int Config::StringToIntArray(QString const& text, int* out, int n)
{
    return parseList(text, out, n, [](QString const& s) { return s.toInt(nullptr, 10); });
}

int Config::StringToBoolArray(QString const& text, bool* out, int n)
{
    return parseList(text, out, n, [](QString const& s) { return s.toInt(nullptr, 10) != 0; });
}

int Config::StringToDoubleArray(QString const& text, double* out, int n)
{
    return parseList(text, out, n, [](QString const& s) { return s.toDouble(); });
}

template <typename T, typename Fmt>
static QString joinList(const T* values, int n, Fmt fmt)
{
    // An empty list reads nothing rather than the element past its end.
    if (!values || n < 1)
        return QString();
    QString s = fmt(values[0]);
    for (int i = 1; i < n; ++i)
        s += QLatin1Char(',') + fmt(values[i]);
    return s;
}

QString Config::IntArrayToString(const int* values, int n)
{
    return joinList(values, n, [](int v) { return QString::number(v); });
}

QString Config::BoolArrayToString(const bool* values, int n)
{
    return joinList(values, n, [](bool v) { return v ? QStringLiteral("1") : QStringLiteral("0"); });
}

QString Config::DoubleArrayToString(const double* values, int n)
{
    return joinList(values, n, [](double v) { return QString::number(v, 'g', 6); });
}

// ---------------------------------------------------------------- channel lists

static QString enableKey(bool analog)
{
    return analog ? QStringLiteral("AChnEnable") : QStringLiteral("chnEnable");
}

void Config::getChnEnaSettings(QString const& device, QVector<bool>* list, bool analog)
{
    StringToBoolArray(readDeviceParam(device, enableKey(analog)), list->data(), list->size());
}

void Config::saveChnEnaSettings(QString const& device, QVector<bool> const& list, bool analog)
{
    if (list.isEmpty())
        return;
    saveDeviceParam(device, enableKey(analog), BoolArrayToString(list.constData(), list.size()));
}

void Config::getChnTrgSettings(QString const& device, QVector<TrgType>* list)
{
    const QString text = readDeviceParam(device, QStringLiteral("chnTrig"));
    if (text.isEmpty())
        return;
    const QStringList parts = text.split(QLatin1Char(','));
    const int count = qMin(parts.size(), list->size());
    for (int i = 0; i < count; ++i) {
        const int v = parts[i].toInt(nullptr, 10);
        (*list)[i] = (v >= 0 && v <= 4) ? TrgType(v) : TrgNone;
    }
}

void Config::saveChnTrgSettings(QString const& device, QVector<TrgType> const& list)
{
    if (list.isEmpty())
        return;
    QVector<int> v(list.size());
    for (int i = 0; i < list.size(); ++i)
        v[i] = list[i];
    saveDeviceParam(device, QStringLiteral("chnTrig"), IntArrayToString(v.constData(), v.size()));
}

void Config::getChnShowMultip(int n, int* out)
{
    if (n <= 0)
        return;
    QVector<int> work(n, 1);
    StringToIntArray(readGlobalParam(QStringLiteral("chnShowMultip")), work.data(), n);
    for (int i = 0; i < n; ++i) {
        const int m = work[i];
        out[i] = (m == 1 || m == 2 || m == 4 || m == 8) ? m : 1;
    }
}

void Config::getChnShowIndex(int n, int* out)
{
    if (n <= 0)
        return;
    QVector<int> work(n, 0);
    const int k = StringToIntArray(readGlobalParam(QStringLiteral("chnShowIndex")), work.data(), n);
    for (int i = k; i < n; ++i)
        work[i] = i;
    QVector<bool> seen(n, false);
    bool perm = true;
    for (int i = 0; i < n && perm; ++i) {
        const int v = work[i];
        if (v < 0 || v >= n || seen[v])
            perm = false;
        else
            seen[v] = true;
    }
    for (int i = 0; i < n; ++i)
        out[i] = perm ? work[i] : i;
}

QString Config::getChnName(int i)
{
    const QString name = readGlobalParam(QStringLiteral("chnShowName") + QString::number(i));
    if (!name.isEmpty())
        return name;
    return Lang::tr(QStringLiteral("Channel")) + QLatin1Char(' ') + QString::number(i);
}

// ---------------------------------------------------------------- cached flags

static bool readFlag(const char* key)
{
    return Config::readGlobalParam(QLatin1String(key)).toInt() != 0;
}

void Config::initShadowConfig()
{
    viewState = readGlobalParam(QStringLiteral("viewState")).toInt();
    disAnimate = readFlag("disAnimateZoom");
    autoWaitTrig = readFlag("autoWaitTrig");
    colorWaveLine = readFlag("colorWaveform");
    enaLogicProbe = readFlag("LogicProbe");
    smpProgPosition = readFlag("smpProgPosition");
}

static void saveFlag(bool& cache, bool v, const char* key)
{
    cache = v;
    Config::saveGlobalParam(QLatin1String(key), QString::number(v ? 1 : 0));
}

void Config::saveDisAnimate(bool v) { saveFlag(disAnimate, v, "disAnimateZoom"); }
void Config::saveAutoWaitTrigEna(bool v) { saveFlag(autoWaitTrig, v, "autoWaitTrig"); }
void Config::saveColorWaveLine(bool v) { saveFlag(colorWaveLine, v, "colorWaveform"); }
void Config::saveLogicProbe(bool v) { saveFlag(enaLogicProbe, v, "LogicProbe"); }
void Config::saveProgressSample(bool v) { saveFlag(smpProgPosition, v, "smpProgPosition"); }

void Config::saveViewState(ViewState v)
{
    viewState = v;
    saveGlobalParam(QStringLiteral("viewState"), QString::number(int(v)));
}

int Config::getDevModel()
{
    return readGlobalParam(QStringLiteral("devModel")).toInt(nullptr, 10);
}

// ---------------------------------------------------------------- analyzers

static QDomNode analyzersNode()
{
    QDomNode root = Config::cfgDoc.documentElement();
    return Config::getChildNode(&root, QStringLiteral("analyzers"));
}

QString Config::readAnalyzerParam()
{
    QString s;
    const QDomNode an = analyzersNode();
    for (QDomElement item = an.firstChildElement(); !item.isNull(); item = item.nextSiblingElement()) {
        for (QDomNode c = item.firstChild(); !c.isNull(); c = c.nextSibling())
            s += c.toElement().text() + QLatin1Char(';');
    }
    return s;
}

void Config::clearAnalyzerParam()
{
    QDomNode an = analyzersNode();
    while (an.hasChildNodes())
        an.removeChild(an.firstChild());
}

void Config::saveAnalyzerParam(int i, QStringList const& list)
{
    if (list.size() < 3)
        return;
    QDomNode an = analyzersNode();
    QDomNode item = getChildNode(&an, QStringLiteral("item") + QString::number(i));
    static const char* const tags[3] = {"fileName", "parameters", "format"};
    for (int k = 0; k < 3; ++k) {
        QDomNode c = getChildNode(&item, QLatin1String(tags[k]));
        modifyNodeValue(&c, list[k]);
    }
}
