// Pelk.dll: the suite's windows beside the drawing, headless. The combos,
// palettes, offset, buttons and tooltip keep their state in the shared host
// state; scripts set it through the directives registered at load, tests
// through the KivPelk_* control functions. Windows that only show something
// record the call in the log.
#include <algorithm>
#include <cstdio>
#include <sstream>

#include "platform/editor/input.h"
#include "platform/os/os.h"
#include "platform/suite/core/expr.h"
#include "platform/suite/core/hoststate.h"
#include "platform/suite/core/text.h"
#include "platform/suite/suite_abi.h"
#ifdef KIV_SUITE_HAVE_EDITOR
#include "platform/editor/app.h"
#endif

#define KIV_EXPORT extern "C" __attribute__((visibility("default")))

using suite::copyOut;
using suite::hostState;
using suite::wview;

namespace {

constexpr size_t kComboCap = 100;
constexpr size_t kCoordCap = 51200;
constexpr size_t kDeCap = 40960;

std::wstring num(double v) { return suite::widen(suite::formatNumber(v)); }
std::wstring txt(const wchar_t* s) { return s ? std::wstring(s) : std::wstring(L"(null)"); }

// --- directives --------------------------------------------------------------

bool parseDouble(const std::wstring& s, double& v) {
  auto r = suite::parseNumberPrefix(std::wstring_view(s));
  if (!r) return false;
  v = *r;
  return true;
}

bool applyPalette(const std::vector<std::wstring>& args, std::wstring& error) {
  if (args.empty() || args.size() > 3) {
    error = L".palette needs one to three numbers";
    return false;
  }
  double v[3] = {0, 0, 0};
  for (size_t i = 0; i < args.size(); ++i)
    if (!parseDouble(args[i], v[i])) {
      error = L".palette: \"" + args[i] + L"\" is no number";
      return false;
    }
  KivPelk_SetPalette(v[0], v[1], v[2], static_cast<int>(args.size()));
  return true;
}

bool applyCombo(const std::vector<std::wstring>& args, std::wstring& error) {
  if (args.empty() || args.size() > 2) {
    error = L".combo needs a combo name and a value";
    return false;
  }
  std::wstring value = args.size() > 1 ? args[1] : L"";
  if (!suite::setCombo(args[0], value)) {
    error = L".combo: no combo \"" + args[0] + L"\" (楼层, 分类, 构件, 编号)";
    return false;
  }
  return true;
}

bool applyButton(const std::vector<std::wstring>& args, std::wstring& error) {
  if (args.size() != 2 || (args[1] != L"0" && args[1] != L"1")) {
    error = L".button needs a button key and 0 or 1";
    return false;
  }
  KivPelk_SetButton_W(args[0].c_str(), args[1] == L"1");
  return true;
}

bool applyOffset(const std::vector<std::wstring>& args, std::wstring& error) {
  if (args.size() < 2 || args.size() > 3) {
    error = L".offset needs DX DY [Z]";
    return false;
  }
  double v[3] = {0, 0, 0};
  for (size_t i = 0; i < args.size(); ++i)
    if (!parseDouble(args[i], v[i])) {
      error = L".offset: \"" + args[i] + L"\" is no number";
      return false;
    }
  KivPelk_SetOffset(v[0], v[1], v[2]);
  return true;
}

bool applyDialog(const std::vector<std::wstring>& args, std::wstring& error) {
  if (args.empty() || (args[0] != L"0" && args[0] != L"1")) {
    error = L".dialog needs 0 or 1 (and an optional text)";
    return false;
  }
  auto& s = hostState();
  std::lock_guard lock(s.mutex);
  s.dialogAnswer = args[0] == L"1" ? 1 : 0;
  s.dialogText.clear();
  for (size_t i = 1; i < args.size(); ++i) s.dialogText += (i > 1 ? L" " : L"") + args[i];
  return true;
}

using Apply = bool (*)(const std::vector<std::wstring>&, std::wstring&);
const std::pair<const wchar_t*, Apply> kDirectives[] = {
    {L".palette", applyPalette}, {L".combo", applyCombo},   {L".button", applyButton},
    {L".offset", applyOffset},   {L".dialog", applyDialog},
};

// A modal window looks at the input waiting for it: the suite's own
// directives at the front of the queue are the user's doing in the window.
void takeWindowInput() {
  for (;;) {
    const ed::InputToken* t = ed::inputQueue().peek();
    if (!t || t->kind != ed::TokenKind::Directive) return;
    Apply apply = nullptr;
    for (const auto& [name, fn] : kDirectives)
      if (t->text == name) apply = fn;
    if (!apply) return;
    auto token = ed::inputQueue().next();
    std::wstring err;
    if (!apply(token->args, err)) std::fprintf(stderr, "Pelk.dll: %s\n", suite::narrow(err).c_str());
  }
}

// Takes the answer of a modal window: the pending answer, else cancelled.
int takeDialogAnswer() {
  takeWindowInput();
  auto& s = hostState();
  std::lock_guard lock(s.mutex);
  int a = s.dialogAnswer;
  s.dialogAnswer = -1;
  return a < 0 ? 0 : a;
}

struct Registration {
  Registration() {
    for (const auto& [name, fn] : kDirectives) {
      Apply apply = fn;
      ed::registerDirective(name, [apply](const ed::InputToken& t, std::wstring& error) {
        return apply(t.args, error);
      });
    }
  }
  ~Registration() {
    for (const auto& [name, fn] : kDirectives) ed::unregisterDirective(name);
  }
};
Registration g_registration;

// --- palettes ----------------------------------------------------------------

// The shared protocol. values/count: the caller's doubles.
unsigned char palette(const wchar_t* name, int mode, int x, int y, double** values, int count) {
  auto& s = hostState();
  std::wstringstream line;
  line << name << L"(" << mode << L"," << x << L"," << y;
  for (int i = 0; i < count; ++i) line << L"," << (values[i] ? num(*values[i]) : L"null");
  line << L")";
  suite::logCall(line.str());
  std::lock_guard lock(s.mutex);
  switch (mode) {
    case 1:
      s.paletteOpen = true;
      s.paletteName = name;
      for (int i = 0; i < count && i < 3; ++i) s.shown[i] = values[i] ? *values[i] : 0;
      return 1;
    case 2: {
      if (!s.pending) return 0;
      for (int i = 0; i < count && i < s.pendingCount && i < 3; ++i) {
        if (values[i]) *values[i] = s.pendingValues[i];
        s.shown[i] = s.pendingValues[i];
      }
      s.pending = false;
      return 1;
    }
    case 4:
      s.paletteOpen = false;
      s.pending = false;
      return 1;
    default:
      return 0;
  }
}

// A modal elevation window: confirmed with the typed values, or cancelled.
unsigned char modalElevations(const wchar_t* name, int x, int y, double** values, int count) {
  takeWindowInput();
  auto& s = hostState();
  std::wstringstream line;
  line << name << L"(" << x << L"," << y;
  for (int i = 0; i < count; ++i) line << L"," << (values[i] ? num(*values[i]) : L"null");
  line << L")";
  suite::logCall(line.str());
  std::lock_guard lock(s.mutex);
  if (s.pending) {
    for (int i = 0; i < count && i < s.pendingCount; ++i)
      if (values[i]) *values[i] = s.pendingValues[i];
    s.pending = false;
    s.dialogAnswer = -1;
    return 1;
  }
  if (s.dialogAnswer >= 0) {
    int a = s.dialogAnswer;
    s.dialogAnswer = -1;
    return a ? 1 : 0;
  }
  return 0;
}

// --- coordinate formulas -----------------------------------------------------

// Parameter values by name, longest names first so that no name is replaced
// inside a longer one. A line is "name=value"; a value "v:choices" counts by
// its part before ':'.
std::vector<std::pair<std::wstring, std::wstring>> parameters(std::wstring_view text) {
  std::vector<std::pair<std::wstring, std::wstring>> out;
  for (const auto& l : suite::splitLines(text)) {
    size_t eq = l.find(L'=');
    if (eq == std::wstring::npos) continue;
    std::wstring name = suite::trim(std::wstring_view(l).substr(0, eq));
    if (name.empty()) continue;
    std::wstring value = suite::trim(std::wstring_view(l).substr(eq + 1));
    // A value "v:comment" counts by its part before ':'.
    size_t colon = value.find(L':');
    if (colon != std::wstring::npos) value = value.substr(0, colon);
    out.emplace_back(name, value);
  }
  std::stable_sort(out.begin(), out.end(),
                   [](const auto& a, const auto& b) { return a.first.size() > b.first.size(); });
  return out;
}

std::wstring substitute(std::wstring s, const std::vector<std::pair<std::wstring, std::wstring>>& params) {
  // A few rounds let a value refer to other parameters.
  for (int round = 0; round < 8; ++round) {
    bool changed = false;
    for (const auto& [name, value] : params) {
      size_t p = 0;
      while ((p = s.find(name, p)) != std::wstring::npos) {
        std::wstring rep = L"(" + value + L")";
        // A name is written bare or in braces, "{构件宽度(mm)}": the braces
        // go with it.
        size_t at = p, len = name.size();
        if (at > 0 && s[at - 1] == L'{' && at + len < s.size() && s[at + len] == L'}') {
          --at;
          len += 2;
        }
        s.replace(at, len, rep);
        p = at + rep.size();
        changed = true;
        if (s.size() > kCoordCap) return s;
      }
    }
    if (!changed) break;
  }
  return s;
}

// One field between separators: its arithmetic value when it has one, else
// the field as written.
std::wstring evalField(const std::wstring& field, const std::vector<std::pair<std::wstring, std::wstring>>& params) {
  if (suite::trim(field).empty()) return field;
  auto r = suite::evaluate(substitute(field, params));
  if (!r.value) return field;
  return suite::widen(suite::formatPrec(*r.value));
}

std::wstring computeLine(const std::wstring& line, const std::vector<std::pair<std::wstring, std::wstring>>& params) {
  std::wstring out, field;
  size_t i = 0;
  while (i < line.size()) {
    wchar_t c = line[i];
    if (c == L'.' && i + 1 < line.size() && line[i + 1] == L'.') {
      // ".." starts a tail that is kept as written, up to the next piece.
      out += evalField(field, params);
      field.clear();
      size_t bar = line.find(L'|', i);
      out += line.substr(i, bar == std::wstring::npos ? std::wstring::npos : bar - i);
      if (bar == std::wstring::npos) return out;
      i = bar;
      continue;
    }
    if (c == L'|' || c == L',' || c == L':') {
      out += evalField(field, params);
      out += c;
      field.clear();
    } else {
      field += c;
    }
    ++i;
  }
  out += evalField(field, params);
  return out;
}

}  // namespace

// --- exports -----------------------------------------------------------------

KIV_EXPORT void WinDll_InitVar_W(void* mainWindow, const wchar_t* baseDir) {
  auto& s = hostState();
  {
    std::lock_guard lock(s.mutex);
    s.baseDir = wview(baseDir);
    if (s.suiteDir.empty()) s.suiteDir = s.baseDir;
#ifdef KIV_SUITE_HAVE_EDITOR
    const auto& o = ed::hostOptions();
    if (s.projectsRoot.empty() && !o.projectsDir.empty()) s.projectsRoot = os::windowsPath(o.projectsDir);
    if (s.project.empty()) s.project = o.project;
#endif
  }
  suite::logCall(L"WinDll_InitVar_W(" + txt(baseDir) + L")");
  suite::refreshProject();
}

KIV_EXPORT void WinDll_CmbGetName_W(const wchar_t* combo, wchar_t* out) {
  auto& s = hostState();
  std::lock_guard lock(s.mutex);
  auto it = s.combo.find(std::wstring(wview(combo)));
  copyOut(it == s.combo.end() ? L"" : it->second, out, kComboCap);
}

KIV_EXPORT void WinDll_CmbFloor_W(const wchar_t* floor, int flag) {
  suite::logCall(L"WinDll_CmbFloor_W(" + txt(floor) + L"," + std::to_wstring(flag) + L")");
  suite::setCombo(L"楼层", std::wstring(wview(floor)));
}
KIV_EXPORT void WinDll_CmbGjType_W(const wchar_t* category) {
  suite::logCall(L"WinDll_CmbGjType_W(" + txt(category) + L")");
  suite::setCombo(L"分类", std::wstring(wview(category)));
}
KIV_EXPORT void WinDll_CmbGjName_W(const wchar_t* name) {
  suite::logCall(L"WinDll_CmbGjName_W(" + txt(name) + L")");
  suite::setCombo(L"构件", std::wstring(wview(name)));
}
KIV_EXPORT void WinDll_CmbGjBh_W(const wchar_t* number) {
  suite::logCall(L"WinDll_CmbGjBh_W(" + txt(number) + L")");
  suite::setCombo(L"编号", std::wstring(wview(number)));
}

KIV_EXPORT void WinDll_SetElevation_W(double start, double end) {
  suite::logCall(L"WinDll_SetElevation_W(" + num(start) + L"," + num(end) + L")");
  auto& s = hostState();
  std::lock_guard lock(s.mutex);
  s.shown[0] = start;
  s.shown[1] = end;
}

KIV_EXPORT unsigned char WinDll_GetOffset_W(double* dx, double* dy) {
  auto& s = hostState();
  std::lock_guard lock(s.mutex);
  if (dx) *dx = s.offset[0];
  if (dy) *dy = s.offset[1];
  return 1;
}

KIV_EXPORT void WinDll_Tooltip_W(int mode, const wchar_t* text) {
  auto& s = hostState();
  std::lock_guard lock(s.mutex);
  s.tooltipMode = mode;
  if (mode == 2) s.tooltipText = wview(text);
  else s.tooltipText.clear();
}

KIV_EXPORT int WinDll_TBarBtnStatus_W(const wchar_t* key) {
  auto& s = hostState();
  std::lock_guard lock(s.mutex);
  auto it = s.buttons.find(std::wstring(wview(key)));
  return it == s.buttons.end() ? 0 : it->second;
}

KIV_EXPORT int WinDll_GjPicture_W(int w1, int w3, int w5) {
  suite::logCall(L"WinDll_GjPicture_W(" + std::to_wstring(w1) + L"," + std::to_wstring(w3) + L"," +
                 std::to_wstring(w5) + L")");
  return 1;
}
KIV_EXPORT int WinDll_GjPicture_A(int w1, int w3, int w5) {
  suite::logCall(L"WinDll_GjPicture_A(" + std::to_wstring(w1) + L"," + std::to_wstring(w3) + L"," +
                 std::to_wstring(w5) + L")");
  return 1;
}
KIV_EXPORT void WinDll_TotalRule_W(void) { suite::logCall(L"WinDll_TotalRule_W()"); }
KIV_EXPORT void WinDll_PieceLoad_W(void) { suite::logCall(L"WinDll_PieceLoad_W()"); }
KIV_EXPORT void WinDll_PieceMain_W(int mode) { suite::logCall(L"WinDll_PieceMain_W(" + std::to_wstring(mode) + L")"); }

KIV_EXPORT unsigned char WinDll_LayLinearGj_W(int mode, int x, int y, double* start, double* end) {
  double* v[2] = {start, end};
  return palette(L"WinDll_LayLinearGj_W", mode, x, y, v, 2);
}
KIV_EXPORT unsigned char WinDll_InputTwoElev_W(int mode, int x, int y, double* first, double* second) {
  double* v[2] = {first, second};
  return palette(L"WinDll_InputTwoElev_W", mode, x, y, v, 2);
}
KIV_EXPORT unsigned char WinDll_InputOneElev_W(int mode, int x, int y, double* value) {
  double* v[1] = {value};
  return palette(L"WinDll_InputOneElev_W", mode, x, y, v, 1);
}
KIV_EXPORT unsigned char WinDll_ChangeOneElev_W(int mode, int x, int y, double* value) {
  double* v[1] = {value};
  return modalElevations(L"WinDll_ChangeOneElev_W", x, y, v, 1);
}
KIV_EXPORT unsigned char WinDll_ChangeTwoElev_W(int mode, int x, int y, double* start, double* end) {
  double* v[2] = {start, end};
  return modalElevations(L"WinDll_ChangeTwoElev_W", x, y, v, 2);
}

KIV_EXPORT unsigned char WinDll_LayServicePipe_W(int mode, int x, int y, double* elevation, const wchar_t* category,
                                                 const wchar_t* name, wchar_t* number, int* flag) {
  // The flag travels as the palette's second value.
  double f = flag ? *flag : 0;
  double* v[2] = {elevation, &f};
  unsigned char r = palette(L"WinDll_LayServicePipe_W", mode, x, y, v, 2);
  if (mode == 2 && r && flag) *flag = f != 0 ? 1 : 0;
  return r;
}

KIV_EXPORT void WinDll_MathCoord_W(const wchar_t* parametersText, wchar_t* formulaInOut) {
  if (!formulaInOut) return;
  auto params = parameters(wview(parametersText));
  std::wstring formula(formulaInOut);
  std::vector<std::wstring> out;
  for (const auto& line : suite::splitLines(formula)) out.push_back(computeLine(line, params));
  copyOut(suite::joinLines(out), formulaInOut, kCoordCap);
}

KIV_EXPORT int WinDll_GetDe_W(const wchar_t* items, wchar_t* out) {
  return static_cast<int>(copyOut(wview(items), out, kDeCap));
}

KIV_EXPORT int WinDll_SelectDuctPipe_W(int mode, int x, int y, wchar_t* name, wchar_t* number) {
  int a = takeDialogAnswer();
  suite::logCall(L"WinDll_SelectDuctPipe_W(" + std::to_wstring(mode) + L"," + txt(name) + L"," + txt(number) +
                 L")=" + std::to_wstring(a));
  return a;
}

KIV_EXPORT int WinDll_GjType_W(int mode, const wchar_t* floor, const wchar_t* category, const wchar_t* component,
                               const wchar_t* number) {
  int a = takeDialogAnswer();
  suite::logCall(L"WinDll_GjType_W(" + std::to_wstring(mode) + L"," + txt(floor) + L"," + txt(category) + L"," +
                 txt(component) + L"," + txt(number) + L")=" + std::to_wstring(a));
  return a;
}

KIV_EXPORT unsigned char WinDll_TotalShow_W(int op, const wchar_t* a, const wchar_t* b, const wchar_t* c,
                                            wchar_t* d) {
  switch (op) {
    case 3: {
      int answer = takeDialogAnswer();
      suite::logCall(L"WinDll_TotalShow_W(3)=" + std::to_wstring(answer));
      return answer ? 1 : 0;
    }
    case 1:
      suite::logCall(L"WinDll_TotalShow_W(1," + txt(a) + L"," + txt(b) + L"," + txt(c) + L")");
      return 1;
    case 1001: {
      auto& s = hostState();
      std::lock_guard lock(s.mutex);
      copyOut(s.dialogText, d, kComboCap);
      suite::logCall(L"WinDll_TotalShow_W(1001)=" + s.dialogText);
      return 1;
    }
    case 2:
      suite::logCall(L"WinDll_TotalShow_W(2," + txt(d) + L")");
      return 1;
    default:
      suite::logCall(L"WinDll_TotalShow_W(" + std::to_wstring(op) + L")");
      return 0;
  }
}

// --- control interface -------------------------------------------------------

KIV_EXPORT unsigned char KivPelk_SetCombo_W(const wchar_t* combo, const wchar_t* value) {
  return suite::setCombo(std::wstring(wview(combo)), std::wstring(wview(value))) ? 1 : 0;
}

KIV_EXPORT int KivPelk_GetCombo_W(const wchar_t* combo, wchar_t* out, int capacity) {
  auto& s = hostState();
  std::lock_guard lock(s.mutex);
  auto it = s.combo.find(std::wstring(wview(combo)));
  return static_cast<int>(copyOut(it == s.combo.end() ? L"" : it->second, out, capacity > 0 ? capacity : 0));
}

KIV_EXPORT int KivPelk_GetComboList_W(const wchar_t* combo, wchar_t* out, int capacity) {
  auto items = suite::comboList(std::wstring(wview(combo)));
  return static_cast<int>(copyOut(suite::joinLines(items), out, capacity > 0 ? capacity : 0));
}

KIV_EXPORT void KivPelk_SetProject_W(const wchar_t* suiteDir, const wchar_t* projectsRoot, const wchar_t* project) {
  auto& s = hostState();
  {
    std::lock_guard lock(s.mutex);
    if (suiteDir) s.suiteDir = suiteDir;
    if (projectsRoot) s.projectsRoot = projectsRoot;
    if (project) s.project = project;
  }
  suite::refreshProject();
}

KIV_EXPORT void KivPelk_SetPalette(double v1, double v2, double v3, int count) {
  auto& s = hostState();
  std::lock_guard lock(s.mutex);
  s.pending = true;
  s.pendingCount = std::clamp(count, 1, 3);
  s.pendingValues[0] = v1;
  s.pendingValues[1] = v2;
  s.pendingValues[2] = v3;
}

KIV_EXPORT int KivPelk_GetPalette(double* values3) {
  auto& s = hostState();
  std::lock_guard lock(s.mutex);
  if (values3)
    for (int i = 0; i < 3; ++i) values3[i] = s.shown[i];
  return s.paletteOpen ? 1 : 0;
}

KIV_EXPORT void KivPelk_SetButton_W(const wchar_t* key, int on) {
  auto& s = hostState();
  std::lock_guard lock(s.mutex);
  s.buttons[std::wstring(wview(key))] = on ? 1 : 0;
}

KIV_EXPORT void KivPelk_SetOffset(double dx, double dy, double z) {
  auto& s = hostState();
  std::lock_guard lock(s.mutex);
  s.offset[0] = dx;
  s.offset[1] = dy;
  s.offset[2] = z;
}

KIV_EXPORT void KivPelk_SetDialogAnswer(int answer) {
  auto& s = hostState();
  std::lock_guard lock(s.mutex);
  s.dialogAnswer = answer < 0 ? -1 : (answer ? 1 : 0);
}

KIV_EXPORT int KivPelk_GetTooltip_W(wchar_t* out, int capacity) {
  auto& s = hostState();
  std::lock_guard lock(s.mutex);
  copyOut(s.tooltipText, out, capacity > 0 ? capacity : 0);
  return s.tooltipMode;
}

KIV_EXPORT int KivPelk_CallLog_W(wchar_t* out, int capacity) {
  auto& s = hostState();
  std::lock_guard lock(s.mutex);
  return static_cast<int>(copyOut(suite::joinLines(s.log), out, capacity > 0 ? capacity : 0));
}

KIV_EXPORT void KivPelk_Reset(void) {
  auto& s = hostState();
  std::lock_guard lock(s.mutex);
  s.combo.clear();
  s.paletteOpen = false;
  s.paletteName.clear();
  for (int i = 0; i < 3; ++i) s.shown[i] = s.pendingValues[i] = s.offset[i] = 0;
  s.pending = false;
  s.pendingCount = 0;
  s.buttons.clear();
  s.tooltipMode = 0;
  s.tooltipText.clear();
  s.dialogAnswer = -1;
  s.dialogText.clear();
  s.log.clear();
}
