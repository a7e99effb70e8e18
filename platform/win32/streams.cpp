// Generic Windows code only: the platform layer's buffered file streams,
// realised with the C runtime's stdio. Nothing here knows about the game.
#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cstring>

#include "platform/platform.h"
#include "platform/win32/last_error.h"

namespace platform {
namespace {

// A Stream is the runtime's FILE itself; the type stays opaque to callers.
FILE* fileOf(Stream* stream) { return reinterpret_cast<FILE*>(stream); }

// "wb" for the file copier: write access, others may only read, created or
// emptied. The file is emptied last, once the runtime has taken the handle,
// so that an open that fails leaves an existing file as it was. A file that
// did not exist is only created, not also truncated: on Linux file systems
// under Wine a truncation marks the file to have its data pushed to the disk
// as it is closed.
FILE* createForWriting(const char* path) {
    HANDLE handle = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        keepSystemError();
        return nullptr;
    }
    bool existed = GetLastError() == ERROR_ALREADY_EXISTS;
    int descriptor = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_WRONLY | _O_BINARY);
    if (descriptor == -1) {
        CloseHandle(handle);
        return nullptr;
    }
    FILE* file = _fdopen(descriptor, "wb");
    if (file == nullptr) {
        _close(descriptor);
        return nullptr;
    }
    if (existed && !SetEndOfFile(handle)) {
        keepSystemError();
        std::fclose(file);
        return nullptr;
    }
    return file;
}

}  // namespace

Stream* openStream(const char* path, const char* mode) {
    FILE* file = nullptr;
    if (std::strcmp(mode, "wb") == 0) {
        file = createForWriting(path);
    } else if (fopen_s(&file, path, mode) != 0) {
        keepRuntimeError();
        file = nullptr;
    }
    return reinterpret_cast<Stream*>(file);
}

size_t readStream(Stream* stream, void* buffer, size_t size) {
    if (stream == nullptr) return 0;
    return std::fread(buffer, 1, size, fileOf(stream));
}

bool streamFailed(Stream* stream) {
    return stream == nullptr || std::ferror(fileOf(stream)) != 0;
}

size_t writeStream(Stream* stream, const void* buffer, size_t size) {
    if (stream == nullptr) return 0;
    size_t written = std::fwrite(buffer, 1, size, fileOf(stream));
    if (written != size) keepRuntimeError();
    return written;
}

bool closeStream(Stream* stream) {
    if (stream == nullptr) return false;
    return std::fclose(fileOf(stream)) == 0 || keepRuntimeError();
}

}  // namespace platform
