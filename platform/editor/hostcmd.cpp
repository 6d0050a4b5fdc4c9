#include "platform/editor/hostcmd.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <cwctype>
#include <numbers>

#include "platform/cad/database.h"
#include "platform/editor/cmdline.h"
#include "platform/editor/commands.h"
#include "platform/editor/detail.h"
#include "platform/editor/document.h"
#include "platform/editor/prompts.h"
#include "platform/os/os.h"

namespace ed {

namespace {

using geom::Point3d;
using geom::Vector3d;

struct HostState {
  ViewState view;
  std::vector<ViewState> zoomHistory;
  std::vector<cad::ObjectId> order;
  std::vector<ImageAttachment> images;
};

HostState& hs() {
  static HostState s;
  return s;
}

// Reads the objects of a "select objects" prompt (picks, windows, a set
// passed as an argument) until Enter. kNormal with at least one object.
int selectObjects(std::vector<cad::ObjectId>& ids) {
  SelSet ss = 0;
  int r = ssGetWithPrompts(L"", L"\n选择对象: ", L"\n删除对象: ", {}, ss);
  if (r != kNormal) return r;
  ids = ssIds(ss);
  ssFree(ss);
  return kNormal;
}

cad::Status appendEntity(std::unique_ptr<cad::Entity> ent, cad::ObjectId* id = nullptr) {
  cad::Database* db = curDatabase();
  if (!db) return cad::Status::NullObjectId;
  return db->appendToModelSpace(std::move(ent), id);
}

bool transformAll(const std::vector<cad::ObjectId>& ids, const geom::Matrix3d& m) {
  bool all = true;
  for (auto id : ids) {
    cad::ObjectPtr<cad::Entity> ent(id, cad::OpenMode::ForWrite);
    if (!ent || ent->transformBy(m) != cad::Status::Ok) all = false;
  }
  if (!all) printText(L"\n有对象无法修改 (在锁定的图层上)。");
  return all;
}

// ---------------------------------------------------------------------------

void cmdQsave() {
  if (quickSave() != kNormal) failActiveCommand(L"QSAVE: 无法保存图形");
}

void cmdLine() {
  Point3d a;
  if (getPoint(nullptr, L"\n指定第一个点:", a) != kNormal) return;
  for (;;) {
    Point3d b;
    initGet(0, L"Undo _Undo");
    int r = getPoint(&a, L"\n指定下一点或 [放弃(U)]:", b);
    if (r != kNormal) return;
    appendEntity(std::make_unique<cad::Line>(a, b));
    a = b;
  }
}

void cmdCircle() {
  Point3d c;
  if (getPoint(nullptr, L"\n指定圆的圆心:", c) != kNormal) return;
  double r = 0;
  initGet(kNoZero | kNoNegative | kNoNull);
  if (getDist(&c, L"\n指定圆的半径:", r) != kNormal) return;
  appendEntity(std::make_unique<cad::Circle>(c, Vector3d(0, 0, 1), r));
}

void cmdErase() {
  std::vector<cad::ObjectId> ids;
  if (selectObjects(ids) != kNormal) return;
  for (auto id : ids) {
    cad::ObjectPtr<cad::Entity> ent(id, cad::OpenMode::ForWrite);
    if (ent) ent->erase();
  }
}

// ARC through three points.
void cmdArc() {
  Point3d p1, p2, p3;
  if (getPoint(nullptr, L"\n指定圆弧的起点:", p1) != kNormal) return;
  if (getPoint(&p1, L"\n指定圆弧的第二个点:", p2) != kNormal) return;
  if (getPoint(&p2, L"\n指定圆弧的端点:", p3) != kNormal) return;
  double ax = p1.x, ay = p1.y, bx = p2.x, by = p2.y, cx = p3.x, cy = p3.y;
  double d = 2 * (ax * (by - cy) + bx * (cy - ay) + cx * (ay - by));
  if (std::fabs(d) < 1e-12) {
    printText(L"\n三点共线，无法画弧。");
    failActiveCommand(L"ARC: 三点共线");
    return;
  }
  double ux = ((ax * ax + ay * ay) * (by - cy) + (bx * bx + by * by) * (cy - ay) + (cx * cx + cy * cy) * (ay - by)) / d;
  double uy = ((ax * ax + ay * ay) * (cx - bx) + (bx * bx + by * by) * (ax - cx) + (cx * cx + cy * cy) * (bx - ax)) / d;
  Point3d c(ux, uy, p1.z);
  double r = std::hypot(ax - ux, ay - uy);
  double a1 = std::atan2(ay - uy, ax - ux), a3 = std::atan2(cy - uy, cx - ux);
  bool ccw = (bx - ax) * (cy - ay) - (by - ay) * (cx - ax) > 0;
  auto arc = ccw ? std::make_unique<cad::Arc>(c, r, a1, a3) : std::make_unique<cad::Arc>(c, r, a3, a1);
  appendEntity(std::move(arc));
}

void cmdRotate() {
  std::vector<cad::ObjectId> ids;
  if (selectObjects(ids) != kNormal) return;
  Point3d base;
  if (getPoint(nullptr, L"\n指定基点:", base) != kNormal) return;
  double angle = 0;
  if (getAngle(&base, L"\n指定旋转角度:", angle) != kNormal) return;
  transformAll(ids, geom::Matrix3d::rotation(angle, Vector3d(0, 0, 1), base));
}

void cmdScale() {
  std::vector<cad::ObjectId> ids;
  if (selectObjects(ids) != kNormal) return;
  Point3d base;
  if (getPoint(nullptr, L"\n指定基点:", base) != kNormal) return;
  double factor = 0;
  initGet(kNoZero | kNoNegative, L"Reference _Reference");
  int r = getDist(&base, L"\n指定比例因子或 [参照(R)]:", factor);
  if (r == kKeyword) {
    double ref = 0, now = 0;
    initGet(kNoZero | kNoNegative | kNoNull);
    if (getDist(nullptr, L"\n指定参照长度 <1>:", ref) != kNormal) return;
    initGet(kNoZero | kNoNegative | kNoNull);
    if (getDist(nullptr, L"\n指定新的长度:", now) != kNormal) return;
    factor = now / ref;
  } else if (r != kNormal) {
    return;
  }
  if (!(factor > 0)) {
    printText(L"\n比例因子必须为正。");
    return;
  }
  transformAll(ids, geom::Matrix3d::scaling(factor, base));
}

void cmdArray() {
  std::vector<cad::ObjectId> ids;
  if (selectObjects(ids) != kNormal) return;
  std::wstring kind;
  initGet(0, L"Rectangular Polar _Rectangular Polar");
  int r = getKeyword(L"\n输入阵列类型 [矩形(R)/环形(P)] <R>:", kind);
  if (r == kCancel) return;
  if (kind != L"Polar") {
    printText(L"\n只支持环形阵列。");
    failActiveCommand(L"-ARRAY: 只支持环形阵列");
    return;
  }
  Point3d center;
  if (getPoint(nullptr, L"\n指定阵列的中心点:", center) != kNormal) return;
  int n = 0;
  initGet(kNoZero | kNoNegative | kNoNull);
  if (getInt(L"\n输入阵列中项目的数目:", n) != kNormal) return;
  double fill = 360;
  initGet(kNoZero);
  r = getReal(L"\n指定填充角度(+=逆时针, -=顺时针) <360>:", fill);
  if (r == kCancel) return;
  std::wstring rot = L"Yes";
  initGet(0, L"Yes No _Yes No");
  r = getKeyword(L"\n是否旋转阵列中的对象? [是(Y)/否(N)] <Y>:", rot);
  if (r == kCancel) return;
  if (r == kNone) rot = L"Yes";
  if (n < 2) return;
  double step = std::fabs(std::fabs(fill) - 360) < 1e-9 ? fill / n : fill / (n - 1);
  for (int i = 1; i < n; ++i) {
    double a = step * i * std::numbers::pi / 180;
    geom::Matrix3d m = geom::Matrix3d::rotation(a, Vector3d(0, 0, 1), center);
    for (auto id : ids) {
      cad::ObjectPtr<cad::Entity> src(id, cad::OpenMode::ForRead);
      if (!src) continue;
      auto copy = src->clone();
      src.close();
      auto* ent = dynamic_cast<cad::Entity*>(copy.get());
      if (!ent) continue;
      if (rot == L"Yes") {
        ent->transformBy(m);
      } else {
        Point3d ref = detail::entityReferencePoint(id);
        Point3d moved = m * ref;
        ent->transformBy(geom::Matrix3d::translation(moved - ref));
      }
      copy.release();
      appendEntity(std::unique_ptr<cad::Entity>(ent));
    }
  }
}

void cmdDraworder() {
  std::vector<cad::ObjectId> ids;
  if (selectObjects(ids) != kNormal) return;
  std::wstring opt;
  initGet(0, L"Above Under Front Back _Above Under Front Back");
  int r = getKeyword(L"\n输入对象排序选项 [对象上(A)/对象下(U)/最前(F)/最后(B)] <最后>:", opt);
  if (r == kCancel) return;
  if (r == kNone) opt = L"Back";
  auto& order = hs().order;
  order = drawOrder();
  for (auto id : ids) order.erase(std::remove(order.begin(), order.end(), id), order.end());
  if (opt == L"Front" || opt == L"Above") order.insert(order.end(), ids.begin(), ids.end());
  else order.insert(order.begin(), ids.begin(), ids.end());
}

void zoomTo(const Point3d& a, const Point3d& b) {
  auto& v = hs().view;
  hs().zoomHistory.push_back(v);
  v.min = Point3d(std::min(a.x, b.x), std::min(a.y, b.y), std::min(a.z, b.z));
  v.max = Point3d(std::max(a.x, b.x), std::max(a.y, b.y), std::max(a.z, b.z));
  ++v.zoomCount;
}

void cmdZoom() {
  std::wstring opt;
  Point3d p;
  initGet(0, L"All Center Dynamic Extents Previous Scale Window Object _All Center Dynamic Extents Previous Scale Window Object");
  int r = getPoint(nullptr, L"\n指定窗口的角点，输入比例因子 (nX 或 nXP)，或者\n[全部(A)/中心(C)/动态(D)/范围(E)/上一个(P)/比例(S)/窗口(W)/对象(O)] <实时>:", p);
  if (r == kCancel || r == kNone) return;
  if (r == kNormal) {
    Point3d q;
    if (getCorner(p, L"\n指定对角点:", q) != kNormal) return;
    zoomTo(p, q);
    return;
  }
  getInput(opt);
  if (opt == L"Extents" || opt == L"All") {
    cad::Extents3d ext;
    if (cad::Database* db = curDatabase())
      for (auto id : db->modelSpaceEntities()) {
        cad::ObjectPtr<cad::Entity> ent(id, cad::OpenMode::ForRead);
        cad::Extents3d e;
        if (ent && ent->getGeomExtents(e) == cad::Status::Ok) ext.add(e);
      }
    if (ext.isValid()) zoomTo(ext.minPoint, ext.maxPoint);
    else ++hs().view.zoomCount;
  } else if (opt == L"Previous") {
    if (hs().zoomHistory.empty()) {
      printText(L"\n没有上一个视图。");
      return;
    }
    int count = hs().view.zoomCount;
    hs().view = hs().zoomHistory.back();
    hs().view.zoomCount = count + 1;
    hs().zoomHistory.pop_back();
  } else if (opt == L"Window") {
    Point3d a, b;
    if (getPoint(nullptr, L"\n指定第一个角点:", a) != kNormal) return;
    if (getCorner(a, L"\n指定对角点:", b) != kNormal) return;
    zoomTo(a, b);
  } else {
    ++hs().view.zoomCount;  // other options change nothing we keep
  }
}

void cmdImage() {
  std::wstring opt;
  initGet(0, L"? Detach Path Reload Unload Attach _? Detach Path Reload Unload Attach");
  int r = getKeyword(L"\n输入图像选项 [?/拆离(D)/路径(P)/重载(R)/卸载(U)/附着(A)] <附着>:", opt);
  if (r == kCancel) return;
  if (r == kNone) opt = L"Attach";
  if (opt != L"Attach") {
    printText(L"\n只支持附着。");
    return;
  }
  std::wstring path;
  if (getString(true, L"\n输入要附着的图像文件路径:", path) != kNormal || path.empty()) return;
  if (path.size() >= 2 && path.front() == L'"' && path.back() == L'"') path = path.substr(1, path.size() - 2);
  Point3d at;
  if (getPoint(nullptr, L"\n指定插入点 <0,0>:", at) != kNormal) return;
  double width = 1;
  initGet(kNoZero | kNoNegative);
  r = getDist(&at, L"\n指定缩放比例因子 <1>:", width);
  if (r == kCancel) return;
  if (r == kNone) width = 1;
  double angle = 0;
  r = getAngle(&at, L"\n指定旋转角度 <0>:", angle);
  if (r == kCancel) return;
  cad::Database* db = curDatabase();
  auto def = std::make_unique<cad::RasterImageDef>();
  def->setSourceFileName(path);
  def->load();
  cad::ObjectId defId;
  {
    // Image definitions live in the "ACAD_IMAGE_DICT" dictionary.
    cad::ObjectPtr<cad::Dictionary> nod(db->namedObjectsDictionaryId(), cad::OpenMode::ForWrite);
    if (!nod) {
      failActiveCommand(L"IMAGE: 无法打开命名对象字典");
      return;
    }
    cad::ObjectId dictId = nod->getAt(L"ACAD_IMAGE_DICT");
    if (!dictId) nod->setAt(L"ACAD_IMAGE_DICT", std::make_unique<cad::Dictionary>(), &dictId);
    nod.close();
    cad::ObjectPtr<cad::Dictionary> dict(dictId, cad::OpenMode::ForWrite);
    std::wstring key = os::fromUtf8(std::filesystem::path(os::toUtf8(path)).stem().string());
    if (key.empty()) key = L"IMAGE";
    std::wstring k = key;
    for (int i = 1; dict && dict->has(k); ++i) k = key + L"_" + std::to_wstring(i);
    if (!dict || dict->setAt(k, std::move(def), &defId) != cad::Status::Ok) {
      failActiveCommand(L"IMAGE: 无法加入图像定义");
      return;
    }
  }
  double aspect = 1;
  {
    cad::ObjectPtr<cad::RasterImageDef> d(defId, cad::OpenMode::ForRead);
    if (d && d->size().x > 0) aspect = d->size().y / d->size().x;
  }
  auto img = std::make_unique<cad::RasterImage>();
  img->setImageDefId(defId);
  img->place(at, width, width * aspect);
  if (angle != 0) img->transformBy(geom::Matrix3d::rotation(angle, Vector3d(0, 0, 1), at));
  cad::ObjectId imgId;
  if (appendEntity(std::move(img), &imgId) != cad::Status::Ok) {
    failActiveCommand(L"IMAGE: 无法加入图像");
    return;
  }
  hs().images.push_back({defId, imgId, path});
}

void cmdVpoint() {
  Point3d p;
  initGet(0, L"Rotate _Rotate");
  int r = getPoint(nullptr, L"\n指定视点或 [旋转(R)] <显示指南针和三轴架>:", p);
  if (r != kNormal) return;
  Vector3d v(p.x, p.y, p.z);
  if (v.isZeroLength()) return;
  hs().view.viewDir = v.normal();
  hs().view.namedView.clear();
}

void cmdView() {
  std::wstring opt;
  if (getString(false, L"\n输入选项 [?/删除(D)/正交(O)/恢复(R)/保存(S)/设置(E)/窗口(W)]:", opt) != kNormal) return;
  std::wstring o = os::toLower(opt);
  while (!o.empty() && o[0] == L'_') o.erase(0, 1);
  static const std::pair<const wchar_t*, Vector3d> presets[] = {
      {L"top", {0, 0, 1}},      {L"bottom", {0, 0, -1}},  {L"left", {-1, 0, 0}},    {L"right", {1, 0, 0}},
      {L"front", {0, -1, 0}},   {L"back", {0, 1, 0}},     {L"swiso", {-1, -1, 1}},  {L"seiso", {1, -1, 1}},
      {L"neiso", {1, 1, 1}},    {L"nwiso", {-1, 1, 1}},
  };
  for (const auto& [name, dir] : presets)
    if (o == name) {
      hs().view.viewDir = dir.normal();
      hs().view.namedView = L"_" + o;
      return;
    }
  printText(L"\n无效选项。");
}

void cmdShademode() {
  std::wstring opt;
  initGet(0, L"2D 3D Wireframe Hidden Flat Gouraud fLat+edges gOuraud+edges _2D 3D Wireframe Hidden Flat Gouraud fLat+edges gOuraud+edges");
  int r = getKeyword(L"\n输入选项 [二维线框(2D)/三维线框(3D)/消隐(H)/平面着色(F)/体着色(G)/带边框平面着色(L)/带边框体着色(O)] <二维线框>:", opt);
  if (r == kCancel) return;
  if (r == kNone) return;
  static const std::pair<const wchar_t*, const wchar_t*> codes[] = {
      {L"2D", L"2D"}, {L"3D", L"3D"}, {L"Wireframe", L"3D"}, {L"Hidden", L"H"}, {L"Flat", L"F"},
      {L"Gouraud", L"G"}, {L"fLat+edges", L"L"}, {L"gOuraud+edges", L"O"}};
  for (const auto& [k, v] : codes)
    if (opt == k) hs().view.shadeMode = v;
}

// Turns an argument into the input token a prompt reads.
InputToken argToken(const CmdArg& a) {
  InputToken t;
  switch (a.kind) {
    case CmdArg::Str:
      if (a.str.empty()) t.kind = TokenKind::Enter;
      else t.text = a.str;
      break;
    case CmdArg::Real:
      t.text = format(L"%.17g", a.real);
      break;
    case CmdArg::Int:
      t.text = std::to_wstring(a.integer);
      break;
    case CmdArg::Point:
      t.kind = TokenKind::Point;
      t.p1 = a.point;
      break;
    case CmdArg::Entity:
      t.kind = TokenKind::Pick;
      t.text = a.id.handle().text();
      break;
    case CmdArg::SelectionSet:
      t.kind = TokenKind::Directive;
      t.text = detail::kSelSetDirective;
      t.args = {std::to_wstring(a.ss)};
      break;
    case CmdArg::Pause:
      t.kind = TokenKind::Directive;
      t.text = detail::kPauseDirective;
      break;
  }
  return t;
}

}  // namespace

CmdArg::CmdArg(const wchar_t* s) : CmdArg(std::wstring(s ? s : L"")) {}
CmdArg::CmdArg(std::wstring s) : kind(Str), str(std::move(s)) {
  if (str == L"\\") kind = Pause;
}

int command(const std::vector<CmdArg>& args) {
  if (args.empty()) return kNormal;
  std::deque<InputToken> feed;
  for (size_t i = 1; i < args.size(); ++i) feed.push_back(argToken(args[i]));
  const CmdArg& first = args[0];
  if (first.kind == CmdArg::Pause) {
    // A lone pause waits for one input.
    auto t = nextInput();
    return t ? kNormal : kCancel;
  }
  if (first.kind != CmdArg::Str) return kError;
  detail::pushArgFeed(std::move(feed));
  size_t depth = detail::argFeedDepth();
  int r = detail::runCommandNested(first.str, true);
  // Arguments left over after the command ended start the next command.
  while (r == kNormal && detail::argFeedDepth() == depth) {
    auto t = detail::argFeedFront();
    if (!t) break;
    if (t->kind == TokenKind::Enter) continue;
    if (t->kind != TokenKind::Text) {
      r = kError;
      break;
    }
    r = detail::runCommandNested(t->text, true);
  }
  detail::popArgFeed();
  return r;
}

bool parseCommandExpr(const std::wstring& exprIn, std::vector<std::wstring>& out) {
  out.clear();
  std::wstring e = exprIn;
  size_t a = e.find_first_not_of(L" \t\r\n");
  size_t b = e.find_last_not_of(L" \t\r\n");
  if (a == std::wstring::npos || e[a] != L'(' || e[b] != L')') return false;
  e = e.substr(a + 1, b - a - 1);
  size_t i = 0;
  auto skip = [&] {
    while (i < e.size() && std::iswspace(e[i])) ++i;
  };
  skip();
  size_t w = i;
  while (i < e.size() && !std::iswspace(e[i]) && e[i] != L'"') ++i;
  if (os::toLower(e.substr(w, i - w)) != L"command") return false;
  for (;;) {
    skip();
    if (i >= e.size()) break;
    if (e[i] == L'"') {
      std::wstring s;
      ++i;
      while (i < e.size() && e[i] != L'"') {
        if (e[i] == L'\\' && i + 1 < e.size()) {
          ++i;
          s += e[i] == L'n' ? L'\n' : e[i];
        } else {
          s += e[i];
        }
        ++i;
      }
      if (i >= e.size()) return false;
      ++i;
      out.push_back(s);
    } else {
      size_t s0 = i;
      while (i < e.size() && !std::iswspace(e[i])) ++i;
      std::wstring atom = e.substr(s0, i - s0);
      if (os::toLower(atom) == L"pause") out.push_back(L"\\");
      else out.push_back(atom);
    }
  }
  return !out.empty();
}

int queueExpr(const std::wstring& expr) {
  std::vector<std::wstring> parts;
  if (!parseCommandExpr(expr, parts)) {
    printText(L"\n; 错误: 不支持的表达式 " + expr);
    return kError;
  }
  // The expression runs at the next prompt: its values go in front of the
  // queue, the command name first.
  auto& q = inputQueue();
  for (auto it = parts.rbegin(); it != parts.rend(); ++it) {
    InputToken t;
    if (it->empty()) t.kind = TokenKind::Enter;
    else t.text = *it;
    q.pushFront(std::move(t));
  }
  return kNormal;
}

void registerHostCommands() {
  auto& cs = commandStack();
  struct Def {
    const wchar_t* global;
    const wchar_t* local;
    int flags;
    void (*fn)();
  };
  static const Def defs[] = {
      {L"QSAVE", L"QSAVE", kCmdModal, cmdQsave},
      {L"LINE", L"LINE", kCmdModal, cmdLine},
      {L"CIRCLE", L"CIRCLE", kCmdModal, cmdCircle},
      {L"ERASE", L"ERASE", kCmdModal, cmdErase},
      {L"ARC", L"ARC", kCmdModal, cmdArc},
      {L"ROTATE", L"ROTATE", kCmdModal, cmdRotate},
      {L"SCALE", L"SCALE", kCmdModal, cmdScale},
      {L"-ARRAY", L"-ARRAY", kCmdModal, cmdArray},
      {L"DRAWORDER", L"DRAWORDER", kCmdModal, cmdDraworder},
      {L"ZOOM", L"ZOOM", kCmdTransparent, cmdZoom},
      {L"IMAGE", L"IMAGE", kCmdModal, cmdImage},
      {L"-IMAGE", L"-IMAGE", kCmdModal, cmdImage},
      {L"VPOINT", L"VPOINT", kCmdModal, cmdVpoint},
      {L"-VIEW", L"-VIEW", kCmdModal, cmdView},
      {L"SHADEMODE", L"SHADEMODE", kCmdModal, cmdShademode},
  };
  for (const auto& d : defs)
    if (!cs.lookupInGroup(L"ACAD", d.global)) cs.addCommand(L"ACAD", d.global, d.local, d.flags, d.fn);
}

const ViewState& viewState() { return hs().view; }
void resetViewState() { hs() = HostState{}; }

std::vector<cad::ObjectId> drawOrder() {
  // The order DRAWORDER left (live entities only), then entities it never
  // saw in model-space order: new entities are drawn on top.
  cad::Database* db = curDatabase();
  if (!db) return {};
  auto ms = db->modelSpaceEntities();
  std::vector<cad::ObjectId> out;
  for (auto id : hs().order)
    if (std::find(ms.begin(), ms.end(), id) != ms.end()) out.push_back(id);
  for (auto id : ms)
    if (std::find(out.begin(), out.end(), id) == out.end()) out.push_back(id);
  return out;
}

const std::vector<ImageAttachment>& imageAttachments() { return hs().images; }

int quickSave() {
  Document* doc = curDoc();
  std::wstring error;
  if (doc->fileName().empty()) {
    printText(L"\n图形未命名，无法快速保存。");
    return kError;
  }
  if (!docManager().saveDocument(doc, L"", error)) {
    printText(L"\n" + error);
    return kError;
  }
  return kNormal;
}

}  // namespace ed
