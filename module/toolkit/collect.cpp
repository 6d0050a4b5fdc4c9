#include "module/toolkit/collect.h"

#include <algorithm>
#include <unordered_set>

#include "module/toolkit/entities.h"
#include "module/toolkit/layers.h"
#include "module/toolkit/strings.h"
#include "module/toolkit/xdata.h"
#include "platform/editor/selection.h"

int g_entSelWatchFlag = 0;

namespace {

// The collected array grows in steps of this many ids, so that a walk over a
// large model space does not reallocate entry by entry.
constexpr size_t kCollectStep = 100000;

bool contains(const StringList& list, const std::wstring& s) {
  return std::find(list.begin(), list.end(), s) != list.end();
}

// The ids of the layers whose names equal one of the list's names exactly
// (the layer table itself looks names up without regard to case).
std::unordered_set<cad::ObjectId> layerIdsOf(const StringList& names, cad::Database* db) {
  std::unordered_set<cad::ObjectId> out;
  cad::ObjectPtr<cad::LayerTable> table(db->layerTableId(), cad::OpenMode::ForRead);
  if (!table) return out;
  for (cad::ObjectId rid : table->recordIds()) {
    cad::ObjectPtr<cad::LayerRecord> rec(rid, cad::OpenMode::ForRead);
    if (rec && contains(names, rec->name())) out.insert(rid);
  }
  return out;
}

std::wstring gjNumber(cad::ObjectId id) {
  StringArray lines;
  GetXdataLines(id, kXdataNumber, lines);
  return lines.empty() ? std::wstring() : lines.front();
}

}  // namespace

void CollectIdsByLayerAndNumber(const std::wstring& layers, const std::wstring& numbers,
                                cad::ObjectIdArray& ids, cad::Database* db) {
  StringList layerList, numberList;
  SplitToList(layers, L",", layerList);
  SplitToList(numbers, L",", numberList);
  if (!db) db = cad::workingDatabase();
  if (!db) return;
  cad::ObjectPtr<cad::BlockTable> table(db->blockTableId(), cad::OpenMode::ForRead);
  if (!table) return;
  cad::ObjectPtr<cad::BlockRecord> space(table->getAt(cad::kModelSpace), cad::OpenMode::ForRead);
  if (!space) return;

  const bool byLayer = !layers.empty();
  const bool byNumber = !numbers.empty();
  std::unordered_set<cad::ObjectId> layerIds;
  if (byLayer) layerIds = layerIdsOf(layerList, db);

  ids.reserve(ids.size() + kCollectStep);
  for (cad::ObjectId id : space->entityIds(true)) {
    bool hasNumberApp = false;
    {
      cad::ObjectPtr<cad::Entity> ent(id, cad::OpenMode::ForRead);
      if (!ent) continue;
      if (byLayer && !layerIds.count(ent->layerId())) continue;
      if (byNumber) hasNumberApp = !ent->xData(kXdataNumber).empty();
    }
    if (byNumber) {
      if (!hasNumberApp) continue;
      std::wstring number = gjNumber(id);
      if (number.empty() || !contains(numberList, number)) continue;
    }
    if (ids.size() == ids.capacity()) ids.reserve(ids.size() + kCollectStep);
    ids.push_back(id);
  }
}

void SelectIdsByLayerAndNumber(const std::wstring& layers, const std::wstring& numbers,
                               cad::ObjectIdArray& ids) {
  ids.clear();
  StringList numberList;
  SplitToList(numbers, L",", numberList);
  ed::SelFilter filter{cad::TypedValue(8, layers)};
  ed::SelSet ss = 0;
  if (ed::ssGet(L"X", {}, filter, ss) != ed::kNormal) return;
  std::int32_t n = 0;
  if (ed::ssLength(ss, n) == ed::kNormal) {
    for (std::int32_t i = 0; i < n; ++i) {
      cad::ObjectId id;
      if (ed::ssName(ss, i, id) != ed::kNormal || id.isNull()) continue;
      if (!numbers.empty()) {
        std::wstring number = gjNumber(id);
        if (number.empty() || !contains(numberList, number)) continue;
      }
      ids.push_back(id);
    }
  }
  ed::ssFree(ss);
}

void WatchEntSelKeys(const ed::Msg* msg) {
  if (!msg) return;
  if ((msg->message == ed::kWmChar && (msg->wParam == 13 || msg->wParam == 32)) ||
      msg->message == ed::kWmRButtonDown) {
    g_entSelWatchFlag = 1;
  } else if (msg->message == ed::kWmKeyDown && msg->wParam == ed::kVkShift) {
    g_entSelWatchFlag = 2;
  } else if (msg->message == ed::kWmKeyUp && msg->wParam == ed::kVkShift) {
    g_entSelWatchFlag = 0;
  }
}

bool PickGjEntities(const std::wstring& layersIn, cad::ObjectIdArray& ids, double point[3],
                    const std::wstring& promptIn) {
  ids.clear();
  const std::wstring prompt = promptIn.empty() ? L"\n选择对象:" : promptIn;

  std::wstring layers = layersIn;
  if (layers.empty()) {
    StringArray all, usable;
    GetLayerNames(all, nullptr);
    for (const auto& name : all) {
      bool off = false, locked = false;
      if (GetLayerFlags(name, &off, nullptr, &locked, nullptr) && !off && !locked) usable.push_back(name);
    }
    JoinArray(usable, L",", layers);
  }
  cad::ObjectIdArray candidates;
  CollectIdsByLayerAndNumber(layers, L"", candidates, nullptr);

  for (;;) {
    g_entSelWatchFlag = 0;
    ed::registerWatchWinMsg(&WatchEntSelKeys);
    cad::ObjectId picked;
    geom::Point3d pickPoint;
    int r = ed::entSel(prompt, picked, pickPoint);
    ed::removeWatchWinMsg(&WatchEntSelKeys);

    if (r == ed::kCancel) return false;
    if (r != ed::kNormal) {
      if (g_entSelWatchFlag == 1) return false;
      // A miss asks again, also under Shift: no entity was picked this time,
      // so there is nothing to take.
      continue;
    }
    if (picked.isNull()) continue;

    std::wstring number;
    StringArray attrs;
    GetGjNumberAndAttrs(picked, number, attrs);
    if (attrs.empty()) continue;  // not a component

    for (cad::ObjectId c : candidates) {
      std::wstring cNumber;
      StringArray cAttrs;
      GetGjNumberAndAttrs(c, cNumber, cAttrs);
      if (cAttrs.empty() || cNumber != number || cAttrs.front() != attrs.front()) continue;
      if (std::find(ids.begin(), ids.end(), c) == ids.end()) ids.push_back(c);
    }
    point[0] = pickPoint.x;
    point[1] = pickPoint.y;
    point[2] = pickPoint.z;
    HighlightEntities(ids, 1);
    if (!ids.empty()) return true;
  }
}
