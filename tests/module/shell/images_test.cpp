// The picture commands and their dialogs, answered from the input queue as a
// person would answer them: the file dialog, the rectangle, picks, the
// length dialog and the check boxes of "控制图片显示".
#include <fstream>

#include "module/model/image_dialogs.h"
#include "module/shell/command_table.h"
#include "module/toolkit/project_paths.h"
#include "module/shell/raster_images.h"
#include "module/toolkit/entities.h"
#include "module/toolkit/layers.h"
#include "platform/cad/database.h"
#include "platform/cad/entities.h"
#include "platform/cad/object.h"
#include "platform/editor/cmdline.h"
#include "platform/editor/hostcmd.h"
#include "platform/editor/sysvars.h"
#include "module/model/module_resources.h"
#include "platform/ui/ui.h"
#include "tests/module/shell/project_fixture.h"

namespace {

using kivtest::ProjectSandbox;
namespace fs = std::filesystem;
using geom::Point3d;

using ed::makeToken;

// The header of a PNG file of w x h pixels: enough for the window layer to
// load it as a picture.
void writePng(const fs::path& p, int w, int h) {
  unsigned char b[33] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0, 0, 0, 13, 'I', 'H', 'D', 'R'};
  for (int i = 0; i < 4; ++i) {
    b[16 + i] = static_cast<unsigned char>(w >> (24 - 8 * i));
    b[20 + i] = static_cast<unsigned char>(h >> (24 - 8 * i));
  }
  b[24] = 8;
  b[25] = 2;
  std::ofstream(p, std::ios::binary).write(reinterpret_cast<const char*>(b), sizeof b);
}

class Pictures : public ProjectSandbox {
 protected:
  void SetUp() override {
    ProjectSandbox::SetUp();
    if (IsSkipped()) return;
    ui::init();
    ed::inputQueue().clear();
    ed::clearTranscript();
    fs::create_directories(root_ / "scans");
    writePng(root_ / "scans" / "plan.png", 40, 20);
  }
  void TearDown() override {
    CloseViewImagesDialog();
    ed::inputQueue().clear();
    g_lastHiddenImage = cad::ObjectId();
    ProjectSandbox::TearDown();
  }

  static void push(ed::InputToken t) { ed::inputQueue().push(std::move(t)); }
  static void point(double x, double y) {
    ed::InputToken t = makeToken(ed::TokenKind::Point);
    t.p1 = Point3d(x, y, 0);
    push(t);
  }
  static void text(const std::wstring& s) { push(makeToken(ed::TokenKind::Text, s)); }
  static void pick(cad::ObjectId id) { push(makeToken(ed::TokenKind::Pick, id.handle().text())); }
  static void directive(const std::wstring& name, std::vector<std::wstring> args) {
    ed::InputToken t = makeToken(ed::TokenKind::Directive, name);
    t.args = std::move(args);
    push(t);
  }
  void chooseFile(const fs::path& p) { directive(L".file", {os::fromUtf8(p.string())}); }

  // Inserts the scan through KivInPutImages in the rectangle a-b.
  cad::ObjectId insert(Point3d a, Point3d b) {
    chooseFile(root_ / "scans" / "plan.png");
    point(a.x, a.y);
    point(b.x, b.y);
    CmdKivInPutImages();
    cad::ObjectIdArray p = pictures();
    return p.empty() ? cad::ObjectId() : p.back();
  }
  static cad::ObjectIdArray pictures() {
    cad::ObjectIdArray ids;
    for (cad::ObjectId id : cad::workingDatabase()->modelSpaceEntities()) {
      cad::ObjectPtr<cad::DbObject> obj(id, cad::OpenMode::ForRead);
      if (obj && IsPictureObject(obj.get())) ids.push_back(id);
    }
    return ids;
  }
  static bool visible(cad::ObjectId id) {
    cad::ObjectPtr<cad::Entity> e(id, cad::OpenMode::ForRead);
    return e && e->visible();
  }
  static double width(cad::ObjectId id) {
    cad::ObjectPtr<cad::RasterImage> img(id, cad::OpenMode::ForRead);
    return img ? img->uVector().length() * img->imageSize().x : -1;
  }
  static bool layerLocked() {
    bool locked = false;
    GetLayerFlags(kPictureLayerName, nullptr, nullptr, &locked, nullptr);
    return locked;
  }
  static bool printed(const std::wstring& s) { return ed::transcript().find(s) != std::wstring::npos; }
};

TEST_F(Pictures, InsertCopiesIntoTheProjectAndFitsTheRectangleEitherWay) {
  struct Case {
    Point3d a, b;
  };
  const Case cases[] = {{{20, 50, 0}, {100, 90, 0}}, {{100, 90, 0}, {20, 50, 0}}, {{100, 50, 0}, {20, 90, 0}}};
  for (const Case& c : cases) {
    cad::ObjectId id = insert(c.a, c.b);
    ASSERT_FALSE(id.isNull());
    cad::ObjectPtr<cad::RasterImage> img(id, cad::OpenMode::ForRead);
    EXPECT_EQ(img->origin(), Point3d(20, 50, 0));
    EXPECT_NEAR(width(id), 80, 1e-9);
    EXPECT_EQ(img->layer(), kPictureLayerName);
    cad::ObjectPtr<cad::RasterImageDef> def(img->imageDefId(), cad::OpenMode::ForRead);
    EXPECT_EQ(def->sourceFileName(), ProjectFolderPath() + L"\\plan.png");
    EXPECT_TRUE(layerLocked());
    EXPECT_EQ(ed::getVarInt(L"CMDECHO"), 1);
  }
  EXPECT_TRUE(fs::exists(project() / "plan.png"));
  EXPECT_EQ(pictures().size(), 3u);
  // The first run copied; the later ones found the project's file.
  EXPECT_TRUE(printed(L"\n文件拷贝成功!"));
  EXPECT_TRUE(printed(L"\n文件在当前工程目录下!"));
}

TEST_F(Pictures, InsertUsesTheProjectsFileOfTheSameName) {
  writePng(project() / "plan.png", 10, 10);
  insert({0, 0, 0}, {10, 10, 0});
  EXPECT_TRUE(printed(L"\n文件在当前工程目录下!"));
  EXPECT_FALSE(printed(L"\n文件拷贝成功!"));
  EXPECT_EQ(fs::file_size(project() / "plan.png"), 33u);
  ui::Bitmap kept;
  ASSERT_TRUE(kept.LoadFromFile(os::windowsPath(project() / "plan.png")));
  EXPECT_EQ(kept.GetSize().cx, 10);
}

TEST_F(Pictures, InsertCancelledOrEmptyInsertsNothingAndRelocks) {
  SetLayerLocked(kPictureLayerName, false, nullptr);
  // Cancel at the file dialog; at the first point; at the corner; a
  // rectangle of no width.
  CmdKivInPutImages();
  chooseFile(root_ / "scans" / "plan.png");
  push(makeToken(ed::TokenKind::Escape));
  CmdKivInPutImages();
  chooseFile(root_ / "scans" / "plan.png");
  point(0, 0);
  push(makeToken(ed::TokenKind::Escape));
  CmdKivInPutImages();
  insert({5, 0, 0}, {5, 30, 0});
  EXPECT_TRUE(printed(L"\n区域宽度为零,未插入图片!"));
  EXPECT_TRUE(pictures().empty());
  EXPECT_TRUE(layerLocked());
  EXPECT_EQ(ed::getVarInt(L"CMDECHO"), 1);
  EXPECT_TRUE(ed::inputQueue().empty());
}

TEST_F(Pictures, InsertWithoutProjectIsRefused) {
  g_projectName.clear();
  chooseFile(root_ / "scans" / "plan.png");
  CmdKivInPutImages();
  EXPECT_TRUE(printed(L"\n没有打开的工程,无法插入图片!"));
  EXPECT_TRUE(pictures().empty());
  ed::inputQueue().clear();
}

TEST_F(Pictures, ClearErasesOnlyPictures) {
  insert({0, 0, 0}, {40, 20, 0});
  insert({50, 0, 0}, {90, 20, 0});
  OpenPictureLayer();
  cad::ObjectId axis = AddLine(Point3d(0, 0, 0), Point3d(100, 0, 0), kPictureLayerName, nullptr);
  ClosePictureLayer();
  CmdKivClearImage();
  EXPECT_TRUE(pictures().empty());
  cad::ObjectPtr<cad::Line> line(axis, cad::OpenMode::ForRead);
  EXPECT_TRUE(line);
  EXPECT_TRUE(layerLocked());
}

TEST_F(Pictures, HideShowAndShowAll) {
  cad::ObjectId a = insert({0, 0, 0}, {40, 20, 0});
  cad::ObjectId b = insert({50, 0, 0}, {90, 20, 0});
  ed::clearTranscript();
  CmdKivImageShow();
  EXPECT_TRUE(printed(L"\nID为空!"));

  pick(a);
  CmdKivImageHide();
  EXPECT_FALSE(visible(a));
  EXPECT_TRUE(printed(L"\n图片隐藏成功!"));
  pick(b);
  CmdKivImageHide();
  EXPECT_FALSE(visible(b));
  CmdKivImageShow();  // the last hidden one
  EXPECT_TRUE(visible(b));
  EXPECT_FALSE(visible(a));
  EXPECT_TRUE(printed(L"\n图片显示成功!"));
  CmdKivImageShowAll();
  EXPECT_TRUE(visible(a));
  EXPECT_TRUE(layerLocked());
  EXPECT_EQ(ed::getVarInt(L"CMDECHO"), 1);
}

TEST_F(Pictures, HideOfALineIsRefusedAndShowThenSaysSoToo) {
  cad::ObjectId line = AddLine(Point3d(0, 0, 0), Point3d(10, 0, 0), L"0", nullptr);
  pick(line);
  CmdKivImageHide();
  EXPECT_EQ(g_lastHiddenImage, line);
  EXPECT_TRUE(visible(line));
  ed::clearTranscript();
  CmdKivImageShow();
  EXPECT_TRUE(printed(L"\n你选择的不是图片!"));
  // An erased picture is remembered but cannot be opened: nothing happens.
  cad::ObjectId a = insert({0, 0, 0}, {40, 20, 0});
  pick(a);
  CmdKivImageHide();
  OpenPictureLayer();
  EraseEntity(a);
  ClosePictureLayer();
  ed::clearTranscript();
  CmdKivImageShow();
  EXPECT_EQ(ed::transcript().find(L"图片"), std::wstring::npos);
  EXPECT_TRUE(layerLocked());
}

TEST_F(Pictures, ScaleByReferenceAndCancelLeavesThePicture) {
  cad::ObjectId a = insert({0, 0, 0}, {40, 20, 0});
  // Measured 10 where the real length is 25: the picture grows 2.5 times.
  pick(a);
  point(0, 0);
  text(L"10");
  directive(L".set", {L"1200", L"25"});
  directive(L".click", {L"1"});
  CmdKivImageScale();
  EXPECT_NEAR(width(a), 100, 1e-9);

  // Cancelling the length dialog, or a length that is not positive, changes nothing.
  for (const wchar_t* answer : {L"", L"0", L"-5"}) {
    pick(a);
    point(0, 0);
    text(L"10");
    if (*answer) {
      directive(L".set", {L"1200", answer});
      directive(L".click", {L"1"});
    } else {
      directive(L".click", {L"2"});
    }
    CmdKivImageScale();
    EXPECT_NEAR(width(a), 100, 1e-9) << testing::PrintToString(std::wstring(answer));
    EXPECT_TRUE(ed::inputQueue().empty());
  }
  EXPECT_TRUE(printed(L"\n实际长度必须大于零!"));
  EXPECT_TRUE(layerLocked());
  EXPECT_EQ(ed::getVarInt(L"CMDECHO"), 1);
}

TEST_F(Pictures, ScaleAsksAgainWhenTheyPickSomethingElse) {
  cad::ObjectId a = insert({0, 0, 0}, {40, 20, 0});
  cad::ObjectId line = AddLine(Point3d(0, 0, 0), Point3d(10, 0, 0), L"0", nullptr);
  pick(line);
  pick(a);
  point(0, 0);
  text(L"20");
  directive(L".set", {L"1200", L"10"});
  directive(L".click", {L"1"});
  CmdKivImageScale();
  EXPECT_TRUE(printed(L"\n你选择的不是图片!"));
  EXPECT_NEAR(width(a), 20, 1e-9);
  cad::ObjectPtr<cad::Line> l(line, cad::OpenMode::ForRead);
  EXPECT_EQ(l->endPoint(), Point3d(10, 0, 0));
}

TEST_F(Pictures, FrontAndBack) {
  cad::ObjectId a = insert({0, 0, 0}, {40, 20, 0});
  cad::ObjectId b = insert({50, 0, 0}, {90, 20, 0});
  pick(a);
  CmdKivImageFront();
  EXPECT_EQ(ed::drawOrder().back(), a);
  pick(a);
  CmdKivImageBack();
  EXPECT_EQ(ed::drawOrder().front(), a);
  pick(b);
  CmdKivImageBack();
  EXPECT_EQ(ed::drawOrder().front(), b);
  EXPECT_TRUE(layerLocked());
}

TEST_F(Pictures, ManageListsEveryPictureAndOkRightAwayHidesThemAll) {
  cad::ObjectId a = insert({0, 0, 0}, {40, 20, 0});
  cad::ObjectId b = insert({50, 0, 0}, {90, 20, 0});
  CmdKivImageManage();
  ASSERT_NE(g_viewImagesDlg, nullptr);
  CViewImages& dlg = *g_viewImagesDlg;
  EXPECT_TRUE(dlg.IsWindowVisible());
  EXPECT_TRUE(layerLocked());
  EXPECT_EQ(dlg.SendMessage(ui::wm::KeepFocus), 1);
  ASSERT_EQ(dlg.entries().size(), 2u);
  for (const ImageEntry& e : dlg.entries()) {
    EXPECT_EQ(e.fileName, L"plan.png");
    EXPECT_EQ(e.state, -1);
  }
  ui::HTreeItem first = dlg.tree().GetRootItem();
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(dlg.tree().GetItemText(first), L"plan.png");
  EXPECT_FALSE(dlg.tree().GetCheck(first));
  EXPECT_EQ(dlg.tree().GetCount(), 2u);

  CmdKivImageManage();
  EXPECT_TRUE(printed(L"\ng_Image不为NULL"));

  dlg.OnOK();
  EXPECT_EQ(g_viewImagesDlg, nullptr);
  EXPECT_FALSE(visible(a));
  EXPECT_FALSE(visible(b));
  EXPECT_TRUE(layerLocked());
}

TEST_F(Pictures, ManageChecksMarkEverySameNamedPictureAndCancelChangesNothing) {
  writePng(root_ / "scans" / "other.png", 30, 30);
  cad::ObjectId a = insert({0, 0, 0}, {40, 20, 0});
  cad::ObjectId b = insert({50, 0, 0}, {90, 20, 0});
  chooseFile(root_ / "scans" / "other.png");
  point(100, 0);
  point(130, 30);
  CmdKivInPutImages();
  cad::ObjectId c = pictures().back();

  CmdKivImageManage();
  ASSERT_NE(g_viewImagesDlg, nullptr);
  ui::TreeCtrl& tree = g_viewImagesDlg->tree();
  ui::HTreeItem second = tree.GetNextSiblingItem(tree.GetRootItem());
  // A click on the label checks the item and marks both pictures of the file.
  tree.userClick(second);
  EXPECT_TRUE(tree.GetCheck(second));
  const auto& entries = g_viewImagesDlg->entries();
  EXPECT_EQ(entries[0].state, 1);
  EXPECT_EQ(entries[1].state, 1);
  EXPECT_EQ(entries[2].state, -1);
  // A click on the check box of "other.png" toggles it twice: shown, then hidden.
  ui::HTreeItem third = tree.GetNextSiblingItem(second);
  tree.userClickCheckBox(third);
  EXPECT_TRUE(tree.GetCheck(third));
  EXPECT_EQ(entries[2].state, 1);
  tree.userClickCheckBox(third);
  EXPECT_FALSE(tree.GetCheck(third));
  EXPECT_EQ(entries[2].state, 0);
  g_viewImagesDlg->OnOK();
  EXPECT_TRUE(visible(a));
  EXPECT_TRUE(visible(b));
  EXPECT_FALSE(visible(c));

  // Cancel leaves the drawing as it was.
  CmdKivImageManage();
  ASSERT_NE(g_viewImagesDlg, nullptr);
  g_viewImagesDlg->tree().userClick(g_viewImagesDlg->tree().GetRootItem());
  g_viewImagesDlg->OnCancel();
  EXPECT_EQ(g_viewImagesDlg, nullptr);
  EXPECT_TRUE(visible(a));
  EXPECT_FALSE(visible(c));
}

TEST_F(Pictures, ManageDoubleClickTogglesTheSelectedItem) {
  cad::ObjectId a = insert({0, 0, 0}, {40, 20, 0});
  CmdKivImageManage();
  ASSERT_NE(g_viewImagesDlg, nullptr);
  ui::TreeCtrl& tree = g_viewImagesDlg->tree();
  ui::HTreeItem item = tree.GetRootItem();
  tree.SelectItem(item);
  g_viewImagesDlg->OnTreeDblClick();
  EXPECT_TRUE(tree.GetCheck(item));
  EXPECT_EQ(g_viewImagesDlg->entries()[0].state, 1);
  g_viewImagesDlg->OnTreeDblClick();
  EXPECT_FALSE(tree.GetCheck(item));
  EXPECT_EQ(g_viewImagesDlg->entries()[0].state, 0);
  g_viewImagesDlg->OnOK();
  EXPECT_FALSE(visible(a));
}

TEST_F(Pictures, ManageClickOnEmptyPartSaysThereIsNoPicture) {
  CmdKivImageManage();
  ASSERT_NE(g_viewImagesDlg, nullptr);
  EXPECT_TRUE(g_viewImagesDlg->entries().empty());
  ed::clearTranscript();
  g_viewImagesDlg->OnTreeClick();
  EXPECT_TRUE(printed(L"\n没有图片!"));
}

TEST_F(Pictures, PreviewStretchesPicturesAndSkipsOtherFiles) {
  CmdKivImageManage();
  ASSERT_NE(g_viewImagesDlg, nullptr);
  ui::Wnd* area = g_viewImagesDlg->GetDlgItem(image_ids::kViewPreviewArea);
  ASSERT_NE(area, nullptr);
  { std::ofstream(root_ / "scans" / "notes.txt") << "not a picture"; }
  area->paintRecording().clear();
  // A 40 x 20 picture fills the whole area: stretched, not letter-boxed.
  EXPECT_TRUE(DrawPicturePreview(area, os::windowsPath(root_ / "scans" / "plan.png")));
  ui::Rect client;
  area->GetClientRect(&client);
  auto images = area->paintRecording().of(ui::DrawOp::Image);
  ASSERT_EQ(images.size(), 1u);
  EXPECT_EQ(images[0]->rect, ui::Rect(0, 0, client.Width(), client.Height()));
  EXPECT_NE(images[0]->imagePath.find(L"plan.png"), std::wstring::npos);
  EXPECT_FALSE(DrawPicturePreview(area, os::windowsPath(root_ / "scans" / "notes.txt")));
  EXPECT_EQ(area->paintRecording().count(ui::DrawOp::Image), 1u);
  EXPECT_FALSE(DrawPicturePreview(area, os::windowsPath(root_ / "scans")));
  EXPECT_FALSE(DrawPicturePreview(nullptr, os::windowsPath(root_ / "scans" / "plan.png")));
}

TEST_F(Pictures, EveryPictureCommandLeavesTheLayerLockedAndEchoOn) {
  cad::ObjectId a = insert({0, 0, 0}, {40, 20, 0});
  g_lastHiddenImage = a;
  struct Case {
    const char* name;
    void (*run)();
  };
  const Case cases[] = {{"InPutImages", CmdKivInPutImages}, {"ClearImage", CmdKivClearImage},
                        {"ImageScale", CmdKivImageScale},   {"ImageFront", CmdKivImageFront},
                        {"ImageBack", CmdKivImageBack},     {"ImageHide", CmdKivImageHide},
                        {"ImageShow", CmdKivImageShow},     {"ImageShowAll", CmdKivImageShowAll}};
  for (const Case& c : cases) {
    SetLayerLocked(kPictureLayerName, false, nullptr);
    ed::setVar(L"CMDECHO", 0);
    c.run();  // with no input: cancelled at its first prompt, or done
    EXPECT_TRUE(layerLocked()) << c.name;
    if (c.run != CmdKivClearImage && c.run != CmdKivImageShow && c.run != CmdKivImageShowAll) {
      EXPECT_EQ(ed::getVarInt(L"CMDECHO"), 1) << c.name;
    }
  }
}

TEST(PictureDialogs, TemplatesAndFileDialogSetUp) {
  ui::init();
  CFileDialogEx files;
  EXPECT_EQ(files.m_ofn.lpstrTitle, L"打开图片预览对话框");
  EXPECT_EQ(files.m_ofn.templateId, image_ids::kFilePreviewTemplate);
  const unsigned flags = ui::ofn::OverwritePrompt | ui::ofn::HideReadOnly | ui::ofn::Explorer |
                         ui::ofn::EnableHook | ui::ofn::EnableTemplate;
  EXPECT_EQ(files.m_ofn.Flags & flags, flags);
  EXPECT_EQ(PreviewSession::sessions() > 0, true);
  {
    UiResourceScope resources;
    for (unsigned id : {image_ids::kScaleTemplate, image_ids::kFilePreviewTemplate, image_ids::kViewTemplate})
      EXPECT_NE(ModuleUiResources().dialog(id), nullptr) << id;
  }
}

}  // namespace
