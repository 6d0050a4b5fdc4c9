#!/usr/bin/python3
"""Writes the generated sources of the demo installation and project.

Run once after changing library_data.py or the drawings below; the outputs
are committed, and the build only converts them (tabletool, zip):

    /usr/bin/python3 demo/tools/make_demo.py

Outputs:
    demo/suite/系统文件/构件库.tsv            component library
    demo/suite/系统文件/图形库.tsv            graph library, with 图形/*.DWG blobs
    demo/suite/BACK.DWG                       background drawing
    demo/projects/示例工程/<floor>.tsv        component table of every floor
    demo/projects/示例工程/<floor>.DWG        floor drawings
The floor drawings are DXF text (R2007, UTF-8) saved under the ".DWG" names
the module uses; ezdxf writes them.
"""

import os
import sys

import ezdxf

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import library_data as lib  # noqa: E402
import design_drawing  # noqa: E402

DEMO = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
SYSTEM = os.path.join(DEMO, "suite", "系统文件")
PROJECT = os.path.join(DEMO, "projects", "示例工程")

CRLF = "\r\n"


def esc(text):
    return (text.replace("\\", "\\\\").replace("\t", "\\t")
            .replace("\r", "\\r").replace("\n", "\\n"))


def write_tsv(path, header, rows):
    with open(path, "w", encoding="utf-8", newline="\n") as f:
        f.write("\t".join(header) + "\n")
        for row in rows:
            cells = [esc(c) for c in row]
            if len(cells) == 1 and cells[0] == "":
                cells = ["\\e"]
            f.write("\t".join(cells) + "\n")


def param_text(params):
    lines = []
    for name, value, choices in params:
        lines.append(f"{name}={value}:{choices}" if choices else f"{name}={value}")
    return CRLF.join(lines)


# ---------------------------------------------------------------- library

LIBRARY_FIELDS = ["构件分类:ftString:50", "构件名称:ftString:50", "图层", "颜色", "参数",
                  "清单", "定额", "纯清单", "背景"]


def library_rows():
    rows = []
    types = []
    for i, (category, type_list) in enumerate(lib.CATEGORIES):
        if i == lib.FIRST_INSTALLATION_CATEGORY:
            types.append((lib.MARKER_CATEGORY, None))
        for t in type_list.split(","):
            types.append((category, t))
        if category == "风口设备":
            types += [(c, t) for c, t in lib.EXTRA_TYPES]
    for category, name in types:
        if name is None:
            rows.append([category, "", "", "", "", "", "", "", ""])
            continue
        params, colour = lib.params_of(category, name)
        layers = CRLF.join([name, name + "名", name + "边线"])
        label_colour = lib.WHITE if colour != lib.WHITE else lib.rgb(0, 255, 0)
        colours = f"{name}={colour}{CRLF}{name}名={label_colour}"
        bill = CRLF.join(lib.rule_lines(category, name, "清单"))
        norm = CRLF.join(lib.rule_lines(category, name, "定额"))
        pure = CRLF.join(lib.rule_lines(category, name, "纯清单"))
        background = CRLF.join(["轴网", "砼墙", "砖墙"]) if lib.category_index(category) >= \
            lib.FIRST_INSTALLATION_CATEGORY else "轴网"
        rows.append([category, name, layers, colours, param_text(params), bill, norm, pure,
                     background])
    return rows


# ---------------------------------------------------------------- figures

def rect(w, h):
    """A closed rectangle centred on the origin; w and h are formula texts."""
    return f"-({w})/2,-({h})/2|({w})/2,-({h})/2|({w})/2,({h})/2|-({w})/2,({h})/2|-({w})/2,-({h})/2"


def circle(r):
    return f"-{r},0:1|{r},0:1|-{r},0"


BOX_W, BOX_D = "{构件宽度(mm)}", "{构件厚度(mm)}"

# figure name -> (coordinate formula lines, width, height, label lines)
FIGURES = {
    "阀门": (["-150,-100|150,100|150,-100|-150,100|-150,-100"], 300, 200),
    "法兰": (["-30,-150|-30,150", "30,-150|30,150"], 60, 300),
    "喷头": ([circle(75), "-100,0|100,0", "0,-100|0,100"], 200, 200),
    "水嘴": (["0,0|150,0|150,-60", "0,-40|0,40"], 150, 100),
    "地漏": ([circle(100), "-70,-70|70,70", "-70,70|70,-70"], 200, 200),
    "补偿器": (["-200,-100|-200,100", "200,-100|200,100",
               "-200,0|-150,80|-50,-80|50,80|150,-80|200,0"], 400, 200),
    "仪表": ([circle(100), "0,100|0,250"], 200, 250),
    "套管": (["-150,-120|150,-120", "-150,120|150,120"], 300, 240),
    "浴盆": ([rect(1500, 700), "-650,-250|550,-250:0.4142|550,250|-650,250|-650,-250"], 1500, 700),
    "洗脸盆": ([rect(560, 420), circle(150)], 560, 420),
    "淋浴器": ([rect(900, 900), "-450,-450|450,450"], 900, 900),
    "大便器": (["-200,-350|200,-350|200,-100|-200,-100|-200,-350",
               "-180,-100|180,-100:1|-180,-100"], 400, 700),
    "小便器": (["-180,0|180,0:1|-180,0", "-180,0|-180,100|180,100|180,0"], 360, 280),
    "洗涤盆": ([rect(600, 450), rect(500, 350)], 600, 450),
    "检查井": ([circle(350), circle(300)], 700, 700),
    "圆灯": ([circle(150), "-106,-106|106,106", "-106,106|106,-106"], 300, 300),
    "方灯": ([rect(600, 600), "-300,0|300,0"], 600, 600),
    "插座": (["-120,0|120,0:1|-120,0", "-150,0|150,0", "0,120|0,220"], 300, 220),
    "开关": ([circle(60), "42,42|200,200|240,160"], 300, 260),
    "电器": ([circle(120), "-85,-85|85,85"], 240, 240),
    "接线盒": ([rect(100, 100)], 100, 100),
    "电缆井": ([rect(800, 600), "-400,-300|400,300"], 800, 600),
    "接地极": ([circle(50) + ",kXEQ=SOLID"], 100, 100),
    "避雷针": ([circle(100), "-150,0|150,0", "0,-150|0,150"], 300, 300),
    "百叶风口": ([rect("{B}", "{H}"), "-({B})/2,-({H})/2|({B})/2,({H})/2",
                 "-({B})/2,({H})/2|({B})/2,-({H})/2"], 400, 200),
    "排烟口": ([rect("{B}", "{H}"), rect("({B})-100", "({H})-100")], 630, 400),
    "散流器": ([rect("{B}", "{H}"), rect("({B})/2", "({H})/2")], 300, 300),
    "风阀": ([rect(200, "{B}"), "-100,-({B})/2|100,({B})/2"], 200, 500),
    "风法兰": (["-20,-({B})/2|-20,({B})/2", "20,-({B})/2|20,({B})/2"], 40, 500),
    "导流片": (["-({B})/2,-({B})/2|({B})/2,({B})/2:-0.4142"], 500, 500),
    "风帽": ([rect("{B}", "{H}"), circle(100)], 400, 400),
    "静压箱": ([rect("{B}", "{H}"), "-({B})/2,-({H})/2|({B})/2,({H})/2"], 1000, 600),
    "消声器": ([rect(900, "{B}"), rect(700, "({B})-100")], 900, 630),
    "过滤器": ([rect(150, "{B}"), "-75,-({B})/2|75,({B})/2", "-75,({B})/2|75,-({B})/2"], 150, 500),
    "散热器": ([rect(600, 150), "-200,-75|-200,75", "0,-75|0,75", "200,-75|200,75"], 600, 150),
    "箱体": ([rect(BOX_W, BOX_D),
             f"-({BOX_W})/2,-({BOX_D})/2|({BOX_W})/2,-({BOX_D})/2|({BOX_W})/2,0|-({BOX_W})/2,0"
             f"|-({BOX_W})/2,-({BOX_D})/2,kXEQ=SOLID"], 500, 180),
    "柜体": ([rect(BOX_W, BOX_D), f"-({BOX_W})/2,0|({BOX_W})/2,0"], 800, 600),
    "设备": ([rect(BOX_W, BOX_D), f"-({BOX_W})/2,-({BOX_D})/2|({BOX_W})/2,({BOX_D})/2",
             f"-({BOX_W})/2,({BOX_D})/2|({BOX_W})/2,-({BOX_D})/2"], 600, 400),
    "消火栓": ([rect(BOX_W, BOX_D), circle(80) + ",kXEQ=SOLID"], 800, 240),
    "风机盘管": ([rect(BOX_W, BOX_D), circle(150)], 1000, 240),
    "风机": ([rect(BOX_W, BOX_D), circle(250), "-250,0|250,0"], 600, 500),
    "水泵": ([circle(250), "0,250|400,250", "-250,0|-400,0"], 650, 500),
    "支架": (["-150,0|150,0", "-150,0|0,-150|150,0"], 300, 150),
    "基础": ([rect("{长(mm)}", "{宽(mm)}"), rect("({长(mm)})-100", "({宽(mm)})-100")], 1200, 800),
}

GRAPH_FIELDS = ["名称:ftString:100", "参数", "坐标", "三维坐标", "图形宽:ftString:20",
                "图形高:ftString:20", "标注", "图形:ftBlob", "DWG图形:ftBlob"]

# Figures that also carry a drawing of their own (2D in 图形, 3D in DWG图形).
DRAWN_FIGURES = {"箱体", "圆灯", "阀门", "百叶风口"}


def figure_of(params):
    for name, value, _ in params:
        if name == "图形":
            return value
    return ""


def point_types():
    """The point types whose default parameters name a figure, in library order."""
    out = []
    for category, type_list in lib.CATEGORIES[lib.FIRST_INSTALLATION_CATEGORY:]:
        names = type_list.split(",")
        if category == "风口设备":
            names += [t for _, t in lib.EXTRA_TYPES]
        for name in names:
            params, _ = lib.params_of(category, name)
            fig = figure_of(params)
            if fig:
                out.append((name, fig, params))
    return out


def figure_row(fig):
    if fig in lib.DUCT_SECTION_FIGURES:
        coords, w, h = lib.DUCT_SECTION_FIGURES[fig]
        return [fig, "", coords, "", str(w), str(h), "", "", ""]
    lines, w, h = FIGURES[fig]
    blob2d = blob3d = ""
    if fig in DRAWN_FIGURES:
        blob2d = f"@图形/{fig}.DWG"
        blob3d = f"@图形/{fig}3D.DWG"
    extra = ""
    return [fig, extra, CRLF.join(lines), "", str(w), str(h), CRLF.join(["编号", "构件规格"]),
            blob2d, blob3d]


def graph_rows():
    rows = []
    for name, fig, params in point_types():
        rows.append(["◆" + name, "", "", "", "", "", "", "", ""])
        rows.append(figure_row(fig))
    return rows


def write_figure_drawings():
    folder = os.path.join(SYSTEM, "图形")
    os.makedirs(folder, exist_ok=True)
    for fig in sorted(DRAWN_FIGURES):
        _, w, h = FIGURES[fig]
        doc = ezdxf.new("R2007")
        msp = doc.modelspace()
        msp.add_lwpolyline([(-w / 2, -h / 2), (w / 2, -h / 2), (w / 2, h / 2), (-w / 2, h / 2)],
                           close=True)
        save(doc, os.path.join(folder, f"{fig}.DWG"))
        doc = ezdxf.new("R2007")
        msp = doc.modelspace()
        depth = min(w, h)
        box(msp, w, h, depth)
        save(doc, os.path.join(folder, f"{fig}3D.DWG"))


def box(msp, w, h, d):
    x0, x1, y0, y1, z0, z1 = -w / 2, w / 2, -h / 2, h / 2, 0, d
    faces = [
        [(x0, y0, z0), (x1, y0, z0), (x1, y1, z0), (x0, y1, z0)],
        [(x0, y0, z1), (x1, y0, z1), (x1, y1, z1), (x0, y1, z1)],
        [(x0, y0, z0), (x1, y0, z0), (x1, y0, z1), (x0, y0, z1)],
        [(x0, y1, z0), (x1, y1, z0), (x1, y1, z1), (x0, y1, z1)],
        [(x0, y0, z0), (x0, y1, z0), (x0, y1, z1), (x0, y0, z1)],
        [(x1, y0, z0), (x1, y1, z0), (x1, y1, z1), (x1, y0, z1)],
    ]
    for f in faces:
        msp.add_3dface(f)


def save(doc, path):
    # Fixed header stamps keep the committed files stable between runs.
    doc.header["$TDCREATE"] = 2460000.5
    doc.header["$TDUPDATE"] = 2460000.5
    doc.header["$FINGERPRINTGUID"] = "{4B1D2C3E-0000-4000-8000-000000000001}"
    doc.header["$VERSIONGUID"] = "{4B1D2C3E-0000-4000-8000-000000000002}"
    # Coordinates are millimetres; say so, for other programs to show the
    # drawing at its size.
    doc.header["$INSUNITS"] = 4
    doc.saveas(path, encoding="utf-8")


# ---------------------------------------------------------------- floors

FLOOR_FIELDS = ["构件名称:ftString:50", "编号:ftString:50", "构件分类:ftString:50", "参数", "定额",
                "坐标", "三维坐标", "标注", "图形宽:ftString:20", "图形高:ftString:20", "网格",
                "钢筋参数", "说明", "标志:ftString:20"]

# The floors: name, height, base elevation, same-floor count, concrete, mortar.
# A basement's height is negative: the all-floors 3D model stacks it below 0.
FLOORS = [
    ("地下1层", -4200, -4200, 1, "C35", "M10"),
    ("1层", 3900, 0, 1, "C30", "M7.5"),
    ("2层", 3300, 3900, 1, "C30", "M7.5"),
    ("3层", 3300, 7200, 1, "C25", "M5"),
]

# Numbered components of the floors that come ready to draw:
# floor -> [(type, number, {parameter: value})].
NUMBERED = {
    "1层": [
        ("给水管", "J1", {"公称管径D_0(mm)": "32"}),
        ("给水管", "J2", {"公称管径D_0(mm)": "25"}),
        ("污水管", "W1", {"公称管径D_0(mm)": "100"}),
        ("阀门", "F1", {"构件规格": "DN32", "型号": "截止阀"}),
        ("洗脸盆", "XL1", {}),
        ("大便器", "DB1", {}),
        ("照明导线", "WL1", {"根数": "3"}),
        ("导线·导管", "WL2", {"导线根数": "3", "导管规格(mm)": "20"}),
        ("点状灯具", "D1", {}),
        ("块状灯具", "D2", {}),
        ("开关", "K1", {}),
        ("插座", "CZ1", {}),
        ("配电箱", "AL1", {"构件宽度(mm)": "600", "构件高度(mm)": "800"}),
        ("送风管", "SF1", {"B": "630", "H": "320"}),
        ("送风管", "SF2", {"B": "400", "H": "250"}),
        ("送风口", "SK1", {}),
    ],
    "地下1层": [
        ("消防管", "XH1", {"公称管径D_0(mm)": "100"}),
        ("喷淋管", "ZP1", {"公称管径D_0(mm)": "25"}),
        ("喷淋管", "ZP2", {"公称管径D_0(mm)": "50"}),
        ("喷淋头", "P1", {}),
        ("排风管", "PF1", {"B": "500", "H": "250"}),
        ("排烟口", "PY1", {}),
        ("动力导线", "WP1", {"截面(mm2)": "10"}),
        ("配电柜", "AP1", {}),
        ("水泵", "B1", {}),
    ],
}


def rule_ini(category, name, number, mode="定额"):
    """The 定额 text of a numbered row: one section per rule item."""
    sections = []
    for i, line in enumerate(lib.rule_lines(category, name, mode), start=1):
        f = line.split("=")
        title, code = f[3].split("||")
        sections.append(CRLF.join([f"[{i:03d}]", f"标志={f[0]}", f"类型={f[1]}", f"编号={code}",
                                   f"名称={title}", f"单位={f[4]}"]))
    return CRLF.join(sections)


def duct_section(category, params):
    """The cross-section outline of a duct (坐标), whose perimeter the
    take-off multiplies by the run length: a B by H rectangle, or a circle of
    diameter D (two half arcs) for round ducts, both centred on the duct's
    axis (the 3D model places the outline's origin on the axis)."""
    if category != "风管":
        return ""
    if any(line.startswith("D=") for line in params.split(CRLF)):
        return "-{D}/2,0:1|{D}/2,0:1|-{D}/2,0"
    return "-{B}/2,-{H}/2|{B}/2,-{H}/2|{B}/2,{H}/2|-{B}/2,{H}/2|-{B}/2,-{H}/2"


def box_solid(name):
    """The 3D description (三维坐标) of a box or cabinet: a block as wide,
    deep and high as its parameters, centred on the insertion point (a
    "..矩形" row centres its box on the row's base point) and standing on
    its base elevation."""
    if not isinstance(lib.BOX_DEFAULTS.get(name), tuple):
        return ""
    return ("1..高" + CRLF + "0,0,0|{构件宽度(mm)}|{构件厚度(mm)}|"
            "{构件高度(mm)}..矩形")


def floor_rows(floor, library, graph):
    if floor not in NUMBERED:
        # A floor not yet opened: one row of its own, no installation rows;
        # the project open or the floor switch copies them in.
        return [["轴网", "", "轴网"] + [""] * (len(FLOOR_FIELDS) - 3)]
    numbered = {}
    for t, no, values in NUMBERED[floor] + run_records(floor):
        numbered.setdefault(t, []).append((no, values))
    rows = [["", "", lib.MARKER_CATEGORY] + [""] * (len(FLOOR_FIELDS) - 3)]
    seen_marker = False
    for lrow in library:
        category, name, params = lrow[0], lrow[1], lrow[4]
        if category == lib.MARKER_CATEGORY:
            seen_marker = True
            continue
        if not seen_marker:
            continue
        coords = width = height = label = ""
        fig = ""
        for line in params.split(CRLF):
            if line.startswith("图形="):
                fig = line[len("图形="):]
        if fig in FIGURES:
            g = figure_row(fig)
            coords, width, height, label = g[2], g[4], g[5], g[6]
        coords = coords or duct_section(category, params)
        template = [name, "", category, params, "", coords, box_solid(name), label, width, height, "", "", "",
                    ""]
        rows.append(template)
        for no, values in numbered.get(name, []):
            lines = []
            for line in params.split(CRLF):
                key, _, value = line.partition("=")
                if key in values:
                    choices = value.partition(":")[2]
                    value = values[key] + (":" + choices if choices else "")
                elif key == "管道外径D(mm)" and "公称管径D_0(mm)" in values:
                    # The outer diameter follows a nominal size of the number's own.
                    value = lib.outer_diameter(param_value(params, "材质"), values["公称管径D_0(mm)"])
                lines.append(f"{key}={value}")
            row = list(template)
            row[1] = no
            row[3] = CRLF.join(lines)
            row[4] = norm_ini(category, name, no, row[3])
            rows.append(row)
    return rows


def write_floor_drawing(floor, index):
    doc = ezdxf.new("R2007")
    for layer, colour in [("轴网", 1), ("轴网名", 3), ("墙", 8), ("给水-设计", 3), ("排水-设计", 30),
                          ("照明-设计", 2), ("消防-设计", 1), ("通风-设计", 5), ("文字-设计", 7)]:
        doc.layers.add(layer, color=colour)
    msp = doc.modelspace()
    xs = [0, 6000, 12000, 18000, 24000, 30000]
    ys = [0, 6000, 12000, 18000]
    for i, x in enumerate(xs):
        msp.add_line((x, -1500), (x, 19500), dxfattribs={"layer": "轴网"})
        msp.add_circle((x, -2100), 600, dxfattribs={"layer": "轴网名"})
        msp.add_text(str(i + 1), height=500,
                     dxfattribs={"layer": "轴网名", "insert": (x, -2100), "halign": 4,
                                 "align_point": (x, -2100)})
    for j, y in enumerate(ys):
        letter = "ABCD"[j]
        msp.add_line((-1500, y), (31500, y), dxfattribs={"layer": "轴网"})
        msp.add_circle((-2100, y), 600, dxfattribs={"layer": "轴网名"})
        msp.add_text(letter, height=500,
                     dxfattribs={"layer": "轴网名", "insert": (-2100, y), "halign": 4,
                                 "align_point": (-2100, y)})
    outer = [(-120, -120), (30120, -120), (30120, 18120), (-120, 18120)]
    inner = [(120, 120), (29880, 120), (29880, 17880), (120, 17880)]
    msp.add_lwpolyline(outer, close=True, dxfattribs={"layer": "墙"})
    msp.add_lwpolyline(inner, close=True, dxfattribs={"layer": "墙"})
    for x in (12000, 18000):
        msp.add_line((x - 100, 120), (x - 100, 17880), dxfattribs={"layer": "墙"})
        msp.add_line((x + 100, 120), (x + 100, 17880), dxfattribs={"layer": "墙"})
    title = f"{floor}平面图"
    msp.add_text(title, height=700, dxfattribs={"layer": "文字-设计", "insert": (12000, -4500)})
    if index == 0:
        # Basement: fire main and sprinkler branches, an exhaust duct.
        msp.add_lwpolyline([(1000, 3000), (29000, 3000)], dxfattribs={"layer": "消防-设计"})
        for x in range(3000, 28000, 3000):
            msp.add_line((x, 3000), (x, 15000), dxfattribs={"layer": "消防-设计"})
            for y in range(4500, 15001, 3000):
                msp.add_circle((x, y), 100, dxfattribs={"layer": "消防-设计"})
        msp.add_text("DN100", height=300, dxfattribs={"layer": "消防-设计", "insert": (1500, 3200)})
        msp.add_text("DN25", height=300, dxfattribs={"layer": "消防-设计", "insert": (3200, 9000)})
        msp.add_lwpolyline([(1000, 16500), (29000, 16500)], dxfattribs={"layer": "通风-设计"})
        msp.add_text("500×250", height=300, dxfattribs={"layer": "通风-设计", "insert": (2000, 16800)})
    else:
        # Upper floors: a water supply run with its risers, drainage, lamps and switches.
        msp.add_lwpolyline([(1500, 1500), (1500, 9000), (10500, 9000)],
                           dxfattribs={"layer": "给水-设计"})
        msp.add_circle((1500, 1500), 150, dxfattribs={"layer": "给水-设计"})
        msp.add_text("JL-1 DN32", height=300, dxfattribs={"layer": "给水-设计", "insert": (1700, 1500)})
        msp.add_text("DN25", height=300, dxfattribs={"layer": "给水-设计", "insert": (5000, 9200)})
        msp.add_lwpolyline([(10000, 1000), (10000, 8000)], dxfattribs={"layer": "排水-设计"})
        msp.add_text("WL-1 DN100", height=300, dxfattribs={"layer": "排水-设计", "insert": (10200, 1000)})
        for x in range(3000, 28000, 6000):
            for y in (3000, 9000, 15000):
                msp.add_circle((x, y), 150, dxfattribs={"layer": "照明-设计"})
                msp.add_line((x - 106, y - 106), (x + 106, y + 106), dxfattribs={"layer": "照明-设计"})
                msp.add_line((x - 106, y + 106), (x + 106, y - 106), dxfattribs={"layer": "照明-设计"})
        msp.add_lwpolyline([(3000, 3000), (3000, 15000), (27000, 15000)],
                           dxfattribs={"layer": "照明-设计"})
        msp.add_text("WL1 BV-3×2.5 PC20", height=300,
                     dxfattribs={"layer": "照明-设计", "insert": (3200, 15200)})
    add_floor_components(doc, floor)
    add_circuits_and_regions(doc, floor)
    if floor == "1层":
        design_drawing.add_design(doc)  # the designer's drawing, imported into the first floor
    save(doc, os.path.join(PROJECT, f"{floor}.DWG"))


# ---------------------------------------------------------------- laid runs

# Linear components already laid on the floors, measured by the take-off:
# floor -> [(type, number, {parameter: value}, [run, ...])]; a run is
# ("斜管", (x0, y0), (x1, y1), bulge, start elevation, end elevation) in plan,
# or ("立管", (x, y), start elevation, end elevation) for a riser.
# The numbers already in NUMBERED only gain their runs here.
LAID_RUNS = {
    "1层": [
        ("给水管", "J1", None, [("立管", (1500, 1500), 0, 2800),
                               ("斜管", (1500, 1500), (1500, 9000), 0, 2800, 2800),
                               ("斜管", (1500, 9000), (10500, 9000), 0, 2800, 2800)]),
        ("给水管", "J2", None, [("斜管", (4500, 9000), (4500, 12000), 0, 2800, 2800),
                               ("斜管", (7500, 9000), (7500, 12000), 0, 2800, 2600)]),
        ("给水管", "J3", {"公称管径D_0(mm)": "20"},
         [("斜管", (10500, 9000), (12000, 10500), 0.41421356, 2800, 2800),
          ("立管", (12000, 10500), 2800, 1000)]),
        ("热给水管", "RJ1", {"公称管径D_0(mm)": "25", "保温厚度(mm)": "20"},
         [("斜管", (1800, 1500), (1800, 8700), 0, 2900, 2900),
          ("斜管", (1800, 8700), (7500, 8700), 0, 2900, 2900)]),
        ("污水管", "W1", None, [("斜管", (10000, 8000), (10000, 1000), 0, 600, 460),
                               ("立管", (10000, 1000), 460, -1200)]),
        ("导管", "SC1", {"导管规格(mm)": "20"},
         [("斜管", (3000, 3000), (3000, 15000), 0, 3600, 3600),
          ("斜管", (3000, 15000), (27000, 15000), 0, 3600, 3600)]),
        ("导管", "SC2", {"导管材质": "SC管", "导管规格(mm)": "32"},
         [("斜管", (29000, 1000), (29000, 12000), 0, 3500, 3500)]),
        ("桥架", "QJ1", {"B": "300", "H": "100"},
         [("斜管", (1000, 17000), (29000, 17000), 0, 3300, 3300)]),
        ("线槽", "XC1", {}, [("斜管", (12000, 4000), (18000, 4000), 0, 3300, 3300)]),
        ("送风管", "SF1", None, [("斜管", (2000, 16000), (20000, 16000), 0, 3200, 3200)]),
    ],
    "地下1层": [
        ("消防管", "XH1", None, [("斜管", (1000, 3000), (29000, 3000), 0, 3600, 3600),
                                ("立管", (1000, 3000), 3600, -800)]),
        ("喷淋管", "ZP1", None, [("斜管", (x, 3000), (x, 15000), 0, 3800, 3800)
                                for x in range(3000, 28000, 3000)]),
        ("喷淋管", "ZP2", None, [("斜管", (1000, 15000), (29000, 15000), 0, 3800, 3800)]),
        ("冷供水管", "LG1", {"公称管径D_0(mm)": "100"},
         [("斜管", (2000, 12000), (20000, 12000), 0, 3400, 3400),
          ("斜管", (20000, 12000), (24000, 14000), -0.2, 3400, 3400)]),
        ("桥架", "QJ2", {"B": "400", "H": "150"},
         [("斜管", (1000, 17500), (29000, 17500), 0, 3700, 3700),
          ("立管", (29000, 17500), 3700, 4200)]),
        ("接地母线", "JD1", None, [("斜管", (0, 0), (30000, 0), 0, -800, -800),
                                 ("斜管", (30000, 0), (30000, 18000), 0, -800, -800)]),
        ("排风管", "PF1", None, [("斜管", (1000, 16500), (29000, 16500), 0, 3500, 3500)]),
    ],
}


def run_records(floor):
    """The floor-table records of the laid runs that NUMBERED does not hold."""
    known = {(t, no) for t, no, _ in NUMBERED.get(floor, [])}
    return [(t, no, values) for t, no, values, _ in LAID_RUNS.get(floor, [])
            if values is not None and (t, no) not in known]


def param_value(params, key):
    for line in params.split(CRLF):
        k, _, v = line.partition("=")
        if k == key:
            return v.partition(":")[0]
    return ""


def norm_title(name, type_, params):
    """The norm name of a rule item of a run, worded from the record's parameters."""
    p = lambda key: param_value(params, key)  # noqa: E731
    if type_ == "长度" and p("公称管径D_0(mm)"):
        place = "室外" if p("安装部位") == "室外" else "室内"
        return f"{place}{name} {p('材质')}({p('连接方式')}连接) DN{p('公称管径D_0(mm)')}"
    if type_ == "保温":
        return f"管道绝热 {p('保温材料')} δ={p('保温厚度(mm)')}mm 管径DN{p('公称管径D_0(mm)')}以下"
    if type_ == "长度" and p("导管规格(mm)"):
        return f"砖、混凝土结构暗配 {p('导管材质')} 公称口径{p('导管规格(mm)')}mm以内"
    if type_ == "长度" and name in ("桥架", "托盘", "组合式桥架"):
        return f"{p('材质')}桥架安装 宽+高({p('B')}+{p('H')})mm以下"
    if type_ == "长度" and name == "线槽":
        return f"{p('材质')}敷设 宽{p('B')}mm以下"
    if type_ == "长度" and p("规格"):
        return f"{name}敷设 {p('材质')} {p('规格')}"
    if type_ == "面积":
        return f"{p('材质')}矩形风管制作安装 δ={p('板厚(mm)')}mm 长边长{p('B')}mm以下"
    return ""


NORM_UNITS = {"长度": "10m", "保温": "m3", "面积": "10m2"}
NORM_NOTES = {"长度": "含管件安装、支吊架制作安装以外的全部工作内容", "保温": "含防潮层",
              "面积": "含法兰、加固框及吊托支架"}


def norm_ini(category, name, number, params, mode="定额"):
    """The 定额 text of a numbered row; runs get norm names from their parameters."""
    sections = []
    for i, line in enumerate(lib.rule_lines(category, name, mode), start=1):
        f = line.split("=")
        title, code = f[3].split("||")
        worded = norm_title(name, f[1], params) if category in lib.RUN_KINDS | {"管线", "防雷接地"} else ""
        unit = NORM_UNITS.get(f[1], f[4]) if worded else f[4]
        lines = [f"[{i:03d}]", f"标志={f[0]}", f"类型={f[1]}", f"编号={code}", f"名称={worded or title}",
                 f"单位={unit}"]
        if worded:
            lines.append(f"附注信息={NORM_NOTES.get(f[1], '')}")
        sections.append(CRLF.join(lines))
    return CRLF.join(sections)


def add_type_layer(doc, name):
    """The layer of a component type, in the library's colour for it (as
    laying a component of the type would make it)."""
    if name in doc.layers:
        return
    category = next((c for c, types in lib.CATEGORIES + lib.EXTRA_TYPES if name in types.split(",")), None)
    if category is None:
        doc.layers.add(name)
        return
    colour = lib.params_of(category, name)[1]
    doc.layers.add(name, true_color=ezdxf.rgb2int((colour & 255, (colour >> 8) & 255, colour >> 16)))


def add_floor_components(doc, floor):
    """The laid runs of the floor as component entities, and the axis labels."""
    msp = doc.modelspace()
    for app in ("编号", "属性", "特殊"):
        if app not in doc.appids:
            doc.appids.new(app)
    # Grid axes carry their label (轴号) for the location of the quantity lines.
    xs = sorted({round(e.dxf.start.x) for e in msp.query('LINE[layer=="轴网"]') if e.dxf.start.x == e.dxf.end.x})
    ys = sorted({round(e.dxf.start.y) for e in msp.query('LINE[layer=="轴网"]') if e.dxf.start.y == e.dxf.end.y})
    for e in msp.query('LINE[layer=="轴网"]'):
        if e.dxf.start.x == e.dxf.end.x:
            label = str(xs.index(round(e.dxf.start.x)) + 1)
        else:
            label = "ABCDEFGH"[ys.index(round(e.dxf.start.y))]
        e.set_xdata("特殊", [(1000, f"轴号={label}")])
    for kind, number, _, runs in LAID_RUNS.get(floor, []):
        add_type_layer(doc, kind)
        for run in runs:
            if run[0] == "立管":
                _, (x, y), z0, z1 = run
                block = number
                if block not in doc.blocks:
                    doc.blocks.new(block).add_point((0, 0))
                ent = msp.add_blockref(block, (x, y), dxfattribs={"layer": kind})
            else:
                _, a, b, bulge, z0, z1 = run
                ent = msp.add_lwpolyline([(a[0], a[1], 0, 0, bulge), (b[0], b[1], 0, 0, 0)],
                                         format="xyseb", dxfattribs={"layer": kind})
            ent.set_xdata("编号", [(1000, number)])
            ent.set_xdata("属性", [(1000, ent.dxf.handle), (1000, "主键")])
            ent.set_xdata("特殊", [(1000, f"类型={run[0]}"), (1000, f"起点标高={z0:.1f}"),
                                 (1000, f"终点标高={z1:.1f}")])


# The first floor's electrical circuits and regions: the distribution box
# AL1 (at 1500) with two circuits. Circuit 1 rises from the box and runs along
# the ceiling (2800) past two lamps D1; circuit 2 is one sloped wire from the
# box up to the panel lamp D2. Two regions cut the floor into a west and an
# east half at x 15000.
CIRCUIT_BOX = ("配电箱", "AL1", (5000, 13000), 1500)
CIRCUIT_LAMPS = [("点状灯具", "D1", (7000, 13000)), ("点状灯具", "D1", (9000, 13000)),
                 ("块状灯具", "D2", (7000, 14500))]
CIRCUIT_WIRES = [("立管", (4985, 13000), 1500, 2800),
                 ("斜管", (4985, 13000), (7000, 13000), 2800, 2800),
                 ("斜管", (7000, 13000), (9000, 13000), 2800, 2800),
                 ("斜管", (5015, 13000), (7000, 14500), 1500, 2800)]
REGIONS = [("Q1", [(0, 0), (15000, 0), (15000, 18000), (0, 18000)]),
           ("Q2", [(15000, 0), (30000, 0), (30000, 18000), (15000, 18000)])]


def add_circuits_and_regions(doc, floor):
    """The box, lamps and wires of the first floor's circuits, and its regions."""
    if floor != "1层":
        return
    msp = doc.modelspace()

    def stamp(ent, number, special):
        ent.set_xdata("编号", [(1000, number)])
        ent.set_xdata("属性", [(1000, ent.dxf.handle), (1000, "主键")])
        if special:
            ent.set_xdata("特殊", [(1000, line) for line in special])

    def layer(name):
        add_type_layer(doc, name)

    for kind, number, (x, y), z in [CIRCUIT_BOX] + [(k, n, p, 2800) for k, n, p in CIRCUIT_LAMPS]:
        layer(kind)
        if number not in doc.blocks:
            doc.blocks.new(number).add_circle((0, 0), 150)
        ent = msp.add_blockref(number, (x, y), dxfattribs={"layer": kind})
        stamp(ent, number, ["类型=点构件", f"标高={z:.1f}", "旋转=0,0,0"])
    layer("照明导线")
    for run in CIRCUIT_WIRES:
        if run[0] == "立管":
            _, (x, y), z0, z1 = run
            if "WL1" not in doc.blocks:
                doc.blocks.new("WL1").add_point((0, 0))
            ent = msp.add_blockref("WL1", (x, y), dxfattribs={"layer": "照明导线"})
        else:
            _, a, b, z0, z1 = run
            ent = msp.add_lwpolyline([a, b], dxfattribs={"layer": "照明导线"})
        stamp(ent, "WL1", [f"类型={run[0]}", f"起点标高={z0:.1f}", f"终点标高={z1:.1f}"])
    layer("区域")
    for label, points in REGIONS:
        ent = msp.add_lwpolyline(points, close=True, dxfattribs={"layer": "区域"})
        stamp(ent, label, None)


def write_back_drawing():
    doc = ezdxf.new("R2007")
    doc.layers.add("轴网", color=1)
    save(doc, os.path.join(DEMO, "suite", "BACK.DWG"))


def code_library_rows(mode):
    """Norm (定额) or bill (清单) library: chapter rows and every item code, sorted by code."""
    flag = "项" if mode == "清单" else "定额"
    rows = dict(lib.CHAPTERS)
    for i, (category, type_list) in enumerate(lib.CATEGORIES):
        names = type_list.split(",") + [t for c, t in lib.EXTRA_TYPES if c == category]
        if lib.chapter_of(category, "") is None:
            rows[f"{'Q' if flag == '项' else 'D'}{i + 1:02d}"] = f"第{i + 1}章 {category}"
        for name in names:
            for line in lib.rule_lines(category, name, mode):
                f = line.split("=")
                if f[0] != flag:
                    continue
                title, code = f[3].split("||")
                rows.setdefault(code, title)
    return [[rows[c], c] for c in sorted(rows)]


def main():
    os.makedirs(SYSTEM, exist_ok=True)
    os.makedirs(PROJECT, exist_ok=True)
    library = library_rows()
    write_tsv(os.path.join(SYSTEM, "构件库.tsv"), LIBRARY_FIELDS, library)
    graph = graph_rows()
    write_tsv(os.path.join(SYSTEM, "图形库.tsv"), GRAPH_FIELDS, graph)
    write_figure_drawings()
    for floor, *_ in FLOORS:
        write_tsv(os.path.join(PROJECT, f"{floor}.tsv"), FLOOR_FIELDS,
                  floor_rows(floor, library, graph))
    write_tsv(os.path.join(PROJECT, "007.tsv"),
              ["楼层:ftString:50", "层高:ftString:20", "标高:ftString:20", "相同层:ftInteger",
               "砼强度等级:ftString:20", "砌筑砂浆:ftString:20"],
              [[f, str(h), str(e), str(n), c, m] for f, h, e, n, c, m in FLOORS])
    write_tsv(os.path.join(SYSTEM, "定额库.tsv"), ["定额名称", "定额编号:ftString:30"],
              code_library_rows("定额"))
    write_tsv(os.path.join(SYSTEM, "项目库.tsv"), ["项目名称", "项目编号:ftString:30"],
              code_library_rows("清单"))
    for i, (floor, *_) in enumerate(FLOORS):
        write_floor_drawing(floor, i)
    write_back_drawing()


if __name__ == "__main__":
    main()
