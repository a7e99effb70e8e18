#include "tests/e2e/game_files.h"

#include <cstdlib>

namespace e2e {

namespace {

const char* const kRecordKey = "SOFTWARE\\Torvane\\Vellomira";
const char* const kMakerKey = "SOFTWARE\\Torvane";

std::string folderOfThisProgram() {
    char path[MAX_PATH] = {};
    DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    if (length == 0 || length >= sizeof path) return std::string();
    std::string text(path);
    return text.substr(0, text.find_last_of('\\'));
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
    auto set = [](const char* name, DWORD type, const void* data, size_t size) {
        return RegSetKeyValueA(HKEY_LOCAL_MACHINE, kRecordKey, name, type, data,
                               static_cast<DWORD>(size)) == ERROR_SUCCESS;
    };
    return set("Dir", REG_SZ, dir.c_str(), dir.size() + 1) &&
           set("CD", REG_SZ, cd.c_str(), cd.size() + 1) &&
           set("InstType", REG_DWORD, &instType, sizeof instType);
}

void removeRecord() {
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, kRecordKey);
    // Only when nothing else of the maker is left.
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, kMakerKey);
}

Record readRecord() {
    Record record;
    HKEY key = nullptr;
    record.present =
        RegOpenKeyExA(HKEY_LOCAL_MACHINE, kRecordKey, 0, KEY_READ, &key) == ERROR_SUCCESS;
    if (record.present) RegCloseKey(key);
    auto text = [](const char* name) {
        char value[1024] = {};
        DWORD size = sizeof value;
        return RegGetValueA(HKEY_LOCAL_MACHINE, kRecordKey, name, RRF_RT_REG_SZ, nullptr, value,
                            &size) == ERROR_SUCCESS ? std::string(value) : std::string("<missing>");
    };
    record.dir = text("Dir");
    record.cd = text("CD");
    DWORD size = sizeof record.instType;
    if (RegGetValueA(HKEY_LOCAL_MACHINE, kRecordKey, "InstType", RRF_RT_REG_DWORD, nullptr,
                     &record.instType, &size) != ERROR_SUCCESS)
        record.instType = 0xFFFFFFFF;
    return record;
}

}  // namespace e2e
