#include "analysis/timingmarkerpair.h"

#include "analysis/sectionstyle.h"
#include "core/config.h"
#include "device/devbase.h"
#include "device/smpdata.h"
#include "widgets/mybutton.h"
#include "widgets/timingmarkertip.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

TimingMarkerPair::TimingMarkerPair(int id, QWidget* parent)
    : QWidget(parent)
    , id(id)
{
    setStyleSheet(QStringLiteral("background-color:transparent;color:#f7f7f7;"));
    const QString letter(QChar('A' + id));

    btnDeploy = new MyButton(this);
    SectionStyle::expandButton(btnDeploy);
    connect(btnDeploy, &QAbstractButton::clicked, this, &TimingMarkerPair::slotBtnDeployClicked);

    auto* header = new QWidget(this);
    auto* hl = new QHBoxLayout(header);
    hl->setContentsMargins(0, 0, 0, 0);
    hl->setSpacing(Config::pixel(1));
    auto small = [header](const char* text) {
        auto* l = new QLabel(QString::fromLatin1(text), header);
        l->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
        return l;
    };
    auto marker = [header, &letter](const char* digit) {
        auto* b = new MyButton(header);
        b->setText(letter + QLatin1String(digit));
        b->setFixedSize(Config::pixel(22), Config::pixel(16));
        SectionStyle::flatButton(b);
        return b;
    };
    btnMarker1 = marker("1");
    btnMarker2 = marker("2");
    distance = new TimingMarkerTip(QStringLiteral("###"), header);
    distance->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    hl->addWidget(small("|"));
    hl->addWidget(btnMarker1);
    hl->addWidget(small("-"));
    hl->addWidget(btnMarker2);
    hl->addWidget(small("|"));
    hl->addWidget(small("="));
    hl->addWidget(distance, 1);
    connect(btnMarker1, &QAbstractButton::clicked, this, &TimingMarkerPair::slotTimingBtn1Clicked);
    connect(btnMarker2, &QAbstractButton::clicked, this, &TimingMarkerPair::slotTimingBtn2Clicked);

    btnLocation = new MyButton(this);
    SectionStyle::rowIconButton(btnLocation, QStringLiteral(":/res/icoTimingMarker"));
    connect(btnLocation, &QAbstractButton::clicked, this, &TimingMarkerPair::slotBtnLocationClicked);
    btnRemove = new MyButton(this);
    SectionStyle::rowIconButton(btnRemove, QStringLiteral(":/res/btnRemove"));
    connect(btnRemove, &QAbstractButton::clicked, this, &TimingMarkerPair::slotBtnRemoveSetClicked);

    auto* top = new QHBoxLayout();
    top->setContentsMargins(0, 0, 0, 0);
    top->setSpacing(Config::pixel(1));
    top->addWidget(btnDeploy);
    top->addWidget(header);
    top->addWidget(btnLocation);
    top->addWidget(btnRemove);

    detail = new QWidget(this);
    auto* grid = new QGridLayout(detail);
    grid->setContentsMargins(Config::pixel(16), 0, 0, 0);
    grid->setHorizontalSpacing(Config::pixel(3));
    grid->setVerticalSpacing(Config::pixel(3));
    auto timeText = [this] {
        auto* l = new QLabel(QStringLiteral("###"), detail);
        l->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        l->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
        return l;
    };
    time1 = timeText();
    time2 = timeText();
    grid->addWidget(new QLabel(letter + QLatin1Char('1'), detail), 0, 0);
    grid->addWidget(new QLabel(QStringLiteral("@"), detail), 0, 1);
    grid->addWidget(time1, 0, 2);
    grid->addWidget(new QLabel(letter + QLatin1Char('2'), detail), 1, 0);
    grid->addWidget(new QLabel(QStringLiteral("@"), detail), 1, 1);
    grid->addWidget(time2, 1, 2);

    auto* vl = new QVBoxLayout(this);
    vl->setContentsMargins(Config::pixel(3), Config::pixel(3), Config::pixel(4), Config::pixel(3));
    vl->setSpacing(Config::pixel(3));
    vl->addLayout(top);
    vl->addWidget(detail);

    slotBtnDeployClicked();
}

void TimingMarkerPair::setTimeDate(int which, const QString& timeData, const QString& timeTotal)
{
    if (which != 0 && which != 1)
        return;
    timeLabel(which)->setText(timeData);
    distance->setText(timeTotal);
}

void TimingMarkerPair::slotBtnDeployClicked()
{
    deployed = !deployed;
    detail->setVisible(deployed);
    btnDeploy->setIcon(QIcon(SectionStyle::expandIcon(deployed)));
}

void TimingMarkerPair::markerButtonClicked(int phyId)
{
    // Markers are placed on a capture; without samples there is nowhere to put them.
    auto s = devUsing ? devUsing->displayedSmpData() : nullptr;
    if (s && s->smpCount > 0)
        emit markerClicked(phyId);
}

void TimingMarkerPair::slotTimingBtn1Clicked()
{
    markerButtonClicked(2 * id);
}

void TimingMarkerPair::slotTimingBtn2Clicked()
{
    markerButtonClicked(2 * id + 1);
}

void TimingMarkerPair::slotBtnLocationClicked()
{
    if (distance->text() != QLatin1String("###"))
        emit locationClicked(2 * id);
}

void TimingMarkerPair::slotBtnRemoveSetClicked()
{
    emit deleteClicked(id);
}
