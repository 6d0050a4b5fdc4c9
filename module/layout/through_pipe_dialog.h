// The through-pipe dialog "贯通": the user stacks segments (component type,
// number, start and end elevation in building elevations) from bottom to
// top. Adding a row chains it onto the row above (its start is the end
// above, its end 3000 higher); deleting a row closes the chain again. The
// rows of the last OK are offered again per category (管道, 水管).
#pragma once

#include <string>

#include "module/layout/list_edit.h"
#include "module/toolkit/strings.h"
#include "platform/ui/dialog.h"

namespace through_ids {
constexpr int kTemplate = 2217, kTree = 2213, kList = 2212, kAdd = 2214, kDelete = 2215;
}

// The rows of the last OK of the multi-line or through-pipe dialog.
extern StringArray g_layoutDlgRows;
extern std::wstring g_throughDlgCategory;
extern StringArray g_throughRowsPipe, g_throughRowsWater;

class CThroughPipeWnd : public ui::Dialog {
 public:
  CThroughPipeWnd();
  void DoDataExchange(ui::DataExchange* dx) override;
  bool OnInitDialog() override;
  void OnOK() override;

  void AddRow();
  void DeleteRow();
  ui::TreeCtrl& tree() { return tree_; }
  CThroughListCtrl& list() { return list_; }

 private:
  void initRowList();
  ui::TreeCtrl tree_;
  CThroughListCtrl list_;
  int rowCount_ = 0;
  int lastEnd_ = 0;
};

// Shows the dialog; on OK rows gets the rows "name,number,start,end" and the
// answer is true; on cancel rows stay and the answer is false.
bool RunThroughPipeDlg(StringArray& rows);
