// The layout command frame: every plumbing, electrical and HVAC layout
// command is one row of a table (its type list, its default type, the form
// of placement, the callback pair it stores and the engine's arguments), and
// one routine runs any row.
//
// A run of a row makes the host combos show one of its types (switching to
// the default type otherwise), then, by its form:
// - draw by points: loads the current definition (nothing opens without a
//   number), works out the start elevation, opens the lay window at the
//   drawing view's corner, stores the pair and repeats the draw engine while
//   a run ends with Enter; the window is closed on every way out;
// - vertical, from lines, connect: stores the pair and runs the engine once
//   (each loads the definition itself);
// - the point forms: run their engine once; the pair is left alone;
// - combos only: ends after the combos.
// Commands with a dialog or an engine of their own are rows too (their type
// lists live here); the frame does not run them.
#pragma once

#include <string>
#include <vector>

#include "module/model/current_gj.h"
#include "module/model/draw_engine.h"

// Type lists shared by several commands.
namespace layout_types {
// Plumbing.
inline constexpr const wchar_t* kPlumbingPipes = L"给水管,热给水管,热回水管,污水管,废水管,雨水管,中水管,消防管,喷淋管,其它管道";
inline constexpr const wchar_t* kPlumbingPipesAndHoses =
    L"给水管,热给水管,热回水管,污水管,废水管,雨水管,中水管,消防管,喷淋管,软管道,其它管道";
inline constexpr const wchar_t* kSupplyPipes = L"给水管,热给水管,热回水管,消防管,喷淋管,其它管道";
inline constexpr const wchar_t* kDrainPipes = L"污水管,废水管,雨水管,中水管";
// Electrical.
inline constexpr const wchar_t* kWiresAndConduits = L"照明导线,动力导线,消防导线,其它导线,导管,线槽,导线·导管";
inline constexpr const wchar_t* kWiresConduitsAndHoses =
    L"照明导线,动力导线,消防导线,其它导线,导管,线槽,软导管,导线·导管";
inline constexpr const wchar_t* kLamps = L"点状灯具,块状灯具,应急灯";
inline constexpr const wchar_t* kTrays = L"桥架,托盘,组合式桥架";
inline constexpr const wchar_t* kElectricalEquipment = L"动力设备,电消防设备,其它电设备";
inline constexpr const wchar_t* kBoxes = L"配电箱,配电柜,配电盘";
// HVAC.
inline constexpr const wchar_t* kWaterPipes = L"热供水管,热回水管(暖通),冷供水管,冷回水管,冷却水管,凝结水管,其它水管";
inline constexpr const wchar_t* kDucts = L"送风管,新风管,回风管,排风管,除尘排烟管,其它风管,柔性风管";
inline constexpr const wchar_t* kAirOpenings = L"送风口,新风口,回风口,排风口,排烟口,其它风口";
}  // namespace layout_types

// How a row places its components.
enum class LayoutForm {
  DrawByPoints,        // runs point by point in the lay window
  Vertical,            // risers
  FromLines,           // lines and polylines turned into runs
  Connect,             // runs between picked components; pickList: pickable types (empty: any)
  SinglePoint,         // point components one at a time
  PointOnPipe,         // on a picked run; text: prompt, pickList: run types
  Rectangle,           // text: palette caption
  Fan,                 // text: palette caption
  AlongLine,           // text: palette caption
  SupportsAlongPipes,  // pickList: the category whose types can be picked
  SideOpening,         // side air openings at picked points
  SideOpeningsOnDuct,  // text: prompt, pickList: duct types
  CombosOnly,          // prepares the combos and ends
  Nothing,             // does nothing at all
  OwnHandler,          // a dialog or engine of its own, not run by the frame
};

// The callback pair a row stores.
enum class GjPairKind {
  None,
  Pipe,          // CreatePipeGj / DecoratePipeGj
  Run,           // CreatePipeLineGj / DecoratePipeLineGj
  Cable,         // CreateCableGj / DecorateCableGj
  Band,          // CreatePipeGj / DecorateCableGj
  Tray,          // CreateTrayGj / DecorateTrayGj
  Bridge,        // CreateBridgeGj / DecorateBridgeGj
  CableTrench,   // CreateGrooveGj / DecorateTrayGj
  Duct,          // CreateDuctGj / DecorateDuctGj
  Groove,        // CreateGrooveGj / DecorateGrooveGj
  TrayOrBridge,  // Tray when the combo "构件" shows "托盘", else Bridge
};

struct GjPair {
  CreateGjCb create = nullptr;
  DecorateGjCb decorate = nullptr;
  bool operator==(const GjPair&) const = default;
};

// The elevation the lay window of a draw-by-points row opens with.
enum class StartElevation {
  Zero,         // 0.0 whatever the number says
  BaseOfNumber  // the 底标高 of the current number
};

struct LayoutCommandRow {
  const wchar_t* name;         // command name
  const wchar_t* types;        // type list (empty: the combos are not prepared)
  const wchar_t* defaultType;  // the type the combos switch to
  LayoutForm form;
  GjPairKind pair = GjPairKind::None;
  const wchar_t* text = L"";      // prompt or palette caption
  const wchar_t* pickList = L"";  // pickable types, run types or a category
  StartElevation elevation = StartElevation::BaseOfNumber;
  const wchar_t* layerOn = L"";  // a layer turned on after the combos (none when empty)
};

// Every layout command of the three disciplines, in command-table order.
const std::vector<LayoutCommandRow>& LayoutCommandRows();
// The row of a command; null when no row has that name.
const LayoutCommandRow* FindLayoutCommandRow(const std::wstring& name);

// The pair of a kind; TrayOrBridge reads the combo "构件".
GjPair LayoutPairOf(GjPairKind kind);

// Runs one row (see the top of this file).
void RunLayoutCommand(const LayoutCommandRow& row);

// The refusal of a layout command whose component has no definition:
// component name, number.
inline constexpr const wchar_t* kNoDefinitionMessage = L"\n本层构件表中没有%s的编号%s，未布置\n";

// True when the host combos show one of the types (a comma list; empty: any)
// and, given a number, the floor's component table defines that number (read
// as a point definition into g_curPointGj when point, else into
// g_curLineGj). Otherwise false, with kNoDefinitionMessage on the command
// line (naming the default type when the combos show none of the types).
bool LayoutDefinitionAvailable(const std::wstring& types, const std::wstring& defaultType, bool point);

// The start elevation of a draw-by-points row for the current definition
// g_curLineGj. With BaseOfNumber: the number must have a row on the floor,
// and its 底标高 is read by ParseBaseElevation. False, with a message on the
// command line, when the definition cannot give one.
bool LayStartElevation(StartElevation rule, double& elevation);
// A 底标高 value: empty reads 0, "层高" the floor height, otherwise the
// number the text begins with; false for a text that begins with no number.
bool ParseBaseElevation(const std::wstring& value, double floorHeight, double& elevation);

// The engines of the forms that the component model's seams do not carry,
// called through this table so that tests can put fakes in.
struct LayoutEngines {
  void (*connect)(const std::wstring& types);
  void (*pointOnPipe)(const std::wstring& prompt, const std::wstring& runTypes);
  void (*rectangle)(const std::wstring& caption);
  void (*fan)(const std::wstring& caption);
  void (*alongLine)(const std::wstring& caption);
  void (*supportsOnPipe)(const std::wstring& runTypes, const std::wstring& prompt);
  void (*sideOpening)();
  void (*sideOpeningsOnDuct)(const std::wstring& prompt, const std::wstring& ductTypes);
};
LayoutEngines& CurrentLayoutEngines();
LayoutEngines DefaultLayoutEngines();

// Puts a table in place for its lifetime and the previous one back after.
class ScopedLayoutEngines {
 public:
  explicit ScopedLayoutEngines(const LayoutEngines& engines) : saved_(CurrentLayoutEngines()) {
    CurrentLayoutEngines() = engines;
  }
  ~ScopedLayoutEngines() { CurrentLayoutEngines() = saved_; }
  ScopedLayoutEngines(const ScopedLayoutEngines&) = delete;
  ScopedLayoutEngines& operator=(const ScopedLayoutEngines&) = delete;

 private:
  LayoutEngines saved_;
};
