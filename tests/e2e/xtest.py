"""Real input for the SDL build under Xvfb: key presses, mouse buttons, wheel
steps and pointer motion through the X server's XTEST extension, so they take
SDL's whole input path. No window manager runs: the focus follows the pointer."""

import ctypes

from e2e_support import fail


class FakeInput:
    XK_RIGHT = 0xFF53
    XK_SPACE = 0x20
    XK_A = 0x61
    XK_ESCAPE = 0xFF1B

    def __init__(self, display):
        self.x11 = ctypes.CDLL("libX11.so.6")
        self.xtest = ctypes.CDLL("libXtst.so.6")
        self.x11.XOpenDisplay.restype = ctypes.c_void_p
        self.x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
        self.x11.XKeysymToKeycode.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
        self.x11.XKeysymToKeycode.restype = ctypes.c_ubyte
        self.x11.XFlush.argtypes = [ctypes.c_void_p]
        self.x11.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
        self.x11.XCloseDisplay.argtypes = [ctypes.c_void_p]
        self.xtest.XTestFakeKeyEvent.argtypes = [ctypes.c_void_p, ctypes.c_uint, ctypes.c_int, ctypes.c_ulong]
        self.xtest.XTestFakeButtonEvent.argtypes = [ctypes.c_void_p, ctypes.c_uint, ctypes.c_int, ctypes.c_ulong]
        self.xtest.XTestFakeMotionEvent.argtypes = [ctypes.c_void_p, ctypes.c_int, ctypes.c_int, ctypes.c_int,
                                                    ctypes.c_ulong]
        self.display = self.x11.XOpenDisplay(display.encode())
        if not self.display:
            fail("cannot open " + display + " for input")

    def _flush(self):
        self.x11.XSync(self.display, 0)

    def key(self, keysym, down):
        keycode = self.x11.XKeysymToKeycode(self.display, keysym)
        self.xtest.XTestFakeKeyEvent(self.display, keycode, 1 if down else 0, 0)
        self._flush()

    def tap(self, keysym):
        """Press and release with nothing in between: both land between two frames."""
        keycode = self.x11.XKeysymToKeycode(self.display, keysym)
        self.xtest.XTestFakeKeyEvent(self.display, keycode, 1, 0)
        self.xtest.XTestFakeKeyEvent(self.display, keycode, 0, 0)
        self._flush()

    def button(self, number, down):
        """X buttons: 1 left, 2 middle, 3 right, 4 and 5 the wheel up and down."""
        self.xtest.XTestFakeButtonEvent(self.display, number, 1 if down else 0, 0)
        self._flush()

    def move(self, x, y):
        self.xtest.XTestFakeMotionEvent(self.display, -1, x, y, 0)
        self._flush()

    def close(self):
        self.x11.XCloseDisplay(self.display)
