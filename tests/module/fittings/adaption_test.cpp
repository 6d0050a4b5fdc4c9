// GPS_Adaption on the demo's first floor table (阀门 F1: 构件规格 DN32 with
// its list of choices; 给水管 J1 32, J2 25, J3 20).
#include <gtest/gtest.h>

#include "module/fittings/fittings_commands.h"
#include "tests/module/fittings/pipe_fixture.h"

namespace {

using kivtest::Point3d;

class Adaption : public kivtest::PipeSandbox {
 protected:
  std::string rowsOf(const std::string& number) {
    return sql(project() / u8"1层.DB",
               "SELECT 构件分类, 参数 FROM records WHERE 构件名称='阀门' AND 编号='" + number + "'");
  }
  static std::wstring numberOf(cad::ObjectId id) {
    std::wstring number;
    StringArray attrs;
    GetGjNumberAndAttrs(id, number, attrs);
    return number;
  }
};

TEST_F(Adaption, AnAccessoryOnAPipeTakesItsSizeWithANewRow) {
  pipe({0, 0, 1000}, {1000, 0, 1000}, L"J2");
  pipe({0, 2000, 1000}, {1000, 2000, 1000}, L"J2");
  pipe({0, 4000, 1000}, {1000, 4000, 1000}, L"J3");
  pipe({0, 6000, 1000}, {1000, 6000, 1000}, L"J1");
  const auto onMiddle = pointGj(L"阀门", L"F1", {500, 30, 1000});     // detour 1.8: on the pipe
  const auto beside = pointGj(L"阀门", L"F1", {500, 2100, 1000});     // detour 19.8: beside it
  const auto atEnd = pointGj(L"阀门", L"F1", {0, 2000, 1000});
  const auto onJ3 = pointGj(L"阀门", L"F1", {300, 4000, 1000});
  const auto fits = pointGj(L"阀门", L"F1", {300, 6000, 1000});
  CmdGPS_Adaption();

  EXPECT_EQ(numberOf(onMiddle), L"F1DN25");
  EXPECT_EQ(numberOf(atEnd), L"F1DN25");
  EXPECT_EQ(numberOf(beside), L"F1");
  EXPECT_EQ(numberOf(onJ3), L"F1DN20");
  EXPECT_EQ(numberOf(fits), L"F1");
  const std::string dn25 = rowsOf("F1DN25");
  EXPECT_NE(dn25.find("管道附件|"), std::string::npos) << dn25;
  EXPECT_NE(dn25.find("构件规格=DN25:15,20,25"), std::string::npos) << dn25;
  EXPECT_EQ(std::count(dn25.begin(), dn25.end(), '|'), 1) << "one row for the two valves";
  EXPECT_NE(rowsOf("F1DN20").find("构件规格=DN20:"), std::string::npos);

  // A second run changes nothing.
  const std::string before = sql(project() / u8"1层.DB", "SELECT count(*) FROM records");
  CmdGPS_Adaption();
  EXPECT_EQ(sql(project() / u8"1层.DB", "SELECT count(*) FROM records"), before);
  EXPECT_EQ(numberOf(onMiddle), L"F1DN25");
}

TEST_F(Adaption, AnAdaptedAccessoryMovedToAnotherSizeKeepsItsBaseNumber) {
  pipe({0, 0, 1000}, {1000, 0, 1000}, L"J2");
  const auto valve = pointGj(L"阀门", L"F1", {500, 0, 1000});
  CmdGPS_Adaption();
  ASSERT_EQ(numberOf(valve), L"F1DN25");
  EraseLayerEntities(L"给水管");
  pipe({0, 0, 1000}, {1000, 0, 1000}, L"J3");
  CmdGPS_Adaption();
  EXPECT_EQ(numberOf(valve), L"F1DN20");
  EXPECT_NE(rowsOf("F1DN20").find("构件规格=DN20:"), std::string::npos);
}

TEST_F(Adaption, ANumberWithoutARowIsLeftAsItIs) {
  pipe({0, 0, 1000}, {1000, 0, 1000}, L"J2");
  const auto valve = pointGj(L"阀门", L"F9", {500, 0, 1000});
  CmdGPS_Adaption();
  EXPECT_EQ(numberOf(valve), L"F9");
  EXPECT_NE(transcript().find(L"F9在本层构件表中没有记录"), std::wstring::npos);
  EXPECT_TRUE(rowsOf("F9DN25").empty());
}

}  // namespace
