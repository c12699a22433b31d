#!/usr/bin/env python3
"""Draw the source layers of tarvo as an SVG: one box per layer under src/, from the bottom
(containers) to the top (driver), with its folders and the number of its source lines, and one
arrow per pair of layers whose files include the lower one, labelled with the count of such
includes. Read from the tree, so the picture stays true:

    python3 docs/architecture-svg.py > docs/architecture.svg
"""

import os
import re
import sys
from xml.sax.saxutils import escape

LAYERS = ["containers", "text", "platform", "preprocess", "exec", "rules", "driver"]
WIDTH, BOX_W, BOX_H, GAP, LEFT = 760, 300, 46, 22, 40
INCLUDE = re.compile(r'#include "(\w+)/')


def survey(root):
    lines, includes, folders = {}, {}, {}
    for layer in LAYERS:
        lines[layer] = 0
        folders[layer] = sorted(
            d for d in os.listdir(os.path.join(root, layer))
            if os.path.isdir(os.path.join(root, layer, d)))
        for directory, _, files in os.walk(os.path.join(root, layer)):
            for name in files:
                if not name.endswith((".cpp", ".h")):
                    continue
                with open(os.path.join(directory, name), encoding="utf-8") as f:
                    for line in f:
                        lines[layer] += 1
                        found = INCLUDE.match(line)
                        if found and found.group(1) in LAYERS and found.group(1) != layer:
                            pair = (layer, found.group(1))
                            includes[pair] = includes.get(pair, 0) + 1
    return lines, includes, folders


def main():
    root = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "src")
    lines, includes, folders = survey(root)
    height = len(LAYERS) * (BOX_H + GAP) + 40
    top = {layer: 20 + (len(LAYERS) - 1 - i) * (BOX_H + GAP) for i, layer in enumerate(LAYERS)}
    out = ['<svg xmlns="http://www.w3.org/2000/svg" width="%d" height="%d" '
           'font-family="sans-serif" font-size="12">' % (WIDTH, height),
           '<rect width="100%" height="100%" fill="white"/>',
           '<defs><marker id="a" markerWidth="8" markerHeight="8" refX="7" refY="4" '
           'orient="auto"><path d="M0,0 L8,4 L0,8 z" fill="#555"/></marker></defs>']
    for layer in LAYERS:
        y = top[layer]
        out.append('<rect x="%d" y="%d" width="%d" height="%d" rx="6" fill="#eef3fb" '
                   'stroke="#36c"/>' % (LEFT, y, BOX_W, BOX_H))
        label = "src/%s  (%d lines)" % (layer, lines[layer])
        out.append('<text x="%d" y="%d" font-weight="bold">%s</text>'
                   % (LEFT + 10, y + 19, escape(label)))
        if folders[layer]:
            out.append('<text x="%d" y="%d">%s</text>' % (
                LEFT + 10, y + 36, escape("with " + ", ".join(f + "/" for f in folders[layer]))))
    # Arrows fan out to the right of the boxes, one lane per pair, upper layer to lower.
    pairs = sorted(includes, key=lambda p: (LAYERS.index(p[0]), -LAYERS.index(p[1])))
    lane_x = LEFT + BOX_W + 20
    step = (WIDTH - lane_x - 30) / max(len(pairs), 1)
    # Each arrow leaves its box and reaches the other at a height of its own.
    leaving = {layer: [p for p in pairs if p[0] == layer] for layer in LAYERS}
    reaching = {layer: [p for p in pairs if p[1] == layer] for layer in LAYERS}
    for n, (upper, lower) in enumerate(pairs):
        x = lane_x + n * step
        out_of = leaving[upper]
        into = reaching[lower]
        y1 = top[upper] + (out_of.index((upper, lower)) + 1) * BOX_H / (len(out_of) + 1)
        y2 = top[lower] + (into.index((upper, lower)) + 1) * BOX_H / (len(into) + 1)
        out.append('<path d="M%d,%.0f H%.0f V%.0f H%d" fill="none" stroke="#555" '
                   'stroke-width="1" marker-end="url(#a)"/>'
                   % (LEFT + BOX_W, y1, x, y2, LEFT + BOX_W + 2))
        out.append('<text x="%.0f" y="%.0f" font-size="9" fill="#555">%d</text>'
                   % (x + 2, (y1 + y2) / 2, includes[(upper, lower)]))
    out.append('<text x="%d" y="%d" font-size="11" fill="#555">An arrow: files of the upper '
               'layer include the lower one (the number of includes). None points up.</text>'
               % (LEFT, height - 8))
    out.append("</svg>")
    print("\n".join(out))


if __name__ == "__main__":
    main()
