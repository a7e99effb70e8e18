#include "tests/e2e/game_files.h"

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
