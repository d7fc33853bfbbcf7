// Colours, fonts and the main window's first geometry (part of Config).
#include "core/config.h"

#include "core/lang.h"

#include <QApplication>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QScreen>

static void initTavResources()
{
    Q_INIT_RESOURCE(tav);
    Q_INIT_RESOURCE(fonts);
}

void Config::initResources()
{
    static bool done = false;
    if (!done) {
        done = true;
        initTavResources();
    }
}

void Config::fillLists()
{
    static const int rgb[8][3] = {{223, 31, 223}, {39, 39, 239},  {31, 207, 31},  {223, 223, 31},
                                  {223, 119, 31}, {207, 23, 15},  {159, 47, 7},   {127, 127, 111}};
    static const char* const grays[10] = {"#f7f7f7", "#dfdfdf", "#afafaf", "#9f9f9f", "#7f7f7f",
                                          "#575b5f", "#3f3f3f", "#2f2f2f", "#1f1f23", "#070707"};
    static const int osc[4][3] = {{223, 223, 31}, {39, 39, 239}, {223, 31, 223}, {31, 207, 31}};
    chnColor.clear();
    grayColor.clear();
    chnColorOsc.clear();
    for (const auto& c : rgb) {
        QColor col;
        col.setRgb(c[0], c[1], c[2], 255);
        chnColor.append(col);
    }
    for (const char* g : grays) {
        QColor col;
        col.setNamedColor(QLatin1String(g));
        grayColor.append(col);
    }
    for (const auto& c : osc) {
        QColor col;
        col.setRgb(c[0], c[1], c[2], 255);
        chnColorOsc.append(col);
    }
    measTabACH = QStringList{QStringLiteral("Vtop"),        QStringLiteral("Vbase"),
                             QStringLiteral("Vamp"),        QStringLiteral("Vpp"),
                             QStringLiteral("Vavg"),        QStringLiteral("Vrms"),
                             QStringLiteral("Period"),      QStringLiteral("Frequency"),
                             QStringLiteral("RiseTime"),    QStringLiteral("FallTime"),
                             QStringLiteral("+PulseWidth"), QStringLiteral("-PulseWidth"),
                             QStringLiteral("DutyCycle")};
}

static QString registerFont(QString const& file)
{
    const int id = QFontDatabase::addApplicationFont(file);
    if (id < 0)
        return QString();
    const QStringList families = QFontDatabase::applicationFontFamilies(id);
    return families.isEmpty() ? QString() : families.first();
}

void Config::createFont()
{
    initResources();
    const QString tahoma = registerFont(QStringLiteral(":/res/Tahoma.ttf"));
    const QString verdana = registerFont(QStringLiteral(":/res/Verdana.ttf"));

    fontNormal = QApplication::font();
    const double size = fontNormal.pointSizeF();
    const QString head = Lang::getLangHead(QStringLiteral("font"));
    if (!head.isEmpty()) {
        if (head != QLatin1String("SysDefault"))
            fontNormal.setFamily(head);
    } else if (!tahoma.isEmpty()) {
        fontNormal.setFamily(tahoma);
    }
    fontNormal.setPointSizeF(size);

    fontSmall = tahoma.isEmpty() ? QFont(fontNormal) : QFont(tahoma);
    fontSmall.setPointSizeF(size - 1);
    fontLarge = verdana.isEmpty() ? QFont(fontNormal) : QFont(verdana);
    fontLarge.setPointSizeF(size + 2);
}

QRect Config::chooseWindowGeometry(QString const& stored, QVector<QRect> const& screens)
{
    int v[4] = {0, 0, 0, 0};
    StringToIntArray(stored, v, 4);
    const int x = v[0], y = v[1], w = v[2], h = v[3];
    if (w >= 1 && h >= 1) {
        for (const QRect& a : screens) {
            const int L = a.left(), T = a.top();
            const int R = L + a.width() - 1, B = T + a.height() - 1;
            if (T <= y && y < B && x < R && x + w - 1 > L)
                return QRect(x, y, w, h);
        }
    }
    if (screens.isEmpty())
        return QRect();
    const int W = screens.first().width(), H = screens.first().height();
    return QRect(W / 10, H / 10, W * 80 / 100, H * 80 / 100);
}

void Config::initWindowConfig()
{
    QVector<QRect> areas;
    const QList<QScreen*> screens = QGuiApplication::screens();
    // The primary screen leads the list, as the default geometry is taken from it.
    QScreen* primary = QGuiApplication::primaryScreen();
    if (primary)
        areas.append(primary->availableGeometry());
    for (QScreen* s : screens) {
        if (s != primary)
            areas.append(s->availableGeometry());
    }
    windowPosition = chooseWindowGeometry(readGlobalParam(QStringLiteral("windowPosition")), areas);
}
