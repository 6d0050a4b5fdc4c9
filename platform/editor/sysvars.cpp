#include "platform/editor/sysvars.h"

#include <map>

#include "platform/editor/commands.h"
#include "platform/editor/detail.h"
#include "platform/editor/status.h"
#include "platform/os/os.h"

namespace ed {

namespace {

struct Var {
  SysValue value;
  bool readOnly = false;
  int minInt = -32768, maxInt = 32767;  // range of an integer variable
};

std::map<std::wstring, Var> defaults() {
  std::map<std::wstring, Var> m;
  auto i = [&](const wchar_t* n, int v, int lo = -32768, int hi = 32767) {
    m[n] = Var{SysValue(v), false, lo, hi};
  };
  auto r = [&](const wchar_t* n, double v) { m[n] = Var{SysValue(v)}; };
  auto s = [&](const wchar_t* n, const wchar_t* v, bool ro = false) {
    m[n] = Var{SysValue(std::wstring(v)), ro};
  };
  auto p = [&](const wchar_t* n, geom::Point3d v) { m[n] = Var{SysValue(v)}; };
  i(L"CMDECHO", 1, 0, 1);
  i(L"PICKADD", 1, 0, 2);
  i(L"PICKFIRST", 1, 0, 1);
  i(L"PICKAUTO", 1, 0, 7);
  i(L"PICKBOX", 3, 0, 50);
  i(L"APERTURE", 10, 1, 50);
  i(L"SHORTCUTMENU", 11, 0, 31);
  i(L"MBUTTONPAN", 1, 0, 1);
  i(L"OSMODE", 4133, 0, 32767);
  i(L"ORTHOMODE", 0, 0, 1);
  i(L"SNAPMODE", 0, 0, 1);
  i(L"GRIDMODE", 0, 0, 1);
  i(L"FILEDIA", 1, 0, 1);
  i(L"CMDDIA", 1, 0, 1);
  i(L"EXPERT", 0, 0, 5);
  i(L"HIGHLIGHT", 1, 0, 1);
  i(L"LUNITS", 2, 1, 5);
  i(L"LUPREC", 4, 0, 8);
  i(L"AUNITS", 0, 0, 4);
  i(L"AUPREC", 0, 0, 8);
  i(L"INSUNITS", 4, 0, 20);
  i(L"PDMODE", 0, -32768, 32767);
  i(L"ATTDIA", 0, 0, 1);
  i(L"ATTREQ", 1, 0, 1);
  i(L"DRAGMODE", 2, 0, 2);
  i(L"DIMZIN", 0, 0, 15);
  i(L"OSNAPCOORD", 2, 0, 2);
  i(L"SDI", 0, 0, 3);
  i(L"TILEMODE", 1, 0, 1);
  i(L"UCSICON", 3, 0, 3);
  i(L"UNDOCTL", 5, 0, 63);
  r(L"DIMSCALE", 1.0);
  r(L"LTSCALE", 1.0);
  r(L"CELTSCALE", 1.0);
  r(L"TEXTSIZE", 2.5);
  r(L"ELEVATION", 0.0);
  r(L"THICKNESS", 0.0);
  r(L"ANGBASE", 0.0);
  r(L"VIEWSIZE", 1000.0);
  r(L"PDSIZE", 0.0);
  s(L"CLAYER", L"0");
  s(L"TEXTSTYLE", L"Standard");
  s(L"DIMTXSTY", L"Standard");
  s(L"DIMSTYLE", L"ISO-25");
  s(L"CELTYPE", L"BYLAYER");
  s(L"CECOLOR", L"BYLAYER");
  s(L"CMDNAMES", L"", true);
  s(L"DWGNAME", L"Drawing1.dwg", true);
  s(L"DWGPREFIX", L"", true);
  s(L"PRODUCT", L"cadhost", true);
  s(L"ACADVER", L"17.2s", true);
  s(L"LOGINNAME", L"user", true);
  p(L"LASTPOINT", {0, 0, 0});
  p(L"VIEWCTR", {500, 500, 0});
  p(L"UCSORG", {0, 0, 0});
  p(L"INSBASE", {0, 0, 0});
  m[L"CMDACTIVE"] = Var{SysValue(0), true};
  m[L"UNDOCTL"].readOnly = true;
  return m;
}

std::map<std::wstring, Var>& vars() {
  static std::map<std::wstring, Var> m = defaults();
  return m;
}

std::wstring joinActive() {
  std::wstring out;
  for (const auto& n : activeCommands()) {
    if (!out.empty()) out += L"'";
    out += os::toUpper(n);
  }
  return out;
}

}  // namespace

int getVar(const std::wstring& nameIn, SysValue& out) {
  std::wstring name = os::toUpper(nameIn);
  auto it = vars().find(name);
  if (it == vars().end()) return kError;
  // Variables that mirror other state.
  if (name == L"CMDNAMES") {
    out = joinActive();
  } else if (name == L"CMDACTIVE") {
    out = isCommandActive() ? 1 : 0;
  } else if (name == L"CLAYER") {
    out = detail::currentLayer();
  } else if (name == L"TEXTSTYLE") {
    std::wstring s = detail::currentTextStyle();
    out = s.empty() ? std::get<std::wstring>(it->second.value) : s;
  } else if (name == L"DWGNAME") {
    out = detail::currentDrawingName();
  } else if (name == L"DWGPREFIX") {
    out = detail::currentDrawingFolder();
  } else {
    out = it->second.value;
  }
  return kNormal;
}

int setVar(const std::wstring& nameIn, const SysValue& value) {
  std::wstring name = os::toUpper(nameIn);
  auto it = vars().find(name);
  if (it == vars().end()) return kError;
  Var& v = it->second;
  if (v.readOnly) return kError;
  SysValue nv = value;
  if (std::holds_alternative<double>(v.value) && std::holds_alternative<int>(nv))
    nv = double(std::get<int>(nv));
  if (nv.index() != v.value.index()) return kError;
  if (auto* i = std::get_if<int>(&nv))
    if (*i < v.minInt || *i > v.maxInt) return kError;
  if (name == L"CLAYER") {
    if (!detail::setCurrentLayer(std::get<std::wstring>(nv))) return kError;
    return kNormal;
  }
  if (name == L"TEXTSTYLE") {
    if (!detail::setCurrentTextStyle(std::get<std::wstring>(nv))) return kError;
  }
  v.value = nv;
  return kNormal;
}

std::optional<int> getVarInt(const std::wstring& name) {
  SysValue v;
  if (getVar(name, v) != kNormal) return std::nullopt;
  if (auto* i = std::get_if<int>(&v)) return *i;
  return std::nullopt;
}

std::optional<double> getVarReal(const std::wstring& name) {
  SysValue v;
  if (getVar(name, v) != kNormal) return std::nullopt;
  if (auto* d = std::get_if<double>(&v)) return *d;
  if (auto* i = std::get_if<int>(&v)) return double(*i);
  return std::nullopt;
}

std::optional<std::wstring> getVarString(const std::wstring& name) {
  SysValue v;
  if (getVar(name, v) != kNormal) return std::nullopt;
  if (auto* s = std::get_if<std::wstring>(&v)) return *s;
  return std::nullopt;
}

std::vector<std::wstring> sysVarNames() {
  std::vector<std::wstring> out;
  for (const auto& [k, v] : vars()) out.push_back(k);
  return out;
}

void resetSysVars() { vars() = defaults(); }

namespace detail {
void setLastPoint(const geom::Point3d& p) { vars()[L"LASTPOINT"].value = p; }
}  // namespace detail

}  // namespace ed
