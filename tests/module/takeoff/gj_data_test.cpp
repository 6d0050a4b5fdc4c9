// The one-pass reader of a component's data, checked against the xdata line
// readers every other part of the module uses, and the number texts the
// take-off keeps in memory.
#include <gtest/gtest.h>

#include <cmath>
#include <cwchar>

#include "module/takeoff/formula_eval.h"
#include "module/takeoff/linear_runs.h"
#include "module/toolkit/xdata.h"
#include "platform/cad/entities.h"
#include "tests/module/takeoff/takeoff_fixture.h"

namespace kivtest {
namespace {

using GjDataRead = TakeoffProject;

// A run stamped with the given groups (an empty list writes no group).
cad::ObjectId stampedRun(cad::Database* db, const StringArray& number, const StringArray& attrs,
                         const StringArray& special, const StringArray& own) {
  auto pl = std::make_unique<cad::Polyline>();
  pl->addVertexAt(0, geom::Point2d(0, 0), 0.5);
  pl->addVertexAt(1, geom::Point2d(1000, 0));
  cad::ObjectId id;
  EXPECT_EQ(db->appendToModelSpace(std::move(pl), &id), cad::Status::Ok);
  cad::ObjectPtr<cad::Entity> ent(id, cad::OpenMode::ForWrite);
  const std::pair<const wchar_t*, const StringArray*> groups[] = {
      {kXdataNumber, &number}, {kXdataAttrs, &attrs}, {kXdataSpecial, &special}, {kXdataExternalGj, &own}};
  for (const auto& [app, lines] : groups) {
    StringArray copy = *lines;
    if (!copy.empty()) {
      EXPECT_TRUE(WriteXdataLines(ent.get(), app, copy, db));
    }
  }
  return id;
}

TEST_F(GjDataRead, ReadsWhatTheLineReadersRead) {
  cad::Database* db = working();
  const std::wstring longParam = L"说明=" + std::wstring(600, L'长');
  struct Case {
    StringArray number, attrs, special, own;
  } cases[] = {
      {{L"J1"}, {L"1A", L"主键"}, {L"类型=斜管", L"起点标高=2800.0", L"终点标高=-150"}, {}},
      // Elevations as the library's reader takes them: signs, exponents,
      // blanks, trailing text, long and empty texts.
      {{L"J2"}, {L"2B"}, {L"类型=立管", L"起点标高=+12.5", L"终点标高=1e3"}, {}},
      {{L"J3"}, {L"3C", L"主键", L"x"}, {L"类型=贯通管", L"起点标高= 7", L"终点标高=12abc"}, {}},
      {{L"J4"}, {}, {L"类型=斜管", L"起点标高=3.", L"终点标高=.5"}, {}},
      {{L"  J5  "}, {L"5E"}, {L"起点标高=123456789012345678901234567890123456789012345678901234567890123456.5",
                              L"终点标高=", L"类型=斜管"}, {}},
      {{L"J6"}, {L"6F"}, {L"类型=点构件", L"标高=-0", L"终点标高=0.1", L"终点标高=99"}, {L"B=630", longParam}},
      {{}, {}, {}, {}},
      {{L"", L"J8"}, {L"", L"8A"}, {L"=斜管", L"类型"}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.number.empty() ? L"" : c.number[0]);
    const cad::ObjectId id = stampedRun(db, c.number, c.attrs, c.special, c.own);
    GjData gj;
    ReadGjData(id, gj);
    std::wstring number;
    StringArray attrs, special, own;
    GetGjNumberAndAttrs(id, number, attrs);
    GetXdataLines(id, kXdataSpecial, special);
    GetXdataLines(id, kXdataExternalGj, own);
    auto number_of = [&](const wchar_t* key) { return std::wcstod(GetAttrValue(special, key).c_str(), nullptr); };
    EXPECT_TRUE(gj.readable);
    EXPECT_FALSE(gj.block);
    EXPECT_EQ(gj.number, number);
    EXPECT_EQ(gj.attrCount, attrs.size());
    EXPECT_EQ(gj.handle, attrs.empty() ? L"" : attrs[0]);
    EXPECT_EQ(gj.type, GetAttrValue(special, L"类型"));
    // Bit for bit: the same double, the sign of a zero included.
    EXPECT_EQ(std::signbit(gj.startElev), std::signbit(number_of(L"起点标高")));
    EXPECT_EQ(gj.startElev, number_of(L"起点标高"));
    EXPECT_EQ(gj.endElev, number_of(L"终点标高"));
    EXPECT_EQ(gj.elev, number_of(L"标高"));
    EXPECT_EQ(std::signbit(gj.elev), std::signbit(number_of(L"标高")));
    EXPECT_EQ(gj.own, own);
  }
}

}  // namespace
}  // namespace kivtest
