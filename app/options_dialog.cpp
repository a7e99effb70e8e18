// The install options dialog. It writes the user's choice straight into the
// setup engine (selection flags, install range, required size) and answers
// the main dialog only through optionsResult.
#include "app/options_dialog.h"

#include "app/window_layout.h"
#include "base/bounded_text.h"
#include "engine/install_options.h"
#include "engine/product_config.h"
#include "engine/setup_engine.h"
#include "resources/control_ids.h"

int optionsResult = 0;

namespace {

// Install types as the registration record stores them.
constexpr int kTypeWholeList = 2;
constexpr int kTypeBaseFiles = 1;
constexpr int kWholeListEnd = 9999;

struct PartBox {
    int controlId;
    int entry;
};
constexpr PartBox kPartBoxes[] = {
    {IDC_PART_GRAPHICS, kGraphicsPart},
    {IDC_PART_MUSIC, kMusicPart},
    {IDC_PART_VOICE, kVoicePart},
};

void showSize(HWND dialog, const char* format, uint32_t megabytes) {
    char text[64];
    formatText(text, sizeof text, format, static_cast<int>(megabytes));
    SetDlgItemTextA(dialog, IDC_REQUIRED_SIZE, text);
}

void openOptions(HWND dialog) {
    SendMessageA(dialog, WM_SETTEXT, 0,
                 reinterpret_cast<LPARAM>("インストールする項目の選択"));
    centreOnWorkArea(dialog);
    optionsResult = 0;
    SendDlgItemMessageA(dialog, IDC_BASE_PART, BM_SETCHECK, BST_CHECKED, 0);
    for (const PartBox& box : kPartBoxes) {
        if (setupEngine.selected[box.entry] == 1) {
            SendDlgItemMessageA(dialog, box.controlId, BM_SETCHECK, BST_CHECKED, 0);
        }
    }
}

// Toggles between the whole list and the base files (entries 0 to 10).
void switchInstallType(HWND dialog) {
    optionsResult = (optionsResult - 1) & 1;
    const bool wholeList = optionsResult == 1;
    const uint32_t megabytes = ProductConfig::sizeTable[wholeList ? 1 : 2];
    setupEngine.setInstallRange(wholeList ? kTypeWholeList : kTypeBaseFiles, 0,
                                wholeList ? kWholeListEnd : ProductConfig::kUninstallerIndex);
    setupEngine.setRequiredMegabytes(megabytes);
    showSize(dialog, "%dM byte", megabytes);
}

void takePartBox(HWND dialog, const PartBox& box) {
    const LRESULT state = SendDlgItemMessageA(dialog, box.controlId, BM_GETCHECK, 0, 0);
    setupEngine.selected[box.entry] = state == BST_CHECKED ? 1 : 0;
    const uint32_t megabytes = requiredMegabytesForSelection();
    ProductConfig::sizeTable[0] = megabytes;
    setupEngine.setRequiredMegabytes(megabytes);
    showSize(dialog, "%dM", megabytes);
}

void runOptionsCommand(HWND dialog, int command) {
    switch (command) {
    case IDC_OPTIONS_OK:
        EndDialog(dialog, IDC_OPTIONS_OK);
        return;
    case IDC_OPTIONS_CANCEL:
        optionsResult = kOptionsCancelled;
        EndDialog(dialog, IDC_OPTIONS_CANCEL);
        return;
    case IDC_INSTALL_TYPE:
        switchInstallType(dialog);
        return;
    default:
        break;
    }
    // Esc and every other command leave the dialog open.
    for (const PartBox& box : kPartBoxes) {
        if (box.controlId == command) takePartBox(dialog, box);
    }
}

}  // namespace

INT_PTR CALLBACK optionsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        openOptions(dialog);
        return TRUE;
    case WM_COMMAND:
        runOptionsCommand(dialog, LOWORD(wParam));
        return TRUE;
    default:
        return FALSE;
    }
}
