#pragma once
// The fixed-width column on the right of the main window. It stacks the
// sections of the analysis side and those of the oscilloscope mode, shows
// one set or the other by the device object's work mode, and relays the
// signals between the waveform view and the sections, so that the main
// window wires the waveform view to this one object.

#include <QString>
#include <QStringList>
#include <QVector>
#include <QWidget>

class AnalyzerManager;
class Annotations;
class AnnotationsOsc;
class ColorLump;
class MeasureView;
class MeasureViewOsc;
class ProtocolResult;
class ProtocolSetting;
class PulseMeasure;
class QLabel;
class QVBoxLayout;

class AnalyzerView : public QWidget
{
    Q_OBJECT

public:
    AnalyzerView(AnalyzerManager* manager, QWidget* parent = nullptr);

    // Switches the sections to the device object's work mode.
    void devModelChanged();
    // Shows again the logic measurements the settings select.
    void updateMeasureView();

    // The analog channels whose measurements a refresh of `chn` renews: chn
    // alone when it is one of the `count` channels, else all of them.
    static QVector<int> oscMeasureChannels(int chn, int count);

    MeasureView* getMeasureView() const { return measureView; }
    PulseMeasure* getPulseMeasure() const { return pulseMeasure; }
    Annotations* getAnnotations() const { return annotations; }
    ProtocolSetting* getProtocolSetting() const { return protocolSetting; }
    ProtocolResult* getProtocolResult() const { return protocolResult; }
    MeasureViewOsc* getMeasureViewOsc() const { return measureViewOsc; }
    AnnotationsOsc* getAnnotationsOsc() const { return annotationsOsc; }
    // The two places of the oscilloscope sections, in layout order.
    QWidget* oscMeasureHolder() const { return oscMeasureBox; }
    QWidget* oscCursorHolder() const { return oscCursorBox; }
    QLabel* fillLabel() const { return fill; }
    const QVector<ColorLump*>& separators() const { return lumps; }
    QVBoxLayout* boxLayout() const { return layout; }

signals:
    void timingMarkerPairClicked(int type, int id);
    void slotTimMarkPairChanged(int type, int phyId, QString timeData, QString timeToal);
    void pulseMeasureChanged();
    void slotPulseMeasureChangedAll(QStringList);
    void slotPulseMeasureChangedbyTimeMarker(int, QStringList);
    void slotLogMeasureChanged(QStringList);
    void voltChnChanged(int chnIndex);
    void oscCursorLabelClicked(int id, int oscType);
    void oscCursorHideClicked(int id);

public slots:
    void slotOscXyMeasureChanged(int oscType, QStringList values);
    void slotOscXyAddClicked(int index);
    void slotOscMeasureView(int chn);

private slots:
    void slotAddPairClicked(int id);
    void slotDelPairClicked(int id);
    void slotLablePairClicked(int id);
    void slotLocationPairClicked(int id);

protected:
    void paintEvent(QPaintEvent* e) override;

private:
    static QWidget* holder();

    QVBoxLayout* layout;
    // The oscilloscope measurement and cursor panels sit in these two.
    QWidget* oscMeasureBox;
    QWidget* oscCursorBox;
    MeasureViewOsc* measureViewOsc;
    AnnotationsOsc* annotationsOsc;
    MeasureView* measureView;
    PulseMeasure* pulseMeasure;
    Annotations* annotations;
    ProtocolSetting* protocolSetting;
    ProtocolResult* protocolResult;
    QLabel* fill;
    QVector<ColorLump*> lumps;
};
