// Colours and the bold font of the main dialog's static controls. The font
// and the install path's brush are made once, at the first paint that needs
// them, and kept until the dialog goes away, rather than made anew for every
// paint.
#include "app/static_colours.h"

#include "resources/control_ids.h"

namespace {

const COLORREF pathBackground = RGB(236, 233, 216);

HFONT labelFont = nullptr;
HBRUSH pathBrush = nullptr;

HFONT boldLabelFont() {
    if (!labelFont) {
        labelFont = CreateFontA(16, 8, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, SHIFTJIS_CHARSET,
                                OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY,
                                FIXED_PITCH | FF_DONTCARE, nullptr);
    }
    return labelFont;
}

HBRUSH pathBackgroundBrush() {
    if (!pathBrush) pathBrush = CreateSolidBrush(pathBackground);
    return pathBrush;
}

INT_PTR colourLabel(HDC deviceContext, int id) {
    if (HFONT font = boldLabelFont()) SelectObject(deviceContext, font);
    SetTextColor(deviceContext, id == IDC_WHITE_LABEL ? RGB(255, 255, 255) : RGB(0, 0, 0));
    SetBkMode(deviceContext, TRANSPARENT);
    // No background of its own: the window behind the label shows through.
    return reinterpret_cast<INT_PTR>(GetStockObject(NULL_BRUSH));
}

}  // namespace

INT_PTR colourStaticControl(HDC deviceContext, HWND control) {
    const int id = GetDlgCtrlID(control);
    if (id == IDC_WHITE_LABEL || id == IDC_BLACK_LABEL) return colourLabel(deviceContext, id);
    // The install path's whole box, not only its text, takes its colour.
    if (id == IDC_INSTALL_PATH) {
        if (HBRUSH brush = pathBackgroundBrush()) {
            SetBkColor(deviceContext, pathBackground);
            return reinterpret_cast<INT_PTR>(brush);
        }
    }
    // Every other text sits on the dialog's own face.
    SetBkColor(deviceContext, GetSysColor(COLOR_BTNFACE));
    return reinterpret_cast<INT_PTR>(GetSysColorBrush(COLOR_BTNFACE));
}

void releaseStaticColours() {
    if (labelFont) DeleteObject(labelFont);
    if (pathBrush) DeleteObject(pathBrush);
    labelFont = nullptr;
    pathBrush = nullptr;
}
