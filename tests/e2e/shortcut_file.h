// Reads back a shell link (.lnk) file the way a user's shell sees it.
#pragma once

#include <string>

namespace e2e {

struct ShortcutFile {
    bool loaded = false;
    std::string target;
    std::string workingDirectory;
    std::string arguments;
    std::string description;
    // The ShowCommand field of the link header (offset 0x3C), read from the
    // file's bytes: the shell object answers SW_SHOWNORMAL after loading.
    int showCommand = -1;
};

ShortcutFile readShortcut(const std::string& path);

// The all-users Programs folder of the Start menu.
std::string commonProgramsFolder();

}  // namespace e2e
