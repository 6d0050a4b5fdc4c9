// Drop joints: horizontal pipe runs at two elevations joined by a riser,
// either at a point of one run (split there into two pieces) or where two
// runs cross when extended (each cut back, extended or split there). Every
// change of one joint is one transaction; a cancelled joint leaves the
// drawing as it was.
#include <algorithm>
#include <cmath>
#include <cwctype>

#include "module/layout/command_frame.h"
#include "module/layout/layout_commands.h"
#include "module/layout/run_edit.h"
#include "module/model/picking.h"
#include "module/model/scope_guards.h"
#include "module/model/special_data.h"
#include "module/toolkit/entities.h"
#include "module/toolkit/layers.h"
#include "module/toolkit/offset_input.h"
#include "module/toolkit/suite_call.h"
#include "module/toolkit/vocabulary.h"
#include "module/toolkit/window_lib.h"
#include "module/toolkit/xdata.h"
#include "platform/cad/database.h"
#include "platform/cad/entities.h"
#include "platform/cad/object.h"
#include "platform/editor/cmdline.h"
#include "platform/editor/document.h"
#include "platform/editor/prompts.h"
#include "platform/editor/status.h"
#include "platform/suite/suite_abi.h"
#include "platform/ui/dialog.h"
#include "platform/ui/wnd.h"

namespace {

constexpr const wchar_t* kPickPrompt = L"\n请选择管道:";
constexpr const wchar_t* kOnlyHorizontal = L"此功能只支持水平构件";
constexpr const wchar_t* kNotSupported = L"此功能不支持您所选择的管道";
constexpr const wchar_t* kPointOffRun = L"所指定的扣管插入点不在选择的管道上";
constexpr const wchar_t* kPointAtEnd = L"扣管插入点太靠近管道端点，无法生成扣管";
constexpr const wchar_t* kOtherPipe = L"所选的管道不符，无法生成扣管";
constexpr const wchar_t* kEqualElevations = L"两段管标高相等，无法生成扣管";
constexpr const wchar_t* kParallel = L"管道平行，无法生成扣管";
constexpr const wchar_t* kNoName = L"\n没有指定构件名称，未生成扣管";
// A drop point farther than this from the run is not on it.
constexpr double kOnRunTolerance = 1.414;
// Pieces shorter than this would be taken for duplicates of the run.
constexpr double kShortestPiece = 3.0;
// Room for the name and number the selection window hands back.
constexpr size_t kDialogTextChars = 256;

cad::TransactionManager* transactions() {
  ed::Document* doc = ed::curDoc();
  return doc ? doc->transactionManager() : nullptr;
}

// One picked horizontal run.
struct JointRun {
  cad::ObjectIdArray ids;  // the pick, highlighted
  runedit::PickedRun picked;
  geom::Point3d s, e;  // plan ends
  double z = 0;
  std::wstring number, layer;
};

enum class Pick { Ok, Next, End };

// Picks a run and checks it: a horizontal straight two-point polyline.
Pick pickRun(const std::wstring& types, JointRun& run) {
  cad::ObjectIdArray sameNumber, onLayers;
  geom::Point3d at;
  if (PickGj(types, run.ids, sameNumber, onLayers, at, kPickPrompt, false) != ed::kNormal) {
    HighlightEntities(run.ids, 0);
    return Pick::End;
  }
  if (!runedit::SplitPicked(run.ids, at, run.picked)) {
    HighlightEntities(run.ids, 0);
    return Pick::End;
  }
  auto refuse = [&](const wchar_t* message) {
    if (message) ui::AfxMessageBox(message);
    HighlightEntities(run.ids, 0);
    return Pick::Next;
  };
  std::wstring kind;
  double z1 = 0, z2 = 0;
  GetGjSpecial(run.picked.run, &kind, &z1, &z2);
  if (kind != kGjKindSloped || std::fabs(z1 - z2) > 0.01) return refuse(kOnlyHorizontal);
  run.z = z1;
  {
    cad::ObjectPtr<cad::Entity> ent(run.picked.run, cad::OpenMode::ForRead);
    if (!ent) return refuse(nullptr);
    auto* poly = dynamic_cast<const cad::Polyline*>(ent.get());
    if (!poly) return refuse(nullptr);
    run.s = poly->startPoint();
    run.e = poly->endPoint();
    run.layer = ent->layer();
    // Arcs and runs of several points would lose their shape in straight pieces.
    if (poly->bulgeAt(0) != 0 || poly->numVerts() != 2) return refuse(kNotSupported);
  }
  StringArray attrs;
  GetGjNumberAndAttrs(run.picked.run, run.number, attrs);
  return Pick::Ok;
}

// The drop-point prompt, with every entity snapping and the snap monitor of
// the run types installed for it alone.
int askDropPoint(const std::wstring& types, geom::Point3d& point) {
  const int savedSnap = g_inputSnapPart;
  g_inputSnapPart = 0;
  auto* monitor = new CAcEdInputPointMonitor;
  monitor->SetLayers(types, 1);
  ed::InputPointManager& ipm = ed::curDoc()->inputPointManager();
  ipm.addPointMonitor(monitor);
  ScopeExit restore([&] {
    ipm.removePointMonitor(monitor);
    delete monitor;
    if (savedSnap == 1) g_inputSnapPart = 1;
  });
  return GetPointWithOffset(L"\n指定扣弯点[选择第二个管道(D)]:", point, L"");
}

// An elevation: Enter takes the default; text that is no number asks again.
// False when cancelled.
bool askElevation(const wchar_t* format, double fallback, double& value) {
  const std::wstring prompt = ed::format(format, fallback);
  for (;;) {
    std::wstring text;
    if (ed::getString(false, prompt, text) != ed::kNormal) return false;
    if (text.empty()) {
      value = fallback;
      return true;
    }
    if (ed::parseReal(text, value)) return true;
    ed::print(L"\n需要数值。");
  }
}

bool askElevations(double first, double second, double& z1, double& z2,
                   cad::ObjectId pieceA = {}, cad::ObjectId pieceB = {}) {
  if (!pieceA.isNull()) HighlightEntity(pieceA, 1);
  if (!askElevation(L"\n请输入第一根管标高 <默认标高=%f>:", first, z1)) return false;
  if (!pieceA.isNull()) HighlightEntity(pieceA, 0);
  if (!pieceB.isNull()) HighlightEntity(pieceB, 1);
  const bool ok = askElevation(L"\n请输入第二根管标高 <默认标高=%f>:", second, z2);
  if (!pieceB.isNull()) HighlightEntity(pieceB, 0);
  return ok;
}

// The selection window: true when confirmed with a component name; name and
// number take what the window leaves in its buffers.
bool confirmJoint(std::wstring& name, std::wstring& number) {
  ui::Point corner{0, 0};
  if (ui::Wnd* view = ui::drawingView()) view->ClientToScreen(&corner);
  wchar_t nameBuf[kDialogTextChars] = {}, numberBuf[kDialogTextChars] = {};
  name.copy(nameBuf, kDialogTextChars - 1);
  number.copy(numberBuf, kDialogTextChars - 1);
  const int answer = SuiteCall<decltype(WinDll_SelectDuctPipe_W)>::call(
      SuiteModule::Window, "WinDll_SelectDuctPipe_W", 0, 1, int(corner.x), int(corner.y), nameBuf, numberBuf);
  nameBuf[kDialogTextChars - 1] = numberBuf[kDialogTextChars - 1] = L'\0';
  if (answer == 0) return false;
  if (nameBuf[0] == L'\0') {
    ed::print(kNoName);
    return false;
  }
  name = nameBuf;
  number = numberBuf;
  return true;
}

geom::Point3d at(const geom::Point3d& p, double z) { return {p.x, p.y, z}; }
double planDistance(const geom::Point3d& a, const geom::Point3d& b) { return std::hypot(a.x - b.x, a.y - b.y); }

// The riser between the two elevations at X (none when they are equal).
void addRiser(const std::wstring& name, const std::wstring& number, const geom::Point3d& x, double z1, double z2) {
  runedit::RemakeRun(g_createGjCb, g_decorateGjCb, name, number, at(x, z1), at(x, z2), 0, 1, {});
}

// Point mode: the run splits at the drop point into two pieces.
void pointJoint(JointRun& r1, const geom::Point3d& picked) {
  const geom::Vector3d d = r1.e - r1.s;
  const double len2 = d.x * d.x + d.y * d.y;
  double t = len2 > 0 ? ((picked.x - r1.s.x) * d.x + (picked.y - r1.s.y) * d.y) / len2 : 0;
  t = std::clamp(t, 0.0, 1.0);
  const geom::Point3d p(r1.s.x + t * d.x, r1.s.y + t * d.y, 0);
  if (planDistance(p, picked) > kOnRunTolerance) {
    ui::AfxMessageBox(kPointOffRun);
    HighlightEntities(r1.ids, 0);
    return;
  }
  if (planDistance(p, r1.s) < kShortestPiece || planDistance(p, r1.e) < kShortestPiece) {
    ui::AfxMessageBox(kPointAtEnd);
    HighlightEntities(r1.ids, 0);
    return;
  }
  HighlightEntities(r1.ids, 0);
  cad::TransactionManager* tm = transactions();
  if (!tm) return;
  cad::ObjectIdArray hidden = r1.picked.decorations;
  hidden.push_back(r1.picked.run);
  for (cad::ObjectId id : hidden) SetEntityVisible(id, 0);
  const runedit::CarriedData carried = runedit::CaptureCarriedData(r1.picked.run);

  // The two pieces are shown at the run's elevation while the user answers.
  tm->startTransaction();
  const cad::ObjectId a =
      runedit::RemakeRun(g_createGjCb, g_decorateGjCb, r1.layer, r1.number, at(r1.s, r1.z), at(p, r1.z), 0, 0, carried);
  const cad::ObjectId b =
      runedit::RemakeRun(g_createGjCb, g_decorateGjCb, r1.layer, r1.number, at(p, r1.z), at(r1.e, r1.z), 0, 0, carried);
  double z1 = r1.z, z2 = r1.z;
  std::wstring name = r1.layer, riserNumber = r1.number;
  bool go = askElevations(r1.z, r1.z, z1, z2, a, b);
  if (go && z1 == z2) {
    ui::AfxMessageBox(kEqualElevations);
    go = false;
  }
  if (go) go = confirmJoint(name, riserNumber);
  tm->abortTransaction();
  if (!go) {
    for (cad::ObjectId id : hidden) SetEntityVisible(id, 1);
    return;
  }
  // The pieces again, each at its own elevation, under the confirmed name.
  tm->startTransaction();
  for (cad::ObjectId id : hidden) SetEntityVisible(id, 1);
  runedit::ErasePickedRun(r1.layer, r1.picked, g_decorateGjCb);
  runedit::RemakeRun(g_createGjCb, g_decorateGjCb, name, r1.number, at(r1.s, z1), at(p, z1), 0, 0, carried);
  runedit::RemakeRun(g_createGjCb, g_decorateGjCb, name, r1.number, at(p, z2), at(r1.e, z2), 0, 0, carried);
  addRiser(name, riserNumber, p, z1, z2);
  tm->endTransaction();
}

// Two-pipe mode: one run k cut back, extended or split at X.
void remakeToCrossing(const std::wstring& name, const JointRun& r, double z, const geom::Point3d& x,
                      const runedit::CarriedData& carried) {
  const double length = planDistance(r.s, r.e), a = planDistance(r.s, x), b = planDistance(r.e, x);
  if (a > 1.0 && b > 1.0 && std::fabs(length - (a + b)) <= 1.0) {
    runedit::RemakeRun(g_createGjCb, g_decorateGjCb, name, r.number, at(r.s, z), at(x, z), 0, 0, carried);
    runedit::RemakeRun(g_createGjCb, g_decorateGjCb, name, r.number, at(x, z), at(r.e, z), 0, 0, carried);
    return;
  }
  const geom::Point3d& from = b > a ? r.e : r.s;
  runedit::RemakeRun(g_createGjCb, g_decorateGjCb, name, r.number, at(from, z), at(x, z), 0, 0, carried);
}

// The crossing of the two runs' lines; false when they are parallel.
bool crossing(const JointRun& r1, const JointRun& r2, geom::Point3d& x) {
  const geom::Vector3d d1 = r1.e - r1.s, d2 = r2.e - r2.s;
  const double denom = d1.x * d2.y - d1.y * d2.x;
  const double scale = std::hypot(d1.x, d1.y) * std::hypot(d2.x, d2.y);
  if (scale == 0 || std::fabs(denom) <= 1e-9 * scale) return false;
  const double t = ((r2.s.x - r1.s.x) * d2.y - (r2.s.y - r1.s.y) * d2.x) / denom;
  x = geom::Point3d(r1.s.x + t * d1.x, r1.s.y + t * d1.y, 0);
  return true;
}

// False when the command ends.
bool twoPipeJoint(const std::wstring& types, JointRun& r1) {
  JointRun r2;
  const Pick got = pickRun(types, r2);
  auto dropBoth = [&] {
    HighlightEntities(r1.ids, 0);
    HighlightEntities(r2.ids, 0);
  };
  if (got == Pick::End) {
    dropBoth();
    return false;
  }
  if (got == Pick::Next) {
    dropBoth();
    return true;
  }
  if (r2.layer != r1.layer) {
    ui::AfxMessageBox(kOtherPipe);
    dropBoth();
    return true;
  }
  double z1 = r1.z, z2 = r2.z;
  std::wstring name = r1.layer, riserNumber = r1.number;
  if (!askElevations(r1.z, r2.z, z1, z2) || !confirmJoint(name, riserNumber)) {
    dropBoth();
    return true;
  }
  geom::Point3d x;
  if (!crossing(r1, r2, x)) {
    ui::AfxMessageBox(kParallel);
    dropBoth();
    return true;
  }
  dropBoth();
  cad::TransactionManager* tm = transactions();
  if (!tm) return false;
  const runedit::CarriedData carried1 = runedit::CaptureCarriedData(r1.picked.run);
  const runedit::CarriedData carried2 = runedit::CaptureCarriedData(r2.picked.run);
  tm->startTransaction();
  runedit::ErasePickedRun(r1.layer, runedit::MergePicked(r1.picked, r2.picked), g_decorateGjCb);
  remakeToCrossing(name, r1, z1, x, carried1);
  remakeToCrossing(name, r2, z2, x, carried2);
  addRiser(name, riserNumber, x, z1, z2);
  tm->endTransaction();
  return true;
}

}  // namespace

void JoinPipesWithBend(const std::wstring& types) {
  for (;;) {
    JointRun r1;
    const Pick got = pickRun(types, r1);
    if (got == Pick::End) return;
    if (got == Pick::Next) continue;
    winlib::CmbGjName(r1.layer);
    winlib::CmbGjBh(r1.number);
    geom::Point3d point;
    const int rc = askDropPoint(types, point);
    if (rc == ed::kNormal) {
      pointJoint(r1, point);
      continue;
    }
    if (rc == ed::kKeyword) {
      std::wstring word;
      if (ed::getInput(word) == ed::kNormal) {
        for (auto& c : word) c = wchar_t(std::towupper(c));
        if (word == L"D") {
          if (!twoPipeJoint(types, r1)) return;
          continue;
        }
      }
      HighlightEntities(r1.ids, 0);
      continue;
    }
    HighlightEntities(r1.ids, 0);
    return;
  }
}

void CmdPipeJoin() { runedit::RunPipeEditor(layout_types::kPlumbingPipes, L"给水管", &JoinPipesWithBend); }
void CmdWaterPJoin() { runedit::RunPipeEditor(layout_types::kWaterPipes, L"热供水管", &JoinPipesWithBend); }
