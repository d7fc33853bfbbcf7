#pragma once

#include "core/version.h"

#include <QByteArray>
#include <QColor>
#include <QDomDocument>
#include <QFont>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QVector>

// Trigger condition of a logic channel.
enum TrgType { TrgNone = 0, TrgLow = 1, TrgHigh = 2, TrgRise = 3, TrgFall = 4 };

// Where the view goes after a new capture.
enum ViewState { ViewKeep = 0, ViewZero = 1, ViewAll = 2 };

// File types of the save dialog.
enum FileType { FileData = 0, FileSettings = 1, FileText = 2, FileCsv = 3, FileBinary = 4 };

// The settings service: the whole settings file as one XML document in memory,
// typed accessors, the look (colours, fonts, geometry) and the file heads.
// Static members only; used from the user-interface thread.
class Config
{
public:
    Config() = delete;

    // --- document and file
    static QDomDocument cfgDoc;
    static QString cfgFile;
    static const Version curVersion;

    static void init();
    static void loadDefaultConfig();
    static void versionCheck();
    static bool saveConfig(QString const& path);
    static bool close();
    static QString defaultDocument();

    static QDomNode getChildNode(QDomNode* parent, QString const& tag);
    static void modifyNodeValue(QDomNode* node, QString const& value);
    static QString readGlobalParam(QString const& key);
    static void saveGlobalParam(QString const& key, QString const& value);
    static QString readDeviceParam(QString const& device, QString const& key);
    static void saveDeviceParam(QString const& device, QString const& key, QString const& value);

    // --- array codecs
    static int StringToIntArray(QString const& text, int* out, int n);
    static int StringToBoolArray(QString const& text, bool* out, int n);
    static int StringToDoubleArray(QString const& text, double* out, int n);
    static QString IntArrayToString(const int* values, int n);
    static QString BoolArrayToString(const bool* values, int n);
    static QString DoubleArrayToString(const double* values, int n);

    // --- channel lists
    static void getChnEnaSettings(QString const& device, QVector<bool>* list, bool analog);
    static void saveChnEnaSettings(QString const& device, QVector<bool> const& list, bool analog);
    static void getChnTrgSettings(QString const& device, QVector<TrgType>* list);
    static void saveChnTrgSettings(QString const& device, QVector<TrgType> const& list);
    static void getChnShowMultip(int n, int* out);
    static void getChnShowIndex(int n, int* out);
    static QString getChnName(int i);

    // --- cached display flags
    static int viewState;
    static bool disAnimate;
    static bool autoWaitTrig;
    static bool colorWaveLine;
    static bool enaLogicProbe;
    static bool smpProgPosition;
    static void initShadowConfig();
    static void saveDisAnimate(bool v);
    static void saveAutoWaitTrigEna(bool v);
    static void saveColorWaveLine(bool v);
    static void saveLogicProbe(bool v);
    static void saveProgressSample(bool v);
    static void saveViewState(ViewState v);

    static int getDevModel();

    // --- analyzers in use
    static QString readAnalyzerParam();
    static void clearAnalyzerParam();
    static void saveAnalyzerParam(int i, QStringList const& list);

    // --- heads of settings and data files, command line, file dialogs
    static QString dataFile;
    static const int headWindow = 32768;
    static int parseLoadFile(QString const& path);
    // Merges the first settings or data file among the arguments (index 0 is the program).
    static void loadCommandLineFile(QStringList const& args);
    static bool extractConfig(QString const& path, QByteArray& head);
    static bool replaceConfig(QByteArray const& head);
    static bool saveMinConfig(QString const& path, QString const& device);
    // The bytes saveConfig and saveMinConfig write, for a file that carries more after them.
    static QByteArray configText();
    static QByteArray minConfigText(QString const& device);
    static QString getSaveFileName(int type);
    static QString getOpenFileName();
    static QString saveFilter(int type, QString* suffix = nullptr);
    static QString lastFolder();
    static void rememberFolder(QString const& chosenFile, QString const& shownFolder);

    // --- look and feel
    static QVector<QColor> chnColor;
    static QVector<QColor> chnColorOsc;
    static QVector<QColor> grayColor;
    static QStringList measTabACH;
    static QFont fontNormal;
    static QFont fontSmall;
    static QFont fontLarge;
    static QRect windowPosition;
    static int pixel(int size) { return size; }
    static void fillLists();
    // Registers the compiled-in resources (icons, fonts); safe to call repeatedly.
    static void initResources();
    static void createFont();
    static void initWindowConfig();
    // The geometry rule with the screens' available areas given (primary first).
    static QRect chooseWindowGeometry(QString const& stored, QVector<QRect> const& screens);

private:
    static QByteArray documentText(QDomDocument const& doc);
    static bool writeDocument(QDomDocument const& doc, QString const& path);
    static bool keepUnreadableFile();
    // The settings file is unreadable and no copy of it could be kept: it is
    // the user's only copy, so close() does not replace it.
    static bool cfgFileIsOnlyCopy;
};
