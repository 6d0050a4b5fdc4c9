// The 转换 of step 2 of the circuit conversion: every described row becomes
// wire-in-conduit components "导线·导管", horizontal runs along its wiring
// at the row's elevation and vertical runs at its devices.
#include <algorithm>
#include <cmath>
#include <cwctype>
#include <unordered_map>
#include <unordered_set>

#include "module/conversion/circuit_conv.h"
#include "module/conversion/conversion_dialogs.h"
#include "module/conversion/segment_index.h"
#include "module/layout/run_callbacks.h"
#include "module/model/component_types.h"
#include "module/model/linear_entities.h"
#include "module/model/project_tables.h"
#include "module/model/special_data.h"
#include "module/toolkit/bulge.h"
#include "module/toolkit/curve_queries.h"
#include "module/toolkit/entities.h"
#include "module/toolkit/layers.h"
#include "module/toolkit/points.h"
#include "module/toolkit/xdata.h"
#include "platform/cad/database.h"
#include "platform/cad/entities.h"
#include "platform/editor/cmdline.h"
#include "platform/editor/document.h"
#include "platform/editor/progress.h"

using namespace circuit_ids;
using geom::Point3d;
using geom::Vector3d;

namespace {

constexpr const wchar_t* kWireConduit = L"导线·导管";
constexpr double kDeviceOffset = 15.0;
const double kParallelTol = std::sin(0.174532925);

bool isLampLayer(const std::wstring& layer) { return layer == L"点状灯具" || layer == L"块状灯具"; }

// The data of one kind of run: its count, number and the 属性 lines.
struct RunData {
  std::wstring count, wireNumber, conduitNumber;
  std::wstring number() const { return count + L"*" + wireNumber + L"+" + conduitNumber; }
};

struct RowInfo {
  RunData horizontal, lamp;
  double elevation = 0;
};

bool parseRow(const CNewListCtrl& list, int r, RowInfo& info) {
  StringArray wire, conduit, vertical, vertWire, vertConduit;
  SplitString(list.GetItemText(r, kColWire), L",", wire);
  SplitString(list.GetItemText(r, kColConduit), L",", conduit);
  SplitString(list.GetItemText(r, kColVertical), L";", vertical);
  if (wire.size() < 3 || conduit.size() < 2 || vertical.size() < 2) return false;
  SplitString(vertical[0], L",", vertWire);
  SplitString(vertical[1], L",", vertConduit);
  if (vertWire.size() < 3 || vertConduit.size() < 2) return false;
  info.horizontal = {wire[2], wire[1], conduit[1]};
  info.lamp = {vertWire[2], vertWire[1], vertConduit[1]};
  info.elevation = ui::parseDouble(list.GetItemText(r, kColElev)).value_or(0.0);
  return true;
}

class RowWalker {
 public:
  RowWalker(const RowInfo& info, const std::vector<CountLabel>& labels, const Vector3d& shift,
            std::unordered_set<cad::ObjectId>& made, std::unordered_set<std::wstring>& badLabels)
      : info_(info), labels_(labels), shift_(shift), made_(made), badLabels_(badLabels) {}

  void walk(const cad::ObjectIdArray& ids, const std::unordered_set<cad::ObjectId>& primaries,
            const std::unordered_set<cad::ObjectId>& pieces) {
    for (cad::ObjectId id : ids) {
      ed::setStatusBarProgressMeterPos(++progress);
      if (id.isNull()) {
        if (run_.size() >= 2) layRun();
        clearRun();
        state_ = 0;
      } else if (primaries.count(id)) {
        device(id);
      } else if (pieces.count(id)) {
        piece(id);
      }
    }
  }
  static inline int progress = 0;

 private:
  void device(cad::ObjectId id) {
    Point3d p;
    std::wstring layer;
    {
      cad::ObjectPtr<cad::BlockReference> ref(id, cad::OpenMode::ForRead);
      if (!ref) return;  // a device without an insertion point is passed over
      p = ref->position() - shift_;
      layer = ref->layer();
    }
    double elev = 0;
    GetPointGjSpecial(id, nullptr, &elev, nullptr);
    p.z = elev;
    if (state_ == 0) {
      run_ = {p};
      bulges_ = {0.0};
      startIsLamp_ = isLampLayer(layer);
      state_ = 1;
      return;
    }
    if (state_ == 1) {
      clearRun();
      state_ = 0;
      return;
    }
    if (isLampLayer(layer)) {
      vertical(p, info_.lamp);
      run_.back() = p;
    } else {
      // The run's last direction in plan (its points carry different
      // elevations: the start device's and the wiring's); at the end of an
      // arc its tangent there.
      Vector3d d = run_.back() - run_[run_.size() - 2];
      d.z = 0;
      const double b = bulges_[run_.size() - 2];
      if (b != 0.0) {
        const double turn = 2 * std::atan(b);
        d = Vector3d(d.x * std::cos(turn) - d.y * std::sin(turn), d.x * std::sin(turn) + d.y * std::cos(turn), 0);
      }
      const Vector3d u = unit(d);
      Point3d q = p - u * kDeviceOffset;
      q.z = elev;
      vertical(q, info_.horizontal);
      run_.back() = q;
    }
    layRun();
    clearRun();
    state_ = 0;
  }

  void clearRun() {
    run_.clear();
    bulges_.clear();
  }

  // The point at the distance along the arc from start to end with the
  // bulge, and the bulge of the rest of the arc from there.
  static void trimArcStart(const Point3d& a, const Point3d& b, double distance, Point3d& at, double& bulge) {
    Vector3d chord = b - a;
    chord.z = 0;
    const double c = chord.length();
    const double theta = 4 * std::atan(bulge);
    const double radius = c / (2 * std::sin(std::fabs(theta) / 2));
    if (c < 1e-9 || !(radius > distance)) return;
    const double phi = std::copysign(distance / radius, theta);
    const double turn = -theta / 2 + phi / 2;
    const Vector3d u = chord / c;
    const Vector3d dir(u.x * std::cos(turn) - u.y * std::sin(turn), u.x * std::sin(turn) + u.y * std::cos(turn), 0);
    at = a + dir * (2 * radius * std::sin(std::fabs(phi) / 2));
    at.z = a.z;
    bulge = std::tan((theta - phi) / 4);
  }

  // The piece backwards: the points reversed, each arc turning the other way.
  static void reversePiece(PointList& pts, BulgeList& bulges) {
    std::reverse(pts.begin(), pts.end());
    BulgeList turned(pts.size(), 0.0);
    for (std::size_t i = 0; i + 1 < pts.size(); ++i) {
      const std::size_t from = pts.size() - 2 - i;
      turned[i] = from < bulges.size() ? -bulges[from] : 0.0;
    }
    bulges = std::move(turned);
  }

  // Wiring arcs keep their bulges: the run holds, beside each point, the
  // bulge of the segment that starts there.
  void piece(cad::ObjectId id) {
    PointList pts;
    BulgeList bulges;
    GetEntityVertices(id, pts, bulges);
    if (pts.size() < 2) return;
    bulges.resize(pts.size(), 0.0);
    bulges.back() = 0.0;
    if (state_ == 0) {
      run_.assign(pts.begin(), pts.end());
      bulges_.assign(bulges.begin(), bulges.end());
    } else if (state_ == 1) {
      const Point3d p = run_.front();
      Vector3d u;
      if (pts.back().distanceTo(p) > pts.front().distanceTo(p)) {
        u = unit(pts.back() - pts.front());
      } else {
        u = unit(pts.front() - pts.back());
        reversePiece(pts, bulges);
      }
      Point3d start = p + u * kDeviceOffset;
      // A first piece that is an arc starts the offset along the arc.
      if (bulges[0] != 0.0) trimArcStart(pts[0], pts[1], kDeviceOffset, start, bulges[0]);
      run_ = {start};
      run_.insert(run_.end(), pts.begin() + 1, pts.end());
      bulges_.assign(bulges.begin(), bulges.end());
      vertical(start, startIsLamp_ ? info_.lamp : info_.horizontal);
    } else {
      if (pts.back().distanceTo(run_.back()) < pts.front().distanceTo(run_.back())) reversePiece(pts, bulges);
      Vector3d w = run_.back() - run_[run_.size() - 2];
      w.z = 0;
      for (std::size_t i = 0; i + 1 < pts.size(); ++i) {
        Vector3d d = pts[i + 1] - pts[i];
        d.z = 0;
        // A straight pair along the run extends the run's last segment,
        // unless one of them is an arc.
        if (run_.size() >= 2 && bulges[i] == 0.0 && bulges_[run_.size() - 2] == 0.0 &&
            IsParallel(d, w, kParallelTol)) {
          run_.pop_back();
          bulges_.pop_back();
        }
        bulges_.back() = bulges[i];
        run_.push_back(pts[i + 1]);
        bulges_.push_back(0.0);
      }
    }
    state_ = 2;
  }

  static Vector3d unit(const Vector3d& v) {
    const double l = v.length();
    return l > 1e-12 ? v / l : Vector3d(1, 0, 0);
  }

  void stamp(cad::ObjectId id, const std::wstring& count) {
    if (id.isNull()) return;
    StringArray lines;
    GetXdataLines(id, kXdataAttrs, lines);
    lines.push_back(L"导线根数=" + count);
    lines.push_back(L"导管规格(mm)=15");
    ClearXdata(id, kXdataAttrs);
    if (!SetXdataLines(id, kXdataAttrs, lines, nullptr)) {
      EraseEntity(id);
      return;
    }
    made_.insert(id);
  }

  void vertical(const Point3d& v, const RunData& data) {
    Point3d top = v;
    top.z = info_.elevation;
    const cad::ObjectId id = CreateWireGj(kWireConduit, data.number(), v + shift_, top + shift_, 0, 1);
    stamp(id, data.count);
  }

  void layRun() {
    for (std::size_t i = 0; i + 1 < run_.size(); ++i) {
      Point3d a = run_[i], b = run_[i + 1];
      RunData data = info_.horizontal;
      std::wstring text;
      if (FindWireCountText(labels_, &text, a, b)) {
        const int n = ParseWireCount(text);
        if (n > 0)
          data.count = std::to_wstring(n);
        else
          badLabels_.insert(text);
      }
      a.z = b.z = info_.elevation;
      const double bulge = i < bulges_.size() ? bulges_[i] : 0.0;
      const cad::ObjectId id = CreateWireGj(kWireConduit, data.number(), a + shift_, b + shift_, bulge, 0);
      stamp(id, data.count);
    }
  }

  const RowInfo& info_;
  const std::vector<CountLabel>& labels_;
  Vector3d shift_;
  std::unordered_set<cad::ObjectId>& made_;
  std::unordered_set<std::wstring>& badLabels_;
  std::vector<Point3d> run_;
  std::vector<double> bulges_;  // beside run_: the bulge of the segment starting at each point
  int state_ = 0;
  bool startIsLamp_ = false;
};

// Among the components made by this conversion, one that lies on another
// wire-in-conduit component (made now or before) is erased: the contained
// piece goes, the longer run stays, and runs of other names are not touched.
int RemoveContainedRuns(const std::unordered_set<cad::ObjectId>& made) {
  GjSegmentArray all;
  std::unordered_map<cad::ObjectId, double> arcs;  // the bulge of every arc run
  for (cad::ObjectId id : ed::docManager().curDocument()->database()->modelSpaceEntities()) {
    Point3d s, e;
    if (!GetGjEndPoints3d(id, s, e)) continue;
    cad::ObjectPtr<cad::Entity> ent(id, cad::OpenMode::ForRead);
    if (!ent || ent->layer() != kWireConduit) continue;
    if (auto* pl = cad::cast<cad::Polyline>(ent.get()); pl && pl->numVerts() >= 2 && pl->bulgeAt(0) != 0.0)
      arcs[id] = pl->bulgeAt(0);
    all.push_back(GjSegment(id, s, e, kWireConduit, L""));
  }
  auto bulgeOf = [&](cad::ObjectId id) {
    auto it = arcs.find(id);
    return it == arcs.end() ? 0.0 : it->second;
  };
  SegmentIndex index(all);
  int erased = 0;
  ed::setStatusBarProgressMeter(L"转换", 0, int(all.size()));
  for (std::size_t slot = 0; slot < index.slotCount(); ++slot) {
    ed::setStatusBarProgressMeterPos(int(slot));
    if (!index.alive(slot) || !made.count(index.at(slot).id)) continue;
    const GjSegment s = index.at(slot);
    for (std::size_t other : index.query(s.start, s.end, 1.0)) {
      if (other == slot) continue;
      const GjSegment& f = index.at(other);
      const double bs = bulgeOf(s.id), bf = bulgeOf(f.id);
      if (bs != 0.0 || bf != 0.0) {
        // An arc lies on another run only as its duplicate.
        const bool same = f.start.distanceTo(s.start) < 1.0 && f.end.distanceTo(s.end) < 1.0 && std::fabs(bs - bf) < 1e-6;
        const bool swapped =
            f.start.distanceTo(s.end) < 1.0 && f.end.distanceTo(s.start) < 1.0 && std::fabs(bs + bf) < 1e-6;
        if (!same && !swapped) continue;
      } else if (IsSegmentNotOnSegment(f.start, f.end, s.start, s.end)) {
        continue;
      }
      EraseEntity(s.id);
      index.remove(slot);
      ++erased;
      break;
    }
  }
  ed::restoreStatusBar();
  return erased;
}

}  // namespace

int ParseWireCount(const std::wstring& text) {
  std::size_t i = 0;
  while (i < text.size() && !std::iswdigit(text[i])) ++i;
  long n = 0;
  for (; i < text.size() && std::iswdigit(text[i]) && n < 100000; ++i) n = n * 10 + (text[i] - L'0');
  return int(n);
}

std::vector<CountLabel> CollectCountLabels(const cad::ObjectIdArray& ids) {
  std::vector<CountLabel> labels;
  for (cad::ObjectId id : ids) {
    cad::ObjectPtr<cad::Entity> ent(id, cad::OpenMode::ForRead);
    if (!ent) continue;
    if (auto* t = cad::cast<cad::Text>(ent.get())) {
      labels.push_back({t->textString(), t->position()});
      continue;
    }
    auto* ref = cad::cast<cad::BlockReference>(ent.get());
    if (!ref) continue;
    bool visible = false, decided = false;
    std::wstring text;
    for (cad::ObjectId a : ref->attributeIds()) {
      cad::ObjectPtr<cad::Attribute> attr(a, cad::OpenMode::ForRead);
      if (!attr) continue;
      if (!attr->isInvisible()) visible = true;
      if (!decided) {
        decided = true;
        if (!attr->isInvisible()) text = attr->textString();
      }
    }
    if (visible) {
      if (!text.empty()) labels.push_back({text, ref->position()});
      continue;
    }
    // No visible attribute: the texts drawn inside the block, read from its
    // explosion without adding them to the drawing.
    std::vector<std::unique_ptr<cad::Entity>> parts;
    if (ref->explode(parts) != cad::Status::Ok) continue;
    for (const auto& p : parts)
      if (auto* t = cad::cast<cad::Text>(p.get())) labels.push_back({t->textString(), t->position()});
  }
  return labels;
}

bool FindWireCountText(const std::vector<CountLabel>& labels, std::wstring* text, const Point3d& start,
                       const Point3d& end) {
  double best = 1000.0;
  const Point3d a(start.x, start.y, 0), b(end.x, end.y, 0);
  for (auto it = labels.rbegin(); it != labels.rend(); ++it) {
    const Point3d p(it->position.x, it->position.y, 0);
    Point3d foot;
    const double d = GetPerpFootOnSegment(p, a, b, 0, foot);
    if (d < 0 || !IsNearSegment(foot, a, b, 0, 1.0) || !(d < 500.0) || !(d < best)) continue;
    *text = it->text;
    best = d;
  }
  return best < 500.0;
}

void CPipeLineConv::OnConvert() {
  if (ui::Wnd* frame = ui::mainFrame()) frame->EnableWindow(true);
  for (int r = rowList.GetItemCount() - 1; r >= 0; --r) {
    const cad::ObjectIdArray* ids = rowList.rowIds(r);
    if (!ids || ids->size() < 3) DeleteConvRow(&rowList, r);
  }
  int range = 0;
  for (int r = 0; r < rowList.GetItemCount(); ++r) range += int(rowList.rowIds(r)->size());
  cad::ObjectIdArray annotations;
  if (g_pipeLineSelDlg && g_pipeLineSelDlg->m_hWnd)
    for (const auto& ids : g_pipeLineSelDlg->itemIds(false)) annotations.insert(annotations.end(), ids.begin(), ids.end());
  const std::vector<CountLabel> labels = CollectCountLabels(annotations);

  const std::unordered_set<cad::ObjectId> primaries(g_devicePrimaryIds.begin(), g_devicePrimaryIds.end());
  const std::unordered_set<cad::ObjectId> pieces(g_circuitPieceIds.begin(), g_circuitPieceIds.end());
  std::unordered_set<cad::ObjectId> made;
  std::unordered_set<std::wstring> badLabels;
  std::vector<int> converted;
  ed::setStatusBarProgressMeter(L"转换", 0, range);
  RowWalker::progress = 0;
  for (int r = rowList.GetItemCount() - 1; r >= 0; --r) {
    RowInfo info;
    if (!parseRow(rowList, r, info)) {
      ed::print(L"\n请设置回路%ls的管线信息", rowList.GetItemText(r, kColNo).c_str());
      continue;
    }
    converted.push_back(r);
    RowWalker walker(info, labels, g_circuitShift, made, badLabels);
    walker.walk(*rowList.rowIds(r), primaries, pieces);
  }
  ed::restoreStatusBar();
  StringArray types;
  ExpandGjCategories(L"管线", types);
  for (const auto& t : types) {
    StringArray layers;
    ReadGjLibraryField(layers, t, L"图层");
    for (const auto& l : layers) SetLayerOff(l, false, nullptr);
  }
  for (const auto& text : badLabels)
    ed::print(L"\n根数标注\"%ls\"不是导线根数，该处按回路的导线根数计", text.c_str());
  const int erased = RemoveContainedRuns(made);
  ed::print(L"\n生成%d段导线·导管", int(made.size()) - erased);
  ed::printText(L"\n转换结束\n");
  if (int(converted.size()) == rowList.GetItemCount()) {
    DeleteAllConvRows(&rowList);
    UpdateConvertButton();
    OnOK();
    return;
  }
  for (int r : converted) DeleteConvRow(&rowList, r);  // highest index first
  UpdateConvertButton();
  if (ui::Wnd* frame = ui::mainFrame()) frame->EnableWindow(false);
  EnableWindow(true);
  ed::printText(L"\n转换了部分回路，可继续转换其它回路！\n");
}
