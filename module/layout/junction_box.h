// Junction boxes (接线盒) placed by rule in a finished electrical drawing: at
// every switch and socket (at its 标高), at every lamp that sits on a wire
// run, and along the chains of wire-and-conduit runs (layer "导线·导管")
// wherever the length since the last box, with the bends in between, calls
// for one. Never two boxes at one place: a place that already holds a box
// (also from an earlier run of the command) gets none.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "module/toolkit/strings.h"
#include "platform/geom/geom.h"
#include "platform/ui/controls.h"
#include "platform/ui/dialog.h"

namespace jbox_ids {
constexpr int kTemplate = 233, kLampBox = 316, kJointBox = 317, kSwitchBox = 318, kDefineTypes = 313,
              kToggleRules = 314, kL0 = 319, kL1 = 320, kL2 = 321, kL3 = 322;
}

// Two places are one when every coordinate differs by less than this (mm).
inline constexpr double kJBoxPointTolerance = 1.0;

// The lengths after which a box is due (mm): without bend, with 1, 2 and 3.
struct JBoxLengths {
  double l0 = 30000, l1 = 20000, l2 = 15000, l3 = 8000;
};

// One wire-and-conduit run: its 3D ends (z = elevation) and its number.
struct JBoxRun {
  geom::Point3d start, end;
  std::wstring number;
};
// A chain of runs joined end to end: points V and the number of the run
// between V[j] and V[j+1] in S[j].
struct JBoxChain {
  std::vector<geom::Point3d> points;
  StringArray numbers;
};

// Joins the runs into chains in their order: each chain starts with the
// first run not used yet and takes, again and again, the first unused run
// that meets one of its two ends (within the tolerance in 3D). Runs without
// length are left out. Cost grows with the number of runs, not its square.
std::vector<JBoxChain> BuildJBoxChains(const std::vector<JBoxRun>& runs);

// Walks a chain and asks for a box at every place the rules give, in order;
// place answers whether the box stands (a refused box leaves the walk where
// it was). Every length must be positive.
void WalkJBoxChain(const JBoxChain& chain, const JBoxLengths& lengths,
                   const std::function<bool(const geom::Point3d&)>& place);

// The junction-box numbers defined on the current floor, in table order.
void ReadJBoxNumbers(StringArray& out);

// The work of OK on the working drawing: boxes of the switch/socket number at
// switches and sockets, of the lamp number at lamps on a chain, of the joint
// number along the chains; an empty number places none of its kind.
void PlaceJBoxesInDrawing(const std::wstring& lampBox, const std::wstring& jointBox, const std::wstring& switchBox,
                          const JBoxLengths& lengths);

class CAutoLayJBoxWnd : public ui::Dialog {
 public:
  CAutoLayJBoxWnd();
  void DoDataExchange(ui::DataExchange* dx) override;
  bool OnInitDialog() override;
  void OnToggleRules();
  void OnDefineGjType();
  // Places the boxes and closes the dialog with OK; refused (the dialog
  // stays) when a length is not a positive number.
  void PlaceJBoxes();

  std::wstring lampBox, jointBox, switchBox;
  double l0 = 30.0, l1 = 20.0, l2 = 15.0, l3 = 8.0;  // metres

 private:
  void fillCombos();
  ui::ComboBox lampCombo_, jointCombo_, switchCombo_;
};
