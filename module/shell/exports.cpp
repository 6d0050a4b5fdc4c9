// The functions the suite's other modules call by name (see exports.h).
#include "module/shell/exports.h"

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <string>

#include "module/model/draw_engine.h"
#include "module/model/picking.h"
#include "module/model/vertical_gj.h"
#include "module/toolkit/command_strings.h"
#include "module/model/seams.h"
#include "module/toolkit/project_paths.h"
#include "module/toolkit/table_lib.h"
#include "module/toolkit/window_lib.h"
#include "module/toolkit/collect.h"
#include "module/toolkit/entities.h"
#include "module/toolkit/layers.h"
#include "module/toolkit/strings.h"
#include "module/toolkit/xdata.h"
#include "platform/cad/database.h"
#include "platform/cad/entities.h"
#include "platform/cad/object.h"
#include "platform/editor/document.h"
#include "platform/editor/hostcmd.h"
#include "platform/editor/selection.h"
#include "platform/editor/status.h"
#include "platform/editor/sysvars.h"
#include "platform/os/os.h"
#include "platform/ui/wnd.h"

namespace {

// Text of the system code page as wide text; null stays empty.
std::wstring wideOf(const char* text) { return text ? os::fromCodePage(text) : std::wstring(); }
std::wstring wideOf(const wchar_t* text) { return text ? std::wstring(text) : std::wstring(); }

int postKeyToDrawingView(unsigned key) {
  ui::Wnd* view = ui::drawingView();
  if (!view) return 0;
  return ui::PostMessage(view->GetSafeHwnd(), ui::wm::KeyDown, key, 0) ? 1 : 0;
}

int showMainFrame() {
  ui::Wnd* frame = ui::mainFrame();
  return frame && frame->SetForegroundWindow() ? 1 : 0;
}

void focusMainFrame() {
  if (ui::Wnd* frame = ui::mainFrame()) frame->SetFocus();
}

int queueText(const std::wstring& text) {
  ed::Document* doc = ed::curDoc();
  if (!doc) return 0;
  return ed::docManager().sendStringToExecute(doc, text, true, false, true) ? 1 : 0;
}

// Copies text (units of CharT) into the caller's buffer of capacity units;
// answers the length of the whole text.
template <typename CharT>
int copyOut(const std::basic_string<CharT>& text, CharT* buffer, int capacity) {
  if (buffer && capacity > 0) {
    const std::size_t n = std::min<std::size_t>(text.size(), std::size_t(capacity) - 1);
    std::copy_n(text.data(), n, buffer);
    buffer[n] = CharT(0);
  }
  return int(text.size());
}

void rebuild(const std::wstring& type, const std::wstring& number, const std::wstring& handles) {
  if (type.empty()) {
    Seams().rebuildAllGjTypes();
    return;
  }
  cad::ObjectIdArray ids;
  StringArray pieces;
  SplitToArray(handles, L":", pieces);
  if (cad::Database* db = cad::workingDatabase()) {
    for (const std::wstring& piece : pieces) {
      if (piece.empty()) continue;
      cad::ObjectId id = db->getObjectId(piece);
      if (!id.isNull()) ids.push_back(id);
    }
  }
  Seams().rebuildGjByType(type, number, ids);
}

void rotatePickedGjs() {
  cad::ObjectIdArray ids;
  for (;;) {
    cad::ObjectIdArray gjIds, sameIds, layerIds;
    geom::Point3d at;
    const int rc = PickGj(L"", gjIds, sameIds, layerIds, at, L"", false);
    ids.insert(ids.end(), gjIds.begin(), gjIds.end());
    if (rc == ed::kCancel) break;
  }
  if (!ids.empty()) {
    ed::SelSet ss = 0;
    IdsToSS(ids, ss);
    InstallEditorReactor(L"ROTATE");
    if (ed::command({L"ROTATE", ed::CmdArg::selection(ss), L""}) == ed::kNormal) WaitForWatchedCommand(L"ROTATE");
    RemoveEditorReactor();
    ed::ssFree(ss);
  }
  HighlightEntities(ids, 0);
}

// The library layers ("图层" lines) of the component types.
StringArray libraryLayersOf(const StringArray& types) {
  StringArray layers;
  tablelib::Table table(GjLibraryPath());
  if (!table) return layers;
  for (tablelib::First(table); !tablelib::Eof(table); tablelib::Next(table)) {
    if (TStrsIndexOf(types, tablelib::FieldAsString(table, L"构件名称")) < 0) continue;
    StringArray lines;
    SplitLines(tablelib::FieldAsString(table, L"图层"), lines);
    for (const std::wstring& l : lines)
      if (!l.empty()) layers.push_back(l);
  }
  return layers;
}

void showGjs(const std::wstring& text) {
  StringArray lines, types, handles;
  SplitLines(text, lines);
  for (const std::wstring& line : lines) {
    StringArray pieces;
    SplitToArray(line, L":", pieces);
    if (pieces.size() < 2) continue;
    if (TStrsIndexOf(types, pieces[0]) < 0) types.push_back(pieces[0]);
    StringArray hs;
    SplitToArray(pieces[1], L",", hs);
    for (const std::wstring& h : hs) handles.push_back(os::toUpper(h));
  }
  const StringArray layers = libraryLayersOf(types);
  cad::Database* db = cad::workingDatabase();

  StringArray drawingLayers;
  GetLayerNames(drawingLayers, db);
  for (const std::wstring& name : drawingLayers)
    if (name.find(L"轴网") == std::wstring::npos && TStrsIndexOf(layers, name) >= 0) SetLayerOff(name, false, db);

  cad::ObjectIdArray candidates, selected;
  if (!layers.empty()) {
    std::wstring layerList;
    JoinArray(layers, L",", layerList);
    CollectIdsByLayerAndNumber(layerList, L"", candidates, db);
  }
  for (cad::ObjectId id : candidates) {
    std::wstring number;
    StringArray attrs;
    GetGjNumberAndAttrs(id, number, attrs);
    if (!attrs.empty() && TStrsIndexOf(handles, os::toUpper(attrs[0])) >= 0) selected.push_back(id);
  }

  // The box of what can be read (entities on locked layers count too).
  cad::Extents3d box;
  for (cad::ObjectId id : selected) {
    cad::ObjectPtr<cad::Entity> ent(id, cad::OpenMode::ForRead);
    cad::Extents3d ext;
    if (!ent || ent->getGeomExtents(ext) != cad::Status::Ok || !ext.isValid()) continue;
    if (!box.isValid()) {
      box = ext;
    } else {
      box.minPoint.x = std::min(box.minPoint.x, ext.minPoint.x);
      box.minPoint.y = std::min(box.minPoint.y, ext.minPoint.y);
      box.maxPoint.x = std::max(box.maxPoint.x, ext.maxPoint.x);
      box.maxPoint.y = std::max(box.maxPoint.y, ext.maxPoint.y);
    }
  }
  if (box.isValid()) {
    geom::Point3d& lo = box.minPoint;
    geom::Point3d& hi = box.maxPoint;
    lo.x -= 300, lo.y -= 300, hi.x += 300, hi.y += 300;
    wchar_t zoom[256];
    std::swprintf(zoom, 256, L"zoom\nw\n%f,%f,%f\n%f,%f,%f\n", lo.x, lo.y, lo.z, hi.x, hi.y, hi.z);
    QueueLispCommand(zoom);  // sets CMDECHO 0
  }

  ed::SelSet ss = 0;
  if (!selected.empty()) IdsToSS(selected, ss);
  ed::ssSetFirst(ss);
  if (ss) ed::ssFree(ss);
}

}  // namespace

extern "C" {

int ZebKivArx_CadEnter_A() { return postKeyToDrawingView(13); }
int ZebKivArx_CadEnter_W() { return postKeyToDrawingView(13); }
int ZebKivArx_CadCancel_A() { return postKeyToDrawingView(3); }
int ZebKivArx_CadCancel_W() { return postKeyToDrawingView(3); }
int ZebKivArx_ShowWindow_A() { return showMainFrame(); }
int ZebKivArx_ShowWindow_W() { return showMainFrame(); }
void ZebKivArx_CadSetFocus_A() { focusMainFrame(); }
void ZebKivArx_CadSetFocus_W() { focusMainFrame(); }

void ZebKivArx_sendStringToExecute_A(const char* text) {
  if (text) queueText(wideOf(text));
}
int ZebKivArx_sendStringToExecute_W(const wchar_t* text) { return text ? queueText(text) : 0; }

unsigned char ZebKivArx_IsCmdRun_A() { return IsAcadBusy() ? 1 : 0; }
unsigned char ZebKivArx_IsCmdRun_W() { return IsAcadBusy() ? 1 : 0; }

int ZebKivArx_GetCmdText_A(char* buffer, int capacity) {
  std::wstring text;
  GetCmdLineText(text);
  return copyOut(os::toCodePage(text), buffer, capacity);
}
int ZebKivArx_GetCmdText_W(wchar_t* buffer, int capacity) {
  std::wstring text;
  GetCmdLineText(text);
  return copyOut(text, buffer, capacity);
}

void ZebKivArx_Rebuild_A(const char* type, const char* number, const char* handles) {
  rebuild(wideOf(type), wideOf(number), wideOf(handles));
}
void ZebKivArx_Rebuild_W(const wchar_t* type, const wchar_t* number, const wchar_t* handles) {
  rebuild(wideOf(type), wideOf(number), wideOf(handles));
}

int ZebKivArx_CreateVerticalGj_A(int where) { return ZebKivArx_CreateVerticalGj_W(where); }
int ZebKivArx_CreateVerticalGj_W(int where) {
  const bool inProgress = g_linearRun.active && !g_linearRun.points.empty();
  CreateVerticalGj(where);
  return inProgress ? 1 : 0;
}

unsigned char ZebKivArx_PickupElev_A(double* elevation) { return ZebKivArx_PickupElev_W(elevation); }
unsigned char ZebKivArx_PickupElev_W(double* elevation) {
  double value = elevation ? *elevation : 0;
  if (!PickupElev(value)) return 0;
  if (elevation) *elevation = value;
  return 1;
}

void ZebKivArx_GjRotate_A() { rotatePickedGjs(); }
void ZebKivArx_GjRotate_W() { rotatePickedGjs(); }

int ZebKivArx_GraphicSystem_A(int w1, int, int w3, int, int w5) { return winlib::GjPicture_A(w1, w3, w5); }
int ZebKivArx_GraphicSystem_W(int w1, int, int w3, int, int w5) { return winlib::GjPicture_W(w1, w3, w5); }

void ZebKivArx_DispEnt_A(const char* text) { showGjs(wideOf(text)); }
void ZebKivArx_DispEnt_W(const wchar_t* text) { showGjs(wideOf(text)); }

}  // extern "C"
