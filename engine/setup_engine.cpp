#include "engine/setup_engine.h"

#include <cstring>

#include "base/bounded_text.h"
#include "base/paths.h"

SetupEngine setupEngine;

SetupEngine::SetupEngine()
    : installFiles(nullptr),
      updateFiles(nullptr),
      volumeLabels(nullptr),
      makerName{},
      dataFolder{},
      productName{},
      installDir{},
      sourceDir{},
      registryPath{},
      shellFolder{},
      volumeLabelCount(1),
      copyRunning(0),
      installType(0),
      progressControlId(0),
      statusControlIds{},
      bytesCopied(0),
      freeMegabytes(0),
      requiredMegabytes(0),
      copyThreadId(0),
      sourceStream(nullptr),
      targetStream(nullptr),
      ownerWindow(nullptr),
      dialogWindow(nullptr),
      registryKey(nullptr),
      installBase{},
      installState(0),
      cancelState(0),
      firstFile(0),
      endFile(9999),
      selected{},
      progressTarget(0),
      progressShown(0),
      progressUnit(0),
      hasReleaseManifest(false),
      releaseManifest(nullptr),
      releaseManifestSize(0) {
    copyText(installBase, sizeof installBase, "c:\\Program Files");
    std::memset(selected, 1, sizeof selected);
}

SetupEngine::~SetupEngine() {
    freeFileList(installFiles);
    freeFileList(updateFiles);
    freeFileList(volumeLabels);
    closeKey();
}

void SetupEngine::initialize(const char* const* installList, const char* const* updateList,
                             const char* const* volumeLabelList, platform::WindowHandle owner,
                             platform::WindowHandle dialog, const char* maker,
                             const char* title, const char* dataFolderName,
                             uint32_t requiredMb) {
    ownerWindow = owner;
    dialogWindow = dialog;
    requiredMegabytes = requiredMb;

    installFiles = replaceFileList(installFiles, installList);
    updateFiles = replaceFileList(updateFiles, updateList);
    volumeLabels = replaceFileList(volumeLabels, volumeLabelList);

    copyText(makerName, sizeof makerName, maker);
    copyText(productName, sizeof productName, title);
    copyText(dataFolder, sizeof dataFolder, dataFolderName);

    discoverSource(dataFolder, installFiles[0]);
    // The source folder is the root and the data folder below it. A root too
    // long to take the data folder's name stays as it is rather than being
    // cut into a folder that does not exist; with no root found at all the
    // source stays unknown (empty) rather than becoming the current drive's.
    char source[kPathCapacity];
    if (sourceDir[0] != '\0' &&
        joinPath(source, sizeof source, sourceDir, dataFolder)) {
        copyText(sourceDir, sizeof sourceDir, source);
    }
    // Only the trace hook reads this path, so a cut text does no harm.
    formatText(registryPath, sizeof registryPath, "Software\\%s\\%s", makerName, productName);

    migrateEarlierRecord();

    installState = 0;
    if (readRecord()) installState = 1;
    trace("Reg Key <%s>\nInst Flag [%d]", registryPath, installState.load());
}

FileList SetupEngine::replaceFileList(FileList old, const char* const* source) {
    freeFileList(old);
    // An empty name ends a list for every reader and for freeFileList, so
    // the copy ends there too: a name after it would be kept but never freed.
    size_t count = 0;
    while (source[count] != nullptr && source[count][0] != '\0') ++count;
    FileList list = new char*[count + 1];
    for (size_t slot = 0; slot <= count; ++slot) {
        list[slot] = new char[kNameCapacity]();
        if (source[slot] != nullptr) copyText(list[slot], kNameCapacity, source[slot]);
    }
    return list;
}

bool SetupEngine::freeFileList(FileList list) {
    if (list == nullptr) return true;
    for (size_t slot = 0;; ++slot) {
        bool last = list[slot][0] == '\0';
        delete[] list[slot];
        if (last) break;
    }
    delete[] list;
    return true;
}

void SetupEngine::getSourceDir(char* destination, size_t capacity) const {
    copyText(destination, capacity, sourceDir);
}

void SetupEngine::setProgressControl(int controlId) { progressControlId = controlId; }

void SetupEngine::setDialogWindow(platform::WindowHandle dialog) { dialogWindow = dialog; }

void SetupEngine::setInstallRange(int type, int first, int end) {
    installType = type;
    firstFile = first;
    endFile = end;
}

void SetupEngine::setStatusControls(int line0, int line1) {
    statusControlIds[0] = line0;
    statusControlIds[1] = line1;
}

void SetupEngine::setRequiredMegabytes(uint32_t megabytes) { requiredMegabytes = megabytes; }

bool SetupEngine::isCopyRunning() const { return copyRunning == 1; }

void SetupEngine::useReleaseManifest(const void* text, size_t size) {
    hasReleaseManifest = true;
    releaseManifest = static_cast<const char*>(text);
    releaseManifestSize = text != nullptr ? size : 0;
}
