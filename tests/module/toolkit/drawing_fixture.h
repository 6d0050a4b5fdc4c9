// A fresh editor and drawing per test, with helpers that add entities,
// layers and component data, and feed scripted input.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "module/toolkit/strings.h"
#include "module/toolkit/xdata.h"
#include "platform/cad/database.h"
#include "platform/editor/editor.h"

namespace tktest {

class DrawingTest : public ::testing::Test {
 protected:
  // The drawing of a fresh current document is the working database.
  void SetUp() override {
    ed::resetEditor();
    cad::Database* current = ed::curDatabase();
    ASSERT_EQ(current, cad::workingDatabase());
  }
  void TearDown() override {
    EXPECT_EQ(db().numOpenObjects(), 0u) << "an object was left open";
    ed::resetEditor();
  }

  cad::Database& db() { return *ed::curDatabase(); }

  cad::ObjectId append(std::unique_ptr<cad::Entity> e, const std::wstring& layer = L"0",
                       cad::ObjectId owner = {}) {
    if (!layer.empty() && db().layerId(layer).isNull()) addLayer(layer);
    e->setLayer(layer);
    cad::ObjectId id;
    cad::ObjectPtr<cad::BlockRecord> space(owner.isNull() ? db().modelSpaceId() : owner,
                                           cad::OpenMode::ForWrite);
    EXPECT_EQ(space->appendEntity(std::move(e), &id), cad::Status::Ok);
    return id;
  }
  cad::ObjectId line(double x1, double y1, double x2, double y2, const std::wstring& layer = L"0") {
    return append(std::make_unique<cad::Line>(geom::Point3d(x1, y1), geom::Point3d(x2, y2)), layer);
  }
  void addLayer(const std::wstring& name) {
    cad::ObjectPtr<cad::LayerTable> t(db().layerTableId(), cad::OpenMode::ForWrite);
    auto rec = std::make_unique<cad::LayerRecord>();
    rec->setName(name);
    ASSERT_EQ(t->add(std::move(rec)), cad::Status::Ok);
  }
  void setLayerFlag(const std::wstring& name, bool off, bool frozen, bool locked) {
    cad::ObjectPtr<cad::LayerRecord> l(db().layerId(name), cad::OpenMode::ForWrite);
    ASSERT_TRUE(l);
    l->setIsOff(off);
    l->setIsFrozen(frozen);
    l->setIsLocked(locked);
  }
  // Stamps component data: the number, then the attribute lines.
  void stamp(cad::ObjectId id, const std::wstring& number, StringArray attrs) {
    ASSERT_TRUE(SetGjXdataLines(id, number, attrs, nullptr));
  }

  static ed::InputToken token(ed::TokenKind k) {
    ed::InputToken t;
    t.kind = k;
    return t;
  }
  static ed::InputToken pickHandle(cad::ObjectId id) {
    ed::InputToken t = token(ed::TokenKind::Pick);
    t.text = id.handle().text();
    return t;
  }
  static ed::InputToken pickAt(double x, double y) {
    ed::InputToken t = token(ed::TokenKind::Pick);
    t.p1 = {x, y, 0};
    return t;
  }
  void feed(const std::vector<ed::InputToken>& tokens) {
    for (const auto& t : tokens) ed::inputQueue().push(t);
  }
};

}  // namespace tktest
