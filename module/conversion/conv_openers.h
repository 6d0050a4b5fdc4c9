// The opener of a conversion dialog: one instance per kind. Nothing happens
// while the kind's dialog is visible; otherwise a hidden earlier one is
// destroyed, a new one is made on its template over the CAD main frame,
// given the conversion area's base points and entities, and shown.
#pragma once

#include "module/conversion/conv_base.h"
#include "module/conversion/conversion_dialogs.h"
#include "module/model/module_resources.h"
#include "platform/editor/cmdline.h"

template <class T>
bool OpenConvDialog(T*& dlg) {
  UiResourceScope resources;
  if (EnsureConvArea() != 1) return false;
  if (dlg && dlg->m_hWnd && dlg->IsWindowVisible()) return false;
  DestroyConvDialog(dlg);
  auto* made = new T;
  if (!made->Create(made->templateId(), ui::mainFrame())) {
    delete made;
    ed::printText(L"\n转换对话框无法打开。\n");
    return false;
  }
  dlg = made;
  dlg->CenterWindow(ui::mainFrame());
  dlg->sourceX = g_convArea->sourceX;
  dlg->sourceY = g_convArea->sourceY;
  dlg->targetX = g_convArea->targetX;
  dlg->targetY = g_convArea->targetY;
  dlg->SetAreaIds(g_convArea->areaIds);
  dlg->ShowWindow(ui::sw::Show);
  return true;
}
