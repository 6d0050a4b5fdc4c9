// The layout command frame over every row of the layout command table: the
// combos afterwards, the lay window's calls, the stored pair and the engine
// with its arguments, with recording engines; then the frame's own cases
// (start elevations, no number, bad parameters, the tray pair, the run loop,
// Escape and errors with the real engine).
#include "module/layout/command_frame.h"

#include <algorithm>
#include <map>
#include <set>
#include <stdexcept>

#include "module/layout/layout_commands.h"
#include "module/layout/run_callbacks.h"
#include "module/model/input_hooks.h"
#include "module/model/project_tables.h"
#include "module/model/scope_guards.h"
#include "module/model/seams.h"
#include "module/toolkit/layers.h"
#include "module/toolkit/vocabulary.h"
#include "platform/cad/database.h"
#include "platform/editor/cmdline.h"
#include "platform/editor/document.h"
#include "platform/ui/wnd.h"
#include "tests/module/shell/project_fixture.h"

namespace {

using kivtest::ProjectSandbox;

// The type lists as the command tables spell them.
const std::wstring kPlumbing = L"给水管,热给水管,热回水管,污水管,废水管,雨水管,中水管,消防管,喷淋管,其它管道";
const std::wstring kPlumbingHoses = L"给水管,热给水管,热回水管,污水管,废水管,雨水管,中水管,消防管,喷淋管,软管道,其它管道";
const std::wstring kSupply = L"给水管,热给水管,热回水管,消防管,喷淋管,其它管道";
const std::wstring kDrain = L"污水管,废水管,雨水管,中水管";
const std::wstring kWires = L"照明导线,动力导线,消防导线,其它导线,导管,线槽,导线·导管";
const std::wstring kWiresHoses = L"照明导线,动力导线,消防导线,其它导线,导管,线槽,软导管,导线·导管";
const std::wstring kLamps = L"点状灯具,块状灯具,应急灯";
const std::wstring kTrays = L"桥架,托盘,组合式桥架";
const std::wstring kElecEquip = L"动力设备,电消防设备,其它电设备";
const std::wstring kBoxes = L"配电箱,配电柜,配电盘";
const std::wstring kWater = L"热供水管,热回水管(暖通),冷供水管,冷回水管,冷却水管,凝结水管,其它水管";
const std::wstring kDucts = L"送风管,新风管,回风管,排风管,除尘排烟管,其它风管,柔性风管";
const std::wstring kOpenings = L"送风口,新风口,回风口,排风口,排烟口,其它风口";
const std::wstring kSanitary = L"浴盆,洗脸盆,淋浴器,大便器,小便器,其它卫生器具";
const std::wstring kAcc = L"\n选择需要布置附件的管道:";

// What one command should do. types "" with form "own": a command with a
// handler of its own. engine: the recorded call ("" for none); "points@z"
// is the draw engine with the lay window opened at z.
struct Expect {
  std::wstring command, types, defaultType, engine, pair;
};

// The start elevations of the fixture: every default type's number N1 has
// 底标高=1200.
const std::vector<Expect>& expectations() {
  static const std::vector<Expect> e = {
      {L"LayPipe", kPlumbing, L"给水管", L"points@0", L"pipe"},
      {L"ServicePipe", kSupply, L"给水管",
       L"connect(喷淋头,普通水嘴,冷热水嘴,浴盆,洗脸盆,淋浴器,大便器,小便器,其它卫生器具,给排水设备,消防设备,其它设备)",
       L"pipe"},
      {L"DrainPipe", kDrain, L"污水管", L"connect(浴盆,洗脸盆,洗手盆,淋浴器,大便器,小便器,水箱,其它卫生器具)", L"pipe"},
      {L"Pipe_Vert", kPlumbing, L"给水管", L"vertical", L"pipe"},
      {L"ThroughPipe", kPlumbing, L"给水管", L"own", L""},
      {L"MultiPipe", kPlumbing, L"给水管", L"own", L""},
      {L"LineToPipe", kPlumbingHoses, L"给水管", L"lines", L"pipe"},
      {L"PipeJoin", kPlumbing, L"给水管", L"own", L""},
      {L"HosePipe", L"软管道", L"软管道", L"points@0", L"pipe"},
      {L"PGradient", kPlumbing, L"给水管", L"own", L""},
      {L"GPS_Acc", L"阀门,法兰,普通水嘴,冷热水嘴,喷头,排水附件,管道套管,管道仪器,管道补偿器", L"阀门", L"point", L""},
      {L"GPS_Valve", L"阀门,法兰", L"阀门", L"onPipe(" + kAcc + L"|" + kPlumbing + L")", L""},
      {L"Faucet", L"普通水嘴,冷热水嘴", L"普通水嘴", L"onPipe(" + kAcc + L"|给水管,热给水管,热回水管,其它管道)", L""},
      {L"DrainAcc", L"排水附件", L"排水附件", L"onPipe(" + kAcc + L"|污水管,废水管,雨水管,中水管,其它管道)", L""},
      {L"GPS_Sleeve", L"管道套管", L"管道套管", L"point", L""},
      {L"GPS_Instr", L"管道仪器", L"管道仪器", L"onPipe(" + kAcc + L"|" + kPlumbing + L")", L""},
      {L"GPS_Compensator", L"管道补偿器", L"管道补偿器", L"onPipe(" + kAcc + L"|" + kPlumbing + L")", L""},
      {L"Shower", L"喷淋头", L"喷淋头", L"point", L""},
      {L"ShowerRect", L"喷淋头", L"喷淋头", L"rect(矩形布喷头)", L""},
      {L"ShowerOnLine", L"喷淋头", L"喷淋头", L"line(沿线布喷头)", L""},
      {L"ShowerSector", L"喷淋头", L"喷淋头", L"fan(扇形布喷头)", L""},
      {L"SprayLine", L"喷淋管", L"喷淋管", L"connect(喷淋头)", L"pipe"},
      {L"Shower_Sel", L"喷淋头", L"喷淋头", L"onPipe(\n选择需要布置喷头的喷淋管:|喷淋管)", L""},
      {L"SanitaryEquip", kSanitary, L"浴盆", L"point", L""},
      {L"SanitaryEquip_Sel", kSanitary, L"浴盆", L"onPipe(\n选择需要布置洁具的管道:|" + kPlumbing + L")", L""},
      {L"GPS_Equip", L"给排水设备,消防设备,其它设备", L"给排水设备", L"point", L""},
      {L"GPS_Equip_Sel", L"给排水设备,消防设备,其它设备", L"给排水设备",
       L"onPipe(\n选择需要布置设备的管道:|" + kSupply + L")", L""},
      {L"PipeSupport", L"管道支架", L"管道支架", L"point", L""},
      {L"PipeSupport_Sel", L"管道支架", L"管道支架", L"supports(给水管,污水管|)", L""},
      {L"PipeSupport_Auto", L"管道支架", L"管道支架", L"own", L""},
      {L"PipeGroove", L"管道沟槽", L"管道沟槽", L"points@0", L"groove"},
      {L"GPS_Manhole", L"检查井", L"检查井", L"point", L""},

      {L"LayPipeLine", kWires, L"照明导线", L"points@1200", L"run"},
      {L"PipeLine_Sel", kWires, L"导线·导管", L"connect()", L"run"},
      {L"MultiPipeLine", L"", L"", L"own", L""},
      {L"PipeLine_Vert", kWires, L"照明导线", L"vertical", L"run"},
      {L"LineToPL", kWiresHoses, L"照明导线", L"lines", L"run"},
      {L"HosePipeLine", L"软导管", L"软导管", L"points@1200", L"run"},
      {L"BreakPipeLine", L"", L"", L"own", L""},
      {L"JoinPipeLine", L"", L"", L"own", L""},
      {L"Light", L"点状灯具,块状灯具,应急灯,其它电器具", L"点状灯具", L"point", L""},
      {L"LightRect", kLamps, L"点状灯具", L"rect(矩形布灯具)", L""},
      {L"LightSector", kLamps, L"点状灯具", L"fan(扇形布灯具)", L""},
      {L"LightOnLine", kLamps, L"点状灯具", L"line(沿线布灯)", L""},
      {L"Switch", L"开关,其它电器具", L"开关", L"point", L""},
      {L"Switch_Sel", L"开关", L"开关", L"onPipe(\n选择需要布置开关的管线:|" + kWires + L")", L""},
      {L"Socket", L"插座", L"插座", L"point", L""},
      {L"Socket_Sel", L"插座", L"插座", L"onPipe(\n选择需要布置插座的管线:|" + kWires + L")", L""},
      {L"Installation", kElecEquip, L"动力设备", L"point", L""},
      {L"Installation_Sel", kElecEquip, L"动力设备", L"onPipe(\n选择需要布置设备的管线:|" + kWires + L")", L""},
      {L"DistributionBox", kBoxes, L"配电箱", L"point", L""},
      {L"DistriBox_Sel", kBoxes, L"配电箱", L"onPipe(\n选择需要布置箱柜的管线:|" + kWires + L")", L""},
      {L"Element", L"元件装置", L"元件装置", L"point", L""},
      {L"Element_Sel", L"元件装置", L"元件装置", L"onPipe(\n选择需要布置元件的管线:|" + kWires + L")", L""},
      {L"Bridge_Hor", kTrays, L"桥架", L"points@1200", L"bridge"},
      {L"Bridge_Vert", kTrays, L"桥架", L"vertical", L"bridge"},
      {L"BridgeRotate", L"", L"", L"", L""},
      {L"BridgeWiring", L"", L"", L"", L""},
      {L"LeadingWire", L"", L"", L"", L""},
      {L"LineToBridge", kTrays, L"桥架", L"lines", L"bridge"},
      {L"Cable_Hor", L"电缆", L"电缆", L"points@1200", L"cable"},
      {L"Cable_Vert", L"电缆", L"电缆", L"vertical", L"cable"},
      {L"Cable_Sel", L"电缆", L"电缆", L"connect()", L"cable"},
      {L"LineToCable", L"电缆", L"电缆", L"lines", L"cable"},
      {L"Bus_Hor", L"母线馈线", L"母线馈线", L"points@1200", L"cable"},
      {L"Bus_Vert", L"母线馈线", L"母线馈线", L"vertical", L"cable"},
      {L"LineToBus", L"母线馈线", L"母线馈线", L"lines", L"cable"},
      {L"LBand_Auto", L"避雷带", L"避雷带", L"own", L""},
      {L"LightningBand", L"避雷带", L"避雷带", L"points@1200", L"band"},
      {L"LineToLBand", L"避雷带", L"避雷带", L"lines", L"band"},
      {L"DownLead", L"", L"", L"own", L""},
      {L"LightningRod", L"避雷针", L"避雷针", L"point", L""},
      {L"EarthBus_Hor", L"接地母线", L"接地母线", L"points@1200", L"pipe"},
      {L"EarthBus_Vert", L"接地母线", L"接地母线", L"vertical", L"pipe"},
      {L"LineToEarthBus", L"接地母线", L"接地母线", L"lines", L"pipe"},
      {L"EarthLead", L"接地跨接线", L"接地跨接线", L"point", L""},
      {L"EarthedPole", L"接地极", L"接地极", L"point", L""},
      {L"JunctionBox", L"接线盒", L"接线盒", L"point", L""},
      {L"JBox_Auto", L"接线盒", L"接线盒", L"own", L""},
      {L"DQ_Sleeve", L"管线套管", L"管线套管", L"point", L""},
      {L"CableGroove", L"电缆沟槽", L"电缆沟槽", L"points@1200", L"trench"},
      {L"CablePit", L"电缆井", L"电缆井", L"point", L""},
      {L"DQ_Support", L"电气支架", L"电气支架", L"point", L""},
      {L"DQ_Support_Auto", L"电气支架", L"电气支架", L"line(选择要布置的管线)", L""},
      {L"DQ_EquipFoundation", L"设备基础", L"设备基础", L"point", L""},

      {L"LayWaterPipe", kWater, L"热供水管", L"points@1200", L"pipe"},
      {L"WaterPipe_Vert", kWater, L"热供水管", L"vertical", L"pipe"},
      {L"ThroughWP", kWater, L"热供水管", L"", L""},
      {L"MultiWaterP", kWater, L"热供水管", L"own", L""},
      {L"LineToWP", kWater, L"热供水管", L"lines", L"pipe"},
      {L"WaterPJoin", kWater, L"热供水管", L"own", L""},
      {L"HoseWaterP", L"软水管", L"软水管", L"points@1200", L"pipe"},
      {L"WPGradient", kWater, L"热供水管", L"own", L""},
      {L"LayAirDuct", kDucts, L"送风管", L"points@1200", L"duct"},
      {L"AirDuct_Vert", kDucts, L"送风管", L"vertical", L"duct"},
      {L"LineToDuct", kDucts, L"送风管", L"lines", L"duct"},
      {L"AirDuct_Sel", kDucts, L"送风管", L"", L""},
      {L"AirOpening", kOpenings, L"送风口", L"point", L""},
      {L"OpeningOnLine", kOpenings, L"送风口", L"line(选择要布置的管线)", L""},
      {L"OpeningRect", kOpenings, L"送风口", L"rect(矩形布风口)", L""},
      {L"OpenningSector", kOpenings, L"送风口", L"fan(平布风口)", L""},
      {L"OpeningSide", kOpenings, L"送风口", L"side()", L""},
      {L"SideOnLine", kOpenings, L"送风口", L"sideOnDuct(\n选择要布置的管线：|" + kDucts + L")", L""},
      {L"Ventilate", L"空调机组,风机盘管,通风机,除尘设备,其它风设备", L"空调机组", L"point", L""},
      {L"Damper", L"风阀", L"风阀", L"onPipe(" + kAcc + L"|" + kDucts + L")", L""},
      {L"DuctFlange", L"风法兰", L"风法兰", L"onPipe(" + kAcc + L"|" + kDucts + L")", L""},
      {L"Flange_Auto", L"风法兰", L"风法兰", L"", L""},
      {L"Cowl", L"风帽", L"风帽", L"onPipe(" + kAcc + L"|" + kDucts + L")", L""},
      {L"Vane", L"导流片", L"导流片", L"onPipe(" + kAcc + L"|" + kDucts + L")", L""},
      {L"OtherComponent", L"静压箱,消声器,过滤器", L"静压箱", L"onPipe(" + kAcc + L"|" + kDucts + L")", L""},
      {L"WaterHeatingE", L"冷水机组,锅炉,水泵,冷却塔,暖风机,其它暖设备", L"冷水机组", L"point", L""},
      {L"Radiator", L"散热器", L"散热器", L"point", L""},
      {L"Coil", L"地暖盘管", L"地暖盘管", L"own", L""},
      {L"LineToCoil", L"地暖盘管", L"地暖盘管", L"own", L""},
      {L"NT_Valve", L"水阀,水法兰", L"水阀", L"onPipe(" + kAcc + L"|" + kWater + L")", L""},
      {L"NT_Sleeve", L"暖通套管", L"暖通套管", L"point", L""},
      {L"NT_Instr", L"水管仪器", L"水管仪器", L"onPipe(" + kAcc + L"|" + kWater + L")", L""},
      {L"NT_Compensator", L"水管补偿器", L"水管补偿器", L"onPipe(" + kAcc + L"|" + kWater + L")", L""},
      {L"NT_Manhole", L"暖通检查井", L"暖通检查井", L"point", L""},
      {L"NT_Support", L"风管支架,水管支架", L"风管支架", L"point", L""},
      {L"DuctRack_Sel", L"风管支架", L"风管支架", L"supports(送风管|)", L""},
      {L"DuctRack_Auto", L"风管支架", L"风管支架", L"own", L""},
      {L"PipeRack_Sel", L"水管支架", L"水管支架", L"supports(热供水管,冷供水管|)", L""},
      {L"PipeRack_Auto", L"水管支架", L"水管支架", L"own", L""},
      {L"NT_Groove", L"暖通管道沟槽", L"暖通管道沟槽", L"points@1200", L"groove"},
      {L"NT_EquipFoundation", L"暖通设备基础", L"暖通设备基础", L"point", L""},
  };
  return e;
}

GjPair pairNamed(const std::wstring& name) {
  static const std::map<std::wstring, GjPair> pairs = {
      {L"", {}},
      {L"pipe", {&CreatePipeGj, &DecoratePipeGj}},
      {L"run", {&CreatePipeLineGj, &DecoratePipeLineGj}},
      {L"cable", {&CreateCableGj, &DecorateCableGj}},
      {L"band", {&CreatePipeGj, &DecorateCableGj}},
      {L"tray", {&CreateTrayGj, &DecorateTrayGj}},
      {L"bridge", {&CreateBridgeGj, &DecorateBridgeGj}},
      {L"trench", {&CreateGrooveGj, &DecorateTrayGj}},
      {L"duct", {&CreateDuctGj, &DecorateDuctGj}},
      {L"groove", {&CreateGrooveGj, &DecorateGrooveGj}},
  };
  return pairs.at(name);
}

// --- recording engines --------------------------------------------------------

std::vector<std::wstring>& calls() {
  static std::vector<std::wstring> c;
  return c;
}
// How many more times the draw engine answers true (another run).
int g_runsEndedWithEnter = 0;

std::wstring formatZ(double z) {
  wchar_t buf[64];
  std::swprintf(buf, 64, L"%g", z);
  return buf;
}

bool FakePoints() {
  double zs = -1, ze = -1;
  ReadLayWindowElevations(zs, ze);
  calls().push_back(L"points@" + formatZ(zs) + (g_createGjCb ? L"" : L" without a pair"));
  if (g_runsEndedWithEnter-- <= 0) return false;
  // A run may leave another pair behind; the frame stores its own again.
  g_createGjCb = nullptr;
  return true;
}
bool FakeMulti(const StringArray&) {
  calls().push_back(L"multi");
  return false;
}
void FakeVertical() { calls().push_back(L"vertical"); }
void FakeLines() { calls().push_back(L"lines"); }
void FakePoint() { calls().push_back(L"point"); }
void FakeConnect(const std::wstring& types) { calls().push_back(L"connect(" + types + L")"); }
void FakeOnPipe(const std::wstring& prompt, const std::wstring& types) {
  calls().push_back(L"onPipe(" + prompt + L"|" + types + L")");
}
void FakeRect(const std::wstring& caption) { calls().push_back(L"rect(" + caption + L")"); }
void FakeFan(const std::wstring& caption) { calls().push_back(L"fan(" + caption + L")"); }
void FakeLine(const std::wstring& caption) { calls().push_back(L"line(" + caption + L")"); }
void FakeSupports(const std::wstring& types, const std::wstring& prompt) {
  calls().push_back(L"supports(" + types + L"|" + prompt + L")");
}
void FakeSide() { calls().push_back(L"side()"); }
void FakeSideOnDuct(const std::wstring& prompt, const std::wstring& types) {
  calls().push_back(L"sideOnDuct(" + prompt + L"|" + types + L")");
}

GjSeams fakeSeams() {
  GjSeams s = DefaultGjSeams();
  s.layLinearGjByPoints = &FakePoints;
  s.layMultiLinearGj = &FakeMulti;
  s.layVerticalGj = &FakeVertical;
  s.lineToGj = &FakeLines;
  s.layPointGj = &FakePoint;
  return s;
}

LayoutEngines fakeEngines() {
  LayoutEngines e;
  e.connect = &FakeConnect;
  e.pointOnPipe = &FakeOnPipe;
  e.rectangle = &FakeRect;
  e.fan = &FakeFan;
  e.alongLine = &FakeLine;
  e.supportsOnPipe = &FakeSupports;
  e.sideOpening = &FakeSide;
  e.sideOpeningsOnDuct = &FakeSideOnDuct;
  return e;
}

// Every engine of the frame replaced by its recording fake for the scope.
struct RecordingEngines {
  ScopedGjSeams seams{fakeSeams()};
  ScopedLayoutEngines engines{fakeEngines()};
};

// --- the sandbox ----------------------------------------------------------------

class CommandFrame : public ProjectSandbox {
 protected:
  void SetUp() override {
    ProjectSandbox::SetUp();
    if (IsSkipped()) return;
    // Every type any row switches to is in the library (category 测试类),
    // with one number N1 on 1层 whose 底标高 is 1200; the pipe categories
    // expand into two types each.
    std::set<std::wstring> types;
    for (const auto& e : expectations())
      if (!e.defaultType.empty()) types.insert(e.defaultType);
    for (const wchar_t* t : {L"热给水管", L"托盘", L"组合式桥架", L"软管道", L"软导管", L"电缆"}) types.insert(t);
    std::string library = "构件分类:ftString:50\t构件名称:ftString:50\t图层\t颜色\n";
    std::string floor = "构件名称:ftString:50\t编号:ftString:50\t构件分类:ftString:50\t参数\t坐标\n";
    for (const auto& t : types) {
      const std::string name = os::toUtf8(t);
      library += "测试类\t" + name + "\t" + name + "\t\n";
      floor += name + "\tN1\t测试类\t底标高=1200\t\n";
    }
    makeTable(suiteSystem() / u8"构件库.DB", library);
    makeTable(project() / "007.DB", "楼层:ftString:50\t层高:ftString:20\t标高:ftString:20\n1层\t3300\t0\n");
    makeTable(project() / u8"1层.DB", floor);
    g_floorHeight = 3300;
    g_curLineGj = CurrentGj{};
    calls().clear();
    g_runsEndedWithEnter = 0;
    g_createGjCb = nullptr;
    g_decorateGjCb = nullptr;
  }
  void TearDown() override {
    g_createGjCb = nullptr;
    g_decorateGjCb = nullptr;
    ProjectSandbox::TearDown();
  }

  void setCombo(const wchar_t* combo, const std::wstring& value) {
    os::findFunction<KivPelk_SetCombo_W_fn>(g_hostWindowLib, "KivPelk_SetCombo_W")(combo, value.c_str());
  }
  // The combos as the user left them, and the window library's log from here.
  void show(const std::wstring& category, const std::wstring& type, const std::wstring& number) {
    setCombo(L"楼层", L"1层");
    setCombo(L"分类", category);
    setCombo(L"构件", type);
    setCombo(L"编号", number);
    logStart_ = log().size();
  }
  std::wstring combo(const wchar_t* name) {
    wchar_t buf[256] = {};
    os::findFunction<KivPelk_GetCombo_W_fn>(g_hostWindowLib, "KivPelk_GetCombo_W")(name, buf, 256);
    return buf;
  }
  StringArray log() {
    std::vector<wchar_t> buf(1 << 20, L'\0');
    os::findFunction<KivPelk_CallLog_W_fn>(g_hostWindowLib, "KivPelk_CallLog_W")(buf.data(), int(buf.size()));
    StringArray lines;
    SplitLines(buf.data(), lines);
    return lines;
  }
  // The lay window's calls since show().
  std::wstring layWindowCalls() {
    const StringArray lines = log();
    std::wstring out;
    for (size_t i = logStart_; i < lines.size(); ++i)
      if (lines[i].rfind(L"WinDll_LayLinearGj_W(", 0) == 0 && lines[i].rfind(L"WinDll_LayLinearGj_W(2", 0) != 0)
        out += lines[i] + L";";
    return out;
  }
  size_t sentGjType() {
    const auto& sent = ed::docManager().sentStrings();
    return size_t(std::count(sent.begin(), sent.end(), L"GjType\n"));
  }
  void run(const wchar_t* command) {
    const LayoutCommandRow* row = FindLayoutCommandRow(command);
    ASSERT_NE(row, nullptr) << os::toUtf8(command);
    RunLayoutCommand(*row);
  }

  size_t logStart_ = 0;
};

std::wstring joined(const std::vector<std::wstring>& items) {
  std::wstring out;
  for (const auto& s : items) out += (out.empty() ? L"" : L";") + s;
  return out;
}

// The lay window opened at the drawing view's client corner with both
// elevations at z, and closed.
std::wstring openedAt(const std::wstring& z) {
  ui::Point corner(0, 0);
  if (ui::Wnd* view = ui::drawingView()) view->ClientToScreen(&corner);
  return L"WinDll_LayLinearGj_W(1," + std::to_wstring(corner.x) + L"," + std::to_wstring(corner.y) + L"," + z +
         L"," + z + L");WinDll_LayLinearGj_W(4,0,0,0,0);";
}

TEST_F(CommandFrame, EveryRowOfTheTableIsExpectedOnce) {
  std::vector<std::wstring> rows, expected;
  for (const auto& r : LayoutCommandRows()) rows.push_back(r.name);
  for (const auto& e : expectations()) expected.push_back(e.command);
  EXPECT_EQ(rows, expected);
  EXPECT_EQ(rows.size(), 126u) << "32 plumbing, 53 electrical and 41 HVAC commands";
  EXPECT_EQ(FindLayoutCommandRow(L"NoSuchCommand"), nullptr);
}

TEST_F(CommandFrame, EveryRowPreparesItsCombosStoresItsPairAndRunsItsEngine) {
  RecordingEngines recording;
  // The support rows expand a category into these types.
  const StringArray savedCategories = g_gjCategories, savedTypes = g_gjCategoryTypes;
  g_gjCategories = {L"管道", L"风管", L"水管"};
  g_gjCategoryTypes = {L"给水管,污水管", L"送风管", L"热供水管,冷供水管"};
  ScopeExit restore([&] {
    g_gjCategories = savedCategories;
    g_gjCategoryTypes = savedTypes;
  });
  for (const auto& e : expectations()) {
    SCOPED_TRACE(os::toUtf8(e.command));
    const LayoutCommandRow* row = FindLayoutCommandRow(e.command);
    ASSERT_NE(row, nullptr);
    EXPECT_EQ(row->types, e.types);
    EXPECT_EQ(row->defaultType, e.defaultType);

    // A type of another list: the combos switch to the default type.
    show(L"其它类", L"无关构件", L"X9");
    calls().clear();
    g_createGjCb = nullptr;
    g_decorateGjCb = nullptr;
    run(e.command.c_str());

    const bool prepares = !e.types.empty() && e.engine != L"own";
    EXPECT_EQ(combo(L"分类"), prepares ? L"测试类" : L"其它类");
    EXPECT_EQ(combo(L"构件"), prepares ? e.defaultType : L"无关构件");
    EXPECT_EQ(combo(L"编号"), prepares ? L"N1" : L"X9");
    const std::wstring engine = e.engine == L"own" ? L"" : e.engine;
    EXPECT_EQ(joined(calls()), engine);
    const GjPair stored{g_createGjCb, g_decorateGjCb};
    EXPECT_TRUE(stored == pairNamed(e.pair)) << "the stored pair";
    const bool opensWindow = engine.rfind(L"points@", 0) == 0;
    EXPECT_EQ(layWindowCalls(), opensWindow ? openedAt(engine.substr(7)) : L"");
  }
}

TEST_F(CommandFrame, TheCommandFunctionsRunTheirRows) {
  RecordingEngines recording;
  show(L"测试类", L"给水管", L"N1");
  CmdLayPipe();
  CmdGPS_Acc();
  CmdOpenningSector();
  CmdNT_EquipFoundation();
  EXPECT_EQ(joined(calls()), L"points@0;point;fan(平布风口);point");
}

TEST_F(CommandFrame, ATypeOfTheListKeepsTheCombos) {
  RecordingEngines recording;
  struct Case {
    const wchar_t *command, *shown, *after;
  };
  const Case cases[] = {
      {L"LayPipe", L"热给水管", L"热给水管"},      {L"LayPipe", L"软管道", L"给水管"},
      {L"LineToPipe", L"软管道", L"软管道"},      {L"LayPipeLine", L"软导管", L"照明导线"},
      {L"LineToPL", L"软导管", L"软导管"},        {L"HosePipeLine", L"软导管", L"软导管"},
      {L"PipeLine_Sel", L"电缆", L"导线·导管"},   {L"Cable_Sel", L"电缆", L"电缆"},
      {L"LayWaterPipe", L"软水管", L"热供水管"},  {L"HoseWaterP", L"软水管", L"软水管"},
      {L"LayWaterPipe", L"热回水管(暖通)", L"热回水管(暖通)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(os::toUtf8(c.command) + " " + os::toUtf8(c.shown));
    show(L"测试类", c.shown, L"N1");
    run(c.command);
    EXPECT_EQ(combo(L"构件"), c.after);
  }
}

TEST_F(CommandFrame, TheTrayCommandsChooseTheirPairByTheComponentCombo) {
  RecordingEngines recording;
  for (const wchar_t* command : {L"Bridge_Hor", L"Bridge_Vert", L"LineToBridge"}) {
    for (const wchar_t* type : {L"托盘", L"桥架", L"组合式桥架"}) {
      SCOPED_TRACE(os::toUtf8(command) + " " + os::toUtf8(type));
      show(L"测试类", type, L"N1");
      run(command);
      const GjPair stored{g_createGjCb, g_decorateGjCb};
      EXPECT_TRUE(stored == pairNamed(std::wstring(type) == L"托盘" ? L"tray" : L"bridge"));
      EXPECT_EQ(combo(L"构件"), type);
    }
  }
}

TEST_F(CommandFrame, AnEmptyNumberAsksForOneAndOpensNothing) {
  RecordingEngines recording;
  // Every draw-by-points row, and the tray risers, which load first.
  for (const auto& row : LayoutCommandRows()) {
    const bool loads = row.form == LayoutForm::DrawByPoints ||
                       (row.form == LayoutForm::Vertical && row.pair == GjPairKind::TrayOrBridge);
    if (!loads) continue;
    SCOPED_TRACE(os::toUtf8(row.name));
    show(L"测试类", row.defaultType, L"");
    calls().clear();
    const size_t before = sentGjType();
    RunLayoutCommand(row);
    EXPECT_EQ(sentGjType(), before + 1);
    EXPECT_TRUE(calls().empty()) << "no engine ran";
    EXPECT_EQ(layWindowCalls(), L"") << "the lay window never opened";
    EXPECT_EQ(g_createGjCb, nullptr) << "no pair was stored";
  }
}

TEST_F(CommandFrame, TheStartElevationComesFromTheNumbersBaseElevation) {
  RecordingEngines recording;
  struct Case {
    const char* what;
    std::wstring params;  // the number's 参数
    const wchar_t* command;
    std::wstring openedAt;  // "" when nothing opened
    std::wstring message;
  };
  const Case cases[] = {
      {"层高 is the floor height", L"底标高=层高", L"LayWaterPipe", L"3300", L""},
      {"a number", L"管径=20\\r\\n底标高=3000", L"LayWaterPipe", L"3000", L""},
      {"a number with a unit after it", L"底标高=2800mm", L"LayAirDuct", L"2800", L""},
      {"a negative number", L"底标高=-450.5", L"LayAirDuct", L"-450.5", L""},
      {"no 底标高 line", L"管径=20", L"LayWaterPipe", L"0", L""},
      {"an empty 底标高", L"底标高=", L"NT_Groove", L"0", L""},
      {"LayPipe opens at 0 whatever the number says", L"底标高=3000", L"LayPipe", L"0", L""},
      {"PipeGroove opens at 0", L"底标高=层高", L"PipeGroove", L"0", L""},
      {"a text that is no number", L"底标高=吊顶下", L"LayWaterPipe", L"",
       L"\n热供水管编号N1的底标高“吊顶下”不是数值，未布置\n"},
      {"an expression is no number either", L"底标高=层高-100", L"LayAirDuct", L"",
       L"\n送风管编号N1的底标高“层高-100”不是数值，未布置\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const LayoutCommandRow* row = FindLayoutCommandRow(c.command);
    ASSERT_NE(row, nullptr);
    makeTable(project() / u8"1层.DB",
              "构件名称:ftString:50\t编号:ftString:50\t构件分类:ftString:50\t参数\t坐标\n" +
                  os::toUtf8(row->defaultType) + "\tN1\t测试类\t" + os::toUtf8(c.params) + "\t\n");
    show(L"测试类", row->defaultType, L"N1");
    calls().clear();
    const size_t mark = ed::transcriptMark();
    RunLayoutCommand(*row);
    if (c.openedAt.empty()) {
      EXPECT_TRUE(calls().empty());
      EXPECT_EQ(layWindowCalls(), L"");
    } else {
      EXPECT_EQ(joined(calls()), L"points@" + c.openedAt);
    }
    EXPECT_EQ(ed::transcriptSince(mark), c.message);
  }
}

TEST_F(CommandFrame, ANumberTheFloorDoesNotDefineLaysNothing) {
  RecordingEngines recording;
  // Run, riser, lines, connect and every point form refuse alike.
  for (const wchar_t* command : {L"LayPipe", L"LayWaterPipe", L"Pipe_Vert", L"LineToPipe", L"ServicePipe", L"Light",
                                 L"GPS_Acc", L"Switch_Sel", L"LightRect", L"LightSector", L"LightOnLine",
                                 L"PipeSupport_Sel", L"OpeningSide", L"SideOnLine"}) {
    SCOPED_TRACE(os::toUtf8(command));
    const LayoutCommandRow* row = FindLayoutCommandRow(command);
    show(L"测试类", row->defaultType, L"N7");
    calls().clear();
    const size_t mark = ed::transcriptMark();
    run(command);
    EXPECT_TRUE(calls().empty());
    EXPECT_EQ(layWindowCalls(), L"");
    EXPECT_EQ(ed::transcriptSince(mark), L"\n本层构件表中没有" + std::wstring(row->defaultType) + L"的编号N7，未布置\n");
  }
}

TEST_F(CommandFrame, CoilsAndDownLeadsRefuseLikeTheOtherLayoutCommands) {
  RecordingEngines recording;
  // A coil number the floor does not define, and a down lead, whose type the
  // library does not know: the combos stay on the wire the user left.
  struct Case {
    void (*command)();
    const wchar_t *type, *number, *said;
  };
  for (const Case& c : {Case{&CmdCoil, L"地暖盘管", L"N7", L"地暖盘管的编号N7"},
                        Case{&CmdLineToCoil, L"地暖盘管", L"N7", L"地暖盘管的编号N7"},
                        Case{&CmdDownLead, L"导线·导管", L"WL2", L"避雷引下线的编号"}}) {
    SCOPED_TRACE(os::toUtf8(c.said));
    show(L"测试类", c.type, c.number);
    const size_t mark = ed::transcriptMark();
    const size_t before = ed::curDatabase()->modelSpaceEntities().size();
    c.command();
    EXPECT_EQ(ed::transcriptSince(mark), L"\n本层构件表中没有" + std::wstring(c.said) + L"，未布置\n");
    EXPECT_EQ(ed::curDatabase()->modelSpaceEntities().size(), before);
  }
}

TEST_F(CommandFrame, RunsEndedWithEnterFollowOneAnotherInTheOpenWindowWithThePairRestored) {
  RecordingEngines recording;
  show(L"测试类", L"电缆", L"N1");
  g_runsEndedWithEnter = 2;
  run(L"Cable_Hor");
  EXPECT_EQ(joined(calls()), L"points@1200;points@1200;points@1200");
  EXPECT_EQ(layWindowCalls(), openedAt(L"1200")) << "opened once, closed once";
  EXPECT_TRUE((GjPair{g_createGjCb, g_decorateGjCb} == pairNamed(L"cable")))
      << "stored again before every run, and kept after the command";
}

bool ThrowingEngine() { throw std::runtime_error("engine failed"); }

TEST_F(CommandFrame, AnErrorInTheEngineStillClosesTheWindow) {
  GjSeams seams = fakeSeams();
  seams.layLinearGjByPoints = &ThrowingEngine;
  ScopedGjSeams fakes(seams);
  show(L"测试类", L"给水管", L"N1");
  EXPECT_THROW(run(L"LayPipe"), std::runtime_error);
  EXPECT_EQ(layWindowCalls(), openedAt(L"0"));
}

TEST_F(CommandFrame, EscapeWithTheRealEngineClosesTheWindowAndLeavesTheDrawingAlone) {
  show(L"测试类", L"给水管", L"N1");
  const size_t entities = ed::curDatabase()->modelSpaceEntities().size();
  // A run ended with Enter, then Escape at the next run's start point.
  points({{0, 0, 0}, {1000, 0, 0}, {1000, 1000, 0}});
  push(ed::TokenKind::Enter);
  push(ed::TokenKind::Escape);
  run(L"LayPipe");
  EXPECT_EQ(layWindowCalls(), openedAt(L"0"));
  EXPECT_TRUE(ed::inputQueue().empty()) << "both runs read their input";
  // The finished run stays; the Escape at the next start point adds nothing.
  EXPECT_GT(ed::curDatabase()->modelSpaceEntities().size(), entities);
  EXPECT_TRUE((GjPair{g_createGjCb, g_decorateGjCb} == pairNamed(L"pipe")));

  // Escape in the middle of a run.
  show(L"测试类", L"给水管", L"N1");
  points({{0, 0, 0}, {500, 0, 0}});
  push(ed::TokenKind::Escape);
  run(L"HosePipe");
  EXPECT_EQ(layWindowCalls(), openedAt(L"0"));
  EXPECT_EQ(combo(L"构件"), L"软管道");
}

TEST_F(CommandFrame, TheWaterHoseCommandTurnsItsLayerOnWithoutMakingIt) {
  RecordingEngines recording;
  cad::Database* db = ed::curDatabase();
  show(L"测试类", L"软水管", L"N1");
  run(L"HoseWaterP");
  bool off = true;
  EXPECT_FALSE(GetLayerFlags(L"软水管", &off, nullptr, nullptr, db)) << "a missing layer is not made";
  EXPECT_EQ(joined(calls()), L"points@1200");

  GetOrCreateLayer(L"软水管", db);
  SetLayerOff(L"软水管", true, db);
  run(L"HoseWaterP");
  ASSERT_TRUE(GetLayerFlags(L"软水管", &off, nullptr, nullptr, db));
  EXPECT_FALSE(off);
}

TEST_F(CommandFrame, CommandsThatDoNothingTouchNothing) {
  RecordingEngines recording;
  for (const auto& row : LayoutCommandRows()) {
    if (row.form != LayoutForm::Nothing && row.form != LayoutForm::OwnHandler) continue;
    SCOPED_TRACE(os::toUtf8(row.name));
    show(L"其它类", L"无关构件", L"X9");
    calls().clear();
    RunLayoutCommand(row);
    EXPECT_TRUE(calls().empty());
    EXPECT_EQ(combo(L"构件"), L"无关构件");
    EXPECT_EQ(log().size(), logStart_) << "no call of the window library";
  }
}

TEST(BaseElevation, ReadsTheFloorHeightALeadingNumberOrRefuses) {
  double z = -1;
  EXPECT_TRUE(ParseBaseElevation(L"", 3300, z));
  EXPECT_EQ(z, 0);
  EXPECT_TRUE(ParseBaseElevation(L"层高", 3300, z));
  EXPECT_EQ(z, 3300);
  EXPECT_TRUE(ParseBaseElevation(L"  1.5e3", 3300, z));
  EXPECT_EQ(z, 1500);
  z = 7;
  EXPECT_FALSE(ParseBaseElevation(L"层高 ", 3300, z));
  EXPECT_FALSE(ParseBaseElevation(L"abc", 3300, z));
  EXPECT_EQ(z, 7) << "left alone when refused";
}

}  // namespace

namespace {

struct Segment {
  geom::Point3d start, end;
};
std::vector<Segment>& segments() {
  static std::vector<Segment> s;
  return s;
}
cad::ObjectId RecordSegment(const std::wstring&, const std::wstring&, const geom::Point3d& s,
                            const geom::Point3d& e, double, int) {
  segments().push_back({s, e});
  return cad::ObjectId();
}
void DecorateNothing(const std::wstring&, cad::ObjectId) {}

TEST_F(CommandFrame, TheWindowsElevationsCarryOnFromOneRunToTheNext) {
  show(L"测试类", L"给水管", L"N1");
  segments().clear();
  os::findFunction<KivPelk_SetPalette_fn>(g_hostWindowLib, "KivPelk_SetPalette")(2800, 2800, 0, 2);
  points({{0, 0, 0}, {1000, 0, 0}});
  push(ed::TokenKind::Enter);
  points({{0, 500, 0}, {1000, 500, 0}, {1000, 900, 0}});
  push(ed::TokenKind::Escape);
  RunLinearGjByPoints(&RecordSegment, &DecorateNothing, 0);
  ASSERT_EQ(segments().size(), 3u) << "Escape keeps the steps made before it";
  for (const auto& s : segments()) {
    EXPECT_EQ(s.start.z, 2800);
    EXPECT_EQ(s.end.z, 2800);
  }
  EXPECT_EQ(layWindowCalls(), openedAt(L"0"));
  EXPECT_TRUE(ed::inputQueue().empty());
}

}  // namespace
