"""What the end-to-end drivers do on the X server of xvfb-run, through the
X11 and XTest client libraries: find the program's window, press keys as a
user does, and read back what is on the screen (and write it as PNG)."""
import ctypes
import struct
import time
import zlib

_x = ctypes.cdll.LoadLibrary("libX11.so.6")
_t = ctypes.cdll.LoadLibrary("libXtst.so.6")
_vp, _ul, _ui, _ci = ctypes.c_void_p, ctypes.c_ulong, ctypes.c_uint, ctypes.c_int


class _XImage(ctypes.Structure):
    _fields_ = [("width", _ci), ("height", _ci), ("xoffset", _ci), ("format", _ci),
                ("data", ctypes.POINTER(ctypes.c_ubyte)), ("byte_order", _ci), ("bitmap_unit", _ci),
                ("bitmap_bit_order", _ci), ("bitmap_pad", _ci), ("depth", _ci), ("bytes_per_line", _ci),
                ("bits_per_pixel", _ci), ("red_mask", _ul), ("green_mask", _ul), ("blue_mask", _ul)]


_x.XOpenDisplay.restype = _vp
_x.XOpenDisplay.argtypes = [ctypes.c_char_p]
_x.XDefaultRootWindow.restype = _ul
_x.XDefaultRootWindow.argtypes = [_vp]
_x.XQueryTree.argtypes = [_vp, _ul, ctypes.POINTER(_ul), ctypes.POINTER(_ul),
                          ctypes.POINTER(ctypes.POINTER(_ul)), ctypes.POINTER(_ui)]
_x.XGetGeometry.argtypes = [_vp, _ul, ctypes.POINTER(_ul), ctypes.POINTER(_ci), ctypes.POINTER(_ci),
                            ctypes.POINTER(_ui), ctypes.POINTER(_ui), ctypes.POINTER(_ui), ctypes.POINTER(_ui)]
_x.XSetInputFocus.argtypes = [_vp, _ul, _ci, _ul]
_x.XKeysymToKeycode.argtypes = [_vp, _ul]
_x.XSync.argtypes = [_vp, _ci]
_x.XGetImage.restype = ctypes.POINTER(_XImage)
_x.XGetImage.argtypes = [_vp, _ul, _ci, _ci, _ui, _ui, _ul, _ci]
_x.XFree.argtypes = [_vp]
_t.XTestFakeKeyEvent.argtypes = [_vp, _ui, _ci, _ul]
_t.XTestFakeMotionEvent.argtypes = [_vp, _ci, _ci, _ci, _ul]
_t.XTestFakeButtonEvent.argtypes = [_vp, _ui, _ci, _ul]
_handler_t = ctypes.CFUNCTYPE(_ci, _vp, _vp)
_keep = _handler_t(lambda d, e: 0)
_x.XSetErrorHandler(_keep)

KEY_F5 = 0xFFC2
KEY_1 = 0x31
KEY_2 = 0x32
KEY_CONTROL_L = 0xFFE3


class Display:
    def __init__(self):
        self.d = _x.XOpenDisplay(None)
        self.root = _x.XDefaultRootWindow(self.d)

    def largest_window(self):
        """The biggest top-level window: (id, x, y, width, height), or None."""
        r, p, n = _ul(), _ul(), _ui()
        children = ctypes.POINTER(_ul)()
        _x.XQueryTree(self.d, self.root, ctypes.byref(r), ctypes.byref(p), ctypes.byref(children),
                      ctypes.byref(n))
        best = None
        for i in range(n.value):
            gx, gy, gw, gh, bw, dp = _ci(), _ci(), _ui(), _ui(), _ui(), _ui()
            _x.XGetGeometry(self.d, children[i], ctypes.byref(r), ctypes.byref(gx), ctypes.byref(gy),
                            ctypes.byref(gw), ctypes.byref(gh), ctypes.byref(bw), ctypes.byref(dp))
            if best is None or gw.value * gh.value > best[3] * best[4]:
                best = (children[i], gx.value, gy.value, gw.value, gh.value)
        return best

    def press(self, keysym, modifier=None):
        """Focuses the program's window and presses a key (with a held
        modifier); the pointer stays where it is."""
        win, wx, wy, ww, wh = self.largest_window()
        _x.XSetInputFocus(self.d, win, 2, 0)
        _x.XSync(self.d, 0)
        mod = _x.XKeysymToKeycode(self.d, modifier) if modifier else None
        kc = _x.XKeysymToKeycode(self.d, keysym)
        if mod:
            _t.XTestFakeKeyEvent(self.d, mod, 1, 0)
        _t.XTestFakeKeyEvent(self.d, kc, 1, 0)
        _t.XTestFakeKeyEvent(self.d, kc, 0, 0)
        if mod:
            _t.XTestFakeKeyEvent(self.d, mod, 0, 0)
        _x.XSync(self.d, 0)

    def move(self, x, y):
        _t.XTestFakeMotionEvent(self.d, -1, x, y, 0)
        _x.XSync(self.d, 0)

    def click(self, x, y):
        """A left click at screen position x, y without moving in between."""
        self.move(x, y)
        _t.XTestFakeButtonEvent(self.d, 1, 1, 0)
        _t.XTestFakeButtonEvent(self.d, 1, 0, 0)
        _x.XSync(self.d, 0)

    def grab(self):
        """The whole screen as (width, height, rows of (r, g, b) tuples)."""
        gx, gy, gw, gh, bw, dp = _ci(), _ci(), _ui(), _ui(), _ui(), _ui()
        r = _ul()
        _x.XGetGeometry(self.d, self.root, ctypes.byref(r), ctypes.byref(gx), ctypes.byref(gy),
                        ctypes.byref(gw), ctypes.byref(gh), ctypes.byref(bw), ctypes.byref(dp))
        w, h = gw.value, gh.value
        img = _x.XGetImage(self.d, self.root, 0, 0, w, h, 0xFFFFFFFF, 2)   # ZPixmap
        im = img.contents
        if im.bits_per_pixel != 32:
            raise RuntimeError("unexpected screen depth")
        raw = ctypes.string_at(im.data, im.bytes_per_line * h)
        stride = im.bytes_per_line
        rows = []
        for y in range(h):
            line = raw[y * stride:y * stride + 4 * w]
            rows.append([(line[4 * i + 2], line[4 * i + 1], line[4 * i]) for i in range(w)])
        return w, h, rows


def write_png(path, w, h, rows):
    body = b"".join(b"\x00" + bytes(c for px in row for c in px) for row in rows)

    def chunk(tag, data):
        return struct.pack(">I", len(data)) + tag + data + struct.pack(">I", zlib.crc32(tag + data) & 0xFFFFFFFF)

    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 2, 0, 0, 0)) +
                chunk(b"IDAT", zlib.compress(body, 6)) + chunk(b"IEND", b""))


def count(rows, box, pred):
    """Pixels inside box (x0, y0, x1, y1) for which pred((r, g, b)) holds."""
    x0, y0, x1, y1 = box
    return sum(1 for y in range(max(0, y0), min(len(rows), y1)) for px in rows[y][max(0, x0):x1] if pred(px))


def wave_area(window):
    """The waveform area of the main window (x0, y0, x1, y1): right of the
    channel column, below the ruler, above the status row, left of the side
    panel."""
    _, wx, wy, ww, wh = window
    return (wx + 2 + 196 + 8, wy + 48 + 44, wx + ww - 2 - 240 - 8, wy + wh - 2 - 20 - 4)


def is_trace(px):
    return min(px) >= 240


def is_channel0(px):
    return px == (223, 31, 223)


def wait(pred, seconds):
    """Polls pred until it holds (True) or the seconds are over (False)."""
    end = time.time() + seconds
    while time.time() < end:
        if pred():
            return True
        time.sleep(0.05)
    return False
