// The small commands of the shell and the launchers of the window library's
// windows and of the conversion dialogs.
#include "module/shell/small_commands.h"

#include <cwchar>
#include <memory>
#include <string>
#include <vector>

#include "module/shell/command_table.h"
#include "module/conversion/conversion_dialogs.h"
#include "module/shell/module.h"
#include "module/toolkit/offset_input.h"
#include "module/toolkit/window_lib.h"
#include "module/toolkit/entities.h"
#include "platform/cad/database.h"
#include "platform/cad/entities.h"
#include "platform/editor/document.h"
#include "platform/editor/prompts.h"
#include "platform/editor/status.h"
#include "platform/ui/dialog.h"

namespace {

void queueForCurrentDocument(const wchar_t* text) {
  ed::DocumentManager& dm = ed::docManager();
  dm.sendStringToExecute(dm.curDocument(), text, true, false, true);
}

// The lines of one KivPickupElev run, each inside a transaction of its own
// that stays open until the command ends, so that Undo can abort the newest.
class LineChain {
 public:
  explicit LineChain(std::wstring layer) : layer_(std::move(layer)) {}
  LineChain(const LineChain&) = delete;
  LineChain& operator=(const LineChain&) = delete;
  // Ends the transactions still open, newest first: the lines stay.
  ~LineChain() {
    cad::TransactionManager* tm = transactions();
    for (int i = 0; tm && i < openLines_; ++i) tm->endTransaction();
  }

  // Draws the line from a to b in a new transaction; false when the command
  // has to end.
  bool AddLine(const geom::Point3d& a, const geom::Point3d& b) {
    cad::TransactionManager* tm = transactions();
    if (!tm) return false;
    cad::Transaction* tr = tm->startTransaction();
    if (!tr) return false;
    ++openLines_;
    auto* line = new cad::Line(a, b);
    // The append makes the layer when missing and makes it current; on
    // failure it has deleted the line.
    if (AppendToModelSpace(line, layer_, ed::curDatabase()).isNull()) {
      AbortNewest();
      return false;
    }
    if (tr->addNewlyOpenedObject(line) != cad::Status::Ok) {
      line->erase();
      line->close();
      AbortNewest();
      return false;
    }
    line->close();
    return true;
  }

  // Aborts the newest line's transaction: the line vanishes.
  void AbortNewest() {
    cad::TransactionManager* tm = transactions();
    if (!tm || openLines_ == 0) return;
    tm->abortTransaction();
    --openLines_;
  }

 private:
  static cad::TransactionManager* transactions() {
    ed::Document* doc = ed::curDoc();
    return doc ? doc->transactionManager() : nullptr;
  }
  std::wstring layer_;
  int openLines_ = 0;
};

}  // namespace

void CmdKivInputSnapAll() {
  queueForCurrentDocument(kInputSnapAllString);
  g_inputSnapPart = 0;
}

void CmdKivInputSnapPart() {
  queueForCurrentDocument(kInputSnapPartString);
  g_inputSnapPart = 1;
}

void CmdKivLineLen() {
  geom::Point3d first, second;
  while (ed::getPoint(nullptr, kLineLenFirstPrompt, first) == ed::kNormal) {
    if (ed::getPoint(nullptr, kLineLenSecondPrompt, second) != ed::kNormal) return;
    wchar_t text[64];
    std::swprintf(text, 64, L"%f", first.distanceTo(second));
    ui::AfxMessageBox(text);
  }
}

void CmdKivPickupElev() {
  LineChain chain(winlib::CmbGetName(winlib::kComboName));
  std::vector<geom::Point3d> points;  // the points of the chain, in input order
  for (;;) {
    geom::Point3d pt;
    if (points.empty()) {
      if (ed::getPoint(nullptr, kChainFirstPrompt, pt) != ed::kNormal) return;
      points.push_back(pt);
      continue;
    }
    const bool canClose = points.size() >= 3;
    ed::initGet(0, canClose ? L"Close Undo" : L"Undo");
    const geom::Point3d last = points.back();
    const int rc = ed::getPoint(&last, canClose ? kChainNextOrClosePrompt : kChainNextPrompt, pt);
    if (rc == ed::kNormal) {
      if (!chain.AddLine(last, pt)) return;
      points.push_back(pt);
    } else if (rc == ed::kKeyword) {
      std::wstring word;
      ed::getInput(word);
      if (word == L"Undo") {
        if (points.size() >= 2) chain.AbortNewest();
        points.pop_back();
      } else if (word == L"Close" && canClose) {
        chain.AddLine(last, points.front());
        return;
      }
    } else {
      return;  // Enter, Escape or an error
    }
  }
}

void CmdKivTotalRule() { winlib::TotalRule(); }
void CmdKivPiece() { winlib::PieceMain(1); }
void CmdKivPieceLoad() { winlib::PieceLoad(); }

void CmdDeviceConv() {
  ModuleResourceScope resources;
  ShowDeviceConv();
}
void CmdPipeConv() {
  ModuleResourceScope resources;
  ShowPipeConv();
}
void CmdPipeLineConv() {
  ModuleResourceScope resources;
  ShowPipeLineConv();
}
void CmdAirDuctConv() {
  ModuleResourceScope resources;
  ShowAirDuctConv();
}
void CmdWaterPipeConv() {
  ModuleResourceScope resources;
  ShowWaterPipeConv();
}
// The material table dialog is made and destroyed again without a window:
// the command shows nothing and changes nothing.
void CmdTableConv() {
  ModuleResourceScope resources;
  RunTableConv();
}
