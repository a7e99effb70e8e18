// The main dialog. One procedure serves the update window (Update, Cancel,
// the question) and the setup window (install, uninstall, folder, start
// game, readme, manual, progress and status lines): commands whose controls
// a window lacks never arrive, and calls on missing controls do nothing.
#include "app/main_dialog.h"

#include "app/host_window.h"
#include "app/install_worker_control.h"
#include "app/options_dialog.h"
#include "app/static_colours.h"
#include "app/window_layout.h"
#include "base/bounded_text.h"
#include "base/paths.h"
#include "engine/product_config.h"
#include "engine/setup_engine.h"
#include "resources/control_ids.h"
#include "shell/folder_browser.h"

HWND mainDialog = nullptr;

namespace {

constexpr INT_PTR kDialogEnded = 2;
constexpr int kWholeListEnd = 9999;

// Set while the dialog waits for an install to stop before closing; every
// command is ignored then.
bool closing = false;
// Set while the folder dialog is open. It is owned by the hidden host
// window, so this window stays live beneath it: it is disabled meanwhile,
// and commands that still reach it are ignored, so that no install starts
// into a folder the user is still choosing.
bool browsing = false;

void enableControl(HWND dialog, int id, bool enabled) {
    EnableWindow(GetDlgItem(dialog, id), enabled ? TRUE : FALSE);
}

void showSetupButtons(HWND dialog, bool installed) {
    enableControl(dialog, IDC_INSTALL, !installed);
    enableControl(dialog, IDC_UNINSTALL, installed);
    enableControl(dialog, IDC_START_GAME, installed);
    enableControl(dialog, IDC_CHOOSE_FOLDER, !installed);
}

// The folder an install would use: the chosen base, the maker, the game.
void showInstallPath(HWND dialog) {
    char path[kTextCapacity];
    joinPath(path, sizeof path, setupEngine.installBase, ProductConfig::makerName,
             ProductConfig::dataFolderName);
    SetDlgItemTextA(dialog, IDC_INSTALL_PATH, path);
}

void openMainDialog(HWND dialog) {
    mainDialog = dialog;
    closing = false;
    // Only the setup window has a progress bar; the install copy shows its
    // progress there and the engine's messages are owned by it.
    if (GetDlgItem(dialog, IDC_PROGRESS)) setupEngine.setDialogWindow(dialog);
    char text[kTextCapacity];
    formatText(text, sizeof text, "%s　を\nアップデートしますか？", ProductConfig::productTitle);
    SetDlgItemTextA(dialog, IDC_QUESTION, text);
    formatText(text, sizeof text, "%s Updata", ProductConfig::productTitle);
    SendMessageA(dialog, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
    centreOnWorkArea(dialog);
    showSetupButtons(dialog, setupEngine.installState == 1);
    showInstallPath(dialog);
}

void closeMainDialog(HWND dialog) {
    EndDialog(dialog, kDialogEnded);
    PostQuitMessage(0);
}

// Closing while an install runs would let the process's teardown free the
// lists the worker and the copy still read: stop the install first.
void closeCommand(HWND dialog) {
    if (installWorkerRunning()) {
        closing = true;
        enableControl(dialog, IDC_CLOSE, false);
        finishInstallBeforeClose(dialog);
    }
    closeMainDialog(dialog);
}

// Esc (and the system's close) give command 2. While an install runs it
// does nothing: an install is stopped only by its own button or by Close.
void cancelCommand(HWND dialog) {
    if (installWorkerRunning()) return;
    closeCommand(dialog);
}

INT_PTR installCommand(HWND dialog) {
    if (setupEngine.isCopyRunning()) {
        requestInstallCancel(dialog);
        return TRUE;
    }
    // Outside its copy phase the worker is still busy: never start a second.
    if (installWorkerRunning()) return TRUE;
    DialogBoxParamA(appInstance, MAKEINTRESOURCEA(IDD_INSTALL_OPTIONS),
                    mainDialog, optionsDialogProc, 0);
    if (optionsResult == kOptionsCancelled) return TRUE;
    if (!startInstallWorker()) return FALSE;
    SetDlgItemTextA(dialog, IDC_INSTALL, "中断");
    return TRUE;
}

void updateCommand(HWND dialog) {
    if (setupEngine.installState == 0) {
        MessageBoxA(dialog,
                    "インストールがされてませんでした。\n"
                    "インストールを行ってからアップデートしてください。",
                    "確認", MB_ICONWARNING);
        return;
    }
    setupEngine.runUpdate();
    closeMainDialog(dialog);
}

// The window closes only when the game did start; when the shell refused
// (the executable is missing or broken) it stays for another try.
void startGameCommand(HWND dialog) {
    if (setupEngine.startGame()) closeMainDialog(dialog);
}

void chooseFolderCommand(HWND dialog) {
    browsing = true;
    EnableWindow(dialog, FALSE);
    chooseInstallBase(folderBrowser, setupEngine);
    EnableWindow(dialog, TRUE);
    SetForegroundWindow(dialog);
    browsing = false;
    showInstallPath(dialog);
}

void uninstallCommand(HWND dialog) {
    if (!setupEngine.runUninstall()) return;
    setupEngine.setInstallRange(0, 0, kWholeListEnd);
    showSetupButtons(dialog, false);
}

INT_PTR runCommand(HWND dialog, int command) {
    if (closing || browsing) return TRUE;
    switch (command) {
    case IDC_INSTALL:
        return installCommand(dialog);
    case IDC_CLOSE_BUTTON:
        cancelCommand(dialog);
        return TRUE;
    case IDC_CLOSE:
        closeCommand(dialog);
        return TRUE;
    case IDC_START_GAME:
        startGameCommand(dialog);
        return TRUE;
    case IDC_CHOOSE_FOLDER:
        chooseFolderCommand(dialog);
        return TRUE;
    case IDC_README:
        setupEngine.openReadme();
        return TRUE;
    case IDC_MANUAL:
        setupEngine.openManual();
        return TRUE;
    case IDC_UPDATE:
        updateCommand(dialog);
        return TRUE;
    case IDC_UNINSTALL:
        uninstallCommand(dialog);
        return TRUE;
    default:
        return TRUE;
    }
}

}  // namespace

INT_PTR CALLBACK mainDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        openMainDialog(dialog);
        return TRUE;
    case WM_COMMAND:
        return runCommand(dialog, LOWORD(wParam));
    case WM_CTLCOLORSTATIC:
        return colourStaticControl(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case WM_NCDESTROY:
        releaseStaticColours();
        return FALSE;
    default:
        return FALSE;
    }
}
