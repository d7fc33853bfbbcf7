#pragma once
// The update dialog: the waiting state, the result of a check, and the start
// of the Updater when the user accepts an automatic update.

#include "core/version.h"

#include <QDialog>
#include <QString>
#include <QStringList>

#include <functional>

class QDialogButtonBox;
class QLabel;
class QPushButton;
class QVBoxLayout;

// Outcome of an update check.
enum UpdateCheckResult { UpdateAuto = 0, UpdateManual = 1, UpdateNone = 2, UpdateFailed = 3 };

class UpdateDialog : public QDialog
{
public:
    explicit UpdateDialog(QWidget* parent = nullptr);

    void setRequest();
    void setResult(int result, const QString& lastVersion, const QString& downloadLink,
                   const QString& updaterLink);
    // Starts the Updater; reachable only while "OK" is shown (result 0).
    void accept() override;

    // A link shown in a label: escaped, and clickable only for http and https.
    static QString linkHtml(const QString& link);

    Version newVersion;
    QString downloadLink;
    QString updaterLink;

    QVBoxLayout* layout;
    QLabel* labelHead;
    QLabel* labelMsg;
    QLabel* labelLink;
    QLabel* labelLog;
    QDialogButtonBox* buttonBox;
    QPushButton* buttonOk;
    QPushButton* buttonCancel;

    // The Updater beside the program, and how it is started and the program
    // closed; tests point them elsewhere.
    QString updaterProgram;
    std::function<bool(const QString&, const QStringList&)> startDetached;
    std::function<void()> closeAllWindows;

private:
    void showTexts(const QString& head, const QString& msg, const QString& link, bool okShown);
};
