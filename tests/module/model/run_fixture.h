// A sandbox for the linear-run engines: recording create/decorate callbacks
// (a line per segment, an edge line per decoration) and input helpers.
#pragma once

#include <gtest/gtest.h>

#include "module/model/draw_engine.h"
#include "module/toolkit/window_lib.h"
#include "module/toolkit/entities.h"
#include "platform/cad/entities.h"
#include "platform/cad/object.h"
#include "platform/editor/cmdline.h"
#include "platform/editor/document.h"
#include "platform/editor/input.h"
#include "platform/editor/status.h"
#include "platform/editor/sysvars.h"
#include "tests/module/shell/project_fixture.h"

namespace runtest {

using geom::Point3d;
using ed::TokenKind;

struct Made {
  std::wstring name, number;
  Point3d start, end;
  double bulge;
  int vertical;
  cad::ObjectId id;
};

inline std::vector<Made>& made() {
  static std::vector<Made> m;
  return m;
}

inline cad::ObjectId RecordCreate(const std::wstring& name, const std::wstring& number, const Point3d& s,
                                  const Point3d& e, double bulge, int vertical) {
  auto* line = new cad::Line(s, e);
  cad::ObjectId id = AppendToModelSpace(line, name, nullptr);
  if (!id.isNull()) line->close();
  made().push_back({name, number, s, e, bulge, vertical, id});
  return id;
}

inline void RecordDecorate(const std::wstring& name, cad::ObjectId id) {
  if (id.isNull()) return;
  auto* edge = new cad::Line(Point3d(0, 0), Point3d(1, 1));
  if (!AppendToModelSpace(edge, name + L"边线", nullptr).isNull()) edge->close();
}

class RunSandbox : public kivtest::ProjectSandbox {
 protected:
  void SetUp() override {
    ProjectSandbox::SetUp();
    if (IsSkipped()) return;
    auto set = os::findFunction<KivPelk_SetCombo_W_fn>(g_hostWindowLib, "KivPelk_SetCombo_W");
    ASSERT_NE(set, nullptr);
    set(L"构件", L"给水管");
    set(L"编号", L"JL-1");
    made().clear();
    ForgetLayWindowElevations();
    g_createGjCb = &RecordCreate;
    g_decorateGjCb = &RecordDecorate;
  }
  void TearDown() override {
    g_createGjCb = nullptr;
    g_decorateGjCb = nullptr;
    ProjectSandbox::TearDown();
  }
  cad::Database& db() { return *ed::curDatabase(); }
  // The user types elevations into the open lay window.
  void typeElevations(double start, double end) {
    auto setPalette = os::findFunction<KivPelk_SetPalette_fn>(g_hostWindowLib, "KivPelk_SetPalette");
    ASSERT_NE(setPalette, nullptr);
    setPalette(start, end, 0, 2);
  }
  // Live entities of model space on a layer.
  int count(const std::wstring& layer) {
    int n = 0;
    for (cad::ObjectId id : db().modelSpaceEntities()) {
      cad::ObjectPtr<cad::Entity> e(id, cad::OpenMode::ForRead);
      if (e && e->layer() == layer) ++n;
    }
    return n;
  }
  int openTransactions() { return ed::curDoc()->transactionManager()->numActiveTransactions(); }
};

}  // namespace runtest
