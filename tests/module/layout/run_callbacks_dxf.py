"""Lists the model space of a saved drawing as another reader sees it: one
line per entity with its type, layer, widths or text and its component data
(编号, the number of 属性 lines, 特殊), then "owner-ok" when every decoration's
属性 line names a primary entity of the drawing.
    run_callbacks_dxf.py DRAWING
"""
import sys

import ezdxf


def xdata(entity, app):
    if not entity.has_xdata(app):
        return None
    return [value for code, value in entity.get_xdata(app) if code == 1000]


def describe(e):
    parts = [e.dxftype(), e.dxf.layer]
    if e.dxftype() == "LWPOLYLINE":
        if e.dxf.layer.endswith("边线"):
            parts += ["closed=%d" % int(e.closed), "points=%d" % len(e), "width=%r" % e.dxf.const_width]
        else:
            if e.dxf.const_width:
                parts.append("width=%r" % e.dxf.const_width)
            widths = [(s, w) for _, _, s, w, _ in e.get_points("xyseb")]
            if any(s or w for s, w in widths):
                parts.append("widths=" + ",".join("%r/%r" % sw for sw in widths))
            if e.dxf.hasattr("linetype") and e.dxf.linetype.upper() != "BYLAYER":
                parts += ["ltype=%s" % e.dxf.linetype, "ltscale=%r" % e.dxf.ltscale]
            if e.dxf.hasattr("true_color"):
                parts.append("true_color=0x%06x" % e.dxf.true_color)
    elif e.dxftype() == "TEXT":
        parts.append("text=%s" % e.dxf.text)
    number = xdata(e, "编号")
    if number is not None:
        parts.append("编号=%s" % "|".join(number))
    attrs = xdata(e, "属性")
    if attrs is not None:
        parts.append("属性=%d" % len(attrs))
    special = xdata(e, "特殊")
    if special is not None:
        parts.append("特殊=%s" % "|".join(special))
    return " ".join(parts)


def main(path):
    doc = ezdxf.readfile(path)
    msp = doc.modelspace()
    primaries = set()
    decorations = []
    for e in msp:
        print(describe(e))
        attrs = xdata(e, "属性")
        if attrs is None:
            continue
        if len(attrs) >= 2 and attrs[1] == "主键" and attrs[0].upper() == e.dxf.handle.upper():
            primaries.add(attrs[0].upper())
        elif len(attrs) == 1:
            decorations.append(attrs[0].upper())
    if decorations and all(h in primaries for h in decorations):
        print("owner-ok")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
