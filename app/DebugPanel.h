#pragma once
// The F1 panel that edits the registered debug variables. Main thread only.
#include "frame/DebugVars.h"
#include "render/DebugText.h"

void UpdateDebugPanel();
