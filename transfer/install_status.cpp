// The install copy's status display, kept by the waiting loop of
// runInstallCopy: the name of the file being copied with a turning mark on
// status line 0, the time since the copy began on line 1. What only it
// does: the cadence of the two lines and the clock that catches up.
#include "transfer/install_status.h"

#include <cstdint>
#include <mutex>

#include "base/bounded_text.h"

namespace {

// The copy thread records the name and restarts the clock while the waiting
// loop reads both. One mutex guards them: the name changes once per file and
// is read whole only once per 131,072 turns, so the lock is never held long
// and is almost never contended; a double buffer would still need a way to
// tell a reader that the writer moved on twice during its copy, and it would
// leave the clock's restart racing with the loop's own updates of it.
std::mutex statusMutex;
char currentFileName[kCurrentFileCapacity];
uint32_t clockTick;
int clockHours;
int clockMinutes;
int clockSeconds;

// Touched by the waiting loop alone.
int spinnerIndex;
int tickerCount;

constexpr int kTickerMask = 0x1FFFF;
const char* const kSpinnerMarks[4] = {"｜", "／", "―", "＼"};

// Counts one more second when more than a second has passed since the last
// one counted, and formats the clock into text; false when no second is due.
// Called with statusMutex held.
bool advanceClock(char* text, size_t capacity) {
    uint32_t now = platform::milliseconds();
    if (now - clockTick <= 1000) return false;
    clockTick += 1000;
    if (++clockSeconds > 59) {
        clockSeconds = 0;
        if (++clockMinutes > 59) {
            clockMinutes = 0;
            ++clockHours;
        }
    }
    formatText(text, capacity, "%d:%02d:%02d", clockHours, clockMinutes, clockSeconds);
    return true;
}

}  // namespace

void recordCurrentFileName(const char* name) {
    std::lock_guard<std::mutex> lock(statusMutex);
    copyText(currentFileName, sizeof currentFileName, name);
}

void restartClock() {
    std::lock_guard<std::mutex> lock(statusMutex);
    clockTick = platform::milliseconds();
    clockHours = 0;
    clockMinutes = 0;
    clockSeconds = 0;
}

void statusTicker(const SetupEngine& engine) {
    char nameLine[kTextCapacity];
    char clockLine[kTextCapacity];
    bool showName = false;
    bool showClock = false;
    {
        std::lock_guard<std::mutex> lock(statusMutex);
        if (currentFileName[0] == '\0') return;
        if (tickerCount == 0) {
            formatText(nameLine, sizeof nameLine, "%s %s", currentFileName,
                       kSpinnerMarks[spinnerIndex]);
            spinnerIndex = (spinnerIndex + 1) % 4;
            showName = true;
        }
        tickerCount = (tickerCount + 1) & kTickerMask;
        showClock = advanceClock(clockLine, sizeof clockLine);
    }
    // The controls are written outside the lock: the dialog's thread carries
    // these calls out, and the copy thread must not wait for it.
    if (showName) engine.showStatusLine(0, nameLine);
    if (showClock) engine.showStatusLine(1, clockLine);
}

void SetupEngine::showStatus(const char* text) const { showStatusLine(0, text); }

void SetupEngine::showStatusLine(int line, const char* text) const {
    if (line == 0 || line == 1) {
        platform::setControlText(dialogWindow, statusControlIds[line], text);
    }
}
