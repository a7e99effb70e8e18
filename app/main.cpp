// The program's entry: the host window, the engine's start from the product
// configuration, the main dialog, and the last message loop whose quit
// message gives the exit code.
#include <windows.h>
#include <commctrl.h>

#include "app/host_window.h"
#include "app/main_dialog.h"
#include "engine/product_config.h"
#include "engine/setup_engine.h"
#include "resources/control_ids.h"
#include "shell/folder_browser.h"

HWND hostWindow = nullptr;
HINSTANCE appInstance = nullptr;

namespace {

bool registerHostClass(HINSTANCE instance) {
    WNDCLASSA windowClass{};
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = hostWindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_PROGRAM_ICON));
    windowClass.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    windowClass.lpszClassName = ProductConfig::windowClassName;
    return RegisterClassA(&windowClass) != 0;
}

// The setup window's progress bar needs the common controls' classes.
void registerCommonControls() {
    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof controls;
    controls.dwICC = ICC_PROGRESS_CLASS;
    InitCommonControlsEx(&controls);
}

// The release's manifest, where the packager compiled one into the program.
void useReleaseManifest() {
    const void* manifest = nullptr;
    size_t size = 0;
    if (platform::programResource(IDR_RELEASE_MANIFEST, manifest, size)) {
        setupEngine.useReleaseManifest(manifest, size);
    }
}

// False when an update ended in its replace step could not be put back:
// the player has been told to end the game and start the program again.
bool startEngine() {
    // The engine copies the list, so the executable's name must be in
    // place before it is initialized.
    ProductConfig::installList[ProductConfig::kGameExecutableIndex] =
        ProductConfig::gameExecutable;
    setupEngine.initialize(ProductConfig::installList, ProductConfig::updateList,
                           ProductConfig::volumeLabelList, hostWindow, nullptr,
                           ProductConfig::makerName, ProductConfig::productTitle,
                           ProductConfig::dataFolderName, ProductConfig::sizeTable[0]);
    setupEngine.setProgressControl(IDC_PROGRESS);
    setupEngine.setStatusControls(IDC_STATUS_LINE_0, IDC_STATUS_LINE_1);
    folderBrowser.attach(appInstance, hostWindow);
    useReleaseManifest();
    // An update ended in its replace step (killed, or the power went) left
    // the game a mix of old and new files: they are put back before
    // anything is asked.
    return setupEngine.installState != 1 || setupEngine.putBackEndedUpdate();
}

// Runs the main dialog; false when it could not be shown at all, in which
// case nobody posts the quit message the final loop waits for.
bool runMainDialog(HINSTANCE instance) {
    SetLastError(0);
    const INT_PTR result = DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_MAIN_DIALOG),
                                           hostWindow, mainDialogProc, 0);
    return result != -1 && !(result == 0 && GetLastError() != 0);
}

// Serves what is still queued and returns the quit message's code. Every
// path that ends the main dialog has already posted the quit message.
int drainMessages() {
    MSG message;
    for (;;) {
        if (!PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) continue;
        if (message.message == WM_QUIT) return static_cast<int>(message.wParam);
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

}  // namespace

bool createHostWindow(HINSTANCE instance, HINSTANCE previousInstance, int showCommand,
                      bool refuseSecondCopy) {
    if (refuseSecondCopy &&
        FindWindowA(ProductConfig::windowClassName, ProductConfig::productTitle)) {
        return false;
    }
    if (!previousInstance && !registerHostClass(instance)) return false;
    HWND window = CreateWindowExA(0, ProductConfig::windowClassName,
                                  ProductConfig::productTitle, WS_POPUP, CW_USEDEFAULT,
                                  CW_USEDEFAULT, 0, 0, nullptr, nullptr, instance, nullptr);
    if (!window) return false;
    ShowWindow(window, showCommand);
    hostWindow = window;
    appInstance = instance;
    return true;
}

LRESULT CALLBACK hostWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

// The C runtime passes the show command of the start-up information, or
// SW_SHOWDEFAULT when it gives none. The command line is not used.
int WINAPI WinMain(HINSTANCE instance, HINSTANCE previousInstance, LPSTR, int showCommand) {
    if (!createHostWindow(instance, previousInstance, showCommand, true)) return 0;
    registerCommonControls();
    if (!startEngine()) return 1;
    if (!runMainDialog(instance)) return 0;
    return drainMessages();
}
