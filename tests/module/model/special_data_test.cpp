// Special data of components (linear and point forms), the primary stamp and
// the primary filter.
#include "module/model/special_data.h"

#include <gtest/gtest.h>

#include "module/toolkit/entities.h"
#include "module/toolkit/layers.h"
#include "module/toolkit/xdata.h"
#include "tests/module/toolkit/drawing_fixture.h"

namespace {

using geom::Point3d;
using geom::Vector3d;
using Ids = cad::ObjectIdArray;

class SpecialDataTest : public tktest::DrawingTest {
 protected:
  cad::ObjectId segment(const std::wstring& layer = L"给水管") {
    return AddPolyline({Point3d(0, 0, 0), Point3d(1000, 0, 0)}, {}, false, 0, layer, nullptr);
  }
  cad::ObjectId blockRef(double x, double y, const std::wstring& layer = L"给水管") {
    if (db().blockId(L"M").isNull()) {
      cad::ObjectPtr<cad::BlockTable> t(db().blockTableId(), cad::OpenMode::ForWrite);
      auto rec = std::make_unique<cad::BlockRecord>();
      rec->setName(L"M");
      EXPECT_EQ(t->add(std::move(rec)), cad::Status::Ok);
    }
    return InsertBlockRef(L"M", Point3d(x, y, 0), 0, cad::Scale3d{}, Vector3d(0, 0, 1), layer, nullptr);
  }
  // Replaces the stored special data by a text of lines.
  void storeSpecial(cad::ObjectId id, const std::wstring& text) {
    ClearXdata(id, kXdataSpecial);
    ASSERT_TRUE(SetXdataString(id, kXdataSpecial, text, nullptr));
  }
  StringArray lines(cad::ObjectId id, const std::wstring& app) {
    StringArray out;
    GetXdataLines(id, app, out);
    return out;
  }
  bool setLinear(cad::ObjectId id, const wchar_t* number, const wchar_t* kind, std::optional<double> z1,
                 std::optional<double> z2) {
    std::wstring n = number ? number : L"", k = kind ? kind : L"";
    return SetGjSpecial(number ? &n : nullptr, kind ? &k : nullptr, id, z1 ? &*z1 : nullptr,
                        z2 ? &*z2 : nullptr);
  }
};

TEST_F(SpecialDataTest, LinearFormKeepsWhatIsNotGivenAndRoundsHalfUp) {
  cad::ObjectId id = segment();
  ASSERT_TRUE(setLinear(id, nullptr, L"斜管", 2900.0, 2900.0));
  ASSERT_TRUE(setLinear(id, nullptr, nullptr, std::nullopt, 3150.04));
  EXPECT_EQ(lines(id, kXdataSpecial), (StringArray{L"类型=斜管", L"起点标高=2900.0", L"终点标高=3150.0"}));

  struct Case {
    double given;
    const wchar_t* stored;
  } cases[] = {{2.25, L"起点标高=2.3"}, {-2.25, L"起点标高=-2.2"}, {0.0, L"起点标高=0.0"}, {-0.04, L"起点标高=0.0"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.given);
    ASSERT_TRUE(setLinear(id, nullptr, nullptr, c.given, std::nullopt));
    EXPECT_EQ(lines(id, kXdataSpecial)[1], c.stored);
  }

  std::wstring kind = L"stale";
  double z1 = -1, z2 = -1;
  GetGjSpecial(id, &kind, &z1, &z2);
  EXPECT_EQ(kind, L"斜管");
  EXPECT_DOUBLE_EQ(z2, 3150.0);
  // An entity without special data reads as no kind and zero elevations.
  cad::ObjectId bare = segment();
  GetGjSpecial(bare, &kind, &z1, &z2);
  EXPECT_EQ(kind, L"");
  EXPECT_EQ(z1, 0.0);
  EXPECT_EQ(z2, 0.0);
  // A stored text kept when the kind is not given keeps its rounding too.
  storeSpecial(bare, L"类型=立管\r\n起点标高=12.34\r\n终点标高=x");
  ASSERT_TRUE(setLinear(bare, nullptr, nullptr, std::nullopt, std::nullopt));
  EXPECT_EQ(lines(bare, kXdataSpecial), (StringArray{L"类型=立管", L"起点标高=12.3", L"终点标高=0.0"}));
}

TEST_F(SpecialDataTest, ANumberRestampsAndClearsAllButHostApplications) {
  cad::ObjectId id = segment();
  stamp(id, L"old", {L"FF", L"主键", L"管径=DN20"});
  StringArray extra{L"x"};
  ASSERT_TRUE(SetXdataLines(id, L"其它", extra, nullptr));
  ASSERT_TRUE(SetXdataLines(id, L"ACAD_KEEP", extra, nullptr));
  StringArray ownLines{L"管径=DN20"};
  ASSERT_TRUE(SetXdataLines(id, kXdataExternalGj, ownLines, nullptr));
  ASSERT_TRUE(setLinear(id, L"JL-1", L"斜管", 0.0, 100.0));

  std::wstring number;
  StringArray attrs;
  GetGjNumberAndAttrs(id, number, attrs);
  EXPECT_EQ(number, L"JL-1");
  EXPECT_EQ(attrs, (StringArray{id.handle().text(), L"主键"}));
  EXPECT_TRUE(lines(id, L"其它").empty());
  EXPECT_TRUE(lines(id, kXdataExternalGj).empty()) << "the old number's component lines go with it";
  EXPECT_EQ(lines(id, L"ACAD_KEEP"), extra);
  EXPECT_EQ(lines(id, kXdataSpecial)[2], L"终点标高=100.0");

  // Writers refuse a null id and an entity they cannot write.
  EXPECT_FALSE(setLinear(cad::ObjectId(), L"1", L"斜管", 0.0, 0.0));
  cad::ObjectId locked = segment(L"锁定");
  SetLayerLocked(L"锁定", true, nullptr);
  EXPECT_FALSE(setLinear(locked, L"1", L"斜管", 0.0, 0.0));
  std::wstring n = L"1";
  EXPECT_FALSE(SetPointGjSpecial(&n, locked, nullptr, nullptr));
  EXPECT_TRUE(lines(locked, kXdataNumber).empty());
}

TEST_F(SpecialDataTest, PointFormRotationAndKeptValues) {
  cad::ObjectId id = blockRef(10, 20);
  const std::wstring number = L"AL1";
  const double z = 1200.05;
  const Vector3d rot(0.7071, 0.7071, 0);
  ASSERT_TRUE(SetPointGjSpecial(&number, id, &z, &rot));
  EXPECT_EQ(lines(id, kXdataSpecial),
            (StringArray{L"类型=点构件", L"标高=1200.1", L"旋转=0.700000,0.700000,0.000000"}));

  // A stored rotation text is kept exactly when none is given.
  storeSpecial(id, L"类型=x\r\n标高=7\r\n旋转=1,2");
  ASSERT_TRUE(SetPointGjSpecial(nullptr, id, nullptr, nullptr));
  EXPECT_EQ(lines(id, kXdataSpecial), (StringArray{L"类型=点构件", L"标高=7.0", L"旋转=1,2"}));
  // Two parts leave the caller's vector as it was.
  std::wstring kind;
  double elev = 0;
  Vector3d out(9, 9, 9);
  GetPointGjSpecial(id, &kind, &elev, &out);
  EXPECT_EQ(kind, L"点构件");
  EXPECT_EQ(elev, 7.0);
  EXPECT_EQ(out, Vector3d(9, 9, 9));

  Point3d pos;
  EXPECT_TRUE(IsPointGj(id, pos));
  EXPECT_EQ(pos, Point3d(10, 20, 7));
  // A linear kind, or an entity that is no block reference, is no point component.
  cad::ObjectId riser = blockRef(0, 0);
  ASSERT_TRUE(setLinear(riser, L"1", L"立管", 0.0, 10.0));
  EXPECT_FALSE(IsPointGj(riser, pos));
  EXPECT_FALSE(IsPointGj(segment(), pos));
}

TEST_F(SpecialDataTest, EndPointsIn3dFromThePlanAndTheElevations) {
  cad::ObjectId riser = blockRef(100, 200, L"立管层");
  ASSERT_TRUE(setLinear(riser, L"1", L"立管", 0.0, 2900.0));
  cad::ObjectId pipe = segment();
  ASSERT_TRUE(setLinear(pipe, L"1", L"斜管", 2900.0, 2800.0));
  Point3d s, e;
  ASSERT_TRUE(GetGjEndPoints3d(riser, s, e));
  EXPECT_EQ(s, Point3d(100, 200, 0));
  EXPECT_EQ(e, Point3d(100, 200, 2900));
  ASSERT_TRUE(GetGjEndPoints3d(pipe, s, e));
  EXPECT_EQ(s, Point3d(0, 0, 2900));
  EXPECT_EQ(e, Point3d(1000, 0, 2800));

  // A segment on a locked layer still gives its ends: they are only read.
  SetLayerLocked(L"立管层", true, nullptr);
  EXPECT_TRUE(GetGjEndPoints3d(riser, s, e));
  EXPECT_EQ(e, Point3d(100, 200, 2900));

  // Without a linear kind: false, the plan points written all the same.
  cad::ObjectId bare = AddPolyline({Point3d(5, 6, 0), Point3d(7, 8, 0)}, {}, false, 0, L"给水管", nullptr);
  s = e = Point3d(-1, -1, -1);
  EXPECT_FALSE(GetGjEndPoints3d(bare, s, e));
  EXPECT_EQ(s, Point3d(5, 6, 0));
  EXPECT_EQ(e, Point3d(7, 8, 0));
  cad::ObjectId plain = line(0, 0, 1, 1);
  storeSpecial(plain, L"类型=斜管");
  EXPECT_FALSE(GetGjEndPoints3d(plain, s, e));
}

TEST_F(SpecialDataTest, PrimaryFilterKeepsOwnHandlesOnly) {
  cad::ObjectId pipe = segment();
  StampGjPrimary(pipe, L"1");
  StampGjPrimary(cad::ObjectId(), L"1");  // nothing happens
  cad::ObjectId label = AddText(Point3d(500, 100, 0), L"DN20", 100, 0, 1, L"给水管名", nullptr);
  stamp(label, L"1", {pipe.handle().text()});
  cad::ObjectId plain = segment();
  // A copy carries the lines of the entity it was copied from.
  cad::ObjectId copy;
  {
    cad::ObjectPtr<cad::Entity> src(pipe, cad::OpenMode::ForRead);
    auto clone = std::unique_ptr<cad::Entity>(static_cast<cad::Entity*>(src->clone().release()));
    src.close();
    copy = append(std::move(clone), L"给水管");
  }
  Ids out{label};
  FilterPrimaryGjIds(out, Ids{plain, label, copy, pipe});
  EXPECT_EQ(out, (Ids{pipe}));
  StampGjPrimary(copy, L"2");
  FilterPrimaryGjIds(out, Ids{plain, label, copy, pipe, cad::ObjectId()});
  EXPECT_EQ(out, (Ids{copy, pipe}));
  // The stamp drops the special data with everything else.
  ASSERT_TRUE(setLinear(pipe, nullptr, L"斜管", 1.0, 2.0));
  StampGjPrimary(pipe, L"1");
  EXPECT_TRUE(lines(pipe, kXdataSpecial).empty());
}

}  // namespace
