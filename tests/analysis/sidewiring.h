#pragma once
// The side panel beside the waveform area, wired and placed as the main
// window wires and places them.

#include "analysis/analyzerview.h"
#include "analysis/annotations.h"
#include "analysis/pulsemeasure.h"
#include "analysis/timingmarkerpair.h"
#include "waveview/itemchnsidebar.h"
#include "waveview/mainview.h"
#include "waveview/waveview.h"
#include "widgets/mybutton.h"

#include <QAbstractButton>
#include <QGridLayout>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QScrollArea>
#include <QTimer>
#include <QWidgetAction>
#include <QtTest>

namespace SideTest {

inline void wire(MainView* mv, AnalyzerView* av)
{
    QObject::connect(mv, &MainView::timMarkPairChanged, av, &AnalyzerView::slotTimMarkPairChanged);
    QObject::connect(mv, &MainView::pulseMeasureChangedbySmpDone, av, &AnalyzerView::slotPulseMeasureChangedAll);
    QObject::connect(mv, &MainView::pulseMeasureChangedbyTimeMarker, av,
                     &AnalyzerView::slotPulseMeasureChangedbyTimeMarker);
    QObject::connect(mv, &MainView::logMeasureChanged, av, &AnalyzerView::slotLogMeasureChanged);
    QObject::connect(mv, &MainView::oscXyMeasureChanged, av, &AnalyzerView::slotOscXyMeasureChanged);
    QObject::connect(mv, &MainView::oscXyShortAddClicked, av, &AnalyzerView::slotOscXyAddClicked);
    QObject::connect(mv, &MainView::oscChnMeasureChanged, av, &AnalyzerView::slotOscMeasureView);
    QObject::connect(av, &AnalyzerView::timingMarkerPairClicked, mv, &MainView::slotTimingMarkerPairClicked);
    QObject::connect(av, &AnalyzerView::pulseMeasureChanged, mv, &MainView::slotPulseMeasureInfoChanged);
    QObject::connect(av, &AnalyzerView::voltChnChanged, mv, &MainView::slotVoltAChnChanged);
    QObject::connect(av, &AnalyzerView::oscCursorLabelClicked, mv, &MainView::slotXyBtnClicked);
    QObject::connect(av, &AnalyzerView::oscCursorHideClicked, mv, &MainView::slotXyHideClicked);
}

// The right-hand column of the window's grid: a scroll area 240 wide.
inline QScrollArea* place(QWidget* window, AnalyzerView* av)
{
    auto* area = new QScrollArea();
    area->setWidget(av);
    area->setWidgetResizable(true);
    area->setStyleSheet(QStringLiteral("QScrollArea{border:0;}"));
    area->setFixedWidth(240);
    area->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    area->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    static_cast<QGridLayout*>(window->layout())->addWidget(area, 1, 2, 3, 1);
    return area;
}

// Clicks a selector button and, in the menu it opens, the entry with data
// `value`; a menu the click leaves open (a disabled entry) is closed.
// Returns the entries' enabled states as the menu showed them.
inline QVector<bool> pick(QAbstractButton* button, QMenu* menu, int value)
{
    QVector<bool> enabled;
    QTimer::singleShot(0, menu, [menu, value, &enabled] {
        for (QAction* a : menu->actions())
            enabled.append(a->isEnabled());
        for (QAction* a : menu->actions())
            if (a->data().toInt() == value)
                QTest::mouseClick(static_cast<QWidgetAction*>(a)->defaultWidget(), Qt::LeftButton);
        if (menu->isVisible())
            menu->close();
    });
    QTest::mouseClick(button, Qt::LeftButton);
    return enabled;
}

// What the counters show, in row order.
inline QStringList counts(const PulseMeasure* pm)
{
    QStringList out;
    for (int i = 0; i < pm->counters().size(); ++i)
        out << pm->countLabel(i)->text();
    return out;
}

// Sets marker `id` following the mouse from its button in the panel, moves
// the mouse to view x over channel 1 and drops it there with a click.
inline void placeMarker(MainView* mv, Annotations* an, int id, int x)
{
    QTest::mouseClick(an->row(id / 2)->markerButton(id % 2), Qt::LeftButton);
    QWidget* vp = mv->getWaveView()->viewport();
    const QPoint p(x, mv->getChnSidebars()[1]->y() + 20);
    QMouseEvent move(QEvent::MouseMove, p, vp->mapToGlobal(p), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(vp, &move);
    QTest::mouseClick(vp, Qt::LeftButton, {}, p);
}

} // namespace SideTest
