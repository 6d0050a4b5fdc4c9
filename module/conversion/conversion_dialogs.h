// The modeless dialogs of the drawing conversion, as the shell's project
// commands see them: one global pointer per kind, null when none exists.
//
// The shared conversion area g_convArea is destroyed by the project open and
// the floor switch while conversion dialogs may stay open. So no dialog keeps
// the area's pointer: every use reaches it through ConvAreaObject() or
// EnsureConvArea(), which make a new area when there is none.
#pragma once

class CConvArea;
class CDeviceConv;
class CPipeConv;
class CPipeLineSel;   // step 1 of the circuit conversion
class CPipeLineConv;  // step 2 of the circuit conversion
class CAirDuctConv;
class CWaterPipeConv;

extern CConvArea* g_convArea;
extern CDeviceConv* g_deviceConvDlg;
extern CPipeConv* g_pipeConvDlg;
extern CPipeLineSel* g_pipeLineSelDlg;
extern CPipeLineConv* g_pipeLineConvDlg;
extern CAirDuctConv* g_airDuctConvDlg;
extern CWaterPipeConv* g_waterPipeConvDlg;

// The conversion area object, made (not yet saved) when there is none.
CConvArea* ConvAreaObject();
// 1 when a conversion area is saved (now or before), 2 when the user quit
// the area dialog.
int EnsureConvArea();
// Destroys the area's window, deletes it and clears g_convArea.
void DestroyConvArea();
// Destroys and clears, in this order, the area, the pipe dialog, step 2 of the
// circuit conversion, the duct dialog and the water-pipe dialog. The device
// dialog and step 1 of the circuit conversion stay.
void DestroyFloorConvDialogs();
// Destroys every conversion dialog and the area (the module's unload does
// this too).
void DestroyAllConvDialogs();

// The conversion launchers: each makes sure of the area, then shows its own
// dialog (one instance per kind; a hidden earlier one is destroyed first).
void ShowDeviceConv();
void ShowPipeConv();
void ShowPipeLineConv();
void ShowAirDuctConv();
void ShowWaterPipeConv();
// The material-table command: the dialog object is made and dropped again
// without a window (nothing fills the table).
void RunTableConv();
