#include "scope/chnmeasurepair.h"

#include "core/config.h"
#include "core/lang.h"
#include "core/engunit.h"
#include "device/devbase.h"
#include "widgets/oscpanelkit.h"
#include "scope/wavedatagenosc.h"
#include "widgets/mybutton.h"
#include "widgets/mymenu.h"

#include <QAction>
#include <QCursor>
#include <QDialog>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace {

const QString NoValue = QStringLiteral("###");

// A value that truncates to a 64-bit integer without overflow; a period at a
// rate of 0 is infinite, and a NaN has no integer at all.
bool fitsInt64(double v)
{
    return std::isfinite(v) && std::fabs(v) < 9.2e18;
}

int paramCount()
{
    return Config::measTabACH.size();
}

} // namespace

QVector<bool> ChnMeasurePair::rowEnables(const QString& stored)
{
    QVector<bool> rows(paramCount(), false);
    if (stored.isEmpty()) {
        for (int i : {2, 4, 7})
            if (i < rows.size())
                rows[i] = true;
        return rows;
    }
    Config::StringToBoolArray(stored, rows.data(), rows.size());
    return rows;
}

QString ChnMeasurePair::voltToStr(double mv)
{
    if (!fitsInt64(mv))
        return NoValue;
    if (qint64(std::fabs(mv)) > 99)
        return QString::number(mv / 1000, 'g', 4) + QStringLiteral("V");
    return QString::number(mv, 'g', 3) + QStringLiteral("mV");
}

QString ChnMeasurePair::timeToStr(qint64 ps)
{
    if (ps == 0)
        return QStringLiteral("0s");
    return EngUnit::text(double(ps), EngUnit::psUnits(), 5);
}

QString ChnMeasurePair::freqToStr(double hz)
{
    if (!fitsInt64(hz))
        return NoValue;
    return EngUnit::text(hz, EngUnit::hzUnits(), 5, EngUnit::AtOnce);
}

QStringList ChnMeasurePair::parameterToStrOsc(int chn, const bool* valid, const double* values, int count)
{
    QStringList out;
    const DevBase* dev = devUsing;
    const bool enabled = dev && chn >= 0 && chn < dev->aChnEna.size() && dev->aChnEna.at(chn);
    if (!enabled || !valid || !values) {
        for (int i = 0; i < count; ++i)
            out << NoValue;
        return out;
    }
    const double probe = double(dev->aProbeRate.value(chn, 1));
    for (int i = 0; i < count; ++i) {
        const double v = values[i];
        if (!valid[i]) {
            out << NoValue;
        } else if (i <= 5) {
            out << voltToStr(v * probe);
        } else if (i == 7) {
            out << freqToStr(v);
        } else if (i == 12) {
            out << (std::isfinite(v) ? QString::number(v, 'f', 2) + QStringLiteral("%") : NoValue);
        } else if (i < 12) {
            out << (fitsInt64(v) ? timeToStr(qint64(v)) : NoValue);
        } else {
            out << NoValue;
        }
    }
    return out;
}

ChnMeasurePair::ChnMeasurePair(int chn, QWidget* parent)
    : QWidget(parent), chnIndex(chn), chnName(QStringLiteral("CH") + QString::number(chn + 1))
{
    setStyleSheet(QStringLiteral("background-color:transparent;color:#f7f7f7;"));
    const int k = paramCount();
    const QVector<bool> rows =
        rowEnables(Config::readGlobalParam(QStringLiteral("oscMeasureChn") + QString::number(chn)));

    menuParam = new MyMenu(nullptr);
    for (int i = 0; i < k; ++i) {
        QAction* a = menuParam->addAction(Lang::tr(Config::measTabACH[i]));
        a->setParent(this);
        a->setData(i);
        a->setCheckable(true);
        a->setChecked(rows[i]);
        connect(a, &QAction::triggered, this, &ChnMeasurePair::slotMenuActionClicked);
        if (i == 5)
            menuParam->addSeparator();
    }

    widgetHead = new QWidget(this);
    layoutHead = new QHBoxLayout(widgetHead);
    layoutHead->setContentsMargins(0, 0, 0, 0);
    layoutHead->setSpacing(Config::pixel(1));
    btnDeploy = OscPanelKit::collapseButton(widgetHead);
    connect(btnDeploy, &QPushButton::clicked, this, &ChnMeasurePair::slotBtnDeployClicked);
    labelTitle = OscPanelKit::title(chnName, widgetHead);
    btnSet = new MyButton(widgetHead);
    OscPanelKit::styleFlat(btnSet, Config::grayColor.value(4), Config::pixel(16) / 2);
    btnSet->setIcon(QIcon(QStringLiteral(":/res/btnSetting")));
    connect(btnSet, &QPushButton::clicked, this, &ChnMeasurePair::slotBtnSetClicked);
    layoutHead->addWidget(btnDeploy, 0);
    layoutHead->addWidget(labelTitle, 0);
    layoutHead->addWidget(btnSet, 1);

    widgetBody = new QWidget(this);
    layoutBody = new QGridLayout(widgetBody);
    layoutBody->setContentsMargins(Config::pixel(16), 0, 0, 0);
    layoutBody->setVerticalSpacing(0);
    layoutBody->setHorizontalSpacing(Config::pixel(3));
    for (int i = 0; i < k; ++i) {
        auto* name = new QLabel(Lang::tr(Config::measTabACH[i]) + QStringLiteral(":"), widgetBody);
        name->setFixedHeight(Config::pixel(18));
        name->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        auto* value = new QLabel(NoValue, widgetBody);
        value->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        value->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        layoutBody->addWidget(name, i, 0);
        layoutBody->addWidget(value, i, 1);
        name->setVisible(rows[i]);
        value->setVisible(rows[i]);
        labelNames << name;
        labelValues << value;
    }
    layoutBody->setColumnStretch(0, 2);
    layoutBody->setColumnStretch(1, 3);

    layoutMain = new QVBoxLayout(this);
    layoutMain->setContentsMargins(Config::pixel(3), Config::pixel(3), Config::pixel(4), Config::pixel(3));
    layoutMain->setSpacing(Config::pixel(3));
    layoutMain->addWidget(widgetHead);
    layoutMain->addWidget(widgetBody);
}

ChnMeasurePair::~ChnMeasurePair()
{
    delete menuParam;
}

void ChnMeasurePair::setState(bool on)
{
    // A block that comes back shows expanded. A new block inside a panel not
    // yet shown is not marked hidden, so the test is visibility, not isHidden.
    if (on && !isVisible()) {
        deployed = false;
        slotBtnDeployClicked();
    }
    setVisible(on);
}

void ChnMeasurePair::updateMeasureValue()
{
    double* values = nullptr;
    bool* valid = nullptr;
    const int count = WaveDataGenOsc::getParameterValuesA(chnIndex, &values, &valid);
    // Without the generator's values every row reads "###".
    const QStringList texts = count == labelValues.size()
                                  ? parameterToStrOsc(chnIndex, valid, values, count)
                                  : parameterToStrOsc(-1, nullptr, nullptr, labelValues.size());
    for (int i = 0; i < labelValues.size() && i < texts.size(); ++i)
        labelValues[i]->setText(texts[i]);
}

QString ChnMeasurePair::valueText(int row) const
{
    return row >= 0 && row < labelValues.size() ? labelValues[row]->text() : QString();
}

void ChnMeasurePair::slotBtnDeployClicked()
{
    deployed = !deployed;
    OscPanelKit::showExpandIcon(btnDeploy, deployed);
    btnSet->setVisible(deployed);
    widgetBody->setVisible(deployed);
}

void ChnMeasurePair::slotBtnSetClicked()
{
    menuParam->popup(QCursor::pos());
    menuParam->show();
}

void ChnMeasurePair::slotMenuActionClicked()
{
    auto* a = qobject_cast<QAction*>(sender());
    if (!a)
        return;
    const int i = a->data().toInt();
    if (i < 0 || i >= labelNames.size())
        return;
    labelNames[i]->setVisible(a->isChecked());
    labelValues[i]->setVisible(a->isChecked());
    saveRows();
}

void ChnMeasurePair::saveRows()
{
    QVector<bool> rows;
    for (QLabel* name : labelNames)
        rows << name->isVisibleTo(widgetBody);
    Config::saveGlobalParam(QStringLiteral("oscMeasureChn") + QString::number(chnIndex),
                            Config::BoolArrayToString(rows.constData(), rows.size()));
}

void ChnMeasurePair::slotBtnRemoveClicked()
{
    for (QAction* a : menuParam->actions())
        a->setChecked(false);
    for (int i = 0; i < labelNames.size(); ++i) {
        labelNames[i]->hide();
        labelValues[i]->hide();
    }
    saveRows();
}

void ChnMeasurePair::buildSnapshot()
{
    dlgSnapshot = new QDialog(this, Qt::Dialog | Qt::WindowCloseButtonHint);
    dlgSnapshot->setWindowTitle(chnName + QStringLiteral(" ") + Lang::tr(QStringLiteral("Snapshot")));
    // The group titles sit in the groups' top margin, which must hold a whole
    // line of text (descenders included).
    const int titleRoom = std::max(Config::pixel(8), dlgSnapshot->fontMetrics().height());
    dlgSnapshot->setStyleSheet(
        QStringLiteral("QGroupBox{border:%1px solid black;border-radius:%2px;;margin-top:%3px;margin-bottom:%4px;}"
                       "QGroupBox::title{subcontrol-origin:margin; position:relative;left:%5px;}"
                       "QWidget{background-color:#F0F0F0; color:black;}")
            .arg(Config::pixel(1))
            .arg(Config::pixel(4))
            .arg(titleRoom)
            .arg(Config::pixel(4))
            .arg(Config::pixel(16)));
    layoutSnapshot = new QVBoxLayout(dlgSnapshot);
    layoutSnapshot->setContentsMargins(Config::pixel(10), Config::pixel(5), Config::pixel(10), Config::pixel(5));

    const int k = paramCount();
    for (int i = 0; i < k; ++i) {
        snapNames << new QLabel(Lang::tr(Config::measTabACH[i]), dlgSnapshot);
        snapValues << new QLabel(dlgSnapshot);
        snapColons << new QLabel(QStringLiteral(":"), dlgSnapshot);
    }
    auto group = [this](const QString& title, QGridLayout** grid) {
        auto* g = new QGroupBox(QStringLiteral("  ") + Lang::tr(title) + QStringLiteral("  "), dlgSnapshot);
        *grid = new QGridLayout(g);
        (*grid)->setContentsMargins(Config::pixel(16), Config::pixel(5), Config::pixel(16), Config::pixel(5));
        (*grid)->addWidget(new QLabel(g), 0, 3);
        return g;
    };
    groupVolt = group(QStringLiteral("Voltage"), &layoutVolt);
    groupTime = group(QStringLiteral("Time"), &layoutTime);
    for (int i = 0; i < k; ++i) {
        QGridLayout* grid = i < 6 ? layoutVolt : layoutTime;
        const int j = i < 6 ? i : i - 6;
        const int col = j % 2 ? 4 : 0;
        grid->addWidget(snapNames[i], j / 2, col);
        grid->addWidget(snapColons[i], j / 2, col + 1);
        grid->addWidget(snapValues[i], j / 2, col + 2);
    }
    btnBoxSnapshot = new QDialogButtonBox(dlgSnapshot);
    btnBoxSnapshot->addButton(Lang::tr(QStringLiteral("OK")), QDialogButtonBox::AcceptRole);
    connect(btnBoxSnapshot, &QDialogButtonBox::accepted, dlgSnapshot, &QDialog::accept);
    layoutSnapshot->addWidget(groupVolt);
    layoutSnapshot->addWidget(groupTime);
    layoutSnapshot->addWidget(btnBoxSnapshot);
}

void ChnMeasurePair::slotBtnSnapshotClicked()
{
    if (!dlgSnapshot)
        buildSnapshot();
    for (int i = 0; i < snapValues.size() && i < labelValues.size(); ++i)
        snapValues[i]->setText(labelValues[i]->text());
    // Fixed, but never smaller than its texts need: names and values differ
    // in length between languages and readings.
    dlgSnapshot->layout()->activate();
    dlgSnapshot->setFixedSize(dlgSnapshot->sizeHint().expandedTo(QSize(Config::pixel(350), Config::pixel(320))));
    // The panel may rebuild its blocks while the window runs (a device change
    // arrives in its event loop), deleting this block and the window: nothing
    // of the block may be touched once exec returns.
    dlgSnapshot->exec();
}
