// The dialogs of the picture commands: the picture file dialog with a
// preview, the small dialog "设置比例" that asks for a real length, and the
// modeless "控制图片显示" that lists the pictures of the drawing with check
// boxes and shows or hides them. Also the keep-focus answer that every
// modeless dialog of the module gives the CAD host.
#pragma once

#include <string>
#include <vector>

#include "platform/cad/ids.h"
#include "platform/ui/controls.h"
#include "platform/ui/dialog.h"

namespace image_ids {
constexpr unsigned kScaleTemplate = 1200;
constexpr int kLengthEdit = 1200;
constexpr unsigned kFilePreviewTemplate = 2129;
constexpr int kFilePreviewArea = 2210;
constexpr int kFileControlsPlace = 1119;
constexpr unsigned kViewTemplate = 2216;
constexpr int kViewTree = 2209;
constexpr int kViewPreviewArea = 283;
}  // namespace image_ids

// The dialogs of the picture commands:
// The picture file dialog: true with the chosen full path.
bool ChoosePictureFile(std::wstring& path);
// The dialog "设置比例": true with the typed length after OK, false on Cancel.
bool AskRealLength(double& length);
// KivImageManage's work: opens "控制图片显示" unless it is open already.
void OpenViewImagesDialog();
// Destroys "控制图片显示" when it is open (at unload).
void CloseViewImagesDialog();

// The keep-focus query of the host (WM_ACAD_KEEPFOCUS): a modeless dialog
// that answers true keeps the keyboard focus. The one shared handler.
ui::LResult OnAcadKeepFocus(ui::WParam, ui::LParam);
// Installs that handler on a dialog.
void AnswerKeepFocus(ui::Dialog& dlg);

// Draws a picture file into a control, stretched to the control's whole
// client area (the aspect ratio is not kept). A file that cannot be loaded
// draws nothing and leaves the control as it was; answers whether it drew.
bool DrawPicturePreview(ui::Wnd* control, const std::wstring& path);

// The preview library's session: started by the dialogs that draw previews
// and shut down with the same token. sessions() counts those open.
class PreviewSession {
 public:
  PreviewSession();
  ~PreviewSession();
  PreviewSession(const PreviewSession&) = delete;
  PreviewSession& operator=(const PreviewSession&) = delete;
  static int sessions();

 private:
  unsigned long token_ = 0;
};

// The open-file dialog for pictures, with a preview area beside the file
// list (child template 2129).
class CFileDialogEx : public ui::FileDialog {
 public:
  CFileDialogEx();
  // The dialog's start: the preview area's hint text and the dialog moved
  // (keeping its size) a little left of and above the screen's centre. The
  // hook window is the child template's; its parent the whole file dialog.
  static void OnHookInitDialog(ui::Wnd* hookWnd);
  // A new selection: previews the file in the preview area unless the path
  // is too long or names a folder.
  void OnSelectionChange(const std::wstring& path);
  void OnFileNameChange() override;
  // Where the previews go (the child template's area 2210); null while the
  // dialog runs without its child template.
  void setPreviewArea(ui::Wnd* area) { previewArea_ = area; }

 private:
  PreviewSession session_;
  ui::Wnd* previewArea_ = nullptr;
};

// "设置比例": the real length of a measured distance.
class CDlgScal : public ui::Dialog {
 public:
  CDlgScal();
  void DoDataExchange(ui::DataExchange* dx) override;
  double length = 0;
};

// One picture of "控制图片显示".
struct ImageEntry {
  cad::ObjectId id;
  std::wstring fileName;  // the source path after its last backslash
  std::wstring path;      // the definition's source path
  int state = -1;         // -1 untouched, 1 to be shown, 0 to be hidden
};

class CViewImages : public ui::Dialog {
 public:
  CViewImages();
  ~CViewImages() override;

  bool OnInitDialog() override;
  void OnOK() override;
  void OnCancel() override;
  void DoDataExchange(ui::DataExchange* dx) override;
  void PostNcDestroy() override;

  void OnTreeClick();
  void OnTreeDblClick();

  const std::vector<ImageEntry>& entries() const { return entries_; }
  ui::TreeCtrl& tree() { return tree_; }

 private:
  void fillList();
  // Sets the state of every entry of that file name: 0 when the item was
  // checked before, else 1 with the preview (of the last match, or of each
  // match in turn). No match of an unchecked item prints "\n没有图片!".
  void applyToggle(const std::wstring& text, bool wasChecked, bool previewEach);
  void preview(const ImageEntry& e);

  ui::TreeCtrl tree_;
  std::vector<ImageEntry> entries_;
  PreviewSession session_;
};

// The one open "控制图片显示", or null.
extern CViewImages* g_viewImagesDlg;
