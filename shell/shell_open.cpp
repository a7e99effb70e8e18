// Opening the game, the readme and the manual through the shell. Every path
// is composed whole in its buffer or not at all: a path that would not fit
// opens nothing, since a cut one would name another file.
#include "base/bounded_text.h"
#include "base/paths.h"
#include "engine/setup_engine.h"

namespace {

constexpr int kGameEntry = 0;
const char* const readmeName = "readme.txt";
const char* const manualPage = "\\manual\\manual.html";

// folder\name into path; false when the folder is unknown or it does not fit.
bool joinKnownPath(char* path, size_t capacity, const char* folder, const char* name) {
    return folder[0] != '\0' && joinPath(path, capacity, folder, name);
}

}  // namespace

bool SetupEngine::shellOpen(const char* path, const char* parameters) {
    bool mustEndCom = false;
    if (!platform::startCom(mustEndCom)) return false;
    // A path whose long form cannot be had (a missing file, say) is handed
    // over as it was given; the shell then answers for it.
    char longPath[kPathCapacity];
    const char* target =
        platform::longPathName(path, longPath, sizeof longPath) ? longPath : path;
    const bool opened = platform::shellOpenFile(target, parameters);
    if (mustEndCom) platform::endCom();
    return opened;
}

bool SetupEngine::startGame() {
    if (installFiles == nullptr || installFiles[kGameEntry][0] == '\0') return false;
    char game[kPathCapacity];
    if (!joinKnownPath(game, sizeof game, installDir, installFiles[kGameEntry])) return false;
    // The game starts in the current directory, which the shell is not told
    // otherwise: make it the install folder first.
    platform::changeDirectory(installDir);
    return shellOpen(game, "");
}

bool SetupEngine::openReadme() {
    const char* folder = installState != 0 ? installDir : sourceDir;
    char readme[kPathCapacity];
    if (!joinKnownPath(readme, sizeof readme, folder, readmeName)) return false;
    return shellOpen(readme, "");
}

void SetupEngine::openManual() {
    char manual[kTextCapacity];
    getSourceDir(manual, sizeof manual);
    // No folder above the source (no backslash, or nothing before it):
    // there is no root to find the manual under.
    if (!cutAtLastBackslash(manual) || manual[0] == '\0') return;
    if (!appendText(manual, sizeof manual, manualPage)) return;
    shellOpen(manual, "");
}
