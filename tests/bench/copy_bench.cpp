// Times one way of copying the game's listed files from the data folder
// beside this program ("Vellomira") into a folder:
//
//   copy_bench update <folder>   the engine's whole update run (runUpdate):
//                                copies through the 64 KiB buffer with the
//                                size check, attributes and times, timed
//                                until its completion box appears; a
//                                watcher thread polling every millisecond
//                                notes that moment and dismisses the box
//                                (whose own display time, about 2 s under
//                                a display with no window manager, is not
//                                the copy's)
//   copy_bench copier <folder>   the engine's copyFile alone over the lists
//   copy_bench system <folder>   a plain CopyFileA loop over the lists
//   copy_bench install <folder>  the engine's threaded install copy
//                                (runInstallCopy, every entry selected, the
//                                whole-list range, sourceDir the data folder)
//                                with its waiting loop spinning on this
//                                thread while the copy thread copies; no
//                                dialog exists, so the bar and status texts
//                                go nowhere and the loop's cost is its own
//
// Each walks the install list and then the update list, as the update does
// (names in both lists are copied twice); the install copy is given the two
// lists as one install list so that it copies the same files in the same
// order. Prints "<seconds> <bytes>", where bytes is the sum of the sources'
// sizes over the walk; every mode but update adds the CPU seconds over the
// same span, "<user> <kernel>" of this thread and then of the process's
// other threads (the process's times less this thread's). For the install
// copy this thread is the waiting loop's and the other is the copy thread.
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <thread>
#include <vector>

#include "base/bounded_text.h"
#include "engine/product_config.h"
#include "engine/setup_engine.h"

namespace {

char dataFolderPath[MAX_PATH];

bool findDataFolder() {
    DWORD length = GetModuleFileNameA(nullptr, dataFolderPath, sizeof dataFolderPath);
    return length > 0 && length < sizeof dataFolderPath && cutAtLastBackslash(dataFolderPath) &&
           appendText(dataFolderPath, sizeof dataFolderPath, "\\") &&
           appendText(dataFolderPath, sizeof dataFolderPath, ProductConfig::dataFolderName);
}

// Calls visit(name) for every name of both lists; false when a visit failed.
template <typename Visit>
bool forEachListedName(Visit visit) {
    for (const char* const* list : {static_cast<const char* const*>(ProductConfig::installList),
                                    ProductConfig::updateList}) {
        for (const char* const* name = list; *name != nullptr; ++name) {
            if (!visit(*name)) return false;
        }
    }
    return true;
}

bool composePaths(const char* folder, const char* name, char* source, char* target) {
    return formatText(source, MAX_PATH, "%s\\%s", dataFolderPath, name) &&
           formatText(target, MAX_PATH, "%s\\%s", folder, name);
}

unsigned long long listedBytes() {
    unsigned long long total = 0;
    forEachListedName([&total](const char* name) {
        char source[MAX_PATH];
        WIN32_FILE_ATTRIBUTE_DATA data;
        if (formatText(source, sizeof source, "%s\\%s", dataFolderPath, name) &&
            GetFileAttributesExA(source, GetFileExInfoStandard, &data)) {
            total += (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
        }
        return true;
    });
    return total;
}

// When the first box appeared (performance counter), 0 before.
std::atomic<long long> boxSeen{0};

BOOL CALLBACK dismissIfBox(HWND window, LPARAM) {
    char className[16];
    if (GetClassNameA(window, className, sizeof className) > 0 &&
        std::strcmp(className, "#32770") == 0) {
        LARGE_INTEGER now;
        QueryPerformanceCounter(&now);
        long long unseen = 0;
        boxSeen.compare_exchange_strong(unseen, now.QuadPart);
        PostMessageA(window, WM_COMMAND, IDOK, 0);
    }
    return TRUE;
}

// Dismisses every dialog box (the message boxes) of the given thread until
// told to stop.
void dismissBoxes(DWORD threadId, const std::atomic<bool>& stop) {
    while (!stop) {
        EnumThreadWindows(threadId, dismissIfBox, 0);
        Sleep(1);
    }
}

bool runUpdateInto(const char* folder) {
    setupEngine.installFiles = SetupEngine::replaceFileList(setupEngine.installFiles,
                                                            ProductConfig::installList);
    setupEngine.updateFiles = SetupEngine::replaceFileList(setupEngine.updateFiles,
                                                           ProductConfig::updateList);
    setupEngine.dialogWindow = nullptr;
    if (!copyText(setupEngine.dataFolder, kPathCapacity, ProductConfig::dataFolderName) ||
        !copyText(setupEngine.installDir, kPathCapacity, folder)) {
        return false;
    }
    std::atomic<bool> stop{false};
    std::thread watcher(dismissBoxes, GetCurrentThreadId(), std::cref(stop));
    bool completed = setupEngine.runUpdate();
    stop = true;
    watcher.join();
    return completed;
}

bool copyWithCopier(const char* folder) {
    return forEachListedName([folder](const char* name) {
        char source[MAX_PATH];
        char target[MAX_PATH];
        return composePaths(folder, name, source, target) &&
               (GetFileAttributesA(source) == INVALID_FILE_ATTRIBUTES ||
                setupEngine.copyFile(target, source));
    });
}

bool copyWithSystem(const char* folder) {
    return forEachListedName([folder](const char* name) {
        char source[MAX_PATH];
        char target[MAX_PATH];
        return composePaths(folder, name, source, target) &&
               (GetFileAttributesA(source) == INVALID_FILE_ATTRIBUTES ||
                CopyFileA(source, target, FALSE));
    });
}

// The end index the options dialog gives the full install: the walk runs to
// the list's empty name.
constexpr int kWholeListEnd = 9999;

bool runInstallCopyInto(const char* folder) {
    std::vector<const char*> names;
    forEachListedName([&names](const char* name) {
        names.push_back(name);
        return true;
    });
    names.push_back(nullptr);
    setupEngine.installFiles = SetupEngine::replaceFileList(setupEngine.installFiles,
                                                            names.data());
    std::memset(setupEngine.selected, 1, sizeof setupEngine.selected);
    setupEngine.firstFile = 0;
    setupEngine.endFile = kWholeListEnd;
    setupEngine.dialogWindow = nullptr;
    return copyText(setupEngine.sourceDir, kPathCapacity, dataFolderPath) &&
           copyText(setupEngine.installDir, kPathCapacity, folder) &&
           setupEngine.runInstallCopy();
}

bool runMode(const char* mode, const char* folder) {
    if (std::strcmp(mode, "update") == 0) return runUpdateInto(folder);
    if (std::strcmp(mode, "copier") == 0) return copyWithCopier(folder);
    if (std::strcmp(mode, "system") == 0) return copyWithSystem(folder);
    if (std::strcmp(mode, "install") == 0) return runInstallCopyInto(folder);
    std::fprintf(stderr, "unknown mode: %s\n", mode);
    return false;
}

// CPU seconds in user and in kernel mode.
struct CpuTime {
    double user = 0;
    double kernel = 0;
};

double inSeconds(const FILETIME& time) {
    unsigned long long units =
        (static_cast<unsigned long long>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
    return static_cast<double>(units) / 1e7;  // FILETIME counts 100 ns units
}

CpuTime threadCpu() {
    FILETIME created, exited, kernel, user;
    if (!GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel, &user)) return {};
    return {inSeconds(user), inSeconds(kernel)};
}

CpuTime processCpu() {
    FILETIME created, exited, kernel, user;
    if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) return {};
    return {inSeconds(user), inSeconds(kernel)};
}

// CPU time of this thread and of the whole process at one moment.
struct CpuSample {
    CpuTime thread = threadCpu();
    CpuTime process = processCpu();
};

// Prints this thread's and the other threads' CPU time between two samples.
void printCpuSpan(const CpuSample& start, const CpuSample& end) {
    double threadUser = end.thread.user - start.thread.user;
    double threadKernel = end.thread.kernel - start.thread.kernel;
    std::printf(" %.3f %.3f %.3f %.3f", threadUser, threadKernel,
                end.process.user - start.process.user - threadUser,
                end.process.kernel - start.process.kernel - threadKernel);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: copy_bench update|copier|system|install <folder>\n");
        return 2;
    }
    ProductConfig::installList[ProductConfig::kGameExecutableIndex] = ProductConfig::gameExecutable;
    if (!findDataFolder()) {
        std::fprintf(stderr, "the program's folder is too long\n");
        return 1;
    }
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    CpuSample cpuStart;
    QueryPerformanceCounter(&start);
    bool copied = runMode(argv[1], argv[2]);
    QueryPerformanceCounter(&end);
    CpuSample cpuEnd;
    if (boxSeen != 0) end.QuadPart = boxSeen;
    if (!copied) {
        std::fprintf(stderr, "%s: the copy did not complete\n", argv[1]);
        return 1;
    }
    double seconds = static_cast<double>(end.QuadPart - start.QuadPart) / frequency.QuadPart;
    std::printf("%.6f %llu", seconds, listedBytes());
    // The update's span ends when its box appears, before the box is gone,
    // so no CPU figures match it.
    if (std::strcmp(argv[1], "update") != 0) printCpuSpan(cpuStart, cpuEnd);
    std::printf("\n");
    return 0;
}
