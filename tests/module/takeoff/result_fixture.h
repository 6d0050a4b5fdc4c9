// Result tables written from small component quantity tables: the fixture
// writes 构件算量.DB and the run's floor list, and reads result tables back.
#pragma once

#include <cmath>
#include <map>

#include "module/takeoff/result_tables.h"
#include "module/takeoff/result_writers.h"
#include "module/takeoff/takeoff_state.h"
#include "tests/module/takeoff/takeoff_fixture.h"

namespace kivtest {

inline const std::wstring kSep(1, L'\uE02F');

struct NormRow {
  std::wstring code, name, keep1, kind, unit, standardUnit;
  double standardQty = 0, quantity = 0;
  StringArray lines;
};

inline double num(const std::wstring& s) { return std::wcstod(s.c_str(), nullptr); }

class ResultTables : public TakeoffProject {
 protected:
  std::vector<NormRow> normRows() const {
    std::vector<NormRow> out;
    tablelib::Table t(os::windowsPath(project() / "001.DB"));
    for (tablelib::First(t); !tablelib::Eof(t); tablelib::Next(t)) {
      NormRow r;
      r.code = tablelib::FieldAsString(t, L"编号");
      r.name = tablelib::FieldAsString(t, L"名称");
      r.keep1 = tablelib::FieldAsString(t, L"Keep1");
      r.kind = tablelib::FieldAsString(t, L"标志");
      r.unit = tablelib::FieldAsString(t, L"单位");
      r.standardUnit = tablelib::FieldAsString(t, L"标准单位");
      r.standardQty = num(tablelib::FieldAsString(t, L"标准工程量"));
      r.quantity = num(tablelib::FieldAsString(t, L"工程量"));
      SplitLines(tablelib::FieldAsString(t, L"算式工程量"), r.lines);
      out.push_back(r);
    }
    return out;
  }

  // A component quantity table from rows "构件名称\t标志\t编号\t定额\t工程量".
  void writeQuantityTable(const std::string& rows) {
    makeTable(project() / u8"构件算量.DB",
              "构件名称:ftString:50\t标志:ftString:20\t编号:ftString:50\t说明\t参数\t定额\t数量:ftInteger\t工程量\t"
              "算式工程量\n" + rows);
  }

  static std::string row(const std::string& name, const std::string& number, const std::string& norm,
                         const std::string& lines) {
    return name + "\t\t" + number + "\t\t\t" + norm + "\t1\t" + lines + "\t\n";
  }
  static std::string header(const std::string& floor, int count) {
    return "■" + floor + "=" + std::to_string(count) + "\t楼层\t\t\t\t\t\t\t\n";
  }

  void floors(StringArray list) { g_runFloorList = std::move(list); }

  void setRuleSet(const char* rules) { std::ofstream(project() / "000.GC") << "[工程档案]\n工程量规则=" << rules << "\n"; }
  void setConversion(const char* value) {
    std::ofstream(suite() / "INIT.INI") << "[软件设置]\n定额换算=" << value << "\n";
  }
  fs::path suite() const { return suiteSystem().parent_path(); }

  static std::vector<std::wstring> kindsAndCodes(const std::vector<NormRow>& rows) {
    std::vector<std::wstring> out;
    for (const NormRow& r : rows) out.push_back(r.kind + L":" + r.code + L":" + r.name);
    return out;
  }

  // The rows of a table of the project with the fields, tab-joined.
  std::vector<std::wstring> tableRows(const fs::path& table, StringArray fields) const {
    std::vector<std::wstring> out;
    tablelib::Table t(os::windowsPath(project() / table));
    for (tablelib::First(t); !tablelib::Eof(t); tablelib::Next(t)) {
      std::wstring line;
      for (size_t i = 0; i < fields.size(); ++i) line += (i ? L"\t" : L"") + tablelib::FieldAsString(t, fields[i]);
      out.push_back(line);
    }
    return out;
  }
};


}  // namespace kivtest
