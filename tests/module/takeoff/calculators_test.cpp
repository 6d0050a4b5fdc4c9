// The calculators of counted items, wires, pipe supports and ducts, run
// through a whole take-off of one floor: the quantity each item sees, the
// rows per number, and what a gap in the data does.
#include <gtest/gtest.h>

#include "tests/module/takeoff/takeoff_fixture.h"

namespace kivtest {
namespace {

const std::string kLibrary =
    "构件分类:ftString:50\t构件名称:ftString:50\t定额\n"
    "轴网\t轴网\t\n"
    "照明器具\t点状灯具\t定额=个数=构件规格=灯具安装||D18-011=个={个数}\n"
    "配电箱\t配电箱\t定额=个数=构件规格=配电箱安装||D19-041=个={个数}\n"
    "管道支架\t管道支架\t定额=重量=单体重量(kg)=支架||D15-021=kg={管道支架}\n"
    "导线\t照明导线\t定额=配线=截面=穿线||D17-011=m={配线长}\\r\\n项=配线=截面=穿线||Q17-011=m={配线长}"
    "\\r\\n定额=导管=规格=配管||D17-001=m={导管长}\n"
    "导线\t电缆\t定额=配线=截面=电缆||D20-011=m={配线长}\\r\\n项=配线=截面=电缆||Q20-011=m={配线长}\n"
    "导线\t导线·导管\t定额=配线=截面=管内穿线||D17-071=m={配线长}\n"
    "风管\t送风管\t定额=面积=材质=风管||D23-011=m2={送风管}\n";

// Norm texts of the records.
const std::string kOneNorm = "[001]\\r\\n类型=个数";
const std::string kWireNorm = "[001]\\r\\n类型=配线\\r\\n[002]\\r\\n类型=配线\\r\\n标志=项\\r\\n[003]\\r\\n类型=导管";
const std::string kCableNorm = "[001]\\r\\n类型=配线\\r\\n[002]\\r\\n类型=配线\\r\\n标志=项";

class Calculators : public TakeoffProject {
 protected:
  void SetUp() override {
    TakeoffProject::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    makeTable(suiteSystem() / u8"构件库.DB", kLibrary);
    // Reserves: boxes 500 for norms only, cabinets width plus height, switches
    // 150 and sockets 200 (norms only).
    makeTable(project() / u8"计算规则.DB",
              "属性:ftString:100\t定额值:ftString:50\t清单值:ftString:50\n"
              "导线进出配电箱、配电柜、配电盘增加预留长度(mm)\t500\t\n"
              "导线进出开关盒预留长度(mm)\t150\t150\n"
              "导线进出插座盒预留长度(mm)\t200\t\n"
              "导线引至电动机增加预留长度(mm)\t宽+高\t高+宽\n");
    makeFloors("F1\t1\t3000\tC30\tM7.5\n", L"F1");
    db_ = working();
    block_ = blockRecord();
  }

  void floorTable(const std::string& rows) {
    makeTable(project() / "F1.DB",
              "构件名称:ftString:50\t编号:ftString:50\t参数\t定额\t坐标\t标志:ftString:20\t数量:ftInteger\n" + rows);
  }

  cad::ObjectId blockRecord() {
    cad::ObjectId block;
    cad::ObjectPtr<cad::BlockTable> bt(db_->blockTableId(), cad::OpenMode::ForWrite);
    auto rec = std::make_unique<cad::BlockRecord>();
    rec->setName(L"器具");
    EXPECT_EQ(bt->add(std::move(rec), &block), cad::Status::Ok);
    return block;
  }

  // A point component of the kind at p with its elevation.
  cad::ObjectId point(const std::wstring& kind, const std::wstring& number, geom::Point3d p, double elev = 0) {
    GetOrCreateLayer(kind, db_);
    auto ref = std::make_unique<cad::BlockReference>(p, block_);
    ref->setLayer(kind);
    cad::ObjectId id;
    EXPECT_EQ(db_->appendToModelSpace(std::move(ref), &id), cad::Status::Ok);
    StampGjPrimary(id, number);
    EXPECT_TRUE(SetPointGjSpecial(&number, id, &elev, nullptr));
    return id;
  }

  cad::ObjectId riser(const std::wstring& kind, const std::wstring& number, geom::Point3d p, double zs, double ze) {
    cad::ObjectId id;
    CreateLinearGjEntity(id, kind, number, {p.x, p.y, zs}, {p.x, p.y, ze}, 0, 1);
    EXPECT_FALSE(id.isNull());
    return id;
  }

  // field of each quantity line of the row of the kind and number.
  StringArray fieldOf(const std::wstring& kind, const std::wstring& number, size_t field) {
    StringArray out;
    for (const Row& r : rows()) {
      if (r.name != kind || r.number != number) continue;
      StringArray lines;
      SplitLines(r.lines, lines);
      for (const std::wstring& l : lines) {
        StringArray f;
        SplitString(l, L"=", f);
        out.push_back(f.size() > field ? f[field] : L"?");
      }
    }
    return out;
  }
  // The expressions without the value's name that follows them.
  StringArray expressions(const std::wstring& kind, const std::wstring& number) {
    StringArray out = fieldOf(kind, number, 6);
    for (std::wstring& e : out)
      while (!e.empty() && static_cast<unsigned>(e.back()) >= 0x80) e.pop_back();
    return out;
  }
  StringArray results(const std::wstring& kind, const std::wstring& number) { return fieldOf(kind, number, 7); }
  int rowCount(const std::wstring& kind, const std::wstring& number, std::wstring* count = nullptr) {
    int n = 0;
    for (const Row& r : rows())
      if (r.name == kind && r.number == number) {
        ++n;
        if (count) *count = r.count;
      }
    return n;
  }

  cad::Database* db_ = nullptr;
  cad::ObjectId block_;
};

std::wstring P(double v) { return PrecStr(v, 3); }

TEST_F(Calculators, CountedItemsCountPrimaryEntitiesOncePerNumber) {
  floorTable("点状灯具\tL1\t\t" + kOneNorm + "\t\t\t\n点状灯具\tL2\t\t" + kOneNorm + "\t\t\t\n" +
             "点状灯具\tL1\t\t" + kOneNorm + "\t\t\t\n点状灯具\tL3\t\t" + kOneNorm + "\t\t\t\n" +
             "点状灯具\tL4\t\t" + kOneNorm + "\t\t\t\n");
  for (int i = 0; i < 3; ++i) point(L"点状灯具", L"L1", {1000.0 * i, 0, 0});
  for (int i = 0; i < 2; ++i) point(L"点状灯具", L"L2", {1000.0 * i, 2000, 0});
  // L3: only a copy with one attribute line; L4: only a polyline.
  cad::ObjectId copy = point(L"点状灯具", L"L3", {0, 4000, 0});
  StringArray one{L"X"};
  ClearXdata(copy, kXdataAttrs);
  SetXdataLines(copy, kXdataAttrs, one, db_);
  run(db_, L"点状灯具", L"L4", L"斜管", {0, 6000, 0}, {100, 6000, 0}, 0, 0, 0);
  CmdZebTotalAll();
  std::wstring count;
  EXPECT_EQ(rowCount(L"点状灯具", L"L1", &count), 1);  // the repeated record gets no row
  EXPECT_EQ(count, L"3");
  EXPECT_EQ(results(L"点状灯具", L"L1"), (StringArray{PrecStr(3, 5)}));
  EXPECT_EQ(rowCount(L"点状灯具", L"L2", &count), 1);
  EXPECT_EQ(count, L"2");
  EXPECT_EQ(rowCount(L"点状灯具", L"L3"), 0);
  EXPECT_EQ(rowCount(L"点状灯具", L"L4"), 0);
}

// Each case is one number of a wire kind on its own riser (or run), with
// the devices around it; the expressions are those of the norm, bill and
// conduit items (cables have no conduit item).
TEST_F(Calculators, WireReservesFollowTheTableOfCases) {
  struct Dev {
    const wchar_t* layer;
    double dx, elev;
  };
  struct Case {
    const wchar_t* what;
    const wchar_t* kind;
    const wchar_t* number;
    const char* params;
    const wchar_t* type;  // 立管 or 斜管
    double zs, ze;
    std::vector<Dev> devices;
    StringArray expected;
  };
  const std::wstring three = P(3), half = P(0.5), c15 = P(0.15), c2 = P(0.2), k14 = P(1.4);
  const std::vector<Case> cases = {
      {L"box at the riser's foot", L"照明导线", L"W1", "根数=4", L"立管", 0, 3000, {{L"配电箱", 0, 0}},
       {L"(" + three + L"+" + half + L")*4", three + L"*4", three}},
      {L"width plus height of a motor", L"照明导线", L"W2", "根数=2", L"立管", 0, 3000, {{L"动力设备", 0, 3000}},
       {L"(" + three + L"+" + k14 + L")*2", L"(" + three + L"+" + k14 + L")*2", three}},
      {L"switch above, socket below, nested in drawing order", L"照明导线", L"W3", "根数=1", L"立管", 0, 3000,
       {{L"开关", 0, 3000}, {L"插座", 0, 0}},
       {L"((" + three + L"+" + c15 + L")+" + c2 + L")*1", L"(" + three + L"+" + c15 + L")*1", three}},
      {L"device 16 away", L"照明导线", L"W4", "根数=1", L"立管", 0, 3000, {{L"配电箱", 16, 0}},
       {three + L"*1", three + L"*1", three}},
      {L"device 15.9 away, 10 above the top", L"照明导线", L"W5", "根数=1", L"立管", 0, 3000, {{L"配电箱", 15.9, 3010}},
       {three + L"*1", three + L"*1", three}},
      {L"both ends near the device: one reserve", L"照明导线", L"W6", "根数=1", L"立管", 0, 5, {{L"配电箱", 0, 2}},
       {L"(" + P(0.005) + L"+" + half + L")*1", P(0.005) + L"*1", P(0.005)}},
      {L"sloped wire ending at a box", L"照明导线", L"W7", "根数=1", L"斜管", 0, 0, {{L"配电箱", 0, 0}},
       {three + L"*1", three + L"*1", three}},
      {L"cable: norm and bill without the count", L"电缆", L"C1", "根数=2", L"立管", 0, 3000, {{L"配电箱", 0, 0}},
       {L"(" + three + L"+" + half + L")", three}},
      {L"wire in conduit counts 导线根数", L"导线·导管", L"D1", "导线根数=3\\r\\n根数=5", L"立管", 0, 3000, {},
       {three + L"*3"}},
      {L"no count: a product with 0", L"照明导线", L"W8", "", L"立管", 0, 3000, {}, {three + L"*0", three + L"*0", three}},
  };
  std::string rows;
  for (const Case& c : cases) {
    const std::wstring kind = c.kind;
    const std::string norm = kind == L"电缆" ? kCableNorm : kind == L"导线·导管" ? "[001]\\r\\n类型=配线" : kWireNorm;
    rows += os::toUtf8(kind) + "\t" + os::toUtf8(c.number) + "\t" + c.params + "\t" + norm + "\t\t\t\n";
  }
  // Device parameters: the motor is 600 wide and 800 high.
  rows += "动力设备\tM1\t构件宽度(mm)=600\\r\\n构件高度(mm)=800\t\t\t\t\n";
  floorTable(rows);
  double x = 0;
  for (const Case& c : cases) {
    x += 10000;
    if (std::wstring(c.type) == L"立管")
      riser(c.kind, c.number, {x, 0, 0}, c.zs, c.ze);
    else
      run(db_, c.kind, c.number, L"斜管", {x - 3000, 0, 0}, {x, 0, 0}, 0, 0, 0);
    for (const Dev& d : c.devices) point(d.layer, std::wstring(d.layer) == L"动力设备" ? L"M1" : L"B", {x + d.dx, 0, 0}, d.elev);
  }
  CmdZebTotalAll();
  for (const Case& c : cases) EXPECT_EQ(expressions(c.kind, c.number), c.expected) << os::toUtf8(c.what);
  // The gap is named.
  EXPECT_NE(commandLine().find(L"W8"), std::wstring::npos);
}

TEST_F(Calculators, SupportsWeighTheirOwnParametersFirstThenTheFloors) {
  floorTable("管道支架\tS1\t单体重量(kg)=10\t[001]\\r\\n类型=重量\t\t\t\n"
             "管道支架\tS2\t单体重量(kg)=10\t[001]\\r\\n类型=重量\t\t\t\n"
             "管道支架\tS3\t单体重量(kg)=7:5,7\t[001]\\r\\n类型=重量\t\t\t\n"
             "管道支架\tS4\t\t[001]\\r\\n类型=重量\t\t\t\n"
             "管道支架\tS5\t单体重量(kg)=1\t[001]\\r\\n类型=重量\t\t\t\n");
  StringArray own{L"单体重量(kg)=12.5"}, ownOther{L"材质=钢"};
  SetXdataLines(point(L"管道支架", L"S1", {0, 0, 0}), L"构件", own, db_);
  point(L"管道支架", L"S2", {1000, 0, 0});
  point(L"管道支架", L"S2", {2000, 0, 0});
  SetXdataLines(point(L"管道支架", L"S3", {3000, 0, 0}), L"构件", ownOther, db_);
  point(L"管道支架", L"S4", {4000, 0, 0});
  CmdZebTotalAll();
  EXPECT_EQ(expressions(L"管道支架", L"S1"), (StringArray{P(12.5)}));
  std::wstring count;
  EXPECT_EQ(rowCount(L"管道支架", L"S2", &count), 1);
  EXPECT_EQ(count, L"2");
  EXPECT_EQ(results(L"管道支架", L"S2"), (StringArray{PrecStr(10, 5), PrecStr(10, 5)}));
  EXPECT_EQ(results(L"管道支架", L"S3"), (StringArray{PrecStr(7, 5)}));
  EXPECT_EQ(rowCount(L"管道支架", L"S4", &count), 1);
  EXPECT_EQ(count, L"1");
  EXPECT_NE(commandLine().find(L"S4"), std::wstring::npos);
  // A number no support carries still gets its row.
  EXPECT_EQ(rowCount(L"管道支架", L"S5", &count), 1);
  EXPECT_EQ(count, L"0");
}

TEST_F(Calculators, DuctAreaIsSectionPerimeterTimesLength) {
  const std::string closed = "0,0|{B},0|{B},{H}|0,{H}|0,0", open = "0,0|{B},0|{B},{H}|0,{H}";
  floorTable("送风管\tF1\tB=400\\r\\nH=300\t[001]\\r\\n类型=面积\t" + closed + "\t\t\n"
             "送风管\tF2\tB=400\\r\\nH=300\t[001]\\r\\n类型=面积\t" + open + "\t\t\n"
             "送风管\tF3\tB=400\\r\\nH=300\t[001]\\r\\n类型=面积\t\t\t\n"
             "送风管\tF4\tB=400\\r\\nH=300\t[001]\\r\\n类型=面积\t" + closed + "\t\t\n");
  run(db_, L"送风管", L"F1", L"斜管", {0, 0, 0}, {3000, 0, 0}, 0, 3000, 3000);
  riser(L"送风管", L"F1", {5000, 0, 0}, 0, 2500);
  StringArray own{L"B=600", L"H=300"};
  SetXdataLines(run(db_, L"送风管", L"F1", L"斜管", {0, 1000, 0}, {3000, 1000, 0}, 0, 3000, 3000), L"构件", own, db_);
  run(db_, L"送风管", L"F2", L"斜管", {0, 2000, 0}, {3000, 2000, 0}, 0, 3000, 3000);
  run(db_, L"送风管", L"F3", L"斜管", {0, 3000, 0}, {3000, 3000, 0}, 0, 3000, 3000);
  run(db_, L"送风管", L"F4", L"斜管", {0, 4000, 0}, {1000, 4000, 0}, 0, 3000, 3000);
  CmdZebTotalAll();
  EXPECT_EQ(results(L"送风管", L"F1"), (StringArray{PrecStr(4.2, 5), PrecStr(3.5, 5), PrecStr(5.4, 5)}));
  EXPECT_EQ(expressions(L"送风管", L"F1")[0], L"(" + P(1.4) + L"*" + P(3) + L")");
  // An outline without its closing point is closed all the same.
  EXPECT_EQ(results(L"送风管", L"F2"), (StringArray{PrecStr(4.2, 5)}));
  // A duct without a section counts with area 0, is named, and the later
  // numbers of the kind are still measured.
  std::wstring count;
  EXPECT_EQ(rowCount(L"送风管", L"F3", &count), 1);
  EXPECT_EQ(count, L"1");
  EXPECT_NE(commandLine().find(L"F3"), std::wstring::npos);
  EXPECT_EQ(results(L"送风管", L"F4"), (StringArray{PrecStr(1.4, 5)}));
}

}  // namespace
}  // namespace kivtest
