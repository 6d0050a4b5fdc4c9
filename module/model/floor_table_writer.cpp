// Writing the drawing's components into the current floor's component table.
#include "module/model/floor_table_writer.h"

#include <cstdio>
#include <vector>

#include "module/model/project_tables.h"
#include "module/model/scope_guards.h"
#include "module/toolkit/globals.h"
#include "module/toolkit/project_paths.h"
#include "module/toolkit/table_lib.h"
#include "module/toolkit/window_lib.h"
#include "module/toolkit/collect.h"
#include "module/toolkit/layers.h"
#include "module/toolkit/suite_call.h"
#include "module/toolkit/xdata.h"
#include "module/toolkit/vocabulary.h"
#include "platform/cad/database.h"
#include "platform/editor/progress.h"
#include "platform/os/os.h"

namespace {

constexpr const wchar_t* kAxisType = L"轴网";
constexpr const wchar_t* kAxisNameType = L"轴网名";
constexpr const wchar_t* kFigureParam = L"图形";

// The largest text the window library returns for the rule items, and the
// longest mode value of the project file.
constexpr int kRuleTextChars = 40960;
constexpr int kIniValueChars = 256;

// The library field that holds the rule lines: the project's quantity-rule
// mode, 定额 unless the project file says 清单 or 纯清单.
std::wstring ReadRuleMode() {
  const std::wstring file = ProjectFolderPath() + L"\\000.GC";
  std::vector<wchar_t> out(kIniValueChars + 1, L'\0');
  SuiteCall<void(const wchar_t*, const wchar_t*, const wchar_t*, wchar_t*)>::call(
      SuiteModule::Base, "Dll_ReadIni_W", file.c_str(), L"工程档案", L"工程量规则", out.data());
  out.back() = L'\0';
  const std::wstring mode = out.data();
  if (mode == L"清单" || mode == L"纯清单") return mode;
  return L"定额";
}

// The rule text to store, as the window library makes it of the items.
std::wstring RuleTextForRow(const std::wstring& items) {
  std::vector<wchar_t> out(kRuleTextChars + 1, L'\0');
  SuiteCall<int(const wchar_t*, wchar_t*)>::call(SuiteModule::Window, "WinDll_GetDe_W", 0, items.c_str(),
                                                 out.data());
  out.back() = L'\0';
  return out.data();
}

// Splits a line at its first "=": false when it holds none.
bool splitNameValue(const std::wstring& line, std::wstring& name, std::wstring& value) {
  const auto eq = line.find(L'=');
  if (eq == std::wstring::npos) return false;
  name = line.substr(0, eq);
  value = line.substr(eq + 1);
  return true;
}

// A parameter line that the entity's attribute line of the same name
// replaces; the list of choices after ":" in the old value stays.
std::wstring mergedLine(const std::wstring& attrLine, const std::wstring& oldValue) {
  const auto colon = oldValue.find(L':');
  if (colon == std::wstring::npos) return attrLine;
  return attrLine + L":" + oldValue.substr(colon + 1);
}

// Replaces each parameter line whose name one of the attribute lines holds.
void replaceKnownParams(StringArray& params, const StringArray& attrs) {
  for (auto& line : params) {
    std::wstring name, value;
    if (!splitNameValue(line, name, value)) name = line;
    const int i = TStrsIndexOfName(attrs, name);
    if (i >= 0 && i < static_cast<int>(attrs.size())) line = mergedLine(attrs[i], value);
  }
}

// Writes one field of the current row as its own edit.
void storeField(tablelib::Handle h, const std::wstring& field, const std::wstring& text) {
  tablelib::Edit(h);
  tablelib::WriteAsString(h, field, text);
  tablelib::Post(h);
}

struct Run {
  tablelib::Handle graph = 0, library = 0, table = 0;
  std::wstring mode;
  bool wholeDrawing = false;
};

// Fills a new or template row of type t for the entity (the row is current).
void fillRow(const Run& run, const std::wstring& t, bool libraryFound, cad::ObjectId id,
             const StringArray& attrs) {
  const tablelib::Handle table = run.table;
  StringArray ruleLines, params;
  if (libraryFound) {
    SplitLines(tablelib::FieldAsString(run.library, run.mode), ruleLines);
    SplitLines(tablelib::FieldAsString(run.library, kFieldParams), params);
  }
  // Rule items. They carry their codes, names and units, so that a row made
  // here (a fitting, a number a conversion brought in) is priced under its
  // norm's name and unit like a row the user defined.
  if (run.wholeDrawing) {
    if (tablelib::FieldAsString(table, kFieldRules).empty())
      storeField(table, kFieldRules, RuleTextForRow(BuildRuleItems(ruleLines, true, true)));
  } else {
    storeField(table, kFieldRules, BuildRuleItems(ruleLines, true, true));
  }
  // Default parameters with the entity's values.
  replaceKnownParams(params, attrs);
  // The figure: from the graph library, else the entity's own figure data.
  const std::wstring figure = GetAttrValue(params, kFigureParam);
  if (run.graph > 0 && LocateRuleItem(run.graph, t, figure)) {
    StringArray graphParams;
    SplitLines(tablelib::FieldAsString(run.graph, kFieldParams), graphParams);
    params.insert(params.end(), graphParams.begin(), graphParams.end());
    tablelib::Edit(table);
    for (const wchar_t* field : {kFieldCoords, kFieldCoords3d, kFieldWidth, kFieldHeight, kFieldLabels})
      tablelib::WriteAsString(table, field, tablelib::FieldAsString(run.graph, field));
    tablelib::Post(table);
  } else {
    StringArray coords, labels;
    GetXdataLines(id, kFieldCoords, coords);
    GetXdataLines(id, kFieldLabels, labels);
    std::wstring coordText, labelText;
    JoinLines(coords, coordText);
    JoinLines(labels, labelText);
    tablelib::Edit(table);
    if (!coordText.empty()) tablelib::WriteAsString(table, kFieldCoords, coordText);
    if (!labelText.empty()) tablelib::WriteAsString(table, kFieldLabels, labelText);
    tablelib::WriteAsString(table, kFieldGrid, L"[COORD 0]");
    tablelib::WriteAsString(table, kFieldWidth, L"300");
    tablelib::WriteAsString(table, kFieldHeight, L"300");
    tablelib::Post(table);
    ClearXdata(id, kFieldCoords);
    ClearXdata(id, kFieldLabels);
  }
  // The attribute lines once more: known names replace, others are added.
  for (const auto& attr : attrs) {
    std::wstring name, value;
    if (!splitNameValue(attr, name, value)) continue;
    bool replaced = false;
    for (auto& line : params) {
      std::wstring pName, pValue;
      if (!splitNameValue(line, pName, pValue)) pName = line;
      if (pName == name) {
        line = mergedLine(attr, pValue);
        replaced = true;
        break;
      }
    }
    if (!replaced) params.push_back(attr);
  }
  std::wstring paramText;
  JoinLines(params, paramText);
  storeField(table, kFieldParams, paramText);
}

// Handles one entity collected under type t.
void writeEntity(const Run& run, const std::wstring& t, cad::ObjectId id) {
  std::wstring number;
  StringArray attrs;
  GetGjNumberAndAttrs(id, number, attrs);
  if (number.empty() || t == kAxisNameType) return;
  const tablelib::Handle table = run.table;

  // The library row of the type. A type the library lacks gets no category,
  // parameters or rule items rather than those of an unrelated component.
  bool libraryFound = false;
  std::wstring category;
  if (run.library > 0) {
    tablelib::First(run.library);
    libraryFound = tablelib::Locate(run.library, kFieldName, t);
    if (libraryFound) category = tablelib::FieldAsString(run.library, kFieldCategory);
  }

  // The rows of t lie together. The row of the number wins over a template
  // row (empty 编号) before it, so a number never gets a second row; a new
  // row goes right after the rows of t, or at the end of the table.
  int templateAt = -1, numberAt = -1, count = 0;
  bool endOfTable = true;
  tablelib::First(table);
  if (tablelib::Locate(table, kFieldName, t)) {
    while (!tablelib::Eof(table)) {
      if (tablelib::FieldAsString(table, kFieldName) != t) {
        endOfTable = false;
        break;
      }
      const std::wstring rowNumber = tablelib::FieldAsString(table, kFieldNumber);
      if (rowNumber == number) {
        numberAt = count;
        break;
      }
      if (rowNumber.empty() && templateAt < 0) templateAt = count;
      ++count;
      tablelib::Next(table);
    }
  }
  auto moveTo = [&](int index) {
    tablelib::First(table);
    tablelib::Locate(table, kFieldName, t);
    for (int i = 0; i < index; ++i) tablelib::Next(table);
  };

  if (numberAt >= 0) {
    // An existing row takes the entity's values of the names it has.
    StringArray params;
    SplitLines(tablelib::FieldAsString(table, kFieldParams), params);
    replaceKnownParams(params, attrs);
    std::wstring paramText;
    JoinLines(params, paramText);
    storeField(table, kFieldParams, paramText);
  } else {
    if (templateAt >= 0) {
      moveTo(templateAt);
    } else if (endOfTable) {
      tablelib::Append(table);
      tablelib::Post(table);
    } else {
      tablelib::Insert(table);
      tablelib::Post(table);
    }
    tablelib::Edit(table);
    tablelib::WriteAsString(table, kFieldCategory, category);
    tablelib::WriteAsString(table, kFieldName, t);
    tablelib::WriteAsString(table, kFieldNumber, number);
    tablelib::Post(table);
    // The entity gives up its attribute lines only to a row that holds them.
    if (tablelib::FieldAsString(table, kFieldName) != t ||
        tablelib::FieldAsString(table, kFieldNumber) != number)
      return;
    if (t == kAxisType) return;
    fillRow(run, t, libraryFound, id, attrs);
  }

  // The primary marking.
  const std::wstring handle = GetHandleText(id);
  if (handle.empty()) return;
  ClearXdata(id, kXdataAttrs);
  StringArray mark{handle, L"主键"};
  SetXdataLines(id, kXdataAttrs, mark, id.database());
}

void writeTypes(const StringArray& types, bool wholeDrawing) {
  const std::wstring floor = winlib::CmbGetName(winlib::kComboFloor);
  // Without the floor's table nothing can be written, and the entities keep
  // their attribute lines.
  if (floor.empty() || !os::isFile(FloorGjTablePath(floor))) return;
  Run run;
  run.wholeDrawing = wholeDrawing;
  run.mode = ReadRuleMode();
  // The tables stay open for the whole run and close on every way out.
  tablelib::Table graph(GraphLibraryPath()), library(GjLibraryPath()), table(FloorGjTablePath(floor));
  run.graph = graph.handle();
  run.library = library.handle();
  run.table = table.handle();

  std::vector<std::pair<std::wstring, cad::ObjectIdArray>> work;
  int total = 0;
  if (run.table > 0) {
    for (const auto& t : types) {
      cad::ObjectIdArray ids;
      if (!t.empty()) CollectIdsByLayerAndNumber(t, L"", ids, nullptr);
      total += static_cast<int>(ids.size());
      work.emplace_back(t, std::move(ids));
    }
  }
  ed::setStatusBarProgressMeter(L"写楼层", 0, total);
  ScopeExit restoreStatusBar([] { ed::restoreStatusBar(); });
  int done = 0;
  for (const auto& [t, ids] : work) {
    for (cad::ObjectId id : ids) {
      ed::setStatusBarProgressMeterPos(done++);
      writeEntity(run, t, id);
    }
  }
}

}  // namespace

const StringArray& FloorTableGjTypes() {
  static const StringArray types{
      L"给水管", L"热给水管", L"热回水管", L"污水管", L"废水管", L"雨水管", L"中水管", L"消防管", L"喷淋管",
      L"软管道", L"其它管道", L"照明导线", L"动力导线", L"消防导线", L"其它导线", L"导管", L"线槽", L"软导管",
      L"导线·导管", L"电缆", L"母线馈线", L"桥架", L"托盘", L"组合式桥架", L"送风管", L"新风管", L"回风管",
      L"排风管", L"除尘排烟管", L"柔性风管", L"其它风管", L"热供水管", L"热回水管(暖通)", L"冷供水管",
      L"冷回水管", L"冷却水管", L"凝结水管", L"软水管", L"其它水管", L"阀门", L"法兰", L"喷淋头", L"普通水嘴",
      L"冷热水嘴", L"排水附件", L"管道补偿器", L"管道仪器", L"管道套管", L"浴盆", L"洗脸盆", L"淋浴器", L"大便器",
      L"小便器", L"其它卫生器具", L"给排水设备", L"消防设备", L"其它设备", L"管道沟槽", L"检查井", L"管道支架",
      L"点状灯具", L"块状灯具", L"插座", L"开关", L"接线盒", L"管线套管", L"其它电器具", L"动力设备",
      L"电消防设备", L"配电箱", L"配电柜", L"配电盘", L"元件装置", L"其它电设备", L"接地极", L"接地母线",
      L"接地跨接线", L"避雷针", L"避雷引下线", L"避雷带", L"电缆沟槽", L"电缆井", L"电气支架", L"设备基础",
      L"送风口", L"新风口", L"回风口", L"排风口", L"排烟口", L"其它风口", L"空调机组", L"风机盘管", L"通风机",
      L"除尘设备", L"其它风设备", L"风阀", L"风法兰", L"导流片", L"风帽", L"静压箱", L"消声器", L"过滤器",
      L"水阀", L"水法兰", L"水管补偿器", L"水管仪器", L"暖通套管", L"冷水机组", L"锅炉", L"水泵", L"冷却塔",
      L"散热器", L"暖风机", L"地暖盘管", L"其它暖设备", L"风管支架", L"水管支架", L"暖通设备基础",
      L"暖通检查井", L"暖通管道沟槽", L"轴网", L"轴网名", L"辅助轴网", L"辅助轴网名", L"砼墙", L"砖墙",
      L"填充墙", L"间壁墙", L"电梯井墙", L"玻璃幕墙", L"框架梁", L"次梁", L"圈梁", L"过梁", L"砼柱", L"砖柱",
      L"构造柱", L"暗柱", L"门", L"窗", L"洞"};
  return types;
}

std::wstring BuildRuleItems(const StringArray& libraryLines, bool withNumbers, bool withNamesAndUnits) {
  StringArray items;
  int index = 0;
  for (const auto& line : libraryLines) {
    if (line.empty() || line.find(L'=') == std::wstring::npos) continue;
    StringArray parts;
    SplitToArray(line, L"=", parts);
    if (parts.size() < 4) continue;
    wchar_t head[16];
    std::swprintf(head, sizeof head / sizeof head[0], L"[%03d]", ++index);
    items.push_back(head);
    items.push_back(L"标志=" + parts[0]);
    items.push_back(L"类型=" + parts[1]);
    if (withNumbers) {
      const std::wstring& p4 = parts[3];
      const auto bars = p4.find(L"||");
      if (bars != std::wstring::npos && bars > 0) {
        StringArray pieces;
        SplitToArray(p4, L"||", pieces);
        if (pieces.size() == 2) {
          items.push_back(L"编号=" + pieces[1]);
          if (withNamesAndUnits) {
            items.push_back(L"名称=" + pieces[0]);
            if (parts.size() > 4 && !parts[4].empty()) items.push_back(L"单位=" + parts[4]);
          }
        }
      }
    }
  }
  std::wstring text;
  JoinLines(items, text);
  return text;
}

void WriteAllGjToFloorTables() { writeTypes(FloorTableGjTypes(), true); }

void WriteGjToFloorTable(const std::wstring& types) {
  StringArray list;
  SplitToArray(types, L",", list);
  writeTypes(list, false);
}
