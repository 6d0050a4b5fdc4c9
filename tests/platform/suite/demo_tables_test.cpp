// The demo installation and project as the build leaves them: every table
// opens through the table library with the fields its readers use, the floor
// table holds the basement below zero, the component library covers every
// component type with well-formed colours and rule items, and every figure a
// type names can be found in the graph library.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/os/os.h"
#include "platform/suite/suite_abi.h"

namespace fs = std::filesystem;

namespace {

const fs::path kSuite = fs::path(KIV_BINARY_DIR) / "suite";
const fs::path kSystem = kSuite / u8"系统文件";
// The project as built, not build/projects/示例工程, which runs of cadhost change.
const fs::path kProject = fs::path(KIV_BINARY_DIR) / "demo" / u8"示例工程";

std::vector<std::wstring> split(const std::wstring& text, const std::wstring& sep) {
  std::vector<std::wstring> out;
  size_t start = 0;
  while (true) {
    size_t p = text.find(sep, start);
    out.push_back(text.substr(start, p == std::wstring::npos ? std::wstring::npos : p - start));
    if (p == std::wstring::npos) break;
    start = p + sep.size();
  }
  return out;
}

// A whole table read through Ravn.dll: field names and records in table order.
struct Table {
  std::vector<std::wstring> fields;
  std::vector<std::map<std::wstring, std::wstring>> rows;
  std::vector<std::wstring> column(const std::wstring& f) const {
    std::vector<std::wstring> out;
    for (const auto& r : rows) out.push_back(r.at(f));
    return out;
  }
};

class DemoTables : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    lib_ = os::loadLibrary(os::windowsPath(kSystem / u8"Ravn.dll"));
  }
  static void TearDownTestSuite() {
    if (lib_) os::freeLibrary(lib_);
    lib_ = nullptr;
  }
  void SetUp() override { ASSERT_NE(lib_, nullptr) << "Ravn.dll is not built"; }

  template <class Fn>
  static Fn fn(const char* name) {
    return os::findFunction<Fn>(lib_, name);
  }

  static Table read(const fs::path& path) {
    Table t;
    int h = fn<DbDll_OpenDb_W_fn>("DbDll_OpenDb_W")(os::windowsPath(path).c_str());
    int n = fn<DbDll_FieldCount_fn>("DbDll_FieldCount")(h);
    for (int i = 0; i < n; ++i) {
      wchar_t name[256] = {};
      fn<DbDll_GetFieldName_W_fn>("DbDll_GetFieldName_W")(h, i, name);
      t.fields.push_back(name);
    }
    std::vector<wchar_t> buf(1024000);
    fn<DbDll_First_fn>("DbDll_First")(h);
    while (!fn<DbDll_Eof_fn>("DbDll_Eof")(h)) {
      std::map<std::wstring, std::wstring> row;
      for (const auto& f : t.fields) {
        buf[0] = 0;
        fn<DbDll_FieldByName_AsString_W_fn>("DbDll_FieldByName_AsString_W")(h, f.c_str(), buf.data());
        row[f] = buf.data();
      }
      t.rows.push_back(row);
      fn<DbDll_Next_fn>("DbDll_Next")(h);
    }
    fn<DbDll_Close_fn>("DbDll_Close")(h);
    return t;
  }

  static os::ModuleHandle lib_;
};
os::ModuleHandle DemoTables::lib_ = nullptr;

const std::wstring kMarker = L"***给排水***";

TEST_F(DemoTables, EveryTableOpensWithTheFieldsItsReadersUse) {
  struct Case {
    fs::path path;
    std::vector<std::wstring> fields;
  };
  const Case cases[] = {
      {kProject / u8"007.DB", {L"楼层", L"层高", L"标高", L"相同层", L"砼强度等级", L"砌筑砂浆"}},
      {kSystem / u8"构件库.DB",
       {L"构件分类", L"构件名称", L"图层", L"颜色", L"参数", L"清单", L"定额", L"纯清单", L"背景"}},
      {kSystem / u8"图形库.DB",
       {L"名称", L"参数", L"坐标", L"三维坐标", L"图形宽", L"图形高", L"标注", L"图形", L"DWG图形"}},
      {kSystem / u8"计算规则.DB", {L"属性", L"定额值", L"清单值"}},
      {kSystem / u8"定额库.DB", {L"定额名称", L"定额编号"}},
      {kSystem / u8"项目库.DB", {L"项目名称", L"项目编号"}},
      {kSystem / u8"定额楼层明细.DB", {L"序号", L"编码", L"名称", L"单位", L"工程量", L"标志"}},
      {kSystem / u8"构件做法汇总.DB", {L"编码", L"名称", L"工程量", L"单位", L"标志"}},
      {kSystem / u8"电气回路明细表.DB", {L"回路", L"实体", L"编码", L"名称", L"工程量", L"单位", L"标志"}},
      {kSystem / u8"电气回路汇总表.DB", {L"回路", L"实体", L"编码", L"名称", L"工程量", L"单位", L"标志"}},
  };
  for (const auto& c : cases) {
    ASSERT_TRUE(fs::is_regular_file(c.path)) << c.path;
    Table t = read(c.path);
    std::set<std::wstring> have(t.fields.begin(), t.fields.end());
    for (const auto& f : c.fields) EXPECT_TRUE(have.count(f)) << c.path << " lacks " << os::toUtf8(f);
  }
  // The module copies the rule table together with its memo file.
  for (const wchar_t* mb : {L"计算规则.MB", L"电气回路明细表.MB", L"电气回路汇总表.MB"})
    EXPECT_TRUE(fs::is_regular_file(kSystem / os::toUtf8(mb))) << os::toUtf8(mb);
  for (const wchar_t* f : {L"INIT.INI", L"BACK.DWG", L"GZK.ZIP"})
    EXPECT_TRUE(fs::is_regular_file(kSuite / os::toUtf8(f))) << os::toUtf8(f);
}

TEST_F(DemoTables, FloorTableHoldsTheFloorsWithTheBasementBelowZero) {
  Table t = read(kProject / u8"007.DB");
  ASSERT_EQ(t.column(L"楼层"), (std::vector<std::wstring>{L"地下1层", L"1层", L"2层", L"3层"}));
  double top = 0;
  for (const auto& r : t.rows) {
    // A basement's height is negative (its storey stands below 0).
    double h = std::fabs(std::stod(r.at(L"层高"))), e = std::stod(r.at(L"标高"));
    EXPECT_GT(h, 2000) << os::toUtf8(r.at(L"楼层"));
    // Each floor starts where the one below ends.
    if (&r != &t.rows.front()) {
      EXPECT_DOUBLE_EQ(e, top) << os::toUtf8(r.at(L"楼层"));
    }
    top = e + h;
    EXPECT_GE(std::stoi(r.at(L"相同层")), 1);
    // Every floor has its drawing and its component table.
    EXPECT_TRUE(fs::is_regular_file(kProject / os::toUtf8(r.at(L"楼层") + L".DWG")));
    EXPECT_TRUE(fs::is_regular_file(kProject / os::toUtf8(r.at(L"楼层") + L".DB")));
  }
  EXPECT_LT(std::stod(t.rows[0].at(L"标高")), 0);
  EXPECT_LT(std::stod(t.rows[0].at(L"层高")), 0);
  EXPECT_DOUBLE_EQ(std::stod(t.rows[1].at(L"标高")), 0);
}

TEST_F(DemoTables, ComponentLibraryCoversEveryTypeWithWellFormedFields) {
  Table t = read(kSystem / u8"构件库.DB");
  // Seeding a floor copies the library's first two fields and finds the
  // marker through 构件分类, so both must come first.
  ASSERT_GE(t.fields.size(), 2u);
  EXPECT_EQ(t.fields[0], L"构件分类");
  EXPECT_EQ(t.fields[1], L"构件名称");

  std::map<std::wstring, size_t> rowOf;
  size_t marker = t.rows.size();
  for (size_t i = 0; i < t.rows.size(); ++i) {
    if (t.rows[i].at(L"构件分类") == kMarker) marker = std::min(marker, i);
    const std::wstring& name = t.rows[i].at(L"构件名称");
    if (name.empty()) continue;
    EXPECT_FALSE(rowOf.count(name)) << "two rows for " << os::toUtf8(name);
    rowOf[name] = i;
  }
  ASSERT_LT(marker, t.rows.size()) << "no marker row";
  // The library is where the category table lives: 31 categories in order,
  // each row naming a type once; the installation types (category 11 on)
  // follow the marker, the others precede it.
  std::vector<std::wstring> categories;
  for (size_t i = 0; i < t.rows.size(); ++i) {
    const auto& row = t.rows[i];
    if (row.at(L"构件名称").empty()) continue;
    auto c = std::find(categories.begin(), categories.end(), row.at(L"构件分类"));
    if (c == categories.end()) c = categories.insert(categories.end(), row.at(L"构件分类"));
    EXPECT_EQ(i > marker, c - categories.begin() >= 10) << os::toUtf8(row.at(L"构件名称"));
  }
  ASSERT_EQ(categories.size(), 31u);
  EXPECT_EQ(categories.front(), L"轴网");
  EXPECT_EQ(categories[10], L"管道");
  EXPECT_EQ(categories.back(), L"水管配件");
  EXPECT_TRUE(rowOf.count(L"排烟口"));

  for (const auto& [name, i] : rowOf) {
    const auto& row = t.rows[i];
    // Colours: one line for the layer and one for its label layer, decimal RGB.
    auto colours = split(row.at(L"颜色"), L"\r\n");
    ASSERT_EQ(colours.size(), 2u) << os::toUtf8(name);
    for (size_t k = 0; k < 2; ++k) {
      std::wstring head = k == 0 ? name : name + L"名";
      ASSERT_EQ(colours[k].rfind(head + L"=", 0), 0u) << os::toUtf8(colours[k]);
      std::wstring v = colours[k].substr(head.size() + 1);
      ASSERT_FALSE(v.empty());
      EXPECT_EQ(v.find_first_not_of(L"0123456789"), std::wstring::npos) << os::toUtf8(colours[k]);
      EXPECT_LE(std::stol(v), 0xFFFFFF);
    }
    EXPECT_EQ(split(row.at(L"图层"), L"\r\n").front(), name);
    // Parameter lines are name=value[:choices].
    if (!row.at(L"参数").empty()) {
      for (const auto& line : split(row.at(L"参数"), L"\r\n"))
        EXPECT_NE(line.find(L'='), std::wstring::npos) << os::toUtf8(line);
    }
    // Rule items: flag=type=parameter=name||code=unit=formula, the code after "||";
    // 定额 holds norms, 纯清单 bill items, 清单 each bill item followed by its norm.
    for (const wchar_t* mode : {L"清单", L"定额", L"纯清单"}) {
      auto lines = split(row.at(mode), L"\r\n");
      ASSERT_FALSE(row.at(mode).empty()) << os::toUtf8(name);
      for (size_t k = 0; k < lines.size(); ++k) {
        const auto& line = lines[k];
        auto parts = split(line, L"=");
        ASSERT_GE(parts.size(), 6u) << os::toUtf8(line);
        const std::wstring m = mode;
        EXPECT_EQ(parts[0], m == L"定额" ? L"定额" : m == L"纯清单" || k % 2 == 0 ? L"项" : L"定额") << os::toUtf8(line);
        EXPECT_GT(parts[3].find(L"||"), 0u) << os::toUtf8(line);
        EXPECT_NE(parts[3].find(L"||"), std::wstring::npos) << os::toUtf8(line);
      }
    }
  }
}

TEST_F(DemoTables, EveryFigureATypeNamesIsInItsGraphSection) {
  Table lib = read(kSystem / u8"构件库.DB");
  Table graph = read(kSystem / u8"图形库.DB");
  auto names = graph.column(L"名称");
  int checked = 0;
  for (const auto& row : lib.rows) {
    std::wstring figure;
    for (const auto& line : split(row.at(L"参数"), L"\r\n"))
      if (line.rfind(L"图形=", 0) == 0) figure = line.substr(3);
    if (figure.empty()) continue;
    const std::wstring& type = row.at(L"构件名称");
    // The section of the type, then its rows up to the next header.
    auto it = std::find(names.begin(), names.end(), L"◆" + type);
    ASSERT_NE(it, names.end()) << os::toUtf8(type);
    bool found = false;
    for (++it; it != names.end() && it->find(L"◆") == std::wstring::npos; ++it) {
      if (*it != figure) continue;
      found = true;
      const auto& g = graph.rows[it - names.begin()];
      EXPECT_FALSE(g.at(L"坐标").empty()) << os::toUtf8(figure);
      EXPECT_GT(std::stod(g.at(L"图形宽")), 0) << os::toUtf8(figure);
    }
    EXPECT_TRUE(found) << os::toUtf8(type) << " " << os::toUtf8(figure);
    ++checked;
  }
  EXPECT_GT(checked, 40);
}

TEST_F(DemoTables, FloorComponentTablesKeepRowsOfANameTogether) {
  struct Case {
    const wchar_t* floor;
    bool seeded;  // holds the library's installation rows already
  };
  for (const Case c : {Case{L"地下1层", true}, Case{L"1层", true}, Case{L"2层", false}, Case{L"3层", false}}) {
    Table t = read(kProject / os::toUtf8(std::wstring(c.floor) + L".DB"));
    ASSERT_FALSE(t.rows.empty()) << os::toUtf8(c.floor);  // an empty table is never seeded
    auto cats = t.column(L"构件分类");
    EXPECT_EQ(std::count(cats.begin(), cats.end(), kMarker), c.seeded ? 1 : 0) << os::toUtf8(c.floor);
    std::set<std::wstring> done;
    std::wstring prev;
    std::set<std::pair<std::wstring, std::wstring>> keys;
    for (const auto& r : t.rows) {
      const std::wstring& name = r.at(L"构件名称");
      if (name != prev) {
        EXPECT_FALSE(done.count(name)) << os::toUtf8(c.floor) << " splits " << os::toUtf8(name);
        done.insert(prev);
        prev = name;
      }
      if (!r.at(L"编号").empty()) {
        EXPECT_TRUE(keys.insert({name, r.at(L"编号")}).second) << os::toUtf8(name);
      }
    }
  }
  // A ready-made component: its row carries its number's parameters and rule items.
  Table t = read(kProject / u8"1层.DB");
  bool found = false;
  for (const auto& r : t.rows)
    if (r.at(L"构件名称") == L"给水管" && r.at(L"编号") == L"J1") {
      found = true;
      EXPECT_NE(r.at(L"参数").find(L"公称管径D_0(mm)=32"), std::wstring::npos);
      EXPECT_EQ(r.at(L"定额").rfind(L"[001]", 0), 0u);
    }
  EXPECT_TRUE(found);
}

TEST_F(DemoTables, ProjectAndInstallationSettings) {
  std::wstring gc = os::windowsPath(kProject / u8"000.GC");
  std::wstring mode = os::iniRead(gc, L"工程档案", L"工程量规则", L"");
  EXPECT_TRUE(mode == L"定额" || mode == L"清单" || mode == L"纯清单") << os::toUtf8(mode);
  // The template archive holds every result-table template with its memo file.
  auto zip = os::readFile(os::windowsPath(kSuite / u8"GZK.ZIP"));
  ASSERT_TRUE(zip);
  EXPECT_EQ(zip->substr(0, 2), "PK");
  for (const char* m : {"构件算量.DB", "构件算量.MB", "构件参数.DB", "001.DB", "001.MB",
                        "区域构件算量.DB", "区域001.DB", "区域001.MB"})
    EXPECT_NE(zip->find(m), std::string::npos) << m;
}

}  // namespace
