#include "module/model/colour_manager.h"

#include <algorithm>
#include <cmath>
#include <cwchar>

#include "module/model/module_resources.h"
#include "module/model/project_tables.h"
#include "module/toolkit/globals.h"
#include "module/toolkit/module_scope.h"
#include "module/toolkit/window_lib.h"
#include "module/toolkit/layers.h"
#include "module/toolkit/vocabulary.h"
#include "platform/cad/object.h"
#include "platform/editor/cmdline.h"
#include "platform/editor/document.h"
#include "platform/editor/hostcmd.h"
#include "platform/editor/prompts.h"
#include "platform/editor/selection.h"
#include "platform/editor/status.h"

CColorManager* g_colorManagerDlg = nullptr;

namespace {

using namespace colour_ids;

// The swatch's colour while no component type is chosen.
constexpr int kNeutralIndex = 9;

struct TabGroup {
  const wchar_t* tab;
  const wchar_t* root;
  int first;  // category indexes [first, last); last -1: to the end
  int last;
};
const TabGroup kGroups[] = {
    {L"给排水", L"给排水构件", 10, 16},
    {L"电气", L"电气构件", 16, 22},
    {L"暖通", L"暖通构件", 22, -1},
};

ui::Color rgbOfIndex(int index) { return cad::aciToRgb(index).colorRef(); }

// The library's colour value of a line: a decimal number, red in the low
// byte; truncated to an integer.
ColorRef colorRefOfText(const std::wstring& text) {
  const wchar_t* b = text.c_str();
  wchar_t* e = nullptr;
  double v = std::wcstod(b, &e);
  if (e == b || !std::isfinite(v) || v < 0) return 0;
  return static_cast<ColorRef>(std::trunc(std::min(v, 4294967295.0)));
}

std::wstring colourLineName(const std::wstring& line) {
  std::wstring head, tail;
  SplitHeadTail(line, L"=", head, tail);
  return head;
}

}  // namespace

// ---------------------------------------------------------------------------
// CColorButton
// ---------------------------------------------------------------------------

CColorButton::CColorButton() : color_(rgbOfIndex(kNeutralIndex)) { brush_.CreateSolidBrush(color_); }

void CColorButton::setColor(ui::Color c) {
  color_ = c;
  brush_.DeleteObject();
  brush_.CreateSolidBrush(color_);
  if (!m_hWnd) return;
  UpdateWindow();
  RedrawWindow();
  Invalidate();
}

bool CColorButton::OnChildNotify(ui::MsgId msg, ui::WParam wp, ui::LParam lp, ui::LResult* result) {
  if (msg == ui::wm::CtlColorBtn) {
    if (auto* dc = reinterpret_cast<ui::DC*>(wp)) dc->SetBkColor(color_);
    *result = reinterpret_cast<ui::LResult>(&brush_);
    return true;
  }
  return ui::Button::OnChildNotify(msg, wp, lp, result);
}

void CColorButton::DrawItem(ui::DrawItemStruct* dis) {
  if (!dis || !dis->hDC) return;
  dis->hDC->FillSolidRect(dis->rcItem, color_);
}

// ---------------------------------------------------------------------------
// CColorManager
// ---------------------------------------------------------------------------

CColorManager::CColorManager() : ui::Dialog(kTemplate, nullptr) {
  onMessage(ui::wm::KeepFocus, [](ui::WParam, ui::LParam) -> ui::LResult { return 1; });
  onNotify(kTabs, ui::tcn::SelChange, [this](ui::NotifyHeader*, ui::LResult*) { OnTabChange(); });
  onNotify(kTree, ui::nm::Click, [this](ui::NotifyHeader*, ui::LResult*) { OnTreeClick(); });
  onCommandCode(kSwatch, ui::bn::Clicked, [this] { OnChooseColor(); });
  onCommandCode(kPick, ui::bn::Clicked, [this] { OnPickFromDrawing(); });
  onCommandCode(kRestore, ui::bn::Clicked, [this] { OnRestoreDefaults(); });
}

void CColorManager::DoDataExchange(ui::DataExchange* dx) {
  ui::Dialog::DoDataExchange(dx);
  ui::DDX_Control(dx, kTabs, tabs_);
  ui::DDX_Control(dx, kTree, tree_);
  ui::DDX_Control(dx, kSwatch, swatch_);
  ui::DDX_Control(dx, kPick, pickButton_);
}

int CColorManager::TabOfCategory(const std::wstring& category) {
  static const wchar_t* const plumbing[] = {L"管道", L"管道配件", L"管道附件",
                                            L"卫生器具", L"设备", L"排水零星"};
  static const wchar_t* const hvac[] = {L"风管",     L"风管部件", L"风管配件", L"风口设备", L"水管",
                                        L"水暖附件", L"水管配件", L"水暖设备", L"暖通零星"};
  for (const wchar_t* c : plumbing)
    if (category == c) return 0;
  for (const wchar_t* c : hvac)
    if (category == c) return 2;
  return 1;
}

void CColorManager::fillTree(int tab) {
  if (tab < 0 || tab >= int(std::size(kGroups))) return;
  const TabGroup& g = kGroups[tab];
  const int count = int(g_gjCategories.size());
  const int first = std::min(count, g.first);
  const int last = g.last < 0 ? count : std::min(count, g.last);
  ui::HTreeItem root = tree_.InsertItem(g.root, ui::TVI_ROOT, ui::TVI_LAST);
  for (int i = first; i < last; ++i) {
    ui::HTreeItem cat = tree_.InsertItem(g_gjCategories[size_t(i)], root, ui::TVI_LAST);
    StringArray types;
    if (size_t(i) < g_gjCategoryTypes.size()) SplitString(g_gjCategoryTypes[size_t(i)], L",", types);
    for (const auto& t : types) tree_.InsertItem(t, cat, ui::TVI_LAST);
  }
  tree_.Expand(root, ui::tve::Expand);
}

void CColorManager::resetSwatch() {
  swatch_.setColor(rgbOfIndex(kNeutralIndex));
  swatch_.EnableWindow(false);
  pickButton_.EnableWindow(false);
}

void CColorManager::recordColor(int index) {
  auto it = std::find(pendingNames_.begin(), pendingNames_.end(), currentName_);
  if (it != pendingNames_.end()) {
    pendingColors_[size_t(it - pendingNames_.begin())] = index;
  } else {
    pendingNames_.push_back(currentName_);
    pendingColors_.push_back(index);
  }
  currentColor_ = cad::Color::fromIndex(index);
  swatch_.setColor(rgbOfIndex(index));
}

bool CColorManager::OnInitDialog() {
  ui::Dialog::OnInitDialog();
  for (int i = 0; i < int(std::size(kGroups)); ++i) tabs_.InsertItem(i, kGroups[i].tab);
  const int tab = TabOfCategory(winlib::CmbGetName(winlib::kComboCategory));
  tabs_.SetCurSel(tab);
  fillTree(tab);
  if (pickBitmap_.LoadBitmap(kPickBitmap)) pickButton_.SetBitmap(&pickBitmap_);
  return true;
}

void CColorManager::OnTabChange() {
  tree_.DeleteAllItems();
  const int tab = tabs_.GetCurSel();
  resetSwatch();
  fillTree(tab);
}

void CColorManager::OnTreeClick() {
  ui::Point p = ui::GetMessagePos();
  tree_.ScreenToClient(&p);
  unsigned flags = 0;
  ui::HTreeItem item = tree_.HitTest(p, &flags);
  if (!item) return;
  if ((flags & ui::tvht::OnItemButton) || tree_.ItemHasChildren(item)) {
    resetSwatch();
    return;
  }
  if (!(flags & ui::tvht::OnItem)) return;
  pickButton_.EnableWindow(true);
  swatch_.EnableWindow(true);
  currentName_ = tree_.GetItemText(item);
  auto it = std::find(pendingNames_.begin(), pendingNames_.end(), currentName_);
  cad::Color c;
  if (it != pendingNames_.end())
    c = cad::Color::fromIndex(pendingColors_[size_t(it - pendingNames_.begin())]);
  else
    GetLayerColor(currentName_, c, nullptr);
  currentColor_ = c;
  swatch_.setColor(rgbOfIndex(c.colorIndex()));
}

void CColorManager::OnChooseColor() {
  ModuleResourceScope resources;
  int chosen = 0;
  if (ChooseColorIndex(currentColor_.colorIndex(), false, chosen)) recordColor(chosen);
}

void CColorManager::OnPickFromDrawing() {
  BeginEditorCommand();
  cad::ObjectId id;
  geom::Point3d pt;
  if (ed::entSel(L"\n选择对象:", id, pt) == ed::kNormal) {
    cad::ObjectPtr<cad::Entity> ent(id, cad::OpenMode::ForRead);
    if (ent) {
      int index = ent->color().colorIndex();
      std::wstring layer = ent->layer();
      ent.close();
      if (index == 256) {
        cad::Color lc;
        GetLayerColor(layer, lc, nullptr);
        index = lc.colorIndex();
      }
      recordColor(index);
    }
  }
  CompleteEditorCommand();
}

void CColorManager::OnOK() {
  // The layers of each changed type take its colour.
  for (size_t i = 0; i < pendingNames_.size(); ++i) {
    StringArray layers;
    ReadGjLibraryField(layers, pendingNames_[i], L"图层");
    for (const auto& layer : layers) {
      if (layer.empty()) continue;
      GetOrCreateLayer(layer, nullptr);
      SetLayerColor(layer, cad::Color::fromIndex(pendingColors_[i]), nullptr);
    }
  }
  // The library keeps the colour for every layer line of the type.
  if (!pendingNames_.empty()) {
    tablelib::Table lib(GjLibraryPath());
    if (lib.handle() > 0) {
      for (size_t i = 0; i < pendingNames_.size(); ++i) {
        tablelib::First(lib);
        if (!tablelib::Locate(lib, kFieldName, pendingNames_[i])) continue;
        StringArray lines;
        SplitLines(tablelib::FieldAsString(lib, kFieldColour), lines);
        const std::wstring value =
            ed::format(L"%ld", static_cast<long>(rgbOfIndex(pendingColors_[i])));
        for (auto& line : lines)
          if (line.find(L'=') != std::wstring::npos) line = colourLineName(line) + L"=" + value;
        std::wstring joined;
        JoinLines(lines, joined);
        tablelib::Edit(lib);
        tablelib::WriteAsString(lib, kFieldColour, joined);
        tablelib::Post(lib);
      }
    }
  }
  pendingNames_.clear();
  pendingColors_.clear();
  ed::command({L"qsave"});
  ui::Dialog::OnOK();
}

void CColorManager::OnRestoreDefaults() {
  pendingNames_.clear();
  pendingColors_.clear();
  tablelib::Table lib(GjLibraryPath());
  tablelib::Table installed(InstalledGjLibraryPath());
  if (lib.handle() <= 0 || installed.handle() <= 0) return;
  tablelib::First(lib);
  tablelib::First(installed);
  for (; !tablelib::Eof(lib); tablelib::Next(lib)) {
    const std::wstring name = tablelib::FieldAsString(lib, kFieldName);
    if (!tablelib::Locate(installed, kFieldName, name)) continue;
    StringArray current, defaults;
    SplitLines(tablelib::FieldAsString(lib, kFieldColour), current);
    SplitLines(tablelib::FieldAsString(installed, kFieldColour), defaults);
    const std::wstring ownDefault = GetAttrValue(defaults, name);
    // Each layer line takes the installed value of the same layer; a line the
    // installed library lacks takes the component's own value. A line with no
    // installed value at all keeps its colour (no empty colour is written).
    bool changed = false;
    for (auto& line : current) {
      if (line.find(L'=') == std::wstring::npos) continue;
      const std::wstring layer = colourLineName(line);
      std::wstring value = GetAttrValue(defaults, layer);
      if (value.empty()) value = ownDefault;
      if (value.empty()) continue;
      std::wstring restored = layer + L"=" + value;
      if (restored == line) continue;
      line = restored;
      changed = true;
      GetOrCreateLayer(layer, nullptr);
      SetLayerColorRGB(layer, colorRefOfText(value), nullptr);
    }
    if (!changed) continue;
    if (!ownDefault.empty()) {
      GetOrCreateLayer(name + k3dLayerSuffix, nullptr);
      SetLayerColorRGB(name + k3dLayerSuffix, colorRefOfText(ownDefault), nullptr);
      if (name == currentName_) swatch_.setColor(colorRefOfText(ownDefault));
    }
    std::wstring joined;
    JoinLines(current, joined);
    tablelib::Edit(lib);
    tablelib::WriteAsString(lib, kFieldColour, joined);
    tablelib::Post(lib);
  }
}

// ---------------------------------------------------------------------------
// Colour dialog, opening and closing
// ---------------------------------------------------------------------------

bool ChooseColorIndex(int current, bool allowMeta, int& chosen) {
  const int low = allowMeta ? 0 : 1, high = allowMeta ? 256 : 255;
  const std::wstring prompt =
      ed::format(L"\n选择颜色 (%d-%d) <%d>: ", low, high, std::clamp(current, low, high));
  for (;;) {
    int value = 0;
    int rc = ed::getInt(prompt, value);
    if (rc != ed::kNormal) return false;
    if (value >= low && value <= high) {
      chosen = value;
      return true;
    }
    ed::print(L"\n颜色号应在 %d 到 %d 之间。", low, high);
  }
}

void OpenColorManager() {
  if (g_colorManagerDlg && g_colorManagerDlg->m_hWnd && g_colorManagerDlg->IsWindowVisible())
    return;
  // A dialog that OK or Cancel hid is replaced by a new one.
  CloseColorManager();
  // The dialog must be gone before the suite's libraries are freed at unload.
  static bool hooked = false;
  if (!hooked) {
    hooked = true;
    AddUnloadHook([] {
      CloseColorManager();
      hooked = false;
    });
  }
  UiResourceScope resources;
  auto* dlg = new CColorManager;
  // Owned by the host's main frame and centred on it.
  if (!dlg->Create(kTemplate, ui::mainFrame())) {
    delete dlg;
    ed::print(L"\n颜色管理对话框无法打开。\n");
    return;
  }
  g_colorManagerDlg = dlg;
  dlg->CenterWindow(ui::mainFrame());
  dlg->ShowWindow(ui::sw::Show);
}

void CloseColorManager() {
  if (!g_colorManagerDlg) return;
  CColorManager* dlg = g_colorManagerDlg;
  g_colorManagerDlg = nullptr;
  if (dlg->m_hWnd) dlg->DestroyWindow();
  delete dlg;
}
