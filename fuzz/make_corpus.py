#!/usr/bin/env python3
"""Writes the seed corpus of the fuzz targets: small database files, valid and broken, built
byte by byte from the format's tables, and small settings files. Run from anywhere; it replaces
fuzz/corpus/database and fuzz/corpus/settings."""

import os
import shutil
import struct

HERE = os.path.dirname(os.path.abspath(__file__))

TEXT, INT, BOOL, FLOAT, DOUBLE, DATETIME, BYTE, SHORT, LONG = 10, 3, 7, 5, 6, 8, 1, 2, 4


def header(fields, record_length, count=0, next_serial=1, version=0x00010000, magic=b"WEDB"):
    h = bytearray(112)
    h[0:4] = magic
    struct.pack_into("<IdiiI", h, 4, version, 45000.25, count, next_serial, record_length)
    out = bytes(h) + struct.pack("<i", len(fields))
    for name, ftype, offset, width in fields:
        d = bytearray(72)
        d[0:len(name)] = name
        struct.pack_into("<Iii", d, 20, ftype, offset, width)
        out += bytes(d)
    return out


def record(length, serial, parts):
    r = bytearray(length)
    struct.pack_into("<i", r, 0, serial)
    for offset, data in parts:
        r[offset:offset + len(data)] = data
    return bytes(r)


# The ledger's nine fields: kind, year, month, day, time, item, amount, note, category.
LEDGER = [
    ("类型".encode("gbk"), BOOL, 4, 0), ("年".encode("gbk"), INT, 5, 0),
    ("月".encode("gbk"), INT, 9, 0), ("日".encode("gbk"), INT, 13, 0),
    ("时".encode("gbk"), TEXT, 17, 8), ("项目".encode("gbk"), TEXT, 25, 200),
    ("金额".encode("gbk"), FLOAT, 225, 0), ("备注".encode("gbk"), TEXT, 229, 50),
    ("类别".encode("gbk"), TEXT, 279, 20),
]
LEDGER_LENGTH = 299


def entry(serial, item, amount, income=False):
    return record(LEDGER_LENGTH, serial, [
        (4, b"\x01" if income else b"\x00"), (5, struct.pack("<iii", 2026, 12, 11)),
        (17, "08时05分".encode("gbk")), (25, item.encode("gbk")), (225, struct.pack("<f", amount)),
        (229, "备注".encode("gbk")), (279, "其它开支".encode("gbk"))])


# A small table of every fixed type plus a text: record length 4 + 36 + 6 = 46.
SMALL = [(b"B", BYTE, 4, 0), (b"S", SHORT, 5, 0), (b"I", INT, 7, 0), (b"L", LONG, 11, 0),
         (b"F", FLOAT, 19, 0), (b"D", DOUBLE, 23, 0), (b"O", BOOL, 31, 0),
         (b"T", DATETIME, 32, 0), (b"X", TEXT, 40, 6)]
SMALL_LENGTH = 46


def small(serial, text):
    return record(SMALL_LENGTH, serial, [(4, b"\x07"), (5, struct.pack("<hiqfd", -3, 9, -1, 1.5, 2.25)),
                                         (31, b"\x02"), (32, struct.pack("<d", 45000.5)),
                                         (40, text)])


def databases():
    empty = header(LEDGER, LEDGER_LENGTH, 0, 49)
    three = header(LEDGER, LEDGER_LENGTH, 3, 52) + entry(49, "午饭", 12.5) + \
        entry(-50, "工资", 3000, True) + entry(51, "车票", 4)
    s3 = header(SMALL, SMALL_LENGTH, 3, 4) + small(1, b"abc") + small(2, b"abcdef") + small(3, b"\xca\xd5\xc8")
    yield "ledger_empty.edb", empty
    yield "ledger_three_one_marked.edb", three
    yield "small_three.edb", s3
    yield "small_partial_tail.edb", s3 + small(4, b"x")[:20]
    yield "small_count_beyond_file.edb", header(SMALL, SMALL_LENGTH, 9, 10) + small(1, b"a") + small(2, b"b")
    two = entry(49, "午饭", 12.5) + entry(50, "车票", 4)
    yield "ledger_count_lowered.edb", header(LEDGER, LEDGER_LENGTH, 0, 51) + two
    yield "ledger_next_serial_lowered.edb", header(LEDGER, LEDGER_LENGTH, 2, 49) + two
    yield "ledger_append_cut_short.edb", header(LEDGER, LEDGER_LENGTH, 1, 50) + two
    yield "small_interrupted_purge.edb", header(SMALL, SMALL_LENGTH, 3, 4) + small(2, b"b") + small(2, b"b") + small(3, b"c")
    yield "small_bad_serials.edb", header(SMALL, SMALL_LENGTH, 3, 3) + small(0, b"z") + small(7, b"y") + small(1, b"a")
    yield "field_beyond_record.edb", header([(b"A", INT, 4, 0), (b"B", TEXT, 20, 4)], 10, 2, 3) + \
        record(10, 1, [(4, b"\x01")]) + record(10, 2, [(4, b"\x02")])
    yield "invalid_gbk_text.edb", header(SMALL, SMALL_LENGTH, 1, 2) + small(1, b"\xff\x81\x30\x80")
    yield "version_zero.edb", header(SMALL, SMALL_LENGTH, 0, 1, version=0)
    yield "version_too_high.edb", header(SMALL, SMALL_LENGTH, 0, 1, version=0x00010001)
    yield "password.edb", header(SMALL, SMALL_LENGTH, magic=b"WCDB")
    yield "bad_magic.edb", header(SMALL, SMALL_LENGTH, magic=b"WEDX")
    yield "short_header.edb", empty[:60]
    yield "no_fields.edb", header([], 4)
    yield "name_without_nul.edb", header([(b"N" * 17, INT, 4, 0)], 8)
    yield "type_13.edb", header([(b"A", 13, 4, 0)], 8)
    yield "text_width_0.edb", header([(b"A", TEXT, 4, 0)], 8)
    yield "negative_offset.edb", header([(b"A", INT, -4, 0)], 8)
    yield "huge_field_count.edb", empty[:112] + struct.pack("<i", 0x7FFFFFFF) + empty[116:]
    yield "huge_record_length.edb", header(SMALL, 0x7FFFFFFF, 1, 2) + small(1, b"a")


def settings():
    yield "three.ini", "[类]\r\n1=工资收入\r\n2=其它开支\r\n3=收入开支转账\r\n[总]\r\n1=3\r\n".encode("gbk")
    yield "count_with_text.ini", "[总]\n1=3个\n[类]\n1=a收入\n3=b开支\n".encode("gbk")
    yield "negative_count.ini", "[总]\n1=-5\n[类]\n1=x\n".encode("gbk")
    yield "no_sections.ini", "1=3\n2=工资收入\n".encode("gbk")
    yield "quoted_and_comments.ini", "; c\n[ 类 ]\n 1 = \" 收入 \" \n[总]\n1 = 1\n[类]\n1=second\n".encode("gbk")
    yield "garbage.ini", bytes(range(256))
    yield "gbk_brackets.ini", b"[\xc0\x5d]\n1=\x81\x3d\n[\xc0\xe0]\n1=\x81\x5b\n[\xd7\xdc]\n1=1"


def write(folder, items):
    path = os.path.join(HERE, "corpus", folder)
    shutil.rmtree(path, ignore_errors=True)
    os.makedirs(path)
    for name, data in items:
        with open(os.path.join(path, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    write("database", databases())
    write("settings", settings())
