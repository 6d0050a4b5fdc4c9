// The host directive of the table library: ".table PATH FIELDS [FROM [UNTIL]]"
// prints records of a table on the command line, so that a script shows what
// a command wrote. FIELDS is a comma list; FROM ("field=value") starts at the
// first record whose field equals the value, UNTIL ("field=value") stops
// before the next record after it that matches. Each record is one line of its
// one-line values; the lines of a multi-line value follow, indented.
#include <string>
#include <vector>

#include "platform/editor/cmdline.h"
#include "platform/editor/input.h"
#include "platform/os/os.h"
#include "platform/suite/suite_abi.h"

namespace {

struct Match {
  std::wstring field, value;
  bool parse(const std::wstring& arg) {
    size_t eq = arg.find(L'=');
    if (eq == std::wstring::npos || eq == 0) return false;
    field = arg.substr(0, eq);
    value = arg.substr(eq + 1);
    return true;
  }
};

std::wstring fieldText(int h, const std::wstring& field) {
  std::vector<wchar_t> buf(1024000, L'\0');
  DbDll_FieldByName_AsStringN_W(h, field.c_str(), buf.data(), static_cast<int>(buf.size()));
  return buf.data();
}

bool matches(int h, const Match& m) { return fieldText(h, m.field) == m.value; }

bool applyTable(const std::vector<std::wstring>& args, std::wstring& error) {
  if (args.size() < 2 || args.size() > 4) {
    error = L".table PATH FIELDS [FIELD=VALUE [FIELD=VALUE]]";
    return false;
  }
  Match from, until;
  if ((args.size() > 2 && !from.parse(args[2])) || (args.size() > 3 && !until.parse(args[3]))) {
    error = L".table: a start or stop is written field=value";
    return false;
  }
  if (!os::isFile(args[0])) {
    error = L".table: no table " + args[0];
    return false;
  }
  std::vector<std::wstring> fields;
  for (size_t a = 0, b; a <= args[1].size(); a = b + 1) {
    b = args[1].find(L',', a);
    if (b == std::wstring::npos) b = args[1].size();
    if (b > a) fields.push_back(args[1].substr(a, b - a));
  }
  int h = DbDll_OpenDb_W(args[0].c_str());
  std::wstring out;
  bool started = args.size() < 3;
  for (DbDll_First(h); !DbDll_Eof(h); DbDll_Next(h)) {
    if (!started) {
      if (!matches(h, from)) continue;
      started = true;
    } else if (args.size() > 3 && matches(h, until)) {
      break;
    }
    std::wstring line = L"[" + std::to_wstring(DbDll_RecNo(h)) + L"]", more;
    for (const std::wstring& f : fields) {
      std::wstring v = fieldText(h, f);
      if (v.find(L'\n') == std::wstring::npos) {
        line += L" " + f + L"=" + v;
        continue;
      }
      more += L"    " + f + L":\n";
      for (size_t a = 0, b; a < v.size(); a = b + 1) {
        b = v.find(L'\n', a);
        if (b == std::wstring::npos) b = v.size();
        std::wstring piece = v.substr(a, b - a);
        if (!piece.empty() && piece.back() == L'\r') piece.pop_back();
        more += L"      " + piece + L"\n";
      }
    }
    out += line + L"\n" + more;
  }
  DbDll_Close(h);
  ed::printText(L"\n" + out);
  return true;
}

struct Registration {
  Registration() {
    ed::registerDirective(L".table", [](const ed::InputToken& t, std::wstring& error) {
      return applyTable(t.args, error);
    });
  }
  ~Registration() { ed::unregisterDirective(L".table"); }
};
Registration g_registration;

}  // namespace
