#include "module/model/records.h"

#include <new>

GjSegment* ConstructGjSegment(void* storage, cad::ObjectId id, const geom::Point3d& start,
                              const geom::Point3d& end, const std::wstring& name,
                              const std::wstring& number) {
  return new (storage) GjSegment(id, start, end, name, number);
}

GjNode* ConstructGjNode(void* storage, cad::ObjectId id, const geom::Point3d& position, double value,
                        const geom::Point3d& boxMin, const geom::Point3d& boxMax,
                        const std::wstring& name, const std::wstring& number) {
  auto* node = new (storage) GjNode();
  *node = MakeGjNode(id, position, value, boxMin, boxMax, name, number);
  return node;
}

GjNode MakeGjNode(cad::ObjectId id, const geom::Point3d& position, double value,
                  const geom::Point3d& boxMin, const geom::Point3d& boxMax, const std::wstring& name,
                  const std::wstring& number) {
  GjNode n;
  n.id = id;
  n.position = position;
  n.boxMin = boxMin;
  n.boxMax = boxMax;
  n.name = name;
  n.number = number;
  n.value = value;
  return n;
}
