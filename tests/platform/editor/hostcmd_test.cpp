#include <cmath>
#include <filesystem>
#include <numbers>

#include "fixture.h"
#include "platform/os/os.h"

using namespace edtest;
using ed::TokenKind;

namespace {

struct Recorder : ed::EditorReactor {
  std::vector<std::wstring> log;
  void commandWillStart(const std::wstring& n) override { log.push_back(L"start " + n); }
  void commandEnded(const std::wstring& n) override { log.push_back(L"end " + n); }
  void commandCancelled(const std::wstring& n) override { log.push_back(L"cancel " + n); }
};

class HostCommands : public EditorTest {
 protected:
  // Runs body inside a module command named OUTER, as the plug-in does.
  template <class F>
  void inCommand(F body) {
    ed::commandStack().addCommand(L"T", L"OUTER", L"OUTER", 0, body);
    ed::runCommand(L"OUTER");
    ed::commandStack().removeGroup(L"T");
  }
};

TEST_F(HostCommands, ArcThroughThreePointsWithAPause) {
  Recorder rec;
  ed::addReactor(&rec);
  feed({point(0, 10)});  // the pause takes the second point from the input
  int r = 0;
  inCommand([&] { r = ed::command({L"arc", geom::Point3d(-10, 0, 0), L"\\", geom::Point3d(10, 0, 0)}); });
  EXPECT_EQ(r, ed::kNormal);
  cad::ObjectPtr<cad::Arc> arc(ed::entLast(), cad::OpenMode::ForRead);
  ASSERT_TRUE(arc);
  EXPECT_NEAR(arc->center().x, 0, 1e-9);
  EXPECT_NEAR(arc->center().y, 0, 1e-9);
  EXPECT_NEAR(arc->radius(), 10, 1e-9);
  // Through (0,10): from angle 0 to pi counter-clockwise.
  EXPECT_NEAR(arc->startAngle(), 0, 1e-9);
  EXPECT_NEAR(arc->endAngle(), std::numbers::pi, 1e-9);
  EXPECT_EQ(rec.log, (std::vector<std::wstring>{L"start OUTER", L"start ARC", L"end ARC", L"end OUTER"}));
  ed::removeReactor(&rec);
}

TEST_F(HostCommands, CancelledNestedCommandInsideATransactionLeavesNothing) {
  addLine(0, 0, 1, 0);
  size_t before = db().modelSpaceEntities().size();
  Recorder rec;
  ed::addReactor(&rec);
  feed({key(TokenKind::Escape)});
  int r = 0;
  inCommand([&] {
    auto& tm = db().transactionManager();
    tm.startTransaction();
    r = ed::command({L"arc", geom::Point3d(0, 0, 0), L"\\", geom::Point3d(5, 5, 0)});
    // A finished nested command inside the transaction, then an abort.
    ed::command({L"LINE", geom::Point3d(0, 0, 0), geom::Point3d(3, 3, 0), L""});
    EXPECT_EQ(db().modelSpaceEntities().size(), before + 1);
    tm.abortTransaction();
  });
  EXPECT_EQ(r, ed::kCancel);
  EXPECT_EQ(db().modelSpaceEntities().size(), before);
  EXPECT_EQ(rec.log[1], L"start ARC");
  EXPECT_EQ(rec.log[2], L"cancel ARC");
  ed::removeReactor(&rec);
}

TEST_F(HostCommands, ScaleByReferenceRotateAndPolarArray) {
  cad::ObjectId line = addLine(10, 0, 20, 0);
  inCommand([&] {
    EXPECT_EQ(ed::command({L"SCALE", line, L"", geom::Point3d(10, 0, 0), L"R", 2.0, 4.0}), ed::kNormal);
  });
  {
    cad::ObjectPtr<cad::Line> l(line, cad::OpenMode::ForRead);
    EXPECT_NEAR(l->end().x, 30, 1e-9);  // doubled about (10,0)
  }
  ed::SelSet ss = ed::ssFromIds({line});
  feed({point(0, 0), text(L"90")});  // base and angle come from the user
  inCommand([&] { EXPECT_EQ(ed::command({L"ROTATE", ed::CmdArg::selection(ss), L""}), ed::kNormal); });
  ed::ssFree(ss);
  {
    cad::ObjectPtr<cad::Line> l(line, cad::OpenMode::ForRead);
    EXPECT_NEAR(l->start().x, 0, 1e-9);
    EXPECT_NEAR(l->start().y, 10, 1e-9);
  }
  db().registerApp(L"编号");
  {
    cad::ObjectPtr<cad::Entity> e(line, cad::OpenMode::ForWrite);
    e->setXData({cad::TypedValue(1001, L"编号"), cad::TypedValue(1000, L"A1")});
  }
  inCommand([&] {
    EXPECT_EQ(ed::command({L"-array", line, L"", L"Polar", geom::Point3d(0, 0, 0), 4, 360.0, L"Y"}), ed::kNormal);
  });
  auto ids = db().modelSpaceEntities();
  ASSERT_EQ(ids.size(), 4u);  // the source and three copies after it
  EXPECT_EQ(ids[0], line);
  cad::ObjectPtr<cad::Line> last(ids[3], cad::OpenMode::ForRead);
  EXPECT_NEAR(last->start().x, 10, 1e-9);  // (0,10) turned by 270 degrees
  EXPECT_NEAR(last->start().y, 0, 1e-9);
  EXPECT_EQ(last->xData(L"编号").size(), 2u);  // copies keep their extended data
}

TEST_F(HostCommands, ScaleRejectsZeroReference) {
  cad::ObjectId line = addLine(0, 0, 1, 0);
  feed({text(L"0"), text(L"2"), text(L"4")});  // 0 re-prompted
  inCommand([&] { ed::command({L"SCALE", line, L"", geom::Point3d(0, 0, 0), L"R"}); });
  cad::ObjectPtr<cad::Line> l(line, cad::OpenMode::ForRead);
  EXPECT_NEAR(l->end().x, 2, 1e-9);
}

TEST_F(HostCommands, ZoomVpointShademodeDraworder) {
  cad::ObjectId a = addLine(0, 0, 100, 50), b = addLine(0, 0, 1, 1);
  inCommand([&] {
    ed::command({L"zoom", L"w", geom::Point3d(1, 2, 0), geom::Point3d(3, 4, 0)});
    ed::command({L"zoom", L"e"});
  });
  EXPECT_EQ(ed::viewState().max.x, 100);
  inCommand([&] { ed::command({L"ZOOM", L"p"}); });
  EXPECT_EQ(ed::viewState().max.x, 3);
  inCommand([&] {
    ed::command({L"Vpoint", L"1,-1,1"});
    ed::command({L"ShadeMode", L"F"});
    ed::command({L"draworder", a, L"", L"F", L""});
  });
  EXPECT_NEAR(ed::viewState().viewDir.x, 1 / std::sqrt(3.0), 1e-12);
  EXPECT_EQ(ed::viewState().shadeMode, L"F");
  EXPECT_EQ(ed::drawOrder(), (std::vector<cad::ObjectId>{b, a}));
}

TEST_F(HostCommands, QueuedLispCommandForm) {
  std::vector<std::wstring> parts;
  EXPECT_TRUE(ed::parseCommandExpr(L"(Command \"t\" \"zoom\" \"e\")", parts));
  EXPECT_EQ(parts, (std::vector<std::wstring>{L"t", L"zoom", L"e"}));
  EXPECT_TRUE(ed::parseCommandExpr(L"(command \"zoom\" pause)", parts));
  EXPECT_EQ(parts.back(), L"\\");
  EXPECT_FALSE(ed::parseCommandExpr(L"(setq a 1)", parts));
  EXPECT_FALSE(ed::parseCommandExpr(L"(command \"open)", parts));
  EXPECT_EQ(ed::queueExpr(L"(princ)"), ed::kError);
}

}  // namespace

TEST_F(HostCommands, OpeningADrawingPrintsWhatTheReaderRepaired) {
  auto path = std::filesystem::path(KIV_SOURCE_DIR) / "tests/fixtures/cad/dxf-shared-dictionary-entry-saved-file-unreadable-min.dxf";
  size_t mark = ed::transcriptMark();
  std::wstring error;
  ed::Document* doc = ed::docManager().openDocument(os::fromUtf8(path.string()), error);
  ASSERT_NE(doc, nullptr) << os::toUtf8(error);
  const auto& notices = doc->database()->lastFileNotices();
  ASSERT_FALSE(notices.empty());
  std::wstring expected;
  for (const auto& n : notices) expected += os::fromUtf8(n) + L"\n";
  EXPECT_EQ(ed::transcriptSince(mark), expected);
}
