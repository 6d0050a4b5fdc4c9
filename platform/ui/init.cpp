// Start-up of the layer: classes and host directives.
#include "platform/ui/ui.h"

#include "platform/os/os.h"
#include "platform/ui/detail.h"

namespace ui {

void init() {
  registerControlClasses();
  for (const wchar_t* n : {L".set", L".click", L".dblclick", L".select", L".check", L".menu", L".msgbox", L".file",
                           L".dragto", L".drop"})
    ed::registerAnswerDirective(n);
  // .png ID PATH: renders a window. ID 0 is the active dialog (else the main
  // frame); another id is a control of the active dialog, or a dialog
  // (template id) that is open.
  ed::registerDirective(L".png", [](const ed::InputToken& t, std::wstring& error) -> bool {
    if (t.args.size() < 2) {
      error = L".png needs: ID PATH";
      return false;
    }
    auto id = parseId(t.args[0]);
    if (!id) {
      error = L".png: \"" + t.args[0] + L"\" is not a window id";
      return false;
    }
    std::wstring path;
    for (size_t i = 1; i < t.args.size(); ++i) path += (i > 1 ? L" " : L"") + t.args[i];
    Wnd* w = nullptr;
    Dialog* active = currentDialog();
    if (*id == 0) {
      w = active ? static_cast<Wnd*>(active) : mainFrame();
    } else {
      if (active) w = active->GetDlgItem(*id);
      if (!w)
        for (Dialog* d : openDialogs())
          if (int(d->templateId()) == *id) w = d;
    }
    if (!w) {
      error = L".png: no window " + t.args[0];
      return false;
    }
    return renderWindowToPng(w, os::nativePath(path), &error);
  });
}

}  // namespace ui
