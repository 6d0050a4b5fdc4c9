"""A designer's floor drawing of N labelled pipe runs, for the main-road
benchmark: usage `make_floor.py N OUT`.

Rooms of 12 x 9 m on a grid, each outlined by its walls and holding ten runs
(the last room may hold fewer):
  - six supply runs (layer ZEB_给水) across the room, drawn in two or three
    pieces (lines and two-point polylines; some pieces meet end to end, some
    leave a short gap), each labelled "DN.." above its first piece;
  - four drainage runs (layer ZEB_污水) up the room's right side, in two
    pieces, each labelled "de.." beside it, written along the run;
  - the first supply run goes on across the drainage runs, the last one
    across the first drainage run: five crossings a room.
Everything is placed from N alone, so the same N always gives the same
drawing. Written as DXF text, as the host reads floor drawings.
"""
import math
import sys

import ezdxf

ROOM_W, ROOM_H = 12000.0, 9000.0
SUPPLY = ["DN20", "DN25", "DN32", "DN40", "DN50", "DN15"]
DRAIN = ["de50", "de75", "de110", "de160"]


def main():
    runs = int(sys.argv[1])
    out = sys.argv[2]
    doc = ezdxf.new("R2007")
    doc.header["$INSUNITS"] = 4
    msp = doc.modelspace()
    for name in ("ZEB_给水", "ZEB_污水", "ZEB_文字", "墙"):
        doc.layers.add(name)

    def line(a, b, layer, poly):
        if poly:
            msp.add_lwpolyline([a, b], dxfattribs={"layer": layer})
        else:
            msp.add_line(a, b, dxfattribs={"layer": layer})

    def text(s, x, y, rotation=0):
        t = msp.add_text(s, dxfattribs={"height": 250, "layer": "ZEB_文字", "rotation": rotation})
        t.set_placement((x, y))

    rooms = (runs + 9) // 10
    cols = max(1, math.ceil(math.sqrt(rooms)))
    left = runs
    for r in range(rooms):
        ox, oy = (r % cols) * ROOM_W, (r // cols) * ROOM_H
        msp.add_lwpolyline([(ox, oy), (ox + ROOM_W, oy), (ox + ROOM_W, oy + ROOM_H), (ox, oy + ROOM_H)],
                           close=True, dxfattribs={"layer": "墙"})
        for i in range(6):
            if left == 0:
                break
            left -= 1
            y = oy + 1000 + 1200 * i
            end = 11600 if i == 0 else (9350 if i == 5 else 8500)
            if (r + i) % 2 == 0:
                cuts = [500, 3000, 6000, end]   # three pieces end to end
                gaps = [0, 0, 0]
            else:
                cuts = [500, 4500, end]         # two pieces with a 200 gap
                gaps = [200, 0]
            for k in range(len(cuts) - 1):
                line((ox + cuts[k] + gaps[k], y), (ox + cuts[k + 1], y), "ZEB_给水", (r + i + k) % 3 == 0)
            text(SUPPLY[(r + i) % len(SUPPLY)], ox + 1500, y + 100)
        for j in range(4):
            if left == 0:
                break
            left -= 1
            x = ox + 9000 + 700 * j
            line((x, oy + 500), (x, oy + 4000), "ZEB_污水", (r + j) % 2 == 0)
            line((x, oy + 4000), (x, oy + 8200), "ZEB_污水", False)
            text(DRAIN[(r + j) % len(DRAIN)], x - 100, oy + 2000, rotation=90)
    doc.saveas(out, encoding="utf-8")


if __name__ == "__main__":
    main()
