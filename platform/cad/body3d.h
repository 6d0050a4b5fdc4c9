// A 3D body entity: one closed body of the body modeller (platform/solid) in
// a drawing. It is shown and saved as the triangles of its surface; a file
// keeps the modeller's own text of the body with them, so reading the file
// gives the exact body back.
#pragma once

#include <memory>

#include "platform/cad/entities.h"
#include "platform/solid/body.h"

namespace cad {

class Body3d : public Entity {
  KIV_CAD_OBJECT(Body3d, Body3d)
 public:
  Body3d() = default;
  explicit Body3d(solid::Body body) : body_(std::move(body)) {}
  const solid::Body& body() const { return body_; }
  Status setBody(solid::Body body);
  bool isNull() const { return body_.isNull(); }
  // The surface as triangles (vertices and faces of three corners), made
  // once per body.
  const Solid3d::Body& faces() const;
  // Any matrix the modeller accepts; NotApplicable when it refuses.
  Status transformBy(const Matrix3d& m) override;
  // A box around the body, found quickly and kept (possibly a little larger
  // than the body's smallest box, body().extents()).
  Status getGeomExtents(Extents3d& ext) const override;

 private:
  solid::Body body_;
  mutable std::shared_ptr<const Solid3d::Body> faces_;
};

}  // namespace cad
