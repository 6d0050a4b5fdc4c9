// ZebConv.Arx: the suite's conversion sibling. The plug-in only looks up its
// module handle, so it loads, answers every message and does nothing else.
#include "platform/editor/app.h"

extern "C" int acrxEntryPoint(int /*msg*/, void* /*appId*/) { return ed::kRetOk; }
