// Quantities an estimator checks by hand: a conduit measured once whatever
// its wires, regions that tile a floor adding up to it (border components and
// border runs counted once, the parts of a cut run rounded so that they add
// up to the run), the volume of an insulation layer, and a fitting priced in
// 001.DB; and a floor whose name holds "=" is refused.
#include <gtest/gtest.h>

#include <cmath>
#include <map>

#include "module/model/floor_table_writer.h"
#include "module/takeoff/takeoff_state.h"
#include "tests/module/takeoff/takeoff_fixture.h"

namespace kivtest {

// In circuit_rows_test.cpp.
cad::ObjectId PlacePointGj(cad::Database* db, const std::wstring& kind, const std::wstring& number, double x,
                           double y, double z);

namespace {

const double kPi = 3.14159265;

// The insulation volume as the demo library writes it: π·(D+δ)·δ·L in m³ as
// two products, so that a thickness of 0 drops the item.
const char* const kInsulation =
    "3.14159265*{管道外径D(mm)}*[保温厚度(mm)]*{热给水管长}/1000000"
    "+3.14159265*[保温厚度(mm)]*[保温厚度(mm)]*{热给水管长}/1000000";

const std::string kLibrary = std::string(
                                 "构件分类:ftString:50\t构件名称:ftString:50\t定额\n"
                                 "轴网\t轴网\t\n"
                                 "管道\t给水管\t定额=长度=公称管径D_0(mm)=给水管安装||030811-011=m={给水管长}\n"
                                 "管道\t热给水管\t定额=长度=公称管径D_0(mm)=热给水管安装||030811-021=m={热给水管长}"
                                 "\\r\\n定额=保温=保温厚度(mm)=热给水管保温||030811-022=m3=") +
                             kInsulation +
                             "\n"
                             "管线\t导线·导管\t定额=配线=截面(mm2)=管内穿线||030217-071=m={配线长}"
                             "\\r\\n定额=导管=导管规格(mm)=导管敷设||030217-072=m={导管长}\n"
                             "照明器具\t点状灯具\t定额=个数=构件规格=点状灯具安装||030218-011=个={个数}\n"
                             "管道配件\t管道弯头\t定额=个数=构件规格=管道弯头安装||030816-021=个={个数}\n";

std::string num(double v) { return os::toUtf8(PrecStr(v, 1)); }

const char* const kFloorFields =
    "构件名称:ftString:50\t编号:ftString:50\t参数\t定额\t坐标\t标志:ftString:20\t数量:ftInteger\n";

class HandChecked : public TakeoffProject {
 protected:
  void SetUp() override {
    TakeoffProject::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    makeTable(suiteSystem() / u8"构件库.DB", kLibrary);
    makeFloors("F1\t1\t3000\tC30\tM7.5\n", L"F1");
  }
  void floorTable(const std::string& rows) { makeTable(project() / "F1.DB", std::string(kFloorFields) + rows); }

  // The results of the quantity lines per 编号 under the floor header of a
  // quantity table, summed over its regions; with items, per item type.
  static std::map<std::wstring, double> sums(const fs::path& table, std::map<std::wstring, int>* counts = nullptr) {
    std::map<std::wstring, double> out;
    tablelib::Table t(os::windowsPath(table));
    for (tablelib::First(t); !tablelib::Eof(t); tablelib::Next(t)) {
      const std::wstring flag = tablelib::FieldAsString(t, L"标志");
      if (flag == L"楼层" || flag == L"区域") continue;
      const std::wstring number = tablelib::FieldAsString(t, L"编号");
      if (number.empty()) continue;
      for (const std::wstring& r : QuantityResults(tablelib::FieldAsString(t, L"工程量")))
        out[number] += std::wcstod(r.c_str(), nullptr);
      if (counts) (*counts)[number] += std::stoi(L"0" + tablelib::FieldAsString(t, L"数量"));
    }
    return out;
  }
  // The 001.DB rows by code: the standard quantities of the rows of a code
  // (one per parameter suffix) summed, and the first row's name.
  std::map<std::string, std::pair<double, std::string>> normRows() {
    std::map<std::string, std::pair<double, std::string>> out;
    const std::string codes = column(project() / "001.DB", "编号"), qty = column(project() / "001.DB", "标准工程量"),
                      names = column(project() / "001.DB", "名称");
    size_t a = 0, b = 0, c = 0;
    while (a < codes.size()) {
      size_t ea = codes.find('\n', a), eb = qty.find('\n', b), ec = names.find('\n', c);
      std::string code = codes.substr(a, ea - a);
      if (!code.empty()) {
        auto& row = out[code];
        row.first += std::atof(qty.substr(b, eb - b).c_str());
        if (row.second.empty()) row.second = names.substr(c, ec - c);
      }
      a = ea + 1, b = eb + 1, c = ec + 1;
    }
    return out;
  }
};

// Wire in conduit: the wires count once per conductor, the conduit once.
TEST_F(HandChecked, ConduitIsMeasuredOnceWhateverItsWires) {
  struct Case {
    const char* number;
    int wires;
  } cases[] = {{"WL1", 1}, {"WL3", 3}, {"WL4", 4}};
  std::string rows;
  for (const Case& c : cases)
    rows += std::string("导线·导管\t") + c.number + "\t导线根数=" + std::to_string(c.wires) +
            "\\r\\n导管规格(mm)=20\t[001]\\r\\n类型=配线\\r\\n编号=030217-071\\r\\n[002]\\r\\n类型=导管\\r\\n编号=030217-072\t\t\t\n";
  floorTable(rows);
  double y = 0;
  for (const Case& c : cases) run(working(), L"导线·导管", os::fromUtf8(c.number), L"斜管", {0, y, 0}, {8000, y, 0}, 0, 3000, 3000), y += 1000;
  CmdZebTotalAll();
  std::map<std::wstring, std::vector<std::wstring>> lines;
  {
    tablelib::Table t(os::windowsPath(quantityTable()));
    for (tablelib::First(t); !tablelib::Eof(t); tablelib::Next(t))
      lines[tablelib::FieldAsString(t, L"编号")] = QuantityResults(tablelib::FieldAsString(t, L"工程量"));
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(c.number);
    const auto& got = lines[os::fromUtf8(c.number)];
    ASSERT_EQ(got.size(), 2u);
    EXPECT_DOUBLE_EQ(std::wcstod(got[0].c_str(), nullptr), 8.0 * c.wires);  // 配线
    EXPECT_DOUBLE_EQ(std::wcstod(got[1].c_str(), nullptr), 8.0);            // 导管
  }
  const auto norms = normRows();
  EXPECT_DOUBLE_EQ(norms.at("030217-071").first, 8.0 * (1 + 3 + 4));
  EXPECT_DOUBLE_EQ(norms.at("030217-072").first, 8.0 * 3);
}

// Two regions tile the floor: R1 wraps around R2 (read first), so a run
// crosses from R1 into R2 and back. A run and a lamp on the shared border
// count in R1 only; a cut run counts once per region, its parts rounded so
// that the regions add up to the floor exactly.
TEST_F(HandChecked, RegionsThatTileTheFloorAddUpToIt) {
  floorTable(
      "给水管\tJ1\t\t[001]\\r\\n类型=长度\t\t\t\n"
      "给水管\tJ2\t\t[001]\\r\\n类型=长度\t\t\t\n"
      "给水管\tJ3\t\t[001]\\r\\n类型=长度\t\t\t\n"
      "点状灯具\tD1\t\t[001]\\r\\n类型=个数\t\t\t\n");
  auto region = [](const std::wstring& label, const PointList& pts) {
    GetOrCreateLayer(L"区域", working());
    auto pl = std::make_unique<cad::Polyline>();
    for (size_t i = 0; i < pts.size(); ++i) pl->addVertexAt(static_cast<unsigned>(i), geom::Point2d(pts[i].x, pts[i].y), 0);
    pl->setClosed(true);
    pl->setLayer(L"区域");
    cad::ObjectId id;
    EXPECT_EQ(working()->appendToModelSpace(std::move(pl), &id), cad::Status::Ok);
    StampGjPrimary(id, label);
  };
  region(L"R1", {{0, 0, 0}, {1000, 0, 0}, {1000, 500, 0}, {2000, 500, 0}, {2000, 0, 0}, {3000, 0, 0}, {3000, 1000, 0},
                 {0, 1000, 0}});
  region(L"R2", {{1000, 0, 0}, {2000, 0, 0}, {2000, 500, 0}, {1000, 500, 0}});
  struct Case {
    const char* what;
    const wchar_t* number;
    geom::Point3d a, b;
    double r1, r2;  // quantity in each region
    int n1, n2;     // entities counted
  } cases[] = {
      {"run on the shared border", L"J1", {1000, 0, 0}, {1000, 500, 0}, 0.5, 0, 1, 0},
      // 1001 mm cut into 500.5 and 500.5, each 0.501 if rounded on its own:
      // R1 has the rounded length up to the border, R2 the rest.
      {"run across the border", L"J2", {499.5, 250, 0}, {1500.5, 250, 0}, 0.5, 0.501, 1, 1},
      {"run from R1 through R2 back into R1", L"J3", {500, 100, 0}, {2500, 100, 0}, 1.0, 1.0, 1, 1},
  };
  for (const Case& c : cases) run(working(), L"给水管", c.number, L"斜管", c.a, c.b, 0, 3000, 3000);
  PlacePointGj(working(), L"点状灯具", L"D1", 1500, 500, 0);  // on the shared border
  PlacePointGj(working(), L"点状灯具", L"D1", 2500, 800, 0);

  CmdZebTotalCur();
  std::map<std::wstring, int> floorCounts, regionCounts;
  const auto floor = sums(quantityTable(), &floorCounts);
  CmdZebTotalArea();
  const fs::path regionTable = project() / u8"区域构件算量.DB";
  const auto regions = sums(regionTable, &regionCounts);
  for (const auto& [number, total] : floor) EXPECT_NEAR(regions.at(number), total, 1e-9) << os::toUtf8(number);
  EXPECT_EQ(regionCounts.at(L"D1"), floorCounts.at(L"D1"));

  // Per region: the rows of each number, in region order.
  std::map<std::pair<std::wstring, std::wstring>, std::pair<double, int>> byRegion;
  {
    tablelib::Table t(os::windowsPath(regionTable));
    std::wstring current;
    for (tablelib::First(t); !tablelib::Eof(t); tablelib::Next(t)) {
      if (tablelib::FieldAsString(t, L"标志") == L"区域") current = tablelib::FieldAsString(t, L"构件名称");
      const std::wstring number = tablelib::FieldAsString(t, L"编号");
      if (number.empty()) continue;
      auto& v = byRegion[{current, number}];
      for (const std::wstring& r : QuantityResults(tablelib::FieldAsString(t, L"工程量")))
        v.first += std::wcstod(r.c_str(), nullptr);
      v.second += std::stoi(L"0" + tablelib::FieldAsString(t, L"数量"));
    }
  }
  auto at = [&](const wchar_t* r, const wchar_t* number) { return byRegion[std::make_pair(std::wstring(r), std::wstring(number))]; };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_NEAR(at(L"R1", c.number).first, c.r1, 1e-9);
    EXPECT_NEAR(at(L"R2", c.number).first, c.r2, 1e-9);
    EXPECT_EQ(at(L"R1", c.number).second, c.n1);
    EXPECT_EQ(at(L"R2", c.number).second, c.n2);
  }
  EXPECT_EQ(at(L"R1", L"D1").second, 2);
  EXPECT_EQ(at(L"R2", L"D1").second, 0);
}

// Insulation: the volume of the layer, π·(D+δ)·δ·L; a thickness of 0 gives
// no norm row.
TEST_F(HandChecked, InsulationIsTheVolumeOfTheLayer) {
  struct Case {
    const char* number;
    double outer, thickness, length;  // mm, mm, m
  } cases[] = {{"RJ1", 32, 20, 12.9}, {"RJ2", 114.3, 30, 4.5}, {"RJ3", 25, 0, 3.0}};
  std::string rows;
  for (const Case& c : cases)
    rows += std::string("热给水管\t") + c.number + "\t管道外径D(mm)=" + num(c.outer) +
            "\\r\\n保温厚度(mm)=" + num(c.thickness) + ":0,20,30" +
            "\t[001]\\r\\n类型=长度\\r\\n编号=030811-021\\r\\n[002]\\r\\n类型=保温\\r\\n编号=030811-022\\r\\n单位=m3" +
            (c.thickness == 0 ? "\\r\\n名称=管道绝热 无 δ=0mm" : "") + "\t\t\t\n";
  floorTable(rows);
  double y = 0;
  for (const Case& c : cases)
    run(working(), L"热给水管", os::fromUtf8(c.number), L"斜管", {0, y, 0}, {c.length * 1000, y, 0}, 0, 2900, 2900), y += 1000;
  CmdZebTotalAll();
  std::map<std::wstring, std::vector<std::wstring>> lines;
  {
    tablelib::Table t(os::windowsPath(quantityTable()));
    for (tablelib::First(t); !tablelib::Eof(t); tablelib::Next(t))
      lines[tablelib::FieldAsString(t, L"编号")] = QuantityResults(tablelib::FieldAsString(t, L"工程量"));
  }
  double total = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.number);
    const double volume = kPi * (c.outer + c.thickness) * c.thickness * c.length / 1e6;
    const auto& got = lines[os::fromUtf8(c.number)];
    ASSERT_EQ(got.size(), 2u);
    EXPECT_NEAR(std::wcstod(got[1].c_str(), nullptr), volume, 0.000006);
    total += RoundTo(volume, 5);
  }
  const auto norms = normRows();
  EXPECT_NEAR(norms.at("030811-022").first, total, 1e-9);
  EXPECT_NEAR(total, kPi * 52 * 20 * 12.9 / 1e6 + kPi * 144.3 * 30 * 4.5 / 1e6, 0.00001);
  // The thickness-0 item has a line of 0 in its component's row, and no row of its own.
  EXPECT_EQ(column(project() / "001.DB", "名称").find("δ=0mm"), std::string::npos);
}

// A fitting row as the fitting commands write it carries its code, name and
// unit, and is priced in 001.DB.
TEST_F(HandChecked, AFittingRowIsPricedIn001) {
  StringArray library{L"定额=个数=构件规格=管道弯头安装||030816-021=个={个数}"};
  std::wstring items = BuildRuleItems(library, true, true);
  ReplaceAll(items, L"\r\n", L"\\r\\n");
  floorTable("管道弯头\t管道弯头-32*32\t公称管径D_0(mm)=32\t" + os::toUtf8(items) + "\t\t\t\n");
  for (int i = 0; i < 3; ++i) PlacePointGj(working(), L"管道弯头", L"管道弯头-32*32", 1000.0 * i, 0, 2800);
  CmdZebTotalAll();
  const auto norms = normRows();
  ASSERT_TRUE(norms.count("030816-021"));
  EXPECT_DOUBLE_EQ(norms.at("030816-021").first, 3);
  EXPECT_EQ(norms.at("030816-021").second, "管道弯头安装");
  EXPECT_EQ(column(project() / "001.DB", "单位").find("个") != std::string::npos, true);
}

TEST_F(HandChecked, AFloorNamedWithEqualsIsRefused) {
  floorTable("给水管\tJ1\t\t[001]\\r\\n类型=长度\t\t\t\n");
  makeTable(project() / u8"3=层.DB", std::string(kFloorFields) + "给水管\tJ1\t\t[001]\\r\\n类型=长度\t\t\t\n");
  makeFloors("F1\t1\t3000\tC30\tM7.5\n3=层\t1\t3000\tC30\tM7.5\n", L"F1");
  run(working(), L"给水管", L"J1", L"斜管", {0, 0, 0}, {1000, 0, 0}, 0, 3000, 3000);
  CmdZebTotalAll();
  EXPECT_NE(commandLine().find(L"楼层名称[3=层]含有\"=\""), std::wstring::npos);
  EXPECT_EQ(column(quantityTable(), "构件名称").find("3=层"), std::string::npos);
  EXPECT_NE(column(quantityTable(), "构件名称").find("■F1=1"), std::string::npos);
}

}  // namespace
}  // namespace kivtest
