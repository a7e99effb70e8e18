// The setup engine: all state of installing, updating and uninstalling the
// game, and the operations on it. One instance, `setupEngine`, lives in
// static storage for the whole process; the dialogs and the worker threads
// work on it through its fields and operations.
//
// The operations are defined by concern:
//   engine/setup_engine.cpp         construction, initialize, file lists
//   engine/source_discovery.cpp     install source, drive and file queries
//   engine/registration_record.cpp  the registry record
//   engine/migration.cpp            the earlier edition's record
//   transfer/file_copier.cpp        copyFile
//   transfer/update_run.cpp         runUpdate, putBackEndedUpdate
//   transfer/install_copy.cpp       the threaded install copy with progress
//   transfer/install_flow.cpp       install and uninstall
//   shell/shortcuts.cpp             the start-menu group
//   shell/shell_open.cpp            the game, the readme and the manual
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "platform/platform.h"

struct Checksums;

constexpr size_t kPathCapacity = 260;   // a path or name field, NUL included
constexpr size_t kTextCapacity = 1024;  // working buffers for texts and paths
constexpr size_t kNameCapacity = 128;   // one FileList slot
constexpr int kSelectionFlags = 20;     // install entries with a flag of their own

// A list of file names: pointers to separately allocated 128-byte buffers,
// ended by an empty name (never by a null pointer).
using FileList = char**;

// Codes of queryDrive.
enum DriveKind : int {
    kDriveUnknown = 0,
    kDriveFixed = 1,
    kDriveCdrom = 2,
    kDriveRemovable = 3,
    kDriveRamDisk = 4,
    kDriveRemote = 5,
};

// Cancel handshake of the install copy (cancelState).
enum CancelState : int32_t {
    kCancelNone = 0,
    kCancelRequested = 1,    // by the dialog's install button
    kCancelSeenByCopier = 2, // by copyFile
    kCancelSeenByWorker = 3, // by the copy thread
};

class SetupEngine {
public:
    SetupEngine();
    ~SetupEngine();
    SetupEngine(const SetupEngine&) = delete;
    SetupEngine& operator=(const SetupEngine&) = delete;

    // ---- State and initialization --------------------------------------
    // Copies the configuration into the engine, finds the install source and
    // reads the registration record, which sets installState.
    void initialize(const char* const* installList, const char* const* updateList,
                    const char* const* volumeLabelList,
                    platform::WindowHandle owner, platform::WindowHandle dialog,
                    const char* maker, const char* title,
                    const char* dataFolderName, uint32_t requiredMb);
    // Frees old and returns a new list copied from a null-terminated array.
    static FileList replaceFileList(FileList old, const char* const* source);
    static bool freeFileList(FileList list);
    void getSourceDir(char* destination, size_t capacity) const;
    void setProgressControl(int controlId);
    // The controls of status lines 0 and 1 in the dialog window.
    void setStatusControls(int line0, int line1);
    void setDialogWindow(platform::WindowHandle dialog);
    void setInstallRange(int type, int first, int end);
    void setRequiredMegabytes(uint32_t megabytes);
    // The release manifest the program carries (its bytes stay the
    // caller's, for the whole process); without one the program checks
    // what it copies only against a checksum file, where there is one.
    void useReleaseManifest(const void* text, size_t size);
    bool isCopyRunning() const;

    // ---- Source discovery --------------------------------------------------
    // Leaves the source root in sourceDir: a CD drive ("d:") whose label and
    // executable match, else the program's own folder. Always true.
    bool discoverSource(const char* dataFolderName, const char* executable);

    // ---- Registration record ----------------------------------------------
    bool openKey(const char* keyPath);
    bool createKey(const char* keyPath);
    void closeKey();
    bool deleteKey(const char* keyPath);
    bool writeValue(const char* name, uint32_t type, const void* data, uint32_t length);
    bool readValue(const char* name, uint32_t type, void* buffer, uint32_t capacity);
    bool writeRecordAt(const char* keyPath);
    bool readRecordAt(const char* keyPath);
    bool writeRecord();
    bool readRecord();

    // ---- Earlier edition ---------------------------------------------------
    bool migrateEarlierRecord();

    // ---- File transfer ------------------------------------------------------
    // Copies source to target 64 KiB at a time. False when either file
    // cannot be opened or the data could not be written. With checksums, those
    // they want are computed of the bytes copied.
    bool copyFile(const char* target, const char* source, Checksums* checksums = nullptr);
    // Copies both lists from the data folder beside the program into
    // installDir and reports the outcome; true when every listed file found
    // there was updated. All or nothing: false leaves the game files as
    // they were.
    bool runUpdate();
    // Puts back the game files of an update that was ended in its replace
    // step and removes what any earlier update left in installDir; false,
    // reported, when a file could not be put back.
    bool putBackEndedUpdate();

    // ---- Install copy with progress -----------------------------------------
    bool runInstallCopy();
    uint32_t sumSelectedSizes() const;
    static void copyWorker(void* engine);
    void updateProgress();
    void initProgressBar(int maximum);
    void stepProgressBar();
    // Writes status line 0, or the line given (0 or 1; others are ignored),
    // of the dialog window.
    void showStatus(const char* text) const;
    void showStatusLine(int line, const char* text) const;

    // ---- Install and uninstall ------------------------------------------------
    bool runInstall();
    bool runUninstall();
    bool createFolderPath(const char* folder);
    bool ensureFolder(const char* folder);
    // Deletes the listed files and the update's temporary file from the
    // folder; the first name that is still there afterwards, or null.
    const char* deleteInstalledFiles(const char* folder);

    // ---- Start-menu group ------------------------------------------------------
    bool createShortcut(const char* linkFolder, const char* targetFolder,
                        const char* targetFile, const char* linkName);
    bool readLinkWorkingDirectory(const char* linkFile, char* output, size_t capacity);
    bool createShortcutGroup(int folderKind);
    bool readShortcutWorkingDirectory(int folderKind, const char* relativeLink,
                                      char* output, size_t capacity);
    void removeShortcutGroup();

    // ---- Opening the game and the documents ------------------------------------
    // Opens the path with its associated program through the shell; true only
    // when the shell took the request (the program was started).
    static bool shellOpen(const char* path, const char* parameters);
    // Starts the installed game with its folder as the current directory.
    bool startGame();
    // Opens readme.txt in the install folder, or on the install source when
    // the game is not installed.
    bool openReadme();
    // Opens manual\manual.html under the source root (the folder above
    // sourceDir); a source with no folder above opens nothing.
    void openManual();

    // ---- Fields ----------------------------------------------------------------
    FileList installFiles;
    FileList updateFiles;
    FileList volumeLabels;
    char makerName[kPathCapacity];
    char dataFolder[kPathCapacity];
    char productName[kPathCapacity];
    char installDir[kPathCapacity];
    char sourceDir[kPathCapacity];
    char registryPath[kPathCapacity];
    char shellFolder[kPathCapacity];
    int32_t volumeLabelCount;
    std::atomic<int32_t> copyRunning;
    int32_t installType;
    int32_t progressControlId;
    int32_t statusControlIds[2];
    std::atomic<uint32_t> bytesCopied;
    uint32_t freeMegabytes;
    uint32_t requiredMegabytes;
    uint32_t copyThreadId;
    platform::Stream* sourceStream;
    platform::Stream* targetStream;
    platform::WindowHandle ownerWindow;
    platform::WindowHandle dialogWindow;
    platform::RegistryKey registryKey;
    char installBase[kPathCapacity];
    std::atomic<int32_t> installState;
    std::atomic<int32_t> cancelState;
    int32_t firstFile;
    int32_t endFile;
    unsigned char selected[kSelectionFlags];
    std::atomic<int32_t> progressTarget;
    std::atomic<int32_t> progressShown;
    std::atomic<uint32_t> progressUnit;
    // The release manifest compiled into the program, if it carries one:
    // the size and SHA-256 of every file the release brings.
    bool hasReleaseManifest;
    const char* releaseManifest;
    size_t releaseManifestSize;
};

// The one engine of the process.
extern SetupEngine setupEngine;

// Drive and file queries (they keep no state).
int queryDrive(const char* root, char* label, size_t capacity);
uint32_t getFreeMegabytes(const char* folder);
uint32_t fileSize(const char* path);

// Hook called at each registry step; it reports nothing.
void trace(const char* format, ...);

// Switch of the earlier edition's migration step; zero (off) in this
// configuration.
extern unsigned char migrationEnabled;
