// A fresh drawing with helpers that place pipe runs, risers and fittings
// carrying component data, and read back the twins the builders make.
#pragma once

#include <gtest/gtest.h>

#include "module/model/special_data.h"
#include "module/solid3d/twins.h"
#include "module/toolkit/entities.h"
#include "module/toolkit/layers.h"
#include "module/toolkit/xdata.h"
#include "platform/cad/body3d.h"
#include "platform/cad/tables.h"
#include "tests/module/toolkit/drawing_fixture.h"

namespace s3dtest {

using geom::Point3d;
using geom::Vector3d;

class SolidDrawingTest : public tktest::DrawingTest {
 protected:
  // A primary component: number and attribute lines [own handle, 主键].
  void primary(cad::ObjectId id, const std::wstring& number) { stamp(id, number, {GetHandleText(id), L"主键"}); }

  cad::ObjectId blockRef(const Point3d& at, const std::wstring& layer, double rotation = 0, double scale = 1) {
    if (db().blockId(L"M").isNull()) {
      cad::ObjectPtr<cad::BlockTable> t(db().blockTableId(), cad::OpenMode::ForWrite);
      auto rec = std::make_unique<cad::BlockRecord>();
      rec->setName(L"M");
      EXPECT_EQ(t->add(std::move(rec)), cad::Status::Ok);
    }
    if (db().layerId(layer).isNull()) addLayer(layer);
    return InsertBlockRef(L"M", at, rotation, cad::Scale3d{scale, scale, scale}, Vector3d(0, 0, 1), layer, nullptr);
  }

  // A pipe fitting at a point with its arm rows.
  cad::ObjectId fitting(const Point3d& at, const StringArray& arms, const std::wstring& layer = L"管道弯头") {
    cad::ObjectId id = blockRef(at, layer);
    primary(id, L"F");
    StringArray rows = arms;
    EXPECT_TRUE(SetXdataLines(id, L"图形参数", rows, nullptr));
    return id;
  }

  // A straight run on a layer, with its special data.
  cad::ObjectId run(const Point3d& a, const Point3d& b, double z1, double z2, const std::wstring& number = L"J1",
                    const std::wstring& layer = L"给水管", double bulge = 0) {
    if (db().layerId(layer).isNull()) addLayer(layer);
    cad::ObjectId id = AddPolyline({a, b}, {bulge, 0}, false, 0, layer, nullptr);
    primary(id, number);
    std::wstring kind = L"斜管";
    EXPECT_TRUE(SetGjSpecial(nullptr, &kind, id, &z1, &z2));
    return id;
  }

  void link(cad::ObjectId pipe, const std::vector<cad::ObjectId>& fittings) {
    StringArray handles;
    for (cad::ObjectId f : fittings) handles.push_back(GetHandleText(f));
    ASSERT_TRUE(SetXdataLines(pipe, L"管件", handles, nullptr));
  }

  // The smallest box around the one body a builder made (fails the test
  // otherwise). The entity's own extents, a quick box, may be a little larger.
  cad::Extents3d bodyExtents(const TwinList& twins, double* volume = nullptr) {
    cad::Extents3d ext;
    EXPECT_EQ(twins.size(), 1u);
    if (twins.size() != 1) return ext;
    auto* b = dynamic_cast<cad::Body3d*>(twins[0].get());
    EXPECT_NE(b, nullptr);
    if (!b) return ext;
    Point3d lo, hi;
    EXPECT_TRUE(b->body().extents(lo, hi));
    ext.add(lo);
    ext.add(hi);
    cad::Extents3d quick;
    EXPECT_EQ(b->getGeomExtents(quick), cad::Status::Ok);
    const double tol = 1e-6;
    EXPECT_TRUE(quick.minPoint.x <= lo.x + tol && quick.minPoint.y <= lo.y + tol && quick.minPoint.z <= lo.z + tol &&
                quick.maxPoint.x >= hi.x - tol && quick.maxPoint.y >= hi.y - tol && quick.maxPoint.z >= hi.z - tol)
        << "the quick box holds the body";
    if (volume) *volume = b->body().volume();
    return ext;
  }

  // Twins on a twin layer of the drawing.
  cad::ObjectIdArray twinsOn(const std::wstring& type) {
    cad::ObjectIdArray ids;
    for (cad::ObjectId id : db().modelSpaceEntities()) {
      std::wstring layer;
      GetEntityLayer(id, layer);
      if (layer == type + L"3D") ids.push_back(id);
    }
    return ids;
  }
};

}  // namespace s3dtest
