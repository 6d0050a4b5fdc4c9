// Comparisons of points within a tolerance, with readable failure messages.
#pragma once

#include <gtest/gtest.h>

#include "platform/geom/geom.h"

namespace kivtest {

inline ::testing::AssertionResult Near(const geom::Point2d& a, const geom::Point2d& b,
                                       double tol = 1e-9) {
  if (a.distanceTo(b) <= tol) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "(" << a.x << ", " << a.y << ") vs (" << b.x << ", "
                                       << b.y << ")";
}
inline ::testing::AssertionResult Near(const geom::Point3d& a, const geom::Point3d& b,
                                       double tol = 1e-9) {
  if (a.distanceTo(b) <= tol) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "(" << a.x << ", " << a.y << ", " << a.z << ") vs ("
                                       << b.x << ", " << b.y << ", " << b.z << ")";
}
inline ::testing::AssertionResult Near(const geom::Vector3d& a, const geom::Vector3d& b,
                                       double tol = 1e-9) {
  return Near(geom::Point3d(a.x, a.y, a.z), geom::Point3d(b.x, b.y, b.z), tol);
}

}  // namespace kivtest
