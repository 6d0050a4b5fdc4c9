// Component special data and the primary stamp.
#include "module/model/special_data.h"

#include <cstdio>
#include <cwchar>

#include "module/toolkit/layers.h"
#include "module/toolkit/strings.h"
#include "module/toolkit/xdata.h"
#include "platform/cad/database.h"

namespace {

constexpr const wchar_t* kKindKey = L"类型";
constexpr const wchar_t* kStartElevKey = L"起点标高";
constexpr const wchar_t* kEndElevKey = L"终点标高";
constexpr const wchar_t* kElevKey = L"标高";
constexpr const wchar_t* kRotationKey = L"旋转";

// A stored number: the leading number of the text, 0 when there is none.
double readNumber(const std::wstring& text) {
  if (text.empty()) return 0.0;
  return std::wcstod(text.c_str(), nullptr);
}

// Clears the object for a primary stamp: every application but the host's
// own goes, "构件" too (they describe the number the entity had, and would
// override the parameters of the number it is stamped for; callers that
// recreate a component from itself carry them over to the new entity).
// Then adds to the chain "编号" = [number] and "属性" = [own handle, "主键"].
bool stampPrimary(cad::DbObject* obj, const std::wstring& number, cad::ValueChain& chain) {
  const std::wstring handle = obj->handle().text();
  if (handle.empty()) return false;
  ClearXdata(obj, L"");
  ClearXdata(obj, kXdataExternalGj);
  StringArray num{number}, attrs{handle, kGjPrimaryMark};
  AppendXdataGroup(chain, kXdataNumber, num, obj->database());
  AppendXdataGroup(chain, kXdataAttrs, attrs, obj->database());
  return true;
}

// Writes the chain's groups, the special data being replaced by the items,
// in one write: the object takes all of them or none.
bool writeSpecial(cad::DbObject* obj, cad::ValueChain& chain, StringArray items) {
  ClearXdata(obj, kXdataSpecial);
  AppendXdataGroup(chain, kXdataSpecial, items, obj->database());
  return obj->setXData(chain) == cad::Status::Ok;
}

}  // namespace

bool SetGjSpecial(const std::wstring* number, const std::wstring* kind, cad::ObjectId id,
                  const double* startElev, const double* endElev) {
  if (id.isNull()) return false;
  // Opened once for write: an entity that cannot be is neither stripped nor
  // stamped.
  cad::ObjectPtr<cad::DbObject> obj(id, cad::OpenMode::ForWrite);
  if (!obj) return false;
  StringArray stored;
  GetXdataLines(obj.get(), kXdataSpecial, stored);
  cad::ValueChain chain;
  chain.reserve(12);  // the three groups of a component's usual data
  if (number && !stampPrimary(obj.get(), *number, chain)) return false;

  const std::wstring k = kind ? *kind : GetAttrValue(stored, kKindKey);
  const double z1 = startElev ? *startElev : RoundTo(readNumber(GetAttrValue(stored, kStartElevKey)), 1);
  const double z2 = endElev ? *endElev : RoundTo(readNumber(GetAttrValue(stored, kEndElevKey)), 1);
  StringArray items{std::wstring(kKindKey) + L"=" + k,
                    std::wstring(kStartElevKey) + L"=" + FormatNumber(z1, 1),
                    std::wstring(kEndElevKey) + L"=" + FormatNumber(z2, 1)};
  return writeSpecial(obj.get(), chain, std::move(items));
}

void GetGjSpecial(cad::ObjectId id, std::wstring* kind, double* startElev, double* endElev) {
  StringArray stored;
  GetXdataLines(id, kXdataSpecial, stored);
  if (kind) *kind = GetAttrValue(stored, kKindKey);
  if (startElev) *startElev = readNumber(GetAttrValue(stored, kStartElevKey));
  if (endElev) *endElev = readNumber(GetAttrValue(stored, kEndElevKey));
}

bool GetGjEndPoints3d(cad::ObjectId id, geom::Point3d& start, geom::Point3d& end) {
  // Read access is enough to take the ends, so a segment on a locked layer
  // still gives its points.
  {
    cad::ObjectPtr<cad::Entity> ent(id, cad::OpenMode::ForRead);
    if (!ent) return false;
    if (auto* pl = cad::cast<cad::Polyline>(ent.get())) {
      if (pl->numVerts() == 0) return false;
      start = pl->startPoint();
      end = pl->endPoint();
    } else if (auto* ref = cad::cast<cad::BlockReference>(ent.get())) {
      start = end = ref->position();
    } else {
      return false;
    }
  }
  std::wstring kind;
  double z1 = 0, z2 = 0;
  GetGjSpecial(id, &kind, &z1, &z2);
  if (kind != kGjKindSloped && kind != kGjKindRiser && kind != kGjKindThrough) return false;
  start.z = z1;
  end.z = z2;
  return true;
}

bool SetPointGjSpecial(const std::wstring* number, cad::ObjectId id, const double* elev,
                       const geom::Vector3d* rotation) {
  if (id.isNull()) return false;
  // Opened once for write: an entity that cannot be is neither stripped nor
  // stamped.
  cad::ObjectPtr<cad::DbObject> obj(id, cad::OpenMode::ForWrite);
  if (!obj) return false;
  StringArray stored;
  GetXdataLines(obj.get(), kXdataSpecial, stored);
  cad::ValueChain chain;
  chain.reserve(12);  // the three groups of a component's usual data
  if (number && !stampPrimary(obj.get(), *number, chain)) return false;

  const double z = elev ? *elev : RoundTo(readNumber(GetAttrValue(stored, kElevKey)), 1);
  std::wstring rotText;
  if (rotation) {
    wchar_t buf[128];
    std::swprintf(buf, sizeof buf / sizeof buf[0], L"%f,%f,%f", RoundTo(rotation->x, 1),
                  RoundTo(rotation->y, 1), RoundTo(rotation->z, 1));
    rotText = buf;
  } else {
    rotText = GetAttrValue(stored, kRotationKey);
  }
  StringArray items{std::wstring(kKindKey) + L"=" + kGjKindPoint,
                    std::wstring(kElevKey) + L"=" + FormatNumber(z, 1),
                    std::wstring(kRotationKey) + L"=" + rotText};
  return writeSpecial(obj.get(), chain, std::move(items));
}

void GetPointGjSpecial(cad::ObjectId id, std::wstring* kind, double* elev, geom::Vector3d* rotation) {
  StringArray stored;
  GetXdataLines(id, kXdataSpecial, stored);
  if (kind) *kind = GetAttrValue(stored, kKindKey);
  if (elev) *elev = readNumber(GetAttrValue(stored, kElevKey));
  if (rotation) {
    StringArray parts;
    SplitString(GetAttrValue(stored, kRotationKey), L",", parts);
    if (parts.size() == 3) {
      rotation->x = readNumber(parts[0]);
      rotation->y = readNumber(parts[1]);
      rotation->z = readNumber(parts[2]);
    }
  }
}

bool IsPointGj(cad::ObjectId id, geom::Point3d& position) {
  {
    cad::ObjectPtr<cad::BlockReference> ref(id, cad::OpenMode::ForRead);
    if (!ref) return false;
    position = ref->position();
  }
  std::wstring kind;
  double z = 0;
  GetPointGjSpecial(id, &kind, &z, nullptr);
  if (kind != kGjKindPoint) return false;
  position.z = z;
  return true;
}

void StampGjPrimary(cad::ObjectId id, const std::wstring& number) {
  if (id.isNull()) return;
  cad::ObjectPtr<cad::DbObject> obj(id, cad::OpenMode::ForWrite);
  if (!obj) return;
  cad::ValueChain chain;
  if (stampPrimary(obj.get(), number, chain)) obj->setXData(chain);
}

void FilterPrimaryGjIds(cad::ObjectIdArray& out, const cad::ObjectIdArray& in) {
  out.clear();
  for (cad::ObjectId id : in) {
    std::wstring number;
    StringArray attrs;
    GetGjNumberAndAttrs(id, number, attrs);
    if (attrs.empty()) continue;
    const std::wstring handle = GetHandleText(id);
    if (!handle.empty() && attrs.front() == handle) out.push_back(id);
  }
}
