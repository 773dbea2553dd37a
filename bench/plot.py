#!/usr/bin/env python3
"""plot.py - draws the benchmark's summary (summary.csv written by
quarnel_bench) as an SVG picture with two panels: each case's throughput as a
share of its plain yardstick, and each case's peak memory increase as a share
of the allowed largest item + 8 MB, with the goals marked.  Standard library
only; ImageMagick, when present, turns it into a PNG as well.
Usage: plot.py summary.csv out.svg"""
import csv
import shutil
import subprocess
import sys
from xml.sax.saxutils import escape

PROGRAM_CASES = ["install-shown", "install-sealed", "install-quiet", "build"]
COLOURS = {"install-shown": "#c0392b", "install-sealed": "#8e44ad", "install-quiet": "#e67e22",
           "build": "#2980b9"}
# Throughput goals: (set, case) -> lowest share of the yardstick.
RATIO_GOALS = {("4k", "install-shown"): 0.5, ("256m", "install-shown"): 0.9,
               ("4k", "build"): 0.9, ("1m", "build"): 0.9, ("256m", "build"): 0.9}
PANEL_W, PANEL_H, TOP, LEFT, BOTTOM = 470, 300, 50, 55, 70


def read_rows(path):
    with open(path, newline="") as f:
        return list(csv.DictReader(f))


def mb_label(mb):
    return f"{mb:.1f} MB" if mb < 10 else f"{mb:.0f} MB"


def set_label(row):
    size = int(row["item_bytes"])
    unit = f"{size // 1048576} MB" if size >= 1048576 else f"{size // 1024} KB"
    return f"{row['items']} x {unit}"


def panel(x0, title, groups, value, goal, top_value, label):
    """One bar panel: groups is [(set label, [row, ...])]; value(row) gives the
    bar's height as a share, goal(row) the marked target or None."""
    out = [f'<text x="{x0 + PANEL_W / 2}" y="24" text-anchor="middle" font-size="15">{escape(title)}</text>']
    plot_h = PANEL_H - TOP - BOTTOM + 30
    base_y = TOP + plot_h
    scale = plot_h / top_value
    for tick in [i * 0.25 for i in range(int(top_value / 0.25) + 1)]:
        y = base_y - tick * scale
        out.append(f'<line x1="{x0 + LEFT}" y1="{y:.1f}" x2="{x0 + PANEL_W - 10}" y2="{y:.1f}" '
                   f'stroke="{"#555" if tick == 1 else "#ddd"}" stroke-width="1"/>')
        out.append(f'<text x="{x0 + LEFT - 6}" y="{y + 4:.1f}" text-anchor="end" font-size="11">{tick:.2f}</text>')
    group_w = (PANEL_W - LEFT - 10) / max(len(groups), 1)
    bar_w = group_w / (len(PROGRAM_CASES) + 1)
    for g, (name, rows) in enumerate(groups):
        gx = x0 + LEFT + g * group_w + bar_w / 2
        for b, row in enumerate(rows):
            v = max(0.0, min(value(row), top_value))
            x = gx + b * bar_w
            out.append(f'<rect x="{x:.1f}" y="{base_y - v * scale:.1f}" width="{bar_w - 3:.1f}" '
                       f'height="{v * scale:.1f}" fill="{COLOURS[row["case"]]}"/>')
            out.append(f'<text x="{x + (bar_w - 3) / 2:.1f}" y="{base_y - v * scale - 4:.1f}" '
                       f'text-anchor="middle" font-size="10">{escape(label(row))}</text>')
            target = goal(row)
            if target is not None:
                y = base_y - target * scale
                out.append(f'<line x1="{x - 2:.1f}" y1="{y:.1f}" x2="{x + bar_w - 1:.1f}" y2="{y:.1f}" '
                           f'stroke="black" stroke-width="2" stroke-dasharray="4,2"/>')
        out.append(f'<text x="{gx + bar_w * len(rows) / 2:.1f}" y="{base_y + 18}" text-anchor="middle" '
                   f'font-size="12">{escape(name)}</text>')
    return out


def legend(y):
    out, x = [], LEFT
    titles = {"install-shown": "install, progress on", "install-sealed": "install, sealed, progress on",
              "install-quiet": "install, progress off", "build": "build (PackFiles)"}
    for case in PROGRAM_CASES:
        out.append(f'<rect x="{x}" y="{y - 10}" width="12" height="12" fill="{COLOURS[case]}"/>')
        out.append(f'<text x="{x + 17}" y="{y}" font-size="12">{titles[case]}</text>')
        x += 30 + 7 * len(titles[case])
    out.append(f'<line x1="{x}" y1="{y - 4}" x2="{x + 24}" y2="{y - 4}" stroke="black" stroke-width="2" stroke-dasharray="4,2"/>')
    out.append(f'<text x="{x + 30}" y="{y}" font-size="12">goal</text>')
    return out


def draw(rows):
    groups = []
    for name in dict.fromkeys(r["set"] for r in rows):
        mine = [r for r in rows if r["set"] == name and r["case"] in PROGRAM_CASES]
        mine.sort(key=lambda r: PROGRAM_CASES.index(r["case"]))
        if mine:
            groups.append((set_label(mine[0]), mine))
    ratio = lambda r: float(r["ratio"])
    memory = lambda r: float(r["peak_mb"]) / float(r["limit_mb"])
    width, height = 2 * PANEL_W + 20, PANEL_H + 40
    parts = [f'<svg xmlns="http://www.w3.org/2000/svg" width="{width}" height="{height}" '
             f'font-family="sans-serif">', f'<rect width="{width}" height="{height}" fill="white"/>']
    parts += panel(0, "Throughput / plain copy (1.00 = as fast)", groups, ratio,
                   lambda r: RATIO_GOALS.get((r["set"], r["case"])), 1.5, lambda r: f"{ratio(r):.2f}")
    parts += panel(PANEL_W + 20, "Peak memory / (largest item + 8 MB)", groups, memory,
                   lambda r: 1.0, 1.25, lambda r: mb_label(float(r["peak_mb"])))
    parts += legend(height - 12)
    parts.append("</svg>")
    return "\n".join(parts) + "\n"


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__.splitlines()[-1])
    rows = [r for r in read_rows(sys.argv[1]) if int(r["runs_ok"]) > 0]
    with open(sys.argv[2], "w") as f:
        f.write(draw(rows))
    convert = shutil.which("convert")
    if convert:
        png = sys.argv[2].rsplit(".", 1)[0] + ".png"
        subprocess.run([convert, sys.argv[2], png], check=False)


if __name__ == "__main__":
    main()
