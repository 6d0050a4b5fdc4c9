// Offset input and the object snap limit (see offset_input.h).
#include "module/toolkit/offset_input.h"

#include "module/toolkit/layers.h"
#include "module/toolkit/strings.h"
#include "module/toolkit/suite_call.h"
#include "platform/cad/entities.h"
#include "platform/cad/object.h"
#include "platform/editor/cmdline.h"
#include "platform/editor/document.h"
#include "platform/editor/prompts.h"
#include "platform/editor/status.h"

int g_inputSnapPart = 1;
PointPromptHooks g_pointPromptHooks;

namespace {

// The offset typed in the offset window; false when the window does not
// answer (the values are zeros then).
bool ReadOffsetWindow(double& dx, double& dy, double& z) {
  dx = dy = z = 0;
  unsigned char ok = SuiteCall<unsigned char(int, int, int, double*, double*, double*)>::call(
      SuiteModule::Base, "Dll_OffsetWin", static_cast<unsigned char>(0), 2, 0, 0, &dx, &dy, &z);
  return ok != 0;
}

// More failed picks in a row than any user makes: the prompt gives up as if
// cancelled instead of asking for ever.
constexpr int kMaxFailedPicks = 100;

}  // namespace

// ---------------------------------------------------------------------------
// Filter
// ---------------------------------------------------------------------------

int CAcEdInputPointFilter::processInputPoint(const ed::InputPointContext& ctx, bool& changedPoint,
                                             geom::Point3d& newPoint, bool& displayOsnapGlyph,
                                             std::wstring&) {
  if (ctx.pointComputed)
    ApplyHostOffset(changedPoint, displayOsnapGlyph, ctx.computedPoint.x, ctx.computedPoint.y, newPoint);
  return 0;
}

void CAcEdInputPointFilter::ApplyHostOffset(bool& changedPoint, bool& displayOsnapGlyph, double x, double y,
                                            geom::Point3d& newPoint) {
  double dx, dy, z;
  if (!ReadOffsetWindow(dx, dy, z)) return;
  if (dx == 0 && dy == 0 && z == 0) return;
  changedPoint = true;
  displayOsnapGlyph = true;
  newPoint = geom::Point3d(x + dx, y + dy, z);
}

// ---------------------------------------------------------------------------
// Monitor
// ---------------------------------------------------------------------------

void CAcEdInputPointMonitor::SetLayers(const std::wstring& layerList, double width) {
  layers_.clear();
  SplitToArray(layerList, L",", layers_);
  width_ = width;
  state_ = 0;
}

int CAcEdInputPointMonitor::monitorInputPoint(const ed::InputPointContext& ctx, ed::ViewportDraw& draw, bool&,
                                              std::wstring&) {
  if (ctx.pointComputed) ShowHostOffsetWindow(this, draw, ctx.computedPoint);
  return 0;
}

bool CAcEdInputPointMonitor::IsSnapExcluded(const std::vector<cad::ObjectId>& nestedEntity, int) {
  return TestSnapLayers(nestedEntity, this);
}

void DrawOffsetCross(ed::ViewportDraw& draw, double x, double y, double z, double s) {
  draw.subEntityTraits().setColor(10);
  geom::Point3d h[2] = {geom::Point3d(x - s, y, z), geom::Point3d(x + s, y, z)};
  draw.geometry().polyline(2, h);
  geom::Point3d v[2] = {geom::Point3d(x, y - s, z), geom::Point3d(x, y + s, z)};
  draw.geometry().polyline(2, v);
}

void CAcEdInputPointMonitor::ShowHostOffsetWindow(CAcEdInputPointMonitor*, ed::ViewportDraw& draw,
                                                  const geom::Point3d& computed) {
  double dx, dy, z;
  if (ReadOffsetWindow(dx, dy, z) && (dx != 0 || dy != 0 || z != 0))
    DrawOffsetCross(draw, computed.x, computed.y, computed.z, 10 * GetPixelSize());
  wchar_t buffer[128] = {};
  SuiteCall<int(int, const wchar_t*, int, int, wchar_t*)>::call(SuiteModule::Base, "Dll_InputWinShow_W", 0, 2,
                                                                 L"", 32, 100, buffer);
}

bool CAcEdInputPointMonitor::TestSnapLayers(const std::vector<cad::ObjectId>& nestedEntity,
                                            const CAcEdInputPointMonitor* monitor) {
  if (g_inputSnapPart == 0) return false;
  // An empty list sets no limit: every entity snaps.
  if (!monitor || monitor->layers_.empty()) return false;
  const std::wstring& first = monitor->layers_.front();
  if (first == L"*") return false;
  if (first == L"#") return true;
  if (nestedEntity.empty()) return false;
  cad::ObjectPtr<cad::Entity> ent(nestedEntity.front(), cad::OpenMode::ForRead);
  if (!ent) return false;
  if (ent->kind() == cad::Kind::Hatch) return true;
  const std::wstring layer = ent->layer();
  ent.close();
  for (const auto& name : monitor->layers_)
    if (name == layer) return false;
  return true;
}

// ---------------------------------------------------------------------------
// The point prompt
// ---------------------------------------------------------------------------

int GetPointWithOffset(const std::wstring& prompt, geom::Point3d& point, const std::wstring& layers) {
  ed::InputPointManager& ipm = ed::curDoc()->inputPointManager();
  ed::InputPointFilter* before = ipm.currentPointFilter();
  if (g_pointPromptHooks.before) g_pointPromptHooks.before();
  // A filter still in the slot belongs to a running engine (the tooltip has
  // just taken out its own): set it aside for this point, put it back after.
  ed::InputPointFilter* setAside = nullptr;
  if (ipm.currentPointFilter() && ipm.currentPointFilter() == before) {
    setAside = before;
    ipm.revokePointFilter();
  }

  auto* filter = new CAcEdInputPointFilter;
  const bool filterIn = ipm.registerPointFilter(filter);
  auto* monitor = new CAcEdInputPointMonitor;
  ipm.addPointMonitor(monitor);
  monitor->SetLayers(layers.empty() ? std::wstring(kDefaultSnapLayers) : layers, 0);

  int status = ed::kError;
  int failed = 0;
  for (;;) {
    ed::initGet(ed::kArbitraryInput, L"");
    status = ed::getPoint(nullptr, prompt, point);
    if (status == ed::kNormal || status == ed::kNone || status == ed::kCancel || status == ed::kKeyword) break;
    if (++failed >= kMaxFailedPicks) {
      status = ed::kCancel;
      break;
    }
  }

  ipm.removePointMonitor(monitor);
  delete monitor;
  if (filterIn && ipm.currentPointFilter() == filter) ipm.revokePointFilter();
  delete filter;
  if (setAside && !ipm.currentPointFilter()) ipm.registerPointFilter(setAside);
  if (g_pointPromptHooks.after) g_pointPromptHooks.after();
  return status;
}

// ---------------------------------------------------------------------------
// Message filters
// ---------------------------------------------------------------------------

bool RightClickAsEscape(ed::Msg* msg) {
  if (msg && msg->message == ed::kWmRButtonDown) {
    msg->message = ed::kWmKeyDown;
    msg->wParam = ed::kVkEscape;
  }
  return false;
}

bool SwallowRightClick(ed::Msg* msg) {
  if (msg && msg->message == ed::kWmRButtonDown) {
    ed::printText(L"\n");
    return true;
  }
  return false;
}
