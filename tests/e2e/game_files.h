// The world around a program under test: where the built programs are and
// the game's registration record in the registry; and the fixture both
// programs' tests share, which starts a program and answers its messages.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "driver/program_driver.h"
#include "tests/support/scratch_folder.h"

namespace e2e {

// The folder holding the built programs, from the PROGRAM_DIR variable (a
// Unix path is turned into its Z: drive form); the current folder without it.
inline std::string builtProgramDir() {
    const char* dir = std::getenv("PROGRAM_DIR");
    if (dir == nullptr || *dir == '\0') return ".";
    std::string path(dir);
    if (path[0] == '/') path = "Z:" + path;
    for (char& c : path)
        if (c == '/') c = '\\';
    while (path.size() > 3 && path.back() == '\\') path.pop_back();
    return path;
}

// The game's registration record under HKEY_LOCAL_MACHINE, in the same
// registry view as the programs.
inline const char* const kRecordKey = "SOFTWARE\\Torvane\\Vellomira";

inline bool writeRecord(const std::string& dir, const std::string& cd, DWORD instType) {
    auto set = [](const char* name, DWORD type, const void* data, size_t size) {
        return RegSetKeyValueA(HKEY_LOCAL_MACHINE, kRecordKey, name, type, data,
                               static_cast<DWORD>(size)) == ERROR_SUCCESS;
    };
    return set("Dir", REG_SZ, dir.c_str(), dir.size() + 1) &&
           set("CD", REG_SZ, cd.c_str(), cd.size() + 1) &&
           set("InstType", REG_DWORD, &instType, sizeof instType);
}

inline void removeRecord() {
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, kRecordKey);
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Torvane");  // only when left empty
}

// The Dir value of the game's record; empty when there is no record.
inline std::string recordedDir() {
    char dir[1024] = {};
    DWORD size = sizeof dir;
    RegGetValueA(HKEY_LOCAL_MACHINE, kRecordKey, "Dir", RRF_RT_REG_SZ, nullptr, dir, &size);
    return dir;
}

// The caption of both programs' main window.
inline const std::string kCaption = "Vellomira Updata";

class ProgramTest : public ::testing::Test {
protected:
    // Copies the built program name to path.
    static void copyBuilt(const char* name, const std::string& path) {
        const std::string built = joinPath(builtProgramDir(), name);
        ASSERT_TRUE(CopyFileA(built.c_str(), path.c_str(), FALSE))
            << "cannot copy " << built << " (is PROGRAM_DIR the build folder?)";
    }

    // Starts the program at path and waits for its main window.
    void startProgram(RunningProgram& run, const std::string& path) {
        ASSERT_TRUE(run.start(path)) << "cannot start " << path;
        dialog = waitForWindow(run.processId(), kDialogClass, kCaption);
        ASSERT_NE(dialog, nullptr) << "no window captioned \"" << kCaption << "\" appeared";
    }

    HWND waitForBox(const std::string& caption, DWORD timeoutMs = kWindowTimeoutMs) {
        return waitForWindow(program.processId(), kDialogClass, caption, timeoutMs);
    }

    // Waits for the message box, checks that its text holds the part given,
    // and answers it.
    void answerBox(const std::string& caption, const std::string& part = "", int answer = IDOK,
                   DWORD timeoutMs = kWindowTimeoutMs) {
        HWND box = waitForBox(caption, timeoutMs);
        ASSERT_NE(box, nullptr) << "no \"" << caption << "\" message " << part;
        EXPECT_NE(messageBoxText(box).find(part), std::string::npos) << messageBoxText(box);
        ASSERT_TRUE(answerMessageBox(box, answer)) << "the message has no such button";
        ASSERT_TRUE(waitUntilGone(box));
    }

    RunningProgram program;
    HWND dialog = nullptr;
};

}  // namespace e2e
