#!/usr/bin/env python3
"""Draw a tarvo trace (tarvo --trace FILE) as an SVG timeline: one row per job slot, one bar per
command, labelled with its target where the bar is wide enough; a failed command's bar is red.

    python3 docs/trace-svg.py trace.json > trace.svg
"""

import json
import sys
from xml.sax.saxutils import escape

WIDTH, ROW, LEFT, TOP = 900, 28, 70, 24


def main():
    with open(sys.argv[1], encoding="utf-8") as f:
        events = [e for e in json.load(f)["traceEvents"] if e.get("ph") == "X"]
    if not events:
        sys.exit("no commands in the trace")
    start = min(e["ts"] for e in events)
    end = max(e["ts"] + e["dur"] for e in events)
    scale = (WIDTH - LEFT - 10) / max(end - start, 1)
    lanes = sorted({e["tid"] for e in events})
    height = TOP + ROW * len(lanes) + 30
    out = ['<svg xmlns="http://www.w3.org/2000/svg" width="%d" height="%d" '
           'font-family="sans-serif" font-size="11">' % (WIDTH, height),
           '<rect width="100%" height="100%" fill="white"/>']
    for row, lane in enumerate(lanes):
        y = TOP + row * ROW
        out.append('<text x="4" y="%d">slot %d</text>' % (y + 17, lane))
    for e in events:
        x = LEFT + (e["ts"] - start) * scale
        w = max(e["dur"] * scale, 1)
        y = TOP + lanes.index(e["tid"]) * ROW
        failed = e.get("args", {}).get("status", 0) != 0
        title = escape("%s: %s (%.2f s)" % (e["name"], e["args"].get("command", ""),
                                            e["dur"] / 1e6))
        out.append('<rect x="%.1f" y="%d" width="%.1f" height="%d" fill="%s" stroke="white">'
                   '<title>%s</title></rect>'
                   % (x, y + 3, w, ROW - 6, "#d9534f" if failed else "#5b8fd6", title))
        label = e["name"].rsplit("/", 1)[-1]
        if w > 7 * len(label):
            out.append('<text x="%.1f" y="%d" fill="white">%s</text>'
                       % (x + 3, y + 18, escape(label)))
    seconds = (end - start) / 1e6
    step = max(1, round(seconds / 10))
    tick = 0
    while tick <= seconds:
        x = LEFT + tick * 1e6 * scale
        out.append('<text x="%.1f" y="%d" fill="gray">%ds</text>' % (x, height - 8, tick))
        tick += step
    out.append("</svg>")
    print("\n".join(out))


if __name__ == "__main__":
    main()
