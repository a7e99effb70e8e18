// The main dialog's two status lines, written by the install flow and the
// install copy from the install worker thread.
#pragma once

#include "platform/platform.h"

// The main dialog's window; set when the dialog opens, null before.
extern platform::WindowHandle mainDialog;

// Sets status line 0 (control 1019) or 1 (control 1021) of mainDialog;
// any other line is ignored.
void setStatusText(const char* text, int line);
