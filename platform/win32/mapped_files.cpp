// Generic Windows code only: files mapped into memory for reading. Nothing
// here knows about the game.
#include <windows.h>

#include <cstdint>
#include <new>

#include "platform/platform.h"

namespace platform {

struct MappedFile {
    HANDLE file;
    HANDLE mapping;
    const void* view;
};

namespace {

void release(MappedFile* mapped) {
    if (mapped->view != nullptr) UnmapViewOfFile(mapped->view);
    if (mapped->mapping != nullptr) CloseHandle(mapped->mapping);
    if (mapped->file != INVALID_HANDLE_VALUE) CloseHandle(mapped->file);
    delete mapped;
}

}  // namespace

MappedFile* mapFileForReading(const char* path, const void*& data, uint64_t& size) {
    MappedFile* mapped = new (std::nothrow) MappedFile{INVALID_HANDLE_VALUE, nullptr, nullptr};
    if (mapped == nullptr) return nullptr;
    mapped->file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    LARGE_INTEGER length;
    if (mapped->file == INVALID_HANDLE_VALUE || !GetFileSizeEx(mapped->file, &length) ||
        static_cast<uint64_t>(length.QuadPart) > SIZE_MAX) {
        release(mapped);
        return nullptr;
    }
    size = static_cast<uint64_t>(length.QuadPart);
    data = nullptr;
    // The system maps no empty file; its bytes are none.
    if (size == 0) return mapped;
    mapped->mapping = CreateFileMappingA(mapped->file, nullptr, PAGE_READONLY, 0, 0, nullptr);
    if (mapped->mapping != nullptr) {
        mapped->view = MapViewOfFile(mapped->mapping, FILE_MAP_READ, 0, 0, 0);
    }
    if (mapped->view == nullptr) {
        release(mapped);
        return nullptr;
    }
    data = mapped->view;
    return mapped;
}

void unmapFile(MappedFile* file) {
    if (file != nullptr) release(file);
}

}  // namespace platform
