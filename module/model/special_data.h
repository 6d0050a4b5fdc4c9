// Component special data and the primary stamp.
//
// Every component entity carries, beside its number and attribute lines, the
// application "特殊" (kXdataSpecial):
// - a linear segment: "类型=" kind ("斜管" drawn as a polyline, "立管" a
//   vertical segment drawn as a block reference, "贯通管" a pipe through
//   several floors), "起点标高=" and "终点标高=" with one decimal;
// - a point component: "类型=点构件", "标高=" with one decimal and "旋转="
//   the rotation vector written "%f,%f,%f", each component first rounded to
//   one decimal.
// Elevations live only there (millimetres within the floor): the entities
// themselves are drawn flat in plan.
//
// The primary entity of a component is the one whose first "属性" item is
// its own handle text; its "属性" starts with [own handle, "主键"].
// Decorations and copies carry another entity's handle first.
//
// Optional arguments are pointers: null keeps the value stored on the entity.
#pragma once

#include <string>

#include "module/toolkit/vocabulary.h"
#include "platform/cad/ids.h"
#include "platform/geom/geom.h"

// Kinds of the special data.
// The second item of a primary entity's "属性".
inline constexpr const wchar_t* kGjPrimaryMark = L"主键";

// Writes the linear form. With a number the entity is first stripped of
// every application but those containing "ACAD" and stamped as primary
// entity of that number. The kind and elevations not given are kept from the
// stored data. False for a null id or when the entity cannot be written.
bool SetGjSpecial(const std::wstring* number, const std::wstring* kind, cad::ObjectId id,
                  const double* startElev, const double* endElev);
// Reads the linear form: an empty kind and zero elevations when absent.
// Null outputs are not written.
void GetGjSpecial(cad::ObjectId id, std::wstring* kind, double* startElev, double* endElev);
// The plan ends of a polyline (start and end) or a riser block reference
// (both its insertion point), with z set to the stored elevations. True for
// the kinds 斜管, 立管 and 贯通管; otherwise false, the plan points written
// all the same when the entity is one of the two kinds of entity.
bool GetGjEndPoints3d(cad::ObjectId id, geom::Point3d& start, geom::Point3d& end);

// Writes the point form ("类型=点构件" always); like SetGjSpecial otherwise.
// An absent rotation keeps the stored rotation text exactly.
bool SetPointGjSpecial(const std::wstring* number, cad::ObjectId id, const double* elev,
                       const geom::Vector3d* rotation);
// Reads the point form. The rotation is written only when the stored text
// has exactly three comma-separated parts.
void GetPointGjSpecial(cad::ObjectId id, std::wstring* kind, double* elev, geom::Vector3d* rotation);
// A block reference whose kind is "点构件": true with its insertion point at
// the stored elevation.
bool IsPointGj(cad::ObjectId id, geom::Point3d& position);

// Strips every application but those containing "ACAD", then writes "编号" =
// [number] and "属性" = [own handle, "主键"]. Nothing for a null id.
void StampGjPrimary(cad::ObjectId id, const std::wstring& number);
// out = the ids of in (in order) that are primary entities; entities that
// cannot be read are left out.
void FilterPrimaryGjIds(cad::ObjectIdArray& out, const cad::ObjectIdArray& in);
