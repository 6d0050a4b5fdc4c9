// KivSwitchFloor: follows a change of the current floor. The sibling's
// SwitchFloor (queued, it runs once this command has returned) opens the
// floor's drawing; here the 3D view goes back to plan, the dialogs that hold
// the old floor's entities close, the new floor's levels are read, its
// component table gets the library's rows once, and the component layers that
// are on are thawed.
#include "module/shell/command_table.h"
#include "module/conversion/conversion_dialogs.h"
#include "module/toolkit/globals.h"
#include "module/model/model_services.h"
#include "module/shell/project_open.h"
#include "module/toolkit/solid_mode.h"
#include "module/toolkit/window_lib.h"
#include "module/toolkit/layers.h"
#include "module/toolkit/strings.h"
#include "module/toolkit/vocabulary.h"
#include "platform/editor/commands.h"
#include "platform/editor/document.h"

void CmdKivSwitchFloor() {
  auto& dm = ed::docManager();
  dm.sendStringToExecute(dm.curDocument(), L"SwitchFloor\n", true, false, true);
  g_solidMode = SolidMode::BackToPlan;

  DestroyFloorConvDialogs();
  CloseColorManager();

  const std::wstring floor = winlib::CmbGetName(winlib::kComboFloor);
  LoadCurFloorLevels();
  // A damaged table is said and left alone; the command counts as failed.
  if (!CheckFloorGjTable(floor))
    ed::failActiveCommand(L"[" + floor + L"]的构件表无法读取");
  else
    SeedFloorGjTable(floor);

  for (const auto& list : g_gjCategoryTypes) {
    StringArray types;
    SplitString(list, L",", types);
    for (const auto& type : types) {
      bool off = true;
      if (!GetLayerFlags(type, &off, nullptr, nullptr, nullptr) || off) continue;
      SetLayerFrozen(type, false, nullptr);
      SetLayerFrozen(type + kEdgeLayerSuffix, false, nullptr);
    }
  }
}
