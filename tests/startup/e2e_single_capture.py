#!/usr/bin/env python3
"""End-to-end driver, run under xvfb-run by tst_e2e: starts the program with
the instrument emulator in place of libusb, waits until start-up has
connected the instrument (controller firmware, re-enumeration, FPGA), presses
F5 for one single capture, waits until it has been read out, and closes the
program with SIGTERM. The test then judges the emulator's log and the
settings the program saved.

usage: e2e_single_capture.py PROGRAM EMULATOR_DIR WORK_DIR
"""
import ctypes
import os
import signal
import subprocess
import sys
import time

program, emu_dir, work = sys.argv[1:4]
log = os.path.join(work, "emu.log")
script = os.path.join(work, "capture.script")
with open(script, "w") as f:
    f.write("samples 100000000\nsquare 0 1000\nsquare 1 5000\n")
env = dict(os.environ)
env.update({
    "LD_LIBRARY_PATH": emu_dir,
    "TAV_EMU_PRODUCT": "0x01A2",
    "TAV_EMU_FIRMWARE": "0",
    "TAV_EMU_REENUM_MS": "100",
    "TAV_EMU_LOG": log,
    "TAV_EMU_SCRIPT": script,
    "HOME": os.path.join(work, "home"),
    "XDG_DATA_HOME": os.path.join(work, "data"),
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


def wait(pred, seconds):
    end = time.time() + seconds
    while time.time() < end:
        if pred(lines()):
            return True
        time.sleep(0.05)
    return False


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


def press_f5():
    x = ctypes.cdll.LoadLibrary("libX11.so.6")
    t = ctypes.cdll.LoadLibrary("libXtst.so.6")
    vp, ul, ui, ci = ctypes.c_void_p, ctypes.c_ulong, ctypes.c_uint, ctypes.c_int
    x.XOpenDisplay.restype = vp
    x.XOpenDisplay.argtypes = [ctypes.c_char_p]
    x.XDefaultRootWindow.restype = ul
    x.XDefaultRootWindow.argtypes = [vp]
    x.XQueryTree.argtypes = [vp, ul, ctypes.POINTER(ul), ctypes.POINTER(ul),
                             ctypes.POINTER(ctypes.POINTER(ul)), ctypes.POINTER(ui)]
    x.XGetGeometry.argtypes = [vp, ul, ctypes.POINTER(ul), ctypes.POINTER(ci), ctypes.POINTER(ci),
                               ctypes.POINTER(ui), ctypes.POINTER(ui), ctypes.POINTER(ui), ctypes.POINTER(ui)]
    x.XSetInputFocus.argtypes = [vp, ul, ci, ul]
    x.XKeysymToKeycode.argtypes = [vp, ul]
    x.XSync.argtypes = [vp, ci]
    t.XTestFakeKeyEvent.argtypes = [vp, ui, ci, ul]
    t.XTestFakeMotionEvent.argtypes = [vp, ci, ci, ci, ul]
    handler_t = ctypes.CFUNCTYPE(ci, vp, vp)
    keep = handler_t(lambda d, e: 0)
    x.XSetErrorHandler(keep)
    d = x.XOpenDisplay(None)
    root = x.XDefaultRootWindow(d)
    r, p, n = ul(), ul(), ui()
    children = ctypes.POINTER(ul)()
    x.XQueryTree(d, root, ctypes.byref(r), ctypes.byref(p), ctypes.byref(children), ctypes.byref(n))
    best = None
    for i in range(n.value):
        gx, gy, gw, gh, bw, dp = ci(), ci(), ui(), ui(), ui(), ui()
        x.XGetGeometry(d, children[i], ctypes.byref(r), ctypes.byref(gx), ctypes.byref(gy), ctypes.byref(gw),
                       ctypes.byref(gh), ctypes.byref(bw), ctypes.byref(dp))
        if best is None or gw.value * gh.value > best[3] * best[4]:
            best = (children[i], gx.value, gy.value, gw.value, gh.value)
    win, wx, wy, ww, wh = best
    t.XTestFakeMotionEvent(d, -1, wx + ww // 2, wy + wh // 2, 0)
    x.XSetInputFocus(d, win, 2, 0)
    x.XSync(d, 0)
    kc = x.XKeysymToKeycode(d, 0xFFC2)   # F5
    t.XTestFakeKeyEvent(d, kc, 1, 0)
    t.XTestFakeKeyEvent(d, kc, 0, 0)
    x.XSync(d, 0)


out = open(os.path.join(work, "program.out"), "w")
proc = subprocess.Popen([program], env=env, stdout=out, stderr=subprocess.STDOUT)
status = "ok"
try:
    if not wait(connected, 60):
        status = "not connected"
    else:
        time.sleep(0.5)   # the window handles the connection
        for attempt in range(5):
            press_f5()
            if wait(capture_started, 3):
                break
        if not capture_started(lines()):
            status = "no capture started"
        elif not wait(capture_done, 60):
            status = "capture not finished"
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
