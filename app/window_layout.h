// Placement of the program's dialogs on the screen.
#pragma once

#include <windows.h>

// Moves the window to the centre of the desktop's work area (the screen
// without the taskbar), keeping its size.
void centreOnWorkArea(HWND window);
