// The device conversion: grouping blocks and circles into rows, the row
// texts, and the point components made from the rows.
#include "module/conversion/device_conv.h"

#include "module/model/point_blocks.h"
#include "platform/editor/input.h"
#include "tests/module/conversion/network_fixture.h"

namespace {

using geom::Point3d;

class DeviceConversion : public convtest::DialogDrawing {
 protected:
  void TearDown() override {
    DestroyConvDialog(g_deviceConvDlg);
    DialogDrawing::TearDown();
  }
  cad::ObjectId block(const std::wstring& def, const std::wstring& layer, Point3d at, double rotation = 0,
                      int colour = 256) {
    squareBlock(def, 150);
    GetOrCreateLayer(layer, db());
    cad::ObjectId id = InsertBlockRef(def, at, rotation, cad::Scale3d{}, geom::Vector3d(0, 0, 1), layer, db());
    cad::ObjectPtr<cad::Entity> e(id, cad::OpenMode::ForWrite);
    e->setColorIndex(colour);
    return id;
  }
  CDeviceConv* open(const cad::ObjectIdArray& area, double targetX = 0) {
    ConvAreaObject()->areaIds = area;
    ConvAreaObject()->targetX = targetX;
    ConvAreaObject()->saved = 1;
    ShowDeviceConv();
    return g_deviceConvDlg;
  }
  static cad::ObjectIdArray sorted(cad::ObjectIdArray ids) {
    std::sort(ids.begin(), ids.end());
    return ids;
  }
  // The point components of a layer, with their insertion points.
  std::vector<std::pair<cad::ObjectId, Point3d>> pointsOn(const std::wstring& layer) {
    std::vector<std::pair<cad::ObjectId, Point3d>> out;
    for (cad::ObjectId id : db()->modelSpaceEntities()) {
      cad::ObjectPtr<cad::BlockReference> ref(id, cad::OpenMode::ForRead);
      if (ref && ref->layer() == layer) out.push_back({id, ref->position()});
    }
    return out;
  }
};

TEST_F(DeviceConversion, SimilarDevicesFollowTheFourSettings) {
  const cad::ObjectId a = block(L"灯A", L"ZEB_灯具", {0, 0, 0});
  const cad::ObjectId a2 = block(L"灯A", L"ZEB_灯具", {1000, 0, 0});
  const cad::ObjectId turned = block(L"灯A", L"ZEB_灯具", {2000, 0, 0}, 1.5707963267948966);
  const cad::ObjectId other = block(L"灯B", L"ZEB_灯具", {3000, 0, 0});
  const cad::ObjectId moved = block(L"灯A", L"ZEB_其它", {4000, 0, 0});
  const cad::ObjectId red = block(L"灯A", L"ZEB_灯具", {5000, 0, 0}, 0, 1);
  const cad::ObjectId outside = block(L"灯A", L"ZEB_灯具", {6000, 0, 0});
  const cad::ObjectId c100 = circle(L"ZEB_灯具", {0, 3000, 0}, 100);
  const cad::ObjectId c103 = circle(L"ZEB_灯具", {1000, 3000, 0}, 103);
  const cad::ObjectId c104 = circle(L"ZEB_灯具", {2000, 3000, 0}, 104);
  CDeviceConv* dlg = open({a, a2, turned, other, moved, red, c100, c103, c104});
  ASSERT_NE(dlg, nullptr);
  struct Case {
    cad::ObjectId picked;
    bool layer, shape, rotation, attrs;
    cad::ObjectIdArray expected;
  } cases[] = {
      {a, true, true, false, true, {a, a2, turned}},
      {a, true, true, true, true, {a, a2}},
      {a, true, false, false, false, {a, a2, turned, other}},
      {a, false, true, false, false, {a, a2, turned, moved}},
      {c100, true, true, false, false, {c100, c103}},
      {c100, true, false, false, false, {c100, c103, c104}},
  };
  for (const Case& c : cases) {
    cad::ObjectIdArray out;
    cad::ObjectPtr<cad::Entity> e(c.picked, cad::OpenMode::ForRead);
    const std::wstring layer = e->layer();
    const int colour = e->colorIndex();
    e.close();
    FindSimilarDevices(dlg, colour, &out, c.picked, layer, c.layer, c.shape, c.rotation, c.attrs);
    EXPECT_EQ(sorted(out), sorted(c.expected));
  }
  (void)outside;
}

TEST_F(DeviceConversion, PickedGroupsBecomeRowsAndPickingAgainRemovesThem) {
  GetOrCreateLayer(L"ZEB_灯具", db());
  SetLayerColor(L"ZEB_灯具", cad::Color::fromIndex(1), db());
  const cad::ObjectId a = block(L"灯A", L"ZEB_灯具", {0, 0, 0});
  const cad::ObjectId b = block(L"灯A", L"ZEB_灯具", {1000, 0, 0});
  const cad::ObjectId box = block(L"箱", L"ZEB_箱", {0, 2000, 0});
  CDeviceConv* dlg = open({a, b, box});
  ASSERT_NE(dlg, nullptr);
  EXPECT_EQ(dlg->typeCombo.GetCount(), 4);  // the electrical categories
  EXPECT_EQ(dlg->nameText, L"点状灯具");
  push(ed::TokenKind::Pick, {150, 0, 0});
  push(ed::TokenKind::Pick, {150, 2000, 0});
  push(ed::TokenKind::ShiftDown);
  push(ed::TokenKind::Pick, {150, 2000, 0});  // Shift: the box alone leaves its row
  push(ed::TokenKind::ShiftUp);
  push(ed::TokenKind::Pick, {150, 2000, 0});
  push(ed::TokenKind::Enter);
  dlg->PickDeviceRows();
  CNewListCtrl& list = dlg->rowList;
  ASSERT_EQ(list.GetItemCount(), 2);
  EXPECT_EQ(sorted(*list.rowIds(0)), sorted({a, b}));
  EXPECT_EQ(list.GetItemText(0, device_ids::kColLayer), L"灯具");
  EXPECT_EQ(list.GetItemText(0, device_ids::kColColour), L"1(随层)");
  EXPECT_EQ(list.GetItemText(0, device_ids::kColName), L"点状灯具");
  EXPECT_EQ(list.GetItemText(1, device_ids::kColNo), L"2");
  EXPECT_EQ(*list.rowIds(1), (cad::ObjectIdArray{box}));
  EXPECT_TRUE(dlg->IsWindowVisible());

  // Picking the lamps again takes their row away and renumbers the rest.
  push(ed::TokenKind::Pick, {1150, 0, 0});
  push(ed::TokenKind::Enter);
  dlg->PickDeviceRows();
  ASSERT_EQ(list.GetItemCount(), 1);
  EXPECT_EQ(list.GetItemText(0, device_ids::kColNo), L"1");
}

TEST_F(DeviceConversion, ComponentsAreNeverPickedAsSources) {
  const cad::ObjectId lamp = block(L"灯A", L"点状灯具", {0, 0, 0});
  CDeviceConv* dlg = open({lamp});
  ASSERT_NE(dlg, nullptr);
  for (bool shift : {false, true}) {
    if (shift) push(ed::TokenKind::ShiftDown);
    push(ed::TokenKind::Pick, {150, 0, 0});
    push(ed::TokenKind::Enter);
    const std::size_t mark = ed::transcriptMark();
    dlg->PickDeviceRows();
    EXPECT_NE(ed::transcriptSince(mark).find(L"算量构件"), std::wstring::npos);
    EXPECT_EQ(dlg->rowList.GetItemCount(), 0);
    push(ed::TokenKind::ShiftUp);
    dlg->PickDeviceRows();
  }
  // A text is no device.
  const cad::ObjectId t = text(L"WL1", {5000, 0, 0}, 0, L"ZEB_文字");
  dlg->SetAreaIds({lamp, t});
  push(ed::TokenKind::Pick, {5100, 100, 0});
  push(ed::TokenKind::Enter);
  const std::size_t mark = ed::transcriptMark();
  dlg->PickDeviceRows();
  EXPECT_NE(ed::transcriptSince(mark).find(L"不是块状实体或圆"), std::wstring::npos);
}

TEST_F(DeviceConversion, RowsBecomePointComponentsAtTheTranslatedPositions) {
  const cad::ObjectId a = block(L"灯A", L"ZEB_灯具", {0, 0, 0}, 0.5);
  const cad::ObjectId twin = block(L"灯A", L"ZEB_灯具", {0, 0, 0}, 0.5);  // drawn twice
  const cad::ObjectId b = block(L"灯A", L"ZEB_灯具", {1000, 0, 0}, 0.5);
  const cad::ObjectId round = circle(L"ZEB_灯具", {0, 3000, 0}, 100);
  CDeviceConv* dlg = open({a, twin, b, round}, 100000);
  ASSERT_NE(dlg, nullptr);
  dlg->SetDlgItemText(device_ids::kElevation, L"2900");
  dlg->UpdateData(true);
  dlg->AddRow({a, twin, b}, L"ZEB_灯具", L"256");
  dlg->AddRow({round}, L"ZEB_灯具", L"256");
  dlg->rowList.SetItemText(1, device_ids::kColNumber, L"");  // the name stands in
  const std::size_t mark = ed::transcriptMark();
  ConvertDeviceRows(dlg);
  const std::wstring out = ed::transcriptSince(mark);
  EXPECT_NE(out.find(L"转换结束"), std::wstring::npos);
  EXPECT_NE(out.find(L"1个设备处已有同名构件"), std::wstring::npos);
  EXPECT_EQ(dlg->rowList.GetItemCount(), 0);
  EXPECT_FALSE(dlg->IsWindowVisible());

  auto lamps = pointsOn(L"点状灯具");
  ASSERT_EQ(lamps.size(), 3u);  // two blocks, one anchor of the circle; the twin was a duplicate
  std::sort(lamps.begin(), lamps.end(), [](auto& l, auto& r) {
    return std::tie(l.second.x, l.second.y) < std::tie(r.second.x, r.second.y);
  });
  EXPECT_NEAR(lamps[0].second.x, 100000, 1e-9);
  EXPECT_NEAR(lamps[0].second.y, 0, 1e-9);
  EXPECT_NEAR(lamps[1].second.y, 3000, 1e-9);
  EXPECT_NEAR(lamps[2].second.x, 101000, 1e-9);
  std::wstring kind;
  double elev = 0;
  GetPointGjSpecial(lamps[0].first, &kind, &elev, nullptr);
  EXPECT_EQ(kind, L"点构件");
  EXPECT_DOUBLE_EQ(elev, 2900);
  {
    cad::ObjectPtr<cad::BlockReference> ref(lamps[0].first, cad::OpenMode::ForRead);
    EXPECT_DOUBLE_EQ(ref->rotation(), 0.5);
  }
  // The circle: an anchor block of the name and a copy of the circle as its
  // edge line, moved with it.
  {
    cad::ObjectPtr<cad::BlockReference> anchor(lamps[1].first, cad::OpenMode::ForRead);
    EXPECT_EQ(anchor->blockName(), L"user$点状灯具$点状灯具");
  }
  EXPECT_EQ(numberOf(lamps[1].first), L"点状灯具");
  bool edge = false;
  for (cad::ObjectId id : db()->modelSpaceEntities()) {
    cad::ObjectPtr<cad::Circle> c(id, cad::OpenMode::ForRead);
    if (!c || c->layer() != L"点状灯具边线") continue;
    edge = true;
    EXPECT_NEAR(c->center().x, 100000, 1e-9);
    c.close();
    EXPECT_EQ(attrsOf(id).at(0), GetHandleText(lamps[1].first));
  }
  EXPECT_TRUE(edge);

  // Converting the same sources again makes nothing new.
  dlg->AddRow({a, b, round}, L"ZEB_灯具", L"256");
  ConvertDeviceRows(dlg);
  EXPECT_EQ(pointsOn(L"点状灯具").size(), 3u);
}

}  // namespace
