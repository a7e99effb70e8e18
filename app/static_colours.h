// Colours and the bold font of the main dialog's static controls.
#pragma once

#include <windows.h>

// The answer to WM_CTLCOLORSTATIC for the control: a bold font on no
// background for the two labels, a background colour of its own for the
// install path, the dialog's face for every other static text.
INT_PTR colourStaticControl(HDC deviceContext, HWND control);
// Deletes the labels' font and the install path's brush; called when the
// dialog goes away.
void releaseStaticColours();
