#include "tests/e2e/game_files.h"

#include <cstdio>
#include <cstdlib>

namespace e2e {

const char* const kRecordKey = "SOFTWARE\\Torvane\\Vellomira";

namespace {

const char* const kMakerKey = "SOFTWARE\\Torvane";

std::string folderOfThisProgram() {
    char path[MAX_PATH] = {};
    DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    if (length == 0 || length >= sizeof path) return std::string();
    std::string text(path);
    return text.substr(0, text.find_last_of('\\'));
}

std::string queryText(HKEY key, const char* name) {
    char value[1024] = {};
    DWORD size = sizeof value - 1;
    DWORD type = 0;
    if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(value), &size) !=
            ERROR_SUCCESS ||
        type != REG_SZ)
        return std::string("<missing>");
    return value;
}

ULONGLONG asNumber(const FILETIME& time) {
    return (static_cast<ULONGLONG>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

}  // namespace

std::string builtProgramDir() {
    const char* dir = std::getenv("PROGRAM_DIR");
    if (dir == nullptr || *dir == '\0') return folderOfThisProgram();
    std::string path(dir);
    if (path[0] == '/') path = "Z:" + path;
    for (char& c : path)
        if (c == '/') c = '\\';
    while (path.size() > 3 && path.back() == '\\') path.pop_back();
    return path;
}

ScratchFolder::ScratchFolder() {
    static int counter = 0;
    char temp[MAX_PATH] = {};
    GetTempPathA(sizeof temp, temp);
    char name[64];
    std::snprintf(name, sizeof name, "e2e_%lu_%d", GetCurrentProcessId(), ++counter);
    path_ = joinPath(temp, name);
    removeTree(path_);
    makeFolder(path_);
}

ScratchFolder::~ScratchFolder() {
    removeTree(path_);
}

std::string ScratchFolder::operator/(const std::string& name) const {
    return joinPath(path_, name);
}

std::string joinPath(const std::string& folder, const std::string& name) {
    if (!folder.empty() && folder.back() == '\\') return folder + name;
    return folder + "\\" + name;
}

bool makeFolder(const std::string& path) {
    return CreateDirectoryA(path.c_str(), nullptr) != FALSE || folderExists(path);
}

bool folderExists(const std::string& path) {
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool fileExists(const std::string& path) {
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool removeTree(const std::string& path) {
    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA(joinPath(path, "*").c_str(), &entry);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            std::string name(entry.cFileName);
            if (name == "." || name == "..") continue;
            std::string child = joinPath(path, name);
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                removeTree(child);
            } else {
                SetFileAttributesA(child.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileA(child.c_str());
            }
        } while (FindNextFileA(search, &entry));
        FindClose(search);
    }
    RemoveDirectoryA(path.c_str());
    return GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES;
}

bool writeFile(const std::string& path, const std::string& contents) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    BOOL ok = WriteFile(file, contents.data(), static_cast<DWORD>(contents.size()), &written,
                        nullptr);
    CloseHandle(file);
    return ok && written == contents.size();
}

std::string readFile(const std::string& path) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return std::string("<unreadable>");
    std::string contents;
    char chunk[65536];
    DWORD got = 0;
    while (ReadFile(file, chunk, sizeof chunk, &got, nullptr) && got > 0)
        contents.append(chunk, got);
    CloseHandle(file);
    return contents;
}

bool readTimes(const std::string& path, AccessAndWriteTimes& times) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return false;
    times.lastAccess = asNumber(data.ftLastAccessTime);
    times.lastWrite = asNumber(data.ftLastWriteTime);
    return true;
}

bool setPastTimes(const std::string& path, WORD year, WORD month, WORD day) {
    SYSTEMTIME when{};
    when.wYear = year;
    when.wMonth = month;
    when.wDay = day;
    when.wHour = 12;
    FILETIME time;
    if (!SystemTimeToFileTime(&when, &time)) return false;
    HANDLE file = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    BOOL ok = SetFileTime(file, &time, &time, &time);
    CloseHandle(file);
    return ok != FALSE;
}

bool writeRecord(const std::string& dir, const std::string& cd, DWORD instType) {
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kRecordKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return false;
    bool ok =
        RegSetValueExA(key, "Dir", 0, REG_SZ, reinterpret_cast<const BYTE*>(dir.c_str()),
                       static_cast<DWORD>(dir.size() + 1)) == ERROR_SUCCESS &&
        RegSetValueExA(key, "CD", 0, REG_SZ, reinterpret_cast<const BYTE*>(cd.c_str()),
                       static_cast<DWORD>(cd.size() + 1)) == ERROR_SUCCESS &&
        RegSetValueExA(key, "InstType", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&instType),
                       sizeof instType) == ERROR_SUCCESS;
    RegCloseKey(key);
    return ok;
}

void removeRecord() {
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, kRecordKey);
    // Only when nothing else of the maker is left.
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, kMakerKey);
}

Record readRecord() {
    Record record;
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kRecordKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return record;
    record.present = true;
    record.dir = queryText(key, "Dir");
    record.cd = queryText(key, "CD");
    DWORD size = sizeof record.instType;
    DWORD type = 0;
    if (RegQueryValueExA(key, "InstType", nullptr, &type,
                         reinterpret_cast<BYTE*>(&record.instType), &size) != ERROR_SUCCESS ||
        type != REG_DWORD)
        record.instType = 0xFFFFFFFF;
    RegCloseKey(key);
    return record;
}

}  // namespace e2e
