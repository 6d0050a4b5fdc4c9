// Clipboard, drag and drop, and the registry.
//
// The clipboard lives in the process: text put as wide text is also offered
// as 8-bit text in the system code page and the other way round, as the
// platform does. Drag and drop follows the drop-target pattern: a window
// registers a DropTarget; DoDragDrop runs a drag loop driven by the host's
// input queue (`.dragto ID X,Y` moves over a window, `.drop` drops, Escape or
// anything else cancels). The registry is a text file of keys and values.
#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/ui/wnd.h"

namespace ui {

// ---------------------------------------------------------------------------
// Data objects and the clipboard
// ---------------------------------------------------------------------------
class DataObject {
 public:
  // Raw data by format (cf::Text: 8-bit bytes with a terminating 0;
  // cf::UnicodeText: wide text).
  void setData(unsigned format, std::string bytes);
  void setText(const std::wstring& text);  // both text formats
  // Same as the platform's global-data caching of 8-bit text.
  void CacheGlobalData(unsigned format, std::string bytes) { setData(format, std::move(bytes)); }
  bool IsDataAvailable(unsigned format) const;
  std::optional<std::string> GetGlobalData(unsigned format) const;
  // Text in either format (wide preferred).
  std::optional<std::wstring> text() const;
  bool empty() const { return data_.empty(); }
  void clear() { data_.clear(); }
  // The clipboard's contents into this object.
  bool AttachClipboard();
  // Puts this object on the clipboard.
  void SetClipboard() const;

 private:
  std::map<unsigned, std::string> data_;
};

bool OpenClipboard(Wnd* owner = nullptr);
bool CloseClipboard();
bool EmptyClipboard();
bool IsClipboardFormatAvailable(unsigned format);
void setClipboardText(const std::wstring& text);
std::optional<std::wstring> clipboardText();
void clearClipboard();

// 8-bit text of the system code page <-> wide (the thread's ANSI code page).
std::string toAnsi(const std::wstring& w);
std::wstring fromAnsi(const std::string& s);

// ---------------------------------------------------------------------------
// Drag and drop
// ---------------------------------------------------------------------------
class DropTarget {
 public:
  virtual ~DropTarget();
  bool Register(Wnd* wnd);
  void Revoke();
  Wnd* window() const { return wnd_; }
  // Each answers the effect (dropeffect::) the drop would have. Points are in
  // the window's client coordinates; keyState carries mk:: flags.
  virtual unsigned OnDragEnter(Wnd* wnd, DataObject* data, unsigned keyState, Point p);
  virtual unsigned OnDragOver(Wnd* wnd, DataObject* data, unsigned keyState, Point p);
  virtual void OnDragLeave(Wnd* wnd);
  virtual bool OnDrop(Wnd* wnd, DataObject* data, unsigned effect, Point p);
  virtual unsigned OnDragScroll(Wnd* wnd, unsigned keyState, Point p);

 private:
  Wnd* wnd_ = nullptr;
};
// The target registered for a window (or its nearest ancestor with one).
DropTarget* dropTargetAt(Wnd* wnd);
bool OleInitialize();
void OleUninitialize();
bool oleInitialized();

// Runs the drag loop for data offered with the allowed effects; answers the
// effect of the drop (dropeffect::None when cancelled). Input: `.dragto ID
// X,Y` (ID: control id in the source's top-level window, 0 for that window
// itself; X,Y client coordinates of that window), `.drop`, Escape. Holding
// Ctrl (key state) asks for a copy, otherwise a move is preferred.
unsigned DoDragDrop(DataObject& data, unsigned allowedEffects, Wnd* source);

// ---------------------------------------------------------------------------
// Registry
// ---------------------------------------------------------------------------
// Keys are paths like "HKEY_CURRENT_USER\\Control Panel\\Desktop"; names
// match case-insensitively. The file format is one section per key:
//   [HKEY_CURRENT_USER\Control Panel\Desktop]
//   WheelScrollLines=3
namespace hkey { inline const std::wstring CurrentUser = L"HKEY_CURRENT_USER", LocalMachine = L"HKEY_LOCAL_MACHINE"; }
bool loadRegistry(const std::filesystem::path& file);
bool saveRegistry(const std::filesystem::path& file);
void clearRegistry();
std::optional<std::wstring> registryValue(const std::wstring& root, const std::wstring& key, const std::wstring& name);
void setRegistryValue(const std::wstring& root, const std::wstring& key, const std::wstring& name, const std::wstring& value);
bool registryKeyExists(const std::wstring& root, const std::wstring& key);
// Lines the wheel scrolls per notch (registry WheelScrollLines, 3 when absent
// or not a number).
unsigned wheelScrollLines();

}  // namespace ui
