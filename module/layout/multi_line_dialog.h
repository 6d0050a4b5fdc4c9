// The multi-line dialog: the runs to lay together along one drawn path, each
// a component type and number with a vertical and a horizontal offset. Added
// rows get horizontal offsets 100 apart beyond the largest one listed; the
// rows of the last OK are offered again per category (管道, 管线, 水管).
// MultiPipe, MultiWaterP and MultiPipeLine lay the rows with the multi-line
// engine.
#pragma once

#include <string>

#include "module/layout/list_edit.h"
#include "module/toolkit/strings.h"
#include "platform/ui/dialog.h"

namespace multi_ids {
constexpr int kTemplate = 1208, kTree = 1206, kList = 1207, kAdd = 209, kDelete = 210;
}

extern std::wstring g_multiDlgCategory;
extern StringArray g_multiRowsPipe, g_multiRowsPipeline, g_multiRowsWater;

class CMultiPipe : public ui::Dialog {
 public:
  explicit CMultiPipe(const std::wstring& caption);
  void DoDataExchange(ui::DataExchange* dx) override;
  bool OnInitDialog() override;
  void OnOK() override;

  void AddRow();
  void DeleteRow();

 private:
  int nextOffset() const;
  CEditListCtrl list_;
  ui::TreeCtrl tree_;
  std::wstring caption_;
};

// Shows the dialog; on OK rows gets "name,number,vertical,horizontal" per
// row and the answer is true; on cancel the rows stay and the answer is false.
bool RunMultiPipeDlg(StringArray& rows, const std::wstring& caption);
