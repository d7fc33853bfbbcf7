#pragma once
// The settings dialog of one analyzer, built from the setting interfaces its
// settings object publishes: one row per setting, a widget by its kind. OK
// writes the widgets back, lets the settings apply and check them, and hands
// the analyzer to the host: a new one is added, an edited one whose settings
// changed is stored and decodes again.
//
// A new analyzer belongs to the dialog until the host takes it; a dialog
// closed without adding it frees it.

#include <QDialog>
#include <QStringList>
#include <QVector>

class Analyzer;
class AnalyzerManager;
class AnalyzerSettings;
class QCheckBox;
class QComboBox;
class QDialogButtonBox;
class QGridLayout;
class QLabel;
class QLineEdit;

class ProtocolEdit : public QDialog
{
    Q_OBJECT

public:
    // edit: index is the analyzer's place among those in use; otherwise the
    // place of a plug-in, of which a new analyzer is made.
    ProtocolEdit(bool edit, AnalyzerManager* manager, int index, QWidget* parent = nullptr);
    ~ProtocolEdit() override;

    Analyzer* analyzerObject() const { return analyzer; }
    QVector<QLabel*> const& titleLabels() const { return labels; }
    QVector<QComboBox*> const& channelBoxes() const { return chnBoxes; }
    QVector<QComboBox*> const& listBoxes() const { return numBoxes; }
    QVector<QLineEdit*> const& integerFields() const { return intFields; }
    QVector<QLineEdit*> const& textFields() const { return textEdits; }
    QVector<QCheckBox*> const& checkBoxes() const { return boolBoxes; }
    QDialogButtonBox* buttonBox() const { return buttons; }
    QGridLayout* grid() const { return layout; }

private slots:
    void saveClicked();

private:
    void addChannelNameLabel(int row, QString const& title);
    void addComponentLabel(int row, QString const& title);
    void addComponentChannel(int k, int row, quint32 current, bool noneAllowed, QString const& tip);
    void addComponentNumList(int row, QStringList const& texts, int selected, QString const& tip);
    void addComponentInteger(int row, int value, int min, int max, QString const& tip);
    void addComponentText(int row, QString const& text, QString const& tip);
    void addComponentBool(int row, bool value, QString const& text, QString const& tip);
    void placeField(QWidget* w, int row, QString const& tip);
    QString trAnly(const char* text) const;

    int inUse = -1;
    int pluginIndex = -1;
    bool owned = false;   // a new analyzer the host has not taken
    QString analyzerName;
    AnalyzerManager* host;
    Analyzer* analyzer = nullptr;
    AnalyzerSettings* settings = nullptr;
    QVector<int> intMax;
    QVector<int> intMin;
    QStringList chnChoices;
    QStringList chnUses;
    QVector<QLabel*> labels;
    QVector<QComboBox*> chnBoxes;
    QVector<QComboBox*> numBoxes;
    QVector<QLineEdit*> intFields;
    QVector<QLineEdit*> textEdits;
    QVector<QCheckBox*> boolBoxes;
    QDialogButtonBox* buttons;
    QGridLayout* layout;
};
