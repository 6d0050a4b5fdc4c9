// Floor-heating coils (地暖盘管): point components with a figure of their own.
//
// A coil is a block reference on the layer of its component name carrying
// the component data, its elevation in "特殊" and its area in "地暖":
// "起点=" and "终点=" the two corners ("%f,%f,%f", each coordinate rounded
// to one decimal first). A coil laid along a drawn path also keeps the path
// there ("路径=" x,y:bulge pieces joined by "|"), so that a rebuild redraws it
// along the path instead of as a spiral between its corners. The figure (on
// name + "边线") and the number label (on name + "名") are decorations tagged
// with the coil's number and handle.
//
// Coil blocks are named after the component name and the number (see
// CoilBlockName), so that a coil never shows the figure another kind of
// component draws into a block named after the bare number.
#pragma once

#include <string>

#include "module/toolkit/entities.h"
#include "platform/cad/ids.h"
#include "platform/geom/geom.h"

inline constexpr const wchar_t* kCoilType = L"地暖盘管";
// Space between neighbouring turns of the rectangular spiral.
constexpr double kCoilSpacing = 100.0;

// The block of a coil number: name + "_" + number, with the characters a
// block name may not hold written "·".
std::wstring CoilBlockName(const std::wstring& name, const std::wstring& number);

// The vertices of the inward rectangular spiral of the rectangle with the
// corners a and b (first corner a, first side along x), 100 between turns.
// A pass stops where a side would have no length left, so the spiral never
// leaves its rectangle.
PointList CoilSpiralVertices(const geom::Point3d& a, const geom::Point3d& b);

// The engine of Coil: rectangles dragged out one after the other, each
// filled with a spiral at the elevation of the host's elevation window.
void LayCoilGj();
// The engine of LineToCoil: the picked line or polyline and the chain of
// lines and polylines touching its ends become one coil along the chain.
void LineToCoilGj();

// Draws the spiral and the label of one coil. While the overlap check is on
// (laying), a coil that repeats another is erased (id becomes null) and
// nothing is drawn; the rebuild holds the check off.
void DrawCoilGj(cad::ObjectId& id, const std::wstring& name, const geom::Point3d& a, const geom::Point3d& b);
// Draws the figure along the path (bulge i from vertex i to i + 1) and the
// label at the middle vertex; the same duplicate rule.
void DrawCoilGjAlongPath(cad::ObjectId& id, const PointList& path, const BulgeList& bulges,
                         const std::wstring& name);

// The curve touching the point besides curve: on entry curve ends at the
// point; true when exactly two entities lie within 0.1 of it, curve then
// naming the other one (null when that is neither a line nor a lightweight
// polyline). Otherwise says "\n搜索实体太多或者只有本身实体!" and answers
// false.
bool FindTouchingCurves(const geom::Point3d& point, cad::ObjectId& curve);

// Redraws the figure and label of every coil of the name (and number; empty:
// every number) from its area data, or exactly the listed entities. The old
// figures and labels go. A coil whose area data cannot be read keeps its old
// figure, and the command line says so.
void RebuildCoilGj(const std::wstring& name, const std::wstring& number, const cad::ObjectIdArray& ids);
