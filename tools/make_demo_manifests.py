#!/usr/bin/env python3
"""Lays out the demo download server: the files of assets/demo-server/manifests.txt under
<out>/Vorsel/ and one update manifest per block, with each file's real size and MD5 digest.

    python3 tools/make_demo_manifests.py --out out/demo-server

The output depends only on the listed files, so running it twice gives the same bytes. Serve
<out> on the address of assets/demo-server/LobbyUrl.ini, for example with
    python3 -m http.server 8765 --bind 127.0.0.1 --directory out/demo-server
"""

import argparse
import hashlib
import pathlib
import shutil
import sys
from xml.sax.saxutils import quoteattr

ASSETS = pathlib.Path(__file__).resolve().parent.parent / "assets"


def read_listing(path):
    """[(manifest name, version, [(file name, source path)])] in the listing's order."""
    manifests = []
    for number, raw in enumerate(path.read_text(encoding="utf-8").splitlines(), 1):
        line = raw.strip()
        if not line or line.startswith("#"):
            continue
        words = line.split()
        if words[0] == "manifest" and len(words) == 3:
            manifests.append((words[1], words[2], []))
        elif len(words) == 2 and manifests:
            name, source = words
            parts = pathlib.PurePosixPath(name).parts
            if name.startswith("/") or ".." in parts or "\\" in name or ":" in name:
                sys.exit(f"{path}:{number}: {name} must stay inside the program folder")
            manifests[-1][2].append((name, ASSETS / source))
        else:
            sys.exit(f"{path}:{number}: cannot read {raw!r}")
    return manifests


def manifest_xml(version, entries):
    lines = ['<?xml version="1.0" encoding="UTF-8"?>',
             f"<Manifest version={quoteattr(version)}>", "  <FileList>"]
    for name, data in entries:
        lines.append(f"    <File FileName={quoteattr(name)} FileSize=\"{len(data)}\" "
                     f"FileVersion=\"1.0.0.1\" Md5=\"{hashlib.md5(data).hexdigest()}\"/>")
    lines += ["  </FileList>", "</Manifest>", ""]
    return "\n".join(lines)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--out", required=True, type=pathlib.Path,
                        help="folder to serve (replaced)")
    parser.add_argument("--listing", type=pathlib.Path,
                        default=ASSETS / "demo-server" / "manifests.txt")
    args = parser.parse_args()

    manifests = read_listing(args.listing)
    root = args.out / "Vorsel"
    if args.out.exists():
        shutil.rmtree(args.out)
    root.mkdir(parents=True)
    for manifest, version, files in manifests:
        entries = []
        for name, source in files:
            data = source.read_bytes()
            target = root / name
            target.parent.mkdir(parents=True, exist_ok=True)
            target.write_bytes(data)
            entries.append((name, data))
        (root / manifest).write_bytes(manifest_xml(version, entries).encode("utf-8"))
        print(f"{manifest} {version}: {len(entries)} files")
    return 0


if __name__ == "__main__":
    sys.exit(main())
