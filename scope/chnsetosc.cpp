#include "scope/chnsetosc.h"

#include "core/config.h"
#include "core/lang.h"
#include "device/devbase.h"
#include "scope/osccalc.h"
#include "widgets/oscpanelkit.h"
#include "scope/smppause.h"
#include "scope/oscsetcode.h"
#include "widgets/mybutton.h"
#include "widgets/mydial.h"
#include "widgets/myswitch.h"
#include "widgets/osctabframe.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

ChnSetOsc::ChnSetOsc(int chn, QWidget* parent)
    : QFrame(parent)
    , chnIndex(chn)
    , couplingTexts({QStringLiteral("DC"), QStringLiteral("AC")})
    , probeTexts({QStringLiteral("1X"), QStringLiteral("10X")})
{
    const int px1 = Config::pixel(1);
    const QString b = QString::number(px1);
    const QString r = QString::number(4 * px1);
    setStyleSheet(OscPanelKit::frameStyle()
                  + QStringLiteral("QRadioButton{border:0;background-color:transparent;color:#f7f7f7;}"
                                   "QRadioButton::disabled{border:0;color:darkGray;}"
                                   "QLabel{background-color:transparent; border:0; color:#f7f7f7;}"
                                   "QLabel::hover{border:0;}QLabel::disabled{color:darkGray;border:0;}"
                                   "QPushButton{background-color:transparent;color:#f7f7f7;border:")
                  + b + QStringLiteral("px solid black;border-radius:") + r
                  + QStringLiteral("px;}QPushButton::hover{background-color:#7f7f7f;}"
                                   "QPushButton::pressed{background-color:#575b5f;}"
                                   "QPushButton::disabled{background-color:darkGray;}"
                                   "QLineEdit{border:0; background-color:transparent; color:#f7f7f7;}"
                                   "QLineEdit:focus{border:0; background-color:#dfdfdf;color:black;}"
                                   "QLineEdit::disabled{border:0; background-color:transparent; color:darkGray;}"));

    layout = new QGridLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setVerticalSpacing(0);
    layout->setHorizontalSpacing(Config::pixel(2));

    const OscPanelKit::Header head =
        OscPanelKit::header(this, Lang::tr(QStringLiteral("Channel")) + QLatin1Char(' ') + QString::number(chn + 1));
    tab = head.frame;
    btnDrop = head.drop;
    labTitle = head.title;
    swEna = OscPanelKit::headerSwitch(tab);
    head.layout->addWidget(swEna, 2);

    dialHolder = new QWidget(this);
    auto* dialLay = new QHBoxLayout(dialHolder);
    dialLay->setContentsMargins(0, Config::pixel(2), 0, Config::pixel(4));
    dialLay->setSpacing(0);
    dial = new MyDial(this);
    dial->setFixedWidth(Config::pixel(162));
    dial->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
    dialLay->addWidget(dial);

    settingsColumn = new QWidget(this);
    auto* colLay = new QVBoxLayout(settingsColumn);
    colLay->setContentsMargins(Config::pixel(2), Config::pixel(4), Config::pixel(4), 0);
    colLay->setSpacing(Config::pixel(3));

    labCoupling = new QLabel(Lang::tr(QStringLiteral("Coupling:")), settingsColumn);
    couplingRow = new QWidget(settingsColumn);
    groupCoupling = new QButtonGroup(this);
    for (const QString& t : couplingTexts)
        addRadio(t, groupCoupling, couplingRow, &btnCoupling);
    labProbe = new QLabel(Lang::tr(QStringLiteral("ProbeRate:")), settingsColumn);
    probeRow = new QWidget(settingsColumn);
    groupProbe = new QButtonGroup(this);
    for (const QString& t : probeTexts)
        addRadio(t, groupProbe, probeRow, &btnProbe);

    offsetBox = new QWidget(settingsColumn);
    auto* offLay = new QGridLayout(offsetBox);
    offLay->setContentsMargins(0, 0, 0, 0);
    offLay->setHorizontalSpacing(px1);
    offLay->setVerticalSpacing(0);
    labOffset = new QLabel(Lang::tr(QStringLiteral("Offset:")), offsetBox);
    editOffset = new QLineEdit(offsetBox);
    editOffset->setFixedHeight(Config::pixel(16) + 2 * px1);
    editOffset->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    editOffset->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    labUnit = new QLabel(QStringLiteral("mV"), offsetBox);
    btnReset = new QPushButton(offsetBox);
    btnReset->setToolTip(Lang::tr(QStringLiteral("Reset to Zero")));
    btnReset->setFixedSize(Config::pixel(16) + 2 * px1, Config::pixel(16) + 2 * px1);
    btnReset->setIcon(QIcon(QStringLiteral(":/res/reset")));
    btnReset->setIconSize(QSize(Config::pixel(16), Config::pixel(16)));
    offLay->addWidget(labOffset, 0, 0, 1, 3, Qt::AlignLeft);
    offLay->addWidget(editOffset, 1, 0);
    offLay->addWidget(labUnit, 1, 1, Qt::AlignBottom);
    offLay->addWidget(btnReset, 1, 2, Qt::AlignRight);

    filler = new QLabel(settingsColumn);
    filler->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    // Takes only the height left over: the offset row must never be squeezed.
    filler->setMinimumHeight(1);
    colLay->addWidget(labCoupling);
    colLay->addWidget(couplingRow);
    colLay->addWidget(labProbe);
    colLay->addWidget(probeRow);
    colLay->addWidget(offsetBox);
    colLay->addWidget(filler);

    divider = new QLabel(this);
    divider->setStyleSheet(QStringLiteral("border:1px solid #7f7f7f;"));
    divider->setFixedWidth(px1);

    layout->addWidget(tab, 0, 0, 1, 3);
    layout->addWidget(dialHolder, 1, 0);
    layout->addWidget(divider, 1, 1);
    layout->addWidget(settingsColumn, 1, 2);

    connect(btnDrop, &QPushButton::clicked, this, &ChnSetOsc::slotBtnDropClicked);
    connect(swEna, &QPushButton::clicked, this, &ChnSetOsc::slotEnaClicked);
    connect(dial, &MyDial::btnClicked, this, &ChnSetOsc::slotDivVoltChanged);
    for (QRadioButton* rb : qAsConst(btnCoupling))
        connect(rb, &QRadioButton::clicked, this, &ChnSetOsc::slotCouplingClicked);
    for (QRadioButton* rb : qAsConst(btnProbe))
        connect(rb, &QRadioButton::clicked, this, &ChnSetOsc::slotProbeRateChanged);
    connect(editOffset, &QLineEdit::editingFinished, this, &ChnSetOsc::slotChnVoltChanged);
    connect(btnReset, &QPushButton::clicked, this, &ChnSetOsc::slotResetChnPosition);

    slotBtnDropClicked();
}

QRadioButton* ChnSetOsc::addRadio(const QString& text, QButtonGroup* group, QWidget* row, QList<QRadioButton*>* list)
{
    if (!row->layout()) {
        row->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
        auto* lay = new QHBoxLayout(row);
        lay->setContentsMargins(Config::pixel(16), 0, 0, 0);
    }
    auto* rb = new QRadioButton(text, row);
    rb->setFixedHeight(Config::pixel(16));
    group->addButton(rb);
    row->layout()->addWidget(rb);
    list->append(rb);
    return rb;
}

int ChnSetOsc::shownVolts(int voltDivMv, int probeRate, QString* unit)
{
    const long long d = (long long)voltDivMv * (probeRate > 0 ? probeRate : 1);
    return OscCalc::voltShown(int(qBound(0LL, d, 1000000000LL)), unit);
}

void ChnSetOsc::slotBtnDropClicked()
{
    expanded = !expanded;
    dialHolder->setVisible(expanded);
    divider->setVisible(expanded);
    settingsColumn->setVisible(expanded);
    OscPanelKit::showExpanded(this, btnDrop, expanded, Config::pixel(156));
    emit stateChanged();
}

void ChnSetOsc::init()
{
    if (!devUsing)
        return;
    const int c = devUsing->aCoupling.value(chnIndex, 0);
    // A coupling code without a button (edited settings) leaves none checked.
    if (c >= 0 && c < btnCoupling.size())
        btnCoupling[c]->setChecked(true);
    const int p = devUsing->aProbeRate.value(chnIndex, 1);
    btnProbe[qBound(0, p / 10, btnProbe.size() - 1)]->setChecked(true);
    dial->setTextList(devUsing->getVoltDivStringList(chnIndex));
    dial->setCurrentIndex(devUsing->aVoltDivIndex.value(chnIndex, 0));
    setChnVolt();
    if (chnIndex >= 0 && chnIndex < devUsing->aChnEna.size()) {
        labTitle->setText(Lang::tr(QStringLiteral("Channel")) + QLatin1Char(' ') + QString::number(chnIndex + 1));
        setChnEnaState(devUsing->aChnEna.at(chnIndex));
    }
    show();
}

QString ChnSetOsc::offsetText(int perMille) const
{
    return QString::number(OscCalc::offsetValue(perMille, voltShown * 10.0), 'f', decimals);
}

QString ChnSetOsc::setChnVolt()
{
    if (!devUsing)
        return QString();
    QString unit;
    voltShown = shownVolts(devUsing->getAVoltDivValue(chnIndex), devUsing->aProbeRate.value(chnIndex, 1), &unit);
    labUnit->setText(unit);
    decimals = OscCalc::decimalsFor(voltShown);
    const QString text = offsetText(devUsing->aChnOffset.value(chnIndex, 0));
    editOffset->setText(text);
    return text + unit;
}

void ChnSetOsc::setChnEnaState(bool on)
{
    swEna->switchOn = on;
    swEna->update();
    labTitle->setEnabled(on);
    for (QRadioButton* rb : qAsConst(btnCoupling))
        rb->setEnabled(on);
    for (QRadioButton* rb : qAsConst(btnProbe))
        rb->setEnabled(on);
    labOffset->setEnabled(on);
    editOffset->setEnabled(on);
    labUnit->setEnabled(on);
    btnReset->setEnabled(on);
    dial->setEnabled(on);
}

void ChnSetOsc::slotEnaClicked()
{
    if (!devUsing || chnIndex < 0 || chnIndex >= devUsing->aChnEna.size())
        return;
    const bool e = !swEna->switchOn;
    QVector<bool> ena = devUsing->aChnEna;
    ena[chnIndex] = e;
    // A capture without any analog channel has nothing to convert: the last
    // enabled channel stays on.
    if (!ena.contains(true)) {
        setChnEnaState(true);
        return;
    }
    setChnEnaState(e);
    // The pause spans the view's answer too: one stop and one restart per change.
    SmpPause pause;
    devUsing->setAChnEna(ena);
    emit chnSetChanged(OscSetCode::ChnEnable, chnIndex);
}

void ChnSetOsc::slotCouplingClicked()
{
    for (int i = 0; i < btnCoupling.size(); ++i) {
        if (!btnCoupling[i]->isChecked())
            continue;
        SmpPause pause;
        if (devUsing)
            devUsing->setACoupling(chnIndex, i);
        emit chnSetChanged(OscSetCode::Coupling, chnIndex);
        return;
    }
}

void ChnSetOsc::slotProbeRateChanged()
{
    if (!devUsing)
        return;
    SmpPause pause;
    for (int i = 0; i < btnProbe.size(); ++i) {
        if (btnProbe[i]->isChecked()) {
            devUsing->setAProbeRate(chnIndex, i == 0 ? 1 : 10);
            break;
        }
    }
    dial->setTextList(devUsing->getVoltDivStringList(chnIndex));
    setChnVolt();
    emit chnSetChanged(OscSetCode::ProbeRate, chnIndex);
}

void ChnSetOsc::slotDivVoltChanged(int index)
{
    if (!devUsing)
        return;
    SmpPause pause;
    devUsing->setAVoltDivIndex(chnIndex, index);
    setChnVolt();
    emit chnSetChanged(OscSetCode::VoltDiv, chnIndex);
}

void ChnSetOsc::slotChnVoltChanged()
{
    if (OscPanelKit::finishEdit(editOffset))
        return;
    if (!devUsing)
        return;
    SmpPause pause;
    int p = devUsing->aChnOffset.value(chnIndex, 0);
    if (OscCalc::offsetPerMille(OscCalc::numberOrZero(editOffset->text()), voltShown * 10.0, &p))
        devUsing->setAChnOffset(chnIndex, p);
    editOffset->setText(offsetText(p));
    emit chnSetChanged(OscSetCode::OffsetTyped, chnIndex);
}

void ChnSetOsc::slotResetChnPosition()
{
    if (!devUsing)
        return;
    SmpPause pause;
    devUsing->setAChnOffset(chnIndex, 0);
    editOffset->setText(QString::number(0.0, 'f', decimals));
    emit chnSetChanged(OscSetCode::OffsetReset, chnIndex);
}
