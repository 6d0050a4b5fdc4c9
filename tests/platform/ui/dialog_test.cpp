// Templates, modal and modeless dialogs, data exchange, scripted answers,
// message boxes and file dialogs.
#include <filesystem>

#include "ui_fixture.h"

using namespace ui;

namespace {

class DialogTest : public UiTest {
 protected:
  void SetUp() override {
    UiTest::SetUp();
    ASSERT_TRUE(res.loadFile(std::filesystem::path(KIV_SOURCE_DIR) / "tests/fixtures/ui/sample.rc.txt"));
    pushResources(&res);
  }
  void TearDown() override {
    popResources();
    UiTest::TearDown();
  }
  Resources res;
};

// The kind of dialog the module writes: members exchanged with controls.
class RectDialog : public Dialog {
 public:
  RectDialog() : Dialog(1202) {}
  double margin = 100;
  int count = 3;
  std::wstring system = L"排水";
  int slope = 0;
  int advanced = 0;
  int initCalls = 0;
  ComboBox sizes;
  std::vector<std::wstring> events;
  bool OnInitDialog() override {
    ++initCalls;
    return Dialog::OnInitDialog();
  }
  void DoDataExchange(DataExchange* dx) override {
    DDX_Control(dx, 225, sizes);
    DDX_Text(dx, 1201, margin);
    DDX_Text(dx, 1202, count);
    DDX_CBString(dx, 224, system);
    DDX_Radio(dx, 238, slope);
    DDX_Check(dx, 288, advanced);
  }
  bool OnCommand(WParam wp, LParam lp) override {
    if (HiWord(wp) == cbn::SelChange) events.push_back(L"sel " + std::to_wstring(LoWord(wp)));
    return Dialog::OnCommand(wp, lp);
  }
};

}  // namespace

TEST_F(DialogTest, TemplateTextIsParsedAndBadLinesAreReported) {
  const DialogTemplate* t = findDialogTemplate(1202);
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(t->caption, L"矩形布置");
  EXPECT_EQ(t->controls.size(), 11u);
  const ControlTemplate* combo = t->control(224);
  ASSERT_NE(combo, nullptr);
  EXPECT_EQ(combo->items, (std::vector<std::wstring>{L"给水", L"排水", L"消防"}));
  EXPECT_EQ(combo->style & cbs::TypeMask, cbs::DropDownList);
  EXPECT_TRUE(t->control(323)->hidden);
  EXPECT_EQ(LoadString(57344), L"KivZeb");

  Resources bad;
  EXPECT_FALSE(bad.loadText("DIALOG 5 0 0 10 10\nCONTROL 1 Edit \"\" 1 2 3\nCONTROL 2 Edit \"\" 0 0 9 9 SHINY\nWHAT\nEND\n"
                            "STRING 9 \"unclosed\n",
                            "t.rc.txt"));
  ASSERT_EQ(bad.errors().size(), 4u);
  EXPECT_NE(bad.errors()[0].find(L"t.rc.txt:2"), std::wstring::npos);
  EXPECT_NE(bad.errors()[1].find(L"SHINY"), std::wstring::npos);
  // What could be read is kept.
  ASSERT_NE(bad.dialog(5), nullptr);
  EXPECT_EQ(bad.dialog(5)->controls.size(), 1u);
}

TEST_F(DialogTest, ModalDialogTakesValuesThenTheClosingButton) {
  RectDialog d;
  queue(L".set", {L"1201", L"250.5"});
  queue(L".set", {L"1202", L"7"});
  queue(L".select", {L"224", L"消防"});
  queue(L".check", {L"237", L"1"});
  queue(L".check", {L"288", L"1"});
  queue(L".select", {L"225", L"DN20"});
  queue(L".click", {L"1"});
  EXPECT_EQ(d.DoModal(), IDOK);
  EXPECT_EQ(d.initCalls, 1);
  EXPECT_DOUBLE_EQ(d.margin, 250.5);
  EXPECT_EQ(d.count, 7);
  EXPECT_EQ(d.system, L"消防");
  EXPECT_EQ(d.slope, 1);
  EXPECT_EQ(d.advanced, 1);
  EXPECT_EQ(d.events, (std::vector<std::wstring>{L"sel 224", L"sel 225"}));
  EXPECT_EQ(d.m_hWnd, nullptr);    // the window is gone
  EXPECT_EQ(d.sizes.m_hWnd, nullptr);
  EXPECT_TRUE(ed::inputQueue().empty());
}

TEST_F(DialogTest, ValuesAreShownOnInitAndABadNumberKeepsTheDialogOpen) {
  RectDialog d;
  d.margin = 12.5;
  queue(L".set", {L"1201", L"abc"});
  queue(L".click", {L"1"});       // refused: the message box says why
  queue(L".set", {L"1201", L"30"});
  queue(L".click", {L"1"});
  EXPECT_EQ(d.DoModal(), IDOK);
  EXPECT_DOUBLE_EQ(d.margin, 30);
  ASSERT_EQ(messageBoxLog().size(), 1u);
  EXPECT_EQ(messageBoxLog()[0].text, kMsgEnterNumber);
}

TEST_F(DialogTest, InitialValuesReachTheControls) {
  RectDialog d;
  d.margin = 12.5;
  d.system = L"给水";
  ASSERT_TRUE(d.Create(1202, nullptr));
  EXPECT_EQ(d.GetDlgItemText(1201), L"12.5");
  EXPECT_EQ(d.GetDlgItemText(1202), L"3");
  EXPECT_EQ(d.GetDlgItemText(224), L"给水");
  EXPECT_EQ(d.GetCheckedRadioButton(238, 237), 238);
  EXPECT_FALSE(d.GetDlgItem(323)->IsWindowVisible());
  EXPECT_EQ(d.sizes.GetCount(), 2);  // the bound member took over the template's items
  EXPECT_EQ(d.GetDlgItem(225), &d.sizes);
}

TEST_F(DialogTest, WithoutAnswersAModalDialogIsCancelledAndSaysSo) {
  RectDialog d;
  EXPECT_EQ(d.DoModal(), IDCANCEL);
  EXPECT_TRUE(printed(L"\"矩形布置\" cancelled: no input"));
  // Input meant for someone else stays in the queue.
  ed::InputToken word;
  word.kind = ed::TokenKind::Text;
  word.text = L"LINE";
  ed::inputQueue().push(word);
  EXPECT_EQ(d.DoModal(), IDCANCEL);
  ASSERT_EQ(ed::inputQueue().size(), 1u);
  EXPECT_EQ(ed::inputQueue().peek()->text, L"LINE");
}

TEST_F(DialogTest, EnterEscapeAndBadAnswers) {
  struct Case {
    std::vector<std::pair<std::wstring, std::vector<std::wstring>>> answers;
    ed::TokenKind closing;
    std::intptr_t result;
    std::wstring message;
  } cases[] = {
      {{}, ed::TokenKind::Enter, IDOK, L""},
      {{}, ed::TokenKind::Escape, IDCANCEL, L""},
      {{{L".set", {L"999", L"x"}}}, ed::TokenKind::Enter, IDOK, L"no control 999"},
      // 224 + 2^32: refused, not wrapped onto control 224.
      {{{L".set", {L"4294967520", L"x"}}}, ed::TokenKind::Enter, IDOK, L"is not a control id"},
      {{{L".select", {L"224", L"煤气"}}}, ed::TokenKind::Enter, IDOK, L"no item \"煤气\""},
      {{{L".check", {L"238", L"0"}}}, ed::TokenKind::Enter, IDOK, L"radio button is cleared"},
  };
  for (auto& c : cases) {
    lines.clear();
    RectDialog d;
    for (auto& [n, a] : c.answers) queue(n, a);
    queueKind(c.closing);
    EXPECT_EQ(d.DoModal(), c.result);
    if (!c.message.empty()) {
      EXPECT_TRUE(printed(c.message)) << c.message;
    }
  }
}

TEST_F(DialogTest, ModelessDialogLivesOnAndTakesHostAnswers) {
  struct Images : Dialog {
    int oks = 0;
    void OnOK() override {
      ++oks;
      Dialog::OnOK();
    }
  } d;
  ASSERT_TRUE(d.Create(2216, nullptr));
  d.ShowWindow(sw::Show);
  EXPECT_EQ(activeDialog(), &d);
  auto* tree = dynamic_cast<TreeCtrl*>(d.GetDlgItem(2209));
  ASSERT_NE(tree, nullptr);
  tree->InsertItem(L"a.jpg");
  tree->InsertItem(L"b.jpg");
  ed::InputToken t;
  t.kind = ed::TokenKind::Directive;
  t.text = L".check";
  t.args = {L"2209", L"b.jpg", L"1"};
  std::wstring err;
  ASSERT_TRUE(applyAnswer(t, err)) << err;
  EXPECT_TRUE(tree->GetCheck(tree->GetNextSiblingItem(tree->GetRootItem())));
  t.text = L".click";
  t.args = {L"1"};
  ASSERT_TRUE(applyAnswer(t, err)) << err;
  EXPECT_EQ(d.oks, 1);
  EXPECT_FALSE(d.IsWindowVisible());  // a modeless OK hides
  EXPECT_TRUE(IsWindow(d.m_hWnd));
  EXPECT_FALSE(applyAnswer(t, err));
  EXPECT_NE(err.find(L"no dialog"), std::wstring::npos);
  d.DestroyWindow();
}

TEST_F(DialogTest, HandlersAndTheKeepFocusQuery) {
  Dialog d(1202);
  int clicks = 0;
  d.onCommand(238, [&] { ++clicks; });
  d.onMessage(wm::KeepFocus, [](WParam, LParam) -> LResult { return 1; });
  ASSERT_TRUE(d.Create(1202, nullptr));
  EXPECT_EQ(d.SendMessage(wm::KeepFocus), 1);
  dynamic_cast<Button*>(d.GetDlgItem(238))->userClick();
  EXPECT_EQ(clicks, 1);
  EXPECT_EQ(Dialog(4711).DoModal(), -1);
  EXPECT_TRUE(printed(L"4711 not found"));
}

TEST_F(DialogTest, MessageBoxesRecordAndTakeScriptedAnswers) {
  struct Case {
    unsigned type;
    std::vector<std::wstring> answer;  // empty: none queued
    int result;
  } cases[] = {{mb::Ok, {}, IDOK},
               {mb::YesNo, {L"7"}, IDNO},
               {mb::YesNoCancel, {}, IDCANCEL},
               {mb::YesNo | mb::DefButton2, {}, IDNO},
               {mb::OkCancel, {L"6", L"1"}, IDOK}};  // 6 is not offered: refused, then OK
  for (auto& c : cases) {
    for (auto& a : c.answer) queue(L".msgbox", {a});
    EXPECT_EQ(MessageBox(nullptr, L"支架间距太大！", L"提示", c.type), c.result);
  }
  EXPECT_TRUE(ed::inputQueue().empty());
  ASSERT_EQ(messageBoxLog().size(), 5u);
  EXPECT_TRUE(messageBoxLog()[1].scripted);
  EXPECT_TRUE(printed(L"[提示] 支架间距太大！"));
  EXPECT_EQ(AfxMessageBox(L"x"), IDOK);
  EXPECT_EQ(messageBoxLog().back().caption, L"KivZeb");
}

TEST_F(DialogTest, FileDialogTakesAPathOrCancels) {
  FileDialog save(false, L"GCK", L"", ofn::OverwritePrompt, L"工程库文件(*.GCK)|*.GCK|所有文件(*.*)|*.*||");
  queue(L".file", {L"D:\\备份\\工程1"});
  ASSERT_EQ(save.DoModal(), IDOK);
  EXPECT_EQ(save.GetPathName(), L"D:\\备份\\工程1.GCK");
  EXPECT_EQ(save.GetFileTitle(), L"工程1");
  EXPECT_EQ(save.GetFileExt(), L"GCK");
  FileDialog open(true, L"", L"", ofn::FileMustExist);
  queue(L".file", {L"/no/such/file.jpg"});
  EXPECT_EQ(open.DoModal(), IDCANCEL);
  EXPECT_EQ(open.DoModal(), IDCANCEL);
  EXPECT_TRUE(printed(L"no input"));
}

TEST_F(DialogTest, PngDirectiveRendersTheActiveDialog) {
  Dialog d(1202);
  ASSERT_TRUE(d.Create(1202, nullptr));
  d.ShowWindow(sw::Show);
  auto file = std::filesystem::path(KIV_BINARY_DIR) / "tests/ui_png_directive.png";
  std::filesystem::remove(file);
  queue(L".png", {L"0", file.wstring()});
  auto t = ed::nextInput();  // the immediate directive runs on the way
  EXPECT_FALSE(t.has_value());
  EXPECT_TRUE(ed::lastDirectiveError().empty()) << ed::lastDirectiveError();
  EXPECT_TRUE(std::filesystem::exists(file));
}

// Numbers shown in edit boxes read as a person would type them, and read
// back to the same value.
TEST(DialogNumbers, DoublesShowInPlainDigits) {
  const struct {
    double v;
    const wchar_t* text;
  } cases[] = {{3000, L"3000"}, {90, L"90"}, {0.1, L"0.1"}, {-4200, L"-4200"}, {2.5, L"2.5"}, {0, L"0"}};
  for (const auto& c : cases) {
    EXPECT_EQ(formatDouble(c.v), c.text);
    EXPECT_EQ(parseDouble(formatDouble(c.v)), c.v);
  }
  const double third = 1.0 / 3.0;
  EXPECT_EQ(parseDouble(formatDouble(third)), third);
}

namespace {

// A dialog that binds its own object to a combo only when the combo's
// drop-down closes (UpdateData from the CloseUp handler), as the circuit
// information dialog does: the object the window layer made for the combo is
// replaced while that object is still inside its own selection.
class LateBindDialog : public Dialog {
 public:
  LateBindDialog() : Dialog(1202) {
    onCommandCode(224, cbn::CloseUp, [this] {
      bind = true;
      UpdateData(true);
      selAtCloseUp = system.GetCurSel();
    });
  }
  bool bind = false;
  ComboBox system;
  int selAtCloseUp = -1, selAtOk = -1;
  bool droppedAtOk = true;
  void DoDataExchange(DataExchange* dx) override {
    if (bind) DDX_Control(dx, 224, system);
  }
  void OnOK() override {
    selAtOk = system.GetCurSel();
    droppedAtOk = system.GetDroppedState();
    Dialog::OnOK();
  }
};

}  // namespace

TEST_F(DialogTest, AComboBoundDuringItsOwnNotificationFinishesTheSelection) {
  // Under the sanitizers the replaced object was used after it was deleted;
  // here the selection must reach the bound object whole.
  LateBindDialog d;
  queue(L".select", {L"224", L"消防"});
  queue(L".click", {L"1"});
  EXPECT_EQ(d.DoModal(), IDOK);
  EXPECT_TRUE(d.bind);
  EXPECT_EQ(d.selAtCloseUp, 2);
  EXPECT_EQ(d.selAtOk, 2);
  EXPECT_FALSE(d.droppedAtOk);
}
