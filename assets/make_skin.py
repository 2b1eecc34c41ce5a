#!/usr/bin/env python3
"""Draws the game host's default skin into assets/skin/ (or the folder given as the argument).

Needs ImageMagick's `convert` and the Noto CJK fonts. The output is deterministic: the same
ImageMagick gives byte-identical files, so the pictures can be kept in the tree and checked
against a fresh run.

Every button picture holds its four states side by side, left to right: normal, hover, pressed,
disabled; each state is exactly the button's size. PNG pictures are 32-bit RGBA; BMP pictures are
uncompressed 24-bit, as GDI's LoadImage reads them. Their pixels around the rounded button face
repeat the title plate's colour, so they sit seamlessly on it without a transparent colour.
"""

import math
import os
import shutil
import subprocess
import sys
import tempfile

# Drawing happens at this multiple of the final size and is box-filtered down, which gives clean
# anti-aliased edges even for one-pixel details of the 17-pixel-high buttons.
SCALE = 4
STATES = ("normal", "hover", "pressed", "disabled")

SANS = "DejaVu-Sans"
CJK = "Noto-Sans-CJK-SC"
CJK_BOLD = "Noto-Sans-CJK-SC-Bold"

# The palette: a dark blue-grey frame with a warm gold accent.
STRIP_TOP = (0x38, 0x4B, 0x70)
STRIP_BOTTOM = (0x1E, 0x29, 0x40)
STRIP_HIGHLIGHT = "#56698f"
STRIP_SHADOW = "#0e1422"
FRAME = "#1e2940"
FRAME_OUTER = "#0b101b"
FRAME_INNER = "#33446a"
PLATE = "#2b3b5c"  # the title plate; the skin buttons' surroundings repeat it
PLATE_EDGE = "#4d628c"
ICON = "#cdd6e8"
ICON_HOT = "#ffffff"
ICON_OFF = "#66738c"
GOLD = "#e9b949"
RED = "#d8453b"
RED_DOWN = "#a83129"

# Sizes the host's layout needs.
STRIP_H = 27
BORDER = 5
BG_SIZE = (1024, 768)
TITLE_SIZE = (290, 27)
PNG_BUTTON = (27, 25)
CHAT_BUTTON = (72, 25)
SKIN_BUTTON = (57, 17)
SKIN_BUTTON_Y = 6  # where the skin buttons sit in the title strip
LOGO_SIZE = (140, 20)
SETTING_BG = (370, 250)
BAR_SIZE = (130, 14)
BAR_ROWS = (100, 154)
BAR_X = 166
ROUND_BUTTON = (34, 34)
SETTING_CLOSE = (24, 20)
WIDE_BUTTON = (97, 32)


def rgb(c):
    return "#%02x%02x%02x" % c


def mix(a, b, t):
    return tuple(round(a[i] + (b[i] - a[i]) * t) for i in range(3))


def run(args):
    subprocess.run(["convert"] + [str(a) for a in args], check=True)


class Canvas:
    """One picture drawn in MVG at SCALE times its size, written at its real size."""

    def __init__(self, w, h, background="none"):
        self.w, self.h = w, h
        self.background = background
        self.ops = []

    def add(self, op):
        self.ops.append(op)
        return self

    def rect(self, x0, y0, x1, y1, fill, stroke="none", width=1):
        # MVG rectangles include their far edge; stop one fine pixel short so that a rectangle
        # covers exactly the pixels from x0 up to, not including, x1.
        if stroke == "none":
            x1, y1 = x1 - 1 / SCALE, y1 - 1 / SCALE
        return self.add(f"fill {fill} stroke {stroke} stroke-width {width} rectangle {x0},{y0} {x1},{y1}")

    def rrect(self, x0, y0, x1, y1, r, fill, stroke="none", width=1):
        return self.add(
            f"fill {fill} stroke {stroke} stroke-width {width} roundrectangle {x0},{y0} {x1},{y1} {r},{r}"
        )

    def line(self, x0, y0, x1, y1, color, width=1.5):
        return self.add(f"fill none stroke {color} stroke-width {width} stroke-linecap round line {x0},{y0} {x1},{y1}")

    def text(self, x, y, s, color, size, font=CJK, anchor="middle"):
        s = s.replace("'", "\\'")
        return self.add(
            f"fill {color} stroke none font '{font}' font-size {size} text-anchor {anchor} text {x},{y} '{s}'"
        )

    def write(self, path):
        mvg = f"scale {SCALE},{SCALE} stroke-linejoin round " + " ".join(self.ops)
        run(
            ["-size", f"{self.w * SCALE}x{self.h * SCALE}", f"xc:{self.background}", "-draw", mvg]
            + ["-filter", "Box", "-resize", f"{self.w}x{self.h}!", "-strip", f"PNG32:{path}"]
        )


def save_png(src, dst):
    os.makedirs(os.path.dirname(dst), exist_ok=True)
    run([src, "-strip", "-define", "png:exclude-chunks=date,time", f"PNG32:{dst}"])


def save_bmp(src, dst, background):
    os.makedirs(os.path.dirname(dst), exist_ok=True)
    run([src, "-background", background, "-flatten", "-alpha", "off", "-type", "TrueColor", f"BMP3:{dst}"])


def strip_color(y):
    return mix(STRIP_TOP, STRIP_BOTTOM, y / (STRIP_H - 1))


# ---- icons, drawn into a canvas in a box of size s at (x, y) ----


def icon_minimise(c, x, y, s, color):
    c.line(x + s * 0.25, y + s * 0.62, x + s * 0.75, y + s * 0.62, color, 1.8)


def icon_close(c, x, y, s, color, width=1.8):
    a, b = s * 0.28, s * 0.72
    c.line(x + a, y + a, x + b, y + b, color, width)
    c.line(x + b, y + a, x + a, y + b, color, width)


def icon_gear(c, x, y, s, color):
    """A cog with a real hole (even-odd fill), so the background shows through it."""
    cx, cy = x + s / 2, y + s / 2
    teeth = 8
    points = []
    for i in range(teeth * 4):
        ang = 2 * math.pi * (i + 0.5) / (teeth * 4)
        r = s * (0.47 if (i % 4) in (0, 1) else 0.34)
        points.append(f"{cx + r * math.cos(ang):.2f},{cy + r * math.sin(ang):.2f}")
    hole = s * 0.15
    d = "M " + " L ".join(points) + " Z "
    d += f"M {cx + hole:.2f},{cy:.2f} A {hole:.2f},{hole:.2f} 0 1,0 {cx - hole:.2f},{cy:.2f} "
    d += f"A {hole:.2f},{hole:.2f} 0 1,0 {cx + hole:.2f},{cy:.2f} Z"
    c.add(f"fill {color} stroke none fill-rule evenodd path '{d}' fill-rule nonzero")


def icon_speaker(c, x, y, s, color, on):
    # body and cone
    c.add(
        f"fill {color} stroke none polygon "
        f"{x + s * 0.12},{y + s * 0.38} {x + s * 0.3},{y + s * 0.38} {x + s * 0.52},{y + s * 0.18} "
        f"{x + s * 0.52},{y + s * 0.82} {x + s * 0.3},{y + s * 0.62} {x + s * 0.12},{y + s * 0.62}"
    )
    if on:
        for r in (0.16, 0.3):
            c.add(
                f"fill none stroke {color} stroke-width 1.1 stroke-linecap round "
                f"arc {x + s * 0.5 - s * r},{y + s * 0.5 - s * r} {x + s * 0.5 + s * r},{y + s * 0.5 + s * r} -55,55"
            )
    else:
        c.line(x + s * 0.64, y + s * 0.36, x + s * 0.9, y + s * 0.64, color, 1.3)
        c.line(x + s * 0.9, y + s * 0.36, x + s * 0.64, y + s * 0.64, color, 1.3)


def icon_house(c, x, y, s, color):
    c.add(
        f"fill {color} stroke none polygon {x + s * 0.5},{y + s * 0.1} {x + s * 0.95},{y + s * 0.5} "
        f"{x + s * 0.82},{y + s * 0.5} {x + s * 0.82},{y + s * 0.9} {x + s * 0.18},{y + s * 0.9} "
        f"{x + s * 0.18},{y + s * 0.5} {x + s * 0.05},{y + s * 0.5}"
    )


def icon_question(c, x, y, s, color, face):
    c.add(f"fill {color} stroke none circle {x + s / 2},{y + s / 2} {x + s / 2},{y + s * 0.06}")
    c.text(x + s / 2, y + s * 0.86, "?", face, s * 0.8, font="DejaVu-Sans-Bold")


def icon_camera(c, x, y, s, color, face):
    c.rrect(x + s * 0.05, y + s * 0.28, x + s * 0.95, y + s * 0.88, s * 0.12, color)
    c.rect(x + s * 0.32, y + s * 0.14, x + s * 0.68, y + s * 0.3, color)
    c.add(f"fill {face} stroke none circle {x + s / 2},{y + s * 0.58} {x + s / 2 + s * 0.2},{y + s * 0.58}")
    c.add(f"fill {color} stroke none circle {x + s / 2},{y + s * 0.58} {x + s / 2 + s * 0.1},{y + s * 0.58}")


def icon_bubble(c, x, y, s, color, face):
    c.rrect(x + s * 0.05, y + s * 0.12, x + s * 0.95, y + s * 0.72, s * 0.2, color)
    c.add(
        f"fill {color} stroke none polygon {x + s * 0.25},{y + s * 0.65} {x + s * 0.5},{y + s * 0.68} "
        f"{x + s * 0.2},{y + s * 0.95}"
    )
    for dx in (0.3, 0.5, 0.7):
        c.add(f"fill {face} stroke none circle {x + s * dx},{y + s * 0.42} {x + s * dx + s * 0.06},{y + s * 0.42}")


# ---- pictures ----


def frame_background(path, tmp):
    """The main window's frame. Rows of the title strip and columns of the borders are uniform
    along the direction the frame rule stretches them, so any window size looks the same."""
    w, h = BG_SIZE
    c = Canvas(w, h, FRAME)
    for y in range(STRIP_H):
        c.rect(0, y, w, y + 1, rgb(strip_color(y)))
    c.rect(0, 0, w, 1, STRIP_HIGHLIGHT)
    c.rect(0, STRIP_H - 1, w, STRIP_H, STRIP_SHADOW)
    # borders: dark outer line, frame colour, a lighter line next to the page
    c.rect(0, 0, 1, h, FRAME_OUTER)
    c.rect(w - 1, 0, w, h, FRAME_OUTER)
    c.rect(0, h - 1, w, h, FRAME_OUTER)
    c.rect(BORDER - 1, STRIP_H, BORDER, h - BORDER + 1, FRAME_INNER)
    c.rect(w - BORDER, STRIP_H, w - BORDER + 1, h - BORDER + 1, FRAME_INNER)
    c.rect(BORDER - 1, h - BORDER, w - BORDER + 1, h - BORDER + 1, FRAME_INNER)
    t = os.path.join(tmp, "bg.png")
    c.write(t)
    save_png(t, path)


def title_plate(path, tmp):
    """A tab hanging from the top edge, behind the four game buttons."""
    w, h = TITLE_SIZE
    c = Canvas(w, h)
    c.rrect(0.5, -8, w - 0.5, h - 1.5, 7, PLATE, PLATE_EDGE, 1)
    t = os.path.join(tmp, "title.png")
    c.write(t)
    save_png(t, path)


def logo(path, tmp, badge):
    w, h = LOGO_SIZE
    c = Canvas(w, h)
    # emblem: a gold disc with a four-pointed star
    c.add(f"fill {GOLD} stroke none circle 9,10 9,1.5")
    c.add("fill #1e2940 stroke none polygon 9,3.5 10.6,8.4 15.5,10 10.6,11.6 9,16.5 7.4,11.6 2.5,10 7.4,8.4")
    c.text(22, 15.5, "游戏大厅", "#f4f6fb", 13.5, font=CJK_BOLD, anchor="start")
    if badge:
        c.rrect(80, 4, 109, 16, 3, GOLD)
        c.text(94.5, 14, "NET", "#1e2940", 9, font="DejaVu-Sans-Bold")
    t = os.path.join(tmp, "logo.png")
    c.write(t)
    save_png(t, path)


def strip_states(path, tmp, size, draw_state):
    """Draws one picture per state with draw_state(canvas, state) and sets them side by side."""
    w, h = size
    parts = []
    for i, state in enumerate(STATES):
        c = Canvas(w, h)
        draw_state(c, state)
        p = os.path.join(tmp, f"{os.path.basename(path)}.{i}.png")
        c.write(p)
        parts.append(p)
    joined = os.path.join(tmp, os.path.basename(path) + ".joined.png")
    run(parts + ["+append", "-strip", f"PNG32:{joined}"])
    return joined


def title_button(path, tmp, icon, close=False, size=PNG_BUTTON, label=None):
    w, h = size

    def draw(c, state):
        color = {"normal": ICON, "hover": ICON_HOT, "pressed": ICON_HOT, "disabled": ICON_OFF}[state]
        if state == "hover":
            c.rrect(1.5, 2.5, w - 1.5, h - 2.5, 4, RED if close else "#ffffff30")
        elif state == "pressed":
            c.rrect(1.5, 2.5, w - 1.5, h - 2.5, 4, RED_DOWN if close else "#00000050")
        dy = 1 if state == "pressed" else 0
        s = 15
        if label:
            ix = 9
            icon(c, ix, (h - s) / 2 + dy, s, color, state)
            c.text(ix + s + 4, h / 2 + 4.5 + dy, label, color, 12.5, anchor="start")
        else:
            icon(c, (w - s) / 2, (h - s) / 2 + dy, s, color, state)

    save_png(strip_states(path, tmp, size, draw), path)


def skin_button(path, tmp, icon, label):
    """A 57x17 pill of the title plate, as a 24-bit bitmap."""
    w, h = SKIN_BUTTON

    def draw(c, state):
        fill, edge, color = {
            "normal": ("#3b4f78", "#5a719f", ICON),
            "hover": ("#4a6396", "#7d94c4", ICON_HOT),
            "pressed": ("#22304d", "#4d628c", ICON_HOT),
            "disabled": ("#2f3e5e", "#3f5276", ICON_OFF),
        }[state]
        c.rect(0, 0, w, h, PLATE)
        c.rrect(0.5, 0.5, w - 0.5, h - 0.5, 4, fill, edge, 1)
        dy = 1 if state == "pressed" else 0
        icon(c, 5, 2.5 + dy, 12, color, fill)
        c.text(37, 13 + dy, label, color, 11.5)

    save_bmp(strip_states(path, tmp, SKIN_BUTTON, draw), path, PLATE)


def settings_background(path, tmp):
    w, h = SETTING_BG
    c = Canvas(w, h, "#1b2538")
    for y in range(STRIP_H):
        c.rect(0, y, w, y + 1, rgb(strip_color(y)))
    c.rect(0, STRIP_H - 1, w, STRIP_H, STRIP_SHADOW)
    c.rect(0, 0, w - 1, h - 1, "none", FRAME_INNER, 1)
    c.rect(0.5, 0.5, w - 0.5, h - 0.5, "none", FRAME_OUTER, 1)
    icon_gear(c, 8, 6, 15, GOLD)
    c.text(29, 18.5, "声音设置", "#f4f6fb", 13, font=CJK_BOLD, anchor="start")
    c.text(w / 2, 62, "调节背景音乐和游戏音效的音量", "#8f9cb8", 12)
    bw, bh = BAR_SIZE
    for row, label in zip(BAR_ROWS, ("背景音乐", "游戏音效")):
        c.text(24, row + 12, label, "#dfe5f2", 13.5, anchor="start")
        # the empty groove under the volume bar
        c.rrect(BAR_X - 1.5, row - 1.5, BAR_X + bw + 0.5, row + bh + 0.5, 4, "#0f1522", "#3a4a6b", 1)
        for tick in range(11):
            x = BAR_X + bw * tick / 10
            c.line(x, row + bh + 4, x, row + bh + (7 if tick % 5 == 0 else 5.5), "#4d5d80", 0.8)
    c.rect(12, 196, w - 12, 197, "#2c3a57")
    t = os.path.join(tmp, "setting_bg.png")
    c.write(t)
    save_png(t, path)


def volume_bar(path, tmp):
    w, h = BAR_SIZE
    t = os.path.join(tmp, "bar_grad.png")
    run(["-size", f"{h}x{w}", "gradient:#39b36b-#f0b43c", "-rotate", "-90", "-strip", f"PNG32:{t}"])
    shine = os.path.join(tmp, "bar_shine.png")
    Canvas(w, h).rect(0, 0.5, w, h / 2 - 0.5, "#ffffff38").rect(0, h - 1.5, w, h, "#00000040").write(shine)
    out = os.path.join(tmp, "bar.png")
    run([t, shine, "-composite", "-strip", f"PNG32:{out}"])
    save_png(out, path)


def round_button(path, tmp, plus):
    w, h = ROUND_BUTTON

    def draw(c, state):
        fill, edge, color = {
            "normal": ("#32456b", "#5a719f", ICON),
            "hover": ("#43609a", "#8aa2d2", ICON_HOT),
            "pressed": ("#223152", "#4d628c", ICON_HOT),
            "disabled": ("#263350", "#34456a", ICON_OFF),
        }[state]
        c.add(f"fill {fill} stroke {edge} stroke-width 1.2 circle 17,17 17,2")
        dy = 1 if state == "pressed" else 0
        c.line(10.5, 17 + dy, 23.5, 17 + dy, color, 2.6)
        if plus:
            c.line(17, 10.5 + dy, 17, 23.5 + dy, color, 2.6)

    save_png(strip_states(path, tmp, ROUND_BUTTON, draw), path)


def settings_close(path, tmp):
    w, h = SETTING_CLOSE

    def draw(c, state):
        color = {"normal": ICON, "hover": ICON_HOT, "pressed": ICON_HOT, "disabled": ICON_OFF}[state]
        if state == "hover":
            c.rect(0, 0, w, h, RED)
        elif state == "pressed":
            c.rect(0, 0, w, h, RED_DOWN)
        icon_close(c, (w - 14) / 2, (h - 14) / 2 + (1 if state == "pressed" else 0), 14, color, 1.6)

    save_png(strip_states(path, tmp, SETTING_CLOSE, draw), path)


def wide_button(path, tmp, label, primary):
    w, h = WIDE_BUTTON

    def draw(c, state):
        if primary:
            palette = {
                "normal": ("#2f8f5b", "#4cc283", "#ffffff"),
                "hover": ("#37a86a", "#6fe0a2", "#ffffff"),
                "pressed": ("#246e46", "#3a9a67", "#e6f5ec"),
                "disabled": ("#31443c", "#435a4f", "#7f8f88"),
            }
        else:
            palette = {
                "normal": ("#3a4766", "#5d6d92", ICON),
                "hover": ("#4a5a80", "#8191b6", ICON_HOT),
                "pressed": ("#283350", "#4a5878", ICON_HOT),
                "disabled": ("#2a3348", "#3a4560", ICON_OFF),
            }
        fill, edge, color = palette[state]
        c.rrect(0.5, 0.5, w - 0.5, h - 0.5, 6, fill, edge, 1)
        c.rect(4, 1.5, w - 4, 2.2, "#ffffff22")
        c.text(w / 2, 21.5 + (1 if state == "pressed" else 0), label, color, 15, font=CJK_BOLD)

    save_png(strip_states(path, tmp, WIDE_BUTTON, draw), path)


# Paths below the skin folder. The host names them with mixed spellings (res/Res, lobby/Lobby);
# the skin ships one folder per name, "Res" and "lobby", and the host resolves names without
# regard to case.
PICTURES = [
    "Res/lobby/Quorin/bg.png",
    "Res/lobby/Quorin/Title.png",
    "Res/lobby/Quorin/Main.bmp",
    "Res/lobby/Quorin/Help.bmp",
    "Res/lobby/Quorin/PrintScreen.bmp",
    "Res/lobby/Quorin/Sound_T.bmp",
    "Res/lobby/Quorin/Sound_F.bmp",
    "Res/lobby/PngBtn/Setting.png",
    "Res/lobby/PngBtn/chat.png",
    "Res/lobby/PngBtn/Min.png",
    "Res/lobby/PngBtn/Close.png",
    "Res/GameLogo/LogoURL.png",
    "Res/GameLogoNet/LogoURL.png",
    "Res/Frame/Setting/Bg.png",
    "Res/Frame/Setting/Bar.png",
    "Res/Frame/Setting/Sub.png",
    "Res/Frame/Setting/Add.png",
    "Res/Frame/Setting/Close.png",
    "Res/Frame/Setting/Save.png",
    "Res/Frame/Setting/Cancel.png",
]


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    out = os.path.abspath(sys.argv[1]) if len(sys.argv) > 1 else os.path.join(here, "skin")
    if shutil.which("convert") is None:
        sys.exit("make_skin.py: ImageMagick's convert is needed")
    if os.path.isdir(os.path.join(out, "Res")):
        shutil.rmtree(os.path.join(out, "Res"))

    def p(rel):
        return os.path.join(out, *rel.split("/"))

    with tempfile.TemporaryDirectory() as tmp:
        frame_background(p("Res/lobby/Quorin/bg.png"), tmp)
        title_plate(p("Res/lobby/Quorin/Title.png"), tmp)
        skin_button(p("Res/lobby/Quorin/Main.bmp"), tmp, lambda c, x, y, s, col, f: icon_house(c, x, y, s, col), "大厅")
        skin_button(p("Res/lobby/Quorin/Help.bmp"), tmp, icon_question, "帮助")
        skin_button(p("Res/lobby/Quorin/PrintScreen.bmp"), tmp, icon_camera, "截图")
        skin_button(
            p("Res/lobby/Quorin/Sound_T.bmp"), tmp, lambda c, x, y, s, col, f: icon_speaker(c, x, y, s, col, True), "声音"
        )
        skin_button(
            p("Res/lobby/Quorin/Sound_F.bmp"), tmp, lambda c, x, y, s, col, f: icon_speaker(c, x, y, s, col, False), "静音"
        )

        def gear(c, x, y, s, color, state):
            icon_gear(c, x, y, s, color)

        title_button(p("Res/lobby/PngBtn/Setting.png"), tmp, gear)
        title_button(
            p("Res/lobby/PngBtn/chat.png"),
            tmp,
            lambda c, x, y, s, col, st: icon_bubble(c, x, y, s, col, "#1e2940"),
            size=CHAT_BUTTON,
            label="聊天",
        )
        title_button(p("Res/lobby/PngBtn/Min.png"), tmp, lambda c, x, y, s, col, st: icon_minimise(c, x, y, s, col))
        title_button(
            p("Res/lobby/PngBtn/Close.png"), tmp, lambda c, x, y, s, col, st: icon_close(c, x, y, s, col), close=True
        )
        logo(p("Res/GameLogo/LogoURL.png"), tmp, badge=False)
        logo(p("Res/GameLogoNet/LogoURL.png"), tmp, badge=True)
        settings_background(p("Res/Frame/Setting/Bg.png"), tmp)
        volume_bar(p("Res/Frame/Setting/Bar.png"), tmp)
        round_button(p("Res/Frame/Setting/Sub.png"), tmp, plus=False)
        round_button(p("Res/Frame/Setting/Add.png"), tmp, plus=True)
        settings_close(p("Res/Frame/Setting/Close.png"), tmp)
        wide_button(p("Res/Frame/Setting/Save.png"), tmp, "保存", primary=True)
        wide_button(p("Res/Frame/Setting/Cancel.png"), tmp, "取消", primary=False)

    missing = [rel for rel in PICTURES if not os.path.isfile(p(rel))]
    if missing:
        sys.exit("make_skin.py: not written: " + ", ".join(missing))
    print(f"make_skin.py: {len(PICTURES)} pictures in {out}")


if __name__ == "__main__":
    main()
