#include "app/signalcloser.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QWidget>

#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

int SignalCloser::fds[2] = {-1, -1};

SignalCloser::SignalCloser(QObject* parent)
    : QObject(parent)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0)
        return;
    ::fcntl(fds[0], F_SETFL, O_NONBLOCK);
    ::fcntl(fds[1], F_SETFL, O_NONBLOCK);
    notifier = new QSocketNotifier(fds[1], QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, &SignalCloser::onSignal);
    struct sigaction sa = {};
    sa.sa_handler = &SignalCloser::handler;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGHUP, &sa, nullptr);
}

SignalCloser::~SignalCloser()
{
    signal(SIGTERM, SIG_DFL);
    signal(SIGINT, SIG_DFL);
    signal(SIGHUP, SIG_DFL);
    if (fds[0] >= 0) {
        ::close(fds[0]);
        ::close(fds[1]);
        fds[0] = fds[1] = -1;
    }
}

void SignalCloser::handler(int)
{
    const char c = 1;
    if (fds[0] >= 0) {
        const ssize_t n = ::write(fds[0], &c, 1);
        (void)n;
    }
}

void SignalCloser::onSignal()
{
    char buf[16];
    while (::read(fds[1], buf, sizeof buf) > 0) {
    }
    if (window)
        window->close();
    else
        QCoreApplication::quit();
}
