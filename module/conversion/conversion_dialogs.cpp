// The one-instance globals of the conversion dialogs, the area object, and
// the device and circuit conversions, whose dialogs are not built yet: each
// of those is an object with a window that can be destroyed, held by its
// global pointer, and showing one says on the command line that its command
// is not built.
#include "module/conversion/conversion_dialogs.h"

#include "module/conversion/conv_base.h"
#include "module/conversion/linear_conv.h"
#include "module/toolkit/not_built.h"

namespace {

class ConvDialogStub {
 public:
  virtual ~ConvDialogStub() = default;
  void DestroyWindow() {}
  void* m_hWnd = nullptr;
};

}  // namespace

class CDeviceConv : public ConvDialogStub {};
class CPipeLineSel : public ConvDialogStub {};
class CPipeLineConv : public ConvDialogStub {};

CConvArea* g_convArea = nullptr;
CDeviceConv* g_deviceConvDlg = nullptr;
CPipeConv* g_pipeConvDlg = nullptr;
CPipeLineSel* g_pipeLineSelDlg = nullptr;
CPipeLineConv* g_pipeLineConvDlg = nullptr;
CAirDuctConv* g_airDuctConvDlg = nullptr;
CWaterPipeConv* g_waterPipeConvDlg = nullptr;

CConvArea* ConvAreaObject() {
  if (!g_convArea) g_convArea = new CConvArea;
  return g_convArea;
}

void DestroyConvArea() { DestroyConvDialog(g_convArea); }

void DestroyFloorConvDialogs() {
  DestroyConvDialog(g_convArea);
  DestroyConvDialog(g_pipeConvDlg);
  DestroyConvDialog(g_pipeLineConvDlg);
  DestroyConvDialog(g_airDuctConvDlg);
  DestroyConvDialog(g_waterPipeConvDlg);
}

void ShowDeviceConv() {
  if (!g_deviceConvDlg) g_deviceConvDlg = new CDeviceConv;
  ReportCommandNotBuilt(L"DeviceConv");
}

void ShowPipeLineConv() {
  // Step 1 of the circuit conversion, and step 2 that follows from it.
  if (!g_pipeLineSelDlg) g_pipeLineSelDlg = new CPipeLineSel;
  ReportCommandNotBuilt(L"PipeLineConv");
  if (!g_pipeLineConvDlg) g_pipeLineConvDlg = new CPipeLineConv;
}
