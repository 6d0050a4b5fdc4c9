// The material-table dialog (template 234 "提取材料表"): a grid of four
// columns (序号, 构件名称, 构件类型, 标高) over the placeholder static 310.
// Nothing fills it: the command TableConv makes the object and drops it
// again without a window.
#pragma once

#include "module/grid/grid_ctrl.h"
#include "platform/ui/dialog.h"

class CDeviceTableConv : public ui::Dialog {
 public:
  CDeviceTableConv();
  bool OnInitDialog() override;
  CGridCtrl grid;
};
