// Shared helpers of the editor tests: a clean editor per test and a quick
// way to queue input.
#pragma once

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>

#include "platform/cad/database.h"
#include "platform/editor/editor.h"

namespace edtest {

inline ed::InputToken text(const std::wstring& s) {
  ed::InputToken t;
  t.text = s;
  return t;
}
inline ed::InputToken point(double x, double y, double z = 0) {
  ed::InputToken t;
  t.kind = ed::TokenKind::Point;
  t.p1 = geom::Point3d(x, y, z);
  return t;
}
inline ed::InputToken key(ed::TokenKind k) {
  ed::InputToken t;
  t.kind = k;
  return t;
}
inline ed::InputToken pickHandle(cad::ObjectId id) {
  ed::InputToken t;
  t.kind = ed::TokenKind::Pick;
  t.text = id.handle().text();
  return t;
}
inline ed::InputToken pickAt(double x, double y) {
  ed::InputToken t;
  t.kind = ed::TokenKind::Pick;
  t.p1 = geom::Point3d(x, y, 0);
  return t;
}
inline ed::InputToken hover(double x, double y) {
  ed::InputToken t;
  t.kind = ed::TokenKind::Hover;
  t.p1 = geom::Point3d(x, y, 0);
  return t;
}
inline ed::InputToken box(ed::TokenKind k, double x1, double y1, double x2, double y2) {
  ed::InputToken t;
  t.kind = k;
  t.p1 = geom::Point3d(x1, y1, 0);
  t.p2 = geom::Point3d(x2, y2, 0);
  return t;
}

inline void feed(std::initializer_list<ed::InputToken> tokens) {
  for (const auto& t : tokens) ed::inputQueue().push(t);
}

class EditorTest : public ::testing::Test {
 protected:
  void SetUp() override { ed::resetEditor(); }
  void TearDown() override { ed::resetEditor(); }

  cad::Database& db() { return *ed::curDatabase(); }

  cad::ObjectId addLine(double x1, double y1, double x2, double y2, const wchar_t* layer = L"0") {
    auto l = std::make_unique<cad::Line>(geom::Point3d(x1, y1, 0), geom::Point3d(x2, y2, 0));
    l->setLayer(layer);
    cad::ObjectId id;
    EXPECT_EQ(db().appendToModelSpace(std::move(l), &id), cad::Status::Ok);
    return id;
  }
  cad::ObjectId addCircle(double x, double y, double r, const wchar_t* layer = L"0") {
    auto c = std::make_unique<cad::Circle>(geom::Point3d(x, y, 0), geom::Vector3d(0, 0, 1), r);
    c->setLayer(layer);
    cad::ObjectId id;
    EXPECT_EQ(db().appendToModelSpace(std::move(c), &id), cad::Status::Ok);
    return id;
  }
  void addLayer(const wchar_t* name) {
    cad::ObjectPtr<cad::LayerTable> t(db().layerTableId(), cad::OpenMode::ForWrite);
    ASSERT_TRUE(t);
    auto rec = std::make_unique<cad::LayerRecord>();
    rec->setName(name);
    ASSERT_EQ(t->add(std::move(rec)), cad::Status::Ok);
  }
};

}  // namespace edtest
