#include "module/model/image_dialogs.h"

#include "module/model/module_resources.h"
#include "module/toolkit/module_scope.h"
#include "module/toolkit/picture_layer.h"
#include "module/toolkit/collect.h"
#include "platform/cad/entities.h"
#include "platform/cad/object.h"
#include "platform/editor/cmdline.h"
#include "platform/os/os.h"
#include "platform/ui/gdi.h"
#include "platform/ui/wnd.h"

CViewImages* g_viewImagesDlg = nullptr;

namespace {

using namespace image_ids;

constexpr int kPathChars = 260;
int g_previewSessions = 0;
unsigned long g_nextPreviewToken = 0;

std::wstring afterLastBackslash(const std::wstring& path) {
  size_t slash = path.find_last_of(L'\\');
  return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

}  // namespace

// ---------------------------------------------------------------------------
// Shared pieces
// ---------------------------------------------------------------------------

ui::LResult OnAcadKeepFocus(ui::WParam, ui::LParam) { return 1; }

void AnswerKeepFocus(ui::Dialog& dlg) { dlg.onMessage(ui::wm::KeepFocus, OnAcadKeepFocus); }

PreviewSession::PreviewSession() : token_(++g_nextPreviewToken) { ++g_previewSessions; }
PreviewSession::~PreviewSession() {
  if (token_) --g_previewSessions;
}
int PreviewSession::sessions() { return g_previewSessions; }

bool DrawPicturePreview(ui::Wnd* control, const std::wstring& path) {
  if (!control || !control->m_hWnd || path.empty()) return false;
  ui::Bitmap picture;
  if (!picture.LoadFromFile(path)) return false;
  ui::Rect client;
  control->GetClientRect(&client);
  ui::DC* dc = control->GetDC();
  if (!dc) return false;
  // Stretched over the whole area, whatever the picture's proportions.
  dc->DrawImage(ui::Rect(0, 0, client.Width(), client.Height()), picture.path());
  control->ReleaseDC(dc);
  return true;
}

// ---------------------------------------------------------------------------
// CFileDialogEx
// ---------------------------------------------------------------------------

CFileDialogEx::CFileDialogEx()
    : ui::FileDialog(true, L"", L"",
                     ui::ofn::OverwritePrompt | ui::ofn::HideReadOnly | ui::ofn::Explorer |
                         ui::ofn::EnableHook | ui::ofn::EnableTemplate,
                     L".JPG .JPEG|*.jpg;*.jpeg|.STL|*.stl|所有文件 |*.*||", nullptr) {
  m_ofn.lpstrTitle = L"打开图片预览对话框";
  m_ofn.templateId = kFilePreviewTemplate;
}

void CFileDialogEx::OnHookInitDialog(ui::Wnd* hookWnd) {
  if (!hookWnd) return;
  hookWnd->SetDlgItemText(kFilePreviewArea, L"\n\n\n\n    图象文件进行预览！");
  ui::Wnd* dialog = hookWnd->GetParent();
  if (!dialog) return;
  ui::Rect r;
  dialog->GetWindowRect(&r);
  const int x = ui::GetSystemMetrics(ui::sm::CxScreen) / 2 - r.Width() / 2 - 64;
  const int y = ui::GetSystemMetrics(ui::sm::CyScreen) / 2 - r.Height() / 2 - 65;
  dialog->SetWindowPos(static_cast<const ui::Wnd*>(nullptr), x, y, 0, 0, ui::swp::NoSize | ui::swp::NoZOrder);
}

void CFileDialogEx::OnSelectionChange(const std::wstring& path) {
  if (path.empty() || path.size() >= size_t(kPathChars)) return;
  if (os::isDirectory(path)) return;
  DrawPicturePreview(previewArea_, path);
}

void CFileDialogEx::OnFileNameChange() { OnSelectionChange(GetPathName()); }

// ---------------------------------------------------------------------------
// CDlgScal
// ---------------------------------------------------------------------------

CDlgScal::CDlgScal() : ui::Dialog(kScaleTemplate, nullptr) {}

void CDlgScal::DoDataExchange(ui::DataExchange* dx) {
  ui::Dialog::DoDataExchange(dx);
  ui::DDX_Text(dx, kLengthEdit, length);
}

// ---------------------------------------------------------------------------
// CViewImages
// ---------------------------------------------------------------------------

CViewImages::CViewImages() : ui::Dialog(kViewTemplate, nullptr) {
  AnswerKeepFocus(*this);
  onNotify(kViewTree, ui::nm::Click, [this](ui::NotifyHeader*, ui::LResult*) { OnTreeClick(); });
  onNotify(kViewTree, ui::nm::DblClk, [this](ui::NotifyHeader*, ui::LResult* result) {
    OnTreeDblClick();
    if (result) *result = 1;  // the double click is ours
  });
  onCommand(kViewPreviewArea, [] {});
}

CViewImages::~CViewImages() = default;

void CViewImages::DoDataExchange(ui::DataExchange* dx) {
  ui::Dialog::DoDataExchange(dx);
  ui::DDX_Control(dx, kViewTree, tree_);
}

bool CViewImages::OnInitDialog() {
  ui::Dialog::OnInitDialog();
  fillList();
  return true;
}

void CViewImages::fillList() {
  OpenPictureLayer();
  cad::ObjectIdArray ids;
  SelectIdsByLayerAndNumber(kPictureLayerName, L"", ids);
  entries_.clear();
  for (cad::ObjectId id : ids) {
    cad::ObjectPtr<cad::DbObject> obj(id, cad::OpenMode::ForWrite);
    if (!obj || !IsPictureObject(obj.get())) continue;
    cad::ObjectPtr<cad::RasterImageDef> def(static_cast<cad::RasterImage*>(obj.get())->imageDefId(),
                                            cad::OpenMode::ForWrite);
    if (!def) continue;
    ImageEntry e;
    e.id = id;
    e.path = def->sourceFileName();
    e.fileName = afterLastBackslash(e.path);
    entries_.push_back(e);
    ui::HTreeItem item = tree_.InsertItem(e.fileName, ui::TVI_ROOT, ui::TVI_LAST);
    tree_.SetCheck(item, false);
  }
  ClosePictureLayer();
}

void CViewImages::preview(const ImageEntry& e) {
  if (e.path.empty()) {
    ed::printText(L"\n没有图片!");
    return;
  }
  DrawPicturePreview(GetDlgItem(kViewPreviewArea), e.path);
}

void CViewImages::applyToggle(const std::wstring& text, bool wasChecked, bool previewEach) {
  if (wasChecked) {
    for (auto& e : entries_)
      if (e.fileName == text) e.state = 0;
    if (ui::Wnd* area = GetDlgItem(kViewPreviewArea)) area->Invalidate();
    return;
  }
  const ImageEntry* last = nullptr;
  for (auto& e : entries_) {
    if (e.fileName != text) continue;
    e.state = 1;
    last = &e;
    if (previewEach) preview(e);
  }
  if (!last) {
    ed::printText(L"\n没有图片!");
    return;
  }
  if (!previewEach) preview(*last);
}

void CViewImages::OnTreeClick() {
  ui::Point p = ui::GetMessagePos();
  tree_.ScreenToClient(&p);
  unsigned flags = 0;
  ui::HTreeItem item = tree_.HitTest(p, &flags);
  bool wasChecked = false;
  std::wstring text;
  if (item) {
    tree_.SelectItem(item);
    wasChecked = tree_.GetCheck(item);
    // A click on the box itself is toggled by the control after this call.
    if (flags & (ui::tvht::OnItemLabel | ui::tvht::OnItemIcon)) tree_.SetCheck(item, !wasChecked);
    text = tree_.GetItemText(item);
  }
  applyToggle(text, wasChecked, false);
}

void CViewImages::OnTreeDblClick() {
  ui::HTreeItem item = tree_.GetSelectedItem();
  bool wasChecked = false;
  std::wstring text;
  if (item) {
    wasChecked = tree_.GetCheck(item);
    tree_.SetCheck(item, !wasChecked);
    text = tree_.GetItemText(item);
  }
  applyToggle(text, wasChecked, true);
}

void CViewImages::OnOK() {
  OpenPictureLayer();
  for (const auto& e : entries_) {
    cad::ObjectPtr<cad::Entity> ent(e.id, cad::OpenMode::ForWrite);
    if (!ent || !IsPictureObject(ent.get())) continue;
    ent->setVisibility(e.state == 1, true);
  }
  ClosePictureLayer();
  DestroyWindow();
}

void CViewImages::OnCancel() { DestroyWindow(); }

void CViewImages::PostNcDestroy() {
  g_viewImagesDlg = nullptr;
  ui::Dialog::PostNcDestroy();
  delete this;
}

// ---------------------------------------------------------------------------
// The services the picture commands call
// ---------------------------------------------------------------------------

bool ChoosePictureFile(std::wstring& path) {
  UiResourceScope resources;
  CFileDialogEx dlg;
  if (dlg.DoModal() != ui::IDOK) return false;
  path = dlg.GetPathName();
  return !path.empty();
}

bool AskRealLength(double& length) {
  UiResourceScope resources;
  CDlgScal dlg;
  if (dlg.DoModal() != ui::IDOK) return false;
  length = dlg.length;
  return true;
}

void OpenViewImagesDialog() {
  if (g_viewImagesDlg) {
    ed::printText(L"\ng_Image不为NULL");
    return;
  }
  static bool hooked = false;
  if (!hooked) {
    hooked = true;
    AddUnloadHook([] {
      CloseViewImagesDialog();
      hooked = false;
    });
  }
  UiResourceScope resources;
  auto* dlg = new CViewImages;
  if (!dlg->Create(kViewTemplate, nullptr)) {
    delete dlg;
    ed::printText(L"\n控制图片显示对话框无法打开。");
    return;
  }
  g_viewImagesDlg = dlg;
  if (ui::Wnd* view = ui::drawingView()) {
    ui::Rect r;
    view->GetWindowRect(&r);
    dlg->SetWindowPos(static_cast<const ui::Wnd*>(nullptr), r.left, r.top, 0, 0,
                      ui::swp::NoSize | ui::swp::NoZOrder);
  }
  dlg->ShowWindow(ui::sw::Show);
}

void CloseViewImagesDialog() {
  if (g_viewImagesDlg && g_viewImagesDlg->m_hWnd) g_viewImagesDlg->DestroyWindow();
  else if (g_viewImagesDlg) {
    delete g_viewImagesDlg;
    g_viewImagesDlg = nullptr;
  }
}
