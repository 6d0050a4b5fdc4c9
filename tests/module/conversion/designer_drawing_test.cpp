// What designer drawings hold, through the pipe and duct conversions: arcs
// kept as arcs and measured along them, the nearest of two neighbouring
// labels, collinear duplicates counted once, duct sections read from their
// texts, and chosen numbers left to their rows' definitions.
#include <cmath>
#include <functional>
#include <map>
#include <numbers>

#include "module/conversion/conversion_dialogs.h"
#include "module/conversion/linear_conv.h"
#include "module/toolkit/bulge.h"
#include "platform/editor/cmdline.h"
#include "tests/module/conversion/network_fixture.h"

namespace {

using geom::Point3d;
constexpr double kPi = std::numbers::pi;

class DesignerDrawing;

// One row of a pipe conversion: the source entities, the row's name and
// number.
struct PipeRow {
  cad::ObjectIdArray ids;
  std::wstring layer, name, number;
};

struct PipeCase {
  const char* what;
  std::function<std::vector<PipeRow>(DesignerDrawing&)> draw;
  // Length per "name number", the count of runs, and the diameter line per
  // "name number" ("" = none).
  std::map<std::wstring, double> lengths;
  std::size_t runs;
  std::map<std::wstring, std::wstring> diameters;
};

class DesignerDrawing : public convtest::DialogDrawing {
 public:
  void runPipeCase(const PipeCase& c);

  cad::ObjectId lineOn(const std::wstring& layer, Point3d a, Point3d b) { return line(layer, a, b); }
  // A label text of height 50 whose box centre lies at the point.
  cad::ObjectId label(const std::wstring& s, Point3d centre) {
    return AddText({centre.x, centre.y - 25, 0}, s, 50, 0, 1.0, L"ZEB_文字", db_);
  }
  cad::ObjectId bulged(const std::wstring& layer, const PointList& pts, const BulgeList& bulges) {
    return AddPolyline(pts, bulges, false, kDefaultWidth, layer, db_);
  }
  cad::ObjectId arc(const std::wstring& layer, Point3d centre, double r, double a0, double a1) {
    auto* e = new cad::Arc(centre, r, a0, a1);
    cad::ObjectId id = AppendToModelSpace(e, layer, db_);
    if (!id.isNull()) e->close();
    return id;
  }
  // The length of a run along its arc (a riser: 0).
  static double runLength(cad::ObjectId id) {
    cad::ObjectPtr<cad::Polyline> pl(id, cad::OpenMode::ForRead);
    if (!pl || pl->numVerts() < 2) return 0;
    return GetSegmentLength(pl->pointAt(0), pl->pointAt(1), pl->bulgeAt(0));
  }
  static double bulgeOf(cad::ObjectId id) {
    cad::ObjectPtr<cad::Polyline> pl(id, cad::OpenMode::ForRead);
    return pl ? pl->bulgeAt(0) : 0.0;
  }
  // The last attribute line of a run when it is a size line, else "".
  static std::wstring sizeLine(cad::ObjectId id, const std::wstring& key) {
    const StringArray attrs = attrsOf(id);
    for (const auto& a : attrs)
      if (a.rfind(key + L"=", 0) == 0) return a;
    return L"";
  }
};

void DesignerDrawing::runPipeCase(const PipeCase& c) {
  SCOPED_TRACE(c.what);
  const std::vector<PipeRow> rows = c.draw(*this);
  cad::ObjectIdArray area = db_->modelSpaceEntities();
  CPipeConv* dlg = open(g_pipeConvDlg, &ShowPipeConv, area);
  for (const PipeRow& r : rows) {
    dlg->gjName = r.name;
    dlg->gjNumber = r.number;
    dlg->startElev = dlg->endElev = 2800;
    dlg->UpdateData(false);
    dlg->AddRow(r.ids, r.layer, L"256");
    const int at = dlg->rowList.GetItemCount() - 1;
    dlg->rowList.SetItemText(at, linear_ids::kColName, r.name);
    dlg->rowList.SetItemText(at, linear_ids::kColNumber, r.number);
  }
  dlg->OnConvert();
  std::map<std::wstring, double> lengths;
  std::size_t runs = 0;
  std::map<std::wstring, std::wstring> diameters;
  for (const wchar_t* name : {L"给水管", L"污水管"})
    for (const GjSegment& s : runsOn(name)) {
      ++runs;
      const std::wstring key = s.name + L" " + s.number;
      lengths[key] += runLength(s.id);
      diameters[key] = sizeLine(s.id, L"公称管径D_0(mm)");
    }
  EXPECT_EQ(runs, c.runs);
  ASSERT_EQ(lengths.size(), c.lengths.size());
  for (const auto& [key, want] : c.lengths) EXPECT_NEAR(lengths[key], want, 0.01) << key;
  for (const auto& [key, want] : c.diameters) EXPECT_EQ(diameters[key], want) << key;
}

TEST_F(DesignerDrawing, PipeDrawingsBecomeTheirQuantities) {
  const PipeCase cases[] = {
      {"a polyline with a semicircle: the arc stays an arc, labelled through the straight piece it continues",
       [](DesignerDrawing& d) {
         const cad::ObjectId pl =
             d.bulged(L"ZEB_给水", {{0, 0, 0}, {4000, 0, 0}, {8000, 0, 0}}, {0.0, 1.0, 0.0});
         d.label(L"DN25", {2000, 120, 0});
         return std::vector<PipeRow>{{{pl}, L"ZEB_给水", L"给水管", kAutoNumber}};
       },
       {{L"给水管 DN25", 4000 + 2000 * kPi}},
       2,
       {{L"给水管 DN25", L"公称管径D_0(mm)=25"}}},
      {"an ARC entity: one arc run measured along the arc, labelled beside it",
       [](DesignerDrawing& d) {
         const cad::ObjectId a = d.arc(L"ZEB_给水", {0, 0, 0}, 1000, 0, kPi / 2);
         d.label(L"DN20", {150, 1100, 0});
         return std::vector<PipeRow>{{{a}, L"ZEB_给水", L"给水管", kAutoNumber}};
       },
       {{L"给水管 DN20", 1000 * kPi / 2}},
       1,
       {{L"给水管 DN20", L"公称管径D_0(mm)=20"}}},
      {"two neighbouring labels: each pipe takes the nearer one, whatever its kind",
       [](DesignerDrawing& d) {
         const cad::ObjectId supply = d.lineOn(L"ZEB_给水", {0, 200, 0}, {4000, 200, 0});
         const cad::ObjectId drain = d.lineOn(L"ZEB_污水", {0, 0, 0}, {4000, 0, 0});
         d.label(L"DN25", {1000, 125, 0});  // 75 from the supply, 125 from the drainage
         d.label(L"de110", {1000, -105, 0});
         return std::vector<PipeRow>{{{supply}, L"ZEB_给水", L"给水管", kAutoNumber},
                                     {{drain}, L"ZEB_污水", L"污水管", kAutoNumber}};
       },
       {{L"给水管 DN25", 4000}, {L"污水管 de110", 4000}},
       2,
       {{L"给水管 DN25", L"公称管径D_0(mm)=25"}, {L"污水管 de110", L"公称管径D_0(mm)=110"}}},
      {"two overlapping collinear lines: one run, the overlap counted once, the label of either",
       [](DesignerDrawing& d) {
         const cad::ObjectId a = d.lineOn(L"ZEB_给水", {0, 0, 0}, {4000, 0, 0});
         const cad::ObjectId b = d.lineOn(L"ZEB_给水", {2000, 0, 0}, {6000, 0, 0});
         d.label(L"DN25", {1000, 120, 0});
         return std::vector<PipeRow>{{{a, b}, L"ZEB_给水", L"给水管", kAutoNumber}};
       },
       {{L"给水管 DN25", 6000}},
       1,
       {{L"给水管 DN25", L"公称管径D_0(mm)=25"}}},
      {"a chosen number beside a label: the number stays and no size line is written",
       [](DesignerDrawing& d) {
         const cad::ObjectId a = d.lineOn(L"ZEB_给水", {0, 0, 0}, {3000, 0, 0});
         d.label(L"DN25", {1000, 120, 0});
         return std::vector<PipeRow>{{{a}, L"ZEB_给水", L"给水管", L"J1"}};
       },
       {{L"给水管 J1", 3000}},
       1,
       {{L"给水管 J1", L""}}},
  };
  for (const PipeCase& c : cases) {
    freshDrawing();
    DestroyFloorConvDialogs();
    runPipeCase(c);
  }
  // The arc of the first case keeps its bulge (checked on its own drawing).
  freshDrawing();
  DestroyFloorConvDialogs();
  const cad::ObjectId a = arc(L"ZEB_给水", {0, 0, 0}, 1000, 0, kPi);
  CPipeConv* dlg = open(g_pipeConvDlg, &ShowPipeConv, {a});
  dlg->AddRow({a}, L"ZEB_给水", L"256");
  dlg->rowList.SetItemText(0, linear_ids::kColName, L"给水管");
  dlg->rowList.SetItemText(0, linear_ids::kColNumber, kAutoNumber);
  dlg->OnConvert();
  const GjSegmentArray runs = runsOn(L"给水管");
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_NEAR(bulgeOf(runs[0].id), 1.0, 1e-9);
  EXPECT_NEAR(runLength(runs[0].id), 1000 * kPi, 0.01);
}

TEST_F(DesignerDrawing, ArcsAreNeitherCutNorCutAtTheirChords) {
  // A straight run crossing the chord of a semicircle (not the arc itself)
  // stays whole, and so does the arc.
  const cad::ObjectId semicircle = bulged(L"ZEB_给水", {{0, 0, 0}, {4000, 0, 0}}, {-1.0, 0.0});
  const cad::ObjectId across = line(L"ZEB_给水", {2000, 1000, 0}, {2000, -500, 0});
  CPipeConv* dlg = open(g_pipeConvDlg, &ShowPipeConv, {semicircle, across});
  dlg->AddRow({semicircle, across}, L"ZEB_给水", L"256");
  dlg->rowList.SetItemText(0, linear_ids::kColName, L"给水管");
  dlg->rowList.SetItemText(0, linear_ids::kColNumber, L"J1");
  dlg->OnConvert();
  const GjSegmentArray runs = runsOn(L"给水管");
  ASSERT_EQ(runs.size(), 2u);
  double total = 0;
  for (const GjSegment& s : runs) total += runLength(s.id);
  EXPECT_NEAR(total, 2000 * kPi + 1500, 0.01);
}

struct DuctCase {
  const wchar_t* text;  // the text beside the duct ("" = none)
  const wchar_t* number;
  const wchar_t* chosen;  // the row's number
  std::wstring b, h;      // the size lines ("" = none)
};

TEST_F(DesignerDrawing, DuctsTakeTheirSectionFromTheNearestSectionText) {
  const DuctCase cases[] = {
      {L"800x400", L"800x400", kAutoNumber, L"B=800", L"H=400"},
      {L"800×400", L"800×400", kAutoNumber, L"B=800", L"H=400"},
      {L"800X400", L"800X400", kAutoNumber, L"B=800", L"H=400"},
      {L"630*320 h=2.8m", L"630*320", kAutoNumber, L"B=630", L"H=320"},
      {L"Φ400", L"Φ400", kAutoNumber, L"B=400", L"H=400"},
      {L"D250", L"D250", kAutoNumber, L"B=250", L"H=250"},
      {L"DN150", L"送风管", kAutoNumber, L"", L""},  // a pipe label is no section
      {L"", L"送风管", kAutoNumber, L"", L""},
      {L"800x400", L"SF1", L"SF1", L"", L""},  // a chosen number keeps its row's size
  };
  for (const DuctCase& c : cases) {
    SCOPED_TRACE(c.text);
    freshDrawing();
    DestroyFloorConvDialogs();
    const cad::ObjectId duct = line(L"ZEB_风管", {0, 0, 0}, {4000, 0, 0});
    const std::wstring text = c.text;
    if (!text.empty()) label(text, {1500, 200, 0});
    CAirDuctConv* dlg = open(g_airDuctConvDlg, &ShowAirDuctConv, {duct});
    dlg->AddRow({duct}, L"ZEB_风管", L"256");
    dlg->rowList.SetItemText(0, linear_ids::kColName, L"送风管");
    dlg->rowList.SetItemText(0, linear_ids::kColNumber, c.chosen);
    const std::size_t mark = ed::transcriptMark();
    dlg->OnConvert();
    const GjSegmentArray ducts = runsOn(L"送风管");
    ASSERT_EQ(ducts.size(), 1u);
    EXPECT_EQ(ducts[0].number, c.number);
    EXPECT_EQ(sizeLine(ducts[0].id, L"B"), c.b);
    EXPECT_EQ(sizeLine(ducts[0].id, L"H"), c.h);
    const bool unsized = std::wstring(c.chosen) == kAutoNumber && c.b.empty();
    EXPECT_EQ(ed::transcriptSince(mark).find(L"没有可读的截面标注") != std::wstring::npos, unsized);
  }
}

}  // namespace
