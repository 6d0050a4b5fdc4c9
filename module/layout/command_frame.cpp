// The layout command frame and the table of layout commands (see
// command_frame.h).
#include "module/layout/command_frame.h"

#include <algorithm>
#include <cwchar>

#include "module/layout/layout_commands.h"
#include "module/layout/run_callbacks.h"
#include "module/model/component_types.h"
#include "module/model/connect_gj.h"
#include "module/model/line_points_gj.h"
#include "module/model/pipe_point_gj.h"
#include "module/model/project_tables.h"
#include "module/model/rect_fan_layout.h"
#include "module/model/seams.h"
#include "module/model/side_openings.h"
#include "module/model/spaced_supports.h"
#include "module/toolkit/layers.h"
#include "module/toolkit/strings.h"
#include "module/toolkit/window_lib.h"
#include "platform/editor/cmdline.h"
#include "platform/editor/commands.h"

namespace {

namespace T = layout_types;
using F = LayoutForm;
using P = GjPairKind;
constexpr StartElevation kZero = StartElevation::Zero;

// Prompts and captions used by several rows.
constexpr const wchar_t* kAccessoryPrompt = L"\n选择需要布置附件的管道:";
constexpr const wchar_t* kAlongRunCaption = L"选择要布置的管线";
constexpr const wchar_t* kSanitaryTypes = L"浴盆,洗脸盆,淋浴器,大便器,小便器,其它卫生器具";
constexpr const wchar_t* kPlumbingEquipment = L"给排水设备,消防设备,其它设备";
constexpr const wchar_t* kSupplyFittingPipes = L"给水管,热给水管,热回水管,其它管道";
constexpr const wchar_t* kDrainFittingPipes = L"污水管,废水管,雨水管,中水管,其它管道";

// The rows; a row with a single type gives it as both list and default.
const std::vector<LayoutCommandRow>& rows() {
  static const std::vector<LayoutCommandRow> table = {
      // Plumbing and drainage.
      {L"LayPipe", T::kPlumbingPipes, L"给水管", F::DrawByPoints, P::Pipe, L"", L"", kZero},
      {L"ServicePipe", T::kSupplyPipes, L"给水管", F::Connect, P::Pipe, L"",
       L"喷淋头,普通水嘴,冷热水嘴,浴盆,洗脸盆,淋浴器,大便器,小便器,其它卫生器具,给排水设备,消防设备,其它设备"},
      {L"DrainPipe", T::kDrainPipes, L"污水管", F::Connect, P::Pipe, L"",
       L"浴盆,洗脸盆,洗手盆,淋浴器,大便器,小便器,水箱,其它卫生器具"},
      {L"Pipe_Vert", T::kPlumbingPipes, L"给水管", F::Vertical, P::Pipe},
      {L"ThroughPipe", T::kPlumbingPipes, L"给水管", F::OwnHandler},
      {L"MultiPipe", T::kPlumbingPipes, L"给水管", F::OwnHandler, P::Pipe, L"", L"", kZero},
      {L"LineToPipe", T::kPlumbingPipesAndHoses, L"给水管", F::FromLines, P::Pipe},
      {L"PipeJoin", T::kPlumbingPipes, L"给水管", F::OwnHandler},
      {L"HosePipe", L"软管道", L"软管道", F::DrawByPoints, P::Pipe, L"", L"", kZero},
      {L"PGradient", T::kPlumbingPipes, L"给水管", F::OwnHandler},
      {L"GPS_Acc", L"阀门,法兰,普通水嘴,冷热水嘴,喷头,排水附件,管道套管,管道仪器,管道补偿器", L"阀门",
       F::SinglePoint},
      {L"GPS_Valve", L"阀门,法兰", L"阀门", F::PointOnPipe, P::None, kAccessoryPrompt, T::kPlumbingPipes},
      {L"Faucet", L"普通水嘴,冷热水嘴", L"普通水嘴", F::PointOnPipe, P::None, kAccessoryPrompt,
       kSupplyFittingPipes},
      {L"DrainAcc", L"排水附件", L"排水附件", F::PointOnPipe, P::None, kAccessoryPrompt, kDrainFittingPipes},
      {L"GPS_Sleeve", L"管道套管", L"管道套管", F::SinglePoint},
      {L"GPS_Instr", L"管道仪器", L"管道仪器", F::PointOnPipe, P::None, kAccessoryPrompt, T::kPlumbingPipes},
      {L"GPS_Compensator", L"管道补偿器", L"管道补偿器", F::PointOnPipe, P::None, kAccessoryPrompt,
       T::kPlumbingPipes},
      {L"Shower", L"喷淋头", L"喷淋头", F::SinglePoint},
      {L"ShowerRect", L"喷淋头", L"喷淋头", F::Rectangle, P::None, L"矩形布喷头"},
      {L"ShowerOnLine", L"喷淋头", L"喷淋头", F::AlongLine, P::None, L"沿线布喷头"},
      {L"ShowerSector", L"喷淋头", L"喷淋头", F::Fan, P::None, L"扇形布喷头"},
      {L"SprayLine", L"喷淋管", L"喷淋管", F::Connect, P::Pipe, L"", L"喷淋头"},
      {L"Shower_Sel", L"喷淋头", L"喷淋头", F::PointOnPipe, P::None, L"\n选择需要布置喷头的喷淋管:", L"喷淋管"},
      {L"SanitaryEquip", kSanitaryTypes, L"浴盆", F::SinglePoint},
      {L"SanitaryEquip_Sel", kSanitaryTypes, L"浴盆", F::PointOnPipe, P::None, L"\n选择需要布置洁具的管道:",
       T::kPlumbingPipes},
      {L"GPS_Equip", kPlumbingEquipment, L"给排水设备", F::SinglePoint},
      {L"GPS_Equip_Sel", kPlumbingEquipment, L"给排水设备", F::PointOnPipe, P::None,
       L"\n选择需要布置设备的管道:", T::kSupplyPipes},
      {L"PipeSupport", L"管道支架", L"管道支架", F::SinglePoint},
      {L"PipeSupport_Sel", L"管道支架", L"管道支架", F::SupportsAlongPipes, P::None, L"", L"管道"},
      {L"PipeSupport_Auto", L"管道支架", L"管道支架", F::OwnHandler},
      {L"PipeGroove", L"管道沟槽", L"管道沟槽", F::DrawByPoints, P::Groove, L"", L"", kZero},
      {L"GPS_Manhole", L"检查井", L"检查井", F::SinglePoint},

      // Electrical.
      {L"LayPipeLine", T::kWiresAndConduits, L"照明导线", F::DrawByPoints, P::Run},
      {L"PipeLine_Sel", T::kWiresAndConduits, L"导线·导管", F::Connect, P::Run},
      {L"MultiPipeLine", L"", L"", F::OwnHandler},
      {L"PipeLine_Vert", T::kWiresAndConduits, L"照明导线", F::Vertical, P::Run},
      {L"LineToPL", T::kWiresConduitsAndHoses, L"照明导线", F::FromLines, P::Run},
      {L"HosePipeLine", L"软导管", L"软导管", F::DrawByPoints, P::Run},
      {L"BreakPipeLine", L"", L"", F::OwnHandler},
      {L"JoinPipeLine", L"", L"", F::OwnHandler},
      {L"Light", L"点状灯具,块状灯具,应急灯,其它电器具", L"点状灯具", F::SinglePoint},
      {L"LightRect", T::kLamps, L"点状灯具", F::Rectangle, P::None, L"矩形布灯具"},
      {L"LightSector", T::kLamps, L"点状灯具", F::Fan, P::None, L"扇形布灯具"},
      {L"LightOnLine", T::kLamps, L"点状灯具", F::AlongLine, P::None, L"沿线布灯"},
      {L"Switch", L"开关,其它电器具", L"开关", F::SinglePoint},
      {L"Switch_Sel", L"开关", L"开关", F::PointOnPipe, P::None, L"\n选择需要布置开关的管线:", T::kWiresAndConduits},
      {L"Socket", L"插座", L"插座", F::SinglePoint},
      {L"Socket_Sel", L"插座", L"插座", F::PointOnPipe, P::None, L"\n选择需要布置插座的管线:", T::kWiresAndConduits},
      {L"Installation", T::kElectricalEquipment, L"动力设备", F::SinglePoint},
      {L"Installation_Sel", T::kElectricalEquipment, L"动力设备", F::PointOnPipe, P::None,
       L"\n选择需要布置设备的管线:", T::kWiresAndConduits},
      {L"DistributionBox", T::kBoxes, L"配电箱", F::SinglePoint},
      {L"DistriBox_Sel", T::kBoxes, L"配电箱", F::PointOnPipe, P::None, L"\n选择需要布置箱柜的管线:",
       T::kWiresAndConduits},
      {L"Element", L"元件装置", L"元件装置", F::SinglePoint},
      {L"Element_Sel", L"元件装置", L"元件装置", F::PointOnPipe, P::None, L"\n选择需要布置元件的管线:",
       T::kWiresAndConduits},
      {L"Bridge_Hor", T::kTrays, L"桥架", F::DrawByPoints, P::TrayOrBridge},
      {L"Bridge_Vert", T::kTrays, L"桥架", F::Vertical, P::TrayOrBridge},
      {L"BridgeRotate", L"", L"", F::Nothing},
      {L"BridgeWiring", L"", L"", F::Nothing},
      {L"LeadingWire", L"", L"", F::Nothing},
      {L"LineToBridge", T::kTrays, L"桥架", F::FromLines, P::TrayOrBridge},
      {L"Cable_Hor", L"电缆", L"电缆", F::DrawByPoints, P::Cable},
      {L"Cable_Vert", L"电缆", L"电缆", F::Vertical, P::Cable},
      {L"Cable_Sel", L"电缆", L"电缆", F::Connect, P::Cable},
      {L"LineToCable", L"电缆", L"电缆", F::FromLines, P::Cable},
      {L"Bus_Hor", L"母线馈线", L"母线馈线", F::DrawByPoints, P::Cable},
      {L"Bus_Vert", L"母线馈线", L"母线馈线", F::Vertical, P::Cable},
      {L"LineToBus", L"母线馈线", L"母线馈线", F::FromLines, P::Cable},
      {L"LBand_Auto", L"避雷带", L"避雷带", F::OwnHandler},
      {L"LightningBand", L"避雷带", L"避雷带", F::DrawByPoints, P::Band},
      {L"LineToLBand", L"避雷带", L"避雷带", F::FromLines, P::Band},
      {L"DownLead", L"", L"", F::OwnHandler},
      {L"LightningRod", L"避雷针", L"避雷针", F::SinglePoint},
      {L"EarthBus_Hor", L"接地母线", L"接地母线", F::DrawByPoints, P::Pipe},
      {L"EarthBus_Vert", L"接地母线", L"接地母线", F::Vertical, P::Pipe},
      {L"LineToEarthBus", L"接地母线", L"接地母线", F::FromLines, P::Pipe},
      {L"EarthLead", L"接地跨接线", L"接地跨接线", F::SinglePoint},
      {L"EarthedPole", L"接地极", L"接地极", F::SinglePoint},
      {L"JunctionBox", L"接线盒", L"接线盒", F::SinglePoint},
      {L"JBox_Auto", L"接线盒", L"接线盒", F::OwnHandler},
      {L"DQ_Sleeve", L"管线套管", L"管线套管", F::SinglePoint},
      {L"CableGroove", L"电缆沟槽", L"电缆沟槽", F::DrawByPoints, P::CableTrench},
      {L"CablePit", L"电缆井", L"电缆井", F::SinglePoint},
      {L"DQ_Support", L"电气支架", L"电气支架", F::SinglePoint},
      {L"DQ_Support_Auto", L"电气支架", L"电气支架", F::AlongLine, P::None, kAlongRunCaption},
      {L"DQ_EquipFoundation", L"设备基础", L"设备基础", F::SinglePoint},

      // HVAC.
      {L"LayWaterPipe", T::kWaterPipes, L"热供水管", F::DrawByPoints, P::Pipe},
      {L"WaterPipe_Vert", T::kWaterPipes, L"热供水管", F::Vertical, P::Pipe},
      {L"ThroughWP", T::kWaterPipes, L"热供水管", F::CombosOnly},
      {L"MultiWaterP", T::kWaterPipes, L"热供水管", F::OwnHandler},
      {L"LineToWP", T::kWaterPipes, L"热供水管", F::FromLines, P::Pipe},
      {L"WaterPJoin", T::kWaterPipes, L"热供水管", F::OwnHandler},
      {L"HoseWaterP", L"软水管", L"软水管", F::DrawByPoints, P::Pipe, L"", L"", StartElevation::BaseOfNumber,
       L"软水管"},
      {L"WPGradient", T::kWaterPipes, L"热供水管", F::OwnHandler},
      {L"LayAirDuct", T::kDucts, L"送风管", F::DrawByPoints, P::Duct},
      {L"AirDuct_Vert", T::kDucts, L"送风管", F::Vertical, P::Duct},
      {L"LineToDuct", T::kDucts, L"送风管", F::FromLines, P::Duct},
      {L"AirDuct_Sel", T::kDucts, L"送风管", F::CombosOnly},
      {L"AirOpening", T::kAirOpenings, L"送风口", F::SinglePoint},
      {L"OpeningOnLine", T::kAirOpenings, L"送风口", F::AlongLine, P::None, kAlongRunCaption},
      {L"OpeningRect", T::kAirOpenings, L"送风口", F::Rectangle, P::None, L"矩形布风口"},
      {L"OpenningSector", T::kAirOpenings, L"送风口", F::Fan, P::None, L"平布风口"},
      {L"OpeningSide", T::kAirOpenings, L"送风口", F::SideOpening},
      {L"SideOnLine", T::kAirOpenings, L"送风口", F::SideOpeningsOnDuct, P::None, L"\n选择要布置的管线：",
       T::kDucts},
      {L"Ventilate", L"空调机组,风机盘管,通风机,除尘设备,其它风设备", L"空调机组", F::SinglePoint},
      {L"Damper", L"风阀", L"风阀", F::PointOnPipe, P::None, kAccessoryPrompt, T::kDucts},
      {L"DuctFlange", L"风法兰", L"风法兰", F::PointOnPipe, P::None, kAccessoryPrompt, T::kDucts},
      {L"Flange_Auto", L"风法兰", L"风法兰", F::CombosOnly},
      {L"Cowl", L"风帽", L"风帽", F::PointOnPipe, P::None, kAccessoryPrompt, T::kDucts},
      {L"Vane", L"导流片", L"导流片", F::PointOnPipe, P::None, kAccessoryPrompt, T::kDucts},
      {L"OtherComponent", L"静压箱,消声器,过滤器", L"静压箱", F::PointOnPipe, P::None, kAccessoryPrompt,
       T::kDucts},
      {L"WaterHeatingE", L"冷水机组,锅炉,水泵,冷却塔,暖风机,其它暖设备", L"冷水机组", F::SinglePoint},
      {L"Radiator", L"散热器", L"散热器", F::SinglePoint},
      {L"Coil", L"地暖盘管", L"地暖盘管", F::OwnHandler},
      {L"LineToCoil", L"地暖盘管", L"地暖盘管", F::OwnHandler},
      {L"NT_Valve", L"水阀,水法兰", L"水阀", F::PointOnPipe, P::None, kAccessoryPrompt, T::kWaterPipes},
      {L"NT_Sleeve", L"暖通套管", L"暖通套管", F::SinglePoint},
      {L"NT_Instr", L"水管仪器", L"水管仪器", F::PointOnPipe, P::None, kAccessoryPrompt, T::kWaterPipes},
      {L"NT_Compensator", L"水管补偿器", L"水管补偿器", F::PointOnPipe, P::None, kAccessoryPrompt,
       T::kWaterPipes},
      {L"NT_Manhole", L"暖通检查井", L"暖通检查井", F::SinglePoint},
      {L"NT_Support", L"风管支架,水管支架", L"风管支架", F::SinglePoint},
      {L"DuctRack_Sel", L"风管支架", L"风管支架", F::SupportsAlongPipes, P::None, L"", L"风管"},
      {L"DuctRack_Auto", L"风管支架", L"风管支架", F::OwnHandler},
      {L"PipeRack_Sel", L"水管支架", L"水管支架", F::SupportsAlongPipes, P::None, L"", L"水管"},
      {L"PipeRack_Auto", L"水管支架", L"水管支架", F::OwnHandler},
      {L"NT_Groove", L"暖通管道沟槽", L"暖通管道沟槽", F::DrawByPoints, P::Groove},
      {L"NT_EquipFoundation", L"暖通设备基础", L"暖通设备基础", F::SinglePoint},
  };
  return table;
}

void storePair(GjPairKind kind) {
  const GjPair pair = LayoutPairOf(kind);
  g_createGjCb = pair.create;
  g_decorateGjCb = pair.decorate;
}

// The draw-by-points form: nothing opens without a number, or when the
// number cannot give the start elevation.
void drawByPoints(const LayoutCommandRow& row) {
  if (!LoadCurGjDefine()) return;
  double elevation = 0;
  if (!LayStartElevation(row.elevation, elevation)) return;
  const GjPair pair = LayoutPairOf(row.pair);
  RunLinearGjByPoints(pair.create, pair.decorate, elevation);
}

// True when the definition has a row for the number.
bool hasNumberRow(const CurrentGj& gj, const std::wstring& number) {
  for (const auto& item : gj.params)
    if (item.substr(0, item.find(L'=')) == number) return true;
  return false;
}
bool hasNumberRow(const CurrentGj& gj) { return hasNumberRow(gj, gj.number); }

bool isPointForm(LayoutForm form) {
  switch (form) {
    case F::SinglePoint:
    case F::PointOnPipe:
    case F::Rectangle:
    case F::Fan:
    case F::AlongLine:
    case F::SupportsAlongPipes:
    case F::SideOpening:
    case F::SideOpeningsOnDuct:
      return true;
    default:
      return false;
  }
}

}  // namespace

const std::vector<LayoutCommandRow>& LayoutCommandRows() { return rows(); }

const LayoutCommandRow* FindLayoutCommandRow(const std::wstring& name) {
  for (const auto& row : rows())
    if (name == row.name) return &row;
  return nullptr;
}

GjPair LayoutPairOf(GjPairKind kind) {
  switch (kind) {
    case P::None:
      return {};
    case P::Pipe:
      return {&CreatePipeGj, &DecoratePipeGj};
    case P::Run:
      return {&CreatePipeLineGj, &DecoratePipeLineGj};
    case P::Cable:
      return {&CreateCableGj, &DecorateCableGj};
    case P::Band:
      return {&CreatePipeGj, &DecorateCableGj};
    case P::Tray:
      return {&CreateTrayGj, &DecorateTrayGj};
    case P::Bridge:
      return {&CreateBridgeGj, &DecorateBridgeGj};
    case P::CableTrench:
      return {&CreateGrooveGj, &DecorateTrayGj};
    case P::Duct:
      return {&CreateDuctGj, &DecorateDuctGj};
    case P::Groove:
      return {&CreateGrooveGj, &DecorateGrooveGj};
    case P::TrayOrBridge:
      return LayoutPairOf(winlib::CmbGetName(winlib::kComboName) == L"托盘" ? P::Tray : P::Bridge);
  }
  return {};
}

bool ParseBaseElevation(const std::wstring& value, double floorHeight, double& elevation) {
  if (value.empty()) {
    elevation = 0;
    return true;
  }
  if (value == L"层高") {
    elevation = floorHeight;
    return true;
  }
  wchar_t* end = nullptr;
  const double v = std::wcstod(value.c_str(), &end);
  if (end == value.c_str()) return false;
  elevation = v;
  return true;
}

bool LayoutDefinitionAvailable(const std::wstring& types, const std::wstring& defaultType, bool point) {
  const std::wstring name = winlib::CmbGetName(winlib::kComboName);
  const std::wstring number = winlib::CmbGetName(winlib::kComboNumber);
  StringArray list;
  SplitToArray(types, L",", list);
  if (!list.empty() && std::find(list.begin(), list.end(), name) == list.end()) {
    // The combos could not be switched to one of the command's types (no
    // project, or no such type in the library).
    ed::print(kNoDefinitionMessage, defaultType.c_str(), L"");
    return false;
  }
  // Without a number the engine asks for one, as it always has.
  if (number.empty()) return true;
  bool defined;
  if (point) {
    LoadPointGjByName(name, L"", true);
    defined = hasNumberRow(g_curPointGj, number);
  } else {
    LoadGjDefineByName(name, true);
    defined = hasNumberRow(g_curLineGj, number);
  }
  if (!defined) ed::print(kNoDefinitionMessage, name.c_str(), number.c_str());
  return defined;
}

bool LayStartElevation(StartElevation rule, double& elevation) {
  const CurrentGj& gj = g_curLineGj;
  if (!hasNumberRow(gj)) {
    ed::print(kNoDefinitionMessage, gj.name.c_str(), gj.number.c_str());
    return false;
  }
  if (rule == StartElevation::Zero) {
    elevation = 0;
    return true;
  }
  const std::wstring value = GetAttrValue(GetGjParamLines(gj, gj.number), L"底标高");
  if (ParseBaseElevation(value, g_floorHeight, elevation)) return true;
  ed::print(L"\n%s编号%s的底标高“%s”不是数值，未布置\n", gj.name.c_str(), gj.number.c_str(), value.c_str());
  return false;
}

namespace {

// A layout command run transparently inside another command (a valve laid
// at a prompt of a pipe run) hands the host combos and the loaded line
// definition back as it found them: the command underneath goes on with the
// name and number it started with.
class NestedComboScope {
 public:
  NestedComboScope() : nested_(ed::activeCommands().size() > 1) {
    if (!nested_) return;
    category_ = winlib::CmbGetName(winlib::kComboCategory);
    name_ = winlib::CmbGetName(winlib::kComboName);
    number_ = winlib::CmbGetName(winlib::kComboNumber);
    lineGj_ = g_curLineGj;
  }
  ~NestedComboScope() {
    if (!nested_) return;
    if (winlib::CmbGetName(winlib::kComboCategory) != category_) winlib::CmbGjType(category_);
    if (winlib::CmbGetName(winlib::kComboName) != name_) winlib::CmbGjName(name_);
    if (winlib::CmbGetName(winlib::kComboNumber) != number_) winlib::CmbGjBh(number_);
    g_curLineGj = lineGj_;
  }
  NestedComboScope(const NestedComboScope&) = delete;
  NestedComboScope& operator=(const NestedComboScope&) = delete;

 private:
  bool nested_;
  std::wstring category_, name_, number_;
  CurrentGj lineGj_;
};

}  // namespace

void RunLayoutCommand(const LayoutCommandRow& row) {
  if (row.form == F::Nothing || row.form == F::OwnHandler) return;
  NestedComboScope combosBack;
  PrepareGjCombos(row.types, row.defaultType);
  if (row.form != F::CombosOnly && row.form != F::DrawByPoints &&
      !LayoutDefinitionAvailable(row.types, row.defaultType, isPointForm(row.form)))
    return;
  if (*row.layerOn) SetLayerOff(row.layerOn, false, nullptr);

  LayoutEngines& engines = CurrentLayoutEngines();
  switch (row.form) {
    case F::DrawByPoints:
      drawByPoints(row);
      break;
    case F::Vertical:
      // The tray risers need the definition before the pair can be chosen.
      if (row.pair == P::TrayOrBridge && !LoadCurGjDefine()) return;
      storePair(row.pair);
      Seams().layVerticalGj();
      break;
    case F::FromLines:
      storePair(row.pair);
      Seams().lineToGj();
      break;
    case F::Connect:
      storePair(row.pair);
      engines.connect(row.pickList);
      break;
    case F::SinglePoint:
      Seams().layPointGj();
      break;
    case F::PointOnPipe:
      engines.pointOnPipe(row.text, row.pickList);
      break;
    case F::Rectangle:
      engines.rectangle(row.text);
      break;
    case F::Fan:
      engines.fan(row.text);
      break;
    case F::AlongLine:
      engines.alongLine(row.text);
      break;
    case F::SupportsAlongPipes: {
      StringArray types;
      ExpandGjCategories(row.pickList, types);
      std::wstring joined;
      JoinArray(types, L",", joined);
      engines.supportsOnPipe(joined, L"");
      break;
    }
    case F::SideOpening:
      engines.sideOpening();
      break;
    case F::SideOpeningsOnDuct:
      engines.sideOpeningsOnDuct(row.text, row.pickList);
      break;
    case F::CombosOnly:
    case F::Nothing:
    case F::OwnHandler:
      break;
  }
}

LayoutEngines DefaultLayoutEngines() {
  LayoutEngines e;
  e.connect = &ConnectGjByPipe;
  e.pointOnPipe = &LayPointGjOnPipe;
  e.rectangle = &LayPointGjRect;
  e.fan = &LayPointGjFan;
  e.alongLine = &LayPointGjOnLine;
  e.supportsOnPipe = &LaySupportsOnPipe;
  e.sideOpening = &LaySideOpening;
  e.sideOpeningsOnDuct = &LaySideOpeningsOnDuct;
  return e;
}

LayoutEngines& CurrentLayoutEngines() {
  static LayoutEngines engines = DefaultLayoutEngines();
  return engines;
}
