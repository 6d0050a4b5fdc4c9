// Down leads of the lightning protection: a vertical run at every picked
// point, drawn with the figure of the current point component, between the
// two elevations kept in the host's two-elevation window.
#include "module/layout/command_frame.h"
#include "module/layout/layout_commands.h"
#include "module/model/component_types.h"
#include "module/model/current_gj.h"
#include "module/model/point_blocks.h"
#include "module/model/point_layout.h"
#include "module/model/scope_guards.h"
#include "module/model/seams.h"
#include "module/model/special_data.h"
#include "module/toolkit/entities.h"
#include "module/toolkit/layers.h"
#include "module/toolkit/offset_input.h"
#include "module/toolkit/vocabulary.h"
#include "module/toolkit/window_lib.h"
#include "platform/cad/database.h"
#include "platform/cad/entities.h"
#include "platform/editor/cmdline.h"
#include "platform/editor/document.h"
#include "platform/editor/status.h"
#include "platform/ui/wnd.h"

namespace {

constexpr const wchar_t* kDownLeadType = L"避雷引下线";
constexpr const wchar_t* kSnapLayers = L"轴网,辅助轴网,墙";

}  // namespace

void CmdDownLead() {
  PrepareGjCombos(kDownLeadType, kDownLeadType);
  if (!LayoutDefinitionAvailable(kDownLeadType, kDownLeadType, true)) return;
  if (!LoadCurPointGj()) return;
  const std::wstring name = winlib::CmbGetName(winlib::kComboName);
  GetOrCreateLayer(name, nullptr);
  GetOrCreateLayer(name + kLabelLayerSuffix, nullptr);
  SetLayerColorRGB(name, g_curPointGj.colour, nullptr);
  SetLayerColorRGB(name + kLabelLayerSuffix, g_curPointGj.labelColour, nullptr);

  double z1 = InitialPointGjElevation(g_curPointGj.number);
  double z2 = z1;
  ui::Point origin{0, 0};
  ui::Wnd* view = ui::drawingView();
  if (view) view->ClientToScreen(&origin);
  winlib::InputTwoElev(winlib::kPaletteOpen, origin.x, origin.y, z1, z2);
  if (view) view->SetFocus();

  auto* monitor = new CGjInputPointMonitor;
  ed::InputPointManager& ipm = ed::curDoc()->inputPointManager();
  ipm.addPointMonitor(monitor);
  monitor->SetLayers(kSnapLayers, 0);
  monitor->setState(0);
  ScopeExit finish([&] {
    ipm.removePointMonitor(monitor);
    delete monitor;
    winlib::InputTwoElev(winlib::kPaletteClose, 0, 0, z1, z2);
  });

  for (;;) {
    geom::Point3d point;
    if (GetPointWithOffset(L"\n请选择布置基点:", point, L"") != ed::kNormal) return;
    winlib::InputTwoElev(winlib::kPalettePoll, 0, 0, z1, z2);
    const std::wstring number = winlib::CmbGetName(winlib::kComboNumber);
    // The block of the type's own number, so that another type's figure of
    // the same number is never drawn over, nor a number that is no valid
    // block name left without one.
    const std::wstring block = PointGjBlockDefName(name, number);
    EnsureGjBlockDef(name, block, 0);
    const cad::ObjectId id = InsertBlockRef(block, geom::Point3d(point.x, point.y, 0), 0, cad::Scale3d{},
                                            geom::Vector3d(0, 0, 1), name, nullptr);
    if (id.isNull()) {
      ed::print(L"\n无法为编号%s生成图块，未布置\n", number.c_str());
      continue;
    }
    const std::wstring kind = kGjKindRiser;
    SetGjSpecial(&number, &kind, id, &z1, &z2);
    RebuildPointGjFigure(name, id);
    RefreshSolid3dOfEntity(name, id, cad::workingDatabase());
  }
}
