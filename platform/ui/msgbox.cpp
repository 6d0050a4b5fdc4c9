// Message boxes and file dialogs, answered from the input queue.
#include <algorithm>

#include "platform/os/os.h"
#include "platform/ui/detail.h"
#include "platform/ui/dialog.h"

namespace ui {

namespace {
std::vector<MessageBoxRecord>& log() {
  static std::vector<MessageBoxRecord> l;
  return l;
}

std::vector<int> buttonsOf(unsigned type) {
  switch (type & mb::TypeMask) {
    case mb::OkCancel: return {IDOK, IDCANCEL};
    case mb::AbortRetryIgnore: return {IDABORT, IDRETRY, IDIGNORE};
    case mb::YesNoCancel: return {IDYES, IDNO, IDCANCEL};
    case mb::YesNo: return {IDYES, IDNO};
    case mb::RetryCancel: return {IDRETRY, IDCANCEL};
  }
  return {IDOK};
}
}  // namespace

namespace detail {
void resetMessageBoxes() { log().clear(); }
}  // namespace detail

const std::vector<MessageBoxRecord>& messageBoxLog() { return log(); }
void clearMessageBoxLog() { log().clear(); }

int MessageBox(Wnd*, const std::wstring& text, const std::wstring& captionIn, unsigned type) {
  std::wstring caption = captionIn;
  if (caption.empty()) {
    caption = LoadString(57344);
    if (caption.empty()) caption = L"KivZeb";
  }
  MessageBoxRecord rec{caption, text, type, 0, false};
  print(L"[" + caption + L"] " + text);
  std::vector<int> buttons = buttonsOf(type);
  size_t defIndex = std::min<size_t>((type & mb::DefMask) >> 8, buttons.size() - 1);
  for (;;) {
    const ed::InputToken* next = ed::inputQueue().peek();
    bool scripted = next && next->kind == ed::TokenKind::Directive && next->text == L".msgbox";
    if (!scripted) {
      // Run any immediate directives first (".png" of the box's owner).
      if (next && next->kind == ed::TokenKind::Directive && ed::isImmediateDirective(next->text)) {
        auto t = ed::nextInput();
        if (t) ed::inputQueue().pushFront(*t);
        continue;
      }
      if (buttons.size() == 1) {
        rec.answer = buttons[0];
      } else {
        bool hasCancel = std::find(buttons.begin(), buttons.end(), IDCANCEL) != buttons.end();
        rec.answer = hasCancel ? IDCANCEL : buttons[defIndex];
        print(L"Message box \"" + caption + L"\" answered " + std::to_wstring(rec.answer) + L": no .msgbox answer");
      }
      break;
    }
    auto t = ed::nextInput();
    auto id = t && !t->args.empty() ? parseId(t->args[0]) : std::nullopt;
    if (id && std::find(buttons.begin(), buttons.end(), *id) != buttons.end()) {
      rec.answer = *id;
      rec.scripted = true;
      break;
    }
    print(L"Message box \"" + caption + L"\" has no button " + (t && !t->args.empty() ? t->args[0] : L"(none)"));
  }
  log().push_back(rec);
  return rec.answer;
}

int AfxMessageBox(const std::wstring& text, unsigned type) { return MessageBox(nullptr, text, L"", type); }

// ---------------------------------------------------------------------------
// File dialogs
// ---------------------------------------------------------------------------
FileDialog::FileDialog(bool open, const std::wstring& defExt, const std::wstring& fileName, unsigned flags,
                       const std::wstring& filter, Wnd* parent)
    : open_(open), defExt_(defExt), fileName_(fileName), parent_(parent) {
  m_ofn.Flags = flags;
  m_ofn.lpstrFilter = filter;
}

std::intptr_t FileDialog::DoModal() {
  std::wstring title = m_ofn.lpstrTitle.empty() ? (open_ ? L"打开" : L"另存为") : m_ofn.lpstrTitle;
  auto t = ed::nextInput();
  if (!t) {
    print(L"File dialog \"" + title + L"\" cancelled: no input");
    return IDCANCEL;
  }
  if (t->kind == ed::TokenKind::Escape) return IDCANCEL;
  if (t->kind != ed::TokenKind::Directive || t->text != L".file" || t->args.empty()) {
    ed::inputQueue().pushFront(*t);
    print(L"File dialog \"" + title + L"\" cancelled: no .file answer");
    return IDCANCEL;
  }
  std::wstring p;
  for (size_t i = 0; i < t->args.size(); ++i) p += (i ? L" " : L"") + t->args[i];
  // A name without an extension gets the default one.
  size_t slash = p.find_last_of(L"\\/");
  std::wstring name = slash == std::wstring::npos ? p : p.substr(slash + 1);
  if (!defExt_.empty() && name.find(L'.') == std::wstring::npos) p += L"." + defExt_;
  if (open_ && (m_ofn.Flags & ofn::FileMustExist) && !std::filesystem::exists(os::nativePath(p))) {
    print(L"File dialog \"" + title + L"\": " + p + L" does not exist");
    return IDCANCEL;
  }
  path_ = p;
  OnFileNameChange();
  return IDOK;
}

std::wstring FileDialog::GetFileName() const {
  size_t slash = path_.find_last_of(L"\\/");
  return slash == std::wstring::npos ? path_ : path_.substr(slash + 1);
}
std::wstring FileDialog::GetFileExt() const {
  std::wstring n = GetFileName();
  size_t dot = n.find_last_of(L'.');
  return dot == std::wstring::npos ? std::wstring() : n.substr(dot + 1);
}
std::wstring FileDialog::GetFileTitle() const {
  std::wstring n = GetFileName();
  size_t dot = n.find_last_of(L'.');
  return dot == std::wstring::npos ? n : n.substr(0, dot);
}
std::wstring FileDialog::GetFolderPath() const {
  size_t slash = path_.find_last_of(L"\\/");
  return slash == std::wstring::npos ? std::wstring() : path_.substr(0, slash);
}

}  // namespace ui
