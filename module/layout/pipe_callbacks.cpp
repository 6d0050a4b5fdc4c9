// The callbacks of pipes, earth buses, lightning bands, wires, conduits,
// cables and bus ducts, and the two dispatchers of the wire-and-conduit
// family.
#include <vector>

#include "module/layout/run_callbacks.h"
#include "module/model/current_gj.h"
#include "module/model/linear_entities.h"
#include "module/model/params.h"
#include "module/model/pipe_outline.h"
#include "module/toolkit/bulge.h"
#include "module/toolkit/entities.h"
#include "platform/cad/entities.h"
#include "platform/cad/object.h"

namespace {

// A run's band when its section gives no width.
constexpr double kDefaultRunWidth = 15.0;
constexpr double kLabelGap = 120.0;

bool isOneOf(const std::wstring& name, std::initializer_list<const wchar_t*> names) {
  for (const wchar_t* n : names)
    if (name == n) return true;
  return false;
}

// The section width of an electrical run: the x extent of the section's
// closed outline; for a section without area (two points) the distance of
// its first two points; 15 for fewer than two points.
double runSectionWidth(const std::wstring& coordText) {
  std::vector<geom::Point3d> points;
  std::vector<double> bulges;
  ParseCoordList(coordText, points, bulges);
  if (points.size() < 2) return kDefaultRunWidth;
  double w = 0, h = 0;
  GetOutlineSize(points, bulges, w, h);
  return w > 0 ? w : points[0].distanceTo(points[1]);
}

}  // namespace

cad::ObjectId CreatePipeGj(const std::wstring& name, const std::wstring& number, const geom::Point3d& start,
                           const geom::Point3d& end, double bulge, int vertical) {
  cad::ObjectId id;
  CreateLinearGjEntity(id, name, number, start, end, bulge, vertical);
  return id;
}

cad::ObjectId CreateWireGj(const std::wstring& name, const std::wstring& number, const geom::Point3d& start,
                           const geom::Point3d& end, double bulge, int vertical) {
  cad::ObjectId id;
  CreateLinearGjEntity(id, name, number, start, end, bulge, vertical);
  return id;
}

cad::ObjectId CreateCableGj(const std::wstring& name, const std::wstring& number, const geom::Point3d& start,
                            const geom::Point3d& end, double bulge, int vertical) {
  return CreateWireGj(name, number, start, end, bulge, vertical);
}

cad::ObjectId CreatePipeLineGj(const std::wstring& name, const std::wstring& number, const geom::Point3d& start,
                               const geom::Point3d& end, double bulge, int vertical) {
  if (isOneOf(name, {L"照明导线", L"动力导线", L"消防导线", L"其它导线", L"导管", L"线槽", L"软导管", L"导线·导管"}))
    return CreateWireGj(name, number, start, end, bulge, vertical);
  // A vertical cable or bus duct stays a riser: made as a run it would be a
  // polyline of no length in plan.
  if (isOneOf(name, {L"电缆", L"母线馈线"})) return CreateCableGj(name, number, start, end, bulge, vertical);
  return cad::ObjectId();
}

void DecoratePipeGj(const std::wstring& name, cad::ObjectId id) { DrawPipeOutline(name, id); }

void DecorateWireGj(const std::wstring& name, cad::ObjectId id) { DecorateConduitGj(name, id); }

void DecorateCableGj(const std::wstring& name, cad::ObjectId id) { DecorateConduitGj(name, id); }

void DecoratePipeLineGj(const std::wstring& name, cad::ObjectId id) {
  if (isOneOf(name, {L"照明导线", L"动力导线", L"消防导线", L"其它导线"}))
    DecorateWireGj(name, id);
  else if (isOneOf(name, {L"导管", L"线槽", L"软导管"}))
    DecorateConduitGj(name, id);
  else if (isOneOf(name, {L"导线·导管", L"电缆", L"母线馈线"}))
    DecorateCableGj(name, id);
}

void DecorateConduitGj(const std::wstring& name, cad::ObjectId id) {
  if (id.isNull()) return;
  LoadGjDefineByName(name, false);
  gjdeco::Look look;
  const std::wstring coordText = gjdeco::ReadLook(id, look);

  cad::ObjectPtr<cad::Entity> ent(id, cad::OpenMode::ForWrite);
  if (!ent) return;
  if (auto* run = cad::cast<cad::Polyline>(ent.get())) {
    // The run is drawn as a band of its section's width.
    const double w = runSectionWidth(coordText);
    for (unsigned i = 0; i < 2 && i < run->numVerts(); ++i) run->setWidthsAt(i, w, w);
    ent.close();
    const double z = gjdeco::MidElevation(id);
    PointList vertices;
    BulgeList bulges;
    if (GetEntityVertices(id, vertices, bulges) != cad::Status::Ok) return;
    for (size_t i = 0; i + 1 < vertices.size(); ++i)
      gjdeco::AddSegmentLabel(name, vertices[i], vertices[i + 1], w / 2 + kLabelGap, z, look);
  } else if (auto* riser = cad::cast<cad::BlockReference>(ent.get())) {
    const geom::Matrix3d transform = riser->blockTransform();
    const geom::Point3d position = riser->position();
    const double rotation = riser->rotation();
    ent.close();
    const double z = gjdeco::MidElevation(id);
    const double ymax = gjdeco::AddRiserOutlines(name, coordText, transform, look);
    gjdeco::AddRiserLabel(name, position, rotation, ymax + kLabelGap, z, look);
  }
}
