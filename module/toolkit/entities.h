// Making and editing whole drawing entities: lines, segment curves, bulge
// polylines, texts, block references and solid hatches appended to model
// space on a named layer; erase, move, rotate and highlight; id arrays to
// selection sets and back.
//
// - A point list is a std::vector of 3D points; a bulge list a std::vector of
//   doubles, bulge i belonging to the segment from point i to point i + 1
//   (tan of a quarter of its included angle, positive counter-clockwise in
//   plan). A bulge list may be shorter than its point list: missing bulges
//   are 0.
// - Polylines made here lie in the plane z = 0 (x and y of the points).
// - A database argument may be null, meaning the working database.
// - Every function opens and closes what it needs, except AppendToModelSpace,
//   which leaves the appended entity open for its caller.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "module/toolkit/strings.h"
#include "platform/cad/database.h"
#include "platform/editor/selection.h"

using PointList = std::vector<geom::Point3d>;
using BulgeList = std::vector<double>;

// The width value that leaves polyline vertex widths at their default.
constexpr double kDefaultWidth = -1.0;
// The one message of this toolkit part: a hatch whose loop was refused.
inline constexpr const wchar_t* kHatchFailedMessage = L"\n创建Hatch失败\n";

// ---------------------------------------------------------------------------
// Creation
// ---------------------------------------------------------------------------

// Appends a new, non-resident entity to model space. With a non-empty layer
// name the layer comes from GetOrCreateLayer (created when missing; it
// becomes the current layer of the working drawing) and the entity is put on
// it; an empty name leaves the entity's own layer and the current layer as
// they are. The append always takes the entity over:
// - on success the entity belongs to the database and stays open for write:
//   the caller closes it;
// - on failure (no database, no model space, refused append) the entity is
//   deleted and the null id returned, so no orphan is left behind: the
//   caller must not use its pointer then.
// A null entity gives the null id.
cad::ObjectId AppendToModelSpace(cad::Entity* ent, const std::wstring& layer, cad::Database* db);
cad::ObjectId AppendToModelSpace(std::unique_ptr<cad::Entity> ent, const std::wstring& layer,
                                 cad::Database* db);

// A line from start to end, appended and closed.
cad::ObjectId AddLine(const geom::Point3d& start, const geom::Point3d& end, const std::wstring& layer,
                      cad::Database* db);

// A non-resident line for bulge 0, otherwise the arc from start to end with
// that bulge (normal +Z for a positive bulge, -Z for a negative one).
std::unique_ptr<cad::Curve> MakeSegmentCurve(const geom::Point3d& start, const geom::Point3d& end,
                                             double bulge);

// A non-resident lightweight polyline through the points (x and y) with the
// bulges and a constant width (kDefaultWidth leaves the widths alone). Null
// for fewer than 2 points, and for a closed polyline whose area is below 1.
std::unique_ptr<cad::Polyline> MakePolyline(const PointList& points, const BulgeList& bulges,
                                            bool closed, double width);
// MakePolyline of the two points with the bulges [bulge, 0], open.
std::unique_ptr<cad::Polyline> MakeSegmentPolyline(const geom::Point3d& start, const geom::Point3d& end,
                                                   double bulge, double width);
// MakePolyline, appended and closed; null when MakePolyline gives none.
cad::ObjectId AddPolyline(const PointList& points, const BulgeList& bulges, bool closed, double width,
                          const std::wstring& layer, cad::Database* db);

// A single-line text in the current text style with the height, rotation
// (radians) and width factor; the justification modes are set and the
// alignment point is the position, so the text sits at the position
// whichever modes are given.
cad::ObjectId AddText(const geom::Point3d& position, const std::wstring& text, double height,
                      double rotation, double widthFactor, const std::wstring& layer, cad::Database* db,
                      int horizontalMode = cad::Text::kLeft, int verticalMode = cad::Text::kBase);

// A reference to the named block, placed, turned, scaled and with the normal.
// The layer is set by name when it exists (it is not created). Null when the
// block table has no such block; nothing is created then.
cad::ObjectId InsertBlockRef(const std::wstring& blockName, const geom::Point3d& position,
                             double rotation, const cad::Scale3d& scale, const geom::Vector3d& normal,
                             const std::wstring& layer, cad::Database* db);

// A solid, associative hatch whose one external loop is the boundary entity.
// When the loop is refused, "\n创建Hatch失败\n" goes to the command line and
// the null id is returned.
cad::ObjectId AddSolidHatch(cad::ObjectId boundary, const std::wstring& layer, cad::Database* db);

// ---------------------------------------------------------------------------
// Editing and selection
// ---------------------------------------------------------------------------

// Opens the entity for write, erases it and closes it: the status of the
// failed open, else that of the close.
cad::Status EraseEntity(cad::ObjectId id);
// EraseEntity on each id in order; entities that cannot be erased are
// skipped. Returns how many were erased.
int EraseEntities(const cad::ObjectIdArray& ids);
// Erases every model-space entity of the working drawing on the layers of the
// comma list; locked layers are unlocked for the time of the work and locked
// again. Missing layers change nothing.
void EraseLayerEntities(const std::wstring& layers);

// Rotation by the angle (radians) about the axis through the base point;
// nothing when the entity cannot be opened for write.
void RotateEntity(cad::ObjectId id, double angle, const geom::Point3d& base, const geom::Vector3d& axis);
// Translation by the offset.
void MoveEntity(cad::ObjectId id, const geom::Vector3d& offset);
// Flag 1 highlights every entity of the array, any other value removes the
// highlight; ids that cannot be opened are skipped.
void HighlightEntities(const cad::ObjectIdArray& ids, int flag);

// A new selection set holding every id of the array that names an entity
// (the caller frees it with ed::ssFree). Returns how many ids went into the
// set, so a caller can tell a partial set from a full one.
int IdsToSS(const cad::ObjectIdArray& ids, ed::SelSet& ss);
// The array is emptied; when the set's length can be read, it gets that
// length and element i is member i (the null id where a member cannot be
// converted). An invalid set gives an empty array.
void SSToIds(ed::SelSet ss, cad::ObjectIdArray& ids);
