// The conversion dialogs are not built yet: each kind is an object with a
// window that can be destroyed, held by its global pointer, and showing one
// says on the command line that its command is not built. The shell relies
// only on the functions of conversion_dialogs.h.
#include "module/conversion/conversion_dialogs.h"

#include "module/toolkit/not_built.h"

namespace {

class ConvDialogStub {
 public:
  virtual ~ConvDialogStub() = default;
  void DestroyWindow() { windowAlive_ = false; }

 private:
  bool windowAlive_ = true;
};

template <class T>
void destroyDialog(T*& dlg) {
  if (!dlg) return;
  dlg->DestroyWindow();
  delete dlg;
  dlg = nullptr;
}

template <class T>
void showDialog(T*& dlg, const wchar_t* command) {
  EnsureConvArea();
  if (!dlg) dlg = new T;
  ReportCommandNotBuilt(command);
}

}  // namespace

class CConvArea : public ConvDialogStub {};
class CDeviceConv : public ConvDialogStub {};
class CPipeConv : public ConvDialogStub {};
class CPipeLineSel : public ConvDialogStub {};
class CPipeLineConv : public ConvDialogStub {};
class CAirDuctConv : public ConvDialogStub {};
class CWaterPipeConv : public ConvDialogStub {};

CConvArea* g_convArea = nullptr;
CDeviceConv* g_deviceConvDlg = nullptr;
CPipeConv* g_pipeConvDlg = nullptr;
CPipeLineSel* g_pipeLineSelDlg = nullptr;
CPipeLineConv* g_pipeLineConvDlg = nullptr;
CAirDuctConv* g_airDuctConvDlg = nullptr;
CWaterPipeConv* g_waterPipeConvDlg = nullptr;

CConvArea* EnsureConvArea() {
  if (!g_convArea) g_convArea = new CConvArea;
  return g_convArea;
}

void DestroyConvArea() { destroyDialog(g_convArea); }

void DestroyFloorConvDialogs() {
  destroyDialog(g_convArea);
  destroyDialog(g_pipeConvDlg);
  destroyDialog(g_pipeLineConvDlg);
  destroyDialog(g_airDuctConvDlg);
  destroyDialog(g_waterPipeConvDlg);
}

void ShowDeviceConv() { showDialog(g_deviceConvDlg, L"DeviceConv"); }
void ShowPipeConv() { showDialog(g_pipeConvDlg, L"PipeConv"); }
void ShowPipeLineConv() {
  // Step 1 of the circuit conversion, and step 2 that follows from it (the
  // least form has no circuits to choose in between).
  showDialog(g_pipeLineSelDlg, L"PipeLineConv");
  g_pipeLineConvDlg = g_pipeLineConvDlg ? g_pipeLineConvDlg : new CPipeLineConv;
}
void ShowAirDuctConv() { showDialog(g_airDuctConvDlg, L"AirDuctConv"); }
void ShowWaterPipeConv() { showDialog(g_waterPipeConvDlg, L"WaterPipeConv"); }
