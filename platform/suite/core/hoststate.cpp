#include "platform/suite/core/hoststate.h"

#include <algorithm>
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

const std::vector<std::pair<std::wstring, std::wstring>>& categoryTable() {
  static const std::vector<std::pair<std::wstring, std::wstring>> table = {
      {L"轴网", L"轴网"},
      {L"基础", L"砼条基,砖条基,基础梁,满基,独基,承台,桩,集水井,土方"},
      {L"墙", L"砼墙,砖墙,间壁墙,电梯井墙,填充墙,玻璃幕墙"},
      {L"门窗洞", L"门,窗,洞,飘窗,老虎窗"},
      {L"柱", L"砼柱,砖柱,构造柱,暗柱"},
      {L"梁", L"框架梁,次梁,圈梁,过梁"},
      {L"板.楼梯", L"现浇板,预制板,楼梯"},
      {L"装饰", L"房间,楼梯面,天棚,墙面,屋面"},
      {L"零星构件", L"阳台,雨蓬,挑檐,散水,水沟,台阶,坡道,脚手架,平整场地,建筑面积,后浇带"},
      {L"多义构件", L"线构件,面构件,体构件"},
      {L"管道", L"给水管,热给水管,热回水管,污水管,废水管,雨水管,中水管,消防管,喷淋管,软管道,其它管道"},
      {L"管道附件", L"阀门,法兰,喷淋头,普通水嘴,冷热水嘴,排水附件,管道补偿器,管道仪器,管道套管"},
      {L"卫生器具", L"浴盆,洗脸盆,淋浴器,大便器,小便器,其它卫生器具"},
      {L"设备", L"给排水设备,消防设备,其它设备"},
      {L"排水零星", L"检查井,管道支架,管道沟槽"},
      {L"管道配件", L"管道堵头,管道弯头,管道三通,管道四通"},
      {L"管线", L"照明导线,动力导线,消防导线,导管,线槽,软导管,导线·导管,其它导线"},
      {L"照明器具", L"点状灯具,块状灯具,插座,开关,其它电器具"},
      {L"设备、箱柜", L"动力设备,电消防设备,其它电设备,配电箱,配电柜,配电盘,元件装置"},
      {L"电缆桥架", L"电缆,母线馈线,桥架,托盘,组合式桥架"},
      {L"防雷接地", L"接地极,接地母线,接地跨接线,避雷针,避雷引下线,避雷带"},
      {L"附件、零星", L"接线盒,管线套管,电缆沟槽,电缆井,电气支架,设备基础"},
      {L"风管", L"送风管,新风管,回风管,排风管,除尘排烟管,柔性风管,其它风管"},
      {L"水管", L"热供水管,热回水管(暖通),冷供水管,冷回水管,冷却水管,凝结水管,软水管,其它水管"},
      {L"风口设备", L"送风口,新风口,回风口,排风口,其它风口,空调机组,风机盘管,通风机,除尘设备,其它风设备"},
      {L"风管部件", L"风阀,风法兰,导流片,风帽,静压箱,消声器,过滤器"},
      {L"风管配件", L"弯头,三通,四通,大小头,来回弯"},
      {L"水暖附件", L"水阀,水法兰,水管补偿器,水管仪器,暖通套管"},
      {L"水暖设备", L"冷水机组,锅炉,水泵,冷却塔,散热器,暖风机,地暖盘管,其它暖设备"},
      {L"暖通零星", L"风管支架,水管支架,暖通设备基础,暖通检查井,暖通管道沟槽"},
      {L"水管配件", L"水管堵头,水管弯头,水管三通,水管四通"},
  };
  return table;
}

namespace {

const std::wstring kFloor = L"楼层", kCategory = L"分类", kComponent = L"构件", kNumber = L"编号";

std::wstring projectFile(const HostState& s, const std::wstring& name) {
  if (s.projectsRoot.empty() || s.project.empty()) return {};
  return s.projectsRoot + L"\\" + s.project + L"\\" + name;
}

// Calls fn with the text of the named fields of every record, in table order.
// False when the table cannot be read or lacks one of the fields.
template <class Fn>
bool forEachRecord(const std::wstring& file, std::initializer_list<std::string_view> names, Fn fn) {
  if (file.empty()) return false;
  Table t;
  std::string err;
  if (!loadTable(os::nativePath(file), t, err)) return false;
  std::vector<int> fields;
  for (auto name : names) {
    fields.push_back(t.findField(name));
    if (fields.back() < 0) return false;
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
  if (whereField.empty())
    forEachRecord(file, {field}, [&](const auto& v) { out.push_back(widen(v[0])); });
  else
    forEachRecord(file, {field, whereField}, [&](const auto& v) {
      if (v[1] == whereValue) out.push_back(widen(v[0]));
    });
  return out;
}

using CategoryList = std::vector<std::pair<std::wstring, std::vector<std::wstring>>>;

// The categories and their types as the installation's component library
// 系统文件\构件库.DB lists them (fields 构件分类 and 构件名称, in table order;
// rows without a component name, such as section rows, are passed over). The
// built-in table stands in when the library cannot be read or names nothing.
CategoryList categoriesLocked(const HostState& s) {
  CategoryList out;
  if (!s.suiteDir.empty())
    forEachRecord(s.suiteDir + L"\\系统文件\\构件库.DB", {"构件分类", "构件名称"}, [&](const auto& v) {
      if (v[1].empty()) return;
      std::wstring category = widen(v[0]);
      auto it = std::find_if(out.begin(), out.end(), [&](const auto& c) { return c.first == category; });
      if (it == out.end()) it = out.insert(out.end(), {category, {}});
      it->second.push_back(widen(v[1]));
    });
  if (out.empty())
    for (const auto& [c, types] : categoryTable()) out.push_back({c, splitOn(types, L',')});
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
