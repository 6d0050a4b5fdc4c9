"""The demo installation's component library: categories, types and their
default parameters, layers, colours and rule items.

Every value here is our own demo content. make_demo.py turns it into
demo/suite/系统文件/构件库.tsv.
"""

# The 31 categories and their types, in the order the module builds them.
CATEGORIES = [
    ("轴网", "轴网"),
    ("基础", "砼条基,砖条基,基础梁,满基,独基,承台,桩,集水井,土方"),
    ("墙", "砼墙,砖墙,间壁墙,电梯井墙,填充墙,玻璃幕墙"),
    ("门窗洞", "门,窗,洞,飘窗,老虎窗"),
    ("柱", "砼柱,砖柱,构造柱,暗柱"),
    ("梁", "框架梁,次梁,圈梁,过梁"),
    ("板.楼梯", "现浇板,预制板,楼梯"),
    ("装饰", "房间,楼梯面,天棚,墙面,屋面"),
    ("零星构件", "阳台,雨蓬,挑檐,散水,水沟,台阶,坡道,脚手架,平整场地,建筑面积,后浇带"),
    ("多义构件", "线构件,面构件,体构件"),
    ("管道", "给水管,热给水管,热回水管,污水管,废水管,雨水管,中水管,消防管,喷淋管,软管道,其它管道"),
    ("管道附件", "阀门,法兰,喷淋头,普通水嘴,冷热水嘴,排水附件,管道补偿器,管道仪器,管道套管"),
    ("卫生器具", "浴盆,洗脸盆,淋浴器,大便器,小便器,其它卫生器具"),
    ("设备", "给排水设备,消防设备,其它设备"),
    ("排水零星", "检查井,管道支架,管道沟槽"),
    ("管道配件", "管道堵头,管道弯头,管道三通,管道四通"),
    ("管线", "照明导线,动力导线,消防导线,导管,线槽,软导管,导线·导管,其它导线"),
    ("照明器具", "点状灯具,块状灯具,插座,开关,其它电器具"),
    ("设备、箱柜", "动力设备,电消防设备,其它电设备,配电箱,配电柜,配电盘,元件装置"),
    ("电缆桥架", "电缆,母线馈线,桥架,托盘,组合式桥架"),
    ("防雷接地", "接地极,接地母线,接地跨接线,避雷针,避雷引下线,避雷带"),
    ("附件、零星", "接线盒,管线套管,电缆沟槽,电缆井,电气支架,设备基础"),
    ("风管", "送风管,新风管,回风管,排风管,除尘排烟管,柔性风管,其它风管"),
    ("水管", "热供水管,热回水管(暖通),冷供水管,冷回水管,冷却水管,凝结水管,软水管,其它水管"),
    ("风口设备", "送风口,新风口,回风口,排风口,其它风口,空调机组,风机盘管,通风机,除尘设备,其它风设备"),
    ("风管部件", "风阀,风法兰,导流片,风帽,静压箱,消声器,过滤器"),
    ("风管配件", "弯头,三通,四通,大小头,来回弯"),
    ("水暖附件", "水阀,水法兰,水管补偿器,水管仪器,暖通套管"),
    ("水暖设备", "冷水机组,锅炉,水泵,冷却塔,散热器,暖风机,地暖盘管,其它暖设备"),
    ("暖通零星", "风管支架,水管支架,暖通设备基础,暖通检查井,暖通管道沟槽"),
    ("水管配件", "水管堵头,水管弯头,水管三通,水管四通"),
]

# A point type that belongs to no category list but has its own library row.
EXTRA_TYPES = [("风口设备", "排烟口")]

# Category index (0-based) where the installation section starts.
FIRST_INSTALLATION_CATEGORY = 10
MARKER_CATEGORY = "***给排水***"

DN = "15,20,25,32,40,50,65,80,100,125,150,200"
PIPE_MATERIALS = "PP-R管,PE管,PVC-U管,镀锌钢管,焊接钢管,无缝钢管,不锈钢管,铸铁管,铜管"
JOINTS = "热熔,丝接,焊接,沟槽,法兰,粘接,承插,卡压"
INSULATION = "无,橡塑保温,离心玻璃棉,岩棉"


def rgb(r, g, b):
    """A colour as the library stores it: red in the low byte."""
    return r | (g << 8) | (b << 16)


def choice(value, choices):
    return f"{value}:{choices}"


# Outer diameters (mm) by nominal size: plastic pipes by their de, metal
# pipes by the steel tube series.
PLASTIC_OD = {"15": "20", "20": "25", "25": "32", "32": "40", "40": "50", "50": "63", "65": "75", "75": "75",
              "80": "90", "100": "110", "125": "140", "150": "160", "200": "225"}
STEEL_OD = {"15": "21.3", "20": "26.9", "25": "33.7", "32": "42.4", "40": "48.3", "50": "60.3", "65": "76.1",
            "80": "88.9", "100": "114.3", "125": "139.7", "150": "168.3", "200": "219.1"}


def outer_diameter(material, dn):
    """The outer diameter of a pipe of the material and nominal size."""
    plastic = material.startswith(("PP", "PE", "PVC", "PB"))
    return (PLASTIC_OD if plastic else STEEL_OD).get(dn, dn)


# Parameter sets by kind. Each entry: (name, default, choices or None).
def pipe_params(material, dn, joint, insulation="无", thickness="0", place="室内"):
    return [
        ("材质", material, PIPE_MATERIALS),
        ("公称管径D_0(mm)", dn, DN),
        ("管道外径D(mm)", outer_diameter(material, dn), None),
        ("连接方式", joint, JOINTS),
        ("安装部位", place, "室内,室外,管井,吊顶内,埋地"),
        ("保温材料", insulation, INSULATION),
        ("保温厚度(mm)", thickness, "0,20,25,30,40,50"),
    ]


def point_params(spec, spec_choices, figure, extra=()):
    ps = [("构件规格", spec, spec_choices)]
    ps += list(extra)
    ps += [("图形", figure, None), ("图形缩放", "100%", None)]
    return ps


def box_params(model, w, h, d, figure, mount="暗装"):
    return [
        ("型号", model, None),
        ("构件宽度(mm)", w, None),
        ("构件高度(mm)", h, None),
        ("构件厚度(mm)", d, None),
        ("安装方式", mount, "明装,暗装,落地"),
        ("底标高", "1500", None),
        ("图形", figure, None),
        ("图形缩放", "100%", None),
    ]


def duct_params(b, h, material="镀锌钢板", thick="0.6", insulation="无", ins_thick="0"):
    return [
        ("B", b, "120,160,200,250,320,400,500,630,800,1000,1250"),
        ("H", h, "120,160,200,250,320,400,500,630,800"),
        ("材质", material, "镀锌钢板,不锈钢板,玻镁复合板,酚醛复合板"),
        ("板厚(mm)", thick, "0.5,0.6,0.75,1.0,1.2"),
        ("保温材料", insulation, INSULATION),
        ("保温厚度(mm)", ins_thick, "0,25,30,40"),
    ]


WIRE_TYPES = "BV,BVR,ZR-BV,NH-BV,WDZ-BYJ,RVS"
SECTIONS = "1.5,2.5,4,6,10,16,25"
CONDUITS = "PC管,JDG管,KBG管,SC管,金属软管"
CONDUIT_SIZES = "16,20,25,32,40,50"


def wire_params(wire, section, count):
    return [
        ("导线型号", wire, WIRE_TYPES),
        ("截面(mm2)", section, SECTIONS),
        ("根数", count, "1,2,3,4,5"),
        ("敷设方式", "穿管暗敷", "穿管暗敷,穿管明敷,线槽敷设,桥架敷设"),
    ]


def conduit_params(material, size):
    return [
        ("导管材质", material, CONDUITS),
        ("导管规格(mm)", size, CONDUIT_SIZES),
        ("敷设方式", "暗敷", "暗敷,明敷,吊顶内"),
    ]


# Per-type defaults: type -> (parameter list, colour of the layer).
GREEN, BLUE, RED, YELLOW, CYAN, MAGENTA, WHITE = (
    rgb(0, 255, 0), rgb(0, 0, 255), rgb(255, 0, 0), rgb(255, 255, 0),
    rgb(0, 255, 255), rgb(255, 0, 255), rgb(255, 255, 255))
ORANGE, BROWN, GREY, PURPLE = rgb(255, 127, 0), rgb(153, 102, 51), rgb(128, 128, 128), rgb(127, 0, 255)

TYPE_PARAMS = {
    # plumbing runs
    "给水管": (pipe_params("PP-R管", "25", "热熔"), GREEN),
    "热给水管": (pipe_params("PP-R管", "20", "热熔", "橡塑保温", "20"), RED),
    "热回水管": (pipe_params("PP-R管", "20", "热熔", "橡塑保温", "20"), MAGENTA),
    "污水管": (pipe_params("PVC-U管", "100", "粘接"), BROWN),
    "废水管": (pipe_params("PVC-U管", "75", "粘接"), ORANGE),
    "雨水管": (pipe_params("PVC-U管", "100", "粘接"), CYAN),
    "中水管": (pipe_params("PE管", "32", "热熔"), PURPLE),
    "消防管": (pipe_params("镀锌钢管", "100", "沟槽"), RED),
    "喷淋管": (pipe_params("镀锌钢管", "25", "丝接"), MAGENTA),
    "软管道": (pipe_params("不锈钢管", "15", "卡压"), GREY),
    "其它管道": (pipe_params("焊接钢管", "50", "焊接"), WHITE),
    # HVAC water runs
    "热供水管": (pipe_params("焊接钢管", "50", "焊接", "橡塑保温", "30"), RED),
    "热回水管(暖通)": (pipe_params("焊接钢管", "50", "焊接", "橡塑保温", "30"), MAGENTA),
    "冷供水管": (pipe_params("无缝钢管", "80", "焊接", "橡塑保温", "30"), CYAN),
    "冷回水管": (pipe_params("无缝钢管", "80", "焊接", "橡塑保温", "30"), BLUE),
    "冷却水管": (pipe_params("焊接钢管", "100", "沟槽"), GREEN),
    "凝结水管": (pipe_params("PVC-U管", "32", "粘接"), YELLOW),
    "软水管": (pipe_params("不锈钢管", "20", "卡压"), GREY),
    "其它水管": (pipe_params("镀锌钢管", "40", "丝接"), WHITE),
    "地暖盘管": ([("材质", "PE-RT管", "PE-RT管,PE-X管,PB管"), ("公称管径D_0(mm)", "20", "16,20,25"),
                 ("盘管间距(mm)", "200", "150,200,250,300")], ORANGE),
    # ducts
    "送风管": (duct_params("500", "320", insulation="橡塑保温", ins_thick="25"), BLUE),
    "新风管": (duct_params("400", "250"), GREEN),
    "回风管": (duct_params("630", "320"), CYAN),
    "排风管": (duct_params("400", "200"), YELLOW),
    "除尘排烟管": (duct_params("800", "400", thick="1.0"), RED),
    "柔性风管": ([("D", "200", "100,150,200,250,300"), ("材质", "铝箔软管", "铝箔软管,帆布软管")], GREY),
    "其它风管": (duct_params("320", "200"), WHITE),
    # wires and conduits
    "照明导线": (wire_params("BV", "2.5", "3"), YELLOW),
    "动力导线": (wire_params("BV", "6", "5"), RED),
    "消防导线": (wire_params("NH-BV", "2.5", "2"), MAGENTA),
    "其它导线": (wire_params("RVS", "1.5", "2"), WHITE),
    "导管": (conduit_params("JDG管", "20"), GREEN),
    "软导管": (conduit_params("金属软管", "20"), GREY),
    "导线·导管": (wire_params("BV", "2.5", "3")[:2] + [("导线根数", "3", "2,3,4,5")]
                + conduit_params("PC管", "20")[:2], YELLOW),
    "线槽": ([("材质", "金属线槽", "金属线槽,PVC线槽"), ("B", "100", "50,75,100,150,200"),
             ("H", "50", "50,75,100")], CYAN),
    "电缆": ([("型号", "YJV-0.6/1kV", "YJV-0.6/1kV,YJV22-0.6/1kV,WDZ-YJY-0.6/1kV,NH-YJV-0.6/1kV"),
             ("规格", "4×25+1×16", "4×10+1×6,4×16+1×10,4×25+1×16,4×35+1×16,4×50+1×25"),
             ("敷设方式", "桥架敷设", "桥架敷设,穿管敷设,直埋,电缆沟")], ORANGE),
    "母线馈线": ([("型号", "密集型母线槽", None), ("额定电流(A)", "630", "400,630,800,1000,1250")], PURPLE),
    "桥架": ([("材质", "钢制槽式", "钢制槽式,钢制梯式,铝合金"), ("B", "200", "100,150,200,300,400,500"),
             ("H", "100", "50,100,150")], CYAN),
    "托盘": ([("材质", "钢制托盘式", None), ("B", "300", "200,300,400,500"), ("H", "100", "100,150")], CYAN),
    "组合式桥架": ([("材质", "组合式", None), ("B", "300", "200,300,400"), ("H", "150", "100,150")], CYAN),
    # lightning and earthing
    "接地母线": ([("材质", "镀锌扁钢", "镀锌扁钢,镀锌圆钢,铜排"), ("规格", "-40×4", "-25×4,-40×4,-50×5")], GREEN),
    "接地跨接线": ([("材质", "BVR导线", None), ("规格", "4mm2", "4mm2,6mm2,16mm2")], GREEN),
    "避雷引下线": ([("材质", "镀锌圆钢", "镀锌圆钢,柱内主筋"), ("规格", "Φ10", "Φ8,Φ10,Φ12")], YELLOW),
    "避雷带": ([("材质", "镀锌圆钢", "镀锌圆钢,镀锌扁钢"), ("规格", "Φ10", "Φ8,Φ10,Φ12"),
               ("支架间距(mm)", "1000", None)], YELLOW),
}

# Point kinds: figure name and size designation per type.
POINT_DEFAULTS = {
    "阀门": ("DN25", DN, "阀门", [("型号", "截止阀", "截止阀,闸阀,蝶阀,止回阀,球阀"), ("连接方式", "丝接", JOINTS)]),
    "法兰": ("DN100", DN, "法兰", [("型号", "平焊法兰", "平焊法兰,对焊法兰")]),
    "喷淋头": ("DN15", "DN15,DN20", "喷头", [("型号", "下垂型", "下垂型,直立型,边墙型")]),
    "普通水嘴": ("DN15", "DN15,DN20", "水嘴", []),
    "冷热水嘴": ("DN15", "DN15,DN20", "水嘴", []),
    "排水附件": ("DN50", "DN50,DN75,DN100", "地漏", [("型号", "地漏", "地漏,清扫口,检查口,通气帽")]),
    "管道补偿器": ("DN100", DN, "补偿器", [("型号", "波纹补偿器", None)]),
    "管道仪器": ("DN50", DN, "仪表", [("型号", "水表", "水表,压力表,温度计,流量计")]),
    "管道套管": ("DN50", DN, "套管", [("套管类型", "刚性防水套管", "刚性防水套管,柔性防水套管,一般钢套管")]),
    "浴盆": ("1500×700", None, "浴盆", [("安装方式", "落地", None)]),
    "洗脸盆": ("台下式", "台上式,台下式,立柱式", "洗脸盆", []),
    "淋浴器": ("单管", "单管,冷热水", "淋浴器", []),
    "大便器": ("坐式", "坐式,蹲式", "大便器", []),
    "小便器": ("壁挂式", "壁挂式,落地式", "小便器", []),
    "其它卫生器具": ("拖布池", "拖布池,洗涤盆,化验盆", "洗涤盆", []),
    "检查井": ("Φ700", "Φ700,Φ1000", "检查井", [("井深(mm)", "1500", None)]),
    "点状灯具": ("LED吸顶灯 1×18W", "LED吸顶灯 1×18W,LED筒灯 1×9W,应急照明灯 1×3W", "圆灯",
               [("底标高", "层高", None)]),
    "块状灯具": ("LED格栅灯 3×12W", "LED格栅灯 3×12W,LED平板灯 1×36W,双管荧光灯 2×28W", "方灯",
               [("底标高", "层高", None)]),
    "插座": ("单相五孔 10A", "单相五孔 10A,单相三孔 16A,防水五孔 10A", "插座", [("底标高", "300", None)]),
    "开关": ("单联单控 10A", "单联单控 10A,双联单控 10A,三联单控 10A,单联双控 10A", "开关",
            [("底标高", "1300", None)]),
    "其它电器具": ("排气扇 40W", None, "电器", [("底标高", "2400", None)]),
    "接线盒": ("86型", "86型,75型,100型", "接线盒", []),
    "管线套管": ("DN50", DN, "套管", [("套管类型", "一般钢套管", None)]),
    "电缆井": ("800×600", None, "电缆井", [("井深(mm)", "1200", None)]),
    "接地极": ("L50×5 L=2500", None, "接地极", [("材质", "镀锌角钢", None)]),
    "避雷针": ("Φ20 L=1000", None, "避雷针", []),
    "送风口": ("双层百叶 400×200", None, "百叶风口", [("B", "400", None), ("H", "200", None)]),
    "新风口": ("单层百叶 400×200", None, "百叶风口", [("B", "400", None), ("H", "200", None)]),
    "回风口": ("单层百叶 600×300", None, "百叶风口", [("B", "600", None), ("H", "300", None)]),
    "排风口": ("单层百叶 300×300", None, "百叶风口", [("B", "300", None), ("H", "300", None)]),
    "排烟口": ("多叶排烟口 630×400", None, "排烟口", [("B", "630", None), ("H", "400", None)]),
    "其它风口": ("方形散流器 300×300", None, "散流器", [("B", "300", None), ("H", "300", None)]),
    "风阀": ("70℃防火阀", "70℃防火阀,280℃排烟防火阀,对开多叶调节阀,止回阀", "风阀",
            [("B", "500", None), ("H", "320", None)]),
    "风法兰": ("角钢法兰", None, "风法兰", [("B", "500", None), ("H", "320", None)]),
    "导流片": ("单叶", None, "导流片", [("B", "500", None), ("H", "320", None)]),
    "风帽": ("伞形", None, "风帽", [("B", "400", None), ("H", "400", None)]),
    "静压箱": ("1000×600×500", None, "静压箱", [("B", "1000", None), ("H", "600", None)]),
    "消声器": ("阻抗复合式", None, "消声器", [("B", "630", None), ("H", "320", None)]),
    "过滤器": ("初效", "初效,中效", "过滤器", [("B", "500", None), ("H", "500", None)]),
    "水阀": ("DN50", DN, "阀门", [("型号", "蝶阀", "蝶阀,闸阀,截止阀,平衡阀,止回阀"), ("连接方式", "法兰", JOINTS)]),
    "水法兰": ("DN50", DN, "法兰", []),
    "水管补偿器": ("DN80", DN, "补偿器", []),
    "水管仪器": ("DN50", DN, "仪表", [("型号", "压力表", "压力表,温度计,流量计")]),
    "暖通套管": ("DN80", DN, "套管", [("套管类型", "一般钢套管", None)]),
    "暖通检查井": ("Φ700", None, "检查井", [("井深(mm)", "1200", None)]),
    "散热器": ("钢制柱式 600", None, "散热器", [("片数", "12", None)]),
}

BOX_DEFAULTS = {
    "配电箱": ("AL", "500", "600", "180", "箱体"),
    "配电柜": ("AP", "800", "2200", "600", "柜体"),
    "配电盘": ("APD", "400", "500", "150", "箱体"),
    "元件装置": ("KX", "300", "200", "100", "箱体"),
    "动力设备": ("风机电机 5.5kW", "600", "400", "400", "设备"),
    "电消防设备": ("消防控制模块", "300", "300", "100", "设备"),
    "其它电设备": ("控制箱", "400", "500", "200", "设备"),
    "给排水设备": ("生活水箱 2000×1500×1500", "2000", "1500", "1500", "设备"),
    "消防设备": ("室内消火栓箱 SG24A65", "800", "650", "240", "消火栓"),
    "其它设备": ("电热水器 60L", "600", "450", "450", "设备"),
    "空调机组": ("组合式空调机组 8000m3/h", "2400", "1600", "1800", "设备"),
    "风机盘管": ("卧式暗装 FP-68", "1000", "500", "240", "风机盘管"),
    "通风机": ("轴流风机 3000m3/h", "600", "600", "500", "风机"),
    "除尘设备": ("袋式除尘器", "1200", "1200", "2400", "设备"),
    "其它风设备": ("空气幕 1200", "1200", "250", "250", "设备"),
    "冷水机组": ("螺杆式 500kW", "3200", "1200", "1900", "设备"),
    "锅炉": ("燃气热水锅炉 0.7MW", "2600", "1500", "1800", "设备"),
    "水泵": ("立式离心泵 30m3/h", "500", "500", "900", "水泵"),
    "冷却塔": ("方形横流 100t/h", "2500", "2500", "3200", "设备"),
    "暖风机": ("热水暖风机 NC-30", "600", "500", "400", "设备"),
    "其它暖设备": ("分集水器", "800", "300", "200", "设备"),
}

SUPPORTS = {
    "管道支架": "1.5",
    "电气支架": "2.0",
    "风管支架": "3.5",
    "水管支架": "2.5",
}

GROOVES = {
    "管道沟槽": ("600", "800"),
    "电缆沟槽": ("800", "1000"),
    "暖通管道沟槽": ("800", "1000"),
}

FOUNDATIONS = ["设备基础", "暖通设备基础"]

PIPE_FITTINGS = {
    "管道堵头": "管道", "管道弯头": "管道", "管道三通": "管道", "管道四通": "管道",
    "水管堵头": "水管", "水管弯头": "水管", "水管三通": "水管", "水管四通": "水管",
}
DUCT_FITTINGS = ["弯头", "三通", "四通", "大小头", "来回弯"]

CIVIL_PARAMS = {
    "轴网": [],
    "砼墙": [("厚度(mm)", "200", None), ("高度(mm)", "层高", None), ("砼等级", "默认", None)],
    "砖墙": [("厚度(mm)", "240", None), ("高度(mm)", "层高", None), ("砂浆等级", "默认", None)],
    "填充墙": [("厚度(mm)", "200", None), ("高度(mm)", "层高", None)],
    "间壁墙": [("厚度(mm)", "100", None), ("高度(mm)", "层高", None)],
    "门": [("宽度(mm)", "900", None), ("高度(mm)", "2100", None)],
    "窗": [("宽度(mm)", "1500", None), ("高度(mm)", "1500", None), ("离地高度(mm)", "900", None)],
    "砼柱": [("截面B(mm)", "500", None), ("截面H(mm)", "500", None), ("砼等级", "默认", None)],
    "框架梁": [("截面B(mm)", "250", None), ("截面H(mm)", "600", None), ("砼等级", "默认", None)],
}


# Section figures of the air ducts in the graph library, centred on the
# run's axis: the rebuild gives a row of a new duct number the 坐标 of its
# type's figure, which the take-off measures the duct by and the 3D model
# sweeps along the run. Figure name -> (坐标, width, height).
DUCT_SECTION_FIGURES = {
    "矩形截面": ("-{B}/2,-{H}/2|{B}/2,-{H}/2|{B}/2,{H}/2|-{B}/2,{H}/2|-{B}/2,-{H}/2", 500, 320),
    "圆形截面": ("-{D}/2,0:1|{D}/2,0:1|-{D}/2,0", 200, 200),
}

for _name in dict(CATEGORIES)["风管"].split(","):
    _params, _colour = TYPE_PARAMS[_name]
    if not any(p[0] == "图形" for p in _params):
        _figure = "圆形截面" if any(p[0] == "D" for p in _params) else "矩形截面"
        TYPE_PARAMS[_name] = (_params + [("图形", _figure, None)], _colour)


def params_of(category, name):
    """The parameter list and layer colour of a type."""
    if name in TYPE_PARAMS:
        return TYPE_PARAMS[name]
    if name in BOX_DEFAULTS:
        model, w, h, d, fig = BOX_DEFAULTS[name]
        mount = "落地" if int(h) >= 1000 or category in ("水暖设备", "风口设备", "设备") else "暗装"
        colour = {"配电箱": RED, "配电柜": RED, "配电盘": RED}.get(name, ORANGE)
        return box_params(model, w, h, d, fig, mount), colour
    if name in POINT_DEFAULTS and POINT_DEFAULTS[name]:
        spec, choices, fig, extra = POINT_DEFAULTS[name]
        colour = {"照明器具": YELLOW, "管道附件": GREEN, "卫生器具": CYAN, "风口设备": BLUE,
                  "风管部件": CYAN, "水暖附件": MAGENTA, "防雷接地": YELLOW}.get(category, GREEN)
        return point_params(spec, choices, fig, extra), colour
    if name in SUPPORTS:
        return ([("构件规格", "角钢支架 L40×4", None), ("单体重量(kg)", SUPPORTS[name], None),
                 ("间距(mm)", "3000", None), ("图形", "支架", None), ("图形缩放", "100%", None)], GREY)
    if name in GROOVES:
        w, d = GROOVES[name]
        return [("沟宽(mm)", w, None), ("沟深(mm)", d, None), ("垫层厚度(mm)", "100", None)], BROWN
    if name in FOUNDATIONS:
        return ([("长(mm)", "1200", None), ("宽(mm)", "800", None), ("高(mm)", "200", None),
                 ("砼等级", "默认", None), ("图形", "基础", None), ("图形缩放", "100%", None)], GREY)
    if name in PIPE_FITTINGS:
        material = "镀锌钢管" if PIPE_FITTINGS[name] == "管道" else "焊接钢管"
        return ([("材质", material, PIPE_MATERIALS), ("公称管径D_0(mm)", "50", DN),
                 ("连接方式", "丝接", JOINTS)], WHITE)
    if name in DUCT_FITTINGS:
        return duct_params("500", "320")[:4], BLUE
    if name in CIVIL_PARAMS:
        return CIVIL_PARAMS[name], WHITE
    return [], WHITE


# Rule items: what each kind is measured by. Each line of a rule field is
#   flag=type=parameter=name||code=unit=formula
# The field 定额 holds norm lines (flag 定额), 纯清单 bill-item lines (flag 项),
# and 清单 each bill item followed by the norm it is priced by.
RUN_KINDS = {"管道", "水管", "风管", "电缆桥架"}

# Installation codes begin with the chapter of their discipline, by which the
# discipline tables sort them; the types of fire protection have their own.
CHAPTERS = [("0302", "电气设备安装工程"), ("0307", "消防工程"), ("0308", "给排水、采暖、燃气工程"),
            ("0309", "通风空调工程")]
CHAPTER_OF_CATEGORY = {
    "管道": "0308", "管道附件": "0308", "卫生器具": "0308", "设备": "0308", "排水零星": "0308", "管道配件": "0308",
    "管线": "0302", "照明器具": "0302", "设备、箱柜": "0302", "电缆桥架": "0302", "防雷接地": "0302",
    "附件、零星": "0302",
    "风管": "0309", "水管": "0309", "风口设备": "0309", "风管部件": "0309", "风管配件": "0309", "水暖附件": "0309",
    "水暖设备": "0309", "暖通零星": "0309", "水管配件": "0309",
}
FIRE_TYPES = {"消防管", "喷淋管", "喷淋头", "消防设备", "消防导线", "电消防设备"}

# Insulation volume in m3 of a pipe of outer diameter D with a layer δ thick
# over the length L: π·(D+δ)·δ·L, written as two products so that a
# thickness of 0 drops both terms and the item comes to nothing.
INSULATION_VOLUME = ("3.14159265*{{管道外径D(mm)}}*[保温厚度(mm)]*{{{L}}}/1000000"
                     "+3.14159265*[保温厚度(mm)]*[保温厚度(mm)]*{{{L}}}/1000000")


def chapter_of(category, name):
    """The code chapter of a type: its discipline's, None for building types."""
    if name in FIRE_TYPES:
        return "0307"
    return CHAPTER_OF_CATEGORY.get(category)


def item_code(category, name, flag, variant=1):
    """The code of a type's item: bill items 9 digits (chapter, category,
    position, variant), norms the same with a "-" after the category;
    building types keep a letter code (D norms, Q bill items)."""
    chapter = chapter_of(category, name)
    position = f"{type_position(category, name):02d}{variant}"
    if chapter is None:
        return f"{'Q' if flag == '项' else 'D'}{category_code(category)}-{position}"
    return f"{chapter}{category_code(category)}{'' if flag == '项' else '-'}{position}"


def rule_items(category, name):
    """The items of a type: (type, parameter, title, variant, unit, formula)."""
    if category in ("管道", "水管"):
        items = [("长度", "公称管径D_0(mm)", f"{name}安装", 1, "m", f"{{{name}长}}")]
        if name not in ("软管道", "软水管"):
            items.append(("保温", "保温厚度(mm)", f"{name}保温", 2, "m3", INSULATION_VOLUME.format(L=f"{name}长")))
        return items
    if category == "风管":
        return [("面积", "材质", f"{name}制作安装", 1, "m2", f"{{{name}}}")]
    if category == "管线":
        if name in ("导管", "软导管"):
            return [("长度", "导管规格(mm)", f"{name}敷设", 1, "m", f"{{{name}长}}")]
        if name == "导线·导管":
            # The wires counted per conductor, their conduit once.
            return [("配线", "截面(mm2)", "管内穿线", 1, "m", "{配线长}"),
                    ("导管", "导管规格(mm)", "导管敷设", 2, "m", "{导管长}")]
        if name == "线槽":
            return [("长度", "B", "线槽安装", 1, "m", f"{{{name}长}}")]
        return [("配线", "截面(mm2)", f"{name}穿线", 1, "m", "{配线长}")]
    if category == "电缆桥架" or name in ("接地母线", "接地跨接线", "避雷引下线", "避雷带"):
        return [("长度", "规格", f"{name}敷设", 1, "m", f"{{{name}长}}")]
    if name in SUPPORTS:
        return [("重量", "单体重量(kg)", f"{name}制作安装", 1, "kg", f"{{{name}}}")]
    if name in GROOVES:
        return [("挖填", "沟宽(mm)", f"{name}挖填", 1, "m3", f"{{{name}长}}*[沟宽(mm)]*[沟深(mm)]/1000000")]
    if category_index(category) < FIRST_INSTALLATION_CATEGORY:
        return [("数量", "", f"构件{name}", 1, "个", "{个数}")]
    return [("个数", "构件规格", f"{name}安装", 1, "个", "{个数}")]


def rule_lines(category, name, mode):
    """The lines of a type's rule field of the mode (定额, 清单 or 纯清单)."""
    flags = {"定额": ["定额"], "纯清单": ["项"], "清单": ["项", "定额"]}.get(mode, ["定额"])
    lines = []
    for type_, param, title, variant, unit, formula in rule_items(category, name):
        for flag in flags:
            code = item_code(category, name, flag, variant)
            lines.append(f"{flag}={type_}={param}={title}||{code}={unit}={formula}")
    return lines


def category_index(category):
    for i, (c, _) in enumerate(CATEGORIES):
        if c == category:
            return i
    return len(CATEGORIES)


def type_position(category, name):
    """1-based position of a type in its category's list (the extra types follow)."""
    names = dict(CATEGORIES).get(category, "").split(",")
    names += [t for c, t in EXTRA_TYPES if c == category]
    return names.index(name) + 1 if name in names else 0


def category_code(category):
    return f"{category_index(category) + 1:02d}"
