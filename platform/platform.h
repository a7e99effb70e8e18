// The thin layer through which engine/, transfer/ and shell/ reach the system.
//
// Every function here is one system call (or one short, fixed sequence of
// them), named for what its caller relies on. All logic stays above: bounded
// copies, formatting, list walks, the cancel handshake. The program links the
// Win32 implementation (platform/win32/); the native tests link a fake that
// can be told to fail any call (tests/fake/). The calls are listed once, in
// platform/platform_calls.def, which declares them here and names them for
// the fake. A failed call keeps the system's error for its thread
// (lastError), as the caller may need to tell the player which it was.
//
// Paths are ANSI strings in the system code page (932), NUL-terminated.
#pragma once

#include <cstddef>
#include <cstdint>

namespace platform {

// Opaque handles of the system's objects; null means "none".
using WindowHandle = void*;
using RegistryKey = void*;
using FileHandle = void*;
using ThreadHandle = void*;
struct Stream;

// ---- Files and folders ----------------------------------------------------

// File attribute bits as the system keeps them.
constexpr uint32_t kAttributeReadOnly = 0x1;
// A junction or a symbolic link: the folder is another one's.
constexpr uint32_t kAttributeReparsePoint = 0x400;
// What a directory search for a path finds (findPath).
enum class Presence { Missing, File, Folder, Unknown };

// A whole file mapped into memory for reading (mapFileForReading).
struct MappedFile;

// File times, as the system's 64-bit FILETIME values.
struct FileTimes {
    uint64_t creation;
    uint64_t lastAccess;
    uint64_t lastWrite;
};

// Which file or folder a path names (fileIdentity): the volume's serial
// number and the file's index on that volume, with the file's size.
struct FileIdentity {
    uint32_t volumeSerial;
    uint64_t fileIndex;
    uint64_t size;
};

// ---- SHA-256, the system's own ---------------------------------------------

constexpr size_t kSha256Bytes = 32;
struct Sha256;

// ---- Registry (HKEY_LOCAL_MACHINE, full access) ----------------------------

enum RegistryType : uint32_t { kRegistryText = 1, kRegistryDword = 4 };

// ---- Threads and time -------------------------------------------------------

using ThreadProc = void (*)(void* argument);

// ---- Message boxes and dialog controls ------------------------------------

enum MessageBoxFlags : unsigned {
    kReportFlags = 0x30,    // OK, warning icon
    kQuestionFlags = 0x24,  // Yes and No, question icon
};
enum MessageBoxAnswer : int { kAnswerOk = 1, kAnswerYes = 6, kAnswerNo = 7 };

// ---- Shell: opening files and choosing folders -----------------------------

using ModuleHandle = void*;
// A shell item list (a folder the user chose); null means none.
using ShellItem = void*;

// The browse dialog's callback: its window, the message, the message's
// parameter and the data given to browseForFolder.
using BrowseCallback = int (*)(WindowHandle dialog, unsigned message,
                               intptr_t parameter, intptr_t data);

// ---- The system's errors ----------------------------------------------------

// What a system error means to the player: a file another program holds
// (the game), a file or folder the system denies, a full disk, or another.
enum class ErrorKind { Other, InUse, Denied, DiskFull };
// The kind of a Windows error code, as lastError gives it.
inline ErrorKind errorKindOf(uint32_t code) {
    switch (code) {
        case 32:    // ERROR_SHARING_VIOLATION
        case 33:    // ERROR_LOCK_VIOLATION
        case 1224:  // ERROR_USER_MAPPED_FILE
            return ErrorKind::InUse;
        case 5:     // ERROR_ACCESS_DENIED
        case 19:    // ERROR_WRITE_PROTECT
            return ErrorKind::Denied;
        case 39:    // ERROR_HANDLE_DISK_FULL
        case 112:   // ERROR_DISK_FULL
            return ErrorKind::DiskFull;
        default:
            return ErrorKind::Other;
    }
}

// ---- The calls --------------------------------------------------------------

#define PLATFORM_CALL(name, result, function, parameters) result function parameters;
#include "platform/platform_calls.def"
#undef PLATFORM_CALL

}  // namespace platform
