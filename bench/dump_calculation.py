#!/usr/bin/env python3
"""Every stored value of a calculation file, one line per row, for comparing
two runs bit for bit: tables by name, rows by rowid, each value with its
storage class (reals as exact hexadecimal). Usage:

    dump_calculation.py FILE [TABLE ...] > dump.txt

Without tables, every table of the file. Compare two dumps with cmp or diff.
"""
import sqlite3
import sys


def shown(value):
    if value is None:
        return "null"
    if isinstance(value, float):
        return "r:" + value.hex()
    if isinstance(value, int):
        return "i:%d" % value
    if isinstance(value, bytes):
        return "b:" + value.hex()
    return "t:" + value.replace("\\", "\\\\").replace("\n", "\\n").replace("\r", "\\r").replace("\t", "\\t")


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    db = sqlite3.connect("file:%s?mode=ro" % sys.argv[1], uri=True)
    db.text_factory = str
    tables = sys.argv[2:] or [row[0] for row in db.execute(
        "SELECT name FROM sqlite_master WHERE type = 'table' AND name NOT LIKE 'sqlite_%' ORDER BY name")]
    out = sys.stdout
    for table in tables:
        quoted = '"' + table.replace('"', '""') + '"'
        cursor = db.execute("SELECT rowid, * FROM %s ORDER BY rowid" % quoted)
        names = [d[0] for d in cursor.description[1:]]
        out.write("== %s (%s)\n" % (table, ", ".join(names)))
        count = 0
        for row in cursor:
            out.write("%d\t%s\n" % (row[0], "\t".join(shown(v) for v in row[1:])))
            count += 1
        out.write("== %s: %d rows\n" % (table, count))


if __name__ == "__main__":
    main()
