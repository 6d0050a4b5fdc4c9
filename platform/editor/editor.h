// Everything the editor offers, in one include.
#pragma once

#include "platform/editor/app.h"
#include "platform/editor/cmdline.h"
#include "platform/editor/commands.h"
#include "platform/editor/document.h"
#include "platform/editor/hostcmd.h"
#include "platform/editor/input.h"
#include "platform/editor/inputpoint.h"
#include "platform/editor/progress.h"
#include "platform/editor/prompts.h"
#include "platform/editor/reactor.h"
#include "platform/editor/selection.h"
#include "platform/editor/status.h"
#include "platform/editor/sysvars.h"
#include "platform/editor/winmsg.h"

namespace ed {

// The hook cadhost calls between inputs (the window layer pumps its message
// queue here), and before a prompt reads its next token.
void setIdleHook(std::function<void()> hook);
void runIdleHook();

// Puts the editor back to its start state: documents, command stack (host
// commands registered again), reactors, hooks, sysvars, selection sets,
// transcript, input queue. Tests call it between cases.
void resetEditor();

}  // namespace ed
