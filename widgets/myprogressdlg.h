#pragma once

#include <QDialog>

class QLabel;
class QProgressBar;
class QPushButton;

// Application-modal progress dialog: a bar, a message and one button.
class MyProgressDlg : public QDialog
{
    Q_OBJECT
public:
    MyProgressDlg(const QString& title, const QString& buttonText, QWidget* parent = nullptr);

    void setButtonShow(bool show);
    int value() const;

    QLabel* labelMsg;
    // false: the button only emits rejected() so its user can stop work first.
    bool closeByButton = true;
    // true: a value of 100 or more accepts (closes) the dialog.
    bool closeOnFull = false;

public slots:
    void setValue(int v);

private slots:
    void slotButtonClicked();

private:
    QProgressBar* bar;
    QLabel* spacer;
    QPushButton* button;
};
