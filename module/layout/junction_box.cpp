#include "module/layout/junction_box.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <unordered_map>

#include "module/layout/layout_commands.h"
#include "module/layout/support_places.h"
#include "module/model/component_types.h"
#include "module/model/module_resources.h"
#include "module/model/point_blocks.h"
#include "module/model/project_tables.h"
#include "module/model/seams.h"
#include "module/model/special_data.h"
#include "module/toolkit/collect.h"
#include "module/toolkit/entities.h"
#include "module/toolkit/points.h"
#include "module/toolkit/suite_call.h"
#include "module/toolkit/window_lib.h"
#include "module/toolkit/xdata.h"
#include "platform/cad/entities.h"
#include "platform/cad/object.h"
#include "platform/editor/cmdline.h"
#include "platform/editor/progress.h"

namespace {

using namespace jbox_ids;
using geom::Point3d;

constexpr const wchar_t* kJBoxType = L"接线盒";
constexpr const wchar_t* kRunLayer = L"导线·导管";
constexpr int kRulesHeight = 150;

// Points hashed by cells of the tolerance's size; a query looks at the
// neighbouring cells too, so every point within the tolerance is found.
class PointGrid {
 public:
  explicit PointGrid(bool planOnly) : planOnly_(planOnly) {}
  void add(const Point3d& p, int value) { cells_[key(cell(p.x), cell(p.y), planOnly_ ? 0 : cell(p.z))].push_back(value); }
  // Calls fn(value) for the values of the cells around p.
  template <class Fn>
  void around(const Point3d& p, Fn&& fn) const {
    const std::int64_t cx = cell(p.x), cy = cell(p.y), cz = planOnly_ ? 0 : cell(p.z);
    const int dz = planOnly_ ? 0 : 1;
    for (std::int64_t i = cx - 1; i <= cx + 1; ++i)
      for (std::int64_t j = cy - 1; j <= cy + 1; ++j)
        for (std::int64_t k = cz - dz; k <= cz + dz; ++k) {
          auto it = cells_.find(key(i, j, k));
          if (it == cells_.end()) continue;
          for (int v : it->second) fn(v);
        }
  }

 private:
  static std::int64_t cell(double v) { return std::int64_t(std::floor(v / kJBoxPointTolerance)); }
  static std::uint64_t key(std::int64_t x, std::int64_t y, std::int64_t z) {
    return (std::uint64_t(x) * 73856093u) ^ (std::uint64_t(y) * 19349663u) ^ (std::uint64_t(z) * 83492791u);
  }
  bool planOnly_;
  std::unordered_map<std::uint64_t, std::vector<int>> cells_;
};

bool same(const Point3d& a, const Point3d& b) { return IsEqualPoint(a, b, kJBoxPointTolerance); }
bool samePlan(const Point3d& a, const Point3d& b) { return IsEqualPointXY(a, b, kJBoxPointTolerance); }

double dist(const Point3d& a, const Point3d& b) { return (b - a).length(); }
Point3d along(const Point3d& from, const Point3d& towards, const Point3d& base, double t) {
  const geom::Vector3d v = towards - from;
  const double l = v.length();
  if (l <= 0) return base;
  return base + v * (t / l);
}

// The boxes of one command run: no two within the tolerance of each other,
// none where a box stood before the command, none within 10 of another of
// the same number.
class BoxPlacer {
 public:
  BoxPlacer() : places_(kJBoxType) {}
  // True when a box stands at p afterwards (placed now or before).
  bool place(const std::wstring& number, const Point3d& p) {
    if (places_.taken(PointGjBlockDefName(kJBoxType, number), p, kJBoxPointTolerance)) return true;
    cad::ObjectId id;
    InsertPointGjBlock(id, kJBoxType, number, p, 0);
    if (id.isNull()) return false;
    const geom::Vector3d noTurn(0, 0, 0);
    if (!SetPointGjSpecial(&number, id, &p.z, &noTurn)) {
      EraseEntity(id);
      return false;
    }
    return FinishPointGj(places_, kJBoxType, number, id, p);
  }

 private:
  PointGjPlaces places_;
  PointFiguresDrawnOnce figures_;
};

// The insertion point of a block reference; false for any other entity.
bool insertionPoint(cad::ObjectId id, Point3d& p) {
  cad::ObjectPtr<cad::Entity> ent(id, cad::OpenMode::ForRead);
  auto* ref = ent ? dynamic_cast<cad::BlockReference*>(ent.get()) : nullptr;
  if (!ref) return false;
  p = ref->position();
  return true;
}

void primariesOn(const std::wstring& layers, cad::ObjectIdArray& out) {
  cad::ObjectIdArray all;
  CollectIdsByLayerAndNumber(layers, L"", all, nullptr);
  FilterPrimaryGjIds(out, all);
}

}  // namespace

// ---------------------------------------------------------------------------
// Chains and the walk
// ---------------------------------------------------------------------------

std::vector<JBoxChain> BuildJBoxChains(const std::vector<JBoxRun>& runs) {
  std::vector<JBoxChain> chains;
  std::vector<bool> used(runs.size(), false);
  PointGrid ends(false);
  for (size_t i = 0; i < runs.size(); ++i) {
    if (same(runs[i].start, runs[i].end)) {
      used[i] = true;  // no length: no part of any chain
      continue;
    }
    ends.add(runs[i].start, int(i));
    ends.add(runs[i].end, int(i));
  }
  // The first unused run (in run order) with an end at p.
  auto firstAt = [&](const Point3d& p, int& best) {
    ends.around(p, [&](int i) {
      if (used[size_t(i)] || (best >= 0 && i >= best)) return;
      if (same(runs[size_t(i)].start, p) || same(runs[size_t(i)].end, p)) best = i;
    });
  };
  size_t next = 0;
  for (;;) {
    while (next < runs.size() && used[next]) ++next;
    if (next == runs.size()) break;
    used[next] = true;
    JBoxChain c;
    c.points = {runs[next].start, runs[next].end};
    c.numbers = {runs[next].number};
    for (;;) {
      int best = -1;
      firstAt(c.points.front(), best);
      firstAt(c.points.back(), best);
      if (best < 0) break;
      const JBoxRun& r = runs[size_t(best)];
      used[size_t(best)] = true;
      if (same(r.start, c.points.back())) {
        c.points.push_back(r.end);
        c.numbers.push_back(r.number);
      } else if (same(r.start, c.points.front())) {
        c.points.insert(c.points.begin(), r.end);
        c.numbers.insert(c.numbers.begin(), r.number);
      } else if (same(r.end, c.points.front())) {
        c.points.insert(c.points.begin(), r.start);
        c.numbers.insert(c.numbers.begin(), r.number);
      } else {
        c.points.push_back(r.start);
        c.numbers.push_back(r.number);
      }
    }
    chains.push_back(std::move(c));
  }
  return chains;
}

void WalkJBoxChain(const JBoxChain& chain, const JBoxLengths& L,
                   const std::function<bool(const Point3d&)>& place) {
  const std::vector<Point3d>& V = chain.points;
  const StringArray& S = chain.numbers;
  const size_t n = V.size();
  if (n < 2 || !(L.l0 > 0 && L.l1 > 0 && L.l2 > 0 && L.l3 > 0)) return;
  Point3d cur = V[0];
  size_t k = 0;
  while (k + 2 <= n) {
    const Point3d& P1 = V[k + 1];
    // A straight stretch longer than L0: a box every L0.
    double d = dist(cur, P1);
    if (L.l0 <= d) {
      Point3d last = cur;
      for (double t = L.l0; t <= d; t += L.l0) {
        last = along(cur, P1, cur, t);
        place(last);
      }
      cur = last;
    }
    d = dist(cur, P1);
    const bool has2 = k + 2 < n, has3 = k + 3 < n, has4 = k + 4 < n;
    const Point3d P2 = has2 ? V[k + 2] : P1, P3 = has3 ? V[k + 3] : P2, P4 = has4 ? V[k + 4] : P3;
    const double D2 = d + dist(P1, P2), D3 = D2 + dist(P2, P3), D4 = D3 + dist(P3, P4);
    struct Rule {
      bool holds;
      Point3d at;
      size_t next;
    };
    const Rule rules[] = {
        {d > L.l1, P1, k + 1},
        {has2 && S[k] != S[k + 1], P1, k + 1},
        {has2 && d >= 1.0 && D2 >= L.l1, has2 ? along(P1, P2, P1, L.l1 - d) : P1, k + 1},
        {has2 && D2 > L.l2, P2, k + 1},
        {has3 && S[k + 1] != S[k + 2], P2, k + 2},
        {has3 && d > 1.0 && D3 >= L.l2, has3 ? along(P2, P3, P2, L.l2 - D2) : P2, k + 2},
        {has3 && D3 > L.l3, P3, k + 3},
        {has4 && S[k + 2] != S[k + 3], P3, k + 3},
        {has4 && d > 1.0 && D4 >= L.l3, has4 ? along(P3, P4, P3, L.l3 - D3) : P3, k + 3},
        {has4 && D4 <= L.l3, P4, k + 4},
    };
    size_t nextK = k + 1;
    for (const Rule& r : rules) {
      if (!r.holds) continue;
      if (place(r.at)) {
        cur = r.at;
        nextK = r.next;
      }
      break;
    }
    k = nextK;
  }
}

void ReadJBoxNumbers(StringArray& out) {
  out.clear();
  StringArray items;
  ReadFloorGjField(items, winlib::CmbGetName(L"楼层"), kJBoxType, L"", L"参数");
  for (const std::wstring& item : items) {
    std::wstring head, tail;
    SplitHeadTail(item, L"=", head, tail);
    if (!head.empty()) out.push_back(head);  // a template row has no number
  }
}

void PlaceJBoxesInDrawing(const std::wstring& lampBox, const std::wstring& jointBox, const std::wstring& switchBox,
                          const JBoxLengths& lengths) {
  BoxPlacer boxes;

  cad::ObjectIdArray lamps;
  if (!lampBox.empty()) primariesOn(L"点状灯具,块状灯具", lamps);

  if (!switchBox.empty()) {
    cad::ObjectIdArray devices;
    primariesOn(L"开关,插座", devices);
    for (cad::ObjectId id : devices) {
      Point3d p;
      if (!insertionPoint(id, p)) continue;
      StringArray special;
      GetXdataLines(id, kXdataSpecial, special);
      p.z = std::wcstod(GetAttrValue(special, L"标高").c_str(), nullptr);
      boxes.place(switchBox, p);
    }
  }
  if (lampBox.empty() && jointBox.empty()) return;

  cad::ObjectIdArray runIds;
  CollectIdsByLayerAndNumber(kRunLayer, L"", runIds, nullptr);
  std::vector<JBoxRun> runs;
  for (cad::ObjectId id : runIds) {
    std::wstring number;
    StringArray attrs;
    GetGjNumberAndAttrs(id, number, attrs);
    if (attrs.size() < 2) continue;  // decorations and strays join no chain
    JBoxRun r;
    r.number = number;
    GetGjEndPoints3d(id, r.start, r.end);
    runs.push_back(r);
  }
  // The lamps by plan position, so each chain point finds its lamps at once.
  std::vector<Point3d> lampAt;
  PointGrid lampGrid(true);
  for (cad::ObjectId id : lamps) {
    Point3d p;
    if (!insertionPoint(id, p)) continue;
    lampGrid.add(p, int(lampAt.size()));
    lampAt.push_back(p);
  }

  const std::vector<JBoxChain> chains = BuildJBoxChains(runs);
  ed::setStatusBarProgressMeter(L"生成接线盒", 0, int(chains.size()));
  int done = 0;
  for (const JBoxChain& chain : chains) {
    ed::setStatusBarProgressMeterPos(done++);
    if (!lampBox.empty()) {
      // Each lamp's box at the first chain point under it, in lamp order.
      std::vector<std::pair<int, size_t>> hits;  // lamp, chain point
      std::vector<bool> seen(lampAt.size(), false);
      for (size_t j = 0; j < chain.points.size(); ++j)
        lampGrid.around(chain.points[j], [&](int lamp) {
          if (!seen[size_t(lamp)] && samePlan(lampAt[size_t(lamp)], chain.points[j])) {
            seen[size_t(lamp)] = true;
            hits.emplace_back(lamp, j);
          }
        });
      std::sort(hits.begin(), hits.end());
      for (const auto& [lamp, j] : hits) boxes.place(lampBox, chain.points[j]);
    }
    if (!jointBox.empty())
      WalkJBoxChain(chain, lengths, [&](const Point3d& p) { return boxes.place(jointBox, p); });
  }
  ed::restoreStatusBar();
}

// ---------------------------------------------------------------------------
// The dialog
// ---------------------------------------------------------------------------

CAutoLayJBoxWnd::CAutoLayJBoxWnd() : ui::Dialog(kTemplate, nullptr) {
  onMessage(ui::wm::KeepFocus, [](ui::WParam, ui::LParam) -> ui::LResult { return 1; });
  onCommand(kToggleRules, [this] { OnToggleRules(); });
  onCommand(kDefineTypes, [this] { OnDefineGjType(); });
  onCommand(ui::IDOK, [this] { PlaceJBoxes(); });
}

void CAutoLayJBoxWnd::DoDataExchange(ui::DataExchange* dx) {
  ui::Dialog::DoDataExchange(dx);
  ui::DDX_Control(dx, kLampBox, lampCombo_);
  ui::DDX_Control(dx, kJointBox, jointCombo_);
  ui::DDX_Control(dx, kSwitchBox, switchCombo_);
  ui::DDX_CBString(dx, kLampBox, lampBox);
  ui::DDX_CBString(dx, kJointBox, jointBox);
  ui::DDX_CBString(dx, kSwitchBox, switchBox);
  ui::DDX_Text(dx, kL0, l0);
  ui::DDX_Text(dx, kL1, l1);
  ui::DDX_Text(dx, kL2, l2);
  ui::DDX_Text(dx, kL3, l3);
}

void CAutoLayJBoxWnd::fillCombos() {
  StringArray numbers;
  ReadJBoxNumbers(numbers);
  numbers.push_back(L"");
  for (ui::ComboBox* c : {&lampCombo_, &jointCombo_, &switchCombo_}) {
    c->ResetContent();
    for (const std::wstring& n : numbers) c->AddString(n);
  }
  for (std::wstring* box : {&lampBox, &jointBox, &switchBox}) {
    bool known = false;
    for (const std::wstring& n : numbers) known = known || n == *box;
    if (!known || box->empty()) *box = numbers.front();
  }
}

bool CAutoLayJBoxWnd::OnInitDialog() {
  ui::Dialog::OnInitDialog();
  ui::Rect r;
  GetWindowRect(&r);
  SetWindowPos(static_cast<const ui::Wnd*>(nullptr), 0, 0, r.Width(), r.Height() - kRulesHeight, ui::swp::NoMove | ui::swp::NoZOrder);
  lampBox = jointBox = switchBox = L"";
  fillCombos();
  UpdateData(false);
  return true;
}

void CAutoLayJBoxWnd::OnToggleRules() {
  ui::Wnd* button = GetDlgItem(kToggleRules);
  if (!button) return;
  const std::wstring text = button->GetWindowText();
  int grow = 0;
  if (text == L"设置>>") {
    button->SetWindowText(L"设置<<");
    grow = kRulesHeight;
  } else if (text == L"设置<<") {
    button->SetWindowText(L"设置>>");
    grow = -kRulesHeight;
  } else {
    return;
  }
  ui::Rect r;
  GetWindowRect(&r);
  SetWindowPos(static_cast<const ui::Wnd*>(nullptr), 0, 0, r.Width(), r.Height() + grow, ui::swp::NoMove | ui::swp::NoZOrder);
}

void CAutoLayJBoxWnd::OnDefineGjType() {
  const std::wstring floor = winlib::CmbGetName(L"楼层"), category = winlib::CmbGetName(L"分类"),
                     name = winlib::CmbGetName(L"构件"), number = winlib::CmbGetName(L"编号");
  SuiteCall<int(int, const wchar_t*, const wchar_t*, const wchar_t*, const wchar_t*)>::call(
      SuiteModule::Window, "WinDll_GjType_W", 0, 1, floor.c_str(), category.c_str(), name.c_str(), number.c_str());
  UpdateData(true);
  fillCombos();
  UpdateData(false);
}

void CAutoLayJBoxWnd::PlaceJBoxes() {
  if (!UpdateData(true)) return;  // the framework said what it could not read
  for (double v : {l0, l1, l2, l3})
    if (!(v > 0)) {
      ed::printText(L"\n管长必须大于0");
      return;
    }
  PlaceJBoxesInDrawing(lampBox, jointBox, switchBox, JBoxLengths{l0 * 1000, l1 * 1000, l2 * 1000, l3 * 1000});
  EndDialog(ui::IDOK);
}

void CmdJBox_Auto() {
  PrepareGjCombos(kJBoxType, kJBoxType);
  // The template lives in the module's resources, like the other dialogs'.
  UiResourceScope resources;
  CAutoLayJBoxWnd dlg;
  dlg.DoModal();
}
