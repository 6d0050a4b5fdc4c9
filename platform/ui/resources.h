// Resources: dialog templates, a string table and bitmaps, read from text
// files in a resource folder (every *.rc.txt file in it, UTF-8). The format
// is described in module/resources/README.md; in short:
//
//   # comment
//   DIALOG 1202 0 0 125 142            id, x y width height in dialog units
//   CAPTION "矩形布置"
//   FONT 9 "宋体"
//   STYLE POPUP CAPTION MODALFRAME      named styles, or numbers (0x...)
//   CONTROL 1201 Edit "" 60 10 50 14 AUTOHSCROLL TABSTOP
//   CONTROL 1 Button "确定" 10 120 50 14 DEFPUSHBUTTON TABSTOP
//   CONTROL 224 ComboBox "" 10 30 80 100 DROPDOWNLIST VSCROLL
//   ITEMS "给水" "排水"                   initial entries of the control above
//   (HIDDEN among a control's styles creates it invisible)
//   END
//   STRING 57344 "KivZeb"
//   BITMAP 228 "bitmaps/pick.png"      path relative to the file
//
// Coordinates are dialog units: with the template font (pixel height h,
// average width h/2) x = units * (h/2) / 4 and y = units * h / 8 pixels.
#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/ui/types.h"

namespace ui {

struct ControlTemplate {
  int id = IDC_STATIC;
  std::wstring className;  // "Edit", "Button", ..., or a registered custom class
  std::wstring text;
  unsigned style = 0;      // ws::Child | ws::Visible are added when created
  unsigned exStyle = 0;
  Rect rect;               // dialog units: left, top, right, bottom
  std::vector<std::wstring> items;  // initial combo/list entries
  bool hidden = false;     // HIDDEN: created without ws::Visible
  int line = 0;            // line in its file (messages)
};

struct DialogTemplate {
  unsigned id = 0;
  std::wstring caption;
  Rect rect;  // dialog units
  unsigned style = ws::Popup | ws::Caption | ds::ModalFrame;
  unsigned exStyle = 0;
  std::wstring fontFace = L"宋体";
  int fontPoints = 9;
  std::vector<ControlTemplate> controls;
  std::wstring file;  // where it was read from
  const ControlTemplate* control(int id) const;
};

class Resources {
 public:
  // Reads every *.rc.txt of a folder (sorted by name). A bad line is skipped
  // and reported in errors ("file:line: why"); answers false when the folder
  // is missing or any line was bad.
  bool loadFolder(const std::filesystem::path& folder);
  bool loadFile(const std::filesystem::path& file);
  // Parses template text; `origin` names it in messages and anchors relative
  // bitmap paths.
  bool loadText(const std::string& utf8, const std::filesystem::path& origin);
  const std::vector<std::wstring>& errors() const { return errors_; }

  const DialogTemplate* dialog(unsigned id) const;
  std::optional<std::wstring> string(unsigned id) const;
  // Absolute path of bitmap resource id.
  std::optional<std::wstring> bitmapPath(unsigned id) const;

  void addDialog(DialogTemplate t);
  void addString(unsigned id, std::wstring text);
  void addBitmap(unsigned id, std::wstring path);
  std::vector<unsigned> dialogIds() const;
  void clear();

 private:
  std::map<unsigned, DialogTemplate> dialogs_;
  std::map<unsigned, std::wstring> strings_;
  std::map<unsigned, std::wstring> bitmaps_;
  std::vector<std::wstring> errors_;
};

// The resources of the running program. Dialogs, LoadString and LoadBitmap
// look in the current resources (top of the stack), then in the base set.
Resources& baseResources();
// Resource sets are pushed around code running for a module; pushes and pops
// must balance (resourceDepth tells).
void pushResources(const Resources* r);
void popResources();
int resourceDepth();
const Resources* currentResources();
const DialogTemplate* findDialogTemplate(unsigned id);
std::optional<std::wstring> findBitmapPath(unsigned id);
bool LoadString(unsigned id, std::wstring& out);
std::wstring LoadString(unsigned id);

// Named styles of the template format, per class ("Edit": AUTOHSCROLL, ...;
// the window styles apply to all). Answers nullopt for an unknown name.
std::optional<unsigned> templateStyleValue(const std::wstring& className, const std::wstring& name, bool* exStyle);

}  // namespace ui
