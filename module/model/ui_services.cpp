// Dialogs of the platform that the shell's commands show (the shell itself
// does not link the window layer).
#include "module/model/model_services.h"
#include "platform/ui/dialog.h"
#include "platform/ui/wnd.h"

bool AskArchivePath(const std::wstring& defaultPath, std::wstring& chosen) {
  ui::FileDialog dlg(false, L"GCK", defaultPath, ui::ofn::HideReadOnly | ui::ofn::OverwritePrompt,
                     L"工程库文件(*.GCK)|*.GCK|所有文件(*.*)|*.*||", ui::mainFrame());
  if (dlg.DoModal() != ui::IDOK) return false;
  chosen = dlg.GetPathName();
  return true;
}
