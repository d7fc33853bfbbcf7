// Instrument emulator: the libusb-1.0 functions the program calls, over a
// virtual bus that holds one emulated instrument and optional foreign devices.
// One mutex guards all state; transfer callbacks run without it.

#include "usbemu.h"

#include "device/usbrequests.h"

#include <libusb.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <condition_variable>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <list>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

#ifndef TAV_VENDOR_ID
#define TAV_VENDOR_ID 0x2A0E
#endif

struct libusb_device {
    int refs = 1;  // the bus holds one reference while the device is on it
    int address = 0;
    uint16_t vid = 0, pid = 0;
    bool instrument = false;
    bool gone = false;  // unplugged or re-enumerated: handles fail with NO_DEVICE
};

struct libusb_device_handle {
    libusb_device* dev = nullptr;
};

struct libusb_context {
    int unused = 0;
};

namespace {

using Clock = std::chrono::steady_clock;

// Per-channel levels of a capture script.
struct Script {
    struct Chn {
        int init = 0;
        std::vector<int64_t> edges;  // first sample with the new level, ascending
        int64_t halfPeriod = 0;      // square wave when > 0
    };
    int64_t samples = 0;
    std::vector<Chn> chn = std::vector<Chn>(32);

    int level(int ch, int64_t pos) const
    {
        const Chn& c = chn[ch];
        if (c.halfPeriod > 0)
            return pos < 0 ? 0 : int((pos / c.halfPeriod) & 1);
        auto it = std::upper_bound(c.edges.begin(), c.edges.end(), pos);
        return c.init ^ int((it - c.edges.begin()) & 1);
    }
    int64_t nextEdge(int ch, int64_t pos) const
    {
        const Chn& c = chn[ch];
        if (c.halfPeriod > 0)
            return pos < 0 ? 0 : (pos / c.halfPeriod + 1) * c.halfPeriod;
        auto it = std::upper_bound(c.edges.begin(), c.edges.end(), pos);
        return it == c.edges.end() ? INT64_MAX : *it;
    }
};

// Sorted edges; two edges at one position cancel out.
void normaliseEdges(std::vector<int64_t>& e)
{
    std::sort(e.begin(), e.end());
    std::vector<int64_t> out;
    for (int64_t x : e) {
        if (!out.empty() && out.back() == x)
            out.pop_back();
        else
            out.push_back(x);
    }
    e.swap(out);
}

struct ControlFault {
    int direction, request, value, skip, count, result;
};

struct Pending {
    libusb_transfer* t;
    Clock::time_point deadline;
    bool hasDeadline;
    bool cancelled;
};

struct Done {
    libusb_transfer* t;
    int status;
    int actual;
};

struct LogRec {
    emu_log_entry e;
    std::vector<uint8_t> data;
};

enum class Phase { Idle, Pre, Wait, Trig, Stored };
enum class Src { None, Window, Stream };

uint64_t le(const std::vector<uint8_t>& v, size_t at, int n)
{
    uint64_t r = 0;
    for (int i = n - 1; i >= 0; --i)
        r = (r << 8) | (at + i < v.size() ? v[at + i] : 0);
    return r;
}

struct Emu {
    std::mutex m;
    std::condition_variable cv;
    libusb_context ctx;

    int initRefs = 0;
    bool failInit = false;
    bool interrupt = false;
    bool busChanged = false;  // ends a wait in handle_events, as a hot-plug event does
    int eventWaitMs = 100;
    int interrupts = 0;

    std::vector<libusb_device*> bus;
    libusb_device* inst = nullptr;
    bool reenumPending = false;
    Clock::time_point reenumAt;
    // A re-enumerating device comes back only once a device list has shown
    // it gone: a monitor that counts devices sees both changes however late
    // it is scheduled (the real re-enumeration takes far longer than a test's).
    // Once a thread handles events (the monitor), only its own lists count:
    // another thread's list does not make the monitor see the gap.
    bool goneListed = true;
    std::thread::id eventThread;

    // identity and configuration
    uint16_t vid = TAV_VENDOR_ID, pid = 0x01A2;
    bool fwRunning = true;
    int fwForm = EMU_DESC_HIGH_SPEED, bootForm = EMU_DESC_NO_ENDPOINTS;
    int address = 5;
    bool useRawDesc = false;
    std::vector<uint8_t> rawDesc;
    int reenumDelayMs = 300;
    int form = EMU_FORM_16;
    int64_t memBytes = 134217728, memBase = 0;
    uint8_t devId[8] = {};
    uint8_t eeprom[256];

    // controller and FPGA
    std::unordered_map<uint32_t, uint8_t> ram;
    int ramWritten = 0, fwStarts = 0;
    bool cpuHeld = false;
    int64_t fpgaAnnounced = 0, fpgaReceived = 0;
    std::vector<uint8_t> fpgaImage;
    bool fpgaLoaded = false, fpgaRunning = false;
    int fpgaResult = -1;
    int statusOverride = -1;
    std::map<int, std::vector<uint8_t>> regs;
    std::map<int, int> regWrites;
    std::vector<uint8_t> live;

    // capture script and state
    Script script;
    std::vector<uint8_t> analog;
    bool hasAnalog = false;
    int analogTrg = 0;
    int phasePre = 1, phaseWait = 1, phaseTrig = 1;
    Phase phase = Phase::Idle;
    int phaseReads = 0;
    bool trgFound = false;
    int64_t capTrigger = -1;
    std::vector<uint8_t> mem;
    uint32_t trgRecord = 0;
    int32_t records = 0, endAddress = 0;

    Src src = Src::None;
    bool srcEnded = false;
    int64_t winStart = 0, winLen = 0, winPos = 0;
    bool streamArmed = false;
    int64_t streamSample = 0, streamDelivered = 0, streamRate = 0;
    std::vector<int> streamChn;
    std::vector<uint8_t> staging;
    size_t stagingPos = 0;
    Clock::time_point streamStart;
    int64_t inDelivered = 0;

    // faults
    int openFails = 0, openErr = LIBUSB_ERROR_ACCESS;
    bool kdActive = false;
    int kdDetachErr = 0, claimErr = 0, altErr = 0;
    std::vector<ControlFault> ctrlFaults;
    ControlFault ctrlHold = {-2, 0, 0, 0, 0, 0};  // direction -2: nothing held
    int ctrlHeld = 0;
    int64_t bulkOutFailAfter = -1, bulkOutTotal = 0;
    int bulkOutErr = 0;
    int inFault = EMU_IN_NONE;
    int64_t inFaultAt = 0;
    int recFault = 0, recFaultIndex = 0;

    std::list<Pending> pending;
    std::deque<LogRec> log;
    std::vector<std::string> violations;
    int logInCap = 256;
    FILE* logFile = nullptr;

    Emu()
    {
        defaults();
        fromEnvironment();
    }

    void defaults()
    {
        vid = TAV_VENDOR_ID;
        pid = 0x01A2;
        fwRunning = true;
        fwForm = EMU_DESC_HIGH_SPEED;
        bootForm = EMU_DESC_NO_ENDPOINTS;
        address = 5;
        useRawDesc = false;
        rawDesc.clear();
        reenumDelayMs = 300;
        form = EMU_FORM_16;
        memBytes = 134217728;
        memBase = 0;
        for (int i = 0; i < 8; ++i)
            devId[i] = uint8_t(0x11 * (i + 1));
        memset(eeprom, 0xFF, sizeof eeprom);
        setModelRecord(3, 0);
        setBatch(0x0101);
        ram.clear();
        ramWritten = fwStarts = 0;
        fpgaResult = -1;
        statusOverride = -1;
        live.clear();
        script = Script();
        script.samples = 1 << 20;
        for (int ch = 0; ch < 32; ++ch)
            script.chn[ch].halfPeriod = int64_t(4) << (ch % 16);
        analog.clear();
        hasAnalog = false;
        analogTrg = 0;
        phasePre = phaseWait = phaseTrig = 1;
        streamRate = 0;
        failInit = false;
        eventWaitMs = 100;
        interrupts = 0;
        openFails = 0;
        openErr = LIBUSB_ERROR_ACCESS;
        kdActive = false;
        kdDetachErr = claimErr = altErr = 0;
        ctrlFaults.clear();
        ctrlHold.direction = -2;
        bulkOutFailAfter = -1;
        bulkOutErr = 0;
        inFault = EMU_IN_NONE;
        inFaultAt = 0;
        recFault = recFaultIndex = 0;
        log.clear();
        violations.clear();
        logInCap = 256;
        reenumPending = false;
        goneListed = true;
        inDelivered = 0;
        bulkOutTotal = 0;
        powerOn();
    }

    void fromEnvironment()
    {
        auto num = [](const char* name, long long def) {
            const char* v = getenv(name);
            return v && *v ? strtoll(v, nullptr, 0) : def;
        };
        if (const char* f = getenv("TAV_EMU_LOG"))
            logFile = fopen(f, "a");
        failInit = num("TAV_EMU_NO_USB", 0) != 0;
        vid = uint16_t(num("TAV_EMU_VENDOR", vid));
        fwRunning = num("TAV_EMU_FIRMWARE", 1) != 0;
        const char* speed = getenv("TAV_EMU_SPEED");
        if (speed && strcmp(speed, "full") == 0)
            fwForm = EMU_DESC_FULL_SPEED;
        pid = uint16_t(num("TAV_EMU_PRODUCT", pid));
        if (getenv("TAV_EMU_MODEL"))
            setModel(int(num("TAV_EMU_MODEL", 3)), int(num("TAV_EMU_SUBVERSION", 0)));
        form = int(num("TAV_EMU_CHANNELS", form));
        reenumDelayMs = int(num("TAV_EMU_REENUM_MS", reenumDelayMs));
        streamRate = num("TAV_EMU_STREAM_RATE", 0);
        if (const char* f = getenv("TAV_EMU_SCRIPT"))
            loadScript(f);
        if (getenv("TAV_EMU_PRODUCT"))
            plug();
    }

    // Text script: "samples N", "square CH HALF", "edges CH INIT E1 E2 ...",
    // "analog TRIGGER FILE" (raw bytes); '#' starts a comment.
    bool loadScript(const char* path)
    {
        FILE* f = fopen(path, "r");
        if (!f)
            return false;
        Script sc;
        sc.samples = 0;
        std::vector<uint8_t> an;
        bool hasAn = false;
        int anTrg = 0;
        char line[65536];
        bool ok = true;
        while (ok && fgets(line, sizeof line, f)) {
            if (char* c = strchr(line, '#'))
                *c = 0;
            char* save = nullptr;
            const char* word = strtok_r(line, " \t\r\n", &save);
            if (!word)
                continue;
            auto next = [&]() -> const char* { return strtok_r(nullptr, " \t\r\n", &save); };
            auto num = [&](long long* out) {
                const char* t = next();
                if (!t)
                    return false;
                *out = strtoll(t, nullptr, 0);
                return true;
            };
            long long a = 0, b = 0;
            if (strcmp(word, "samples") == 0) {
                ok = num(&a) && a >= 0;
                sc.samples = a;
            } else if (strcmp(word, "square") == 0) {
                ok = num(&a) && num(&b) && a >= 0 && a < 32 && b > 0;
                if (ok) {
                    sc.chn[size_t(a)] = Script::Chn();
                    sc.chn[size_t(a)].halfPeriod = b;
                }
            } else if (strcmp(word, "edges") == 0) {
                ok = num(&a) && num(&b) && a >= 0 && a < 32;
                if (ok) {
                    Script::Chn c;
                    c.init = b ? 1 : 0;
                    long long e;
                    while (num(&e))
                        c.edges.push_back(e);
                    normaliseEdges(c.edges);
                    sc.chn[size_t(a)] = c;
                }
            } else if (strcmp(word, "analog") == 0) {
                const char* file = nullptr;
                ok = num(&a) && (file = next()) != nullptr;
                if (ok) {
                    FILE* af = fopen(file, "rb");
                    ok = af != nullptr;
                    if (af) {
                        int ch;
                        while ((ch = fgetc(af)) != EOF)
                            an.push_back(uint8_t(ch));
                        fclose(af);
                    }
                    hasAn = true;
                    anTrg = int(a);
                }
            } else {
                ok = false;
            }
        }
        fclose(f);
        if (!ok) {
            fprintf(stderr, "usbemu: bad capture script %s\n", path);
            return false;
        }
        script = sc;
        analog = an;
        hasAnalog = hasAn;
        analogTrg = anTrg;
        return true;
    }

    // An instrument of the model that this EEPROM code names: its record,
    // raw form and sample memory.
    void setModel(int code, int sub)
    {
        setModelRecord(code, sub);
        int model = 0;
        switch (code) {
        case 1: model = 1; break;
        case 2: model = sub == 1 ? 7 : 3; break;
        case 3: model = sub == 1 ? 6 : 2; break;
        case 4: case 7: case 10: model = 5; break;
        case 5: case 102: model = 8; break;
        case 6: case 101: model = 9; break;
        case 8: model = 7; break;
        case 9: model = 6; break;
        case 49: model = 49; break;
        case 65: model = 65; break;
        default: break;
        }
        if (pid == 0x01A1)
            model = 4;
        form = model == 1 ? EMU_FORM_8 : (model == 9 ? EMU_FORM_32 : EMU_FORM_16);
        switch (model) {
        case 4: memBytes = 67108864; break;
        case 8: case 65: memBytes = 268435456; break;
        case 9: memBytes = 536870912; break;
        case 49: memBytes = 40960; break;
        default: memBytes = 134217728; break;
        }
    }

    void setModelRecord(int code, int sub)
    {
        const uint8_t rec[8] = {uint8_t(code), uint8_t(~code), uint8_t(sub), uint8_t(~sub),
                                uint8_t(code), uint8_t(~code), uint8_t(sub), uint8_t(~sub)};
        memcpy(eeprom + UsbAddr::EepromModel, rec, 8);
    }
    void setBatch(uint16_t b)
    {
        const uint8_t rec[4] = {uint8_t(b), uint8_t(b >> 8), uint8_t(~b), uint8_t(~b >> 8)};
        memcpy(eeprom + UsbAddr::EepromBatch, rec, 4);
    }

    // Power-on state of the instrument: what a plug or re-enumeration resets.
    void powerOn()
    {
        cpuHeld = false;
        fpgaAnnounced = fpgaReceived = 0;
        fpgaImage.clear();
        fpgaLoaded = fpgaRunning = false;
        regs.clear();
        regWrites.clear();
        phase = Phase::Idle;
        phaseReads = 0;
        trgFound = false;
        capTrigger = -1;
        mem.clear();
        trgRecord = 0;
        records = endAddress = 0;
        src = Src::None;
        srcEnded = false;
        winStart = winLen = winPos = 0;
        streamArmed = false;
        streamSample = streamDelivered = 0;
        staging.clear();
        stagingPos = 0;
    }

    // ---- log -------------------------------------------------------------
    void addLog(int kind, uint8_t rt, uint8_t req, uint16_t val, uint16_t idx, uint8_t ep, int length,
                int result, int actual, const uint8_t* data, int n)
    {
        LogRec r;
        memset(&r.e, 0, sizeof r.e);
        r.e.kind = kind;
        r.e.request_type = rt;
        r.e.request = req;
        r.e.value = val;
        r.e.index = idx;
        r.e.endpoint = ep;
        r.e.length = length;
        r.e.result = result;
        r.e.actual = actual;
        if (data && n > 0)
            r.data.assign(data, data + n);
        log.push_back(std::move(r));
        if (logFile) {
            static const char* const names[] = {"?",     "CTRL",    "BULK_OUT", "BULK_IN", "OPEN",  "CLOSE",
                                                "CLAIM", "RELEASE", "DETACH",   "ALT",     "CANCEL"};
            fprintf(logFile, "%s rt=%02x req=%02x val=%04x idx=%04x ep=%02x len=%d res=%d act=%d :",
                    kind >= 0 && kind <= 10 ? names[kind] : "?", rt, req, val, idx, ep, length, result, actual);
            for (int i = 0; i < n && i < 64; ++i)
                fprintf(logFile, " %02x", data[i]);
            fprintf(logFile, n > 64 ? " ...\n" : "\n");
            fflush(logFile);
        }
    }

    // ---- bus -------------------------------------------------------------
    void unref(libusb_device* d)
    {
        if (--d->refs == 0)
            delete d;
    }

    void plug()
    {
        if (inst)
            return;
        powerOn();
        inst = new libusb_device;
        inst->address = address;
        inst->vid = vid;
        inst->pid = pid;
        inst->instrument = true;
        bus.push_back(inst);
        busChanged = true;
        cv.notify_all();
    }

    void unplug()
    {
        reenumPending = false;
        if (!inst)
            return;
        inst->gone = true;
        bus.erase(std::remove(bus.begin(), bus.end(), inst), bus.end());
        unref(inst);
        inst = nullptr;
        streamArmed = false;
        src = Src::None;
        busChanged = true;
        cv.notify_all();
    }

    // Test queries pass byTest: they may see the device back at once.
    bool reenumDue(Clock::time_point now, bool byTest = false) const
    {
        return reenumPending && now >= reenumAt && (goneListed || byTest);
    }

    void timers(Clock::time_point now, bool byTest = false)
    {
        if (reenumDue(now, byTest)) {
            reenumPending = false;
            fwRunning = true;
            address = address % 126 + 1;
            plug();
        }
    }

    void firmwareStart()
    {
        ++fwStarts;
        cpuHeld = false;
        if (!inst)
            return;
        unplug();
        if (reenumDelayMs >= 0) {
            reenumPending = true;
            goneListed = false;
            reenumAt = Clock::now() + std::chrono::milliseconds(reenumDelayMs);
        }
    }

    // ---- descriptors -----------------------------------------------------
    std::vector<uint8_t> configDesc() const
    {
        if (useRawDesc)
            return rawDesc;
        const int f = fwRunning ? fwForm : bootForm;
        const uint8_t epIn = pid == 0x01A3 ? 0x82 : 0x86;
        std::vector<uint8_t> eps;
        auto ep = [&](uint8_t a, int maxp) {
            const uint8_t d[7] = {7, 5, a, 2, uint8_t(maxp), uint8_t(maxp >> 8), 0};
            eps.insert(eps.end(), d, d + 7);
        };
        switch (f) {
        case EMU_DESC_NO_IN:
            ep(0x02, 512);
            ep(0x84, 512);
            break;
        case EMU_DESC_ZERO_PACKET:
            ep(0x02, 0);
            ep(epIn, 0);
            break;
        case EMU_DESC_HIGH_SPEED:
            ep(0x02, 512);
            ep(epIn, 512);
            break;
        case EMU_DESC_FULL_SPEED:
            ep(0x02, 64);
            ep(epIn, 64);
            break;
        default:
            break;
        }
        const int total = 18 + int(eps.size());
        std::vector<uint8_t> d = {9, 2, uint8_t(total), uint8_t(total >> 8), 1, 1, 0, 0x80, 50,
                                  9, 4, 0, 0, uint8_t(eps.size() / 7), 0xFF, 0, 0, 0};
        d.insert(d.end(), eps.begin(), eps.end());
        return d;
    }

    std::vector<uint8_t> deviceDesc(const libusb_device* d) const
    {
        return {18, 1, 0x00, 0x02, 0xFF, 0, 0, 64, uint8_t(d->vid), uint8_t(d->vid >> 8),
                uint8_t(d->pid), uint8_t(d->pid >> 8), 0x01, 0x00, 0, 0, 0, 1};
    }

    // ---- capture ---------------------------------------------------------
    int channels() const { return form == EMU_FORM_32 ? 32 : (form == EMU_FORM_8 ? 8 : 16); }

    uint32_t levelWord(int64_t pos) const
    {
        uint32_t w = 0;
        for (int ch = 0; ch < channels(); ++ch)
            w |= uint32_t(script.level(ch, pos)) << ch;
        return w;
    }

    uint32_t mask(int i) const
    {
        auto it = regs.find(0x20);
        if (it == regs.end())
            return i == 0 ? 0xFFFFFFFFu : 0;
        return uint32_t(le(it->second, size_t(i) * 4, 4));
    }

    bool trgCondition(uint32_t part, int64_t p) const
    {
        const uint32_t lvlMask = mask(2), hiFall = mask(3);
        for (int ch = 0; ch < channels(); ++ch) {
            const uint32_t bit = 1u << ch;
            if (!(part & bit))
                continue;
            const int lvl = script.level(ch, p);
            const int want = (hiFall & bit) ? 1 : 0;
            if (lvlMask & bit) {
                if (lvl != want)
                    return false;
            } else {
                const int prev = script.level(ch, p - 1);
                if (!(prev != lvl && lvl == (want ? 0 : 1)))
                    return false;
            }
        }
        return true;
    }

    // First sample at or after `from` where the trigger masks hold; -1 none.
    int64_t findTrigger(uint32_t part, int64_t from) const
    {
        int64_t cand = std::max<int64_t>(from, 1);
        const int64_t last = std::max(script.samples, cand);
        while (cand <= last) {
            if (trgCondition(part, cand))
                return cand;
            int64_t next = INT64_MAX;
            for (int ch = 0; ch < channels(); ++ch)
                if (part & (1u << ch))
                    next = std::min(next, script.nextEdge(ch, cand));
            if (next == INT64_MAX)
                break;
            cand = next;
        }
        return -1;
    }

    void startBufferCapture()
    {
        mem.clear();
        trgRecord = 0;
        records = 0;
        endAddress = 0;
        capTrigger = -1;
        const std::vector<uint8_t>& rec = regs[0x10];
        const int64_t depth = rec.size() >= 5 ? int64_t(le(rec, 0, 5)) : script.samples;
        const int64_t pre = rec.size() >= 10 ? int64_t(le(rec, 5, 5)) : 0;
        const uint8_t modeByte = regs.count(3) && !regs[3].empty() ? regs[3][0] : 0;
        const uint32_t chMask = channels() == 32 ? 0xFFFFFFFFu : ((1u << channels()) - 1);
        const uint32_t part = mask(1) & chMask;

        if (hasAnalog) {
            mem = analog;
            records = int32_t(analog.size());
            trgRecord = uint32_t(analogTrg);
            capTrigger = analogTrg;
            trgFound = true;
        } else {
            int64_t trg = pre;
            if (!(modeByte & 2) && part)
                trg = findTrigger(part, pre);
            trgFound = trg >= 0;
            capTrigger = trg;
            if (trgFound)
                encodeWindow(trg - pre, depth, trg);
        }
        endAddress = int32_t(((memBase + int64_t(mem.size())) % memBytes + memBytes) % memBytes);
        phase = Phase::Pre;
        phaseReads = 0;
        normalisePhase();
    }

    void encodeWindow(int64_t start, int64_t depth, int64_t trg)
    {
        std::vector<std::pair<uint32_t, uint8_t>> recs;
        const int64_t end = start + depth;
        int64_t pos = start;
        while (pos < end) {
            const uint32_t w = levelWord(pos);
            int64_t nxt = end;
            for (int ch = 0; ch < channels(); ++ch)
                nxt = std::min(nxt, script.nextEdge(ch, pos));
            if (pos < trg)
                nxt = std::min(nxt, trg);
            for (int64_t run = nxt - pos; run > 0;) {
                const int r = int(std::min<int64_t>(run, 255));
                recs.push_back({w, uint8_t(r)});
                run -= r;
            }
            pos = nxt;
            if (pos == trg && trg > start)
                trgRecord = uint32_t(recs.size());
        }
        // Whole frames only: split runs (after the trigger where possible).
        const size_t per = channels() == 32 ? 6 : 5;
        while (!recs.empty() && recs.size() % per) {
            size_t i = recs.size();
            while (i > 0 && recs[i - 1].second < 2)
                --i;
            if (i == 0) {
                recs.push_back({recs.back().first, 1});
                continue;
            }
            --i;
            recs[i].second -= 1;
            recs.insert(recs.begin() + long(i) + 1, {recs[i].first, 1});
            if (i + 1 <= trgRecord && trgRecord > 0)
                ++trgRecord;
        }
        records = int32_t(recs.size());
        const size_t frames = recs.size() / per;
        mem.assign(frames * (per == 6 ? 32 : 16), 0);
        for (size_t f = 0; f < frames; ++f) {
            uint8_t* fr = &mem[f * (per == 6 ? 32 : 16)];
            for (size_t r = 0; r < per; ++r) {
                const auto& rc = recs[f * per + r];
                if (per == 6) {
                    for (int b = 0; b < 4; ++b)
                        fr[r * 5 + b] = uint8_t(rc.first >> (8 * b));
                    fr[r * 5 + 4] = rc.second;
                } else {
                    fr[r * 3] = uint8_t(rc.first);
                    fr[r * 3 + 1] = uint8_t(rc.first >> 8);
                    fr[r * 3 + 2] = rc.second;
                }
            }
            if (per == 6) {
                fr[30] = uint8_t(f);
                fr[31] = uint8_t(~f);
            }
        }
        if (recFault == EMU_REC_ZERO_RUN && size_t(recFaultIndex) < frames * per) {
            const size_t f = size_t(recFaultIndex) / per, r = size_t(recFaultIndex) % per;
            mem[f * (per == 6 ? 32 : 16) + r * (per == 6 ? 5 : 3) + (per == 6 ? 4 : 2)] = 0;
        } else if (recFault == EMU_REC_BAD_CHECK && per == 6 && size_t(recFaultIndex) < frames) {
            mem[size_t(recFaultIndex) * 32 + 31] = mem[size_t(recFaultIndex) * 32 + 30];
        }
    }

    void normalisePhase()
    {
        for (;;) {
            if (phase == Phase::Pre && phaseReads >= phasePre) {
                phase = Phase::Wait;
                phaseReads = 0;
            } else if (phase == Phase::Wait && trgFound && phaseReads >= phaseWait) {
                phase = Phase::Trig;
                phaseReads = 0;
            } else if (phase == Phase::Trig && phaseReads >= phaseTrig) {
                phase = Phase::Stored;
                phaseReads = 0;
            } else {
                break;
            }
        }
    }

    uint16_t statusWord()
    {
        if (statusOverride >= 0)
            return uint16_t(statusOverride);
        if (!fpgaLoaded)
            return 0xFFFF;
        if (!fpgaRunning)
            return 0x0000;
        uint8_t l = 0xC1;
        switch (phase) {
        case Phase::Idle: l = 0xC1; break;
        case Phase::Pre: l = 0xC2; break;
        case Phase::Wait: l = 0xCA; break;
        case Phase::Trig: l = 0xC6; break;
        case Phase::Stored: l = 0xC5; break;
        }
        if (phase != Phase::Idle && phase != Phase::Stored) {
            ++phaseReads;
            normalisePhase();
        }
        return uint16_t(0x8500 | l);
    }

    void startCapture()
    {
        const uint8_t modeByte = regs.count(3) && !regs[3].empty() ? regs[3][0] : 0;
        if (modeByte & 1) {
            streamArmed = true;
            streamSample = 0;
            streamDelivered = 0;
            staging.clear();
            stagingPos = 0;
            streamChn.clear();
            const uint32_t en = mask(0);
            for (int ch = 0; ch < channels(); ++ch)
                if (en & (1u << ch))
                    streamChn.push_back(ch);
            phase = Phase::Trig;
        } else {
            startBufferCapture();
        }
    }

    void stopCapture()
    {
        streamArmed = false;
        if (src == Src::Stream)
            srcEnded = true;
        phase = Phase::Idle;
        cv.notify_all();
    }

    // ---- bulk IN source ---------------------------------------------------
    uint8_t memAt(int64_t a) const
    {
        const int64_t off = ((a - memBase) % memBytes + memBytes) % memBytes;
        return off < int64_t(mem.size()) ? mem[size_t(off)] : 0;
    }

    void genStream()
    {
        if (staging.size() - stagingPos < (1u << 16) && stagingPos > 0) {
            staging.erase(staging.begin(), staging.begin() + long(stagingPos));
            stagingPos = 0;
        }
        if (form == EMU_FORM_8) {
            for (int i = 0; i < 16; ++i)
                staging.push_back(uint8_t(levelWord(streamSample + i)));
        } else {
            for (int ch : streamChn) {
                const uint16_t w = streamWord(ch, streamSample);
                staging.push_back(uint8_t(w));
                staging.push_back(uint8_t(w >> 8));
            }
        }
        streamSample += 16;
    }

    // 16 samples of one channel from `base`, bit 0 the earliest; walks the
    // channel's edges instead of sampling every bit.
    uint16_t streamWord(int ch, int64_t base) const
    {
        const int64_t end = base + 16;
        int lvl = script.level(ch, base);
        uint32_t w = 0;
        for (int64_t pos = base; pos < end;) {
            const int64_t nx = std::min(script.nextEdge(ch, pos), end);
            if (lvl)
                w |= ((1u << (nx - base)) - 1) & ~((1u << (pos - base)) - 1);
            pos = nx;
            lvl ^= 1;
        }
        return uint16_t(w);
    }

    int64_t srcAvailable(Clock::time_point now) const
    {
        if (src == Src::Window)
            return winLen - winPos;
        if (src == Src::Stream && !srcEnded) {
            if (streamRate <= 0)
                return INT64_MAX / 4;
            const double sec = std::chrono::duration<double>(now - streamStart).count();
            return std::max<int64_t>(0, int64_t(sec * double(streamRate)) - streamDelivered);
        }
        return 0;
    }

    // True when what is available now is all that will ever come.
    bool srcDone() const
    {
        if (src == Src::Window)
            return true;
        return src == Src::Stream && srcEnded;
    }

    void srcTake(uint8_t* dst, int64_t n)
    {
        if (src == Src::Window) {
            for (int64_t i = 0; i < n; ++i)
                dst[i] = memAt(winStart + winPos + i);
            winPos += n;
        } else if (src == Src::Stream) {
            int64_t got = 0;
            while (got < n) {
                if (stagingPos >= staging.size()) {
                    staging.clear();
                    stagingPos = 0;
                    if (form != EMU_FORM_8 && streamChn.empty())
                        break;
                    genStream();
                }
                const int64_t k = std::min<int64_t>(n - got, int64_t(staging.size() - stagingPos));
                memcpy(dst + got, staging.data() + stagingPos, size_t(k));
                stagingPos += size_t(k);
                got += k;
            }
            streamDelivered += n;
        }
    }

    // Decides whether a bulk IN request of `len` bytes completes now.
    bool tryIn(uint8_t* buf, int len, bool hasDeadline, Clock::time_point deadline, Clock::time_point now,
               int* status, int* actual, bool* unplugAfter)
    {
        *unplugAfter = false;
        if ((inFault == EMU_IN_EMPTY || inFault == EMU_IN_ERROR || inFault == EMU_IN_TIMEOUT) &&
            inDelivered >= inFaultAt && src != Src::None) {
            int n = 0;
            if (inFault == EMU_IN_TIMEOUT) {
                n = int(std::min<int64_t>(srcAvailable(now), len / 2));
                srcTake(buf, n);
            }
            *status = inFault == EMU_IN_EMPTY ? LIBUSB_TRANSFER_COMPLETED
                      : inFault == EMU_IN_ERROR ? LIBUSB_TRANSFER_ERROR
                                                : LIBUSB_TRANSFER_TIMED_OUT;
            *actual = n;
            inDelivered += n;
            inFault = EMU_IN_NONE;
            return true;
        }
        int64_t avail = srcAvailable(now);
        bool ended = srcDone();
        if (inFault == EMU_IN_SHORT) {
            const int64_t lim = std::max<int64_t>(0, inFaultAt - inDelivered);
            if (avail >= lim) {
                avail = lim;
                ended = true;
            }
        }
        int n;
        if (avail >= len) {
            n = len;
            *status = LIBUSB_TRANSFER_COMPLETED;
        } else if (ended) {
            n = int(avail);
            // Nothing more will come: a short packet ends the transfer, or it
            // times out at once instead of after its real time-out.
            *status = n > 0 ? LIBUSB_TRANSFER_COMPLETED : LIBUSB_TRANSFER_TIMED_OUT;
        } else if (hasDeadline && now >= deadline) {
            n = int(avail);
            *status = LIBUSB_TRANSFER_TIMED_OUT;
        } else {
            return false;
        }
        srcTake(buf, n);
        *actual = n;
        inDelivered += n;
        if (inFault == EMU_IN_UNPLUG && inDelivered >= inFaultAt) {
            inFault = EMU_IN_NONE;
            *unplugAfter = true;
        }
        return true;
    }

    // ---- control requests --------------------------------------------------
    int regRead(int reg, uint8_t* buf, int len)
    {
        std::vector<uint8_t> v = regs.count(reg) ? regs[reg] : std::vector<uint8_t>();
        if (reg == 0) {
            const uint16_t w = statusWord();
            v = {uint8_t(w), uint8_t(w >> 8)};
        } else if (reg == 0x04) {
            v = live;
            if (v.empty()) {  // levels of the script at its first sample
                const uint32_t w = levelWord(0);
                v.assign(size_t(2 * channels() / 8), 0);
                for (int i = 0; i < channels() / 8; ++i)
                    v[size_t(i)] = uint8_t(w >> (8 * i));
            }
        } else if (reg == 0x10) {
            v.assign(12, 0);
            const uint32_t f[3] = {trgRecord, uint32_t(records), uint32_t(endAddress)};
            for (int i = 0; i < 12; ++i)
                v[size_t(i)] = uint8_t(f[i / 4] >> (8 * (i % 4)));
        }
        for (int i = 0; i < len; ++i)
            buf[i] = size_t(i) < v.size() ? v[size_t(i)] : 0;
        return len;
    }

    void regWrite(int reg, const uint8_t* data, int len)
    {
        regs[reg].assign(data, data + len);
        ++regWrites[reg];
        if (reg == 0 && len >= 1) {
            if (data[0] == 3)
                startCapture();
            else if (data[0] == 0)
                stopCapture();
        }
    }

    void violation(const char* fmt, ...)
    {
        char buf[256];
        va_list ap;
        va_start(ap, fmt);
        vsnprintf(buf, sizeof buf, fmt, ap);
        va_end(ap);
        violations.emplace_back(buf);
        if (logFile) {
            fprintf(logFile, "PROTOCOL: %s\n", buf);
            fflush(logFile);
        }
    }

    // Register lengths of the documented protocol; -1 where any length goes.
    int regWriteLength(int reg) const
    {
        switch (reg) {
        case 0x00: case 0x02: case 0x03: case 0x3E: case 0x3F: return 1;
        case 0x08: return 8;
        case 0x10: case 0x20: return 16;
        case 0x30: case 0x50: return 2;
        case 0x40: case 0x48: return 4;
        case 0x64: case 0x68: return 4;
        case 0x70: case 0x78: return 8;
        default: return -1;
        }
    }

    // Checks a vendor request against the documented protocol.
    void checkVendor(bool in, uint8_t req, uint16_t val, const uint8_t* data, int len)
    {
        switch (req) {
        case UsbReq::Register:
            if (in) {
                if (val == 0 && len != 2)
                    violation("status read of %d bytes", len);
                else if (val == 0x10 && len != 12)
                    violation("result read of %d bytes", len);
                else if (val == 0x04 && len != 2 * channels() / 8)
                    violation("live level read of %d bytes", len);
            } else {
                const int want = regWriteLength(val);
                if (want < 0)
                    violation("write to undocumented register 0x%02x", val);
                else if (want != len)
                    violation("register 0x%02x written with %d bytes", val, len);
                else if (val == 0 && data[0] != 0 && data[0] != 3)
                    violation("run control value %d", data[0]);
                else if (val == 0x03 && data[0] > 3)
                    violation("sample mode byte 0x%02x", data[0]);
            }
            break;
        case UsbReq::FpgaRun:
            if (in || len != 0 || val > 1)
                violation("FPGA run control %s value %d length %d", in ? "IN" : "OUT", val, len);
            break;
        case UsbReq::BulkStart:
        case UsbReq::BulkPrepare:
            if (in || len != 0)
                violation("request 0x%02x %s with %d bytes", req, in ? "IN" : "OUT", len);
            break;
        case UsbReq::FpgaLoad:
            if ((in && len != 1) || (!in && len != 4))
                violation("FPGA load request %s with %d bytes", in ? "IN" : "OUT", len);
            break;
        case UsbReq::DeviceId:
            if (!in && !(len == 3 && data[0] == 0xA3 && data[1] == 0x01 && data[2] == 0xCA))
                violation("device ID key of %d bytes", len);
            else if (in && len != 12)
                violation("device ID read of %d bytes", len);
            break;
        case UsbReq::Eeprom:
            if (val + len > 256)
                violation("EEPROM access 0x%02x + %d beyond 256 bytes", val, len);
            break;
        default:
            violation("unknown vendor request 0x%02x", req);
            break;
        }
    }

    int vendor(bool in, uint8_t req, uint16_t val, uint16_t idx, uint8_t* data, int len)
    {
        if (req != UsbReq::Ram && fwRunning)
            checkVendor(in, req, val, data, len);
        if (req == UsbReq::Ram) {
            const uint32_t addr = uint32_t(val) | (uint32_t(idx) << 16);
            if (in) {
                for (int i = 0; i < len; ++i) {
                    auto it = ram.find(addr + uint32_t(i));
                    data[i] = it == ram.end() ? 0 : it->second;
                }
                return len;
            }
            if (len == 0) {  // boot image: jump to the entry address
                firmwareStart();
                return 0;
            }
            for (int i = 0; i < len; ++i)
                ram[addr + uint32_t(i)] = data[i];
            if (addr == UsbAddr::CpuCtrl && len == 1) {
                if (data[0] & 1)
                    cpuHeld = true;
                else if (cpuHeld)
                    firmwareStart();
            } else {
                ramWritten += len;
            }
            return len;
        }
        if (!fwRunning)
            return LIBUSB_ERROR_PIPE;
        switch (req) {
        case UsbReq::Register:
            if (in)
                return regRead(val, data, len);
            regWrite(val, data, len);
            return len;
        case UsbReq::FpgaRun:
            if (in)
                return LIBUSB_ERROR_PIPE;
            if (val == 1)
                fpgaRunning = fpgaLoaded;
            else {
                fpgaRunning = false;
                phase = Phase::Idle;
                streamArmed = false;
            }
            return len;
        case UsbReq::BulkStart:
            if (in)
                return LIBUSB_ERROR_PIPE;
            if (streamArmed) {
                // Streaming starts at once: the reader must already be waiting.
                bool posted = false;
                for (const Pending& p : pending)
                    posted = posted || ((p.t->endpoint & 0x80) && !p.cancelled);
                if (!posted)
                    violation("stream started before bulk IN transfers were queued");
                src = Src::Stream;
                srcEnded = false;
                streamStart = Clock::now();
            } else {
                const std::vector<uint8_t>& w = regs[0x08];
                src = Src::Window;
                srcEnded = false;
                winStart = int64_t(le(w, 0, 4));
                winLen = int64_t(le(w, 4, 4));
                winPos = 0;
            }
            cv.notify_all();
            return len;
        case UsbReq::BulkPrepare:
            if (in)
                return LIBUSB_ERROR_PIPE;
            src = Src::None;
            srcEnded = false;
            staging.clear();
            stagingPos = 0;
            return len;
        case UsbReq::FpgaLoad:
            if (in) {
                if (len >= 1) {
                    const int r = fpgaResult >= 0 ? fpgaResult
                                                  : (fpgaAnnounced > 0 && fpgaReceived >= fpgaAnnounced ? 0 : 1);
                    data[0] = uint8_t(r);
                    fpgaLoaded = r == 0;
                }
                return std::min(len, 1);
            }
            fpgaAnnounced = len >= 4 ? int64_t(data[0] | data[1] << 8 | data[2] << 16 | uint32_t(data[3]) << 24) : 0;
            fpgaReceived = 0;
            fpgaImage.clear();
            fpgaLoaded = fpgaRunning = false;
            return len;
        case UsbReq::DeviceId:
            if (in) {
                // The identifier is given out only after the request key.
                uint8_t ans[12] = {0x01, 0x60};
                static const std::vector<uint8_t> key = {0xA3, 0x01, 0xCA};
                if (regs[0x1060] == key)
                    memcpy(ans + 2, devId, 8);
                const int n = std::min(len, 12);
                memcpy(data, ans, size_t(n));
                return n;
            }
            regs[0x1060].assign(data, data + len);
            return len;
        case UsbReq::Eeprom:
            for (int i = 0; i < len; ++i) {
                const int a = val + i;
                if (in)
                    data[i] = a < 256 ? eeprom[a] : 0xFF;
                else if (a < 256)
                    eeprom[a] = data[i];
            }
            return len;
        default:
            return LIBUSB_ERROR_PIPE;
        }
    }

    bool held(uint8_t rt, uint8_t req, uint16_t val) const
    {
        const ControlFault& f = ctrlHold;
        return f.direction != -2 && (f.direction < 0 || f.direction == ((rt & 0x80) ? 1 : 0)) &&
               f.request == req && (f.value < 0 || f.value == val);
    }

    int control(libusb_device_handle* h, uint8_t rt, uint8_t req, uint16_t val, uint16_t idx, uint8_t* data,
                int len)
    {
        const bool in = rt & 0x80;
        int limit = len;
        for (ControlFault& f : ctrlFaults) {
            if (f.count == 0)
                continue;
            if ((f.direction >= 0 && f.direction != (in ? 1 : 0)) || f.request != req ||
                (f.value >= 0 && f.value != val))
                continue;
            if (f.skip > 0) {
                --f.skip;
                continue;
            }
            if (f.count > 0)
                --f.count;
            if (f.result < 0) {
                addLog(EMU_LOG_CONTROL, rt, req, val, idx, 0, len, f.result, 0, in ? nullptr : data, in ? 0 : len);
                return f.result;
            }
            limit = std::min(len, f.result);
            break;
        }
        int r;
        if (h->dev->gone) {
            r = LIBUSB_ERROR_NO_DEVICE;
        } else if ((rt & 0x60) == 0 && in && req == 6) {
            const std::vector<uint8_t> d = (val >> 8) == 1 ? deviceDesc(h->dev) : configDesc();
            r = std::min<int>(limit, int(d.size()));
            memcpy(data, d.data(), size_t(r));
        } else if ((rt & 0x60) == 0x40 && h->dev->instrument) {
            std::vector<uint8_t> tmp(data, data + len);
            tmp.resize(size_t(std::max(len, 1)));
            r = vendor(in, req, val, idx, tmp.data(), limit);
            if (in && r > 0)
                memcpy(data, tmp.data(), size_t(r));
        } else {
            r = LIBUSB_ERROR_PIPE;
        }
        addLog(EMU_LOG_CONTROL, rt, req, val, idx, 0, len, r, r > 0 ? r : 0, data, in ? std::max(r, 0) : len);
        return r;
    }

    int bulkOut(libusb_device_handle* h, uint8_t ep, const uint8_t* data, int len, int* moved)
    {
        *moved = 0;
        if (h->dev->gone)
            return LIBUSB_ERROR_NO_DEVICE;
        int r = 0;
        int n = len;
        if (bulkOutFailAfter >= 0 && bulkOutTotal + len > bulkOutFailAfter) {
            n = int(std::max<int64_t>(0, bulkOutFailAfter - bulkOutTotal));
            r = bulkOutErr ? bulkOutErr : LIBUSB_ERROR_IO;
            bulkOutFailAfter = -1;
        }
        bulkOutTotal += n;
        if (fpgaAnnounced <= 0)
            violation("bulk OUT of %d bytes without an FPGA load request", len);
        if (fpgaAnnounced > 0) {
            fpgaReceived += n;
            if (fpgaImage.size() < (64u << 20))
                fpgaImage.insert(fpgaImage.end(), data, data + n);
        }
        *moved = n;
        addLog(EMU_LOG_BULK_OUT, 0, 0, 0, 0, ep, len, r, n, data, n);
        return r;
    }
};

Emu& E()
{
    static Emu* e = new Emu;  // never destroyed: outlives every static user
    return *e;
}

void requireInit(Emu& e, const char* fn)
{
    if (e.initRefs <= 0) {
        fprintf(stderr, "usbemu: %s called without libusb_init\n", fn);
        abort();
    }
}

}  // namespace

// ============================ libusb functions ============================
extern "C" {

int LIBUSB_CALL libusb_init(libusb_context** ctx)
{
    Emu& e = E();
    std::lock_guard<std::mutex> lk(e.m);
    if (e.failInit)
        return LIBUSB_ERROR_OTHER;
    ++e.initRefs;
    if (ctx)
        *ctx = &e.ctx;
    return 0;
}

void LIBUSB_CALL libusb_exit(libusb_context*)
{
    Emu& e = E();
    std::lock_guard<std::mutex> lk(e.m);
    if (e.initRefs > 0)
        --e.initRefs;
    if (e.initRefs == 0)
        e.eventThread = std::thread::id();
}

void LIBUSB_CALL libusb_set_debug(libusb_context*, int) {}

int LIBUSB_CALL libusb_set_option(libusb_context*, enum libusb_option, ...)
{
    return 0;
}

int LIBUSB_CALL libusb_has_capability(uint32_t)
{
    return 0;
}

const struct libusb_version* LIBUSB_CALL libusb_get_version(void)
{
    static const libusb_version v = {1, 0, 26, 0, "-emu", "instrument emulator"};
    return &v;
}

const char* LIBUSB_CALL libusb_error_name(int code)
{
    switch (code) {
    case LIBUSB_SUCCESS: return "LIBUSB_SUCCESS";
    case LIBUSB_ERROR_IO: return "LIBUSB_ERROR_IO";
    case LIBUSB_ERROR_INVALID_PARAM: return "LIBUSB_ERROR_INVALID_PARAM";
    case LIBUSB_ERROR_ACCESS: return "LIBUSB_ERROR_ACCESS";
    case LIBUSB_ERROR_NO_DEVICE: return "LIBUSB_ERROR_NO_DEVICE";
    case LIBUSB_ERROR_NOT_FOUND: return "LIBUSB_ERROR_NOT_FOUND";
    case LIBUSB_ERROR_BUSY: return "LIBUSB_ERROR_BUSY";
    case LIBUSB_ERROR_TIMEOUT: return "LIBUSB_ERROR_TIMEOUT";
    case LIBUSB_ERROR_OVERFLOW: return "LIBUSB_ERROR_OVERFLOW";
    case LIBUSB_ERROR_PIPE: return "LIBUSB_ERROR_PIPE";
    case LIBUSB_ERROR_INTERRUPTED: return "LIBUSB_ERROR_INTERRUPTED";
    case LIBUSB_ERROR_NO_MEM: return "LIBUSB_ERROR_NO_MEM";
    case LIBUSB_ERROR_NOT_SUPPORTED: return "LIBUSB_ERROR_NOT_SUPPORTED";
    default: return "LIBUSB_ERROR_OTHER";
    }
}

const char* LIBUSB_CALL libusb_strerror(int code)
{
    return libusb_error_name(code);
}

ssize_t LIBUSB_CALL libusb_get_device_list(libusb_context*, libusb_device*** list)
{
    Emu& e = E();
    std::lock_guard<std::mutex> lk(e.m);
    requireInit(e, "libusb_get_device_list");
    e.timers(Clock::now());
    if (e.eventThread == std::thread::id() || e.eventThread == std::this_thread::get_id())
        e.goneListed = true;
    auto** l = static_cast<libusb_device**>(calloc(e.bus.size() + 1, sizeof(libusb_device*)));
    if (!l)
        return LIBUSB_ERROR_NO_MEM;
    for (size_t i = 0; i < e.bus.size(); ++i) {
        l[i] = e.bus[i];
        ++l[i]->refs;
    }
    *list = l;
    return ssize_t(e.bus.size());
}

void LIBUSB_CALL libusb_free_device_list(libusb_device** list, int unref)
{
    if (!list)
        return;
    Emu& e = E();
    std::lock_guard<std::mutex> lk(e.m);
    if (unref)
        for (libusb_device** d = list; *d; ++d)
            e.unref(*d);
    free(list);
}

libusb_device* LIBUSB_CALL libusb_ref_device(libusb_device* dev)
{
    Emu& e = E();
    std::lock_guard<std::mutex> lk(e.m);
    ++dev->refs;
    return dev;
}

void LIBUSB_CALL libusb_unref_device(libusb_device* dev)
{
    if (!dev)
        return;
    Emu& e = E();
    std::lock_guard<std::mutex> lk(e.m);
    e.unref(dev);
}

int LIBUSB_CALL libusb_get_device_descriptor(libusb_device* dev, struct libusb_device_descriptor* desc)
{
    Emu& e = E();
    std::lock_guard<std::mutex> lk(e.m);
    const std::vector<uint8_t> d = e.deviceDesc(dev);
    desc->bLength = d[0];
    desc->bDescriptorType = d[1];
    desc->bcdUSB = uint16_t(d[2] | d[3] << 8);
    desc->bDeviceClass = d[4];
    desc->bDeviceSubClass = d[5];
    desc->bDeviceProtocol = d[6];
    desc->bMaxPacketSize0 = d[7];
    desc->idVendor = dev->vid;
    desc->idProduct = dev->pid;
    desc->bcdDevice = uint16_t(d[12] | d[13] << 8);
    desc->iManufacturer = d[14];
    desc->iProduct = d[15];
    desc->iSerialNumber = d[16];
    desc->bNumConfigurations = d[17];
    return 0;
}

uint8_t LIBUSB_CALL libusb_get_device_address(libusb_device* dev)
{
    Emu& e = E();
    std::lock_guard<std::mutex> lk(e.m);
    return uint8_t(dev->address);
}

uint8_t LIBUSB_CALL libusb_get_bus_number(libusb_device*)
{
    return 1;
}

uint8_t LIBUSB_CALL libusb_get_port_number(libusb_device*)
{
    return 1;
}

int LIBUSB_CALL libusb_get_device_speed(libusb_device* dev)
{
    Emu& e = E();
    std::lock_guard<std::mutex> lk(e.m);
    return dev->instrument && e.fwForm == EMU_DESC_FULL_SPEED ? LIBUSB_SPEED_FULL : LIBUSB_SPEED_HIGH;
}

libusb_device* LIBUSB_CALL libusb_get_device(libusb_device_handle* h)
{
    return h->dev;
}

int LIBUSB_CALL libusb_open(libusb_device* dev, libusb_device_handle** handle)
{
    Emu& e = E();
    std::lock_guard<std::mutex> lk(e.m);
    requireInit(e, "libusb_open");
    int r = 0;
    if (dev->gone)
        r = LIBUSB_ERROR_NO_DEVICE;
    else if (dev->instrument && e.openFails > 0) {
        --e.openFails;
        r = e.openErr;
    }
    e.addLog(EMU_LOG_OPEN, 0, 0, 0, 0, 0, 0, r, 0, nullptr, 0);
    if (r)
        return r;
    auto* h = new libusb_device_handle;
    h->dev = dev;
    ++dev->refs;
    *handle = h;
    return 0;
}

void LIBUSB_CALL libusb_close(libusb_device_handle* h)
{
    if (!h)
        return;
    Emu& e = E();
    std::lock_guard<std::mutex> lk(e.m);
    for (const Pending& p : e.pending)
        if (p.t->dev_handle == h) {
            fprintf(stderr, "usbemu: libusb_close with a transfer in flight\n");
            abort();
        }
    e.addLog(EMU_LOG_CLOSE, 0, 0, 0, 0, 0, 0, 0, 0, nullptr, 0);
    e.unref(h->dev);
    delete h;
}

int LIBUSB_CALL libusb_kernel_driver_active(libusb_device_handle* h, int)
{
    Emu& e = E();
    std::lock_guard<std::mutex> lk(e.m);
    if (h->dev->gone)
        return LIBUSB_ERROR_NO_DEVICE;
    return h->dev->instrument && e.kdActive ? 1 : 0;
}

int LIBUSB_CALL libusb_detach_kernel_driver(libusb_device_handle* h, int)
{
    Emu& e = E();
    std::lock_guard<std::mutex> lk(e.m);
    int r = h->dev->gone ? LIBUSB_ERROR_NO_DEVICE : (e.kdActive ? e.kdDetachErr : LIBUSB_ERROR_NOT_FOUND);
    if (r == 0)
        e.kdActive = false;
    e.addLog(EMU_LOG_DETACH, 0, 0, 0, 0, 0, 0, r, 0, nullptr, 0);
    return r;
}

int LIBUSB_CALL libusb_attach_kernel_driver(libusb_device_handle*, int)
{
    return LIBUSB_ERROR_NOT_SUPPORTED;
}

int LIBUSB_CALL libusb_set_auto_detach_kernel_driver(libusb_device_handle*, int)
{
    return LIBUSB_ERROR_NOT_SUPPORTED;
}

int LIBUSB_CALL libusb_claim_interface(libusb_device_handle* h, int iface)
{
    Emu& e = E();
    std::lock_guard<std::mutex> lk(e.m);
    const int r = h->dev->gone ? LIBUSB_ERROR_NO_DEVICE : e.claimErr;
    e.addLog(EMU_LOG_CLAIM, 0, 0, uint16_t(iface), 0, 0, 0, r, 0, nullptr, 0);
    return r;
}

int LIBUSB_CALL libusb_release_interface(libusb_device_handle* h, int iface)
{
    Emu& e = E();
    std::lock_guard<std::mutex> lk(e.m);
    const int r = h->dev->gone ? LIBUSB_ERROR_NO_DEVICE : 0;
    e.addLog(EMU_LOG_RELEASE, 0, 0, uint16_t(iface), 0, 0, 0, r, 0, nullptr, 0);
    return r;
}

int LIBUSB_CALL libusb_set_interface_alt_setting(libusb_device_handle* h, int iface, int alt)
{
    Emu& e = E();
    std::lock_guard<std::mutex> lk(e.m);
    const int r = h->dev->gone ? LIBUSB_ERROR_NO_DEVICE : e.altErr;
    e.addLog(EMU_LOG_ALT_SETTING, 0, 0, uint16_t(iface), uint16_t(alt), 0, 0, r, 0, nullptr, 0);
    return r;
}

int LIBUSB_CALL libusb_clear_halt(libusb_device_handle*, unsigned char)
{
    return 0;
}

int LIBUSB_CALL libusb_reset_device(libusb_device_handle*)
{
    return LIBUSB_ERROR_NOT_SUPPORTED;
}

int LIBUSB_CALL libusb_control_transfer(libusb_device_handle* h, uint8_t rt, uint8_t req, uint16_t val,
                                        uint16_t idx, unsigned char* data, uint16_t len, unsigned int)
{
    Emu& e = E();
    std::unique_lock<std::mutex> lk(e.m);
    if (e.held(rt, req, val)) {
        ++e.ctrlHeld;
        e.cv.wait(lk, [&] { return !e.held(rt, req, val); });
        --e.ctrlHeld;
    }
    return e.control(h, rt, req, val, idx, data, len);
}

int LIBUSB_CALL libusb_bulk_transfer(libusb_device_handle* h, unsigned char ep, unsigned char* data, int len,
                                     int* transferred, unsigned int timeout)
{
    Emu& e = E();
    std::unique_lock<std::mutex> lk(e.m);
    int moved = 0;
    int r;
    if (!(ep & 0x80)) {
        r = e.bulkOut(h, ep, data, len, &moved);
    } else {
        const auto start = Clock::now();
        const auto deadline = start + std::chrono::milliseconds(timeout);
        int status = LIBUSB_TRANSFER_ERROR;
        bool unplug = false;
        for (;;) {
            if (h->dev->gone) {
                status = LIBUSB_TRANSFER_NO_DEVICE;
                break;
            }
            const auto now = Clock::now();
            e.timers(now);
            if (e.tryIn(data, len, timeout > 0, deadline, now, &status, &moved, &unplug))
                break;
            e.cv.wait_until(lk, std::min(deadline, now + std::chrono::milliseconds(5)));
        }
        e.addLog(EMU_LOG_BULK_IN, 0, 0, 0, 0, ep, len, status, moved, data, std::min(moved, e.logInCap));
        if (unplug)
            e.unplug();
        r = status == LIBUSB_TRANSFER_COMPLETED ? 0
            : status == LIBUSB_TRANSFER_TIMED_OUT ? LIBUSB_ERROR_TIMEOUT
            : status == LIBUSB_TRANSFER_NO_DEVICE ? LIBUSB_ERROR_NO_DEVICE
                                                  : LIBUSB_ERROR_IO;
    }
    if (transferred)
        *transferred = moved;
    return r;
}

struct libusb_transfer* LIBUSB_CALL libusb_alloc_transfer(int iso_packets)
{
    const size_t n = sizeof(libusb_transfer) + size_t(std::max(iso_packets, 0)) * sizeof(libusb_iso_packet_descriptor);
    auto* t = static_cast<libusb_transfer*>(calloc(1, n));
    if (t)
        t->num_iso_packets = iso_packets;
    return t;
}

void LIBUSB_CALL libusb_free_transfer(struct libusb_transfer* t)
{
    if (!t)
        return;
    {
        Emu& e = E();
        std::lock_guard<std::mutex> lk(e.m);
        for (const Pending& p : e.pending)
            if (p.t == t) {
                fprintf(stderr, "usbemu: libusb_free_transfer of a transfer in flight\n");
                abort();
            }
    }
    if ((t->flags & LIBUSB_TRANSFER_FREE_BUFFER) && t->buffer)
        free(t->buffer);
    free(t);
}

int LIBUSB_CALL libusb_submit_transfer(struct libusb_transfer* t)
{
    Emu& e = E();
    std::lock_guard<std::mutex> lk(e.m);
    requireInit(e, "libusb_submit_transfer");
    if (!t->dev_handle)
        return LIBUSB_ERROR_INVALID_PARAM;
    if (t->dev_handle->dev->gone)
        return LIBUSB_ERROR_NO_DEVICE;
    for (const Pending& p : e.pending)
        if (p.t == t)
            return LIBUSB_ERROR_BUSY;
    t->actual_length = 0;
    const auto now = Clock::now();
    e.pending.push_back({t, now + std::chrono::milliseconds(t->timeout), t->timeout > 0, false});
    e.cv.notify_all();
    return 0;
}

int LIBUSB_CALL libusb_cancel_transfer(struct libusb_transfer* t)
{
    Emu& e = E();
    std::lock_guard<std::mutex> lk(e.m);
    for (Pending& p : e.pending)
        if (p.t == t && !p.cancelled) {
            p.cancelled = true;
            e.addLog(EMU_LOG_CANCEL, 0, 0, 0, 0, t->endpoint, t->length, 0, 0, nullptr, 0);
            e.cv.notify_all();
            return 0;
        }
    return LIBUSB_ERROR_NOT_FOUND;
}

static int handleEvents(const struct timeval* tv)
{
    Emu& e = E();
    std::vector<Done> done;
    {
        std::unique_lock<std::mutex> lk(e.m);
        requireInit(e, "libusb_handle_events");
        e.eventThread = std::this_thread::get_id();
        auto wait = std::chrono::milliseconds(e.eventWaitMs);
        if (tv) {
            const auto want = std::chrono::milliseconds(tv->tv_sec * 1000 + tv->tv_usec / 1000);
            wait = std::min(wait, want);
        }
        const auto until = Clock::now() + wait;
        for (;;) {
            const auto now = Clock::now();
            e.timers(now);
            bool unplug = false;
            std::map<int, bool> blocked;  // IN transfers complete in order per endpoint
            for (auto it = e.pending.begin(); it != e.pending.end();) {
                libusb_transfer* t = it->t;
                Done d{t, LIBUSB_TRANSFER_COMPLETED, 0};
                bool complete = false;
                if (it->cancelled) {
                    d.status = LIBUSB_TRANSFER_CANCELLED;
                    complete = true;
                } else if (t->dev_handle->dev->gone) {
                    d.status = LIBUSB_TRANSFER_NO_DEVICE;
                    complete = true;
                } else if (t->type == LIBUSB_TRANSFER_TYPE_CONTROL) {
                    auto* s = reinterpret_cast<libusb_control_setup*>(t->buffer);
                    const int r = e.control(t->dev_handle, s->bmRequestType, s->bRequest,
                                            libusb_le16_to_cpu(s->wValue), libusb_le16_to_cpu(s->wIndex),
                                            t->buffer + LIBUSB_CONTROL_SETUP_SIZE, libusb_le16_to_cpu(s->wLength));
                    d.status = r < 0 ? (r == LIBUSB_ERROR_PIPE ? LIBUSB_TRANSFER_STALL : LIBUSB_TRANSFER_ERROR)
                                     : LIBUSB_TRANSFER_COMPLETED;
                    d.actual = r < 0 ? 0 : r;
                    complete = true;
                } else if (!(t->endpoint & 0x80)) {
                    const int r = e.bulkOut(t->dev_handle, t->endpoint, t->buffer, t->length, &d.actual);
                    d.status = r == 0 ? LIBUSB_TRANSFER_COMPLETED : LIBUSB_TRANSFER_ERROR;
                    complete = true;
                } else if (!blocked[t->endpoint]) {
                    bool unp = false;
                    complete = e.tryIn(t->buffer, t->length, it->hasDeadline, it->deadline, now, &d.status,
                                       &d.actual, &unp);
                    if (complete) {
                        e.addLog(EMU_LOG_BULK_IN, 0, 0, 0, 0, t->endpoint, t->length, d.status, d.actual, t->buffer,
                                 std::min(d.actual, e.logInCap));
                        unplug = unplug || unp;
                    } else {
                        blocked[t->endpoint] = true;
                    }
                }
                if (complete) {
                    if (d.status != LIBUSB_TRANSFER_COMPLETED && (it->cancelled || t->dev_handle->dev->gone))
                        e.addLog(EMU_LOG_BULK_IN, 0, 0, 0, 0, t->endpoint, t->length, d.status, 0, nullptr, 0);
                    done.push_back(d);
                    it = e.pending.erase(it);
                } else {
                    ++it;
                }
            }
            if (unplug)
                e.unplug();
            if (!done.empty() || e.interrupt || e.busChanged || now >= until)
                break;
            auto next = until;
            for (const Pending& p : e.pending)
                if (p.hasDeadline)
                    next = std::min(next, p.deadline);
            if (e.reenumPending && e.goneListed)
                next = std::min(next, e.reenumAt);
            if (e.streamRate > 0 && e.src == Src::Stream)
                next = std::min(next, now + std::chrono::milliseconds(5));
            e.cv.wait_until(lk, next);
        }
        e.interrupt = false;
        e.busChanged = false;
    }
    for (const Done& d : done) {
        d.t->status = static_cast<libusb_transfer_status>(d.status);
        d.t->actual_length = d.actual;
        const bool freeIt = d.t->flags & LIBUSB_TRANSFER_FREE_TRANSFER;
        if (d.t->callback)
            d.t->callback(d.t);
        if (freeIt)
            libusb_free_transfer(d.t);
    }
    return 0;
}

int LIBUSB_CALL libusb_handle_events(libusb_context*)
{
    return handleEvents(nullptr);
}

int LIBUSB_CALL libusb_handle_events_completed(libusb_context*, int*)
{
    return handleEvents(nullptr);
}

int LIBUSB_CALL libusb_handle_events_timeout(libusb_context*, struct timeval* tv)
{
    return handleEvents(tv);
}

int LIBUSB_CALL libusb_handle_events_timeout_completed(libusb_context*, struct timeval* tv, int*)
{
    return handleEvents(tv);
}

void LIBUSB_CALL libusb_interrupt_event_handler(libusb_context*)
{
    Emu& e = E();
    std::lock_guard<std::mutex> lk(e.m);
    e.interrupt = true;
    ++e.interrupts;
    e.cv.notify_all();
}

// ============================ control API ============================

#define EMU_LOCK          \
    Emu& e = E();         \
    std::lock_guard<std::mutex> lk(e.m)

void emu_reset(void)
{
    EMU_LOCK;
    e.unplug();
    e.eventThread = std::thread::id();
    e.ctrlHold.direction = -2;
    e.cv.notify_all();
    while (!e.bus.empty()) {
        e.bus.back()->gone = true;
        e.unref(e.bus.back());
        e.bus.pop_back();
    }
    e.defaults();
}

void emu_set_ids(unsigned short vendor_id, unsigned short product_id)
{
    EMU_LOCK;
    e.vid = vendor_id;
    e.pid = product_id;
}

void emu_set_firmware_running(int running)
{
    EMU_LOCK;
    e.fwRunning = running != 0;
}

void emu_set_firmware_desc_form(int form)
{
    EMU_LOCK;
    e.fwForm = form;
}

void emu_set_boot_desc_form(int form)
{
    EMU_LOCK;
    e.bootForm = form;
}

void emu_set_bus_address(int address)
{
    EMU_LOCK;
    e.address = address;
}

void emu_set_config_descriptor(const unsigned char* bytes, int len)
{
    EMU_LOCK;
    e.useRawDesc = bytes != nullptr;
    e.rawDesc.assign(bytes, bytes ? bytes + len : bytes);
}

void emu_set_reenum_delay_ms(int ms)
{
    EMU_LOCK;
    e.reenumDelayMs = ms;
}

void emu_set_raw_form(int form)
{
    EMU_LOCK;
    e.form = form;
}

void emu_set_memory(long long bytes)
{
    EMU_LOCK;
    e.memBytes = bytes > 0 ? bytes : 1;
}

void emu_set_memory_base(long long byte_offset)
{
    EMU_LOCK;
    e.memBase = byte_offset;
}

void emu_set_device_id(const unsigned char id[8])
{
    EMU_LOCK;
    memcpy(e.devId, id, 8);
}

void emu_plug(void)
{
    EMU_LOCK;
    e.plug();
}

void emu_unplug(void)
{
    EMU_LOCK;
    e.unplug();
}

int emu_is_plugged(void)
{
    EMU_LOCK;
    e.timers(Clock::now(), true);
    return e.inst != nullptr;
}

int emu_bus_address(void)
{
    EMU_LOCK;
    return e.inst ? e.inst->address : -1;
}

void emu_add_foreign(unsigned short vendor_id, unsigned short product_id)
{
    EMU_LOCK;
    auto* d = new libusb_device;
    d->vid = vendor_id;
    d->pid = product_id;
    d->address = 100 + int(e.bus.size());
    e.bus.insert(e.bus.begin(), d);  // listed before the instrument
    e.busChanged = true;
    e.cv.notify_all();
}

int emu_device_count(void)
{
    EMU_LOCK;
    e.timers(Clock::now(), true);
    return int(e.bus.size());
}

void emu_eeprom_write(int address, const unsigned char* bytes, int len)
{
    EMU_LOCK;
    for (int i = 0; i < len; ++i)
        if (address + i >= 0 && address + i < 256)
            e.eeprom[address + i] = bytes[i];
}

void emu_eeprom_read(int address, unsigned char* bytes, int len)
{
    EMU_LOCK;
    for (int i = 0; i < len; ++i)
        bytes[i] = address + i >= 0 && address + i < 256 ? e.eeprom[address + i] : 0xFF;
}

void emu_set_model_record(int code, int subversion)
{
    EMU_LOCK;
    e.setModelRecord(code, subversion);
}

void emu_set_model(int code, int subversion)
{
    EMU_LOCK;
    e.setModel(code, subversion);
}

void emu_set_batch(unsigned short batch)
{
    EMU_LOCK;
    e.setBatch(batch);
}

int emu_ram_read(unsigned int address, unsigned char* bytes, int len)
{
    EMU_LOCK;
    int found = 0;
    for (int i = 0; i < len; ++i) {
        auto it = e.ram.find(address + unsigned(i));
        bytes[i] = it == e.ram.end() ? 0 : it->second;
        found += it != e.ram.end();
    }
    return found;
}

int emu_ram_bytes_written(void)
{
    EMU_LOCK;
    return e.ramWritten;
}

int emu_firmware_starts(void)
{
    EMU_LOCK;
    return e.fwStarts;
}

void emu_set_fpga_load_result(int result)
{
    EMU_LOCK;
    e.fpgaResult = result;
}

long long emu_fpga_bytes_received(void)
{
    EMU_LOCK;
    return e.fpgaReceived;
}

long long emu_fpga_size_announced(void)
{
    EMU_LOCK;
    return e.fpgaAnnounced;
}

int emu_fpga_running(void)
{
    EMU_LOCK;
    return e.fpgaRunning;
}

void emu_set_status_override(int word)
{
    EMU_LOCK;
    e.statusOverride = word;
}

int emu_reg_get(int reg, unsigned char* bytes, int maxlen)
{
    EMU_LOCK;
    auto it = e.regs.find(reg);
    if (it == e.regs.end())
        return 0;
    const int n = std::min(maxlen, int(it->second.size()));
    if (n > 0)
        memcpy(bytes, it->second.data(), size_t(n));
    return int(it->second.size());
}

int emu_reg_write_count(int reg)
{
    EMU_LOCK;
    auto it = e.regWrites.find(reg);
    return it == e.regWrites.end() ? 0 : it->second;
}

void emu_set_live_levels(const unsigned char* bytes, int len)
{
    EMU_LOCK;
    e.live.assign(bytes, bytes + len);
}

void emu_script_clear(long long samples)
{
    EMU_LOCK;
    e.script = Script();
    e.script.samples = samples;
    e.analog.clear();
    e.hasAnalog = false;
}

void emu_script_channel(int ch, int init_level, const long long* edges, int n)
{
    EMU_LOCK;
    if (ch < 0 || ch >= 32)
        return;
    Script::Chn& c = e.script.chn[size_t(ch)];
    c.init = init_level ? 1 : 0;
    c.halfPeriod = 0;
    c.edges.assign(edges, edges + n);
    normaliseEdges(c.edges);
}

int emu_script_load(const char* path)
{
    EMU_LOCK;
    return e.loadScript(path) ? 1 : 0;
}

void emu_script_square(int ch, long long half_period)
{
    EMU_LOCK;
    if (ch < 0 || ch >= 32)
        return;
    Script::Chn& c = e.script.chn[size_t(ch)];
    c.init = 0;
    c.edges.clear();
    c.halfPeriod = half_period;
}

void emu_script_analog(const signed char* bytes, int len, int trigger_index)
{
    EMU_LOCK;
    e.analog.assign(reinterpret_cast<const uint8_t*>(bytes), reinterpret_cast<const uint8_t*>(bytes) + len);
    e.hasAnalog = true;
    e.analogTrg = trigger_index;
}

void emu_set_buffer_phases(int pre, int wait, int triggered)
{
    EMU_LOCK;
    e.phasePre = pre;
    e.phaseWait = wait;
    e.phaseTrig = triggered;
}

void emu_set_stream_rate(long long bytes_per_second)
{
    EMU_LOCK;
    e.streamRate = bytes_per_second;
}

long long emu_stream_bytes(void)
{
    EMU_LOCK;
    return e.streamDelivered;
}

int emu_stream_running(void)
{
    EMU_LOCK;
    return e.streamArmed || (e.src == Src::Stream && !e.srcEnded);
}

long long emu_capture_trigger(void)
{
    EMU_LOCK;
    return e.capTrigger;
}

void emu_set_event_wait_ms(int ms)
{
    EMU_LOCK;
    e.eventWaitMs = ms;
}

int emu_interrupts(void)
{
    EMU_LOCK;
    return e.interrupts;
}

int emu_init_refs(void)
{
    EMU_LOCK;
    return e.initRefs;
}

void emu_fail_init(int fail)
{
    EMU_LOCK;
    e.failInit = fail != 0;
}

void emu_fail_open(int attempts, int err)
{
    EMU_LOCK;
    e.openFails = attempts;
    e.openErr = err;
}

void emu_set_kernel_driver(int active, int detach_err)
{
    EMU_LOCK;
    e.kdActive = active != 0;
    e.kdDetachErr = detach_err;
}

void emu_fail_claim(int err)
{
    EMU_LOCK;
    e.claimErr = err;
}

void emu_hold_control(int direction, int request, int value)
{
    EMU_LOCK;
    e.ctrlHold = {direction, request, value, 0, 0, 0};
}

void emu_release_control(void)
{
    EMU_LOCK;
    e.ctrlHold.direction = -2;
    e.cv.notify_all();
}

int emu_held_controls(void)
{
    EMU_LOCK;
    return e.ctrlHeld;
}

void emu_fail_alt_setting(int err)
{
    EMU_LOCK;
    e.altErr = err;
}

void emu_fail_control(int direction, int request, int value, int skip, int count, int result)
{
    EMU_LOCK;
    e.ctrlFaults.push_back({direction, request, value, skip, count, result});
}

void emu_fail_bulk_out(long long after_bytes, int err)
{
    EMU_LOCK;
    e.bulkOutFailAfter = e.bulkOutTotal + after_bytes;
    e.bulkOutErr = err;
}

void emu_fail_record(int fault, int index)
{
    EMU_LOCK;
    e.recFault = fault;
    e.recFaultIndex = index;
}

long long emu_fpga_image(unsigned char* bytes, long long maxlen)
{
    EMU_LOCK;
    const long long n = std::min<long long>(maxlen, (long long)e.fpgaImage.size());
    if (n > 0)
        memcpy(bytes, e.fpgaImage.data(), size_t(n));
    return (long long)e.fpgaImage.size();
}

void emu_fail_bulk_in(int fault, long long after_bytes)
{
    EMU_LOCK;
    e.inFault = fault;
    e.inFaultAt = e.inDelivered + after_bytes;
    e.cv.notify_all();
}

int emu_log_count(void)
{
    EMU_LOCK;
    return int(e.log.size());
}

int emu_log_get(int index, emu_log_entry* out)
{
    EMU_LOCK;
    if (index < 0 || size_t(index) >= e.log.size())
        return 0;
    LogRec& r = e.log[size_t(index)];
    *out = r.e;
    out->data = r.data.empty() ? nullptr : r.data.data();
    out->data_len = int(r.data.size());
    return 1;
}

void emu_log_clear(void)
{
    EMU_LOCK;
    e.log.clear();
    e.violations.clear();
}

int emu_protocol_violations(char* last, int len)
{
    EMU_LOCK;
    if (last && len > 0) {
        last[0] = 0;
        if (!e.violations.empty())
            snprintf(last, size_t(len), "%s", e.violations.back().c_str());
    }
    return int(e.violations.size());
}

void emu_set_log_in_cap(int bytes)
{
    EMU_LOCK;
    e.logInCap = bytes;
}

}  // extern "C"
