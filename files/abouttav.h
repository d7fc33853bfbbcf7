#pragma once
// The about box: logo, name, version and a block of system information.

#include <QByteArray>
#include <QDialog>
#include <QString>

class QDialogButtonBox;
class QGridLayout;
class QLabel;
class QPushButton;

class AboutTAV : public QDialog
{
public:
    explicit AboutTAV(QWidget* parent = nullptr);

    // The information block, its lines joined by "\r\n".
    static QString systemInfo(const QString& osName, int scalePercent, unsigned usbVersion,
                              const QByteArray& deviceId, unsigned batch);

    QGridLayout* layout;
    QLabel* logo;
    QLabel* name;
    QLabel* version;
    QLabel* maker;
    QLabel* sysInfo;
    QLabel* webLine;
    QPushButton* closeButton;
    QDialogButtonBox* buttonBox;
};
