// The calculator skeleton shared by the calculators and the run length of
// linear runs (pipes, conduits, trays, busways, grooves, earthing and
// lightning conductors, HVAC water pipes).
#pragma once

#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

#include "module/takeoff/formula_eval.h"
#include "module/takeoff/quantity_table.h"
#include "module/toolkit/bulge.h"
#include "module/toolkit/strings.h"
#include "platform/cad/database.h"

// A run's length in millimetres: 斜管 the 3D length from the plan outline and
// the two elevations, 立管 and 贯通管 the elevation difference.
double LinearRunLength(const std::wstring& type, double planLength, double startElev, double endElev);

// A component entity's data, read once per entity as the xdata line readers
// read it: its number (first line of "编号"), the first of its attribute
// lines ("属性"; on a primary entity its own handle) and their count, the
// type and elevations of its special lines ("特殊"), and its own parameter
// lines ("构件"); whether it opened, and whether it is a block reference
// (with its insertion point).
struct GjData {
  cad::ObjectId id;
  bool readable = false;
  bool block = false;
  geom::Point3d position;
  std::wstring number;
  std::wstring handle;
  size_t attrCount = 0;
  std::wstring type;                  // 类型
  double startElev = 0, endElev = 0;  // 起点标高, 终点标高 (0 when missing)
  double elev = 0;                    // 标高 of a point component
  StringArray own;
  // Its outline in the vertex lists of the kind's entities.
  size_t firstVertex = 0, vertexCount = 0;
};
void ReadGjData(cad::ObjectId id, GjData& out);
// The same of an entity already open (null: one that did not open); out.id
// is left as it is.
void ReadGjDataOpen(const cad::Entity* ent, GjData& out);

// The entities of a kind that a calculator measures, each read once with its
// outline (the outlines one after another in two lists).
struct KindEntities {
  std::vector<GjData> data;
  PointList points;
  BulgeList bulges;
  void outlineOf(const GjData& gj, PointList& vertices, BulgeList& vertexBulges) const;
};

// One measured entity as the skeleton hands it to a calculator's quantity.
struct MeasuredGj {
  const GjData* data = nullptr;
  PointList vertices;
  BulgeList bulges;
};

// The run length in millimetres of a measured run (its special type and
// elevations with its plan outline; for a region's stand-in of a cut run,
// the length of the run's parts in that region).
double MeasuredRunLength(const MeasuredGj& gj);
// 斜管, 立管 or 贯通管.
bool IsRunType(const std::wstring& type);

// The quantity of one entity: its value name and text, and for conductors
// the texts with the reserves of norm and bill items.
struct GjQuantity {
  std::wstring name, text, normText, billText;
};
using GjQuantityFn = std::function<void(const MeasuredGj& gj, GjQuantity& q)>;
// The value name and text one calculation item sees for an entity; without
// it every item sees the entity's name and text.
using GjItemValueFn =
    std::function<void(const CalcItemParts& item, const GjQuantity& q, std::wstring& name, std::wstring& text)>;
// Which entities of the kind's list the calculator measures.
using GjFilterFn = std::function<bool(const GjData& gj)>;

// The record loop: finds the kind's records in the floor table, marks the
// kind done, measures the filtered entities of the kind's list per record
// number and appends one row per record (see the take-off's calculators).
void RunCalculatorSkeleton(StringArray& doneKinds, const std::wstring& kind, const GjFilterFn& filter,
                           const GjQuantityFn& quantity, const GjItemValueFn& itemValue = nullptr);

// The parts of a calculator pass shared by the record loops.
// The kind's records and its filtered entities, each read once; false when
// there is nothing to compute (the kind is marked done all the same).
bool CollectKindEntities(StringArray& doneKinds, const std::wstring& kind, const GjFilterFn& filter,
                         std::vector<int>& records, KindEntities& entities);
// The calculation items of the current record, taken apart (in the 3D
// window's mode only those holding its filter text).
void RecordCalcParts(const std::wstring& kind, std::vector<CalcItemParts>& parts);
// The same for the records of one kind, taken apart once per 定额 text: the
// records of a kind mostly share theirs.
class RecordCalcItems {
 public:
  explicit RecordCalcItems(const std::wstring& kind) : kind_(kind) {}
  const std::vector<CalcItemParts>& ofCurrentRecord();

 private:
  std::wstring kind_;
  std::unordered_map<std::wstring, std::vector<CalcItemParts>> byNormText_;
};
// The value lists of the current record: the head and the quantity (empty,
// set per entity), then the record's parameters (each cut at its first ":").
void RecordValueLists(StringArray& names, StringArray& values);
// Evaluates every item with the head and the quantity's name and text into
// the row's lines. names and values are the record's value lists.
void EvaluateItemsFor(const std::vector<CalcItemParts>& parts, const std::wstring& head, const GjQuantity& q,
                      const GjItemValueFn& itemValue, StringArray& names, StringArray& values,
                      QuantityLines& lines);
// True when the entity opened as a block reference (or could not be opened:
// such an entity matches no record later).
bool IsBlockReferenceOrUnreadable(const GjData& gj);
// The parameter lines of the floor table's first record of the kind with the
// number (values cut at their first ":").
void FloorGjParamLines(const std::wstring& kind, const std::wstring& number, StringArray& lines);

// The perimeter in millimetres of a duct's section outline text (points with
// bulges, "|" between them; the first line counts), closed when its last
// point is not its first; 0 for an outline of fewer than two points.
double DuctSectionPerimeter(const std::wstring& outline);
