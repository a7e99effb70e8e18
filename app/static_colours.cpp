// Colours and the bold font of the main dialog's static controls. The font
// is made once, at the first label painted, and kept until the dialog goes
// away, rather than made anew for every paint.
#include "app/static_colours.h"

#include "resources/control_ids.h"

namespace {

HFONT labelFont = nullptr;

HFONT boldLabelFont() {
    if (!labelFont) {
        labelFont = CreateFontA(16, 8, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, SHIFTJIS_CHARSET,
                                OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY,
                                FIXED_PITCH | FF_DONTCARE, nullptr);
    }
    return labelFont;
}

}  // namespace

INT_PTR colourStaticControl(HDC deviceContext, HWND control) {
    const int id = GetDlgCtrlID(control);
    if (id == IDC_INSTALL_PATH) SetBkColor(deviceContext, RGB(236, 233, 216));
    if (id != IDC_WHITE_LABEL && id != IDC_BLACK_LABEL) return TRUE;
    if (HFONT font = boldLabelFont()) SelectObject(deviceContext, font);
    SetTextColor(deviceContext, id == IDC_WHITE_LABEL ? RGB(255, 255, 255) : RGB(0, 0, 0));
    SetBkMode(deviceContext, TRANSPARENT);
    // No background of its own: the window behind the label shows through.
    return reinterpret_cast<INT_PTR>(GetStockObject(NULL_BRUSH));
}

void releaseLabelFont() {
    if (labelFont) DeleteObject(labelFont);
    labelFont = nullptr;
}
