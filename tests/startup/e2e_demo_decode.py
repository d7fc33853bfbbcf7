#!/usr/bin/env python3
"""End-to-end driver, run under xvfb-run by tst_e2e: the program without an
instrument (the emulator stands in for libusb with an empty bus), its
settings holding the UART analyzer on channel 0. F5 takes a demo capture;
the driver waits until the waveform area shows the traces and the decoded
UART bubbles (outlined in channel 0's colour), then places the timing
markers A1 and A2 as a user does (digit key, click) and closes the program
with SIGTERM.

usage: e2e_demo_decode.py PROGRAM EMULATOR_DIR WORK_DIR [SCREENSHOT.png]
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
data_home = os.path.join(work, "data")
os.makedirs(os.path.join(data_home, "vormel"), exist_ok=True)
with open(os.path.join(data_home, "vormel", "tav.config"), "w") as f:
    # 10 MHz, 20000 samples, the whole capture in view; UART with its
    # defaults (channel 0, 115200 bit/s).
    f.write('<?xml version="1.0"?><settings><global><version>3.5.0</version><devModel>0</devModel>'
            '<disAutoUpdate>1</disAutoUpdate><viewState>2</viewState>'
            '<windowPosition>40,40,1400,860</windowPosition></global>'
            '<devices><Demo><smpFrequ>10000</smpFrequ><smpDepth>20</smpDepth></Demo></devices>'
            '<analyzers><item0><fileName>libUART.so</fileName><parameters/><format>2</format></item0>'
            '</analyzers></settings>')
env = dict(os.environ)
env.update({
    "LD_LIBRARY_PATH": emu_dir,
    "HOME": os.path.join(work, "home"),
    "XDG_DATA_HOME": data_home,
})
env.pop("TAV_EMU_PRODUCT", None)   # nothing on the bus
env.pop("QT_QPA_PLATFORM", None)
env.setdefault("ASAN_OPTIONS", "detect_leaks=0")


out = open(os.path.join(work, "program.out"), "w")
proc = subprocess.Popen([program], env=env, stdout=out, stderr=subprocess.STDOUT)
status = "ok"
counts = {}
try:
    d = xdisplay.Display()
    if not xdisplay.wait(lambda: (d.largest_window() or (0, 0, 0, 0, 0))[3] >= 800, 30):
        raise RuntimeError("no window")
    time.sleep(0.5)
    area = xdisplay.wave_area(d.largest_window())

    def look():
        w, h, rows = d.grab()
        counts["traces"] = xdisplay.count(rows, area, xdisplay.is_trace)
        counts["bubbles"] = xdisplay.count(rows, area, xdisplay.is_channel0)
        return counts["traces"] > 1000 and counts["bubbles"] > 200

    d.move((area[0] + area[2]) // 2, (area[1] + area[3]) // 2)
    look()
    if counts["traces"] or counts["bubbles"]:
        status = "drawn before the capture: %s" % counts
    else:
        for attempt in range(5):
            d.press(xdisplay.KEY_F5)
            if xdisplay.wait(look, 10):
                break
        if not look():
            status = "no decoded capture drawn: %s" % counts
    # Timing markers A1 and A2: the digit picks one up, a click sets it.
    span = area[2] - area[0]
    for key, frac in ((xdisplay.KEY_1, 0.3), (xdisplay.KEY_2, 0.6)):
        x, y = area[0] + int(span * frac), (area[1] + area[3]) // 2
        d.move(x - 20, y)
        d.press(key)
        d.move(x, y)
        time.sleep(0.3)
        d.click(x, y)
        time.sleep(0.3)
    if shot:
        xdisplay.write_png(shot, *d.grab())
except RuntimeError as e:
    status = str(e)
finally:
    proc.send_signal(signal.SIGTERM)
    try:
        code = proc.wait(30)
    except subprocess.TimeoutExpired:
        proc.kill()
        code = -1
print(status, counts)
print("exit", code)
sys.exit(0 if status == "ok" and code == 0 else 1)
