#include "platform/host/script.h"

#include <cstdio>
#include <cwctype>
#include <fstream>
#include <sstream>

#include "platform/cad/database.h"
#include "platform/editor/editor.h"
#include "platform/host/render.h"
#include "platform/os/os.h"

namespace host {

namespace {

std::wstring trim(const std::wstring& s) {
  size_t a = 0, b = s.size();
  while (a < b && std::iswspace(s[a])) ++a;
  while (b > a && std::iswspace(s[b - 1])) --b;
  return s.substr(a, b - a);
}

// Splits directive arguments at blanks; "double quotes" keep blanks.
std::vector<std::wstring> splitArgs(const std::wstring& rest) {
  std::vector<std::wstring> out;
  std::wstring cur;
  bool quoted = false, any = false;
  for (wchar_t c : rest) {
    if (c == L'"') {
      quoted = !quoted;
      any = true;
    } else if (!quoted && std::iswspace(c)) {
      if (any) out.push_back(cur);
      cur.clear();
      any = false;
    } else {
      cur += c;
      any = true;
    }
  }
  if (any) out.push_back(cur);
  return out;
}

bool looksLikePoint(const std::wstring& s) {
  if (s.empty() || s.find(L',') == std::wstring::npos) return false;
  wchar_t c = s[0];
  return std::iswdigit(c) || c == L'-' || c == L'+' || c == L'.';
}

// Directives whose whole rest of line is one argument.
bool restIsOneArg(const std::wstring& name) {
  return name == L".echo" || name == L".expect" || name == L".saveas" || name == L".open" ||
         name == L".dump";
}

size_t& commandMark() {
  static size_t m = 0;
  return m;
}

}  // namespace

std::wstring ScriptError::text() const { return L"line " + std::to_wstring(line) + L": " + message; }

size_t lastCommandMark() { return commandMark(); }

bool parseLine(const std::wstring& raw, int lineNo, std::vector<ed::InputToken>& out, std::wstring& error) {
  std::wstring line = raw;
  if (!line.empty() && line.back() == L'\r') line.pop_back();
  std::wstring t = trim(line);
  ed::InputToken tok;
  tok.line = lineNo;
  if (t.empty()) {
    tok.kind = ed::TokenKind::Enter;
    out.push_back(tok);
    return true;
  }
  if (t[0] == L'#') return true;
  if (t[0] != L'.' || t.size() < 2 || std::iswdigit(t[1])) {
    // A point, or text (command names, numbers, keywords, free text).
    geom::Point3d p;
    if (ed::parsePoint(t, p)) {
      tok.kind = ed::TokenKind::Point;
      tok.p1 = p;
    } else if (looksLikePoint(t)) {
      error = L"malformed point \"" + t + L"\"";
      return false;
    } else {
      tok.kind = ed::TokenKind::Text;
      tok.text = t;
    }
    out.push_back(tok);
    return true;
  }
  size_t sp = t.find_first_of(L" \t");
  std::wstring name = os::toLower(t.substr(0, sp));
  std::wstring rest = sp == std::wstring::npos ? L"" : trim(t.substr(sp));
  std::vector<std::wstring> args = restIsOneArg(name) ? std::vector<std::wstring>{rest} : splitArgs(rest);
  if (restIsOneArg(name) && rest.empty()) args.clear();

  auto point = [&](const std::wstring& s, geom::Point3d& p) {
    if (ed::parsePoint(s, p)) return true;
    error = L"malformed point \"" + s + L"\" in " + name;
    return false;
  };
  auto needArgs = [&](size_t n) {
    if (args.size() == n) return true;
    error = name + L" takes " + std::to_wstring(n) + (n == 1 ? L" argument" : L" arguments");
    return false;
  };
  auto noArgs = [&] {
    if (args.empty()) return true;
    error = name + L" takes no argument";
    return false;
  };

  if (name == L".esc") {
    if (!noArgs()) return false;
    tok.kind = ed::TokenKind::Escape;
  } else if (name == L".enter") {
    if (!noArgs()) return false;
    tok.kind = ed::TokenKind::Enter;
  } else if (name == L".rclick") {
    if (!noArgs()) return false;
    tok.kind = ed::TokenKind::RightClick;
  } else if (name == L".space") {
    if (!noArgs()) return false;
    tok.kind = ed::TokenKind::Space;
  } else if (name == L".shift-down" || name == L".shift-up") {
    if (!noArgs()) return false;
    tok.kind = name == L".shift-down" ? ed::TokenKind::ShiftDown : ed::TokenKind::ShiftUp;
  } else if (name == L".pick") {
    if (!needArgs(1)) return false;
    tok.kind = ed::TokenKind::Pick;
    if (args[0].find(L',') != std::wstring::npos) {
      if (!point(args[0], tok.p1)) return false;
    } else {
      if (!cad::Handle::parse(std::wstring_view(args[0]))) {
        error = L"malformed handle \"" + args[0] + L"\" in .pick";
        return false;
      }
      tok.text = os::toUpper(args[0]);
    }
  } else if (name == L".window" || name == L".crossing") {
    if (!needArgs(2)) return false;
    tok.kind = name == L".window" ? ed::TokenKind::Window : ed::TokenKind::Crossing;
    if (!point(args[0], tok.p1) || !point(args[1], tok.p2)) return false;
  } else if (name == L".hover") {
    if (!needArgs(1)) return false;
    tok.kind = ed::TokenKind::Hover;
    if (!point(args[0], tok.p1)) return false;
  } else if (name == L".key") {
    if (!needArgs(1)) return false;
    if (ed::virtualKeyFromName(args[0]) == 0) {
      bool fKey = args[0].size() > 1 && std::towupper(args[0][0]) == L'F' &&
                  ed::functionKeyNumber(args[0].substr(1)) >= 0;
      error = fKey ? L"key \"" + args[0] + L"\" out of range: function keys are F1 to F24"
                   : L"unknown key \"" + args[0] + L"\"";
      return false;
    }
    tok.kind = ed::TokenKind::Key;
    tok.text = args[0];
  } else if (ed::isKnownDirective(name)) {
    tok.kind = ed::TokenKind::Directive;
    tok.text = name;
    tok.args = args;
  } else {
    error = L"unknown directive " + name;
    return false;
  }
  out.push_back(tok);
  return true;
}

bool parseScript(const std::wstring& text, std::vector<ed::InputToken>& out, ScriptError& error) {
  std::wstringstream in(text);
  std::wstring line;
  int n = 0;
  while (std::getline(in, line)) {
    ++n;
    std::wstring err;
    if (!parseLine(line, n, out, err)) {
      error.line = n;
      error.message = err;
      return false;
    }
  }
  return true;
}

// ---------------------------------------------------------------------------
// The drawing as JSON lines
// ---------------------------------------------------------------------------

namespace {

std::string jstr(const std::wstring& s) {
  std::string u = os::toUtf8(s), out = "\"";
  for (char c : u) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (static_cast<unsigned char>(c) < 0x20) {
          char buf[8];
          std::snprintf(buf, sizeof buf, "\\u%04x", c);
          out += buf;
        } else {
          out += c;
        }
    }
  }
  return out + "\"";
}

std::string num(double v) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.10g", v);
  return buf;
}

std::string pt(const geom::Point3d& p) { return "[" + num(p.x) + "," + num(p.y) + "," + num(p.z) + "]"; }

std::string geometry(const cad::Entity* e) {
  std::ostringstream g;
  if (auto* l = cad::cast<cad::Line>(e)) {
    g << "{\"start\":" << pt(l->start()) << ",\"end\":" << pt(l->end()) << "}";
  } else if (auto* p = cad::cast<cad::Polyline>(e)) {
    g << "{\"closed\":" << (p->isClosed() ? "true" : "false") << ",\"elevation\":" << num(p->elevation())
      << ",\"vertices\":[";
    for (unsigned i = 0; i < p->numVerts(); ++i) {
      const auto& v = p->vertices()[i];
      if (i) g << ",";
      g << "[" << num(v.pt.x) << "," << num(v.pt.y) << "," << num(v.bulge) << "]";
    }
    g << "]}";
  } else if (auto* c = cad::cast<cad::Circle>(e)) {
    g << "{\"center\":" << pt(c->center()) << ",\"radius\":" << num(c->radius()) << "}";
  } else if (auto* a = cad::cast<cad::Arc>(e)) {
    g << "{\"center\":" << pt(a->center()) << ",\"radius\":" << num(a->radius())
      << ",\"startAngle\":" << num(a->startAngle()) << ",\"endAngle\":" << num(a->endAngle()) << "}";
  } else if (auto* t = cad::cast<cad::Text>(e)) {
    g << "{\"position\":" << pt(t->position()) << ",\"height\":" << num(t->height())
      << ",\"rotation\":" << num(t->rotation()) << ",\"text\":" << jstr(t->textString()) << "}";
  } else if (auto* b = cad::cast<cad::BlockReference>(e)) {
    g << "{\"position\":" << pt(b->position()) << ",\"rotation\":" << num(b->rotation())
      << ",\"block\":" << jstr(b->blockName()) << "}";
  } else if (auto* q = cad::cast<cad::PointEntity>(e)) {
    g << "{\"position\":" << pt(q->position()) << "}";
  } else if (auto* im = cad::cast<cad::RasterImage>(e)) {
    g << "{\"origin\":" << pt(im->origin()) << "}";
  } else {
    cad::Extents3d ext;
    if (e->getGeomExtents(ext) == cad::Status::Ok && ext.isValid())
      g << "{\"min\":" << pt(ext.minPoint) << ",\"max\":" << pt(ext.maxPoint) << "}";
    else
      g << "{}";
  }
  return g.str();
}

std::string xdataJson(const cad::Entity* e) {
  std::string out = "{";
  bool firstApp = true;
  for (const auto& app : e->xDataApps()) {
    if (!firstApp) out += ",";
    firstApp = false;
    out += jstr(app) + ":[";
    bool first = true;
    for (const auto& v : e->xData(app)) {
      if (v.code == cad::xd::kAppName) continue;
      if (!first) out += ",";
      first = false;
      if (auto* s = std::get_if<std::wstring>(&v.value)) out += jstr(*s);
      else if (auto* d = std::get_if<double>(&v.value)) out += num(*d);
      else if (auto* i = std::get_if<std::int64_t>(&v.value)) out += std::to_string(*i);
      else if (auto* p = std::get_if<geom::Point3d>(&v.value)) out += pt(*p);
      else out += "null";
    }
    out += "]";
  }
  return out + "}";
}

}  // namespace

std::string entityJson(const void* entity) {
  auto* e = static_cast<const cad::Entity*>(entity);
  return "{\"handle\":" + jstr(e->handle().text()) + ",\"type\":\"" + cad::dxfTypeName(e->kind()) +
         "\",\"layer\":" + jstr(e->layer()) + ",\"geometry\":" + geometry(e) + ",\"xdata\":" + xdataJson(e) + "}";
}

bool dumpDrawing(const std::wstring& path, std::wstring& error) {
  auto native = os::nativePath(path);
  std::ofstream f(native, std::ios::binary | std::ios::trunc);
  if (!f) {
    error = L"cannot write " + path;
    return false;
  }
  cad::Database* db = ed::curDatabase();
  for (auto id : db->modelSpaceEntities()) {
    cad::ObjectPtr<cad::Entity> e(id, cad::OpenMode::ForRead);
    if (e) f << entityJson(e.get()) << "\n";
  }
  return bool(f);
}

// ---------------------------------------------------------------------------
// Directives
// ---------------------------------------------------------------------------

void registerHostDirectives() {
  ed::registerDirective(L".save", [](const ed::InputToken&, std::wstring& err) {
    return ed::docManager().saveDocument(ed::curDoc(), L"", err);
  });
  ed::registerDirective(L".saveas", [](const ed::InputToken& t, std::wstring& err) {
    if (t.args.empty()) {
      err = L".saveas needs a path";
      return false;
    }
    return ed::docManager().saveDocument(ed::curDoc(), t.args[0], err);
  });
  ed::registerDirective(L".open", [](const ed::InputToken& t, std::wstring& err) {
    if (t.args.empty()) {
      err = L".open needs a path";
      return false;
    }
    if (!ed::docManager().openDocument(t.args[0], err)) return false;
    ed::broadcastAppMessage(ed::kLoadDwgMsg);
    return true;
  });
  ed::registerDirective(L".commands", [](const ed::InputToken&, std::wstring&) {
    for (const auto& c : ed::commandStack().commands())
      ed::printText(L"\n" + c.group + L" " + c.globalName + L" " + c.localName + L" " + std::to_wstring(c.flags));
    return true;
  });
  ed::registerDirective(L".dump", [](const ed::InputToken& t, std::wstring& err) {
    if (t.args.empty()) {
      err = L".dump needs a path";
      return false;
    }
    return dumpDrawing(t.args[0], err);
  });
  ed::registerDirective(L".echo", [](const ed::InputToken& t, std::wstring&) {
    ed::printText(L"\n" + (t.args.empty() ? std::wstring() : t.args[0]));
    return true;
  });
  ed::registerDirective(L".expect", [](const ed::InputToken& t, std::wstring& err) {
    std::wstring want = t.args.empty() ? L"" : t.args[0];
    std::wstring since = ed::transcriptSince(commandMark());
    if (since.find(want) != std::wstring::npos) return true;
    err = L".expect: the command line lacks \"" + want + L"\"";
    return false;
  });
  registerRenderDirective();
}

std::vector<ScriptError> runTokens(const std::vector<ed::InputToken>& tokens) {
  std::vector<ScriptError> errors;
  auto& q = ed::inputQueue();
  for (const auto& t : tokens) q.push(t);
  size_t failuresBefore = ed::commandFailures().size();
  int directiveErrorsBefore = ed::directiveErrorCount();
  // A failing directive ends the run on its own line, inside a command too.
  struct StopAtError {
    bool before = ed::setStopAtDirectiveError(true);
    ~StopAtError() { ed::setStopAtDirectiveError(before); }
  } stopAtError;
  auto check = [&]() {
    if (ed::directiveErrorCount() > directiveErrorsBefore) {
      errors.push_back({ed::directiveErrorLine(), ed::lastDirectiveError()});
      return false;
    }
    if (ed::commandFailures().size() > failuresBefore) {
      const auto& f = ed::commandFailures().back();
      errors.push_back({f.line, f.message});
      return false;
    }
    return true;
  };
  while (!q.empty()) {
    ed::runIdleHook();
    if (q.empty()) break;
    auto t = ed::nextInput();
    if (!check()) break;
    if (!t) break;
    if (t->kind == ed::TokenKind::Text) {
      commandMark() = ed::transcriptMark();
      ed::prompt(L"\n" + ed::kIdlePrompt + L" " + t->text);
      ed::runCommand(t->text);
      if (!check()) break;
    } else if (t->kind == ed::TokenKind::Directive) {
      // An answer for a modeless window open at the idle prompt.
      std::wstring error;
      if (!ed::routeAnswer(*t, error)) {
        errors.push_back({t->line, t->text + L": " + error});
        break;
      }
    }
    // Enter, Escape and clicks at the idle prompt do nothing here.
  }
  if (errors.empty()) {
    ed::runIdleHook();
    check();
  }
  return errors;
}

}  // namespace host
