// Recorded painting, font metrics, off-screen drawing, printing and PNG output.
#include <filesystem>

#include "ui_fixture.h"

using namespace ui;

namespace {
class PaintTest : public UiTest {};

// A small custom control: a header bar and a centred label.
class Swatch : public Wnd {
 public:
  Color fill = RGB(255, 0, 0);
  void OnPaint() override {
    PaintDC dc(this);
    Rect c = clientRect();
    dc.FillSolidRect(Rect(0, 0, c.right, 10), fill);
    Pen pen(ps::Solid, 1, RGB(0, 0, 255));
    Pen* old = dc.SelectObject(&pen);
    dc.MoveTo(0, 10);
    dc.LineTo(c.right, 10);
    dc.SelectObject(old);
    dc.SetBkMode(bkmode::Transparent);
    dc.SetTextColor(RGB(0, 128, 0));
    dc.DrawText(L"颜色A", Rect(0, 10, c.right, c.bottom), dt::Center | dt::VCenter | dt::SingleLine | dt::EndEllipsis);
  }
};
}  // namespace

TEST_F(PaintTest, FontMetricsAreFixedPerCharacterClass) {
  LogFont f;
  f.lfHeight = -12;
  struct Case {
    std::wstring text;
    int width;
  } cases[] = {{L"", 0}, {L"abc", 18}, {L"给水", 24}, {L"DN15管", 36}, {L"ＡＢ", 24}};
  for (auto& c : cases) EXPECT_EQ(TextExtent(f, c.text).cx, c.width) << std::wstring(c.text).size();
  EXPECT_EQ(TextExtent(f, L"x").cy, 12);
  TextMetric tm = MetricsOf(f);
  EXPECT_EQ(tm.tmAveCharWidth, 6);
  EXPECT_EQ(tm.tmHeight, 12);
}

TEST_F(PaintTest, PaintingIsRecordedWithItsState) {
  Wnd top;
  top.CreateEx(0, L"Wnd", L"", ws::Popup | ws::Visible, Rect(0, 0, 120, 60), nullptr, 0);
  Swatch s;
  s.Create(L"Wnd", L"", ws::Child | ws::Visible, Rect(10, 10, 70, 40), &top, 5);
  pumpMessages();
  const Recording& r = s.paintRecording();
  ASSERT_EQ(r.count(DrawOp::FillRect), 1u);
  EXPECT_EQ(r.of(DrawOp::FillRect)[0]->brush.color, RGB(255, 0, 0));
  ASSERT_EQ(r.count(DrawOp::Line), 1u);
  EXPECT_EQ(r.of(DrawOp::Line)[0]->pen.color, RGB(0, 0, 255));
  const DrawCall* text = r.findText(L"颜色A");
  ASSERT_NE(text, nullptr) << r.dump();
  EXPECT_EQ(text->textColor, RGB(0, 128, 0));
  EXPECT_EQ(text->bkMode, bkmode::Transparent);
  EXPECT_EQ(text->flags, 0x8025u);
  EXPECT_EQ(text->rect, Rect(0, 10, 60, 30));
  // Nothing repaints until invalidated; then the recording starts afresh.
  s.fill = RGB(1, 2, 3);
  pumpMessages();
  EXPECT_EQ(s.paintRecording().of(DrawOp::FillRect)[0]->brush.color, RGB(255, 0, 0));
  s.Invalidate();
  pumpMessages();
  EXPECT_EQ(s.paintRecording().count(DrawOp::FillRect), 1u);
  EXPECT_EQ(s.paintRecording().of(DrawOp::FillRect)[0]->brush.color, RGB(1, 2, 3));
}

TEST_F(PaintTest, DrawTextLaysOutMeasuresAndEllipsizes) {
  DC dc;
  dc.CreateCompatibleDC(nullptr);
  Bitmap bmp;
  bmp.CreateBitmap(200, 100);
  dc.SelectObject(&bmp);
  Rect calc(0, 0, 0, 0);
  EXPECT_EQ(dc.DrawText(L"ab\n给水管", &calc, dt::CalcRect), 24);
  EXPECT_EQ(calc, Rect(0, 0, 36, 24));
  dc.DrawText(L"abcdefghij", Rect(0, 0, 40, 12), dt::SingleLine | dt::EndEllipsis);
  ASSERT_EQ(bmp.canvas()->count(DrawOp::Text), 1u);
  EXPECT_EQ(bmp.canvas()->calls.back().text, L"abc...");  // 36 of 40 pixels
  dc.DrawText(L"&OK", Rect(0, 0, 40, 12), dt::SingleLine);
  EXPECT_EQ(bmp.canvas()->calls.back().text, L"OK");
}

TEST_F(PaintTest, OffscreenDrawingIsCopiedWithTheBlitAndMappingApplies) {
  Wnd w;
  w.CreateEx(0, L"Wnd", L"", ws::Popup | ws::Visible, Rect(0, 0, 100, 100), nullptr, 0);
  pumpMessages();
  ClientDC dc(&w);
  DC mem;
  mem.CreateCompatibleDC(&dc);
  Bitmap bmp;
  bmp.CreateCompatibleBitmap(&dc, 50, 50);
  mem.SelectObject(&bmp);
  mem.SetWindowOrg(10, 10);
  mem.FillSolidRect(Rect(10, 10, 20, 20), RGB(9, 9, 9));
  EXPECT_EQ(bmp.canvas()->calls.back().rect, Rect(0, 0, 10, 10));
  Rect clip;
  mem.GetClipBox(&clip);
  EXPECT_EQ(clip, Rect(10, 10, 60, 60));
  dc.BitBlt(5, 5, 50, 50, &mem, 10, 10, rop::SrcCopy);
  const DrawCall& blit = w.paintRecording().calls.back();
  ASSERT_EQ(blit.op, DrawOp::Blit);
  ASSERT_TRUE(blit.source);
  EXPECT_EQ(blit.source->count(DrawOp::FillRect), 1u);
  EXPECT_EQ(blit.sourceRect, Rect(0, 0, 50, 50));
}

TEST_F(PaintTest, PrinterRecordsPagesAndScalesAnisotropically) {
  PrinterDC pr(Size(2480, 3508), 300);
  EXPECT_EQ(pr.GetDeviceCaps(caps::HorzRes), 2480);
  EXPECT_EQ(pr.StartPage(), -1);  // no document yet
  ASSERT_GT(pr.StartDoc(L"表格"), 0);
  pr.SetMapMode(mm::Anisotropic);
  pr.SetWindowExt(100, 100);
  pr.SetViewportExt(300, 300);
  for (int page = 0; page < 2; ++page) {
    pr.StartPage();
    pr.TextOut(10, 10, L"第" + std::to_wstring(page + 1) + L"页");
    pr.EndPage();
  }
  pr.EndDoc();
  ASSERT_EQ(pr.pages().size(), 2u);
  EXPECT_EQ(pr.pages()[1]->texts(), std::vector<std::wstring>{L"第2页"});
  EXPECT_EQ(pr.pages()[0]->calls[0].points[0], Point(30, 30));
  EXPECT_TRUE(pr.finished());
}

TEST_F(PaintTest, DialogRendersToANonEmptyPng) {
  Resources res;
  ASSERT_TRUE(res.loadFile(std::filesystem::path(KIV_SOURCE_DIR) / "tests/fixtures/ui/sample.rc.txt"));
  pushResources(&res);
  Dialog d(1202);
  ASSERT_TRUE(d.Create(1202, nullptr));
  d.ShowWindow(sw::Show);
  d.SetDlgItemText(1201, L"12.5");
  auto* combo = dynamic_cast<ComboBox*>(d.GetDlgItem(224));
  combo->SetCurSel(1);
  d.CheckDlgButton(288, 1);
  auto file = std::filesystem::path(KIV_BINARY_DIR) / "tests/ui_dialog_1202.png";
  std::filesystem::remove(file);
  std::wstring err;
  ASSERT_TRUE(renderWindowToPng(&d, file, &err)) << err;
  EXPECT_GT(std::filesystem::file_size(file), 500u);
  // The texts of the controls were painted.
  auto* edit = d.GetDlgItem(1201);
  EXPECT_NE(edit->paintRecording().findText(L"12.5"), nullptr);
  EXPECT_NE(combo->paintRecording().findText(L"排水"), nullptr);
  popResources();
}
