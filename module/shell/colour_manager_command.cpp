// KivColorManage: shows the colour manager (a modeless dialog of the
// component model) unless it is already visible.
#include "module/shell/command_table.h"
#include "module/model/model_services.h"
#include "module/shell/module.h"

void CmdKivColorManage() {
  ModuleResourceScope resources;
  OpenColorManager();
}
