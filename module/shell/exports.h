// The functions the suite's other modules call by name in the plug-in:
// thirteen pairs, a form ending _A that takes text in the system code page
// (GBK unless changed) and a form ending _W that takes wide text. Where no
// text passes, both names lead to one body.
//
// They press Enter or cancel in the drawing view, bring the host forward,
// queue command text, tell whether a command runs, read the command line,
// rebuild components, add a riser to the run in progress, pick an elevation,
// rotate picked components, forward a picture request to the window library
// and show given components.
#pragma once

#define KIV_PLUGIN_EXPORT __attribute__((visibility("default")))

extern "C" {

// Posts Enter (key code 13) / Ctrl+C (3) as a key-down message to the
// drawing view; the post's result (0 without a view).
KIV_PLUGIN_EXPORT int ZebKivArx_CadEnter_A();
KIV_PLUGIN_EXPORT int ZebKivArx_CadEnter_W();
KIV_PLUGIN_EXPORT int ZebKivArx_CadCancel_A();
KIV_PLUGIN_EXPORT int ZebKivArx_CadCancel_W();
// Brings the host's main frame to the foreground; that call's result.
KIV_PLUGIN_EXPORT int ZebKivArx_ShowWindow_A();
KIV_PLUGIN_EXPORT int ZebKivArx_ShowWindow_W();
// Gives the keyboard focus to the host's main frame.
KIV_PLUGIN_EXPORT void ZebKivArx_CadSetFocus_A();
KIV_PLUGIN_EXPORT void ZebKivArx_CadSetFocus_W();
// Queues the text as input of the current document (activate, no wrap-up,
// echo). _W answers 1 when it was queued, 0 otherwise (no document, null
// text); _A converts and answers nothing.
KIV_PLUGIN_EXPORT void ZebKivArx_sendStringToExecute_A(const char* text);
KIV_PLUGIN_EXPORT int ZebKivArx_sendStringToExecute_W(const wchar_t* text);
// 1 while the host runs a command, else 0.
KIV_PLUGIN_EXPORT unsigned char ZebKivArx_IsCmdRun_A();
KIV_PLUGIN_EXPORT unsigned char ZebKivArx_IsCmdRun_W();
// Copies the command line's text into the caller's buffer of `capacity`
// units (characters for _W, bytes of the system code page for _A), cut to
// capacity - 1 units and always terminated when capacity > 0. Answers the
// units the whole text takes without its terminating zero, so a caller may
// ask with a null buffer (or capacity 0) first and size its buffer.
KIV_PLUGIN_EXPORT int ZebKivArx_GetCmdText_A(char* buffer, int capacity);
KIV_PLUGIN_EXPORT int ZebKivArx_GetCmdText_W(wchar_t* buffer, int capacity);
// Rebuilds the components of the type (empty: every type) and number (empty:
// every number) given by their handles joined with ":" (none: all of them).
KIV_PLUGIN_EXPORT void ZebKivArx_Rebuild_A(const char* type, const char* number, const char* handles);
KIV_PLUGIN_EXPORT void ZebKivArx_Rebuild_W(const wchar_t* type, const wchar_t* number, const wchar_t* handles);
// A riser at the run in progress: where 1 at the start of its newest
// segment, otherwise at its end. Answers 1 when a run was in progress.
KIV_PLUGIN_EXPORT int ZebKivArx_CreateVerticalGj_A(int where);
KIV_PLUGIN_EXPORT int ZebKivArx_CreateVerticalGj_W(int where);
// Picks a component for its elevation; 1 with the elevation written, 0 when
// the user cancelled (the double unchanged).
KIV_PLUGIN_EXPORT unsigned char ZebKivArx_PickupElev_A(double* elevation);
KIV_PLUGIN_EXPORT unsigned char ZebKivArx_PickupElev_W(double* elevation);
// Picks components until Escape and hands them to the host's ROTATE.
KIV_PLUGIN_EXPORT void ZebKivArx_GjRotate_A();
KIV_PLUGIN_EXPORT void ZebKivArx_GjRotate_W();
// The window library's picture window with the first, third and fifth word.
KIV_PLUGIN_EXPORT int ZebKivArx_GraphicSystem_A(int w1, int w2, int w3, int w4, int w5);
KIV_PLUGIN_EXPORT int ZebKivArx_GraphicSystem_W(int w1, int w2, int w3, int w4, int w5);
// Shows components: lines "type:handle,handle,..." joined by "\r\n". Their
// layers are turned on, the view zooms to them and they become the pickfirst
// selection.
KIV_PLUGIN_EXPORT void ZebKivArx_DispEnt_A(const char* text);
KIV_PLUGIN_EXPORT void ZebKivArx_DispEnt_W(const wchar_t* text);

}  // extern "C"
