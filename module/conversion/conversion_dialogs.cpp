// The one-instance globals of the conversion dialogs and the area object,
// and the openers of the device and circuit conversions.
#include "module/conversion/conversion_dialogs.h"

#include "module/conversion/conv_base.h"
#include "module/conversion/conv_openers.h"
#include "module/conversion/device_conv.h"
#include "module/conversion/linear_conv.h"
#include "module/conversion/circuit_conv.h"
#include "module/conversion/material_table.h"
#include "module/toolkit/module_scope.h"

CConvArea* g_convArea = nullptr;
CDeviceConv* g_deviceConvDlg = nullptr;
CPipeConv* g_pipeConvDlg = nullptr;
CPipeLineSel* g_pipeLineSelDlg = nullptr;
CPipeLineConv* g_pipeLineConvDlg = nullptr;
CAirDuctConv* g_airDuctConvDlg = nullptr;
CWaterPipeConv* g_waterPipeConvDlg = nullptr;

namespace {

// Every conversion dialog is gone before the module is.
void destroyDialogsOnUnload() {
  static bool hooked = false;
  if (hooked) return;
  hooked = true;
  AddUnloadHook([] {
    DestroyAllConvDialogs();
    hooked = false;
  });
}

}  // namespace

CConvArea* ConvAreaObject() {
  destroyDialogsOnUnload();
  if (!g_convArea) g_convArea = new CConvArea;
  return g_convArea;
}

void DestroyConvArea() { DestroyConvDialog(g_convArea); }

void DestroyFloorConvDialogs() {
  DestroyConvDialog(g_convArea);
  DestroyConvDialog(g_pipeConvDlg);
  DestroyConvDialog(g_pipeLineConvDlg);
  ClearCircuitState();
  DestroyConvDialog(g_airDuctConvDlg);
  DestroyConvDialog(g_waterPipeConvDlg);
}

void DestroyAllConvDialogs() {
  DestroyFloorConvDialogs();
  DestroyConvDialog(g_pipeLineSelDlg);
  DestroyConvDialog(g_deviceConvDlg);
}

void ShowDeviceConv() { OpenConvDialog(g_deviceConvDlg); }

void ShowPipeLineConv() {
  // A step 2 that still has rows comes back instead of a new step 1.
  {
    UiResourceScope resources;
    if (EnsureConvArea() != 1) return;
    if (g_pipeLineSelDlg && g_pipeLineSelDlg->m_hWnd && g_pipeLineSelDlg->IsWindowVisible()) return;
    if (g_pipeLineConvDlg && g_pipeLineConvDlg->m_hWnd && g_pipeLineConvDlg->rowList.GetItemCount() > 0) {
      g_pipeLineConvDlg->ShowWindow(ui::sw::Show);
      return;
    }
  }
  OpenConvDialog(g_pipeLineSelDlg);
}

void RunTableConv() {
  UiResourceScope resources;
  CDeviceTableConv table;
}
