"""Compares a drawing saved before a rebuild with the one saved after it, as
another reader sees them. Prints
  same-primaries          every primary component entity (type, layer,
                          geometry, every application of its extended data,
                          the handle left out of 属性) is there once, as before;
  same-decorations        as many labels and outlines per layer as before;
  fresh-decorations       none of the earlier labels and outlines is left;
  owner-ok                every decoration names a primary entity of its drawing;
and, for each check that fails, what differs.
    rebuild_dxf.py BEFORE AFTER
"""
import collections
import sys

import ezdxf

APPS = ("编号", "属性", "特殊", "构件", "地暖", "外部")


def xdata(entity, app):
    if not entity.has_xdata(app):
        return None
    return [value for code, value in entity.get_xdata(app) if code == 1000]


def geometry(e):
    kind = e.dxftype()
    if kind == "LWPOLYLINE":
        return ";".join("%.3f,%.3f:%.6f" % (x, y, b) for x, y, b in e.get_points("xyb"))
    if kind == "INSERT":
        return "%s@%.3f,%.3f" % (e.dxf.name, e.dxf.insert.x, e.dxf.insert.y)
    if kind == "TEXT":
        return e.dxf.text
    return ""


def read(path):
    primaries = collections.Counter()
    decorations = collections.Counter()
    decoration_handles = set()
    owners = []
    handles = set()
    for e in ezdxf.readfile(path).modelspace():
        attrs = xdata(e, "属性")
        if attrs is None:
            continue
        if len(attrs) >= 2:
            handles.add(attrs[0].upper())
            data = []
            for app in APPS:
                lines = xdata(e, app)
                if lines is None:
                    continue
                if app == "属性":
                    lines = lines[1:]
                data.append(app + "=" + "|".join(lines))
            primaries[" ".join([e.dxftype(), e.dxf.layer, geometry(e)] + data)] += 1
        else:
            decorations[e.dxf.layer] += 1
            decoration_handles.add(e.dxf.handle.upper())
            owners.extend(attrs)
    owner_ok = all(o.upper() in handles for o in owners)
    return primaries, decorations, decoration_handles, owner_ok


def main(before_path, after_path):
    p1, d1, h1, ok1 = read(before_path)
    p2, d2, h2, ok2 = read(after_path)
    if p1 == p2:
        print("same-primaries")
    else:
        print("primaries before only:", p1 - p2)
        print("primaries after only:", p2 - p1)
    print("same-decorations" if d1 == d2 else "decorations %r -> %r" % (dict(d1), dict(d2)))
    print("fresh-decorations" if not (h1 & h2) else "kept decorations %r" % sorted(h1 & h2))
    if ok1 and ok2:
        print("owner-ok")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2]))
