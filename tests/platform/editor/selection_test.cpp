#include <set>

#include "fixture.h"
#include "platform/os/os.h"

using namespace edtest;
using ed::TokenKind;

namespace {

TEST(Wildcard, HostPatterns) {
  struct Case {
    const wchar_t* pattern;
    const wchar_t* text;
    bool match;
  };
  const Case cases[] = {
      {L"*", L"anything", true},     {L"管线*", L"管线给水", true},  {L"管线*", L"给水管线", false},
      {L"a?c", L"abc", true},        {L"a?c", L"ac", false},          {L"L#", L"L7", true},
      {L"L#", L"LX", false},         {L"@1", L"x1", true},            {L"@1", L"91", false},
      {L"a.b", L"a-b", true},        {L"a.b", L"a1b", false},         {L"~0", L"0", false},
      {L"~0", L"墙", true},          {L"[AB]x", L"bx", true},         {L"[~AB]x", L"Bx", false},
      {L"[a-c]1", L"B1", true},      {L"[a-c]1", L"d1", false},       {L"a`*b", L"a*b", true},
      {L"a`*b", L"axb", false},      {L"WALL,DOOR", L"door", true},   {L"WALL,DOOR", L"window", false},
      {L"W`,X", L"W,X", true},       {L"ABC", L"abc", true},          {L"", L"", true},
  };
  for (const auto& c : cases)
    EXPECT_EQ(ed::matchWildcard(c.pattern, c.text), c.match)
        << os::toUtf8(c.pattern) << " vs " << os::toUtf8(c.text);
}

// A small drawing: three lines on two layers, a circle, an off layer.
class Selection : public EditorTest {
 protected:
  void SetUp() override {
    EditorTest::SetUp();
    addLayer(L"给水");
    addLayer(L"排水");
    addLayer(L"隐藏");
    a = addLine(0, 0, 10, 0, L"给水");       // inside the window (−1,−1)..(21,11)
    b = addLine(15, 5, 40, 5, L"给水");      // crosses its right edge
    c = addLine(0, 50, 10, 50, L"排水");     // outside
    circle = addCircle(5, 5, 2, L"0");       // inside
    hidden = addLine(1, 1, 2, 2, L"隐藏");   // inside but its layer is off
    {
      cad::ObjectPtr<cad::LayerRecord> l(db().layerId(L"隐藏"), cad::OpenMode::ForWrite);
      l->setIsOff(true);
    }
    db().registerApp(L"编号");
    cad::ObjectPtr<cad::Entity> e(c, cad::OpenMode::ForWrite);
    e->setXData({cad::TypedValue(1001, L"编号"), cad::TypedValue(1000, L"G-1")});
    cad::ObjectPtr<cad::Entity> e2(circle, cad::OpenMode::ForWrite);
    e2->setColorIndex(3);
  }
  std::set<cad::ObjectId> select(const std::wstring& mode, std::vector<geom::Point3d> pts,
                                 const ed::SelFilter& f = {}) {
    ed::SelSet ss = 0;
    std::set<cad::ObjectId> out;
    if (ed::ssGet(mode, pts, f, ss) != ed::kNormal) return out;
    for (auto id : ed::ssIds(ss)) out.insert(id);
    ed::ssFree(ss);
    return out;
  }
  cad::ObjectId a, b, c, circle, hidden;
};

TEST_F(Selection, ModesSelectByGeometryInPlan) {
  using S = std::set<cad::ObjectId>;
  const geom::Point3d lo(-1, -1), hi(21, 11);
  EXPECT_EQ(select(L"W", {lo, hi}), (S{a, circle}));
  EXPECT_EQ(select(L"C", {lo, hi}), (S{a, b, circle}));
  EXPECT_EQ(select(L"WP", {{-1, -1}, {21, -1}, {21, 11}, {-1, 11}}), (S{a, circle}));
  EXPECT_EQ(select(L"CP", {{-1, -1}, {21, -1}, {21, 11}, {-1, 11}}), (S{a, b, circle}));
  // A triangle that only touches the first line's end.
  EXPECT_EQ(select(L"CP", {{9, -1}, {12, -1}, {12, 2}}), (S{a}));
  EXPECT_EQ(select(L"L", {}), (S{circle}));  // the last one that can be seen
  EXPECT_EQ(select(L"X", {}).size(), 5u);  // "X" sees every entity
}

TEST_F(Selection, Filters) {
  using S = std::set<cad::ObjectId>;
  using TV = cad::TypedValue;
  EXPECT_EQ(select(L"X", {}, {TV(8, L"给水")}), (S{a, b}));
  EXPECT_EQ(select(L"X", {}, {TV(8, L"给*,排水")}), (S{a, b, c}));
  EXPECT_EQ(select(L"X", {}, {TV(0, L"CIRCLE")}), (S{circle}));
  EXPECT_EQ(select(L"X", {}, {TV(0, L"line"), TV(8, L"~给水")}), (S{c, hidden}));
  EXPECT_EQ(select(L"X", {}, {TV(62, 3)}), (S{circle}));
  EXPECT_EQ(select(L"X", {}, {TV(1001, L"编号")}), (S{c}));
  EXPECT_EQ(select(L"X", {}, {TV(-4, L"<OR"), TV(8, L"排水"), TV(0, L"CIRCLE"), TV(-4, L"OR>")}),
            (S{c, circle}));
  EXPECT_EQ(select(L"X", {}, {TV(-4, L"<NOT"), TV(0, L"LINE"), TV(-4, L"NOT>")}), (S{circle}));
  EXPECT_EQ(select(L"C", {{-1, -1}, {21, 11}}, {TV(8, L"给水")}), (S{a, b}));
  ed::SelSet ss = 0;
  EXPECT_EQ(ed::ssGet(L"X", {}, {TV(8, L"没有")}, ss), ed::kError);  // nothing: no set
  EXPECT_EQ(ss, 0);
  EXPECT_EQ(ed::liveSelectionSetCount(), 0);
}

TEST_F(Selection, InteractiveSetWithWindowPickAndRemove) {
  using S = std::set<cad::ObjectId>;
  feed({box(TokenKind::Window, -1, -1, 21, 11), pickHandle(c), text(L"R"), pickAt(5, 3),
        key(TokenKind::Enter)});
  EXPECT_EQ(select(L"", {}), (S{a, c}));
  EXPECT_EQ(ed::previousSelection().size(), 2u);
  EXPECT_EQ(select(L"P", {}), (S{a, c}));
  // Escape cancels.
  feed({pickHandle(a), key(TokenKind::Escape)});
  ed::SelSet ss = 0;
  EXPECT_EQ(ed::ssGet(L"", {}, {}, ss), ed::kCancel);
}

TEST_F(Selection, SetOperationsAndPickfirst) {
  ed::SelSet ss = 0;
  ASSERT_EQ(ed::ssAdd({}, 0, ss), ed::kNormal);  // an empty set
  std::int32_t n = -1;
  EXPECT_EQ(ed::ssLength(ss, n), ed::kNormal);
  EXPECT_EQ(n, 0);
  ed::SelSet same = 0;
  EXPECT_EQ(ed::ssAdd(a, ss, same), ed::kNormal);
  EXPECT_EQ(ed::ssAdd(b, ss, same), ed::kNormal);
  EXPECT_EQ(ed::ssAdd(a, ss, same), ed::kNormal);  // no duplicates
  EXPECT_EQ(same, ss);
  ed::ssLength(ss, n);
  EXPECT_EQ(n, 2);
  cad::ObjectId id;
  EXPECT_EQ(ed::ssName(ss, 1, id), ed::kNormal);
  EXPECT_EQ(id, b);
  EXPECT_EQ(ed::ssName(ss, 2, id), ed::kError);
  EXPECT_EQ(ed::ssSetFirst(ss), ed::kNormal);
  EXPECT_EQ(ed::pickfirstIds(), (std::vector<cad::ObjectId>{a, b}));
  EXPECT_EQ(ed::liveSelectionSetCount(), 1);
  EXPECT_EQ(ed::ssFree(ss), ed::kNormal);
  EXPECT_EQ(ed::ssFree(ss), ed::kError);
  EXPECT_EQ(ed::liveSelectionSetCount(), 0);
  EXPECT_EQ(ed::ssLength(ss, n), ed::kError);
  ed::ssSetFirst(0);
  EXPECT_TRUE(ed::pickfirstIds().empty());
}

TEST_F(Selection, PickPrefersNearestAndSkipsOffLayers) {
  EXPECT_EQ(ed::entityAt({5, 0.5, 0}, 5), a);
  EXPECT_EQ(ed::entityAt({5, 3.2, 0}, 5), circle);  // nearer the circle than the line
  EXPECT_EQ(ed::entityAt({1.5, 1.5, 0}, 0.1), cad::ObjectId());  // only the hidden line there
  EXPECT_EQ(ed::idFromHandle(hidden.handle().text()), hidden);    // by handle it is found
}

}  // namespace
