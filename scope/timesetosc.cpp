#include "scope/timesetosc.h"

#include "core/config.h"
#include "core/lang.h"
#include "device/devbase.h"
#include "scope/osccalc.h"
#include "widgets/oscpanelkit.h"
#include "scope/smppause.h"
#include "scope/oscsetcode.h"
#include "widgets/mybutton.h"
#include "widgets/mydial.h"
#include "widgets/osctabframe.h"

#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStringList>
#include <QVBoxLayout>

TimeSetOsc::TimeSetOsc(QWidget* parent) : QFrame(parent)
{
    const int px1 = Config::pixel(1);
    auto* lay = OscPanelKit::column(
        this,
        QStringLiteral("QLabel{background-color:transparent; border:0; color:#f7f7f7;}"
                       "QLabel::hover{border:0;}"
                       "QPushButton{background-color:transparent;color:#f7f7f7;border:")
            + QString::number(px1) + QStringLiteral("px solid black;border-radius:") + QString::number(4 * px1)
            + QStringLiteral("px;}QPushButton::hover{background-color:#7f7f7f;}"
                             "QPushButton::pressed{background-color:#575b5f;}"
                             "QLineEdit{border:0; background-color:transparent; color:#f7f7f7;}"
                             "QLineEdit:focus{border:0; background-color:#dfdfdf;color:black;}"),
        px1);

    const OscPanelKit::Header head = OscPanelKit::header(this, Lang::tr(QStringLiteral("Timebase")));
    tab = head.frame;
    btnDrop = head.drop;
    labTitle = head.title;
    QHBoxLayout* tabLay = head.layout;
    auto* space = new QLabel(tab);
    space->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    editTime = new QLineEdit(tab);
    editTime->setToolTip(Lang::tr(QStringLiteral("Horizontal trigger time")));
    editTime->setFixedWidth(Config::pixel(80));
    editTime->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    labUnit = new QLabel(tab);
    btnReset = new QPushButton(tab);
    btnReset->setToolTip(Lang::tr(QStringLiteral("Reset to zero")));
    btnReset->setFixedSize(Config::pixel(16) + 2 * px1, Config::pixel(16) + 2 * px1);
    btnReset->setIcon(QIcon(QStringLiteral(":/res/reset")));
    btnReset->setIconSize(QSize(Config::pixel(16), Config::pixel(16)));
    tabLay->addWidget(space);
    tabLay->addWidget(editTime);
    tabLay->addWidget(labUnit);
    tabLay->addWidget(btnReset);

    dialHolder = new QWidget(this);
    auto* dialLay = new QHBoxLayout(dialHolder);
    dialLay->setContentsMargins(0, Config::pixel(2), 0, Config::pixel(4));
    dialLay->setSpacing(0);
    dial = new MyDial(this);
    dial->setFixedWidth(Config::pixel(180));
    dial->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
    dialLay->addWidget(dial);

    lay->addWidget(tab);
    lay->addWidget(dialHolder, 0, Qt::AlignHCenter);

    connect(btnDrop, &QPushButton::clicked, this, &TimeSetOsc::slotBtnDropClicked);
    connect(editTime, &QLineEdit::editingFinished, this, &TimeSetOsc::slotTrgTimeEdit);
    connect(btnReset, &QPushButton::clicked, this, &TimeSetOsc::slotResetClicked);
    connect(dial, &MyDial::btnClicked, this, &TimeSetOsc::slotDivChanged);

    slotBtnDropClicked();
}

QString TimeSetOsc::timeDivText(qint64 ns)
{
    int k = 0;
    const qint64 v = OscCalc::timeShown(ns, &k);
    return QString::number(v) + OscCalc::timeUnit(k);
}

void TimeSetOsc::slotBtnDropClicked()
{
    expanded = !expanded;
    dial->setVisible(expanded);
    OscPanelKit::showExpanded(this, btnDrop, expanded, Config::pixel(174));
    emit stateChanged();
}

void TimeSetOsc::init()
{
    if (!devUsing)
        return;
    QStringList texts;
    for (qint64 ns : qAsConst(devUsing->timeDivList))
        texts << timeDivText(ns);
    dial->setTextList(texts);
    dial->setCurrentIndex(devUsing->timeDivIndex);
    setTrgTime();
    show();
}

QString TimeSetOsc::trgTimeText(int percent) const
{
    return QString::number(OscCalc::trgTimeFromPercent(percent, screenTime()), 'f', decimals);
}

QString TimeSetOsc::setTrgTime()
{
    if (!devUsing)
        return QString();
    int k = 0;
    timeShown = OscCalc::timeShown(devUsing->timeDivList.value(devUsing->timeDivIndex, 0), &k);
    labUnit->setText(OscCalc::timeUnit(k) + QStringLiteral("  "));
    decimals = OscCalc::decimalsFor(timeShown);
    const QString text = trgTimeText(devUsing->aTrgPercent);
    editTime->setText(text);
    return text + OscCalc::timeUnit(k);
}

bool TimeSetOsc::setTimeDiv(int delta)
{
    if (!devUsing)
        return false;
    const int i = dial->currentIndex() + (delta < 0 ? 1 : -1);
    if (i < 0 || i >= devUsing->timeDivList.size())
        return false;
    dial->setCurrentIndex(i);
    {
        SmpPause pause;
        devUsing->setATimeDivIndex(i);
    }
    setTrgTime();
    return true;
}

void TimeSetOsc::slotDivChanged(int index)
{
    if (!devUsing)
        return;
    // The pause spans the view's answer too: one stop and one restart per change.
    SmpPause pause;
    devUsing->setATimeDivIndex(index);
    setTrgTime();
    emit timeSetChanged(OscSetCode::TimeDiv);
}

void TimeSetOsc::applyTrgPercent(int percent)
{
    SmpPause pause;
    devUsing->setATrgPercent(percent);
    emit timeSetChanged(OscSetCode::TrgTime);
}

void TimeSetOsc::slotTrgTimeEdit()
{
    if (OscPanelKit::finishEdit(editTime))
        return;
    if (!devUsing)
        return;
    int p = devUsing->aTrgPercent;
    // Without a time base (empty list) the entry cannot be placed.
    OscCalc::trgPercentFromTime(OscCalc::numberOrZero(editTime->text()), screenTime(), &p);
    editTime->setText(trgTimeText(p));
    if (p != devUsing->aTrgPercent)
        applyTrgPercent(p);
}

void TimeSetOsc::slotResetClicked()
{
    if (!devUsing || OscCalc::numberOrZero(editTime->text()) == 0)
        return;
    editTime->setText(QString::number(0.0, 'f', decimals));
    applyTrgPercent(500);
}
