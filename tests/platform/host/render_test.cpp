// Pictures of a drawing: a small drawing rendered to PNG and read back with
// cairo, checking colours where things must be and must not be.
#include <cairo.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>

#include "platform/cad/database.h"
#include "platform/editor/editor.h"
#include "platform/host/render.h"
#include "platform/host/script.h"
#include "platform/os/os.h"

namespace fs = std::filesystem;
using namespace cad;

namespace {

fs::path outDir() {
  fs::path d = fs::path(KIV_BINARY_DIR) / "tests" / "host_render";
  fs::create_directories(d);
  return d;
}

// A PNG read back, with colour tests around a pixel.
class Picture {
 public:
  explicit Picture(const fs::path& file) : s_(cairo_image_surface_create_from_png(file.string().c_str())) {}
  ~Picture() { cairo_surface_destroy(s_); }
  Picture(const Picture&) = delete;
  Picture& operator=(const Picture&) = delete;
  bool ok() const { return cairo_surface_status(s_) == CAIRO_STATUS_SUCCESS; }
  int width() const { return cairo_image_surface_get_width(s_); }
  int height() const { return cairo_image_surface_get_height(s_); }
  Rgb at(int x, int y) const {
    auto* row = cairo_image_surface_get_data(s_) + y * cairo_image_surface_get_stride(s_);
    std::uint32_t v = reinterpret_cast<const std::uint32_t*>(row)[x];
    return {std::uint8_t(v >> 16), std::uint8_t(v >> 8), std::uint8_t(v)};
  }
  // Pixels of the colour (each channel within 60) in the box x0..x1, y0..y1.
  int count(int x0, int y0, int x1, int y1, Rgb c) const {
    int n = 0;
    for (int y = std::max(0, y0); y <= std::min(height() - 1, y1); ++y)
      for (int x = std::max(0, x0); x <= std::min(width() - 1, x1); ++x) {
        Rgb p = at(x, y);
        if (std::abs(p.r - c.r) <= 60 && std::abs(p.g - c.g) <= 60 && std::abs(p.b - c.b) <= 60) ++n;
      }
    return n;
  }
  bool near(int x, int y, Rgb c, int r = 2) const { return count(x - r, y - r, x + r, y + r, c) > 0; }
  // Pixels that are not background in the box.
  int ink(int x0, int y0, int x1, int y1) const {
    return (x1 - x0 + 1) * (y1 - y0 + 1) - count(x0, y0, x1, y1, host::kRenderBackground);
  }
  // Nothing but background within r pixels.
  bool blank(int x, int y, int r = 3) const {
    return count(x - r, y - r, x + r, y + r, host::kRenderBackground) == (2 * r + 1) * (2 * r + 1);
  }

 private:
  cairo_surface_t* s_;
};

ObjectId addLayer(Database& db, const wchar_t* name, int color, bool off = false, bool frozen = false) {
  ObjectPtr<LayerTable> t(db.layerTableId(), OpenMode::ForWrite);
  auto rec = std::make_unique<LayerRecord>();
  rec->setName(name);
  rec->setColor(Color::fromIndex(color));
  rec->setIsOff(off);
  rec->setIsFrozen(frozen);
  ObjectId id;
  EXPECT_EQ(t->add(std::move(rec), &id), Status::Ok);
  return id;
}

template <class E>
void add(Database& db, std::unique_ptr<E> e, const wchar_t* layer = nullptr, Color c = Color::byLayer()) {
  if (layer) e->setLayer(layer);
  e->setColor(c);
  ASSERT_EQ(db.appendToModelSpace(std::move(e)), Status::Ok);
}

constexpr Rgb kWhite{255, 255, 255}, kRed{255, 0, 0}, kOrange{255, 128, 0}, kBlue{0, 0, 255}, kGreen{0, 255, 0},
    kMagenta{255, 0, 255}, kYellow{255, 255, 0};

std::unique_ptr<Polyline> polyline(std::initializer_list<Point2d> pts) {
  auto p = std::make_unique<Polyline>();
  for (auto q : pts) p->addVertexAt(p->numVerts(), q);
  return p;
}

// A 200 x 150 frame: at 800 x 600 it fills the picture less a 5% margin, 3.6
// pixels a unit.
void addFrame(Database& db) {
  auto frame = polyline({{0, 0}, {200, 0}, {200, 150}, {0, 150}});
  frame->setClosed(true);
  add(db, std::move(frame), nullptr, Color::fromIndex(7));
}

// Drawing units to pixels for the 800 x 600 picture of the frame.
int px(double x) { return int(std::lround(400 + (x - 100) * 3.6)); }
int py(double y) { return int(std::lround(300 - (y - 75) * 3.6)); }

// The frame and, inside it, one of each kind the check looks at.
void buildDrawing(Database& db) {
  addLayer(db, L"蓝", 5);
  addLayer(db, L"关", 1, true);
  addLayer(db, L"冻结", 1, false, true);
  addFrame(db);

  add(db, std::make_unique<Line>(Point3d(10, 130), Point3d(90, 130)), nullptr, Color::fromIndex(1));

  auto wide = polyline({{10, 100}, {90, 100}});
  wide->setConstantWidth(6);
  add(db, std::move(wide), nullptr, Color::fromRgb(kOrange));

  add(db, std::make_unique<Circle>(Point3d(150, 110), Vector3d(0, 0, 1), 20), L"蓝");
  add(db, std::make_unique<Text>(Point3d(10, 60), L"给水管", ObjectId{}, 10), nullptr, Color::fromIndex(3));

  // Hidden: a layer that is off, a frozen layer, an invisible line.
  add(db, std::make_unique<Line>(Point3d(110, 75), Point3d(190, 75)), L"关");
  add(db, std::make_unique<Line>(Point3d(110, 65), Point3d(190, 65)), L"冻结");
  auto hidden = std::make_unique<Line>(Point3d(110, 85), Point3d(190, 85));
  hidden->setVisibility(false);
  add(db, std::move(hidden), nullptr, Color::fromIndex(1));

  // A block of a by-block solid square and a layer-0 line, inserted twice the
  // size on layer 蓝 in magenta, with an attribute.
  ObjectId block;
  {
    ObjectPtr<BlockTable> bt(db.blockTableId(), OpenMode::ForWrite);
    auto rec = std::make_unique<BlockRecord>();
    rec->setName(L"设备");
    ASSERT_EQ(bt->add(std::move(rec), &block), Status::Ok);
  }
  {
    ObjectPtr<BlockRecord> b(block, OpenMode::ForWrite);
    auto fill = std::make_unique<Hatch>();
    fill->appendLoop(Hatch::kExternal, {{-5, -5}, {5, -5}, {5, 5}, {-5, 5}});
    fill->setColor(Color::byBlock());
    ASSERT_EQ(b->appendEntity(std::move(fill)), Status::Ok);
    auto line = std::make_unique<Line>(Point3d(-5, -8), Point3d(5, -8));
    line->setLayer(db.layerZeroId());
    ASSERT_EQ(b->appendEntity(std::move(line)), Status::Ok);
  }
  auto ref = std::make_unique<BlockReference>(Point3d(150, 40), block);
  ref->setScaleFactors({2, 2, 2});
  ref->setLayer(L"蓝");
  ref->setColor(Color::fromIndex(6));
  ObjectId refId;
  ASSERT_EQ(db.appendToModelSpace(std::move(ref), &refId), Status::Ok);
  ObjectPtr<BlockReference> r(refId, OpenMode::ForWrite);
  auto a = std::make_unique<Attribute>();
  a->setTag(L"NO");
  a->setTextString(L"A1");
  a->setPosition({150, 12});
  a->setHeight(6);
  a->setColor(Color::fromIndex(2));
  ASSERT_EQ(r->appendAttribute(std::move(a)), Status::Ok);
}

// Renders db into NAME.png and reads it back, checking its size.
std::unique_ptr<Picture> render(const Database& db, const std::string& name, int width = 800, int height = 600) {
  fs::path file = outDir() / (name + ".png");
  std::wstring error;
  EXPECT_TRUE(host::renderDrawingToPng(db, file, width, height, error)) << os::toUtf8(error);
  auto pic = std::make_unique<Picture>(file);
  EXPECT_TRUE(pic->ok()) << name;
  if (pic->ok()) {
    EXPECT_EQ(pic->width(), width);
    EXPECT_EQ(pic->height(), height);
  }
  return pic;
}

TEST(Render, DrawsEachKindInItsColourAndLeavesHiddenOnesOut) {
  Database db;
  buildDrawing(db);
  auto shot = render(db, "kinds");
  ASSERT_TRUE(shot->ok());
  const Picture& pic = *shot;

  struct Probe {
    double x, y;
    bool drawn;
    Rgb color;
    const char* what;
  };
  const Probe probes[] = {
      {0, 75, true, kWhite, "frame (colour 7)"},
      {200, 20, true, kWhite, "frame's right side"},
      {50, 130, true, kRed, "red line"},
      {50, 102, true, kOrange, "wide polyline, inside its width"},
      {30, 97.5, true, kOrange, "wide polyline, the other side"},
      {50, 105, false, {}, "beside the wide polyline"},
      {170, 110, true, kBlue, "circle by layer"},
      {150, 110, false, {}, "circle's centre"},
      {150, 40, true, kMagenta, "block's by-block fill"},
      {158, 46, true, kMagenta, "block fill scaled twice"},
      {163, 40, false, {}, "beyond the scaled fill"},
      {150, 24, true, kBlue, "block's layer-0 line takes the reference's layer"},
      {150, 75, false, {}, "line on a layer that is off"},
      {150, 65, false, {}, "line on a frozen layer"},
      {150, 85, false, {}, "invisible line"},
      {100, 20, false, {}, "empty paper"},
  };
  for (const auto& p : probes) {
    if (p.drawn) {
      EXPECT_TRUE(pic.near(px(p.x), py(p.y), p.color)) << p.what;
    } else {
      EXPECT_TRUE(pic.blank(px(p.x), py(p.y))) << p.what;
    }
  }

  // The text's box (three wide characters of height 10 from 10,60) holds
  // green glyphs; none spill beyond it.
  int box = (px(40) - px(10)) * (py(60) - py(70));
  int glyphs = pic.count(px(10), py(70), px(40), py(60), kGreen);
  EXPECT_GT(glyphs, box / 10);
  EXPECT_LT(glyphs, box * 8 / 10);
  EXPECT_EQ(pic.count(px(42), py(72), px(60), py(58), kGreen), 0);
  // The attribute "A1" (yellow, height 6 at 150,12).
  EXPECT_GT(pic.count(px(150), py(18), px(160), py(12), kYellow), 20);
}

// Renders the frame and what build adds at 800 x 600.
std::unique_ptr<Picture> renderFramed(const std::function<void(Database&)>& build, const char* name) {
  Database db;
  addFrame(db);
  build(db);
  return render(db, name);
}

// The other kinds, each alone in the frame: boxes (in drawing units) where
// something must be drawn and where nothing may be.
TEST(Render, CurvesTextsAndPointsLandWhereTheyBelong) {
  struct Box {
    double x0, y0, x1, y1;
    bool drawn;
  };
  struct Case {
    const char* name;
    std::function<void(Database&)> build;
    std::vector<Box> boxes;
  };
  const Case cases[] = {
      {"bulge",  // a half circle over the chord 150,75 - 50,75
       [](Database& db) {
         auto p = polyline({{150, 75}, {50, 75}});
         p->setBulgeAt(0, 1);
         add(db, std::move(p));
       },
       {{99, 124, 101, 126, true}, {149, 74, 151, 76, true}, {90, 74, 110, 76, false}, {90, 24, 110, 26, false}}},
      {"taper",  // a segment widening from 0 to 20
       [](Database& db) {
         auto p = polyline({{20, 75}, {180, 75}});
         p->setWidthsAt(0, 0, 20);
         add(db, std::move(p));
       },
       {{169, 82, 171, 83, true}, {169, 67, 171, 68, true}, {29, 79, 31, 81, false}, {169, 87, 171, 89, false}}},
      {"arc",  // a quarter from 0 to 90 degrees
       [](Database& db) { add(db, std::make_unique<Arc>(Point3d(100, 75), 40, 0, geom::kPi / 2)); },
       {{127, 102, 129, 104, true}, {59, 74, 61, 76, false}, {99, 34, 101, 36, false}}},
      {"ellipse",
       [](Database& db) {
         add(db, std::make_unique<Ellipse>(Point3d(100, 75), Vector3d(0, 0, 1), Vector3d(60, 0, 0), 0.5));
       },
       {{159, 74, 161, 76, true}, {99, 104, 101, 106, true}, {99, 114, 101, 120, false}, {95, 70, 105, 80, false}}},
      {"polyline3d",
       [](Database& db) {
         add(db, std::make_unique<Polyline3d>(Polyline3d::Type::Simple,
                                              std::vector<Point3d>{{20, 20, 5}, {180, 130, -5}}));
       },
       {{99, 74, 101, 76, true}, {99, 54, 101, 56, false}}},
      {"polyline2d",  // a closed triangle with a default width of 4
       [](Database& db) {
         add(db, std::make_unique<Polyline2d>(Polyline2d::Type::Simple,
                                              std::vector<Point3d>{{40, 40}, {160, 40}, {100, 120}}, 0, true, 4, 4));
       },
       {{99, 38.5, 101, 41.5, true}, {99, 34, 101, 36, false}, {95, 70, 105, 80, false}}},
      {"point", [](Database& db) { add(db, std::make_unique<PointEntity>(Point3d(100, 75))); },
       {{99.5, 74.5, 100.5, 75.5, true}, {104, 74, 106, 76, false}}},
      {"rotated text",  // 90 degrees: it reads upwards, left of its position
       [](Database& db) {
         add(db, std::make_unique<Text>(Point3d(100, 75), L"给水", ObjectId{}, 20, geom::kPi / 2));
       },
       {{80, 75, 100, 115, true}, {102, 75, 125, 115, false}, {80, 50, 100, 73, false}}},
      {"mtext",  // two lines from the top left corner 20,130, 1.667 heights apart
       [](Database& db) {
         auto m = std::make_unique<MText>();
         m->setLocation({20, 130});
         m->setContents(L"上\\P下");
         m->setTextHeight(10);
         add(db, std::move(m));
       },
       {{20, 120, 30, 130, true}, {20, 103.3, 30, 113.3, true}, {20, 114.5, 30, 118.5, false}, {35, 95, 60, 135, false}}},
  };
  for (const auto& c : cases) {
    auto pic = renderFramed(c.build, c.name);
    ASSERT_TRUE(pic->ok()) << c.name;
    for (const auto& b : c.boxes) {
      int n = pic->ink(px(b.x0), py(b.y1), px(b.x1), py(b.y0));
      if (b.drawn) {
        EXPECT_GT(n, 0) << c.name << " at " << b.x0 << "," << b.y0;
      } else {
        EXPECT_EQ(n, 0) << c.name << " at " << b.x0 << "," << b.y0;
      }
    }
  }
}

// A pattern hatch shows as lines across its area, not as a fill.
TEST(Render, PatternHatchShowsLines) {
  auto pic = renderFramed(
      [](Database& db) {
        auto h = std::make_unique<Hatch>();
        h->setPattern(Hatch::kPreDefined, L"ANSI31");
        h->appendLoop(Hatch::kExternal, {{50, 25}, {150, 25}, {150, 125}, {50, 125}});
        add(db, std::move(h));
      },
      "hatch");
  ASSERT_TRUE(pic->ok());
  int area = (px(140) - px(60) + 1) * (py(35) - py(115) + 1);
  int n = pic->ink(px(60), py(115), px(140), py(35));
  EXPECT_GT(n, area / 10);
  EXPECT_LT(n, area / 2);
  EXPECT_EQ(pic->ink(px(155), py(115), px(190), py(35)), 0);
}

// A block's 3D faces (kept as read from a file): their visible edges as
// lines, and filled when the view is shaded.
TEST(Render, ThreeDFacesOfABlockShowEdgesOrFill) {
  Database db;
  addFrame(db);
  ObjectId block;
  {
    ObjectPtr<BlockTable> bt(db.blockTableId(), OpenMode::ForWrite);
    auto rec = std::make_unique<BlockRecord>();
    rec->setName(L"灯3D");
    ASSERT_EQ(bt->add(std::move(rec), &block), Status::Ok);
  }
  {
    ObjectPtr<BlockRecord> b(block, OpenMode::ForWrite);
    auto face = std::make_unique<UnknownEntity>();
    face->dxfType = "3DFACE";
    // A square 70 across at height 500; its third edge (the top) invisible.
    face->tags = {{10, "0"},  {20, "0"},  {30, "500"}, {11, "70"}, {21, "0"},  {31, "500"}, {12, "70"},
                  {22, "70"}, {32, "500"}, {13, "0"},  {23, "70"}, {33, "500"}, {70, "4"}};
    face->setColor(Color::byBlock());
    ASSERT_EQ(b->appendEntity(std::move(face)), Status::Ok);
  }
  auto ref = std::make_unique<BlockReference>(Point3d(50, 25), block);
  ref->setColor(Color::fromIndex(1));
  ASSERT_EQ(db.appendToModelSpace(std::move(ref)), Status::Ok);

  auto wire = render(db, "faces-wire");
  ASSERT_TRUE(wire->ok());
  EXPECT_TRUE(wire->near(px(85), py(25), kRed)) << "bottom edge";
  EXPECT_TRUE(wire->near(px(120), py(60), kRed)) << "right edge";
  EXPECT_TRUE(wire->blank(px(85), py(95))) << "the invisible top edge";
  EXPECT_TRUE(wire->blank(px(85), py(60))) << "inside, not shaded";

  fs::path file = outDir() / "faces-shaded.png";
  std::wstring error;
  ASSERT_TRUE(host::renderViewToPng(db, file, 800, 600, {0, 0, 1}, true, error)) << os::toUtf8(error);
  Picture shaded(file);
  ASSERT_TRUE(shaded.ok());
  EXPECT_GT(shaded.count(px(60), py(85), px(110), py(35), {180, 0, 0}), (px(110) - px(60)) * (py(35) - py(85)) / 2)
      << "filled";
}

TEST(Render, EmptyDrawingGivesABlankPicture) {
  Database db;
  auto pic = render(db, "empty", 320, 200);
  ASSERT_TRUE(pic->ok());
  EXPECT_EQ(pic->count(0, 0, 319, 199, host::kRenderBackground), 320 * 200);
}

// The directive in a script: the default size, a size given, and the errors.
TEST(Render, DirectiveRendersTheCurrentDrawing) {
  ed::resetEditor();
  host::registerHostDirectives();
  buildDrawing(*ed::curDatabase());
  fs::path dir = outDir() / "带 空格";
  fs::create_directories(dir);
  auto run = [](const std::wstring& script) {
    std::vector<ed::InputToken> t;
    host::ScriptError err;
    EXPECT_TRUE(host::parseScript(script, t, err)) << os::toUtf8(err.text());
    return host::runTokens(t);
  };
  std::wstring a = L"\"" + os::fromUtf8((dir / "默认.png").string()) + L"\"";
  std::wstring b = L"\"" + os::fromUtf8((dir / "small.png").string()) + L"\"";
  auto errors = run(L".render " + a + L"\n.render " + b + L" 400 300\n");
  ASSERT_TRUE(errors.empty()) << os::toUtf8(errors[0].text());
  Picture big(dir / "默认.png"), small(dir / "small.png");
  EXPECT_EQ(big.width(), host::kRenderDefaultWidth);
  EXPECT_EQ(big.height(), host::kRenderDefaultHeight);
  EXPECT_EQ(small.width(), 400);
  EXPECT_EQ(small.height(), 300);

  struct Case {
    std::wstring line;
    const wchar_t* fragment;
  };
  const Case cases[] = {
      {L".render /no-such-folder/x.png", L"the folder /no-such-folder does not exist"},
      {L".render " + b + L" 400", L".render needs: PATH [WIDTH HEIGHT]"},
      {L".render " + b + L" 0 300", L"is not two whole numbers from 1 to 16384"},
      {L".render " + b + L" 400 abc", L"is not two whole numbers"},
      {L".render " + b + L" 99999 300", L"is not two whole numbers"},
      {L".render " + b + L" 400 300 1,1", L".render needs: PATH [WIDTH HEIGHT] [x1,y1 x2,y2]"},
      {L".render " + b + L" 1,x 5,5", L"the window \"1,x 5,5\" is not two points x,y"},
      {L".render " + b + L" 400 300 1,1 1,5", L"the window has no width or no height"},
  };
  for (const auto& c : cases) {
    errors = run(c.line + L"\n.echo after\n");
    ASSERT_EQ(errors.size(), 1u) << os::toUtf8(c.line);
    EXPECT_EQ(errors[0].line, 1);
    EXPECT_NE(errors[0].message.find(c.fragment), std::wstring::npos) << os::toUtf8(errors[0].message);
  }
  EXPECT_FALSE(fs::exists("/no-such-folder"));
}

// A window shows only its part of the drawing, filling the picture: here
// the blue circle (centre 150,110, radius 20) of a window 120,80 - 180,140,
// 400/60 pixels a unit, in either corner order; nothing outside it shows.
TEST(Render, AWindowShowsItsPartOfTheDrawing) {
  ed::resetEditor();
  host::registerHostDirectives();
  buildDrawing(*ed::curDatabase());
  fs::path dir = outDir() / "window";
  fs::create_directories(dir);
  for (const char* corners : {"120,80 180,140", "180,140 120,80"}) {
    SCOPED_TRACE(corners);
    std::vector<ed::InputToken> t;
    host::ScriptError err;
    std::wstring line = L".render " + os::fromUtf8((dir / "circle.png").string()) + L" 400 400 " +
                        os::fromUtf8(corners) + L"\n";
    ASSERT_TRUE(host::parseScript(line, t, err)) << os::toUtf8(err.text());
    auto errors = host::runTokens(t);
    ASSERT_TRUE(errors.empty()) << os::toUtf8(errors[0].text());
    Picture pic(dir / "circle.png");
    ASSERT_TRUE(pic.ok());
    EXPECT_EQ(pic.width(), 400);
    EXPECT_TRUE(pic.near(333, 200, kBlue)) << "the circle's east point";
    EXPECT_TRUE(pic.near(200, 67, kBlue)) << "its north point";
    EXPECT_TRUE(pic.blank(200, 200)) << "its centre";
    EXPECT_EQ(pic.count(0, 0, 399, 399, kRed), 0) << "the red line lies outside";
    EXPECT_EQ(pic.count(0, 0, 399, 399, kWhite), 0) << "so does the frame";
  }
}

// The built cadhost renders a floor drawing of the demo project.
TEST(Render, CadhostRendersTheDemoFloorDrawing) {
  fs::path dir = outDir() / "cadhost";
  fs::remove_all(dir);
  fs::create_directories(dir);
  fs::copy_file(fs::path(KIV_SOURCE_DIR) / "demo" / "projects" / "示例工程" / "1层.DWG", dir / "1层.DWG");
  {
    std::ofstream s(dir / "render.scr");
    s << ".render " << (dir / "1层.png").string() << " 800 600\n";
  }
  std::string cmd = std::string(KIV_BINARY_DIR) + "/bin/cadhost --drawing \"" + (dir / "1层.DWG").string() +
                    "\" --script \"" + (dir / "render.scr").string() + "\" > \"" + (dir / "out.txt").string() +
                    "\" 2>&1";
  int rc = std::system(cmd.c_str());
  std::ifstream out(dir / "out.txt");
  std::stringstream text;
  text << out.rdbuf();
  ASSERT_EQ(rc, 0) << text.str();
  Picture pic(dir / "1层.png");
  ASSERT_TRUE(pic.ok());
  EXPECT_EQ(pic.width(), 800);
  EXPECT_EQ(pic.height(), 600);
  // The floor fills the picture: much is drawn, the margin stays clear.
  int drawn = 800 * 600 - pic.count(0, 0, 799, 599, host::kRenderBackground);
  EXPECT_GT(drawn, 800 * 600 / 50);
  EXPECT_EQ(pic.count(0, 0, 799, 15, host::kRenderBackground), 800 * 16);
}

}  // namespace
