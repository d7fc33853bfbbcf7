#include "device/devinit.h"

#include "core/percent.h"
#include "device/devsupport.h"
#include "device/firmware.h"
#include "device/usbrequests.h"

#include <QFile>
#include <QMetaObject>
#include <QSemaphore>

#include <algorithm>
#include <cstring>
#include <memory>

DevInit* devInit = nullptr;
unsigned char DevInit::devIdent[DevIdentSize] = {};
std::atomic<int> ThrDevAttach::waitStepMs{200};
std::atomic<int> DevInit::threadEndTimeoutMs{5000};

namespace {

constexpr int RamChunk = 1024;
constexpr int FpgaBlock = 4096;

const uint16_t acceptedProducts[10] = {0x01A1, 0x01A2, 0x01A3, 0x01A4, 0x02A1,
                                       0x02A2, 0x02A3, 0x03A1, 0x03A2, 0x03A3};

// Sample and PWM clocks in MHz per model: each divides every rate the model offers.
void identForModel(int model, unsigned char* ident)
{
    int smp = 1000;
    int pwm = 200;
    switch (model) {
    case DevModel2113: smp = 48; pwm = 240; break;
    case DevModel6127: smp = 500; pwm = 250; break;
    case DevModel2121A: smp = 800; break;
    default: break;
    }
    if (model == DevModel2113) {
        ident[DevIdentSmpClock] = static_cast<unsigned char>(smp);
        ident[DevIdentSmpClock + 1] = 0;
    } else {
        ident[DevIdentSmpClock] = static_cast<unsigned char>(smp);
        ident[DevIdentSmpClock + 1] = static_cast<unsigned char>(smp >> 8);
    }
    ident[DevIdentPwmClock] = static_cast<unsigned char>(pwm);
    ident[DevIdentPwmClock + 1] = static_cast<unsigned char>(pwm >> 8);
}

// Sleeps ms in short slices; false when abort was set meanwhile.
bool sleepUnlessAborted(int ms, const std::atomic<bool>& abort)
{
    while (ms > 0) {
        if (abort)
            return false;
        const int step = std::min(ms, 20);
        QThread::msleep(unsigned(step));
        ms -= step;
    }
    return !abort;
}

bool readResource(const QString& name, QByteArray* out)
{
    if (name.isEmpty())
        return false;
    QFile f(name);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    *out = f.readAll();
    return !out->isEmpty();
}

// A short answer leaves bytes unread: count it as a failed transfer.
int ctrlReadAll(unsigned char req, unsigned short value, unsigned char* buf, int len)
{
    if (!devSupport)
        return 1;
    int done = 0;
    const int r = devSupport->ctrlRead(req, value, buf, len, &done);
    if (r != 0)
        return r;
    return done < len ? 2 : 0;
}

// Waits, bounded, for t to end; false (logged) when it still runs.
bool joinThread(StartupThread* t)
{
    if (!t || t->join(unsigned(DevInit::threadEndTimeoutMs.load())))
        return true;
    qWarning("VormelTAV: a device start-up thread did not end in time");
    return false;
}

} // namespace

// ---------------------------------------------------------------- DevInit

DevInit::DevInit()
{
    thrDevAttach = new ThrDevAttach(this);
    thrRenumDone = new ThrRenumDone(this);
}

DevInit::~DevInit()
{
    thrDevAttach->abort = true;
    thrRenumDone->abort = true;
    // A running thread is never deleted: one stuck in a transfer is left
    // behind, and touches nothing of ours once it returns (it checks abort).
    if (joinThread(thrDevAttach))
        delete thrDevAttach;
    if (joinThread(thrRenumDone))
        delete thrRenumDone;
}

bool DevInit::isAcceptedProduct(uint16_t pid)
{
    return std::find(std::begin(acceptedProducts), std::end(acceptedProducts), pid) != std::end(acceptedProducts);
}

QString DevInit::usbFirmwareResource(uint16_t pid)
{
    switch (pid) {
    case 0x01A1: return QStringLiteral(":/fwusb/fw01A1");
    case 0x01A2: return QStringLiteral(":/fwusb/fw01A2");
    case 0x01A3: return QStringLiteral(":/fwusb/fw01A3");
    case 0x01A4: return QStringLiteral(":/fwusb/fw01A4");
    case 0x03A1: return QStringLiteral(":/fwusb/fw03A1");
    default: return QString();
    }
}

QString DevInit::fpgaResource(int model, int rev)
{
    const QString r = QString::number(rev);
    switch (model) {
    case DevModel2127: return QStringLiteral(":/fwfpga/VX2127");
    case DevModel3127: return QStringLiteral(":/fwfpga/VX3127");
    case DevModel6127: return QStringLiteral(":/fwfpga/VX6127");
    case DevModel2121A: return QStringLiteral(":/fwfpga/VX2121A") + r;
    case DevModel2127A: return QStringLiteral(":/fwfpga/VX2127A") + r;
    case DevModel3127A: return QStringLiteral(":/fwfpga/VX3127A") + r;
    case DevModel6127A: return QStringLiteral(":/fwfpga/VX6127A") + r;
    case DevModel6143A: return QStringLiteral(":/fwfpga/VX6143A") + r;
    case DevModel7329: return QStringLiteral(":/fwfpga/VQ7329");
    case DevModel9151: return QStringLiteral(":/fwfpga/VX6127A") + r;
    default: return QString();
    }
}

bool DevInit::decodeModelRecord(const unsigned char rec[8], uint16_t pid, int* model, int* rev, double* vref)
{
    int m = 0, v = 0;
    double u = 1.2;
    if (pid == 0x01A1) {
        m = DevModel6127;
    } else {
        int code = 0;
        if ((rec[0] ^ rec[1]) == 0xFF)
            code = rec[0];
        else if ((rec[4] ^ rec[5]) == 0xFF)
            code = rec[4];
        const bool sub1 = (rec[2] ^ rec[3]) == 0xFF && rec[2] == 1;
        switch (code) {
        case 1: m = 1; break;
        case 2: m = sub1 ? 7 : 3; v = sub1 ? 1 : 0; break;
        case 3: m = sub1 ? 6 : 2; v = sub1 ? 1 : 0; break;
        case 4: m = 5; break;
        case 5: m = 8; v = 1; break;
        case 6: m = 9; break;
        case 7: m = 5; v = 1; break;
        case 8: m = 7; v = 1; break;
        case 9: m = 6; v = 1; break;
        case 10: m = 5; v = 2; u = 1.1; break;
        case 49: m = 49; break;
        case 65: m = 65; v = 1; break;
        case 101: m = 9; v = 3; u = 1.5; break;
        case 102: m = 8; v = 3; u = 1.5; break;
        default: return false;
        }
    }
    if (model)
        *model = m;
    if (rev)
        *rev = v;
    if (vref)
        *vref = u;
    return true;
}

uint16_t DevInit::decodeBatch(const unsigned char b[4])
{
    const uint16_t w = uint16_t(b[0] | b[1] << 8);
    const uint16_t c = uint16_t(b[2] | b[3] << 8);
    return uint16_t(w ^ c) == 0xFFFF ? w : 0;
}

bool StartupThread::join(unsigned long ms)
{
    if (!wait(ms))
        return false;
    std::lock_guard<std::mutex> joined(endMutex);
    return true;
}

bool DevInit::endThread(StartupThread* t, int stage)
{
    t->abort = true;
    // Every wait of the start-up threads checks abort and every transfer has
    // its own time-out; a thread that still runs after the bound is stuck.
    if (t->join(unsigned(threadEndTimeoutMs.load())))
        return true;
    emit sigInitSta(stage, InitErrStillRunning, 0);
    return false;
}

void DevInit::init()
{
    if (!devSupport)
        return;
    int r = devSupport->devRetrieve();
    if (r < 0) {
        if (devUsing && devUsing->isConnected) {
            // The run must not go on against a handle that is gone.
            devUsing->smpStopAndWait();
            devUsing->devDisconnect();
            emit sigInitSta(7, 0, 0);
        }
        // A device may have taken its place within the same change of the
        // device count (a controller back with its firmware, seen late by
        // the monitor): look once more, now that nothing is open.
        r = devSupport->devRetrieve();
    }
    if (r <= 0) {
        // A device of the maker that could not be taken (its interface is
        // held elsewhere) stays unconnected: say so instead of nothing.
        if (const int err = devSupport->openError())
            emit sigInitSta(2, err, 0);
        return;
    }
    if (devUsing)
        devUsing->smpStop();
    if (devSupport->vendorId != DevSupport::makerVendorId || !isAcceptedProduct(devSupport->productId))
        return;
    if (devSupport->isOpenReady) {
        emit sigInitSta(2, 0, 0);
        thrDevAttach->abort = true;
        // A start-up of the device that just went away: its requests fail.
        if (thrRenumDone->isRunning() && !endThread(thrRenumDone, 2))
            return;
        thrRenumDone->abort = false;
        thrRenumDone->start(QThread::InheritPriority);
    } else {
        emit sigInitSta(0, 0, 0);
        if (!endThread(thrDevAttach, 0))
            return;
        thrDevAttach->abort = false;
        thrDevAttach->start(QThread::InheritPriority);
    }
}

int DevInit::connectDevice(int model, const unsigned char* ident, double vref)
{
    // Who takes the hand-over first: the GUI thread (it connects) or the
    // start-up thread giving up (the queued request then does nothing).
    enum { Pending, Taken, Abandoned };
    struct Handover {
        std::atomic<int> state{Pending};
        QSemaphore done;
        std::atomic<int> result{-1};
        unsigned char ident[DevIdentSize];
    };
    auto h = std::make_shared<Handover>();
    std::memcpy(h->ident, ident, DevIdentSize);
    // Queued to this object: dropped, not run, should it be deleted first.
    QMetaObject::invokeMethod(
        this,
        [this, model, vref, h]() {
            int expected = Pending;
            if (!h->state.compare_exchange_strong(expected, Taken))
                return;
            if (!thrRenumDone->abort) {
                emit sigDevPreConnect(model);
                std::memcpy(devIdent, h->ident, DevIdentSize);
                int r = devUsing ? devUsing->devConnect(devIdent, vref) : 1;
                // Reset the bulk path before anyone hears of the connection,
                // so no capture started meanwhile can meet this request.
                if (r == 0 && devSupport) {
                    r = devSupport->ctrlWrite(UsbReq::BulkPrepare, 0, nullptr, 0);
                    if (r != 0)
                        devUsing->devDisconnect();
                }
                h->result = r;
            }
            h->done.release();
        },
        Qt::QueuedConnection);
    // Waits in slices, so shutdown can end the wait even when the event
    // loop that would run the request has already ended.
    while (!h->done.tryAcquire(1, 20)) {
        int expected = Pending;
        if (thrRenumDone->abort && h->state.compare_exchange_strong(expected, Abandoned))
            return -1;
    }
    return h->result;
}

// ---------------------------------------------------------------- ThrDevAttach

ThrDevAttach::ThrDevAttach(DevInit* o)
    : owner(o)
{
}

ThrDevAttach::~ThrDevAttach()
{
    // DevInit deletes it only once it has ended.
    abort = true;
    joinThread(this);
}

void ThrDevAttach::run()
{
    std::lock_guard<std::mutex> running(endMutex);
    QByteArray image;
    if (!devSupport || !readResource(DevInit::usbFirmwareResource(devSupport->productId), &image)) {
        emit owner->sigInitSta(0, InitErrNoImage, 0);
        return;
    }
    int r;
    switch (FirmwareImage::detect(image)) {
    case FirmwareImage::FormatBoot: r = load3014fw(image); break;
    case FirmwareImage::FormatHex: r = load68013fw(image); break;
    default: r = InitErrBadImage; break;
    }
    // Given up by the GUI thread (another device came): say nothing more.
    if (abort)
        return;
    emit owner->sigInitSta(1, r, 0);
    if (r != 0)
        return;
    for (int i = 1; i <= 50; ++i) {
        if (!sleepUnlessAborted(waitStepMs, abort))
            return;
        emit owner->sigInitSta(1, 0, i * 200);
    }
    if (!abort)
        emit owner->sigInitSta(1, InitErrReenumTimeout, 0);
}

int ThrDevAttach::load68013fw(QByteArray& hex)
{
    std::vector<FwChunk> records;
    QString why;
    if (!FirmwareImage::parseHex(hex, &records, &why)) {
        qWarning("VormelTAV: controller firmware refused: %s", qPrintable(why));
        return InitErrBadImage;
    }
    unsigned char hold = 1;
    int r = devSupport->ctrlWriteRAM(UsbAddr::CpuCtrl, &hold, 1);
    if (r != 0)
        return r;
    for (FwChunk& c : records) {
        if (abort)
            return UsbErrNoDevice;
        r = devSupport->ctrlWriteRAM(c.addr, reinterpret_cast<unsigned char*>(c.data.data()), c.data.size());
        if (r != 0)
            return r;
    }
    unsigned char run = 0;
    return devSupport->ctrlWriteRAM(UsbAddr::CpuCtrl, &run, 1);
}

int ThrDevAttach::load3014fw(QByteArray& image)
{
    std::vector<FwChunk> sections;
    uint32_t entry = 0;
    QString why;
    if (!FirmwareImage::parseBoot(image, &sections, &entry, &why)) {
        qWarning("VormelTAV: controller boot image refused: %s", qPrintable(why));
        return InitErrBadImage;
    }
    unsigned char probe = 0;
    int r = devSupport->ctrlRead(UsbReq::Ram, 0, &probe, 1);
    if (r != 0)
        return r;
    for (FwChunk& s : sections) {
        auto* p = reinterpret_cast<unsigned char*>(s.data.data());
        for (int off = 0; off < s.data.size(); off += RamChunk) {
            if (abort)
                return UsbErrNoDevice;
            const int n = std::min(RamChunk, s.data.size() - off);
            r = devSupport->ctrlWriteRAM(s.addr + uint32_t(off), p + off, n);
            if (r != 0)
                return r;
        }
    }
    return devSupport->ctrlWriteRAM(entry, nullptr, 0);
}

// ---------------------------------------------------------------- ThrRenumDone

ThrRenumDone::ThrRenumDone(DevInit* o)
    : owner(o)
{
}

ThrRenumDone::~ThrRenumDone()
{
    // DevInit deletes it only once it has ended.
    abort = true;
    joinThread(this);
}

int ThrRenumDone::loadFpgaFw(int model, int rev)
{
    if (model < 1 || model > 65)
        return InitErrNoImage;
    if (model == DevModel2113) {
        QThread::msleep(100);
        return 0;
    }
    QByteArray image;
    if (!readResource(DevInit::fpgaResource(model, rev), &image))
        return InitErrNoImage;
    const qint64 size = image.size();
    const qint64 total = ((size + 2047) / FpgaBlock) * FpgaBlock + FpgaBlock;
    QByteArray buf(int(total), '\0');
    std::memcpy(buf.data(), image.constData(), size_t(size));
    unsigned char announce[4];
    DevBase::S64ToBytes(size, announce, 4);
    int r = devSupport->ctrlWrite(UsbReq::FpgaLoad, 0, announce, 4);
    if (r != 0)
        return r;
    auto* p = reinterpret_cast<unsigned char*>(buf.data());
    qint64 sent = 0;
    int reported = 0;
    while (sent < total) {
        if (abort)
            return 2;
        const int n = int(std::min<qint64>(FpgaBlock, total - sent));
        int done = 0;
        r = devSupport->manuBulkWrite(p + sent, n, &done);
        if (r != 0)
            return r;
        // A transfer that moves nothing would repeat for ever.
        if (done <= 0)
            return 2;
        sent += std::min(done, n);
        const int pct = percentOf(sent, total);
        if (pct >= reported + 10 && !abort) {
            reported = pct;
            emit owner->sigInitSta(4, 0, pct);
        }
    }
    unsigned char result = 255;
    r = devSupport->ctrlRead(UsbReq::FpgaLoad, 0, &result, 1);
    if (r != 0)
        return r;
    return result;
}

void ThrRenumDone::run()
{
    std::lock_guard<std::mutex> running(endMutex);
    if (!devSupport)
        return;
    const uint16_t pid = devSupport->productId;
    unsigned char batch[4] = {0, 0, 0, 0};
    int r = ctrlReadAll(UsbReq::Eeprom, UsbAddr::EepromBatch, batch, 4);
    // Given up by the GUI thread (another device came): say nothing more.
    if (abort)
        return;
    const quint16 batchWord = r == 0 ? DevInit::decodeBatch(batch) : 0;
    // The device object's members belong to the GUI thread.
    QMetaObject::invokeMethod(owner, [batchWord]() { DevBase::devBatch = batchWord; }, Qt::QueuedConnection);
    if (r != 0)
        emit owner->sigInitSta(3, r, 0);
    unsigned char rec[8] = {};
    r = ctrlReadAll(UsbReq::Eeprom, UsbAddr::EepromModel, rec, 8);
    if (abort)
        return;
    if (r != 0) {
        emit owner->sigInitSta(3, r, 0);
        return;
    }
    int model = 0, rev = 0;
    double vref = 1.2;
    if (!DevInit::decodeModelRecord(rec, pid, &model, &rev, &vref)) {
        emit owner->sigInitSta(3, InitErrNoImage, 0);
        return;
    }
    r = loadFpgaFw(model, rev);
    if (abort)
        return;
    if (r != 0) {
        emit owner->sigInitSta(4, r, 0);
        return;
    }
    QThread::msleep(30);
    r = devSupport->ctrlWrite(UsbReq::FpgaRun, 1, nullptr, 0);
    if (abort)
        return;
    if (r != 0) {
        emit owner->sigInitSta(4, r, 0);
        return;
    }
    QThread::msleep(40);
    unsigned char st[2] = {0, 0};
    r = ctrlReadAll(UsbReq::Register, 0, st, 2);
    if (abort)
        return;
    if (r != 0) {
        emit owner->sigInitSta(4, r, 0);
        return;
    }
    const int low = st[0] & 3;
    if (low != 1 && low != 2) {
        const unsigned word = unsigned(st[0] | st[1] << 8);
        emit owner->sigInitSta(4, word == 0xFFFF ? InitErrFpgaFfff : word == 0 ? InitErrFpgaZero : InitErrFpgaOther,
                               0);
        return;
    }
    emit owner->sigInitSta(5, 0, 0);
    unsigned char ident[DevIdentSize] = {};
    identForModel(model, ident);
    r = owner->connectDevice(model, ident, vref);
    if (r < 0)
        return;
    emit owner->sigInitSta(r == 0 ? 6 : 5, r, 0);
}
