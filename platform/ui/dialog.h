// Dialogs, data exchange, message boxes and file dialogs.
//
// A Dialog is built from a template (resources.h): the window, then its
// controls in template order (which is also the tab order), each created by
// class name. A derived dialog binds control objects with DDX_Control (the
// member takes over the template's control) and moves values in and out with
// the other DDX_ functions in DoDataExchange.
//
// Modal dialogs (DoModal) read their answers from the host's input queue:
// control values (`.set`, `.select`, `.check`), then the button that closes
// it (`.click`). Enter presses the default button, Escape cancels. When the
// queue has no answer for the dialog it is cancelled (as Escape) and a line
// says so. Modeless dialogs (Create) take the same answers through
// applyAnswer, which the host calls for answer directives met at its prompt.
#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/editor/input.h"
#include "platform/ui/controls.h"
#include "platform/ui/resources.h"
#include "platform/ui/wnd.h"

namespace ui {

class Dialog;

// ---------------------------------------------------------------------------
// Data exchange
// ---------------------------------------------------------------------------
class DataExchange {
 public:
  DataExchange(Wnd* dlg, bool save) : m_pDlgWnd(dlg), m_bSaveAndValidate(save) {}
  Wnd* m_pDlgWnd;
  bool m_bSaveAndValidate;  // true: controls -> members
  // The control being exchanged (for focus on failure).
  Wnd* PrepareCtrl(int id);
  Wnd* PrepareEditCtrl(int id) { return PrepareCtrl(id); }
  // Stops the exchange: focus goes to the last prepared control and
  // UpdateData answers false. Members exchanged before keep their new values;
  // the failing one and those after it keep their old ones.
  [[noreturn]] void Fail();
  int lastControl() const { return lastId_; }

 private:
  int lastId_ = 0;
};

// The validation messages (as the platform shows them).
inline const std::wstring kMsgEnterInteger = L"请输入一个整数。";
inline const std::wstring kMsgEnterNumber = L"请输入一个数字。";

void DDX_Text(DataExchange* dx, int id, std::wstring& value);
void DDX_Text(DataExchange* dx, int id, int& value);
void DDX_Text(DataExchange* dx, int id, unsigned& value);
void DDX_Text(DataExchange* dx, int id, long& value);
void DDX_Text(DataExchange* dx, int id, double& value);
void DDX_Text(DataExchange* dx, int id, float& value);
void DDX_Check(DataExchange* dx, int id, int& value);
// The radio group starting at control id: index of the checked one, -1 none.
void DDX_Radio(DataExchange* dx, int id, int& value);
void DDX_CBIndex(DataExchange* dx, int id, int& index);
// Save: the combo's text. Load: selects the first item starting with the
// text (a drop-down also shows the text when nothing matches).
void DDX_CBString(DataExchange* dx, int id, std::wstring& value);
void DDX_CBStringExact(DataExchange* dx, int id, std::wstring& value);
void DDX_LBIndex(DataExchange* dx, int id, int& index);
void DDX_LBString(DataExchange* dx, int id, std::wstring& value);
// Binds a control object to the dialog's control id (first call only).
void DDX_Control(DataExchange* dx, int id, Wnd& control);
void DDV_MinMaxInt(DataExchange* dx, int value, int minVal, int maxVal);
void DDV_MinMaxDouble(DataExchange* dx, double value, double minVal, double maxVal);
void DDV_MaxChars(DataExchange* dx, const std::wstring& value, int maxChars);

// Number formatting of DDX_Text for doubles (shortest text that reads back
// the same value, at most 15 significant digits: 12.5 -> "12.5", 3 -> "3").
std::wstring formatDouble(double v);
// Number parsing as DDX_Text does: surrounding blanks allowed, nothing else.
std::optional<double> parseDouble(std::wstring_view s);
std::optional<long long> parseInteger(std::wstring_view s);
// A window, control, button or menu item id typed in a script answer: an
// integer in int's range (a larger number is refused, not wrapped).
std::optional<int> parseId(std::wstring_view s);

// ---------------------------------------------------------------------------
// Dialog
// ---------------------------------------------------------------------------
class Dialog : public Wnd {
 public:
  Dialog();
  explicit Dialog(unsigned templateId, Wnd* parent = nullptr);
  ~Dialog() override;

  unsigned templateId() const { return templateId_; }
  Wnd* parentWnd() const { return parent_; }

  // Runs the dialog modally; answers the code given to EndDialog (the id of
  // the button that closed it), or -1 when the template cannot be found or
  // the dialog could not be created.
  virtual std::intptr_t DoModal();
  // Creates the dialog modeless; it shows when the template has ws::Visible
  // (or on ShowWindow).
  virtual bool Create(unsigned templateId, Wnd* parent = nullptr);
  bool CreateIndirect(const DialogTemplate& t, Wnd* parent = nullptr);
  using Wnd::Create;

  virtual bool OnInitDialog();
  // OK: UpdateData(true), then EndDialog(IDOK) when it succeeds. Cancel:
  // EndDialog(IDCANCEL). A modeless dialog's EndDialog hides it.
  virtual void OnOK();
  virtual void OnCancel();
  virtual void DoDataExchange(DataExchange* dx);
  bool UpdateData(bool saveAndValidate = true);
  void EndDialog(int result);
  bool isModal() const { return modal_; }
  bool ended() const { return ended_; }
  int result() const { return result_; }

  // Default button and focus movement.
  int GetDefID() const { return defId_; }
  void SetDefID(int id) { defId_ = id; }
  void NextDlgCtrl();
  void PrevDlgCtrl();
  void GotoDlgCtrl(Wnd* ctl);
  // Dialog units to pixels with the template's font.
  void MapDialogRect(Rect* r) const;
  LogFont templateFont() const { return font_; }

  // The host hides the dialog while the user picks in the drawing.
  void BeginEditorCommand();
  void CompleteEditorCommand(bool restoreDialog = true);
  void CancelEditorCommand();
  bool inEditorCommand() const { return editorCommand_; }

  // A small message map, for dialogs that prefer it to overriding:
  // handlers for a command id (any code, or one code), a notification, or
  // any message. A handler registered later for the same key replaces it.
  void onCommand(int id, std::function<void()> fn);
  void onCommandCode(int id, unsigned code, std::function<void()> fn);
  void onNotify(int id, int code, std::function<void(NotifyHeader*, LResult*)> fn);
  void onMessage(MsgId msg, std::function<LResult(WParam, LParam)> fn);

  // Applies one scripted answer (`.set`, `.select`, `.check`, `.click`,
  // `.dblclick`); false with the reason when it cannot.
  bool applyAnswer(const ed::InputToken& t, std::wstring& error);

  LResult WindowProc(MsgId msg, WParam wp, LParam lp) override;
  bool OnCommand(WParam wp, LParam lp) override;
  bool OnNotify(WParam wp, LParam lp, LResult* result) override;
  bool PreTranslateMessage(Msg* msg) override;
  void PostNcDestroy() override;

 protected:
  bool buildFromTemplate(const DialogTemplate& t, Wnd* parent);
  unsigned templateId_ = 0;
  Wnd* parent_ = nullptr;
  bool modal_ = false, ended_ = false, editorCommand_ = false, wasVisible_ = false;
  int result_ = 0;
  int defId_ = IDOK;
  LogFont font_;
  Font fontObj_;
  std::map<int, std::function<void()>> commands_;
  std::map<std::pair<int, unsigned>, std::function<void()>> commandCodes_;
  std::map<std::pair<int, int>, std::function<void(NotifyHeader*, LResult*)>> notifies_;
  std::map<MsgId, std::function<LResult(WParam, LParam)>> messages_;
};

// Modeless dialogs currently shown, most recently activated first; the first
// is where applyAnswer sends the host's answers.
std::vector<Dialog*> openDialogs();
Dialog* activeDialog();
// The dialog answers go to: the innermost running modal dialog, else the
// active modeless one (null when none is open).
Dialog* currentDialog();
// Applies a scripted answer to the innermost running modal dialog, else the
// active modeless one. False with the reason when none can take it.
bool applyAnswer(const ed::InputToken& t, std::wstring& error);
// Whether a directive name is one of the dialog answers.
bool isDialogAnswer(const std::wstring& directiveName);

// ---------------------------------------------------------------------------
// Message boxes
// ---------------------------------------------------------------------------
struct MessageBoxRecord {
  std::wstring caption, text;
  unsigned type = 0;
  int answer = 0;
  bool scripted = false;  // answered by `.msgbox`
};
// Prints "[caption] text" through the print hook and takes its answer from
// the queue: `.msgbox ID` (IDOK 1, IDCANCEL 2, IDYES 6, IDNO 7; an id the box
// does not offer is refused and the box stays). Without one, an OK box answers
// IDOK silently; a box with choices answers its Cancel (or its default
// button when it has none) and says so.
int MessageBox(Wnd* owner, const std::wstring& text, const std::wstring& caption = L"", unsigned type = mb::Ok);
// The application's message box (caption: string 57344, else "KivZeb").
int AfxMessageBox(const std::wstring& text, unsigned type = mb::Ok);
const std::vector<MessageBoxRecord>& messageBoxLog();
void clearMessageBoxLog();

// ---------------------------------------------------------------------------
// File dialogs
// ---------------------------------------------------------------------------
struct OpenFileName {
  unsigned Flags = 0;  // ofn::
  std::wstring lpstrTitle;
  std::wstring lpstrInitialDir;
  std::wstring lpstrFilter;  // "描述|*.ext|...||"
  int nFilterIndex = 1;
  unsigned templateId = 0;
};

class FileDialog {
 public:
  FileDialog(bool openFileDialog, const std::wstring& defExt = L"", const std::wstring& fileName = L"",
             unsigned flags = ofn::HideReadOnly | ofn::OverwritePrompt, const std::wstring& filter = L"",
             Wnd* parent = nullptr);
  virtual ~FileDialog() = default;
  // Takes `.file PATH` from the queue: IDOK with the path (the default
  // extension added when the name has none). Anything else: IDCANCEL (an
  // Escape is consumed, other input is left for the next reader).
  virtual std::intptr_t DoModal();
  std::wstring GetPathName() const { return path_; }
  std::wstring GetFileName() const;
  std::wstring GetFileExt() const;
  std::wstring GetFileTitle() const;
  std::wstring GetFolderPath() const;
  bool isOpen() const { return open_; }
  // Called with the chosen path before DoModal answers IDOK (a dialog with a
  // preview hook sees the selection here).
  virtual void OnFileNameChange() {}
  OpenFileName m_ofn;

 protected:
  bool open_;
  std::wstring defExt_, fileName_, path_;
  Wnd* parent_;
};

}  // namespace ui
