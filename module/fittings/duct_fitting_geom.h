// The geometry record of an air-duct fitting: the spatial data that the plan
// figure cannot carry, kept in the extension dictionary of the fitting's
// block reference under the fitting's type name ("弯头", "三通", "四通",
// "大小头", "来回弯"), as an xrecord of typed items (10 point or unit vector,
// 40 real, 90 integer). Point z values are elevations within the floor.
//
// Layouts, item by item:
// - 弯头 (12): bend: T1, T2, deflection angle, u1, u2, w1, w2, h1, h2, turn
//   flag, 0, 0.0; riser elbow: S, E, 0.0, P, P, riser width, duct width,
//   riser height, duct height, level flag, 1, duct start elevation.
// - 三通 (14): uA, uB, uC, w1, width at PB, width at PC, h1, h2, h3 (0.0 for
//   two ducts), PA, PB, PC, bulge, 0.
// - 四通 (11): QA, QB, QC, QD, d1, d2, bulge, w1, w2, h1, h2.
// - 大小头 (8): P1, P2, u, v, w1, w2, h1, h2.
// - 来回弯 (9): as 大小头, then the bulge of the quarter arcs.
#pragma once

#include <string>

#include "platform/cad/ids.h"
#include "platform/cad/values.h"

// Item builders of a record chain.
inline cad::TypedValue GeomPoint(const geom::Point3d& p) { return cad::TypedValue(10, p); }
inline cad::TypedValue GeomVector(const geom::Vector3d& v) { return cad::TypedValue(10, geom::Point3d(v.x, v.y, v.z)); }
inline cad::TypedValue GeomReal(double d) { return cad::TypedValue(40, d); }
inline cad::TypedValue GeomInt(int i) { return cad::TypedValue(90, i); }

// Stores the chain under the key in the fitting's extension dictionary (made
// when missing); an existing entry of the key is replaced. False, with
// "\n实体打开失败!" or "\n实体扩展记录打开失败!" on the command line, when the
// fitting or its dictionary cannot be opened for write or the chain is
// refused; nothing is left behind then.
bool WriteDuctFittingGeom(const std::wstring& key, cad::ObjectId fitting, const cad::ValueChain& chain);

// The chain stored under the key; false when the fitting, its dictionary or
// the entry is missing.
bool ReadDuctFittingGeom(const std::wstring& key, cad::ObjectId fitting, cad::ValueChain& chain);
