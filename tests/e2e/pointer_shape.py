#!/usr/bin/python3
"""Prints a fingerprint of the pointer's picture as the X server shows it now (XFixes): two
pictures that look the same give the same line. The display is DISPLAY.

Usage: pointer_shape.py
"""

import ctypes
import hashlib
import sys


class CursorImage(ctypes.Structure):
    _fields_ = [
        ("x", ctypes.c_short),
        ("y", ctypes.c_short),
        ("width", ctypes.c_ushort),
        ("height", ctypes.c_ushort),
        ("xhot", ctypes.c_ushort),
        ("yhot", ctypes.c_ushort),
        ("cursor_serial", ctypes.c_ulong),
        ("pixels", ctypes.POINTER(ctypes.c_ulong)),
        ("atom", ctypes.c_ulong),
        ("name", ctypes.c_char_p),
    ]


def main():
    x11 = ctypes.CDLL("libX11.so.6")
    xfixes = ctypes.CDLL("libXfixes.so.3")
    x11.XOpenDisplay.restype = ctypes.c_void_p
    x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
    x11.XFree.argtypes = [ctypes.c_void_p]
    x11.XCloseDisplay.argtypes = [ctypes.c_void_p]
    xfixes.XFixesGetCursorImage.restype = ctypes.POINTER(CursorImage)
    xfixes.XFixesGetCursorImage.argtypes = [ctypes.c_void_p]
    display = x11.XOpenDisplay(None)
    if not display:
        sys.exit("pointer_shape.py: cannot open the display")
    image = xfixes.XFixesGetCursorImage(display)
    if not image:
        sys.exit("pointer_shape.py: the X server shows no pointer picture")
    picture = image.contents
    # Each pixel is an ARGB value in an unsigned long.
    pixels = [picture.pixels[i] & 0xFFFFFFFF for i in range(picture.width * picture.height)]
    digest = hashlib.sha1(b"".join(p.to_bytes(4, "little") for p in pixels)).hexdigest()
    print(f"{picture.width}x{picture.height}+{picture.xhot}+{picture.yhot} {digest[:16]}")
    x11.XFree(image)
    x11.XCloseDisplay(display)


if __name__ == "__main__":
    main()
