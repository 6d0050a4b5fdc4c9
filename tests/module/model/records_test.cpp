// The segment and node records: defaults, in-place construction with the
// node's argument order, and copies.
#include "module/model/records.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

using geom::Point3d;

TEST(GjRecords, DefaultsAndInPlaceConstruction) {
  GjSegment def;
  alignas(GjSegment) unsigned char buf[sizeof(GjSegment)];
  GjSegment* made = ConstructGjSegment(buf, cad::ObjectId(), Point3d(), Point3d(), L"", L"");
  EXPECT_EQ(def, *made);
  std::destroy_at(made);

  made = ConstructGjSegment(buf, cad::ObjectId::fromRaw(42), {1, 2, 3}, {4, 5, 6}, L"给水管", L"1");
  EXPECT_EQ(made->id, cad::ObjectId::fromRaw(42));
  EXPECT_EQ(made->start, Point3d(1, 2, 3));
  EXPECT_EQ(made->end, Point3d(4, 5, 6));
  EXPECT_EQ(made->name, L"给水管");
  EXPECT_EQ(made->number, L"1");
  std::destroy_at(made);

  GjNode node;
  EXPECT_EQ(node.value, 0.0);
  EXPECT_EQ(node.boxMin, Point3d());
  EXPECT_TRUE(node.name.empty() && node.number.empty() && node.id.isNull());
  // The value follows the position in the argument list.
  alignas(GjNode) unsigned char nbuf[sizeof(GjNode)];
  GjNode* n = ConstructGjNode(nbuf, cad::ObjectId::fromRaw(7), {10, 20, 30}, 1.5, {-1, -2, 0}, {1, 2, 0},
                              L"洗脸盆", L"2");
  EXPECT_EQ(n->value, 1.5);
  EXPECT_EQ(n->position, Point3d(10, 20, 30));
  EXPECT_EQ(n->boxMin, Point3d(-1, -2, 0));
  EXPECT_EQ(n->boxMax, Point3d(1, 2, 0));
  EXPECT_EQ(n->name, L"洗脸盆");
  EXPECT_EQ(n->number, L"2");
  EXPECT_EQ(*n, MakeGjNode(cad::ObjectId::fromRaw(7), {10, 20, 30}, 1.5, {-1, -2, 0}, {1, 2, 0}, L"洗脸盆", L"2"));
  std::destroy_at(n);
}

TEST(GjRecords, CopiesAndSelfAssignment) {
  GjNodeArray nodes;
  nodes.push_back(MakeGjNode(cad::ObjectId::fromRaw(3), {1, 1}, 0.25, {0, 0}, {2, 2}, L"阀门", L"DN50"));
  GjNode copy;
  copy = nodes[0];
  EXPECT_EQ(copy, nodes[0]);
  GjNode& same = copy;
  copy = same;
  EXPECT_EQ(copy, nodes[0]);

  GjSegmentArray segs{GjSegment(cad::ObjectId::fromRaw(9), {0, 0, 100}, {500, 0, 100}, L"给水管", L"1")};
  GjSegment s;
  s = segs[0];
  GjSegment& alias = s;
  s = alias;
  EXPECT_EQ(s, segs[0]);
  segs.resize(20);  // growing keeps the first record
  EXPECT_EQ(segs[0], s);
}

}  // namespace
