#include "module/toolkit/collect.h"

#include <algorithm>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

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

// The component number of an entity already open: the first line of its
// "编号" group, read as the xdata line readers read it (lines joined, white
// space around the whole trimmed), without opening the entity again, copying
// its extended data or reading its other groups. Empty when it has none.
// value is room the caller reuses from entity to entity; the answer points
// into it.
std::wstring_view numberOf(const cad::Entity& ent, std::wstring& value) {
  const auto group = ent.xDataView(kXdataNumber);
  if (group.empty()) return {};
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
  return number.substr(0, number.find(L"\r\n"));
}

// Whether the component number of an entity already open is one of the list.
bool numberIn(const cad::Entity& ent, const StringList& numbers, std::wstring& value) {
  const std::wstring_view number = numberOf(ent, value);
  return !number.empty() && std::find(numbers.begin(), numbers.end(), number) != numbers.end();
}

// Looks texts up by view without making a string of each.
struct TextHash {
  using is_transparent = void;
  size_t operator()(std::wstring_view s) const { return std::hash<std::wstring_view>()(s); }
};

// Model space's numbered entities by number, with their layers, and all its
// entities by layer, for one database, kept current from the database's
// change log: collecting a few numbers (or the entities of a few layers)
// reads the lists of those numbers (layers) and what changed since the last
// collection, not every entity of the drawing. Every way an entity changes
// (made, opened for write, erased, restored by an abort) is in the log, so
// after a refresh the index is exact but for the entities open for write,
// which it keeps aside; a collection leaves those out, as an open for read
// of them would fail.
class NumberIndex {
 public:
  // Appends the live model-space entities whose number is one of the list
  // (and whose layer is one of layerIds, when given) in model-space order.
  // False, appending nothing, when the index cannot tell that order (model
  // space's list is not in creation order): the caller walks model space.
  bool collect(cad::Database& db, const StringList& numbers, const std::unordered_set<cad::ObjectId>* layerIds,
               cad::ObjectIdArray& out) {
    refresh(db);
    if (!ordered_) return false;
    // Ids grow with creation, and model space's list runs in creation order:
    // merging the numbers' lists gives model-space order.
    const auto first = std::ptrdiff_t(out.size());
    std::unordered_set<std::wstring_view> seen;
    for (const std::wstring& n : numbers) {
      if (!seen.insert(n).second) continue;
      auto it = byNumber_.find(n);
      if (it == byNumber_.end()) continue;
      const auto middle = std::ptrdiff_t(out.size());
      for (const auto& [id, layer] : it->second)
        if ((!layerIds || layerIds->count(layer)) && !dirty_.count(id)) out.push_back(id);
      std::inplace_merge(out.begin() + first, out.begin() + middle, out.end());
    }
    return true;
  }

  // Appends the live model-space entities whose layer is one of layerIds in
  // model-space order; false, appending nothing, as collect.
  bool collectByLayer(cad::Database& db, const std::unordered_set<cad::ObjectId>& layerIds, cad::ObjectIdArray& out) {
    refresh(db);
    if (!ordered_) return false;
    const auto first = std::ptrdiff_t(out.size());
    for (cad::ObjectId layer : layerIds) {
      auto it = byLayer_.find(layer);
      if (it == byLayer_.end()) continue;
      const auto middle = std::ptrdiff_t(out.size());
      for (cad::ObjectId id : it->second)
        if (!dirty_.count(id)) out.push_back(id);
      std::inplace_merge(out.begin() + first, out.begin() + middle, out.end());
    }
    return true;
  }

 private:
  // Ordered trees rather than sorted arrays: a rebuild erases and remakes
  // entities all along a list, and taking one out of an array moves the
  // rest of it.
  using List = std::map<cad::ObjectId, cad::ObjectId>;  // id to layer, in id order

  void rebuild(cad::Database& db) {
    numberOf_.clear();
    byNumber_.clear();
    layerOf_.clear();
    byLayer_.clear();
    dirty_.clear();
    cad::ObjectPtr<cad::BlockRecord> space(db.modelSpaceId(), cad::OpenMode::ForRead);
    if (!space) {
      cursor_ = {};  // looked at from scratch next time
      ordered_ = false;
      return;
    }
    const cad::ObjectIdArray& ids = space->entitiesMutable();
    ordered_ = std::adjacent_find(ids.begin(), ids.end(), std::greater_equal<>()) == ids.end();
    if (!ordered_) return;
    numberOf_.reserve(ids.size());
    layerOf_.reserve(ids.size());
    for (cad::ObjectId id : ids) examine(id, db.modelSpaceId(), true);
  }

  void refresh(cad::Database& db) {
    std::vector<cad::ObjectId> changed;
    if (!db.changesSince(cursor_, changed)) {
      rebuild(db);
      return;
    }
    if (!ordered_) return;
    const cad::ObjectId ms = db.modelSpaceId();
    dirty_.insert(changed.begin(), changed.end());
    dirty_.erase(ms);
    if (dirty_.empty()) return;
    std::vector<cad::ObjectId> ids(dirty_.begin(), dirty_.end());
    dirty_.clear();
    for (cad::ObjectId id : ids) examine(id, ms);
  }

  // Brings the entry of a changed object up to date. One open for write may
  // change until it is closed: it stays aside and is looked at again next
  // time.
  // fresh: the id is not in the index yet.
  void examine(cad::ObjectId id, cad::ObjectId ms, bool fresh = false) {
    cad::DbObject* obj = nullptr;
    const cad::Status st = cad::openObject(obj, id, cad::OpenMode::ForRead, true);
    if (st == cad::Status::WasOpenForWrite) {
      dirty_.insert(id);
      return;
    }
    std::wstring_view number;
    cad::ObjectId layer;
    if (st == cad::Status::Ok) {
      auto* ent = dynamic_cast<cad::Entity*>(obj);
      if (ent && obj->ownerId() == ms && !obj->isErased()) {
        number = numberOf(*ent, value_);
        layer = ent->layerId();
      }
    }
    moveToLayer(id, layer, fresh);
    auto it = fresh ? numberOf_.end() : numberOf_.find(id);
    if (it != numberOf_.end()) {
      auto bucket = byNumber_.find(*it->second);
      List& list = bucket->second;
      auto at = list.find(id);
      if (*it->second == number) {
        at->second = layer;
        if (obj) obj->close();
        return;
      }
      list.erase(at);
      if (list.empty()) byNumber_.erase(bucket);
      numberOf_.erase(it);
    }
    if (!number.empty()) {
      auto bucket = byNumber_.find(number);
      if (bucket == byNumber_.end()) bucket = byNumber_.emplace(std::wstring(number), List{}).first;
      // New entities come last, so a list mostly grows at its end.
      bucket->second.emplace_hint(bucket->second.end(), id, layer);
      numberOf_.emplace(id, &bucket->first);
    }
    if (obj) obj->close();
  }

  // Files the entity under its layer (a null layer: under none).
  void moveToLayer(cad::ObjectId id, cad::ObjectId layer, bool fresh) {
    auto it = fresh ? layerOf_.end() : layerOf_.find(id);
    if (it != layerOf_.end()) {
      if (it->second == layer) return;
      auto bucket = byLayer_.find(it->second);
      bucket->second.erase(id);
      if (bucket->second.empty()) byLayer_.erase(bucket);
      layerOf_.erase(it);
    }
    if (layer.isNull()) return;
    std::set<cad::ObjectId>& list = byLayer_[layer];
    list.emplace_hint(list.end(), id);
    layerOf_.emplace(id, layer);
  }

  cad::Database::ChangeCursor cursor_;
  bool ordered_ = true;
  // Each number's entities; the number of each (the key of its list there).
  std::unordered_map<std::wstring, List, TextHash, std::equal_to<>> byNumber_;
  std::unordered_map<cad::ObjectId, const std::wstring*> numberOf_;
  // Every live entity's layer; each layer's entities in id order.
  std::unordered_map<cad::ObjectId, cad::ObjectId> layerOf_;
  std::unordered_map<cad::ObjectId, std::set<cad::ObjectId>> byLayer_;
  std::unordered_set<cad::ObjectId> dirty_;  // open for write when last looked at
  std::wstring value_;
};

NumberIndex& numberIndexOf(cad::Database& db) {
  // An index per database; a database gone leaves a stale one, which a new
  // database at the same address rebuilds (its change log is another).
  static std::unordered_map<const cad::Database*, std::unique_ptr<NumberIndex>> indexes;
  if (indexes.size() >= 8 && !indexes.count(&db)) indexes.clear();
  auto& index = indexes[&db];
  if (!index) index = std::make_unique<NumberIndex>();
  return *index;
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

  // By number, or else by layer, from the index when it can tell model-space
  // order.
  if (byNumber && numberIndexOf(*db).collect(*db, numberList, byLayer ? &layerIds : nullptr, ids)) return;
  if (!byNumber && byLayer && numberIndexOf(*db).collectByLayer(*db, layerIds, ids)) return;

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
