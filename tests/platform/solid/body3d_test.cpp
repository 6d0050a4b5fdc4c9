// The 3D body entity in a drawing and in a saved file.
#include "platform/cad/body3d.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <sstream>

#include "platform/cad/database.h"
#include "platform/cad/tables.h"

namespace fs = std::filesystem;
using namespace cad;

namespace {

solid::Profile square(double w) {
  solid::Profile p;
  p.vertices = {{0, 0, 0}, {w, 0, 0}, {w, w, 0}, {0, w, 0}};
  p.bulges.assign(4, 0);
  return p;
}

int runPython(const fs::path& file, std::string& out) {
  std::string cmd = "/usr/bin/python3 " + std::string(KIV_SOURCE_DIR) + "/tests/platform/solid/check_bodies.py '" +
                    file.string() + "' 2>&1";
  FILE* p = popen(cmd.c_str(), "r");
  if (!p) return -1;
  char buf[512];
  while (fgets(buf, sizeof buf, p)) out += buf;
  return pclose(p);
}

}  // namespace

TEST(Body3d, SavedAsAMeshAndReadBackAsTheSameBody) {
  Database db;
  ASSERT_EQ(db.registerApp(L"编号"), Status::Ok);
  solid::Body b = solid::Body::sphere({0, 0, 500}, 500);
  b.cut({0, 0, 100}, {0, 0, 1});
  solid::Body box = solid::Body::extrusion(square(200), {0, 0, 300});
  box += solid::Body::cone({100, 100, 300}, {0, 0, 200}, 50, 0);
  auto e1 = std::make_unique<Body3d>(b);
  auto e2 = std::make_unique<Body3d>(box);
  e2->setColorIndex(1);
  ObjectId id1, id2;
  ASSERT_EQ(db.appendToModelSpace(std::move(e1), &id1), Status::Ok);
  ASSERT_EQ(db.appendToModelSpace(std::move(e2), &id2), Status::Ok);
  {
    ObjectPtr<Body3d> e(id2, OpenMode::ForWrite);
    ASSERT_EQ(e.status(), Status::Ok);
    ASSERT_EQ(e->transformBy(Matrix3d::translation({1000, 0, 0})), Status::Ok);
    ASSERT_EQ(e->setXData({{1001, std::wstring(L"编号")}, {1000, std::wstring(L"箱-1")}}), Status::Ok);
  }
  fs::path dir = fs::temp_directory_path() / ("kiv_body3d_" + std::to_string(::getpid()));
  fs::create_directories(dir);
  fs::path file = dir / "bodies.dxf";
  ASSERT_EQ(db.saveAs(file), Status::Ok);

  Database back;
  ASSERT_EQ(back.readDxfFile(file), Status::Ok) << back.lastFileError();
  ObjectIdArray ids = back.modelSpaceEntities();
  ASSERT_EQ(ids.size(), 2u);
  const double want[] = {b.volume(), box.volume()};
  for (std::size_t i = 0; i < 2; ++i) {
    ObjectPtr<Body3d> e(ids[i], OpenMode::ForRead);
    ASSERT_EQ(e.status(), Status::Ok);
    EXPECT_NEAR(e->body().volume(), want[i], want[i] * 1e-9);
  }
  ObjectPtr<Body3d> moved(ids[1], OpenMode::ForRead);
  Extents3d ext;
  ASSERT_EQ(moved->getGeomExtents(ext), Status::Ok);
  EXPECT_NEAR(ext.minPoint.x, 1000, 1e-6);
  EXPECT_NEAR(ext.maxPoint.z, 500, 1e-6);
  EXPECT_EQ(moved->colorIndex(), 1);
  ValueChain x = moved->xData(L"编号");
  ASSERT_EQ(x.size(), 2u);
  EXPECT_EQ(x[1].str(), L"箱-1");

  if (fs::exists("/usr/bin/python3")) {
    std::string out;
    ASSERT_EQ(runPython(file, out), 0) << out;
    std::istringstream lines(out);
    std::string layer;
    int verts = 0, faces = 0, meshes = 0;
    while (lines >> layer >> verts >> faces) {
      ++meshes;
      EXPECT_GT(verts, 10);
      EXPECT_GT(faces, 10);
    }
    EXPECT_EQ(meshes, 2) << out;
  }
  fs::remove_all(dir);
}

TEST(Body3d, FacesFollowTheBody) {
  Body3d e(solid::Body::extrusion(square(10), {0, 0, 10}));
  const Solid3d::Body& f = e.faces();
  EXPECT_EQ(f.faces.size(), 12u);  // two triangles per side
  ASSERT_EQ(e.transformBy(Matrix3d::scaling(2)), Status::Ok);
  double zmax = 0;
  for (const auto& p : e.faces().vertices) zmax = std::max(zmax, p.z);
  EXPECT_NEAR(zmax, 20, 1e-9);
  Body3d empty;
  EXPECT_TRUE(empty.isNull());
  Extents3d ext;
  EXPECT_EQ(empty.getGeomExtents(ext), Status::NotApplicable);
}
