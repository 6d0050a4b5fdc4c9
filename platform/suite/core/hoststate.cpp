#include "platform/suite/core/hoststate.h"

#include <algorithm>
#include <cstdio>
#include <initializer_list>
#include <string_view>

#include "platform/os/os.h"
#include "platform/suite/core/table.h"
#include "platform/suite/core/text.h"

namespace suite {

HostState& hostState() {
  static HostState s;
  return s;
}

void logCall(const std::wstring& line) {
  auto& s = hostState();
  std::lock_guard lock(s.mutex);
  if (s.log.size() >= 10000) s.log.erase(s.log.begin(), s.log.begin() + 5000);
  s.log.push_back(line);
}

namespace {

const std::wstring kFloor = L"楼层", kCategory = L"分类", kComponent = L"构件", kNumber = L"编号";

std::wstring projectFile(const HostState& s, const std::wstring& name) {
  if (s.projectsRoot.empty() || s.project.empty()) return {};
  return s.projectsRoot + L"\\" + s.project + L"\\" + name;
}

// Calls fn with the text of the named fields of every record, in table order.
// False with a reason when the table cannot be read or lacks one of the fields.
template <class Fn>
bool forEachRecord(const std::wstring& file, std::initializer_list<std::string_view> names, Fn fn,
                   std::string& err) {
  if (file.empty()) return false;
  Table t;
  if (!loadTable(os::nativePath(file), t, err)) return false;
  std::vector<int> fields;
  for (auto name : names) {
    fields.push_back(t.findField(name));
    if (fields.back() < 0) {
      err = "no field \"" + std::string(name) + "\"";
      return false;
    }
  }
  std::vector<std::string> texts(fields.size());
  for (const auto& r : t.records) {
    for (size_t i = 0; i < fields.size(); ++i) texts[i] = t.cellText(fields[i], r[fields[i]]);
    fn(texts);
  }
  return true;
}

// The text of one field of every record (records filtered by an optional
// field = value), in table order.
std::vector<std::wstring> readColumn(const std::wstring& file, const std::string& field,
                                     const std::string& whereField = {}, const std::string& whereValue = {}) {
  std::vector<std::wstring> out;
  std::string err;
  if (whereField.empty())
    forEachRecord(file, {field}, [&](const auto& v) { out.push_back(widen(v[0])); }, err);
  else
    forEachRecord(
        file, {field, whereField},
        [&](const auto& v) {
          if (v[1] == whereValue) out.push_back(widen(v[0]));
        },
        err);
  return out;
}

using CategoryList = std::vector<std::pair<std::wstring, std::vector<std::wstring>>>;

// The categories and their types as the installation's component library
// 系统文件\构件库.DB lists them (fields 构件分类 and 构件名称, in table order;
// rows without a component name, such as section rows, are passed over).
// Without a readable library the lists are empty, and a notice says why
// (once per library path).
CategoryList categoriesLocked(const HostState& s) {
  CategoryList out;
  std::string err = "no suite folder";
  const std::wstring file = s.suiteDir.empty() ? L"" : s.suiteDir + L"\\系统文件\\构件库.DB";
  bool read = forEachRecord(
      file, {"构件分类", "构件名称"},
      [&](const auto& v) {
        if (v[1].empty()) return;
        std::wstring category = widen(v[0]);
        auto it = std::find_if(out.begin(), out.end(), [&](const auto& c) { return c.first == category; });
        if (it == out.end()) it = out.insert(out.end(), {category, {}});
        it->second.push_back(widen(v[1]));
      },
      err);
  if (read && out.empty()) err = "it names no component";
  static std::wstring warned;
  if (out.empty() && warned != file + L"|" + widen(err)) {
    warned = file + L"|" + widen(err);
    std::fprintf(stderr, "Pelk.dll: the component library %s cannot be read (%s); the category and component lists are empty\n",
                 narrow(file).c_str(), err.c_str());
  }
  return out;
}

std::vector<std::wstring> listLocked(HostState& s, const std::wstring& combo) {
  if (combo == kFloor) return readColumn(projectFile(s, L"007.DB"), "楼层");
  if (combo == kCategory) {
    std::vector<std::wstring> out;
    for (auto& [c, types] : categoriesLocked(s)) out.push_back(std::move(c));
    return out;
  }
  if (combo == kComponent) {
    for (auto& [c, types] : categoriesLocked(s))
      if (c == s.combo[kCategory]) return std::move(types);
    return {};
  }
  if (combo == kNumber) {
    const std::wstring& floor = s.combo[kFloor];
    if (floor.empty()) return {};
    auto all = readColumn(projectFile(s, floor + L".DB"), "编号", "构件名称", narrow(s.combo[kComponent]));
    std::vector<std::wstring> out;
    for (auto& n : all)
      if (!n.empty() && std::find(out.begin(), out.end(), n) == out.end()) out.push_back(n);
    return out;
  }
  return {};
}

// A dependent combo keeps its value when its new list holds it, else takes
// the list's first item (empty when the list is empty).
void follow(HostState& s, const std::wstring& combo) {
  auto items = listLocked(s, combo);
  std::wstring& v = s.combo[combo];
  if (std::find(items.begin(), items.end(), v) == items.end()) v = items.empty() ? L"" : items.front();
}

}  // namespace

std::vector<std::wstring> comboList(const std::wstring& combo) {
  auto& s = hostState();
  std::lock_guard lock(s.mutex);
  return listLocked(s, combo);
}

bool setCombo(const std::wstring& combo, const std::wstring& value) {
  auto& s = hostState();
  std::lock_guard lock(s.mutex);
  if (combo == kFloor) {
    s.combo[kFloor] = value;
    follow(s, kNumber);
  } else if (combo == kCategory) {
    s.combo[kCategory] = value;
    follow(s, kComponent);
    follow(s, kNumber);
  } else if (combo == kComponent) {
    s.combo[kComponent] = value;
    follow(s, kNumber);
  } else if (combo == kNumber) {
    s.combo[kNumber] = value;
  } else {
    return false;
  }
  return true;
}

void refreshProject() {
  auto& s = hostState();
  std::lock_guard lock(s.mutex);
  auto floors = listLocked(s, kFloor);
  std::wstring& f = s.combo[kFloor];
  if (std::find(floors.begin(), floors.end(), f) == floors.end()) f = floors.empty() ? L"" : floors.front();
  follow(s, kNumber);
}

}  // namespace suite
