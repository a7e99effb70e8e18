// The Windows side of scripts/bench.sh, which says what each mode measures:
// one way of copying the game's listed files from the data folder beside
// this program into <folder>, timed.
//
//   program | single    the real update.exe beside this program (single: the
//                       one in the folder "single"), from the press of its
//                       Update button until its completion box exists
//   update              runUpdate in this process, until its completion box
//                       is created (a hook notes the moment and closes it)
//   copier | install    the engine's copyFile over the lists / its threaded
//                       install copy with the waiting loop on this thread
//   system | distinct   a CopyFileA loop over the lists / each name once
//   durable             each name once: CopyFileA, then the copy written
//                       through to the disk (FlushFileBuffers)
//
// Prints "<seconds> <bytes>" (bytes: the sources' sizes over the walk), then
// for program and single the peak working set of update.exe in KiB idle and
// at its box, for update the seconds of each CopyPhase, and for the others
// "<user> <kernel>" CPU seconds of this thread, then of the other threads
// (scripts/bench_report.py names each column).
#include <windows.h>

#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

#include "base/bounded_text.h"
#include "engine/product_config.h"
#include "engine/setup_engine.h"
#include "driver/program_driver.h"
#include "transfer/copy_phases.h"

namespace {

char programFolderPath[MAX_PATH];
char dataFolderPath[MAX_PATH];

bool findDataFolder() {
    DWORD length = GetModuleFileNameA(nullptr, programFolderPath, sizeof programFolderPath);
    return length > 0 && length < sizeof programFolderPath &&
           cutAtLastBackslash(programFolderPath) &&
           formatText(dataFolderPath, sizeof dataFolderPath, "%s\\%s", programFolderPath,
                      ProductConfig::dataFolderName);
}

// The names of the install list and then of the update list; with distinct,
// each name only where it first stands.
std::vector<const char*> listedNames(bool distinct) {
    std::vector<const char*> names;
    for (const char* const* list : {static_cast<const char* const*>(ProductConfig::installList),
                                    ProductConfig::updateList}) {
        for (const char* const* name = list; *name != nullptr; ++name) {
            bool seen = std::any_of(names.begin(), names.end(), [name](const char* earlier) {
                return std::strcmp(earlier, *name) == 0;
            });
            if (!distinct || !seen) names.push_back(*name);
        }
    }
    return names;
}

// Calls visit(name) for every listed name (each once with distinct); false
// when a visit failed.
template <typename Visit>
bool forEachListedName(Visit visit, bool distinct = false) {
    for (const char* name : listedNames(distinct)) {
        if (!visit(name)) return false;
    }
    return true;
}

bool composePaths(const char* folder, const char* name, char* source, char* target) {
    return formatText(source, MAX_PATH, "%s\\%s", dataFolderPath, name) &&
           formatText(target, MAX_PATH, "%s\\%s", folder, name);
}

// What the listed names in the data folder of programFolder hold.
unsigned long long listedBytes(const char* programFolder, bool distinct) {
    unsigned long long total = 0;
    forEachListedName(
        [&total, programFolder](const char* name) {
            char source[MAX_PATH];
            WIN32_FILE_ATTRIBUTE_DATA data;
            if (formatText(source, sizeof source, "%s\\%s\\%s", programFolder,
                           ProductConfig::dataFolderName, name) &&
                GetFileAttributesExA(source, GetFileExInfoStandard, &data)) {
                total += (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) |
                         data.nFileSizeLow;
            }
            return true;
        },
        distinct);
    return total;
}

// When the first box appeared (performance counter), 0 before.
long long boxSeen = 0;

// Performance-counter ticks spent in each copy phase, and the last mark.
long long phaseTicks[static_cast<int>(CopyPhase::Count)] = {};
long long lastPhaseMark = 0;

long long counterNow() {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

}  // namespace

void markCopyPhase(CopyPhase ended) {
    long long now = counterNow();
    phaseTicks[static_cast<int>(ended)] += now - lastPhaseMark;
    lastPhaseMark = now;
}

namespace {

// Called on this thread as it creates a window: a box (the completion
// message) is timed and told to close as soon as its own loop runs. A hook
// rather than a watching thread, since a thread that polls the windows
// slows this process's file calls under Wine by more than half.
LRESULT CALLBACK closeBoxes(int code, WPARAM wParam, LPARAM lParam) {
    char className[16];
    HWND window = reinterpret_cast<HWND>(wParam);
    if (code == HCBT_CREATEWND && GetClassNameA(window, className, sizeof className) > 0 &&
        std::strcmp(className, "#32770") == 0) {
        if (boxSeen == 0) boxSeen = counterNow();
        PostMessageA(window, WM_COMMAND, IDOK, 0);
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
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
    HHOOK hook = SetWindowsHookExA(WH_CBT, closeBoxes, nullptr, GetCurrentThreadId());
    if (hook == nullptr) return false;
    lastPhaseMark = counterNow();
    bool completed = setupEngine.runUpdate();
    UnhookWindowsHookEx(hook);
    return completed;
}

// Copies each listed source that exists with copy(target, source).
template <typename Copy>
bool copyEach(const char* folder, bool distinct, Copy copy) {
    return forEachListedName(
        [folder, copy](const char* name) {
            char source[MAX_PATH];
            char target[MAX_PATH];
            return composePaths(folder, name, source, target) &&
                   (GetFileAttributesA(source) == INVALID_FILE_ATTRIBUTES || copy(target, source));
        },
        distinct);
}

bool copyWithSystem(const char* target, const char* source) {
    return CopyFileA(source, target, FALSE) != 0;
}

// The durable peer of the update, which stages each file through the
// system's cache and then has it written through to the disk before its
// record: the same two steps, each file flushed right after its copy. (A
// copy with COPY_FILE_NO_BUFFERING would bypass the cache, which the update
// does not, and measure another kind of copy.)
bool copyDurably(const char* target, const char* source) {
    if (!CopyFileA(source, target, FALSE)) return false;
    HANDLE file = CreateFileA(target, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    bool flushed = FlushFileBuffers(file) != 0;
    return CloseHandle(file) != 0 && flushed;
}

bool copyWithCopier(const char* target, const char* source) {
    return setupEngine.copyFile(target, source);
}

// ---- The real update.exe -----------------------------------------------------

constexpr int kUpdateButton = 1008;
// Long enough for a slow disk to take the whole game.
constexpr DWORD kUpdateTimeoutMs = 600000;

// Peak working sets of update.exe in KiB, when idle at its question and at
// its completion box.
unsigned long long idlePeakKib = 0;
unsigned long long updatePeakKib = 0;

bool registerGame(const char* folder) {
    auto set = [](const char* name, DWORD type, const void* data, size_t size) {
        return RegSetKeyValueA(HKEY_LOCAL_MACHINE, ProductConfig::registryKeyPath, name, type,
                               data, static_cast<DWORD>(size)) == ERROR_SUCCESS;
    };
    const DWORD type = 2;
    return set("Dir", REG_SZ, folder, std::strlen(folder) + 1) && set("CD", REG_SZ, "d:", 3) &&
           set("InstType", REG_DWORD, &type, sizeof type);
}

unsigned long long peakWorkingSetKib(DWORD processId) {
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, processId);
    if (process == nullptr) return 0;
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    bool known = GetProcessMemoryInfo(process, &counters, sizeof counters) != 0;
    CloseHandle(process);
    return known ? counters.PeakWorkingSetSize / 1024 : 0;
}

// A top-level dialog of the process with this caption, or null. One search
// by class and caption, so that polling costs the update little.
HWND findBox(DWORD processId, const char* caption) {
    HWND box = FindWindowA(e2e::kDialogClass, caption);
    DWORD owner = 0;
    if (box != nullptr) GetWindowThreadProcessId(box, &owner);
    return owner == processId ? box : nullptr;
}

// Presses Update and waits for the update's closing box: true for its
// completion ("終了"), false for a warning ("確認"), an end without a box or
// a timeout. pressed and seen get the moments of the press and of the box's
// appearance, polled every 5 ms (each poll a few calls to the Wine server,
// which the update needs too).
bool pressAndWaitForCompletion(const e2e::RunningProgram& program, HWND dialog,
                               LARGE_INTEGER& pressed, LARGE_INTEGER& seen, HWND& box) {
    QueryPerformanceCounter(&pressed);
    if (!e2e::pressButton(dialog, kUpdateButton)) return false;
    const DWORD started = GetTickCount();
    while (GetTickCount() - started < kUpdateTimeoutMs && program.running()) {
        box = findBox(program.processId(), "終了");
        QueryPerformanceCounter(&seen);
        if (box != nullptr) return true;
        if (findBox(program.processId(), "確認") != nullptr) {
            std::fprintf(stderr, "program: update.exe reported a failure\n");
            return false;
        }
        Sleep(5);
    }
    std::fprintf(stderr, "program: no completion box\n");
    return false;
}

// Starts the update.exe of programFolder for a game registered in folder,
// lets it idle at its question, presses Update; start and end take the
// moments of the press and of the completion box.
bool timeProgram(const char* programFolder, const char* folder, LARGE_INTEGER& start,
                 LARGE_INTEGER& end) {
    char exePath[MAX_PATH];
    if (!registerGame(folder) ||
        !formatText(exePath, sizeof exePath, "%s\\update.exe", programFolder)) {
        return false;
    }
    e2e::RunningProgram program;
    if (!program.start(exePath)) return false;
    HWND dialog = e2e::waitForWindow(program.processId(), e2e::kDialogClass,
                                     std::string(ProductConfig::productTitle) + " Updata");
    if (dialog == nullptr) return false;
    Sleep(1000);  // settled at the question
    idlePeakKib = peakWorkingSetKib(program.processId());
    HWND box = nullptr;
    if (!pressAndWaitForCompletion(program, dialog, start, end, box)) return false;
    updatePeakKib = peakWorkingSetKib(program.processId());
    DWORD code = 0;
    return e2e::waitForWindow(program.processId(), e2e::kDialogClass, "終了") == box &&
           e2e::answerMessageBox(box) && program.waitForExit(e2e::kExitTimeoutMs, code);
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
    if (std::strcmp(mode, "copier") == 0) return copyEach(folder, false, copyWithCopier);
    if (std::strcmp(mode, "system") == 0) return copyEach(folder, false, copyWithSystem);
    if (std::strcmp(mode, "distinct") == 0) return copyEach(folder, true, copyWithSystem);
    if (std::strcmp(mode, "durable") == 0) return copyEach(folder, true, copyDurably);
    if (std::strcmp(mode, "install") == 0) return runInstallCopyInto(folder);
    std::fprintf(stderr, "unknown mode: %s\n", mode);
    return false;
}

double inSeconds(const FILETIME& time) {  // FILETIME counts 100 ns units
    return static_cast<double>((static_cast<unsigned long long>(time.dwHighDateTime) << 32) |
                               time.dwLowDateTime) / 1e7;
}

// CPU seconds of this thread and of the whole process at one moment: user,
// kernel.
struct CpuSample {
    double thread[2] = {}, process[2] = {};
    CpuSample() {
        FILETIME created, exited, kernel, user;
        if (GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel, &user))
            thread[0] = inSeconds(user), thread[1] = inSeconds(kernel);
        if (GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user))
            process[0] = inSeconds(user), process[1] = inSeconds(kernel);
    }
};

// Prints this thread's user and kernel CPU seconds between two samples, then
// the other threads'.
void printCpuSpan(const CpuSample& start, const CpuSample& end) {
    double own[2];
    for (int i = 0; i < 2; ++i) own[i] = end.thread[i] - start.thread[i];
    std::printf(" %.3f %.3f %.3f %.3f", own[0], own[1],
                end.process[0] - start.process[0] - own[0],
                end.process[1] - start.process[1] - own[1]);
}

}  // namespace

bool copiesEachNameOnce(const char* mode) {
    return std::strcmp(mode, "copier") != 0 && std::strcmp(mode, "system") != 0 &&
           std::strcmp(mode, "install") != 0;
}

void printPhaseSeconds(long long frequency) {
    for (long long ticks : phaseTicks) {
        std::printf(" %.6f", static_cast<double>(ticks) / static_cast<double>(frequency));
    }
}

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: copy_bench program|single|distinct|durable|update|copier|"
                             "system|install <folder>\n");
        return 2;
    }
    ProductConfig::installList[ProductConfig::kGameExecutableIndex] = ProductConfig::gameExecutable;
    char singleFolderPath[MAX_PATH];
    if (!findDataFolder() ||
        !formatText(singleFolderPath, sizeof singleFolderPath, "%s\\single", programFolderPath)) {
        std::fprintf(stderr, "the program's folder is too long\n");
        return 1;
    }
    const bool single = std::strcmp(argv[1], "single") == 0;
    const bool program = single || std::strcmp(argv[1], "program") == 0;
    const char* timedFolder = single ? singleFolderPath : programFolderPath;
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    CpuSample cpuStart;
    QueryPerformanceCounter(&start);
    bool copied =
        program ? timeProgram(timedFolder, argv[2], start, end) : runMode(argv[1], argv[2]);
    if (!program) QueryPerformanceCounter(&end);
    CpuSample cpuEnd;
    if (boxSeen != 0) end.QuadPart = boxSeen;
    if (!copied) {
        std::fprintf(stderr, "%s: the copy did not complete\n", argv[1]);
        return 1;
    }
    double seconds = static_cast<double>(end.QuadPart - start.QuadPart) / frequency.QuadPart;
    std::printf("%.6f %llu", seconds, listedBytes(timedFolder, copiesEachNameOnce(argv[1])));
    // The update's span ends when its box appears, before the box is gone,
    // so no CPU figures match it; update.exe's own CPU is not this process's.
    if (program) {
        std::printf(" %llu %llu", idlePeakKib, updatePeakKib);
    } else if (std::strcmp(argv[1], "update") == 0) {
        printPhaseSeconds(frequency.QuadPart);
    } else {
        printCpuSpan(cpuStart, cpuEnd);
    }
    std::printf("\n");
    return 0;
}
