// The shell's folder-selection dialog, through which the user chooses the
// folder to install under.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/platform.h"

class SetupEngine;

class FolderBrowser {
public:
    // Stores the program's instance and the owner of the browse dialog and
    // of its messages; start-up calls it once.
    void attach(platform::ModuleHandle module, platform::WindowHandle owner);
    // Lets the user choose a folder, with the one path names preselected.
    // Mode 0 offers the tree alone, 1 adds an edit box, 2 a status text too;
    // each validates typed names. True when a folder was chosen and its full
    // path (with a trailing backslash when appendBackslash) written into
    // path. False, path untouched, when the user cancelled, the folder has
    // no file-system path (a virtual folder), the path does not fit, or the
    // shell's allocator was not available.
    bool browse(char* path, size_t capacity, int mode, bool appendBackslash);
    // The dialog's callback; data is the caller's path buffer.
    static int browseCallback(platform::WindowHandle dialog, unsigned message,
                              intptr_t parameter, intptr_t data);

    platform::ModuleHandle instance = nullptr;
    platform::WindowHandle ownerWindow = nullptr;
};

// The program's one folder browser.
extern FolderBrowser folderBrowser;

// The setup window's folder choice: browses the engine's installBase and
// keeps a chosen drive root ("d:\") as "d:", the form the install folder is
// joined onto.
void chooseInstallBase(FolderBrowser& browser, SetupEngine& engine);
