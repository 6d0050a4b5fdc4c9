// Component data in extended entity data: pieces, continuation, readers and
// removal, on a real drawing database.
#include "module/toolkit/xdata.h"

#include <gtest/gtest.h>

namespace {

class XdataTest : public testing::Test {
 protected:
  void SetUp() override {
    cad::setWorkingDatabase(&db_);
    line_ = addLine(db_);
  }
  void TearDown() override { cad::setWorkingDatabase(nullptr); }

  static cad::ObjectId addLine(cad::Database& db) {
    cad::ObjectId id;
    EXPECT_EQ(db.appendToModelSpace(std::make_unique<cad::Line>(geom::Point3d(0, 0), geom::Point3d(1000, 0)),
                                    &id),
              cad::Status::Ok);
    return id;
  }
  // The raw string records of one application's group.
  std::vector<std::wstring> records(cad::ObjectId id, const std::wstring& app) {
    std::vector<std::wstring> out;
    cad::ObjectPtr<cad::DbObject> obj(id, cad::OpenMode::ForRead);
    for (const auto& v : obj->xData(app))
      if (v.code == cad::xd::kString) out.push_back(v.str());
    return out;
  }
  std::wstring value(cad::ObjectId id, const std::wstring& app) {
    StringArray names, values;
    ReadAllXdata(id, names, values);
    for (size_t i = 0; i < names.size(); ++i)
      if (names[i] == app) return values[i];
    return L"<none>";
  }

  cad::Database db_;
  cad::ObjectId line_;
};

std::wstring text(size_t n, wchar_t c = L'管') { return std::wstring(n, c); }

TEST_F(XdataTest, LongItemsAreCutIntoMarkedPiecesAndReadBackWhole) {
  struct Case {
    size_t length;
    size_t records;
  };
  const Case cases[] = {{0, 0}, {1, 1}, {250, 1}, {251, 2}, {500, 2}, {501, 3}, {600, 3}, {1000, 4}};
  for (const auto& c : cases) {
    ClearXdata(line_, L"");
    std::wstring item;
    for (size_t i = 0; i < c.length; ++i) item += static_cast<wchar_t>(L'a' + i % 26);
    StringArray lines{item};
    ASSERT_TRUE(SetXdataLines(line_, kXdataAttrs, lines, nullptr) || c.length == 0);
    auto recs = records(line_, kXdataAttrs);
    ASSERT_EQ(recs.size(), c.records) << c.length;
    for (size_t i = 0; i + 1 < recs.size(); ++i) {
      EXPECT_EQ(recs[i].size(), 252u);
      EXPECT_EQ(recs[i].substr(250), L"\\r");
    }
    if (c.length == 0) {
      EXPECT_EQ(value(line_, kXdataAttrs), L"<none>");  // nothing to store, no group
      continue;
    }
    EXPECT_NE(recs.back().substr(recs.back().size() >= 2 ? recs.back().size() - 2 : 0), L"\\r");
    EXPECT_EQ(value(line_, kXdataAttrs), item + L"\r\n");
    StringArray back;
    GetXdataLines(line_, kXdataAttrs, back);
    EXPECT_EQ(back, StringArray{item});
  }
}

TEST_F(XdataTest, ItemEndingInTheMarkerReadsBackExactly) {
  // Items whose own text ends with backslash and r, short and long, between
  // other items: each must come back as it was, not joined to the next.
  const std::wstring shortItem = L"路径C:\\r";
  const std::wstring fullItem = text(248) + L"\\r";        // exactly 250 characters
  const std::wstring longItem = text(300) + L"\\r";        // last piece ends with the marker
  const std::wstring crossing = text(249) + L"\\r" + L"x";  // marker split across pieces
  StringArray lines{shortItem, L"next", fullItem, longItem, crossing, L"\\r", L"end"};
  ASSERT_TRUE(SetXdataLines(line_, kXdataAttrs, lines, nullptr));
  for (const auto& r : records(line_, kXdataAttrs)) EXPECT_LE(r.size(), 252u);
  StringArray back;
  GetXdataLines(line_, kXdataAttrs, back);
  EXPECT_EQ(back, (StringArray{shortItem, L"next", fullItem, longItem, crossing, L"\\r", L"end"}));
}

TEST_F(XdataTest, MultiLineTextCutBetweenCarriageReturnAndLineFeedReadsBackWhole) {
  std::wstring attrText = text(249) + L"\r\n" + L"材质=钢";
  ASSERT_TRUE(SetGjXdata(line_, L"GJ-1", attrText, nullptr));
  auto recs = records(line_, kXdataAttrs);
  ASSERT_EQ(recs.size(), 2u);
  EXPECT_EQ(recs[0].back(), L'r');  // the piece ends with CR then the marker
  std::wstring number;
  StringArray attrs;
  GetGjNumberAndAttrs(line_, number, attrs);
  EXPECT_EQ(number, L"GJ-1");
  EXPECT_EQ(attrs, (StringArray{text(249), L"材质=钢"}));
}

TEST_F(XdataTest, TrailingEmptyItemsAreDroppedInnerOnesKept) {
  StringArray lines{L"a", L"", L"b", L"", L""};
  ASSERT_TRUE(SetXdataLines(line_, kXdataSpecial, lines, nullptr));
  EXPECT_EQ(lines, (StringArray{L"a", L"", L"b"}));  // the caller's list is trimmed too
  EXPECT_EQ(records(line_, kXdataSpecial), (std::vector<std::wstring>{L"a", L"", L"b"}));
  EXPECT_EQ(value(line_, kXdataSpecial), L"a\r\n\r\nb\r\n");
  StringArray back;
  GetXdataLines(line_, kXdataSpecial, back);
  EXPECT_EQ(back, (StringArray{L"a", L"", L"b"}));
}

TEST_F(XdataTest, EmptyListsAndNumbersCreateNothing) {
  StringArray empties{L"", L""};
  SetXdataLines(line_, kXdataFittingLinks, empties, nullptr);
  EXPECT_TRUE(empties.empty());
  SetGjXdata(line_, L"", L"", nullptr);
  StringArray names, values;
  ReadAllXdata(line_, names, values);
  EXPECT_TRUE(names.empty()) << testing::PrintToString(names);
}

TEST_F(XdataTest, WritingTwiceAppends) {
  StringArray first{L"h1"}, second{L"h2", L"h3"};
  SetXdataLines(line_, kXdataFittingLinks, first, nullptr);
  SetXdataLines(line_, kXdataFittingLinks, second, nullptr);
  StringArray back;
  GetXdataLines(line_, kXdataFittingLinks, back);
  EXPECT_EQ(back, (StringArray{L"h1", L"h2", L"h3"}));
}

TEST_F(XdataTest, ReadersTrimTheEnds) {
  StringArray attrs{L"  管径=DN50", L"材质=钢  "};
  ASSERT_TRUE(SetGjXdataLines(line_, L"  B-2  ", attrs, nullptr));
  std::wstring number;
  StringArray back;
  GetGjNumberAndAttrs(line_, number, back);
  EXPECT_EQ(number, L"B-2");
  EXPECT_EQ(back, (StringArray{L"管径=DN50", L"材质=钢"}));

  // The value is trimmed as a whole: empty items in front are stored but do
  // not read back, inner ones do.
  StringArray special{L"", L"", L"  x", L"", L"y"};
  ASSERT_TRUE(SetXdataLines(line_, kXdataSpecial, special, nullptr));
  EXPECT_EQ(records(line_, kXdataSpecial), (std::vector<std::wstring>{L"", L"", L"  x", L"", L"y"}));
  GetXdataLines(line_, kXdataSpecial, back);
  EXPECT_EQ(back, (StringArray{L"x", L"", L"y"}));
}

TEST_F(XdataTest, HandleRecordsReadLikeStrings) {
  {
    cad::ObjectPtr<cad::DbObject> obj(line_, cad::OpenMode::ForWrite);
    db_.registerApp(kXdataExternalGj);
    ASSERT_EQ(obj->setXData({{cad::xd::kAppName, kXdataExternalGj},
                             {cad::xd::kString, L"名称=柱"},
                             {cad::xd::kReal, 2.5},
                             {cad::xd::kHandle, L"1F"}}),
              cad::Status::Ok);
  }
  EXPECT_EQ(value(line_, kXdataExternalGj), L"名称=柱\r\n1F\r\n");
}

TEST_F(XdataTest, ClearWithEmptyListKeepsAcadNamesAndExternalData) {
  const StringArray apps = {L"ACAD", L"编号", L"属性", L"MyAcadTool", L"XACADX", L"构件"};
  for (const auto& app : apps) {
    StringArray v{L"v"};
    ASSERT_TRUE(SetXdataLines(line_, app, v, nullptr)) << testing::PrintToString(app);
  }
  ClearXdata(line_, L"");
  StringArray names, values;
  ReadAllXdata(line_, names, values);
  EXPECT_EQ(names, (StringArray{L"ACAD", L"XACADX", L"构件"}));
}

TEST_F(XdataTest, ClearByListTrimsOnlyTheWholeList) {
  struct Case {
    const wchar_t* list;
    StringArray left;
  };
  const Case cases[] = {
      {L"  编号,属性  ", {L"特殊"}},
      {L"编号, 属性", {L"属性", L"特殊"}},  // " 属性" names no application
      {L"特殊", {L"编号", L"属性"}},
      {L"不存在", {L"编号", L"属性", L"特殊"}},
  };
  for (const auto& c : cases) {
    ClearXdata(line_, L"");
    StringArray attrs{L"a=1"}, special{L"s"};
    SetGjXdataLines(line_, L"N", attrs, nullptr);
    SetXdataLines(line_, kXdataSpecial, special, nullptr);
    ClearXdata(line_, c.list);
    StringArray names, values;
    ReadAllXdata(line_, names, values);
    EXPECT_EQ(names, c.left) << testing::PrintToString(std::wstring(c.list));
  }
}

TEST_F(XdataTest, ObjectsThatCannotBeOpenedGiveEmptyResults) {
  cad::ObjectId erased = addLine(db_);
  {
    cad::ObjectPtr<cad::DbObject> obj(erased, cad::OpenMode::ForWrite);
    obj->erase();
  }
  for (cad::ObjectId id : {cad::ObjectId(), erased}) {
    StringArray lines{L"x"};
    EXPECT_FALSE(SetXdataLines(id, kXdataAttrs, lines, nullptr));
    EXPECT_FALSE(SetGjXdata(id, L"1", L"a=1", nullptr));
    ClearXdata(id, L"");
    std::wstring number = L"stale";
    StringArray attrs{L"stale"};
    GetGjNumberAndAttrs(id, number, attrs);
    EXPECT_EQ(number, L"");
    EXPECT_TRUE(attrs.empty());
  }
}

TEST_F(XdataTest, SideDatabaseRegistersTheApplicationThere) {
  cad::Database side;
  cad::ObjectId id = addLine(side);
  EXPECT_FALSE(side.isRegApp(L"图形参数"));
  StringArray arms{L"0,0,100"};
  EXPECT_TRUE(SetXdataLines(id, kXdataFittingArms, arms, &side));
  EXPECT_TRUE(side.isRegApp(L"图形参数"));
  EXPECT_FALSE(db_.isRegApp(L"图形参数"));
  EXPECT_EQ(RegisterAppInDb(&side, L"图形参数"), cad::Status::Ok);  // already there
}

TEST_F(XdataTest, OpenEntityWritersLeaveOpeningToTheCaller) {
  cad::ObjectPtr<cad::DbObject> obj(line_, cad::OpenMode::ForWrite);
  EXPECT_TRUE(SetGjXdataOpen(obj.get(), L"7", L"a=1\r\nb=2", nullptr));
  EXPECT_TRUE(obj->isWriteEnabled());
  obj.close();
  std::wstring number;
  StringArray attrs;
  GetGjNumberAndAttrs(line_, number, attrs);
  EXPECT_EQ(number, L"7");
  EXPECT_EQ(attrs, (StringArray{L"a=1", L"b=2"}));
  EXPECT_EQ(db_.numOpenObjects(), 0u);
}

}  // namespace
