// A drawing for the pipe-network passes: design lines and texts on source
// layers, pipe runs made by the entity creation, fixtures as point
// components, and readers of what the passes left.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "module/conversion/conv_base.h"
#include "module/conversion/conversion_dialogs.h"
#include "module/conversion/network_passes.h"
#include "module/model/linear_entities.h"
#include "module/model/special_data.h"
#include "module/toolkit/entities.h"
#include "module/toolkit/layers.h"
#include "module/toolkit/vocabulary.h"
#include "module/toolkit/xdata.h"
#include "platform/cad/database.h"
#include "platform/cad/entities.h"
#include "platform/cad/tables.h"
#include "platform/editor/cmdline.h"
#include "platform/editor/document.h"
#include "platform/editor/editor.h"
#include "platform/editor/input.h"
#include "platform/editor/winmsg.h"
#include "platform/ui/ui.h"
#include "tests/module/shell/project_fixture.h"

namespace convtest {

using geom::Point3d;

// The suite's libraries are bound to an empty sandbox project, so that the
// table readers the dialogs call find their tables (or none).
class NetworkDrawing : public kivtest::ProjectSandbox {
 protected:
  void SetUp() override {
    ProjectSandbox::SetUp();
    if (IsSkipped()) return;
    freshDrawing();
  }
  // An empty drawing in place of the current one.
  void freshDrawing() {
    ed::resetEditor();
    db_ = ed::docManager().curDocument()->database();
    BuildGjCategoryTable();
  }

  cad::Database* db() { return db_; }

  cad::ObjectId line(const std::wstring& layer, Point3d a, Point3d b) { return AddLine(a, b, layer, db_); }
  cad::ObjectId polyline(const std::wstring& layer, const PointList& pts, bool closed = false) {
    return AddPolyline(pts, {}, closed, kDefaultWidth, layer, db_);
  }
  cad::ObjectId circle(const std::wstring& layer, Point3d c, double r) {
    auto* e = new cad::Circle(c, geom::Vector3d(0, 0, 1), r);
    cad::ObjectId id = AppendToModelSpace(e, layer, db_);
    if (!id.isNull()) e->close();
    return id;
  }
  cad::ObjectId text(const std::wstring& s, Point3d at, double rotation = 0, const std::wstring& layer = L"ZEB_文字") {
    return AddText(at, s, 250, rotation, 1.0, layer, db_, 0, 0);
  }
  // A pipe component of the drawing.
  GjSegment run(const std::wstring& name, const std::wstring& number, Point3d a, Point3d b) {
    cad::ObjectId id;
    CreateLinearGjEntity(id, name, number, a, b, 0.0, std::hypot(b.x - a.x, b.y - a.y) < 1 ? 1 : 0);
    EXPECT_FALSE(id.isNull());
    return GjSegment(id, a, b, name, number);
  }
  // A block definition holding one square of the given half side (kept when
  // the name exists).
  void squareBlock(const std::wstring& name, double half) {
    cad::ObjectPtr<cad::BlockTable> table(db_->blockTableId(), cad::OpenMode::ForWrite);
    if (table->has(name)) return;
    auto rec = std::make_unique<cad::BlockRecord>();
    rec->setName(name);
    cad::ObjectId recId;
    table->add(std::move(rec), &recId);
    cad::ObjectPtr<cad::BlockRecord> open(recId, cad::OpenMode::ForWrite);
    open->appendEntity(
        MakePolyline({{-half, -half, 0}, {half, -half, 0}, {half, half, 0}, {-half, half, 0}}, {}, true, kDefaultWidth));
  }
  // A fixture point component: a 400 x 400 square block on the type's layer.
  cad::ObjectId fixture(const std::wstring& type, Point3d at, double elevation) {
    const std::wstring block = L"测试_" + type;
    squareBlock(block, 200);
    GetOrCreateLayer(type, db_);
    cad::ObjectId id = InsertBlockRef(block, at, 0, cad::Scale3d{}, geom::Vector3d(0, 0, 1), type, db_);
    const std::wstring number = L"F1";
    SetPointGjSpecial(&number, id, &elevation, nullptr);
    return id;
  }

  static double planLength(const GjSegment& s) { return std::hypot(s.end.x - s.start.x, s.end.y - s.start.y); }
  static std::wstring numberOf(cad::ObjectId id) {
    std::wstring n;
    StringArray attrs;
    GetGjNumberAndAttrs(id, n, attrs);
    return n;
  }
  static StringArray attrsOf(cad::ObjectId id) {
    std::wstring n;
    StringArray attrs;
    GetGjNumberAndAttrs(id, n, attrs);
    return attrs;
  }
  // The live runs of the drawing on a layer, as segments.
  GjSegmentArray runsOn(const std::wstring& layer) {
    PipeNetwork net;
    CollectLinearComponents(net, {layer});
    return net.allSegments;
  }

  cad::Database* db_ = nullptr;
};

// The same with the window layer, for the conversion dialogs; every dialog
// is destroyed and the input and key state cleared after each test.
class DialogDrawing : public NetworkDrawing {
 protected:
  void SetUp() override {
    NetworkDrawing::SetUp();
    if (IsSkipped()) return;
    ui::init();
  }
  // Scripted answers and inputs for the dialogs and prompts.
  static void answer(const std::wstring& directive, std::vector<std::wstring> args) {
    ed::InputToken t;
    t.kind = ed::TokenKind::Directive;
    t.text = directive;
    t.args = std::move(args);
    ed::inputQueue().push(t);
  }
  static void push(ed::TokenKind kind, Point3d p1 = {}, Point3d p2 = {}) {
    ed::InputToken t;
    t.kind = kind;
    t.p1 = p1;
    t.p2 = p2;
    ed::inputQueue().push(t);
  }
  // Saves an area of the given entities and opens a dialog of the kind.
  template <class T>
  T* open(T*& global, void (*show)(), const cad::ObjectIdArray& area) {
    ConvAreaObject()->areaIds = area;
    ConvAreaObject()->saved = 1;
    show();
    EXPECT_NE(global, nullptr);
    return global;
  }
  void TearDown() override {
    DestroyFloorConvDialogs();
    ed::inputQueue().clear();
    ed::resetKeyState();
    NetworkDrawing::TearDown();
  }
};

}  // namespace convtest
