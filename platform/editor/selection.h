// Entity picks and selection sets.
//
// Selection works on the current document's model space, in plan, in
// model-space order; entities that are invisible or on layers that are off
// or frozen are never selected (a pick by handle still finds them).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/cad/ids.h"
#include "platform/cad/values.h"
#include "platform/editor/status.h"
#include "platform/geom/geom.h"

namespace ed {

// ---------------------------------------------------------------------------
// Entity picks
// ---------------------------------------------------------------------------

// Asks for one entity. A pick token (by handle, or by point: the entity under
// the point, nearest within the aperture) gives kNormal with the id and the
// pick point. A pick or point that hits nothing gives kError ("未选择对象。"),
// and so do Enter, Space and a right click (after their window messages went
// to the filters and watches); Escape gives kCancel; a keyword of the last
// initGet gives kKeyword.
int entSel(const std::wstring& prompt, cad::ObjectId& id, geom::Point3d& pickPoint);

// Like entSel, but finds the innermost entity: when the pick hits a block
// reference, the entity inside the block under the point, with the
// reference's transform and the chain of containers (innermost first).
int nEntSelP(const std::wstring& prompt, cad::ObjectId& id, geom::Point3d& pickPoint,
             geom::Matrix3d& xform, std::vector<cad::ObjectId>& containers);

// The entity under a point (nearest within the aperture), or null. Only
// selectable entities count.
cad::ObjectId entityAt(const geom::Point3d& p, double aperture);
// Every selectable entity within the aperture of p, in model-space order.
std::vector<cad::ObjectId> entitiesNear(const geom::Point3d& p, double aperture);
// The last entity appended to model space (null when none).
cad::ObjectId entLast();
// The entity of a handle text in the current drawing (null when none).
cad::ObjectId idFromHandle(const std::wstring& handleText);

// ---------------------------------------------------------------------------
// Selection sets
// ---------------------------------------------------------------------------

// A selection set's name. 0 is no set.
using SelSet = std::int64_t;

// Selection filters are chains of typed values: 0 entity type ("LINE",
// "LWPOLYLINE", "TEXT", "INSERT", ... with wildcards), 8 layer, 62 colour
// index (256 ByLayer, 0 ByBlock), 1001 an application with extended data,
// 2 block name of a reference, and the logical groups -4 "<OR" ... "OR>",
// "<AND" ... "AND>", "<NOT" ... "NOT>", "<XOR" ... "XOR>". Strings use the
// wildcards of matchWildcard. Items outside groups are joined by AND.
using SelFilter = std::vector<cad::TypedValue>;

// Builds a selection set:
//   L""    interactive: reads tokens until Enter: picks, windows (.window),
//          crossings (.crossing), points (two make a window, or a crossing
//          when drawn right to left), "R"/"A" to remove/add, "W"/"C"/"CP"/
//          "WP"/"L"/"P"/"ALL" options; Escape cancels.
//   L"W"   window p1..p2; L"C" crossing p1..p2;
//   L"WP"  inside the polygon points; L"CP" inside or crossing it;
//   L"X"   every entity of model space (and paper space) passing the filter;
//   L"L"   the last entity; L"P" the previous selection; L"I" the pickfirst set;
//   L":S"  (or L":S:$") one interactive pick or window, then returns.
// Returns kNormal, kError when nothing was selected (no set is made),
// kCancel on Escape.
int ssGet(const std::wstring& mode, const std::vector<geom::Point3d>& points,
          const SelFilter& filter, SelSet& out);
// What a window (crossing false) or crossing (true) selection of the
// rectangle of the two corners with the filter would select among the
// candidates, by the same tests as ssGet ("W" / "C"): the candidates that are
// selectable entities of the current drawing's model space, in the
// candidates' order. Makes no set. For callers that narrow the candidates
// with a spatial index of their own instead of scanning the drawing.
std::vector<cad::ObjectId> selectAmong(const std::vector<cad::ObjectId>& candidates, bool crossing,
                                       const geom::Point3d& corner1, const geom::Point3d& corner2,
                                       const SelFilter& filter);
// The interactive forms with the prompts for adding and removing.
int ssGetWithPrompts(const std::wstring& mode, const std::wstring& addPrompt,
                     const std::wstring& removePrompt, const SelFilter& filter, SelSet& out);

// Makes a set of the given ids (ignoring null and repeated ids).
SelSet ssFromIds(const std::vector<cad::ObjectId>& ids);
// Adds id to set (when set is 0, a new set is made; when id is null, an
// empty set). kNormal or kError.
int ssAdd(cad::ObjectId id, SelSet set, SelSet& out);
int ssDel(cad::ObjectId id, SelSet set);
int ssLength(SelSet set, std::int32_t& length);
int ssName(SelSet set, std::int32_t index, cad::ObjectId& id);
bool ssMember(SelSet set, cad::ObjectId id);
std::vector<cad::ObjectId> ssIds(SelSet set);
int ssFree(SelSet set);
// Live selection sets (the host allows about 128 at once; ssGet fails
// beyond kMaxSelectionSets).
int liveSelectionSetCount();
constexpr int kMaxSelectionSets = 128;
// The pickfirst set: set (or 0 to clear) and read it.
int ssSetFirst(SelSet set, SelSet gripSet = 0);
int ssGetFirst(SelSet& out);
std::vector<cad::ObjectId> pickfirstIds();
// The previous selection (what "P" selects).
std::vector<cad::ObjectId> previousSelection();

// Matches text against a host wildcard pattern without regard to case:
//   *  any run of characters      ?  any one character
//   #  one digit                  @  one letter
//   .  one character that is neither letter nor digit
//   ~  (first) not the pattern    [..] one of the characters, [~..] none of them,
//   a-z ranges inside brackets    `  takes the next character literally
//   ,  separates alternatives
bool matchWildcard(const std::wstring& pattern, const std::wstring& text);

// True when the entity passes the filter.
bool entityMatchesFilter(cad::ObjectId id, const SelFilter& filter);

// Resets all selection sets and the pickfirst set (tests).
void resetSelection();

}  // namespace ed
