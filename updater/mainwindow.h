#pragma once

#include "core/version.h"
#include "updater/updfileentry.h"

#include <QList>
#include <QStringList>
#include <QTimer>
#include <QWidget>

#include <functional>

class QLabel;
class QNetworkAccessManager;
class QNetworkReply;
class QProgressBar;
class QVBoxLayout;

// Where a run gets its inputs; the program fills it from its environment,
// tests from a temporary tree.
struct UpdaterOptions
{
    QStringList arguments;  // index 0 the program
    QString appPath;        // folder of the updater and the main program
    QString tempPath;       // work folder for the downloads
    // Whether the main program still runs; empty means it never does.
    std::function<bool()> mainProgramRunning;
    int waitPollMs = 200;  // the main program gets waitPolls x waitPollMs to exit
    int waitPolls = 150;

    static UpdaterOptions fromApplication();
};

// The updater's only window: fetches the list of the new version's files,
// downloads and checks the newer ones, installs them and restarts the main program.
class MainWindow : public QWidget
{
    Q_OBJECT

public:
    enum ErrCode {
        ErrNone = 0,
        ErrNoMainProgram = 1,
        ErrArguments = 2,
        ErrFileList = 3,
        ErrMd5 = 4,
        ErrWrite = 5,
        ErrUnpack = 7,
        ErrDelete = 8,
    };

    explicit MainWindow(QWidget* parent = nullptr);
    explicit MainWindow(UpdaterOptions const& options, QWidget* parent = nullptr);
    ~MainWindow() override;

    void showError(int code);

    int stage() const { return stage_; }
    QString url() const { return url_; }
    QString tempPath() const { return tempPath_; }
    QString appPath() const { return appPath_; }
    QList<UpdFileEntry> const& fileList() const { return fileList_; }
    QStringList const& deleteList() const { return deleteList_; }

    static QString mainProgramName() { return QStringLiteral("VormelTAV"); }

signals:
    // The run is over: 0 after the main program was started, else the error code.
    void runEnded(int code);

public slots:
    void slotReplyfinished();
    void slotDownloadProgress(qlonglong received, qlonglong total);

protected:
    void closeEvent(QCloseEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

private:
    void setupWindow();
    void requestDownload(int index);
    void startInstall();
    void waitTick();
    void finishInstall();
    int copyToAppPath();
    int deleteOldFile();
    QString installRoot() const;

    QVBoxLayout* layout_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QLabel* message_ = nullptr;
    QNetworkAccessManager* manager_ = nullptr;
    QNetworkReply* reply_ = nullptr;
    QString url_;
    QString tempPath_;
    QString appPath_;
    Version curVersion_;
    Version newVersion_;
    int downIndex_ = -1;
    qint64 totalBytes_ = 0;
    qint64 doneBytes_ = 0;
    QList<UpdFileEntry> fileList_;
    QStringList deleteList_;
    int dpi_ = 96;
    int stage_ = 1;

    std::function<bool()> mainRunning_;
    QTimer waitTimer_;
    int waitPolls_ = 0;
    int waitLeft_ = 0;
    bool succeeded_ = false;
};
