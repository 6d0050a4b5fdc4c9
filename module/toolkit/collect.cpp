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

// Whether the component number of an entity already open is one of the
// list: the first line of its "编号" group, read as the xdata line readers
// read it (lines joined, white space around the whole trimmed), without
// opening the entity again, copying its extended data or reading its other
// groups. value is room the caller reuses from entity to entity.
bool numberIn(const cad::Entity& ent, const StringList& numbers, std::wstring& value) {
  const auto group = ent.xDataView(kXdataNumber);
  if (group.empty()) return false;
  value.clear();
  const std::wstring_view marker = kXdataContinuation;
  for (size_t i = 1; i < group.size(); ++i) {
    const cad::TypedValue& v = group[i];
    if (v.code != cad::xd::kString && v.code != cad::xd::kHandle) continue;
    const std::wstring_view text = v.view();
    if (text.ends_with(marker)) {
      value.append(text.substr(0, text.size() - marker.size()));
    } else {
      value += text;
      value += L"\r\n";
    }
  }
  // The first of the value's lines once white space around it is gone.
  std::wstring_view number = TrimWhiteView(value);
  number = number.substr(0, number.find(L"\r\n"));
  return !number.empty() && std::find(numbers.begin(), numbers.end(), number) != numbers.end();
}

// A window-message watch registered while a pick waits.
class PickWatch {
 public:
  PickWatch() { ed::registerWatchWinMsg(&WatchEntSelKeys); }
  ~PickWatch() { ed::removeWatchWinMsg(&WatchEntSelKeys); }
  PickWatch(const PickWatch&) = delete;
  PickWatch& operator=(const PickWatch&) = delete;
};

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

  // One pass over model space's own list, without copying it: an erased
  // entity refuses the open, so the list need not be filtered first.
  const cad::ObjectIdArray& all = space->entitiesMutable();
  // Without a filter every live entity is taken: room for exactly those at
  // once. A filtered call reserves nothing: it takes few of them.
  if (!byLayer && !byNumber) ids.reserve(ids.size() + all.size());
  std::wstring value;
  for (cad::ObjectId id : all) {
    cad::ObjectPtr<cad::Entity> ent(id, cad::OpenMode::ForRead);
    if (!ent) continue;
    if (byLayer && !layerIds.count(ent->layerId())) continue;
    if (byNumber && !numberIn(*ent, numberList, value)) continue;
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
  std::wstring value;
  if (ed::ssLength(ss, n) == ed::kNormal) {
    for (std::int32_t i = 0; i < n; ++i) {
      cad::ObjectId id;
      if (ed::ssName(ss, i, id) != ed::kNormal || id.isNull()) continue;
      if (!numbers.empty()) {
        cad::ObjectPtr<cad::Entity> ent(id, cad::OpenMode::ForRead);
        if (!ent || !numberIn(*ent, numberList, value)) continue;
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
    cad::ObjectId picked;
    geom::Point3d pickPoint;
    int r;
    {
      PickWatch watch;
      r = ed::entSel(prompt, picked, pickPoint);
    }

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
