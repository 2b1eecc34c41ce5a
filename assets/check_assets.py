#!/usr/bin/env python3
"""Checks the shipped skin, sample ini files and pages.

    check_assets.py skin   ASSETS_DIR   every picture the host names, in its format and size
    check_assets.py ini    ASSETS_DIR   the sample ini files: CRLF, ASCII, the keys the host reads
    check_assets.py pages  ASSETS_DIR   the pages: UTF-8, no network resources, local links resolve
    check_assets.py fresh  ASSETS_DIR   the kept pictures are what make_skin.py draws today
    check_assets.py self-test ASSETS_DIR  the skin check finds broken copies of the skin

Exit status 0 when all is well, 1 with a list of faults, 77 when a needed tool is missing.
"""

import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import zlib

SKIP = 77

# Sizes the host's layout needs. Button pictures hold four states side by side (normal, hover,
# pressed, disabled), each the button's size.
STATES = 4
PICTURES = {
    "Res/lobby/Quorin/bg.png": ("png", None),
    "Res/lobby/Quorin/Title.png": ("png", None),
    "Res/lobby/Quorin/Main.bmp": ("bmp", (57 * STATES, 17)),
    "Res/lobby/Quorin/Help.bmp": ("bmp", (57 * STATES, 17)),
    "Res/lobby/Quorin/PrintScreen.bmp": ("bmp", (57 * STATES, 17)),
    "Res/lobby/Quorin/Sound_T.bmp": ("bmp", (57 * STATES, 17)),
    "Res/lobby/Quorin/Sound_F.bmp": ("bmp", (57 * STATES, 17)),
    "Res/lobby/PngBtn/Setting.png": ("png", (27 * STATES, 25)),
    "Res/lobby/PngBtn/chat.png": ("png", (72 * STATES, 25)),
    "Res/lobby/PngBtn/Min.png": ("png", (27 * STATES, 25)),
    "Res/lobby/PngBtn/Close.png": ("png", (27 * STATES, 25)),
    "Res/GameLogo/LogoURL.png": ("png", None),
    "Res/GameLogoNet/LogoURL.png": ("png", None),
    "Res/Frame/Setting/Bg.png": ("png", None),
    "Res/Frame/Setting/Bar.png": ("png", None),
    "Res/Frame/Setting/Sub.png": ("png", (34 * STATES, 34)),
    "Res/Frame/Setting/Add.png": ("png", (34 * STATES, 34)),
    "Res/Frame/Setting/Close.png": ("png", (24 * STATES, 20)),
    "Res/Frame/Setting/Save.png": ("png", (97 * STATES, 32)),
    "Res/Frame/Setting/Cancel.png": ("png", (97 * STATES, 32)),
}

STRIP_H = 27
BORDER = 5
# The settings window's controls (x, y, width, height) must lie on its background.
SETTING_CONTROLS = [(121, 90, 34, 34), (301, 90, 34, 34), (121, 145, 34, 34), (301, 145, 34, 34),
                    (346, 0, 24, 20), (55, 208, 97, 32), (226, 208, 97, 32)]
BAR_X, BAR_ROWS, ADD_X = 166, (100, 154), 301


class Faults(list):
    def check(self, ok, text):
        if not ok:
            self.append(text)
        return ok


def read_png(path, pixels=False):
    """(width, height, colour type, bit depth[, rows of RGBA tuples]) of an 8-bit PNG."""
    data = open(path, "rb").read()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        raise ValueError("no PNG signature")
    pos, idat, ihdr = 8, b"", None
    while pos < len(data):
        (length,) = struct.unpack(">I", data[pos:pos + 4])
        kind = data[pos + 4:pos + 8]
        body = data[pos + 8:pos + 8 + length]
        (crc,) = struct.unpack(">I", data[pos + 8 + length:pos + 12 + length])
        if zlib.crc32(kind + body) != crc:
            raise ValueError("bad CRC in chunk %r" % kind)
        if kind == b"IHDR":
            ihdr = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            idat += body
        pos += 12 + length
    if ihdr is None:
        raise ValueError("no IHDR")
    w, h, depth, colour, _, _, interlace = ihdr
    if not pixels:
        return w, h, colour, depth
    if depth != 8 or colour != 6 or interlace:
        raise ValueError("only 8-bit RGBA, not interlaced, is decoded")
    raw = zlib.decompress(idat)
    stride, bpp, rows, prev = w * 4, 4, [], bytearray(w * 4)
    for y in range(h):
        f = raw[y * (stride + 1)]
        line = bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            a = line[i - bpp] if i >= bpp else 0
            b = prev[i]
            c = prev[i - bpp] if i >= bpp else 0
            if f == 1:
                line[i] = (line[i] + a) & 255
            elif f == 2:
                line[i] = (line[i] + b) & 255
            elif f == 3:
                line[i] = (line[i] + (a + b) // 2) & 255
            elif f == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                line[i] = (line[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
        rows.append([tuple(line[i:i + 4]) for i in range(0, stride, 4)])
        prev = line
    return w, h, colour, depth, rows


def read_bmp(path):
    """(width, height, bits per pixel, compression, file size matches) of a BMP."""
    data = open(path, "rb").read()
    if data[:2] != b"BM":
        raise ValueError("no BM signature")
    size, offset = struct.unpack("<I4xI", data[2:14])
    header, w, h, planes, bits, compression = struct.unpack("<IiiHHI", data[14:34])
    row = (w * bits // 8 + 3) & ~3
    consistent = size == len(data) and offset + row * abs(h) <= len(data) and header >= 40 and planes == 1
    return w, abs(h), bits, compression, consistent


def check_skin(assets, faults):
    skin = os.path.join(assets, "skin")
    sizes = {}
    for rel, (kind, size) in sorted(PICTURES.items()):
        path = os.path.join(skin, *rel.split("/"))
        if not faults.check(os.path.isfile(path), "%s: missing" % rel):
            continue
        try:
            if kind == "png":
                w, h, colour, depth = read_png(path)
                faults.check(colour == 6 and depth == 8, "%s: not 8-bit RGBA (type %d, depth %d)" % (rel, colour, depth))
            else:
                w, h, bits, compression, consistent = read_bmp(path)
                faults.check(bits == 24 and compression == 0, "%s: not an uncompressed 24-bit BMP" % rel)
                faults.check(consistent, "%s: BMP header does not match the file" % rel)
        except (ValueError, struct.error, zlib.error) as e:
            faults.append("%s: unreadable: %s" % (rel, e))
            continue
        sizes[rel] = (w, h)
        if size is not None:
            faults.check((w, h) == size, "%s: %dx%d, needs %dx%d" % (rel, w, h, size[0], size[1]))
    if faults:
        return

    # The title picture, the logo and the frame must fit the 27-pixel title strip.
    tw, th = sizes["Res/lobby/Quorin/Title.png"]
    faults.check(th <= STRIP_H and tw >= 4 * 57 + 3 * 9, "Title.png: %dx%d does not hold the four buttons" % (tw, th))
    for rel in ("Res/GameLogo/LogoURL.png", "Res/GameLogoNet/LogoURL.png"):
        lw, lh = sizes[rel]
        faults.check(5 + lh <= STRIP_H and 3 + lw < 778 - 54, "%s: %dx%d does not fit the title strip" % (rel, lw, lh))

    # The frame is stretched: title-strip rows along x, border columns along y. A picture that
    # varies along a stretched direction would smear, so those rows and columns must be uniform.
    w, h, _, _, px = read_png(os.path.join(skin, "Res/lobby/Quorin/bg.png"), pixels=True)
    if faults.check(w >= 2 * BORDER + 1 and h >= STRIP_H + BORDER + 1, "bg.png: %dx%d is too small for the frame" % (w, h)):
        for y in list(range(STRIP_H)) + list(range(h - BORDER, h)):
            faults.check(len(set(px[y][BORDER:w - BORDER])) == 1, "bg.png: row %d varies along the stretched strip" % y)
        for x in list(range(BORDER)) + list(range(w - BORDER, w)):
            column = set(px[y][x] for y in range(STRIP_H, h - BORDER))
            faults.check(len(column) == 1, "bg.png: column %d varies along the stretched edge" % x)
        faults.check(all(p[3] == 255 for y in range(h) for p in (px[y][0], px[y][w - 1])), "bg.png: frame is not opaque")

    # The settings window takes the background's size; its controls and bars must lie on it.
    bw, bh = sizes["Res/Frame/Setting/Bg.png"]
    for x, y, cw, ch in SETTING_CONTROLS:
        faults.check(x + cw <= bw and y + ch <= bh, "Bg.png: %dx%d does not hold the control at (%d, %d)" % (bw, bh, x, y))
    barw, barh = sizes["Res/Frame/Setting/Bar.png"]
    faults.check(BAR_X + barw < ADD_X, "Bar.png: %d wide runs into the volume-up button" % barw)
    faults.check(BAR_ROWS[0] + barh < BAR_ROWS[1], "Bar.png: %d high makes the two bars overlap" % barh)


def read_ini(path):
    sections, current = {}, None
    for line in open(path, "rb").read().decode("ascii").split("\r\n"):
        line = line.strip()
        if line.startswith("[") and line.endswith("]"):
            current = sections.setdefault(line[1:-1].lower(), {})
        elif "=" in line and current is not None and not line.startswith(";"):
            k, v = line.split("=", 1)
            current[k.strip().lower()] = v.strip()
    return sections


def check_ini(assets, faults):
    program, game = os.path.join(assets, "program"), os.path.join(assets, "game")
    wanted = {
        "FlashGame.ini": {"12": ["url", "width", "height"]},
        "URL.ini": {},
        "LobbyUrl.ini": {"url": ["mainpage"]},
        "SystemOption.ini": {s: ["open", "pos"] for s in ("music", "sound", "speech")},
        "Tollimer.ini": {"tollimer": ["tollimer"]},
    }
    wanted["SystemOption.ini"]["playsound"] = ["bplay"]
    parsed = {}
    for name, keys in wanted.items():
        path = os.path.join(program, name)
        if not faults.check(os.path.isfile(path), "%s: missing" % name):
            continue
        data = open(path, "rb").read()
        faults.check(b"\n" not in data.replace(b"\r\n", b"") and b"\r" not in data.replace(b"\r\n", b""),
                     "%s: not CRLF line endings" % name)
        faults.check(data.endswith(b"\r\n"), "%s: last line has no line end" % name)
        if not faults.check(all(b < 0x80 for b in data), "%s: not plain ASCII" % name):
            continue
        parsed[name] = ini = read_ini(path)
        for section, names in keys.items():
            for key in names:
                faults.check(key in ini.get(section, {}), "%s: [%s] %s missing" % (name, section, key))
    if faults:
        return

    def page(value):
        return os.path.join(game, *[p for p in re.split(r"[\\/]", value) if p])

    flash = parsed["FlashGame.ini"]["12"]
    faults.check(os.path.isfile(page(flash["url"])), "FlashGame.ini: [12] URL %s is not a shipped page" % flash["url"])
    faults.check(flash["url"].startswith("\\") and ":" not in flash["url"], "FlashGame.ini: [12] URL is not below the program folder")
    faults.check((flash["width"], flash["height"]) == ("1024", "768"), "FlashGame.ini: [12] is not 1024 by 768")
    for section, keys in parsed["URL.ini"].items():
        faults.check(os.path.isfile(page(keys.get("url", ""))), "URL.ini: [%s] does not name a shipped page" % section)
    faults.check(bool(parsed["URL.ini"]), "URL.ini: no named page")
    main = parsed["LobbyUrl.ini"]["url"]["mainpage"]
    faults.check(":" in main or os.path.isfile(page(main)), "LobbyUrl.ini: MainPage %s is not a shipped page" % main)
    option = parsed["SystemOption.ini"]
    for s in ("music", "sound", "speech"):
        faults.check(option[s] == {"open": "1", "pos": "500"}, "SystemOption.ini: [%s] is not Open=1 Pos=500" % s)
    faults.check(option["playsound"]["bplay"] == "1", "SystemOption.ini: bPlay is not 1")
    faults.check(parsed["Tollimer.ini"]["tollimer"]["tollimer"] == "0", "Tollimer.ini: Tollimer is not 0")


def check_pages(assets, faults):
    game = os.path.join(assets, "game")
    pages = [os.path.join(root, f) for root, _, files in os.walk(game) for f in files if f.endswith((".html", ".js", ".css"))]
    faults.check(len(pages) >= 3, "pages: fewer than three files under game/")
    for path in sorted(pages):
        rel = os.path.relpath(path, assets)
        try:
            text = open(path, "rb").read().decode("utf-8")
        except UnicodeDecodeError:
            faults.append("%s: not UTF-8" % rel)
            continue
        faults.check(not re.search(r"(src|href)\s*=\s*[\"']?\s*(https?:)?//", text, re.I) and "@import" not in text,
                     "%s: loads something from the network" % rel)
        if path.endswith(".html"):
            faults.check(re.search(r"<meta charset=\"utf-8\">", text, re.I) is not None, "%s: no utf-8 meta charset" % rel)
            for link in re.findall(r"(?:src|href)=\"([^\"#?]+)", text):
                target = os.path.normpath(os.path.join(os.path.dirname(path), link))
                faults.check(os.path.isfile(target), "%s: link %s leads nowhere" % (rel, link))
    script = os.path.join(game, "Wendrel", "game.js")
    if faults.check(os.path.isfile(script), "game/Wendrel/game.js: missing"):
        js = open(script, encoding="utf-8").read()
        faults.check(re.search(r"^function MessageProxy\(", js, re.M) is not None, "game.js: no global MessageProxy")
        for command in ('"6,"', '"8,"', '"2,"', '"7,game&"'):
            faults.check(command in js, "game.js: never sends %s" % command)
    faults.check(os.path.isfile(os.path.join(game, "help", "12.html")), "game/help/12.html: missing")


def check_fresh(assets, faults):
    if shutil.which("convert") is None:
        print("convert not found: skipped")
        sys.exit(SKIP)
    with tempfile.TemporaryDirectory() as tmp:
        subprocess.run([sys.executable, os.path.join(assets, "make_skin.py"), tmp], check=True, stdout=subprocess.DEVNULL)
        for rel in sorted(PICTURES):
            kept = os.path.join(assets, "skin", *rel.split("/"))
            made = os.path.join(tmp, *rel.split("/"))
            same = os.path.isfile(kept) and open(kept, "rb").read() == open(made, "rb").read()
            faults.check(same, "%s: differs from what make_skin.py draws; run it again" % rel)


def self_test(assets, _faults):
    """Breaks copies of the skin in known ways; the skin check must name every fault."""
    problems = []
    cases = {
        "missing picture": (lambda s: os.remove(os.path.join(s, "Res/lobby/PngBtn/Min.png")), "Min.png: missing"),
        "wrong state count": (lambda s: shutil.copy(os.path.join(s, "Res/Frame/Setting/Sub.png"),
                                                    os.path.join(s, "Res/Frame/Setting/Close.png")), "Close.png: 136x34"),
        "bitmap as PNG": (lambda s: shutil.copy(os.path.join(s, "Res/lobby/Quorin/Title.png"),
                                               os.path.join(s, "Res/lobby/Quorin/Help.bmp")), "Help.bmp: unreadable"),
        "32-bit bitmap": (lambda s: patch(os.path.join(s, "Res/lobby/Quorin/Main.bmp"), 28, struct.pack("<H", 32)),
                          "Main.bmp: not an uncompressed 24-bit"),
        "cut bitmap": (lambda s: truncate(os.path.join(s, "Res/lobby/Quorin/Sound_F.bmp"), 100), "Sound_F.bmp: BMP header"),
        "damaged PNG": (lambda s: patch(os.path.join(s, "Res/Frame/Setting/Bar.png"), 20, b"\xff"), "Bar.png: unreadable"),
        "small settings background": (lambda s: shutil.copy(os.path.join(s, "Res/Frame/Setting/Save.png"),
                                                            os.path.join(s, "Res/Frame/Setting/Bg.png")), "does not hold"),
        "tall title": (lambda s: shutil.copy(os.path.join(s, "Res/Frame/Setting/Bg.png"),
                                             os.path.join(s, "Res/lobby/Quorin/Title.png")), "Title.png: 370x250"),
        "frame that smears": (lambda s: shutil.copy(os.path.join(s, "Res/Frame/Setting/Bg.png"),
                                                    os.path.join(s, "Res/lobby/Quorin/bg.png")), "varies along"),
    }
    clean = Faults()
    check_skin(assets, clean)
    if clean:
        problems.append("the shipped skin itself fails: %s" % clean)
    for name, (damage, expected) in cases.items():
        with tempfile.TemporaryDirectory() as tmp:
            shutil.copytree(os.path.join(assets, "skin"), os.path.join(tmp, "skin"))
            damage(os.path.join(tmp, "skin"))
            found = Faults()
            check_skin(tmp, found)
            if not any(expected in f for f in found):
                problems.append("%s: expected a fault with '%s', got %s" % (name, expected, list(found)))
    _faults.extend(problems)


def patch(path, offset, data):
    with open(path, "r+b") as f:
        f.seek(offset)
        f.write(data)


def truncate(path, size):
    with open(path, "r+b") as f:
        f.truncate(size)


def main():
    checks = {"skin": check_skin, "ini": check_ini, "pages": check_pages, "fresh": check_fresh, "self-test": self_test}
    if len(sys.argv) != 3 or sys.argv[1] not in checks:
        sys.exit(__doc__)
    faults = Faults()
    checks[sys.argv[1]](os.path.abspath(sys.argv[2]), faults)
    for f in faults:
        print("FAULT " + f)
    print("%s: %s" % (sys.argv[1], "%d faults" % len(faults) if faults else "ok"))
    sys.exit(1 if faults else 0)


if __name__ == "__main__":
    main()
