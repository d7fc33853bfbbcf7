#include "analysis/annotations.h"

#include "analysis/anlymessage.h"
#include "analysis/sectionstyle.h"
#include "analysis/timingmarkerpair.h"
#include "core/config.h"
#include "core/lang.h"
#include "widgets/mybutton.h"

#include <QGridLayout>
#include <QLabel>
#include <QVBoxLayout>

Annotations::Annotations(QWidget* parent)
    : QWidget(parent)
{
    setStyleSheet(QStringLiteral("QLabel{color:#f7f7f7;}"));

    container = new QWidget(this);
    container->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    containerLayout = new QVBoxLayout(container);
    containerLayout->setContentsMargins(0, 0, 0, 0);
    containerLayout->setSpacing(Config::pixel(4));

    auto* grid = new QGridLayout(this);
    const SectionStyle::TitleBar bar = SectionStyle::titleBar(this, grid, Lang::tr("Timing Marker Pairs"),
                                                              QStringLiteral(":/res/btnAddItem"));
    btnDeploy = bar.expand;
    title = bar.title;
    btnAdd = bar.tool;
    connect(btnDeploy, &QAbstractButton::clicked, this, &Annotations::slotBtnDeployClicked);
    connect(btnAdd, &QAbstractButton::clicked, this, &Annotations::slotBtnAddClicked);
    grid->addWidget(container, 1, 0, 1, 3);

    slotBtnDeployClicked();
}

TimingMarkerPair* Annotations::row(int id) const
{
    for (TimingMarkerPair* p : pairs)
        if (p->getId() == id)
            return p;
    return nullptr;
}

int Annotations::lowestFreeId(const QVector<int>& ids)
{
    int k = 0;
    while (k < ids.size() && ids[k] == k)
        ++k;
    return k;
}

void Annotations::init()
{
    for (TimingMarkerPair* p : pairs) {
        containerLayout->removeWidget(p);
        p->hide();
        p->deleteLater();
    }
    pairs.clear();
    deployed = false;
    slotBtnDeployClicked();
}

void Annotations::insertRow(int id)
{
    auto* p = new TimingMarkerPair(id, container);
    connect(p, &TimingMarkerPair::deleteClicked, this, &Annotations::slotDeleteClicked);
    connect(p, &TimingMarkerPair::markerClicked, this, &Annotations::markerPairClicked);
    connect(p, &TimingMarkerPair::locationClicked, this, &Annotations::locationPairClicked);
    int at = 0;
    while (at < pairs.size() && pairs[at]->getId() < id)
        ++at;
    pairs.insert(at, p);
    containerLayout->insertWidget(at, p);
}

void Annotations::addTimingMarkerPair(int phyId)
{
    // Only the ten markers A1 to E2 exist; other ids would make rows past E.
    if (phyId < 0 || phyId >= 2 * maxPairs || row(phyId / 2))
        return;
    insertRow(phyId / 2);
}

void Annotations::setTimingMarkerDate(int phyId, const QString& timeData, const QString& timeToal)
{
    if (phyId < 0)
        return;
    if (TimingMarkerPair* p = row(phyId / 2))
        p->setTimeDate(phyId % 2, timeData, timeToal);
}

void Annotations::slotTimingMarkerPairChanged(int type, int phyId, QString timeData, QString timeToal)
{
    if (type == 0)
        addTimingMarkerPair(phyId);
    else if (type == 4)
        setTimingMarkerDate(phyId, timeData, timeToal);
}

void Annotations::slotBtnDeployClicked()
{
    deployed = !deployed;
    btnAdd->setVisible(deployed);
    container->setVisible(deployed);
    btnDeploy->setIcon(QIcon(SectionStyle::expandIcon(deployed)));
}

void Annotations::slotBtnAddClicked()
{
    if (pairs.size() >= maxPairs) {
        AnlyMessage::warn(this, Lang::tr("Warning"),
                          Lang::tr("Sorry, timing marker pairs has reached the maximum number."));
        return;
    }
    QVector<int> ids;
    for (TimingMarkerPair* p : pairs)
        ids.append(p->getId());
    const int id = lowestFreeId(ids);
    insertRow(id);
    emit addPairClicked(2 * id);
}

void Annotations::slotDeleteClicked(int id)
{
    TimingMarkerPair* p = row(id);
    if (!p)
        return;
    containerLayout->removeWidget(p);
    pairs.removeOne(p);
    p->hide();
    p->deleteLater();
    emit delPairClicked(2 * id);
}
