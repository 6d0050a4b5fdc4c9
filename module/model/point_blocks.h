// Point component blocks: lamps, switches, sockets, boxes, fixtures, valves,
// air openings, sleeves and the like are block references on the layer of
// their component name.
//
// - The definition of a point component is named "sys$" + name + "$" +
//   figure, the figure being the parameter "图形" of its number. The types of
//   g_numberedPointTypes (sleeves, compensators, manholes, distribution boxes,
//   air openings...) append "$" + number, so each number has its own
//   definition; the other types share one definition per figure.
// - The figure is drawn into the definition from the computed coordinate
//   lines of the number (g_curPointGj): one polyline per line, "线宽" giving
//   a constant width of 5 times its value when it is above 1, and "kXEQ" a
//   hatch with that pattern ("SOLID" when empty).
// - The reference lies at (x, y, 0) with the normal +Z; its scale comes from
//   the parameter "图形缩放"; its elevation lives in the special data.
// - A label (the number, height 120) sits beside the reference on the layer
//   name + "名", tagged with the number and the component's primary handle.
//
// Every drawing of a component empties its definition and draws it afresh,
// so a definition always holds exactly one copy of its figure; as the name
// follows the figure's lines, redrawing never changes another number's look.
// Within a PointFiguresDrawnOnce scope a definition is drawn at its first
// component only.
#pragma once

#include "module/model/seams.h"
#include <memory>
#include <string>
#include <unordered_set>

#include "module/toolkit/strings.h"
#include "platform/cad/database.h"
#include "platform/geom/geom.h"

// True when the point is at least 200 away (3D distance) from every point of
// the list; true for an empty list.
bool IsFarFromPoints(const geom::Point3d& point, const std::vector<geom::Point3d>& points);

// Makes the layer (current) and makes sure the working drawing has the block
// definition. Mode 0 leaves an existing definition as it is and answers 0;
// mode 1 erases every entity of an existing definition and answers 1. A
// missing definition is created empty (1). 0 too when it cannot be created.
int EnsureGjBlockDef(const std::wstring& layer, const std::wstring& blockName, int mode);

// "sys$" + name + "$" + figure, without the number suffix; an empty figure is
// the parameter "图形" of the number in g_curPointGj.
std::wstring MakePointGjBlockName(const std::wstring& name, const std::wstring& number,
                                  const std::wstring& figure);

// The full definition name of a component as loaded in g_curPointGj: the
// figure's name, then "$" + number for the numbered point types, and for the
// others "$" + the key of the number's coordinate lines, which is all the
// drawn figure depends on. So numbers that share a figure name but not its
// size (a 600 and a 300 square lamp) keep a definition each, while numbers
// with the same lines share one, and drawing one never changes the look of
// the other. Characters a block name may not hold are written "·", so that
// a number such as "AL1/2" still gets a definition of its own.
std::wstring PointGjBlockDefName(const std::wstring& name, const std::wstring& number);
// Eight hexadecimal digits that stand for a figure's coordinate text.
std::wstring FigureKey(const std::wstring& coordText);

// The scale factors of the parameter "图形缩放": "50%,200%" gives (0.5, 2, 1),
// "2" gives (2, 2, 1); anything else (absent, three parts) gives (1, 1, 1).
cad::Scale3d PointGjScaleOf(const std::wstring& text);

// Loads the point definition of the name, makes its block definition and
// appends a reference at (x, y, 0) with the rotation (radians) to model
// space on the layer name. id = the reference, or null when the definition
// is missing. The figure is drawn afterwards by RebuildPointGjFigure.
void InsertPointGjBlock(cad::ObjectId& id, const std::wstring& name, const std::wstring& number,
                        const geom::Point3d& position, double rotation);

// Draws the figure of a point component into its definition (pointing the
// reference at the definition of its own number), sets its scale and adds
// its label. The definition of the name must be loaded in g_curPointGj.
// With g_checkGjOverlap 1, a component that duplicates another is erased.
void RebuildPointGjFigure(const std::wstring& name, cad::ObjectId id);

// For its scope, RebuildPointGjFigure draws each definition at the first of
// its components and leaves it as drawn for the others. For the commands that
// make many components of one definition at once: the figure is the same for
// all of them, and every drawing leaves the erased figure in the definition's
// entity list, so drawing it per component would cost the square of their
// number. A scope inside another keeps its own record and draws afresh.
class PointFiguresDrawnOnce {
 public:
  PointFiguresDrawnOnce();
  ~PointFiguresDrawnOnce();
  PointFiguresDrawnOnce(const PointFiguresDrawnOnce&) = delete;
  PointFiguresDrawnOnce& operator=(const PointFiguresDrawnOnce&) = delete;

 private:
  std::unordered_set<std::wstring> drawn_;
  std::unordered_set<std::wstring>* outer_;
};

// Rebuilds every point component of the name (and number; empty = all) from
// its stored data: decorations are erased, references are redrawn with new
// labels, copies become primary. With an empty id array the components are
// collected from the layers name, name + "名" and name + "边线".
void RebuildPointGjs(const std::wstring& name, const std::wstring& number, const cad::ObjectIdArray& ids);

