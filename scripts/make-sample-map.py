#!/usr/bin/env python3
"""Writes examples/SampleMap.w3m, the small map for trying the installer at once.

Maintainer tool, not part of the build or the tests: run it after changing a value below and
commit what it writes. The archive is made by smpq (installed by scripts/setup.sh) as an MPQ
of the first format without (attributes), so running it twice gives the same bytes.

    python3 scripts/make-sample-map.py [--out FILE]

A 32 x 32 Lordaeron Summer map (tileset L, playable area 20 x 20) for two players: the
512-byte HM3W header, war3map.w3i of format 18, war3map.j whose main holds the usual camera
line, trigger strings, cameras and filler terrain entries. No war3map.w3u, as in most real
maps: the install adds it.
"""

import argparse
import os
import random
import struct
import subprocess
import sys
import tempfile

MAP_NAME = "Sample Map"
PLAYERS = 2
BOUNDS = [-1280.0, -1536.0, 1280.0, 1024.0, -1280.0, 1024.0, 1280.0, -1536.0]


def text(value):
    return value.encode("ascii") + b"\0"


def map_info():
    """Format 18: the record the installer reads, then the tables the game expects."""
    out = struct.pack("<3i", 18, 1, 6059)  # format, saves, editor version
    out += b"".join(text("TRIGSTR_00%d" % n) for n in (1, 2, 3, 4))  # name, author, description, players
    out += struct.pack("<8f", *BOUNDS) + struct.pack("<4i", 6, 6, 4, 8)
    out += struct.pack("<3i", 20, 20, 0x9C10) + b"L"  # playable width, height, flags, tileset
    for _ in range(2):  # no campaign background, no loading screen
        out += struct.pack("<i", -1) + text("") * 3
    out += struct.pack("<i", PLAYERS)
    for player in range(PLAYERS):  # human and orc, start positions not fixed
        out += struct.pack("<4i", player, 1, player + 1, 0) + text("TRIGSTR_00%d" % (5 + player))
        out += struct.pack("<f3i", -512.0 if player == 0 else 512.0, 0, 0, 0)
    out += struct.pack("<3i", 1, 0, -1) + text("TRIGSTR_007")  # one force, everyone for himself
    return out + struct.pack("<3i", 0, 0, 0)  # upgrades, techs, random unit tables


def script():
    margin = lambda side: "GetCameraMargin(CAMERA_MARGIN_%s)" % side
    camera = "    call SetCameraBounds( %s )" % ", ".join(
        "%.1f %s %s" % (value, "+" if side in ("LEFT", "BOTTOM") else "-", margin(side))
        for value, side in zip(BOUNDS, ["LEFT", "BOTTOM", "RIGHT", "TOP", "LEFT", "TOP", "RIGHT", "BOTTOM"]))
    lines = ["//" + "=" * 75, "// Sample Map", "//" + "=" * 75, "", "globals",
             "    rect gg_rct_Start = null", "endglobals", "",
             "function InitGlobals takes nothing returns nothing", "endfunction", ""]
    lines += ["// trigger text %d %s" % (n, "." * 60) for n in range(80)]
    lines += ["function config takes nothing returns nothing", '    call SetMapName( "TRIGSTR_001" )',
              '    call SetMapDescription( "TRIGSTR_003" )', "    call SetPlayers( %d )" % PLAYERS,
              "    call SetTeams( %d )" % PLAYERS, "endfunction", "",
              "function main takes nothing returns nothing", camera, "    call InitGlobals(  )", "endfunction", ""]
    return "\r\n".join(lines).encode("ascii")


def entries():
    rng = random.Random(1)
    files = {
        "war3map.j": script(),
        "war3map.w3i": map_info(),
        "war3map.wts": b"STRING 1\r\n{\r\nSample Map\r\n}\r\n\r\nSTRING 3\r\n{\r\nNondescript\r\n}\r\n",
        "war3map.w3c": bytes(8),  # format 0, no cameras
    }
    names = ["war3map.w3e", "war3map.shd", "war3map.wpm", "war3map.doo", "war3mapUnits.doo", "war3map.mmp",
             "war3mapMap.blp", "war3map.w3r"]
    for index, name in enumerate(names):  # terrain-like runs that compress, or random bytes that do not
        files[name] = bytes((b // 64 + rng.randrange(4)) & 0xFF if index % 2 == 0 else rng.randrange(256)
                            for b in range(6144))
    return files


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    parser.add_argument("--out", default=os.path.join(root, "examples", "SampleMap.w3m"))
    out = parser.parse_args().out
    with tempfile.TemporaryDirectory() as work:
        files = entries()
        for name, data in files.items():
            with open(os.path.join(work, name), "wb") as f:
                f.write(data)
        subprocess.run(["smpq", "-c", "-q", "-M", "1", "-A", "-C", "ZLIB", "archive.mpq"] + sorted(files),
                       cwd=work, check=True)
        with open(os.path.join(work, "archive.mpq"), "rb") as f:
            mpq = f.read()
    header = b"HM3W" + bytes(4) + text(MAP_NAME) + struct.pack("<2i", 0, PLAYERS)
    with open(out, "wb") as f:
        f.write(header.ljust(512, b"\0") + mpq)
    print("wrote %s (%d bytes)" % (out, 512 + len(mpq)))


if __name__ == "__main__":
    sys.exit(main())
