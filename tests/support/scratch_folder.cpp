#include "tests/support/scratch_folder.h"

#include <windows.h>

#include <cstdio>
#include <fstream>
#include <sstream>

ScratchFolder::ScratchFolder() {
    static int counter = 0;
    char temp[MAX_PATH] = {};
    GetTempPathA(sizeof temp, temp);
    char name[64];
    std::snprintf(name, sizeof name, "scratch_%lu_%d", GetCurrentProcessId(), ++counter);
    path_ = joinPath(temp, name);
    removeTree(path_);
    makeFolder(path_);
}

bool makeFolder(const std::string& path) {
    return CreateDirectoryA(path.c_str(), nullptr) != FALSE || folderExists(path);
}

bool folderExists(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool fileExists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES && !folderExists(path);
}

std::vector<std::string> namesIn(const std::string& folder) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA(joinPath(folder, "*").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        const std::string name(entry.cFileName);
        if (name != "." && name != "..") names.push_back(name);
    } while (FindNextFileA(search, &entry));
    FindClose(search);
    return names;
}

bool removeTree(const std::string& path) {
    for (const std::string& name : namesIn(path)) {
        const std::string child = joinPath(path, name);
        // A read-only file or folder would refuse to go.
        SetFileAttributesA(child.c_str(), FILE_ATTRIBUTE_NORMAL);
        if (folderExists(child)) {
            removeTree(child);
        } else {
            DeleteFileA(child.c_str());
        }
    }
    RemoveDirectoryA(path.c_str());
    return GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES;
}

bool writeWholeFile(const std::string& path, const std::string& contents) {
    std::ofstream file(path, std::ios::binary);
    return file.write(contents.data(), contents.size()) && file.flush();
}

std::string readWholeFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) return "<unreadable>";
    std::ostringstream contents;
    contents << file.rdbuf();  // an empty file fails only this insertion
    return contents.str();
}
