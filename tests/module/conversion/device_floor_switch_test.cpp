// Device rows picked in one floor's drawing and converted after a switch to
// another floor: the picks belong to the drawing they were picked in, so the
// conversion is refused, naming the floor, and neither drawing changes.
#include "module/conversion/device_conv.h"

#include "platform/editor/document.h"
#include "tests/module/conversion/network_fixture.h"

namespace {

using geom::Point3d;

class DeviceRowsAcrossFloors : public convtest::DialogDrawing {
 protected:
  static void showFloor(const wchar_t* floor) {
    os::findFunction<KivPelk_SetCombo_W_fn>(g_hostWindowLib, "KivPelk_SetCombo_W")(L"楼层", floor);
  }
  void TearDown() override {
    DestroyConvDialog(g_deviceConvDlg);
    DialogDrawing::TearDown();
  }
};

TEST_F(DeviceRowsAcrossFloors, RowsPickedOnAnotherFloorAreRefusedNamingIt) {
  showFloor(L"1层");
  squareBlock(L"灯A", 150);
  GetOrCreateLayer(L"ZEB_灯具", db());
  const cad::ObjectId lamp =
      InsertBlockRef(L"灯A", Point3d(0, 0, 0), 0, cad::Scale3d{}, geom::Vector3d(0, 0, 1), L"ZEB_灯具", db());
  ConvAreaObject()->areaIds = {lamp};
  ConvAreaObject()->saved = 1;
  ShowDeviceConv();
  CDeviceConv* dlg = g_deviceConvDlg;
  ASSERT_NE(dlg, nullptr);
  dlg->AddRow({lamp}, L"ZEB_灯具", L"256");

  // The floor switch opens the other floor's drawing; the dialog stays.
  ed::Document* other = ed::docManager().newDocument();
  ASSERT_NE(other, nullptr);
  ASSERT_TRUE(ed::docManager().activateDocument(other));
  showFloor(L"2层");
  const std::size_t before = other->database()->modelSpaceEntities().size();
  const std::size_t sourceBefore = db()->modelSpaceEntities().size();
  const std::size_t mark = ed::transcriptMark();
  ConvertDeviceRows(dlg);
  const std::wstring out = ed::transcriptSince(mark);
  EXPECT_NE(out.find(L"楼层“1层”"), std::wstring::npos) << os::toUtf8(out);
  EXPECT_NE(out.find(L"当前楼层“2层”"), std::wstring::npos) << os::toUtf8(out);
  EXPECT_EQ(out.find(L"转换结束"), std::wstring::npos);
  EXPECT_EQ(other->database()->modelSpaceEntities().size(), before) << "no reference to a block it lacks";
  EXPECT_EQ(db()->modelSpaceEntities().size(), sourceBefore);
  EXPECT_EQ(dlg->rowList.GetItemCount(), 1) << "the row is kept for its own floor";
}

}  // namespace
