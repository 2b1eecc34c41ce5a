#!/usr/bin/env python3
"""Draws the updater's pictures into assets/dravel/ (or the folder given as the argument).

Needs ImageMagick's `convert`. The output is deterministic: the pictures are flat shapes drawn
without anti-aliasing and written as uncompressed 24-bit BMP (no time stamps), so the same
ImageMagick gives byte-identical files and they can be kept in the tree.

| file         | id  | size     | what                                                        |
|--------------|-----|----------|-------------------------------------------------------------|
| bg.bmp       | 131 | 621x388  | window background with the framed tip area at 37,51 549x184 |
| logo.bmp     | 133 | 29x17    | small logo drawn at 7,7                                     |
| bar_full.bmp | 129 | 555x26   | filled part of the progress bars                            |
| bar_empty.bmp| 130 | 555x26   | empty track of the progress bars                            |
| close.bmp    | 132 | 125x21   | close button: 5 frames of 25x21                             |
| min.bmp      | 144 | 125x21   | minimise button: 5 frames of 25x21                          |
| Dravel.ico   | 128 | 32, 16   | program icon                                                |

Button strips hold normal, hover, an unused frame, pressed and disabled, left to right; their
magenta (255, 0, 255) pixels are transparent.
"""

import os
import subprocess
import sys

WINDOW = (621, 388)
TIP = (37, 51, 549, 184)
BAR = (555, 26)
BARS_AT = ((30, 262), (30, 307))
FRAME = (25, 21)
FRAMES = 5
LOGO = (29, 17)

BG_TOP = "#1b2f5e"
BG_BOTTOM = "#0b1736"
FRAME_OUTER = "#06102a"
FRAME_INNER = "#5d7fc4"
TIP_FILL = "#f4f6fb"
GROOVE = "#07112b"
TRACK = "#16244a"
TRACK_EDGE = "#24386b"
FILL = "#2fb04a"
FILL_EDGE = "#5fd873"
MAGENTA = "#ff00ff"
LOGO_FACE = "#e9b949"
LOGO_MARK = "#1b2f5e"

# Button faces per frame: normal, hover, unused, pressed, disabled.
CLOSE_FACES = ("#c8453b", "#e8594d", "#c8453b", "#8f2a23", "#6b6f7a")
MIN_FACES = ("#3b5ea8", "#4f78d0", "#3b5ea8", "#263f75", "#6b6f7a")
MARK = ("#ffffff", "#ffffff", "#ffffff", "#d9d9d9", "#a7aab2")


def run(args):
    subprocess.run(["convert"] + [str(a) for a in args], check=True)


def bmp(out, size, background, draw):
    """A picture of `size` on `background` with MVG `draw`, written as 24-bit BMP."""
    w, h = size
    run(["-size", f"{w}x{h}", background, "+antialias", "-draw", " ".join(draw) or "point -1,-1",
         "-alpha", "off", "-type", "TrueColor", "-compress", "None", f"BMP3:{out}"])


def rect(x0, y0, w, h, fill):
    # MVG rectangles include their far corner.
    return f"fill {fill} stroke none rectangle {x0},{y0} {x0 + w - 1},{y0 + h - 1}"


def background(out):
    x, y, w, h = TIP
    draw = [
        # the tip area's frame: a dark outer and a light inner line around it
        rect(x - 3, y - 3, w + 6, h + 6, FRAME_OUTER),
        rect(x - 2, y - 2, w + 4, h + 4, FRAME_INNER),
        rect(x - 1, y - 1, w + 2, h + 2, FRAME_OUTER),
        rect(x, y, w, h, TIP_FILL),
        # a thin rule under the caption strip
        rect(7, 32, WINDOW[0] - 14, 1, FRAME_INNER),
    ]
    for bx, by in BARS_AT:
        draw.append(rect(bx - 2, by - 2, BAR[0] + 4, BAR[1] + 4, GROOVE))
    # window border
    draw.append(f"fill none stroke {FRAME_INNER} stroke-width 1 rectangle 0,0 {WINDOW[0] - 1},{WINDOW[1] - 1}")
    bmp(out, WINDOW, f"gradient:{BG_TOP}-{BG_BOTTOM}", draw)


def bar(out, face, edge):
    w, h = BAR
    bmp(out, BAR, f"xc:{face}", [rect(0, 0, w, 2, edge), rect(0, h - 2, w, 2, edge)])


def logo(out):
    w, h = LOGO
    draw = [
        f"fill {LOGO_FACE} stroke none roundrectangle 0,0 {w - 1},{h - 1} 4,4",
        # a stylised down arrow: the updater fetches
        rect(12, 3, 5, 6, LOGO_MARK),
        f"fill {LOGO_MARK} stroke none polygon 8,9 20,9 14,14",
    ]
    bmp(out, LOGO, f"xc:{BG_TOP}", draw)


def strip(out, faces, mark):
    fw, fh = FRAME
    draw = []
    for i in range(FRAMES):
        x0 = i * fw
        d = 1 if i == 3 else 0  # the pressed frame's face sits one pixel lower
        draw.append(f"fill {faces[i]} stroke none roundrectangle {x0 + 1},{1 + d} {x0 + fw - 2},{fh - 2 + d} 4,4")
        draw.extend(mark(x0, d, MARK[i]))
    bmp(out, (fw * FRAMES, fh), f"xc:{MAGENTA}", draw)


def close_mark(x0, d, colour):
    return [
        f"stroke {colour} stroke-width 2 line {x0 + 8},{6 + d} {x0 + 16},{14 + d}",
        f"stroke {colour} stroke-width 2 line {x0 + 16},{6 + d} {x0 + 8},{14 + d}",
    ]


def min_mark(x0, d, colour):
    return [rect(x0 + 7, 13 + d, 11, 2, colour)]


def icon(out, work):
    parts = []
    for size in (32, 16):
        part = os.path.join(work, f"icon{size}.png")
        s = size - 1
        run(["-size", f"{size}x{size}", "xc:none", "+antialias", "-draw",
             f"fill {LOGO_FACE} stroke none roundrectangle 0,0 {s},{s} {size // 5},{size // 5} "
             f"fill {LOGO_MARK} polygon {size * 0.2:.0f},{size * 0.45:.0f} {size * 0.8:.0f},{size * 0.45:.0f} "
             f"{size * 0.5:.0f},{size * 0.8:.0f} "
             f"rectangle {size * 0.38:.0f},{size * 0.15:.0f} {size * 0.62:.0f},{size * 0.46:.0f}",
             "-strip", f"PNG32:{part}"])
        parts.append(part)
    run(parts + [f"ICO:{out}"])


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "dravel")
    os.makedirs(out, exist_ok=True)
    background(os.path.join(out, "bg.bmp"))
    logo(os.path.join(out, "logo.bmp"))
    bar(os.path.join(out, "bar_full.bmp"), FILL, FILL_EDGE)
    bar(os.path.join(out, "bar_empty.bmp"), TRACK, TRACK_EDGE)
    strip(os.path.join(out, "close.bmp"), CLOSE_FACES, close_mark)
    strip(os.path.join(out, "min.bmp"), MIN_FACES, min_mark)
    work = os.path.join(out, ".icon-work")
    os.makedirs(work, exist_ok=True)
    try:
        icon(os.path.join(out, "Dravel.ico"), work)
    finally:
        for name in os.listdir(work):
            os.remove(os.path.join(work, name))
        os.rmdir(work)


if __name__ == "__main__":
    main()
