#!/usr/bin/python3
"""The designer's plumbing and HVAC drawing of the first floor, as it arrives
imported into the floor drawing 1层.DWG: its layers carry the prefix "ZEB_"
that marks imported layers, which the conversion commands take as sources.

- water supply (ZEB_给水): a main with "DN32" labels and branches with "DN25"
  labels, as lightweight polylines; one branch crosses another;
- drainage (ZEB_排水): a main polyline labelled "de110" and branch lines
  labelled "de50";
- risers (ZEB_给水立管): circles at the ends of the supply main;
- fixtures (ZEB_洁具): the designer's wash basin and water closet blocks; at
  the same places the engineer has already placed the fixtures as point
  components (layers 洗脸盆 and 大便器), which the pipe conversion gives risers;
- supply air ducts (ZEB_风管): a polyline of three segments and a line;
- the electrical design, drawn beside the plan: a distribution box
  (ZEB_配电箱), four lamps (ZEB_灯具), a switch (ZEB_开关) and two sockets
  (ZEB_插座) as blocks; the lighting circuit from the box through the lamps to
  the switch (ZEB_照明: a polyline and a line), the socket circuit
  (ZEB_插座线: a polyline) and wire-count annotations (ZEB_根数: "3", "4",
  "n=3") beside the lighting wiring.

Added by make_demo.py when it writes the first floor, or alone:
    /usr/bin/python3 demo/tools/design_drawing.py
which replaces the imported design of 1层.DWG (entities on ZEB_ layers and the
fixtures placed for it) and leaves the rest of the drawing as it is.
"""
import os

import ezdxf

HERE = os.path.dirname(os.path.abspath(__file__))
FLOOR_DRAWING = os.path.join(HERE, "..", "projects", "示例工程", "1层.DWG")

TEXT_HEIGHT = 250

# (points, label, label position, label rotation): every straight piece of
# the design carries its own label beside it.
SUPPLY = [
    ([(13500, 3000), (28500, 3000), (28500, 9000)], None, None, 0),
    ([(16000, 3000), (16000, 7500)], "DN25", (16100, 4200), 90),
    ([(23000, 3000), (23000, 8500)], "DN25", (23100, 3600), 90),
    ([(20500, 6500), (26500, 6500)], "DN25", (20800, 6600), 0),
]
SUPPLY_LABELS = [("DN32", (14200, 3100), 0), ("DN32", (28600, 4500), 90)]
DRAINAGE_MAIN = [(14000, 15500), (28000, 15500)]
DRAINAGE_BRANCHES = [((17000, 15500), (17000, 13000)), ((25000, 15500), (25000, 12500))]
DRAINAGE_LABELS = [("de110", (19500, 15600), 0), ("de50", (17100, 13500), 90), ("de50", (25100, 13000), 90)]
RISERS = [(13500, 3000), (28500, 9000)]
# Fixtures at the branch ends: type, number, block, position, elevation.
FIXTURES = [
    ("洗脸盆", "XL1", (16000, 7500), 800.0),
    ("洗脸盆", "XL1", (23000, 8500), 800.0),
    ("大便器", "DB1", (17000, 13000), 0.0),
]
DUCT = [(13500, 16800), (20000, 16800), (20000, 17300), (29000, 17300)]
DUCT_LINE = ((29000, 17300), (29000, 14000))

# The electrical design: device blocks (name, half width, half height,
# with a circle), their positions, the wiring and the count annotations.
ELECTRICAL_DEVICES = [
    ("ZEB_配电箱", "设计_配电箱", 300, 150, False, [(34000, 3000)]),
    ("ZEB_灯具", "设计_灯", 150, 150, True, [(37000, 3000), (40000, 3000), (40000, 6500), (37000, 6500)]),
    ("ZEB_开关", "设计_开关", 100, 100, False, [(35000, 6500)]),
    ("ZEB_插座", "设计_插座", 150, 100, False, [(43000, 3000), (43000, 6500)]),
]
LIGHTING = [(34000, 3000), (40000, 3000), (40000, 6500), (37000, 6500)]
SWITCH_WIRE = ((37000, 6500), (35000, 6500))
SOCKET_WIRING = [(34000, 3000), (34000, 1500), (43000, 1500), (43000, 6500)]
WIRE_COUNTS = [("3", (35500, 3100), 0), ("4", (40100, 4500), 90), ("n=3", (38500, 6600), 0)]

DESIGN_LAYERS = [("ZEB_给水", 3), ("ZEB_排水", 30), ("ZEB_给水立管", 3), ("ZEB_洁具", 6), ("ZEB_风管", 5),
                 ("ZEB_配电箱", 1), ("ZEB_灯具", 2), ("ZEB_开关", 4), ("ZEB_插座", 4), ("ZEB_照明", 2),
                 ("ZEB_插座线", 6), ("ZEB_根数", 7)]
FIXTURE_LAYERS = [("洗脸盆", 6), ("大便器", 6)]
APPS = ("编号", "属性", "特殊")


def clear_design(doc):
    msp = doc.modelspace()
    fixture_layers = {name for name, _ in FIXTURE_LAYERS}
    for e in list(msp):
        if e.dxf.layer.startswith("ZEB_") or e.dxf.layer in fixture_layers:
            msp.delete_entity(e)


def fixture_block(doc, name, w, h):
    block_name = "设计_" + name
    if block_name not in doc.blocks:
        blk = doc.blocks.new(block_name)
        blk.add_lwpolyline([(-w / 2, -h / 2), (w / 2, -h / 2), (w / 2, h / 2), (-w / 2, h / 2)], close=True)
        blk.add_circle((0, 0), min(w, h) / 4)
    return block_name


def device_block(doc, name, hw, hh, with_circle):
    if name not in doc.blocks:
        blk = doc.blocks.new(name)
        blk.add_lwpolyline([(-hw, -hh), (hw, -hh), (hw, hh), (-hw, hh)], close=True)
        if with_circle:
            blk.add_circle((0, 0), min(hw, hh) * 0.7)
    return name


def add_electrical(doc):
    msp = doc.modelspace()
    for layer, block, hw, hh, with_circle, places in ELECTRICAL_DEVICES:
        device_block(doc, block, hw, hh, with_circle)
        for at in places:
            msp.add_blockref(block, at, dxfattribs={"layer": layer})
    msp.add_lwpolyline(LIGHTING, dxfattribs={"layer": "ZEB_照明"})
    msp.add_line(*SWITCH_WIRE, dxfattribs={"layer": "ZEB_照明"})
    msp.add_lwpolyline(SOCKET_WIRING, dxfattribs={"layer": "ZEB_插座线"})
    for text, at, rotation in WIRE_COUNTS:
        add_text(msp, "ZEB_根数", text, at, rotation)


def add_text(msp, layer, text, at, rotation):
    msp.add_text(text, height=TEXT_HEIGHT, rotation=rotation, dxfattribs={"layer": layer, "insert": at})


def add_design(doc):
    for name, colour in DESIGN_LAYERS + FIXTURE_LAYERS:
        if name not in doc.layers:
            doc.layers.add(name, color=colour)
    for app in APPS:
        if app not in doc.appids:
            doc.appids.new(app)
    msp = doc.modelspace()
    for points, label, at, rotation in SUPPLY:
        msp.add_lwpolyline(points, dxfattribs={"layer": "ZEB_给水"})
        if label:
            add_text(msp, "ZEB_给水", label, at, rotation)
    for label, at, rotation in SUPPLY_LABELS:
        add_text(msp, "ZEB_给水", label, at, rotation)
    msp.add_lwpolyline(DRAINAGE_MAIN, dxfattribs={"layer": "ZEB_排水"})
    for a, b in DRAINAGE_BRANCHES:
        msp.add_line(a, b, dxfattribs={"layer": "ZEB_排水"})
    for label, at, rotation in DRAINAGE_LABELS:
        add_text(msp, "ZEB_排水", label, at, rotation)
    for x, y in RISERS:
        msp.add_circle((x, y), 100, dxfattribs={"layer": "ZEB_给水立管"})
    for kind, number, (x, y), elevation in FIXTURES:
        block = fixture_block(doc, kind, 500, 400)
        msp.add_blockref(block, (x, y), dxfattribs={"layer": "ZEB_洁具"})
        placed = msp.add_blockref(block, (x, y, elevation), dxfattribs={"layer": kind})
        handle = placed.dxf.handle
        placed.set_xdata("编号", [(1000, number)])
        placed.set_xdata("属性", [(1000, handle), (1000, "主键")])
        placed.set_xdata("特殊", [(1000, "类型=点构件"), (1000, f"标高={elevation:.1f}"),
                                  (1000, "旋转=0.000000,0.000000,0.000000")])
    msp.add_lwpolyline(DUCT, dxfattribs={"layer": "ZEB_风管"})
    msp.add_line(*DUCT_LINE, dxfattribs={"layer": "ZEB_风管"})
    add_text(msp, "ZEB_风管", "500×320", (14500, 16950), 0)
    add_electrical(doc)


def main(path=FLOOR_DRAWING):
    doc = ezdxf.readfile(path)
    clear_design(doc)
    add_design(doc)
    for key, value in (("$TDCREATE", 2460000.5), ("$TDUPDATE", 2460000.5),
                       ("$FINGERPRINTGUID", "{4B1D2C3E-0000-4000-8000-000000000001}"),
                       ("$VERSIONGUID", "{4B1D2C3E-0000-4000-8000-000000000002}")):
        doc.header[key] = value
    doc.saveas(path, encoding="utf-8")


if __name__ == "__main__":
    main()
