// Round trips of "get-sample-rate" through the command server on loopback:
// the server runs its own event loop in a thread, the client is a plain
// blocking socket. Reports the median and the 99th percentile of single
// round trips over 1000 sequential commands, and memcpy's bandwidth as the
// machine's yardstick.
#include "core/config.h"
#include "device/devbase.h"
#include "files/socketapi.h"

#include "common/benchmain.h"
#include "common/memcpybaseline.h"

#include <QCoreApplication>
#include <QSemaphore>
#include <QTcpServer>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <string>
#include <vector>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

bool smoke = false;

// The program's side: device object and server, living in this thread.
class ServerThread : public QThread
{
public:
    QSemaphore ready;
    std::atomic<int> port{0};
    std::string expected;

protected:
    void run() override
    {
        DevBase* dev = DevBase::createDevice(0);
        devUsing = dev;
        expected = "ACK " + std::to_string(dev->getSmpFrequ());
        {
            SocketAPI api;
            if (api.open(0, QHostAddress::LocalHost))
                port = api.findChild<QTcpServer*>()->serverPort();
            ready.release();
            exec();
        }
        devUsing = nullptr;
        delete dev;
    }
};

ServerThread* server = nullptr;

int connectClient()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0)
        return -1;
    const int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(quint16(server->port.load()));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// One command and its whole reply; false on any error or a wrong reply.
bool roundTrip(int fd, const std::string& expected)
{
    static const char cmd[] = "get-sample-rate";
    if (::send(fd, cmd, sizeof cmd - 1, 0) != ssize_t(sizeof cmd - 1))
        return false;
    std::string got;
    char buf[256];
    while (got.size() < expected.size()) {
        const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
        if (n <= 0)
            return false;
        got.append(buf, size_t(n));
    }
    return got == expected;
}

void BM_GetSampleRate(benchmark::State& state)
{
    const int trips = smoke ? 50 : 1000;
    const int fd = connectClient();
    if (fd < 0) {
        state.SkipWithError("cannot connect");
        return;
    }
    std::vector<double> us;
    us.reserve(size_t(trips));
    for (auto _ : state) {
        us.clear();
        for (int i = 0; i < trips; ++i) {
            const auto t0 = std::chrono::steady_clock::now();
            if (!roundTrip(fd, server->expected)) {
                state.SkipWithError("wrong reply");
                break;
            }
            us.push_back(std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - t0).count());
        }
    }
    ::close(fd);
    if (us.empty())
        return;
    std::sort(us.begin(), us.end());
    state.counters["median_us"] = us[us.size() / 2];
    state.counters["p99_us"] = us[std::min(us.size() - 1, size_t(double(us.size()) * 0.99))];
    state.counters["max_us"] = us.back();
    state.counters["memcpy_GBps"] = tavbench::memcpyBandwidth(size_t(64) << 20, 5) / 1e9;
}
BENCHMARK(BM_GetSampleRate)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1)->Repetitions(5);

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    Config::cfgDoc.setContent(Config::defaultDocument());
    ServerThread t;
    server = &t;
    t.start();
    t.ready.acquire();
    const int rc = tavbench::runMain(argc, argv, &smoke);
    t.quit();
    t.wait();
    return rc;
}
