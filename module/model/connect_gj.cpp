// Connecting components with a run (see connect_gj.h).
#include "module/model/connect_gj.h"

#include <cmath>
#include <cwchar>
#include <cwctype>
#include <vector>

#include "module/model/current_gj.h"
#include "module/model/draw_engine.h"
#include "module/model/linear_entities.h"
#include "module/model/picking.h"
#include "module/model/point_steps.h"
#include "module/model/project_tables.h"
#include "module/model/records.h"
#include "module/model/special_data.h"
#include "module/model/seams.h"
#include "module/toolkit/offset_input.h"
#include "module/toolkit/window_lib.h"
#include "module/toolkit/collect.h"
#include "module/toolkit/entities.h"
#include "module/toolkit/strings.h"
#include "platform/cad/entities.h"
#include "platform/cad/object.h"
#include "platform/editor/cmdline.h"
#include "platform/editor/document.h"
#include "platform/editor/prompts.h"
#include "platform/editor/status.h"
#include "platform/editor/winmsg.h"

namespace {

using geom::Point3d;

constexpr int kNodeComponent = 1;
constexpr int kNodePoint = 2;
constexpr int kNodeFixture = 10;
constexpr double kFixtureGap = 15;

struct Node {
  Point3d point;
  int kind = kNodePoint;
  cad::ObjectIdArray ids;
};

struct Connect {
  std::wstring category, name, number;
  std::wstring numberText;  // the window's number buffer
  double elevation = 0;     // E
  int riserSwitch = 1;
  int screenX = 0, screenY = 0;
  GjSegmentArray segments;  // existing risers and sloped runs of this system
  // Per open leg: its transaction and the segment list before it.
  std::vector<GjSegmentArray> legLog;
  std::vector<Node> nodes;
  StringArray fixtureLayers;
};

cad::TransactionManager* transactions() {
  ed::Document* doc = ed::curDoc();
  return doc ? doc->transactionManager() : nullptr;
}

bool isSegmentKind(const std::wstring& kind) {
  return kind == kGjKindSloped || kind == kGjKindRiser || kind == kGjKindThrough;
}

// The risers and runs of the same component name and number already drawn.
void collectSegments(Connect& c) {
  cad::ObjectIdArray ids;
  CollectIdsByLayerAndNumber(c.name, c.number, ids, nullptr);
  for (cad::ObjectId id : ids) {
    std::wstring kind;
    GetGjSpecial(id, &kind, nullptr, nullptr);
    Point3d s, e;
    if (isSegmentKind(kind) && GetGjEndPoints3d(id, s, e)) c.segments.emplace_back(id, s, e, L"", L"");
  }
}

double initialElevation(const std::wstring& number) {
  const std::wstring value = GetAttrValue(GetGjParamLines(g_curLineGj, number), L"底标高");
  if (value == L"层高") return g_floorHeight;
  wchar_t* end = nullptr;
  const double v = std::wcstod(value.c_str(), &end);
  return end == value.c_str() ? 0 : v;
}

void readWindow(Connect& c, int x, int y) {
  winlib::LayServicePipe(2, x, y, c.elevation, nullptr, nullptr, c.numberText, c.riserSwitch);
}

void endLegs(Connect& c) {
  cad::TransactionManager* tm = transactions();
  for (; !c.legLog.empty(); c.legLog.pop_back())
    if (tm && tm->numActiveTransactions() > 0) tm->endTransaction();
}

// A component picked as a node: the first primary entity must be a block
// reference; its elevation is the node's z and becomes E.
bool nodeFromPick(Connect& c, const cad::ObjectIdArray& picked, Node& node) {
  HighlightEntities(picked, 1);
  cad::ObjectIdArray primary;
  FilterPrimaryGjIds(primary, picked);
  std::wstring layer;
  Point3d at;
  if (!primary.empty()) {
    cad::ObjectPtr<cad::BlockReference> ref(primary[0], cad::OpenMode::ForRead);
    if (ref) {
      at = ref->position();
      layer = ref->layer();
    } else {
      primary.clear();
    }
  }
  if (primary.empty()) {
    HighlightEntities(picked, 0);
    ed::print(L"\n所选构件不是点状构件，请重新选择。");
    return false;
  }
  double elev = 0;
  GetPointGjSpecial(primary[0], nullptr, &elev, nullptr);
  node.point = Point3d(at.x, at.y, elev);
  node.kind = TStrsIndexOf(c.fixtureLayers, layer) >= 0 ? kNodeFixture : kNodeComponent;
  node.ids = picked;
  c.elevation = elev;
  return true;
}

void makeSegment(Connect& c, const std::wstring& number, const Point3d& s, const Point3d& e, int vertical) {
  if (!g_createGjCb) return;
  const cad::ObjectId id = g_createGjCb(c.name, number, s, e, 0, vertical);
  if (g_decorateGjCb) g_decorateGjCb(c.name, id);
  RefreshSolid3dOfEntity(c.name, id, ed::curDatabase());
  if (vertical && !id.isNull()) c.segments.emplace_back(id, s, e, L"", L"");
}

void makeRiser(Connect& c, const Point3d& at, double from, double to) {
  if (!c.riserSwitch || std::fabs(from - to) < 1) return;
  const Point3d s(at.x, at.y, from), e(at.x, at.y, to);
  if (!RemoveOverlappedSegments(c.segments, s, e)) return;
  makeSegment(c, c.numberText, s, e, 1);
}

void makeLeg(Connect& c, const Node& from, const Node& to) {
  if (cad::TransactionManager* tm = transactions()) tm->startTransaction();
  c.legLog.push_back(c.segments);
  geom::Vector3d d(to.point.x - from.point.x, to.point.y - from.point.y, 0);
  const double length = d.length();
  if (length > 0) d = d * (1 / length);
  Point3d a(from.point.x, from.point.y, 0), b(to.point.x, to.point.y, 0);
  if (from.kind == kNodeFixture) a = a + d * kFixtureGap;
  if (to.kind == kNodeFixture) b = b - d * kFixtureGap;
  makeRiser(c, a, from.point.z, c.elevation);
  if (Point3d(a.x, a.y, 0).distanceTo(Point3d(b.x, b.y, 0)) >= 1)
    makeSegment(c, c.number, Point3d(a.x, a.y, c.elevation), Point3d(b.x, b.y, c.elevation), 0);
  makeRiser(c, b, c.elevation, to.point.z);
}

// "U": takes back the newest leg. True when the run ends (only the first
// node was left).
bool undoLeg(Connect& c) {
  if (!c.legLog.empty()) {
    if (cad::TransactionManager* tm = transactions(); tm && tm->numActiveTransactions() > 0) tm->abortTransaction();
    c.segments = std::move(c.legLog.back());
    c.legLog.pop_back();
  }
  if (c.nodes.size() <= 1) {
    if (!c.nodes.empty()) HighlightEntities(c.nodes.back().ids, 0);
    c.nodes.clear();
    return true;
  }
  HighlightEntities(c.nodes.back().ids, 0);
  c.nodes.pop_back();
  HighlightEntities(c.nodes.back().ids, 1);
  return false;
}

std::wstring upperWord() {
  std::wstring word;
  if (ed::getInput(word) != ed::kNormal) return {};
  for (auto& ch : word) ch = wchar_t(std::towupper(ch));
  return word;
}

enum class Ask { Node, Again, EndRun, EndCommand };

// One node prompt: the first (no previous node) or a next one.
Ask askNode(Connect& c, const std::wstring& types, Node& node) {
  const bool first = c.nodes.empty();
  ed::initGet(0, first ? L"P" : L"P U");
  cad::ObjectIdArray gjIds, sameIds, layerIds;
  Point3d at;
  const int rc = PickGj(types, gjIds, sameIds, layerIds, at,
                        first ? L"\n选择第一个构件[指定一个点(P)]:" : L"\n选择下一个构件[指定一个点(P)/回退(U)]:", false);
  if (rc == ed::kNormal) return nodeFromPick(c, gjIds, node) ? Ask::Node : Ask::Again;
  if (rc == ed::kCancel) return first ? Ask::EndCommand : Ask::EndRun;
  if (rc != ed::kKeyword) return Ask::Again;
  const std::wstring word = upperWord();
  if (word == L"U" && !first) return undoLeg(c) ? Ask::EndRun : Ask::Again;
  if (word != L"P") return Ask::Again;
  for (;;) {
    ed::initGet(0, L"G");
    Point3d p;
    const Point3d base = first ? Point3d() : Point3d(c.nodes.back().point.x, c.nodes.back().point.y, 0);
    const int prc = ed::getPoint(first ? nullptr : &base,
                                 first ? L"\n指定基点[选择第一个构件(G)]:" : L"\n指定基点[选择下一个构件(G)]:", p);
    if (prc == ed::kNormal) {
      readWindow(c, c.screenX, c.screenY);
      node.point = Point3d(p.x, p.y, c.elevation);
      node.kind = kNodePoint;
      node.ids.clear();
      return Ask::Node;
    }
    if (prc == ed::kKeyword) {
      if (upperWord() == L"G") return Ask::Again;
      continue;
    }
    // Escape or Enter at the point: back to the node prompt (the first
    // node's point prompt ends the command, as its pick prompt does).
    return first ? Ask::EndCommand : Ask::Again;
  }
}

}  // namespace

void ConnectGjByPipe(const std::wstring& types) {
  Connect c;
  c.category = winlib::CmbGetName(winlib::kComboCategory);
  c.name = winlib::CmbGetName(winlib::kComboName);
  c.number = winlib::CmbGetName(winlib::kComboNumber);
  c.numberText = c.number;
  SplitToArray(kFixtureLayers, L",", c.fixtureLayers);
  LoadCurGjDefine();
  collectSegments(c);
  PrepareGjLayers(c.name, g_curLineGj, ed::curDatabase());
  GetDrawingViewOrigin(c.screenX, c.screenY);
  c.elevation = initialElevation(c.number);
  winlib::LayServicePipe(1, c.screenX, c.screenY, c.elevation, c.category.c_str(), c.name.c_str(), c.numberText,
                         c.riserSwitch);
  FocusDrawingView();
  ed::registerFilterWinMsg(SwallowRightClick);

  for (bool running = true; running;) {
    Node node;
    switch (askNode(c, types, node)) {
      case Ask::Again:
        continue;
      case Ask::EndCommand:
        running = false;
        continue;
      case Ask::EndRun:
        if (!c.nodes.empty()) HighlightEntities(c.nodes.back().ids, 0);
        c.nodes.clear();
        endLegs(c);
        continue;
      case Ask::Node:
        break;
    }
    if (c.nodes.empty()) {
      c.nodes.push_back(node);
      continue;
    }
    HighlightEntities(c.nodes.back().ids, 0);
    c.number = winlib::CmbGetName(winlib::kComboNumber);
    c.numberText = c.number;
    readWindow(c, 0, 0);
    makeLeg(c, c.nodes.back(), node);
    c.nodes.push_back(node);
  }

  ed::removeFilterWinMsg(SwallowRightClick);
  if (!c.nodes.empty()) HighlightEntities(c.nodes.back().ids, 0);
  endLegs(c);
  std::wstring none;
  winlib::LayServicePipe(4, 0, 0, c.elevation, nullptr, nullptr, none, c.riserSwitch);
}
