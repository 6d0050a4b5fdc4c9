"""Checks a converted floor drawing against the design drawing it came from,
reading both with ezdxf, independently of the module's own code:

- per pipe name and diameter label, the plan lengths of the converted runs
  add up to the plan lengths of the design's lines and polylines labelled
  with it (each design segment takes the nearest parallel "DN"/"de" text
  within 300 beside it);
- no two runs of one name cross inside both (crossings are broken);
- every fixture point component has a riser at its insertion point;
- the ducts keep every segment of the design's duct lines and polylines;
- the devices of the electrical design (blocks on ZEB_配电箱, ZEB_灯具,
  ZEB_开关, ZEB_插座) are point components at the same places;
- the lighting wiring (ZEB_照明, cut into straight pieces by the circuit
  tracing) keeps its length, and the wire-in-conduit runs "导线·导管" lie
  along it, 15 past the box and the switch, with the counts of the "3", "4"
  and "n=3" texts beside them (2 elsewhere);
- the design's entities (layers "ZEB_...") are all still there (the wiring
  as its pieces).
Prints one line per difference and exits 1 when any.
    check_converted_floor.py DESIGN CONVERTED
"""
import math
import sys
from collections import defaultdict

import ezdxf

PIPES = {"ZEB_给水": "给水管", "ZEB_排水": "污水管"}
DUCTS = {"ZEB_风管": "送风管"}
FIXTURE_LAYERS = ("洗脸盆", "大便器")


def segments(doc, layer, skip=frozenset()):
    out = []
    for e in doc.modelspace().query("LINE LWPOLYLINE"):
        if e.dxf.layer != layer or e.dxf.handle in skip:
            continue
        if e.dxftype() == "LINE":
            out.append(((e.dxf.start.x, e.dxf.start.y), (e.dxf.end.x, e.dxf.end.y)))
        else:
            pts = [(p[0], p[1]) for p in e.get_points("xy")]
            if e.closed:
                pts.append(pts[0])
            out.extend(zip(pts, pts[1:]))
    return out


def length(seg):
    (ax, ay), (bx, by) = seg
    return math.hypot(bx - ax, by - ay)


def label_of(doc, layer, seg):
    (ax, ay), (bx, by) = seg
    dx, dy = bx - ax, by - ay
    lg = math.hypot(dx, dy)
    best, label = 300.0, None
    for t in doc.modelspace().query("TEXT"):
        if t.dxf.layer != layer:
            continue
        text = t.dxf.text
        if not text.upper().startswith(("DN", "DE")):
            continue
        angle = math.radians(t.dxf.rotation)
        if abs(math.sin(angle) * dx / lg - math.cos(angle) * dy / lg) > math.sin(math.radians(10)):
            continue
        x, y = t.dxf.insert.x, t.dxf.insert.y
        u = ((x - ax) * dx + (y - ay) * dy) / (lg * lg)
        if u < 0 or u > 1:
            continue
        dist = abs((x - ax) * dy - (y - ay) * dx) / lg
        if dist < best:
            best, label = dist, text.split(" ")[0].split("=")[0]
    return label


def xdata_lines(e, app):
    try:
        return [str(v) for _, v in e.get_xdata(app)]
    except ezdxf.DXFValueError:
        return []


def special(e):
    return dict(line.split("=", 1) for line in xdata_lines(e, "特殊") if "=" in line)


def crossing(s, t):
    (ax, ay), (bx, by) = s
    (cx, cy), (dx, dy) = t
    d = (bx - ax) * (dy - cy) - (by - ay) * (dx - cx)
    if abs(d) < 1e-9:
        return False
    u = ((cx - ax) * (dy - cy) - (cy - ay) * (dx - cx)) / d
    v = ((cx - ax) * (by - ay) - (cy - ay) * (bx - ax)) / d
    eu, ev = 1.0 / length(s), 1.0 / length(t)
    return eu < u < 1 - eu and ev < v < 1 - ev


WIRING = "ZEB_照明"
DEVICES = {"ZEB_配电箱": "配电箱", "ZEB_灯具": "点状灯具", "ZEB_开关": "开关", "ZEB_插座": "插座"}
# Horizontal runs of the lighting circuit: plan ends (either order) and count.
LIGHTING_RUNS = {
    ((34015, 3000), (37000, 3000)): "3",
    ((37015, 3000), (40000, 3000)): "2",
    ((40000, 3015), (40000, 6500)): "4",
    ((39985, 6500), (37000, 6500)): "3",
    ((37000 - 15, 6500), (35015, 6500)): "2",
}


def wiring_length(doc):
    total = 0.0
    for e in doc.modelspace():
        if e.dxf.layer != WIRING:
            continue
        if e.dxftype() == "LINE":
            total += length(((e.dxf.start.x, e.dxf.start.y), (e.dxf.end.x, e.dxf.end.y)))
        elif e.dxftype() == "LWPOLYLINE":
            pts = [(p[0], p[1]) for p in e.get_points("xy")]
            total += sum(length((a, b)) for a, b in zip(pts, pts[1:]))
    return total


def check_electrical(design, converted, diffs):
    for source, layer in DEVICES.items():
        want = sorted((round(e.dxf.insert.x), round(e.dxf.insert.y)) for e in design.modelspace().query("INSERT")
                      if e.dxf.layer == source)
        def placed(doc):
            return [(round(e.dxf.insert.x), round(e.dxf.insert.y)) for e in doc.modelspace().query("INSERT")
                    if e.dxf.layer == layer and special(e).get("类型") == "点构件"]
        # Components the floor held before the conversion are not its work.
        got = placed(converted)
        for p in placed(design):
            if p in got:
                got.remove(p)
        got.sort()
        if want != got:
            diffs.append("devices %s: design at %s, components at %s" % (layer, want, got))
    if abs(wiring_length(design) - wiring_length(converted)) > 0.01:
        diffs.append("lighting wiring: %.3f before, %.3f after" % (wiring_length(design), wiring_length(converted)))
    runs = {}
    for e in converted.modelspace().query("LWPOLYLINE"):
        if e.dxf.layer != "导线·导管":
            continue
        pts = [(round(p[0]), round(p[1])) for p in e.get_points("xy")]
        attrs = xdata_lines(e, "属性")
        count = next((a.split("=", 1)[1] for a in attrs if a.startswith("导线根数=")), "")
        runs[(pts[0], pts[-1])] = count
        runs[(pts[-1], pts[0])] = count
    for ends, count in LIGHTING_RUNS.items():
        if runs.get(ends) != count:
            diffs.append("wire-in-conduit run %s: count %s, want %s" % (ends, runs.get(ends), count))
    if len(runs) != 2 * len(LIGHTING_RUNS):
        diffs.append("%d wire-in-conduit runs, want %d" % (len(runs) // 2, len(LIGHTING_RUNS)))


def main(design_path, converted_path):
    design = ezdxf.readfile(design_path)
    converted = ezdxf.readfile(converted_path)
    diffs = []
    # Components the floor held before the conversion are not its result.
    before = frozenset(e.dxf.handle for e in design.modelspace())

    expected = defaultdict(float)
    for layer, name in PIPES.items():
        for seg in segments(design, layer):
            label = label_of(design, layer, seg)
            if label is None:
                diffs.append("design segment %s on %s has no label" % (seg, layer))
            expected[(name, label)] += length(seg)
    # Runs of the same names that the floor held before keep their length:
    # the breaking pass may cut them at junctions, but adds nothing to them.
    got = defaultdict(float)
    for e in design.modelspace().query("LWPOLYLINE"):
        if e.dxf.layer in PIPES.values() and special(e).get("类型") == "斜管":
            number = (xdata_lines(e, "编号") or [""])[0]
            pts = [(p[0], p[1]) for p in e.get_points("xy")]
            got[(e.dxf.layer, number)] -= length((pts[0], pts[-1]))
    runs = defaultdict(list)
    for e in converted.modelspace().query("LWPOLYLINE"):
        if e.dxf.layer not in PIPES.values() or special(e).get("类型") != "斜管":
            continue
        number = (xdata_lines(e, "编号") or [""])[0]
        pts = [(p[0], p[1]) for p in e.get_points("xy")]
        got[(e.dxf.layer, number)] += length((pts[0], pts[-1]))
        runs[e.dxf.layer].append((pts[0], pts[-1]))
    for key in sorted(set(expected) | set(got), key=str):
        if abs(expected.get(key, 0) - got.get(key, 0)) > 0.01:
            diffs.append("%s %s: design %.3f, converted %.3f" % (key[0], key[1], expected.get(key, 0), got.get(key, 0)))

    for name, lst in runs.items():
        for i, s in enumerate(lst):
            for t in lst[i + 1:]:
                if crossing(s, t):
                    diffs.append("%s runs %s and %s cross" % (name, s, t))

    risers = []
    for e in converted.modelspace().query("INSERT"):
        if e.dxf.layer in PIPES.values() and special(e).get("类型") == "立管":
            risers.append((e.dxf.insert.x, e.dxf.insert.y))
    for e in converted.modelspace().query("INSERT"):
        if e.dxf.layer in FIXTURE_LAYERS and special(e).get("类型") == "点构件":
            x, y = e.dxf.insert.x, e.dxf.insert.y
            if not any(math.hypot(x - rx, y - ry) < 1.0 for rx, ry in risers):
                diffs.append("fixture on %s at %.1f,%.1f has no riser" % (e.dxf.layer, x, y))

    for layer, name in DUCTS.items():
        source = segments(design, layer)
        made = segments(converted, name, before)
        if len(made) != len(source) or abs(sum(map(length, made)) - sum(map(length, source))) > 0.01:
            diffs.append("ducts: %d segments of %.3f made from %d of %.3f" % (
                len(made), sum(map(length, made)), len(source), sum(map(length, source))))

    check_electrical(design, converted, diffs)

    def zeb_count(doc):
        return sum(1 for e in doc.modelspace() if e.dxf.layer.startswith("ZEB_") and e.dxf.layer != WIRING)

    if zeb_count(design) != zeb_count(converted):
        diffs.append("design entities: %d before, %d after" % (zeb_count(design), zeb_count(converted)))
    if not got:
        diffs.append("no converted runs")
    for d in diffs:
        print(d)
    return 1 if diffs else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2]))
