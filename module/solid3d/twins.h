// The 3D twins of the components: the per-type pass that makes them, the
// full pass over a drawing in the order of the type table, and the refresh
// that the layout, fitting and editing commands call after each change.
//
// A twin is an entity on the twin layer of its type (the type followed by
// "3D") carrying the component's 编号 and, as its one 属性 line, the first
// 属性 line of the component (the handle of its primary entity): the key by
// which the refresh finds and erases it.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "module/toolkit/solid_mode.h"
#include "module/toolkit/strings.h"
#include "platform/cad/ids.h"

namespace cad {
class Database;
class Entity;
}  // namespace cad

// The 3D mode while the model of every floor is shown.
inline constexpr SolidMode kSolidAllFloors3d = static_cast<SolidMode>(2);

inline constexpr const wchar_t* kTwinLayerSuffix = L"3D";

using TwinList = std::vector<std::unique_ptr<cad::Entity>>;

// The work floor's rows of one type that the builders read.
struct TypeRows {
  StringArray params;    // 编号 "=" 参数 lines joined by "\r\n"
  StringArray formulas;  // 编号 "=" figure formula
  StringArray coords;    // 编号 "=" computed figure
};

// Makes the twins of one component into out (new entities, not in a
// database, already stamped). Answers "" when it made them or when the
// component is not meant to have any (not its kind of entity); otherwise why
// it could not, and the pass names the component once on the command line.
// A failing body operation may throw solid::ModelError: the pass catches it.
using SolidBuilder = std::wstring (*)(const std::wstring& type, cad::ObjectId id, const TypeRows& rows,
                                      TwinList& out);

struct SolidPass {
  SolidBuilder builder;
  const wchar_t* figureField;  // the field of the figure formulas; null: no rows are read
  bool copyLayerColour;        // the twin layer takes the colour of the type's layer
};

// The generic per-type pass: with ids, creates the twin layer in the working
// drawing (made current), reads the type's rows of the work floor once, and
// appends the twins of every visible component to the working drawing. The
// ids may belong to a side database (db) holding another floor.
void BuildTypeSolids(const SolidPass& pass, const std::wstring& type, const cad::ObjectIdArray& ids,
                     cad::Database* db);

// Runs the pass of every type of the type table in its order: with no ids,
// every model-space entity of db on one of the listed types' layers; with
// ids, those ids whatever the list (each sorted by its layer).
void BuildSolidsOfTypes(const StringArray& types, const cad::ObjectIdArray& ids, cad::Database* db);

// While the one-floor 3D view is on: erases the twins of the ids and builds
// them again (the type's pass). A twin layer that was locked is locked again.
// The module installs these as the 3D refresh of the component model's
// seams (RefreshSolid3dOfType and RefreshSolid3dOfEntity) when it loads.
void RefreshSolidTwinsOfType(const std::wstring& type, const cad::ObjectIdArray& ids, cad::Database* db);
void RefreshSolidTwinsOfEntity(const std::wstring& type, cad::ObjectId id, cad::Database* db);

// While the one-floor 3D view is on: erases from the type's twin layer the
// twins of the ids, and every twin whose component is no longer in the
// drawing.
void EraseSolidTwins(const std::wstring& type, const cad::ObjectIdArray& ids, cad::Database* db);

// From now on, while the one-floor 3D view is on, the end of every command
// erases the twins of the components it erased (KivSolid3d starts it).
void WatchErasedComponents();

// Whether the type table builds twins for the type.
bool HasSolidPass(const std::wstring& type);

// The first 属性 line of a component (its key); "" when it has none.
std::wstring TwinKey(cad::ObjectId id);

// Stamps a new twin with the component's number and key.
void StampTwin(cad::Entity* twin, const std::wstring& number, const std::wstring& key);

// The figure text of a component: from its own "构件" lines when it has
// them, else its number's computed figure among the rows.
std::wstring ComponentFigure(cad::ObjectId id, const std::wstring& number, const TypeRows& rows);

// The parameter lines of a component: its own "构件" lines, else its
// number's row.
StringArray ComponentParameters(cad::ObjectId id, const std::wstring& number, const TypeRows& rows);

// The cross-section of a linear component: its figure; without one, the
// section its size parameters give (a circle of 公称管径D_0(mm) or
// 导管规格(mm), a rectangle of B by H); "" when neither is there.
std::wstring SectionFigure(cad::ObjectId id, const std::wstring& number, const TypeRows& rows);
