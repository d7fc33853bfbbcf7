#!/usr/bin/env python3
"""End-to-end driver, run under xvfb-run by tst_e2e: starts the program with
the instrument emulator in place of libusb, waits until start-up has
connected the instrument (controller firmware, re-enumeration, FPGA), presses
F5 for one single capture, waits until it has been read out and drawn in the
waveform area, and closes the program with SIGTERM. The test then judges the
emulator's log and the settings the program saved.

usage: e2e_single_capture.py PROGRAM EMULATOR_DIR WORK_DIR [SCREENSHOT.png]
"""
import os
import signal
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import xdisplay  # noqa: E402

program, emu_dir, work = sys.argv[1:4]
shot = sys.argv[4] if len(sys.argv) > 4 else None
log = os.path.join(work, "emu.log")
script = os.path.join(work, "capture.script")
with open(script, "w") as f:
    f.write("samples 100000000\nsquare 0 1000\nsquare 1 5000\n")
data_home = os.path.join(work, "data")
os.makedirs(os.path.join(data_home, "vormel"), exist_ok=True)
with open(os.path.join(data_home, "vormel", "tav.config"), "w") as f:
    # No update request leaves the machine.
    f.write('<?xml version="1.0"?><settings><global><version>3.5.0</version>'
            '<disAutoUpdate>1</disAutoUpdate><windowPosition>40,40,1400,860</windowPosition>'
            '</global><devices/><analyzers/></settings>')
env = dict(os.environ)
env.update({
    "LD_LIBRARY_PATH": emu_dir,
    "TAV_EMU_PRODUCT": "0x01A2",
    "TAV_EMU_FIRMWARE": "0",
    "TAV_EMU_REENUM_MS": "100",
    "TAV_EMU_LOG": log,
    "TAV_EMU_SCRIPT": script,
    "HOME": os.path.join(work, "home"),
    "XDG_DATA_HOME": data_home,
})
env.pop("QT_QPA_PLATFORM", None)   # the X server of xvfb-run
# The X session's system libraries (D-Bus) keep allocations until exit.
env.setdefault("ASAN_OPTIONS", "detect_leaks=0")


def lines():
    try:
        with open(log) as f:
            return f.read().splitlines()
    except OSError:
        return []


def connected(ls):
    # The bulk path reset after the device ID read ends a start-up.
    ids = [i for i, l in enumerate(ls) if " req=60 " in l and l.startswith("CTRL rt=c0")]
    return bool(ids) and any(" req=38 " in l for l in ls[ids[-1]:])


def capture_started(ls):
    return any(l.startswith("CTRL rt=40 req=20 val=0000") and l.endswith(": 03") for l in ls)


def capture_done(ls):
    # A run ends with the stop request after its read-out.
    bulk = [i for i, l in enumerate(ls) if l.startswith("BULK_IN")]
    return bool(bulk) and any(l.startswith("CTRL rt=40 req=20 val=0000") and l.endswith(": 00")
                              for l in ls[bulk[-1]:])


def traces(display):
    w, h, rows = display.grab()
    return xdisplay.count(rows, xdisplay.wave_area(display.largest_window()), xdisplay.is_trace)


out = open(os.path.join(work, "program.out"), "w")
proc = subprocess.Popen([program], env=env, stdout=out, stderr=subprocess.STDOUT)
status = "ok"
try:
    if not xdisplay.wait(lambda: connected(lines()), 60):
        status = "not connected"
    else:
        d = xdisplay.Display()
        time.sleep(0.5)   # the window handles the connection
        area = xdisplay.wave_area(d.largest_window())
        d.move((area[0] + area[2]) // 2, (area[1] + area[3]) // 2)
        before = traces(d)
        for attempt in range(5):
            d.press(xdisplay.KEY_F5)
            if xdisplay.wait(lambda: capture_started(lines()), 3):
                break
        if not capture_started(lines()):
            status = "no capture started"
        elif not xdisplay.wait(lambda: capture_done(lines()), 60):
            status = "capture not finished"
        elif before != 0:
            status = "traces before the capture: %d" % before
        elif not xdisplay.wait(lambda: traces(d) > 1000, 20):
            status = "capture not drawn"
        if shot:
            xdisplay.write_png(shot, *d.grab())
finally:
    proc.send_signal(signal.SIGTERM)
    try:
        code = proc.wait(30)
    except subprocess.TimeoutExpired:
        proc.kill()
        code = -1
print(status)
print("exit", code)
sys.exit(0 if status == "ok" and code == 0 else 1)
