#!/usr/bin/env python3
"""Writes the modification's binary map files and their trigger strings into Data/.

Maintainer tool, not part of the build: run it after changing a value below and commit
what it writes. The output depends on nothing but this file, so running it twice gives
the same bytes.

    python3 scripts/make-templates.py [--out DIR]

Writes war3map.w3i (map info, format 18 as the first release of the game reads it),
war3map.w3u (custom units, version 1), war3map.w3c (cameras) and war3map.wts (the
trigger strings the map info and the script name). war3map.j and listw3m.txt are kept
by hand.
"""

import argparse
import os
import struct
import sys

# --- map info ---------------------------------------------------------------------------

W3I_FORMAT = 18
SAVE_COUNT = 1
EDITOR_VERSION = 4654

# The installer reads the first 121 bytes as a fixed record, which only fits a file whose
# four texts take 48 bytes together: four "TRIGSTR_00n" references of 12 bytes each.
MAP_TEXTS = ["TRIGSTR_001", "TRIGSTR_002", "TRIGSTR_003", "TRIGSTR_004"]

# A 64 x 64 map with the editor's usual margins. Every install overwrites these with the
# chosen map's own values, so they only have to describe some valid map.
CAMERA_BOUNDS = [-2816.0, -3328.0, 2816.0, 2816.0, -2816.0, 2816.0, 2816.0, -3328.0]
CAMERA_COMPLEMENTS = [6, 6, 4, 8]
PLAYABLE_WIDTH = 52
PLAYABLE_HEIGHT = 52

FLAG_MASKED_PARTIALLY_VISIBLE = 0x0010
FLAG_CUSTOM_FORCES = 0x0040
FLAG_PROPERTIES_OPENED = 0x0400
FLAG_WAVES_ON_CLIFF_SHORES = 0x0800
FLAG_WAVES_ON_ROLLING_SHORES = 0x1000
MAP_FLAGS = (FLAG_MASKED_PARTIALLY_VISIBLE | FLAG_CUSTOM_FORCES | FLAG_PROPERTIES_OPENED
             | FLAG_WAVES_ON_CLIFF_SHORES | FLAG_WAVES_ON_ROLLING_SHORES)
TILESET = b"L"

NO_CAMPAIGN_BACKGROUND = -1
DEFAULT_LOADING_SCREEN = -1

PLAYER_HUMAN = 1
RACE_HUMAN, RACE_ORC, RACE_UNDEAD, RACE_NIGHT_ELF = 1, 2, 3, 4

# (slot, race, name string). Every start position is the map centre: the install keeps
# the chosen map's terrain, and the centre is the one point every map has.
PLAYERS = [
    (0, RACE_HUMAN, 5),
    (1, RACE_ORC, 6),
    (2, RACE_UNDEAD, 7),
    (3, RACE_NIGHT_ELF, 8),
]
START_X, START_Y = 0.0, 0.0

# One force per player and no alliance flags: every player fights every other.
FORCES = [(0, 1 << 0, 9), (0, 1 << 1, 10), (0, 1 << 2, 11), (0, 1 << 3, 12)]

# --- trigger strings --------------------------------------------------------------------

STRINGS = {
    1: "VQ MOD",
    2: "Vornak",
    3: "Player 1 is the director: chat commands summon creatures, "
       "change the time of day and the weather, and pick the music. "
       "Everyone else plays against everyone.",
    4: "4 (Player 1 directs)",
    5: "Director",
    6: "Challenger 2",
    7: "Challenger 3",
    8: "Challenger 4",
    9: "Director",
    10: "Challenger 2",
    11: "Challenger 3",
    12: "Challenger 4",
}

# --- custom units -----------------------------------------------------------------------

W3U_VERSION = 1
INT, REAL, UNREAL, STRING = 0, 1, 2, 3

# (original id, new id or None, [(field, type, value)]). None marks a change to a
# standard unit; the script refers to the custom ones by their new ids.
UNITS_ORIGINAL = [
    ("nshe", None, [("unam", STRING, "Lost Sheep"),
                    ("umvs", INT, 200)]),
]
UNITS_CUSTOM = [
    # The director's marker: where it stands is where summoned creatures appear.
    ("ewsp", "e000", [("unam", STRING, "Director's Eye"),
                      ("uabi", STRING, "Avul"),
                      ("ubui", STRING, ""),
                      ("ufoo", INT, 0),
                      ("umvs", INT, 400),
                      ("usca", REAL, 0.8)]),
    ("nmrl", "n000", [("unam", STRING, "Marsh Stalker"),
                      ("uhpm", INT, 240),
                      ("umvs", INT, 320),
                      ("usca", REAL, 1.15)]),
    ("nogr", "n001", [("unam", STRING, "Hill Brute"),
                      ("uhpm", INT, 900),
                      ("umvs", INT, 270),
                      ("uacq", UNREAL, 500.0),
                      ("usca", REAL, 1.35)]),
]

# --- cameras ----------------------------------------------------------------------------

W3C_VERSION = 0
# (name, target x, target y, z offset, rotation, angle of attack, distance, roll,
#  field of view, far clipping, near clipping). Both look at the map centre; the script
# moves the overview to the centre of the playable area of the map it ends up in.
CAMERAS = [
    ("Director View", 0.0, 0.0, 0.0, 90.0, 304.0, 2400.0, 0.0, 70.0, 5000.0, 100.0),
    ("Centre Close", 0.0, 0.0, 0.0, 90.0, 320.0, 1200.0, 0.0, 70.0, 5000.0, 100.0),
]


class Writer:
    """Little-endian fields, as every map file stores them."""

    def __init__(self):
        self.data = bytearray()

    def int32(self, value):
        self.data += struct.pack("<i", value)

    def float32(self, value):
        self.data += struct.pack("<f", value)

    def raw(self, value):
        self.data += value

    def text(self, value):
        encoded = value.encode("utf-8")
        if b"\0" in encoded:
            raise ValueError("a map text cannot hold a NUL: %r" % value)
        self.data += encoded + b"\0"

    def rawcode(self, value):
        encoded = value.encode("ascii")
        if len(encoded) != 4:
            raise ValueError("an object id has four characters: %r" % value)
        self.data += encoded


def trigstr(number):
    return "TRIGSTR_%03d" % number


def build_w3i():
    w = Writer()
    w.int32(W3I_FORMAT)
    w.int32(SAVE_COUNT)
    w.int32(EDITOR_VERSION)
    for t in MAP_TEXTS:
        w.text(t)
    if len(w.data) != 60:
        raise AssertionError("the four map texts must take 48 bytes")
    for b in CAMERA_BOUNDS:
        w.float32(b)
    for c in CAMERA_COMPLEMENTS:
        w.int32(c)
    w.int32(PLAYABLE_WIDTH)
    w.int32(PLAYABLE_HEIGHT)
    w.int32(MAP_FLAGS)
    w.raw(TILESET)
    if len(w.data) != 121:
        raise AssertionError("the fixed record must end at byte 121")

    w.int32(NO_CAMPAIGN_BACKGROUND)
    for _ in range(3):  # loading screen text, title, subtitle
        w.text("")
    w.int32(DEFAULT_LOADING_SCREEN)
    for _ in range(3):  # prologue text, title, subtitle
        w.text("")

    w.int32(len(PLAYERS))
    for slot, race, name in PLAYERS:
        w.int32(slot)
        w.int32(PLAYER_HUMAN)
        w.int32(race)
        w.int32(0)  # start position not fixed
        w.text(trigstr(name))
        w.float32(START_X)
        w.float32(START_Y)
        w.int32(0)  # ally priorities, low
        w.int32(0)  # ally priorities, high

    w.int32(len(FORCES))
    for flags, players, name in FORCES:
        w.int32(flags)
        w.int32(players)
        w.text(trigstr(name))

    w.int32(0)  # upgrade availability changes
    w.int32(0)  # tech availability changes
    w.int32(0)  # random unit tables
    return bytes(w.data)


def write_units_table(w, table, custom):
    w.int32(len(table))
    for original, new, fields in table:
        if (new is not None) != custom:
            raise ValueError("%s is in the wrong table" % original)
        w.rawcode(original)
        if custom:
            w.rawcode(new)
        else:
            w.int32(0)
        w.int32(len(fields))
        for field, kind, value in fields:
            w.rawcode(field)
            w.int32(kind)
            if kind == INT:
                w.int32(value)
            elif kind in (REAL, UNREAL):
                w.float32(value)
            else:
                w.text(value)
            w.int32(0)  # end of modification


def build_w3u():
    w = Writer()
    w.int32(W3U_VERSION)
    write_units_table(w, UNITS_ORIGINAL, custom=False)
    write_units_table(w, UNITS_CUSTOM, custom=True)
    return bytes(w.data)


def build_w3c():
    w = Writer()
    w.int32(W3C_VERSION)
    w.int32(len(CAMERAS))
    for name, *fields in CAMERAS:
        if len(fields) != 10:
            raise ValueError("camera %s needs ten values" % name)
        for value in fields:
            w.float32(value)
        w.text(name)
    return bytes(w.data)


def build_wts():
    # The editor writes a byte order mark and CR LF line ends.
    parts = []
    for number in sorted(STRINGS):
        parts.append("STRING %d\r\n{\r\n%s\r\n}\r\n" % (number, STRINGS[number]))
    return ("\ufeff" + "\r\n".join(parts)).encode("utf-8")


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    here = os.path.dirname(os.path.abspath(__file__))
    parser.add_argument("--out", default=os.path.join(here, os.pardir, "Data"),
                        help="folder to write into (default: the project's Data/)")
    args = parser.parse_args(argv)

    os.makedirs(args.out, exist_ok=True)
    outputs = {
        "war3map.w3i": build_w3i(),
        "war3map.w3u": build_w3u(),
        "war3map.w3c": build_w3c(),
        "war3map.wts": build_wts(),
    }
    for name, data in outputs.items():
        path = os.path.join(args.out, name)
        with open(path, "wb") as f:
            f.write(data)
        print("%-12s %5d bytes" % (name, len(data)))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
