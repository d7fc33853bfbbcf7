#include "analysis/analyzerview.h"

#include "analysis/annotations.h"
#include "analysis/measureview.h"
#include "analysis/protocolresult.h"
#include "analysis/protocolsetting.h"
#include "analysis/pulsemeasure.h"
#include "core/config.h"
#include "device/devbase.h"
#include "scope/annotationsosc.h"
#include "scope/measureviewosc.h"
#include "widgets/colorlump.h"

#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>

AnalyzerView::AnalyzerView(AnalyzerManager* manager, QWidget* parent)
    : QWidget(parent)
{
    setFixedWidth(Config::pixel(240));
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);

    oscMeasureBox = holder();
    oscCursorBox = holder();
    measureViewOsc = new MeasureViewOsc(nullptr);
    oscMeasureBox->layout()->addWidget(measureViewOsc);
    annotationsOsc = new AnnotationsOsc(nullptr);
    oscCursorBox->layout()->addWidget(annotationsOsc);
    connect(annotationsOsc, &AnnotationsOsc::labelClicked, this, &AnalyzerView::oscCursorLabelClicked);
    connect(annotationsOsc, &AnnotationsOsc::hideClicked, this, &AnalyzerView::oscCursorHideClicked);
    connect(annotationsOsc, &AnnotationsOsc::chnChanged, this, &AnalyzerView::voltChnChanged);

    measureView = new MeasureView();
    connect(this, &AnalyzerView::slotLogMeasureChanged, measureView, &MeasureView::slotValueChanged);

    pulseMeasure = new PulseMeasure();
    connect(pulseMeasure, &PulseMeasure::setChanged, this, &AnalyzerView::pulseMeasureChanged);
    connect(this, &AnalyzerView::slotPulseMeasureChangedAll, pulseMeasure, &PulseMeasure::slotValueChanged);
    connect(this, &AnalyzerView::slotPulseMeasureChangedbyTimeMarker, pulseMeasure,
            &PulseMeasure::slotValueChangedbyTimeMarker);

    annotations = new Annotations();
    connect(annotations, &Annotations::addPairClicked, this, &AnalyzerView::slotAddPairClicked);
    connect(annotations, &Annotations::delPairClicked, this, &AnalyzerView::slotDelPairClicked);
    connect(annotations, &Annotations::markerPairClicked, this, &AnalyzerView::slotLablePairClicked);
    connect(annotations, &Annotations::locationPairClicked, this, &AnalyzerView::slotLocationPairClicked);
    connect(this, &AnalyzerView::slotTimMarkPairChanged, annotations, &Annotations::slotTimingMarkerPairChanged);

    protocolSetting = new ProtocolSetting(manager);
    protocolResult = new ProtocolResult(manager);

    fill = new QLabel();

    layout = new QVBoxLayout(this);
    const int m = Config::pixel(6);
    layout->setContentsMargins(m, m, m, m);
    layout->setSpacing(m);
    for (QWidget* w : {oscMeasureBox, oscCursorBox, static_cast<QWidget*>(measureView),
                       static_cast<QWidget*>(pulseMeasure), static_cast<QWidget*>(annotations),
                       static_cast<QWidget*>(protocolSetting), static_cast<QWidget*>(protocolResult),
                       static_cast<QWidget*>(fill)})
        layout->addWidget(w);
    // A separator between each two sections; none before the filling label.
    const int n = layout->count();
    for (int k = 0; k <= n - 3; ++k) {
        auto* lump = new ColorLump(Config::grayColor[5], Config::pixel(2), 0, 0);
        layout->insertWidget(1 + 2 * k, lump);
        lumps.append(lump);
    }
}

QWidget* AnalyzerView::holder()
{
    auto* w = new QWidget();
    auto* l = new QVBoxLayout(w);
    l->setContentsMargins(0, 0, 0, 0);
    l->setSpacing(0);
    return w;
}

void AnalyzerView::devModelChanged()
{
    const bool logic = devUsing && devUsing->workMode == WorkModeLogic;
    if (logic) {
        pulseMeasure->init();
        annotations->init();
        protocolSetting->devModelChanged();
        layout->setStretch(layout->count() - 2, 1);
    } else {
        layout->setStretch(layout->count() - 1, 1);
    }
    for (QWidget* w : {static_cast<QWidget*>(measureView), static_cast<QWidget*>(pulseMeasure), static_cast<QWidget*>(annotations),
                       static_cast<QWidget*>(protocolSetting), static_cast<QWidget*>(protocolResult)})
        w->setVisible(logic);
    for (QWidget* w : {oscMeasureBox, oscCursorBox, static_cast<QWidget*>(fill)})
        w->setVisible(!logic);
    for (int k = 0; k < lumps.size(); ++k)
        lumps[k]->setVisible(k < 2 ? !logic : logic);
    // The oscilloscope panels are built for a device only in its own mode.
    const bool osc = devUsing && devUsing->workMode != WorkModeLogic;
    if (osc) {
        measureViewOsc->init();
        annotationsOsc->init();
    }
    measureViewOsc->setVisible(osc);
    annotationsOsc->setVisible(osc);
}

void AnalyzerView::updateMeasureView()
{
    measureView->initMenuTriggered();
}

QVector<int> AnalyzerView::oscMeasureChannels(int chn, int count)
{
    if (chn >= 0 && chn < count)
        return {chn};
    QVector<int> all;
    for (int i = 0; i < count; ++i)
        all.append(i);
    return all;
}

void AnalyzerView::slotOscXyMeasureChanged(int oscType, QStringList values)
{
    annotationsOsc->setValue(oscType, values);
}

void AnalyzerView::slotOscXyAddClicked(int index)
{
    annotationsOsc->setItemEna(index);
}

void AnalyzerView::slotOscMeasureView(int chn)
{
    if (!devUsing)
        return;
    // The device may have more channels than the blocks of the last init
    // (a model change not yet followed by devModelChanged).
    for (int i : oscMeasureChannels(chn, devUsing->aChnEna.size()))
        if (i < measureViewOsc->blockCount())
            measureViewOsc->updateMeasureParameter(i);
}

void AnalyzerView::slotAddPairClicked(int id)
{
    emit timingMarkerPairClicked(0, id);
}

void AnalyzerView::slotDelPairClicked(int id)
{
    emit timingMarkerPairClicked(1, id);
}

void AnalyzerView::slotLablePairClicked(int id)
{
    emit timingMarkerPairClicked(2, id);
}

void AnalyzerView::slotLocationPairClicked(int id)
{
    emit timingMarkerPairClicked(3, id);
}

void AnalyzerView::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), Config::grayColor[7]);
    const QColor edge = Config::grayColor[9];
    const int q = Config::pixel(1);
    p.fillRect(0, 0, width(), q, edge);
    p.fillRect(0, height() - q, width(), q, edge);
    p.fillRect(0, 0, q, height(), edge);
    p.fillRect(width() - q, 0, q, height(), edge);
}
