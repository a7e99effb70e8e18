// Colours and the bold font of the main dialog's static controls.
#pragma once

#include <windows.h>

// The answer to WM_CTLCOLORSTATIC for the control: a background colour for
// the install path, a bold font on no background for the two labels.
INT_PTR colourStaticControl(HDC deviceContext, HWND control);
// Deletes the labels' font; called when the dialog goes away.
void releaseLabelFont();
