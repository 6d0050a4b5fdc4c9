// A copy of the built demo installation and project with an empty working
// drawing on the floor 1层 (whose component table gives 给水管 J1 the
// diameter 32, J2 25 and J3 20), and helpers to lay pipes, taps and other
// point components and to read back the fittings.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "module/fittings/fitting_common.h"
#include "module/layout/run_callbacks.h"
#include "module/model/component_types.h"
#include "module/model/draw_engine.h"
#include "module/model/linear_entities.h"
#include "module/model/point_blocks.h"
#include "module/model/special_data.h"
#include "module/toolkit/collect.h"
#include "module/toolkit/entities.h"
#include "module/toolkit/layers.h"
#include "module/toolkit/vocabulary.h"
#include "module/toolkit/xdata.h"
#include "platform/cad/entities.h"
#include "platform/cad/object.h"
#include "platform/editor/cmdline.h"
#include "platform/editor/input.h"
#include "platform/editor/sysvars.h"
#include "tests/module/layout/layout_fixture.h"

namespace kivtest {

using geom::Point3d;
using geom::Vector3d;

struct FittingSeen {
  cad::ObjectId id;
  std::wstring type, number;
  Point3d position;
  StringArray arms;
};

class PipeSandbox : public DemoLayoutSandbox {
 protected:
  void SetUp() override {
    DemoLayoutSandbox::SetUp();
    if (IsSkipped()) return;
    showFloor(L"1层");
    savedCreate_ = g_createGjCb;
    savedDecorate_ = g_decorateGjCb;
  }
  void TearDown() override {
    g_createGjCb = savedCreate_;
    g_decorateGjCb = savedDecorate_;
    DemoLayoutSandbox::TearDown();
  }

  static cad::ObjectId pipe(const Point3d& s, const Point3d& e, const std::wstring& number = L"J1",
                            const std::wstring& name = L"给水管", double bulge = 0) {
    cad::ObjectId id;
    const int vertical = s.toPlan().distanceTo(e.toPlan()) < 1 ? 1 : 0;
    CreateLinearGjEntity(id, name, number, s, e, bulge, vertical);
    return id;
  }
  // A point component (a reference to an empty block) at the plan point,
  // with its elevation and rotation.
  static cad::ObjectId pointGj(const std::wstring& name, const std::wstring& number, const Point3d& p,
                               double rotation = 0) {
    EnsureGjBlockDef(name, L"sys$" + name + L"$" + number, 0);
    cad::ObjectId id = InsertBlockRef(L"sys$" + name + L"$" + number, Point3d(p.x, p.y, 0), rotation,
                                      cad::Scale3d{}, Vector3d(0, 0, 1), name, nullptr);
    const double z = p.z;
    SetPointGjSpecial(&number, id, &z, nullptr);
    return id;
  }

  static std::vector<FittingSeen> fittings(const std::wstring& word = L"管道") {
    std::vector<FittingSeen> out;
    cad::ObjectIdArray ids;
    CollectIdsByLayerAndNumber(CategoryTypeList(word + L"配件"), L"", ids, nullptr);
    for (cad::ObjectId id : ids) {
      FittingSeen f;
      f.id = id;
      {
        cad::ObjectPtr<cad::BlockReference> ref(id, cad::OpenMode::ForRead);
        if (!ref) continue;
        f.position = ref->position();
        f.type = ref->layer();
      }
      StringArray attrs;
      GetGjNumberAndAttrs(id, f.number, attrs);
      GetXdataLines(id, kXdataFittingArms, f.arms);
      out.push_back(std::move(f));
    }
    return out;
  }
  static const FittingSeen* fittingAt(const std::vector<FittingSeen>& all, const Point3d& p) {
    for (const FittingSeen& f : all)
      if (f.position.distanceTo(p) < 1e-6) return &f;
    return nullptr;
  }
  // The result points into the list: a temporary list would leave it dangling.
  static const FittingSeen* fittingAt(std::vector<FittingSeen>&&, const Point3d&) = delete;
  static StringArray links(cad::ObjectId id) {
    StringArray lines;
    GetXdataLines(id, kXdataFittingLinks, lines);
    return lines;
  }
  static std::size_t countOn(const std::wstring& layers) {
    cad::ObjectIdArray ids;
    CollectIdsByLayerAndNumber(layers, L"", ids, nullptr);
    return ids.size();
  }
  static std::wstring transcript() { return ed::transcript(); }

  static void pickAt(const Point3d& p) { push(ed::TokenKind::Pick, p); }
  static void enter() { push(ed::TokenKind::Enter); }
  static void escape() { push(ed::TokenKind::Escape); }

 private:
  CreateGjCb savedCreate_ = nullptr;
  DecorateGjCb savedDecorate_ = nullptr;
};

}  // namespace kivtest
