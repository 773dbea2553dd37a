#!/usr/bin/env python3
"""make_manifest.py - writes the string table of one benchmark item set:
the package name (98), the item count (999) and for every item its
destination "%Dfile<i>.bin" (1000 + i), display name (1400 + i) and date
(1800 + i).  The file is rewritten only when its text changes, so that a
rebuild does not relink the module for nothing."""
import argparse
import sys

MAX_ITEMS = 400      # the item families have room for 400 entries each
MAX_PACKAGE = 15     # the installer reads entry 98 into 16 characters


def manifest_text(package, count, date):
    lines = ['#include "resource.h"', "STRINGTABLE", "BEGIN",
             f'    IDS_PACKAGE, "{package}"',
             f'    IDS_ITEM_COUNT, "{count}"']
    for i in range(count):
        lines.append(f'    IDS_ITEM_DEST + {i}, "%Dfile{i}.bin"')
        lines.append(f'    IDS_ITEM_NAME + {i}, "file{i}.bin"')
        lines.append(f'    IDS_ITEM_DATE + {i}, "{date}"')
    lines.append("END")
    return "\n".join(lines) + "\n"


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--package", required=True)
    parser.add_argument("--count", type=int, required=True)
    parser.add_argument("--date", default="20261207")
    parser.add_argument("--out", required=True)
    args = parser.parse_args()
    if not 0 < args.count <= MAX_ITEMS:
        sys.exit(f"item count {args.count} outside 1..{MAX_ITEMS}")
    if len(args.package) > MAX_PACKAGE or '"' in args.package:
        sys.exit(f"package name {args.package!r} is not usable as entry 98")
    if len(args.date) != 8 or not args.date.isdigit():
        sys.exit(f"item date {args.date!r} is not YYYYMMDD")
    text = manifest_text(args.package, args.count, args.date)
    try:
        with open(args.out, encoding="ascii") as f:
            if f.read() == text:
                return
    except OSError:
        pass
    with open(args.out, "w", encoding="ascii") as f:
        f.write(text)


if __name__ == "__main__":
    main()
