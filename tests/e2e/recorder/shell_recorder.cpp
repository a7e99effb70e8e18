// A stand-in for the programs the shell starts in the end-to-end tests: the
// game itself, and the program associated with the readme and the manual.
// It appends one line "working directory|arguments" to the file named by
// the SHELL_RECORD_FILE variable, which it inherits through the program
// under test and the shell, and ends. No window, no console.
#include <windows.h>

#include <string>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR arguments, int) {
    char recordFile[MAX_PATH] = {}, directory[MAX_PATH] = {};
    DWORD length = GetEnvironmentVariableA("SHELL_RECORD_FILE", recordFile, sizeof recordFile);
    if (length == 0 || length >= sizeof recordFile) return 1;
    GetCurrentDirectoryA(sizeof directory, directory);
    const std::string line = std::string(directory) + "|" + arguments + "\r\n";
    HANDLE file = CreateFileA(recordFile, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 1;
    DWORD written = 0;
    const BOOL ok = WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, 0);
    CloseHandle(file);
    return ok && written == line.size() ? 0 : 1;
}
