// Placement of the program's dialogs: both dialogs open centred on the work
// area, so that a taskbar never covers part of them.
#include "app/window_layout.h"

void centreOnWorkArea(HWND window) {
    RECT work{};
    RECT frame{};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    GetWindowRect(window, &frame);
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    // Halved with an arithmetic shift, so a work area left of or above the
    // primary screen's origin still centres correctly.
    const int x = (work.left + work.right - width) >> 1;
    const int y = (work.top + work.bottom - height) >> 1;
    MoveWindow(window, x, y, width, height, TRUE);
}
