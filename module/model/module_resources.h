// The module's own window resources (dialog templates and bitmaps), read once
// from the text files of the resource folder: "resources" beside the plug-in
// when it is there, else module/resources of the source tree.
#pragma once

#include "platform/ui/resources.h"

const ui::Resources& ModuleUiResources();

// Makes the module's resources current for the dialogs created in its scope.
class UiResourceScope {
 public:
  UiResourceScope() { ui::pushResources(&ModuleUiResources()); }
  ~UiResourceScope() { ui::popResources(); }
  UiResourceScope(const UiResourceScope&) = delete;
  UiResourceScope& operator=(const UiResourceScope&) = delete;
};

