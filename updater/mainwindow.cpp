#include "updater/mainwindow.h"

#include "core/lang.h"
#include "core/percent.h"
#include "updater/programwatch.h"
#include "updater/updargs.h"
#include "updater/updfilelist.h"
#include "updater/updinstaller.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDebug>
#include <QFileInfo>
#include <QGuiApplication>
#include <QIcon>
#include <QLabel>
#include <QMessageBox>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QProcess>
#include <QProgressBar>
#include <QScreen>
#include <QStandardPaths>
#include <QVBoxLayout>

UpdaterOptions UpdaterOptions::fromApplication()
{
    UpdaterOptions o;
    o.arguments = QCoreApplication::arguments();
    o.appPath = QCoreApplication::applicationDirPath();
    o.tempPath = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)
                 + QStringLiteral("/vormel/tavupd");
    const QString exe = o.appPath + QLatin1Char('/') + MainWindow::mainProgramName();
    o.mainProgramRunning = [exe] { return ProgramWatch::isRunning(exe); };
    return o;
}

MainWindow::MainWindow(QWidget* parent) : MainWindow(UpdaterOptions::fromApplication(), parent) {}

MainWindow::MainWindow(UpdaterOptions const& o, QWidget* parent) : QWidget(parent)
{
    if (QScreen* s = QGuiApplication::primaryScreen())
        dpi_ = int(s->logicalDotsPerInch());
    tempPath_ = o.tempPath;
    appPath_ = o.appPath;
    mainRunning_ = o.mainProgramRunning;
    waitTimer_.setInterval(o.waitPollMs);
    waitPolls_ = o.waitPolls;
    connect(&waitTimer_, &QTimer::timeout, this, &MainWindow::waitTick);

    const bool mainPresent = QFileInfo(appPath_ + QLatin1Char('/') + mainProgramName()).exists();
    const UpdArgs args(o.arguments);
    url_ = args.url;
    curVersion_ = args.curVersion;
    newVersion_ = args.newVersion;
    Lang::load(args.langCode);

    int error = ErrArguments;
    if (args.accepted())
        error = mainPresent ? ErrNone : ErrNoMainProgram;

    setupWindow();
    if (error != ErrNone) {
        showError(error);
        return;
    }
    message_->hide();
    startTimer(200, Qt::CoarseTimer);
}

MainWindow::~MainWindow() = default;

void MainWindow::setupWindow()
{
    QRect a(0, 0, 1024, 768);
    if (QScreen* s = QGuiApplication::primaryScreen())
        a = s->availableGeometry();
    setGeometry(a.width() / 2 - dpi_ * 180 / 96, a.height() / 2 - dpi_ / 4, dpi_ * 360 / 96, dpi_ / 2);
    setWindowTitle(QStringLiteral("VormelTAV Updater"));
    setWindowIcon(QIcon(QStringLiteral(":/res/LogoUpd.ico")));
    setWindowFlags(windowFlags() & ~(Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));

    progress_ = new QProgressBar(this);
    progress_->setTextVisible(false);
    progress_->setRange(0, 100);
    progress_->setValue(0);
    message_ = new QLabel(this);
    message_->setWordWrap(true);
    layout_ = new QVBoxLayout(this);
    layout_->addWidget(progress_);
    layout_->addWidget(message_);
}

void MainWindow::showError(int code)
{
    message_->setText(Lang::tr(QStringLiteral("An error occurred")) + QStringLiteral(": ")
                      + QString::number(code + stage_ * 256, 16));
    message_->show();
    progress_->hide();
    stage_ = 5;
    emit runEnded(code);
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    if (stage_ == 5) {
        event->accept();
        return;
    }
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Warning"),
                    Lang::tr(QStringLiteral("The update is not complete.")) + QStringLiteral("\r\n")
                        + Lang::tr(QStringLiteral("Quitting can lead to unpredictable errors.")) + QStringLiteral("\r\n")
                        + Lang::tr(QStringLiteral("Are you sure to quit?")),
                    QMessageBox::Yes | QMessageBox::No, this);
    box.setDefaultButton(QMessageBox::No);
    const int answer = box.exec();
    // The run may have ended while the question was open: after success the
    // window goes; after an error it stays with its message unless the user quits.
    if (succeeded_) {
        event->accept();
        return;
    }
    if (answer != QMessageBox::Yes) {
        event->ignore();
        return;
    }
    event->accept();
    // Abandoned: nothing more may arrive and install behind the user's back.
    waitTimer_.stop();
    if (reply_) {
        reply_->disconnect(this);
        reply_->abort();
        reply_->deleteLater();
        reply_ = nullptr;
    }
    stage_ = 5;
}

void MainWindow::timerEvent(QTimerEvent* event)
{
    killTimer(event->timerId());
    if (stage_ != 1)
        return;
    manager_ = new QNetworkAccessManager(this);
    // A secure link must not be bent to an insecure one.
    manager_->setRedirectPolicy(QNetworkRequest::ManualRedirectPolicy);
    stage_ = 2;
    downIndex_ = -1;
    requestDownload(-1);
}

void MainWindow::requestDownload(int index)
{
    const QString link = index < 0 ? url_ + QStringLiteral("/files.xml") : url_ + fileList_.at(index).path;
    reply_ = manager_->get(QNetworkRequest(QUrl(link, QUrl::TolerantMode)));
    connect(reply_, &QNetworkReply::finished, this, &MainWindow::slotReplyfinished);
    connect(reply_, &QNetworkReply::downloadProgress, this, &MainWindow::slotDownloadProgress);
}

void MainWindow::slotReplyfinished()
{
    QNetworkReply* reply = qobject_cast<QNetworkReply*>(sender());
    if (!reply || reply != reply_)
        return;
    const QByteArray body = reply->readAll();
    reply->deleteLater();
    reply_ = nullptr;

    if (downIndex_ < 0) {
        UpdFileList list(curVersion_);
        if (!list.parse(body) || !list.deletionsInside(appPath_, installRoot())) {
            showError(ErrFileList);
            return;
        }
        fileList_ = list.fileList;
        deleteList_ = list.deleteList;
        totalBytes_ = list.totalBytes;
        downIndex_ = 0;
        stage_ = 3;
    } else {
        doneBytes_ += body.size();
        const int e = UpdInstaller::saveToTempPath(tempPath_, fileList_.at(downIndex_), body);
        if (e != 0) {
            showError(e);
            return;
        }
        ++downIndex_;
    }
    while (downIndex_ < fileList_.size()) {
        if (fileList_.at(downIndex_).ver > curVersion_) {
            requestDownload(downIndex_);
            return;
        }
        ++downIndex_;
    }
    startInstall();
}

void MainWindow::slotDownloadProgress(qlonglong received, qlonglong /*total*/)
{
    if (downIndex_ < 0 || totalBytes_ < 1)
        return;
    progress_->setValue(percentOf(received + doneBytes_, totalBytes_));
}

void MainWindow::startInstall()
{
    // The main program closes itself right after starting us; give it time
    // to be gone before its files are replaced.
    if (mainRunning_ && mainRunning_()) {
        waitLeft_ = waitPolls_;
        waitTimer_.start();
        return;
    }
    finishInstall();
}

void MainWindow::waitTick()
{
    if (stage_ != 3) {
        waitTimer_.stop();
        return;
    }
    if (--waitLeft_ > 0 && mainRunning_())
        return;
    waitTimer_.stop();
    finishInstall();
}

void MainWindow::finishInstall()
{
    int e = copyToAppPath();
    if (e == ErrNone)
        e = deleteOldFile();
    if (e != ErrNone) {
        showError(e);
        return;
    }
    stage_ = 5;
    succeeded_ = true;
    close();
    QProcess::startDetached(appPath_ + QLatin1Char('/') + mainProgramName(), QStringList());
    emit runEnded(ErrNone);
}

QString MainWindow::installRoot() const
{
    return appPath_ + QStringLiteral("/..");
}

int MainWindow::copyToAppPath()
{
    if (fileList_.isEmpty())
        return ErrNone;
    QString why;
    const int e = UpdInstaller::installArchive(tempPath_ + fileList_.first().path, installRoot(), &why);
    if (e != ErrNone)
        qWarning().noquote() << "Updater: archive not installed:" << why;
    return e;
}

int MainWindow::deleteOldFile()
{
    return UpdInstaller::deleteOldFile(appPath_, deleteList_, installRoot());
}
