#!/usr/bin/env python3
"""zurm-calc --convert on every Jet test database, compared with an
independent Jet reader (mdb-export, always under the C locale) table by table,
column by column and value by value, and with values known from the files'
description. Run by ctest under each of the test locales: the conversion must
not depend on the user's locale.

Usage: conversion_check.py ZURM_CALC JET_DATA_DIR
"""
import csv
import decimal
import io
import os
import sqlite3
import struct
import subprocess
import sys
import tempfile

NULL = "\u2400"  # no value in these files

# Values known from the files' description: (file, table, row index, column, value, SQLite type).
KNOWN = [
    ("testV2000.mdb", "Table1", 0, "A", "abcdefg", "text"),
    ("testV2000.mdb", "Table1", 0, "C", 2, "integer"),
    ("testV2000.mdb", "Table1", 0, "E", 333333333, "integer"),
    ("testV2000.mdb", "Table1", 0, "F", 444.555, "real"),
    ("testV2000.mdb", "Table1", 0, "G", "1974-09-21 00:00:00", "text"),
    ("testV2000.mdb", "Table1", 0, "H", 3.5, "real"),
    ("testV2000.mdb", "Table1", 0, "I", 1, "integer"),
    ("testV2000.mdb", "Table1", 1, "I", 0, "integer"),
    ("testV1997.mdb", "Table1", 0, "G", "1981-12-12 00:00:00", "text"),
    ("testV1997.mdb", "Table1", 1, "F", 444.555, "real"),
    ("testUnicodeCompV2003.mdb", "Table", 1, "Unicode", "ääkkösiä", "text"),
    ("testUnicodeCompV2003.mdb", "Table", 2, "Unicode", "Мир", "text"),
    ("testUnicodeCompV2003.mdb", "Table", 4, "Unicode", "漢字仮名交じり文", "text"),
    ("fixedNumericTestV2000.mdb", "test", 0, "col1", "some data", "text"),
    ("fixedNumericTestV2000.mdb", "test", 0, "col5", "4", "text"),
    ("fixedNumericTestV2000.mdb", "test", 0, "col6", "-1", "text"),
    ("delColTestV2000.mdb", "Table1", 0, "data2", "foo2", "text"),
]
# Declared types the conversion gives: (file, table, column, type).
TYPES = [
    ("testV2000.mdb", "Table1", ["text(50)", "text(100)", "smallint", "smallint", "int", "float", "datetime",
                                 "float", "bit"]),
    ("fixedNumericTestV2000.mdb", "test", ["text"] + ["text"] * 6),
]


def reference_rows(mdb, table):
    env = dict(os.environ, LANG="C.UTF-8", LC_ALL="C.UTF-8")
    out = subprocess.run(["mdb-export", "-0", NULL, "-T", "%Y-%m-%d %H:%M:%S", "-b", "hex", mdb, table],
                         env=env, check=True, capture_output=True).stdout.decode("utf-8")
    rows = list(csv.reader(io.StringIO(out)))
    return rows[0], rows[1:]


def same(ours, text, declared):
    if text == NULL or text == "":
        return ours is None or ours == ""
    if ours is None:
        return False
    if isinstance(ours, bytes):
        return ours.hex().upper() == text.upper()
    if isinstance(ours, int):
        return ours == int(text)
    if isinstance(ours, float):
        if declared == "float" and "." not in text and "e" not in text.lower() and len(text) <= 9:
            return ours == float(text)
        # A Single comes out of the other reader with 8 digits: widened exactly,
        # ours rounds back to the same float.
        single = struct.unpack("f", struct.pack("f", ours))[0]
        return ours == float(text) or (single == ours and "%.8g" % single == "%.8g" % float(text))
    if declared == "text" and text.lstrip("-").replace(".", "", 1).isdigit():
        return decimal.Decimal(ours) == decimal.Decimal(text)
    return ours == text


def main():
    zurm_calc, data = sys.argv[1], sys.argv[2]
    failures = []
    converted = {}
    with tempfile.TemporaryDirectory() as scratch:
        for name in sorted(f for f in os.listdir(data) if f.endswith(".mdb")):
            old = os.path.join(data, name)
            new = os.path.join(scratch, name)
            before = open(old, "rb").read()
            done = subprocess.run([zurm_calc, "--convert", old, new], capture_output=True)
            if done.returncode != 0:
                failures.append(f"{name}: exit {done.returncode}: {done.stderr.decode()}")
                continue
            if open(old, "rb").read() != before:
                failures.append(f"{name}: the old file changed")
            again = subprocess.run([zurm_calc, "--convert", old, new], capture_output=True)
            if again.returncode != 2:
                failures.append(f"{name}: an existing new file gave exit {again.returncode}, not 2")
            db = sqlite3.connect(new)
            converted[name] = db
            tables = subprocess.run(["mdb-tables", "-1", old], check=True, capture_output=True).stdout.decode()
            tables = [t for t in tables.split("\n") if t]
            ours = [r[0] for r in db.execute("SELECT name FROM sqlite_master WHERE type='table' ORDER BY rowid")]
            if ours != tables:
                failures.append(f"{name}: tables {ours}, the other reader {tables}")
                continue
            for table in tables:
                header, rows = reference_rows(old, table)
                info = db.execute(f'PRAGMA table_info("{table}")').fetchall()
                columns = [c[1] for c in info]
                declared = [c[2].split("(")[0] for c in info]
                if columns != header:
                    failures.append(f"{name}/{table}: columns {columns}, the other reader {header}")
                    continue
                mine = db.execute(f'SELECT * FROM "{table}" ORDER BY rowid').fetchall()
                if len(mine) != len(rows):
                    failures.append(f"{name}/{table}: {len(mine)} rows, the other reader {len(rows)}")
                    continue
                for r, (a, b) in enumerate(zip(mine, rows)):
                    for c, (x, y) in enumerate(zip(a, b)):
                        if not same(x, y, declared[c]):
                            failures.append(f"{name}/{table} row {r + 1} {columns[c]}: {x!r}, the other reader {y!r}")
        # A code page iconv does not know is refused before anything is written.
        refused = os.path.join(scratch, "refused.mdb")
        done = subprocess.run([zurm_calc, "--convert", os.path.join(data, "testV1997.mdb"), refused,
                               "--jet-charset", "NO-SUCH-CODEPAGE"], capture_output=True)
        if done.returncode != 2 or os.path.exists(refused):
            failures.append(f"unknown --jet-charset: exit {done.returncode}, file left: {os.path.exists(refused)}")
        for name, table, row, column, value, kind in KNOWN:
            got = converted[name].execute(
                f'SELECT "{column}", typeof("{column}") FROM "{table}" ORDER BY rowid LIMIT 1 OFFSET {row}').fetchone()
            if got != (value, kind):
                failures.append(f"{name}/{table} row {row + 1} {column}: {got}, expected {(value, kind)}")
        for name, table, types in TYPES:
            got = [c[2].lower() for c in converted[name].execute(f'PRAGMA table_info("{table}")')]
            if got != types:
                failures.append(f"{name}/{table}: types {got}, expected {types}")
        for db in converted.values():
            db.close()
    for failure in failures:
        print(failure)
    print(f"{len(converted)} files converted, {len(failures)} differences")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
