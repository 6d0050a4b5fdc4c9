// A copy of the demo project for the duct fitting commands: supply ducts
// (送风管) of the first floor laid at given points and elevations, the
// fitting combos set, picks scripted by handle, and readers of what the
// commands leave: duct pieces, fittings, their figures and records, and a
// snapshot of the drawing to tell "nothing changed".
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "module/fittings/duct_fitting_geom.h"
#include "module/fittings/fittings_commands.h"
#include "module/layout/run_callbacks.h"
#include "module/model/current_gj.h"
#include "module/model/special_data.h"
#include "module/toolkit/bulge.h"
#include "module/toolkit/collect.h"
#include "module/toolkit/layers.h"
#include "module/toolkit/xdata.h"
#include "platform/cad/entities.h"
#include "platform/cad/object.h"
#include "platform/cad/tables.h"
#include "platform/editor/cmdline.h"
#include "platform/editor/document.h"
#include "platform/ui/dialog.h"
#include "tests/module/layout/layout_fixture.h"

namespace ductfit {

using geom::Point3d;
using geom::Vector3d;

constexpr const wchar_t* kDuct = L"送风管";
constexpr const wchar_t* kAllLayers =
    L"送风管,送风管边线,送风管名,回风管,回风管边线,回风管名,弯头,弯头边线,弯头名,三通,三通边线,三通名,四通,四通边线,"
    L"四通名,大小头,大小头边线,大小头名,来回弯,来回弯边线,来回弯名";

// One duct piece as left in the drawing.
struct Piece {
  cad::ObjectId id;
  std::wstring layer, number, kind;
  Point3d s, e;  // plan vertices
  double startElev = 0, endElev = 0;
};

class DuctFittingTest : public kivtest::DemoLayoutSandbox {
 protected:
  void SetUp() override {
    DemoLayoutSandbox::SetUp();
    if (IsSkipped()) return;
    // Duct numbers of the sizes the cases need, after the supply duct rows.
    addDuctNumber("SF800", 800, 320);
    addDuctNumber("SF500", 500, 320);
    showFloor(L"1层");
    g_curLineGj = CurrentGj{};
    g_curPointGj = CurrentGj{};
  }
  void TearDown() override {
    g_curLineGj = CurrentGj{};
    g_curPointGj = CurrentGj{};
    DemoLayoutSandbox::TearDown();
  }

  void addDuctNumber(const std::string& number, int b, int h) {
    addRow("送风管", number, "风管", "'B=" + std::to_string(b) + "'||char(13)||char(10)||'H=" + std::to_string(h) + "'");
  }
  // A row after the name's rows; params is an SQL text expression.
  void addRow(const std::string& name, const std::string& number, const std::string& category,
              const std::string& params) {
    const std::string last = "(SELECT max(_ord) FROM records WHERE 构件名称='" + name + "')";
    const std::string out = sql(project() / u8"1层.DB",
                                "UPDATE records SET _ord=-_ord-1 WHERE _ord>" + last +
                                    ";UPDATE records SET _ord=-_ord WHERE _ord<0;"
                                    "INSERT INTO records(_ord,构件名称,编号,构件分类,参数) VALUES(" + last + "+1,'" +
                                    name + "','" + number + "','" + category + "'," + params + ");");
    ASSERT_TRUE(out.empty()) << out;
  }

  // A horizontal duct (or, vertical, a riser from s.z to e.z) with its
  // decorations, as the layout commands leave it.
  cad::ObjectId lay(const std::wstring& number, const Point3d& s, const Point3d& e, bool vertical = false,
                    const std::wstring& name = kDuct) {
    combo(L"构件", name);
    combo(L"编号", number);
    LoadGjDefineByName(name, true);
    const cad::ObjectId id = CreateDuctGj(name, number, s, e, 0, vertical ? 1 : 0);
    EXPECT_FALSE(id.isNull());
    DecorateDuctGj(name, id);
    return id;
  }
  // The fitting type and number the command will read.
  void fitting(const std::wstring& type, const std::wstring& number) {
    combo(L"构件", type);
    combo(L"编号", number);
  }
  void run(void (*command)()) {
    mark_ = ed::transcriptMark();
    alertsBefore_ = ed::alerts().size();
    boxesBefore_ = ui::messageBoxLog().size();
    command();
  }
  std::wstring printed() const { return ed::transcriptSince(mark_); }
  std::wstring alerted() const {
    std::wstring out;
    for (size_t i = alertsBefore_; i < ed::alerts().size(); ++i) out += ed::alerts()[i] + L"|";
    for (size_t i = boxesBefore_; i < ui::messageBoxLog().size(); ++i) out += ui::messageBoxLog()[i].text + L"|";
    return out;
  }

  static std::vector<cad::ObjectId> onLayer(const std::wstring& layer) {
    cad::ObjectIdArray ids;
    CollectIdsByLayerAndNumber(layer, L"", ids, nullptr);
    return ids;
  }
  // The primary duct entities of a layer.
  static std::vector<Piece> pieces(const std::wstring& layer = kDuct) {
    std::vector<Piece> out;
    cad::ObjectIdArray primaries;
    FilterPrimaryGjIds(primaries, onLayer(layer));
    for (cad::ObjectId id : primaries) {
      Piece p;
      p.id = id;
      GetEntityLayer(id, p.layer);
      StringArray attrs;
      GetGjNumberAndAttrs(id, p.number, attrs);
      GetGjSpecial(id, &p.kind, &p.startElev, &p.endElev);
      PointList pts;
      BulgeList bulges;
      GetEntityVertices(id, pts, bulges);
      if (!pts.empty()) {
        p.s = pts.front();
        p.e = pts.back();
      }
      out.push_back(p);
    }
    return out;
  }
  // The piece with an end at the point (either end, within 0.01 in plan).
  static const Piece* pieceEndingAt(const std::vector<Piece>& all, const Point3d& at) {
    for (const Piece& p : all)
      if (near(p.s, at) || near(p.e, at)) return &p;
    return nullptr;
  }
  // The result points into the list: a temporary list would leave it dangling.
  static const Piece* pieceEndingAt(std::vector<Piece>&&, const Point3d&) = delete;
  static bool near(const Point3d& a, const Point3d& b, double tol = 0.01) {
    return std::fabs(a.x - b.x) < tol && std::fabs(a.y - b.y) < tol;
  }
  static bool sameSegment(const Piece& p, const Point3d& a, const Point3d& b) {
    return (near(p.s, a) && near(p.e, b)) || (near(p.s, b) && near(p.e, a));
  }

  // The fittings (block references) on a fitting layer.
  static std::vector<cad::ObjectId> fittings(const std::wstring& type) { return onLayer(type); }
  static Point3d positionOf(cad::ObjectId id) {
    cad::ObjectPtr<cad::BlockReference> ref(id, cad::OpenMode::ForRead);
    return ref ? ref->position() : Point3d(1e9, 1e9, 1e9);
  }
  static cad::ValueChain record(const std::wstring& key, cad::ObjectId id) {
    cad::ValueChain chain;
    ReadDuctFittingGeom(key, id, chain);
    return chain;
  }

  // Everything a command could change: each entity of the duct and fitting
  // layers with its vertices and highlight, the block names of the fittings,
  // and the current layer.
  static std::wstring snapshot() {
    std::wstring out;
    for (cad::ObjectId id : onLayer(kAllLayers)) {
      cad::ObjectPtr<cad::Entity> ent(id, cad::OpenMode::ForRead);
      out += id.handle().text() + L":" + ent->layer() + (ent->isHighlighted() ? L"*" : L"");
      PointList pts;
      BulgeList bulges;
      GetEntityVerticesOpen(ent.get(), pts, bulges);
      for (const Point3d& p : pts) out += L"(" + std::to_wstring(p.x) + L"," + std::to_wstring(p.y) + L")";
      out += L";";
    }
    cad::Database* db = ed::curDatabase();
    for (const wchar_t* block : {L"WT1", L"ST1", L"FT1", L"DX1", L"LH1"})
      if (!db->blockId(block).isNull()) out += std::wstring(L"block ") + block + L";";
    cad::ObjectPtr<cad::LayerRecord> layer(db->clayer(), cad::OpenMode::ForRead);
    out += L"clayer " + (layer ? layer->name() : std::wstring(L"?"));
    return out;
  }

  size_t mark_ = 0, alertsBefore_ = 0, boxesBefore_ = 0;
};

inline Point3d pointItem(const cad::ValueChain& chain, size_t i) { return chain.at(i).point(); }
inline double realItem(const cad::ValueChain& chain, size_t i) { return chain.at(i).real(); }

}  // namespace ductfit
