// Generic Windows code only: files and folders through the Win32 API and the
// C runtime's directory functions. Nothing here knows about the game.
#define _CRT_SECURE_NO_WARNINGS  // fopen is wanted as it is: plain sharing
#include <windows.h>

#include <direct.h>

#include <cstdio>

#include "platform/platform.h"
#include "platform/win32/last_error.h"

namespace platform {
namespace {

// The call's outcome, its system error kept when it failed.
bool succeeded(bool ok) { return ok || keepSystemError(); }

// Flushes an open handle, then closes it; false, the first error kept,
// when either failed.
bool flushAndClose(HANDLE handle) {
    bool flushed = succeeded(FlushFileBuffers(handle) != 0);
    return succeeded(CloseHandle(handle) != 0) && flushed;
}

}  // namespace

bool canOpenForReading(const char* path) {
    FILE* file = std::fopen(path, "r");
    if (file == nullptr) return false;
    std::fclose(file);
    return true;
}

bool exclusiveFileSize(const char* path, uint32_t& lowSize) {
    HANDLE file = CreateFileA(path, GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    // INVALID_FILE_SIZE is also the low part of some real sizes; only the
    // error code tells a failure apart.
    SetLastError(NO_ERROR);
    DWORD size = GetFileSize(file, nullptr);
    bool known = size != INVALID_FILE_SIZE || GetLastError() == NO_ERROR;
    CloseHandle(file);
    if (known) lowSize = size;
    return known;
}

bool systemCopyFile(const char* source, const char* target) {
    return succeeded(CopyFileA(source, target, FALSE) != 0);
}

bool setAttributesNormal(const char* path) {
    return succeeded(SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL) != 0);
}

bool fileAttributes(const char* path, uint32_t& attributes) {
    DWORD read = GetFileAttributesA(path);
    if (read == INVALID_FILE_ATTRIBUTES) return false;
    attributes = read;
    return true;
}

Presence findPath(const char* path, uint64_t* size) {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(path, &found);
    if (search == INVALID_HANDLE_VALUE) {
        DWORD error = GetLastError();
        bool absent = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ||
                      error == ERROR_NO_MORE_FILES;
        return absent ? Presence::Missing : Presence::Unknown;
    }
    FindClose(search);
    if (size != nullptr) {
        *size = (static_cast<uint64_t>(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
    }
    return (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? Presence::Folder : Presence::File;
}

bool deleteFile(const char* path) { return succeeded(DeleteFileA(path) != 0); }

bool writeFileToDisk(const char* path, const void* data, size_t size) {
    if (size > MAXDWORD) return keepError(ERROR_INVALID_PARAMETER);
    HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_WRITE_THROUGH, nullptr);
    if (file == INVALID_HANDLE_VALUE) return keepSystemError();
    DWORD written = 0;
    bool wrote = WriteFile(file, data, static_cast<DWORD>(size), &written, nullptr) != 0;
    bool whole = succeeded(wrote) && (written == size || keepError(ERROR_DISK_FULL));
    return flushAndClose(file) && whole;
}

bool flushFileToDisk(const char* path) {
    HANDLE file = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    return file != INVALID_HANDLE_VALUE ? flushAndClose(file) : keepSystemError();
}

// A folder opens for flushing with backup semantics and write access; NTFS
// then writes its entries out (and Wine syncs the Unix folder).
bool flushFolderToDisk(const char* path) {
    HANDLE folder = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE |
                                FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    return folder != INVALID_HANDLE_VALUE ? flushAndClose(folder) : keepSystemError();
}

// The system compares file names in UTF-16 with its own case table, which
// folds full-width, Greek and Cyrillic letters as well as ASCII ones.
bool sameFileName(const char* first, const char* second) {
    WCHAR a[MAX_PATH];
    WCHAR b[MAX_PATH];
    int aLength = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, first, -1, a, MAX_PATH);
    int bLength = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, second, -1, b, MAX_PATH);
    if (aLength == 0 || bLength == 0) return false;
    return CompareStringOrdinal(a, aLength - 1, b, bLength - 1, TRUE) == CSTR_EQUAL;
}

bool changeDirectory(const char* path) { return _chdir(path) == 0; }

bool makeDirectory(const char* path) { return _mkdir(path) == 0 || keepRuntimeError(); }

bool removeDirectory(const char* path) { return RemoveDirectoryA(path) != 0; }

bool moduleFileName(char* buffer, size_t capacity) {
    if (capacity == 0) return false;
    DWORD size = capacity > MAXDWORD ? MAXDWORD : static_cast<DWORD>(capacity);
    DWORD length = GetModuleFileNameA(nullptr, buffer, size);
    // A cut path fills the whole buffer, and older systems leave it without
    // its NUL; either way it is no usable path.
    bool complete = length != 0 && length < size;
    if (!complete) buffer[length < size ? length : size - 1] = '\0';
    return complete;
}

bool fileIdentity(const char* path, FileIdentity& identity) {
    // No access asked: the query needs none, and a file others hold open
    // without sharing can still be identified. Backup semantics open a
    // folder too.
    HANDLE file = CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    BY_HANDLE_FILE_INFORMATION information;
    bool known = GetFileInformationByHandle(file, &information) != 0;
    CloseHandle(file);
    if (!known) return false;
    identity.volumeSerial = information.dwVolumeSerialNumber;
    identity.fileIndex =
        (static_cast<uint64_t>(information.nFileIndexHigh) << 32) | information.nFileIndexLow;
    identity.size =
        (static_cast<uint64_t>(information.nFileSizeHigh) << 32) | information.nFileSizeLow;
    return true;
}

bool replaceFile(const char* source, const char* target) {
    return succeeded(MoveFileExA(source, target, MOVEFILE_REPLACE_EXISTING) != 0);
}

}  // namespace platform
