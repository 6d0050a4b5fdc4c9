// The seams of the component model: the placement engines that the layout
// commands run, and the services of parts of the module that stand above the
// model (the rebuild routines of the layout commands, the 3D refresh), are
// reached through one table of function pointers. The table starts with the
// real engines and with defaults for the services; the subsystem that owns a
// service installs its routine when it is loaded, and tests swap recording
// fakes in for the time of a test (ScopedGjSeams).
#pragma once

#include <string>

#include "module/toolkit/strings.h"
#include "platform/cad/ids.h"

namespace cad {
class Database;
}

struct GjSeams {
  // Engines (see draw_engine.h, multi_line.h, vertical_gj.h, lines_to_gj.h,
  // point_layout.h).
  bool (*layLinearGjByPoints)();
  bool (*layMultiLinearGj)(const StringArray& rows);
  void (*layVerticalGj)();
  void (*lineToGj)();
  void (*layPointGj)();

  // Brings the 3D twin of one component entity up to date; acts only while
  // the one-floor 3D view is on. Default: nothing (no 3D model yet).
  void (*refreshSolid3dOfEntity)(const std::wstring& type, cad::ObjectId id, cad::Database* db);
  // The same for every id of one component type.
  void (*refreshSolid3dOfType)(const std::wstring& type, const cad::ObjectIdArray& ids, cad::Database* db);

  // Rebuilds the components of a type from their stored data with the
  // family routine of the type: one number (empty: every number), the given
  // entities (empty: every entity of the type). True when a rebuild of the
  // type ran. Default: says on the command line that the rebuild of the
  // type is not built yet, and answers false.
  bool (*rebuildGjByType)(const std::wstring& type, const std::wstring& number, const cad::ObjectIdArray& ids);
  // Rebuilds every installation component type of the working drawing; true
  // when it ran. Default: as above.
  bool (*rebuildAllGjTypes)();
};

// The table in use.
GjSeams& Seams();
// The table as the module starts: the real engines and the defaults.
GjSeams DefaultGjSeams();

// Puts a table in place for its lifetime and the previous one back after.
class ScopedGjSeams {
 public:
  explicit ScopedGjSeams(const GjSeams& seams) : saved_(Seams()) { Seams() = seams; }
  ~ScopedGjSeams() { Seams() = saved_; }
  ScopedGjSeams(const ScopedGjSeams&) = delete;
  ScopedGjSeams& operator=(const ScopedGjSeams&) = delete;

 private:
  GjSeams saved_;
};

// The 3D refresh as the engines call it, through the table.
inline void RefreshSolid3dOfEntity(const std::wstring& type, cad::ObjectId id, cad::Database* db) {
  Seams().refreshSolid3dOfEntity(type, id, db);
}
inline void RefreshSolid3dOfType(const std::wstring& type, const cad::ObjectIdArray& ids, cad::Database* db) {
  Seams().refreshSolid3dOfType(type, ids, db);
}
