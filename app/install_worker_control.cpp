// The main dialog's side of the install worker thread. The worker changes
// the dialog's controls and shows message boxes owned by it, which the
// system carries out on the dialog's thread: whoever waits for the worker on
// that thread must keep serving messages.
#include "app/install_worker_control.h"

#include "app/main_dialog.h"
#include "engine/setup_engine.h"
#include "resources/control_ids.h"

uint32_t installThreadId = 0;
platform::ThreadHandle installThread = nullptr;

namespace {

template <size_t count>
void setControlsEnabled(const int (&ids)[count], bool enabled) {
    for (int id : ids) EnableWindow(GetDlgItem(mainDialog, id), enabled ? TRUE : FALSE);
}

// The install worker thread: locks the setup buttons, runs the install and
// gives the buttons back by its outcome, after saying that it failed.
void installWorker(void*) {
    static const int kLockedDuringInstall[] = {IDC_UNINSTALL, IDC_START_GAME, IDC_README,
                                               IDC_MANUAL, IDC_CLOSE_BUTTON, IDC_CHOOSE_FOLDER};
    static const int kInstalledEnabled[] = {IDC_UNINSTALL, IDC_START_GAME, IDC_README, IDC_MANUAL,
                                            IDC_CLOSE_BUTTON};
    static const int kNotInstalledEnabled[] = {IDC_INSTALL, IDC_README, IDC_MANUAL,
                                               IDC_CLOSE_BUTTON, IDC_CHOOSE_FOLDER};
    setControlsEnabled(kLockedDuringInstall, false);
    if (setupEngine.runInstall()) {
        EnableWindow(GetDlgItem(mainDialog, IDC_INSTALL), FALSE);
        setControlsEnabled(kInstalledEnabled, true);
    } else {
        MessageBoxA(mainDialog,
                    "インストールが正常に行われませんでした。\nもう一度ご確認の上、インストールを行ってください。",
                    "確認", MB_OK | MB_ICONWARNING);
        setControlsEnabled(kNotInstalledEnabled, true);
    }
    SetDlgItemTextA(mainDialog, IDC_INSTALL, "インストール");
}

// How often the close wait looks whether a copy has started to cancel it.
constexpr DWORD kCancelPollMilliseconds = 100;

void serveDialogMessages(HWND dialog) {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        // The dialog posts its own quit message once it has closed.
        if (message.message == WM_QUIT) continue;
        if (IsDialogMessageA(dialog, &message)) continue;
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

}  // namespace

bool installWorkerRunning() {
    return installThread && WaitForSingleObject(installThread, 0) == WAIT_TIMEOUT;
}

bool startInstallWorker() {
    if (installThread) platform::closeThread(installThread);
    installThread = nullptr;
    if (!platform::startThread(installWorker, nullptr, installThreadId, installThread)) {
        installThreadId = 0;
        installThread = nullptr;
        return false;
    }
    return true;
}

void requestInstallCancel(HWND dialog) {
    if (!setupEngine.isCopyRunning()) return;
    int32_t expected = kCancelNone;
    if (setupEngine.cancelState.compare_exchange_strong(expected, kCancelRequested)) {
        EnableWindow(GetDlgItem(dialog, IDC_INSTALL), FALSE);
    }
}

void finishInstallBeforeClose(HWND dialog) {
    HANDLE worker = installThread;
    for (;;) {
        // The worker may still be before its copy (free-space check, folder
        // question): cancel the copy as soon as it starts.
        requestInstallCancel(dialog);
        const DWORD woken = MsgWaitForMultipleObjects(1, &worker, FALSE,
                                                      kCancelPollMilliseconds, QS_ALLINPUT);
        if (woken == WAIT_OBJECT_0 || woken == WAIT_FAILED) break;
        serveDialogMessages(dialog);
    }
}
