#pragma once
// The options dialog: five program-wide preferences, stored as global
// settings keys when OK is pressed.

#include <QDialog>
#include <QVector>

#include <initializer_list>

class QButtonGroup;
class QDialogButtonBox;
class QGroupBox;
class QRadioButton;
class QTabWidget;
class QVBoxLayout;

class Options : public QDialog
{
    Q_OBJECT

public:
    explicit Options(QWidget* parent = nullptr);

    // One group of radio buttons, its buttons in the order they are shown.
    struct Choice {
        QGroupBox* group = nullptr;
        QVBoxLayout* layout = nullptr;
        QButtonGroup* buttons = nullptr;
        QVector<QRadioButton*> radios;
        bool isChecked(int i) const;
    };

    QVBoxLayout* mainLayout;
    QTabWidget* tabs;
    Choice updateCheck;    // "Enable", "Disable"
    Choice zoomAnimate;    // "Enable", "Disable"
    Choice viewState;      // keep (0), time zero (1), zoom out (2): the ViewState values
    Choice progressPlace;  // "In waveform window", "In status bar"
    Choice autoRestart;    // "Even if the trigger is not met", "Only when the trigger is met"
    QDialogButtonBox* buttonBox;

private slots:
    void saveClicked();

private:
    Choice makeChoice(const char* title, std::initializer_list<const char*> texts, int selected);
};
